// Fixture of the window tests: a registered test class, a window under the
// offscreen SDL driver, a private lock folder, and the messages its procedure saw.
#pragma once

#include "platform/system/Platform.h"
#include "platform/system/Win32.h"
#include "platform/window/WindowRegistry.h"
#include "tests/support/TempFolder.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using testing_support::DebugCapture;
using testing_support::TempFolder;

// Every logged text ends in one newline, so this counts the messages.
inline int LoggedLines(const DebugCapture& capture) {
  return static_cast<int>(std::count(capture.Text().begin(), capture.Text().end(), '\n'));
}

// Pushes an SDL event of the type, as the system would; fill sets the fields that matter.
template <typename Fill>
void PushEvent(Uint32 type, Fill fill) {
  SDL_Event event;
  std::memset(&event, 0, sizeof(event));
  event.type = type;
  fill(event);
  ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

inline void PushKey(HWND window, bool down, SDL_Scancode scancode, SDL_Keycode keycode, bool repeat = false,
                    Uint16 mod = KMOD_NONE) {
  PushEvent(down ? SDL_KEYDOWN : SDL_KEYUP, [&](SDL_Event& e) {
    e.key.windowID = window->sdlId;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym = {scancode, keycode, mod, 0};
  });
}

class WindowTest : public ::testing::Test {
 public:
  static constexpr const char* kClassName = "KvPlatformTest";
  using HookFunction = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)>;

  static std::vector<MSG>& Received() {
    static std::vector<MSG> received;
    return received;
  }
  // Optional extra behaviour of the procedure; returns true when it handled the message.
  static HookFunction& Hook() {
    static HookFunction hook;
    return hook;
  }
  static LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Received().push_back(MSG{window, message, wParam, lParam, 0, {0, 0}});
    LRESULT result = 0;
    if (Hook() && Hook()(window, message, wParam, lParam, &result)) return result;
    return DefWindowProcA(window, message, wParam, lParam);
  }
  static void DrainQueue() {
    for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) {
    }
  }
  static int Count(UINT message) {
    return static_cast<int>(std::count_if(Received().begin(), Received().end(),
                                          [message](const MSG& msg) { return msg.message == message; }));
  }
  static HWND MakeWindow(const char* title = "Kelvarun test", DWORD style = WS_THICKFRAME | WS_SYSMENU) {
    return CreateWindowA(kClassName, title, style, 0, 0, 648, 488, nullptr, nullptr, nullptr, nullptr);
  }

 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("KELVARUN_RUNTIME_DIR", folder_.Path().c_str(), 1);
    static const bool registered = [] {
      WNDCLASSA windowClass = {};
      windowClass.style = CS_HREDRAW | CS_VREDRAW;
      windowClass.lpfnWndProc = &WindowTest::Procedure;
      windowClass.lpszClassName = kClassName;
      return RegisterClassA(&windowClass) != 0;
    }();
    ASSERT_TRUE(registered);
    DrainQueue();
    Hook() = nullptr;
    window_ = MakeWindow();
    ASSERT_NE(window_, nullptr);
    Received().clear();  // tests see only what happens after the window exists
  }
  void TearDown() override {
    Hook() = nullptr;
    DestroyWindow(window_);
    DrainQueue();
    Received().clear();
    unsetenv("KELVARUN_RUNTIME_DIR");
  }

  TempFolder folder_;
  HWND window_ = nullptr;
};
