// CStaticObstacle: a placed structure's collision hull - its own world-space sphere tree, optionally with the structure's mesh.
#pragma once

#include <memory>

#include "physics/collision/StaticCollisionPrimative.h"

class COrientation;
struct SphereTreeNode;

class CStaticObstacle : public CStaticCollisionPrimative {
 public:
  CStaticObstacle() = default;
  // The sphere tree goes with the obstacle; the instance stays with the structure that lent it.
  ~CStaticObstacle() override;

  // Builds the obstacle's own tree as the source moved by `world`, takes the tree's bounds
  // (grown to hold the instance's world box when an instance is given) and binds the
  // instance and owner. A second call replaces the first tree. False (logged, nothing
  // changed) without a source tree.
  bool Setup(const SphereTreeNode* source, const COrientation& world, CMeshInstance* instance, CCollisionObject* owner);

  // Segment queries asking for mesh triangles (mode 0x20) test the instance's triangles;
  // every other query walks the sphere tree, whose centres are already in world space.
  bool Intersect(GenericIntersection* query) override;
  // The instance, and with the collision overlay on the sphere tree.
  void Render(CSceneDrawInterface* view) override;
  static constexpr uint32_t kTreeColour = 0xFF808080u;
  static constexpr uint32_t kLeafColour = 0xFF00C8C8u;

  const SphereTreeNode* GetTree() const { return m_tree.get(); }

 private:
  std::unique_ptr<SphereTreeNode> m_tree;
};
