// LightingRefresh: after scenery changes, marks stale the vertex lighting that shadow-casting lights see around it.
#pragma once

#include <vector>

#include "core/math/Box.h"
#include "core/math/ViewFrustum.h"

class COctree;
class LightList;

class LightingRefresh {
 public:
  // A frustum per light that overlaps the box and casts shadows (light flags 0x1 and 0x4),
  // each looking at the box's bounding sphere.
  static void CollectLightFrustums(LightList& lights, const Box& box, std::vector<ViewFrustum>& out);
  // Relights everything those frustums see, except instances drawn through partial-draw lists.
  static void InvalidateBox(LightList& lights, COctree& octree, const Box& box);
  // The same with the world's light list and octree; nothing without a world.
  static void InvalidateBox(const Box& box);
};
