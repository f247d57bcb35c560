#include "engine/photon_curve.h"

#include <cmath>
#include <cstring>

namespace velune {

double curve_F(double v, double hardness) {
  return 20.0 * std::pow(10.0, std::tan((v - 135.0) / 150.0) * hardness / 0.65 - 1.4);
}

double curve_E(double v, double hardness) {
  return curve_F(v, hardness) - curve_F(0.0, hardness);
}

double curve_E_inv(double light, double hardness) { return curve_E_inv(light, hardness, curve_F(0.0, hardness)); }

double curve_E_inv(double light, double hardness, double f0) {
  if (!(light > 0.0)) {
    return 0.0;
  }
  const double x = (std::log10((light + f0) * 0.05) + 1.4) * 0.65 / hardness;
  return std::atan(x) * 150.0 + 135.0;
}

namespace {
uint64_t bits_of(double v) {
  uint64_t b = 0;
  std::memcpy(&b, &v, sizeof b);
  return b;
}
double light_of(uint64_t b) {
  double v = 0;
  std::memcpy(&v, &b, sizeof v);
  return v;
}
}  // namespace

uint8_t LightToByte::direct(double light, double hardness, double f0) {
  const double r = std::floor(curve_E_inv(light, hardness, f0) + 0.5);
  return static_cast<uint8_t>(r < 0.0 ? 0.0 : (r > 255.0 ? 255.0 : r));
}

LightToByte::LightToByte(double hardness) : hardness_(hardness), f0_(curve_F(0.0, hardness)) {
  for (int32_t k = 1; k < 256; ++k) {
    threshold_[k] = curve_E(k - 0.5, hardness);
  }
  const uint64_t lo = bits_of(threshold_[1]) >> kShift;
  const uint64_t hi = bits_of(threshold_[255]) >> kShift;
  if (threshold_[1] > 0.0 && hi >= lo && hi - lo < static_cast<uint64_t>(kBuckets)) {
    first_bucket_ = lo;
    bucket_count_ = static_cast<int32_t>(hi - lo + 1);
    int32_t k = 0;
    for (int32_t b = 0; b < bucket_count_; ++b) {
      const double smallest = light_of((lo + static_cast<uint64_t>(b)) << kShift);
      while (k < 255 && threshold_[k + 1] <= smallest) ++k;
      start_[b] = static_cast<uint8_t>(k);
    }
  }
}

uint8_t LightToByte::operator()(double light) const {
  if (!(light > 0.0)) {
    return 0;
  }
  // k = how many thresholds lie at or below the light.
  int32_t lo = 0;  // threshold_[lo] <= light (threshold_[0] stands for 0)
  int32_t hi = 256;
  if (bucket_count_ > 0) {
    const uint64_t key = bits_of(light) >> kShift;
    if (key < first_bucket_) {
      hi = 1;
    } else if (key - first_bucket_ >= static_cast<uint64_t>(bucket_count_)) {
      lo = 255;
    } else {
      lo = start_[key - first_bucket_];
      while (lo < 255 && threshold_[lo + 1] <= light) ++lo;
      hi = lo + 1;
    }
  }
  while (hi - lo > 1) {
    const int32_t mid = (lo + hi) / 2;
    if (threshold_[mid] <= light) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  // The table and the curve agree to about 1e-15; far closer than 1e-9 to a threshold the
  // rounding could go either way, so the curve decides.
  constexpr double kHair = 1e-9;
  if ((lo >= 1 && light - threshold_[lo] <= threshold_[lo] * kHair) ||
      (hi <= 255 && threshold_[hi] - light <= threshold_[hi] * kHair)) {
    return direct(light, hardness_, f0_);
  }
  return static_cast<uint8_t>(lo);
}

float photon_value(int32_t v, double hardness, double brightness) {
  return static_cast<float>(brightness * curve_F(v, hardness) - brightness * curve_F(0.0, hardness));
}

float full_coverage_weight(double hardness, double brightness) {
  return photon_value(127, hardness, brightness);
}

int32_t engine_diameter(double d) {
  if (!(d > 1.0)) {
    return 1;
  }
  auto size = static_cast<int32_t>(std::ceil(d));
  return (size % 2 == 0) ? size + 1 : size;
}

int32_t mask_size(double d, bool micro) {
  if (micro && d <= 3.0) {
    const int32_t size = 2 * static_cast<int32_t>(d + 2.0);
    return (size % 2 == 0) ? size + 1 : size;
  }
  return engine_diameter(d);
}

bool uses_micro_pattern(double d, bool micro) {
  return micro && d > 1.0 && d <= 3.0;
}

namespace {

// Snaps the outer ends of the range to 0 and 255 and keeps the middle.
double snap(double t, double low, double high) {
  if (t > high) {
    return 255.0;
  }
  if (t < low) {
    return 0.0;
  }
  return t;
}

}  // namespace

uint8_t quantise_level(float value, int32_t quality, double d) {
  double t = static_cast<double>(value) + 0.5;
  enum { kHigh, kNormal, kLow, kFine } rule = kHigh;
  switch (quality) {
    case kQualityNormal:
      rule = kNormal;
      break;
    case kQualityLow:
      rule = kLow;
      break;
    case kQualityAutoQuality:
      rule = d < 10.0 ? kHigh : (d < 50.0 ? kFine : kNormal);
      break;
    case kQualityAutoSpeed:
      rule = d < 10.0 ? kHigh : (d < 50.0 ? kNormal : kLow);
      break;
    default:  // High, and anything unknown keeps the full detail
      rule = kHigh;
      break;
  }
  switch (rule) {
    case kNormal:
      t = snap(t, 64.0, 191.0);
      break;
    case kLow:
      t = t > 127.0 ? 255.0 : 0.0;
      break;
    case kFine:
      t = snap(t, 15.0, 240.0);
      break;
    case kHigh:
      break;
  }
  // The middle band of every rule is already inside [0, 255]; this also catches NaN.
  if (!(t >= 0.0)) {
    return 0;
  }
  if (t >= 255.0) {
    return 255;
  }
  return static_cast<uint8_t>(t);
}

}  // namespace velune
