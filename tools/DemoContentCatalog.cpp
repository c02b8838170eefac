#include "tools/DemoContentCatalog.h"

#include <filesystem>

#include "core/data/DebugPrintf.h"
#include "platform/files/FileWrite.h"

namespace DemoContent {
namespace {

// Section categories use their object type as their ID, so that a definition's catalog number
// is also its table position. Facility IDs stay below 10, which keeps every facility variant
// inside the facility part of the table.
const char kCategories[] =
    "; Skatable sections, one INI per category\n"
    "[header]\nNumCategories=4\n"
    "[Cat1]\nINIFile=ramps.ini\nTarga=ramp.tga\nPopUpText=Ramps\nCategoryID=2\n"
    "[Cat2]\nINIFile=funboxes.ini\nTarga=box.tga\nPopUpText=Funboxes\nCategoryID=8\n"
    "[Cat3]\nINIFile=decor.ini\nTarga=spinner.tga\nPopUpText=Decoration\nCategoryID=11\n"
    "[Cat4]\nINIFile=street.ini\nTarga=rail.tga\nPopUpText=Street\nCategoryID=4\n";

// Sizes are columns, rows and height; every mesh is a piece with path nodes.
const char kRamps[] =
    "[Header]\nNumInCategory=2\n"
    "[Object1]\nTarga=kicker.tga\ntype=street_ramp\nidx=0\nname=Launch ramp\n"
    "[Object2]\nTarga=quarterpipe.tga\ntype=half_pipe\nidx=1\nname=Quarter pipe\nsponsorship=1\n"
    "[object100]\nsize=1,2,0.5\nmesh=kicker.mesh\ncost=800\noperating_cost=8\nratings_points=2\nname=Launch ramp\n"
    "[object101]\nsize=1,2,2\nmesh=kicker.mesh\ncost=1000\noperating_cost=10\nratings_points=2.5\nname=Tall launch ramp\n"
    "[object110]\nsize=2,2,2\nmesh=quarterpipe.mesh\ncost=1200\noperating_cost=12\nname=Quarter pipe\n";

// The mound takes the next place (catalog number 8120): the numbers in use stay, so parks saved
// before load the same pieces.
const char kFunboxes[] =
    "[Header]\nNumInCategory=3\n"
    "[Object1]\nTarga=funbox.tga\ntype=funbox\nidx=0\nname=Funbox\n"
    "[Object2]\nTarga=cornerdeck.tga\ntype=decking\nidx=1\nname=Corner decking\n"
    "[Object3]\nTarga=mound.tga\ntype=slope\nidx=2\nname=Mound\n"
    "[object100]\nsize=2,2,0.5\nmesh=funbox.mesh\ncost=500\noperating_cost=5\nname=Funbox\n"
    "[object110]\nsize=2,2,0.5\nfootprint=1101\nmesh=cornerdeck.mesh\ncost=350\noperating_cost=3\nname=Corner decking\n"
    "[object120]\nsize=3,3,0.5\nmesh=mound.mesh\ncost=700\noperating_cost=6\nratings_points=2\nname=Mound\n";

const char kDecor[] =
    "[Header]\nNumInCategory=1\n"
    "[Object1]\nTarga=spinner.tga\ntype=decor\nidx=0\nname=Spinner\n"
    "[object100]\nsize=1,1,2\nmesh=spinner.mesh\ncost=300\nratings_points=0.5\ngridsnap=0\nname=Spinner\n";

const char kStreet[] =
    "[Header]\nNumInCategory=4\n"
    "[Object1]\nTarga=rail.tga\ntype=rail\nidx=0\nname=Rail\n"
    "[Object2]\nTarga=bench.tga\ntype=bench\nidx=1\nname=Bench\n"
    "[Object3]\nTarga=stairs.tga\ntype=stairs\nidx=2\nname=Stairs\n"
    "[Object4]\nTarga=decking.tga\ntype=decking\nidx=3\nname=Decking\n"
    "[object100]\nsize=1,4,0.4\nmesh=rail.mesh\ncost=400\noperating_cost=4\nname=Rail\n"
    "[object110]\nsize=2,1,0.5\nmesh=bench.mesh\ncost=250\noperating_cost=2\nname=Bench\n"
    "[object120]\nsize=2,3,0.75\nmesh=stairs.mesh\ncost=600\noperating_cost=6\nname=Stairs\n"
    "[object130]\nsize=2,2,0.5\nmesh=decking.mesh\ncost=450\noperating_cost=4\nname=Decking\n";

const char kFacilities[] =
    "[header]\nNumCategories=5\n"
    "[Cat1]\nINIFile=food.ini\nTarga=foodstand.tga\nPopUpText=Food\nCategoryID=1\n"
    "[Cat2]\nINIFile=drink.ini\nTarga=drinkstand.tga\nPopUpText=Drinks\nCategoryID=2\n"
    "[Cat3]\nINIFile=restroom.ini\nTarga=restroom.tga\nPopUpText=Restrooms\nCategoryID=3\n"
    "[Cat4]\nINIFile=firstaid.ini\nTarga=firstaid.tga\nPopUpText=First aid\nCategoryID=4\n"
    "[Cat5]\nINIFile=shop.ini\nTarga=skateshop.tga\nPopUpText=Shops\nCategoryID=5\n";

// The shops: skateboards and t-shirts.
const char kShops[] =
    "[Header]\nNumInCategory=2\n"
    "[Object1]\ntype=skate_shop\nidx=0\nname=Skate shop\n"
    "[Object2]\ntype=tshirt_stand\nidx=1\nname=T-shirt stand\n"
    "[object100]\nsize=2,2,2\nmesh=skateshop.mesh\ncost=3000\nusefee=40\noperating_cost=30\nname=Skate shop\n"
    "[object110]\nsize=2,2,2\nmesh=shirtstand.mesh\ncost=1200\nusefee=15\noperating_cost=12\nname=T-shirt stand\n";

std::string Facility(const char* type, const char* name, const char* mesh, const char* size, int cost, int fee) {
  return std::string("[Header]\nNumInCategory=1\n[Object1]\ntype=") + type + "\nidx=0\nname=" + name +
         "\n[object100]\nsize=" + size + "\nmesh=" + mesh + "\ncost=" + std::to_string(cost) +
         "\nusefee=" + std::to_string(fee) + "\noperating_cost=" + std::to_string(cost / 100) + "\nname=" + name + "\n";
}

// One sponsor piece for each of the park's four sponsorship slots, in slot order ([object110 +
// 10 x slot]); each is free and pays the park more the higher the rating that brings it.
const char kSponsors[] =
    "[header]\nNumSponsors=4\n"
    "[object110]\nsize=2,1,0.5\nmesh=bench.mesh\ncost=0\noperating_cost=-25\nname=Sponsor bench\n"
    "[object120]\nsize=1,4,0.4\nmesh=rail.mesh\ncost=0\noperating_cost=-40\nname=Sponsor rail\n"
    "[object130]\nsize=2,2,0.5\nmesh=funbox.mesh\ncost=0\noperating_cost=-60\nname=Sponsor funbox\n"
    "[object140]\nsize=2,2,0.5\nmesh=decking.mesh\ncost=0\noperating_cost=-80\nname=Sponsor deck\n";

}  // namespace

std::vector<CatalogFile> CatalogFiles() {
  return {
      {"objects/categories.ini", kCategories},
      {"objects/ramps.ini", kRamps},
      {"objects/funboxes.ini", kFunboxes},
      {"objects/decor.ini", kDecor},
      {"objects/street.ini", kStreet},
      {"objects/facilities.ini", kFacilities},
      {"objects/food.ini", Facility("food_stand", "Snack stand", "foodstand.mesh", "2,2,2", 1500, 3)},
      {"objects/drink.ini", Facility("drink_stand", "Drinks stand", "drinkstand.mesh", "2,2,2", 900, 2)},
      {"objects/restroom.ini", Facility("bathroom", "Restroom", "restroom.mesh", "2,3,2.5", 2000, 0)},
      {"objects/firstaid.ini", Facility("medic", "First aid", "firstaid.mesh", "2,2,2", 2500, 0)},
      {"objects/shop.ini", kShops},
      {"objects/sponsors.ini", kSponsors},
  };
}

bool WriteCatalogs(const std::string& dataFolder) {
  std::error_code error;
  std::filesystem::create_directories(dataFolder + "/objects", error);
  bool ok = true;
  for (const CatalogFile& file : CatalogFiles()) {
    const std::string path = dataFolder + "/" + file.relativePath;
    if (!plat::ReplaceFileContents(path.c_str(), file.text.data(), file.text.size())) {
      DebugPrintf("DemoContent: could not write %s\n", path.c_str());
      ok = false;
    }
  }
  return ok;
}

}  // namespace DemoContent
