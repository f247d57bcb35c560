#pragma once
// Makes MRW files for the tests, the fuzz seeds and the benchmark: any geometry, storage,
// Bayer pattern, TIFF byte order and set of blocks, with a JPEG thumbnail made by libjpeg.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaro::testing {

struct RgbImage {
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // width * height * 3
};

// Baseline JPEG, 4:4:4, of the given quality.
std::vector<std::uint8_t> EncodeJpeg(const RgbImage& image, int quality = 95);

// A picture of four flat quadrants (red, green, blue, white from top-left, clockwise), whose
// turns are easy to recognise after lossy compression.
RgbImage QuadrantImage(std::uint32_t width, std::uint32_t height);

// Deterministic raw values 0..limit, different at every photosite.
std::vector<std::uint16_t> TestSamples(std::uint32_t width, std::uint32_t height, std::uint32_t seed = 1,
                                       std::uint16_t limit = 4095);

struct MrwLayout {
  // PRD
  std::string version = "27820001";
  std::uint16_t width = 16, height = 12;            // sensor
  std::uint16_t imageWidth = 0, imageHeight = 0;    // 0: the sensor's
  bool packed = true;                               // else 16-bit big-endian
  std::uint16_t bayerPattern = 1;                   // 4: the first row begins with green
  std::vector<std::uint16_t> samples;               // width * height; empty: TestSamples
  std::uint32_t prdLength = 24;                     // fewer writes a short block
  std::int64_t rawBytesDelta = 0;                   // added to the raw data written (cut or pad)

  // WBG: scale exponents and gains in file order
  bool wbg = true;
  std::array<std::uint8_t, 4> wbgScale = {0, 0, 0, 0};
  std::array<std::uint16_t, 4> wbgGain = {128, 64, 64, 96};

  // RIF: the 16-bit values at offsets 8..55 (six presets' red and blue, then twelve more)
  bool rif = true;
  std::array<std::uint16_t, 24> rifValues = {100, 200, 150, 140, 170, 120, 130, 160, 180, 110, 190, 100,
                                             256, 512, 768, 1024, 1280, 1536, 1792, 2048, 2304, 2560, 2816, 3072};

  // TTW
  bool ttw = true;
  bool bigEndian = true;
  std::optional<std::uint16_t> orientation = 1;
  std::string model = "DiMAGE A1";
  std::string software = "Ver1.00";
  std::string dateTime = "2004:05:06 07:08:09";
  std::optional<std::array<std::uint16_t, 4>> subjectArea;
  std::vector<std::uint8_t> userComment;
  std::vector<std::uint32_t> cameraSettings;        // empty: no table
  std::uint16_t settingsTag = 3;                    // 1 or 3
  std::optional<std::uint16_t> newSettingsRotation; // tag 4, the value at byte 140
  std::optional<std::uint16_t> newSettingsWb;       // tag 4, the value at byte 8
  std::vector<std::uint8_t> thumbnailJpeg;          // empty: none
  bool thumbnailAsUndefined = true;                 // tag 129, else tags 136 and 137
  bool zeroFirstThumbByte = true;                   // as the cameras store it
  bool chainLoop = false;                           // IFD0's next pointer points back at IFD0

  // Container
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> extraBlocks;  // written after PRD
  bool pad = true;
  std::uint32_t padLength = 8;
};

struct MrwFile {
  std::vector<std::uint8_t> bytes;
  std::size_t ttwData = 0;     // where the TTW block's data starts in the file
  std::size_t rawData = 0;     // where the raw samples start
};

MrwFile WriteMrw(const MrwLayout& layout);

// The samples as the reader must give them: limited to 4095, the odd last sample of a packed
// row 0.
std::vector<std::uint16_t> ExpectedPlane(const MrwLayout& layout);

// The quadrant picture as a Bayer mosaic in the layout's size and pattern: each photosite is the
// scene's colour divided by the shot's white-balance gain of its channel, below the level where
// the channels clip, so that a conversion with the camera's setting shows the thumbnail's
// quadrants. Each quadrant brightens from left to right and carries a little sensor noise.
std::vector<std::uint16_t> QuadrantMosaic(const MrwLayout& layout);

// The scene's colour of quadrant q (0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right) at
// the quadrant's brightest, as fractions of the clip level, after white balance.
std::array<double, 3> QuadrantSceneColour(int q);

// Mean red, green and blue, as fractions of maxValue, of each quadrant of a converted picture
// (interleaved, width x height) of the quadrant mosaic of a sensor of sensorWidth x sensorHeight,
// whose first pixel is the sensor's (left, top). Pixels within band of a quadrant border, where
// demosaicing mixes the quadrants, are left out.
using QuadrantColours = std::array<std::array<double, 3>, 4>;
QuadrantColours QuadrantMeans(const std::vector<std::uint16_t>& rgb, std::uint32_t width, std::uint32_t height,
                              std::uint32_t left, std::uint32_t top, std::uint32_t sensorWidth,
                              std::uint32_t sensorHeight, double maxValue, std::uint32_t band = 3);

// The bundled sample: 64x48, packed, the quadrant picture as its raw plane, a colour matrix like
// a camera's (grey stays grey), camera settings, a subject area and a thumbnail.
MrwLayout SampleLayout();

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace tessaro::testing
