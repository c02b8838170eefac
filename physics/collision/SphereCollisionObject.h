// CSphereCollisionObject: a moving sphere with velocity, restitution and friction (skaters, projectiles, pick-ups).
#pragma once

#include "core/math/Orientation.h"
#include "physics/collision/ActiveCollisionObject.h"

class ShadedMesh;

class CSphereCollisionObject : public CActiveCollisionObject {
 public:
  CSphereCollisionObject();

  // Orientation as 12 floats: the three axis rows, then the position (the centre).
  // With a mesh, an owned instance is bound to it and the local bounds take its size.
  // A non-positive or non-finite radius is refused (logged) and leaves the object unset.
  bool Setup(const float orientation[12], const Vector3& velocity, float radius, ShadedMesh* mesh, float restitution,
             float friction);
  bool IsSetUp() const { return m_radius > 0.0f; }

  // Replaces the mesh instance (null = none); dynamicLighting is the new instance's flag.
  void SetMesh(ShadedMesh* mesh, COctree* octree, bool dynamicLighting);
  void SetRadius(float radius, COctree* octree);
  void SetOrientation(const float orientation[12], COctree* octree);
  void StoreOrientation(const float orientation[12]);
  // World box = centre + local bounds; refiled when filed and an octree is given.
  void UpdateWorldBox(COctree* octree);

  bool Intersect(GenericIntersection* query) override;
  void Render(CSceneDrawInterface* view) override;
  // With a handler set the handler answers; otherwise static (kind 1) and body (kind 2)
  // contacts get the response and answer true, other kinds false.
  bool HandleCollision(const CollisionInfo* info, const IntersectionResult* hit) override;
  // A new swept sphere from the centre to centre + dt x velocity.
  // Empty (logged) for a sphere that is not set up.
  SweepQuery CreateSweepQuery(float dt) override;
  void ApplySweep(COctree* octree, GenericIntersection* query) override;
  // The bounce: only the approaching part of the velocity along the hit normal is reflected
  // (scaled by restitution); friction takes its share of the tangential part.
  virtual void CollideWithStatic(const CollisionInfo* info, const IntersectionResult* hit);
  virtual void CollideWithBody(const CollisionInfo* info, const IntersectionResult* hit);

  void SetHandler(CCollisionObject* handler) { m_handler = handler; }
  CCollisionObject* GetHandler() const { return m_handler; }
  const Vector3& GetCentre() const { return m_orientation.position; }
  const COrientation& GetOrientation() const { return m_orientation; }
  const Vector3& GetVelocity() const { return m_velocity; }
  void SetVelocity(const Vector3& v) { m_velocity = v; }
  float GetRadius() const { return m_radius; }
  float GetRestitution() const { return m_restitution; }
  float GetFriction() const { return m_friction; }
  const Box& GetLocalBounds() const { return m_localBounds; }

 protected:
  void Respond();
  void RebuildLocalBounds();
  void BindMesh(ShadedMesh* mesh, bool dynamicLighting, uint32_t stampFirst, uint32_t stampLast);
  void PlaceMeshInstance();

  CCollisionObject* m_handler = nullptr;
  Box m_localBounds{};
  COrientation m_orientation;
  Vector3 m_velocity{0.0f, 0.0f, 0.0f};
  float m_radius = -1.0f;
  float m_inverseRadius = 0.0f;
  float m_restitution = 0.0f;
  float m_friction = 0.0f;
};
