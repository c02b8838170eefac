// HalfEdgeFace: walks along a face's loop of half-edges.
#include "scene/mesh/HalfEdgeFace.h"

uint32_t HalfEdgeFace::CountEdges() const {
  if (first == nullptr) return 0;
  uint32_t count = 1;
  for (const HalfEdgeRecord* h = first->next; h != nullptr && h != first; h = h->next) ++count;
  return count;
}

const HalfEdgeRecord* HalfEdgeFace::GetHalfEdge(uint32_t n) const {
  const HalfEdgeRecord* h = first;
  for (uint32_t i = 0; i < n && h != nullptr; ++i) h = h->next;
  return h;
}

Vector3 HalfEdgeFace::GetVertex(uint32_t n) const {
  const HalfEdgeRecord* h = GetHalfEdge(n);
  if (h == nullptr || h->from == nullptr) return Vector3();
  return h->from->position;
}
