// CSoftwareRasterizer: the back end that draws without a 3D card into a 15-bit (x1r5g5b5) frame
// held in memory and shows it through the platform's frame presenter.
#pragma once

#include <cstdint>
#include <vector>

#include "render/DisplayMode.h"
#include "render/RasterizerInterface.h"

class CSoftwareRasterizer : public CRasterizerInterface {
 public:
  CSoftwareRasterizer();
  ~CSoftwareRasterizer() override;

  CSoftwareRasterizer(const CSoftwareRasterizer&) = delete;
  CSoftwareRasterizer& operator=(const CSoftwareRasterizer&) = delete;

  // Sets up the frame for the window: the window's client size when windowed, else the
  // mode's size. False (logged) when the frame would have no pixels.
  bool Init(HWND window, const DisplayMode& mode);

  PixelBufferDesc* GetBackBufferDesc() override;
  PixelBufferDesc* LockBackBuffer() override;
  PixelBufferDesc* LockFrontBuffer() override;
  void UnlockFrontBuffer() override;
  long GetBackBufferDC(HDC* dc) override;
  long ReleaseBackBufferDC(HDC dc) override;
  long GetFrontBufferDC(HDC* dc) override;
  long ReleaseFrontBufferDC(HDC dc) override;
  bool BeginScene(ViewFrustum* camera, uint32_t unused) override;
  void DrawTriangles(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices, uint32_t triangleCount,
                     CTexture* texture, CTexture* lightMap, float drawFactor) override;
  void Clear(bool depth, bool target, uint32_t colour) override;
  void PresentFrame() override;
  void EndScene() override;
  void SetPerspectiveCorrection(bool on) override { m_perspective = on; }
  void SetBackfaceCulling(bool on) override { m_culling = on; }
  bool GetBackfaceCulling() override { return m_culling; }
  void SetZWrite(bool on) override { m_zWrite = on; }
  void SetZBufferMode(ZBufferMode mode, bool preferWBuffer) override { m_depthMode = mode; }
  void SetClipping(bool on) override { m_drawingEnabled = on; }
  void SetOption41(bool on) override { m_statistics = on; }
  bool IsWindowed() override { return m_windowed; }

  // x1r5g5b5 pixel of a 32-bit colour (bytes b, g, r, a).
  static uint16_t To555(uint32_t colour);

  uint32_t GetSubmittedTriangles() const { return m_submitted; }
  bool IsDrawingEnabled() const { return m_drawingEnabled; }
  ZBufferMode GetDepthMode() const { return m_depthMode; }
  bool GetZWrite() const { return m_zWrite; }

 private:
  bool SetupBuffers(uint32_t width, uint32_t height);

  std::vector<uint16_t> m_frame;
  PixelBufferDesc m_desc;
  HWND m_window = nullptr;
  bool m_windowed = false;  // the frame is always shown as the program's whole screen
  bool m_drawingEnabled = false;
  bool m_statistics = false;
  bool m_perspective = true;
  bool m_culling = true;
  bool m_zWrite = true;
  ZBufferMode m_depthMode = ZBufferMode::kZBuffer;
  uint32_t m_submitted = 0;
};
