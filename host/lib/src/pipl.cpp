#include "plughost/pipl.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace plughost {
namespace {

uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
int32_t I32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }

std::string PString(const std::vector<uint8_t>& d) {
  if (d.empty()) return {};
  size_t n = std::min<size_t>(d[0], d.size() - 1);
  return std::string(d.begin() + 1, d.begin() + 1 + static_cast<ptrdiff_t>(n));
}
std::string CString(const std::vector<uint8_t>& d) {
  size_t n = 0;
  while (n < d.size() && d[n]) ++n;
  return std::string(d.begin(), d.begin() + static_cast<ptrdiff_t>(n));
}
std::string Hex(const std::vector<uint8_t>& d) {
  std::string s;
  char b[4];
  for (size_t i = 0; i < d.size(); ++i) {
    std::snprintf(b, sizeof b, "%s%02X", i ? " " : "", d[i]);
    s += b;
  }
  return s;
}

}  // namespace

std::string FourCCText(uint32_t code) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) {
    char c = static_cast<char>((code >> shift) & 0xFF);
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

Pipl ParsePipl(const uint8_t* data, size_t size) {
  if (size < 10) throw std::runtime_error("PiPL too short");
  if (data[0] != 1 || data[1] != 0) throw std::runtime_error("PiPL does not start with 1");
  if (I32(data + 2) != 0) throw std::runtime_error("unknown PiPL version");
  const int32_t count = I32(data + 6);
  if (count < 0 || static_cast<size_t>(count) > (size - 10) / 16) throw std::runtime_error("bad PiPL property count");
  Pipl pipl;
  size_t off = 10;
  for (int32_t i = 0; i < count; ++i) {
    if (size - off < 16) throw std::runtime_error("PiPL property header past the end");
    PiplProperty p;
    p.vendor = U32(data + off);
    p.key = U32(data + off + 4);
    p.id = I32(data + off + 8);
    const int32_t len = I32(data + off + 12);
    off += 16;
    if (len < 0 || static_cast<size_t>(len) > size - off) throw std::runtime_error("PiPL property data past the end");
    p.data.assign(data + off, data + off + len);
    // Lengths may or may not include the padding; the next property starts on a 4-byte step.
    off += (static_cast<size_t>(len) + 3) & ~size_t{3};
    if (off > size) off = size;
    pipl.properties.push_back(std::move(p));
  }
  return pipl;
}

const PiplProperty* Pipl::Find(uint32_t key) const {
  for (const auto& p : properties)
    if (p.key == key) return &p;
  return nullptr;
}

std::optional<uint32_t> Pipl::Kind() const {
  const PiplProperty* p = Find(FourCC("kind"));
  if (!p || p->data.size() < 4) return std::nullopt;
  return U32(p->data.data());
}
std::optional<std::string> Pipl::Name() const {
  const PiplProperty* p = Find(FourCC("name"));
  return p ? std::optional(PString(p->data)) : std::nullopt;
}
std::optional<std::string> Pipl::Category() const {
  const PiplProperty* p = Find(FourCC("catg"));
  return p ? std::optional(PString(p->data)) : std::nullopt;
}
std::optional<std::string> Pipl::EntryPoint(Arch arch) const {
  const PiplProperty* p = Find(arch == Arch::X64 ? FourCC("8664") : FourCC("wx86"));
  return p ? std::optional(CString(p->data)) : std::nullopt;
}

std::optional<int32_t> Pipl::TerminologyId() const {
  const PiplProperty* p = Find(FourCC("hstm"));
  if (!p || p->data.size() < 14) return std::nullopt;
  return static_cast<int16_t>(p->data[12] | p->data[13] << 8);
}

std::string DescribeProperty(const PiplProperty& p) {
  std::string key = FourCCText(p.key);
  std::string line = key;
  if (p.vendor != FourCC("8BIM")) line += " (" + FourCCText(p.vendor) + ")";
  line += ": ";
  const auto& d = p.data;
  if ((key == "kind" || key == "host") && d.size() >= 4) return line + FourCCText(U32(d.data()));
  if ((key == "name" || key == "catg" || key == "prog" || key == "eMNA") && !d.empty())
    return line + "\"" + PString(d) + "\"";
  if ((key == "wx86" || key == "8664" || key == "wa64" || key == "enbl") && !d.empty())
    return line + "\"" + CString(d) + "\"";
  if (key == "vers" && d.size() >= 4) {
    char b[48];
    uint32_t v = U32(d.data());
    std::snprintf(b, sizeof b, "%u.%u (0x%08X)", v >> 16, v & 0xFFFF, v);
    return line + b;
  }
  if (key == "mode" && !d.empty()) {
    static const char* const kModes[] = {"Bitmap", "Grayscale", "Indexed", "RGB", "CMYK", "HSL", "HSB", "Multichannel",
                                         "Duotone", "Lab"};
    std::string names;
    for (size_t bit = 0; bit < 10 && bit / 8 < d.size(); ++bit)
      if (d[bit / 8] & (0x80 >> (bit % 8))) names += (names.empty() ? "" : ", ") + std::string(kModes[bit]);
    return line + Hex(d) + " (" + names + ")";
  }
  if (key == "fici" && d.size() >= 28) {
    line += "7 cases";
    for (size_t c = 0; c < 7; ++c) {
      char b[32];
      std::snprintf(b, sizeof b, " [in %u out %u flags %02X %02X]", d[c * 4], d[c * 4 + 1], d[c * 4 + 2], d[c * 4 + 3]);
      line += b;
    }
    return line;
  }
  if ((key == "fmTC" || key == "RdTy" || key == "WrTy") && d.size() >= 4 && d.size() % 4 == 0) {
    for (size_t i = 0; i + 4 <= d.size(); i += 4) line += (i ? ", \"" : "\"") + FourCCText(U32(&d[i])) + "\"";
    return line;
  }
  if ((key == "RdEx" || key == "WrEx") && d.size() >= 4) {
    // Extensions are stored in reading order.
    for (size_t i = 0; i + 4 <= d.size(); i += 4) {
      std::string ext(d.begin() + static_cast<ptrdiff_t>(i), d.begin() + static_cast<ptrdiff_t>(i + 4));
      while (!ext.empty() && (ext.back() == ' ' || ext.back() == 0)) ext.pop_back();
      if (!ext.empty()) line += (i ? ", \"" : "\"") + ext + "\"";
    }
    return line;
  }
  if (key == "mxsz" && d.size() >= 4) {
    const int v = static_cast<int16_t>(d[0] | d[1] << 8), h = static_cast<int16_t>(d[2] | d[3] << 8);
    return line + std::to_string(v) + " rows x " + std::to_string(h) + " columns";
  }
  if (key == "hstm" && d.size() >= 14) {
    std::string scope;
    for (size_t i = 14; i < d.size() && d[i]; ++i) scope += static_cast<char>(d[i]);
    return line + "class '" + FourCCText(U32(&d[4])) + "', event '" + FourCCText(U32(&d[8])) + "', AETE " +
           std::to_string(static_cast<int16_t>(d[12] | d[13] << 8)) + ", scope \"" + scope + "\"";
  }
  return line + Hex(d);
}

}  // namespace plughost
