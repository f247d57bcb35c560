#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "hostapi/PIActions.h"
#include "hostapi/PIFilter.h"
#include "hostapi/PIGeneral.h"
#include "hostapi/PITypes.h"

namespace {

// The bytes of a value as it sits in memory (and in a Windows resource).
template <class T>
std::string BytesOf(const T& value) {
  std::string bytes(sizeof(T), '\0');
  std::memcpy(bytes.data(), &value, sizeof(T));
  return bytes;
}

TEST(FourCC, StoredWithCharactersReversed) {
  EXPECT_EQ(BytesOf(kPhotoshopSignature), "MIB8");
  EXPECT_EQ(BytesOf(PIWin64X86CodeProperty), "4668");
  EXPECT_EQ(BytesOf(PIFilterKind), "MFB8");
}

TEST(FourCC, MatchesTheMultiCharacterValues) {
  EXPECT_EQ(kPhotoshopSignature, 0x3842494Du);
  EXPECT_EQ(propVersion, 0x76657273u);
  EXPECT_EQ(typeImageReference, 0x23496D52u);
  EXPECT_EQ(typeObjectSpecifier, 0x6F626A20u);
}

TEST(FourCC, HighCharactersAreNotSignExtended) {
  EXPECT_EQ(PIFourCC("\xA9" "abc"), 0xA9616263u);
  EXPECT_EQ(PIFourCC("ab" "\xFF" "d"), 0x6162FF64u);
  EXPECT_EQ(PIFourCC("\x80\x80\x80\x80"), 0x80808080u);
}

TEST(Fixed, OneIsSixteenBitsUp) {
  EXPECT_EQ(kFixedOne, 0x10000);
  EXPECT_EQ(PIIntToFixed(300), 300 << 16);
  EXPECT_EQ(PIIntToFixed(-1), -0x10000);
  EXPECT_EQ(PIIntToFixed(INT16_MAX), 0x7FFF0000);
}

TEST(EmulatedHandle, DereferencesToItsDataLikeAHostHandle) {
  char payload[] = "globals";
  PIEmulatedHandle block{payload, kPIEmulatedHandleTag};
  Handle h = reinterpret_cast<Handle>(&block);
  EXPECT_EQ(*h, payload);
  EXPECT_STREQ(*h, "globals");
  std::string stored(sizeof(block), '\0');
  std::memcpy(stored.data(), &block, sizeof(block));
  EXPECT_EQ(stored.substr(sizeof(void*)), "OTOF");
}

TEST(Entry, ExportedFromAModuleBuiltWithHiddenVisibility) {
  void* module = dlopen(QM_ENTRY_PROBE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  EXPECT_EQ(dlsym(module, "qm_probe_hidden"), nullptr) << "probe is not built hidden";
  auto entry = reinterpret_cast<PIEntryProc>(dlsym(module, "PluginMain"));
  ASSERT_NE(entry, nullptr) << "PI_ENTRY_POINT did not export the unmangled name";

  FilterRecord record{};
  intptr_t data = 0;
  int16_t result = -1;
  entry(filterSelectorPrepare, &record, &data, &result);
  EXPECT_EQ(result, noErr);
  EXPECT_EQ(data, filterSelectorPrepare);
  EXPECT_EQ(record.bufferSpace, 42);
  dlclose(module);
}

}  // namespace
