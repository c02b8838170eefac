#include "combat/Vehicle.h"

#include <cmath>

#include "combat/VehicleDef.h"
#include "core/data/DebugPrintf.h"
#include "core/data/ResourceTable.h"
#include "core/input/InputMan.h"
#include "core/spatial/Octree.h"
#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "physics/collision/CollisionFlags.h"
#include "physics/rigid/RigidBodyIntegrate.h"

CVehicle::CVehicle() = default;

CVehicle::~CVehicle() = default;

void CVehicle::Setup(const CVehicleDef* def, const COrientation& placement) {
  CBody::Setup(def, placement);
  m_wheels.clear();
  m_accumulators.assign(1, &m_forces);
  if (!def) return;
  for (uint32_t i = 0; i < def->GetWheelCount(); ++i) {
    m_wheels.push_back(std::make_unique<CWheel>());
    m_wheels.back()->Attach(this, 0.0f, 0.0f, def->GetWheels()[i]);
    // A wheel holds no body state of its own; it is listed so the group is the whole vehicle.
    m_accumulators.push_back(m_wheels.back().get());
  }
}

bool CVehicle::SetupFromResource(void* resource, uint16_t type, const COrientation& placement) {
  if (type != kResourceVehicle) return false;
  Setup(static_cast<const CVehicleDef*>(resource), placement);
  return true;
}

bool CVehicle::Place(const COrientation& frame) {
  if (TestPlacement(frame)) return false;
  VehicleState placed;
  placed.body.rotation = frame.axes;
  placed.body.position = frame.position;
  placed.body.velocity = placed.body.angularMomentum = Vector3(0.0f, 0.0f, 0.0f);
  placed.wheels.resize(m_wheels.size());
  RestoreState(placed);
  return true;
}

void CVehicle::Init(bool created) {
  if (GetOctree() != nullptr) TakeAwayUnlessPlaced(Place(GetFrame()), "CVehicle", "vehicle");
}

void CVehicle::SaveState(VehicleState& out) const {
  GetState().Save(out.body);
  out.wheels.resize(m_wheels.size());
  for (size_t i = 0; i < m_wheels.size(); ++i)
    out.wheels[i] = {m_wheels[i]->GetExtension(), m_wheels[i]->GetExtensionRate(), m_wheels[i]->GetSpin()};
}

void CVehicle::RestoreState(const VehicleState& saved) {
  GetState().SetState(saved.body);
  // The saved pose is taken at once rather than at the next step, so the body is found there now.
  SetOrientation(COrientation(saved.body.rotation, saved.body.position));
  for (size_t i = 0; i < m_wheels.size() && i < saved.wheels.size(); ++i)
    m_wheels[i]->SetSuspensionState(saved.wheels[i].extension, saved.wheels[i].rate, saved.wheels[i].spin);
}

float CVehicle::GetDriveTorque() const { return (m_controls.throttle - m_controls.brake) * kEngineTorque; }

void CVehicle::ApplyControls() {
  // The hand brake locks and frees the wheels when it is pulled and let go; in between, a
  // wheel's lock is its own.
  const bool pulled = m_controls.handBrake && !m_handBrake, released = !m_controls.handBrake && m_handBrake;
  m_handBrake = m_controls.handBrake;
  for (auto& wheel : m_wheels) {
    if (pulled || released) wheel->SetLocked(pulled);
    // The wheels ahead of the centre of mass steer.
    wheel->SetSteerAngle(wheel->GetParams().mountPoint.x > 0.0f ? m_controls.steer * kMaxSteer : 0.0f);
  }
}

void CVehicle::ApplyEngine(float dt) {
  const float torque = GetDriveTorque();
  if (torque == 0.0f) return;
  for (auto& wheel : m_wheels) wheel->ApplyDriveTorque(torque, dt);
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
  ApplyEngine(dt);
}

void CVehicle::Integrate(float dt) {
  RigidBodyState& state = GetState();
  state.ClearForces();
  if (state.anchored) return;
  if (IsAtRest() && m_controls.IsIdle()) {
    // Resting on its springs the forces hardly change over a step: one evaluation will do.
    AccumulateVehicleForces(dt);
    state.Integrate(dt);
    return;
  }
  m_forces.m_dt = dt;
  RigidBodyState* bodies[] = {&state};
  IntegrateRigidBodiesRK4(bodies, 1, m_accumulators.data(), m_accumulators.size(), dt);
}

void CVehicle::StepPhysics(float dt) {
  if (!(dt > 0.0f)) return;
  ApplyControls();
  SaveState(m_stepStart);
  Integrate(dt);
  GetState().ClearForces();
  SweepThroughWorld(dt);
  SweepWheels(dt);
  if (HasFinitePose()) return;
  DebugPrintf("CVehicle: a step left the body nowhere; it goes back to where the step began\n");
  m_stepStart.body.velocity = m_stepStart.body.angularMomentum = Vector3(0.0f, 0.0f, 0.0f);
  for (VehicleState::Wheel& w : m_stepStart.wheels) w.rate = w.spin = 0.0f;
  RestoreState(m_stepStart);
}

void CVehicle::Update(float dt) {
  const CGameWorld* world = GetGameWorld();
  if (world != nullptr && world->GetInputManager() != nullptr && IsControlledByLocalPlayer())
    m_controls = VehicleControls::Read(*world->GetInputManager());
  StepPhysics(dt);
}

bool CVehicle::HasFinitePose() const {
  const RigidBodyState& s = GetState();
  for (const Vector3* v :
       {&s.position, &s.velocity, &s.angularMomentum, &s.rotation.m[0], &s.rotation.m[1], &s.rotation.m[2]})
    if (!std::isfinite(v->x) || !std::isfinite(v->y) || !std::isfinite(v->z)) return false;
  return true;
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
