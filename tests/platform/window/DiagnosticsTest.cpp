// Debug output, message boxes in headless runs, and the process services.
#include "platform/system/Platform.h"
#include "platform/system/Win32.h"
#include "tests/support/TempFolder.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using testing_support::DebugCapture;

TEST(DebugOutputTest, SinkReceivesTextsUnchangedAndIsRestored) {
  DebugCapture outer;
  {
    DebugCapture inner;
    OutputDebugStringA("Module: first line\n");
    OutputDebugStringA(nullptr);
    OutputDebugStringA("no newline");
    EXPECT_EQ(inner.Text(), "Module: first line\nno newline");
  }
  OutputDebugStringA("back to the outer sink\n");
  EXPECT_EQ(outer.Text(), "back to the outer sink\n");
}

TEST(DebugOutputTest, ConcurrentWritersDeliverEveryTextWhole) {
  DebugCapture capture;
  constexpr int kThreads = 8;
  constexpr int kLines = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) {
        OutputDebugStringA(("Writer" + std::to_string(t) + ": line " + std::to_string(i) + "\n").c_str());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::istringstream lines(capture.Text());
  std::vector<int> nextLine(kThreads, 0);
  int total = 0;
  for (std::string text; std::getline(lines, text); ++total) {
    int writer = -1;
    int line = -1;
    ASSERT_EQ(std::sscanf(text.c_str(), "Writer%d: line %d", &writer, &line), 2) << text;
    ASSERT_TRUE(writer >= 0 && writer < kThreads);
    EXPECT_EQ(line, nextLine[writer]++);  // each writer's lines arrive in order
  }
  EXPECT_EQ(total, kThreads * kLines);
}

TEST(DebugOutputTest, MessageBoxLogsOneLineAndReturnsAtOnceHeadless) {
  setenv("CI", "1", 1);
  DebugCapture capture;
  EXPECT_EQ(MessageBoxA(nullptr, "Display Mode Error - Check Screen Settings", "Error", MB_OK | MB_ICONERROR), IDOK);
  EXPECT_EQ(capture.Text(), "MessageBox: Error: Display Mode Error - Check Screen Settings\n");
  EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK), IDOK);
  EXPECT_EQ(capture.Text().back(), '\n');

  // A headless driver chosen outweighs a display server named, before video starts as well.
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver && (std::string(driver) == "offscreen" || std::string(driver) == "dummy")) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);  // the later tests start it again
    setenv("DISPLAY", ":0", 1);
    EXPECT_FALSE(plat::HasDisplay());
    unsetenv("DISPLAY");  // no test talks to a display server (see TestMain)
  }
}

TEST(ProcessTest, WorkingDirectoryRoundTripAndExecutableFolder) {
  testing_support::TempFolder folder;
  const std::filesystem::path canonical = std::filesystem::canonical(folder.Path());
  const std::filesystem::path before = std::filesystem::current_path();

  ASSERT_TRUE(SetCurrentDirectoryA(canonical.c_str()));
  char buffer[4096];
  EXPECT_EQ(GetCurrentDirectoryA(sizeof(buffer), buffer), canonical.string().size());
  EXPECT_EQ(std::string(buffer), canonical.string());
  // Too small a buffer: the size needed including the terminator, buffer untouched.
  char small[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(GetCurrentDirectoryA(sizeof(small), small), canonical.string().size() + 1);
  EXPECT_EQ(small[0], 'x');
  EXPECT_FALSE(SetCurrentDirectoryA((canonical / "missing").c_str()));
  EXPECT_FALSE(SetCurrentDirectoryA(nullptr));
  EXPECT_EQ(std::filesystem::current_path(), canonical);
  std::filesystem::current_path(before);

  const std::string executable = plat::ExecutableFolder();
  ASSERT_FALSE(executable.empty());
  EXPECT_TRUE(std::filesystem::exists(executable + "test_platform"));
}

// A long job runs at the lowest priority on its own thread while the caller waits; the caller's
// priority is untouched, and the job's exceptions and results come back.
TEST(ProcessTest, IdlePriorityJobsRunLoweredAndLeaveTheCallerAsItWas) {
  const int callerBefore = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
  int jobNice = -100;
  std::thread::id jobThread;
  EXPECT_TRUE(plat::RunAtIdlePriority([&] {
    jobNice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    jobThread = std::this_thread::get_id();
  }));
  EXPECT_EQ(19, jobNice);
  EXPECT_NE(std::this_thread::get_id(), jobThread);
  EXPECT_EQ(callerBefore, getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid))));
  EXPECT_THROW(plat::RunAtIdlePriority([] { throw std::runtime_error("job failed"); }), std::runtime_error);
}
