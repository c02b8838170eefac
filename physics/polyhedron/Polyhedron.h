// Polyhedron: a convex polyhedron with full vertex/edge/face adjacency for closest-feature tracking.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <list>
#include <vector>

#include "physics/polyhedron/PolyEdge.h"
#include "physics/polyhedron/PolyFace.h"
#include "physics/polyhedron/PolyVertex.h"
#include "physics/polymath/VclipVector3.h"

// Features live in list nodes so that pointers to them stay valid while the
// polyhedron lives; nothing is ever moved after it has been added.
// Diagnostics go to std::cerr, each message preceded by a bell character.
class Polyhedron {
 public:
  Polyhedron() = default;
  Polyhedron(const Polyhedron&) = delete;
  Polyhedron& operator=(const Polyhedron&) = delete;

  // Appends a vertex with an empty cone and a zero normal sum.
  Vertex* addVertex(const char* name, const VclipVector3& coords);

  // Adds a face through the given vertices of this polyhedron, in order (the
  // other way round with reverse set). Refused (false, message, nothing changed)
  // when the corners enclose no area, repeat a vertex, or an edge would get a
  // third face or run the same way in two faces.
  bool addFace(const char* name, const std::vector<Vertex*>& corners, bool reverse);

  // 0 when sound, 1 otherwise; only the vertex normal sums change (normalised).
  int check();

  // Replaces the faces by the convex hull of the vertices and drops every vertex
  // that is not a hull corner. 0 on success; 1 on qhull failure, leaving the
  // polyhedron unchanged.
  int buildHull();

  void print(std::ostream& out) const;

  Vertex* findVertex(const char* name);
  const std::list<Vertex>& vertices() const { return verts_; }
  const std::list<Edge>& edges() const { return edges_; }
  const std::list<Face>& faces() const { return faces_; }
  std::list<Vertex>& vertices() { return verts_; }

 private:
  Edge* findEdge(const Vertex* from, const Vertex* to) const;
  bool validateFace(const char* name, const std::vector<Vertex*>& loop) const;
  void attachEdge(Face& face, Vertex* a, Vertex* b);
  void clearFaces();

  std::list<Vertex> verts_;
  std::list<Edge> edges_;
  std::list<Face> faces_;
};
