#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "HnCode/HnErrorCode.h"
#include "JpegReference.h"
#include "coralin/Cr4Engine.h"

using crtest::Decode;
using crtest::Decoded;
using crtest::ReferenceJpeg;
using crtest::TestPicture;

namespace {

class MemoryOutput final : public Cr4Output {
 public:
  size_t Write(const uint8_t* data, size_t n) override {
    const size_t take = std::min(n, limit - bytes.size());
    bytes.insert(bytes.end(), data, data + take);
    return take;
  }
  bool Flush() override {
    ++flushes;
    return true;
  }
  std::vector<uint8_t> bytes;
  size_t limit = SIZE_MAX;
  int flushes = 0;
};

class CountingProgress final : public Cr4Progress {
 public:
  void Progress(int32_t done, int32_t all) override {
    EXPECT_EQ(done, last + 1);
    last = done;
    total = all;
  }
  int32_t last = 0, total = 0;
};

// The dialog's side, recording what the engine shows.
class RecordingView final : public Cr4EngineView {
 public:
  explicit RecordingView(int32_t w, int32_t h) : w_(w), bitmap(static_cast<size_t>(w) * h * 4, 0xEE) {}
  void ShowSetting(CrSetting which, int32_t value) override { shown.push_back({which, value}); }
  void SetSizeText(const std::string& t) override { sizeTexts.push_back(t); }
  void SetShortSizeText(const std::string& t) override { shortText = t; }
  void EnableFind(bool on) override { findEvents.push_back(on); }
  void PumpMessages() override {
    ++pumps;
    if (onPump) onPump(pumps);
  }
  void PostRestart() override { ++restarts; }
  void PostClose() override { ++closes; }
  CrBitmap JpegBitmap() override { return {bitmap.data(), w_ * 4}; }
  void TileDecoded(const HnRect& r) override { tiles.push_back(r); }

  int32_t w_;
  std::vector<uint8_t> bitmap;
  std::vector<std::pair<CrSetting, int32_t>> shown;
  std::vector<std::string> sizeTexts;
  std::string shortText;
  std::vector<bool> findEvents;
  std::vector<HnRect> tiles;
  int pumps = 0, restarts = 0, closes = 0;
  std::function<void(int)> onPump;
};

std::vector<uint8_t> Write(Cr4Engine& e) {
  MemoryOutput out;
  e.SetOutput(&out);
  e.SetMode(CrMode::kWrite);
  e.Compress();
  e.SetOutput(nullptr);
  return out.bytes;
}

TEST(Cr4Engine, EveryCombinationEqualsLibjpeg) {
  const int32_t w = 53, h = 41;
  const auto pic = TestPicture(w, h);
  Cr4Engine e(w, h, pic.data(), w * 3);
  ASSERT_FALSE(e.IsGrey());
  e.SetDensity(300, 150);
  int checked = 0;
  for (int q : {0, 1, 37, 60, 99, 100})
    for (int sm : {0, 20, 100})
      for (int bits = 0; bits < 8; ++bits) {
        CrSettings s;
        s.quality = static_cast<uint8_t>(q);
        s.smoothing = static_cast<uint8_t>(sm);
        s.optimize = bits & 1;
        s.betterSampling = (bits >> 1) & 1;
        s.progressive = (bits >> 2) & 1;
        e.SetSettings(s);
        const auto ref = ReferenceJpeg(pic.data(), w, h, w * 3, false, s, 300, 150);
        ASSERT_FALSE(ref.empty());
        ASSERT_EQ(Write(e), ref) << "q " << q << " smoothing " << sm << " bits " << bits;
        EXPECT_EQ(e.ProducedBytes(), ref.size());
        // The silent measurement of the search produces the same stream.
        e.SetMode(CrMode::kSilent);
        e.Compress();
        ASSERT_EQ(e.ProducedBytes(), ref.size());
        ++checked;
      }
  EXPECT_EQ(checked, 144);

  Decoded d;
  ASSERT_TRUE(Decode(Write(e), d));
  EXPECT_EQ(d.densityUnit, 1);
  EXPECT_EQ(d.xDensity, 300);
  EXPECT_EQ(d.yDensity, 150);
  EXPECT_TRUE(d.progressive);
  EXPECT_EQ(d.hSampling, 1);
}

TEST(Cr4Engine, GreyImagesBecomeOneComponentJpegs) {
  const int32_t w = 20, h = 9, step = 64;  // rows padded beyond the pixels
  std::vector<uint8_t> pic(static_cast<size_t>(step) * h, 0x5A);
  std::vector<uint8_t> packed;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t v = static_cast<uint8_t>(x * 12 + y * 3);
      for (int c = 0; c < 3; ++c) pic[static_cast<size_t>(y * step + 3 * x + c)] = v;
      packed.push_back(v);
    }
  Cr4Engine e(w, h, pic.data(), step);
  ASSERT_TRUE(e.IsGrey());
  const auto jpeg = Write(e);
  EXPECT_EQ(jpeg, ReferenceJpeg(packed.data(), w, h, w, true, CrSettings{}));
  Decoded d;
  ASSERT_TRUE(Decode(jpeg, d));
  EXPECT_EQ(d.components, 1);

  pic[static_cast<size_t>(8 * step + 3 * 19 + 2)] ^= 1;  // one pixel off grey, in the last place
  EXPECT_FALSE(Cr4Engine(w, h, pic.data(), step).IsGrey());
  EXPECT_TRUE(Cr4Engine(0, 0, nullptr, 0).IsGrey());
}

TEST(Cr4Engine, SettersClampAndOnlyTheDialogHearsOfThem) {
  const auto pic = TestPicture(8, 8);
  Cr4Engine e(8, 8, pic.data(), 24);
  EXPECT_EQ(e.Settings(), CrSettings{});
  RecordingView v(8, 8);
  e.SetView(&v);
  e.SetQuality(250);
  EXPECT_EQ(e.Settings().quality, 100);
  e.SetSmoothing(-3);
  EXPECT_EQ(e.Settings().smoothing, 0);
  e.SetSmoothingOperation(1);  // no extra plane: stays 0
  EXPECT_EQ(e.Settings().smoothingOperation, 0);
  e.SetTargetSize(0);
  EXPECT_EQ(e.Settings().targetSize, 1);
  e.SetProgressive(7);
  EXPECT_EQ(e.Settings().progressive, 1);
  EXPECT_TRUE(v.shown.empty());  // idle mode touches no controls
  EXPECT_EQ(v.restarts, 0);

  e.SetMode(CrMode::kDialog);
  e.SetChangedSinceSearch(false);
  e.SetQuality(100);  // unchanged
  EXPECT_TRUE(v.shown.empty());
  EXPECT_FALSE(e.ChangedSinceSearch());
  e.SetQuality(80);
  e.SetTargetSize(40);  // shown, but the JPEG does not change
  ASSERT_EQ(v.shown.size(), 2u);
  EXPECT_EQ(v.shown[0], std::make_pair(CrSetting::kQuality, 80));
  EXPECT_EQ(v.shown[1], std::make_pair(CrSetting::kTargetSize, 40));
  EXPECT_EQ(v.restarts, 1);
  EXPECT_TRUE(e.ChangedSinceSearch());

  EXPECT_EQ(CrTransferRateFor(0).bitsPerSecond, 256000u);
  EXPECT_EQ(CrTransferRateFor(10).bitsPerSecond, 256000u);
  EXPECT_STREQ(CrTransferRateFor(4).entry, "ISDN - Dual Channel");
  EXPECT_STREQ(CrTransferRateFor(9).label, "9.6");
  e.SetTransferRate(12);
  EXPECT_EQ(e.TransferRate(), 3);
}

TEST(Cr4Engine, EstimateGuessAndTexts) {
  const uint32_t t = 300 * 200 * 3;
  EXPECT_EQ(Cr4Engine::Guess(t, 100, true, true), ((t / 7 + 50) * 14 / 10) * 85 / 100);
  EXPECT_EQ(Cr4Engine::Guess(t, 60, false, false), t / 30 + 50);
  EXPECT_EQ(Cr4Engine::Guess(t, 23, false, false), t / 100 + 50);
  EXPECT_EQ(Cr4Engine::Guess(t, 96, false, false), t / 11 + 50);
  EXPECT_EQ(Cr4Engine::Guess(t, 95, false, false), t / 14 + 50);
  EXPECT_EQ(Cr4Engine::Guess(t, 44, false, false), t / 50 + 50);

  EXPECT_EQ(Cr4Engine::RunningEstimate(300, 30000, 90000), 900u);
  EXPECT_EQ(Cr4Engine::RunningEstimate(4096, 9000, 90000), ((90000 / 4) * (4096 / 4) / 9000) * 16);
  // A 24-megabyte source a quarter consumed: (T / 4) x (P / 4) is past 2^32.
  const uint32_t big = 24u * 1024 * 1024, c = big / 4, p = 3u * 1024 * 1024;
  EXPECT_GT(uint64_t(big / 4) * (p / 4), uint64_t(UINT32_MAX));
  EXPECT_EQ(Cr4Engine::RunningEstimate(p, c, big), (uint64_t(big / 4) * (p / 4) / c) * 16);
  EXPECT_NEAR(double(Cr4Engine::RunningEstimate(p, c, big)), 4.0 * p, 16.0);
  EXPECT_EQ(Cr4Engine::RunningEstimate(0, c, big), 0u);

  EXPECT_EQ(Cr4Engine::ShortText(1024), "1024 Bytes");
  EXPECT_EQ(Cr4Engine::ShortText(1025), "1 K");
  EXPECT_EQ(Cr4Engine::FinalText(5000, 1), "File Size:  5000 bytes - 0 seconds @ Unlimited kbps");
  EXPECT_EQ(Cr4Engine::FinalText(5000, 5), "File Size:  5000 bytes - 1 seconds @ 56 kbps");
  EXPECT_EQ(Cr4Engine::DownloadSeconds(5000, 9), (4800u + 40000u) / 9600u);
  EXPECT_EQ(Cr4Engine::EstimateText(123), "Estimated File Size:  123 bytes");
}

TEST(Cr4Engine, DialogPassFillsTilesAndEndsWithTheFinalText) {
  const int32_t w = 33, h = 33;
  const auto pic = TestPicture(w, h, 5);
  Cr4Engine e(w, h, pic.data(), w * 3);
  EXPECT_EQ(e.TileColumns(), 2);
  EXPECT_EQ(e.TileRows(), 2);
  RecordingView v(w, h);
  e.SetView(&v);
  e.SetMode(CrMode::kDialog);
  e.Compress();
  ASSERT_EQ(v.tiles.size(), 4u);
  EXPECT_EQ(v.tiles[1], (HnRect{32, 0, 33, 32}));  // columns first, the last one pixel wide
  EXPECT_EQ(v.tiles[3], (HnRect{32, 32, 33, 33}));
  // 4 steps of a tile and a row, then two rows a step for the other 29.
  EXPECT_EQ(v.pumps, 4 + 15);
  EXPECT_EQ(v.findEvents, (std::vector<bool>{false, true}));
  ASSERT_GE(v.sizeTexts.size(), 2u);
  EXPECT_EQ(v.sizeTexts.front().rfind("Estimated File Size:  ", 0), 0u);
  const auto ref = ReferenceJpeg(pic.data(), w, h, w * 3, false, CrSettings{});
  EXPECT_EQ(e.ProducedBytes(), ref.size());
  EXPECT_EQ(v.sizeTexts.back(), Cr4Engine::FinalText(ref.size(), 3));
  EXPECT_EQ(v.shortText, Cr4Engine::ShortText(ref.size()));

  // Each tile decodes what a JPEG of its pixels alone holds, in blue-green-red order.
  CrSettings plain;
  plain.optimize = 0;
  for (const HnRect& r : v.tiles) {
    std::vector<uint8_t> tile;
    for (int y = r.top; y < r.bottom; ++y)
      tile.insert(tile.end(), pic.begin() + (y * w + r.left) * 3, pic.begin() + (y * w + r.right) * 3);
    Decoded d;
    ASSERT_TRUE(Decode(ReferenceJpeg(tile.data(), r.Width(), r.Height(), r.Width() * 3, false, plain, 0, 0), d));
    for (int y = 0; y < r.Height(); ++y)
      for (int x = 0; x < r.Width(); ++x) {
        const uint8_t* b = &v.bitmap[static_cast<size_t>(((r.top + y) * w + r.left + x) * 4)];
        const uint8_t* s = &d.pixels[static_cast<size_t>((y * r.Width() + x) * 3)];
        ASSERT_EQ(b[0], s[2]);
        ASSERT_EQ(b[1], s[1]);
        ASSERT_EQ(b[2], s[0]);
        ASSERT_EQ(b[3], 0xEE);  // the fourth byte is left alone
      }
  }
  // After a change of quality the tiles follow it.
  e.SetQuality(10);
  e.Compress();
  CrSettings low = plain;
  low.quality = 10;
  Decoded d;
  std::vector<uint8_t> corner(pic.end() - 3, pic.end());
  ASSERT_TRUE(Decode(ReferenceJpeg(corner.data(), 1, 1, 3, false, low, 0, 0), d));
  EXPECT_EQ(v.bitmap[static_cast<size_t>((33 * 33 - 1) * 4 + 2)], d.pixels[0]);
}

// What libjpeg makes of one tile's pixels coded alone, with the tile settings (no Huffman
// optimisation, no progression), decoded back to R, G, B (or one grey sample).
Decoded TileAlone(const std::vector<uint8_t>& pic, int32_t w, const HnRect& r, bool grey, CrSettings s) {
  s.optimize = 0;
  s.progressive = 0;
  std::vector<uint8_t> tile;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      for (int c = 0; c < (grey ? 1 : 3); ++c) tile.push_back(pic[static_cast<size_t>((y * w + x) * 3 + c)]);
  Decoded d;
  EXPECT_TRUE(Decode(ReferenceJpeg(tile.data(), r.Width(), r.Height(), r.Width() * (grey ? 1 : 3), grey, s, 0, 0), d));
  return d;
}

// Every tile of the bitmap against its own JPEG; the first difference, or "".
std::string CompareTiles(const RecordingView& v, const std::vector<uint8_t>& pic, int32_t w, bool grey,
                         const CrSettings& s) {
  for (const HnRect& r : v.tiles) {
    const Decoded d = TileAlone(pic, w, r, grey, s);
    for (int y = 0; y < r.Height(); ++y)
      for (int x = 0; x < r.Width(); ++x) {
        const uint8_t* b = &v.bitmap[static_cast<size_t>(((r.top + y) * w + r.left + x) * 4)];
        const uint8_t* p = &d.pixels[static_cast<size_t>((y * r.Width() + x) * d.components)];
        const uint8_t red = p[0], green = p[d.components == 3 ? 1 : 0], blue = p[d.components == 3 ? 2 : 0];
        if (b[0] != blue || b[1] != green || b[2] != red || b[3] != 0xEE)
          return "tile at " + std::to_string(r.left) + "," + std::to_string(r.top) + " pixel " + std::to_string(x) +
                 "," + std::to_string(y);
      }
  }
  return "";
}

// Tiles are coded a row at a time; each must still equal the tile coded alone, at the image's
// edges, beside its neighbours, with and without smoothing and subsampling, and for grey.
TEST(Cr4Engine, EveryTileEqualsItsOwnJpeg) {
  struct Size {
    int32_t w, h;
  };
  for (const Size sz : {Size{97, 70}, Size{64, 33}, Size{1, 1}, Size{2, 34}, Size{130, 3}, Size{47, 49}}) {
    for (const bool grey : {false, true}) {
      auto pic = TestPicture(sz.w, sz.h, static_cast<uint32_t>(sz.w * 7 + sz.h));
      if (grey)
        for (size_t i = 0; i < pic.size(); i += 3) pic[i + 1] = pic[i + 2] = pic[i];
      Cr4Engine e(sz.w, sz.h, pic.data(), sz.w * 3);
      ASSERT_EQ(e.IsGrey(), grey);
      RecordingView v(sz.w, sz.h);
      e.SetView(&v);
      e.SetMode(CrMode::kDialog);
      for (int q : {5, 75, 100})
        for (int sm : {0, 20, 100})
          for (int better : {0, 1}) {
            CrSettings s;
            s.quality = static_cast<uint8_t>(q);
            s.smoothing = static_cast<uint8_t>(sm);
            s.betterSampling = static_cast<uint8_t>(better);
            s.progressive = 1;  // the file's settings; tiles never use them
            e.SetSettings(s);
            v.tiles.clear();
            e.Compress();
            ASSERT_EQ(v.tiles.size(), static_cast<size_t>(e.TileColumns() * e.TileRows()));
            ASSERT_EQ(CompareTiles(v, pic, sz.w, grey, s), "")
                << sz.w << "x" << sz.h << (grey ? " grey" : "") << " q " << q << " smoothing " << sm
                << " better " << better;
          }
    }
  }
}

// With the smoothing operations the tiles show the smoothed copy, libjpeg's smoothing off.
TEST(Cr4Engine, TilesShowTheAlphaSmoothedCopy) {
  const int32_t w = 70, h = 40;
  const auto pic = TestPicture(w, h, 21);
  HnGrayscaleImage plane(w, h);
  {
    HnImageLock l(plane);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) l.Row(y)[x] = static_cast<uint8_t>(x * 255 / (w - 1));
  }
  Cr4Engine e(w, h, pic.data(), w * 3, {&plane}, {"Alpha Channel"}, 0);
  RecordingView v(w, h);
  e.SetView(&v);
  CrSettings s;
  s.smoothingOperation = 1;
  s.smoothing = 80;
  e.SetSettings(s);
  // The smoothed pixels are what the file gets: take them from a written file's twin.
  std::vector<uint8_t> blurred(pic.size()), smoothed(pic.size());
  CrBlur(pic.data(), w, h, w * 3, blurred.data());
  for (size_t i = 0; i < pic.size(); ++i) {
    const uint32_t t = static_cast<uint32_t>((i / 3) % static_cast<size_t>(w)) * 255 / (w - 1);
    const uint32_t o = pic[i], b = blurred[i];
    smoothed[i] = static_cast<uint8_t>(((b * t + o * (255 - t)) * 80 + o * (25500 - 255 * 80)) / 25500);
  }
  e.SetMode(CrMode::kDialog);
  e.Compress();
  CrSettings tileSide = s;
  tileSide.smoothing = 0;
  EXPECT_EQ(CompareTiles(v, smoothed, w, false, tileSide), "");
  // Switching to the background operation recodes the tiles from the new copy.
  e.SetSmoothingOperation(2);
  v.tiles.clear();
  e.Compress();
  EXPECT_NE(CompareTiles(v, smoothed, w, false, tileSide), "");
}

TEST(Cr4Engine, ChangesDuringADialogPassStopAndRestartOrClose) {
  const int32_t w = 64, h = 64;
  const auto pic = TestPicture(w, h, 9);
  Cr4Engine e(w, h, pic.data(), w * 3);
  RecordingView v(w, h);
  e.SetView(&v);
  e.SetMode(CrMode::kDialog);
  v.onPump = [&](int n) {
    if (n == 3) e.SetQuality(90);
    if (n == 4) e.Compress();  // a nested request returns at once
  };
  e.Compress();
  EXPECT_EQ(v.pumps, 3);  // abandoned at the next step
  EXPECT_EQ(v.restarts, 1);
  EXPECT_EQ(v.closes, 0);
  EXPECT_FALSE(e.Compressing());
  EXPECT_EQ(v.findEvents, (std::vector<bool>{false}));

  v.pumps = 0;
  v.onPump = [&](int n) {
    if (n == 2) {
      EXPECT_TRUE(e.RequestClose());
      e.SetQuality(20);  // close wins over restart
    }
  };
  e.Compress();
  EXPECT_EQ(v.closes, 1);
  EXPECT_EQ(v.restarts, 1);
  EXPECT_FALSE(e.RequestClose());  // nothing runs: the caller closes now

  // A pass that runs through after the restart gives the same size as a silent one.
  v.onPump = nullptr;
  e.Compress();
  const uint32_t dialogSize = e.ProducedBytes();
  e.SetMode(CrMode::kSilent);
  e.Compress();
  EXPECT_EQ(e.ProducedBytes(), dialogSize);
}

TEST(Cr4Engine, FileWritingReportsProgressAndShortWrites) {
  const int32_t w = 200, h = 120;
  const auto pic = TestPicture(w, h, 3);
  Cr4Engine e(w, h, pic.data(), w * 3);
  CountingProgress progress;
  MemoryOutput out;
  e.SetProgress(&progress);
  e.SetOutput(&out);
  e.SetMode(CrMode::kWrite);
  e.Compress();
  EXPECT_EQ(progress.last, h);
  EXPECT_EQ(progress.total, h);
  EXPECT_EQ(out.flushes, 1);
  ASSERT_GT(out.bytes.size(), 4096u);
  e.SetProgress(nullptr);

  for (size_t limit : {size_t(0), size_t(4095), out.bytes.size() - 1}) {
    MemoryOutput shortOut;
    shortOut.limit = limit;
    e.SetOutput(&shortOut);
    try {
      e.Compress();
      FAIL() << limit;
    } catch (const HnErrorCode& err) {
      EXPECT_EQ(err.code(), 7);
    }
    EXPECT_FALSE(e.Compressing());
  }
  e.SetOutput(nullptr);
  EXPECT_THROW(e.Compress(), HnErrorCode);
}

TEST(Cr4Engine, BlurAndAlphaSmoothing) {
  // 3 x 3, one channel of interest: the centre takes the 1-2-1 kernel, edges and corners means.
  std::vector<uint8_t> src(27, 0), dst(27, 0);
  const uint8_t v[9] = {10, 20, 30, 40, 50, 60, 70, 80, 91};
  for (int i = 0; i < 9; ++i) src[static_cast<size_t>(3 * i)] = v[i];
  CrBlur(src.data(), 3, 3, 9, dst.data());
  EXPECT_EQ(dst[3 * 4], (10 + 30 + 70 + 91 + 2 * (20 + 40 + 50 + 60 + 80)) / 14);
  EXPECT_EQ(dst[0], (10 + 20 + 40 + 50) >> 2);
  EXPECT_EQ(dst[3 * 8], (50 + 60 + 80 + 91) >> 2);
  EXPECT_EQ(dst[3 * 1], (10 + 20 + 30 + 40 + 50 + 60) / 6);      // top row
  EXPECT_EQ(dst[3 * 3], (10 + 40 + 70 + 20 + 50 + 80) / 6);      // first column
  EXPECT_EQ(dst[3 * 5], (30 + 60 + 91 + 20 + 50 + 80) / 6);      // last column
  CrBlur(src.data(), 1, 3, 9, dst.data());  // too narrow: copied
  EXPECT_EQ(dst[3 * 3], 40);

  // Smoothing the foreground: where the plane is 255 the blend of blurred and source, where 0
  // the source; the background operation the other way round.
  const int32_t w = 16, h = 16;
  const auto pic = TestPicture(w, h, 4);
  HnGrayscaleImage plane(w, h);
  {
    HnImageLock l(plane);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) l.Row(y)[x] = x < 8 ? 255 : 0;
  }
  std::vector<uint8_t> blurred(pic.size());
  CrBlur(pic.data(), w, h, w * 3, blurred.data());
  auto expected = [&](int op, int s) {
    std::vector<uint8_t> out(pic.size());
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 3; ++c) {
          const size_t i = static_cast<size_t>((y * w + x) * 3 + c);
          const uint32_t t = x < 8 ? 255 : 0, o = pic[i], b = blurred[i];
          const uint32_t mix = op == 1 ? b * t + o * (255 - t) : b * (255 - t) + o * t;
          out[i] = static_cast<uint8_t>((mix * s + o * (25500 - 255 * s)) / 25500);
        }
    return out;
  };
  Cr4Engine e(w, h, pic.data(), w * 3, {&plane}, {"Alpha Channel"}, 0);
  EXPECT_EQ(plane.LockCount(), 1);
  for (int op : {1, 2})
    for (int s : {0, 37, 100}) {
      CrSettings st;
      st.smoothingOperation = static_cast<uint8_t>(op);
      st.smoothing = static_cast<uint8_t>(s);
      e.SetSettings(st);
      CrSettings libjpegSide = st;
      libjpegSide.smoothing = 0;  // libjpeg's own smoothing is off for these operations
      const auto px = expected(op, s);
      ASSERT_EQ(Write(e), ReferenceJpeg(px.data(), w, h, w * 3, false, libjpegSide)) << op << " " << s;
    }
  // Deselecting the plane forces the whole-image operation back.
  e.SelectExtraPlane(1);
  EXPECT_EQ(e.SelectedPlane(), -1);
  EXPECT_EQ(e.Settings().smoothingOperation, 0);
  EXPECT_EQ(plane.LockCount(), 0);
  EXPECT_EQ(Write(e), ReferenceJpeg(pic.data(), w, h, w * 3, false, [] {
              CrSettings s;
              s.smoothing = 100;
              return s;
            }()));
}

}  // namespace
