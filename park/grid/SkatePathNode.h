// CSkatePathNode: a node of the park's walk-and-skate graph (a grid square or a piece's path
// node), with its place, owner, reservation and the ring of nodes that stand at the same spot.
#pragma once

#include <cstdint>
#include <vector>

#include "core/math/Vector3.h"
#include "park/grid/GraphNode.h"

class CSkatePathNode : public CGraphNode {
 public:
  static constexpr uint32_t kNone = 0xFFFFFFFFu;

  CSkatePathNode() = default;
  // Rings link nodes by address, so a node never moves or copies.
  CSkatePathNode(const CSkatePathNode&) = delete;
  CSkatePathNode& operator=(const CSkatePathNode&) = delete;
  // Leaves the ring (which stays closed), then tells a live reserving skater to let go.
  ~CSkatePathNode() override;

  const Vector3& GetPosition() const { return m_position; }
  void SetPosition(const Vector3& p) { m_position = p; }
  uint32_t GetNodeId() const { return m_nodeId; }
  void SetNodeId(uint32_t id) { m_nodeId = id; }
  // Object id of the piece the node belongs to; kNone for a grid square.
  uint32_t GetOwnerPieceId() const { return m_ownerPieceId; }
  void SetOwnerPieceId(uint32_t id) { m_ownerPieceId = id; }
  bool IsPieceNode() const { return m_ownerPieceId != kNone; }
  uint32_t GetReservingSkaterId() const { return m_reservingSkaterId; }
  void SetReservingSkaterId(uint32_t id) { m_reservingSkaterId = id; }
  bool IsReserved() const { return m_reservingSkaterId != kNone; }
  uint32_t GetSavedRingId() const { return m_savedRingId; }
  void SetSavedRingId(uint32_t id) { m_savedRingId = id; }

  // Piece nodes answer from their own record; a grid square has neither flag.
  // Set on a piece's entry points: such a node gives way to other piece nodes as a ring's goal.
  virtual bool HasRingPreference() const { return false; }
  // Steps onto a node with this flag cost extra (the piece keeps skaters off it unless needed).
  virtual bool IsDetour() const { return false; }

  // --- Rings of co-located nodes ---
  CSkatePathNode* GetRingNext() const { return m_ringNext; }
  // Merges the other node's ring into this one's; nothing when they already share a ring.
  void JoinRing(CSkatePathNode* other);
  // Takes this node out of its ring, which stays closed; the node is alone afterwards.
  void LeaveRing();
  // Links this node to a successor read from a saved game (null: alone). The links of a load may
  // form chains that never close; CloseRings must run over the loaded nodes afterwards.
  void SetLoadedRingNext(CSkatePathNode* next) { m_ringNext = next != nullptr ? next : this; }
  // Every node reached from the given ones that does not lie on a cycle of ring links becomes a
  // ring of one, so that walking any ring ends. Returns how many were cut loose. Linear in the
  // nodes reached.
  static int CloseRings(const std::vector<CSkatePathNode*>& nodes);
  int GetRingSize() const;
  bool IsInRingOf(const CSkatePathNode* other) const;
  // The ring's node that stands for it as a search goal: piece nodes before squares, nodes without
  // the ring preference before those with it, then the lower owner id.
  CSkatePathNode* GetRingRepresentative();
  // True when this node or any of its ring is a grid square.
  bool IsGridNode() const;

 private:
  Vector3 m_position;
  uint32_t m_ownerPieceId = kNone;
  CSkatePathNode* m_ringNext = this;
  uint32_t m_nodeId = kNone;
  uint32_t m_reservingSkaterId = kNone;
  uint32_t m_savedRingId = kNone;
};
