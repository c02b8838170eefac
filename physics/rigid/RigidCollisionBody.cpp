#include "physics/rigid/RigidCollisionBody.h"

#include <cmath>

#include "core/spatial/Octree.h"
#include "physics/collision/BeamInfo.h"
#include "physics/collision/CollisionFlags.h"
#include "physics/collision/SphereTree.h"
#include "physics/collision/SphereTreeDraw.h"
#include "physics/collision/SphereTreeNode.h"
#include "physics/collision/SphereTreeWalk.h"
#include "physics/collision/SurfaceType.h"
#include "physics/polyhedron/BeamArrayInfo.h"
#include "physics/polyhedron/PolyTree.h"
#include "physics/polyhedron/PolyTreeFaceQuery.h"
#include "physics/polyhedron/PolyhedronQueryInfo.h"
#include "physics/rigid/RigidBodyMath.h"
#include "physics/rigid/RigidConst.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/SceneDrawInterface.h"

namespace {

// The sweep queries of the bodies are shared: only one body sweeps at a time.
BeamArrayInfo& SharedBeams() {
  static BeamArrayInfo beams;
  return beams;
}

CPolyhedronInfo& SharedPolyhedronQuery() {
  static CPolyhedronInfo query(nullptr, COrientation(), COrientation());
  return query;
}

// Each beam answers for itself, so it carries the array's mode bits.
void AddBeam(BeamArrayInfo& array, const Vector3& from, const Vector3& to, float radius) {
  array.beams.emplace_back(from, to, radius);
  array.beams.back().mode = array.mode;
  Box box;
  array.beams.back().GetBounds(box);
  array.boxes.push_back(box);
}

}  // namespace

CRigidCollisionBody::CRigidCollisionBody() {
  m_info.kind = CollisionInfo::kBody;
  m_info.object = this;
  SetCollisionFlags(true, true, true, true, true, false);
  SetFlags(true, true, true, false, true);
  AddBoundFlags(0x28000);
}

CRigidCollisionBody::~CRigidCollisionBody() = default;

const SphereTreeNode* CRigidCollisionBody::GetSphereTree() const {
  return m_model ? &m_model->GetSphereRoot() : nullptr;
}

void CRigidCollisionBody::PlaceTree(SphereTreeNode* tree, const COrientation& frame, uint32_t stamp) const {
  if (!tree || !m_model) return;
  tree->centre = frame.LocalToWorldPoint(m_model->GetSphereRoot().centre);
  tree->stamp = stamp;
}

void CRigidCollisionBody::UpdateMovableFlag() {
  if (m_state.anchored)
    ClearBoundFlags(CollisionFlags::kPushable);
  else
    AddBoundFlags(CollisionFlags::kPushable);
}

void CRigidCollisionBody::SetModel(const RigidConst* model, const COrientation& frame, const Vector3& velocity,
                                   const Vector3& angularVelocity) {
  m_model = model;
  m_state.Init(frame, velocity, angularVelocity, model ? &model->GetMass() : nullptr,
               model ? &model->GetParams().surface : SurfaceType::Get(0), false);
  m_frame = frame;
  m_currentTree.reset();
  m_spareTree.reset();
  m_pieces.reset();
  if (model) {
    m_currentTree = SphereTree::Build(&model->GetSphereRoot(), nullptr);
    m_spareTree = SphereTree::Build(&model->GetSphereRoot(), nullptr);
    PlaceTree(m_currentTree.get(), frame, m_currentStamp);
    if (model->GetPieces()) m_pieces = std::make_unique<PolyTree>(*model->GetPieces());
    if (model->GetMesh()) {
      // The model is shared and read-only; the instance only reads the mesh through this pointer.
      auto instance = std::make_unique<CMeshInstance>();
      const Matrix4 place = frame.ToMatrix4();
      if (instance->SetMesh(const_cast<ShadedMesh*>(model->GetMesh()), false, false, true, 0xFFFFFFFFu, 0xFFFFFFFFu,
                            &place, true, nullptr))
        SetMeshInstance(std::move(instance));
    }
    m_state.SetAnchorStrength(model->GetParams().anchorStrength);
  }
  RefreshPlacement(nullptr);
  UpdateMovableFlag();
  m_info.object = this;
  m_info.surface = m_state.surface;
}

void CRigidCollisionBody::RefreshPlacement(COctree* octree) {
  Box bounds = m_model ? m_model->GetTurningBounds() : Box(Vector3(), Vector3());
  bounds.min += m_state.position;
  bounds.max += m_state.position;
  SetBounds(bounds);
  COctree* tree = octree ? octree : GetOctree();
  if (tree && IsFiled()) tree->UpdateObject(this);
  // The instance's place is its pivot: the pivot alone decides whether queries and drawing
  // treat the instance as untransformed, and the local transform would compound with it.
  if (CMeshInstance* instance = GetMeshInstance()) instance->SetPivotTransform(&m_frame, true);
}

void CRigidCollisionBody::FillBeams(BeamArrayInfo& array, const COrientation& from, const COrientation& to) const {
  array.beams.clear();
  array.boxes.clear();
  const SphereTreeNode* root = GetSphereTree();
  if (!root) {
    AddBeam(array, from.position, to.position, 0.0f);
    return;
  }
  if (root->childCount == 0) {
    AddBeam(array, from.LocalToWorldPoint(root->centre), to.LocalToWorldPoint(root->centre), root->radius);
    return;
  }
  for (uint32_t i = 0; i < root->childCount; ++i) {
    const SphereTreeNode& s = root->children[i];
    AddBeam(array, from.LocalToWorldPoint(s.centre), to.LocalToWorldPoint(s.centre), s.radius);
  }
}

SweepQuery CRigidCollisionBody::CreateSweepQuery(float dt) {
  m_state.AdvancePose(dt);
  ++m_stampCounter;
  PlaceTree(m_spareTree.get(), m_state.nextPose, m_stampCounter);
  BeamArrayInfo& beams = SharedBeams();
  beams.result.Reset();
  beams.mode = QueryMode::kDetails;
  FillBeams(beams, m_frame, m_state.nextPose);
  if (m_pieces) {
    // Pieces meet other bodies' pieces; terrain and other shapes meet the spheres.
    CPolyhedronInfo& query = SharedPolyhedronQuery();
    query = CPolyhedronInfo(m_pieces.get(), m_frame, m_state.nextPose);
    query.staticQuery = &beams;
    query.normalFacesMover = true;  // the contact response pushes along it
    return SweepQuery::Shared(&query);
  }
  return SweepQuery::Shared(&beams);
}

void CRigidCollisionBody::ApplySweep(COctree* octree, GenericIntersection* query) {
  m_touchObject = GetLastHit();
  if (m_touchObject) {
    // The contact stays fixed to the body while it moves.
    m_touchPoint = m_state.nextPose.LocalToWorldPoint(m_frame.WorldToLocalPoint(m_touchPoint));
    m_touchNormal = m_state.nextPose.LocalToWorldVector(m_frame.WorldToLocalVector(m_touchNormal));
  }
  m_state.CommitPose();
  m_frame = m_state.GetFrame();
  std::swap(m_currentTree, m_spareTree);
  m_currentStamp = m_stampCounter;
  RefreshPlacement(octree);
}

void CRigidCollisionBody::SetOrientation(const COrientation& frame) {
  m_state.rotation = frame.axes;
  m_state.position = frame.position;
  m_state.hasBasePose = 0;
  m_state.UpdateAngularVelocity();
  m_frame = frame;
  ++m_stampCounter;
  PlaceTree(m_spareTree.get(), frame, m_stampCounter);
  std::swap(m_currentTree, m_spareTree);
  m_currentStamp = m_stampCounter;
  RefreshPlacement(nullptr);
  m_touchObject = nullptr;
}

bool CRigidCollisionBody::Intersect(GenericIntersection* query) {
  // Line-of-sight and aiming rays want the drawn shape, which the coarse spheres only bound.
  CMeshInstance* instance = GetMeshInstance();
  if (query->kind == 1 && (query->mode & QueryMode::kBodyMesh) && instance)
    return instance->IntersectRay(static_cast<RayInfo&>(*query), nullptr, nullptr);
  if (!m_model) return query->IntersectBox(GetBounds());
  if (m_pieces) {
    // Another body's pieces are met by the closest-feature walk; every other query (a sphere
    // body's swept spheres, a wheel, a ray) meets the pieces' faces, or it would pass through.
    if (query->kind == CPolyhedronInfo::kKind) return query->IntersectPolyhedron(m_pieces.get(), m_frame);
    return IntersectPolyTreeFaces(*query, *m_pieces, m_frame);
  }
  SphereTreeRef ref;
  ref.model = &m_model->GetSphereRoot();
  ref.orientation = &m_frame;
  ref.stamp = m_currentStamp;
  ref.working = m_currentTree.get();
  return IntersectSphereTree(*query, ref);
}

void CRigidCollisionBody::AccumulateGravityAndDrag(float rate) {
  if (!m_model || m_state.GetInverseMass() == 0.0f) return;
  const RigidPhysicsParams& params = m_model->GetParams();
  const float m = m_state.GetMass();
  // The state's own pose: inside a fourth-order step it is the pose of the stage.
  const COrientation frame = m_state.GetFrame();
  m_state.AddForce(params.gravity * m);
  const float s = RigidMath::FastLength(m_state.velocity);
  if (s > 0.0f) {
    Vector3 local = frame.WorldToLocalVector(m_state.velocity);
    local = Vector3(local.x * params.linearDrag.x, local.y * params.linearDrag.y, local.z * params.linearDrag.z);
    const float d = RigidMath::FastLength(local);
    // Drag never more than stops the body within one tick.
    const Vector3 drag = d <= s * rate ? m_state.velocity * (-m * d / s) : m_state.velocity * (-m * rate);
    m_state.AddForce(drag);
  }
  const float sl = RigidMath::FastLength(m_state.angularMomentum);
  if (sl > 0.0f && !m_state.rotationLocked) {
    Vector3 local = frame.WorldToLocalVector(m_state.angularVelocity);
    local = Vector3(local.x * params.rotationalDrag.x, local.y * params.rotationalDrag.y,
                    local.z * params.rotationalDrag.z);
    const float d = RigidMath::FastLength(local) * m;
    const float used = d < sl * rate ? d : sl * rate;
    m_state.AddTorque(m_state.angularMomentum * (-used / sl));
  }
}

bool CRigidCollisionBody::IsSlow() const {
  if (!m_model) return true;
  const RigidPhysicsParams& params = m_model->GetParams();
  if (!(m_state.velocity.LengthSquared() < params.minLinearVelocity * params.minLinearVelocity)) return false;
  const Vector3 w = m_frame.WorldToLocalVector(m_state.angularVelocity);
  for (int i = 0; i < 3; ++i)
    if (!(std::fabs(w[i]) < params.minAngularVelocity[i])) return false;
  return true;
}

bool CRigidCollisionBody::IsAtRest() const {
  if (m_state.anchored) return true;
  if (!m_touchObject || !IsSlow()) return false;
  return !m_partner || m_partner->IsSlow();
}

bool CRigidCollisionBody::TestPlacement(const COrientation& frame) {
  COctree* octree = GetOctree();
  if (!octree) return false;
  BeamArrayInfo& beams = SharedBeams();
  beams.result.Reset();
  beams.mode = QueryMode::kStartOverlap;
  FillBeams(beams, frame, frame);
  const bool blocked = HasAllFlags(CollisionFlags::kBlocks);
  ClearBoundFlags(CollisionFlags::kBlocks);
  CBoundedObject* hit = nullptr;
  const bool any = octree->AnyInBox(beams, &hit, 68, false);
  if (blocked) AddBoundFlags(CollisionFlags::kBlocks);
  return any;
}

void CRigidCollisionBody::SetContact(CCollisionObject* object, const Vector3& point, const Vector3& normal) {
  m_touchObject = object;
  m_touchPoint = point;
  m_touchNormal = normal;
}

void CRigidCollisionBody::Render(CSceneDrawInterface* view) {
  if (view == nullptr) return;
  CActiveCollisionObject::Render(view);
  if (!(view->GetDebugFlags() & CSceneDrawInterface::kDebugCollision)) return;
  if (const SphereTreeNode* tree = GetSphereTree()) DrawSphereTreeDebug(*view, *tree, &m_frame, kSphereColour, kSphereColour);
  if (m_touchObject != nullptr)
    view->DrawLine3D(m_touchPoint, m_touchPoint + m_touchNormal * kContactNormalLength, kContactColour);
}
