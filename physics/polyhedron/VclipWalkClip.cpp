// Edge-edge and edge-face states of the closest-feature walk: clipping an edge
// against an edge's or a face's Voronoi region.
#include <algorithm>
#include <vector>

#include "physics/polyhedron/VclipWalkHandlers.h"

namespace vclip_walk {

namespace {

const Edge& AsEdge(const Feature* f) { return *static_cast<const Edge*>(f); }
const Face& AsFace(const Feature* f) { return *static_cast<const Face*>(f); }

struct Segment {
  VclipVector3 T, H, D;
  VclipVector3 At(float lambda) const { return Mad(T, lambda, D); }
};

Segment Carry(const Edge& e, FeatureTransformCache& cache) {
  const CarriedEdge& carried = cache.Segment(e);
  Segment s;
  s.T = carried.T;
  s.H = carried.H;
  s.D = carried.D;
  return s;
}

// Vertex test at a clip parameter: -1 for contact (out = the vertex), otherwise the
// sign of (P - V) . D as 1, 0 or -2 (positive, zero, negative).
int VertexTest(const Vertex& V, const Segment& s, float lambda, VclipVector3& out) {
  const VclipVector3 q = Sub(s.At(lambda), V.coords);
  if (q == VclipVector3::kZero) {
    out = V.coords;
    return -1;
  }
  const float slope = q.Dot(s.D);
  return slope > 0.0f ? 1 : (slope == 0.0f ? 0 : -2);
}

// Whether the face beside an end of the clipped part is nearer than the part: the face plane's
// value at that end (atEnd) grows in size going into the part (inwardSlope, the value's rate along
// the edge from that end inwards). The slope is taken along the whole edge, not as the difference
// between the part's two ends, because the part may have shrunk to a single point, where both ends
// give the same value and would hide the way to the face.
bool FaceIsNearer(float atEnd, float inwardSlope) {
  return (atEnd > 0.0f && inwardSlope > 0.0f) || (atEnd < 0.0f && inwardSlope < 0.0f);
}

// Clips segment s (in E's frame) against E's region. 0: E replaced; -1: contact at
// out; 1: the segment passes.
int ClipEdgeAgainstEdge(const Feature*& slot, const Segment& s, VclipVector3& out) {
  const Edge& E = AsEdge(slot);
  float lo = 0.0f, hi = 1.0f;
  const Feature* nlo = nullptr;
  const Feature* nhi = nullptr;
  const PolyPlane* vertexPlanes[2] = {&E.tailPlane, &E.headPlane};
  const Vertex* vertices[2] = {E.tail, E.head};
  for (int i = 0; i < 2; ++i) {
    const float at = -vertexPlanes[i]->Dist(s.T);
    const float ah = -vertexPlanes[i]->Dist(s.H);
    if (at < 0.0f && ah < 0.0f) return slot = vertices[i], 0;
    if (at < 0.0f) {
      lo = at / (at - ah);
      nlo = vertices[i];
    } else if (ah < 0.0f) {
      hi = at / (at - ah);
      nhi = vertices[i];
    }
  }
  const Vertex* vlo = static_cast<const Vertex*>(nlo);
  const Vertex* vhi = static_cast<const Vertex*>(nhi);
  const float vlamLo = lo, vlamHi = hi;

  const PolyPlane* facePlanes[2] = {&E.leftPlane, &E.rightPlane};
  const Face* faces[2] = {E.left, E.right};
  bool emptied = false;
  for (int i = 0; i < 2 && !emptied; ++i) {
    const float at = -facePlanes[i]->Dist(s.T);
    const float ah = -facePlanes[i]->Dist(s.H);
    if (at < 0.0f && ah < 0.0f) {
      // The segment lies wholly beyond this face plane.
      if (vlo) {
        const int test = VertexTest(*vlo, s, vlamLo, out);
        if (test == -1) return -1;
        if (test == 1) return slot = vlo, 0;
      }
      if (vhi) {
        const int test = VertexTest(*vhi, s, vlamHi, out);
        if (test == -1) return -1;
        if (test == -2) return slot = vhi, 0;
      }
      return slot = faces[i], 0;
    }
    if (at < 0.0f) {
      const float lambda = at / (at - ah);
      if (lambda > lo) {
        lo = lambda;
        nlo = faces[i];
        emptied = lo > hi;
      }
    } else if (ah < 0.0f) {
      const float lambda = at / (at - ah);
      if (lambda < hi) {
        hi = lambda;
        nhi = faces[i];
        emptied = hi < lo;
      }
    }
  }

  if (emptied) {
    if (nlo->type == kPolyFace && nhi->type == kPolyFace) {
      const PolyPlane& g = AsFace(nlo).plane;
      const float gl = g.Dist(s.At(lo));
      if (gl == 0.0f) return out = s.At(lo), -1;
      const float g0 = g.Dist(s.T), g1 = g.Dist(s.H);
      const bool toHigh = gl > 0.0f ? g0 >= g1 : g0 <= g1;
      return slot = toHigh ? nhi : nlo, 0;
    }
    if (nlo->type == kPolyFace) {
      const int test = VertexTest(*static_cast<const Vertex*>(nhi), s, hi, out);
      if (test == -1) return -1;
      return slot = test == 1 ? nlo : nhi, 0;
    }
    const int test = VertexTest(*static_cast<const Vertex*>(nlo), s, lo, out);
    if (test == -1) return -1;
    return slot = test >= 0 ? nlo : nhi, 0;
  }

  if (nlo && nlo->type == kPolyVertex) {
    const int test = VertexTest(*static_cast<const Vertex*>(nlo), s, lo, out);
    if (test == -1) return -1;
    if (test == 1) return slot = nlo, 0;
  } else if (nlo) {
    const PolyPlane& g = AsFace(nlo).plane;
    const float gl = g.Dist(s.At(lo));
    if (gl == 0.0f) return out = s.At(lo), -1;
    if (FaceIsNearer(gl, g.normal.Dot(s.D))) return slot = nlo, 0;
  }
  if (!nhi) return 1;
  if (nhi->type == kPolyVertex) {
    const int test = VertexTest(*static_cast<const Vertex*>(nhi), s, hi, out);
    if (test == -1) return -1;
    if (test >= 0) return 1;
    return slot = nhi, 0;
  }
  const PolyPlane& g = AsFace(nhi).plane;
  const float gh = g.Dist(s.At(hi));
  if (gh == 0.0f) return out = s.At(hi), -1;
  if (FaceIsNearer(gh, -g.normal.Dot(s.D))) return slot = nhi, 0;
  return 1;
}

// Per-side results of clipping an edge against a face's cone, indexed by the cone
// node's index. Shared, grow-only.
enum SideCode : uint32_t { kBothIn = 0, kBothOut = 1, kEntering = 2, kLeaving = 3 };
std::vector<uint32_t>& SideCodes() {
  static std::vector<uint32_t> codes(100);
  return codes;
}
std::vector<float>& SideParams() {
  static std::vector<float> params(100);
  return params;
}

// The node next to n that shares vertex x of n's edge.
const FaceConeNode* NeighbourSharing(const Face& f, const FaceConeNode& n, const Vertex* x) {
  const bool headSide = x == n.edge->head;
  return (n.edge->left == &f) == headSide ? n.ccw : n.cw;
}

// Walks the face boundary from start towards the part of the face nearest the
// segment; the face is replaced by a boundary edge or vertex. Bounded by the
// face's side count: on an unlucky float cycle the walk stops where it is.
void BoundaryWalk(const Face& f, const FaceConeNode* start, const Segment& s, const Feature*& faceSlot) {
  const std::vector<uint32_t>& codes = SideCodes();
  const std::vector<float>& params = SideParams();
  const FaceConeNode* N = start;
  const FaceConeNode* M = start;
  bool derivativesReached = false;
  for (uint32_t round = 0; round < 2 * f.sides + 2; ++round) {
    const uint32_t code = codes[N->index];
    if (code == kBothIn) break;
    float lo = code == kLeaving ? params[N->index] : 0.0f;
    float hi = code == kEntering ? params[N->index] : 1.0f;
    const Edge& B = *N->edge;
    const Vertex* lowV = nullptr;
    const Vertex* highV = nullptr;
    const Vertex* towards = nullptr;
    bool stop = false;
    const PolyPlane* planes[2] = {&B.tailPlane, &B.headPlane};
    const Vertex* ends[2] = {B.tail, B.head};
    for (int i = 0; i < 2 && !towards && !stop; ++i) {
      const float at = -planes[i]->Dist(s.T);
      const float ah = -planes[i]->Dist(s.H);
      if (at < 0.0f && ah < 0.0f) {
        towards = ends[i];
      } else if (at >= 0.0f && ah < 0.0f) {
        const float lambda = at / (at - ah);
        if (lambda < hi) {
          hi = lambda;
          highV = ends[i];
          if (lo > hi) {
            if (derivativesReached) stop = true;
            else towards = ends[i];
          }
        }
      } else if (at < 0.0f && ah >= 0.0f) {
        const float lambda = at / (at - ah);
        if (lambda > lo) {
          lo = lambda;
          lowV = ends[i];
          if (lo > hi) {
            if (derivativesReached) stop = true;
            else towards = ends[i];
          }
        }
      }
    }
    if (stop) break;
    if (!towards) {
      derivativesReached = true;
      if (lowV && Sub(s.At(lo), lowV->coords).Dot(s.D) > 0.0f) {
        towards = lowV;
      } else if (!highV || Sub(s.At(hi), highV->coords).Dot(s.D) >= 0.0f) {
        faceSlot = &B;
        return;
      } else {
        towards = highV;
      }
    }
    const FaceConeNode* next = NeighbourSharing(f, *N, towards);
    if (next == M) break;
    M = N;
    N = next;
  }
  // Stopped between N and M: the face gives way to the vertex their edges share.
  const Edge& B = *N->edge;
  const bool mOnHeadSide = M != N && NeighbourSharing(f, *N, B.head) == M;
  faceSlot = mOnHeadSide ? B.head : B.tail;
}

}  // namespace

int EdgeEdge(const Feature*& e1s, const Feature*& e2s, const Xf& X12, const Xf& X21, FeatureTransformCache& c1,
             FeatureTransformCache& c2, VclipVector3& cp1, VclipVector3& cp2, float& dist) {
  VclipVector3 contact;
  int r = ClipEdgeAgainstEdge(e2s, Carry(AsEdge(e1s), c1), contact);
  if (r == 0) return 0;
  if (r == -1) {
    cp2 = contact;
    cp1 = X12.Apply(contact);
    dist = 0.0f;
    return -1;
  }
  const Segment s2 = Carry(AsEdge(e2s), c2);
  r = ClipEdgeAgainstEdge(e1s, s2, contact);
  if (r == 0) return 0;
  if (r == -1) {
    cp1 = contact;
    cp2 = X21.Apply(contact);
    dist = 0.0f;
    return -1;
  }
  const Edge& e1 = AsEdge(e1s);
  const Edge& e2 = AsEdge(e2s);
  const VclipVector3 u1 = e1.u;
  const VclipVector3 u2 = X12.R.Apply(e2.u);
  const float c = u1.Dot(u2);
  const VclipVector3 w = Sub(s2.T, e1.tail->coords);
  const float k = w.Dot(Mad(u1, -c, u2));
  const float den = 1.0f - c * c;
  float s;
  if (den > 0.0f) {
    s = std::min(std::max(k / den, 0.0f), e1.length);
  } else {
    // Parallel (or rounding made 1 - c^2 negative): any point of the overlap is as close.
    s = k <= 0.0f ? 0.0f : e1.length;
  }
  cp1 = Mad(e1.tail->coords, s, u1);
  const VclipVector3 P = X21.Apply(cp1);
  cp2 = Mad(e2.tail->coords, Sub(P, e2.tail->coords).Dot(e2.u), e2.u);
  dist = Sub(P, cp2).Length();
  return 1;
}

int EdgeFace(const Feature*& es, const Feature*& fs, FeatureTransformCache& ce, VclipVector3& cpe,
             VclipVector3& cpf, float& dist) {
  const Edge& e = AsEdge(es);
  const Face& f = AsFace(fs);
  const Segment s = Carry(e, ce);
  std::vector<uint32_t>& codes = SideCodes();
  std::vector<float>& params = SideParams();
  if (codes.size() < f.cone.size()) {
    codes.resize(f.cone.size());
    params.resize(f.cone.size());
  }
  float lo = 0.0f, hi = 1.0f;
  const FaceConeNode* nlo = nullptr;
  const FaceConeNode* nhi = nullptr;
  const FaceConeNode* excluding = nullptr;
  for (const FaceConeNode& node : f.cone) {
    const float t = node.plane.Dist(s.T);
    const float h = node.plane.Dist(s.H);
    if (t >= 0.0f && h >= 0.0f) {
      codes[node.index] = kBothIn;
    } else if (t < 0.0f && h < 0.0f) {
      codes[node.index] = kBothOut;
      excluding = &node;
    } else {
      const float lambda = t / (t - h);
      params[node.index] = lambda;
      if (t < 0.0f) {
        codes[node.index] = kEntering;
        if (lambda > lo) lo = lambda, nlo = &node;
      } else {
        codes[node.index] = kLeaving;
        if (lambda < hi) hi = lambda, nhi = &node;
      }
    }
  }
  if (excluding || lo > hi) {
    const FaceConeNode* start = excluding ? excluding : (lo + hi > 1.0f ? nlo : nhi);
    BoundaryWalk(f, start, s, fs);
    return 0;
  }
  const VclipVector3& n = f.plane.normal;
  const float dl = f.plane.Dist(s.At(lo));
  const float dh = f.plane.Dist(s.At(hi));
  if ((dl <= 0.0f && dh >= 0.0f) || (dl >= 0.0f && dh <= 0.0f)) {
    // The edge pierces (or touches) the face.
    const float lambda = dl <= 0.0f ? lo : hi;
    const float value = dl <= 0.0f ? dl : dh;
    cpe = Mad(e.tail->coords, lambda * e.length, e.u);
    cpf = Mad(s.At(lambda), -value, n);
    dist = value;
    return -1;
  }
  const float pt = f.plane.Dist(s.T);
  const float ph = f.plane.Dist(s.H);
  const bool towardsHead = (dl > 0.0f && pt > ph) || (dl < 0.0f && pt < ph);
  if (towardsHead) {
    if (nhi) fs = nhi->edge;
    else es = e.head;
  } else {
    if (nlo) fs = nlo->edge;
    else es = e.tail;
  }
  return 0;
}

}  // namespace vclip_walk
