// Attach glows: a carrier makes one for every glow record of its mesh and replaces them when made
// again; a glow's strength fades towards the carrier's intensity of its index (times its trigger);
// it is drawn through the render view's sprite path exactly as a sprite of its size and colour
// at its attach point, and not at all while dark.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/data/ResourceTable.h"
#include "core/services/AttachObjectCarrier.h"
#include "core/services/WorldServices.h"
#include "core/world/GameWorld.h"
#include "effects/AttachGlow.h"
#include "effects/AttachGlowRecord.h"
#include "render/image/Texture.h"
#include "render/view/RenderView.h"
#include "scene/mesh/AttachPoint.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/RecordingScene.h"
#include "tests/support/TempFolder.h"

using testing_support::DebugCapture;

namespace {

// A carrier whose intensity of index 2 is set by the test; every other index is dark.
struct Carrier : CAttachObjectCarrier {
  float intensity = 0.0f;
  float GetAttachIntensity(int index) const override { return index == 2 ? intensity : 0.0f; }
};

AttachGlowRecord Glow(int32_t index, uint32_t trigger = 0) {
  AttachGlowRecord r;
  r.intensityIndex = index;
  r.triggerId = trigger;
  r.halfSide = 2.0f;
  r.colour = 0x80FF8040u;
  return r;
}

// A one-triangle mesh with attach points: a glow at (10, 0, 0), a named point, a glow record cut
// short, and a glow switched by a trigger the world does not have.
struct GlowMesh {
  ShadedMesh mesh;
  CMeshInstance instance;
  GlowMesh() {
    mesh.Create("lamp", 3, 1, 0, 0, 0, 1);
    auto add = [this](const Vector3& at, uint32_t type, const std::vector<uint8_t>& data) {
      COrientation frame;
      frame.position = at;
      mesh.AddAttachPoint(frame, type, static_cast<uint32_t>(data.size()), data.data(), false);
    };
    std::vector<uint8_t> glow, cut, switched;
    Glow(2).Write(glow);
    Glow(2).Write(cut);
    cut.pop_back();
    Glow(2, 9).Write(switched);
    add(Vector3(10, 0, 0), AttachGlowRecord::kAttachType, glow);
    add(Vector3(0, 0, 0), kAttachNamedPoint, std::vector<uint8_t>{'x', 0});
    add(Vector3(0, 0, 0), AttachGlowRecord::kAttachType, cut);
    add(Vector3(12, 1, 0), AttachGlowRecord::kAttachType, switched);
    instance.SetMesh(&mesh, false, false, false, 0, 0, nullptr, true, nullptr);
    COrientation place;
    place.position = Vector3(20, 3, 1);
    instance.SetTransform(&place, true);
  }
};

}  // namespace

TEST(AttachGlow, ACarrierMakesOneGlowPerReadableGlowPointAndReplacesThemWhenMadeAgain) {
  GlowMesh lamp;
  Carrier carrier;
  DebugCapture log;
  ASSERT_EQ(carrier.CreateAttachObjects(&lamp.instance), 2u);
  EXPECT_NE(log.Text().find("CAttachGlow: record of 47 bytes, not 48\n"), std::string::npos) << log.Text();
  auto* first = dynamic_cast<CAttachGlow*>(carrier.GetAttachObject(0));
  auto* second = dynamic_cast<CAttachGlow*>(carrier.GetAttachObject(1));
  ASSERT_TRUE(first != nullptr && second != nullptr);
  EXPECT_EQ(first->GetAttachPoint(), 0u);
  EXPECT_EQ(second->GetAttachPoint(), 3u);
  EXPECT_EQ(second->GetRecord().triggerId, 9u);
  // Made again (a new instance), the old ones go; ASan sees any that stayed. No instance, none.
  EXPECT_EQ(carrier.CreateAttachObjects(&lamp.instance), 2u);
  EXPECT_EQ(carrier.CreateAttachObjects(nullptr), 0u);
  EXPECT_EQ(carrier.GetAttachObject(0), nullptr);
  // Without the effects' maker registered, a carrier carries nothing.
  const WorldServices saved = std::exchange(GetWorldServices(), WorldServices());
  EXPECT_EQ(carrier.CreateAttachObjects(&lamp.instance), 0u);
  GetWorldServices() = saved;
}

TEST(AttachGlow, StrengthFadesTowardsTheCarriersIntensityTimesItsTrigger) {
  GlowMesh lamp;
  Carrier carrier;
  carrier.CreateAttachObjects(&lamp.instance);
  auto* glow = dynamic_cast<CAttachGlow*>(carrier.GetAttachObject(0));
  auto* switched = dynamic_cast<CAttachGlow*>(carrier.GetAttachObject(1));
  ASSERT_TRUE(glow != nullptr && switched != nullptr);
  EXPECT_EQ(glow->GetStrength(), 0.0f) << "dark until its first update";
  carrier.intensity = 1.0f;
  for (const float want : {0.25f, 0.5f, 0.75f, 1.0f, 1.0f}) {
    carrier.UpdateAttachObjects(1.0f / 16.0f);  // a quarter of full strength per step
    EXPECT_EQ(glow->GetStrength(), want);
    EXPECT_EQ(switched->GetStrength(), 0.0f) << "its trigger is not in the world: off";
  }
  carrier.intensity = 0.5f;
  carrier.UpdateAttachObjects(1.0f);
  EXPECT_EQ(glow->GetStrength(), 0.5f) << "a long step stops at the target";
  carrier.intensity = 7.0f;  // intensities beyond the range are taken at its ends
  carrier.UpdateAttachObjects(1.0f);
  EXPECT_EQ(glow->GetTarget(), 1.0f);
  EXPECT_EQ(glow->GetStrength(), 1.0f);
  carrier.intensity = -3.0f;
  carrier.UpdateAttachObjects(-1.0f);  // a step back in time changes nothing
  EXPECT_EQ(glow->GetStrength(), 1.0f);
  carrier.UpdateAttachObjects(1.0f);
  EXPECT_EQ(glow->GetStrength(), 0.0f);
}

TEST(AttachGlow, IsDrawnExactlyAsASpriteOfItsStrengthAtItsAttachPoint) {
  GlowMesh lamp;
  Carrier carrier;
  carrier.CreateAttachObjects(&lamp.instance);
  auto* glow = dynamic_cast<CAttachGlow*>(carrier.GetAttachObject(0));
  ASSERT_NE(glow, nullptr);
  testing_support::RecordingScene drawn, reference;
  ASSERT_TRUE(drawn.Begin() && reference.Begin());
  drawn.rasterizer.Forget();
  carrier.RenderAttachObjects(&drawn.view);
  drawn.view.FlushSortedQueue();
  EXPECT_TRUE(drawn.rasterizer.draws.empty()) << "dark: nothing drawn";

  carrier.intensity = 0.5f;
  carrier.UpdateAttachObjects(1.0f);
  drawn.rasterizer.Forget();
  carrier.RenderAttachObjects(&drawn.view);
  drawn.view.FlushSortedQueue();
  reference.rasterizer.Forget();
  // The point (10, 0, 0) of a mesh placed at (20, 3, 1); half the size, half the alpha.
  reference.view.DrawSprite(Vector3(30, 3, 1), 1.0f, nullptr, 0x40FF8040u);
  reference.view.FlushSortedQueue();
  ASSERT_EQ(drawn.rasterizer.draws.size(), 1u);
  EXPECT_EQ(drawn.rasterizer.Transcript(), reference.rasterizer.Transcript());
}

TEST(AttachGlow, TakesItsTextureFromTheWorldsTableOfTheMomentByName) {
  testing_support::TempFolder folder;
  CTexture::RegisterResourceLoaders();
  CGameWorld world(nullptr, nullptr);
  CResourceTable first, second;
  for (CResourceTable* table : {&first, &second}) {
    const uint32_t white = 0xFFFFFFFFu;
    CTexture t;
    ASSERT_TRUE(t.CreateFromPixels(&white, 4, 1, 1, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0, "glow"));
    const std::string path = folder.MakeFolder(table == &first ? "a" : "b") + "/glow.tex";
    ASSERT_TRUE(t.Save(path.c_str(), 0));
    table->Add(path.c_str());
  }
  GlowMesh lamp;
  AttachGlowRecord record = Glow(2);
  record.texture = "glow.tex";
  Carrier bright;
  bright.intensity = 1.0f;
  CAttachGlow lit(bright, lamp.instance, 0, record);
  lit.Update(1.0f);
  testing_support::RecordingScene drawn;
  ASSERT_TRUE(drawn.Begin());
  // A new level's table holds a texture of that name of its own: the glow draws with it.
  for (CResourceTable* table : {&first, &second, &first}) {
    world.SetResourceTable(table);
    drawn.rasterizer.Forget();
    lit.Render(&drawn.view);
    drawn.view.FlushSortedQueue();
    ASSERT_EQ(drawn.rasterizer.draws.size(), 1u);
    EXPECT_EQ(drawn.rasterizer.draws[0].texture, table->GetResource(0));
    EXPECT_NE(drawn.rasterizer.draws[0].texture, nullptr);
  }
  world.SetResourceTable(nullptr);
}
