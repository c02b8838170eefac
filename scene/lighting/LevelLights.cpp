#include "scene/lighting/LevelLights.h"

#include <cstring>

#include "core/world/GameWorld.h"
#include "core/data/DebugPrintf.h"
#include "platform/system/Win32.h"
#include "scene/lighting/AmbientLight.h"
#include "scene/lighting/DirectionalLight.h"
#include "scene/lighting/Light.h"
#include "scene/lighting/LightRecord.h"
#include "scene/mesh/ShadedMesh.h"

void CollectLevelLightSources(const ShadedMesh& mesh, const COrientation& meshWorld,
                              std::vector<LevelLightSource>& out) {
  std::vector<int> indices;
  mesh.CollectAttachPoints(LightRecord::kAttachType, indices);
  for (int i : indices) {
    if (i < 0 || static_cast<size_t>(i) >= mesh.attachPoints.size()) continue;
    const AttachPoint& point = mesh.attachPoints[static_cast<size_t>(i)];
    LevelLightSource source;
    source.data = point.GetData();
    source.size = point.GetLength();
    source.worldFrame = meshWorld.LocalToWorldOrientation(point.transform);
    out.push_back(source);
  }
}

std::unique_ptr<CLight> BuildLevelLight(const LevelLightSource& source, const Box& worldBox) {
  if (source.data == nullptr || source.size < LightRecord::kSize) {
    DebugPrintf("LevelLights: light attach point with %u bytes skipped\n", static_cast<unsigned>(source.size));
    return nullptr;
  }
  // Work on a copy: the attach point's bytes may be a read-only file image.
  LightRecord record;
  if (!record.Read(source.data, source.size)) return nullptr;
  record.frame = source.worldFrame;
  if (source.size == LightRecord::kSize) record.region.Translate(source.worldFrame.GetPosition());
  for (int axis = 0; axis < 3; ++axis)
    if (record.region.min[axis] < 1.0f) record.region.min[axis] = 1.0f;
  uint8_t bytes[LightRecord::kSize];
  record.Write(bytes);
  std::unique_ptr<CLight> light = CLight::CreateFromRecord(bytes, sizeof(bytes));
  if (light == nullptr) return nullptr;

  Box box = light->GetBounds();
  if (box.Volume() < worldBox.Volume() * 0.5f) {
    Box clipped;
    if (!box.Intersect(worldBox, clipped)) {
      DebugPrintf("LevelLights: light outside the world dropped\n");
      return nullptr;
    }
    box = clipped;
  }
  for (int axis = 0; axis < 3; ++axis)
    if (box.min[axis] < 0.0f) box.min[axis] = 0.0f;
  light->SetBounds(box);
  return light;
}

void MakeDefaultLights(std::vector<std::unique_ptr<CLight>>& out) {
  out.push_back(std::make_unique<CDirectionalLight>(0.75f, 0.75f, 0.75f, -100.0f, -100.0f, 100.0f, 1.0f, 1.0f, -1.0f, 5, 0.0f, 0.0f,
                                      0.0f, 0.0f));
  out.push_back(std::make_unique<CDirectionalLight>(0.25f, 0.25f, 0.25f, 100.0f, 100.0f, 100.0f, -1.0f, -1.0f, -1.0f, 1, 0.0f, 0.0f,
                                      0.0f, 0.0f));
  const Box region(Vector3(-10000.0f, -10000.0f, -10000.0f), Vector3(10000.0f, 10000.0f, 10000.0f));
  out.push_back(std::make_unique<CAmbientLight>(0.25f, 0.25f, 0.25f, region, 1, 0.0f));
}

size_t AddLevelLights(CGameWorld& world, const std::vector<LevelLightSource>& sources, const Box& worldBox) {
  std::vector<std::unique_ptr<CLight>> lights;
  for (const LevelLightSource& source : sources) {
    std::unique_ptr<CLight> light = BuildLevelLight(source, worldBox);
    if (light != nullptr) lights.push_back(std::move(light));
  }
  if (lights.empty()) {
    OutputDebugStringA("Init: Adding Default Lights...\n");
    MakeDefaultLights(lights);
  }
  // The world takes each light.
  const size_t added = lights.size();
  for (std::unique_ptr<CLight>& light : lights) world.AddLight(std::move(light));
  return added;
}
