// Cloud layers: the fractal surface a layer makes over its box, at the levels the effect detail
// allows, bit for bit what the general mesh path makes; its drift over a long run; and its
// drawing as sky, behind the scene and whole however short the view's depth range is, down to
// the horizon from anywhere on the demo level's flight.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "effects/CloudLayer.h"
#include "effects/CloudLayerRecord.h"
#include "physics/terrain/FractalTerrain.h"
#include "platform/system/Platform.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/VertexSharingTable.h"
#include "tests/support/RecordingScene.h"
#include "tools/DemoContentEffects.h"

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

// The corners of every triangle the layer draws for a camera at eye looking at target.
std::vector<ScreenVertex> Drawn(CCloudLayer& layer, const Vector3& eye, const Vector3& target, float farDistance) {
  testing_support::RecordingScene s(1 | 2 | 16);
  s.camera.GetFrame().SetPosition(eye);
  s.camera.GetFrame().LookAtWithUp(target, Vector3(0, 0, 1));
  s.camera.SetFar(farDistance);
  if (!s.Begin()) return {};
  s.rasterizer.Forget();
  layer.Render(&s.view);
  return s.rasterizer.TriangleCorners();
}

// The lowest row the triangles (corner triples) cover on the screen column x; -1 when none crosses it.
float LowestRowOnColumn(const std::vector<ScreenVertex>& corners, float x) {
  float lowest = -1.0f;
  for (size_t t = 0; t + 2 < corners.size(); t += 3) {
    for (int e = 0; e < 3; ++e) {
      const ScreenVertex& p = corners[t + e];
      const ScreenVertex& q = corners[t + (e + 1) % 3];
      if (p.x == q.x || (p.x - x) * (q.x - x) > 0.0f) continue;
      lowest = std::max(lowest, p.y + (q.y - p.y) * (x - p.x) / (q.x - p.x));
    }
  }
  return lowest;
}

// Every array a surface's drawing reads: positions, faces, adjacency, shared normals, render groups.
std::vector<uint8_t> SurfaceBytes(const ShadedMesh& m) {
  std::vector<uint8_t> bytes;
  auto add = [&bytes](const void* p, size_t size) {
    bytes.insert(bytes.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + size);
  };
  const size_t v = m.vertexCount, f = m.faceCount, n = m.normalCount;
  add(m.positions, v * sizeof(Vector3));
  add(m.indices, 6 * f);
  add(m.halfEdges, 3 * f * sizeof(TriMeshHalfEdge));
  add(m.vertexHalfEdges, 4 * v);
  add(m.faceRecords, f * sizeof(MeshFaceRecord));
  add(m.normalRecords, n * sizeof(MeshNormalRecord));
  add(m.cornerList, 12 * f);
  add(m.compressedNormals, 2 * n);
  bytes.resize(bytes.size() + m.sharingTable->GetFileSize());
  m.sharingTable->Write(bytes.data() + bytes.size() - m.sharingTable->GetFileSize());
  return bytes;
}

}  // namespace

TEST(CloudLayer, MakesAFractalSurfaceOverItsBoxWithTheLevelsTheEffectDetailAllows) {
  EXPECT_EQ(CCloudLayer::LevelsForDetail(5, 1.0f), 5u);
  EXPECT_EQ(CCloudLayer::LevelsForDetail(5, 0.5f), 4u);
  EXPECT_EQ(CCloudLayer::LevelsForDetail(5, 0.0f), 1u) << "the least at detail 0";
  EXPECT_EQ(CCloudLayer::LevelsForDetail(1, 0.5f), 1u);
  EXPECT_EQ(CCloudLayer::LevelsForDetail(0, 0.0f), 0u);
  EXPECT_EQ(CCloudLayer::LevelsForDetail(3, -1.0f), 1u);
  plat::srand(1);
  for (const float detail : {0.0f, 0.5f, 1.0f}) {
    CCloudLayer layer;
    const Vector3 origin(30, 40, 5);
    ASSERT_TRUE(layer.Init(Layer(4), origin, nullptr, detail));
    const ShadedMesh& mesh = *layer.GetMesh();
    const uint32_t n = (1u << CCloudLayer::LevelsForDetail(4, detail)) + 1;
    ASSERT_EQ(mesh.vertexCount, n * n) << detail;
    EXPECT_EQ(mesh.faceCount, 2 * (n - 1) * (n - 1));
    // The corners stand on the box's corners moved to the origin, every point inside the box.
    const Box& box = layer.GetBox();
    EXPECT_EQ(box.min, Vector3(-470, -360, 45));
    EXPECT_EQ(box.max, Vector3(530, 440, 65));
    EXPECT_EQ(mesh.positions[0].x, box.min.x);
    EXPECT_EQ(mesh.positions[0].y, box.min.y);
    EXPECT_EQ(mesh.positions[n * n - 1].x, box.max.x);
    EXPECT_EQ(mesh.positions[n * n - 1].y, box.max.y);
    for (uint32_t v = 0; v < mesh.vertexCount; ++v) {
      const Vector3& p = mesh.positions[v];
      ASSERT_TRUE(p.x >= box.min.x && p.x <= box.max.x && p.y >= box.min.y && p.y <= box.max.y) << v;
      // Displacement may lift a point above the box by at most the sum of its halved amplitudes.
      ASSERT_TRUE(p.z >= box.min.z - 20.0f && p.z <= box.max.z + 20.0f) << v << " " << p.z;
    }
  }
  // Bit for bit the surface any mesh gets from the same draws through the general adjacency
  // (edge hashing), from the smallest grid to the largest.
  for (const uint32_t levels : {0u, 1u, 3u, kMaxFractalTerrainLevels}) {
    plat::srand(levels + 3);
    CCloudLayer layer;
    ASSERT_TRUE(layer.Init(Layer(levels), Vector3(), nullptr, 1.0f));
    plat::srand(levels + 3);
    CTextureProperties* none = nullptr;
    const std::unique_ptr<ShadedMesh> g = GenerateFractalTerrain(Layer(levels).box, 0.5f, levels, &none, true);
    ASSERT_TRUE(g && g->ComputeNormalsAndBounds(6.2831855f) && g->BuildVertexSharing());
    const ShadedMesh& m = *layer.GetMesh();
    ASSERT_TRUE(m.vertexCount == g->vertexCount && m.faceCount == g->faceCount && m.normalCount == g->normalCount)
        << levels;
    EXPECT_TRUE(SurfaceBytes(m) == SurfaceBytes(*g)) << levels;
  }
}

TEST(CloudLayer, TheTextureDriftsByItsRateAndKeepsItsCoordinatesSmallOverALongRun) {
  CCloudLayer layer;
  ASSERT_TRUE(layer.Init(Layer(2), Vector3(), nullptr, 1.0f));
  const ShadedMesh& mesh = *layer.GetMesh();
  const std::vector<Vector2> base(mesh.uvs, mesh.uvs + mesh.uvCount);
  layer.Update(0.5f);
  for (uint32_t i = 0; i < mesh.uvCount; ++i) {
    EXPECT_FLOAT_EQ(mesh.uvs[i].x, base[i].x + 0.125f) << i;
    EXPECT_FLOAT_EQ(mesh.uvs[i].y, base[i].y - 0.25f) << i;
  }
  // An hour of ticks: the offset stays a fraction and matches the drift taken modulo one.
  double u = 0.0, v = 0.0;
  for (int tick = 0; tick < 3600 * 30; ++tick) {
    layer.Update(1.0f / 30.0f);
    u += 0.25 / 30.0;
    v -= 0.5 / 30.0;
  }
  const Vector2 offset = layer.GetDriftOffset();
  EXPECT_LT(std::fabs(offset.x), 1.0f);
  EXPECT_LT(std::fabs(offset.y), 1.0f);
  auto wrapped = [](double a, double b) { return std::fabs(std::remainder(a - b, 1.0)); };
  EXPECT_LT(wrapped(offset.x, 0.125 + u), 1e-3);
  EXPECT_LT(wrapped(offset.y, -0.25 + v), 1e-3);
  for (uint32_t i = 0; i < mesh.uvCount; ++i) EXPECT_EQ(mesh.uvs[i].x, base[i].x + offset.x) << i;
  // A layer drifting along one axis only drifts along it; a still one stays put.
  for (const Vector2 drift : {Vector2(0.0f, 0.5f), Vector2(0.1f, 0.0f), Vector2(0.0f, 0.0f)}) {
    CloudLayerRecord record = Layer(1);
    record.driftU = drift.x;
    record.driftV = drift.y;
    CCloudLayer one;
    ASSERT_TRUE(one.Init(record, Vector3(), nullptr, 1.0f));
    const Vector2 start = one.GetMesh()->uvs[1];
    one.Update(0.5f);
    EXPECT_EQ(one.GetMesh()->uvs[1].x, start.x + drift.x * 0.5f) << drift.x << "," << drift.y;
    EXPECT_EQ(one.GetMesh()->uvs[1].y, start.y + drift.y * 0.5f) << drift.x << "," << drift.y;
  }
}

TEST(CloudLayer, DrawsItsWholeSurfaceBehindTheSceneWhateverTheViewsDepthRange) {
  plat::srand(1);
  CCloudLayer layer;
  ASSERT_TRUE(layer.Init(Layer(3), Vector3(34, 34, 0), nullptr, 1.0f));
  // A camera over the park looking out over its far side, as the camera flight does.
  const Vector3 eye(2, 2, 30), target(34, 34, 22);
  const std::vector<ScreenVertex> shallow = Drawn(layer, eye, target, 74.0f);
  const std::vector<ScreenVertex> deep = Drawn(layer, eye, target, 100000.0f);
  ASSERT_GT(shallow.size(), 0u);
  ASSERT_EQ(shallow.size(), deep.size()) << "the whole surface, none of it cut off by the far plane";
  size_t onScreen = 0;
  for (size_t i = 0; i < shallow.size(); ++i) {
    // Behind everything, white (unlit).
    EXPECT_EQ(shallow[i].z, 0.99999f);
    EXPECT_EQ(shallow[i].diffuse, 0xFFFFFFFFu);
    // Corners far off the screen belong to triangles cut at the near plane, where the two depth
    // ranges cut the surface in different places.
    if (std::fabs(deep[i].x - 320) > 1000 || std::fabs(deep[i].y - 240) > 1000) continue;
    ASSERT_NEAR(shallow[i].x, deep[i].x, 0.05f + 1e-4f * std::fabs(deep[i].x)) << i;
    ASSERT_NEAR(shallow[i].y, deep[i].y, 0.05f + 1e-4f * std::fabs(deep[i].y)) << i;
    onScreen += shallow[i].x >= 0 && shallow[i].x < 640 && shallow[i].y >= 0 && shallow[i].y < 480;
  }
  EXPECT_GT(onScreen, 0u) << "the sky is in view";
}

TEST(CloudLayer, TheDemoLevelsSkyReachesTheHorizonFromEveryPointOfTheCameraFlight) {
  // The level's layer over the middle of its ground, seen as the flight sees it: 30 up over the
  // park's corners and edges, looking down at a point over the middle, through the game's short
  // depth range. Column by column the sky must end at the layer's own far edge, which from inside
  // the park lies barely above the horizon; everything below that edge is the ground's business.
  // The surface comes from the game's one generator: the flight is checked over the one that seed 1 gives.
  plat::srand(1);
  CCloudLayer layer;
  ASSERT_TRUE(layer.Init(DemoContent::LevelCloudLayer(), Vector3(34, 34, 0), nullptr, 1.0f));
  const ShadedMesh& mesh = *layer.GetMesh();
  float zMin = mesh.positions[0].z, zMax = zMin;
  for (uint32_t v = 0; v < mesh.vertexCount; ++v) {
    zMin = std::min(zMin, mesh.positions[v].z);
    zMax = std::max(zMax, mesh.positions[v].z);
  }
  const Box& box = layer.GetBox();
  const Vector3 eyes[] = {Vector3(2, 2, 30),   Vector3(34, 2, 30),  Vector3(66, 2, 30), Vector3(66, 34, 30),
                          Vector3(66, 66, 30), Vector3(34, 66, 30), Vector3(2, 66, 30), Vector3(2, 34, 30)};
  for (const Vector3& eye : eyes) {
    const Vector3 target(34 + (eye.x < 34 ? -6.0f : 6.0f), 34 + (eye.y < 34 ? 6.0f : -6.0f), 20);
    testing_support::RecordingScene s(1 | 2 | 16);
    s.camera.GetFrame().SetPosition(eye);
    s.camera.GetFrame().LookAtWithUp(target, Vector3(0, 0, 1));
    s.camera.SetFar(74.0f);
    ASSERT_TRUE(s.Begin());
    s.rasterizer.Forget();
    layer.Render(&s.view);
    const std::vector<ScreenVertex> corners = s.rasterizer.TriangleCorners();
    // The centre column's vertical plane holds the view direction: where its horizontal part
    // leaves the layer's box, and where the horizon and that edge land on the column.
    const Vector3& ahead = s.camera.GetFrame().GetXAxis();
    const Vector3& up = s.camera.GetFrame().GetZAxis();
    Vector3 level(ahead.x, ahead.y, 0.0f);
    level = level * (1.0f / std::sqrt(level.x * level.x + level.y * level.y));
    const float toX = ((level.x > 0 ? box.max.x : box.min.x) - eye.x) / level.x;
    const float toY = ((level.y > 0 ? box.max.y : box.min.y) - eye.y) / level.y;
    const float reach = std::min(toX, toY);
    const float f = s.view.GetPerspectiveScale();
    auto row = [&](const Vector3& offset) { return s.view.GetCentreY() - f * offset.Dot(up) / offset.Dot(ahead); };
    const float horizon = row(level);
    const float highestEdge = row(level * reach + Vector3(0, 0, zMax - eye.z));
    const float lowestEdge = row(level * reach + Vector3(0, 0, zMin - eye.z));
    const float bottom = LowestRowOnColumn(corners, 320.0f);
    ASSERT_GT(horizon, 0.0f) << "the horizon is on the screen";
    EXPECT_GE(bottom, highestEdge - 1.0f) << eye.x << " " << eye.y << ": the sky stops short of its far edge";
    EXPECT_LE(bottom, lowestEdge + 1.0f) << eye.x << " " << eye.y;
    EXPECT_LT(bottom, horizon) << "a surface over the eye never reaches below the horizon";
    EXPECT_LT(horizon - bottom, 0.04f * f) << eye.x << " " << eye.y << ": more than about two degrees above";
    // The camera does not roll, so the horizon is level across the screen; in the side columns
    // the box's edge is a little nearer, so the sky may end a little higher there, never lower.
    for (const float x : {0.5f, 160.0f, 480.0f, 639.5f}) {
      const float b = LowestRowOnColumn(corners, x);
      EXPECT_LT(b, horizon) << x;
      EXPECT_GT(b, horizon - 0.05f * f) << eye.x << " " << eye.y << " column " << x;
    }
  }
}

TEST(CloudLayer, DrawsNothingInAnOrthographicViewOrWithoutASurface) {
  CCloudLayer layer;
  ASSERT_TRUE(layer.Init(Layer(2), Vector3(), nullptr, 1.0f));
  testing_support::RecordingScene s(1 | 2 | 16);
  s.camera.SetOrthographic();
  s.camera.GetFrame().SetPosition(Vector3(0, 0, 0));
  s.camera.GetFrame().LookAtWithUp(Vector3(0, 0, 100), Vector3(1, 0, 0));
  ASSERT_TRUE(s.Begin());
  s.rasterizer.Forget();
  layer.Render(&s.view);
  EXPECT_TRUE(s.rasterizer.draws.empty());
  layer.Render(nullptr);
  CCloudLayer empty;
  empty.Render(&s.view);
  empty.Update(1.0f);
  EXPECT_TRUE(s.rasterizer.draws.empty());
  EXPECT_EQ(empty.GetMesh(), nullptr);
}
