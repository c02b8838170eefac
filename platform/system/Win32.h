// The small subset of the Windows programming interface that the engine is
// written against, implemented on SDL2 and POSIX (see the .cpp files beside it).
// Only the names, types and constants the engine uses are declared; their
// meaning follows the Windows documentation unless a comment says otherwise.
#pragma once

#include <cstddef>
#include <cstdint>

typedef int32_t BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef int32_t LONG;
typedef int16_t SHORT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef uint32_t ULONG;
// Result word of the COM-style interfaces (sound, display): negative is failure.
typedef int32_t HRESULT;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline bool FAILED(HRESULT result) { return result < 0; }

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

struct PlatformWindow;
typedef PlatformWindow* HWND;        // a window of this process, or the first instance's window (see FindWindowA)
typedef void* HINSTANCE;
typedef void* HACCEL;
typedef void* HDC;
typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct POINT {
  LONG x;
  LONG y;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  int hIcon;          // resource number; no icons are loaded here
  int hCursor;        // a cursor from LoadCursorA, 0 for none
  int hbrBackground;  // a system colour index + 1 (COLOR_WINDOW + 1), 0 for none
  const char* lpszMenuName;
  const char* lpszClassName;
};

struct PAINTSTRUCT {
  HDC hdc;
  RECT rcPaint;
};

// Window messages.
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_DISPLAYCHANGE = 0x007E;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
constexpr UINT WM_MOUSEWHEEL = 0x020A;

constexpr WORD WA_INACTIVE = 0;
constexpr WORD WA_ACTIVE = 1;
constexpr short WHEEL_DELTA = 120;

// Mouse-message key state bits (wParam).
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_MBUTTON = 0x0010;

// Window and class styles.
constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_SYSMENU = 0x00080000u;
constexpr DWORD WS_THICKFRAME = 0x00040000u;
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
// System cursor and colour numbers for a window class.
constexpr int IDC_ARROW = 32512;
constexpr int COLOR_WINDOW = 5;
constexpr int GWL_STYLE = -16;

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
constexpr int SW_RESTORE = 9;

// PeekMessage options.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// GetSystemMetrics indices.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXFRAME = 32;
constexpr int SM_CYFRAME = 33;
constexpr int SM_CYMENU = 15;

// MessageBox flags and results.
constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_ICONERROR = 0x0010;
constexpr int IDOK = 1;

constexpr UINT HELP_QUIT = 0x0002;

// Virtual-key codes.
constexpr int VK_LBUTTON = 0x01;
constexpr int VK_RBUTTON = 0x02;
constexpr int VK_MBUTTON = 0x04;
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_PAUSE = 0x13;
constexpr int VK_CAPITAL = 0x14;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
// '0'..'9' are 0x30..0x39 and 'A'..'Z' are 0x41..0x5A, as their characters.
constexpr int VK_NUMPAD0 = 0x60;
constexpr int VK_MULTIPLY = 0x6A;
constexpr int VK_ADD = 0x6B;
constexpr int VK_SUBTRACT = 0x6D;
constexpr int VK_DECIMAL = 0x6E;
constexpr int VK_DIVIDE = 0x6F;
constexpr int VK_F1 = 0x70;
constexpr int VK_F12 = 0x7B;
constexpr int VK_LSHIFT = 0xA0;
constexpr int VK_RSHIFT = 0xA1;
constexpr int VK_LCONTROL = 0xA2;
constexpr int VK_RCONTROL = 0xA3;
constexpr int VK_LMENU = 0xA4;
constexpr int VK_RMENU = 0xA5;
constexpr int VK_OEM_1 = 0xBA;      // ;:
constexpr int VK_OEM_PLUS = 0xBB;
constexpr int VK_OEM_COMMA = 0xBC;
constexpr int VK_OEM_MINUS = 0xBD;
constexpr int VK_OEM_PERIOD = 0xBE;
constexpr int VK_OEM_2 = 0xBF;      // /?
constexpr int VK_OEM_3 = 0xC0;      // `~, the key left of 1
constexpr int VK_OEM_4 = 0xDB;      // [{
constexpr int VK_OEM_5 = 0xDC;      // backslash
constexpr int VK_OEM_6 = 0xDD;      // ]}
constexpr int VK_OEM_7 = 0xDE;      // '"

inline WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
inline WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
inline LPARAM MAKELPARAM(int lo, int hi) {
  return static_cast<LPARAM>((static_cast<uint32_t>(hi & 0xFFFF) << 16) | static_cast<uint32_t>(lo & 0xFFFF));
}
inline WPARAM MAKEWPARAM(int lo, int hi) { return static_cast<WPARAM>(static_cast<uint32_t>(MAKELPARAM(lo, hi))); }
inline short GET_WHEEL_DELTA_WPARAM(WPARAM w) { return static_cast<short>(HIWORD(w)); }

// Windows and messages.
//
// Windows here are SDL windows. A window starts hidden; CreateWindowA sends
// WM_CREATE (lParam 0; a result of -1 refuses the window) and ShowWindow sends
// WM_ACTIVATE when the window becomes active. Sizes passed to CreateWindowA are
// outer sizes: a window with a border (any style without WS_POPUP) has a frame
// of GetSystemMetrics(SM_CXFRAME) = 4 on every side, no caption and no menu bar
// (SM_CYMENU = 0), and AdjustWindowRect adds exactly that frame, so a window
// made from an adjusted rectangle has the client size asked for.
// All windows share one process-wide queue; PeekMessageA and GetMessageA turn
// pending SDL events into messages first. FindWindowA (class, null) also finds
// the first instance's window in another process (see plat::RestoreRequestsReceived).
UINT RegisterClassA(const WNDCLASSA* windowClass);
// A copy of a registered class's record (its name and menu name are not kept); FALSE when no
// class of that name is registered.
BOOL GetClassInfoA(HINSTANCE instance, const char* className, WNDCLASSA* out);
// The system cursors only (instance null): the cursor's number, 0 for one that does not exist.
int LoadCursorA(HINSTANCE instance, int cursorId);
HWND CreateWindowA(const char* className, const char* title, DWORD style, int x, int y, int width, int height,
                   HWND parent, void* menu, HINSTANCE instance, void* param);
HWND FindWindowA(const char* className, const char* title);
BOOL ShowWindow(HWND window, int command);
BOOL DestroyWindow(HWND window);
BOOL SetWindowTextA(HWND window, const char* text);
LONG SetWindowLongA(HWND window, int index, LONG value);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu);
int GetSystemMetrics(int index);
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT remove);
BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
// Text arrives as WM_CHAR from the window system's text input; TranslateMessage
// only adds the WM_CHAR of Backspace, Tab, Return and Escape.
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
HACCEL LoadAcceleratorsA(HINSTANCE instance, const char* name);
BOOL WinHelpA(HWND window, const char* file, UINT command, uintptr_t data);

// Keyboard and mouse state.
SHORT GetAsyncKeyState(int virtualKey);
BOOL GetCursorPos(POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);
int ShowCursor(BOOL show);

// Time.
DWORD timeGetTime();
void Sleep(DWORD milliseconds);
BOOL QueryPerformanceCounter(int64_t* count);
BOOL QueryPerformanceFrequency(int64_t* frequency);

// Diagnostics and dialogs.
void OutputDebugStringA(const char* text);
int MessageBoxA(HWND window, const char* text, const char* caption, UINT type);

// Process.
long CoInitialize(void* reserved);
void CoUninitialize();
BOOL SetCurrentDirectoryA(const char* path);
DWORD GetCurrentDirectoryA(DWORD size, char* buffer);

// Thread of the caller (the kernel's thread ID).
DWORD GetCurrentThreadId();

// Window hooks. A hook installed for a thread sees the keyboard and mouse
// messages made for that thread's windows as the event pump turns the window
// system's input (and plat::InjectMessage) into messages, newest hook first.
// A hook procedure that returns non-zero swallows the message.
struct HHOOK__;
typedef HHOOK__* HHOOK;
typedef LRESULT (*HOOKPROC)(int code, WPARAM wParam, LPARAM lParam);
typedef uintptr_t DWORD_PTR;
typedef uintptr_t ULONG_PTR;

constexpr int WH_KEYBOARD = 2;  // wParam: virtual-key code; lParam: repeat count, scan code, bits 30 and 31
constexpr int WH_MOUSE = 7;     // wParam: the mouse message; lParam: MOUSEHOOKSTRUCT*
constexpr int HC_ACTION = 0;

struct MOUSEHOOKSTRUCT {
  POINT pt;  // screen coordinates
  HWND hwnd;
  UINT wHitTestCode;
  ULONG_PTR dwExtraInfo;
};

HHOOK SetWindowsHookExA(int idHook, HOOKPROC procedure, HINSTANCE module, DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

// Key state as of the current message: bit 15 down, bit 0 the toggle (Caps Lock on).
SHORT GetKeyState(int virtualKey);
// Cursor placement in screen coordinates; a real display also moves the pointer.
BOOL SetCursorPos(int x, int y);
BOOL ClientToScreen(HWND window, POINT* point);
// The active window of this process, or null.
HWND GetForegroundWindow();

// Joysticks, on SDL's joysticks (and the fakes of platform/input/Joystick.h).
typedef UINT MMRESULT;
constexpr MMRESULT JOYERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT JOYERR_PARMS = 165;
constexpr MMRESULT JOYERR_UNPLUGGED = 167;
constexpr UINT JOYSTICKID1 = 0;
constexpr UINT JOYSTICKID2 = 1;
constexpr DWORD JOY_RETURNALL = 0xFF;
constexpr DWORD JOY_POVCENTERED = 0xFFFF;
constexpr UINT JOYCAPS_HASZ = 0x0001;
constexpr UINT JOYCAPS_HASR = 0x0002;
constexpr UINT JOYCAPS_HASU = 0x0004;
constexpr UINT JOYCAPS_HASV = 0x0008;
constexpr UINT JOYCAPS_HASPOV = 0x0010;
constexpr UINT JOYCAPS_POV4DIR = 0x0020;
constexpr int MAXPNAMELEN = 32;
constexpr int MAX_JOYSTICKOEMVXDNAME = 260;

struct JOYINFOEX {
  DWORD dwSize;  // sizeof(JOYINFOEX), set by the caller
  DWORD dwFlags;
  DWORD dwXpos;
  DWORD dwYpos;
  DWORD dwZpos;
  DWORD dwRpos;
  DWORD dwUpos;
  DWORD dwVpos;
  DWORD dwButtons;       // bit i: button i + 1 is down
  DWORD dwButtonNumber;  // how many buttons are down
  DWORD dwPOV;           // hundredths of a degree clockwise from forward, or JOY_POVCENTERED
  DWORD dwReserved1;
  DWORD dwReserved2;
};

struct JOYCAPSA {
  WORD wMid;
  WORD wPid;
  char szPname[MAXPNAMELEN];
  UINT wXmin, wXmax, wYmin, wYmax, wZmin, wZmax;
  UINT wNumButtons;
  UINT wPeriodMin, wPeriodMax;
  UINT wRmin, wRmax, wUmin, wUmax, wVmin, wVmax;
  UINT wCaps;
  UINT wMaxAxes, wNumAxes, wMaxButtons;
  char szRegKey[MAXPNAMELEN];
  char szOEMVxD[MAX_JOYSTICKOEMVXDNAME];
};

UINT joyGetNumDevs();
MMRESULT joyGetPosEx(UINT id, JOYINFOEX* info);
MMRESULT joyGetDevCapsA(UINT id, JOYCAPSA* caps, UINT size);

// Multimedia timers: each timer calls its procedure on a thread of its own,
// every delay milliseconds (TIME_PERIODIC) or once (TIME_ONESHOT). The
// resolution is not used. timeKillEvent waits for a running call to finish,
// so nothing of the timer runs once it returns (unless called from the
// timer's own procedure). Timers follow the real clock, never the manual one.
typedef void (*LPTIMECALLBACK)(UINT timerId, UINT message, DWORD_PTR user, DWORD_PTR reserved1, DWORD_PTR reserved2);
constexpr UINT TIME_ONESHOT = 0x0000;
constexpr UINT TIME_PERIODIC = 0x0001;
constexpr UINT TIME_CALLBACK_FUNCTION = 0x0000;
constexpr MMRESULT TIMERR_NOERROR = 0;

MMRESULT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK procedure, DWORD_PTR user, UINT flags);
MMRESULT timeKillEvent(MMRESULT timerId);
