// QhullConvexHull: the facets of a 3-D point set's convex hull, computed by qhull.
#pragma once

#include <vector>

// Facet f has counts[f] corners, listed in corners (point indices) in boundary
// order, and qhull's outward unit normal at normals[3f .. 3f+2].
struct QhullFacetList {
  std::vector<int> corners;
  std::vector<int> counts;
  std::vector<double> normals;
};

// 0 on success, otherwise qhull's exit code (degenerate or too few points, or an
// internal failure), with out left empty. points holds count x 3 coordinates and is
// not changed. Not re-entrant: qhull keeps its state in one process-wide record.
int QhullConvexHull(double* points, int count, QhullFacetList& out);
