#pragma once
// The settings dialog's behaviour (template 101): every command, the presets, the zoom and
// panning of the two preview panes, the resize anchors and the stepped measuring pass. It
// drives whatever view the platform seam gives it: the Win32 dialog in Windows builds (which
// draws the panes, sliders and mask thumbnail from the state exposed here and feeds the mouse
// back through OnMouse), the headless dialog natively (driven by a `--ui` script).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "coralin/Cr4Engine.h"
#include "coralin/CrSettings.h"
#include "WnAtom/WnGeometry.h"
#include "platform/ui.h"

namespace coralin {

// Control ids of template 101.
enum CrDialogId : int {
  kIdOk = 1,
  kIdCancel = 2,
  kIdOriginalPane = 1000,
  kIdJpegPane = 1003,
  kIdProgressive = 1014,
  kIdBetterSampling = 1016,
  kIdOptimize = 1018,
  kIdShowOriginal = 1019,
  kIdShowJpeg = 1020,
  kIdPresets = 1023,
  kIdAddPreset = 1026,
  kIdDeletePreset = 1028,
  kIdSpeed = 1010,
  kIdZoomIn = 1051,
  kIdZoomOut = 1052,
  kIdQuality = 1054,
  kIdQualitySlider = 1055,
  kIdSmoothing = 1056,
  kIdUncompressedSize = 1059,
  kIdSpeedLabel = 1062,
  kIdSizeText = 1063,
  kIdOriginalLabel = 1066,
  kIdJpegLabel = 1069,
  kIdSmoothingLabel = 1072,
  kIdPresetsLabel = 1074,
  kIdProgressiveText = 1076,
  kIdBetterSamplingText = 1077,
  kIdOptimizeText = 1078,
  kIdSmoothingSlider = 1079,
  kIdQualityLabel = 1081,
  kIdShortSize = 1082,
  kIdTarget = 1083,
  kIdFind = 1084,
  kIdRadioFore = 1085,
  kIdRadioBack = 1086,
  kIdRadioBoth = 1087,
  kIdTargetLabel = 1090,
  kIdTargetK = 1091,
  kIdApplyGroup = 1092,
  kIdMaskList = 1093,
  kIdMaskThumbnail = 1094,
  kIdMaskLabel = 1095,
};

// Messages the controller posts to itself (DialogView::Post).
enum CrDialogMessage : int {
  kMsgMeasure = 1,  // start a measuring pass; value 1: begin with a press of "Find"
  kMsgClose = 2,    // the pass has stopped: end the dialog with the button pressed
};

// The dialog result when a measuring pass failed (not accepted).
constexpr intptr_t kResultFailed = 3;

struct CrPresetEntry {
  std::string name;
  CrSettings settings;
};

// What outlives the dialog, and the size search: the plug-in supplies them (preset file,
// registry, the search with its progress window).
class CrDialogServices {
 public:
  // The presets file as read at opening (record 0 is "Last settings"); empty on any failure.
  virtual std::vector<CrPresetEntry> ReadPresets() = 0;
  virtual void WritePresets(const std::vector<CrPresetEntry>& presets) = 0;
  virtual std::optional<int32_t> ReadPreference(const char* name) = 0;
  virtual void WritePreference(const char* name, int32_t value) = 0;
  // The target-size search over the engine for `kilobytes`; true when cancelled.
  virtual bool SearchTargetSize(qm::platform::DialogView& owner, int32_t kilobytes) = 0;
  // The preset-name prompt (template 116); false when cancelled.
  virtual bool AskPresetName(qm::platform::DialogView& owner, std::string& name) = 0;
  // The window placement to restore (all four values) and the screen's work area; the Win32
  // view moves the window, the headless one only records it.
  virtual void PlaceWindow(qm::platform::DialogView& /*view*/, int32_t /*x*/, int32_t /*y*/, int32_t /*w*/,
                           int32_t /*h*/) {}
  virtual std::optional<qm::platform::ItemRect> WindowPlacement(qm::platform::DialogView& /*view*/) { return {}; }
  virtual qm::platform::ItemRect WorkArea() { return {0, 0, 1024, 768}; }

 protected:
  ~CrDialogServices() = default;
};

// One preview pane: zoom level and what it shows; the offset is shared by both panes.
struct CrPaneState {
  int32_t zoom = 0;  // -7 to 7
  bool visible = true;
  int32_t viewWidth = 0, viewHeight = 0;  // pixels of the pane's placeholder
  wn::Scale Scale() const { return wn::scale_for_zoom(zoom); }
  int32_t Num() const { return Scale().num; }
  int32_t Den() const { return Scale().den; }
  // The image's size at this scale, rounded up.
  int32_t Scaled(int32_t n) const { return wn::scaled_size(n, Scale()); }
};

class CrDialogController final : public qm::platform::DialogController, public Cr4EngineView {
 public:
  // `pixels` is the engine's source (R, G, B, `rowBytes` apart). With `targetOnAtStart` the
  // first measuring pass begins with a press of "Find".
  CrDialogController(Cr4Engine& engine, const uint8_t* pixels, int32_t rowBytes, CrDialogServices& services,
                     bool targetOnAtStart);
  ~CrDialogController() override;

  // The dialog's whole life: engine mode 2 while shown, idle again after. True on OK.
  bool Run(qm::platform::NativeWindow owner);

  // After Run: what OK settled: target on when the last change of settings was a successful
  // size search, with the kilobytes searched for.
  bool TargetOn() const { return targetOnOut_; }
  int32_t TargetKilobytes() const { return lastSearchKb_; }
  intptr_t Result() const { return result_; }

  // --- qm::platform::DialogController
  void OnInit(qm::platform::DialogView& v) override;
  void OnCommand(qm::platform::DialogView& v, int id, int notifyCode) override;
  void OnClose(qm::platform::DialogView& v) override;
  void OnPosted(qm::platform::DialogView& v, int message, intptr_t value) override;
  void OnMouse(qm::platform::DialogView& v, int id, qm::platform::MouseEvent e, int32_t x, int32_t y,
               uint32_t keys) override;
  void OnSize(qm::platform::DialogView& v, int32_t width, int32_t height) override;

  // --- Cr4EngineView
  void ShowSetting(CrSetting which, int32_t value) override;
  void SetSizeText(const std::string& text) override;
  void SetShortSizeText(const std::string& text) override;
  void EnableFind(bool on) override;
  void PumpMessages() override;
  void PostRestart() override;
  void PostClose() override;
  CrBitmap JpegBitmap() override;
  void TileDecoded(const HnRect& r) override;

  // --- what the Win32 view draws from
  const CrPaneState& Pane(int id) const { return id == kIdJpegPane ? jpegPane_ : originalPane_; }
  int32_t OffsetX() const { return offsetX_; }
  int32_t OffsetY() const { return offsetY_; }
  // The source the panes start from (R, G, B, SourceRowBytes() apart).
  const uint8_t* SourcePixels() const { return pixels_; }
  int32_t SourceRowBytes() const { return rowBytes_; }
  // Full-size bitmaps, 4 bytes a pixel (blue, green, red, unused), the image's width apart.
  const std::vector<uint8_t>& OriginalBitmap() const { return originalBitmap_; }
  const std::vector<uint8_t>& JpegBitmapPixels() const { return jpegBitmap_; }
  int32_t ImageWidth() const { return engine_.Width(); }
  int32_t ImageHeight() const { return engine_.Height(); }
  // The selected extra plane scaled to fit the thumbnail's placeholder (grey, width apart).
  const std::vector<uint8_t>& MaskThumbnail() const { return mask_; }
  int32_t MaskWidth() const { return maskWidth_; }
  int32_t MaskHeight() const { return maskHeight_; }
  const std::vector<CrPresetEntry>& Presets() const { return presets_; }
  bool Dragging() const { return drag_ != Drag::None; }
  // A slider's value (quality or smoothing) and whether its thumb is held.
  int32_t SliderValue(int id) const {
    return id == kIdQualitySlider ? engine_.Settings().quality : engine_.Settings().smoothing;
  }
  // A slider dragged to `value` (0-100) by a view that tracks the drag itself.
  void SetSliderValue(int id, int32_t value);
  bool SliderHeld(int id) const {
    return drag_ == (id == kIdQualitySlider ? Drag::QualitySlider : Drag::SmoothingSlider);
  }
  bool Panning() const { return drag_ == Drag::Pan; }
  bool HasExtraPlanes() const { return engine_.ExtraPlaneCount() > 0; }

  // The zoom label's text for a pane, "Original %5.1f%%" / "JPEG %5.1f%%".
  static std::string ZoomLabel(const char* word, const CrPaneState& pane);

 private:
  enum class Drag { None, Pan, QualitySlider, SmoothingSlider };
  struct Anchor {
    int id;
    qm::platform::ItemRect initial;
  };

  void FillLists(qm::platform::DialogView& v);
  void ShowAll(qm::platform::DialogView& v);
  void ApplyPreset(qm::platform::DialogView& v, int index);
  void AddPreset(qm::platform::DialogView& v);
  void DeletePreset(qm::platform::DialogView& v);
  void Find(qm::platform::DialogView& v);
  int32_t TargetField(qm::platform::DialogView& v) const;
  void Zoom(qm::platform::DialogView& v, int delta);
  void ClampOffset();
  void Pan(qm::platform::DialogView& v, int32_t dx, int32_t dy);
  void RedrawPanes(qm::platform::DialogView& v);
  void BuildMaskThumbnail();
  void UpdateRadios(qm::platform::DialogView& v);
  void Measure(qm::platform::DialogView& v);
  void Finish(qm::platform::DialogView& v, intptr_t result);
  void SavePlacementAndStores(qm::platform::DialogView& v);
  void RestorePlacement(qm::platform::DialogView& v);
  void SliderTo(int id, int32_t x);

  Cr4Engine& engine_;
  const uint8_t* pixels_;
  int32_t rowBytes_;
  CrDialogServices& services_;
  qm::platform::DialogView* view_ = nullptr;
  bool targetOnAtStart_;
  bool targetOnOut_ = false;
  int32_t lastSearchKb_ = 0;
  intptr_t result_ = kIdCancel;
  intptr_t closing_ = 0;  // the button whose close waits for the pass
  bool measurePosted_ = false;  // a pass is queued already (or the dialog is still opening)
  bool findOnRestart_ = false;  // a preset with target size on waits for the running pass
  bool updating_ = false;  // controls being set from the engine: their notifications are echoes

  std::vector<CrPresetEntry> presets_;  // "Default" in front while the dialog is open
  int selectedPreset_ = 1;

  CrPaneState originalPane_, jpegPane_;
  int32_t offsetX_ = 0, offsetY_ = 0;
  std::vector<uint8_t> originalBitmap_, jpegBitmap_;
  std::vector<uint8_t> mask_;
  int32_t maskWidth_ = 0, maskHeight_ = 0;

  Drag drag_ = Drag::None;
  int32_t lastX_ = 0, lastY_ = 0;

  qm::platform::ItemRect initialClient_;
  std::vector<Anchor> anchors_;
};

// Shows template 101 over `controller`: in Windows builds with the panes, sliders, mask
// thumbnail, cursors and tooltips drawn over their placeholders; natively the headless dialog.
intptr_t CrShowSettingsDialog(CrDialogController& controller, qm::platform::NativeWindow owner);
// The about box (template 109) over its controller: in Windows builds sized to its splash,
// which it shows, and closed by a click as well as by Space or Enter.
intptr_t CrShowAboutBox(qm::platform::DialogController& box, qm::platform::NativeWindow owner);

}  // namespace coralin
