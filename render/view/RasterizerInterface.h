// CRasterizerInterface: the renderer back end behind the render view. The view transforms,
// lights and clips on the processor; a back end only rasterises screen-space triangles and
// lines, holds the render and texture state, owns the frame buffers and presents the frame.
#pragma once

#include <cstdint>

#include "platform/system/Win32.h"
#include "render/view/PixelBufferDesc.h"
#include "render/view/ScreenVertex.h"
#include "render/view/ZBufferMode.h"

class CTexture;
class CMeshInstance;
class CMeshSection;
class CRenderView;
struct FogState;
class ViewFrustum;

// Back-end kinds reported by GetUserValue.
enum RasterizerKind : uint32_t {
  kRasterizerHardware = 0,
  kRasterizerSoftware = 1,
};

class CRasterizerInterface {
 public:
  // The declaration order is the slot order; most operations have an empty default so
  // that a back end overrides only what it supports. Eight operations are pure.
  virtual ~CRasterizerInterface() {}                                          // 0
  virtual void Reserved1(uint32_t, uint32_t) {}                               // 1
  virtual PixelBufferDesc* GetBackBufferDesc() = 0;                           // 2
  virtual PixelBufferDesc* LockBackBuffer() = 0;                              // 3
  virtual void UnlockBackBuffer() {}                                          // 4
  virtual PixelBufferDesc* LockFrontBuffer() = 0;                             // 5
  virtual void UnlockFrontBuffer() {}                                         // 6
  virtual PixelBufferDesc* LockZBuffer() { return nullptr; }                  // 7
  virtual void UnlockZBuffer() {}                                             // 8
  // Device-context operations return 0 on success; the out value is null on failure.
  virtual long GetBackBufferDC(HDC* dc) = 0;                                  // 9
  virtual long ReleaseBackBufferDC(HDC dc) = 0;                               // 10
  virtual long GetFrontBufferDC(HDC* dc) = 0;                                 // 11
  virtual long ReleaseFrontBufferDC(HDC dc) = 0;                              // 12
  virtual void SaveScreenShot(const char* path) {}                            // 13
  virtual void Reserved14(uint32_t) {}                                        // 14
  virtual uint32_t Reserved15(uint32_t) { return 0; }                         // 15
  virtual void Reserved16(uint32_t) {}                                        // 16
  virtual void Reserved17() {}                                                // 17
  virtual void SetScene(FogState* fog) {}                                     // 18
  // Null target: back to the back buffer. The three words are carried by callers but read by no back end.
  virtual bool SetRenderTarget(CTexture* target, uint32_t reserved0, uint32_t reserved1, uint32_t reserved2) {
    return false;
  }  // 19
  virtual bool BeginScene(ViewFrustum* camera, uint32_t unused) { return true; }                  // 20
  // The vertex array may be changed in place (the software back end writes intensities).
  virtual void DrawTriangles(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices,
                             uint32_t triangleCount, CTexture* texture, CTexture* lightMap,
                             float drawFactor) = 0;                           // 21
  virtual void DrawLines(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices,
                         uint32_t lineCount) {}                               // 22
  virtual bool IsVertexBufferAvailable() { return false; }                    // 23
  // Stage 1 when the view meets the instance (true: queue it), stage 2 when the sorted queue draws it.
  virtual bool DrawQueuedBuffer(CMeshInstance* instance, uint32_t stage) { return false; }  // 24
  // Queues the section's buffered pieces on the view (CRenderView::QueueBufferRange).
  virtual void FillVertexBuffer(CMeshSection* section, CRenderView* view) {}  // 25
  virtual void DrawBufferRange(uint32_t, uint32_t) {}                         // 26
  virtual void SetGamma(float factor) {}                                      // 27
  virtual void Clear(bool depth, bool target, uint32_t colour) {}             // 28
  virtual void PresentFrame() {}                                              // 29
  virtual void EndScene() {}                                                  // 30
  virtual void SetFogEnable(bool on) {}                                       // 31
  virtual void SetFogColour(uint32_t colour) {}                               // 32
  virtual void SetPerspectiveCorrection(bool on) {}                           // 33
  virtual void SetBilinearFilter(bool on) {}                                  // 34
  virtual void SetBackfaceCulling(bool on) {}                                 // 35
  virtual bool GetBackfaceCulling() { return true; }                          // 36
  virtual void SetZWrite(bool on) {}                                          // 37
  virtual void SetZBufferMode(ZBufferMode mode, bool preferWBuffer) {}        // 38
  // Drawing switch: while false a back end draws no lines (and the hardware one no triangles).
  virtual void SetClipping(bool on) {}                                        // 39
  virtual void SetTextureFiltering(bool on) {}                                // 40
  virtual void SetOption41(bool on) {}                                        // 41: frame statistics
  virtual void Reserved42(uint32_t) {}                                        // 42
  virtual void SetFillMode(bool wireframe) {}                                 // 43
  virtual void ReleaseAllTextures() {}                                        // 44
  virtual void ReleaseTextureSurfaces() {}                                    // 45
  virtual bool IsWindowed() { return true; }                                  // 46
  virtual uint32_t GetUserValue() { return m_userValue; }                     // 47
  virtual bool LoadTexture(CTexture* texture, uint32_t) { return false; }     // 48
  virtual bool SelectTexture(CTexture* texture) { return false; }             // 49
  virtual void Reserved50(uint32_t, uint32_t) {}                              // 50
  virtual bool LockTexture(CTexture* texture, PixelBufferDesc** desc) { return false; }  // 51
  virtual void UnlockTexture(CTexture* texture) {}                            // 52
  virtual void Reserved53(uint32_t, uint32_t) {}                              // 53
  // Drops the back end's copy of one texture that is about to be deleted.
  virtual void ReleaseTexture(CTexture* texture) {}

 protected:
  explicit CRasterizerInterface(RasterizerKind kind = kRasterizerHardware) : m_userValue(kind) {}

  uint32_t m_userValue;  // the back-end kind
};
