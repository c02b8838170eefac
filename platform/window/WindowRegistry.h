// The platform layer's record of one window (PlatformWindow, what an HWND
// points at) and the registry services the other platform files share.
#pragma once

#include "platform/system/Win32.h"

#include <cstdint>
#include <string>
#include <vector>

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

struct PlatformWindow {
  std::string className;
  std::string title;
  WNDPROC procedure = nullptr;
  DWORD style = 0;
  SDL_Window* sdl = nullptr;
  uint32_t sdlId = 0;
  // A remote window stands for the first instance's window in another
  // process (see FindWindowA); only ShowWindow works on it.
  bool remote = false;
  bool active = false;
  bool minimised = false;
  bool destroying = false;
  int clientWidth = 0;
  int clientHeight = 0;
  // The client size before the window went full screen, given back when it leaves (0: none).
  int windowedWidth = 0;
  int windowedHeight = 0;

  // Presentation state of PresentPixels, made on first use.
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int textureWidth = 0;
  int textureHeight = 0;
  bool rendererFailed = false;
  std::vector<uint32_t> frame;  // the converted frame, reused between presents
  int frameWidth = 0;           // of the frame last shown (0 before the first)
  int frameHeight = 0;
};

namespace plat {
namespace detail {

// True for a window of this process that has not been destroyed.
bool IsLiveWindow(HWND window);
// The SDL window behind a live local window, or null.
SDL_Window* SdlWindowOf(HWND window);
// Screen position of the window's client origin (0,0 under a headless driver).
void ClientOrigin(HWND window, int* x, int* y);
// Frees the renderer and texture PresentPixels made for the window.
void ReleasePresentation(PlatformWindow* window);
// The frame the window shows, as x8r8g8b8 words with its size (an empty frame of the client
// size before anything was shown); null for a window that is not live.
const std::vector<uint32_t>* ShownFrame(HWND window, int* width, int* height);
// Restores and raises the window on behalf of another instance's request.
void RestoreForRequest(HWND window);
// Appends a message to the process-wide queue (no window check).
void QueueMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace detail
}  // namespace plat
