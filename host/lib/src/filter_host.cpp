#include "plughost/filter_host.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "hostapi/PIAbout.h"
#include "hostapi/PIFilter.h"
#include "hostapi/SPBasic.h"
#include "plughost/host_memory.h"
#include "plughost/properties.h"
#include "plughost/sp_basic.h"
#include "pssupport/memory.h"

namespace plughost {
namespace {

using Entry = void (*)(int16_t, void*, intptr_t*, int16_t*);

// Callbacks carry no context, and hosts call plug-ins on one thread: the running session
// is a plain global.
class FilterSession;
FilterSession* g_session = nullptr;

struct Request {
  VRect in{}, out{}, mask{};
  int16_t inLo = 0, inHi = -1, outLo = 0, outHi = -1;
  Fixed inputRate = 0x10000, maskRate = 0x10000;
  int16_t inputPadding = 0, maskPadding = 0;
  bool operator==(const Request& o) const {
    auto same = [](const VRect& a, const VRect& b) {
      return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
    };
    return same(in, o.in) && same(out, o.out) && same(mask, o.mask) && inLo == o.inLo && inHi == o.inHi &&
           outLo == o.outLo && outHi == o.outHi && inputRate == o.inputRate && maskRate == o.maskRate &&
           inputPadding == o.inputPadding && maskPadding == o.maskPadding;
  }
};

bool Empty(const VRect& r) { return r.bottom <= r.top || r.right <= r.left; }

class FilterSession {
 public:
  FilterSession(Image& image, const FilterOptions& opt, Progress& progress)
      : image_(image),
        opt_(opt),
        progress_(progress),
        properties_(opt.hostVersion,
                    DocumentFacts{image.width, image.height, static_cast<int16_t>(PlaneCount()), plugInModeRGBColor,
                                  opt.title},
                    memory_),
        scripting_(memory_, opt.scripting) {
    memory_.SetLimit(opt.memoryLimit);
    memory_.FailAllocation(opt.allocationErrorAt);
    BuildPlanes();
    SetUpRecord();
    g_session = this;
    BindMemorySuites(&memory_);
  }
  ~FilterSession() {
    BindMemorySuites(nullptr);
    g_session = nullptr;
  }

  FilterRecord& record() { return rec_; }
  HostMemory& memory() { return memory_; }
  int32_t rowsDelivered() const { return rowsDelivered_; }
  SPBasicSuite* basic() { return suites_.Basic(); }
  const HostProperties& properties() const { return properties_; }
  ScriptingHost& scripting() { return scripting_; }

  // Copies the plug-in's output back into the image and fetches what it asks for now.
  // The plug-in's advanceState: the host may be told to fail it, to exercise error paths.
  int16_t AdvanceStateCall() {
    if (++advanceCalls_ == opt_.advanceErrorAt) return memFullErr;
    return Advance();
  }
  int16_t Advance() {
    WriteBack();
    return Load();
  }
  // Fetches the current request unless it is already what the buffers hold.
  int16_t LoadIfChanged() {
    Request q = CurrentRequest();
    if (loaded_ && q == loadedRequest_) return 0;
    return Advance();
  }
  void WriteBack() {
    if (!loaded_ || Empty(loadedRequest_.out) || outBuf_.empty()) return;
    const Request& q = loadedRequest_;
    const int planes = q.outHi - q.outLo + 1;
    const int32_t w = q.out.right - q.out.left;
    for (int32_t y = q.out.top; y < q.out.bottom; ++y) {
      if (y < 0 || y >= image_.height) continue;
      const uint8_t* row = &outBuf_[static_cast<size_t>(y - q.out.top) * outRowBytes_];
      for (int32_t x = 0; x < w; ++x) {
        const int32_t ix = q.out.left + x;
        if (ix < 0 || ix >= image_.width) continue;
        for (int p = 0; p < planes; ++p) {
          const int plane = q.outLo + p;
          // Only the layer's own planes are written back; extra planes are read-only here.
          if (plane < static_cast<int>(planes_.size()) && planes_[plane].channel >= 0)
            image_.Pixel(ix, y)[planes_[plane].channel] = row[x * planes + p];
        }
      }
    }
  }
  bool AbortRequested() {
    return opt_.cancelAfterRows >= 0 && rowsDelivered_ >= opt_.cancelAfterRows;
  }
  void ReportProgress(int32_t done, int32_t total) { progress_.Update(done, total); }

 private:
  // The layer's own planes: colour, and transparency when the layer has one.
  int PlaneCount() const { return image_.hasAlpha && !opt_.background ? 4 : 3; }

  // Every plane the plug-in can ask for, in the host's order.
  struct PlaneSource {
    int channel = -1;              // of the RGBA image, or -1
    const Image* extra = nullptr;  // a grey extra plane
  };
  void BuildPlanes() {
    for (int c = 0; c < PlaneCount(); ++c) planes_.push_back({c, nullptr});
    using Kind = FilterOptions::ExtraPlane::Kind;
    for (Kind k : {Kind::LayerMask, Kind::InvertedLayerMask, Kind::Alpha})
      for (const auto& e : opt_.extraPlanes)
        if (e.kind == k) {
          planes_.push_back({-1, &e.image});
          ++extraCount_[static_cast<int>(k)];
        }
  }

  void SetUpRecord() {
    std::memset(&rec_, 0, sizeof rec_);
    const int16_t planes = static_cast<int16_t>(planes_.size());
    rec_.abortProc = [] { return static_cast<Boolean>(g_session && g_session->AbortRequested()); };
    rec_.progressProc = [](int32_t done, int32_t total) {
      if (g_session) g_session->ReportProgress(done, total);
    };
    rec_.imageSize.h = static_cast<int16_t>(std::min(image_.width, 32767));
    rec_.imageSize.v = static_cast<int16_t>(std::min(image_.height, 32767));
    rec_.planes = planes;
    VRect whole{0, 0, image_.height, image_.width};
    VRect filter = whole;
    if (opt_.selection) filter = SelectionBounds();
    rec_.filterRect = ToRect(filter);
    auto wide = [](uint8_t v) { return static_cast<uint16_t>(v * 257); };
    rec_.background = {wide(opt_.background_colour[0]), wide(opt_.background_colour[1]), wide(opt_.background_colour[2])};
    rec_.foreground = {wide(opt_.foreground[0]), wide(opt_.foreground[1]), wide(opt_.foreground[2])};
    for (int i = 0; i < 3; ++i) {
      rec_.backColor[i] = opt_.background_colour[i];
      rec_.foreColor[i] = opt_.foreground[i];
    }
    rec_.maxSpace = static_cast<int32_t>(std::min<int64_t>(opt_.memoryLimit, INT32_MAX));
    rec_.haveMask = opt_.selection.has_value();
    rec_.hostSig = kHostSignature;
    rec_.imageMode = plugInModeRGBColor;
    rec_.imageHRes = rec_.imageVRes = opt_.resolution << 16;
    rec_.wholeSize = rec_.imageSize;
    rec_.platformData = &platform_;
    rec_.filterCase = opt_.filterCase ? opt_.filterCase : DefaultFilterCase();
    rec_.supportsPadding = true;
    rec_.supportsAbsolute = true;
    rec_.inputRate = rec_.maskRate = 0x10000;
    const bool alpha = PlaneCount() == 4;
    // The colour planes come first, then the layer's transparency when it has one.
    rec_.inLayerPlanes = rec_.outLayerPlanes = 3;
    rec_.inTransparencyMask = rec_.outTransparencyMask = alpha ? 1 : 0;
    const int16_t masks = static_cast<int16_t>(extraCount_[0]), inverted = static_cast<int16_t>(extraCount_[1]),
                  alphas = static_cast<int16_t>(extraCount_[2]);
    rec_.inLayerMasks = rec_.outLayerMasks = masks;
    rec_.inInvertedLayerMasks = rec_.outInvertedLayerMasks = inverted;
    rec_.inNonLayerPlanes = rec_.outNonLayerPlanes = alphas;
    // Absolute counts as Photoshop gives them: a layer has its colour planes as layer planes;
    // a flat image has none, its colour planes count with the alpha channels.
    const bool layer = PlaneCount() == 4;
    rec_.absLayerPlanes = layer ? 3 : 0;
    rec_.absTransparencyMask = layer ? 1 : 0;
    rec_.absLayerMasks = masks;
    rec_.absInvertedLayerMasks = inverted;
    rec_.absNonLayerPlanes = static_cast<int16_t>(layer ? alphas : 3 + alphas);
    if (opt_.parameters) {
      rec_.parameters = memory_.NewHandle(static_cast<int32_t>(opt_.parameters->size()));
      if (rec_.parameters && !opt_.parameters->empty())
        std::memcpy(*rec_.parameters, opt_.parameters->data(), opt_.parameters->size());
    }
    rec_.depth = 8;
    rec_.displayPixels = [](const PSPixelMap*, const VRect*, int32_t, int32_t, void*) -> OSErr { return 0; };
    rec_.processEvent = [](void*) {};
    if (!opt_.withholdAdvanceState)
      rec_.advanceState = []() -> OSErr { return g_session ? g_session->AdvanceStateCall() : OSErr{-30100}; };
    if (!opt_.withholdBufferProcs) {
      FillBufferProcs(buffers_);
      rec_.bufferProcs = &buffers_;
    }
    if (!opt_.withholdHandleProcs) {
      FillHandleProcs(handles_);
      rec_.handleProcs = &handles_;
    }
    rec_.sSPBasic = suites_.Basic();
    rec_.descriptorParameters = scripting_.Parameters();
    propertyProcs_.propertyProcsVersion = kCurrentPropertyProcsVersion;
    propertyProcs_.numPropertyProcs = kCurrentPropertyProcsCount;
    propertyProcs_.getPropertyProc = [](PIType sig, PIType key, int32_t index, intptr_t* simple, Handle* complex) -> OSErr {
      return g_session->properties().Get(sig, key, index, simple, complex);
    };
    propertyProcs_.setPropertyProc = [](PIType sig, PIType key, int32_t index, intptr_t simple, Handle complex) -> OSErr {
      return g_session->properties().Set(sig, key, index, simple, complex);
    };
    rec_.propertyProcs = &propertyProcs_;
    rec_.getPropertyObsolete = propertyProcs_.getPropertyProc;
    big_.PluginUsing32BitCoordinates = false;
    big_.wholeSize32 = {image_.height, image_.width};
    big_.imageSize32 = big_.wholeSize32;
    big_.filterRect32 = filter;
    rec_.bigDocumentData = &big_;
  }

  int16_t DefaultFilterCase() const {
    if (PlaneCount() == 3) return opt_.selection ? filterCaseFlatImageWithSelection : filterCaseFlatImageNoSelection;
    return opt_.selection ? filterCaseEditableTransparencyWithSelection : filterCaseEditableTransparencyNoSelection;
  }

  VRect SelectionBounds() const {
    const Image& m = *opt_.selection;
    VRect b{image_.height, image_.width, 0, 0};
    for (int32_t y = 0; y < std::min(m.height, image_.height); ++y)
      for (int32_t x = 0; x < std::min(m.width, image_.width); ++x)
        if (m.Pixel(x, y)[0]) {
          b.top = std::min(b.top, y);
          b.left = std::min(b.left, x);
          b.bottom = std::max(b.bottom, y + 1);
          b.right = std::max(b.right, x + 1);
        }
    if (Empty(b)) b = VRect{0, 0, 0, 0};
    return b;
  }

  static Rect ToRect(const VRect& r) {
    auto c = [](int32_t v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); };
    return Rect{c(r.top), c(r.left), c(r.bottom), c(r.right)};
  }
  static VRect ToVRect(const Rect& r) { return VRect{r.top, r.left, r.bottom, r.right}; }

  bool Uses32Bit() const { return big_.PluginUsing32BitCoordinates != 0; }

  Request CurrentRequest() const {
    Request q;
    q.in = Uses32Bit() ? big_.inRect32 : ToVRect(rec_.inRect);
    q.out = Uses32Bit() ? big_.outRect32 : ToVRect(rec_.outRect);
    q.mask = Uses32Bit() ? big_.maskRect32 : ToVRect(rec_.maskRect);
    q.inLo = rec_.inLoPlane;
    q.inHi = rec_.inHiPlane;
    q.outLo = rec_.outLoPlane;
    q.outHi = rec_.outHiPlane;
    q.inputRate = rec_.inputRate;
    q.maskRate = rec_.maskRate;
    q.inputPadding = rec_.inputPadding;
    q.maskPadding = rec_.maskPadding;
    return q;
  }

  // Reads one plane of the source at (x, y), applying the plug-in's padding outside the image.
  bool Sample(int32_t x, int32_t y, int plane, int16_t padding, uint8_t& v) const {
    if (x < 0 || y < 0 || x >= image_.width || y >= image_.height) {
      if (padding >= 0) {
        v = static_cast<uint8_t>(padding);
        return true;
      }
      if (padding != plugInWantsEdgeReplication) return false;
      x = std::clamp(x, 0, image_.width - 1);
      y = std::clamp(y, 0, image_.height - 1);
    }
    v = 0;
    if (plane >= 0 && plane < static_cast<int>(planes_.size())) {
      const PlaneSource& src = planes_[plane];
      if (src.channel >= 0) v = image_.Pixel(x, y)[src.channel];
      else if (x < src.extra->width && y < src.extra->height) v = src.extra->Pixel(x, y)[0];
    }
    return true;
  }

  static int32_t RateStep(Fixed rate) { return rate > 0x10000 ? rate >> 16 : 1; }

  int16_t FillPlanes(const VRect& r, int16_t lo, int16_t hi, Fixed rate, int16_t padding, bool mask,
                     std::vector<uint8_t>& buf, int32_t& rowBytes) {
    if (Empty(r) || (!mask && hi < lo)) {
      buf.clear();
      rowBytes = 0;
      return 0;
    }
    const int planes = mask ? 1 : hi - lo + 1;
    const int32_t w = r.right - r.left, h = r.bottom - r.top;
    if (planes <= 0 || planes > 16 || int64_t{w} * h * planes > opt_.memoryLimit) return -108;
    rowBytes = w * planes;
    buf.assign(static_cast<size_t>(rowBytes) * static_cast<size_t>(h), 0);
    const int32_t step = RateStep(rate);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        for (int p = 0; p < planes; ++p) {
          const int32_t sx = (r.left + x) * step, sy = (r.top + y) * step;
          uint8_t v = 0;
          if (mask) {
            const Image& m = *opt_.selection;
            v = (sx >= 0 && sy >= 0 && sx < m.width && sy < m.height) ? m.Pixel(sx, sy)[0]
                : padding >= 0                                        ? static_cast<uint8_t>(padding)
                                                                      : 0;
          } else if (!Sample(sx, sy, lo + p, padding, v)) {
            v = 0;
          }
          buf[static_cast<size_t>(y) * static_cast<size_t>(rowBytes) + static_cast<size_t>(x * planes + p)] = v;
        }
    return 0;
  }

  int16_t Load() {
    Request q = CurrentRequest();
    int32_t inRowBytes = 0, outRowBytes = 0, maskRowBytes = 0;
    int16_t err = FillPlanes(q.in, q.inLo, q.inHi, q.inputRate, q.inputPadding, false, inBuf_, inRowBytes);
    if (!err) err = FillPlanes(q.out, q.outLo, q.outHi, 0x10000, rec_.outputPadding, false, outBuf_, outRowBytes);
    if (!err && rec_.haveMask)
      err = FillPlanes(q.mask, 0, 0, q.maskRate, q.maskPadding, true, maskBuf_, maskRowBytes);
    if (err) return err;
    rec_.inData = inBuf_.empty() ? nullptr : inBuf_.data();
    rec_.outData = outBuf_.empty() ? nullptr : outBuf_.data();
    rec_.maskData = maskBuf_.empty() ? nullptr : maskBuf_.data();
    rec_.inRowBytes = inRowBytes;
    rec_.outRowBytes = outRowBytes;
    rec_.maskRowBytes = maskRowBytes;
    rec_.inColumnBytes = static_cast<int16_t>(q.inHi - q.inLo + 1);
    rec_.outColumnBytes = static_cast<int16_t>(q.outHi - q.outLo + 1);
    rec_.inPlaneBytes = rec_.outPlaneBytes = 1;
    outRowBytes_ = outRowBytes;
    loadedRequest_ = q;
    loaded_ = true;
    if (!Empty(q.in) || !Empty(q.out)) rowsDelivered_ += std::max(q.in.bottom - q.in.top, q.out.bottom - q.out.top);
    return 0;
  }

  static constexpr OSType kHostSignature = 0x514D5048;  // 'QMPH'

  Image& image_;
  const FilterOptions& opt_;
  Progress& progress_;
  FilterRecord rec_{};
  BigDocumentStruct big_{};
  BufferProcs buffers_{};
  HandleProcs handles_{};
  PlatformData platform_{};
  HostMemory memory_;
  HostProperties properties_;
  PropertyProcs propertyProcs_{};
  SuiteBroker suites_;
  ScriptingHost scripting_;
  std::vector<PlaneSource> planes_;
  int32_t extraCount_[3] = {0, 0, 0};
  std::vector<uint8_t> inBuf_, outBuf_, maskBuf_;
  int32_t outRowBytes_ = 0;
  Request loadedRequest_;
  bool loaded_ = false;
  int32_t rowsDelivered_ = 0;
  int32_t advanceCalls_ = 0;
};

// At the end of a session the host gives back the plug-in's globals and parameters. Host
// handles go with the host's memory; a plug-in without a usable handle suite keeps them in
// system memory behind a tagged block, which hosts recognise and free the same way.
void ReleaseEmulatedHandle(HostMemory& memory, Handle h) {
  if (!h || memory.IsHandle(h)) return;
  // The plug-ins' own fallback knows the tagged block; without a suite it frees system memory.
  qm::ps::PluginMemory(nullptr, nullptr).DisposeHandle(h);
}

bool AnyRequested(const FilterRecord& r, const BigDocumentStruct* big) {
  if (big && big->PluginUsing32BitCoordinates)
    return !Empty(big->inRect32) || !Empty(big->outRect32) || (r.haveMask && !Empty(big->maskRect32));
  auto e = [](const Rect& x) { return x.bottom <= x.top || x.right <= x.left; };
  return !e(r.inRect) || !e(r.outRect) || (r.haveMask && !e(r.maskRect));
}

}  // namespace

FilterOutcome RunFilter(const PluginModule& module, const std::string& entryName, Image& image,
                        const FilterOptions& options, Progress& progress) {
  auto entry = reinterpret_cast<Entry>(module.Symbol(entryName.c_str()));
  if (!entry) throw std::runtime_error("the plug-in exports no \"" + entryName + "\"");
  FilterSession session(image, options, progress);
  FilterRecord& rec = session.record();
  intptr_t data = 0;
  FilterOutcome out;
  if (session.scripting().PlaybackFailed()) {
    out.result = memFullErr;  // no room for the played-back descriptor: nothing runs
    out.selector = "host";
    return out;
  }
  auto call = [&](int16_t selector, const char* name, void* block) {
    int16_t result = 0;
    entry(selector, block, &data, &result);
    if (result != 0 && out.selector.empty()) {
      out.result = result;
      out.selector = name;
    }
    return result;
  };

  // The selectors in the host's order; any failure before start ends the session.
  auto protocol = [&] {
    if (options.showAbout) {
      AboutRecord about{};
      PlatformData platform{};
      about.platformData = &platform;
      about.sSPBasic = session.basic();
      if (call(filterSelectorAbout, "about", &about) != 0) return;
    }
    if (!options.repeat && call(filterSelectorParameters, "parameters", &rec) != 0) return;
    if (call(filterSelectorPrepare, "prepare", &rec) != 0) return;
    if (call(filterSelectorStart, "start", &rec) != 0) return;
    // Photoshop calls finish whenever start succeeded, even after a failed continue.
    int guard = 0;
    while (AnyRequested(rec, rec.bigDocumentData) && guard++ < (1 << 26)) {
      if (int16_t err = session.LoadIfChanged()) {
        out.result = err;
        out.selector = "host";
        break;
      }
      int16_t r = call(filterSelectorContinue, "continue", &rec);
      session.WriteBack();
      if (r != 0) break;
    }
    call(filterSelectorFinish, "finish", &rec);
  };
  protocol();
  progress.Finish();
  out.recorded = session.scripting().TakeRecorded();
  out.rowsDelivered = session.rowsDelivered();
  out.leftoverBuffers = session.memory().LiveBuffers();
  size_t kept = 0;
  for (Handle h : {reinterpret_cast<Handle>(data), rec.parameters})
    if (h && session.memory().IsHandle(h)) ++kept;
  if (rec.descriptorParameters && rec.descriptorParameters->descriptor &&
      session.memory().IsHandle(rec.descriptorParameters->descriptor))
    ++kept;
  out.leftoverHandles = session.memory().LiveHandles() - std::min(kept, session.memory().LiveHandles());
  // What a host keeps for "repeat filter": the parameters handle's bytes.
  if (rec.parameters) {
    if (session.memory().IsHandle(rec.parameters)) {
      const int32_t n = session.memory().HandleSize(rec.parameters);
      out.parameters = std::vector<uint8_t>(*rec.parameters, *rec.parameters + n);
    } else {
      qm::ps::PluginMemory fallback(nullptr, nullptr);
      if (Ptr p = fallback.LockHandle(rec.parameters)) {
        const int32_t n = fallback.HandleSize(rec.parameters);
        out.parameters = std::vector<uint8_t>(p, p + n);
        fallback.UnlockHandle(rec.parameters);
      }
    }
  }
  ReleaseEmulatedHandle(session.memory(), reinterpret_cast<Handle>(data));
  ReleaseEmulatedHandle(session.memory(), rec.parameters);
  return out;
}

}  // namespace plughost
