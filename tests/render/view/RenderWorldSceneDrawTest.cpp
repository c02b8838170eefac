// The world's scene pass drawing the generated demo level and a few meshes (each large enough on
// screen to be drawn) from fixed cameras
// into the recording back end.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/world/GameActionLayer.h"
#include "core/world/GameWorld.h"
#include "core/services/WorldPointer.h"
#include "core/services/WorldServices.h"
#include "core/math/Orientation.h"
#include "render/image/Texture.h"
#include "render/view/RenderView.h"
#include "scene/camera/ObserverCam.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LightList.h"
#include "scene/lighting/PointLight.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/MeshSection.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/Golden.h"
#include "tests/support/RecordingRasterizer.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentLevel.h"

namespace {

using testing_support::DebugCapture;

constexpr uint32_t kWidth = 640;
constexpr uint32_t kHeight = 480;

// Counts the hook a world gets before its scene is drawn (where a game adds its own set-up).
class HookedWorld : public CGameWorld {
 public:
  using CGameWorld::CGameWorld;
  void OnBeforeSceneDraw(CRenderView* view) override { ++beforeDraws; }
  int beforeDraws = 0;
};

// The pointer the world draws over each frame, counting what the world asks of it.
struct CountingPointer : CWorldPointer {
  static inline int draws = 0;
  static inline int invalidates = 0;
  static inline const RecordingRasterizer* rasterizer = nullptr;  // when set, its back-buffer lock is noted at the draw
  static inline int locksAtDraw = -1;
  void Update() override {}
  void Invalidate() override { ++invalidates; }
  void Draw(CRenderView* view, bool toBackBuffer) override {
    draws += toBackBuffer ? 1 : 100;
    if (rasterizer != nullptr) locksAtDraw = rasterizer->lockDepth;
  }
  void SetFrame(int frame) override {}
  void SetVisible(bool) override {}
  bool IsVisible() const override { return true; }
};

// A layer that leaves the back buffer locked, as one drawing straight into it does.
struct LockingLayer : CGameActionLayer {
  explicit LockingLayer(RecordingRasterizer* r) : rasterizer(r) {}
  void Draw(CRenderView* view, PixelBufferDesc** locked) override { *locked = rasterizer->LockBackBuffer(); }
  RecordingRasterizer* rasterizer;
};

// Worlds built while this lives get the counting pointer; the program's factory comes back after.
class CountingPointerScope {
 public:
  CountingPointerScope() : m_saved(GetWorldServices().createPointer) {
    GetWorldServices().createPointer = [] { return std::unique_ptr<CWorldPointer>(std::make_unique<CountingPointer>()); };
    CountingPointer::draws = CountingPointer::invalidates = 0;
    CountingPointer::locksAtDraw = -1;
  }
  ~CountingPointerScope() {
    GetWorldServices().createPointer = m_saved;
    CountingPointer::rasterizer = nullptr;
  }

 private:
  WorldServices::PointerFactory m_saved;
};

struct DemoScene {
  // boxTexture, when given, textures every face of the first box, which is then drawn face by
  // face from the lists its terrain polygons fill, as a loaded level is. The back end is of `kind`.
  explicit DemoScene(CTexture* boxTexture = nullptr, RasterizerKind kind = kRasterizerSoftware)
      : rasterizer(kWidth, kHeight, kind), world(nullptr, nullptr) {
    view.Setup(&rasterizer, nullptr, world.GetFogState(), world.GetLightList(), 31);
    world.SetRenderView(&view);
    // Fog thinning from the ground to 8 up, gone by 150 away; a grey ambient and a red light.
    world.GetFogState()->Set(FogSettings{0, 0.0f, 8.0f, 150.0f});
    world.GetLightList()->SetBaseColor(Vector3(0.3f, 0.3f, 0.3f));
    world.AddLight(std::make_unique<CPointLight>(1.0f, 0.0f, 0.0f, 30, 30, 4, CLight::kLightsMeshes | CLight::kBounded,
                                                 12.0f, 1.0f, 2));
    meshes.push_back(DemoContent::BuildLevelMesh());
    meshes.push_back(DemoContent::BuildBox(2.0f, 2.0f, 2.0f));
    if (boxTexture) {
      meshes.back()->SetTextureName(0, boxTexture, "box.texture");
      meshes.back()->SetTexture(0, boxTexture);
      meshes.back()->BuildVertexSharing();
    }
    meshes.push_back(DemoContent::BuildRamp(8.0f, 4.0f, 2.0f));
    meshes.push_back(DemoContent::BuildBox(1.0f, 2.0f, 3.0f));
    meshes.push_back(DemoContent::BuildSkinnedFigure());
    const Vector3 places[] = {{0, 0, 0}, {20, 30, 2}, {45, 15, 2}, {30, 50, 5}, {50, 40, 2}};
    for (size_t i = 0; i < meshes.size(); ++i) {
      EXPECT_NE(meshes[i], nullptr);
      COrientation at;
      at.SetPosition(places[i]);
      instances.push_back(world.AddTerrainMesh(meshes[i].get(), &at, true, false));
      EXPECT_NE(instances.back(), nullptr);
    }
    auto owned = std::make_unique<CObserverCam>();
    camera = owned.get();
    world.AddCamera(std::move(owned));
    world.SetCurrentCamera(0);
  }

  void Look(const Vector3& from, const Vector3& at) {
    camera->GetView().GetFrame().SetPosition(from);
    camera->GetView().GetFrame().LookAtWithUp(at, Vector3(0, 0, 1));
    rasterizer.Forget();
    PixelBufferDesc* locked = nullptr;
    world.RenderScene(&view, &locked);
  }

  DebugCapture quiet;
  RecordingRasterizer rasterizer;
  CRenderView view;
  HookedWorld world;
  std::vector<std::unique_ptr<ShadedMesh>> meshes;
  std::vector<CMeshInstance*> instances;
  CObserverCam* camera = nullptr;
};

TEST(RenderWorldSceneDraw, TheWholeLevelSeenFromOutsideLiesOnScreenInDepthRange) {
  DemoScene scene;
  const Vector3 eye(34, -90, 80);
  scene.Look(eye, Vector3(34, 34, 4));
  EXPECT_EQ(scene.world.beforeDraws, 1);
  // One scene, every corner on screen, finite and in the depth range: nothing is behind the
  // eye and nothing is translucent, so exactly the faces not turned away arrive, the skinned
  // figure's culled from its bones as the rest from their face normals.
  testing_support::ExpectGolden(scene.rasterizer.Transcript(), "render/view/golden/world_from_outside.txt");
  scene.world.SetOverview(true);  // straight down from as high above the level as it is wide and tall
  scene.Look(eye, Vector3(34, 34, 4));
  // Every corner at least the level's width and height away.
  testing_support::ExpectGolden(scene.rasterizer.Transcript(), "render/view/golden/world_overview.txt");
  // Afterwards detail levels are back on, and the view is the back buffer's size (0 x 0 without it).
  EXPECT_EQ(scene.view.GetFlags() & 128u, 0u);
  EXPECT_EQ(std::make_pair(scene.world.GetViewWidth(), scene.world.GetViewHeight()), std::make_pair(640, 480));
}

TEST(RenderWorldSceneDraw, AWholeFrameDrawsThePointerOnceOverAFreshBackground) {
  CountingPointerScope pointer;
  DemoScene scene;
  scene.camera->GetView().GetFrame().SetPosition(Vector3(34, -90, 80));
  scene.camera->GetView().GetFrame().LookAtWithUp(Vector3(34, 34, 4), Vector3(0, 0, 1));
  scene.world.Render(&scene.view);
  EXPECT_EQ(CountingPointer::invalidates, 1);
  EXPECT_EQ(CountingPointer::draws, 1);  // once, into the back buffer
}

TEST(RenderWorldSceneDraw, ABackBufferALayerLeftLockedIsUnlockedOnceBeforeThePointerDraws) {
  CountingPointerScope pointer;
  DemoScene scene;
  CountingPointer::rasterizer = &scene.rasterizer;
  scene.world.AddLayerOnTop(std::make_unique<LockingLayer>(&scene.rasterizer));
  scene.rasterizer.Forget();
  scene.world.Render(&scene.view);
  EXPECT_EQ(CountingPointer::draws, 1);
  EXPECT_EQ(CountingPointer::locksAtDraw, 0);
  EXPECT_EQ(scene.rasterizer.Count("UnlockBackBuffer"), 1);
  EXPECT_EQ(scene.rasterizer.lockDepth, 0);
}

// Drawn for a hardware back end, whose frame clears first and sorts translucent work.
TEST(RenderWorldSceneDraw, AnEyeInsideTheLevelGetsOnlyClippedFiniteCornersInFront) {
  DemoScene scene(nullptr, kRasterizerHardware);
  const Vector3 eye(10, 10, 3);
  scene.Look(eye, Vector3(40, 40, 2));
  EXPECT_GT(scene.view.GetStatistics().clipVertices, 0u) << "the ground runs under the eye, so faces are clipped";
  // Every corner finite, in the depth range and no nearer than the near plane.
  testing_support::ExpectGolden(scene.rasterizer.Transcript(), "render/view/golden/world_from_inside.txt");
}

uint32_t TrianglesWithTexture(const RecordingRasterizer& rasterizer, const CTexture* texture) {
  uint32_t triangles = 0;
  for (const RecordingRasterizer::Draw& draw : rasterizer.draws)
    if (!draw.lines && draw.texture == texture) triangles += static_cast<uint32_t>(draw.indices.size() / 3);
  return triangles;
}

// A texture with an alpha channel and no see-through pixel is plain opaque terrain: its faces
// reach the back end. Only a texture whose author keeps it out of the world's draw lists stays away.
TEST(RenderWorldSceneDraw, TerrainWithAnOpaqueAlphaTextureIsDrawn) {
  const std::vector<uint32_t> pixels(8 * 8, 0xFF4080C0u);
  CTexture opaque;
  ASSERT_TRUE(opaque.CreateFromPixels(pixels.data(), 4, 8, 8, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u, 0, "opaque"));
  EXPECT_TRUE(opaque.IsAlphaAllOpaque());
  EXPECT_EQ(opaque.flags & (CTexture::kNoSections | CTexture::kTranslucent | CTexture::kTranslucentAdd), 0u);
  const Vector3 eye(20, 18, 9);
  {
    DemoScene scene(&opaque);
    scene.Look(eye, Vector3(20, 30, 2));
    // The box (z 2 to 6) seen from above its -y side shows that wall and its lid, two faces each.
    EXPECT_EQ(TrianglesWithTexture(scene.rasterizer, &opaque), 4u);
  }
  CTexture authored;
  ASSERT_TRUE(authored.CreateFromPixels(pixels.data(), 4, 8, 8, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u,
                                        CTexture::kNoSections, "authored"));
  EXPECT_TRUE(authored.HasAnyFlag(CTexture::kNoSections));
  DemoScene scene(&authored);
  scene.Look(eye, Vector3(20, 30, 2));
  EXPECT_EQ(TrianglesWithTexture(scene.rasterizer, &authored), 0u);
  EXPECT_FALSE(scene.rasterizer.draws.empty()) << "the rest of the level still draws";
}

// A back end with vertex buffers gets a level cut into sections that hold every face once, filed
// beside the faces' collision polygons; the world's clear leaves the tree empty, and the next
// level is cut afresh.
TEST(RenderWorldSceneDraw, ABufferedBackEndGetsEveryLevelFaceInOneFiledSection) {
  DebugCapture quiet;
  RecordingRasterizer rasterizer(kWidth, kHeight);
  rasterizer.vertexBuffers = true;
  CRenderView view;
  CGameWorld world(nullptr, nullptr);
  view.Setup(&rasterizer, nullptr, world.GetFogState(), world.GetLightList(), 31);
  world.SetRenderView(&view);
  const std::unique_ptr<ShadedMesh> level = DemoContent::BuildGroundGrid(41, 1.0f);
  ASSERT_GT(level->faceCount, 2 * CMeshSection::kWorldFaceLimit);  // so three sections at least
  for (int load = 0; load < 2; ++load) {
    SCOPED_TRACE(load);
    world.AddTerrainMesh(level.get(), nullptr, true, false);
    std::vector<CBoundedObject*> filed;
    world.GetOctree().CollectAll(&filed, 0);
    size_t sections = 0;
    uint32_t faces = 0;
    for (CBoundedObject* object : filed)
      if (const auto* section = dynamic_cast<const CMeshSection*>(object)) {
        ++sections;
        faces += section->GetFaceCount();
        EXPECT_LE(section->GetFaceCount(), CMeshSection::kWorldFaceLimit);
      }
    EXPECT_EQ(faces, level->faceCount);
    EXPECT_EQ(filed.size(), level->faceCount + sections);
    world.ClearWorld();
    EXPECT_EQ(world.GetOctree().GetObjectCount(), 0u);
  }
}

}  // namespace
