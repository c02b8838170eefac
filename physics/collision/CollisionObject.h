// CCollisionObject: a bounded object that takes part in collisions: it can be touched and told of contacts.
#pragma once

#include <cstdint>
#include <vector>

#include "core/math/BoundedObject.h"
#include "physics/collision/CollisionInfo.h"

class CMeshInstance;
class CSceneDrawInterface;

class CCollisionObject : public CBoundedObject {
 public:
  // Candidate and renderable.
  CCollisionObject();
  // Deletes the mesh instance only when this object owns it; drops the movers' candidate cache.
  ~CCollisionObject() override;

  // Plain collision objects are their world box.
  bool Intersect(GenericIntersection* query) override { return query->IntersectBox(GetBounds()); }
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

  // The instance drawn for the object. With owned set the object deletes it (replacing or
  // destroying); primitives that only borrow their instance pass false.
  void SetMeshInstance(CMeshInstance* instance, bool owned);
  CMeshInstance* GetMeshInstance() const { return m_meshInstance; }
  bool OwnsMeshInstance() const { return m_ownsMeshInstance; }

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
  CMeshInstance* m_meshInstance = nullptr;
  bool m_ownsMeshInstance = false;
  uint32_t m_drawnFrame = 0;
  uint32_t m_collisionStamp = 0;  // move stamp of the last move that handed this object a contact
  std::vector<const CollisionInfo*> m_extraInfos;
};
