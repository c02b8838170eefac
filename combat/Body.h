// CBody: a combat object that is a rigid body - set up from a body model and stepped through the world each tick.
#pragma once

#include "core/world/GameObject.h"
#include "physics/rigid/RigidCollisionBody.h"

class RigidConst;

class CBody : public CGameObject, public CRigidCollisionBody {
 public:
  // Takes the shared model (immovable when null) at the placement frame, at rest.
  void Setup(const RigidConst* model, const COrientation& placement);
  // One tick: forces and velocities (skipped while anchored), then the swept move through
  // the octree the body is filed in. An unfiled body moves freely.
  virtual void StepPhysics(float dt);

 protected:
  // Per second: the limit the drag works to, the world's tick rate when it has one.
  static float InverseTick(float dt);
  void SweepThroughWorld(float dt);
};
