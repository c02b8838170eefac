// Mesh instances against direct references: world vertices, ray hits, LOD picks, alpha, lists and parts.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <Eigen/Geometry>
#include <algorithm>
#include <cfloat>
#include <cstring>
#include <functional>
#include <memory>
#include <random>

#include "core/math/RayInfo.h"
#include "core/math/ViewFrustum.h"
#include "render/image/Texture.h"
#include "scene/animation/AnimationRecord.h"
#include "scene/animation/Skin.h"
#include "scene/mesh/HalfEdgeMesh.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/NormalTable.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/VertexFetchInterface.h"
#include "scene/mesh/VertexSharingTable.h"
#include "scene/patch/CurvedPatchInstance.h"
#include "tests/scene/MeshTestSupport.h"
#include "tests/support/MathCompare.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContent.h"

namespace {

using Affine = Eigen::Affine3d;
using mesh_test::E;
using mesh_test::ToEigen;
using testing_support::ElementsNear;

// kind 0 rigid, 1 uniform scale, 2 non-uniform scale, 3 mirrored.
COrientation RandomFrame(std::mt19937& rng, int kind) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const Eigen::Quaterniond q = Eigen::Quaterniond(u(rng), u(rng), u(rng), u(rng) + 0.1).normalized();
  Eigen::Matrix3d m = q.toRotationMatrix();
  Eigen::Vector3d s(1, 1, 1);
  if (kind == 1) s.setConstant(1.5 + u(rng));
  if (kind >= 2) s = Eigen::Vector3d(1.2 + 0.5 * u(rng), 0.7 + 0.3 * u(rng), 1.9 + 0.5 * u(rng));
  if (kind == 3) s.x() = -s.x();
  m = m * s.asDiagonal();
  COrientation o;
  for (int i = 0; i < 3; ++i) o.axes.m[i] = Vector3(float(m(0, i)), float(m(1, i)), float(m(2, i)));
  o.position = Vector3(float(5 * u(rng)), float(5 * u(rng)), float(5 * u(rng)));
  return o;
}

std::vector<std::unique_ptr<ShadedMesh>> DemoMeshes() {
  std::vector<std::unique_ptr<ShadedMesh>> meshes;
  meshes.emplace_back(DemoContent::BuildGroundGrid(9, 2.0f));
  meshes.emplace_back(DemoContent::BuildBox(1.0f, 2.0f, 0.5f));
  meshes.emplace_back(DemoContent::BuildRamp(4.0f, 3.0f, 1.5f));
  meshes.emplace_back(DemoContent::BuildAnimatedBox());
  meshes.emplace_back(DemoContent::BuildPatchMesh());
  for (auto& m : meshes) EXPECT_NE(m, nullptr);
  return meshes;
}

// Independent segment/triangle test: nearest hit time over world triangles, with the face and
// the smallest barycentric margin of that hit (to skip rays that graze an edge).
struct RefHit {
  double time = DBL_MAX;
  int face = -1;
  double margin = 0.0;
  const void* owner = nullptr;
};

void ReferenceHits(const std::vector<Eigen::Vector3d>& world, const uint16_t* tri, uint32_t faces,
                   const Eigen::Vector3d& s, const Eigen::Vector3d& e, const void* owner, RefHit& best, int& nearTies) {
  const Eigen::Vector3d d = e - s;
  for (uint32_t f = 0; f < faces; ++f) {
    const Eigen::Vector3d& a = world[tri[3 * f]];
    const Eigen::Vector3d& b = world[tri[3 * f + 1]];
    const Eigen::Vector3d& c = world[tri[3 * f + 2]];
    // Cramer's rule on s + t d = a + u (b - a) + v (c - a).
    const Eigen::Vector3d e1 = b - a, e2 = c - a, r = s - a;
    const double det = (-d).dot(e1.cross(e2));
    if (std::fabs(det) < 1e-12) continue;
    const double t = r.dot(e1.cross(e2)) / det;
    const double u = (-d).dot(r.cross(e2)) / det;
    const double v = (-d).dot(e1.cross(r)) / det;
    if (t < 0 || t > 1 || u < 0 || v < 0 || u + v > 1) continue;
    if (std::fabs(t - best.time) < 1e-4) ++nearTies;
    if (t < best.time) {
      if (best.time - t < 1e-4) ++nearTies;
      best.time = t;
      best.face = static_cast<int>(f);
      best.margin = std::min({u, v, 1 - u - v, t, 1 - t});
      best.owner = owner;
    }
  }
}

// Mesh positions of the shown frame carried by a double-precision map (by default the world matrix).
std::vector<Eigen::Vector3d> MapPositions(const CMeshInstance& inst, const Affine& w) {
  std::vector<Eigen::Vector3d> out;
  const Vector3* p = inst.GetMesh()->allPositions + size_t(inst.GetFrame()) * inst.GetMesh()->vertexCount;
  for (uint32_t v = 0; v < inst.GetMesh()->vertexCount; ++v) out.push_back(w * E(p[v]));
  return out;
}
std::vector<Eigen::Vector3d> WorldPositions(CMeshInstance& inst) { return MapPositions(inst, ToEigen(inst.GetWorldMatrix())); }

}  // namespace

TEST(MeshInstance, WorldVerticesFollowTheNodeChainOnEveryDemoMesh) {
  std::mt19937 rng(7);
  auto meshes = DemoMeshes();
  for (int round = 0; round < 24; ++round) {
    ShadedMesh* mesh = meshes[round % meshes.size()].get();
    const int kind = (round / int(meshes.size())) % 4;
    CXFormNode parent;
    const COrientation parentFrame = RandomFrame(rng, kind), pivot = RandomFrame(rng, 0), local = RandomFrame(rng, 0);
    parent.SetPivotTransform(&parentFrame, true);
    CMeshInstance inst;
    const Matrix4 start = RandomFrame(rng, 0).ToMatrix4();
    ASSERT_TRUE(inst.SetMesh(mesh, false, false, true, 0, 0, &start, true, nullptr));
    parent.AddChild(&inst, &pivot);
    inst.SetTransform(&local, true);
    inst.SetFrame(int32_t(rng() % (mesh->frameCount + 1)));  // one past the end is clamped
    ASSERT_LT(uint32_t(inst.GetFrame()), mesh->frameCount);
    const Affine w = ToEigen(parentFrame) * ToEigen(pivot) * ToEigen(local);
    const Eigen::Matrix3d normalMap = w.linear().inverse().transpose();
    inst.BuildWorldVertices();
    const Vector3* frame = mesh->allPositions + size_t(inst.GetFrame()) * mesh->vertexCount;
    const uint16_t* vnormals = mesh->allVertexNormals + size_t(inst.GetFrame()) * mesh->vertexCount;
    for (uint32_t v = 0; v < mesh->vertexCount; ++v) {
      float fetched[3];
      ASSERT_TRUE(inst.GetVertexFetch()->GetPosition(v, fetched));
      EXPECT_EQ(Vector3(fetched[0], fetched[1], fetched[2]), frame[v]);
      EXPECT_PRED_FORMAT3(ElementsNear, inst.GetVertexWorldPosition(v),
                          w * (E(frame[v]) + 0.03 * E(NormalTable::Decode(vnormals[v]))), 2e-4);
    }
    for (uint32_t f = 0; f < mesh->faceCount; ++f) {
      for (uint32_t k = 0; k < 3; ++k)
        EXPECT_PRED_FORMAT3(ElementsNear, inst.GetCornerWorldPosition(f, k), w * E(frame[mesh->indices[3 * f + k]]),
                            2e-4);
      const Vector3 ln = TriMesh::FaceNormal(frame[mesh->indices[3 * f]], frame[mesh->indices[3 * f + 1]],
                                             frame[mesh->indices[3 * f + 2]]);
      EXPECT_PRED_FORMAT3(ElementsNear, inst.GetWorldFaceNormal(f), (normalMap * E(ln)).normalized(), 2e-4);
    }
    // Out of range reads give zeros, not memory past the arrays; in range, those of the shown frame.
    float out[3] = {1, 1, 1};
    EXPECT_FALSE(inst.GetVertexFetch()->GetPosition(mesh->vertexCount, out));
    EXPECT_FALSE(inst.GetVertexFetch()->GetNormal(mesh->normalCount, out));
    EXPECT_EQ(out[0], 0.0f);
    const uint16_t* packed = mesh->allCompressedNormals + size_t(inst.GetFrame()) * mesh->normalCount;
    for (uint32_t n = 0; n < mesh->normalCount; ++n) {
      ASSERT_TRUE(inst.GetVertexFetch()->GetNormal(n, out));
      EXPECT_EQ(Vector3(out[0], out[1], out[2]), NormalTable::Decode(packed[n])) << "normal " << n;
    }
    EXPECT_EQ(inst.GetCornerWorldPosition(mesh->faceCount, 0), Vector3());
    // The occluder's half-edge mesh: of the shown frame, kept by the instance.
    const HalfEdgeMesh* edges = inst.BuildHalfEdgeMesh();
    ASSERT_TRUE(edges != nullptr && edges == inst.GetHalfEdgeMesh() && edges->GetFaceCount() == mesh->faceCount);
    for (uint32_t v = 0; v < mesh->vertexCount; ++v) EXPECT_EQ(edges->GetVertex(v)->position, frame[v]);
    // Its copies gone, the instance answers from its frame again: moved, its bounds move too.
    Box bounds;
    inst.GetWorldBounds(bounds);
    inst.FreeWorldVertices();
    const COrientation moved = RandomFrame(rng, 0);
    inst.SetTransform(&moved, true);
    Box after;
    inst.GetWorldBounds(after);
    EXPECT_FALSE(after.min == bounds.min && after.max == bounds.max) << round;
    parent.RemoveChild(&inst);
  }
}

TEST(MeshInstance, RayHitsMatchBruteForceOverEveryTriangle) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  auto meshes = DemoMeshes();
  // A ramp with an ordinary box hung on it: hits on the box report the child instance.
  std::unique_ptr<ShadedMesh> family(DemoContent::BuildRamp(4.0f, 3.0f, 1.5f));
  COrientation hang;
  hang.position = Vector3(2.0f, 0.0f, 2.0f);
  hang.RotateZ(0.5f);
  const int point = family->AddAttachPoint(hang, 7, 0, nullptr, false);
  ASSERT_TRUE(family->AddChildMesh(DemoContent::BuildBox(0.5f, 0.5f, 0.5f), uint32_t(point)));
  meshes.push_back(std::move(family));

  int hits = 0, misses = 0, checkedChildHits = 0;
  for (int round = 0; round < 30; ++round) {
    ShadedMesh* mesh = meshes[round % meshes.size()].get();
    const int kind = round % 5;  // 4: untransformed root
    CMeshInstance inst;
    const Matrix4 m = RandomFrame(rng, kind % 4).ToMatrix4();
    ASSERT_TRUE(inst.SetMesh(mesh, false, false, false, 0, 0, kind == 4 ? nullptr : &m, true, nullptr));
    inst.SetFrame(int32_t(rng() % mesh->frameCount));
    if (kind == 2) inst.BuildWorldVertices();  // bounds and hits then come from the world copies
    ASSERT_EQ(inst.IsIdentity(), kind == 4);
    std::vector<std::pair<CMeshInstance*, std::vector<Eigen::Vector3d>>> parts{{&inst, WorldPositions(inst)}};
    for (const auto& entry : inst.GetChildren()) {
      if (entry.instance) parts.push_back({entry.instance.get(), WorldPositions(*entry.instance)});
    }
    Box box;
    inst.GetWorldBounds(box);
    // Without curved patches (whose control hull counts too) the bounds are the tight box of
    // every part's world vertices, children included.
    Eigen::Vector3d lo = parts[0].second[0], hi = lo;
    for (const auto& part : parts)
      for (const Eigen::Vector3d& p : part.second) lo = lo.cwiseMin(p), hi = hi.cwiseMax(p);
    if (!inst.GetPatchState()) {
      EXPECT_PRED_FORMAT3(ElementsNear, box.min, lo, 1e-4);
      EXPECT_PRED_FORMAT3(ElementsNear, box.max, hi, 1e-4);
    }
    const Eigen::Vector3d centre = E(box.GetCenter()), half = E(box.GetSize()) * 0.5;
    for (int r = 0; r < 300; ++r) {
      const Eigen::Vector3d target = centre + Eigen::Vector3d(u(rng), u(rng), u(rng)).cwiseProduct(half) * 1.1;
      const Eigen::Vector3d from = centre + Eigen::Vector3d(u(rng), u(rng), u(rng)).normalized() * (half.norm() * 2 + 1);
      const Eigen::Vector3d to = from + (target - from) * (1.0 + 0.5 * (u(rng) + 1));
      RefHit ref;
      int ties = 0;
      for (auto& part : parts) {
        ReferenceHits(part.second, part.first->GetMesh()->indices, part.first->GetMesh()->faceCount, from, to,
                      part.first, ref, ties);
      }
      RayInfo query(Vector3(float(from.x()), float(from.y()), float(from.z())),
                    Vector3(float(to.x()), float(to.y()), float(to.z())));
      query.result.time = 0.5f;  // a hit from an earlier object must not hide this one
      CMeshInstance* hitInstance = reinterpret_cast<CMeshInstance*>(1);
      int32_t face = 99;
      const bool hit = inst.IntersectRay(query, &hitInstance, &face);
      if (ties || (ref.face >= 0 && ref.margin < 1e-3)) continue;  // grazing or tied: either answer is right
      ASSERT_EQ(hit, ref.face >= 0) << "round " << round << " ray " << r;
      if (!hit) {
        EXPECT_EQ(hitInstance, nullptr);
        EXPECT_EQ(face, -1);
        EXPECT_EQ(query.result.time, 0.5f);
        ++misses;
        continue;
      }
      ++hits;
      EXPECT_NEAR(query.result.time, ref.time, 1e-4);
      EXPECT_EQ(hitInstance, ref.owner);
      EXPECT_EQ(face, ref.face);
      if (hitInstance != &inst) ++checkedChildHits;
      EXPECT_PRED_FORMAT3(ElementsNear, query.result.point, from + (to - from) * ref.time, 1e-3);
      EXPECT_NEAR(query.normal.Length(), 1.0f, 1e-4);
      EXPECT_LE(query.normal.Dot(query.end - query.start), 0.0f);  // faces the start
    }
  }
  EXPECT_GT(hits, 1500);
  EXPECT_GT(misses, 500);
  EXPECT_GT(checkedChildHits, 20);
}

// An instance, moved or at the identity, leaves translucent faces out of its ray test unless the
// query tests texels, which then passes through their faint texels only. A modulated face sample is the blended corner colours times the texel there over 256.
TEST(MeshInstance, RaysAndModulatedSamplesOverATranslucentTexture) {
  CTexture glass;
  mesh_test::MakeAlphaTexture(glass, 0);
  std::unique_ptr<ShadedMesh> mesh = mesh_test::TwoLayers(&glass, nullptr);
  COrientation frame;
  frame.RotateZ(0.5f);
  frame.position = Vector3(3.0f, -2.0f, 1.0f);
  const Matrix4 m = frame.ToMatrix4();
  CMeshInstance moved, still;
  ASSERT_TRUE(moved.SetMesh(mesh.get(), false, false, false, 0, 0, &m, true, nullptr));
  ASSERT_TRUE(still.SetMesh(mesh.get(), false, false, false, 0, 0, nullptr, true, nullptr));
  for (uint32_t i = 0; i < 16; ++i) {
    const float x = (i % 4 + 0.5f) / 4, y = (i / 4 + 0.5f) / 4;
    for (CMeshInstance* inst : {&moved, &still})
      for (bool texels : {false, true}) {
        const COrientation place = inst == &moved ? frame : COrientation();
        RayInfo query(place.LocalToWorldPoint(Vector3(x, y, 2.0f)), place.LocalToWorldPoint(Vector3(x, y, -1.0f)));
        if (texels) query.mode |= QueryMode::kTexelAlpha;
        CMeshInstance* hit = nullptr;
        int32_t face = -2;
        ASSERT_TRUE(inst->IntersectRay(query, &hit, &face));
        const bool upper = texels && mesh_test::kLayerAlphas[i] >= 128;
        SCOPED_TRACE(testing::Message() << "texel " << i << (inst == &moved ? " moved" : " still") << texels);
        EXPECT_EQ(hit, inst);
        EXPECT_EQ(face < 2, upper);
        EXPECT_NEAR(query.result.time, upper ? 1.0f / 3 : 2.0f / 3, 1e-5f);
      }
    if (x == y) continue;
    // Face 0 has the corners (0, 0), (1, 0), (1, 1); face 1 (0, 0), (1, 1), (0, 1).
    const uint32_t face = x > y ? 0 : 1;
    const float u = face == 0 ? 1 - x : 1 - y, v = face == 0 ? y : y - x;
    const Color plain = still.SampleFaceColor(face, u, v, false, true);
    EXPECT_EQ(still.SampleFaceColor(face, u, v, true, true).ToWord(),
              Color::FromRGBA(uint8_t(plain.r * 0x40 / 256), uint8_t(plain.g * 0x60 / 256),
                              uint8_t(plain.b * 0x80 / 256), uint8_t(plain.a * mesh_test::kLayerAlphas[i] / 256))
                  .ToWord())
        << i;
    EXPECT_EQ(still.SampleFaceColor(face + 2, u, v, true, true).ToWord(),  // untextured
              still.SampleFaceColor(face + 2, u, v, false, true).ToWord());
  }
}

// A slot swapped between a lit and an unlit texture recolours the faces under it: white when
// unlit; lit again, their static colours, or without those a relighting by the lights.
TEST(MeshInstance, ATextureSwapBetweenLitAndUnlitRecoloursTheSlotsFaces) {
  CTexture unlit, otherUnlit, lit;
  unlit.flags |= CTextureProperties::kUnlit;
  otherUnlit.flags |= CTextureProperties::kUnlit;
  std::unique_ptr<ShadedMesh> mesh = mesh_test::TwoLayers(nullptr, nullptr);
  CMeshInstance inst;
  ASSERT_TRUE(inst.SetMesh(mesh.get(), false, false, true, 0, 100, nullptr, true, nullptr));
  std::vector<bool> upperNormal(mesh->normalCount, false);
  for (uint32_t f = 0; f < 2; ++f)
    for (const MeshCorner& c : mesh->faceRecords[f].corners) upperNormal.at(c.normal) = true;
  auto stampAll = [&] {
    for (uint32_t n = 0; n < mesh->normalCount; ++n) inst.SetNormalStamp(n, 500);
  };
  auto expect = [&](const std::function<uint32_t(uint32_t, uint32_t)>& colour, bool upperRelit) {
    for (uint32_t f = 0; f < 4; ++f)
      for (uint32_t k = 0; k < 3; ++k) EXPECT_EQ(inst.GetFaceColour(f, k).ToWord(), colour(f, k)) << f << " " << k;
    for (uint32_t n = 0; n < mesh->normalCount; ++n)
      EXPECT_EQ(inst.GetNormalStamp(n), upperNormal[n] && upperRelit ? 0u : 500u) << n;
  };
  auto meshColour = [&](uint32_t f, uint32_t k) { return mesh->faceRecords[f].corners[k].color.ToWord(); };
  stampAll();
  inst.SetTexture(0, &unlit);
  expect([&](uint32_t f, uint32_t k) { return f < 2 ? 0xFFFFFFFFu : meshColour(f, k); }, false);
  inst.SetFaceColour(0, 0, Color::FromWord(0x11223344u));
  inst.SetTexture(0, &otherUnlit);  // unlit to unlit: nothing to redo
  EXPECT_EQ(inst.GetFaceColour(0, 0).ToWord(), 0x11223344u);
  inst.SetTexture(0, nullptr);  // a missing texture is lit: the lights take the faces over
  expect(
      [&](uint32_t f, uint32_t k) { return f == 0 && k == 0 ? 0x11223344u
                                           : f < 2          ? 0xFFFFFFFFu
                                                            : meshColour(f, k); },
      true);

  inst.AllocStaticColours();
  for (uint32_t f = 0; f < 4; ++f)
    for (uint32_t k = 0; k < 3; ++k) inst.SetStaticColour(f, k, Color::FromWord(0xFF000000u + 7 * (3 * f + k)));
  stampAll();
  inst.SetTexture(0, &unlit);
  inst.SetTexture(0, &lit);
  inst.SetTexture(1, &lit);  // missing to lit: nothing to redo
  expect([&](uint32_t f, uint32_t k) { return f < 2 ? 0xFF000000u + 7 * (3 * f + k) : meshColour(f, k); }, false);
}

TEST(MeshInstance, LevelOfDetailListAndPicks) {
  std::unique_ptr<ShadedMesh> ramp(DemoContent::BuildLodRamp());
  ASSERT_NE(ramp, nullptr);
  // A second LOD child without a switch size is listed with threshold 1; it has two frames.
  std::unique_ptr<ShadedMesh> coarse = DemoContent::BuildAnimatedBox();
  coarse->SetName("coarse_LOD");
  coarse->flags = (coarse->flags & ~ShadedMesh::kKindMask) | ShadedMesh::kKindLod;
  const int point = ramp->AddAttachPoint(COrientation(), 5, 0, nullptr, false);
  const ShadedMesh* coarseMesh = coarse.get();
  ASSERT_TRUE(ramp->AddChildMesh(std::move(coarse), uint32_t(point)));
  CMeshInstance inst;
  ASSERT_TRUE(inst.SetMesh(ramp.get(), false, false, false, 0, 0, nullptr, true, nullptr));
  const auto& lods = inst.GetLODList();
  ASSERT_EQ(lods.size(), 3u);
  EXPECT_EQ(lods[1].threshold, 40.0f);
  EXPECT_EQ(lods[2].threshold, 1.0f);
  EXPECT_EQ(lods[2].instance->GetMesh(), coarseMesh);
  // The internal grandchild gets an entry but no instance.
  ASSERT_EQ(lods[1].instance->GetChildren().size(), 1u);
  EXPECT_EQ(lods[1].instance->GetChildren()[0].instance, nullptr);

  inst.SetLODStart(0);
  EXPECT_EQ(inst.PickLOD(100.0f), &inst);
  EXPECT_EQ(inst.PickLOD(40.0f), lods[1].instance);
  lods[2].instance->SetFrame(1);
  EXPECT_EQ(inst.PickLOD(0.5f), lods[2].instance);
  EXPECT_EQ(lods[2].instance->GetFrame(), 0) << "a picked level shows its owner's frame";
  inst.SetLODStart(1);
  EXPECT_EQ(inst.PickLOD(1e9f), lods[1].instance);
  inst.SetLODStart(7);  // past the list: starts at its last entry
  EXPECT_EQ(inst.PickLOD(1e9f), lods[2].instance);
  // A LOD child takes its lighting from its owner.
  EXPECT_EQ(&lods[1].instance->GetLightingState(), &inst.GetLightingState());
}

TEST(MeshInstance, AlphaFadeStampsAndLighting) {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildLodRamp());
  CMeshInstance inst;
  ASSERT_TRUE(inst.SetMesh(mesh.get(), false, true, true, 5, 900, nullptr, true, nullptr));
  inst.SetAlpha(0.4f, true);
  EXPECT_EQ(inst.GetChildren()[0].instance->GetFaceColour(1, 0).a, 102);
  inst.SetFadeDivisor(1, true);
  inst.SetAlpha(1.7f, true);  // clamped before the divisor
  EXPECT_EQ(inst.GetAlpha(), 0.5f);

  // Any order of fade divisor and alpha stores the same alpha, including divisor 0.
  std::mt19937 rng(3);
  for (int i = 0; i < 200; ++i) {
    const float a = float(rng() % 1000) / 999.0f;
    const uint32_t d = rng() % 5, d0 = rng() % 5;
    CMeshInstance x, y;
    for (CMeshInstance* z : {&x, &y}) z->SetFadeDivisor(d0, false);
    x.SetFadeDivisor(d, false), x.SetAlpha(a, false);
    y.SetAlpha(a, false), y.SetFadeDivisor(d, false);
    EXPECT_NEAR(x.GetAlpha(), a / (d + 1), 1e-6f);
    EXPECT_NEAR(y.GetAlpha(), a / (d + 1), 1e-6f);
  }

  // Fade divisor changes clear the stamps of the whole tree; lighting on passes its limit down, off marks them never.
  CMeshInstance* child = inst.GetChildren()[0].instance.get();
  child->SetNormalStamp(0, 77);
  inst.SetFadeDivisor(0, false);
  EXPECT_EQ(child->GetNormalStamp(0), 0u);
  child->SetNormalStamp(0, 77);
  inst.InvalidateLighting(true);
  EXPECT_EQ(child->GetNormalStamp(0), 0u);
  inst.SetDynamicLighting(true, 40, false, true);
  EXPECT_EQ(child->GetStampLimit(), 40u);
  inst.SetDynamicLighting(false, 0, false, true);
  EXPECT_EQ(child->GetNormalStamp(0), CMeshInstance::kStampNever);
  EXPECT_EQ(inst.GetStampLimit(), CMeshInstance::kStampNever);
  inst.InvalidateFaceLighting(mesh->faceCount);  // out of range: nothing
  // Static colours come back when lighting is switched off with them.
  inst.AllocStaticColours();
  inst.SetStaticColour(1, 2, Color::FromWord(0x11223344u));
  inst.SetStaticColour(mesh->faceCount, 0, Color());  // ignored
  inst.SetDynamicLighting(false, 0, true, false);
  EXPECT_EQ(inst.GetFaceColour(1, 2).ToWord(), 0x11223344u);
  EXPECT_EQ(inst.SampleFaceColor(mesh->faceCount, 0, 0, false, true).ToWord(), 0xFFFFFFFFu);
  inst.SetAlpha(0.3f, true);
  ASSERT_TRUE(inst.SetMesh(mesh.get(), false, true, true, 5, 900, nullptr, true, nullptr));
  EXPECT_EQ(inst.GetAlpha(), 1.0f);  // a mesh set again shows fully, whatever the fade before
}

void ExpectBox(const Vector3& min, const Vector3& max, const Box& box) {
  EXPECT_EQ(min, box.min);
  EXPECT_EQ(max, box.max);
}

TEST(MeshInstance, PatchStateFollowsAnInstanceMovedSinceItsLastRefresh) {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildPatchMesh());
  CMeshInstance inst;
  ASSERT_TRUE(inst.SetMesh(mesh.get(), false, false, false, 0, 10, nullptr, true, nullptr));
  CurvedPatchInstance* patches = inst.GetPatchState();
  ASSERT_NE(patches, nullptr);
  // The bump's control points span (0, 0, 0) to (3, 3, 1); its mesh radius is about 4.4.
  ExpectBox(Vector3(0, 0, 0), Vector3(3, 3, 1), patches->GetWorldBounds(0));

  // Moved without updating: the world matrix is stale until someone asks for it.
  COrientation moved;
  moved.SetPosition(Vector3(20, 0, 0));
  inst.SetPivotTransform(&moved, false);
  ExpectBox(Vector3(20, 0, 0), Vector3(23, 3, 1), patches->GetWorldBounds(0));
  ExpectBox(Vector3(20, 0, 0), Vector3(23, 3, 1), patches->GetAllWorldBounds());

  // From (21.5, 1.5, 0) the moved instance is near (face-level pass), while its old place is
  // 20 units off, beyond three radii (object-level pass).
  inst.SetPivotTransform(nullptr, true);
  inst.SetPivotTransform(&moved, false);
  ViewFrustum camera;
  camera.GetFrame().SetPosition(Vector3(21.5f, 1.5f, 0));
  testing_support::DebugCapture log;
  patches->UpdateLOD(camera);
  EXPECT_NE(log.Text().find("Patch Updating Face-Level LOD"), std::string::npos) << log.Text();
  EXPECT_EQ(log.Text().find("Object-Level"), std::string::npos);
}

TEST(MeshInstance, PartialDrawListsHoldEachFaceOnce) {
  std::unique_ptr<ShadedMesh> mesh = mesh_test::BuildGroupedGrid();
  ASSERT_TRUE(mesh);
  const VertexSharingTable* table = mesh->sharingTable.get();
  ASSERT_GT(table->GetGroupCount(), 1u);

  const size_t before = CMeshInstance::GetInstanceList().size();
  {
    CMeshInstance plain;
    ASSERT_TRUE(plain.SetMesh(mesh.get(), false, false, false, 0, 0, nullptr, true, nullptr));
    EXPECT_EQ(CMeshInstance::GetInstanceList().size(), before);
    EXPECT_FALSE(plain.AddPartialDrawFace(0));

    CMeshInstance inst;
    ASSERT_TRUE(inst.SetMesh(mesh.get(), true, false, false, 0, 0, nullptr, true, nullptr));
    ASSERT_EQ(CMeshInstance::GetInstanceList().size(), before + 1);
    EXPECT_EQ(CMeshInstance::GetInstanceList().back(), &inst);
    ASSERT_EQ(inst.GetPartialDrawGroupCount(), table->GetGroupCount());
    std::mt19937 rng(5);
    for (int pass = 0; pass < 3; ++pass) {
      std::vector<uint32_t> order(mesh->faceCount);
      for (uint32_t f = 0; f < order.size(); ++f) order[f] = f;
      std::shuffle(order.begin(), order.end(), rng);
      for (uint32_t f : order) EXPECT_TRUE(inst.AddPartialDrawFace(f));
      EXPECT_FALSE(inst.AddPartialDrawFace(order[0]));  // every list is full now
      EXPECT_FALSE(inst.AddPartialDrawFace(mesh->faceCount));
      std::vector<int> seen(mesh->faceCount, 0);
      for (uint32_t g = 0; g < inst.GetPartialDrawGroupCount(); ++g) {
        for (uint32_t i = 0; i < inst.GetPartialDrawCount(g); ++i) {
          const uint32_t f = inst.GetPartialDrawFaces(g)[i];
          EXPECT_EQ(table->GetGroupOfFace(f), g);
          ++seen[f];
        }
      }
      EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; }));
      for (CMeshInstance* listed : CMeshInstance::GetInstanceList()) listed->ResetPartialDrawLists();
    }
    // Binding again leaves the list once, not twice.
    ASSERT_TRUE(inst.SetMesh(mesh.get(), true, false, false, 0, 0, nullptr, true, nullptr));
    EXPECT_EQ(CMeshInstance::GetInstanceList().size(), before + 1);
  }
  EXPECT_EQ(CMeshInstance::GetInstanceList().size(), before);
}

TEST(MeshInstance, PartsAreFoundByTheirRanges) {
  std::mt19937 rng(9);
  for (int round = 0; round < 50; ++round) {
    CMeshInstance inst;
    std::vector<CMeshInstance::Part> all;
    for (int kind = 0; kind < 2; ++kind) {
      uint32_t at = rng() % 3;
      const int count = int(rng() % 8);
      for (int i = 0; i < count; ++i) {
        const uint32_t len = 1 + rng() % 5;
        all.push_back({reinterpret_cast<CMeshSection*>(uintptr_t(16 * (all.size() + 1))), at, at + len, kind == 1});
        at += len + rng() % 3;
      }
    }
    std::vector<CMeshInstance::Part> shuffled = all;
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    for (const auto& p : shuffled) inst.AddPart(p.section, p.firstFace, p.endFace, p.patch);
    for (uint32_t index = 0; index < 60; ++index) {
      for (int kind = 0; kind < 2; ++kind) {
        const CMeshSection* want = nullptr;
        for (const auto& p : all) {
          if (p.patch == (kind == 1) && index >= p.firstFace && index < p.endFace) want = p.section;
        }
        const CMeshInstance::Part* got = kind ? inst.FindPatchPart(index) : inst.FindPolygonPart(index);
        EXPECT_EQ(got ? got->section : nullptr, want) << "index " << index << " kind " << kind;
      }
    }
  }
}

TEST(MeshInstance, ChildrenAttachPointsAndTextureAnimation) {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildAnimatedBox());
  // A texture list on the mesh: entries 1, 0 for slot 0; an empty list must not index entry -1.
  struct {
    char name[64];
    uint32_t count, slot, reserved, entries[2];
  } list{}, empty{};
  std::strcpy(list.name, "flip");
  list.count = 2;
  list.entries[0] = 1;
  std::strcpy(empty.name, "none");
  mesh->AddAttachPoint(COrientation(), kAttachTextureList, sizeof(list), &list, false);
  mesh->AddAttachPoint(COrientation(), kAttachTextureList, 76, &empty, false);
  CTexture firstTexture, secondTexture;
  mesh->textures[1] = &secondTexture;  // in place of its metal
  CTextureProperties* first = &firstTexture;
  mesh->textures[0] = first;
  CMeshInstance inst;
  ASSERT_TRUE(inst.SetMesh(mesh.get(), false, false, false, 0, 0, nullptr, true, nullptr));

  AnimationRecord record{};
  record.dataType = AnimationRecord::kTexture;
  record.frameCount = 2;
  record.length = 1.0f;
  record.frameRate = 2.0f;
  std::strcpy(record.name, "none");  // the empty list
  inst.PlayAnimation(&record, 0.0f, 0.0f, false, nullptr);
  inst.UpdateAnimation();
  std::strcpy(record.name, "flip");
  inst.PlayAnimation(&record, 0.0f, 0.0f, false, nullptr);
  inst.UpdateAnimation();
  EXPECT_EQ(inst.GetTexture(0), mesh->textures[1]);
  // Start frames at the ends of the 32-bit range, played past their first step, clamp to the list.
  AnimationRecord far = record;
  far.startFrame = INT32_MAX;
  inst.PlayAnimation(&far, 0.6f, 0.0f, false, nullptr);
  inst.UpdateAnimation();
  EXPECT_EQ(inst.GetTexture(0), first);  // last entry: texture 0
  far.startFrame = INT32_MIN;
  inst.UpdateAnimation();
  EXPECT_EQ(inst.GetTexture(0), mesh->textures[1]);  // first entry: texture 1
  // Vertex animation picks the frame from the play time; a zero-length record holds its start.
  AnimationRecord frames = record;
  frames.dataType = AnimationRecord::kVertex;
  frames.playback = 1;
  inst.PlayAnimation(&frames, 0.6f, 0.0f, false, nullptr);
  inst.UpdateAnimation();
  EXPECT_EQ(inst.GetFrame(), 1);
  Vector3 p;
  ASSERT_TRUE(inst.GetAttachPointPosition(uint32_t(mesh->FindNamedAttachPointIndex("top")), p));
  EXPECT_EQ(p, Vector3(0, 0, 2)) << "an animated point stands where the shown frame puts it";
  frames.length = 0.0f;
  inst.UpdateAnimation();
  EXPECT_EQ(inst.GetFrame(), 0);
  inst.SetTexture(mesh->GetSlotCount(), first);  // slot K: ignored
  EXPECT_EQ(inst.GetTexture(mesh->GetSlotCount()), nullptr);

  // A child hangs at its attach point; a refused one stays with the caller, and one taken back
  // out leaves no entry behind.
  COrientation at;
  at.position = Vector3(0, 0, 3);
  const uint32_t hang = uint32_t(mesh->AddAttachPoint(at, 9, 0, nullptr, false));
  std::unique_ptr<ShadedMesh> boxMesh(DemoContent::BuildBox(1, 1, 1));
  auto owned = std::make_unique<CMeshInstance>();
  CMeshInstance* child = owned.get();
  ASSERT_TRUE(child->SetMesh(boxMesh.get(), false, false, false, 0, 0, nullptr, true, &inst));
  EXPECT_FALSE(inst.AddChildInstance(std::move(owned), uint32_t(mesh->attachPoints.size())));
  ASSERT_TRUE(inst.AddChildInstance(std::move(owned), hang));
  EXPECT_EQ(owned, nullptr);
  ASSERT_EQ(inst.GetChildren().size(), 1u);
  EXPECT_EQ(child->GetParentInstance(), &inst);
  EXPECT_EQ(child->GetWorldMatrix().position, Vector3(0, 0, 3));
  EXPECT_FALSE(inst.GetAttachPointPosition(uint32_t(mesh->attachPoints.size()), p));
  owned = inst.RemoveChildInstance(child);
  ASSERT_EQ(owned.get(), child);
  EXPECT_EQ(inst.RemoveChildInstance(child), nullptr);
  EXPECT_TRUE(inst.GetChildren().empty());
  EXPECT_EQ(child->GetParentInstance(), nullptr);
  EXPECT_EQ(child->GetParent(), nullptr);
  owned.reset();

  // A mesh whose faces name missing vertices is refused, not read.
  std::unique_ptr<ShadedMesh> broken(DemoContent::BuildBox(1, 1, 1));
  broken->indices[4] = uint16_t(broken->vertexCount);
  CMeshInstance bad;
  EXPECT_FALSE(bad.SetMesh(broken.get(), true, false, false, 0, 0, nullptr, true, nullptr));
  EXPECT_EQ(bad.GetMesh(), nullptr);
  RayInfo ray(Vector3(0, 0, 5), Vector3(0, 0, -5));
  EXPECT_FALSE(bad.IntersectRay(ray, nullptr, nullptr));
}

TEST(MeshInstance, SkinnedMeshBlendsFromItsBones) {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildBox(1, 1, 1));
  auto ownedSkin = std::make_unique<Skin>();
  Skin* skin = ownedSkin.get();
  skin->bones.resize(2);
  std::memset(static_cast<void*>(skin->bones.data()), 0, sizeof(SkinBone) * 2);
  skin->bones[0].bind = COrientation();
  skin->bones[0].bind.position = Vector3(0, 0, 1);
  skin->bones[0].parent = Skin::kNoParent;
  skin->bones[1].bind = COrientation();
  skin->bones[1].bind.RotateZ(1.0f);
  skin->bones[1].bind.position = Vector3(2, 0, 0);
  skin->bones[1].parent = 0;
  skin->offsets.push_back(0);
  for (uint32_t v = 0; v < mesh->vertexCount; ++v) {
    skin->weights.push_back({0, uint16_t(v * 211), Vector3(1, 0, 0), 0.25f});
    skin->weights.push_back({1, uint16_t(v * 211), Vector3(0, 1, 0), 0.75f});
    skin->offsets.push_back(uint16_t(skin->weights.size()));
  }
  mesh->SetSkin(std::move(ownedSkin));
  CMeshInstance inst;
  ASSERT_TRUE(inst.SetMesh(mesh.get(), false, false, false, 0, 0, nullptr, true, nullptr));
  const Affine b0 = ToEigen(skin->bones[0].bind), b1 = b0 * ToEigen(skin->bones[1].bind);
  const Eigen::Vector3d want = 0.25 * (b0 * Eigen::Vector3d(1, 0, 0)) + 0.75 * (b1 * Eigen::Vector3d(0, 1, 0));
  float out[3];
  ASSERT_TRUE(inst.GetVertexFetch()->GetPosition(3, out));
  EXPECT_PRED_FORMAT3(ElementsNear, Vector3(out[0], out[1], out[2]), want, 1e-5);
  // Each bone turns the vertex's normal; the sum is scaled by the cheap length estimate.
  for (uint32_t v = 0; v < mesh->vertexCount; ++v) {
    const Vector3 n = NormalTable::Decode(uint16_t(v * 211));  // directions spread over the table
    const Eigen::Vector3d s = (b0.linear() + b1.linear()) * Eigen::Vector3d(n.x, n.y, n.z), a = s.cwiseAbs();
    ASSERT_TRUE(inst.GetVertexFetch()->GetVertexNormal(v, out));
    EXPECT_PRED_FORMAT3(ElementsNear, Vector3(out[0], out[1], out[2]), s / (0.75 * a.maxCoeff() + 0.25 * a.sum()), 1e-5);
  }
}

namespace {

// How a placement test puts the instance: moved only, turned only, left alone, or hung at the
// identity under a moved parent node.
enum Placement { kMoved, kTurned, kUnplaced, kUnderMovedParent, kPlacementCount };

// The frame the placement gives (for kUnderMovedParent, the parent's).
COrientation PlacementFrame(int placement) {
  COrientation o;
  if (placement == kMoved || placement == kUnderMovedParent) o.position = Vector3(23.0f, -17.5f, 4.25f);
  if (placement == kTurned) MakeAxisRotation(o.axes, Vector3(0.6f, -0.48f, 0.64f), 1.1f);
  return o;
}

// Places the instance as the park places a piece (its local frame) or under the parent node.
void Place(CMeshInstance& inst, CXFormNode& parent, int placement, bool update) {
  const COrientation frame = PlacementFrame(placement);
  if (placement == kUnderMovedParent) {
    parent.SetTransform(&frame, update);
    ASSERT_TRUE(parent.AddChild(&inst, nullptr));
  } else {
    inst.SetTransform(&frame, update);
  }
}

}  // namespace

TEST(MeshInstancePlacement, RaysHitAMovedOrTurnedInstanceWhereItIsDrawn) {
  std::mt19937 rng(23);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  auto meshes = DemoMeshes();
  int hits[kPlacementCount] = {}, misses[kPlacementCount] = {};
  for (int placement = 0; placement < kPlacementCount; ++placement) {
    for (size_t m = 0; m < meshes.size(); ++m) {
      ShadedMesh* mesh = meshes[m].get();
      CXFormNode parent;
      CMeshInstance inst;
      ASSERT_TRUE(inst.SetMesh(mesh, false, false, false, 0, 0, nullptr, true, nullptr));
      // Animation writes the local frame without update; that frame must count as well.
      Place(inst, parent, placement, m % 2 == 0);
      inst.SetFrame(int32_t(rng() % mesh->frameCount));
      ASSERT_EQ(inst.IsIdentity(), placement == kUnplaced) << "placement " << placement;
      const Affine w = ToEigen(PlacementFrame(placement));
      const std::vector<Eigen::Vector3d> drawn = MapPositions(inst, w);
      // Rays go at the drawn instance and at the place the mesh has at the origin: with the
      // instance moved away, the second kind must miss.
      Eigen::Vector3d lo = drawn[0], hi = drawn[0];
      for (const auto& p : drawn) {
        lo = lo.cwiseMin(p);
        hi = hi.cwiseMax(p);
      }
      const Eigen::Vector3d centres[2] = {0.5 * (lo + hi), w.inverse() * (0.5 * (lo + hi))};
      const Eigen::Vector3d half = 0.5 * (hi - lo) + Eigen::Vector3d::Constant(0.1);
      for (int r = 0; r < 200; ++r) {
        const Eigen::Vector3d& centre = centres[r % 2];
        const Eigen::Vector3d target = centre + Eigen::Vector3d(u(rng), u(rng), u(rng)).cwiseProduct(half);
        const Eigen::Vector3d from = centre + Eigen::Vector3d(u(rng), u(rng), u(rng)).normalized() * (half.norm() * 2 + 1);
        const Eigen::Vector3d to = from + (target - from) * 2.0;
        RefHit ref;
        int ties = 0;
        ReferenceHits(drawn, mesh->indices, mesh->faceCount, from, to, &inst, ref, ties);
        RayInfo query(Vector3(float(from.x()), float(from.y()), float(from.z())),
                      Vector3(float(to.x()), float(to.y()), float(to.z())));
        CMeshInstance* hitInstance = nullptr;
        int32_t face = -1;
        const bool hit = inst.IntersectRay(query, &hitInstance, &face);
        if (ties || (ref.face >= 0 && ref.margin < 1e-3)) continue;
        ASSERT_EQ(hit, ref.face >= 0) << "placement " << placement << " mesh " << m << " ray " << r;
        if (!hit) {
          ++misses[placement];
          continue;
        }
        ++hits[placement];
        EXPECT_NEAR(query.result.time, ref.time, 1e-4);
        EXPECT_EQ(hitInstance, &inst);
        EXPECT_EQ(face, ref.face);
        EXPECT_PRED_FORMAT3(ElementsNear, query.result.point, from + (to - from) * ref.time, 1e-3);
      }
      if (placement == kUnderMovedParent) parent.RemoveChild(&inst);
    }
  }
  for (int placement = 0; placement < kPlacementCount; ++placement) {
    EXPECT_GT(hits[placement], 150) << "placement " << placement;
    // Moved away, the rays at the origin's place (half of them) find nothing.
    EXPECT_GT(misses[placement], placement == kMoved || placement == kUnderMovedParent ? 400 : 100)
        << "placement " << placement;
  }
}

TEST(MeshInstancePlacement, WorldPositionsNormalsAndCopiesFollowTheLocalFrame) {
  auto meshes = DemoMeshes();
  // A scaled, mirrored local frame also reaches the world scale and the normal rules.
  COrientation bent;
  MakeAxisRotation(bent.axes, Vector3(0.0f, 0.6f, 0.8f), -0.7f);
  bent.axes = bent.axes * TMatrix().Set(-2, 0, 0, 0, 2, 0, 0, 0, 2);
  bent.position = Vector3(-4.0f, 9.0f, 1.0f);
  for (int placement = 0; placement <= kPlacementCount; ++placement) {
    for (size_t m = 0; m + 1 < meshes.size(); ++m) {
      ShadedMesh* mesh = meshes[m].get();
      CXFormNode parent;
      CMeshInstance inst;
      ASSERT_TRUE(inst.SetMesh(mesh, false, false, false, 0, 0, nullptr, true, nullptr));
      // Bound at the identity as a root, the mesh's own arrays serve as world copies.
      ASSERT_EQ(inst.HasWorldVertices(), mesh->allFaceNormals != nullptr);
      if (placement < kPlacementCount) {
        Place(inst, parent, placement, true);
      } else {
        inst.SetTransform(&bent, false);
      }
      const COrientation frame = placement < kPlacementCount ? PlacementFrame(placement) : bent;
      const Affine w = ToEigen(frame);
      const Eigen::Matrix3d normalMap = w.linear().inverse().transpose();
      const Vector3* positions = mesh->allPositions + size_t(inst.GetFrame()) * mesh->vertexCount;
      const uint16_t* vnormals = mesh->allVertexNormals + size_t(inst.GetFrame()) * mesh->vertexCount;
      // The cheap largest-row estimate, which only a scaled frame computes.
      float wantScale = 1.0f;
      if (placement == kPlacementCount) {
        wantScale = std::max({frame.axes.m[0].ApproxLength(), frame.axes.m[1].ApproxLength(), frame.axes.m[2].ApproxLength()});
        EXPECT_GE(wantScale, 2.0f);
      }
      EXPECT_FLOAT_EQ(inst.GetWorldScale(), wantScale);
      Box sphere;
      inst.GetSphereBox(sphere);
      EXPECT_NEAR(sphere.GetSize().x, 2 * mesh->radius * inst.GetWorldScale(), 1e-4);
      EXPECT_PRED_FORMAT3(ElementsNear, sphere.GetCenter(), w.translation(), 1e-5);
      // Read on the spot first, then from the world copies.
      for (int copies = 0; copies < 2; ++copies) {
        if (copies) inst.BuildWorldVertices();
        ASSERT_EQ(inst.HasWorldVertices(), copies == 1 || (placement == kUnplaced && mesh->allFaceNormals));
        for (uint32_t v = 0; v < mesh->vertexCount; ++v) {
          const Eigen::Vector3d pushed = E(positions[v]) + 0.03 * E(NormalTable::Decode(vnormals[v]));
          ASSERT_PRED_FORMAT3(ElementsNear, inst.GetVertexWorldPosition(v), w * pushed, 2e-4) << "vertex " << v;
        }
        for (uint32_t f = 0; f < mesh->faceCount; ++f) {
          const uint16_t* tri = mesh->indices + 3 * f;
          for (uint32_t k = 0; k < 3; ++k)
            ASSERT_PRED_FORMAT3(ElementsNear, inst.GetCornerWorldPosition(f, k), w * E(positions[tri[k]]), 2e-4);
          const Vector3 ln = TriMesh::FaceNormal(positions[tri[0]], positions[tri[1]], positions[tri[2]]);
          ASSERT_PRED_FORMAT3(ElementsNear, inst.GetWorldFaceNormal(f), (normalMap * E(ln)).normalized(), 2e-4)
              << "placement " << placement << " face " << f;
        }
      }
      if (placement == kUnderMovedParent) parent.RemoveChild(&inst);
    }
  }
}
