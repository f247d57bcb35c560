#include "tessaro/Colour.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "IccProfiles.h"

namespace tessaro {

namespace {

// RIF value indices (offset 32 + 2 i) of each matrix entry, in the order R, G1, G2, B.
constexpr int kRifY[4] = {0, 1, 3, 2};
constexpr int kRifCr[4] = {8, 9, 11, 10};
constexpr int kRifCb[4] = {4, 5, 7, 6};

constexpr ColourMatrix kMatrix57 = {{0.296875, 0.29296875, 0.29296875, 0.1171875},
                                    {0.6015625, -0.2890625, -0.2890625, -0.0234375},
                                    {-0.14453125, -0.2265625, -0.2265625, 0.59765625}};
constexpr ColourMatrix kMatrixLater = {{0.296875, 0.29296875, 0.29296875, 0.1171875},
                                       {0.5, -0.2109375, -0.2109375, -0.078125},
                                       {-0.171875, -0.1640625, -0.1640625, 0.5}};

constexpr std::array<double, 3> kD50 = {0.964188, 1, 0.824875};

constexpr Colorants kColorants[6] = {
    {{0.524414, 0.278778, 0.064056}, {0.419952, 0.760345, 0.001297}, {0.032120, -0.039124, 0.825684},
     {0.976501, 0.999985, 0.891068}, kD50},
    {{0.497787, 0.227890, 0.058395}, {0.382385, 0.792099, -0.081696}, {0.083893, -0.019989, 0.848190},
     {0.969086, 1.000000, 0.875687}, kD50},
    {{0.588989, 0.254593, 0.053894}, {0.313599, 0.844193, -0.212097}, {0.061493, -0.098785, 0.983093},
     {0.942200, 1.000000, 0.775986}, kD50},
    {{0.588089, 0.240097, 0.019394}, {0.360489, 0.929092, -0.092392}, {0.015488, -0.169189, 0.897888},
     {0.974686, 1.000000, 0.818100}, {0.964118, 1, 0.824875}},
    {{0.565094, 0.224487, 0.035492}, {0.431396, 0.974991, -0.052597}, {-0.032288, -0.199493, 0.841888},
     {0.951797, 1.000000, 0.818100}, kD50},
    {{0.617996, 0.237000, -0.006790}, {0.349792, 0.928085, -0.094696}, {-0.003586, -0.165192, 0.926392},
     {0.968292, 1.000000, 0.801193}, kD50},
};

// The monitor's primaries, as columns.
constexpr Mat3 kMonitor = {{{0.436096, 0.385086, 0.143097},
                            {0.222488, 0.716888, 0.060593},
                            {0.013885, 0.097092, 0.714096}}};

Mat3 Columns(const std::array<double, 3>& r, const std::array<double, 3>& g, const std::array<double, 3>& b) {
  Mat3 m{};
  for (int i = 0; i < 3; ++i) {
    m.m[i][0] = r[i];
    m.m[i][1] = g[i];
    m.m[i][2] = b[i];
  }
  return m;
}

// A · diag(A⁻¹ w): the primaries scaled so that equal amounts of them give the white w.
bool WhiteScaled(const Mat3& a, const std::array<double, 3>& w, Mat3& out) {
  Mat3 inv;
  if (!Invert(a, inv)) return false;
  double k[3];
  for (int i = 0; i < 3; ++i) k[i] = inv.m[i][0] * w[0] + inv.m[i][1] * w[1] + inv.m[i][2] * w[2];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) out.m[i][j] = a.m[i][j] * k[j];
  return true;
}

// A colour matrix gives a grey input about its own brightness and no colour difference.
bool KeepsGreyGrey(const ColourMatrix& m) {
  double y = 0, cr = 0, cb = 0;
  for (int c = 0; c < 4; ++c) {
    y += m.y[c];
    cr += m.cr[c];
    cb += m.cb[c];
  }
  return y >= 0.5 && y <= 2.0 && std::fabs(cr) <= 0.1 * y && std::fabs(cb) <= 0.1 * y;
}

}  // namespace

bool ColourMatrixFor(int colorSpace, const RawFile* file, ColourMatrix& out) {
  switch (colorSpace) {
    case kSpaceCamera:
      for (int c = 0; c < 4; ++c) {
        out.y[c] = file ? file->RifValue(kRifY[c]) : 0.0;
        out.cr[c] = file ? file->RifValue(kRifCr[c]) : 0.0;
        out.cb[c] = file ? file->RifValue(kRifCb[c]) : 0.0;
      }
      // A file without the block, or with other numbers in its place, would turn every picture
      // black or into one flat colour: its camera family's built-in matrix serves instead.
      if (file && !KeepsGreyGrey(out)) out = file->GetColorGroup() == 1 ? kMatrix57 : kMatrixLater;
      return true;
    case kSpace57: out = kMatrix57; return true;
    case kSpace7i: case kSpaceA1: case kSpaceA2: case kSpaceA200: case kSpace7D: out = kMatrixLater; return true;
    default: return false;
  }
}

double SaturationFactor(std::int32_t saturation) {
  return saturation == -70 ? 0.0 : std::pow(10.0, saturation / 100.0);
}

int CameraProfileIndex(int colorSpace, ModelCode model, ColorGroup group) {
  switch (colorSpace) {
    case kSpaceCamera: return group;
    case kSpace57: return 1;
    case kSpace7i: return 2;
    case kSpaceA1: return 3;
    case kSpaceA2: return 4;
    case kSpaceA200: return 5;
    case kSpace7D: return 6;
    default:
      switch (model) {
        case 6: return 3;
        case 7: return 4;
        case 8: return 6;
        case 9: return 5;
        case 1: case 2: case 3: case 4: case 5: return 2;
        default: return 0;
      }
  }
}

int ProfileIndex(const ConversionSettings& s, ModelCode model, ColorGroup group) {
  if (s.ConvertToMonitor && s.ColorSpace != kSpaceNone) return kProfileMonitor;
  return CameraProfileIndex(s.ColorSpace, model, group);
}

const char* ProfileName(int index) {
  switch (index) {
    case 0: return "no profile";
    case 1: return "Minolta DiMAGE 7";
    case 2: return "Dimage 7iMod (RAW g2200)";
    case 3: return "Dimage A1Mod (RAW g2200)";
    case 4: return "Dimage A2Mod (RAW g2200)";
    case 5: return "Dimage A200Mod (RAW g2200)";
    case 6: return "Dynax 7D (RAW g2200)";
    case 10: return "Standard Monitor (KONICA MINOLTA CAMERA 2003)";
    default: return "unknown profile!!!";
  }
}

std::span<const std::uint8_t> ProfileBytes(int index) { return icc::Embedded(index); }

const Colorants* ProfileColorants(int index) {
  return index >= 1 && index <= 6 ? &kColorants[index - 1] : nullptr;
}

// --- matrices

Mat3 Mat3::Identity() { return Mat3{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}; }

Mat3 operator*(const Mat3& a, const Mat3& b) {
  Mat3 r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
  return r;
}

bool Invert(const Mat3& a, Mat3& out) {
  const auto& m = a.m;
  const double c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
  const double c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
  const double c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
  const double det = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
  if (det == 0 || !std::isfinite(det)) return false;
  const double k = 1.0 / det;
  out.m[0][0] = c00 * k;
  out.m[1][0] = c01 * k;
  out.m[2][0] = c02 * k;
  out.m[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) * k;
  out.m[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) * k;
  out.m[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) * k;
  out.m[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * k;
  out.m[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * k;
  out.m[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * k;
  return true;
}

bool MonitorMatrix(int cameraProfile, Mat3& out, std::string* log) {
  const Colorants* c = ProfileColorants(cameraProfile);
  if (!c) {
    out = Mat3::Identity();
    return true;
  }
  Mat3 qw, sw, swInv;
  if (!WhiteScaled(Columns(c->red, c->green, c->blue), c->d50, qw) || !WhiteScaled(kMonitor, c->d50, sw) ||
      !Invert(sw, swInv)) {
    if (log) *log += kSingularMatrixText;
    return false;
  }
  out = swInv * qw;
  return true;
}

LinearisingTable::LinearisingTable() {
  for (int i = 0; i < 4096; ++i) v[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(std::pow(i, 2.2));
}

int LinearisingTable::Inverse(double x) const {
  if (!(x > 0)) return 0;
  if (x > v[4095]) return 4095;
  int lo = 0, hi = 4095;  // first entry >= x lies in (lo, hi]
  while (hi - lo > 1) {
    const int mid = (lo + hi) / 2;
    if (v[static_cast<std::size_t>(mid)] >= x)
      hi = mid;
    else
      lo = mid;
  }
  const double above = v[static_cast<std::size_t>(hi)] - x, below = x - v[static_cast<std::size_t>(lo)];
  return above <= below ? hi : lo;
}

// --- the row stage

bool ColourConverter::Start(const ConversionSettings& s, const RawFile* file, int depth,
                            const LinearisingTable* table, std::string* error) {
  depth_ = depth == 16 ? 16 : 8;
  ColourMatrix m;
  passthrough_ = !ColourMatrixFor(s.ColorSpace, file, m);
  monitor_ = false;
  if (passthrough_) return true;
  yr_ = m.y[0];
  yg_ = m.y[1] + m.y[2];
  yb_ = m.y[3];
  crr_ = m.cr[0];
  crg_ = m.cr[1] + m.cr[2];
  crb_ = m.cr[3];
  cbr_ = m.cb[0];
  cbg_ = m.cb[1] + m.cb[2];
  cbb_ = m.cb[3];
  s_ = SaturationFactor(s.Saturation);
  if (s.ConvertToMonitor) {
    const int profile = file ? CameraProfileIndex(s.ColorSpace, file->GetModelCode(), file->GetColorGroup())
                             : CameraProfileIndex(s.ColorSpace, 0, 0);
    std::string log;
    if (!MonitorMatrix(profile, m_, &log)) {
      if (error) *error = log;
      return false;
    }
    if (!table) {
      if (!ownTable_) ownTable_ = std::make_unique<LinearisingTable>();
      table = ownTable_.get();
    }
    table_ = table;
    monitor_ = true;
  }
  return true;
}

void ColourConverter::Pixel(const std::uint16_t* rgb, double out[3]) const {
  const double r = rgb[0], g = rgb[1], b = rgb[2];
  if (passthrough_) {
    out[0] = r;
    out[1] = g;
    out[2] = b;
    return;
  }
  const double y = yg_ * g + yr_ * r + yb_ * b;
  const double cr = (crg_ * g + crr_ * r + crb_ * b) * s_;
  const double cb = (cbg_ * g + cbr_ * r + cbb_ * b) * s_;
  double o[3] = {y + 1.402 * cr, y - 0.34414 * cb - 0.71414 * cr, y + 1.772 * cb};
  for (double& v : o)
    if (v < 0) v = 0;
  if (monitor_) {
    double lin[3];
    for (int c = 0; c < 3; ++c) {
      const double t = o[c] >= 4095 ? 4095 : o[c];
      lin[c] = table_->v[static_cast<std::size_t>(t)];
    }
    for (int c = 0; c < 3; ++c)
      o[c] = table_->Inverse(m_.m[c][0] * lin[0] + m_.m[c][1] * lin[1] + m_.m[c][2] * lin[2]);
  }
  out[0] = o[0];
  out[1] = o[1];
  out[2] = o[2];
}

namespace {

// The matrix step for a run of pixels without the monitor conversion, written branch-free so
// that the compiler keeps it in registers: the same arithmetic, in the same order, as Pixel.
template <class Out, class Scale>
void MatrixRun(const std::uint16_t* rgb, std::size_t n, Out* o, double yr, double yg, double yb, double crr,
               double crg, double crb, double cbr, double cbg, double cbb, double s, Scale scale) {
  for (std::size_t i = 0; i < n; i += 3) {
    const double r = rgb[i], g = rgb[i + 1], b = rgb[i + 2];
    const double y = yg * g + yr * r + yb * b;
    const double cr = (crg * g + crr * r + crb * b) * s;
    const double cb = (cbg * g + cbr * r + cbb * b) * s;
    o[i] = scale(std::max(y + 1.402 * cr, 0.0));
    o[i + 1] = scale(std::max(y - 0.34414 * cb - 0.71414 * cr, 0.0));
    o[i + 2] = scale(std::max(y + 1.772 * cb, 0.0));
  }
}

#if defined(__SSE2__)
// MatrixRun with the 16-bit scale, two pixels at a time: each lane does the scalar loop's
// operations in its order (no fused steps), so every output value is the same. Returns the
// number of values done; the caller finishes the odd pixel.
std::size_t MatrixRun16Pairs(const std::uint16_t* rgb, std::size_t n, std::uint16_t* o, double yr, double yg,
                             double yb, double crr, double crg, double crb, double cbr, double cbg, double cbb,
                             double s) {
  const __m128d Yr = _mm_set1_pd(yr), Yg = _mm_set1_pd(yg), Yb = _mm_set1_pd(yb);
  const __m128d Crr = _mm_set1_pd(crr), Crg = _mm_set1_pd(crg), Crb = _mm_set1_pd(crb);
  const __m128d Cbr = _mm_set1_pd(cbr), Cbg = _mm_set1_pd(cbg), Cbb = _mm_set1_pd(cbb), S = _mm_set1_pd(s);
  const __m128d kR = _mm_set1_pd(1.402), kGb = _mm_set1_pd(0.34414), kGr = _mm_set1_pd(0.71414),
                kB = _mm_set1_pd(1.772);
  const __m128d zero = _mm_setzero_pd(), scale = _mm_set1_pd(16.003663003663), half = _mm_set1_pd(0.5),
                top = _mm_set1_pd(65535.0);
  // max(v, 0) first: a NaN becomes 0 there, as the scalar cast of it does on this processor.
  const auto to16 = [&](__m128d v) {
    v = _mm_max_pd(v, zero);
    return _mm_cvttpd_epi32(_mm_min_pd(_mm_add_pd(_mm_mul_pd(v, scale), half), top));
  };
  const auto lo = [](__m128i v) { return static_cast<std::uint16_t>(_mm_cvtsi128_si32(v)); };
  const auto hi = [](__m128i v) { return static_cast<std::uint16_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(v, 1))); };
  std::size_t i = 0;
  for (; i + 6 <= n; i += 6) {
    const __m128d r = _mm_set_pd(rgb[i + 3], rgb[i]);
    const __m128d g = _mm_set_pd(rgb[i + 4], rgb[i + 1]);
    const __m128d b = _mm_set_pd(rgb[i + 5], rgb[i + 2]);
    const __m128d y = _mm_add_pd(_mm_add_pd(_mm_mul_pd(Yg, g), _mm_mul_pd(Yr, r)), _mm_mul_pd(Yb, b));
    const __m128d cr =
        _mm_mul_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(Crg, g), _mm_mul_pd(Crr, r)), _mm_mul_pd(Crb, b)), S);
    const __m128d cb =
        _mm_mul_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(Cbg, g), _mm_mul_pd(Cbr, r)), _mm_mul_pd(Cbb, b)), S);
    const __m128i o0 = to16(_mm_add_pd(y, _mm_mul_pd(kR, cr)));
    const __m128i o1 = to16(_mm_sub_pd(_mm_sub_pd(y, _mm_mul_pd(kGb, cb)), _mm_mul_pd(kGr, cr)));
    const __m128i o2 = to16(_mm_add_pd(y, _mm_mul_pd(kB, cb)));
    o[i] = lo(o0);
    o[i + 1] = lo(o1);
    o[i + 2] = lo(o2);
    o[i + 3] = hi(o0);
    o[i + 4] = hi(o1);
    o[i + 5] = hi(o2);
  }
  return i;
}
#endif

}  // namespace

void ColourConverter::Row(const std::uint16_t* rgb, std::size_t width, void* out) const {
  const std::size_t n = width * 3;
  if (passthrough_) {
    if (depth_ == 16) {
      auto* o = static_cast<std::uint16_t*>(out);
      for (std::size_t i = 0; i < n; ++i) o[i] = static_cast<std::uint16_t>(rgb[i] * 65535u / 4095u);
    } else {
      auto* o = static_cast<std::uint8_t*>(out);
      for (std::size_t i = 0; i < n; ++i) o[i] = static_cast<std::uint8_t>(rgb[i] * 255u / 4095u);
    }
    return;
  }
  if (!monitor_) {
    const auto to16 = [](double v) {
      return static_cast<std::uint16_t>(static_cast<int>(std::min(v * 16.003663003663 + 0.5, 65535.0)));
    };
    const auto to8 = [](double v) {
      return static_cast<std::uint8_t>(static_cast<int>(std::min(v * 0.0622710622710623 + 0.5, 255.0)));
    };
    if (depth_ == 16) {
      auto* o = static_cast<std::uint16_t*>(out);
      std::size_t done = 0;
#if defined(__SSE2__)
      done = MatrixRun16Pairs(rgb, n, o, yr_, yg_, yb_, crr_, crg_, crb_, cbr_, cbg_, cbb_, s_);
#endif
      MatrixRun(rgb + done, n - done, o + done, yr_, yg_, yb_, crr_, crg_, crb_, cbr_, cbg_, cbb_, s_, to16);
    } else
      MatrixRun(rgb, n, static_cast<std::uint8_t*>(out), yr_, yg_, yb_, crr_, crg_, crb_, cbr_, cbg_, cbb_, s_, to8);
    return;
  }
  double px[3];
  if (depth_ == 16) {
    auto* o = static_cast<std::uint16_t*>(out);
    for (std::size_t i = 0; i < n; i += 3) {
      Pixel(rgb + i, px);
      o[i] = To16Bit(px[0]);
      o[i + 1] = To16Bit(px[1]);
      o[i + 2] = To16Bit(px[2]);
    }
  } else {
    auto* o = static_cast<std::uint8_t*>(out);
    for (std::size_t i = 0; i < n; i += 3) {
      Pixel(rgb + i, px);
      o[i] = To8Bit(px[0]);
      o[i + 1] = To8Bit(px[1]);
      o[i + 2] = To8Bit(px[2]);
    }
  }
}

}  // namespace tessaro
