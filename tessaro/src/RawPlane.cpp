#include "tessaro/RawPlane.h"

#include <bit>
#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <tmmintrin.h>
#define TESSARO_HAVE_SSSE3_PATH 1
#endif

namespace tessaro {

namespace {

// Byte order of the machine, for the wide loads and stores of the unpacking.
constexpr bool kLittleEndianHost = std::endian::native == std::endian::little;

std::uint64_t ByteSwap64(std::uint64_t v) {
  v = ((v & 0x00FF00FF00FF00FFull) << 8) | ((v >> 8) & 0x00FF00FF00FF00FFull);
  v = ((v & 0x0000FFFF0000FFFFull) << 16) | ((v >> 16) & 0x0000FFFF0000FFFFull);
  return (v << 32) | (v >> 32);
}

std::uint64_t LoadBigEndian64(std::uint64_t raw) { return kLittleEndianHost ? ByteSwap64(raw) : raw; }

// Stores four 16-bit values packed low to high into dst[0..3].
void StoreLittleEndian4x16(std::uint16_t* dst, std::uint64_t v) {
  if (kLittleEndianHost) {
    std::memcpy(dst, &v, 8);
  } else {
    for (int i = 0; i < 4; ++i) dst[i] = static_cast<std::uint16_t>(v >> (16 * i));
  }
}

#ifdef TESSARO_HAVE_SSSE3_PATH
// Eight samples from twelve bytes: one byte shuffle puts each sample's two bytes in its 16-bit
// lane, high byte first as read; even samples then lose their low nibble, odd samples their
// high one. Reads 16 bytes.
__attribute__((target("ssse3"))) inline void Unpack8Ssse3(const std::uint8_t* src, std::uint16_t* dst) {
  const __m128i order = _mm_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
  const __m128i w = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src)), order);
  const __m128i even = _mm_and_si128(_mm_srli_epi16(w, 4), _mm_set1_epi32(0x0000FFFF));
  const __m128i odd = _mm_and_si128(w, _mm_set1_epi32(0x0FFF0000));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_or_si128(even, odd));
}

// Returns the pairs left for the plain loop. A step stops while the 16 bytes it reads still
// lie in the row: at least six pairs (18 bytes) remain, or ten for the double step.
__attribute__((target("ssse3"))) std::uint32_t UnpackPacked12Ssse3(const std::uint8_t*& src, std::uint32_t pairs,
                                                                  std::uint16_t*& dst) {
  for (; pairs >= 10; pairs -= 8, src += 24, dst += 16) {
    Unpack8Ssse3(src, dst);
    Unpack8Ssse3(src + 12, dst + 8);
  }
  for (; pairs >= 6; pairs -= 4, src += 12, dst += 8) Unpack8Ssse3(src, dst);
  return pairs;
}

bool HasSsse3() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
  }();
  return has;
}
#endif

}  // namespace

bool TurnForOrientation(int orientation, Turn& turn) {
  switch (orientation) {
    case 3: turn = Turn::Half; return true;
    case 6: turn = Turn::QuarterCw; return true;
    case 8: turn = Turn::QuarterCcw; return true;
    default: return false;
  }
}

BayerOrder TurnedBayerOrder(BayerOrder order, Turn turn) {
  static constexpr BayerOrder kCcw[4] = {1, 3, 0, 2};
  static constexpr BayerOrder kCw[4] = {2, 0, 3, 1};
  const int i = order & 3;
  switch (turn) {
    case Turn::QuarterCcw: return kCcw[i];
    case Turn::QuarterCw: return kCw[i];
    case Turn::Half: return 3 - i;
  }
  return i;
}

void UnpackPacked12(const std::uint8_t* src, std::uint32_t width, std::uint16_t* dst) {
  std::uint32_t pairs = width / 2;
#ifdef TESSARO_HAVE_SSSE3_PATH
  if (HasSsse3() && kLittleEndianHost) pairs = UnpackPacked12Ssse3(src, pairs, dst);
#endif
  // Four samples from six bytes at a time: one 8-byte load and one 8-byte store instead of six
  // byte loads and four narrow stores; the two bytes read beyond the group stay in the row.
  while (pairs >= 3) {
    std::uint64_t v;
    std::memcpy(&v, src, 8);
    v = LoadBigEndian64(v);
    const std::uint64_t out = (v >> 52) | ((v >> 40 & 0xFFF) << 16) | ((v >> 28 & 0xFFF) << 32) |
                              ((v >> 16 & 0xFFF) << 48);
    StoreLittleEndian4x16(dst, out);
    src += 6;
    dst += 4;
    pairs -= 2;
  }
  for (; pairs > 0; --pairs) {
    const unsigned b0 = src[0], b1 = src[1], b2 = src[2];
    dst[0] = static_cast<std::uint16_t>((b0 << 4) | (b1 >> 4));
    dst[1] = static_cast<std::uint16_t>(((b1 & 15u) << 8) | b2);
    src += 3;
    dst += 2;
  }
  if (width & 1u) *dst = 0;
}

void Unpack16(const std::uint8_t* src, std::uint32_t width, std::uint16_t* dst) {
  for (std::uint32_t i = 0; i < width; ++i) {
    const unsigned v = (unsigned{src[2 * i]} << 8) | src[2 * i + 1];
    dst[i] = static_cast<std::uint16_t>(v > kRawMax ? kRawMax : v);
  }
}

}  // namespace tessaro
