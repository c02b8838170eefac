// HalfEdgeFace: the element records of a half-edge mesh - vertex, half-edge and face.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "core/math/Vector3.h"
#include "scene/mesh/HalfEdgeFaceOutline.h"

struct HalfEdgeFace;

// A user's block hung on an element, allocated with std::malloc (its users size it per element).
struct HalfEdgeAttachmentFree {
  void operator()(void* block) const { std::free(block); }
};
using HalfEdgeAttachment = std::unique_ptr<void, HalfEdgeAttachmentFree>;

struct HalfEdgeVertex {
  Vector3 position;
  HalfEdgeAttachment attachment;
};

struct HalfEdgeRecord {
  HalfEdgeVertex* from;
  HalfEdgeVertex* to;
  HalfEdgeFace* face;
  HalfEdgeRecord* next;
  HalfEdgeRecord* prev;
  HalfEdgeRecord* twin;  // null on an open edge
  HalfEdgeAttachment attachment;
};

struct HalfEdgeFace {
  HalfEdgeRecord* first;
  std::unique_ptr<HalfEdgeFaceOutline> outline;  // null until a user gives the face one

  // Length of the loop of next links from the first half-edge (0 without one).
  uint32_t CountEdges() const;
  // The half-edge n steps along next from the first one (null without one).
  const HalfEdgeRecord* GetHalfEdge(uint32_t n) const;
  // Position of the from-vertex of GetHalfEdge(n); (0, 0, 0) without one.
  Vector3 GetVertex(uint32_t n) const;
};
