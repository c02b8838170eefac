// CD3DRasterizer: the hardware back end. Draws the render view's screen vertices with indexed
// primitives on the display framework's Direct3D device, keeps the device's render and
// texture-stage state (skipping repeats), and leaves texture residency to the texture cache.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "render/display/DisplayDrivers.h"
#include "render/display/DisplayFramework.h"
#include "render/hardware/D3DStartOptions.h"
#include "render/hardware/FixedTextureCache.h"
#include "render/image/BitmapImage.h"
#include "render/view/RasterizerInterface.h"

class CSettings;

class CD3DRasterizer : public CRasterizerInterface {
 public:
  // Texture mode of the last draw.
  static constexpr int kNoTextureMode = -1;
  static constexpr int kOneTexture = 1;
  static constexpr int kTwoTextures = 2;
  // The part of a texture's flags that selects its addressing and blending.
  static constexpr uint32_t kModeBitsMask = 0x3F0000;

  CD3DRasterizer();
  ~CD3DRasterizer() override;
  CD3DRasterizer(const CD3DRasterizer&) = delete;
  CD3DRasterizer& operator=(const CD3DRasterizer&) = delete;

  // Chooses driver, device and mode for the settings and starts the device: 1 on success.
  int Create(HWND window, const CSettings& settings, bool safeMode);
  int InitDevice(HWND window, const DeviceChoice& choice, const D3DStartOptions& options);

  PixelBufferDesc* GetBackBufferDesc() override { return &m_backDesc; }
  PixelBufferDesc* LockBackBuffer() override;
  void UnlockBackBuffer() override;
  PixelBufferDesc* LockFrontBuffer() override;
  void UnlockFrontBuffer() override;
  PixelBufferDesc* LockZBuffer() override;
  void UnlockZBuffer() override;
  long GetBackBufferDC(HDC* dc) override;
  long ReleaseBackBufferDC(HDC dc) override;
  long GetFrontBufferDC(HDC* dc) override;
  long ReleaseFrontBufferDC(HDC dc) override;
  void SaveScreenShot(const char* path) override;
  void SetScene(FogState* fog) override { m_scene = fog; }
  bool SetRenderTarget(CTexture* target, uint32_t, uint32_t, uint32_t) override;
  bool BeginScene(ViewFrustum* camera, uint32_t unused) override;
  void DrawTriangles(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices, uint32_t triangleCount,
                     CTexture* texture, CTexture* secondTexture, float drawFactor) override;
  void DrawLines(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices, uint32_t lineCount) override;
  void SetGamma(float factor) override;
  void Clear(bool depth, bool target, uint32_t colour) override;
  void PresentFrame() override;
  void EndScene() override;
  void SetFogEnable(bool on) override;
  void SetFogColour(uint32_t colour) override;
  void SetPerspectiveCorrection(bool on) override;
  void SetBilinearFilter(bool on) override;
  void SetBackfaceCulling(bool on) override;
  bool GetBackfaceCulling() override { return m_culling; }
  void SetZWrite(bool on) override;
  void SetZBufferMode(ZBufferMode mode, bool preferWBuffer) override;
  void SetClipping(bool on) override { m_drawing = on; }
  void SetTextureFiltering(bool on) override;
  void SetOption41(bool on) override { m_statistics = on; }
  void SetFillMode(bool wireframe) override;
  void ReleaseAllTextures() override;
  void ReleaseTextureSurfaces() override;
  bool IsWindowed() override { return !m_framework->IsFullScreen(); }
  bool SelectTexture(CTexture* texture) override;
  bool LockTexture(CTexture* texture, PixelBufferDesc** desc) override;
  void UnlockTexture(CTexture* texture) override;
  // Wrap (true) or clamp (false) on both axes of stage 0.
  virtual void SetTextureAddressing(bool wrap);
  void ReleaseTexture(CTexture* texture) override;

  CDisplayFramework& Framework() { return *m_framework; }
  CFixedTextureCache& Cache() { return *m_cache; }
  uint32_t FrameCounter() const { return m_frameCounter; }
  uint32_t TriangleCounter() const { return m_triangles; }
  int TextureMode() const { return m_textureMode; }
  // The text the statistics overlay wrote on the last presented frame ("" when off).
  const std::string& LastStatisticsText() const { return m_lastStatistics; }

  // The 5-5-5 pixel of a 5-6-5 one: red and green move down a bit, blue stays.
  static uint16_t Convert565To555(uint16_t pixel) {
    return static_cast<uint16_t>(((pixel >> 1) & 0x7FE0) | (pixel & 0x1F));
  }
  // A ramp entry i times factor, held to what 16 bits can carry.
  static uint16_t GammaEntry(int i, float factor);
  // Clips point p against q to [0, maxX] x [0, maxY]; only x and y change.
  static void ClipPoint(ScreenVertex& p, const ScreenVertex& q, float maxX, float maxY);

 private:
  IDirect3DDevice3* Device() const { return m_framework->Device(); }
  void SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
  void SetStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
  void ApplyStartStates(const D3DStartOptions& options);
  void ApplyModeBits(uint32_t bits);
  void BindStages(CTexture* texture, IDirectDrawSurface4* first, CTexture* second, IDirectDrawSurface4* secondHandle,
                  bool twoTextures);
  PixelBufferDesc* LockSurface(IDirectDrawSurface4* surface, PixelBufferDesc* desc);
  void UnlockSurface(IDirectDrawSurface4* surface);
  void ReadTargetDesc();
  void UnbindTextures();
  void DrawStatistics(HDC dc);

  std::unique_ptr<CDisplayFramework> m_framework;
  std::unique_ptr<CFixedTextureCache> m_cache;
  FogState* m_scene = nullptr;
  int64_t m_appliedModeBits = -1;  // -1: the next texture applies its bits
  std::array<IDirectDrawSurface4*, 2> m_stageTextures{};
  PixelBufferDesc m_backDesc;
  PixelBufferDesc m_frontDesc;
  uint32_t m_frameCounter = 0;
  bool m_culling = true;
  bool m_drawing = false;
  bool m_statistics = false;
  bool m_wBufferCaps = false;
  int m_textureMode = kNoTextureMode;
  std::array<double, 8> m_frameTimes{};
  uint32_t m_ringIndex = 0;
  uint32_t m_triangles = 0;
  DWORD m_lastPresent = 0;
  std::string m_lastStatistics;
  std::unique_ptr<CBitmapImage> m_screenShot;  // kept between shots; made again when the back buffer's size changes
};

// Packs a PixelBufferDesc from a locked surface description.
PixelBufferDesc DescribeSurface(const DDSURFACEDESC2& desc);
