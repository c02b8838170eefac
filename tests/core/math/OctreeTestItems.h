// Shared helpers of the octree tests: a plain bounded object, the usual root and result sets.
#pragma once

#include <set>

#include "core/math/BoundedObject.h"
#include "core/math/Octree.h"

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

}  // namespace octree_test
