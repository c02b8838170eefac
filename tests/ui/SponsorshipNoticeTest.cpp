// The sponsorship notice marks its slot as it opens, draws centred and closes on a key or click;
// starting a new game resets the park it is given.
#include <gtest/gtest.h>

#include <string>

#include "core/InputEvent.h"
#include "park/VerezIvor.h"
#include "render/RenderView.h"
#include "tests/support/RecordingRasterizer.h"
#include "tests/support/TempFolder.h"
#include "ui/NewGame.h"
#include "ui/SponsorshipNotice.h"

namespace {

using testing_support::DebugCapture;

TEST(SponsorshipNotice, MarksItsSlotAndClosesOnAPress) {
  DebugCapture capture;
  CVerezIvor park(nullptr, nullptr);
  {
    CSponsorshipNotice notice(2);
    EXPECT_EQ(park.GetParkState().sponsorships[2].offered, 1);
    EXPECT_EQ(park.GetParkState().sponsorships[1].offered, 0);
    InputEvent release;
    release.code = InputEvent::kButtonRelease;
    notice.HandleInputEvent(release);
    EXPECT_FALSE(notice.IsMarkedForRemoval());
    InputEvent click;
    click.code = InputEvent::kButtonPress;
    notice.HandleInputEvent(click);
    EXPECT_TRUE(notice.IsMarkedForRemoval());
  }
  // A slot the park does not have is refused, not written.
  CSponsorshipNotice stray(4);
  CSponsorshipNotice negative(-1);
  EXPECT_NE(capture.Text().find("SponsorshipNotice: no slot 4"), std::string::npos);

  RecordingRasterizer rasterizer(640, 480);
  CRenderView view;
  view.Setup(&rasterizer, nullptr, park.GetFogState(), park.GetLightList(), 31);
  PixelBufferDesc* locked = nullptr;
  stray.Draw(&view, &locked);
  ASSERT_NE(locked, nullptr);  // the frame's shared lock is kept for the next drawer
  int lit = 0;
  for (uint16_t pixel : rasterizer.frame) lit += pixel != 0;
  EXPECT_GT(lit, 0);
  rasterizer.UnlockBackBuffer();
}

TEST(NewGame, ResetsTheParkWithTheChosenStart) {
  DebugCapture quiet;
  EXPECT_FALSE(StartNewGame(nullptr, 1, 5000, "x"));
  CVerezIvor park(nullptr, nullptr);
  park.GetParkState().money = 12;
  park.GetParkState().spentOnBuilding = 300.0;
  park.GetParkState().sponsorships[0].offered = 1;
  park.GetClock().SetTime(3, 4, 15.5);
  EXPECT_EQ(park.GetCounter(), nullptr);
  ASSERT_TRUE(StartNewGame(&park, 2, 50000, "Harbour Bowl"));
  EXPECT_EQ(park.GetParkState().levelIndex, 2);
  EXPECT_EQ(park.GetParkState().money, 50000);
  EXPECT_EQ(park.GetParkState().spentOnBuilding, 0.0);
  EXPECT_EQ(park.GetParkState().sponsorships[0].offered, 0);
  EXPECT_STREQ(park.GetParkState().parkName, "Harbour Bowl");
  EXPECT_EQ(park.GetClock().GetWeek(), 1u);
  EXPECT_EQ(park.GetClock().GetDay(), 1u);
  EXPECT_EQ(park.GetClock().GetHour(), 10.0);
  ASSERT_NE(park.GetCounter(), nullptr);
  EXPECT_EQ(park.GetCounter()->Get(), 0.0);
}

}  // namespace
