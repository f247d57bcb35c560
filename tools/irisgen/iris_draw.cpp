#include "iris_draw.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace irisgen {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Inside tests in unit coordinates: the image spans [-1, 1] on both axes, y down.
bool in_disc(double x, double y, double radius) { return x * x + y * y <= radius * radius; }

// Regular polygon of straight blades with a vertex at the top, circumradius 1.
bool in_polygon(double x, double y, int blades) {
  const double apothem = std::cos(kPi / blades);
  for (int k = 0; k < blades; ++k) {
    const double angle = -kPi / 2 + kPi / blades + 2 * kPi * k / blades;
    if (x * std::cos(angle) + y * std::sin(angle) > apothem) {
      return false;
    }
  }
  return true;
}

// Eight curved blades: each edge is an arc of a circle twice the image's radius, so the
// opening is a rounded octagon whose corners just touch the unit circle.
bool in_rounded_octagon(double x, double y) {
  constexpr double kArc = 2.0;
  constexpr double kApothem = 0.96;
  for (int k = 0; k < 8; ++k) {
    const double angle = kPi / 8 + 2 * kPi * k / 8;
    const double cx = -(kArc - kApothem) * std::cos(angle);
    const double cy = -(kArc - kApothem) * std::sin(angle);
    if ((x - cx) * (x - cx) + (y - cy) * (y - cy) > kArc * kArc) {
      return false;
    }
  }
  return true;
}

// Supersampled coverage of one channel, as 0..255. Every shape is convex and lies in the
// unit disc, so a pixel whose corners are all inside is full, and one wholly outside the
// disc is empty: only the edge pixels need the samples.
template <typename Inside>
void fill(Image& image, int channel, Inside inside) {
  const int32_t n = image.size;
  const int samples = n <= 61 ? 8 : 4;
  const double step = 2.0 / n;
  for (int32_t py = 0; py < n; ++py) {
    const double y0 = py * step - 1.0;
    for (int32_t px = 0; px < n; ++px) {
      const double x0 = px * step - 1.0;
      int hits = 0;
      const double nx = std::clamp(0.0, x0, x0 + step);
      const double ny = std::clamp(0.0, y0, y0 + step);
      if (inside(x0, y0) && inside(x0 + step, y0) && inside(x0, y0 + step) && inside(x0 + step, y0 + step)) {
        hits = samples * samples;
      } else if (nx * nx + ny * ny <= 1.0) {
        for (int sy = 0; sy < samples; ++sy) {
          const double y = (py + (sy + 0.5) / samples) / n * 2.0 - 1.0;
          for (int sx = 0; sx < samples; ++sx) {
            const double x = (px + (sx + 0.5) / samples) / n * 2.0 - 1.0;
            hits += inside(x, y) ? 1 : 0;
          }
        }
      }
      const auto at = (static_cast<std::size_t>(py) * static_cast<std::size_t>(n) + static_cast<std::size_t>(px)) *
                          static_cast<std::size_t>(image.channels) +
                      static_cast<std::size_t>(channel);
      image.pixels[at] = static_cast<uint8_t>(std::lround(255.0 * hits / (samples * samples)));
    }
  }
}

}  // namespace

const std::vector<ShapeInfo>& shapes() {
  static const std::vector<ShapeInfo> list = {
      {"08RZ67", false}, {"Disc", false}, {"Blade5", false}, {"Blade6", false}, {"ChromaDisc", true},
  };
  return list;
}

const std::vector<int32_t>& sizes() {
  static const std::vector<int32_t> list = {5, 11, 21, 31, 41, 61, 81, 101, 121, 151, 181, 211, 241, 271, 301};
  return list;
}

Image draw_shape(const std::string& name, int32_t size) {
  Image image;
  image.size = size > 0 ? size : 0;
  bool coloured = false;
  for (const ShapeInfo& info : shapes()) {
    coloured = coloured || (name == info.name && info.coloured);
  }
  image.channels = coloured ? 3 : 1;
  image.pixels.assign(static_cast<std::size_t>(image.size) * static_cast<std::size_t>(image.size) *
                          static_cast<std::size_t>(image.channels),
                      0);
  if (name == "08RZ67") {
    fill(image, 0, in_rounded_octagon);
  } else if (name == "Disc") {
    fill(image, 0, [](double x, double y) { return in_disc(x, y, 1.0); });
  } else if (name == "Blade5") {
    fill(image, 0, [](double x, double y) { return in_polygon(x, y, 5); });
  } else if (name == "Blade6") {
    fill(image, 0, [](double x, double y) { return in_polygon(x, y, 6); });
  } else if (name == "ChromaDisc") {
    // Lateral colour: red spreads widest, blue least, leaving a warm fringe.
    fill(image, 0, [](double x, double y) { return in_disc(x, y, 1.0); });
    fill(image, 1, [](double x, double y) { return in_disc(x, y, 0.96); });
    fill(image, 2, [](double x, double y) { return in_disc(x, y, 0.92); });
  }
  return image;
}

bool write_tiff(const std::string& path, const Image& image) {
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (tiff == nullptr) {
    return false;
  }
  const auto n = static_cast<uint32_t>(image.size);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, n);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, n);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(image.channels));
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(8));
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, image.channels == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
  bool ok = true;
  const std::size_t row_bytes = static_cast<std::size_t>(n) * static_cast<std::size_t>(image.channels);
  for (uint32_t y = 0; y < n && ok; ++y) {
    // libtiff takes a non-const buffer but does not write to it when encoding raw rows.
    auto* row = const_cast<uint8_t*>(image.pixels.data() + y * row_bytes);
    ok = TIFFWriteScanline(tiff, row, y, 0) >= 0;
  }
  TIFFClose(tiff);
  return ok;
}

bool write_library(const std::string& root, std::string* error) {
  namespace fs = std::filesystem;
  for (const ShapeInfo& info : shapes()) {
    const fs::path folder = fs::path(root) / info.name;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
      if (error != nullptr) {
        *error = "cannot create " + folder.string() + ": " + ec.message();
      }
      return false;
    }
    for (int32_t size : sizes()) {
      const fs::path file = folder / (std::to_string(size) + ".tif");
      if (!write_tiff(file.string(), draw_shape(info.name, size))) {
        if (error != nullptr) {
          *error = "cannot write " + file.string();
        }
        return false;
      }
    }
  }
  return true;
}

}  // namespace irisgen
