#include "park/pieces/StructureBody.h"

#include <algorithm>
#include <cmath>

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/data/LittleEndian.h"
#include "core/spatial/Octree.h"
#include "park/pieces/StructureFire.h"
#include "physics/collision/SphereTreeNode.h"
#include "physics/collision/StaticObstacle.h"
#include "physics/terrain/TerrainCollision.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

namespace {
constexpr uint32_t kNetworkClientMode = 4;
}

CStructureBody::CStructureBody() = default;

CStructureBody::~CStructureBody() {
  DestroyCollision();
  // The fire is a world object of its own: it is told to go, not deleted here.
  if (CGameObject* fire = GetFire()) fire->MarkForRemoval();
}

bool CStructureBody::InitFromMesh(const COrientation& frame, int meshId, bool buildCollision, bool fullDetail) {
  ShadedMesh* mesh = ShadedMesh::FromResource(GetWorldResourceTable(), meshId);
  if (mesh == nullptr) return false;
  return InitFromMeshData(frame, mesh, meshId, buildCollision, fullDetail);
}

bool CStructureBody::InitFromMeshData(const COrientation& frame, ShadedMesh* mesh, int meshId, bool buildCollision,
                                      bool fullDetail) {
  if (mesh == nullptr) return false;
  SetCollisionFlags(true, false, false, false, false, false);
  SetNetworkFlags(true, true, true, false, false, true, false);
  AddBoundFlags(kTargetableBit);
  m_meshId = meshId;
  m_mesh = mesh;
  CreateMeshInstance(frame);
  if (fullDetail)
    GetMeshInstance()->UseFullDetailLOD();
  else
    GetMeshInstance()->ResetLOD();
  if (buildCollision) BuildCollision();
  RecomputeBounds();
  const size_t attached = CreateAttachObjects(GetMeshInstance());
  // A still structure with nothing hung on it needs no tick; subclasses that charge per tick
  // must set the bits again.
  if (attached == 0 && !GetMeshInstance()->HasControllerInTree() && GetMeshInstance()->GetAnimationSet() == nullptr)
    ClearFlags(kNeedsUpdate);
  return true;
}

void CStructureBody::CreateMeshInstance(const COrientation& frame) {
  auto instance = std::make_unique<CMeshInstance>();
  instance->SetMesh(m_mesh, false, false, false, 0, 0, nullptr, true, nullptr);
  instance->SetTransform(&frame, true);
  SetMeshInstance(std::move(instance));
}

const COrientation& CStructureBody::GetWorldMatrix() { return GetMeshInstance()->GetWorldMatrix(); }

void CStructureBody::RecomputeBounds() {
  if (GetMeshInstance() == nullptr) return;
  Box box;
  GetMeshInstance()->GetWorldBounds(box);
  if (m_obstacle) {
    const Box& other = m_obstacle->GetBounds();
    box.min.Set(std::min(box.min.x, other.min.x), std::min(box.min.y, other.min.y), std::min(box.min.z, other.min.z));
    box.max.Set(std::max(box.max.x, other.max.x), std::max(box.max.y, other.max.y), std::max(box.max.z, other.max.z));
  }
  SetBounds(box);
}

void CStructureBody::BuildCollision() {
  DestroyCollision();
  std::vector<int> markers;
  m_mesh->CollectAttachPoints(kAttachSphereMarker, markers);
  auto sphereOf = [this](int index, SphereTreeNode& out) {
    const AttachPoint& point = m_mesh->attachPoints[static_cast<size_t>(index)];
    out.centre = point.transform.position;
    out.radius = point.GetLength() >= 4 ? le::ReadF32(point.GetData()) : 0.0f;
  };
  if (markers.size() == 1) {
    m_sphereSet = std::make_unique<SphereTreeNode>();
    sphereOf(markers[0], *m_sphereSet);
  } else if (markers.size() > 1) {
    m_sphereSet = std::make_unique<SphereTreeNode>();
    if (m_sphereSet->AllocateChildren(static_cast<uint32_t>(markers.size()))) {
      for (size_t i = 0; i < markers.size(); ++i) sphereOf(markers[i], m_sphereSet->children[i]);
      m_sphereSet->FitToChildren();
    }
  }
  if (m_sphereSet) {
    m_obstacle = std::make_unique<CStaticObstacle>();
    if (!m_obstacle->Setup(m_sphereSet.get(), GetWorldMatrix(), GetMeshInstance(), this)) m_obstacle.reset();
    if (m_obstacle && (GetBoundFlags() & kCastsProjectedShadow) != 0) m_obstacle->ClearBoundFlags(kBlocksStaticShadowRays);
    return;
  }
  m_collisionMesh = GetMeshInstance()->GetCurrentLOD();
  if (m_collisionMesh == nullptr) m_collisionMesh = GetMeshInstance();
  BuildTerrainCollisionPolygons(nullptr, m_collisionMesh, nullptr, 7, this, false, false);
}

void CStructureBody::DestroyCollision() {
  UnfileCollision();
  m_obstacle.reset();
  m_sphereSet.reset();
  ReleasePrimitives();
  m_collisionMesh = nullptr;
}

void CStructureBody::FileCollision() {
  COctree* octree = GetWorldOctree();
  if (octree == nullptr || m_filed) return;
  if (m_obstacle) {
    octree->InsertObject(m_obstacle.get());
  } else if (m_collisionMesh != nullptr) {
    BuildTerrainCollisionPolygons(octree, m_collisionMesh, nullptr, 7, this, false, false);
  }
  m_filed = true;
}

void CStructureBody::UnfileCollision() {
  if (!m_filed) return;
  COctree* octree = GetWorldOctree();
  if (octree != nullptr && m_obstacle && octree->Contains(m_obstacle.get())) octree->RemoveObject(m_obstacle.get());
  ReleasePrimitives();
  m_filed = false;
}

void CStructureBody::ReleasePrimitives() {
  if (m_collisionMesh == nullptr) return;
  // Polygons and patches leave the octree when the instance lets go of them.
  m_collisionMesh->SetTerrainPolygons(nullptr, 0);
  m_collisionMesh->SetTerrainPatches(nullptr, 0);
}

void CStructureBody::RebuildCollision() {
  DestroyCollision();
  BuildCollision();
  FileCollision();
  RecomputeBounds();
  if (GetMeshInstance() != nullptr) GetMeshInstance()->InvalidateLighting();
  if ((GetBoundFlags() & kFiled) != 0)
    if (COctree* octree = GetWorldOctree()) octree->UpdateObject(this);
}

void CStructureBody::Init(bool created) {
  (void)created;
  FileCollision();
}

float CStructureBody::WorldTime() const {
  CGameWorld* world = GetGameWorld();
  return world != nullptr ? static_cast<float>(world->GetWorldTime()) : 0.0f;
}

bool CStructureBody::IsNetworkClient() const { return GetNetworkMode() == kNetworkClientMode; }

void CStructureBody::Update(float dt) {
  m_handledEvents.clear();
  UpdateAttachObjects(dt);
  if (GetMeshInstance() != nullptr) GetMeshInstance()->AdvanceTime(dt);
}

void CStructureBody::ApplyDamage(const Vector3& position, float amount) {
  (void)position;
  if (IsNetworkClient() || damage >= hitPoints) return;
  damage += amount;
  if (damage >= hitPoints) OnDestroyed();
}

void CStructureBody::OnImpact(const Vector3& position, float impulse) {
  if (impulse > impactThreshold) ApplyDamage(position, (impulse - impactThreshold) * impactDamageFactor);
}

void CStructureBody::Ignite(const Vector3& position, float heat) {
  if (!(heat > heatThreshold)) return;
  CGameWorld* world = GetGameWorld();
  const float tick = world != nullptr ? world->GetTickLength() : 0.0f;
  ApplyDamage(position, (heat - heatThreshold) * tick * heatDamageFactor);
  if (GetFire() != nullptr || IsNetworkClient() || world == nullptr) return;
  std::unique_ptr<CGameObject> object = world->CreateObject(CStructureFire::kTypeCode);
  auto* fire = dynamic_cast<CStructureFire*>(object.get());
  if (fire == nullptr) return;
  fire->Start(GetID(), position, fireStrength, 4.0f, fireValue, 1.0f, 1.0f, kNoOwner);
  m_fireId = world->RegisterNewObject(std::move(object));
}

CGameObject* CStructureBody::GetFire() {
  if (m_fireId == kNoFire) return nullptr;
  CGameWorld* world = GetGameWorld();
  CGameObject* fire = world != nullptr ? world->GetObjectByID(m_fireId) : nullptr;
  if (fire == nullptr || fire->IsMarkedForRemoval()) {
    m_fireId = kNoFire;
    return nullptr;
  }
  return fire;
}

bool CStructureBody::HandleEvent(const StructureEvent& event, const StructureContact& contact) {
  if (event.eventKind < StructureEvent::kImpact || event.eventKind > StructureEvent::kAreaPush) return false;
  if (event.eventKind == StructureEvent::kImpact) {
    m_lastImpactTime = WorldTime();
    OnImpact(contact.position, event.value);
    return true;
  }
  if (std::find(m_handledEvents.begin(), m_handledEvents.end(), &event) != m_handledEvents.end()) return true;
  float strength = event.value;
  if (event.eventKind >= StructureEvent::kAreaDamage) {
    // Approximate distance, in radii of the event.
    const Vector3 d(std::fabs(contact.position.x - event.vector.x), std::fabs(contact.position.y - event.vector.y),
                    std::fabs(contact.position.z - event.vector.z));
    const float largest = std::max(d.x, std::max(d.y, d.z));
    const float r = (largest + 0.25f * (d.x + d.y + d.z - largest)) / event.radius;
    if (!(r <= 1.0f)) return true;
    strength = event.magnitude * (1.0f - event.falloff * r);
  }
  m_handledEvents.push_back(&event);
  CGameWorld* world = GetGameWorld();
  const float tick = world != nullptr ? world->GetTickLength() : 0.0f;
  switch (event.eventKind) {
    case StructureEvent::kDamage: ApplyDamage(contact.position, strength); break;
    case StructureEvent::kHeat: Ignite(contact.position, strength); break;
    case StructureEvent::kPush: ApplyForce(event.vector, contact.position); break;
    case StructureEvent::kAreaDamage: ApplyDamage(contact.position, strength * tick); break;
    case StructureEvent::kAreaHeat: Ignite(contact.position, strength); break;
    default: ApplyForce(contact.direction * strength, contact.position); break;
  }
  return true;
}

void CStructureBody::Render(CSceneDrawInterface* view) {
  RenderAttachObjects(view);
  CCollisionObject::Render(view);
}

float CStructureBody::GetAttachIntensity(int index) const {
  const float f = damage * damageScale;
  const float now = WorldTime();
  auto on = [](bool b) { return b ? 1.0f : 0.0f; };
  switch (index) {
    case 0: return 1.0f;
    case 1: return on(f <= 0.0f);
    case 2: return on(f <= 0.25f);
    case 3: return on(f <= 0.5f);
    case 4: return on(f <= 0.75f);
    case 5: return on(f >= 1.0f);
    case 6: return on(f >= 0.75f);
    case 7: return on(f >= 0.5f);
    case 8: return on(f >= 0.25f);
    case 9: return on(now - m_pulseTime <= 0.1f && m_pulseLevel > 0.0f);
    case 10: return on(now - m_pulseTime <= 0.1f && m_pulseLevel > 0.8f);
    case 11: return on(now - m_pulseTime <= 0.1f && m_pulseLevel > 0.16f);
    case 20: return on(now - m_lastImpactTime <= 1.0f);
    case 21: return on(now - m_lastImpactTime > 1.0f);
    default: break;
  }
  // 12-19 and 22 on: the trigger of that id in the sequence the mesh instance plays.
  const CMeshInstance* instance = GetMeshInstance();
  if (index < 0 || instance == nullptr) return 0.0f;
  return instance->GetSequencePlayer().IsTriggerActive(static_cast<uint32_t>(index));
}
