#include "combat/Creature.h"

#include "core/data/ResourceTable.h"
#include "physics/collision/SphereTreeNode.h"
#include "physics/rigid/RigidConst.h"
#include "scene/camera/VehicleCamPoints.h"
#include "scene/mesh/ShadedMesh.h"

void CCreature::SetupCreature(const RigidConst* model, const COrientation& placement) {
  Setup(model, placement);
  GetState().SetRotationLocked(true);
}

bool CCreature::SetupFromResource(void* resource, uint16_t type, const COrientation& placement) {
  if (type != kResourceRigidBody) return false;
  SetupCreature(static_cast<const RigidConst*>(resource), placement);
  return true;
}

bool CCreature::Place(const COrientation& frame) {
  if (TestPlacement(frame)) return false;
  SetOrientation(frame);
  return true;
}

void CCreature::Init(bool created) {
  if (GetOctree() != nullptr) TakeAwayUnlessPlaced(Place(GetFrame()), "CCreature", "creature");
}

const ShadedMesh* CCreature::GetCameraSubjectMesh() const { return GetModel() ? GetModel()->GetMesh() : nullptr; }

void CCreature::SetCameraFrame(COrientation& frame) {
  const ShadedMesh* mesh = GetCameraSubjectMesh();
  const int view = mesh != nullptr ? mesh->FindAttachPoint(kAttachCreatureView) : -1;
  if (view < 0) {
    frame = GetFrame();
    return;
  }
  frame = GetFrame().LocalToWorldOrientation(mesh->attachPoints[static_cast<size_t>(view)].transform);
}

bool CCreature::WantsCameraObstacleSweep() const {
  const ShadedMesh* mesh = GetCameraSubjectMesh();
  const int view = mesh != nullptr ? mesh->FindAttachPoint(kAttachCreatureView) : -1;
  const SphereTreeNode* tree = GetSphereTree();
  if (view < 0 || tree == nullptr) return false;
  const float reach = (mesh->attachPoints[static_cast<size_t>(view)].transform.position - tree->centre).Length();
  return reach > tree->radius;
}
