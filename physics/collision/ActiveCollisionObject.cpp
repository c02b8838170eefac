// CActiveCollisionObject: swept movement through the world's candidates, contact delivery and the retry on contact.
#include "physics/collision/ActiveCollisionObject.h"

#include <cmath>

#include "core/data/DebugPrintf.h"
#include "core/spatial/Octree.h"
#include "physics/collision/CollisionFlags.h"

namespace {

// Shared by every mover: movers run on the main thread one at a time, and the candidate list of
// a top-level move is reused by its retries and sub-steps.
struct CandidateCache {
  std::vector<CBoundedObject*> list;
  Box box{};
  bool valid = false;
  const CActiveCollisionObject* owner = nullptr;
  uint32_t moveStamp = 0;
};

CandidateCache& Cache() {
  static CandidateCache cache;
  return cache;
}

struct ContactEntry {
  CCollisionObject* object;
  IntersectionResult record;
  Vector3 normal;
};

std::vector<ContactEntry>& Entries() {
  static std::vector<ContactEntry> entries;
  return entries;
}

// A sweep shorter than this is not worth another sub-step.
constexpr float kMinSubStep = 0.005f;
// How far short of a contact a sub-stepping mover stops.
constexpr float kStandOff = 0.05f;
// Sub-steps toward one contact: each stops short of the last contact, so a mover that has not
// got clear after this many is pressed into something it cannot creep up to.
constexpr int kMaxCreeps = 16;

}  // namespace

CActiveCollisionObject::CActiveCollisionObject()
    : m_hitNormal(1.0f, 0.0f, 0.0f), m_contactNormal(1.0f, 0.0f, 0.0f) {
  m_hit.point = Vector3(50.0f, 50.0f, 50.0f);
  m_hit.Reset();
}

CActiveCollisionObject::~CActiveCollisionObject() = default;

void CActiveCollisionObject::InvalidateCandidateCache() {
  CandidateCache& cache = Cache();
  cache.valid = false;
  cache.owner = nullptr;
  cache.list.clear();
}

void CActiveCollisionObject::ReleaseQuery(SweepQuery& query) {
  if (m_currentQuery == query.Get()) m_currentQuery = nullptr;
  query = SweepQuery();
}

void CActiveCollisionObject::GatherCandidates(COctree* octree, const Box& bounds) {
  CandidateCache& cache = Cache();
  if (cache.valid && cache.owner == this && cache.box.ContainsBox(bounds)) return;
  cache.list.clear();
  cache.valid = true;
  cache.owner = this;
  cache.box = bounds;
  cache.box.Inflate(Vector3(0.2f, 0.2f, 0.2f));
  if (octree == nullptr) return;
  // The mover must not find itself.
  const bool wasCandidate = HasAllFlags(CollisionFlags::kCandidate);
  ClearBoundFlags(CollisionFlags::kCandidate);
  octree->QueryBox(cache.box, &cache.list, CollisionFlags::kCandidate);
  if (wasCandidate) AddBoundFlags(CollisionFlags::kCandidate);
}

bool CActiveCollisionObject::TestCandidates(GenericIntersection* query, const std::vector<CBoundedObject*>& candidates,
                                            uint32_t stamp) {
  if (query == nullptr) return false;
  CCollisionObject* nearest = nullptr;
  IntersectionResult best = m_hit;
  best.Reset();
  Vector3 bestNormal = m_hitNormal;
  std::vector<ContactEntry>& entries = Entries();
  entries.clear();
  const bool blocks = HasAllFlags(CollisionFlags::kBlocks);
  // By index: an object that goes away during a handler empties the shared list.
  for (size_t i = 0; i < candidates.size(); ++i) {
    CBoundedObject* candidate = candidates[i];
    if (candidate == nullptr || !candidate->IsCollisionObject()) continue;
    CCollisionObject* other = static_cast<CCollisionObject*>(candidate);
    if (other == this) continue;
    query->result.Reset();
    if (!other->Intersect(query)) continue;
    if (HasAllFlags(CollisionFlags::kAsksCanCollide) && other->HasAllFlags(CollisionFlags::kAsksCanCollide) &&
        (!CanCollideWith(other) || !other->CanCollideWith(this))) {
      other->SetCollisionStamp(stamp);
      continue;
    }
    if (blocks) {
      if (!(query->result.time < best.time)) continue;
      if (other->GetCollisionInfo(this) != nullptr) {
        best = query->result;
        bestNormal = query->normal;
        nearest = other;
      }
    }
    entries.push_back({other, query->result, query->normal});
  }
  // Copied: a handler may start a query of its own, which refills the shared entry list.
  const std::vector<ContactEntry> delivered = entries;
  for (const ContactEntry& entry : delivered) {
    CCollisionObject* other = entry.object;
    if (entry.record.time > best.time || other->GetCollisionStamp() == stamp) continue;
    if (other->HasAllFlags(CollisionFlags::kOffersExtraInfos)) {
      for (const CollisionInfo* info : other->ExtraInfos()) {
        m_contactNormal = entry.normal;
        HandleCollision(info, &entry.record);
      }
    }
    for (const CollisionInfo* info : ExtraInfos()) other->HandleCollision(info, &entry.record);
    if (other->HasAllFlags(CollisionFlags::kHearsMovers)) {
      if (const CollisionInfo* mine = GetCollisionInfo(other)) other->HandleCollision(mine, &entry.record);
    }
    other->SetCollisionStamp(stamp);
  }
  if (nearest == nullptr) return false;
  m_hit = best;
  m_hitNormal = bestNormal;
  m_lastHit = nearest;
  return blocks;
}

bool CActiveCollisionObject::Move(COctree* octree, float dt, bool accumulate, int depth, CCollisionObject* pushTarget) {
  if (!(dt >= 0.0f) || !std::isfinite(dt)) {
    DebugPrintf("CActiveCollisionObject: refused a move over %f seconds\n", double(dt));
    return false;
  }
  m_movedTime = accumulate ? m_movedTime + dt : 0.0f;
  CandidateCache& cache = Cache();
  if (depth >= kTopDepth) {
    depth = kTopDepth;
    m_lastHit = nullptr;
    ++cache.moveStamp;
    cache.valid = false;
    cache.owner = this;
    m_hitObjects.clear();
    m_contactNormals.clear();
  }
  const uint32_t stamp = cache.moveStamp;
  SweepQuery query = CreateSweepQuery(dt);
  if (!query) return false;
  m_currentQuery = query.Get();
  Vector3 sweep;
  query->GetSweep(sweep);
  const float speed = sweep.Length();
  Box bounds;
  query->GetBounds(bounds);
  GatherCandidates(octree, bounds);

  if (!TestCandidates(query.Get(), cache.list, stamp)) {
    ApplySweep(octree, query.Get());
    ReleaseQuery(query);
    return true;
  }

  if (m_lastHit == pushTarget && !accumulate) {
    ReleaseQuery(query);
    if (CActiveCollisionObject* pushed = dynamic_cast<CActiveCollisionObject*>(m_lastHit)) {
      pushed->Move(octree, dt, true, 1, nullptr);
    }
    return Move(octree, dt, false, depth, nullptr);
  }

  float used = m_hit.time * dt;
  if (HasAllFlags(CollisionFlags::kSubStep) && speed > 0.0f) {
    // Creep up to the contact, stopping a little short of it.
    const float step = (kStandOff / speed) * dt;
    used -= step;
    int creeps = 0;
    while (used > 0.0f) {
      ReleaseQuery(query);
      query = CreateSweepQuery(used);
      if (!query) {
        used = 0.0f;
        break;
      }
      m_currentQuery = query.Get();
      query->GetSweep(sweep);
      if (sweep.Length() < kMinSubStep) {
        used = 0.0f;
        break;
      }
      if (!TestCandidates(query.Get(), cache.list, stamp)) {
        ApplySweep(octree, query.Get());
        break;
      }
      // The time left must shrink: a stand-off too small to register against it (a sweep so long
      // that its length overflows, or a step below the time's precision) would creep for ever.
      const float next = m_hit.time * used - step;
      if (!(next < used) || ++creeps >= kMaxCreeps) {
        used = 0.0f;
        break;
      }
      used = next;
    }
    if (!(used > 0.0f)) used = 0.0f;
  }

  ReleaseQuery(query);
  m_currentQuery = nullptr;
  m_hitObjects.push_back(m_lastHit);
  m_contactNormals.push_back(m_hitNormal);

  if (const CollisionInfo* info = m_lastHit->GetCollisionInfo(this)) {
    m_contactNormal = m_hitNormal;
    HandleCollision(info, &m_hit);
  }

  if (depth > 0) {
    if (HasAllFlags(CollisionFlags::kPushable) && m_lastHit->HasAllFlags(CollisionFlags::kPushable)) {
      pushTarget = m_lastHit;
    }
    return Move(octree, dt - used, accumulate, depth - 1, pushTarget);
  }
  if (accumulate) {
    m_movedTime -= dt - used;
  } else {
    OnMoveComplete();
  }
  return false;
}
