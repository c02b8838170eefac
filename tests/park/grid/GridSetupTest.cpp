// The grid set up from a terrain built here with known heights and regions: hand-worked squares,
// the gate clearance, the region list that stops, and the "grid_data.bin" cache round trip, its
// key and its damaged forms.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/data/LittleEndian.h"
#include "park/grid/Grid.h"
#include "park/world/VerezIvor.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FileWrite.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/ParkPieces.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::DebugCapture;
using testing_support::ReadAll;
using testing_support::TempFolder;

const Vector3 kOrigin(10.0f, 20.0f, 0.0f);
using HeightFn = std::function<float(int column, int row, float x, float y)>;

using testing_support::AddRegion;
using testing_support::AddText;

// One top per grid square, fanned from an inner point that lies on no line the rays follow, so
// that no centre or flatness sample falls on an edge between triangles. Heights come from h.
std::unique_ptr<ShadedMesh> BuildTerrain(int columns, int rows, const HeightFn& h) {
  auto mesh = std::make_unique<ShadedMesh>();
  const uint32_t cells = static_cast<uint32_t>(columns * rows);
  if (!mesh->Create("terrain", 5 * cells, 4 * cells, 1, 1, 1, 1)) return nullptr;
  mesh->SetTextureName(0, nullptr, "ground.texture");
  uint32_t v = 0, f = 0;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      const float x = kOrigin.x + c, y = kOrigin.y + r;
      const float px[5] = {x + 0.3f, x, x + 1, x + 1, x};
      const float py[5] = {y + 0.6f, y, y, y + 1, y + 1};
      for (int k = 0; k < 5; ++k) mesh->allPositions[v + k] = Vector3(px[k], py[k], h(c, r, px[k], py[k]));
      for (uint32_t k = 0; k < 4; ++k, ++f) {
        // Stored clockwise seen from above: the mesh's normal rule then faces the top upwards.
        const uint32_t corners[3] = {v, v + 1 + (k + 1) % 4, v + 1 + k};
        for (uint32_t i = 0; i < 3; ++i) mesh->indices[3 * f + i] = static_cast<uint16_t>(corners[i]);
        mesh->faceRecords[f].textureSlot = 0;
      }
      v += 5;
    }
  mesh->ComputeAllFaceNormals();
  if (!mesh->ComputeNormalsAndBounds(1.0f)) return nullptr;
  mesh->ComputeVertexNormals();
  mesh->ComputeBounds();
  mesh->ResolveTextures();
  return mesh;
}

void AddOrigin(ShadedMesh& mesh, int columns, int rows) {
  AddText(mesh, kOrigin, CGrid::kAttachGridOrigin, {},
          "name = gridorigin, columns = " + std::to_string(columns) + ", rows = " + std::to_string(rows));
}

void SetKey(ShadedMesh& mesh, uint32_t first) {
  const uint32_t key[4] = {first, 2, 3, 4};
  const int i = mesh.FindAttachPoint(CGrid::kAttachCacheKey);
  if (i < 0) mesh.AddAttachPoint(COrientation(), CGrid::kAttachCacheKey, sizeof(key), key, false);
  else mesh.attachPoints[static_cast<size_t>(i)].SetData(key, sizeof(key));
}

// 12 x 8 squares at height 1: a step up to 1.5 from column 8 on and down to 0.5 in the last
// column, and from row 5 on a slope that climbs 1.5 per unit of y.
float ParkHeight(int column, int, float, float y) {
  if (y > kOrigin.y + 5.0f) return 1.0f + 1.5f * (y - kOrigin.y - 5.0f);
  return column >= 8 ? (column == 11 ? 0.5f : 1.5f) : 1.0f;
}

std::unique_ptr<ShadedMesh> BuildPark() {
  std::unique_ptr<ShadedMesh> mesh = BuildTerrain(12, 8, ParkHeight);
  if (!mesh) return nullptr;
  AddOrigin(*mesh, 12, 8);
  SetKey(*mesh, 1);
  const Box cell(Vector3(-0.2f, -0.2f, -1.0f), Vector3(0.2f, 0.2f, 1.0f));
  AddRegion(*mesh, Vector3(11.5f, 23.5f, 1.0f), cell, "region = type = entrance");  // square (1, 3)
  AddRegion(*mesh, Vector3(21.5f, 27.5f, 1.0f), cell, "region = type = exit");      // square (11, 7)
  // Columns 5-6 unbuildable, columns 6-7 grass (its box starts exactly on column 6's centres).
  AddRegion(*mesh, Vector3(15.0f, 20.0f, 0.0f), Box(Vector3(0, 0, -5), Vector3(2, 2, 5)), "region = type = no_build");
  AddRegion(*mesh, Vector3(16.5f, 20.0f, 0.0f), Box(Vector3(0, 0, -5), Vector3(1, 2, 5)), "region=type=grass");
  AddRegion(*mesh, Vector3(20.5f, 21.5f, 1.0f), cell, "region = type = no_skate // square (10, 1)");
  AddRegion(*mesh, Vector3(12.5f, 20.5f, 1.0f), cell, "region = type = sand");  // no effect
  AddRegion(*mesh, Vector3(13.5f, 20.5f, 1.0f), cell, "region = type = no_use");  // square (3, 0)
  // Not "type" in third place: the pass ends here, and the no_use region after it never applies.
  AddRegion(*mesh, Vector3(12.5f, 20.5f, 1.0f), cell, "region = kind = no_use");
  AddRegion(*mesh, Vector3(10.0f, 20.0f, 0.0f), Box(Vector3(0, 0, -9), Vector3(12, 8, 9)), "region = type = no_use");
  return mesh;
}

struct Level {
  TempFolder folder;
  DebugCapture log;
  std::unique_ptr<ShadedMesh> mesh;
  std::unique_ptr<CVerezIvor> park;
  CMeshInstance* terrain = nullptr;

  explicit Level(std::unique_ptr<ShadedMesh> built) : mesh(std::move(built)) {
    park = std::make_unique<CVerezIvor>(nullptr, nullptr);
    park->SetLevelDirectory(folder.Path());
    if (mesh) terrain = park->AddTerrainMesh(mesh.get(), nullptr, true, false);
  }
  ~Level() { park.reset(); }  // the terrain instance goes before its mesh
  std::string CachePath() const { return folder.Path() + "grid_data.bin"; }
  // A fresh level start; true when it classified rather than read the cache.
  bool Start(CGrid** grid) {
    log.Clear();
    *grid = CGrid::InitFromTerrain(*park);
    return log.Text().find("No valid grid_data file found -- re-calculating...\n") != std::string::npos;
  }
};

std::vector<uint8_t> Body(const CGrid& grid) {
  std::vector<uint8_t> body;
  grid.WriteCache(body);
  return body;
}

TEST(GridSetup, HandWorkedSquaresOfAStepASlopeAndTheEdges) {
  Level level(BuildPark());
  ASSERT_NE(level.terrain, nullptr);
  CGrid* grid = nullptr;
  ASSERT_TRUE(level.Start(&grid));
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(level.park->GetGrid(), grid);
  EXPECT_NE(level.log.Text().find("Grid Initialized: 12 by 8\n"), std::string::npos);
  EXPECT_EQ(grid->GetOrigin().x, 10.0f);
  EXPECT_EQ(grid->GetOrigin().y, 20.0f);

  // Plain ground: level, every move open.
  const CGridSquare& plain = *grid->GetSquare(4, 4);
  EXPECT_FLOAT_EQ(plain.centre.z, 1.0f);
  EXPECT_EQ(plain.centre.y, 24.5f);
  EXPECT_FLOAT_EQ(plain.GetPosition().z, 1.0f);
  EXPECT_EQ(plain.GetPosition().y, 24.0f);
  EXPECT_EQ(plain.flat, 1);
  EXPECT_EQ(plain.directionMask, 0xFF);
  // The first square has no cells behind it, which every direction's clearance needs.
  EXPECT_EQ(grid->GetSquare(0, 0)->directionMask, 0);

  // The step between columns 7 and 8: the corner on it is not flat and stands at the top.
  const CGridSquare& below = *grid->GetSquare(7, 2);
  const CGridSquare& onStep = *grid->GetSquare(8, 2);
  const CGridSquare& above = *grid->GetSquare(9, 2);
  EXPECT_EQ(below.flat, 1);
  EXPECT_EQ(onStep.flat, 0);
  EXPECT_EQ(above.flat, 1);
  EXPECT_FLOAT_EQ(onStep.centre.z, 1.5f);
  EXPECT_FLOAT_EQ(onStep.GetPosition().z, 1.5f);
  EXPECT_FLOAT_EQ(below.GetPosition().z, 1.0f);
  EXPECT_EQ(below.directionMask & 0x04, 0);  // onto the step: corners 1.0 and 1.5
  EXPECT_EQ(onStep.directionMask & 0x01, 0);  // along its edge: cells of 1.0 and 1.5 beside the walk
  EXPECT_EQ(above.directionMask & 0x01, 0x01);
  EXPECT_EQ(onStep.directionMask & 0xF0, 0);  // diagonals need every square around flat
  EXPECT_FLOAT_EQ(grid->GetSquare(11, 2)->GetPosition().z, 1.5f);  // a step down: its corner stays on top

  // The slope: a corner at its foot is still flat (samples 1.0 and 1.15), one on it is not, and
  // a corner takes the highest of the four centres around it.
  const CGridSquare& foot = *grid->GetSquare(3, 5);
  const CGridSquare& slope = *grid->GetSquare(3, 6);
  EXPECT_EQ(foot.flat, 1);
  EXPECT_EQ(slope.flat, 0);
  EXPECT_NEAR(foot.centre.z, 1.75f, 1e-4);
  EXPECT_NEAR(foot.GetPosition().z, 1.75f, 1e-4);
  EXPECT_NEAR(slope.centre.z, 3.25f, 1e-4);
  EXPECT_NEAR(grid->GetSquare(4, 7)->GetPosition().z, 4.75f, 1e-4);
  EXPECT_EQ(slope.directionMask & 0x0F, 0);  // across: uneven cells; up and down: uneven corners
}

// Off flat ground a straight move is level while the cells beside it and the corners it joins
// differ by under a hundredth. Rows rise by 0.009 up to row 3 and by 0.011 after it; each cell's
// own first corner is sunk a metre, so that no corner is flat.
TEST(GridSetup, AMoveOffFlatGroundIsLevelUnderAHundredthOfRise) {
  std::unique_ptr<ShadedMesh> mesh = BuildTerrain(4, 5, [](int c, int r, float x, float y) {
    const float z = r <= 3 ? 0.009f * r : 0.027f + 0.011f * (r - 3);
    return x == kOrigin.x + c && y == kOrigin.y + r ? z - 1.0f : z;
  });
  AddOrigin(*mesh, 4, 5);
  Level level(std::move(mesh));
  CGrid* grid = nullptr;
  ASSERT_TRUE(level.Start(&grid));
  const CGridSquare& s = *grid->GetSquare(2, 3);
  EXPECT_EQ(s.flat, 0);
  EXPECT_EQ(s.directionMask, 0x0E);  // to row 2 and along row 3 by 0.009; never to row 4
}

TEST(GridSetup, RegionsGatesAndTheClearanceAroundThem) {
  Level level(BuildPark());
  CGrid* grid = nullptr;
  ASSERT_TRUE(level.Start(&grid));
  ASSERT_NE(grid, nullptr);
  auto at = [grid](int c, int r) { return grid->GetSquare(c, r); };
  ASSERT_EQ(grid->GetEntrances(), std::vector<CGridSquare*>{at(1, 3)});
  ASSERT_EQ(grid->GetExits(), std::vector<CGridSquare*>{at(11, 7)});
  EXPECT_EQ(at(1, 3)->skateable, 1);
  EXPECT_EQ(at(1, 3)->entrance, 1);
  EXPECT_EQ(at(11, 7)->exit, 1);
  // Overlapping no_build (columns 5-6) and grass (6-7, bounds included), rows 0 and 1.
  for (int r = 0; r < 2; ++r) {
    EXPECT_EQ(at(5, r)->buildable * 10 + at(5, r)->grass, 0);
    EXPECT_EQ(at(6, r)->buildable * 10 + at(6, r)->grass, 1);
    EXPECT_EQ(at(7, r)->buildable * 10 + at(7, r)->grass, 11);
    EXPECT_EQ(at(8, r)->grass, 0);
  }
  EXPECT_EQ(at(10, 1)->skateable, 0);
  // Every square against the gate clearance by the estimate, where 3 columns away exactly (4,3)
  // is too near and 3 + a quarter (4,4) is not; and the whole count: the region after the bad one
  // did not apply.
  int unbuildable = 0, unskateable = 0;
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 12; ++c) {
      const CGridSquare& s = *at(c, r);
      const float dx = std::fabs(s.GetPosition().x - 11.0f), dy = std::fabs(s.GetPosition().y - 23.0f);
      const float dz = std::fabs(s.centre.z - 1.0f);
      const float d = std::fmax(dx, std::fmax(dy, dz));
      const float nearEntrance = d + 0.25f * (dx + dy + dz - d);
      const float ex = std::fabs(s.GetPosition().x - 21.0f), ey = std::fabs(s.GetPosition().y - 27.0f);
      const float ez = std::fabs(s.centre.z - at(11, 7)->centre.z);
      const float e = std::fmax(ex, std::fmax(ey, ez));
      const float nearExit = e + 0.25f * (ex + ey + ez - e);
      const bool closed = (c == 1 && r == 3) || (c == 11 && r == 7) || (c == 3 && r == 0);  // gates, no_use
      const bool expected = !closed && !((c == 5 || c == 6) && r < 2) && nearEntrance > 3.0f && nearExit > 3.0f;
      EXPECT_EQ(s.buildable, expected ? 1 : 0) << c << "," << r;
      unbuildable += s.buildable == 0;
      unskateable += s.skateable == 0;
    }
  EXPECT_EQ(grid->CountUnbuildable(), unbuildable);
  EXPECT_EQ(unskateable, 2);
  EXPECT_TRUE(grid->IsConnected(*at(4, 4)));  // components were computed from the entrance
}

TEST(GridSetup, CacheRoundTripsAndAChangedKeyReclassifies) {
  Level level(BuildPark());
  CGrid* grid = nullptr;
  ASSERT_TRUE(level.Start(&grid));
  const std::vector<uint8_t> classified = Body(*grid);
  const std::vector<uint8_t> file = ReadAll(level.CachePath());
  ASSERT_EQ(file.size(), 16u + 12u + 96u * 31u);
  EXPECT_EQ(le::ReadU32(file.data()), 1u);  // the key's first word
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 16, file.end()), classified);

  // The next start reads the squares back instead of casting rays.
  EXPECT_FALSE(level.Start(&grid));
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(Body(*grid), classified);
  EXPECT_EQ(grid->GetEntrances().size(), 1u);
  EXPECT_TRUE(grid->IsConnected(*grid->GetSquare(4, 4)));

  // A file of another terrain (same size, other squares) is not taken while the key differs.
  std::vector<uint8_t> foreign = file;
  foreign[16 + 12 + 31 * 40 + 25] ^= 1;  // the buildable flag of square 40
  ASSERT_TRUE(plat::ReplaceFileContents(level.CachePath().c_str(), foreign.data(), foreign.size()));
  EXPECT_FALSE(level.Start(&grid));
  EXPECT_NE(Body(*grid), classified);  // trusted: same key
  SetKey(*level.mesh, 99);
  EXPECT_TRUE(level.Start(&grid));
  EXPECT_EQ(Body(*grid), classified);
  EXPECT_EQ(le::ReadU32(ReadAll(level.CachePath()).data()), 99u);  // rewritten under the new key
}

TEST(GridSetup, EveryCutOrOddCacheFileIsReclassified) {
  // A 3 x 2 level keeps the file short enough to try every prefix of it.
  std::unique_ptr<ShadedMesh> mesh = BuildTerrain(3, 2, [](int c, int, float, float) { return 1.0f + 0.5f * c; });
  ASSERT_NE(mesh, nullptr);
  AddOrigin(*mesh, 3, 2);
  SetKey(*mesh, 7);
  Level level(std::move(mesh));
  CGrid* grid = nullptr;
  ASSERT_TRUE(level.Start(&grid));
  const std::vector<uint8_t> file = ReadAll(level.CachePath());
  const std::vector<uint8_t> classified = Body(*grid);
  ASSERT_EQ(file.size(), 16u + 12u + 6u * 31u);
  for (size_t cut = 0; cut < file.size(); ++cut) {
    ASSERT_TRUE(plat::ReplaceFileContents(level.CachePath().c_str(), file.data(), cut));
    ASSERT_TRUE(level.Start(&grid)) << cut;
    ASSERT_EQ(Body(*grid), classified) << cut;
    ASSERT_EQ(ReadAll(level.CachePath()), file) << cut;  // written whole again
  }
  // Versions 0 and 1 are read; any other is not, and a version-0 body has no grass byte.
  for (uint32_t version : {2u, 30u, 31u, 0xFFFFFFFFu}) {
    std::vector<uint8_t> odd = file;
    le::WriteU32(odd.data() + 16, version);
    ASSERT_TRUE(plat::ReplaceFileContents(level.CachePath().c_str(), odd.data(), odd.size()));
    EXPECT_TRUE(level.Start(&grid)) << version;
  }
  std::vector<uint8_t> v0(file.begin(), file.begin() + 28);
  le::WriteU32(v0.data() + 16, 0);
  for (size_t i = 0; i < 6; ++i) v0.insert(v0.end(), file.begin() + 28 + 31 * i + 1, file.begin() + 28 + 31 * (i + 1));
  ASSERT_TRUE(plat::ReplaceFileContents(level.CachePath().c_str(), v0.data(), v0.size()));
  EXPECT_FALSE(level.Start(&grid));
  EXPECT_EQ(Body(*grid), classified);  // this level has no grass, so nothing was lost

  // Without a key no cache is trusted, and none is written.
  std::unique_ptr<ShadedMesh> keyless = BuildTerrain(3, 2, [](int, int, float, float) { return 1.0f; });
  AddOrigin(*keyless, 3, 2);
  Level unkeyed(std::move(keyless));
  ASSERT_TRUE(unkeyed.Start(&grid));
  ASSERT_TRUE(unkeyed.Start(&grid));
  EXPECT_FALSE(plat::FileExists(unkeyed.CachePath().c_str()));
}

TEST(GridSetup, NoOriginMeansNoGridAndMissedRaysMeanUnusableSquares) {
  std::unique_ptr<ShadedMesh> mesh = BuildTerrain(2, 2, [](int, int, float, float) { return 1.0f; });
  // A named point of the same type that is not the origin, then an origin one column wider than
  // the ground and with more rows than a grid may have.
  AddText(*mesh, kOrigin, CGrid::kAttachGridOrigin, {}, "centre");
  Level bare(std::move(mesh));
  CGrid* grid = nullptr;
  bare.Start(&grid);
  EXPECT_EQ(grid, nullptr);
  EXPECT_EQ(bare.park->GetGrid(), nullptr);
  EXPECT_NE(bare.log.Text().find("Fatal Error: No GRID ORIGIN found in mesh.\n"), std::string::npos);

  std::unique_ptr<ShadedMesh> wide = BuildTerrain(2, 2, [](int, int, float, float) { return 1.0f; });
  AddOrigin(*wide, 3, 5000);
  SetKey(*wide, 5);
  Level level(std::move(wide));
  ASSERT_TRUE(level.Start(&grid));
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->GetSize().column, 3);
  EXPECT_EQ(grid->GetSize().row, CGrid::kMaxSide);
  const CGridSquare& off = *grid->GetSquare(2, 0);
  EXPECT_EQ(off.buildable + off.skateable + off.flat, 0);
  EXPECT_EQ(grid->GetSquare(1, 0)->skateable, 1);
  EXPECT_EQ(grid->CountUnbuildable(), grid->GetSquareCount() - 4);
}

}  // namespace
