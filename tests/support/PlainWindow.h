// MakePlainWindow: a window of a class whose procedure is the default one, for the back-end tests
// that need a window to draw into. The class is registered on first use and reused after.
#pragma once

#include "platform/system/Win32.h"

namespace testing_support {

inline HWND MakePlainWindow(const char* className, const char* title, DWORD style, int width, int height) {
  WNDCLASSA windowClass = {};
  if (!GetClassInfoA(nullptr, className, &windowClass)) {
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = className;
    if (RegisterClassA(&windowClass) == 0) return nullptr;
  }
  return CreateWindowA(className, title, style, 0, 0, width, height, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace testing_support
