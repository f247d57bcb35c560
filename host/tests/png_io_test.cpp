// Reading the user's PNG files.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "plughost/image.h"

namespace {

namespace fs = std::filesystem;

void AppendChunk(std::string& png, const char* type, const std::string& body) {
  const auto be32 = [&png](uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) png += static_cast<char>((v >> s) & 0xFF);
  };
  be32(static_cast<uint32_t>(body.size()));
  const std::string typed = std::string(type) + body;
  png += typed;
  be32(static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()))));
}

// A valid header of the given size, then one small compressed row and the end.
std::string ClaimingPng(uint32_t width, uint32_t height) {
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string ihdr;
  for (uint32_t v : {width, height})
    for (int s = 24; s >= 0; s -= 8) ihdr += static_cast<char>((v >> s) & 0xFF);
  ihdr += std::string("\x08\x06\x00\x00\x00", 5);  // 8-bit RGBA, not interlaced
  AppendChunk(png, "IHDR", ihdr);
  const std::string row(1 + 4 * 4, '\0');
  uLongf packedSize = compressBound(static_cast<uLong>(row.size()));
  std::string packed(packedSize, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(row.data()),
           static_cast<uLong>(row.size()));
  packed.resize(packedSize);
  AppendChunk(png, "IDAT", packed);
  AppendChunk(png, "IEND", "");
  return png;
}

class PngRead : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) / ("plughost_png_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  fs::path dir_;
};

// A hundred bytes claiming 65536 x 65536 pixels would have had 16 GB taken and zeroed before
// the first row failed to decode.
TEST_F(PngRead, AClaimedSizeTheFileCannotHoldIsRefusedAtOnce) {
  const std::string small = Write("small.png", ClaimingPng(4, 1));
  const plughost::Image image = plughost::ReadPng(small);
  EXPECT_EQ(image.width, 4);
  EXPECT_EQ(image.height, 1);

  const std::string huge = Write("huge.png", ClaimingPng(65536, 65536));
  const auto start = std::chrono::steady_clock::now();
  try {
    plughost::ReadPng(huge);
    FAIL() << "read a picture its file cannot hold";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("claims more pixels than the file holds"), std::string::npos) << e.what();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
