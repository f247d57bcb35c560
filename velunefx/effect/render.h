// The render driver: distance slicing, masks, one engine run per slice into the frame's
// accumulator, and the conversion back to 8-bit pixels. Plain C++; the command layer adapts
// the host's worlds, handles, progress and parameter checkout to RenderHost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "effect/effect_state.h"

namespace velune {

// 8-bit pixels, alpha first (A, R, G, B).
struct PixelView {
  uint8_t* data = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  std::ptrdiff_t rowbytes = 0;
  uint8_t* pixel(int32_t x, int32_t y) const { return data + y * rowbytes + 4 * static_cast<std::ptrdiff_t>(x); }
};

struct Extent {  // exclusive right and bottom
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

class RenderHost {
 public:
  virtual ~RenderHost() = default;
  // Large blocks from the host (its handles); nullptr when none is left.
  virtual void* allocate(std::size_t bytes) = 0;
  virtual void release(void* block) = 0;
  // Reports done of total; true when the user cancelled.
  virtual bool progress(int32_t done, int32_t total) = 0;
  // The host copies the whole input world to the output world.
  virtual bool copy_input_to_output() = 0;
  // Remembers the frame's distance map for the focus pick (the sequence data).
  virtual void store_distance_map(const uint8_t* map, int32_t width, int32_t height) = 0;
};

enum class RenderStatus { kOk, kCancelled, kOutOfMemory, kFailed };

struct RenderResult {
  RenderStatus status = RenderStatus::kOk;
  std::string message;  // for return_msg; empty on success and cancel
};

struct RenderInput {
  PixelView input;
  PixelView output;
  const PixelView* distance_layer = nullptr;  // checked out by the caller, or nullptr
  Extent extent_hint;
  double ratio = 1.0;  // downsample_x as a number
  // For checks: every slice runs over the whole area instead of the part its pixels and
  // their blur reach (the output is the same either way).
  bool whole_area_slices = false;
};

// Runs every step of a render with state.values (already copied from the parameters).
// Every buffer taken is given back before it returns, whatever the outcome.
RenderResult render_frame(EffectState& state, const RenderInput& in, RenderHost& host);

// ---- Steps exposed for tests ----

struct Slice {
  int32_t start = 0;  // inclusive distance value
  int32_t end = 0;    // exclusive
  double distance = 0.0;
  double diameter = 1.0;
};
struct SliceTable {
  Slice slices[270];
  int32_t count = 0;
  int32_t max_effect = 1;
};
// Cuts the distance range by the histogram of the map; false when P is too large.
bool make_slices(const uint32_t (&histogram)[256], int32_t precision, double focus_distance, double bokeh_amount,
                 SliceTable& table);

// Turns `mask` (width x height bytes, non-zero where a slice pixel lies) into the slice's
// mask: a square dilation by radius r, row by row and then column by column, counting the
// reached pixels per row; then the 3x3 box average. `line` holds max(width, height) bytes;
// `columns` 2 x width ints and `work` a width x height buffer; when either is nullptr the
// mask is left unsmoothed.
void build_mask(uint8_t* mask, int32_t width, int32_t height, int32_t r, int32_t* row_counts, uint8_t* line,
                int32_t* columns, uint8_t* work);

}  // namespace velune
