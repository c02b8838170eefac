// Vertex: a corner of a convex polyhedron with the cone of planes bounding its Voronoi region.
#pragma once

#include <string>
#include <vector>

#include "physics/polyhedron/PolyFeature.h"
#include "physics/polyhedron/PolyPlane.h"
#include "physics/polymath/VclipVector3.h"

class Edge;

struct VertexConeNode {
  PolyPlane plane;  // the edge's tail plane when this vertex is its tail, else its head plane
  Edge* edge;
};

class Vertex : public Feature {
 public:
  Vertex(const char* vertexName, const VclipVector3& position)
      : Feature(kPolyVertex), coords(position), name_(vertexName ? vertexName : "") {}
  const char* name() const override { return name_.c_str(); }
  void Rename(const std::string& newName) { name_ = newName; }

  VclipVector3 coords;
  // Sum of incident face normals weighted by corner angle; unit after Polyhedron::check.
  VclipVector3 normalSum;
  std::vector<VertexConeNode> cone;

 private:
  std::string name_;
};
