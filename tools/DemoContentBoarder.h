// DemoContentBoarder: the skater's body - a skinned boarder on a board with its animations, contact
// points and texture choices - and the textures it names.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scene/mesh/ShadedMesh.h"

namespace DemoContent {

// Below the data folder.
constexpr const char* kBoarderMeshPath = "people/boarder/boarder.mesh";
// The most any sequence turns the root bone (board and body together) from its rest, in radians:
// 20 degrees of tipping on the board. More, and a skater seen up close folds over into the pieces.
constexpr float kBoarderMaxRootSwing = 0.35f;

// A figure of four bones ("root" with the board, "hips", "chest", "head") whose head, body and
// board faces use texture slots 0, 1 and 2; the texture-choice records "Multitexture_skaterHEAD",
// "Multitexture_skaterBODY" and "Multitexture_skateboards" offer 3, 3 and 2 textures for them;
// named points "frontcontact", "backcontact", "crashfrontcontact" and "crashbackcontact" under
// the board; and an animation table with one sequence for every skater animation name.
std::unique_ptr<ShadedMesh> BuildBoarder();

// The texture files the boarder names (below the data folder, next to the mesh).
std::vector<std::string> BoarderTextureFiles();

// Writes the mesh and its textures below folder; false when any file failed.
bool WriteBoarder(const std::string& folder);

}  // namespace DemoContent
