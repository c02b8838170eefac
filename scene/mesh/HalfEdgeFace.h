// HalfEdgeFace: the element records of a half-edge mesh - vertex, half-edge and face.
#pragma once

#include <cstdint>

#include "core/math/Vector3.h"
#include "scene/mesh/HalfEdgeFaceOutline.h"

struct HalfEdgeFace;

struct HalfEdgeVertex {
  Vector3 position;
  void* attachment;  // owned by the vertex, allocated with std::malloc by its user
};

struct HalfEdgeRecord {
  HalfEdgeVertex* from;
  HalfEdgeVertex* to;
  HalfEdgeFace* face;
  HalfEdgeRecord* next;
  HalfEdgeRecord* prev;
  HalfEdgeRecord* twin;  // null on an open edge
  void* attachment;      // owned, allocated with std::malloc by its user
};

struct HalfEdgeFace {
  HalfEdgeRecord* first;
  HalfEdgeFaceOutline* outline;  // owned, allocated with new by its user

  // Length of the loop of next links from the first half-edge (0 without one).
  uint32_t CountEdges() const;
  // The half-edge n steps along next from the first one (null without one).
  const HalfEdgeRecord* GetHalfEdge(uint32_t n) const;
  // Position of the from-vertex of GetHalfEdge(n); (0, 0, 0) without one.
  Vector3 GetVertex(uint32_t n) const;
};
