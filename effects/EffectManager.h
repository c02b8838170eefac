// CEffectManager: the world's effects drawn after the terrain (contact effects come with the effects work).
#pragma once

class CRenderView;

class CEffectManager {
 public:
  CEffectManager() = default;
  ~CEffectManager() = default;
  void Render(CRenderView* view) {}
};
