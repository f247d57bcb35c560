// Variable number of gradients (methods 14 to 16): eight gradients over the 5 x 5
// neighbourhood, a threshold picks the directions, and the missing colours follow the average
// colour differences along them.

#include <algorithm>
#include <array>
#include <cstdlib>

#include "Demosaic.h"

namespace tessaro::demosaic {

namespace {

struct Off {
  int dy, dx;
};
struct Term {
  int weight;
  Off a, b;
};

// A quarter turn clockwise: north becomes east.
constexpr Off Turn(Off o) { return {o.dx, -o.dy}; }
constexpr Term Turn(Term t) { return {t.weight, Turn(t.a), Turn(t.b)}; }

template <std::size_t N>
constexpr std::array<std::array<Term, N>, 4> AllTurns(const std::array<Term, N>& base) {
  std::array<std::array<Term, N>, 4> out{};
  out[0] = base;
  for (int k = 1; k < 4; ++k)
    for (std::size_t i = 0; i < N; ++i) out[k][i] = Turn(out[k - 1][i]);
  return out;
}

// North, then east, south and west.
constexpr auto kOrth = AllTurns<6>({{{2, {-2, 0}, {0, 0}},
                                     {2, {-1, 0}, {1, 0}},
                                     {1, {-2, 1}, {0, 1}},
                                     {1, {-2, -1}, {0, -1}},
                                     {1, {-1, 1}, {1, 1}},
                                     {1, {-1, -1}, {1, -1}}}});
// North-east, then south-east, south-west and north-west; at a green pixel.
constexpr auto kDiagGreen = AllTurns<4>({{{2, {-2, 2}, {0, 0}},
                                          {2, {-1, 2}, {1, 0}},
                                          {2, {-2, 1}, {0, -1}},
                                          {2, {-1, 1}, {1, -1}}}});
// The same at a red or blue pixel.
constexpr auto kDiagOther = AllTurns<6>({{{2, {-2, 2}, {0, 0}},
                                          {2, {-1, 1}, {1, -1}},
                                          {1, {-1, 2}, {0, 1}},
                                          {1, {-2, 1}, {-1, 0}},
                                          {1, {0, 1}, {1, 0}},
                                          {1, {-1, 0}, {0, -1}}}});
constexpr Off kDirs[8] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}, {-1, 1}, {1, 1}, {1, -1}, {-1, -1}};

template <std::size_t N>
inline int Gradient(const std::uint16_t* p, std::ptrdiff_t s, const std::array<Term, N>& terms) {
  int g = 0;
  for (const Term& t : terms) g += t.weight * std::abs(int{p[t.a.dy * s + t.a.dx]} - int{p[t.b.dy * s + t.b.dx]});
  return g;
}

inline bool Used(int method, int g, int mx, int mn) {
  if (method == 14) return 2 * g <= mx + 2 * mn;
  if (method == 15) return 4 * g < mx + 3 * mn + (mx == mn ? 1 : 0);
  return 2 * g < mx + 2 * mn;
}

inline int Lim(int v) { return v < 0 ? 0 : (v > 4095 ? 4095 : v); }

template <bool Green>
void Pixel(const std::uint16_t* p, std::ptrdiff_t s, int method, int phase, std::uint16_t* px) {
  const auto P = [p, s](int dy, int dx) { return int{p[dy * s + dx]}; };
  int g[8];
  for (int d = 0; d < 4; ++d) g[d] = Gradient(p, s, kOrth[d]);
  for (int d = 0; d < 4; ++d) g[4 + d] = Green ? Gradient(p, s, kDiagGreen[d]) : Gradient(p, s, kDiagOther[d]);
  const int mx = *std::max_element(g, g + 8), mn = *std::min_element(g, g + 8);

  bool used[8];
  int count = 0;
  for (int d = 0; d < 8; ++d) count += (used[d] = Used(method, g[d], mx, mn));
  // No direction below the threshold happens only where all eight gradients vanish, a
  // neighbourhood flat in every colour: all directions then say the same, so use them all
  // rather than dropping the colours to the pixel's own value.
  if (count == 0) {
    std::fill(used, used + 8, true);
    count = 8;
  }

  // own: the pixel's colour; a and b the others (at a green: a the colour of the horizontal
  // neighbours, b of the vertical ones; at red or blue: a green, b the diagonal colour).
  const int C = P(0, 0);
  int own = 0, a = 0, b = 0;
  for (int d = 0; d < 8; ++d) {
    if (!used[d]) continue;
    const int sy = kDirs[d].dy, sx = kDirs[d].dx;
    const bool diagonal = d >= 4;
    if (Green) {
      if (diagonal) {
        own += 2 * (C + P(sy, sx));
        a += 4 * P(2 * sy, sx);
        b += 4 * P(sy, 2 * sx);
      } else if (sx == 0) {
        own += 2 * (C + P(2 * sy, 0));
        a += P(2 * sy, -1) + P(2 * sy, 1) + P(0, -1) + P(0, 1);
        b += 4 * P(sy, 0);
      } else {
        own += 2 * (C + P(0, 2 * sx));
        b += P(-1, 2 * sx) + P(1, 2 * sx) + P(-1, 0) + P(1, 0);
        a += 4 * P(0, sx);
      }
    } else {
      own += 2 * (C + P(2 * sy, 2 * sx));
      if (diagonal) {
        b += 4 * P(sy, sx);
        a += P(2 * sy, sx) + P(sy, 2 * sx) + P(0, sx) + P(sy, 0);
      } else {
        a += 4 * P(sy, sx);
        // The two diagonal samples on that side.
        b += 2 * (P(sy + sx, sx + sy) + P(sy - sx, sx - sy));
      }
    }
  }
  const int va = Lim(C + ((a - own) / 4) / count), vb = Lim(C + ((b - own) / 4) / count);
  std::uint16_t* o = px;
  const auto put = [o](int r, int gg, int bb) {
    o[0] = static_cast<std::uint16_t>(r);
    o[1] = static_cast<std::uint16_t>(gg);
    o[2] = static_cast<std::uint16_t>(bb);
  };
  switch (phase) {
    case 0: put(C, va, vb); break;
    case 3: put(vb, va, C); break;
    case 2: put(va, C, vb); break;
    default: put(vb, C, va); break;
  }
}

}  // namespace

void VngRow(const Rows& r, int method, int y, int left, int width, std::uint16_t* rgb) {
  const std::ptrdiff_t s = r.w;
  const std::uint16_t* row = r.plane + s * y;
  for (int j = 0; j < width; ++j) {
    const int x = left + j;
    const int phase = CfaPhase(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), r.order);
    if (phase == 1 || phase == 2)
      Pixel<true>(row + x, s, method, phase, rgb + 3 * j);
    else
      Pixel<false>(row + x, s, method, phase, rgb + 3 * j);
  }
}

}  // namespace tessaro::demosaic
