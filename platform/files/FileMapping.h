// FileMapping: whole files mapped into memory copy-on-write, through the Windows file-mapping calls.
// Mesh files are parsed in place from such a view; writes to a copy-on-write view stay private
// to the process, so the file on disk never changes through it.
#pragma once

#include "platform/files/FileWrite.h"  // ReplaceFileContents, for the writers of mapped files

#include <cstddef>
#include <cstdint>

#include "platform/system/Win32.h"

typedef void* HANDLE;

// CreateFileMappingA protections and MapViewOfFile access modes that are supported.
constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_WRITECOPY = 0x08;
constexpr DWORD FILE_MAP_COPY = 0x0001;
constexpr DWORD FILE_MAP_READ = 0x0004;

// A mapping of the whole file (sizes must be 0; names are not supported). Null on failure.
// The mapping stays valid after the file handle is closed.
HANDLE CreateFileMappingA(HANDLE file, void* attributes, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, const char* name);
// A view of the whole mapping (offsets and byte count must be 0). Null on failure, which
// includes an empty file: there is nothing to map.
void* MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, size_t bytes);
BOOL UnmapViewOfFile(const void* view);

namespace plat {

// Opens an existing regular file for reading, shared with other readers and writers
// (resolved like every data path). Null when it cannot be opened.
HANDLE OpenFileForMapping(const char* path);
// Closes a file handle from OpenFileForMapping or a mapping from CreateFileMappingA.
void CloseMappingHandle(HANDLE handle);
// Byte size of an open file or mapping handle; -1 for anything else.
int64_t GetMappingHandleSize(HANDLE handle);


}  // namespace plat
