// CResourceTable: the one table of loaded assets, registered by path and loaded on first request.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/data/ResourceLoadContext.h"
#include "core/data/ResourceOwner.h"

class CResourceTable;

// Asset type codes (the low 16 bits of an entry's type).
enum ResourceType : uint16_t {
  kResourceNone = 0,
  kResourceMesh = 1,
  kResourceTexture = 2,
  kResourceTarga = 3,
  kResourceRigidBody = 4,  // arises only while loading a mesh
  kResourceVehicle = 5,    // arises only while loading a mesh
  kResourceSound = 6,
  kResourceParticles = 7,
  kResourceTypeCount = 8
};

// Type bit of an entry that stands for a numbered family of files.
constexpr uint32_t kResourceVariantBit = 0x10000;

// What a loader is told about one load.
struct ResourceLoadRequest {
  const char* path;           // after the level-folder fallback
  uint32_t meshLoadOptions;   // bit 0 memory-mapped, bit 1 no textures, bit 2 keep texture data
  int detail;                 // 0 full detail .. 2 lowest, from the load context
  bool keepTexturePixels;     // the load context does not ask textures to drop their pixels after upload
};

// Loads one file; may change typeCode (a mesh file may give a rigid-body model or a vehicle
// definition). Returns the new object with its deleter, or an empty owner after logging why.
typedef ResourceOwner (*ResourceLoadFn)(const ResourceLoadRequest& request, uint16_t& typeCode);

// One registered path. A plain entry holds its one loaded asset; a variant entry holds one asset
// (or an empty owner) per file of its family, each made by the loader of its own type code.
struct ResourceEntry {
  uint32_t type = 0;
  std::string path;       // empty: no path (a hole); variant entry: the search pattern
  std::string name;       // the path exactly as registered
  std::string searchKey;  // path with '/' separators in lower case, for FindByName
  std::vector<ResourceOwner> owners;
  // The same assets as plain pointers, in step with owners: the list GetVariants hands out.
  std::vector<void*> objects;
  bool loaded = false;  // a variant entry is loaded once its family is scanned, even if empty

  bool HasPath() const { return !path.empty(); }
  bool IsVariant() const { return (type & kResourceVariantBit) != 0; }
  bool IsLoaded() const { return loaded; }
};

class CResourceTable {
 public:
  CResourceTable() = default;
  ~CResourceTable();
  CResourceTable(const CResourceTable&) = delete;
  CResourceTable& operator=(const CResourceTable&) = delete;

  // Plugs in the loader of one type code, for every table. Codes 4 and 5 are built from mesh
  // files, so their loads go through the loader of code 1. Each folder that makes assets
  // registers its loaders in one function of its own, called at start-up.
  static void RegisterLoader(uint16_t type, ResourceLoadFn load);
  static ResourceLoadFn GetLoader(uint16_t type);

  // Where the table learns the level folder and the texture settings; null forgets the old one.
  void SetLoadContext(std::unique_ptr<CResourceLoadContext> context) { m_context = std::move(context); }
  const CResourceLoadContext* GetLoadContext() const { return m_context.get(); }
  uint32_t GetMeshLoadOptions() const { return m_meshLoadOptions; }
  void SetMeshLoadOptions(uint32_t options) { m_meshLoadOptions = options; }

  // Registers path at the first index without a path; -1 for a null or empty path.
  int Add(const char* path);
  // Registers path at index, growing the table with empty entries; an entry there is cleared
  // first. False (logged) for a negative index, one above kMaxIndex, or an empty path.
  bool AddAt(int index, const char* path);
  int FirstFreeIndex() const;
  int GetCount() const { return static_cast<int>(m_entries.size()); }

  // The entry whose path holds name (after cutting it to begin at "data/" or "data\"), slashes
  // either way and letter case ignored. An occurrence at the start of a path component wins over
  // one inside a component, so "tree.mesh" finds ".../tree.mesh" before ".../bigtree.mesh"; among
  // equals the lowest index wins. A numbered name ("step3.wav") also finds the family entry
  // that its registration made ("step*.wav"). -1 when nothing matches.
  int FindByName(const char* name) const;

  // The loaded object (a variant entry's first), loading on first use; null for a bad index or
  // when the load fails (the next request tries again).
  void* GetResource(int index);
  // GetResource, but only when the loaded entry is of the given type: a name that finds a picture,
  // a sound or a model built from a mesh gives null (logged) to whoever wants a plain mesh, as if
  // nothing were there.
  void* GetResourceOfType(int index, uint16_t type);
  int GetVariantCount(int index);
  // The variant list, or a plain entry's single object slot; null when nothing is loaded.
  void** GetVariants(int index);
  bool IsLoaded(int index) const;
  // The 16-bit type code; 0 for a bad index.
  uint16_t GetType(int index) const;
  // The entry's path, or null for a bad index or a hole.
  const char* GetPath(int index) const;
  const char* GetPathAt(int index) const { return GetPath(index); }
  // The path exactly as registered, or null.
  const char* GetName(int index) const;

  void Unload(int index);
  void UnloadAll();
  // The world calls this on every clear: the loaded objects go, the registrations stay.
  void ReleaseLevelResources() { UnloadAll(); }
  void ClearEntry(int index);
  void Clear();

  bool LoadIndex(const char* file);
  bool SaveIndex(const char* file);
  bool SaveIndex();
  const char* GetIndexPath() const { return m_indexPath.empty() ? nullptr : m_indexPath.c_str(); }
  uint32_t GetNameChecksum() const { return m_nameChecksum; }

  // Highest index a registration may use; an index file asking for more is refused rather than
  // growing the table without bound.
  static constexpr int kMaxIndex = 65535;

 private:
  ResourceEntry* Entry(int index) const;
  void Load(ResourceEntry& entry);
  ResourceOwner LoadAssetFile(const std::string& path, uint16_t& typeCode) const;
  void LoadFamily(ResourceEntry& entry);
  std::string ApplyLevelFolder(const std::string& path) const;
  static void SetPath(ResourceEntry& entry, const char* path);
  static void UnloadEntry(ResourceEntry& entry);

  std::vector<std::unique_ptr<ResourceEntry>> m_entries;
  std::string m_indexPath;
  uint32_t m_nameChecksum = 0;
  std::unique_ptr<CResourceLoadContext> m_context;
  uint32_t m_meshLoadOptions = 5;
};

// The registration checksum of one path: (7 + sum of i x c_i) << 8 | length.
uint32_t NameHash(const char* text);

// The files of a numbered family: pattern holds one '*' that stands for one or more decimal
// digits. Returns (folder of the pattern + file name, number) sorted by number.
struct VariantFile {
  std::string path;
  uint32_t number;
};
std::vector<VariantFile> ScanDataDirectory(const char* pattern);
