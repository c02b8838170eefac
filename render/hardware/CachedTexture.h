// CCachedTexture: a CTexture's record in the hardware texture cache: its system-memory source
// images (largest first), the device format chosen for it, the slot it occupies and how large it
// was last seen on screen.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics/DirectDrawSurface.h"
#include "render/image/DDTexture.h"

class CTexture;

class CCachedTexture : public CDDTexture {
 public:
  CCachedTexture(CTexture* owner, const DDPIXELFORMAT& format) : m_owner(owner), m_format(format) {}

  // Reads the top source image; opaque white when it cannot be locked.
  void GetTexelColour(Color& out, float u, float v) const override;
  void SetUseStamp(int32_t stamp) override { m_useStamp = stamp; }
  void UpdateMaxScale(float scale) override {
    if (m_largestScale < 0.0f || scale > m_largestScale) m_largestScale = scale;
  }

  CTexture* Owner() const { return m_owner; }
  const DDPIXELFORMAT& Format() const { return m_format; }
  uint32_t ImageCount() const { return static_cast<uint32_t>(m_images.size()); }
  IDirectDrawSurface4* Image(uint32_t i) const { return i < m_images.size() ? m_images[i].get() : nullptr; }
  int32_t Level() const { return m_level; }
  int32_t Slot() const { return m_slot; }
  uint32_t NativeSize() const { return m_nativeSize; }
  int32_t LastUse() const { return m_lastUse; }
  float WantedResolution() const { return m_wanted; }
  float LargestScale() const { return m_largestScale; }
  bool IsSingleImage() const { return m_images.size() < 2; }

 private:
  friend class CFixedTextureCache;

  CTexture* m_owner;
  DDPIXELFORMAT m_format;
  std::vector<std::shared_ptr<IDirectDrawSurface4>> m_images;
  int32_t m_level = -1;
  int32_t m_slot = -1;
  uint32_t m_nativeSize = 1;
  int32_t m_lastUse = -1;
  int32_t m_useStamp = 0x3F800000;  // the bits of 1.0f, as it starts out
  float m_largestScale = -1.0f;
  float m_previousLargestScale = -1.0f;
  float m_wanted = -1.0f;
};
