// DemoContentCatalog: the demo's catalogs of buyable objects - section and facility categories,
// one INI per category, and the sponsor pieces - naming the demo meshes and their icons.
#pragma once

#include <string>
#include <vector>

namespace DemoContent {

// One written INI file: its path below the data folder ('/' separated) and its text.
struct CatalogFile {
  std::string relativePath;
  std::string text;
};

// Every catalog file: "objects/categories.ini", "objects/facilities.ini", one INI per category
// and "objects/sponsors.ini". Meshes and icons are those the other demo writers produce.
std::vector<CatalogFile> CatalogFiles();

// Writes the catalog files below dataFolder (which must exist); false (logged) when one failed.
bool WriteCatalogs(const std::string& dataFolder);

}  // namespace DemoContent
