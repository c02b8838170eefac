// ShadowRenderer: the world's projected-shadow pass - a fixed pool of projectors handed to the biggest casters on screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/math/Box.h"
#include "scene/lighting/ShadowProjector.h"

class CLight;
class CMeshInstance;
class COctree;
class CSceneDrawInterface;
class ShadowProjector;
class ViewFrustum;

class ShadowRenderer {
 public:
  // Texture sides run from 2^0 to 2^8.
  static constexpr uint32_t kSizeExponents = 9;
  static constexpr float kDefaultMaxDistance = 5000.0f;

  ShadowRenderer() = default;
  virtual ~ShadowRenderer();
  ShadowRenderer(const ShadowRenderer&) = delete;
  ShadowRenderer& operator=(const ShadowRenderer&) = delete;

  // Replaces the pool: counts[i] projectors with textures of side 2^i, largest sides first.
  // Entries past kSizeExponents are ignored (a 2^9 texture is not offered).
  void Setup(CSceneDrawInterface* view, COctree* octree, const uint32_t* counts, size_t countLength, float maxDistance);
  void Clear();
  // The per-frame pass at the world's current time.
  void Render();
  void Render(float now);

  // How far around the camera casters are looked for. The formula is kept as the shadow
  // pass has always tuned it; the factor scales it for levels that need more or less.
  float ComputeReach(const ViewFrustum& camera) const;
  void SetReachFactor(float factor) { m_reachFactor = factor; }
  // The box casters are looked for in: around the camera, out to the reach.
  Box ComputeCasterBox(const ViewFrustum& camera) const;

  CSceneDrawInterface* GetRenderView() const { return m_view; }
  COctree* GetOctree() const { return m_octree; }
  float GetMaxDistance() const { return m_maxDistance; }
  size_t GetProjectorCount() const { return m_projectors.size(); }
  ShadowProjector* GetProjector(size_t i) const { return i < m_projectors.size() ? m_projectors[i].get() : nullptr; }

 private:
  // Gives slot k the pair, reusing a same-sized projector that already holds it.
  void Assign(size_t k, CMeshInstance* caster, CLight* light);
  void CollectCasters(const ViewFrustum& camera, std::vector<CMeshInstance*>& out);

  CSceneDrawInterface* m_view = nullptr;
  COctree* m_octree = nullptr;
  std::vector<std::unique_ptr<ShadowProjector>> m_projectors;
  float m_maxDistance = kDefaultMaxDistance;
  float m_reachFactor = 1.0f;
};
