// The generated ICC profiles read by a real colour-management library: each opens, says what it
// should, and converts as our own matrix does.

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cmath>
#include <cstring>

#include "tessaro/Colour.h"

namespace tessaro {
namespace {

std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

struct Profile {
  cmsHPROFILE h = nullptr;
  explicit Profile(int index) {
    const auto bytes = ProfileBytes(index);
    h = cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size()));
  }
  ~Profile() {
    if (h) cmsCloseProfile(h);
  }
};

const int kProfiles[] = {1, 2, 3, 4, 5, 6, 10};

// The monitor's colorants and white, which the colour stage holds as its target matrix.
const double kMonitorRed[3] = {0.436096, 0.222488, 0.013885}, kMonitorGreen[3] = {0.385086, 0.716888, 0.097092},
             kMonitorBlue[3] = {0.143097, 0.060593, 0.714096};

void Colorant(int index, int which, double out[3]) {
  if (index == kProfileMonitor) {
    const double* c = which == 0 ? kMonitorRed : which == 1 ? kMonitorGreen : kMonitorBlue;
    std::memcpy(out, c, sizeof(double) * 3);
    return;
  }
  const Colorants* c = ProfileColorants(index);
  const auto& a = which == 0 ? c->red : which == 1 ? c->green : c->blue;
  for (int i = 0; i < 3; ++i) out[i] = a[static_cast<std::size_t>(i)];
}

TEST(IccProfiles, SizesAndHeader) {
  for (int p : kProfiles) {
    const auto b = ProfileBytes(p);
    const std::size_t want = p == 1 ? 3600 : p == 10 ? 544 : 588;
    ASSERT_EQ(b.size(), want) << p;
    EXPECT_EQ(Be32(b.data()), want);
    EXPECT_EQ(std::memcmp(b.data() + 36, "acsp", 4), 0);
    EXPECT_EQ(std::memcmp(b.data() + 16, "RGB XYZ ", 8), 0);
    // The PCS illuminant is the ICC's D50 to the bit; readers such as libpng refuse others.
    EXPECT_EQ(Be32(b.data() + 68), 0x0000F6D6u);
    EXPECT_EQ(Be32(b.data() + 72), 0x00010000u);
    EXPECT_EQ(Be32(b.data() + 76), 0x0000D32Du);
    // Every tag lies inside the profile, on a four-byte boundary.
    const std::uint32_t n = Be32(b.data() + 128);
    for (std::uint32_t t = 0; t < n; ++t) {
      const std::uint32_t off = Be32(b.data() + 132 + 12 * t + 4), len = Be32(b.data() + 132 + 12 * t + 8);
      EXPECT_EQ(off % 4, 0u);
      EXPECT_LE(std::size_t{off} + len, b.size());
    }
  }
}

TEST(IccProfiles, OpenAndReadBackDescriptionColorantsAndWhite) {
  for (int p : kProfiles) {
    Profile prof(p);
    ASSERT_NE(prof.h, nullptr) << p;
    EXPECT_EQ(cmsGetColorSpace(prof.h), cmsSigRgbData);
    EXPECT_EQ(cmsGetPCS(prof.h), cmsSigXYZData);
    EXPECT_EQ(cmsGetDeviceClass(prof.h), cmsSigDisplayClass);
    char desc[256] = {};
    cmsGetProfileInfoASCII(prof.h, cmsInfoDescription, "en", "US", desc, sizeof desc);
    EXPECT_STREQ(desc, ProfileName(p));
    const cmsTagSignature sigs[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
    for (int c = 0; c < 3; ++c) {
      const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(prof.h, sigs[c]));
      ASSERT_NE(xyz, nullptr);
      double want[3];
      Colorant(p, c, want);
      EXPECT_NEAR(xyz->X, want[0], 1.0 / 65536) << p;
      EXPECT_NEAR(xyz->Y, want[1], 1.0 / 65536) << p;
      EXPECT_NEAR(xyz->Z, want[2], 1.0 / 65536) << p;
    }
    const auto* white = static_cast<const cmsCIEXYZ*>(cmsReadTag(prof.h, cmsSigMediaWhitePointTag));
    ASSERT_NE(white, nullptr);
    if (const Colorants* c = ProfileColorants(p)) {
      EXPECT_NEAR(white->X, c->mediaWhite[0], 1.0 / 65536);
      EXPECT_NEAR(white->Y, c->mediaWhite[1], 1.0 / 65536);
      EXPECT_NEAR(white->Z, c->mediaWhite[2], 1.0 / 65536);
    }
    EXPECT_TRUE(cmsIsMatrixShaper(prof.h));
  }
}

// RGB through the profile to XYZ agrees with the colorant matrix applied to v^2.2.
TEST(IccProfiles, TransformAgreesWithTheColorantMatrix) {
  cmsHPROFILE xyz = cmsCreateXYZProfile();
  for (int p : kProfiles) {
    Profile prof(p);
    ASSERT_NE(prof.h, nullptr);
    cmsHTRANSFORM t = cmsCreateTransform(prof.h, TYPE_RGB_DBL, xyz, TYPE_XYZ_DBL, INTENT_RELATIVE_COLORIMETRIC,
                                         cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE);
    ASSERT_NE(t, nullptr) << p;
    const double samples[][3] = {{1, 1, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.5, 0.25, 0.75}, {0.2, 0.9, 0.4}};
    double cols[3][3];
    for (int c = 0; c < 3; ++c) Colorant(p, c, cols[c]);
    for (const auto& s : samples) {
      // lcms works in percent-free RGB 0..1 for doubles.
      double in[3] = {s[0], s[1], s[2]}, out[3] = {0, 0, 0};
      cmsDoTransform(t, in, out, 1);
      for (int i = 0; i < 3; ++i) {
        double want = 0;
        for (int c = 0; c < 3; ++c) want += cols[c][i] * std::pow(s[c], 2.2);
        EXPECT_NEAR(out[i], want, 0.003) << "profile " << p << " component " << i;
      }
    }
    cmsDeleteTransform(t);
  }
  cmsCloseProfile(xyz);
}

}  // namespace
}  // namespace tessaro
