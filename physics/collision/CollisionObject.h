// CCollisionObject: a bounded object that takes part in collisions: it can be touched and told of contacts.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/spatial/BoundedObject.h"
#include "physics/collision/CollisionInfo.h"

class CMeshInstance;
class CSceneDrawInterface;

class CCollisionObject : public CBoundedObject {
 public:
  // Candidate and renderable.
  CCollisionObject();
  // Drops the movers' candidate cache; an owned mesh instance goes with the object.
  ~CCollisionObject() override;

  // Plain collision objects are their world box.
  bool Intersect(GenericIntersection* query) override { return query->IntersectBox(GetBounds()); }
  bool IsCollisionObject() const final { return true; }
  // Records the view's frame number as drawn (here and in every link entry), then draws the
  // mesh instance.
  void Render(CSceneDrawInterface* view) override;

  // The mesh instance and its children are relit.
  void MarkLightingStale() override;

  // What this object tells `asker` about itself at a contact; null = nothing to say.
  virtual const CollisionInfo* GetCollisionInfo(CCollisionObject* asker) { return nullptr; }
  virtual bool CanCollideWith(CCollisionObject* other) { return true; }
  // Told of a contact with the object that `info` describes; true when it responded.
  virtual bool HandleCollision(const CollisionInfo* info, const IntersectionResult* hit) { return false; }

  // Sets or clears candidate (0x4), offers extra infos (0x8), pushable (0x10), sub-steps
  // (0x20), blocks (0x40) and hears movers (0x80).
  void SetCollisionFlags(bool candidate, bool offersExtraInfos, bool pushable, bool subSteps, bool blocks,
                         bool hearsMovers);

  // The instance drawn for the object: one it keeps, or (for primitives laid over a mesh that
  // someone else shows) one it only borrows. Either replaces, and frees, an instance it kept.
  void SetMeshInstance(std::unique_ptr<CMeshInstance> instance);
  void BorrowMeshInstance(CMeshInstance* instance);
  CMeshInstance* GetMeshInstance() const { return m_meshInstance; }
  bool OwnsMeshInstance() const { return m_meshInstance != nullptr && m_meshInstance == m_ownedMeshInstance.get(); }

  // Frame number of the last view that drew the object.
  uint32_t GetDrawnFrame() const { return m_drawnFrame; }

  uint32_t GetCollisionStamp() const { return m_collisionStamp; }
  void SetCollisionStamp(uint32_t stamp) { m_collisionStamp = stamp; }

  // Infos handed to movers besides GetCollisionInfo (owned by whoever added them).
  std::vector<const CollisionInfo*>& ExtraInfos() { return m_extraInfos; }
  const std::vector<const CollisionInfo*>& ExtraInfos() const { return m_extraInfos; }

 protected:
  // Records the view's frame number as drawn and stamps it into every link entry.
  void StampDrawn(CSceneDrawInterface* view);

 private:
  std::unique_ptr<CMeshInstance> m_ownedMeshInstance;
  CMeshInstance* m_meshInstance = nullptr;  // m_ownedMeshInstance, or a borrowed one
  uint32_t m_drawnFrame = 0;
  uint32_t m_collisionStamp = 0;  // move stamp of the last move that handed this object a contact
  std::vector<const CollisionInfo*> m_extraInfos;
};
