#include "MrwWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include <jpeglib.h>

namespace tessaro::testing {

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutBe16(Bytes& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v >> 8));
  b.push_back(static_cast<std::uint8_t>(v));
}
void PutBe32(Bytes& b, std::uint32_t v) {
  PutBe16(b, v >> 16);
  PutBe16(b, v & 0xFFFF);
}

// A TIFF stream of IFD0, the EXIF IFD and the maker note IFD, laid out in that order and
// followed by one area for every value that does not fit in its entry.
class TiffBuilder {
public:
  enum Ifd { kIfd0, kExif, kMaker, kIfdCount };
  explicit TiffBuilder(bool bigEndian) : be_(bigEndian) {}

  void Add16(Ifd ifd, std::uint16_t tag, const std::vector<std::uint16_t>& values) {
    Bytes b;
    for (std::uint16_t v : values) Put16(b, v);
    Add(ifd, tag, 3, static_cast<std::uint32_t>(values.size()), b);
  }
  void Add32(Ifd ifd, std::uint16_t tag, std::uint32_t value, int pointsAt = -1) {
    Bytes b;
    Put32(b, value);
    Add(ifd, tag, 4, 1, b);
    ifds_[ifd].back().pointsAt = pointsAt;
  }
  void AddAscii(Ifd ifd, std::uint16_t tag, const std::string& s, std::uint32_t count = 0) {
    Bytes b(s.begin(), s.end());
    b.resize(std::max<std::size_t>(count, s.size() + 1), 0);
    Add(ifd, tag, 2, static_cast<std::uint32_t>(b.size()), b);
  }
  void AddUndefined(Ifd ifd, std::uint16_t tag, const Bytes& b) {
    Add(ifd, tag, 7, static_cast<std::uint32_t>(b.size()), b);
  }
  // The maker note entry of the EXIF IFD: points at the maker note IFD.
  void AddMakerNotePointer() {
    Add(kExif, 37500, 7, 0, {});
    ifds_[kExif].back().pointsAt = kMaker;
  }
  // A LONG holding where a later-added data blob (the thumbnail) will lie.
  void AddBlobOffset(Ifd ifd, std::uint16_t tag) {
    Add32(ifd, tag, 0, kBlob);
  }
  void SetBlob(Bytes blob) { blob_ = std::move(blob); }
  void SetChainLoop(bool loop) { chainLoop_ = loop; }

  Bytes Build() const {
    std::uint32_t at[kIfdCount + 1];
    std::uint32_t pos = 8;
    for (int i = 0; i < kIfdCount; ++i) {
      at[i] = pos;
      if (!ifds_[i].empty() || i != kMaker) pos += static_cast<std::uint32_t>(2 + 12 * ifds_[i].size() + 4);
    }
    const std::uint32_t dataStart = pos;
    std::uint32_t dataLen = 0;
    for (const auto& ifd : ifds_)
      for (const Entry& e : ifd)
        if (e.value.size() > 4) dataLen += static_cast<std::uint32_t>((e.value.size() + 1) & ~std::size_t{1});
    const std::uint32_t blobAt = dataStart + dataLen;
    at[kIfdCount] = blobAt;

    Bytes out;
    out.push_back(be_ ? 'M' : 'I');
    out.push_back(be_ ? 'M' : 'I');
    Put16(out, 42);
    Put32(out, at[kIfd0]);
    std::uint32_t data = dataStart;
    Bytes area;
    for (int i = 0; i < kIfdCount; ++i) {
      if (ifds_[i].empty() && i == kMaker) continue;
      std::vector<Entry> entries = ifds_[i];
      std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
      Put16(out, static_cast<std::uint16_t>(entries.size()));
      for (const Entry& e : entries) {
        Put16(out, e.tag);
        Put16(out, e.type);
        if (e.pointsAt == kMaker) {
          Put32(out, static_cast<std::uint32_t>(2 + 12 * ifds_[kMaker].size() + 4));
          Put32(out, at[kMaker]);
          continue;
        }
        Put32(out, e.count);
        if (e.pointsAt >= 0) {
          Put32(out, at[e.pointsAt]);
        } else if (e.value.size() <= 4) {
          Bytes v = e.value;
          v.resize(4, 0);
          out.insert(out.end(), v.begin(), v.end());
        } else {
          Put32(out, data);
          area.insert(area.end(), e.value.begin(), e.value.end());
          if (e.value.size() & 1) area.push_back(0);
          data += static_cast<std::uint32_t>((e.value.size() + 1) & ~std::size_t{1});
        }
      }
      Put32(out, i == kIfd0 && chainLoop_ ? at[kIfd0] : 0);
    }
    out.insert(out.end(), area.begin(), area.end());
    out.insert(out.end(), blob_.begin(), blob_.end());
    return out;
  }

  static constexpr int kBlob = kIfdCount;

private:
  struct Entry {
    std::uint16_t tag, type;
    std::uint32_t count;
    Bytes value;
    int pointsAt = -1;
  };

  void Add(Ifd ifd, std::uint16_t tag, std::uint16_t type, std::uint32_t count, const Bytes& value) {
    ifds_[ifd].push_back(Entry{tag, type, count, value});
  }
  void Put16(Bytes& b, std::uint32_t v) const {
    const auto hi = static_cast<std::uint8_t>(v >> 8), lo = static_cast<std::uint8_t>(v);
    b.push_back(be_ ? hi : lo);
    b.push_back(be_ ? lo : hi);
  }
  void Put32(Bytes& b, std::uint32_t v) const {
    Put16(b, be_ ? v >> 16 : v & 0xFFFF);
    Put16(b, be_ ? v & 0xFFFF : v >> 16);
  }

  bool be_;
  bool chainLoop_ = false;
  std::vector<Entry> ifds_[kIfdCount];
  Bytes blob_;
};

void AddBlock(Bytes& out, const char* name, const Bytes& data, std::uint32_t statedLength) {
  out.push_back(0);
  out.insert(out.end(), name, name + 3);
  PutBe32(out, statedLength);
  out.insert(out.end(), data.begin(), data.end());
}

Bytes MakeTtw(const MrwLayout& s) {
  TiffBuilder t(s.bigEndian);
  using T = TiffBuilder;
  if (!s.model.empty()) t.AddAscii(T::kIfd0, 272, s.model);
  if (s.orientation) t.Add16(T::kIfd0, 274, {*s.orientation});
  if (!s.software.empty()) t.AddAscii(T::kIfd0, 305, s.software);
  t.Add32(T::kIfd0, 34665, 0, T::kExif);
  if (!s.dateTime.empty()) t.AddAscii(T::kExif, 36868, s.dateTime, 20);
  if (s.subjectArea) t.Add16(T::kExif, 37396, {(*s.subjectArea)[0], (*s.subjectArea)[1], (*s.subjectArea)[2], (*s.subjectArea)[3]});
  if (!s.userComment.empty()) t.AddUndefined(T::kExif, 37510, s.userComment);

  bool maker = false;
  if (!s.cameraSettings.empty()) {
    Bytes b;
    for (std::uint32_t v : s.cameraSettings) PutBe32(b, v);
    t.AddUndefined(T::kMaker, s.settingsTag, b);
    maker = true;
  }
  if (s.newSettingsRotation || s.newSettingsWb) {
    Bytes b(160, 0);
    const std::uint16_t rotation = s.newSettingsRotation.value_or(0), wb = s.newSettingsWb.value_or(0);
    b[140] = static_cast<std::uint8_t>(rotation >> 8);
    b[141] = static_cast<std::uint8_t>(rotation);
    b[8] = static_cast<std::uint8_t>(wb >> 8);
    b[9] = static_cast<std::uint8_t>(wb);
    t.AddUndefined(T::kMaker, 4, b);
    maker = true;
  }
  if (!s.thumbnailJpeg.empty()) {
    Bytes jpeg = s.thumbnailJpeg;
    if (s.zeroFirstThumbByte) jpeg[0] = 0;
    if (s.thumbnailAsUndefined) {
      t.AddUndefined(T::kMaker, 129, jpeg);
    } else {
      t.AddBlobOffset(T::kMaker, 136);
      t.Add32(T::kMaker, 137, static_cast<std::uint32_t>(jpeg.size()));
      t.SetBlob(std::move(jpeg));
    }
    maker = true;
  }
  if (maker) t.AddMakerNotePointer();
  t.SetChainLoop(s.chainLoop);
  return t.Build();
}

Bytes MakeRaw(const MrwLayout& s) {
  std::vector<std::uint16_t> samples = s.samples.empty() ? TestSamples(s.width, s.height) : s.samples;
  samples.resize(std::size_t{s.width} * s.height, 0);
  Bytes raw;
  for (std::uint32_t y = 0; y < s.height; ++y) {
    const std::uint16_t* row = samples.data() + std::size_t{y} * s.width;
    if (s.packed) {
      const std::size_t rowBytes = std::size_t{s.width} * 3 / 2;
      const std::size_t start = raw.size();
      for (std::uint32_t x = 0; x + 1 < s.width; x += 2) {
        const unsigned a = row[x] & 0xFFFu, b = row[x + 1] & 0xFFFu;
        raw.push_back(static_cast<std::uint8_t>(a >> 4));
        raw.push_back(static_cast<std::uint8_t>(((a & 15u) << 4) | (b >> 8)));
        raw.push_back(static_cast<std::uint8_t>(b));
      }
      raw.resize(start + rowBytes, 0);
    } else {
      for (std::uint32_t x = 0; x < s.width; ++x) PutBe16(raw, row[x]);
    }
  }
  if (s.rawBytesDelta < 0)
    raw.resize(raw.size() - std::min<std::size_t>(raw.size(), static_cast<std::size_t>(-s.rawBytesDelta)));
  else
    raw.resize(raw.size() + static_cast<std::size_t>(s.rawBytesDelta), 0);
  return raw;
}

}  // namespace

std::vector<std::uint8_t> EncodeJpeg(const RgbImage& image, int quality) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  // Test inputs are always valid; an encoder error is a broken test setup.
  jerr.error_exit = [](j_common_ptr c) {
    (*c->err->output_message)(c);
    std::abort();
  };
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = image.width;
  cinfo.image_height = image.height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  for (int i = 0; i < cinfo.num_components; ++i) {
    cinfo.comp_info[i].h_samp_factor = 1;
    cinfo.comp_info[i].v_samp_factor = 1;
  }
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(image.rgb.data() + std::size_t{cinfo.next_scanline} * image.width * 3);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<std::uint8_t> out(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return out;
}

RgbImage QuadrantImage(std::uint32_t width, std::uint32_t height) {
  static constexpr std::uint8_t kColours[4][3] = {{255, 0, 0}, {0, 255, 0}, {255, 255, 255}, {0, 0, 255}};
  RgbImage img{width, height, std::vector<std::uint8_t>(std::size_t{width} * height * 3)};
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const int q = (y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1);  // 0 TL, 1 TR, 2 BL, 3 BR
      std::copy(kColours[q], kColours[q] + 3, img.rgb.begin() + static_cast<std::ptrdiff_t>((std::size_t{y} * width + x) * 3));
    }
  }
  return img;
}

std::vector<std::uint16_t> TestSamples(std::uint32_t width, std::uint32_t height, std::uint32_t seed,
                                       std::uint16_t limit) {
  std::vector<std::uint16_t> v(std::size_t{width} * height);
  std::uint32_t state = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < v.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    v[i] = static_cast<std::uint16_t>((state >> 8) % (std::uint32_t{limit} + 1));
  }
  return v;
}

MrwFile WriteMrw(const MrwLayout& s) {
  Bytes blocks;
  {
    Bytes prd;
    prd.insert(prd.end(), s.version.begin(), s.version.end());
    prd.resize(8, '0');
    PutBe16(prd, s.height);
    PutBe16(prd, s.width);
    PutBe16(prd, s.imageHeight ? s.imageHeight : s.height);
    PutBe16(prd, s.imageWidth ? s.imageWidth : s.width);
    prd.push_back(s.packed ? 12 : 16);
    prd.push_back(12);
    PutBe16(prd, s.packed ? 0x59 : 0x52);
    PutBe16(prd, 0);
    PutBe16(prd, s.bayerPattern);
    prd.resize(s.prdLength, 0);
    AddBlock(blocks, "PRD", prd, s.prdLength);
  }
  for (const auto& [name, data] : s.extraBlocks) {
    std::string n = name;
    n.resize(3, ' ');
    AddBlock(blocks, n.c_str(), data, static_cast<std::uint32_t>(data.size()));
  }
  std::size_t ttwData = 0;
  if (s.ttw) {
    const Bytes ttw = MakeTtw(s);
    ttwData = 8 + blocks.size() + 8;
    AddBlock(blocks, "TTW", ttw, static_cast<std::uint32_t>(ttw.size()));
  }
  if (s.wbg) {
    Bytes wbg(s.wbgScale.begin(), s.wbgScale.end());
    for (std::uint16_t g : s.wbgGain) PutBe16(wbg, g);
    AddBlock(blocks, "WBG", wbg, 12);
  }
  if (s.rif) {
    Bytes rif(8, 0);
    for (std::uint16_t v : s.rifValues) PutBe16(rif, v);
    AddBlock(blocks, "RIF", rif, 56);
  }
  if (s.pad) AddBlock(blocks, "PAD", Bytes(s.padLength, 0), s.padLength);

  MrwFile f;
  f.bytes = {0, 'M', 'R', 'M'};
  PutBe32(f.bytes, static_cast<std::uint32_t>(blocks.size()));
  f.bytes.insert(f.bytes.end(), blocks.begin(), blocks.end());
  f.ttwData = ttwData;
  f.rawData = f.bytes.size();
  const Bytes raw = MakeRaw(s);
  f.bytes.insert(f.bytes.end(), raw.begin(), raw.end());
  return f;
}

std::vector<std::uint16_t> ExpectedPlane(const MrwLayout& s) {
  std::vector<std::uint16_t> v = s.samples.empty() ? TestSamples(s.width, s.height) : s.samples;
  v.resize(std::size_t{s.width} * s.height, 0);
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (s.packed) {
      v[i] &= 0xFFF;
      if ((s.width & 1u) && i % s.width == s.width - 1u) v[i] = 0;
    } else if (v[i] > 4095) {
      v[i] = 4095;
    }
  }
  return v;
}

std::array<double, 3> QuadrantSceneColour(int q) {
  static constexpr double kScene[4][3] = {{0.75, 0.10, 0.08}, {0.10, 0.65, 0.12}, {0.80, 0.80, 0.80}, {0.08, 0.12, 0.70}};
  return {kScene[q][0], kScene[q][1], kScene[q][2]};
}

std::vector<std::uint16_t> QuadrantMosaic(const MrwLayout& s) {
  // The shot's coefficients in red, green 1, green 2, blue order; a green-first pattern stores
  // them exchanged in pairs.
  double coef[4];
  for (int i = 0; i < 4; ++i) {
    const int at = s.bayerPattern == 4 ? i ^ 2 : i;
    const double scale = static_cast<double>(64u << (s.wbgScale[static_cast<std::size_t>(at)] & 31u));
    coef[i] = s.wbg && s.wbgGain[static_cast<std::size_t>(at)] ? s.wbgGain[static_cast<std::size_t>(at)] / scale : 1.0;
  }
  const std::uint32_t order = s.bayerPattern == 4 ? 1 : 0;
  const std::uint32_t halfW = std::max<std::uint32_t>(s.width / 2u, 1), halfH = s.height / 2u;
  constexpr double kClip = 3963.0;
  std::vector<std::uint16_t> v(std::size_t{s.width} * s.height);
  std::uint32_t noise = 12345;
  for (std::uint32_t y = 0; y < s.height; ++y)
    for (std::uint32_t x = 0; x < s.width; ++x) {
      const int q = (y < halfH ? 0 : 2) + (x < halfW ? 0 : 1);
      const double shade = 0.55 + 0.45 * (x % halfW) / std::max<std::uint32_t>(halfW - 1, 1);
      // Phase 0 red, 3 blue, 2 green on the red rows, 1 green on the blue rows.
      const std::uint32_t phase = (((x & 1u) << 1) | (y & 1u)) ^ order;
      const int channel = phase == 0 ? 0 : phase == 3 ? 2 : 1;
      const int coefAt = phase == 0 ? 0 : phase == 2 ? 1 : phase == 1 ? 2 : 3;
      noise = noise * 1664525u + 1013904223u;
      const double jitter = static_cast<double>((noise >> 16) % 25u) - 12.0;
      const double value = QuadrantSceneColour(q)[static_cast<std::size_t>(channel)] * shade * kClip / coef[coefAt] + jitter;
      v[std::size_t{y} * s.width + x] = static_cast<std::uint16_t>(std::clamp(value, 0.0, 4095.0));
    }
  return v;
}

QuadrantColours QuadrantMeans(const std::vector<std::uint16_t>& rgb, std::uint32_t width, std::uint32_t height,
                              std::uint32_t left, std::uint32_t top, std::uint32_t sensorWidth,
                              std::uint32_t sensorHeight, double maxValue, std::uint32_t band) {
  QuadrantColours sum{};
  std::array<double, 4> count{};
  const std::uint32_t halfW = sensorWidth / 2u, halfH = sensorHeight / 2u;
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint32_t sx = x + left, sy = y + top;
      const auto near = [band](std::uint32_t v, std::uint32_t border) { return v + band >= border && v < border + band; };
      if (near(sx, halfW) || near(sy, halfH)) continue;
      const std::size_t q = (sy < halfH ? 0u : 2u) + (sx < halfW ? 0u : 1u);
      for (std::size_t c = 0; c < 3; ++c) sum[q][c] += rgb[(std::size_t{y} * width + x) * 3 + c];
      ++count[q];
    }
  for (std::size_t q = 0; q < 4; ++q)
    for (double& v : sum[q]) v = count[q] > 0 ? v / count[q] / maxValue : 0.0;
  return sum;
}

MrwLayout SampleLayout() {
  MrwLayout s;
  s.width = 64;
  s.height = 48;
  s.packed = true;
  s.samples = QuadrantMosaic(s);
  // The colour matrix in 1/256 at offsets 32..54: Y (red, green 1, blue, green 2), Cb, Cr. The
  // Y row adds up to 1 and the colour-difference rows to 0, as a camera's do.
  const std::int16_t matrix[12] = {77, 75, 29, 75, -43, -43, 128, -42, 128, -53, -22, -53};
  for (std::size_t i = 0; i < 12; ++i) s.rifValues[12 + i] = static_cast<std::uint16_t>(matrix[i]);
  s.cameraSettings.resize(57);
  for (std::size_t i = 0; i < s.cameraSettings.size(); ++i) s.cameraSettings[i] = static_cast<std::uint32_t>(i * 3);
  // Focus area 5 in a focus mode that leaves the file's own subject area in force: the
  // frame's centre, which the dialog's focus frame can show on a picture this small.
  s.cameraSettings[47] = 5;
  s.cameraSettings[48] = 0;
  s.cameraSettings[49] = 2;
  s.subjectArea = std::array<std::uint16_t, 4>{32, 24, 16, 12};
  s.userComment = {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 's', 'a', 'm', 'p', 'l', 'e'};
  s.thumbnailJpeg = EncodeJpeg(QuadrantImage(32, 24), 90);
  return s;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace tessaro::testing
