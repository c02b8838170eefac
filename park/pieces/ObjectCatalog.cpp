#include "park/pieces/ObjectCatalog.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/data/DataFileName.h"
#include "core/data/DebugPrintf.h"
#include "core/data/ResourceTable.h"
#include "core/data/TextCompare.h"
#include "park/world/ParkState.h"
#include "platform/files/FileSystem.h"
#include "platform/files/ProfileFile.h"

namespace {

constexpr DWORD kValueSize = 256;
constexpr int kSponsorPieceType = 19;
// The most money a park holds (its whole money is 32 bits): a price beyond it can never be paid, a
// fee or running cost beyond it would empty any park at one use or in a moment.
constexpr double kMostMoney = 2147483647.0;
// Sizes and ratings as a float takes them: well inside its range, so sums of them stay numbers.
constexpr double kMostMeasure = 1e9;

std::string ReadKey(const CProfileFile& file, const char* section, const char* key, const char* fallback = "") {
  char buffer[kValueSize];
  file.GetString(section, key, fallback, buffer, kValueSize);
  return buffer;
}

int ReadInt(const CProfileFile& file, const char* section, const char* key) {
  return std::atoi(ReadKey(file, section, key).c_str());
}

// A list names one entry per section of its file; a count beyond that is damage, and reading it
// would cost work out of all proportion to the file.
int CountWithin(const CProfileFile& file, int count, const char* what, const std::string& path) {
  if (count <= 0 || static_cast<size_t>(count) <= file.GetSectionCount()) return count;
  DebugPrintf("Catalog: %s lists %d %s but has %u sections; only as many are read\n", path.c_str(), count, what,
              static_cast<unsigned>(file.GetSectionCount()));
  return static_cast<int>(file.GetSectionCount());
}

std::string SectionName(const char* format, int n) {
  char name[32];
  std::snprintf(name, sizeof(name), format, n);
  return name;
}

bool SameWord(const char* a, const char* b) { return EqualNoCase(a, b); }

int ClampInt(int v, int low, int high) { return v < low ? low : v > high ? high : v; }

int StyleOf(int type) {
  if (type == 3 || type == 7 || type == 9) return 0;  // pool, curb, stairs
  return type == 4 ? 2 : 1;                            // rail
}

int FindResource(const std::string& name) {
  CGameWorld* world = GetGameWorld();
  CResourceTable* table = world != nullptr ? world->GetResourceTable() : nullptr;
  return table != nullptr && !name.empty() ? table->FindByName(name.c_str()) : -1;
}

int ResourceOrMissing(const std::string& name) {
  const int found = FindResource(name);
  return found >= 0 ? found : FindResource("missing.tga");
}

// The icon beside a mesh: the mesh name with its extension replaced by ".tga", or ".tga"
// appended when it has none.
std::string IconNameFor(const std::string& mesh) {
  const size_t dot = mesh.rfind('.');
  const size_t slash = mesh.find_last_of("/\\");
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? mesh.substr(0, dot) : mesh) + ".tga";
}

const char* const kTypeKeywords[][2] = {
    {"half_pipe", "0"}, {"decking", "1"},  {"street_ramp", "2"}, {"pool", "3"},         {"rail", "4"},
    {"bench", "5"},     {"slope", "6"},    {"curb", "7"},        {"funbox", "8"},       {"stairs", "9"},
    {"decor", "11"},    {"bathroom", "13"}, {"food_stand", "14"}, {"drink_stand", "15"}, {"tshirt_stand", "16"},
    {"skate_shop", "17"}, {"medic", "18"},
};

}  // namespace

// What one catalog file gives, read once however many lists name it: its entries of each kind
// (a section list reads sponsorships, a facility list does not), the definitions of its
// [objectN] sections, and the category IDs whose places already hold copies of them.
struct CObjectCatalog::CategoryFile {
  explicit CategoryFile(const std::string& name) : path(name), file(name.c_str()) {}
  struct Kind {
    std::shared_ptr<std::vector<CatalogItem>> items;                       // null until first read
    std::vector<std::array<const ObjectDefinition*, kVariants>> variants;  // per entry, null where none
    std::set<int> storedFor;
  };
  std::string path;
  CProfileFile file;
  Kind kinds[2];
  std::map<int, std::unique_ptr<ObjectDefinition>> definitions;  // by section number, those read
};

// What stored a place of the table: an entry of a file's list of one kind, for one category ID.
struct CObjectCatalog::Holder {
  CategoryFile::Kind* kind = nullptr;  // null for sponsor pieces
  int categoryId = 0;
  size_t entry = 0;
  bool SameStore(const Holder& other) const { return kind == other.kind && categoryId == other.categoryId; }
  bool operator==(const Holder& other) const { return SameStore(other) && entry == other.entry; }
};

// The catalog files of one load, each read and indexed once however many keys are asked of it,
// and the icons of one load, each loaded once however many entries show it.
struct CObjectCatalog::OpenFiles {
  // Which entry stored each place of the table this load.
  std::vector<Holder> holders = std::vector<Holder>(kTableSize);

  // A file by what it is, not by how a list spells it: spelt a hundred ways, a list's own file
  // would otherwise be read a hundred times. Files that do not exist read as empty and are told
  // apart by their resolved paths.
  std::map<plat::FileIdentity, std::unique_ptr<CategoryFile>> byIdentity;
  std::map<std::string, std::unique_ptr<CategoryFile>> missing;
  std::map<int, CImageRef> icons;  // by resource
  std::map<std::string, CImageRef> resourceIcons;  // by name, for names the table does not hold

  CategoryFile& Get(const std::string& path) {
    plat::FileIdentity identity;
    std::unique_ptr<CategoryFile>& entry = plat::GetFileIdentity(path.c_str(), identity)
                                               ? byIdentity[identity]
                                               : missing[plat::ResolvePath(path.c_str())];
    if (entry == nullptr) entry = std::make_unique<CategoryFile>(path);
    return *entry;
  }

  // The definition of the file's [objectN] section, read the first time it is asked for.
  const ObjectDefinition* Definition(CategoryFile& file, int section) {
    auto known = file.definitions.find(section);
    if (known != file.definitions.end()) return known->second.get();
    std::unique_ptr<ObjectDefinition> read = ReadObject(*this, file.file, section);
    if (read == nullptr) return nullptr;  // absent sections are many and cheap to ask again
    return (file.definitions[section] = std::move(read)).get();
  }

  // Every entry without an icon of its own shows the missing-icon picture: one copy serves them all.
  // A name that no file of the table answers, not even with that picture, is looked for among the
  // program's own resources.
  CImageRef Icon(int resource, const std::string& name) {
    if (resource < 0) return ResourceIcon(name);
    auto known = icons.find(resource);
    if (known != icons.end()) return known->second;
    CGameWorld* world = GetGameWorld();
    CResourceTable* table = world != nullptr ? world->GetResourceTable() : nullptr;
    const char* path = table != nullptr ? table->GetPath(resource) : nullptr;
    CImageRef image = path != nullptr ? LoadImageFile(path) : CImageRef();
    icons.emplace(resource, image);
    return image;
  }

  // The program keeps no images among its resources, so this finds none; said once per name.
  CImageRef ResourceIcon(const std::string& name) {
    if (name.empty()) return CImageRef();
    auto known = resourceIcons.find(name);
    if (known != resourceIcons.end()) return known->second;
    CImageRef image = LoadImageFromResource(name.c_str());
    if (image.IsNull()) DebugPrintf("Catalog: no file or program resource holds the icon %s\n", name.c_str());
    resourceIcons.emplace(name, image);
    return image;
  }
};

CObjectCatalog::CObjectCatalog() : m_table(kTableSize) {}

CObjectCatalog::~CObjectCatalog() = default;

int CObjectCatalog::TypeFromKeyword(const char* word) {
  if (word == nullptr) return 0;
  for (const auto& entry : kTypeKeywords)
    if (SameWord(word, entry[0])) return std::atoi(entry[1]);
  return 0;
}

int CObjectCatalog::PositionOf(int categoryId, int idx, int variant, bool facility) {
  // Computed wide: hostile ids must not overflow before they are refused.
  const long long block = static_cast<long long>(idx) + static_cast<long long>(categoryId) * 100 + 10;
  const long long position = variant + block * 10;
  // Sections fill 0 to 19999, facilities 20000 to 29999: the sponsor pieces follow them.
  const long long limit = facility ? kSponsorBase - kFacilityBase : kFacilityBase;
  if (variant < 0 || variant >= kVariants || position < 0 || position >= limit) return -1;
  return static_cast<int>(position) + (facility ? kFacilityBase : 0);
}

const ObjectDefinition* CObjectCatalog::GetDefinition(int position) const {
  return position >= 0 && position < kTableSize ? m_table[static_cast<size_t>(position)].get() : nullptr;
}

const ObjectDefinition* CObjectCatalog::GetEntry(int categoryId, int idx, int variant, bool facility) const {
  return GetDefinition(PositionOf(categoryId, idx, variant, facility));
}

int CObjectCatalog::CountDefinitions() const {
  int n = 0;
  for (const auto& d : m_table) n += d != nullptr ? 1 : 0;
  return n;
}

void CObjectCatalog::Free() {
  for (auto& d : m_table) d.reset();
  m_sections.clear();
  m_facilities.clear();
}

void CObjectCatalog::Load(const std::string& root) {
  Free();
  const std::string base = root.empty() ? std::string() : (root.back() == '/' ? root : root + "/");
  OpenFiles files;
  LoadCategories(files, base, "data\\objects\\categories.ini", false, m_sections);
  LoadCategories(files, base, "data\\objects\\facilities.ini", true, m_facilities);
  LoadSponsors(files, base);
}

void CObjectCatalog::LoadCategories(OpenFiles& files, const std::string& root, const char* listFile, bool facility,
                                    std::vector<CatalogCategory>& out) {
  const std::string listPath = root + listFile;
  const CProfileFile& list = files.Get(listPath).file;
  int count = ReadInt(list, "header", "NumCategories");
  // Every category needs its own section of the list file; a count beyond what any file could
  // hold is damage, not a catalog.
  if (count < 0 || count > 1000) {
    DebugPrintf("Catalog: %s lists %d categories; none read\n", listFile, count);
    return;
  }
  count = CountWithin(list, count, "categories", listPath);
  out.resize(static_cast<size_t>(count));
  for (int i = 1; i <= count; ++i) {
    const std::string file = ReadKey(list, SectionName("Cat%i", i).c_str(), "INIFile");
    // A category whose file name leads out of the objects folder keeps its button, with no entries.
    const bool inside = IsNameInsideFolder(file.c_str(), "Catalog");
    LoadCategory(files, list, inside ? root + "data\\objects\\" + file : std::string(), i, facility,
                 out[static_cast<size_t>(i - 1)]);
  }
}

void CObjectCatalog::LoadCategory(OpenFiles& files, const CProfileFile& list, const std::string& categoryPath,
                                  int number, bool facility, CatalogCategory& category) {
  const std::string cat = SectionName("Cat%i", number);
  category.iconName = ReadKey(list, cat.c_str(), "Targa").substr(0, 31);
  category.popUpText = ReadKey(list, cat.c_str(), "PopUpText");
  category.categoryId = ReadInt(list, cat.c_str(), "CategoryID");
  if (categoryPath.empty()) return;
  CategoryFile& file = files.Get(categoryPath);
  CategoryFile::Kind& kind = file.kinds[facility ? 1 : 0];
  if (kind.items == nullptr) {
    kind.items = std::make_shared<std::vector<CatalogItem>>();
    ReadEntries(files, file, facility);
  }
  // Named again, a file gives its entries again, but not the work of reading them: every category
  // of it shares one list, and its definitions are copied once to each category ID's places.
  category.items = CatalogItemList(kind.items);
  if (kind.storedFor.insert(category.categoryId).second) StoreEntries(files, file, category.categoryId, facility);
}

void CObjectCatalog::ReadEntries(OpenFiles& files, CategoryFile& categoryFile, bool facility) {
  const CProfileFile& file = categoryFile.file;
  const std::string& path = categoryFile.path;
  CategoryFile::Kind& kind = categoryFile.kinds[facility ? 1 : 0];
  int count = ReadInt(file, "Header", "NumInCategory");
  if (count < 0 || count > 1000) {
    DebugPrintf("Catalog: %s lists %d entries; none read\n", path.c_str(), count);
    return;
  }
  count = CountWithin(file, count, "entries", path);
  std::vector<CatalogItem>& items = *kind.items;
  items.resize(static_cast<size_t>(count));
  kind.variants.assign(static_cast<size_t>(count), {});
  for (int j = 1; j <= count; ++j) {
    CatalogItem& item = items[static_cast<size_t>(j - 1)];
    const std::string entryName = SectionName("Object%i", j);
    const char* e = entryName.c_str();
    const std::string icon = ReadKey(file, e, "Targa");
    item.icon = files.Icon(ResourceOrMissing(icon), icon);
    item.type = TypeFromKeyword(ReadKey(file, e, "type").c_str());
    item.idx = ReadInt(file, e, "idx");
    item.name = ReadKey(file, e, "name");
    const int sponsorship = facility ? -1 : ReadInt(file, e, "sponsorship");
    const bool sponsored = !facility && !ReadKey(file, e, "sponsorship").empty();
    item.sponsorshipIndex = sponsored && sponsorship >= 0 && sponsorship <= 3 ? sponsorship : -1;
    // Every variant is tried; a missing one does not stop the others. Section numbers are worked
    // out wide: a hostile idx must not overflow before it names no section.
    item.variantCount = 0;
    for (int v = 0; v < kVariants; ++v) {
      const long long section = 100 + 10 * static_cast<long long>(item.idx) + v;
      if (section < INT32_MIN || section > INT32_MAX) break;
      const ObjectDefinition* definition = files.Definition(categoryFile, static_cast<int>(section));
      kind.variants[static_cast<size_t>(j - 1)][static_cast<size_t>(v)] = definition;
      if (definition != nullptr) ++item.variantCount;
    }
  }
}

void CObjectCatalog::StoreEntries(OpenFiles& files, CategoryFile& file, int categoryId, bool facility) {
  CategoryFile::Kind& kind = file.kinds[facility ? 1 : 0];
  int outside = 0;
  for (size_t j = 0; j < kind.variants.size(); ++j) {
    const CatalogItem& item = (*kind.items)[j];
    for (int v = 0; v < kVariants; ++v) {
      const ObjectDefinition* read = kind.variants[j][static_cast<size_t>(v)];
      if (read == nullptr) continue;
      const int position = PositionOf(categoryId, item.idx, v, facility);
      if (position < 0) {
        ++outside;
        break;
      }
      // Stored again after another file took some of its places: the rest still hold these copies.
      const Holder holder{&kind, categoryId, j};
      if (files.holders[static_cast<size_t>(position)] == holder) continue;
      auto definition = std::make_unique<ObjectDefinition>(*read);
      definition->type = item.type;
      definition->styleCode = StyleOf(item.type);
      definition->catalogNumber = static_cast<uint16_t>(position);
      Store(files, position, std::move(definition), holder);
    }
  }
  if (outside > 0)
    DebugPrintf("Catalog: %d entries of %s lie outside the table for category %d\n", outside, file.path.c_str(),
                categoryId);
}

void CObjectCatalog::LoadSponsors(OpenFiles& files, const std::string& root) {
  const std::string path = root + "data\\objects\\sponsors.ini";
  const CProfileFile& file = files.Get(path).file;
  int count = ReadInt(file, "header", "NumSponsors");
  if (count < 0 || count > kMaxSponsors) {
    DebugPrintf("Catalog: %d sponsor pieces listed; at most %d are read\n", count, kMaxSponsors);
    count = count < 0 ? 0 : kMaxSponsors;
  }
  for (int i = 0; i < count; ++i) {
    std::unique_ptr<ObjectDefinition> definition = ReadObject(files, file, 100 + 10 * (i + 1));
    if (definition == nullptr) continue;
    definition->type = kSponsorPieceType;
    definition->styleCode = StyleOf(kSponsorPieceType);
    definition->catalogNumber = static_cast<uint16_t>(kSponsorBase + i);
    Store(files, kSponsorBase + i, std::move(definition), Holder());
  }
}

void CObjectCatalog::Store(OpenFiles& files, int position, std::unique_ptr<ObjectDefinition> definition,
                           const Holder& holder) {
  std::unique_ptr<ObjectDefinition>& slot = m_table[static_cast<size_t>(position)];
  Holder& before = files.holders[static_cast<size_t>(position)];
  if (slot != nullptr) {
    // Entries that share an idx (often both without one) replace each other: the one read last
    // is kept. Said, since it is rarely meant.
    DebugPrintf("Catalog: two definitions for catalog number %d; the later is kept\n", position);
    // The file that lost the place must store again when a later category names it once more.
    if (before.kind != nullptr && !before.SameStore(holder)) before.kind->storedFor.erase(before.categoryId);
  }
  slot = std::move(definition);
  before = holder;
}

namespace {

// The number of a definition key (the fallback when the key is missing); an empty value keeps out
// as it is. False when the number lies outside [low, high] or is none ("nan", "inf").
bool ReadNumber(const CProfileFile& file, const char* section, const char* key, const char* fallback, double low,
                double high, double& out) {
  const std::string text = ReadKey(file, section, key, fallback);
  if (text.empty()) return true;
  out = std::atof(text.c_str());
  return out >= low && out <= high;
}

}  // namespace

std::unique_ptr<ObjectDefinition> CObjectCatalog::ReadObject(OpenFiles& files, const CProfileFile& file,
                                                             int sectionNumber) {
  const std::string section = SectionName("object%d", sectionNumber);
  const char* s = section.c_str();
  int width = 0, length = 0;
  float height = 0.0f;
  if (std::sscanf(ReadKey(file, s, "size").c_str(), "%d , %d , %f", &width, &length, &height) != 3) return nullptr;
  const std::string mesh = ReadKey(file, s, "mesh");
  if (mesh.empty()) return nullptr;
  // Numbers no park makes leave the definition out rather than reaching the money as they are.
  double cost = 0.0, fee = 0.0, running = 0.0, ratings = 0.0;
  if (!ReadNumber(file, s, "cost", "", 0.0, kMostMoney, cost) ||
      !ReadNumber(file, s, "usefee", "", 0.0, kMostMoney, fee) ||
      !ReadNumber(file, s, "operating_cost", "", -kMostMoney, kMostMoney, running) ||
      !ReadNumber(file, s, "ratings_points", "1.0", -kMostMeasure, kMostMeasure, ratings) ||
      !(std::fabs(height) <= kMostMeasure)) {
    DebugPrintf("Catalog: [%s] holds a price, fee or size no park makes; left out\n", s);
    return nullptr;
  }
  auto d = std::make_unique<ObjectDefinition>();
  // Footprints live in a fixed 20 x 20 block: sizes outside 1..20 are clamped, not trusted.
  d->footprintWidth = ClampInt(width, 1, ObjectDefinition::kMaxFootprint);
  d->footprintLength = ClampInt(length, 1, ObjectDefinition::kMaxFootprint);
  d->height = height;
  const std::string footprint = ReadKey(file, s, "footprint");
  const size_t cells = static_cast<size_t>(d->footprintWidth * d->footprintLength);
  for (size_t k = 0; k < cells; ++k) {
    const bool occupied = footprint.empty() || (k < footprint.size() && footprint[k] == '1');
    d->footprint[k / static_cast<size_t>(d->footprintWidth)][k % static_cast<size_t>(d->footprintWidth)] = occupied;
  }
  d->mesh = FindResource(mesh);
  d->icon = ResourceOrMissing(IconNameFor(mesh));
  d->cost = cost;
  std::snprintf(d->name, sizeof(d->name), "%s", ReadKey(file, s, "name").c_str());
  d->ratingsPoints = static_cast<float>(ratings);
  d->useFee = static_cast<float>(fee);
  d->operatingCost = static_cast<float>(running);
  const std::string snap = ReadKey(file, s, "gridsnap");
  if (!snap.empty()) d->snapToGrid = std::atoi(snap.c_str());
  d->vertical = std::atoi(ReadKey(file, s, "vert").c_str()) == 1 ? 1 : 0;
  d->iconImage = files.Icon(d->icon, IconNameFor(mesh));
  return d;
}

bool CatalogItem::IsUnlocked(const ParkState& park) const {
  if (static_cast<uint32_t>(sponsorshipIndex) >= static_cast<uint32_t>(ParkState::kSponsorshipSlots)) return true;
  return park.sponsorships[sponsorshipIndex].sponsorObjectID != -1;
}

CObjectCatalog& GetObjectCatalog() {
  static CObjectCatalog catalog;
  return catalog;
}

void LoadObjectCatalog() { GetObjectCatalog().Load(std::string()); }
void FreeObjectCatalog() { GetObjectCatalog().Free(); }
const ObjectDefinition* GetCatalogEntry(int categoryId, int idx, int variant, bool facility) {
  return GetObjectCatalog().GetEntry(categoryId, idx, variant, facility);
}
const ObjectDefinition* GetSectionDef(int index) { return GetObjectCatalog().GetDefinition(index); }
const ObjectDefinition* GetSponsorEntry(int i) { return GetObjectCatalog().GetSponsorEntry(i); }
