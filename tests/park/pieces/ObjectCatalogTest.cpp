// The object catalogs read from a generated tree of INI files, hostile files included.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/data/ResourceTable.h"
#include "park/pieces/ObjectCatalog.h"
#include "park/world/ParkState.h"
#include "park/world/VerezIvor.h"
#include "platform/system/ModuleResources.h"
#include "tests/support/InputCost.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContentImages.h"

namespace {

using testing_support::TempFolder;

void WriteTree(const TempFolder& f) {
  f.Write("data/objects/categories.ini",
          "[header]\nNumCategories=4\n[Cat1]\nINIFile=ramps.ini\nTarga=ramps.tga\nPopUpText=Ramps\nCategoryID=1\n"
          "[Cat2]\nINIFile=Rails.INI\nCategoryID=3\n[Cat3]\nINIFile=./RAMPS.INI\nCategoryID=4\n"
          "[Cat4]\nINIFile=ramps.ini\nCategoryID=1\n");
  f.Write("data/objects/ramps.ini",
          "[Header]\nNumInCategory=3\n"
          "[Object1]\ntype=HALF_PIPE\nidx=0\nname=Half pipe\nsponsorship=2\n"
          "[Object2]\ntype=funbox\nidx=1\nname=Funbox\n"
          "[Object3]\ntype=no_such_word\nidx=2\n"
          "[object100]\nsize=2,3,1.5\nmesh=halfpipe.mesh\ncost=1500.5\nusefee=2\nvert=1\nname=Half pipe small\n"
          "[object102]\nsize=2,1,1\nmesh=halfpipe_big.mesh\nfootprint=01\n"
          "[object110]\nmesh=funbox.mesh\n"
          "[object111]\nsize=2,2,0.5\nmesh=funbox\nfootprint=0110EXTRA11\nratings_points=2.5\ngridsnap=0\n"
          "[object120]\nsize=0,99,1\nmesh=odd.mesh\noperating_cost=-4\n");
  f.Write("data/objects/rails.ini",
          "[Header]\nNumInCategory=2\n[Object1]\ntype=rail\n[Object2]\ntype=rail\n"  // both without idx
          "[object100]\nsize=1,4,0.3\nmesh=rail.mesh\nname=first\n");
  f.Write("data/objects/facilities.ini", "[header]\nNumCategories=1\n[Cat1]\nINIFile=food.ini\nCategoryID=2\n");
  f.Write("data/objects/food.ini",
          "[Header]\nNumInCategory=1\n[Object1]\ntype=food_stand\nidx=4\nsponsorship=1\n"
          "[object140]\nsize=3,3,2\nmesh=food.mesh\nusefee=5\n");
  f.Write("data/objects/sponsors.ini", "[header]\nNumSponsors=2\n[object110]\nsize=1,1,1\nmesh=flag.mesh\n"
                                       "operating_cost=-50\n[object120]\nsize=1,1\nmesh=broken.mesh\n");
}

TEST(ObjectCatalog, LoadsAGeneratedTree) {
  TempFolder folder;
  WriteTree(folder);
  testing_support::DebugCapture capture;
  CObjectCatalog catalog;
  catalog.Load(folder.Path());
  ASSERT_EQ(catalog.GetSectionCategories().size(), 4u);
  const CatalogCategory& ramps = catalog.GetSectionCategories()[0];
  EXPECT_EQ(ramps.iconName, "ramps.tga");
  EXPECT_EQ(ramps.popUpText, "Ramps");
  ASSERT_EQ(ramps.items.size(), 3u);
  EXPECT_EQ(ramps.items[0].type, 0);
  EXPECT_EQ(ramps.items[0].variantCount, 2);  // variants 0 and 2; 1 is missing
  EXPECT_EQ(ramps.items[0].sponsorshipIndex, 2);
  EXPECT_EQ(ramps.items[1].type, 8);
  EXPECT_EQ(ramps.items[1].sponsorshipIndex, -1);
  EXPECT_EQ(ramps.items[1].variantCount, 1);  // [object110] has no size
  EXPECT_EQ(ramps.items[2].type, 0);
  // Category 1, idx 0: positions (0 + 100 + 10) x 10 = 1100 to 1109.
  const ObjectDefinition* small = catalog.GetEntry(1, 0, 0, false);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(small->catalogNumber, 1100);
  EXPECT_EQ(catalog.GetDefinition(small->catalogNumber), small);  // a saved number finds it again
  EXPECT_EQ(small->footprintWidth, 2);
  EXPECT_EQ(small->footprintLength, 3);
  EXPECT_EQ(small->height, 1.5f);
  for (int r = 0; r < ObjectDefinition::kMaxFootprint; ++r)
    for (int c = 0; c < ObjectDefinition::kMaxFootprint; ++c) EXPECT_EQ(small->footprint[r][c], r < 3 && c < 2);
  EXPECT_EQ(small->cost, 1500.5);
  EXPECT_EQ(small->useFee, 2.0f);
  EXPECT_EQ(small->vertical, 1);
  EXPECT_EQ(small->ratingsPoints, 1.0f);
  EXPECT_EQ(small->snapToGrid, 1);
  EXPECT_EQ(small->styleCode, 1);
  EXPECT_STREQ(small->name, "Half pipe small");
  EXPECT_EQ(catalog.GetEntry(1, 0, 1, false), nullptr);
  const ObjectDefinition* big = catalog.GetEntry(1, 0, 2, false);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->footprint[0][0], 0);
  EXPECT_EQ(big->footprint[0][1], 1);
  const ObjectDefinition* box = catalog.GetEntry(1, 1, 1, false);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->footprint[0][0], 0);  // "0110EXTRA11": (1,0) and (0,1), extra characters ignored
  EXPECT_EQ(box->footprint[0][1], 1);
  EXPECT_EQ(box->footprint[1][0], 1);
  EXPECT_EQ(box->footprint[1][1], 0);
  EXPECT_EQ(box->ratingsPoints, 2.5f);
  EXPECT_EQ(box->snapToGrid, 0);
  const ObjectDefinition* odd = catalog.GetEntry(1, 2, 0, false);
  ASSERT_NE(odd, nullptr);
  EXPECT_EQ(odd->footprintWidth, 1);
  EXPECT_EQ(odd->footprintLength, 20);
  EXPECT_EQ(odd->operatingCost, -4.0f);
  // Rails: two entries without idx share position 3100 and the same definition; the clash is logged.
  const ObjectDefinition* rail = catalog.GetEntry(3, 0, 0, false);
  ASSERT_NE(rail, nullptr);
  EXPECT_STREQ(rail->name, "first");
  EXPECT_EQ(rail->styleCode, 2);
  EXPECT_EQ(catalog.GetSectionCategories()[1].items[1].variantCount, 1);
  EXPECT_NE(capture.Text().find("two definitions for catalog number 3100"), std::string::npos);
  // A file that two more categories name, spelt another way: both list its entries, read once and
  // shared; the one with its own ID has copies of the definitions at its own places, typed by
  // the entries (positions (0 + 400 + 10) x 10 = 4100 on), and the one with the first's ID finds
  // the same definitions there without a clash.
  for (size_t c : {2u, 3u}) {
    const CatalogItemList& again = catalog.GetSectionCategories()[c].items;
    ASSERT_EQ(again.size(), 3u) << c;
    EXPECT_EQ(&again[0], &ramps.items[0]) << c;
    EXPECT_EQ(again[0].variantCount, 2) << c;
  }
  const ObjectDefinition* copy = catalog.GetEntry(4, 0, 0, false);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, small);
  EXPECT_EQ(copy->catalogNumber, 4100);
  EXPECT_EQ(copy->cost, 1500.5);
  EXPECT_EQ(copy->footprintLength, 3);
  EXPECT_STREQ(copy->name, "Half pipe small");
  ASSERT_NE(catalog.GetEntry(4, 1, 1, false), nullptr);
  EXPECT_EQ(catalog.GetEntry(4, 1, 1, false)->type, 8);
  EXPECT_EQ(catalog.GetEntry(4, 0, 1, false), nullptr);
  EXPECT_EQ(capture.Text().find("two definitions for catalog number 1100"), std::string::npos);
  // Facilities sit 20000 further and read no sponsorship.
  ASSERT_EQ(catalog.GetFacilityCategories().size(), 1u);
  EXPECT_EQ(catalog.GetFacilityCategories()[0].items[0].sponsorshipIndex, -1);
  const ObjectDefinition* food = catalog.GetEntry(2, 4, 0, true);
  ASSERT_NE(food, nullptr);
  EXPECT_EQ(food->catalogNumber, 20000 + 2140);
  EXPECT_EQ(food->type, 14);
  // Sponsor 0 from [object110]; sponsor 1's size has only two numbers.
  const ObjectDefinition* flag = catalog.GetSponsorEntry(0);
  ASSERT_NE(flag, nullptr);
  EXPECT_EQ(flag->catalogNumber, 30000);
  EXPECT_EQ(flag->type, 19);
  EXPECT_EQ(flag->operatingCost, -50.0f);
  EXPECT_EQ(catalog.GetSponsorEntry(1), nullptr);
  // Loading again replaces everything: the seven definitions above and the four copies, no more.
  catalog.Load(folder.Path());
  EXPECT_EQ(catalog.CountDefinitions(), 11);
  EXPECT_EQ(catalog.GetSectionCategories().size(), 4u);
  catalog.Free();
  EXPECT_EQ(catalog.CountDefinitions(), 0);
  EXPECT_TRUE(catalog.GetSectionCategories().empty());
}

TEST(ObjectCatalog, AClashOfDefinitionsKeepsTheOneReadLast) {
  TempFolder folder;
  // Two entries of a.ini share idx 0; b.ini, for the same category ID, has one there too.
  folder.Write("data/objects/a.ini",
               "[Header]\nNumInCategory=2\n[Object1]\ntype=rail\n[Object2]\ntype=curb\n"
               "[object100]\nsize=1,1,1\nmesh=a.mesh\nname=from a\n");
  folder.Write("data/objects/b.ini",
               "[Header]\nNumInCategory=1\n[Object1]\ntype=bench\n"
               "[object100]\nsize=1,1,1\nmesh=b.mesh\nname=from b\n");
  // The definition at place 1100 when the categories, all of ID 1, name the files in order by letter.
  auto held = [&](const std::string& files) {
    std::string list = "[header]\nNumCategories=" + std::to_string(files.size()) + "\n";
    for (size_t i = 0; i < files.size(); ++i)
      list += "[Cat" + std::to_string(i + 1) + "]\nINIFile=" + files[i] + ".ini\nCategoryID=1\n";
    folder.Write("data/objects/categories.ini", list);
    CObjectCatalog catalog;
    catalog.Load(folder.Path());
    const ObjectDefinition* d = catalog.GetEntry(1, 0, 0, false);
    return d != nullptr ? std::string(d->name) + " " + std::to_string(d->type) : std::string("none");
  };
  testing_support::DebugCapture capture;
  EXPECT_EQ(held("a"), "from a 7") << "the second entry, a curb";
  EXPECT_NE(capture.Text().find("Catalog: two definitions for catalog number 1100; the later is kept\n"),
            std::string::npos);
  EXPECT_EQ(held("ab"), "from b 5");
  EXPECT_EQ(held("aba"), "from a 7") << "named again, a file takes its place back";
  EXPECT_EQ(held("abaa"), "from a 7");
  // The other way round, b loses its place to a file whose own entries also clash with each other.
  EXPECT_EQ(held("bab"), "from b 5") << "named again, a file takes its place back";
}

TEST(ObjectCatalog, HostileFilesAreBoundedAndLookupsChecked) {
  TempFolder folder;
  folder.Write("data/objects/categories.ini",
               "[header]\nNumCategories=3\n[Cat1]\nINIFile=a.ini\nCategoryID=-7\n"
               "[Cat2]\nINIFile=a.ini\nCategoryID=2147483647\n[Cat3]\nINIFile=b.ini\nCategoryID=19\n");
  folder.Write("data/objects/a.ini", "[Header]\nNumInCategory=1\n[Object1]\nidx=-2147483648\n"
                                     "[object100]\nsize=999999,-5,1e30\nmesh=x.mesh\n");
  folder.Write("data/objects/b.ini", "[Header]\nNumInCategory=2000000000\n");
  folder.Write("data/objects/facilities.ini", "[header]\nNumCategories=-3\n");
  folder.Write("data/objects/sponsors.ini", "[header]\nNumSponsors=100000\n");
  testing_support::DebugCapture capture;
  CObjectCatalog catalog;
  catalog.Load(folder.Path());
  EXPECT_EQ(catalog.CountDefinitions(), 0);
  EXPECT_TRUE(catalog.GetFacilityCategories().empty());
  // A file two categories name gives both its entries, here one whose idx names no section.
  for (size_t c : {0u, 1u}) {
    ASSERT_EQ(catalog.GetSectionCategories()[c].items.size(), 1u);
    EXPECT_EQ(catalog.GetSectionCategories()[c].items[0].idx, INT32_MIN);
    EXPECT_EQ(catalog.GetSectionCategories()[c].items[0].variantCount, 0);
  }
  for (int position : {-1, CObjectCatalog::kTableSize, 1 << 30}) EXPECT_EQ(catalog.GetDefinition(position), nullptr);
  EXPECT_EQ(catalog.GetEntry(1, 0, 10, false), nullptr);
  EXPECT_EQ(catalog.GetEntry(1, 0, -1, false), nullptr);
  EXPECT_EQ(CObjectCatalog::PositionOf(19, 89, 9, false), 19999);
  EXPECT_EQ(CObjectCatalog::PositionOf(19, 90, 0, false), -1);  // would run into the facilities
  EXPECT_EQ(CObjectCatalog::PositionOf(19, 90, 0, true), -1);   // or past the sponsor pieces
  EXPECT_EQ(CObjectCatalog::PositionOf(9, 89, 9, true), 29999);
  EXPECT_EQ(CObjectCatalog::PositionOf(9, 90, 0, true), -1);  // a facility past its part of the table
  EXPECT_EQ(CObjectCatalog::PositionOf(0, -10, 0, false), 0);
  EXPECT_EQ(CObjectCatalog::PositionOf(0, -11, 9, false), -1);
  // A size beyond the 20 x 20 footprint block lands clamped in an in-range category.
  folder.Write("data/objects/categories.ini", "[header]\nNumCategories=1\n[Cat1]\nINIFile=a.ini\nCategoryID=5\n");
  folder.Write("data/objects/a.ini", "[Header]\nNumInCategory=1\n[Object1]\nidx=0\n"
                                     "[object100]\nsize=999999,-5,2\nmesh=x.mesh\n");
  catalog.Load(folder.Path());
  const ObjectDefinition* d = catalog.GetEntry(5, 0, 0, false);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->footprintWidth, 20);
  EXPECT_EQ(d->footprintLength, 1);
  EXPECT_EQ(CObjectCatalog::TypeFromKeyword("Medic"), 18);
  EXPECT_EQ(CObjectCatalog::TypeFromKeyword("medics"), 0);
  // Prices, fees and ratings no park makes leave their definitions out: a price beyond the most
  // money a park holds or none at all, a fee or running cost past it, a rating that is no number
  // or past float sums. At the edge it loads.
  const char* const refused[] = {"cost=1e19",          "cost=inf",           "cost=nan",    "cost=-1",
                                 "cost=2147483648",    "usefee=1e300",       "usefee=-0.5", "operating_cost=-1e300",
                                 "ratings_points=nan", "ratings_points=1e30"};
  std::string prices = "[Header]\nNumInCategory=11\n";
  for (int j = 0; j <= 10; ++j) {
    prices += "[Object" + std::to_string(j + 1) + "]\nidx=" + std::to_string(j) + "\n";
    prices += "[object" + std::to_string(100 + 10 * j) + "]\nsize=1,1," + (j < 10 ? "1" : "1000000000") + "\nmesh=x.mesh\n";
    prices += j < 10 ? std::string(refused[j]) : "cost=2147483647\nusefee=2147483647\noperating_cost=-2147483647";
    prices += "\n";
  }
  folder.Write("data/objects/a.ini", prices);
  capture.Clear();
  catalog.Load(folder.Path());
  EXPECT_EQ(catalog.CountDefinitions(), 1);
  for (int j = 0; j < 10; ++j) EXPECT_EQ(catalog.GetEntry(5, j, 0, false), nullptr) << refused[j];
  ASSERT_NE(catalog.GetEntry(5, 10, 0, false), nullptr);
  EXPECT_EQ(catalog.GetEntry(5, 10, 0, false)->cost, 2147483647.0);
  EXPECT_EQ(catalog.GetEntry(5, 10, 0, false)->height, 1e9f) << "the tallest a piece may be";
  EXPECT_NE(capture.Text().find("Catalog: [object100] holds a price, fee or size no park makes; left out\n"),
            std::string::npos);
}

// A category file name leading out of the objects folder is refused with a line: the category
// keeps its place with no entries, and the file there is not read.
TEST(ObjectCatalog, CategoryFilesOutsideTheObjectsFolderAreRefused) {
  TempFolder folder;
  const std::string entry = "[Header]\nNumInCategory=1\n[Object1]\nidx=0\n[object100]\nsize=1,1,1\nmesh=m.mesh\n";
  folder.Write("data/objects/sub/inside.ini", entry);
  const std::string outside = folder.Write("data/outside.ini", entry);
  for (const std::string& file : {std::string("../outside.ini"), std::string("sub/../../outside.ini"), outside,
                                  std::string("sub/inside.ini")}) {
    SCOPED_TRACE(file);
    const bool inside = file == "sub/inside.ini";
    folder.Write("data/objects/categories.ini", "[header]\nNumCategories=1\n[Cat1]\nINIFile=" + file + "\n");
    testing_support::DebugCapture capture;
    CObjectCatalog catalog;
    catalog.Load(folder.Path());
    ASSERT_EQ(catalog.GetSectionCategories().size(), 1u);
    EXPECT_EQ(catalog.GetSectionCategories()[0].items.size(), inside ? 1u : 0u);
    EXPECT_EQ(capture.Text().find("Catalog: the name \"" + file + "\" leads out") == std::string::npos, inside);
  }
}

TEST(ObjectCatalog, WorkStaysInProportionToTheFiles) {
  TempFolder folder;
  CObjectCatalog catalog;
  testing_support::DebugCapture capture;
  // A category without a file name would read the objects folder: it has no entries.
  folder.Write("data/objects/categories.ini", "[header]\nNumCategories=1\n");
  catalog.Load(folder.Path());
  ASSERT_EQ(catalog.GetSectionCategories().size(), 1u);
  EXPECT_TRUE(catalog.GetSectionCategories()[0].items.empty());
  // A list that is its own categories' file, 100 times over with 1000 entries each, under 100
  // spellings (as written, through "./", ".//", "sub/..", in other letter case, or through a
  // link): read once, its entries cut to the file's 101 sections and shared by every category.
  std::string self = "[header]\nNumCategories=100\nNumInCategory=1000\n";
  const char* const odd[] = {"categories.ini", "CATEGORIES.INI", "sub/../categories.ini", "./Categories.Ini",
                             "self.ini"};
  for (int i = 0; i < 100; ++i) {
    std::string spelling = i < 5 ? odd[i] : "categories.ini";
    for (int bits = i < 5 ? 0 : i; bits != 0; bits >>= 1) spelling.insert(0, bits & 1 ? ".//" : "./");
    self += "[Cat" + std::to_string(i + 1) + "]\nINIFile=" + spelling + "\n";
  }
  folder.Write("data/objects/categories.ini", self);
  folder.MakeFolder("data/objects/sub");
  std::filesystem::create_symlink("categories.ini", folder.Path() + "data/objects/self.ini");
  // Every entry shows the missing-icon picture, and all show one copy of it.
  ASSERT_TRUE(DemoContent::WriteImages(folder.MakeFolder("data")));
  CResourceTable table;
  table.Add((folder.Path() + "data/meshes/missing.tga").c_str());
  CVerezIvor park(nullptr, nullptr);
  park.SetResourceTable(&table);
  EXPECT_TRUE(testing_support::CostsNearLinear(self.size(), [&] { catalog.Load(folder.Path()); }));
  ASSERT_EQ(catalog.GetSectionCategories().size(), 100u);
  const CatalogItemList& items = catalog.GetSectionCategories()[0].items;
  ASSERT_EQ(items.size(), 101u);
  for (size_t i = 1; i < 100; ++i) {
    ASSERT_EQ(catalog.GetSectionCategories()[i].items.size(), 101u) << i;
    EXPECT_EQ(&catalog.GetSectionCategories()[i].items[0], &items[0]) << i;
  }
  ASSERT_FALSE(items[0].icon.IsNull());
  for (const CatalogItem& item : items) EXPECT_EQ(item.icon.Get(), items[0].icon.Get());
  park.SetResourceTable(nullptr);
  // A thousand real entries: every file is parsed once, not once per key.
  std::string many = "[Header]\nNumInCategory=1000\n";
  for (int j = 1; j <= 1000; ++j) {
    many += "[Object" + std::to_string(j) + "]\nidx=" + std::to_string(j) + "\n";
    many += "[object" + std::to_string(100 + 10 * j) + "]\nsize=1,1,1\nmesh=m.mesh\n";
  }
  folder.Write("data/objects/categories.ini", "[header]\nNumCategories=1\n[Cat1]\nINIFile=many.ini\nCategoryID=0\n");
  folder.Write("data/objects/many.ini", many);
  EXPECT_TRUE(testing_support::CostsNearLinear(many.size(), [&] { catalog.Load(folder.Path()); }));
  ASSERT_EQ(catalog.GetSectionCategories()[0].items.size(), 1000u);
  EXPECT_EQ(catalog.CountDefinitions(), 1000);
  EXPECT_EQ(catalog.GetEntry(0, 1000, 0, false)->catalogNumber, 10100);

  // Without a resource table no file holds an icon and the program's own resources hold none:
  // each name is looked for once a load and said once.
  capture.Clear();
  catalog.Load(folder.Path());
  const std::string said = "Catalog: no file or program resource holds the icon m.tga\n";
  const size_t first = capture.Text().find(said);
  EXPECT_NE(first, std::string::npos) << capture.Text();
  EXPECT_EQ(capture.Text().find(said, first + 1), std::string::npos);
  EXPECT_TRUE(catalog.GetEntry(0, 1000, 0, false)->iconImage.IsNull());
  // A picture of that name among the program's resources is every entry's icon.
  std::ifstream picture(folder.Path() + "data/meshes/missing.tga", std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(picture), std::istreambuf_iterator<char>()};
  ASSERT_TRUE(plat::AddModuleResource(nullptr, "m.tga", RT_RCDATA, bytes.data(), bytes.size()));
  catalog.Load(folder.Path());
  const CImageRef& icon = catalog.GetEntry(0, 1000, 0, false)->iconImage;
  ASSERT_FALSE(icon.IsNull());
  EXPECT_GT(icon->width, 0);
  EXPECT_EQ(catalog.GetEntry(0, 1, 0, false)->iconImage.Get(), icon.Get());
  // The pictures borrow the resource's bytes: they go before the resource does.
  folder.Write("data/objects/categories.ini", "[header]\nNumCategories=0\n");
  catalog.Load(folder.Path());
  plat::ClearModuleResources(nullptr);
}

TEST(ObjectCatalog, SponsoredItemsUnlockWithTheirSlot) {
  ParkState park;
  CatalogItem free, sponsored;
  sponsored.sponsorshipIndex = 3;
  EXPECT_TRUE(free.IsUnlocked(park));
  EXPECT_FALSE(sponsored.IsUnlocked(park));
  park.sponsorships[3].sponsorObjectID = 12;
  EXPECT_TRUE(sponsored.IsUnlocked(park));
  sponsored.sponsorshipIndex = 4;
  park.sponsorships[3].sponsorObjectID = -1;
  EXPECT_TRUE(sponsored.IsUnlocked(park));
}

}  // namespace
