#include "tessaro/SettingsFile.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>

namespace tessaro {
namespace {

// Lines longer than this are cut; the rest of such a line is dropped, never read as a line.
constexpr std::size_t kMaxLine = 511;

char LowerChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = LowerChar(c);
  return r;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerChar(a[i]) != LowerChar(b[i])) return false;
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Splits at any of `seps`, dropping empty pieces.
std::vector<std::string> Split(std::string_view s, std::string_view seps) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && seps.find(s[i]) != std::string_view::npos) ++i;
    std::size_t j = i;
    while (j < s.size() && seps.find(s[j]) == std::string_view::npos) ++j;
    if (j > i) out.emplace_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

// A number as the file holds it; false for text that is not one.
bool Number(const std::string& s, double& v) {
  char* end = nullptr;
  v = std::strtod(s.c_str(), &end);
  return end != s.c_str() && std::isfinite(v);
}

int Truncate(double v) {
  if (v >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (v <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

std::int16_t Truncate16(double v) {
  const int i = Truncate(v);
  return static_cast<std::int16_t>(i < -32768 ? -32768 : i > 32767 ? 32767 : i);
}

// Up to six significant digits, no trailing zeros.
std::string Real(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// The carriage return of a file written in text mode on Windows ends a value like a blank.
const char* const kSeparators = " =\t\r";

// A conversion preset as its section is read: numbers and the two texts, until it ends.
struct PresetReader {
  ConversionSettings s;
  std::string wb, camera;
  bool hasCamera = false;
  double coef[4] = {0, 0, 0, 0};
  double temp = 0, ccIndex = 0;

  explicit PresetReader(const std::string& name) {
    s.name = name;
    s.Exposure = 0;
    s.Saturation = 0;
    s.Contrast = 0;
    s.DIVUContrast = 0;
    s.PreciseContrast = 0;
    s.PreciseGamma = 0;
    s.Shadows = 0;
    s.Highlights = 0;
    s.Interpolation = 0;
    s.ColorDepth = 0;
    s.ColorSpace = 0;
    s.ExtraSize = s.ClipValues = s.HighlightsFix = s.ConvertToMonitor = false;
  }

  void Line(std::string_view line) {
    auto parts = Split(line, kSeparators);
    if (parts.size() < 2) return;
    const std::string key = Lower(parts[0]);
    if (key == "wb") {
      wb = Lower(parts[1]);
      return;
    }
    if (key == "camera") {
      camera = Lower(parts[1]);
      hasCamera = true;
      return;
    }
    double v = 0;
    if (!Number(parts[1], v)) return;
    if (key == "coefr") coef[0] = v;
    else if (key == "coefg1") coef[1] = v;
    else if (key == "coefg2") coef[2] = v;
    else if (key == "coefb") coef[3] = v;
    else if (key == "temp") temp = v;
    else if (key == "ccindex") ccIndex = v;
    else if (key == "exposure") s.Exposure = v;
    else if (key == "saturation") s.Saturation = Truncate(v);
    else if (key == "contrast") s.Contrast = Truncate16(v);
    else if (key == "divucontrast") s.DIVUContrast = Truncate(v);
    else if (key == "precisecontrast") s.PreciseContrast = v;
    else if (key == "precisegamma") s.PreciseGamma = v;
    else if (key == "shadows") s.Shadows = v;
    else if (key == "highlights") s.Highlights = v;
    else if (key == "interpolation") s.Interpolation = Truncate16(v);
    else if (key == "colordepth") s.ColorDepth = Truncate16(v);
    else if (key == "colorspace") s.ColorSpace = Truncate16(v);
    else if (key == "extrasize") s.ExtraSize = v == 1.0;
    else if (key == "clipvalues") s.ClipValues = v == 1.0;
    else if (key == "highlightsfix") s.HighlightsFix = v == 1.0;
    else if (key == "converttomonitor") s.ConvertToMonitor = v == 1.0;
  }

  ConversionSettings Finish() {
    if (wb == "coef") {
      s.SetWB(WBCoef::Truncated(coef[0], coef[1], coef[2], coef[3]));
    } else if (wb == "temp") {
      s.SetWB(WBTemp(Truncate(temp), Truncate(ccIndex)));
    } else if (wb == "camera") {
      s.SetWB(WBCamera::FromName(camera));
    } else {
      // Older files say which white balance by number alone.
      double n = 0;
      const int k = hasCamera && Number(camera, n) ? Truncate(n) : 0;
      if (k >= 1 && k <= 6) s.SetWB(WBCamera(k));
      else if (k == 7) s.SetWB(WBCoef::Truncated(coef[0], coef[1], coef[2], coef[3]));
      else if (k == 8) s.SetWB(WBTemp(Truncate(temp), Truncate(ccIndex)));
      else s.SetWB(WBCamera(0));
    }
    return std::move(s);
  }
};

void ReadWbPresetLine(std::string_view line, std::vector<WbPreset>& out) {
  while (!line.empty() && line.front() == '\r') line.remove_prefix(1);
  if (Trim(line).empty()) return;
  const std::size_t end = line.find_first_of("=\t;,");
  std::string_view name = Trim(line.substr(0, end));
  if (name.empty() || end == std::string_view::npos) return;
  std::vector<double> numbers;
  for (const std::string& p : Split(line.substr(end), " =\t;,\r")) {
    double v = 0;
    if (numbers.size() == 4 || !Number(p, v)) break;
    numbers.push_back(v);
  }
  if (numbers.empty()) return;
  if (numbers.size() == 4)
    out.emplace_back(std::string(name), WBCoef::Truncated(numbers[0], numbers[1], numbers[2], numbers[3]).Clone());
  else
    out.emplace_back(std::string(name),
                     std::make_unique<WBTemp>(Truncate(numbers[0]), numbers.size() > 1 ? Truncate(numbers[1]) : 0));
}

std::string ReplaceExtension(const std::string& path, const char* ext) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + ext;
  return path.substr(0, dot) + ext;
}

}  // namespace

void SettingsFile::Reset() {
  general.Reset();
  wbPresets.clear();
  presets.clear();
}

void SettingsFile::Parse(std::string_view text) {
  enum class Section { General, WhiteBalance, Preset } section = Section::General;
  std::unique_ptr<PresetReader> preset;
  auto endPreset = [&] {
    if (preset) presets.push_back(preset->Finish());
    preset.reset();
  };
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) nl = text.size();
    std::string_view line = text.substr(pos, std::min(nl - pos, kMaxLine));
    pos = nl + 1;
    const std::size_t open = line.find('[');
    const std::size_t close = open == std::string_view::npos ? open : line.find(']', open + 1);
    if (close != std::string_view::npos) {
      const std::string_view name = Trim(line.substr(open + 1, close - open - 1));
      if (!name.empty()) {
        endPreset();
        if (SameText(name, "GeneralSettings")) section = Section::General;
        else if (SameText(name, "WhiteBalancePresets")) section = Section::WhiteBalance;
        else {
          section = Section::Preset;
          preset = std::make_unique<PresetReader>(std::string(name));
        }
        continue;
      }
    }
    switch (section) {
      case Section::General: {
        auto parts = Split(line, std::string_view(" =\t\r"));
        double v = 0;
        if (parts.size() >= 2 && Number(parts[1], v)) general.Set(parts[0], v);
        break;
      }
      case Section::WhiteBalance: ReadWbPresetLine(line, wbPresets); break;
      case Section::Preset: preset->Line(line); break;
    }
  }
  endPreset();
  CompleteWbPresets();
}

void SettingsFile::CompleteWbPresets() {
  const CameraWb none;
  // Drop the camera presets a previous completion put here; they are placed anew.
  std::vector<WbPreset> user;
  for (WbPreset& p : wbPresets)
    if (p.wb && p.wb->IsUserDefined()) user.push_back(std::move(p));
  std::vector<WbPreset> list;
  list.emplace_back(WBCamera(0).SuggestedName(none), std::make_unique<WBCamera>(0));
  if (general.includeRawWBPresets)
    for (int k : {2, 3, 1, 4, 5, 6}) list.emplace_back(WBCamera(k).SuggestedName(none), std::make_unique<WBCamera>(k));
  std::size_t custom = user.size();
  for (std::size_t i = 0; i < user.size(); ++i)
    if (user[i].name == "Custom") {
      custom = i;
      break;
    }
  if (custom < user.size()) {
    list.insert(list.begin() + 1, std::move(user[custom]));
    user.erase(user.begin() + static_cast<std::ptrdiff_t>(custom));
  } else {
    list.insert(list.begin() + 1, WbPreset("Custom", std::make_unique<WBCoef>(1.0, 1.0, 1.0, 1.0)));
  }
  for (WbPreset& p : user) list.push_back(std::move(p));
  wbPresets = std::move(list);
}

std::string PresetSettingsText(const ConversionSettings& s) {
  std::string t = s.GetWB().SettingsText();
  if (!t.empty() && t.back() != '\n') t += '\n';
  auto line = [&](const char* key, const std::string& v) { t += std::string(key) + " = " + v + "\n"; };
  line("Exposure", Real(s.Exposure));
  line("Saturation", std::to_string(s.Saturation));
  line("Contrast", std::to_string(s.Contrast));
  if (s.Contrast != 0) {
    line("DIVUContrast", std::to_string(s.DIVUContrast));
  } else {
    line("PreciseContrast", Real(s.PreciseContrast));
    line("PreciseGamma", Real(s.PreciseGamma));
    line("Shadows", Real(s.Shadows));
    line("Highlights", Real(s.Highlights));
  }
  line("Interpolation", std::to_string(s.Interpolation));
  line("ColorDepth", std::to_string(s.ColorDepth));
  line("ColorSpace", std::to_string(s.ColorSpace));
  line("ExtraSize", s.ExtraSize ? "1" : "0");
  line("ClipValues", s.ClipValues ? "1" : "0");
  line("HighlightsFix", s.HighlightsFix ? "1" : "0");
  line("ConvertToMonitor", s.ConvertToMonitor ? "1" : "0");
  return t;
}

std::string SettingsFile::Text() const {
  std::string t = "[GeneralSettings]\n" + general.Text();
  t += "\n[WhiteBalancePresets]\n";
  for (const WbPreset& p : wbPresets)
    if (p.wb && p.wb->IsUserDefined()) t += p.wb->FileLine(p.name);
  for (const ConversionSettings& s : presets) t += "\n[" + s.name + "]\n" + PresetSettingsText(s);
  return t;
}

void SettingsFile::Load(const std::string& path) {
  Reset();
  if (!path.empty()) {
    std::ifstream in(path, std::ios::binary);
    if (in) {
      std::ostringstream all;
      all << in.rdbuf();
      Parse(all.str());
      return;
    }
  }
  CompleteWbPresets();
}

bool SettingsFile::Save(const std::string& path) const {
  if (path.empty()) return false;
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return false;
  const std::string t = Text();
  const bool ok = std::fwrite(t.data(), 1, t.size(), f) == t.size();
  return std::fclose(f) == 0 && ok;
}

const ConversionSettings* SettingsFile::FindPreset(std::string_view name) const {
  for (const ConversionSettings& s : presets)
    if (SameText(s.name, name)) return &s;
  return nullptr;
}

std::string PluginPathProper(const std::string& modulePath) {
  const std::size_t n = modulePath.size();
  if (n > 3 && SameText(std::string_view(modulePath).substr(n - 3), ".so")) return modulePath.substr(0, n - 3);
  return modulePath;
}

std::string SettingsPathFor(const std::string& modulePath) {
  const std::string p = PluginPathProper(modulePath);
  if (p.size() < 4 || !SameText(std::string_view(p).substr(p.size() - 4), ".8bi")) return std::string();
  return p.substr(0, p.size() - 4) + ".ini";
}

std::string LogPathFor(const std::string& modulePath) {
  const std::string p = PluginPathProper(modulePath);
  return p.empty() ? p : ReplaceExtension(p, ".log");
}

}  // namespace tessaro
