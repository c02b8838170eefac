// SDL events become the window messages the window procedure expects.
#include "platform/system/Platform.h"
#include "platform/system/Win32.h"
#include "platform/window/WindowRegistry.h"
#include "tests/platform/window/WindowTestSupport.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<MSG> Pump() {
  std::vector<MSG> messages;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) messages.push_back(msg);
  return messages;
}

void PushWindowEvent(HWND window, SDL_WindowEventID id) {
  PushEvent(SDL_WINDOWEVENT, [&](SDL_Event& e) {
    e.window.windowID = window->sdlId;
    e.window.event = id;
  });
}

void PushButton(HWND window, Uint32 type, Uint8 button) {
  PushEvent(type, [&](SDL_Event& e) {
    e.button.windowID = window->sdlId;
    e.button.button = button;
    e.button.x = 10;
    e.button.y = 20;
  });
}

}  // namespace

TEST_F(WindowTest, KeysArriveAsVirtualKeyMessagesAndKeyState) {
  Pump();
  struct Case {
    SDL_Scancode scancode;
    SDL_Keycode keycode;
    int virtualKey;
  } cases[] = {
      {SDL_SCANCODE_GRAVE, SDLK_BACKQUOTE, VK_OEM_3}, {SDL_SCANCODE_A, SDLK_a, 'A'},
      {SDL_SCANCODE_Z, SDLK_z, 'Z'},                  {SDL_SCANCODE_1, SDLK_1, '1'},
      {SDL_SCANCODE_0, SDLK_0, '0'},                  {SDL_SCANCODE_F1, SDLK_F1, VK_F1},
      {SDL_SCANCODE_F12, SDLK_F12, VK_F12},           {SDL_SCANCODE_LEFT, SDLK_LEFT, VK_LEFT},
      {SDL_SCANCODE_DOWN, SDLK_DOWN, VK_DOWN},        {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, VK_ESCAPE},
      {SDL_SCANCODE_PAUSE, SDLK_PAUSE, VK_PAUSE},     {SDL_SCANCODE_KP_0, SDLK_KP_0, VK_NUMPAD0},
      {SDL_SCANCODE_KP_9, SDLK_KP_9, VK_NUMPAD0 + 9},
      // Letters follow the layout: the key at Q's place typing 'a' is 'A'.
      {SDL_SCANCODE_Q, SDLK_a, 'A'},
      // Side modifiers: the message names the generic key, the table knows the side.
      {SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, VK_SHIFT},
  };
  for (const Case& c : cases) {
    for (bool down : {true, false}) {
      GetAsyncKeyState(c.virtualKey);
      PushKey(window_, down, c.scancode, c.keycode);
      const std::vector<MSG> messages = Pump();
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0].message, down ? WM_KEYDOWN : WM_KEYUP);
      EXPECT_EQ(messages[0].hwnd, window_);
      EXPECT_EQ(messages[0].wParam, static_cast<WPARAM>(c.virtualKey)) << "scancode " << c.scancode;
      EXPECT_EQ(static_cast<uint16_t>(GetAsyncKeyState(c.virtualKey)), down ? 0x8001 : 0);
      if (c.virtualKey == VK_SHIFT) EXPECT_EQ((GetAsyncKeyState(VK_LSHIFT) & 0x8000) != 0, down);
    }
  }
}

TEST_F(WindowTest, MouseEventsCarryClientPositionButtonsAndWheelDelta) {
  Pump();
  PushEvent(SDL_MOUSEMOTION, [&](SDL_Event& e) {
    e.motion.windowID = window_->sdlId;
    e.motion.x = 100;
    e.motion.y = 200;
  });
  PushButton(window_, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
  PushButton(window_, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT);
  PushButton(window_, SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
  PushButton(window_, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE);
  PushButton(window_, SDL_MOUSEBUTTONUP, SDL_BUTTON_MIDDLE);
  PushEvent(SDL_MOUSEWHEEL, [&](SDL_Event& e) {
    e.wheel.windowID = window_->sdlId;
    e.wheel.y = -2;
  });

  const std::vector<MSG> messages = Pump();
  ASSERT_EQ(messages.size(), 7u);
  // The button words name the buttons held after the event: the released one is gone.
  const UINT kinds[] = {WM_MOUSEMOVE,  WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_LBUTTONUP,
                        WM_MBUTTONDOWN, WM_MBUTTONUP,   WM_MOUSEWHEEL};
  const WPARAM words[] = {0, MK_LBUTTON, MK_LBUTTON | MK_RBUTTON, MK_RBUTTON, MK_RBUTTON | MK_MBUTTON, MK_RBUTTON,
                          MAKEWPARAM(MK_RBUTTON, static_cast<WORD>(-2 * WHEEL_DELTA))};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(messages[i].message, kinds[i]) << i;
    EXPECT_EQ(messages[i].wParam, words[i]) << i;
    if (i > 0 && i < 6) EXPECT_EQ(messages[i].lParam, MAKELPARAM(10, 20)) << i;
  }
  EXPECT_EQ(messages[0].lParam, MAKELPARAM(100, 200));

  // Offscreen windows sit at the screen origin, so screen and client agree.
  POINT point;
  ASSERT_TRUE(GetCursorPos(&point));
  EXPECT_EQ(point.x, 10);
  EXPECT_EQ(point.y, 20);
  ASSERT_TRUE(ScreenToClient(window_, &point));
  EXPECT_EQ(point.x, 10);
  EXPECT_NE(GetAsyncKeyState(VK_RBUTTON) & 0x8000, 0);
  plat::SetKeyState(VK_RBUTTON, false);
}

TEST_F(WindowTest, TextFocusAndCloseEvents) {
  ShowWindow(window_, SW_SHOW);
  Pump();
  PushEvent(SDL_TEXTINPUT, [&](SDL_Event& e) {
    e.text.windowID = window_->sdlId;
    // a, e-acute, a stray continuation byte, euro sign, a four-byte skateboard
    std::strcpy(e.text.text, "a\xC3\xA9\x80\xE2\x82\xAC\xF0\x9F\x9B\xB9");
  });
  PushWindowEvent(window_, SDL_WINDOWEVENT_FOCUS_LOST);
  PushWindowEvent(window_, SDL_WINDOWEVENT_FOCUS_LOST);  // reported once
  PushWindowEvent(window_, SDL_WINDOWEVENT_FOCUS_GAINED);
  PushWindowEvent(window_, SDL_WINDOWEVENT_MINIMIZED);
  PushWindowEvent(window_, SDL_WINDOWEVENT_CLOSE);
  PushEvent(SDL_QUIT, [](SDL_Event&) {});  // the close is already queued: not a second one

  const std::vector<MSG> messages = Pump();
  ASSERT_EQ(messages.size(), 8u);
  const UINT kinds[] = {WM_CHAR, WM_CHAR, WM_CHAR, WM_CHAR, WM_ACTIVATE, WM_ACTIVATE, WM_ACTIVATE, WM_CLOSE};
  const WPARAM words[] = {'a', 0xE9, 0x20AC, 0x1F6F9, WA_INACTIVE, WA_ACTIVE, MAKEWPARAM(WA_INACTIVE, 1), 0};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(messages[i].message, kinds[i]) << i;
    EXPECT_EQ(messages[i].hwnd, window_) << i;
    if (i < 7) EXPECT_EQ(messages[i].wParam, words[i]) << i;
  }
  // SDL's quit (the last window gone, or a signal) closes each window that is not closing yet.
  PushEvent(SDL_QUIT, [](SDL_Event&) {});
  const std::vector<MSG> quit = Pump();
  ASSERT_EQ(quit.size(), 1u);
  EXPECT_TRUE(quit[0].message == WM_CLOSE && quit[0].hwnd == window_);
}
