#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "HnCode/HnErrorCode.h"
#include "HnCode/HnFile.h"
#include "HnCode/HnList.h"
#include "HnCode/HnString.h"

namespace {

int g_hooked = 0;
void Hook(const HnErrorCode&) { ++g_hooked; }

TEST(HnErrorCode, FieldsHookAndMessages) {
  HnSetErrorHook(Hook);
  HnErrorCode none;
  EXPECT_EQ(g_hooked, 0);
  HnErrorCode e(7, 28, "lib/HnCode/x.cpp", 12);
  EXPECT_EQ(g_hooked, 1);
  HnErrorCode copy = e;
  EXPECT_EQ(copy.code(), 7);
  EXPECT_EQ(copy.systemCode(), 28);
  EXPECT_STREQ(copy.file(), "lib/HnCode/x.cpp");
  EXPECT_EQ(copy.line(), 12);
  HnSetErrorHook(nullptr);

  const std::string longPath(300, 'a');
  HnErrorCode cut(1, 0, (longPath + "/tail.cpp").c_str(), 1);
  EXPECT_EQ(std::string(cut.file()).size(), 255u);
  EXPECT_EQ(std::string(cut.file()).substr(246), "/tail.cpp");

  EXPECT_STREQ(HnErrorMessage(2), "The operation could not be completed because there was not enough memory.");
  EXPECT_STREQ(HnErrorMessage(36), "The operation could not be completed because of drag error.");
  EXPECT_STREQ(HnErrorMessage(38), HnErrorMessage(1));
  EXPECT_STREQ(HnErrorMessage(-4), HnErrorMessage(1));
}

TEST(HnList, OrderInsertRemoveAndBadIndex) {
  int a = 1, b = 2, c = 3, d = 4;
  HnList<int> list;
  list.Append(&b);
  list.Insert(0, &a);
  list.Append(&d);
  list.Insert(2, &c);
  ASSERT_EQ(list.Count(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(*list.Get(i), i + 1);
  EXPECT_EQ(list.Remove(1), &b);
  EXPECT_EQ(*list.Get(1), 3);
  EXPECT_EQ(*list.Get(2), 4);
  try {
    list.Get(3);
    FAIL();
  } catch (const HnErrorCode& e) {
    EXPECT_EQ(e.code(), 21);
  }
  EXPECT_THROW(list.Insert(5, &a), HnErrorCode);

  HnList<std::string> owned;
  owned.Append(new std::string("x"));
  owned.Append(new std::string("y"));
  owned.DeleteAll();  // the sanitizer build catches a leak here
  EXPECT_EQ(owned.Count(), 0);

  HnString s("Alpha Channel");
  s.Append(" ").Append(2);
  EXPECT_EQ(s, "Alpha Channel 2");
  EXPECT_EQ(HnString(-15), "-15");
}

TEST(HnFile, RoundTripShortReadAndErrorCodes) {
  const std::string path = ::testing::TempDir() + "hnfile_test.bin";
  {
    HnFile f;
    f.Open(path.c_str(), HnFile::kWrite);
    f.Write("abc", 3);
    f.Write16(0x1234);
    f.Close();
  }
  HnFile f;
  f.Open(path.c_str(), HnFile::kRead);
  char buf[3];
  f.Read(buf, 3);
  EXPECT_EQ(std::string(buf, 3), "abc");
  EXPECT_EQ(f.Read16(), 0x1234);
  try {
    f.Read(buf, 1);
    FAIL();
  } catch (const HnErrorCode& e) {
    EXPECT_EQ(e.code(), 18);
  }
  f.Close();
  std::remove(path.c_str());

  try {
    f.Open((path + ".missing/x").c_str(), HnFile::kRead);
    FAIL();
  } catch (const HnErrorCode& e) {
    EXPECT_EQ(e.code(), 10);
    EXPECT_EQ(e.systemCode(), ENOENT);
  }
  EXPECT_EQ(HnFile::OpenErrorCode(EACCES), 14);
  EXPECT_EQ(HnFile::OpenErrorCode(EINVAL), 12);
  EXPECT_EQ(HnFile::OpenErrorCode(EMFILE), 9);
  EXPECT_EQ(HnFile::OpenErrorCode(EIO), 1);
  EXPECT_EQ(HnFile::IOErrorCode(ENOSPC), 22);
  EXPECT_EQ(HnFile::IOErrorCode(EACCES), 5);
  EXPECT_EQ(HnFile::IOErrorCode(ENOENT), 8);
  EXPECT_EQ(HnFile::IOErrorCode(EXDEV), 17);
  EXPECT_EQ(HnFile::IOErrorCode(ERANGE), 29);
  EXPECT_EQ(HnFile::IOErrorCode(EBADF), 20);
  EXPECT_EQ(HnFile::IOErrorCode(EPIPE), 1);
}

}  // namespace
