// Joystick services: fakes round trip through the Win32 calls, arguments are checked, and a
// record is never seen half written while another thread replaces it.
#include "platform/Joystick.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

JOYINFOEX Filled(DWORD value) {
  JOYINFOEX info;
  std::memset(&info, 0, sizeof(info));
  DWORD* words = &info.dwXpos;
  for (int i = 0; i < 11; ++i) words[i] = value;
  return info;
}

JOYINFOEX Request() {
  JOYINFOEX info;
  std::memset(&info, 0xCD, sizeof(info));
  info.dwSize = sizeof(info);
  info.dwFlags = JOY_RETURNALL;
  return info;
}

TEST(Joystick, FakesAnswerTheServicesAndArgumentsAreChecked) {
  JOYCAPSA caps = {};
  caps.wXmax = 4000;
  caps.wNumButtons = 12;
  caps.wCaps = JOYCAPS_HASZ | JOYCAPS_HASPOV;
  std::strcpy(caps.szPname, "fake pad");
  plat::SetFakeJoystick(JOYSTICKID2, caps, Filled(7));

  EXPECT_EQ(joyGetNumDevs(), plat::kJoystickSlots);
  JOYINFOEX info = Request();
  ASSERT_EQ(joyGetPosEx(JOYSTICKID2, &info), JOYERR_NOERROR);
  EXPECT_EQ(info.dwSize, sizeof(JOYINFOEX)) << "the caller's size and flags stay";
  EXPECT_EQ(info.dwFlags, JOY_RETURNALL);
  EXPECT_EQ(info.dwXpos, 7u);
  EXPECT_EQ(info.dwReserved2, 7u);
  EXPECT_EQ(joyGetPosEx(JOYSTICKID1, &info), JOYERR_UNPLUGGED);

  JOYCAPSA read;
  ASSERT_EQ(joyGetDevCapsA(JOYSTICKID2, &read, sizeof(read)), JOYERR_NOERROR);
  EXPECT_EQ(std::memcmp(&read, &caps, sizeof(caps)), 0);
  EXPECT_EQ(joyGetDevCapsA(JOYSTICKID2, &read, sizeof(read) - 1), JOYERR_PARMS);
  EXPECT_EQ(joyGetDevCapsA(JOYSTICKID2, nullptr, sizeof(read)), JOYERR_PARMS);
  EXPECT_EQ(joyGetDevCapsA(JOYSTICKID1, &read, sizeof(read)), JOYERR_PARMS);

  plat::SetFakeJoystickState(JOYSTICKID2, Filled(9));
  info = Request();
  ASSERT_EQ(joyGetPosEx(JOYSTICKID2, &info), JOYERR_NOERROR);
  EXPECT_EQ(info.dwButtons, 9u);

  JOYINFOEX bad = Request();
  bad.dwSize = sizeof(bad) - 4;
  EXPECT_EQ(joyGetPosEx(JOYSTICKID2, &bad), JOYERR_PARMS);
  EXPECT_EQ(joyGetPosEx(JOYSTICKID2, nullptr), JOYERR_PARMS);
  EXPECT_EQ(joyGetPosEx(plat::kJoystickSlots, &info), JOYERR_PARMS);
  plat::SetFakeJoystick(plat::kJoystickSlots, caps, Filled(1));  // ignored, not written out of range

  plat::ClearFakeJoysticks();
  info = Request();
  if (joyGetPosEx(JOYSTICKID2, &info) == JOYERR_NOERROR) {
    EXPECT_NE(info.dwXpos, 9u) << "a real second joystick answers, not the removed fake";
  }
}

TEST(Joystick, ReadsNeverSeeAHalfWrittenRecord) {
  JOYCAPSA caps = {};
  plat::SetFakeJoystick(JOYSTICKID1, caps, Filled(0));
  std::atomic<bool> stop{false};
  std::thread writer([&stop] {
    for (DWORD k = 1; !stop; ++k) plat::SetFakeJoystickState(JOYSTICKID1, Filled(k));
  });
  for (int i = 0; i < 20000; ++i) {
    JOYINFOEX info = Request();
    ASSERT_EQ(joyGetPosEx(JOYSTICKID1, &info), JOYERR_NOERROR);
    const DWORD* words = &info.dwXpos;
    for (int w = 1; w < 11; ++w) ASSERT_EQ(words[w], words[0]) << "read " << i;
  }
  stop = true;
  writer.join();
  plat::ClearFakeJoysticks();
}

}  // namespace
