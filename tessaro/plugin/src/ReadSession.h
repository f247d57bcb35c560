#pragma once
// A read as the host drives it: read start parses the file and declares the image, read
// continue converts it row by row, read finish gives everything back. One per plug-in
// instance, kept in the globals handle between calls.
#include <cstdint>
#include <memory>

#include "ReadHost.h"
#include "Trace.h"
#include "tessaro/ChannelLut.h"
#include "tessaro/Colour.h"
#include "tessaro/ConversionSettings.h"
#include "tessaro/Interpolation.h"
#include "tessaro/RawFile.h"
#include "tessaro/SettingsFile.h"

namespace tessaro::plugin {

// The conversion settings and the settings file serve the read in progress, process-wide.
ConversionSettings& Settings();
SettingsFile& SettingsFileState();

class ReadSession {
public:
  std::int16_t ReadStart(ReadHost& host);
  std::int16_t ReadContinue(ReadHost& host);
  std::int16_t ReadFinish(ReadHost& host);
  std::int16_t FilterFile(ReadHost& host);
  std::int16_t OptionsStart(ReadHost& host);

  const ReadWindow& Window() const { return window_; }
  double ConversionMs() const { return conversionMs_; }
  bool HasFile() const { return file_ != nullptr; }

private:
  std::int16_t StartPreview(ReadHost& host);
  std::int16_t ContinuePreview(ReadHost& host);
  std::int16_t PreparePlane(ReadHost& host);
  bool UsesThumbnail();
  bool AllocateInBuffers(ReadHost& host);
  void FreeBuffers(ReadHost& host);
  std::int16_t CleanUp(ReadHost& host, std::int16_t result);
  void DestroyFile();
  std::int16_t CheckHost(ReadHost& host);

  std::unique_ptr<RawFile> file_;
  ReadWindow window_;
  ChannelLuts* luts_ = nullptr;
  LinearisingTable* linear_ = nullptr;
  bool preview_ = false;
  bool canUseIcc_ = false;
  bool host16Bit_ = false;
  int depth_ = 8;
  double conversionMs_ = 0;
};

// The log file of the read in progress, process-wide like the settings.
LogFile& Log();

}  // namespace tessaro::plugin
