// SphereTreeNode: ownership of child arrays and fitting a node around its children.
#include "physics/collision/SphereTreeNode.h"

#include <new>

#include "core/math/Box.h"

SphereTreeNode::SphereTreeNode(SphereTreeNode&& other) noexcept
    : centre(other.centre),
      radius(other.radius),
      childCount(other.childCount),
      children(other.children),
      stamp(other.stamp) {
  other.childCount = 0;
  other.children = nullptr;
}

SphereTreeNode& SphereTreeNode::operator=(SphereTreeNode&& other) noexcept {
  if (this == &other) return *this;
  SphereTreeNode* oldChildren = children;
  centre = other.centre;
  radius = other.radius;
  childCount = other.childCount;
  children = other.children;
  stamp = other.stamp;
  other.childCount = 0;
  other.children = nullptr;
  // Freed last: other may have been a node inside the old subtree.
  FreeChildrenArray(oldChildren);
  return *this;
}

bool SphereTreeNode::AllocateChildren(uint32_t n) {
  FreeChildren();
  if (n == 0) return true;
  children = new (std::nothrow) SphereTreeNode[n];
  if (children == nullptr) return false;
  childCount = n;
  return true;
}

void SphereTreeNode::FreeChildren() {
  SphereTreeNode* array = children;
  children = nullptr;
  childCount = 0;
  FreeChildrenArray(array);
}

void SphereTreeNode::FreeChildrenArray(SphereTreeNode* array) { delete[] array; }

void SphereTreeNode::Clear() {
  FreeChildren();
  centre = Vector3();
  radius = 0.0f;
  stamp = 0;
}

void SphereTreeNode::FitToChildren() {
  if (childCount == 0 || children == nullptr) return;
  Box box;
  box.SetFromCenterRadius(children[0].centre, children[0].radius);
  for (uint32_t i = 1; i < childCount; ++i) {
    Box cube;
    cube.SetFromCenterRadius(children[i].centre, children[i].radius);
    box.ExtendByBox(cube);
  }
  centre = box.GetCenter();
  radius = 0.5f * box.GetSize().Length();
}
