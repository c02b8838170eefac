// CResourceTable: registration, lookup, first-use loading and release of assets, and the index file.
#include "core/data/ResourceTable.h"


#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "core/data/DebugPrintf.h"
#include "core/data/FileBuffer.h"
#include "core/data/TextCompare.h"
#include "core/data/Tokenizer.h"
#include "platform/system/Win32.h"
#include "platform/files/Win32Files.h"

namespace {

// Extension -> type code, compared without regard to case, first match wins.
struct ExtensionType {
  const char* extension;
  uint16_t type;
};
constexpr ExtensionType kExtensionTypes[] = {
    {"MESH", kResourceMesh}, {"TEX", kResourceTexture}, {"TGA", kResourceTarga},
    {"MESH", kResourceRigidBody}, {"MESH", kResourceVehicle}, {"WAV", kResourceSound},
    {"PSYS", kResourceParticles},
};

ResourceLoadFn* Loaders() {
  static ResourceLoadFn loaders[kResourceTypeCount] = {};
  return loaders;
}

// A row matches an extension that begins with its name: texture files are "*.texture" under the
// row "TEX". The rows are tried in order, so the first match wins.
uint16_t TypeFromExtension(const char* extension) {
  for (const ExtensionType& row : kExtensionTypes)
    if (CompareNoCase(extension, row.extension, std::strlen(row.extension)) == 0) return row.type;
  return kResourceNone;
}

std::string SearchForm(std::string text) {
  for (char& c : text) c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Where a numbered family's digits are: [digitsBegin, dot) of a path whose extension starts after
// dot. False when there is no dot or no digit before it.
bool FindFamilyDigits(const std::string& path, size_t* digitsBegin, size_t* dot) {
  const size_t lastDot = path.rfind('.');
  if (lastDot == std::string::npos) return false;
  const size_t separator = path.find_last_of("/\\");
  if (separator != std::string::npos && separator > lastDot) return false;  // the dot is in a folder name
  size_t begin = lastDot;
  while (begin > 0 && std::isdigit(static_cast<unsigned char>(path[begin - 1]))) --begin;
  if (begin == lastDot) return false;
  *digitsBegin = begin;
  *dot = lastDot;
  return true;
}

// The family pattern a numbered path registers as ("tree01.mesh" -> "tree*.mesh"), or empty.
std::string FamilyPattern(const std::string& path) {
  size_t begin = 0;
  size_t dot = 0;
  if (!FindFamilyDigits(path, &begin, &dot)) return std::string();
  return path.substr(0, begin) + "*" + path.substr(dot);
}

// Cuts a looked-up name to start at its "data/" or "data\" unless it starts with "data".
const char* CutToDataFolder(const char* name) {
  if (CompareNoCase(name, "data", 4) == 0) return name;
  for (const char* needle : {"data/", "data\\"}) {
    for (const char* p = name; *p; ++p)
      if (CompareNoCase(p, needle, 5) == 0) return p;
  }
  return name;
}

// 2: the text occurs at the start of a path component; 1: only inside one; 0: not at all.
int MatchRank(const std::string& key, const std::string& text) {
  int rank = 0;
  for (size_t at = key.find(text); at != std::string::npos; at = key.find(text, at + 1)) {
    if (at == 0 || key[at - 1] == '/' || text[0] == '/') return 2;
    rank = 1;
  }
  return rank;
}

bool ParseIndex(const char* token, int* index) {
  if (!*token || std::strlen(token) > 9) return false;
  for (const char* p = token; *p; ++p)
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
  *index = std::atoi(token);
  return *index <= CResourceTable::kMaxIndex;
}

}  // namespace

void CResourceTable::RegisterLoader(uint16_t type, ResourceLoadFn load) {
  if (type == kResourceNone || type >= kResourceTypeCount) {
    DebugPrintf("CResourceTable: no asset type %u to register a loader for\n", static_cast<unsigned>(type));
    return;
  }
  Loaders()[type] = load;
}

ResourceLoadFn CResourceTable::GetLoader(uint16_t type) {
  return type < kResourceTypeCount ? Loaders()[type] : nullptr;
}

CResourceTable::~CResourceTable() {
  ReleaseFileBufferCache();
  Clear();
}

ResourceEntry* CResourceTable::Entry(int index) const {
  if (index < 0 || index >= static_cast<int>(m_entries.size())) return nullptr;
  return m_entries[static_cast<size_t>(index)].get();
}

void CResourceTable::SetPath(ResourceEntry& entry, const char* path) {
  UnloadEntry(entry);
  entry.name = path;
  const char* dot = std::strrchr(path, '.');
  const uint16_t code = dot ? TypeFromExtension(dot + 1) : static_cast<uint16_t>(kResourceNone);
  const std::string family = FamilyPattern(entry.name);
  if (!family.empty()) {
    entry.path = family;
    entry.type = code | kResourceVariantBit;
  } else {
    entry.path = entry.name;
    entry.type = code;
  }
  entry.searchKey = SearchForm(entry.path);
}

int CResourceTable::Add(const char* path) {
  if (!path || !*path) {
    DebugPrintf("CResourceTable: Add of an empty path\n");
    return -1;
  }
  const int index = FirstFreeIndex();
  if (index > kMaxIndex) {
    DebugPrintf("CResourceTable: table full, '%s' not registered\n", path);
    return -1;
  }
  if (index == GetCount()) m_entries.push_back(std::make_unique<ResourceEntry>());
  SetPath(*m_entries[static_cast<size_t>(index)], path);
  m_nameChecksum += NameHash(path);
  return index;
}

bool CResourceTable::AddAt(int index, const char* path) {
  if (!path || !*path || index < 0 || index > kMaxIndex) {
    DebugPrintf("CResourceTable: cannot register '%s' at index %d\n", path ? path : "", index);
    return false;
  }
  while (GetCount() <= index) m_entries.push_back(std::make_unique<ResourceEntry>());
  ClearEntry(index);
  SetPath(*m_entries[static_cast<size_t>(index)], path);
  return true;
}

int CResourceTable::FirstFreeIndex() const {
  for (size_t i = 0; i < m_entries.size(); ++i)
    if (!m_entries[i]->HasPath()) return static_cast<int>(i);
  return GetCount();
}

int CResourceTable::FindByName(const char* name) const {
  if (!name) return -1;
  const std::string wanted = SearchForm(CutToDataFolder(name));
  if (wanted.empty()) return -1;  // an empty name would match every entry
  // A numbered path is registered as its family ("step3.wav" as "step*.wav"), so a lookup by the
  // very text it was registered with, or by any other member's name, must find that family:
  // otherwise the table would deny knowing a path it holds, and "register unless known" (the
  // asset preloader) would add every member again as one more copy of the same family, on every
  // scan. The family is the only entry whose objects include that file; GetResource gives its
  // first member, and a caller after one particular member picks it from GetVariants.
  const std::string wantedFamily = FamilyPattern(wanted);
  int inside = -1;
  for (size_t i = 0; i < m_entries.size(); ++i) {
    const ResourceEntry& entry = *m_entries[i];
    if (!entry.HasPath()) continue;
    int rank = MatchRank(entry.searchKey, wanted);
    if (rank < 2 && entry.IsVariant() && !wantedFamily.empty())
      rank = std::max(rank, MatchRank(entry.searchKey, wantedFamily));
    if (rank == 2) return static_cast<int>(i);
    if (rank == 1 && inside < 0) inside = static_cast<int>(i);
  }
  return inside;
}

std::string CResourceTable::ApplyLevelFolder(const std::string& path) const {
  if (!m_context) return path;
  const std::string level = m_context->GetLevelFolder();
  if (level.empty() || CompareNoCase(path.c_str(), level.c_str(), 4) == 0) return path;
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return path;
  std::string lower(level);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  size_t at = lower.find("data/");
  if (at == std::string::npos) at = lower.find("data\\");
  if (at == std::string::npos) return path;
  return level.substr(0, at) + path;
}

ResourceOwner CResourceTable::LoadAssetFile(const std::string& requested, uint16_t& typeCode) const {
  const std::string path = ApplyLevelFolder(requested);
  // Rigid-body models and vehicle definitions are built from mesh files by the mesh loader.
  const uint16_t loaderType =
      typeCode == kResourceRigidBody || typeCode == kResourceVehicle ? static_cast<uint16_t>(kResourceMesh) : typeCode;
  const ResourceLoadFn load = GetLoader(loaderType);
  if (!load) {
    DebugPrintf("CResourceTable: no loader for asset type %u, '%s' not loaded\n", static_cast<unsigned>(typeCode),
                path.c_str());
    return ResourceOwner();
  }
  ResourceLoadRequest request;
  request.path = path.c_str();
  request.meshLoadOptions = m_meshLoadOptions;
  request.detail = m_context ? m_context->GetTextureDetail() : 0;
  request.keepTexturePixels = m_context ? m_context->KeepTexturePixels() : true;
  return load(request, typeCode);
}

void CResourceTable::Load(ResourceEntry& entry) {
  if (entry.IsLoaded() || !entry.HasPath()) return;
  if (!entry.IsVariant()) {
    uint16_t code = static_cast<uint16_t>(entry.type);
    ResourceOwner object = LoadAssetFile(entry.path, code);
    if (!object) return;
    entry.type = code;
    entry.objects.push_back(object.get());
    entry.owners.push_back(std::move(object));
    entry.loaded = true;
    return;
  }
  LoadFamily(entry);
}

// Every member of a family must come out as the same kind: the entry has one type code, and users
// cast what they get by it. A family whose files load as different kinds (a rigid body beside a
// plain mesh) is refused whole, and holds an empty list like a family of no files.
void CResourceTable::LoadFamily(ResourceEntry& entry) {
  uint16_t code = static_cast<uint16_t>(entry.type);
  bool loadedAny = false;
  bool mixed = false;
  for (const VariantFile& file : ScanDataDirectory(entry.path.c_str())) {
    uint16_t fileCode = static_cast<uint16_t>(entry.type);
    ResourceOwner object = LoadAssetFile(file.path, fileCode);
    if (object) {
      mixed = mixed || (loadedAny && fileCode != code);
      code = fileCode;
      loadedAny = true;
    }
    entry.objects.push_back(object.get());
    entry.owners.push_back(std::move(object));
  }
  if (mixed) {
    DebugPrintf("CResourceTable: the files of '%s' are not all of one kind; the family is refused\n",
                entry.path.c_str());
    UnloadEntry(entry);
    code = static_cast<uint16_t>(entry.type);
  }
  entry.loaded = true;
  entry.type = code | kResourceVariantBit;
}

void* CResourceTable::GetResource(int index) {
  ResourceEntry* entry = Entry(index);
  if (!entry) return nullptr;
  Load(*entry);
  return entry->objects.empty() ? nullptr : entry->objects.front();
}

void* CResourceTable::GetResourceOfType(int index, uint16_t type) {
  void* object = GetResource(index);
  if (object == nullptr || GetType(index) == type) return object;
  DebugPrintf("CResourceTable: '%s' is an asset of type %u, not %u; not used\n", GetName(index),
              static_cast<unsigned>(GetType(index)), static_cast<unsigned>(type));
  return nullptr;
}

int CResourceTable::GetVariantCount(int index) {
  ResourceEntry* entry = Entry(index);
  if (!entry) return 0;
  Load(*entry);
  return static_cast<int>(entry->objects.size());
}

void** CResourceTable::GetVariants(int index) {
  ResourceEntry* entry = Entry(index);
  if (!entry) return nullptr;
  Load(*entry);
  return entry->objects.empty() ? nullptr : entry->objects.data();
}

bool CResourceTable::IsLoaded(int index) const {
  const ResourceEntry* entry = Entry(index);
  if (!entry) {
    // The bare text, without a line end: this message has always been written so.
    OutputDebugStringA("invalid id");
    return false;
  }
  return entry->IsLoaded();
}

uint16_t CResourceTable::GetType(int index) const {
  const ResourceEntry* entry = Entry(index);
  return entry ? static_cast<uint16_t>(entry->type) : 0;
}

const char* CResourceTable::GetPath(int index) const {
  const ResourceEntry* entry = Entry(index);
  return entry && entry->HasPath() ? entry->path.c_str() : nullptr;
}

const char* CResourceTable::GetName(int index) const {
  const ResourceEntry* entry = Entry(index);
  return entry && entry->HasPath() ? entry->name.c_str() : nullptr;
}

void CResourceTable::UnloadEntry(ResourceEntry& entry) {
  entry.objects.clear();  // the pointers first, so none is left to a deleted asset
  entry.owners.clear();
  entry.loaded = false;
}

void CResourceTable::Unload(int index) {
  if (ResourceEntry* entry = Entry(index)) UnloadEntry(*entry);
}

void CResourceTable::UnloadAll() {
  for (auto& entry : m_entries) UnloadEntry(*entry);
}

void CResourceTable::ClearEntry(int index) {
  ResourceEntry* entry = Entry(index);
  if (!entry) return;
  UnloadEntry(*entry);
  *entry = ResourceEntry();
}

void CResourceTable::Clear() {
  for (int i = 0; i < GetCount(); ++i) ClearEntry(i);
  m_entries.clear();
  m_indexPath.clear();
  m_nameChecksum = 0;
}

// The whole file is read and checked before the table changes: a refused file leaves the
// table, and the index file it remembers, as they were.
bool CResourceTable::LoadIndex(const char* file) {
  if (!file) return false;
  char* text = LoadFileToBuffer(file);
  if (!text) return false;
  // Long enough for any path; a longer token would be split and misread as two records.
  CTokenizer tokens(text, "()[]{}<>;:,", "//", 4096);
  std::vector<std::pair<int, std::string>> records;
  bool ok = true;
  for (;;) {
    std::string path = tokens.NextToken();
    if (path.empty()) break;
    if (path.size() == 1) {
      OutputDebugStringA("Parse Error: Unexpected EOF\n");
      ok = false;
      break;
    }
    const std::string number = tokens.NextToken();
    int index = 0;
    if (!ParseIndex(number.c_str(), &index)) {
      DebugPrintf("CResourceTable: bad index '%s' for '%s' in '%s'\n", number.c_str(), path.c_str(), file);
      ok = false;
      break;
    }
    records.emplace_back(index, std::move(path));
  }
  FreeFileBuffer(text);
  if (!ok) return false;
  Clear();
  for (const auto& record : records) AddAt(record.first, record.second.c_str());
  m_indexPath = file;
  return true;
}

bool CResourceTable::SaveIndex(const char* file) {
  if (!file || !*file) return false;
  HANDLE out = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) {
    OutputDebugStringA("Error Creating File - Check Path and File Exists!\n");
    return false;
  }
  std::string text;
  for (size_t i = 0; i < m_entries.size(); ++i) {
    if (!m_entries[i]->HasPath()) continue;
    text += m_entries[i]->name;  // as registered, so that loading it back registers the same entry
    text += "    " + std::to_string(i) + "\r\n";
  }
  DWORD written = 0;
  const BOOL ok = WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(out);
  if (!ok || written != text.size()) {
    DebugPrintf("CResourceTable: could not write the whole index file '%s'\n", file);
    return false;
  }
  m_indexPath = file;
  return true;
}

bool CResourceTable::SaveIndex() {
  if (m_indexPath.empty()) return false;
  const std::string file = m_indexPath;
  return SaveIndex(file.c_str());
}

uint32_t NameHash(const char* text) {
  if (!text) return 0x700;
  uint32_t h = 7;
  uint32_t n = 0;
  for (const char* p = text; *p; ++p) {
    ++n;
    h += n * static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
  }
  return (h << 8) | n;
}

std::vector<VariantFile> ScanDataDirectory(const char* pattern) {
  std::vector<VariantFile> files;
  if (!pattern) return files;
  const std::string text(pattern);
  const size_t star = text.find('*');
  if (star == std::string::npos) return files;
  const size_t separator = text.find_last_of("/\\");
  const std::string folder = separator == std::string::npos ? std::string() : text.substr(0, separator + 1);
  const size_t stemBegin = separator == std::string::npos ? 0 : separator + 1;
  if (star < stemBegin) return files;  // a '*' in a folder name is no family
  const std::string stem = text.substr(stemBegin, star - stemBegin);
  const std::string tail = text.substr(star + 1);

  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::string name = found.cFileName;
    if (name.size() <= stem.size() + tail.size()) continue;
    if (CompareNoCase(name.c_str(), stem.c_str(), stem.size()) != 0) continue;
    if (CompareNoCase(name.c_str() + name.size() - tail.size(), tail.c_str()) != 0) continue;
    const std::string digits = name.substr(stem.size(), name.size() - stem.size() - tail.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos) continue;
    // Numbers too long for 32 bits saturate rather than wrap, which keeps the order sensible.
    const unsigned long long value = std::strtoull(digits.c_str(), nullptr, 10);
    files.push_back(VariantFile{folder + name, value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(value)});
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::stable_sort(files.begin(), files.end(),
                   [](const VariantFile& a, const VariantFile& b) { return a.number < b.number; });
  return files;
}
