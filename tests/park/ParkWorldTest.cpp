// The park world's tick: arrivals at the grid's entrances, sponsorship offers, skater averages,
// slow motion against the calendar, the debug chord and hold, the status label on screen.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "core/GameObject.h"
#include "park/Grid.h"
#include "park/Skater.h"
#include "park/VerezIvor.h"
#include "platform/Platform.h"
#include "render/RenderView.h"
#include "tests/support/RecordingRasterizer.h"
#include "tests/support/TempFolder.h"
#include "ui/SponsorshipNotice.h"
#include "ui/UILabel.h"

namespace {

using testing_support::DebugCapture;

class StepRecorder : public CGameObject {
 public:
  StepRecorder() { SetFlags(kNetworked | kLocalUpdate); }
  void Update(float dt) override { last = dt; }
  float last = -1.0f;
};

// A park whose scores ask for `target` skaters.
void AskForSkaters(CVerezIvor& park, int target) {
  park.GetParkState().variety = 1.0f;
  park.GetParkState().connectivity = 1.0f;
  park.GetParkState().capacity = static_cast<float>(target);  // trunc(2.001 x 0.5 x c) = c below 1000
}

CGrid* GridWithEntrances(std::vector<CGridSquare>& squares) {
  CGrid* grid = new CGrid();
  for (CGridSquare& square : squares) grid->AddEntrance(&square);
  return grid;
}

// Real seconds of `tick` until the next arrival, or -1 when none comes within `limit`.
double SecondsUntilArrival(CVerezIvor& park, float tick, double limit) {
  const size_t before = GetSkaterList().size();
  for (double t = tick; t <= limit; t += tick) {
    park.UpdateArrivals(tick);
    if (GetSkaterList().size() != before) return t;
  }
  return -1.0;
}

TEST(ParkArrivals, IntervalFollowsFeeAndFill) {
  DebugCapture quiet;
  CVerezIvor park(nullptr, nullptr);
  std::vector<CGridSquare> squares(1);
  squares[0].position = Vector3(10.0f, 20.0f, 3.0f);
  park.SetGrid(GridWithEntrances(squares));
  AskForSkaters(park, 20);

  // The first skater of a new park arrives at once, named from the start number 10.
  park.UpdateArrivals(0.0f);
  ASSERT_EQ(GetSkaterList().size(), 1u);
  const CSkater* first = GetSkaterList()[0];
  EXPECT_STREQ(first->GetName(), "Skater #10");
  EXPECT_NE(park.GetObjectByID(first->GetID()), nullptr);
  EXPECT_EQ(first->GetFrame().GetPosition(), Vector3(10.5f, 20.5f, 3.0f + first->heightOffset + 2.0f));
  const Vector3 facing = first->GetFrame().GetXAxis();
  EXPECT_NEAR(facing.x, std::sqrt(0.5f), 1e-5f);  // looking along x and y at the same height
  EXPECT_NEAR(facing.y, std::sqrt(0.5f), 1e-5f);
  EXPECT_NEAR(facing.z, 0.0f, 1e-5f);
  EXPECT_TRUE(first->HasAppearance());
  EXPECT_EQ(park.GetParkState().nextSkaterNumber, 11);

  // With the default fee of 40 the base is 1.0: 1800 simulated seconds (4.5 real) stretched by
  // 1 / (1 - count / target) as the park fills.
  const float tick = 0.005f;  // two simulated seconds
  for (int count = 1; count < 20; ++count) {
    const double expected = 1800.0 / (1.0 - count / 20.0) / 400.0;
    const double measured = SecondsUntilArrival(park, tick, 200.0);
    ASSERT_NEAR(measured, expected, 2.0 * tick) << count;
  }
  EXPECT_STREQ(GetSkaterList().back()->GetName(), "Skater #29");
  // Full: nobody else comes, however long the wait.
  EXPECT_EQ(SecondsUntilArrival(park, 0.5f, 600.0), -1.0);

  // A low fee is floored at a base of 0.5, a high one slows arrivals in proportion.
  const struct { float fee; double base; } fees[] = {{10.0f, 0.5}, {0.0f, 0.5}, {-100.0f, 0.5}, {80.0f, 2.0}};
  for (const auto& f : fees) {
    AskForSkaters(park, static_cast<int>(GetSkaterList().size()) * 2);
    park.GetParkState().admissionFee = f.fee;
    park.GetParkState().timeSinceLastArrival = 0.0;
    const double expected = f.base * 1800.0 / 0.5 / 400.0;
    EXPECT_NEAR(SecondsUntilArrival(park, tick, 200.0), expected, 2.0 * tick) << f.fee;
  }
}

TEST(ParkArrivals, NobodyArrivesWithoutAWayIn) {
  DebugCapture quiet;
  CVerezIvor park(nullptr, nullptr);
  AskForSkaters(park, 10);
  // No grid at all, then a grid without entrances: the wait grows but nobody is made.
  park.UpdateArrivals(1.0f);
  EXPECT_EQ(park.SpawnSkater(), 0u);
  std::vector<CGridSquare> none;
  park.SetGrid(GridWithEntrances(none));
  for (int i = 0; i < 100; ++i) park.UpdateArrivals(1.0f);
  EXPECT_TRUE(GetSkaterList().empty());
  EXPECT_EQ(park.GetParkState().nextSkaterNumber, 10);

  // An empty park's scores ask for nobody below a capacity of 2000.
  std::vector<CGridSquare> squares(3);
  for (int i = 0; i < 3; ++i) squares[i].position = Vector3(static_cast<float>(i * 7), 0.0f, 0.0f);
  park.SetGrid(GridWithEntrances(squares));
  park.GetParkState().variety = 0.0f;
  park.GetParkState().connectivity = 0.0f;
  park.GetParkState().capacity = 50.0f;
  park.UpdateArrivals(100.0f);
  EXPECT_TRUE(GetSkaterList().empty());

  // Once there is an entrance, the long wait lets someone in at once; arrivals spread over the
  // entrances.
  AskForSkaters(park, 400);
  park.UpdateArrivals(0.0f);
  EXPECT_EQ(GetSkaterList().size(), 1u);
  std::map<float, int> perEntrance;
  for (int i = 0; i < 300; ++i) ASSERT_NE(park.SpawnSkater(), 0u);
  for (const CSkater* skater : GetSkaterList()) ++perEntrance[skater->GetFrame().GetPosition().x];
  ASSERT_EQ(perEntrance.size(), 3u);
  for (const auto& entry : perEntrance) EXPECT_GT(entry.second, 60) << entry.first;
}

TEST(ParkScores, AveragesDivideByOneMoreThanTheCount) {
  DebugCapture quiet;
  CVerezIvor park(nullptr, nullptr);
  park.UpdateSkaterAverages();
  EXPECT_EQ(park.GetParkState().averageSkill, 0.0f);
  EXPECT_EQ(park.GetParkState().averageHappiness, 0.0f);
  park.GetParkState().variety = 0.4f;
  park.GetParkState().connectivity = 0.2f;
  park.UpdateSkaterAverages();
  EXPECT_NEAR(park.GetParkState().statisticsScore, 30.0f, 1e-5f);

  const float skills[3][3] = {{0.3f, 0.6f, 0.9f}, {0.0f, 0.0f, 0.3f}, {1.0f, 1.0f, 1.0f}};
  const float happiness[3] = {0.5f, 0.25f, 1.0f};
  for (int i = 0; i < 3; ++i) {
    CSkater* skater = new CSkater();
    skater->ollieSkill = skills[i][0];
    skater->airSkill = skills[i][1];
    skater->grindSkill = skills[i][2];
    skater->happiness = happiness[i];
    ASSERT_NE(park.RegisterNewObject(skater), 0u);
  }
  park.UpdateSkaterAverages();
  // Skills are 0.6, 0.1 and 1.0; three skaters divide by four, not three.
  EXPECT_NEAR(park.GetParkState().averageSkill, 1.7f / 4.0f, 1e-6f);
  EXPECT_NEAR(park.GetParkState().averageHappiness, 1.75f / 4.0f, 1e-6f);
  const float sum = 1.7f / 4.0f + 1.75f / 4.0f;
  EXPECT_NEAR(park.GetParkState().statisticsScore, sum * 13.0f + 0.6f * 50.0f, 1e-4f);
  EXPECT_NEAR(park.GetParkQuality(), 0.3, 1e-6);
  EXPECT_NEAR(park.GetParkRating(), 0.3 * 500.0 + 3.0 * (sum * 0.5) * 10.0, 1e-4);

  // The tick refreshes them only once more than a real second has gone by.
  GetSkaterList()[0]->happiness = 0.0f;
  for (int i = 0; i < 4; ++i) park.TickParkState(0.25f);  // exactly one second: not yet
  EXPECT_NEAR(park.GetParkState().averageHappiness, 1.75f / 4.0f, 1e-6f);
  park.TickParkState(0.25f);
  EXPECT_NEAR(park.GetParkState().averageHappiness, 1.25f / 4.0f, 1e-6f);
}

TEST(ParkSponsorship, OneOfferPerTickLowestFirst) {
  DebugCapture quiet;
  CVerezIvor park(nullptr, nullptr);
  park.GetParkState().variety = 1.0f;
  park.GetParkState().connectivity = 0.7f;  // rating 425: past 300 and 400
  park.TickParkState(0.03f);
  ASSERT_EQ(park.GetLayerCount(), 1u);
  const auto* notice = dynamic_cast<const CSponsorshipNotice*>(park.GetLayer(0));
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(notice->GetSlot(), 0);
  EXPECT_EQ(park.GetParkState().sponsorships[0].offered, 1);
  EXPECT_EQ(park.GetParkState().sponsorships[1].offered, 0);
  park.TickParkState(0.03f);
  ASSERT_EQ(park.GetLayerCount(), 2u);
  EXPECT_EQ(dynamic_cast<const CSponsorshipNotice*>(park.GetLayer(1))->GetSlot(), 1);
  for (int i = 0; i < 10; ++i) park.TickParkState(0.03f);
  EXPECT_EQ(park.GetLayerCount(), 2u);
  EXPECT_EQ(park.GetParkState().sponsorships[2].offered, 0);
  // A rating exactly at a threshold is not past it.
  park.GetParkState().connectivity = 0.0f;  // rating 250... then 500 exactly
  park.GetParkState().variety = 2.0f;
  EXPECT_EQ(park.OfferSponsorship(), -1);
  park.GetParkState().variety = 2.5f;  // 625: the remaining two, one per call
  EXPECT_EQ(park.OfferSponsorship(), 2);
  EXPECT_EQ(park.OfferSponsorship(), 3);
  EXPECT_EQ(park.OfferSponsorship(), -1);
  EXPECT_EQ(park.GetLayerCount(), 4u);
}

TEST(ParkTick, SlowMotionSlowsObjectsButNotTheCalendar) {
  DebugCapture quiet;
  CVerezIvor park(nullptr, nullptr);
  StepRecorder* object = new StepRecorder();
  park.RegisterNewObject(object);
  park.GetParkState().timeSinceLastArrival = 0.0;
  park.GetParkState().moneyFraction = -0.5;
  plat::SetKeyState(CVerezIvor::kSlowMotionKey, true);
  plat::SetKeyState('1', true);
  const float dt = 0.9f;
  park.TickParkState(dt);
  park.TickSimulation(dt);
  plat::SetKeyState('1', false);
  plat::SetKeyState(CVerezIvor::kSlowMotionKey, false);
  EXPECT_FLOAT_EQ(object->last, dt / 8.0f);
  EXPECT_NEAR(park.GetWorldTime(), dt / 8.0, 1e-7);
  EXPECT_NEAR(park.GetClock().GetHour(), 10.0 + dt * 400.0 / 3600.0, 1e-6);
  EXPECT_NEAR(park.GetParkState().timeSinceLastArrival, dt * 400.0, 1e-3);
  EXPECT_EQ(park.GetParkState().money, 9999);
  EXPECT_DOUBLE_EQ(park.GetParkState().moneyFraction, 0.5);
}

TEST(ParkTick, DebugChordTogglesAndTheHoldStopsTheSimulation) {
  DebugCapture capture;
  CVerezIvor park(nullptr, nullptr);
  StepRecorder* object = new StepRecorder();
  park.RegisterNewObject(object);
  ASSERT_FALSE(AreDebugKeysEnabled());
  // The switch flips when the full chord is let go, not while it is held.
  for (int key : CVerezIvor::kDebugChord) plat::SetKeyState(key, true);
  park.Simulate(0.01f);
  park.Simulate(0.01f);
  EXPECT_FALSE(AreDebugKeysEnabled());
  plat::SetKeyState(CVerezIvor::kDebugChord[1], false);
  park.Simulate(0.01f);
  EXPECT_TRUE(AreDebugKeysEnabled());
  EXPECT_NE(capture.Text().find("Debug keys enabled"), std::string::npos);
  park.Simulate(0.01f);  // one switch per chord
  EXPECT_TRUE(AreDebugKeysEnabled());
  plat::SetKeyState(CVerezIvor::kDebugChord[0], false);
  plat::SetKeyState(CVerezIvor::kDebugChord[2], false);

  // Ctrl, Shift and P hold objects and arrivals while the debug keys are on.
  plat::SetKeyState(VK_CONTROL, true);
  plat::SetKeyState(VK_SHIFT, true);
  plat::SetKeyState('P', true);
  object->last = -1.0f;
  const double waited = park.GetParkState().timeSinceLastArrival;
  park.TickSimulation(0.05f);
  EXPECT_EQ(object->last, -1.0f);
  EXPECT_EQ(park.GetParkState().timeSinceLastArrival, waited);
  SetDebugKeysEnabled(false);  // without the debug keys the same keys do nothing
  park.TickSimulation(0.05f);
  EXPECT_FLOAT_EQ(object->last, 0.05f);
  plat::SetKeyState(VK_CONTROL, false);
  plat::SetKeyState(VK_SHIFT, false);
  plat::SetKeyState('P', false);
}

TEST(ParkWorld, StatusTextIsDrawnBesideTheCursor) {
  DebugCapture quiet;
  RecordingRasterizer rasterizer(640, 480);
  CVerezIvor park(nullptr, nullptr);
  CRenderView view;
  view.Setup(&rasterizer, nullptr, park.GetFogState(), park.GetLightList(), 31);
  park.SetRenderView(&view);

  struct Case { int cursorX, cursorY; };
  const Case cases[] = {{320, 240}, {3, 4}, {639, 479}};
  for (const Case& c : cases) {
    park.cursorX = c.cursorX;
    park.cursorY = c.cursorY;
    std::fill(rasterizer.frame.begin(), rasterizer.frame.end(), 0);
    park.SetStatusText("RAMP 200");
    const CUILabel* label = park.GetStatusLabel();
    int left = c.cursorX - label->GetWidth() / 2, top = c.cursorY - 12;
    if (left < 0) left = 0;
    if (top < 0) top = 0;
    PixelBufferDesc* locked = nullptr;
    park.DrawOverlay(&view, &locked);
    EXPECT_EQ(locked, nullptr);
    EXPECT_EQ(rasterizer.lockDepth, 0);
    int inside = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) {
        if (rasterizer.frame[static_cast<size_t>(y) * 640 + x] == 0) continue;
        ASSERT_GE(x, left);
        ASSERT_LT(x, left + label->GetWidth());
        ASSERT_GE(y, top);
        ASSERT_LT(y, top + label->GetHeight());
        ++inside;
      }
    EXPECT_GT(inside, 0) << c.cursorX;
  }
  // An empty status draws nothing and takes no lock.
  park.SetStatusText(nullptr);
  rasterizer.Forget();
  PixelBufferDesc* locked = nullptr;
  park.DrawOverlay(&view, &locked);
  EXPECT_EQ(rasterizer.Count("LockBackBuffer"), 0);

  // Textures of the level go to the renderer once each, at the level from the detail setting.
  int a = 0, b = 0;
  park.SetLevelTextures({reinterpret_cast<CTexture*>(&a), nullptr, reinterpret_cast<CTexture*>(&b)});
  rasterizer.Forget();
  park.PreloadLevelTextures();
  EXPECT_EQ(rasterizer.Count("LoadTexture"), 2);
  EXPECT_EQ(CVerezIvor::TextureDetailLevel(1.0f), 0u);
  EXPECT_EQ(CVerezIvor::TextureDetailLevel(0.5f), 1u);
  EXPECT_EQ(CVerezIvor::TextureDetailLevel(0.4f), 1u);
  EXPECT_EQ(CVerezIvor::TextureDetailLevel(0.0f), 2u);
  EXPECT_EQ(CVerezIvor::TextureDetailLevel(-3.0f), 2u);
  EXPECT_EQ(CVerezIvor::TextureDetailLevel(std::nanf("")), 0u);
}

TEST(ParkWorld, GridIsOwnedAndLetGoBeforeShutdown) {
  DebugCapture quiet;
  CVerezIvor park(nullptr, nullptr);
  park.SetGrid(new CGrid());
  park.SetGrid(new CGrid());  // the first is deleted (the leak checker watches)
  EXPECT_NE(park.GetGrid(), nullptr);
  park.ClearGrid();
  EXPECT_EQ(park.GetGrid(), nullptr);
  EXPECT_EQ(park.SpawnSkater(), 0u);
  for (int i = 0; i < CVerezIvor::kDebugFlagCount; ++i) EXPECT_FALSE(park.GetDebugFlag(i));
  park.ToggleDebugFlag(2);
  park.ToggleDebugFlag(9);
  park.ToggleDebugFlag(-1);
  EXPECT_TRUE(park.GetDebugFlag(2));
  EXPECT_FALSE(park.GetDebugFlag(9));
}

}  // namespace
