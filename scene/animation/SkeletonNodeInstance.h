// CSkeletonNodeInstance: one bone of a skinned instance, a scene node that caches its skin matrix.
#pragma once

#include <cstdint>

#include "scene/mesh/XFormNode.h"

// The skin matrix is the bone's transform in the instance's space (the instance's own world
// matrix is left out, so blended vertices stay in local space like rigid ones). It is
// computed on first read after a change and kept until a transform above it changes.
// Invariant: a node whose matrix is computed has a computed skeleton parent, so clearing
// can stop at the first node already clear.
class CSkeletonNodeInstance : public CXFormNode {
 public:
  CSkeletonNodeInstance() = default;

  // Clears the cached matrix here and in every skeleton descendant, then stores as the base does.
  void SetTransform(const COrientation* transform, bool update) override;
  // The pivot is the bone's bind transform; it enters the skin matrix just as the local
  // transform does, so a new pivot (also from AddChild) clears the caches the same way.
  void SetPivotTransform(const COrientation* transform, bool update) override;

  // The cached skin matrix, computed first when needed: pivot composed with local, then
  // composed under the parent bone's skin matrix unless this is a root bone.
  const COrientation& GetSkinMatrix();

  bool IsComputed() const { return m_computed != 0; }
  bool IsRoot() const { return m_root != 0; }
  void SetRoot(bool root);
  // The skeleton node this one hangs under; null for a root bone or another kind of parent.
  CSkeletonNodeInstance* GetParentBone() const;

 private:
  void ClearComputed();

  COrientation m_skinMatrix;
  uint8_t m_computed = 0;
  uint8_t m_root = 0;
};
