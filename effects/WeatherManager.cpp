#include "effects/WeatherManager.h"

#include "core/input/Settings.h"
#include "core/math/Orientation.h"
#include "scene/mesh/ShadedMesh.h"

namespace {
// Without settings (tools, tests) the weather shows in full.
float EffectDetail() {
  const CSettings* settings = GetSettings();
  return settings != nullptr ? settings->option3 : 1.0f;
}
}  // namespace

CWeatherManager::CWeatherManager(CResourceTable* resources) : m_resources(resources) {}

CWeatherManager::~CWeatherManager() { Clear(); }

size_t CWeatherManager::AddLevelCloudLayers(const ShadedMesh& mesh, const COrientation& meshWorld) {
  size_t made = 0;
  const float detail = EffectDetail();
  for (const AttachPoint& point : mesh.attachPoints) {
    if (point.type != CloudLayerRecord::kAttachType) continue;
    CloudLayerRecord record;
    if (!record.Read(point.GetData(), point.GetLength())) continue;
    auto layer = std::make_unique<CCloudLayer>();
    if (!layer->Init(record, meshWorld.LocalToWorldPoint(point.transform.position), m_resources, detail)) continue;
    m_layers.push_back(std::move(layer));
    ++made;
  }
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
