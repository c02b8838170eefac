#include "effects/AttachGlow.h"

#include <algorithm>

#include "core/services/AttachObjectCarrier.h"
#include "core/services/WorldEffects.h"
#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "effects/EffectManager.h"
#include "effects/EffectTextures.h"
#include "render/view/RenderView.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

CAttachGlow::CAttachGlow(const CAttachObjectCarrier& carrier, CMeshInstance& instance, uint32_t point,
                         const AttachGlowRecord& record)
    : m_carrier(carrier), m_instance(instance), m_point(point), m_record(record) {}

float CAttachGlow::GetTriggerValue() const {
  if (m_record.triggerId == 0) return 1.0f;
  // A trigger the level has not made is a switch that is off.
  const CGameWorld* world = GetGameWorld();
  const CWorldEffects* effects = world != nullptr ? world->GetEffects() : nullptr;
  const CEffectManager* manager = effects != nullptr ? effects->GetEffectManager() : nullptr;
  CTrigger* trigger = manager != nullptr ? manager->FindTrigger(m_record.triggerId) : nullptr;
  return trigger != nullptr ? trigger->GetValue() : 0.0f;
}

float CAttachGlow::GetTarget() const {
  const float intensity = std::min(1.0f, std::max(0.0f, m_carrier.GetAttachIntensity(m_record.intensityIndex)));
  return intensity * GetTriggerValue();
}

void CAttachGlow::Update(float dt) {
  const float target = GetTarget();
  const float step = kFadeRate * std::max(0.0f, dt);
  m_strength = m_strength < target ? std::min(target, m_strength + step) : std::max(target, m_strength - step);
}

void CAttachGlow::Render(CSceneDrawInterface* view) {
  auto* renderView = dynamic_cast<CRenderView*>(view);
  if (renderView == nullptr || !(m_strength > 0.0f)) return;
  Vector3 at;
  if (!m_instance.GetAttachPointPosition(m_point, at)) return;
  const CGameWorld* world = GetGameWorld();
  CResourceTable* table = world != nullptr ? world->GetResourceTable() : nullptr;
  if (table != m_textureTable) {
    m_textureTable = table;
    m_textureIndex = FindEffectTexture(table, m_record.texture, "CAttachGlow");
  }
  const uint32_t alpha = static_cast<uint32_t>((m_record.colour >> 24) * m_strength + 0.5f);
  const uint32_t colour = (m_record.colour & 0x00FFFFFFu) | (std::min(alpha, 255u) << 24);
  renderView->DrawSprite(at, m_record.halfSide * m_strength, GetEffectTexture(table, m_textureIndex), colour);
}

void CreateAttachGlows(CAttachObjectCarrier& carrier, CMeshInstance& instance,
                       std::vector<std::unique_ptr<CAttachObject>>& out) {
  const ShadedMesh* mesh = instance.GetMesh();
  if (mesh == nullptr) return;
  for (size_t i = 0; i < mesh->attachPoints.size(); ++i) {
    const AttachPoint& point = mesh->attachPoints[i];
    if (point.type != AttachGlowRecord::kAttachType) continue;
    AttachGlowRecord record;
    if (!record.Read(point.GetData(), point.GetLength())) continue;
    out.push_back(std::make_unique<CAttachGlow>(carrier, instance, static_cast<uint32_t>(i), record));
  }
}
