#include "combat/Body.h"

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/spatial/Octree.h"

void CBody::Setup(const RigidConst* model, const COrientation& placement) {
  SetModel(model, placement, Vector3(0.0f, 0.0f, 0.0f), Vector3(0.0f, 0.0f, 0.0f));
}

float CBody::InverseTick(float dt) {
  const CGameWorld* world = GetGameWorld();
  if (world && world->GetTickRate() > 0.0f) return world->GetTickRate();
  return dt > 0.0f ? 1.0f / dt : 0.0f;
}

void CBody::StepPhysics(float dt) {
  if (!(dt > 0.0f)) return;
  RigidBodyState& state = GetState();
  if (!state.anchored) {
    AccumulateGravityAndDrag(InverseTick(dt));
    ApplyContactFriction(dt);
    state.Integrate(dt);
  }
  state.ClearForces();
  SweepThroughWorld(dt);
}

void CBody::SweepThroughWorld(float dt) {
  if (COctree* octree = GetOctree()) {
    Move(octree, dt, false, kTopDepth, nullptr);
  } else {
    // Nothing to meet outside the world: the pose just advances.
    GetState().AdvancePose(dt);
    GetState().CommitPose();
    SetOrientation(GetState().GetFrame());
  }
}
