// Win32Files on POSIX: file descriptors and sorted folder listings behind
// handles that are checked on every call, so a stale or foreign handle is
// refused instead of reaching a freed object.
#include "platform/files/Win32Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/files/FileSystem.h"

namespace plat {
namespace {

std::mutex g_handleMutex;
// Keyed by the handle value, which is the object's address. Never freed, so a handle left open
// at exit is not closed behind the back of a static destructor that still uses it.
using HandleTable = std::unordered_map<const CHandleObject*, std::unique_ptr<CHandleObject>>;
HandleTable& LiveHandles() {
  static auto* handles = new HandleTable();
  return *handles;
}

class CFileHandle : public CHandleObject {
 public:
  explicit CFileHandle(int descriptor) : fd(descriptor) {}
  ~CFileHandle() override { ::close(fd); }
  const int fd;
};

class CSearchHandle : public CHandleObject {
 public:
  std::string folder;  // resolved, ends with '/'
  std::vector<DirectoryEntry> entries;
  size_t next = 0;
};

CFileHandle* AsFile(HANDLE handle) { return dynamic_cast<CFileHandle*>(LookupHandle(handle)); }
CSearchHandle* AsSearch(HANDLE handle) { return dynamic_cast<CSearchHandle*>(LookupHandle(handle)); }

int OpenFlags(DWORD access, DWORD disposition, bool* known) {
  *known = true;
  int flags = O_CLOEXEC;
  const bool read = (access & GENERIC_READ) != 0;
  const bool write = (access & GENERIC_WRITE) != 0;
  flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  switch (disposition) {
    case CREATE_NEW: return flags | O_CREAT | O_EXCL;
    case CREATE_ALWAYS: return flags | O_CREAT | O_TRUNC;
    case OPEN_EXISTING: return flags;
    case OPEN_ALWAYS: return flags | O_CREAT;
    case TRUNCATE_EXISTING: return flags | O_TRUNC;
    default: *known = false; return flags;
  }
}

bool FillFindData(const CSearchHandle& search, const DirectoryEntry& entry, WIN32_FIND_DATAA* data) {
  if (entry.name.size() >= MAX_PATH) return false;  // cannot be reported whole
  std::memset(data, 0, sizeof(*data));
  std::memcpy(data->cFileName, entry.name.c_str(), entry.name.size() + 1);
  struct stat info;
  uint64_t size = 0;
  if (::stat((search.folder + entry.name).c_str(), &info) == 0 && S_ISREG(info.st_mode))
    size = static_cast<uint64_t>(info.st_size);
  data->dwFileAttributes = entry.isDirectory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  data->nFileSizeLow = static_cast<DWORD>(size);
  data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  return true;
}

// Reports the next entry that fits the record; false when none is left.
bool ReportNext(CSearchHandle& search, WIN32_FIND_DATAA* data) {
  while (search.next < search.entries.size()) {
    if (FillFindData(search, search.entries[search.next++], data)) return true;
  }
  return false;
}

}  // namespace

HANDLE RegisterHandle(std::unique_ptr<CHandleObject> object) {
  if (!object) return INVALID_HANDLE_VALUE;
  CHandleObject* named = object.get();
  std::lock_guard<std::mutex> lock(g_handleMutex);
  LiveHandles().emplace(named, std::move(object));
  return static_cast<HANDLE>(named);
}

CHandleObject* LookupHandle(HANDLE handle) {
  std::lock_guard<std::mutex> lock(g_handleMutex);
  auto it = LiveHandles().find(static_cast<CHandleObject*>(handle));
  return it == LiveHandles().end() ? nullptr : it->second.get();
}

}  // namespace plat

HANDLE CreateFileA(const char* path, DWORD access, DWORD shareMode, void* security, DWORD disposition,
                   DWORD flags, HANDLE templateFile) {
  if (!path || !*path) return INVALID_HANDLE_VALUE;
  bool known = false;
  const int openFlags = plat::OpenFlags(access, disposition, &known);
  if (!known) return INVALID_HANDLE_VALUE;
  const std::string resolved = plat::ResolvePath(path);
  int fd;
  do {
    fd = ::open(resolved.c_str(), openFlags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return INVALID_HANDLE_VALUE;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return INVALID_HANDLE_VALUE;
  }
  return plat::RegisterHandle(std::make_unique<plat::CFileHandle>(fd));
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* bytesRead, void* overlapped) {
  if (bytesRead) *bytesRead = 0;
  plat::CFileHandle* handle = plat::AsFile(file);
  if (!handle || (!buffer && count > 0)) return FALSE;
  char* cursor = static_cast<char*>(buffer);
  DWORD done = 0;
  while (done < count) {
    const ssize_t got = ::read(handle->fd, cursor + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      if (bytesRead) *bytesRead = done;
      return FALSE;
    }
    if (got == 0) break;
    done += static_cast<DWORD>(got);
  }
  if (bytesRead) *bytesRead = done;
  return TRUE;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* bytesWritten, void* overlapped) {
  if (bytesWritten) *bytesWritten = 0;
  plat::CFileHandle* handle = plat::AsFile(file);
  if (!handle || (!buffer && count > 0)) return FALSE;
  const char* cursor = static_cast<const char*>(buffer);
  DWORD done = 0;
  while (done < count) {
    const ssize_t put = ::write(handle->fd, cursor + done, count - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (bytesWritten) *bytesWritten = done;
      return FALSE;
    }
    done += static_cast<DWORD>(put);
  }
  if (bytesWritten) *bytesWritten = done;
  return TRUE;
}

DWORD GetFileSize(HANDLE file, DWORD* sizeHigh) {
  plat::CFileHandle* handle = plat::AsFile(file);
  struct stat info;
  if (!handle || ::fstat(handle->fd, &info) != 0) return INVALID_FILE_SIZE;
  const uint64_t size = static_cast<uint64_t>(info.st_size);
  if (sizeHigh) *sizeHigh = static_cast<DWORD>(size >> 32);
  return static_cast<DWORD>(size);
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
  plat::CFileHandle* handle = plat::AsFile(file);
  if (!handle) return INVALID_SET_FILE_POINTER;
  int whence;
  switch (method) {
    case FILE_BEGIN: whence = SEEK_SET; break;
    case FILE_CURRENT: whence = SEEK_CUR; break;
    case FILE_END: whence = SEEK_END; break;
    default: return INVALID_SET_FILE_POINTER;
  }
  // Without the high word the distance is a signed 32-bit value, as on Windows.
  int64_t offset = distance;
  if (distanceHigh)
    offset = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                  static_cast<uint32_t>(distance));
  const off_t result = ::lseek(handle->fd, static_cast<off_t>(offset), whence);
  if (result < 0) return INVALID_SET_FILE_POINTER;
  if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(result) >> 32);
  return static_cast<DWORD>(result);
}

BOOL CloseHandle(HANDLE handle) {
  std::unique_ptr<plat::CHandleObject> object;
  {
    std::lock_guard<std::mutex> lock(plat::g_handleMutex);
    auto it = plat::LiveHandles().find(static_cast<plat::CHandleObject*>(handle));
    if (it == plat::LiveHandles().end()) return FALSE;
    object = std::move(it->second);
    plat::LiveHandles().erase(it);
  }
  // Destroyed outside the lock: a handle's destructor may close others.
  object.reset();
  return TRUE;
}

BOOL DeleteFileA(const char* path) {
  if (!path || !*path) return FALSE;
  const std::string resolved = plat::ResolvePath(path);
  struct stat info;
  if (::lstat(resolved.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return FALSE;
  return ::unlink(resolved.c_str()) == 0 ? TRUE : FALSE;
}

BOOL CreateDirectoryA(const char* path, void* security) {
  if (!path || !*path) return FALSE;
  std::string resolved = plat::ResolvePath(path);
  while (resolved.size() > 1 && resolved.back() == '/') resolved.pop_back();
  return ::mkdir(resolved.c_str(), 0777) == 0 ? TRUE : FALSE;
}

DWORD GetFileAttributesA(const char* path) {
  if (!path || !*path) return INVALID_FILE_ATTRIBUTES;
  const std::string resolved = plat::ResolvePath(path);
  struct stat info;
  if (::stat(resolved.c_str(), &info) != 0) return INVALID_FILE_ATTRIBUTES;
  if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  return ::access(resolved.c_str(), W_OK) == 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) {
  if (!pattern || !*pattern || !data) return INVALID_HANDLE_VALUE;
  std::string text(pattern);
  const size_t slash = text.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? std::string(".") : text.substr(0, slash + 1);
  const std::string namePattern = slash == std::string::npos ? text : text.substr(slash + 1);
  if (namePattern.empty()) return INVALID_HANDLE_VALUE;

  auto search = std::make_unique<plat::CSearchHandle>();
  search->folder = plat::ResolvePath(folder.c_str());
  if (search->folder.empty()) search->folder = ".";
  if (search->folder.back() != '/') search->folder += '/';
  if (!plat::ListDirectory(folder.c_str(), namePattern.c_str(), search->entries) ||
      !plat::ReportNext(*search, data)) {
    return INVALID_HANDLE_VALUE;
  }
  return plat::RegisterHandle(std::move(search));
}

BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data) {
  plat::CSearchHandle* handle = plat::AsSearch(search);
  if (!handle || !data) return FALSE;
  return plat::ReportNext(*handle, data) ? TRUE : FALSE;
}

BOOL FindClose(HANDLE search) {
  if (!plat::AsSearch(search)) return FALSE;
  return CloseHandle(search);
}
