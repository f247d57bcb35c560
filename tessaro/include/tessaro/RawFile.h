#pragma once
// An open MRW file: its block container, the TIFF stream of its TTW block, the embedded
// thumbnail and, on demand, the raw sensor plane.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tessaro/ByteSource.h"
#include "tessaro/Preview.h"
#include "tessaro/RawPlane.h"

namespace tessaro {

// Camera identified by the PRD version; 0 for an unknown one.
using ModelCode = int;
// Cameras that share colour data; 0 for none.
using ColorGroup = int;

const char* ColorGroupName(ColorGroup group);

// White-balance channels in the order of the coefficients.
enum WbChannel { kWbRed = 0, kWbGreen1 = 1, kWbGreen2 = 2, kWbBlue = 3 };
inline constexpr int kWbPresetCount = 7;  // 0 the shot's own, 1..6 the RIF presets

// The two constants of the colour-temperature model, from the tungsten and daylight presets.
struct TemperatureModel {
  double d = 0;
  double e = 0;
};

struct SubjectArea {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const SubjectArea&) const = default;
};

struct Thumbnail {
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // width * height * 3 bytes, rows top to bottom
};

class RawFile {
public:
  explicit RawFile(std::unique_ptr<ByteSource> source);
  ~RawFile();
  RawFile(const RawFile&) = delete;
  RawFile& operator=(const RawFile&) = delete;

  // Reads the signature, the blocks and the TIFF stream. False with Error() set when the file
  // cannot be read.
  bool Open();
  bool IsOpen() const { return parsed_; }
  // Why the last Open, LoadPlane or GetThumbnail failed.
  const std::string& Error() const { return error_; }

  std::uint32_t SensorWidth() const { return sensorWidth_; }
  std::uint32_t SensorHeight() const { return sensorHeight_; }
  std::uint32_t ImageWidth() const { return imageWidth_; }
  std::uint32_t ImageHeight() const { return imageHeight_; }
  BayerOrder GetBayerOrder() const { return bayerOrder_; }
  ModelCode GetModelCode() const { return modelCode_; }
  ColorGroup GetColorGroup() const { return colorGroup_; }
  // The eight ASCII digits that identify the camera.
  std::string Version() const;
  bool IsPacked() const { return dataSize_ == 12 && pixelSize_ == 12; }

  // EXIF orientation of the camera (1, 3, 6 or 8 from supported cameras; 1 when absent).
  int Orientation() const { return orientation_; }
  // Sets the orientation, and writes it into the TTW block as well when the block holds one.
  // Values outside 1..8 are refused.
  bool SetOrientation(int orientation);

  // Coefficient of channel c (WbChannel) for preset p (0..6); 1 when there is nothing to say.
  double WbCoefficient(int preset, int channel) const;
  // One of the twelve further RIF values (0..11, offsets 32 to 54), signed 16-bit, each scaled
  // by 1/256; 0 without a RIF block.
  double RifValue(int index) const;
  bool HasWbg() const { return hasWbg_; }
  bool HasRif() const { return hasRif_; }
  TemperatureModel GetTemperatureModel() const;

  // The TTW block as read (and as changed by SetOrientation and SetDateTimeDigitised).
  const std::vector<std::uint8_t>& TtwBlock() const { return ttw_; }
  // Offset in the TTW block of the 20-byte date-time digitised value.
  std::optional<std::size_t> DateTimeDigitisedOffset() const { return dateTimePlace_; }
  // Writes up to 19 characters and a terminator over the date-time digitised value.
  bool SetDateTimeDigitised(std::string_view text);

  const std::vector<std::uint32_t>& CameraSettings() const { return cameraSettings_; }
  // The white-balance setting of the newer settings table (maker-note tag 4), when present.
  std::optional<std::uint16_t> NewSettingsWhiteBalance() const { return newSettingsWb_; }
  const std::string& Model() const { return model_; }
  const std::string& Software() const { return software_; }
  const std::vector<std::uint8_t>& UserComment() const { return userComment_; }
  std::optional<SubjectArea> GetSubjectArea() const { return subjectArea_; }

  bool HasThumbnail() const { return thumbLength_ != 0; }
  // Decodes the embedded JPEG on first use, turned to the camera orientation; null when there
  // is none or it cannot be decoded.
  const Thumbnail* GetThumbnail();

  // Loads the raw plane on first use, turned to the camera orientation. False when the file
  // holds too few raw bytes or memory is short; nothing of a failed load is kept.
  bool LoadPlane();
  bool HasPlane() const { return plane_ != nullptr; }
  const std::uint16_t* Plane() const { return plane_.get(); }
  std::uint16_t* Plane() { return plane_.get(); }
  std::uint32_t PlaneWidth() const { return planeWidth_; }
  std::uint32_t PlaneHeight() const { return planeHeight_; }
  // Turns the loaded plane, its Bayer order and the sizes held here; false (and unchanged)
  // without a plane or without memory for the turn.
  bool TurnPlane(Turn turn);

  // The scale-8 preview of the plane as LoadPlane would turn it, made from the file's raw rows
  // eight at a time without holding the plane: what a quick look at the file needs. Equal to
  // Preview(8) after LoadPlane, log lines included. False with Error() set when the file holds
  // too few raw bytes or memory is short.
  bool ReadEighth(PreviewImage& out, std::string* log = nullptr);

  // A reduced preview of the loaded plane: scale 2, 4, 8, 16 (each halving the one before), 6
  // (a third of the half) or 12 (half of the sixth). Made on first request, kept until the
  // file is destroyed, the plane turned or DiscardPreviews called. Null without a plane, for
  // another scale or without memory; the log lines of the reductions made go to *log.
  const PreviewImage* Preview(int scale, std::string* log = nullptr);
  // For a caller that changes the plane in place (the channel tables), and for the read once
  // its dialog is done: the previews' memory is given back.
  void DiscardPreviews();

  // Where the raw samples begin: just after the block area.
  std::uint64_t RawDataOffset() const { return rawDataOffset_; }

private:
  bool Fail(std::string reason);
  // The bytes of one raw row; false with Error() set unless the file holds every row.
  bool CheckRawData(std::uint64_t& rowBytes);
  bool ReadBlocks();
  bool ParseTtw();
  void IdentifyModel();
  void ApplySubjectAreaRule();
  void ExchangeWbgForPattern4();

  friend class TiffWalker;

  std::unique_ptr<ByteSource> source_;
  std::string error_;
  bool parsed_ = false;
  bool openTried_ = false;

  // PRD
  bool hasPrd_ = false;
  char version_[8] = {};
  std::uint32_t sensorWidth_ = 0, sensorHeight_ = 0, imageWidth_ = 0, imageHeight_ = 0;
  int dataSize_ = 0, pixelSize_ = 0, bayerPattern_ = 0;
  BayerOrder bayerOrder_ = 0;
  ModelCode modelCode_ = 0;
  ColorGroup colorGroup_ = 0;
  std::uint64_t rawDataOffset_ = 0;

  // WBG and RIF
  bool hasWbg_ = false, hasRif_ = false, wbgExchanged_ = false;
  std::array<int, 4> wbgScale_ = {};
  std::array<std::uint16_t, 4> wbgGain_ = {};
  std::array<std::uint16_t, 24> rif_ = {};  // the 16-bit values at offsets 8..55

  // TTW
  std::vector<std::uint8_t> ttw_;
  bool bigEndianTtw_ = true;
  int orientation_ = 1;
  std::optional<std::size_t> orientationPlace_;
  std::optional<std::size_t> dateTimePlace_;
  std::string model_, software_;
  std::vector<std::uint8_t> userComment_;
  std::vector<std::uint32_t> cameraSettings_;
  std::optional<std::uint16_t> newSettingsWb_;
  std::optional<SubjectArea> subjectArea_;
  std::uint64_t thumbOffset_ = 0, thumbLength_ = 0;

  std::unique_ptr<Thumbnail> thumbnail_;
  bool thumbnailTried_ = false;

  std::unique_ptr<std::uint16_t[]> plane_;
  std::uint32_t planeWidth_ = 0, planeHeight_ = 0;
  // Scales 2, 4, 8, 16, 6, 12.
  std::array<PreviewImage, 6> previews_;
};

}  // namespace tessaro
