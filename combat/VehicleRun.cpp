#include "combat/VehicleRun.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "combat/BodyCreation.h"
#include "combat/Creature.h"
#include "combat/Vehicle.h"
#include "core/world/GameWorld.h"

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

std::string Describe(const Vector3& v) { return Format("(%.2f %.2f %.2f)", v.x, v.y, v.z); }

}  // namespace

bool CVehicleRun::Create(const char* vehicleModel, const COrientation& vehicleAt, const char* creatureModel,
                         const COrientation& creatureAt) {
  m_vehicleId = CreateBodyThroughWorld(m_world, CVehicle::kTypeCode, vehicleModel, vehicleAt, CGameObject::kNoOwner);
  m_creatureId = CreateBodyThroughWorld(m_world, CCreature::kTypeCode, creatureModel, creatureAt,
                                        CGameObject::kNoOwner);
  return GetVehicle() != nullptr && GetCreature() != nullptr;
}

CVehicle* CVehicleRun::GetVehicle() const {
  CVehicle* v = dynamic_cast<CVehicle*>(m_world.GetObjectByID(m_vehicleId));
  return v != nullptr && !v->IsMarkedForRemoval() ? v : nullptr;
}

CCreature* CVehicleRun::GetCreature() const {
  CCreature* c = dynamic_cast<CCreature*>(m_world.GetObjectByID(m_creatureId));
  return c != nullptr && !c->IsMarkedForRemoval() ? c : nullptr;
}

void CVehicleRun::Run(float seconds, const std::vector<Phase>& plan, std::vector<std::string>* lines) {
  const uint64_t perSecond = static_cast<uint64_t>(std::lround(1.0f / kTickSeconds));
  while (GetClock() + 0.5f * kTickSeconds < seconds) {
    if (CVehicle* vehicle = GetVehicle()) {
      for (const Phase& phase : plan)
        if (GetClock() + 0.5f * kTickSeconds < phase.until) {
          vehicle->SetControls(phase.controls);
          break;
        }
    }
    m_world.UpdateObjects(kTickSeconds);
    ++m_ticks;
    if (lines != nullptr && m_ticks % perSecond == 0) lines->push_back(DescribeState());
  }
}

std::string CVehicleRun::DescribeState() const {
  std::string line = Format("t=%5.2f", GetClock());
  if (const CVehicle* v = GetVehicle()) {
    const RigidBodyState& s = v->GetState();
    const VehicleControls& c = v->GetControls();
    line += " vehicle at " + Describe(s.position) + " v " + Describe(s.velocity) +
            Format(" up %.3f rest %d | throttle %.1f brake %.1f steer %.1f hand %d |", s.rotation.m[2].z,
                   v->IsAtRest() ? 1 : 0, c.throttle, c.brake, c.steer, c.handBrake ? 1 : 0);
    for (size_t i = 0; i < v->GetWheelCount(); ++i) {
      const CWheel& w = v->GetWheel(i);
      const float load = w.GetSuspensionForce().Length() / 9.8f;
      line += Format(" w%u %s load %.0f/%.0f kg ext %.3f spin %.1f slip %.2f contact v %.2f centre %s%s",
                     static_cast<unsigned>(i), w.IsOnGround() ? "ground" : "air", load, w.GetSupportedMass(),
                     w.GetExtension(), w.GetSpin(), w.GetSlipVelocity().Length(), w.GetContactVelocity().Length(),
                     Describe(w.GetWorldCenter()).c_str(), w.IsLocked() ? " locked" : "");
    }
  } else {
    line += " no vehicle";
  }
  if (const CCreature* c = GetCreature()) {
    const RigidBodyState& s = c->GetState();
    line += " | creature at " + Describe(s.position) + " v " + Describe(s.velocity) +
            Format(" up %.3f rest %d", s.rotation.m[2].z, c->IsAtRest() ? 1 : 0);
  } else {
    line += " | no creature";
  }
  return line;
}
