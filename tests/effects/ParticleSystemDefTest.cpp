// Particle-system definitions: the text they keep, and loading ".psys" files through the resource
// table; the effect system's managers over a level's life, and the level effects they make.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/services/WorldServices.h"
#include "core/data/FileBuffer.h"
#include "core/data/Params.h"
#include "core/data/ResourceTable.h"
#include "effects/CloudLayerRecord.h"
#include "effects/EffectManager.h"
#include "effects/EffectSystem.h"
#include "effects/EffectsLoaders.h"
#include "effects/ParticleManager.h"
#include "effects/ParticleSystemDef.h"
#include "effects/ScriptTrigger.h"
#include "effects/WeatherManager.h"
#include "platform/system/Platform.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/TempFolder.h"

namespace {

const char kSparks[] =
    "// sparks off a grinding rail\n"
    "rate = 40\n"
    "life = 0.5, 1.25\n"
    "colour = 1, 0.8, 0.2\n"
    "additive\n";

}  // namespace

TEST(ParticleSystemDef, TextsWithoutATokenDefineNothing) {
  EXPECT_EQ(nullptr, CParticleSystemDef::Read(nullptr));
  EXPECT_EQ(nullptr, CParticleSystemDef::Read(""));
  EXPECT_EQ(nullptr, CParticleSystemDef::Read(" \t\r\n  "));
  EXPECT_EQ(nullptr, CParticleSystemDef::Read("// rate = 40\n   // additive"));
  auto one = CParticleSystemDef::Read("// only this:\n additive");
  ASSERT_NE(nullptr, one);
  EXPECT_TRUE(Params::HasFlag(one->GetText(), "additive"));
}

TEST(ParticleSystemDef, ResourceTableLoadsPsysFilesAsDefinitions) {
  testing_support::TempFolder folder;
  const std::string sparks = folder.Write("data/effects/sparks.psys", kSparks);
  const std::string blank = folder.Write("data/effects/blank.PSYS", "// nothing yet\n");
  // A small file is read into the shared buffer while that is free; note where it lies.
  char* shared = LoadFileToBuffer(sparks.c_str());
  FreeFileBuffer(shared);
  CResourceTable table;
  RegisterEffectsLoaders();
  RegisterEffectsLoaders();  // a second registration changes nothing
  const int good = table.Add(sparks.c_str());
  const int empty = table.Add(blank.c_str());
  const int missing = table.Add((folder.Path() + "data/effects/smoke.psys").c_str());
  EXPECT_EQ(kResourceParticles, table.GetType(empty));

  auto* def = static_cast<CParticleSystemDef*>(table.GetResource(good));
  ASSERT_NE(nullptr, def);
  EXPECT_EQ(def, table.GetResource(good));  // shared, not loaded twice
  EXPECT_EQ(kResourceParticles, table.GetType(good));

  {
    testing_support::DebugCapture log;
    EXPECT_EQ(nullptr, table.GetResource(empty));
    EXPECT_NE(std::string::npos, log.Text().find("defines nothing")) << log.Text();
  }
  // The blank file was read into the shared buffer the definition came from: it kept its own copy.
  EXPECT_STREQ(kSparks, def->GetText());
  EXPECT_FALSE(table.IsLoaded(empty));
  EXPECT_EQ(nullptr, table.GetResource(missing));
  EXPECT_FALSE(table.IsLoaded(missing));

  // Unloading frees the definition (the sanitizer build checks for leaks); a new request
  // loads it again from the file.
  table.Unload(good);
  EXPECT_FALSE(table.IsLoaded(good));
  auto* again = static_cast<CParticleSystemDef*>(table.GetResource(good));
  ASSERT_NE(nullptr, again);
  EXPECT_STREQ(kSparks, again->GetText());
  // Every load, good or empty, handed its file buffer back: the next read gets the shared one.
  char* next = LoadFileToBuffer(sparks.c_str());
  EXPECT_EQ(shared, next);
  FreeFileBuffer(next);
}

TEST(EffectSystem, ManagersLiveFromALevelsStartToItsClear) {
  WorldServices services;
  RegisterWorldEffects(services);
  ASSERT_NE(nullptr, services.createEffects);
  std::unique_ptr<CWorldEffects> effects = services.createEffects();
  ASSERT_NE(nullptr, dynamic_cast<CEffectSystem*>(effects.get()));
  // Before a level: nothing to step or draw, and the particles run regardless.
  EXPECT_TRUE(effects->GetEffectManager() == nullptr && effects->GetWeatherManager() == nullptr);
  effects->UpdateWeather(0.1f);
  effects->Render(nullptr);
  const uint32_t particles = GetParticleManager()->GetUpdateCount();
  effects->UpdateParticles(0.1f);
  EXPECT_EQ(particles + 1, GetParticleManager()->GetUpdateCount());

  effects->ResetEffectManager();
  EXPECT_TRUE(effects->GetEffectManager() != nullptr && effects->GetWeatherManager() == nullptr);
  CResourceTable table;
  effects->StartLevel(&table);
  ASSERT_TRUE(effects->GetEffectManager() != nullptr && effects->GetWeatherManager() != nullptr);
  effects->UpdateWeather(0.1f);
  effects->UpdateWeather(0.1f);
  EXPECT_EQ(2u, effects->GetWeatherManager()->GetUpdateCount());
  effects->StartLevel(&table);  // a new level's weather starts from nothing
  EXPECT_EQ(0u, effects->GetWeatherManager()->GetUpdateCount());
  effects->Clear();
  EXPECT_TRUE(effects->GetEffectManager() == nullptr && effects->GetWeatherManager() == nullptr);
}

TEST(EffectSystem, ALevelMeshGivesTheManagersItsTriggersAndCloudLayersOnce) {
  ShadedMesh mesh;
  ASSERT_TRUE(mesh.Create("level", 3, 1, 0, 0, 0, 1));
  auto add = [&mesh](uint32_t type, std::vector<uint8_t> data, size_t keep) {
    data.resize(keep);
    mesh.AddAttachPoint(COrientation(), type, static_cast<uint32_t>(data.size()), data.data(), false);
  };
  ScriptTriggerRecord trigger;
  trigger.triggerId = 3;
  trigger.cameraId = 5;
  trigger.start = 1.0f;
  trigger.end = 2.0f;
  std::vector<uint8_t> triggerBytes, layerBytes;
  trigger.Write(triggerBytes);
  add(ScriptTriggerRecord::kAttachType, triggerBytes, triggerBytes.size());
  add(ScriptTriggerRecord::kAttachType, triggerBytes, triggerBytes.size());      // the same ID again
  add(ScriptTriggerRecord::kAttachType, triggerBytes, triggerBytes.size() - 1);  // cut short
  CloudLayerRecord layer;
  const float box[6] = {-10, -20, 30, 10, 20, 40};
  std::copy(box, box + 6, layer.box);
  layer.levels = 2;
  layer.Write(layerBytes);
  add(CloudLayerRecord::kAttachType, layerBytes, layerBytes.size());
  add(CloudLayerRecord::kAttachType, layerBytes, 20);
  COrientation meshWorld;
  meshWorld.position = Vector3(100, 50, 0);

  WorldServices services;
  RegisterWorldEffects(services);
  std::unique_ptr<CWorldEffects> effects = services.createEffects();
  effects->AddLevelEffects(mesh, meshWorld);  // no managers yet: nothing to keep them, nothing made
  CResourceTable table;
  effects->StartLevel(&table);
  testing_support::DebugCapture log;
  effects->AddLevelEffects(mesh, meshWorld);
  EXPECT_NE(log.Text().find("CEffectManager: a second trigger 3 skipped\n"), std::string::npos) << log.Text();
  EXPECT_NE(log.Text().find("CScriptTrigger: record of 15 bytes, not 16\n"), std::string::npos);
  EXPECT_NE(log.Text().find("CCloudLayer: record of 20 bytes, not 72\n"), std::string::npos);
  const CEffectManager* manager = effects->GetEffectManager();
  ASSERT_EQ(manager->GetTriggerCount(), 1u);
  auto* made = dynamic_cast<CScriptTrigger*>(manager->FindTrigger(3));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->GetCameraID(), 5u);
  EXPECT_EQ(manager->FindTrigger(0), nullptr);
  EXPECT_EQ(made->GetValue(), 0.0f) << "no world has its camera";
  const CWeatherManager* weather = effects->GetWeatherManager();
  ASSERT_EQ(weather->GetCloudLayerCount(), 1u);
  EXPECT_EQ(weather->GetCloudLayer(0)->GetBox().min, Vector3(90, 30, 30)) << "about the point, placed with the mesh";
  EXPECT_EQ(weather->GetCloudLayer(0)->GetMesh()->vertexCount, 25u);
  effects->Clear();
  EXPECT_TRUE(effects->GetEffectManager() == nullptr && effects->GetWeatherManager() == nullptr);
}

// However many cloud-layer records a level carries, the weather takes the first four readable
// ones in order and makes those whose surfaces stay within the vertex budget of the level's
// layers together; the rest are refused with a line each for the budget and one line for the
// count.
TEST(EffectSystem, ALevelsCloudLayersAreBoundedInNumberAndSurface) {
  plat::srand(7);
  ShadedMesh mesh;
  ASSERT_TRUE(mesh.Create("level", 3, 1, 0, 0, 0, 1));
  CloudLayerRecord layer;
  const float box[6] = {-100, -100, 40, 100, 100, 60};
  std::copy(box, box + 6, layer.box);
  auto add = [&mesh, &layer](uint32_t levels, size_t keep) {
    layer.levels = levels;
    std::vector<uint8_t> bytes;
    layer.Write(bytes);
    bytes.resize(keep);
    mesh.AddAttachPoint(COrientation(), CloudLayerRecord::kAttachType, static_cast<uint32_t>(bytes.size()),
                        bytes.data(), false);
  };
  add(7, CloudLayerRecord::kSize);
  add(7, 20);  // unreadable: not one of the four
  add(6, CloudLayerRecord::kSize);
  add(7, CloudLayerRecord::kSize);  // 16641 + 4225 + 16641 vertices pass the budget
  add(5, CloudLayerRecord::kSize);
  for (int i = 0; i < 300; ++i) add(i % 2 == 0 ? 7 : 0, CloudLayerRecord::kSize);

  CResourceTable table;
  CWeatherManager weather(&table);
  testing_support::DebugCapture log;
  EXPECT_EQ(weather.AddLevelCloudLayers(mesh, COrientation()), 3u);
  ASSERT_EQ(weather.GetCloudLayerCount(), 3u);
  const uint32_t want[] = {129 * 129, 65 * 65, 33 * 33};
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(weather.GetCloudLayer(i)->GetMesh()->vertexCount, want[i]) << i;
  EXPECT_EQ(log.Text(),
            "CCloudLayer: record of 20 bytes, not 72\n"
            "CWeatherManager: a cloud layer of 7 levels refused: the level's layers would pass 33282 vertices\n"
            "CWeatherManager: 300 more cloud-layer records refused: a level has at most 4\n");
}
