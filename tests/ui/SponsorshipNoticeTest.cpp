// The sponsorship notice marks its slot as it opens and closes on a key or click; a new game
// resets the park it is given.
#include <gtest/gtest.h>

#include <string>

#include "park/VerezIvor.h"
#include "tests/support/TempFolder.h"
#include "ui/NewGame.h"
#include "ui/SponsorshipNotice.h"

namespace {

TEST(SponsorshipNotice, MarksItsSlotAndClosesOnAPress) {
  testing_support::DebugCapture capture;
  CVerezIvor park(nullptr, nullptr);
  CSponsorshipNotice notice(2);
  EXPECT_TRUE(park.GetParkState().sponsorships[2].offered == 1 && park.GetParkState().sponsorships[1].offered == 0);
  InputEvent event;
  event.code = InputEvent::kButtonRelease;
  notice.HandleInputEvent(event);
  EXPECT_FALSE(notice.IsMarkedForRemoval());
  event.code = InputEvent::kButtonPress;
  notice.HandleInputEvent(event);
  EXPECT_TRUE(notice.IsMarkedForRemoval());
  CSponsorshipNotice stray(4), negative(-1);  // refused, not written
  EXPECT_NE(capture.Text().find("SponsorshipNotice: no slot 4"), std::string::npos);
}

TEST(NewGame, ResetsTheParkWithTheChosenStart) {
  testing_support::DebugCapture quiet;
  EXPECT_FALSE(StartNewGame(nullptr, 1, 5000, "x"));
  CVerezIvor park(nullptr, nullptr);
  park.GetParkState().sponsorships[0].offered = 1;
  park.GetClock().SetTime(3, 4, 15.5);
  ASSERT_TRUE(StartNewGame(&park, 2, 50000, "Harbour Bowl"));
  const ParkState& state = park.GetParkState();
  EXPECT_TRUE(state.levelIndex == 2 && state.money == 50000);
  EXPECT_TRUE(state.sponsorships[0].offered == 0 && std::string(state.parkName) == "Harbour Bowl");
  EXPECT_TRUE(park.GetClock().GetWeek() == 1 && park.GetClock().GetDay() == 1 && park.GetClock().GetHour() == 10.0);
  ASSERT_NE(park.GetCounter(), nullptr);
}

}  // namespace
