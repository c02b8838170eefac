// DemoContentSounds: the demo sounds: surface loops and hits, single skater sounds and music.
#pragma once

#include <string>
#include <vector>

namespace DemoContent {

// Relative paths (below the data folder) of every sound WriteSounds writes.
std::vector<std::string> SoundFiles();

// Writes short tones and noise bursts as 16-bit PCM WAVE files under "sounds/" and three music
// tracks of a few seconds under "sounds/music/". False when any file failed.
bool WriteSounds(const std::string& folder);

}  // namespace DemoContent
