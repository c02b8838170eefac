// CXFormNode: scene-graph transform node with a lazily cached world matrix that follows its parents.
#pragma once

#include <cstdint>
#include <vector>

#include "core/math/Orientation.h"
#include "scene/animation/SequencePlayer.h"

struct AnimationRecord;

class CXFormNode {
 public:
  // Bits of the flag words. The own word classifies the pivot, the local word the local
  // transform; the effective word ORs both with the parent's effective word, so it describes
  // the whole world transform.
  enum : uint16_t {
    kClean = 0x01,        // own and local words: always set; effective word: world matrix up to date
    kNotIdentity = 0x02,
    kScaled = 0x04,       // the world scale must be computed
    kNonUniform = 0x08,
    kMirrored = 0x10,
    kClassBits = 0x1E,
  };

  CXFormNode();
  // Detaches from the parent and leaves the children as roots, so that no node is left
  // pointing at a destroyed one.
  virtual ~CXFormNode();
  CXFormNode(const CXFormNode&) = delete;
  CXFormNode& operator=(const CXFormNode&) = delete;

  // Local (inner) transform. With update set the world matrix is recomputed at once.
  virtual void SetTransform(const COrientation* transform, bool update);
  // Pivot (outer) transform inside the parent; its classification drives the flags.
  virtual void SetPivotTransform(const COrientation* transform, bool update);
  // Samples the sequence player into the local transform, then does the same for every child.
  virtual void UpdateAnimation();
  // Copies the source's clocks (not its sequences) here and into every descendant.
  virtual void SyncAnimation(const CXFormNode* source);
  // Advances this node's play clocks only.
  virtual void AdvanceTime(float elapsed);
  virtual void PlayAnimation(const AnimationRecord* sequence, float startTime, float blendTime, bool recurse,
                             const CXFormNode* excluded);

  void UpdateWorldMatrix();
  const COrientation& GetWorldMatrix();
  const COrientation& GetPrevWorldMatrix();
  float GetWorldScale();
  // True only when the world transform (local, pivot and every ancestor) is the identity.
  bool IsIdentity();

  // Attaches child under this node at the given pivot. A child still attached elsewhere is
  // detached first; a child that is this node or one of its ancestors is refused (false).
  bool AddChild(CXFormNode* child, const COrientation* pivot);
  // Detaches a direct child; false when it is not one.
  bool RemoveChild(CXFormNode* child);
  void MarkSubtreeDirty();
  bool HasControllerInTree() const;

  CXFormNode* GetParent() const { return m_parent; }
  uint32_t GetChildCount() const { return static_cast<uint32_t>(m_children.size()); }
  CXFormNode* GetChild(uint32_t i) const { return i < m_children.size() ? m_children[i] : nullptr; }
  const COrientation& GetPivotTransform() const { return m_pivot; }
  const COrientation& GetLocalTransform() const { return m_local; }
  // Raw words: they do not bring the node up to date. A frame stored without update is
  // classified by the next world-matrix update, so its word is current only after that.
  uint16_t GetOwnFlags() const { return m_ownFlags; }
  uint16_t GetEffectiveFlags() const { return m_effectiveFlags; }
  uint16_t GetLocalFlags() const { return m_localFlags; }
  bool IsClean() const { return (m_effectiveFlags & kClean) != 0; }

  SequencePlayer& GetSequencePlayer() { return m_player; }
  const SequencePlayer& GetSequencePlayer() const { return m_player; }

  // Flags word for a transform: 1, plus the identity, scale and mirror bits.
  static uint16_t Classify(const COrientation& transform);

 protected:
  // Clears the clean bit here and below (the walk stops at nodes already dirty).
  void Dirty();
  // Takes a new local or pivot frame into `frame`, with `flags` its flags word: classified and the
  // world matrix brought up to date at once with `update`, else marked `stale` so that the next
  // update classifies it (animation writes every frame and rarely reads the world matrix).
  void StoreFrame(COrientation& frame, uint16_t& flags, bool& stale, const COrientation& transform, bool update);
  // Classifies the frames stored without update since the last world-matrix update.
  void ClassifyStaleFrames();

  uint16_t m_ownFlags;
  uint16_t m_effectiveFlags;
  uint16_t m_localFlags;
  bool m_ownStale = false;
  bool m_localStale = false;
  COrientation m_pivot;
  COrientation m_local;
  CXFormNode* m_parent;
  std::vector<CXFormNode*> m_children;
  COrientation m_world;
  float m_worldScale;
  COrientation m_prevWorld;
  SequencePlayer m_player;
};
