// Module resources: the Win32 calls that find, load and lock a data block a module carries, by
// name and type. A program here is no Windows image, so its modules carry only what is added with
// plat::AddModuleResource; the program itself adds none.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/system/SystemInfo.h"
#include "platform/system/Win32.h"

struct ModuleResource;
typedef ModuleResource* HRSRC;
typedef void* HGLOBAL;

// A resource name or type given as a number rather than as text.
inline const char* MAKEINTRESOURCEA(uint16_t id) { return reinterpret_cast<const char*>(static_cast<uintptr_t>(id)); }
inline bool IS_INTRESOURCE(const char* name) { return (reinterpret_cast<uintptr_t>(name) >> 16) == 0; }
// Resource type 10: raw data.
#define RT_RCDATA MAKEINTRESOURCEA(10)

// The program's own module for a null name; null for any other name (no libraries load here).
HMODULE GetModuleHandleA(const char* name);
// The resource of that name and type in the module (the program's own for null); text names and
// types match regardless of case, numbers match numbers. Null when there is none.
HRSRC FindResourceA(HMODULE module, const char* name, const char* type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
// The first byte of a loaded resource; the block lives as long as the module's resources do.
void* LockResource(HGLOBAL loaded);
DWORD SizeofResource(HMODULE module, HRSRC resource);

namespace plat {
// Gives the module (the program's own for null) a copy of the bytes as a resource. Like a module's
// own resources it never changes afterwards (images borrow its bytes): false when the module has
// one of that name and type already, or for a null name, type or data.
bool AddModuleResource(HMODULE module, const char* name, const char* type, const void* data, size_t size);
// Removes every resource of the module (the program's own for null); nothing made from their
// bytes may be left.
void ClearModuleResources(HMODULE module);
}  // namespace plat
