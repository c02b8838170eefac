// CXFormNode: dirty propagation, lazy world-matrix update, attachment and animation play.
#include "scene/mesh/XFormNode.h"

#include <algorithm>

#include "scene/animation/AnimationRecord.h"

CXFormNode::CXFormNode()
    : m_ownFlags(kClean), m_effectiveFlags(kClean), m_localFlags(kClean), m_parent(nullptr), m_worldScale(1.0f) {}

CXFormNode::~CXFormNode() {
  if (m_parent) m_parent->RemoveChild(this);
  for (CXFormNode* child : m_children) {
    child->m_parent = nullptr;
    child->MarkSubtreeDirty();
  }
}

uint16_t CXFormNode::Classify(const COrientation& transform) {
  uint16_t word = kClean;
  if (transform.IsMirrored()) return word | kClassBits;
  switch (transform.ClassifyScale(0.01f)) {
    case 1:
      return word | kNotIdentity | kScaled;
    case 2:
      return word | kNotIdentity | kScaled | kNonUniform;
    default:
      return transform.IsIdentity() ? word : (word | kNotIdentity);
  }
}

void CXFormNode::Dirty() {
  if (!(m_effectiveFlags & kClean)) return;
  m_effectiveFlags &= static_cast<uint16_t>(~kClean);
  for (CXFormNode* child : m_children) child->MarkSubtreeDirty();
}

void CXFormNode::MarkSubtreeDirty() { Dirty(); }

void CXFormNode::SetTransform(const COrientation* transform, bool update) {
  if (transform) StoreFrame(m_local, m_localFlags, m_localStale, *transform, update);
}

void CXFormNode::SetPivotTransform(const COrientation* transform, bool update) {
  if (transform) StoreFrame(m_pivot, m_ownFlags, m_ownStale, *transform, update);
}

void CXFormNode::StoreFrame(COrientation& frame, uint16_t& flags, bool& stale, const COrientation& transform,
                            bool update) {
  frame = transform;
  Dirty();
  if (update) {
    flags = Classify(frame);
    stale = false;
    UpdateWorldMatrix();
  } else {
    flags |= kClean;
    stale = true;
  }
}

void CXFormNode::ClassifyStaleFrames() {
  if (m_ownStale) m_ownFlags = Classify(m_pivot);
  if (m_localStale) m_localFlags = Classify(m_local);
  m_ownStale = m_localStale = false;
}

void CXFormNode::UpdateWorldMatrix() {
  if (m_effectiveFlags & kClean) return;
  m_prevWorld = m_world;
  const COrientation inParent = m_pivot.LocalToWorldOrientation(m_local);
  // Both frames of the node count: a node moved only by its local transform is no identity,
  // and its scale and mirror reach the world scale and the face-normal rules.
  ClassifyStaleFrames();
  const uint16_t own = m_ownFlags | m_localFlags;
  if (!m_parent) {
    m_effectiveFlags = own;
    m_world = inParent;
  } else {
    // The parent is brought up to date before its flags are taken, so a child never
    // inherits the classification of a parent transform that has since changed.
    m_parent->UpdateWorldMatrix();
    m_effectiveFlags = m_parent->m_effectiveFlags | own;
    m_world = m_parent->m_world.LocalToWorldOrientation(inParent);
  }
  m_worldScale = 1.0f;
  if (m_effectiveFlags & kScaled) {
    // The cheap length estimate is enough here and avoids three square roots per update.
    m_worldScale = std::max(m_world.axes[0].ApproxLength(),
                            std::max(m_world.axes[1].ApproxLength(), m_world.axes[2].ApproxLength()));
  }
  m_effectiveFlags |= kClean;
}

const COrientation& CXFormNode::GetWorldMatrix() {
  UpdateWorldMatrix();
  return m_world;
}

const COrientation& CXFormNode::GetPrevWorldMatrix() {
  UpdateWorldMatrix();
  return m_prevWorld;
}

float CXFormNode::GetWorldScale() {
  UpdateWorldMatrix();
  return m_worldScale;
}

bool CXFormNode::IsIdentity() {
  UpdateWorldMatrix();
  return !(m_effectiveFlags & kNotIdentity);
}

bool CXFormNode::AddChild(CXFormNode* child, const COrientation* pivot) {
  if (!child) return false;
  // Hanging a node under itself or its own descendant would make the parent walk endless.
  for (const CXFormNode* n = this; n; n = n->m_parent) {
    if (n == child) return false;
  }
  if (child->m_parent) child->m_parent->RemoveChild(child);
  child->m_parent = this;
  const COrientation identity;
  child->SetPivotTransform(pivot ? pivot : &identity, true);
  m_children.push_back(child);
  return true;
}

bool CXFormNode::RemoveChild(CXFormNode* child) {
  auto it = std::find(m_children.begin(), m_children.end(), child);
  if (it == m_children.end()) return false;
  m_children.erase(it);
  child->m_parent = nullptr;
  child->MarkSubtreeDirty();
  return true;
}

bool CXFormNode::HasControllerInTree() const {
  if (m_player.controller || m_player.sequence) return true;
  for (const CXFormNode* child : m_children) {
    if (child->HasControllerInTree()) return true;
  }
  return false;
}

void CXFormNode::UpdateAnimation() {
  COrientation sampled;
  if (m_player.Evaluate(sampled)) SetTransform(&sampled, false);
  for (CXFormNode* child : m_children) child->UpdateAnimation();
}

void CXFormNode::SyncAnimation(const CXFormNode* source) {
  if (!source) return;
  m_player.time = source->m_player.time;
  m_player.previousTime = source->m_player.previousTime;
  m_player.crossFadeClock = source->m_player.crossFadeClock;
  m_player.crossFadeRate = source->m_player.crossFadeRate;
  for (CXFormNode* child : m_children) child->SyncAnimation(source);
}

void CXFormNode::AdvanceTime(float elapsed) { m_player.Advance(elapsed); }

void CXFormNode::PlayAnimation(const AnimationRecord* sequence, float startTime, float blendTime, bool recurse,
                               const CXFormNode* excluded) {
  m_player.Start(sequence, startTime, blendTime);
  if (!recurse) return;
  for (CXFormNode* child : m_children) {
    if (child && child != excluded) child->PlayAnimation(sequence, startTime, blendTime, true, excluded);
  }
}
