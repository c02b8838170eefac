// CCollisionObject: flags, mesh-instance ownership and drawing of objects that take part in collisions.
#include "physics/collision/CollisionObject.h"

#include "physics/collision/ActiveCollisionObject.h"
#include "physics/collision/CollisionFlags.h"
#include "scene/mesh/SceneDrawInterface.h"
#include "scene/mesh/MeshInstance.h"

CCollisionObject::CCollisionObject() { AddBoundFlags(CollisionFlags::kCandidate | CBoundedObject::kRenderable); }

CCollisionObject::~CCollisionObject() {
  // The movers' shared candidate list may still name this object.
  CActiveCollisionObject::InvalidateCandidateCache();
  m_meshInstance = m_ownerInstance = nullptr;
  m_ownedMeshInstance.reset();
}

void CCollisionObject::Render(CSceneDrawInterface* view) {
  if (view == nullptr) return;
  StampDrawn(view);
  if (m_meshInstance != nullptr) view->DrawMesh(m_meshInstance);
}

void CCollisionObject::MarkLightingStale() {
  if (m_meshInstance != nullptr) m_meshInstance->InvalidateLighting(true);
}

void CCollisionObject::StampDrawn(CSceneDrawInterface* view) {
  if (view == nullptr) return;
  m_drawnFrame = view->GetFrameNumber();
  StampLinks(static_cast<int32_t>(m_drawnFrame));
}

void CCollisionObject::SetCollisionFlags(bool candidate, bool offersExtraInfos, bool pushable, bool subSteps,
                                         bool blocks, bool hearsMovers) {
  const struct {
    bool on;
    uint32_t bit;
  } bits[] = {{candidate, CollisionFlags::kCandidate},     {offersExtraInfos, CollisionFlags::kOffersExtraInfos},
              {pushable, CollisionFlags::kPushable},       {subSteps, CollisionFlags::kSubStep},
              {blocks, CollisionFlags::kBlocks},           {hearsMovers, CollisionFlags::kHearsMovers}};
  for (const auto& b : bits) {
    if (b.on) {
      AddBoundFlags(b.bit);
    } else {
      ClearBoundFlags(b.bit);
    }
  }
}

void CCollisionObject::SetMeshInstance(std::unique_ptr<CMeshInstance> instance) {
  m_ownedMeshInstance = std::move(instance);
  m_meshInstance = m_ownerInstance = m_ownedMeshInstance.get();
}

void CCollisionObject::BorrowMeshInstance(CMeshInstance* instance) {
  if (instance != m_ownedMeshInstance.get()) m_ownedMeshInstance.reset();
  // The octree's queries reach the instance through the owner: the lighting refresh and the
  // projected shadows of what a collision object shows.
  m_meshInstance = m_ownerInstance = instance;
}
