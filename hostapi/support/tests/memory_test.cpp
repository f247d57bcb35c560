#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>

#include "pssupport/memory.h"

using qm::ps::PluginMemory;

namespace {
// A minimal host suite that counts what is outstanding.
std::map<void*, size_t> g_live;
Handle NewH(int32_t size) {
  auto** h = static_cast<char**>(std::malloc(sizeof(char*)));
  *h = static_cast<char*>(std::malloc(size_t(size) + 1));
  std::memset(*h, 0xAB, size_t(size));  // hosts need not zero
  g_live[h] = size_t(size);
  return h;
}
void DisposeH(Handle h) {
  g_live.erase(h);
  std::free(*h);
  std::free(h);
}
int32_t SizeH(Handle h) { return int32_t(g_live[h]); }
OSErr SetSizeH(Handle, int32_t) { return 0; }

HandleProcs Suite(int16_t version, int16_t count) {
  HandleProcs p{};
  p.handleProcsVersion = version;
  p.numHandleProcs = count;
  p.newProc = NewH;
  p.disposeProc = DisposeH;
  p.getSizeProc = SizeH;
  p.setSizeProc = SetSizeH;
  return p;
}
}  // namespace

TEST(PluginMemory, HandleSuiteRulesDecideBetweenHostAndSystem) {
  HandleProcs good = Suite(1, 8), shortSuite = Suite(1, 7), oldVersion = Suite(2, 8);
  EXPECT_TRUE(qm::ps::HandleSuiteUsable(&good));
  EXPECT_FALSE(qm::ps::HandleSuiteUsable(&shortSuite));
  EXPECT_TRUE(qm::ps::HandleSuiteUsable(&shortSuite, 6));  // the smaller demand of one filter
  EXPECT_FALSE(qm::ps::HandleSuiteUsable(&oldVersion));
  HandleProcs missing = good;
  missing.setSizeProc = nullptr;
  EXPECT_FALSE(qm::ps::HandleSuiteUsable(&missing));
  EXPECT_FALSE(qm::ps::HandleSuiteUsable(nullptr));
}

TEST(PluginMemory, HostHandlesAreZeroedAndReturned) {
  HandleProcs suite = Suite(1, 8);
  PluginMemory mem(&suite, nullptr);
  ASSERT_TRUE(mem.hostHandles());
  Handle h = mem.NewHandle(40);
  ASSERT_NE(h, nullptr);
  for (int i = 0; i < 40; ++i) ASSERT_EQ((*h)[i], 0);
  EXPECT_EQ(mem.HandleSize(h), 40);
  mem.DisposeHandle(h);
  EXPECT_TRUE(g_live.empty());
}

TEST(PluginMemory, EmulatedHandlesLookLikeHandles) {
  PluginMemory mem(nullptr, nullptr);
  ASSERT_FALSE(mem.hostHandles());
  Handle h = mem.NewHandle(100);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(reinterpret_cast<PIEmulatedHandle*>(h)->tag, kPIEmulatedHandleTag);
  EXPECT_EQ(mem.LockHandle(h), *h);
  for (int i = 0; i < 100; ++i) ASSERT_EQ((*h)[i], 0);
  std::memset(*h, 7, 100);
  EXPECT_EQ(mem.HandleSize(h), 100);
  mem.UnlockHandle(h);
  mem.DisposeHandle(h);  // the sanitizers tell if either block leaks
}

TEST(PluginMemory, SystemBuffersWhenTheBufferSuiteIsIncomplete) {
  BufferProcs partial{};
  partial.bufferProcsVersion = 2;
  partial.numBufferProcs = 5;  // but no procedures filled in
  PluginMemory mem(nullptr, &partial);
  EXPECT_FALSE(mem.hostBuffers());
  PluginMemory::Buffer b;
  ASSERT_TRUE(mem.AllocateBuffer(12696, b));
  EXPECT_NE(b.movable, nullptr);
  for (int i = 0; i < 12696; ++i) ASSERT_EQ(b.data[i], 0);
  mem.FreeBuffer(b);
  EXPECT_EQ(b.data, nullptr);
}
