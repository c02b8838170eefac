// CBoundedObject: base of every object with a world-space bounding box that an octree files and queries.
#pragma once

#include <cstdint>
#include <vector>

#include "core/spatial/BoundedObjectLink.h"
#include "core/math/Box.h"
#include "core/math/GenericIntersection.h"

class CSceneDrawInterface;
class CMeshInstance;
class COctree;
struct COctreeNode;

class CBoundedObject {
 public:
  // Flag bits. Queries report an object only when its flags carry every bit of their mask.
  static constexpr uint32_t kFiled = 0x1;              // listed in an octree
  static constexpr uint32_t kNoCellRefs = 0x2;         // lights: recompute influence every update
  static constexpr uint32_t kColliderObject = 0x4;
  static constexpr uint32_t kEffectGenOnReact = 0x8;
  static constexpr uint32_t kReactionPair = 0x10;
  static constexpr uint32_t kUpdateBeforeCritical = 0x20;
  static constexpr uint32_t kNoPenetration = 0x40;
  static constexpr uint32_t kReactActiveCritical = 0x80;
  static constexpr uint32_t kBackfaceCull = 0x100;
  static constexpr uint32_t kRenderable = 0x200;
  static constexpr uint32_t kCastsShadows = 0x400;
  static constexpr uint32_t kCastsProjectedShadow = 0x800;
  static constexpr uint32_t kReceivesProjectedShadows = 0x1000;
  static constexpr uint32_t kReceivesLights = 0x2000;  // "Rec Lights"
  static constexpr uint32_t kLight = 0x4000;
  static constexpr uint32_t kRigidDynamic = 0x8000;
  static constexpr uint32_t kGameObject = 0x10000;
  static constexpr uint32_t kNoCameraPass = 0x20000;
  static constexpr uint32_t kStaticOccluder = 0x40000;
  static constexpr uint32_t kDoNotDelete = 0x80000;  // a mark for dumps; owners delete what they own
  static constexpr uint32_t kStaticTerrain = 0x100000;
  static constexpr uint32_t kTargetable = 0x200000;
  static constexpr uint32_t kCheckCollisionReaction = 0x400000;
  static constexpr uint32_t kPath = 0x800000;
  static constexpr uint32_t kSpline = 0x1000000;
  static constexpr uint32_t kWalkable = 0x2000000;
  static constexpr uint32_t kPotentialCoverPoly = 0x4000000;
  static constexpr uint32_t kTextureFlagged = 0x8000000;
  static constexpr uint32_t kBlocksStaticShadowRays = 0x10000000;
  static constexpr uint32_t kPatchSection = 0x20000000;
  static constexpr uint32_t kShadowLightTarget = 0x40000000;
  // Bits that let an insertion create cells on demand.
  static constexpr uint32_t kCreatesCells = kColliderObject | kRenderable | kStaticOccluder;

  // The display name of a named flag bit ("Collider Object", "Renderable", ...); null for others.
  static const char* FlagName(uint32_t bit);

  // One cell that lists the object and the object's slot in that cell's list.
  struct CellRef {
    COctreeNode* cell;
    uint32_t slot;
  };

  CBoundedObject() = default;
  CBoundedObject(const CBoundedObject&) = delete;
  CBoundedObject& operator=(const CBoundedObject&) = delete;
  // A filed object leaves its tree here, so that no cell keeps a pointer to freed memory.
  virtual ~CBoundedObject();

  // Runs the query against the object; plain objects are their box.
  virtual bool Intersect(GenericIntersection* query) { return query->IntersectBox(m_bounds); }
  // Draws through the scene's drawing interface, which the renderer's view implements.
  virtual void Render(CSceneDrawInterface* view) {}
  // Lights changed near the object: whatever it lights gets relit. Plain objects light nothing;
  // collision objects mark their mesh instance, terrain faces only their own corners.
  virtual void MarkLightingStale() {}
  // Whether the object takes part in collision (the collision objects say yes). Movers ask it of
  // every candidate of every sweep, where a cross-cast through the type information costs more
  // than the intersection itself.
  virtual bool IsCollisionObject() const { return false; }

  const Box& GetBounds() const { return m_bounds; }
  void SetBounds(const Box& box) { m_bounds = box; }
  uint32_t GetBoundFlags() const { return m_boundFlags; }
  // The cells that list a filed object keep the flags of their objects for the queries to skip
  // subtrees by, so new bits are passed on to them.
  void SetBoundFlags(uint32_t flags) {
    const uint32_t added = flags & ~m_boundFlags;
    m_boundFlags = flags;
    if (added != 0 && !m_cellRefs.empty()) PassFlagsToCells();
  }
  void AddBoundFlags(uint32_t bits) { SetBoundFlags(m_boundFlags | bits); }
  void ClearBoundFlags(uint32_t bits) { m_boundFlags &= ~bits; }
  bool HasAllFlags(uint32_t mask) const { return (m_boundFlags & mask) == mask; }
  // Sets or clears, in order: renderable (a), receives lights (b), casts shadows (c), receives
  // projected shadows (d); then exactly one of the projected-shadow and static-shadow-ray bits (e).
  void SetFlags(bool renderable, bool receivesLights, bool castsShadows, bool receivesProjected, bool castsProjected);

  bool IsFiled() const { return (m_boundFlags & kFiled) != 0; }
  COctree* GetOctree() const { return m_octree; }
  const std::vector<CellRef>& GetCellRefs() const { return m_cellRefs; }
  CMeshInstance* GetOwnerInstance() const { return m_ownerInstance; }

  // Link chain: entries other structures hold on this object. A new entry goes to the front (an
  // entry linked elsewhere leaves that chain first); the destructor unlinks and resets them all.
  void AddLink(BoundedObjectLink* link);
  const BoundedObjectLink* GetFirstLink() const { return m_links; }
  // Writes value into the index word of every entry (drawing stamps the view's frame number).
  void StampLinks(int32_t value);

 protected:
  CMeshInstance* m_ownerInstance = nullptr;

 private:
  friend class COctree;

  void PassFlagsToCells();

  std::vector<CellRef> m_cellRefs;  // every cell that lists the object, whatever its flags
  uint32_t m_queryStamp = 0;
  Box m_bounds{};
  uint32_t m_boundFlags = 0;
  COctree* m_octree = nullptr;  // the tree the object is filed in
  BoundedObjectLink* m_links = nullptr;
};
