// Tests of convex polyhedra: face building and the Voronoi planes, the soundness
// check, and hulls through qhull checked point by point.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "physics/polyhedron/Polyhedron.h"
#include "physics/polyhedron/QhullHull.h"
#include "tests/physics/PolyTestUtil.h"
#include "tests/support/InputCost.h"

using namespace poly_test;
using physics_test::CerrCapture;

namespace {

TEST(PolyhedronFaces, BoxPlanesBoundEveryFeatureRegion) {
  auto box = MakeBox(VclipVector3(0, 0, 0), VclipVector3(1, 2, 3));
  CerrCapture err;
  EXPECT_EQ(box->check(), 0) << err.Text();  // closed (every edge has both faces), convex and V - E + F = 2
  const VclipVector3 centre(0.5f, 1.0f, 1.5f);
  for (const Face& f : box->faces()) {
    EXPECT_EQ(f.sides, 4u);
    EXPECT_LT(f.plane.Dist(centre), 0.0f) << f.name();  // outward normals
    for (const FaceConeNode& n : f.cone) {
      EXPECT_EQ(n.ccw->cw, &n);
      EXPECT_EQ(n.edge->left == &f || n.edge->right == &f, true);
      // The face's side planes face inwards: the centre of the face is inside.
      VclipVector3 faceCentre;
      for (const FaceConeNode& m : f.cone) faceCentre.Add(m.edge->tail->coords.Scaled(0.125f));
      for (const FaceConeNode& m : f.cone) faceCentre.Add(m.edge->head->coords.Scaled(0.125f));
      EXPECT_GT(n.plane.Dist(faceCentre), 0.0f);
    }
  }
  for (const Edge& e : box->edges()) {
    // The edge's midpoint is on all four planes' boundaries or inside its own region.
    const VclipVector3 mid = VclipVector3(e.tail->coords.x + e.head->coords.x, e.tail->coords.y + e.head->coords.y,
                                          e.tail->coords.z + e.head->coords.z).Scaled(0.5f);
    EXPECT_LT(e.tailPlane.Dist(mid), 0.0f);
    EXPECT_LT(e.headPlane.Dist(mid), 0.0f);
    EXPECT_NEAR(e.leftPlane.Dist(mid), 0.0f, 1e-6f);
  }
  for (const Vertex& v : box->vertices()) {
    EXPECT_EQ(v.cone.size(), 3u);
    EXPECT_NEAR(v.normalSum.Length(), 1.0f, 1e-5f);
  }
}

TEST(PolyhedronFaces, NormalUsesEveryCornerAndReverseFlipsIt) {
  Polyhedron p;
  // The first three corners are collinear: a normal from them alone would be zero.
  Vertex* a = p.addVertex("a", VclipVector3(0, 0, 0));
  Vertex* b = p.addVertex("b", VclipVector3(1, 0, 0));
  Vertex* c = p.addVertex("c", VclipVector3(2, 0, 0));
  Vertex* d = p.addVertex("d", VclipVector3(1, 1, 0));
  ASSERT_TRUE(p.addFace("up", {a, b, c, d}, false));
  EXPECT_NEAR(p.faces().back().plane.normal.z, 1.0f, 1e-6f);
  Polyhedron q;
  std::vector<Vertex*> v;
  for (const Vertex& src : p.vertices()) v.push_back(q.addVertex(src.name(), src.coords));
  ASSERT_TRUE(q.addFace("down", v, true));
  EXPECT_NEAR(q.faces().back().plane.normal.z, -1.0f, 1e-6f);
  // Reversed boundary: the edge from a runs to d, not to b, and is named by its tail and head.
  EXPECT_STREQ(q.edges().front().name(), "a:d");
}

TEST(PolyhedronFaces, DegenerateAndNonManifoldFacesAreRefused) {
  Polyhedron p;
  Vertex* a = p.addVertex("a", VclipVector3(0, 0, 0));
  Vertex* b = p.addVertex("b", VclipVector3(1, 0, 0));
  Vertex* c = p.addVertex("c", VclipVector3(2, 0, 0));
  Vertex* d = p.addVertex("d", VclipVector3(0, 1, 0));
  Vertex* e = p.addVertex("e", VclipVector3(0, 0, 1));
  CerrCapture err;
  EXPECT_FALSE(p.addFace("line", {a, b, c}, false));
  EXPECT_FALSE(p.addFace("repeat", {a, b, d, a, e}, false));  // encloses abd, but passes a twice
  EXPECT_FALSE(p.addFace("two", {a, b}, false));
  ASSERT_TRUE(p.addFace("f1", {a, b, d}, false));
  EXPECT_FALSE(p.addFace("sameWay", {a, b, e}, false));  // a->b already runs this way
  ASSERT_TRUE(p.addFace("f2", {b, a, e}, false));
  EXPECT_FALSE(p.addFace("third", {b, a, d}, true));  // a:b has both faces already
  EXPECT_EQ(p.faces().size(), 2u);
  EXPECT_NE(err.Text().find('\a'), std::string::npos);
}

TEST(PolyhedronCheck, CoplanarTrianglesReflexEdgesAndOpenSurfacesFail) {
  // A box split into two triangles per side: the six diagonals lie between coplanar faces.
  auto quads = MakeBox(VclipVector3(0, 0, 0), VclipVector3(1, 1, 1));
  Polyhedron tri;
  std::vector<Vertex*> map;
  for (const Vertex& v : quads->vertices()) map.push_back(tri.addVertex(v.name(), v.coords));
  auto index = [&](const Vertex* v) { return std::stoi(v->name() + 1); };
  for (const Face& f : quads->faces()) {
    std::vector<Vertex*> c;
    for (const FaceConeNode& n : f.cone) c.push_back(map[index(n.edge->left == &f ? n.edge->tail : n.edge->head)]);
    tri.addFace("t", {c[0], c[1], c[2]}, false);
    tri.addFace("t", {c[0], c[2], c[3]}, false);
  }
  {
    CerrCapture err;
    EXPECT_EQ(tri.check(), 1);
    size_t diagonals = 0;
    for (size_t at = err.Text().find("nonconvex edge:  "); at != std::string::npos;
         at = err.Text().find("nonconvex edge:  ", at + 1))
      ++diagonals;
    EXPECT_EQ(diagonals, 6u) << err.Text();
  }
  // A tetrahedron with one face wound the wrong way.
  Polyhedron tet;
  Vertex* a = tet.addVertex("a", VclipVector3(0, 0, 0));
  Vertex* b = tet.addVertex("b", VclipVector3(1, 0, 0));
  Vertex* c = tet.addVertex("c", VclipVector3(0, 1, 0));
  Vertex* d = tet.addVertex("d", VclipVector3(0, 0, 1));
  tet.addFace("abd", {a, b, d}, false);
  tet.addFace("bcd", {b, c, d}, false);
  tet.addFace("cad", {c, a, d}, false);
  {
    CerrCapture err;
    EXPECT_EQ(tet.check(), 1);  // open: the base is missing
    EXPECT_NE(err.Text().find("open edge"), std::string::npos);
    EXPECT_NE(err.Text().find("polyhedral Euler formula failure: nv=4 ne=6 nf=3"), std::string::npos);
  }
  Polyhedron bad;
  a = bad.addVertex("a", VclipVector3(0, 0, 0));
  b = bad.addVertex("b", VclipVector3(1, 0, 0));
  c = bad.addVertex("c", VclipVector3(0, 1, 0));
  d = bad.addVertex("d", VclipVector3(0, 0, 1));
  Vertex* e = bad.addVertex("e", VclipVector3(0.2f, 0.2f, 0.2f));  // dent: a reflex vertex
  bad.addFace("acb", {a, c, b}, false);
  bad.addFace("abe", {a, b, e}, false);
  bad.addFace("bde", {b, d, e}, false);
  bad.addFace("ade", {a, e, d}, false);
  bad.addFace("bcd", {b, c, d}, false);
  bad.addFace("cad", {c, a, d}, false);
  // Not closed the same way as a tetrahedron, but the dent must be reported.
  CerrCapture err;
  EXPECT_EQ(bad.check(), 1);
  EXPECT_NE(err.Text().find("\anonconvex edge:  "), std::string::npos);
  // A dart-shaped face names its reflex corner and the angle it turns the wrong way by, asin(0.8).
  Polyhedron dart;
  dart.addFace("dart", {dart.addVertex("a", VclipVector3(0, 0, 0)), dart.addVertex("b", VclipVector3(2, 0, 0)),
                        dart.addVertex("c", VclipVector3(2, 2, 0)), dart.addVertex("d", VclipVector3(1.5f, 0.5f, 0))},
               false);
  EXPECT_EQ(dart.check(), 1);
  EXPECT_NE(err.Text().find("\anonconvex face:  dart  vertex=d  angle=-53.1301\n"), std::string::npos) << err.Text();
}

TEST(PolyhedronHull, RandomCloudsGiveClosedConvexHullsContainingEveryPoint) {
  plat::srand(11);
  for (int round = 0; round < 40; ++round) {
    const int count = 4 + round * 5;
    Polyhedron p;
    std::vector<VclipVector3> input;
    for (int i = 0; i < count; ++i) {
      input.push_back(RandomVector(Uniform(0.5f, 5.0f)));
      p.addVertex(("p" + std::to_string(i)).c_str(), input.back());
    }
    CerrCapture err;
    ASSERT_EQ(p.buildHull(), 0) << err.Text();
    ASSERT_EQ(p.check(), 0) << err.Text();  // closed (no edge without its right face), convex and V - E + F = 2
    std::set<std::string> hullNames;
    for (const Vertex& v : p.vertices()) {
      hullNames.insert(v.name());
      EXPECT_GE(v.cone.size(), 3u);
    }
    // Every input point lies inside or on every face; every face plane passes
    // through its own corners. With the corners drawn from the input, this makes
    // the closed convex result the hull itself.
    const float scale = 1e-4f;
    for (const Face& f : p.faces()) {
      for (const VclipVector3& q : input) EXPECT_LE(f.plane.Dist(q), scale) << "round " << round;
      for (const FaceConeNode& n : f.cone) EXPECT_NEAR(f.plane.Dist(n.edge->tail->coords), 0.0f, scale);
    }
    // Points strictly inside (not on) the hull are dropped.
    for (size_t i = 0; i < input.size(); ++i) {
      float deepest = -FLT_MAX;
      for (const Face& f : p.faces()) deepest = std::max(deepest, f.plane.Dist(input[i]));
      if (deepest < -1e-3f) EXPECT_EQ(hullNames.count("p" + std::to_string(i)), 0u);
    }
  }
}

TEST(PolyhedronHull, ManyCornersCostTimeInProportionAndCloseTheSurface) {
  // 65,536 points on a sphere, all of them corners: the hull is verified once, not after every point.
  const int count = 65536;
  std::vector<double> points;
  const double turn = M_PI * (3.0 - std::sqrt(5.0));
  for (int i = 0; i < count; ++i) {
    const double z = 1.0 - 2.0 * (i + 0.5) / count, r = std::sqrt(1.0 - z * z);
    points.insert(points.end(), {r * std::cos(turn * i), r * std::sin(turn * i), z});
  }
  QhullFacetList hull;
  int result = -1;
  EXPECT_TRUE(
      testing_support::CostsNearLinear(count * 12, [&] { result = QhullConvexHull(points.data(), count, hull); }));
  ASSERT_EQ(result, 0);
  std::set<int> corners(hull.corners.begin(), hull.corners.end());
  size_t sides = 0;
  for (int n : hull.counts) sides += static_cast<size_t>(n);
  ASSERT_EQ(sides, hull.corners.size());
  EXPECT_EQ(corners.size(), static_cast<size_t>(count));
  EXPECT_EQ(*corners.begin(), 0);
  EXPECT_EQ(*corners.rbegin(), count - 1);
  // V - E + F = 2 with every edge shared by two facets.
  const long v = static_cast<long>(corners.size()), e = static_cast<long>(sides / 2);
  EXPECT_EQ(v - e + static_cast<long>(hull.counts.size()), 2);
  // A refused call leaves nothing of the last hull behind.
  EXPECT_NE(QhullConvexHull(points.data(), 0, hull), 0);
  EXPECT_TRUE(hull.corners.empty() && hull.counts.empty() && hull.normals.empty());
}

TEST(PolyhedronHull, CoplanarHullFacetsMergeIntoPolygonsAndInteriorPointsGo) {
  plat::srand(5);
  Polyhedron p;
  for (int i = 0; i < 8; ++i) {
    p.addVertex("corner", VclipVector3(i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f));
  }
  for (int i = 0; i < 50; ++i) p.addVertex("inside", RandomVector(0.9f));
  ASSERT_EQ(p.buildHull(), 0);
  EXPECT_EQ(p.vertices().size(), 8u);
  EXPECT_EQ(p.faces().size(), 6u);
  for (const Vertex& v : p.vertices()) EXPECT_STREQ(v.name(), "corner");
  EXPECT_EQ(p.check(), 0);
}

TEST(PolyhedronHull, DegenerateInputFailsCleanlyAndLeavesThePolyhedronAlone) {
  auto box = MakeBox(VclipVector3(0, 0, 0), VclipVector3(1, 1, 1));
  const std::vector<std::vector<VclipVector3>> cases = {
      {},
      {VclipVector3(0, 0, 0), VclipVector3(1, 0, 0), VclipVector3(0, 1, 0)},
      {VclipVector3(0, 0, 0), VclipVector3(1, 0, 0), VclipVector3(0, 1, 0), VclipVector3(1, 1, 0),
       VclipVector3(0.5f, 0.2f, 0)},  // flat
      {VclipVector3(0, 0, 0), VclipVector3(1, 1, 1), VclipVector3(2, 2, 2), VclipVector3(3, 3, 3),
       VclipVector3(4, 4, 4)},  // on one line
      {VclipVector3(0, 0, 0), VclipVector3(1, 0, 0), VclipVector3(0, 1, 0), VclipVector3(0, 0, 1),
       VclipVector3(NAN, 0, 0)}};
  for (const auto& points : cases) {
    Polyhedron p;
    for (const VclipVector3& q : points) p.addVertex("q", q);
    // A face made before the failing call must survive it.
    std::vector<Vertex*> corners;
    for (Vertex& v : p.vertices()) corners.push_back(&v);
    const bool hadFace = points.size() == 3 && p.addFace("keep", corners, false);
    CerrCapture err;
    EXPECT_EQ(p.buildHull(), 1);
    EXPECT_NE(err.Text().find("error building convex hull of Polyhedron \a"), std::string::npos);
    EXPECT_NE(err.Text().find("exitcode: "), std::string::npos);
    EXPECT_EQ(p.vertices().size(), points.size());
    EXPECT_EQ(p.faces().size(), hadFace ? 1u : 0u);
  }
  // Points a hair apart, where qhull finds facets that enclose no area: no face stays and every
  // vertex does, so that a caller's fallback faces meet no freed vertex.
  Polyhedron hair;
  for (const VclipVector3& q :
       {VclipVector3(0, 0, 0x1.7ep-142f), VclipVector3(0, 0, 0), VclipVector3(0x1.f8p-144f, 0, 0),
        VclipVector3(0x1.7ep-142f, 0, 0), VclipVector3(0x1.7ep-142f, 0x1p-139f, 0)})
    hair.addVertex("h", q);
  {
    CerrCapture err;
    EXPECT_EQ(hair.buildHull(), 1);
  }
  EXPECT_EQ(hair.vertices().size(), 5u);
  EXPECT_TRUE(hair.faces().empty());
  // qhull's global state is sound again afterwards.
  Polyhedron again;
  for (const Vertex& v : box->vertices()) again.addVertex(v.name(), v.coords);
  EXPECT_EQ(again.buildHull(), 0);
  EXPECT_EQ(again.check(), 0);
}

}  // namespace
