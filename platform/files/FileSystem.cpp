// FileSystem on POSIX: path resolution for case-insensitive data names,
// folder listings with wildcard patterns and whole-file reading.
#include "platform/files/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace plat {
namespace {

bool StatPath(const std::string& path, struct stat* info) {
  return !path.empty() && ::stat(path.c_str(), info) == 0;
}

bool Exists(const std::string& path) {
  struct stat info;
  return StatPath(path, &info);
}

std::vector<std::string> SplitComponents(const std::string& path) {
  std::vector<std::string> parts;
  size_t begin = 0;
  while (begin <= path.size()) {
    size_t end = path.find('/', begin);
    if (end == std::string::npos) end = path.size();
    if (end > begin) parts.push_back(path.substr(begin, end - begin));
    begin = end + 1;
  }
  return parts;
}

// The entry of folder whose name equals wanted ignoring case; the byte-wise
// smallest of several, so the choice does not depend on the folder order.
bool FindCaseInsensitive(const std::string& folder, const std::string& wanted, std::string* found) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return false;
  bool any = false;
  while (const dirent* entry = ::readdir(dir)) {
    if (::strcasecmp(entry->d_name, wanted.c_str()) != 0) continue;
    if (!any || std::string(entry->d_name) < *found) *found = entry->d_name;
    any = true;
  }
  ::closedir(dir);
  return any;
}

bool MatchFrom(const char* pattern, const char* name) {
  // Iterative match with one backtrack point for the last '*'.
  const char* starPattern = nullptr;
  const char* starName = nullptr;
  while (*name) {
    if (*pattern == '*') {
      starPattern = ++pattern;
      starName = name;
    } else if (*pattern == '?' ||
               (*pattern && std::tolower(static_cast<unsigned char>(*pattern)) ==
                                std::tolower(static_cast<unsigned char>(*name)))) {
      ++pattern;
      ++name;
    } else if (starPattern) {
      pattern = starPattern;
      name = ++starName;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

}  // namespace

std::string ResolvePath(const char* path) {
  if (!path) return std::string();
  std::string given(path);
  std::replace(given.begin(), given.end(), '\\', '/');
  if (given.empty() || Exists(given)) return given;

  const bool absolute = given[0] == '/';
  const bool trailingSlash = given.back() == '/';
  std::vector<std::string> parts = SplitComponents(given);
  std::string result = absolute ? "/" : "";
  bool resolving = true;
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string name = parts[i];
    if (resolving && name != "." && name != "..") {
      std::string candidate = result + name;
      if (!Exists(candidate)) {
        std::string found;
        if (FindCaseInsensitive(result, name, &found)) {
          name = found;
        } else {
          resolving = false;  // the rest cannot exist; keep it as written
        }
      }
    }
    result += name;
    if (i + 1 < parts.size() || trailingSlash) result += '/';
  }
  return result;
}

bool FileExists(const char* path) {
  struct stat info;
  return StatPath(ResolvePath(path), &info) && S_ISREG(info.st_mode);
}

bool GetFileIdentity(const char* path, FileIdentity& out) {
  struct stat info;
  if (!StatPath(ResolvePath(path), &info)) return false;
  out.device = static_cast<uint64_t>(info.st_dev);
  out.inode = static_cast<uint64_t>(info.st_ino);
  return true;
}

bool DirectoryExists(const char* path) {
  struct stat info;
  return StatPath(ResolvePath(path), &info) && S_ISDIR(info.st_mode);
}

bool MatchWildcard(const char* pattern, const char* name) {
  if (!pattern || !name) return false;
  if (std::string(pattern) == "*.*") return true;
  return MatchFrom(pattern, name);
}

bool ListDirectory(const char* directory, const char* pattern, std::vector<DirectoryEntry>& out) {
  if (!directory || !pattern) return false;
  std::string folder = ResolvePath(directory);
  if (folder.empty()) folder = ".";
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return false;
  if (folder.back() != '/') folder += '/';
  std::vector<DirectoryEntry> found;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (!MatchWildcard(pattern, name.c_str())) continue;
    struct stat info;
    const bool isDirectory = StatPath(folder + name, &info) && S_ISDIR(info.st_mode);
    found.push_back(DirectoryEntry{name, isDirectory});
  }
  ::closedir(dir);
  std::sort(found.begin(), found.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  out.insert(out.end(), found.begin(), found.end());
  return true;
}

CReadFile::~CReadFile() { Close(); }

bool CReadFile::Open(const char* path) {
  Close();
  if (!path) return false;
  const std::string resolved = ResolvePath(path);
  if (resolved.empty()) return false;
  // Not blocking: opening a pipe for reading would wait for a writer before it could be refused.
  const int fd = ::open(resolved.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

int64_t CReadFile::Size() const {
  struct stat info;
  if (fd_ < 0 || ::fstat(fd_, &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

size_t CReadFile::Read(void* buffer, size_t count) {
  if (fd_ < 0 || !buffer) return 0;
  char* cursor = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(fd_, cursor + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

void CReadFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace plat
