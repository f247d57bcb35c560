#include <gtest/gtest.h>

#include "plughost/host_memory.h"
#include "plughost/results.h"

using plughost::HostMemory;

TEST(HostMemory, HandlesAreMasterPointersThatSurviveResizing) {
  HostMemory m;
  char** h = m.NewHandle(4);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(m.LockHandle(h), *h);
  (*h)[3] = 9;
  ASSERT_EQ(m.SetHandleSize(h, 4096), 0);
  EXPECT_EQ((*h)[3], 9);       // contents kept
  EXPECT_EQ((*h)[4095], 0);    // growth zeroed
  EXPECT_EQ(m.HandleSize(h), 4096);
  m.DisposeHandle(h);
  EXPECT_EQ(m.LiveHandles(), 0u);
  m.DisposeHandle(h);  // a second dispose is ignored, not a double free
  EXPECT_EQ(m.HandleSize(h), 0);
}

TEST(HostMemory, BuffersRespectTheLimitAndAreCounted) {
  HostMemory m;
  m.SetLimit(1000);
  void* a = nullptr;
  void* b = nullptr;
  EXPECT_EQ(m.AllocateBuffer(600, &a), 0);
  EXPECT_EQ(m.BufferSpace(), 400);
  EXPECT_EQ(m.AllocateBuffer(600, &b), -108);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(m.LiveBuffers(), 1u);
  m.FreeBuffer(a);
  EXPECT_EQ(m.AllocateBuffer(600, &b), 0);
  m.FreeBuffer(b);
  EXPECT_EQ(m.AllocateBuffer(-1, &b), -108);
}

TEST(Results, EveryCodeHasAMessageAndAStatus) {
  EXPECT_EQ(plughost::ExitStatusFor(0), 0);
  EXPECT_EQ(plughost::ExitStatusFor(1), 1);
  EXPECT_EQ(plughost::ExitStatusFor(-128), 4);
  EXPECT_EQ(plughost::ExitStatusFor(-108), 5);
  EXPECT_EQ(plughost::ExitStatusFor(-30100), 6);
  EXPECT_EQ(plughost::ExitStatusFor(-12345), 9);
  EXPECT_NE(plughost::ResultMessage(3).find("already told"), std::string::npos);
  EXPECT_NE(plughost::ResultMessage(-30900).find("insufficient"), std::string::npos);
}
