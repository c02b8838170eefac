// Placed structures: collision from sphere markers, damage thresholds and clamping, one fire per
// ignition that burns out, events counted once per tick, and the attach intensities and the glow
// that shows them.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "combat/Fire.h"
#include "core/world/WorldAccess.h"
#include "core/data/LittleEndian.h"
#include "core/spatial/Octree.h"
#include "effects/AttachGlow.h"
#include "effects/AttachGlowRecord.h"
#include "park/pieces/StructureBody.h"
#include "park/world/VerezIvor.h"
#include "physics/collision/SphereTreeNode.h"
#include "physics/collision/StaticObstacle.h"
#include "scene/animation/AnimationRecord.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

std::unique_ptr<ShadedMesh> MeshWithSpheres(int count) {
  auto mesh = std::make_unique<ShadedMesh>();
  EXPECT_TRUE(mesh->CreateGrid(2, nullptr, 0));
  for (uint32_t v = 0; v < 4; ++v)
    mesh->allPositions[v] = Vector3(static_cast<float>(v % 2), static_cast<float>(v / 2), 0.0f);
  mesh->ComputeAllFaceNormals();
  EXPECT_TRUE(mesh->ComputeNormalsAndBounds(1.0f));
  for (int i = 0; i < count; ++i) {
    COrientation at;
    at.SetPosition(Vector3(static_cast<float>(4 * i), 0.0f, 1.0f));
    uint8_t radius[4];
    le::WriteF32(radius, 0.5f + static_cast<float>(i));
    mesh->AddAttachPoint(at, CStructureBody::kAttachSphereMarker, 4, radius, false);
  }
  return mesh;
}

struct Structures : ::testing::Test {
  Structures() : park(nullptr, nullptr) { park.Tick(0.5f); }
  CStructureBody* Add(ShadedMesh* mesh, bool collision = true) {
    auto body = std::make_unique<CStructureBody>();
    CStructureBody* raw = body.get();
    EXPECT_TRUE(raw->InitFromMeshData(COrientation(), mesh, 7, collision, false));
    flagsAfterInit = raw->GetFlags();
    raw->AddFlags(CGameObject::kNetworked);  // as the sections do, so the world gives it an id
    EXPECT_NE(park.RegisterNewObject(std::move(body)), 0u);
    return raw;
  }
  CVerezIvor park;
  uint32_t flagsAfterInit = 0;
};

TEST_F(Structures, SphereMarkersGiveOneSphereOrAFittedTree) {
  auto none = MeshWithSpheres(0);
  auto one = MeshWithSpheres(1);
  auto three = MeshWithSpheres(3);
  COctree* octree = GetWorldOctree();
  ASSERT_NE(octree, nullptr);
  const size_t before = octree->GetObjectCount();
  CStructureBody* a = Add(none.get());
  EXPECT_EQ(a->GetSphereSet(), nullptr);
  EXPECT_TRUE(a->HasPolygonCollision());
  // Filed when the world takes it: the body and one primitive per triangle of the grid.
  EXPECT_EQ(octree->GetObjectCount() - before, 3u);
  CStructureBody* b = Add(one.get());
  ASSERT_NE(b->GetSphereSet(), nullptr);
  EXPECT_EQ(b->GetSphereSet()->childCount, 0u);
  EXPECT_EQ(b->GetSphereSet()->radius, 0.5f);
  EXPECT_TRUE(octree->Contains(b->GetObstacle()));
  CStructureBody* c = Add(three.get());
  const SphereTreeNode* tree = c->GetSphereSet();
  ASSERT_NE(tree, nullptr);
  ASSERT_EQ(tree->childCount, 3u);
  // The fitted sphere holds every child sphere.
  for (uint32_t i = 0; i < 3; ++i) {
    const SphereTreeNode& child = tree->children[i];
    EXPECT_LE((child.centre - tree->centre).Length() + child.radius, tree->radius + 1e-4f);
  }
  // The bounds hold the obstacle.
  EXPECT_LE(c->GetBounds().min.x, -0.5f + 1e-5f);
  EXPECT_GE(c->GetBounds().max.x, 8.0f + 2.5f - 1e-5f);
  EXPECT_EQ(b->GetBounds().min.z, 0.0f);  // the grid mesh lies at 0, the sphere reaches 0.5
  // A still structure needs no tick, yet is still announced to every player.
  EXPECT_EQ(flagsAfterInit, CGameObject::kBroadcastCreate | CGameObject::kBit8);
  // One showing another's instance files that instance's faces, and takes them back when it goes.
  CStructureBody* d = Add(none.get(), false);
  d->BorrowMeshInstance(b->GetMeshInstance());
  d->RebuildCollision();
  EXPECT_EQ(octree->GetObjectCount() - before, 10u);  // d itself, and b's two faces filed again by d
  park.RemoveObject(d->GetID());
  EXPECT_EQ(octree->GetObjectCount() - before, 7u);
}

TEST_F(Structures, DamageThresholdsClampAndDestroyOnce) {
  auto mesh = MeshWithSpheres(1);
  CStructureBody* s = Add(mesh.get());
  s->OnImpact(Vector3(), 30000.0f);
  s->Ignite(Vector3(), 256.0f);
  EXPECT_EQ(s->damage, 0.0f);
  EXPECT_EQ(s->GetFireId(), CStructureBody::kNoFire);
  s->OnImpact(Vector3(), 30000.0f + 200000.0f);  // 20 points
  EXPECT_FLOAT_EQ(s->damage, 20.0f);
  s->ApplyDamage(Vector3(), 500.0f);  // clamped at 100, and a destroyed structure takes no more
  s->ApplyDamage(Vector3(), 5.0f);
  EXPECT_EQ(s->damage, 100.0f);
  EXPECT_EQ(s->GetAttachIntensity(5), 1.0f);
  EXPECT_EQ(s->GetAttachIntensity(1), 0.0f);
}

TEST_F(Structures, OneFirePerIgnitionBurnsOutAndIsForgotten) {
  auto mesh = MeshWithSpheres(1);
  CStructureBody* s = Add(mesh.get());
  s->Ignite(Vector3(1.0f, 2.0f, 3.0f), 356.0f);  // 100 above x 0.5 s x 0.2
  EXPECT_FLOAT_EQ(s->damage, 10.0f);
  const uint32_t fireId = s->GetFireId();
  auto* fire = dynamic_cast<CFire*>(park.GetObjectByID(fireId));
  ASSERT_NE(fire, nullptr);
  EXPECT_EQ(fire->GetHostId(), s->GetID());
  EXPECT_EQ(fire->GetDuration(), 300.0f);
  EXPECT_EQ(fire->GetPosition().z, 3.0f);
  s->Ignite(Vector3(), 356.0f);
  EXPECT_FLOAT_EQ(s->damage, 20.0f);
  EXPECT_EQ(s->GetFireId(), fireId);
  // 300 s of burning, then the fire removes itself and the structure lets go of it.
  for (int i = 0; i < 601; ++i) park.UpdateObjects(0.5f);
  EXPECT_EQ(park.GetObjectByID(fireId), nullptr);
  EXPECT_EQ(s->GetFire(), nullptr);
  EXPECT_EQ(s->GetFireId(), CStructureBody::kNoFire);
}

TEST_F(Structures, EventsCountOncePerTickAndAreaRange) {
  auto mesh = MeshWithSpheres(1);
  CStructureBody* s = Add(mesh.get());
  StructureEvent area;
  area.eventKind = StructureEvent::kAreaDamage;
  area.vector = Vector3(0.0f, 0.0f, 0.0f);
  area.magnitude = 10.0f;
  area.radius = 4.0f;
  area.falloff = 0.5f;
  StructureContact contact{Vector3(2.0f, 0.0f, 0.0f), Vector3()};  // r = 0.5, strength 7.5
  EXPECT_TRUE(s->HandleEvent(area, contact));
  EXPECT_TRUE(s->HandleEvent(area, contact));
  EXPECT_FLOAT_EQ(s->damage, 7.5f * 0.5f);
  s->Update(0.5f);
  EXPECT_TRUE(s->HandleEvent(area, contact));
  EXPECT_FLOAT_EQ(s->damage, 7.5f);
  // Out of range (r = (4 + 0.25 x 1) / 4 > 1): handled, nothing done, not remembered.
  StructureContact far{Vector3(4.0f, 1.0f, 0.0f), Vector3()};
  StructureEvent other = area;
  EXPECT_TRUE(s->HandleEvent(other, far));
  EXPECT_FLOAT_EQ(s->damage, 7.5f);
  StructureEvent unknown;
  unknown.eventKind = 10;
  EXPECT_FALSE(s->HandleEvent(unknown, contact));
  unknown.eventKind = 2;
  EXPECT_FALSE(s->HandleEvent(unknown, contact));
  // An impact is remembered for a second.
  StructureEvent impact;
  impact.eventKind = StructureEvent::kImpact;
  EXPECT_EQ(s->GetAttachIntensity(20), 0.0f);
  EXPECT_EQ(s->GetAttachIntensity(21), 1.0f);
  EXPECT_TRUE(s->HandleEvent(impact, contact));
  EXPECT_EQ(s->GetAttachIntensity(20), 1.0f);
  EXPECT_EQ(s->GetAttachIntensity(0), 1.0f);
}

// The indices past the damage, pulse and impact ones follow the triggers of the sequence the
// piece's mesh plays: ids 9 and 20 keep their own meaning even when a sequence has such triggers.
TEST_F(Structures, AnimationTriggersLightTheIndicesAfterTheDamageOnes) {
  auto mesh = MeshWithSpheres(1);
  CStructureBody* s = Add(mesh.get());
  auto record = [](uint32_t type, int32_t start, uint32_t frames, uint32_t idOrCount) {
    AnimationRecord r;
    std::memset(&r, 0, sizeof(r));
    r.dataType = type, r.startFrame = start, r.frameCount = frames, r.countOrTrigger = idOrCount;
    r.frameRate = 10.0f, r.length = static_cast<float>(frames) / 10.0f;
    return r;
  };
  using R = AnimationRecord;
  // Frames 10 to 19 at 10 fps; trigger 12 on frames 12-14, 19 on 15-16, 9, 20 and 22 throughout.
  const AnimationRecord table[] = {record(R::kHeader, 0, 0, 6),    record(R::kXForm, 10, 10, 0),
                                   record(R::kTrigger, 12, 3, 12), record(R::kTrigger, 15, 2, 19),
                                   record(R::kTrigger, 10, 10, 9), record(R::kTrigger, 10, 10, 20),
                                   record(R::kTrigger, 10, 10, 22)};
  SequencePlayer& player = s->GetMeshInstance()->GetSequencePlayer();
  EXPECT_EQ(s->GetAttachIntensity(12), 0.0f) << "nothing plays yet";
  player.Start(&table[0], 0.25f, 0.0f);                            // frame 12
  const float atFrame12[] = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1};  // indices 11 to 22
  for (int index = 11; index <= 22; ++index) EXPECT_EQ(s->GetAttachIntensity(index), atFrame12[index - 11]) << index;
  player.time = 0.55f;  // frame 15
  const float atFrame15[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 1};
  for (int index = 11; index <= 22; ++index) EXPECT_EQ(s->GetAttachIntensity(index), atFrame15[index - 11]) << index;
  EXPECT_EQ(s->GetAttachIntensity(9), 0.0f);
  EXPECT_EQ(s->GetAttachIntensity(-1), 0.0f);
}

}  // namespace

// A glow on the mesh (lit from a quarter destroyed on) keeps the structure ticking, follows its
// damage through the ticks, and goes with the structure.
TEST_F(Structures, AGlowHungOnTheMeshKeepsItTickingAndShowsItsDamage) {
  auto mesh = MeshWithSpheres(1);
  AttachGlowRecord record;
  record.intensityIndex = 8;
  record.halfSide = 1.0f;
  std::vector<uint8_t> bytes;
  record.Write(bytes);
  mesh->AddAttachPoint(COrientation(), AttachGlowRecord::kAttachType, static_cast<uint32_t>(bytes.size()), bytes.data(),
                       false);
  CStructureBody* s = Add(mesh.get());
  EXPECT_EQ(flagsAfterInit & CStructureBody::kNeedsUpdate, CStructureBody::kNeedsUpdate);
  ASSERT_EQ(s->GetAttachObjectCount(), 1u);
  const auto* glow = dynamic_cast<const CAttachGlow*>(s->GetAttachObject(0));
  ASSERT_NE(glow, nullptr);
  const float tick = 1.0f / 8.0f;  // half of full strength per tick
  s->ApplyDamage(Vector3(), 24.9f);  // just short of a quarter: still dark
  park.Simulate(tick);
  park.Simulate(tick);
  EXPECT_EQ(glow->GetStrength(), 0.0f);
  s->ApplyDamage(Vector3(), 0.1f);
  ASSERT_EQ(s->GetAttachIntensity(8), 1.0f);
  park.Simulate(tick);
  EXPECT_EQ(glow->GetStrength(), 0.5f);
  park.Simulate(tick);
  EXPECT_EQ(glow->GetStrength(), 1.0f);
  s->ApplyDamage(Vector3(), 500.0f);  // destroyed: still past a quarter
  park.Simulate(tick);
  EXPECT_EQ(glow->GetStrength(), 1.0f);
  park.RemoveObject(s->GetID());
}
