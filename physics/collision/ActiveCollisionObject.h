// CActiveCollisionObject: a collision object that moves by sweeping a query through the world and reacting to contacts.
#pragma once

#include <cstdint>
#include <vector>

#include "physics/collision/CollisionObject.h"
#include "physics/collision/SweepQuery.h"

class COctree;

class CActiveCollisionObject : public CCollisionObject {
 public:
  // How many contacts one top-level move may meet before it gives up (depths 4 to 0).
  static constexpr int kTopDepth = 4;

  CActiveCollisionObject();
  ~CActiveCollisionObject() override;

  // The query for a sweep over dt; Move lets go of it (freeing one made for the sweep) before
  // it asks for the next.
  virtual SweepQuery CreateSweepQuery(float dt) = 0;
  // Commits the query's whole sweep (position, world box, octree).
  virtual void ApplySweep(COctree* octree, GenericIntersection* query) = 0;
  // Runs when a move ends on its last allowed contact without accumulating time.
  virtual void OnMoveComplete() {}

  // One step of dt: sweeps, hands contacts to both parties, responds to the nearest blocking
  // contact and moves on with the time left. True when the whole sweep was committed.
  // Callers use Move(octree, dt, false, kTopDepth, nullptr).
  bool Move(COctree* octree, float dt, bool accumulate, int depth, CCollisionObject* pushTarget);
  // Tests the candidates, delivers contacts (each object at most once per move stamp) and
  // keeps the nearest blocking one in the hit record. True for a blocking contact.
  bool TestCandidates(GenericIntersection* query, const std::vector<CBoundedObject*>& candidates, uint32_t stamp);

  const IntersectionResult& GetHitRecord() const { return m_hit; }
  const Vector3& GetHitNormal() const { return m_hitNormal; }
  CCollisionObject* GetLastHit() const { return m_lastHit; }
  float GetMovedTime() const { return m_movedTime; }
  GenericIntersection* GetCurrentQuery() const { return m_currentQuery; }
  // One entry per blocking contact of the current top-level move, and its hit normal.
  const std::vector<CCollisionObject*>& GetHitObjects() const { return m_hitObjects; }
  const std::vector<Vector3>& GetContactNormals() const { return m_contactNormals; }

  // The candidate cache is shared by all movers; every collision object that goes away drops it.
  static void InvalidateCandidateCache();

 protected:
  // The record and normal of the nearest blocking contact.
  IntersectionResult m_hit;
  Vector3 m_hitNormal;
  // The normal of the contact being handed to this object's HandleCollision right now (the
  // record passed along carries none); faces this object.
  Vector3 m_contactNormal;

 private:
  void GatherCandidates(COctree* octree, const Box& bounds);
  void ReleaseQuery(SweepQuery& query);

  float m_movedTime = 0.0f;
  CCollisionObject* m_lastHit = nullptr;
  GenericIntersection* m_currentQuery = nullptr;
  std::vector<CCollisionObject*> m_hitObjects;
  std::vector<Vector3> m_contactNormals;
};
