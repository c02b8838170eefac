// CAttachObjectCarrier: second base of objects that carry effects hung on their mesh attach points.
#pragma once

#include <cstddef>

class CMeshInstance;
class CSceneDrawInterface;

class CAttachObjectCarrier {
 public:
  virtual ~CAttachObjectCarrier() = default;

  // Creates the attach objects of the instance's attach points and returns how many it made. The
  // effects that would hang on them do not exist yet, so no point makes one.
  size_t CreateAttachObjects(const CMeshInstance* instance) { return instance != nullptr ? 0 : 0; }
  size_t GetAttachObjectCount() const { return 0; }
  // Each carried object steps and draws with the carrier; nothing to do while none is carried.
  void UpdateAttachObjects(float dt) { (void)dt; }
  void RenderAttachObjects(CSceneDrawInterface* view) { (void)view; }

  // How strongly carried effect number `index` shows (0 off .. 1 on).
  virtual float GetAttachIntensity(int index) const { return index == 0 ? 1.0f : 0.0f; }
};
