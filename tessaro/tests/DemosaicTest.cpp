// The demosaic methods against a plain per-pixel reading of their rules, written here without
// the row routine's ring, templates or phase tricks: a pixel's colour is looked up by name and
// its neighbours by coordinates.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "tessaro/ConversionSettings.h"
#include "tessaro/Interpolation.h"

namespace tessaro {
namespace {

enum Colour { kR, kG, kB };

struct Plane {
  int w, h;
  BayerOrder order;
  std::vector<std::uint16_t> v;
  int at(int x, int y) const {
    EXPECT_TRUE(x >= 0 && x < w && y >= 0 && y < h) << x << "," << y;
    if (x < 0 || x >= w || y < 0 || y >= h) return 0;
    return v[std::size_t(y) * w + x];
  }
  Colour colour(int x, int y) const {
    const int p = (((x & 1) << 1) | (y & 1)) ^ order;
    return p == 0 ? kR : p == 3 ? kB : kG;
  }
  // A green with red photosites to its left and right.
  bool redRow(int x, int y) const { return colour(x, y) == kG && colour(x + 1, y) == kR; }
};

struct Rgb {
  int c[3];
  bool operator==(const Rgb&) const = default;
};

int Clamp(int v) { return std::min(std::max(v, 0), 4095); }
int ClampD(double v) { return v <= 0 ? 0 : v >= 4095 ? 4095 : int(v); }

// Sets the two missing colours of a pixel: horizontal/vertical at a green, green/diagonal at
// red or blue.
Rgb Assemble(const Plane& p, int x, int y, int first, int second) {
  const int c = p.at(x, y);
  switch (p.colour(x, y)) {
    case kR: return {{c, first, second}};
    case kB: return {{second, first, c}};
    default:
      // first: the colour of the horizontal neighbours
      return p.redRow(x, y) ? Rgb{{first, c, second}} : Rgb{{second, c, first}};
  }
}

// --- reference greens of the two-pass methods
int RefGreen(const Plane& p, int m, int x, int y) {
  if (p.colour(x, y) == kG) return p.at(x, y);
  const int C = p.at(x, y), N = p.at(x, y - 1), S = p.at(x, y + 1), W = p.at(x - 1, y), E = p.at(x + 1, y);
  switch (m) {
    case 8: case 9: return (N + S + W + E) / 4;
    case 10: case 11: {
      int dH = std::abs(W - E), dV = std::abs(N - S);
      if (m == 11) {
        dH = std::abs(C - (p.at(x - 2, y) + p.at(x + 2, y)) / 2);
        dV = std::abs(C - (p.at(x, y - 2) + p.at(x, y + 2)) / 2);
      }
      return dH < dV ? (W + E) / 2 : dV < dH ? (N + S) / 2 : (N + S + W + E) / 4;
    }
    case 12: {
      const int lH = 2 * C - p.at(x - 2, y) - p.at(x + 2, y), lV = 2 * C - p.at(x, y - 2) - p.at(x, y + 2);
      const int dH = std::abs(W - E) + std::abs(lH), dV = std::abs(N - S) + std::abs(lV);
      if (dH < dV) return Clamp((W + E + lH / 2) / 2);
      if (dV < dH) return Clamp((N + S + lV / 2) / 2);
      return Clamp((N + S + W + E + (lH + lV) / 2) / 4);
    }
    default: {
      const int NN = p.at(x, y - 2), SS = p.at(x, y + 2), WW = p.at(x - 2, y), EE = p.at(x + 2, y);
      const int grad[4] = {std::abs(N - S) + 2 * std::abs(C - NN), std::abs(W - E) + 2 * std::abs(C - EE),
                           std::abs(W - E) + 2 * std::abs(C - WW), std::abs(N - S) + 2 * std::abs(C - SS)};
      const int cand[4] = {(3 * N + S + C - NN) / 4, (3 * E + W + C - EE) / 4, (3 * W + E + C - WW) / 4,
                           (3 * S + N + C - SS) / 4};
      int best = 0;
      for (int k = 1; k < 4; ++k)
        if (grad[k] < grad[best]) best = k;
      return Clamp(cand[best]);
    }
  }
}

double Ln(int v) { return v == 0 ? 0.0 : std::log(double(v)); }

// Pixel grouping's pair rule.
int Pair(int a1, int a2, int g1, int g2, int g) {
  if ((g > g1 && g < g2) || (g > g2 && g < g1)) return ClampD(a1 + double(a2 - a1) * (g - g1) / (g2 - g1));
  return ClampD((a1 + a2) / 2.0 + (2.0 * g - g1 - g2) / 4.0);
}

Rgb RefTwoPass(const Plane& p, int m, int x, int y) {
  const auto G = [&](int xx, int yy) { return RefGreen(p, m, xx, yy); };
  const auto V = [&](int xx, int yy) { return p.at(xx, yy); };
  const int g = G(x, y);
  // Value from two neighbours (dx1,dy1), (dx2,dy2) of the same colour.
  const auto two = [&](int ax, int ay, int bx, int by) {
    const int a = V(ax, ay), b = V(bx, by), ga = G(ax, ay), gb = G(bx, by);
    const auto div = [](int v) { return v == 0 ? 4095 : v; };
    switch (m) {
      case 8: return ClampD(g * (double(a) / div(ga) + double(b) / div(gb)) / 2);
      case 9: case 10: return ClampD(std::exp(Ln(g) + ((Ln(a) - Ln(ga)) + (Ln(b) - Ln(gb))) / 2) + 1e-6);
      case 11: return Clamp(g + (a + b - ga - gb) / 2);
      case 12: return Clamp((a + b + (2 * g - ga - gb) / 2) / 2);
      default: return Pair(a, b, ga, gb, g);
    }
  };
  if (p.colour(x, y) == kG) return Assemble(p, x, y, two(x - 1, y, x + 1, y), two(x, y - 1, x, y + 1));
  const int NW = V(x - 1, y - 1), NE = V(x + 1, y - 1), SW = V(x - 1, y + 1), SE = V(x + 1, y + 1);
  const int gNW = G(x - 1, y - 1), gNE = G(x + 1, y - 1), gSW = G(x - 1, y + 1), gSE = G(x + 1, y + 1);
  const auto div = [](int v) { return v == 0 ? 4095 : v; };
  int d = 0;
  switch (m) {
    case 8:
      d = ClampD(g * (double(NW) / div(gNW) + double(NE) / div(gNE) + double(SW) / div(gSW) + double(SE) / div(gSE)) / 4);
      break;
    case 9: case 10:
      d = ClampD(std::exp(Ln(g) + ((Ln(NW) - Ln(gNW)) + (Ln(NE) - Ln(gNE)) + (Ln(SW) - Ln(gSW)) + (Ln(SE) - Ln(gSE))) / 4) + 1e-6);
      break;
    case 11: d = Clamp(g + (NW + NE + SW + SE - gNW - gNE - gSW - gSE) / 4); break;
    case 12: {
      const int l1 = 2 * g - gSE - gNW, l2 = 2 * g - gSW - gNE;
      const int d1 = std::abs(NW - SE) + std::abs(l1), d2 = std::abs(NE - SW) + std::abs(l2);
      d = d1 < d2 ? Clamp((SE + l1 / 2 + NW) / 2) : d2 < d1 ? Clamp((NE + l2 / 2 + SW) / 2)
                                                           : Clamp((SE + (l1 + l2) / 2 + NE + SW + NW) / 4);
      break;
    }
    default: {
      const int C = V(x, y);
      const int d1 = std::abs(V(x + 2, y + 2) - C) + std::abs(V(x - 2, y - 2) - C) + std::abs(gSE - g) +
                     std::abs(gNW - g) + std::abs(NW - SE);
      const int d2 = std::abs(V(x - 2, y + 2) - C) + std::abs(V(x + 2, y - 2) - C) + std::abs(gNE - g) +
                     std::abs(gSW - g);
      d = d1 < d2 + std::abs(NE - SW) ? Pair(NW, SE, gNW, gSE, g) : Pair(NE, SW, gNE, gSW, g);
    }
  }
  return Assemble(p, x, y, g, d);
}

// --- reference variable number of gradients, written out direction by direction
Rgb RefVng(const Plane& p, int m, int x, int y) {
  const auto P = [&](int dy, int dx) { return p.at(x + dx, y + dy); };
  const auto A = [](int v) { return std::abs(v); };
  const bool green = p.colour(x, y) == kG;
  const int C = P(0, 0);
  int g[8];
  g[0] = 2 * A(P(-2, 0) - C) + 2 * A(P(-1, 0) - P(1, 0)) + A(P(-2, 1) - P(0, 1)) + A(P(-2, -1) - P(0, -1)) +
         A(P(-1, 1) - P(1, 1)) + A(P(-1, -1) - P(1, -1));
  g[1] = 2 * A(P(0, 2) - C) + 2 * A(P(0, 1) - P(0, -1)) + A(P(1, 2) - P(1, 0)) + A(P(-1, 2) - P(-1, 0)) +
         A(P(1, 1) - P(1, -1)) + A(P(-1, 1) - P(-1, -1));
  g[2] = 2 * A(P(2, 0) - C) + 2 * A(P(1, 0) - P(-1, 0)) + A(P(2, -1) - P(0, -1)) + A(P(2, 1) - P(0, 1)) +
         A(P(1, -1) - P(-1, -1)) + A(P(1, 1) - P(-1, 1));
  g[3] = 2 * A(P(0, -2) - C) + 2 * A(P(0, -1) - P(0, 1)) + A(P(-1, -2) - P(-1, 0)) + A(P(1, -2) - P(1, 0)) +
         A(P(-1, -1) - P(-1, 1)) + A(P(1, -1) - P(1, 1));
  // NE, SE, SW, NW
  const int sy[4] = {-1, 1, 1, -1}, sx[4] = {1, 1, -1, -1};
  for (int k = 0; k < 4; ++k) {
    const int a = sy[k], b = sx[k];
    if (green)
      g[4 + k] = 2 * (A(P(2 * a, 2 * b) - C) + A(P(a, 2 * b) - P(-a, 0)) + A(P(2 * a, b) - P(0, -b)) +
                      A(P(a, b) - P(-a, -b)));
    else
      g[4 + k] = 2 * A(P(2 * a, 2 * b) - C) + 2 * A(P(a, b) - P(-a, -b)) + A(P(a, 2 * b) - P(0, b)) +
                 A(P(2 * a, b) - P(a, 0)) + A(P(0, b) - P(-a, 0)) + A(P(a, 0) - P(0, -b));
  }
  int mx = g[0], mn = g[0];
  for (int v : g) mx = std::max(mx, v), mn = std::min(mn, v);
  bool use[8];
  int count = 0;
  for (int k = 0; k < 8; ++k) {
    use[k] = m == 14 ? 2 * g[k] <= mx + 2 * mn : m == 15 ? 4 * g[k] < mx + 3 * mn + (mx == mn) : 2 * g[k] < mx + 2 * mn;
    count += use[k];
  }
  if (count == 0) {  // flat in every colour: all directions
    for (bool& u : use) u = true;
    count = 8;
  }
  // Sums per colour for each used direction.
  int sum[3] = {0, 0, 0};
  const Colour own = p.colour(x, y);
  const Colour hcol = green ? p.colour(x + 1, y) : kG;       // at green: horizontal neighbours' colour
  const Colour vcol = green ? p.colour(x, y + 1) : (own == kR ? kB : kR);  // at red/blue: diagonal colour
  const int oy[4] = {-1, 0, 1, 0}, ox[4] = {0, 1, 0, -1};
  for (int k = 0; k < 4; ++k) {
    if (!use[k]) continue;
    const int a = oy[k], b = ox[k];
    sum[own] += 2 * (C + P(2 * a, 2 * b));
    if (green) {
      if (b == 0) {
        sum[hcol] += P(2 * a, -1) + P(2 * a, 1) + P(0, -1) + P(0, 1);
        sum[vcol] += 4 * P(a, 0);
      } else {
        sum[vcol] += P(-1, 2 * b) + P(1, 2 * b) + P(-1, 0) + P(1, 0);
        sum[hcol] += 4 * P(0, b);
      }
    } else {
      sum[kG] += 4 * P(a, b);
      sum[vcol] += b == 0 ? 2 * (P(a, -1) + P(a, 1)) : 2 * (P(-1, b) + P(1, b));
    }
  }
  for (int k = 0; k < 4; ++k) {
    if (!use[4 + k]) continue;
    const int a = sy[k], b = sx[k];
    if (green) {
      sum[own] += 2 * (C + P(a, b));
      sum[hcol] += 4 * P(2 * a, b);
      sum[vcol] += 4 * P(a, 2 * b);
    } else {
      sum[own] += 2 * (C + P(2 * a, 2 * b));
      sum[vcol] += 4 * P(a, b);
      sum[kG] += P(2 * a, b) + P(a, 2 * b) + P(0, b) + P(a, 0);
    }
  }
  Rgb out;
  for (int c = 0; c < 3; ++c) out.c[c] = c == own ? C : Clamp(C + ((sum[c] - sum[own]) / 4) / count);
  return out;
}

Rgb RefPixel(const Plane& p, int m, int x, int y) {
  const int C = p.at(x, y);
  const Colour col = p.colour(x, y);
  const auto V = [&](int xx, int yy) { return p.at(xx, yy); };
  switch (m) {
    case 0: return {{col == kR ? C : 0, col == kG ? C : 0, col == kB ? C : 0}};
    case 1: return {{C, C, C}};
    case 2: {  // x, y are half-image coordinates
      int r = 0, gsum = 0, b = 0;
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx) {
          const int v = V(2 * x + dx, 2 * y + dy);
          const Colour c = p.colour(2 * x + dx, 2 * y + dy);
          (c == kR ? r : c == kB ? b : gsum) += v;
        }
      return {{r, gsum >> 1, b}};
    }
    case 3: case 4: case 5: case 6: {
      const int dx = (m == 4 || m == 6) ? 1 : -1, dy = (m == 5 || m == 6) ? 1 : -1;
      if (col == kR) return {{C, V(x, y + dy), V(x + dx, y + dy)}};
      if (col == kB) return {{V(x + dx, y + dy), V(x + dx, y), C}};
      if (p.redRow(x, y)) return {{V(x + dx, y), C, V(x, y + dy)}};
      return {{V(x, y + dy), C, V(x + dx, y)}};
    }
    case 7: {
      if (col == kG) return Assemble(p, x, y, (V(x - 1, y) + V(x + 1, y)) >> 1, (V(x, y - 1) + V(x, y + 1)) >> 1);
      return Assemble(p, x, y, (V(x, y - 1) + V(x, y + 1) + V(x - 1, y) + V(x + 1, y)) >> 2,
                      (V(x - 1, y - 1) + V(x + 1, y - 1) + V(x - 1, y + 1) + V(x + 1, y + 1)) >> 2);
    }
    default: return m <= 13 ? RefTwoPass(p, m, x, y) : RefVng(p, m, x, y);
  }
}

Plane RandomPlane(int w, int h, BayerOrder order, unsigned seed, int lo = 0, int hi = 4095) {
  Plane p{w, h, order, std::vector<std::uint16_t>(std::size_t(w) * h)};
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> d(lo, hi);
  for (auto& v : p.v) v = static_cast<std::uint16_t>(d(rng));
  return p;
}

std::vector<Rgb> Convert(const Plane& p, int method, bool extra, ReadWindow* win = nullptr) {
  Demosaicer d;
  std::string err;
  EXPECT_TRUE(d.Start(p.v.data(), p.w, p.h, p.order, method, extra, &err)) << err;
  if (win) *win = d.Window();
  std::vector<Rgb> out;
  std::vector<std::uint16_t> row(std::size_t(d.Window().width) * 3);
  while (d.NextRow(row.data()))
    for (int j = 0; j < d.Window().width; ++j) out.push_back({{row[3 * j], row[3 * j + 1], row[3 * j + 2]}});
  return out;
}

void ExpectMatchesReference(const Plane& p, int method, bool extra) {
  ReadWindow win;
  const std::vector<Rgb> got = Convert(p, method, extra, &win);
  ASSERT_EQ(got.size(), std::size_t(win.width) * win.height);
  int bad = 0;
  for (int i = 0; i < win.height && bad < 5; ++i)
    for (int j = 0; j < win.width && bad < 5; ++j) {
      const Rgb want = RefPixel(p, method, win.left + j, win.top + i);
      const Rgb& have = got[std::size_t(i) * win.width + j];
      if (!(want == have)) {
        ++bad;
        ADD_FAILURE() << "method " << method << " order " << p.order << " extra " << extra << " at " << j << ","
                      << i << ": want " << want.c[0] << " " << want.c[1] << " " << want.c[2] << " got "
                      << have.c[0] << " " << have.c[1] << " " << have.c[2];
      }
    }
}

TEST(Demosaic, EveryMethodFollowsItsRuleOnRandomPlanes) {
  for (int method = 0; method < kMethodCount; ++method)
    for (BayerOrder order = 0; order < 4; ++order)
      for (bool extra : {true, false}) {
        ExpectMatchesReference(RandomPlane(23, 19, order, 100u * method + order), method, extra);
        // Smooth planes reach the branches random noise rarely takes (equal gradients, greens
        // between their neighbours).
        ExpectMatchesReference(RandomPlane(16, 14, order, 7u * method + order, 1000, 1003), method, extra);
      }
}

TEST(Demosaic, WindowsFollowTheBorders) {
  const struct {
    int method, l, r, t, b, d, pl, pr;
  } rows[] = {{0, 0, 0, 0, 0, 1, 0, 0}, {2, 0, 0, 0, 0, 2, 0, 0}, {3, 1, 0, 1, 0, 1, 0, 0}, {6, 0, 1, 0, 1, 1, 0, 0},
              {7, 1, 1, 1, 1, 1, 0, 0}, {9, 2, 2, 2, 2, 1, 1, 1}, {12, 3, 3, 3, 3, 1, 2, 2}, {13, 4, 4, 4, 4, 1, 2, 2},
              {16, 2, 2, 2, 2, 1, 0, 0}};
  for (const auto& r : rows) {
    const ReadWindow w = ComputeReadWindow(r.method, true, 3008, 2000);
    EXPECT_EQ(w.left, r.l);
    EXPECT_EQ(w.right, r.r);
    EXPECT_EQ(w.top, r.t);
    EXPECT_EQ(w.bottom, r.b);
    EXPECT_EQ(w.prePassLeft, r.pl);
    EXPECT_EQ(w.prePassRight, r.pr);
    EXPECT_EQ(w.width, 3008 / r.d - r.l - r.r) << r.method;
    EXPECT_EQ(w.height, 2000 / r.d - r.t - r.b) << r.method;
  }
  EXPECT_EQ(ComputeReadWindow(7, false, 3008, 2000).width, 3000);
  EXPECT_EQ(ComputeReadWindow(2, false, 3008, 2000).width, 1500);
  EXPECT_EQ(ComputeReadWindow(12, false, 100, 100).prePassLeft, 2);
  // Half size of an 8 x 8 plane: 4 x 4 before the border rule.
  EXPECT_EQ(ComputeReadWindow(2, true, 8, 8).width, 4);
  EXPECT_TRUE(ComputeReadWindow(17, true, 100, 100).Empty());
  EXPECT_TRUE(ComputeReadWindow(13, true, 8, 100).Empty());
}

TEST(Demosaic, RefusesUnknownMethodsAndPlanesTooSmall) {
  const Plane p = RandomPlane(8, 8, 0, 1);
  Demosaicer d;
  std::string err;
  EXPECT_FALSE(d.Start(p.v.data(), 8, 8, 0, 17, true, &err));
  EXPECT_FALSE(err.empty());
  EXPECT_FALSE(d.Start(p.v.data(), 8, 8, 0, 13, false, &err));  // 4 cut on each side
  EXPECT_FALSE(d.Start(nullptr, 8, 8, 0, 7, true, &err));
  std::uint16_t row[64 * 3];
  EXPECT_FALSE(d.NextRow(row));
  // The smallest planes each method can work on, at the edge of what it may read.
  for (int m = 0; m < kMethodCount; ++m) {
    const ReadWindow w = ComputeReadWindow(m, true, 100, 100);
    const int pw = (w.left + w.right + 1) * w.divisor, ph = (w.top + w.bottom + 1) * w.divisor;
    const Plane small = RandomPlane(pw, ph, 2, 5);
    ExpectMatchesReference(small, m, true);
  }
}

TEST(Demosaic, FlatPlanesGiveFlatOutput) {
  for (int m = 0; m < kMethodCount; ++m)
    for (BayerOrder order = 0; order < 4; ++order) {
      Plane p{12, 12, order, std::vector<std::uint16_t>(144, 1000)};
      for (const Rgb& px : Convert(p, m, true)) {
        if (m == 0) continue;  // the mosaic itself
        ASSERT_EQ(px, (Rgb{{1000, 1000, 1000}})) << m;
      }
    }
}

TEST(Demosaic, ColourFlatPlanesKeepTheirColours) {
  // Each colour constant but different: every interpolating method gives the three values,
  // method 16 included (all gradients vanish there).
  for (int m = 2; m < kMethodCount; ++m)
    for (BayerOrder order = 0; order < 4; ++order) {
      Plane p{14, 14, order, std::vector<std::uint16_t>(196)};
      for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 14; ++x) {
          const Colour c = p.colour(x, y);
          p.v[std::size_t(y) * 14 + x] = c == kR ? 3000 : c == kG ? 2000 : 1000;
        }
      for (const Rgb& px : Convert(p, m, true)) {
                ASSERT_EQ(px.c[0], 3000) << m;
        ASSERT_EQ(px.c[1], 2000) << m;
        ASSERT_EQ(px.c[2], 1000) << m;
      }
    }
}

TEST(Demosaic, EdgeCasesOfTheRules) {
  // Bilinear on a red site with greens 100, 101, 102, 103 gives 101.
  Plane p{3, 3, 0, std::vector<std::uint16_t>(9, 0)};
  p.v[1] = 100;  // N
  p.v[3] = 101;  // W
  p.v[5] = 102;  // E
  p.v[7] = 103;  // S
  // The centre (1,1) of order 0 is phase 3 (blue); use order 3 to put red there.
  p.order = 3;
  auto out = Convert(p, 7, true);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].c[1], 101);
  EXPECT_EQ(out[0].c[0], 0);

  // Gray: a plane of 1000 is 1000 everywhere.
  Plane g{6, 6, 1, std::vector<std::uint16_t>(36, 1000)};
  for (const Rgb& px : Convert(g, 1, true)) EXPECT_EQ(px, (Rgb{{1000, 1000, 1000}}));

  // Smooth hue transition with a zero green divides by 4095 instead.
  Plane z{5, 5, 0, std::vector<std::uint16_t>(25, 0)};
  z.order = 0;  // centre (2,2) is red
  for (int i = 0; i < 25; ++i) z.v[i] = (i % 5 + i / 5) % 2 ? 0 : 2000;  // greens 0, red/blue 2000
  ReadWindow w;
  out = Convert(z, 8, true, &w);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].c[2], 0);  // G = 0 multiplies everything away, and nothing divides by zero
}

}  // namespace
}  // namespace tessaro
