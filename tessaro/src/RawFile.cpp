#include "tessaro/RawFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "Bytes.h"
#include "JpegDecode.h"
#include "TurnedPlace.h"

namespace tessaro {

namespace {

struct ModelEntry {
  const char* version;
  ModelCode code;
  ColorGroup group;
};

constexpr ModelEntry kModels[] = {
    {"27730001", 1, 1}, {"27660001", 2, 1}, {"27790001", 4, 2}, {"27780001", 5, 2},
    {"27820001", 6, 3}, {"27200001", 7, 4}, {"27470002", 9, 5}, {"21810002", 8, 6},
};

constexpr SubjectArea kFocusAreas[11] = {
    {960, 576, 320, 192},  {1280, 576, 320, 192}, {1600, 576, 320, 192}, {800, 960, 320, 192},
    {960, 960, 320, 192},  {1120, 960, 320, 192}, {1280, 960, 320, 192}, {1440, 960, 320, 192},
    {1600, 960, 320, 192}, {1760, 960, 320, 192}, {1280, 1344, 320, 192},
};

std::string BlockName(const std::uint8_t* header) {
  std::string name;
  for (int i = 1; i < 4; ++i) {
    const char c = static_cast<char>(header[i]);
    name += (c >= 0x20 && c < 0x7f) ? c : '?';
  }
  return name;
}

// A camera-settings table of this many values lacks value 51; it is widened to the newer layout.
constexpr std::size_t kShortSettingsTable = 56;
// Cameras of model 2 with a longer settings table are the later model 3.
constexpr std::size_t kModel3SettingsMin = 40;

}  // namespace

const char* ColorGroupName(ColorGroup group) {
  switch (group) {
    case 1: return "DiMAGE 5 / 7";
    case 2: return "DiMAGE 7i / 7Hi";
    case 3: return "DiMAGE A1";
    case 4: return "DiMAGE A2";
    case 5: return "DiMAGE A200";
    case 6: return "DiMAGE 7D";
    default: return "none";
  }
}

// Walks the IFDs of the TTW block's TIFF stream and picks out the tags the reader uses.
class TiffWalker {
public:
  explicit TiffWalker(RawFile& file)
      : f_(file), p_(file.ttw_.data()), size_(file.ttw_.size()), be_(file.bigEndianTtw_) {}

  bool Walk(std::uint32_t ifd0) {
    // Real files chain IFD0 and IFD1; a longer chain is garbage and ends the walk.
    constexpr int kMaxChain = 64;
    std::uint32_t chain[kMaxChain];
    int walked = 0;
    for (std::uint32_t off = ifd0; off != 0 && walked < kMaxChain; ++walked) {
      for (int i = 0; i < walked; ++i)
        if (chain[i] == off) return WalkSubIfds();  // a loop back: the chain ends here
      chain[walked] = off;
      std::uint32_t next = 0;
      if (!WalkIfd(off, Kind::Main, &next)) return false;
      off = next;
    }
    return WalkSubIfds();
  }

  const std::string& Error() const { return error_; }

private:
  enum class Kind { Main, Exif, MakerNote };

  bool WalkSubIfds() {
    if (exifIfd_ && !WalkIfd(*exifIfd_, Kind::Exif, nullptr)) return false;
    if (makerNote_ && !WalkIfd(*makerNote_, Kind::MakerNote, nullptr)) return false;
    return true;
  }

  bool Fail(std::string reason) {
    error_ = std::move(reason);
    return false;
  }

  bool WalkIfd(std::uint32_t off, Kind kind, std::uint32_t* next) {
    if (std::uint64_t{off} + 2 > size_) return Fail("IFD at " + std::to_string(off) + " lies past the TTW block");
    const std::uint32_t n = bytes::Get16(p_ + off, be_);
    const std::uint64_t end = std::uint64_t{off} + 2 + 12ull * n;
    if (end + (next ? 4 : 0) > size_)
      return Fail("IFD at " + std::to_string(off) + " reaches past the TTW block");
    for (std::uint32_t i = 0; i < n; ++i)
      if (!Entry(static_cast<std::size_t>(off + 2 + 12ull * i), kind)) return false;
    if (next) *next = bytes::Get32(p_ + end, be_);
    return true;
  }

  static std::uint64_t TypeSize(std::uint16_t type) {
    switch (type) {
      case 1: case 2: case 6: case 7: return 1;
      case 3: case 8: return 2;
      case 4: case 9: case 11: return 4;
      case 5: case 10: case 12: return 8;
      default: return 0;
    }
  }

  // Where the value of an entry lies, checked against the block: in the entry when it fits in
  // four bytes, else at the offset the entry holds.
  bool ValuePlace(std::size_t entry, std::uint16_t tag, std::uint64_t length, std::size_t& place) {
    if (length <= 4) {
      place = entry + 8;
      return true;
    }
    const std::uint64_t off = bytes::Get32(p_ + entry + 8, be_);
    if (off + length > size_)
      return Fail("value of tag " + std::to_string(tag) + " reaches past the TTW block");
    place = static_cast<std::size_t>(off);
    return true;
  }

  bool Entry(std::size_t e, Kind kind) {
    const std::uint16_t tag = bytes::Get16(p_ + e, be_);
    const std::uint16_t type = bytes::Get16(p_ + e + 2, be_);
    const std::uint32_t count = bytes::Get32(p_ + e + 4, be_);
    const std::uint64_t length = TypeSize(type) * count;
    enum { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kUndefined = 7 };
    const auto is = [&](std::uint16_t t, std::uint32_t c) { return type == t && (c == 0 || count == c); };

    std::size_t place = 0;
    if (kind == Kind::MakerNote) {
      switch (tag) {
        case 1:
        case 3:
          if (!is(kUndefined, 0)) return true;
          if (!ValuePlace(e, tag, length, place)) return false;
          ReadSettings(place, count / 4);
          return true;
        case 4:
          if (!is(kUndefined, 0)) return true;
          if (!ValuePlace(e, tag, length, place)) return false;
          // The white-balance setting is the 16-bit value at byte 8, big-endian.
          if (count >= 10) f_.newSettingsWb_ = bytes::Be16(p_ + place + 8);
          // Newer cameras keep their rotation sensor's reading at byte 140, big-endian.
          if (count >= 142 && f_.orientation_ == 1) {
            const std::uint16_t v = bytes::Be16(p_ + place + 140);
            if (v == 76) f_.orientation_ = 6;
            if (v == 82) f_.orientation_ = 8;
          }
          return true;
        case 129:
          if (!is(kUndefined, 0)) return true;
          if (!ValuePlace(e, tag, length, place)) return false;
          f_.thumbOffset_ = place;
          f_.thumbLength_ = count;
          thumbHasOffset_ = true;
          return true;
        case 136:
          if (!is(kLong, 1)) return true;
          f_.thumbOffset_ = bytes::Get32(p_ + e + 8, be_);
          thumbHasOffset_ = true;
          return true;
        case 137:
          if (!is(kLong, 1)) return true;
          f_.thumbLength_ = bytes::Get32(p_ + e + 8, be_);
          return true;
        default:
          return true;
      }
    }

    switch (tag) {
      case 272:
      case 305:
        if (!is(kAscii, 0)) return true;
        if (!ValuePlace(e, tag, length, place)) return false;
        {
          const std::uint8_t* s = p_ + place;
          const std::uint8_t* end = std::find(s, s + count, std::uint8_t{0});
          (tag == 272 ? f_.model_ : f_.software_).assign(s, end);
        }
        return true;
      case 274:
        if (!is(kShort, 1)) return true;
        f_.orientation_ = bytes::Get16(p_ + e + 8, be_);
        f_.orientationPlace_ = e + 8;
        return true;
      case 34665:
        if (is(kLong, 1) && !exifIfd_) exifIfd_ = bytes::Get32(p_ + e + 8, be_);
        return true;
      case 36868:
        if (!is(kAscii, 20)) return true;
        if (!ValuePlace(e, tag, length, place)) return false;
        f_.dateTimePlace_ = place;
        return true;
      case 37396:
        if (!is(kShort, 4)) return true;
        if (!ValuePlace(e, tag, length, place)) return false;
        f_.subjectArea_ = SubjectArea{bytes::Get16(p_ + place, be_), bytes::Get16(p_ + place + 2, be_),
                                      bytes::Get16(p_ + place + 4, be_), bytes::Get16(p_ + place + 6, be_)};
        return true;
      case 37500:
        if (!is(kUndefined, 0)) return true;
        if (!ValuePlace(e, tag, length, place)) return false;
        if (!makerNote_) makerNote_ = static_cast<std::uint32_t>(place);
        return true;
      case 37510:
        if (!is(kUndefined, 0)) return true;
        if (!ValuePlace(e, tag, length, place)) return false;
        f_.userComment_.assign(p_ + place, p_ + place + count);
        return true;
      default:
        return true;
    }
  }

  // The camera writes its settings table big-endian whatever the TIFF byte order.
  void ReadSettings(std::size_t place, std::uint32_t n) {
    std::vector<std::uint32_t>& v = f_.cameraSettings_;
    v.resize(n);
    for (std::uint32_t i = 0; i < n; ++i) v[i] = bytes::Be32(p_ + place + 4ull * i);
    if (n == kShortSettingsTable) {
      v.insert(v.begin() + 51, 0u);
    }
  }

public:
  bool ThumbHasOffset() const { return thumbHasOffset_; }

private:
  RawFile& f_;
  const std::uint8_t* p_;
  std::size_t size_;
  bool be_;
  std::optional<std::uint32_t> exifIfd_, makerNote_;
  bool thumbHasOffset_ = false;
  std::string error_;
};

RawFile::RawFile(std::unique_ptr<ByteSource> source) : source_(std::move(source)) {}
RawFile::~RawFile() = default;

bool RawFile::Fail(std::string reason) {
  error_ = std::move(reason);
  return false;
}

std::string RawFile::Version() const { return hasPrd_ ? std::string(version_, 8) : std::string(); }

bool RawFile::Open() {
  if (parsed_) return true;
  // A failed parse leaves half-read state behind; it is not tried again.
  if (openTried_) return false;
  openTried_ = true;
  if (!source_) return Fail("no file");
  if (!ReadBlocks()) return false;
  IdentifyModel();
  if (!ParseTtw()) return false;
  if (modelCode_ == 2 && cameraSettings_.size() >= kModel3SettingsMin) modelCode_ = 3;
  ApplySubjectAreaRule();
  parsed_ = true;
  error_.clear();
  return true;
}

bool RawFile::ReadBlocks() {
  ByteSource& in = *source_;
  const std::uint64_t fileSize = in.Size();
  std::uint8_t head[8];
  if (!in.Seek(0) || !in.Read(head, 8)) return Fail("file shorter than the MRW signature");
  if (head[0] != 0 || head[1] != 'M' || head[2] != 'R' || head[3] != 'M') return Fail("not an MRW file");
  const std::uint64_t areaLength = bytes::Be32(head + 4);
  const std::uint64_t areaEnd = 8 + areaLength;
  if (areaEnd > fileSize) return Fail("block area runs past the end of the file");
  rawDataOffset_ = areaEnd;

  std::uint64_t pos = 8;
  std::uint64_t consumed = 8;
  for (;;) {
    std::uint8_t hdr[8];
    if (!in.Read(hdr, 8)) return Fail("cannot read the block header at " + std::to_string(pos));
    if (hdr[0] != 0) return Fail("bad block header at " + std::to_string(pos));
    const std::string name = BlockName(hdr);
    const std::uint64_t n = bytes::Be32(hdr + 4);
    pos += 8;
    if (name == "PAD") break;
    // The block must fit in the block area, which is known to fit in the file.
    if (n > areaEnd - std::min(pos, areaEnd)) return Fail(name + " block runs past the block area");

    std::uint8_t buf[56];
    if (name == "PRD") {
      if (n < 24) return Fail("PRD block shorter than 24 bytes");
      if (!in.Read(buf, 24)) return Fail("cannot read the PRD block");
      std::memcpy(version_, buf, 8);
      sensorHeight_ = bytes::Be16(buf + 8);
      sensorWidth_ = bytes::Be16(buf + 10);
      imageHeight_ = bytes::Be16(buf + 12);
      imageWidth_ = bytes::Be16(buf + 14);
      dataSize_ = buf[16];
      pixelSize_ = buf[17];
      bayerPattern_ = bytes::Be16(buf + 22);
      hasPrd_ = true;
    } else if (name == "TTW") {
      if (n < 8) return Fail("TTW block shorter than 8 bytes");
      try {
        ttw_.resize(static_cast<std::size_t>(n));
      } catch (const std::bad_alloc&) {
        return Fail("out of memory for the TTW block");
      }
      if (!in.Read(ttw_.data(), ttw_.size())) return Fail("cannot read the TTW block");
    } else if (name == "WBG") {
      if (n < 12) return Fail("WBG block shorter than 12 bytes");
      if (!in.Read(buf, 12)) return Fail("cannot read the WBG block");
      for (int i = 0; i < 4; ++i) {
        wbgScale_[i] = buf[i];
        wbgGain_[i] = bytes::Be16(buf + 4 + 2 * i);
      }
      hasWbg_ = true;
    } else if (name == "RIF") {
      if (n < 56) return Fail("RIF block shorter than 56 bytes");
      if (!in.Read(buf, 56)) return Fail("cannot read the RIF block");
      for (int i = 0; i < 24; ++i) rif_[i] = bytes::Be16(buf + 8 + 2 * i);
      hasRif_ = true;
    }
    // Whatever of the block was not read (and all of an unknown one) is skipped by its length.
    pos += n;
    consumed += n + 8;
    if (!in.Seek(pos)) return Fail("cannot seek past the " + name + " block");
    if (consumed >= areaLength) break;
  }
  if (!hasPrd_) return Fail("no PRD block");
  bayerOrder_ = bayerPattern_ == 4 ? 1 : 0;
  if (sensorWidth_ == 0 || sensorHeight_ == 0) return Fail("PRD block gives an empty sensor");
  return true;
}

void RawFile::IdentifyModel() {
  modelCode_ = 0;
  colorGroup_ = 0;
  for (const ModelEntry& m : kModels) {
    if (std::memcmp(version_, m.version, 8) == 0) {
      modelCode_ = m.code;
      colorGroup_ = m.group;
    }
  }
}

bool RawFile::ParseTtw() {
  if (ttw_.empty()) return true;  // no TTW block: nothing to read from it
  const std::uint8_t* p = ttw_.data();
  if (p[0] == 'I' && p[1] == 'I') {
    bigEndianTtw_ = false;
  } else if (p[0] == 'M' && p[1] == 'M') {
    bigEndianTtw_ = true;
  } else {
    return Fail("TTW block is not a TIFF stream");
  }
  if (bytes::Get16(p + 2, bigEndianTtw_) != 42) return Fail("TTW block is not a TIFF stream");

  TiffWalker walker(*this);
  if (!walker.Walk(bytes::Get32(p + 4, bigEndianTtw_))) return Fail(walker.Error());
  if (!walker.ThumbHasOffset() || thumbLength_ == 0 || thumbOffset_ > ttw_.size() ||
      thumbLength_ > ttw_.size() - thumbOffset_) {
    thumbOffset_ = thumbLength_ = 0;
  }
  return true;
}

void RawFile::ApplySubjectAreaRule() {
  if (modelCode_ != 6 && modelCode_ != 7) return;
  if (cameraSettings_.size() < 50) return;
  const std::uint32_t f = cameraSettings_[47], s = cameraSettings_[48], m = cameraSettings_[49];
  if (m == 0) {
    subjectArea_ = (f >= 1 && f <= 11) ? kFocusAreas[f - 1] : SubjectArea{1280, 960, 2560, 1920};
  } else if (m == 1 && s == 0 && f == 0) {
    subjectArea_ = modelCode_ == 6 ? SubjectArea{1280, 960, 2560, 1920} : SubjectArea{1632, 1224, 3264, 2448};
  }
}

bool RawFile::SetOrientation(int orientation) {
  if (orientation < 1 || orientation > 8) return false;
  orientation_ = orientation;
  if (orientationPlace_)
    bytes::Put16(ttw_.data() + *orientationPlace_, static_cast<std::uint16_t>(orientation), bigEndianTtw_);
  return true;
}

bool RawFile::SetDateTimeDigitised(std::string_view text) {
  if (!dateTimePlace_) return false;
  char value[20] = {};
  std::memcpy(value, text.data(), std::min<std::size_t>(text.size(), 19));
  std::memcpy(ttw_.data() + *dateTimePlace_, value, 20);
  return true;
}

double RawFile::WbCoefficient(int preset, int channel) const {
  if (!parsed_ || channel < 0 || channel > 3) return 1.0;
  // The scale is a shift of up to 31 places; a double holds every one of them exactly.
  const auto scale = [this](int c) { return std::ldexp(64.0, wbgScale_[c] & 31); };
  if (preset == 0) return hasWbg_ ? wbgGain_[channel] / scale(channel) : 1.0;
  if (preset < 1 || preset >= kWbPresetCount || !hasRif_) return 1.0;
  const int k = (preset - 1) * 2;
  if (channel == kWbRed) return rif_[k] / scale(0);
  if (channel == kWbBlue) return rif_[k + 1] / scale(3);
  return 1.0;
}

double RawFile::RifValue(int index) const {
  if (!parsed_ || !hasRif_ || index < 0 || index > 11) return 0.0;
  // Colour-difference coefficients are negative as often as not: the values are signed.
  return static_cast<std::int16_t>(rif_[12 + index]) / 256.0;
}

TemperatureModel RawFile::GetTemperatureModel() const {
  TemperatureModel t;
  if (!parsed_ || !hasRif_) return t;
  const double rt = rif_[0], bt = rif_[1], rd = rif_[2], bd = rif_[3];
  if (rt == 0 || bt == 0 || rd == 0 || bd == 0) return t;
  const double f = std::log(rt / bt), g = std::log(rd / bd);
  t.d = (2800 * f - 5500 * g) / 2700;
  t.e = 2800 * (f + t.d);
  return t;
}

void RawFile::ExchangeWbgForPattern4() {
  if (wbgExchanged_ || bayerPattern_ != 4) return;
  std::swap(wbgScale_[0], wbgScale_[2]);
  std::swap(wbgScale_[1], wbgScale_[3]);
  std::swap(wbgGain_[0], wbgGain_[2]);
  std::swap(wbgGain_[1], wbgGain_[3]);
  wbgExchanged_ = true;
}

const Thumbnail* RawFile::GetThumbnail() {
  if (thumbnail_) return thumbnail_.get();
  if (!parsed_ || thumbLength_ == 0) {
    error_ = "no thumbnail";
    return nullptr;
  }
  if (thumbnailTried_) return nullptr;
  thumbnailTried_ = true;

  auto thumb = std::make_unique<Thumbnail>();
  std::vector<std::uint8_t> jpeg(ttw_.begin() + static_cast<std::ptrdiff_t>(thumbOffset_),
                                 ttw_.begin() + static_cast<std::ptrdiff_t>(thumbOffset_ + thumbLength_));
  // The camera stores the JPEG's first marker byte as 0.
  jpeg[0] = 255;
  std::string why;
  if (!DecodeJpegRgb(jpeg.data(), jpeg.size(), *thumb, why)) {
    error_ = "thumbnail: " + why;
    return nullptr;
  }
  Turn turn;
  if (TurnForOrientation(orientation_, turn)) {
    // Three bytes per pixel, turned as one unit.
    struct Rgb {
      std::uint8_t c[3];
    };
    std::unique_ptr<Rgb[]> px(new (std::nothrow) Rgb[std::size_t{thumb->width} * thumb->height]);
    if (!px) {
      error_ = "out of memory for the thumbnail";
      return nullptr;
    }
    std::memcpy(px.get(), thumb->rgb.data(), thumb->rgb.size());
    if (!TurnPixels(px, thumb->width, thumb->height, turn)) {
      error_ = "out of memory for the thumbnail";
      return nullptr;
    }
    std::memcpy(thumb->rgb.data(), px.get(), thumb->rgb.size());
  }
  if ((modelCode_ == 1 || modelCode_ == 2) && cameraSettings_.size() > 30) {
    // These cameras store an unbalanced thumbnail; the settings hold its gains in 1/256.
    const std::uint64_t gain[3] = {cameraSettings_[28], cameraSettings_[29], cameraSettings_[30]};
    for (std::size_t i = 0; i < thumb->rgb.size(); ++i) {
      const std::uint64_t v = thumb->rgb[i] * gain[i % 3] / 256;
      thumb->rgb[i] = static_cast<std::uint8_t>(v > 255 ? 255 : v);
    }
  }
  thumbnail_ = std::move(thumb);
  return thumbnail_.get();
}

bool RawFile::CheckRawData(std::uint64_t& rowBytes) {
  if (!parsed_) return Fail("file not open");
  rowBytes = IsPacked() ? std::uint64_t{sensorWidth_} * 3 / 2 : std::uint64_t{sensorWidth_} * 2;
  const std::uint64_t need = rowBytes * sensorHeight_;
  const std::uint64_t size = source_->Size();
  if (rawDataOffset_ > size || need > size - rawDataOffset_)
    return Fail("raw data short by " + std::to_string(need - (size - std::min(size, rawDataOffset_))) + " bytes");
  return true;
}

bool RawFile::LoadPlane() {
  if (plane_) return true;
  std::uint64_t rowBytes = 0;
  if (!CheckRawData(rowBytes)) return false;
  ByteSource& in = *source_;
  const std::uint32_t w = sensorWidth_, h = sensorHeight_;
  const bool packed = IsPacked();
  const std::uint64_t samples = std::uint64_t{w} * h;
  if (samples > std::numeric_limits<std::size_t>::max() / 2) return Fail("raw plane too large");

  std::unique_ptr<std::uint16_t[]> plane(new (std::nothrow) std::uint16_t[static_cast<std::size_t>(samples)]);
  std::unique_ptr<std::uint8_t[]> row(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(rowBytes)]);
  if (!plane || !row) return Fail("out of memory for the raw plane");
  if (!in.Seek(rawDataOffset_)) return Fail("cannot seek to the raw data");
  for (std::uint32_t y = 0; y < h; ++y) {
    if (!in.Read(row.get(), static_cast<std::size_t>(rowBytes))) return Fail("cannot read raw row " + std::to_string(y));
    std::uint16_t* dst = plane.get() + std::size_t{y} * w;
    if (packed)
      UnpackPacked12(row.get(), w, dst);
    else
      Unpack16(row.get(), w, dst);
  }
  row.reset();

  std::uint32_t pw = w, ph = h;
  BayerOrder order = bayerPattern_ == 4 ? 1 : 0;
  Turn turn;
  const bool turned = TurnForOrientation(orientation_, turn);
  // A plane that cannot be turned upright would be handed on wrongly; fail the load instead.
  if (turned && !TurnPixels(plane, pw, ph, turn)) return Fail("out of memory for turning the raw plane");

  plane_ = std::move(plane);
  planeWidth_ = pw;
  planeHeight_ = ph;
  bayerOrder_ = turned ? TurnedBayerOrder(order, turn) : order;
  if (turned && turn != Turn::Half) {
    std::swap(sensorWidth_, sensorHeight_);
    std::swap(imageWidth_, imageHeight_);
  }
  ExchangeWbgForPattern4();
  return true;
}

bool RawFile::ReadEighth(PreviewImage& out, std::string* log) {
  out.valid = false;
  std::uint64_t rowBytes = 0;
  if (!CheckRawData(rowBytes)) return false;
  ByteSource& in = *source_;
  const std::uint32_t w = sensorWidth_, h = sensorHeight_;
  const bool packed = IsPacked();
  const BayerOrder order = bayerPattern_ == 4 ? 1 : 0;
  Turn turn = Turn::Half;
  const bool turned = TurnForOrientation(orientation_, turn);

  // Three halvings of the turned plane reduce aligned 8 x 8 tiles of it, and each stage only
  // adds up or picks within its block, so the same tiles of the unturned sensor give the same
  // values. Where a turn runs an axis backwards the tiles there begin at its remainder.
  const bool backX = turned && turn != Turn::QuarterCw;
  const bool backY = turned && turn != Turn::QuarterCcw;
  const std::uint32_t ox = backX ? w % 8 : 0, oy = backY ? h % 8 : 0;
  const std::uint32_t tilesX = w / 8, tilesY = h / 8;
  const bool quarter = turned && turn != Turn::Half;

  // Which photosite of each 2 x 2 block is which, as the turned plane's order names them.
  struct Site {
    std::uint32_t dx, dy;
  };
  const BayerOrder planeOrder = turned ? TurnedBayerOrder(order, turn) : order;
  Site red{}, blue{}, green[2] = {};
  int greens = 0;
  for (std::uint32_t dy = 0; dy < 2; ++dy)
    for (std::uint32_t dx = 0; dx < 2; ++dx) {
      std::uint32_t px = 0, py = 0;
      TurnedPlace(turned, turn, w, h, ox + dx, oy + dy, px, py);
      const int phase = CfaPhase(px, py, planeOrder);
      if (phase == 0)
        red = {dx, dy};
      else if (phase == 3)
        blue = {dx, dy};
      else
        green[greens++] = {dx, dy};
    }

  out.width = quarter ? tilesY : tilesX;
  out.height = quarter ? tilesX : tilesY;
  out.scale = 8;
  out.kind = kPreviewRgb;
  const std::size_t chunk = static_cast<std::size_t>(rowBytes) * 8;
  std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[chunk]);
  std::unique_ptr<std::uint16_t[]> rows(new (std::nothrow) std::uint16_t[std::size_t{w} * 8]);
  try {
    out.pixels.resize(std::size_t{out.width} * out.height * 3);
  } catch (const std::bad_alloc&) {
    out.pixels = {};
    out.width = out.height = 0;
    return Fail("out of memory for the preview");
  }
  if (!bytes || !rows) return Fail("out of memory for the preview");

  if (!in.Seek(rawDataOffset_ + rowBytes * oy)) return Fail("cannot seek to the raw data");
  for (std::uint32_t ty = 0; ty < tilesY; ++ty) {
    if (!in.Read(bytes.get(), chunk)) return Fail("cannot read raw row " + std::to_string(oy + 8 * ty));
    const std::uint16_t* row[8];
    for (std::uint32_t r = 0; r < 8; ++r) {
      const std::uint8_t* src = bytes.get() + static_cast<std::size_t>(rowBytes) * r;
      std::uint16_t* dst = rows.get() + std::size_t{w} * r;
      if (packed)
        UnpackPacked12(src, w, dst);
      else
        Unpack16(src, w, dst);
      row[r] = dst + ox;
    }
    for (std::uint32_t tx = 0; tx < tilesX; ++tx) {
      const std::size_t x0 = std::size_t{8} * tx;
      unsigned sum[3] = {0, 0, 0};
      // Four quarter-scale pixels, each from four half-scale ones, as the halvings make them.
      for (std::uint32_t qy = 0; qy < 8; qy += 4)
        for (std::uint32_t qx = 0; qx < 8; qx += 4) {
          unsigned q[3] = {0, 0, 0};
          for (std::uint32_t by = qy; by < qy + 4; by += 2)
            for (std::size_t bx = x0 + qx; bx < x0 + qx + 4; bx += 2) {
              q[0] += row[by + red.dy][bx + red.dx];
              q[1] += (unsigned{row[by + green[0].dy][bx + green[0].dx]} + row[by + green[1].dy][bx + green[1].dx]) >> 1;
              q[2] += row[by + blue.dy][bx + blue.dx];
            }
          for (int c = 0; c < 3; ++c) sum[c] += q[c] >> 2;
        }
      std::uint32_t px = 0, py = 0;
      TurnedPlace(turned, turn, tilesX, tilesY, tx, ty, px, py);
      std::uint16_t* o = out.pixels.data() + (std::size_t{py} * out.width + px) * 3;
      for (int c = 0; c < 3; ++c) o[c] = static_cast<std::uint16_t>(sum[c] >> 2);
    }
  }
  if (log) *log += "GeneratingPreview2 from RGGB\nGeneratingPreview2 from RGB\nGeneratingPreview2 from RGB\n";
  // The white balance as a loaded plane would leave it.
  ExchangeWbgForPattern4();
  out.valid = true;
  return true;
}

bool RawFile::TurnPlane(Turn turn) {
  if (!plane_) return false;
  if (!TurnPixels(plane_, planeWidth_, planeHeight_, turn)) return false;
  bayerOrder_ = TurnedBayerOrder(bayerOrder_, turn);
  if (turn != Turn::Half) {
    std::swap(sensorWidth_, sensorHeight_);
    std::swap(imageWidth_, imageHeight_);
  }
  DiscardPreviews();
  return true;
}

void RawFile::DiscardPreviews() {
  for (PreviewImage& p : previews_) p = PreviewImage{};
}

const PreviewImage* RawFile::Preview(int scale, std::string* log) {
  if (!plane_) return nullptr;
  // Slot and the scale each is made from (0: the plane itself).
  int slot, from, third = 0;
  switch (scale) {
    case 2: slot = 0; from = 0; break;
    case 4: slot = 1; from = 2; break;
    case 8: slot = 2; from = 4; break;
    case 16: slot = 3; from = 8; break;
    case 6: slot = 4; from = 2; third = 1; break;
    case 12: slot = 5; from = 6; break;
    default: return nullptr;
  }
  PreviewImage& out = previews_[static_cast<std::size_t>(slot)];
  if (out.valid) return &out;
  PreviewSource src{plane_.get(), planeWidth_, planeHeight_, 1, bayerOrder_};
  if (from != 0) {
    const PreviewImage* before = Preview(from, log);
    if (!before) return nullptr;
    src = PreviewSource::Of(*before);
  }
  const bool made = third ? ThirdPreview(src, out, log) : HalvePreview(src, out, log);
  return made ? &out : nullptr;
}

}  // namespace tessaro
