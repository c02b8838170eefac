#include "core/math/Octree.h"

#include "core/math/BoundedObject.h"

void COctree::InsertObject(CBoundedObject* object) {
  if (object == nullptr || Contains(object)) return;
  m_slots.emplace(object, m_objects.size());
  m_objects.push_back(object);
  object->AddBoundFlags(CBoundedObject::kFiled);
}

void COctree::RemoveObject(CBoundedObject* object) {
  if (object == nullptr) return;
  auto it = m_slots.find(object);
  if (it != m_slots.end()) {
    // Swap with the last entry so removal stays cheap with many objects filed.
    const size_t slot = it->second;
    m_slots.erase(it);
    CBoundedObject* last = m_objects.back();
    m_objects.pop_back();
    if (last != object) {
      m_objects[slot] = last;
      m_slots[last] = slot;
    }
    object->ClearBoundFlags(CBoundedObject::kFiled);
  }
}

void COctree::Reset(const Box& root) { m_root = root; }

void COctree::DestroyNodes() {
  for (CBoundedObject* object : m_objects) object->ClearBoundFlags(CBoundedObject::kFiled);
  m_objects.clear();
  m_slots.clear();
}

bool COctree::Contains(const CBoundedObject* object) const {
  return m_slots.count(object) != 0;
}

void COctree::CollectAll(uint32_t mask) {
  m_results.clear();
  for (CBoundedObject* object : m_objects)
    if ((object->GetBoundFlags() & mask) == mask) m_results.push_back(object);
}

// Without cells there is nothing to cull against yet; the volume query reports every match.
void COctree::QueryVolume(const CullVolume* volume, uint32_t mask, int depthBudget) { CollectAll(mask); }

void COctree::QueryBox(const Box& box, uint32_t mask) {
  m_results.clear();
  for (CBoundedObject* object : m_objects)
    if ((object->GetBoundFlags() & mask) == mask && object->GetBounds().Overlaps(box)) m_results.push_back(object);
}
