// CSphereCollisionObject: set-up, swept movement and the bounce of a moving sphere.
#include "physics/collision/SphereCollisionObject.h"

#include <cmath>
#include <memory>

#include "core/data/DebugPrintf.h"
#include "core/spatial/Octree.h"
#include "physics/collision/BeamInfo.h"
#include "physics/collision/CollisionFlags.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

bool AllFinite(const float* v, int n) {
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(v[i])) return false;
  }
  return true;
}

bool Finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

void ReadOrientation(COrientation& out, const float m[12]) {
  for (int row = 0; row < 3; ++row) out.axes.m[row] = Vector3(m[3 * row], m[3 * row + 1], m[3 * row + 2]);
  out.position = Vector3(m[9], m[10], m[11]);
}

}  // namespace

CSphereCollisionObject::CSphereCollisionObject() = default;

bool CSphereCollisionObject::Setup(const float orientation[12], const Vector3& velocity, float radius,
                                   ShadedMesh* mesh, float restitution, float friction) {
  if (orientation == nullptr || !AllFinite(orientation, 12) || !Finite(velocity) || !(radius > 0.0f) ||
      !std::isfinite(radius) || !std::isfinite(restitution) || !std::isfinite(friction)) {
    DebugPrintf("CSphereCollisionObject: refused a set-up with a bad frame, velocity or radius\n");
    return false;
  }
  ReadOrientation(m_orientation, orientation);
  m_velocity = velocity;
  m_radius = radius;
  m_inverseRadius = 1.0f / radius;
  m_restitution = restitution;
  m_friction = friction;
  BindMesh(mesh, true, 0, 10);
  RebuildLocalBounds();
  SetCollisionFlags(true, false, false, true, restitution >= 0.0f, true);
  SetFlags(true, true, false, false, true);
  SetBounds(Box(m_orientation.position + m_localBounds.min, m_orientation.position + m_localBounds.max));
  return true;
}

void CSphereCollisionObject::BindMesh(ShadedMesh* mesh, bool dynamicLighting, uint32_t stampFirst,
                                      uint32_t stampLast) {
  SetMeshInstance(nullptr);
  if (mesh == nullptr) return;
  // The sphere's frame is the instance's own (local) transform, set on every commit; binding it
  // as the pivot as well would apply it twice.
  auto instance = std::make_unique<CMeshInstance>();
  if (!instance->SetMesh(mesh, false, true, dynamicLighting, stampFirst, stampLast, nullptr, true, nullptr)) {
    DebugPrintf("CSphereCollisionObject: the mesh could not be bound\n");
    return;
  }
  SetMeshInstance(std::move(instance));
  PlaceMeshInstance();
}

void CSphereCollisionObject::RebuildLocalBounds() {
  const float r = m_radius > 0.0f ? m_radius : 0.0f;
  m_localBounds = Box(Vector3(-r, -r, -r), Vector3(r, r, r));
  CMeshInstance* instance = GetMeshInstance();
  if (instance != nullptr && instance->GetMesh() != nullptr) {
    const float reach = instance->GetMesh()->radius * instance->GetWorldScale();
    if (std::isfinite(reach) && reach > r) m_localBounds = Box(Vector3(-reach, -reach, -reach), Vector3(reach, reach, reach));
  }
}

void CSphereCollisionObject::SetMesh(ShadedMesh* mesh, COctree* octree, bool dynamicLighting) {
  const CMeshInstance* old = GetMeshInstance();
  const uint32_t first = old != nullptr ? old->GetStampFirst() : 0;
  const uint32_t last = old != nullptr ? old->GetStampLast() : 10;
  BindMesh(mesh, dynamicLighting, first, last);
  RebuildLocalBounds();
  UpdateWorldBox(octree);
}

void CSphereCollisionObject::SetRadius(float radius, COctree* octree) {
  if (!(radius > 0.0f) || !std::isfinite(radius)) {
    DebugPrintf("CSphereCollisionObject: refused radius %f\n", double(radius));
    return;
  }
  m_radius = radius;
  m_inverseRadius = 1.0f / radius;
  RebuildLocalBounds();
  UpdateWorldBox(octree);
}

void CSphereCollisionObject::SetOrientation(const float orientation[12], COctree* octree) {
  StoreOrientation(orientation);
  UpdateWorldBox(octree);
}

void CSphereCollisionObject::StoreOrientation(const float orientation[12]) {
  if (orientation == nullptr || !AllFinite(orientation, 12)) {
    DebugPrintf("CSphereCollisionObject: refused a frame that is not finite\n");
    return;
  }
  ReadOrientation(m_orientation, orientation);
}

void CSphereCollisionObject::UpdateWorldBox(COctree* octree) {
  SetBounds(Box(m_orientation.position + m_localBounds.min, m_orientation.position + m_localBounds.max));
  if (octree != nullptr && IsFiled()) octree->UpdateObject(this);
}

bool CSphereCollisionObject::Intersect(GenericIntersection* query) {
  // A sphere that was never set up has no shape to meet (its radius is negative).
  return IsSetUp() && query->IntersectSphere(m_orientation.position, m_radius);
}

void CSphereCollisionObject::PlaceMeshInstance() {
  if (CMeshInstance* instance = GetMeshInstance()) instance->SetTransform(&m_orientation, true);
}

void CSphereCollisionObject::Render(CSceneDrawInterface* view) {
  PlaceMeshInstance();
  CCollisionObject::Render(view);
}

bool CSphereCollisionObject::HandleCollision(const CollisionInfo* info, const IntersectionResult* hit) {
  if (m_handler != nullptr) return m_handler->HandleCollision(info, hit);
  if (info == nullptr) return false;
  if (info->kind == CollisionInfo::kStatic) {
    CollideWithStatic(info, hit);
    return true;
  }
  if (info->kind == CollisionInfo::kBody) {
    CollideWithBody(info, hit);
    return true;
  }
  return false;
}

SweepQuery CSphereCollisionObject::CreateSweepQuery(float dt) {
  if (!IsSetUp()) {
    DebugPrintf("CSphereCollisionObject: a sphere that is not set up cannot move\n");
    return SweepQuery();
  }
  if (!Finite(m_velocity)) {
    DebugPrintf("CSphereCollisionObject: velocity was not finite and is cleared\n");
    m_velocity = Vector3(0.0f, 0.0f, 0.0f);
  }
  const Vector3& centre = m_orientation.position;
  Vector3 end = centre + m_velocity * dt;
  if (!Finite(end)) end = centre;
  auto query = std::make_unique<BeamInfo>(centre, end, m_radius);
  query->result.Reset();
  query->kind = 2;
  query->mode = QueryMode::kDetails;
  return SweepQuery(std::move(query));
}

void CSphereCollisionObject::ApplySweep(COctree* octree, GenericIntersection* query) {
  const RayInfo* sweep = dynamic_cast<const RayInfo*>(query);
  if (sweep == nullptr || !Finite(sweep->end)) return;
  m_orientation.position = sweep->end;
  UpdateWorldBox(octree);
  PlaceMeshInstance();
}

void CSphereCollisionObject::Respond() {
  if (m_restitution < 0.0f) return;
  const Vector3& n = m_contactNormal;
  const float vn = m_velocity.Dot(n);
  // Only a sphere moving into the surface bounces; one already leaving keeps its velocity,
  // so contacts can never add speed.
  if (!(vn < 0.0f)) return;
  const Vector3 tangential = m_velocity - n * vn;
  m_velocity = m_velocity - tangential * m_friction - n * ((1.0f + m_restitution) * vn);
}

void CSphereCollisionObject::CollideWithStatic(const CollisionInfo*, const IntersectionResult*) { Respond(); }

void CSphereCollisionObject::CollideWithBody(const CollisionInfo*, const IntersectionResult*) { Respond(); }
