#pragma once
// The settings file beside the plug-in (Tessaro.ini): general options, the white-balance
// presets and the named conversion presets. Read at every read start, written when the user
// accepts the conversion dialog.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tessaro/ConversionSettings.h"
#include "tessaro/GeneralSettings.h"
#include "tessaro/WhiteBalance.h"

namespace tessaro {

struct WbPreset {
  std::string name;  // the user's name; for camera presets their suggested name
  std::unique_ptr<CWB> wb;

  WbPreset(std::string n, std::unique_ptr<CWB> w) : name(std::move(n)), wb(std::move(w)) {}
  WbPreset(const WbPreset& o) : name(o.name), wb(o.wb ? o.wb->Clone() : nullptr) {}
  WbPreset& operator=(const WbPreset& o) {
    if (this != &o) {
      name = o.name;
      wb = o.wb ? o.wb->Clone() : nullptr;
    }
    return *this;
  }
  WbPreset(WbPreset&&) noexcept = default;
  WbPreset& operator=(WbPreset&&) noexcept = default;
};

class SettingsFile {
public:
  GeneralSettings general;
  // After reading: the camera setting, "Custom", the raw presets when included, then the
  // user's presets in file order.
  std::vector<WbPreset> wbPresets;
  std::vector<ConversionSettings> presets;

  // General options to their defaults, no presets (the list is completed again).
  void Reset();
  // Reads the text of a settings file over the current state, then completes the list.
  void Parse(std::string_view text);
  // The whole file as the writer emits it.
  std::string Text() const;

  // Reset, then read the file; a missing or unreadable file leaves the defaults.
  void Load(const std::string& path);
  // Replaces the file; false (and nothing said) when it cannot be written.
  bool Save(const std::string& path) const;

  // The conversion preset of that name, compared without regard to case; null when none.
  const ConversionSettings* FindPreset(std::string_view name) const;

  // The completion of the white-balance list after reading.
  void CompleteWbPresets();
};

// The settings text of a conversion preset: its white-balance lines, then one line a field.
std::string PresetSettingsText(const ConversionSettings& s);

// Where the plug-in's files lie, from its own path. Native modules end in ".so" after the
// Windows name; that ending is not part of the plug-in's name. The settings file replaces a
// final ".8bi" (any case) by ".ini" and is empty for any other name; the log file replaces
// the extension by ".log".
std::string PluginPathProper(const std::string& modulePath);
std::string SettingsPathFor(const std::string& modulePath);
std::string LogPathFor(const std::string& modulePath);

}  // namespace tessaro
