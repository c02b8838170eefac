// AssetPreloader: the fixed resource numbers and the folder scans of start-up.
#include "core/world/AssetPreloader.h"

#include <algorithm>
#include <string>

#include "core/data/DebugPrintf.h"
#include "core/data/ResourceTable.h"
#include "platform/files/Win32Files.h"

namespace {

struct FixedAsset {
  int index;
  const char* path;
};

// Code elsewhere uses these indices as resource numbers; 5 and 6 stay free.
constexpr FixedAsset kFixedAssets[] = {
    {0, "data/items/missile.mesh"},         {1, "data/structures/controltower.mesh"},
    {2, "data/structures/turret.mesh"},     {3, "data/structures/mortarturret.mesh"},
    {4, "data/structures/laserturret.mesh"}, {7, "data/structures/controltower.mesh"},
    {8, "data/structures/hotpad.mesh"},     {9, "data/items/crate.mesh"},
    {10, "data/items/missile_pickup.mesh"}, {11, "data/items/nitro_pickup.mesh"},
    {12, "data/items/health_pickup.mesh"},  {13, "data/sounds/mustang_accel.wav"},
    {14, "data/sounds/truck_accel.wav"},    {15, "data/sounds/fire.wav"},
    {16, "data/sounds/machine_gun.wav"},    {17, "data/sounds/hard_launch.wav"},
    {18, "data/sounds/hard_launch.wav"},    {19, "data/sounds/rocket.wav"},
    {20, "data/sounds/shock_jolt.wav"},     {21, "data/sounds/metal_slide.wav"},
    {22, "data/sounds/tire_slide.wav"},     {23, "data/sounds/hit_soft.wav"},
    {24, "data/sounds/hit_soft.wav"},       {25, "data/sounds/hit_medium.wav"},
    {26, "data/sounds/hit_hard.wav"},       {27, "data/sounds/explosion.wav"},
    {28, "data/sounds/ricochet.wav"},       {29, "data/sounds/glass_break.wav"},
    {30, "data/sounds/activate.wav"},       {31, "data/sounds/deactivate.wav"},
};

struct ScanStep {
  const char* pattern;
  const char* folder;
};

constexpr ScanStep kScanSteps[] = {
    {"*.tga", "data/textures"}, {"*.wav", "data/sounds"},  {"*.mesh", "data/bodies"},
    {"*.mesh", "data/Objects"}, {"*.tga", "data/Objects"}, {"*.mesh", "data/People"},
    {"*.tga", "data/People"},   {"*.mesh", "data/vehicles"}, {"*.mesh", "data/creatures"},
    {"*.mesh", "data/terrain"}, {"*.mesh", "data/items"},
};

// Folders nested deeper than this (or links that loop back) end the walk instead of the stack.
constexpr int kMaxDepth = 32;

std::string Join(const std::string& folder, const char* name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

void Walk(const std::string& folder, const char* pattern, std::vector<std::string>& names, bool recurse, int depth) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(Join(folder, pattern).c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      // A folder named like a file ("x.mesh") is not an asset.
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(Join(folder, found.cFileName));
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  if (!recurse) return;
  if (depth >= kMaxDepth) {
    DebugPrintf("ScanDirectory: folders nested too deep below '%s'\n", folder.c_str());
    return;
  }
  search = FindFirstFileA(Join(folder, "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  std::vector<std::string> subfolders;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && found.cFileName[0] != '.')
      subfolders.push_back(Join(folder, found.cFileName));
  } while (FindNextFileA(search, &found));
  FindClose(search);
  for (const std::string& subfolder : subfolders) Walk(subfolder, pattern, names, recurse, depth + 1);
}

}  // namespace

void ScanDirectory(const char* folder, const char* pattern, std::vector<std::string>& names, bool recurse) {
  if (!folder || !pattern) return;
  Walk(folder, pattern, names, recurse, 0);
}

void ScanFiles(const char* folder, const char* pattern, std::vector<std::string>& names, bool recurse) {
  ScanDirectory(folder, pattern, names, recurse);
  std::sort(names.begin(), names.end());  // byte-wise, as unsigned characters
}

void PreloadAssets(CResourceTable* table) {
  if (!table) return;
  for (const FixedAsset& asset : kFixedAssets) table->AddAt(asset.index, asset.path);
  for (const ScanStep& step : kScanSteps) {
    std::vector<std::string> paths;
    ScanFiles(step.folder, step.pattern, paths, true);
    for (const std::string& path : paths)
      if (table->FindByName(path.c_str()) < 0) table->Add(path.c_str());
  }
}
