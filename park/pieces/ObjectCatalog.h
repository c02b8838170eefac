// CObjectCatalog: the catalogs of buyable objects read from the INI files under data/objects/ -
// the section and facility categories with their entries, and the one table of definitions.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "park/pieces/CatalogItem.h"
#include "park/pieces/CatalogItemList.h"
#include "park/pieces/ObjectDefinition.h"

class CProfileFile;

struct CatalogCategory {
  std::string iconName;  // at most 31 characters
  std::string popUpText;
  int categoryId = 0;
  CatalogItemList items;  // shared with every category of the same file and kind
};

class CObjectCatalog {
 public:
  static constexpr int kTableSize = 30100;
  static constexpr int kFacilityBase = 20000;
  static constexpr int kSponsorBase = 30000;
  static constexpr int kMaxSponsors = 100;
  static constexpr int kVariants = 10;

  CObjectCatalog();
  ~CObjectCatalog();
  CObjectCatalog(const CObjectCatalog&) = delete;
  CObjectCatalog& operator=(const CObjectCatalog&) = delete;

  // (Re)reads every catalog file below root (the working directory when empty), each file once. A
  // count of categories or entries above the sections of its file is cut to them. Categories whose
  // lists name the same file share the entries read from it, each with its definitions at the
  // places of its own category ID; where two definitions fall on one place the later one read is
  // kept. A definition whose numbers no park makes (a price beyond the most money a park holds, a
  // fee or cost that is no number) is left out, logged.
  void Load(const std::string& root);
  // Deletes every definition and category.
  void Free();

  // Null for positions outside the table or with nothing stored.
  const ObjectDefinition* GetDefinition(int position) const;
  const ObjectDefinition* GetEntry(int categoryId, int idx, int variant, bool facility) const;
  const ObjectDefinition* GetSponsorEntry(int i) const { return GetDefinition(kSponsorBase + i); }
  int CountDefinitions() const;
  const std::vector<CatalogCategory>& GetSectionCategories() const { return m_sections; }
  const std::vector<CatalogCategory>& GetFacilityCategories() const { return m_facilities; }

  // The type number of a catalog keyword (case ignored); 0 for words not in the table.
  static int TypeFromKeyword(const char* word);
  // The table position of a variant, or -1 when it falls outside its part of the table.
  static int PositionOf(int categoryId, int idx, int variant, bool facility);

 private:
  struct OpenFiles;
  struct CategoryFile;
  struct Holder;
  void LoadCategories(OpenFiles& files, const std::string& root, const char* listFile, bool facility,
                      std::vector<CatalogCategory>& out);
  void LoadCategory(OpenFiles& files, const CProfileFile& list, const std::string& categoryPath, int number,
                    bool facility, CatalogCategory& category);
  // The entries of a category file of one kind, read the first time a category names it.
  static void ReadEntries(OpenFiles& files, CategoryFile& file, bool facility);
  // Stores copies of the file's definitions at the places of one category ID.
  void StoreEntries(OpenFiles& files, CategoryFile& file, int categoryId, bool facility);
  void LoadSponsors(OpenFiles& files, const std::string& root);
  static std::unique_ptr<ObjectDefinition> ReadObject(OpenFiles& files, const CProfileFile& file, int section);
  // Two definitions for one place: the later one is kept, and the clash logged.
  void Store(OpenFiles& files, int position, std::unique_ptr<ObjectDefinition> definition, const Holder& holder);

  std::vector<CatalogCategory> m_sections;
  std::vector<CatalogCategory> m_facilities;
  std::vector<std::unique_ptr<ObjectDefinition>> m_table;
};

// The program's one catalog, alive for the whole run.
CObjectCatalog& GetObjectCatalog();
void LoadObjectCatalog();
void FreeObjectCatalog();
const ObjectDefinition* GetCatalogEntry(int categoryId, int idx, int variant, bool facility);
const ObjectDefinition* GetSectionDef(int index);
const ObjectDefinition* GetSponsorEntry(int i);
