// Shared pieces of the engine tests: counting memory hooks and a slice fixture.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <random>
#include <set>
#include <vector>

#include "engine/bokeh_engine.h"

namespace velune::test {

// Memory hooks that count live blocks and can refuse the n-th allocation.
struct CountingHooks {
  std::set<void*> live;
  int allocations = 0;
  int fail_at = -1;  // allocation index to refuse; -1 never
  std::vector<int32_t> progress;
  int cancel_after = -1;  // progress calls to allow before asking to stop; -1 never

  EngineHooks hooks() {
    EngineHooks h;
    h.user = this;
    h.allocate = [](void* user, std::size_t bytes) -> void* {
      auto* self = static_cast<CountingHooks*>(user);
      if (self->allocations++ == self->fail_at) {
        return nullptr;
      }
      // Host handles put their bookkeeping word first, so blocks may sit 4 bytes off.
      auto* block = static_cast<unsigned char*>(std::malloc(bytes + 4));
      self->live.insert(block + 4);
      return block + 4;
    };
    h.release = [](void* user, void* block) {
      auto* self = static_cast<CountingHooks*>(user);
      self->live.erase(block);
      std::free(static_cast<unsigned char*>(block) - 4);
    };
    h.progress = [](void* user, int32_t done, int32_t total) {
      auto* self = static_cast<CountingHooks*>(user);
      self->progress.push_back(done * 100 / total);
      return self->cancel_after >= 0 && static_cast<int>(self->progress.size()) > self->cancel_after;
    };
    return h;
  }
};

// A slice with its mask, row counts and accumulator, plus a pattern, filled at random.
struct SliceFixture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // ARGB
  std::vector<uint8_t> mask;
  std::vector<int32_t> counts;
  std::vector<float> accumulator;
  int32_t pattern_size = 0;
  std::vector<uint8_t> pattern;  // BGR

  SliceFixture(int32_t w, int32_t h) : width(w), height(h) {
    pixels.assign(static_cast<std::size_t>(w) * h * 4, 0);
    mask.assign(static_cast<std::size_t>(w) * h, 255);
    counts.assign(static_cast<std::size_t>(h), w);
    accumulator.assign(static_cast<std::size_t>(w) * h * 4, 0.0f);
  }

  // Mostly dark with a few bright highlights and some transparent (outside) pixels.
  void random_pixels(std::mt19937& rng) {
    std::uniform_int_distribution<int> any(0, 255);
    std::uniform_int_distribution<int> roll(0, 9);
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
      const int r = roll(rng);
      pixels[i] = r == 0 ? 0 : static_cast<uint8_t>(any(rng) | 1);
      const int top = r >= 8 ? 255 : 120;
      for (int c = 1; c < 4; ++c) {
        pixels[i + static_cast<std::size_t>(c)] = static_cast<uint8_t>(any(rng) % (top + 1));
      }
    }
  }

  // Runs of zero, partial and full mask; row counts follow the mask, as the driver's do.
  void random_mask(std::mt19937& rng) {
    std::uniform_int_distribution<int> roll(0, 9);
    std::uniform_int_distribution<int> any(1, 254);
    for (int32_t y = 0; y < height; ++y) {
      int32_t count = 0;
      const bool blank_row = roll(rng) == 0;
      uint8_t value = 255;
      for (int32_t x = 0; x < width; ++x) {
        if (roll(rng) < 2) {  // start a new run
          const int kind = roll(rng);
          value = kind < 3 ? 0 : (kind < 5 ? static_cast<uint8_t>(any(rng)) : 255);
        }
        const uint8_t m = blank_row ? 0 : value;
        mask[static_cast<std::size_t>(y) * width + x] = m;
        count += m != 0 ? 1 : 0;
      }
      counts[static_cast<std::size_t>(y)] = count;
    }
  }

  // size x size pattern; grey keeps B = G = R.
  void random_pattern(std::mt19937& rng, int32_t size, bool grey) {
    pattern_size = size;
    pattern.assign(static_cast<std::size_t>(size) * size * 3, 0);
    std::uniform_int_distribution<int> any(0, 255);
    std::uniform_int_distribution<int> roll(0, 3);
    for (std::size_t i = 0; i < pattern.size(); i += 3) {
      const uint8_t v = roll(rng) == 0 ? 0 : static_cast<uint8_t>(any(rng));
      for (int c = 0; c < 3; ++c) {
        pattern[i + static_cast<std::size_t>(c)] =
            grey ? v : (roll(rng) == 0 ? 0 : static_cast<uint8_t>(any(rng)));
      }
    }
  }

  RunParams params(double diameter, int32_t quality) {
    RunParams p;
    p.slice = SliceView{pixels.data(), width, height, 4 * static_cast<std::ptrdiff_t>(width)};
    p.mask = mask.data();
    p.mask_pitch = width;
    p.row_counts = counts.data();
    p.diameter = diameter;
    p.quality = quality;
    p.pattern = PatternView{pattern.data(), pattern_size, pattern_size, 3 * static_cast<std::ptrdiff_t>(pattern_size)};
    p.accumulator = accumulator.data();
    p.accumulator_pitch = 16 * static_cast<std::ptrdiff_t>(width);
    return p;
  }
};

}  // namespace velune::test
