// SphereTreeNode: ownership of child arrays and fitting a node around its children.
#include "physics/collision/SphereTreeNode.h"

#include <new>

#include "core/math/Box.h"

SphereTreeNode::SphereTreeNode(SphereTreeNode&& other) noexcept
    : centre(other.centre),
      radius(other.radius),
      childCount(other.childCount),
      children(std::move(other.children)),
      stamp(other.stamp) {
  other.childCount = 0;
}

SphereTreeNode& SphereTreeNode::operator=(SphereTreeNode&& other) noexcept {
  if (this == &other) return *this;
  std::unique_ptr<SphereTreeNode[]> oldChildren = std::move(children);
  centre = other.centre;
  radius = other.radius;
  childCount = other.childCount;
  children = std::move(other.children);
  stamp = other.stamp;
  other.childCount = 0;
  // Freed last (as oldChildren goes): other may have been a node inside the old subtree.
  return *this;
}

bool SphereTreeNode::AllocateChildren(uint32_t n) {
  FreeChildren();
  if (n == 0) return true;
  children.reset(new (std::nothrow) SphereTreeNode[n]);
  if (children == nullptr) return false;
  childCount = n;
  return true;
}

void SphereTreeNode::FreeChildren() {
  // The node is a leaf before the subtree goes, so nothing reads a count without an array.
  std::unique_ptr<SphereTreeNode[]> array = std::move(children);
  childCount = 0;
}

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
