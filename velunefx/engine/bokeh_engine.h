// The bokeh engine: blurs one distance slice with the iris pattern in linear light and
// adds the result into the frame's accumulator. One process-wide object; it reports
// failures through an error code and a message that the render driver reads after a run.
// Single-threaded, no host records: the driver adapts host memory and progress via hooks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/photon_curve.h"

namespace velune {

// Message prefix the render driver puts in front of the engine's text.
inline constexpr const char* kEngineMessagePrefix = "[Velune5.6Eng] ";

enum EngineError : int32_t {
  kEngineOk = 0,
  kEngineCancelled = 1,
  kErrPatternAlloc = 2,      // pack_pattern
  kErrResizeAlloc = 4,       // resize_pattern (m_mapzp and its double work map)
  kErrMicroAlloc = 7,        // smear_micro_pattern
  kErrNewPatternAlloc = 10,  // new_pattern
  kErrNewPatternHeld = 11,
  kErrDiffPhotonAlloc = 12,  // make_photon
  kErrDiffPhotonHeld = 13,
  kErrSrcDataAlloc = 16,  // pre_process_RGB
  kErrSrcDataHeld = 17,
  kErrWorkAlloc = 18,   // run_pix_loop's row lists and photon rows
  kErrBadInput = 19,    // inconsistent run inputs (a caller bug, never a host condition)
};

// Memory and progress hooks, installed by the render driver for the length of a render.
// Without allocate/release the engine uses the C heap; without progress it reports nothing.
struct EngineHooks {
  void* (*allocate)(void* user, std::size_t bytes) = nullptr;  // nullptr on failure
  void (*release)(void* user, void* block) = nullptr;
  // Reports done of total; returns true when the user asked to stop.
  bool (*progress)(void* user, int32_t done, int32_t total) = nullptr;
  void* user = nullptr;
};

// 8-bit pixels, alpha first (A, R, G, B); alpha 0 marks a pixel outside the slice.
struct SliceView {
  const uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  std::ptrdiff_t pitch = 0;  // bytes
};

// The loaded iris shape: 3 bytes a pixel in blue, green, red order.
struct PatternView {
  const uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  std::ptrdiff_t pitch = 0;  // bytes
};

struct RunParams {
  bool use_simd = true;    // "no_simd" absent; the CPU check is the engine's own
  bool use_micro = false;  // "use_micro" present
  // One byte a pixel, slice-sized; 0 skips the pixel, below 255 dims its colour.
  const uint8_t* mask = nullptr;
  std::ptrdiff_t mask_pitch = 0;
  // Per-row occupancy of the mask; rows counting 0 are neither read nor gathered.
  // nullptr counts every row as occupied.
  const int32_t* row_counts = nullptr;
  double diameter = 1.0;  // blur diameter d of the slice; d <= 1 is in focus
  double distance = 0.0;  // representative distance, kept for the driver's bookkeeping
  double hardness = 1.0;
  double brightness = 1.0;
  int32_t quality = kQualityAutoSpeed;
  SliceView slice;
  int32_t channel_levels = 256;  // channel maximum plus one; only 8-bit slices exist
  PatternView pattern;
  // Four floats a pixel: weight, red, green, blue light.
  float* accumulator = nullptr;
  std::ptrdiff_t accumulator_pitch = 0;  // bytes
};

// Whether this processor can run the SIMD gather, and its 8-float form (AVX).
bool cpu_has_simd();
bool cpu_has_wide_simd();

class BokehEngine {
 public:
  BokehEngine();
  ~BokehEngine();
  BokehEngine(const BokehEngine&) = delete;
  BokehEngine& operator=(const BokehEngine&) = delete;

  void set_hooks(const EngineHooks& hooks);
  void clear_hooks();

  // Runs every step for one slice and releases every buffer, on success and failure.
  // Returns the error code (0 on success).
  int32_t run(const RunParams& params);

  int32_t error_code() const { return error_code_; }
  const char* error_message() const { return error_message_; }
  // The message as the driver shows it: kEngineMessagePrefix + message.
  std::string report() const;
  void clear_error();

  // U, the weight of one fully covered pixel, for the driver's colour scaling.
  float full_weight() const { return full_weight_; }
  bool holds_buffers() const;
  void release_buffers();

  // ---- Steps of a run, public so each can be exercised on its own. ----
  // Each returns false and sets the error on failure. Buffers stay held until
  // release_buffers() (run() calls it).

  // Fills Src_Data_sh from the slice, with `pad` blank columns either side so the gather
  // window never needs clipping in x.
  bool pre_process_RGB(const SliceView& slice, const int32_t* row_counts, int32_t pad);
  // Copies the shape as R, G, B (two channels a pixel when it is grey).
  bool pack_pattern(const PatternView& pattern);
  // Area-resamples the packed shape to a size x size map for blur diameter d, centred.
  bool resize_pattern(double d, int32_t size);
  // Replaces the resampled map with a Gaussian-smeared one for very small blurs.
  bool smear_micro_pattern(double d);
  // Quantises the map by quality, rotates it by 180 degrees, and derives the row bounds
  // and the per-row level changes that the carried window sums use.
  bool new_pattern(int32_t quality, double d);
  // Photon table P and the Diff_Photon rows for the current pattern's level changes.
  bool make_photon(double hardness, double brightness);
  // Gathers the slice into the accumulator.
  bool run_pix_loop(const RunParams& params);

  // ---- Read-only views for checks and the benchmark. ----
  struct MapView {  // resampled pattern, size x size pixels of 3 floats (R, G, B)
    const float* values = nullptr;
    int32_t size = 0;
  };
  MapView resized_map() const;
  struct QuantisedView {  // rotated, quantised planes of size x size bytes
    const uint8_t* planes[3] = {nullptr, nullptr, nullptr};
    const int32_t* row_first[3] = {nullptr, nullptr, nullptr};
    const int32_t* row_last[3] = {nullptr, nullptr, nullptr};
    float reciprocal_sum[3] = {0.0f, 0.0f, 0.0f};
    int32_t plane_count = 0;  // 1 for a grey pattern
    int32_t size = 0;
    int32_t level_count = 0;  // distinct byte values, 0 included
  };
  QuantisedView quantised() const;
  bool pattern_is_grey() const { return pattern_grey_; }
  int32_t pattern_channels() const { return pattern_channels_; }
  const float* photon_table() const { return photon_; }
  // Whether the last run_pix_loop used the SIMD grey form, and its 8-float steps.
  bool used_simd() const { return used_simd_; }
  bool used_wide_simd() const { return used_wide_simd_; }
  // For checks: keeps the SIMD form to 4-float registers even where 8 would do.
  void allow_wide_simd(bool allow) { allow_wide_simd_ = allow; }

 private:
  // An engine buffer remembers how to give itself back, so changing the hooks while a
  // buffer is held cannot hand it to the wrong allocator.
  struct Buffer {
    void* raw = nullptr;
    unsigned char* data = nullptr;  // 16-byte aligned start inside raw
    void (*release)(void* user, void* block) = nullptr;  // nullptr: the C heap
    void* user = nullptr;
  };

  bool fail(int32_t code, const char* message);
  bool acquire(Buffer& buffer, uint64_t bytes, int32_t code, const char* message);
  // Measures a layout of aligned sections, takes one buffer that holds them all and carves
  // it: layout(carver) is called twice, first to measure, then to hand out the sections.
  template <typename Layout>
  bool acquire_carved(Buffer& buffer, Layout&& layout, int32_t code, const char* message);
  void drop(Buffer& buffer);
  bool gather_blurred(const RunParams& params, bool simd);
  void gather_in_focus(const RunParams& params, int32_t row);

  EngineHooks hooks_{};
  int32_t error_code_ = 0;
  const char* error_message_ = "";

  // Src_Data_sh: 4 x uint16 a pixel (marker, R, G, B), padded rows.
  Buffer src_data_;
  int32_t src_width_ = 0;
  int32_t src_height_ = 0;
  int32_t src_pad_ = 0;
  std::ptrdiff_t src_stride_ = 0;  // uint16 values a row

  // Pattern[]: packed shape plus per-row first/last non-zero columns.
  Buffer pattern_;
  int32_t pattern_width_ = 0;
  int32_t pattern_height_ = 0;
  int32_t pattern_channels_ = 0;
  bool pattern_grey_ = false;

  // m_mapzp: resampled map, map_size_^2 pixels of 3 floats.
  Buffer map_;
  int32_t map_size_ = 0;

  // newPattern and what is derived from it.
  Buffer new_pattern_;
  int32_t gather_size_ = 0;
  int32_t plane_count_ = 0;
  int32_t level_count_ = 0;
  uint8_t* planes_[3] = {nullptr, nullptr, nullptr};
  float reciprocal_[3] = {0.0f, 0.0f, 0.0f};
  double reciprocal_exact_[3] = {0.0, 0.0, 0.0};
  int32_t* row_first_[3] = {nullptr, nullptr, nullptr};
  int32_t* row_last_[3] = {nullptr, nullptr, nullptr};
  int32_t* change_start_[3] = {nullptr, nullptr, nullptr};  // gather_size_ + 1 entries
  int32_t* change_offset_[3] = {nullptr, nullptr, nullptr};  // source column - x
  int16_t* change_diff_[3] = {nullptr, nullptr, nullptr};    // new level - old level
  bool diff_used_[511] = {};                                 // by difference + 255

  // Diff_Photon: one row of 256 floats per level difference in use.
  Buffer diff_photon_;
  int32_t diff_row_[511] = {};  // row index by difference + 255, -1 when not built

  // Photon table, cached by its inputs.
  float photon_[256] = {};
  double photon_hardness_ = -1.0;
  double photon_brightness_ = -1.0;
  bool photon_valid_ = false;
  float full_weight_ = 0.0f;

  // run_pix_loop's row lists and (SIMD) photon rows.
  Buffer work_;
  bool used_simd_ = false;
  bool used_wide_simd_ = false;
  bool allow_wide_simd_ = true;
};

// The process-wide engine the effect uses.
BokehEngine& bokeh_engine();

}  // namespace velune
