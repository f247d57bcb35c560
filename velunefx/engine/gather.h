// Row gather kernels of the bokeh engine (internal).
//
// For each pixel of a mask run the window sums (weight, R, G, B) are computed afresh at
// the run's first pixel and then carried: moving the window one column right changes the
// pattern value under a source pixel only where the quantised pattern row changes level,
// so the step adds P(source) * (new level - old level) for those few positions.
//
// The plain grey form and the SIMD grey form must give bit-identical sums, so both follow
// one summation order: per step, term i goes to partial sum i % 4, and the step is
// (p0 + p1) + (p2 + p3) in float; fresh sums add one float partial per pattern row; the
// running sums are doubles, so long rows do not drift.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velune::detail {

// Term of the plain forms: source pixel (4 x uint16 values) at the change's column for
// pixel 0, and the Diff_Photon row of the change's level difference.
struct PlainTerm {
  const uint16_t* src;
  const float* diff_row;
};

// Term of the SIMD form: the level difference broadcast, and the photon pixel (4 floats).
struct alignas(16) SimdTerm {
  float delta[4];
  const float* src;
};

// A pattern row that is not all zero, with the source row it lies over (pixel 0 of that
// row: uint16 values for the plain forms, photon floats for the SIMD form).
struct FreshRow {
  const uint8_t* levels;
  int32_t first;
  int32_t last;
  const void* src;
};

struct RowJob {
  int32_t width = 0;
  int32_t radius = 0;
  const uint8_t* mask = nullptr;
  float* acc = nullptr;  // 4 floats a pixel
  const FreshRow* fresh[3] = {nullptr, nullptr, nullptr};
  int32_t fresh_count[3] = {0, 0, 0};
  const void* terms[3] = {nullptr, nullptr, nullptr};
  int32_t term_count[3] = {0, 0, 0};
  const float* const* level_rows = nullptr;  // plain forms: Diff_Photon row of level q
  // Normalisation of the sums (weight, R, G, B): the reciprocal of the total of the plane
  // each one gathers with, so a fully covered pixel gathers the weight of one pixel and a
  // point of light spreads exactly its own light.
  double scale[4] = {1.0, 1.0, 1.0, 1.0};
  // SIMD form: steps of pixel pairs in 8-float registers (cpu_has_wide_simd()).
  bool wide = false;
};

// Adds one pixel's normalised sums to its accumulator cell; the mask dims the colour, not
// the weight.
inline void add_sums(float* cell, const double sums[4], const double scale[4], uint8_t mask) {
  const double w = sums[0] * scale[0];
  const double r = sums[1] * scale[1];
  const double g = sums[2] * scale[2];
  const double b = sums[3] * scale[3];
  if (mask == 255) {
    cell[0] += static_cast<float>(w);
    cell[1] += static_cast<float>(r);
    cell[2] += static_cast<float>(g);
    cell[3] += static_cast<float>(b);
    return;
  }
  const double k = mask / 255.0;
  cell[0] += static_cast<float>(w);
  cell[1] += static_cast<float>(r * k);
  cell[2] += static_cast<float>(g * k);
  cell[3] += static_cast<float>(b * k);
}

void gather_row_plain_grey(const RowJob& job);
void gather_row_plain_colour(const RowJob& job);
// Only called when cpu_has_simd() says so.
void gather_row_simd_grey(const RowJob& job);

}  // namespace velune::detail
