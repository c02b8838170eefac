#include "physics/polyhedron/VclipWalkHandlers.h"

namespace vclip_walk {

namespace {

const Vertex& AsVertex(const Feature* f) { return *static_cast<const Vertex*>(f); }
const Edge& AsEdge(const Feature* f) { return *static_cast<const Edge*>(f); }
const Face& AsFace(const Feature* f) { return *static_cast<const Face*>(f); }

// Edge given by its end points T, H in the vertex's frame, clipped against the
// vertex's cone (inside >= 0).
struct VertexClip {
  float lo = 0.0f, hi = 1.0f;
  const Edge* nlo = nullptr;
  const Edge* nhi = nullptr;
  bool stopped = false;
};

VertexClip ClipAgainstVertexCone(const Vertex& v, const VclipVector3& T, const VclipVector3& H) {
  VertexClip c;
  for (const VertexConeNode& node : v.cone) {
    const float t = node.plane.Dist(T);
    const float h = node.plane.Dist(H);
    if (t < 0.0f && h < 0.0f) {
      c.nlo = c.nhi = node.edge;
      c.stopped = true;
      return c;
    }
    if (t < 0.0f) {
      const float lambda = t / (t - h);
      if (lambda > c.lo) {
        c.lo = lambda;
        c.nlo = node.edge;
        if (c.lo > c.hi) {
          c.stopped = true;
          return c;
        }
      }
    } else if (h < 0.0f) {
      const float lambda = t / (t - h);
      if (lambda < c.hi) {
        c.hi = lambda;
        c.nhi = node.edge;
        if (c.hi < c.lo) {
          c.stopped = true;
          return c;
        }
      }
    }
  }
  return c;
}

}  // namespace

int VertexVertex(const Feature*& v1s, const Feature*& v2s, FeatureTransformCache& c1, FeatureTransformCache& c2,
                 VclipVector3& cp1, VclipVector3& cp2, float& dist) {
  const Vertex& v1 = AsVertex(v1s);
  const Vertex& v2 = AsVertex(v2s);
  const VclipVector3 p2 = c2.Point(v2);
  for (const VertexConeNode& node : v1.cone) {
    if (node.plane.Dist(p2) < 0.0f) {
      v1s = node.edge;
      return 0;
    }
  }
  const VclipVector3 p1 = c1.Point(v1);
  for (const VertexConeNode& node : v2.cone) {
    if (node.plane.Dist(p1) < 0.0f) {
      v2s = node.edge;
      return 0;
    }
  }
  cp1 = v1.coords;
  cp2 = v2.coords;
  dist = Sub(p2, v1.coords).Length();
  return dist <= 0.0f ? -1 : 1;
}

int VertexEdge(const Feature*& vs, const Feature*& es, FeatureTransformCache& cv, FeatureTransformCache& ce,
               VclipVector3& cpv, VclipVector3& cpe, float& dist) {
  const Vertex& v = AsVertex(vs);
  const Edge& e = AsEdge(es);
  const VclipVector3 pv = cv.Point(v);
  if (e.tailPlane.Dist(pv) > 0.0f) return es = e.tail, 0;
  if (e.headPlane.Dist(pv) > 0.0f) return es = e.head, 0;
  if (e.leftPlane.Dist(pv) > 0.0f) return es = e.left, 0;
  if (e.rightPlane.Dist(pv) > 0.0f) return es = e.right, 0;

  const CarriedEdge& carried = ce.Segment(e);
  const VclipVector3 T = carried.T;
  const VclipVector3 D = carried.D;
  const VertexClip c = ClipAgainstVertexCone(v, T, carried.H);
  if (c.stopped && c.nlo && c.nlo == c.nhi) return vs = c.nlo, 0;
  // The derivative of the distance along the clipped edge tells which neighbour is nearer.
  for (int end = 0; end < 2; ++end) {
    const Edge* neighbour = end == 0 ? c.nlo : c.nhi;
    if (!neighbour) continue;
    const VclipVector3 q = Sub(Mad(T, end == 0 ? c.lo : c.hi, D), v.coords);
    if (q == VclipVector3::kZero) {
      cpv = v.coords;
      cpe = pv;
      dist = 0.0f;
      return -1;
    }
    if (end == 0 ? q.Dot(D) > 0.0f : q.Dot(D) < 0.0f) return vs = neighbour, 0;
  }
  const VclipVector3 foot = Mad(e.tail->coords, Sub(pv, e.tail->coords).Dot(e.u), e.u);
  cpv = v.coords;
  cpe = foot;
  dist = Sub(pv, foot).Length();
  return 1;
}

int VertexFace(const Feature*& vs, const Feature*& fs, const Polyhedron& facePoly, FeatureTransformCache& cv,
               VclipVector3& cpv, VclipVector3& cpf, float& dist) {
  const Vertex& v = AsVertex(vs);
  const Face& f = AsFace(fs);
  const VclipVector3 pv = cv.Point(v);
  float most = 0.0f;
  const Edge* outside = nullptr;
  for (const FaceConeNode& node : f.cone) {
    const float value = node.plane.Dist(pv);
    if (value < most) {
      most = value;
      outside = node.edge;
    }
  }
  if (outside) return fs = outside, 0;

  const float d = f.plane.Dist(pv);
  if (d == 0.0f) {
    cpv = v.coords;
    cpf = pv;
    dist = 0.0f;
    return -1;
  }
  for (const VertexConeNode& node : v.cone) {
    const bool isTail = node.edge->tail == &v;
    const Vertex* other = isTail ? node.edge->head : node.edge->tail;
    const VclipVector3 pu = cv.Transform().Apply(other->coords);
    const float du = f.plane.Dist(pu);
    if ((d > 0.0f && du < d) || (d < 0.0f && du > d)) {
      // Both ends are carried already: the edge state that follows starts from them.
      if (isTail) cv.Keep(*node.edge, pv, pu);
      else cv.Keep(*node.edge, pu, pv);
      return vs = node.edge, 0;
    }
  }
  if (d > 0.0f) {
    cpv = v.coords;
    cpf = Mad(pv, -d, f.plane.normal);
    dist = d;
    return 1;
  }
  // Local minimum below the face: the vertex is inside unless some face plane
  // has it in front.
  float best = d;
  const Face* bestFace = &f;
  for (const Face& other : facePoly.faces()) {
    const float value = other.plane.Dist(pv);
    if (value > best) {
      best = value;
      bestFace = &other;
    }
  }
  if (best > 0.0f) return fs = bestFace, 0;
  cpv = v.coords;
  cpf = Mad(pv, -best, bestFace->plane.normal);
  dist = best;
  return -1;
}

}  // namespace vclip_walk
