// CBoundedObject: base of every object with a world-space bounding box that the octree files and queries.
#pragma once

#include <cstdint>

#include "core/math/Box.h"

class CRenderView;
class CMeshInstance;

class CBoundedObject {
 public:
  // Flag bits the world and the scene pass read.
  static constexpr uint32_t kFiled = 0x1;
  static constexpr uint32_t kRenderable = 0x200;
  static constexpr uint32_t kReceivesLights = 0x2000;
  static constexpr uint32_t kLight = 0x4000;
  static constexpr uint32_t kDoNotDelete = 0x80000;

  CBoundedObject() = default;
  CBoundedObject(const CBoundedObject&) = delete;
  CBoundedObject& operator=(const CBoundedObject&) = delete;
  virtual void Render(CRenderView* view) {}
  // Owners take the object out of its octree before deleting it.
  virtual ~CBoundedObject() = default;

  const Box& GetBounds() const { return m_bounds; }
  void SetBounds(const Box& box) { m_bounds = box; }
  uint32_t GetBoundFlags() const { return m_boundFlags; }
  void SetBoundFlags(uint32_t flags) { m_boundFlags = flags; }
  void AddBoundFlags(uint32_t bits) { m_boundFlags |= bits; }
  void ClearBoundFlags(uint32_t bits) { m_boundFlags &= ~bits; }
  bool IsFiled() const { return (m_boundFlags & kFiled) != 0; }
  CMeshInstance* GetOwnerInstance() const { return m_ownerInstance; }

 protected:
  uint32_t m_queryStamp = 0;
  Box m_bounds{};
  uint32_t m_boundFlags = 0;
  CMeshInstance* m_ownerInstance = nullptr;
};
