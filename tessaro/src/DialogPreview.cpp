#include "tessaro/DialogPreview.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "TurnedPlace.h"
#include "tessaro/Interpolation.h"

namespace tessaro {

int PreviewScaleFor(int previewSize) {
  static const int kScales[6] = {2, 4, 6, 8, 12, 16};
  return kScales[std::clamp(previewSize, 1, 6) - 1];
}

PreviewOptions PreviewOptions::From(const GeneralSettings& g) {
  PreviewOptions o;
  o.warnBeforeTone = g.highlightsWarningPre;
  o.warnAfterTone = g.highlightsWarningPost;
  o.focusArea = g.focusArea;
  o.colorManagement = g.colorManagement;
  o.scale = PreviewScaleFor(g.previewSize);
  o.histogramSource = HistogramOptions::From(g).source;
  return o;
}

ConversionSettings PreviewSettings(const ConversionSettings& s, const PreviewOptions& o) {
  ConversionSettings p(s);
  if (o.colorManagement) p.ConvertToMonitor = true;
  return p;
}

bool FocusRectangle(const RawFile& file, int cameraOrientation, WindowRect& out) {
  const auto area = file.GetSubjectArea();
  if (!area || area->width <= 0 || area->height <= 0) return false;
  const std::uint32_t W = file.SensorWidth(), H = file.SensorHeight();
  long long cx = area->x, cy = area->y, w = area->width, h = area->height;
  if (cx < 0 || cy < 0 || cx >= W || cy >= H) return false;
  Turn turn;
  if (TurnForOrientation(cameraOrientation, turn)) {
    // The same turns the plane takes when it is loaded.
    std::uint32_t tx = 0, ty = 0;
    TurnedPlace(true, turn, W, H, static_cast<std::uint32_t>(cx), static_cast<std::uint32_t>(cy), tx, ty);
    cx = tx;
    cy = ty;
    if (turn != Turn::Half) std::swap(w, h);
  }
  out = {static_cast<int>(cx - w / 2), static_cast<int>(cy - h / 2), static_cast<int>(cx - w / 2 + w),
         static_cast<int>(cy - h / 2 + h)};
  return true;
}

void DrawFrame(RgbPicture& p, const WindowRect& r) {
  auto put = [&p](int x, int y, std::uint8_t v) {
    if (x < 0 || y < 0 || x >= static_cast<int>(p.width) || y >= static_cast<int>(p.height)) return;
    std::uint8_t* px = p.rgb.data() + (static_cast<std::size_t>(y) * p.width + static_cast<std::size_t>(x)) * 3;
    px[0] = px[1] = px[2] = v;
  };
  for (int ring = 0; ring < 2; ++ring) {
    const std::uint8_t v = ring == 0 ? 255 : 0;
    const int l = r.left + ring, t = r.top + ring, rt = r.right - 1 - ring, b = r.bottom - 1 - ring;
    if (rt < l || b < t) break;
    for (int x = l; x <= rt; ++x) {
      put(x, t, v);
      put(x, b, v);
    }
    for (int y = t; y <= b; ++y) {
      put(l, y, v);
      put(rt, y, v);
    }
  }
}

void TurnPicture(RgbPicture& p, int rotation) {
  static const Turn kTurns[4] = {Turn::Half, Turn::QuarterCcw, Turn::Half, Turn::QuarterCw};
  rotation &= 3;
  if (!rotation || p.rgb.empty()) return;
  using Px = std::array<std::uint8_t, 3>;
  std::unique_ptr<Px[]> px(new Px[std::size_t{p.width} * p.height]);
  std::memcpy(px.get(), p.rgb.data(), p.rgb.size());
  std::uint32_t w = p.width, h = p.height;
  if (!TurnPixels(px, w, h, kTurns[rotation])) return;
  std::memcpy(p.rgb.data(), px.get(), p.rgb.size());
  p.width = w;
  p.height = h;
}

namespace {

std::uint16_t Limit(std::uint16_t v) { return v > kRawMax ? kRawMax : v; }

// Output bytes that saturate in any channel become the clip colour.
void MarkSaturated(std::uint8_t* rgb, std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; ++i, rgb += 3)
    if (rgb[0] == 255 || rgb[1] == 255 || rgb[2] == 255) std::memcpy(rgb, kClipColour, 3);
}

}  // namespace

bool PreviewRenderer::Begin(RawFile& file, const ConversionSettings& s, const CameraWb& cam, const PreviewOptions& o,
                            int cameraOrientation, std::string* error) {
  const PreviewImage* src = file.Preview(o.scale);
  if (!src || !src->valid || src->kind != kPreviewRgb) {
    if (error) *error = "no reduced preview of scale " + std::to_string(o.scale);
    return false;
  }
  ColourConverter colour;
  if (!colour.Start(PreviewSettings(s, o), &file, 8, nullptr, error)) return false;
  colour_ = std::move(colour);
  src_ = src;
  opt_ = o;
  BuildChannelLuts(s, cam, o.warnBeforeTone, luts_);
  // Red, green 1 and blue phases, as the reduced pixels hold them.
  for (int b = 0; b < kHistogramBins; ++b) {
    const int in = b * 16 + 8;
    curves_[0][static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(luts_[0][static_cast<std::size_t>(in)] * 255 / 4095);
    curves_[1][static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(luts_[2][static_cast<std::size_t>(in)] * 255 / 4095);
    curves_[2][static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(luts_[3][static_cast<std::size_t>(in)] * 255 / 4095);
  }
  focus_ = false;
  WindowRect r;
  if (o.focusArea && FocusRectangle(file, cameraOrientation, r)) {
    focus_ = true;
    focusRect_ = {r.left / src->scale, r.top / src->scale, r.right / src->scale, r.bottom / src->scale};
  }
  work_.width = src->width;
  work_.height = src->height;
  work_.rgb.resize(std::size_t{src->width} * src->height * 3);
  row_.resize(std::size_t{src->width} * 3);
  workHist_.Clear();
  next_ = 0;
  return true;
}

bool PreviewRenderer::Step(int rows) {
  if (!Busy()) return true;
  const int end = std::min<int>(static_cast<int>(work_.height), next_ + std::max(rows, 1));
  const std::size_t w = work_.width;
  for (; next_ < end; ++next_) {
    const std::uint16_t* in = src_->At(0, static_cast<std::uint32_t>(next_));
    for (std::size_t x = 0; x < w; ++x) {
      row_[3 * x] = luts_[0][Limit(in[3 * x])];
      row_[3 * x + 1] = luts_[2][Limit(in[3 * x + 1])];
      row_[3 * x + 2] = luts_[3][Limit(in[3 * x + 2])];
    }
    std::uint8_t* out = work_.rgb.data() + static_cast<std::size_t>(next_) * w * 3;
    colour_.Row(row_.data(), w, out);
    if (opt_.histogramSource == kSourceRaw) CountRgb12(in, w, workHist_);
    else CountRgb8(out, w, workHist_);
    if (opt_.warnAfterTone) MarkSaturated(out, w);
  }
  if (Busy()) return false;
  if (focus_) DrawFrame(work_, focusRect_);
  done_ = work_;
  hist_ = workHist_;
  return true;
}

bool RenderZoom(const RawFile& file, const ConversionSettings& s, const CameraWb& cam, const PreviewOptions& o, int cx,
                int cy, int viewWidth, int viewHeight, int zoom, RgbPicture& out, std::string* error) {
  auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (!file.HasPlane()) return fail("no raw plane");
  if (viewWidth <= 0 || viewHeight <= 0) return fail("empty view");
  zoom = std::clamp(zoom, 1, 8);
  const int W = static_cast<int>(file.PlaneWidth()), H = static_cast<int>(file.PlaneHeight());
  const int rw = std::min(W, (viewWidth + zoom - 1) / zoom), rh = std::min(H, (viewHeight + zoom - 1) / zoom);
  const int x0 = std::clamp(cx - rw / 2, 0, W - rw), y0 = std::clamp(cy - rh / 2, 0, H - rh);
  // Room for the widest neighbourhood of any method; an even origin keeps the Bayer order.
  constexpr int kMargin = 6;
  const int sx0 = std::max(0, x0 - kMargin) & ~1, sy0 = std::max(0, y0 - kMargin) & ~1;
  const int sx1 = std::min(W, x0 + rw + kMargin), sy1 = std::min(H, y0 + rh + kMargin);
  const int sw = sx1 - sx0, sh = sy1 - sy0;
  std::vector<std::uint16_t> sub(static_cast<std::size_t>(sw) * static_cast<std::size_t>(sh));
  for (int y = 0; y < sh; ++y)
    std::memcpy(sub.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(sw),
                file.Plane() + static_cast<std::size_t>(sy0 + y) * static_cast<std::size_t>(W) + static_cast<std::size_t>(sx0),
                static_cast<std::size_t>(sw) * sizeof(std::uint16_t));
  ChannelLuts luts;
  BuildChannelLuts(s, cam, o.warnBeforeTone, luts);
  ApplyChannelLuts(sub.data(), static_cast<std::uint32_t>(sw), static_cast<std::uint32_t>(sh), file.GetBayerOrder(), luts);
  Demosaicer d;
  if (!d.Start(sub.data(), static_cast<std::uint32_t>(sw), static_cast<std::uint32_t>(sh), file.GetBayerOrder(),
               s.Interpolation, true, error))
    return false;
  ColourConverter colour;
  if (!colour.Start(PreviewSettings(s, o), &file, 8, nullptr, error)) return false;
  const ReadWindow& win = d.Window();
  const std::size_t ow = static_cast<std::size_t>(win.width);
  std::vector<std::uint8_t> rows(ow * static_cast<std::size_t>(win.height) * 3);
  std::vector<std::uint16_t> rgb(ow * 3);
  for (int y = 0; d.NextRow(rgb.data()); ++y) {
    std::uint8_t* o8 = rows.data() + static_cast<std::size_t>(y) * ow * 3;
    colour.Row(rgb.data(), ow, o8);
    if (o.warnAfterTone) MarkSaturated(o8, ow);
  }
  out.width = static_cast<std::uint32_t>(viewWidth);
  out.height = static_cast<std::uint32_t>(viewHeight);
  out.rgb.assign(std::size_t{out.width} * out.height * 3, kZoomBackground);
  const int div = std::max(1, win.divisor);
  for (int vy = 0; vy < viewHeight; ++vy) {
    const int py = y0 + vy / zoom;
    const int oy = (py - sy0) / div - win.top;
    if (py >= H || oy < 0 || oy >= win.height) continue;
    for (int vx = 0; vx < viewWidth; ++vx) {
      const int px = x0 + vx / zoom;
      const int ox = (px - sx0) / div - win.left;
      if (px >= W || ox < 0 || ox >= win.width) continue;
      std::memcpy(out.rgb.data() + (static_cast<std::size_t>(vy) * out.width + static_cast<std::size_t>(vx)) * 3,
                  rows.data() + (static_cast<std::size_t>(oy) * ow + static_cast<std::size_t>(ox)) * 3, 3);
    }
  }
  return true;
}

}  // namespace tessaro
