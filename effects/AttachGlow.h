// CAttachGlow: the game's attach object - a glowing sprite on an attach point, as strong as its carrier says.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/services/AttachObject.h"
#include "effects/AttachGlowRecord.h"

class CAttachObjectCarrier;
class CMeshInstance;
class CResourceTable;

class CAttachGlow : public CAttachObject {
 public:
  // Strength gained or lost per second on the way to the target, so that a switch shows as a
  // lamp warming up or dimming rather than a flicker.
  static constexpr float kFadeRate = 4.0f;

  // The glow on attach point `point` of the instance's mesh. The carrier owns the glow and the
  // instance, and deletes the glow first.
  CAttachGlow(const CAttachObjectCarrier& carrier, CMeshInstance& instance, uint32_t point,
              const AttachGlowRecord& record);

  // Moves the strength towards the carrier's intensity of the record's index, times the value of
  // the record's trigger when it names one.
  void Update(float dt) override;
  // A sprite at the attach point through the render view's sprite path, its size and opacity
  // scaled by the strength; nothing at strength 0 or in a view that is no render view.
  void Render(CSceneDrawInterface* view) override;

  // What the strength is heading for this tick.
  float GetTarget() const;
  float GetStrength() const { return m_strength; }
  uint32_t GetAttachPoint() const { return m_point; }
  const AttachGlowRecord& GetRecord() const { return m_record; }

 private:
  float GetTriggerValue() const;

  const CAttachObjectCarrier& m_carrier;
  CMeshInstance& m_instance;
  uint32_t m_point;
  AttachGlowRecord m_record;
  float m_strength = 0.0f;
  // The texture, looked up by name on the first draw and then by its index, so that it is never
  // kept past the table's unloading.
  CResourceTable* m_textureTable = nullptr;
  int m_textureIndex = -1;
};

// The attach objects of an instance: a glow for every glow record among its mesh's attach
// points (one that does not read is logged and skipped). Registered as the world's attach
// object factory.
void CreateAttachGlows(CAttachObjectCarrier& carrier, CMeshInstance& instance,
                       std::vector<std::unique_ptr<CAttachObject>>& out);
