// The pending list between the joystick thread and the main thread: order, the limit of 100, and
// the real timer polling a fake joystick. Also run under ThreadSanitizer.
#include "core/input/InputMan.h"

#include "core/input/Settings.h"
#include "platform/input/Joystick.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kAction = 30;

// A safety net against a hang only; no result depends on timing.
bool Expired(std::chrono::steady_clock::time_point start) {
  return std::chrono::steady_clock::now() - start > std::chrono::seconds(30);
}

// One frame's events; a frame never carries more than the limit.
void Frame(CInputMan& input, std::vector<InputEvent>* all) {
  std::vector<InputEvent> events;
  input.BeginFrame();
  input.TakeEvents(events);
  ASSERT_LE(events.size(), CInputMan::kPendingLimit);
  all->insert(all->end(), events.begin(), events.end());
}

TEST(InputManThreads, ProducerThreadKeepsOrderAndIsCutAtTheLimit) {
  {  // Between two frames the list takes exactly the first kPendingLimit events.
    CInputMan input;
    input.AddBinding(CInputMan::kJoystick0Slot, 2, kAction);
    for (int i = 0; i < 150; ++i) input.AddPendingInput(CInputMan::kJoystick0Slot, 2, false, static_cast<float>(i));
    std::vector<InputEvent> all;
    Frame(input, &all);
    ASSERT_EQ(all.size(), CInputMan::kPendingLimit);
    EXPECT_EQ(all.back().value, 99.0f);
  }
  for (const bool waitForRoom : {true, false}) {
    CInputMan input;
    input.AddBinding(CInputMan::kJoystick0Slot, 2, kAction);
    constexpr int kCount = 5000;
    std::atomic<bool> done{false};
    std::thread producer([&] {
      for (int i = 0; i < kCount; ++i) {
        // Only this thread adds, so room seen here is still there when it adds.
        while (waitForRoom && input.GetPendingCount() >= CInputMan::kPendingLimit) std::this_thread::yield();
        input.AddPendingInput(CInputMan::kJoystick0Slot, 2, (i & 1) != 0, static_cast<float>(i));
      }
      done = true;
    });
    std::vector<InputEvent> all;
    const auto start = std::chrono::steady_clock::now();
    while (!done && !Expired(start)) Frame(input, &all);
    producer.join();
    Frame(input, &all);
    // Waiting for room loses nothing; outrunning the frames drops the newest events, never reorders.
    ASSERT_TRUE(!waitForRoom || all.size() == static_cast<size_t>(kCount)) << all.size();
    ASSERT_GE(all.size(), CInputMan::kPendingLimit);
    EXPECT_EQ(all[0].value, 0.0f);
    for (size_t k = 0; k < all.size(); ++k) {
      const int i = static_cast<int>(all[k].value);
      ASSERT_TRUE(k == 0 || all[k - 1].value < all[k].value) << k;
      ASSERT_EQ(all[k].code, (i & 1) ? 0u - kAction : kAction) << k;
    }
  }
}

TEST(InputManThreads, TimerPollsAFakeJoystickWhileTheMainThreadDrains) {
  JOYCAPSA caps = {};
  caps.wXmax = caps.wYmax = 65535;
  caps.wNumButtons = 8;
  JOYINFOEX rest = {};
  rest.dwSize = sizeof(rest);
  rest.dwXpos = rest.dwYpos = 32768;
  plat::SetFakeJoystick(JOYSTICKID2, caps, rest);
  CSettings settings;
  settings.SetBinding(CInputMan::kJoystick1Slot, kAction, 3, false);
  CSettings* previous = GetSettings();
  SetSettings(&settings);
  {
    CInputMan input;
    ASSERT_TRUE(input.Init(nullptr, nullptr));
    input.AddBinding(CInputMan::kJoystick1Slot, 3, kAction);
    input.AddBinding(CInputMan::kJoystick1Slot, 34, kAction + 1);
    std::vector<InputEvent> all;
    const auto start = std::chrono::steady_clock::now();
    for (size_t round = 0; round < 6; ++round) {
      JOYINFOEX state = rest;
      const bool press = (round & 1) == 0;
      state.dwButtons = press ? 1u << 2 : 0u;
      state.dwXpos = press ? 65535 : 32768;
      plat::SetFakeJoystickState(JOYSTICKID2, state);
      while (all.size() < 2 * (round + 1) && !Expired(start)) Frame(input, &all);  // both changes of the round
      // The state the events came from is the one the main thread reads.
      EXPECT_EQ(input.GetActionValue(kAction), press ? 1.0f : 0.0f);
    }
    ASSERT_EQ(all.size(), 12u);
    for (size_t k = 0; k < all.size(); ++k) {
      const uint32_t action = kAction + static_cast<uint32_t>(k % 2);
      EXPECT_EQ(all[k].code, (k / 2) % 2 ? 0u - action : action) << k;
    }
  }  // the destructor stops the timer before the fake goes
  SetSettings(previous);
  plat::ClearFakeJoysticks();
}

}  // namespace
