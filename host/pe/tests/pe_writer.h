#pragma once
// Writes small PE32 / PE32+ images for the reader's tests: headers, a code section, an
// export table, a resource tree and a section whose tail exists only in memory. The layout is
// the ordinary one linkers produce, written from the format's field offsets, independently of
// the reader.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qm::host::pe::testing {

constexpr uint32_t kFileAlign = 0x200;
constexpr uint32_t kSectionAlign = 0x1000;

inline uint32_t AlignUp(uint32_t v, uint32_t a) { return (v + a - 1) / a * a; }

struct Bytes {
  std::vector<uint8_t> v;
  size_t size() const { return v.size(); }
  void u8(uint8_t x) { v.push_back(x); }
  void u16(uint16_t x) { u8(static_cast<uint8_t>(x)); u8(static_cast<uint8_t>(x >> 8)); }
  void u32(uint32_t x) { u16(static_cast<uint16_t>(x)); u16(static_cast<uint16_t>(x >> 16)); }
  void u64(uint64_t x) { u32(static_cast<uint32_t>(x)); u32(static_cast<uint32_t>(x >> 32)); }
  void str(const std::string& s) { v.insert(v.end(), s.begin(), s.end()); }
  void pad_to(size_t n, uint8_t fill = 0) { if (v.size() < n) v.resize(n, fill); }
  void put32(size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
  }
};

struct WKey {
  bool is_name = false;
  uint16_t id = 0;
  std::u16string name;
  static WKey Id(uint16_t i) { return {false, i, {}}; }
  static WKey Name(std::u16string n) { return {true, 0, std::move(n)}; }
  // Windows' order: named entries first (by name), then ids ascending.
  friend bool operator<(const WKey& a, const WKey& b) {
    if (a.is_name != b.is_name) return a.is_name;
    return a.is_name ? a.name < b.name : a.id < b.id;
  }
};

struct WResource {
  WKey type;
  WKey name;
  uint16_t language = 0x409;
  std::vector<uint8_t> data;
};

struct WExport {
  std::string name;       // empty: exported by ordinal only
  std::string forwarder;  // non-empty: "DLL.Function"
};

struct Layout {
  uint32_t pe_offset = 0;
  uint32_t optional_offset = 0;
  uint32_t section_table_offset = 0;
  uint32_t text_rva = 0;
  uint32_t edata_rva = 0, edata_offset = 0;
  uint32_t rsrc_rva = 0, rsrc_offset = 0, rsrc_size = 0;
  uint32_t data_rva = 0, data_offset = 0;  // raw size kFileAlign, virtual size 0x3000
};

struct PeWriter {
  bool pe32_plus = true;
  uint16_t machine = 0x8664;
  bool dll = true;
  uint64_t image_base = 0x180000000ull;
  std::string dll_name = "sample.dll";
  uint32_t ordinal_base = 1;
  std::vector<WExport> exports;
  std::vector<WResource> resources;
  // Replaces the built resource tree with raw bytes placed at the given RVA.
  std::function<std::vector<uint8_t>(uint32_t rva)> raw_rsrc;

  Layout layout;

  std::vector<uint8_t> Build() {
    const bool has_edata = !exports.empty();
    const bool has_rsrc = !resources.empty() || raw_rsrc;
    const uint32_t opt_size = (pe32_plus ? 112u : 96u) + 16u * 8u;
    std::vector<std::string> names = {".text"};
    if (has_edata) names.push_back(".edata");
    if (has_rsrc) names.push_back(".rsrc");
    names.push_back(".data");

    layout.pe_offset = 0x80;
    layout.optional_offset = layout.pe_offset + 4 + 20;
    layout.section_table_offset = layout.optional_offset + opt_size;
    const uint32_t headers = AlignUp(layout.section_table_offset + 40u * static_cast<uint32_t>(names.size()), kFileAlign);

    // Section contents depend on their RVA but not their size: size them at RVA 0 first.
    struct Sec { std::string name; uint32_t rva, vsize, raw_off, raw_size; std::vector<uint8_t> bytes; uint32_t ch; };
    std::vector<Sec> secs;
    uint32_t rva = kSectionAlign, off = headers;
    auto place = [&](const std::string& name, std::function<std::vector<uint8_t>(uint32_t)> make,
                     uint32_t vsize_override, uint32_t ch) {
      const uint32_t size = static_cast<uint32_t>(make(0).size());
      Sec s{name, rva, vsize_override ? vsize_override : size, off, AlignUp(size, kFileAlign), make(rva), ch};
      rva = AlignUp(rva + std::max(s.vsize, s.raw_size), kSectionAlign);
      off += s.raw_size;
      secs.push_back(std::move(s));
    };
    place(".text", [](uint32_t) { return std::vector<uint8_t>(0x100, 0xC3); }, 0, 0x60000020);
    layout.text_rva = secs.back().rva;
    if (has_edata) {
      place(".edata", [&](uint32_t r) { return Edata(r); }, 0, 0x40000040);
      layout.edata_rva = secs.back().rva;
      layout.edata_offset = secs.back().raw_off;
    }
    if (has_rsrc) {
      place(".rsrc", [&](uint32_t r) { return raw_rsrc ? raw_rsrc(r) : Rsrc(r); }, 0, 0x40000040);
      layout.rsrc_rva = secs.back().rva;
      layout.rsrc_offset = secs.back().raw_off;
      layout.rsrc_size = static_cast<uint32_t>(secs.back().bytes.size());
    }
    place(".data", [](uint32_t) { return std::vector<uint8_t>(0x40, 0x5A); }, 0x3000, 0xC0000040);
    layout.data_rva = secs.back().rva;
    layout.data_offset = secs.back().raw_off;

    Bytes f;
    f.str("MZ");
    f.pad_to(0x3c);
    f.u32(layout.pe_offset);
    f.pad_to(layout.pe_offset);
    f.str(std::string("PE\0\0", 4));
    f.u16(machine);
    f.u16(static_cast<uint16_t>(secs.size()));
    f.u32(0);  // timestamp
    f.u32(0);
    f.u32(0);
    f.u16(static_cast<uint16_t>(opt_size));
    f.u16(static_cast<uint16_t>(0x0002 | (pe32_plus ? 0x0020 : 0x0100) | (dll ? 0x2000 : 0)));
    // Optional header.
    f.u16(pe32_plus ? 0x20b : 0x10b);
    f.u8(2);
    f.u8(40);
    f.u32(secs[0].raw_size);  // size of code
    f.u32(0);
    f.u32(0);
    f.u32(layout.text_rva + 0x10);  // entry point
    f.u32(layout.text_rva);         // base of code
    if (pe32_plus) {
      f.u64(image_base);
    } else {
      f.u32(0);  // base of data
      f.u32(static_cast<uint32_t>(image_base));
    }
    f.u32(kSectionAlign);
    f.u32(kFileAlign);
    f.u16(6); f.u16(0); f.u16(0); f.u16(0); f.u16(6); f.u16(0);
    f.u32(0);
    f.u32(rva);      // size of image
    f.u32(headers);  // size of headers
    f.u32(0);        // checksum
    f.u16(2);        // subsystem: GUI
    f.u16(0x0140);   // dll characteristics
    for (int i = 0; i < 4; ++i) pe32_plus ? f.u64(0x100000) : f.u32(0x100000);
    f.u32(0);
    f.u32(16);
    for (uint32_t i = 0; i < 16; ++i) {
      const Sec* s = nullptr;
      if (i == 0 && has_edata) s = &secs[1];
      if (i == 2 && has_rsrc) s = &secs[has_edata ? 2 : 1];
      f.u32(s ? s->rva : 0);
      f.u32(s ? static_cast<uint32_t>(s->bytes.size()) : 0);
    }
    for (const auto& s : secs) {
      std::string n = s.name;
      n.resize(8, '\0');
      f.str(n);
      f.u32(s.vsize);
      f.u32(s.rva);
      f.u32(s.raw_size);
      f.u32(s.raw_off);
      f.u32(0); f.u32(0); f.u16(0); f.u16(0);
      f.u32(s.ch);
    }
    f.pad_to(headers);
    for (const auto& s : secs) {
      f.v.insert(f.v.end(), s.bytes.begin(), s.bytes.end());
      f.pad_to(s.raw_off + s.raw_size);
    }
    return f.v;
  }

  // The export section at the given RVA: directory, address, name and ordinal tables, then
  // the strings. The whole section is the export directory, so forwarder strings fall inside.
  std::vector<uint8_t> Edata(uint32_t rva) const {
    std::vector<size_t> named;
    for (size_t i = 0; i < exports.size(); ++i) {
      if (!exports[i].name.empty()) named.push_back(i);
    }
    std::sort(named.begin(), named.end(), [&](size_t a, size_t b) { return exports[a].name < exports[b].name; });
    const uint32_t nf = static_cast<uint32_t>(exports.size()), nn = static_cast<uint32_t>(named.size());
    const uint32_t at_funcs = 40, at_names = at_funcs + 4 * nf, at_ords = at_names + 4 * nn;
    uint32_t strings = at_ords + 2 * nn;
    Bytes s;  // strings, laid out after the tables
    auto add_string = [&](const std::string& str) {
      const uint32_t r = rva + strings + static_cast<uint32_t>(s.size());
      s.str(str);
      s.u8(0);
      return r;
    };
    Bytes d;
    d.u32(0);
    d.u32(0);
    d.u16(0);
    d.u16(0);
    d.u32(add_string(dll_name));
    d.u32(ordinal_base);
    d.u32(nf);
    d.u32(nn);
    d.u32(rva + at_funcs);
    d.u32(rva + at_names);
    d.u32(rva + at_ords);
    for (uint32_t i = 0; i < nf; ++i) {
      d.u32(exports[i].forwarder.empty() ? layout.text_rva + 0x10 * i : add_string(exports[i].forwarder));
    }
    for (size_t i : named) d.u32(add_string(exports[i].name));
    for (size_t i : named) d.u16(static_cast<uint16_t>(i));
    d.v.insert(d.v.end(), s.v.begin(), s.v.end());
    return d.v;
  }

  // The resource tree at the given RVA: the three directory levels, the name strings, the
  // data entries and the data, each part aligned as resource compilers do.
  std::vector<uint8_t> Rsrc(uint32_t rva) const {
    std::map<WKey, std::map<WKey, std::map<uint16_t, const WResource*>>> tree;
    for (const auto& r : resources) tree[r.type][r.name][r.language] = &r;

    uint32_t dirs = 0, leaves = 0;
    dirs += 16 + 8 * static_cast<uint32_t>(tree.size());
    for (const auto& [t, names] : tree) {
      dirs += 16 + 8 * static_cast<uint32_t>(names.size());
      for (const auto& [n, langs] : names) {
        dirs += 16 + 8 * static_cast<uint32_t>(langs.size());
        leaves += static_cast<uint32_t>(langs.size());
      }
    }
    uint32_t strings_size = 0;
    auto count_string = [&](const WKey& k) {
      if (k.is_name) strings_size += 2 + 2 * static_cast<uint32_t>(k.name.size());
    };
    for (const auto& [t, names] : tree) {
      count_string(t);
      for (const auto& [n, langs] : names) count_string(n);
    }
    const uint32_t at_strings = dirs;
    const uint32_t at_entries = AlignUp(at_strings + strings_size, 4);
    const uint32_t at_data = AlignUp(at_entries + 16 * leaves, 8);

    Bytes out;
    out.pad_to(at_data);
    uint32_t next_dir = 0, next_string = at_strings, next_entry = at_entries, next_data = at_data;
    auto key_field = [&](const WKey& k) -> uint32_t {
      if (!k.is_name) return k.id;
      const uint32_t at = next_string;
      out.v[at] = static_cast<uint8_t>(k.name.size());
      out.v[at + 1] = static_cast<uint8_t>(k.name.size() >> 8);
      for (size_t i = 0; i < k.name.size(); ++i) {
        out.v[at + 2 + 2 * i] = static_cast<uint8_t>(k.name[i]);
        out.v[at + 3 + 2 * i] = static_cast<uint8_t>(k.name[i] >> 8);
      }
      next_string += 2 + 2 * static_cast<uint32_t>(k.name.size());
      return 0x80000000u | at;
    };
    auto dir_header = [&](uint32_t at, uint16_t named, uint16_t ids) {
      out.v[at + 12] = static_cast<uint8_t>(named);
      out.v[at + 13] = static_cast<uint8_t>(named >> 8);
      out.v[at + 14] = static_cast<uint8_t>(ids);
      out.v[at + 15] = static_cast<uint8_t>(ids >> 8);
    };
    auto count_named = [](const auto& m) {
      uint16_t c = 0;
      for (const auto& kv : m) c = static_cast<uint16_t>(c + (kv.first.is_name ? 1 : 0));
      return c;
    };
    // Breadth-first like the usual compilers: all type entries, then each type's directory...
    const uint32_t root = next_dir;
    next_dir += 16 + 8 * static_cast<uint32_t>(tree.size());
    dir_header(root, count_named(tree), static_cast<uint16_t>(tree.size() - count_named(tree)));
    uint32_t slot = root + 16;
    for (const auto& [t, names] : tree) {
      const uint32_t tdir = next_dir;
      next_dir += 16 + 8 * static_cast<uint32_t>(names.size());
      out.put32(slot, key_field(t));
      out.put32(slot + 4, 0x80000000u | tdir);
      slot += 8;
      dir_header(tdir, count_named(names), static_cast<uint16_t>(names.size() - count_named(names)));
      uint32_t nslot = tdir + 16;
      for (const auto& [n, langs] : names) {
        const uint32_t ndir = next_dir;
        next_dir += 16 + 8 * static_cast<uint32_t>(langs.size());
        out.put32(nslot, key_field(n));
        out.put32(nslot + 4, 0x80000000u | ndir);
        nslot += 8;
        dir_header(ndir, 0, static_cast<uint16_t>(langs.size()));
        uint32_t lslot = ndir + 16;
        for (const auto& [lang, res] : langs) {
          out.put32(lslot, lang);
          out.put32(lslot + 4, next_entry);
          lslot += 8;
          out.put32(next_entry, rva + next_data);
          out.put32(next_entry + 4, static_cast<uint32_t>(res->data.size()));
          out.put32(next_entry + 8, 1252);
          next_entry += 16;
          out.pad_to(next_data);
          out.v.insert(out.v.end(), res->data.begin(), res->data.end());
          next_data = AlignUp(next_data + static_cast<uint32_t>(res->data.size()), 8);
          out.pad_to(next_data);
        }
      }
    }
    return out.v;
  }
};

}  // namespace qm::host::pe::testing
