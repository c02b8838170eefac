// COccluderObjectInterface: what the occlusion code asks of a primitive that stands for part of a mesh.
#pragma once

#include <cstdint>

class HalfEdgeMesh;

class COccluderObjectInterface {
 public:
  virtual ~COccluderObjectInterface() = default;
  // The half-edge form of the mesh the primitive belongs to (built on first use); null without one.
  virtual HalfEdgeMesh* GetOccluderMesh() = 0;
  // Which face (or patch) of that mesh the primitive is; -1 for an unbound primitive.
  virtual int32_t GetOccluderTag() const = 0;
};
