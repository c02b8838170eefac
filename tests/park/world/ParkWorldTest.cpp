// The park world's tick: arrivals at the grid's entrances, skater averages, sponsorship offers,
// slow motion against the calendar, the debug chord and hold, and the status label on screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/world/WorldAccess.h"
#include "park/grid/Grid.h"
#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "render/view/RenderView.h"
#include "tests/support/RecordingRasterizer.h"
#include "tests/support/TempFolder.h"
#include "ui/park/SponsorshipNotice.h"
#include "ui/widgets/UILabel.h"

namespace {

using testing_support::DebugCapture;

struct StepRecorder : CGameObject {
  StepRecorder() { SetFlags(kNetworked | kLocalUpdate); }
  void Update(float dt) override { last = dt; }
  float last = -1.0f;
};

struct Park : ::testing::Test {
  Park() : park(nullptr, nullptr) {}
  // Scores that ask for `target` skaters: trunc((1 + 1 + 0.001) x 0.5 x target).
  void AskFor(int target) {
    park.GetParkState().variety = park.GetParkState().connectivity = 1.0f;
    park.GetParkState().capacity = static_cast<float>(target);
  }
  // Entrance corners at (7i, 20, 3): every seventh square of a one-row grid.
  void AddEntrances(int count) {
    auto grid = std::make_unique<CGrid>(count * 7 + 1, 1, Vector3(0.0f, 20.0f, 3.0f), 1.0f, 1.0f);
    for (int i = 0; i < count; ++i) grid->AddEntrance(grid->GetSquare(i * 7, 0));
    park.SetGrid(std::move(grid));
  }
  // Real seconds of 5 ms ticks until the next arrival; -1 when none comes within the limit.
  double SecondsUntilArrival(double limit) {
    const size_t before = GetSkaterList().size();
    for (double t = 0.005; t <= limit; t += 0.005) {
      park.UpdateArrivals(0.005f);
      if (GetSkaterList().size() != before) return t;
    }
    return -1.0;
  }
  DebugCapture capture;
  CVerezIvor park;
};

TEST_F(Park, ArrivalsFollowFeeAndFillAndNeedAnEntrance) {
  AskFor(20);
  park.UpdateArrivals(1.0f);  // no grid, then no entrance: nobody, however long the wait
  AddEntrances(0);
  park.UpdateArrivals(1.0f);
  EXPECT_TRUE(GetSkaterList().empty());
  AddEntrances(3);
  park.UpdateArrivals(0.0f);  // the first skater comes at once, named from 10
  ASSERT_EQ(GetSkaterList().size(), 1u);
  const CSkater* first = GetSkaterList()[0];
  EXPECT_STREQ(first->GetName(), "Skater #10");
  EXPECT_EQ(first->GetFrame().GetPosition().y, 20.5f);
  EXPECT_EQ(first->GetFrame().GetPosition().z, 5.0f + first->GetHeightOffset());
  EXPECT_NEAR(first->GetFrame().GetXAxis().x, first->GetFrame().GetXAxis().y, 1e-6f);  // facing +x +y
  // Fee 40: 1800 simulated seconds (4.5 real), stretched by 1 / (1 - count / target).
  for (int count = 1; count < 20; ++count)
    ASSERT_NEAR(SecondsUntilArrival(200.0), 4.5 / (1.0 - count / 20.0), 0.01) << count;
  EXPECT_STREQ(GetSkaterList().back()->GetName(), "Skater #29");
  EXPECT_EQ(SecondsUntilArrival(100.0), -1.0);  // full
  std::set<float> entrances;
  for (const CSkater* skater : GetSkaterList()) entrances.insert(skater->GetFrame().GetPosition().x);
  EXPECT_EQ(entrances.size(), 3u);
  for (const auto& f : {std::make_pair(10.0f, 0.5), std::make_pair(-100.0f, 0.5), std::make_pair(80.0f, 2.0)}) {
    AskFor(static_cast<int>(GetSkaterList().size()) * 2);  // half full: twice the base interval
    park.GetParkState().admissionFee = f.first;
    park.GetParkState().timeSinceLastArrival = 0.0;
    EXPECT_NEAR(SecondsUntilArrival(200.0), f.second * 9.0, 0.01) << f.first;
  }
  park.GetParkState().variety = park.GetParkState().connectivity = 0.0f;  // an empty park asks for nobody
  park.GetParkState().capacity = 50.0f;
  EXPECT_EQ(SecondsUntilArrival(100.0), -1.0);
}

TEST_F(Park, AveragesDivideByOneMoreThanTheCount) {
  park.GetParkState().variety = 0.4f;
  park.GetParkState().connectivity = 0.2f;
  const float skills[3][4] = {{0.3f, 0.6f, 0.9f, 0.5f}, {0.0f, 0.0f, 0.3f, 0.25f}, {1, 1, 1, 1}};
  for (const auto& s : skills) {
    CSkater* skater = new CSkater();
    skater->ability.trickSkill[2] = s[0], skater->ability.trickSkill[3] = s[1], skater->ability.trickSkill[4] = s[2];
    // Happiness is 1 less a fifth of five worries: equal worries of 1 - h give h.
    CSkater::Needs& n = skater->needs;
    n.mood = n.injury = n.bladder = n.thirst = n.hunger = 1.0f - s[3];
    park.RegisterNewObject(std::unique_ptr<CGameObject>(skater));
  }
  park.UpdateSkaterAverages();  // skills 0.6, 0.1, 1.0 and three skaters: divided by four
  const ParkState& state = park.GetParkState();
  EXPECT_NEAR(state.averageSkill, 1.7f / 4.0f, 1e-6f);
  EXPECT_NEAR(state.averageHappiness, 1.75f / 4.0f, 1e-6f);
  EXPECT_NEAR(state.statisticsScore, (3.45f / 4.0f) * 13.0f + 30.0f, 1e-4f);
  EXPECT_NEAR(park.GetParkRating(), 150.0 + 3.0 * (3.45 / 8.0) * 10.0, 1e-4);
}

TEST_F(Park, SponsorshipOffersOnePerTickLowestFirst) {
  park.GetParkState().variety = 1.0f;
  park.GetParkState().connectivity = 0.7f;  // rating 425: past 300 and 400
  park.TickParkState(0.03f);
  ASSERT_EQ(park.GetLayerCount(), 1u);
  EXPECT_EQ(dynamic_cast<CSponsorshipNotice&>(*park.GetLayer(0)).GetSlot(), 0);
  EXPECT_EQ(park.GetParkState().sponsorships[1].offered, 0);
  park.TickParkState(0.03f);
  ASSERT_EQ(park.GetLayerCount(), 2u);
  EXPECT_EQ(dynamic_cast<CSponsorshipNotice&>(*park.GetLayer(1)).GetSlot(), 1);
  park.GetParkState().variety = 2.0f, park.GetParkState().connectivity = 0.0f;  // exactly 500 is not past it
  EXPECT_EQ(park.OfferSponsorship(), -1);
}

TEST_F(Park, SlowMotionAndTheDebugHoldTouchObjectsOnly) {
  StepRecorder* object = new StepRecorder();
  park.RegisterNewObject(std::unique_ptr<CGameObject>(object));
  park.GetParkState().timeSinceLastArrival = 0.0;
  park.GetParkState().moneyFraction = -0.5;
  for (int key : {CVerezIvor::kSlowMotionKey, int('1')}) plat::SetKeyState(key, true);
  park.TickParkState(0.9f);
  park.TickSimulation(0.9f);
  for (int key : {CVerezIvor::kSlowMotionKey, int('1')}) plat::SetKeyState(key, false);
  EXPECT_FLOAT_EQ(object->last, 0.9f / 8.0f);  // objects slowed; clock, arrivals and money not
  EXPECT_NEAR(park.GetClock().GetHour(), 10.0 + 0.9 * 400.0 / 3600.0, 1e-6);
  EXPECT_NEAR(park.GetParkState().timeSinceLastArrival, 360.0, 1e-3);
  EXPECT_EQ(park.GetMoney(), 9999.5);

  for (int key : CVerezIvor::kDebugChord) plat::SetKeyState(key, true);
  park.Simulate(0.01f);
  EXPECT_FALSE(AreDebugKeysEnabled());  // flips on letting go of the chord, once
  for (int key : CVerezIvor::kDebugChord) plat::SetKeyState(key, false);
  park.Simulate(0.01f);
  park.Simulate(0.01f);
  EXPECT_TRUE(AreDebugKeysEnabled());
  for (int key : {VK_CONTROL, VK_SHIFT, int('P')}) plat::SetKeyState(key, true);
  object->last = -1.0f;
  park.TickSimulation(0.05f);  // held while the debug keys are on
  EXPECT_EQ(object->last, -1.0f);
  SetDebugKeysEnabled(false);
  park.TickSimulation(0.05f);
  EXPECT_FLOAT_EQ(object->last, 0.05f);
  for (int key : {VK_CONTROL, VK_SHIFT, int('P')}) plat::SetKeyState(key, false);
}

TEST_F(Park, StatusTextIsCutAndDrawnBesideTheCursor) {
  park.SetStatusText(std::string(400, 'a').c_str());  // cut to the 97 characters the label has room for
  EXPECT_EQ(park.GetStatusLabelText(), "\x01" + std::string(97, 'a') + "\x02");
  park.SetStatusText("");
  EXPECT_STREQ(park.GetStatusLabelText(), "");
  RecordingRasterizer rasterizer(640, 480);
  CRenderView view;
  view.Setup(&rasterizer, nullptr, park.GetFogState(), park.GetLightList(), 31);
  // Told about a control under the cursor, the text goes beside it (right, else left, else as
  // usual) so that it never covers the control's own label.
  const RECT palette = {8, 40, 232, 300}, wide = {4, 40, 600, 300}, right = {500, 40, 632, 300};
  struct Case {
    int x, y;
    const RECT* keepClear;
    int left;  // where the text starts; -1: centred on the cursor
  };
  for (const Case& c : {Case{320, 240, nullptr, -1}, Case{3, 4, nullptr, -1}, Case{639, 479, nullptr, -1},
                        Case{100, 170, &palette, 236}, Case{560, 170, &right, -2}, Case{300, 170, &wide, -1}}) {
    park.cursorX = c.x, park.cursorY = c.y;
    std::fill(rasterizer.frame.begin(), rasterizer.frame.end(), 0);
    park.SetStatusText("RAMP 200", c.keepClear);
    const CUILabel& label = *park.GetStatusLabel();
    int left = c.left == -1 ? std::max(0, c.x - label.GetWidth() / 2) : c.left;
    if (c.left == -2) left = right.left - 4 - label.GetWidth();
    const int top = std::max(0, c.y - 12);
    PixelBufferDesc* locked = nullptr;
    park.DrawOverlay(&view, &locked);
    EXPECT_TRUE(locked == nullptr && rasterizer.lockDepth == 0);
    int lit = 0;
    for (int i = 0; i < 640 * 480; ++i) {
      if (rasterizer.frame[i] == 0) continue;
      ++lit;
      ASSERT_TRUE(i % 640 >= left && i % 640 < left + label.GetWidth()) << i;
      ASSERT_TRUE(i / 640 >= top && i / 640 < top + label.GetHeight()) << i;
    }
    EXPECT_GT(lit, 0);
  }
}

}  // namespace

// The level's debug view is the render view's path and terrain-polygon overlays, switched with the
// park's flag and leaving the view's other overlays as they were.
TEST_F(Park, TheLevelViewFlagSwitchesThePathAndTerrainOverlaysOfTheView) {
  RecordingRasterizer rasterizer(640, 480);
  CRenderView view;
  view.Setup(&rasterizer, nullptr, park.GetFogState(), park.GetLightList(), 31);
  const uint32_t level = CSceneDrawInterface::kDebugPaths | CSceneDrawInterface::kDebugTerrainPolygons;
  view.SetDebugFlags(CSceneDrawInterface::kDebugLights | CSceneDrawInterface::kDebugPaths);
  PixelBufferDesc* locked = nullptr;
  park.RenderScene(&view, &locked);
  EXPECT_EQ(view.GetDebugFlags(), CSceneDrawInterface::kDebugLights);
  park.ToggleDebugFlag(CVerezIvor::kDebugLevelView);
  park.RenderScene(&view, &locked);
  EXPECT_EQ(view.GetDebugFlags(), CSceneDrawInterface::kDebugLights | level);
  park.ToggleDebugFlag(CVerezIvor::kDebugLevelView);
  park.RenderScene(&view, &locked);
  EXPECT_EQ(view.GetDebugFlags(), CSceneDrawInterface::kDebugLights);
  park.ClearWorld();  // the render view goes first
}
