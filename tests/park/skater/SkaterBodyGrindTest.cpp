// Grinds: which edges qualify (against a brute-force search), engaging, crashing and leaving a
// grind, and a rail followed edge to edge on generated boxes.
#include <algorithm>
#include <utility>

#include "scene/patch/CurvedPatch.h"
#include "tests/park/skater/SkaterBodyFixture.h"

namespace {

using namespace skater_body_test;
using GrindEdge = CSkaterBody::GrindEdge;
using GrindTriangle = CSkaterBody::GrindTriangle;

GrindTriangle Tri(const Vector3& a, const Vector3& b, const Vector3& c, const Vector3& n) {
  GrindTriangle t;
  t.corner[0] = a;
  t.corner[1] = b;
  t.corner[2] = c;
  t.normal = n;
  return t;
}

std::vector<GrindEdge> Edges(const std::vector<GrindTriangle>& tris) {
  std::vector<GrindEdge> out;
  CSkaterBody::QualifyingEdges(tris, out);
  return out;
}

// The search as first stated: every pair, every third triangle.
std::vector<GrindEdge> BruteForceEdges(const std::vector<GrindTriangle>& tris) {
  auto near = [](const Vector3& a, const Vector3& b) { return (a - b).LengthSquared() < 0.0025f; };
  std::vector<GrindEdge> out;
  for (size_t i = 0; i < tris.size(); ++i) {
    for (size_t j = i + 1; j < tris.size(); ++j) {
      const float c = tris[i].normal.Dot(tris[j].normal);
      if (!(c < 0.1f && c >= -0.8f)) continue;
      std::vector<Vector3> shared;
      for (const Vector3& p : tris[i].corner) {
        bool any = false;
        for (const Vector3& q : tris[j].corner) any = any || near(p, q);
        if (any) shared.push_back(p);
      }
      if (shared.size() != 2) continue;
      const Vector3 d = shared[1] - shared[0];
      const float approx = d.ApproxLength();
      if (approx == 0.0f || std::fabs(d.z) / approx >= 0.707f) continue;
      bool third = false;
      for (size_t k = 0; k < tris.size() && !third; ++k) {
        if (k == i || k == j) continue;
        int n = 0;
        for (const Vector3& p : tris[k].corner) n += (near(p, shared[0]) || near(p, shared[1])) ? 1 : 0;
        third = n >= 2;
      }
      if (!third) out.push_back(GrindEdge{shared[0], shared[1]});
    }
  }
  return out;
}

const Vector3 kA(0, 0, 0), kB(1, 0, 0), kUp(0, 0, 1);
const GrindTriangle kTop = Tri(kA, kB, Vector3(0.5f, 1, 0), kUp);

TEST(SkaterBodyGrindEdges, QualificationTable) {
  // Faces at a right angle: a grind edge, reported once with its two ends.
  auto e = Edges({kTop, Tri(kA, kB, Vector3(0.5f, 0, -1), Vector3(0, -1, 0))});
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].a, kA);
  EXPECT_EQ(e[0].b, kB);
  // A flat seam and a sharp fold: none.
  EXPECT_TRUE(Edges({kTop, Tri(kA, kB, Vector3(0.5f, -1, 0), kUp)}).empty());
  EXPECT_TRUE(Edges({kTop, Tri(kA, kB, Vector3(0.5f, 1, 0.1f), Vector3(0, 0.436f, -0.9f))}).empty());
  // The angle limits: c = -0.8 qualifies, c = 0.1 does not, just under 0.1 does.
  EXPECT_EQ(Edges({kTop, Tri(kA, kB, Vector3(0.5f, -1, -1), Vector3(0, 0.6f, -0.8f))}).size(), 1u);
  EXPECT_TRUE(Edges({kTop, Tri(kA, kB, Vector3(0.5f, -1, -1), Vector3(0, 0.99499f, 0.1f))}).empty());
  EXPECT_EQ(Edges({kTop, Tri(kA, kB, Vector3(0.5f, -1, -1), Vector3(0, 0.99499f, 0.0999f))}).size(), 1u);
  // A T-junction: a third face on the same edge makes it no grind edge.
  EXPECT_TRUE(Edges({kTop, Tri(kA, kB, Vector3(0.5f, 0, -1), Vector3(0, -1, 0)),
                     Tri(kA, kB, Vector3(0.5f, 0, 1), Vector3(0, -1, 0))})
                  .empty());
  // A steep edge (rise over approximate length 0.889) is none; a gentle one (0.444) is one.
  const Vector3 steep(0, 0.5f, 1);
  EXPECT_TRUE(Edges({Tri(kA, steep, Vector3(1, 0, 0), Vector3(0, -0.894f, 0.447f)),
                     Tri(kA, steep, Vector3(-1, 0, 0), Vector3(1, 0, 0))})
                  .empty());
  const Vector3 gentle(1, 0, 0.5f);
  EXPECT_EQ(Edges({Tri(kA, gentle, Vector3(0, 1, 0), Vector3(-0.447f, 0, 0.894f)),
                   Tri(kA, gentle, Vector3(0, 0, -1), Vector3(0, -1, 0))})
                .size(),
            1u);
  // Corners coincide within 0.05 (squared 0.0025): 0.04 apart still share, 0.06 do not.
  EXPECT_EQ(Edges({kTop, Tri(kA + Vector3(0, 0.04f, 0), kB, Vector3(0.5f, 0, -1), Vector3(0, -1, 0))}).size(), 1u);
  EXPECT_TRUE(Edges({kTop, Tri(kA + Vector3(0, 0.06f, 0), kB, Vector3(0.5f, 0, -1), Vector3(0, -1, 0))}).empty());
}

TEST_F(BodyWorld, GridBoundedEdgeSearchMatchesTheBruteForceOneOnRandomSolids) {
  plat::srand(31);
  auto u = [](int n) { return static_cast<float>(plat::rand() % n) * 0.5f; };
  for (int round = 0; round < 6; ++round) {
    std::vector<DemoContent::SolidPart> parts;
    for (int k = 0; k < 6; ++k) {
      const Vector3 lo(u(10) - 2.5f, u(10) - 2.5f, u(3));
      parts.push_back({lo, lo + Vector3(0.5f + u(4), 0.5f + u(4), 0.5f + u(3)), plat::rand() % 3 == 0});
    }
    auto mesh = DemoContent::BuildSolid("solid", "solid.texture", parts);
    ASSERT_NE(mesh, nullptr);
    CMeshInstance instance;
    ASSERT_TRUE(instance.SetMesh(mesh.get(), true, false, false, 0, 10, nullptr, true, nullptr));
    std::vector<GrindTriangle> tris;
    for (uint32_t f = 0; f < mesh->faceCount; ++f) {
      GrindTriangle t;
      for (uint32_t c = 0; c < 3; ++c) t.corner[c] = instance.GetCornerWorldPosition(f, c);
      t.normal = instance.GetWorldFaceNormal(f);
      tris.push_back(t);
    }
    const std::vector<GrindEdge> want = BruteForceEdges(tris), got = Edges(tris);
    ASSERT_EQ(got.size(), want.size()) << "round " << round;
    EXPECT_GT(want.size(), 4u);
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(got[i].a, want[i].a) << round << " " << i;
      EXPECT_EQ(got[i].b, want[i].b) << round << " " << i;
    }
  }
}

// A curved patch's primitive names its patch, not a face: a solid carrying one keeps all its
// edges (a stray copy of face 0 would share its edges as a third face).
TEST_F(BodyWorld, ACurvedPatchAddsNoFaceToTheGrindSearch) {
  auto mesh = DemoContent::BuildSolid("solid", "solid.texture", {{Vector3(0, 0, 0), Vector3(2, 1, 1), false}});
  ASSERT_NE(mesh, nullptr);
  mesh->SetCurvedPatches(std::move(DemoContent::BuildPatchMound("mound", "m.texture", 2.0f, 0.5f)->patches));
  std::vector<GrindTriangle> tris;
  for (uint32_t f = 0; f < mesh->faceCount; ++f) {
    const uint16_t* v = mesh->indices + 3 * f;
    tris.push_back(Tri(mesh->allPositions[v[0]], mesh->allPositions[v[1]], mesh->allPositions[v[2]],
                       mesh->allFaceNormals[f]));
  }
  AddMesh(std::move(mesh));
  ASSERT_EQ(instances.back()->GetTerrainPatchCount(), 1u);
  CSkater* s = AddSkater(Vector3(1.0f, 0.5f, 1.0f));
  std::vector<GrindEdge> found;
  Body(*s).FindGrindEdges(Vector3(1.0f, 0.5f, 1.0f), 3.0f, found);
  EXPECT_EQ(found.size(), BruteForceEdges(tris).size());
  EXPECT_GT(found.size(), 3u);
}

// A player skater standing on top of a rail whose top lies at z = 1.
struct GrindWorld : BodyWorld {
  CSkater* MakePlayer(const Vector3& foot) {
    CSkater* s = AddPlayer(foot);
    s->SetSoundRank(0);  // the one nearest the camera: its trick sounds are heard
    s->body.timeWithoutContact = 0.0f;
    return s;
  }
};

TEST_F(GrindWorld, EngagingNeedsMoreThanThreeAndOnlyWithTheKeyHeld) {
  AddSolid({{Vector3(-2, -0.25f, 0), Vector3(2, 0.25f, 1)}});
  CSkater* s = MakePlayer(Vector3(-1.0f, 0.0f, 1.0f));
  CSkaterBody& b = Body(*s);
  s->SetVelocity(Vector3(3.01f, 0, 0));
  b.PlayerGrindStep(kDt);
  EXPECT_FALSE(b.IsGrinding());  // no key
  Press(*s, CSkaterBody::kActionGrind);
  s->SetVelocity(Vector3(3.0f, 0, 0));
  b.PlayerGrindStep(kDt);
  EXPECT_FALSE(b.IsGrinding());  // exactly 3.0 is not fast enough
  s->SetVelocity(Vector3(3.01f, 0, 0));
  b.PlayerGrindStep(kDt);
  ASSERT_TRUE(b.IsGrinding());
  EXPECT_NE(capture.Text().find("Engaging Grind Path!\n"), std::string::npos);
  // The path starts at the edge point nearest the skater and runs to the end ahead.
  ASSERT_EQ(b.GetGrindPoints().size(), 2u);
  EXPECT_NEAR(b.GetGrindPoints()[0].x, -1.0f, 1e-5);
  EXPECT_NEAR(std::fabs(b.GetGrindPoints()[0].y), 0.25f, 1e-5);
  EXPECT_NEAR(b.GetGrindPoints()[1].x, 2.0f, 1e-5);
  EXPECT_EQ(s->route.index, 0);
  EXPECT_EQ(s->GetCentre(), b.GetGrindPoints()[0] + Vector3(0, 0, 0.45f));
  EXPECT_EQ(Anim(*s).current, 40);
  EXPECT_EQ(Anim(*s).CountSound(CSkaterAnimation::Sound::kSlide), 1);
}

TEST_F(GrindWorld, OfTwoEdgesInReachTheBestScoredIsTakenTowardItsEndAhead) {
  // Beside the corner of a wide box only its two top edges from the corner lie in reach.
  AddSolid({{Vector3(0, 0, 0), Vector3(4, 4, 1)}});
  const Vector3 corner(0, 0, 1);
  const Vector3 far[2] = {Vector3(4, 0, 1), Vector3(0, 4, 1)};
  // Each case heads for another end: the x edge's far end, the y edge's, then each edge's corner;
  // in the last two the corner that would score best lies behind the skater.
  const struct {
    Vector3 foot, velocity;
  } cases[] = {{Vector3(-0.2f, -0.2f, 1), Vector3(4, 1.2f, 0)},
               {Vector3(-0.2f, -0.2f, 1), Vector3(1.2f, 4, 0)},
               {Vector3(0.3f, -0.2f, 1), Vector3(-4, 0.8f, 0)},
               {Vector3(-0.2f, 0.3f, 1), Vector3(0.8f, -4, 0)},
               {Vector3(-0.3f, 0.3f, 1), Vector3(-4, 0.8f, 0)},
               {Vector3(0.3f, -0.3f, 1), Vector3(0.8f, -4, 0)}};
  for (const auto& c : cases) {
    CSkater* s = MakePlayer(c.foot);
    CSkaterBody& b = Body(*s);
    std::vector<GrindEdge> inReach;
    b.FindGrindEdges(c.foot, 0.45f * 1.3f, inReach);
    ASSERT_EQ(inReach.size(), 2u);
    // Brute force: heading for end e of an edge scores the angle between (other end - e) and the
    // travel, for every end ahead of the skater.
    const Vector3 centre = s->GetCentre();
    double best = -1.0, second = -1.0;
    Vector3 end, other;
    for (const Vector3& f : far) {
      for (const auto& [e, o] : {std::pair(corner, f), std::pair(f, corner)}) {
        if ((e - centre).Dot(c.velocity) <= 0.0f) continue;
        const Vector3 u = o - e;
        const double score = std::acos(u.Dot(c.velocity) / (u.Length() * c.velocity.Length()));
        second = std::max(second, std::min(best, score));
        if (score > best) {
          best = score;
          end = e;
          other = o;
        }
      }
    }
    ASSERT_GT(best - second, 0.1);  // no near tie
    Press(*s, CSkaterBody::kActionGrind);
    s->SetVelocity(c.velocity);
    b.PlayerGrindStep(kDt);
    ASSERT_TRUE(b.IsGrinding());
    ASSERT_EQ(b.GetGrindPoints().size(), 2u);
    EXPECT_EQ(b.GetGrindPoints()[1], end) << c.velocity.x;
    // The path starts at the point of that edge nearest the skater.
    const Vector3 along = end - other;
    const float t = std::clamp((centre - other).Dot(along) / along.LengthSquared(), 0.0f, 1.0f);
    const Vector3 nearest = other + along * t;
    EXPECT_NEAR((b.GetGrindPoints()[0] - nearest).Length(), 0.0f, 1e-5f) << c.velocity.x;
  }
}

TEST_F(GrindWorld, SlowingBelowTheMinimumOnAGrindCrashes) {
  AddSolid({{Vector3(-2, -0.25f, 0), Vector3(2, 0.25f, 1)}});
  CSkater* s = MakePlayer(Vector3(-1.0f, 0.0f, 1.0f));
  CSkaterBody& b = Body(*s);
  Press(*s, CSkaterBody::kActionGrind);
  s->SetVelocity(Vector3(4.0f, 0, 0));
  b.PlayerGrindStep(kDt);
  ASSERT_TRUE(b.IsGrinding());
  s->SetVelocity(Vector3(1.0f, 0, 0));
  b.PlayerGrindStep(kDt);
  EXPECT_TRUE(b.IsGrinding());  // 1.0 is still enough
  s->SetVelocity(Vector3(0.99f, 0, 0));
  b.PlayerGrindStep(kDt);
  EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kCrashed));
  EXPECT_EQ(s->mind.state, static_cast<uint32_t>(CSkater::kDeciding));  // the player's skater keeps its state
  // Lying still, the player's skater is back on its board after two seconds.
  Anim(*s).length = 0.0f;
  s->SetVelocity(Vector3(0, 0, 0));
  int ticks = 0;
  while (s->body.motionMode == CSkater::kCrashed && ticks < 200) {
    s->SetVelocity(Vector3(0, 0, 0));
    b.PlayerGrindStep(kDt);
    ++ticks;
  }
  EXPECT_NEAR(ticks * kDt, 2.0f, 1.5f * kDt);
  EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kRolling));
}

TEST_F(GrindWorld, LeavingAGrindHopsTwoUpWithTheExitSound) {
  AddSolid({{Vector3(-2, -0.25f, 0), Vector3(2, 0.25f, 1)}});
  for (int anim : {40, 48}) {
    CSkater* s = MakePlayer(Vector3(-1.0f, 0.0f, 1.0f));
    CSkaterBody& b = Body(*s);
    Press(*s, CSkaterBody::kActionGrind);
    s->SetVelocity(Vector3(4.0f, 0, 0));
    b.PlayerGrindStep(kDt);
    ASSERT_TRUE(b.IsGrinding());
    s->body.animIndex = anim;
    s->SetVelocity(Vector3(4.0f, 0, -0.3f));
    Press(*s, -CSkaterBody::kActionGrind);  // letting go of the key ends the grind at once
    EXPECT_FALSE(b.IsGrinding());
    EXPECT_NEAR(s->GetVelocity().z, 1.7f, 1e-5);
    EXPECT_EQ(s->route.index, -1);
    EXPECT_EQ(s->route.mode, 0u);
    EXPECT_TRUE(b.GetGrindPoints().empty());
    EXPECT_EQ(s->body.animIndex, CSkaterAnimation::kOllie);
    EXPECT_EQ(Anim(*s).current, CSkaterAnimation::kOllie);
    EXPECT_FALSE(b.HasGroundContact());
    const auto exit = anim > 46 ? CSkaterAnimation::Sound::kExitGrind : CSkaterAnimation::Sound::kExitSlide;
    EXPECT_EQ(Anim(*s).CountSound(exit), 1) << anim;
    EXPECT_EQ(Anim(*s).sounds.size(), 2u);  // the start sound and the exit sound
  }
}

TEST_F(GrindWorld, ARailOfTwoBoxesIsFollowedEdgeToEdgeAndLeftAtItsEnd) {
  AddPlane();
  AddSolid({{Vector3(-2, -0.25f, 0), Vector3(0, 0.25f, 1)}, {Vector3(0, -0.25f, 0), Vector3(2, 0.25f, 1)}});
  CSkater* s = MakePlayer(Vector3(-1.5f, 0.0f, 1.0f));
  CSkaterBody& b = Body(*s);
  Press(*s, CSkaterBody::kActionGrind);
  s->SetVelocity(Vector3(4.0f, 0, 0));
  size_t most = 0;
  float exitX = 0.0f;
  bool exited = false;
  for (int tick = 0; tick < 120 && !exited; ++tick) {
    const bool wasGrinding = b.IsGrinding();
    s->GetMotion().PlayerStep(kDt);
    most = std::max(most, b.GetGrindPoints().size());
    if (most == 3 && b.GetGrindPoints().size() == 3) {
      EXPECT_NEAR(b.GetGrindPoints()[1].x, 0.0f, 1e-5);
      EXPECT_NEAR(b.GetGrindPoints()[2].x, 2.0f, 1e-5);
    }
    if (wasGrinding && !b.IsGrinding()) {
      exited = true;
      exitX = s->GetCentre().x;
    }
    EXPECT_NE(s->body.motionMode, static_cast<uint32_t>(CSkater::kCrashed)) << tick;
  }
  EXPECT_EQ(most, 3u);  // the second box's edge was appended once
  ASSERT_TRUE(exited);
  EXPECT_NEAR(exitX, 2.0f, 0.2f);
  EXPECT_NE(capture.Text().find("Appending Grind Path!\n"), std::string::npos);
}

TEST_F(GrindWorld, ASquareCornerIsTooSharpToTurnAndTheGrindEndsThere) {
  // The grind runs along a long side; at its end the short side turns off at a right angle.
  AddSolid({{Vector3(-1, -0.25f, 0), Vector3(1, 0.25f, 1)}});
  CSkater* s = MakePlayer(Vector3(-0.5f, 0.0f, 1.0f));
  CSkaterBody& b = Body(*s);
  Press(*s, CSkaterBody::kActionGrind);
  s->SetVelocity(Vector3(4.0f, 0, 0));
  bool exited = false;
  for (int tick = 0; tick < 80 && !exited; ++tick) {
    const bool wasGrinding = b.IsGrinding();
    s->GetMotion().PlayerStep(kDt);
    EXPECT_LE(b.GetGrindPoints().size(), 2u);
    EXPECT_TRUE(b.IsGrinding() || wasGrinding) << tick;
    exited = wasGrinding && !b.IsGrinding();
    if (exited) EXPECT_NEAR(s->GetCentre().x, 1.0f, 0.2f);
  }
  EXPECT_TRUE(exited);
  EXPECT_EQ(capture.Text().find("Appending Grind Path!\n"), std::string::npos);
}

TEST_F(GrindWorld, KeysTypedInTheAirPickTheGrindAndItsSound) {
  AddSolid({{Vector3(-2, -0.25f, 0), Vector3(2, 0.25f, 1)}});
  CSkater* s = MakePlayer(Vector3(-1.0f, 0.0f, 1.1f));
  s->body.timeWithoutContact = 10.0f;  // dropping onto the rail
  Press(*s, 63);
  Press(*s, CSkaterBody::kActionGrind);  // "D2": the 50-50 grind
  s->SetVelocity(Vector3(4.0f, 0, -1.0f));
  Body(*s).PlayerGrindStep(kDt);
  ASSERT_TRUE(Body(*s).IsGrinding());
  EXPECT_EQ(s->body.currentTrick, 48u);
  EXPECT_EQ(Anim(*s).current, 48);
  EXPECT_EQ(Anim(*s).CountSound(CSkaterAnimation::Sound::kGrind), 1);
  EXPECT_TRUE(Body(*s).GetPressedKeys().empty());
}

}  // namespace
