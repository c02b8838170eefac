// The demo catalogs read back through the catalog loader: counts, a few entries, and every mesh
// and icon they name being one the demo writers produce.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "park/pieces/ObjectCatalog.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentCatalog.h"
#include "tools/DemoContentImages.h"

namespace {

using testing_support::TempFolder;

TEST(DemoCatalog, LoadsThroughTheCatalogReader) {
  TempFolder folder;
  ASSERT_TRUE(DemoContent::WriteCatalogs(folder.MakeFolder("data")));
  testing_support::DebugCapture log;
  CObjectCatalog catalog;
  catalog.Load(folder.Path());
  EXPECT_EQ(log.Text().find("two definitions"), std::string::npos);

  const auto& sections = catalog.GetSectionCategories();
  ASSERT_EQ(sections.size(), 4u);
  EXPECT_EQ(sections[0].popUpText, "Ramps");
  EXPECT_EQ(sections[0].iconName, "ramp.tga");
  EXPECT_EQ(sections[0].items.size(), 2u);
  EXPECT_EQ(sections[1].items.size(), 3u);
  EXPECT_EQ(sections[2].items.size(), 1u);
  EXPECT_EQ(sections[0].items[0].variantCount, 2);
  EXPECT_EQ(sections[0].items[1].sponsorshipIndex, 1);
  ASSERT_EQ(catalog.GetFacilityCategories().size(), 5u);
  EXPECT_EQ(catalog.GetFacilityCategories()[4].items.size(), 2u);
  EXPECT_EQ(sections[3].items.size(), 4u);
  EXPECT_EQ(catalog.CountDefinitions(), 11 + 6 + 4);

  const ObjectDefinition* tall = catalog.GetEntry(2, 0, 1, false);
  ASSERT_NE(tall, nullptr);
  EXPECT_STREQ(tall->name, "Tall launch ramp");
  EXPECT_EQ(tall->catalogNumber, 2101);
  EXPECT_EQ(catalog.GetDefinition(tall->catalogNumber), tall);
  EXPECT_EQ(tall->height, 2.0f);
  EXPECT_EQ(tall->cost, 1000.0);
  const ObjectDefinition* crates = catalog.GetEntry(8, 1, 0, false);
  ASSERT_NE(crates, nullptr);  // corner decking: footprint "1101", two wide
  EXPECT_EQ(crates->footprint[0][0] + 2 * crates->footprint[0][1] + 4 * crates->footprint[1][0] +
                8 * crates->footprint[1][1], 1 + 2 + 8);
  const ObjectDefinition* spinner = catalog.GetEntry(11, 0, 0, false);
  ASSERT_NE(spinner, nullptr);
  EXPECT_EQ(spinner->snapToGrid, 0);
  // Facilities: one of every kind - food, drink, restroom, first aid, then the skate shop and the
  // t-shirt stand in one category - inside the facility part.
  const int facilityTypes[6] = {14, 15, 13, 18, 17, 16};
  for (int k = 0; k < 6; ++k) {
    const int id = k < 5 ? k + 1 : 5, idx = k < 5 ? 0 : 1;
    const ObjectDefinition* f = catalog.GetEntry(id, idx, 0, true);
    ASSERT_NE(f, nullptr) << k;
    EXPECT_EQ(f->type, facilityTypes[k]);
    EXPECT_EQ(f->catalogNumber, 20000 + (id * 100 + 10 + idx) * 10);
  }
  EXPECT_EQ(catalog.GetEntry(1, 0, 0, true)->useFee, 3.0f);
  const ObjectDefinition* drinks = catalog.GetEntry(2, 0, 0, true);
  EXPECT_EQ(drinks->cost, 900.0);
  EXPECT_EQ(drinks->useFee, 2.0f);
  // Prices are whole hundreds and a facility costs a hundredth of its price to run each day.
  for (int id = 1; id <= 5; ++id) {
    const ObjectDefinition* f = catalog.GetEntry(id, 0, 0, true);
    ASSERT_NE(f, nullptr) << id;
    EXPECT_GT(f->operatingCost, 0.0f) << id;
    EXPECT_EQ(static_cast<double>(f->operatingCost) * 100.0, f->cost) << id;
  }
  // A free sponsor piece for each of the park's four sponsorship slots, each paying the park.
  const float pays[4] = {-25.0f, -40.0f, -60.0f, -80.0f};
  for (int slot = 0; slot < 4; ++slot) {
    const ObjectDefinition* sponsor = catalog.GetSponsorEntry(slot);
    ASSERT_NE(sponsor, nullptr) << slot;
    EXPECT_TRUE(sponsor->type == 19 && sponsor->catalogNumber == 30000 + slot && sponsor->cost == 0.0) << slot;
    EXPECT_EQ(sponsor->operatingCost, pays[slot]);
  }
  EXPECT_EQ(catalog.GetSponsorEntry(4), nullptr);
}

TEST(DemoCatalog, NamesOnlyMeshesAndIconsTheDemoWrites) {
  std::set<std::string> written;
  std::vector<DemoContent::DemoFile> meshes = DemoContent::BuildAll();
  for (const DemoContent::DemoFile& f : meshes) written.insert(f.relativePath);
  DemoContent::FreeAll(meshes);
  for (const std::string& f : DemoContent::ImageFiles()) written.insert(f);
  int named = 0;
  for (const DemoContent::CatalogFile& file : DemoContent::CatalogFiles()) {
    for (const char* key : {"\nmesh=", "\nTarga="}) {
      for (size_t at = file.text.find(key); at != std::string::npos; at = file.text.find(key, at + 1)) {
        const size_t start = at + std::string(key).size();
        std::string name = file.text.substr(start, file.text.find('\n', start) - start);
        EXPECT_TRUE(written.count("meshes/" + name)) << file.relativePath << ": " << name;
        if (key[1] == 'm') {  // a mesh's icon is its name with ".tga"
          name = name.substr(0, name.rfind('.')) + ".tga";
          EXPECT_TRUE(written.count("meshes/" + name)) << file.relativePath << ": " << name;
        }
        ++named;
      }
    }
  }
  EXPECT_GT(named, 20);
}

}  // namespace
