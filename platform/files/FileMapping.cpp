// FileMapping on POSIX: handles are small records around a descriptor; views are private mmaps.
#include "platform/files/FileMapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "platform/files/FileSystem.h"

namespace {

enum class HandleKind : uint32_t { kFile = 0x46494C45, kMapping = 0x4D415050 };

struct MappingHandle {
  HandleKind kind;
  int fd;
  int64_t size;
  DWORD protect;
};

// UnmapViewOfFile is given only the address, so the length of every view is remembered here.
std::mutex g_viewsLock;
std::map<const void*, size_t>& Views() {
  static std::map<const void*, size_t> views;
  return views;
}

MappingHandle* AsHandle(HANDLE handle, HandleKind kind) {
  auto* h = static_cast<MappingHandle*>(handle);
  return (h && h->kind == kind) ? h : nullptr;
}

void Log(const char* text) { OutputDebugStringA(text); }

}  // namespace

HANDLE CreateFileMappingA(HANDLE file, void* attributes, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, const char* name) {
  MappingHandle* source = AsHandle(file, HandleKind::kFile);
  if (!source || attributes || name || maximumSizeHigh || maximumSizeLow ||
      (protect != PAGE_READONLY && protect != PAGE_WRITECOPY)) {
    Log("FileMapping: unsupported CreateFileMappingA call\n");
    return nullptr;
  }
  const int fd = dup(source->fd);
  if (fd < 0) return nullptr;
  return new MappingHandle{HandleKind::kMapping, fd, source->size, protect};
}

void* MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, size_t bytes) {
  MappingHandle* m = AsHandle(mapping, HandleKind::kMapping);
  if (!m || offsetHigh || offsetLow || bytes || (access != FILE_MAP_COPY && access != FILE_MAP_READ)) {
    Log("FileMapping: unsupported MapViewOfFile call\n");
    return nullptr;
  }
  if (m->size <= 0) return nullptr;
  const size_t length = static_cast<size_t>(m->size);
  // A copy-on-write view is writable but private; a read view is read-only.
  const int prot = access == FILE_MAP_COPY ? (PROT_READ | PROT_WRITE) : PROT_READ;
  void* view = mmap(nullptr, length, prot, MAP_PRIVATE, m->fd, 0);
  if (view == MAP_FAILED) return nullptr;
  std::lock_guard<std::mutex> lock(g_viewsLock);
  Views()[view] = length;
  return view;
}

BOOL UnmapViewOfFile(const void* view) {
  size_t length = 0;
  {
    std::lock_guard<std::mutex> lock(g_viewsLock);
    auto it = Views().find(view);
    if (it == Views().end()) return FALSE;
    length = it->second;
    Views().erase(it);
  }
  return munmap(const_cast<void*>(view), length) == 0 ? TRUE : FALSE;
}

namespace plat {

HANDLE OpenFileForMapping(const char* path) {
  if (!path) return nullptr;
  const std::string resolved = ResolvePath(path);
  const int fd = open(resolved.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  return new MappingHandle{HandleKind::kFile, fd, static_cast<int64_t>(info.st_size), 0};
}

void CloseMappingHandle(HANDLE handle) {
  auto* h = static_cast<MappingHandle*>(handle);
  if (!h || (h->kind != HandleKind::kFile && h->kind != HandleKind::kMapping)) return;
  close(h->fd);
  h->kind = HandleKind(0);
  delete h;
}

int64_t GetMappingHandleSize(HANDLE handle) {
  auto* h = static_cast<MappingHandle*>(handle);
  if (!h || (h->kind != HandleKind::kFile && h->kind != HandleKind::kMapping)) return -1;
  return h->size;
}

}  // namespace plat
