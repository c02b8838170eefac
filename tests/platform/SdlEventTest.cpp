// SDL events become the window messages the window procedure expects.
#include "platform/Platform.h"
#include "platform/Win32.h"
#include "platform/WindowRegistry.h"
#include "tests/platform/WindowTestSupport.h"

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

void PushKey(HWND window, bool down, SDL_Scancode scancode, SDL_Keycode keycode) {
  SDL_Event event;
  std::memset(&event, 0, sizeof(event));
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.windowID = window->sdlId;
  event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.scancode = scancode;
  event.key.keysym.sym = keycode;
  ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

void PushWindowEvent(HWND window, SDL_WindowEventID id) {
  SDL_Event event;
  std::memset(&event, 0, sizeof(event));
  event.type = SDL_WINDOWEVENT;
  event.window.windowID = window->sdlId;
  event.window.event = id;
  ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
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
  };
  for (const Case& c : cases) {
    GetAsyncKeyState(c.virtualKey);
    PushKey(window_, true, c.scancode, c.keycode);
    std::vector<MSG> messages = Pump();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, WM_KEYDOWN);
    EXPECT_EQ(messages[0].hwnd, window_);
    EXPECT_EQ(messages[0].wParam, static_cast<WPARAM>(c.virtualKey)) << "scancode " << c.scancode;
    EXPECT_EQ(static_cast<uint16_t>(GetAsyncKeyState(c.virtualKey)), 0x8001);

    PushKey(window_, false, c.scancode, c.keycode);
    messages = Pump();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, WM_KEYUP);
    EXPECT_EQ(messages[0].wParam, static_cast<WPARAM>(c.virtualKey));
    EXPECT_EQ(GetAsyncKeyState(c.virtualKey), 0);
  }

  // Side modifiers: the message names the generic key, the table knows the side.
  PushKey(window_, true, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT);
  std::vector<MSG> messages = Pump();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].wParam, static_cast<WPARAM>(VK_SHIFT));
  EXPECT_NE(GetAsyncKeyState(VK_LSHIFT) & 0x8000, 0);
  EXPECT_NE(GetAsyncKeyState(VK_SHIFT) & 0x8000, 0);
  PushKey(window_, false, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT);
  Pump();
  EXPECT_EQ(GetAsyncKeyState(VK_SHIFT) & 0x8000, 0);
}

TEST_F(WindowTest, MouseEventsCarryClientPositionButtonsAndWheelDelta) {
  Pump();
  SDL_Event event;
  std::memset(&event, 0, sizeof(event));
  event.type = SDL_MOUSEMOTION;
  event.motion.windowID = window_->sdlId;
  event.motion.x = 100;
  event.motion.y = 200;
  SDL_PushEvent(&event);

  std::memset(&event, 0, sizeof(event));
  event.type = SDL_MOUSEBUTTONDOWN;
  event.button.windowID = window_->sdlId;
  event.button.button = SDL_BUTTON_LEFT;
  event.button.x = 10;
  event.button.y = 20;
  SDL_PushEvent(&event);
  event.button.button = SDL_BUTTON_RIGHT;
  SDL_PushEvent(&event);
  event.type = SDL_MOUSEBUTTONUP;
  event.button.button = SDL_BUTTON_LEFT;
  SDL_PushEvent(&event);

  std::memset(&event, 0, sizeof(event));
  event.type = SDL_MOUSEWHEEL;
  event.wheel.windowID = window_->sdlId;
  event.wheel.y = -2;
  SDL_PushEvent(&event);

  const std::vector<MSG> messages = Pump();
  ASSERT_EQ(messages.size(), 5u);
  EXPECT_EQ(messages[0].message, WM_MOUSEMOVE);
  EXPECT_EQ(messages[0].lParam, MAKELPARAM(100, 200));
  EXPECT_EQ(messages[1].message, WM_LBUTTONDOWN);
  EXPECT_EQ(messages[1].lParam, MAKELPARAM(10, 20));
  EXPECT_EQ(messages[1].wParam, MK_LBUTTON);
  EXPECT_EQ(messages[2].message, WM_RBUTTONDOWN);
  EXPECT_EQ(messages[2].wParam, MK_LBUTTON | MK_RBUTTON);
  EXPECT_EQ(messages[3].message, WM_LBUTTONUP);
  EXPECT_EQ(messages[3].wParam, MK_RBUTTON);  // the released button is no longer held
  EXPECT_EQ(messages[4].message, WM_MOUSEWHEEL);
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(messages[4].wParam), -2 * WHEEL_DELTA);
  EXPECT_EQ(LOWORD(messages[4].wParam), MK_RBUTTON);

  // Offscreen windows sit at the screen origin, so screen and client agree.
  POINT point;
  ASSERT_TRUE(GetCursorPos(&point));
  EXPECT_EQ(point.x, 10);
  EXPECT_EQ(point.y, 20);
  EXPECT_NE(GetAsyncKeyState(VK_RBUTTON) & 0x8000, 0);
  plat::SetKeyState(VK_RBUTTON, false);
}

TEST_F(WindowTest, TextFocusAndCloseEvents) {
  ShowWindow(window_, SW_SHOW);
  Pump();
  Received().clear();

  SDL_Event event;
  std::memset(&event, 0, sizeof(event));
  event.type = SDL_TEXTINPUT;
  event.text.windowID = window_->sdlId;
  std::strcpy(event.text.text, "a\xC3\xA9\xE2\x82\xAC");  // a, e-acute, euro sign
  ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
  PushWindowEvent(window_, SDL_WINDOWEVENT_FOCUS_LOST);
  PushWindowEvent(window_, SDL_WINDOWEVENT_FOCUS_LOST);  // reported once
  PushWindowEvent(window_, SDL_WINDOWEVENT_FOCUS_GAINED);
  PushWindowEvent(window_, SDL_WINDOWEVENT_MINIMIZED);
  PushWindowEvent(window_, SDL_WINDOWEVENT_CLOSE);

  std::vector<MSG> messages = Pump();
  ASSERT_EQ(messages.size(), 7u);
  EXPECT_EQ(messages[0].message, WM_CHAR);
  EXPECT_EQ(messages[0].wParam, static_cast<WPARAM>('a'));
  EXPECT_EQ(messages[1].wParam, 0xE9u);
  EXPECT_EQ(messages[2].wParam, 0x20ACu);
  EXPECT_EQ(messages[3].message, WM_ACTIVATE);
  EXPECT_EQ(LOWORD(messages[3].wParam), WA_INACTIVE);
  EXPECT_EQ(messages[4].message, WM_ACTIVATE);
  EXPECT_EQ(LOWORD(messages[4].wParam), WA_ACTIVE);
  EXPECT_EQ(messages[5].message, WM_ACTIVATE);
  EXPECT_EQ(HIWORD(messages[5].wParam), 1);  // minimised
  EXPECT_EQ(messages[6].message, WM_CLOSE);
  EXPECT_EQ(messages[6].hwnd, window_);
}
