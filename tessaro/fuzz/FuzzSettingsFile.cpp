// Settings files are edited by hand: any text must read without harm, and what the reader
// keeps must survive a save and a read again unchanged, or the next run would lose or alter
// the user's presets.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tessaro/SettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessaro::SettingsFile read;
  read.Reset();
  read.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string saved = read.Text();

  tessaro::SettingsFile again;
  again.Reset();
  again.Parse(saved);
  if (again.Text() != saved) __builtin_trap();
  for (const tessaro::ConversionSettings& p : read.presets)
    if (!again.FindPreset(p.name)) __builtin_trap();
  return 0;
}
