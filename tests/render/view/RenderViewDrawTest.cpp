// The render view's drawing paths against the recording back end: frame set-up, projection,
// mesh batches and clipping, fog, relighting, lines, sprites and the sorted queue.
#include <gtest/gtest.h>

#include <Eigen/Dense>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/spatial/Octree.h"
#include "core/math/ViewFrustum.h"
#include "render/image/Texture.h"
#include "render/view/RenderDebug.h"
#include "render/view/RenderView.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LightList.h"
#include "scene/lighting/LightMapFaceRecord.h"
#include "scene/lighting/PointLight.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/MeshLayer.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/patch/CurvedPatch.h"
#include "scene/patch/CurvedPatchInstance.h"
#include "tests/render/view/PlacedTriangles.h"
#include "tests/support/TempFolder.h"
#include "tests/support/Golden.h"
#include "tests/support/RecordingRasterizer.h"
#include "tests/support/RecordingScene.h"
#include "tools/DemoContent.h"

namespace {

using Scene = testing_support::RecordingScene;

using render_test::Placed;
using render_test::TriangleMesh;
using testing_support::ExpectGolden;

// The view's projection written out independently: camera-space point, then pixels.
Eigen::Vector4f ReferenceProjection(const ViewFrustum& camera, const Vector3& world, float w, float h, float farD) {
  const COrientation& f = camera.GetFrame();
  Eigen::Matrix3f axes;
  for (int r = 0; r < 3; ++r) axes.row(r) << f.axes.m[r].x, f.axes.m[r].y, f.axes.m[r].z;
  const Eigen::Vector3f p =
      axes * (Eigen::Vector3f(world.x, world.y, world.z) - Eigen::Vector3f(f.position.x, f.position.y, f.position.z));
  const float nearD = camera.GetNear();
  const float half = 0.5f * std::max(w, h);
  if (camera.IsOrthographic()) {
    const float k = 2.0f * half / camera.GetOrthoWidth();
    return Eigen::Vector4f(0.5f * w - p.y() * k, 0.5f * h - p.z() * k, (p.x() - nearD) / (farD - nearD), 1.0f / nearD);
  }
  const float k = half / std::tan(0.5f * camera.GetFieldOfView()) / p.x();
  const float z = farD / (farD - nearD) * (1.0f - nearD / p.x());
  return Eigen::Vector4f(0.5f * w - p.y() * k, 0.5f * h - p.z() * k, z, 1.0f / p.x());
}

}  // namespace

TEST(RenderViewFrame, OptionsAndFrameStartMakeExactlyTheseBackEndCalls) {
  Scene s(1 | 2 | 16);
  const std::vector<std::string> options = {"SetPerspectiveCorrection(1)", "SetFogEnable(1)", "SetBilinearFilter(1)",
                                            "SetBackfaceCulling(1)",       "SetZBufferMode(1,0)", "SetZWrite(1)"};
  EXPECT_EQ(s.rasterizer.calls, options);
  s.rasterizer.Forget();
  s.view.SetRenderOptions(0);
  EXPECT_EQ(s.rasterizer.calls,
            (std::vector<std::string>{"SetPerspectiveCorrection(0)", "SetFogEnable(0)", "SetBilinearFilter(0)",
                                      "SetBackfaceCulling(1)", "SetZBufferMode(1,0)", "SetZWrite(1)"}));
  s.rasterizer.Forget();
  const auto viewport = [&s] {
    return std::vector<float>{s.view.GetOriginX(),        s.view.GetOriginY(), s.view.GetViewportWidth(),
                              s.view.GetViewportHeight(), s.view.GetCentreX(), s.view.GetCentreY(),
                              s.view.GetHalfSize()};
  };
  EXPECT_EQ(viewport(), (std::vector<float>{0, 0, 256, 256, 128, 128, 128}));  // before any frame: a 256 square
  ASSERT_TRUE(s.Begin());
  const std::vector<std::string> begin = {
      "SetBackfaceCulling(1)",    "SetZWrite(1)", "SetScene(fog)", "GetBackBufferDesc",
      "SetFogColour(0xFFFFFFFF)", "BeginScene"};
  EXPECT_EQ(s.rasterizer.calls, begin);
  // Without a box the viewport is the whole back buffer, from its top-left pixel.
  const std::vector<float> whole = {0.0f, 0.0f, 640.0f, 480.0f, 320.0f, 240.0f, 320.0f};
  EXPECT_EQ(viewport(), whole);

  for (int i = 0; i < 3; ++i) s.view.EndFrame();
  EXPECT_EQ(s.view.GetFrameNumber(), 1003u);  // three past the first frame's 1000
  EXPECT_EQ(s.rasterizer.Count("EndScene"), 3);

  // A viewport box sets the size and origin; the centre and half size follow the size only.
  const Box box(Vector3(40, 30, 0), Vector3(360, 230, 0));
  ASSERT_TRUE(s.view.BeginFrame(nullptr, CRenderView::FrameViewport::kBackBuffer, CRenderView::FrameBackEnd::kDefault,
                                CRenderView::FrameOutput::kDraw, &box));
  EXPECT_EQ(viewport(), (std::vector<float>{40.0f, 30.0f, 320.0f, 200.0f, 160.0f, 100.0f, 160.0f}));
  // The next frame without one is back at the whole buffer.
  ASSERT_TRUE(s.Begin());
  EXPECT_EQ(viewport(), whole);

  s.view.EnableLOD(false);
  s.view.EnableAlphaSorting(true);
  EXPECT_EQ(s.view.GetFlags(), 64u | 128u);
  s.view.EnableLOD(true);
  s.view.EnableAlphaSorting(false);
  EXPECT_EQ(s.view.GetFlags(), 0u);
}

TEST(RenderViewProjection, PointsAndDrawnVerticesAgreeWithAnIndependentProjection) {
  for (bool ortho : {false, true}) {
    Scene s;
    s.camera.frame.position = Vector3(-3, 2, 1);
    s.camera.frame.LookAtWithUp(Vector3(10, 4, -2), Vector3(0, 0, 1));
    if (ortho) {
      s.camera.SetOrthographic();
      s.camera.SetOrthoWidth(30.0f);
    }
    ASSERT_TRUE(s.Begin());
    Placed tri(TriangleMesh({Vector3(10, 3, -2), Vector3(10, 6, -1), Vector3(12, 4, 1)}, {0xFFFFFFFFu}));
    s.view.DrawMesh(&tri.instance);
    const std::vector<ScreenVertex> corners = s.rasterizer.TriangleCorners();
    ASSERT_EQ(corners.size(), 3u) << ortho;
    for (int i = 0; i < 3; ++i) {
      const Vector3 world = tri.mesh->allPositions[i];
      const Eigen::Vector4f want = ReferenceProjection(s.camera, world, 640, 480, 1000.0f);
      // Both the drawn vertex (whichever winding) and ProjectPoint itself match.
      const ProjectedPoint p = s.view.ProjectPoint(s.camera.frame.WorldToLocalPoint(world));
      EXPECT_NEAR(p.x, want[0], 1e-2f);
      EXPECT_NEAR(p.y, want[1], 1e-2f);
      EXPECT_NEAR(p.z, want[2], 1e-5f);
      EXPECT_NEAR(p.rhw, want[3], 1e-5f);
      bool found = false;
      for (const ScreenVertex& v : corners)
        found = found || (std::fabs(v.x - want[0]) < 1e-2f && std::fabs(v.y - want[1]) < 1e-2f &&
                          std::fabs(v.z - want[2]) < 1e-5f && std::fabs(v.rhw - want[3]) < 1e-5f);
      EXPECT_TRUE(found) << "corner " << i << (ortho ? " orthographic" : " perspective");
    }
  }
}

TEST(RenderViewMesh, NearPlaneClipGivesOneTwoOneOrNoTrianglesWithInterpolatedCorners) {
  // Near is 0.3; corners at x = -1 are behind, x = 2 in front. Colours run red (behind) to blue.
  const float behind = -1.0f, front = 2.0f;
  for (int nBehind = 0; nBehind <= 3; ++nBehind) {
    Scene s;
    ASSERT_TRUE(s.Begin());
    std::vector<Vector3> corners = {Vector3(front, 0.5f, -0.5f), Vector3(front, -0.5f, -0.5f),
                                    Vector3(front, 0.0f, 0.5f)};
    for (int k = 0; k < nBehind; ++k) corners[k].x = behind;
    std::vector<uint32_t> colours = {0xFFFF0000u, 0xFF0000FFu, 0xFF0000FFu};
    Placed tri(TriangleMesh(corners, colours));
    s.view.DrawMesh(&tri.instance);
    // One, two, one or no triangles, every corner drawn finite, in front and in the depth range.
    // With one corner behind, the edge from corner 0 (behind, red, u 0) to corner 1 (front, blue,
    // u 0.1) crosses the near plane at t = 1.3 / 3 from the behind end: the record's corner there
    // has rhw 1 / 0.3, u 0.1 t, red 255 (1 - t) and blue 255 t, 0x90 and 0x6E.
    ExpectGolden(s.rasterizer.Transcript(), "render/view/golden/near_clip_" + std::to_string(nBehind) + ".txt");
  }
}

// A 2 x 2 quad of two triangles sharing an edge, 5 ahead of the camera and facing it; null when
// the mesh cannot be made.
const Vector3 kQuadCorners[4] = {Vector3(5, 1, -1), Vector3(5, -1, -1), Vector3(5, 1, 1), Vector3(5, -1, 1)};

std::unique_ptr<ShadedMesh> MakeFacingQuad() {
  auto mesh = std::make_unique<ShadedMesh>();
  if (!mesh->Create("quad", 4, 2, 0, 0, 1, 1)) return nullptr;
  const uint16_t idx[6] = {0, 1, 2, 2, 1, 3};
  for (int i = 0; i < 4; ++i) mesh->allPositions[i] = kQuadCorners[i];
  for (int i = 0; i < 6; ++i) mesh->indices[i] = idx[i];
  mesh->SetFrame(0);
  mesh->ComputeBounds();
  return mesh;
}

TEST(RenderViewMesh, SharedCornersAreSentOnceAndSmallObjectsAreSkipped) {
  // Two triangles sharing an edge with equal colours and UVs: four vertices, two triangles.
  std::unique_ptr<ShadedMesh> mesh = MakeFacingQuad();
  ASSERT_TRUE(mesh);
  for (int f = 0; f < 2; ++f)
    for (MeshCorner& c : mesh->faceRecords[f].corners) c.uv = 0;
  Placed quad(std::move(mesh));
  Scene s;
  ASSERT_TRUE(s.Begin());
  s.view.DrawMesh(&quad.instance);
  ASSERT_EQ(s.rasterizer.draws.size(), 1u);
  EXPECT_EQ(s.rasterizer.draws[0].vertices.size(), 4u);
  EXPECT_EQ(s.rasterizer.draws[0].indices.size(), 6u);
  EXPECT_EQ(s.view.GetStatistics().verticesTransformed, 4u);

  // 340 away the quad spans 2 sqrt 2 x 320 / tan 0.6 / 340 = 3.89 pixels, just under four: nothing is sent.
  s.rasterizer.Forget();
  COrientation far;
  far.SetPosition(Vector3(340, 0, 0));
  quad.instance.SetTransform(&far, true);
  s.view.DrawMesh(&quad.instance);
  EXPECT_NEAR(s.view.GetProjectedSize(), 3.89f, 0.005f);
  EXPECT_TRUE(s.rasterizer.draws.empty());
}

TEST(RenderViewMesh, CurvedPatchesAreDrawnOnTheirSurfaceAtTheLevelsTheCameraSets) {
  testing_support::DebugCapture quiet;  // the mound's texture is not on disk here
  std::unique_ptr<ShadedMesh> mesh = DemoContent::BuildPatchMound("mound", "none.texture", 3.0f, 0.5f);
  ASSERT_TRUE(mesh && mesh->patches);
  CTexture texture;
  mesh->SetTexture(0, &texture);  // the patch face's slot, which the instance copies
  CMeshInstance instance;
  ASSERT_TRUE(instance.SetMesh(mesh.get(), false, false, false, 0, 0, nullptr, true, nullptr));
  const CurvedPatchInstance* state = instance.GetPatchState();
  ASSERT_NE(state, nullptr);
  // The mound below the camera's eye, ahead along +x: near (the face-level pass) and far (the
  // object-level pass), then near again.
  int levels[3] = {-1, -1, -1};
  const float distances[3] = {4.0f, 80.0f, 4.0f};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(distances[i]);
    Scene s;
    COrientation at;
    at.SetPosition(Vector3(distances[i], -1.5f, -2.0f));
    instance.SetTransform(&at, true);
    ASSERT_TRUE(s.Begin());
    s.view.DrawMesh(&instance);
    const CurvedPatchLOD& lod = state->GetRenderLOD(0);
    levels[i] = lod.level;
    ASSERT_FALSE(s.rasterizer.draws.empty());
    // The patch's batch comes after the mesh's faces: its whole tessellation, every vertex where
    // the patch puts its parameters (the texture coordinates run with them).
    const RecordingRasterizer::Draw& drawn = s.rasterizer.draws.back();
    EXPECT_EQ(drawn.vertices.size(), lod.vertexCount);
    EXPECT_EQ(drawn.indices.size(), 3u * lod.triangleCount);
    EXPECT_EQ(drawn.texture, &texture);
    for (const ScreenVertex& v : drawn.vertices) {
      const Vector3 world = at.LocalToWorldPoint(mesh->patches->Evaluate(0, v.u, v.v));
      const Eigen::Vector4f want = ReferenceProjection(s.camera, world, 640, 480, 1000.0f);
      ASSERT_NEAR(v.x, want[0], 0.05f) << v.u << ", " << v.v;
      ASSERT_NEAR(v.y, want[1], 0.05f) << v.u << ", " << v.v;
    }
  }
  // Near, the levels start at 0 and rise with the curvature seen; far they start at 3.
  EXPECT_LT(levels[0], 3);
  EXPECT_GE(levels[1], 3);
  EXPECT_EQ(levels[2], levels[0]) << "coming back near refreshes the levels again";
}

TEST(RenderViewMesh, FogByteFollowsTheDistanceAndBadUVsGiveZero) {
  Scene s;
  s.fog.Set(FogSettings{1, 0.0f, 0.0f, 100.0f});  // constant fog, opaque from 100 away
  ASSERT_TRUE(s.Begin());
  for (float d : {10.0f, 50.0f, 99.0f, 150.0f}) {
    s.rasterizer.Forget();
    Placed tri(TriangleMesh({Vector3(d, 1, 0), Vector3(d, -1, 0), Vector3(d, 0, 1)}, {0xFFFFFFFFu}));
    // Corner 0 names a UV that does not exist.
    tri.mesh->faceRecords[0].corners[0].uv = 77;
    s.view.DrawMesh(&tri.instance);
    const std::vector<ScreenVertex> drawn = s.rasterizer.TriangleCorners();
    ASSERT_EQ(drawn.size(), 3u) << d;
    int zeroUV = 0;
    for (const ScreenVertex& v : drawn) zeroUV += (v.u == 0.0f && v.v == 0.0f) ? 1 : 0;
    EXPECT_EQ(zeroUV, 1);
    // Every corner lies at approximate distance d + 0.25 (largest component plus a quarter of the rest).
    const float fog = 1.0f - std::min(1.0f, (d + 0.25f) / 100.0f);
    for (const ScreenVertex& v : drawn) EXPECT_EQ(v.specular >> 24, static_cast<uint32_t>(fog * 255.0f)) << d;
  }
  // A mesh that has lost its UV array: every corner draws at (0, 0), the first UV index as well.
  s.rasterizer.Forget();
  Placed bare(TriangleMesh({Vector3(20, 1, 0), Vector3(20, -1, 0), Vector3(20, 0, 1)}, {0xFFFFFFFFu}));
  Vector2* const uvs = bare.mesh->uvs;
  bare.mesh->uvs = nullptr;
  s.view.DrawMesh(&bare.instance);
  bare.mesh->uvs = uvs;
  const std::vector<ScreenVertex> drawn = s.rasterizer.TriangleCorners();
  ASSERT_EQ(drawn.size(), 3u);
  for (const ScreenVertex& v : drawn) EXPECT_TRUE(v.u == 0.0f && v.v == 0.0f);
}

TEST(RenderViewMesh, RelightIntervalHoldsTheColoursBetweenRelights) {
  // Corners are relit through their normal's corner list; a mesh with normals but no corner lists
  // relights each corner on its own, here from its face's light record (no page) lit 1 + 0.5.
  for (bool sharedNormals : {true, false}) {
    Scene s;
    Placed tri(TriangleMesh({Vector3(5, 1, 0), Vector3(5, -1, 0), Vector3(5, 0, 1)}, {0xFF808080u}));
    tri.mesh->ComputeNormalsAndBounds(0.5f);
    std::unique_ptr<uint32_t[]> taken;
    if (!sharedNormals) {  // the mesh's delete of a null list is harmless; the test frees the list
      taken.reset(tri.mesh->cornerList);
      tri.mesh->cornerList = nullptr;
    }
    ASSERT_TRUE(tri.instance.SetMesh(tri.mesh.get(), false, true, true, 1, 9, nullptr, true, nullptr));
    FaceLightRecord still{{0xFF202020u, 0xFF202020u, 0xFF202020u}};
    if (!sharedNormals) tri.instance.GetFaceColours()[0].lightRecord = &still;
    s.lights.SetBaseColor(Vector3(0.5f, 0.5f, 0.5f));
    uint32_t relit = 0;
    for (int frame = 0; frame < 11; ++frame) {
      ASSERT_TRUE(s.Begin());
      s.view.DrawMesh(&tri.instance);
      // Its size on screen puts it a little past half way up the ramp: 1 + 8 x 0.55 gives 5.
      if (frame == 0) s.view.SetRelightRamp(s.view.GetProjectedSize() - 1.1f, 0.5f);
      relit += s.view.GetStatistics().cornersRelit;
      s.view.EndFrame();
    }
    // Relit at frames 1000, 1005 and 1010: three corners each time.
    EXPECT_EQ(relit, 9u) << sharedNormals;
    for (uint32_t k = 0; k < 3; ++k)  // grey 128 x light 0.5, or the record's 32 x (1 + 0.5)
      EXPECT_EQ(tri.instance.GetFaceColour(0, k).ToWord(), sharedNormals ? 0xFF404040u : 0xFF303030u) << k;
  }
  // A corner's light on its own follows the instance: moved 2 nearer to a point light between
  // two calls, it is lit as the same triangle built at the new place.
  Scene s;
  CPointLight bulb(1.0f, 1.0f, 1.0f, 10.0f, 0.0f, 0.3f, CLight::kLightsMeshes | CLight::kBounded, 12.0f, 1.0f, 2);
  s.lights.Add(&bulb);
  ASSERT_TRUE(s.Begin());
  auto lit = [&s](float x) {
    auto tri = std::make_unique<Placed>(
        TriangleMesh({Vector3(x, 1, 0), Vector3(x, -1, 0), Vector3(x, 0, 1)}, {0xFF808080u}));
    tri->mesh->ComputeNormalsAndBounds(0.5f);
    EXPECT_TRUE(tri->instance.SetMesh(tri->mesh.get(), false, false, true, 5, 5, nullptr, true, nullptr));
    return tri;
  };
  const auto moving = lit(5.0f), near = lit(5.0f), far = lit(7.0f);
  const uint32_t before = s.view.ComputeVertexLight(&moving->instance, 0, 2).ToWord();
  EXPECT_EQ(before, s.view.ComputeVertexLight(&near->instance, 0, 2).ToWord());
  COrientation moved;
  moved.SetPosition(Vector3(2, 0, 0));
  moving->instance.SetTransform(&moved, false);
  const uint32_t after = s.view.ComputeVertexLight(&moving->instance, 0, 2).ToWord();
  EXPECT_EQ(after, s.view.ComputeVertexLight(&far->instance, 0, 2).ToWord());
  EXPECT_NE(after, before) << std::hex << before;
}

TEST(RenderViewMesh, BatchesNeverPassTheSixteenBitIndexLimit) {
  // 25000 faces whose corners share three positions but not their UVs: 75000 vertices to send.
  const uint32_t faces = 25000;
  auto mesh = std::make_unique<ShadedMesh>();
  ASSERT_TRUE(mesh->Create("many", 3, faces, 0, 0, 3 * faces, 1));
  mesh->allPositions[0] = Vector3(5, 1, 0);
  mesh->allPositions[1] = Vector3(5, -1, 0);
  mesh->allPositions[2] = Vector3(5, 0, 1);
  for (uint32_t f = 0; f < faces; ++f) {
    for (uint32_t k = 0; k < 3; ++k) {
      mesh->indices[3 * f + k] = static_cast<uint16_t>(k);
      mesh->uvs[3 * f + k] = Vector2(static_cast<float>(f), static_cast<float>(k));
      mesh->faceRecords[f].corners[k].uv = 3 * f + k;
    }
  }
  mesh->SetFrame(0);
  mesh->ComputeBounds();
  Placed many(std::move(mesh));
  Scene s;
  ASSERT_TRUE(s.Begin());
  s.view.DrawMesh(&many.instance);
  std::vector<size_t> triangles;
  for (const RecordingRasterizer::Draw& d : s.rasterizer.draws) {
    EXPECT_LE(d.vertices.size(), 65536u);
    for (uint16_t i : d.indices) ASSERT_LT(i, d.vertices.size());
    triangles.push_back(d.indices.size() / 3);
  }
  // The first batch holds every face whose corners and up to four clipped ones still fit, 21844.
  EXPECT_EQ(triangles, (std::vector<size_t>{21844, faces - 21844}));
}

TEST(RenderViewLines, LinesAndFlatTrianglesAreClippedAtTheNearPlane) {
  Scene s;
  ASSERT_TRUE(s.Begin());
  s.view.DrawLine3D(Vector3(-5, 0, 0), Vector3(-1, 1, 0), 0xFF00FF00u);
  EXPECT_EQ(s.rasterizer.Count("DrawLines"), 0);
  s.view.DrawLine3D(Vector3(-5, 1, 0), Vector3(5, 1, 0), 0xFF00FF00u);
  ASSERT_EQ(s.rasterizer.draws.size(), 1u);
  const RecordingRasterizer::Draw& line = s.rasterizer.draws[0];
  EXPECT_TRUE(line.lines);
  EXPECT_NEAR(line.vertices[0].rhw, 1.0f / 0.3f, 1e-3f);  // moved onto the near plane
  EXPECT_NEAR(line.vertices[1].rhw, 0.2f, 1e-6f);
  EXPECT_EQ(line.vertices[0].diffuse, 0xFF00FF00u);

  // A flat triangle with a corner behind is clipped like a mesh face: no behind-the-plane mark
  // reaches the back end; two-sided sends a second draw with every triangle the other way round.
  s.rasterizer.Forget();
  s.view.DrawTriangle3D(Vector3(-2, 0, 0), Vector3(4, 1, 0), Vector3(4, -1, 1), 0xFFFFFFFFu, true);
  // Then a UV-mapped quad, a particle quad, the view's own frustum and a triangle's normals.
  s.view.DrawQuad3D(kQuadCorners, 0xFF00FF00u, nullptr, nullptr);
  s.view.DrawParticleQuad(Vector3(12, 0, 0), Vector2(1, 0.5f), Vector2(0, 2), nullptr, 0xFF0000FFu);
  s.view.FlushSortedQueue();
  DrawDebugFrustum(s.view, s.camera, 0xFFFFFF00u);
  Placed tri(TriangleMesh({Vector3(6, 1, 0), Vector3(6, -1, 0), Vector3(6, 0, 1)}, {0xFFFFFFFFu}));
  tri.mesh->ComputeNormalsAndBounds(0.5f);
  DrawDebugNormals(s.view, *tri.mesh, 2.0f, 0xFFFF00FFu);
  ExpectGolden(s.rasterizer.Transcript(), "render/view/golden/clipped_flat_triangle.txt");
}

// A run of quads sorts as one entry at the depth of its box, and its quads far to near inside it;
// a beam sorts at its middle, its corners at the far end (b) in the end colour.
TEST(RenderViewQueue, AQuadRunDrawsAtItsBoxDepthWithItsQuadsFarToNear) {
  Scene s;
  s.camera.frame.position = Vector3(-10, 0, 0);
  ASSERT_TRUE(s.Begin());
  s.view.BeginQuadRun(Box(Vector3(9, -1, -1), Vector3(11, 1, 1)));
  s.view.DrawSprite(Vector3(2, 0, 0), 1.0f, nullptr, 0xFF00000Cu);
  s.view.DrawSprite(Vector3(15, 0, 0), 1.0f, nullptr, 0xFF000019u);
  s.view.EndQuadRun();
  s.view.DrawSprite(Vector3(20, 0, 0), 1.0f, nullptr, 0xFF00001Eu);
  s.view.DrawSprite(Vector3(6, 0, 0), 1.0f, nullptr, 0xFF000010u);
  s.view.DrawBeam(Vector3(8, -1, 0), Vector3(8, 1, 0), 0.5f, nullptr, 0xFF000011u, 0xFF000012u);
  EXPECT_EQ(s.view.GetQueuedCount(), 4u);
  s.view.FlushSortedQueue();
  // Drawn by their blue bytes, their depths from the eye 10 back: 30, 25, 12, 18 (the beam), 16.
  ExpectGolden(s.rasterizer.Transcript(), "render/view/golden/quad_run.txt");
}

TEST(RenderViewQueue, TranslucentWorkDrawsFarToNearAndTheQueueEmpties) {
  Scene s;
  ASSERT_TRUE(s.Begin());
  s.view.DrawSprite(Vector3(10, 0, 0), 1.0f, nullptr, 0xFF00000Au);
  s.view.DrawSprite(Vector3(20, 0, 0), 1.0f, nullptr, 0xFF000014u);
  s.view.DrawSprite(Vector3(0.1f, 0, 0), 1.0f, nullptr, 0xFF000001u);  // nearer than near: nothing
  // A translucent triangle at depth 30 keys at 10: after the sprite at 20, and after the sprite
  // at 10 too, which was queued first (equal keys keep their order).
  Placed tri(TriangleMesh({Vector3(30, 1, 0), Vector3(30, -1, 0), Vector3(30, 0, 1)}, {0xFF00001Eu}));
  tri.instance.SetAlpha(0.5f, true);
  s.view.DrawMesh(&tri.instance);
  EXPECT_EQ(s.view.GetQueuedCount(), 3u);
  s.view.FlushSortedQueue();
  // Drawn by their blue bytes 20, 10, 0x1E; the sprites' corners lie a little inside the texture's
  // (u and v 0.02 to 0.98), fog-free 0xFF000000.
  ExpectGolden(s.rasterizer.Transcript(), "render/view/golden/translucent_queue.txt");
  EXPECT_EQ(s.view.GetStatistics().quadTriangles, 4u);

  // Without a back end the queue still sorts and empties.
  ASSERT_TRUE(s.view.BeginFrame(nullptr, CRenderView::FrameViewport::kBackBuffer, CRenderView::FrameBackEnd::kDefault,
                                CRenderView::FrameOutput::kTransformOnly));
  s.view.DrawSprite(Vector3(10, 0, 0), 1.0f, nullptr, 0xFFFFFFFFu);
  EXPECT_EQ(s.view.GetQueuedCount(), 1u);
  s.view.FlushSortedQueue();
  EXPECT_EQ(s.view.GetQueuedCount(), 0u);
}

TEST(RenderViewQueue, SpritesCarryTheFogOfTheirDistance) {
  // Without fog a sprite is fully clear (the queue's transcript); with it its fog byte falls like a mesh's.
  Scene s;
  s.fog.Set(FogSettings{1, 0.0f, 0.0f, 100.0f});  // constant fog, opaque from 100 away
  ASSERT_TRUE(s.Begin());
  // Straight ahead the approximate distance is d itself: bytes 229, 178, 2 and 0.
  const std::pair<float, uint32_t> cases[] = {{10.0f, 229u}, {30.0f, 178u}, {99.0f, 2u}, {150.0f, 0u}};
  for (const auto& [d, byte] : cases) {
    s.rasterizer.Forget();
    s.view.DrawSprite(Vector3(d, 0, 0), 1.0f, nullptr, 0xFFFFFFFFu);
    s.view.FlushSortedQueue();
    ASSERT_EQ(s.rasterizer.draws.size(), 1u) << d;
    ASSERT_EQ(s.rasterizer.draws[0].vertices.size(), 4u) << d;
    for (const ScreenVertex& v : s.rasterizer.draws[0].vertices) EXPECT_EQ(v.specular, byte << 24) << d;
  }
}

TEST(RenderViewQueue, DirectedSpritesTurnTheirSquareToTheDirection) {
  Scene s;
  ASSERT_TRUE(s.Begin());
  s.view.DrawDirectedSprite(Vector3(-10, 0, 0), Vector2(1, 0), 1.0f, nullptr, 0xFFFFFFFFu);  // behind: nothing
  // At distance 10 straight ahead the centre is the screen's and a unit of size spans
  // 320 / tan(0.6) / 10 pixels; the corners sit at centre + h * (ox, oy) for direction (0.6, 0.8).
  s.view.DrawDirectedSprite(Vector3(10, 0, 0), Vector2(0.6f, 0.8f), 2.0f, nullptr, 0xFF102030u);
  EXPECT_EQ(s.view.GetQueuedCount(), 1u);  // this one alone
  s.view.FlushSortedQueue();
  ASSERT_EQ(s.rasterizer.draws.size(), 1u);
  const std::vector<ScreenVertex>& v = s.rasterizer.draws[0].vertices;
  ASSERT_EQ(v.size(), 4u);
  const float h = 2.0f * 320.0f / std::tan(0.6f) / 10.0f;
  const float offsets[4][2] = {{-0.2f, 1.4f}, {1.4f, 0.2f}, {-1.4f, -0.2f}, {0.2f, -1.4f}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(v[i].x, 320.0f + h * offsets[i][0], 1e-2f) << i;
    EXPECT_NEAR(v[i].y, 240.0f + h * offsets[i][1], 1e-2f) << i;
    EXPECT_NEAR(v[i].rhw, 0.1f, 1e-6f) << i;
    EXPECT_EQ(v[i].diffuse, 0xFF102030u) << i;
  }
}

TEST(RenderViewShadow, CasterDrawsItsFacesFlatInTheTintWithSharedCornersOnce) {
  std::unique_ptr<ShadedMesh> mesh = MakeFacingQuad();
  ASSERT_TRUE(mesh);
  Placed quad(std::move(mesh));
  quad.instance.SetAlpha(0.5f, true);
  quad.instance.SetColourScale(0.25f, 0.5f, 0.75f);
  Scene s;
  ASSERT_TRUE(s.Begin());
  s.rasterizer.Forget();
  // Checked whole below. A layer laid whole on face 0, its vertices from 0 on, drawn first in the
  // frame and so placing its instance itself: that face's triangle is drawn a hair nearer, without
  // depth writes, each vertex the face's colour scaled by the vertex's grey and raised by half the
  // layer's colour. Then the caster: the four corners sent once, each at its projected point in
  // the tint (0x3F, 0x7F, 0xBF) at alpha 127, without fog or texture coordinates.
  CMeshLayer layer;
  layer.AttachTo(&quad.instance);
  layer.SetAlpha(0.5f);
  layer.SetColour(Color::FromWord(0xFF102030u));
  const Color grey = Color::FromWord(0xFF808080u);
  const MeshLayerVertex corners[3] = {{0, 0, 0, 0, 0, grey}, {1, 0, 0, 0, 0, grey}, {0, 1, 0, 0, 0, grey}};
  CMeshLayer::ClipFace(&layer, 0, corners, {}, Matrix4(), Color::FromWord(0xFF102030u), Color());
  s.view.DrawMeshLayer(&layer);
  s.view.DrawShadowCaster(&quad.instance);
  ExpectGolden(s.rasterizer.Transcript(), "render/view/golden/shadow_caster.txt");
  // The caster's silhouette texture is made in the back buffer's pixel format.
  const std::unique_ptr<CTextureProperties> made = s.view.CreateShadowTexture(64);
  const auto& t = static_cast<const CTexture&>(*made);
  EXPECT_EQ((std::vector<uint32_t>{t.width, t.height, t.bytesPerPixel, t.redMask, t.greenMask, t.blueMask}),
            (std::vector<uint32_t>{64, 64, 2, 0x7C00, 0x3E0, 0x1F}));
}

TEST(RenderViewQueue, ScreenPolygonsFanAroundTheirLastPoint) {
  Scene s;
  ASSERT_TRUE(s.Begin());
  ScreenPolygonPoint points[4] = {{0, 0, 0, 0, 1}, {10, 0, 1, 0, 2}, {10, 10, 1, 1, 3}, {0, 10, 0, 1, 4}};
  s.view.DrawScreenQuad(points, nullptr, 3);
  s.view.DrawScreenQuad(points, nullptr, 4);
  ASSERT_EQ(s.rasterizer.draws.size(), 2u);
  EXPECT_EQ(s.rasterizer.draws[0].indices, (std::vector<uint16_t>{2, 0, 1}));
  EXPECT_EQ(s.rasterizer.draws[1].indices, (std::vector<uint16_t>{3, 1, 2, 3, 0, 1}));
}

TEST(RenderViewMesh, BackgroundGoesToTheFarPlaneAndGivesTheFogSettingBack) {
  Scene s(1 | 2 | 16);
  s.fog.Set(FogSettings{1, 0.0f, 0.0f, 100.0f, 0.0f, 0.54f});  // the sky's fog byte kept to 117 at most
  ASSERT_TRUE(s.Begin());
  Placed sky(TriangleMesh({Vector3(50, 10, -10), Vector3(50, -10, -10), Vector3(50, 0, 10)}, {0xFFFFFFFFu}));
  s.rasterizer.Forget();
  s.view.DrawBackgroundMesh(&sky.instance);
  ASSERT_EQ(s.rasterizer.draws.size(), 1u);
  for (const ScreenVertex& v : s.rasterizer.draws[0].vertices)
    EXPECT_EQ(std::make_pair(v.z, v.rhw), std::make_pair(0.99999f, 0.000001f));
  // Fog is off for the draw and on again after it.
  ExpectGolden(s.rasterizer.Transcript(), "render/view/golden/background.txt");
}
