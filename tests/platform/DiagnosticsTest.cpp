// Debug output, message boxes in headless runs, and the process services.
#include "platform/Platform.h"
#include "platform/Win32.h"
#include "tests/platform/PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

TEST(DebugOutputTest, SinkReceivesTextsUnchangedAndIsRestored) {
  std::vector<std::string> outer;
  plat::DebugSink before = plat::SetDebugSink([&outer](const char* text) { outer.push_back(text); });
  {
    DebugCapture capture;
    OutputDebugStringA("Module: first line\n");
    OutputDebugStringA("no newline");
    OutputDebugStringA(nullptr);
    ASSERT_EQ(capture.Texts().size(), 2u);
    EXPECT_EQ(capture.Texts()[0], "Module: first line\n");
    EXPECT_EQ(capture.Texts()[1], "no newline");
  }
  OutputDebugStringA("back to the outer sink\n");
  ASSERT_EQ(outer.size(), 1u);
  EXPECT_EQ(outer[0], "back to the outer sink\n");
  plat::SetDebugSink(before);
}

TEST(DebugOutputTest, ConcurrentWritersDeliverEveryTextWhole) {
  DebugCapture capture;
  constexpr int kThreads = 8;
  constexpr int kLines = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) {
        const std::string line = "Writer" + std::to_string(t) + ": line " + std::to_string(i) + "\n";
        OutputDebugStringA(line.c_str());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  const std::vector<std::string> texts = capture.Texts();
  ASSERT_EQ(texts.size(), static_cast<size_t>(kThreads * kLines));
  std::vector<int> nextLine(kThreads, 0);
  for (const std::string& text : texts) {
    int writer = -1;
    int line = -1;
    ASSERT_EQ(std::sscanf(text.c_str(), "Writer%d: line %d\n", &writer, &line), 2) << text;
    ASSERT_GE(writer, 0);
    ASSERT_LT(writer, kThreads);
    EXPECT_EQ(line, nextLine[writer]++);  // each writer's lines arrive in order
  }
}

TEST(DebugOutputTest, MessageBoxLogsAndReturnsAtOnceInCi) {
  setenv("CI", "1", 1);
  DebugCapture capture;
  EXPECT_EQ(MessageBoxA(nullptr, "Display Mode Error - Check Screen Settings", "Error", MB_OK | MB_ICONERROR), IDOK);
  EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK), IDOK);
  const std::vector<std::string> texts = capture.Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NE(texts[0].find("Error"), std::string::npos);
  EXPECT_NE(texts[0].find("Display Mode Error - Check Screen Settings"), std::string::npos);
  for (const std::string& text : texts) {
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\n'), text.size() - 1);  // one line per message
  }
}

TEST(DebugOutputTest, HeadlessDriversAreNoDisplay) {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (!driver || (std::string(driver) != "offscreen" && std::string(driver) != "dummy")) {
    GTEST_SKIP() << "needs a headless SDL video driver";
  }
  EXPECT_FALSE(plat::HasDisplay());
}

TEST(ProcessTest, WorkingDirectoryRoundTrip) {
  TempFolder folder;
  const std::filesystem::path canonical = std::filesystem::canonical(folder.Path());
  const std::filesystem::path before = std::filesystem::current_path();

  ASSERT_TRUE(SetCurrentDirectoryA(canonical.c_str()));
  char buffer[4096];
  const DWORD length = GetCurrentDirectoryA(sizeof(buffer), buffer);
  EXPECT_EQ(length, canonical.string().size());
  EXPECT_EQ(std::string(buffer), canonical.string());

  // Too small a buffer: the size needed including the terminator, buffer untouched.
  char small[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(GetCurrentDirectoryA(sizeof(small), small), canonical.string().size() + 1);
  EXPECT_EQ(small[0], 'x');

  EXPECT_FALSE(SetCurrentDirectoryA((canonical / "missing").c_str()));
  EXPECT_FALSE(SetCurrentDirectoryA(nullptr));
  EXPECT_EQ(std::filesystem::current_path(), canonical);
  std::filesystem::current_path(before);
}

TEST(ProcessTest, ExecutableFolderHoldsThisProgram) {
  const std::string folder = plat::ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(std::filesystem::exists(folder + "test_platform"));
  EXPECT_EQ(CoInitialize(nullptr), 0);
  CoUninitialize();
}
