// ImageFileIo: file access through the platform's file functions.
#include "render/image/ImageFileIo.h"

#include <cstring>
#include <string>

#include "platform/files/Win32Files.h"

namespace {
constexpr size_t kZeroTail = 20;
constexpr DWORD kMaxFile = 0x7FFFFFFF;
}  // namespace

std::unique_ptr<uint8_t[]> ReadImageFile(const char* path, size_t* size) {
  *size = 0;
  HANDLE file = path ? CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                     : INVALID_HANDLE_VALUE;
  if (file == INVALID_HANDLE_VALUE) {
    OutputDebugStringA("Failed File Open\n");
    return nullptr;
  }
  const DWORD length = GetFileSize(file, nullptr);
  std::unique_ptr<uint8_t[]> block;
  DWORD read = 0;
  if (length != INVALID_FILE_SIZE && length <= kMaxFile) {
    block.reset(new uint8_t[length + kZeroTail]);
    std::memset(block.get() + length, 0, kZeroTail);
    if (!ReadFile(file, block.get(), length, &read, nullptr) || read != length) block.reset();
  }
  CloseHandle(file);
  if (!block) {
    OutputDebugStringA("Failed File Open\n");
    return nullptr;
  }
  *size = length;
  return block;
}

bool WriteImageFile(const char* path, const void* data, size_t size) {
  HANDLE file = path ? CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr) : INVALID_HANDLE_VALUE;
  bool ok = file != INVALID_HANDLE_VALUE;
  if (ok) {
    DWORD written = 0;
    ok = size <= kMaxFile && (size == 0 || (WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) &&
                                            written == size));
    ok = CloseHandle(file) && ok;
  }
  if (!ok) {
    const std::string line = std::string("Error Creating File: '") + (path ? path : "") +
                             "' - Check Path and File Attributes!\n";
    OutputDebugStringA(line.c_str());
  }
  return ok;
}
