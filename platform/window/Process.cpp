// Process services: COM start-up stand-ins, the working directory and the
// executable's folder.
#include "platform/system/Platform.h"
#include "platform/system/Win32.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

long CoInitialize(void* reserved) { return 0; }

void CoUninitialize() {}

BOOL SetCurrentDirectoryA(const char* path) {
  if (!path || !*path) return FALSE;
  return chdir(path) == 0 ? TRUE : FALSE;
}

DWORD GetCurrentDirectoryA(DWORD size, char* buffer) {
  std::vector<char> path(PATH_MAX + 1);
  if (!getcwd(path.data(), path.size())) return 0;
  const size_t length = std::strlen(path.data());
  // As on Windows: the length without the terminator on success, else the
  // size needed including the terminator (and the buffer is left alone).
  if (!buffer || size < length + 1) return static_cast<DWORD>(length + 1);
  std::memcpy(buffer, path.data(), length + 1);
  return static_cast<DWORD>(length);
}

namespace plat {

std::string ExecutableFolder() {
  std::vector<char> path(PATH_MAX + 1);
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) {
    OutputDebugStringA("Platform: cannot read /proc/self/exe, using the working directory\n");
    return "./";
  }
  std::string result(path.data(), static_cast<size_t>(length));
  const size_t slash = result.find_last_of('/');
  if (slash == std::string::npos) return "./";
  return result.substr(0, slash + 1);
}

bool RunAtIdlePriority(const std::function<void()>& job) {
  bool lowered = false;
  std::exception_ptr failure;
  auto lowerAndRun = [&] {
    // Linux keeps a nice value per thread: only this worker drops.
    lowered = setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19) == 0;
    try {
      job();
    } catch (...) {
      failure = std::current_exception();
    }
  };
  try {
    std::thread worker(lowerAndRun);
    worker.join();
  } catch (const std::system_error&) {
    OutputDebugStringA("Platform: no worker thread for an idle-priority job; it runs at normal priority\n");
    job();
    return false;
  }
  if (failure) std::rethrow_exception(failure);
  return lowered;
}

}  // namespace plat
