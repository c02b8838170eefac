#include "park/grid/SkatePathNode.h"

#include "core/world/GameObject.h"
#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "park/grid/NodeReserver.h"

#include <unordered_map>

CSkatePathNode::~CSkatePathNode() {
  LeaveRing();
  if (m_reservingSkaterId == kNone) return;
  CGameWorld* world = GetGameWorld();
  CGameObject* holder = world != nullptr ? world->GetObjectByID(m_reservingSkaterId) : nullptr;
  if (auto* reserver = dynamic_cast<CNodeReserver*>(holder)) reserver->ReleaseReservedNode(m_nodeId);
}

void CSkatePathNode::JoinRing(CSkatePathNode* other) {
  // Swapping the successors of two nodes merges two rings, but would split one ring in two.
  if (other == nullptr || IsInRingOf(other)) return;
  CSkatePathNode* next = m_ringNext;
  m_ringNext = other->m_ringNext;
  other->m_ringNext = next;
}

void CSkatePathNode::LeaveRing() {
  CSkatePathNode* before = this;
  while (before->m_ringNext != this) before = before->m_ringNext;
  before->m_ringNext = m_ringNext;
  m_ringNext = this;
}

int CSkatePathNode::CloseRings(const std::vector<CSkatePathNode*>& nodes) {
  // Each node has one successor, so every walk ends in a cycle; the nodes on the way in are the
  // ones to cut. States: absent unvisited, 1 on the current walk, 2 done.
  std::unordered_map<const CSkatePathNode*, uint8_t> state;
  std::vector<CSkatePathNode*> walk;
  int cut = 0;
  for (CSkatePathNode* start : nodes) {
    // A node alone is a closed ring already; a walk that comes to it ends there all the same, so it
    // need not be marked (most squares of a park stand alone).
    if (start == nullptr || start->m_ringNext == start || state.count(start) != 0) continue;
    walk.clear();
    CSkatePathNode* n = start;
    while (state.count(n) == 0) {
      state[n] = 1;
      walk.push_back(n);
      n = n->m_ringNext;
    }
    // n closes a new cycle when it is on this walk; every node before it is a tail.
    size_t cycleStart = walk.size();
    if (state[n] == 1)
      for (size_t i = 0; i < walk.size(); ++i)
        if (walk[i] == n) cycleStart = i;
    for (size_t i = 0; i < walk.size(); ++i) {
      state[walk[i]] = 2;
      if (i < cycleStart && walk[i]->m_ringNext != walk[i]) {
        walk[i]->m_ringNext = walk[i];
        ++cut;
      }
    }
  }
  return cut;
}

int CSkatePathNode::GetRingSize() const {
  int size = 1;
  for (const CSkatePathNode* n = m_ringNext; n != this; n = n->m_ringNext) ++size;
  return size;
}

bool CSkatePathNode::IsInRingOf(const CSkatePathNode* other) const {
  if (other == nullptr) return false;
  const CSkatePathNode* n = this;
  do {
    if (n == other) return true;
    n = n->m_ringNext;
  } while (n != this);
  return false;
}

namespace {
bool StandsBefore(const CSkatePathNode* a, const CSkatePathNode* b) {
  if (a->IsPieceNode() != b->IsPieceNode()) return a->IsPieceNode();
  if (!a->IsPieceNode()) return false;
  if (a->HasRingPreference() != b->HasRingPreference()) return !a->HasRingPreference();
  return a->GetOwnerPieceId() < b->GetOwnerPieceId();
}
}  // namespace

CSkatePathNode* CSkatePathNode::GetRingRepresentative() {
  CSkatePathNode* best = this;
  for (CSkatePathNode* n = m_ringNext; n != this; n = n->m_ringNext)
    if (StandsBefore(n, best)) best = n;
  return best;
}

bool CSkatePathNode::IsGridNode() const {
  const CSkatePathNode* n = this;
  do {
    if (!n->IsPieceNode()) return true;
    n = n->m_ringNext;
  } while (n != this);
  return false;
}
