// RecordingRasterizer: a back end for tests that records every call made through the renderer
// interface, in order, with its arguments, and keeps a 15-bit frame in memory to lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/view/RasterizerInterface.h"

class RecordingRasterizer : public CRasterizerInterface {
 public:
  explicit RecordingRasterizer(uint32_t width = 640, uint32_t height = 480, RasterizerKind kind = kRasterizerSoftware);

  // Every call as "Name" or "Name(arg,arg)"; booleans as 0/1, colours in hex.
  std::vector<std::string> calls;
  int Count(const std::string& name) const;             // calls whose name is exactly this
  int IndexOf(const std::string& call, int from = 0) const;  // first entry equal to call, or -1

  // Copies of what each DrawTriangles and DrawLines call received, in call order.
  struct Draw {
    std::vector<ScreenVertex> vertices;
    std::vector<uint16_t> indices;  // three per triangle, two per line
    CTexture* texture = nullptr;
    CTexture* lightMap = nullptr;
    float drawFactor = 0.0f;
    bool lines = false;
  };
  std::vector<Draw> draws;
  // The corners of every triangle drawn, three per triangle, in draw order.
  std::vector<ScreenVertex> TriangleCorners() const;
  // Everything recorded as text, a line per call; each draw followed by its texture and light map
  // (numbered in order of first use, 0 for none), its indices and a line per vertex.
  std::string Transcript() const;
  void Forget() {
    calls.clear();
    draws.clear();
  }

  int lockDepth = 0;  // back-buffer locks not yet unlocked
  bool beginSceneResult = true;
  bool windowed = true;
  std::vector<uint16_t> frame;
  // Vertex buffers: offered when set; stage-1 DrawQueuedBuffer answers acceptBuffers; a filled
  // section queues one range per face group (first = group index, count = its faces) at sectionKey.
  bool vertexBuffers = false;
  bool acceptBuffers = true;
  float sectionKey = 0.0f;
  std::vector<CMeshInstance*> bufferedInstances;  // every DrawQueuedBuffer, in call order

  void Reserved1(uint32_t, uint32_t) override;
  PixelBufferDesc* GetBackBufferDesc() override;
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
  void Reserved14(uint32_t) override;
  uint32_t Reserved15(uint32_t) override;
  void Reserved16(uint32_t) override;
  void Reserved17() override;
  void SetScene(FogState* fog) override;
  bool SetRenderTarget(CTexture* target, uint32_t, uint32_t, uint32_t) override;
  bool BeginScene(ViewFrustum* camera, uint32_t unused) override;
  void DrawTriangles(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices, uint32_t triangleCount,
                     CTexture* texture, CTexture* lightMap, float drawFactor) override;
  void DrawLines(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices, uint32_t lineCount) override;
  bool IsVertexBufferAvailable() override;
  bool DrawQueuedBuffer(CMeshInstance* instance, uint32_t stage) override;
  void FillVertexBuffer(CMeshSection* section, CRenderView* view) override;
  void DrawBufferRange(uint32_t, uint32_t) override;
  void SetGamma(float factor) override;
  void Clear(bool depth, bool target, uint32_t colour) override;
  void PresentFrame() override;
  void EndScene() override;
  void SetFogEnable(bool on) override;
  void SetFogColour(uint32_t colour) override;
  void SetPerspectiveCorrection(bool on) override;
  void SetBilinearFilter(bool on) override;
  void SetBackfaceCulling(bool on) override;
  bool GetBackfaceCulling() override;
  void SetZWrite(bool on) override;
  void SetZBufferMode(ZBufferMode mode, bool preferWBuffer) override;
  void SetClipping(bool on) override;
  void SetTextureFiltering(bool on) override;
  void SetOption41(bool on) override;
  void Reserved42(uint32_t) override;
  void SetFillMode(bool wireframe) override;
  void ReleaseAllTextures() override;
  void ReleaseTextureSurfaces() override;
  bool IsWindowed() override;
  uint32_t GetUserValue() override;
  bool LoadTexture(CTexture* texture, uint32_t) override;
  bool SelectTexture(CTexture* texture) override;
  void Reserved50(uint32_t, uint32_t) override;
  bool LockTexture(CTexture* texture, PixelBufferDesc** desc) override;
  void UnlockTexture(CTexture* texture) override;
  void Reserved53(uint32_t, uint32_t) override;

 private:
  void Record(const std::string& call) { calls.push_back(call); }
  PixelBufferDesc m_desc;
  bool m_culling = true;
};
