// The host's way into Coralin: the filter selectors over the FilterRecord. The run itself is
// CrRun (plain C++); this layer checks the host, keeps the globals and the parameters, maps
// the record to CrRunHost and turns errors into the ALERT box and the host's result.
#include <cstdio>
#include <cstring>
#include <new>

#include "CrPSBuffer.h"
#include "CrRun.h"
#include "CrScripting.h"
#include "CrStores.h"
#include "HnCode/HnErrorCode.h"
#include "hostapi/PIAbout.h"
#include "hostapi/PIFilter.h"
#include "coralin/CrDialogController.h"
#include "platform/ui.h"
#include "pssupport/memory.h"

namespace {

using namespace coralin;

// What lives in the globals handle between calls.
struct CrGlobals {
  uint32_t tag;
  uint8_t interactive;   // the parameters selector came before this start
  uint8_t dialogWanted;  // what the descriptor asked for
};
constexpr uint32_t kGlobalsTag = 0x43724731;  // 'CrG1'

qm::platform::NativeWindow OwnerOf(const void* platformData) {
  const auto* p = static_cast<const PlatformData*>(platformData);
  return p ? reinterpret_cast<qm::platform::NativeWindow>(p->hwnd) : nullptr;
}

// The about box (template 109): any click or key that closes it.
class AboutBox final : public qm::platform::DialogController {
 public:
  void OnCommand(qm::platform::DialogView& v, int, int) override { v.End(0); }
  void OnClose(qm::platform::DialogView& v) override { v.End(0); }
};

class RecordHost final : public CrRunHost {
 public:
  RecordHost(FilterRecord& rec, qm::ps::PluginMemory& mem, CrGlobals& g) : rec_(rec), mem_(mem), g_(g) {}

  int32_t ImageMode() const override { return rec_.imageMode; }
  int32_t Width() const override { return rec_.filterRect.right - rec_.filterRect.left; }
  int32_t Height() const override { return rec_.filterRect.bottom - rec_.filterRect.top; }
  CrPlaneCounts Counts() const override {
    CrPlaneCounts c;
    c.supportsAbsolute = rec_.supportsAbsolute != 0;
    c.planes = rec_.planes;
    if (c.supportsAbsolute) {
      c.layerPlanes = rec_.absLayerPlanes;
      c.transparencyMask = rec_.absTransparencyMask;
      c.layerMasks = rec_.absLayerMasks;
      c.invertedLayerMasks = rec_.absInvertedLayerMasks;
      c.nonLayerPlanes = rec_.absNonLayerPlanes;
    }
    return c;
  }
  CrPixels Fetch(int32_t lo, int32_t hi) override {
    // The whole rectangle in one request.
    rec_.inRect = rec_.filterRect;
    rec_.outRect = Rect{0, 0, 0, 0};
    rec_.maskRect = Rect{0, 0, 0, 0};
    rec_.inLoPlane = rec_.outLoPlane = static_cast<int16_t>(lo);
    rec_.inHiPlane = rec_.outHiPlane = static_cast<int16_t>(hi);
    if (const OSErr e = rec_.advanceState()) throw CrHostError{e};
    if (!rec_.inData) throw HnErrorCode(kHnErrNoMemory, 0, __FILE__, __LINE__);
    return {static_cast<const uint8_t*>(rec_.inData), rec_.inRowBytes};
  }
  void ClearRequest() override {
    rec_.inRect = rec_.outRect = rec_.maskRect = Rect{0, 0, 0, 0};
  }
  HnBaseBuffer* NewStorage() override {
    if (!qm::ps::BufferSuiteUsable(rec_.bufferProcs)) return nullptr;
    auto* b = new (std::nothrow) CrPSBuffer(rec_.bufferProcs);
    if (!b) throw HnErrorCode(kHnErrNoMemory, 0, __FILE__, __LINE__);
    return b;
  }
  void Background(uint8_t rgb[3]) const override {
    // The high byte of each 16-bit component.
    rgb[0] = static_cast<uint8_t>(rec_.background.red >> 8);
    rgb[1] = static_cast<uint8_t>(rec_.background.green >> 8);
    rgb[2] = static_cast<uint8_t>(rec_.background.blue >> 8);
  }
  void Resolution(int32_t& h, int32_t& v) const override {
    h = rec_.imageHRes >> 16;
    v = rec_.imageVRes >> 16;
  }
  void Progress(int32_t done, int32_t total) override {
    if (rec_.progressProc) rec_.progressProc(done, total);
  }
  bool ReadScripting(CrSettings& s) override {
    const bool wanted = CrReadScripting(rec_.descriptorParameters, s);
    g_.dialogWanted = wanted ? 1 : 0;
    return wanted;
  }
  void WriteScripting(const CrSettings& s) override {
    CrWriteScripting(
        rec_.descriptorParameters, s,
        [](Handle h, void* ctx) { static_cast<qm::ps::PluginMemory*>(ctx)->DisposeHandle(h); }, &mem_);
  }
  CrParameters ReadParameters() override {
    CrParameters p;
    if (rec_.parameters && mem_.HandleSize(rec_.parameters) >= static_cast<int32_t>(sizeof p)) {
      if (Ptr data = mem_.LockHandle(rec_.parameters)) {
        std::memcpy(&p, data, sizeof p);
        mem_.UnlockHandle(rec_.parameters);
      }
    }
    p.path[sizeof p.path - 1] = '\0';
    return p;
  }
  void WriteParameters(const CrParameters& p) override {
    if (!rec_.parameters || mem_.HandleSize(rec_.parameters) < static_cast<int32_t>(sizeof p)) {
      Handle fresh = mem_.NewHandle(static_cast<int32_t>(sizeof p));
      if (!fresh) throw HnErrorCode(kHnErrNoMemory, 0, __FILE__, __LINE__);
      if (rec_.parameters) mem_.DisposeHandle(rec_.parameters);
      rec_.parameters = fresh;
    }
    Ptr data = mem_.LockHandle(rec_.parameters);
    if (!data) throw HnErrorCode(kHnErrNoMemory, 0, __FILE__, __LINE__);
    std::memcpy(data, &p, sizeof p);
    mem_.UnlockHandle(rec_.parameters);
  }
  qm::platform::NativeWindow Owner() const override { return OwnerOf(rec_.platformData); }

 private:
  FilterRecord& rec_;
  qm::ps::PluginMemory& mem_;
  CrGlobals& g_;
};

// Selector 1: a fresh parameters handle starts from the "Last settings" of the preset file.
void DoParameters(FilterRecord& rec, qm::ps::PluginMemory& mem, CrGlobals& g) {
  g.interactive = 1;
  if (rec.parameters) return;
  Handle h = mem.NewHandle(static_cast<int32_t>(sizeof(CrParameters)));
  if (!h) throw HnErrorCode(kHnErrNoMemory, 0, __FILE__, __LINE__);
  CrParameters p;
  CrPluginStores stores;
  const std::vector<CrPresetEntry> presets = stores.ReadPresets();
  if (!presets.empty()) p.settings = presets[0].settings;
  Ptr data = mem.LockHandle(h);
  if (!data) {
    mem.DisposeHandle(h);
    throw HnErrorCode(kHnErrNoMemory, 0, __FILE__, __LINE__);
  }
  std::memcpy(data, &p, sizeof p);
  mem.UnlockHandle(h);
  rec.parameters = h;
}

void DoStart(FilterRecord& rec, qm::ps::PluginMemory& mem, CrGlobals& g) {
  RecordHost host(rec, mem, g);
  CrPluginStores stores;
  CrRun run(host, stores, g.interactive != 0);
  // The interactive flag lasts one start, whatever happens in it.
  struct Reset {
    CrGlobals& g;
    RecordHost& host;
    ~Reset() {
      g.interactive = 0;
      host.ClearRequest();
    }
  } reset{g, host};
  run.Start();
}

// "%s #%d" in a box captioned "ALERT"; cancelling is never reported.
int16_t Report(const HnErrorCode& e, qm::platform::NativeWindow owner) {
  if (e.code() == kHnErrCancelled) return userCanceledErr;
  char text[512];
  std::snprintf(text, sizeof text, "%s #%d", HnErrorMessage(e.code()), static_cast<int>(e.code()));
  qm::platform::ShowMessageBox(owner, text, "ALERT", qm::platform::kMbOk);
  return 1;
}

}  // namespace

PI_ENTRY_POINT(ENTRYPOINT) {
  if (selector == filterSelectorAbout) {
    const auto* about = static_cast<const AboutRecord*>(pluginParamBlock);
    AboutBox box;
    coralin::CrShowAboutBox(box, about ? OwnerOf(about->platformData) : nullptr);
    return;
  }
  // Any other selector leaves the result as the host set it.
  if (selector < filterSelectorParameters || selector > filterSelectorFinish || !pluginParamBlock) return;
  auto& rec = *static_cast<FilterRecord*>(pluginParamBlock);
  if ((selector == filterSelectorParameters || selector == filterSelectorPrepare) &&
      (!rec.advanceState || !qm::ps::HandleSuiteUsable(rec.handleProcs))) {
    *result = errPlugInHostInsufficient;
    return;
  }
  qm::ps::PluginMemory mem(rec.handleProcs, rec.bufferProcs);
  auto globals = reinterpret_cast<Handle>(*pluginData);
  if (!globals) {
    globals = mem.NewHandle(static_cast<int32_t>(sizeof(CrGlobals)));
    if (!globals) {
      *result = memFullErr;
      return;
    }
    *pluginData = reinterpret_cast<intptr_t>(globals);
  }
  auto* g = reinterpret_cast<CrGlobals*>(mem.LockHandle(globals));
  if (!g) {
    *result = memFullErr;
    return;
  }
  if (g->tag != kGlobalsTag) *g = CrGlobals{kGlobalsTag, 0, 0};
  *result = noErr;
  try {
    switch (selector) {
      case filterSelectorParameters: DoParameters(rec, mem, *g); break;
      case filterSelectorPrepare:
        if (rec.supportsAbsolute) rec.wantsAbsolute = true;
        break;
      case filterSelectorStart: DoStart(rec, mem, *g); break;
      case filterSelectorContinue:
        rec.inRect = rec.outRect = rec.maskRect = Rect{0, 0, 0, 0};
        break;
      default: break;  // finish: nothing
    }
  } catch (const HnErrorCode& e) {
    *result = Report(e, OwnerOf(rec.platformData));
  } catch (const CrHostError& e) {
    *result = e.result;
  } catch (const std::bad_alloc&) {
    *result = Report(HnErrorCode(kHnErrNoMemory, 0, __FILE__, __LINE__), OwnerOf(rec.platformData));
  }
  mem.UnlockHandle(globals);
}
