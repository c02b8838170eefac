// Face: a planar convex face of a polyhedron with the side planes of its Voronoi region.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "physics/polyhedron/PolyFeature.h"
#include "physics/polyhedron/PolyPlane.h"

class Edge;

struct FaceConeNode {
  PolyPlane plane;  // the edge's left plane when this is its left face, else its right plane
  Edge* edge;
  FaceConeNode* ccw;  // node of the next boundary edge in running order
  FaceConeNode* cw;   // node of the previous one
  uint32_t index;
};

class Face : public Feature {
 public:
  explicit Face(const char* faceName) : Feature(kPolyFace), name_(faceName ? faceName : "") {}
  Face(const Face&) = delete;  // the cone links point into this face's own nodes
  Face& operator=(const Face&) = delete;
  const char* name() const override { return name_.c_str(); }

  uint32_t sides = 0;
  PolyPlane plane;
  std::vector<FaceConeNode> cone;  // in running order; never resized after the face is built

 private:
  std::string name_;
};
