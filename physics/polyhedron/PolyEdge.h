// Edge: a boundary edge of a convex polyhedron with the four planes of its Voronoi region.
#pragma once

#include "physics/polyhedron/PolyFeature.h"
#include "physics/polyhedron/PolyPlane.h"
#include "physics/polymath/VclipVector3.h"

class Vertex;
class Face;

class Edge : public Feature {
 public:
  Edge() : Feature(kPolyEdge) {}
  // "tail:head" in one shared buffer, valid until the next call.
  const char* name() const override;

  Vertex* tail = nullptr;
  Vertex* head = nullptr;
  Face* left = nullptr;   // its boundary runs tail -> head
  Face* right = nullptr;  // its boundary runs head -> tail
  float length = 0.0f;
  VclipVector3 u;             // unit, tail -> head
  PolyPlane tailPlane;        // normal -u through the tail
  PolyPlane headPlane;        // normal u through the head
  PolyPlane leftPlane;        // normal leftN x u
  PolyPlane rightPlane;       // normal u x rightN
};
