// FileWrite on POSIX: write a sibling file, flush it, rename it over the target.
#include "platform/files/FileWrite.h"

#include "platform/files/FileSystem.h"
#include "platform/system/Win32.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace plat {
namespace {

bool WriteAll(int fd, const char* bytes, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t put = ::write(fd, bytes + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;  // a full disk may report 0 bytes written
    done += static_cast<size_t>(put);
  }
  return true;
}

// The whole contents reached the disk: every byte written, flushed and closed.
bool WriteNewFile(const std::string& path, const void* data, size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, static_cast<const char*>(data), size);
  // Deferred write errors (a full disk on some file systems) only show here.
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  return ok;
}

}  // namespace

bool ReplaceFileContents(const char* path, const void* data, size_t size) {
  if (!path || (!data && size > 0)) return false;
  const std::string target = ResolvePath(path);
  if (target.empty() || target.back() == '/') return false;
  const std::string temporary = target + ".new";
  if (!WriteNewFile(temporary, data, size) || ::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    OutputDebugStringA(("FileWrite: short or failed write of \"" + target + "\"\n").c_str());
    return false;
  }
  return true;
}

}  // namespace plat
