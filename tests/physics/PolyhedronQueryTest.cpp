// Tests of the polyhedron and beam-array queries: contact time over a step, the
// answers for bodies apart or already overlapping, and the earliest beam hit
// against testing every beam on its own.
#include <gtest/gtest.h>

#include <cfloat>

#include "physics/polyhedron/BeamArrayInfo.h"
#include "physics/polyhedron/PolyhedronQueryInfo.h"
#include "physics/polyhedron/VclipConvert.h"
#include "tests/physics/PolyTestUtil.h"

using namespace poly_test;

namespace {

COrientation At(const Vector3& p) {
  COrientation o;
  o.SetPosition(p);
  return o;
}

std::unique_ptr<PolyTree> UnitCube(const char* name) {
  auto tree = Leaf(name, MakeBox(VclipVector3(-0.5f, -0.5f, -0.5f), VclipVector3(0.5f, 0.5f, 0.5f)));
  tree->polyhedron();
  return tree;
}

TEST(PolyhedronQuery, ContactTimeIsWhereTheDistanceCrossesZero) {
  auto mover = UnitCube("mover");
  auto still = UnitCube("still");
  const_cast<Polyhedron*>(mover->polyhedron())->check();  // vertex normal sums become unit
  const_cast<Polyhedron*>(still->polyhedron())->check();
  for (float end : {-0.5f, -0.75f, -0.9f}) {
    // Gap 1 at the start, overlap 0.5 + end at the end: the distance crosses zero
    // once the mover has covered the gap.
    CPolyhedronInfo query(mover.get(), At(Vector3(-2.0f, 0.1f, 0.05f)), At(Vector3(end, 0.1f, 0.05f)));
    testing_support::DebugCapture debug;
    ASSERT_TRUE(query.IntersectPolyhedron(still.get(), At(Vector3(0, 0, 0))));
    EXPECT_EQ(debug.Text(), "");  // nothing printed per call
    const float travel = end + 2.0f;
    EXPECT_NEAR(query.result.time, 1.0f / travel, 1e-4f) << end;
    EXPECT_GT(query.normal.x, 0.9f);
    EXPECT_NEAR(query.normal.Dot(query.normal), 1.0f, 1e-4f);
    // The middle of the patch where the faces meet, on the still cube's -x face.
    EXPECT_NEAR(0.0f, (query.result.point - Vector3(-0.5f, 0.05f, 0.025f)).Length(), 1e-4f);
  }
}

TEST(PolyhedronQuery, CrossingEdgesMeetWhereTheyCross) {
  // A cube turned about z slides in sideways, its upright edge first, onto the edge of a cube
  // turned about y that runs along y; no corner comes near, so the walk's closest points stand.
  auto mover = UnitCube("mover");
  auto still = UnitCube("still");
  COrientation from = At(Vector3(3, -1, 0)), to = At(Vector3(0, 1, 0)), fixed;
  from.RotateZ(0.25f * float(M_PI));
  to.RotateZ(0.25f * float(M_PI));
  fixed.RotateY(0.25f * float(M_PI));
  CPolyhedronInfo query(mover.get(), from, to);
  ASSERT_TRUE(query.IntersectPolyhedron(still.get(), fixed));
  const float t = (3.0f - std::sqrt(2.0f)) / 3.0f;  // the edges are sqrt(1/2) from each centre
  EXPECT_NEAR(query.result.time, t, 1e-3f);
  EXPECT_NEAR(0.0f, (query.result.point - Vector3(std::sqrt(0.5f), 2.0f * t - 1.0f, 0)).Length(), 2e-3f);
  EXPECT_NEAR(0.0f, (query.normal - Vector3(-1, 0, 0)).Length(), 1e-3f);

  // The same edges touching at the start (a gap too small to give a direction): the
  // normal is still the one across both edges, not a turned face's, which the pieces'
  // least overlap would give.
  from = At(Vector3(std::sqrt(2.0f) + 5e-5f, 0, 0));
  to = At(Vector3(std::sqrt(2.0f) - 0.2f, 0, 0));
  from.RotateZ(0.25f * float(M_PI));
  to.RotateZ(0.25f * float(M_PI));
  CPolyhedronInfo touching(mover.get(), from, to);
  ASSERT_TRUE(touching.IntersectPolyhedron(still.get(), fixed));
  EXPECT_EQ(touching.result.time, 0.0f);
  EXPECT_NEAR(0.0f, (touching.normal - Vector3(-1, 0, 0)).Length(), 1e-3f);
}

TEST(PolyhedronQuery, ApartAtTheEndOrOverlappingAtTheStart) {
  auto mover = UnitCube("mover");
  auto still = UnitCube("still");
  {
    // Passes right through during the step but is clear at the end: no hit.
    CPolyhedronInfo query(mover.get(), At(Vector3(-3, 0, 0)), At(Vector3(3, 0, 0)));
    EXPECT_FALSE(query.IntersectPolyhedron(still.get(), At(Vector3(0, 0, 0))));
    EXPECT_EQ(query.result.time, FLT_MAX);
  }
  CPolyhedronInfo query(mover.get(), At(Vector3(0.2f, 0, 0)), At(Vector3(0.3f, 0, 0)));
  EXPECT_TRUE(query.IntersectPolyhedron(still.get(), At(Vector3(0, 0, 0))));
  EXPECT_EQ(query.result.time, 0.0f);
  EXPECT_EQ(query.normal, Vector3(-1, 0, 0));  // out of the overlap the shallow way, not through the far side
}

// A turned cube moving 3 m along its own x meets a sphere off the middle of its front face where
// the sphere first reaches the face, and passes one beside it.
TEST(PolyhedronQuery, SpheresMeetTheFacesOfTheMovingPieces) {
  auto mover = UnitCube("mover");
  COrientation start = At(Vector3(10, 20, 1)), end;
  start.RotateZ(0.5f);
  const Vector3 d = start.GetXAxis(), side = start.GetYAxis(), up(0, 0, 1);
  end = start;
  end.SetPosition(start.position + d * 3.0f);
  CPolyhedronInfo query(mover.get(), start, end);
  // Its front face at 0.5, the sphere's near side at 0.6 - 0.2 past the end: touched 0.1 short of it.
  const Vector3 centre = end.position + d * 0.6f + side * 0.35f + up * 0.3f;
  ASSERT_TRUE(query.IntersectSphere(centre, 0.2f));
  EXPECT_NEAR(2.9f / 3.0f, query.result.time, 1e-5f);
  EXPECT_NEAR(0.0f, (query.normal - d).Length(), 1e-5f);  // facing the sphere
  EXPECT_NEAR(0.0f, (query.result.point - (centre - d * 0.2f)).Length(), 1e-4f);
  query.normalFacesMover = true;
  ASSERT_TRUE(query.IntersectSphere(centre, 0.2f));
  EXPECT_NEAR(0.0f, (query.normal + d).Length(), 1e-5f);
  EXPECT_FALSE(query.IntersectSphere(end.position + d * 0.6f + side * 0.75f, 0.2f));
}

COrientation Frame(const Vector3& x, const Vector3& y, const Vector3& z) {
  COrientation o;
  o.SetXAxis(x);
  o.SetYAxis(y);
  o.SetZAxis(z);
  return o;
}

const Face* FaceNamed(const Polyhedron& p, const std::string& name) {
  for (const Face& f : p.faces()) {
    if (f.name() == name) return &f;
  }
  return nullptr;
}

TEST(PolyhedronQuery, ContactNormalOfEveryFeaturePairPointsAwayFromTheOtherBody) {
  auto a = MakeBox(VclipVector3(0, 0, 0), VclipVector3(1, 1, 1));
  auto b = MakeBox(VclipVector3(0, 0, 0), VclipVector3(1, 1, 1));
  a->check();  // vertex normal sums become unit
  b->check();
  // a turned a quarter about z, b a quarter about x, so each normal shows which pose it went through.
  const COrientation aPose = Frame(Vector3(0, 1, 0), Vector3(-1, 0, 0), Vector3(0, 0, 1));
  const COrientation bPose = Frame(Vector3(1, 0, 0), Vector3(0, 0, 1), Vector3(0, -1, 0));
  // b's edge between its +z and +x faces runs along y; a's edge along x crosses it.
  const Edge* eb = nullptr;
  for (const Edge& e : b->edges()) {
    if (e.left->plane.normal.Dot(VclipVector3(1, 0, 1)) > 0.5f && e.right->plane.normal.Dot(VclipVector3(1, 0, 1)) > 0.5f)
      eb = &e;
  }
  const Edge* ea = nullptr;
  for (const Edge& e : a->edges()) {
    if (std::fabs(e.u.x) > 0.5f) ea = &e;
  }
  ASSERT_TRUE(ea && eb);
  const Vertex* va = &a->vertices().back();  // corner (1, 1, 1)
  const Vertex* vb = &b->vertices().front();  // corner (0, 0, 0)
  const float k = 1.0f / std::sqrt(3.0f);
  const Feature* as[3] = {va, ea, FaceNamed(*a, "+x")};
  const Feature* bs[3] = {vb, eb, FaceNamed(*b, "+y")};
  // Rows: a's vertex, edge, face; columns: b's vertex, edge, face. A face of b gives its own
  // normal, a face of a its reversed normal, a vertex its normal sum, and crossing edges their
  // cross product turned towards b's faces, which face (1, -1, 0) in the world.
  const Vector3 bVertex(-k, k, -k), aVertex(-k, k, k), bFace(0, 0, 1), aFace(0, -1, 0);
  const Vector3 expected[3][3] = {{bVertex, aVertex, bFace}, {bVertex, Vector3(1, 0, 0), bFace}, {aFace, aFace, bFace}};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const Vector3 n = CPolyhedronInfo::ContactNormal(as[i], aPose, bs[j], bPose);
      EXPECT_NEAR(0.0f, (n - expected[i][j]).Length(), 1e-5f) << i << j << ": " << n.x << " " << n.y << " " << n.z;
    }
  }
  EXPECT_EQ(Vector3(0, 0, 0), CPolyhedronInfo::ContactNormal(nullptr, aPose, bs[2], bPose));
  EXPECT_EQ(Vector3(0, 0, 0), CPolyhedronInfo::ContactNormal(as[2], aPose, nullptr, bPose));
  const Edge loose;  // no faces beside it: no side to turn towards, and no direction
  EXPECT_EQ(Vector3(0, 0, 0), CPolyhedronInfo::ContactNormal(ea, aPose, &loose, bPose));
}

// Writes a scripted time per beam, counting the beams it was applied to.
class ScriptedShape : public BeamIntersectedObject {
 public:
  explicit ScriptedShape(std::vector<float> times) : times_(std::move(times)) {}
  bool Apply(BeamInfo& beam) override {
    const size_t i = static_cast<size_t>(beam.start.x);
    ++applied;
    if (times_[i] < 0.0f) return false;
    beam.result.time = times_[i];
    beam.result.point = Vector3(static_cast<float>(i), 0, 0);
    return true;
  }
  int applied = 0;

 private:
  std::vector<float> times_;
};

BeamArrayInfo ScriptedArray(size_t count) {
  BeamArrayInfo array;
  for (size_t i = 0; i < count; ++i) {
    array.beams.emplace_back(Vector3(static_cast<float>(i), 0, 0), Vector3(static_cast<float>(i), 1, 0), 0.5f);
    array.boxes.emplace_back(Vector3(static_cast<float>(i), 0, 0), Vector3(static_cast<float>(i) + 0.5f, 1, 1));
  }
  return array;
}

TEST(BeamArrayQuery, EarliestHitWinsFirstInArrayOrderAndMissedBoxesAreSkipped) {
  BeamArrayInfo array = ScriptedArray(5);
  ScriptedShape shape({0.7f, 0.4f, -1.0f, 0.4f, 0.9f});
  ASSERT_TRUE(array.TestBeams(shape, Box(Vector3(-10, -10, -10), Vector3(10, 10, 10))));
  EXPECT_FLOAT_EQ(array.result.time, 0.4f);
  EXPECT_FLOAT_EQ(array.result.point.x, 1.0f);  // beam 1 beats the tie with beam 3
  EXPECT_EQ(shape.applied, 5);

  ScriptedShape far({0.1f, 0.1f, 0.1f, 0.1f, 0.1f});
  BeamArrayInfo other = ScriptedArray(5);
  EXPECT_FALSE(other.TestBeams(far, Box(Vector3(20, 20, 20), Vector3(21, 21, 21))));
  EXPECT_EQ(far.applied, 0);
  // Bounds included: a test box touching beam 2's box from above is offered to it only.
  ScriptedShape touch({0.3f, 0.3f, 0.3f, 0.3f, 0.3f});
  EXPECT_TRUE(other.TestBeams(touch, Box(Vector3(2.5f, 1, 1), Vector3(2.9f, 2, 2))));
  EXPECT_EQ(touch.applied, 1);
  EXPECT_FLOAT_EQ(other.result.point.x, 2.0f);
  // Beams without a box of their own are never offered.
  other.boxes.resize(2);
  ScriptedShape few({0.5f, 0.6f, 0.1f, 0.1f, 0.1f});
  EXPECT_TRUE(other.TestBeams(few, Box(Vector3(-10, -10, -10), Vector3(10, 10, 10))));
  EXPECT_EQ(few.applied, 2);
  BeamArrayInfo empty;
  EXPECT_FALSE(empty.TestBeams(few, Box(Vector3(-10, -10, -10), Vector3(10, 10, 10))));
}

TEST(BeamArrayQuery, SphereHitMatchesTheEarliestSingleBeam) {
  plat::srand(12);
  for (int round = 0; round < 100; ++round) {
    BeamArrayInfo array;
    for (int i = 0; i < 6; ++i) {
      const Vector3 from = physics_test::RandomPoint(5.0f);
      const Vector3 to = from + physics_test::RandomPoint(3.0f);
      const float r = Uniform(0.1f, 1.0f);
      array.beams.emplace_back(from, to, r);
      Box box;
      box.SetFromPoints(from, to);
      box.min = box.min - Vector3(r, r, r);
      box.max = box.max + Vector3(r, r, r);
      array.boxes.push_back(box);
    }
    const Vector3 centre = physics_test::RandomPoint(3.0f);
    const float radius = Uniform(0.2f, 2.0f);
    float expected = FLT_MAX;
    for (const BeamInfo& beam : array.beams) {
      BeamInfo single(beam.start, beam.end, beam.radius);
      if (single.IntersectSphere(centre, radius)) expected = std::min(expected, single.result.time);
    }
    const bool hit = array.IntersectSphere(centre, radius);
    EXPECT_EQ(hit, expected != FLT_MAX);
    if (hit) EXPECT_FLOAT_EQ(array.result.time, expected);
  }
}

}  // namespace
