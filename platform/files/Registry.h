// Registry: the Windows registry calls the engine uses, kept in the plain text
// file "registry.txt" in the working directory (beside "settings.bin").
//
// The file holds one section per key and one line per value:
//
//   [HKEY_LOCAL_MACHINE\Software\Brimwell\Vantorhill]
//   "TARGETDIR"="C:\\Games\\Vantorhill"
//   "Flags"=dword:0000001b
//   "Settings"=hex:01,02,ff
//   "Other"=hex(7):41,00,00
//
// Strings escape '\' and '"' with a backslash and other bytes below 32 or
// above 126 as \xHH. Key paths and value names match without regard to letter
// case, as in the Windows registry. Lines that fit none of these forms are
// skipped (and logged), so a hand-edited file never stops the program.
// Every call reads the file afresh and every change rewrites it whole
// (plat::ReplaceFileContents), so the file is never left half-written.
#pragma once

#include "platform/system/Win32.h"

struct RegistryKeyHandle;
typedef RegistryKeyHandle* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;

// The only root the engine uses.
extern HKEY const HKEY_LOCAL_MACHINE;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;

// Opens root\subKey (root is HKEY_LOCAL_MACHINE or an open key; an empty or
// null subKey opens root itself). ERROR_FILE_NOT_FOUND when the file has no
// section for that key. Close the result with RegCloseKey.
LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD options, REGSAM desired, PHKEY result);
LONG RegCloseKey(HKEY key);
// As on Windows: with data null only *size is set to the size of the value
// (for REG_SZ including its terminating NUL); when *size is too small,
// ERROR_MORE_DATA and *size the size needed. type may be null.
LONG RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
// Stores a value under the key, replacing one of the same name.
LONG RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegDeleteValueA(HKEY key, const char* name);

// The system's message text for an error code (FORMAT_MESSAGE_FROM_SYSTEM,
// into the caller's buffer, ending in "\r\n" as on Windows); the number of
// characters written without the NUL, 0 when the buffer is too small.
DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD languageId, char* buffer, DWORD size,
                     void* arguments);
