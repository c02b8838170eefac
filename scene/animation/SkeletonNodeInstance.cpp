// CSkeletonNodeInstance: lazily computed skin matrices and their invalidation down the bone tree.
#include "scene/animation/SkeletonNodeInstance.h"

void CSkeletonNodeInstance::ClearComputed() {
  if (!m_computed) return;  // by the invariant, nothing below is computed either
  m_computed = 0;
  for (uint32_t i = 0; i < GetChildCount(); ++i) {
    if (auto* bone = dynamic_cast<CSkeletonNodeInstance*>(GetChild(i))) bone->ClearComputed();
  }
}

void CSkeletonNodeInstance::SetTransform(const COrientation* transform, bool update) {
  if (!transform) return;
  ClearComputed();
  CXFormNode::SetTransform(transform, update);
}

void CSkeletonNodeInstance::SetPivotTransform(const COrientation* transform, bool update) {
  if (!transform) return;
  ClearComputed();
  CXFormNode::SetPivotTransform(transform, update);
}

void CSkeletonNodeInstance::SetRoot(bool root) {
  if ((m_root != 0) == root) return;
  ClearComputed();
  m_root = root ? 1 : 0;
}

CSkeletonNodeInstance* CSkeletonNodeInstance::GetParentBone() const {
  return m_root ? nullptr : dynamic_cast<CSkeletonNodeInstance*>(m_parent);
}

const COrientation& CSkeletonNodeInstance::GetSkinMatrix() {
  if (m_computed) return m_skinMatrix;
  const COrientation local = m_pivot.LocalToWorldOrientation(m_local);
  CSkeletonNodeInstance* parent = GetParentBone();
  // The parent is brought up to date first, so the invariant holds when this one is marked.
  m_skinMatrix = parent ? parent->GetSkinMatrix().LocalToWorldOrientation(local) : local;
  m_computed = 1;
  return m_skinMatrix;
}
