// The input manager driven through the platform's hooks: keys and buttons injected as window
// input, joysticks as fakes, the key table through a settings object.
#include "core/input/InputMan.h"

#include "core/input/Settings.h"
#include "platform/input/Joystick.h"
#include "platform/system/Platform.h"
#include "tests/support/PlainWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

uint32_t Neg(uint32_t action) { return 0u - action; }

std::vector<uint32_t> Codes(const std::vector<InputEvent>& events) {
  std::vector<uint32_t> codes;
  for (const InputEvent& e : events) codes.push_back(e.code);
  return codes;
}

void DrainMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

class InputManTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::ClearFakeJoysticks();
    SetCapsLock(false);
    input.Init(nullptr, nullptr);
  }
  void TearDown() override {
    input.Shutdown();
    for (int key : {VK_SHIFT, VK_LSHIFT, int('A'), int('Z'), int('2')}) plat::SetKeyState(key, false);
    SetCapsLock(false);
    plat::ClearFakeJoysticks();
    DrainMessages();
  }

  // A key message as the window system makes it; auto-repeat sets the previous-state bit.
  static void Key(int key, bool down, bool repeat = false) {
    uint32_t flags = 1;
    if (!down || repeat) flags |= 1u << 30;
    if (!down) flags |= 1u << 31;
    plat::InjectMessage(nullptr, down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(key), static_cast<LPARAM>(flags));
    DrainMessages();
  }
  static void Tap(int key) {
    Key(key, true);
    Key(key, false);
  }
  static void SetCapsLock(bool on) {
    if (((GetKeyState(VK_CAPITAL) & 1) != 0) != on) {
      plat::SetKeyState(VK_CAPITAL, true);
      plat::SetKeyState(VK_CAPITAL, false);
    }
  }
  static void Button(UINT message, int x, int y) {
    plat::SetCursorScreenPos(x, y);
    plat::InjectMessage(nullptr, message, 0, MAKELPARAM(x, y));
    DrainMessages();
  }
  std::vector<InputEvent> Take() {
    std::vector<InputEvent> events;
    input.TakeEvents(events);
    return events;
  }
  // The characters of the key events taken.
  std::string Typed() {
    std::string text;
    for (const InputEvent& e : Take()) {
      if (e.code == InputEvent::kKey) text += static_cast<char>(static_cast<int>(e.y));
    }
    return text;
  }

  CInputMan input;
};

TEST_F(InputManTest, HeldKeyGivesOnePressAndOneReleasePerBinding) {
  input.AddBinding(CInputMan::kKeyboardSlot, 'Z', 18);
  input.AddBinding(CInputMan::kKeyboardSlot, 'Z', 69);
  input.AddBinding(CInputMan::kKeyboardSlot, VK_UP, 62);
  input.AddBinding(CInputMan::kMouseSlot, 'Z', 50);  // another device's code 90 must not match
  for (int key : {int('Z'), VK_UP}) {
    Key(key, true);
    for (int i = 0; i < 5; ++i) Key(key, true, true);  // auto-repeat
    Key(key, false);
  }
  const std::vector<InputEvent> events = Take();
  ASSERT_EQ(Codes(events), (std::vector<uint32_t>{InputEvent::kKey, 18, 69, Neg(18), Neg(69), 62, Neg(62)}));
  EXPECT_EQ(events[0].y, 'z');
  input.Shutdown();  // the hooks are gone
  Tap('Z');
  EXPECT_TRUE(Take().empty());
}

TEST_F(InputManTest, ShiftDigitsCapsLockAndPunctuation) {
  input.SetTextEntry(true);
  Key(VK_SHIFT, true);
  for (int digit = '0'; digit <= '9'; ++digit) Tap(digit);
  for (int key : {int('A'), VK_OEM_COMMA}) Tap(key);
  Key(VK_SHIFT, false);
  for (int key : {int('2'), int('A'), VK_SPACE, VK_OEM_PERIOD, VK_OEM_7, VK_F1}) Tap(key);
  EXPECT_EQ(Typed(), ")!@#$%^&*(A<2a .'");

  // Caps Lock counts while it is on, not when it was pressed since someone last asked.
  Tap(VK_CAPITAL);
  GetAsyncKeyState(VK_CAPITAL);  // another reader takes the pressed-lately bit
  Tap('A');
  Tap(VK_CAPITAL);  // off again, though pressed since the last query
  Tap('A');
  EXPECT_EQ(Typed(), "Aa");
}

TEST_F(InputManTest, FrontEndAndTextEntryModes) {
  input.AddBinding(CInputMan::kKeyboardSlot, 'Z', 18);
  input.AddBinding(CInputMan::kKeyboardSlot, VK_ESCAPE, 71);
  input.AddBinding(CInputMan::kMouseSlot, CInputMan::kMouseLeft, 49);
  input.AddBinding(CInputMan::kMouseSlot, CInputMan::kMouseRight, 50);
  input.AddBinding(CInputMan::kMouseSlot, CInputMan::kMouseMiddle, 51);
  input.AddBinding(CInputMan::kJoystick0Slot, 1, 66);

  // Front end: text and the raw button (at the client position), no actions from any device.
  input.SetFrontEndMode(true);
  Tap('Z');
  Tap(VK_ESCAPE);
  Button(WM_LBUTTONDOWN, 5, 6);
  Button(WM_LBUTTONUP, 5, 6);
  input.AddPendingInput(CInputMan::kJoystick0Slot, 1, false, 1.0f);
  input.BeginFrame();
  std::vector<InputEvent> events = Take();
  ASSERT_EQ(Codes(events), (std::vector<uint32_t>{InputEvent::kKey, InputEvent::kButtonPress, InputEvent::kButtonRelease}));
  EXPECT_TRUE(events[1].x == 5.0f && events[1].y == 6.0f && events[1].value == 1.0f);

  // Text entry: the keys that type give text only; other keys and the mouse keep their actions.
  input.SetTextEntry(true);
  Tap('Z');
  Tap(VK_ESCAPE);
  EXPECT_EQ(Codes(Take()), (std::vector<uint32_t>{InputEvent::kKey, 71, Neg(71)}));
  input.SetFrontEndMode(false);
  Tap('Z');
  for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP}) Button(m, 5, 6);
  EXPECT_EQ(Codes(Take()), (std::vector<uint32_t>{InputEvent::kKey, 49, InputEvent::kButtonPress, Neg(49),
                                                  InputEvent::kButtonRelease, 50, Neg(50), 51, Neg(51)}));
  // In game: every bound key acts, text keys included.
  input.SetTextEntry(false);
  Tap('Z');
  EXPECT_EQ(Codes(Take()), (std::vector<uint32_t>{InputEvent::kKey, 18, Neg(18)}));
}

TEST_F(InputManTest, MouseMovementIsClampedScaledAndBecomesActionsAndEdgeScrollIsMeasured) {
  // The mouse's movement codes as key files number them: 6 left, 7 right, 8 up, 9 down.
  input.AddBinding(CInputMan::kMouseSlot, 7, 53);
  input.AddBinding(CInputMan::kMouseSlot, 8, 54);
  input.AddBinding(CInputMan::kMouseSlot, 6, 55);
  input.AddBinding(CInputMan::kMouseSlot, 9, 56);
  input.SetMouseScales(0.5f, -0.5f);  // limits of 21 and 59 pixels
  plat::SetCursorScreenPos(100, 100);
  for (int i = 0; i < 3; ++i) input.BeginFrame();  // the move there, its filtering, then rest
  Take();
  plat::SetCursorScreenPos(110, 70);
  input.GetMousePos();
  input.BeginFrame();
  // Text entry does not take mouse code 8 (up) for the Backspace key.
  input.SetTextEntry(true);
  input.BeginFrame();  // no movement: both amounts fall back to 0, releases carry the old amount
  std::vector<InputEvent> events = Take();
  ASSERT_EQ(Codes(events), (std::vector<uint32_t>{53, 54, Neg(53), Neg(54)}));
  EXPECT_FLOAT_EQ(events[0].value, 10.0f / 21.0f);
  EXPECT_FLOAT_EQ(events[3].value, 30.0f / 59.0f);

  // A scale past 40/38 leaves a one-pixel limit instead of a division by zero or an inverted clamp.
  input.SetMouseScales(2.0f, 40.0f / 38.0f);
  plat::SetCursorScreenPos(100, 105);
  input.GetMousePos();
  input.BeginFrame();
  EXPECT_FLOAT_EQ(input.GetMouseDelta().x, -1.0f);
  EXPECT_FLOAT_EQ(input.GetMouseDelta().y, 1.0f);
  EXPECT_EQ(Codes(Take()), (std::vector<uint32_t>{55, 56}));

  // In game a locked pointer goes back where the frame found it, and the warp is no movement.
  input.SetMouseScales(0.5f, 0.5f);
  for (int i = 0; i < 3; ++i) input.BeginFrame();
  plat::SetCursorScreenPos(110, 105);
  input.LockCursor();
  input.BeginFrame();
  POINT at = {};
  ASSERT_TRUE(GetCursorPos(&at));
  EXPECT_TRUE(at.x == 100 && at.y == 105);
  input.BeginFrame();
  EXPECT_FLOAT_EQ(input.GetMouseDelta().x, 10.0f / 21.0f);
  input.BeginFrame();
  EXPECT_FLOAT_EQ(input.GetMouseDelta().x, 0.0f);
  HWND window = testing_support::MakePlainWindow("KelvarunInputTest", "input", WS_POPUP, 200, 100);
  input.Init(nullptr, window);
  plat::SetCursorScreenPos(190, 5);  // edge scroll: the rectangle spans 50 to 150 across, 10 to 90 down
  EXPECT_EQ(input.GetEdgeScroll(0.5f, 0.8f), Vector2(40.0f / 200.0f, -5.0f / 200.0f));
  ShowWindow(window, SW_SHOW);  // held only in the foreground
  input.ClampCursor(0.5f, 0.8f);  // back onto that rectangle's nearest corner
  ASSERT_TRUE(GetCursorPos(&at));
  EXPECT_TRUE(at.x == 150 && at.y == 10) << at.x << ", " << at.y;
  input.CenterCursor();  // in game, to the middle of the client area
  ASSERT_TRUE(GetCursorPos(&at));
  EXPECT_TRUE(at.x == 100 && at.y == 50) << at.x << ", " << at.y;
  DestroyWindow(window);
}

JOYCAPSA Caps(UINT flags, UINT buttons) {
  JOYCAPSA caps = {};
  caps.wXmax = caps.wYmax = caps.wZmax = caps.wRmax = caps.wUmax = caps.wVmax = 1000;
  caps.wCaps = flags;
  caps.wNumButtons = buttons;
  return caps;
}

JOYINFOEX Stick(DWORD x, DWORD y, DWORD z = 500, DWORD buttons = 0) {
  JOYINFOEX info = {};
  info.dwSize = sizeof(info);
  info.dwXpos = x;
  info.dwYpos = y;
  info.dwZpos = z;
  info.dwRpos = info.dwUpos = info.dwVpos = 500;
  info.dwButtons = buttons;
  return info;
}

TEST(InputManAxis, ThresholdsAndDegenerateRanges) {
  const JOYCAPSA caps = Caps(JOYCAPS_HASZ, 4);
  EXPECT_NEAR(CInputMan::AxisValue(caps, Stick(300, 500), 33), (0.3 - 0.496) / -0.496, 1e-6);  // 30 %: 0.395
  EXPECT_EQ(CInputMan::AxisValue(caps, Stick(4, 500), 33), 1.0f);  // above 0.99 snaps to 1
  EXPECT_LT(CInputMan::AxisValue(caps, Stick(5, 500), 33), 0.99f);
  // Over the whole range the values stay in [0, 1] and one direction at most is on.
  for (DWORD p = 0; p <= 1000; ++p) {
    const float low = CInputMan::AxisValue(caps, Stick(p, 500), 33);
    const float high = CInputMan::AxisValue(caps, Stick(p, 500), 34);
    ASSERT_TRUE(low >= 0.0f && low <= 1.0f && high >= 0.0f && high <= 1.0f && (low == 0.0f || high == 0.0f)) << p;
  }
  // A joystick reporting no range (or an inverted one) gives 0, never a division by zero.
  JOYCAPSA flat = Caps(0, 4);
  flat.wXmax = 0;
  flat.wYmin = 700;
  flat.wYmax = 300;
  for (uint32_t code = 33; code <= 36; ++code)
    for (DWORD p : {0u, 300u, 700u, 65535u}) EXPECT_EQ(CInputMan::AxisValue(flat, Stick(p, p), code), 0.0f);
}

TEST_F(InputManTest, JoystickPollMakesActionEventsAtTheThresholds) {
  input.Shutdown();
  plat::SetFakeJoystick(JOYSTICKID1, Caps(0, 4), Stick(500, 500, 0, 0));
  ASSERT_TRUE(input.Init(nullptr, nullptr));
  ASSERT_TRUE(input.AnyJoystickPresent());
  input.AddBinding(CInputMan::kJoystick0Slot, 33, 14);
  input.AddBinding(CInputMan::kJoystick0Slot, 37, 15);  // Z, which this joystick lacks
  input.AddBinding(CInputMan::kJoystick0Slot, 1, 16);
  CSettings settings;
  settings.SetBinding(CInputMan::kJoystick0Slot, 14, 33, false);
  settings.SetBinding(CInputMan::kJoystick0Slot, 16, 1, false);
  CSettings* previous = GetSettings();
  SetSettings(&settings);

  // The timer polls too; whoever polls first reports each change exactly once.
  auto step = [&](const JOYINFOEX& state) {
    plat::SetFakeJoystickState(JOYSTICKID1, state);
    input.PollJoysticks();
    input.BeginFrame();
    return Take();
  };
  EXPECT_TRUE(step(Stick(253, 500)).empty()) << "0.49 is below the threshold";
  EXPECT_NEAR(input.GetActionValue(14), 0.49, 1e-3);
  std::vector<InputEvent> events = step(Stick(248, 500));
  ASSERT_EQ(Codes(events), (std::vector<uint32_t>{14}));
  EXPECT_NEAR(events[0].value, 0.5, 1e-6);
  EXPECT_TRUE(step(Stick(0, 500, 0)).empty()) << "still on; Z is not reported";
  events = step(Stick(700, 500, 0, 1));
  ASSERT_EQ(Codes(events), (std::vector<uint32_t>{16, Neg(14)}));
  EXPECT_EQ(events[1].value, 1.0f) << "a release carries the amount before it";
  EXPECT_EQ(input.GetActionValue(14), 0.0f);

  // An unplugged joystick makes no events and keeps its last state.
  plat::ClearFakeJoysticks();
  EXPECT_TRUE(step(Stick(0, 0)).empty());
  EXPECT_EQ(input.GetActionValue(16), 1.0f);
  SetSettings(previous);
}

}  // namespace
