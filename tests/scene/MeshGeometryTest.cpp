// Mesh geometry services: re-expressing a mesh in another frame, frame bounds, welding, ray
// tests against a double-precision reference and face texture coordinates.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <memory>

#include "core/math/MathUtil.h"
#include "core/math/RayInfo.h"
#include "platform/system/Platform.h"
#include "scene/mesh/NormalTable.h"
#include "tests/scene/MeshTestSupport.h"
#include "tests/support/TempFolder.h"

using testing_support::DebugCapture;

namespace {

float Random(float lo, float hi) { return lo + (hi - lo) * plat::rand() / float(plat::kRandMax); }

COrientation RandomFrame() {
  COrientation frame;
  Vector3 axis(Random(-1, 1), Random(-1, 1), Random(0.1f, 1));
  axis.Normalize();
  frame.RotateAboutWorldAxis(axis, Random(-3, 3));
  frame.position = Vector3(Random(-5, 5), Random(-5, 5), Random(-5, 5));
  return frame;
}

// Segment against triangle in doubles (both sides), as a fraction of the segment; -1 for none.
double ReferenceHit(const Vector3& s, const Vector3& e, const Vector3& a, const Vector3& b, const Vector3& c) {
  const Eigen::Vector3d o(s.x, s.y, s.z), d = Eigen::Vector3d(e.x, e.y, e.z) - o;
  const Eigen::Vector3d p0(a.x, a.y, a.z), e1 = Eigen::Vector3d(b.x, b.y, b.z) - p0,
      e2 = Eigen::Vector3d(c.x, c.y, c.z) - p0;
  const Eigen::Vector3d h = d.cross(e2);
  const double det = e1.dot(h);
  if (std::abs(det) < 1e-12) return -1;
  const Eigen::Vector3d t0 = o - p0;
  const double u = t0.dot(h) / det;
  const Eigen::Vector3d q = t0.cross(e1);
  const double v = d.dot(q) / det;
  const double t = e2.dot(q) / det;
  if (u < 0 || v < 0 || u + v > 1 || t < 0 || t > 1) return -1;
  return t;
}

}  // namespace

TEST(MeshGeometryTest, TransformMovesEverythingIntoTheNewFrameAndBoundsFollow) {
  plat::srand(21);
  for (int round = 0; round < 10; ++round) {
    std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildAnimatedBox());
    std::unique_ptr<ShadedMesh> original(DemoContent::BuildAnimatedBox());
    const COrientation frame = RandomFrame();
    mesh->Transform(frame);
    for (uint32_t i = 0; i < mesh->vertexCount * mesh->frameCount; ++i) {
      const Vector3 back = frame.LocalToWorldPoint(mesh->allPositions[i]);
      EXPECT_LT((back - original->allPositions[i]).Length(), 1e-4f);
    }
    for (uint32_t f = 0; f < mesh->faceCount * mesh->frameCount; ++f) {
      EXPECT_LT((frame.LocalToWorldVector(mesh->allFaceNormals[f]) - original->allFaceNormals[f]).Length(), 1e-4f);
    }
    // Normal-table vectors are about 2 degrees apart, so a turned normal lands within that.
    for (uint32_t i = 0; i < mesh->normalCount; ++i) {
      const Vector3 turned = frame.LocalToWorldVector(NormalTable::Decode(mesh->allCompressedNormals[i]));
      EXPECT_LT(AngleBetween(turned, NormalTable::Decode(original->allCompressedNormals[i])), 0.08f);
    }
    const COrientation point = frame.LocalToWorldOrientation(mesh->attachPoints[0].transform);
    EXPECT_LT((point.position - original->attachPoints[0].transform.position).Length(), 1e-4f);
    // The frame box in the original frame equals the box of the moved positions seen from it.
    Box seen;
    original->GetFrameBounds(seen, frame, 1, false);
    Box moved;
    mesh->GetFrameBounds(moved, COrientation(), 1, false);
    EXPECT_LT((seen.min - moved.min).Length() + (seen.max - moved.max).Length(), 1e-4f);
  }
  std::unique_ptr<ShadedMesh> box(DemoContent::BuildBox(1, 1, 1));
  const std::vector<uint16_t> normals(box->allCompressedNormals, box->allCompressedNormals + box->normalCount);
  box->Translate(1, 2, 3);
  EXPECT_EQ(Vector3(0, 1, 3), box->bounds.min);
  EXPECT_EQ(Vector3(0, 1, 3), box->GetTransformedBounds(nullptr).min);  // the frame box, clear of the origin
  EXPECT_EQ(normals, std::vector<uint16_t>(box->allCompressedNormals, box->allCompressedNormals + box->normalCount));
}

TEST(MeshGeometryTest, WeldingKeepsEveryFaceWhereItWas) {
  DebugCapture log;
  // A grid whose every face got private copies of its vertices and UVs.
  std::unique_ptr<ShadedMesh> grid(DemoContent::BuildGroundGrid(4, 1.0f));
  const uint32_t F = grid->faceCount;
  ShadedMesh split;
  ASSERT_TRUE(split.Create("split", 3 * F, F, 1, 1, 3 * F, 1));
  for (uint32_t f = 0; f < F; ++f) {
    split.faceRecords[f] = grid->faceRecords[f];
    for (uint32_t k = 0; k < 3; ++k) {
      split.indices[3 * f + k] = static_cast<uint16_t>(3 * f + k);
      split.allPositions[3 * f + k] = grid->allPositions[grid->indices[3 * f + k]] + Vector3(0, 0, (f % 2) * 1e-4f);
      split.uvs[3 * f + k] = grid->uvs[grid->faceRecords[f].corners[k].uv];
      split.faceRecords[f].corners[k].uv = 3 * f + k;
    }
  }
  auto corners = [](const ShadedMesh& m) {
    std::vector<float> out;
    for (uint32_t f = 0; f < m.faceCount; ++f) {
      for (uint32_t k = 0; k < 3; ++k) {
        const Vector3& p = m.allPositions[m.indices[3 * f + k]];
        const Vector2& uv = m.uvs[m.faceRecords[f].corners[k].uv];
        out.insert(out.end(), {p.x, p.y, p.z, uv.x, uv.y});
      }
    }
    return out;
  };
  const std::vector<float> before = corners(split);
  split.ComputeAllFaceNormals();
  split.ComputeVertexNormals();  // numbered by vertex: made again for the welded ones
  split.WeldUVs();
  ASSERT_TRUE(split.WeldVertices());
  ASSERT_NE(split.allVertexNormals, nullptr);
  for (uint32_t v = 0; v < split.vertexCount; ++v) EXPECT_EQ(split.allVertexNormals[v], NormalTable::Encode(Vector3(0, 0, 1)));
  EXPECT_EQ(grid->uvCount, split.uvCount);
  EXPECT_EQ(grid->vertexCount, split.vertexCount);  // 1e-4 apart is within the weld distance
  const std::vector<float> after = corners(split);
  ASSERT_EQ(before.size(), after.size());
  for (size_t i = 0; i < before.size(); ++i) EXPECT_NEAR(before[i], after[i], 2e-4f);
  EXPECT_EQ(0u, split.ReportDegenerateFaces());

  std::unique_ptr<ShadedMesh> animated(DemoContent::BuildAnimatedBox());
  EXPECT_FALSE(animated->WeldVertices());
  animated->allPositions[animated->indices[1]] = animated->allPositions[animated->indices[0]];
  log.Clear();
  EXPECT_GE(animated->ReportDegenerateFaces(), 1u);
}

TEST(MeshGeometryTest, RayHitsTheNearestFaceAsADoublePrecisionSearchDoes) {
  plat::srand(8);
  std::unique_ptr<ShadedMesh> ground(DemoContent::BuildGroundGrid(8, 1.0f));
  for (uint32_t v = 0; v < ground->vertexCount; ++v) ground->allPositions[v].z = Random(-0.5f, 0.5f);
  ground->ComputeAllFaceNormals();
  int hits = 0;
  for (int round = 0; round < 300; ++round) {
    const Vector3 start(Random(-4, 4), Random(-4, 4), Random(1, 3));
    const Vector3 end(Random(-4, 4), Random(-4, 4), Random(-3, -1));
    double best = 2;
    int expectedFace = -1;
    for (uint32_t f = 0; f < ground->faceCount; ++f) {
      const uint16_t* t = ground->indices + 3 * f;
      const double h = ReferenceHit(start, end, ground->positions[t[0]], ground->positions[t[1]], ground->positions[t[2]]);
      if (h >= 0 && h < best) best = h, expectedFace = static_cast<int>(f);
    }
    RayInfo query(start, end);
    int face = -2;
    const bool hit = ground->IntersectRay(query, true, face);
    EXPECT_EQ(expectedFace >= 0, hit) << round;
    if (!hit || expectedFace < 0) continue;
    ++hits;
    EXPECT_NEAR(best, query.result.time, 1e-4) << round;
    if (face != expectedFace) {
      // Only a tie on a shared edge may pick the neighbour.
      const uint16_t* t = ground->indices + 3 * face;
      EXPECT_NEAR(best, ReferenceHit(start, end, ground->positions[t[0]], ground->positions[t[1]], ground->positions[t[2]]),
                  1e-4);
    }
  }
  EXPECT_GT(hits, 100);
}

// A texture whose flag word has the alpha channel alone, sampled as the picture holds it (a
// CTexture without the translucent kinds reads every texel opaque).
struct AlphaChannelOnly : CTextureProperties {
  explicit AlphaChannelOnly(const CTexture& p) : picture(p) {}
  uint32_t GetFlags() const override { return kAlphaChannel; }
  bool SampleTexel(float u, float v, Color& out) override {
    picture.SampleColour(out, u, v);
    return true;
  }
  const CTexture& picture;
};

// A ray down through the middle of every texel of the upper of two layers: left out of the test,
// passed through at a faint texel, or stopped, by the upper layer's texture and the query.
TEST(MeshGeometryTest, RaysLeaveOutTranslucentFacesOrPassTheirFaintTexels) {
  CTexture glass, channel, unlit;
  mesh_test::MakeAlphaTexture(glass, 0);
  mesh_test::MakeAlphaTexture(channel, CTextureProperties::kAlphaChannel);
  uint32_t opaque[16];
  std::fill(opaque, opaque + 16, 0xFF406080u);
  ASSERT_TRUE(
      unlit.CreateFromPixels(opaque, 4, 4, 4, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, CTextureProperties::kUnlit, "u"));
  ASSERT_EQ(glass.flags & 0x420Cu, 0xCu);
  ASSERT_EQ(channel.flags & 0x420Cu, 0x400Cu);
  ASSERT_EQ(unlit.flags & 0x420Cu, 0x200u);
  AlphaChannelOnly channelOnly(glass);
  // Whether a query that skips translucent faces leaves the texture's faces out, and the alpha
  // below which a texel-testing query passes through them.
  const struct {
    CTextureProperties* texture;
    bool skipped;
    int cutoff;
  } cases[] = {{&glass, true, 128}, {&channel, true, 128}, {&channelOnly, false, 64}, {&unlit, false, 0}};
  for (const auto& c : cases) {
    std::unique_ptr<ShadedMesh> mesh = mesh_test::TwoLayers(c.texture, nullptr);
    for (uint32_t i = 0; i < 16; ++i) {
      const float x = (i % 4 + 0.5f) / 4, y = (i / 4 + 0.5f) / 4;
      // 0: translucent faces skipped (texel bit set all the same); 1: kept, no texel test; 2: texel test.
      for (int pass = 0; pass < 3; ++pass) {
        RayInfo query(Vector3(x, y, 2.0f), Vector3(x, y, -1.0f));
        if (pass != 1) query.mode |= QueryMode::kTexelAlpha;
        int face = -2;
        ASSERT_TRUE(mesh->IntersectRay(query, pass == 0, face));
        const bool upper = pass == 0 ? !c.skipped : pass == 1 || mesh_test::kLayerAlphas[i] >= c.cutoff;
        SCOPED_TRACE(testing::Message() << "flags " << c.texture->GetFlags() << " texel " << i << " pass " << pass);
        EXPECT_NEAR(query.result.time, upper ? 1.0f / 3 : 2.0f / 3, 1e-6f);
        if (x != y) EXPECT_EQ(face, (upper ? 0 : 2) + (x > y ? 0 : 1));
      }
    }
  }
}

TEST(MeshGeometryTest, MissingUVsAndTextureListEntriesAreRefused) {
  std::unique_ptr<ShadedMesh> grid(DemoContent::BuildGroundGrid(3, 1.0f));
  Vector2 uv;
  EXPECT_FALSE(grid->GetFaceUV(grid->faceCount, 0, 0, uv));
  grid->faceRecords[0].corners[2].uv = ShadedMesh::kNone;
  EXPECT_FALSE(grid->GetFaceUV(0, 0, 0, uv));

  ShadedMesh mesh;
  ASSERT_TRUE(mesh.Create("m", 0, 0, 3, 2, 0, 1));
  CTextureProperties* fakes[3];
  for (int i = 0; i < 3; ++i) {
    fakes[i] = reinterpret_cast<CTextureProperties*>(&fakes[i]);  // stored, never dereferenced
    mesh.SetTextureName(i, fakes[i], "t");
  }
  mesh.ResetSlots();
  std::vector<CTextureProperties*> list;
  uint8_t data[76 + 12] = {};
  const uint32_t header[6] = {3, 1, 0, 2, 9, 0};  // 3 entries driving slot 1: textures 2, 9, 0
  std::memcpy(data + 64, header, sizeof(header));
  mesh.AddAttachPoint(COrientation(), kAttachTextureList, sizeof(data), data, false);
  mesh.GetAttachPointTextures(1, list);
  EXPECT_EQ((std::vector<CTextureProperties*>{fakes[2], nullptr, fakes[0], fakes[1]}), list);
}
