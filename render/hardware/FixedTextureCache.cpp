// The hardware texture cache: pools, slot weights, promotion, downgrades and uploads.
#include "render/hardware/FixedTextureCache.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstring>

#include "core/data/DebugPrintf.h"
#include "render/hardware/DDErrorText.h"
#include "render/image/Texture.h"

namespace {

int Bits(DWORD mask) { return static_cast<int>(std::bitset<32>(mask).count()); }

int FloorLog2(uint32_t v) {
  int n = -1;
  while (v) {
    v >>= 1;
    ++n;
  }
  return n;
}

uint32_t FloorPowerOfTwo(uint32_t v) { return v ? 1u << FloorLog2(v) : 1u; }

DDPIXELFORMAT LayoutOf(const CTexture& t) {
  DDPIXELFORMAT f;
  f.dwFlags = DDPF_RGB | (t.alphaMask ? DDPF_ALPHAPIXELS : 0);
  f.dwRGBBitCount = t.bytesPerPixel * 8;
  f.dwRBitMask = t.redMask;
  f.dwGBitMask = t.greenMask;
  f.dwBBitMask = t.blueMask;
  f.dwRGBAlphaBitMask = t.alphaMask;
  return f;
}

// The layout every pool surface is first made in: 8-8-8 without alpha, as a 24-bit texture has.
DDPIXELFORMAT PoolLayout() {
  DDPIXELFORMAT f;
  f.dwFlags = DDPF_RGB;
  f.dwRGBBitCount = 24;
  f.dwRBitMask = 0xFF0000;
  f.dwGBitMask = 0xFF00;
  f.dwBBitMask = 0xFF;
  return f;
}

uint32_t BytesOf(const DDPIXELFORMAT& f) { return (f.dwRGBBitCount + 7) / 8; }

// Scales the channel so the mask's top bit lands on bit 7.
uint32_t Channel8(uint32_t pixel, DWORD mask) {
  if (!mask) return 0;
  const int top = 31 - __builtin_clz(mask);
  const uint32_t v = pixel & mask;
  return (top > 7 ? v >> (top - 7) : v << (7 - top)) & 0xFF;
}

}  // namespace

// --- CCachedTexture ---------------------------------------------------------------------------

void CCachedTexture::GetTexelColour(Color& out, float u, float v) const {
  IDirectDrawSurface4* image = Image(0);
  DDSURFACEDESC2 desc;
  const HRESULT locked = image ? image->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) : DDERR_INVALIDOBJECT;
  if (locked != DD_OK) {
    DebugPrintf("CFixedTextureCache: Error in texture surface lock getting Texture Color!\n");
    DebugPrintf("%s", DDErrorToString(locked));
    out.b = out.g = out.r = out.a = 0xFF;
    return;
  }
  const int64_t w = desc.dwWidth, h = desc.dwHeight;
  const int64_t x = ((static_cast<int64_t>(u * static_cast<float>(w)) % w) + w) % w;
  const int64_t y = ((static_cast<int64_t>(v * static_cast<float>(h)) % h) + h) % h;
  const uint32_t bytes = BytesOf(desc.ddpfPixelFormat);
  uint32_t pixel = 0;
  std::memcpy(&pixel, static_cast<const uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * bytes, bytes);
  image->Unlock(nullptr);
  const DDPIXELFORMAT& f = desc.ddpfPixelFormat;
  out.r = static_cast<uint8_t>(Channel8(pixel, f.dwRBitMask));
  out.g = static_cast<uint8_t>(Channel8(pixel, f.dwGBitMask));
  out.b = static_cast<uint8_t>(Channel8(pixel, f.dwBBitMask));
  out.a = f.dwRGBAlphaBitMask ? static_cast<uint8_t>(Channel8(pixel, f.dwRGBAlphaBitMask)) : 0xFF;
}

// --- set-up -----------------------------------------------------------------------------------

CFixedTextureCache::~CFixedTextureCache() {
  m_busy = false;
  ReleaseAll();
}

bool CFixedTextureCache::EnumFormat(const DDPIXELFORMAT& format, void* context) {
  auto* cache = static_cast<CFixedTextureCache*>(context);
  const bool depthFits = format.dwRGBBitCount >= 16 && format.dwRGBBitCount <= cache->m_desktopBits;
  const bool safeFits = !cache->m_safeMode || format.dwRGBAlphaBitMask == 0xF000;
  if ((format.dwFlags & DDPF_RGB) && depthFits && safeFits) cache->m_formats.push_back(format);
  return true;
}

void CFixedTextureCache::Create(IDirectDraw4* directDraw, IDirect3DDevice3* device, bool hardware,
                                uint32_t lowerLimit, uint32_t upperLimit, std::vector<float> weights,
                                std::vector<uint32_t> proceduralCounts, bool safeMode) {
  if (m_busy) return;
  ReleaseAll();
  m_directDraw = directDraw;
  m_device = device;
  m_lowerLimit = lowerLimit;
  m_upperLimit = upperLimit;
  m_weights = std::move(weights);
  m_proceduralCounts = std::move(proceduralCounts);
  m_safeMode = safeMode;
  D3DDEVICEDESC hw, sw;
  if (m_device) m_device->GetCaps(&hw, &sw);
  m_deviceDesc = hardware ? hw : sw;
  if (m_directDraw) m_directDraw->GetCaps(&m_caps, nullptr);
  if (!m_deviceDesc.dwMinTextureWidth || !m_deviceDesc.dwMaxTextureWidth) {
    m_deviceDesc.dwMinTextureWidth = m_deviceDesc.dwMinTextureHeight = 1;
    m_deviceDesc.dwMaxTextureWidth = m_deviceDesc.dwMaxTextureHeight = 256;
  }
  m_formats.clear();
  m_desktopBits = GetDesktopBitsPerPixel();
  if (m_device) m_device->EnumTextureFormats(&CFixedTextureCache::EnumFormat, this);
}

void CFixedTextureCache::SetLevelCounts(uint32_t lowerLimit, uint32_t upperLimit, std::vector<float> weights,
                                        std::vector<uint32_t> proceduralCounts) {
  ReleaseSurfaces();
  m_lowerLimit = lowerLimit;
  m_upperLimit = upperLimit;
  m_weights = std::move(weights);
  m_proceduralCounts = std::move(proceduralCounts);
}

int CFixedTextureCache::ScoreFormat(const DDPIXELFORMAT& format, const DDPIXELFORMAT& layout) {
  if (!(format.dwFlags & DDPF_RGB) || !(layout.dwFlags & DDPF_RGB)) return 0;
  int score = 100;
  const DWORD fm[3] = {format.dwRBitMask, format.dwGBitMask, format.dwBBitMask};
  const DWORD lm[3] = {layout.dwRBitMask, layout.dwGBitMask, layout.dwBBitMask};
  for (int c = 0; c < 3; ++c) score += fm[c] == lm[c] ? 10 : std::min(Bits(fm[c]), Bits(lm[c]));
  const DWORD fa = format.dwRGBAlphaBitMask, la = layout.dwRGBAlphaBitMask;
  if (fa && la) score += 50 + (fa == la ? 10 : 4 * std::min(Bits(fa), Bits(la)));
  else if (!fa && !la) score += 20;
  return score;
}

const DDPIXELFORMAT* CFixedTextureCache::ChooseFormat(const DDPIXELFORMAT& layout) const {
  const DDPIXELFORMAT* best = nullptr;
  int bestScore = -1;
  for (const DDPIXELFORMAT& f : m_formats) {
    const int score = ScoreFormat(f, layout);
    if (score > bestScore) {
      best = &f;
      bestScore = score;
    }
  }
  return best;
}

// --- pools ------------------------------------------------------------------------------------

std::shared_ptr<IDirectDrawSurface4> CFixedTextureCache::MakeSurface(uint32_t edge, const DDPIXELFORMAT& format,
                                                                     bool video, bool mipmapped) const {
  if (!m_directDraw) return nullptr;
  DDSURFACEDESC2 desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc.dwWidth = desc.dwHeight = edge;
  desc.ddpfPixelFormat = format;
  desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | (video ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
  // The smallest mip level kept is 4 by 4; a surface too small for that gets no chain.
  const int mips = FloorLog2(edge) - 1;
  if (mipmapped && mips > 0) {
    desc.dwFlags |= DDSD_MIPMAPCOUNT;
    desc.dwMipMapCount = static_cast<DWORD>(mips);
    desc.ddsCaps.dwCaps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
  } else if (video) {
    // Single-image slots are where render-to-texture draws, so the device must accept them as targets.
    desc.ddsCaps.dwCaps |= DDSCAPS_ALLOCONLOAD | DDSCAPS_3DDEVICE;
  }
  std::shared_ptr<IDirectDrawSurface4> surface;
  if (m_directDraw->CreateSurface(desc, &surface) != DD_OK) return nullptr;
  return surface;
}

uint32_t CFixedTextureCache::StandardLevelCount() const {
  return m_built ? static_cast<uint32_t>(m_standard.size()) : static_cast<uint32_t>(m_weights.size());
}

void CFixedTextureCache::BuildPools() {
  DropPools();
  BuildProceduralPool();
  BuildStandardPool();
  m_built = true;
  ReportCacheRatio();
}

void CFixedTextureCache::BuildProceduralPool() {
  const DDPIXELFORMAT* format = ChooseFormat(PoolLayout());
  m_procedural.assign(m_proceduralCounts.size(), {});
  if (!format) return;
  for (size_t level = 0; level < m_proceduralCounts.size(); ++level) {
    const uint32_t edge = 1u << level;
    for (uint32_t i = 0; i < m_proceduralCounts[level]; ++i) {
      TextureSlot slot;
      slot.surface = MakeSurface(edge, *format, true, false);
      if (!slot.surface) break;
      slot.scale = 1.0f / static_cast<float>(edge);
      m_procedural[level].push_back(std::move(slot));
    }
  }
}

void CFixedTextureCache::BuildStandardPool() {
  const uint32_t freeBytes = ReportTextureMemory();
  const DDPIXELFORMAT* format = ChooseFormat(PoolLayout());
  const uint32_t pixelSize = format ? BytesOf(*format) : 0;
  DebugPrintf("Texture Pixel Size: %d bytes.\n", static_cast<int>(pixelSize));
  // The largest levels are dropped while the memory cannot give the smaller ones enough slots.
  size_t n = m_weights.size();
  size_t levels = n;
  double factor = 0.0;
  while (n >= 5 && pixelSize) {
    levels = n;
    double need = 0.0;
    for (size_t level = 0; level < n; ++level)
      need += static_cast<double>(m_weights[level]) * std::ldexp(1.0, static_cast<int>(2 * level)) * pixelSize;
    factor = need > 0.0 ? freeBytes / need * 0.75 * 0.9 : 0.0;
    int64_t total = 0;
    for (size_t level = 0; level < n; ++level) total = static_cast<int64_t>(total + factor * m_weights[level]);
    if (total < static_cast<int64_t>(m_lowerLimit)) {
      --n;
      continue;
    }
    if (total > static_cast<int64_t>(m_upperLimit)) factor *= static_cast<double>(m_upperLimit) / static_cast<double>(total);
    break;
  }
  m_standard.assign(levels, {});
  if (!format) return;
  for (size_t level = levels; level-- > 0;) {
    const uint32_t edge = 1u << level;
    const auto count = static_cast<int64_t>(factor * m_weights[level]);
    for (int64_t i = 0; i < count; ++i) {
      TextureSlot slot;
      slot.surface = MakeSurface(edge, *format, true, true);
      if (!slot.surface) break;
      slot.scale = 1.0f / static_cast<float>(edge);
      m_standard[level].push_back(std::move(slot));
    }
  }
}

void CFixedTextureCache::DropPools() {
  for (TexturePool* pool : {&m_standard, &m_procedural})
    for (auto& level : *pool)
      for (TextureSlot& slot : level)
        if (slot.texture) slot.texture->m_level = slot.texture->m_slot = -1;
  m_standard.clear();
  m_procedural.clear();
  m_built = false;
  m_lastTexture = nullptr;
  m_lastHandle = nullptr;
}

void CFixedTextureCache::ReleaseSurfaces() {
  if (!m_busy) DropPools();
}

void CFixedTextureCache::ReleaseAll() {
  if (m_busy) return;
  ReleaseSurfaces();
  while (!m_textures.empty()) RemoveTexture(m_textures.back().get());
}

uint32_t CFixedTextureCache::ReportTextureMemory() const {
  DWORD total = 0, freeBytes = 0;
  DDSCAPS2 caps;
  caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_LOCALVIDMEM;
  if (m_directDraw) m_directDraw->GetAvailableVidMem(caps, &total, &freeBytes);
  DebugPrintf("Texture Memory Report: Total - %d bytes, Free - %d bytes.\n", static_cast<int>(total),
              static_cast<int>(freeBytes));
  return freeBytes;
}

void CFixedTextureCache::ReportCacheRatio() const {
  DebugPrintf("CFixedTextureCache - Cache Ratio Report:\n");
  DebugPrintf("----------------------------------------\n");
  DebugPrintf("Standard Ratio: ( ");
  int total = 0;
  double memory = 0.0;
  for (const auto& level : m_standard) {
    DebugPrintf("%d ", static_cast<int>(level.size()));
    total += static_cast<int>(level.size());
    if (!level.empty()) {
      const double side = 2.0 / level.front().scale;
      memory += static_cast<double>(level.size()) * side * side * 2.0;
    }
  }
  DebugPrintf(")\nTotal Standard Textures: %d", total);
  DebugPrintf("\nEstimated texture memory used: %d\n", static_cast<int>(memory * 1.333));
  DebugPrintf("Proceedural Ratio: ( ");
  int procedural = 0;
  for (const auto& level : m_procedural) {
    DebugPrintf("%d ", static_cast<int>(level.size()));
    procedural += static_cast<int>(level.size());
  }
  DebugPrintf(")\nTotal Proceedural Textures: %d\n\n", procedural);
}

// --- frames and look-ups ----------------------------------------------------------------------

float CFixedTextureCache::SlotWeight(const TextureSlot& slot) const {
  if (!slot.texture) return -1.0f;
  if (slot.texture->m_lastUse < m_ageCutoff) return 0.0f;
  return slot.texture->m_wanted * slot.scale;
}

void CFixedTextureCache::BeginFrame(int32_t frame) {
  m_frame = frame;
  m_lastTexture = nullptr;
  m_lastHandle = nullptr;
  m_ageCutoff = frame - kAgeLimit;
  for (size_t level = 0; level < m_standard.size(); ++level)
    for (size_t i = 0; i < m_standard[level].size(); ++i) {
      const CCachedTexture* t = m_standard[level][i].texture;
      if (t && t->m_lastUse < m_ageCutoff) Resort(static_cast<int>(level), static_cast<int>(i), false);
    }
  m_uploadTotal += static_cast<uint64_t>(m_frameUploads);
  m_frameUploads = 0;
  ++m_frameCount;
  m_promotions = 0;
}

IDirectDrawSurface4* CFixedTextureCache::GetTextureHandle(CTexture* texture) {
  if (texture && texture == m_lastTexture) return m_lastHandle;
  if (!texture || (texture->flags & CTexture::kNoDevice)) return nullptr;
  m_busy = true;
  auto* cached = dynamic_cast<CCachedTexture*>(texture->deviceTexture);
  if (!cached) cached = RegisterMipmapped(texture);
  if (!cached) {
    m_busy = false;
    return nullptr;
  }
  const bool firstUse = cached->m_lastUse != m_frame;
  if (firstUse) {
    cached->m_previousLargestScale = cached->m_largestScale;
    cached->m_lastUse = m_frame;
    const float native = static_cast<float>(cached->m_nativeSize);
    cached->m_wanted = cached->m_largestScale < 0.0f ? native : std::clamp(cached->m_largestScale, 1.0f, native);
  }
  bool ok = true;
  if (cached->m_level >= 0 && m_built) {
    if (firstUse && !cached->IsSingleImage()) ok = Resort(cached->m_level, cached->m_slot, true);
  } else {
    ok = Allocate(cached);
  }
  m_busy = false;
  if (!ok || cached->m_level < 0) return nullptr;
  m_lastTexture = texture;
  m_lastHandle = PoolOf(cached)[cached->m_level][cached->m_slot].surface.get();
  return m_lastHandle;
}

TextureSlot* CFixedTextureCache::FindSlotRecord(const CCachedTexture* texture) {
  if (!texture || texture->m_level < 0) return nullptr;
  return &PoolOf(texture)[texture->m_level][texture->m_slot];
}

// --- placing textures -------------------------------------------------------------------------

bool CFixedTextureCache::Allocate(CCachedTexture* texture) {
  if (!m_built) BuildPools();
  return texture->IsSingleImage() ? AllocateProcedural(texture) : AllocateStandard(texture);
}

bool CFixedTextureCache::AllocateProcedural(CCachedTexture* texture) {
  const int level = FloorLog2(texture->m_nativeSize);
  const std::vector<TextureSlot>* slots = level >= 0 && level < static_cast<int>(m_procedural.size())
                                              ? &m_procedural[level]
                                              : nullptr;
  // A reserved slot holds a render target's drawing, which lives nowhere else: it is never taken.
  int chosen = -1;
  for (int i = 0; slots && i < static_cast<int>(slots->size()); ++i) {
    const TextureSlot& slot = (*slots)[i];
    if (slot.reserved) continue;
    if (!slot.texture) {
      chosen = i;
      break;
    }
    if (chosen < 0 || slot.texture->m_lastUse < (*slots)[chosen].texture->m_lastUse) chosen = i;
  }
  if (chosen < 0) {
    DebugPrintf("CFixedTextureCache: Cannot Load Proceedural Texture!\n");
    return false;
  }
  return MoveInto(texture, level, chosen);
}

bool CFixedTextureCache::ReserveRenderTarget(CCachedTexture* texture) {
  if (!texture || !texture->IsSingleImage()) return false;
  if (!m_built) BuildPools();
  if (const TextureSlot* held = FindSlotRecord(texture)) {
    if (held->reserved) return true;
  }
  const int level = FloorLog2(texture->m_nativeSize);
  if (level < 0 || level >= static_cast<int>(m_procedural.size())) return false;
  // A slot of its own, added to its level, so that the ordinary textures keep theirs.
  std::vector<TextureSlot>& slots = m_procedural[level];
  TextureSlot added;
  added.scale = 1.0f / static_cast<float>(1u << level);
  added.reserved = true;
  slots.push_back(std::move(added));
  if (!MoveInto(texture, level, static_cast<int>(slots.size() - 1))) return false;
  return true;
}

bool CFixedTextureCache::AllocateStandard(CCachedTexture* texture) {
  int level = FindStandardLevel(*texture);
  if (level < 0) return false;
  CCachedTexture* displaced = UsedRecently(m_standard[level][0].texture) ? m_standard[level][0].texture : nullptr;
  if (!MoveInto(texture, level, 0) || !Resort(level, 0, false)) return false;
  // A recently drawn texture pushed out of its slot takes the weakest slot one level down, and
  // whatever was drawn recently there goes further down in turn.
  while (displaced) {
    if (level == 0 || m_standard[level - 1].empty()) {
      DebugPrintf("CFixedTextureCache: Not enough small textures!\n");
      break;
    }
    DebugPrintf("Downgrading Texture...");
    --level;
    CCachedTexture* next = UsedRecently(m_standard[level][0].texture) ? m_standard[level][0].texture : nullptr;
    if (!MoveInto(displaced, level, 0) || !Resort(level, 0, false)) break;
    displaced = next;
  }
  return texture->m_level >= 0;
}

bool CFixedTextureCache::HoldsLastDrawn(const TextureSlot& slot) const {
  return slot.texture && m_lastTexture && slot.texture->m_owner == m_lastTexture;
}

int CFixedTextureCache::FindStandardLevel(const CCachedTexture& texture) const {
  const int levels = static_cast<int>(m_standard.size());
  if (levels == 0) return -1;
  const float w = std::max(texture.m_wanted, 1.0f);
  int level = FloorLog2(static_cast<uint32_t>(w));
  if (std::ldexp(1.0f, level) < w) ++level;
  level = std::clamp(level, 0, levels - 1);
  while (m_standard[level].empty() && (1u << level) < texture.m_nativeSize && level < levels - 1) ++level;
  if (m_standard[level].empty()) return -1;
  float r = w / std::ldexp(1.0f, level);
  for (;;) {
    const TextureSlot& first = m_standard[level][0];
    const float weight = HoldsLastDrawn(first) ? 2.0f * r : SlotWeight(first);
    if (weight < r) return level;
    if (level == 0 || m_standard[level - 1].empty()) break;
    --level;
    r *= 2.0f;
  }
  DebugPrintf("CFixedTextureCache: Warning - lowest level in cache is full!\n");
  return level;
}

void CFixedTextureCache::SwapSlots(std::vector<TextureSlot>& slots, int a, int b) {
  std::swap(slots[a], slots[b]);
  if (slots[a].texture) slots[a].texture->m_slot = a;
  if (slots[b].texture) slots[b].texture->m_slot = b;
}

bool CFixedTextureCache::Resort(int level, int index, bool promote) {
  std::vector<TextureSlot>& slots = m_standard[level];
  const int count = static_cast<int>(slots.size());
  while (index + 1 < count && SlotWeight(slots[index]) > SlotWeight(slots[index + 1])) {
    SwapSlots(slots, index, index + 1);
    ++index;
  }
  while (index > 0 && SlotWeight(slots[index]) < SlotWeight(slots[index - 1])) {
    SwapSlots(slots, index, index - 1);
    --index;
  }
  const float weight = SlotWeight(slots[index]);
  if (!promote || index != count - 1 || weight <= 1.0f || m_promotions >= kPromotionsPerFrame) return true;
  if (level + 1 >= static_cast<int>(m_standard.size()) || m_standard[level + 1].empty()) return true;
  const TextureSlot& upper = m_standard[level + 1][0];
  if (!(2.0f * SlotWeight(upper) < weight) || HoldsLastDrawn(upper)) return true;
  ++m_promotions;
  CCachedTexture* promoted = slots[index].texture;
  Detach(promoted);
  if (UsedRecently(upper.texture) && !MoveInto(upper.texture, level, index)) return false;
  if (!MoveInto(promoted, level + 1, 0)) return false;
  if (!Resort(level, index, false)) return false;
  return Resort(level + 1, promoted->m_slot, true);
}

void CFixedTextureCache::Detach(CCachedTexture* texture) {
  if (texture->m_level < 0) return;
  PoolOf(texture)[texture->m_level][texture->m_slot].texture = nullptr;
  texture->m_level = texture->m_slot = -1;
}

bool CFixedTextureCache::MoveInto(CCachedTexture* texture, int level, int index) {
  Detach(texture);
  TexturePool& pool = PoolOf(texture);
  TextureSlot& slot = pool[level][index];
  if (slot.texture) slot.texture->m_level = slot.texture->m_slot = -1;
  slot.texture = nullptr;
  if (!slot.surface || !SamePixelFormat(slot.surface->Format(), texture->m_format)) {
    slot.surface.reset();
    slot.surface = MakeSurface(1u << level, texture->m_format, true, !texture->IsSingleImage());
    if (!slot.surface) {
      DebugPrintf("Unexpexted error in Surface Recreation! Rebuilding Hardware Cache List!\n");
      BuildPools();
      return false;
    }
  }
  slot.texture = texture;
  texture->m_level = level;
  texture->m_slot = index;
  Upload(texture, slot.surface.get(), level);
  return true;
}

// --- pixels -----------------------------------------------------------------------------------

void CFixedTextureCache::Upload(CCachedTexture* texture, IDirectDrawSurface4* target, int level) {
  const int count = static_cast<int>(texture->m_images.size());
  if (count == 0) return;
  // The image whose edge matches each mip level of the slot; a slot larger than the texture
  // stretches its top image, mip levels smaller than its last image shrink that one.
  int image = FloorLog2(texture->m_nativeSize) - level;
  for (IDirectDrawSurface4* mip = target; mip; mip = mip->NextMipLevel(), ++image) {
    IDirectDrawSurface4* source = texture->m_images[std::clamp(image, 0, count - 1)].get();
    const HRESULT result = source->Width() == mip->Width() ? mip->BltFast(0, 0, source, nullptr, DDBLTFAST_WAIT)
                                                           : mip->Blt(nullptr, source, nullptr, DDBLT_WAIT, 0);
    if (result != DD_OK) {
      DebugPrintf("CFixedTextureCache: Error in surface blt!\n");
      DebugPrintf("%s", DDErrorToString(result));
    }
    if (texture->IsSingleImage()) break;
  }
  if (!texture->IsSingleImage()) ++m_frameUploads;
}

void CFixedTextureCache::FillSource(const CTexture& texture, IDirectDrawSurface4* surface) const {
  if (!texture.pixels || texture.mipCount == 0) return;
  DDSURFACEDESC2 desc;
  const HRESULT locked = surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
  if (locked != DD_OK) {
    DebugPrintf("CFixedTextureCache: Error in texture surface lock!\n");
    DebugPrintf("%s", DDErrorToString(locked));
    return;
  }
  // The texture level whose longer edge matches the surface, or the nearest one it has; a
  // non-square level is stretched over the square surface so texture coordinates still span it.
  const int wanted = FloorLog2(std::max(texture.width, texture.height)) - FloorLog2(desc.dwWidth);
  const uint32_t mip = static_cast<uint32_t>(std::clamp(wanted, 0, static_cast<int>(texture.mipCount) - 1));
  const uint32_t lw = texture.GetLevelWidth(mip), lh = texture.GetLevelHeight(mip);
  const DDPIXELFORMAT& to = desc.ddpfPixelFormat;
  const uint32_t dstBytes = BytesOf(to);
  std::vector<uint8_t> level(static_cast<size_t>(lw) * lh * dstBytes);
  const uint8_t* from = texture.GetLevel(mip);
  if (SamePixelFormat(LayoutOf(texture), to)) {
    std::memcpy(level.data(), from, level.size());
  } else {
    const uint32_t srcMasks[4] = {texture.redMask, texture.greenMask, texture.blueMask, texture.alphaMask};
    const uint32_t dstMasks[4] = {to.dwRBitMask, to.dwGBitMask, to.dwBBitMask, to.dwRGBAlphaBitMask};
    RepackPixels(from, level.data(), lw, lh, lw * texture.bytesPerPixel, lw * dstBytes, texture.bytesPerPixel,
                 srcMasks, dstBytes, dstMasks);
  }
  auto* out = static_cast<uint8_t*>(desc.lpSurface);
  for (uint32_t y = 0; y < desc.dwHeight; ++y) {
    const uint8_t* row = level.data() + static_cast<size_t>(y * lh / desc.dwHeight) * lw * dstBytes;
    uint8_t* dst = out + static_cast<size_t>(y) * desc.lPitch;
    for (uint32_t x = 0; x < desc.dwWidth; ++x)
      std::memcpy(dst + static_cast<size_t>(x) * dstBytes, row + static_cast<size_t>(x * lw / desc.dwWidth) * dstBytes,
                  dstBytes);
  }
  // 4-4-4-4 pixels of a texture without alpha would otherwise come out transparent.
  if (m_safeMode && !texture.alphaMask && to.dwRGBAlphaBitMask && dstBytes == 2)
    for (uint32_t y = 0; y < desc.dwHeight; ++y)
      for (uint32_t x = 0; x < desc.dwWidth; ++x) out[static_cast<size_t>(y) * desc.lPitch + x * 2 + 1] |= 0xF0;
  surface->Unlock(nullptr);
}

CCachedTexture* CFixedTextureCache::Register(CTexture* texture) {
  const DDPIXELFORMAT* format = texture ? ChooseFormat(LayoutOf(*texture)) : nullptr;
  if (!format) return nullptr;
  auto cached = std::make_unique<CCachedTexture>(texture, *format);
  cached->m_nativeSize = FloorPowerOfTwo(std::max(texture->width, texture->height));
  auto image = MakeSurface(cached->m_nativeSize, *format, false, false);
  if (!image) return nullptr;
  cached->m_images.push_back(std::move(image));
  texture->deviceTexture = cached.get();
  m_textures.push_back(std::move(cached));
  return m_textures.back().get();
}

CCachedTexture* CFixedTextureCache::RegisterMipmapped(CTexture* texture) {
  if (!texture) return nullptr;
  if (!texture->pixels) texture->Load(nullptr, true);
  const DDPIXELFORMAT* format = ChooseFormat(LayoutOf(*texture));
  if (!format) return nullptr;
  auto cached = std::make_unique<CCachedTexture>(texture, *format);
  const uint32_t levels = std::max<uint32_t>(StandardLevelCount(), 1);
  uint32_t native = FloorPowerOfTwo(std::max(texture->width, texture->height));
  uint32_t count = std::min(std::max<uint32_t>(texture->mipCount, 1), levels);
  if (count < 2) {
    const uint32_t proceduralLevels = m_built ? ProceduralLevelCount() : static_cast<uint32_t>(m_proceduralCounts.size());
    const uint32_t largest = proceduralLevels ? 1u << (proceduralLevels - 1) : 1u;
    if (native > largest) {
      DebugPrintf("Error generating Proceedural Texture. %d res not available.\n", static_cast<int>(native));
      native = largest;
    }
    count = 1;
  } else {
    native = std::min(native, 1u << (levels - 1));
    count = std::min<uint32_t>(count, static_cast<uint32_t>(FloorLog2(native)) + 1);
  }
  cached->m_nativeSize = native;
  for (uint32_t i = 0; i < count; ++i) {
    auto image = MakeSurface(native >> i, *format, false, false);
    if (!image) return nullptr;
    FillSource(*texture, image.get());
    cached->m_images.push_back(std::move(image));
  }
  texture->deviceTexture = cached.get();
  m_textures.push_back(std::move(cached));
  return m_textures.back().get();
}

void CFixedTextureCache::RefreshTexture(CTexture* texture) {
  auto* cached = texture ? dynamic_cast<CCachedTexture*>(texture->deviceTexture) : nullptr;
  if (TextureSlot* slot = FindSlotRecord(cached)) Upload(cached, slot->surface.get(), cached->m_level);
}

void CFixedTextureCache::RemoveTexture(CCachedTexture* texture) {
  if (!texture) return;
  if (texture->m_owner == m_lastTexture) {
    m_lastTexture = nullptr;
    m_lastHandle = nullptr;
  }
  const int level = texture->m_level, slot = texture->m_slot;
  const bool standard = !texture->IsSingleImage();
  if (TextureSlot* held = FindSlotRecord(texture)) held->reserved = false;  // free for any texture again
  Detach(texture);
  if (standard && level >= 0) Resort(level, slot, false);
  texture->m_images.clear();
  if (CTexture* owner = texture->m_owner) {
    owner->deviceTexture = nullptr;
    if (!owner->pixels) owner->dataPresent = 0;
  }
  const auto it = std::find_if(m_textures.begin(), m_textures.end(),
                               [texture](const std::unique_ptr<CCachedTexture>& t) { return t.get() == texture; });
  if (it != m_textures.end()) m_textures.erase(it);
}
