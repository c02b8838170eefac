// The button panel on its own: where it is placed and when a mouse press counts as a click.
#include <gtest/gtest.h>

#include "ui/ButtonPanel.h"

namespace {

POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

}  // namespace

TEST(ButtonPanel, APositionGivenAfterCentringIsWhereThePanelStays) {
  CButtonPanel panel;
  panel.SetTitle("MENU");
  panel.AddButton("GO", 7, 'G');
  panel.SetCentred();
  const RECT centred = panel.GetPanelRect();
  const POINT old = Centre(panel.GetButtonRect(0));
  ASSERT_NE(centred.left, 8);
  panel.SetPosition(8, 40);
  const RECT placed = panel.GetPanelRect();
  EXPECT_EQ(placed.left, 8);
  EXPECT_EQ(placed.top, 40);
  EXPECT_EQ(placed.right - placed.left, centred.right - centred.left) << "only moved, not resized";
  // The button goes with it: a press where it used to be misses, one where it is now clicks.
  panel.MouseInput(old.x, old.y, 1);
  panel.MouseInput(old.x, old.y, 0);
  EXPECT_EQ(panel.TakeCommand(), CButtonPanel::kNoCommand);
  const POINT at = Centre(panel.GetButtonRect(0));
  EXPECT_TRUE(at.x > 8 && at.x < placed.right && at.y > 40 && at.y < placed.bottom);
  panel.MouseInput(at.x, at.y, 1);
  EXPECT_EQ(panel.TakeCommand(), 7);
}

TEST(ButtonPanel, AHeldMouseButtonClicksOnceUntilReleased) {
  CButtonPanel panel;
  panel.SetPosition(0, 0);
  panel.AddButton("GO", 7, 'G');
  const POINT at = Centre(panel.GetButtonRect(0));
  // The layer reports the button state every tick while it is held.
  int clicks = 0;
  for (int tick = 0; tick < 5; ++tick) {
    panel.MouseInput(at.x, at.y, 1);
    clicks += panel.TakeCommand() == 7;
  }
  EXPECT_EQ(clicks, 1);
  panel.MouseInput(at.x, at.y, 0);
  EXPECT_EQ(panel.TakeCommand(), CButtonPanel::kNoCommand) << "a release is not a click";
  panel.MouseInput(at.x, at.y, 1);
  EXPECT_EQ(panel.TakeCommand(), 7) << "pressed again after the release";
  // Held down off the button and dragged onto it: not a click.
  panel.MouseInput(at.x, at.y, 0);
  panel.MouseInput(-50, -50, 1);
  panel.MouseInput(at.x, at.y, 1);
  EXPECT_EQ(panel.TakeCommand(), CButtonPanel::kNoCommand);
}
