// SphereTreeRef: a sphere tree as one query walks it, and the walk itself (IntersectSphereTree).
#pragma once

#include <cstdint>

class COrientation;
class GenericIntersection;
struct SphereTreeNode;

// A model tree (centres in the body's frame), the body's pose and its stamp, and a working
// tree of the same shape whose nodes cache the world centres per stamp. A null orientation
// takes the model centres as they are.
struct SphereTreeRef {
  const SphereTreeNode* model = nullptr;
  const COrientation* orientation = nullptr;
  uint32_t stamp = 0;
  SphereTreeNode* working = nullptr;
};

// Breadth-first walk of a sphere tree, the same for every query kind: inner nodes are tested
// for overlap only, the nearest leaf hit is left in the query's record (time FLT_MAX when no
// leaf was hit). Not re-entrant: the pending-node queue is shared.
bool IntersectSphereTree(GenericIntersection& query, const SphereTreeRef& tree);
