#pragma once
// The per-colour tables every raw sample goes through once before demosaicing: the clip of the
// sensor's top values, the equal clipping level of all channels, the white-balance coefficient,
// the exposure multiplier and the tone curve, folded into one 4096-entry table per CfaPhase.

#include <array>
#include <cstddef>
#include <cstdint>

#include "tessaro/ConversionSettings.h"
#include "tessaro/RawPlane.h"
#include "tessaro/WhiteBalance.h"

namespace tessaro {

inline constexpr int kLutSize = 4096;

// Tone table T: 12-bit in, 12-bit out.
using ToneTable = std::array<std::uint16_t, kLutSize>;

struct ChannelLut {
  std::array<std::uint16_t, kLutSize> v{};
  std::uint16_t operator[](std::size_t i) const { return v[i]; }
};
// Indexed by CfaPhase: 0 red, 1 green 2, 2 green 1, 3 blue.
using ChannelLuts = std::array<ChannelLut, 4>;

inline constexpr int kContrastCurveCount = 18;
// The built-in contrast curve i (0..17), 4096 entries. Curves 0..6 are the DIVU +-3 steps -3..3,
// 7..12 the DIVU +-5 steps 0..5 and 13..17 its steps -1..-5. Each runs through the camera's
// published points (0, 64, 256, 1024, 2048, 4095) -> (0, a, b, c, d, 4079) and between them
// follows the monotone cubic Hermite curve of Fritsch and Carlson through those six points,
// rounded to the nearest integer; computed once on first use.
const std::uint16_t* ContrastCurve(int index);

// Tone table for the settings' tone mode (precise, or one of the built-in curves).
ToneTable BuildToneTable(const ConversionSettings& s);

// The coefficient each phase uses, from the settings' white balance.
std::array<double, 4> PhaseCoefficients(const ConversionSettings& s, const CameraWb& cam);

// The four tables. With highlightWarning every sample the coefficient and exposure would push
// beyond the 12-bit range maps to T[0] instead (the dialog's warning); the read never uses it.
void BuildChannelLuts(const ConversionSettings& s, const CameraWb& cam, bool highlightWarning, ChannelLuts& out);
// The same from explicit phase coefficients and a tone table.
void BuildChannelLuts(const std::array<double, 4>& phaseCoef, double exposure, bool clipValues, bool highlightsFix,
                      bool highlightWarning, const ToneTable& tone, ChannelLuts& out);

// Every sample of a w x h plane through the table of its CfaPhase, in place.
void ApplyChannelLuts(std::uint16_t* plane, std::uint32_t w, std::uint32_t h, BayerOrder order,
                      const ChannelLuts& luts);

}  // namespace tessaro
