// HalfEdgeMesh: pointer-linked half-edge structure of a triangle list, with per-element attachments.
#pragma once

#include <cstdint>
#include <memory>

#include "core/math/Vector3.h"
#include "scene/mesh/HalfEdgeFace.h"

class HalfEdgeMesh {
 public:
  // positions: vertexCount points; indices: 3 * faceCount vertex indices.
  // Half-edge i belongs to face i / 3 and leaves corner i % 3. Indices that
  // name no vertex (or missing arrays) leave the mesh empty, with a logged
  // message, rather than linking to memory outside the vertex array.
  HalfEdgeMesh(const Vector3* positions, uint32_t vertexCount, const uint32_t* indices, uint32_t faceCount);
  ~HalfEdgeMesh() = default;
  HalfEdgeMesh(const HalfEdgeMesh&) = delete;
  HalfEdgeMesh& operator=(const HalfEdgeMesh&) = delete;

  uint32_t GetVertexCount() const { return vertexCount_; }
  uint32_t GetHalfEdgeCount() const { return halfEdgeCount_; }
  uint32_t GetFaceCount() const { return faceCount_; }

  HalfEdgeVertex* GetVertex(uint32_t i) { return &vertices_[i]; }
  const HalfEdgeVertex* GetVertex(uint32_t i) const { return &vertices_[i]; }
  HalfEdgeFace* GetFace(uint32_t i) { return &faces_[i]; }
  const HalfEdgeFace* GetFace(uint32_t i) const { return &faces_[i]; }
  HalfEdgeRecord* GetHalfEdge(uint32_t i) { return &halfEdges_[i]; }
  const HalfEdgeRecord* GetHalfEdge(uint32_t i) const { return &halfEdges_[i]; }

  // Index of an element of this mesh (for tests and tools).
  uint32_t IndexOf(const HalfEdgeVertex* v) const { return static_cast<uint32_t>(v - vertices_.get()); }
  uint32_t IndexOf(const HalfEdgeFace* f) const { return static_cast<uint32_t>(f - faces_.get()); }
  uint32_t IndexOf(const HalfEdgeRecord* h) const { return static_cast<uint32_t>(h - halfEdges_.get()); }

 private:
  bool CheckInput(const Vector3* positions, uint32_t vertexCount, const uint32_t* indices,
                  uint32_t faceCount) const;
  void LinkHalfEdges(const uint32_t* indices);

  uint32_t vertexCount_ = 0;
  uint32_t halfEdgeCount_ = 0;
  uint32_t faceCount_ = 0;
  // Each element frees its own attachment (and a face its outline) as its array goes.
  std::unique_ptr<HalfEdgeVertex[]> vertices_;
  std::unique_ptr<HalfEdgeFace[]> faces_;
  std::unique_ptr<HalfEdgeRecord[]> halfEdges_;
};
