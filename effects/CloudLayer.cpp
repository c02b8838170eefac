#include "effects/CloudLayer.h"

#include <algorithm>
#include <cmath>

#include "core/data/DebugPrintf.h"
#include "core/math/ViewFrustum.h"
#include "effects/EffectTextures.h"
#include "physics/terrain/FractalTerrain.h"
#include "render/image/Texture.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

namespace {
constexpr float kFullTurn = 6.2831855f;  // one smooth surface: every corner around a vertex shares its normal
constexpr uint32_t kSkyStamp = 0x0FFFFFFFu;
}  // namespace

CCloudLayer::CCloudLayer() = default;

CCloudLayer::~CCloudLayer() = default;

uint32_t CCloudLayer::LevelsForDetail(uint32_t levels, float effectDetail) {
  if (effectDetail >= 1.0f) return levels;
  if (effectDetail > 0.0f) return levels > 1 ? levels - 1 : levels;
  return std::min(levels, 1u);
}

bool CCloudLayer::Init(const CloudLayerRecord& record, const Vector3& origin, CResourceTable* resources,
                       float effectDetail) {
  m_instance.reset();
  m_mesh.reset();
  const float box[6] = {record.box[0] + origin.x, record.box[1] + origin.y, record.box[2] + origin.z,
                        record.box[3] + origin.x, record.box[4] + origin.y, record.box[5] + origin.z};
  m_box = Box(Vector3(box[0], box[1], box[2]), Vector3(box[3], box[4], box[5]));
  // Raised straight up, the surface keeps its grid over the ground: a height field of cloud.
  CTextureProperties* texture = GetEffectTexture(resources,
                                                 FindEffectTexture(resources, record.texture, "CCloudLayer"));
  std::unique_ptr<ShadedMesh> mesh = GenerateFractalTerrain(
      box, record.roughness, LevelsForDetail(record.levels, effectDetail), &texture, true);
  // The grid's adjacency, found by index arithmetic, serves both the normals and the sharing.
  if (!mesh || !mesh->BuildGridEdgeAdjacency() || !mesh->ComputeNormalsAndBounds(kFullTurn) ||
      !mesh->BuildVertexSharing()) {
    DebugPrintf("CCloudLayer: no cloud surface could be made\n");
    return false;
  }
  auto instance = std::make_unique<CMeshInstance>();
  if (!instance->SetMesh(mesh.get(), false, false, false, kSkyStamp, kSkyStamp, nullptr, true, nullptr)) return false;
  m_mesh = std::move(mesh);
  m_instance = std::move(instance);
  m_baseUVs.assign(m_mesh->uvs, m_mesh->uvs + m_mesh->uvCount);
  m_drift = Vector2(record.driftU, record.driftV);
  m_offset = Vector2();
  return true;
}

void CCloudLayer::Update(float dt) {
  if (!m_mesh || (m_drift.x == 0.0f && m_drift.y == 0.0f)) return;
  // The texture repeats, so only the fraction of the offset matters; keeping it small keeps the
  // coordinates exact however long the level runs.
  m_offset.x = std::fmod(m_offset.x + m_drift.x * dt, 1.0f);
  m_offset.y = std::fmod(m_offset.y + m_drift.y * dt, 1.0f);
  for (uint32_t i = 0; i < m_mesh->uvCount; ++i)
    m_mesh->uvs[i] = Vector2(m_baseUVs[i].x + m_offset.x, m_baseUVs[i].y + m_offset.y);
}

void CCloudLayer::Render(CRenderView* view) {
  const ViewFrustum* frustum = view != nullptr ? view->GetView() : nullptr;
  if (!m_instance || frustum == nullptr || frustum->IsOrthographic()) return;
  // Seen from below: the surface's faces look down, but a camera above the layer sees it too.
  if (CRasterizerInterface* rasterizer = view->GetRasterizer()) rasterizer->SetBackfaceCulling(false);
  // As background the whole surface lies on the far plane, so the sky reaches down to the
  // horizon however short the view's depth range is, and everything else is drawn over it.
  view->DrawBackgroundMesh(m_instance.get());
}
