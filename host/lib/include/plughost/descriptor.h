#pragma once
// A scripting descriptor as the host keeps it: keys in the order they were put, each with a
// typed value. Descriptors live in plain text files, one key a line, `KEY TYPE VALUE`:
//
//   crQu long 75            integer
//   expo doub 0.5           double
//   dist UntF #Pxl 12.5     unit double
//   exsi bool true          boolean
//   code enum encd eD48     enumeration: its type, then its value
//   clss type Fmt           class
//   name TEXT Any text      text, to the end of the line (\\ \n \r \t \xHH escapes)
//
// Four-character codes are written as they read, or as 0xHHHHHHHH when they hold bytes that
// a text line cannot carry. Blank lines and lines that start with "# " are skipped.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace plughost {

struct DescriptorValue {
  uint32_t type = 0;   // typeInteger, typeFloat, typeUnitFloat, typeBoolean, typeEnumerated, typeClass, typeText
  int32_t integer = 0;
  double real = 0;     // doub and UntF
  bool boolean = false;
  uint32_t code = 0;   // the unit (UntF), the enumeration type (enum) or the class (type)
  uint32_t enumValue = 0;
  std::string text;

  static DescriptorValue Integer(int32_t v);
  static DescriptorValue Float(double v);
  static DescriptorValue UnitFloat(uint32_t unit, double v);
  static DescriptorValue Bool(bool v);
  static DescriptorValue Enumerated(uint32_t enumType, uint32_t v);
  static DescriptorValue Class(uint32_t cls);
  static DescriptorValue Text(std::string v);

  bool operator==(const DescriptorValue& o) const;
};

struct DescriptorItem {
  uint32_t key = 0;
  DescriptorValue value;
  bool operator==(const DescriptorItem& o) const { return key == o.key && value == o.value; }
};

struct Descriptor {
  std::vector<DescriptorItem> items;

  const DescriptorValue* Find(uint32_t key) const;
  // A key is held once: putting it again replaces the value where it stands.
  void Put(uint32_t key, DescriptorValue value);
  bool operator==(const Descriptor& o) const { return items == o.items; }
};

// A descriptor file that cannot be used; what() is one line naming the place and the reason.
class DescriptorError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Whether `type` is one the text form and the host's suites carry.
bool IsDescriptorType(uint32_t type);

Descriptor ParseDescriptorText(std::string_view text);  // throws DescriptorError ("line N: ...")
std::string FormatDescriptorText(const Descriptor& d);

// Files: errors name the file.
Descriptor ReadDescriptorFile(const std::string& path);
void WriteDescriptorFile(const std::string& path, const Descriptor& d);

// The bytes a descriptor handle holds while the plug-in has it.
std::vector<uint8_t> EncodeDescriptor(const Descriptor& d);
// Refuses (nullopt) anything that is not a whole, well-formed encoding.
std::optional<Descriptor> DecodeDescriptor(const uint8_t* data, size_t size);

// A code as the text form writes it: "crQu", or "0x0000002A".
std::string DescriptorCodeText(uint32_t code);

}  // namespace plughost
