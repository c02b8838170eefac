#include "core/math/Octree.h"

#include <algorithm>

#include "core/math/BoundedObject.h"

void COctree::InsertObject(CBoundedObject* object) {
  if (object == nullptr || Contains(object)) return;
  m_objects.push_back(object);
  object->AddBoundFlags(CBoundedObject::kFiled);
}

void COctree::RemoveObject(CBoundedObject* object) {
  if (object == nullptr) return;
  auto it = std::find(m_objects.begin(), m_objects.end(), object);
  if (it != m_objects.end()) m_objects.erase(it);
  object->ClearBoundFlags(CBoundedObject::kFiled);
}

void COctree::Reset(const Box& root) { m_root = root; }

void COctree::DestroyNodes() {
  for (CBoundedObject* object : m_objects) object->ClearBoundFlags(CBoundedObject::kFiled);
  m_objects.clear();
}

bool COctree::Contains(const CBoundedObject* object) const {
  return std::find(m_objects.begin(), m_objects.end(), object) != m_objects.end();
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
