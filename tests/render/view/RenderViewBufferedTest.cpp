// The buffered paths against a recording back end that offers vertex buffers: instances and
// world sections are queued for the back end's buffers, sorted, and hint their textures.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/spatial/Octree.h"
#include "core/math/ViewFrustum.h"
#include "render/image/Texture.h"
#include "render/image/DDTexture.h"
#include "render/view/RenderView.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LightList.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/MeshSection.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/RecordingRasterizer.h"
#include "tests/support/RecordingScene.h"
#include "tools/DemoContent.h"

namespace {

// A device texture that keeps every scale hint it is given.
class HintRecorder : public CDDTexture {
 public:
  void GetTexelColour(Color& out, float, float) const override { out = Color(); }
  void SetUseStamp(int32_t) override {}
  void UpdateMaxScale(float scale) override { hints.push_back(scale); }
  std::vector<float> hints;
};

// The back end offers vertex buffers; a begun frame starts with an empty record.
struct Scene : testing_support::RecordingScene {
  Scene() : RecordingScene(1 | 16, true) { texture.deviceTexture = &device; }
  bool Begin() {
    const bool ok = RecordingScene::Begin();
    rasterizer.Forget();
    rasterizer.bufferedInstances.clear();
    return ok;
  }
  HintRecorder device;
  CTexture texture;
};

int Calls(const RecordingRasterizer& rasterizer, const std::string& call) {
  return static_cast<int>(std::count(rasterizer.calls.begin(), rasterizer.calls.end(), call));
}

struct Placed {
  Placed(CTexture* texture, const Vector3& at) : mesh(DemoContent::BuildBox(1.0f, 1.0f, 1.0f)) {
    mesh->SetTextureName(0, texture, "box.texture");
    mesh->SetTexture(0, texture);
    COrientation frame;
    frame.SetPosition(at);
    const Matrix4 matrix = frame.ToMatrix4();
    EXPECT_TRUE(instance.SetMesh(mesh.get(), false, false, false, 0, 0, &matrix, true, nullptr));
  }
  std::unique_ptr<ShadedMesh> mesh;
  CMeshInstance instance;
};

TEST(RenderViewBuffered, InstancesAreQueuedForTheBackEndAndDrawnFarToNear) {
  Scene s;
  Placed nearBox(&s.texture, Vector3(10, 0, 0)), farBox(&s.texture, Vector3(30, 0, 0));
  ASSERT_TRUE(s.Begin());
  s.view.DrawMesh(&nearBox.instance);
  s.view.DrawMesh(&farBox.instance);
  // Nothing of the meshes reaches the triangle path: the back end draws them from its buffers.
  EXPECT_EQ(s.rasterizer.draws.size(), 0u);
  EXPECT_EQ(s.rasterizer.bufferedInstances,
            (std::vector<CMeshInstance*>{&nearBox.instance, &farBox.instance}));
  EXPECT_EQ(Calls(s.rasterizer, "DrawQueuedBuffer(1)"), 2);
  EXPECT_EQ(s.view.GetQueuedCount(), 2u);
  s.rasterizer.bufferedInstances.clear();
  s.view.FlushSortedQueue();
  EXPECT_EQ(Calls(s.rasterizer, "DrawQueuedBuffer(2)"), 2);
  EXPECT_EQ(s.rasterizer.bufferedInstances,
            (std::vector<CMeshInstance*>{&farBox.instance, &nearBox.instance}));
  EXPECT_EQ(s.view.GetQueuedCount(), 0u);

  // A back end that refuses an instance gets no second call for it.
  s.rasterizer.acceptBuffers = false;
  ASSERT_TRUE(s.Begin());
  s.view.DrawMesh(&nearBox.instance);
  s.view.FlushSortedQueue();
  EXPECT_EQ(Calls(s.rasterizer, "DrawQueuedBuffer(2)"), 0);

  // Without vertex buffers the same instance goes down the triangle path, at once: alpha sorting
  // is off, so its translucent texture does not send it to the sorted queue.
  s.rasterizer.vertexBuffers = false;
  s.texture.flags |= CTexture::kTranslucent;
  ASSERT_TRUE(s.Begin());
  s.view.DrawMesh(&nearBox.instance);
  EXPECT_EQ(Calls(s.rasterizer, "DrawQueuedBuffer(1)"), 0);
  EXPECT_FALSE(s.rasterizer.draws.empty());
}

TEST(RenderViewBuffered, AnInstanceHintsItsTexturesOncePerFrameFromItsNearestPoint) {
  Scene s;
  Placed box(&s.texture, Vector3(25, 0, 0));
  ASSERT_TRUE(s.Begin());
  s.view.DrawMesh(&box.instance);
  s.view.DrawMesh(&box.instance);
  ASSERT_EQ(s.device.hints.size(), 1u) << "the second draw in the frame hints nothing";
  const float nearest = 25.0f - box.mesh->radius;
  EXPECT_NEAR(s.device.hints[0], s.view.GetTextureScale() / nearest, 1e-6f);
  s.view.FlushSortedQueue();
  s.view.EndFrame();
  ASSERT_TRUE(s.Begin());
  s.view.DrawMesh(&box.instance);
  EXPECT_EQ(s.device.hints.size(), 2u);
}

// A sprite hints twice its screen width; a quad its nearest corner's scale; a screen polygon the
// most screen pixels any of its edges spends on one texture unit.
TEST(RenderViewBuffered, SpritesAndQuadsHintTheirTexturesFromTheirSizeOnScreen) {
  Scene s;
  ASSERT_TRUE(s.Begin());
  s.view.DrawSprite(Vector3(10, 0, 0), 1.5f, &s.texture, 0xFFFFFFFFu);
  s.view.DrawQuadViewAxes(Vector3(20, 0, 0), Vector3(0, 1, 0), Vector3(-2, 0, 1), &s.texture, 0xFFFFFFFFu);
  s.view.FlushSortedQueue();
  ASSERT_EQ(s.rasterizer.draws.size(), 2u);
  ASSERT_EQ(s.device.hints.size(), 2u);
  const std::vector<ScreenVertex>& quad = s.rasterizer.draws[0].vertices;
  const std::vector<ScreenVertex>& sprite = s.rasterizer.draws[1].vertices;
  ASSERT_EQ(sprite.size(), 4u);
  EXPECT_NEAR(s.device.hints[0], 2.0f * (sprite[1].x - sprite[0].x), 1e-4f);
  float largest = 0.0f;
  for (const ScreenVertex& v : quad) largest = std::max(largest, v.rhw);
  EXPECT_LT(std::min_element(quad.begin(), quad.end(), [](auto& a, auto& b) { return a.rhw < b.rhw; })->rhw, largest);
  EXPECT_NEAR(s.device.hints[1], largest * s.view.GetTextureScale(), 1e-6f);

  const ScreenPolygonPoint points[4] = {
      {0, 0, 0.25f, 0, 1}, {40, 0, 0.75f, 0, 1}, {40, 10, 0.75f, 0.5f, 1}, {0, 10, 0.25f, 0.5f, 1}};
  s.view.DrawScreenQuad(points, &s.texture, 4);
  ASSERT_EQ(s.device.hints.size(), 3u);
  EXPECT_FLOAT_EQ(s.device.hints[2], 80.0f);
}

TEST(RenderViewBuffered, SectionsQueueTheirRangesAndHintEachGroupFromItsBox) {
  Scene s;
  std::unique_ptr<ShadedMesh> grid = DemoContent::BuildGroundGrid(4, 5.0f);
  grid->SetTextureName(0, &s.texture, "grid.texture");
  grid->SetTexture(0, &s.texture);
  COrientation frame;
  frame.SetPosition(Vector3(-2, -10, -3));
  const Matrix4 matrix = frame.ToMatrix4();
  CMeshInstance instance;
  ASSERT_TRUE(instance.SetMesh(grid.get(), false, false, false, 0, 0, &matrix, true, nullptr));
  std::vector<std::unique_ptr<CMeshSection>> sections;
  CMeshSection::Build(&instance, sections, 1000);
  ASSERT_EQ(sections.size(), 1u);
  CMeshSection& section = *sections[0];
  ASSERT_EQ(section.GetGroups().size(), 1u);
  const Box box = section.GetGroups()[0].bounds;

  // The eye above the grid's box: the hint comes from the nearest corner by approximate length.
  s.camera.GetFrame().SetPosition(Vector3(0, 0, 6));
  s.rasterizer.sectionKey = 7.0f;
  ASSERT_TRUE(s.Begin());
  section.Render(&s.view);
  EXPECT_EQ(s.rasterizer.Count("FillVertexBuffer"), 1);
  EXPECT_EQ(s.view.GetQueuedCount(), 1u);
  float nearest = 1e30f;
  for (int c = 0; c < 8; ++c) nearest = std::min(nearest, (box.GetCorner(c) - Vector3(0, 0, 6)).ApproxLength());
  ASSERT_GT(nearest, s.view.GetNearDistance());
  ASSERT_EQ(s.device.hints.size(), 1u);
  EXPECT_NEAR(s.device.hints[0], s.view.GetTextureScale() / nearest, 1e-6f);
  s.view.FlushSortedQueue();
  const uint32_t faces = static_cast<uint32_t>(section.GetGroups()[0].faces.size());
  EXPECT_EQ(Calls(s.rasterizer, "DrawBufferRange(0," + std::to_string(faces) + ")"), 1);
  s.view.EndFrame();

  // An eye inside the box (bounds included) hints with the near distance, here as close as 0.1.
  s.camera.GetFrame().SetPosition(Vector3(box.min.x, box.max.y, box.max.z));
  s.camera.SetNear(0.1f);
  ASSERT_TRUE(s.Begin());
  section.Render(&s.view);
  ASSERT_EQ(s.device.hints.size(), 2u);
  EXPECT_NEAR(s.device.hints[1], s.view.GetTextureScale() / s.view.GetNearDistance(), 1e-6f);
}

}  // namespace
