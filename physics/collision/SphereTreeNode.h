// SphereTreeNode: one bounding sphere of a sphere tree, owning its array of child nodes.
#pragma once

#include <cstdint>
#include <memory>

#include "core/math/Vector3.h"

struct SphereTreeNode {
  Vector3 centre;
  float radius = 0.0f;
  uint32_t childCount = 0;
  std::unique_ptr<SphereTreeNode[]> children;  // childCount nodes side by side
  uint32_t stamp = 0;                  // pose stamp of the cached world centre; 0 = never transformed

  SphereTreeNode() = default;
  // A node owns its subtree, so copies go through SphereTree::Build; moves hand the subtree over.
  SphereTreeNode(const SphereTreeNode&) = delete;
  SphereTreeNode& operator=(const SphereTreeNode&) = delete;
  SphereTreeNode(SphereTreeNode&& other) noexcept;
  SphereTreeNode& operator=(SphereTreeNode&& other) noexcept;
  ~SphereTreeNode() = default;

  // Replaces any children by n zeroed nodes. On allocation failure the node
  // is left a leaf (count 0) so no walk reads a count without an array.
  bool AllocateChildren(uint32_t n);
  // Frees every child's subtree, then the array; the node becomes a leaf.
  void FreeChildren();
  // Frees the children and sets every field to zero.
  void Clear();
  // Centre and radius become those of the sphere around the box that holds
  // every child's cube (centre +- radius); grandchildren are not looked at.
  // A node without children is left as it is.
  void FitToChildren();
};
