// COctree: the spatial index of bounded objects (a flat list until the cell tree is built).
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/math/Box.h"

class CBoundedObject;
class CullVolume;
class ViewFrustum;

class COctree {
 public:
  COctree() = default;
  COctree(const COctree&) = delete;
  COctree& operator=(const COctree&) = delete;

  // Files the object (sets its filed flag 0x1); filing it twice keeps one entry.
  void InsertObject(CBoundedObject* object);
  // Takes the object out (clears 0x1); an object that is not filed is left alone.
  void RemoveObject(CBoundedObject* object);
  // Starts over with a new root box; objects stay filed.
  void Reset(const Box& root);
  // Forgets every object without deleting it: each loses its filed flag.
  void DestroyNodes();

  // Queries fill the result list with the objects whose flags carry every bit of mask.
  void CollectAll(uint32_t mask);
  void QueryVolume(const CullVolume* volume, uint32_t mask, int depthBudget);
  void QueryBox(const Box& box, uint32_t mask);
  // Visibility records laid over the cells come with the cell tree; until then no file is accepted
  // and the visibility queries report every match.
  bool LoadVisibility(const uint8_t* data, size_t size) { return false; }
  void ClearVisibility() {}
  void QueryVisible(const ViewFrustum* view, uint32_t mask, int depthBudget) { CollectAll(mask); }
  void CollectVisible(const Vector3& position, uint32_t mask) { CollectAll(mask); }

  const std::vector<CBoundedObject*>& GetResults() const { return m_results; }
  void ClearResults() { m_results.clear(); }

  const Box& GetRootBox() const { return m_root; }
  size_t GetObjectCount() const { return m_objects.size(); }
  bool Contains(const CBoundedObject* object) const;

 private:
  Box m_root{};
  std::vector<CBoundedObject*> m_objects;
  std::unordered_map<const CBoundedObject*, size_t> m_slots;  // object -> index in m_objects
  std::vector<CBoundedObject*> m_results;
};
