// Windows and the message queue: order, filters, dispatch, destruction and quit.
#include "platform/system/Platform.h"
#include "platform/system/Win32.h"
#include "tests/platform/window/WindowTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
constexpr UINT kUser = 0x0400;  // first message number free for programs
}

TEST_F(WindowTest, CreationSendsCreateAndShowingActivatesOnce) {
  HWND second = MakeWindow("second");
  ASSERT_NE(second, nullptr);
  ASSERT_EQ(Received().size(), 1u);
  EXPECT_TRUE(Received()[0].message == WM_CREATE && Received()[0].hwnd == second);

  EXPECT_FALSE(ShowWindow(second, SW_SHOWNORMAL));  // was hidden
  EXPECT_TRUE(ShowWindow(second, SW_RESTORE));      // already active: no second report
  ShowWindow(second, SW_HIDE);
  std::vector<WPARAM> activations;
  for (const MSG& m : Received())
    if (m.message == WM_ACTIVATE) activations.push_back(m.wParam);
  EXPECT_EQ(activations, (std::vector<WPARAM>{MAKEWPARAM(WA_ACTIVE, 0), MAKEWPARAM(WA_INACTIVE, 0)}));
  EXPECT_TRUE(DestroyWindow(second));
}

TEST_F(WindowTest, PostedAndInjectedMessagesKeepTheirOrderAndFiltersPick) {
  ASSERT_TRUE(PostMessageA(window_, kUser + 1, 10, 11));
  plat::InjectMessage(window_, kUser + 2, 20, 21);
  ASSERT_TRUE(PostMessageA(nullptr, kUser + 3, 30, 31));
  plat::InjectMessage(window_, kUser + 4, 40, 41);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));  // leaves the head in place
  EXPECT_EQ(msg.message, kUser + 1);
  for (UINT expected = kUser + 1; expected <= kUser + 4; ++expected) {
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, expected);
    EXPECT_EQ(msg.wParam, (expected - kUser) * 10);
    EXPECT_EQ(msg.lParam, static_cast<LPARAM>((expected - kUser) * 10 + 1));
    DispatchMessageA(&msg);
  }
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  // The thread message (no window) reaches no procedure; the others arrive in order.
  std::vector<UINT> seen;
  for (const MSG& m : Received()) seen.push_back(m.hwnd == window_ ? m.message : 0);
  EXPECT_EQ(seen, (std::vector<UINT>{kUser + 1, kUser + 2, kUser + 4}));

  PostMessageA(window_, kUser + 5, 0, 0);
  PostMessageA(nullptr, kUser + 6, 0, 0);
  PostMessageA(window_, WM_KEYDOWN, 'X', 0);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_CHAR, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_KEYDOWN);
  ASSERT_TRUE(PeekMessageA(&msg, window_, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, kUser + 5);
  EXPECT_FALSE(PeekMessageA(&msg, window_, 0, 0, PM_REMOVE));  // the rest has no window
  // The quit message comes after earlier messages and passes any filter.
  PostQuitMessage(3);
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, kUser + 6);
  EXPECT_EQ(GetMessageA(&msg, window_, kUser, kUser), FALSE);
  EXPECT_TRUE(msg.message == WM_QUIT && msg.wParam == 3u);
}

TEST_F(WindowTest, DestroySendsDestroyAtOnceAndDropsTheWindowsMessages) {
  PostMessageA(window_, kUser, 0, 0);
  PostMessageA(nullptr, kUser + 1, 0, 0);
  MSG stale;
  ASSERT_TRUE(PeekMessageA(&stale, nullptr, 0, 0, PM_NOREMOVE));

  // The shell's handler shuts down and posts the quit message from inside WM_DESTROY.
  Hook() = [&](HWND window, UINT message, WPARAM, LPARAM, LRESULT*) {
    if (message != WM_DESTROY) return false;
    EXPECT_FALSE(DestroyWindow(window));  // no second destruction from inside the first
    PostQuitMessage(0);
    return true;
  };
  ASSERT_TRUE(DestroyWindow(window_));
  EXPECT_EQ(Count(WM_DESTROY), 1);
  EXPECT_FALSE(DestroyWindow(window_));
  EXPECT_FALSE(PostMessageA(window_, kUser, 0, 0));
  RECT rect;
  EXPECT_FALSE(GetClientRect(window_, &rect));
  EXPECT_FALSE(SetWindowTextA(window_, "gone"));
  MSG none;
  EXPECT_EQ(GetMessageA(&none, window_, 0, 0), -1);  // waiting on a gone window would never end

  // A message read before the destruction reaches nobody.
  const size_t before = Received().size();
  DispatchMessageA(&stale);
  EXPECT_EQ(Received().size(), before);

  MSG msg;
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, kUser + 1);  // the window's own message was dropped
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
  window_ = nullptr;
}

TEST_F(WindowTest, CloseThroughTheDefaultProcedureDestroysTheWindow) {
  PostMessageA(window_, WM_CLOSE, 0, 0);
  MSG msg;
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  DispatchMessageA(&msg);
  EXPECT_EQ(Count(WM_CLOSE), 1);
  EXPECT_EQ(Count(WM_DESTROY), 1);
  EXPECT_EQ(FindWindowA(kClassName, nullptr), nullptr);
  window_ = nullptr;
}

TEST_F(WindowTest, ClassesLookupAndRefusedCreation) {
  WNDCLASSA duplicate = {};
  duplicate.lpfnWndProc = &WindowTest::Procedure;
  duplicate.lpszClassName = "kvplatformtest";  // class names ignore case
  DebugCapture capture;
  EXPECT_EQ(RegisterClassA(&duplicate), 0u);
  EXPECT_EQ(RegisterClassA(nullptr), 0u);
  EXPECT_EQ(CreateWindowA("NoSuchClass", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(LoggedLines(capture), 3);

  EXPECT_EQ(FindWindowA(kClassName, nullptr), window_);
  EXPECT_EQ(FindWindowA("KVPLATFORMTEST", "Kelvarun test"), window_);
  EXPECT_EQ(FindWindowA(kClassName, "other title"), nullptr);
  ASSERT_TRUE(SetWindowTextA(window_, "other title"));
  EXPECT_EQ(FindWindowA(kClassName, "other title"), window_);
  EXPECT_EQ(FindWindowA("NoSuchClass", nullptr), nullptr);

  // A procedure refusing WM_CREATE leaves no window behind.
  Hook() = [](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
    *result = -1;
    return message == WM_CREATE;
  };
  EXPECT_EQ(MakeWindow("refused"), nullptr);
  EXPECT_EQ(Count(WM_DESTROY), 1);
}

TEST_F(WindowTest, FramedWindowOfAnAdjustedRectangleHasTheBaseClientSize) {
  // The shell's arithmetic: adjusted rectangle plus frame and menu metrics.
  const DWORD style = WS_THICKFRAME | WS_SYSMENU;
  RECT rect = {0, 0, 640, 480};
  ASSERT_TRUE(AdjustWindowRect(&rect, style, FALSE));
  const int width = rect.right + GetSystemMetrics(SM_CXFRAME);
  const int height = rect.bottom + GetSystemMetrics(SM_CYMENU) + GetSystemMetrics(SM_CYFRAME);
  HWND framed = CreateWindowA(kClassName, "framed", style, 0, 0, width, height, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(framed, nullptr);
  RECT client;

  // Going borderless keeps the client size asked for, the whole base area, and reports the old style.
  EXPECT_EQ(static_cast<DWORD>(SetWindowLongA(framed, GWL_STYLE, static_cast<LONG>(WS_POPUP))), style);
  ASSERT_TRUE(GetClientRect(framed, &client));
  EXPECT_TRUE(client.left == 0 && client.right == 640);
  EXPECT_TRUE(client.top == 0 && client.bottom == 480);
  DestroyWindow(framed);
  HWND plain = CreateWindowA(kClassName, "no size asked", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(GetClientRect(plain, &client));
  EXPECT_TRUE(client.right == 640 && client.bottom == 480) << "the default size";
  DestroyWindow(plain);
}

TEST_F(WindowTest, TranslateMakesControlCharactersAheadOfTheQueue) {
  PostMessageA(window_, kUser, 0, 0);
  MSG key = {};
  key.hwnd = window_;
  key.message = WM_KEYDOWN;
  key.wParam = 'Q';
  EXPECT_FALSE(TranslateMessage(&key));
  key.wParam = VK_RETURN;
  EXPECT_TRUE(TranslateMessage(&key));
  MSG msg;
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_TRUE(msg.message == WM_CHAR && msg.wParam == VK_RETURN);
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, kUser);
}
