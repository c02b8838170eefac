#include "combat/Body.h"

#include "combat/BodyCreation.h"
#include "core/data/DebugPrintf.h"
#include "core/data/ResourceTable.h"
#include "core/spatial/Octree.h"
#include "core/world/GameMessage.h"
#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "physics/rigid/RigidCollisionReport.h"

CBody::CBody() { SetNetworkFlags(true, true, false, false, true, true, false); }

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

bool CBody::SweepThroughWorld(float dt) {
  if (COctree* octree = GetOctree()) return Move(octree, dt, false, kTopDepth, nullptr);
  // Nothing to meet outside the world: the pose just advances.
  GetState().AdvancePose(dt);
  GetState().CommitPose();
  SetOrientation(GetState().GetFrame());
  return true;
}

bool CBody::SetupFromResource(void* resource, uint16_t type, const COrientation& placement) {
  if (type != kResourceRigidBody) return false;
  Setup(static_cast<const RigidConst*>(resource), placement);
  return true;
}

bool CBody::HandleCollision(const CollisionInfo* info, const IntersectionResult* hit) {
  if (info != nullptr && info->kind == RigidCollisionReport::kKind) {
    const auto* report = static_cast<const RigidCollisionReport*>(info);
    ++m_impacts;
    m_impulseTotal += report->impulse;
    if (report->impulse > m_hardestImpact) m_hardestImpact = report->impulse;
    // The body that moved into the other fills the report and has just taken the other as its
    // partner (none against static shapes); the other side hears the mover's report.
    const CCollisionObject* other = report->object != this ? report->object : GetPartner();
    if (const auto* object = dynamic_cast<const CGameObject*>(other)) {
      Contacts& c = m_contacts[object->GetID()];
      ++c.count;
      c.impulse += report->impulse;
    }
    return true;
  }
  return CRigidCollisionBody::HandleCollision(info, hit);
}

bool CBody::SetupFromTable(const std::string& model, const COrientation& placement) {
  CGameWorld* world = GetGameWorld();
  CResourceTable* table = world != nullptr ? world->GetResourceTable() : nullptr;
  if (table == nullptr) {
    DebugPrintf("CBody: no resource table for %s\n", model.c_str());
    return false;
  }
  // Only a registered asset: a message from elsewhere must not make the table open a path it names.
  const int index = table->FindByName(model.c_str());
  void* resource = index >= 0 ? table->GetResource(index) : nullptr;
  if (resource == nullptr || !SetupFromResource(resource, table->GetType(index), placement)) {
    DebugPrintf("CBody: %s cannot be made of %s\n", GetInfoString(), model.c_str());
    return false;
  }
  m_modelName = model;
  return true;
}

CBody::Contacts CBody::GetContactsWith(uint32_t otherId) const {
  const auto it = m_contacts.find(otherId);
  return it != m_contacts.end() ? it->second : Contacts();
}

bool CBody::ReceiveMessage(uint32_t senderID, const uint8_t* message) {
  if (message == nullptr || !GameMessage::IsCreate(message)) return false;
  const uint32_t size = GameMessage::Size(message);
  BodyCreation data;
  if (size < GameMessage::kCreateHeaderSize ||
      !data.Read(message + GameMessage::kCreateHeaderSize, size - GameMessage::kCreateHeaderSize) ||
      !SetupFromTable(data.model, data.frame))
    return false;
  SetOwnerID(GameMessage::ReadU32(message, GameMessage::kOwnerOffset));
  return true;
}

uint8_t* CBody::BuildCreateMessage(bool full) {
  CGameWorld* world = GetGameWorld();
  if (world == nullptr || m_modelName.empty() || GetTypeCode() == kNoTypeCode) return nullptr;
  const uint32_t size = GameMessage::kCreateHeaderSize + static_cast<uint32_t>(BodyCreation::kDataBytes);
  uint8_t* message = world->AllocMessage(size);
  if (message == nullptr) return nullptr;
  GameMessage::SetCreateHeader(message, size, GetID(), GameMessage::kCreate, world->GetStepCount(), GetTypeCode(),
                               GetOwnerID());
  BodyCreation data;
  data.model = m_modelName;
  data.frame = GetFrame();
  data.Write(message + GameMessage::kCreateHeaderSize);
  return message;
}

void CBody::TakeAwayUnlessPlaced(bool placed, const char* className, const char* noun) {
  if (placed) return;
  const Vector3& at = GetFrame().position;
  DebugPrintf("%s: no room at (%.2f, %.2f, %.2f); the %s is taken away\n", className, at.x, at.y, at.z, noun);
  MarkForRemoval();
}
