#pragma once
// The filter's run (the start selector) over what it needs of the host: read the layer and its
// extra planes, crop and flatten the transparency, let the user tune the settings, choose the
// file and write the JPEG. Plain C++: the entry point maps the FilterRecord to CrRunHost.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "HnCode/HnBuffer.h"
#include "HnCode/HnImage.h"
#include "coralin/Cr4Engine.h"
#include "coralin/CrDialogController.h"
#include "coralin/CrSettings.h"
#include "platform/ui.h"
#include "platform/window_place.h"

namespace coralin {

// What the host keeps in its parameters handle between runs ("repeat filter", actions).
struct CrParameters {
  CrSettings settings;
  uint16_t channelIndex = 0;  // the extra plane that drives alpha-based smoothing
  char path[262] = {};        // the last JPEG written
};

// The plane counts of the filter record.
struct CrPlaneCounts {
  bool supportsAbsolute = false;
  int32_t planes = 0;  // relative count, when absolute indices are not offered
  int32_t layerPlanes = 0, transparencyMask = 0, layerMasks = 0, invertedLayerMasks = 0, nonLayerPlanes = 0;
};

struct CrPixels {
  const uint8_t* data = nullptr;
  int32_t rowBytes = 0;
};

// Raised when the host fails a request; its result becomes the plug-in's, unreported.
struct CrHostError {
  int16_t result;
};

class CrRunHost {
 public:
  virtual int32_t ImageMode() const = 0;  // 3: RGB
  virtual int32_t Width() const = 0;      // of the filter rectangle
  virtual int32_t Height() const = 0;
  virtual CrPlaneCounts Counts() const = 0;
  // The whole filter rectangle of planes lo to hi, interleaved; raises CrHostError.
  virtual CrPixels Fetch(int32_t loPlane, int32_t hiPlane) = 0;
  virtual void ClearRequest() = 0;
  // Storage for the images: the host's buffers when offered (nullptr: the heap).
  virtual HnBaseBuffer* NewStorage() = 0;
  virtual void Background(uint8_t rgb[3]) const = 0;
  virtual void Resolution(int32_t& horizontal, int32_t& vertical) const = 0;
  virtual void Progress(int32_t done, int32_t total) = 0;
  // Scripting: reads over `settings` and tells whether the host wants the dialog.
  virtual bool ReadScripting(CrSettings& settings) = 0;
  virtual void WriteScripting(const CrSettings& settings) = 0;
  virtual CrParameters ReadParameters() = 0;
  virtual void WriteParameters(const CrParameters& p) = 0;
  virtual qm::platform::NativeWindow Owner() const = 0;

 protected:
  ~CrRunHost() = default;
};

// The preset file and the registry (Part of what outlives a run), and the size search.
class CrStores {
 public:
  virtual std::vector<CrPresetEntry> ReadPresets() = 0;  // empty on any failure
  virtual void WritePresets(const std::vector<CrPresetEntry>& presets) = 0;  // errors ignored
  virtual std::optional<int32_t> ReadPreference(const char* name) = 0;
  virtual void WritePreference(const char* name, int32_t value) = 0;
  // The target-size search over the engine; owner nullptr for a run without dialog. True
  // when cancelled.
  virtual bool Search(Cr4Engine& engine, qm::platform::DialogView* owner, int32_t kilobytes) = 0;

 protected:
  ~CrStores() = default;
};

// The display names of the extra planes, from the plane counts.
std::vector<std::string> CrPlaneNames(const CrPlaneCounts& c, int32_t colourPlanes);
// How many extra planes the host holds beyond the colour planes.
int32_t CrExtraPlaneCount(const CrPlaneCounts& c, int32_t colourPlanes);
// ".JPG" for a name without extension, when it fits.
std::string CrWithExtension(const std::string& name, size_t capacity = 260);

class CrRun {
 public:
  CrRun(CrRunHost& host, CrStores& stores, bool interactive) : host_(host), stores_(stores), interactive_(interactive) {}
  // The whole start selector; raises HnErrorCode (code 3: cancelled) or CrHostError.
  void Start();

  // What was read, for tests.
  const HnRGBImage* Colour() const { return colour_.get(); }
  int32_t ExtraPlanes() const { return static_cast<int32_t>(planes_.size()); }
  const std::vector<std::string>& Names() const { return names_; }

 private:
  void ReadImage();
  void CropAndFlatten();
  std::string ChoosePath(const CrParameters& p);

  CrRunHost& host_;
  CrStores& stores_;
  bool interactive_;
  int32_t colourPlanes_ = 3;
  std::unique_ptr<HnRGBImage> colour_;
  std::vector<std::unique_ptr<HnGrayscaleImage>> planes_;
  std::vector<std::string> names_;
};

// The services the dialog needs, over the stores and the platform seam.
class CrRunDialogServices final : public CrDialogServices {
 public:
  CrRunDialogServices(Cr4Engine& engine, CrStores& stores) : engine_(engine), stores_(stores) {}
  std::vector<CrPresetEntry> ReadPresets() override { return stores_.ReadPresets(); }
  void WritePresets(const std::vector<CrPresetEntry>& p) override { stores_.WritePresets(p); }
  std::optional<int32_t> ReadPreference(const char* name) override { return stores_.ReadPreference(name); }
  void WritePreference(const char* name, int32_t value) override { stores_.WritePreference(name, value); }
  bool SearchTargetSize(qm::platform::DialogView& owner, int32_t kilobytes) override {
    return stores_.Search(engine_, &owner, kilobytes);
  }
  bool AskPresetName(qm::platform::DialogView& owner, std::string& name) override;
  // The dialog's window on screen (Windows builds; headless dialogs have none).
  void PlaceWindow(qm::platform::DialogView& view, int32_t x, int32_t y, int32_t w, int32_t h) override {
    qm::platform::MoveWindowTo(view.Window(), {x, y, w, h});
  }
  std::optional<qm::platform::ItemRect> WindowPlacement(qm::platform::DialogView& view) override {
    return qm::platform::WindowScreenRect(view.Window());
  }
  qm::platform::ItemRect WorkArea() override { return qm::platform::ScreenWorkArea(); }

 private:
  Cr4Engine& engine_;
  CrStores& stores_;
};

}  // namespace coralin
