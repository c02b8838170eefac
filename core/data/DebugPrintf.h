// DebugPrintf: printf-style formatting of one line of text to the debugger output.
#pragma once

#include <cstddef>

// Longest text sent in one call, terminator included; longer texts are cut (see the .cpp).
constexpr size_t kDebugPrintfCapacity = 1024;

void DebugPrintf(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
