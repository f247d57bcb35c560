// The read as a host drives it, against a stand-in host: what read start declares, what it
// refuses, and that every failure gives back what it took.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "MrwWriter.h"
#include "ReadSession.h"
#include "tessaro/Conversion.h"
#include "platform/headless.h"

namespace tessaro::plugin {
namespace {

using tessaro::testing::MrwLayout;
using tessaro::testing::WriteMrw;

class MemoryFile final : public ByteSource {
public:
  explicit MemoryFile(const std::vector<std::uint8_t>& b) : src_(b.data(), b.size()) {}
  std::uint64_t Size() const override { return src_.Size(); }
  bool Seek(std::uint64_t pos) override { return src_.Seek(pos); }
  bool Read(void* dst, std::size_t n) override { return src_.Read(dst, n); }

private:
  MemorySource src_;
};

class FakeHost final : public ReadHost {
public:
  std::vector<std::uint8_t> file;
  bool preview = false;
  int rotation = 0;
  bool deep = true, icc = true;
  HostCheck check = HostCheck::kOk;
  std::string pluginPath;
  int failAllocationAt = -1;  // the Nth buffer is refused
  int allocations = 0;

  // What the read did.
  std::vector<std::uint8_t> exif;
  bool declared = false;
  ImageDeclaration image;
  std::vector<std::string> warnings;
  std::int32_t rowsSeen = 0;
  std::vector<std::uint8_t> pixels;
  std::map<int, std::vector<std::uint8_t>> live;  // buffers held, by slot

  bool OpenForPreview() const override { return preview; }
  int Rotation() const override { return rotation; }
  bool Takes16BitRgb() const override { return deep; }
  bool TakesIccProfile() const override { return icc; }
  HostCheck Check() const override { return check; }
  std::unique_ptr<ByteSource> OpenFile() override { return std::make_unique<MemoryFile>(file); }
  std::string PluginPath() override { return pluginPath; }
  std::int16_t HandOverExif(const std::vector<std::uint8_t>& block) override {
    exif = block;
    return kNoErr;
  }
  std::int16_t HandOverIccProfile(const std::vector<std::uint8_t>&) override { return kNoErr; }
  std::int16_t Declare(const ImageDeclaration& d) override {
    declared = true;
    image = d;
    return kNoErr;
  }
  void* Allocate(BufferSlot slot, std::size_t bytes) override {
    live.erase(slot);
    if (++allocations == failAllocationAt) return nullptr;
    return live[slot].assign(bytes, 0), live[slot].data();
  }
  void Free(BufferSlot slot) override { live.erase(slot); }
  std::int16_t Deliver(const RowsOut& rows) override {
    rowsSeen += rows.bottom - rows.top;
    const auto* p = static_cast<const std::uint8_t*>(rows.data);
    for (std::int32_t y = rows.top; y < rows.bottom; ++y)
      pixels.insert(pixels.end(), p + (y - rows.top) * rows.rowBytes,
                    p + (y - rows.top) * rows.rowBytes + rows.width * 3 * (rows.depth / 8));
    return kNoErr;
  }
  void Progress(std::int32_t, std::int32_t) override {}
  bool AbortRequested() override { return false; }
  bool ReadScripting(ConversionSettings&, bool&, bool& show) override {
    show = true;
    return false;
  }
  void WriteScripting(const ConversionSettings&, bool) override {}
  void ShowWarning(const std::string& text) override { warnings.push_back(text); }
  std::string String(int id) override {
    if (id == 16992) return "This plug-in requires Adobe Photoshop\xAE ^1 or later functionality.";
    if (id == 16993) return "This plug-in is incompatible with this version of the host program.";
    return "";
  }
};

// A plug-in folder of its own with a settings file that switches the dialog off (or sets more).
class ReadSessionTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tessaro_read_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    host_.pluginPath = (dir_ / "Tessaro.8bi").string();
    Ini("DisplayUI = 0\n");
    host_.file = WriteMrw(layout_).bytes;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Ini(const std::string& general) {
    std::ofstream(dir_ / "Tessaro.ini") << "[GeneralSettings]\n" << general;
  }
  void UseLayout(const MrwLayout& l) {
    layout_ = l;
    host_.file = WriteMrw(l).bytes;
  }
  // Start, continue and finish as a host does; the first failure's result.
  std::int16_t Read() {
    std::int16_t r = session_.ReadStart(host_);
    if (r) return r;
    r = session_.ReadContinue(host_);
    const std::int16_t f = session_.ReadFinish(host_);
    return r ? r : f;
  }

  std::filesystem::path dir_;
  MrwLayout layout_;
  FakeHost host_;
  ReadSession session_;
};

TEST_F(ReadSessionTest, AFileThatIsNotMrwIsRefusedByFilterFileAndReadStart) {
  host_.file = {0, 'M', 'R', 'X', 1, 2, 3, 4};
  EXPECT_EQ(session_.FilterFile(host_), kCannotRead);
  EXPECT_EQ(session_.ReadStart(host_), kCannotRead);
  host_.file.clear();
  EXPECT_EQ(session_.FilterFile(host_), kCannotRead);
  host_.file = WriteMrw(layout_).bytes;
  EXPECT_EQ(session_.FilterFile(host_), kNoErr);
  EXPECT_TRUE(host_.live.empty());
}

TEST_F(ReadSessionTest, AFullReadDeclaresTheWindowAndDeliversEveryRow) {
  // Bilinear with ExtraSize keeps all but one pixel on each side; without, four are cut.
  Ini("DisplayUI = 0\n[default]\nWB = Camera\nCamera = CameraSetting\nInterpolation = 7\nExtraSize = 1\n"
      "ColorDepth = 1\nContrast = 0\nPreciseGamma = 2.2\nHighlights = 100\n");
  ASSERT_EQ(Read(), kNoErr);
  EXPECT_EQ(host_.image.width, layout_.width - 2);
  EXPECT_EQ(host_.image.height, layout_.height - 2);
  EXPECT_EQ(host_.image.depth, 16) << "48 bits for a host that takes 16-bit RGB";
  EXPECT_EQ(host_.rowsSeen, host_.image.height);
  EXPECT_EQ(host_.pixels.size(), static_cast<size_t>(host_.image.width * host_.image.height * 6));
  EXPECT_EQ(host_.image.resolution, 300);
  EXPECT_TRUE(host_.live.empty()) << "every buffer given back";
  EXPECT_FALSE(session_.HasFile());

  // The same preset for a host without 16-bit RGB: 8 bits, never a depth it cannot take.
  host_.deep = false;
  host_.pixels.clear();
  ASSERT_EQ(Read(), kNoErr);
  EXPECT_EQ(host_.image.depth, 8);

  Ini("DisplayUI = 0\n[default]\nWB = Camera\nInterpolation = 7\nExtraSize = 0\n");
  ASSERT_EQ(session_.ReadStart(host_), kNoErr);
  EXPECT_EQ(host_.image.width, layout_.width - 8);
  EXPECT_EQ(host_.image.height, layout_.height - 8);
  EXPECT_EQ(session_.ReadFinish(host_), kNoErr);
}

TEST_F(ReadSessionTest, TheHostsRotationTurnsTheImage) {
  MrwLayout l = layout_;
  l.width = 24;
  l.height = 16;
  UseLayout(l);
  Ini("DisplayUI = 0\n[default]\nInterpolation = 0\nExtraSize = 1\n");
  for (int r = 0; r < 4; ++r) {
    host_.rotation = r;
    ASSERT_EQ(session_.ReadStart(host_), kNoErr) << r;
    EXPECT_EQ(host_.image.width, r % 2 ? 16 : 24) << r;
    EXPECT_EQ(host_.image.height, r % 2 ? 24 : 16) << r;
    session_.ReadFinish(host_);
  }
}

TEST_F(ReadSessionTest, ExifGoesToTheHostWithThisConversionsTime) {
  ASSERT_EQ(session_.ReadStart(host_), kNoErr);
  const std::string block(host_.exif.begin(), host_.exif.end());
  EXPECT_EQ(block.find("2004:05:06 07:08:09"), std::string::npos) << "the date-time digitised is overwritten";
  EXPECT_NE(block.find("DiMAGE A1"), std::string::npos);
  session_.ReadFinish(host_);

  host_.preview = true;
  ASSERT_EQ(session_.ReadStart(host_), kNoErr);
  const std::string kept(host_.exif.begin(), host_.exif.end());
  EXPECT_NE(kept.find("2004:05:06 07:08:09"), std::string::npos) << "a preview leaves the file's time";
  session_.ReadFinish(host_);
}

TEST_F(ReadSessionTest, ThePreviewIsTheThumbnailOrAnEighthOfTheRawImage) {
  MrwLayout l = tessaro::testing::SampleLayout();
  UseLayout(l);
  host_.preview = true;
  ASSERT_EQ(Read(), kNoErr);
  EXPECT_EQ(host_.image.depth, 8);
  const std::int32_t thumbW = host_.image.width, thumbH = host_.image.height;
  EXPECT_EQ(host_.rowsSeen, thumbH) << "the whole thumbnail in one hand-over";
  EXPECT_FALSE(session_.HasFile());

  Ini("UseInternalThumbnails = 0\n");
  host_.rowsSeen = 0;
  ASSERT_EQ(Read(), kNoErr);
  EXPECT_EQ(host_.image.width, l.width / 8);
  EXPECT_EQ(host_.image.height, l.height / 8);
  EXPECT_EQ(host_.rowsSeen, l.height / 8);
  EXPECT_TRUE(host_.live.empty());
  (void)thumbW;

  // Cameras of model code 1 and 2 never use their thumbnail while the option says so; turned
  // pictures exchange the eighth's sides.
  l.version = "27730001";
  l.orientation = 6;
  UseLayout(l);
  Ini("");
  ASSERT_EQ(session_.ReadStart(host_), kNoErr);
  EXPECT_EQ(host_.image.width, l.height / 8);
  EXPECT_EQ(host_.image.height, l.width / 8);
  session_.ReadFinish(host_);
}

// The browser's eighth is made without loading the plane; its pixels are those of the plane's
// own chain through the default tables, turned pictures and the second Bayer pattern included.
TEST_F(ReadSessionTest, TheRawPreviewIsTheLoadedPlanesEighth) {
  host_.preview = true;
  Ini("UseInternalThumbnails = 0\n");
  for (const std::uint16_t orientation : {std::uint16_t{1}, std::uint16_t{6}, std::uint16_t{3}})
    for (const std::uint16_t pattern : {std::uint16_t{1}, std::uint16_t{4}}) {
      MrwLayout l = tessaro::testing::SampleLayout();
      l.orientation = orientation;
      l.bayerPattern = pattern;
      UseLayout(l);
      host_.pixels.clear();
      ASSERT_EQ(Read(), kNoErr) << orientation;
      EXPECT_TRUE(host_.live.empty());

      RawFile f(std::make_unique<MemoryFile>(host_.file));
      ASSERT_TRUE(f.Open());
      ASSERT_TRUE(f.LoadPlane());
      ChannelLuts luts;
      BrowserImage want;
      ASSERT_TRUE(MakeBrowserImage(f, luts, want));
      EXPECT_EQ(host_.image.width, static_cast<std::int32_t>(want.width)) << orientation;
      EXPECT_EQ(host_.image.height, static_cast<std::int32_t>(want.height)) << orientation;
      EXPECT_EQ(host_.pixels, want.rgb) << "orientation " << orientation << " pattern " << pattern;
    }
}

TEST_F(ReadSessionTest, ThePreviewOfATruncatedFileFailsAtContinueWithNothingHeld) {
  MrwLayout l = tessaro::testing::SampleLayout();
  l.rawBytesDelta = -40;
  UseLayout(l);
  host_.preview = true;
  // The thumbnail needs no raw data.
  EXPECT_EQ(Read(), kNoErr);
  EXPECT_TRUE(host_.live.empty());

  Ini("UseInternalThumbnails = 0\n");
  host_.rowsSeen = 0;
  ASSERT_EQ(session_.ReadStart(host_), kNoErr);
  EXPECT_EQ(host_.image.width, l.width / 8);
  EXPECT_EQ(session_.ReadContinue(host_), kCannotRead);
  EXPECT_EQ(host_.rowsSeen, 0);
  EXPECT_TRUE(host_.live.empty());
  EXPECT_FALSE(session_.HasFile());
  EXPECT_EQ(session_.ReadFinish(host_), kNoErr);
}

TEST_F(ReadSessionTest, ATruncatedFileFailsWithNothingHeld) {
  MrwLayout l = layout_;
  l.rawBytesDelta = -40;
  UseLayout(l);
  EXPECT_EQ(session_.ReadStart(host_), kCannotRead);
  EXPECT_TRUE(host_.live.empty());
  EXPECT_FALSE(session_.HasFile());
  EXPECT_FALSE(host_.declared);
}

TEST_F(ReadSessionTest, AHostWithoutTheBufferSuiteOrAdvanceStateGetsTheWarning) {
  host_.check = HostCheck::kBufferSuiteTooOld;
  EXPECT_EQ(session_.ReadStart(host_), kCancelled);
  host_.check = HostCheck::kNoAdvanceState;
  EXPECT_EQ(session_.ReadStart(host_), kCancelled);
  host_.check = HostCheck::kBufferSuiteTooNew;
  EXPECT_EQ(session_.ReadStart(host_), kCancelled);
  ASSERT_EQ(host_.warnings.size(), 3u);
  EXPECT_EQ(host_.warnings[0], "This plug-in requires Adobe Photoshop\xAE 2.5 or later functionality.");
  EXPECT_EQ(host_.warnings[1], "This plug-in requires Adobe Photoshop\xAE 3 or later functionality.");
  EXPECT_EQ(host_.warnings[2], "This plug-in is incompatible with this version of the host program.");
  EXPECT_FALSE(session_.HasFile());
}

TEST_F(ReadSessionTest, EveryRefusedBufferGivesOutOfMemoryWithNothingHeld) {
  // Count the buffers of a whole read, then refuse each in turn.
  ASSERT_EQ(Read(), kNoErr);
  const int total = host_.allocations;
  ASSERT_GT(total, 1);
  for (int n = 1; n <= total; ++n) {
    host_.allocations = 0;
    host_.failAllocationAt = n;
    EXPECT_EQ(Read(), kOutOfMemory) << "buffer " << n;
    EXPECT_TRUE(host_.live.empty()) << "buffer " << n;
    EXPECT_FALSE(session_.HasFile()) << "buffer " << n;
  }
}

TEST_F(ReadSessionTest, TheDialogStepAcceptsCancelsOrFails) {
  Ini("DisplayUI = 1\n");
  struct Answer {
    int32_t id;
    std::int16_t result;
  };
  for (Answer a : {Answer{1, kNoErr}, Answer{2, kCancelled}, Answer{QM_ACTION_CLOSE, kCancelled}, Answer{7, kDialogFailed}}) {
    static int32_t next;
    next = a.id;
    Ini("DisplayUI = 1\n");
    QmHeadlessHost h{sizeof(QmHeadlessHost), nullptr, [](void*, const QmHeadlessDialog*) { return next; }, nullptr, nullptr};
    qm::platform::headless::Attach(&h);
    EXPECT_EQ(session_.ReadStart(host_), a.result) << a.id;
    qm::platform::headless::Attach(nullptr);
    std::ostringstream kept;
    kept << std::ifstream(dir_ / "Tessaro.ini").rdbuf();
    if (a.result == kNoErr) {
      // OK writes the whole file; anything else leaves it as it was.
      EXPECT_NE(kept.str().find("\nLivePreview = "), std::string::npos) << kept.str();
      session_.ReadFinish(host_);
    } else {
      EXPECT_EQ(kept.str(), "[GeneralSettings]\nDisplayUI = 1\n") << a.id;
    }
    EXPECT_TRUE(host_.live.empty());
    EXPECT_FALSE(session_.HasFile() && a.result != kNoErr);
  }
}

}  // namespace
}  // namespace tessaro::plugin
