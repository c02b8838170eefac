// The resource table: registration, lookups (slashes, case, "data/" cut, the boundary rule against
// a brute-force check), first-use loading through registered loaders, numbered families, the index
// file round trip and the level-folder fallback.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/GameWorld.h"
#include "core/math/FileBuffer.h"
#include "core/math/ResourceTable.h"
#include "sound/SoundSample.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::DebugCapture;
using testing_support::TempFolder;

std::string U32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

// A mono 8-bit WAVE file of n samples.
std::string Wave(uint32_t n) {
  const std::string format = std::string("\x01\x00\x01\x00", 4) + U32(8000) + U32(8000) + std::string("\x01\x00\x08\x00", 4);
  return "RIFF" + U32(36 + n) + "WAVEfmt " + U32(16) + format + "data" + U32(n) + std::string(n, '\x80');
}

// A stand-in asset with a destructor that must run.
struct Probe {
  explicit Probe(std::string p) : path(std::move(p)) { ++alive; }
  ~Probe() { --alive; }
  std::string path;
  static int alive;
  static int loads;
};
int Probe::alive = 0;
int Probe::loads = 0;

// Loads any readable file as a Probe; a file whose text starts with "rigid" becomes code 4.
void* LoadProbe(const ResourceLoadRequest& request, uint16_t& type) {
  ++Probe::loads;
  uint32_t size = 0;
  char* bytes = LoadFileToBuffer(request.path, &size);
  if (!bytes) return nullptr;
  if (size >= 5 && std::strncmp(bytes, "rigid", 5) == 0) type = kResourceRigidBody;
  FreeFileBuffer(bytes);
  return new Probe(request.path);
}
int g_rigidFrees = 0;
void FreeRigid(void* object) {
  ++g_rigidFrees;
  delete static_cast<Probe*>(object);
}
void FreeProbe(void* object) { delete static_cast<Probe*>(object); }

// Saves the process-wide loaders and puts them back, so tests do not leak registrations.
class ResourceTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (uint16_t t = 0; t < kResourceTypeCount; ++t) saved_[t] = CResourceTable::GetLoader(t);
    Probe::alive = 0;
    Probe::loads = 0;
  }
  void TearDown() override {
    for (uint16_t t = 1; t < kResourceTypeCount; ++t) CResourceTable::RegisterLoader(t, saved_[t].load, saved_[t].free);
  }
  ResourceLoader saved_[kResourceTypeCount];
};

// Is text found in key at the start of a component (after normalising both)?
std::string Normal(std::string s) {
  for (char& c : s) c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
bool AtBoundary(const std::string& key, const std::string& text) {
  for (size_t at = key.find(text); at != std::string::npos; at = key.find(text, at + 1))
    if (at == 0 || key[at - 1] == '/') return true;
  return false;
}

}  // namespace

TEST_F(ResourceTableTest, RegistrationTypesFamiliesHolesAndChecksum) {
  CResourceTable table;
  EXPECT_EQ(0, table.Add("data/meshes/crate.MESH"));
  EXPECT_EQ(kResourceMesh, table.GetType(0));
  EXPECT_EQ(1, table.Add("data/tex/a.Tex"));
  EXPECT_EQ(kResourceTexture, table.GetType(1));
  EXPECT_EQ(2, table.Add("data/textures/b.tga"));
  EXPECT_EQ(kResourceTarga, table.GetType(2));
  EXPECT_EQ(3, table.Add("data/fx/smoke.psys"));
  EXPECT_EQ(kResourceParticles, table.GetType(3));
  EXPECT_EQ(4, table.Add("data/readme.txt"));
  EXPECT_EQ(kResourceNone, table.GetType(4));
  EXPECT_EQ(5, table.Add("data/v1.2/noextension"));  // the dot of a folder is no extension
  EXPECT_STREQ("data/v1.2/noextension", table.GetPath(5));

  EXPECT_EQ(6, table.Add("data/meshes/tree01.mesh"));
  EXPECT_STREQ("data/meshes/tree*.mesh", table.GetPath(6));
  EXPECT_STREQ("data/meshes/tree01.mesh", table.GetName(6));
  EXPECT_EQ(kResourceMesh | kResourceVariantBit, table.GetType(6) | kResourceVariantBit);
  EXPECT_EQ(7, table.Add("data/sounds/07.wav"));
  EXPECT_STREQ("data/sounds/*.wav", table.GetPath(7));

  EXPECT_EQ(76802u, NameHash("ab"));
  EXPECT_EQ(0x700u, NameHash(""));
  uint32_t sum = 0;
  for (int i = 0; i < 8; ++i) sum += NameHash(table.GetName(i));
  EXPECT_EQ(sum, table.GetNameChecksum());

  // AddAt grows with holes, which Add fills first; AddAt does not count in the checksum.
  CResourceTable holes;
  ASSERT_TRUE(holes.AddAt(10, "data/items/crate.mesh"));
  EXPECT_EQ(11, holes.GetCount());
  EXPECT_EQ(0, holes.FirstFreeIndex());
  EXPECT_EQ(nullptr, holes.GetPath(3));
  EXPECT_EQ(0u, holes.GetNameChecksum());
  EXPECT_EQ(0, holes.Add("data/a.wav"));
  EXPECT_EQ(1, holes.FirstFreeIndex());
  ASSERT_TRUE(holes.AddAt(0, "data/b.wav"));  // replaces the entry there
  EXPECT_STREQ("data/b.wav", holes.GetPath(0));

  DebugCapture log;
  EXPECT_FALSE(holes.AddAt(-1, "data/x.wav"));
  EXPECT_FALSE(holes.AddAt(CResourceTable::kMaxIndex + 1, "data/x.wav"));
  EXPECT_FALSE(holes.AddAt(2, ""));
  EXPECT_EQ(-1, holes.Add(nullptr));
  EXPECT_EQ(11, holes.GetCount());

  // Accessors with a bad index answer "nothing" instead of reading outside the table.
  for (int bad : {-7, -1, 11, 1000}) {
    EXPECT_EQ(0, holes.GetType(bad));
    EXPECT_EQ(nullptr, holes.GetPath(bad));
    EXPECT_EQ(nullptr, holes.GetResource(bad));
    EXPECT_EQ(0, holes.GetVariantCount(bad));
    EXPECT_EQ(nullptr, holes.GetVariants(bad));
    holes.Unload(bad);
    holes.ClearEntry(bad);
  }
  log.Clear();
  EXPECT_FALSE(holes.IsLoaded(11));
  EXPECT_EQ("invalid id\n", log.Text());
  holes.Clear();
  EXPECT_EQ(0, holes.GetCount());
  EXPECT_EQ(0u, holes.GetNameChecksum());
}

TEST_F(ResourceTableTest, LookupsIgnoreSlashesCaseAndTheFolderBeforeData) {
  CResourceTable table;
  EXPECT_EQ(-1, table.FindByName("data/meshes/crate.mesh"));  // empty table
  table.Add("data/meshes/bigtree.mesh");
  table.Add("data\\Meshes\\tree.mesh");
  table.Add("data/meshes/crate.mesh");
  table.Add("data/sounds/step3.wav");

  EXPECT_EQ(2, table.FindByName("data\\MESHES\\crate.mesh"));
  EXPECT_EQ(2, table.FindByName("D:/x/data/meshes/crate.mesh"));
  EXPECT_EQ(2, table.FindByName("D:\\game\\DATA\\meshes\\Crate.Mesh"));
  EXPECT_EQ(2, table.FindByName("meshes/crate.mesh"));
  // A match at a component boundary wins over an earlier one inside a component.
  EXPECT_EQ(1, table.FindByName("tree.mesh"));
  EXPECT_EQ(1, table.FindByName("data/meshes/tree.mesh"));
  EXPECT_EQ(0, table.FindByName("ree.mesh"));  // no boundary match at all: the first inside match
  EXPECT_EQ(0, table.FindByName("bigtree"));
  // A numbered name finds the family its registration made.
  EXPECT_EQ(3, table.FindByName("data/sounds/step3.wav"));
  EXPECT_EQ(3, table.FindByName("data\\sounds\\step12.wav"));
  EXPECT_EQ(-1, table.FindByName("data/sounds/stomp3.wav"));
  EXPECT_EQ(-1, table.FindByName("data/meshes/rock.mesh"));
  EXPECT_EQ(-1, table.FindByName(""));
  EXPECT_EQ(-1, table.FindByName(nullptr));

  // Neither the caller's text nor the stored paths are changed by a lookup.
  char name[] = "C:\\Games\\DATA\\Meshes\\tree.mesh";
  EXPECT_EQ(1, table.FindByName(name));
  EXPECT_STREQ("C:\\Games\\DATA\\Meshes\\tree.mesh", name);
  EXPECT_STREQ("data\\Meshes\\tree.mesh", table.GetPath(1));
}

TEST_F(ResourceTableTest, LookupsAgreeWithABruteForceSearchOverRandomTables) {
  std::mt19937 random(7);
  const char* parts[] = {"a", "b", "ab", "ba", "tree", "bigtree"};
  auto component = [&] { return std::string(parts[random() % 6]) + (random() % 3 == 0 ? parts[random() % 6] : ""); };
  for (int round = 0; round < 60; ++round) {
    CResourceTable table;
    std::vector<std::string> keys;
    for (int i = 0; i < 40; ++i) {
      std::string path = "data";
      for (int depth = 1 + random() % 3; depth > 0; --depth) path += (random() % 2 ? "/" : "\\") + component();
      path += ".wav";
      ASSERT_EQ(i, table.Add(path.c_str()));
      keys.push_back(Normal(path));
    }
    for (int q = 0; q < 40; ++q) {
      // The tail of a path, or a random one, in random case and slash direction.
      std::string name = random() % 2 ? keys[random() % keys.size()] : "data/" + component() + ".wav";
      name = name.substr(random() % (name.size() - 4));
      for (char& c : name) {
        if (random() % 2) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (c == '/' && random() % 2) c = '\\';
      }
      const std::string wanted = Normal(name);
      int expected = -1;
      for (size_t i = 0; i < keys.size() && expected < 0; ++i)
        if (AtBoundary(keys[i], wanted)) expected = static_cast<int>(i);
      for (size_t i = 0; i < keys.size() && expected < 0; ++i)
        if (keys[i].find(wanted) != std::string::npos) expected = static_cast<int>(i);
      if (wanted.rfind("data", 0) != 0 && wanted.find("data/") != std::string::npos) continue;  // cut differently
      EXPECT_EQ(expected, table.FindByName(name.c_str())) << name;
    }
  }
}

TEST_F(ResourceTableTest, FirstUseLoadingRetriesFailuresAndReleasesByType) {
  TempFolder temp;
  const std::string root = temp.Path();
  temp.Write("Data/Fx/Smoke.PSYS", "smoke");
  temp.Write("Data/Meshes/Box.mesh", "rigid body");
  temp.Write("Data/Sounds/Hit.wav", Wave(50));
  temp.Write("Data/Sounds/Bad.wav", "RIFF....nonsense");
  CResourceTable::RegisterLoader(kResourceParticles, LoadProbe, FreeProbe);
  CResourceTable::RegisterLoader(kResourceMesh, LoadProbe, FreeProbe);
  CResourceTable::RegisterLoader(kResourceRigidBody, nullptr, FreeProbe);
  CResourceTable::RegisterLoader(kResourceTexture, nullptr, nullptr);

  DebugCapture log;
  CResourceTable table;
  const int smoke = table.Add((root + "data\\fx\\smoke.psys").c_str());
  EXPECT_FALSE(table.IsLoaded(smoke));
  void* object = table.GetResource(smoke);
  ASSERT_NE(nullptr, object);
  EXPECT_EQ(object, table.GetResource(smoke));  // shared, loaded once
  EXPECT_EQ(1, Probe::loads);
  EXPECT_EQ(1, table.GetVariantCount(smoke));
  EXPECT_EQ(object, table.GetVariants(smoke)[0]);
  table.Unload(smoke);  // the release function runs the destructor
  EXPECT_EQ(0, Probe::alive);
  EXPECT_STREQ((root + "data\\fx\\smoke.psys").c_str(), table.GetPath(smoke));
  EXPECT_NE(nullptr, table.GetResource(smoke));
  EXPECT_EQ(2, Probe::loads);

  // A mesh that turns out to be a rigid body changes the entry's type, is released as one and
  // loads again through the mesh loader.
  const int box = table.Add((root + "data/meshes/box.mesh").c_str());
  ASSERT_NE(nullptr, table.GetResource(box));
  EXPECT_EQ(kResourceRigidBody, table.GetType(box));
  table.UnloadAll();
  EXPECT_EQ(0, Probe::alive);
  EXPECT_NE(nullptr, table.GetResource(box));

  // Sounds come with the table.
  const int hit = table.Add((root + "data/sounds/hit.wav").c_str());
  auto* sample = static_cast<CSoundSample*>(table.GetResource(hit));
  ASSERT_NE(nullptr, sample);
  EXPECT_EQ(50u, sample->GetDataSize());

  // Failures give null, a log line, and a new try (and line) on every request.
  const int missing = table.Add((root + "data/meshes/none.mesh").c_str());
  const int bad = table.Add((root + "data/sounds/bad.wav").c_str());
  const int texture = table.Add((root + "data/tex/wall.tex").c_str());
  for (int id : {missing, bad, texture}) {
    log.Clear();
    EXPECT_EQ(nullptr, table.GetResource(id));
    EXPECT_FALSE(log.Text().empty());
    const std::string first = log.Text();
    log.Clear();
    EXPECT_EQ(nullptr, table.GetResource(id));
    EXPECT_EQ(first, log.Text());
    EXPECT_FALSE(table.IsLoaded(id));
    EXPECT_EQ(0, table.GetVariantCount(id));
    EXPECT_EQ(nullptr, table.GetVariants(id));
  }
  table.Clear();
  EXPECT_EQ(0, Probe::alive);
}

TEST_F(ResourceTableTest, NumberedFamiliesLoadEveryMemberInNumberOrder) {
  TempFolder temp;
  const std::string root = temp.Path();
  temp.Write("Data/Sounds/step12.wav", Wave(12));
  temp.Write("Data/Sounds/Step1.WAV", Wave(1));
  temp.Write("Data/Sounds/step3.wav", Wave(3));
  temp.Write("Data/Sounds/step07.wav", "not a wave");
  temp.Write("Data/Sounds/stepx.wav", Wave(99));
  temp.Write("Data/Sounds/steps.wav", Wave(98));
  temp.MakeFolder("Data/Sounds/step5.wav");

  DebugCapture log;
  CResourceTable table;
  const int steps = table.Add((root + "DATA\\sounds\\step3.wav").c_str());
  EXPECT_FALSE(table.IsLoaded(steps));
  ASSERT_EQ(4, table.GetVariantCount(steps));
  void** list = table.GetVariants(steps);
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(1u, static_cast<CSoundSample*>(list[0])->GetDataSize());
  EXPECT_EQ(3u, static_cast<CSoundSample*>(list[1])->GetDataSize());
  EXPECT_EQ(nullptr, list[2]);  // step07 failed and keeps its place
  EXPECT_EQ(12u, static_cast<CSoundSample*>(list[3])->GetDataSize());
  EXPECT_EQ(list[0], table.GetResource(steps));
  EXPECT_EQ(kResourceSound, table.GetType(steps));

  // A family without files is loaded and empty.
  const int none = table.Add((root + "data/sounds/clang2.wav").c_str());
  EXPECT_EQ(0, table.GetVariantCount(none));
  EXPECT_TRUE(table.IsLoaded(none));
  EXPECT_EQ(nullptr, table.GetResource(none));

  // Members of one family that load as different types are each released as their own type.
  temp.Write("Data/Meshes/part1.mesh", "rigid");
  temp.Write("Data/Meshes/part2.mesh", "plain");
  CResourceTable::RegisterLoader(kResourceMesh, LoadProbe, FreeProbe);
  CResourceTable::RegisterLoader(kResourceRigidBody, nullptr, FreeRigid);
  g_rigidFrees = 0;
  const int parts = table.Add((root + "data/meshes/part2.mesh").c_str());
  ASSERT_EQ(2, table.GetVariantCount(parts));
  EXPECT_EQ(2, Probe::alive);
  table.Unload(parts);
  EXPECT_EQ(0, Probe::alive);
  EXPECT_EQ(1, g_rigidFrees);
}

TEST_F(ResourceTableTest, IndexFileRoundTripAndRejections) {
  TempFolder temp;
  DebugCapture log;
  const std::string index = temp.Write("Index.txt",
                                       "// resources\r\ndata/meshes/a.mesh    3\r\n"
                                       "data\\sounds\\Step2.wav 0 // a family\r\ndata/items/crate.mesh\t7\r\n");
  CResourceTable table;
  ASSERT_TRUE(table.LoadIndex(index.c_str()));
  EXPECT_EQ(8, table.GetCount());
  EXPECT_STREQ("data/meshes/a.mesh", table.GetPath(3));
  EXPECT_STREQ("data\\sounds\\Step*.wav", table.GetPath(0));
  EXPECT_STREQ("data/items/crate.mesh", table.GetPath(7));
  EXPECT_STREQ(index.c_str(), table.GetIndexPath());

  // What SaveIndex writes reads back to the same table.
  const std::string copy = temp.Path() + "Copy.txt";
  ASSERT_TRUE(table.SaveIndex(copy.c_str()));
  CResourceTable back;
  ASSERT_TRUE(back.LoadIndex(copy.c_str()));
  ASSERT_EQ(table.GetCount(), back.GetCount());
  for (int i = 0; i < table.GetCount(); ++i) {
    EXPECT_EQ(table.GetName(i) == nullptr, back.GetName(i) == nullptr);
    if (table.GetName(i)) EXPECT_STREQ(table.GetName(i), back.GetName(i));
  }
  back.AddAt(20, "data/extra.wav");
  ASSERT_TRUE(back.SaveIndex());  // to the remembered file
  CResourceTable third;
  ASSERT_TRUE(third.LoadIndex(copy.c_str()));
  EXPECT_STREQ("data/extra.wav", third.GetPath(20));

  // A stray one-character token stops the read; what came before stays.
  log.Clear();
  CResourceTable stray;
  EXPECT_FALSE(stray.LoadIndex(temp.Write("stray.txt", "data/a.wav 1\r\n;\r\ndata/b.wav 2\r\n").c_str()));
  EXPECT_EQ("Parse Error: Unexpected EOF\n", log.Text());
  EXPECT_STREQ("data/a.wav", stray.GetPath(1));
  EXPECT_EQ(2, stray.GetCount());

  // Indices that are not small non-negative numbers are refused instead of growing the table.
  for (const char* text : {"data/a.wav -1", "data/a.wav abc", "data/a.wav 99999999", "data/a.wav 4000000000",
                           "data/a.wav", "data/a.wav 12x"}) {
    CResourceTable bad;
    log.Clear();
    EXPECT_FALSE(bad.LoadIndex(temp.Write("bad.txt", text).c_str())) << text;
    EXPECT_EQ(0, bad.GetCount()) << text;
    EXPECT_FALSE(log.Text().empty());
    EXPECT_EQ(nullptr, bad.GetIndexPath());
  }
  CResourceTable none;
  EXPECT_FALSE(none.LoadIndex((temp.Path() + "missing.txt").c_str()));
  EXPECT_FALSE(none.SaveIndex());
  log.Clear();
  EXPECT_FALSE(none.SaveIndex((temp.Path() + "no/such/folder/index.txt").c_str()));
  EXPECT_EQ("Error Creating File - Check Path and File Exists!\n", log.Text());
}

TEST_F(ResourceTableTest, LevelFolderFallbackFindsFilesBesideTheLevel) {
  TempFolder temp;
  // A level folder far longer than 255 characters: the combined path must not be cut.
  std::string deep = "Base";
  while (deep.size() < 300) deep += "/Folder_With_A_Long_Name";
  const std::string root = temp.Path() + deep + "/";
  temp.Write(deep + "/DATA/Sounds/Only_Here.wav", Wave(5));
  temp.MakeFolder(deep + "/DATA/Levels/Park1");

  DebugCapture log;
  CResourceTable table;
  CGameWorld world(nullptr, nullptr);
  table.SetWorld(&world);
  const int id = table.Add("data/sounds/only_here.wav");
  EXPECT_EQ(nullptr, table.GetResource(id));  // no level yet: looked up from the working folder only
  world.SetLevelDirectory(root + "data\\levels\\park1\\");
  auto* sample = static_cast<CSoundSample*>(table.GetResource(id));
  ASSERT_NE(nullptr, sample);
  EXPECT_EQ(5u, sample->GetDataSize());

  // A level folder without "data" in it, or a path starting like the level folder, gets no fallback.
  table.Unload(id);
  world.SetLevelDirectory(root + "levels/park1/");
  EXPECT_EQ(nullptr, table.GetResource(id));
  world.SetLevelDirectory("data/levels/park1/");
  EXPECT_EQ(nullptr, table.GetResource(id));
  table.SetWorld(nullptr);
}
