// The host's way into Tessaro: PluginMain answers the format selectors over the FormatRecord.
// The read itself is in src/ReadSession.cpp; this layer maps the record to it and keeps the
// globals in a handle.
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "HostFileSource.h"
#include "ReadSession.h"
#include "Scripting.h"
#include "Trace.h"
#include "hostapi/PIFormat.h"
#include "platform/ui.h"
#include "pssupport/memory.h"

namespace {

using namespace tessaro::plugin;

class AboutDialog final : public qm::platform::DialogController {
public:
  void OnClose(qm::platform::DialogView& v) override { v.End(0); }
};

// What lives in the globals handle between calls.
struct PluginGlobals {
  ReadSession session;
  qm::ps::PluginMemory::Buffer buffers[kBufferSlots];
};

class RecordHost final : public ReadHost {
public:
  RecordHost(FormatRecord& rec, qm::ps::PluginMemory& mem, PluginGlobals& g) : rec_(rec), mem_(mem), g_(g) {}

  bool OpenForPreview() const override { return rec_.openForPreview != 0; }
  int Rotation() const override { return rec_.browserRotation & 3; }
  bool Takes16BitRgb() const override { return (rec_.hostModes >> plugInModeRGB48) & 1; }
  bool TakesIccProfile() const override { return rec_.canUseICCProfiles != 0; }
  HostCheck Check() const override {
    const BufferProcs* b = rec_.bufferProcs;
    if (!b || b->bufferProcsVersion < kCurrentBufferProcsVersion || b->numBufferProcs <= 4)
      return HostCheck::kBufferSuiteTooOld;
    if (b->bufferProcsVersion > kCurrentBufferProcsVersion) return HostCheck::kBufferSuiteTooNew;
    if (!rec_.advanceState) return HostCheck::kNoAdvanceState;
    return HostCheck::kOk;
  }
  std::unique_ptr<tessaro::ByteSource> OpenFile() override { return std::make_unique<HostFileSource>(rec_.dataFork); }
  std::string PluginPath() override {
    SPBasicSuite* basic = rec_.sSPBasic;
    if (!basic || !basic->AcquireSuite) return std::string();
    const void* suite = nullptr;
    if (basic->AcquireSuite(kSPPluginsSuite, kSPPluginsSuiteVersion4, &suite) != 0 || !suite) return std::string();
    const auto* plugins = static_cast<const SPPluginsSuite*>(suite);
    std::string path;
    SPPlatformFileSpecification file{};
    if (plugins->GetPluginFileSpecification &&
        plugins->GetPluginFileSpecification(static_cast<SPPluginRef>(rec_.plugInRef), &file) == 0) {
      file.path[sizeof file.path - 1] = 0;
      path = file.path;
    }
    basic->ReleaseSuite(kSPPluginsSuite, kSPPluginsSuiteVersion4);
    return path;
  }
  std::int16_t HandOverExif(const std::vector<std::uint8_t>& block) override {
    const PropertyProcs* p = rec_.propertyProcs;
    if (!p || !p->setPropertyProc) return kNoErr;
    Handle h = CopyToHandle(block);
    if (!h) return kOutOfMemory;
    p->setPropertyProc(kPhotoshopSignature, propEXIFData, 0, 0, h);
    mem_.DisposeHandle(h);
    return kNoErr;
  }
  std::int16_t HandOverIccProfile(const std::vector<std::uint8_t>& profile) override {
    Handle h = CopyToHandle(profile);
    if (!h) return kOutOfMemory;
    rec_.iCCprofileData = h;
    rec_.iCCprofileSize = static_cast<int32_t>(profile.size());
    return kNoErr;
  }
  std::int16_t Declare(const ImageDeclaration& image) override {
    Handle rsrc = mem_.NewHandle(0);
    if (!rsrc) return kOutOfMemory;
    rec_.imageMode = plugInModeRGBColor;
    rec_.depth = static_cast<int16_t>(image.depth);
    rec_.planes = 3;
    rec_.loPlane = 0;
    rec_.hiPlane = 2;
    rec_.planeBytes = image.depth / 8;
    if (image.depth == 16) rec_.maxValue = 65535;
    rec_.imageSize.h = static_cast<int16_t>(image.width > 32767 ? 32767 : image.width);
    rec_.imageSize.v = static_cast<int16_t>(image.height > 32767 ? 32767 : image.height);
    if (rec_.HostSupports32BitCoordinates) {
      rec_.PluginUsing32BitCoordinates = 1;
      rec_.imageSize32.h = image.width;
      rec_.imageSize32.v = image.height;
    }
    rec_.imageHRes = rec_.imageVRes = image.resolution << 16;
    rec_.imageRsrcData = rsrc;
    rec_.imageRsrcSize = 0;
    return kNoErr;
  }
  void* Allocate(BufferSlot slot, std::size_t bytes) override {
    mem_.FreeBuffer(g_.buffers[slot]);
    return mem_.AllocateBuffer(bytes, g_.buffers[slot]) ? g_.buffers[slot].data : nullptr;
  }
  void Free(BufferSlot slot) override { mem_.FreeBuffer(g_.buffers[slot]); }
  std::int16_t Deliver(const RowsOut& rows) override {
    rec_.theRect.top = static_cast<int16_t>(rows.top);
    rec_.theRect.bottom = static_cast<int16_t>(rows.bottom);
    rec_.theRect.left = 0;
    rec_.theRect.right = static_cast<int16_t>(rows.width);
    rec_.theRect32 = VRect{rows.top, 0, rows.bottom, rows.width};
    rec_.loPlane = 0;
    rec_.hiPlane = 2;
    rec_.colBytes = static_cast<int16_t>((rows.depth * 3 + 7) / 8);
    rec_.rowBytes = rows.rowBytes;
    rec_.planeBytes = rows.depth / 8;
    rec_.data = const_cast<void*>(rows.data);
    const std::int16_t r = rec_.advanceState();
    rec_.data = nullptr;
    return r;
  }
  void Progress(std::int32_t done, std::int32_t total) override {
    if (rec_.progressProc) rec_.progressProc(done, total);
  }
  bool AbortRequested() override { return rec_.abortProc && rec_.abortProc(); }
  bool ReadScripting(tessaro::ConversionSettings& s, bool& attachIcc, bool& showDialog) override {
    return ReadScriptingParameters(rec_.descriptorParameters, s, attachIcc, showDialog);
  }
  void WriteScripting(const tessaro::ConversionSettings& s, bool attachIcc) override {
    const HandleProcs* handles = qm::ps::HandleSuiteUsable(rec_.handleProcs) ? rec_.handleProcs : nullptr;
    WriteScriptingParameters(rec_.descriptorParameters, handles, s, attachIcc);
  }
  void ShowWarning(const std::string& text) override {
    qm::platform::ShowMessageBox(nullptr, text, "Tessaro", qm::platform::kMbOk | qm::platform::kMbIconWarning);
  }
  std::string String(int id) override { return qm::platform::LoadResourceString(id); }

private:
  Handle CopyToHandle(const std::vector<std::uint8_t>& bytes) {
    Handle h = mem_.NewHandle(static_cast<int32_t>(bytes.size()));
    if (!h) return nullptr;
    Ptr p = mem_.LockHandle(h);
    if (!p) {
      mem_.DisposeHandle(h);
      return nullptr;
    }
    if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
    mem_.UnlockHandle(h);
    return h;
  }

  FormatRecord& rec_;
  qm::ps::PluginMemory& mem_;
  PluginGlobals& g_;
};

std::int16_t Dispatch(int16_t selector, FormatRecord& rec, RecordHost& host, ReadSession& s) {
  switch (selector) {
    case formatSelectorReadPrepare:
      Trace("DoReadPrepare\n");
      rec.maxData = 0;
      return kNoErr;
    case formatSelectorReadStart: return s.ReadStart(host);
    case formatSelectorReadContinue: {
      const std::int16_t r = s.ReadContinue(host);
      rec.data = nullptr;
      return r;
    }
    case formatSelectorReadFinish: return s.ReadFinish(host);
    case formatSelectorOptionsPrepare:
    case formatSelectorEstimatePrepare:
    case formatSelectorWritePrepare:
      Trace(selector == formatSelectorOptionsPrepare ? "DoOptionsPrepare\n"
            : selector == formatSelectorEstimatePrepare ? "DoEstimatePrepare\n"
                                                        : "DoWritePrepare\n");
      rec.maxData = 0;
      return kNoErr;
    case formatSelectorOptionsStart: {
      const std::int16_t r = s.OptionsStart(host);
      if (r == kNoErr) rec.data = nullptr;
      return r;
    }
    case formatSelectorEstimateStart:
      // The format cannot write.
      Trace("DoEstimateStart\n");
      return kCannotRead;
    case formatSelectorWriteStart:
      Trace("DoWriteStart\n");
      rec.data = nullptr;
      return kNoErr;
    case formatSelectorFilterFile: return s.FilterFile(host);
    default: return kNoErr;
  }
}

}  // namespace

PI_ENTRY_POINT(PluginMain) {
  *result = 0;
  if (selector == formatSelectorAbout) {
    Trace("DoAbout\n");
    AboutDialog about;
    qm::platform::RunModalDialog("16000", nullptr, about);
    return;
  }
  auto& rec = *static_cast<FormatRecord*>(pluginParamBlock);
  qm::ps::PluginMemory mem(rec.handleProcs, rec.bufferProcs);
  auto globals = reinterpret_cast<Handle>(*pluginData);
  if (!globals) {
    globals = mem.NewHandle(static_cast<int32_t>(sizeof(PluginGlobals)));
    void* block = globals ? mem.LockHandle(globals) : nullptr;
    if (!block) {
      mem.DisposeHandle(globals);
      *result = kOutOfMemory;
      return;
    }
    new (block) PluginGlobals();
    mem.UnlockHandle(globals);
    *pluginData = reinterpret_cast<intptr_t>(globals);
  }
  auto* g = reinterpret_cast<PluginGlobals*>(mem.LockHandle(globals));
  if (!g) {
    *result = kOutOfMemory;
    return;
  }
  RecordHost host(rec, mem, *g);
  try {
    *result = Dispatch(selector, rec, host, g->session);
  } catch (...) {
    Trace("Vyjimka %s\n", std::string(55, '!').c_str());
    *result = kUnexpected;
  }
  mem.UnlockHandle(globals);
}
