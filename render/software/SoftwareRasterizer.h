// CSoftwareRasterizer: the back end that draws without a 3D card into a 15-bit (x1r5g5b5) frame
// image held in memory and shows it through the platform's frame presenter. Triangles are
// queued during a scene and filled at its end: large ones nearest first, then the rest in
// submission order, then the see-through ones, which are tested against what came before but
// hide nothing. Fog is one level a triangle, taken from its corners' fog factors, through light
// tables blended towards the fog colour.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/display/DisplayMode.h"
#include "render/image/Image.h"
#include "render/software/SpanBuffer.h"
#include "render/software/TriangleFiller.h"
#include "render/view/RasterizerInterface.h"

class CSoftwarePalette;
class CSoftwareTexture;
class CSoftwareTextureStore;

class CSoftwareRasterizer : public CRasterizerInterface {
 public:
  // Queue capacities of one frame.
  static constexpr size_t kMaxNormal = 15999;
  static constexpr size_t kMaxLarge = 499;
  static constexpr size_t kMaxTranslucent = 3000;
  // Triangles whose bounding box covers fewer pixels are filled with one colour.
  static constexpr int32_t kTinyArea = 49;
  // Fog strengths a triangle can take (level 0 is no fog).
  static constexpr int kFogLevels = 16;

  // Drawing-mode bits of a queued triangle (0: one flat colour).
  static constexpr uint8_t kModeKeyed = 2;
  static constexpr uint8_t kModeTextured = 8;
  static constexpr uint8_t kModeShaded = 16;
  static constexpr uint8_t kModeClamped = 32;

  struct Statistics {
    uint32_t submitted = 0;
    uint32_t drawnNormal = 0;
    uint32_t drawnLarge = 0;
    uint32_t translucent = 0;
    uint32_t tiny = 0;
    uint32_t dropped = 0;       // found their queue full
    uint32_t refusedSpans = 0;  // the span buffer ran out
  };

  // Uses the program's texture store unless given another (tests).
  explicit CSoftwareRasterizer(CSoftwareTextureStore* store = nullptr);
  ~CSoftwareRasterizer() override;

  CSoftwareRasterizer(const CSoftwareRasterizer&) = delete;
  CSoftwareRasterizer& operator=(const CSoftwareRasterizer&) = delete;

  // Sets up the frame for the window: the window's client size when windowed, else the mode's
  // size shown as a full-screen window. False (logged) when the frame would have no pixels.
  bool Init(HWND window, const DisplayMode& mode);

  PixelBufferDesc* GetBackBufferDesc() override;
  PixelBufferDesc* LockBackBuffer() override;
  PixelBufferDesc* LockFrontBuffer() override;
  void UnlockFrontBuffer() override;
  PixelBufferDesc* LockZBuffer() override;
  long GetBackBufferDC(HDC* dc) override;
  long ReleaseBackBufferDC(HDC dc) override;
  long GetFrontBufferDC(HDC* dc) override;
  long ReleaseFrontBufferDC(HDC dc) override;
  void SaveScreenShot(const char* path) override;
  // Empties the queues and resets the drawing state; the camera (may be null: perspective) says
  // what the span buffer orders by.
  bool BeginScene(ViewFrustum* camera, uint32_t unused) override;
  void DrawTriangles(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices, uint32_t triangleCount,
                     CTexture* texture, CTexture* lightMap, float drawFactor) override;
  void DrawLines(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices, uint32_t lineCount) override;
  void Clear(bool depth, bool target, uint32_t colour) override;
  void PresentFrame() override;
  void EndScene() override;
  void SetPerspectiveCorrection(bool on) override { m_perspective = on; }
  void SetBackfaceCulling(bool on) override { m_culling = on; }
  bool GetBackfaceCulling() override { return m_culling; }
  void SetZWrite(bool on) override { m_zWrite = on; }
  void SetZBufferMode(ZBufferMode mode, bool preferWBuffer) override { m_depthMode = mode; }
  void SetClipping(bool on) override { m_drawingEnabled = on; }
  void SetFogEnable(bool on) override { m_fogEnabled = on; }
  void SetFogColour(uint32_t colour) override;
  void SetOption41(bool on) override { m_statisticsShown = on; }
  void ReleaseAllTextures() override;
  bool IsWindowed() override { return m_windowed; }
  // Preloads a level texture at a texture detail (0 full, 1 half, 2 quarter and below): the
  // first call for a level and detail reads the level folder's "texture<detail>.bin" into the
  // store; a texture the file does not hold is converted from its mip level of that detail.
  // False when no copy can be made.
  bool LoadTexture(CTexture* texture, uint32_t detail) override;
  // False selects texture coordinates held to the texture's edges for textured triangles.
  void SetTextureAddressing(bool wrap) { m_clamp = !wrap; }

  // Reads a level's texture cache file into the store (forgetting the old copies first).
  bool LoadTextureCache(const char* prefix, int detail);
  // The cache file read last ("" when none was asked for since the last developer command).
  const std::string& GetCacheFile() const { return m_cacheFile; }
  // Developer command: writes the texture cache files of the level's textures.
  bool CacheSoftwareTextures(const std::vector<CTexture*>& textures, const char* prefix);

  // x1r5g5b5 pixel of a 32-bit colour (bytes b, g, r, a).
  static uint16_t To555(uint32_t colour);

  uint32_t GetSubmittedTriangles() const { return m_stats.submitted; }
  // This frame's counts so far (the last presented frame's once PresentFrame has run).
  const Statistics& GetStatistics() const { return m_stats; }
  const Statistics& GetPresentedStatistics() const { return m_presented; }
  // "<submitted> Polys, <drawn> Drawn, <tiny> tiny, <fps> fps" as the overlay shows it.
  std::string GetStatisticsLine(uint32_t framesPerSecond) const;
  bool IsDrawingEnabled() const { return m_drawingEnabled; }
  ZBufferMode GetDepthMode() const { return m_depthMode; }
  bool GetZWrite() const { return m_zWrite; }
  size_t GetQueuedNormal() const { return m_normal.size(); }
  size_t GetQueuedLarge() const { return m_large.size(); }
  size_t GetQueuedTranslucent() const { return m_translucent.size(); }

 private:
  struct QueuedTriangle {
    FillVertex v[3];  // u and v in texture turns, intensity 0..255; not yet divided by w
    uint32_t colour;
    CTexture* texture;
    bool culling;
    bool zWrite;
    ZBufferMode depthMode;
    uint8_t mode;
    uint8_t fog;  // 0 .. kFogLevels - 1
    int32_t area;
  };

  bool SetupBuffers(uint32_t width, uint32_t height);
  void Queue(const ScreenVertex* v[3], CTexture* texture);
  void DrawQueued(const QueuedTriangle& t, bool zWrite);
  // The texture's copy: the one it points at, else the store's of its name, else a conversion of
  // the mip level given.
  CSoftwareTexture* ConvertedCopy(CTexture* texture, uint32_t level = 0);
  void DrawLine(int x0, int y0, int x1, int y1, uint16_t colour);
  uint16_t* Row(int y) const;
  // The 32 light tables of the fog level (level 0: the palette's own).
  const uint16_t* LightTablesFor(int fog);
  static uint16_t Fogged(uint16_t colour, uint16_t fog, int level);

  CSoftwareTextureStore* m_store;
  CImageRef m_frame;
  PixelBufferDesc m_desc;
  PixelBufferDesc m_depthDesc;
  HWND m_window = nullptr;
  bool m_windowed = false;  // the frame is always shown as the program's whole screen
  bool m_drawingEnabled = false;
  bool m_statisticsShown = false;
  bool m_perspective = true;
  bool m_orthographic = false;  // the scene's camera: the span buffer orders by z, not 1/w
  bool m_culling = true;
  bool m_zWrite = true;
  bool m_clamp = false;
  ZBufferMode m_depthMode = ZBufferMode::kZBuffer;
  bool m_fogEnabled = false;
  uint16_t m_fogColour = 0;
  std::vector<uint16_t> m_fogTables;  // levels 1 .. kFogLevels - 1, built when first needed
  const CSoftwarePalette* m_fogPalette = nullptr;  // the palette the fog tables were built from
  int64_t m_screenArea = 0;
  std::vector<QueuedTriangle> m_normal, m_large, m_translucent;
  std::vector<CTexture*> m_registered;  // textures whose device pointer is one of our copies
  std::string m_cacheFile;
  SpanBuffer m_spans;
  CTriangleFiller m_filler;
  Statistics m_stats;
  Statistics m_presented;
  DWORD m_lastPresent = 0;
};
