// The dialog's panning and zoom arithmetic, driven through a view that records what it is
// told (the scripted sessions in tests/e2e cover the commands).
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "coralin/CrDialogController.h"
#include "platform/resources.h"

using namespace coralin;
using qm::platform::DialogView;
using qm::platform::ItemRect;
using qm::platform::MouseEvent;

namespace {

class RecordingView final : public DialogView {
 public:
  std::map<int, std::string> texts;
  std::map<int, ItemRect> places;
  std::vector<std::pair<int, intptr_t>> posted;
  void SetItemText(int id, const std::string& t) override { texts[id] = t; }
  std::string ItemText(int id) const override {
    auto it = texts.find(id);
    return it == texts.end() ? std::string() : it->second;
  }
  void SetItemIcon(int, qm::platform::SystemIcon) override {}
  void EnableItem(int, bool) override {}
  void End(intptr_t) override {}
  ItemRect ItemPlace(int id) const override {
    auto it = places.find(id);
    return it == places.end() ? ItemRect{} : it->second;
  }
  void PlaceItem(int id, const ItemRect& r) override { places[id] = r; }
  void Post(int m, intptr_t v) override { posted.emplace_back(m, v); }
};

class NoStores final : public CrDialogServices {
 public:
  std::vector<CrPresetEntry> ReadPresets() override { return {}; }
  void WritePresets(const std::vector<CrPresetEntry>&) override {}
  std::optional<int32_t> ReadPreference(const char*) override { return {}; }
  void WritePreference(const char*, int32_t) override {}
  bool SearchTargetSize(DialogView&, int32_t) override { return true; }
  bool AskPresetName(DialogView&, std::string&) override { return false; }
};

struct Fixture {
  explicit Fixture(int32_t w, int32_t h) : pixels(static_cast<size_t>(w * h * 3), 128), engine(w, h, pixels.data(), w * 3) {
    view.places[0] = {0, 0, 600, 400};
    view.places[kIdOriginalPane] = {10, 10, 200, 200};
    view.places[kIdJpegPane] = {220, 10, 200, 200};
    engine.SetMode(CrMode::kDialog);
    engine.SetView(&dialog);
    dialog.OnInit(view);
  }
  ~Fixture() { engine.SetView(nullptr); }
  std::vector<uint8_t> pixels;
  Cr4Engine engine;
  NoStores stores;
  CrDialogController dialog{engine, pixels.data(), engine.Width() * 3, stores, false};
  RecordingView view;
};

}  // namespace

TEST(CrDialogPanes, SmallImagesAreCentredAndDoNotPan) {
  Fixture f(100, 50);
  EXPECT_EQ(f.dialog.OffsetX(), 50);
  EXPECT_EQ(f.dialog.OffsetY(), 75);
  f.dialog.OnMouse(f.view, kIdOriginalPane, MouseEvent::Down, 10, 10, 0);
  EXPECT_FALSE(f.dialog.Dragging());
  EXPECT_EQ(f.view.posted.size(), 1u);  // the first measuring pass, and nothing else
  EXPECT_EQ(f.view.posted[0].first, kMsgMeasure);
}

TEST(CrDialogPanes, DraggingPansBothPanesWithinTheLimits) {
  Fixture f(500, 150);  // wider than the view, lower than it
  // Starts at the top-left on the wide axis, centred on the other.
  EXPECT_EQ(f.dialog.OffsetX(), 0);
  EXPECT_EQ(f.dialog.OffsetY(), 25);
  f.dialog.OnMouse(f.view, kIdJpegPane, MouseEvent::Down, 100, 100, 0);
  ASSERT_TRUE(f.dialog.Dragging());
  f.dialog.OnMouse(f.view, kIdJpegPane, MouseEvent::Move, 40, 60, 0);
  EXPECT_EQ(f.dialog.OffsetX(), -60);
  EXPECT_EQ(f.dialog.OffsetY(), 25) << "an axis that fits does not move";
  f.dialog.OnMouse(f.view, kIdJpegPane, MouseEvent::Up, -1000, 60, 0);
  EXPECT_EQ(f.dialog.OffsetX(), 200 - 500) << "held at view - scaled";
  EXPECT_FALSE(f.dialog.Dragging());
  f.dialog.OnMouse(f.view, kIdOriginalPane, MouseEvent::Down, 0, 0, 0);
  f.dialog.OnMouse(f.view, kIdOriginalPane, MouseEvent::Up, 5000, 0, 0);
  EXPECT_EQ(f.dialog.OffsetX(), 0) << "and at 0";
}

TEST(CrDialogPanes, ZoomKeepsTheCentrePoint) {
  Fixture f(400, 400);
  // The view shows 0-200; its centre is image point 100. Zoom in: 2:1, 100 stays centred.
  f.dialog.OnCommand(f.view, kIdZoomIn, 0);
  EXPECT_EQ(f.dialog.Pane(kIdOriginalPane).Num(), 2);
  EXPECT_EQ(f.dialog.OffsetX(), 100 - 2 * 100);
  EXPECT_EQ(f.view.texts[kIdOriginalLabel], "Original 200.0%");
  // Out twice: 1:2 makes the image 200 wide, which fits the 200-pixel view exactly.
  f.dialog.OnCommand(f.view, kIdZoomOut, 0);
  f.dialog.OnCommand(f.view, kIdZoomOut, 0);
  EXPECT_EQ(f.dialog.Pane(kIdOriginalPane).Den(), 2);
  EXPECT_EQ(f.dialog.OffsetX(), 0);
  EXPECT_EQ(f.view.texts[kIdJpegLabel], "JPEG  50.0%");
  // 1:3 rounds the scaled size up: 400 / 3 is 134, centred in 200.
  f.dialog.OnCommand(f.view, kIdZoomOut, 0);
  EXPECT_EQ(f.dialog.Pane(kIdOriginalPane).Scaled(400), 134);
  EXPECT_EQ(f.dialog.OffsetX(), (200 - 134) / 2);
}

// No templates: the controller is driven here without a dialog.
const qm::res::ModuleResources& qm::res::ThisModule() {
  static const ModuleResources none{nullptr, 0, nullptr, 0, nullptr, 0};
  return none;
}
