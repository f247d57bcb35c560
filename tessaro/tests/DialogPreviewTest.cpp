// The dialog's whole-frame preview and zoomed view against the read's own stages.
#include <gtest/gtest.h>

#include <cstring>

#include "TestFiles.h"
#include "tessaro/Conversion.h"
#include "tessaro/DialogPreview.h"

namespace tessaro {
namespace {

testing::MrwLayout Layout(std::uint16_t w = 96, std::uint16_t h = 64) {
  testing::MrwLayout l;
  l.width = w;
  l.height = h;
  l.samples = testing::TestSamples(w, h, 7, 3000);
  return l;
}

std::unique_ptr<RawFile> Loaded(const testing::MrwLayout& l) {
  auto f = testing::FromLayout(l);
  EXPECT_TRUE(f->Open());
  EXPECT_TRUE(f->LoadPlane());
  return f;
}

ConversionSettings Pushed() {
  ConversionSettings s;
  s.Exposure = 0.7;
  s.Saturation = 20;
  s.ColorSpace = 2;
  return s;
}

// The reduced preview through tables built here and the read's colour stage.
RgbPicture Expected(RawFile& f, const ConversionSettings& s, bool warn, int scale) {
  const CameraWb cam = CameraWb::FromFile(f);
  const PreviewImage* p = f.Preview(scale);
  ChannelLuts luts;
  BuildChannelLuts(s, cam, warn, luts);
  ColourConverter c;
  EXPECT_TRUE(c.Start(s, &f, 8));
  RgbPicture out;
  out.width = p->width;
  out.height = p->height;
  out.rgb.resize(size_t{p->width} * p->height * 3);
  std::vector<std::uint16_t> row(size_t{p->width} * 3);
  for (std::uint32_t y = 0; y < p->height; ++y) {
    for (std::uint32_t x = 0; x < p->width; ++x) {
      row[3 * x] = luts[0][p->At(x, y)[0]];
      row[3 * x + 1] = luts[2][p->At(x, y)[1]];
      row[3 * x + 2] = luts[3][p->At(x, y)[2]];
    }
    c.Row(row.data(), p->width, out.rgb.data() + size_t{y} * p->width * 3);
  }
  return out;
}

PreviewOptions Plain(int scale) {
  PreviewOptions o;
  o.focusArea = false;
  o.scale = scale;
  return o;
}

TEST(DialogPreview, SizeSettingPicksAReducedPreview) {
  EXPECT_EQ(PreviewScaleFor(1), 2);
  EXPECT_EQ(PreviewScaleFor(4), 8);  // the file's default
  EXPECT_EQ(PreviewScaleFor(6), 16);
  EXPECT_EQ(PreviewScaleFor(0), 2);
  EXPECT_EQ(PreviewScaleFor(99), 16);
  GeneralSettings g;
  g.previewSize = 3;
  g.colorManagement = true;
  const PreviewOptions o = PreviewOptions::From(g);
  EXPECT_EQ(o.scale, 6);
  EXPECT_TRUE(o.colorManagement);
  EXPECT_TRUE(o.focusArea);
}

TEST(DialogPreview, EqualsTheReducedPreviewThroughTheSameTables) {
  for (int scale : {2, 6, 8}) {
    auto f = Loaded(Layout());
    const ConversionSettings s = Pushed();
    PreviewRenderer r;
    ASSERT_TRUE(r.Begin(*f, s, CameraWb::FromFile(*f), Plain(scale), 1));
    EXPECT_TRUE(r.Step(1 << 20));
    const RgbPicture want = Expected(*f, s, false, scale);
    ASSERT_EQ(r.Picture().width, want.width) << scale;
    EXPECT_EQ(r.Picture().height, 64u / static_cast<unsigned>(scale));
    EXPECT_EQ(r.Picture().rgb, want.rgb) << "scale " << scale;
  }
}

TEST(DialogPreview, WorksInStepsAndShowsOnlyCompletePictures) {
  auto f = Loaded(Layout());
  PreviewRenderer r;
  const CameraWb cam = CameraWb::FromFile(*f);
  ASSERT_TRUE(r.Begin(*f, ConversionSettings(), cam, Plain(2), 1));
  ASSERT_TRUE(r.Step(1000));
  const RgbPicture first = r.Picture();
  ASSERT_TRUE(r.Begin(*f, Pushed(), cam, Plain(2), 1));
  int steps = 0;
  while (!r.Step(5)) {
    ++steps;
    EXPECT_EQ(r.Picture().rgb, first.rgb);  // a half-made picture is never shown
    EXPECT_TRUE(r.Busy());
  }
  EXPECT_EQ(steps, 6);  // 32 rows, five at a time
  EXPECT_FALSE(r.Busy());
  EXPECT_EQ(r.Picture().rgb, Expected(*f, Pushed(), false, 2).rgb);
  EXPECT_EQ(r.Counts().pixels, 48u * 32u);
}

TEST(DialogPreview, WarningBeforeTheTonesUsesTheWarningTables) {
  auto f = Loaded(Layout());
  ConversionSettings s = Pushed();
  s.Exposure = 1.5;  // pushes most samples past 12 bits
  PreviewOptions o = Plain(4);
  o.warnBeforeTone = true;
  PreviewRenderer r;
  ASSERT_TRUE(r.Begin(*f, s, CameraWb::FromFile(*f), o, 1));
  r.Step(1000);
  const RgbPicture warned = Expected(*f, s, true, 4);
  EXPECT_EQ(r.Picture().rgb, warned.rgb);
  EXPECT_NE(warned.rgb, Expected(*f, s, false, 4).rgb);
}

TEST(DialogPreview, WarningAfterTheTonesPaintsSaturatedPixels) {
  auto f = Loaded(Layout());
  ConversionSettings s = Pushed();
  s.Exposure = 1.0;
  PreviewOptions o = Plain(4);
  o.warnAfterTone = true;
  PreviewRenderer r;
  ASSERT_TRUE(r.Begin(*f, s, CameraWb::FromFile(*f), o, 1));
  r.Step(1000);
  const RgbPicture plain = Expected(*f, s, false, 4);
  int clipped = 0;
  for (size_t i = 0; i < plain.rgb.size(); i += 3) {
    const bool sat = plain.rgb[i] == 255 || plain.rgb[i + 1] == 255 || plain.rgb[i + 2] == 255;
    clipped += sat;
    if (sat) EXPECT_EQ(std::memcmp(&r.Picture().rgb[i], kClipColour, 3), 0);
    else EXPECT_EQ(std::memcmp(&r.Picture().rgb[i], &plain.rgb[i], 3), 0);
  }
  EXPECT_GT(clipped, 0);
  EXPECT_LT(clipped, static_cast<int>(plain.rgb.size() / 3));
  // The histogram counts the picture as converted, not the warning colour.
  EXPECT_GT(r.Counts().bins[0][255] + r.Counts().bins[1][255] + r.Counts().bins[2][255], 0u);
}

TEST(DialogPreview, ColourManagementShowsTheMonitorConversion) {
  auto f = Loaded(Layout());
  PreviewOptions o = Plain(4);
  o.colorManagement = true;
  ConversionSettings s = Pushed();
  PreviewRenderer r;
  ASSERT_TRUE(r.Begin(*f, s, CameraWb::FromFile(*f), o, 1));
  r.Step(1000);
  ConversionSettings monitor = s;
  monitor.ConvertToMonitor = true;
  EXPECT_EQ(r.Picture().rgb, Expected(*f, monitor, false, 4).rgb);
  EXPECT_NE(r.Picture().rgb, Expected(*f, s, false, 4).rgb);
  EXPECT_FALSE(s.ConvertToMonitor);  // the settings themselves stay
}

TEST(DialogPreview, HistogramFromRawValuesWhenAsked) {
  auto f = Loaded(Layout());
  PreviewOptions o = Plain(8);
  o.histogramSource = kSourceRaw;
  PreviewRenderer r;
  ASSERT_TRUE(r.Begin(*f, Pushed(), CameraWb::FromFile(*f), o, 1));
  r.Step(1000);
  Histogram want;
  const PreviewImage* p = f->Preview(8);
  CountRgb12(p->pixels.data(), size_t{p->width} * p->height, want);
  EXPECT_EQ(r.Counts().bins, want.bins);
}

TEST(DialogPreview, MissingPreviewScaleFailsAndKeepsThePicture) {
  auto f = Loaded(Layout());
  PreviewRenderer r;
  std::string why;
  EXPECT_FALSE(r.Begin(*f, Pushed(), CameraWb::FromFile(*f), Plain(3), 1, &why));
  EXPECT_FALSE(why.empty());
  EXPECT_FALSE(r.Busy());
  EXPECT_TRUE(r.Picture().rgb.empty());
}

// --- Focus area

TEST(DialogPreview, FocusAreaFollowsThePlaneTurn) {
  for (int orientation : {1, 3, 6, 8}) {
    testing::MrwLayout l = Layout(64, 48);
    l.subjectArea = std::array<std::uint16_t, 4>{40, 10, 20, 8};
    l.orientation = static_cast<std::uint16_t>(orientation);
    auto f = testing::FromLayout(l);
    ASSERT_TRUE(f->Open());
    WindowRect r;
    ASSERT_TRUE(FocusRectangle(*f, orientation, r)) << orientation;
    // Where the centre photosite lands when the plane is turned the same way.
    std::unique_ptr<std::uint8_t[]> mark(new std::uint8_t[64 * 48]());
    mark[10 * 64 + 40] = 1;
    std::uint32_t w = 64, h = 48;
    Turn t;
    if (TurnForOrientation(orientation, t)) {
      ASSERT_TRUE(TurnPixels(mark, w, h, t));
    }
    int cx = -1, cy = -1;
    for (std::uint32_t i = 0; i < w * h; ++i)
      if (mark[i]) cx = static_cast<int>(i % w), cy = static_cast<int>(i / w);
    EXPECT_EQ((r.left + r.right) / 2, cx) << orientation;
    EXPECT_EQ((r.top + r.bottom) / 2, cy) << orientation;
    EXPECT_EQ(r.Width(), orientation == 6 || orientation == 8 ? 8 : 20);
  }
}

TEST(DialogPreview, FocusFrameIsDrawnAtThePreviewScale) {
  testing::MrwLayout l = Layout(96, 64);
  l.subjectArea = std::array<std::uint16_t, 4>{48, 32, 48, 32};
  auto f = Loaded(l);
  PreviewOptions o = Plain(4);
  o.focusArea = true;
  PreviewRenderer r;
  ASSERT_TRUE(r.Begin(*f, Pushed(), CameraWb::FromFile(*f), o, 1));
  r.Step(1000);
  const RgbPicture& p = r.Picture();
  // (24..72) x (16..48) raw pixels: (6..18) x (4..12) at a quarter.
  EXPECT_EQ(p.At(6, 4)[0], 255);
  EXPECT_EQ(p.At(17, 11)[1], 255);
  EXPECT_EQ(p.At(7, 5)[2], 0);
  EXPECT_EQ(p.At(16, 10)[2], 0);
  const RgbPicture plain = Expected(*f, Pushed(), false, 4);
  EXPECT_EQ(std::memcmp(p.At(12, 8), plain.At(12, 8), 3), 0);  // inside untouched
  EXPECT_EQ(std::memcmp(p.At(2, 2), plain.At(2, 2), 3), 0);
}

TEST(DialogPreview, SubjectAreaOutsideTheSensorIsNoFrame) {
  testing::MrwLayout l = Layout(64, 48);
  l.subjectArea = std::array<std::uint16_t, 4>{960, 960, 320, 192};
  auto f = testing::FromLayout(l);
  ASSERT_TRUE(f->Open());
  WindowRect r;
  EXPECT_FALSE(FocusRectangle(*f, 1, r));
  RgbPicture p{4, 4, std::vector<std::uint8_t>(48, 7)};
  DrawFrame(p, {-10, -10, 100, 100});  // all outside: nothing to draw, nothing written past
  EXPECT_EQ(p.rgb, std::vector<std::uint8_t>(48, 7));
}

// --- Zoomed view

// The full read of the same file and settings.
std::vector<std::uint8_t> FullConversion(const testing::MrwLayout& l, const ConversionSettings& s, ReadWindow& win) {
  auto f = testing::FromLayout(l);
  EXPECT_TRUE(f->Open());
  Conversion c;
  EXPECT_TRUE(c.Start(*f, s, 8));
  win = c.Window();
  std::vector<std::uint8_t> all(c.RowBytes() * static_cast<size_t>(win.height));
  for (int y = 0; c.NextRow(all.data() + static_cast<size_t>(y) * c.RowBytes()); ++y) {
  }
  return all;
}

TEST(DialogZoom, EqualsTheFullConversionWhereItShows) {
  const testing::MrwLayout l = Layout(96, 64);
  for (int method : {7, 8, 11, 13, 14, 16}) {
    ConversionSettings s = Pushed();
    s.Interpolation = static_cast<std::int16_t>(method);
    s.ExtraSize = true;
    ReadWindow win;
    const std::vector<std::uint8_t> full = FullConversion(l, s, win);
    auto f = Loaded(l);
    RgbPicture z;
    std::string why;
    // A 30 x 20 view centred on (51, 33): plane columns 36..65, rows 23..42.
    ASSERT_TRUE(RenderZoom(*f, s, CameraWb::FromFile(*f), Plain(8), 51, 33, 30, 20, 1, z, &why)) << why;
    ASSERT_EQ(z.width, 30u);
    int diff = 0;
    for (int vy = 0; vy < 20; ++vy)
      for (int vx = 0; vx < 30; ++vx) {
        const int ox = 36 + vx - win.left, oy = 23 + vy - win.top;
        diff += std::memcmp(z.At(static_cast<std::uint32_t>(vx), static_cast<std::uint32_t>(vy)),
                            &full[(static_cast<size_t>(oy) * static_cast<size_t>(win.width) + static_cast<size_t>(ox)) * 3], 3) != 0;
      }
    EXPECT_EQ(diff, 0) << "method " << method;
  }
}

TEST(DialogZoom, MagnifiesAndGreysWhatLiesBeyondTheFrame) {
  const testing::MrwLayout l = Layout(96, 64);
  auto f = Loaded(l);
  ConversionSettings s = Pushed();
  s.Interpolation = 7;
  s.ExtraSize = true;
  RgbPicture one, two;
  const CameraWb cam = CameraWb::FromFile(*f);
  ASSERT_TRUE(RenderZoom(*f, s, cam, Plain(8), 0, 0, 20, 20, 1, one));
  ASSERT_TRUE(RenderZoom(*f, s, cam, Plain(8), 0, 0, 40, 40, 2, two));
  // The corner: plane column and row 0 are the bilinear border, not delivered.
  EXPECT_EQ(one.At(0, 0)[0], kZoomBackground);
  EXPECT_EQ(one.At(0, 5)[1], kZoomBackground);
  for (std::uint32_t y = 1; y < 20; ++y)
    for (std::uint32_t x = 1; x < 20; ++x)
      for (std::uint32_t k = 0; k < 4; ++k)
        ASSERT_EQ(std::memcmp(one.At(x, y), two.At(2 * x + (k & 1), 2 * y + (k >> 1)), 3), 0) << x << "," << y;
  // A view larger than the plane: the whole plane, grey around it.
  RgbPicture big;
  ASSERT_TRUE(RenderZoom(*f, s, cam, Plain(8), 48, 32, 200, 100, 1, big));
  EXPECT_EQ(big.At(150, 50)[0], kZoomBackground);
  EXPECT_NE(std::memcmp(big.At(50, 30), big.At(150, 50), 3), 0);
}

TEST(DialogZoom, HalfSizeMethodAndBadRequests) {
  const testing::MrwLayout l = Layout(96, 64);
  auto f = Loaded(l);
  ConversionSettings s = Pushed();
  s.Interpolation = 2;
  const CameraWb cam = CameraWb::FromFile(*f);
  RgbPicture z;
  ASSERT_TRUE(RenderZoom(*f, s, cam, Plain(8), 48, 32, 16, 16, 1, z));
  // Each half-size pixel covers two plane pixels each way.
  EXPECT_EQ(std::memcmp(z.At(4, 4), z.At(5, 5), 3), 0);
  std::string why;
  EXPECT_FALSE(RenderZoom(*f, s, cam, Plain(8), 48, 32, 0, 16, 1, z, &why));
  auto unloaded = testing::FromLayout(l);
  ASSERT_TRUE(unloaded->Open());
  EXPECT_FALSE(RenderZoom(*unloaded, s, cam, Plain(8), 48, 32, 16, 16, 1, z, &why));
  EXPECT_EQ(why, "no raw plane");
}

TEST(DialogPicture, TurnsLikeTheHost) {
  RgbPicture p{2, 1, {1, 1, 1, 2, 2, 2}};
  RgbPicture q = p;
  TurnPicture(q, 1);  // a quarter turn counter-clockwise: the right pixel goes up
  EXPECT_EQ(q.width, 1u);
  EXPECT_EQ(q.height, 2u);
  EXPECT_EQ(q.rgb, (std::vector<std::uint8_t>{2, 2, 2, 1, 1, 1}));
  q = p;
  TurnPicture(q, 3);
  EXPECT_EQ(q.rgb, (std::vector<std::uint8_t>{1, 1, 1, 2, 2, 2}));
  q = p;
  TurnPicture(q, 2);
  EXPECT_EQ(q.rgb, (std::vector<std::uint8_t>{2, 2, 2, 1, 1, 1}));
  EXPECT_EQ(q.width, 2u);
}

}  // namespace
}  // namespace tessaro
