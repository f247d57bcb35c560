#pragma once
// Demosaiced 12-bit RGB to the host's pixels: the camera matrix to luminance and colour
// differences, saturation, back to RGB, the optional conversion to the monitor's colour space,
// and the scaling to 8 or 16 bits. Also the ICC profiles that describe each output.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "tessaro/ConversionSettings.h"
#include "tessaro/RawFile.h"

namespace tessaro {

// Rows Y, Cr, Cb; columns red, green 1, green 2, blue.
struct ColourMatrix {
  std::array<double, 4> y{}, cr{}, cb{};
};

// The matrix of a colour space; false for "none" (1) and unknown spaces, which pass through.
// Space 0 takes the file's RIF values, which read as 0 without a file; a file whose values would
// not keep grey grey (or that has none) gets the built-in matrix of its camera family.
bool ColourMatrixFor(int colorSpace, const RawFile* file, ColourMatrix& out);

// Colour-difference factor: 0 at -70 (grey), else 10^(saturation / 100).
double SaturationFactor(std::int32_t saturation);

// --- Profiles

inline constexpr int kProfileNone = 0;
inline constexpr int kProfileMonitor = 10;

// Profile of the camera's colour for a colour space (the monitor left out).
int CameraProfileIndex(int colorSpace, ModelCode model, ColorGroup group);
// Profile for the output of these settings: the monitor's when converting to it.
int ProfileIndex(const ConversionSettings& s, ModelCode model, ColorGroup group);
// "no profile" for 0, the profile's description for 1..6 and 10, else "unknown profile!!!".
const char* ProfileName(int index);
// The ICC bytes of profile 1..6 or 10; empty for any other index.
std::span<const std::uint8_t> ProfileBytes(int index);

struct Colorants {
  std::array<double, 3> red, green, blue, mediaWhite, d50;
};
// The colorants of profiles 1..6; null for others.
const Colorants* ProfileColorants(int index);

// --- Monitor conversion

struct Mat3 {
  double m[3][3];
  static Mat3 Identity();
};
Mat3 operator*(const Mat3& a, const Mat3& b);
// False for a singular matrix.
bool Invert(const Mat3& a, Mat3& out);

// What a failed inverse logs.
inline constexpr const char* kSingularMatrixText = "mat3::inverse: singular matrix; can't invert\n";

// The matrix from the camera profile's RGB to the monitor's; the identity for profiles 0 and
// 10. False (with the log text above in *log) when a matrix cannot be inverted.
bool MonitorMatrix(int cameraProfile, Mat3& out, std::string* log = nullptr);

// entry i = trunc(i^2.2)
struct LinearisingTable {
  std::array<std::uint32_t, 4096> v;
  LinearisingTable();
  // 0 for x <= 0, 4095 above the last entry, else the index whose entry is nearest (the
  // higher one on a tie).
  int Inverse(double x) const;
};

// --- The per-row stage

class ColourConverter {
public:
  // depth 8 or 16. The table is the caller's (the plug-in takes it from the host); with null
  // the converter uses one of its own when the monitor conversion needs it. False with a
  // reason when the monitor matrix cannot be made.
  bool Start(const ConversionSettings& s, const RawFile* file, int depth, const LinearisingTable* table = nullptr,
             std::string* error = nullptr);
  // The 12-bit-scale result before output scaling (r', g', b' >= 0, not limited above).
  void Pixel(const std::uint16_t* rgb, double out[3]) const;
  // width pixels of R, G, B into out: bytes for depth 8, 16-bit values in this machine's order
  // for depth 16.
  void Row(const std::uint16_t* rgb, std::size_t width, void* out) const;
  int Depth() const { return depth_; }
  bool Passthrough() const { return passthrough_; }
  bool ToMonitor() const { return monitor_; }

private:
  int depth_ = 8;
  bool passthrough_ = true;
  bool monitor_ = false;
  double yr_ = 0, yg_ = 0, yb_ = 0, crr_ = 0, crg_ = 0, crb_ = 0, cbr_ = 0, cbg_ = 0, cbb_ = 0, s_ = 1;
  Mat3 m_ = Mat3::Identity();
  const LinearisingTable* table_ = nullptr;
  std::unique_ptr<LinearisingTable> ownTable_;
};

// Output scaling of one 12-bit-scale value.
inline std::uint16_t To16Bit(double v) {
  const double o = v * 16.003663003663 + 0.5;
  return o >= 65535.0 ? 65535 : static_cast<std::uint16_t>(o);
}
inline std::uint8_t To8Bit(double v) {
  const double o = v * 0.0622710622710623 + 0.5;
  return o >= 255.0 ? 255 : static_cast<std::uint8_t>(o);
}

}  // namespace tessaro
