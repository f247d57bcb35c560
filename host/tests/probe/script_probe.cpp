// A filter that exists to exercise the host's scripting: it reads its settings from the
// played-back descriptor, shows a message box when the host wants its dialog, changes the
// pixels by those settings and records them again. Keys: 'levl' long (added to red, or taken
// away with 'mode' 'mdSu'), 'invr' bool (inverts green), 'fact' doub (scales blue), 'mode'
// enum 'tyMd' ('mdAd' or 'mdSu'), 'labl' TEXT (shown in the box, recorded back).
#include <algorithm>
#include <cstring>
#include <string>

#include "hostapi/PIFilter.h"
#include "platform/ui.h"

namespace {

constexpr DescriptorKeyID kLevel = PIFourCC("levl"), kInvert = PIFourCC("invr"), kFactor = PIFourCC("fact"),
                          kMode = PIFourCC("mode"), kLabel = PIFourCC("labl");
constexpr DescriptorEnumTypeID kModeType = PIFourCC("tyMd");
constexpr DescriptorEnumID kAdd = PIFourCC("mdAd"), kSubtract = PIFourCC("mdSu");

struct Settings {
  int32_t level = 10;
  bool invert = false;
  double factor = 1.0;
  DescriptorEnumID mode = kAdd;
  std::string label = "probe";
};

// One run at a time, in one process: the fixture keeps its settings here.
Settings g_settings;

bool SuitesUsable(const FilterRecord& rec) {
  const PIDescriptorParameters* p = rec.descriptorParameters;
  return p && p->descriptorParametersVersion == 0 && p->readDescriptorProcs && p->writeDescriptorProcs &&
         p->readDescriptorProcs->readDescriptorProcsVersion == 0 &&
         p->writeDescriptorProcs->writeDescriptorProcsVersion == 0 &&
         p->readDescriptorProcs->numReadDescriptorProcs > 17 && p->writeDescriptorProcs->numWriteDescriptorProcs > 15;
}

// Returns whether the dialog is wanted.
bool ReadSettings(FilterRecord& rec, OSErr& err) {
  err = 0;
  if (!SuitesUsable(rec)) return true;
  PIDescriptorParameters& p = *rec.descriptorParameters;
  if (!p.descriptor) return true;
  ReadDescriptorProcs& r = *p.readDescriptorProcs;
  DescriptorKeyID keys[] = {kLevel, kInvert, kFactor, kMode, kLabel, kPIKeyListEnd};
  PIReadDescriptor d = r.openReadDescriptorProc(p.descriptor, keys);
  if (!d) return true;
  DescriptorKeyID key = 0;
  DescriptorTypeID type = 0;
  int32_t flags = 0;
  while (r.getKeyProc(d, &key, &type, &flags)) {
    if (key == kLevel) {
      r.getPinnedIntegerProc(d, -255, 255, &g_settings.level);
    } else if (key == kInvert) {
      Boolean b = 0;
      if (r.getBooleanProc(d, &b) == 0) g_settings.invert = b != 0;
    } else if (key == kFactor) {
      r.getFloatProc(d, &g_settings.factor);
    } else if (key == kMode) {
      r.getEnumeratedProc(d, &g_settings.mode);
    } else if (key == kLabel && rec.handleProcs) {
      Handle h = nullptr;
      if (r.getTextProc(d, &h) == 0 && h) {
        g_settings.label.assign(*h, static_cast<size_t>(rec.handleProcs->getSizeProc(h)));
        rec.handleProcs->disposeProc(h);
      }
    }
  }
  err = r.closeReadDescriptorProc(d);
  const bool missing = err == errMissingParameter;
  if (missing) err = 0;
  return missing || p.playInfo == plugInDialogDisplay;
}

OSErr WriteSettings(FilterRecord& rec) {
  if (!SuitesUsable(rec)) return 0;
  PIDescriptorParameters& p = *rec.descriptorParameters;
  WriteDescriptorProcs& w = *p.writeDescriptorProcs;
  PIWriteDescriptor d = w.openWriteDescriptorProc();
  if (!d) return memFullErr;
  w.putIntegerProc(d, kLevel, g_settings.level);
  w.putBooleanProc(d, kInvert, g_settings.invert);
  w.putFloatProc(d, kFactor, &g_settings.factor);
  w.putEnumeratedProc(d, kMode, kModeType, g_settings.mode);
  if (rec.handleProcs) {
    Handle text = rec.handleProcs->newProc(static_cast<int32_t>(g_settings.label.size()));
    if (!text) return memFullErr;
    std::memcpy(*text, g_settings.label.data(), g_settings.label.size());
    w.putTextProc(d, kLabel, text);
    rec.handleProcs->disposeProc(text);
    if (p.descriptor) rec.handleProcs->disposeProc(p.descriptor);
  }
  p.descriptor = nullptr;
  const OSErr err = w.closeWriteDescriptorProc(d, &p.descriptor);
  p.recordInfo = plugInDialogOptional;
  return err;
}

void Apply(FilterRecord& rec) {
  auto* row = static_cast<uint8_t*>(rec.outData);
  const int32_t w = rec.outRect.right - rec.outRect.left, h = rec.outRect.bottom - rec.outRect.top;
  const int cols = rec.outHiPlane - rec.outLoPlane + 1;
  const int32_t level = g_settings.mode == kSubtract ? -g_settings.level : g_settings.level;
  for (int32_t y = 0; y < h; ++y, row += rec.outRowBytes)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* px = row + x * cols;
      px[0] = static_cast<uint8_t>(std::clamp(px[0] + level, 0, 255));
      if (g_settings.invert) px[1] = static_cast<uint8_t>(255 - px[1]);
      px[2] = static_cast<uint8_t>(std::clamp(static_cast<int>(px[2] * g_settings.factor + 0.5), 0, 255));
    }
}

}  // namespace

PI_ENTRY_POINT(ENTRYPOINT) {
  *result = 0;
  (void)pluginData;
  if (selector == filterSelectorAbout || selector == filterSelectorParameters || selector == filterSelectorPrepare)
    return;
  auto& rec = *static_cast<FilterRecord*>(pluginParamBlock);
  if (selector == filterSelectorStart) {
    g_settings = Settings{};
    OSErr err = 0;
    const bool dialog = ReadSettings(rec, err);
    if (err) {
      *result = err;
      return;
    }
    if (dialog) {
      const std::string text = "levl " + std::to_string(g_settings.level) + ", label " + g_settings.label;
      if (qm::platform::ShowMessageBox(nullptr, text, "Script Probe", qm::platform::kMbOkCancel) !=
          qm::platform::kIdOk) {
        *result = userCanceledErr;
        return;
      }
    }
    rec.inRect = rec.outRect = rec.filterRect;
    rec.inLoPlane = rec.outLoPlane = 0;
    rec.inHiPlane = rec.outHiPlane = 2;
  } else if (selector == filterSelectorContinue) {
    Apply(rec);
    rec.inRect = rec.outRect = Rect{0, 0, 0, 0};
  } else if (selector == filterSelectorFinish) {
    *result = WriteSettings(rec);
  } else {
    *result = filterBadParameters;
  }
}
