#include "combat/Vehicle.h"

#include "combat/VehicleDef.h"
#include "core/spatial/Octree.h"
#include "physics/collision/CollisionFlags.h"

CVehicle::CVehicle() = default;

CVehicle::~CVehicle() = default;

void CVehicle::Setup(const CVehicleDef* def, const COrientation& placement) {
  CBody::Setup(def, placement);
  m_wheels.clear();
  if (!def) return;
  for (uint32_t i = 0; i < def->GetWheelCount(); ++i) {
    m_wheels.push_back(std::make_unique<CWheel>());
    m_wheels.back()->Attach(this, 0.0f, 0.0f, def->GetWheels()[i]);
  }
}

void CVehicle::AccumulateVehicleForces(float dt) {
  RigidBodyState& state = GetState();
  AccumulateGravityAndDrag(InverseTick(dt));
  ApplyContactFriction(dt);
  // Each wheel finds its resting compression from the body's force so far, so every wheel
  // looks before any of them adds its own.
  for (auto& wheel : m_wheels) wheel->UpdateSuspension(dt);
  for (auto& wheel : m_wheels) {
    state.AddForceAtPoint(wheel->GetSuspensionForce(), wheel->GetWorldMountPoint());
    wheel->ComputeContactForces(dt);
  }
  if (m_driveTorque != 0.0f)
    for (auto& wheel : m_wheels) wheel->ApplyDriveTorque(m_driveTorque, dt);
}

void CVehicle::StepPhysics(float dt) {
  if (!(dt > 0.0f)) return;
  RigidBodyState& state = GetState();
  state.ClearForces();
  if (!state.anchored && (!IsAtRest() || m_driveTorque != 0.0f)) {
    AccumulateVehicleForces(dt);
    state.Integrate(dt);
  }
  state.ClearForces();
  SweepThroughWorld(dt);
  SweepWheels(dt);
}

void CVehicle::SweepWheels(float dt) {
  COctree* octree = GetOctree();
  // A wheel sits inside its own body: while the wheels probe for ground the body is no
  // candidate, or every wheel would stand on the body it carries.
  const bool candidate = HasAllFlags(CollisionFlags::kCandidate);
  ClearBoundFlags(CollisionFlags::kCandidate);
  for (auto& wheel : m_wheels) {
    if (octree) {
      wheel->Move(octree, dt, false, kTopDepth, nullptr);
    } else {
      wheel->ClearGroundContact();
      wheel->ApplySweep(nullptr, nullptr);
    }
  }
  if (candidate) AddBoundFlags(CollisionFlags::kCandidate);
}
