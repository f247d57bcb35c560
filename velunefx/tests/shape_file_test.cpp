// Choosing the size image in a shape folder.
#include "shapes/shape_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>

namespace velune {
namespace {

namespace fs = std::filesystem;

class ShapeFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::path(::testing::TempDir()) /
              ("velune_shapes_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  void touch(const std::string& name) { std::ofstream(folder_ / name) << "x"; }
  std::string folder() const { return folder_.string(); }
  std::string path(const std::string& name) const { return (folder_ / name).string(); }

  fs::path folder_;
};

TEST_F(ShapeFolder, PicksTheSmallestFileAtLeastTheRequestAndReportsTheLargest) {
  for (const char* name : {"50.tif", "100.tif", "200.tif"}) {
    touch(name);
  }
  ShapeFileChoice choice = choose_shape_file(folder(), 101);
  EXPECT_EQ(choice.path, path("200.tif"));
  EXPECT_EQ(choice.size, 200);
  EXPECT_EQ(choice.largest, 200);

  choice = choose_shape_file(folder(), 100);  // an exact size is the best fit
  EXPECT_EQ(choice.path, path("100.tif"));
  choice = choose_shape_file(folder(), 1);
  EXPECT_EQ(choice.path, path("50.tif"));
}

TEST_F(ShapeFolder, RequestAboveEveryFileFindsNothing) {
  touch("50.tif");
  touch("100.tif");
  const ShapeFileChoice choice = choose_shape_file(folder(), 101);
  EXPECT_FALSE(choice.found());
  EXPECT_EQ(choice.path, "");
  EXPECT_EQ(choice.largest, 100);
}

TEST_F(ShapeFolder, IgnoresOtherFilesFoldersAndUnnumberedNames) {
  touch("readme.tif");  // counts as 0: never a size image, even for the smallest request
  touch("301.txt");
  touch("401.tiff");
  fs::create_directories(folder_ / "500.tif");
  touch("90.TIF");  // saved on Windows, where case does not matter
  ShapeFileChoice choice = choose_shape_file(folder(), 0);
  EXPECT_EQ(choice.path, path("90.TIF"));
  EXPECT_EQ(choice.largest, 90);
  choice = choose_shape_file(folder(), 91);
  EXPECT_FALSE(choice.found());
}

TEST_F(ShapeFolder, TieKeepsTheFirstListedAndPathsNameTheRealFile) {
  touch("200.tif");
  touch("0200.tif");
  touch("200b.tif");
  const ShapeFileChoice choice = choose_shape_file(folder(), 150);
  EXPECT_EQ(choice.path, path("0200.tif"));
  EXPECT_TRUE(fs::exists(choice.path));
}

TEST_F(ShapeFolder, MissingOrEmptyFolderFindsNothing) {
  EXPECT_FALSE(choose_shape_file(folder(), 3).found());
  const ShapeFileChoice missing = choose_shape_file(path("no_such_shape"), 3);
  EXPECT_FALSE(missing.found());
  EXPECT_EQ(missing.largest, 0);
  EXPECT_TRUE(list_directory(path("no_such_shape")).empty());
}

TEST(LeadingNumber, ReadsLikeAtolWithoutOverflow) {
  EXPECT_EQ(leading_number("301"), 301);
  EXPECT_EQ(leading_number(" 12abc"), 12);
  EXPECT_EQ(leading_number("+7"), 7);
  EXPECT_EQ(leading_number("-5"), -5);
  EXPECT_EQ(leading_number("abc"), 0);
  EXPECT_EQ(leading_number(""), 0);
  EXPECT_EQ(leading_number("99999999999999999999"), INT32_MAX);
}

}  // namespace
}  // namespace velune
