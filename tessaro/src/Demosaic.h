#pragma once
// The row routine behind Demosaicer: one green pre-pass row and one output row, by method.

#include <cstdint>

#include "tessaro/RawPlane.h"

namespace tessaro::demosaic {

struct Rows {
  const std::uint16_t* plane;
  int w, h;
  BayerOrder order;
};

// Rows y - 1, y, y + 1 of pre-pass green (null for single-pass methods).
struct Ring {
  const std::uint16_t* up;
  const std::uint16_t* mid;
  const std::uint16_t* down;
};

// Green of plane row y for columns [from, to) into out (indexed by column).
void GreenPrePass(const std::uint16_t* plane, int w, int y, BayerOrder order, int method, int from, int to,
                  std::uint16_t* out);

// Output row for raw row y (half-image row for the half-size method): width pixels from
// column left, three 12-bit values each. ln is the logarithm table of methods 9 and 10.
void Row(const Rows& rows, int method, int y, int left, int width, const Ring& ring, const double* ln,
         std::uint16_t* rgb);

}  // namespace tessaro::demosaic
