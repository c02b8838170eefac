// ShadowProjector: projection set-up, change tests, silhouette rendering and the receiver layers of one shadow.
#include "scene/lighting/ShadowProjector.h"

#include <algorithm>
#include <cmath>

#include "core/spatial/BoundedObject.h"
#include "core/data/DebugPrintf.h"
#include "core/spatial/Octree.h"
#include "core/math/CullVolume.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/Light.h"
#include "scene/lighting/LightList.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/MeshLayer.h"
#include "scene/mesh/SceneDrawInterface.h"
#include "scene/mesh/TextureProperties.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/lighting/ShadowRenderer.h"

namespace {

constexpr float kMinNear = 0.01f;
constexpr float kDirectionalBack = 100.0f;
// Closer than this, a light "at" the caster gives no direction to look along.
constexpr float kSamePlace = 1e-4f;

uint8_t Channel(float v) {
  const float scaled = v * 255.0f;
  if (!(scaled > 0.0f)) return 0;
  return scaled >= 255.0f ? 255 : static_cast<uint8_t>(scaled);
}

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

}  // namespace

bool SetupShadowProjection(ViewFrustum& f, const CLight& light, const Vector3& centre, float radius) {
  Vector3 eye;
  switch (light.GetType()) {
    case CLight::kTypeDirectional:
      eye = centre - light.GetTransform().axes.m[0] * kDirectionalBack;
      f.SetOrthographic();
      break;
    case CLight::kTypePoint:
    case CLight::kTypeSpot:
      eye = light.GetTransform().position;
      f.SetPerspective();
      break;
    default:
      return false;
  }
  const float d = (centre - eye).Length();
  if (!(d > kSamePlace)) return false;  // no direction to look along, and no angle
  COrientation frame = f.GetFrame();
  frame.position = eye;
  frame.LookAtWithUp(centre, Vector3(0.0f, 0.0f, 1.0f));
  f.SetFrame(frame);
  f.SetFieldOfViewFromExtent(d, radius);
  f.SetOrthoWidth(2.0f * radius);
  f.SetNear(d - radius > kMinNear ? d - radius : kMinNear);
  f.SetFar(f.GetNear() + 8.0f * radius);
  return true;
}

ShadowProjector::ShadowProjector(ShadowRenderer* owner, uint32_t sizeExponent, float strength)
    : m_owner(owner),
      m_strength(strength),
      m_side(1u << std::min(sizeExponent, ShadowRenderer::kSizeExponents - 1)) {
  CSceneDrawInterface* view = owner ? owner->GetRenderView() : nullptr;
  if (view) m_texture = view->CreateShadowTexture(m_side);
  m_colour = Color::FromWord(0xFFFFFFFFu);
}

// Each layer detaches itself from its instance as it goes; the texture leaves the back end first.
ShadowProjector::~ShadowProjector() {
  CSceneDrawInterface* view = m_owner ? m_owner->GetRenderView() : nullptr;
  if (view && m_texture) view->ReleaseTexture(m_texture.get());
}

void ShadowProjector::Assign(CMeshInstance* caster, CLight* light) {
  Clear();
  m_caster = caster;
  m_light = light;
}

void ShadowProjector::Clear() {
  m_caster = nullptr;
  m_light = nullptr;
  m_colour = Color::FromRGBA(0, 0, 0, 255);
  m_lastFrame = -1;
  for (Vector3& row : m_lastRotation.m) row = Vector3();
  m_lastPosition = Vector3();
  // Emptied but kept: the next pair this projector takes reuses them.
  for (const std::unique_ptr<CMeshLayer>& layer : m_layers) layer->Reset();
}

void ShadowProjector::Remember() {
  const COrientation& world = m_caster->GetWorldMatrix();
  m_lastFrame = m_caster->GetFrame();
  m_lastRotation = world.axes;
  m_lastPosition = world.position;
}

void ShadowProjector::Update() {
  if (!m_caster || !m_light) return;
  const COrientation& world = m_caster->GetWorldMatrix();
  const ShadedMesh* mesh = m_caster->GetMesh();
  const Vector3 centre = world.position;
  if ((m_light->GetTransform().position - centre).Length() <= kSamePlace) return;
  if (!mesh || !(mesh->radius > 0.0f)) return;

  const float r = mesh->radius * m_caster->GetWorldScale();
  if (!(r > 0.0f)) return;
  ViewFrustum next = m_projection;
  if (!SetupShadowProjection(next, *m_light, centre, r)) return;

  const float size = 2.0f * r;
  const bool moved = (centre - m_lastPosition).ApproxLength() / size > kMoveThreshold ||
                     (next.GetFrame().position - m_projection.GetFrame().position).ApproxLength() / size > kMoveThreshold;

  const COrientation relative = next.GetFrame().WorldToLocalOrientation(world);
  bool changed = m_caster->GetFrame() != m_lastFrame;
  if ((relative.position - m_relative.position).ApproxLength() * next.GetTanHalfFov() > kMoveThreshold) changed = true;
  for (int i = 0; i < 3 && !changed; ++i)
    for (int j = 0; j < 3; ++j)
      if (std::fabs(relative.axes.m[i][j] - m_relative.axes.m[i][j]) > kTurnThreshold) changed = true;

  const Color colour = ComputeColor();
  if (moved) {
    m_projection = next;
    const bool wasRelative = !m_relative.IsIdentity();
    if (wasRelative) m_relative = COrientation();
    if (wasRelative || changed) {
      Remember();
      RenderTexture();
    }
    m_colour = colour;
    RebuildLayers();
    return;
  }
  if (changed) {
    m_relative = m_projection.GetFrame().WorldToLocalOrientation(world);
    Remember();
    RenderTexture();
  }
  if (colour.ToWord() != m_colour.ToWord()) {
    Recolor(colour);
    m_colour = colour;
  }
}

Color ShadowProjector::ComputeColor() const {
  const CSceneDrawInterface* view = m_owner ? m_owner->GetRenderView() : nullptr;
  const FogState* fog = view ? view->GetFogState() : nullptr;
  const Vector3 at = m_caster ? m_caster->GetWorldMatrix().position : Vector3();
  float visibility = 1.0f;
  if (fog && fog->enabled) {
    float term = 1.0f;
    if (!fog->settings.constantFog)
      term = 1.0f - Clamp01((at.z - fog->settings.startElevation) * fog->inverseElevationSpan);
    const ViewFrustum* camera = view->GetView();
    const Vector3 eye = camera ? camera->GetFrame().position : at;
    const float v = term * (at - eye).ApproxLength() * fog->inverseVisibilityDistance;
    visibility = 1.0f - Clamp01(std::max(v, fog->offset));
  }

  Vector3 ambient;
  if (m_caster) {
    // The first ambient light among the caster's cached lights, found through the light list.
    const LightList* lights = view ? view->GetLightList() : nullptr;
    for (const LightCacheEntry& entry : m_caster->GetLightingState().entries) {
      const CLight* light = lights ? lights->GetLight(entry.index) : nullptr;
      if (light && light == entry.light && light->GetType() == CLight::kTypeAmbient) {
        ambient = light->GetColor();
        break;
      }
    }
  }
  const Vector3 lightColour = m_light ? m_light->GetColor() : Vector3();
  const float scale = (m_light ? m_light->GetInfluence() : 0.0f) * m_strength * visibility;
  const Vector3 c = (lightColour - ambient) * scale;
  return Color::FromRGBA(Channel(c.x), Channel(c.y), Channel(c.z), 255);
}

void ShadowProjector::Recolor(Color colour) {
  // Layer vertices carry their weight as the blend already applied towards black: the colour
  // of a vertex at weight w is the shadow colour x (1 - w).
  for (const std::unique_ptr<CMeshLayer>& layer : m_layers) {
    // The layer's vertices are its own array; the layer only hands them out read-only.
    auto* editable = const_cast<MeshLayerVertex*>(layer->GetVertices());
    for (uint32_t i = 0; i < layer->GetVertexCount(); ++i) {
      const float keep = 1.0f - Clamp01(editable[i].depth);
      editable[i].colour = Color::FromRGBA(Channel(colour.r / 255.0f * keep), Channel(colour.g / 255.0f * keep),
                                           Channel(colour.b / 255.0f * keep), colour.a);
    }
  }
}

void ShadowProjector::RenderTexture() {
  CSceneDrawInterface* view = m_owner ? m_owner->GetRenderView() : nullptr;
  if (!view || !view->HasBackEnd() || !m_caster || !m_texture) return;
  if (!m_deviceLoaded) {
    OutputDebugStringA("Loading Device Texture for Shadow...\n");
    m_deviceLoaded = true;
  }
  // Every time: a back end that dropped its textures takes this one up again.
  view->LoadTexture(m_texture.get());
  if (view->DrawShadowTexture(m_texture.get(), &m_projection, m_caster)) ++m_renderCount;
}

void ShadowProjector::RebuildLayers() {
  COctree* octree = m_owner ? m_owner->GetOctree() : nullptr;
  // A texture never drawn into (a back end that cannot draw into textures) would lay bare
  // colours over the receivers.
  if (!octree || !m_caster || m_renderCount == 0) return;
  m_projection.BuildCullVolume(CullVolume::kFrustum);
  m_projection.UpdateViewProjection();
  CMeshLayer::BuildForInstance(m_layers, m_texture.get(), 1.0f, m_projection, m_colour, Color::FromRGBA(0, 0, 0, 255),
                               *octree, m_caster->GetRootInstance());
  m_projection.ReleaseCullVolume();
}
