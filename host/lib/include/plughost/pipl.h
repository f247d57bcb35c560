#pragma once
// The PiPL resource as Windows hosts read it: a little-endian header and a list of
// (vendor, key, id, length, data) properties, each padded to four bytes.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plughost {

constexpr uint32_t FourCC(const char (&c)[5]) {
  return (uint32_t(uint8_t(c[0])) << 24) | (uint32_t(uint8_t(c[1])) << 16) | (uint32_t(uint8_t(c[2])) << 8) |
         uint32_t(uint8_t(c[3]));
}
std::string FourCCText(uint32_t code);

struct PiplProperty {
  uint32_t vendor = 0, key = 0;
  int32_t id = 0;
  std::vector<uint8_t> data;
};

enum class Arch { X86, X64 };

struct Pipl {
  std::vector<PiplProperty> properties;

  const PiplProperty* Find(uint32_t key) const;
  std::optional<uint32_t> Kind() const;
  std::optional<std::string> Name() const;
  std::optional<std::string> Category() const;
  // The entry point a host of this architecture calls.
  std::optional<std::string> EntryPoint(Arch arch) const;
  // The AETE resource id of the 'hstm' property.
  std::optional<int32_t> TerminologyId() const;
};

// Throws std::runtime_error when the bytes are not a well-formed PiPL.
Pipl ParsePipl(const uint8_t* data, size_t size);

// One line a property, for `plughost info`.
std::string DescribeProperty(const PiplProperty& p);

}  // namespace plughost
