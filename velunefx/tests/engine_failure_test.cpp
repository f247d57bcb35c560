// Failure paths: every refused allocation reports its code and leaves nothing held.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/bokeh_engine.h"
#include "engine_test_support.h"

namespace velune {
namespace {

using test::CountingHooks;
using test::SliceFixture;

struct Scenario {
  const char* name;
  double d;
  bool grey;
  bool micro;
  std::vector<int32_t> codes;  // expected code when the n-th allocation fails
};

TEST(EngineFailures, EveryAllocationFailureIsReportedAndReleasesAll) {
  const std::vector<Scenario> scenarios = {
      {"blurred grey", 9.0, true, false, {16, 2, 4, 4, 10, 12, 18}},
      {"blurred colour micro", 2.5, false, true, {16, 2, 4, 4, 7, 10, 12, 18}},
      {"in focus", 1.0, true, false, {16}},
  };
  std::mt19937 rng(1);
  for (const Scenario& s : scenarios) {
    SliceFixture f(24, 17);
    f.random_pixels(rng);
    f.random_pattern(rng, 21, s.grey);
    RunParams p = f.params(s.d, kQualityHigh);
    p.use_micro = s.micro;

    BokehEngine& engine = bokeh_engine();
    CountingHooks clean;
    engine.set_hooks(clean.hooks());
    ASSERT_EQ(engine.run(p), 0) << s.name << ": " << engine.error_message();
    ASSERT_EQ(clean.allocations, static_cast<int>(s.codes.size())) << s.name;
    EXPECT_TRUE(clean.live.empty());

    for (int n = 0; n < clean.allocations; ++n) {
      CountingHooks failing;
      failing.fail_at = n;
      engine.set_hooks(failing.hooks());
      EXPECT_EQ(engine.run(p), s.codes[static_cast<std::size_t>(n)]) << s.name << " allocation " << n;
      EXPECT_NE(std::string(engine.error_message()), "") << s.name << " allocation " << n;
      EXPECT_TRUE(failing.live.empty()) << s.name << " allocation " << n;
      EXPECT_FALSE(engine.holds_buffers());
    }
    // A failure leaves the engine usable for the next slice.
    CountingHooks again;
    engine.set_hooks(again.hooks());
    EXPECT_EQ(engine.run(p), 0) << s.name;
    EXPECT_EQ(engine.error_code(), 0);
    engine.clear_hooks();
  }
}

TEST(EngineFailures, MessagesCarryTheEnginePrefix) {
  SliceFixture f(8, 8);
  CountingHooks failing;
  failing.fail_at = 0;
  BokehEngine engine;
  engine.set_hooks(failing.hooks());
  EXPECT_EQ(engine.run(f.params(1.0, kQualityHigh)), kErrSrcDataAlloc);
  EXPECT_EQ(engine.report(), "[Velune5.6Eng] Can not allocate Src_Data_sh at pre_process_RGB()");
}

TEST(EngineFailures, StepsRefuseToOverwriteAHeldBuffer) {
  std::mt19937 rng(2);
  SliceFixture f(10, 10);
  f.random_pixels(rng);
  f.random_pattern(rng, 9, true);
  CountingHooks hooks;
  BokehEngine engine;
  engine.set_hooks(hooks.hooks());
  const RunParams p = f.params(9.0, kQualityHigh);

  ASSERT_TRUE(engine.pre_process_RGB(p.slice, p.row_counts, 5));
  EXPECT_FALSE(engine.pre_process_RGB(p.slice, p.row_counts, 5));
  EXPECT_EQ(engine.error_code(), kErrSrcDataHeld);

  ASSERT_TRUE(engine.pack_pattern(p.pattern));
  ASSERT_TRUE(engine.resize_pattern(9.0, 9));
  ASSERT_TRUE(engine.new_pattern(kQualityHigh, 9.0));
  EXPECT_FALSE(engine.new_pattern(kQualityHigh, 9.0));
  EXPECT_EQ(engine.error_code(), kErrNewPatternHeld);

  ASSERT_TRUE(engine.make_photon(1.0, 1.0));
  EXPECT_FALSE(engine.make_photon(1.0, 1.0));
  EXPECT_EQ(engine.error_code(), kErrDiffPhotonHeld);

  EXPECT_TRUE(engine.holds_buffers());
  engine.release_buffers();
  EXPECT_FALSE(engine.holds_buffers());
  EXPECT_TRUE(hooks.live.empty());
}

TEST(EngineFailures, InconsistentInputIsRefusedWithoutTouchingMemory) {
  std::mt19937 rng(3);
  SliceFixture f(12, 9);
  f.random_pixels(rng);
  f.random_pattern(rng, 7, true);
  CountingHooks hooks;
  BokehEngine engine;
  engine.set_hooks(hooks.hooks());

  RunParams no_mask = f.params(7.0, kQualityHigh);
  no_mask.mask = nullptr;
  EXPECT_EQ(engine.run(no_mask), kErrBadInput);

  RunParams deep = f.params(7.0, kQualityHigh);
  deep.channel_levels = 65536;
  EXPECT_EQ(engine.run(deep), kErrBadInput);

  RunParams huge = f.params(1e300, kQualityHigh);
  EXPECT_EQ(engine.run(huge), kErrBadInput);

  RunParams short_pitch = f.params(7.0, kQualityHigh);
  short_pitch.accumulator_pitch = 8;
  EXPECT_EQ(engine.run(short_pitch), kErrBadInput);

  RunParams no_pattern = f.params(7.0, kQualityHigh);
  no_pattern.pattern = PatternView{};
  EXPECT_EQ(engine.run(no_pattern), kErrBadInput);

  EXPECT_TRUE(hooks.live.empty());
  EXPECT_FALSE(engine.holds_buffers());
  for (float v : f.accumulator) {
    ASSERT_EQ(v, 0.0f);
  }
}

TEST(EngineFailures, RunsOnTheCHeapWithoutHooks) {
  std::mt19937 rng(4);
  SliceFixture f(15, 15);
  f.random_pixels(rng);
  f.random_pattern(rng, 11, false);
  BokehEngine engine;
  EXPECT_EQ(engine.run(f.params(11.0, kQualityNormal)), 0);
  EXPECT_FALSE(engine.holds_buffers());  // leaks would also show under the sanitizer
}

}  // namespace
}  // namespace velune
