#pragma once
// The conversion dialog's histogram: counts of the preview's pixels (or of the raw values the
// preview starts from), and a small picture of them drawn as the settings file asks: which
// colour, which part of the range, linear or logarithmic heights, with or without the curves
// of the channel tables.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tessaro/GeneralSettings.h"

namespace tessaro {

inline constexpr int kHistogramBins = 256;

enum HistogramColor { kHistRgb = 0, kHistLuminance = 1, kHistRed = 2, kHistGreen = 3, kHistBlue = 4 };
// Which inputs the picture spans: all, the lower half or the upper half (magnified twice).
enum HistogramRange { kRangeFull = 0, kRangeShadows = 1, kRangeHighlights = 2 };
// What is counted: the raw values before the tables, or the preview as shown.
enum HistogramSource { kSourceRaw = 0, kSourcePreview = 1 };

struct HistogramOptions {
  int color = kHistRgb;
  int range = kRangeFull;
  bool logScale = false;
  bool curves = true;
  int source = kSourcePreview;
  // Out-of-range numbers from the file fall back to the defaults above.
  static HistogramOptions From(const GeneralSettings& g);
};

struct Histogram {
  // Red, green, blue, luminance.
  std::array<std::array<std::uint32_t, kHistogramBins>, 4> bins{};
  std::uint64_t pixels = 0;
  void Clear() { *this = Histogram{}; }
};

// Luminance of an 8-bit pixel, the broadcast weights in integers.
inline int Luminance8(int r, int g, int b) { return (299 * r + 587 * g + 114 * b + 500) / 1000; }

// Adds `pixels` interleaved 8-bit RGB pixels.
void CountRgb8(const std::uint8_t* rgb, std::size_t pixels, Histogram& h);
// Adds `pixels` interleaved 12-bit RGB pixels (values above 4095 count as 4095), 16 values a bin.
void CountRgb12(const std::uint16_t* rgb, std::size_t pixels, Histogram& h);

// The response of each channel table drawn over the bars: for each input bin the output
// 0..255 of red, green and blue.
using HistogramCurves = std::array<std::array<std::uint8_t, kHistogramBins>, 3>;

struct HistogramPicture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // rows top to bottom
};

inline constexpr std::uint8_t kHistogramBackground = 40;

// Draws the histogram into a width x height picture (both at least 1; smaller values give an
// empty picture). Bars rise from the bottom row; the tallest bar shown fills the height.
void DrawHistogram(const Histogram& h, const HistogramOptions& o, const HistogramCurves* curves, int width,
                   int height, HistogramPicture& out);

// First and last input bin the range shows.
void HistogramSpan(int range, int& first, int& last);

}  // namespace tessaro
