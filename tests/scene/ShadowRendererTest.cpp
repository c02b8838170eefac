// Projected shadows: projection set-up, the pool, what reaches the back end, change tests and relighting.
#include <gtest/gtest.h>

#include <string>

#include <cmath>
#include <memory>
#include <vector>

#include "core/spatial/BoundedObject.h"
#include "core/spatial/Octree.h"
#include "core/math/ViewFrustum.h"
#include "physics/terrain/TerrainCollision.h"
#include "render/image/Texture.h"
#include "render/view/RenderView.h"
#include "scene/lighting/DirectionalLight.h"
#include "scene/lighting/LightList.h"
#include "scene/lighting/LightingRefresh.h"
#include "scene/lighting/PointLight.h"
#include "scene/lighting/ShadowProjector.h"
#include "scene/lighting/ShadowRenderer.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/MeshLayer.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/RecordingRasterizer.h"
#include "tools/DemoContent.h"

namespace {

// A back end whose render-target switch can succeed.
class TargetRasterizer : public RecordingRasterizer {
 public:
  bool targetResult = true;
  bool SetRenderTarget(CTexture* target, uint32_t a, uint32_t b, uint32_t c) override {
    RecordingRasterizer::SetRenderTarget(target, a, b, c);
    return targetResult;
  }
};

// The octree's handle on a mesh instance.
class Handle : public CBoundedObject {
 public:
  Handle(CMeshInstance* owner, uint32_t flags, const Box& box) {
    m_ownerInstance = owner;
    SetBoundFlags(flags);
    SetBounds(box);
  }
};

const Box kEverywhere(Vector3(-1000, -1000, -1000), Vector3(1000, 1000, 1000));

CDirectionalLight* MakeSun(uint32_t flags) {
  auto* sun = new CDirectionalLight(1, 1, 1, 0, 0, 100, 0, 0, -1, flags, 1e6f, 1e6f, 1e6f, 1e6f);
  sun->SetBounds(kEverywhere);
  return sun;
}

Matrix4 At(float x, float y, float z) {
  Matrix4 m;
  m.m[3][0] = x, m.m[3][1] = y, m.m[3][2] = z;
  return m;
}

// Ground grid whose terrain faces receive shadows, boxes casting them, one sun, a camera looking down at them.
struct Scene {
  COctree tree{kEverywhere};
  LightList lights{&tree};
  std::unique_ptr<CDirectionalLight> sun{MakeSun(0x1 | 0x4)};
  TargetRasterizer back;
  CRenderView view;
  ViewFrustum camera;
  std::unique_ptr<ShadedMesh> groundMesh{DemoContent::BuildGroundGrid(9, 4.0f)};
  std::unique_ptr<ShadedMesh> boxMesh{DemoContent::BuildBox(1, 1, 1)};
  CMeshInstance ground;
  std::vector<std::unique_ptr<CMeshInstance>> casters;
  std::vector<std::unique_ptr<Handle>> handles;
  ShadowRenderer shadows;
  float now = 0.0f;  // the world time of the last frame

  Scene() {
    lights.Add(sun.get());
    camera.frame.position = Vector3(0, -40, 30);
    camera.frame.LookAtWithUp(Vector3(0, 0, 0), Vector3(0, 0, 1));
    camera.SetFieldOfView(1.2f);
    view.Setup(&back, &camera, nullptr, &lights, 31);
    EXPECT_TRUE(ground.SetMesh(groundMesh.get(), false, false, true, 0, 0, nullptr, true, nullptr));
    BuildTerrainCollisionPolygons(&tree, &ground, nullptr, 7, nullptr, false, false);
  }
  CMeshInstance* AddCaster(float x, float y, float z, float scale = 1.0f) {
    Matrix4 m = At(x, y, z);
    for (int i = 0; i < 3; ++i) m.m[i][i] = scale;
    casters.push_back(std::make_unique<CMeshInstance>());
    EXPECT_TRUE(casters.back()->SetMesh(boxMesh.get(), false, false, true, 0, 0, &m, true, nullptr));
    File(casters.back().get(), CBoundedObject::kCastsProjectedShadow,
         Box(Vector3(x - scale, y - scale, z), Vector3(x + scale, y + scale, z + 2 * scale)));
    return casters.back().get();
  }
  void File(CMeshInstance* owner, uint32_t flags, const Box& box) {
    handles.push_back(std::make_unique<Handle>(owner, flags, box));
    tree.InsertObject(handles.back().get());
  }
  void Setup(std::vector<uint32_t> counts) { shadows.Setup(&view, &tree, counts.data(), counts.size(), 5000.0f); }
  // New lights fade in over a second of world time: render until they are at full strength.
  void Frames(int n) {
    for (int i = 0; i < n; ++i) shadows.Render(now += 1.0f);
  }
};

}  // namespace

TEST(ShadowProjection, FrustumPerLightKind) {
  const Vector3 centre(10, 5, 2);
  ViewFrustum f;
  std::unique_ptr<CDirectionalLight> sun(MakeSun(5));
  ASSERT_TRUE(SetupShadowProjection(f, *sun, centre, 2.0f));
  EXPECT_NEAR((f.GetFrame().position - Vector3(10, 5, 102)).Length(), 0.0f, 1e-4f);  // 100 back along the light
  EXPECT_NEAR(f.GetNear(), 98.0f, 1e-4f);

  CPointLight lamp(1, 1, 1, 10, 5, 12, 5, 100, 0.0f, 0);
  ASSERT_TRUE(SetupShadowProjection(f, lamp, centre, 2.0f));
  EXPECT_NEAR(f.GetTanHalfFov(), 2.0f / 10.0f, 1e-5f);

  // Closer to the light than radius + 0.01: the near plane stays at 0.01.
  CPointLight close(1, 1, 1, 10, 5, 3, 5, 100, 0.0f, 0);
  ASSERT_TRUE(SetupShadowProjection(f, close, centre, 2.0f));
  EXPECT_FLOAT_EQ(f.GetNear(), 0.01f);

  // A light at the caster's centre has no direction to look along: the frustum is left alone.
  CPointLight inside(1, 1, 1, 10, 5, 2, 5, 100, 0.0f, 0);
  const ViewFrustum before = f;
  EXPECT_FALSE(SetupShadowProjection(f, inside, centre, 2.0f));
  EXPECT_FLOAT_EQ(f.GetNear(), before.GetNear());
  EXPECT_TRUE(std::isfinite(f.GetTanHalfFov()));
}

TEST(ShadowRenderer, PoolOrderedFromLargestTexturesAndReachStaysFinite) {
  Scene s;
  s.Setup({2, 0, 1, 0, 0, 0, 0, 0, 0, 7});  // the tenth entry (512) is not offered
  ASSERT_EQ(s.shadows.GetProjectorCount(), 3u);
  EXPECT_EQ(s.shadows.GetProjector(0)->GetTextureSide(), 4u);

  ViewFrustum cam;
  cam.SetOrthographic();
  // Degenerate cameras must not divide by zero.
  cam.SetOrthoWidth(0.0f);
  EXPECT_TRUE(std::isfinite(s.shadows.ComputeReach(cam)));
  cam.SetPerspective();
  cam.SetFieldOfView(0.0f);
  EXPECT_TRUE(std::isfinite(s.shadows.ComputeReach(cam)));
}

TEST(ShadowRenderer, CasterAboveGroundDrawsItsSilhouetteAndLaysAShadow) {
  Scene s;
  CMeshInstance* caster = s.AddCaster(0, 0, 6);
  s.Setup({0, 0, 0, 0, 0, 0, 1});
  s.Frames(3);

  ShadowProjector* p = s.shadows.GetProjector(0);
  ASSERT_EQ(p->GetCaster(), caster);

  // The box's twelve triangles went into the texture, each box vertex sent once; then the back
  // buffer and camera are back.
  const std::string silhouette = "DrawTriangles(" + std::to_string(s.boxMesh->vertexCount) + ",12)";
  const int draw = s.back.IndexOf(silhouette, s.back.IndexOf("SetRenderTarget"));
  ASSERT_GT(draw, 0);
  EXPECT_GE(s.back.IndexOf("SetRenderTarget", draw), 0);
  EXPECT_EQ(s.view.GetView(), &s.camera);

  // The ground receives one layer with the shadow texture, under the caster.
  ASSERT_EQ(p->GetLayers().size(), 1u);
  const CMeshLayer* layer = p->GetLayers()[0].get();
  EXPECT_EQ(layer->GetInstance(), &s.ground);
  EXPECT_GT(layer->GetFaceCount(), 0u);
  EXPECT_TRUE(caster->GetLayers().empty());

  // A still caster is not redrawn; of turns by sines 0.045 and 0.055 (limit 0.05), then a move, all but the first are.
  const uint32_t renders = p->GetRenderCount();
  s.Frames(3);
  EXPECT_EQ(p->GetRenderCount(), renders);
  const float sines[] = {0.045f, 0.055f, 0.0f};
  for (uint32_t i = 0; i < 3; ++i) {
    COrientation pose;
    pose.RotateZ(std::asin(sines[i]));
    if (i == 2) pose.position = Vector3(3, 0, 6);
    caster->SetTransform(&pose, true);
    s.Frames(1);
    EXPECT_EQ(p->GetRenderCount(), renders + i) << i;
  }
}

TEST(ShadowRenderer, NothingIsDrawnWithoutCastersInReachOrWithoutATarget) {
  {
    Scene s;
    s.Setup({0, 0, 0, 2});
    s.Frames(3);
    EXPECT_EQ(s.back.Count("DrawTriangles"), 0);
    EXPECT_EQ(s.shadows.GetProjector(0)->GetCaster(), nullptr);
  }
  {
    Scene s;
    s.AddCaster(0, 900, 6);  // far outside the reach around the camera
    s.Setup({0, 0, 0, 2});
    s.Frames(3);
    EXPECT_EQ(s.shadows.GetProjector(0)->GetCaster(), nullptr);
  }
  {
    // The back end refuses the texture as a target: nothing is drawn, nothing breaks.
    Scene s;
    s.back.targetResult = false;
    s.AddCaster(0, 0, 6);
    s.Setup({0, 0, 0, 1});
    s.Frames(3);
    EXPECT_GT(s.back.Count("SetRenderTarget"), 0);
    EXPECT_EQ(s.back.Count("BeginScene"), 0);
    EXPECT_EQ(s.shadows.GetProjector(0)->GetRenderCount(), 0u);
  }
}

TEST(ShadowRenderer, BiggestCastersOnScreenGetTheProjectors) {
  Scene s;
  s.AddCaster(-6, 0, 4, 0.5f);  // the smallest: both projectors go to the others
  CMeshInstance* big = s.AddCaster(6, 0, 4, 2.0f);
  CMeshInstance* middle = s.AddCaster(0, 0, 4, 1.0f);
  s.Setup({0, 0, 0, 0, 2});
  s.Frames(3);
  EXPECT_EQ(s.shadows.GetProjector(0)->GetCaster(), big);
  EXPECT_EQ(s.shadows.GetProjector(1)->GetCaster(), middle);
  // Up close the middle one looks biggest: the projector already casting it moves to the front, texture and all.
  ShadowProjector* kept = s.shadows.GetProjector(1);
  s.camera.frame.position = Vector3(0, -3, 5);
  s.camera.frame.LookAtWithUp(Vector3(0, 0, 4), Vector3(0, 0, 1));
  s.Frames(1);
  EXPECT_EQ(s.shadows.GetProjector(0), kept);
  EXPECT_EQ(kept->GetCaster(), middle);
}

TEST(LightingRefresh, RelightsWhatEachShadowLightSeesAroundTheBox) {
  Scene s;
  std::unique_ptr<CPointLight> lamp(new CPointLight(1, 1, 1, 0, 0, 30, 0x1 | 0x4, 100, 0.0f, 0));
  lamp->SetBounds(kEverywhere);
  // The sun, then the lamp, each alone in its list: the light's own view finds what is near the box.
  CLight* const only[2] = {s.sun.get(), lamp.get()};
  CMeshInstance near[2], far[2];
  for (int i = 0; i < 2; ++i) {
    LightList one(&s.tree);
    one.Add(only[i]);
    ASSERT_TRUE(near[i].SetMesh(s.boxMesh.get(), false, false, true, 0, 0, nullptr, true, nullptr));
    ASSERT_TRUE(far[i].SetMesh(s.boxMesh.get(), false, false, true, 0, 0, nullptr, true, nullptr));
    s.File(&near[i], CBoundedObject::kShadowLightTarget, Box(Vector3(-1, -1, 0), Vector3(1, 1, 2)));
    s.File(&far[i], CBoundedObject::kShadowLightTarget, Box(Vector3(400, 400, 0), Vector3(402, 402, 2)));
    EXPECT_FALSE(near[i].IsLightingStale());
    LightingRefresh::InvalidateBox(one, s.tree, Box(Vector3(-2, -2, 0), Vector3(2, 2, 3)));
    EXPECT_TRUE(near[i].IsLightingStale()) << i;
    EXPECT_FALSE(far[i].IsLightingStale()) << i;
  }
}
