// SIMD form of the grey gather: the four sums (weight, R, G, B) of a pixel ride in one
// SSE2 register, so one multiply-add serves all four channels of a term. It follows the
// plain grey form's summation order exactly (see gather.h). Built with a target attribute
// so 32-bit builds need no SSE2 at compile time; cpu_has_simd() guards the call.
#include "engine/bokeh_engine.h"
#include "engine/gather.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VELUNE_SIMD_X86 1
#define VELUNE_TARGET_SSE2 __attribute__((target("sse2")))
// AVX without FMA: a fused multiply-add would round differently from the SSE2 and plain forms.
#define VELUNE_TARGET_AVX __attribute__((target("avx")))
#endif

namespace velune {

#if defined(VELUNE_SIMD_X86)

bool cpu_has_simd() {
#if defined(__x86_64__)
  return true;  // SSE2 is part of the x86-64 baseline
#else
  __builtin_cpu_init();
  return __builtin_cpu_supports("sse2") != 0;
#endif
}

bool cpu_has_wide_simd() {
#if defined(_WIN32)
  // GCC for Windows cannot give 32-byte aligned stack slots, and spilled AVX registers
  // would fault; the 4-float form gives the same sums there.
  return false;
#else
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx") != 0;
#endif
}

namespace detail {
namespace {

VELUNE_TARGET_SSE2 inline __m128 term(const SimdTerm& t, std::ptrdiff_t base) {
  return _mm_mul_ps(_mm_load_ps(t.src + base), _mm_load_ps(t.delta));
}

VELUNE_TARGET_SSE2 inline void add_step(__m128d& lo, __m128d& hi, __m128 step) {
  lo = _mm_add_pd(lo, _mm_cvtps_pd(step));
  hi = _mm_add_pd(hi, _mm_cvtps_pd(_mm_movehl_ps(step, step)));
}

VELUNE_TARGET_SSE2 void fresh(const RowJob& job, std::ptrdiff_t window, __m128d& lo, __m128d& hi) {
  for (int32_t f = 0; f < job.fresh_count[0]; ++f) {
    const FreshRow& row = job.fresh[0][f];
    const float* src = static_cast<const float*>(row.src) + window;
    __m128 partial = _mm_setzero_ps();
    for (int32_t u = row.first; u <= row.last; ++u) {
      const uint8_t q = row.levels[u];
      if (q != 0) {
        partial = _mm_add_ps(partial, _mm_mul_ps(_mm_load_ps(src + 4 * u),
                                                 _mm_set1_ps(static_cast<float>(q))));
      }
    }
    add_step(lo, hi, partial);
  }
}

VELUNE_TARGET_SSE2 void step(const SimdTerm* terms, int32_t count, std::ptrdiff_t base,
                             __m128d& lo, __m128d& hi) {
  __m128 p0 = _mm_setzero_ps();
  __m128 p1 = _mm_setzero_ps();
  __m128 p2 = _mm_setzero_ps();
  __m128 p3 = _mm_setzero_ps();
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    p0 = _mm_add_ps(p0, term(terms[i], base));
    p1 = _mm_add_ps(p1, term(terms[i + 1], base));
    p2 = _mm_add_ps(p2, term(terms[i + 2], base));
    p3 = _mm_add_ps(p3, term(terms[i + 3], base));
  }
  if (i < count) {
    p0 = _mm_add_ps(p0, term(terms[i], base));
    ++i;
  }
  if (i < count) {
    p1 = _mm_add_ps(p1, term(terms[i], base));
    ++i;
  }
  if (i < count) {
    p2 = _mm_add_ps(p2, term(terms[i], base));
  }
  add_step(lo, hi, _mm_add_ps(_mm_add_ps(p0, p1), _mm_add_ps(p2, p3)));
}

// Steps of two neighbouring pixels at once: their photon pixels lie side by side, so one
// 8-float load carries both, and each lane does exactly what step() does for its pixel (the
// same terms in the same partial sums, multiplied and added in single precision).
VELUNE_TARGET_AVX inline __m256 wide_term(const SimdTerm& t, std::ptrdiff_t base) {
  return _mm256_mul_ps(_mm256_loadu_ps(t.src + base), _mm256_broadcast_ps(reinterpret_cast<const __m128*>(t.delta)));
}

VELUNE_TARGET_AVX void wide_steps(const SimdTerm* terms, int32_t count, std::ptrdiff_t base, __m128& first,
                                  __m128& second) {
  __m256 p0 = _mm256_setzero_ps();
  __m256 p1 = _mm256_setzero_ps();
  __m256 p2 = _mm256_setzero_ps();
  __m256 p3 = _mm256_setzero_ps();
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    p0 = _mm256_add_ps(p0, wide_term(terms[i], base));
    p1 = _mm256_add_ps(p1, wide_term(terms[i + 1], base));
    p2 = _mm256_add_ps(p2, wide_term(terms[i + 2], base));
    p3 = _mm256_add_ps(p3, wide_term(terms[i + 3], base));
  }
  if (i < count) {
    p0 = _mm256_add_ps(p0, wide_term(terms[i], base));
    ++i;
  }
  if (i < count) {
    p1 = _mm256_add_ps(p1, wide_term(terms[i], base));
    ++i;
  }
  if (i < count) {
    p2 = _mm256_add_ps(p2, wide_term(terms[i], base));
  }
  const __m256 both = _mm256_add_ps(_mm256_add_ps(p0, p1), _mm256_add_ps(p2, p3));
  first = _mm256_castps256_ps128(both);
  second = _mm256_extractf128_ps(both, 1);
}

// The carried row of the SSE2 form, with the steps of pixel pairs computed by wide_steps().
// The steps do not depend on the running sums, so only their addition stays in order.
VELUNE_TARGET_AVX void wide_row(const RowJob& job);

// add_sums() in SSE2, rounding alike: each sum is normalised (and its colour times mask / 255
// when dimmed), then
// rounded to float, then added to the cell in float.
VELUNE_TARGET_SSE2 void store(const RowJob& job, int32_t x, __m128d lo, __m128d hi) {
  float* cell = job.acc + 4 * static_cast<std::ptrdiff_t>(x);
  const uint8_t mask = job.mask[x];
  lo = _mm_mul_pd(lo, _mm_set_pd(job.scale[1], job.scale[0]));
  hi = _mm_mul_pd(hi, _mm_set_pd(job.scale[3], job.scale[2]));
  if (mask != 255) {
    const double k = mask / 255.0;
    lo = _mm_mul_pd(lo, _mm_set_pd(k, 1.0));
    hi = _mm_mul_pd(hi, _mm_set1_pd(k));
  }
  const __m128 sums = _mm_movelh_ps(_mm_cvtpd_ps(lo), _mm_cvtpd_ps(hi));
  _mm_storeu_ps(cell, _mm_add_ps(_mm_loadu_ps(cell), sums));
}

}  // namespace

VELUNE_TARGET_SSE2 void gather_row_simd_grey(const RowJob& job) {
  if (job.wide) {
    wide_row(job);
    return;
  }
  const auto* terms = static_cast<const SimdTerm*>(job.terms[0]);
  int32_t x = 0;
  while (x < job.width) {
    if (job.mask[x] == 0) {
      ++x;
      continue;
    }
    __m128d lo = _mm_setzero_pd();
    __m128d hi = _mm_setzero_pd();
    fresh(job, 4 * static_cast<std::ptrdiff_t>(x - job.radius), lo, hi);
    store(job, x, lo, hi);
    for (++x; x < job.width && job.mask[x] != 0; ++x) {
      step(terms, job.term_count[0], 4 * static_cast<std::ptrdiff_t>(x - 1), lo, hi);
      store(job, x, lo, hi);
    }
  }
}

namespace {
VELUNE_TARGET_AVX void wide_row(const RowJob& job) {
  const auto* terms = static_cast<const SimdTerm*>(job.terms[0]);
  int32_t x = 0;
  while (x < job.width) {
    if (job.mask[x] == 0) {
      ++x;
      continue;
    }
    int32_t end = x + 1;
    while (end < job.width && job.mask[end] != 0) ++end;
    __m128d lo = _mm_setzero_pd();
    __m128d hi = _mm_setzero_pd();
    fresh(job, 4 * static_cast<std::ptrdiff_t>(x - job.radius), lo, hi);
    store(job, x, lo, hi);
    for (++x; x + 1 < end; x += 2) {
      __m128 first;
      __m128 second;
      wide_steps(terms, job.term_count[0], 4 * static_cast<std::ptrdiff_t>(x - 1), first, second);
      add_step(lo, hi, first);
      store(job, x, lo, hi);
      add_step(lo, hi, second);
      store(job, x + 1, lo, hi);
    }
    if (x < end) {
      step(terms, job.term_count[0], 4 * static_cast<std::ptrdiff_t>(x - 1), lo, hi);
      store(job, x, lo, hi);
      ++x;
    }
  }
}
}  // namespace

}  // namespace detail

#else  // no SIMD form on this architecture

bool cpu_has_simd() { return false; }
bool cpu_has_wide_simd() { return false; }

namespace detail {
// Never reached: cpu_has_simd() is false, so the engine keeps to the plain forms.
void gather_row_simd_grey(const RowJob&) {}
}  // namespace detail

#endif

}  // namespace velune
