// DemoContentLevelArt: the textures the demo level's mesh names, placed in the level's folder,
// where a mesh looks for its textures.
#pragma once

#include <string>
#include <vector>

namespace DemoContent {

// The texture files the level mesh names (below the level folder).
std::vector<std::string> LevelTextureFiles();

// Copies the level's textures, written by WriteImages under "textures/", into the level folder.
// Call after WriteImages and WriteLevel; false (logged) when one is missing or cannot be written.
bool WriteLevelTextures(const std::string& dataFolder);

}  // namespace DemoContent
