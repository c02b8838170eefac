#include "effects/WeatherManager.h"

#include "core/data/DebugPrintf.h"
#include "core/input/Settings.h"
#include "core/math/Orientation.h"
#include "scene/mesh/ShadedMesh.h"

namespace {
// Without settings (tools, tests) the weather shows in full.
float EffectDetail() {
  const CSettings* settings = GetSettings();
  return settings != nullptr ? settings->option3 : 1.0f;
}

uint32_t SurfaceVertices(uint32_t levels) {
  const uint32_t side = (1u << levels) + 1;
  return side * side;
}
}  // namespace

CWeatherManager::CWeatherManager(CResourceTable* resources) : m_resources(resources) {}

CWeatherManager::~CWeatherManager() { Clear(); }

size_t CWeatherManager::AddLevelCloudLayers(const ShadedMesh& mesh, const COrientation& meshWorld) {
  const size_t before = m_layers.size();
  size_t made = 0, taken = 0, beyond = 0;
  uint32_t vertices = 0;
  for (const std::unique_ptr<CCloudLayer>& layer : m_layers) vertices += layer->GetMesh()->vertexCount;
  const float detail = EffectDetail();
  for (const AttachPoint& point : mesh.attachPoints) {
    if (point.type != CloudLayerRecord::kAttachType) continue;
    CloudLayerRecord record;
    if (!record.Read(point.GetData(), point.GetLength())) continue;
    if (before + taken >= kMaxCloudLayers) {
      ++beyond;
      continue;
    }
    ++taken;
    const uint32_t levels = CCloudLayer::LevelsForDetail(record.levels, detail);
    if (SurfaceVertices(levels) > kCloudVertexBudget - vertices) {
      DebugPrintf("CWeatherManager: a cloud layer of %u levels refused: the level's layers would pass %u vertices\n",
                  levels, kCloudVertexBudget);
      continue;
    }
    auto layer = std::make_unique<CCloudLayer>();
    if (!layer->Init(record, meshWorld.LocalToWorldPoint(point.transform.position), m_resources, detail)) continue;
    vertices += layer->GetMesh()->vertexCount;
    m_layers.push_back(std::move(layer));
    ++made;
  }
  if (beyond > 0)
    DebugPrintf("CWeatherManager: %u more cloud-layer records refused: a level has at most %u\n",
                static_cast<unsigned>(beyond), static_cast<unsigned>(kMaxCloudLayers));
  return made;
}

void CWeatherManager::Update(float dt) {
  ++m_updates;
  for (const std::unique_ptr<CCloudLayer>& layer : m_layers) layer->Update(dt);
}

void CWeatherManager::Render(CRenderView* view) {
  for (const std::unique_ptr<CCloudLayer>& layer : m_layers) layer->Render(view);
}

void CWeatherManager::Clear() { m_layers.clear(); }
