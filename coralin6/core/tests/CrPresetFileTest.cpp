#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "HnCode/HnErrorCode.h"
#include "coralin/CrPresetFile.h"

namespace {

std::string TempFile(const char* name) { return ::testing::TempDir() + name; }

std::vector<uint8_t> Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

void Spit(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

int32_t CodeOf(const std::string& path) {
  try {
    CrReadPresets(path);
  } catch (const HnErrorCode& e) {
    return e.code();
  }
  return 0;
}

TEST(CrPresetFile, ByteLayoutAndRoundTrip) {
  const std::string path = TempFile("presets_roundtrip.dat");
  CrPreset last{"whatever record 0 was called", {}};
  CrPreset web{"Web 50K", {}};
  web.settings = CrSettings{1, 0, 1, 85, 0, 2, 1, 50};
  CrPreset big{"Big", {}};
  big.settings.targetSize = -2;  // kept as written
  ASSERT_TRUE(CrSavePresets(path, {last, web, big}));

  const auto bytes = Slurp(path);
  ASSERT_EQ(bytes.size(), 16u + 3 * 268u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 14), "Coralin400Pref");
  EXPECT_EQ(bytes[14], 3);
  EXPECT_EQ(bytes[15], 0);
  const uint8_t* r = bytes.data() + 16 + 268;  // "Web 50K"
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r)), "Web 50K");
  EXPECT_EQ(r[8], 0);  // the rest of the name is zero
  const std::vector<uint8_t> fields(r + 256, r + 268);
  EXPECT_EQ(fields, (std::vector<uint8_t>{85, 0, 1, 0, 1, 2, 1, 0, 50, 0, 0, 0}));
  EXPECT_EQ(bytes[16 + 2 * 268 + 264], 0xFE);
  EXPECT_EQ(bytes[16 + 2 * 268 + 267], 0xFF);

  const auto back = CrReadPresets(path);
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0].name, "Last settings");  // whatever the file holds
  EXPECT_EQ(back[1], web);
  EXPECT_EQ(back[2], big);
  ASSERT_NE(CrLastSettings(back), nullptr);
  EXPECT_EQ(CrLastSettings(back)->name, "Last settings");
  EXPECT_EQ(CrLastSettings({}), nullptr);

  // Rewriting a shorter list truncates the file.
  ASSERT_TRUE(CrSavePresets(path, {last}));
  EXPECT_EQ(Slurp(path).size(), 16u + 268u);
  std::remove(path.c_str());
}

TEST(CrPresetFile, ClampsAndCutsWhatItReads) {
  const std::string path = TempFile("presets_clamp.dat");
  std::vector<uint8_t> bytes{'C', 'o', 'r', 'a', 'l', 'i', 'n', '4', '0', '0', 'P', 'r', 'e', 'f', 2, 0};
  for (int rec = 0; rec < 2; ++rec) {
    std::vector<uint8_t> r(268, 'n');  // no terminator anywhere in the name
    r[256] = 200;                      // quality
    r[257] = 101;                      // smoothing
    r[263] = 0x77;                     // spare byte, ignored
    bytes.insert(bytes.end(), r.begin(), r.end());
  }
  Spit(path, bytes);
  const auto p = CrReadPresets(path);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[1].name, std::string(255, 'n'));
  EXPECT_EQ(p[1].settings.quality, 100);
  EXPECT_EQ(p[1].settings.smoothing, 100);
  std::remove(path.c_str());
}

TEST(CrPresetFile, ForeignDamagedOrMissingFilesAreIgnored) {
  const std::string path = TempFile("presets_bad.dat");
  CrPreset one{"x", {}};
  ASSERT_TRUE(CrSavePresets(path, {one, one}));
  auto bytes = Slurp(path);

  auto foreign = bytes;
  foreign[9] = '1';  // "Coralin410Pref"
  Spit(path, foreign);
  EXPECT_EQ(CodeOf(path), 32);
  EXPECT_TRUE(CrLoadPresets(path).empty());

  auto cut = bytes;
  cut.resize(cut.size() - 1);  // the last record short by a byte
  Spit(path, cut);
  EXPECT_EQ(CodeOf(path), 18);
  EXPECT_TRUE(CrLoadPresets(path).empty());

  Spit(path, {'C', 'o', 'r'});
  EXPECT_EQ(CodeOf(path), 18);

  auto lying = bytes;
  lying[14] = 0xFF, lying[15] = 0xFF;  // 65535 records claimed
  Spit(path, lying);
  EXPECT_TRUE(CrLoadPresets(path).empty());

  std::remove(path.c_str());
  EXPECT_EQ(CodeOf(path), 10);
  EXPECT_TRUE(CrLoadPresets(path).empty());
  EXPECT_FALSE(CrSavePresets(TempFile("no_such_folder/presets.dat"), {one}));

  // A foreign file is replaced by the next save.
  Spit(path, foreign);
  ASSERT_TRUE(CrSavePresets(path, {one}));
  EXPECT_EQ(CrLoadPresets(path).size(), 1u);
  std::remove(path.c_str());
}

}  // namespace
