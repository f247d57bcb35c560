#include "CrRun.h"

#include <algorithm>
#include <cstring>

#include "CrOutputFile.h"
#include "HnCode/HnErrorCode.h"

namespace coralin {
namespace {

using qm::platform::DialogView;

const char kLastSettings[] = "Last settings";

// "Word" once, or "Word 1" .. "Word n".
void AppendNames(std::vector<std::string>& names, const char* word, int32_t n) {
  for (int32_t i = 1; i <= n; ++i) names.push_back(n == 1 ? std::string(word) : std::string(word) + " " + std::to_string(i));
}

// The host's progress after every row of the final write.
class HostProgress final : public Cr4Progress {
 public:
  explicit HostProgress(CrRunHost& host) : host_(host) {}
  void Progress(int32_t done, int32_t total) override { host_.Progress(done, total); }

 private:
  CrRunHost& host_;
};

// The preset-name prompt (template 116).
class PresetNamePrompt final : public qm::platform::DialogController {
 public:
  static constexpr int kName = 1002;
  std::string name;
  void OnInit(DialogView& v) override {
    v.LimitText(kName, 254);
    v.SetItemText(kName, "");
  }
  void OnCommand(DialogView& v, int id, int code) override {
    if (code != qm::platform::kNotifyClicked) return;
    if (id == qm::platform::kIdOk) {
      name = v.ItemText(kName);
      if (name.size() > 254) name.resize(254);
      v.End(qm::platform::kIdOk);
    } else if (id == qm::platform::kIdCancel) {
      v.End(qm::platform::kIdCancel);
    }
  }
  void OnClose(DialogView& v) override { v.End(qm::platform::kIdCancel); }
};

}  // namespace

bool CrRunDialogServices::AskPresetName(DialogView& owner, std::string& name) {
  PresetNamePrompt prompt;
  // Owned by the settings dialog, which stays disabled until the name is given.
  if (qm::platform::RunModalDialog("#116", owner.Window(), prompt) != qm::platform::kIdOk) return false;
  name = prompt.name;
  return true;
}

int32_t CrExtraPlaneCount(const CrPlaneCounts& c, int32_t colourPlanes) {
  const int32_t all = c.supportsAbsolute ? c.layerPlanes + c.transparencyMask + c.layerMasks +
                                               c.invertedLayerMasks + c.nonLayerPlanes
                                         : c.planes;
  return std::max(0, all - colourPlanes);
}

std::vector<std::string> CrPlaneNames(const CrPlaneCounts& c, int32_t colourPlanes) {
  std::vector<std::string> names;
  AppendNames(names, "Layer Transparency", c.transparencyMask);
  AppendNames(names, "Layer Mask", c.layerMasks);
  AppendNames(names, "Inverted Layer Mask", c.invertedLayerMasks);
  // The colour planes count among the layer planes of a layer and among the non-layer planes
  // of a flat image; what is left of both is alpha channels, one name each.
  AppendNames(names, "Alpha Channel", c.layerPlanes + c.nonLayerPlanes - colourPlanes);
  // Whatever the counts say, every plane read gets a name and no name is without a plane.
  const int32_t planes = CrExtraPlaneCount(c, colourPlanes);
  while (static_cast<int32_t>(names.size()) < planes) names.push_back("Channel " + std::to_string(names.size() + 1));
  names.resize(static_cast<size_t>(planes));
  return names;
}

std::string CrWithExtension(const std::string& name, size_t capacity) {
  const size_t sep = name.find_last_of(":\\/");
  const size_t dot = name.find('.', sep == std::string::npos ? 0 : sep + 1);
  if (dot != std::string::npos) return name;
  if (name.size() + 5 > capacity) return name;
  return name + ".JPG";
}

void CrRun::ReadImage() {
  colourPlanes_ = host_.ImageMode() == 3 ? 3 : 1;
  const int32_t w = host_.Width(), h = host_.Height();
  const HnRect whole{0, 0, w, h};
  const CrPixels px = host_.Fetch(0, colourPlanes_ - 1);
  // The engine reads R, G, B: a one-plane document goes in as grey RGB, which it writes as a
  // one-component JPEG.
  colour_ = std::make_unique<HnRGBImage>(w, h, host_.NewStorage());
  if (colourPlanes_ == 3) {
    colour_->CopyIn(8, 3, px.rowBytes, whole, whole, px.data);
  } else {
    HnGrayscaleImage grey(w, h, host_.NewStorage());
    grey.CopyIn(8, 1, px.rowBytes, whole, whole, px.data);
    HnImageLock g(grey), c(*colour_);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) std::memset(c.Row(y) + 3 * x, g.Row(y)[x], 3);
  }
  const CrPlaneCounts counts = host_.Counts();
  const int32_t extra = CrExtraPlaneCount(counts, colourPlanes_);
  for (int32_t i = 0; i < extra; ++i) {
    const CrPixels p = host_.Fetch(colourPlanes_ + i, colourPlanes_ + i);
    auto plane = std::make_unique<HnGrayscaleImage>(w, h, host_.NewStorage());
    plane->CopyIn(8, 1, p.rowBytes, whole, whole, p.data);
    planes_.push_back(std::move(plane));
  }
  names_ = CrPlaneNames(counts, colourPlanes_);
}

void CrRun::CropAndFlatten() {
  const CrPlaneCounts counts = host_.Counts();
  if (!counts.supportsAbsolute || !counts.transparencyMask || planes_.empty()) return;
  const HnRect box = planes_[0]->BoundingBox(0);
  // Nothing visible: nothing to write, and nothing to tell.
  if (box.Width() <= 0 || box.Height() <= 0) throw HnErrorCode(kHnErrCancelled, 0, __FILE__, __LINE__);
  if (!(box == HnRect{0, 0, colour_->Width(), colour_->Height()})) {
    colour_ = colour_->Crop(box.left, box.top, box.right, box.bottom);
    for (auto& p : planes_) p = p->Crop(box.left, box.top, box.right, box.bottom);
  }
  uint8_t matte[3];
  host_.Background(matte);
  auto flat = std::make_unique<HnRGBImage>(colour_->Width(), colour_->Height(), host_.NewStorage());
  flat->Fill(matte[0], matte[1], matte[2]);
  flat->CompositeThroughMask(*colour_, *planes_[0]);
  if (colourPlanes_ == 1) {
    // Grey again after flattening over a colour.
    HnGrayscaleImage grey(*flat);
    HnImageLock g(grey), c(*flat);
    for (int32_t y = 0; y < flat->Height(); ++y)
      for (int32_t x = 0; x < flat->Width(); ++x) std::memset(c.Row(y) + 3 * x, g.Row(y)[x], 3);
  }
  colour_ = std::move(flat);
}

std::string CrRun::ChoosePath(const CrParameters& p) {
  if (!interactive_) {
    // A repeat that never wrote a file has no path to write to.
    if (!p.path[0]) throw HnErrorCode(kHnErrNoFile, 0, __FILE__, __LINE__);
    return std::string(p.path, strnlen(p.path, sizeof p.path));
  }
  qm::platform::SaveFileRequest ask;
  ask.owner = nullptr;  // the desktop
  ask.filterName = "JPEG Files";
  ask.patterns = "*.JPG;*.JPEG";
  ask.capacity = 260;
  ask.placeHighCentre = true;
  std::string path;
  if (!qm::platform::AskSaveFileName(ask, path) || path.empty())
    throw HnErrorCode(kHnErrCancelled, 0, __FILE__, __LINE__);
  return CrWithExtension(path);
}

void CrRun::Start() {
  // 1-3: the layer, its extra planes, cropped to what is visible and flattened.
  ReadImage();
  CropAndFlatten();
  host_.ClearRequest();

  // 4-5: presets and the stored parameters.
  std::vector<CrPresetEntry> presets = stores_.ReadPresets();
  if (presets.empty()) presets.insert(presets.begin(), CrPresetEntry{kLastSettings, CrSettings{}});
  CrParameters params = host_.ReadParameters();
  bool forceDialog = false;
  if ((params.settings.smoothingOperation == 1 || params.settings.smoothingOperation == 2) &&
      params.channelIndex >= planes_.size()) {
    params.channelIndex = 0;
    forceDialog = true;
  }

  // 6-7: the engine over the flattened image, and the settings played back.
  HnImageLock pixels(*colour_);
  std::vector<const HnGrayscaleImage*> planeList;
  for (const auto& p : planes_) planeList.push_back(p.get());
  Cr4Engine engine(colour_->Width(), colour_->Height(), pixels.data(), colour_->RowBytes(), planeList, names_,
                   params.channelIndex);
  CrSettings settings = params.settings;
  const bool dialogWanted = host_.ReadScripting(settings);
  engine.SetSettings(settings);
  engine.SelectExtraPlane(params.channelIndex);

  // 8: the dialog.
  const bool showDialog = forceDialog || (interactive_ && dialogWanted);
  if (showDialog) {
    presets[0].name = kLastSettings;
    presets[0].settings = engine.Settings();
    stores_.WritePresets(presets);
    CrRunDialogServices services(engine, stores_);
    CrDialogController dialog(engine, pixels.data(), colour_->RowBytes(), services, engine.Settings().targetOn != 0);
    if (!dialog.Run(host_.Owner())) throw HnErrorCode(kHnErrCancelled, 0, __FILE__, __LINE__);
    engine.SetTargetOn(dialog.TargetOn() ? 1 : 0);
    if (dialog.TargetOn()) engine.SetTargetSize(dialog.TargetKilobytes());
    if (engine.SelectedPlane() >= 0) params.channelIndex = static_cast<uint16_t>(engine.SelectedPlane());
  }

  // 9: where the JPEG goes.
  const std::string path = ChoosePath(params);

  // 11-12: settings, density and what is recorded and kept for a repeat.
  int32_t hDpi = 72, vDpi = 72;
  host_.Resolution(hDpi, vDpi);
  engine.SetDensity(hDpi, vDpi);
  engine.SetMode(CrMode::kWrite);
  params.settings = engine.Settings();
  host_.WriteScripting(params.settings);
  std::memset(params.path, 0, sizeof params.path);
  std::memcpy(params.path, path.data(), std::min(path.size(), sizeof params.path - 1));
  host_.WriteParameters(params);

  // 13: a run without dialog hits its target size first; before the file is touched, so that
  // cancelling the search leaves the last JPEG as it was.
  if (!showDialog && params.settings.targetOn) {
    if (stores_.Search(engine, nullptr, params.settings.targetSize))
      throw HnErrorCode(kHnErrCancelled, 0, __FILE__, __LINE__);
    engine.SetMode(CrMode::kWrite);
  }

  // 10, 14: the file, written with progress.
  CrOutputFile file;
  file.Open(path);
  HostProgress progress(host_);
  engine.SetOutput(&file);
  engine.SetProgress(&progress);
  try {
    engine.Compress();
  } catch (...) {
    file.Discard();
    throw;
  }
  file.Close();
  engine.SetOutput(nullptr);
  engine.SetProgress(nullptr);
  engine.SetMode(CrMode::kIdle);
}

}  // namespace coralin
