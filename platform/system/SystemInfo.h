// SystemInfo: the machine facts the settings base their defaults on (memory
// size) and the dynamic-library calls of the renderer probe, which finds no
// Windows libraries on this platform.
#pragma once

#include "platform/system/Win32.h"

struct MEMORYSTATUS {
  DWORD dwLength;
  DWORD dwMemoryLoad;     // percent of physical memory in use
  size_t dwTotalPhys;     // bytes
  size_t dwAvailPhys;
  size_t dwTotalPageFile;
  size_t dwAvailPageFile;
  size_t dwTotalVirtual;
  size_t dwAvailVirtual;
};

// Fills the record from the system (sysinfo); fields it cannot learn are 0.
void GlobalMemoryStatus(MEMORYSTATUS* status);

struct LibraryHandle;
typedef LibraryHandle* HMODULE;
typedef void (*FARPROC)();

// There are no Windows libraries here: every load answers null, so probes for
// Windows-only services (such as "d3d8.dll") find them absent.
HMODULE LoadLibraryA(const char* name);
FARPROC GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);
