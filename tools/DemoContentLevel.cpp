#include "tools/DemoContentLevel.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "core/world/GameWorld.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "core/spatial/OctreeNode.h"
#include "park/grid/Grid.h"
#include "park/world/VerezIvor.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FileWrite.h"
#include "scene/camera/LevelCameraPaths.h"
#include "scene/lighting/LevelLights.h"
#include "scene/lighting/LightRecord.h"
#include "scene/lighting/StaticLighting.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/VertexSharingTable.h"
#include "tools/DemoContentEffects.h"
#include "tools/DemoContentLevelPaths.h"

namespace DemoContent {
namespace {

constexpr float kSmoothing = 1.0471976f;  // 60 degrees: block edges stay sharp
constexpr uint32_t kGroundSlot = 0;
constexpr uint32_t kBlockSlot = 1;

// The ground: kCells x kCells cells of kCellSize from (kOrigin, kOrigin) at height kGround.
constexpr uint32_t kCells = 16;
constexpr float kCellSize = 4.0f;
constexpr float kOrigin = 2.0f;
constexpr float kGround = 2.0f;
constexpr int kGridSide = static_cast<int>(kCells * kCellSize);  // one square per unit

struct Block {
  float x0, y0, x1, y1, height;
};
constexpr Block kBlocks[] = {
    {10, 10, 18, 22, 3.0f}, {40, 12, 52, 20, 1.5f}, {26, 40, 34, 48, 5.0f}, {46, 44, 58, 56, 2.0f}};

// Triangles collected before the mesh is created at its final size; one UV per vertex.
struct LevelBuilder {
  struct Face {
    uint32_t v[3];
    uint32_t slot;
  };
  std::vector<Vector3> positions;
  std::vector<Vector2> uvs;
  std::vector<Face> faces;

  uint32_t Vertex(const Vector3& p, float u, float v) {
    positions.push_back(p);
    uvs.emplace_back(u, v);
    return static_cast<uint32_t>(positions.size() - 1);
  }
  // Corners counter-clockwise seen from outside; the mesh's face normal rule
  // (p2 - p0) x (p1 - p0) wants them the other way round.
  void Quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t slot) {
    faces.push_back({{a, c, b}, slot});
    faces.push_back({{a, d, c}, slot});
  }

  void Ground() {
    const uint32_t n = kCells + 1;
    for (uint32_t r = 0; r < n; ++r)
      for (uint32_t c = 0; c < n; ++c)
        Vertex(Vector3(kOrigin + c * kCellSize, kOrigin + r * kCellSize, kGround), float(c), float(r));
    for (uint32_t r = 0; r < kCells; ++r) {
      for (uint32_t c = 0; c < kCells; ++c) {
        const uint32_t v = r * n + c;
        Quad(v, v + 1, v + n + 1, v + n, kGroundSlot);
      }
    }
  }

  // A block standing on the ground: top and four walls (its underside is never seen).
  void AddBlock(const Block& b) {
    uint32_t v[8];
    for (int i = 0; i < 8; ++i) {
      const Vector3 p(i & 1 ? b.x1 : b.x0, i & 2 ? b.y1 : b.y0, i & 4 ? kGround + b.height : kGround);
      v[i] = Vertex(p, i & 1 ? 1.0f : 0.0f, i & 4 ? 1.0f : 0.0f);
    }
    Quad(v[4], v[5], v[7], v[6], kBlockSlot);  // top
    Quad(v[1], v[3], v[7], v[5], kBlockSlot);  // +x
    Quad(v[0], v[4], v[6], v[2], kBlockSlot);  // -x
    Quad(v[2], v[6], v[7], v[3], kBlockSlot);  // +y
    Quad(v[0], v[1], v[5], v[4], kBlockSlot);  // -y
  }

  std::unique_ptr<ShadedMesh> Make() const {
    auto mesh = std::make_unique<ShadedMesh>();
    const uint32_t vertices = static_cast<uint32_t>(positions.size());
    const uint32_t count = static_cast<uint32_t>(faces.size());
    if (!mesh->Create("demolevel", vertices, count, 2, 2, vertices, 1)) return nullptr;
    mesh->SetTextureName(kGroundSlot, nullptr, "ground.texture");
    mesh->SetTextureName(kBlockSlot, nullptr, "block.texture");
    std::copy(positions.begin(), positions.end(), mesh->allPositions);
    std::copy(uvs.begin(), uvs.end(), mesh->uvs);
    for (uint32_t f = 0; f < count; ++f) {
      mesh->faceRecords[f].textureSlot = faces[f].slot;
      for (uint32_t k = 0; k < 3; ++k) {
        mesh->indices[3 * f + k] = static_cast<uint16_t>(faces[f].v[k]);
        mesh->faceRecords[f].corners[k].uv = faces[f].v[k];
      }
    }
    return mesh;
  }
};

// A frame at p whose X axis (a light's direction) points along dir.
COrientation Aimed(const Vector3& p, const Vector3& dir) {
  COrientation frame;
  frame.SetPosition(p);
  frame.LookAtWithUp(p + dir, Vector3(0, 0, 1));
  return frame;
}

void AddLight(ShadedMesh& mesh, const COrientation& at, const LightRecord& record) {
  uint8_t bytes[LightRecord::kSize];
  record.Write(bytes);
  mesh.AddAttachPoint(at, LightRecord::kAttachType, sizeof(bytes), bytes, false);
}

// One light of each kind. The loader takes each light's frame from its attach point, so the
// records' own frames stay identity.
void AddLevelLightPoints(ShadedMesh& mesh) {
  LightRecord sun;
  sun.type = 2;
  sun.flags = 0x1 | 0x4;  // lights meshes, casts shadows; unbounded
  sun.color = Vector3(0.7f, 0.65f, 0.55f);
  AddLight(mesh, Aimed(Vector3(34, 34, 30), Vector3(1.0f, 0.5f, -1.5f)), sun);

  LightRecord ambient;
  ambient.type = 1;
  ambient.flags = 0x1;
  ambient.color = Vector3(0.2f, 0.2f, 0.25f);
  // Relative to the attach point: the loader moves the region there.
  ambient.region = Box(Vector3(-40, -40, -10), Vector3(40, 40, 40));
  AddLight(mesh, Aimed(Vector3(34, 34, 0), Vector3(1, 0, 0)), ambient);

  LightRecord lamp;
  lamp.type = 3;
  lamp.flags = 0x1 | 0x40;  // bounded by its range
  lamp.color = Vector3(1.0f, 0.6f, 0.3f);
  lamp.range = 20.0f;
  lamp.innerRadius = 4.0f;
  AddLight(mesh, Aimed(Vector3(16, 48, 6), Vector3(1, 0, 0)), lamp);

  LightRecord spot;
  spot.type = 4;
  spot.flags = 0x1 | 0x40;
  spot.color = Vector3(0.4f, 0.6f, 1.0f);
  spot.range = 30.0f;
  spot.innerRadius = 5.0f;
  spot.outerAngle = 40.0f;
  spot.innerAngle = 25.0f;
  AddLight(mesh, Aimed(Vector3(48, 16, 14), Vector3(0.3f, 0.3f, -1.0f)), spot);
}

// Normals, bounds and the render groups; the groups need the adjacency, which a mesh this
// regular never refuses.
bool Finish(ShadedMesh& mesh) {
  mesh.ComputeAllFaceNormals();
  if (!mesh.ComputeNormalsAndBounds(kSmoothing)) return false;
  mesh.ComputeVertexNormals();
  mesh.ComputeBounds();
  mesh.ResolveTextures();
  if (!mesh.BuildEdgeAdjacency()) return false;
  auto table = std::make_unique<VertexSharingTable>();
  if (!table->Build(mesh, reinterpret_cast<const VertexSharingFace*>(mesh.faceRecords))) return false;
  mesh.sharingTable = std::move(table);
  return true;
}

bool WriteFile(const std::string& path, const void* data, size_t size) {
  if (plat::ReplaceFileContents(path.c_str(), data, size)) return true;
  DebugPrintf("DemoContent: could not write %s\n", path.c_str());
  return false;
}

std::string Number(float v) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.9g", static_cast<double>(v));  // enough digits to read back exactly
  return text;
}

std::string ColorText(const Color& c) {
  return std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ", " + std::to_string(c.a);
}

// Bakes the lighting a level load of the written mesh would compute: the terrain with its
// polygons, the level's lights, then the light maps and the static vertex lights.
bool BakeLighting(const std::string& levelDir) {
  ShadedMesh mesh;
  const std::string meshPath = levelDir + kLevelMeshFile;
  if (!mesh.Load(meshPath.c_str(), nullptr, 0, false, false, false)) {
    DebugPrintf("DemoContent: could not read back %s\n", meshPath.c_str());
    return false;
  }
  bool ok = true;
  {
    CGameWorld world(nullptr, nullptr);
    world.SetLevelDirectory(levelDir);
    CMeshInstance* terrain = world.AddTerrainMesh(&mesh, nullptr, true, true);
    std::vector<LevelLightSource> sources;
    CollectLevelLightSources(mesh, COrientation(), sources);
    AddLevelLights(world, sources, LevelWorldBox());
    ok = world.GenerateLightData(terrain, nullptr, kLevelTexelSize) && ok;
    const std::string vlights = levelDir + "vlights.bin";
    ok = StaticLighting::Save(world.GetOctree(), *world.GetLightList(), vlights.c_str()) && ok;
    world.ClearWorld();  // the terrain instance goes before the mesh it shows
  }
  return ok;
}

// The build grid: one square per unit over the whole ground, from its lower-left corner.
void AddGridPoints(ShadedMesh& mesh) {
  const std::string origin = "name = gridorigin, columns = " + std::to_string(kGridSide) + ", rows = " +
                             std::to_string(kGridSide);
  COrientation at;
  at.position = Vector3(kOrigin, kOrigin, kGround);
  mesh.AddAttachPoint(at, CGrid::kAttachGridOrigin, static_cast<uint32_t>(origin.size() + 1), origin.c_str(), false);
  for (const LevelRegion& region : LevelRegions()) {
    // The box is stored about the point; the point stands at the box's centre.
    const Vector3 centre = (region.box.min + region.box.max) * 0.5f;
    std::vector<uint8_t> data;
    for (const Vector3& v : {region.box.min - centre, region.box.max - centre})
      for (float f : {v.x, v.y, v.z}) le::PutF32(data, f);
    const std::string text = std::string("region = type = ") + region.word;
    data.insert(data.end(), text.begin(), text.end());
    data.push_back(0);
    at.position = centre;
    mesh.AddAttachPoint(at, CGrid::kAttachRegion, static_cast<uint32_t>(data.size()), data.data(), false);
  }
}

// A closed spline through the given points, its handles a third of the way to the neighbours'
// midpoints, its segment lengths measured along the curve.
std::unique_ptr<CBezierSpline> RoundSpline(int32_t id, const std::vector<Vector3>& through) {
  auto made = std::make_unique<CBezierSpline>();
  CBezierSpline& spline = *made;
  spline.SetID(id);
  spline.SetClosed(true);
  std::vector<SplineControlPoint> points(through.size());
  const size_t n = through.size();
  for (size_t i = 0; i < n; ++i) {
    const Vector3 along = (through[(i + 1) % n] - through[(i + n - 1) % n]) * (1.0f / 6.0f);
    points[i].position = through[i];
    points[i].outHandle = through[i] + along;
    points[i].inHandle = through[i] - along;
  }
  spline.SetPoints(points);
  float total = 0.0f;
  for (size_t i = 0; i < n; ++i) {
    float length = 0.0f;
    Vector3 previous = through[i];
    for (int k = 1; k <= 16; ++k) {
      Vector3 at;
      spline.EvaluateSegment(at, static_cast<int>(i), k / 16.0f);
      length += (at - previous).Length();
      previous = at;
    }
    points[i].segmentLength = length;
    total += length;
  }
  spline.SetPoints(points);
  spline.SetTotalLength(total);
  spline.RecomputeBounds();
  return made;
}

// The level's camera paths: one script camera (ID 1) that flies once round the park high up,
// looking at a point circling over the middle, skippable at any time.
void AddCameraPathPoints(ShadedMesh& mesh) {
  const float mid = kOrigin + 0.5f * kGridSide;
  // Nearly at the flight's own height, so that the flight shows the sky over the far side of the park.
  const float kLookHeight = kGround + 20.0f;
  const std::unique_ptr<CBezierSpline> around = RoundSpline(
      kDemoCameraPathSpline,
      {Vector3(kOrigin, kOrigin, 30), Vector3(kOrigin + kGridSide, kOrigin, 30),
       Vector3(kOrigin + kGridSide, kOrigin + kGridSide, 30), Vector3(kOrigin, kOrigin + kGridSide, 30)});
  const std::unique_ptr<CBezierSpline> middle = RoundSpline(
      kDemoCameraLookSpline, {Vector3(mid - 6, mid - 6, kLookHeight), Vector3(mid + 6, mid - 6, kLookHeight),
                              Vector3(mid + 6, mid + 6, kLookHeight), Vector3(mid - 6, mid + 6, kLookHeight)});
  for (const CBezierSpline* spline : {around.get(), middle.get()}) {
    std::vector<uint8_t> record(spline->GetRecordSize());
    spline->SaveToBuffer(record.data(), record.size());
    mesh.AddAttachPoint(COrientation(), kAttachSplineRecord, static_cast<uint32_t>(record.size()), record.data(),
                        false);
  }
  CameraSegment flight;
  flight.positionSplineID = kDemoCameraPathSpline;
  flight.lookSplineID = kDemoCameraLookSpline;
  flight.advanceMode = CameraSegment::kSkipAnyTime;
  flight.byArcLength = 1;
  flight.moveTime = 20.0f;
  flight.zoomDistance = 60.0f;
  std::vector<uint8_t> block(CScriptCam::kBlockHeaderSize + sizeof(CameraSegment));
  le::WriteU32(block.data(), kDemoScriptCamera);
  le::WriteU32(block.data() + 4, 1);
  std::memcpy(block.data() + CScriptCam::kBlockHeaderSize, &flight, sizeof(flight));
  COrientation start;
  start.position = around->GetPoints()[0].position;
  start.LookAtWithUp(Vector3(mid, mid, kGround), Vector3(0, 0, 1));
  mesh.AddAttachPoint(start, kAttachCameraScript, static_cast<uint32_t>(block.size()), block.data(), false);
}

// Sets the park's grid up from the written level the way a level start does, which writes
// "grid_data.bin" beside the mesh.
bool WriteGridData(const std::string& levelDir) {
  ShadedMesh mesh;
  if (!mesh.Load((levelDir + kLevelMeshFile).c_str(), nullptr, 0, false, false, false)) return false;
  bool ok = false;
  {
    CVerezIvor park(nullptr, nullptr);
    park.SetLevelDirectory(levelDir);
    park.AddTerrainMesh(&mesh, nullptr, true, false);
    ok = CGrid::InitFromTerrain(park) != nullptr && plat::FileExists((levelDir + "grid_data.bin").c_str());
    park.ClearWorld();  // the terrain instance goes before the mesh it shows
  }
  if (!ok) DebugPrintf("DemoContent: could not set up the demo level's grid\n");
  return ok;
}

}  // namespace

std::vector<LevelRegion> LevelRegions() {
  const float z0 = kGround - 1.0f, z1 = kGround + 8.0f;
  const float mid = kOrigin + 0.5f * kGridSide;
  std::vector<LevelRegion> regions = {
      {"entrance", Box(Vector3(mid - 2.0f, kOrigin + 1.0f, z0), Vector3(mid + 2.0f, kOrigin + 2.0f, z1))},
      {"exit",
       Box(Vector3(mid - 2.0f, kOrigin + kGridSide - 2.0f, z0), Vector3(mid + 2.0f, kOrigin + kGridSide - 1.0f, z1))},
      {"grass", Box(Vector3(kOrigin, kOrigin + 28.0f, z0), Vector3(kOrigin + 8.0f, kOrigin + 38.0f, z1))},
      {"no_build",
       Box(Vector3(kOrigin + kGridSide - 2.0f, kOrigin, z0), Vector3(kOrigin + kGridSide, kOrigin + kGridSide, z1))},
  };
  // Nothing is built in or on the buildings: the squares under a block, and the row and column
  // along its +x and +y sides, whose corner points take the roof's height (a piece set down there
  // would stand at roof height against the wall).
  for (const Block& b : kBlocks)
    regions.push_back({"no_build", Box(Vector3(b.x0, b.y0, z0), Vector3(b.x1 + 1.0f, b.y1 + 1.0f, z1))});
  return regions;
}

Box LevelWorldBox() { return Box(Vector3(0, 0, 0), Vector3(68, 68, 40)); }

std::unique_ptr<ShadedMesh> BuildLevelMesh() {
  LevelBuilder builder;
  builder.Ground();
  for (const Block& block : kBlocks) builder.AddBlock(block);
  std::unique_ptr<ShadedMesh> mesh = builder.Make();
  if (!mesh) return nullptr;
  AddLevelLightPoints(*mesh);
  AddGridPoints(*mesh);
  AddCameraPathPoints(*mesh);
  AddLevelPathPoints(*mesh);
  AddLevelEffectPoints(*mesh);
  // The third word counts the level's grid layouts: a cache written for another one is not taken.
  const uint32_t key[4] = {0x6C657665u, 0x64656D6Fu, 2, 0};
  mesh->AddAttachPoint(COrientation(), kAttachMeshKey, sizeof(key), key, false);
  if (!Finish(*mesh)) {
    DebugPrintf("DemoContent: the level mesh could not be finished\n");
    return nullptr;
  }
  return mesh;
}

std::vector<LevelFogBlock> LevelFogBlocks() {
  std::vector<LevelFogBlock> blocks(3);
  // Low detail: a near, dense grey fog hides the far side of the park.
  blocks[0].name = "lowfog";
  blocks[0].settings.startElevation = 4.0f;
  blocks[0].settings.endElevation = 30.0f;
  blocks[0].settings.zeroVisibilityDistance = 60.0f;
  blocks[0].settings.offsetCoefficient = 0.5f;
  blocks[0].settings.offsetCoefficientBG = 0.75f;
  blocks[0].settings.insideColor = Color::FromRGBA(150, 150, 160, 255);
  blocks[0].settings.outsideColor = Color::FromRGBA(200, 205, 215, 255);
  // Medium detail: the same band, thinner.
  blocks[1].name = "medfog";
  blocks[1].settings = blocks[0].settings;
  blocks[1].settings.zeroVisibilityDistance = 120.0f;
  blocks[1].settings.offsetCoefficient = 0.25f;
  // Full detail: a constant haze far away.
  blocks[2].name = "fog";
  blocks[2].settings.constantFog = 1;
  blocks[2].settings.zeroVisibilityDistance = 250.0f;
  blocks[2].settings.offsetCoefficient = 0.125f;
  blocks[2].settings.offsetCoefficientBG = 0.5f;
  blocks[2].settings.insideColor = Color::FromRGBA(180, 190, 210, 200);
  blocks[2].settings.outsideColor = Color::FromRGBA(180, 190, 210, 255);
  return blocks;
}

std::string LevelTerrainText() {
  std::string text = "// Demo level: fog by detail setting\n";
  for (const LevelFogBlock& block : LevelFogBlocks()) {
    const FogSettings& s = block.settings;
    text += std::string(block.name) + " = {\n";
    text += std::string("  constantFog = ") + (s.constantFog ? "true" : "false") + "\n";
    text += "  fogStartElevation = " + Number(s.startElevation) + "\n";
    text += "  fogEndElevation = " + Number(s.endElevation) + "\n";
    text += "  zeroVisibilityDistance = " + Number(s.zeroVisibilityDistance) + "\n";
    text += "  offsetCoefficient = " + Number(s.offsetCoefficient) + "\n";
    text += "  offsetCoefficientBG = " + Number(s.offsetCoefficientBG) + "\n";
    text += "  insideFogColor = " + ColorText(s.insideColor) + "\n";
    text += "  outsideFogColor = " + ColorText(s.outsideColor) + "\n";
    text += "}\n";
  }
  return text;
}

std::vector<VisibilityFileRecord> LevelVisibilityRecords() {
  // An open park: from each octant of the level every octant can be seen, and the sky.
  // The four lower octants also list their own four quarter cells next to the ground.
  std::vector<VisibilityFileRecord> records;
  for (uint32_t octant = 0; octant < 8; ++octant) {
    VisibilityFileRecord record;
    record.code = octant + 1;
    record.flags = OctreeVisibilityRecord::kSeesSky;
    for (uint32_t other = 0; other < 8; ++other) record.visible.push_back(other + 1);
    if ((octant & 1) == 0) {
      for (uint32_t child = 0; child < 8; child += 2) record.visible.push_back(8 * record.code + child + 1);
    }
    records.push_back(record);
  }
  return records;
}

bool WriteLevel(const std::string& dataFolder) {
  const std::string levelDir = dataFolder + "/" + kLevelFolder + "/";
  std::error_code error;
  std::filesystem::create_directories(levelDir, error);
  std::unique_ptr<ShadedMesh> mesh(BuildLevelMesh());
  const std::string meshPath = levelDir + kLevelMeshFile;
  if (!mesh || !mesh->Save(meshPath.c_str(), nullptr)) {
    DebugPrintf("DemoContent: could not write %s\n", meshPath.c_str());
    return false;
  }
  const std::string terrain = LevelTerrainText();
  const std::vector<uint8_t> visibility = WriteVisibilityFile(LevelVisibilityRecords());
  bool ok = WriteFile(levelDir + "terrain.ini", terrain.data(), terrain.size());
  ok = WriteFile(levelDir + "visnodes.bin", visibility.data(), visibility.size()) && ok;
  ok = BakeLighting(levelDir) && ok;
  return WriteGridData(levelDir) && ok;
}

}  // namespace DemoContent
