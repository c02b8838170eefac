// CWeatherManager: the level's weather - its cloud layers - stepped once per world tick and drawn as the sky.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "effects/CloudLayer.h"

class COrientation;
class CRenderView;
class CResourceTable;
class ShadedMesh;

class CWeatherManager {
 public:
  // What a level's records may ask of the weather: each layer's surface is made in full from a
  // 72-byte record, so without these a small level file could ask for any amount of memory and
  // load time. The first kMaxCloudLayers readable records are taken in order; a layer whose
  // surface would pass kCloudVertexBudget, the vertices of all the level's layers together, is
  // refused, and so is every record after those.
  static constexpr size_t kMaxCloudLayers = 4;
  static constexpr uint32_t kCloudVertexBudget = 2 * 129 * 129;  // two surfaces of the finest grid

  explicit CWeatherManager(CResourceTable* resources);
  ~CWeatherManager();

  // Makes a cloud layer of every cloud-layer record among the attach points of the level mesh
  // placed at meshWorld, at the effect detail of the settings, within the bounds above. A record
  // that does not read, a layer past the bounds, or one that cannot be made, is logged and
  // skipped. Returns how many were made.
  size_t AddLevelCloudLayers(const ShadedMesh& mesh, const COrientation& meshWorld);
  void Update(float dt);
  void Render(CRenderView* view);
  // The layers go (the world is cleared).
  void Clear();

  size_t GetCloudLayerCount() const { return m_layers.size(); }
  const CCloudLayer* GetCloudLayer(size_t i) const { return i < m_layers.size() ? m_layers[i].get() : nullptr; }
  uint32_t GetUpdateCount() const { return m_updates; }

 private:
  CResourceTable* m_resources = nullptr;
  std::vector<std::unique_ptr<CCloudLayer>> m_layers;
  uint32_t m_updates = 0;
};
