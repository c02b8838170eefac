// DemoContentUi: the interface art of the demo - the park's fonts, the global font, the mouse
// pointer and the menu art - as sprite files written with the image library's own savers, and the
// stamp that tells which generator wrote a data folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/sprites/SpriteFileFormat.h"

namespace DemoContent {

// Raised whenever the generator writes different data, so that ./run.sh rebuilds an old folder.
constexpr uint32_t kGeneratorVersion = 13;
// Below the data folder: one line holding kGeneratorVersion.
constexpr const char* kGeneratorStampFile = "generator_version";

// One written sprite file: path below the data folder ('/' separated) and its sprites.
struct SpriteFileSpec {
  std::string relativePath;
  std::vector<SpriteFileFormat::SpriteRecord> sprites;
};

// Every interface sprite file. Alphabets hold the characters 32 to 126, one frame each, drawn
// from the built-in font in orange with a dark outline; null when a picture could not be encoded.
std::vector<SpriteFileSpec> UiSpriteFiles();

// Writes the sprite files below dataFolder; false (logged) when one failed.
bool WriteUi(const std::string& dataFolder);
// Writes the stamp; called once everything else is written.
bool WriteGeneratorStamp(const std::string& dataFolder);

}  // namespace DemoContent
