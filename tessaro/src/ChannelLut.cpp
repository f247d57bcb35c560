#include "tessaro/ChannelLut.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tessaro {

namespace {

// Points of the built-in curves at the raw values 64, 256, 1024 and 2048; every curve also runs
// through (0, 0) and (4095, 4079).
struct CurvePoints {
  int t64, t256, t1024, t2048;
};
constexpr CurvePoints kCurvePoints[kContrastCurveCount] = {
    // DIVU +-3, steps -3..3
    {320, 1137, 2592, 3519}, {272, 1089, 2639, 3551}, {224, 1024, 2687, 3599}, {224, 960, 2687, 3599},
    {208, 896, 2719, 3599},  {192, 832, 2815, 3679},  {192, 752, 2911, 3759},
    // DIVU +-5, steps 0..5
    {0, 816, 2527, 3487}, {0, 752, 2576, 3520}, {0, 672, 2608, 3535}, {0, 609, 2639, 3551}, {0, 544, 2703, 3647},
    {0, 496, 2799, 3728},
    // DIVU +-5, steps -1..-5
    {0, 848, 2512, 3471}, {0, 896, 2464, 3439}, {0, 944, 2416, 3392}, {0, 944, 2400, 3343}, {0, 960, 2368, 3311}};

// Monotone cubic Hermite interpolation (Fritsch-Carlson) through the knots.
void FillMonotoneCubic(const double* xs, const double* ys, int n, std::uint16_t* out) {
  std::vector<double> delta(n - 1), m(n);
  for (int k = 0; k < n - 1; ++k) delta[k] = (ys[k + 1] - ys[k]) / (xs[k + 1] - xs[k]);
  m[0] = delta[0];
  m[n - 1] = delta[n - 2];
  for (int k = 1; k < n - 1; ++k) m[k] = delta[k - 1] * delta[k] <= 0 ? 0 : (delta[k - 1] + delta[k]) / 2;
  for (int k = 0; k < n - 1; ++k) {
    if (delta[k] == 0) {
      m[k] = m[k + 1] = 0;
      continue;
    }
    const double a = m[k] / delta[k], b = m[k + 1] / delta[k], r = a * a + b * b;
    if (r > 9) {
      const double t = 3 / std::sqrt(r);
      m[k] = t * a * delta[k];
      m[k + 1] = t * b * delta[k];
    }
  }
  for (int k = 0; k < n - 1; ++k) {
    const double h = xs[k + 1] - xs[k];
    for (int x = static_cast<int>(xs[k]); x <= static_cast<int>(xs[k + 1]); ++x) {
      const double t = (x - xs[k]) / h, t2 = t * t, t3 = t2 * t;
      const double y = (2 * t3 - 3 * t2 + 1) * ys[k] + (t3 - 2 * t2 + t) * h * m[k] + (-2 * t3 + 3 * t2) * ys[k + 1] +
                       (t3 - t2) * h * m[k + 1];
      out[x] = static_cast<std::uint16_t>(std::clamp(std::lround(y), 0L, 4095L));
    }
  }
}

struct CurveTable {
  std::vector<std::uint16_t> v;
  CurveTable() : v(std::size_t{kContrastCurveCount} * kLutSize) {
    for (int c = 0; c < kContrastCurveCount; ++c) {
      const CurvePoints& p = kCurvePoints[c];
      const double xs[] = {0, 64, 256, 1024, 2048, 4095};
      const double ys[] = {0, double(p.t64), double(p.t256), double(p.t1024), double(p.t2048), 4079};
      FillMonotoneCubic(xs, ys, 6, v.data() + std::size_t{kLutSize} * c);
    }
  }
};

// A double to an int within [lo, hi], truncating; NaN becomes lo.
int TruncClamp(double v, int lo, int hi) {
  if (!(v >= lo)) return lo;
  if (v >= hi) return hi;
  return static_cast<int>(v);
}

int CurveFor(const ConversionSettings& s) {
  const int step = s.DIVUContrast;
  if (s.Contrast == kToneDivu3) return step >= -3 && step <= 3 ? step + 3 : 3;
  if (step >= 0 && step <= 5) return 7 + step;
  if (step >= -5 && step <= -1) return 12 - step;
  return 7;
}

void PreciseToneTable(const ConversionSettings& st, ToneTable& t) {
  // Far outside the table the values only decide which steps apply; keep them in int range.
  const int s = TruncClamp(st.Shadows * 40.95, -(1 << 20), 1 << 20);
  const int h = TruncClamp(st.Highlights * 40.95, -(1 << 20), 1 << 20);
  // A black point at or above the white point leaves parts of the table to no rule; start
  // from the hard step at the white point so every entry has a value.
  for (int i = 0; i < kLutSize; ++i) t[i] = i >= h ? 4095 : 0;
  if (s > 0 && s <= 4095)
    for (int i = 0; i <= s; ++i) t[i] = 0;
  if (s < h)
    for (int i = std::max(s, 0), end = std::min(h, 4095); i <= end; ++i) {
      const long long v = (static_cast<long long>(i) - s) * 4095 / (static_cast<long long>(h) - s);
      t[i] = static_cast<std::uint16_t>(std::clamp(v, 0LL, 4095LL));
    }
  if (h > 0 && h < 4095)
    for (int i = h; i < kLutSize; ++i) t[i] = 4095;

  const double u = st.PreciseContrast / 100;
  const double v = st.PreciseContrast < 0 ? 1 + u : 1 / (1 - u);
  const double invGamma = 1 / st.PreciseGamma;
  for (int i = 0; i < kLutSize; ++i) {
    const double x = t[i] / 4095.0;
    const double w = std::pow(x, invGamma);
    const double y = w <= 0.5 ? 0.5 * std::pow(2 * w, v) : 1 - 0.5 * std::pow(2 * (1 - w), v);
    if (!(y >= 0))  // negative, or no number at all
      t[i] = 0;
    else if (4095 * y >= 4095)
      t[i] = 4095;
    else
      t[i] = static_cast<std::uint16_t>(4095 * y + 0.5);
  }
}

}  // namespace

const std::uint16_t* ContrastCurve(int index) {
  static const CurveTable table;
  if (index < 0 || index >= kContrastCurveCount) return nullptr;
  return table.v.data() + std::size_t{kLutSize} * index;
}

ToneTable BuildToneTable(const ConversionSettings& s) {
  ToneTable t;
  if (s.Contrast == kToneDivu3 || s.Contrast == kToneDivu5) {
    const std::uint16_t* c = ContrastCurve(CurveFor(s));
    std::copy(c, c + kLutSize, t.begin());
  } else {
    PreciseToneTable(s, t);
  }
  return t;
}

std::array<double, 4> PhaseCoefficients(const ConversionSettings& s, const CameraWb& cam) {
  const CWB& wb = s.GetWB();
  return {wb.CoefRed(cam), wb.CoefGreen2(cam), wb.CoefGreen1(cam), wb.CoefBlue(cam)};
}

void BuildChannelLuts(const ConversionSettings& s, const CameraWb& cam, bool highlightWarning, ChannelLuts& out) {
  BuildChannelLuts(PhaseCoefficients(s, cam), s.Exposure, s.ClipValues, s.HighlightsFix, highlightWarning,
                   BuildToneTable(s), out);
}

void BuildChannelLuts(const std::array<double, 4>& phaseCoef, double exposure, bool clipValues, bool highlightsFix,
                      bool highlightWarning, const ToneTable& tone, ChannelLuts& out) {
  const double m = std::exp2(exposure);
  for (int p = 0; p < 4; ++p) {
    const double c = phaseCoef[p];
    const int clipLevel = c == 0 ? 3963 : TruncClamp(3963 / c, 0, 3963);
    const double scale = c * m;
    for (int i = 0; i < kLutSize; ++i) {
      int k = i;
      if (highlightWarning) {
        if (scale * k > 4095) k = 0;
      } else {
        if (clipValues && i > 3965) k = 3965;
        if (highlightsFix) k = std::min(k, clipLevel);
      }
      // A negative coefficient or exposure from a script would index before the table.
      const int j = TruncClamp(scale * k + 0.5, 0, 4095);
      out[p].v[i] = tone[j];
    }
  }
}

void ApplyChannelLuts(std::uint16_t* plane, std::uint32_t w, std::uint32_t h, BayerOrder order,
                      const ChannelLuts& luts) {
  for (std::uint32_t y = 0; y < h; ++y) {
    std::uint16_t* row = plane + std::size_t{y} * w;
    const std::uint16_t* even = luts[CfaPhase(0, y, order)].v.data();
    const std::uint16_t* odd = luts[CfaPhase(1, y, order)].v.data();
    std::uint32_t x = 0;
    for (; x + 1 < w; x += 2) {
      row[x] = even[row[x] & 4095];
      row[x + 1] = odd[row[x + 1] & 4095];
    }
    if (x < w) row[x] = even[row[x] & 4095];
  }
}

}  // namespace tessaro
