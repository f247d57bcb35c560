// Reading shape images, and the shape library irisgen draws.
#include "shapes/shape_image.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "iris_draw.h"
#include "shapes/shape_file.h"

namespace velune {
namespace {

namespace fs = std::filesystem;

struct RecordingNotifier : Notifier {
  std::vector<std::string> texts;
  void notify(const char* text) override { texts.emplace_back(text); }
};

// Writes a width x height image whose sample s of pixel (x, y) is 10*x + 3*y + 50*s.
void write_test_tiff(const std::string& path, uint32_t width, uint32_t height, uint16_t samples,
                     uint16_t bits, uint16_t planar = PLANARCONFIG_CONTIG, uint32_t rows_per_strip = 1) {
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tiff, nullptr);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, planar);
  if (samples == 4) {
    const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rows_per_strip);
  const std::size_t line = static_cast<std::size_t>(TIFFScanlineSize(tiff));
  std::vector<uint8_t> row(line);
  const int planes = planar == PLANARCONFIG_SEPARATE ? samples : 1;
  for (int plane = 0; plane < planes; ++plane) {
    for (uint32_t y = 0; y < height; ++y) {
      for (std::size_t i = 0; i < line; ++i) {
        const std::size_t per = bits == 8 ? (planes > 1 ? 1 : samples) : 1;
        const std::size_t x = i / per;
        const std::size_t s = planes > 1 ? static_cast<std::size_t>(plane) : i % per;
        row[i] = static_cast<uint8_t>(10 * x + 3 * y + 50 * s);
      }
      ASSERT_GE(TIFFWriteScanline(tiff, row.data(), y, static_cast<uint16_t>(plane)), 0);
    }
  }
  TIFFClose(tiff);
}

class ShapeImage : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           ("velune_tiff_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string file(const std::string& name) const { return (dir_ / name).string(); }
  fs::path dir_;
};

TEST_F(ShapeImage, ReadsGreyRgbAndRgbaAsBlueGreenRed) {
  write_test_tiff(file("grey.tif"), 5, 4, 1, 8);
  write_test_tiff(file("rgb.tif"), 5, 4, 3, 8);
  write_test_tiff(file("rgba.tif"), 5, 4, 4, 8);
  RecordingNotifier notes;
  LoadedShape shape;
  for (const char* name : {"grey.tif", "rgb.tif", "rgba.tif"}) {
    ASSERT_TRUE(shape.load(file(name), &notes)) << name << ": " << shape.message();
    EXPECT_EQ(shape.status(), ShapeLoad::kLoaded);
    EXPECT_EQ(shape.width(), 5);
    EXPECT_EQ(shape.height(), 4);
    EXPECT_EQ(shape.pitch(), 15);
    EXPECT_EQ(shape.bits_per_sample(), 8);
    const bool grey = std::string(name) == "grey.tif";
    for (int32_t y = 0; y < 4; ++y) {
      for (int32_t x = 0; x < 5; ++x) {
        const uint8_t* px = shape.pixels() + y * shape.pitch() + x * 3;
        const int base = 10 * x + 3 * y;
        EXPECT_EQ(px[0], grey ? base : base + 100) << name;  // blue
        EXPECT_EQ(px[1], grey ? base : base + 50) << name;   // green
        EXPECT_EQ(px[2], base) << name;                      // red
      }
    }
  }
  EXPECT_TRUE(notes.texts.empty());
}

TEST_F(ShapeImage, RefusesOtherDepthsThroughTheNotifier) {
  write_test_tiff(file("deep.tif"), 4, 4, 3, 16);
  write_test_tiff(file("bilevel.tif"), 16, 4, 1, 1);
  RecordingNotifier notes;
  LoadedShape shape;
  write_test_tiff(file("ok.tif"), 3, 3, 1, 8);
  ASSERT_TRUE(shape.load(file("ok.tif"), &notes));
  EXPECT_FALSE(shape.load(file("deep.tif"), &notes));  // replaces, then drops the old shape
  EXPECT_FALSE(shape.loaded());
  EXPECT_EQ(shape.pixels(), nullptr);
  EXPECT_EQ(shape.status(), ShapeLoad::kUnsupported);
  EXPECT_FALSE(shape.load(file("bilevel.tif"), &notes));
  ASSERT_EQ(notes.texts.size(), 2u);
  EXPECT_EQ(notes.texts[0], "Unsupported format ( 16 bits per pixel )");
  EXPECT_EQ(notes.texts[1], "Unsupported format ( 1 bits per pixel )");
  EXPECT_FALSE(shape.load(file("deep.tif"), nullptr));  // no sink: still refused quietly
}

TEST_F(ShapeImage, MissingFilesAndSeparatePlanesAreNotLoaded) {
  LoadedShape shape;
  EXPECT_FALSE(shape.load(file("absent.tif"), nullptr));
  EXPECT_EQ(shape.status(), ShapeLoad::kOpenFailed);
  write_test_tiff(file("planar.tif"), 4, 3, 3, 8, PLANARCONFIG_SEPARATE);
  EXPECT_FALSE(shape.load(file("planar.tif"), nullptr));
  EXPECT_EQ(shape.status(), ShapeLoad::kUnsupported);
  shape.release();
  EXPECT_EQ(shape.status(), ShapeLoad::kNone);
}

// A few hundred bytes may claim any size: the loader must fail on the rows that are not
// there, not first try to take memory for all of them.
TEST_F(ShapeImage, ClaimedSizesBeyondTheFileAreRefusedWithoutTheirMemory) {
  // A picture of two real rows in one strip whose header then claims `height` rows.
  const auto write_claim = [](const std::string& path, uint32_t width, uint32_t height) {
    write_test_tiff(path, width, 2, 1, 8, PLANARCONFIG_CONTIG, 2);
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    const auto u32 = [&f](std::streamoff at) {
      uint8_t b[4] = {};
      f.seekg(at);
      f.read(reinterpret_cast<char*>(b), 4);
      return static_cast<uint32_t>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24);
    };
    const uint32_t ifd = u32(4);
    const uint16_t count = static_cast<uint16_t>(u32(ifd) & 0xFFFF);
    for (uint16_t i = 0; i < count; ++i) {
      const std::streamoff entry = ifd + 2 + 12 * i;
      const uint32_t tag = u32(entry) & 0xFFFF;
      if (tag != TIFFTAG_IMAGELENGTH && tag != TIFFTAG_ROWSPERSTRIP) continue;
      // LONG, one value, the claimed height (little-endian, as libtiff writes here).
      const uint8_t patched[10] = {4, 0, 1, 0, 0, 0, static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8),
                                   static_cast<uint8_t>(height >> 16), static_cast<uint8_t>(height >> 24)};
      f.seekp(entry + 2);
      f.write(reinterpret_cast<const char*>(patched), sizeof patched);
    }
  };
  LoadedShape shape;
  // Two rows of a picture claiming 2^31 - 1: the buffer for all of them would be ~400 TB.
  write_claim(file("tall.tif"), 65535, 0x7fffffff);
  EXPECT_FALSE(shape.load(file("tall.tif"), nullptr));
  EXPECT_EQ(shape.status(), ShapeLoad::kReadFailed) << shape.message();
  EXPECT_EQ(shape.pixels(), nullptr);
  // Rows wider than any shape would need their buffers before the first one decodes.
  write_test_tiff(file("wide.tif"), 70000, 2, 1, 8);
  EXPECT_FALSE(shape.load(file("wide.tif"), nullptr));
  EXPECT_EQ(shape.status(), ShapeLoad::kUnsupported);
  // A real file of many rows still grows to hold them all.
  write_test_tiff(file("long.tif"), 3, 1000, 3, 8);
  ASSERT_TRUE(shape.load(file("long.tif"), nullptr)) << shape.message();
  EXPECT_EQ(shape.height(), 1000);
  EXPECT_EQ(shape.pixels()[999 * shape.pitch()], static_cast<uint8_t>(3 * 999 + 100));
}

// Every blur the effect allows (requests up to 301, always odd) finds a large enough file
// in every shape of the drawn library.
TEST_F(ShapeImage, DrawnLibraryServesEveryRequestedSize) {
  std::string error;
  ASSERT_TRUE(irisgen::write_library(dir_.string(), &error)) << error;
  ASSERT_TRUE(fs::is_directory(dir_ / "08RZ67"));
  int coloured = 0;
  for (const auto& info : irisgen::shapes()) {
    const std::string folder = (dir_ / info.name).string();
    int32_t last_size = 0;
    LoadedShape shape;
    for (int32_t requested = 1; requested <= 301; requested += 2) {
      const ShapeFileChoice choice = choose_shape_file(folder, requested);
      ASSERT_TRUE(choice.found()) << info.name << " " << requested;
      EXPECT_EQ(choice.largest, 301);
      if (choice.size != last_size) {
        ASSERT_TRUE(shape.load(choice.path, nullptr)) << choice.path;
        last_size = choice.size;
      }
      EXPECT_GE(shape.width(), requested);
    }
    ASSERT_TRUE(shape.load(choose_shape_file(folder, 61).path, nullptr));
    EXPECT_EQ(shape.samples_per_pixel(), info.coloured ? 3 : 1);
    coloured += info.coloured ? 1 : 0;
    // Centred, mirror-symmetric left to right (to within a sample on an edge), with a
    // full centre and empty corners.
    const int32_t n = shape.width();
    const uint8_t* px = shape.pixels();
    EXPECT_EQ(px[(n / 2) * shape.pitch() + (n / 2) * 3 + 2], 255) << info.name;
    EXPECT_EQ(px[2], 0) << info.name;
    for (int32_t y = 0; y < n; ++y) {
      for (int32_t x = 0; x < n; ++x) {
        ASSERT_NEAR(px[y * shape.pitch() + x * 3 + 2], px[y * shape.pitch() + (n - 1 - x) * 3 + 2], 4)
            << info.name << " " << x << "," << y;
      }
    }
  }
  EXPECT_GE(coloured, 1);
  EXPECT_GE(irisgen::shapes().size(), 4u);
}

}  // namespace
}  // namespace velune
