// Debug output (OutputDebugStringA with an optional test sink) and message
// boxes that never block a headless or CI run.
#include "platform/system/Platform.h"
#include "platform/window/SdlSession.h"
#include "platform/window/WindowRegistry.h"
#include "platform/system/Win32.h"

#include <SDL.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

// Recursive so that a sink which itself logs cannot deadlock; held while the
// sink runs so that sinks see whole texts one at a time from any thread.
std::recursive_mutex& DebugMutex() {
  static std::recursive_mutex* mutex = new std::recursive_mutex();
  return *mutex;
}
plat::DebugSink& Sink() {
  static plat::DebugSink* sink = new plat::DebugSink();
  return *sink;
}
bool gEcho = false;

}  // namespace

void OutputDebugStringA(const char* text) {
  if (!text) return;
  std::lock_guard<std::recursive_mutex> lock(DebugMutex());
  plat::DebugSink& sink = Sink();
  if (!sink || gEcho) {
    std::fputs(text, stderr);
    std::fflush(stderr);
  }
  if (sink) sink(text);
}

int MessageBoxA(HWND window, const char* text, const char* caption, UINT type) {
  const char* safeText = text ? text : "";
  const char* safeCaption = caption ? caption : "";
  std::string line = std::string("MessageBox: ") + safeCaption + ": " + safeText;
  if (line.empty() || line.back() != '\n') line += "\n";
  OutputDebugStringA(line.c_str());

  // A dialog would wait for a person; in CI or without a real display nobody is there.
  if (std::getenv("CI") || !plat::HasDisplay()) return IDOK;
  if (!plat::detail::EnsureSdlVideo()) return IDOK;
  const Uint32 flags = (type & MB_ICONERROR) ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  if (SDL_ShowSimpleMessageBox(flags, safeCaption, safeText, plat::detail::SdlWindowOf(window)) != 0) {
    const std::string failure = std::string("MessageBox: could not show the box: ") + SDL_GetError() + "\n";
    OutputDebugStringA(failure.c_str());
  }
  return IDOK;
}

namespace plat {

DebugSink SetDebugSink(DebugSink sink) {
  std::lock_guard<std::recursive_mutex> lock(DebugMutex());
  DebugSink previous = std::move(Sink());
  Sink() = std::move(sink);
  return previous;
}

void SetDebugEcho(bool echoToStandardError) {
  std::lock_guard<std::recursive_mutex> lock(DebugMutex());
  gEcho = echoToStandardError;
}

void AppendFormat(std::string& out, const char* format, ...) {
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (length > 0) {
    // vsnprintf writes its terminator too, so the string grows by one more byte for it first.
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(length) + 1);
    std::vsnprintf(&out[at], static_cast<size_t>(length) + 1, format, again);
    out.resize(at + static_cast<size_t>(length));
  }
  va_end(again);
}

bool HasDisplay() {
  if (detail::HeadlessVideoDriver()) return false;
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

}  // namespace plat
