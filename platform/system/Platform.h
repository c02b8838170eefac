// Services of the platform layer that have no Windows counterpart: the
// game's own random generator, the hand-driven clock and debug sink for tests,
// presenting a software frame, and the program's own folder.
#pragma once

#include "platform/system/Win32.h"

#include <functional>
#include <string>

namespace plat {

// The game's random generator: 15-bit results (0..kRandMax) from one global
// state, the same sequence on every machine for the same seed.
constexpr int kRandMax = 32767;
int rand();
void srand(unsigned seed);

// Clock. By default timeGetTime and QueryPerformanceCounter read the system's
// monotonic clock and Sleep sleeps. A test can switch to a hand-driven clock:
// time then moves only through AdvanceClock and Sleep (which advances it by
// the requested milliseconds instead of waiting).
void UseManualClock(DWORD startMilliseconds);
void UseRealClock();
bool IsManualClock();
void AdvanceClock(DWORD milliseconds);
// Milliseconds requested from Sleep since the last ResetSleepLog, and the count of calls.
DWORD SleptMilliseconds();
int SleepCalls();
void ResetSleepLog();

// Debug output. OutputDebugStringA writes each text to standard error unless a
// sink is installed; a sink receives every text instead (tests capture it).
// Texts are delivered one at a time from any thread.
using DebugSink = std::function<void(const char* text)>;
DebugSink SetDebugSink(DebugSink sink);  // returns the previous sink
// With echo on, standard error receives every text even while a sink is installed.
void SetDebugEcho(bool echoToStandardError);
// Formatted text appended to a string, however long: reports and dumps build their text this way.
void AppendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Presents a frame of pixels in the window. bitsPerPixel is 15 (x1r5g5b5),
// 16 (r5g6b5) or 32 (x8r8g8b8); pitch is in bytes.
bool PresentPixels(HWND window, const void* pixels, int width, int height, int pitch, int bitsPerPixel);
// Shows the window as a borderless window over the whole desktop (or back); the frames
// presented keep their own size and are scaled to fit with their aspect kept.
bool ShowFullScreen(HWND window, bool on);
// The built-in 5 x 7 font: row bits of a character's glyph, top row first, bit 4 the left
// column (capitals, digits and the marks ! # ' , - . / : ; ?; lower case answers as capitals); null for any other.
const uint8_t* TinyGlyph(char c);
// Writes a line of text in the 5 x 7 font (capitals, digits and commas; six pixels a character)
// with its top-left corner at (x, y) into a 15- or 16-bit frame, clipped to it. Returns the
// pixels written.
int DrawTextLine(void* pixels, int width, int height, int pitch, int x, int y, const char* text, uint16_t colour);

// True when a real display is present: SDL's video driver is not the offscreen
// or dummy one, and DISPLAY or WAYLAND_DISPLAY is set. MessageBoxA shows a box
// only then, and never when the environment variable CI is set; it always logs
// "MessageBox: <caption>: <text>" through OutputDebugStringA.
bool HasDisplay();

// The folder of the running executable, with a trailing '/'.
std::string ExecutableFolder();

// Runs a long job at the lowest scheduling priority while the caller waits, so that the rest of
// the machine goes first (what the idle priority class gives on Windows). The job runs on a
// worker thread niced to 19: a thread may lower its own priority but not raise it back without
// privileges, so the caller's thread is never lowered. Exceptions reach the caller. Returns
// whether the priority could be lowered; the job runs either way (on the calling thread when
// no worker can be started).
bool RunAtIdlePriority(const std::function<void()>& job);

// Test hooks for the keyboard and mouse state that GetAsyncKeyState and
// GetCursorPos report (real events from the window update the same state).
void SetKeyState(int virtualKey, bool down);
void SetCursorScreenPos(int x, int y);

// Queues a window message for the window as if the window system had sent it:
// key and button messages also update the key state, and mouse messages the
// cursor position (lParam in client coordinates), as real input would.
void InjectMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Single instance: the first window created with a class name takes a
// per-user lock named after the class; FindWindowA of that class in another
// process returns a handle to it, and ShowWindow (handle, SW_RESTORE) asks the
// first process to restore its window. The folder of the lock and socket is
// $KELVARUN_RUNTIME_DIR when set (tests), else a per-user folder under /tmp.
// Returns how many restore requests this process has received.
int RestoreRequestsReceived();

}  // namespace plat
