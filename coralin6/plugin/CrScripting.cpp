#include "CrScripting.h"

#include <algorithm>

#include "HnCode/HnErrorCode.h"

namespace coralin {
namespace {

constexpr DescriptorKeyID kProgressive = PIFourCC("crPr");
constexpr DescriptorKeyID kHuffman = PIFourCC("crHf");
constexpr DescriptorKeyID kSampling = PIFourCC("crBS");
constexpr DescriptorKeyID kQuality = PIFourCC("crQu");
constexpr DescriptorKeyID kSmoothing = PIFourCC("crSm");
constexpr DescriptorKeyID kOperation = PIFourCC("crSO");
constexpr DescriptorKeyID kTargetSize = PIFourCC("crSz");
constexpr DescriptorTypeID kOperationType = PIFourCC("tySO");
constexpr DescriptorEnumID kBoth = PIFourCC("crSA");
constexpr DescriptorEnumID kForeground = PIFourCC("crSF");
constexpr DescriptorEnumID kBackground = PIFourCC("crSB");
constexpr OSErr kMissingParameter = -1715;

void Check(OSErr e, int line) {
  if (const int32_t code = CrScriptingErrorCode(e)) throw HnErrorCode(code, e, __FILE__, line);
}

}  // namespace

int32_t CrScriptingErrorCode(OSErr e) {
  if (e == noErr || e == kMissingParameter) return 0;
  if (e == memFullErr) return kHnErrNoMemory;
  if (e == paramErr) return kHnErrParameter;
  return kHnErrUnknown;
}

bool CrScriptingUsable(const PIDescriptorParameters* d) {
  if (!d || d->descriptorParametersVersion != kCurrentDescriptorParametersVersion) return false;
  const ReadDescriptorProcs* r = d->readDescriptorProcs;
  const WriteDescriptorProcs* w = d->writeDescriptorProcs;
  if (!r || !w || r->readDescriptorProcsVersion != 0 || w->writeDescriptorProcsVersion != 0) return false;
  if (r->numReadDescriptorProcs <= 17 || w->numWriteDescriptorProcs <= 15) return false;
  return r->openReadDescriptorProc && r->closeReadDescriptorProc && r->getKeyProc && r->getIntegerProc &&
         r->getBooleanProc && r->getEnumeratedProc && w->openWriteDescriptorProc && w->closeWriteDescriptorProc &&
         w->putIntegerProc && w->putBooleanProc && w->putEnumeratedProc;
}

bool CrReadScripting(PIDescriptorParameters* d, CrSettings& s) {
  if (!CrScriptingUsable(d)) return true;
  if (d->descriptor) {
    const ReadDescriptorProcs& r = *d->readDescriptorProcs;
    // The target size is asked for too: a host that returns only the keys it is asked for
    // would otherwise never play it back.
    DescriptorKeyID keys[] = {kProgressive, kHuffman, kSampling, kQuality, kSmoothing, kOperation, kTargetSize,
                              kPIKeyListEnd};
    PIReadDescriptor token = r.openReadDescriptorProc(d->descriptor, keys);
    if (token) {
      DescriptorKeyID key = 0;
      DescriptorTypeID type = 0;
      int32_t flags = 0;
      while (r.getKeyProc(token, &key, &type, &flags)) {
        Boolean b = false;
        int32_t v = 0;
        DescriptorEnumID e = 0;
        switch (key) {
          case kProgressive:
          case kHuffman:
          case kSampling:
            if (r.getBooleanProc(token, &b) != noErr) break;
            (key == kProgressive ? s.progressive : key == kHuffman ? s.optimize : s.betterSampling) = b ? 1 : 0;
            break;
          case kQuality:
          case kSmoothing:
            if (r.getIntegerProc(token, &v) != noErr) break;
            (key == kQuality ? s.quality : s.smoothing) = static_cast<uint8_t>(std::clamp(v, 0, 100));
            break;
          case kOperation:
            if (r.getEnumeratedProc(token, &e) != noErr) break;
            s.smoothingOperation = e == kBackground ? 2 : e == kForeground ? 1 : 0;
            break;
          case kTargetSize:
            if (r.getIntegerProc(token, &v) != noErr || v <= 0) break;
            s.targetOn = 1;
            s.targetSize = v;
            break;
          default: break;
        }
      }
      Check(r.closeReadDescriptorProc(token), __LINE__);
    }
  }
  return d->playInfo == plugInDialogDisplay;
}

void CrWriteScripting(PIDescriptorParameters* d, const CrSettings& s, void (*disposeHandle)(Handle, void*),
                      void* context) {
  if (!CrScriptingUsable(d)) return;
  const WriteDescriptorProcs& w = *d->writeDescriptorProcs;
  PIWriteDescriptor token = w.openWriteDescriptorProc();
  if (!token) throw HnErrorCode(kHnErrNoMemory, 0, __FILE__, __LINE__);
  OSErr e = w.putBooleanProc(token, kProgressive, s.progressive != 0);
  if (!e) e = w.putBooleanProc(token, kHuffman, s.optimize != 0);
  if (!e) e = w.putBooleanProc(token, kSampling, s.betterSampling != 0);
  if (!e) e = w.putIntegerProc(token, kQuality, s.quality);
  if (!e) e = w.putIntegerProc(token, kSmoothing, s.smoothing);
  if (!e)
    e = w.putEnumeratedProc(token, kOperation, kOperationType,
                            s.smoothingOperation == 2 ? kBackground : s.smoothingOperation == 1 ? kForeground : kBoth);
  if (!e && s.targetOn) e = w.putIntegerProc(token, kTargetSize, s.targetSize);
  if (d->descriptor) {
    disposeHandle(d->descriptor, context);
    d->descriptor = nullptr;
  }
  PIDescriptorHandle fresh = nullptr;
  const OSErr closed = w.closeWriteDescriptorProc(token, &fresh);
  d->descriptor = fresh;
  d->recordInfo = plugInDialogOptional;
  Check(e ? e : closed, __LINE__);
}

}  // namespace coralin
