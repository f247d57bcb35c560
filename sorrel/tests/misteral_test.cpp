#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "misteral.h"

using namespace sorrel;

namespace {

// Plays the host over an interleaved image of `planes` bytes a pixel, handing out one
// requested row at a time the way a filter host does.
class FakeHost final : public MisteralHost {
 public:
  FakeHost(int32_t w, int32_t h, int16_t planes) : w_(w), h_(h), planes_(planes), image_(size_t(w * h * planes)) {
    for (size_t i = 0; i < image_.size(); ++i) image_[i] = uint8_t(i * 37 + 11);
    filterRect_ = Rect{0, 0, h, w};
  }

  bool AllocateWorkBlocks(const size_t (&sizes)[WorkBlocks::kCount], WorkBlocks& blocks) override {
    for (int i = 0; i < WorkBlocks::kCount; ++i) {
      if (i == failBlock) return false;  // the filter must release what it already got
      blocks.block[i] = std::calloc(1, sizes[i]);
      ++live;
    }
    return true;
  }
  void ReleaseWorkBlocks(WorkBlocks& blocks) override {
    for (void*& b : blocks.block)
      if (b) {
        std::free(b);
        b = nullptr;
        --live;
      }
  }
  int16_t FilterCase() const override { return filterCase; }
  bool HaveMask() const override { return haveMask; }
  int16_t Planes() const override { return planes_; }
  Rect FilterRect() const override { return filterRect_; }
  void SetFilterRect(const Rect& r) override { filterRect_ = r; }
  void Request(const RowRequest& q) override {
    requests.push_back(q);
    loaded = false;
  }
  RowBuffers Row() const override {
    const RowRequest& q = requests.back();
    EXPECT_TRUE(loaded) << "row converted before the host delivered it";
    uint8_t* p = &image_[size_t((q.in.top * w_ + q.in.left) * planes_)];
    return RowBuffers{p, p, planes_, planes_, planes_ - 1, planes_ - 1, planes_};
  }
  void ShowRefusal() override { ++refusals; }
  void Progress(int32_t done, int32_t total) override { progress.emplace_back(done, total); }
  bool AbortRequested() override { return ++abortPolls >= abortAtPoll; }
  bool HasAdvanceState() const override { return withAdvanceState; }
  int16_t AdvanceState() override {
    ++advanceCalls;
    if (advanceCalls == failAdvanceAt) return -42;
    loaded = true;
    return 0;
  }

  bool Done() const {
    const RowRequest& q = requests.back();
    return q.in.Height() <= 0 && q.out.Height() <= 0 && q.mask.Height() <= 0;
  }

  // Drives the selectors: prepare, start and continue until the filter asks for nothing more.
  int16_t Run(Globals& g) {
    Prepare(g, filterRect_);
    int16_t r = Start(g, *this);
    int calls = 0;
    while (r == 0 && !Done() && calls++ < 100000) {
      loaded = true;  // a host without advanceState delivers the row before calling again
      r = Continue(g, *this);
    }
    return r;
  }

  int32_t w_, h_;
  int16_t planes_;
  mutable std::vector<uint8_t> image_;
  Rect filterRect_;
  int16_t filterCase = kEditableTransparencyNoSelection;
  bool haveMask = false, withAdvanceState = true, loaded = false;
  int failBlock = -1, failAdvanceAt = -1, advanceCalls = 0, refusals = 0, live = 0;
  int abortPolls = 0, abortAtPoll = 1 << 30;
  std::vector<RowRequest> requests;
  std::vector<std::pair<int32_t, int32_t>> progress;
};

void ExpectGreyOfAlpha(const std::vector<uint8_t>& before, const FakeHost& h, int32_t rows) {
  for (int32_t i = 0; i < h.w_ * h.h_; ++i) {
    const uint8_t* b = &before[size_t(i * h.planes_)];
    const uint8_t* a = &h.image_[size_t(i * h.planes_)];
    const uint8_t alpha = b[h.planes_ - 1];
    if (i / h.w_ < rows) {
      for (int c = 0; c < h.planes_ - 1; ++c) ASSERT_EQ(a[c], alpha) << "pixel " << i;
      ASSERT_EQ(a[h.planes_ - 1], 255);
    } else {
      for (int c = 0; c < h.planes_; ++c) ASSERT_EQ(a[c], b[c]) << "pixel " << i << " past the stop";
    }
  }
}

}  // namespace

TEST(MisteralSizes, WorkspaceFollowsTheLargerTerm) {
  EXPECT_EQ(WorkspaceElements(10, 10), 3u * 10 + 2184);      // small images: the fixed term
  EXPECT_EQ(WorkspaceElements(100, 2000), 2u * 2004);         // tall images: twice the height
  EXPECT_EQ(BufferSpace(10, 10), int32_t(4 * (30 + 2184) + 1128));
  size_t sizes[WorkBlocks::kCount];
  WorkBlockSizes(10, 10, sizes);
  EXPECT_EQ(sizes[1], 12288u);
  EXPECT_EQ(sizes[2], 12696u);
  EXPECT_EQ(sizes[10], 32u);
  EXPECT_EQ(BufferSpace(2000000000, 1), INT32_MAX);  // never wraps
}

TEST(MisteralRequest, RowAndMaskRectangles) {
  const Rect f{10, 5, 30, 25};
  RowRequest q = RequestForRow(f, 0, 20, true, 4);
  EXPECT_EQ(q.in, (Rect{10, 5, 11, 25}));
  EXPECT_EQ(q.out, q.in);
  EXPECT_EQ(q.mask, (Rect{10, 5, 12, 25}));  // clamped to the filter rectangle
  EXPECT_EQ(q.hiPlane, 3);
  EXPECT_EQ(q.inputPadding, -1);
  EXPECT_EQ(RequestForRow(f, 10, 20, true, 4).mask, (Rect{18, 5, 22, 25}));
  EXPECT_EQ(RequestForRow(f, 99, 20, false, 2).in, (Rect{29, 5, 30, 25}));  // row clamped
  EXPECT_EQ(RequestForRow(f, 3, 20, false, 2).mask, (Rect{10, 5, 10, 5}));   // empty, top-left
  // A one-row rectangle still asks for a one-row mask.
  EXPECT_EQ(RequestForRow(Rect{0, 0, 1, 4}, 0, 1, true, 4).mask, (Rect{0, 0, 1, 4}));
}

TEST(MisteralRun, EveryPixelBecomesOpaqueGreyOfItsTransparency) {
  for (int16_t planes : {int16_t{4}, int16_t{2}}) {
    for (bool advance : {true, false}) {
      FakeHost h(7, 20, planes);
      h.withAdvanceState = advance;
      h.image_[3] = 128;
      auto before = h.image_;
      Globals g;
      EXPECT_EQ(h.Run(g), 0);
      ExpectGreyOfAlpha(before, h, 20);
      if (planes == 4) {
        EXPECT_EQ(h.image_[0], 128);
      }
      EXPECT_EQ(h.live, 0);
    }
  }
}

TEST(MisteralRun, OtherPlaneCountsAreLeftAlone) {
  FakeHost h(3, 3, 3);
  auto before = h.image_;
  Globals g;
  EXPECT_EQ(h.Run(g), 0);
  EXPECT_EQ(h.image_, before);
}

TEST(MisteralRun, ProgressAtFirstRowThenEveryEighth) {
  FakeHost h(4, 20, 4);
  Globals g;
  h.Run(g);
  std::vector<std::pair<int32_t, int32_t>> expected{{0, 21}, {8, 21}, {16, 21}};
  EXPECT_EQ(h.progress, expected);
}

TEST(MisteralRun, OneRowRectangleEndsInTheFirstContinue) {
  FakeHost h(5, 1, 4);
  auto before = h.image_;
  Globals g;
  Prepare(g, h.filterRect_);
  ASSERT_EQ(Start(g, h), 0);
  EXPECT_EQ(Continue(g, h), 0);
  EXPECT_TRUE(h.Done());
  ExpectGreyOfAlpha(before, h, 1);
  EXPECT_EQ(h.live, 0);
}

TEST(MisteralRun, CancelStopsAtTheEighthRowAndReleasesEverything) {
  FakeHost h(4, 30, 4);
  h.abortAtPoll = 1;  // the first poll comes after the eighth row
  auto before = h.image_;
  Globals g;
  EXPECT_EQ(h.Run(g), kUserCanceled);
  EXPECT_EQ(h.abortPolls, 1);
  ExpectGreyOfAlpha(before, h, 8);
  EXPECT_TRUE(h.Done());
  EXPECT_EQ(h.live, 0);
}

TEST(MisteralRun, AdvanceStateErrorIsTheResultAndEndsTheRun) {
  FakeHost h(4, 30, 4);
  h.failAdvanceAt = 5;  // the first call is Start's
  auto before = h.image_;
  Globals g;
  EXPECT_EQ(h.Run(g), -42);
  ExpectGreyOfAlpha(before, h, 4);
  EXPECT_EQ(h.live, 0);
  EXPECT_TRUE(h.Done());

  FakeHost first(4, 3, 4);
  first.failAdvanceAt = 1;
  Globals g2;
  EXPECT_EQ(first.Run(g2), -42);
  EXPECT_EQ(first.live, 0);  // nothing leaked when the very first row cannot be had
}

TEST(MisteralRun, LayersWithoutEditableTransparencyAreRefused) {
  for (int16_t fc : {int16_t{1}, int16_t{2}, int16_t{3}, int16_t{6}, int16_t{7}}) {
    FakeHost h(4, 4, 4);
    h.filterCase = fc;
    auto before = h.image_;
    Globals g;
    EXPECT_EQ(h.Run(g), kRefusedAndReported);
    EXPECT_EQ(h.refusals, 1);
    EXPECT_EQ(h.image_, before);
    EXPECT_EQ(h.live, 0);
    EXPECT_TRUE(h.Done());
  }
}

TEST(MisteralRun, MissingWorkBlocksGiveThreeWithoutDialog) {
  for (int fail : {0, 5, 10}) {
    FakeHost h(4, 4, 4);
    h.failBlock = fail;
    h.filterCase = 1;  // no dialog even then
    Globals g;
    EXPECT_EQ(h.Run(g), kWorkBlocksMissing);
    EXPECT_EQ(h.refusals, 0);
    EXPECT_EQ(h.live, 0);
    EXPECT_TRUE(h.Done());
  }
}

TEST(MisteralRun, ContinueWithoutARunAsksForNothing) {
  FakeHost h(4, 4, 4);
  Globals g;
  EXPECT_EQ(Continue(g, h), 0);
  EXPECT_TRUE(h.Done());
}
