// CTerrainEdge: the segment between two vertices of a mesh instance as a static collision primitive.
#pragma once

#include <cstdint>

#include "physics/collision/StaticCollisionPrimative.h"

class CTerrainEdge : public CStaticCollisionPrimative {
 public:
  CTerrainEdge() = default;
  ~CTerrainEdge() override = default;

  // Binds the edge from vertex a to vertex b; the face only selects the surface (a face past
  // the mesh keeps surface entry 0). False (logged, nothing bound) for vertices past the mesh.
  bool Setup(CMeshInstance* instance, uint32_t a, uint32_t b, uint32_t face, CCollisionObject* owner);

  // Edges answer no query; they exist for tools that show them.
  bool Intersect(GenericIntersection* query) override { return false; }
  // A green line between the two vertices where the instance places them.
  void Render(CSceneDrawInterface* view) override;
  static constexpr uint32_t kColour = 0xFF00FF00u;

  int32_t GetFirstVertex() const { return m_vertices[0]; }
  int32_t GetSecondVertex() const { return m_vertices[1]; }

 private:
  int32_t m_vertices[2] = {-1, -1};
};
