#include "physics/polyhedron/PolyTreeFaceQuery.h"

#include <vector>

#include "core/math/GenericIntersection.h"
#include "physics/polyhedron/PolyEdge.h"
#include "physics/polyhedron/PolyFace.h"
#include "physics/polyhedron/PolyTree.h"
#include "physics/polyhedron/PolyVertex.h"
#include "physics/polyhedron/VclipConvert.h"

namespace {

struct Best {
  bool found = false;
  IntersectionResult result;
  Vector3 normal;
};

// The corners of a face in its running order: each boundary edge starts at its tail when
// the face is its left face and at its head otherwise.
void FaceCorners(const Face& face, const Se3& toWorld, std::vector<Vector3>& out) {
  out.clear();
  for (const FaceConeNode& node : face.cone) {
    const Vertex* start = node.edge->left == &face ? node.edge->tail : node.edge->head;
    out.push_back(ToEngine(toWorld.Transform(start->coords)));
  }
}

void TestPiece(GenericIntersection& query, const PolyTree& tree, Se3 toWorld, Best& best) {
  toWorld.Append(tree.pose());
  if (!tree.atomic()) {
    for (size_t i = 0; i < tree.numChildren(); ++i) TestPiece(query, *tree.child(i), toWorld, best);
    return;
  }
  const Polyhedron* poly = tree.polyhedron();
  if (!poly) return;
  std::vector<Vector3> corners;
  for (const Face& face : poly->faces()) {
    FaceCorners(face, toWorld, corners);
    VclipVector3 n;
    toWorld.rotation.Rotate(face.plane.normal, n);
    const Vector3 normal = ToEngine(n);
    // A fan over the convex face; each triangle is a polygon of its own to the query.
    for (size_t i = 1; i + 1 < corners.size(); ++i) {
      query.result.Reset();
      if (!query.IntersectPolygon(corners[0], corners[i], corners[i + 1], normal, false, nullptr)) continue;
      if (!best.found || query.result.time < best.result.time) {
        best.result = query.result;
        best.normal = query.normal;
      }
      best.found = true;
    }
  }
}

}  // namespace

bool IntersectPolyTreeFaces(GenericIntersection& query, const PolyTree& tree, const COrientation& pose) {
  Best best;
  best.result.Reset();
  best.normal = query.normal;
  TestPiece(query, tree, ToVclipSe3(pose), best);
  query.result = best.result;
  query.normal = best.normal;
  return best.found;
}
