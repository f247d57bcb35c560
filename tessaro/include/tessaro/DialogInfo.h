#pragma once
// The text of the conversion dialog's information window: what the camera recorded, what the
// shot's white balance was, the values the colour and white-balance model come from, the
// profile the output will carry and how long the last conversion took.

#include <string>

#include "tessaro/ConversionSettings.h"
#include "tessaro/RawFile.h"
#include "tessaro/WhiteBalance.h"

namespace tessaro {

struct DialogInfoInput {
  const RawFile* file = nullptr;  // none: only the settings' part
  const ConversionSettings* settings = nullptr;
  const CameraWb* camera = nullptr;
  std::string profileName;
  // Milliseconds of the last conversion in this process; negative when there was none.
  double lastConversionMs = -1;
};

// Lines ending in "\n"; sections in a fixed order so the window reads the same every time.
std::string DialogInfoText(const DialogInfoInput& in);

}  // namespace tessaro
