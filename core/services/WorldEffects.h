// CWorldEffects: the world's effect, particle and weather managers as the world sees them.
#pragma once

#include <cstdint>

class CEffectManager;
class CResourceTable;
class CRenderView;
class CWeatherManager;
class COrientation;
class ShadedMesh;

// The effects folder sits above the world; it implements this and registers a factory at start-up
// (see WorldServices). The managers it hands out stay its own.
class CWorldEffects {
 public:
  virtual ~CWorldEffects() = default;

  // A new effect manager, replacing any earlier one (a new resource table arrived).
  virtual void ResetEffectManager() = 0;
  // Fresh effect and weather managers after a world reset.
  virtual void StartLevel(CResourceTable* table) = 0;
  // The level's own effects from its mesh placed at meshWorld: the triggers and the weather's
  // cloud layers its attach points describe. After StartLevel and the level's cameras.
  virtual void AddLevelEffects(const ShadedMesh& mesh, const COrientation& meshWorld) = 0;
  // Both managers go; the weather is cleared first.
  virtual void Clear() = 0;
  virtual void UpdateParticles(float dt) = 0;
  virtual void UpdateWeather(float dt) = 0;
  // The effects drawn after the terrain.
  virtual void Render(CRenderView* view) = 0;
  // The weather's sky, drawn behind the scene of a perspective view by either renderer.
  virtual void RenderWeather(CRenderView* view) = 0;

  virtual CEffectManager* GetEffectManager() const = 0;
  virtual CWeatherManager* GetWeatherManager() const = 0;
};
