// PresentPixels: shows a frame of CPU pixels in a window through SDL's software renderer
// (a streaming texture), or by blitting to the window surface when no renderer can be made.
#include "platform/graphics/PixelConvert.h"
#include "platform/input/InputState.h"
#include "platform/system/Platform.h"
#include "platform/window/SdlSession.h"
#include "platform/window/WindowRegistry.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace {

constexpr int kMaxFrameSide = 16384;

void Log(const std::string& text) { OutputDebugStringA(("PresentPixels: " + text + "\n").c_str()); }

// Once the frame is scaled to the window, SDL reports the mouse in the frame's pixels; a position
// it reported before (the pointer's place when the window opened) is in the window's pixels and
// would stand until the mouse moves. So the pointer's place is taken again, in the frame's pixels,
// whenever the scaling changes.
void RetakeCursor(PlatformWindow* window) {
  if (SDL_GetMouseFocus() != window->sdl) return;
  int x = 0, y = 0;
  SDL_GetMouseState(&x, &y);
  float frameX = 0.0f, frameY = 0.0f;
  SDL_RenderWindowToLogical(window->renderer, x, y, &frameX, &frameY);
  int originX = 0, originY = 0;
  plat::detail::ClientOrigin(window, &originX, &originY);
  plat::detail::NoteCursorScreen(originX + static_cast<int>(std::floor(frameX)),
                                 originY + static_cast<int>(std::floor(frameY)));
}

bool PresentWithRenderer(PlatformWindow* window, int width, int height) {
  if (!window->texture || window->textureWidth != width || window->textureHeight != height) {
    if (window->texture) SDL_DestroyTexture(window->texture);
    window->texture =
        SDL_CreateTexture(window->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    window->textureWidth = window->texture ? width : 0;
    window->textureHeight = window->texture ? height : 0;
    if (!window->texture) {
      Log(std::string("cannot create a texture: ") + SDL_GetError());
      return false;
    }
  }
  // Scaled to the window with its aspect kept (a full-screen window is larger than the frame).
  int shownWidth = 0, shownHeight = 0;
  SDL_RenderGetLogicalSize(window->renderer, &shownWidth, &shownHeight);
  SDL_RenderSetLogicalSize(window->renderer, width, height);
  if (shownWidth != width || shownHeight != height) RetakeCursor(window);
  if (SDL_UpdateTexture(window->texture, nullptr, window->frame.data(), width * 4) != 0 ||
      SDL_RenderCopy(window->renderer, window->texture, nullptr, nullptr) != 0) {
    Log(std::string("cannot draw the frame: ") + SDL_GetError());
    return false;
  }
  SDL_RenderPresent(window->renderer);
  return true;
}

bool PresentWithSurface(PlatformWindow* window, int width, int height) {
  SDL_Surface* target = SDL_GetWindowSurface(window->sdl);
  if (!target) {
    Log(std::string("the window has no surface: ") + SDL_GetError());
    return false;
  }
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(window->frame.data(), width, height, 32, width * 4,
                                                           SDL_PIXELFORMAT_ARGB8888);
  if (!source) {
    Log(std::string("cannot wrap the frame: ") + SDL_GetError());
    return false;
  }
  const bool blitted = SDL_BlitScaled(source, nullptr, target, nullptr) == 0;
  SDL_FreeSurface(source);
  if (!blitted || SDL_UpdateWindowSurface(window->sdl) != 0) {
    Log(std::string("cannot show the frame: ") + SDL_GetError());
    return false;
  }
  return true;
}

}  // namespace

namespace plat {

namespace detail {

void ReleasePresentation(PlatformWindow* window) {
  if (window->texture) SDL_DestroyTexture(window->texture);
  if (window->renderer) SDL_DestroyRenderer(window->renderer);
  window->texture = nullptr;
  window->renderer = nullptr;
  window->textureWidth = 0;
  window->textureHeight = 0;
  window->frame.clear();
  window->frame.shrink_to_fit();
  window->frameWidth = 0;
  window->frameHeight = 0;
}

const std::vector<uint32_t>* ShownFrame(HWND window, int* width, int* height) {
  if (!IsLiveWindow(window) || window->remote) return nullptr;
  if (window->frame.empty()) {
    window->frameWidth = std::max(window->clientWidth, 1);
    window->frameHeight = std::max(window->clientHeight, 1);
    window->frame.assign(static_cast<size_t>(window->frameWidth) * static_cast<size_t>(window->frameHeight), 0);
  }
  *width = window->frameWidth;
  *height = window->frameHeight;
  return &window->frame;
}

}  // namespace detail

bool PresentPixels(HWND window, const void* pixels, int width, int height, int pitch, int bitsPerPixel) {
  if (!detail::IsLiveWindow(window) || !window->sdl) {
    Log("no such window");
    return false;
  }
  if (!pixels || width <= 0 || height <= 0 || width > kMaxFrameSide || height > kMaxFrameSide) {
    Log("bad frame size " + std::to_string(width) + "x" + std::to_string(height));
    return false;
  }
  window->frame.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  if (!ConvertToXrgb8888(pixels, width, height, pitch, bitsPerPixel, window->frame.data())) {
    Log("bad pixel format: " + std::to_string(bitsPerPixel) + " bits, pitch " + std::to_string(pitch));
    window->frame.clear();
    window->frameWidth = window->frameHeight = 0;
    return false;
  }
  window->frameWidth = width;
  window->frameHeight = height;
  if (!window->renderer && !window->rendererFailed) {
    // Software only (see EnsureSdlVideo): an accelerated renderer would hold a GL context of its
    // own on the thread the hardware renderer draws on.
    window->renderer = SDL_CreateRenderer(window->sdl, -1, SDL_RENDERER_SOFTWARE);
    if (!window->renderer) {
      // Remembered so the window surface is used from now on without retrying every frame.
      window->rendererFailed = true;
      Log(std::string("no renderer, blitting to the window surface: ") + SDL_GetError());
    }
  }
  if (window->renderer) return PresentWithRenderer(window, width, height);
  return PresentWithSurface(window, width, height);
}

}  // namespace plat
