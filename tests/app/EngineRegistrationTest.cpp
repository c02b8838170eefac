// The start-up registration: every asset type the game loads has its loader, and the game's load
// context answers from the world and the active settings at each load.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/EngineRegistration.h"
#include "core/world/GameWorld.h"
#include "core/input/Settings.h"
#include "core/data/ResourceTable.h"
#include "sound/SoundSample.h"
#include "tests/support/TempFolder.h"

using testing_support::TempFolder;

namespace {

// A 16-bit mono WAVE file of n zero samples.
std::string Wave(uint32_t samples) {
  std::string file = "RIFF";
  auto word = [&file](uint32_t v) { for (int i = 0; i < 4; ++i) file += char((v >> (8 * i)) & 0xFF); };
  auto half = [&file](uint16_t v) { file += char(v & 0xFF), file += char(v >> 8); };
  word(36 + 2 * samples);
  file += "WAVEfmt ";
  word(16), half(1), half(1), word(22050), word(44100), half(2), half(16);
  file += "data";
  word(2 * samples);
  file += std::string(2 * samples, '\0');
  return file;
}

}  // namespace

TEST(EngineRegistration, EveryAssetTypeOfTheGameHasItsLoader) {
  RegisterEngineLoaders();
  // Meshes, textures, sounds and particle systems load themselves; bodies and vehicles come out of mesh loads.
  for (uint16_t type : {kResourceMesh, kResourceTexture, kResourceTarga, kResourceSound, kResourceParticles})
    EXPECT_NE(nullptr, CResourceTable::GetLoader(type)) << type;

  TempFolder folder;
  folder.Write("data/sounds/step.wav", Wave(7));
  CResourceTable table;
  const int id = table.Add((folder.Path() + "data/sounds/step.wav").c_str());
  auto* sample = static_cast<CSoundSample*>(table.GetResource(id));
  ASSERT_NE(nullptr, sample);
  EXPECT_EQ(kResourceSound, table.GetType(id));
  EXPECT_EQ(14u, sample->GetDataSize());
}

TEST(EngineRegistration, TheGameContextFollowsTheWorldAndTheSettingsAtEachLoad) {
  CGameWorld world(nullptr, nullptr);
  CResourceTable table;
  RegisterEngineLoaders(table, &world);
  const CResourceLoadContext* context = table.GetLoadContext();
  ASSERT_NE(nullptr, context);

  EXPECT_EQ("", context->GetLevelFolder());
  world.SetLevelDirectory("data/levels/park2/");
  EXPECT_EQ("data/levels/park2/", context->GetLevelFolder());

  CSettings* previous = GetSettings();
  SetSettings(nullptr);
  EXPECT_EQ(0, context->GetTextureDetail());
  EXPECT_TRUE(context->KeepTexturePixels());
  CSettings settings;
  SetSettings(&settings);
  // Full detail setting 1 gives level 0; out-of-range and NaN settings are clamped.
  const struct {
    float setting;
    int detail;
  } cases[] = {{1.0f, 0}, {0.75f, 0}, {0.5f, 1}, {0.25f, 1}, {0.05f, 1}, {0.0f, 2}, {-3.0f, 2}, {7.0f, 0}, {std::nanf(""), 2}};
  for (const auto& c : cases) {
    settings.textureDetail = c.setting;
    EXPECT_EQ(c.detail, context->GetTextureDetail()) << c.setting;
  }
  for (uint32_t renderer : {0u, 1u, 2u}) {
    settings.renderer = renderer;
    EXPECT_EQ(renderer != 1, context->KeepTexturePixels()) << renderer;
  }
  SetSettings(previous);

  // A table of its own with no world: no level folder.
  CResourceTable plain;
  RegisterEngineLoaders(plain, nullptr);
  EXPECT_EQ("", plain.GetLoadContext()->GetLevelFolder());
}
