// Runs plughost on Sorrel as a user would, natively or (with QM_WINE set) the Windows builds
// under Wine, and checks every pixel of what comes out.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PlughostRun.h"
#include "plughost/image.h"

namespace fs = std::filesystem;
using e2e::Env;
using e2e::Result;
using e2e::Slurp;
using plughost::Image;

namespace {

const std::string kWine = Env("QM_WINE", "");
const std::string kPlughost = Env("QM_PLUGHOST", QM_NATIVE_PLUGHOST);
const std::string kSorrel = Env("QM_SORREL", QM_NATIVE_SORREL);

std::string HostPath(const fs::path& p) { return kWine.empty() ? p.string() : e2e::WinePath(p); }

class Workdir {
 public:
  Workdir() {
    dir_ = fs::temp_directory_path() / ("qm_e2e_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    fs::create_directories(dir_);
  }
  ~Workdir() { fs::remove_all(dir_); }
  fs::path operator/(const std::string& name) const { return dir_ / name; }
  const fs::path& Dir() const { return dir_; }

 private:
  fs::path dir_;
  static inline int counter_ = 0;
};

Result Plughost(const Workdir& wd, const std::vector<std::string>& args) {
  return e2e::PlughostRun(kPlughost).Wine(kWine).In(wd.Dir(), args);
}

// An image whose every pixel differs, with every transparency value present.
Image Pattern(int32_t w, int32_t h) {
  Image img;
  img.width = w;
  img.height = h;
  img.rgba.resize(size_t(w * h * 4));
  for (int32_t i = 0; i < w * h; ++i) {
    img.rgba[size_t(i * 4 + 0)] = uint8_t(i * 7);
    img.rgba[size_t(i * 4 + 1)] = uint8_t(i * 13 + 5);
    img.rgba[size_t(i * 4 + 2)] = uint8_t(255 - i);
    img.rgba[size_t(i * 4 + 3)] = uint8_t(i * 31 + 3);
  }
  img.rgba[3] = 128;
  return img;
}

void ExpectGrey(const Image& in, const Image& out, int32_t rowsConverted) {
  ASSERT_EQ(out.width, in.width);
  ASSERT_EQ(out.height, in.height);
  for (int32_t y = 0; y < in.height; ++y)
    for (int32_t x = 0; x < in.width; ++x) {
      const uint8_t* a = in.Pixel(x, y);
      const uint8_t* b = out.Pixel(x, y);
      if (y < rowsConverted) {
        ASSERT_EQ(b[0], a[3]) << x << "," << y;
        ASSERT_EQ(b[1], a[3]) << x << "," << y;
        ASSERT_EQ(b[2], a[3]) << x << "," << y;
        ASSERT_EQ(b[3], 255) << x << "," << y;
      } else {
        for (int c = 0; c < 4; ++c) ASSERT_EQ(b[c], a[c]) << "unconverted row changed at " << x << "," << y;
      }
    }
}

}  // namespace

TEST(SorrelEndToEnd, InfoShowsThePiPL) {
  Workdir wd;
  Result r = Plughost(wd, {"info", HostPath(kSorrel)});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("kind: 8BFM\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("name: Misteral\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("category: Quillmere\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("entry: ENTRYPOINT\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("PiPL 16000: 7 properties"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("warning"), std::string::npos) << r.out;
  if (r.out.find("format: PE") != std::string::npos) {
    // A Windows host finds both exports by their plain names, also on x86.
    const size_t at = r.out.find("exports: ");
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::string exports = r.out.substr(at, r.out.find('\n', at) - at);
    EXPECT_NE(exports.find("ENTRYPOINT"), std::string::npos) << exports;
    EXPECT_NE(exports.find("DissolveProc"), std::string::npos) << exports;
    EXPECT_EQ(exports.find('@'), std::string::npos) << exports;
  }
}

TEST(SorrelEndToEnd, EveryPixelBecomesOpaqueGreyOfItsTransparency) {
  struct Variant {
    std::vector<std::string> options;
  };
  const std::vector<Variant> variants{
      {{}}, {{"--no-advance-state"}}, {{"--no-buffer-suite", "--no-handle-suite"}}, {{"--progress", "log"}}};
  Image in = Pattern(37, 21);
  for (const Variant& v : variants) {
    Workdir wd;
    plughost::WritePng((wd / "in.png").string(), in);
    std::vector<std::string> args{"filter", HostPath(kSorrel), HostPath(wd / "in.png"), "-o", HostPath(wd / "out.png")};
    args.insert(args.end(), v.options.begin(), v.options.end());
    Result r = Plughost(wd, args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("left"), std::string::npos) << "buffers leaked: " << r.err;
    ExpectGrey(in, plughost::ReadPng((wd / "out.png").string()), in.height);
    if (!kWine.empty()) {
      // The Windows build writes the very bytes the native build writes.
      const Result native = e2e::PlughostRun(QM_NATIVE_PLUGHOST)
                                .In(wd.Dir(), {"filter", QM_NATIVE_SORREL, (wd / "in.png").string(), "-o",
                                               (wd / "native.png").string(), "--progress", "quiet"});
      ASSERT_EQ(native.status, 0) << native.err;
      EXPECT_EQ(Slurp(wd / "out.png"), Slurp(wd / "native.png"));
    }
    if (v.options.size() == 2 && v.options[0] == "--progress") {
      // The first report comes before any row: 0 of height + 1, then every eighth row.
      EXPECT_EQ(r.err.rfind("plughost: progress 0/22\nplughost: progress 8/22\nplughost: progress 16/22\n", 0), 0u)
          << r.err;
    }
  }
}

TEST(SorrelEndToEnd, BackgroundLayerIsRefusedAndLeftUnchanged) {
  Workdir wd;
  Image in = Pattern(9, 5);
  for (size_t i = 3; i < in.rgba.size(); i += 4) in.rgba[i] = 255;
  plughost::WritePng((wd / "in.png").string(), in);
  Result r = Plughost(wd, {"filter", HostPath(kSorrel), HostPath(wd / "in.png"), "-o", HostPath(wd / "out.png"),
                        "--background", "--write-partial"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("dialog \"Needs Transparency\": This filter cannot operate on the image's background. Use "
                       "it on a layer with transparent regions. | Cancel"),
            std::string::npos)
      << r.err;
  Image out = plughost::ReadPng((wd / "out.png").string());
  EXPECT_EQ(out.rgba, in.rgba);
}

TEST(SorrelEndToEnd, CancelStopsAfterTheEighthRow) {
  Workdir wd;
  Image in = Pattern(11, 40);
  plughost::WritePng((wd / "in.png").string(), in);
  Result r = Plughost(wd, {"filter", HostPath(kSorrel), HostPath(wd / "in.png"), "-o", HostPath(wd / "out.png"),
                        "--cancel-after", "3", "--write-partial"});
  EXPECT_EQ(r.status, 4) << r.err;
  EXPECT_NE(r.err.find("cancelled"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("left"), std::string::npos) << r.err;
  ExpectGrey(in, plughost::ReadPng((wd / "out.png").string()), 8);  // abort is polled every eighth row
}

TEST(SorrelEndToEnd, AdvanceStateFailureIsTheResult) {
  Workdir wd;
  Image in = Pattern(6, 30);
  plughost::WritePng((wd / "in.png").string(), in);
  Result r = Plughost(wd, {"filter", HostPath(kSorrel), HostPath(wd / "in.png"), "-o", HostPath(wd / "out.png"),
                        "--advance-error", "4", "--write-partial"});
  EXPECT_EQ(r.status, 5) << r.err;
  EXPECT_NE(r.err.find("out of memory"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("left"), std::string::npos) << r.err;
  ExpectGrey(in, plughost::ReadPng((wd / "out.png").string()), 3);
}

TEST(SorrelEndToEnd, AboutBoxIsShownAndClosed) {
  Workdir wd;
  Image in = Pattern(4, 4);
  plughost::WritePng((wd / "in.png").string(), in);
  Result r = Plughost(wd, {"filter", HostPath(kSorrel), HostPath(wd / "in.png"), "-o", HostPath(wd / "out.png"),
                        "--about", "--answer", "close"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("dialog \"About Misteral\""), std::string::npos) << r.err;
}

TEST(SorrelEndToEnd, BadInputGivesAClearMessage) {
  Workdir wd;
  { std::ofstream(wd / "in.png") << "not a png"; }
  Result r = Plughost(wd, {"filter", HostPath(kSorrel), HostPath(wd / "in.png"), "-o", HostPath(wd / "out.png")});
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("not a PNG file"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(wd / "out.png"));
  r = Plughost(wd, {"filter", HostPath(wd / "missing.8bf"), HostPath(wd / "in.png"), "-o", HostPath(wd / "o.png")});
  EXPECT_NE(r.status, 0);

  plughost::WritePng((wd / "good.png").string(), Pattern(4, 4));
  for (const char* bad : {"x2", "-1", "", "12abc"}) {
    r = Plughost(wd, {"filter", HostPath(kSorrel), HostPath(wd / "good.png"), "-o", HostPath(wd / "o.png"),
                      "--cancel-after", bad});
    EXPECT_EQ(r.status, 2) << "'" << bad << "' " << r.err;
    EXPECT_FALSE(fs::exists(wd / "o.png"));
  }
}

TEST(SorrelEndToEnd, NoMemoryForTheGlobalsGivesOutOfMemory) {
  Workdir wd;
  plughost::WritePng((wd / "in.png").string(), Pattern(4, 4));
  Result r = Plughost(wd, {"filter", HostPath(kSorrel), HostPath(wd / "in.png"), "-o", HostPath(wd / "out.png"),
                           "--memory", "0"});
  EXPECT_EQ(r.status, 5) << r.err;
  EXPECT_NE(r.err.find("out of memory (-108) (during parameters)"), std::string::npos) << r.err;
}

#ifndef _WIN32
#include <dlfcn.h>

// Selectors a filter does not know are refused without touching anything.
TEST(SorrelEntry, UnknownSelectorsAreBadParameters) {
  if (!kWine.empty() || kSorrel.find(".so") == std::string::npos) GTEST_SKIP() << "native module only";
  void* lib = dlopen(kSorrel.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  using Entry = void (*)(int16_t, void*, intptr_t*, int16_t*);
  auto entry = reinterpret_cast<Entry>(dlsym(lib, "ENTRYPOINT"));
  ASSERT_NE(entry, nullptr);
  for (int16_t selector : {int16_t{6}, int16_t{99}, int16_t{-1}}) {
    intptr_t data = 0;
    int16_t result = 0;
    entry(selector, nullptr, &data, &result);
    EXPECT_EQ(result, -30100) << selector;
    EXPECT_EQ(data, 0) << "no globals for a refused selector";
  }
  auto proc = reinterpret_cast<intptr_t (*)(void*, uint32_t, uintptr_t, intptr_t)>(dlsym(lib, "DissolveProc"));
  ASSERT_NE(proc, nullptr);
  EXPECT_EQ(proc(nullptr, 0x110, 0, 0), 1);
  dlclose(lib);
}
#endif
