// CTerrainPoint: one vertex of a mesh instance as a static collision primitive.
#pragma once

#include <cstdint>

#include "physics/collision/StaticCollisionPrimative.h"

class CTerrainPoint : public CStaticCollisionPrimative {
 public:
  CTerrainPoint() = default;
  ~CTerrainPoint() override = default;

  // Binds the point to the vertex (a box of zero size); the face only selects the surface.
  // False (logged, nothing bound) for a vertex past the mesh.
  bool Setup(CMeshInstance* instance, uint32_t vertex, uint32_t face, CCollisionObject* owner);

  bool Intersect(GenericIntersection* query) override { return false; }
  // A point draws nothing; it only records that it was drawn.
  void Render(CSceneDrawInterface* view) override { StampDrawn(view); }

  int32_t GetVertex() const { return m_vertex; }

 private:
  int32_t m_vertex = -1;
};
