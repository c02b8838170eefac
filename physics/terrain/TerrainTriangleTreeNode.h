// TriTreeNode: one box of a terrain triangle tree - two child nodes, or the triangles of a leaf.
#pragma once

#include <cstdint>
#include <vector>

#include "core/math/Box.h"

struct TriTreeNode {
  enum Kind : uint8_t { kChild = 0, kTriangle = 1 };

  struct Entry {
    uint16_t index;  // a node index (kChild) or a triangle index (kTriangle)
    uint8_t kind;
    uint8_t unused;
  };

  Box box;  // union of the boxes of every triangle below
  std::vector<Entry> entries;
};
