// Display sizes each back end can show, and the fall-back of one it cannot.
#include "render/display/DisplaySizes.h"

#include <algorithm>

#include "core/data/DebugPrintf.h"
#include "core/input/Settings.h"
#include "render/view/RasterizerInterface.h"

namespace {

bool SameSize(DisplaySize a, DisplaySize b) { return a.width == b.width && a.height == b.height; }

std::string FallBackText(DisplaySize asked) {
  return DisplaySizeText(asked) + " CANNOT BE SET, " + DisplaySizeText(kFallbackDisplaySize) + " IS USED";
}

}  // namespace

std::vector<DisplaySize> SoftwareDisplaySizes(const std::vector<DisplaySize>& modes, DisplaySize desktop) {
  std::vector<DisplaySize> sizes;
  for (const DisplaySize& mode : modes) {
    const bool withinFrame = mode.width <= kMaxSoftwareFrameSide && mode.height <= kMaxSoftwareFrameSide;
    if (withinFrame && mode.width <= desktop.width && mode.height <= desktop.height) sizes.push_back(mode);
  }
  if (sizes.empty()) sizes.push_back(kFallbackDisplaySize);
  return sizes;
}

std::vector<DisplaySize> DisplaySizesFor(uint32_t renderer, uint32_t bits) {
  std::vector<DisplaySize> modes = ListDisplaySizes(bits);
  if (renderer == kRasterizerHardware && !modes.empty()) return modes;
  DisplaySize desktop;
  GetDesktopSize(&desktop.width, &desktop.height);
  return SoftwareDisplaySizes(modes, desktop);
}

std::string FallBackDisplaySize(CSettings& settings) {
  // A size the file could not hold was replaced as it was read (and logged then); the player has
  // not been told yet.
  DisplaySize rejected;
  if (settings.TakeRejectedDisplaySize(&rejected.width, &rejected.height)) return FallBackText(rejected);
  const DisplaySize asked = {settings.displayWidth, settings.displayHeight};
  const std::vector<DisplaySize> sizes = DisplaySizesFor(settings.renderer, settings.displayBits);
  if (std::any_of(sizes.begin(), sizes.end(), [&](const DisplaySize& s) { return SameSize(s, asked); })) return {};
  settings.displayWidth = kFallbackDisplaySize.width;
  settings.displayHeight = kFallbackDisplaySize.height;
  DebugPrintf("Display: renderer option %u cannot show %ux%u full screen; %ux%u is used\n",
              static_cast<unsigned>(settings.renderer), static_cast<unsigned>(asked.width),
              static_cast<unsigned>(asked.height), static_cast<unsigned>(kFallbackDisplaySize.width),
              static_cast<unsigned>(kFallbackDisplaySize.height));
  return FallBackText(asked);
}

std::string DisplaySizeText(DisplaySize size) {
  return std::to_string(size.width) + " X " + std::to_string(size.height);
}
