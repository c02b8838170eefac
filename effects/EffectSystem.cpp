#include "effects/EffectSystem.h"

#include "core/services/WorldServices.h"
#include "effects/AttachGlow.h"
#include "effects/EffectManager.h"
#include "effects/ParticleManager.h"
#include "effects/WeatherManager.h"

CEffectSystem::CEffectSystem() = default;

CEffectSystem::~CEffectSystem() { Clear(); }

void CEffectSystem::ResetEffectManager() { m_effects = std::make_unique<CEffectManager>(); }

void CEffectSystem::StartLevel(CResourceTable* table) {
  m_effects = std::make_unique<CEffectManager>();
  m_weather = std::make_unique<CWeatherManager>(table);
}

// Without managers (no resource table yet) the level's effects are not made: nothing would keep them.
void CEffectSystem::AddLevelEffects(const ShadedMesh& mesh, const COrientation& meshWorld) {
  if (m_effects != nullptr) m_effects->AddLevelTriggers(mesh);
  if (m_weather != nullptr) m_weather->AddLevelCloudLayers(mesh, meshWorld);
}

void CEffectSystem::Clear() {
  m_effects.reset();
  if (m_weather != nullptr) m_weather->Clear();
  m_weather.reset();
}

// The particle manager is the process's one; it runs whether or not a level is loaded.
void CEffectSystem::UpdateParticles(float dt) { GetParticleManager()->Update(dt); }

void CEffectSystem::UpdateWeather(float dt) {
  if (m_weather != nullptr) m_weather->Update(dt);
}

void CEffectSystem::Render(CRenderView* view) {
  if (m_effects != nullptr) m_effects->Render(view);
}

void CEffectSystem::RenderWeather(CRenderView* view) {
  if (m_weather != nullptr) m_weather->Render(view);
}

void RegisterWorldEffects(WorldServices& services) {
  services.createAttachObjects = CreateAttachGlows;
  services.createEffects = []() -> std::unique_ptr<CWorldEffects> { return std::make_unique<CEffectSystem>(); };
}
