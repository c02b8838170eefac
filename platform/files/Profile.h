// Profile: the Windows INI-file functions the catalogs are read with (GetPrivateProfileStringA) and
// CoCreateGuid, implemented on POSIX files. File names resolve as every platform file does.
#pragma once

#include <cstdint>

#include "platform/system/Win32.h"

// Copies the value of key in [section] of the INI file into buffer, or with a null section or key
// the list of section or key names; see CProfileFile::GetString for the reading. The file is read
// afresh on every call: a reader asking many keys keeps a CProfileFile instead.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                               DWORD size, const char* fileName);

// A random (version 4) GUID from the system's random source, never the game's own generator.
HRESULT CoCreateGuid(GUID* guid);
