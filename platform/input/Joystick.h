// Test hook of the joystick services (joyGetNumDevs, joyGetPosEx,
// joyGetDevCapsA in Win32.h): fake joysticks that stand in for SDL's.
#pragma once

#include "platform/system/Win32.h"

namespace plat {

// Joystick IDs the services answer for (JOYSTICKID1 up to this, exclusive).
constexpr UINT kJoystickSlots = 16;

// Plugs in a fake joystick with the given capabilities and state. While any
// fake is set, the joystick services answer from the fakes only (IDs without
// a fake are unplugged) and SDL's joysticks are not touched. Thread-safe.
void SetFakeJoystick(UINT id, const JOYCAPSA& caps, const JOYINFOEX& state);
// Replaces a fake joystick's state (the position, buttons and point of view).
void SetFakeJoystickState(UINT id, const JOYINFOEX& state);
// Removes every fake: the services return to SDL's joysticks.
void ClearFakeJoysticks();

}  // namespace plat
