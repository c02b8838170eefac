// FeatureTransformCache: one polyhedron's current feature carried into the other polyhedron's frame, kept while the walk stays on it.
#pragma once

#include "physics/polyhedron/PolyEdge.h"
#include "physics/polyhedron/PolyFeature.h"
#include "physics/polyhedron/PolyVertex.h"
#include "physics/polymath/VclipMatrixTransform.h"
#include "physics/polymath/VclipVector3.h"

// An edge in the other frame: tail T, head H and D = H - T.
struct CarriedEdge {
  VclipVector3 T, H, D;
};

// A walk usually changes one feature per step and tests the unchanged one again, so each
// polyhedron keeps its last carried feature for the length of one VClip::Step. The values are
// computed exactly as a fresh transform would be, so the walk's results do not depend on
// whether the cache was hit. The transform is referenced and must outlive the cache.
class FeatureTransformCache {
 public:
  explicit FeatureTransformCache(const VclipMatrixTransform& toOther) : m_toOther(toOther) {}

  const VclipMatrixTransform& Transform() const { return m_toOther; }
  // The vertex in the other frame; a vertex that ends the cached edge reuses that end.
  const VclipVector3& Point(const Vertex& v) { return m_feature == &v ? m_point : CarryPoint(v); }
  // The edge in the other frame; an edge that starts or ends at the cached vertex reuses it.
  const CarriedEdge& Segment(const Edge& e) { return m_feature == &e ? m_edge : CarrySegment(e); }
  // Records an edge whose ends the caller has just carried with this cache's transform.
  void Keep(const Edge& e, const VclipVector3& tail, const VclipVector3& head) {
    m_edge.T = tail;
    m_edge.H = head;
    m_edge.D = VclipVector3(head.x - tail.x, head.y - tail.y, head.z - tail.z);
    m_feature = &e;
  }

 private:
  // Inline with the walk's handlers: most calls are hits or a single transform, and a call
  // into another unit would cost as much as the transform it saves.
  const VclipVector3& CarryPoint(const Vertex& v) {
    if (m_feature && m_feature->type == kPolyEdge) {
      const Edge& e = *static_cast<const Edge*>(m_feature);
      if (e.tail == &v || e.head == &v) {
        m_point = e.tail == &v ? m_edge.T : m_edge.H;
        m_feature = &v;
        return m_point;
      }
    }
    m_point = m_toOther.Apply(v.coords);
    m_feature = &v;
    return m_point;
  }
  const CarriedEdge& CarrySegment(const Edge& e) {
    const VclipVector3 T = m_feature == e.tail ? m_point : m_toOther.Apply(e.tail->coords);
    const VclipVector3 H = m_feature == e.head ? m_point : m_toOther.Apply(e.head->coords);
    Keep(e, T, H);
    return m_edge;
  }

  const VclipMatrixTransform& m_toOther;
  const Feature* m_feature = nullptr;
  VclipVector3 m_point;
  CarriedEdge m_edge;
};
