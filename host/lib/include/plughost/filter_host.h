#pragma once
// Drives a Photoshop filter plug-in through its selectors over an image: about, parameters,
// prepare, start, the continue loop and finish, with the host's callbacks and suites.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plughost/image.h"
#include "plughost/module.h"
#include "plughost/progress.h"
#include "plughost/scripting.h"

namespace plughost {

struct FilterOptions {
  bool showAbout = false;          // call selector 0 first
  bool background = false;         // the image is a background layer: no transparency plane
  int16_t filterCase = 0;          // 0: from the image (editable transparency or flat)
  std::optional<Image> selection;  // grey mask: 0 unselected, 255 selected
  bool withholdBufferProcs = false;
  bool withholdHandleProcs = false;
  bool withholdAdvanceState = false;
  int32_t cancelAfterRows = -1;    // abortProc says yes once this many rows were delivered
  int32_t advanceErrorAt = -1;     // the Nth advanceState call fails with out of memory
  uint8_t foreground[3] = {0, 0, 0};
  uint8_t background_colour[3] = {255, 255, 255};
  int64_t memoryLimit = int64_t{1} << 30;
  uint32_t hostVersion = 13u << 16;  // what the property suite answers for 'vers'
  std::string title;                 // the document's title property
  ScriptingOptions scripting;        // descriptor parameters and what is played back
  // Planes beyond the layer's colour and transparency, in the host's order: layer masks,
  // inverted layer masks, then the document's alpha channels (grey images of the same size).
  struct ExtraPlane {
    enum class Kind { LayerMask, InvertedLayerMask, Alpha };
    Kind kind = Kind::Alpha;
    std::string name;
    Image image;
  };
  std::vector<ExtraPlane> extraPlanes;
  int32_t resolution = 72;          // dots per inch, both axes
  bool repeat = false;              // "repeat filter": start without the parameters selector
  std::optional<std::vector<uint8_t>> parameters;  // the parameters handle a host kept
  int32_t allocationErrorAt = -1;   // the nth handle or buffer the plug-in asks for is refused
};

struct FilterOutcome {
  int16_t result = 0;
  std::string selector;  // the selector that gave a non-zero result
  int32_t rowsDelivered = 0;
  size_t leftoverBuffers = 0;  // buffers the plug-in did not free
  std::optional<Descriptor> recorded;  // the descriptor the plug-in handed back
  size_t leftoverHandles = 0;  // handles beyond the globals and parameters
  std::optional<std::vector<uint8_t>> parameters;  // the parameters handle after the run
};

// Runs the whole filter protocol on `image` (changed in place). Throws std::runtime_error when
// the plug-in cannot be run at all (no entry point).
FilterOutcome RunFilter(const PluginModule& module, const std::string& entry, Image& image,
                        const FilterOptions& options, Progress& progress);

}  // namespace plughost
