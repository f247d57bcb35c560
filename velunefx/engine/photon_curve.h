// Film-like characteristic curve that maps 8-bit pixel values to linear light ("photons")
// and back, plus the small size and quantisation rules the engine and the renderer share.
#pragma once

#include <cstdint>

namespace velune {

// Popup values of "Quality" and "Preview Quality".
enum Quality : int32_t {
  kQualityAutoSpeed = 1,
  kQualityAutoQuality = 2,
  kQualityLow = 3,
  kQualityNormal = 4,
  kQualityHigh = 5,
};

// F(v) = 20 * 10^(tan((v - 135) / 150) * h / 0.65 - 1.4)
double curve_F(double v, double hardness);
// E(v) = F(v) - F(0): zero light for value 0.
double curve_E(double v, double hardness);
// Inverse of E. Zero, negative and NaN light give 0, so rounding noise in the
// accumulated sums can never turn into a NaN pixel.
double curve_E_inv(double light, double hardness);
// The same with F(0) given (curve_F(0, hardness)), for loops over many values.
double curve_E_inv(double light, double hardness, double f0);

// The renderer's last step for a colour channel: E-1(light) + 0.5, truncated and clamped
// to [0, 255]. A table of the light values where the byte changes answers most values with
// a binary search; a value within a hair of one of them goes through the curve itself, so
// every answer is the direct computation's.
class LightToByte {
 public:
  explicit LightToByte(double hardness);
  uint8_t operator()(double light) const;
  // The direct computation.
  static uint8_t direct(double light, double hardness, double f0);

 private:
  double hardness_;
  double f0_;
  double threshold_[256] = {};  // [k], k >= 1: the light where the byte becomes k
  // Where the search starts, by the light's top bits (exponent and 7 mantissa bits): the
  // count of thresholds at or below the smallest light with those bits.
  static constexpr int32_t kBuckets = 8192;
  static constexpr int kShift = 45;
  uint64_t first_bucket_ = 0;
  int32_t bucket_count_ = 0;  // 0: the range is too wide, search the whole table
  uint8_t start_[kBuckets] = {};
};

// Photon value of one channel level: brightness * E(v), as the engine tabulates it.
float photon_value(int32_t v, double hardness, double brightness);
// The weight a fully covered pixel gathers: P(127), the alpha marker's photon value.
float full_coverage_weight(double hardness, double brightness);

// Odd gather diameter for a blur diameter d: ceil(d), plus one when even (1 for d <= 1).
int32_t engine_diameter(double d);
// Square size the renderer dilates a slice's mask by; micro patterns of small blurs
// spread wider than the plain engine diameter.
int32_t mask_size(double d, bool micro);
// Whether the micro pattern replaces the resampled pattern for this blur.
bool uses_micro_pattern(double d, bool micro);

// Quantised pattern byte for a resampled value, by Quality and blur diameter d.
uint8_t quantise_level(float value, int32_t quality, double d);

}  // namespace velune
