// Win32Files: the Windows file functions the engine is written against
// (CreateFileA and its family, the FindFirstFileA folder walk, attributes),
// implemented on POSIX. Every path goes through plat::ResolvePath, so data
// names with backslashes and a letter case that differs from the disk work.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/system/Win32.h"

typedef void* HANDLE;
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))

constexpr DWORD MAX_PATH = 260;

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  char cFileName[MAX_PATH];
};

// Opens or creates a regular file. Access is GENERIC_READ and/or
// GENERIC_WRITE; share mode, security, flags and template are ignored.
// INVALID_HANDLE_VALUE on failure (folders are refused). Close with CloseHandle.
HANDLE CreateFileA(const char* path, DWORD access, DWORD shareMode, void* security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
// Reads up to count bytes; *bytesRead is less than count only at the end of
// the file. FALSE on an error or a handle that is not an open file.
BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* bytesRead, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* bytesWritten, void* overlapped);
// Low 32 bits of the size, the high ones through sizeHigh when given;
// INVALID_FILE_SIZE for a bad handle.
DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);
// Moves the file position (64-bit when distanceHigh is given); returns the low
// 32 bits of the new position, INVALID_SET_FILE_POINTER when the move fails
// (a position before the start included).
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
// Closes a file or search handle, or any handle registered with plat::RegisterHandle.
BOOL CloseHandle(HANDLE handle);

BOOL DeleteFileA(const char* path);
// Creates one folder; FALSE when it exists already or its parent does not.
BOOL CreateDirectoryA(const char* path, void* security);
// FILE_ATTRIBUTE_DIRECTORY or FILE_ATTRIBUTE_NORMAL (with READONLY when the
// file cannot be written); INVALID_FILE_ATTRIBUTES when nothing is there.
DWORD GetFileAttributesA(const char* path);

// Walks the entries of a folder matching the pattern's last component ('*'
// and '?', letters without regard to case). Names come in byte-wise sorted
// order so that every scan gives the same result on every file system; "."
// and ".." are never reported. INVALID_HANDLE_VALUE when nothing matches.
HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE search);

namespace plat {

// Base of every object that stands behind a HANDLE. Other platform modules
// (file mappings, for instance) derive from it so that CloseHandle frees them.
class CHandleObject {
 public:
  virtual ~CHandleObject() = default;
};

// Keeps the object until CloseHandle and returns the handle that names it.
HANDLE RegisterHandle(std::unique_ptr<CHandleObject> object);
// The live object behind handle, or null for a closed, foreign or invalid one.
CHandleObject* LookupHandle(HANDLE handle);

}  // namespace plat
