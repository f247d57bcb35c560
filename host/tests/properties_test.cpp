#include <gtest/gtest.h>

#include <string>

#include "plughost/properties.h"

using namespace plughost;

TEST(HostProperties, AnswersVersionDocumentAndTitle) {
  HostMemory memory;
  HostProperties props((13u << 16) | (1u << 8) | 2u, DocumentFacts{640, 480, 4, plugInModeRGBColor, "layer.png"},
                       memory);
  intptr_t v = 0;
  ASSERT_EQ(props.Get(kPhotoshopSignature, propVersion, 0, &v, nullptr), noErr);
  EXPECT_EQ(v, 0x000D0102);
  ASSERT_EQ(props.Get(kPhotoshopSignature, propDocumentWidth, 0, &v, nullptr), noErr);
  EXPECT_EQ(v, 640);
  ASSERT_EQ(props.Get(kPhotoshopSignature, propNumberOfChannels, 0, &v, nullptr), noErr);
  EXPECT_EQ(v, 4);
  Handle title = nullptr;
  ASSERT_EQ(props.Get(kPhotoshopSignature, propTitle, 0, nullptr, &title), noErr);
  // Bare characters: the handle's size is the length, with no terminator.
  EXPECT_EQ(std::string(*title, static_cast<size_t>(memory.HandleSize(title))), "layer.png");
  memory.DisposeHandle(title);
}

TEST(HostProperties, UnknownKeysOtherSignaturesAndWritesAreUndefined) {
  HostMemory memory;
  HostProperties props(13u << 16, DocumentFacts{}, memory);
  intptr_t v = 7;
  EXPECT_EQ(props.Get(kPhotoshopSignature, PIFourCC("zzzz"), 0, &v, nullptr), errPlugInPropertyUndefined);
  EXPECT_EQ(props.Get(PIFourCC("ADBE"), propVersion, 0, &v, nullptr), errPlugInPropertyUndefined);
  EXPECT_EQ(props.Get(kPhotoshopSignature, propVersion, 0, nullptr, nullptr), errPlugInPropertyUndefined);
  EXPECT_EQ(v, 7);
  EXPECT_EQ(props.Set(kPhotoshopSignature, propVersion, 0, 1, nullptr), errPlugInPropertyUndefined);
}

TEST(HostProperties, VersionTextMustBeWhole) {
  uint32_t packed = 0;
  EXPECT_TRUE(HostProperties::ParseVersion("25.1.3", packed));
  EXPECT_EQ(packed, 0x00190103u);
  EXPECT_TRUE(HostProperties::ParseVersion("8", packed));
  EXPECT_EQ(packed, 0x00080000u);
  for (const char* bad : {"", "x", "13.", "13.0.0.1", "13.256", "1.2.3x", "-1"})
    EXPECT_FALSE(HostProperties::ParseVersion(bad, packed)) << bad;
}
