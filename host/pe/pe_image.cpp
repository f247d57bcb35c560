#include "pe_image.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace qm::host::pe {
namespace {

// Bounds that keep a hostile file from costing unbounded time or memory. Real images stay far
// below them: names are short, and resource trees have hundreds of entries, not millions.
constexpr size_t kMaxExportName = 4096;
constexpr size_t kMaxDllName = 1024;
constexpr uint32_t kMaxResourceEntries = 65536;    // directory entries visited, all levels
constexpr size_t kMaxResourceNameChars = 1u << 22;  // UTF-16 units read for names, in total
constexpr size_t kExportNameSlack = 65536;

constexpr uint16_t kMagicPe32 = 0x10b;
constexpr uint16_t kMagicPe32Plus = 0x20b;
constexpr size_t kCoffHeaderSize = 20;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kExportDirectorySize = 40;
constexpr size_t kResourceDirectorySize = 16;
constexpr size_t kResourceEntrySize = 8;
constexpr size_t kResourceDataEntrySize = 16;
constexpr uint32_t kHighBit = 0x80000000u;

uint16_t Rd16(std::span<const uint8_t> b, size_t off) {
  return static_cast<uint16_t>(b[off] | (b[off + 1] << 8));
}
uint32_t Rd32(std::span<const uint8_t> b, size_t off) {
  return static_cast<uint32_t>(b[off]) | (static_cast<uint32_t>(b[off + 1]) << 8) |
         (static_cast<uint32_t>(b[off + 2]) << 16) | (static_cast<uint32_t>(b[off + 3]) << 24);
}
uint64_t Rd64(std::span<const uint8_t> b, size_t off) {
  return static_cast<uint64_t>(Rd32(b, off)) | (static_cast<uint64_t>(Rd32(b, off + 4)) << 32);
}

// True when [off, off + len) lies inside a buffer of the given size; immune to overflow.
bool Fits(size_t total, uint64_t off, uint64_t len) {
  return off <= total && len <= total - off;
}

std::string Hex(uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
  return buf;
}

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

// UTF-8 to UTF-16; malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else {
      size_t need = 0;
      uint32_t min = 0;
      if ((c & 0xE0) == 0xC0) { need = 1; cp = c & 0x1Fu; min = 0x80; }
      else if ((c & 0xF0) == 0xE0) { need = 2; cp = c & 0x0Fu; min = 0x800; }
      else if ((c & 0xF8) == 0xF0) { need = 3; cp = c & 0x07u; min = 0x10000; }
      bool ok = need > 0;
      for (size_t k = 1; ok && k <= need; ++k) {
        if (i + k >= s.size()) { ok = false; break; }
        const auto cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) { ok = false; break; }
        cp = (cp << 6) | (cc & 0x3Fu);
      }
      if (ok && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
        len = need + 1;
      } else {
        cp = 0xFFFD;
      }
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// UTF-16 to UTF-8; unpaired surrogates (legal in resource names) become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00u);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

struct Failure {
  std::string what;
};

}  // namespace

// ---------------------------------------------------------------------------------------------

ResourceKey ResourceKey::id(uint16_t value) {
  ResourceKey k;
  k.is_id_ = true;
  k.id_ = value;
  return k;
}

ResourceKey ResourceKey::named(std::string_view ascii_or_utf8) {
  return named_utf16(Utf8ToUtf16(ascii_or_utf8));
}

ResourceKey ResourceKey::named_utf16(std::u16string value) {
  ResourceKey k;
  k.is_id_ = false;
  k.name_ = std::move(value);
  return k;
}

std::string ResourceKey::to_string() const {
  if (!is_id_) return Utf16ToUtf8(name_);
  // Appending, not "#" + string: GCC 12 at -O3 warns falsely (-Wrestrict) about the latter.
  std::string s = "#";
  s += std::to_string(id_);
  return s;
}

bool ResourceKey::matches(const ResourceKey& other) const {
  if (is_id_ != other.is_id_) return false;
  if (is_id_) return id_ == other.id_;
  if (name_.size() != other.name_.size()) return false;
  for (size_t i = 0; i < name_.size(); ++i) {
    if (AsciiUpper(name_[i]) != AsciiUpper(other.name_[i])) return false;
  }
  return true;
}

std::string MachineName(Machine machine) {
  switch (machine) {
    case Machine::I386: return "i386";
    case Machine::Amd64: return "x86-64";
    default: return Hex(static_cast<uint16_t>(machine));
  }
}

// ---------------------------------------------------------------------------------------------

std::optional<PeImage> PeImage::Parse(std::span<const uint8_t> file, std::string* error) {
  PeImage img;
  img.file_ = file;
  std::string why;
  if (!img.parse_headers(why)) {
    if (error) *error = why;
    return std::nullopt;
  }
  img.parse_exports();
  img.parse_resources();
  if (error) error->clear();
  return img;
}

std::optional<PeImage> PeImage::Parse(std::vector<uint8_t>&& file, std::string* error) {
  auto owned = std::make_shared<const std::vector<uint8_t>>(std::move(file));
  auto img = Parse(std::span<const uint8_t>(*owned), error);
  if (img) img->owned_ = std::move(owned);
  return img;
}

bool PeImage::parse_headers(std::string& error) {
  const auto b = file_;
  const size_t n = b.size();
  if (n < 64) {
    error = "too short for a DOS header";
    return false;
  }
  if (b[0] != 'M' || b[1] != 'Z') {
    error = "no MZ signature";
    return false;
  }
  const uint32_t pe_field = Rd32(b, 0x3c);
  if (!Fits(n, pe_field, 4 + kCoffHeaderSize)) {
    error = "PE header offset " + Hex(pe_field) + " lies outside the file";
    return false;
  }
  const size_t pe_off = pe_field;
  if (b[pe_off] != 'P' || b[pe_off + 1] != 'E' || b[pe_off + 2] != 0 || b[pe_off + 3] != 0) {
    error = "no PE signature";
    return false;
  }
  const size_t coff = pe_off + 4;
  machine_ = static_cast<Machine>(Rd16(b, coff));
  const uint16_t section_count = Rd16(b, coff + 2);
  const uint16_t opt_size = Rd16(b, coff + 16);
  characteristics_ = Rd16(b, coff + 18);

  const size_t opt = coff + kCoffHeaderSize;
  if (!Fits(n, opt, opt_size)) {
    error = "optional header runs past the end of the file";
    return false;
  }
  if (opt_size < 2) {
    error = "no optional header";
    return false;
  }
  const uint16_t magic = Rd16(b, opt);
  size_t fixed = 0;  // bytes before the data directories
  if (magic == kMagicPe32) {
    pe32_plus_ = false;
    fixed = 96;
  } else if (magic == kMagicPe32Plus) {
    pe32_plus_ = true;
    fixed = 112;
  } else {
    error = "unknown optional header magic " + Hex(magic);
    return false;
  }
  if (opt_size < fixed) {
    error = "optional header too short (" + std::to_string(opt_size) + " bytes)";
    return false;
  }
  if ((machine_ == Machine::I386 && pe32_plus_) || (machine_ == Machine::Amd64 && !pe32_plus_)) {
    error = "machine " + MachineName(machine_) + " does not match a " +
            (pe32_plus_ ? "PE32+" : "PE32") + " optional header";
    return false;
  }
  entry_point_ = Rd32(b, opt + 16);
  image_base_ = pe32_plus_ ? Rd64(b, opt + 24) : Rd32(b, opt + 28);
  size_of_image_ = Rd32(b, opt + 56);
  size_of_headers_ = Rd32(b, opt + 60);
  subsystem_ = Rd16(b, opt + 68);
  const uint32_t declared_dirs = Rd32(b, opt + fixed - 4);
  const size_t room = (opt_size - fixed) / 8;
  const size_t dir_count = std::min<size_t>({declared_dirs, room, 16});
  directories_.reserve(dir_count);
  for (size_t i = 0; i < dir_count; ++i) {
    directories_.push_back({Rd32(b, opt + fixed + 8 * i), Rd32(b, opt + fixed + 8 * i + 4)});
  }

  const size_t table = opt + opt_size;
  if (!Fits(n, table, uint64_t{section_count} * kSectionHeaderSize)) {
    error = "section table (" + std::to_string(section_count) + " sections) runs past the end of the file";
    return false;
  }
  sections_.reserve(section_count);
  for (size_t i = 0; i < section_count; ++i) {
    const size_t s = table + i * kSectionHeaderSize;
    Section sec;
    for (size_t k = 0; k < 8 && b[s + k] != 0; ++k) sec.name.push_back(static_cast<char>(b[s + k]));
    sec.virtual_size = Rd32(b, s + 8);
    sec.virtual_address = Rd32(b, s + 12);
    sec.raw_size = Rd32(b, s + 16);
    sec.raw_offset = Rd32(b, s + 20);
    sec.characteristics = Rd32(b, s + 36);
    sections_.push_back(std::move(sec));
  }
  return true;
}

DataDirectory PeImage::directory(DirectoryIndex index) const {
  const auto i = static_cast<size_t>(index);
  return i < directories_.size() ? directories_[i] : DataDirectory{};
}

const Section* PeImage::section_for_rva(uint32_t rva) const {
  for (const auto& s : sections_) {
    const uint32_t extent = s.virtual_size ? s.virtual_size : s.raw_size;
    if (rva >= s.virtual_address && rva - s.virtual_address < extent) return &s;
  }
  return nullptr;
}

std::optional<uint32_t> PeImage::rva_to_offset(uint32_t rva, uint32_t size) const {
  const size_t n = file_.size();
  if (const Section* s = section_for_rva(rva)) {
    const uint64_t delta = rva - s->virtual_address;
    if (uint64_t{delta} + size > s->raw_size) return std::nullopt;  // only in memory
    const uint64_t off = uint64_t{s->raw_offset} + delta;
    if (!Fits(n, off, size) || off > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(off);
  }
  // The headers are mapped at RVA 0 as they are in the file.
  const uint64_t end = uint64_t{rva} + size;
  if (end <= size_of_headers_ && end <= n) return rva;
  return std::nullopt;
}

std::optional<std::span<const uint8_t>> PeImage::bytes_at_rva(uint32_t rva, uint32_t size) const {
  auto off = rva_to_offset(rva, size);
  if (!off) return std::nullopt;
  return file_.subspan(*off, size);
}

namespace {

// The file bytes from an RVA to the end of what is mapped contiguously there.
std::span<const uint8_t> TailAt(const PeImage& img, uint32_t rva) {
  auto first = img.rva_to_offset(rva, 1);
  if (!first) return {};
  // Grow to the end of the containing section's file data (or of the headers).
  uint64_t avail = 0;
  if (const Section* s = img.section_for_rva(rva)) {
    avail = uint64_t{s->raw_size} - (rva - s->virtual_address);
  } else {
    avail = uint64_t{img.size_of_headers()} - rva;
  }
  avail = std::min<uint64_t>(avail, img.file().size() - *first);
  return img.file().subspan(*first, static_cast<size_t>(avail));
}

std::optional<std::string> CStringAt(const PeImage& img, uint32_t rva, size_t max_len) {
  const auto tail = TailAt(img, rva);
  const size_t limit = std::min(tail.size(), max_len + 1);
  for (size_t i = 0; i < limit; ++i) {
    if (tail[i] == 0) return std::string(reinterpret_cast<const char*>(tail.data()), i);
  }
  return std::nullopt;
}

uint32_t AddRva(uint32_t base, uint64_t off, const char* what) {
  const uint64_t r = uint64_t{base} + off;
  if (r > UINT32_MAX) throw Failure{std::string(what) + " lies beyond the 4 GiB address space"};
  return static_cast<uint32_t>(r);
}

}  // namespace

void PeImage::parse_exports() {
  const DataDirectory dir = directory(DirectoryIndex::Export);
  if (dir.rva == 0) return;
  try {
    auto hdr = bytes_at_rva(dir.rva, kExportDirectorySize);
    if (!hdr) throw Failure{"export directory at RVA " + Hex(dir.rva) + " is not in the file"};
    const auto d = *hdr;
    const uint32_t name_rva = Rd32(d, 12);
    exports_.ordinal_base = Rd32(d, 16);
    exports_.function_count = Rd32(d, 20);
    const uint32_t name_count = Rd32(d, 24);
    const uint32_t functions_rva = Rd32(d, 28);
    const uint32_t names_rva = Rd32(d, 32);
    const uint32_t ordinals_rva = Rd32(d, 36);

    if (name_rva != 0) {
      auto name = CStringAt(*this, name_rva, kMaxDllName);
      if (!name) throw Failure{"export DLL name at RVA " + Hex(name_rva) + " is not a string in the file"};
      exports_.dll_name = std::move(*name);
    }

    auto table = [&](uint32_t rva, uint64_t count, uint32_t width, const char* what) {
      if (count == 0) return std::span<const uint8_t>{};
      const uint64_t bytes = count * width;
      if (bytes > UINT32_MAX) throw Failure{std::string(what) + " is too large"};
      auto t = bytes_at_rva(rva, static_cast<uint32_t>(bytes));
      if (!t) throw Failure{std::string(what) + " at RVA " + Hex(rva) + " is not in the file"};
      return *t;
    };
    const auto functions = table(functions_rva, exports_.function_count, 4, "export address table");
    const auto names = table(names_rva, name_count, 4, "export name table");
    const auto ordinals = table(ordinals_rva, name_count, 2, "export ordinal table");

    const uint64_t forward_end = uint64_t{dir.rva} + dir.size;
    size_t name_bytes = 0;
    const size_t name_budget = file_.size() + kExportNameSlack;
    // Only a guess: the count is the file's word until each name has been read.
    exports_.names.reserve(std::min<uint32_t>(name_count, 4096));
    for (uint32_t i = 0; i < name_count; ++i) {
      const uint32_t nrva = Rd32(names, size_t{i} * 4);
      const uint16_t index = Rd16(ordinals, size_t{i} * 2);
      if (index >= exports_.function_count) {
        throw Failure{"export name " + std::to_string(i) + " refers to function " + std::to_string(index) +
                      " of " + std::to_string(exports_.function_count)};
      }
      Export e;
      auto name = CStringAt(*this, nrva, kMaxExportName);
      if (!name) throw Failure{"export name " + std::to_string(i) + " at RVA " + Hex(nrva) + " is not a string in the file"};
      name_bytes += name->size() + 1;
      if (name_bytes > name_budget) throw Failure{"export names repeat beyond the size of the file"};
      e.name = std::move(*name);
      const uint64_t ordinal = uint64_t{exports_.ordinal_base} + index;
      if (ordinal > UINT32_MAX) throw Failure{"export ordinal overflows"};
      e.ordinal = static_cast<uint32_t>(ordinal);
      e.rva = Rd32(functions, size_t{index} * 4);
      // An address inside the export directory is a "DLL.Function" string, not code.
      if (e.rva >= dir.rva && e.rva < forward_end) {
        auto fwd = CStringAt(*this, e.rva, kMaxExportName);
        if (!fwd) throw Failure{"forwarder of export " + e.name + " is not a string in the file"};
        name_bytes += fwd->size() + 1;
        if (name_bytes > name_budget) throw Failure{"export names repeat beyond the size of the file"};
        e.forwarded = true;
        e.forwarder = std::move(*fwd);
      }
      exports_.names.push_back(std::move(e));
    }
  } catch (const Failure& f) {
    exports_ = {};
    exports_error_ = f.what;
  }
}

const Export* PeImage::find_export(std::string_view name) const {
  for (const auto& e : exports_.names) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

namespace {

// Walks the three levels of the resource tree (type, name, language), bounding the work so a
// tree whose directories share or loop into each other still ends quickly.
class ResourceWalker {
 public:
  ResourceWalker(const PeImage& img, uint32_t base) : img_(img), base_(base) {}

  void walk(std::vector<Resource>& out) {
    Resource leaf;
    directory(0, 0, leaf, out);
  }

 private:
  std::span<const uint8_t> at(uint32_t offset, uint32_t size, const char* what) {
    const uint32_t rva = AddRva(base_, offset, what);
    auto bytes = img_.bytes_at_rva(rva, size);
    if (!bytes) throw Failure{std::string(what) + " at RVA " + Hex(rva) + " is not in the file"};
    return *bytes;
  }

  ResourceKey key(uint32_t field, int level) {
    if (field & kHighBit) {
      const uint32_t off = field & ~kHighBit;
      const uint16_t len = Rd16(at(off, 2, "resource name"), 0);
      name_chars_ += len;
      if (name_chars_ > kMaxResourceNameChars) throw Failure{"resource names are too long in total"};
      const auto chars = at(off + 2u, uint32_t{len} * 2u, "resource name");
      std::u16string s(len, u'\0');
      for (size_t i = 0; i < len; ++i) s[i] = static_cast<char16_t>(Rd16(chars, i * 2));
      return ResourceKey::named_utf16(std::move(s));
    }
    if (field > 0xFFFF) {
      throw Failure{"resource " + std::string(level == 2 ? "language" : "id") + " " + Hex(field) +
                    " does not fit in 16 bits"};
    }
    return ResourceKey::id(static_cast<uint16_t>(field));
  }

  void directory(uint32_t offset, int level, Resource& leaf, std::vector<Resource>& out) {
    const auto hdr = at(offset, kResourceDirectorySize, "resource directory");
    const uint32_t count = uint32_t{Rd16(hdr, 12)} + Rd16(hdr, 14);
    entries_ += count;
    if (entries_ > kMaxResourceEntries) throw Failure{"resource tree has too many entries"};
    const auto table = at(offset + static_cast<uint32_t>(kResourceDirectorySize),
                          count * static_cast<uint32_t>(kResourceEntrySize), "resource directory entries");
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t name_field = Rd32(table, size_t{i} * kResourceEntrySize);
      const uint32_t data_field = Rd32(table, size_t{i} * kResourceEntrySize + 4);
      const bool subdir = (data_field & kHighBit) != 0;
      if (level < 2) {
        if (!subdir) throw Failure{"resource tree has data where a directory belongs"};
        (level == 0 ? leaf.type : leaf.name) = key(name_field, level);
        directory(data_field & ~kHighBit, level + 1, leaf, out);
        continue;
      }
      if (subdir) throw Failure{"resource tree is deeper than type, name and language"};
      if (name_field & kHighBit) throw Failure{"resource language is a name"};
      const ResourceKey lang = key(name_field, level);
      const auto entry = at(data_field, kResourceDataEntrySize, "resource data entry");
      Resource r = leaf;
      r.language = lang.id_value();
      r.data_rva = Rd32(entry, 0);
      r.size = Rd32(entry, 4);
      r.code_page = Rd32(entry, 8);
      if (!img_.bytes_at_rva(r.data_rva, r.size)) {
        throw Failure{"data of resource " + r.type.to_string() + "/" + r.name.to_string() + " at RVA " +
                      Hex(r.data_rva) + " (" + std::to_string(r.size) + " bytes) is not in the file"};
      }
      out.push_back(std::move(r));
    }
  }

  const PeImage& img_;
  uint32_t base_;
  uint32_t entries_ = 0;
  size_t name_chars_ = 0;
};

}  // namespace

void PeImage::parse_resources() {
  const DataDirectory dir = directory(DirectoryIndex::Resource);
  if (dir.rva == 0) return;
  try {
    ResourceWalker(*this, dir.rva).walk(resources_);
  } catch (const Failure& f) {
    resources_.clear();
    resources_error_ = f.what;
  }
}

const Resource* PeImage::find_resource_entry(const ResourceKey& type, const ResourceKey& name,
                                             std::optional<uint16_t> language) const {
  for (const auto& r : resources_) {
    if (r.type.matches(type) && r.name.matches(name) && (!language || r.language == *language)) return &r;
  }
  return nullptr;
}

std::optional<std::span<const uint8_t>> PeImage::find_resource(const ResourceKey& type, const ResourceKey& name,
                                                               std::optional<uint16_t> language) const {
  const Resource* r = find_resource_entry(type, name, language);
  if (!r) return std::nullopt;
  return bytes_at_rva(r->data_rva, r->size);
}

}  // namespace qm::host::pe
