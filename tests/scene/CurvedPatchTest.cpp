// Curved patches against a de Casteljau reference, tessellation as a proper triangulation,
// crack-free neighbours at any levels, and the file section under hostile input.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/math/ViewFrustum.h"
#include "platform/system/Platform.h"
#include "scene/patch/CurvedPatch.h"
#include "scene/patch/CurvedPatchInstance.h"
#include "tests/support/InputCost.h"
#include "tests/support/TempFolder.h"

namespace {

// A sheet of nx x ny patches over a shared (3nx+1) x (3ny+1) control grid, neighbours and
// edge maps filled in; heights random so the patches are genuinely curved.
void BuildSheet(CurvedPatch& cp, int nx, int ny, std::mt19937& rng) {
  std::uniform_real_distribution<float> height(-2.0f, 2.0f);
  const int cols = 3 * nx + 1, rows = 3 * ny + 1;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      CurvedPatchControlVertex v;
      v.position = Vector3(float(c) * 4.0f, float(r) * 4.0f, height(rng));
      v.u = float(c) / (cols - 1);
      v.v = float(r) / (rows - 1);
      cp.AddControlVertex(v);
    }
  }
  ASSERT_EQ(cp.AddFace(CurvedPatchFace{7, {0, 1, 2}}), 0);
  ASSERT_EQ(cp.AddFace(CurvedPatchFace{9, {3, 0xFFFF, 4}}), 1);
  for (int py = 0; py < ny; ++py) {
    for (int px = 0; px < nx; ++px) {
      CurvedPatchRecord rec;
      rec.Init(uint32_t(3 * py * cols + 3 * px), uint16_t(cols), uint16_t((px + py) % 2), false);
      auto id = [&](int x, int y) { return uint16_t(y * nx + x); };
      if (py > 0) rec.neighbours[0] = id(px, py - 1);
      if (px + 1 < nx) rec.neighbours[1] = id(px + 1, py);
      if (py + 1 < ny) rec.neighbours[2] = id(px, py + 1);
      if (px > 0) rec.neighbours[3] = id(px - 1, py);
      rec.edgeMap = uint8_t(2 << 0 | 3 << 2 | 0 << 4 | 1 << 6);  // edge k meets edge k ^ 2
      ASSERT_TRUE(cp.AddPatch(rec));
    }
  }
}

std::vector<uint8_t> WriteAll(const CurvedPatch& cp) {
  std::vector<uint8_t> bytes(cp.GetFileSize());
  EXPECT_EQ(cp.Write(bytes.data(), bytes.size()), bytes.size());
  return bytes;
}

// Reference: the Bernstein form in double over the patch's 4 x 4 control grid.
Vector3 Reference(const CurvedPatch& cp, uint32_t p, double u, double v) {
  auto bern = [](int i, double t) { const double c[4] = {1, 3, 3, 1}; return c[i] * std::pow(t, i) * std::pow(1 - t, 3 - i); };
  double sum[3] = {0, 0, 0};
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      const Vector3& q = cp.GetControlVertex(p, c, r).position;
      const double w = bern(c, u) * bern(r, v);
      sum[0] += w * q.x, sum[1] += w * q.y, sum[2] += w * q.z;
    }
  return Vector3(float(sum[0]), float(sum[1]), float(sum[2]));
}

struct Tess {
  std::vector<Vector2> uv;
  std::vector<std::array<uint16_t, 3>> tris;
};

Tess TessellateAll(CurvedPatchLOD lod) {
  CurvedPatchInstance::Tessellate(lod, nullptr, 0, nullptr, 0);
  Tess t;
  t.uv.resize(lod.vertexCount);
  t.tris.resize(lod.triangleCount);
  CurvedPatchInstance::Tessellate(lod, t.tris.data(), sizeof(t.tris[0]), t.uv.data(), sizeof(Vector2));
  return t;
}

// A proper triangulation of the unit square: indices in range, distinct vertices, every
// triangle counter-clockwise with positive area, areas summing to 1, every inner edge shared
// by exactly two triangles in opposite directions, border edges on the square once.
void ExpectProperTriangulation(const Tess& t, const std::string& what) {
  SCOPED_TRACE(what);
  for (size_t i = 0; i < t.uv.size(); ++i)
    for (size_t j = i + 1; j < t.uv.size(); ++j)
      ASSERT_FALSE(t.uv[i].x == t.uv[j].x && t.uv[i].y == t.uv[j].y) << i << " " << j;
  double area = 0.0;
  std::map<std::pair<int, int>, int> directed;
  for (const auto& tri : t.tris) {
    for (uint16_t i : tri) ASSERT_LT(i, t.uv.size());
    const Vector2 &a = t.uv[tri[0]], &b = t.uv[tri[1]], &c = t.uv[tri[2]];
    const double twice = double(b.x - a.x) * (c.y - a.y) - double(b.y - a.y) * (c.x - a.x);
    ASSERT_GT(twice, 0.0);
    area += twice / 2;
    for (int k = 0; k < 3; ++k) ASSERT_EQ((directed[std::make_pair(int(tri[k]), int(tri[(k + 1) % 3]))]++), 0);
  }
  EXPECT_NEAR(area, 1.0, 1e-9);
  for (const auto& [edge, n] : directed) {
    if (directed.count({edge.second, edge.first})) continue;
    const Vector2 &a = t.uv[edge.first], &b = t.uv[edge.second];
    const bool onBorder = (a.x == b.x && (a.x == 0 || a.x == 1)) || (a.y == b.y && (a.y == 0 || a.y == 1));
    EXPECT_TRUE(onBorder) << "open edge inside the square";
  }
}

// Parameters of the tessellation's vertices on edge k, in order along the edge.
std::vector<float> EdgeParams(const Tess& t, int k) {
  std::vector<float> out;
  for (const Vector2& p : t.uv) {
    if ((k == 0 && p.y == 0) || (k == 2 && p.y == 1)) out.push_back(p.x);
    if ((k == 1 && p.x == 1) || (k == 3 && p.x == 0)) out.push_back(p.y);
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

TEST(CurvedPatchEvaluate, CornersExactInteriorMatchesReferenceNormalsAgree) {
  std::mt19937 rng(5);
  CurvedPatch cp;
  BuildSheet(cp, 2, 2, rng);
  for (uint32_t p = 0; p < cp.GetPatchCount(); ++p) {
    EXPECT_EQ(cp.Evaluate(p, 0, 0), cp.GetControlVertex(p, 0, 0).position);
    EXPECT_EQ(cp.Evaluate(p, 1, 0), cp.GetControlVertex(p, 3, 0).position);
    EXPECT_EQ(cp.Evaluate(p, 0, 1), cp.GetControlVertex(p, 0, 3).position);
    EXPECT_EQ(cp.Evaluate(p, 1, 1), cp.GetControlVertex(p, 3, 3).position);
    std::uniform_real_distribution<float> t(0.0f, 1.0f);
    for (int i = 0; i < 50; ++i) {
      const float u = t(rng), v = t(rng);
      const Vector3 got = cp.Evaluate(p, u, v), want = Reference(cp, p, u, v);
      EXPECT_NEAR((got - want).Length(), 0.0f, 1e-4f);
      // Texture coordinates run over the 24 x 24 sheet as x and y do. The height field rises along +z, and the
      // corner normals (from the control polygon) point the same way as the interior ones (from differences).
      Vector3 pos, n, corner;
      Vector2 uv;
      cp.EvaluateVertex(p, u, v, pos, n, uv);
      EXPECT_NEAR((uv * 24.0f - Vector2(pos.x, pos.y)).LengthSquared(), 0.0f, 1e-8f);
      cp.EvaluateVertex(p, float(i % 2), float(i / 2 % 2), pos, corner, uv);
      EXPECT_NEAR(n.Length(), 1.0f, 1e-4f);
      EXPECT_GT(n.Dot(corner), 0.0f);
    }
  }
}

TEST(CurvedPatchTessellate, CountsAndTriangulationForEveryEdgeCombination) {
  const int counts[] = {1, 2, 4, 8, 16};
  for (int a : counts)
    for (int b : counts)
      for (int c : counts)
        for (int d : counts) {
          CurvedPatchLOD lod;
          const int e[4] = {a, b, c, d};
          for (int k = 0; k < 4; ++k) lod.segments[k] = uint8_t(e[k]);
          const Tess t = TessellateAll(lod);
          const int nu = (a + c) / 2, nv = (b + d) / 2, sum = a + b + c + d;
          if (nu > 1 && nv > 1) {
            EXPECT_EQ(t.uv.size(), size_t((nu - 1) * (nv - 1) + sum));
            EXPECT_EQ(t.tris.size(), size_t(2 * (nu - 2) * (nv - 2) + 2 * (nu + nv) + sum - 8));
          } else {
            EXPECT_EQ(t.uv.size(), size_t(sum));
            EXPECT_EQ(t.tris.size(), size_t(sum - 2));
          }
          const std::string what = std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) +
                                   "," + std::to_string(d);
          ExpectProperTriangulation(t, what);
          // Each edge carries exactly its own count of evenly spaced segments.
          for (int k = 0; k < 4; ++k) {
            const std::vector<float> params = EdgeParams(t, k);
            ASSERT_EQ(params.size(), size_t(e[k] + 1)) << what;
            for (int i = 0; i <= e[k]; ++i) EXPECT_EQ(params[i], float(i) / e[k]);
          }
          if (HasFatalFailure()) return;
        }
  // Counts outside 1..16 (a record filled by hand) are clamped, not divided by.
  CurvedPatchLOD broken;
  broken.segments[0] = 0;
  broken.segments[2] = 200;
  ExpectProperTriangulation(TessellateAll(broken), "clamped");
}

TEST(CurvedPatchLevels, EdgeRulesAndClampedOffsets) {
  std::mt19937 rng(1);
  CurvedPatch cp;
  BuildSheet(cp, 2, 1, rng);  // patch 0 edge 1 meets patch 1 edge 3
  CurvedPatchInstance inst;
  ASSERT_TRUE(inst.Init(&cp, nullptr, CurvedPatchInstance::kDefaultTolerance, true));
  inst.SetLevel(0, 1);
  inst.SetLevel(1, 4);
  inst.SetEdgeLevels();
  EXPECT_EQ(inst.GetRenderLOD(0).segments[1], 4);
  EXPECT_EQ(inst.GetRenderLOD(1).segments[3], 4);
  EXPECT_EQ(inst.GetRenderLOD(0).segments[0], 2);   // open edges follow their own level
  EXPECT_EQ(inst.GetRenderLOD(1).segments[0], 16);
  EXPECT_EQ(inst.GetCollisionLOD(0).level, 3);  // the collision copy never moves
  EXPECT_EQ(inst.GetCollisionLOD(1).segments[3], 8);

  // Offsets from data built in memory are exponents; they must not leave 1..16.
  CurvedPatchRecord& r0 = cp.GetPatchForEdit(0);
  r0.levelOffsets[1] = 200;  // neighbour rule: max(L(n), theirs) - 200 would be negative
  r0.neighbours[0] = CurvedPatchRecord::kFixedLevel;
  r0.levelOffsets[0] = 9;  // 2^9 does not fit the byte
  r0.neighbours[2] = 1234;  // no such patch: an open edge
  inst.SetLevel(0, 99);
  inst.SetEdgeLevels();
  EXPECT_EQ(inst.GetRenderLOD(0).level, 4);
  EXPECT_EQ(inst.GetRenderLOD(0).segments[1], 1);
  EXPECT_EQ(inst.GetRenderLOD(0).segments[0], 16);
  EXPECT_EQ(inst.GetRenderLOD(0).segments[2], 16);
  // ... and Write refuses to store them, so no file carries them.
  std::vector<uint8_t> bytes(4096);
  testing_support::DebugCapture log;
  EXPECT_EQ(cp.Write(bytes.data(), bytes.size()), 0u);
  EXPECT_EQ(log.Text(), "CurvedPatch: edge level offset above 4\n");
}

TEST(CurvedPatchLevels, SharedEdgeVerticesCoincideAtAnyLevels) {
  std::mt19937 rng(11);
  CurvedPatch cp;
  BuildSheet(cp, 3, 2, rng);
  // A seventh patch whose column 3 is patch 2's right column with the rows reversed, so
  // the shared edge runs the other way: patch 2 edge 1 meets its edge 1.
  const uint32_t base = cp.GetControlVertexCount();
  CurvedPatchRecord turned;
  turned.Init(base, 4, 0, false);
  turned.neighbours[1] = 2;
  turned.edgeMap = uint8_t(1 << 2);
  CurvedPatch built;
  for (uint32_t i = 0; i < base; ++i) built.AddControlVertex(cp.GetVertex(i));
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      CurvedPatchControlVertex v = cp.GetControlVertex(2, 3, 3 - r);
      v.position += Vector3(float(3 - c) * 4.0f, 0, float((3 - c) * (3 - c)));
      built.AddControlVertex(v);
    }
  built.AddFace(cp.GetFace(0));
  built.AddFace(cp.GetFace(1));
  for (uint32_t p = 0; p < cp.GetPatchCount(); ++p) {
    CurvedPatchRecord r = cp.GetPatch(p);
    if (p == 2) {
      r.neighbours[1] = 6;
      r.edgeMap = uint8_t((r.edgeMap & ~0x0C) | (1 << 2));
    }
    ASSERT_TRUE(built.AddPatch(r));
  }
  ASSERT_TRUE(built.AddPatch(turned));
  ASSERT_GT(built.GetFileSize(), 0u);  // every neighbour resolves

  CurvedPatchInstance inst;
  ASSERT_TRUE(inst.Init(&built, nullptr, CurvedPatchInstance::kDefaultTolerance, false));
  const uint32_t n = built.GetPatchCount();
  for (int trial = 0; trial < 200; ++trial) {
    for (uint32_t p = 0; p < n; ++p) inst.SetLevel(p, int(rng() % 5));
    inst.SetEdgeLevels();
    std::vector<Tess> tess;
    for (uint32_t p = 0; p < n; ++p) tess.push_back(TessellateAll(inst.GetRenderLOD(p)));
    for (uint32_t p = 0; p < n; ++p) {
      const CurvedPatchRecord& r = built.GetPatch(p);
      for (int k = 0; k < 4; ++k) {
        const uint16_t q = r.neighbours[k];
        if (q >= n) continue;
        auto onEdge = [&](uint32_t patch, int edge) {
          std::vector<Vector3> pts;
          for (const Vector2& t : tess[patch].uv) {
            const bool on = (edge == 0 && t.y == 0) || (edge == 2 && t.y == 1) || (edge == 1 && t.x == 1) ||
                            (edge == 3 && t.x == 0);
            if (on) pts.push_back(built.Evaluate(patch, t.x, t.y));
          }
          return pts;
        };
        const std::vector<Vector3> mine = onEdge(p, k), theirs = onEdge(q, r.NeighbourEdge(k));
        ASSERT_EQ(mine.size(), theirs.size()) << "patch " << p << " edge " << k;
        for (const Vector3& a : mine) {
          float best = 1e30f;
          for (const Vector3& b : theirs) best = std::min(best, (a - b).Length());
          ASSERT_LT(best, 1e-4f) << "crack at patch " << p << " edge " << k;
        }
      }
    }
  }
}

TEST(CurvedPatchLevels, CameraPassesThrottleAndStayFinite) {
  std::mt19937 rng(3);
  CurvedPatch cp;
  BuildSheet(cp, 2, 2, rng);
  CurvedPatchInstance inst;
  ASSERT_TRUE(inst.Init(&cp, nullptr, CurvedPatchInstance::kDefaultTolerance, true));
  const float radius = 40.0f;
  inst.SetPlacement(COrientation(), 1.0f, radius);
  ViewFrustum cam;
  testing_support::DebugCapture log;
  auto lookFrom = [&](const Vector3& p) {
    cam.GetFrame().SetPosition(p);
    log.Clear();
    inst.UpdateLOD(cam);
    return log.Text().find("Patch Updating") != std::string::npos;
  };
  EXPECT_TRUE(lookFrom(Vector3(5, 5, 10)));  // first near pass always runs
  inst.SetLevel(0, 0);
  EXPECT_FALSE(lookFrom(Vector3(36, 5, 10)));  // 31 units: throttled
  EXPECT_EQ(inst.GetRenderLOD(0).level, 0);
  EXPECT_TRUE(lookFrom(Vector3(38, 5, 10)));  // 33 units from the last pass
  const uint16_t recomputed = inst.GetRenderLOD(0).level;

  // Far: value R / ((D - R) t), coarse levels.
  EXPECT_TRUE(lookFrom(Vector3(radius + radius / (0.05f * cam.GetTanHalfFov()), 0, 0)));
  for (uint32_t p = 0; p < 4; ++p) EXPECT_GE(inst.GetRenderLOD(p).level, 3);
  // Back near where the last face-level pass ran: the far levels must not linger.
  EXPECT_TRUE(lookFrom(Vector3(38, 5, 10)));
  EXPECT_EQ(inst.GetRenderLOD(0).level, recomputed);
  EXPECT_EQ(inst.GetCollisionLOD(0).level, 3);

  // Degenerate inputs: no radius with the camera on the instance (0/0 in the far pass),
  // and a zero field of view. Levels and counts stay in range.
  inst.SetPlacement(COrientation(), 1.0f, 0.0f);
  EXPECT_TRUE(lookFrom(Vector3(0, 0, 0)));  // on the instance: the near pass, not 0/0
  EXPECT_NE(log.Text().find("Face-Level"), std::string::npos);
  cam.SetFieldOfView(0.0f);
  lookFrom(Vector3(500, 0, 0));
  for (uint32_t p = 0; p < 4; ++p) {
    const CurvedPatchLOD& lod = inst.GetRenderLOD(p);
    EXPECT_LE(lod.level, 4);
    for (uint8_t s : lod.segments) EXPECT_TRUE(s >= 1 && s <= 16);
  }
  // Set up again without patches: refused, with nothing of the old ones left to draw.
  EXPECT_FALSE(inst.Init(nullptr, nullptr, CurvedPatchInstance::kDefaultTolerance, true));
  EXPECT_EQ(inst.GetPatchCount(), 0u);
}

TEST(CurvedPatchBounds, WorldBoxesHoldTheTransformedSurface) {
  std::mt19937 rng(8);
  CurvedPatch cp;
  BuildSheet(cp, 2, 2, rng);
  CurvedPatchInstance inst;
  ASSERT_TRUE(inst.Init(&cp, nullptr, CurvedPatchInstance::kDefaultTolerance, false));
  COrientation world;
  world.RotateAboutWorldAxis(Vector3(0.3f, 0.5f, 0.8f), 0.7f);
  for (int k = 0; k < 3; ++k) world.axes.m[k] *= 2.5f;
  world.SetPosition(Vector3(100, -20, 3));
  inst.SetPlacement(world, 2.5f, 50.0f);
  std::uniform_real_distribution<float> t(0.0f, 1.0f);
  for (uint32_t p = 0; p < cp.GetPatchCount(); ++p) {
    Box box = inst.GetWorldBounds(p);
    EXPECT_TRUE(inst.GetAllWorldBounds().ContainsBox(box));
    box.Inflate(Vector3(1e-3f, 1e-3f, 1e-3f));
    for (int i = 0; i < 100; ++i) {  // a Bezier surface stays inside its control points' box
      const Vector3 q = world.LocalToWorldPoint(cp.Evaluate(p, t(rng), t(rng)));
      EXPECT_TRUE(box.ContainsBox(Box(q, q)));
    }
  }
}

TEST(CurvedPatchGroups, SplitRewritesBlocksAndKeepsNeighbours) {
  std::mt19937 rng(4);
  CurvedPatch cp;
  BuildSheet(cp, 4, 3, rng);
  cp.GetPatchForEdit(5).neighbours[0] = CurvedPatchRecord::kFixedLevel;
  const CurvedPatch before = cp;
  ASSERT_TRUE(cp.BuildGroups(3));
  ASSERT_EQ(cp.GetPatchCount(), before.GetPatchCount());
  EXPECT_EQ(cp.GetGroupCount(), 6u);  // long side cut: 4x3 to two 2x3, each to 2x1 and 2x2, each 2x2 to two 1x2
  uint32_t nextPatch = 0;
  for (uint32_t g = 0; g < cp.GetGroupCount(); ++g) {
    const CurvedPatchGroup& group = cp.GetGroup(g);
    EXPECT_EQ(group.firstPatch, nextPatch);
    EXPECT_LE(group.endPatch - group.firstPatch, 3u);
    EXPECT_EQ(group.firstVertex, 16 * group.firstPatch);
    EXPECT_EQ(group.endVertex, 16 * group.endPatch);
    uint32_t at = group.firstPatch;
    for (const CurvedPatchGroupEntry& e : group.entries) {
      EXPECT_EQ(e.firstPatch, at);
      for (uint32_t p = e.firstPatch; p < e.endPatch; ++p) EXPECT_EQ(cp.GetPatch(p).face, e.face);
      at = e.endPatch;
    }
    EXPECT_EQ(at, group.endPatch);
    nextPatch = group.endPatch;
  }
  EXPECT_EQ(nextPatch, cp.GetPatchCount());
  // Every patch keeps its surface (found by its corner), and every neighbour still shares
  // the control vertices of the edge it is listed across.
  for (uint32_t p = 0; p < cp.GetPatchCount(); ++p) {
    EXPECT_EQ(cp.GetPatch(p).rowStride, 4);
    uint32_t old = 0;
    while (old < before.GetPatchCount() &&
           before.Evaluate(old, 0, 0) != cp.Evaluate(p, 0, 0)) ++old;
    ASSERT_LT(old, before.GetPatchCount());
    EXPECT_EQ(before.Evaluate(old, 0.3f, 0.7f), cp.Evaluate(p, 0.3f, 0.7f));
    for (int k = 0; k < 4; ++k) {
      const uint16_t q = cp.GetPatch(p).neighbours[k];
      if (q >= cp.GetPatchCount()) {
        EXPECT_EQ(q, before.GetPatch(old).neighbours[k]) << "open and fixed-level markers pass through";
        continue;
      }
      const int e = cp.GetPatch(p).NeighbourEdge(k);
      const float mid[4][2] = {{0.5f, 0}, {1, 0.5f}, {0.5f, 1}, {0, 0.5f}};
      EXPECT_NEAR((cp.Evaluate(p, mid[k][0], mid[k][1]) - cp.Evaluate(q, mid[e][0], mid[e][1])).Length(), 0.0f,
                  1e-4f);
    }
  }
  // Coincident patches cannot be split apart; the builder must still finish.
  CurvedPatch same;
  for (int i = 0; i < 16; ++i) same.AddControlVertex({Vector3(float(i % 4), float(i / 4), 0), 0, 0});
  same.AddFace({});
  CurvedPatchRecord rec;
  rec.Init(0, 4, 0, false);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(same.AddPatch(rec));
  ASSERT_TRUE(same.BuildGroups(0));
  EXPECT_EQ(same.GetGroupCount(), 1u);
  EXPECT_EQ(same.GetControlVertexCount(), 80u);
}

TEST(CurvedPatchSection, RoundTripSizesAndExample) {
  std::mt19937 rng(2);
  CurvedPatch cp;
  BuildSheet(cp, 3, 3, rng);
  cp.SetHeader(0xC0FFEE01);
  cp.GetPatchForEdit(4).padding[1] = 0x5A;
  cp.BuildGroups(4);
  const std::vector<uint8_t> bytes = WriteAll(cp);
  std::vector<uint8_t> padded = bytes;
  padded.insert(padded.end(), 13, 0xAB);  // the next section of the file follows
  CurvedPatch back;
  size_t used = 0;
  ASSERT_TRUE(back.Read(padded.data(), padded.size(), &used));
  EXPECT_EQ(used, bytes.size());
  EXPECT_EQ(WriteAll(back), bytes);

  CurvedPatch one;
  for (int i = 0; i < 16; ++i) one.AddControlVertex({Vector3(float(i % 4), float(i / 4), 0), 0, 0});
  one.AddFace({});
  CurvedPatchRecord rec;
  rec.Init(0, 4, 0, false);
  ASSERT_TRUE(one.AddPatch(rec));
  EXPECT_EQ(one.GetFileSize(), 400u);
  // Curvature is measured per direction: a sheet folded back along u (a half turn, the most the
  // byte holds) reads 255 in u's two bytes alone, and the same fold along v in v's.
  for (int dir = 0; dir < 2; ++dir) {
    CurvedPatch bent;
    for (int i = 0; i < 16; ++i) {
      const float u = float(i % 4), v = float(i / 4);
      bent.AddControlVertex({dir == 0 ? Vector3(u * (3 - u), v, 0) : Vector3(u, v * (3 - v), 0), 0, 0});
    }
    bent.AddFace({});
    ASSERT_TRUE(bent.AddPatch(rec));
    const uint8_t* turn = bent.GetPatch(0).curvature;
    EXPECT_TRUE(turn[2 * dir] == 255 && turn[2 * dir + 1] == 255) << dir;
    EXPECT_TRUE(turn[2 - 2 * dir] == 0 && turn[3 - 2 * dir] == 0) << dir;
  }
  std::vector<uint8_t> small(399);
  testing_support::DebugCapture log;
  EXPECT_EQ(one.Write(small.data(), small.size()), 0u);
  EXPECT_EQ(log.Text(), "CurvedPatch: output buffer too small for the section\n");
  // The face table holds the 65,536 faces 16-bit indices reach; the next is refused.
  CurvedPatch full;
  for (uint32_t i = 0; i < 0x10000; ++i) ASSERT_EQ(full.AddFace({}), static_cast<int32_t>(i));
  EXPECT_EQ(full.AddFace({}), -1);
  // A neighbour that never got added would make the file unreadable: not written.
  one.GetPatchForEdit(0).neighbours[2] = 1;
  EXPECT_EQ(one.GetFileSize(), 0u);
  // Records that reach outside the data are refused when built.
  rec.Init(1, 4, 0, false);
  EXPECT_FALSE(one.AddPatch(rec));
  rec.Init(0, 4, 1, false);
  EXPECT_FALSE(one.AddPatch(rec));
}

TEST(CurvedPatchSection, TruncationFlipsAndHostileIndicesFailCleanly) {
  std::mt19937 rng(6);
  CurvedPatch cp;
  BuildSheet(cp, 3, 2, rng);
  cp.GetPatchForEdit(0).neighbours[0] = CurvedPatchRecord::kFixedLevel;
  cp.GetPatchForEdit(0).levelOffsets[0] = 2;
  cp.BuildGroups(2);
  const std::vector<uint8_t> good = WriteAll(cp);
  testing_support::DebugCapture quiet;
  for (size_t n = 0; n < good.size(); ++n) {
    CurvedPatch r;
    ASSERT_FALSE(testing_support::WithinLinearCost(n, [&] { return r.Read(good.data(), n, nullptr); })) << n;
    EXPECT_EQ(r.GetPatchCount(), 0u);
  }
  // Byte flips: whatever is accepted must be usable and write back to what was read.
  for (int trial = 0; trial < 3000; ++trial) {
    std::vector<uint8_t> bad = good;
    for (int f = 0, flips = 1 + int(rng() % 3); f < flips; ++f) bad[rng() % bad.size()] ^= uint8_t(1 + rng() % 255);
    CurvedPatch r;
    size_t used = 0;
    if (!testing_support::WithinLinearCost(bad.size(), [&] { return r.Read(bad.data(), bad.size(), &used); })) continue;
    ASSERT_LE(used, bad.size());
    CurvedPatchInstance inst;
    ASSERT_TRUE(inst.Init(&r, nullptr, CurvedPatchInstance::kDefaultTolerance, true));
    for (uint32_t p = 0; p < r.GetPatchCount(); ++p) {
      Tess t = TessellateAll(inst.GetRenderLOD(p));
      for (const Vector2& q : t.uv) r.Evaluate(p, q.x, q.y);
      inst.GetWorldBounds(p);
    }
    const std::vector<uint8_t> again = WriteAll(r);
    CurvedPatch r2;
    ASSERT_TRUE(r2.Read(again.data(), again.size(), nullptr));
    EXPECT_EQ(WriteAll(r2), again);
  }
  // Targeted corruptions. Offsets: counts at 28, control vertices at 44, patches after them.
  const size_t patches = 44 + 20 * size_t(cp.GetControlVertexCount());
  auto refused = [&](size_t at, const std::vector<uint8_t>& value) {
    std::vector<uint8_t> bad = good;
    std::copy(value.begin(), value.end(), bad.begin() + at);
    CurvedPatch r;
    return !r.Read(bad.data(), bad.size(), nullptr) && r.GetPatchCount() == 0;
  };
  const uint16_t count = uint16_t(cp.GetPatchCount());
  EXPECT_TRUE(refused(28, {0xFF, 0xFF, 0xFF, 0xFF}));                  // huge vertex count
  EXPECT_TRUE(refused(32, {0xFF, 0xFF, 0, 0}));                        // more patches than 16 bits
  EXPECT_TRUE(refused(patches + 0, {0xFF, 0xFF, 0, 0}));               // grid past the vertices
  EXPECT_TRUE(refused(patches + 10, {uint8_t(count), uint8_t(count >> 8)}));  // missing neighbour
  // An edge offset above 4 is clamped to 4 on reading; the rest of the section still loads.
  for (uint8_t offset : {5, 9, 255}) {
    std::vector<uint8_t> large = good;
    large[patches + 17] = offset;
    CurvedPatch r;
    ASSERT_TRUE(r.Read(large.data(), large.size(), nullptr)) << int(offset);
    large[patches + 17] = 4;
    EXPECT_EQ(WriteAll(r), large) << "everything else reads back as it was";
  }
  EXPECT_TRUE(refused(patches + 20, {2, 0}));                          // missing face
  const size_t groups = patches + 28 * size_t(count) + 8 * size_t(cp.GetFaceCount());
  EXPECT_TRUE(refused(groups + 28, {0xFF, 0, 0, 0}));   // group ends past the patches
  EXPECT_TRUE(refused(groups + 44, {1, 0, 0, 0}));      // entry words not whole entries
  EXPECT_TRUE(refused(groups + 44, {0xFF, 0xFF, 0xFF, 0x7F}));  // end before start
  EXPECT_TRUE(refused(groups + 52 + 24, {9, 0, 0, 0}));  // entry names a missing face
  EXPECT_TRUE(refused(groups + 52 + 32, {0x40, 0, 0, 0}));  // entry leaves its group
}
