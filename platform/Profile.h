// Profile: the Windows INI-file functions the catalogs are read with (GetPrivateProfileStringA) and
// CoCreateGuid, implemented on POSIX files. File names resolve as every platform file does.
#pragma once

#include <cstdint>

#include "platform/Win32.h"

// Copies the value of key in [section] of the INI file into buffer (size bytes, always
// terminated when size > 0) and returns the number of characters copied. Section and key
// names compare without regard to case; values lose surrounding blanks and one pair of matching
// quotes; lines starting with ';' or '#' are comments. The default (null reads as empty, trailing
// blanks dropped) is copied when the file, section or key is missing, or section or key is null.
// A value longer than the buffer is cut to size - 1 characters, which is also the result.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                               DWORD size, const char* fileName);

// A random (version 4) GUID from the system's random source, never the game's own generator.
HRESULT CoCreateGuid(GUID* guid);
