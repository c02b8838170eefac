// COctree: a loose, sparse octree over bounded objects: filing, removal with pruning, and the
// box, volume, ray and visibility queries every spatial question of the game goes through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/math/Box.h"
#include "core/spatial/OctreeNode.h"

class CBoundedObject;
class CMeshInstance;
class CullVolume;
class GenericIntersection;
class RayInfo;
class ViewFrustum;

class COctree {
 public:
  using ObjectList = std::vector<CBoundedObject*>;

  static constexpr uint32_t kDefaultMaxDepth = 5;
  // Filing defaults every caller uses: the group word has no effect; cells are made down to depth 3.
  static constexpr uint32_t kAnyGroup = 7;
  static constexpr uint32_t kDefaultSplitDepth = 3;
  // Depth budgets of the volume queries: how many levels of crossing cells are tested object by
  // object before whole subtrees are taken. Deeper budgets cull more finely and cost more.
  enum QueryDepth : uint32_t {
    kOutsideRootQueryDepth = 3,  // the visible query when the eye has left the tree
    kCoarseSceneQueryDepth = 4,
    kSceneQueryDepth = 5,
    kLightingQueryDepth = 8,
  };
  // Cell codes of deeper cells no longer fit in 32 bits.
  static constexpr uint32_t kDepthLimit = 10;
  static constexpr size_t kSkeletonHeaderSize = 52;
  static constexpr size_t kIdentitySize = 16;

  COctree() : COctree(Box()) {}
  explicit COctree(const Box& root);
  // Objects still filed are unfiled: they must not point at a tree that is gone.
  ~COctree();
  COctree(const COctree&) = delete;
  COctree& operator=(const COctree&) = delete;

  // Deletes every cell and starts over with an empty root (objects are unfiled).
  void Create(const Box& root);
  // New cells over the box; every filed object is filed again.
  void Reset(const Box& root);
  // Deletes every cell, root included; objects are unfiled.
  void Destroy();
  // Unfiles every object and keeps an empty root over the same box.
  void DestroyNodes();

  // Files the object (group has no effect; cells are created on demand down to splitDepth).
  // An object already filed here is refiled at its current bounds; one filed in another tree is refused.
  void InsertObject(CBoundedObject* object, uint32_t group = kAnyGroup, uint32_t splitDepth = kDefaultSplitDepth);
  // Files with the level search bounded by levelBound, creating cells as needed (static primitives).
  void InsertObjectToDepth(CBoundedObject* object, uint32_t levelBound);
  // Files at exactly that depth.
  void InsertObjectAtDepth(CBoundedObject* object, uint32_t depth);
  // Takes the object out of every cell it was filed in, wherever its bounds are now.
  void RemoveObject(CBoundedObject* object);
  void UpdateObject(CBoundedObject* object, uint32_t group = kAnyGroup, uint32_t splitDepth = kDefaultSplitDepth);

  // Queries append to out, or, when out is null, refill the tree's own result list. They report
  // objects whose flags carry every bit of mask, each object once.
  void QueryBox(const Box& box, ObjectList* out, uint32_t mask);
  void QueryBox(const Box& box, uint32_t mask) { QueryBox(box, nullptr, mask); }
  uint32_t CountInBox(const Box& box, uint32_t mask);
  // Objects that may lie in the volume; depth sets how many levels of crossing cells are tested
  // object by object before whole subtrees are taken. A null volume takes everything.
  void QueryVolume(const CullVolume* volume, ObjectList* out, uint32_t mask, uint32_t depth);
  void QueryVolume(const CullVolume* volume, uint32_t mask, int depth);
  void CollectAll(ObjectList* out, uint32_t mask);
  void CollectAll(uint32_t mask) { CollectAll(nullptr, mask); }
  // Segment query: nearest mode returns the hit with the smallest fraction along the segment,
  // otherwise the first hit met. The walk visits cells front to back and is exact, so the step
  // length only exists for callers. The ray holds the winning record afterwards.
  bool RayQuery(RayInfo& ray, CBoundedObject** hit, uint32_t mask, bool nearest, float step);
  // Runs Intersect on the objects in the query's bounds; nearest keeps the smallest fraction.
  bool AnyInBox(GenericIntersection& query, CBoundedObject** hit, uint32_t mask, bool nearest);
  bool QuerySphere(GenericIntersection& query, CBoundedObject** hit, uint32_t mask);

  // Cells whose flag word carries every bit of mask.
  uint32_t CountNodes(uint32_t mask) const;
  // Moves the objects of sparse deep cells up to their parents and deletes emptied leaves.
  void Coarsen(uint32_t limit);
  // The name the park's rebuild uses for the same pass.
  void Subdivide(uint32_t limit) { Coarsen(limit); }

  // Skeleton: the cells without objects, flattened into one block; identity is 16 bytes.
  std::vector<uint8_t> SaveSkeleton(const uint8_t* identity) const;
  // Rebuilds the cells from a block and refiles every object; a block that is not a whole,
  // consistent skeleton of this identity leaves the tree as it was.
  bool LoadSkeleton(const uint8_t* data, size_t size, const uint8_t* identity);
  // Reads visibility records (a checked "visnodes.bin" image); nothing changes on failure.
  bool LoadVisibility(const uint8_t* data, size_t size);
  // Frees every visibility record.
  void ClearVisibility();
  // Volume query started from the cells recorded along the eye's path down the tree.
  void QueryVisible(const Vector3& eye, const CullVolume* volume, ObjectList* out, uint32_t mask,
                    uint32_t depth);
  void QueryVisible(const ViewFrustum* view, uint32_t mask, int depth);
  // Every object of the recorded cells, taken whole.
  void CollectVisible(const Vector3& eye, ObjectList* out, uint32_t mask);
  void CollectVisible(const Vector3& eye, uint32_t mask) { CollectVisible(eye, nullptr, mask); }
  // The cell of a path code; with create, missing cells on the way are made. Null for codes
  // deeper than the tree may grow.
  COctreeNode* FindCellByCode(uint32_t code, bool create);

  const ObjectList& GetResults() const { return m_results; }
  void ClearResults() { m_results.clear(); }
  COctreeNode* GetRoot() const { return m_root; }
  Box GetRootBox() const { return m_root != nullptr ? m_root->bounds : m_rootBox; }
  uint32_t GetMaxDepth() const { return m_maxDepth; }
  size_t GetObjectCount() const { return m_objectCount; }
  bool Contains(const CBoundedObject* object) const;
  bool HasSkeleton() const { return m_skeleton != nullptr; }
  // Ray queries pass over the objects of this instance (a caster must not shadow itself).
  void SetRayExclusion(CMeshInstance* instance) { m_rayExclusion = instance; }
  CMeshInstance* GetRayExclusion() const { return m_rayExclusion; }

 private:
  struct RayState;

  void MakeRoot(const Box& root);
  void DestroyCells();
  void UnfileAll(COctreeNode* cell);
  void DeleteSubtree(COctreeNode* cell);
  COctreeNode* CreateChild(COctreeNode* cell, uint32_t index);
  std::vector<CBoundedObject*> TakeAllObjects();
  bool PrepareInsert(CBoundedObject* object);
  uint32_t TargetDepth(const Box& box, uint32_t levels) const;
  bool InsideRoot(const Box& box) const;
  void FileAt(COctreeNode* cell, CBoundedObject* object, uint32_t target, uint32_t split);
  void FileToDepth(COctreeNode* cell, CBoundedObject* object, int levels);
  void AddToCell(COctreeNode* cell, CBoundedObject* object);
  void EraseFromCell(COctreeNode* cell, uint32_t slot);
  void DropRef(CBoundedObject* object, size_t refIndex);
  void Prune(COctreeNode* cell, std::vector<COctreeNode*>* deleted);
  bool Prunable(const COctreeNode* cell) const;
  void CoarsenCell(COctreeNode* cell, uint32_t limit);
  void MoveUp(COctreeNode* cell);

  ObjectList* Target(ObjectList* out);
  uint32_t NextStamp();
  bool Meet(CBoundedObject* object, uint32_t mask) const;
  void Report(ObjectList* out, CBoundedObject* object) const { out->push_back(object); }
  void BoxCell(COctreeNode* cell, const Box& box, ObjectList* out, uint32_t mask, uint32_t* count);
  void TakeWhole(COctreeNode* cell, ObjectList* out, uint32_t mask, bool descend);
  void TakeAncestors(COctreeNode* cell, ObjectList* out, uint32_t mask);
  void VolumeCell(COctreeNode* cell, const CullVolume& volume, ObjectList* out, uint32_t mask, uint32_t depth);
  void TestObjects(COctreeNode* cell, const CullVolume& volume, ObjectList* out, uint32_t mask);
  bool RayObjects(COctreeNode* cell, RayState& state);
  bool RayCell(COctreeNode* cell, RayState& state);
  std::vector<COctreeNode*> RecordedCells(const Vector3& eye) const;
  static uint32_t CountCells(const COctreeNode* cell, uint32_t mask);

  uint32_t m_skeletonCount = 0;
  std::unique_ptr<COctreeNode[]> m_skeleton;
  COctreeNode* m_root = nullptr;
  Box m_rootBox{};
  uint32_t m_stamp = 0;
  uint32_t m_maxDepth = kDefaultMaxDepth;
  CMeshInstance* m_rayExclusion = nullptr;
  ObjectList m_results;
  size_t m_objectCount = 0;
};
