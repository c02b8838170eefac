// CFixedTextureCache: keeps Direct3D textures resident in a fixed set of device texture surfaces
// grouped by power-of-two edge. Mip-mapped textures share the standard pool and move between
// its levels as their on-screen size and the competition for slots change; single-image
// textures (render targets, locked textures) take a procedural slot of their native edge.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics/DirectDraw.h"
#include "render/hardware/CachedTexture.h"

class CTexture;

// One device surface of a pool and the texture occupying it.
struct TextureSlot {
  std::shared_ptr<IDirectDrawSurface4> surface;
  CCachedTexture* texture = nullptr;
  float scale = 1.0f;  // 1 / edge
  bool reserved = false;  // a render target's own slot, never given to another texture
};

using TexturePool = std::vector<std::vector<TextureSlot>>;  // by level: edge 2^level

class CFixedTextureCache {
 public:
  static constexpr int32_t kAgeLimit = 4;
  static constexpr int32_t kPromotionsPerFrame = 1;

  CFixedTextureCache() = default;
  ~CFixedTextureCache();
  CFixedTextureCache(const CFixedTextureCache&) = delete;
  CFixedTextureCache& operator=(const CFixedTextureCache&) = delete;

  void Create(IDirectDraw4* directDraw, IDirect3DDevice3* device, bool hardware, uint32_t lowerLimit,
              uint32_t upperLimit, std::vector<float> weights, std::vector<uint32_t> proceduralCounts, bool safeMode);
  void SetLevelCounts(uint32_t lowerLimit, uint32_t upperLimit, std::vector<float> weights,
                      std::vector<uint32_t> proceduralCounts);
  void BeginFrame(int32_t frame);
  // The surface to bind for the texture, made resident; null when it cannot be.
  IDirectDrawSurface4* GetTextureHandle(CTexture* texture);
  CCachedTexture* Register(CTexture* texture);
  CCachedTexture* RegisterMipmapped(CTexture* texture);
  TextureSlot* FindSlotRecord(const CCachedTexture* texture);
  // Moves a single-image texture into a procedural slot added for it alone, where what is drawn
  // into it stays until it is removed; true when it holds one.
  bool ReserveRenderTarget(CCachedTexture* texture);
  void RefreshTexture(CTexture* texture);
  void RemoveTexture(CCachedTexture* texture);
  void ReleaseSurfaces();
  void ReleaseAll();
  void BuildPools();
  uint32_t ReportTextureMemory() const;
  void ReportCacheRatio() const;

  // Format choice: the accepted format scoring highest against the layout (first on ties).
  static int ScoreFormat(const DDPIXELFORMAT& format, const DDPIXELFORMAT& layout);
  const DDPIXELFORMAT* ChooseFormat(const DDPIXELFORMAT& layout) const;

  const std::vector<DDPIXELFORMAT>& Formats() const { return m_formats; }
  const TexturePool& StandardPool() const { return m_standard; }
  const TexturePool& ProceduralPool() const { return m_procedural; }
  bool PoolsBuilt() const { return m_built; }
  const std::vector<std::unique_ptr<CCachedTexture>>& Textures() const { return m_textures; }
  float SlotWeight(const TextureSlot& slot) const;
  int32_t FrameUploads() const { return m_frameUploads; }
  int32_t PromotionsThisFrame() const { return m_promotions; }
  uint64_t UploadTotal() const { return m_uploadTotal; }

 private:
  static bool EnumFormat(const DDPIXELFORMAT& format, void* context);
  uint32_t StandardLevelCount() const;
  uint32_t ProceduralLevelCount() const { return static_cast<uint32_t>(m_procedural.size()); }
  std::shared_ptr<IDirectDrawSurface4> MakeSurface(uint32_t edge, const DDPIXELFORMAT& format, bool video,
                                                   bool mipmapped) const;
  void BuildProceduralPool();
  void BuildStandardPool();
  void DropPools();
  bool Allocate(CCachedTexture* texture);
  bool AllocateProcedural(CCachedTexture* texture);
  bool AllocateStandard(CCachedTexture* texture);
  int FindStandardLevel(const CCachedTexture& texture) const;
  bool Resort(int level, int index, bool promote);
  void SwapSlots(std::vector<TextureSlot>& slots, int a, int b);
  bool UsedRecently(const CCachedTexture* texture) const { return texture && texture->m_lastUse >= m_ageCutoff; }
  bool HoldsLastDrawn(const TextureSlot& slot) const;
  void Detach(CCachedTexture* texture);
  bool MoveInto(CCachedTexture* texture, int level, int index);
  void Upload(CCachedTexture* texture, IDirectDrawSurface4* target, int level);
  void FillSource(const CTexture& texture, IDirectDrawSurface4* surface) const;
  TexturePool& PoolOf(const CCachedTexture* texture) { return texture->IsSingleImage() ? m_procedural : m_standard; }

  IDirectDraw4* m_directDraw = nullptr;
  IDirect3DDevice3* m_device = nullptr;
  D3DDEVICEDESC m_deviceDesc;
  DDCAPS m_caps;
  std::vector<DDPIXELFORMAT> m_formats;
  DWORD m_desktopBits = 16;
  TexturePool m_standard;
  TexturePool m_procedural;
  bool m_built = false;
  std::vector<float> m_weights;
  std::vector<uint32_t> m_proceduralCounts;
  uint32_t m_lowerLimit = 0;
  uint32_t m_upperLimit = 0;
  std::vector<std::unique_ptr<CCachedTexture>> m_textures;
  int32_t m_frame = 0;
  int32_t m_ageCutoff = -kAgeLimit;
  CTexture* m_lastTexture = nullptr;
  IDirectDrawSurface4* m_lastHandle = nullptr;
  int32_t m_promotions = 0;
  int32_t m_frameUploads = 0;
  int32_t m_frameCount = 0;
  uint64_t m_uploadTotal = 0;
  bool m_busy = false;
  bool m_safeMode = false;
};
