#include "ConversionDialog.h"

#include "ConversionDialogParts.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ui.h"
#include "platform/window_place.h"
#include "tessaro/Colour.h"
#include "tessaro/ConversionDialogModel.h"
#include "tessaro/DialogInfo.h"
#include "tessaro/DibRows.h"
#include "tessaro/DialogPreview.h"
#include "tessaro/Histogram.h"
#include "tessaro/WindowPlaces.h"

namespace tessaro::plugin {
namespace {

using qm::platform::DialogView;

// Control ids of the "CONVERSION" template.
enum : int {
  kWbList = 200, kWbName = 201, kWbAdd = 202, kWbRename = 203, kWbDelete = 204,
  kCoefRed = 210, kCoefGreen1 = 211, kCoefGreen2 = 212, kCoefBlue = 213,
  kToneList = 400, kMethodList = 401, kSpaceList = 402, kDepthList = 403,
  kExtraSize = 410, kClipValues = 411, kHighlightsFix = 412, kConvertToMonitor = 413,
  kPresetList = 500, kPresetName = 501, kPresetApply = 502, kPresetSave = 503, kPresetDelete = 504,
  kDefaults = 505, kInfo = 600,
  kPreview = 800, kHistogram = 801, kPreviewStatus = 802, kZoomView = 803, kUpdate = 806,
  kLivePreview = 810, kWarnPre = 811, kWarnPost = 812, kFocusArea = 813, kColorManagement = 814, kZoomOn = 815,
  kPreviewSize = 820, kHistColor = 821, kHistRange = 822, kHistSource = 823, kHistLog = 824, kHistCurves = 825,
  kZoomFactor = 826,
  kPreviewShown = 830, kInfoShown = 831, kAcross = 832,
};
// The dialog's own windows beside it, and their templates.
enum : int { kPreviewWindow = 900, kInfoWindow = 901 };
constexpr char kPreviewTemplate[] = "CONVERSION_PREVIEW";
constexpr char kInfoTemplate[] = "CONVERSION_INFO";

qm::platform::ItemRect ToItem(const WindowRect& r) { return {r.left, r.top, r.Width(), r.Height()}; }
WindowRect ToWindow(const qm::platform::ItemRect& r) { return {r.left, r.top, r.left + r.width, r.top + r.height}; }

// The preview's work between messages: this many rows a step.
constexpr int kRowsPerStep = 16;
enum : int { kMsgPreviewStep = 1 };

// Each numeric control: its edit field at the base id, then the steps: +1 small down,
// +2 small up, +3 large down, +4 large up, +5 typed-step down, +6 typed-step up.
struct NumericControl {
  int base;
  DialogValue value;
};
constexpr NumericControl kNumeric[] = {
    {300, DialogValue::kExposure},       {310, DialogValue::kSaturation}, {320, DialogValue::kDivuContrast},
    {330, DialogValue::kPreciseContrast}, {340, DialogValue::kGamma},      {350, DialogValue::kShadows},
    {360, DialogValue::kHighlights},     {370, DialogValue::kTemperature}, {380, DialogValue::kCCIndex},
};

std::string Number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// A typed number: the whole text, else nothing.
bool ParseNumber(const std::string& text, double& out) {
  const char* s = text.c_str();
  char* end = nullptr;
  out = std::strtod(s, &end);
  if (end == s) return false;
  while (*end == ' ') ++end;
  return *end == '\0';
}

class ConversionDialog final : public qm::platform::DialogController, public ConversionPictures {
public:
  ConversionDialog(DialogContext& context)
      : context_(context),
        model_(context.settings, context.settingsFile, CameraWb::FromFile(context.file), context.host16Bit) {}

  void OnInit(DialogView& v) override {
    // The preview and information windows first: their controls are filled below.
    v.OpenPart(kPreviewWindow, kPreviewTemplate);
    v.OpenPart(kInfoWindow, kInfoTemplate);
    FillList(v, kToneList, {ToneModeName(kTonePrecise), ToneModeName(kToneDivu3), ToneModeName(kToneDivu5)});
    std::vector<std::string> methods;
    for (int m = 0; m < kMethodCount; ++m) {
      std::string name = qm::platform::LoadResourceString(2001 + m);
      methods.push_back(name.empty() ? MethodName(m) : name);
    }
    FillList(v, kMethodList, methods);
    std::vector<std::string> spaces;
    for (int c = 0; c < kColorSpaceCount; ++c) {
      std::string name = qm::platform::LoadResourceString(3001 + c);
      spaces.push_back(name.empty() ? ColorSpaceName(c) : name);
    }
    FillList(v, kSpaceList, spaces);
    FillList(v, kDepthList, {DepthName(0), DepthName(kDepth48)});
    FillList(v, kPreviewSize, {"1/2", "1/4", "1/6", "1/8", "1/12", "1/16"});
    FillList(v, kHistColor, {"RGB", "Luminance", "Red", "Green", "Blue"});
    FillList(v, kHistRange, {"Full range", "Shadows", "Highlights"});
    FillList(v, kHistSource, {"Raw values", "Preview"});
    FillList(v, kZoomFactor, {"100%", "200%", "400%"});
    LoadPlane();
    Refresh(v, 0);
    OpenWindows(v);
    StartPreview(v);
  }

  void OnPartMoved(DialogView& v, int part, const qm::platform::ItemRect& r) override {
    if (!windowsPlaced_ || placing_ || r.width <= 0 || r.height <= 0) return;
    WindowPlaces places = Places();
    const WindowRect moved = ToWindow(r);
    if (part == 0) places.DialogMoved(moved);
    else if (part == kPreviewWindow) places.PreviewMoved(DialogRect(v), moved);
    else if (part == kInfoWindow) places.InfoMoved(DialogRect(v), moved);
    else return;
    FollowDialog(v);
  }

  void OnPartClosed(DialogView& v, int part) override {
    if (part == kPreviewWindow) Places().SetPreviewVisible(false);
    else if (part == kInfoWindow) Places().SetInfoVisible(false);
    else return;
    v.SetChecked(part == kPreviewWindow ? kPreviewShown : kInfoShown, false);
    FollowDialog(v);
  }

  void OnPosted(DialogView& v, int message, intptr_t value) override {
    if (message != kMsgPreviewStep || value != generation_ || !planeReady_) return;
    if (renderer_.Step(kRowsPerStep)) ShowPreview(v);
    else v.Post(kMsgPreviewStep, generation_);
  }

  const RgbPicture& PreviewPicture() const override { return shown_; }
  const HistogramPicture& HistogramImage() const override { return histogram_; }
  const RgbPicture& ZoomPicture() const override { return zoomed_; }

  void OnMouse(DialogView& v, int id, qm::platform::MouseEvent e, int32_t x, int32_t y, uint32_t) override {
    if (id != kPreview || e != qm::platform::MouseEvent::Down || shown_.rgb.empty()) return;
    // From the control's pixels to the shown picture's (as it is drawn, fitted into the
    // control), back from the turned picture to the preview's own pixels, then to the plane's.
    const qm::platform::ItemRect box = v.ItemPlace(kPreview);
    const int sw = static_cast<int>(shown_.width), sh = static_cast<int>(shown_.height);
    int tx = x, ty = y;
    if (!box.Empty() && !BoxToPicture(FitPicture(sw, sh, box.width, box.height), sw, sh, x, y, tx, ty)) return;
    const int W = static_cast<int>(renderer_.Picture().width), H = static_cast<int>(renderer_.Picture().height);
    int px = tx, py = ty;
    switch (context_.rotation & 3) {
      case 1: px = W - 1 - ty; py = tx; break;
      case 2: px = W - 1 - tx; py = H - 1 - ty; break;
      case 3: px = ty; py = H - 1 - tx; break;
      default: break;
    }
    const int scale = PreviewOptions::From(model_.Places()).scale;
    zoomX_ = std::clamp(px, 0, std::max(0, W - 1)) * scale + scale / 2;
    zoomY_ = std::clamp(py, 0, std::max(0, H - 1)) * scale + scale / 2;
    if (model_.Places().interpolationZoom) ShowZoom(v);
  }

  void OnCommand(DialogView& v, int id, int notify) override {
    if (refreshing_) return;
    if (HandleWindows(v, id, notify)) return;
    if (Handle(v, id, notify)) {
      Refresh(v, notify == qm::platform::kNotifyEditChange ? id : 0);
      if (model_.Places().livePreview || forceUpdate_) StartPreview(v);
      forceUpdate_ = false;
    }
  }

  void OnClose(DialogView& v) override { v.End(qm::platform::kIdCancel); }

private:
  static void FillList(DialogView& v, int id, const std::vector<std::string>& entries) {
    v.ClearList(id);
    for (const auto& e : entries) v.AddListEntry(id, e);
  }

  // Applies what the user did; true when the dialog must show the new state.
  bool Handle(DialogView& v, int id, int notify) {
    using qm::platform::kNotifyClicked;
    using qm::platform::kNotifyEditChange;
    using qm::platform::kNotifySelChange;
    for (const NumericControl& c : kNumeric) {
      if (id == c.base && notify == kNotifyEditChange) {
        double typed = 0;
        return ParseNumber(v.ItemText(id), typed) && model_.SetValue(c.value, typed);
      }
      if (id > c.base && id <= c.base + 6 && notify == kNotifyClicked) {
        const int k = id - c.base;
        const StepKind kind = k <= 2 ? StepKind::kSmall : k <= 4 ? StepKind::kLarge : StepKind::kEdit;
        model_.Step(c.value, kind, k % 2 == 0 ? +1 : -1);
        return true;
      }
    }
    if (id >= kCoefRed && id <= kCoefBlue && notify == kNotifyEditChange) {
      double c[4];
      for (int i = 0; i < 4; ++i)
        if (!ParseNumber(v.ItemText(kCoefRed + i), c[i])) return false;
      model_.SetCoefficients(c[0], c[1], c[2], c[3]);
      return true;
    }
    GeneralSettings& g = model_.Places();
    if (notify == kNotifySelChange) {
      const int pick = v.SelectedListEntry(id);
      switch (id) {
        case kPreviewSize: g.previewSize = pick + 1; return true;
        case kHistColor: g.histogramColor = pick; return true;
        case kHistRange: g.histogramRange = pick; return true;
        case kHistSource: g.histogramSource = pick; return true;
        case kZoomFactor: g.interpolationZoomFactor = pick; return true;
        case kWbList: model_.PickWb(pick); return true;
        case kToneList: model_.SetToneMode(pick); return true;
        case kMethodList: model_.SetMethod(pick); return true;
        case kSpaceList: model_.SetColorSpace(pick); return true;
        case kDepthList: model_.SetDepth48(pick == 1); return true;
        case kPresetList: return true;
        default: return false;
      }
    }
    // Focus and other notifications change nothing; names are read when a button asks.
    if (notify != kNotifyClicked) return false;
    switch (id) {
      case qm::platform::kIdOk:
        // The places as they are now, with the rest of the options.
        if (windowsPlaced_) Places().DialogMoved(DialogRect(v));
        model_.Accept(context_.settings, context_.settingsFile);
        v.End(qm::platform::kIdOk);
        return false;
      case qm::platform::kIdCancel: v.End(qm::platform::kIdCancel); return false;
      case kExtraSize: model_.SetExtraSize(v.IsChecked(id)); return true;
      case kLivePreview: g.livePreview = v.IsChecked(id); return true;
      case kWarnPre: g.highlightsWarningPre = v.IsChecked(id); return true;
      case kWarnPost: g.highlightsWarningPost = v.IsChecked(id); return true;
      case kFocusArea: g.focusArea = v.IsChecked(id); return true;
      case kColorManagement: g.colorManagement = v.IsChecked(id); return true;
      case kZoomOn: g.interpolationZoom = v.IsChecked(id) ? 1 : 0; return true;
      case kHistLog: g.histogramScale = v.IsChecked(id); return true;
      case kHistCurves: g.histogramCurves = v.IsChecked(id); return true;
      case kUpdate: forceUpdate_ = true; return true;
      case kClipValues: model_.SetClipValues(v.IsChecked(id)); return true;
      case kHighlightsFix: model_.SetHighlightsFix(v.IsChecked(id)); return true;
      case kConvertToMonitor: model_.SetConvertToMonitor(v.IsChecked(id)); return true;
      case kWbAdd: model_.AddWbPreset(v.ItemText(kWbName)); return true;
      case kWbRename: model_.RenameWbPreset(v.SelectedListEntry(kWbList), v.ItemText(kWbName)); return true;
      case kWbDelete: model_.DeleteWbPreset(v.SelectedListEntry(kWbList)); return true;
      case kPresetApply: model_.ApplyPreset(v.SelectedListEntry(kPresetList)); return true;
      case kPresetSave: model_.SavePresetAs(v.ItemText(kPresetName)); return true;
      case kPresetDelete: model_.DeletePreset(v.SelectedListEntry(kPresetList)); return true;
      case kDefaults: model_.ResetToDefaults(); return true;
      default:
        // A control this dialog does not have: the dialog fails with its id, as read start
        // expects of a dialog that could not do what it was asked.
        v.End(id);
        return false;
    }
  }

  // --- The dialog's place and its preview and information windows, kept in the options.

  WindowPlaces Places() {
    return WindowPlaces(model_.Places(), previewSize_.width, previewSize_.height, infoSize_.width, infoSize_.height);
  }
  WindowRect DialogRect(const DialogView& v) const { return ToWindow(v.PartPlace(0)); }

  // At open: the dialog where the options put it (kept on the screen), the windows beside it.
  void OpenWindows(DialogView& v) {
    previewSize_ = v.PartPlace(kPreviewWindow);
    infoSize_ = v.PartPlace(kInfoWindow);
    const qm::platform::ItemRect own = v.PartPlace(0);
    WindowRect d = Places().Dialog(own.width, own.height);
    const qm::platform::ItemRect area = qm::platform::ScreenWorkArea();
    if (!area.Empty()) {
      // A place from another screen layout would leave the dialog out of reach.
      const int x = std::clamp(d.left, area.left, std::max(area.left, area.left + area.width - d.Width()));
      const int y = std::clamp(d.top, area.top, std::max(area.top, area.top + area.height - d.Height()));
      d = d.MovedTo(x, y);
    }
    placing_ = true;
    v.PlacePart(0, ToItem(d));
    placing_ = false;
    windowsPlaced_ = true;
    FollowDialog(v);
  }

  // Glued windows beside the dialog, loose ones where they were; each shown or hidden.
  void FollowDialog(DialogView& v) {
    WindowPlaces places = Places();
    const WindowRect d = DialogRect(v);
    placing_ = true;
    const auto place = [&](int part, const WindowRect& r, const qm::platform::ItemRect& size) {
      // The window keeps its own size; the options give its place.
      if (!size.Empty()) v.PlacePart(part, {r.left, r.top, size.width, size.height});
    };
    place(kPreviewWindow, places.Preview(d), previewSize_);
    place(kInfoWindow, places.Info(d), infoSize_);
    placing_ = false;
    v.ShowPart(kPreviewWindow, places.PreviewVisible());
    v.ShowPart(kInfoWindow, places.InfoVisible());
  }

  // The switches of the windows; true when the command was one of them.
  bool HandleWindows(DialogView& v, int id, int notify) {
    if (notify != qm::platform::kNotifyClicked || (id != kPreviewShown && id != kInfoShown && id != kAcross))
      return false;
    WindowPlaces places = Places();
    if (id == kPreviewShown) places.SetPreviewVisible(v.IsChecked(id));
    else if (id == kInfoShown) places.SetInfoVisible(v.IsChecked(id));
    else places.SetOrientation(DialogRect(v), v.IsChecked(id));
    if (windowsPlaced_) FollowDialog(v);
    return true;
  }

  // Shows the working state; the field being typed into keeps the user's text.
  void Refresh(DialogView& v, int editing) {
    refreshing_ = true;
    const ConversionSettings& s = model_.Working();
    const int presetPick = v.SelectedListEntry(kPresetList);
    FillList(v, kWbList, model_.WbListNames());
    v.SelectListEntry(kWbList, model_.SelectedWb());
    const bool userWb = model_.IsUserWbPreset(model_.SelectedWb());
    v.EnableItem(kWbRename, userWb);
    v.EnableItem(kWbDelete, userWb);
    const auto coef = s.GetWB().Coefficients(camera_);
    for (int i = 0; i < 4; ++i)
      if (kCoefRed + i != editing) v.SetItemText(kCoefRed + i, Number(coef[static_cast<size_t>(i)]));
    for (const NumericControl& c : kNumeric) {
      if (c.base != editing) v.SetItemText(c.base, Number(model_.Value(c.value)));
      bool on = true;
      if (c.value == DialogValue::kDivuContrast) on = s.Contrast != kTonePrecise;
      if (c.value == DialogValue::kPreciseContrast || c.value == DialogValue::kGamma ||
          c.value == DialogValue::kShadows || c.value == DialogValue::kHighlights)
        on = s.Contrast == kTonePrecise;
      for (int k = 0; k <= 6; ++k) v.EnableItem(c.base + k, on);
    }
    v.SelectListEntry(kToneList, s.Contrast);
    v.SelectListEntry(kMethodList, s.Interpolation);
    v.SelectListEntry(kSpaceList, s.ColorSpace);
    v.SelectListEntry(kDepthList, s.Is48Bit() ? 1 : 0);
    v.EnableItem(kDepthList, model_.Host16Bit());
    v.SetChecked(kExtraSize, s.ExtraSize);
    v.SetChecked(kClipValues, s.ClipValues);
    v.SetChecked(kHighlightsFix, s.HighlightsFix);
    v.SetChecked(kConvertToMonitor, s.ConvertToMonitor);
    const auto presets = model_.PresetNames();
    FillList(v, kPresetList, presets);
    v.SelectListEntry(kPresetList, presetPick < static_cast<int>(presets.size()) ? presetPick : -1);
    const bool anyPreset = !presets.empty();
    v.EnableItem(kPresetApply, anyPreset);
    v.EnableItem(kPresetDelete, anyPreset);
    const GeneralSettings& g = model_.Places();
    v.SetChecked(kPreviewShown, g.previewVisible);
    v.SetChecked(kInfoShown, g.infoVisible);
    v.SetChecked(kAcross, g.dialogOrientation);
    v.SetChecked(kLivePreview, g.livePreview);
    v.SetChecked(kWarnPre, g.highlightsWarningPre);
    v.SetChecked(kWarnPost, g.highlightsWarningPost);
    v.SetChecked(kFocusArea, g.focusArea);
    v.SetChecked(kColorManagement, g.colorManagement);
    v.SetChecked(kZoomOn, g.interpolationZoom != 0);
    v.SetChecked(kHistLog, g.histogramScale);
    v.SetChecked(kHistCurves, g.histogramCurves);
    const HistogramOptions h = HistogramOptions::From(g);
    v.SelectListEntry(kPreviewSize, std::clamp(g.previewSize, 1, 6) - 1);
    v.SelectListEntry(kHistColor, h.color);
    v.SelectListEntry(kHistRange, h.range);
    v.SelectListEntry(kHistSource, h.source);
    v.SelectListEntry(kZoomFactor, std::clamp(g.interpolationZoomFactor, 0, 2));
    v.EnableItem(kZoomFactor, g.interpolationZoom != 0);
    v.SetItemText(kInfo, InfoText());
    refreshing_ = false;
  }

  // The plane in the orientation the read expects to find it after the dialog.
  void LoadPlane() {
    RawFile& f = context_.file;
    if (!f.HasPlane()) {
      const int shown = f.Orientation();
      if (context_.cameraOrientation) f.SetOrientation(context_.cameraOrientation);
      const bool ok = f.LoadPlane();
      f.SetOrientation(shown);
      if (!ok) {
        previewError_ = f.Error();
        return;
      }
    }
    planeReady_ = true;
  }

  int PlaneOrientation() const {
    return context_.cameraOrientation ? context_.cameraOrientation : context_.file.Orientation();
  }

  // Starts a new picture; the old one stays up until the new one is complete.
  void StartPreview(DialogView& v) {
    ++generation_;
    if (!planeReady_) {
      v.SetItemText(kPreviewStatus, "No preview: " + previewError_);
      return;
    }
    const PreviewOptions o = PreviewOptions::From(model_.Places());
    std::string why;
    if (!renderer_.Begin(context_.file, model_.Working(), camera_, o, PlaneOrientation(), &why)) {
      v.SetItemText(kPreviewStatus, "No preview: " + why);
      return;
    }
    v.Post(kMsgPreviewStep, generation_);
  }

  void ShowPreview(DialogView& v) {
    const GeneralSettings& g = model_.Places();
    shown_ = renderer_.Picture();
    TurnPicture(shown_, context_.rotation);
    const PreviewOptions o = PreviewOptions::From(g);
    std::string status = "Preview " + std::to_string(shown_.width) + " x " + std::to_string(shown_.height) + " (1/" +
                         std::to_string(o.scale) + ")";
    if (o.warnBeforeTone || o.warnAfterTone) status += ", clipping shown";
    if (o.colorManagement) status += ", monitor colours";
    v.SetItemText(kPreviewStatus, status);
    v.SetItemText(kPreview, "");
    const qm::platform::ItemRect hr = v.ItemPlace(kHistogram);
    DrawHistogram(renderer_.Counts(), HistogramOptions::From(g), &renderer_.Curves(), hr.Empty() ? 192 : hr.width,
                  hr.Empty() ? 78 : hr.height, histogram_);
    v.Redraw(kPreview);
    v.Redraw(kHistogram);
    if (g.interpolationZoom) ShowZoom(v);
  }

  void ShowZoom(DialogView& v) {
    const GeneralSettings& g = model_.Places();
    const qm::platform::ItemRect r = v.ItemPlace(kZoomView);
    const int zoom = 1 << std::clamp(g.interpolationZoomFactor, 0, 2);
    const RawFile& f = context_.file;
    const int cx = zoomX_ >= 0 ? zoomX_ : static_cast<int>(f.PlaneWidth() / 2);
    const int cy = zoomY_ >= 0 ? zoomY_ : static_cast<int>(f.PlaneHeight() / 2);
    std::string why;
    if (!RenderZoom(f, model_.Working(), camera_, PreviewOptions::From(g), cx, cy, r.Empty() ? 400 : r.width,
                    r.Empty() ? 400 : r.height, zoom, zoomed_, &why)) {
      v.SetItemText(kPreviewStatus, "No zoomed view: " + why);
      return;
    }
    TurnPicture(zoomed_, context_.rotation);
    v.Redraw(kZoomView);
  }

  std::string InfoText() const {
    const RawFile& f = context_.file;
    DialogInfoInput in;
    in.file = &f;
    in.settings = &model_.Working();
    in.camera = &camera_;
    in.profileName = ProfileName(ProfileIndex(model_.Working(), f.GetModelCode(), f.GetColorGroup()));
    in.lastConversionMs = context_.lastConversionMs;
    return DialogInfoText(in);
  }

  DialogContext& context_;
  ConversionDialogModel model_;
  CameraWb camera_ = CameraWb::FromFile(context_.file);
  bool refreshing_ = false;
  bool forceUpdate_ = false;
  bool planeReady_ = false;
  std::string previewError_;
  PreviewRenderer renderer_;
  intptr_t generation_ = 0;
  RgbPicture shown_, zoomed_;
  HistogramPicture histogram_;
  int zoomX_ = -1, zoomY_ = -1;
  qm::platform::ItemRect previewSize_, infoSize_;
  bool windowsPlaced_ = false;
  bool placing_ = false;
};

}  // namespace

int RunConversionDialog(DialogContext& context) {
  ConversionDialog d(context);
#ifdef _WIN32
  const intptr_t r = RunConversionWindow(d, d);
#else
  const intptr_t r = qm::platform::RunModalDialog("CONVERSION", nullptr, d);
#endif
  if (r == qm::platform::kIdOk) return 0;
  if (r == qm::platform::kIdCancel) return kDialogStop;
  return r == 0 ? -1 : static_cast<int>(r);
}

}  // namespace tessaro::plugin
