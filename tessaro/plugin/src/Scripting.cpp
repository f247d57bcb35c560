#include "Scripting.h"

#include <array>
#include <vector>

#include "tessaro/WhiteBalance.h"

namespace tessaro::plugin {
namespace {

// The white-balance keys are gathered first: the mode decides which object they make.
struct WbKeys {
  bool haveMode = false;
  int mode = CWB::kCamera;
  std::array<double, 4> coef{1, 1, 1, 1};
  int temp = 5000, cc = 0, preset = 0;
};

void SetField(ScriptField f, double v, ConversionSettings& s, bool& attachIcc, WbKeys& wb) {
  auto i16 = [](double x) { return static_cast<std::int16_t>(x < -32768 ? -32768 : x > 32767 ? 32767 : x); };
  auto i32 = [](double x) { return static_cast<std::int32_t>(x < -2147483648.0 ? -2147483648.0 : x > 2147483647.0 ? 2147483647.0 : x); };
  switch (f) {
    case ScriptField::kWbMode: wb.haveMode = true, wb.mode = static_cast<int>(v); break;
    case ScriptField::kCoefRed: wb.coef[0] = v; break;
    case ScriptField::kCoefGreen1: wb.coef[1] = v; break;
    case ScriptField::kCoefGreen2: wb.coef[2] = v; break;
    case ScriptField::kCoefBlue: wb.coef[3] = v; break;
    case ScriptField::kTemperature: wb.temp = i32(v); break;
    case ScriptField::kCCIndex: wb.cc = i32(v); break;
    case ScriptField::kCameraPreset: wb.preset = static_cast<int>(v); break;
    case ScriptField::kExposure: s.Exposure = v; break;
    case ScriptField::kSaturation: s.Saturation = i32(v); break;
    case ScriptField::kContrast: s.Contrast = i16(v); break;
    case ScriptField::kDivu3Contrast:
    case ScriptField::kDivu5Contrast: s.DIVUContrast = i32(v); break;
    case ScriptField::kPreciseContrast: s.PreciseContrast = v; break;
    case ScriptField::kPreciseGamma: s.PreciseGamma = v; break;
    case ScriptField::kShadows: s.Shadows = v; break;
    case ScriptField::kHighlights: s.Highlights = v; break;
    case ScriptField::kInterpolation: s.Interpolation = i16(v); break;
    case ScriptField::kExtraSize: s.ExtraSize = v != 0; break;
    case ScriptField::kColorDepth: s.ColorDepth = i16(v); break;
    case ScriptField::kColorSpace: s.ColorSpace = i16(v); break;
    case ScriptField::kClipValues: s.ClipValues = v != 0; break;
    case ScriptField::kHighlightsFix: s.HighlightsFix = v != 0; break;
    case ScriptField::kConvertToMonitor: s.ConvertToMonitor = v != 0; break;
    case ScriptField::kAttachIccProfile: attachIcc = v != 0; break;
  }
}

double GetField(ScriptField f, const ConversionSettings& s, bool attachIcc) {
  const CWB& wb = s.GetWB();
  const CameraWb none;
  switch (f) {
    case ScriptField::kWbMode: return wb.GetKind();
    case ScriptField::kCoefRed: return wb.CoefRed(none);
    case ScriptField::kCoefGreen1: return wb.CoefGreen1(none);
    case ScriptField::kCoefGreen2: return wb.CoefGreen2(none);
    case ScriptField::kCoefBlue: return wb.CoefBlue(none);
    case ScriptField::kTemperature: return wb.Temperature(none);
    case ScriptField::kCCIndex: return wb.CCIndex();
    case ScriptField::kCameraPreset: return wb.CameraPreset();
    case ScriptField::kExposure: return s.Exposure;
    case ScriptField::kSaturation: return s.Saturation;
    case ScriptField::kContrast: return s.Contrast;
    case ScriptField::kDivu3Contrast:
    case ScriptField::kDivu5Contrast: return s.DIVUContrast;
    case ScriptField::kPreciseContrast: return s.PreciseContrast;
    case ScriptField::kPreciseGamma: return s.PreciseGamma;
    case ScriptField::kShadows: return s.Shadows;
    case ScriptField::kHighlights: return s.Highlights;
    case ScriptField::kInterpolation: return s.Interpolation;
    case ScriptField::kExtraSize: return s.ExtraSize;
    case ScriptField::kColorDepth: return s.ColorDepth;
    case ScriptField::kColorSpace: return s.ColorSpace;
    case ScriptField::kClipValues: return s.ClipValues;
    case ScriptField::kHighlightsFix: return s.HighlightsFix;
    case ScriptField::kConvertToMonitor: return s.ConvertToMonitor;
    case ScriptField::kAttachIccProfile: return attachIcc;
  }
  return 0;
}

}  // namespace

bool DescriptorSuitesUsable(const PIDescriptorParameters* p) {
  if (!p || p->descriptorParametersVersion != kCurrentDescriptorParametersVersion) return false;
  const ReadDescriptorProcs* r = p->readDescriptorProcs;
  const WriteDescriptorProcs* w = p->writeDescriptorProcs;
  if (!r || !w || r->readDescriptorProcsVersion != kCurrentReadDescriptorProcsVersion ||
      w->writeDescriptorProcsVersion != kCurrentWriteDescriptorProcsVersion || r->numReadDescriptorProcs <= 17 ||
      w->numWriteDescriptorProcs <= 15)
    return false;
  return r->openReadDescriptorProc && r->closeReadDescriptorProc && r->getKeyProc && r->getIntegerProc &&
         r->getFloatProc && r->getBooleanProc && r->getEnumeratedProc && w->openWriteDescriptorProc &&
         w->closeWriteDescriptorProc && w->putIntegerProc && w->putFloatProc && w->putBooleanProc &&
         w->putEnumeratedProc;
}

bool ReadScriptingParameters(PIDescriptorParameters* p, ConversionSettings& s, bool& attachIcc, bool& askForDialog) {
  askForDialog = true;
  if (!DescriptorSuitesUsable(p)) return false;
  askForDialog = p->playInfo == plugInDialogDisplay;
  if (!p->descriptor) return false;
  const ReadDescriptorProcs& r = *p->readDescriptorProcs;
  std::vector<DescriptorKeyID> keys;
  for (const ScriptKey& k : ScriptKeys()) keys.push_back(k.key);
  keys.push_back(kPIKeyListEnd);
  PIReadDescriptor token = r.openReadDescriptorProc(p->descriptor, keys.data());
  if (!token) return false;
  s.name = "Last used";
  WbKeys wb;
  DescriptorKeyID key = 0;
  DescriptorTypeID type = 0;
  int32_t flags = 0;
  while (r.getKeyProc(token, &key, &type, &flags)) {
    const ScriptKey* k = FindScriptKey(key);
    if (!k) continue;
    double v = 0;
    bool ok = false;
    switch (k->type) {
      case ScriptType::kEnumerated: {
        DescriptorEnumID code = 0;
        if (r.getEnumeratedProc(token, &code) == noErr)
          if (auto value = ScriptEnumFieldValue(k->enumType, code)) v = *value, ok = true;
        break;
      }
      case ScriptType::kDouble: ok = r.getFloatProc(token, &v) == noErr; break;
      case ScriptType::kInteger: {
        int32_t i = 0;
        ok = r.getIntegerProc(token, &i) == noErr;
        v = i;
        break;
      }
      case ScriptType::kBoolean: {
        Boolean b = 0;
        ok = r.getBooleanProc(token, &b) == noErr;
        v = b ? 1 : 0;
        break;
      }
    }
    if (ok) SetField(k->field, v, s, attachIcc, wb);
  }
  // Errors are reported again at the close; what was read stays read.
  r.closeReadDescriptorProc(token);
  if (wb.haveMode) {
    if (wb.mode == CWB::kCoef) s.SetWB(WBCoef(wb.coef[0], wb.coef[1], wb.coef[2], wb.coef[3]));
    else if (wb.mode == CWB::kTemp) s.SetWB(WBTemp(wb.temp, wb.cc));
    else s.SetWB(WBCamera(wb.preset));
  }
  return true;
}

void WriteScriptingParameters(PIDescriptorParameters* p, const HandleProcs* handles, const ConversionSettings& s,
                              bool attachIcc) {
  if (!DescriptorSuitesUsable(p)) return;
  const WriteDescriptorProcs& w = *p->writeDescriptorProcs;
  PIWriteDescriptor token = w.openWriteDescriptorProc();
  if (!token) return;
  for (const ScriptKey& k : ScriptKeys()) {
    if (!IsWritten(k, s)) continue;
    const double v = GetField(k.field, s, attachIcc);
    switch (k.type) {
      case ScriptType::kEnumerated:
        w.putEnumeratedProc(token, k.key, k.enumType, ScriptEnumCode(k.enumType, static_cast<int>(v)));
        break;
      case ScriptType::kDouble: w.putFloatProc(token, k.key, &v); break;
      case ScriptType::kInteger: w.putIntegerProc(token, k.key, static_cast<int32_t>(v)); break;
      case ScriptType::kBoolean: w.putBooleanProc(token, k.key, static_cast<Boolean>(v != 0)); break;
    }
  }
  PIDescriptorHandle result = nullptr;
  if (w.closeWriteDescriptorProc(token, &result) != noErr || !result) return;
  if (p->descriptor && handles && handles->disposeProc) handles->disposeProc(p->descriptor);
  p->descriptor = result;
  p->recordInfo = plugInDialogOptional;
}

}  // namespace tessaro::plugin
