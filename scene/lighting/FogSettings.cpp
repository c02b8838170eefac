// FogSettings: reading a fog block and choosing the block for the detail setting.
#include "scene/lighting/FogSettings.h"

#include <string>

#include "core/data/Params.h"

void FogSettings::Read(const char* blockText) {
  constantFog = Params::ReadBool(blockText, "constantFog") ? 1 : 0;
  startElevation = Params::ReadFloat(blockText, "fogStartElevation");
  endElevation = Params::ReadFloat(blockText, "fogEndElevation");
  zeroVisibilityDistance = Params::ReadFloat(blockText, "zeroVisibilityDistance");
  offsetCoefficient = Params::ReadFloat(blockText, "offsetCoefficient");
  offsetCoefficientBG = Params::ReadFloat(blockText, "offsetCoefficientBG");
  Params::ReadColor(insideColor, blockText, "insideFogColor");
  Params::ReadColor(outsideColor, blockText, "outsideFogColor");
}

bool ReadLevelFogSettings(const char* terrainText, float detail, FogSettings& out) {
  if (!terrainText) return false;
  std::string block;
  bool found = false;
  // Low detail machines get a cheaper (usually nearer) fog when the level offers one.
  if (detail == 0.0f)
    found = Params::ReadBlock(terrainText, "lowfog", block);
  else if (detail <= 0.5f)
    found = Params::ReadBlock(terrainText, "medfog", block);
  if (!found) {
    block.clear();
    found = Params::ReadBlock(terrainText, "fog", block);
  }
  if (!found) return false;
  out = FogSettings();
  out.Read(block.c_str());
  return true;
}
