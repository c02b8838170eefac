// CCloudLayer: one layer of the level's clouds - a fractal surface over the park, drawn as sky.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/math/Box.h"
#include "core/math/Vector2.h"
#include "core/math/Vector3.h"
#include "effects/CloudLayerRecord.h"

class CMeshInstance;
class CRenderView;
class CResourceTable;
class ShadedMesh;

class CCloudLayer {
 public:
  CCloudLayer();
  ~CCloudLayer();
  CCloudLayer(const CCloudLayer&) = delete;
  CCloudLayer& operator=(const CCloudLayer&) = delete;

  // Makes the cloud surface over the record's box moved to origin, with the record's texture
  // from the table (untextured without it). The effect detail (0 .. 1) takes levels off the
  // surface: the finest at 1, one level fewer below it, the coarsest (one level) at 0. False
  // (logged) when no surface could be made; the layer then draws nothing.
  bool Init(const CloudLayerRecord& record, const Vector3& origin, CResourceTable* resources, float effectDetail);
  // The texture drifts across the surface.
  void Update(float dt);
  // Behind the scene of a perspective view; nothing in an orthographic one.
  void Render(CRenderView* view);

  // Levels of the surface for a record's levels at an effect detail.
  static uint32_t LevelsForDetail(uint32_t levels, float effectDetail);

  const ShadedMesh* GetMesh() const { return m_mesh.get(); }
  const Box& GetBox() const { return m_box; }
  const Vector2& GetDriftOffset() const { return m_offset; }

 private:
  std::unique_ptr<ShadedMesh> m_mesh;
  std::unique_ptr<CMeshInstance> m_instance;  // declared after the mesh it shows, so it goes first
  Box m_box;
  std::vector<Vector2> m_baseUVs;
  Vector2 m_drift;
  Vector2 m_offset;
};
