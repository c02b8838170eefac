// The Win32 joystick services on SDL's joysticks: axes become positions in
// 0..65535, buttons a bit mask, the first hat a point-of-view angle. SDL is
// asked from whichever thread polls (the input manager's timer thread); one
// lock keeps our own table of opened joysticks consistent, and SDL guards its
// joystick state itself.
#include "platform/input/Joystick.h"

#include <SDL.h>

#include <cstring>
#include <mutex>
#include <string>

namespace {

constexpr int kMaxAxes = 6;      // X, Y, Z, R, U, V
constexpr int kMaxButtons = 32;  // bits of dwButtons

struct Fake {
  bool plugged = false;
  JOYCAPSA caps;
  JOYINFOEX state;
};

struct Joysticks {
  std::mutex mutex;
  bool sdlTried = false;
  bool sdlReady = false;
  SDL_Joystick* open[plat::kJoystickSlots] = {};
  bool faking = false;
  Fake fakes[plat::kJoystickSlots];
};

// Never freed: the timer thread may still be polling while statics go away.
Joysticks& State() {
  static Joysticks* state = new Joysticks();
  return *state;
}

bool StartSdlLocked(Joysticks& js) {
  if (!js.sdlTried) {
    js.sdlTried = true;
    js.sdlReady = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
    if (!js.sdlReady) {
      const std::string line = std::string("Joystick: SDL joysticks unavailable: ") + SDL_GetError() + "\n";
      OutputDebugStringA(line.c_str());
    }
  }
  return js.sdlReady && SDL_WasInit(SDL_INIT_JOYSTICK) != 0;
}

// The SDL joystick behind an ID: device index = ID, opened on first use and
// dropped when it is unplugged.
SDL_Joystick* SdlJoystickLocked(Joysticks& js, UINT id) {
  if (!StartSdlLocked(js)) return nullptr;
  SDL_JoystickUpdate();
  SDL_Joystick*& joystick = js.open[id];
  if (joystick && !SDL_JoystickGetAttached(joystick)) {
    SDL_JoystickClose(joystick);
    joystick = nullptr;
  }
  if (!joystick && static_cast<int>(id) < SDL_NumJoysticks()) joystick = SDL_JoystickOpen(static_cast<int>(id));
  return joystick;
}

DWORD PositionOf(SDL_Joystick* joystick, int axis) {
  if (axis >= SDL_JoystickNumAxes(joystick)) return 32768;  // a missing axis rests at its centre
  return static_cast<DWORD>(static_cast<int>(SDL_JoystickGetAxis(joystick, axis)) + 32768);
}

DWORD PovOf(SDL_Joystick* joystick) {
  if (SDL_JoystickNumHats(joystick) < 1) return JOY_POVCENTERED;
  switch (SDL_JoystickGetHat(joystick, 0)) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return JOY_POVCENTERED;
  }
}

void ReadSdl(SDL_Joystick* joystick, JOYINFOEX* info) {
  DWORD* positions[kMaxAxes] = {&info->dwXpos, &info->dwYpos, &info->dwZpos,
                                &info->dwRpos, &info->dwUpos, &info->dwVpos};
  for (int axis = 0; axis < kMaxAxes; ++axis) *positions[axis] = PositionOf(joystick, axis);
  info->dwButtons = 0;
  info->dwButtonNumber = 0;
  const int buttons = SDL_JoystickNumButtons(joystick);
  for (int i = 0; i < buttons && i < kMaxButtons; ++i) {
    if (SDL_JoystickGetButton(joystick, i)) {
      info->dwButtons |= 1u << i;
      ++info->dwButtonNumber;
    }
  }
  info->dwPOV = PovOf(joystick);
}

void CapsOfSdl(SDL_Joystick* joystick, JOYCAPSA* caps) {
  std::memset(caps, 0, sizeof(*caps));
  caps->wMid = SDL_JoystickGetVendor(joystick);
  caps->wPid = SDL_JoystickGetProduct(joystick);
  const char* name = SDL_JoystickName(joystick);
  std::strncpy(caps->szPname, name ? name : "", MAXPNAMELEN - 1);
  UINT* ranges[] = {&caps->wXmax, &caps->wYmax, &caps->wZmax, &caps->wRmax, &caps->wUmax, &caps->wVmax};
  for (UINT* max : ranges) *max = 65535;  // every minimum is 0
  const int axes = SDL_JoystickNumAxes(joystick);
  caps->wNumAxes = static_cast<UINT>(axes < kMaxAxes ? axes : kMaxAxes);
  caps->wMaxAxes = kMaxAxes;
  const int buttons = SDL_JoystickNumButtons(joystick);
  caps->wNumButtons = static_cast<UINT>(buttons < kMaxButtons ? buttons : kMaxButtons);
  caps->wMaxButtons = kMaxButtons;
  caps->wPeriodMin = 10;
  caps->wPeriodMax = 1000;
  if (axes > 2) caps->wCaps |= JOYCAPS_HASZ;
  if (axes > 3) caps->wCaps |= JOYCAPS_HASR;
  if (axes > 4) caps->wCaps |= JOYCAPS_HASU;
  if (axes > 5) caps->wCaps |= JOYCAPS_HASV;
  if (SDL_JoystickNumHats(joystick) > 0) caps->wCaps |= JOYCAPS_HASPOV | JOYCAPS_POV4DIR;
}

// Copies the state but keeps the caller's size and flags, as a real read would.
void CopyState(const JOYINFOEX& from, JOYINFOEX* to) {
  const DWORD size = to->dwSize;
  const DWORD flags = to->dwFlags;
  *to = from;
  to->dwSize = size;
  to->dwFlags = flags;
}

}  // namespace

namespace plat {

void SetFakeJoystick(UINT id, const JOYCAPSA& caps, const JOYINFOEX& state) {
  if (id >= kJoystickSlots) return;
  Joysticks& js = State();
  std::lock_guard<std::mutex> lock(js.mutex);
  js.faking = true;
  js.fakes[id].plugged = true;
  js.fakes[id].caps = caps;
  js.fakes[id].state = state;
}

void SetFakeJoystickState(UINT id, const JOYINFOEX& state) {
  if (id >= kJoystickSlots) return;
  Joysticks& js = State();
  std::lock_guard<std::mutex> lock(js.mutex);
  js.fakes[id].state = state;
}

void ClearFakeJoysticks() {
  Joysticks& js = State();
  std::lock_guard<std::mutex> lock(js.mutex);
  js.faking = false;
  for (Fake& fake : js.fakes) fake = Fake();
}

}  // namespace plat

UINT joyGetNumDevs() {
  // As the Windows driver does, the count of IDs that may be asked, not of
  // joysticks plugged in; none when there is no joystick support at all.
  Joysticks& js = State();
  std::lock_guard<std::mutex> lock(js.mutex);
  if (js.faking) return plat::kJoystickSlots;
  return StartSdlLocked(js) ? plat::kJoystickSlots : 0;
}

MMRESULT joyGetPosEx(UINT id, JOYINFOEX* info) {
  if (!info || info->dwSize != sizeof(JOYINFOEX) || id >= plat::kJoystickSlots) return JOYERR_PARMS;
  Joysticks& js = State();
  std::lock_guard<std::mutex> lock(js.mutex);
  if (js.faking) {
    if (!js.fakes[id].plugged) return JOYERR_UNPLUGGED;
    CopyState(js.fakes[id].state, info);
    return JOYERR_NOERROR;
  }
  SDL_Joystick* joystick = SdlJoystickLocked(js, id);
  if (!joystick) return js.sdlReady ? JOYERR_UNPLUGGED : MMSYSERR_NODRIVER;
  ReadSdl(joystick, info);
  return JOYERR_NOERROR;
}

MMRESULT joyGetDevCapsA(UINT id, JOYCAPSA* caps, UINT size) {
  if (!caps || size < sizeof(JOYCAPSA) || id >= plat::kJoystickSlots) return JOYERR_PARMS;
  Joysticks& js = State();
  std::lock_guard<std::mutex> lock(js.mutex);
  if (js.faking) {
    if (!js.fakes[id].plugged) return JOYERR_PARMS;
    *caps = js.fakes[id].caps;
    return JOYERR_NOERROR;
  }
  SDL_Joystick* joystick = SdlJoystickLocked(js, id);
  if (!joystick) return js.sdlReady ? JOYERR_PARMS : MMSYSERR_NODRIVER;
  CapsOfSdl(joystick, caps);
  return JOYERR_NOERROR;
}
