// The asynchronous key table, the cursor position and the cursor counter.
#include "platform/Platform.h"
#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <random>

namespace {

bool Down(SHORT state) { return (static_cast<uint16_t>(state) & 0x8000) != 0; }
bool PressedSinceLastQuery(SHORT state) { return (state & 1) != 0; }

void ReleaseAll() {
  for (int key = 1; key < 256; ++key) {
    plat::SetKeyState(key, false);
    GetAsyncKeyState(key);
  }
}

}  // namespace

TEST(KeyStateTest, PressedBitClearsAfterTheQueryThatSawIt) {
  ReleaseAll();
  EXPECT_EQ(GetAsyncKeyState('A'), 0);

  plat::SetKeyState('A', true);
  SHORT state = GetAsyncKeyState('A');
  EXPECT_TRUE(Down(state));
  EXPECT_TRUE(PressedSinceLastQuery(state));
  state = GetAsyncKeyState('A');
  EXPECT_TRUE(Down(state));
  EXPECT_FALSE(PressedSinceLastQuery(state));

  // Held keys that are reported down again do not count as new presses.
  plat::SetKeyState('A', true);
  EXPECT_FALSE(PressedSinceLastQuery(GetAsyncKeyState('A')));

  // A tap between two queries: up now, but pressed since the last query.
  plat::SetKeyState('A', false);
  plat::SetKeyState(VK_PAUSE, true);
  plat::SetKeyState(VK_PAUSE, false);
  state = GetAsyncKeyState(VK_PAUSE);
  EXPECT_FALSE(Down(state));
  EXPECT_TRUE(PressedSinceLastQuery(state));
  EXPECT_EQ(GetAsyncKeyState(VK_PAUSE), 0);

  // Each key keeps its own pressed bit.
  plat::SetKeyState('B', true);
  plat::SetKeyState('C', true);
  EXPECT_TRUE(PressedSinceLastQuery(GetAsyncKeyState('B')));
  EXPECT_TRUE(PressedSinceLastQuery(GetAsyncKeyState('C')));
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
  plat::SetKeyState(VK_RCONTROL, false);
  EXPECT_FALSE(Down(GetAsyncKeyState(VK_CONTROL)));
  ReleaseAll();
}

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
    const int key = keys[index];
    if (random() % 3 == 0) {
      const SHORT state = GetAsyncKeyState(key);
      ASSERT_EQ(Down(state), model[index].down) << "step " << step;
      ASSERT_EQ(PressedSinceLastQuery(state), model[index].pressed) << "step " << step;
      model[index].pressed = false;
    } else {
      const bool down = random() % 2 == 0;
      if (down && !model[index].down) model[index].pressed = true;
      model[index].down = down;
      plat::SetKeyState(key, down);
    }
  }
  ReleaseAll();
}

TEST(CursorTest, PositionAndShowCounter) {
  plat::SetCursorScreenPos(123, -7);
  POINT point = {0, 0};
  ASSERT_TRUE(GetCursorPos(&point));
  EXPECT_EQ(point.x, 123);
  EXPECT_EQ(point.y, -7);
  EXPECT_FALSE(GetCursorPos(nullptr));
  EXPECT_FALSE(ScreenToClient(nullptr, &point));

  // Every hide needs its own show before the cursor is back.
  const int start = ShowCursor(TRUE) - 1;
  EXPECT_EQ(ShowCursor(FALSE), start);
  EXPECT_EQ(ShowCursor(FALSE), start - 1);
  EXPECT_EQ(ShowCursor(FALSE), start - 2);
  EXPECT_EQ(ShowCursor(TRUE), start - 1);
  EXPECT_EQ(ShowCursor(TRUE), start);
}
