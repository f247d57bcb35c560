#pragma once
// The conversion dialog step of read start. One function, so the full dialog replaces the
// plain confirmation given here without touching the read.
#include "tessaro/ConversionSettings.h"
#include "tessaro/RawFile.h"
#include "tessaro/SettingsFile.h"

namespace tessaro::plugin {

struct DialogContext {
  RawFile& file;
  ConversionSettings& settings;  // edited in place
  SettingsFile& settingsFile;    // general options and preset lists
  bool host16Bit;                // 48 bits may be offered
  int cameraOrientation = 0;     // the plane's orientation when loaded; 0: the file's
  int rotation = 0;              // the host's quarter turns, shown in the previews
  double lastConversionMs = -1;  // of this process's last conversion; negative: none yet
};

// What the dialog returns besides 0 (accepted) for a user who cancels.
inline constexpr int kDialogStop = 2;

// 0 when the user accepts (the settings hold the choices), kDialogStop when they cancel, any
// other value when the dialog fails.
int RunConversionDialog(DialogContext& context);

}  // namespace tessaro::plugin
