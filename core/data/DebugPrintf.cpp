#include "core/data/DebugPrintf.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/system/Win32.h"

void DebugPrintf(const char* format, ...) {
  if (format == nullptr) return;
  char text[kDebugPrintfCapacity];
  va_list args;
  va_start(args, format);
  const int wanted = std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  if (wanted < 0) return;  // an encoding error leaves nothing worth sending
  if (static_cast<size_t>(wanted) >= sizeof(text)) {
    // Cut to fit, but keep the line a line: callers end their text with "\n", and a lost line end
    // would glue the next message onto this one.
    const size_t formatLength = std::strlen(format);
    if (formatLength > 0 && format[formatLength - 1] == '\n') text[sizeof(text) - 2] = '\n';
  }
  // The platform's debugger output already echoes to standard error, so the text goes out once.
  OutputDebugStringA(text);
}
