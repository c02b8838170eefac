// Mesh layers: projected polygons against the projector's volume, sampled point by point.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <vector>

#include "core/math/CullVolume.h"
#include "core/spatial/Octree.h"
#include "core/math/ViewFrustum.h"
#include "physics/terrain/TerrainCollision.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/MeshLayer.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/patch/CurvedPatch.h"
#include "tools/DemoContent.h"

namespace {

// A projector above the ground looking straight down, slightly turned so planes cut faces
// at odd angles.
void LookDown(ViewFrustum& frustum, const Vector3& eye, float fov) {
  COrientation frame;
  frame.SetXAxis(Vector3(0, 0, -1));
  frame.SetYAxis(Vector3(std::cos(0.3f), std::sin(0.3f), 0));
  frame.SetZAxis(frame.GetXAxis().Cross(frame.GetYAxis()));
  frame.position = eye;
  frustum.SetFrame(frame);
  frustum.SetNear(0.5f);
  frustum.SetFar(40.0f);
  frustum.SetFieldOfView(fov);
  frustum.UpdateViewProjection();
  frustum.BuildCullVolume(CullVolume::kFrustum);
}

bool StrictlyInside(const CullVolume& volume, const Vector3& p, float margin) {
  for (uint32_t i = 0; i < volume.GetPlaneCount(); ++i) {
    if (volume.GetPlanes()[i].Distance(p) > -margin) return false;
  }
  return true;
}

// Point (a, b) inside the convex polygon (either winding) with a margin.
bool InPolygon(const MeshLayerVertex* v, uint32_t count, float a, float b, float margin) {
  float sign = 0.0f;
  for (uint32_t i = 0; i < count; ++i) {
    const MeshLayerVertex& p = v[i];
    const MeshLayerVertex& q = v[(i + 1) % count];
    const float ex = q.a - p.a, ey = q.b - p.b;
    const float len = std::sqrt(ex * ex + ey * ey);
    if (len == 0.0f) continue;
    const float cross = (ex * (b - p.b) - ey * (a - p.a)) / len;
    if (std::fabs(cross) < margin) return false;
    if (sign == 0.0f) sign = cross > 0 ? 1.0f : -1.0f;
    if (cross * sign < 0.0f) return false;
  }
  return true;
}

}  // namespace

TEST(MeshLayer, ProjectedPolygonsCoverExactlyThePartInsideTheVolume) {
  std::unique_ptr<ShadedMesh> ground(DemoContent::BuildGroundGrid(9, 2.0f));
  CMeshInstance inst;
  COrientation place;
  place.RotateZ(0.2f);
  place.position = Vector3(0.5f, -0.3f, 0.0f);
  const Matrix4 m = place.ToMatrix4();
  ASSERT_TRUE(inst.SetMesh(ground.get(), false, false, false, 0, 0, &m, true, nullptr));
  ViewFrustum frustum;
  LookDown(frustum, Vector3(1.0f, 2.0f, 10.0f), 0.8f);
  const CullVolume& volume = *frustum.GetCullVolume();

  CMeshLayer layer;
  layer.SetAlpha(1.0f);
  layer.AttachTo(&inst);
  std::vector<uint32_t> faces(ground->faceCount);
  for (uint32_t f = 0; f < faces.size(); ++f) faces[f] = f;
  const Color colour = Color::FromWord(0x80402010u), fade = Color::FromWord(0xFF000000u);
  CMeshLayer::ProjectFaces(&layer, frustum, colour, fade, faces);

  std::vector<int> polygonOfFace(ground->faceCount, -1);
  auto worldPoint = [&](uint32_t face, float a, float b) {
    const Vector3 p0 = inst.GetCornerWorldPosition(face, 0);
    return p0 + (inst.GetCornerWorldPosition(face, 1) - p0) * a + (inst.GetCornerWorldPosition(face, 2) - p0) * b;
  };
  for (uint32_t i = 0; i < layer.GetFaceCount(); ++i) {
    const MeshLayerFace& poly = layer.GetFaces()[i];
    ASSERT_LT(poly.face, ground->faceCount);
    ASSERT_GE(poly.end - poly.first, 3u);
    ASSERT_LE(poly.end, layer.GetVertexCount());
    EXPECT_EQ(polygonOfFace[poly.face], -1);
    polygonOfFace[poly.face] = int(i);
    for (uint32_t k = poly.first; k < poly.end; ++k) {
      const MeshLayerVertex& v = layer.GetVertices()[k];
      const Vector3 p = worldPoint(poly.face, v.a, v.b);
      for (uint32_t j = 0; j < volume.GetPlaneCount(); ++j) EXPECT_LE(volume.GetPlanes()[j].Distance(p), 1e-3f);
      // u, v and depth are the world point through the view-projection.
      Vector4 h;
      TransformPoint4(h, frustum.GetViewProjection(), p);
      EXPECT_NEAR(v.u, h.x / h.w, 1e-4f);
      EXPECT_NEAR(v.v, 1.0f - h.y / h.w, 1e-4f);
      EXPECT_NEAR(v.depth, h.z / h.w, 1e-4f);
      EXPECT_EQ(v.colour.ToWord(), CMeshLayer::Fade(colour, fade, v.depth).ToWord());
    }
  }
  // Sampled points of every face: inside the volume exactly when inside that face's polygon.
  std::mt19937 rng(4);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  int inside = 0;
  for (uint32_t f = 0; f < ground->faceCount; ++f) {
    for (int s = 0; s < 40; ++s) {
      float a = u(rng), b = u(rng);
      if (a + b > 1.0f) {
        a = 1.0f - a;
        b = 1.0f - b;
      }
      const Vector3 p = worldPoint(f, a, b);
      const bool in = StrictlyInside(volume, p, 1e-3f);
      const bool out = !StrictlyInside(volume, p, -1e-3f);
      if (!in && !out) continue;  // too near a plane to call
      const int poly = polygonOfFace[f];
      const MeshLayerFace* rec = poly >= 0 ? &layer.GetFaces()[poly] : nullptr;
      const bool inPoly = rec && InPolygon(layer.GetVertices() + rec->first, rec->end - rec->first, a, b, 0.0f);
      if (rec && !InPolygon(layer.GetVertices() + rec->first, rec->end - rec->first, a, b, 1e-4f) && inPoly != in) {
        continue;  // on the polygon's own edge
      }
      EXPECT_EQ(inPoly, in) << "face " << f << " at " << a << ", " << b;
      inside += in;
    }
  }
  EXPECT_GT(inside, 100);

  // From below every face is seen from behind: nothing is laid.
  CMeshLayer under;
  under.AttachTo(&inst);
  ViewFrustum below;
  LookDown(below, Vector3(1.0f, 2.0f, 10.0f), 0.8f);
  COrientation up = below.GetFrame();
  up.SetXAxis(Vector3(0, 0, 1));
  up.SetZAxis(up.GetXAxis().Cross(up.GetYAxis()));
  up.position = Vector3(0, 0, -10);
  below.SetFrame(up);
  below.UpdateViewProjection();
  below.BuildCullVolume(CullVolume::kFrustum);
  CMeshLayer::ProjectFaces(&under, below, colour, fade, faces);
  EXPECT_EQ(under.GetFaceCount(), 0u);
  // From the ground's own plane every face is seen edge-on: nothing either.
  up.SetXAxis(Vector3(1, 0, 0));
  up.SetYAxis(Vector3(0, 1, 0));
  up.SetZAxis(Vector3(0, 0, 1));
  up.position = Vector3(-30, 0.25f, 0);
  below.SetFrame(up);
  below.UpdateViewProjection();
  below.BuildCullVolume(CullVolume::kFrustum);
  CMeshLayer::ProjectFaces(&under, below, colour, fade, faces);
  EXPECT_EQ(under.GetFaceCount(), 0u);
}

// Each polygon of a layer by the face it lies on, as (a, b) pairs.
std::map<uint32_t, std::vector<std::pair<float, float>>> PolygonsByFace(const CMeshLayer& layer) {
  std::map<uint32_t, std::vector<std::pair<float, float>>> out;
  for (uint32_t i = 0; i < layer.GetFaceCount(); ++i) {
    const MeshLayerFace& poly = layer.GetFaces()[i];
    for (uint32_t k = poly.first; k < poly.end; ++k)
      out[poly.face].emplace_back(layer.GetVertices()[k].a, layer.GetVertices()[k].b);
  }
  return out;
}

TEST(MeshLayer, BuildForInstanceLaysEachReceiversFacesAndReusesItsLayers) {
  std::unique_ptr<ShadedMesh> ground(DemoContent::BuildGroundGrid(9, 2.0f));
  // With a curved patch: its primitive names the patch, not a face to lay the layer on.
  ground->SetCurvedPatches(std::move(DemoContent::BuildPatchMound("mound", "m.texture", 2.0f, 0.5f)->patches));
  COctree tree(Box(Vector3(-100, -100, -100), Vector3(100, 100, 100)));
  CMeshInstance left, right, caster;
  const Matrix4 atLeft = COrientation(TMatrix(), Vector3(-6, 0, 0)).ToMatrix4();
  const Matrix4 atRight = COrientation(TMatrix(), Vector3(6, 0, 0)).ToMatrix4();
  const Matrix4 above = COrientation(TMatrix(), Vector3(6, 0, 3)).ToMatrix4();
  ASSERT_TRUE(left.SetMesh(ground.get(), false, false, false, 0, 0, &atLeft, true, nullptr));
  ASSERT_TRUE(right.SetMesh(ground.get(), false, false, false, 0, 0, &atRight, true, nullptr));
  ASSERT_TRUE(caster.SetMesh(ground.get(), false, false, false, 0, 0, &above, true, nullptr));
  for (CMeshInstance* instance : {&left, &right, &caster})
    BuildTerrainCollisionPolygons(&tree, instance, nullptr, 7, nullptr, false, false);
  const Color colour = Color::FromWord(0xFF806040u), fade = Color::FromWord(0xFF000000u);
  std::vector<uint32_t> all(ground->faceCount);
  for (uint32_t f = 0; f < all.size(); ++f) all[f] = f;

  // Over both grounds: one layer each, holding exactly what projecting every face gives.
  ViewFrustum wide;
  LookDown(wide, Vector3(0.0f, 0.5f, 12.0f), 1.2f);
  std::vector<std::unique_ptr<CMeshLayer>> layers;
  CMeshLayer::BuildForInstance(layers, nullptr, 1.0f, wide, colour, fade, tree, &caster);
  ASSERT_EQ(layers.size(), 2u);
  for (const std::unique_ptr<CMeshLayer>& layer : layers) {
    ASSERT_TRUE(layer->GetInstance() == &left || layer->GetInstance() == &right);
    EXPECT_EQ(layer->GetAlpha(), 1.0f);
    EXPECT_EQ(layer->GetColour().ToWord(), colour.ToWord());
    CMeshLayer reference;
    reference.AttachTo(layer->GetInstance());
    CMeshLayer::ProjectFaces(&reference, wide, colour, fade, all);
    EXPECT_EQ(PolygonsByFace(*layer), PolygonsByFace(reference));
  }
  EXPECT_NE(layers[0]->GetInstance(), layers[1]->GetInstance());
  EXPECT_TRUE(caster.GetLayers().empty()) << "the skipped root receives nothing";

  // Over the right ground alone: the first layer is reused for it, the second deleted.
  const CMeshLayer* first = layers[0].get();
  ViewFrustum narrow;
  LookDown(narrow, Vector3(8.0f, 0.5f, 12.0f), 0.3f);
  CMeshLayer::BuildForInstance(layers, nullptr, 1.0f, narrow, colour, fade, tree, &caster);
  ASSERT_EQ(layers.size(), 1u);
  EXPECT_EQ(layers[0].get(), first);
  EXPECT_EQ(layers[0]->GetInstance(), &right);
  EXPECT_EQ(right.GetLayers().size(), 1u);
  EXPECT_TRUE(left.GetLayers().empty());
  layers.clear();
  EXPECT_TRUE(right.GetLayers().empty());
}

TEST(MeshLayer, ClipFaceCases) {
  std::unique_ptr<ShadedMesh> ground(DemoContent::BuildGroundGrid(2, 2.0f));  // face 0: (-1,-1) (-1,1) (1,-1)
  CMeshInstance inst;
  ASSERT_TRUE(inst.SetMesh(ground.get(), false, false, false, 0, 0, nullptr, true, nullptr));
  CMeshLayer layer;
  layer.AttachTo(&inst);
  const MeshLayerVertex corners[3] = {{0, 0, 0, 0, 0, Color()}, {1, 0, 0, 0, 0, Color()}, {0, 1, 0, 0, 0, Color()}};
  const Matrix4 identity;
  const Color black = Color::FromWord(0xFF000000u), white = Color::FromWord(0xFFFFFFFFu);

  // Corners exactly on a plane count as outside; the crossing vertices made for them land on
  // them, so planes through the edges give back the whole triangle.
  CMeshLayer::ClipFace(&layer, 0, corners, {Vector4(-1, 0, 0, -1), Vector4(0, -1, 0, -1)}, identity, white, black);
  ASSERT_EQ(layer.GetFaceCount(), 1u);
  ASSERT_EQ(layer.GetFaces()[0].end - layer.GetFaces()[0].first, 3u);
  for (uint32_t k = layer.GetFaces()[0].first; k < layer.GetFaces()[0].end; ++k) {
    const MeshLayerVertex& v = layer.GetVertices()[k];
    const bool atCorner = (v.a == 0 && v.b == 0) || (v.a == 1 && v.b == 0) || (v.a == 0 && v.b == 1);
    EXPECT_TRUE(atCorner) << v.a << ", " << v.b;
    // Re-projected through the identity: depth is the mesh z (0), so the colour is unfaded.
    EXPECT_EQ(v.colour.ToWord(), 0xFFFFFFFFu);
  }
  // Depths outside 0..1 keep the colour in range.
  EXPECT_EQ(CMeshLayer::Fade(white, black, -3.0f).ToWord(), 0xFFFFFFFFu);
  layer.Reset();  // off the instance, holding nothing
  EXPECT_TRUE(inst.GetLayers().empty() && layer.GetInstance() == nullptr);
  EXPECT_TRUE(layer.GetFaceCount() == 0 && layer.GetVertexCount() == 0 && !layer.GetFaces() && !layer.GetVertices());
  layer.AttachTo(&inst);
  CMeshLayer::ClipFace(&layer, 0, corners, {Vector4(-1, 0, 0, -1)}, identity, white, black);
  EXPECT_TRUE(layer.GetFaceCount() == 1 && layer.GetVertexCount() == 3);  // the reset layer starts afresh
}

TEST(MeshLayer, InstanceAndLayerLifetimes) {
  std::unique_ptr<ShadedMesh> box(DemoContent::BuildBox(1, 1, 1));
  CMeshLayer kept;
  CMeshInstance other;
  ASSERT_TRUE(other.SetMesh(box.get(), false, false, false, 0, 0, nullptr, true, nullptr));
  {
    CMeshInstance inst;
    ASSERT_TRUE(inst.SetMesh(box.get(), false, false, false, 0, 0, nullptr, true, nullptr));
    // An adopted layer laid on another instance stays the adopter's: it leaves that one when it dies.
    auto wandering = std::make_unique<CMeshLayer>();
    CMeshLayer* moved = wandering.get();
    inst.AdoptLayer(std::move(wandering));
    moved->AttachTo(&other);
    ASSERT_EQ(other.GetLayers().size(), 1u);
    kept.AttachTo(&inst);
    auto adopted = std::make_unique<CMeshLayer>();
    CMeshLayer* owned = adopted.get();
    inst.AdoptLayer(std::move(adopted));
    EXPECT_EQ(owned->GetInstance(), &inst);
    kept.AttachTo(&inst);  // again: moved to the end, listed once
    ASSERT_EQ(inst.GetLayers().size(), 2u);
    EXPECT_EQ(inst.GetLayers()[1], &kept);
    {
      CMeshLayer brief;
      brief.AttachTo(&inst);
      EXPECT_EQ(inst.GetLayers().size(), 3u);
    }
    EXPECT_EQ(inst.GetLayers().size(), 2u);  // a destroyed layer leaves the list
  }  // the instance deletes the adopted layers and lets go of the other
  EXPECT_TRUE(other.GetLayers().empty());
  EXPECT_EQ(kept.GetInstance(), nullptr);
  EXPECT_EQ(kept.GetAlphaByte(), 0);
}
