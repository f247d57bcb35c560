#include "pe_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "pe_writer.h"

namespace qm::host::pe {
namespace {

using testing::Bytes;
using testing::PeWriter;
using testing::WKey;
using testing::WResource;

std::vector<uint8_t> B(const std::string& s) { return {s.begin(), s.end()}; }
std::string S(std::span<const uint8_t> b) { return {b.begin(), b.end()}; }

void Put16(std::vector<uint8_t>& f, size_t at, uint16_t v) {
  f.at(at) = static_cast<uint8_t>(v);
  f.at(at + 1) = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) f.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}

// A plug-in-like image: an entry point, a helper, a forwarder, an ordinal-only export and a
// resource tree with named and numbered types, names and languages.
PeWriter SampleWriter(bool pe32_plus) {
  PeWriter w;
  w.pe32_plus = pe32_plus;
  w.machine = pe32_plus ? 0x8664 : 0x014c;
  w.image_base = pe32_plus ? 0x2A0000000ull : 0x10000000ull;
  w.dll_name = pe32_plus ? "sample64.8bf" : "sample32.8bf";
  w.ordinal_base = 5;
  // Address-table order differs from the sorted name order, so the ordinal table matters.
  w.exports = {{"ZetaHelper", ""}, {"ENTRYPOINT", ""}, {"", ""}, {"GetTicks", "KERNEL32.GetTickCount"}};
  w.resources = {
      {WKey::Name(u"PIPL"), WKey::Id(16000), 0x409, B("8BFMpipl-bytes")},
      {WKey::Name(u"PIPL"), WKey::Name(u"SETTINGS"), 0x409, B("named-name")},
      {WKey::Name(u"PIPL"), WKey::Id(16001), 0x409, B("english")},
      {WKey::Name(u"PIPL"), WKey::Id(16001), 0x407, B("deutsch")},
      {WKey::Id(16), WKey::Id(1), 0x409, B("version")},
      {WKey::Id(10), WKey::Id(7), 0x409, B("")},
  };
  return w;
}

TEST(PeImage, ReadsHeadersOfPe32AndPe32Plus) {
  for (bool plus : {false, true}) {
    SCOPED_TRACE(plus ? "PE32+" : "PE32");
    auto w = SampleWriter(plus);
    const auto file = w.Build();
    std::string err;
    auto img = PeImage::Parse(file, &err);
    ASSERT_TRUE(img) << err;
    EXPECT_EQ(img->machine(), plus ? Machine::Amd64 : Machine::I386);
    EXPECT_EQ(img->is_pe32_plus(), plus);
    EXPECT_TRUE(img->is_dll());
    EXPECT_EQ(img->image_base(), plus ? 0x2A0000000ull : 0x10000000ull);
    EXPECT_EQ(img->entry_point_rva(), w.layout.text_rva + 0x10);
    EXPECT_EQ(img->subsystem(), 2);
    ASSERT_EQ(img->sections().size(), 4u);
    EXPECT_EQ(img->sections()[0].name, ".text");
    EXPECT_EQ(img->sections()[1].name, ".edata");
    EXPECT_EQ(img->sections()[2].name, ".rsrc");
    EXPECT_EQ(img->sections()[3].name, ".data");
    EXPECT_EQ(img->directory(DirectoryIndex::Resource).rva, w.layout.rsrc_rva);
    EXPECT_EQ(img->directory(DirectoryIndex::Import).rva, 0u);
  }
}

TEST(PeImage, ExecutableIsNotDll) {
  auto w = SampleWriter(true);
  w.dll = false;
  auto img = PeImage::Parse(w.Build());
  ASSERT_TRUE(img);
  EXPECT_FALSE(img->is_dll());
}

TEST(PeImage, MapsRvasToFileOffsets) {
  auto w = SampleWriter(false);
  const auto file = w.Build();
  auto img = PeImage::Parse(file);
  ASSERT_TRUE(img);
  const uint32_t data = w.layout.data_rva;
  // .data holds 0x200 bytes in the file but 0x3000 in memory.
  EXPECT_EQ(img->rva_to_offset(data), w.layout.data_offset);
  EXPECT_EQ(img->rva_to_offset(data + 0x1FF), w.layout.data_offset + 0x1FF);
  EXPECT_EQ(img->rva_to_offset(data + 0x1F0, 0x10), w.layout.data_offset + 0x1F0);
  EXPECT_FALSE(img->rva_to_offset(data + 0x1F0, 0x11));  // crosses into the memory-only tail
  EXPECT_FALSE(img->rva_to_offset(data + 0x200));
  EXPECT_FALSE(img->rva_to_offset(data + 0x2FFF));
  EXPECT_EQ(img->section_for_rva(data + 0x2FFF), &img->sections()[3]);
  EXPECT_EQ(img->section_for_rva(data + 0x3000), nullptr);
  EXPECT_FALSE(img->rva_to_offset(data + 0x3000));
  EXPECT_FALSE(img->rva_to_offset(0xFFFFFFFFu, 2));
  // Headers map at RVA 0 as they lie in the file.
  EXPECT_EQ(img->rva_to_offset(0, 2), 0u);
  EXPECT_EQ(S(*img->bytes_at_rva(0, 2)), "MZ");
  EXPECT_EQ(S(*img->bytes_at_rva(data, 2)), "ZZ");
  // Between the headers and the first section nothing is mapped.
  EXPECT_FALSE(img->rva_to_offset(0x800));
}

TEST(PeImage, ReadsExportsWithOrdinalsAndForwarders) {
  for (bool plus : {false, true}) {
    SCOPED_TRACE(plus ? "PE32+" : "PE32");
    auto w = SampleWriter(plus);
    auto img = PeImage::Parse(w.Build());
    ASSERT_TRUE(img);
    EXPECT_EQ(img->exports_error(), "");
    const auto& ex = img->exports();
    EXPECT_EQ(ex.dll_name, plus ? "sample64.8bf" : "sample32.8bf");
    EXPECT_EQ(ex.ordinal_base, 5u);
    EXPECT_EQ(ex.function_count, 4u);
    ASSERT_EQ(ex.names.size(), 3u);  // the ordinal-only export has no name
    EXPECT_EQ(ex.names[0].name, "ENTRYPOINT");
    EXPECT_EQ(ex.names[0].ordinal, 6u);
    EXPECT_EQ(ex.names[0].rva, w.layout.text_rva + 0x10);
    EXPECT_FALSE(ex.names[0].forwarded);
    EXPECT_EQ(ex.names[1].name, "GetTicks");
    EXPECT_EQ(ex.names[1].ordinal, 8u);
    EXPECT_TRUE(ex.names[1].forwarded);
    EXPECT_EQ(ex.names[1].forwarder, "KERNEL32.GetTickCount");
    EXPECT_EQ(ex.names[2].name, "ZetaHelper");
    EXPECT_EQ(ex.names[2].ordinal, 5u);
    EXPECT_EQ(ex.names[2].rva, w.layout.text_rva);
    ASSERT_NE(img->find_export("ENTRYPOINT"), nullptr);
    EXPECT_EQ(img->find_export("ENTRYPOINT")->ordinal, 6u);
    EXPECT_EQ(img->find_export("entrypoint"), nullptr);  // export names are case-sensitive
  }
}

TEST(PeImage, NoExportDirectoryIsNotAnError) {
  auto w = SampleWriter(true);
  w.exports.clear();
  auto img = PeImage::Parse(w.Build());
  ASSERT_TRUE(img);
  EXPECT_TRUE(img->exports().names.empty());
  EXPECT_EQ(img->exports_error(), "");
}

TEST(PeImage, FindsResourcesByNameOrId) {
  for (bool plus : {false, true}) {
    SCOPED_TRACE(plus ? "PE32+" : "PE32");
    auto img = PeImage::Parse(SampleWriter(plus).Build());
    ASSERT_TRUE(img);
    EXPECT_EQ(img->resources_error(), "");
    auto pipl = img->find_resource(ResourceKey::named("PIPL"), ResourceKey::id(16000));
    ASSERT_TRUE(pipl);
    EXPECT_EQ(S(*pipl), "8BFMpipl-bytes");
    // Names compare like Windows does, without regard to ASCII case.
    auto lower = img->find_resource(ResourceKey::named("pipl"), ResourceKey::named("Settings"));
    ASSERT_TRUE(lower);
    EXPECT_EQ(S(*lower), "named-name");
    auto version = img->find_resource(ResourceKey::id(16), ResourceKey::id(1));
    ASSERT_TRUE(version);
    EXPECT_EQ(S(*version), "version");
    auto empty = img->find_resource(ResourceKey::id(10), ResourceKey::id(7));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
    // A type given by id does not match the same digits as a name, nor the reverse.
    EXPECT_FALSE(img->find_resource(ResourceKey::named("16"), ResourceKey::id(1)));
    EXPECT_FALSE(img->find_resource(ResourceKey::named("PIPL"), ResourceKey::named("16000")));
    EXPECT_FALSE(img->find_resource(ResourceKey::named("PIPL"), ResourceKey::id(16002)));
    EXPECT_FALSE(img->find_resource(ResourceKey::named("PIP"), ResourceKey::id(16000)));
  }
}

TEST(PeImage, PicksFirstStoredLanguageUnlessOneIsAsked) {
  auto img = PeImage::Parse(SampleWriter(true).Build());
  ASSERT_TRUE(img);
  // The tree stores languages in ascending order, so 0x407 comes first.
  EXPECT_EQ(S(*img->find_resource(ResourceKey::named("PIPL"), ResourceKey::id(16001))), "deutsch");
  EXPECT_EQ(S(*img->find_resource(ResourceKey::named("PIPL"), ResourceKey::id(16001), 0x409)), "english");
  EXPECT_FALSE(img->find_resource(ResourceKey::named("PIPL"), ResourceKey::id(16001), 0x40c));
}

TEST(PeImage, ListsResourceEntries) {
  auto img = PeImage::Parse(SampleWriter(false).Build());
  ASSERT_TRUE(img);
  std::vector<std::string> listed;
  for (const auto& r : img->resources()) {
    listed.push_back(r.type.to_string() + "/" + r.name.to_string() + "/" + std::to_string(r.language));
  }
  const std::vector<std::string> expected = {
      "PIPL/SETTINGS/1033", "PIPL/#16000/1033", "PIPL/#16001/1031", "PIPL/#16001/1033",
      "#10/#7/1033",        "#16/#1/1033"};
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(img->resources()[0].code_page, 1252u);
}

TEST(PeImage, ResourceNamesRoundTripUtf16) {
  auto w = SampleWriter(true);
  w.resources = {{WKey::Name(u"\u00C9T\u00C9"), WKey::Name(u"\U0001F600"), 0x409, B("x")}};
  auto img = PeImage::Parse(w.Build());
  ASSERT_TRUE(img);
  ASSERT_EQ(img->resources().size(), 1u);
  EXPECT_EQ(img->resources()[0].type.to_string(), "\xC3\x89T\xC3\x89");
  EXPECT_EQ(img->resources()[0].name.to_string(), "\xF0\x9F\x98\x80");
  // Only ASCII letters fold: a lower-case e-acute is a different name.
  EXPECT_TRUE(img->find_resource(ResourceKey::named("\xC3\x89t\xC3\x89"), ResourceKey::named("\xF0\x9F\x98\x80")));
  EXPECT_FALSE(img->find_resource(ResourceKey::named("\xC3\xA9T\xC3\xA9"), ResourceKey::named("\xF0\x9F\x98\x80")));
}

TEST(PeImage, OwnsBytesHandedOver) {
  std::vector<uint8_t> file = SampleWriter(true).Build();
  std::optional<PeImage> copy;
  {
    auto img = PeImage::Parse(std::move(file));
    ASSERT_TRUE(img);
    copy = *img;
  }
  file.assign(file.capacity() + 4096, 0xEE);  // reuse memory the original may have had
  auto pipl = copy->find_resource(ResourceKey::named("PIPL"), ResourceKey::id(16000));
  ASSERT_TRUE(pipl);
  EXPECT_EQ(S(*pipl), "8BFMpipl-bytes");
}

// --- malformed headers ---------------------------------------------------------------------

struct Rejected {
  const char* what;
  std::function<void(std::vector<uint8_t>&, const testing::Layout&)> corrupt;
  const char* reason;  // a fragment of the error text
};

TEST(PeImage, RejectsBrokenHeaders) {
  const std::vector<Rejected> cases = {
      {"no MZ", [](auto& f, auto&) { f[0] = 'Z'; }, "MZ"},
      {"PE offset past end", [](auto& f, auto&) { Put32(f, 0x3c, 0xFFFFFFF0u); }, "outside the file"},
      {"PE offset at last bytes", [](auto& f, auto&) { Put32(f, 0x3c, static_cast<uint32_t>(f.size() - 8)); }, "outside"},
      {"no PE signature", [](auto& f, auto& l) { f[l.pe_offset + 1] = 'X'; }, "PE signature"},
      {"unknown magic", [](auto& f, auto& l) { Put16(f, l.optional_offset, 0x107); }, "magic"},
      {"optional header too small", [](auto& f, auto& l) { Put16(f, l.pe_offset + 20, 64); }, "too short"},
      {"no optional header", [](auto& f, auto& l) { Put16(f, l.pe_offset + 20, 0); }, "no optional header"},
      {"optional header past end", [](auto& f, auto& l) { Put16(f, l.pe_offset + 20, 0xFFFF); }, "past the end"},
      {"x64 machine in PE32", [](auto& f, auto& l) { Put16(f, l.pe_offset + 4, 0x8664); }, "does not match"},
      {"too many sections", [](auto& f, auto& l) { Put16(f, l.pe_offset + 6, 0xFFFF); }, "section table"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto w = SampleWriter(false);
    auto file = w.Build();
    c.corrupt(file, w.layout);
    std::string err;
    EXPECT_FALSE(PeImage::Parse(file, &err));
    EXPECT_NE(err.find(c.reason), std::string::npos) << err;
  }
  std::string err;
  EXPECT_FALSE(PeImage::Parse(std::span<const uint8_t>{}, &err));
  EXPECT_FALSE(PeImage::Parse(B("MZ"), &err));
}

TEST(PeImage, UnknownMachineIsKeptAsRead) {
  auto w = SampleWriter(true);
  w.machine = 0xAA64;  // ARM64
  auto img = PeImage::Parse(w.Build());
  ASSERT_TRUE(img);
  EXPECT_EQ(static_cast<uint16_t>(img->machine()), 0xAA64);
  EXPECT_EQ(MachineName(img->machine()), "0xaa64");
  EXPECT_EQ(MachineName(Machine::I386), "i386");
}

TEST(PeImage, ClampsDirectoryCountToTheOptionalHeader) {
  auto w = SampleWriter(true);
  auto file = w.Build();
  Put32(file, w.layout.optional_offset + 108, 0xFFFFFFFFu);  // NumberOfRvaAndSizes
  auto img = PeImage::Parse(file);
  ASSERT_TRUE(img);
  EXPECT_TRUE(img->find_resource(ResourceKey::named("PIPL"), ResourceKey::id(16000)));
  Put32(file, w.layout.optional_offset + 108, 1);  // only the export directory remains
  img = PeImage::Parse(file);
  ASSERT_TRUE(img);
  EXPECT_EQ(img->exports().names.size(), 3u);
  EXPECT_TRUE(img->resources().empty());
  EXPECT_EQ(img->resources_error(), "");
}

// --- malformed export tables ----------------------------------------------------------------

TEST(PeImage, BrokenExportTablesFailAlone) {
  const std::vector<Rejected> cases = {
      {"huge name count", [](auto& f, auto& l) { Put32(f, l.edata_offset + 24, 0x40000000u); }, "name table"},
      {"huge function count", [](auto& f, auto& l) { Put32(f, l.edata_offset + 20, 0xFFFFFFFFu); }, "too large"},
      {"ordinal beyond functions", [](auto& f, auto& l) { Put32(f, l.edata_offset + 20, 1); }, "refers to function"},
      {"name in memory-only tail",
       [](auto& f, auto& l) {
         const uint32_t names = l.edata_offset + 40 + 4 * 4;
         Put32(f, names, l.data_rva + 0x1000);
       },
       "not a string"},
      {"name without terminator",
       [](auto& f, auto& l) {
         const uint32_t names = l.edata_offset + 40 + 4 * 4;
         Put32(f, names, l.data_rva + 0x1F8);  // .data's file bytes end 8 bytes later, no NUL
         for (uint32_t i = 0; i < 8; ++i) f[l.data_offset + 0x1F8 + i] = 'A';
       },
       "not a string"},
      {"directory outside", [](auto& f, auto& l) { Put32(f, l.optional_offset + 112, 0x7FFFFF00u); }, "not in the file"},
      {"ordinal overflow", [](auto& f, auto& l) { Put32(f, l.edata_offset + 16, 0xFFFFFFFEu); }, "overflows"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto w = SampleWriter(true);
    auto file = w.Build();
    c.corrupt(file, w.layout);
    auto img = PeImage::Parse(file);
    ASSERT_TRUE(img);  // the image itself is still readable
    EXPECT_NE(img->exports_error().find(c.reason), std::string::npos) << img->exports_error();
    EXPECT_TRUE(img->exports().names.empty());
    EXPECT_TRUE(img->find_resource(ResourceKey::named("PIPL"), ResourceKey::id(16000)));
  }
}

TEST(PeImage, RepeatedExportNamesAreBounded) {
  // 60k name pointers to one 4000-byte name: without a budget, ~240 MB of strings.
  PeWriter w;
  w.exports.push_back({"x", ""});
  w.raw_rsrc = [](uint32_t) { return std::vector<uint8_t>(0x80000, 0); };
  auto file = w.Build();
  const auto& l = w.layout;
  const uint32_t count = 60000, names = l.rsrc_offset, ords = l.rsrc_offset + 4 * count;
  const uint32_t name = ords + 2 * count;
  for (uint32_t i = 0; i < count; ++i) {
    Put32(file, names + 4 * i, l.rsrc_rva + (name - l.rsrc_offset));
    Put16(file, ords + 2 * i, 0);
  }
  std::memset(file.data() + name, 'N', 4000);
  Put32(file, l.edata_offset + 24, count);
  Put32(file, l.edata_offset + 32, l.rsrc_rva);
  Put32(file, l.edata_offset + 36, l.rsrc_rva + 4 * count);
  auto img = PeImage::Parse(file);
  ASSERT_TRUE(img);
  EXPECT_NE(img->exports_error().find("repeat"), std::string::npos) << img->exports_error();
}

// --- malformed resource trees ---------------------------------------------------------------

// Hand-written trees: directories at fixed offsets inside a 64 KiB .rsrc section.
struct RawTree {
  Bytes b;
  RawTree() { b.pad_to(0x10000); }
  void dir(uint32_t at, uint16_t named, uint16_t ids) {
    b.v[at + 12] = static_cast<uint8_t>(named);
    b.v[at + 13] = static_cast<uint8_t>(named >> 8);
    b.v[at + 14] = static_cast<uint8_t>(ids);
    b.v[at + 15] = static_cast<uint8_t>(ids >> 8);
  }
  void entry(uint32_t dir_at, uint32_t index, uint32_t name, uint32_t data) {
    b.put32(dir_at + 16 + 8 * index, name);
    b.put32(dir_at + 20 + 8 * index, data);
  }
  void leaf(uint32_t at, uint32_t rva, uint32_t size) {
    b.put32(at, rva);
    b.put32(at + 4, size);
  }
};

std::optional<PeImage> WithTree(const std::function<void(RawTree&, uint32_t rva)>& make,
                                 std::vector<uint8_t>& storage) {
  PeWriter w;
  w.raw_rsrc = [&](uint32_t rva) {
    RawTree t;
    make(t, rva);
    return t.b.v;
  };
  storage = w.Build();
  return PeImage::Parse(storage);
}

TEST(PeImage, AcceptsHandWrittenTree) {
  std::vector<uint8_t> file;
  auto img = WithTree(
      [](RawTree& t, uint32_t rva) {
        t.dir(0, 0, 1);
        t.entry(0, 0, 3, 0x80000000u | 0x100);
        t.dir(0x100, 0, 1);
        t.entry(0x100, 0, 1, 0x80000000u | 0x200);
        t.dir(0x200, 0, 1);
        t.entry(0x200, 0, 0x409, 0x300);
        t.leaf(0x300, rva + 0x400, 3);
        t.b.v[0x400] = 'i';
        t.b.v[0x401] = 'c';
        t.b.v[0x402] = 'o';
      },
      file);
  ASSERT_TRUE(img);
  ASSERT_EQ(img->resources_error(), "");
  EXPECT_EQ(S(*img->find_resource(ResourceKey::id(3), ResourceKey::id(1))), "ico");
}

TEST(PeImage, BrokenResourceTreesFailAlone) {
  using Maker = std::function<void(RawTree&, uint32_t)>;
  const std::vector<std::tuple<const char*, Maker, const char*>> cases = {
      {"loop to the root",
       [](RawTree& t, uint32_t) {
         t.dir(0, 0, 1);
         t.entry(0, 0, 3, 0x80000000u);
       },
       "deeper"},
      {"data at the type level",
       [](RawTree& t, uint32_t) {
         t.dir(0, 0, 1);
         t.entry(0, 0, 3, 0x100);
       },
       "directory belongs"},
      {"entries past the section",
       [](RawTree& t, uint32_t) { t.dir(0, 0, 0xFFFF); },
       "not in the file"},
      {"subdirectory outside",
       [](RawTree& t, uint32_t) {
         t.dir(0, 0, 1);
         t.entry(0, 0, 3, 0x80000000u | 0x7FFFFFF0u);
       },
       "not in the file"},
      {"name longer than the section",
       [](RawTree& t, uint32_t) {
         t.dir(0, 1, 0);
         t.entry(0, 0, 0x80000000u | 0xFFF0, 0x80000000u | 0x100);
         t.b.v[0xFFF0] = 0xFF;
         t.b.v[0xFFF1] = 0xFF;
       },
       "resource name"},
      {"id wider than 16 bits",
       [](RawTree& t, uint32_t) {
         t.dir(0, 0, 1);
         t.entry(0, 0, 0x12345, 0x80000000u | 0x100);
       },
       "16 bits"},
      {"language given as a name",
       [](RawTree& t, uint32_t) {
         t.dir(0, 0, 1);
         t.entry(0, 0, 3, 0x80000000u | 0x100);
         t.dir(0x100, 0, 1);
         t.entry(0x100, 0, 1, 0x80000000u | 0x200);
         t.dir(0x200, 1, 0);
         t.entry(0x200, 0, 0x80000000u | 0x300, 0x400);
       },
       "language is a name"},
      {"data beyond the file",
       [](RawTree& t, uint32_t rva) {
         t.dir(0, 0, 1);
         t.entry(0, 0, 3, 0x80000000u | 0x100);
         t.dir(0x100, 0, 1);
         t.entry(0x100, 0, 1, 0x80000000u | 0x200);
         t.dir(0x200, 0, 1);
         t.entry(0x200, 0, 0x409, 0x300);
         t.leaf(0x300, rva + 0x400, 0x10000);  // runs 0x400 bytes past the section
       },
       "not in the file"},
      {"shared directories multiplying",
       [](RawTree& t, uint32_t rva) {
         // 300 types x 300 names x 1 language, all through the same two directories.
         t.dir(0, 0, 300);
         t.dir(0x1000, 0, 300);
         for (uint32_t i = 0; i < 300; ++i) {
           t.entry(0, i, i + 1, 0x80000000u | 0x1000);
           t.entry(0x1000, i, i + 1, 0x80000000u | 0x2000);
         }
         t.dir(0x2000, 0, 1);
         t.entry(0x2000, 0, 0x409, 0x3000);
         t.leaf(0x3000, rva + 0x3100, 4);
       },
       "too many entries"},
  };
  for (const auto& [what, make, reason] : cases) {
    SCOPED_TRACE(what);
    std::vector<uint8_t> file;
    const auto start = std::chrono::steady_clock::now();
    auto img = WithTree(make, file);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_TRUE(img);
    EXPECT_NE(img->resources_error().find(reason), std::string::npos) << img->resources_error();
    EXPECT_TRUE(img->resources().empty());
    EXPECT_FALSE(img->find_resource(ResourceKey::id(3), ResourceKey::id(1)));
  }
}

// --- robustness -----------------------------------------------------------------------------

// Parses the buffer and touches everything the parse found, so a sanitizer sees any bad read.
size_t ParseAndWalk(std::span<const uint8_t> bytes) {
  auto img = PeImage::Parse(bytes);
  if (!img) return 0;
  size_t sum = img->sections().size();
  for (const auto& s : img->sections()) sum += img->rva_to_offset(s.virtual_address, 16).value_or(0);
  for (const auto& e : img->exports().names) sum += e.name.size() + e.forwarder.size() + e.ordinal;
  for (const auto& r : img->resources()) {
    auto data = img->find_resource(r.type, r.name, r.language);
    EXPECT_TRUE(data);
    if (data) {
      EXPECT_GE(data->data(), bytes.data());
      EXPECT_LE(data->data() + data->size(), bytes.data() + bytes.size());
      for (uint8_t c : *data) sum += c;
    }
  }
  return sum + 1;
}

void EveryPrefixParsesOrFails(const std::vector<uint8_t>& file) {
  // Each prefix is copied to the very end of a heap block, so a read past its last byte
  // lands in the allocator's red zone, where a sanitizer build stops.
  std::unique_ptr<uint8_t[]> block(new uint8_t[file.size()]);
  for (size_t n = 0; n <= file.size(); ++n) {
    uint8_t* at = block.get() + (file.size() - n);
    if (n) std::memcpy(at, file.data(), n);
    ParseAndWalk(std::span<const uint8_t>(at, n));
  }
  EXPECT_GT(ParseAndWalk(file), 0u);
}

// Mutates a few bytes at a time, mostly inside [hot_begin, hot_end) where the offsets are.
void RandomCorruptionsParseOrFail(const std::vector<uint8_t>& file, uint32_t rounds, size_t hot_begin,
                                  size_t hot_end) {
  uint64_t state = 0x9E3779B97F4A7C15ull;
  auto next = [&] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  for (uint32_t i = 0; i < rounds; ++i) {
    std::vector<uint8_t> m = file;
    const int edits = 1 + static_cast<int>(next() % 8);
    for (int k = 0; k < edits; ++k) {
      const size_t at = next() % 4 != 0 ? hot_begin + next() % (hot_end - hot_begin) : next() % m.size();
      switch (next() % 3) {
        case 0: m[at] = static_cast<uint8_t>(next()); break;
        case 1: m[at] ^= static_cast<uint8_t>(1u << (next() % 8)); break;
        default: m[at] = (next() % 2) ? 0xFF : 0x00; break;
      }
    }
    ParseAndWalk(m);
  }
}

TEST(PeImage, EveryPrefixOfWrittenImagesParsesOrFails) {
  for (bool plus : {false, true}) {
    EveryPrefixParsesOrFails(SampleWriter(plus).Build());
  }
}

TEST(PeImage, RandomCorruptionsOfWrittenImagesParseOrFail) {
  for (bool plus : {false, true}) {
    const auto file = SampleWriter(plus).Build();
    RandomCorruptionsParseOrFail(file, 10000, 0, file.size());
  }
}

// --- images built by the mingw-w64 toolchain ---------------------------------------------------

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Fixture {
  const char* path;
  Machine machine;
  uint64_t image_base;
};

std::vector<Fixture> Fixtures() {
  std::vector<Fixture> f;
#ifdef QM_PE_FIXTURE_X64
  f.push_back({QM_PE_FIXTURE_X64, Machine::Amd64, 0x2A0000000ull});
#endif
#ifdef QM_PE_FIXTURE_X86
  f.push_back({QM_PE_FIXTURE_X86, Machine::I386, 0x10000000ull});
#endif
  return f;
}

TEST(PeImageMingw, ReadsWhatTheToolchainEmits) {
  if (Fixtures().empty()) GTEST_SKIP() << "no mingw-w64 compilers at configure time";
  for (const auto& fx : Fixtures()) {
    SCOPED_TRACE(fx.path);
    const auto file = ReadFile(fx.path);
    ASSERT_FALSE(file.empty());
    std::string err;
    auto img = PeImage::Parse(file, &err);
    ASSERT_TRUE(img) << err;
    EXPECT_EQ(img->machine(), fx.machine);
    EXPECT_EQ(img->is_pe32_plus(), fx.machine == Machine::Amd64);
    EXPECT_TRUE(img->is_dll());
    EXPECT_EQ(img->image_base(), fx.image_base);

    EXPECT_EQ(img->exports_error(), "");
    const auto& ex = img->exports();
    EXPECT_EQ(ex.dll_name, std::string(fx.path).substr(std::string(fx.path).rfind('/') + 1));
    EXPECT_EQ(ex.ordinal_base, 7u);
    ASSERT_EQ(ex.names.size(), 3u);
    EXPECT_EQ(ex.names[0].name, "ENTRYPOINT");
    EXPECT_EQ(ex.names[0].ordinal, 7u);
    EXPECT_FALSE(ex.names[0].forwarded);
    ASSERT_NE(img->section_for_rva(ex.names[0].rva), nullptr);
    EXPECT_EQ(img->section_for_rva(ex.names[0].rva)->name, ".text");
    EXPECT_EQ(ex.names[1].name, "StdcallEntry");  // no @8: linked with --kill-at
    EXPECT_EQ(ex.names[2].name, "TickForward");
    EXPECT_EQ(ex.names[2].ordinal, 9u);
    EXPECT_TRUE(ex.names[2].forwarded);
    EXPECT_EQ(ex.names[2].forwarder, "KERNEL32.GetTickCount");
    EXPECT_EQ(img->find_export("NotExported"), nullptr);

    EXPECT_EQ(img->resources_error(), "");
    auto pipl = img->find_resource(ResourceKey::named("PIPL"), ResourceKey::id(16000));
    ASSERT_TRUE(pipl);
    const std::vector<uint8_t> want = {'8', 'B', 'F', 'M', 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89, 'q', 'm', 0};
    EXPECT_EQ(std::vector<uint8_t>(pipl->begin(), pipl->end()), want);
    // The compiler upper-cased the name written as "qmsettings".
    const Resource* named = img->find_resource_entry(ResourceKey::named("PIPL"), ResourceKey::named("qmsettings"));
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(named->name.to_string(), "QMSETTINGS");
    EXPECT_EQ(S(*img->find_resource(ResourceKey::named("PIPL"), ResourceKey::named("QMSETTINGS"))), "named");
    EXPECT_EQ(S(*img->find_resource(ResourceKey::named("PIPL"), ResourceKey::id(16001), 0x409)), "en");
    EXPECT_EQ(S(*img->find_resource(ResourceKey::named("PIPL"), ResourceKey::id(16001), 0x407)), "de");
    EXPECT_EQ(S(*img->find_resource(ResourceKey::id(10), ResourceKey::id(1))), std::string("raw\x02\x01", 5));

    std::vector<std::string> listed;
    for (const auto& r : img->resources()) {
      listed.push_back(r.type.to_string() + "/" + r.name.to_string() + "/" + std::to_string(r.language));
    }
    const std::vector<std::string> expected = {"PIPL/QMSETTINGS/1033", "PIPL/#16000/1033", "PIPL/#16001/1031",
                                               "PIPL/#16001/1033", "#10/#1/1033"};
    EXPECT_EQ(listed, expected);
  }
}

TEST(PeImageMingw, EveryPrefixParsesOrFails) {
  if (Fixtures().empty()) GTEST_SKIP() << "no mingw-w64 compilers at configure time";
  for (const auto& fx : Fixtures()) {
    SCOPED_TRACE(fx.path);
    EveryPrefixParsesOrFails(ReadFile(fx.path));
  }
}

TEST(PeImageMingw, RandomCorruptionsParseOrFail) {
  if (Fixtures().empty()) GTEST_SKIP() << "no mingw-w64 compilers at configure time";
  for (const auto& fx : Fixtures()) {
    SCOPED_TRACE(fx.path);
    const auto file = ReadFile(fx.path);
    auto img = PeImage::Parse(file);
    ASSERT_TRUE(img);
    // Aim at the headers, then at the export and the resource directory.
    RandomCorruptionsParseOrFail(file, 5000, 0, std::min<size_t>(file.size(), 0x400));
    for (auto idx : {DirectoryIndex::Export, DirectoryIndex::Resource}) {
      const auto d = img->directory(idx);
      auto off = img->rva_to_offset(d.rva, d.size);
      ASSERT_TRUE(off);
      RandomCorruptionsParseOrFail(file, 5000, *off, *off + d.size);
    }
  }
}

}  // namespace
}  // namespace qm::host::pe
