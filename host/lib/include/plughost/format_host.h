#pragma once
// Drives a Photoshop file-format plug-in through a read as hosts do: filter file (is this the
// plug-in's kind of file?), then read prepare, start, continue and finish over the host's open
// file, with the buffer, handle, property and Sweet Pea suites, advanceState and progress.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hostapi/PIActions.h"
#include "plughost/module.h"
#include "plughost/progress.h"
#include "plughost/scripting.h"

namespace plughost {

struct FormatOptions {
  bool preview = false;      // openForPreview: the file browser's quick image
  int32_t rotation = 0;      // quarter turns clockwise the user asked for (0 to 3)
  bool offer16Bit = true;    // hostModes carries the 16-bit RGB bit
  bool offerIcc = true;      // canUseICCProfiles
  bool withholdBufferProcs = false;
  bool withholdHandleProcs = false;
  bool withholdAdvanceState = false;
  int32_t cancelAfterRows = -1;  // abortProc says yes once this many rows were delivered
  int32_t advanceErrorAt = -1;   // the Nth advanceState call fails with out of memory
  int32_t failAllocationAt = -1; // the Nth handle or buffer the plug-in asks for is refused
  int64_t memoryLimit = int64_t{1} << 30;
  uint32_t hostVersion = 13u << 16;
  ScriptingOptions scripting;  // the descriptor played back, or none; withheld suites
};

// What the plug-in handed over: interleaved RGB, 8 or 16 bits a sample (native byte order).
struct RgbImage {
  int32_t width = 0, height = 0;
  int depth = 8;
  std::vector<uint8_t> pixels;
  size_t RowBytes() const { return static_cast<size_t>(width) * 3 * (depth == 16 ? 2 : 1); }
};

struct FormatOutcome {
  int16_t result = 0;
  std::string selector;        // the selector that gave a non-zero result
  bool refused = false;        // filter file said the file is not for this plug-in
  RgbImage image;
  int32_t resolution = 0;      // pixels per inch the plug-in declared
  std::vector<uint8_t> icc;    // iCCprofileData
  std::vector<uint8_t> exif;   // what the plug-in gave setPropertyProc for 'EXIF'
  int32_t rowsDelivered = 0;
  int32_t allocations = 0;     // handles and buffers the plug-in asked for
  size_t leftoverBuffers = 0;  // buffers the plug-in did not free
  size_t leftoverHandles = 0;  // handles other than its globals that it did not dispose of
  std::optional<Descriptor> recorded;  // what the plug-in handed back for recording
};

// Runs the read protocol on `file`. Throws std::runtime_error when the plug-in cannot be run
// (no entry point) or the file cannot be opened.
FormatOutcome RunFormatRead(const PluginModule& module, const std::string& entry, const std::string& file,
                            const FormatOptions& options, Progress& progress);

}  // namespace plughost
