#include "tessaro/Histogram.h"

#include <algorithm>
#include <cmath>

namespace tessaro {

HistogramOptions HistogramOptions::From(const GeneralSettings& g) {
  HistogramOptions o;
  if (g.histogramColor >= kHistRgb && g.histogramColor <= kHistBlue) o.color = g.histogramColor;
  if (g.histogramRange >= kRangeFull && g.histogramRange <= kRangeHighlights) o.range = g.histogramRange;
  if (g.histogramSource == kSourceRaw || g.histogramSource == kSourcePreview) o.source = g.histogramSource;
  o.logScale = g.histogramScale;
  o.curves = g.histogramCurves;
  return o;
}

void CountRgb8(const std::uint8_t* rgb, std::size_t pixels, Histogram& h) {
  for (std::size_t i = 0; i < pixels; ++i, rgb += 3) {
    ++h.bins[0][rgb[0]];
    ++h.bins[1][rgb[1]];
    ++h.bins[2][rgb[2]];
    ++h.bins[3][static_cast<std::size_t>(Luminance8(rgb[0], rgb[1], rgb[2]))];
  }
  h.pixels += pixels;
}

void CountRgb12(const std::uint16_t* rgb, std::size_t pixels, Histogram& h) {
  for (std::size_t i = 0; i < pixels; ++i, rgb += 3) {
    int b[3];
    for (int c = 0; c < 3; ++c) b[c] = std::min<int>(rgb[c], 4095) >> 4;
    for (int c = 0; c < 3; ++c) ++h.bins[static_cast<std::size_t>(c)][static_cast<std::size_t>(b[c])];
    ++h.bins[3][static_cast<std::size_t>(Luminance8(b[0], b[1], b[2]))];
  }
  h.pixels += pixels;
}

void HistogramSpan(int range, int& first, int& last) {
  first = 0;
  last = kHistogramBins - 1;
  if (range == kRangeShadows) last = kHistogramBins / 2 - 1;
  if (range == kRangeHighlights) first = kHistogramBins / 2;
}

namespace {

// Channels drawn, as indices into Histogram::bins, with the colour each lights.
struct Layer {
  int bins;
  bool r, g, b;
};

int Layers(int color, Layer out[3]) {
  switch (color) {
    case kHistLuminance: out[0] = {3, true, true, true}; return 1;
    case kHistRed: out[0] = {0, true, false, false}; return 1;
    case kHistGreen: out[0] = {1, false, true, false}; return 1;
    case kHistBlue: out[0] = {2, false, false, true}; return 1;
    default:
      out[0] = {0, true, false, false};
      out[1] = {1, false, true, false};
      out[2] = {2, false, false, true};
      return 3;
  }
}

}  // namespace

void DrawHistogram(const Histogram& h, const HistogramOptions& o, const HistogramCurves* curves, int width,
                   int height, HistogramPicture& out) {
  out.width = width > 0 && height > 0 ? width : 0;
  out.height = out.width ? height : 0;
  out.rgb.assign(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) * 3, kHistogramBackground);
  if (!out.width) return;
  int first = 0, last = 0;
  HistogramSpan(o.range, first, last);
  const int span = last - first + 1;
  Layer layers[3];
  const int n = Layers(o.color, layers);

  auto scaled = [&o](double v) { return o.logScale ? std::log1p(v) : v; };
  double top = 0;
  for (int l = 0; l < n; ++l)
    for (int b = first; b <= last; ++b)
      top = std::max(top, scaled(h.bins[static_cast<std::size_t>(layers[l].bins)][static_cast<std::size_t>(b)]));

  auto at = [&out](int x, int y) {
    return out.rgb.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(out.width) + static_cast<std::size_t>(x)) * 3;
  };
  auto binOf = [&](int x) { return first + static_cast<int>(static_cast<long long>(x) * span / out.width); };

  if (top > 0) {
    for (int x = 0; x < out.width; ++x) {
      const int b = binOf(x);
      for (int l = 0; l < n; ++l) {
        const double v = scaled(h.bins[static_cast<std::size_t>(layers[l].bins)][static_cast<std::size_t>(b)]);
        // A bin that holds anything shows at least one row.
        int rows = static_cast<int>(std::lround(v / top * out.height));
        if (v > 0 && rows == 0) rows = 1;
        for (int y = out.height - rows; y < out.height; ++y) {
          std::uint8_t* p = at(x, y);
          // Overlapping channels mix: red and green bars make yellow.
          if (n == 3 && p[0] == kHistogramBackground && p[1] == kHistogramBackground && p[2] == kHistogramBackground)
            p[0] = p[1] = p[2] = 0;
          if (layers[l].r) p[0] = 255;
          if (layers[l].g) p[1] = 255;
          if (layers[l].b) p[2] = 255;
          if (n == 1) {
            if (!layers[l].r) p[0] = 0;
            if (!layers[l].g) p[1] = 0;
            if (!layers[l].b) p[2] = 0;
          }
        }
      }
    }
  }

  if (o.curves && curves) {
    // Curves in a half-bright grey so they show over bars of any colour.
    const int shown[3] = {o.color == kHistRgb || o.color == kHistLuminance || o.color == kHistRed,
                          o.color == kHistRgb || o.color == kHistLuminance || o.color == kHistGreen,
                          o.color == kHistRgb || o.color == kHistLuminance || o.color == kHistBlue};
    for (int c = 0; c < 3; ++c) {
      if (!shown[c]) continue;
      for (int x = 0; x < out.width; ++x) {
        const int v = (*curves)[static_cast<std::size_t>(c)][static_cast<std::size_t>(binOf(x))];
        // The vertical axis of a curve is the output 0..255 whatever the range shown.
        const int y = out.height - 1 - static_cast<int>(static_cast<long long>(v) * (out.height - 1) / 255);
        std::uint8_t* p = at(x, y);
        p[0] = p[1] = p[2] = 160;
      }
    }
  }
}

}  // namespace tessaro
