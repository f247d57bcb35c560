#include "coralin/Cr4Engine.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <jpeglib.h>
// jerror.h after jpeglib.h, for the message codes
#include <jerror.h>

#include "HnCode/HnErrorCode.h"

// libjpeg is C: its fatal errors, and ours raised inside its callbacks, leave through
// longjmp back to the guarded call that entered it, and are raised as C++ exceptions from
// there. No C++ object with a destructor lives between a guard and libjpeg.

namespace {

constexpr size_t kDestBuffer = 4096;

const CrTransferRate kRates[kCrTransferRateCount] = {
    {"Unlimited", 0, "Unlimited"},
    {"T1", 1540000, "1540"},
    {"256K", 256000, "256"},
    {"ISDN - Dual Channel", 128000, "128"},
    {"56K", 56000, "56"},
    {"28.8K", 28800, "28.8"},
    {"19.2K", 19200, "19.2"},
    {"14.4K", 14400, "14.4"},
    {"9.6K", 9600, "9.6"},
};

struct Guard {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  HnErrorCode pending;  // an error of ours raised inside a callback
  bool hasPending = false;
};

extern "C" void OnErrorExit(j_common_ptr cinfo) {
  auto* g = reinterpret_cast<Guard*>(cinfo->err);
  std::longjmp(g->jump, 1);
}
// Warnings (a truncated tile stream) are expected; nothing is printed.
extern "C" void OnEmitMessage(j_common_ptr, int) {}
extern "C" void OnOutputMessage(j_common_ptr) {}

void InitGuard(Guard& g) {
  jpeg_std_error(&g.pub);
  g.pub.error_exit = OnErrorExit;
  g.pub.emit_message = OnEmitMessage;
  g.pub.output_message = OnOutputMessage;
}

// Runs fn inside libjpeg's reach; false when it left through the error exit.
template <class Fn>
bool Guarded(Guard& g, Fn&& fn) {
  if (setjmp(g.jump)) return false;
  fn();
  return true;
}

[[noreturn]] void RaiseFrom(Guard& g) {
  if (g.hasPending) throw g.pending;
  HN_THROW(kHnErrUnknown);
}

// Stores an exception thrown by our part of a callback, to be raised once libjpeg is left.
template <class Fn>
bool Capture(Guard& g, Fn&& fn) {
  try {
    fn();
    return true;
  } catch (const HnErrorCode& e) {
    g.pending = e;
  } catch (const std::bad_alloc&) {
    g.pending = HnErrorCode(kHnErrNoMemory, 0, __FILE__, __LINE__);
  } catch (...) {
    g.pending = HnErrorCode(kHnErrUnknown, 0, __FILE__, __LINE__);
  }
  g.hasPending = true;
  return false;
}

// The tile's stream goes to a growing memory buffer.
struct TileDest {
  jpeg_destination_mgr pub;
  std::vector<uint8_t>* buf;
  Guard* guard;
};

extern "C" void OnTileInit(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<TileDest*>(cinfo->dest);
  d->pub.next_output_byte = d->buf->data();
  d->pub.free_in_buffer = d->buf->size();
}
extern "C" boolean OnTileFull(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<TileDest*>(cinfo->dest);
  const size_t used = d->buf->size();
  // libjpeg wants the whole buffer to count as used here, whatever free_in_buffer says.
  if (!Capture(*d->guard, [&] { d->buf->resize(used * 2); })) std::longjmp(d->guard->jump, 1);
  d->pub.next_output_byte = d->buf->data() + used;
  d->pub.free_in_buffer = d->buf->size() - used;
  return TRUE;
}
extern "C" void OnTileTerm(j_compress_ptr) {}

// The decoder is handed the whole buffered stream at its first request.
struct TileSource {
  jpeg_source_mgr pub;
  const uint8_t* data;
  size_t size;
  bool handed;
};
const JOCTET kEoi[2] = {0xFF, JPEG_EOI};

extern "C" void OnSourceInit(j_decompress_ptr) {}
extern "C" boolean OnSourceFill(j_decompress_ptr cinfo) {
  auto* s = reinterpret_cast<TileSource*>(cinfo->src);
  if (!s->handed && s->size) {
    s->handed = true;
    s->pub.next_input_byte = s->data;
    s->pub.bytes_in_buffer = s->size;
    return TRUE;
  }
  auto* common = reinterpret_cast<j_common_ptr>(cinfo);
  if (!s->handed) {
    cinfo->err->msg_code = JERR_INPUT_EMPTY;
    (*cinfo->err->error_exit)(common);
  }
  cinfo->err->msg_code = JWRN_JPEG_EOF;
  (*cinfo->err->emit_message)(common, -1);
  s->pub.next_input_byte = kEoi;
  s->pub.bytes_in_buffer = 2;
  return TRUE;
}
extern "C" void OnSourceSkip(j_decompress_ptr cinfo, long count) {
  jpeg_source_mgr* src = cinfo->src;
  if (count <= 0) return;
  while (static_cast<size_t>(count) > src->bytes_in_buffer) {
    count -= static_cast<long>(src->bytes_in_buffer);
    (void)(*src->fill_input_buffer)(cinfo);
  }
  src->next_input_byte += count;
  src->bytes_in_buffer -= static_cast<size_t>(count);
}
extern "C" void OnSourceTerm(j_decompress_ptr) {}

template <class T>
void Allocate(std::vector<T>& v, size_t n) {
  try {
    v.assign(n, T{});
  } catch (const std::bad_alloc&) {
    HN_THROW(kHnErrNoMemory);
  }
}

int32_t Clamp100(int32_t v) { return std::clamp(v, 0, 100); }

}  // namespace

// The compression of one measuring or writing pass, with the destination of Part modes.
struct Cr4Engine::Pass {
  jpeg_compress_struct cinfo{};
  Guard guard;
  jpeg_destination_mgr dest{};
  Cr4Engine* engine = nullptr;
  bool created = false;
  uint8_t buffer[kDestBuffer];

  ~Pass() {
    if (created) jpeg_destroy_compress(&cinfo);
  }
};

namespace {
extern "C" void OnPassInit(j_compress_ptr cinfo) {
  auto* p = static_cast<Cr4Engine::Pass*>(cinfo->client_data);
  p->dest.next_output_byte = p->buffer;
  p->dest.free_in_buffer = kDestBuffer;
}
}  // namespace

struct Cr4EngineAccess {
  static void Full(Cr4Engine& e, const uint8_t* d, size_t n) { e.OnBufferFull(d, n); }
  static void Finish(Cr4Engine& e, const uint8_t* d, size_t n) { e.OnFinish(d, n); }
};

namespace {
extern "C" boolean OnPassFull(j_compress_ptr cinfo) {
  auto* p = static_cast<Cr4Engine::Pass*>(cinfo->client_data);
  if (!Capture(p->guard, [&] { Cr4EngineAccess::Full(*p->engine, p->buffer, kDestBuffer); }))
    std::longjmp(p->guard.jump, 1);
  p->dest.next_output_byte = p->buffer;
  p->dest.free_in_buffer = kDestBuffer;
  return TRUE;
}
extern "C" void OnPassTerm(j_compress_ptr cinfo) {
  auto* p = static_cast<Cr4Engine::Pass*>(cinfo->client_data);
  const size_t n = kDestBuffer - p->dest.free_in_buffer;
  if (!Capture(p->guard, [&] { Cr4EngineAccess::Finish(*p->engine, p->buffer, n); }))
    std::longjmp(p->guard.jump, 1);
}

struct CompressOptions {
  int32_t width, height;
  bool grey;
  int32_t quality, smoothing;
  bool optimize, betterSampling, progressive;
  int32_t hDpi, vDpi;
  bool density;
};

// Steps 2-5 of every compression: image, defaults, quality with baseline tables, smoothing,
// Huffman optimisation, sampling, progression, density.
void Configure(jpeg_compress_struct& c, const CompressOptions& o) {
  c.image_width = static_cast<JDIMENSION>(o.width);
  c.image_height = static_cast<JDIMENSION>(o.height);
  c.input_components = o.grey ? 1 : 3;
  c.in_color_space = o.grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, o.quality, TRUE);
  c.smoothing_factor = o.smoothing;
  c.optimize_coding = o.optimize ? TRUE : FALSE;
  if (o.betterSampling) {
    c.comp_info[0].h_samp_factor = 1;
    c.comp_info[0].v_samp_factor = 1;
  }
  if (o.progressive) jpeg_simple_progression(&c);
  if (o.density) {
    c.density_unit = 1;
    c.X_density = static_cast<UINT16>(std::clamp(o.hDpi, 0, 65535));
    c.Y_density = static_cast<UINT16>(std::clamp(o.vDpi, 0, 65535));
  }
}
}  // namespace

const CrTransferRate& CrTransferRateFor(int32_t code) {
  if (code < 1 || code > kCrTransferRateCount) code = kCrDefaultTransferRate;
  return kRates[code - 1];
}

Cr4Engine::Cr4Engine(int32_t width, int32_t height, const uint8_t* pixels, int32_t rowBytes,
                     std::vector<const HnGrayscaleImage*> extraPlanes, std::vector<std::string> planeNames,
                     int32_t channelIndex)
    : width_(width), height_(height), rowBytes_(rowBytes), pixels_(pixels), planes_(std::move(extraPlanes)),
      planeNames_(std::move(planeNames)) {
  HN_REQUIRE(width >= 0 && height >= 0 && (pixels || width == 0 || height == 0));
  const uint64_t total = uint64_t(width) * uint64_t(height) * 3u;
  if (total > UINT32_MAX) HN_THROW(kHnErrOverflow);
  total_ = static_cast<uint32_t>(total);
  Allocate(rowBuffer_, static_cast<size_t>(width) * 3u + 1u);
  Allocate(tileStream_, kDestBuffer);
  for (int32_t y = 0; y < height_ && grey_; ++y) {
    const uint8_t* p = pixels_ + static_cast<ptrdiff_t>(y) * rowBytes_;
    for (int32_t x = 0; x < width_; ++x, p += 3)
      if (p[0] != p[1] || p[1] != p[2]) {
        grey_ = false;
        break;
      }
  }
  tileColumns_ = width_ > 0 ? (width_ - 1) / kTile + 1 : 0;
  tileRows_ = height_ > 0 ? (height_ - 1) / kTile + 1 : 0;
  SelectExtraPlane(channelIndex);
}

Cr4Engine::~Cr4Engine() {
  if (plane_ >= 0) planes_[static_cast<size_t>(plane_)]->Unlock();
}

void Cr4Engine::Changed(CrSetting which, int32_t value, bool restarts) {
  if (mode_ != CrMode::kDialog) return;
  if (view_) view_->ShowSetting(which, value);
  if (!restarts) return;
  changedSinceSearch_ = true;
  RequestRestart();
}

void Cr4Engine::RequestRestart() {
  if (compressing_)
    stopRestart_ = true;
  else if (view_)
    view_->PostRestart();
}

bool Cr4Engine::RequestClose() {
  if (!compressing_) return false;
  stopClose_ = true;
  return true;
}

void Cr4Engine::SetQuality(int32_t q) {
  q = Clamp100(q);
  if (q == settings_.quality) return;
  settings_.quality = static_cast<uint8_t>(q);
  Changed(CrSetting::kQuality, q);
}

void Cr4Engine::SetSmoothing(int32_t s) {
  s = Clamp100(s);
  if (s == settings_.smoothing) return;
  settings_.smoothing = static_cast<uint8_t>(s);
  smoothedValid_ = false;
  Changed(CrSetting::kSmoothing, s);
}

void Cr4Engine::SetOptimize(int32_t on) {
  const uint8_t v = on ? 1 : 0;
  if (v == settings_.optimize) return;
  settings_.optimize = v;
  Changed(CrSetting::kOptimize, v);
}

void Cr4Engine::SetBetterSampling(int32_t on) {
  const uint8_t v = on ? 1 : 0;
  if (v == settings_.betterSampling) return;
  settings_.betterSampling = v;
  Changed(CrSetting::kBetterSampling, v);
}

void Cr4Engine::SetProgressive(int32_t on) {
  const uint8_t v = on ? 1 : 0;
  if (v == settings_.progressive) return;
  settings_.progressive = v;
  Changed(CrSetting::kProgressive, v);
}

void Cr4Engine::SetSmoothingOperation(int32_t op) {
  if (op < 0 || op > 2 || plane_ < 0) op = 0;
  if (op == settings_.smoothingOperation) return;
  settings_.smoothingOperation = static_cast<uint8_t>(op);
  smoothedValid_ = false;
  Changed(CrSetting::kSmoothingOperation, op);
}

void Cr4Engine::SetTargetOn(int32_t on) {
  const uint8_t v = on ? 1 : 0;
  if (v == settings_.targetOn) return;
  settings_.targetOn = v;
  Changed(CrSetting::kTargetOn, v, false);
}

void Cr4Engine::SetTargetSize(int32_t kilobytes) {
  if (kilobytes < 1) kilobytes = 1;
  if (kilobytes == settings_.targetSize) return;
  settings_.targetSize = kilobytes;
  Changed(CrSetting::kTargetSize, kilobytes, false);
}

void Cr4Engine::SetSettings(const CrSettings& s) {
  SetQuality(s.quality);
  SetSmoothing(s.smoothing);
  SetOptimize(s.optimize);
  SetBetterSampling(s.betterSampling);
  SetProgressive(s.progressive);
  SetSmoothingOperation(s.smoothingOperation);
  SetTargetOn(s.targetOn);
  SetTargetSize(s.targetSize);
}

void Cr4Engine::SetDensity(int32_t horizontalDpi, int32_t verticalDpi) {
  hDpi_ = horizontalDpi;
  vDpi_ = verticalDpi;
}

void Cr4Engine::SelectExtraPlane(int32_t index) {
  if (index < 0 || index >= ExtraPlaneCount()) index = -1;
  const HnGrayscaleImage* img = index >= 0 ? planes_[static_cast<size_t>(index)] : nullptr;
  // A plane that does not cover the image cannot drive its smoothing.
  if (img && (img->Width() != width_ || img->Height() != height_)) index = -1, img = nullptr;
  if (index == plane_) return;
  const uint8_t* locked = img ? img->Lock() : nullptr;
  if (plane_ >= 0) planes_[static_cast<size_t>(plane_)]->Unlock();
  plane_ = index;
  planePixels_ = locked;
  planeRowBytes_ = img ? img->RowBytes() : 0;
  smoothedValid_ = false;
  if (plane_ < 0 && settings_.smoothingOperation != 0) SetSmoothingOperation(0);
  Changed(CrSetting::kExtraPlane, plane_, settings_.smoothingOperation != 0);
}

void CrBlur(const uint8_t* src, int32_t w, int32_t h, int32_t rowBytes, uint8_t* dst) {
  auto at = [&](int32_t x, int32_t y, int c) -> uint32_t { return src[static_cast<ptrdiff_t>(y) * rowBytes + 3 * x + c]; };
  if (w < 2 || h < 2) {
    for (int32_t y = 0; y < h; ++y)
      std::memcpy(dst + static_cast<ptrdiff_t>(y) * rowBytes, src + static_cast<ptrdiff_t>(y) * rowBytes,
                  static_cast<size_t>(w) * 3u);
    return;
  }
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* out = dst + static_cast<ptrdiff_t>(y) * rowBytes;
    const bool edgeRow = y == 0 || y == h - 1;
    const int32_t ny = y == 0 ? 1 : h - 2;  // the neighbouring row of an edge row
    for (int32_t x = 0; x < w; ++x) {
      const bool edgeCol = x == 0 || x == w - 1;
      const int32_t nx = x == 0 ? 1 : w - 2;
      for (int c = 0; c < 3; ++c) {
        uint32_t v;
        if (edgeRow && edgeCol) {
          v = (at(x, y, c) + at(nx, y, c) + at(x, ny, c) + at(nx, ny, c)) >> 2;
        } else if (edgeRow) {
          v = (at(x - 1, y, c) + at(x, y, c) + at(x + 1, y, c) + at(x - 1, ny, c) + at(x, ny, c) + at(x + 1, ny, c)) / 6;
        } else if (edgeCol) {
          v = (at(x, y - 1, c) + at(x, y, c) + at(x, y + 1, c) + at(nx, y - 1, c) + at(nx, y, c) + at(nx, y + 1, c)) / 6;
        } else {
          v = (at(x - 1, y - 1, c) + at(x + 1, y - 1, c) + at(x - 1, y + 1, c) + at(x + 1, y + 1, c) +
               2 * (at(x, y - 1, c) + at(x - 1, y, c) + at(x, y, c) + at(x + 1, y, c) + at(x, y + 1, c))) / 14;
        }
        out[3 * x + c] = static_cast<uint8_t>(v);
      }
    }
  }
}

void Cr4Engine::PrepareSmoothed() {
  if (settings_.smoothingOperation == 0 || plane_ < 0 || smoothedValid_) return;
  const size_t bytes = static_cast<size_t>(height_) * static_cast<size_t>(rowBytes_);
  if (blurred_.empty() && bytes) {
    Allocate(blurred_, bytes);
    CrBlur(pixels_, width_, height_, rowBytes_, blurred_.data());
  }
  if (smoothed_.size() != bytes) Allocate(smoothed_, bytes);
  const uint32_t s = settings_.smoothing;
  const bool fore = settings_.smoothingOperation == 1;
  const HnGrayscaleImage& mask = *planes_[static_cast<size_t>(plane_)];
  for (int32_t y = 0; y < height_; ++y) {
    const ptrdiff_t off = static_cast<ptrdiff_t>(y) * rowBytes_;
    const uint8_t* o = pixels_ + off;
    const uint8_t* b = blurred_.data() + off;
    const uint8_t* t = planePixels_ + static_cast<ptrdiff_t>(y) * planeRowBytes_;
    uint8_t* out = smoothed_.data() + off;
    for (int32_t x = 0; x < width_; ++x) {
      const uint32_t a = mask.MaskValue(t[x]);
      for (int c = 0; c < 3; ++c) {
        const uint32_t ov = o[3 * x + c], bv = b[3 * x + c];
        const uint32_t mix = fore ? bv * a + ov * (255 - a) : bv * (255 - a) + ov * a;
        out[3 * x + c] = static_cast<uint8_t>((mix * s + ov * (25500 - 255 * s)) / 25500);
      }
    }
  }
  smoothedValid_ = true;
  stripRow_ = -1;  // the coded tiles showed the old copy
}

const uint8_t* Cr4Engine::SourceRow(int32_t y) const {
  const uint8_t* base = settings_.smoothingOperation != 0 && plane_ >= 0 ? smoothed_.data() : pixels_;
  return base + static_cast<ptrdiff_t>(y) * rowBytes_;
}

const uint8_t* Cr4Engine::FeedRow(int32_t y) {
  const uint8_t* row = SourceRow(y);
  if (!grey_) return row;
  for (int32_t x = 0; x < width_; ++x) rowBuffer_[static_cast<size_t>(x)] = row[3 * x];
  return rowBuffer_.data();
}

void Cr4Engine::OnBufferFull(const uint8_t* data, size_t n) {
  if (mode_ == CrMode::kWrite && (!output_ || output_->Write(data, n) != n)) HN_THROW(kHnErrIO);
  produced_ += static_cast<uint32_t>(n);
  ShowRunningEstimate();
}

void Cr4Engine::OnFinish(const uint8_t* data, size_t n) {
  if (mode_ == CrMode::kWrite && (!output_ || (n && output_->Write(data, n) != n) || !output_->Flush()))
    HN_THROW(kHnErrIO);
  produced_ += static_cast<uint32_t>(n);
  ShowRunningEstimate();
}

void Cr4Engine::Compress() {
  if (compressing_) {
    // A size search started while a dialog pass waits in the message drain (a preset with its
    // target on) measures on its own object; the waiting pass is then out of date.
    if (mode_ != CrMode::kSilent) return;
    RunPass();
    stopRestart_ = true;
    return;
  }
  compressing_ = true;
  stopClose_ = stopRestart_ = false;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{compressing_};
  RunPass();
}

void Cr4Engine::RunPass() {
  PrepareSmoothed();
  stripRow_ = -1;
  produced_ = consumed_ = 0;
  const bool dialog = mode_ == CrMode::kDialog;
  if (dialog && view_) {
    view_->EnableFind(false);
    view_->SetShortSizeText("");
    ShowRunningEstimate();
  }
  std::unique_ptr<Pass> p(new (std::nothrow) Pass);
  if (!p) HN_THROW(kHnErrNoMemory);
  p->engine = this;
  InitGuard(p->guard);
  p->cinfo.err = &p->guard.pub;
  p->cinfo.client_data = p.get();
  p->dest.init_destination = OnPassInit;
  p->dest.empty_output_buffer = OnPassFull;
  p->dest.term_destination = OnPassTerm;
  const CompressOptions opt{width_, height_, grey_, settings_.quality,
                            settings_.smoothingOperation == 0 ? settings_.smoothing : 0,
                            settings_.optimize != 0, settings_.betterSampling != 0, settings_.progressive != 0,
                            hDpi_, vDpi_, true};
  Pass* raw = p.get();
  if (!Guarded(raw->guard, [raw, &opt] {
        jpeg_create_compress(&raw->cinfo);
        raw->created = true;
        raw->cinfo.dest = &raw->dest;
        Configure(raw->cinfo, opt);
        jpeg_start_compress(&raw->cinfo, TRUE);
      }))
    RaiseFrom(raw->guard);

  const uint32_t rowBytes = static_cast<uint32_t>(width_) * 3u;
  auto feed = [&](int32_t y) {
    JSAMPROW row = const_cast<JSAMPROW>(FeedRow(y));
    if (!Guarded(raw->guard, [raw, row] { jpeg_write_scanlines(&raw->cinfo, const_cast<JSAMPARRAY>(&row), 1); }))
      RaiseFrom(raw->guard);
    consumed_ += rowBytes;
  };

  if (!dialog) {
    for (int32_t y = 0; y < height_; ++y) {
      feed(y);
      if (mode_ == CrMode::kWrite && progress_) progress_->Progress(y + 1, height_);
    }
  } else {
    const int32_t tiles = tileColumns_ * tileRows_;
    int32_t tile = 0, y = 0;
    while (tile < tiles || y < height_) {
      if (tile < tiles) {
        CompressTile(tile % tileColumns_, tile / tileColumns_);
        ++tile;
        if (y < height_) feed(y++);
      } else {
        for (int k = 0; k < 2 && y < height_; ++k) feed(y++);
      }
      if (view_) view_->PumpMessages();
      if (stopClose_ || stopRestart_) {
        const bool close = stopClose_;
        p.reset();  // abandoned: the object goes without finishing
        if (view_) close ? view_->PostClose() : view_->PostRestart();
        return;
      }
    }
  }
  if (!Guarded(raw->guard, [raw] { jpeg_finish_compress(&raw->cinfo); })) RaiseFrom(raw->guard);
  p.reset();
  if (dialog && view_) {
    ShowSize(true);
    view_->EnableFind(true);
  }
}

// Tiles are many and small, and libjpeg's set-up for one image costs more than coding
// 32 x 32 pixels. So one compression and one decompression serve a whole row of tiles: the
// tiles lie side by side in one strip image, each on whole MCUs, and every sample that
// libjpeg's smoothing, downsampling or upsampling reads beyond a tile's edge is made to hold
// what a tile coded alone would see there (its own edge, repeated). Blocks are coded
// independently, so each tile's blocks come out as they would alone; the decoder hands back
// its raw planes and the upsampling and colour conversion are done here per tile, with the
// edges of the tile alone.
struct Cr4Engine::TileCodec {
  jpeg_compress_struct c{};
  jpeg_decompress_struct d{};
  Guard guard;
  TileDest dest{};
  TileSource src{};
  bool created = false;

  ~TileCodec() {
    if (created) {
      jpeg_destroy_compress(&c);
      jpeg_destroy_decompress(&d);
    }
  }
};

namespace {

// The decoder's YCbCr to RGB conversion (16-bit fixed point, as libjpeg's tables).
struct YccTables {
  int32_t crR[256], cbB[256], crG[256], cbG[256];
  uint8_t limit[768];  // index + 256 clamped to 0-255
  YccTables() {
    for (int32_t i = 0; i < 768; ++i) limit[i] = static_cast<uint8_t>(std::clamp(i - 256, 0, 255));
    constexpr int32_t kHalf = 1 << 15;
    const auto fix = [](double v) { return static_cast<int32_t>(v * 65536.0 + 0.5); };
    for (int32_t i = 0; i < 256; ++i) {
      const int32_t x = i - 128;
      crR[i] = (fix(1.40200) * x + kHalf) >> 16;
      cbB[i] = (fix(1.77200) * x + kHalf) >> 16;
      crG[i] = -fix(0.71414) * x;
      cbG[i] = -fix(0.34414) * x + kHalf;
    }
  }
};

const YccTables& Ycc() {
  static const YccTables tables;
  return tables;
}

// The decoder's "fancy" 2 x 2 upsampling of one row of a chroma plane of a tile alone: a
// triangle filter, the samples beyond the tile's edges repeating its edge samples.
void FancyRow(const uint8_t* nearRow, const uint8_t* farRow, int32_t width, uint8_t* out) {
  int32_t sums[Cr4Engine::kTile / 2 + 2];
  int32_t* sum = sums + 1;
  for (int32_t j = 0; j < width; ++j) sum[j] = 3 * nearRow[j] + farRow[j];
  sum[-1] = sum[0];
  sum[width] = sum[width - 1];
  for (int32_t j = 0; j < width; ++j) {
    out[2 * j] = static_cast<uint8_t>((3 * sum[j] + sum[j - 1] + 8) >> 4);
    out[2 * j + 1] = static_cast<uint8_t>((3 * sum[j] + sum[j + 1] + 7) >> 4);
  }
}

}  // namespace

void Cr4Engine::DropTileCodec() {
  // A failed object is not reused; its error is copied out before it goes.
  const HnErrorCode err = tileCodec_->guard.hasPending ? tileCodec_->guard.pending
                                                       : HnErrorCode(kHnErrUnknown, 0, __FILE__, __LINE__);
  tileCodec_.reset();
  stripRow_ = -1;
  throw err;
}

void Cr4Engine::CompressTile(int32_t column, int32_t row) {
  HN_REQUIRE(column >= 0 && column < tileColumns_ && row >= 0 && row < tileRows_);
  PrepareSmoothed();
  const int32_t smoothing = settings_.smoothingOperation == 0 ? settings_.smoothing : 0;
  if (stripRow_ != row || stripQuality_ != settings_.quality || stripSmoothing_ != smoothing ||
      stripBetterSampling_ != (settings_.betterSampling != 0))
    CodeStrip(row);
  const HnRect r{column * kTile, row * kTile, std::min(width_, (column + 1) * kTile),
                 std::min(height_, (row + 1) * kTile)};
  TileToBitmap(r);
}

void Cr4Engine::CodeStrip(int32_t row) {
  stripRow_ = -1;
  const int32_t smoothing = settings_.smoothingOperation == 0 ? settings_.smoothing : 0;
  const bool subsampled = !grey_ && settings_.betterSampling == 0;
  const int32_t comps = grey_ ? 1 : 3;
  // Smoothing reads one pixel beyond a tile's edge: a gutter of one MCU holds the repeated
  // edges. Without smoothing every MCU is coded from its own pixels only.
  const int32_t cell = kTile + (smoothing ? 16 : 0);
  const int32_t stripWidth = tileColumns_ * cell;
  const int32_t h = std::min(height_, (row + 1) * kTile) - row * kTile;

  // The strip's pixels: each tile padded to 32 columns with its last column, then the gutter
  // (half its last column, half the next tile's first).
  const size_t stripStride = static_cast<size_t>(stripWidth) * static_cast<size_t>(comps);
  if (stripPixels_.size() < stripStride * static_cast<size_t>(h)) Allocate(stripPixels_, stripStride * static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = SourceRow(row * kTile + y);
    uint8_t* d = stripPixels_.data() + stripStride * static_cast<size_t>(y);
    for (int32_t c = 0; c < tileColumns_; ++c) {
      const int32_t left = c * kTile, w = std::min(width_ - left, kTile);
      const int32_t nextFirst = c + 1 < tileColumns_ ? left + kTile : left + w - 1;
      uint8_t* cellOut = d + static_cast<ptrdiff_t>(c) * cell * comps;
      int32_t x = 0;
      if (!grey_) {
        std::memcpy(cellOut, s + 3 * left, static_cast<size_t>(w) * 3u);
        x = w;
      }
      for (; x < cell; ++x) {
        const int32_t from = x < w ? left + x : (x >= kTile + 8 ? nextFirst : left + w - 1);
        const uint8_t* p = s + 3 * from;
        if (grey_) {
          cellOut[x] = p[0];
        } else {
          cellOut[3 * x] = p[0];
          cellOut[3 * x + 1] = p[1];
          cellOut[3 * x + 2] = p[2];
        }
      }
    }
  }

  // The decoder's raw planes, whole blocks of each component.
  const int32_t maxV = subsampled ? 2 : 1;
  const int32_t groups = (h + 8 * maxV - 1) / (8 * maxV);
  for (int32_t ci = 0; ci < comps; ++ci) {
    const bool full = ci == 0 || !subsampled;
    stripPlaneStride_[ci] = full ? stripWidth : stripWidth / 2;
    const int32_t rows = groups * 8 * (full ? maxV : 1);
    const size_t bytes = static_cast<size_t>(stripPlaneStride_[ci]) * static_cast<size_t>(rows);
    if (stripPlane_[ci].size() < bytes) Allocate(stripPlane_[ci], bytes);
    if (stripPlaneRows_[ci].size() < static_cast<size_t>(rows)) Allocate(stripPlaneRows_[ci], static_cast<size_t>(rows));
    for (int32_t y = 0; y < rows; ++y)
      stripPlaneRows_[ci][static_cast<size_t>(y)] = stripPlane_[ci].data() + static_cast<ptrdiff_t>(y) * stripPlaneStride_[ci];
  }
  if (stripRows_.size() < static_cast<size_t>(h)) Allocate(stripRows_, static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y)
    stripRows_[static_cast<size_t>(y)] = stripPixels_.data() + stripStride * static_cast<size_t>(y);

  if (!tileCodec_) {
    tileCodec_.reset(new (std::nothrow) TileCodec);
    if (!tileCodec_) HN_THROW(kHnErrNoMemory);
    TileCodec* t = tileCodec_.get();
    InitGuard(t->guard);
    t->c.err = &t->guard.pub;
    t->d.err = &t->guard.pub;
    t->dest.pub.init_destination = OnTileInit;
    t->dest.pub.empty_output_buffer = OnTileFull;
    t->dest.pub.term_destination = OnTileTerm;
    t->dest.guard = &t->guard;
    t->src.pub.init_source = OnSourceInit;
    t->src.pub.fill_input_buffer = OnSourceFill;
    t->src.pub.skip_input_data = OnSourceSkip;
    t->src.pub.resync_to_restart = jpeg_resync_to_restart;
    t->src.pub.term_source = OnSourceTerm;
    if (!Guarded(t->guard, [t] {
          jpeg_create_compress(&t->c);
          jpeg_create_decompress(&t->d);
          t->created = true;
          t->c.dest = &t->dest.pub;
          t->d.src = &t->src.pub;
        })) {
      tileCodec_.reset();
      HN_THROW(kHnErrNoMemory);
    }
  }
  TileCodec* t = tileCodec_.get();
  t->guard.hasPending = false;
  t->dest.buf = &tileStream_;
  const CompressOptions opt{stripWidth, h, grey_, settings_.quality, smoothing,
                            false, settings_.betterSampling != 0, false, 0, 0, false};
  JSAMPARRAY rows = stripRows_.data();
  if (!Guarded(t->guard, [t, &opt, rows, h] {
        Configure(t->c, opt);
        jpeg_start_compress(&t->c, TRUE);
        jpeg_write_scanlines(&t->c, rows, static_cast<JDIMENSION>(h));
        jpeg_finish_compress(&t->c);
      }))
    DropTileCodec();

  t->src.data = tileStream_.data();
  t->src.size = tileStream_.size() - t->dest.pub.free_in_buffer;
  t->src.handed = false;
  t->src.pub.next_input_byte = nullptr;
  t->src.pub.bytes_in_buffer = 0;
  JSAMPARRAY planeRows[3] = {stripPlaneRows_[0].data(), comps > 1 ? stripPlaneRows_[1].data() : nullptr,
                             comps > 1 ? stripPlaneRows_[2].data() : nullptr};
  bool layoutOk = true;
  if (!Guarded(t->guard, [t, &planeRows, comps, maxV, &layoutOk] {
        jpeg_decompress_struct* d = &t->d;
        jpeg_read_header(d, TRUE);
        layoutOk = d->num_components == comps && d->max_v_samp_factor == maxV;
        if (!layoutOk) {
          jpeg_abort_decompress(d);
          return;
        }
        d->raw_data_out = TRUE;
        jpeg_start_decompress(d);
        const JDIMENSION lines = static_cast<JDIMENSION>(8 * maxV);
        for (JDIMENSION done = 0; d->output_scanline < d->output_height; done += 8) {
          JSAMPARRAY at[3];
          for (int ci = 0; ci < comps; ++ci) at[ci] = planeRows[ci] + done * static_cast<JDIMENSION>(d->comp_info[ci].v_samp_factor);
          if (jpeg_read_raw_data(d, at, lines) == 0) break;
        }
        jpeg_finish_decompress(d);
      }))
    DropTileCodec();
  if (!layoutOk) HN_THROW(kHnErrUnknown);
  stripRow_ = row;
  stripCell_ = cell;
  stripQuality_ = settings_.quality;
  stripSmoothing_ = smoothing;
  stripBetterSampling_ = settings_.betterSampling != 0;
}

void Cr4Engine::TileToBitmap(const HnRect& r) {
  if (!view_) return;
  const CrBitmap bmp = view_->JpegBitmap();
  if (!bmp.pixels) return;
  const int32_t w = r.Width(), h = r.Height();
  const int32_t base = (r.left / kTile) * stripCell_;
  const uint8_t* const* luma = stripPlaneRows_[0].data();
  if (grey_) {
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* s = luma[y] + base;
      uint8_t* o = bmp.pixels + static_cast<ptrdiff_t>(r.top + y) * bmp.rowBytes + 4 * r.left;
      for (int32_t x = 0; x < w; ++x, o += 4) o[0] = o[1] = o[2] = s[x];
    }
  } else {
    const YccTables& k = Ycc();
    const bool subsampled = settings_.betterSampling == 0;
    const int32_t cw = subsampled ? (w + 1) / 2 : w, ch = subsampled ? (h + 1) / 2 : h;
    const int32_t cbase = subsampled ? base / 2 : base;
    uint8_t cb[kTile], cr[kTile];
    const uint8_t* const* cbRows = stripPlaneRows_[1].data();
    const uint8_t* const* crRows = stripPlaneRows_[2].data();
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* cbLine;
      const uint8_t* crLine;
      if (subsampled && cw <= 2) {
        // libjpeg keeps the triangle filter for planes wider than two samples; narrower
        // ones are upsampled by repeating each sample.
        const int32_t i = y >> 1;
        for (int32_t x = 0; x < w; ++x) {
          cb[x] = cbRows[i][cbase + (x >> 1)];
          cr[x] = crRows[i][cbase + (x >> 1)];
        }
        cbLine = cb;
        crLine = cr;
      } else if (subsampled) {
        const int32_t i = y >> 1;
        const int32_t far = (y & 1) ? std::min(i + 1, ch - 1) : std::max(i - 1, 0);
        FancyRow(cbRows[i] + cbase, cbRows[far] + cbase, cw, cb);
        FancyRow(crRows[i] + cbase, crRows[far] + cbase, cw, cr);
        cbLine = cb;
        crLine = cr;
      } else {
        cbLine = cbRows[y] + cbase;
        crLine = crRows[y] + cbase;
      }
      const uint8_t* yl = luma[y] + base;
      uint8_t* o = bmp.pixels + static_cast<ptrdiff_t>(r.top + y) * bmp.rowBytes + 4 * r.left;
      const uint8_t* limit = k.limit + 256;
      for (int32_t x = 0; x < w; ++x, o += 4) {
        const int32_t lum = yl[x], b = cbLine[x], rr = crLine[x];
        o[0] = limit[lum + k.cbB[b]];
        o[1] = limit[lum + ((k.cbG[b] + k.crG[rr]) >> 16)];
        o[2] = limit[lum + k.crR[rr]];
      }
    }
  }
  view_->TileDecoded(r);
}

uint64_t Cr4Engine::RunningEstimate(uint32_t p, uint32_t c, uint32_t t) {
  // The products are taken in 64 bits: in 32 they wrap once a source has a few megapixels.
  if (p == 0 || c == 0) return 0;
  if (p <= 400 || t <= 400) return uint64_t(p) * t / c;
  return (uint64_t(t / 4) * (p / 4) / c) * 16;
}

uint32_t Cr4Engine::Guess(uint32_t total, int32_t q, bool betterSampling, bool optimize) {
  uint32_t d;
  if (q >= 100) d = 7;
  else if (q == 99) d = 9;
  else if (q == 98) d = 10;
  else if (q >= 96) d = 11;
  else if (q >= 94) d = 14;
  else if (q >= 85) d = 20;
  else if (q >= 60) d = 30;
  else if (q >= 44) d = 50;
  else if (q >= 24) d = 70;
  else d = 100;
  uint64_t g = total / d + 50;
  if (betterSampling) g = g * 14 / 10;
  if (optimize) g = g * 85 / 100;
  return static_cast<uint32_t>(g);
}

uint32_t Cr4Engine::DownloadSeconds(uint64_t bytes, int32_t rateCode) {
  const uint64_t r = CrTransferRateFor(rateCode).bitsPerSecond;
  if (r == 0) return 0;
  return static_cast<uint32_t>((r / 2 + 8 * bytes) / r);
}

std::string Cr4Engine::EstimateText(uint64_t bytes) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "Estimated File Size:  %llu bytes", static_cast<unsigned long long>(bytes));
  return buf;
}

std::string Cr4Engine::FinalText(uint64_t bytes, int32_t rateCode) {
  char buf[120];
  std::snprintf(buf, sizeof buf, "File Size:  %llu bytes - %u seconds @ %s kbps", static_cast<unsigned long long>(bytes),
                DownloadSeconds(bytes, rateCode), CrTransferRateFor(rateCode).label);
  return buf;
}

std::string Cr4Engine::ShortText(uint64_t bytes) {
  char buf[40];
  if (bytes <= 1024)
    std::snprintf(buf, sizeof buf, "%llu Bytes", static_cast<unsigned long long>(bytes));
  else
    std::snprintf(buf, sizeof buf, "%llu K", static_cast<unsigned long long>(bytes / 1024));
  return buf;
}

uint64_t Cr4Engine::CurrentEstimate() const {
  if (produced_ && consumed_) return RunningEstimate(produced_, consumed_, total_);
  return Guess(total_, settings_.quality, settings_.betterSampling, settings_.optimize);
}

uint64_t Cr4Engine::FinalSize() const {
  return produced_ ? produced_ : Guess(total_, settings_.quality, settings_.betterSampling, settings_.optimize);
}

void Cr4Engine::ShowRunningEstimate() {
  if (mode_ == CrMode::kDialog && view_) view_->SetSizeText(EstimateText(CurrentEstimate()));
}

void Cr4Engine::ShowSize(bool final) {
  if (!view_) return;
  if (!final) {
    view_->SetSizeText(EstimateText(CurrentEstimate()));
    return;
  }
  const uint64_t s = FinalSize();
  view_->SetShortSizeText(ShortText(s));
  view_->SetSizeText(FinalText(s, rate_));
}

void Cr4Engine::SetTransferRate(int32_t code) {
  if (code < 1 || code > kCrTransferRateCount) code = kCrDefaultTransferRate;
  rate_ = code;
  if (mode_ != CrMode::kDialog) return;
  if (view_) view_->ShowSetting(CrSetting::kTransferRate, code);
  ShowSize(!compressing_);
}
