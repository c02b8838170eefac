// CLight: base of the scene's lights - a bounded object (its box is the region it can reach) with a
// colour, a frame and an influence at the last point asked about.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/spatial/BoundedObject.h"
#include "core/math/Orientation.h"
#include "core/math/Vector3.h"

class COctree;

class CLight : public CBoundedObject {
 public:
  // Kinds.
  static constexpr uint32_t kTypeNone = 0;
  static constexpr uint32_t kTypeAmbient = 1;
  static constexpr uint32_t kTypeDirectional = 2;
  static constexpr uint32_t kTypePoint = 3;
  static constexpr uint32_t kTypeSpot = 4;

  // Light flags; callers match them as masks.
  static constexpr uint32_t kLightsMeshes = 0x1;
  static constexpr uint32_t kLightsVertexOffsets = 0x2;
  static constexpr uint32_t kCastsShadows = 0x4;
  static constexpr uint32_t kExclusive = 0x20;  // ordered and suppressed by priority
  static constexpr uint32_t kBounded = 0x40;    // extents come from the parameters, not defaults

  // Stand-in extent of an unbounded light.
  static constexpr float kUnbounded = 100000.0f;

  CLight();
  ~CLight() override = default;

  // A new light from a 120-byte light record (see LightRecord); null, logged, when the record is
  // short, of an unknown kind or carries numbers that are not finite.
  static std::unique_ptr<CLight> CreateFromRecord(const uint8_t* data, size_t size);

  // The influence (0..1) at a world point, also stored in the light. frame is the light's world
  // transform; shadowTree (may be null) answers the shadow ray of lights with kCastsShadows.
  virtual float ComputeInfluence(float x, float y, float z, COctree* shadowTree, const COrientation& frame,
                                 uint8_t markRay, uint32_t rayMask);
  // The colour this light adds at a surface point, scaled by the stored influence; normal and
  // position are in the space of frame (the light's transform in that space).
  virtual void GetContribution(Vector3& out, const Vector3& normal, const Vector3& position,
                               const COrientation& frame) const;

  uint32_t GetType() const { return m_type; }
  uint32_t GetLightFlags() const { return m_flags; }
  void SetLightFlags(uint32_t flags) { m_flags = flags; }
  bool HasLightFlags(uint32_t mask) const { return (m_flags & mask) == mask; }
  const Vector3& GetColor() const { return m_color; }
  const COrientation& GetTransform() const { return m_transform; }
  float GetInfluence() const { return m_influence; }
  void SetInfluence(float influence) { m_influence = influence; }
  float GetPriority() const { return m_priority; }
  void SetPriority(float priority) { m_priority = priority; }
  // Distinct for every light ever made: caches compare it so that a new light that happens to
  // reuse a deleted one's address is never mistaken for it.
  uint32_t GetSerial() const { return m_serial; }

 protected:
  // Marks the box as a light's; the filed bit is kept so a light set up again stays removable.
  void MarkParametersSet();
  // True when the segment from `from` to `to` is blocked in the tree.
  static bool ShadowRayBlocked(COctree* tree, const Vector3& from, const Vector3& to, uint8_t markRay,
                               uint32_t rayMask);

  uint32_t m_type = kTypeNone;
  uint32_t m_flags = 0;
  Vector3 m_color;
  COrientation m_transform;
  float m_influence = 0.0f;
  float m_priority = 0.0f;

 private:
  uint32_t m_serial = 0;
};
