#pragma once
// Reads Windows PE images (PE32 and PE32+) from memory, without Win32, so plughost can
// read x86 and x64 plug-in DLLs on any machine. Every byte comes from a possibly hostile
// file: each offset, size and count is checked, and a malformed image yields an error, never
// a read outside the buffer.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm::host::pe {

// The COFF machine field. Values other than the two named ones are kept as read.
enum class Machine : uint16_t {
  Unknown = 0,
  I386 = 0x014c,
  Amd64 = 0x8664,
};

struct Section {
  std::string name;  // up to 8 characters, as stored
  uint32_t virtual_address = 0;
  uint32_t virtual_size = 0;
  uint32_t raw_offset = 0;  // PointerToRawData
  uint32_t raw_size = 0;    // SizeOfRawData
  uint32_t characteristics = 0;
};

struct DataDirectory {
  uint32_t rva = 0;
  uint32_t size = 0;
};

// Indices into the optional header's data directories.
enum class DirectoryIndex : unsigned { Export = 0, Import = 1, Resource = 2 };

struct Export {
  std::string name;
  uint32_t ordinal = 0;  // biased: the ordinal a caller of GetProcAddress would use
  uint32_t rva = 0;      // the function's RVA, or the forwarder string's when forwarded
  bool forwarded = false;
  std::string forwarder;  // "OTHERDLL.Function" or "OTHERDLL.#12" when forwarded
};

struct ExportDirectory {
  std::string dll_name;
  uint32_t ordinal_base = 0;
  uint32_t function_count = 0;  // entries in the address table, named or not
  std::vector<Export> names;    // the named exports, in the table's order
};

// A resource type or name: a 16-bit id or a UTF-16 string. Windows compares string names
// without regard to ASCII case (resource compilers store them upper-case).
class ResourceKey {
 public:
  static ResourceKey id(uint16_t value);
  static ResourceKey named(std::string_view ascii_or_utf8);
  static ResourceKey named_utf16(std::u16string value);

  bool is_id() const { return is_id_; }
  uint16_t id_value() const { return id_; }
  const std::u16string& name() const { return name_; }

  // "#16000" for ids, the UTF-8 name otherwise.
  std::string to_string() const;
  bool matches(const ResourceKey& other) const;
  friend bool operator==(const ResourceKey& a, const ResourceKey& b) { return a.matches(b); }

 private:
  bool is_id_ = true;
  uint16_t id_ = 0;
  std::u16string name_;
};

struct Resource {
  ResourceKey type;
  ResourceKey name;
  uint16_t language = 0;
  uint32_t data_rva = 0;
  uint32_t size = 0;
  uint32_t code_page = 0;
};

class PeImage {
 public:
  // Parses the headers, the section table, the export directory and the resource tree.
  // Returns nullopt (with the reason in *error) when the headers or the section table are
  // unusable. A malformed export or resource directory does not fail the parse: that part is
  // left empty and its reason is in exports_error() / resources_error().
  //
  // The span overload keeps a view: the bytes must outlive the image and its copies. The
  // vector overload takes the bytes over.
  static std::optional<PeImage> Parse(std::span<const uint8_t> file, std::string* error = nullptr);
  static std::optional<PeImage> Parse(std::vector<uint8_t>&& file, std::string* error = nullptr);

  Machine machine() const { return machine_; }
  bool is_pe32_plus() const { return pe32_plus_; }
  bool is_dll() const { return (characteristics_ & 0x2000u) != 0; }
  uint16_t characteristics() const { return characteristics_; }
  uint64_t image_base() const { return image_base_; }
  uint32_t entry_point_rva() const { return entry_point_; }
  uint32_t size_of_image() const { return size_of_image_; }
  uint32_t size_of_headers() const { return size_of_headers_; }
  uint16_t subsystem() const { return subsystem_; }

  const std::vector<Section>& sections() const { return sections_; }
  // A directory the optional header does not have reads as {0, 0}.
  DataDirectory directory(DirectoryIndex index) const;

  // The file offset of the bytes [rva, rva + size), when they all lie in the file data of one
  // section (or in the headers). Bytes a section only has in memory (its zero-filled tail)
  // have no file offset.
  std::optional<uint32_t> rva_to_offset(uint32_t rva, uint32_t size = 1) const;
  std::optional<std::span<const uint8_t>> bytes_at_rva(uint32_t rva, uint32_t size) const;
  // The section holding the given RVA in memory, if any.
  const Section* section_for_rva(uint32_t rva) const;

  const ExportDirectory& exports() const { return exports_; }
  const std::string& exports_error() const { return exports_error_; }
  const Export* find_export(std::string_view name) const;

  // Every leaf of the resource tree as (type, name, language), in stored order.
  const std::vector<Resource>& resources() const { return resources_; }
  const std::string& resources_error() const { return resources_error_; }
  // The bytes of a resource: the given language, or the first one stored when none is given.
  std::optional<std::span<const uint8_t>> find_resource(
      const ResourceKey& type, const ResourceKey& name,
      std::optional<uint16_t> language = std::nullopt) const;
  const Resource* find_resource_entry(const ResourceKey& type, const ResourceKey& name,
                                      std::optional<uint16_t> language = std::nullopt) const;

  std::span<const uint8_t> file() const { return file_; }

 private:
  PeImage() = default;
  bool parse_headers(std::string& error);
  void parse_exports();
  void parse_resources();

  std::shared_ptr<const std::vector<uint8_t>> owned_;
  std::span<const uint8_t> file_;
  Machine machine_ = Machine::Unknown;
  bool pe32_plus_ = false;
  uint16_t characteristics_ = 0;
  uint64_t image_base_ = 0;
  uint32_t entry_point_ = 0;
  uint32_t size_of_image_ = 0;
  uint32_t size_of_headers_ = 0;
  uint16_t subsystem_ = 0;
  std::vector<DataDirectory> directories_;
  std::vector<Section> sections_;
  ExportDirectory exports_;
  std::string exports_error_;
  std::vector<Resource> resources_;
  std::string resources_error_;
};

// Short name for a machine: "i386", "x86-64" or "0x1c4".
std::string MachineName(Machine machine);

}  // namespace qm::host::pe
