#pragma once
// The compression engine: the filter's 8-bit image and the JPEG settings become a JPEG
// stream through libjpeg. One routine serves four modes: writing the file, measuring the size
// while the settings dialog is open (in steps, with a running estimate and the preview tiles),
// measuring silently for the target-size search, and idle (no dialog: setters touch nothing).
//
// The engine knows nothing of the host: the file, the host's progress and the dialog reach it
// through the small interfaces below.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "HnCode/HnImage.h"
#include "coralin/CrSettings.h"

enum class CrMode : int32_t { kIdle = 0, kWrite = 1, kDialog = 2, kSilent = 3 };

// What changed, so that the dialog can update the control showing it.
enum class CrSetting : int32_t {
  kQuality, kSmoothing, kOptimize, kBetterSampling, kProgressive, kSmoothingOperation,
  kTargetOn, kTargetSize, kExtraPlane, kTransferRate,
};

// The dialog's JPEG preview bitmap: 4 bytes a pixel (blue, green, red, unused), the source's
// width and height.
struct CrBitmap {
  uint8_t* pixels = nullptr;
  int32_t rowBytes = 0;
};

// The dialog as the engine sees it in mode 2. Every call has a do-nothing default.
class Cr4EngineView {
 public:
  virtual void ShowSetting(CrSetting, int32_t /*value*/) {}
  virtual void SetSizeText(const std::string&) {}       // the size text (1063)
  virtual void SetShortSizeText(const std::string&) {}  // the short size label (1082)
  virtual void EnableFind(bool) {}
  // Drains the window message queue; settings changed meanwhile only raise requests.
  virtual void PumpMessages() {}
  // Posted as window messages: start a new measuring pass / let the dialog close now.
  virtual void PostRestart() {}
  virtual void PostClose() {}
  virtual CrBitmap JpegBitmap() { return {}; }
  // A decoded tile was written into the bitmap at this rectangle of image pixels.
  virtual void TileDecoded(const HnRect&) {}

 protected:
  ~Cr4EngineView() = default;
};

// Where mode 1 writes the stream. Write returns how many bytes it took; fewer is code 7.
class Cr4Output {
 public:
  virtual size_t Write(const uint8_t* data, size_t n) = 0;
  virtual bool Flush() { return true; }

 protected:
  ~Cr4Output() = default;
};

class Cr4Progress {
 public:
  virtual void Progress(int32_t done, int32_t total) = 0;

 protected:
  ~Cr4Progress() = default;
};

struct CrTransferRate {
  const char* entry;       // the speed list's text
  uint32_t bitsPerSecond;  // 0: unlimited
  const char* label;       // in the size text
};
constexpr int32_t kCrTransferRateCount = 9;
constexpr int32_t kCrDefaultTransferRate = 3;
// Codes 1-9; anything else reads as the default.
const CrTransferRate& CrTransferRateFor(int32_t code);

class Cr4Engine {
 public:
  static constexpr int32_t kTile = 32;

  // `pixels` (R, G, B bytes, `rowBytes` apart) and the extra planes (the same size, not
  // owned) must outlive the engine. Raises code 2 when its buffers cannot be had.
  Cr4Engine(int32_t width, int32_t height, const uint8_t* pixels, int32_t rowBytes,
            std::vector<const HnGrayscaleImage*> extraPlanes = {}, std::vector<std::string> planeNames = {},
            int32_t channelIndex = 0);
  ~Cr4Engine();
  Cr4Engine(const Cr4Engine&) = delete;
  Cr4Engine& operator=(const Cr4Engine&) = delete;

  // Setters clamp; in mode 2 a change updates its control and restarts the measuring pass.
  void SetQuality(int32_t q);            // above 100 becomes 100, below 0 becomes 0
  void SetSmoothing(int32_t s);          // likewise
  void SetOptimize(int32_t on);          // 0/1
  void SetBetterSampling(int32_t on);    // 0/1
  void SetProgressive(int32_t on);       // 0/1
  void SetSmoothingOperation(int32_t op);  // 0/1/2, other values 0; 0 while no plane is selected
  void SetTargetOn(int32_t on);
  void SetTargetSize(int32_t kilobytes);  // 0 (or less) becomes 1
  void SetSettings(const CrSettings& s);  // every field through its setter
  const CrSettings& Settings() const { return settings_; }

  void SetDensity(int32_t horizontalDpi, int32_t verticalDpi);
  void SetMode(CrMode mode) { mode_ = mode; }
  CrMode Mode() const { return mode_; }
  // An index not below the number of extra planes selects none.
  void SelectExtraPlane(int32_t index);
  int32_t SelectedPlane() const { return plane_; }  // -1: none
  int32_t ExtraPlaneCount() const { return static_cast<int32_t>(planes_.size()); }
  const std::vector<std::string>& PlaneNames() const { return planeNames_; }
  const HnGrayscaleImage* ExtraPlane(int32_t i) const { return planes_.at(static_cast<size_t>(i)); }

  void SetView(Cr4EngineView* view) { view_ = view; }
  void SetOutput(Cr4Output* out) { output_ = out; }
  void SetProgress(Cr4Progress* progress) { progress_ = progress; }

  // One pass in the current mode. Returns at once if a pass is already running.
  void Compress();
  // The preview of one tile, decoded into the view's bitmap.
  void CompressTile(int32_t column, int32_t row);
  uint32_t ProducedBytes() const { return produced_; }

  // Mode-2 pass control. RequestClose answers false when no pass runs (close now); else the
  // pass stops at its next step and posts the close.
  bool Compressing() const { return compressing_; }
  bool RequestClose();
  void RequestRestart();
  bool ChangedSinceSearch() const { return changedSinceSearch_; }
  void SetChangedSinceSearch(bool changed) { changedSinceSearch_ = changed; }

  // The estimate (final = false) or the final size and download time in the view's texts.
  void ShowSize(bool final);
  void SetTransferRate(int32_t code);
  int32_t TransferRate() const { return rate_; }

  bool IsGrey() const { return grey_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t TileColumns() const { return tileColumns_; }
  int32_t TileRows() const { return tileRows_; }
  uint32_t TotalBytes() const { return total_; }

  // The texts and figures, for the dialog and for tests.
  static uint64_t RunningEstimate(uint32_t produced, uint32_t consumed, uint32_t total);
  static uint32_t Guess(uint32_t total, int32_t quality, bool betterSampling, bool optimize);
  static uint32_t DownloadSeconds(uint64_t bytes, int32_t rateCode);
  static std::string EstimateText(uint64_t bytes);
  static std::string FinalText(uint64_t bytes, int32_t rateCode);
  static std::string ShortText(uint64_t bytes);
  uint64_t CurrentEstimate() const;
  uint64_t FinalSize() const;

  struct Pass;       // one libjpeg compression (internal)
  struct TileCodec;  // the tiles' compressor and decompressor, kept for the engine's life

 private:
  friend struct Cr4EngineAccess;
  void Changed(CrSetting which, int32_t value, bool restarts = true);
  void PrepareSmoothed();
  const uint8_t* SourceRow(int32_t y) const;
  const uint8_t* FeedRow(int32_t y);  // the row as libjpeg takes it
  void RunPass();
  void CodeStrip(int32_t row);  // codes and decodes a whole row of tiles
  void TileToBitmap(const HnRect& r);
  [[noreturn]] void DropTileCodec();
  void OnBufferFull(const uint8_t* data, size_t n);
  void OnFinish(const uint8_t* data, size_t n);
  void ShowRunningEstimate();

  int32_t width_, height_, rowBytes_;
  const uint8_t* pixels_;
  std::vector<const HnGrayscaleImage*> planes_;
  std::vector<std::string> planeNames_;
  int32_t plane_ = -1;
  const uint8_t* planePixels_ = nullptr;
  int32_t planeRowBytes_ = 0;
  bool grey_ = true;

  CrSettings settings_;
  int32_t hDpi_ = 72, vDpi_ = 72;
  CrMode mode_ = CrMode::kIdle;
  int32_t rate_ = kCrDefaultTransferRate;

  uint32_t produced_ = 0, consumed_ = 0, total_ = 0;
  bool compressing_ = false, stopClose_ = false, stopRestart_ = false;
  bool changedSinceSearch_ = true;

  int32_t tileColumns_ = 0, tileRows_ = 0;
  std::vector<uint8_t> rowBuffer_;
  std::vector<uint8_t> tileStream_;
  // The last coded row of tiles: its pixels as libjpeg takes them and the decoder's planes.
  std::vector<uint8_t> stripPixels_;
  std::vector<uint8_t*> stripRows_;
  std::vector<uint8_t> stripPlane_[3];
  std::vector<uint8_t*> stripPlaneRows_[3];
  int32_t stripPlaneStride_[3] = {0, 0, 0};
  int32_t stripRow_ = -1, stripCell_ = 0, stripQuality_ = -1, stripSmoothing_ = -1;
  bool stripBetterSampling_ = false;
  std::unique_ptr<TileCodec> tileCodec_;
  std::vector<uint8_t> blurred_, smoothed_;
  bool smoothedValid_ = false;

  Cr4EngineView* view_ = nullptr;
  Cr4Output* output_ = nullptr;
  Cr4Progress* progress_ = nullptr;
};

// The blur that alpha-based smoothing blends in (3 x 3, weights 1 at the corners and 2
// elsewhere, plain means along the edges). Images under 2 x 2 are copied unblurred.
void CrBlur(const uint8_t* src, int32_t width, int32_t height, int32_t rowBytes, uint8_t* dst);
