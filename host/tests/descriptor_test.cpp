#include "plughost/descriptor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "hostapi/PIActions.h"

namespace plughost {
namespace {

Descriptor Sample() {
  Descriptor d;
  d.Put(PIFourCC("crQu"), DescriptorValue::Integer(75));
  d.Put(PIFourCC("expo"), DescriptorValue::Float(0.5));
  d.Put(PIFourCC("exsi"), DescriptorValue::Bool(true));
  d.Put(PIFourCC("code"), DescriptorValue::Enumerated(PIFourCC("encd"), PIFourCC("eD48")));
  d.Put(PIFourCC("dist"), DescriptorValue::UnitFloat(unitPixels, -12.25));
  d.Put(PIFourCC("clss"), DescriptorValue::Class(PIFourCC("Fmt ")));
  d.Put(PIFourCC("name"), DescriptorValue::Text(" two  words\\ and\ta line\nbreak, caf\xE9 "));
  d.Put(PIFourCC("none"), DescriptorValue::Text(""));
  d.Put(0x00000001u, DescriptorValue::Integer(-2147483647 - 1));
  d.Put(PIFourCC("wbr1"), DescriptorValue::Float(1.0 / 3.0));
  return d;
}

TEST(DescriptorText, WritesOneKeyALineAsTheExamplesShow) {
  Descriptor d;
  d.Put(PIFourCC("crQu"), DescriptorValue::Integer(75));
  d.Put(PIFourCC("expo"), DescriptorValue::Float(0.5));
  d.Put(PIFourCC("exsi"), DescriptorValue::Bool(true));
  d.Put(PIFourCC("code"), DescriptorValue::Enumerated(PIFourCC("encd"), PIFourCC("eD48")));
  d.Put(PIFourCC("name"), DescriptorValue::Text("Last used"));
  EXPECT_EQ(FormatDescriptorText(d),
            "crQu long 75\nexpo doub 0.5\nexsi bool true\ncode enum encd eD48\nname TEXT Last used\n");
}

TEST(DescriptorText, RoundTripsEveryTypeExactly) {
  const Descriptor d = Sample();
  const std::string text = FormatDescriptorText(d);
  const Descriptor back = ParseDescriptorText(text);
  EXPECT_EQ(back, d);
  EXPECT_EQ(FormatDescriptorText(back), text);
  // Keys stay in the order they were put; a key put again keeps its place.
  Descriptor e = d;
  e.Put(PIFourCC("crQu"), DescriptorValue::Integer(1));
  ASSERT_EQ(e.items.size(), d.items.size());
  EXPECT_EQ(e.items[0].key, PIFourCC("crQu"));
  EXPECT_EQ(e.items[0].value.integer, 1);
}

TEST(DescriptorText, ToleratesWhatEditorsDo) {
  // CRLF, extra blanks, comments, blank lines, trailing blanks stripped from a code.
  const Descriptor d = ParseDescriptorText(
      "# recorded by hand\r\n\r\n   crQu   long   +75  \r\nexsi bool TRUE\nclss type Fmt\n#\ncode enum encd eD48");
  ASSERT_EQ(d.items.size(), 4u);
  EXPECT_EQ(d.Find(PIFourCC("crQu"))->integer, 75);
  EXPECT_TRUE(d.Find(PIFourCC("exsi"))->boolean);
  EXPECT_EQ(d.Find(PIFourCC("clss"))->code, PIFourCC("Fmt "));
  EXPECT_EQ(d.Find(PIFourCC("code"))->enumValue, PIFourCC("eD48"));
  // A key beginning with '#' is a key, not a comment.
  EXPECT_EQ(ParseDescriptorText("#ImR long 1\n").items.at(0).key, PIFourCC("#ImR"));
  // Long lines are just long.
  const std::string big(100000, 'x');
  EXPECT_EQ(ParseDescriptorText("name TEXT " + big + "\n").Find(PIFourCC("name"))->text, big);
}

TEST(DescriptorText, RefusesBadLinesNamingTheLine) {
  struct Case {
    const char* text;
    const char* says;
  } cases[] = {
      {"crQu long 75\ncrQu long 3\n", "line 2: key \"crQu\" is given twice"},
      {"crQu long 7.5\n", "line 1: \"7.5\" is not a whole number"},
      {"crQu long 2147483648\n", "outside a long's range"},
      {"crQu long\n", "is not a whole number"},
      {"expo doub abc\n", "not a finite number"},
      {"expo doub inf\n", "not a finite number"},
      {"expo doub 1e999\n", "not a finite number"},
      {"exsi bool yes\n", "a bool is true or false"},
      {"code enum encd\n", "missing the enumeration value"},
      {"code enum encd eD48 more\n", "unexpected \"more\""},
      {"crQu lung 75\n", "unknown type \"lung\""},
      {"cr long 75\n", "the key is longer than four characters"},
      {"crQ\n", "not four characters"},
      {"name TEXT bad \\q escape\n", "unknown escape \\q"},
      {"name TEXT ends in \\\n", "lone backslash"},
      {"name TEXT \\x4\n", "\\x needs two hex digits"},
      {"cr\x01u long 1\n", "not printable"},
  };
  for (const auto& c : cases) {
    try {
      ParseDescriptorText(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const DescriptorError& e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
  }
  // A raw NUL in a line is refused, not read as the end of the text.
  EXPECT_THROW(ParseDescriptorText(std::string("name TEXT a\0b\n", 14)), DescriptorError);
}

TEST(DescriptorText, UnprintableCodesGoAsHex) {
  EXPECT_EQ(DescriptorCodeText(0x00000001u), "0x00000001");
  EXPECT_EQ(DescriptorCodeText(PIFourCC(" abc")), "0x20616263");
  EXPECT_EQ(DescriptorCodeText(PIFourCC("# ab")), "0x23206162");
  EXPECT_EQ(DescriptorCodeText(PIFourCC("0x12")), "0x30783132");
  EXPECT_EQ(DescriptorCodeText(PIFourCC("Fmt ")), "Fmt ");
  // Written that way, they read back.
  Descriptor d;
  d.Put(PIFourCC(" abc"), DescriptorValue::Enumerated(PIFourCC("# ab"), PIFourCC("0x12")));
  EXPECT_EQ(ParseDescriptorText(FormatDescriptorText(d)), d);
}

TEST(DescriptorFile, ReadAndWriteNameTheFile) {
  const auto dir = std::filesystem::temp_directory_path() / ("qm_desc_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "step.txt").string();
  WriteDescriptorFile(path, Sample());
  EXPECT_EQ(ReadDescriptorFile(path), Sample());
  {
    std::ofstream(path) << "crQu long 1\nbad\n";
  }
  try {
    ReadDescriptorFile(path);
    ADD_FAILURE();
  } catch (const DescriptorError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(path + ": line 2: ", 0), 0u) << e.what();
  }
  EXPECT_THROW(ReadDescriptorFile((dir / "missing.txt").string()), DescriptorError);
  EXPECT_THROW(WriteDescriptorFile((dir / "no" / "such" / "dir.txt").string(), Sample()), DescriptorError);
  std::filesystem::remove_all(dir);
}

TEST(DescriptorHandleBytes, RoundTripAndRefuseDamage) {
  const Descriptor d = Sample();
  const std::vector<uint8_t> bytes = EncodeDescriptor(d);
  auto back = DecodeDescriptor(bytes.data(), bytes.size());
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, d);
  const auto empty = EncodeDescriptor(Descriptor{});
  ASSERT_TRUE(DecodeDescriptor(empty.data(), empty.size()));
  EXPECT_TRUE(DecodeDescriptor(empty.data(), empty.size())->items.empty());
  // Every truncation and one byte too many are refused.
  for (size_t n = 0; n < bytes.size(); ++n) EXPECT_FALSE(DecodeDescriptor(bytes.data(), n)) << n;
  std::vector<uint8_t> longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(DecodeDescriptor(longer.data(), longer.size()));
  // A count that promises more than the bytes hold, and a text length past the end.
  std::vector<uint8_t> huge = empty;
  huge[4] = huge[5] = huge[6] = huge[7] = 0xFF;
  EXPECT_FALSE(DecodeDescriptor(huge.data(), huge.size()));
  Descriptor t;
  t.Put(PIFourCC("name"), DescriptorValue::Text("abc"));
  std::vector<uint8_t> text = EncodeDescriptor(t);
  text[16] = 0xFF;  // the length's low byte
  EXPECT_FALSE(DecodeDescriptor(text.data(), text.size()));
  EXPECT_FALSE(DecodeDescriptor(nullptr, 0));
}

}  // namespace
}  // namespace plughost
