#include "tools/DemoContentCatalog.h"

#include <filesystem>

#include "core/math/DebugPrintf.h"
#include "platform/FileWrite.h"

namespace DemoContent {
namespace {

// Section categories use their object type as their ID, so that a definition's catalog number
// is also its table position. Facility IDs stay below 10, which keeps every facility variant
// inside the facility part of the table.
const char kCategories[] =
    "; Skatable sections, one INI per category\n"
    "[header]\nNumCategories=3\n"
    "[Cat1]\nINIFile=ramps.ini\nTarga=ramp.tga\nPopUpText=Ramps\nCategoryID=2\n"
    "[Cat2]\nINIFile=funboxes.ini\nTarga=box.tga\nPopUpText=Funboxes\nCategoryID=8\n"
    "[Cat3]\nINIFile=decor.ini\nTarga=spinner.tga\nPopUpText=Decoration\nCategoryID=11\n";

const char kRamps[] =
    "[Header]\nNumInCategory=2\n"
    "[Object1]\nTarga=ramp.tga\ntype=street_ramp\nidx=0\nname=Launch ramp\n"
    "[Object2]\nTarga=lodramp.tga\ntype=street_ramp\nidx=1\nname=Long ramp\nsponsorship=1\n"
    "[object100]\nsize=2,4,1.5\nmesh=ramp.mesh\ncost=800\nratings_points=2\nname=Launch ramp\n"
    "[object101]\nsize=2,4,2\nmesh=ramp.mesh\ncost=1000\nratings_points=2.5\nname=Tall launch ramp\n"
    "[object110]\nsize=2,4,1\nmesh=lodramp.mesh\ncost=1200\nname=Long ramp\n";

const char kFunboxes[] =
    "[Header]\nNumInCategory=2\n"
    "[Object1]\nTarga=box.tga\ntype=funbox\nidx=0\nname=Funbox\n"
    "[Object2]\nTarga=crate.tga\ntype=funbox\nidx=1\nname=Crate stack\n"
    "[object100]\nsize=2,2,0.5\nmesh=box.mesh\ncost=500\nname=Funbox\n"
    "[object110]\nsize=2,2,1\nfootprint=1101\nmesh=crate.mesh\ncost=350\nname=Crate stack\n";

const char kDecor[] =
    "[Header]\nNumInCategory=1\n"
    "[Object1]\nTarga=spinner.tga\ntype=decor\nidx=0\nname=Spinner\n"
    "[object100]\nsize=1,1,2\nmesh=spinner.mesh\ncost=300\nratings_points=0.5\ngridsnap=0\nname=Spinner\n";

const char kFacilities[] =
    "[header]\nNumCategories=4\n"
    "[Cat1]\nINIFile=food.ini\nTarga=crate.tga\nPopUpText=Food\nCategoryID=1\n"
    "[Cat2]\nINIFile=drink.ini\nTarga=box.tga\nPopUpText=Drinks\nCategoryID=2\n"
    "[Cat3]\nINIFile=restroom.ini\nTarga=bump.tga\nPopUpText=Restrooms\nCategoryID=3\n"
    "[Cat4]\nINIFile=firstaid.ini\nTarga=figure.tga\nPopUpText=First aid\nCategoryID=4\n";

std::string Facility(const char* type, const char* name, const char* mesh, const char* size, int cost, int fee) {
  return std::string("[Header]\nNumInCategory=1\n[Object1]\ntype=") + type + "\nidx=0\nname=" + name +
         "\n[object100]\nsize=" + size + "\nmesh=" + mesh + "\ncost=" + std::to_string(cost) +
         "\nusefee=" + std::to_string(fee) + "\noperating_cost=" + std::to_string(cost / 100) + "\nname=" + name + "\n";
}

const char kSponsors[] =
    "[header]\nNumSponsors=1\n"
    "[object110]\nsize=2,1,3\nmesh=buggy.mesh\ncost=0\noperating_cost=-25\nname=Sponsor buggy\n";

}  // namespace

std::vector<CatalogFile> CatalogFiles() {
  return {
      {"objects/categories.ini", kCategories},
      {"objects/ramps.ini", kRamps},
      {"objects/funboxes.ini", kFunboxes},
      {"objects/decor.ini", kDecor},
      {"objects/facilities.ini", kFacilities},
      {"objects/food.ini", Facility("food_stand", "Snack stand", "crate.mesh", "2,2,2", 1500, 3)},
      {"objects/drink.ini", Facility("drink_stand", "Drinks stand", "box.mesh", "1,1,2", 900, 2)},
      {"objects/restroom.ini", Facility("bathroom", "Restroom", "bump.mesh", "2,3,2.5", 2000, 0)},
      {"objects/firstaid.ini", Facility("medic", "First aid", "figure.mesh", "2,2,2", 2500, 0)},
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
