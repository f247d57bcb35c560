#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "HnCode/HnErrorCode.h"
#include "JpegReference.h"
#include "coralin/CrSearchWindow.h"
#include "coralin/CrTargetSearch.h"
#include "platform/headless.h"
#include "platform/resources.h"

namespace {
const qm::res::DialogItem kProgressItems[] = {
    {qm::res::ItemKind::Pushbutton, 2, "Cancel", 40, 20, 50, 14},
};
const qm::res::Dialog kDialogs[] = {{"118", "Targeting File Size", 130, 40, true, kProgressItems, 1}};
}  // namespace
const qm::res::ModuleResources& qm::res::ThisModule() {
  static const ModuleResources table{nullptr, 0, kDialogs, 1, nullptr, 0};
  return table;
}

namespace {

struct Picture {
  int32_t w = 96, h = 80;
  std::vector<uint8_t> pixels = crtest::TestPicture(96, 80, 7);
};

// The size of every quality, measured once, and the bisection done by hand over it.
std::map<int, uint32_t> SizesByQuality(Cr4Engine& e) {
  std::map<int, uint32_t> sizes;
  e.SetMode(CrMode::kSilent);
  for (int q = 0; q <= 100; ++q) {
    e.SetQuality(q);
    e.Compress();
    sizes[q] = e.ProducedBytes();
  }
  e.SetMode(CrMode::kIdle);
  return sizes;
}

int ExpectedIndex(const std::map<int, uint32_t>& sizes, uint64_t t, int* passes) {
  int high = 102, low = 0;
  uint64_t sh = 268435455, sl = 0;
  *passes = 0;
  do {
    const int mid = (high + low) / 2;
    const uint64_t e = sizes.at(mid - 1);
    ++*passes;
    if (e > t) high = mid, sh = e;
    else if (e < t) low = mid, sl = e;
    else return mid;
    if (low == 101) return 101;
    if (high == 1) return 1;
  } while (high - low != 1);
  return sh - t < t - sl ? high : low;
}

class FakeProgress final : public CrSearchProgress {
 public:
  void SetText(const std::string& t) override { texts.push_back(t); }
  void Pump() override {
    if (++pumps == cancelAt) cancelled = true;
  }
  bool Cancelled() const override { return cancelled; }
  std::vector<std::string> texts;
  int pumps = 0, cancelAt = -1;
  bool cancelled = false;
};

TEST(CrTargetSearch, EndsOnTheBisectionsQualityWithinSevenPasses) {
  Picture p;
  Cr4Engine e(p.w, p.h, p.pixels.data(), p.w * 3);
  const auto sizes = SizesByQuality(e);
  ASSERT_LT(sizes.at(0), sizes.at(100));
  CrTargetSearch s(e);
  for (int32_t kb : {1, 2, 3, 4, 5, 6, 8, 10, 12, 15, 20, 40, 1000}) {
    e.SetQuality(60);
    int passes = 0;
    const int index = ExpectedIndex(sizes, uint64_t(kb) * 1024, &passes);
    FakeProgress progress;
    EXPECT_FALSE(s.Run(kb, &progress));
    EXPECT_EQ(s.Index(), index) << kb;
    EXPECT_EQ(e.Settings().quality, index - 1) << kb;
    EXPECT_EQ(s.Passes(), passes);
    EXPECT_LE(s.Passes(), 7);
    EXPECT_EQ(s.TargetBytes(), uint32_t(kb) * 1024u);
    EXPECT_EQ(e.Mode(), CrMode::kIdle);
  }
  // Beyond the quality-100 size: quality 100; below the quality-0 size: quality 0.
  s.Run(1000, nullptr);
  EXPECT_EQ(e.Settings().quality, 100);
  // Noise costs more than 1 KB even at quality 0.
  std::vector<uint8_t> noise(512 * 512 * 3);
  uint32_t r = 5;
  for (auto& b : noise) b = static_cast<uint8_t>((r = r * 1103515245u + 12345u) >> 24);
  Cr4Engine noisy(512, 512, noise.data(), 512 * 3);
  CrTargetSearch ns(noisy);
  EXPECT_FALSE(ns.Run(1, nullptr));
  EXPECT_EQ(ns.Index(), 1);
  EXPECT_EQ(noisy.Settings().quality, 0);
  EXPECT_LE(ns.Passes(), 7);

  // A pass that hits the target exactly stops at once: quality 59 is the first pass of a
  // search with index range 0-102 (mid 51 is quality 50), so aim at quality 50's size.
  const uint32_t exact = sizes.at(50);
  if (exact % 1024 == 0) {
    s.Run(int32_t(exact / 1024), nullptr);
    EXPECT_EQ(s.Passes(), 1);
  }
}

TEST(CrTargetSearch, ProgressTextCancelAndTheDialogsRefresh) {
  EXPECT_EQ(CrTargetSearch::ProgressText(102, 51), "Targeting File Size :  15%");
  EXPECT_EQ(CrTargetSearch::ProgressText(52, 51), "Targeting File Size : 100%");
  EXPECT_EQ(CrTargetSearch::ParseKilobytes(""), 1);
  EXPECT_EQ(CrTargetSearch::ParseKilobytes("abc"), 1);
  EXPECT_EQ(CrTargetSearch::ParseKilobytes("0"), 1);
  EXPECT_EQ(CrTargetSearch::ParseKilobytes("42K"), 42);
  EXPECT_EQ(CrTargetSearch::ParseKilobytes("99999999999"), INT32_MAX);

  Picture p;
  Cr4Engine e(p.w, p.h, p.pixels.data(), p.w * 3);
  CrTargetSearch s(e);
  FakeProgress progress;
  progress.cancelAt = 2;
  e.SetQuality(77);
  EXPECT_TRUE(s.Run(6, &progress));
  EXPECT_EQ(s.Passes(), 2);  // Cancel takes effect after the pass it came in
  EXPECT_EQ(e.Settings().quality, 77);
  EXPECT_EQ(progress.texts.front(), "Targeting File Size :  15%");

  // In the dialog the last setter call always counts as a change, so the pane refreshes even
  // when the quality found is the one it had.
  struct View final : Cr4EngineView {
    std::vector<int32_t> qualities;
    int restarts = 0;
    void ShowSetting(CrSetting w, int32_t v) override {
      if (w == CrSetting::kQuality) qualities.push_back(v);
    }
    void PostRestart() override { ++restarts; }
  } view;
  e.SetView(&view);
  e.SetMode(CrMode::kDialog);
  s.Run(1000, nullptr);
  EXPECT_EQ(e.Mode(), CrMode::kDialog);
  EXPECT_EQ(view.qualities, (std::vector<int32_t>{0, 100}));  // silent meanwhile
  s.Run(1000, nullptr);
  EXPECT_EQ(view.qualities, (std::vector<int32_t>{0, 100, 0, 100}));
  EXPECT_EQ(view.restarts, 4);
}

// A host that presses Cancel in the progress window while the search works.
struct Host {
  int pressAt = -1, asks = 0;
  std::vector<std::string> captions;
  static void Next(void* ctx, const QmHeadlessDialog* d, int32_t busy, QmHeadlessAction* a) {
    auto* h = static_cast<Host*>(ctx);
    h->captions.push_back(d->caption);
    *a = QmHeadlessAction{};
    if (busy && ++h->asks == h->pressAt) {
      a->kind = QM_DO_PRESS;
      a->id = 2;
    }
  }
};

TEST(CrSearchWindow, RunsInItsWindowWithTheCaptionAsProgress) {
  Picture p;
  Cr4Engine e(p.w, p.h, p.pixels.data(), p.w * 3);
  CrTargetSearch s(e);
  Host host;
  QmHeadlessHost h{sizeof(QmHeadlessHost), &host, nullptr, &Host::Next, nullptr};
  qm::platform::headless::Attach(&h);
  EXPECT_FALSE(CrSearchWithProgressWindow(s, nullptr, 5));
  ASSERT_EQ(host.captions.size(), static_cast<size_t>(s.Passes()));
  EXPECT_EQ(host.captions.front(), "Targeting File Size :  15%");

  host = Host{};
  host.pressAt = 3;
  e.SetQuality(33);
  EXPECT_TRUE(CrSearchWithProgressWindow(s, nullptr, 5));
  EXPECT_EQ(s.Passes(), 3);
  EXPECT_EQ(e.Settings().quality, 33);
  qm::platform::headless::Attach(nullptr);

}

}  // namespace
