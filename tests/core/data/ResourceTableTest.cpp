// The resource table: registration, lookups against a brute-force search, first-use loading
// through registered loaders, numbered families, the index file round trip and the level-folder
// fallback.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/data/FileBuffer.h"
#include "core/data/ResourceTable.h"
#include "sound/SoundSample.h"
#include "tests/support/InputCost.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::DebugCapture;
using testing_support::TempFolder;

std::string U32(uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

// A mono 8-bit WAVE file of n samples.
std::string Wave(uint32_t n) {
  return "RIFF" + U32(36 + n) + "WAVEfmt " + U32(16) + std::string("\x01\x00\x01\x00", 4) + U32(8000) + U32(8000) +
         std::string("\x01\x00\x08\x00", 4) + "data" + U32(n) + std::string(n, '\x80');
}

// A stand-in asset whose destructor must run; a file starting with "rigid" loads as code 4,
// made as a type of its own that counts its deletions.
struct Probe {
  Probe() { ++alive; }
  virtual ~Probe() { --alive; }
  static int alive;
};
int Probe::alive = 0;
int g_rigidFrees = 0;
struct RigidProbe : Probe {
  ~RigidProbe() override { ++g_rigidFrees; }
};

ResourceOwner LoadProbe(const ResourceLoadRequest& request, uint16_t& type) {
  uint32_t size = 0;
  char* bytes = LoadFileToBuffer(request.path, &size);
  if (!bytes) return ResourceOwner();
  const bool rigid = size >= 5 && std::strncmp(bytes, "rigid", 5) == 0;
  FreeFileBuffer(bytes);
  if (!rigid) return MakeResourceOwner(std::make_unique<Probe>());
  type = kResourceRigidBody;
  return MakeResourceOwner(std::make_unique<RigidProbe>());
}

// Puts the process-wide loaders back after each test.
// The owner's answers: a level folder the test moves, full detail.
class LevelContext : public CResourceLoadContext {
 public:
  void SetLevelDirectory(const std::string& folder) { m_folder = folder; }
  std::string GetLevelFolder() const override { return m_folder; }
  int GetTextureDetail() const override { return 0; }
  bool KeepTexturePixels() const override { return true; }

 private:
  std::string m_folder;
};

class ResourceTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (uint16_t t = 0; t < kResourceTypeCount; ++t) saved_[t] = CResourceTable::GetLoader(t);
    CResourceTable::RegisterLoader(kResourceMesh, LoadProbe);
    Probe::alive = g_rigidFrees = 0;
  }
  void TearDown() override {
    for (uint16_t t = 1; t < kResourceTypeCount; ++t) CResourceTable::RegisterLoader(t, saved_[t]);
  }
  ResourceLoadFn saved_[kResourceTypeCount];
  DebugCapture log_;
};

std::string Normal(std::string s) {
  for (char& c : s) c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

TEST_F(ResourceTableTest, RegistrationHolesChecksumAndBadIndices) {
  CResourceTable table;
  const char* paths[] = {"data/m/crate.MESH", "data/t/a.Tex",           "data/t/b.tga",
                         "data/fx/smoke.psys", "data/readme.txt",        "data/v1.2/noext",
                         "data/meshes/tree01.mesh", "data/sounds/07.wav", "data/textures/box.texture"};
  const uint16_t types[] = {1, 2, 3, 7, 0, 0, 1, 6, 2};
  uint32_t sum = 0;
  for (int i = 0; i < 9; ++i) {
    ASSERT_EQ(i, table.Add(paths[i]));
    EXPECT_EQ(types[i], table.GetType(i)) << paths[i];
    EXPECT_STREQ(paths[i], table.GetName(i));
    sum += NameHash(paths[i]);
  }
  EXPECT_STREQ("data/sounds/*.wav", table.GetPath(7));
  EXPECT_STREQ("data/v1.2/noext", table.GetPath(5));  // the dot of a folder is no extension
  EXPECT_EQ(76802u, NameHash("ab"));
  EXPECT_EQ(0x700u, NameHash(""));
  EXPECT_EQ(sum, table.GetNameChecksum());

  // AddAt grows with holes, which Add fills first; AddAt does not count in the checksum.
  CResourceTable holes;
  ASSERT_TRUE(holes.AddAt(10, "data/items/crate.mesh"));
  EXPECT_EQ(0, holes.FirstFreeIndex());
  EXPECT_EQ(0u, holes.GetNameChecksum());
  EXPECT_EQ(0, holes.Add("data/a.wav"));
  EXPECT_FALSE(holes.AddAt(-1, "data/x.wav"));
  EXPECT_FALSE(holes.AddAt(CResourceTable::kMaxIndex + 1, "data/x.wav"));
  EXPECT_EQ(-1, holes.Add(nullptr));
  EXPECT_EQ(11, holes.GetCount());

  // Accessors with a bad index answer "nothing" instead of reading outside the table.
  for (int bad : {-7, -1, 11, 1000}) {
    EXPECT_EQ(0, holes.GetType(bad) + holes.GetVariantCount(bad));
    EXPECT_EQ(nullptr, holes.GetPath(bad));
    EXPECT_EQ(nullptr, holes.GetResource(bad));
    EXPECT_EQ(nullptr, holes.GetVariants(bad));
    holes.Unload(bad);
    holes.ClearEntry(bad);
  }
  log_.Clear();
  EXPECT_FALSE(holes.IsLoaded(11));
  EXPECT_EQ("invalid id", log_.Text());  // the bare text, no line end
}

TEST_F(ResourceTableTest, LookupsIgnoreSlashesCaseAndTheFolderBeforeData) {
  CResourceTable table;
  EXPECT_EQ(-1, table.FindByName("data/meshes/crate.mesh"));  // empty table
  for (const char* path : {"data/meshes/bigtree.mesh", "data\\Meshes\\tree.mesh", "data/meshes/crate.mesh",
                           "data/sounds/step3.wav"})
    table.Add(path);
  EXPECT_EQ(2, table.FindByName("D:\\game\\DATA\\meshes\\Crate.Mesh"));
  // A numbered name finds the family its registration made.
  EXPECT_EQ(3, table.FindByName("data\\sounds\\step12.wav"));
  EXPECT_EQ(-1, table.FindByName("data/sounds/stomp3.wav"));
  EXPECT_EQ(-1, table.FindByName(nullptr));
  // Neither the caller's text nor the stored paths are changed by a lookup.
  char name[] = "C:\\Games\\DATA\\Meshes\\tree.mesh";
  EXPECT_EQ(1, table.FindByName(name));
  EXPECT_STREQ("C:\\Games\\DATA\\Meshes\\tree.mesh", name);
  EXPECT_STREQ("data\\Meshes\\tree.mesh", table.GetPath(1));

  // Random tables with many overlapping names against a brute-force search of the rule: a match
  // at a component boundary wins over an earlier one inside a component.
  std::mt19937 random(7);
  const char* parts[] = {"a", "b", "ab", "ba", "tree", "bigtree"};
  auto component = [&] { return std::string(parts[random() % 6]) + (random() % 3 ? "" : parts[random() % 6]); };
  for (int round = 0; round < 60; ++round) {
    CResourceTable randomTable;
    std::vector<std::string> keys;
    for (int i = 0; i < 40; ++i) {
      std::string path = "data";
      for (int depth = 1 + random() % 3; depth > 0; --depth) path += (random() % 2 ? "/" : "\\") + component();
      randomTable.Add((path + ".wav").c_str());
      keys.push_back(Normal(path + ".wav"));
    }
    for (int q = 0; q < 40; ++q) {
      std::string query = random() % 2 ? keys[random() % keys.size()] : "data/" + component() + ".wav";
      query = query.substr(random() % (query.size() - 4));
      for (char& c : query) {
        if (random() % 2) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (c == '/' && random() % 2) c = '\\';
      }
      const std::string wanted = Normal(query);
      int boundary = -1, inside = -1;
      for (size_t i = 0; i < keys.size(); ++i) {
        for (size_t at = keys[i].find(wanted); at != std::string::npos; at = keys[i].find(wanted, at + 1)) {
          if (inside < 0) inside = static_cast<int>(i);
          if (boundary < 0 && (at == 0 || keys[i][at - 1] == '/')) boundary = static_cast<int>(i);
        }
      }
      EXPECT_EQ(boundary >= 0 ? boundary : inside, randomTable.FindByName(query.c_str())) << query;
    }
  }
}

TEST_F(ResourceTableTest, FirstUseLoadingRetriesFailuresAndReleasesByType) {
  TempFolder temp;
  const std::string root = temp.Path();
  temp.Write("Data/Meshes/Box.mesh", "rigid body");
  temp.Write("Data/Sounds/Hit.wav", Wave(50));
  temp.Write("Data/Sounds/Bad.wav", "RIFF....nonsense");
  CResourceTable::RegisterLoader(kResourceTexture, nullptr);

  CResourceTable table;
  // A mesh that turns out to be a rigid body changes the entry's type, is shared, is released as
  // a rigid body (its destructor runs) and loads again through the mesh loader.
  const int box = table.Add((root + "data\\meshes\\box.mesh").c_str());
  EXPECT_FALSE(table.IsLoaded(box));
  void* object = table.GetResource(box);
  ASSERT_NE(nullptr, object);
  EXPECT_EQ(kResourceRigidBody, table.GetType(box));
  EXPECT_EQ(nullptr, table.GetResourceOfType(box, kResourceMesh));  // no mesh to whoever wants one
  EXPECT_EQ(object, table.GetResourceOfType(box, kResourceRigidBody));
  table.UnloadAll();
  EXPECT_EQ(0, Probe::alive);
  EXPECT_EQ(1, g_rigidFrees);
  EXPECT_NE(nullptr, table.GetResource(box));

  auto* sample = static_cast<CSoundSample*>(table.GetResource(table.Add((root + "data/sounds/hit.wav").c_str())));
  ASSERT_NE(nullptr, sample);  // sounds come with the table
  EXPECT_EQ(50u, sample->GetDataSize());

  // A missing file, a bad sound and a type without a loader: null, a log line, and a new try
  // (and line) on every request.
  for (const char* path : {"data/meshes/none.mesh", "data/sounds/bad.wav", "data/tex/wall.tex"}) {
    const int id = table.Add((root + path).c_str());
    log_.Clear();
    EXPECT_EQ(nullptr, table.GetResource(id));
    const std::string first = log_.Text();
    EXPECT_FALSE(first.empty());
    log_.Clear();
    EXPECT_EQ(nullptr, table.GetVariants(id));
    EXPECT_EQ(first, log_.Text());
  }
  table.Clear();
  EXPECT_EQ(0, Probe::alive);
  EXPECT_EQ(0, table.GetCount());
  EXPECT_EQ(0u, table.GetNameChecksum());
}

TEST_F(ResourceTableTest, NumberedFamiliesLoadEveryMemberInNumberOrder) {
  TempFolder temp;
  const std::string root = temp.Path();
  temp.Write("Data/Sounds/step12.wav", Wave(12));
  temp.Write("Data/Sounds/Step1.WAV", Wave(1));
  temp.Write("Data/Sounds/step3.wav", Wave(3));
  temp.Write("Data/Sounds/step07.wav", "not a wave");
  temp.Write("Data/Sounds/stepx.wav", Wave(99));
  temp.MakeFolder("Data/Sounds/step5.wav");

  CResourceTable table;
  const int steps = table.Add((root + "DATA\\sounds\\step3.wav").c_str());
  ASSERT_EQ(4, table.GetVariantCount(steps));
  void** list = table.GetVariants(steps);
  EXPECT_EQ(1u, static_cast<CSoundSample*>(list[0])->GetDataSize());
  EXPECT_EQ(3u, static_cast<CSoundSample*>(list[1])->GetDataSize());
  EXPECT_EQ(nullptr, list[2]);  // step07 failed and keeps its place
  EXPECT_EQ(12u, static_cast<CSoundSample*>(list[3])->GetDataSize());
  // A member's own path finds the family, its number zero-padded too (every member's, in the random
  // registration test); a name outside the family finds nothing.
  EXPECT_EQ(steps, table.FindByName((root + "data/sounds/step07.wav").c_str()));
  EXPECT_EQ(-1, table.FindByName((root + "data/sounds/stepx.wav").c_str()));
  EXPECT_EQ(-1, table.FindByName((root + "data/sounds/footstep3.wav").c_str()));

  // A family without files is loaded and empty.
  const int none = table.Add((root + "data/sounds/clang2.wav").c_str());
  EXPECT_EQ(0, table.GetVariantCount(none));
  EXPECT_TRUE(table.IsLoaded(none));

  // A family whose members load as different kinds is refused whole: its members are released,
  // each as its own type, and it hands out nothing, as a mesh or at all.
  temp.Write("Data/Meshes/part1.mesh", "rigid");
  temp.Write("Data/Meshes/part2.mesh", "plain");
  const int parts = table.Add((root + "data/meshes/part2.mesh").c_str());
  log_.Clear();
  EXPECT_EQ(0, table.GetVariantCount(parts));
  EXPECT_NE(std::string::npos, log_.Text().find("are not all of one kind; the family is refused")) << log_.Text();
  EXPECT_EQ(nullptr, table.GetResourceOfType(parts, kResourceMesh));
  EXPECT_EQ(kResourceMesh | kResourceVariantBit, table.GetType(parts) | kResourceVariantBit);
  EXPECT_EQ(0, Probe::alive);
  EXPECT_EQ(1, g_rigidFrees);
}

// The path with the digits before its extension removed: what all members of a family share.
std::string WithoutNumber(std::string path) {
  size_t dot = path.rfind('.');
  if (dot == std::string::npos) return path;
  while (dot > 0 && std::isdigit(static_cast<unsigned char>(path[dot - 1]))) path.erase(--dot, 1);
  return path;
}

// A path is always found by the text it was registered with, numbered or not, so registering
// only what the table does not know yet adds each family once however often it runs.
TEST_F(ResourceTableTest, RegisteredPathsAreFoundByTheirOwnName) {
  std::mt19937 random(11);
  const char* stems[] = {"step", "tree", "hit_", "wall", "x"};
  const char* extensions[] = {".wav", ".mesh", ".tga"};
  for (int round = 0; round < 20; ++round) {
    CResourceTable table;
    std::vector<std::string> paths;
    for (int i = 0; i < 30; ++i) {
      std::string path = std::string("data/f") + char('a' + random() % 3) + "/" + stems[random() % 5];
      if (random() % 3) path += std::to_string(random() % 40);
      paths.push_back(path + extensions[random() % 3]);
    }
    int count = 0;
    for (int pass = 0; pass < 2; ++pass) {
      if (pass == 1) count = table.GetCount();
      for (const std::string& path : paths) {
        const int known = table.FindByName(path.c_str());
        if (known < 0) {
          const int added = table.Add(path.c_str());
          ASSERT_EQ(added, table.FindByName(path.c_str())) << path;
        } else {
          // Known: the same file, or a member of the family the entry stands for.
          EXPECT_EQ(WithoutNumber(table.GetName(known)), WithoutNumber(path)) << path;
        }
      }
      // Distinct families and plain paths, each registered once.
      std::vector<std::string> distinct;
      for (int i = 0; i < table.GetCount(); ++i) distinct.push_back(table.GetPath(i));
      std::sort(distinct.begin(), distinct.end());
      EXPECT_EQ(distinct.end(), std::adjacent_find(distinct.begin(), distinct.end()));
    }
    EXPECT_EQ(count, table.GetCount());  // the second pass knew everything
  }
}

TEST_F(ResourceTableTest, IndexFileRoundTripAndRejections) {
  TempFolder temp;
  const std::string index = temp.Write("Index.txt",
                                       "// resources\r\ndata/meshes/a.mesh    3\r\n"
                                       "data\\sounds\\Step2.wav 0 // a family\r\ndata/items/crate.mesh\t7\r\n");
  CResourceTable table;
  ASSERT_TRUE(table.LoadIndex(index.c_str()));
  EXPECT_EQ(8, table.GetCount());
  EXPECT_STREQ("data/meshes/a.mesh", table.GetPath(3));
  EXPECT_STREQ("data\\sounds\\Step*.wav", table.GetPath(0));

  // What SaveIndex writes reads back to the same table, families included.
  const std::string copy = temp.Path() + "Copy.txt";
  ASSERT_TRUE(table.SaveIndex(copy.c_str()));
  table.AddAt(20, "data/extra.wav");
  ASSERT_TRUE(table.SaveIndex());  // to the remembered file
  CResourceTable back;
  ASSERT_TRUE(back.LoadIndex(copy.c_str()));
  ASSERT_EQ(table.GetCount(), back.GetCount());
  for (int i = 0; i < table.GetCount(); ++i) {
    EXPECT_STREQ(table.GetPath(i) ? table.GetPath(i) : "", back.GetPath(i) ? back.GetPath(i) : "");
  }

  // A stray one-character token, or an index too long to read without wrapping, refuses the file;
  // none of its records, not even those before the bad line, are registered, and a loaded table keeps what it had.
  CResourceTable stray;
  log_.Clear();
  const std::string strayFile = temp.Write("stray.txt", "data/a.wav 1\r\n;\r\ndata/b.wav 2\r\n");
  EXPECT_FALSE(stray.LoadIndex(strayFile.c_str()));
  EXPECT_EQ("Parse Error: Unexpected EOF\n", log_.Text());
  EXPECT_EQ(0, stray.GetCount());
  for (const std::string& refused : {strayFile, temp.Write("late.txt", "data/c.wav 4\r\ndata/d.wav 4294967297\r\n"),
                                     temp.Path() + "missing.txt"}) {
    EXPECT_FALSE(back.LoadIndex(refused.c_str())) << refused;
    ASSERT_EQ(table.GetCount(), back.GetCount()) << refused;
    for (int i = 0; i < table.GetCount(); ++i) {
      EXPECT_STREQ(table.GetPath(i) ? table.GetPath(i) : "", back.GetPath(i) ? back.GetPath(i) : "") << i;
    }
  }
  EXPECT_TRUE(back.SaveIndex());  // still the file it was loaded from
  CResourceTable again;
  ASSERT_TRUE(again.LoadIndex(copy.c_str()));
  EXPECT_EQ(table.GetCount(), again.GetCount());

  // Indices that are not small non-negative numbers are refused instead of growing the table.
  for (const char* text : {"data/a.wav -1", "data/a.wav abc", "data/a.wav 99999999", "data/a.wav", "data/a.wav 12x"}) {
    CResourceTable bad;
    const std::string file = temp.Write("bad.txt", text);
    EXPECT_FALSE(testing_support::WithinLinearCost(std::strlen(text), [&] { return bad.LoadIndex(file.c_str()); })) << text;
    EXPECT_EQ(0, bad.GetCount()) << text;
  }
  EXPECT_FALSE(stray.SaveIndex());  // nothing remembered after a failed read
  log_.Clear();
  EXPECT_FALSE(stray.SaveIndex((temp.Path() + "no/such/folder/index.txt").c_str()));
  EXPECT_EQ("Error Creating File - Check Path and File Exists!\n", log_.Text());
}

TEST_F(ResourceTableTest, LevelFolderFallbackFindsFilesBesideTheLevel) {
  TempFolder temp;
  // A level folder far longer than 255 characters: the combined path must not be cut.
  std::string deep = "Base";
  while (deep.size() < 300) deep += "/Folder_With_A_Long_Name";
  const std::string root = temp.Path() + deep + "/";
  temp.Write(deep + "/DATA/Sounds/Only_Here.wav", Wave(5));

  CResourceTable table;
  auto owned = std::make_unique<LevelContext>();
  LevelContext& context = *owned;
  table.SetLoadContext(std::move(owned));
  const int id = table.Add("data/sounds/only_here.wav");
  EXPECT_EQ(nullptr, table.GetResource(id));  // no level: looked up from the working folder only
  context.SetLevelDirectory(root + "data\\levels\\park1\\");
  auto* sample = static_cast<CSoundSample*>(table.GetResource(id));
  ASSERT_NE(nullptr, sample);
  EXPECT_EQ(5u, sample->GetDataSize());
  // A level folder without "data" in it, or one starting like the path, gives no fallback.
  for (const std::string& level : {root + "levels/park1/", std::string("data/levels/park1/")}) {
    table.Unload(id);
    context.SetLevelDirectory(level);
    EXPECT_EQ(nullptr, table.GetResource(id)) << level;
  }
}
