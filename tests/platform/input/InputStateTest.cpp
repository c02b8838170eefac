// The asynchronous key table and the cursor counter.
#include "platform/system/Platform.h"
#include "platform/system/Win32.h"

#include <gtest/gtest.h>

#include <random>

namespace {

bool Down(SHORT state) { return (static_cast<uint16_t>(state) & 0x8000) != 0; }

void ReleaseAll() {
  for (int key = 1; key < 256; ++key) {
    plat::SetKeyState(key, false);
    GetAsyncKeyState(key);
  }
}

}  // namespace

// Held keys reported down again are no new press; a tap between two queries reads up but pressed;
// each key keeps its own pressed bit, cleared by the query that saw it.
TEST(KeyStateTest, LongRandomRunAgreesWithAModelOfPressAndQuery) {
  ReleaseAll();
  const int keys[] = {'W', 'S', VK_SPACE, VK_F1, VK_OEM_3, VK_LBUTTON};
  struct Model {
    bool down = false;
    bool pressed = false;
  } model[6];
  std::mt19937 random(1234);
  for (int step = 0; step < 50000; ++step) {
    const int index = static_cast<int>(random() % 6);
    if (random() % 3 == 0) {
      const SHORT state = GetAsyncKeyState(keys[index]);
      ASSERT_EQ(Down(state), model[index].down) << "step " << step;
      ASSERT_EQ((state & 1) != 0, model[index].pressed) << "step " << step;
      model[index].pressed = false;
    } else {
      const bool down = random() % 2 == 0;
      if (down && !model[index].down) model[index].pressed = true;
      model[index].down = down;
      plat::SetKeyState(keys[index], down);
    }
  }
  ReleaseAll();
}

TEST(KeyStateTest, GenericModifierIsDownWhileEitherSideIs) {
  ReleaseAll();
  plat::SetKeyState(VK_LSHIFT, true);
  EXPECT_TRUE(Down(GetAsyncKeyState(VK_SHIFT)));
  plat::SetKeyState(VK_RSHIFT, true);
  plat::SetKeyState(VK_LSHIFT, false);
  EXPECT_TRUE(Down(GetAsyncKeyState(VK_SHIFT)));
  EXPECT_FALSE(Down(GetAsyncKeyState(VK_LSHIFT)));
  plat::SetKeyState(VK_RSHIFT, false);
  EXPECT_FALSE(Down(GetAsyncKeyState(VK_SHIFT)));
  plat::SetKeyState(VK_RCONTROL, true);
  EXPECT_TRUE(Down(GetAsyncKeyState(VK_CONTROL)));
  EXPECT_FALSE(Down(GetAsyncKeyState(VK_SHIFT)));
  ReleaseAll();
}

TEST(CursorTest, EveryHideNeedsItsOwnShow) {
  POINT point = {0, 0};
  EXPECT_FALSE(GetCursorPos(nullptr));
  EXPECT_FALSE(ScreenToClient(nullptr, &point));
  const int start = ShowCursor(TRUE) - 1;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ShowCursor(FALSE), start - i);
  EXPECT_EQ(ShowCursor(TRUE), start - 1);
  EXPECT_EQ(ShowCursor(TRUE), start);
}
