// Shared helpers of the octree tests: a plain bounded object, the usual root and result sets.
#pragma once

#include <set>

#include "core/spatial/BoundedObject.h"
#include "core/spatial/Octree.h"

namespace octree_test {

using Set = std::set<CBoundedObject*>;

class Item : public CBoundedObject {
 public:
  Item(uint32_t flags, const Box& box, CMeshInstance* owner = nullptr) {
    SetBoundFlags(flags);
    SetBounds(box);
    m_ownerInstance = owner;
  }
};

inline const Box kRoot(Vector3(0, 0, 0), Vector3(100, 100, 100));

inline Set Results(const COctree& tree) { return Set(tree.GetResults().begin(), tree.GetResults().end()); }

inline bool Touch(const Box& a, const Box& b) {
  return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y && a.min.z <= b.max.z &&
         b.min.z <= a.max.z;
}

}  // namespace octree_test
