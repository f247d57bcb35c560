#include "Demosaic.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tessaro::demosaic {

namespace {

inline int Lim(int v) { return v < 0 ? 0 : (v > 4095 ? 4095 : v); }
// Truncates toward zero, then limits; NaN and infinities end up at a limit or 0.
inline int LimD(double v) {
  if (!(v > 0)) return 0;
  if (v >= 4095) return 4095;
  return static_cast<int>(v);
}

// exp(ln v) comes back a hair below v, and truncating that would turn a flat plane of v into
// v - 1; a millionth lifts such values back without moving any other result.
constexpr double kLogSlack = 1e-6;

inline bool IsGreen(int phase) { return phase == 1 || phase == 2; }

inline void Put(std::uint16_t* px, int r, int g, int b) {
  px[0] = static_cast<std::uint16_t>(r);
  px[1] = static_cast<std::uint16_t>(g);
  px[2] = static_cast<std::uint16_t>(b);
}

// Puts the pixel's own sample and the two values of the other colours in their channels:
// a is the colour of the horizontal neighbours at a green (red for phase 2), b the other; at
// red or blue a is green and b the diagonal colour.
inline void PutByPhase(std::uint16_t* px, int phase, int c, int a, int b) {
  switch (phase) {
    case 0: Put(px, c, a, b); break;
    case 3: Put(px, b, a, c); break;
    case 2: Put(px, a, c, b); break;
    default: Put(px, b, c, a); break;  // 1: red above and below
  }
}

// --- pre-pass greens

template <int M>
inline int PreGreen(const std::uint16_t* p, std::ptrdiff_t s) {
  const int C = p[0], N = p[-s], S = p[s], W = p[-1], E = p[1];
  if constexpr (M == 8 || M == 9) {
    return (N + S + W + E) >> 2;
  } else if constexpr (M == 10 || M == 11) {
    int dH, dV;
    if constexpr (M == 10) {
      dH = std::abs(W - E);
      dV = std::abs(N - S);
    } else {
      dH = std::abs(C - ((p[-2] + p[2]) >> 1));
      dV = std::abs(C - ((p[-2 * s] + p[2 * s]) >> 1));
    }
    if (dH < dV) return (W + E) >> 1;
    if (dV < dH) return (N + S) >> 1;
    return (N + S + W + E) >> 2;
  } else if constexpr (M == 12) {
    const int lH = 2 * C - p[-2] - p[2], lV = 2 * C - p[-2 * s] - p[2 * s];
    const int dH = std::abs(W - E) + std::abs(lH), dV = std::abs(N - S) + std::abs(lV);
    if (dH < dV) return Lim((W + E + lH / 2) / 2);
    if (dV < dH) return Lim((N + S + lV / 2) / 2);
    return Lim((N + S + W + E + (lH + lV) / 2) / 4);
  } else {  // 13 pixel grouping
    const int NN = p[-2 * s], SS = p[2 * s], WW = p[-2], EE = p[2];
    const int gN = std::abs(N - S) + 2 * std::abs(C - NN), gE = std::abs(W - E) + 2 * std::abs(C - EE);
    const int gW = std::abs(W - E) + 2 * std::abs(C - WW), gS = std::abs(N - S) + 2 * std::abs(C - SS);
    int g = gN, v = (3 * N + S + C - NN) / 4;
    if (gE < g) g = gE, v = (3 * E + W + C - EE) / 4;
    if (gW < g) g = gW, v = (3 * W + E + C - WW) / 4;
    if (gS < g) v = (3 * S + N + C - SS) / 4;
    return Lim(v);
  }
}

template <int M>
void GreenRowT(const std::uint16_t* row, std::ptrdiff_t s, int y, BayerOrder order, int from, int to,
               std::uint16_t* out) {
  for (int x = from; x < to; ++x) {
    const int phase = CfaPhase(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), order);
    out[x] = IsGreen(phase) ? row[x] : static_cast<std::uint16_t>(PreGreen<M>(row + x, s));
  }
}

// --- second pass of the two-pass methods

// Hue by ratios (8) or log ratios (9, 10) of two neighbours a1, a2 against their greens.
inline double Ratio(int v, int g) { return static_cast<double>(v) / (g == 0 ? 4095 : g); }

// Pixel grouping's interpolation of a pair a1, a2 with greens g1, g2 around the centre green g.
inline int GroupPair(int a1, int a2, int g1, int g2, int g) {
  const bool between = (g1 < g && g < g2) || (g2 < g && g < g1);
  if (between) return LimD(a1 + static_cast<double>(a2 - a1) * (g - g1) / (g2 - g1));
  return LimD((a1 + a2) / 2.0 + (2.0 * g - g1 - g2) / 4.0);
}

template <int M>
inline void TwoPassPixel(const std::uint16_t* p, std::ptrdiff_t s, int phase, const std::uint16_t* gu,
                         const std::uint16_t* gm, const std::uint16_t* gd, const double* ln, std::uint16_t* px) {
  const int C = p[0];
  const int G = gm[0];
  if (IsGreen(phase)) {
    // h: the colour of the horizontal neighbours, v: of the vertical ones.
    const int W = p[-1], E = p[1], N = p[-s], S = p[s];
    const int gW = gm[-1], gE = gm[1], gN = gu[0], gS = gd[0];
    int h, v;
    if constexpr (M == 8) {
      h = LimD(G * (Ratio(W, gW) + Ratio(E, gE)) / 2);
      v = LimD(G * (Ratio(N, gN) + Ratio(S, gS)) / 2);
    } else if constexpr (M == 9 || M == 10) {
      h = LimD(std::exp(ln[G] + ((ln[W] - ln[gW]) + (ln[E] - ln[gE])) / 2) + kLogSlack);
      v = LimD(std::exp(ln[G] + ((ln[N] - ln[gN]) + (ln[S] - ln[gS])) / 2) + kLogSlack);
    } else if constexpr (M == 11) {
      h = Lim(G + (W + E - gW - gE) / 2);
      v = Lim(G + (N + S - gN - gS) / 2);
    } else if constexpr (M == 12) {
      h = Lim((W + E + (2 * G - gW - gE) / 2) / 2);
      v = Lim((N + S + (2 * G - gN - gS) / 2) / 2);
    } else {
      h = GroupPair(W, E, gW, gE, G);
      v = GroupPair(N, S, gN, gS, G);
    }
    PutByPhase(px, phase, C, h, v);
    return;
  }
  // Red or blue: the diagonal colour from the four diagonal neighbours.
  const int NW = p[-s - 1], NE = p[-s + 1], SW = p[s - 1], SE = p[s + 1];
  const int gNW = gu[-1], gNE = gu[1], gSW = gd[-1], gSE = gd[1];
  int d;
  if constexpr (M == 8) {
    d = LimD(G * (Ratio(NW, gNW) + Ratio(NE, gNE) + Ratio(SW, gSW) + Ratio(SE, gSE)) / 4);
  } else if constexpr (M == 9 || M == 10) {
    d = LimD(std::exp(ln[G] + ((ln[NW] - ln[gNW]) + (ln[NE] - ln[gNE]) + (ln[SW] - ln[gSW]) + (ln[SE] - ln[gSE])) / 4) + kLogSlack);
  } else if constexpr (M == 11) {
    d = Lim(G + (NW + NE + SW + SE - gNW - gNE - gSW - gSE) / 4);
  } else if constexpr (M == 12) {
    const int l1 = 2 * G - gSE - gNW, l2 = 2 * G - gSW - gNE;
    const int d1 = std::abs(NW - SE) + std::abs(l1), d2 = std::abs(NE - SW) + std::abs(l2);
    if (d1 < d2)
      d = Lim((SE + l1 / 2 + NW) / 2);
    else if (d2 < d1)
      d = Lim((NE + l2 / 2 + SW) / 2);
    else
      d = Lim((SE + (l1 + l2) / 2 + NE + SW + NW) / 4);
  } else {
    const int SE2 = p[2 * s + 2], NW2 = p[-2 * s - 2], SW2 = p[2 * s - 2], NE2 = p[-2 * s + 2];
    const int d1 = std::abs(SE2 - C) + std::abs(NW2 - C) + std::abs(gSE - G) + std::abs(gNW - G) + std::abs(NW - SE);
    const int d2 = std::abs(SW2 - C) + std::abs(NE2 - C) + std::abs(gNE - G) + std::abs(gSW - G);
    d = d1 < d2 + std::abs(NE - SW) ? GroupPair(NW, SE, gNW, gSE, G) : GroupPair(NE, SW, gNE, gSW, G);
  }
  PutByPhase(px, phase, C, G, d);
}

template <int M>
void TwoPassRow(const Rows& r, int y, int left, int width, const Ring& ring, const double* ln, std::uint16_t* rgb) {
  const std::ptrdiff_t s = r.w;
  const std::uint16_t* row = r.plane + s * y;
  for (int j = 0; j < width; ++j) {
    const int x = left + j;
    const int phase = CfaPhase(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), r.order);
    TwoPassPixel<M>(row + x, s, phase, ring.up + x, ring.mid + x, ring.down + x, ln, rgb + 3 * j);
  }
}

// --- single-pass methods

void NoneRow(const Rows& r, int y, int left, int width, bool gray, std::uint16_t* rgb) {
  const std::uint16_t* row = r.plane + std::ptrdiff_t{r.w} * y;
  for (int j = 0; j < width; ++j) {
    const int x = left + j, C = row[x];
    if (gray) {
      Put(rgb + 3 * j, C, C, C);
      continue;
    }
    switch (CfaPhase(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), r.order)) {
      case 0: Put(rgb + 3 * j, C, 0, 0); break;
      case 3: Put(rgb + 3 * j, 0, 0, C); break;
      default: Put(rgb + 3 * j, 0, C, 0); break;
    }
  }
}

void HalfRow(const Rows& r, int y, int left, int width, std::uint16_t* rgb) {
  // The block's top-left photosite has the plane's phase (even row, even column); the red one
  // sits where the phase bits cancel the order, the blue one at the opposite corner.
  const int red = r.order, blue = 3 ^ r.order, g1 = 1 ^ r.order, g2 = 2 ^ r.order;
  const std::uint16_t* rows[2] = {r.plane + std::ptrdiff_t{r.w} * (2 * y), r.plane + std::ptrdiff_t{r.w} * (2 * y + 1)};
  const auto at = [&rows](int x0, int pos) { return int{rows[pos & 1][x0 + (pos >> 1)]}; };
  for (int j = 0; j < width; ++j) {
    const int x0 = 2 * (left + j);
    Put(rgb + 3 * j, at(x0, red), (at(x0, g1) + at(x0, g2)) >> 1, at(x0, blue));
  }
}

// Nearest neighbour toward a corner: dx is +1 toward the east, dy +1 toward the south.
void NearestRow(const Rows& r, int y, int left, int width, int dx, int dy, std::uint16_t* rgb) {
  const std::ptrdiff_t s = r.w;
  const std::uint16_t* row = r.plane + s * y;
  const std::ptrdiff_t h = dx, v = dy * s;
  for (int j = 0; j < width; ++j) {
    const int x = left + j;
    const std::uint16_t* p = row + x;
    const int C = p[0];
    switch (CfaPhase(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), r.order)) {
      case 0: Put(rgb + 3 * j, C, p[v], p[v + h]); break;
      case 3: Put(rgb + 3 * j, p[v + h], p[h], C); break;
      case 2: Put(rgb + 3 * j, p[h], C, p[v]); break;
      default: Put(rgb + 3 * j, p[v], C, p[h]); break;
    }
  }
}

void BilinearRow(const Rows& r, int y, int left, int width, std::uint16_t* rgb) {
  const std::ptrdiff_t s = r.w;
  const std::uint16_t* row = r.plane + s * y;
  const int phase0 = CfaPhase(static_cast<std::uint32_t>(left), static_cast<std::uint32_t>(y), r.order);
  const int phase1 = phase0 ^ 2;
  for (int j = 0; j < width; ++j) {
    const std::uint16_t* p = row + left + j;
    const int phase = (j & 1) ? phase1 : phase0;
    const int C = p[0];
    if (IsGreen(phase)) {
      const int h = (p[-1] + p[1]) >> 1, v = (p[-s] + p[s]) >> 1;
      PutByPhase(rgb + 3 * j, phase, C, h, v);
    } else {
      const int g = (p[-s] + p[s] + p[-1] + p[1]) >> 2;
      const int d = (p[-s - 1] + p[-s + 1] + p[s - 1] + p[s + 1]) >> 2;
      PutByPhase(rgb + 3 * j, phase, C, g, d);
    }
  }
}

}  // namespace

void GreenPrePass(const std::uint16_t* plane, int w, int y, BayerOrder order, int method, int from, int to,
                  std::uint16_t* out) {
  const std::uint16_t* row = plane + std::ptrdiff_t{w} * y;
  switch (method) {
    case 8: case 9: GreenRowT<8>(row, w, y, order, from, to, out); break;
    case 10: GreenRowT<10>(row, w, y, order, from, to, out); break;
    case 11: GreenRowT<11>(row, w, y, order, from, to, out); break;
    case 12: GreenRowT<12>(row, w, y, order, from, to, out); break;
    case 13: GreenRowT<13>(row, w, y, order, from, to, out); break;
    default: break;
  }
}

void VngRow(const Rows& r, int method, int y, int left, int width, std::uint16_t* rgb);

void Row(const Rows& r, int method, int y, int left, int width, const Ring& ring, const double* ln,
         std::uint16_t* rgb) {
  switch (method) {
    case 0: NoneRow(r, y, left, width, false, rgb); break;
    case 1: NoneRow(r, y, left, width, true, rgb); break;
    case 2: HalfRow(r, y, left, width, rgb); break;
    case 3: NearestRow(r, y, left, width, -1, -1, rgb); break;
    case 4: NearestRow(r, y, left, width, 1, -1, rgb); break;
    case 5: NearestRow(r, y, left, width, -1, 1, rgb); break;
    case 6: NearestRow(r, y, left, width, 1, 1, rgb); break;
    case 7: BilinearRow(r, y, left, width, rgb); break;
    case 8: TwoPassRow<8>(r, y, left, width, ring, ln, rgb); break;
    case 9: TwoPassRow<9>(r, y, left, width, ring, ln, rgb); break;
    case 10: TwoPassRow<10>(r, y, left, width, ring, ln, rgb); break;
    case 11: TwoPassRow<11>(r, y, left, width, ring, ln, rgb); break;
    case 12: TwoPassRow<12>(r, y, left, width, ring, ln, rgb); break;
    case 13: TwoPassRow<13>(r, y, left, width, ring, ln, rgb); break;
    default: VngRow(r, method, y, left, width, rgb); break;
  }
}

}  // namespace tessaro::demosaic
