// installer.exe as a Windows build leaves it, read with the PE reader: the plug-in it carries
// (byte for byte the file it was built from, itself a loadable x86 plug-in), the painted
// window's bitmaps at their sizes, the hand cursor and the dialog template.
//
// Environment: QM_INSTALLER (installer.exe), QM_PAYLOAD (the Sorrel.8bf it was built with),
// QM_MACHINE ("x64" or "x86", the program's own architecture).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pe_image.h"

namespace {

using qm::host::pe::Machine;
using qm::host::pe::PeImage;
using qm::host::pe::ResourceKey;

constexpr uint16_t kRtCursor = 1, kRtBitmap = 2, kRtDialog = 5, kRtGroupCursor = 12;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le32(std::span<const uint8_t> b, size_t at) {
  return b.size() < at + 4 ? 0
                           : uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
                                 uint32_t(b[at + 3]) << 24;
}
uint16_t Le16(std::span<const uint8_t> b, size_t at) {
  return b.size() < at + 2 ? 0 : static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

class InstallerResources : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = Env("QM_INSTALLER");
    if (path_.empty()) GTEST_SKIP() << "QM_INSTALLER names no installer.exe";
    std::string why;
    image_ = PeImage::Parse(ReadAll(path_), &why);
    ASSERT_TRUE(image_) << path_ << ": " << why;
    ASSERT_EQ(image_->resources_error(), "");
  }
  std::string path_;
  std::optional<PeImage> image_;
};

TEST_F(InstallerResources, AWindowsProgramOfItsArchitecture) {
  EXPECT_FALSE(image_->is_dll());
  EXPECT_EQ(image_->subsystem(), 2);  // the GUI subsystem: no console window of its own
  const std::string machine = Env("QM_MACHINE");
  if (machine == "x64") {
    EXPECT_EQ(image_->machine(), Machine::Amd64);
  } else if (machine == "x86") {
    EXPECT_EQ(image_->machine(), Machine::I386);
  }
}

TEST_F(InstallerResources, CarriesThePluginUnchanged) {
  int payloads = 0;
  for (const auto& r : image_->resources())
    if (r.type.is_id() && r.type.id_value() == 3000) {
      ++payloads;
      EXPECT_EQ(r.name.to_string(), "INKWRIGHT.8BF");
    }
  EXPECT_EQ(payloads, 1);  // every type-3000 resource is written out: exactly the one
  const auto bytes = image_->find_resource(ResourceKey::id(3000), ResourceKey::named("INKWRIGHT.8BF"));
  ASSERT_TRUE(bytes);
  const std::string payloadPath = Env("QM_PAYLOAD");
  if (!payloadPath.empty()) {
    const std::vector<uint8_t> expected = ReadAll(payloadPath);
    ASSERT_FALSE(expected.empty()) << payloadPath;
    EXPECT_TRUE(std::equal(bytes->begin(), bytes->end(), expected.begin(), expected.end()))
        << "the carried plug-in differs from " << payloadPath;
  }
  // What it carries is an x86 filter plug-in, whichever build carries it.
  auto plugin = PeImage::Parse(std::vector<uint8_t>(bytes->begin(), bytes->end()));
  ASSERT_TRUE(plugin);
  EXPECT_TRUE(plugin->is_dll());
  EXPECT_EQ(plugin->machine(), Machine::I386);
  EXPECT_TRUE(plugin->find_resource(ResourceKey::named("PIPL"), ResourceKey::id(16000)));
}

TEST_F(InstallerResources, BitmapsOfThePaintedWindowAtTheirSizes) {
  struct Expected {
    uint16_t id;
    int32_t width, height;
  };
  // The background tile, the option box's four 13 x 13 frames, the three buttons, the picture.
  for (const Expected e : {Expected{117, 57, 82}, Expected{128, 52, 13}, Expected{203, 58, 20},
                           Expected{219, 58, 20}, Expected{220, 58, 20}, Expected{213, 170, 106}}) {
    const auto dib = image_->find_resource(ResourceKey::id(kRtBitmap), ResourceKey::id(e.id));
    ASSERT_TRUE(dib) << "bitmap " << e.id;
    ASSERT_GE(Le32(*dib, 0), 40u) << "bitmap " << e.id << ": no BITMAPINFOHEADER";
    const auto width = static_cast<int32_t>(Le32(*dib, 4)), height = static_cast<int32_t>(Le32(*dib, 8));
    EXPECT_EQ(width, e.width) << "bitmap " << e.id;
    EXPECT_EQ(height < 0 ? -height : height, e.height) << "bitmap " << e.id;
    EXPECT_EQ(Le16(*dib, 12), 1) << "bitmap " << e.id << ": planes";
  }
}

TEST_F(InstallerResources, TheHandCursorAndTheDialog) {
  // A cursor group (id 120) whose entries name cursor images the file holds.
  const auto group = image_->find_resource(ResourceKey::id(kRtGroupCursor), ResourceKey::id(120));
  ASSERT_TRUE(group);
  ASSERT_GE(group->size(), 6u);
  EXPECT_EQ(Le16(*group, 2), 2);  // resource type 2: cursors
  const uint16_t count = Le16(*group, 4);
  ASSERT_GE(count, 1);
  ASSERT_GE(group->size(), 6u + 14u * count);
  for (uint16_t i = 0; i < count; ++i) {
    const uint16_t imageId = Le16(*group, 6 + 14u * i + 12);
    EXPECT_TRUE(image_->find_resource(ResourceKey::id(kRtCursor), ResourceKey::id(imageId))) << imageId;
  }
  EXPECT_TRUE(image_->find_resource(ResourceKey::id(kRtDialog), ResourceKey::named("MAIN")));
}

}  // namespace
