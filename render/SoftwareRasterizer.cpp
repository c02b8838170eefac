// CSoftwareRasterizer: frame set-up, clearing, scene state and presenting.
#include "render/SoftwareRasterizer.h"

#include <algorithm>

#include "platform/Platform.h"

CSoftwareRasterizer::CSoftwareRasterizer() : CRasterizerInterface(kRasterizerSoftware) {}

CSoftwareRasterizer::~CSoftwareRasterizer() = default;

uint16_t CSoftwareRasterizer::To555(uint32_t colour) {
  const uint32_t r = (colour >> 16) & 0xFF;
  const uint32_t g = (colour >> 8) & 0xFF;
  const uint32_t b = colour & 0xFF;
  return static_cast<uint16_t>(((r & 0xF8) << 7) | ((g & 0xF8) << 2) | (b >> 3));
}

bool CSoftwareRasterizer::Init(HWND window, const DisplayMode& mode) {
  m_window = window;
  uint32_t width = mode.width;
  uint32_t height = mode.height;
  if (!mode.fullScreen) {
    // The frame matches the client area exactly: a frame one pixel wider and taller than the
    // window would be shown scaled or cut.
    RECT client = {0, 0, 0, 0};
    if (window && GetClientRect(window, &client)) {
      width = client.right > client.left ? static_cast<uint32_t>(client.right - client.left) : 0;
      height = client.bottom > client.top ? static_cast<uint32_t>(client.bottom - client.top) : 0;
    }
  }
  if (!SetupBuffers(width, height)) {
    OutputDebugStringA("CSoftwareRasterizer: Cannot set up a frame without pixels!\n");
    return false;
  }
  return true;
}

bool CSoftwareRasterizer::SetupBuffers(uint32_t width, uint32_t height) {
  // 8192 x 8192 bounds the frame well inside the 32-bit pitch and area arithmetic.
  if (width == 0 || height == 0 || width > 8192 || height > 8192) return false;
  m_frame.assign(static_cast<size_t>(width) * height, 0);
  m_desc = DescribePacked555(m_frame.data(), width, height);
  return true;
}

PixelBufferDesc* CSoftwareRasterizer::GetBackBufferDesc() { return &m_desc; }

// The frame lives in memory, so no lock is needed; before Init there is nothing to lock.
PixelBufferDesc* CSoftwareRasterizer::LockBackBuffer() { return m_desc.pixels ? &m_desc : nullptr; }

PixelBufferDesc* CSoftwareRasterizer::LockFrontBuffer() { return nullptr; }

void CSoftwareRasterizer::UnlockFrontBuffer() {}

// No device contexts exist on this platform: every request fails with a null context.
long CSoftwareRasterizer::GetBackBufferDC(HDC* dc) {
  if (dc) *dc = nullptr;
  return -1;
}

long CSoftwareRasterizer::ReleaseBackBufferDC(HDC dc) { return -1; }

long CSoftwareRasterizer::GetFrontBufferDC(HDC* dc) {
  if (dc) *dc = nullptr;
  return -1;
}

long CSoftwareRasterizer::ReleaseFrontBufferDC(HDC dc) { return -1; }

bool CSoftwareRasterizer::BeginScene(ViewFrustum* camera, uint32_t unused) {
  m_perspective = true;
  m_culling = true;
  m_zWrite = true;
  m_depthMode = ZBufferMode::kZBuffer;
  return true;
}

// Triangle filling arrives with the span machinery; until then triangles are counted only.
void CSoftwareRasterizer::DrawTriangles(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices,
                                        uint32_t triangleCount, CTexture* texture, CTexture* lightMap,
                                        float drawFactor) {
  m_submitted += triangleCount;
}

void CSoftwareRasterizer::EndScene() {}

void CSoftwareRasterizer::Clear(bool depth, bool target, uint32_t colour) {
  if (target) std::fill(m_frame.begin(), m_frame.end(), To555(colour));
}

void CSoftwareRasterizer::PresentFrame() {
  if (m_frame.empty()) return;
  const uint32_t w = m_desc.width;
  const uint32_t h = m_desc.height;
  // The right column and bottom row are always shown black.
  for (uint32_t y = 0; y < h; ++y) m_frame[static_cast<size_t>(y) * w + (w - 1)] = 0;
  std::fill(m_frame.end() - w, m_frame.end(), 0);
  plat::PresentPixels(m_window, m_frame.data(), static_cast<int>(w), static_cast<int>(h), m_desc.pitch, 15);
  m_submitted = 0;
}
