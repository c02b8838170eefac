// The scene's own debug drawing reaching the recording back end: collision edges, sphere trees,
// rigid bodies, and the world pass's octree and light overlays, each only behind its flag.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/world/GameWorld.h"
#include "core/math/Matrix4.h"
#include "core/spatial/Octree.h"
#include "core/spatial/OctreeNode.h"
#include "core/math/ViewFrustum.h"
#include "physics/collision/CollisionFlags.h"
#include "physics/collision/SphereTreeNode.h"
#include "physics/collision/StaticCollisionPrimativeTestEdge.h"
#include "physics/collision/StaticObstacle.h"
#include "physics/rigid/RigidCollisionBody.h"
#include "physics/terrain/TerrainCollisionEdge.h"
#include "render/view/RenderDebug.h"
#include "render/view/RenderView.h"
#include "render/view/RenderWorldScene.h"
#include "scene/camera/ObserverCam.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LightList.h"
#include "scene/lighting/PointLight.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/physics/RigidTestUtil.h"
#include "tests/support/RecordingRasterizer.h"
#include "tests/support/RecordingScene.h"
#include "tests/support/SceneDrawRecorder.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentLevel.h"

namespace {

constexpr uint32_t kAll = CSceneDrawInterface::kDebugCollision | CSceneDrawInterface::kDebugOctree |
                          CSceneDrawInterface::kDebugLights;

// A camera at the origin looking along world +x into a 640 x 480 recording back end, in a begun frame.
struct Scene : testing_support::RecordingScene {
  Scene() {
    EXPECT_TRUE(Begin());
    rasterizer.Forget();
  }
};

struct Line {
  ScreenVertex a, b;
};

std::vector<Line> Lines(const RecordingRasterizer& rasterizer, uint32_t colour) {
  std::vector<Line> out;
  for (const RecordingRasterizer::Draw& d : rasterizer.draws) {
    if (!d.lines || d.indices.size() != 2 || d.vertices.size() != 2) continue;
    if (d.vertices[0].diffuse == colour) out.push_back({d.vertices[d.indices[0]], d.vertices[d.indices[1]]});
  }
  return out;
}

void ExpectSame(const std::vector<Line>& got, const std::vector<Line>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    for (const auto& [g, w] : {std::make_pair(got[i].a, want[i].a), std::make_pair(got[i].b, want[i].b)}) {
      EXPECT_NEAR(g.x, w.x, 1e-3f) << i;
      EXPECT_NEAR(g.y, w.y, 1e-3f) << i;
      EXPECT_NEAR(g.z, w.z, 1e-6f) << i;
    }
  }
}

// What the same view draws for these segments and spheres, as the reference for a caller's lines.
std::vector<Line> Reference(const std::vector<std::pair<Vector3, Vector3>>& segments,
                            const std::vector<std::pair<Vector3, float>>& spheres, uint32_t colour) {
  Scene reference;
  for (const auto& [a, b] : segments) reference.view.DrawLine3D(a, b, colour);
  for (const auto& [centre, radius] : spheres) reference.view.DrawDebugSphere(centre, radius, colour);
  return Lines(reference.rasterizer, colour);
}

TEST(RenderDebugCallers, CollisionEdgesDrawOneLineBetweenTheirPlacedEnds) {
  std::unique_ptr<ShadedMesh> mesh = DemoContent::BuildGroundGrid(3, 2.0f);
  COrientation place;
  place.SetPosition(Vector3(12.0f, -3.0f, -1.5f));
  const Matrix4 matrix = place.ToMatrix4();
  CMeshInstance instance;
  ASSERT_TRUE(instance.SetMesh(mesh.get(), false, false, false, 0, 10, &matrix, true, nullptr));
  instance.UpdateWorldMatrix();
  CTerrainEdge edge;
  ASSERT_TRUE(edge.Setup(&instance, 0, 5, 0, nullptr));
  CTestEdge test(15, 1, 1, 20, -2, 0.5f);
  // Loose geometry that blocks shadow rays and stays out of the camera's way; the one the world draws.
  EXPECT_EQ(test.GetBoundFlags(), CollisionFlags::kCandidate | CollisionFlags::kBlocks | CBoundedObject::kRenderable |
                                      CBoundedObject::kBlocksStaticShadowRays | CBoundedObject::kNoCameraPass);
  Scene scene;
  edge.Render(&scene.view);
  test.Render(&scene.view);
  // The edge is drawn even with every overlay off: it exists only to be seen.
  EXPECT_EQ(scene.rasterizer.Count("DrawLines"), 2);
  const Vector3 a = mesh->positions[0] + place.position, b = mesh->positions[5] + place.position;
  ExpectSame(Lines(scene.rasterizer, CTerrainEdge::kColour), Reference({{a, b}}, {}, CTerrainEdge::kColour));
  ExpectSame(Lines(scene.rasterizer, CTestEdge::kColour),
             Reference({{Vector3(15, 1, 1), Vector3(20, -2, 0.5f)}}, {}, CTestEdge::kColour));
  EXPECT_EQ(edge.GetDrawnFrame(), scene.view.GetFrameNumber());
}

TEST(RenderDebugCallers, SphereTreesOfObstaclesAndBodiesShowOnlyWithTheCollisionOverlay) {
  SphereTreeNode root;
  root.centre = Vector3(20, 0, 0);
  root.radius = 3.0f;
  ASSERT_TRUE(root.AllocateChildren(2));
  root.children[0].centre = Vector3(20, -1, 0);
  root.children[0].radius = 1.5f;
  root.children[1].centre = Vector3(20, 1.5f, 0.5f);
  root.children[1].radius = 1.0f;
  CStaticObstacle obstacle;
  ASSERT_TRUE(obstacle.Setup(&root, COrientation(), nullptr, nullptr));

  std::unique_ptr<RigidConst> model = rigid_test::MakeModel({{Vector3(), 1.0f, 0.5f}});
  // The model's tree: a root over its one collision sphere.
  const SphereTreeNode& sphereRoot = model->GetSphereRoot();
  ASSERT_EQ(sphereRoot.childCount, 1u);
  ASSERT_EQ(sphereRoot.children[0].childCount, 0u);
  CRigidCollisionBody body;
  body.SetModel(model.get(), rigid_test::At(Vector3(10, 2, -1)), Vector3(), Vector3());
  CTestEdge ground(0, 0, 0, 1, 0, 0);
  body.SetContact(&ground, Vector3(10, 2, -1.5f), Vector3(0, 0, 1));

  Scene off;
  off.view.SetDebugFlags(kAll & ~CSceneDrawInterface::kDebugCollision);
  obstacle.Render(&off.view);
  body.Render(&off.view);
  EXPECT_EQ(off.rasterizer.Count("DrawLines"), 0);

  Scene on;
  on.view.SetDebugFlags(CSceneDrawInterface::kDebugCollision);
  obstacle.Render(&on.view);
  body.Render(&on.view);
  // 32 lines a sphere, all in front of the eye.
  EXPECT_EQ(on.rasterizer.Count("DrawLines"), 32 * 5 + 1);
  ExpectSame(Lines(on.rasterizer, CStaticObstacle::kTreeColour), Reference({}, {{root.centre, 3.0f}}, 0xFFu));
  ExpectSame(Lines(on.rasterizer, CStaticObstacle::kLeafColour),
             Reference({}, {{Vector3(20, -1, 0), 1.5f}, {Vector3(20, 1.5f, 0.5f), 1.0f}}, 0xFFu));
  const SphereTreeNode& leaf = sphereRoot.children[0];
  ExpectSame(Lines(on.rasterizer, CRigidCollisionBody::kSphereColour),
             Reference({},
                       {{Vector3(10, 2, -1) + sphereRoot.centre, sphereRoot.radius},
                        {Vector3(10, 2, -1) + leaf.centre, leaf.radius}},
                       0xFFu));
  ExpectSame(Lines(on.rasterizer, CRigidCollisionBody::kContactColour),
             Reference({{Vector3(10, 2, -1.5f), Vector3(10, 2, -1.0f)}}, {}, 0xFFu));
  // The view's own tree drawing gives the obstacle's lines: the root in the tree colour, each leaf in its own.
  Scene own;
  DrawDebugBoundingTree(own.view, root, COrientation(), CStaticObstacle::kTreeColour, CStaticObstacle::kLeafColour,
                        true);
  for (uint32_t colour : {CStaticObstacle::kTreeColour, CStaticObstacle::kLeafColour})
    ExpectSame(Lines(own.rasterizer, colour), Lines(on.rasterizer, colour));
}

// The world pass over the demo level seen from far off, so that every overlay line is in front.
struct WorldPass {
  WorldPass() : rasterizer(640, 480), world(nullptr, nullptr) {
    view.Setup(&rasterizer, nullptr, world.GetFogState(), world.GetLightList(), 31);
    world.SetRenderView(&view);
    level = DemoContent::BuildLevelMesh();
    world.AddTerrainMesh(level.get(), nullptr, true, false);
    world.AddLight(std::make_unique<CPointLight>(1.0f, 0.0f, 0.0f, 30, 30, 4, CLight::kLightsMeshes | CLight::kBounded,
                                                 3.0f, 1.0f, 2));
    auto owned = std::make_unique<CObserverCam>();
    camera = owned.get();
    world.AddCamera(std::move(owned));
    world.SetCurrentCamera(0);
    camera->GetView().SetFar(5000.0f);
    camera->GetView().GetFrame().SetPosition(Vector3(34, -600, 500));
    camera->GetView().GetFrame().LookAtWithUp(Vector3(34, 34, 0), Vector3(0, 0, 1));
  }
  void Draw(uint32_t flags) {
    view.SetDebugFlags(flags);
    rasterizer.Forget();
    PixelBufferDesc* locked = nullptr;
    world.RenderScene(&view, &locked);
  }
  static size_t OccupiedCells(const COctreeNode& cell) {
    size_t n = cell.objects.empty() ? 0 : 1;
    for (const COctreeNode* child : cell.children) n += child ? OccupiedCells(*child) : 0;
    return n;
  }

  testing_support::DebugCapture quiet;
  RecordingRasterizer rasterizer;
  CRenderView view;
  CGameWorld world;
  std::unique_ptr<ShadedMesh> level;
  CObserverCam* camera = nullptr;
};

TEST(RenderDebugCallers, TheWorldPassDrawsOccupiedOctreeCellsAndLightsBehindTheirFlags) {
  WorldPass pass;
  pass.Draw(0);
  EXPECT_EQ(pass.rasterizer.Count("DrawLines"), 0);
  EXPECT_FALSE(pass.rasterizer.draws.empty());

  pass.Draw(CSceneDrawInterface::kDebugLights);
  // A red point light: a cross of three lines and its bounds' twelve edges; nothing else.
  EXPECT_EQ(pass.rasterizer.Count("DrawLines"), 15);
  EXPECT_EQ(Lines(pass.rasterizer, 0xFFFF0000u).size(), 15u);
  // In world space: unit arms along the axes about the light, then its bounds' edges by corners (digits).
  const Box& box = pass.world.GetLightList()->GetLight(0)->GetBounds();
  testing_support::SceneDrawRecorder drawn;
  DrawDebugLight(drawn, *pass.world.GetLightList()->GetLight(0));
  std::vector<std::pair<Vector3, Vector3>> got, want;
  for (const auto& line : drawn.lines) got.push_back({line.a, line.b});
  for (const Vector3& arm : {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)})
    want.push_back({Vector3(30, 30, 4) - arm, Vector3(30, 30, 4) + arm});
  for (int e : {1, 2, 4, 13, 15, 23, 26, 37, 45, 46, 57, 67})
    want.push_back({box.GetCorner(e / 10), box.GetCorner(e % 10)});
  EXPECT_EQ(got, want);

  pass.Draw(CSceneDrawInterface::kDebugOctree);
  const COctreeNode* root = pass.world.GetOctree().GetRoot();
  ASSERT_NE(root, nullptr);
  const size_t cells = WorldPass::OccupiedCells(*root);
  EXPECT_GT(cells, 1u);
  EXPECT_EQ(pass.rasterizer.Count("DrawLines"), 12 * static_cast<int>(cells));
  // Seen from far off, every cell edge lies whole in front of the eye.
  for (const RecordingRasterizer::Draw& d : pass.rasterizer.draws) {
    if (!d.lines) continue;
    for (const ScreenVertex& v : d.vertices) {
      EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y));
      EXPECT_GE(v.z, 0.0f);
      EXPECT_LE(v.z, 1.0f);
    }
  }
}

// Stands for a path graph: filed with the path bit only, so that the scene pass never draws it.
struct PathStandIn : CBoundedObject {
  PathStandIn() {
    SetBoundFlags(kPath);
    SetBounds(Box(Vector3(20, 20, 2), Vector3(30, 30, 4)));
  }
  void Render(CSceneDrawInterface* view) override { view->DrawLine3D(GetBounds().min, GetBounds().max, kColour); }
  static constexpr uint32_t kColour = 0xFF00FF00u;
};

TEST(RenderDebugCallers, TheWorldPassDrawsPathsAgainAndTheTerrainPolygonsBehindTheirFlags) {
  WorldPass pass;
  PathStandIn path;
  pass.world.GetOctree().InsertObject(&path);
  pass.Draw(0);
  EXPECT_EQ(pass.rasterizer.Count("DrawLines"), 0);
  pass.Draw(CSceneDrawInterface::kDebugPaths);
  EXPECT_EQ(pass.rasterizer.Count("DrawLines"), 1);
  EXPECT_EQ(Lines(pass.rasterizer, PathStandIn::kColour).size(), 1u);
  // One outline of three lines for every face of the level, in world space as the mesh holds it.
  pass.Draw(CSceneDrawInterface::kDebugTerrainPolygons);
  const CMeshInstance* terrain = pass.world.GetTerrainInstances().at(0);
  ASSERT_EQ(terrain->GetTerrainPolygonCount(), pass.level->faceCount);
  EXPECT_EQ(pass.rasterizer.Count("DrawLines"), 3 * static_cast<int>(pass.level->faceCount));
  std::vector<Line> want;
  {
    testing_support::SceneDrawRecorder drawn;
    std::vector<std::vector<Vector3>> faces;
    for (uint32_t f = 0; f < pass.level->faceCount; ++f) {
      faces.push_back({});
      for (uint32_t k = 0; k < 3; ++k) faces.back().push_back(pass.level->positions[pass.level->indices[3 * f + k]]);
    }
    DrawDebugPolygons(drawn, faces, CRenderWorldScene::kTerrainPolygonColour, true);
    pass.rasterizer.Forget();
    for (const auto& line : drawn.lines) pass.view.DrawLine3D(line.a, line.b, line.colour);
    want = Lines(pass.rasterizer, CRenderWorldScene::kTerrainPolygonColour);
  }
  pass.Draw(CSceneDrawInterface::kDebugTerrainPolygons);
  ExpectSame(Lines(pass.rasterizer, CRenderWorldScene::kTerrainPolygonColour), want);
  pass.world.GetOctree().RemoveObject(&path);
}
}  // namespace
