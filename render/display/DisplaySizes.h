// Display sizes: the full-screen sizes each back end can show on this machine, and the fall-back
// of a settings' size that the chosen back end cannot show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/display/DisplayDrivers.h"

class CSettings;

// The largest side of a software frame: its pitch and area arithmetic stay well inside 32 bits.
constexpr uint32_t kMaxSoftwareFrameSide = 8192;
// What a size that cannot be shown falls back to: the front end's own mode.
constexpr DisplaySize kFallbackDisplaySize = {640, 480};

// The display modes' sizes a software frame can take on a desktop of this size: within the
// frame's limit and no larger than the desktop, which would shrink the frame and garble its text.
// The fall-back size alone when none is left.
std::vector<DisplaySize> SoftwareDisplaySizes(const std::vector<DisplaySize>& modes, DisplaySize desktop);
// The sizes the renderer option can show full screen: option 0 the hardware back end's modes (the
// software back end's when there is no driver, since that one draws then); any other option the
// software back end's on this machine's desktop.
std::vector<DisplaySize> DisplaySizesFor(uint32_t renderer, uint32_t bits);
// Sets the settings' size to the fall-back when their renderer cannot show it, and logs it. Returns
// the line that tells the player, empty when the size stays; a size the settings file held out of
// range (already replaced as it was read) gets its line here too, once.
std::string FallBackDisplaySize(CSettings& settings);
// "1280 X 1024", as the interface writes a size.
std::string DisplaySizeText(DisplaySize size);
