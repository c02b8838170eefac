// TerrainTestUtil: a bumpy grid bound to a mesh instance, with its faces in plain doubles, and the
// scans of those faces that the terrain-primitive tests check segments and swept spheres against.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

#include "core/math/GenericIntersection.h"
#include "physics/collision/BeamInfo.h"
#include "physics/terrain/TerrainPolygon.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/physics/PhysicsTestUtil.h"
#include "tests/physics/PolyTestUtil.h"
#include "tools/DemoContent.h"

namespace terrain_test {

using physics_test::Uniform;
// Plain doubles: the references must not share the engine's float rounding.
using V = poly_test::Vec;
inline V D(const Vector3& v) { return {v.x, v.y, v.z}; }

struct Tri {
  V a, b, c, n;  // n by the mesh winding, (c - a) x (b - a)
};

// Segment fraction of the nearest hit on a face seen from its front, -1 for none.
inline double SegmentTriangle(const V& s, const V& e, const Tri& t) {
  const V d = e - s, e1 = t.b - t.a, e2 = t.c - t.a, p = d.cross(e2), q = s - t.a, r = q.cross(e1);
  const double det = e1.dot(p);
  if (d.dot(t.n) >= 0.0 || std::fabs(det) < 1e-12) return -1.0;
  const double u = q.dot(p) / det, v = d.dot(r) / det, time = e2.dot(r) / det;
  return u >= 0 && v >= 0 && u + v <= 1 && time >= 0 && time <= 1 ? time : -1.0;
}

// Distance from p to the triangle: inside the face, or to the nearest edge segment.
inline double PointTriangleDistance(const V& p, const Tri& t) {
  V n = (t.b - t.a).cross(t.c - t.a);
  n = n * (1.0 / n.norm());
  const V q = p - n * n.dot(p - t.a);
  const V w = (t.a - q).cross(t.b - q), x = (t.b - q).cross(t.c - q), y = (t.c - q).cross(t.a - q);
  if (w.dot(x) >= 0 && x.dot(y) >= 0) return (p - q).norm();
  double best = DBL_MAX;
  const V ends[4] = {t.a, t.b, t.c, t.a};
  for (int i = 0; i < 3; ++i) {
    const V e = ends[i + 1] - ends[i];
    const double s = std::clamp(e.dot(p - ends[i]) / e.dot(e), 0.0, 1.0);
    best = std::min(best, (p - ends[i] - e * s).norm());
  }
  return best;
}

// How many swept spheres were compared with the scan, and how many of them hit.
struct SweepTally {
  int compared = 0, hits = 0;
};

// An n x n grid of vertices 2 units apart with random heights up to `bump`. The test binds the
// instance and gives it its place, then takes the faces where they stand.
struct BumpyGrid {
  std::unique_ptr<ShadedMesh> mesh;
  std::unique_ptr<CMeshInstance> instance = std::make_unique<CMeshInstance>();
  COrientation place;
  std::vector<Tri> tris;  // where the faces stand, face order
  float side = 1.0f;      // queries come from the side the faces look to
  float height = 0.0f;    // largest bump

  BumpyGrid(uint32_t n, float bump) : mesh(DemoContent::BuildGroundGrid(n, 2.0f)) {
    for (uint32_t i = 0; i < mesh->vertexCount; ++i) mesh->allPositions[i].z = Uniform(-bump, bump);
    mesh->ComputeAllFaceNormals();
    mesh->ComputeBounds();
  }
  void TakeFaces() {
    for (uint32_t f = 0; f < mesh->faceCount; ++f) {
      Tri t;
      V* corners[3] = {&t.a, &t.b, &t.c};
      for (int k = 0; k < 3; ++k) {
        const Vector3& p = mesh->positions[mesh->indices[3 * f + k]];
        *corners[k] = D(place.LocalToWorldPoint(p));
        height = std::max(height, std::fabs(p.z));
      }
      t.n = (t.c - t.a).cross(t.b - t.a);
      tris.push_back(t);
    }
    side = mesh->faceNormals[0].z >= 0.0f ? 1.0f : -1.0f;
  }
  // A point of the grid's frame within `extent` of its middle, at height z on the faces' side,
  // where the grid stands.
  Vector3 Over(float extent, float z) const {
    const float x = Uniform(-extent, extent), y = Uniform(-extent, extent);
    return place.LocalToWorldPoint(Vector3(x, y, side * z));
  }
  double NearestSegmentHit(const Vector3& from, const Vector3& to) const {
    double want = -1.0;
    for (const Tri& t : tris) {
      const double time = SegmentTriangle(D(from), D(to), t);
      if (time >= 0.0 && (want < 0.0 || time < want)) want = time;
    }
    return want;
  }
  // The walkers' rule: every polygon reports its own hit, the nearest is kept.
  bool NearestOverPolygons(GenericIntersection& query, float& best) const {
    best = FLT_MAX;
    for (uint32_t i = 0; i < instance->GetTerrainPolygonCount(); ++i)
      if (instance->GetTerrainPolygons()[i].Intersect(&query) && query.result.time < best) best = query.result.time;
    return best < FLT_MAX;
  }
  // Sweeps spheres of radius 0.2 to 0.8 over the polygons, within `extent` of the middle, from up
  // to `rise` above the bumps down to between -2 and `low`. The scan's answer is the first of
  // `samples` steps that comes within the radius of a face, refined by bisection; grazing sweeps,
  // where either answer is fair, are left out.
  void CompareSweptSpheres(int rounds, float extent, float rise, float low, int samples, SweepTally& tally) const {
    for (int round = 0; round < rounds; ++round) {
      const float r = Uniform(0.2f, 0.8f);
      const Vector3 from = Over(extent, height + r + Uniform(0.1f, rise));
      const Vector3 to = Over(extent, Uniform(-2.0f, low));
      auto gap = [&](double t) {
        double best = DBL_MAX;
        for (const Tri& tri : tris) best = std::min(best, PointTriangleDistance(D(from + (to - from) * t), tri));
        return best - r;
      };
      double want = -1.0, closest = DBL_MAX;
      for (int i = 1; i <= samples && want < 0.0; ++i) {
        const double g = gap(static_cast<double>(i) / samples);
        closest = std::min(closest, g);
        if (g > 0.0) continue;
        double lo = static_cast<double>(i - 1) / samples, hi = static_cast<double>(i) / samples;
        for (int k = 0; k < 40; ++k) (gap(0.5 * (lo + hi)) <= 0.0 ? hi : lo) = 0.5 * (lo + hi);
        want = hi;
      }
      if (want < 0.0 && closest < 1e-3) continue;
      BeamInfo beam(from, to, r);
      float walked = FLT_MAX;
      const bool hit = NearestOverPolygons(beam, walked);
      ++tally.compared;
      ASSERT_EQ(hit, want >= 0.0) << "round " << round;
      if (hit) EXPECT_NEAR(walked, want, 2e-3) << "round " << round;
      tally.hits += hit;
    }
  }
};

}  // namespace terrain_test
