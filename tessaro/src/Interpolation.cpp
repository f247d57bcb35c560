#include "tessaro/Interpolation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "Demosaic.h"
#include "tessaro/ConversionSettings.h"

namespace tessaro {

namespace {

struct MethodInfo {
  const char* name;
  std::uint32_t code;
  int left, right, top, bottom;
  int preLeft, preRight;
  bool prePass;
};

constexpr MethodInfo kMethods[kMethodCount] = {
    {"None", FourCC("inon"), 0, 0, 0, 0, 0, 0, false},
    {"None (gray)", FourCC("igra"), 0, 0, 0, 0, 0, 0, false},
    {"Average (half size)", FourCC("ihal"), 0, 0, 0, 0, 0, 0, false},
    {"NearestNeighbor NW", FourCC("innw"), 1, 0, 1, 0, 0, 0, false},
    {"NearestNeighbor NE", FourCC("inne"), 0, 1, 1, 0, 0, 0, false},
    {"NearestNeighbor SW", FourCC("insw"), 1, 0, 0, 1, 0, 0, false},
    {"NearestNeighbor SE", FourCC("inse"), 0, 1, 0, 1, 0, 0, false},
    {"Bilinear", FourCC("ibil"), 1, 1, 1, 1, 0, 0, false},
    {"Smooth Hue Transition", FourCC("isht"), 2, 2, 2, 2, 1, 1, true},
    {"Smooth Hue Transition Logarithmic", FourCC("ishl"), 2, 2, 2, 2, 1, 1, true},
    {"Edge Sensing I", FourCC("ies1"), 2, 2, 2, 2, 1, 1, true},
    {"Edge Sensing II", FourCC("ies2"), 3, 3, 3, 3, 2, 2, true},
    {"Color Correction I", FourCC("icc1"), 3, 3, 3, 3, 2, 2, true},
    {"Pixel Grouping", FourCC("ipix"), 4, 4, 4, 4, 2, 2, true},
    {"Variable Number of Gradients", FourCC("ivng"), 2, 2, 2, 2, 0, 0, false},
    {"Variable Number of Gradients (T.Vandro)", FourCC("ivnt"), 2, 2, 2, 2, 0, 0, false},
    {"Variable Number of Gradients (QV)", FourCC("ivnq"), 2, 2, 2, 2, 0, 0, false},
};

}  // namespace

#define TESSARO_DEFINE_INTERPOLATION(Class, N)                                  \
  int Class::Number() const { return N; }                                       \
  const char* Class::Name() const { return kMethods[N].name; }                  \
  std::uint32_t Class::Code() const { return kMethods[N].code; }                \
  int Class::BorderLeft() const { return kMethods[N].left; }                    \
  int Class::BorderRight() const { return kMethods[N].right; }                  \
  int Class::BorderTop() const { return kMethods[N].top; }                      \
  int Class::BorderBottom() const { return kMethods[N].bottom; }                \
  int Class::PrePassBorderLeft() const { return kMethods[N].preLeft; }          \
  int Class::PrePassBorderRight() const { return kMethods[N].preRight; }        \
  bool Class::HasPrePass() const { return kMethods[N].prePass; }

TESSARO_DEFINE_INTERPOLATION(InterpolationNone, 0)
TESSARO_DEFINE_INTERPOLATION(InterpolationGray, 1)
TESSARO_DEFINE_INTERPOLATION(InterpolationHalf, 2)
TESSARO_DEFINE_INTERPOLATION(InterpolationNearestNeighbourNW, 3)
TESSARO_DEFINE_INTERPOLATION(InterpolationNearestNeighbourNE, 4)
TESSARO_DEFINE_INTERPOLATION(InterpolationNearestNeighbourSW, 5)
TESSARO_DEFINE_INTERPOLATION(InterpolationNearestNeighbourSE, 6)
TESSARO_DEFINE_INTERPOLATION(InterpolationBilinear, 7)
TESSARO_DEFINE_INTERPOLATION(InterpolationSmoothHueTransition, 8)
TESSARO_DEFINE_INTERPOLATION(InterpolationSmoothHueTransitionLogarithmic, 9)
TESSARO_DEFINE_INTERPOLATION(InterpolationEdgeSensing1, 10)
TESSARO_DEFINE_INTERPOLATION(InterpolationEdgeSensing2, 11)
TESSARO_DEFINE_INTERPOLATION(InterpolationColorCorrection1, 12)
TESSARO_DEFINE_INTERPOLATION(InterpolationPixelGrouping, 13)
TESSARO_DEFINE_INTERPOLATION(InterpolationVariableNumberOfGradients, 14)
TESSARO_DEFINE_INTERPOLATION(InterpolationVariableNumberOfGradientsTVandro, 15)
TESSARO_DEFINE_INTERPOLATION(InterpolationVariableNumberOfGradientsQV, 16)
#undef TESSARO_DEFINE_INTERPOLATION

std::unique_ptr<CInterpolation> MakeInterpolation(int method) {
  switch (method) {
    case 0: return std::make_unique<InterpolationNone>();
    case 1: return std::make_unique<InterpolationGray>();
    case 2: return std::make_unique<InterpolationHalf>();
    case 3: return std::make_unique<InterpolationNearestNeighbourNW>();
    case 4: return std::make_unique<InterpolationNearestNeighbourNE>();
    case 5: return std::make_unique<InterpolationNearestNeighbourSW>();
    case 6: return std::make_unique<InterpolationNearestNeighbourSE>();
    case 7: return std::make_unique<InterpolationBilinear>();
    case 8: return std::make_unique<InterpolationSmoothHueTransition>();
    case 9: return std::make_unique<InterpolationSmoothHueTransitionLogarithmic>();
    case 10: return std::make_unique<InterpolationEdgeSensing1>();
    case 11: return std::make_unique<InterpolationEdgeSensing2>();
    case 12: return std::make_unique<InterpolationColorCorrection1>();
    case 13: return std::make_unique<InterpolationPixelGrouping>();
    case 14: return std::make_unique<InterpolationVariableNumberOfGradients>();
    case 15: return std::make_unique<InterpolationVariableNumberOfGradientsTVandro>();
    case 16: return std::make_unique<InterpolationVariableNumberOfGradientsQV>();
    default: return nullptr;
  }
}

const CInterpolation* InterpolationFor(int method) {
  static const struct Table {
    std::unique_ptr<CInterpolation> m[kMethodCount];
    Table() {
      for (int i = 0; i < kMethodCount; ++i) m[i] = MakeInterpolation(i);
    }
  } table;
  return method >= 0 && method < kMethodCount ? table.m[method].get() : nullptr;
}

ReadWindow ComputeReadWindow(int method, bool extraSize, std::uint32_t w, std::uint32_t h) {
  ReadWindow win;
  const CInterpolation* m = InterpolationFor(method);
  if (!m) return win;
  win.divisor = method == 2 ? 2 : 1;
  if (extraSize) {
    win.left = m->BorderLeft();
    win.right = m->BorderRight();
    win.top = m->BorderTop();
    win.bottom = m->BorderBottom();
  } else {
    const int cut = method == 2 ? 2 : 4;
    win.left = win.right = win.top = win.bottom = cut;
  }
  win.prePassLeft = m->PrePassBorderLeft();
  win.prePassRight = m->PrePassBorderRight();
  win.width = static_cast<int>(w / win.divisor) - win.left - win.right;
  win.height = static_cast<int>(h / win.divisor) - win.top - win.bottom;
  return win;
}

// --- The row routine

bool Demosaicer::Start(const std::uint16_t* plane, std::uint32_t w, std::uint32_t h, BayerOrder order, int method,
                       bool extraSize, std::string* error) {
  plane_ = nullptr;
  next_ = 0;
  const auto fail = [error](const char* why) {
    if (error) *error = why;
    return false;
  };
  if (!InterpolationFor(method)) return fail("unknown demosaic method");
  if (!plane || w > (1u << 20) || h > (1u << 20)) return fail("no usable raw plane");
  win_ = ComputeReadWindow(method, extraSize, w, h);
  if (win_.Empty()) return fail("the raw plane is too small for the demosaic method");
  plane_ = plane;
  w_ = static_cast<int>(w);
  h_ = static_cast<int>(h);
  order_ = order & 3;
  method_ = method;
  if (InterpolationFor(method)->HasPrePass()) {
    ringStore_.assign(std::size_t{3} * w, 0);
    for (int i = 0; i < 3; ++i) ring_[i] = ringStore_.data() + std::size_t{w} * i;
    GreenRow(win_.top - 1, ring_[1]);
    GreenRow(win_.top, ring_[2]);
  }
  if (method == 9 || method == 10) {
    ln_.resize(4096);
    ln_[0] = 0;
    for (int v = 1; v < 4096; ++v) ln_[v] = std::log(static_cast<double>(v));
  }
  return true;
}

void Demosaicer::RotateRing() {
  std::uint16_t* oldest = ring_[0];
  ring_[0] = ring_[1];
  ring_[1] = ring_[2];
  ring_[2] = oldest;
}

void Demosaicer::GreenRow(int y, std::uint16_t* out) const {
  demosaic::GreenPrePass(plane_, w_, y, order_, method_, win_.prePassLeft, w_ - win_.prePassRight, out);
}

bool Demosaicer::NextRow(std::uint16_t* rgb) {
  if (!plane_ || next_ >= win_.height) return false;
  const int y = win_.top + next_;
  const demosaic::Rows rows{plane_, w_, h_, order_};
  if (ring_[0] && InterpolationFor(method_)->HasPrePass()) {
    RotateRing();
    GreenRow(y + 1, ring_[2]);
  }
  const demosaic::Ring ring{ring_[0], ring_[1], ring_[2]};
  demosaic::Row(rows, method_, y, win_.left, win_.width, ring, ln_.empty() ? nullptr : ln_.data(), rgb);
  ++next_;
  return true;
}

}  // namespace tessaro
