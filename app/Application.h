// The application shell: single instance, main window, start-up, the fixed-step frame, renderer
// switches and shutdown. Everything runs on the main thread, from the frame or from message dispatch.
#pragma once

#include <cstdint>

#include "platform/system/Win32.h"

class CRasterizerInterface;
class CRenderView;

// Fixed simulation step and the catch-up limit of one frame.
constexpr uint32_t kTickMilliseconds = 33;
constexpr int kMaxTicksPerFrame = 6;
// The window and the front end's display mode.
constexpr int kBaseScreenWidth = 640;
constexpr int kBaseScreenHeight = 480;
constexpr uint32_t kFrontEndBits = 16;
// The main window's style when it is not full screen.
constexpr DWORD kMainWindowStyle = WS_THICKFRAME | WS_SYSMENU;
// Rasterizer states.
constexpr uint8_t kNoRasterizer = 0xFF;
constexpr uint8_t kMenuRasterizer = 0;
constexpr uint8_t kGameRasterizer = 1;

int WinMain(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int showCommand);
LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void InitApplication(HWND window, HINSTANCE instance);
// One pass of the fixed-step frame; 0 tells the caller to leave the message loop.
int RunFrame();
// Safe to call more than once: does nothing once the world is gone.
void ShutdownApplication();
void SwitchToMenuRasterizer();
void SwitchToGameRasterizer();
// Makes the front end's renderer again for the settings (full screen or not); nothing in a game.
void RenewMenuRasterizer();
void OnMouseMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void OnActivate(HWND window, WPARAM wParam);
void OnKeyMessage(uint32_t keyCode, uint32_t character);

// Reads the start-up switches of a whole command line (program path first).
void ReadCommandLine(const char* commandLine);
// The command line InitApplication reads (WinMain stores the one it was given).
void SetApplicationCommandLine(const char* commandLine);

// Shell state that screens and tests read or set.
HWND GetMainWindow();
CRenderView* GetRenderView();
CRasterizerInterface* GetRasterizer();
uint8_t GetRasterizerState();
DWORD GetFrameClockBase();
void SetFrameClockBase(DWORD milliseconds);  // screens reset it after long loads
bool IsApplicationActive();
uint32_t GetLastKey();
DWORD GetLastKeyTime();
bool IsSafeMode();
bool IsPvsWindowed();   // "pvs" with "rays" asked for a windowed start
int GetStartLevel();    // the level of a "-l<n>" switch, -1 when none
// The debug mode (the park's debug keys); while it is on, the Pause key freezes the frame clock.
void SetDebugMode(bool on);
bool IsDebugMode();
