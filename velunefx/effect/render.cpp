#include "effect/render.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/bokeh_engine.h"
#include "engine/photon_curve.h"
#include "shapes/shape_file.h"
#include "shapes/shape_image.h"

namespace velune {

namespace {

constexpr int32_t kStepCount = 10;
constexpr int32_t kMaxSlices = 270;

std::string effect_message(const char* text) { return std::string(kEffectMessagePrefix) + text; }

RenderResult failed(const char* text) { return RenderResult{RenderStatus::kFailed, effect_message(text)}; }
RenderResult out_of_memory(const char* text) { return RenderResult{RenderStatus::kOutOfMemory, effect_message(text)}; }

// The frame's loaded shape lives as long as one render.
LoadedShape& frame_shape() {
  static LoadedShape shape;
  return shape;
}

// Buffers of one render, given back by the destructor on every path out.
class RenderBuffers {
 public:
  RenderBuffers(EffectState& state, RenderHost& host) : state_(state), host_(host) {}
  ~RenderBuffers() {
    host_release(slice_);
    host_release(accumulator_);
    heap_release(map_);
    heap_release(row_values_);
    heap_release(mask_);
    heap_release(counts_);
    heap_release(smooth_);
    frame_shape().release();
  }
  RenderBuffers(const RenderBuffers&) = delete;
  RenderBuffers& operator=(const RenderBuffers&) = delete;

  template <typename T>
  bool heap(T*& slot, std::size_t bytes) {
    void* block = std::calloc(bytes == 0 ? 1 : bytes, 1);
    if (block == nullptr) {
      return false;
    }
    slot = static_cast<T*>(block);
    ++state_.held_buffers;
    return true;
  }
  template <typename T>
  bool host(T*& slot, std::size_t bytes) {
    void* block = host_.allocate(bytes == 0 ? 1 : bytes);
    if (block == nullptr) {
      return false;
    }
    std::memset(block, 0, bytes);
    slot = static_cast<T*>(block);
    ++state_.held_buffers;
    return true;
  }
  template <typename T>
  void heap_release(T*& slot) {
    if (slot != nullptr) {
      std::free(slot);
      slot = nullptr;
      --state_.held_buffers;
    }
  }

  uint8_t* map_ = nullptr;
  uint64_t* row_values_ = nullptr;  // per area row, the distance values present (256 bits)
  uint8_t* slice_ = nullptr;
  uint8_t* mask_ = nullptr;
  int32_t* counts_ = nullptr;
  uint8_t* smooth_ = nullptr;
  float* accumulator_ = nullptr;

 private:
  template <typename T>
  void host_release(T*& slot) {
    if (slot != nullptr) {
      host_.release(slot);
      slot = nullptr;
      --state_.held_buffers;
    }
  }
  EffectState& state_;
  RenderHost& host_;
};

// Engine hooks over the render host; progress of slice k of n shows as p / n + 100 k / n.
struct HookContext {
  RenderHost* host;
  double scale = 1.0;
  double offset = 0.0;
};
void* hook_allocate(void* user, std::size_t bytes) { return static_cast<HookContext*>(user)->host->allocate(bytes); }
void hook_release(void* user, void* block) { static_cast<HookContext*>(user)->host->release(block); }
bool hook_progress(void* user, int32_t done, int32_t total) {
  auto* c = static_cast<HookContext*>(user);
  const double shown = done * c->scale + c->offset;
  return c->host->progress(static_cast<int32_t>(shown), total);
}

struct EngineHooksScope {
  explicit EngineHooksScope(HookContext& context) {
    bokeh_engine().set_hooks(EngineHooks{hook_allocate, hook_release, hook_progress, &context});
  }
  ~EngineHooksScope() { bokeh_engine().clear_hooks(); }
};

uint8_t output_value(double v) {
  const double r = std::floor(v + 0.5);
  return static_cast<uint8_t>(std::clamp(r, 0.0, 255.0));
}

}  // namespace

bool make_slices(const uint32_t (&histogram)[256], int32_t precision, double focus_distance, double bokeh_amount,
                 SliceTable& table) {
  table.count = 0;
  table.max_effect = 1;
  if (precision + kStepCount > kMaxSlices) {
    return false;
  }
  int32_t filled = 0;
  for (uint32_t n : histogram) {
    filled += n != 0 ? 1 : 0;
  }
  const double c = 1.0 / kStepCount;
  double wide = filled / (kStepCount * c + precision);
  if (wide < 1.0) {
    wide += 1.0;
  }
  const int32_t near = std::max(1, static_cast<int32_t>(wide * c + 0.5));
  const auto focus = static_cast<int32_t>(focus_distance);
  const int32_t lo = std::max(0, focus - near * kStepCount);
  const int32_t hi = std::min(255, focus + near * kStepCount);
  int32_t s = 0;
  while (table.count < kMaxSlices) {
    while (s < 256 && histogram[s] == 0) {
      ++s;
    }
    if (s >= 256) {
      break;
    }
    const bool in_band = s >= lo && s < hi;
    const int32_t end = s + (in_band ? near : static_cast<int32_t>(wide));
    table.slices[table.count++] = Slice{s, std::min(end, 256), 0.0, 1.0};
    if (end >= 255) {
      break;
    }
    s = end;
  }
  if (table.count > 0) {
    table.slices[table.count - 1].end = 256;
  }
  for (int32_t i = 0; i < table.count; ++i) {
    Slice& sl = table.slices[i];
    while (sl.end - 1 > sl.start && histogram[sl.end - 1] == 0) {
      --sl.end;
    }
    sl.distance = (sl.start + sl.end - 1) / 2.0;
    const double blur = (sl.distance - focus) * bokeh_amount * (1.0 / 255.0);
    sl.diameter = std::fabs(blur) + 1.0;
    table.max_effect = std::max(table.max_effect, static_cast<int32_t>(std::ceil(sl.diameter)));
  }
  return true;
}

void build_mask(uint8_t* mask, int32_t width, int32_t height, int32_t r, int32_t* row_counts, uint8_t* line,
                int32_t* columns, uint8_t* work) {
  if (width <= 0 || height <= 0) {
    return;
  }
  const auto at = [width](int32_t y) { return static_cast<std::ptrdiff_t>(y) * width; };
  // Rows: a pixel is reached when a slice pixel lies within r columns. Rows without one
  // stay zero.
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = mask + at(y);
    int32_t first = 0;
    while (first < width && row[first] == 0) ++first;
    if (first == width) continue;
    std::memcpy(line, row, static_cast<std::size_t>(width));
    int64_t last = INT32_MIN;
    for (int32_t x = 0; x < width; ++x) {
      if (line[x] != 0) last = x;
      row[x] = x - last <= r ? 255 : 0;
    }
    int64_t next = INT32_MAX;
    for (int32_t x = width - 1; x >= 0; --x) {
      if (line[x] != 0) next = x;
      if (next - x <= r) row[x] = 255;
    }
  }
  std::fill(row_counts, row_counts + height, 0);
  if (work == nullptr || columns == nullptr) {
    // Columns one by one, with only the line buffer; the mask stays unsmoothed.
    for (int32_t x = 0; x < width; ++x) {
      for (int32_t y = 0; y < height; ++y) line[y] = mask[at(y) + x];
      int64_t last = INT32_MIN;
      for (int32_t y = 0; y < height; ++y) {
        if (line[y] != 0) last = y;
        mask[at(y) + x] = y - last <= r ? 255 : 0;
      }
      int64_t next = INT32_MAX;
      for (int32_t y = height - 1; y >= 0; --y) {
        if (line[y] != 0) next = y;
        uint8_t& m = mask[at(y) + x];
        if (next - y <= r) m = 255;
        row_counts[y] += m != 0 ? 1 : 0;
      }
    }
    return;
  }
  // Columns, a row at a time (the frame is stored by rows): from the row-dilated copy in
  // `work`, each column's distance in rows to the nearest reached row above, then below,
  // kept in bytes that stop counting at 255 (r is at most 254 here).
  const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  std::memcpy(work, mask, bytes);
  uint8_t* distance = reinterpret_cast<uint8_t*>(columns);
  const auto limit = static_cast<uint8_t>(std::min(r, 254));
  const bool far_reach = r > 254;  // every pixel of a column with any reached row
  for (int pass = 0; pass < 2; ++pass) {
    std::memset(distance, 255, static_cast<std::size_t>(width));
    for (int32_t i = 0; i < height; ++i) {
      const int32_t y = pass == 0 ? i : height - 1 - i;
      const uint8_t* in = work + at(y);
      uint8_t* out = mask + at(y);
      int32_t x = 0;
#if defined(__SSE2__)
      const __m128i one = _mm_set1_epi8(1);
      const __m128i zero = _mm_setzero_si128();
      const __m128i lim = _mm_set1_epi8(static_cast<char>(limit));
      for (; x + 16 <= width; x += 16) {
        const __m128i reached = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x)), zero);
        __m128i d = _mm_adds_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(distance + x)), one);
        d = _mm_and_si128(d, reached);  // 0 where this row is reached
        _mm_storeu_si128(reinterpret_cast<__m128i*>(distance + x), d);
        const __m128i near = _mm_cmpeq_epi8(_mm_min_epu8(d, lim), d);  // d <= r
        __m128i* o = reinterpret_cast<__m128i*>(out + x);
        _mm_storeu_si128(o, pass == 0 ? near : _mm_or_si128(_mm_loadu_si128(o), near));
      }
#endif
      for (; x < width; ++x) {
        const int32_t d = in[x] != 0 ? 0 : std::min(distance[x] + 1, 255);
        distance[x] = static_cast<uint8_t>(d);
        const bool near = d <= limit || (far_reach && d < 255);
        out[x] = pass == 0 ? (near ? 255 : 0) : static_cast<uint8_t>(out[x] | (near ? 255 : 0));
      }
    }
  }
  if (far_reach) {
    // A reach beyond 254 rows: rows farther than 254 from a reached row need the exact
    // test, column by column.
    for (int32_t x = 0; x < width; ++x) {
      int64_t last = INT32_MIN;
      for (int32_t y = 0; y < height; ++y) {
        if (work[at(y) + x] != 0) last = y;
        line[y] = y - last <= r ? 255 : 0;
      }
      int64_t next = INT32_MAX;
      for (int32_t y = height - 1; y >= 0; --y) {
        if (work[at(y) + x] != 0) next = y;
        mask[at(y) + x] = (next - y <= r || line[y] != 0) ? 255 : 0;
      }
    }
  }
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = mask + at(y);
    int32_t count = 0;
    for (int32_t x = 0; x < width; ++x) count += row[x] != 0 ? 1 : 0;
    row_counts[y] = count;
  }
  // The 3x3 box average by column sums of three rows, then three columns; integer sums, so
  // the order changes nothing. Interior pixels average 9 values, edges 6, corners 4.
  std::memcpy(work, mask, bytes);
  int32_t* sums = columns;
  for (int32_t y = 0; y < height; ++y) {
    const int32_t y0 = std::max(0, y - 1), y1 = std::min(height - 1, y + 1);
    const uint8_t* a = work + at(y0);
    const uint8_t* b = work + at(y);
    const uint8_t* c = work + at(y1);
    if (y1 - y0 == 2) {
      for (int32_t x = 0; x < width; ++x) sums[x] = a[x] + b[x] + c[x];
    } else {
      const uint8_t* other = y0 == y ? c : a;
      for (int32_t x = 0; x < width; ++x) sums[x] = b[x] + (y0 == y1 ? 0 : other[x]);
    }
    const int32_t rows = y1 - y0 + 1;
    uint8_t* out = mask + at(y);
    if (width == 1) {
      out[0] = static_cast<uint8_t>(sums[0] / rows);
      continue;
    }
    out[0] = static_cast<uint8_t>((sums[0] + sums[1]) / (2 * rows));
    const int32_t full = 3 * rows;
    int32_t x = 1;
#if defined(__SSE2__)
    if (rows == 3) {
      // Eight pixels at a time in 16 bits: the sum of nine bytes is at most 2295, where
      // n * 7282 >> 16 is exactly n / 9.
      const __m128i z = _mm_setzero_si128();
      const __m128i ninth = _mm_set1_epi16(7282);
      const auto load = [z](const uint8_t* p) {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), z);
      };
      for (; x + 9 <= width; x += 8) {
        __m128i n = _mm_add_epi16(_mm_add_epi16(load(a + x - 1), load(a + x)), load(a + x + 1));
        n = _mm_add_epi16(n, _mm_add_epi16(_mm_add_epi16(load(b + x - 1), load(b + x)), load(b + x + 1)));
        n = _mm_add_epi16(n, _mm_add_epi16(_mm_add_epi16(load(c + x - 1), load(c + x)), load(c + x + 1)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(_mm_mulhi_epu16(n, ninth), z));
      }
    }
#endif
    for (; x + 1 < width; ++x) out[x] = static_cast<uint8_t>((sums[x - 1] + sums[x] + sums[x + 1]) / full);
    out[width - 1] = static_cast<uint8_t>((sums[width - 2] + sums[width - 1]) / (2 * rows));
  }
}

RenderResult render_frame(EffectState& state, const RenderInput& in, RenderHost& host) {
  EffectValues& v = state.values;
  const int32_t width = in.input.width;
  const int32_t height = in.input.height;
  if (width <= 0 || height <= 0 || in.output.width != width || in.output.height != height) {
    return failed("Input and output worlds differ in size");
  }
  // Step 2: scale by the downsample ratio.
  v.bokeh_amount = std::floor(v.bokeh_amount * in.ratio);
  v.preview_size = static_cast<int32_t>(std::floor(v.preview_size * in.ratio));
  int32_t max_effect = static_cast<int32_t>(std::ceil(v.bokeh_amount));

  if (host.progress(0, 100)) {
    return RenderResult{RenderStatus::kCancelled, {}};
  }
  HookContext hooks{&host};
  EngineHooksScope hook_scope(hooks);
  RenderBuffers buffers(state, host);

  // Step 4: the area to compute.
  Extent area;
  if (v.preview_only) {
    const int32_t half = v.preview_size / 2;
    if (v.preview_x >= width || v.preview_y >= height || v.preview_x < 1 || v.preview_y < 1) {
      return failed("Preview Outside of Image");
    }
    area.left = std::max(0, v.preview_x - half);
    area.top = std::max(0, v.preview_y - half);
    area.right = std::min(v.preview_x + half, width - 1);
    area.bottom = std::min(v.preview_y + half, height - 1);
    if (!host.copy_input_to_output()) {
      return failed("Can not copy the input");
    }
  } else {
    const int32_t half = max_effect / 2;
    area.left = std::clamp(in.extent_hint.left - half, 0, width);
    area.top = std::clamp(in.extent_hint.top - half, 0, height);
    area.right = std::clamp(in.extent_hint.right + half, 0, width);
    area.bottom = std::clamp(in.extent_hint.bottom + half, 0, height);
    if (area.right - area.left < width || area.bottom - area.top < height) {
      for (int32_t y = 0; y < height; ++y) {
        std::memset(in.output.data + y * in.output.rowbytes, 0, 4 * static_cast<std::size_t>(width));
      }
    }
  }
  const int32_t aw = area.right - area.left;
  const int32_t ah = area.bottom - area.top;

  // Steps 5 to 7: distance map and slices.
  SliceTable table;
  if (in.distance_layer != nullptr) {
    const PixelView& layer = *in.distance_layer;
    if (layer.width != width || layer.height != height) {
      return failed("Distance layer and target layer have different image sizes");
    }
    if (!buffers.heap(buffers.map_, static_cast<std::size_t>(width) * static_cast<std::size_t>(height))) {
      return out_of_memory("Can not allocate local distance space");
    }
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* src = layer.pixel(0, y);
      uint8_t* dst = buffers.map_ + static_cast<std::ptrdiff_t>(y) * width;
      for (int32_t x = 0; x < width; ++x) dst[x] = src[4 * x + 1];
    }
    host.store_distance_map(buffers.map_, width, height);
    state.map_pitch = width;
    state.last_render_ratio = in.ratio;
    state.have_render_ratio = true;
    if (v.focus_distance < 0.0) {
      // A point off the layer picks the nearest edge pixel rather than reading past the map.
      const int32_t fx = std::clamp(static_cast<int32_t>(v.focus_x * in.ratio), 0, width - 1);
      const int32_t fy = std::clamp(static_cast<int32_t>(v.focus_y * in.ratio), 0, height - 1);
      v.focus_distance = buffers.map_[static_cast<std::ptrdiff_t>(fy) * width + fx];
    }
    uint32_t histogram[256] = {};
    for (std::size_t i = 0, n = static_cast<std::size_t>(width) * height; i < n; ++i) ++histogram[buffers.map_[i]];
    if (!make_slices(histogram, v.distance_precision, v.focus_distance, v.bokeh_amount, table)) {
      return failed("Too many distance steps");
    }
    max_effect = table.max_effect;
  } else {
    table.count = 1;
    table.slices[0] = Slice{0, 256, 0.0, std::fabs(v.bokeh_amount) + 1.0};
    max_effect = static_cast<int32_t>(std::ceil(table.slices[0].diameter));
  }

  // Step 8: nothing to blur.
  if (max_effect == 1) {
    if (!host.copy_input_to_output()) {
      return failed("Can not copy the input");
    }
    return {};
  }
  if (aw <= 0 || ah <= 0) {
    return {};
  }

  // Step 9: the shape file for the largest blur.
  if (host.progress(0, 100)) {
    return RenderResult{RenderStatus::kCancelled, {}};
  }
  int32_t requested = static_cast<int32_t>(std::ceil(v.bokeh_amount + 1.0));
  if (requested % 2 == 0) ++requested;
  ShapeFileChoice choice;
  if (v.shape_index >= 1 && v.shape_index <= static_cast<int32_t>(state.shapes.names.size())) {
    choice = choose_shape_file(join_path(state.shape_root, state.shapes.names[static_cast<std::size_t>(v.shape_index - 1)]),
                               requested);
  }
  if (!choice.found()) {
    return failed("Shape File for Requested MaxEffect NOT available");
  }
  LoadedShape& shape = frame_shape();
  if (!shape.load(choice.path, nullptr)) {
    return failed("Iris Shape Not Loarded");
  }
  if (shape.width() < requested && shape.height() < requested) {
    return failed("Shape Image size < MaxEffect");
  }

  // Step 10: slice buffers.
  const auto area_pixels = static_cast<std::size_t>(aw) * static_cast<std::size_t>(ah);
  if (!buffers.host(buffers.slice_, area_pixels * 4)) {
    return out_of_memory("Can not allocate input buffer");
  }
  const auto longest = static_cast<std::size_t>(std::max(aw, ah));
  if (!buffers.heap(buffers.mask_, area_pixels + longest) ||
      !buffers.heap(buffers.counts_, (static_cast<std::size_t>(ah) + 2 * static_cast<std::size_t>(aw)) * sizeof(int32_t))) {
    return out_of_memory("Can not allocate mask space");
  }
  if (!buffers.host(buffers.accumulator_, area_pixels * 4 * sizeof(float))) {
    return out_of_memory("Can not allocate output buffer");
  }
  uint8_t* line = buffers.mask_ + area_pixels;

  // Where each distance value lies in the area, so a slice's work can keep to the part of
  // the frame its pixels and their blur reach.
  struct Box {
    int32_t x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1;  // inclusive
    bool empty() const { return x1 < 0; }
    void add(const Box& b) {
      x0 = std::min(x0, b.x0), y0 = std::min(y0, b.y0), x1 = std::max(x1, b.x1), y1 = std::max(y1, b.y1);
    }
  };
  Box value_box[256];
  if (buffers.map_ != nullptr) {
    // Without room for the row sets every row is simply visited.
    buffers.heap(buffers.row_values_, static_cast<std::size_t>(ah) * 4 * sizeof(uint64_t));
    for (int32_t y = 0; y < ah; ++y) {
      const uint8_t* map = buffers.map_ + static_cast<std::ptrdiff_t>(area.top + y) * width + area.left;
      uint64_t* present = buffers.row_values_ != nullptr ? buffers.row_values_ + 4 * static_cast<std::ptrdiff_t>(y) : nullptr;
      for (int32_t x = 0; x < aw; ++x) {
        if (present != nullptr) present[map[x] >> 6] |= uint64_t{1} << (map[x] & 63);
        Box& b = value_box[map[x]];
        if (b.x1 < 0) b.y0 = y, b.x0 = x;
        b.y1 = y;
        b.x0 = std::min(b.x0, x);
        b.x1 = std::max(b.x1, x);
      }
    }
  } else {
    value_box[0] = Box{0, 0, aw - 1, ah - 1};
  }

  // Step 12: one engine run per slice, nearest (smallest distance) first.
  const bool preview = v.preview_only;
  BokehEngine& engine = bokeh_engine();
  const int32_t n = table.count;
  for (int32_t k = 0; k < n; ++k) {
    const Slice& sl = table.slices[k];
    hooks.scale = 1.0 / n;
    hooks.offset = 100.0 * k / n;
    Box box;
    for (int32_t d = buffers.map_ != nullptr ? sl.start : 0; d < (buffers.map_ != nullptr ? sl.end : 1); ++d) {
      if (!value_box[d].empty()) box.add(value_box[d]);
    }
    if (box.empty()) {
      continue;  // empty slices cost nothing
    }
    const int32_t r = mask_size(sl.diameter, state.options.use_micro) / 2;
    // The slice's pixels dilated by r and smoothed by one more pixel; one pixel further,
    // the smoothing still reads only zeros, so the mask there is the same as over the whole
    // area, and the engine sees the same pixels (those outside carry no light).
    Box sub{0, 0, aw - 1, ah - 1};
    if (n > 1 && !in.whole_area_slices) {
      const int32_t margin = r + 2;
      sub = Box{std::max(0, box.x0 - margin), std::max(0, box.y0 - margin), std::min(aw - 1, box.x1 + margin),
                std::min(ah - 1, box.y1 + margin)};
    }
    const int32_t sw = sub.x1 - sub.x0 + 1;
    const int32_t sh = sub.y1 - sub.y0 + 1;
    for (int32_t y = 0; y < sh; ++y) {
      const uint8_t* src = in.input.pixel(area.left + sub.x0, area.top + sub.y0 + y);
      uint8_t* dst = buffers.slice_ + static_cast<std::ptrdiff_t>(y) * sw * 4;
      uint8_t* member = buffers.mask_ + static_cast<std::ptrdiff_t>(y) * sw;
      const uint8_t* map =
          buffers.map_ != nullptr
              ? buffers.map_ + static_cast<std::ptrdiff_t>(area.top + sub.y0 + y) * width + area.left + sub.x0
              : nullptr;
      if (buffers.row_values_ != nullptr) {
        const uint64_t* present = buffers.row_values_ + 4 * static_cast<std::ptrdiff_t>(sub.y0 + y);
        bool any = false;
        for (int32_t d = sl.start; d < sl.end && !any; ++d) any = ((present[d >> 6] >> (d & 63)) & 1) != 0;
        if (!any) {  // no pixel of the slice in this row
          std::memset(dst, 0, 4 * static_cast<std::size_t>(sw));
          std::memset(member, 0, static_cast<std::size_t>(sw));
          continue;
        }
      }
      for (int32_t x = 0; x < sw; ++x) {
        const bool inside = map == nullptr || (map[x] >= sl.start && map[x] < sl.end);
        static constexpr uint8_t kBlank[4] = {0, 0, 0, 0};
        std::memcpy(dst + 4 * x, inside ? src + 4 * x : kBlank, 4);
        member[x] = inside ? 255 : 0;
      }
    }
    const auto sub_pixels = static_cast<std::size_t>(sw) * static_cast<std::size_t>(sh);
    if (n == 1) {
      std::memset(buffers.mask_, 255, sub_pixels);
      std::fill(buffers.counts_, buffers.counts_ + sh, sw);
    } else {
      if (buffers.smooth_ == nullptr) {
        // Without it the mask simply stays unsmoothed.
        buffers.heap(buffers.smooth_, area_pixels);
      }
      build_mask(buffers.mask_, sw, sh, r, buffers.counts_, line, buffers.counts_ + ah, buffers.smooth_);
    }
    RunParams p;
    p.use_simd = state.options.use_simd;
    p.use_micro = state.options.use_micro;
    p.mask = buffers.mask_;
    p.mask_pitch = sw;
    p.row_counts = buffers.counts_;
    p.diameter = sl.diameter;
    p.distance = sl.distance;
    p.hardness = v.hardness;
    p.brightness = v.brightness;
    p.quality = preview ? v.preview_quality : v.quality;
    p.slice = SliceView{buffers.slice_, sw, sh, 4 * static_cast<std::ptrdiff_t>(sw)};
    p.pattern = PatternView{shape.pixels(), shape.width(), shape.height(), shape.pitch()};
    p.accumulator = buffers.accumulator_ + (static_cast<std::ptrdiff_t>(sub.y0) * aw + sub.x0) * 4;
    p.accumulator_pitch = 16 * static_cast<std::ptrdiff_t>(aw);
    const int32_t code = engine.run(p);
    if (engine.holds_buffers()) {
      engine.release_buffers();
      return failed("Memory leak detected in Velune");
    }
    if (code == kEngineCancelled) {
      return RenderResult{RenderStatus::kCancelled, {}};
    }
    if (code >= 2 && code <= 18) {
      return RenderResult{RenderStatus::kOutOfMemory, engine.report()};
    }
    if (code != kEngineOk) {
      return RenderResult{RenderStatus::kFailed, engine.report()};
    }
  }

  // Step 13: light back to pixel values.
  const double h = v.hardness;
  const auto full = static_cast<double>(engine.full_weight());
  const double full_inv = curve_E_inv(full, h);
  const double f0 = curve_F(0.0, h);
  const LightToByte to_byte(h);
  for (int32_t y = 0; y < ah; ++y) {
    const float* acc = buffers.accumulator_ + static_cast<std::ptrdiff_t>(y) * aw * 4;
    const uint8_t* src = in.input.pixel(area.left, area.top + y);
    uint8_t* dst = in.output.pixel(area.left, area.top + y);
    for (int32_t x = 0; x < aw; ++x, acc += 4, src += 4, dst += 4) {
      const auto w = static_cast<double>(acc[0]);
      const uint8_t alpha = src[0];
      double s = w > 0.0 ? full / w : 1.0;
      if (!state.options.alpha_bokeh && alpha == 0) s = 1.0;
      dst[0] = state.options.alpha_bokeh ? output_value(full_inv > 0.0 ? curve_E_inv(w, h, f0) * 255.0 / full_inv : 0.0)
                                         : alpha;
      dst[1] = to_byte(s * static_cast<double>(acc[1]));
      dst[2] = to_byte(s * static_cast<double>(acc[2]));
      dst[3] = to_byte(s * static_cast<double>(acc[3]));
    }
  }
  return {};
}

}  // namespace velune
