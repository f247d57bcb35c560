#include "coralin/CrDialogController.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "HnCode/HnErrorCode.h"
#include "HnCode/HnImage.h"

namespace coralin {
namespace {

using qm::platform::DialogView;
using qm::platform::ItemRect;
using qm::platform::MouseEvent;

constexpr int32_t kZoomLimit = 7;
const char kLastSettings[] = "Last settings";
const char kDefault[] = "Default";

// Registry values (Part of the preferences the dialog keeps).
const char kPrefX[] = "DialogX";
const char kPrefY[] = "DialogY";
const char kPrefWidth[] = "DialogWidth";
const char kPrefHeight[] = "DialogHeight";
const char kPrefShowOriginal[] = "Show Original";
const char kPrefShowJpeg[] = "Show JPEG";
const char kPrefRate[] = "Transfer Rate";

// Where each control goes when the dialog grows by (dw, dh).
enum class Move { RightDown, Right, Down };
struct AnchorRule {
  int id;
  Move move;
};
const AnchorRule kAnchors[] = {
    {kIdOk, Move::RightDown},           {kIdCancel, Move::RightDown},       {kIdApplyGroup, Move::RightDown},
    {kIdRadioFore, Move::RightDown},    {kIdRadioBack, Move::RightDown},    {kIdRadioBoth, Move::RightDown},
    {kIdTargetLabel, Move::RightDown},  {kIdTargetK, Move::RightDown},      {kIdTarget, Move::RightDown},
    {kIdFind, Move::RightDown},         {kIdShowJpeg, Move::RightDown},     {kIdJpegLabel, Move::RightDown},
    {kIdShortSize, Move::RightDown},    {kIdMaskList, Move::RightDown},     {kIdMaskLabel, Move::RightDown},
    {kIdMaskThumbnail, Move::RightDown},
    {kIdProgressive, Move::Right},      {kIdBetterSampling, Move::Right},   {kIdOptimize, Move::Right},
    {kIdProgressiveText, Move::Right},  {kIdBetterSamplingText, Move::Right}, {kIdOptimizeText, Move::Right},
    {kIdSpeed, Move::Right},            {kIdSpeedLabel, Move::Right},
    {kIdAddPreset, Move::Down},         {kIdDeletePreset, Move::Down},      {kIdPresets, Move::Down},
    {kIdPresetsLabel, Move::Down},      {kIdQuality, Move::Down},           {kIdSmoothing, Move::Down},
    {kIdSmoothingLabel, Move::Down},    {kIdSizeText, Move::Down},          {kIdShowOriginal, Move::Down},
    {kIdOriginalLabel, Move::Down},     {kIdUncompressedSize, Move::Down},  {kIdQualityLabel, Move::Down},
    {kIdZoomIn, Move::Down},            {kIdZoomOut, Move::Down},           {kIdQualitySlider, Move::Down},
    {kIdSmoothingSlider, Move::Down},
};

// The decimal number at the start of a field's text; what atoi makes of it.
int32_t FieldNumber(const std::string& text) { return static_cast<int32_t>(std::atoi(text.c_str())); }

bool IsPane(int id) { return id == kIdOriginalPane || id == kIdJpegPane; }

}  // namespace

CrDialogController::CrDialogController(Cr4Engine& engine, const uint8_t* pixels, int32_t rowBytes,
                                       CrDialogServices& services, bool targetOnAtStart)
    : engine_(engine), pixels_(pixels), rowBytes_(rowBytes), services_(services), targetOnAtStart_(targetOnAtStart) {}

CrDialogController::~CrDialogController() {
  if (engine_.Mode() == CrMode::kDialog) engine_.SetMode(CrMode::kIdle);
  engine_.SetView(nullptr);
}

bool CrDialogController::Run(qm::platform::NativeWindow owner) {
  engine_.SetMode(CrMode::kDialog);
  engine_.SetView(this);
  const intptr_t r = CrShowSettingsDialog(*this, owner);
  engine_.SetView(nullptr);
  engine_.SetMode(CrMode::kIdle);
  view_ = nullptr;
  if (r == -1) throw HnErrorCode(kHnErrInternal, 0, __FILE__, __LINE__);
  result_ = r;
  return r == kIdOk;
}

std::string CrDialogController::ZoomLabel(const char* word, const CrPaneState& pane) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s %5.1f%%", word, 100.0 * pane.Num() / pane.Den());
  return buf;
}

// --- opening ---------------------------------------------------------------------------

void CrDialogController::OnInit(DialogView& v) {
  view_ = &v;
  // Settings applied while opening start no pass of their own: the first is posted below.
  measurePosted_ = true;
  initialClient_ = v.ItemPlace(0);
  anchors_.clear();
  for (const AnchorRule& a : kAnchors) anchors_.push_back({a.id, v.ItemPlace(a.id)});
  anchors_.push_back({kIdOriginalPane, v.ItemPlace(kIdOriginalPane)});
  anchors_.push_back({kIdJpegPane, v.ItemPlace(kIdJpegPane)});
  const ItemRect o = v.ItemPlace(kIdOriginalPane), j = v.ItemPlace(kIdJpegPane);
  originalPane_.viewWidth = o.width;
  originalPane_.viewHeight = o.height;
  jpegPane_.viewWidth = j.width;
  jpegPane_.viewHeight = j.height;

  // The panes: the source, and the JPEG pane starting as a copy of it.
  const int32_t w = engine_.Width(), h = engine_.Height();
  originalBitmap_.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, 0);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = pixels_ + static_cast<ptrdiff_t>(y) * rowBytes_;
    uint8_t* d = &originalBitmap_[static_cast<size_t>(y) * static_cast<size_t>(w) * 4];
    for (int32_t x = 0; x < w; ++x, s += 3, d += 4) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
    }
  }
  jpegBitmap_ = originalBitmap_;
  BuildMaskThumbnail();

  FillLists(v);
  v.LimitText(kIdQuality, 3);
  v.LimitText(kIdSmoothing, 3);
  v.LimitText(kIdTarget, 4);
  if (engine_.ExtraPlaneCount() == 0) {
    engine_.SetSmoothingOperation(0);
    for (int id : {kIdRadioFore, kIdRadioBack, kIdRadioBoth}) v.EnableItem(id, false);
  }
  ShowAll(v);

  originalPane_.visible = services_.ReadPreference(kPrefShowOriginal).value_or(1) & 0xFF;
  jpegPane_.visible = services_.ReadPreference(kPrefShowJpeg).value_or(1) & 0xFF;
  v.SetChecked(kIdShowOriginal, originalPane_.visible);
  v.SetChecked(kIdShowJpeg, jpegPane_.visible);
  const uint32_t total = engine_.TotalBytes();
  v.SetItemText(kIdUncompressedSize, std::to_string(total <= 1024 ? 1u : total / 1024) + "K");
  ClampOffset();
  v.SetItemText(kIdOriginalLabel, ZoomLabel("Original", originalPane_));
  v.SetItemText(kIdJpegLabel, ZoomLabel("JPEG", jpegPane_));
  RestorePlacement(v);
  v.Post(kMsgMeasure, targetOnAtStart_ ? 1 : 0);
}

void CrDialogController::FillLists(DialogView& v) {
  const int32_t stored = services_.ReadPreference(kPrefRate).value_or(kCrDefaultTransferRate);
  const int32_t rate = stored >= 1 && stored <= kCrTransferRateCount ? stored : kCrDefaultTransferRate;
  v.ClearList(kIdSpeed);
  for (int32_t code = 1; code <= kCrTransferRateCount; ++code) v.AddListEntry(kIdSpeed, CrTransferRateFor(code).entry);
  engine_.SetTransferRate(rate);
  v.SelectListEntry(kIdSpeed, rate - 1);

  presets_ = services_.ReadPresets();
  presets_.insert(presets_.begin(), CrPresetEntry{kDefault, CrSettings{}});
  if (presets_.size() == 1) presets_.push_back(CrPresetEntry{kLastSettings, CrSettings{}});
  presets_[1].name = kLastSettings;
  // The run's settings are the last ones, also when the preset file could not take them.
  presets_[1].settings = engine_.Settings();
  v.ClearList(kIdPresets);
  for (const CrPresetEntry& p : presets_) v.AddListEntry(kIdPresets, p.name);
  selectedPreset_ = 1;
  v.SelectListEntry(kIdPresets, 1);
  engine_.SetSettings(presets_[1].settings);
  v.EnableItem(kIdDeletePreset, false);

  v.ClearList(kIdMaskList);
  for (const std::string& name : engine_.PlaneNames()) v.AddListEntry(kIdMaskList, name);
  v.SelectListEntry(kIdMaskList, engine_.SelectedPlane());
}

// Every control from the engine's settings.
void CrDialogController::ShowAll(DialogView& v) {
  const CrSettings& s = engine_.Settings();
  updating_ = true;
  v.SetItemText(kIdQuality, std::to_string(s.quality));
  v.SetItemText(kIdSmoothing, std::to_string(s.smoothing));
  v.SetItemText(kIdTarget, std::to_string(s.targetSize));
  v.SetChecked(kIdProgressive, s.progressive != 0);
  v.SetChecked(kIdBetterSampling, s.betterSampling != 0);
  v.SetChecked(kIdOptimize, s.optimize != 0);
  updating_ = false;
  UpdateRadios(v);
  v.Redraw(kIdQualitySlider);
  v.Redraw(kIdSmoothingSlider);
}

void CrDialogController::UpdateRadios(DialogView& v) {
  const int32_t op = engine_.Settings().smoothingOperation;
  v.SetChecked(kIdRadioBoth, op == 0);
  v.SetChecked(kIdRadioFore, op == 1);
  v.SetChecked(kIdRadioBack, op == 2);
  v.EnableItem(kIdMaskList, engine_.ExtraPlaneCount() > 0 && op != 0);
}

void CrDialogController::BuildMaskThumbnail() {
  mask_.clear();
  maskWidth_ = maskHeight_ = 0;
  const int32_t plane = engine_.SelectedPlane();
  if (plane < 0 || !view_) return;
  const ItemRect box = view_->ItemPlace(kIdMaskThumbnail);
  const HnGrayscaleImage& src = *engine_.ExtraPlane(plane);
  if (box.Empty() || src.Width() <= 0 || src.Height() <= 0) return;
  const HnSize size = HnScaleToFit(src.Width(), src.Height(), box.width, box.height);
  HnGrayscaleImage thumb(size.width, size.height);
  HnResize(src, thumb);
  HnImageLock lock(thumb);
  maskWidth_ = size.width;
  maskHeight_ = size.height;
  mask_.resize(static_cast<size_t>(size.width) * static_cast<size_t>(size.height));
  for (int32_t y = 0; y < size.height; ++y)
    std::copy_n(lock.Row(y), size.width, &mask_[static_cast<size_t>(y) * static_cast<size_t>(size.width)]);
}

// --- commands --------------------------------------------------------------------------

void CrDialogController::OnCommand(DialogView& v, int id, int code) {
  using qm::platform::kNotifyClicked;
  using qm::platform::kNotifyEditChange;
  using qm::platform::kNotifySelChange;
  if (updating_) return;
  switch (id) {
    case kIdQuality:
      if (code == kNotifyEditChange) engine_.SetQuality(FieldNumber(v.ItemText(id)));
      break;
    case kIdSmoothing:
      if (code == kNotifyEditChange) engine_.SetSmoothing(FieldNumber(v.ItemText(id)));
      break;
    case kIdProgressive:
      if (code == kNotifyClicked) engine_.SetProgressive(v.IsChecked(id) ? 1 : 0);
      break;
    case kIdBetterSampling:
      if (code == kNotifyClicked) engine_.SetBetterSampling(v.IsChecked(id) ? 1 : 0);
      break;
    case kIdOptimize:
      if (code == kNotifyClicked) engine_.SetOptimize(v.IsChecked(id) ? 1 : 0);
      break;
    case kIdRadioFore:
    case kIdRadioBack:
    case kIdRadioBoth:
      if (code != kNotifyClicked) break;
      engine_.SetSmoothingOperation(v.IsChecked(kIdRadioFore) ? 1 : v.IsChecked(kIdRadioBack) ? 2 : 0);
      UpdateRadios(v);
      break;
    case kIdMaskList:
      if (code != kNotifySelChange) break;
      engine_.SelectExtraPlane(v.SelectedListEntry(id));
      BuildMaskThumbnail();
      v.Redraw(kIdMaskThumbnail);
      break;
    case kIdSpeed:
      if (code == kNotifySelChange) engine_.SetTransferRate(v.SelectedListEntry(id) + 1);
      break;
    case kIdShowOriginal:
    case kIdShowJpeg:
      if (code != kNotifyClicked) break;
      (id == kIdShowOriginal ? originalPane_ : jpegPane_).visible = v.IsChecked(id);
      v.Redraw(id == kIdShowOriginal ? kIdOriginalPane : kIdJpegPane);
      break;
    case kIdZoomIn:
    case kIdZoomOut:
      if (code == kNotifyClicked) Zoom(v, id == kIdZoomIn ? 1 : -1);
      break;
    case kIdPresets:
      if (code == kNotifySelChange) ApplyPreset(v, v.SelectedListEntry(id));
      break;
    case kIdAddPreset:
      if (code == kNotifyClicked) AddPreset(v);
      break;
    case kIdDeletePreset:
      if (code == kNotifyClicked) DeletePreset(v);
      break;
    case kIdFind:
      if (code == kNotifyClicked) Find(v);
      break;
    case kIdOk:
    case kIdCancel:
      if (code != kNotifyClicked || closing_) break;
      closing_ = id;
      // A running pass stops at its next step and posts the close; otherwise close now.
      if (!engine_.RequestClose()) Finish(v, id);
      break;
    default:
      break;
  }
}

void CrDialogController::OnClose(DialogView& v) { OnCommand(v, kIdCancel, qm::platform::kNotifyClicked); }

void CrDialogController::ApplyPreset(DialogView& v, int index) {
  if (index < 0 || index >= static_cast<int>(presets_.size())) return;
  selectedPreset_ = index;
  engine_.SetSettings(presets_[static_cast<size_t>(index)].settings);
  ShowAll(v);
  v.EnableItem(kIdDeletePreset, index > 1);
  if (presets_[static_cast<size_t>(index)].settings.targetOn) {
    // The search needs the engine to itself: after a running pass, at the start of the next.
    if (engine_.Compressing()) {
      engine_.RequestRestart();
      findOnRestart_ = true;
    } else {
      Find(v);
    }
  }
}

void CrDialogController::AddPreset(DialogView& v) {
  CrPresetEntry p;
  p.settings = engine_.Settings();
  const bool searched = !engine_.ChangedSinceSearch();
  p.settings.targetOn = searched ? 1 : 0;
  if (searched) p.settings.targetSize = lastSearchKb_;
  if (!services_.AskPresetName(v, p.name)) return;
  if (p.name.size() > 255) p.name.resize(255);
  presets_.push_back(p);
  v.AddListEntry(kIdPresets, p.name);
  selectedPreset_ = static_cast<int>(presets_.size()) - 1;
  v.SelectListEntry(kIdPresets, selectedPreset_);
  v.EnableItem(kIdDeletePreset, true);
}

void CrDialogController::DeletePreset(DialogView& v) {
  const int index = v.SelectedListEntry(kIdPresets);
  // "Default" and "Last settings" stay whatever asks.
  if (index > 1 && index < static_cast<int>(presets_.size())) {
    presets_.erase(presets_.begin() + index);
    v.ClearList(kIdPresets);
    for (const CrPresetEntry& p : presets_) v.AddListEntry(kIdPresets, p.name);
  }
  selectedPreset_ = 1;
  v.SelectListEntry(kIdPresets, 1);
  v.EnableItem(kIdDeletePreset, false);
}

int32_t CrDialogController::TargetField(DialogView& v) const {
  return std::max(1, FieldNumber(v.ItemText(kIdTarget)));
}

void CrDialogController::Find(DialogView& v) {
  const int32_t kb = TargetField(v);
  const bool cancelled = services_.SearchTargetSize(v, kb);
  if (cancelled) return;
  lastSearchKb_ = kb;
  engine_.SetChangedSinceSearch(false);
}

// --- the measuring pass ------------------------------------------------------------------

void CrDialogController::OnPosted(DialogView& v, int message, intptr_t value) {
  if (message == kMsgClose) {
    Finish(v, closing_ ? closing_ : intptr_t{kIdCancel});
    return;
  }
  if (message != kMsgMeasure || closing_) return;
  measurePosted_ = false;
  if (value == 1 || findOnRestart_) {
    findOnRestart_ = false;
    Find(v);
    // The search's last change has posted a pass of its own.
    if (measurePosted_) return;
  }
  Measure(v);
}

void CrDialogController::Measure(DialogView& v) {
  try {
    engine_.Compress();
  } catch (const HnErrorCode& e) {
    if (e.code() != kHnErrCancelled) {
      closing_ = kResultFailed;
      v.End(kResultFailed);
    }
  }
}

void CrDialogController::Finish(DialogView& v, intptr_t result) {
  if (result == kIdOk) {
    targetOnOut_ = !engine_.ChangedSinceSearch() && lastSearchKb_ > 0;
  }
  SavePlacementAndStores(v);
  v.End(result);
}

void CrDialogController::SavePlacementAndStores(DialogView& v) {
  if (auto place = services_.WindowPlacement(v)) {
    services_.WritePreference(kPrefX, place->left);
    services_.WritePreference(kPrefY, place->top);
    services_.WritePreference(kPrefWidth, place->width);
    services_.WritePreference(kPrefHeight, place->height);
  }
  services_.WritePreference(kPrefShowOriginal, originalPane_.visible ? 1 : 0);
  services_.WritePreference(kPrefShowJpeg, jpegPane_.visible ? 1 : 0);
  services_.WritePreference(kPrefRate, engine_.TransferRate());
  std::vector<CrPresetEntry> keep(presets_.begin() + (presets_.empty() ? 0 : 1), presets_.end());
  if (keep.empty()) keep.push_back({kLastSettings, {}});
  keep[0].name = kLastSettings;
  keep[0].settings = engine_.Settings();
  services_.WritePresets(keep);
}

void CrDialogController::RestorePlacement(DialogView& v) {
  auto x = services_.ReadPreference(kPrefX), y = services_.ReadPreference(kPrefY);
  auto w = services_.ReadPreference(kPrefWidth), h = services_.ReadPreference(kPrefHeight);
  const ItemRect screen = services_.WorkArea();
  if (x && y && w && h) {
    // A position saved on a larger screen is pulled back into the first four fifths of this one.
    const int32_t left = std::clamp(*x, 0, std::max(0, 4 * screen.width / 5));
    const int32_t top = std::clamp(*y, 0, std::max(0, 4 * screen.height / 5));
    services_.PlaceWindow(v, left, top, *w, *h);
    return;
  }
  const auto current = services_.WindowPlacement(v);
  if (!current) return;
  services_.PlaceWindow(v, (screen.width - current->width) / 2, 2 * (screen.height - current->height) / 5,
                        current->width, current->height);
}

// --- engine view -------------------------------------------------------------------------

void CrDialogController::ShowSetting(CrSetting which, int32_t value) {
  if (!view_) return;
  DialogView& v = *view_;
  updating_ = true;
  // A field being typed into keeps its text while it says the same number.
  auto number = [&](int id) {
    if (FieldNumber(v.ItemText(id)) != value || v.ItemText(id).empty()) v.SetItemText(id, std::to_string(value));
  };
  switch (which) {
    case CrSetting::kQuality:
      number(kIdQuality);
      v.Redraw(kIdQualitySlider);
      break;
    case CrSetting::kSmoothing:
      number(kIdSmoothing);
      v.Redraw(kIdSmoothingSlider);
      break;
    case CrSetting::kOptimize: v.SetChecked(kIdOptimize, value != 0); break;
    case CrSetting::kBetterSampling: v.SetChecked(kIdBetterSampling, value != 0); break;
    case CrSetting::kProgressive: v.SetChecked(kIdProgressive, value != 0); break;
    case CrSetting::kSmoothingOperation: UpdateRadios(v); break;
    case CrSetting::kTargetSize: number(kIdTarget); break;
    case CrSetting::kExtraPlane: v.SelectListEntry(kIdMaskList, value); break;
    case CrSetting::kTransferRate: v.SelectListEntry(kIdSpeed, value - 1); break;
    default: break;
  }
  updating_ = false;
}

void CrDialogController::SetSizeText(const std::string& text) {
  if (view_) view_->SetItemText(kIdSizeText, text);
}
void CrDialogController::SetShortSizeText(const std::string& text) {
  if (view_) view_->SetItemText(kIdShortSize, text);
}
void CrDialogController::EnableFind(bool on) {
  if (view_) view_->EnableItem(kIdFind, on);
}
void CrDialogController::PumpMessages() {
  if (view_) view_->Pump();
}
void CrDialogController::PostRestart() {
  if (!view_ || measurePosted_) return;
  measurePosted_ = true;
  view_->Post(kMsgMeasure, 0);
}
void CrDialogController::PostClose() {
  if (view_) view_->Post(kMsgClose, 0);
}
CrBitmap CrDialogController::JpegBitmap() { return {jpegBitmap_.data(), engine_.Width() * 4}; }

void CrDialogController::TileDecoded(const HnRect& r) {
  if (!view_ || !jpegPane_.visible) return;
  // Image pixels to the pane's pixels at its scale and the shared offset.
  const int32_t num = jpegPane_.Num(), den = jpegPane_.Den();
  const int32_t left = r.left * num / den + offsetX_, top = r.top * num / den + offsetY_;
  const int32_t right = (r.right * num + den - 1) / den + offsetX_, bottom = (r.bottom * num + den - 1) / den + offsetY_;
  view_->Redraw(kIdJpegPane, {left, top, right - left, bottom - top});
}

// --- zoom, panning and sliders -------------------------------------------------------------

void CrDialogController::Zoom(DialogView& v, int delta) {
  const int32_t z = std::clamp(originalPane_.zoom + delta, -kZoomLimit, kZoomLimit);
  if (z == originalPane_.zoom) return;
  // Keep the image point at the centre of the view where it is.
  const CrPaneState before = originalPane_;
  const int64_t cx = (int64_t{before.viewWidth} / 2 - offsetX_) * before.Den() / before.Num();
  const int64_t cy = (int64_t{before.viewHeight} / 2 - offsetY_) * before.Den() / before.Num();
  originalPane_.zoom = jpegPane_.zoom = z;
  offsetX_ = static_cast<int32_t>(originalPane_.viewWidth / 2 - originalPane_.Num() * cx / originalPane_.Den());
  offsetY_ = static_cast<int32_t>(originalPane_.viewHeight / 2 - originalPane_.Num() * cy / originalPane_.Den());
  ClampOffset();
  v.EnableItem(kIdZoomIn, z < kZoomLimit);
  v.EnableItem(kIdZoomOut, z > -kZoomLimit);
  v.SetItemText(kIdOriginalLabel, ZoomLabel("Original", originalPane_));
  v.SetItemText(kIdJpegLabel, ZoomLabel("JPEG", jpegPane_));
  RedrawPanes(v);
}

// Between (view - scaled) and 0 on each axis; centred where the image is the smaller.
void CrDialogController::ClampOffset() {
  offsetX_ = wn::clamp_offset(offsetX_, originalPane_.viewWidth, originalPane_.Scaled(engine_.Width()));
  offsetY_ = wn::clamp_offset(offsetY_, originalPane_.viewHeight, originalPane_.Scaled(engine_.Height()));
}

void CrDialogController::Pan(DialogView& v, int32_t dx, int32_t dy) {
  if (originalPane_.Scaled(engine_.Width()) > originalPane_.viewWidth) offsetX_ += dx;
  if (originalPane_.Scaled(engine_.Height()) > originalPane_.viewHeight) offsetY_ += dy;
  ClampOffset();
  RedrawPanes(v);
}

void CrDialogController::RedrawPanes(DialogView& v) {
  v.Redraw(kIdOriginalPane);
  v.Redraw(kIdJpegPane);
}

void CrDialogController::SliderTo(int id, int32_t x) {
  // The thumb follows the mouse, 18 pixels in from the track's start.
  SetSliderValue(id, wn::slider_value_at(0, x));
}

void CrDialogController::SetSliderValue(int id, int32_t value) {
  value = std::clamp(value, 0, wn::kSliderMax);
  if (id == kIdQualitySlider) engine_.SetQuality(value);
  else if (id == kIdSmoothingSlider) engine_.SetSmoothing(value);
}

void CrDialogController::OnMouse(DialogView& v, int id, MouseEvent e, int32_t x, int32_t y, uint32_t keys) {
  using qm::platform::kKeyCtrl;
  using qm::platform::kKeyShift;
  if (id == kIdQualitySlider || id == kIdSmoothingSlider) {
    const Drag which = id == kIdQualitySlider ? Drag::QualitySlider : Drag::SmoothingSlider;
    // Only a press on the thumb takes it.
    if (e == MouseEvent::Down && wn::slider_thumb_hit(0, 0, SliderValue(id), x, y)) drag_ = which;
    if (drag_ != which) return;
    SliderTo(id, x);
    if (e == MouseEvent::Up) drag_ = Drag::None;
    return;
  }
  if (!IsPane(id)) return;  // the mask thumbnail ignores the mouse
  switch (e) {
    case MouseEvent::Down:
      if (keys & kKeyCtrl) {
        Zoom(v, (keys & kKeyShift) ? -1 : 1);
        return;
      }
      if (originalPane_.Scaled(engine_.Width()) <= originalPane_.viewWidth &&
          originalPane_.Scaled(engine_.Height()) <= originalPane_.viewHeight)
        return;
      drag_ = Drag::Pan;
      lastX_ = x;
      lastY_ = y;
      break;
    case MouseEvent::Move:
    case MouseEvent::Up:
      if (drag_ != Drag::Pan) return;
      Pan(v, x - lastX_, y - lastY_);
      lastX_ = x;
      lastY_ = y;
      if (e == MouseEvent::Up) drag_ = Drag::None;
      break;
  }
}

// --- resizing ------------------------------------------------------------------------------

void CrDialogController::OnSize(DialogView& v, int32_t width, int32_t height) {
  if (initialClient_.Empty()) return;
  // Never below the initial client size: a smaller one is grown back.
  if (width < initialClient_.width || height < initialClient_.height) {
    width = std::max(width, initialClient_.width);
    height = std::max(height, initialClient_.height);
    v.PlaceItem(0, {0, 0, width, height});
  }
  const int32_t dw = width - initialClient_.width, dh = height - initialClient_.height;
  for (const Anchor& a : anchors_) {
    ItemRect r = a.initial;
    if (a.id == kIdOriginalPane) {
      r.width += dw / 2;
      r.height += dh;
    } else if (a.id == kIdJpegPane) {
      r.left += dw / 2;
      r.width += dw / 2;
      r.height += dh;
    } else {
      Move m = Move::Down;
      for (const AnchorRule& rule : kAnchors)
        if (rule.id == a.id) m = rule.move;
      if (m != Move::Down) r.left += dw;
      if (m != Move::Right) r.top += dh;
    }
    v.PlaceItem(a.id, r);
  }
  const ItemRect o = v.ItemPlace(kIdOriginalPane), j = v.ItemPlace(kIdJpegPane);
  originalPane_.viewWidth = o.width;
  originalPane_.viewHeight = o.height;
  jpegPane_.viewWidth = j.width;
  jpegPane_.viewHeight = j.height;
  ClampOffset();
  v.Redraw(0);
}

}  // namespace coralin
