// CRigidCollisionBody: a moving rigid body - a collision object whose motion is integrated from forces and swept through the world.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "physics/collision/ActiveCollisionObject.h"
#include "physics/collision/CollisionInfo.h"
#include "physics/rigid/RigidBodyState.h"

class BeamArrayInfo;
class PolyTree;
class RigidConst;
struct SphereTreeNode;
struct SurfaceType;

class CRigidCollisionBody : public CActiveCollisionObject {
 public:
  CRigidCollisionBody();
  ~CRigidCollisionBody() override;

  bool Intersect(GenericIntersection* query) override;
  // The instance; with the collision overlay on, the model's spheres where the body stands and
  // the last contact's normal.
  void Render(CSceneDrawInterface* view) override;
  static constexpr uint32_t kSphereColour = 0xFF0000C8u;
  static constexpr uint32_t kContactColour = 0xFFFFFF00u;
  static constexpr float kContactNormalLength = 0.5f;
  const CollisionInfo* GetCollisionInfo(CCollisionObject* asker) override { return &m_info; }
  // Kind 1 (static primitive) and kind 2 (rigid body) get a response; anything else is ignored.
  bool HandleCollision(const CollisionInfo* info, const IntersectionResult* hit) override;
  // The candidate pose over dt: the convex pieces when the model has them, else one swept
  // sphere per collision sphere. The queries are shared, so one body's sweep must be consumed
  // before the next body makes its own.
  SweepQuery CreateSweepQuery(float dt) override;
  void ApplySweep(COctree* octree, GenericIntersection* query) override;
  virtual void SetOrientation(const COrientation& frame);

  // Takes the shared model; a null model leaves the body without mass (immovable).
  void SetModel(const RigidConst* model, const COrientation& frame, const Vector3& velocity,
                const Vector3& angularVelocity);
  const SphereTreeNode* GetSphereTree() const;
  const RigidConst* GetModel() const { return m_model; }
  RigidBodyState& GetState() { return m_state; }
  const RigidBodyState& GetState() const { return m_state; }
  const COrientation& GetFrame() const { return m_frame; }

  // Gravity and drag; rate is the limit of drag per second (the inverse tick time).
  void AccumulateGravityAndDrag(float rate);
  bool IsAtRest() const;
  // True when a body at frame would touch something that blocks.
  bool TestPlacement(const COrientation& frame);

  // Contact response.
  void ApplyContactFriction(float dt);
  float ResolveStaticContact(const Vector3& p, const Vector3& n, const SurfaceType* surface);
  float ResolveWedgedContact(const std::vector<Vector3>& normals, const SurfaceType* surface);
  static float ResolveBodyContact(CRigidCollisionBody& a, CRigidCollisionBody& b, const Vector3& p, const Vector3& n);
  bool CollideWithStatic(const CollisionInfo* info, const IntersectionResult* hit);
  bool CollideWithBody(const CollisionInfo* info, const IntersectionResult* hit);

  bool IsPressing() const { return m_pressing != 0; }
  bool IsStuck() const { return m_stuck != 0; }
  float GetNormalForce() const { return m_normalForce; }
  CRigidCollisionBody* GetPartner() const { return m_partner; }

  // Contact record as the response reads it; the swept movement fills it (tests may too).
  void SetContact(CCollisionObject* object, const Vector3& point, const Vector3& normal);
  CCollisionObject* GetContactObject() const { return m_touchObject; }
  const Vector3& GetContactPoint() const { return m_touchPoint; }
  const Vector3& GetContactNormal() const { return m_touchNormal; }

 private:
  bool IsSlow() const;
  void FillBeams(BeamArrayInfo& array, const COrientation& from, const COrientation& to) const;
  void PlaceTree(SphereTreeNode* tree, const COrientation& frame, uint32_t stamp) const;
  void RefreshPlacement(COctree* octree);
  void UpdateMovableFlag();

  RigidBodyState m_state;
  const RigidConst* m_model = nullptr;
  uint32_t m_currentStamp = 1;
  std::unique_ptr<SphereTreeNode> m_currentTree;
  uint32_t m_stampCounter = 2;
  std::unique_ptr<SphereTreeNode> m_spareTree;  // the pose being swept; swapped in when it is taken
  std::unique_ptr<PolyTree> m_pieces;
  uint8_t m_pressing = 0;
  uint8_t m_stuck = 0;
  float m_normalForce = 0.0f;
  CRigidCollisionBody* m_partner = nullptr;
  const SurfaceType* m_contactSurface = nullptr;
  CollisionInfo m_info;
  COrientation m_frame;  // the committed pose, as the queries need it
  CCollisionObject* m_touchObject = nullptr;
  Vector3 m_touchPoint;
  Vector3 m_touchNormal;
};
