// Variable number of gradients (methods 14 to 16): eight gradients over the 5 x 5
// neighbourhood, a threshold picks the directions, and the missing colours follow the average
// colour differences along them.

#include <algorithm>
#include <array>
#include <cstdlib>
#include <tuple>
#include <type_traits>
#include <utility>

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

inline int Lim(int v) { return v < 0 ? 0 : (v > 4095 ? 4095 : v); }

template <int Method>
inline bool Used(int g, int mx, int mn) {
  if constexpr (Method == 14) return 2 * g <= mx + 2 * mn;
  if constexpr (Method == 15) return 4 * g < mx + 3 * mn + (mx == mn ? 1 : 0);
  return 2 * g < mx + 2 * mn;
}

// n / count truncated toward zero, as the division operator gives it, for count 1 to 8 and
// |n| < 2^20, by a multiplication: a division by a count the data picks costs more than all
// the gradients. With m = floor(2^32 / c) + 1 the error of n * m / 2^32 stays below 1 / c.
inline int DivideTruncating(int n, int count) {
  static constexpr std::uint64_t kInverse[9] = {0,
                                                (std::uint64_t{1} << 32) / 1 + 1,
                                                (std::uint64_t{1} << 32) / 2 + 1,
                                                (std::uint64_t{1} << 32) / 3 + 1,
                                                (std::uint64_t{1} << 32) / 4 + 1,
                                                (std::uint64_t{1} << 32) / 5 + 1,
                                                (std::uint64_t{1} << 32) / 6 + 1,
                                                (std::uint64_t{1} << 32) / 7 + 1,
                                                (std::uint64_t{1} << 32) / 8 + 1};
  const std::uint64_t m = static_cast<std::uint64_t>(n < 0 ? -n : n);
  const int q = static_cast<int>((m * kInverse[count]) >> 32);
  return n < 0 ? -q : q;
}

// The pixel's 5 x 5 neighbourhood through five row pointers, so that every read below is a
// row register plus a constant: the direction and term loops are unrolled at compile time.
struct Window5 {
  const std::uint16_t* r[5];
  int operator()(int dy, int dx) const { return r[dy + 2][dx]; }
};

// |p(a) - p(b)| with the two points in one fixed order, so that the terms that opposite
// directions share are the same expression and computed once.
template <Off A, Off B>
inline int AbsDiff(const Window5& P) {
  if constexpr (A.dy < B.dy || (A.dy == B.dy && A.dx < B.dx))
    return std::abs(P(A.dy, A.dx) - P(B.dy, B.dx));
  else
    return std::abs(P(B.dy, B.dx) - P(A.dy, A.dx));
}

// Table[Index] is one direction's terms; the table itself is the template argument, as not
// every compiler takes an element of one.
template <const auto& Table, int Index, std::size_t... I>
inline int Gradient(const Window5& P, std::index_sequence<I...>) {
  constexpr const auto& terms = Table[Index];
  return (0 + ... + (terms[I].weight * AbsDiff<terms[I].a, terms[I].b>(P)));
}
template <const auto& Table, int Index>
inline int Gradient(const Window5& P) {
  return Gradient<Table, Index>(P, std::make_index_sequence<std::tuple_size_v<std::decay_t<decltype(Table[0])>>>());
}

template <int D, bool Green>
inline int GradientOf(const Window5& P) {
  if constexpr (D < 4) return Gradient<kOrth, D>(P);
  else if constexpr (Green) return Gradient<kDiagGreen, D - 4>(P);
  else return Gradient<kDiagOther, D - 4>(P);
}

// What direction D adds to the three sums when it is used.
template <int D, bool Green>
inline void Contribution(const Window5& P, int C, int& own, int& a, int& b) {
  constexpr int sy = kDirs[D].dy, sx = kDirs[D].dx;
  constexpr bool diagonal = D >= 4;
  if constexpr (Green) {
    if constexpr (diagonal) {
      own = 2 * (C + P(sy, sx));
      a = 4 * P(2 * sy, sx);
      b = 4 * P(sy, 2 * sx);
    } else if constexpr (sx == 0) {
      own = 2 * (C + P(2 * sy, 0));
      a = P(2 * sy, -1) + P(2 * sy, 1) + P(0, -1) + P(0, 1);
      b = 4 * P(sy, 0);
    } else {
      own = 2 * (C + P(0, 2 * sx));
      b = P(-1, 2 * sx) + P(1, 2 * sx) + P(-1, 0) + P(1, 0);
      a = 4 * P(0, sx);
    }
  } else {
    own = 2 * (C + P(2 * sy, 2 * sx));
    if constexpr (diagonal) {
      b = 4 * P(sy, sx);
      a = P(2 * sy, sx) + P(sy, 2 * sx) + P(0, sx) + P(sy, 0);
    } else {
      a = 4 * P(sy, sx);
      // The two diagonal samples on that side.
      b = 2 * (P(sy + sx, sx + sy) + P(sy - sx, sx - sy));
    }
  }
}

// Inlined into the row loop so that the five row pointers stay in registers.
template <int Method, bool Green, int... D>
[[gnu::always_inline]] inline void Pixel(const Window5& P, int phase, std::uint16_t* px, std::integer_sequence<int, D...>) {
  const int g[8] = {GradientOf<D, Green>(P)...};
  int mx = g[0], mn = g[0];
  for (int d = 1; d < 8; ++d) {
    mx = std::max(mx, g[d]);
    mn = std::min(mn, g[d]);
  }
  int used[8];
  int count = 0;
  for (int d = 0; d < 8; ++d) count += (used[d] = Used<Method>(g[d], mx, mn) ? 1 : 0);
  // No direction below the threshold happens only where all eight gradients vanish, a
  // neighbourhood flat in every colour: all directions then say the same, so use them all
  // rather than dropping the colours to the pixel's own value.
  if (count == 0) {
    std::fill(used, used + 8, 1);
    count = 8;
  }

  // own: the pixel's colour; a and b the others (at a green: a the colour of the horizontal
  // neighbours, b of the vertical ones; at red or blue: a green, b the diagonal colour). Every
  // direction is summed and masked, which costs less than a branch the data decides.
  const int C = P(0, 0);
  int own = 0, a = 0, b = 0;
  (
      [&] {
        int o = 0, x = 0, y = 0;
        Contribution<D, Green>(P, C, o, x, y);
        own += used[D] * o;
        a += used[D] * x;
        b += used[D] * y;
      }(),
      ...);
  const int va = Lim(C + DivideTruncating((a - own) / 4, count)), vb = Lim(C + DivideTruncating((b - own) / 4, count));
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

template <int Method>
void Row(const Rows& r, int y, int left, int width, std::uint16_t* rgb) {
  const std::ptrdiff_t s = r.w;
  const std::uint16_t* row = r.plane + s * y + left;
  Window5 P{{row - 2 * s, row - s, row, row + s, row + 2 * s}};
  constexpr auto kAll = std::make_integer_sequence<int, 8>();
  for (int j = 0; j < width; ++j) {
    const int x = left + j;
    const int phase = CfaPhase(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), r.order);
    if (phase == 1 || phase == 2)
      Pixel<Method, true>(P, phase, rgb + 3 * j, kAll);
    else
      Pixel<Method, false>(P, phase, rgb + 3 * j, kAll);
    for (auto& p : P.r) ++p;
  }
}

}  // namespace

void VngRow(const Rows& r, int method, int y, int left, int width, std::uint16_t* rgb) {
  if (method == 14)
    Row<14>(r, y, left, width, rgb);
  else if (method == 15)
    Row<15>(r, y, left, width, rgb);
  else
    Row<16>(r, y, left, width, rgb);
}

}  // namespace tessaro::demosaic
