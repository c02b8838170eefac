// CEffectSystem: the world's effect and weather managers and the particle updates, behind the world's interface.
#pragma once

#include <memory>

#include "core/services/WorldEffects.h"

struct WorldServices;

class CEffectSystem : public CWorldEffects {
 public:
  CEffectSystem();
  ~CEffectSystem() override;

  void ResetEffectManager() override;
  void StartLevel(CResourceTable* table) override;
  void AddLevelEffects(const ShadedMesh& mesh, const COrientation& meshWorld) override;
  void Clear() override;
  void UpdateParticles(float dt) override;
  void UpdateWeather(float dt) override;
  void Render(CRenderView* view) override;
  void RenderWeather(CRenderView* view) override;
  CEffectManager* GetEffectManager() const override { return m_effects.get(); }
  CWeatherManager* GetWeatherManager() const override { return m_weather.get(); }

 private:
  std::unique_ptr<CEffectManager> m_effects;
  std::unique_ptr<CWeatherManager> m_weather;
};

// Every world built afterwards gets an effect system, and every carrier its attach objects.
void RegisterWorldEffects(WorldServices& services);
