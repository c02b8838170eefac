// TriMesh: geometry helpers, the vertex-splitting pass and the half-edge adjacency.
#include "scene/mesh/TriMesh.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "platform/system/Win32.h"

namespace {

// Undirected edge code. V can reach 65536, so V * a + b needs more than 32 bits.
uint64_t EdgeCode(uint64_t v, uint32_t a, uint32_t b) { return v * std::min(a, b) + std::max(a, b); }

constexpr size_t kMinHashEntries = 100;

// Everything of half-edge i but its twin and edge mark, which need the faces around it.
void LinkHalfEdge(TriMeshHalfEdge& e, uint32_t i, const uint16_t* indices) {
  const uint32_t base = 3 * (i / 3);
  e.from = indices[i];
  e.to = indices[base + (i % 3 + 1) % 3];
  e.face = i / 3;
  e.next = base + (i % 3 + 1) % 3;
  e.prev = base + (i % 3 + 2) % 3;
}

// Vertices a side when the faces are laid out as an n x n vertex grid: cells row by row, each
// the faces {a, a + n, a + 1} and {a + n, a + n + 1, a + 1} with a = r n + c; else 0.
uint32_t GridSide(const TriMesh& mesh) {
  const uint32_t n = static_cast<uint32_t>(std::lround(std::sqrt(static_cast<double>(mesh.vertexCount))));
  if (n < 2 || n * n != mesh.vertexCount || mesh.faceCount != 2 * (n - 1) * (n - 1) || !mesh.indices) return 0;
  const uint16_t* t = mesh.indices;
  for (uint32_t r = 0; r + 1 < n; ++r) {
    for (uint32_t c = 0; c + 1 < n; ++c, t += 6) {
      const uint32_t a = r * n + c, b = a + n;
      if (t[0] != a || t[1] != b || t[2] != a + 1 || t[3] != b || t[4] != b + 1 || t[5] != a + 1) return 0;
    }
  }
  return n;
}

}  // namespace

void ComputeBoundingSphere(const Vector3* points, uint32_t count, Vector3& centre, float& radius) {
  centre = Vector3();
  radius = 0.0f;
  if (!points || count == 0) return;
  centre = points[0];
  for (uint32_t i = 1; i < count; ++i) {
    const Vector3 offset = points[i] - centre;
    const float d = offset.Length();
    if (d > radius) {
      const float grown = (d + radius) * 0.5f;
      centre += offset * ((grown - radius) / d);
      radius = grown;
    }
  }
}

void ComputeMeshBounds(TriMesh& mesh) {
  if (!mesh.positions || mesh.vertexCount == 0) {
    mesh.bounds = Box();
    mesh.centroid = Vector3();
    mesh.radius = 0.0f;
    mesh.centroidRadius = 0.0f;
    return;
  }
  mesh.bounds = Box(mesh.positions[0], mesh.positions[0]);
  Vector3 sum;
  float farthest = 0.0f;
  for (uint32_t i = 0; i < mesh.vertexCount; ++i) {
    const Vector3& p = mesh.positions[i];
    mesh.bounds.ExtendByPoint(p);
    sum += p;
    farthest = std::max(farthest, p.LengthSquared());
  }
  mesh.centroid = sum * (1.0f / static_cast<float>(mesh.vertexCount));
  float farthestFromCentroid = 0.0f;
  for (uint32_t i = 0; i < mesh.vertexCount; ++i) {
    farthestFromCentroid = std::max(farthestFromCentroid, (mesh.positions[i] - mesh.centroid).LengthSquared());
  }
  mesh.radius = std::sqrt(farthest);
  mesh.centroidRadius = std::sqrt(farthestFromCentroid);
}

TriMesh::TriMesh() { Reset(); }

TriMesh::~TriMesh() { FreeArrays(); }

void TriMesh::Reset() {
  header = 0;
  faceCount = 0;
  vertexCount = 0;
  positions = nullptr;
  faceNormals = nullptr;
  indices = nullptr;
  halfEdges = nullptr;
  vertexHalfEdges = nullptr;
  centroid = Vector3();
  bounds = Box();
  radius = 0.0f;
  centroidRadius = 0.0f;
}

void TriMesh::FreeArrays() {
  delete[] positions;
  delete[] indices;
  positions = nullptr;
  indices = nullptr;
  FreeFaceNormals();
  FreeAdjacency();
}

void TriMesh::FreeAdjacency() {
  delete[] halfEdges;
  delete[] vertexHalfEdges;
  halfEdges = nullptr;
  vertexHalfEdges = nullptr;
}

void TriMesh::FreeFaceNormals() {
  delete[] faceNormals;
  faceNormals = nullptr;
}

bool TriMesh::Allocate(uint32_t vertices, uint32_t faces) {
  if (vertices > kMaxVertices) {
    OutputDebugStringA("TriMesh: too many vertices for 16-bit face indices\n");
    return false;
  }
  FreeArrays();
  vertexCount = vertices;
  faceCount = faces;
  positions = new Vector3[vertices];
  indices = new uint16_t[3 * static_cast<size_t>(faces)]();
  return true;
}

Vector3 TriMesh::FaceNormal(const Vector3& p0, const Vector3& p1, const Vector3& p2) {
  const Vector3 e1 = p1 - p0;
  const Vector3 e2 = p2 - p0;
  Vector3 n(e2.y * e1.z - e2.z * e1.y, e2.z * e1.x - e2.x * e1.z, e2.x * e1.y - e2.y * e1.x);
  const float len = n.Length();
  if (len != 0.0f) n *= 1.0f / len;
  return n;
}

void TriMesh::ComputeFaceNormals(Vector3* out) {
  if (!out) {
    FreeFaceNormals();
    faceNormals = new Vector3[faceCount];
    out = faceNormals;
  }
  if (!positions || !indices || !IndicesValid()) {
    OutputDebugStringA("TriMesh: face indices out of range, normals left zero\n");
    for (uint32_t f = 0; f < faceCount; ++f) out[f] = Vector3();
    return;
  }
  for (uint32_t f = 0; f < faceCount; ++f) {
    out[f] = FaceNormal(positions[indices[3 * f]], positions[indices[3 * f + 1]], positions[indices[3 * f + 2]]);
  }
}

const Box& TriMesh::ComputeBox() {
  if (!positions || vertexCount == 0) {
    bounds = Box();
    return bounds;
  }
  bounds = Box(positions[0], positions[0]);
  for (uint32_t i = 1; i < vertexCount; ++i) bounds.ExtendByPoint(positions[i]);
  return bounds;
}

Box TriMesh::ComputeTransformedBox(const COrientation& frame) const {
  if (!positions || vertexCount == 0) return Box();
  const Vector3 first = frame.WorldToLocalPoint(positions[0]);
  Box box(first, first);
  for (uint32_t i = 1; i < vertexCount; ++i) box.ExtendByPoint(frame.WorldToLocalPoint(positions[i]));
  return box;
}

float TriMesh::ComputeRadiusAbout(float x, float y, float z) const {
  const Vector3 c(x, y, z);
  float farthest = 0.0f;
  for (uint32_t i = 0; positions && i < vertexCount; ++i) {
    farthest = std::max(farthest, (positions[i] - c).LengthSquared());
  }
  return std::sqrt(farthest);
}

Vector3 TriMesh::ComputeCentroid() const {
  if (!positions || vertexCount == 0) return Vector3();
  Vector3 sum;
  for (uint32_t i = 0; i < vertexCount; ++i) sum += positions[i];
  return sum * (1.0f / static_cast<float>(vertexCount));
}

bool TriMesh::IndicesValid() const {
  if (faceCount == 0) return true;
  if (!indices || !positions) return false;
  for (size_t i = 0; i < 3 * static_cast<size_t>(faceCount); ++i) {
    if (indices[i] >= vertexCount) return false;
  }
  return true;
}

int32_t TriMesh::SplitInconsistentVertices(std::vector<uint32_t>& out) {
  if (!IndicesValid()) {
    OutputDebugStringA("TriMesh: face indices out of range, vertices not split\n");
    return -1;
  }
  // Work on a copy so that a refused mesh keeps its indices untouched.
  const size_t cornerCount = 3 * static_cast<size_t>(faceCount);
  std::vector<uint16_t> work(indices, indices + cornerCount);
  std::vector<uint32_t> added;
  std::unordered_map<uint64_t, int64_t> edges;
  edges.reserve(std::max(kMinHashEntries, cornerCount));
  const uint64_t v = vertexCount;
  for (uint32_t f = 0; f < faceCount; ++f) {
    for (uint32_t k = 0; k < 3; ++k) {
      const uint32_t a = work[3 * f + k];
      const uint32_t b = work[3 * f + (k + 1) % 3];
      const uint64_t code = EdgeCode(v, a, b);
      auto it = edges.find(code);
      if (it == edges.end()) {
        edges.emplace(code, static_cast<int64_t>(v * a + b));
        continue;
      }
      if (it->second == static_cast<int64_t>(v * b + a)) {
        it->second = -1;  // paired: any further use is inconsistent
        continue;
      }
      const uint64_t first = v + added.size();
      if (first + 1 >= kMaxVertices) {
        OutputDebugStringA("TriMesh: vertex split needs more vertices than 16-bit indices hold\n");
        return -1;
      }
      work[3 * f + k] = static_cast<uint16_t>(first);
      work[3 * f + (k + 1) % 3] = static_cast<uint16_t>(first + 1);
      added.push_back(a);
      added.push_back(b);
      break;  // the rest of this face is not examined
    }
  }
  std::copy(work.begin(), work.end(), indices);
  out.insert(out.end(), added.begin(), added.end());
  return static_cast<int32_t>(added.size());
}

bool TriMesh::BuildEdgeAdjacency() {
  std::vector<uint32_t> split;
  const int32_t added = SplitInconsistentVertices(split);
  if (added < 0) return false;
  if (added > 0) {
    Vector3* grown = new Vector3[vertexCount + added];
    std::copy(positions, positions + vertexCount, grown);
    for (int32_t j = 0; j < added; ++j) grown[vertexCount + j] = positions[split[j]];
    delete[] positions;
    positions = grown;
    vertexCount += static_cast<uint32_t>(added);
    // A vertex array sized for the old count would be read out of range.
    delete[] vertexHalfEdges;
    vertexHalfEdges = nullptr;
    delete[] halfEdges;
    halfEdges = nullptr;
  }
  if (halfEdges) return true;

  const uint32_t count = 3 * faceCount;
  halfEdges = new TriMeshHalfEdge[count];
  std::memset(halfEdges, 0xFF, sizeof(TriMeshHalfEdge) * count);
  vertexHalfEdges = new int32_t[vertexCount];
  std::fill(vertexHalfEdges, vertexHalfEdges + vertexCount, -1);

  std::unordered_map<uint64_t, uint32_t> edges;
  edges.reserve(std::max<size_t>(kMinHashEntries, count));
  for (uint32_t i = 0; i < count; ++i) {
    TriMeshHalfEdge& e = halfEdges[i];
    LinkHalfEdge(e, i, indices);
    e.twin = -1;
    e.edgeMark = 1;
    vertexHalfEdges[e.from] = static_cast<int32_t>(i);
    const uint64_t code = EdgeCode(vertexCount, e.from, e.to);
    auto it = edges.find(code);
    if (it == edges.end()) {
      edges.emplace(code, i);
      continue;
    }
    TriMeshHalfEdge& other = halfEdges[it->second];
    // Only a first partner running the other way becomes a twin: linking a third face, or
    // one in the same direction, would break twin(twin(e)) == e and the vertex-ring walks.
    if (other.twin != -1 || other.from != e.to) {
      char line[96];
      std::snprintf(line, sizeof(line), "Malformed Mesh around face number %u!\n", i / 3);
      OutputDebugStringA(line);
      continue;
    }
    e.twin = static_cast<int32_t>(it->second);
    other.twin = static_cast<int32_t>(i);
    other.edgeMark = 0;
  }
  return true;
}

bool TriMesh::BuildGridEdgeAdjacency() {
  const uint32_t n = GridSide(*this);
  if (n == 0) return false;
  FreeAdjacency();
  const uint32_t count = 3 * faceCount;
  halfEdges = new TriMeshHalfEdge[count];
  std::memset(halfEdges, 0xFF, sizeof(TriMeshHalfEdge) * count);
  vertexHalfEdges = new int32_t[vertexCount];
  std::fill(vertexHalfEdges, vertexHalfEdges + vertexCount, -1);
  const uint32_t cells = n - 1;
  for (uint32_t r = 0; r < cells; ++r) {
    for (uint32_t c = 0; c < cells; ++c) {
      // A cell's six half-edges: the upper face's left side, diagonal and top side, then the
      // lower face's bottom side, right side and diagonal; the sides pair with the neighbour cells'.
      const int32_t e = static_cast<int32_t>(6 * (r * cells + c)), row = static_cast<int32_t>(6 * cells);
      const int32_t twins[6] = {c > 0 ? e - 2 : -1,         e + 5,
                                r > 0 ? e - row + 3 : -1,   r + 1 < cells ? e + row + 2 : -1,
                                c + 1 < cells ? e + 6 : -1, e + 1};
      for (int32_t k = 0; k < 6; ++k) {
        const uint32_t i = static_cast<uint32_t>(e + k);
        TriMeshHalfEdge& h = halfEdges[i];
        LinkHalfEdge(h, i, indices);
        h.twin = twins[k];
        // As the general build marks them: the half-edge of a pair met last.
        h.edgeMark = twins[k] < e + k ? 1 : 0;
        vertexHalfEdges[h.from] = static_cast<int32_t>(i);
      }
    }
  }
  return true;
}

const TriMeshHalfEdge* TriMesh::GetVertexHalfEdge(uint32_t v) const {
  if (!vertexHalfEdges || v >= vertexCount || vertexHalfEdges[v] < 0) return nullptr;
  return &halfEdges[vertexHalfEdges[v]];
}

int32_t TriMesh::GetNeighbourFace(uint32_t f, uint32_t k) const {
  const int32_t twin = halfEdges[3 * f + k].twin;
  return twin < 0 ? -1 : static_cast<int32_t>(halfEdges[twin].face);
}

const TriMeshHalfEdge* TriMesh::PrevEdgeAroundVertex(const TriMeshHalfEdge* e) const {
  const int32_t twin = halfEdges[e->prev].twin;
  return twin < 0 ? nullptr : &halfEdges[twin];
}

const TriMeshHalfEdge* TriMesh::NextEdgeAroundVertex(const TriMeshHalfEdge* e) const {
  if (e->twin < 0) return nullptr;
  return &halfEdges[halfEdges[e->twin].next];
}

const TriMeshHalfEdge* TriMesh::CollectVertexRing(std::vector<const TriMeshHalfEdge*>& list,
                                                  const TriMeshHalfEdge* start) const {
  // No vertex has more outgoing half-edges than the mesh has; a walk longer than that is
  // circling in a malformed structure and is cut off.
  const size_t limit = 3 * static_cast<size_t>(faceCount);
  size_t steps = 1;
  list.push_back(start);
  // Backwards first; only a ring open at a border has anything left to find forwards.
  using Step = const TriMeshHalfEdge* (TriMesh::*)(const TriMeshHalfEdge*) const;
  for (Step step : {&TriMesh::PrevEdgeAroundVertex, &TriMesh::NextEdgeAroundVertex}) {
    for (const TriMeshHalfEdge* e = (this->*step)(start); e; e = (this->*step)(e)) {
      if (e == start) return start;
      if (++steps > limit) {
        OutputDebugStringA("TriMesh: vertex ring does not close\n");
        return nullptr;
      }
      list.push_back(e);
    }
  }
  return nullptr;
}
