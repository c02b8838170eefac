// DemoContentImages: the demo pictures: mesh textures, thought bubbles, catalog icons and interface images.
#pragma once

#include <string>
#include <vector>

namespace DemoContent {

// Relative paths (below the data folder) of every picture WriteImages writes.
std::vector<std::string> ImageFiles();

// Writes the textures of the demo meshes ("textures/<name>.texture"), the thought-bubble Targa
// files, one icon per demo mesh ("meshes/<name>.tga") plus "meshes/missing.tga", and BW and B2
// interface images under "ui/images/". False when any file failed.
bool WriteImages(const std::string& folder);

}  // namespace DemoContent
