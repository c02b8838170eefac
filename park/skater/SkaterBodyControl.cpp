// CSkaterBody: the player's axes and buttons - crouch and charged jump, grind key, board, trick keys.
#include <algorithm>
#include <cmath>

#include "core/world/GameWorld.h"
#include "core/input/InputMan.h"
#include "core/world/WorldAccess.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterAnimation.h"
#include "park/skater/SkaterBody.h"

namespace {
float ActionValue(const CInputMan* input, int action) {
  return input != nullptr ? input->GetActionValue(static_cast<uint32_t>(action)) : 0.0f;
}
}  // namespace

void CSkaterBody::ReadControlAxes() {
  CSkater& s = m_skater;
  const CGameWorld* world = GetGameWorld();
  const CInputMan* input = world != nullptr ? world->GetInputManager() : nullptr;
  if (IsGrinding()) {
    s.body.forwardInput = s.body.steerInput = 0.0f;
    return;
  }
  s.body.forwardInput = ActionValue(input, kActionUp) - ActionValue(input, kActionDown);
  s.body.steerInput = HasGroundContact() ? ActionValue(input, kActionRight) - ActionValue(input, kActionLeft)
                                         : ActionValue(input, kActionAirRight) - ActionValue(input, kActionAirLeft);
}

void CSkaterBody::HandleInputEvent(const InputEvent& event) {
  CSkater& s = m_skater;
  const int code = static_cast<int>(static_cast<int32_t>(event.code));
  const bool crashed = s.body.motionMode == CSkater::kCrashed;
  if (IsWalking() || crashed) {
    m_skater.body.crouchKey = m_grindKey = m_thirdKey = false;
    if (crashed) return;
  }
  const bool ground = HasGroundContact();
  std::vector<uint32_t>& typed = s.body.typedKeys;
  if (!ground && code >= kActionUp && code <= kActionGrind && typed.size() < kMaxPressedKeys) {
    typed.push_back(static_cast<uint32_t>(code));
  }
  switch (code) {
    case kActionJump:
      if (ground) {
        m_skater.body.crouchKey = true;
        m_crouchTime = Now();
      }
      break;
    case -kActionJump:
      if (!m_skater.body.crouchKey) break;
      typed.clear();
      m_skater.body.crouchKey = false;
      if (ground) Jump();
      break;
    case kActionGrind: m_grindKey = true; break;
    case -kActionGrind:
      m_grindKey = false;
      if (IsGrinding()) ExitGrind();
      break;
    case kActionBoard: ToggleBoard(); break;
    default: break;
  }
}

bool CSkaterBody::IsVertJump() const {
  const CSkatableSection* section = m_skater.body.underfootObject != 0xFFFFFFFFu
                                        ? GetPlacedSection(m_skater.body.underfootObject)
                                        : nullptr;
  const ObjectDefinition* definition = section != nullptr ? section->GetDefinition() : nullptr;
  return definition != nullptr && definition->vertical != 0 && m_contactNormal.z < 0.85f &&
         m_skater.GetFrame().GetXAxis().z > 0.0f;
}

void CSkaterBody::Jump() {
  CSkater& s = m_skater;
  const SkaterParams& p = s.GetParams();
  const bool vert = IsVertJump();
  const float full = p[24];
  const float charge = full > 0.0f ? std::clamp(static_cast<float>(Now() - m_crouchTime) / full, 0.0f, 1.0f) : 1.0f;
  Vector3 v = s.GetVelocity();
  v.z += p[12] + (p[13] - p[12]) * std::pow(charge, p[25]);
  m_skater.body.trickFlag = vert;
  if (vert) {
    // Straight up the wall and back down onto it: no speed away from or into the wall.
    Vector3 out(m_contactNormal.x, m_contactNormal.y, 0.0f);
    if (out.Normalize()) v -= out * v.Dot(out);
  }
  s.SetVelocity(v);
  TakeOffTime(s.GetCentre().z);
  s.GetAnimation().Play(CSkaterAnimation::kTakeOff, false);
  s.GetAnimation().PlaySound(CSkaterAnimation::Sound::kTrick);
}

void CSkaterBody::ToggleBoard() {
  CSkater& s = m_skater;
  CSkaterAnimation& anim = s.GetAnimation();
  if (IsWalking()) {
    s.body.motionMode = CSkater::kRolling;
    anim.Play(CSkaterAnimation::kPutDownBoard, false);
    anim.PlaySound(CSkaterAnimation::Sound::kPutBoardDown);
  } else if (s.body.motionMode == CSkater::kRolling && ApproxSpeed() < 1.0f) {
    s.body.motionMode = CSkater::kWalking;
    anim.Play(CSkaterAnimation::kFootStop, false);
  }
}
