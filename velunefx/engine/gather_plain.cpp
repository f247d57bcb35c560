#include "engine/gather.h"

namespace velune::detail {
namespace {

// Channels C0..C1 of one source pixel, looked up in a Diff_Photon row.
template <int C0, int C1>
inline void add_term(float* partial, const uint16_t* px, const float* row) {
  for (int c = C0; c <= C1; ++c) {
    partial[c] += row[px[c]];
  }
}

// One carried step for the channels C0..C1 fed by one plane's term list.
template <int C0, int C1>
void step_sums(const PlainTerm* terms, int32_t count, std::ptrdiff_t base, double* sums) {
  float p0[4] = {}, p1[4] = {}, p2[4] = {}, p3[4] = {};
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    add_term<C0, C1>(p0, terms[i].src + base, terms[i].diff_row);
    add_term<C0, C1>(p1, terms[i + 1].src + base, terms[i + 1].diff_row);
    add_term<C0, C1>(p2, terms[i + 2].src + base, terms[i + 2].diff_row);
    add_term<C0, C1>(p3, terms[i + 3].src + base, terms[i + 3].diff_row);
  }
  if (i < count) {
    add_term<C0, C1>(p0, terms[i].src + base, terms[i].diff_row);
    ++i;
  }
  if (i < count) {
    add_term<C0, C1>(p1, terms[i].src + base, terms[i].diff_row);
    ++i;
  }
  if (i < count) {
    add_term<C0, C1>(p2, terms[i].src + base, terms[i].diff_row);
  }
  for (int c = C0; c <= C1; ++c) {
    const float step = (p0[c] + p1[c]) + (p2[c] + p3[c]);
    sums[c] += static_cast<double>(step);
  }
}

// Fresh window sums for the channels C0..C1 over one plane's non-zero rows.
template <int C0, int C1>
void fresh_sums(const FreshRow* rows, int32_t count, const float* const* level_rows,
                std::ptrdiff_t base, double* sums) {
  for (int32_t f = 0; f < count; ++f) {
    const FreshRow& row = rows[f];
    const uint16_t* src = static_cast<const uint16_t*>(row.src) + base;
    float partial[4] = {};
    for (int32_t u = row.first; u <= row.last; ++u) {
      const uint8_t q = row.levels[u];
      if (q != 0) {
        add_term<C0, C1>(partial, src + 4 * u, level_rows[q]);
      }
    }
    for (int c = C0; c <= C1; ++c) {
      sums[c] += static_cast<double>(partial[c]);
    }
  }
}

template <bool Grey>
void gather_row(const RowJob& job) {
  const auto* terms0 = static_cast<const PlainTerm*>(job.terms[0]);
  const auto* terms1 = static_cast<const PlainTerm*>(job.terms[1]);
  const auto* terms2 = static_cast<const PlainTerm*>(job.terms[2]);
  int32_t x = 0;
  while (x < job.width) {
    if (job.mask[x] == 0) {
      ++x;
      continue;
    }
    double sums[4] = {0.0, 0.0, 0.0, 0.0};
    const std::ptrdiff_t window = 4 * static_cast<std::ptrdiff_t>(x - job.radius);
    if (Grey) {
      fresh_sums<0, 3>(job.fresh[0], job.fresh_count[0], job.level_rows, window, sums);
    } else {
      fresh_sums<0, 1>(job.fresh[0], job.fresh_count[0], job.level_rows, window, sums);
      fresh_sums<2, 2>(job.fresh[1], job.fresh_count[1], job.level_rows, window, sums);
      fresh_sums<3, 3>(job.fresh[2], job.fresh_count[2], job.level_rows, window, sums);
    }
    add_sums(job.acc + 4 * static_cast<std::ptrdiff_t>(x), sums, job.scale, job.mask[x]);
    for (++x; x < job.width && job.mask[x] != 0; ++x) {
      const std::ptrdiff_t base = 4 * static_cast<std::ptrdiff_t>(x - 1);
      if (Grey) {
        step_sums<0, 3>(terms0, job.term_count[0], base, sums);
      } else {
        step_sums<0, 1>(terms0, job.term_count[0], base, sums);
        step_sums<2, 2>(terms1, job.term_count[1], base, sums);
        step_sums<3, 3>(terms2, job.term_count[2], base, sums);
      }
      add_sums(job.acc + 4 * static_cast<std::ptrdiff_t>(x), sums, job.scale, job.mask[x]);
    }
  }
}

}  // namespace

void gather_row_plain_grey(const RowJob& job) { gather_row<true>(job); }

void gather_row_plain_colour(const RowJob& job) { gather_row<false>(job); }

}  // namespace velune::detail
