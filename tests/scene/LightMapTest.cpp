// Light maps: page naming and packing, generation then load round trips, hostile "lights.bin"
// images, and the face matching against a plain scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "core/world/GameWorld.h"
#include "core/input/SkateSettings.h"
#include "core/math/MathUtil.h"
#include "core/math/Triangle.h"
#include "render/image/Texture.h"
#include "scene/lighting/LightMapData.h"
#include "scene/lighting/LightMapPageFile.h"
#include "scene/lighting/LightMapper.h"
#include "scene/lighting/PointLight.h"
#include "scene/mesh/NormalTable.h"
#include "tests/scene/LightMapTestScene.h"
#include "tests/support/InputCost.h"
#include "tests/support/TempFolder.h"

using baked_test::LitScene;
using testing_support::DebugCapture;
using testing_support::ReadAll;
using testing_support::TempFolder;

namespace {

bool Overlap(const LightMapPage::Rect& a, const LightMapPage::Rect& b) {
  return a.x1 <= b.x2 && b.x1 <= a.x2 && a.y1 <= b.y2 && b.y1 <= a.y2;
}

const FaceLightRecord* RecordOf(CMeshInstance* instance, uint32_t face) {
  return static_cast<const FaceLightRecord*>(instance->GetFaceColours()[face].lightRecord);
}

// A one-face map's size from the rectangle it was packed into.
LightMapPage::Rect MapOfTriangle(const Vector3& a, const Vector3& b, const Vector3& c, float texel,
                                 const LightMapPage** pageOut = nullptr) {
  LitScene scene;
  ShadedMesh* mesh = scene.Keep(DemoContent::BuildGroundGrid(2, 1.0f));
  const Vector3 corners[3] = {a, b, c};
  for (uint32_t k = 0; k < 3; ++k) mesh->positions[mesh->indices[k]] = corners[k];
  CMeshInstance* instance = scene.Place(mesh, Vector3(), false);
  instance->SetLightMapData(std::unique_ptr<LightMapData>(new LightMapData()));
  FaceLightRecord record;
  const LightMapPage* page = LightMapper::GenerateFaceMap(instance, scene.lights, 0, texel, 0.5f, 3, record);
  if (pageOut != nullptr) *pageOut = page;
  return page == nullptr ? LightMapPage::Rect{0, 0, -1, -1} : page->rects.back();
}

std::vector<uint8_t> RecordBytes(const float corners[9], float tag, int32_t page) {
  std::vector<uint8_t> r(80, 0);
  std::memcpy(&r[0], &tag, 4);
  const uint32_t colour = 0xFF102030u;
  for (int k = 0; k < 3; ++k) std::memcpy(&r[24 + 4 * k], &colour, 4);
  std::memcpy(&r[36], &page, 4);
  std::memcpy(&r[40], corners, 36);
  return r;
}

std::vector<uint8_t> FileOf(const std::vector<std::vector<uint8_t>>& records, uint32_t pages) {
  std::vector<uint8_t> file(12);
  const float version = 3.0f;
  const uint32_t count = static_cast<uint32_t>(records.size());
  std::memcpy(&file[0], &version, 4);
  std::memcpy(&file[4], &count, 4);
  std::memcpy(&file[8], &pages, 4);
  for (const auto& r : records) file.insert(file.end(), r.begin(), r.end());
  return file;
}

// The nearest point to s on the edges of the triangle c.
Vector3 NearestOnEdges(const Vector3 c[3], const Vector3& s) {
  Vector3 nearest, q;
  float best = INFINITY;
  for (int k = 0; k < 3; ++k) {
    ClosestPointOnSegment(q, c[k], c[(k + 1) % 3], s);
    if ((q - s).LengthSquared() < best) {
      best = (q - s).LengthSquared();
      nearest = q;
    }
  }
  return nearest;
}

void FaceCorners(const ShadedMesh& mesh, uint32_t face, float out[9]) {
  for (uint32_t k = 0; k < 3; ++k) std::memcpy(&out[3 * k], &mesh.positions[mesh.indices[3 * face + k]], 12);
}

}  // namespace

TEST(LightMap, GenerationWritesPagesWhereTheLevelLoadLooks) {
  EXPECT_EQ(LightMapper::PagePath(LightMapper::FolderOf("lv/lights.bin"), 3), LightMapper::PagePath("lv/", 3));
  EXPECT_EQ(LightMapper::FolderOf("lights.bin"), ".");
}

TEST(LightMap, PackingKeepsMapsApartOnTheirPagesWithTheirPixels) {
  std::mt19937 random(11);
  LightMapper::PageList pages;
  struct Placed {
    const LightMapPage* page;
    float uv[3][2];
    int w, h;
    uint32_t fill;
  };
  std::vector<Placed> placed;
  for (int i = 0; i < 300; ++i) {
    Placed p;
    p.w = 3 + static_cast<int>(random() % (i % 50 == 0 ? 254 : 40));
    p.h = 3 + static_cast<int>(random() % 40);
    p.fill = 0xFF000000u | static_cast<uint32_t>(i);
    const float local[3][2] = {{0.5f, 0.5f}, {p.w - 0.5f, 0.5f}, {1.0f, p.h - 0.5f}};
    std::memcpy(p.uv, local, sizeof(local));
    std::vector<uint32_t> pixels(static_cast<size_t>(p.w) * p.h);
    for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = p.fill ^ (static_cast<uint32_t>(k) << 12);
    p.page = LightMapper::AddToPages(pages, p.uv, p.w, p.h, pixels.data());
    ASSERT_NE(p.page, nullptr);
    placed.push_back(p);
  }
  for (const auto& page : pages) {
    for (size_t a = 0; a < page->rects.size(); ++a) {
      const LightMapPage::Rect& r = page->rects[a];
      EXPECT_TRUE(r.x1 >= 0 && r.y1 >= 0 && r.x2 < 256 && r.y2 < 256);
      for (size_t b = 0; b < a; ++b) EXPECT_FALSE(Overlap(r, page->rects[b]));
    }
  }
  // Each map's corner 0 sits half a texel into its rectangle, and its pixels survive the copy.
  for (const Placed& p : placed) {
    const int x = static_cast<int>(p.uv[0][0] * 256.0f - 0.5f);
    const int y = static_cast<int>(p.uv[0][1] * 256.0f - 0.5f);
    const size_t last = static_cast<size_t>(p.w) * p.h - 1;
    EXPECT_EQ(p.page->pixels[static_cast<size_t>(y + p.h - 1) * 256 + x + p.w - 1],
              p.fill ^ (static_cast<uint32_t>(last) << 12));
  }
  // A full-page map never shares; the next one opens another page.
  LightMapper::PageList two;
  std::vector<uint32_t> full(256 * 256, 1);
  float uv[3][2] = {};
  const LightMapPage* a = LightMapper::AddToPages(two, uv, 256, 256, full.data());
  const LightMapPage* b = LightMapper::AddToPages(two, uv, 3, 3, full.data());
  EXPECT_NE(a, b);
  EXPECT_EQ(two.size(), 2u);
}

TEST(LightMap, MapSizesFollowTheFaceAndDegenerateFacesGetNone) {
  DebugCapture log;
  LightMapPage::Rect r = MapOfTriangle(Vector3(0, 0, 0), Vector3(8, 0, 0), Vector3(0, 6, 0), 1.0f);
  EXPECT_EQ(r.x2 - r.x1 + 1, 11);
  EXPECT_EQ(r.y2 - r.y1 + 1, 6);
  r = MapOfTriangle(Vector3(0, 0, 0), Vector3(1000, 0, 0), Vector3(0, 10, 0), 1.0f);
  EXPECT_EQ(r.x2 - r.x1 + 1, 256);
  r = MapOfTriangle(Vector3(0, 0, 0), Vector3(0.1f, 0, 0), Vector3(0, 0.1f, 0), 1.0f);
  EXPECT_EQ(r.x2 - r.x1 + 1, 3);
  EXPECT_EQ(r.y2 - r.y1 + 1, 3);
  const LightMapPage* page = nullptr;
  MapOfTriangle(Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(2, 0, 0), 1.0f, &page);
  EXPECT_EQ(page, nullptr);
  EXPECT_NE(log.Text().find("Sliver Polygon Found, aborting light map generation for poly.\n"), std::string::npos);
  MapOfTriangle(Vector3(0, 0, 0), Vector3(0, 0, 0), Vector3(1, 0, 0), 1.0f, &page);
  EXPECT_EQ(page, nullptr);
  EXPECT_NE(log.Text().find("Identical Vertices found"), std::string::npos);
  // A texel size of zero would divide by zero: refused.
  MapOfTriangle(Vector3(0, 0, 0), Vector3(8, 0, 0), Vector3(0, 6, 0), 0.0f, &page);
  EXPECT_EQ(page, nullptr);
}

// Under a lamp near the face the light changes from texel to texel: each texel holds the mean of
// its 2 x 2 samples, each lit at the point of the face it stands for (the lamp's reach measured
// 3 cm above it), a sample off the face at the nearest point of the face's edges.
TEST(LightMap, EachTexelHoldsTheLightOfThePointsOfTheFaceItStandsFor) {
  LitScene scene(false);
  CPointLight lamp(1.0f, 0.7f, 0.4f, 2.0f, 1.0f, 1.5f, CLight::kBounded | CLight::kLightsMeshes, 9.0f, 0.5f, 0);
  scene.lights.Add(&lamp);
  const Vector3 W[3] = {Vector3(0, 0, 0), Vector3(6, 1, 0), Vector3(1, 4, 0)};
  ShadedMesh* mesh = scene.Keep(DemoContent::BuildGroundGrid(2, 1.0f));
  // Corner normals leaning apart, as on a curved surface: a sample is lit with their blend made unit length.
  Vector3 N[3] = {Vector3(-0.3f, 0, 1), Vector3(0.4f, -0.2f, 1), Vector3(0, 0.5f, 1)};
  for (uint32_t k = 0; k < 3; ++k) {
    mesh->positions[mesh->indices[k]] = W[k];
    N[k].Normalize();
    const uint16_t index = NormalTable::Encode(N[k]);
    mesh->allCompressedNormals[mesh->faceRecords[0].corners[k].normal] = index;
    N[k] = NormalTable::Decode(index);
  }
  CMeshInstance* instance = scene.Place(mesh, Vector3(), false);
  instance->SetLightMapData(std::unique_ptr<LightMapData>(new LightMapData()));
  scene.lights.SelectLights(Box(Vector3(-9, -9, -9), Vector3(9, 9, 9)), CLight::kLightsMeshes);
  FaceLightRecord record;
  const LightMapPage* page = LightMapper::GenerateFaceMap(instance, scene.lights, 0, 0.3f, 0.5f, 2, record);
  ASSERT_NE(page, nullptr);
  const LightMapPage::Rect r = page->rects.back();
  Vector3 c[3];  // the corners in texels of the map
  for (int k = 0; k < 3; ++k) c[k] = Vector3(record.uv[k][0] * 256 - r.x1, record.uv[k][1] * 256 - r.y1, 0);
  Triangle map;
  map.Set(c[0], c[1], c[2], false);
  for (int y = r.y1; y <= r.y2; ++y) {
    for (int x = r.x1; x <= r.x2; ++x) {
      int sum[3] = {0, 0, 0};
      for (int i = 0; i < 4; ++i) {
        const Vector3 s(x - r.x1 + 0.25f + 0.5f * (i % 2), y - r.y1 + 0.25f + 0.5f * (i / 2), 0);
        Vector2 w = map.ProjectPoint(s);
        if (!Triangle::IsInsideUV(w)) w = map.ProjectPoint(NearestOnEdges(c, s));
        Vector3 point, normal;
        InterpolateTriangle(point, w, W[0], W[1], W[2]);
        InterpolateTriangle(normal, w, N[0], N[1], N[2]);
        scene.lights.ComputeInfluences(point + Vector3(0, 0, 0.03f), 1, 0x400);
        Vector3 colour;
        scene.lights.SumWorldColor(colour, normal * (1.0f / normal.Length()), point);
        for (int k = 0; k < 3; ++k) sum[k] += static_cast<int>(colour[k] * 256.0f);
      }
      const uint32_t texel = page->pixels[static_cast<size_t>(y) * 256 + x];
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(texel >> (16 - 8 * k) & 255, std::min(255, sum[k] / 4), 1) << x << " " << y;
    }
  }
}

TEST(LightMap, GeneratedDataLoadsBackExactly) {
  TempFolder folder;
  const std::string path = folder.Path() + "lights.bin";
  {
    LitScene scene;
    CMeshInstance* terrain = scene.Place(scene.Keep(DemoContent::BuildGroundGrid(9, 2.0f)), Vector3(), false);
    ASSERT_TRUE(LightMapper::GenerateAll(terrain, scene.lights, path.c_str(), 0.25f));
    EXPECT_EQ(terrain->GetLightMapData(), nullptr);  // nothing left pointing at released pages
  }
  const std::vector<uint8_t> file = ReadAll(path);
  ASSERT_GE(file.size(), 12u);
  uint32_t faces, pages;
  std::memcpy(&faces, &file[4], 4);
  std::memcpy(&pages, &file[8], 4);
  EXPECT_EQ(faces, 128u);
  ASSERT_GE(pages, 1u);

  LitScene level(false);
  CMeshInstance* terrain = level.Place(level.Keep(DemoContent::BuildGroundGrid(9, 2.0f)), Vector3(), false);
  ASSERT_TRUE(LightMapper::Load(terrain, file.data(), file.size(), folder.Path(), true));
  for (uint32_t f = 0; f < faces; ++f) {
    const FaceLightRecord* record = RecordOf(terrain, f);
    ASSERT_NE(record, nullptr);
    ASSERT_NE(record->page, nullptr);  // the sun reaches every face
    EXPECT_EQ(Color::FromWord(record->colours[0]).a, 255);
  }
  EXPECT_EQ(LightMapper::BuildFile(terrain), file);
  // A coordinate that is not a number, or too large for any texel, costs that face its map only.
  for (float bad : {std::nanf(""), INFINITY, 1e30f, -3e38f}) {
    std::vector<uint8_t> hostile = file;
    std::memcpy(&hostile[12 + LightMapper::kRecordSize * 5 + 4 * (bad == 1e30f ? 5 : 0)], &bad, 4);
    LitScene other(false);
    CMeshInstance* mapped = other.Place(other.Keep(DemoContent::BuildGroundGrid(9, 2.0f)), Vector3(), false);
    ASSERT_TRUE(LightMapper::Load(mapped, hostile.data(), hostile.size(), folder.Path(), true)) << bad;
    for (uint32_t f = 0; f < faces; ++f) {
      ASSERT_NE(RecordOf(mapped, f), nullptr);
      EXPECT_EQ(RecordOf(mapped, f)->page == nullptr, f == 5) << bad << " " << f;
    }
  }
  const LightMapData* maps = terrain->GetLightMapData();
  ASSERT_EQ(maps->pages.size(), pages);
  for (uint32_t i = 0; i < pages; ++i) {
    EXPECT_EQ(LightMapPageFile::Encode(*maps->pages[i]), ReadAll(LightMapper::PagePath(folder.Path(), i)));
    // The texture reader takes a page for the 256 x 256 image named "LightMap" that it is.
    CTexture texture;
    ASSERT_TRUE(texture.Load(LightMapper::PagePath(folder.Path(), i).c_str(), true));
    EXPECT_EQ(texture.name, "LightMap");
    ASSERT_EQ(texture.width * texture.height, maps->pages[i]->pixels.size());
    ASSERT_EQ(texture.bytesPerPixel, 4u);
    EXPECT_EQ(std::memcmp(texture.GetLevel(0), maps->pages[i]->pixels.data(), 4 * maps->pages[i]->pixels.size()), 0);
  }
  // Flat ground, nothing in the sun's way: all 128 maps of 13 x 7 texels hold the fill plus the slanted sun.
  EXPECT_EQ(std::count(maps->pages[0]->pixels.begin(), maps->pages[0]->pixels.end(), 0xFFC1C0BEu), 128 * 13 * 7);
  // Without the sun only a fill boxed around the grid, away from the origin, lights it: corner colours, no maps.
  LitScene dim(false);
  dim.fill.SetBounds(Box(Vector3(400, 400, -10), Vector3(500, 500, 10)));
  CMeshInstance* plain = dim.Place(dim.Keep(DemoContent::BuildGroundGrid(3, 2.0f)), Vector3(450, 450, 0), false);
  ASSERT_TRUE(LightMapper::GenerateAll(plain, dim.lights, path.c_str(), 0.25f));
  const std::vector<uint8_t> ambient = ReadAll(path);
  std::memcpy(&pages, &ambient[8], 4);
  EXPECT_EQ(pages, 0u);
  uint32_t corner;
  std::memcpy(&corner, &ambient[12 + 24], 4);
  EXPECT_EQ(corner, 0xFF3F4C59u);  // white under the fill: 255 x (0.25, 0.3, 0.35), opaque
  int32_t index;

  // In the sun, faces of the translucent kinds keep the light of a plain face but get no map;
  // unlit faces keep their own colours, opaque.
  auto sunnyGrid = [&](uint32_t flags) {
    LitScene sunny;
    ShadedMesh* grid = sunny.Keep(DemoContent::BuildGroundGrid(3, 2.0f));
    baked_test::FlagTexture texture(flags);
    baked_test::SetFirstTexture(*grid, &texture);
    EXPECT_TRUE(LightMapper::GenerateAll(sunny.Place(grid, Vector3(), false), sunny.lights, path.c_str(), 0.25f));
    return ReadAll(path);
  };
  const std::vector<uint8_t> plainFile = sunnyGrid(0);
  std::memcpy(&pages, &plainFile[8], 4);
  EXPECT_GT(pages, 0u);
  std::unique_ptr<ShadedMesh> reference = DemoContent::BuildGroundGrid(3, 2.0f);
  for (uint32_t flags : {0x4u, 0x8u, 0x200u}) {
    const std::vector<uint8_t> flagged = sunnyGrid(flags);
    ASSERT_EQ(flagged.size(), plainFile.size()) << flags;
    std::memcpy(&pages, &flagged[8], 4);
    EXPECT_EQ(pages, 0u) << flags;
    for (uint32_t f = 0; f < reference->faceCount; ++f) {
      const uint8_t* record = &flagged[12 + LightMapper::kRecordSize * f];
      std::memcpy(&index, record + 36, 4);
      EXPECT_EQ(index, -1);
      for (uint32_t k = 0; k < 3; ++k) {
        uint32_t word, plainWord;
        std::memcpy(&word, record + 24 + 4 * k, 4);
        std::memcpy(&plainWord, &plainFile[12 + LightMapper::kRecordSize * f + 24 + 4 * k], 4);
        Color own = reference->faceRecords[f].corners[k].color;
        own.a = 255;
        EXPECT_EQ(word, flags == 0x200u ? own.ToWord() : plainWord) << flags << " face " << f;
      }
    }
  }
}

TEST(LightMap, HostileFilesAreRefusedAndMissingPagesCostOnlyTheirMaps) {
  DebugCapture log;
  TempFolder folder;
  LitScene scene;
  CMeshInstance* terrain = scene.Place(scene.Keep(DemoContent::BuildGroundGrid(3, 2.0f)), Vector3(), false);
  const ShadedMesh& mesh = *terrain->GetMesh();
  std::vector<std::vector<uint8_t>> records;
  for (uint32_t f = 0; f < mesh.faceCount; ++f) {
    float corners[9];
    FaceCorners(mesh, f, corners);
    records.push_back(RecordBytes(corners, static_cast<float>(f), f % 2 == 0 ? 0 : -1));
  }
  const std::vector<uint8_t> file = FileOf(records, 1);
  // No page file exists: the load still succeeds and page-0 faces keep their colours only.
  ASSERT_TRUE(LightMapper::Load(terrain, file.data(), file.size(), folder.Path(), true));
  EXPECT_NE(log.Text().find("LtMap_00.lit"), std::string::npos);
  for (uint32_t f = 0; f < mesh.faceCount; ++f) {
    ASSERT_NE(RecordOf(terrain, f), nullptr);
    EXPECT_EQ(RecordOf(terrain, f)->page, nullptr);
  }

  for (size_t n = 0; n < file.size(); ++n) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[n + 1]);
    std::memcpy(copy.get(), file.data(), n);
    EXPECT_FALSE(testing_support::WithinLinearCost(n, [&] { return LightMapper::Load(terrain, copy.get(), n, folder.Path(), true); })) << n;
    EXPECT_EQ(RecordOf(terrain, 0), nullptr);  // a failed load leaves no records
  }
  std::vector<uint8_t> bad = file;
  const float old = 2.0f;
  std::memcpy(&bad[0], &old, 4);
  log.Clear();
  EXPECT_FALSE(LightMapper::Load(terrain, bad.data(), bad.size(), folder.Path(), true));
  EXPECT_EQ(log.Text(), "*****************OLD VERSION OF LIGHTS.BIN***************\n");
  bad = file;
  std::memset(&bad[4], 0, 4);  // no faces
  EXPECT_FALSE(LightMapper::Load(terrain, bad.data(), bad.size(), folder.Path(), true));
  bad = file;
  const uint32_t tooMany[2] = {0x10000000u, 0xFFFFFFFFu};
  for (uint32_t word : tooMany) {
    std::memcpy(&bad[4], &word, 4);
    EXPECT_FALSE(LightMapper::Load(terrain, bad.data(), bad.size(), folder.Path(), true));
    bad = file;
    std::memcpy(&bad[8], &word, 4);  // more pages than faces
    EXPECT_FALSE(LightMapper::Load(terrain, bad.data(), bad.size(), folder.Path(), true));
    bad = file;
  }
  // Flipped bytes anywhere: no crash and no over-read.
  std::mt19937 random(5);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> flipped = file;
    flipped[random() % flipped.size()] ^= static_cast<uint8_t>(1 + random() % 255);
    std::unique_ptr<uint8_t[]> exact(new uint8_t[flipped.size()]);
    std::memcpy(exact.get(), flipped.data(), flipped.size());
    EXPECT_TRUE(testing_support::CostsNearLinear(flipped.size(), [&] { LightMapper::Load(terrain, exact.get(), flipped.size(), folder.Path(), false); }));
  }
}

TEST(LightMap, RecordsFindTheSameFacesAsAPlainScan) {
  // A mesh full of faces with identical corners, and records in shuffled order with stray hints.
  LitScene scene;
  ShadedMesh* mesh = scene.Keep(DemoContent::BuildGroundGrid(8, 1.0f));
  for (uint32_t v = 0; v < mesh->vertexCount; ++v) mesh->positions[v] = Vector3(static_cast<float>(v % 3), 0, -0.0f);
  mesh->positions[5] = Vector3(0, 0, 0.0f);  // +0 against the -0 of the others: they are equal
  CMeshInstance* indexed = scene.Place(mesh, Vector3(), false);
  CMeshInstance* scanned = scene.Place(mesh, Vector3(), false);
  std::mt19937 random(3);
  std::vector<uint32_t> order(mesh->faceCount + 10);
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i % mesh->faceCount;
  std::shuffle(order.begin(), order.end(), random);
  std::vector<std::vector<uint8_t>> records;
  std::vector<float> corners(9 * order.size());
  for (size_t i = 0; i < order.size(); ++i) {
    FaceCorners(*mesh, order[i], &corners[9 * i]);
    if (i % 17 == 0) corners[9 * i + 4] = 99.0f;  // matches nothing
    records.push_back(RecordBytes(&corners[9 * i], static_cast<float>(i), -1));
  }
  const std::vector<uint8_t> file = FileOf(records, 0);
  ASSERT_TRUE(LightMapper::Load(indexed, file.data(), file.size(), ".", false));

  std::vector<FaceLightRecord> reference(order.size());
  for (size_t i = 0; i < order.size(); ++i) {
    CMeshInstance::FaceColours* face = LightMapper::FindFace(scanned, &corners[9 * i], static_cast<uint32_t>(i));
    if (face != nullptr) face->lightRecord = &reference[i];
  }
  for (uint32_t f = 0; f < mesh->faceCount; ++f) {
    const FaceLightRecord* got = RecordOf(indexed, f);
    const auto* want = static_cast<const FaceLightRecord*>(scanned->GetFaceColours()[f].lightRecord);
    ASSERT_EQ(got == nullptr, want == nullptr) << f;
    if (got != nullptr) EXPECT_EQ(got->uv[0][0], static_cast<float>(want - reference.data())) << f;
  }
}

TEST(LightMap, TheWorldLoadsLevelLightDataOntoTheTerrain) {
  DebugCapture log;
  TempFolder folder;
  CSkateSettings settings;
  settings.detailFlags = 1;
  CSettings* previous = GetSettings();
  SetSettings(&settings);
  {
    LitScene scene;
    ShadedMesh* ground = scene.Keep(DemoContent::BuildGroundGrid(5, 2.0f));
    CMeshInstance* baked = scene.Place(ground, Vector3(), false);
    ASSERT_TRUE(LightMapper::GenerateAll(baked, scene.lights, (folder.Path() + "lights.bin").c_str(), 0.5f));
    CGameWorld world(nullptr, nullptr);
    world.SetLevelDirectory(folder.Path());
    CMeshInstance* terrain = world.AddTerrainMesh(ground, nullptr, false, false);
    ASSERT_NE(terrain->GetLightMapData(), nullptr);
    EXPECT_EQ(terrain->GetLightMapData()->handedOut, ground->faceCount);
  }
  SetSettings(previous);
}
