// The dialog's histogram, information text and window places.
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "tessaro/DialogInfo.h"
#include "tessaro/Histogram.h"
#include "tessaro/WindowPlaces.h"

namespace tessaro {
namespace {

// --- Histogram

const std::uint8_t* Px(const HistogramPicture& p, int x, int y) {
  return p.rgb.data() + (static_cast<size_t>(y) * static_cast<size_t>(p.width) + static_cast<size_t>(x)) * 3;
}
int Column(const HistogramPicture& p, int x, int channel) {  // rows lit in a channel
  int n = 0;
  for (int y = 0; y < p.height; ++y) n += Px(p, x, y)[channel] == 255;
  return n;
}

TEST(Histogram, CountsEveryChannelAndLuminance) {
  const std::uint8_t rgb[] = {255, 0, 0, 0, 255, 0, 10, 10, 10, 10, 10, 10};
  Histogram h;
  CountRgb8(rgb, 4, h);
  EXPECT_EQ(h.pixels, 4u);
  EXPECT_EQ(h.bins[0][255], 1u);
  EXPECT_EQ(h.bins[0][0], 1u);
  EXPECT_EQ(h.bins[0][10], 2u);
  EXPECT_EQ(h.bins[1][255], 1u);
  EXPECT_EQ(h.bins[3][76], 1u);   // pure red
  EXPECT_EQ(h.bins[3][150], 1u);  // pure green
  EXPECT_EQ(h.bins[3][10], 2u);   // grey keeps its value
}

TEST(Histogram, TwelveBitValuesFallSixteenToABinAndOverflowCountsAsTop) {
  const std::uint16_t rgb[] = {15, 16, 4095, 60000, 0, 0};
  Histogram h;
  CountRgb12(rgb, 2, h);
  EXPECT_EQ(h.bins[0][0], 1u);
  EXPECT_EQ(h.bins[1][1], 1u);
  EXPECT_EQ(h.bins[2][255], 1u);
  EXPECT_EQ(h.bins[0][255], 1u);  // a stray value past 12 bits must not index past the bins
}

TEST(Histogram, OptionsFromTheFileFallBackWhenOutOfRange) {
  GeneralSettings g;
  HistogramOptions o = HistogramOptions::From(g);
  EXPECT_EQ(o.color, kHistRgb);
  EXPECT_EQ(o.source, kSourcePreview);
  EXPECT_TRUE(o.curves);
  g.histogramColor = 9;
  g.histogramRange = -1;
  g.histogramSource = 7;
  g.histogramScale = true;
  o = HistogramOptions::From(g);
  EXPECT_EQ(o.color, kHistRgb);
  EXPECT_EQ(o.range, kRangeFull);
  EXPECT_EQ(o.source, kSourcePreview);
  EXPECT_TRUE(o.logScale);
}

TEST(Histogram, TallestBarFillsTheHeightAndSmallBinsStillShow) {
  Histogram h;
  h.bins[0][0] = 1000;
  h.bins[0][255] = 1;
  HistogramPicture p;
  HistogramOptions o;
  o.color = kHistRed;
  DrawHistogram(h, o, nullptr, 256, 100, p);
  ASSERT_EQ(p.rgb.size(), 256u * 100 * 3);
  EXPECT_EQ(Column(p, 0, 0), 100);
  EXPECT_EQ(Column(p, 255, 0), 1);  // a single pixel is not lost to rounding
  EXPECT_EQ(Column(p, 128, 0), 0);
  EXPECT_EQ(Px(p, 0, 99)[1], 0);  // a red bar is red only
  EXPECT_EQ(Px(p, 128, 0)[0], kHistogramBackground);
}

TEST(Histogram, LogarithmicScaleLiftsSmallCounts) {
  Histogram h;
  h.bins[3][0] = 10000;
  h.bins[3][200] = 100;
  HistogramOptions o;
  o.color = kHistLuminance;
  HistogramPicture lin, log;
  DrawHistogram(h, o, nullptr, 256, 100, lin);
  o.logScale = true;
  DrawHistogram(h, o, nullptr, 256, 100, log);
  EXPECT_EQ(Column(lin, 200, 0), 1);
  EXPECT_EQ(Column(log, 200, 0), 50);  // log 101 / log 10001
}

TEST(Histogram, RangeMagnifiesHalfTheInputsAndScalesToWhatIsShown) {
  Histogram h;
  h.bins[1][0] = 500;    // outside the highlights: must not squash them
  h.bins[1][200] = 20;
  h.bins[1][128] = 10;
  HistogramOptions o;
  o.color = kHistGreen;
  o.range = kRangeHighlights;
  HistogramPicture p;
  DrawHistogram(h, o, nullptr, 256, 40, p);
  EXPECT_EQ(Column(p, 0, 1), 20);                 // bin 128 at the left edge
  EXPECT_EQ(Column(p, (200 - 128) * 2, 1), 40);   // two columns a bin
  EXPECT_EQ(Column(p, (200 - 128) * 2 + 1, 1), 40);
}

TEST(Histogram, AllThreeChannelsMixWhereTheyOverlap) {
  Histogram h;
  h.bins[0][50] = 10;
  h.bins[1][50] = 5;
  HistogramPicture p;
  DrawHistogram(h, HistogramOptions{}, nullptr, 256, 10, p);
  const std::uint8_t* bottom = Px(p, 50, 9);
  EXPECT_EQ(bottom[0], 255);
  EXPECT_EQ(bottom[1], 255);
  EXPECT_EQ(bottom[2], 0);  // yellow, not white
  const std::uint8_t* top = Px(p, 50, 0);
  EXPECT_EQ(top[0], 255);
  EXPECT_EQ(top[1], 0);
}

TEST(Histogram, CurvesAreDrawnOnlyWhenAsked) {
  Histogram h;
  HistogramCurves c{};
  for (int i = 0; i < 256; ++i) c[0][static_cast<size_t>(i)] = c[1][static_cast<size_t>(i)] = c[2][static_cast<size_t>(i)] = static_cast<std::uint8_t>(i);
  HistogramOptions o;
  HistogramPicture p;
  DrawHistogram(h, o, &c, 256, 256, p);
  EXPECT_EQ(Px(p, 0, 255)[0], 160);   // the identity curve runs corner to corner
  EXPECT_EQ(Px(p, 255, 0)[0], 160);
  EXPECT_EQ(Px(p, 100, 155)[0], 160);
  o.curves = false;
  DrawHistogram(h, o, &c, 256, 256, p);
  EXPECT_EQ(Px(p, 100, 155)[0], kHistogramBackground);
  DrawHistogram(h, o, &c, 0, 10, p);
  EXPECT_TRUE(p.rgb.empty());
}

// --- Information text

TEST(DialogInfo, ShowsCameraShotWhiteBalanceRifProfileAndTime) {
  testing::MrwLayout l = testing::SampleLayout();
  l.model = "DiMAGE A2";
  l.software = "Ver2.01";
  auto f = testing::FromLayout(l);
  ASSERT_TRUE(f->Open());
  ConversionSettings s;
  const CameraWb cam = CameraWb::FromFile(*f);
  DialogInfoInput in{f.get(), &s, &cam, "Dimage A2Mod (RAW g2200)", 1234.4};
  const std::string t = DialogInfoText(in);
  EXPECT_NE(t.find("Model: DiMAGE A2\n"), std::string::npos) << t;
  EXPECT_NE(t.find("Software: Ver2.01\n"), std::string::npos);
  EXPECT_NE(t.find("RIF values: 0.300781 0.292969 0.113281 0.292969 -0.167969 -0.167969 0.5 -0.164062 "
                       "0.5 -0.207031 -0.0859375 -0.207031\n"), std::string::npos) << t;
  EXPECT_NE(t.find("Camera settings ("), std::string::npos);
  EXPECT_NE(t.find("  WB = Camera\n"), std::string::npos);
  EXPECT_NE(t.find("Profile: Dimage A2Mod (RAW g2200)\n"), std::string::npos);
  EXPECT_NE(t.find("Last conversion: 1234 ms\n"), std::string::npos);
  EXPECT_NE(t.find("Shot white balance: "), std::string::npos);
}

TEST(DialogInfo, WithoutFileOrConversionSaysSo) {
  DialogInfoInput in;
  const std::string t = DialogInfoText(in);
  EXPECT_EQ(t, "Profile: no profile\nLast conversion: none yet\n");
}

// --- Window places

struct Places : ::testing::Test {
  GeneralSettings g;
  WindowPlaces w{g, 400, 300, 200, 150};
  WindowRect dialog = w.Dialog(500, 320);
};

TEST_F(Places, FirstRunGluesThePreviewRightOfTheDialogAndTheInfoUnderIt) {
  EXPECT_EQ(dialog, (WindowRect{1, 82, 501, 402}));
  EXPECT_EQ(w.Preview(dialog), (WindowRect{501, 82, 901, 382}));
  EXPECT_EQ(w.Info(dialog), (WindowRect{501, 382, 701, 532}));
}

TEST_F(Places, GluedWindowsFollowTheDialogAndAreKept) {
  const WindowRect moved = dialog.MovedTo(100, 50);
  w.DialogMoved(moved);
  EXPECT_EQ(g.dialogPositionX, 100);
  EXPECT_EQ(g.dialogPositionY, 50);
  EXPECT_EQ(g.previewPositionX, 600);
  EXPECT_EQ(g.previewPositionYend, 350);
  EXPECT_EQ(g.infoPositionY, 350);
  EXPECT_EQ(w.Preview(moved), (WindowRect{600, 50, 1000, 350}));
}

TEST_F(Places, DraggingFarUngluesAndNearGluesAgain) {
  w.PreviewMoved(dialog, {900, 500, 1300, 800});
  EXPECT_FALSE(g.previewGlued);
  w.DialogMoved(dialog.MovedTo(0, 0));
  EXPECT_EQ(w.Preview(dialog.MovedTo(0, 0)), (WindowRect{900, 500, 1300, 800}));  // stays put
  // Dropped 5 pixels off its glued place (and resized): snaps and glues.
  const WindowRect d = dialog.MovedTo(0, 0);
  w.PreviewMoved(d, {505, 3, 805, 203});
  EXPECT_TRUE(g.previewGlued);
  EXPECT_EQ(w.Preview(d), (WindowRect{500, 0, 800, 200}));
  // The glued info window now sits under the smaller preview.
  EXPECT_EQ(w.Info(d).top, 200);
}

TEST_F(Places, UprightLayoutPutsThePreviewBelowAndInfoBesideIt) {
  w.SetOrientation(dialog, false);
  EXPECT_FALSE(g.dialogOrientation);
  EXPECT_EQ(w.Preview(dialog), (WindowRect{1, 402, 401, 702}));
  EXPECT_EQ(w.Info(dialog), (WindowRect{401, 402, 601, 552}));
  EXPECT_EQ(g.previewPositionY, 402);
}

TEST_F(Places, HiddenPreviewLeavesItsPlaceToTheInfoWindow) {
  w.SetPreviewVisible(false);
  EXPECT_EQ(w.Info(dialog), (WindowRect{501, 82, 701, 232}));
  w.InfoMoved(dialog, {20, 20, 220, 170});
  EXPECT_FALSE(g.infoGlued);
  EXPECT_EQ(w.Info(dialog), (WindowRect{20, 20, 220, 170}));
  w.InfoMoved(dialog, {20, 20, 20, 20});  // an empty rectangle is not a place
  EXPECT_EQ(g.infoPositionXend, 220);
}

TEST_F(Places, ReversedStoredSizeFallsBackToTheDefault) {
  g.previewGlued = false;
  g.previewPositionX = 50;
  g.previewPositionY = 60;
  g.previewPositionXend = 10;  // a hand-edited file
  EXPECT_EQ(w.Preview(dialog), (WindowRect{50, 60, 450, 360}));
}

}  // namespace
}  // namespace tessaro
