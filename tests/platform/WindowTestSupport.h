// Fixture of the window tests: a registered test class, a window under the
// offscreen SDL driver, a private lock folder, and the messages its procedure saw.
#pragma once

#include "platform/Platform.h"
#include "platform/Win32.h"
#include "tests/platform/PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

class WindowTest : public ::testing::Test {
 public:
  static constexpr const char* kClassName = "KvPlatformTest";

  // Every message the procedure received, in order.
  static std::vector<MSG>& Received() {
    static std::vector<MSG> received;
    return received;
  }
  // Optional extra behaviour of the procedure; returns true when it handled the message.
  static std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)>& Hook() {
    static std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)> hook;
    return hook;
  }
  static LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg = {};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    Received().push_back(msg);
    LRESULT result = 0;
    if (Hook() && Hook()(window, message, wParam, lParam, &result)) return result;
    return DefWindowProcA(window, message, wParam, lParam);
  }
  static void RegisterTestClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &WindowTest::Procedure;
    windowClass.lpszClassName = kClassName;
    registered = RegisterClassA(&windowClass) != 0;
  }
  static void DrainQueue() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  static int Count(UINT message) {
    int count = 0;
    for (const MSG& msg : Received()) count += msg.message == message;
    return count;
  }
  static HWND MakeWindow(const char* title = "Kelvarun test", DWORD style = WS_THICKFRAME | WS_SYSMENU) {
    return CreateWindowA(kClassName, title, style, 0, 0, 648, 488, nullptr, nullptr, nullptr, nullptr);
  }

 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("KELVARUN_RUNTIME_DIR", folder_.Path().c_str(), 1);
    RegisterTestClass();
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
