// DemoContentEffects: the demo's effects - the level's camera-flight trigger and cloud layer, the
// glows on the food stand, and the textures they draw with.
#pragma once

#include <string>
#include <vector>

#include "effects/AttachGlowRecord.h"
#include "effects/CloudLayerRecord.h"
#include "effects/ScriptTriggerRecord.h"

class ShadedMesh;

namespace DemoContent {

// The level's trigger: on from 4 s to 16 s of the level's camera flight.
ScriptTriggerRecord LevelFlightTrigger();
// The level's one cloud layer, about its attach point over the middle of the park.
CloudLayerRecord LevelCloudLayer();
// Adds the trigger and the cloud layer to the level mesh.
void AddLevelEffectPoints(ShadedMesh& mesh);

// The piece that carries the demo's glows.
constexpr const char* kGlowPiece = "foodstand";
// Its glows, in attach-point order: a lamp lit while the stand is undamaged, and a beacon that
// the level's flight trigger switches.
std::vector<AttachGlowRecord> PieceGlows();
// Adds the glows when the piece is kGlowPiece.
void AddPieceEffectPoints(const std::string& pieceName, ShadedMesh& mesh);

// The textures below the data folder that the effects draw with.
std::vector<std::string> EffectTextureFiles();
// Writes them (Targa files, so the start-up scan registers them); false (logged) when one failed.
bool WriteEffectTextures(const std::string& dataFolder);

}  // namespace DemoContent
