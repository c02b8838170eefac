// VClip: closest-feature tracking between convex polyhedra by walking Voronoi regions.
#pragma once

#include "physics/polyhedron/PolyTree.h"
#include "physics/polyhedron/Polyhedron.h"
#include "physics/polyhedron/VclipFeatureCache.h"
#include "physics/polymath/Se3.h"
#include "physics/polymath/VclipMatrixTransform.h"
#include "physics/polymath/VclipVector3.h"

// Main thread only: the walk keeps its scratch arrays and the names for the cycle
// report in statics, and runs nest only through Run's own descent.
class VClip {
 public:
  // Distance between two trees: positive when apart, zero or negative when they
  // touch or interpenetrate. relative carries coordinates of the frame tree 2 hangs
  // in (its own pose applied first) into the frame tree 1 hangs in; the closest
  // points come back in those two frames. The pair reached stays in the cache.
  static float Run(const PolyTree& tree1, const PolyTree& tree2, const Se3& relative, ClosestFeatureCache& cache,
                   VclipVector3& closest1, VclipVector3& closest2);

  // Walks from the features in the slots (null means "start at the first vertex")
  // until a closest pair or contact is found, or after one handler call with
  // singleStep. X12 maps polyhedron 2's frame into 1's, X21 the reverse.
  static float Step(const Polyhedron& poly1, const Polyhedron& poly2, const VclipMatrixTransform& X12,
                    const VclipMatrixTransform& X21, const Feature*& feature1, const Feature*& feature2,
                    VclipVector3& closest1, VclipVector3& closest2, bool singleStep);

  // Handler calls made by the last Step, and the call count at which a walk is
  // declared a cycle (5000 unless a test lowers it).
  static int LastHandlerCalls();
  static void SetCycleLimit(int calls);
  static int CycleLimit();
};
