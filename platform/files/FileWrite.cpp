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

// The whole contents reached the disk: every byte written, flushed and closed. The file is made new
// (never opened through a link planted at its name, nor a pipe that would block the open); created
// is set once it exists, so a failure removes only what was made here.
bool WriteNewFile(const std::string& path, const void* data, size_t size, bool& created) {
  created = false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  created = true;
  bool ok = WriteAll(fd, static_cast<const char*>(data), size);
  // Deferred write errors (a full disk on some file systems) only show here.
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  return ok;
}

// Nothing or a regular file at path (a link is not followed).
bool NothingOrRegularFile(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
  return S_ISREG(info.st_mode);
}

void Report(const std::string& what, const std::string& target) {
  OutputDebugStringA(("FileWrite: " + what + " \"" + target + "\"\n").c_str());
}

}  // namespace

bool ReplaceFileContents(const char* path, const void* data, size_t size) {
  if (!path || (!data && size > 0)) return false;
  const std::string target = ResolvePath(path);
  if (target.empty() || target.back() == '/') return false;
  // Only a file is replaced: a link, folder, pipe or device of that name stays as it is.
  if (!NothingOrRegularFile(target)) {
    Report("refusing to replace what is not a regular file:", target);
    return false;
  }
  // The temporary name is ours: what an interrupted write left there, or a link or pipe put in its
  // way, is removed (unlink neither follows a link nor opens a pipe); a folder stops the write.
  const std::string temporary = target + ".new";
  if (::unlink(temporary.c_str()) != 0 && errno != ENOENT) {
    Report("cannot clear the way for", temporary);
    return false;
  }
  bool created = false;
  if (!WriteNewFile(temporary, data, size, created) || ::rename(temporary.c_str(), target.c_str()) != 0) {
    if (created) ::unlink(temporary.c_str());
    Report("short or failed write of", target);
    return false;
  }
  return true;
}

}  // namespace plat
