#include "combat/VehicleRun.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <memory>

#include "combat/Body.h"
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

// Where a free body is, how fast it goes, how upright it stands and whether it rests.
template <typename Body>
std::string DescribeBody(const char* name, const Body& body) {
  const RigidBodyState& s = body.GetState();
  return std::string(name) + " at " + Describe(s.position) + " v " + Describe(s.velocity) +
         Format(" up %.3f rest %d", s.rotation.m[2].z, body.IsAtRest() ? 1 : 0);
}

}  // namespace

bool CVehicleRun::Create(const char* vehicleModel, const COrientation& vehicleAt, const char* creatureModel,
                         const COrientation& creatureAt) {
  m_vehicleId = CreateBodyThroughWorld(m_world, CVehicle::kTypeCode, vehicleModel, vehicleAt, CGameObject::kNoOwner);
  m_creatureId = CreateBodyThroughWorld(m_world, CCreature::kTypeCode, creatureModel, creatureAt,
                                        CGameObject::kNoOwner);
  return GetVehicle() != nullptr && GetCreature() != nullptr;
}

bool CVehicleRun::AddCrate(const char* model, const COrientation& at) {
  auto crate = std::make_unique<CBody>();
  if (model == nullptr || !crate->SetupFromTable(model, at)) return false;
  CrateWatch watch;
  watch.frame = crate->GetFrame();
  watch.id = m_world.RegisterNewObject(std::move(crate));
  if (watch.id == 0) return false;
  m_crates.push_back(watch);
  for (CrateWatch& w : m_crates) {
    w.crates.resize(m_crates.size());
    w.metAt.resize(m_crates.size());
  }
  return true;
}

CBody* CVehicleRun::GetCrate(size_t index) const {
  if (index >= m_crates.size()) return nullptr;
  CBody* c = dynamic_cast<CBody*>(m_world.GetObjectByID(m_crates[index].id));
  return c != nullptr && !c->IsMarkedForRemoval() ? c : nullptr;
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
    const CVehicle* before = GetVehicle();
    const float speedBefore = before != nullptr ? before->GetState().velocity.Length() : 0.0f;
    m_world.UpdateObjects(kTickSeconds);
    ++m_ticks;
    for (size_t i = 0; i < m_crates.size(); ++i) WatchCrate(i, speedBefore, lines);
    if (lines != nullptr && m_ticks % perSecond == 0) lines->push_back(DescribeState());
  }
}

void CVehicleRun::WatchCrate(size_t i, float speedBefore, std::vector<std::string>* lines) {
  const CBody* crate = GetCrate(i);
  if (crate == nullptr) return;
  CrateWatch& m = m_crates[i];
  const unsigned number = static_cast<unsigned>(i + 1);
  const CVehicle* vehicle = GetVehicle();
  const RigidBodyState& s = crate->GetState();
  const uint32_t impacts = crate->GetImpactCount();
  const uint32_t vehicleImpacts = vehicle != nullptr ? vehicle->GetImpactCount() : m.vehicleImpacts;
  const double vehicleImpulse = vehicle != nullptr ? vehicle->GetImpulseTotal() : m.vehicleImpulse;
  // Both sides of a body contact hear of it, with the same impulse; the one that moved into the
  // other keeps it as its partner.
  const bool partners = vehicle != nullptr && (crate->GetPartner() == vehicle || vehicle->GetPartner() == crate);
  const bool struck = partners && impacts > m.impacts && vehicleImpacts > m.vehicleImpacts;
  std::vector<std::string> events;
  if (m.impacts == 0 && impacts > 0 && !struck) {
    std::string on;
    for (size_t k = 0; k < m_crates.size(); ++k)
      if (k != i && crate->GetContactsWith(m_crates[k].id).count > m.crates[k].count) {
        on = Format(" on crate %u", static_cast<unsigned>(k + 1));
        m.metAt[k] = m_crates[k].metAt[i] = m_ticks;  // the landing tells of this meeting
      }
    events.push_back(Format("t=%5.2f crate %u lands%s: impulse %.1f N s at %s", GetClock(), number, on.c_str(),
                            crate->GetImpulseTotal(), Describe(s.position).c_str()));
  } else if (struck && !m.struckLastTick) {
    events.push_back(
        Format("t=%5.2f crate %u struck by the vehicle: impulse %.1f N s, vehicle %.2f -> %.2f m/s, crate %.2f m/s",
               GetClock(), number, vehicleImpulse - m.vehicleImpulse, speedBefore,
               vehicle->GetState().velocity.Length(), s.velocity.Length()));
  }
  WatchCrateMeetings(i, &events);
  // Still: it stays near the place and turn it had when it last moved off. A body held by static
  // friction touches the ground only every other tick, so the body's own rest test comes and goes.
  const COrientation& frame = crate->GetFrame();
  bool still = (frame.position - m.frame.position).Length() < kStillMetres;
  for (int a = 0; a < 3; ++a) still = still && (frame.axes.m[a] - m.frame.axes.m[a]).Length() < kStillMetres;
  if (still) {
    ++m.stillTicks;
    if (!m.restTold && m.stillTicks * kTickSeconds + 0.5f * kTickSeconds >= kCrateRestSeconds) {
      events.push_back(Format("t=%5.2f crate %u at rest at %s up %.3f", GetClock(), number,
                              Describe(s.position).c_str(), s.rotation.m[2].z));
      m.restTold = true;
    }
  } else {
    m.frame = frame;
    m.stillTicks = 0;
    m.restTold = false;
  }
  m.impacts = impacts;
  m.vehicleImpacts = vehicleImpacts;
  m.vehicleImpulse = vehicleImpulse;
  m.struckLastTick = struck;
  for (size_t k = 0; k < m_crates.size(); ++k) m.crates[k] = crate->GetContactsWith(m_crates[k].id);
  if (lines != nullptr) lines->insert(lines->end(), events.begin(), events.end());
}

void CVehicleRun::WatchCrateMeetings(size_t i, std::vector<std::string>* events) {
  const CBody* crate = GetCrate(i);
  const uint64_t apart = static_cast<uint64_t>(std::lround(kCrateApartSeconds / kTickSeconds));
  CrateWatch& m = m_crates[i];
  for (size_t k = 0; k < i; ++k) {
    const CBody* other = GetCrate(k);
    const CBody::Contacts now = crate->GetContactsWith(m_crates[k].id);
    if (other == nullptr || now.count == m.crates[k].count) continue;
    if (m.metAt[k] == 0 || m_ticks - m.metAt[k] > apart) {
      events->push_back(
          Format("t=%5.2f crate %u meets crate %u: impulse %.1f N s, crate %u %.2f m/s, crate %u %.2f m/s", GetClock(),
                 static_cast<unsigned>(i + 1), static_cast<unsigned>(k + 1), now.impulse - m.crates[k].impulse,
                 static_cast<unsigned>(i + 1), crate->GetState().velocity.Length(), static_cast<unsigned>(k + 1),
                 other->GetState().velocity.Length()));
    }
    m.metAt[k] = m_crates[k].metAt[i] = m_ticks;
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
    line += DescribeBody(" | creature", *c);
  } else {
    line += " | no creature";
  }
  for (size_t i = 0; i < m_crates.size(); ++i)
    if (const CBody* b = GetCrate(i))
      line += DescribeBody(Format(" | crate %u", static_cast<unsigned>(i + 1)).c_str(), *b);
  return line;
}
