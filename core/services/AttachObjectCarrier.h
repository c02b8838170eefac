// CAttachObjectCarrier: second base of objects that carry effects hung on their mesh attach points.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "core/services/AttachObject.h"

class CMeshInstance;
class CSceneDrawInterface;

class CAttachObjectCarrier {
 public:
  CAttachObjectCarrier() = default;
  CAttachObjectCarrier(const CAttachObjectCarrier&) = delete;
  CAttachObjectCarrier& operator=(const CAttachObjectCarrier&) = delete;
  // The carried objects go first, while the mesh instance they stand on still exists (the
  // carrier is the last base of every class that has one, so it is destroyed before the others).
  virtual ~CAttachObjectCarrier();

  // Replaces the carried objects with those the instance's attach points ask for (made by the
  // effects registered at start-up; none without them) and returns how many there are now. The
  // objects read the instance's placement when they draw: a carrier that replaces its instance
  // calls this again.
  size_t CreateAttachObjects(CMeshInstance* instance);
  size_t GetAttachObjectCount() const { return m_attachObjects.size(); }
  CAttachObject* GetAttachObject(size_t i) const {
    return i < m_attachObjects.size() ? m_attachObjects[i].get() : nullptr;
  }
  void UpdateAttachObjects(float dt);
  void RenderAttachObjects(CSceneDrawInterface* view);

  // How strongly carried effect number `index` shows (0 off .. 1 on).
  virtual float GetAttachIntensity(int index) const { return index == 0 ? 1.0f : 0.0f; }

 private:
  std::vector<std::unique_ptr<CAttachObject>> m_attachObjects;
};
