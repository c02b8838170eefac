#include "effects/EffectManager.h"

#include "core/data/DebugPrintf.h"
#include "effects/ScriptTrigger.h"
#include "scene/mesh/ShadedMesh.h"

CEffectManager::CEffectManager() = default;

CEffectManager::~CEffectManager() = default;

size_t CEffectManager::AddLevelTriggers(const ShadedMesh& mesh) {
  size_t made = 0;
  for (const AttachPoint& point : mesh.attachPoints) {
    if (point.type != ScriptTriggerRecord::kAttachType) continue;
    ScriptTriggerRecord record;
    if (!record.Read(point.GetData(), point.GetLength())) continue;
    if (FindTrigger(record.triggerId) != nullptr) {
      DebugPrintf("CEffectManager: a second trigger %u skipped\n", record.triggerId);
      continue;
    }
    m_triggers.push_back(std::make_unique<CScriptTrigger>(record));
    ++made;
  }
  return made;
}

CTrigger* CEffectManager::FindTrigger(uint32_t id) const {
  if (id == 0) return nullptr;
  for (const std::unique_ptr<CTrigger>& trigger : m_triggers)
    if (trigger->GetID() == id) return trigger.get();
  return nullptr;
}
