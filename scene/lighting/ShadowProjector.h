// ShadowProjector: one pooled shadow - a caster's silhouette seen from a light, projected onto the receivers.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/math/Color.h"
#include "core/math/Orientation.h"
#include "core/math/TMatrix.h"
#include "core/math/Vector3.h"
#include "core/math/ViewFrustum.h"

class CLight;
class CMeshInstance;
class CMeshLayer;
class CTextureProperties;
class ShadowRenderer;

// Makes a frustum that sees the sphere (centre, radius) from the light. False (frustum
// untouched) for ambient and untyped lights and for an eye at the centre.
bool SetupShadowProjection(ViewFrustum& frustum, const CLight& light, const Vector3& centre, float radius);

class ShadowProjector {
 public:
  // Movement thresholds, relative to the caster's size, and per rotation element.
  static constexpr float kMoveThreshold = 0.005f;
  static constexpr float kTurnThreshold = 0.05f;

  ShadowProjector(ShadowRenderer* owner, uint32_t sizeExponent, float strength);
  ~ShadowProjector();
  ShadowProjector(const ShadowProjector&) = delete;
  ShadowProjector& operator=(const ShadowProjector&) = delete;

  // Takes the pair and starts from nothing (the pool's slot swapping is ShadowRenderer's).
  void Assign(CMeshInstance* caster, CLight* light);
  // Drops the pair: no caster, no light, black colour, nothing seen, no receivers.
  void Clear();
  // Re-projects, re-renders and recolours as far as the caster, light and fog changed.
  void Update();
  void RenderTexture();
  Color ComputeColor() const;
  void Recolor(Color colour);

  CMeshInstance* GetCaster() const { return m_caster; }
  CLight* GetLight() const { return m_light; }
  // Null when the owner had no render view to make it.
  CTextureProperties* GetTexture() const { return m_texture.get(); }
  uint32_t GetTextureSide() const { return m_side; }
  Color GetColour() const { return m_colour; }
  const ViewFrustum& GetProjection() const { return m_projection; }
  const std::vector<std::unique_ptr<CMeshLayer>>& GetLayers() const { return m_layers; }
  // How many times the silhouette was drawn into the texture.
  uint32_t GetRenderCount() const { return m_renderCount; }

 private:
  void RebuildLayers();
  void Remember();

  ShadowRenderer* m_owner;
  float m_strength;
  uint32_t m_side;
  std::unique_ptr<CTextureProperties> m_texture;
  Color m_colour;
  std::vector<std::unique_ptr<CMeshLayer>> m_layers;
  int32_t m_lastFrame = -1;
  TMatrix m_lastRotation;
  Vector3 m_lastPosition;
  CMeshInstance* m_caster = nullptr;
  ViewFrustum m_projection;
  COrientation m_relative;
  CLight* m_light = nullptr;
  bool m_deviceLoaded = false;
  uint32_t m_renderCount = 0;
};
