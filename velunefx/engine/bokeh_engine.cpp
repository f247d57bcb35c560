#include "engine/bokeh_engine.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/gather.h"

namespace velune {
namespace {

constexpr uint16_t kAlphaMarker = (256 - 1) / 2;  // 127
constexpr int32_t kNoFirst = 999999;
constexpr int32_t kNoLast = -999999;
constexpr std::size_t kAlign = 16;

uint64_t align_up(uint64_t bytes) { return (bytes + (kAlign - 1)) & ~static_cast<uint64_t>(kAlign - 1); }

// Carves 16-byte aligned sections out of one engine buffer.
class Carver {
 public:
  explicit Carver(unsigned char* base) : base_(base) {}
  // First pass (base == nullptr) only measures.
  template <typename T>
  T* take(uint64_t count) {
    T* at = base_ ? reinterpret_cast<T*>(base_ + used_) : nullptr;
    used_ = align_up(used_ + count * sizeof(T));
    return at;
  }
  uint64_t used() const { return used_; }

 private:
  unsigned char* base_;
  uint64_t used_ = 0;
};

}  // namespace

BokehEngine::BokehEngine() {
  for (int32_t& row : diff_row_) {
    row = -1;
  }
}

BokehEngine::~BokehEngine() { release_buffers(); }

void BokehEngine::set_hooks(const EngineHooks& hooks) { hooks_ = hooks; }

void BokehEngine::clear_hooks() { hooks_ = EngineHooks{}; }

std::string BokehEngine::report() const { return std::string(kEngineMessagePrefix) + error_message_; }

void BokehEngine::clear_error() {
  error_code_ = kEngineOk;
  error_message_ = "";
}

bool BokehEngine::fail(int32_t code, const char* message) {
  error_code_ = code;
  error_message_ = message;
  return false;
}

template <typename Layout>
bool BokehEngine::acquire_carved(Buffer& buffer, Layout&& layout, int32_t code, const char* message) {
  Carver measure(nullptr);
  layout(measure);
  if (!acquire(buffer, measure.used(), code, message)) {
    return false;
  }
  Carver carve(buffer.data);
  layout(carve);
  return true;
}

bool BokehEngine::acquire(Buffer& buffer, uint64_t bytes, int32_t code, const char* message) {
  const uint64_t total = bytes + kAlign;
  if (bytes > UINT64_MAX - kAlign || total > static_cast<uint64_t>(SIZE_MAX)) {
    return fail(code, message);
  }
  const auto size = static_cast<std::size_t>(total);
  const bool hooked = hooks_.allocate != nullptr && hooks_.release != nullptr;
  void* raw = hooked ? hooks_.allocate(hooks_.user, size) : std::malloc(size);
  if (raw == nullptr) {
    return fail(code, message);
  }
  buffer.raw = raw;
  buffer.release = hooked ? hooks_.release : nullptr;
  buffer.user = hooks_.user;
  const auto address = reinterpret_cast<std::uintptr_t>(raw);
  buffer.data = static_cast<unsigned char*>(raw) + ((kAlign - address % kAlign) % kAlign);
  return true;
}

void BokehEngine::drop(Buffer& buffer) {
  if (buffer.raw != nullptr) {
    if (buffer.release != nullptr) {
      buffer.release(buffer.user, buffer.raw);
    } else {
      std::free(buffer.raw);
    }
  }
  buffer = Buffer{};
}

bool BokehEngine::holds_buffers() const {
  return src_data_.raw || pattern_.raw || map_.raw || new_pattern_.raw || diff_photon_.raw || work_.raw;
}

void BokehEngine::release_buffers() {
  drop(src_data_);
  drop(pattern_);
  drop(map_);
  drop(new_pattern_);
  drop(diff_photon_);
  drop(work_);
  map_size_ = 0;
  gather_size_ = 0;
  plane_count_ = 0;
  for (int p = 0; p < 3; ++p) {
    planes_[p] = nullptr;
    row_first_[p] = row_last_[p] = change_start_[p] = change_offset_[p] = nullptr;
    change_diff_[p] = nullptr;
  }
  for (int32_t& row : diff_row_) {
    row = -1;
  }
}

// ---------------------------------------------------------------------------------------

int32_t BokehEngine::run(const RunParams& params) {
  clear_error();
  used_simd_ = false;
  used_wide_simd_ = false;
  const double d = params.diameter;
  const bool in_focus = !(d > 1.0);
  bool ok = true;
  // The effect asks for at most a few hundred pixels; the bound keeps sizes inside int32.
  if (!std::isfinite(d) || d > 1e6 || params.channel_levels != 256) {
    ok = fail(kErrBadInput, "Unsupported diameter or channel depth at run()");
  }
  const bool micro = uses_micro_pattern(d, params.use_micro);
  const int32_t gather = in_focus ? 1 : mask_size(d, micro);
  const int32_t pad = in_focus ? 0 : gather / 2 + 1;
  ok = ok && pre_process_RGB(params.slice, params.row_counts, pad);
  if (ok && !in_focus) {
    ok = pack_pattern(params.pattern) && resize_pattern(d, engine_diameter(d)) &&
         (!micro || smear_micro_pattern(d)) && new_pattern(params.quality, d);
  }
  ok = ok && make_photon(params.hardness, params.brightness);
  ok = ok && run_pix_loop(params);
  release_buffers();
  return error_code_;
}

// ---------------------------------------------------------------------------------------

bool BokehEngine::pre_process_RGB(const SliceView& slice, const int32_t* row_counts, int32_t pad) {
  if (src_data_.raw != nullptr) {
    return fail(kErrSrcDataHeld, "Src_Data_sh is not NULL before allocation at pre_process_RGB()");
  }
  if (slice.pixels == nullptr || slice.width <= 0 || slice.height <= 0 || pad < 0 ||
      slice.pitch < 4 * static_cast<std::ptrdiff_t>(slice.width)) {
    return fail(kErrBadInput, "Invalid slice at pre_process_RGB()");
  }
  const uint64_t stride = (static_cast<uint64_t>(slice.width) + 2 * static_cast<uint64_t>(pad)) * 4;
  if (!acquire(src_data_, stride * static_cast<uint64_t>(slice.height) * sizeof(uint16_t),
               kErrSrcDataAlloc, "Can not allocate Src_Data_sh at pre_process_RGB()")) {
    return false;
  }
  src_width_ = slice.width;
  src_height_ = slice.height;
  src_pad_ = pad;
  src_stride_ = static_cast<std::ptrdiff_t>(stride);
  auto* base = reinterpret_cast<uint16_t*>(src_data_.data);
  const std::size_t pad_bytes = static_cast<std::size_t>(pad) * 4 * sizeof(uint16_t);
  for (int32_t y = 0; y < slice.height; ++y) {
    uint16_t* row = base + y * src_stride_;
    if (row_counts != nullptr && row_counts[y] == 0) {
      // Nothing of this slice lies in the row: leave it blank, unread.
      std::memset(row, 0, static_cast<std::size_t>(stride) * sizeof(uint16_t));
      continue;
    }
    std::memset(row, 0, pad_bytes);
    std::memset(row + 4 * (pad + slice.width), 0, pad_bytes);
    const uint8_t* in = slice.pixels + y * slice.pitch;
    uint16_t* out = row + 4 * pad;
    for (int32_t x = 0; x < slice.width; ++x, in += 4, out += 4) {
      const bool inside = in[0] != 0;
      out[0] = inside ? kAlphaMarker : 0;
      out[1] = inside ? in[1] : 0;
      out[2] = inside ? in[2] : 0;
      out[3] = inside ? in[3] : 0;
    }
  }
  return true;
}

bool BokehEngine::pack_pattern(const PatternView& pattern) {
  if (pattern.pixels == nullptr || pattern.width <= 0 || pattern.height <= 0 ||
      pattern.pitch < 3 * static_cast<std::ptrdiff_t>(pattern.width)) {
    return fail(kErrBadInput, "Invalid pattern at pack_pattern()");
  }
  drop(pattern_);
  bool grey = true;
  for (int32_t y = 0; y < pattern.height && grey; ++y) {
    const uint8_t* in = pattern.pixels + y * pattern.pitch;
    for (int32_t x = 0; x < pattern.width; ++x, in += 3) {
      if (in[0] != in[1] || in[1] != in[2]) {
        grey = false;
        break;
      }
    }
  }
  const int32_t channels = grey ? 2 : 3;
  const uint64_t pixels = static_cast<uint64_t>(pattern.width) * static_cast<uint64_t>(pattern.height);
  const uint64_t bytes = align_up(pixels * static_cast<uint64_t>(channels)) +
                         2 * static_cast<uint64_t>(pattern.height) * sizeof(int32_t);
  if (!acquire(pattern_, bytes, kErrPatternAlloc, "Can not allocate local Pattern[] in pack_pattern")) {
    return false;
  }
  pattern_width_ = pattern.width;
  pattern_height_ = pattern.height;
  pattern_channels_ = channels;
  pattern_grey_ = grey;
  uint8_t* out = pattern_.data;
  auto* first = reinterpret_cast<int32_t*>(pattern_.data + align_up(pixels * static_cast<uint64_t>(channels)));
  int32_t* last = first + pattern.height;
  for (int32_t y = 0; y < pattern.height; ++y) {
    const uint8_t* in = pattern.pixels + y * pattern.pitch;
    first[y] = kNoFirst;
    last[y] = kNoLast;
    for (int32_t x = 0; x < pattern.width; ++x, in += 3, out += channels) {
      out[0] = in[2];
      out[1] = in[1];
      if (!grey) {
        out[2] = in[0];
      }
      if ((in[0] | in[1] | in[2]) != 0) {
        if (first[y] == kNoFirst) {
          first[y] = x;
        }
        last[y] = x;
      }
    }
  }
  return true;
}

bool BokehEngine::resize_pattern(double d, int32_t size) {
  if (pattern_.raw == nullptr || size < 1 || !(d > 0.0) || !std::isfinite(d)) {
    return fail(kErrBadInput, "Invalid pattern size at resize_pattern()");
  }
  drop(map_);
  const uint64_t cells = static_cast<uint64_t>(size) * static_cast<uint64_t>(size);
  if (!acquire(map_, cells * 3 * sizeof(float), kErrResizeAlloc, "Can not allocate m_mapzp[] at resize_pattern()")) {
    return false;
  }
  map_size_ = size;
  auto* map = reinterpret_cast<float*>(map_.data);
  if (size == 1) {
    map[0] = map[1] = map[2] = 255.0f;
    return true;
  }
  const int32_t nc = pattern_grey_ ? 1 : 3;
  Buffer work;
  if (!acquire(work, cells * static_cast<uint64_t>(nc) * sizeof(double), kErrResizeAlloc,
               "Can not allocate dmapp[] at resize_pattern()")) {
    return false;
  }
  auto* dmapp = reinterpret_cast<double*>(work.data);
  std::memset(dmapp, 0, static_cast<std::size_t>(cells * static_cast<uint64_t>(nc) * sizeof(double)));

  const int32_t pw = pattern_width_;
  const int32_t ph = pattern_height_;
  const int32_t ch = pattern_channels_;
  const double scale = d / pw;
  const double ox = (size - pw * scale) / 2.0;
  const double oy = (size - ph * scale) / 2.0;
  const auto* first = reinterpret_cast<const int32_t*>(
      pattern_.data + align_up(static_cast<uint64_t>(pw) * static_cast<uint64_t>(ph) * static_cast<uint64_t>(ch)));
  const int32_t* last = first + ph;
  // Target pixels a source span [lo, lo + scale) touches, clipped to the map: a pattern
  // taller than wide overhangs the square and its overhang is dropped.
  auto span = [&](double lo, int32_t& t0, int32_t& t1) {
    t0 = static_cast<int32_t>(std::floor(lo));
    t1 = static_cast<int32_t>(std::ceil(lo + scale)) - 1;
    if (t0 < 0) {
      t0 = 0;
    }
    if (t1 > size - 1) {
      t1 = size - 1;
    }
  };
  auto overlap = [&](double lo, int32_t t) {
    const double a = lo > t ? lo : static_cast<double>(t);
    const double b = (lo + scale) < (t + 1.0) ? (lo + scale) : (t + 1.0);
    return b - a;
  };
  for (int32_t y = 0; y < ph; ++y) {
    if (first[y] > last[y]) {
      continue;
    }
    const double y0 = oy + y * scale;
    int32_t ty0 = 0;
    int32_t ty1 = 0;
    span(y0, ty0, ty1);
    const uint8_t* row = pattern_.data + static_cast<std::ptrdiff_t>(y) * pw * ch;
    for (int32_t ty = ty0; ty <= ty1; ++ty) {
      const double wy = overlap(y0, ty);
      if (!(wy > 0.0)) {
        continue;
      }
      double* target_row = dmapp + static_cast<std::ptrdiff_t>(ty) * size * nc;
      for (int32_t x = first[y]; x <= last[y]; ++x) {
        const uint8_t* px = row + static_cast<std::ptrdiff_t>(x) * ch;
        if (nc == 1 ? px[0] == 0 : (px[0] | px[1] | px[2]) == 0) {
          continue;
        }
        const double x0 = ox + x * scale;
        int32_t tx0 = 0;
        int32_t tx1 = 0;
        span(x0, tx0, tx1);
        for (int32_t tx = tx0; tx <= tx1; ++tx) {
          const double wx = overlap(x0, tx);
          if (!(wx > 0.0)) {
            continue;
          }
          const double w = wy * wx;
          double* cell = target_row + static_cast<std::ptrdiff_t>(tx) * nc;
          for (int32_t c = 0; c < nc; ++c) {
            cell[c] += px[c] * w;
          }
        }
      }
    }
  }
  for (uint64_t i = 0; i < cells; ++i) {
    for (int32_t c = 0; c < 3; ++c) {
      map[i * 3 + static_cast<uint64_t>(c)] = static_cast<float>(dmapp[i * static_cast<uint64_t>(nc) + static_cast<uint64_t>(nc == 1 ? 0 : c)]);
    }
  }
  drop(work);
  return true;
}

bool BokehEngine::smear_micro_pattern(double d) {
  if (map_.raw == nullptr || !(d > 0.0) || d > 16.0) {
    return fail(kErrBadInput, "Invalid micro pattern input at smear_micro_pattern()");
  }
  const int32_t l = map_size_;
  const int32_t g = 2 * static_cast<int32_t>(d + 2.0) + 1;
  Buffer micro;
  if (!acquire(micro, static_cast<uint64_t>(g) * static_cast<uint64_t>(g) * 3 * sizeof(float), kErrMicroAlloc,
               "Can not allocate micromapp in smear_micro_pattern()")) {
    return false;
  }
  const auto* src = reinterpret_cast<const float*>(map_.data);
  auto* out = reinterpret_cast<float*>(micro.data);
  const double w = 0.11428571428571428 * d + 0.05;
  const double inv = 1.0 / (2.0 * w * w);
  const double norm = 1.0 / (2.0 * 3.14159265358979323846 * w * w);
  // Both sizes are odd, so the shift is whole and a source pixel centre lands on a map
  // pixel centre: a symmetric source stays symmetric.
  const double shift = (g - l) / 2.0;
  for (int32_t c = 0; c < 3; ++c) {
    float source_max = 0.0f;
    for (int32_t i = 0; i < l * l; ++i) {
      source_max = src[i * 3 + c] > source_max ? src[i * 3 + c] : source_max;
    }
    double map_max = 0.0;
    for (int32_t ty = 0; ty < g; ++ty) {
      for (int32_t tx = 0; tx < g; ++tx) {
        double sum = 0.0;
        for (int32_t y = 0; y < l; ++y) {
          for (int32_t x = 0; x < l; ++x) {
            const float v = src[(y * l + x) * 3 + c];
            if (v != 0.0f) {
              const double dx = tx - (x + shift);
              const double dy = ty - (y + shift);
              sum += static_cast<double>(v) * std::exp(-(dx * dx + dy * dy) * inv) * norm;
            }
          }
        }
        out[(ty * g + tx) * 3 + c] = static_cast<float>(sum);
        map_max = sum > map_max ? sum : map_max;
      }
    }
    if (map_max > 0.0) {
      const double k = static_cast<double>(source_max) / map_max;
      for (int32_t i = 0; i < g * g; ++i) {
        out[i * 3 + c] = static_cast<float>(static_cast<double>(out[i * 3 + c]) * k);
      }
    }
  }
  drop(map_);
  map_ = micro;
  map_size_ = g;
  return true;
}

bool BokehEngine::new_pattern(int32_t quality, double d) {
  if (new_pattern_.raw != nullptr) {
    return fail(kErrNewPatternHeld, "newPattern is not NULL before allocation at new_pattern()");
  }
  if (map_.raw == nullptr) {
    return fail(kErrBadInput, "No resampled pattern at new_pattern()");
  }
  const int32_t size = map_size_;
  const int32_t planes = pattern_grey_ ? 1 : 3;
  const auto* map = reinterpret_cast<const float*>(map_.data);
  // Level of the rotated plane p at row v, column u: the map read backwards.
  auto level = [&](int32_t p, int32_t v, int32_t u) {
    const std::ptrdiff_t at = (static_cast<std::ptrdiff_t>(size - 1 - v) * size + (size - 1 - u)) * 3 + p;
    return quantise_level(map[at], quality, d);
  };
  // Columns 0..size of a row: a change where the level before differs from the level at
  // the column (outside the row counts as level 0, a pixel entering or leaving).
  uint64_t changes[3] = {0, 0, 0};
  for (int32_t p = 0; p < planes; ++p) {
    for (int32_t v = 0; v < size; ++v) {
      uint8_t before = 0;
      for (int32_t u = 0; u <= size; ++u) {
        const uint8_t at = u < size ? level(p, v, u) : 0;
        changes[p] += (at != before) ? 1 : 0;
        before = at;
      }
    }
  }
  auto layout = [&](Carver& carve) {
    for (int32_t p = 0; p < planes; ++p) {
      planes_[p] = carve.take<uint8_t>(static_cast<uint64_t>(size) * static_cast<uint64_t>(size));
      row_first_[p] = carve.take<int32_t>(static_cast<uint64_t>(size));
      row_last_[p] = carve.take<int32_t>(static_cast<uint64_t>(size));
      change_start_[p] = carve.take<int32_t>(static_cast<uint64_t>(size) + 1);
      change_offset_[p] = carve.take<int32_t>(changes[p]);
      change_diff_[p] = carve.take<int16_t>(changes[p]);
    }
  };
  if (!acquire_carved(new_pattern_, layout, kErrNewPatternAlloc, "Can not allocate newPattern at new_pattern()")) {
    return false;
  }
  gather_size_ = size;
  plane_count_ = planes;
  const int32_t radius = size / 2;
  bool seen[256] = {};
  for (bool& used : diff_used_) {
    used = false;
  }
  for (int32_t p = 0; p < planes; ++p) {
    uint64_t total = 0;
    int32_t n = 0;
    for (int32_t v = 0; v < size; ++v) {
      uint8_t* row = planes_[p] + static_cast<std::ptrdiff_t>(v) * size;
      row_first_[p][v] = -1;
      row_last_[p][v] = -999;
      change_start_[p][v] = n;
      uint8_t before = 0;
      for (int32_t u = 0; u <= size; ++u) {
        const uint8_t at = u < size ? level(p, v, u) : 0;
        if (u < size) {
          row[u] = at;
          total += at;
          seen[at] = true;
          if (at != 0) {
            if (row_first_[p][v] < 0) {
              row_first_[p][v] = u;
            }
            row_last_[p][v] = u;
            diff_used_[at + 255] = true;  // fresh sums: level against nothing
          }
        }
        if (at != before) {
          const int diff = before - at;  // new level (window one column on) - old level
          change_offset_[p][n] = u - radius;
          change_diff_[p][n] = static_cast<int16_t>(diff);
          diff_used_[diff + 255] = true;
          ++n;
        }
        before = at;
      }
    }
    change_start_[p][size] = n;
    reciprocal_exact_[p] = total > 0 ? 1.0 / static_cast<double>(total) : 0.0;
    reciprocal_[p] = static_cast<float>(reciprocal_exact_[p]);
  }
  level_count_ = 0;
  for (bool s : seen) {
    level_count_ += s ? 1 : 0;
  }
  return true;
}

bool BokehEngine::make_photon(double hardness, double brightness) {
  if (diff_photon_.raw != nullptr) {
    return fail(kErrDiffPhotonHeld, "Diff_Photon is not NULL before allocation at make_photon()");
  }
  if (!photon_valid_ || hardness != photon_hardness_ || brightness != photon_brightness_) {
    for (int32_t k = 0; k < 256; ++k) {
      photon_[k] = photon_value(k, hardness, brightness);
    }
    photon_hardness_ = hardness;
    photon_brightness_ = brightness;
    photon_valid_ = true;
  }
  full_weight_ = photon_[kAlphaMarker];
  if (new_pattern_.raw == nullptr) {
    return true;  // in focus: the gather needs no level rows
  }
  // P(k) * (level i - level j) depends only on the difference, so the pairs of levels
  // that share a difference share one row; only differences the pattern uses are built.
  int32_t rows = 0;
  for (int32_t i = 0; i < 511; ++i) {
    diff_row_[i] = diff_used_[i] ? rows++ : -1;
  }
  if (!acquire(diff_photon_, static_cast<uint64_t>(rows) * 256 * sizeof(float), kErrDiffPhotonAlloc,
               "Can not allocate Diff_Photon at make_photon()")) {
    return false;
  }
  auto* table = reinterpret_cast<float*>(diff_photon_.data);
  for (int32_t i = 0; i < 511; ++i) {
    if (diff_row_[i] >= 0) {
      float* row = table + static_cast<std::ptrdiff_t>(diff_row_[i]) * 256;
      const auto diff = static_cast<float>(i - 255);
      for (int32_t k = 0; k < 256; ++k) {
        row[k] = photon_[k] * diff;
      }
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------

bool BokehEngine::run_pix_loop(const RunParams& params) {
  const int32_t width = src_width_;
  const int32_t height = src_height_;
  if (src_data_.raw == nullptr || params.slice.width != width || params.slice.height != height ||
      params.mask == nullptr || params.mask_pitch < width || params.accumulator == nullptr ||
      params.accumulator_pitch < 16 * static_cast<std::ptrdiff_t>(width) || params.accumulator_pitch % 4 != 0 ||
      !photon_valid_) {
    return fail(kErrBadInput, "Invalid input at run_pix_loop()");
  }
  if (!(params.diameter > 1.0)) {
    for (int32_t y = 0; y < height; ++y) {
      if (params.row_counts != nullptr && params.row_counts[y] == 0) {
        continue;
      }
      const int64_t percent = static_cast<int64_t>(y) * 100 / height;
      if (percent > 0 && percent < 100 && hooks_.progress != nullptr &&
          hooks_.progress(hooks_.user, static_cast<int32_t>(percent), 100)) {
        return fail(kEngineCancelled, "Cancelled at run_pix_loop()");
      }
      gather_in_focus(params, y);
    }
    return true;
  }
  if (new_pattern_.raw == nullptr || diff_photon_.raw == nullptr || src_pad_ < gather_size_ / 2 + 1) {
    return fail(kErrBadInput, "Pattern not prepared at run_pix_loop()");
  }
  const bool simd = params.use_simd && plane_count_ == 1 && cpu_has_simd();
  return gather_blurred(params, simd);
}

void BokehEngine::gather_in_focus(const RunParams& params, int32_t y) {
  const uint16_t* src = reinterpret_cast<const uint16_t*>(src_data_.data) + y * src_stride_ + 4 * src_pad_;
  const uint8_t* mask = params.mask + y * params.mask_pitch;
  auto* acc = reinterpret_cast<float*>(reinterpret_cast<unsigned char*>(params.accumulator) +
                                       y * params.accumulator_pitch);
  // Covered is measured in the accumulator's unit: U is one pixel's full weight.
  const float covered = full_weight_ * (1.0f - 0.5f / 256.0f);
  for (int32_t x = 0; x < src_width_; ++x, src += 4, acc += 4) {
    if (mask[x] == 0 || !(acc[0] < covered) || src[0] == 0) {
      continue;
    }
    acc[0] += photon_[src[0]];
    acc[1] += photon_[src[1]];
    acc[2] += photon_[src[2]];
    acc[3] += photon_[src[3]];
  }
}

bool BokehEngine::gather_blurred(const RunParams& params, bool simd) {
  const int32_t width = src_width_;
  const int32_t height = src_height_;
  const int32_t size = gather_size_;
  const int32_t radius = size / 2;
  const int32_t planes = plane_count_;
  const std::ptrdiff_t stride = src_stride_;  // values a row, both for uint16 and photon rows

  // Work buffer: per plane the fresh rows and the flattened change terms of one output
  // row; for the SIMD form also a ring of `size` photon rows (4 floats a pixel).
  detail::FreshRow* fresh[3] = {nullptr, nullptr, nullptr};
  void* terms[3] = {nullptr, nullptr, nullptr};
  const float** level_rows = nullptr;
  float* ring = nullptr;
  int32_t* ring_tag = nullptr;
  auto layout = [&](Carver& carve) {
    for (int32_t p = 0; p < planes; ++p) {
      fresh[p] = carve.take<detail::FreshRow>(static_cast<uint64_t>(size));
      const auto count = static_cast<uint64_t>(change_start_[p][size]);
      if (simd) {
        terms[p] = carve.take<detail::SimdTerm>(count);
      } else {
        terms[p] = carve.take<detail::PlainTerm>(count);
      }
    }
    level_rows = carve.take<const float*>(256);
    if (simd) {
      ring = carve.take<float>(static_cast<uint64_t>(stride) * static_cast<uint64_t>(size));
      ring_tag = carve.take<int32_t>(static_cast<uint64_t>(size));
    }
  };
  if (!acquire_carved(work_, layout, kErrWorkAlloc, "Can not allocate work buffer at run_pix_loop()")) {
    return false;
  }
  used_simd_ = simd;

  const auto* table = reinterpret_cast<const float*>(diff_photon_.data);
  auto diff_row = [&](int diff) { return table + static_cast<std::ptrdiff_t>(diff_row_[diff + 255]) * 256; };
  for (int32_t q = 0; q < 256; ++q) {
    level_rows[q] = diff_row_[q + 255] >= 0 ? diff_row(q) : nullptr;
  }
  if (simd) {
    for (int32_t i = 0; i < size; ++i) {
      ring_tag[i] = -1;
    }
  }
  const auto* src = reinterpret_cast<const uint16_t*>(src_data_.data);
  // Photon row of source row sy, converted once when it enters the window.
  auto photon_row = [&](int32_t sy) {
    const int32_t slot = sy % size;
    float* row = ring + slot * stride;
    if (ring_tag[slot] != sy) {
      const uint16_t* in = src + sy * stride;
      for (std::ptrdiff_t i = 0; i < stride; ++i) {
        row[i] = photon_[in[i]];
      }
      ring_tag[slot] = sy;
    }
    return row + 4 * src_pad_;
  };

  detail::RowJob job;
  job.scale[0] = job.scale[1] = reciprocal_exact_[0];
  job.scale[2] = reciprocal_exact_[planes > 1 ? 1 : 0];
  job.scale[3] = reciprocal_exact_[planes > 1 ? 2 : 0];
  job.width = width;
  job.radius = radius;
  job.wide = simd && allow_wide_simd_ && cpu_has_wide_simd();
  used_wide_simd_ = job.wide;
  job.level_rows = level_rows;
  for (int32_t y = 0; y < height; ++y) {
    if (params.row_counts != nullptr && params.row_counts[y] == 0) {
      continue;
    }
    const int64_t percent = static_cast<int64_t>(y) * 100 / height;
    if (percent > 0 && percent < 100 && hooks_.progress != nullptr &&
        hooks_.progress(hooks_.user, static_cast<int32_t>(percent), 100)) {
      return fail(kEngineCancelled, "Cancelled at run_pix_loop()");
    }
    int32_t fresh_count[3] = {0, 0, 0};
    int32_t term_count[3] = {0, 0, 0};
    for (int32_t v = 0; v < size; ++v) {
      const int32_t sy = y - radius + v;
      if (sy < 0 || sy >= height || (params.row_counts != nullptr && params.row_counts[sy] == 0)) {
        continue;  // outside the image, or a blank row: its terms are all zero
      }
      const void* row = simd ? static_cast<const void*>(photon_row(sy))
                             : static_cast<const void*>(src + sy * stride + 4 * src_pad_);
      for (int32_t p = 0; p < planes; ++p) {
        if (row_first_[p][v] < 0) {
          continue;
        }
        fresh[p][fresh_count[p]++] =
            detail::FreshRow{planes_[p] + static_cast<std::ptrdiff_t>(v) * size, row_first_[p][v], row_last_[p][v], row};
        for (int32_t c = change_start_[p][v]; c < change_start_[p][v + 1]; ++c) {
          const std::ptrdiff_t offset = 4 * static_cast<std::ptrdiff_t>(change_offset_[p][c]);
          const int diff = change_diff_[p][c];
          if (simd) {
            auto& t = static_cast<detail::SimdTerm*>(terms[p])[term_count[p]++];
            t.delta[0] = t.delta[1] = t.delta[2] = t.delta[3] = static_cast<float>(diff);
            t.src = static_cast<const float*>(row) + offset;
          } else {
            auto& t = static_cast<detail::PlainTerm*>(terms[p])[term_count[p]++];
            t.src = static_cast<const uint16_t*>(row) + offset;
            t.diff_row = diff_row(diff);
          }
        }
      }
    }
    job.mask = params.mask + y * params.mask_pitch;
    job.acc = reinterpret_cast<float*>(reinterpret_cast<unsigned char*>(params.accumulator) +
                                       y * params.accumulator_pitch);
    for (int32_t p = 0; p < 3; ++p) {
      job.fresh[p] = fresh[p];
      job.fresh_count[p] = fresh_count[p];
      job.terms[p] = terms[p];
      job.term_count[p] = term_count[p];
    }
    if (simd) {
      detail::gather_row_simd_grey(job);
    } else if (planes == 1) {
      detail::gather_row_plain_grey(job);
    } else {
      detail::gather_row_plain_colour(job);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------

BokehEngine::MapView BokehEngine::resized_map() const {
  return MapView{reinterpret_cast<const float*>(map_.data), map_size_};
}

BokehEngine::QuantisedView BokehEngine::quantised() const {
  QuantisedView view;
  if (new_pattern_.raw == nullptr) {
    return view;
  }
  view.plane_count = plane_count_;
  view.size = gather_size_;
  view.level_count = level_count_;
  for (int32_t p = 0; p < plane_count_; ++p) {
    view.planes[p] = planes_[p];
    view.row_first[p] = row_first_[p];
    view.row_last[p] = row_last_[p];
    view.reciprocal_sum[p] = reciprocal_[p];
  }
  return view;
}

BokehEngine& bokeh_engine() {
  static BokehEngine engine;
  return engine;
}

}  // namespace velune
