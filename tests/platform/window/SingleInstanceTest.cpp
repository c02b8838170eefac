// One instance per class and user: a second process finds the first one's
// window and asks it to come back; the lock goes with the last window.
#include "platform/system/Platform.h"
#include "platform/system/Win32.h"
#include "tests/platform/window/WindowTestSupport.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

namespace {

// Runs body in a forked child and returns its exit code.
int RunInChild(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) _exit(body());  // _exit: no exit handlers of the parent's state run twice
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Exit code bits of the second instance's checks.
int SecondInstance(const char* className, HWND firstWindow) {
  DebugCapture log;
  HWND found = FindWindowA(className, nullptr);
  if (!found) return 1;
  if (found == firstWindow) return 2;  // the copy of the parent's memory must not count as a window here
  if (FindWindowA("KvNobodyHoldsThis", nullptr)) return 3;
  if (ShowWindow(found, SW_HIDE)) return 4;  // only a restore can be asked for
  if (!ShowWindow(found, SW_RESTORE)) return 5;
  return log.Text().empty() ? 0 : 6;
}

// A first instance whose socket is gone: the restore fails with one log line saying why.
int UnreachableInstance(const char* className) {
  DebugCapture log;
  HWND found = FindWindowA(className, nullptr);
  if (!found || ShowWindow(found, SW_RESTORE)) return 1;
  return log.Text() == "SingleInstance: cannot reach the first instance: No such file or directory\n" ? 0 : 2;
}

int AbsentInstance(const char* className) { return FindWindowA(className, nullptr) ? 1 : 0; }

// Names the first process's lock folder to a fresh copy of the tests.
const char kFirstInstanceFolder[] = "KELVARUN_TEST_FIRST_INSTANCE_FOLDER";

// The copy's end: it drops its own test folder, which nothing else would remove, opens a window of
// the class with its lock in the first process's folder and exits with the window still open; 0
// when the window's socket was there.
[[noreturn]] void ExitWithWindowOpen(const char* className, const std::string& folder, const TempFolder& own) {
  std::filesystem::remove_all(own.Path());
  setenv("KELVARUN_RUNTIME_DIR", folder.c_str(), 1);
  CreateWindowA(className, "odd", WS_SYSMENU, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
  std::exit(std::filesystem::exists(folder + "kv-9__odd_name.sock") ? 0 : 1);
}

void PumpUntilRestored(int expected, int passes = 1000) {
  MSG msg;
  for (int pass = 0; pass < passes && plat::RestoreRequestsReceived() < expected; ++pass) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// Sends raw bytes to the first instance's socket, as any local program could; then hangs up,
// or hands the connection over open through keep.
bool SendRaw(const std::string& socketFile, const std::string& bytes, int* keep = nullptr) {
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketFile.c_str(), sizeof(address.sun_path) - 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  bool sent = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
              send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  if (sent && keep != nullptr)
    *keep = fd;
  else
    close(fd);
  return sent;
}

}  // namespace

using testing_support::OpenDescriptors;

TEST_F(WindowTest, StrayBytesOnTheSocketRestoreNothing) {
  const std::string socketFile = folder_.Path() + "kvplatformtest.sock";
  const int before = plat::RestoreRequestsReceived();
  const auto openBefore = OpenDescriptors();
  int staying = -1;  // a client that stays while the ones after it hang up, and is heard afterwards
  ASSERT_TRUE(SendRaw(socketFile, "rest", &staying));
  ASSERT_TRUE(SendRaw(socketFile, "hello\nrestor"));
  // Reads take 64 bytes; a line with more than 64 bytes waiting after a read is cut off with its
  // connection, so 128 bytes before the newline are too many and 127 are not.
  ASSERT_TRUE(SendRaw(socketFile, std::string(128, 'x') + "\nrestore\n"));
  ASSERT_TRUE(SendRaw(socketFile, std::string(3, '\0') + "\n"));
  PumpUntilRestored(before + 1, 10);
  EXPECT_EQ(plat::RestoreRequestsReceived(), before);
  ASSERT_TRUE(SendRaw(socketFile, std::string(127, 'x') + "\nrestore\n"));
  PumpUntilRestored(before + 1);
  ASSERT_EQ(send(staying, "ore\n", 4, MSG_NOSIGNAL), 4);
  PumpUntilRestored(before + 2);
  EXPECT_EQ(plat::RestoreRequestsReceived(), before + 2);  // the 127-byte line's and the staying client's
  close(staying);
  // Every client has hung up: once the ends are read, none of their connections stays open.
  PumpUntilRestored(before + 3, 10);
  EXPECT_EQ(OpenDescriptors(), openBefore);
}

TEST_F(WindowTest, SecondProcessRestoresTheFirstWindow) {
  const int before = plat::RestoreRequestsReceived();
  ASSERT_EQ(RunInChild([this] { return SecondInstance(kClassName, window_); }), 0);
  PumpUntilRestored(before + 1);
  EXPECT_EQ(plat::RestoreRequestsReceived(), before + 1);
  // The hidden window came back and was activated.
  ASSERT_EQ(Count(WM_ACTIVATE), 1);
  EXPECT_EQ(LOWORD(Received().back().wParam), WA_ACTIVE);

  const std::string socketFile = folder_.Path() + "kvplatformtest.sock";
  std::filesystem::rename(socketFile, socketFile + ".aside");
  EXPECT_EQ(RunInChild([] { return UnreachableInstance(kClassName); }), 0);
  std::filesystem::rename(socketFile + ".aside", socketFile);
  ASSERT_TRUE(DestroyWindow(window_));
  window_ = nullptr;
  EXPECT_FALSE(std::filesystem::exists(socketFile));
  EXPECT_EQ(RunInChild([] { return AbsentInstance(kClassName); }), 0);
}

TEST_F(WindowTest, LockPassesToTheNextWindowOfTheClass) {
  HWND second = MakeWindow("second");
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(DestroyWindow(window_));
  window_ = second;
  Received().clear();

  const int before = plat::RestoreRequestsReceived();
  ASSERT_EQ(RunInChild([] { return SecondInstance(kClassName, nullptr); }), 0);
  PumpUntilRestored(before + 1);
  EXPECT_EQ(plat::RestoreRequestsReceived(), before + 1);
  ASSERT_EQ(Count(WM_ACTIVATE), 1);
  EXPECT_EQ(Received().back().hwnd, second);
}

TEST_F(WindowTest, NoRemoteWindowWithoutAHolder) {
  EXPECT_EQ(FindWindowA("KvNobodyHoldsThis", nullptr), nullptr);
  EXPECT_EQ(RunInChild([] { return AbsentInstance("KvNobodyHoldsThis"); }), 0);
  // A class name cannot reach outside the lock folder.
  EXPECT_EQ(FindWindowA("../../etc/passwd", nullptr), nullptr);
  for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
    EXPECT_EQ(entry.path().parent_path().string() + "/", folder_.Path());
  }
  // The lock of a class whose name holds other characters: letters in lower case, digits, '-' and
  // '_' kept, the rest made '_'.
  WNDCLASSA odd = {CS_HREDRAW, &WindowTest::Procedure, 4, 8, nullptr, 101, 2, 6, "KvMenu", "Kv-9_/Odd.Name"};
  ASSERT_NE(RegisterClassA(&odd), 0u);
  // The class keeps the record whole but not the caller's strings.
  WNDCLASSA kept;
  ASSERT_TRUE(GetClassInfoA(nullptr, "kv-9_/odd.NAME", &kept));
  EXPECT_TRUE(kept.style == odd.style && kept.lpfnWndProc == odd.lpfnWndProc && kept.cbClsExtra == 4 &&
              kept.cbWndExtra == 8 && kept.hIcon == 101 && kept.hCursor == 2 && kept.hbrBackground == 6 &&
              !kept.hInstance && !kept.lpszMenuName && !kept.lpszClassName);
  HWND window = CreateWindowA(odd.lpszClassName, "odd", WS_SYSMENU, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
  EXPECT_TRUE(std::filesystem::exists(folder_.Path() + "kv-9__odd_name.lock"));
  DestroyWindow(window);
  // A process that exits with its window still open removes its socket through its exit handler.
  // That process is a fresh copy of the tests, not a fork: exiting runs every library's exit
  // handlers, and a fork of a whole run holds the GL driver's worker threads of earlier tests in
  // name only; the driver's handler joins them and crashes or hangs by what they were doing when
  // the fork came. The copy reruns this test in a folder of its own up to here, then takes the
  // inherited name of ours.
  setenv(kFirstInstanceFolder, folder_.Path().c_str(), 0);
  const std::string instanceFolder = std::getenv(kFirstInstanceFolder);
  const std::string socketFile = instanceFolder + "kv-9__odd_name.sock";
  const std::string style = GTEST_FLAG_GET(death_test_style);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(ExitWithWindowOpen(odd.lpszClassName, instanceFolder, folder_), testing::ExitedWithCode(0), "");
  GTEST_FLAG_SET(death_test_style, style);
  unsetenv(kFirstInstanceFolder);
  EXPECT_FALSE(std::filesystem::exists(socketFile));
}

// The socket address holds 108 bytes with its closing NUL: a 107-character path listens, a longer
// one is refused with a log line while the lock itself still holds. The last window of a class
// closes what its lock opened.
TEST_F(WindowTest, SocketPathsListenUpToTheAddressSize) {
  DebugCapture log;
  const size_t limit = sizeof(sockaddr_un::sun_path);
  for (size_t length : {limit - 1, limit}) {
    const std::string name(length - folder_.Path().size() - std::strlen(".sock"), 'k');
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &WindowTest::Procedure;
    windowClass.lpszClassName = name.c_str();
    ASSERT_NE(RegisterClassA(&windowClass), 0u);
    const long openBefore = OpenDescriptors();
    HWND window = CreateWindowA(name.c_str(), "long", WS_SYSMENU, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(std::filesystem::exists(folder_.Path() + name + ".sock"), length < limit) << length;
    EXPECT_TRUE(std::filesystem::exists(folder_.Path() + name + ".lock"));
    EXPECT_EQ(log.Text().find("socket path too long") != std::string::npos, length == limit) << log.Text();
    DestroyWindow(window);
    EXPECT_EQ(OpenDescriptors(), openBefore);
  }
}
