#include "physics/polyhedron/VclipWalk.h"

#include <cfloat>
#include <fstream>
#include <iostream>
#include <string>

#include "physics/polyhedron/VclipWalkHandlers.h"

namespace {

using vclip_walk::Xf;

int g_lastHandlerCalls = 0;
int g_cycleLimit = 5000;
// Names of the trees of the current Run, for the cycle report.
std::string g_treeName1;
std::string g_treeName2;

Xf ToTransform(const Se3& x) {
  Xf out;
  out.R.SetFromQuaternion(x.rotation);
  out.t = x.translation;
  return out;
}

void WriteTransformText(std::ostream& out, const Xf& x) {
  out << x.R << "(" << x.t.x << " " << x.t.y << " " << x.t.z << ")";
}

void WriteCycleReport(const Feature* f1, const Feature* f2, const Xf& X12, const Xf& X21) {
  {
    std::ofstream report("vclipCrash", std::ios::binary | std::ios::trunc);
    if (report) {
      report << "(" << g_treeName1 << "," << g_treeName2 << ")\n" << f1->name() << "\n" << f2->name() << "\n*";
      report.write(reinterpret_cast<const char*>(&X12), sizeof(X12));
      report.write(reinterpret_cast<const char*>(&X21), sizeof(X21));
      report << "\nX12\n";
      WriteTransformText(report, X12);
      report << "\nX21\n";
      WriteTransformText(report, X21);
      report << "\n\n ***** \n";
    }
  }
  std::cerr << "vclip cycle detected! " << '\a' << std::endl;
}

const Feature* FirstVertex(const Polyhedron& p) { return &p.vertices().front(); }

bool ValidPair(const Feature* f1, const Feature* f2) {
  if (!f1 || !f2 || f1->type > kPolyFace || f2->type > kPolyFace) return false;
  return !(f1->type == kPolyFace && f2->type == kPolyFace);
}

// Runs the handler for the pair's state; the swapped states reuse the same
// handler with the polyhedra's roles exchanged. c1 carries polyhedron 1's
// features into frame 2 (X21), c2 polyhedron 2's into frame 1 (X12).
int Dispatch(const Polyhedron& p1, const Polyhedron& p2, const Xf& X12, const Xf& X21, FeatureTransformCache& c1,
             FeatureTransformCache& c2, const Feature*& f1, const Feature*& f2, VclipVector3& cp1, VclipVector3& cp2,
             float& dist) {
  using namespace vclip_walk;
  switch (4 * f1->type + f2->type) {
    case 0: return VertexVertex(f1, f2, c1, c2, cp1, cp2, dist);
    case 1: return VertexEdge(f1, f2, c1, c2, cp1, cp2, dist);
    case 2: return VertexFace(f1, f2, p2, c1, cp1, cp2, dist);
    case 4: return VertexEdge(f2, f1, c2, c1, cp2, cp1, dist);
    case 5: return EdgeEdge(f1, f2, X12, X21, c1, c2, cp1, cp2, dist);
    case 6: return EdgeFace(f1, f2, c1, cp1, cp2, dist);
    case 8: return VertexFace(f2, f1, p1, c2, cp2, cp1, dist);
    default: return EdgeFace(f2, f1, c2, cp2, cp1, dist);  // 9: face-edge; ValidPair excludes the rest
  }
}

Xf Inverse(const Xf& x) {
  Xf out;
  x.Invert(out);
  return out;
}

float RunFrames(const PolyTree& t1, const PolyTree& t2, const Xf& M12, ClosestFeatureCache& cache,
                VclipVector3& cp1, VclipVector3& cp2);

// Examines the children of whichever tree has them, nearest result first.
float Descend(const PolyTree& t1, const PolyTree& t2, const Xf& M12, ClosestFeatureCache& cache, VclipVector3& cp1,
              VclipVector3& cp2) {
  float best = FLT_MAX;
  const bool first = !t1.atomic();
  const PolyTree& parent = first ? t1 : t2;
  for (size_t i = 0; i < parent.numChildren(); ++i) {
    const PolyTree& c = *parent.child(i);
    const Xf pose = ToTransform(c.pose());
    VclipVector3 a, b;
    float d;
    if (first) {
      d = RunFrames(c, t2, Xf::Product(Inverse(pose), M12), cache, a, b);
      a = pose.Apply(a);
    } else {
      d = RunFrames(t1, c, Xf::Product(M12, pose), cache, a, b);
      b = pose.Apply(b);
    }
    if (d <= 0.0f || d < best) {
      best = d;
      cp1 = a;
      cp2 = b;
      if (d <= 0.0f) return d;
    }
  }
  return best;
}

// M12 maps t2's own frame into t1's; the points come back in those frames.
float RunFrames(const PolyTree& t1, const PolyTree& t2, const Xf& M12, ClosestFeatureCache& cache,
                VclipVector3& cp1, VclipVector3& cp2) {
  const Polyhedron* p1 = t1.polyhedron();
  const Polyhedron* p2 = t2.polyhedron();
  const bool hulls = p1 && p2 && !p1->vertices().empty() && !p2->vertices().empty();
  float d = -1.0f;  // without a hull to test, only the children can answer
  if (hulls) {
    ClosestFeaturePair& entry = cache.FindOrInsert(&t1, &t2);
    g_treeName1 = t1.name();
    g_treeName2 = t2.name();
    d = VClip::Step(*p1, *p2, M12, Inverse(M12), entry.feature1, entry.feature2, cp1, cp2, false);
    if (d > 0.0f) return d;
  }
  if (t1.atomic() && t2.atomic()) return hulls ? d : FLT_MAX;
  return Descend(t1, t2, M12, cache, cp1, cp2);
}

}  // namespace

int VClip::LastHandlerCalls() { return g_lastHandlerCalls; }
void VClip::SetCycleLimit(int calls) { g_cycleLimit = calls > 0 ? calls : 1; }
int VClip::CycleLimit() { return g_cycleLimit; }

float VClip::Step(const Polyhedron& poly1, const Polyhedron& poly2, const VclipMatrixTransform& X12,
                  const VclipMatrixTransform& X21, const Feature*& feature1, const Feature*& feature2,
                  VclipVector3& closest1, VclipVector3& closest2, bool singleStep) {
  g_lastHandlerCalls = 0;
  if (poly1.vertices().empty() || poly2.vertices().empty()) {
    std::cerr << '\a' << "vclip: polyhedron without vertices" << std::endl;
    return FLT_MAX;
  }
  if (!feature1 && !feature2) {
    feature1 = FirstVertex(poly1);
    feature2 = FirstVertex(poly2);
  }
  float dist = FLT_MAX;
  // Transformed features are reused only within this walk: the transforms belong to it.
  FeatureTransformCache carried1(X21), carried2(X12);
  for (;;) {
    if (g_lastHandlerCalls >= g_cycleLimit) {
      WriteCycleReport(feature1, feature2, X12, X21);
      return dist;
    }
    ++g_lastHandlerCalls;
    if (!ValidPair(feature1, feature2)) {
      // A pair the walk cannot handle (a stale or corrupted cache entry): start over
      // from the first vertices instead of giving up.
      std::cerr << '\a' << "\ninvalid feature pair combination in vclip" << std::endl;
      feature1 = FirstVertex(poly1);
      feature2 = FirstVertex(poly2);
      continue;
    }
    const int result =
        Dispatch(poly1, poly2, X12, X21, carried1, carried2, feature1, feature2, closest1, closest2, dist);
    if (result != 0 || singleStep) return dist;
  }
}

float VClip::Run(const PolyTree& tree1, const PolyTree& tree2, const Se3& relative, ClosestFeatureCache& cache,
                 VclipVector3& closest1, VclipVector3& closest2) {
  const Xf pose1 = ToTransform(tree1.pose());
  const Xf pose2 = ToTransform(tree2.pose());
  const Xf M12 = Xf::Product(Inverse(pose1), Xf::Product(ToTransform(relative), pose2));
  const float d = RunFrames(tree1, tree2, M12, cache, closest1, closest2);
  closest1 = pose1.Apply(closest1);
  closest2 = pose2.Apply(closest2);
  return d;
}
