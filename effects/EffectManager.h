// CEffectManager: the world's effects of the level - its triggers - and those drawn after the terrain.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "effects/Trigger.h"

class COrientation;
class CRenderView;
class ShadedMesh;

class CEffectManager {
 public:
  CEffectManager();
  ~CEffectManager();

  // Makes a trigger of every trigger record among the mesh's attach points; a record that does
  // not read, or names a trigger ID already made, is logged and skipped. Returns how many were made.
  size_t AddLevelTriggers(const ShadedMesh& mesh);
  // The trigger of that ID; null for 0 and for IDs the level has not made.
  CTrigger* FindTrigger(uint32_t id) const;
  size_t GetTriggerCount() const { return m_triggers.size(); }

  // Contact effects come with the particle work; nothing is drawn here yet.
  void Render(CRenderView* view) { (void)view; }

 private:
  std::vector<std::unique_ptr<CTrigger>> m_triggers;
};
