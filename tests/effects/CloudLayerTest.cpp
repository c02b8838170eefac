// Cloud layers: the record's reader, the fractal surface a layer makes and owns, its drift, and
// its drawing as sky behind a perspective view.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "effects/CloudLayer.h"
#include "effects/CloudLayerRecord.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/RecordingScene.h"

namespace {

CloudLayerRecord Layer(uint32_t levels) {
  CloudLayerRecord r;
  const float box[6] = {-500, -400, 40, 500, 400, 60};
  std::copy(box, box + 6, r.box);
  r.roughness = 0.5f;
  r.levels = levels;
  r.driftU = 0.25f;
  r.driftV = -0.5f;
  return r;
}

}  // namespace

TEST(CloudLayer, DrawsItsWholeSurfaceAsSkyWithinTheViewsDepthRange) {
  testing_support::RecordingScene s(1 | 2 | 16);
  // Looking up at the layer from the ground, as a camera in the park does.
  s.camera.GetFrame().SetPosition(Vector3(2, 2, 30));
  s.camera.GetFrame().LookAtWithUp(Vector3(34, 34, 18), Vector3(0, 0, 1));
  s.camera.SetFieldOfView(1.2566371f);
  s.camera.SetFar(74.0f);
  CCloudLayer layer;
  ASSERT_TRUE(layer.Init(Layer(5), Vector3(34, 34, 0), nullptr, 1.0f));
  { const ShadedMesh* m = layer.GetMesh(); Box b(m->positions[0], m->positions[0]);
    for (uint32_t i = 0; i < m->vertexCount; ++i) b.ExtendByPoint(m->positions[i]);
    printf("B %g %g %g  %g %g %g n=%u\n", b.min.x, b.min.y, b.min.z, b.max.x, b.max.y, b.max.z, m->vertexCount); }
  ASSERT_TRUE(s.Begin());
  s.rasterizer.Forget();
  layer.Render(&s.view);
  size_t triangles = 0;
  for (const auto& draw : s.rasterizer.draws) triangles += draw.indices.size() / 3;
  EXPECT_GT(triangles, 0u);
  for (const auto& v : s.rasterizer.TriangleCorners()) printf("V %g %g %g %g\n", v.x, v.y, v.z, v.rhw);
}
