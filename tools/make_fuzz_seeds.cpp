// make_fuzz_seeds: writes the seed corpus of every libFuzzer target in tools/fuzz, made from the
// demo data with the engine's own writers, so that the fuzzers start from real files and CI can
// replay each corpus (.ci/fuzz-replay).
// Usage: make_fuzz_seeds <corpus folder>. The demo data is written into <corpus>/demo/data; each
// target's seeds go into <corpus>/<target>/, named after the target as the build names it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/EngineRegistration.h"
#include "combat/BodyCreation.h"
#include "core/world/AssetPreloader.h"
#include "core/input/SkateSettings.h"
#include "core/spatial/BezierSpline.h"
#include "core/data/LittleEndian.h"
#include "core/spatial/Octree.h"
#include "core/data/ResourceTable.h"
#include "park/pieces/ObjectCatalog.h"
#include "park/runner/ParkRunner.h"
#include "park/saved/SavedGame.h"
#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"
#include "physics/collision/SphereTree.h"
#include "physics/rigid/RigidConst.h"
#include "platform/system/Platform.h"
#include "render/image/BWCodec.h"
#include "render/image/Texture.h"
#include "render/software/SoftwareTextureStore.h"
#include "scene/animation/AnimationSet.h"
#include "scene/camera/ScriptCam.h"
#include "scene/lighting/LightRecord.h"
#include "scene/mesh/ShadedMesh.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentEffects.h"
#include "tools/DemoContentLevelPaths.h"
#include "tools/DemoContentPieces.h"
#include "tools/DemoContentUi.h"
#include "ui/screens/LevelLoader.h"
#include "ui/sprites/SpriteFileFormat.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

std::string g_corpus;
bool g_ok = true;

void Fail(const std::string& what) {
  std::fprintf(stderr, "make_fuzz_seeds: %s\n", what.c_str());
  g_ok = false;
}

void Seed(const std::string& target, const std::string& name, const Bytes& bytes) {
  if (bytes.empty()) return Fail("an empty seed " + name + " for " + target);
  const fs::path folder = fs::path(g_corpus) / target;
  std::error_code error;
  fs::create_directories(folder, error);
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) Fail("cannot write " + (folder / name).string());
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Prefixed(uint8_t first, const Bytes& rest) {
  Bytes out(1, first);
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty()) Fail("cannot read " + path.string());
  return bytes;
}

// The files of a folder with that extension, by name, at most limit of them.
std::vector<fs::path> FilesIn(const fs::path& folder, const std::string& extension, size_t limit) {
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error))
    if (entry.is_regular_file() && entry.path().extension() == extension) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  if (files.size() > limit) files.resize(limit);
  if (files.empty()) Fail("no " + extension + " files in " + folder.string());
  return files;
}

void SeedFiles(const std::string& target, const std::vector<fs::path>& files) {
  for (const fs::path& file : files) Seed(target, file.filename().string(), ReadFile(file));
}

std::unique_ptr<ShadedMesh> LoadMesh(const fs::path& path) {
  auto mesh = std::make_unique<ShadedMesh>();
  if (mesh->Load(path.string().c_str(), nullptr, 0, false, false, false)) return mesh;
  Fail("cannot load " + path.string());
  return nullptr;
}

// The data of the mesh's attach points of that type.
std::vector<Bytes> AttachPayloads(const fs::path& meshPath, uint32_t type) {
  std::vector<Bytes> payloads;
  if (std::unique_ptr<ShadedMesh> mesh = LoadMesh(meshPath))
    for (const AttachPoint& point : mesh->attachPoints)
      if (point.type == type && point.GetData() != nullptr)
        payloads.emplace_back(point.GetData(), point.GetData() + point.GetLength());
  if (payloads.empty()) Fail("no attach point of type " + std::to_string(type) + " in " + meshPath.string());
  return payloads;
}

// A hand-made 3D path record, version 100: three nodes, a named edge each way between two of them
// and a ring of two edges at the first.
Bytes PathRecord() {
  Bytes b;
  for (uint32_t w : {100u, 7u, 3u, 4u, 2u, 0x11223344u, 0x55667788u, 0x99AABBCCu, 0xDDEEFF00u}) le::PutU32(b, w);
  const float nodes[3][3] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 2}};
  const int32_t firstEdges[3] = {0, 2, 3};
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; k < 9; ++k) le::PutU32(b, 0);
    le::PutU32(b, static_cast<uint32_t>(firstEdges[i]));
    for (float f : nodes[i]) le::PutF32(b, f);
  }
  // from, to, opposite, next, previous, name, length
  const int32_t edges[4][6] = {{0, 1, -1, 1, 1, 0}, {0, 2, 3, 0, 0, 1}, {1, 2, -1, 2, 2, -1}, {2, 0, 1, 3, 3, -1}};
  const float lengths[4] = {10.0f, 14.28f, 10.2f, 14.28f};
  for (int e = 0; e < 4; ++e) {
    le::PutU32(b, 0);
    for (int32_t w : edges[e]) le::PutU32(b, static_cast<uint32_t>(w));
    le::PutF32(b, lengths[e]);
  }
  for (const char* name : {"north", "up"}) b.insert(b.end(), name, name + std::strlen(name) + 1);
  return b;
}

void SeedMeshesAndPictures(const fs::path& data) {
  for (const char* mesh : {"figure.mesh", "lodramp.mesh", "crate.mesh"}) {
    Seed("mesh_parse_fuzzer", mesh, ReadFile(data / "meshes" / mesh));
  }
  Seed("mesh_parse_fuzzer", "terrain.mesh", ReadFile(data / "levels/demo/terrain.mesh"));
  int n = 0;
  for (const Bytes& table : AttachPayloads(data / "meshes/figure.mesh", AnimationSet::kAttachType))
    Seed("animation_fuzzer", "figure" + std::to_string(n++), table);
  Seed("animation_fuzzer", "script", Text("sequence = { name = \"idle\" data = xform numframes = 30 fps = 30 }\n"));
  for (const char* mesh : {"crate.mesh", "buggy.mesh", "box.mesh"})
    Seed("rigid_body_fuzzer", mesh, ReadFile(data / "meshes" / mesh));
  for (const char* model : {"meshes/buggy.mesh", "meshes/creature.mesh"}) {
    BodyCreation creation;
    creation.model = model;
    creation.frame.RotateZ(0.5f);
    creation.frame.position = Vector3(6.0f, 32.0f, 3.0f);
    Bytes bytes(BodyCreation::kDataBytes);
    creation.Write(bytes.data());
    Seed("body_creation_fuzzer", std::string(model).substr(7), bytes);
  }
  if (std::unique_ptr<ShadedMesh> crate = LoadMesh(data / "meshes/crate.mesh")) {
    RigidConst model;
    model.BuildFromMesh(std::move(crate));
    Bytes image(SphereTree::ImageSize(model.GetSphereRoot()));
    if (SphereTree::WriteImage(model.GetSphereRoot(), image.data(), image.size()) != image.size()) image.clear();
    Seed("sphere_tree_fuzzer", "crate", image);
  }
  SeedFiles("image_fuzzer", FilesIn(data / "ui/images", ".bw", 2));
  SeedFiles("image_fuzzer", FilesIn(data / "textures/thoughtbubbles", ".tga", 2));
  SeedFiles("texture_fuzzer", FilesIn(data / "textures", ".texture", 3));
  const Bytes picture = ReadFile(data / "ui/images/panel.bw");
  Bytes stream;
  const size_t expected = std::min<size_t>(picture.size(), 0xFFFF);
  const uint64_t bits = bwcodec::Encode(picture.data(), expected, stream);
  Bytes coded;
  le::PutU32(coded, static_cast<uint32_t>(bits));
  coded.push_back(static_cast<uint8_t>(expected)), coded.push_back(static_cast<uint8_t>(expected >> 8));
  coded.insert(coded.end(), stream.begin(), stream.end());
  Seed("bwcodec_fuzzer", "panel", coded);
  n = 0;
  for (const auto& file : DemoContent::UiSpriteFiles())
    if (n++ < 3)
      Seed("sprite_file_fuzzer", fs::path(file.relativePath).filename().string(),
           SpriteFileFormat::Write(file.sprites));
}

void SeedSounds(const fs::path& data) {
  std::vector<fs::path> sounds = FilesIn(data / "sounds", ".wav", 1000);
  std::sort(sounds.begin(), sounds.end(),
            [](const fs::path& a, const fs::path& b) { return fs::file_size(a) < fs::file_size(b); });
  sounds.resize(std::min<size_t>(sounds.size(), 2));
  SeedFiles("sound_sample_fuzzer", sounds);
}

// A category list naming its own file a hundred times, each spelt another way ("./", ".//" and
// "/" before it, or its letters in upper case), with a thousand entries each and sections enough
// for them: one file, read once and its entries shared by the hundred categories.
std::string SelfNamedCatalogList() {
  std::string list = "[header]\nNumCategories=100\nNumInCategory=1000\n";
  for (int k = 0; k < 100; ++k) {
    std::string spelling = k == 1 ? "/" : k == 2 ? "../objects/" : "";
    for (int bits = k > 2 ? k : 0; bits != 0; bits >>= 1) spelling += bits & 1 ? ".//" : "./";
    spelling += k == 3 ? "CATEGORIES.INI" : "categories.ini";
    list += "[Cat" + std::to_string(k + 1) + "]\nINIFile=" + spelling + "\n";
  }
  for (int j = 1; j <= 1000; ++j) list += "[" + std::to_string(j) + "]\n";
  return list;
}

void SeedTexts(const fs::path& data) {
  Seed("catalog_fuzzer", "self_named", Text("categories.ini\n" + SelfNamedCatalogList()));
  std::string catalog;
  for (const fs::path& file : FilesIn(data / "objects", ".ini", 100)) {
    const Bytes text = ReadFile(file);
    if (!catalog.empty()) catalog += '\f';
    catalog += file.filename().string() + "\n" + std::string(text.begin(), text.end());
  }
  Seed("catalog_fuzzer", "demo", Text(catalog));
  SeedFiles("ini_file_fuzzer", FilesIn(data / "objects", ".ini", 3));
  const Bytes terrain = ReadFile(data / "levels/demo/terrain.ini");
  Seed("ini_file_fuzzer", "terrain.ini", terrain);
  Seed("terrain_fog_fuzzer", "terrain.ini", terrain);
  int n = 0;
  for (const DemoContent::PieceSpec& piece : DemoContent::PieceSpecs())
    for (const DemoContent::PieceNode& node : piece.nodes)
      if (n < 12) Seed("skate_node_text_fuzzer", piece.name + std::to_string(n++), Text(node.text));
  for (const char* line :
       {"\"C:\\Games\\Park\\park.exe\" -l0 safemode", "park.exe -pvs 16 -rays", "park -pvs -1 rays -l3"})
    Seed("command_line_fuzzer", "line" + std::to_string(n++), Text(line));
  const std::string script =
      "// fly-by\nID = 7\nNumSegments = 2 3, 4, 1, 1, 5.0, 2.0, 60.0, 0.5\n5, 4, 3, 0, 4.0, 0.0, 60.0, 0.0\n";
  Seed("script_camera_fuzzer", "text", Prefixed(0, Text(script)));
  CScriptCam camera;
  Bytes block;
  if (camera.ParseScript(script.c_str())) {
    block.resize(camera.GetBlockSize());
    if (!camera.WriteBlock(block.data(), block.size())) block.clear();
  }
  Seed("script_camera_fuzzer", "block", Prefixed(1, block));
  Bytes trigger, clouds, glow;
  DemoContent::LevelFlightTrigger().Write(trigger);
  DemoContent::LevelCloudLayer().Write(clouds);
  DemoContent::PieceGlows()[1].Write(glow);
  Seed("effect_records_fuzzer", "trigger", Prefixed(0, trigger));
  Seed("effect_records_fuzzer", "clouds", Prefixed(1, clouds));
  Seed("effect_records_fuzzer", "glow", Prefixed(2, glow));
  Seed("physics_text_fuzzer", "library",
       Text("atomic cube\n vertex c0 0 0 0 vertex c1 1 0 0 vertex c2 0 1 0 vertex c3 1 1 0\n"
            " vertex c4 0 0 1 vertex c5 1 0 1 vertex c6 0 1 1 vertex c7 1 1 1\n"
            " face -x c0 c4 c6 c2 ; face +x c1 c3 c7 c5 ; face -y c0 c1 c5 c4 ;\n"
            " face +y c2 c6 c7 c3 ; face -z c0 c2 c3 c1 ; face +z c4 c5 c7 c6 ;\nend\n"
            "compound pair child cube { } child cube { trans 1 0 0 } end\n"
            "gravity = 0, 0, -9.8\nanchorstrength = 2\nstiffness = 40\ndamping = 3\nmass = 12\nrender = true\n"));
  Seed("registry_fuzzer", "registry.txt",
       Text("[HKEY_LOCAL_MACHINE\\Software\\Fuzz]\n\"v\"=dword:0000001b\n\"s\"=\"C:\\\\Games\"\n"));
  CSkateSettings settings;
  Bytes image;
  settings.Serialize(image);
  Seed("settings_fuzzer", "defaults", image);
  CBezierSpline spline;
  spline.SetID(3);
  std::vector<SplineControlPoint> points(3);
  for (int i = 0; i < 3; ++i) {
    points[static_cast<size_t>(i)].position = Vector3(10.0f * i, 5.0f * (i % 2), 1.0f);
    points[static_cast<size_t>(i)].outHandle = points[static_cast<size_t>(i)].position + Vector3(3, 0, 0);
    points[static_cast<size_t>(i)].inHandle = points[static_cast<size_t>(i)].position - Vector3(3, 0, 0);
    points[static_cast<size_t>(i)].segmentLength = 10.0f;
  }
  spline.SetPoints(points);
  Bytes record(spline.GetRecordSize());
  if (!spline.SaveToBuffer(record.data(), record.size())) record.clear();
  Seed("spline_fuzzer", "three", record);
  Seed("path_record_fuzzer", "three", PathRecord());
  for (const DemoContent::DemoPath& path : DemoContent::LevelPaths())
    Seed("path_record_fuzzer", "demo_level_" + std::to_string(path.id), DemoContent::BuildPathRecord(path));
}

void SeedLevel(const fs::path& data) {
  const fs::path level = data / "levels/demo";
  const char* const files[] = {"terrain.mesh", "grid_data.bin", "terrain.ini", "lights.bin",
                               "vlights.bin",  "visnodes.bin",  "LtMap_00.lit"};
  for (uint8_t i = 0; i < sizeof(files) / sizeof(files[0]); ++i)
    Seed("level_loader_fuzzer", files[i], Prefixed(i, ReadFile(level / files[i])));
  Seed("lights_bin_fuzzer", "lights.bin", ReadFile(level / "lights.bin"));
  Seed("visibility_fuzzer", "visnodes.bin", ReadFile(level / "visnodes.bin"));
  Seed("light_files_fuzzer", "vlights.bin", Prefixed(1, ReadFile(level / "vlights.bin")));
  Seed("light_files_fuzzer", "LtMap_00.lit", Prefixed(2, ReadFile(level / "LtMap_00.lit")));
  const std::vector<Bytes> lights = AttachPayloads(level / "terrain.mesh", LightRecord::kAttachType);
  if (!lights.empty()) Seed("light_files_fuzzer", "light", Prefixed(0, lights[0]));
  const Bytes instant = ReadFile(level / "instant_action.sav");
  Seed("saved_game_fuzzer", "instant_action.sav", instant);
  Seed("octree_skeleton_fuzzer", "skeleton.bin", ReadFile(level / "skeleton.bin"));

  // The instant park after skaters came in: a file with skaters and their tick state; the level's
  // octree skeleton, the resource index and the software texture caches of the level's textures.
  const fs::path previous = fs::current_path();
  fs::current_path(data.parent_path());
  CSkateSettings settings;
  SetSettings(&settings);
  {
    CResourceTable table;
    PreloadAssets(&table);
    const std::string index = (fs::path(g_corpus) / "demo/index.txt").string();
    Seed("resource_index_fuzzer", "index.txt", table.SaveIndex(index.c_str()) ? ReadFile(index) : Bytes());
    CVerezIvor park(nullptr, nullptr);
    park.SetResourceTable(&table);
    CLevelLoader loader;
    ControllerSaveFields controller;
    Bytes running, flung;
    if (loader.LoadLevel(park, 0) && loader.SetUpGrid(park) && loader.LoadCatalogs(park) &&
        CSavedGame::Load(park, controller, instant.data(), instant.size())) {
      const uint8_t identity[COctree::kIdentitySize] = {'d', 'e', 'm', 'o'};
      Seed("octree_skeleton_fuzzer", "demo", park.GetOctree().SaveSkeleton(identity));
      plat::srand(3);
      CParkRunner runner(park);
      runner.SpawnSkaters(4);
      runner.RunTicks(300);
      if (!CSavedGame::Save(park, controller, running)) running.clear();
      // The same park with a skater no park makes: falling faster than any float sweep can
      // measure, on a radius below the smallest normal float.
      if (!GetSkaterList().empty()) {
        CSkater* skater = GetSkaterList().front();
        skater->SetVelocity(Vector3(0.0f, 0.0f, -1.5e23f));
        skater->SetRadius(9.4e-39f, nullptr);
        if (!CSavedGame::Save(park, controller, flung)) flung.clear();
      }
    }
    Seed("saved_game_fuzzer", "running.sav", running);
    Seed("saved_game_fuzzer", "flung_skater.sav", flung);
    FreeObjectCatalog();
    park.ClearGrid();
    park.ClearWorld();
  }
  std::vector<std::unique_ptr<CTexture>> textures;
  std::vector<CTexture*> list;
  for (const fs::path& file : FilesIn(data / "textures", ".texture", 100)) {
    textures.push_back(std::make_unique<CTexture>());
    if (!textures.back()->Load(file.string().c_str(), true)) continue;
    textures.back()->name = file.stem().string();
    list.push_back(textures.back().get());
  }
  const std::string prefix = (fs::path(g_corpus) / "demo/").string();
  CSoftwareTextureStore store;
  if (!store.CacheSoftwareTextures(list, prefix.c_str())) Fail("cannot write the software texture caches");
  for (int detail = 0; detail < 3; ++detail) {
    const std::string cache = CSoftwareTextureStore::CacheFileName(prefix.c_str(), detail);
    Seed("software_texture_cache_fuzzer", fs::path(cache).filename().string(), ReadFile(cache));
  }
  SetSettings(nullptr);
  fs::current_path(previous);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  RegisterEngine();
  plat::SetDebugSink([](const char*) {});
  g_corpus = fs::absolute(argv[1]).string();
  const fs::path data = fs::path(g_corpus) / "demo/data";
  std::error_code error;
  fs::create_directories(data, error);
  if (error || !DemoContent::WriteDemoData(data.string())) {
    std::fprintf(stderr, "make_fuzz_seeds: cannot write the demo data into %s\n", data.string().c_str());
    return 1;
  }
  SeedMeshesAndPictures(data);
  SeedSounds(data);
  SeedTexts(data);
  SeedLevel(data);
  return g_ok ? 0 : 1;
}
