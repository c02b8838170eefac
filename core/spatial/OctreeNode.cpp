#include "core/spatial/OctreeNode.h"

void COctreeNode::SetBox(const Box& box) {
  bounds = box;
  centre = box.min + (box.max - box.min) * 0.5f;
}

bool COctreeNode::HasChildren() const {
  for (const COctreeNode* child : children)
    if (child != nullptr) return true;
  return false;
}

Box COctreeNode::ChildBox(uint32_t index) const {
  const Vector3 half = (bounds.max - bounds.min) * 0.5f;
  const Vector3 lo(bounds.min.x + ((index & 4) ? half.x : 0.0f), bounds.min.y + ((index & 2) ? half.y : 0.0f),
                   bounds.min.z + ((index & 1) ? half.z : 0.0f));
  return Box(lo, lo + half);
}

uint8_t COctreeNode::ChildMask(const Box& box) const {
  static constexpr uint8_t kUpper[3] = {0xF0, 0xCC, 0xAA};
  static constexpr uint8_t kLower[3] = {0x0F, 0x33, 0x55};
  uint8_t mask = 0xFF;
  for (int axis = 0; axis < 3; ++axis) {
    if (box.min[axis] >= centre[axis])
      mask &= kUpper[axis];
    else if (box.max[axis] < centre[axis])
      mask &= kLower[axis];
  }
  return mask;
}

uint32_t COctreeNode::ChildIndexOf(const Vector3& p) const {
  return (p.x >= centre.x ? 4u : 0u) | (p.y >= centre.y ? 2u : 0u) | (p.z >= centre.z ? 1u : 0u);
}

uint32_t COctreeNode::GetCellCode() const {
  if (parent == nullptr) return 0;
  uint32_t index = 0;
  while (index < 8 && parent->children[index] != this) ++index;
  return parent->GetCellCode() * 8 + index + 1;
}

void COctreeNode::SetVisibility(std::unique_ptr<OctreeVisibilityRecord> record) {
  visibility = std::move(record);
  if (visibility != nullptr)
    flags |= kHasVisibility;
  else
    flags &= ~kHasVisibility;
}
