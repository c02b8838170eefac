// DemoContentLevelArt: the textures the demo level's mesh names, placed in the level's folder,
// where a mesh looks for its textures, and the software renderer's texture caches beside them.
#pragma once

#include <string>
#include <vector>

namespace DemoContent {

// The texture files the level mesh names (below the level folder).
std::vector<std::string> LevelTextureFiles();

// Copies the level's textures, written by WriteImages under "textures/", into the level folder.
// Call after WriteImages and WriteLevel; false (logged) when one is missing or cannot be written.
bool WriteLevelTextures(const std::string& dataFolder);

// Writes the software renderer's cache files of the level ("texture0.bin" to "texture2.bin" in the
// level folder): one palette chosen for every texture a game on the demo level draws (the level's
// own, the pieces', the boarder's, the thought bubbles and the effects'), and those textures converted
// against it. Call after the textures are written; false (logged) when one cannot be read or a file
// cannot be written.
bool WriteSoftwareTextureCache(const std::string& dataFolder);

}  // namespace DemoContent
