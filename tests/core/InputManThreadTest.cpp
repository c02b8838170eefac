// The pending list between the joystick thread and the main thread: order, the limit of 100, and
// the real timer polling a fake joystick. Also run under ThreadSanitizer.
#include "core/InputMan.h"

#include "core/Settings.h"
#include "platform/Joystick.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kAction = 30;

// Safety net against a hang only; no result depends on timing.
bool Expired(std::chrono::steady_clock::time_point start) {
  return std::chrono::steady_clock::now() - start > std::chrono::seconds(30);
}

std::vector<InputEvent> Frame(CInputMan& input) {
  std::vector<InputEvent> events;
  input.BeginFrame();
  input.TakeEvents(events);
  return events;
}

TEST(InputManThreads, ProducerThatWaitsForRoomLosesNothingAndKeepsOrder) {
  CInputMan input;
  input.AddBinding(CInputMan::kJoystick0Slot, 2, kAction);
  constexpr int kCount = 3000;
  std::thread producer([&input] {
    for (int i = 0; i < kCount; ++i) {
      // Only this thread adds, so room seen here is still there when it adds.
      while (input.GetPendingCount() >= CInputMan::kPendingLimit) std::this_thread::yield();
      input.AddPendingInput(CInputMan::kJoystick0Slot, 2, (i & 1) != 0, static_cast<float>(i));
    }
  });
  std::vector<InputEvent> all;
  const auto start = std::chrono::steady_clock::now();
  while (all.size() < static_cast<size_t>(kCount) && !Expired(start)) {
    const std::vector<InputEvent> events = Frame(input);
    ASSERT_LE(events.size(), CInputMan::kPendingLimit);
    all.insert(all.end(), events.begin(), events.end());
  }
  producer.join();
  ASSERT_EQ(all.size(), static_cast<size_t>(kCount));
  for (int i = 0; i < kCount; ++i) {
    ASSERT_EQ(all[i].value, static_cast<float>(i));
    ASSERT_EQ(all[i].code, (i & 1) ? 0u - kAction : kAction);
  }
}

TEST(InputManThreads, ProducerThatOutrunsTheFramesIsCutAtTheLimitInOrder) {
  CInputMan input;
  input.AddBinding(CInputMan::kJoystick0Slot, 2, kAction);
  constexpr int kCount = 20000;
  std::atomic<bool> done{false};
  std::thread producer([&] {
    for (int i = 0; i < kCount; ++i) input.AddPendingInput(CInputMan::kJoystick0Slot, 2, false, static_cast<float>(i));
    done = true;
  });
  std::vector<InputEvent> all;
  while (!done) {
    const std::vector<InputEvent> events = Frame(input);
    ASSERT_LE(events.size(), CInputMan::kPendingLimit);
    all.insert(all.end(), events.begin(), events.end());
  }
  producer.join();
  const std::vector<InputEvent> last = Frame(input);
  all.insert(all.end(), last.begin(), last.end());
  ASSERT_GE(all.size(), CInputMan::kPendingLimit);
  EXPECT_EQ(all[0].value, 0.0f) << "the first events are kept, later ones dropped";
  for (size_t k = 1; k < all.size(); ++k) ASSERT_LT(all[k - 1].value, all[k].value) << k;
}

TEST(InputManThreads, TimerPollsAFakeJoystickWhileTheMainThreadDrains) {
  JOYCAPSA caps = {};
  caps.wXmax = caps.wYmax = 65535;
  caps.wNumButtons = 8;
  JOYINFOEX rest = {};
  rest.dwSize = sizeof(rest);
  rest.dwXpos = rest.dwYpos = 32768;
  plat::SetFakeJoystick(JOYSTICKID2, caps, rest);
  {
    CInputMan input;
    ASSERT_TRUE(input.Init(nullptr, nullptr));
    ASSERT_TRUE(input.AnyJoystickPresent());
    input.AddBinding(CInputMan::kJoystick1Slot, 3, kAction);
    input.AddBinding(CInputMan::kJoystick1Slot, 34, kAction + 1);
    CSettings settings;
    settings.SetBinding(CInputMan::kJoystick1Slot, kAction, 3, false);
    settings.SetBinding(CInputMan::kJoystick1Slot, kAction + 1, 34, false);
    CSettings* previous = GetSettings();
    SetSettings(&settings);

    std::vector<uint32_t> codes;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < 6 && !Expired(start); ++round) {
      JOYINFOEX state = rest;
      const bool press = (round & 1) == 0;
      if (press) {
        state.dwButtons = 1u << 2;
        state.dwXpos = 65535;
      }
      plat::SetFakeJoystickState(JOYSTICKID2, state);
      // Wait for the timer to report both changes of this round.
      size_t seen = 0;
      while (seen < 2 && !Expired(start)) {
        for (const InputEvent& e : Frame(input)) {
          codes.push_back(e.code);
          ++seen;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      // The state the events came from is the one the main thread reads.
      EXPECT_EQ(input.GetActionValue(kAction), press ? 1.0f : 0.0f);
      EXPECT_EQ(input.GetActionValue(kAction + 1), press ? 1.0f : 0.0f);
    }
    SetSettings(previous);
    const std::vector<uint32_t> expected = {kAction,       kAction + 1, 0u - kAction, 0u - (kAction + 1),
                                            kAction,       kAction + 1, 0u - kAction, 0u - (kAction + 1),
                                            kAction,       kAction + 1, 0u - kAction, 0u - (kAction + 1)};
    EXPECT_EQ(codes, expected);
  }  // the destructor stops the timer before the joystick goes
  plat::ClearFakeJoysticks();
}

}  // namespace
