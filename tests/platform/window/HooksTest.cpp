// Window hooks: chain order, passing on, swallowing, per-thread binding; keys from SDL and from
// injection reaching them with the message bits; the scancode table behind them.
#include "platform/window/Hooks.h"
#include "platform/input/InputState.h"
#include "platform/system/Platform.h"
#include "platform/window/WindowRegistry.h"
#include "tests/platform/window/WindowTestSupport.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Seen {
  char hook;
  int code;
  WPARAM wParam;
  LPARAM lParam;
};

std::vector<Seen> g_log;
HHOOK g_first = nullptr;
HHOOK g_second = nullptr;
bool g_swallow = false;

LRESULT FirstHook(int code, WPARAM wParam, LPARAM lParam) {
  g_log.push_back({'1', code, wParam, lParam});
  return CallNextHookEx(g_first, code, wParam, lParam);
}
LRESULT SecondHook(int code, WPARAM wParam, LPARAM lParam) {
  g_log.push_back({'2', code, wParam, lParam});
  if (g_swallow) return 1;
  return CallNextHookEx(g_second, code, wParam, lParam);
}

std::string Order() {
  std::string order;
  for (const Seen& seen : g_log) order += seen.hook;
  return order;
}

int QueuedCount() {
  int count = 0;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ++count;
  return count;
}

TEST(HookChain, NewestFirstPassedOnSwallowedAndBoundToTheirThread) {
  g_log.clear();
  QueuedCount();
  const DWORD thread = GetCurrentThreadId();
  g_first = SetWindowsHookExA(WH_KEYBOARD, FirstHook, nullptr, thread);
  g_second = SetWindowsHookExA(WH_KEYBOARD, SecondHook, nullptr, 0);  // 0: the calling thread
  ASSERT_NE(g_first, nullptr);
  ASSERT_NE(g_second, nullptr);
  testing_support::DebugCapture quiet;
  EXPECT_EQ(SetWindowsHookExA(3, FirstHook, nullptr, thread), nullptr) << "unsupported type";
  EXPECT_EQ(SetWindowsHookExA(WH_KEYBOARD, nullptr, nullptr, thread), nullptr);

  plat::InjectMessage(nullptr, WM_KEYDOWN, 'K', 0x00250001);
  EXPECT_EQ(Order(), "21");
  EXPECT_TRUE(g_log[1].wParam == 'K' && g_log[1].lParam == 0x00250001 && g_log[1].code == HC_ACTION);
  EXPECT_EQ(QueuedCount(), 1);

  // A swallowing hook ends the chain and the message is never queued.
  g_log.clear();
  g_swallow = true;
  plat::InjectMessage(nullptr, WM_KEYUP, 'K', static_cast<LPARAM>(0xC0250001u));
  EXPECT_EQ(Order(), "2");
  EXPECT_EQ(QueuedCount(), 0);
  g_swallow = false;

  // Other messages and other threads' input pass the keyboard hooks by.
  g_log.clear();
  plat::InjectMessage(nullptr, WM_CHAR, 'k', 1);
  std::thread other([] { plat::InjectMessage(nullptr, WM_KEYDOWN, 'K', 1); });
  other.join();
  EXPECT_EQ(Order(), "");
  EXPECT_EQ(QueuedCount(), 2);

  // Removing a hook leaves the rest of the chain whole.
  ASSERT_TRUE(UnhookWindowsHookEx(g_second));
  EXPECT_FALSE(UnhookWindowsHookEx(g_second));
  g_second = nullptr;
  g_log.clear();
  plat::InjectMessage(nullptr, WM_KEYDOWN, 'K', 1);
  EXPECT_EQ(Order(), "1");
  UnhookWindowsHookEx(g_first);
  g_first = nullptr;
  plat::SetKeyState('K', false);
  QueuedCount();

  // Injected mouse input meets the mouse hooks the same way: a swallowing one keeps it from the queue.
  g_second = SetWindowsHookExA(WH_MOUSE, SecondHook, nullptr, 0);
  plat::InjectMessage(nullptr, WM_MOUSEMOVE, 0, MAKELPARAM(3, 4));
  EXPECT_EQ(QueuedCount(), 1);
  g_swallow = true;
  plat::InjectMessage(nullptr, WM_MOUSEMOVE, 0, MAKELPARAM(5, 6));
  EXPECT_EQ(QueuedCount(), 0);
  g_swallow = false;
  UnhookWindowsHookEx(g_second);
  g_second = nullptr;
}

TEST_F(WindowTest, KeyboardHookSeesTransitionAndRepeatBitsOfRealKeys) {
  g_log.clear();
  g_first = SetWindowsHookExA(WH_KEYBOARD, FirstHook, nullptr, GetCurrentThreadId());
  PushKey(window_, true, SDL_SCANCODE_RSHIFT, SDLK_RSHIFT);
  PushKey(window_, true, SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, true);
  PushKey(window_, false, SDL_SCANCODE_RSHIFT, SDLK_RSHIFT);
  // Caps Lock's toggle follows the keyboard's lock state, on before we saw any press.
  PushKey(window_, true, SDL_SCANCODE_A, SDLK_a, false, KMOD_CAPS);
  DrainQueue();
  UnhookWindowsHookEx(g_first);
  g_first = nullptr;
  ASSERT_EQ(Order(), "1111");
  EXPECT_EQ(g_log[0].wParam, static_cast<WPARAM>(VK_SHIFT)) << "side keys arrive as the generic key";
  const uint32_t bits[] = {0, 1u << 30, 3u << 30, 0};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(static_cast<uint32_t>(g_log[i].lParam) & 0xC0000000u, bits[i]) << i;
    EXPECT_EQ(static_cast<uint32_t>(g_log[i].lParam) & 0xFFFF, 1u) << "repeat count " << i;
  }
  EXPECT_EQ(GetKeyState(VK_CAPITAL) & 1, 1);
  PushKey(window_, false, SDL_SCANCODE_A, SDLK_a);
  DrainQueue();
  EXPECT_EQ(GetKeyState(VK_CAPITAL) & 1, 0);
  EXPECT_EQ(GetKeyState('A') & 0x8000, 0);
}

TEST(KeyTable, EveryKeyHasItsOwnCodeAndEveryDefaultBindingIsReachable) {
  // Scancodes that are the same key to Windows.
  const std::set<std::pair<int, int>> aliases = {
      {SDL_SCANCODE_RETURN, SDL_SCANCODE_KP_ENTER},   {SDL_SCANCODE_RETURN, SDL_SCANCODE_RETURN2},
      {SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_RETURN2},  {SDL_SCANCODE_TAB, SDL_SCANCODE_KP_TAB},
      {SDL_SCANCODE_SPACE, SDL_SCANCODE_KP_SPACE},    {SDL_SCANCODE_BACKSPACE, SDL_SCANCODE_KP_BACKSPACE},
      {SDL_SCANCODE_KP_PERIOD, SDL_SCANCODE_KP_DECIMAL}, {SDL_SCANCODE_BACKSLASH, SDL_SCANCODE_NONUSHASH},
      {SDL_SCANCODE_PRINTSCREEN, SDL_SCANCODE_SYSREQ}, {SDL_SCANCODE_APPLICATION, SDL_SCANCODE_MENU},
      {SDL_SCANCODE_MUTE, SDL_SCANCODE_AUDIOMUTE},    {SDL_SCANCODE_KP_COMMA, SDL_SCANCODE_SEPARATOR},
      {SDL_SCANCODE_CLEAR, SDL_SCANCODE_KP_CLEAR},
  };
  std::map<int, int> byCode;
  std::set<int> messageCodes;
  for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode) {
    const int key = plat::detail::VirtualKeyFromSdl(scancode, 0);
    if (key == 0) continue;
    ASSERT_TRUE(key != VK_LBUTTON && key != VK_RBUTTON && (key < VK_MBUTTON || key > 6))
        << "scancode " << scancode << " would read as a mouse button";
    ASSERT_LT(key, 256) << scancode;
    auto found = byCode.find(key);
    if (found != byCode.end()) {
      EXPECT_TRUE(aliases.count({found->second, scancode})) << "scancodes " << found->second << " and " << scancode;
    } else {
      byCode[key] = scancode;
    }
    messageCodes.insert(plat::detail::MessageKeyCode(key));
  }
  // The full keyboard: letters, digits, F1-F24, the numeric pad and the named keys.
  for (auto range : {std::make_pair(SDL_SCANCODE_A, SDL_SCANCODE_KP_PERIOD), std::make_pair(SDL_SCANCODE_LCTRL, SDL_SCANCODE_RGUI),
                     std::make_pair(SDL_SCANCODE_F13, SDL_SCANCODE_F24)}) {
    for (int scancode = range.first; scancode <= range.second; ++scancode) {
      EXPECT_NE(plat::detail::VirtualKeyFromSdl(scancode, 0), 0) << scancode;
    }
  }
  // Every keyboard code of the game's default key table can be typed.
  for (int code : {0x5A, 0x0D, 0x52, 0x2E, 0x64, 0x66, 0x68, 0x62, 0x6B, 0x6D, 0x21, 0x22, 0x6F, 0x6A, 0x26, 0x28,
                   0x25, 0x27, 0x11, 0x10, 0x58, 0x1B, 0x20, 0x48}) {
    EXPECT_TRUE(messageCodes.count(code)) << std::hex << code;
  }
}

}  // namespace
