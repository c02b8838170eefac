// FileBuffer: whole-file reads through one shared buffer or a block per file.
#include "core/data/FileBuffer.h"

#include "platform/files/FileSystem.h"
#include "platform/system/Win32.h"

#include <new>
#include <string>
#include <unordered_set>

namespace {

// Small files (the common case: definition texts, sounds) go to one buffer
// kept for the program's life, so they cost no allocation.
char* g_sharedBuffer = nullptr;
bool g_sharedInUse = false;
// Every block allocated for one file and not yet freed (and a shared buffer
// released while a caller still held it): FreeFileBuffer of any other pointer
// (a second free, a foreign pointer) is refused instead of corrupting the heap.
std::unordered_set<const void*> g_ownBlocks;

// Deep folder chains (or links that loop back) end the scan here instead of
// exhausting the stack.
constexpr int kMaxScanDepth = 32;

void Log(const std::string& text) { OutputDebugStringA(text.c_str()); }

std::string CurrentDirectory() {
  char buffer[4096];
  const DWORD length = GetCurrentDirectoryA(sizeof(buffer), buffer);
  if (length == 0 || length >= sizeof(buffer)) return std::string();
  return std::string(buffer, length);
}

void LogMissingFile(const char* path) {
  Log(std::string("Error Loading File: '") + path + "' - Check Path and File Exists!\n");
  Log("Current Working Directory: " + CurrentDirectory() + "\n");
}

// The destination for a file of size bytes: the shared buffer when it is free
// and the file fits, else a new block of size + 1 bytes (null when out of memory).
char* AcquireBuffer(uint32_t size) {
  if (!g_sharedBuffer) g_sharedBuffer = new (std::nothrow) char[kFileBufferSharedSize];
  if (g_sharedBuffer && !g_sharedInUse && size < kFileBufferSharedLimit) {
    g_sharedInUse = true;
    return g_sharedBuffer;
  }
  char* block = new (std::nothrow) char[static_cast<size_t>(size) + 1];
  if (block) g_ownBlocks.insert(block);
  return block;
}

bool EndsWithSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

void ScanFolder(const std::string& directory, const char* pattern, std::vector<std::string>& names, bool recurse,
                int depth) {
  const std::string prefix = directory.empty() || EndsWithSeparator(directory) ? directory : directory + "/";
  std::vector<plat::DirectoryEntry> entries;
  plat::ListDirectory(directory.c_str(), pattern, entries);
  for (const plat::DirectoryEntry& entry : entries) names.push_back(prefix + entry.name);
  if (!recurse) return;
  if (depth >= kMaxScanDepth) {
    Log("ScanDirectoryRecursive: folders nested too deep below '" + directory + "'\n");
    return;
  }
  std::vector<plat::DirectoryEntry> folders;
  plat::ListDirectory(directory.c_str(), "*", folders);
  for (const plat::DirectoryEntry& folder : folders) {
    if (!folder.isDirectory || folder.name[0] == '.') continue;
    ScanFolder(prefix + folder.name, pattern, names, recurse, depth + 1);
  }
}

}  // namespace

char* LoadFileToBuffer(const char* path, uint32_t* sizeOut) {
  if (!path) return nullptr;
  plat::CReadFile file;
  if (!file.Open(path)) {
    LogMissingFile(path);
    return nullptr;
  }
  const int64_t fileSize = file.Size();
  // The count is reported as 32 bits and one byte more is allocated for the NUL.
  if (fileSize < 0 || fileSize >= static_cast<int64_t>(UINT32_MAX)) {
    Log(std::string("LoadFileToBuffer: '") + path + "' is too large to read\n");
    return nullptr;
  }
  const uint32_t size = static_cast<uint32_t>(fileSize);
  char* buffer = AcquireBuffer(size);
  if (!buffer) {
    Log(std::string("LoadFileToBuffer: out of memory reading '") + path + "'\n");
    return nullptr;
  }
  // A file that shrank or failed while being read is a failed read: a parser
  // must never see a partial file as if it were whole.
  const uint32_t got = static_cast<uint32_t>(file.Read(buffer, size));
  if (got != size) {
    Log(std::string("LoadFileToBuffer: short read of '") + path + "'\n");
    FreeFileBuffer(buffer);
    return nullptr;
  }
  buffer[got] = '\0';
  if (sizeOut) *sizeOut = got;
  return buffer;
}

void FreeFileBuffer(const void* buffer) {
  if (!buffer) return;
  if (buffer == g_sharedBuffer) {
    g_sharedInUse = false;
    return;
  }
  if (g_ownBlocks.erase(buffer) == 0) {
    Log("FreeFileBuffer: not a file buffer, or already freed\n");
    return;
  }
  delete[] static_cast<const char*>(buffer);
}

void ReleaseFileBufferCache() {
  if (g_sharedInUse) {
    // Someone still reads it: it becomes an ordinary block, freed when handed back.
    g_ownBlocks.insert(g_sharedBuffer);
  } else {
    delete[] g_sharedBuffer;
  }
  g_sharedBuffer = nullptr;
  g_sharedInUse = false;
}

void ScanDirectoryRecursive(const char* directory, const char* pattern, std::vector<std::string>& names,
                            bool recurse) {
  if (!directory || !pattern) return;
  ScanFolder(directory, pattern, names, recurse, 0);
}
