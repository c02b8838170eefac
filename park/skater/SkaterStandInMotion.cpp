#include "park/skater/SkaterStandInMotion.h"

#include "park/grid/SkatePathNode.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"

namespace {
constexpr float kCrashLength = 2.0f;  // seconds a crashed skater lies before it decides again
}

Vector3 CSkaterStandInMotion::RoutePoint(size_t i) const {
  const CSkatePathNode* node = m_skater.GetRouteNode(i);
  return node != nullptr ? node->GetPosition() : m_skater.GetCentre();
}

void CSkaterStandInMotion::RouteStep(float dt) {
  CSkater& s = m_skater;
  if (s.route.index < 0 || static_cast<size_t>(s.route.index) >= s.route.steps.size()) {
    // The route has run out: the skater decides anew in the same tick.
    s.SetState(CSkater::kDeciding, 0);
    s.DecideWhatToDo();
    return;
  }
  Vector3 position = s.GetCentre();
  float budget = kSpeed * dt;
  // Several close route points may be passed in one tick; the loop ends when the budget is spent
  // or the route changes state.
  for (int guard = 0; guard < 64 && budget > 0.0f; ++guard) {
    if (s.route.index < 0 || static_cast<size_t>(s.route.index) >= s.route.steps.size()) break;
    const uint32_t state = s.mind.state;
    const Vector3 aim = RoutePoint(static_cast<size_t>(s.route.index));
    const Vector3 d = aim - position;
    const float length = d.Length();
    if (length > budget) {
      position = position + d * (budget / length);
      break;
    }
    position = aim;
    budget -= length;
    s.SetCentre(position);
    s.AdvanceRoute();
    if (s.mind.state != state || s.IsMarkedForRemoval()) return;
  }
  s.SetCentre(position);
}

void CSkaterStandInMotion::CrashStep(float dt) {
  if (m_skater.times.stateTime < kCrashLength) return;
  m_skater.body.motionMode = CSkater::kRolling;
  m_skater.SetState(CSkater::kDeciding, 0);
}

void CSkaterStandInMotion::PlaceOnGroundAt(const Vector3& point) { m_skater.SetCentre(point); }
