// HalfEdgeMesh: build from a triangle list and release of the elements and their attachments.
#include "scene/mesh/HalfEdgeMesh.h"

#include <cstdio>
#include <new>
#include <unordered_map>

#include "platform/system/Win32.h"

namespace {

void Log(const char* text) { OutputDebugStringA(text); }

// Undirected edge key. Kept in 64 bits: with 32-bit arithmetic V * a + b wraps
// once V exceeds 65535 and unrelated edges would be linked as twins.
uint64_t EdgeKey(uint32_t vertexCount, uint32_t a, uint32_t b) {
  const uint32_t lo = a < b ? a : b;
  const uint32_t hi = a < b ? b : a;
  return static_cast<uint64_t>(vertexCount) * lo + hi;
}

}  // namespace

HalfEdgeMesh::HalfEdgeMesh(const Vector3* positions, uint32_t vertexCount, const uint32_t* indices,
                           uint32_t faceCount) {
  if (!CheckInput(positions, vertexCount, indices, faceCount)) return;
  vertices_.reset(new (std::nothrow) HalfEdgeVertex[vertexCount]());
  faces_.reset(new (std::nothrow) HalfEdgeFace[faceCount]());
  halfEdges_.reset(new (std::nothrow) HalfEdgeRecord[3u * faceCount]());
  if (vertices_ == nullptr || faces_ == nullptr || halfEdges_ == nullptr) {
    Log("HalfEdgeMesh: out of memory, mesh left empty\n");
    vertices_.reset();
    faces_.reset();
    halfEdges_.reset();
    return;
  }
  vertexCount_ = vertexCount;
  faceCount_ = faceCount;
  halfEdgeCount_ = 3u * faceCount;
  for (uint32_t v = 0; v < vertexCount; ++v) vertices_[v].position = positions[v];
  for (uint32_t f = 0; f < faceCount; ++f) faces_[f].first = &halfEdges_[3u * f];
  LinkHalfEdges(indices);
}

bool HalfEdgeMesh::CheckInput(const Vector3* positions, uint32_t vertexCount, const uint32_t* indices,
                              uint32_t faceCount) const {
  char line[160];
  if (faceCount > UINT32_MAX / 3u) {
    std::snprintf(line, sizeof line, "HalfEdgeMesh: %u faces are too many, mesh left empty\n", faceCount);
    Log(line);
    return false;
  }
  if ((vertexCount > 0 && positions == nullptr) || (faceCount > 0 && indices == nullptr)) {
    Log("HalfEdgeMesh: missing vertex or index array, mesh left empty\n");
    return false;
  }
  for (uint32_t i = 0; i < 3u * faceCount; ++i) {
    if (indices[i] >= vertexCount) {
      std::snprintf(line, sizeof line,
                    "HalfEdgeMesh: face %u uses vertex %u of %u, mesh left empty\n", i / 3u, indices[i],
                    vertexCount);
      Log(line);
      return false;
    }
  }
  return true;
}

void HalfEdgeMesh::LinkHalfEdges(const uint32_t* indices) {
  std::unordered_map<uint64_t, uint32_t> firstOnEdge;
  firstOnEdge.reserve(halfEdgeCount_ > 100 ? halfEdgeCount_ : 100);
  for (uint32_t i = 0; i < halfEdgeCount_; ++i) {
    const uint32_t base = i - i % 3u;
    const uint32_t a = indices[i];
    const uint32_t b = indices[base + (i + 1) % 3u];
    HalfEdgeRecord& h = halfEdges_[i];
    h.from = &vertices_[a];
    h.to = &vertices_[b];
    h.face = &faces_[i / 3u];
    h.next = &halfEdges_[base + (i + 1) % 3u];
    h.prev = &halfEdges_[base + (i + 2) % 3u];

    const auto inserted = firstOnEdge.emplace(EdgeKey(vertexCount_, a, b), i);
    if (inserted.second) continue;
    // The table keeps the first half-edge, so a third face on the edge takes
    // it over and the second face's link is left one-sided (reported).
    HalfEdgeRecord& other = halfEdges_[inserted.first->second];
    if (h.twin != nullptr || other.twin != nullptr) {
      char line[96];
      std::snprintf(line, sizeof line, "Malformed Mesh around face number %u!\n", i / 3u);
      Log(line);
    }
    h.twin = &other;
    other.twin = &h;
  }
}
