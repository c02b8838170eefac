// The joystick services reading a virtual SDL joystick: every axis, the capped button mask and
// the hat as a point-of-view angle, with the capabilities that go with them.
#include <SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "platform/input/Joystick.h"

TEST(Joystick, ReadsEveryAxisTheCappedButtonsAndTheHatOfAnSdlStick) {
  plat::ClearFakeJoysticks();
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
  ASSERT_EQ(joyGetNumDevs(), plat::kJoystickSlots);
  const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 40, 1);
  ASSERT_GE(index, 0) << SDL_GetError();
  ASSERT_LT(index, static_cast<int>(plat::kJoystickSlots));
  SDL_Joystick* stick = SDL_JoystickOpen(index);
  ASSERT_NE(stick, nullptr) << SDL_GetError();
  const Sint16 axes[6] = {-32768, 32767, 0, -16384, 1000, -1};
  for (int axis = 0; axis < 6; ++axis) SDL_JoystickSetVirtualAxis(stick, axis, axes[axis]);
  for (int button : {5, 31, 32, 39}) SDL_JoystickSetVirtualButton(stick, button, SDL_PRESSED);

  const UINT id = static_cast<UINT>(index);
  JOYINFOEX info = {};
  info.dwSize = sizeof(info);
  info.dwFlags = JOY_RETURNALL;
  ASSERT_EQ(joyGetPosEx(id, &info), JOYERR_NOERROR);
  const std::array<DWORD, 6> positions = {info.dwXpos, info.dwYpos, info.dwZpos, info.dwRpos, info.dwUpos, info.dwVpos};
  EXPECT_EQ(positions, (std::array<DWORD, 6>{0, 65535, 32768, 16384, 33768, 32767}));
  EXPECT_EQ(info.dwButtons, 1u << 5 | 1u << 31);  // buttons past the 32nd are not reported
  EXPECT_EQ(info.dwButtonNumber, 2u);
  const Uint8 hats[9] = {SDL_HAT_UP, SDL_HAT_RIGHTUP, SDL_HAT_RIGHT, SDL_HAT_RIGHTDOWN, SDL_HAT_DOWN,
                         SDL_HAT_LEFTDOWN, SDL_HAT_LEFT, SDL_HAT_LEFTUP, SDL_HAT_CENTERED};
  for (DWORD i = 0; i < 9; ++i) {  // clockwise from up in hundredths of a degree, then centred
    SDL_JoystickSetVirtualHat(stick, 0, hats[i]);
    EXPECT_TRUE(joyGetPosEx(id, &info) == JOYERR_NOERROR && info.dwPOV == (i < 8 ? i * 4500 : JOY_POVCENTERED)) << i;
  }

  JOYCAPSA caps;
  ASSERT_EQ(joyGetDevCapsA(id, &caps, sizeof(caps)), JOYERR_NOERROR);
  EXPECT_EQ(caps.wNumAxes, 6u);
  EXPECT_EQ(caps.wNumButtons, 32u);
  EXPECT_EQ((std::array<UINT, 6>{caps.wXmax, caps.wYmax, caps.wZmax, caps.wRmax, caps.wUmax, caps.wVmax}),
            (std::array<UINT, 6>{65535, 65535, 65535, 65535, 65535, 65535}));
  EXPECT_EQ(caps.wCaps, JOYCAPS_HASZ | JOYCAPS_HASR | JOYCAPS_HASU | JOYCAPS_HASV | JOYCAPS_HASPOV | JOYCAPS_POV4DIR);
  // Sticks of two to five axes, without a hat, claim those axes and no more.
  const UINT fewer[4] = {0, JOYCAPS_HASZ, JOYCAPS_HASZ | JOYCAPS_HASR, JOYCAPS_HASZ | JOYCAPS_HASR | JOYCAPS_HASU};
  for (int count = 2; count < 6; ++count) {
    const int small = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, count, 1, 0);
    ASSERT_GE(small, 0) << SDL_GetError();
    ASSERT_EQ(joyGetDevCapsA(static_cast<UINT>(small), &caps, sizeof(caps)), JOYERR_NOERROR) << count;
    EXPECT_TRUE(caps.wNumAxes == static_cast<UINT>(count) && caps.wCaps == fewer[count - 2]) << count << ": " << caps.wCaps;
    ASSERT_EQ(SDL_JoystickDetachVirtual(small), 0) << SDL_GetError();
  }

  SDL_JoystickClose(stick);
  ASSERT_EQ(SDL_JoystickDetachVirtual(index), 0) << SDL_GetError();
  EXPECT_EQ(joyGetPosEx(id, &info), JOYERR_UNPLUGGED);
  SDL_QuitSubSystem(SDL_INIT_JOYSTICK);

  // A scripted stick reads back its whole state, under the caller's size and flags.
  plat::SetFakeJoystick(id, caps, JOYINFOEX{0, 0, 1, 2, 3, 4, 5, 6, 1u << 9, 1, 9000, 7, 8});
  ASSERT_EQ(joyGetPosEx(id, &info), JOYERR_NOERROR);
  const JOYINFOEX want = {sizeof(info), JOY_RETURNALL, 1, 2, 3, 4, 5, 6, 1u << 9, 1, 9000, 7, 8};
  EXPECT_EQ(std::memcmp(&info, &want, sizeof(info)), 0);
  plat::ClearFakeJoysticks();
}
