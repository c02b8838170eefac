// TriMesh: plain triangle-mesh record (positions, faces, normals, bounds) with an on-demand half-edge adjacency.
#pragma once

#include <cfloat>
#include <cstdint>
#include <vector>

#include "core/math/Box.h"
#include "core/math/Orientation.h"
#include "core/math/Vector3.h"

// Half-edge i belongs to face i / 3 and starts at that face's corner i % 3.
struct TriMeshHalfEdge {
  uint32_t from;
  uint32_t to;
  uint32_t face;
  uint32_t next;
  uint32_t prev;
  int32_t twin;     // -1 on an open edge
  uint8_t edgeMark;  // 1 on exactly one half-edge of every edge
};

// Smallest sphere-ish bound by one incremental pass; count 0 gives the origin and radius 0.
void ComputeBoundingSphere(const Vector3* points, uint32_t count, Vector3& centre, float& radius);

class TriMesh;
// Bounds, centroid and both radii from the positions; a mesh without vertices gets zeros.
void ComputeMeshBounds(TriMesh& mesh);

class TriMesh {
 public:
  // Face indices are 16 bits wide, so a mesh can address at most this many vertices.
  static constexpr uint32_t kMaxVertices = 65536;

  uint32_t header;  // owner's word (a ShadedMesh keeps its file version here)
  uint32_t faceCount;
  uint32_t vertexCount;
  Vector3* positions;          // vertexCount entries
  Vector3* faceNormals;        // faceCount entries
  uint16_t* indices;           // 3 * faceCount entries
  TriMeshHalfEdge* halfEdges;  // 3 * faceCount entries once the adjacency is built
  int32_t* vertexHalfEdges;    // vertexCount entries once the adjacency is built
  Vector3 centroid;
  Box bounds;
  float radius;          // about the origin
  float centroidRadius;  // about the centroid

  TriMesh();
  ~TriMesh();
  TriMesh(const TriMesh&) = delete;
  TriMesh& operator=(const TriMesh&) = delete;

  // Zeroes every field without freeing (for a record whose arrays were handed over).
  void Reset();
  void FreeArrays();
  void FreeAdjacency();
  void FreeFaceNormals();

  // Allocates zeroed positions and indices for the given counts (freeing the old arrays).
  // Refuses vertex counts the 16-bit indices cannot address.
  bool Allocate(uint32_t vertices, uint32_t faces);

  // Face normal (p2 - p0) x (p1 - p0), normalised; a degenerate face gets the zero vector.
  // Null out: the record's own array is (re)allocated and filled.
  void ComputeFaceNormals(Vector3* out);
  static Vector3 FaceNormal(const Vector3& p0, const Vector3& p1, const Vector3& p2);
  const Box& ComputeBox();
  Box ComputeTransformedBox(const COrientation& frame) const;
  float ComputeRadiusAbout(float x, float y, float z) const;
  Vector3 ComputeCentroid() const;

  // True when every face index addresses an existing vertex (and the arrays are there).
  bool IndicesValid() const;

  // Segment-style query against every face; the nearest hit (time below 1) is written back
  // into the query. Without such a hit the query's record and normal are left as they were.
  // Query needs IntersectPolygon(a, b, k, n, parallelogram, box) and the result/normal fields.
  template <class Query>
  bool IntersectNearest(Query& query) const;

  // Gives faces that reuse an edge inconsistently fresh copies of that edge's vertices.
  // Appends the copied vertex numbers to `out` and returns how many there are (new vertex
  // V + j copies out[j]); returns -1 and changes nothing when the indices are invalid or
  // the copies would need vertex numbers the 16-bit indices cannot hold.
  int32_t SplitInconsistentVertices(std::vector<uint32_t>& out);
  // Splits, grows the positions, then builds the half-edges once. False when refused.
  bool BuildEdgeAdjacency();
  // The same half-edges for faces laid out as an n x n vertex grid (n n vertices; cells row by
  // row, each the faces {a, a + n, a + 1} and {a + n, a + n + 1, a + 1} with a = r n + c), found
  // by index arithmetic: a grid needs no split. False, nothing changed, for any other layout.
  bool BuildGridEdgeAdjacency();

  const TriMeshHalfEdge* GetHalfEdge(uint32_t i) const { return &halfEdges[i]; }
  const TriMeshHalfEdge* GetFaceHalfEdge(uint32_t f, uint32_t k) const { return &halfEdges[3 * f + k]; }
  uint32_t GetHalfEdgeIndexInFace(const TriMeshHalfEdge* e) const {
    return static_cast<uint32_t>(e - halfEdges) % 3;
  }
  const TriMeshHalfEdge* GetVertexHalfEdge(uint32_t v) const;
  int32_t GetNeighbourFace(uint32_t f, uint32_t k) const;
  const TriMeshHalfEdge* PrevEdgeAroundVertex(const TriMeshHalfEdge* e) const;
  const TriMeshHalfEdge* NextEdgeAroundVertex(const TriMeshHalfEdge* e) const;
  // Appends the half-edges leaving start's vertex; returns start when the ring closed,
  // null when it ran into a border (or did not close within the mesh's half-edge count).
  const TriMeshHalfEdge* CollectVertexRing(std::vector<const TriMeshHalfEdge*>& list,
                                           const TriMeshHalfEdge* start) const;
};

template <class Query>
bool TriMesh::IntersectNearest(Query& query) const {
  // Each polygon test writes its record before its range checks, so the caller's record
  // is saved and restored unless a hit below time 1 replaces it.
  if (!positions || !indices || !IndicesValid()) return false;
  const auto savedResult = query.result;
  const Vector3 savedNormal = query.normal;
  auto best = query.result;
  Vector3 bestNormal = query.normal;
  float bestTime = FLT_MAX;
  for (uint32_t f = 0; f < faceCount; ++f) {
    const Vector3& p0 = positions[indices[3 * f]];
    const Vector3& p1 = positions[indices[3 * f + 1]];
    const Vector3& p2 = positions[indices[3 * f + 2]];
    const Vector3 n = faceNormals ? faceNormals[f] : FaceNormal(p0, p1, p2);
    if (query.IntersectPolygon(p0, p1, p2, n, false, nullptr) && query.result.time < bestTime) {
      bestTime = query.result.time;
      best = query.result;
      bestNormal = query.normal;
    }
  }
  if (bestTime < 1.0f) {
    query.result = best;
    query.normal = bestNormal;
    return true;
  }
  query.result = savedResult;
  query.normal = savedNormal;
  return false;
}
