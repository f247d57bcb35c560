// The host's way into Misteral: selector handling over the FilterRecord. The work is in
// core/misteral.cpp; this layer maps the record to it and keeps the globals in a handle.
#include <cstring>
#include <new>

#include "hostapi/PIFilter.h"
#include "misteral.h"
#include "platform/ui.h"
#include "pssupport/memory.h"

namespace {

// The refusal ends with the button pressed; closing it otherwise does nothing.
class RefusalDialog final : public qm::platform::DialogController {
 public:
  void OnInit(qm::platform::DialogView& v) override { v.SetItemIcon(100, qm::platform::SystemIcon::Warning); }
};

class AboutDialog final : public qm::platform::DialogController {
 public:
  void OnClose(qm::platform::DialogView& v) override { v.End(0); }
  bool PaintsWhiteBackground() const override { return true; }
};

sorrel::Rect FromRect(const Rect& r) { return sorrel::Rect{r.top, r.left, r.bottom, r.right}; }
Rect ToRect(const sorrel::Rect& r) {
  return Rect{static_cast<int16_t>(r.top), static_cast<int16_t>(r.left), static_cast<int16_t>(r.bottom),
              static_cast<int16_t>(r.right)};
}

// Sorrel asks one more procedure less of the handle suite than the other plug-ins.
constexpr int16_t kHandleProcsNeeded = 6;

class RecordHost final : public sorrel::MisteralHost {
 public:
  using Buffers = qm::ps::PluginMemory::Buffer[sorrel::WorkBlocks::kCount];
  // The buffer list lives with the globals: blocks go back the way they came, calls later.
  RecordHost(FilterRecord& rec, qm::ps::PluginMemory& mem, Buffers& buffers)
      : rec_(rec), mem_(mem), buffers_(buffers) {}

  bool AllocateWorkBlocks(const size_t (&sizes)[sorrel::WorkBlocks::kCount], sorrel::WorkBlocks& blocks) override {
    for (int i = 0; i < sorrel::WorkBlocks::kCount; ++i) {
      if (!mem_.AllocateBuffer(sizes[i], buffers_[i])) return false;
      blocks.block[i] = buffers_[i].data;
    }
    return true;
  }
  void ReleaseWorkBlocks(sorrel::WorkBlocks& blocks) override {
    for (int i = 0; i < sorrel::WorkBlocks::kCount; ++i) {
      mem_.FreeBuffer(buffers_[i]);
      blocks.block[i] = nullptr;
    }
  }
  int16_t FilterCase() const override { return rec_.filterCase; }
  bool HaveMask() const override { return rec_.haveMask != 0; }
  int16_t Planes() const override { return rec_.planes; }
  sorrel::Rect FilterRect() const override { return FromRect(rec_.filterRect); }
  void SetFilterRect(const sorrel::Rect& r) override { rec_.filterRect = ToRect(r); }
  void Request(const sorrel::RowRequest& q) override {
    rec_.inRect = ToRect(q.in);
    rec_.outRect = ToRect(q.out);
    rec_.maskRect = ToRect(q.mask);
    rec_.inLoPlane = rec_.outLoPlane = q.loPlane;
    rec_.inHiPlane = rec_.outHiPlane = q.hiPlane;
    rec_.inputRate = q.inputRate;
    rec_.maskRate = q.maskRate;
    rec_.inputPadding = q.inputPadding;
    rec_.outputPadding = q.outputPadding;
    rec_.maskPadding = q.maskPadding;
  }
  sorrel::RowBuffers Row() const override {
    return sorrel::RowBuffers{static_cast<const uint8_t*>(rec_.inData), static_cast<uint8_t*>(rec_.outData),
                              rec_.inHiPlane - rec_.inLoPlane + 1, rec_.planes, rec_.inLayerPlanes,
                              rec_.outLayerPlanes, rec_.planes};
  }
  void ShowRefusal() override {
    RefusalDialog d;
    qm::platform::RunModalDialog("REFUSAL1", nullptr, d);
  }
  void Progress(int32_t done, int32_t total) override {
    if (rec_.progressProc) rec_.progressProc(done, total);
  }
  bool AbortRequested() override { return rec_.abortProc && rec_.abortProc(); }
  bool HasAdvanceState() const override { return rec_.advanceState != nullptr; }
  int16_t AdvanceState() override { return rec_.advanceState(); }

 private:
  FilterRecord& rec_;
  qm::ps::PluginMemory& mem_;
  Buffers& buffers_;
};

// What lives in the globals handle between calls.
struct StoredGlobals {
  sorrel::Globals run;
  qm::ps::PluginMemory::Buffer buffers[sorrel::WorkBlocks::kCount];
};

}  // namespace

PI_ENTRY_POINT(ENTRYPOINT) {
  void* record = pluginParamBlock;
  intptr_t* data = pluginData;
  *result = 0;
  if (selector == filterSelectorAbout) {
    AboutDialog about;
    qm::platform::RunModalDialog("ABOUTBOX", nullptr, about);
    return;
  }
  if (selector < filterSelectorParameters || selector > filterSelectorFinish) {
    *result = filterBadParameters;
    return;
  }
  auto& rec = *static_cast<FilterRecord*>(record);
  qm::ps::PluginMemory mem(rec.handleProcs, rec.bufferProcs, kHandleProcsNeeded);

  auto globalsHandle = reinterpret_cast<Handle>(*data);
  if (!globalsHandle) {
    globalsHandle = mem.NewHandle(static_cast<int32_t>(sizeof(StoredGlobals)));
    if (!globalsHandle) {
      *result = memFullErr;
      return;
    }
    void* block = mem.LockHandle(globalsHandle);
    if (!block) {
      mem.DisposeHandle(globalsHandle);
      *result = memFullErr;
      return;
    }
    new (block) StoredGlobals();
    mem.UnlockHandle(globalsHandle);
    *data = reinterpret_cast<intptr_t>(globalsHandle);
  }
  if (!rec.parameters) {
    rec.parameters = mem.NewHandle(16);
    if (!rec.parameters) {
      *result = memFullErr;
      return;
    }
  }
  auto* g = reinterpret_cast<StoredGlobals*>(mem.LockHandle(globalsHandle));
  if (!g) {
    *result = memFullErr;
    return;
  }
  RecordHost host(rec, mem, g->buffers);
  switch (selector) {
    case filterSelectorPrepare:
      rec.bufferSpace = 0;
      rec.bufferSpace = sorrel::Prepare(g->run, FromRect(rec.filterRect));
      break;
    case filterSelectorStart:
      *result = sorrel::Start(g->run, host);
      break;
    case filterSelectorContinue:
      *result = sorrel::Continue(g->run, host);
      break;
    default:  // parameters and finish have nothing to do
      break;
  }
  mem.UnlockHandle(globalsHandle);
}

// A window procedure's shape (stdcall on 32-bit Windows) that handles no messages; exported
// because hosts and tools of the old filter generation look for it.
#if defined(_WIN32) && defined(__i386__)
#define SORREL_WNDPROC __stdcall
#else
#define SORREL_WNDPROC
#endif
PI_EXPORT intptr_t SORREL_WNDPROC DissolveProc(void*, uint32_t, uintptr_t, intptr_t) { return 1; }
