#include "park/skater/SkaterAnimator.h"

#include <algorithm>
#include <cmath>

#include "core/data/ByteCursor.h"
#include "core/data/LittleEndian.h"
#include "park/grid/PathEdgeInfo.h"
#include "park/grid/SkatePathNode.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterAnimatorWorldLink.h"
#include "park/skater/SkaterMotion.h"
#include "platform/system/Platform.h"
#include "scene/animation/AnimationRecord.h"
#include "scene/mesh/MeshInstance.h"

namespace {

using AnimTable = CSkaterAnimationTable;

constexpr float kInvRandMax = 1.0f / 32767.0f;
constexpr float kOffBalanceError = 0.3f;
constexpr float kLeanAhead = 4.0f;     // the route point the AI lean looks at
constexpr float kCrouchAhead = 2.5f;   // a jump this close ahead makes the skater crouch
constexpr float kPushInterval = 2.0f;  // seconds between pushes
constexpr float kWalkingSpeed = 0.1f;

float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

bool IsJumpLink(uint32_t kind) { return kind == kLinkAir || kind == kLinkFreeAir || kind == kLinkOllie; }

}  // namespace

std::unique_ptr<CSkaterAnimation> MakeSkaterAnimator(CSkater& skater) {
  return std::make_unique<CSkaterAnimator>(skater, std::make_unique<CSkaterAnimatorWorldLink>());
}

CSkaterAnimator::CSkaterAnimator(CSkater& skater, std::unique_ptr<CSkaterAnimatorLink> link)
    : m_skater(skater), m_link(std::move(link)) {}

CSkaterAnimator::~CSkaterAnimator() {
  if (m_loopHandle >= 0) m_link->StopSound(m_loopHandle);
}

// --- The table ---

CMeshInstance* CSkaterAnimator::Instance() const { return m_skater.GetMeshInstance(); }

const CSkaterAnimationTable& CSkaterAnimator::Table() const { return *GetSharedTable(); }

std::shared_ptr<const CSkaterAnimationTable> CSkaterAnimator::GetSharedTable() const {
  const CMeshInstance* instance = Instance();
  const ShadedMesh* mesh = instance != nullptr ? instance->GetMesh() : nullptr;
  if (!m_table || m_table->GetMesh() != mesh) m_table = CSkaterAnimationTable::ForMesh(mesh, m_link->GetResources());
  return m_table;
}

const std::vector<int>& CSkaterAnimator::GetKeys(int entry) const {
  const CSkaterAnimationTable::Entry* e = Table().Get(entry);
  return e != nullptr ? e->keys : CSkaterAnimation::GetKeys(entry);
}

// --- Playback ---

void CSkaterAnimator::Play(int entry, bool loop) {
  if (Table().Get(entry) == nullptr) return;
  // A jump starts now: only flight seen from here on ends it (a launch hands its flight on to
  // the trick that follows it).
  const int category = GetCategory(entry);
  const bool trick = category == AnimTable::kFlip || category == AnimTable::kAir;
  if (entry == kTakeOff || (trick && m_current != kTakeOff)) m_airborne = false;
  m_loop = loop;
  PlayAt(entry, 0.0f);
}

void CSkaterAnimator::PlayAt(int entry, float time) {
  m_current = entry;
  m_time = std::max(0.0f, time);
  m_skater.body.animIndex = entry;
  // An entry the skeleton lacks still runs its (zero) length through the step, but shows nothing.
  const AnimationRecord* animation = Table().GetAnimation(entry);
  CMeshInstance* instance = Instance();
  if (animation == nullptr || instance == nullptr) return;
  instance->PlayAnimation(animation, m_time, 0.0f, true, nullptr);
  instance->SyncAnimation(instance);
}

void CSkaterAnimator::Advance(float dt, float speed) {
  if (m_current < 0) return;
  // Coasting runs at real time on top of the animation speed.
  if (GetCategory(m_current) == AnimTable::kCoasting) m_time += dt;
  m_time += dt * speed;
  const AnimationRecord* animation = Table().GetAnimation(m_current);
  CMeshInstance* instance = Instance();
  if (animation == nullptr || instance == nullptr || instance->GetSequencePlayer().sequence != animation) return;
  // A play that does not loop holds its last frame (the end itself would wrap round to the first).
  const float lastFrame = animation->frameRate > 0.0f ? animation->length - 1.0f / animation->frameRate : animation->length;
  instance->GetSequencePlayer().time = m_loop ? m_time : std::min(m_time, std::max(0.0f, lastFrame));
  instance->SyncAnimation(instance);
}

// Version 1: the entry playing, its time, the loop and airborne flags, the rolling sound wanted.
void CSkaterAnimator::SaveTickState(std::vector<uint8_t>& out) const {
  out.push_back(1);
  le::PutU32(out, static_cast<uint32_t>(m_current));
  le::PutF32(out, m_time);
  out.push_back(static_cast<uint8_t>((m_loop ? 1 : 0) | (m_airborne ? 2 : 0)));
  le::PutU32(out, static_cast<uint32_t>(m_loopChoice));
}

bool CSkaterAnimator::LoadTickState(CByteCursor& in) {
  uint8_t version = 0, flags = 0;
  uint32_t current = 0, choice = 0;
  float time = 0.0f;
  if (!in.ReadU8(version) || version != 1 || !in.ReadU32(current) || !in.ReadF32(time) || !in.ReadU8(flags) ||
      !in.ReadU32(choice) || !std::isfinite(time))
    return false;
  const int entry = static_cast<int>(current);
  if (entry != -1 && Table().Get(entry) == nullptr) return false;
  m_loop = (flags & 1) != 0;
  m_airborne = (flags & 2) != 0;
  m_loopChoice = static_cast<int>(choice);
  if (entry == -1) {
    m_current = -1;
    m_time = time;
    return true;
  }
  PlayAt(entry, time);
  Advance(0.0f, 0.0f);  // the pose as the running park's last step left it (a held last frame)
  return true;
}

bool CSkaterAnimator::HasGroundContact() const { return m_skater.GetMotion().HasGroundContact(); }

bool CSkaterAnimator::IsDoingTrick() const {
  return !HasGroundContact() && m_skater.body.airTime > 0.0f && m_skater.body.trickFlag && m_current >= 0 &&
         GetCategory(m_current) != AnimTable::kCoasting;
}

bool CSkaterAnimator::IsFollowingRoute() const {
  const CSkater::Route& route = m_skater.route;
  return (route.mode == 1 || m_skater.body.motionMode == CSkater::kGrinding) && route.index >= 0 &&
         static_cast<size_t>(route.index) < route.steps.size();
}

float CSkaterAnimator::ApproxSpeed() const { return m_skater.GetVelocity().ApproxLength(); }

// --- The animation step ---

void CSkaterAnimator::Step(float dt) {
  if (!HasGroundContact()) m_airborne = true;
  if (m_current < 0) {
    Play(kCoast, true);
    return;
  }
  switch (GetCategory(m_current)) {
    case AnimTable::kWalking: StepBoardHandling(); break;
    case AnimTable::kCoasting: StepCoasting(); break;
    case AnimTable::kFlip:
    case AnimTable::kAir: StepLanding(); break;
    case AnimTable::kGrind: {
      const CSkater::RouteStep* step = IsFollowingRoute() ? m_skater.GetCurrentStep() : nullptr;
      if (step == nullptr || !step->hasLink || (step->edge.kind & 0x1000u) == 0) Play(kCoast, true);
      break;
    }
    case AnimTable::kManual:
      if (Finished()) Play(kCoast, true);
      break;
    case AnimTable::kCrash:
      if (m_skater.body.motionMode != CSkater::kCrashed) Play(kCoast, true);
      break;
    default: break;
  }
}

void CSkaterAnimator::StepBoardHandling() {
  CSkater::Body& body = m_skater.body;
  switch (m_current) {
    case kWalk:
    case kWalkStairs: StepWalk(); break;
    case kWalkInjured:
      if (!m_skater.mind.needWalk) Play(kPickupBoard, true);
      break;
    case kCrouch:
      if (m_link->IsPlayer(m_skater) && !body.crouchKey) Play(kCoast, true);
      break;
    case kTakeOff: StepLaunch(); break;
    case kLandPerfect:
    case kLandOffBalance:
      if (Finished()) Play(kCoast, true);
      break;
    case kPickupBoard:
      body.animSpeed = 2.0f;
      if (Finished() && ApproxSpeed() > kWalkingSpeed) Play(m_skater.mind.needWalk ? kWalkInjured : kWalk, true);
      break;
    case kPutDownBoard:
      body.animSpeed = 2.0f;
      // Once the board is down the skater rolls on it; held in this pose it would coast frozen.
      if (Finished()) Play(kCoast, true);
      break;
    case kFootStop:
      if (Finished()) Play(kPickupBoard, true);
      break;
    default: break;
  }
}

void CSkaterAnimator::StepWalk() {
  m_skater.body.animSpeed = 1.5f;
  if (ApproxSpeed() < kWalkingSpeed) {
    Play(kPickupBoard, true);
    return;
  }
  const int want = m_skater.GetMotion().GetGroundNormal().z >= 0.8f ? kWalk : kWalkStairs;
  if (want != m_current) PlayAt(want, m_time);  // the stride goes on where it was
}

void CSkaterAnimator::StepLaunch() {
  CSkater::Body& body = m_skater.body;
  const float launch = GetLength(kTakeOff);
  if (m_time <= launch) return;
  const int chosen = static_cast<int>(body.currentTrick);
  // A jump without a chosen trick still shows one: the ollie. It is not recorded, so the current
  // trick stays as it is.
  const int trick = Table().Get(chosen) != nullptr ? chosen : kOllie;
  Play(trick, true);
  if (m_link->IsPlayer(m_skater)) return;
  // The trick fills the rest of the flight.
  const float rest = body.airTime - launch;
  body.animSpeed = rest > 0.0f ? Clamp(GetLength(trick) / rest, 0.2f, 2.0f) : 1.0f;
}

void CSkaterAnimator::StepCoasting() {
  CSkater::Body& body = m_skater.body;
  body.animSpeed = 1.0f;
  const float now = static_cast<float>(m_link->GetWorldTime());
  if (m_skater.GetTricks().GetCount() > 0 && !m_skater.GetTricks().IsFinished(0)) {
    m_skater.GetTricks().CloseTricks(true, false, now, body.spinAngle);
  }
  body.spinAngle = 0.0f;
  if (!HasGroundContact()) return;
  m_airborne = false;
  body.lean = Lean();
  if (IsFollowingRoute() && JumpAhead()) {
    Play(kCrouch, true);
    return;
  }
  if (m_current != kCoast) {
    StepLean(body.lean);
    return;
  }
  if (body.lean < -1.0f) {
    Play(kLeanLeftIn, true);
  } else if (body.lean > 1.0f) {
    Play(kLeanRightIn, true);
  } else if (body.forwardInput > 0.0f) {
    const float maxSpeed = m_skater.GetParams()[SkaterParams::kWalkingBlock + 8 * std::min(body.motionMode, 3u) + 2];
    if (ApproxSpeed() < 0.8f * maxSpeed && now - body.lastPushTime > kPushInterval) Play(kPushIn, true);
  }
}

void CSkaterAnimator::StepLean(float lean) {
  // A lean that turns back part-way leaves from the mirrored point of the other half.
  const auto mirrored = [this](int entry) { PlayAt(entry, GetLength(entry) - m_time); };
  const bool left = lean < 0.0f, right = lean > 0.0f;
  switch (m_current) {
    case kLeanLeftIn:
      if (!left) mirrored(kLeanLeftOut);
      else if (Finished()) Play(kLeanLeft, true);
      break;
    case kLeanLeft:
      if (!left) Play(kLeanLeftOut, true);
      break;
    case kLeanLeftOut:
      if (left) mirrored(kLeanLeftIn);
      else if (Finished()) Play(kCoast, true);
      break;
    case kLeanRightIn:
      if (!right) mirrored(kLeanRightOut);
      else if (Finished()) Play(kLeanRight, true);
      break;
    case kLeanRight:
      if (!right) Play(kLeanRightOut, true);
      break;
    case kLeanRightOut:
      if (right) mirrored(kLeanRightIn);
      else if (Finished()) Play(kCoast, true);
      break;
    case kPushIn:
      if (!Finished()) break;
      Play(kPush, true);
      PlaySound(Sound::kPush);
      m_skater.body.lastPushTime = static_cast<float>(m_link->GetWorldTime());
      break;
    case kPush:
      if (Finished()) Play(kPushOut, true);
      break;
    case kPushOut:
      if (Finished()) Play(kCoast, true);
      break;
    default: break;
  }
}

float CSkaterAnimator::Lean() const {
  if (m_link->IsPlayer(m_skater)) return m_skater.body.steerInput * 10.0f;
  if (!IsFollowingRoute()) return 0.0f;
  // The point kLeanAhead along the route polyline from the skater, by approximate lengths.
  const Vector3 here = m_skater.GetCentre();
  Vector3 from = here, point = here;
  float left = kLeanAhead;
  for (size_t i = static_cast<size_t>(m_skater.route.index); i < m_skater.route.steps.size(); ++i) {
    const CSkatePathNode* node = m_skater.GetRouteNode(i);
    if (node == nullptr) break;
    const Vector3 to = node->GetPosition();
    const float length = (to - from).ApproxLength();
    if (length >= left) {
      point = from + (to - from) * (left / length);
      break;
    }
    left -= length;
    point = from = to;
  }
  return -(point - here).Dot(m_skater.GetFrame().GetMatrix().m[1]);
}

bool CSkaterAnimator::JumpAhead() const {
  const CSkater::Route& route = m_skater.route;
  Vector3 from = m_skater.GetCentre();
  float walked = 0.0f;
  for (size_t i = static_cast<size_t>(route.index); i + 1 < route.steps.size(); ++i) {
    const CSkatePathNode* node = m_skater.GetRouteNode(i);
    if (node == nullptr) return false;
    walked += (node->GetPosition() - from).ApproxLength();
    if (walked > kCrouchAhead) return false;
    const CSkater::RouteStep& next = route.steps[i + 1];  // the link that begins at node i
    if (next.hasLink && IsJumpLink(next.edge.kind)) return true;
    from = node->GetPosition();
  }
  return false;
}

void CSkaterAnimator::StepLanding() {
  if (!HasGroundContact() || !m_airborne) return;
  m_airborne = false;
  CSkater::Body& body = m_skater.body;
  body.airTime = 0.0f;
  body.animSpeed = 1.0f;
  body.trickFlag = false;
  const bool player = m_link->IsPlayer(m_skater);
  if (body.motionMode == CSkater::kGrinding && !player) {
    m_link->StartGrind(m_skater);
    body.spinAngle = 0.0f;
    return;
  }
  if (body.landingError >= kOffBalanceError) {
    Play(kLandOffBalance, true);
    PlayOneShot(Table().GetSingleSound(AnimTable::kLandOffBalance), false);
  } else {
    Play(kLandPerfect, true);
    PlayOneShot(Table().GetSingleSound(AnimTable::kPush), false);
    const uint32_t material = m_link->GetSurfaceMaterial(body.underfootObject);
    PlayOneShot(Table().GetSurfaceSound(material, AnimTable::kLand), false);
  }
  // The mind closes the open tricks (off balance by the same landing error) and values them.
  const float value = m_skater.FinishAirTrick();
  RewardLanding(value, player);
  body.spinAngle = 0.0f;
}

void CSkaterAnimator::RewardLanding(float value, bool player) {
  if (player && value > 0.0f && m_link->GetBonusFactor() > 0.0f) {
    PlayOneShot(Table().GetSingleSound(AnimTable::kCash), true);  // heard at any rank
    m_link->AwardTrickBonus(value);
  }
  if (value > (player ? 30.0f : 10.0f) && static_cast<float>(plat::rand()) * kInvRandMax < 0.75f) {
    PlayOneShot(Table().GetSingleSound(AnimTable::kCoolTrickVoice), false);
  }
}


// --- Sounds ---

float CSkaterAnimator::SoundLevel() const {
  COrientation camera;
  bool orthographic = false;
  if (!m_link->GetCamera(camera, orthographic)) return 0.0f;
  const Vector3 offset = m_skater.GetCentre() - camera.GetPosition();
  if (orthographic) {
    // Over the park the distance counts from the viewing line, as the skaters are ranked.
    const Vector3& view = camera.GetMatrix().m[0];
    const float distance = (offset - view * offset.Dot(view)).Length();
    return 1.0f - Clamp((distance - 20.0f) * 0.0125f, 0.0f, 1.0f);
  }
  return 1.0f - Clamp((offset.ApproxLength() - 4.0f) / 26.0f, 0.0f, 1.0f);
}

int32_t CSkaterAnimator::Volume(float level) {
  if (!(level > 0.0f)) return kSilent;
  return static_cast<int32_t>(level * 3000.0f - 3000.0f);
}

bool CSkaterAnimator::IsAudible() const { return m_skater.GetSoundRank() < kAudibleRanks; }

int CSkaterAnimator::PlayOneShot(int id, bool anyRank) {
  if (id < 0 || (!anyRank && !IsAudible())) return -1;
  return m_link->PlaySound(id, false, Volume(SoundLevel()));
}

void CSkaterAnimator::PlaySound(Sound sound) {
  AnimTable::SingleSound single = AnimTable::kOllie;
  switch (sound) {
    case Sound::kTrick: single = AnimTable::kOllie; break;
    case Sound::kGrind: single = AnimTable::kStartGrind; break;
    case Sound::kSlide: single = AnimTable::kStartSlide; break;
    case Sound::kExitGrind: single = AnimTable::kExitGrind; break;
    case Sound::kExitSlide: single = AnimTable::kExitSlide; break;
    case Sound::kCrash: single = AnimTable::kCrashSound; break;
    case Sound::kChangeDirection: single = AnimTable::kChangeDirection; break;
    case Sound::kPutBoardDown: single = AnimTable::kPutBoardDown; break;
    case Sound::kPush: single = AnimTable::kPush; break;
  }
  PlayOneShot(Table().GetSingleSound(single), false);
}

void CSkaterAnimator::UpdateRollingSound(float dt) {
  if (!IsAudible()) {
    if (m_loopHandle >= 0) m_link->StopSound(m_loopHandle);
    m_loopHandle = m_loopId = -1;
    return;
  }
  const bool contact = HasGroundContact();
  const CSkater::Body& body = m_skater.body;
  if (contact) {
    uint32_t action = AnimTable::kSkate;
    if (body.motionMode == CSkater::kWalking) action = AnimTable::kWalk;
    if (body.motionMode == CSkater::kGrinding) action = AnimTable::IsGrindIndex(body.animIndex) ? AnimTable::kGrindSound : AnimTable::kSlide;
    m_loopChoice = Table().GetSurfaceSound(m_link->GetSurfaceMaterial(body.underfootObject), action);
  }
  const float loudness = contact ? Clamp(ApproxSpeed() * 0.25f, 0.0f, 1.0f) * SoundLevel() : 0.0f;
  if (m_loopChoice == m_loopId) {
    if (m_loopHandle >= 0) m_link->SetSoundVolume(m_loopHandle, Volume(loudness));
    return;
  }
  if (m_loopHandle >= 0) m_link->StopSound(m_loopHandle);
  m_loopHandle = m_loopChoice >= 0 ? m_link->PlaySound(m_loopChoice, true, Volume(loudness)) : -1;
  // A loop that could not start is tried again next time.
  m_loopId = m_loopHandle >= 0 ? m_loopChoice : -1;
}
