#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "plughost/pipl.h"

using namespace plughost;

namespace {
// Builds PiPL bytes the way Windows resource tools lay them out.
struct PiplBuilder {
  std::vector<uint8_t> bytes{1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  int count = 0;
  void Le32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
  }
  void Add(const char (&key)[5], std::vector<uint8_t> data, int32_t declaredLength = -1) {
    Le32(FourCC("8BIM"));
    Le32(FourCC(key));
    Le32(0);
    Le32(uint32_t(declaredLength >= 0 ? declaredLength : int32_t(data.size())));
    while (data.size() % 4) data.push_back(0);
    bytes.insert(bytes.end(), data.begin(), data.end());
    bytes[6] = uint8_t(++count);
  }
};
}  // namespace

TEST(Pipl, ReadsKindNameCategoryAndEntryOfEachArchitecture) {
  PiplBuilder b;
  b.Add("kind", {'M', 'F', 'B', '8'});  // four-character codes are stored reversed
  b.Add("name", {8, 'M', 'i', 's', 't', 'e', 'r', 'a', 'l', 0, 0, 0});
  b.Add("catg", {3, 'Q', 'm', 'x'}, 4);
  b.Add("wx86", {'E', 'N', 'T', 'R', 'Y', 0, 0, 0});
  // Unpadded lengths must still find the next property on the 4-byte step.
  b.Add("8664", {'M', 'a', 'i', 'n', '6', '4', 0}, 7);
  Pipl p = ParsePipl(b.bytes.data(), b.bytes.size());
  ASSERT_EQ(p.properties.size(), 5u);
  EXPECT_EQ(FourCCText(*p.Kind()), "8BFM");
  EXPECT_EQ(*p.Name(), "Misteral");
  EXPECT_EQ(*p.Category(), "Qmx");
  EXPECT_EQ(*p.EntryPoint(Arch::X86), "ENTRY");
  EXPECT_EQ(*p.EntryPoint(Arch::X64), "Main64");
  EXPECT_EQ(DescribeProperty(p.properties[0]), "kind: 8BFM");
  PiplProperty mode{FourCC("8BIM"), FourCC("mode"), 0, {0x50, 0x40, 0, 0}};
  EXPECT_EQ(DescribeProperty(mode), "mode: 50 40 00 00 (Grayscale, RGB, Lab)");
}

TEST(Pipl, MalformedResourcesAreRejectedNotOverread) {
  PiplBuilder b;
  b.Add("name", {200, 'A'});  // a Pascal length past its data is cut, not followed
  Pipl p = ParsePipl(b.bytes.data(), b.bytes.size());
  EXPECT_EQ(*p.Name(), "A");

  // Any cut before the end of the declared data fails; the final padding is optional.
  std::vector<uint8_t> good = b.bytes;
  for (size_t cut = 0; cut < 10 + 16 + 2; ++cut) {
    EXPECT_THROW(ParsePipl(good.data(), cut), std::runtime_error) << "cut at " << cut;
  }
  std::vector<uint8_t> bad = good;
  bad[0] = 2;
  EXPECT_THROW(ParsePipl(bad.data(), bad.size()), std::runtime_error);
  bad = good;
  bad[6] = 0xFF;  // more properties than bytes
  EXPECT_THROW(ParsePipl(bad.data(), bad.size()), std::runtime_error);
  bad = good;
  bad[10 + 12] = 0xF0;  // a length far past the end
  EXPECT_THROW(ParsePipl(bad.data(), bad.size()), std::runtime_error);
}
