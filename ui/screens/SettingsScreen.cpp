// CSettingsScreen: editing the settings, hearing the levels at once and saving on the way out.
#include "ui/screens/SettingsScreen.h"

#include <cstdio>

#include "core/input/InputEvent.h"
#include "core/input/Settings.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Win32.h"
#include "render/display/DisplaySizes.h"
#include "sound/SoundManager.h"
#include "ui/screens/NewGame.h"

namespace {

constexpr uint32_t kOpenGL = 0;
constexpr uint32_t kSoftware = 1;

// As the step it is, one decimal: the interface font has no per cent sign.
std::string LevelText(float level) {
  char text[16];
  std::snprintf(text, sizeof(text), "%.1f", static_cast<double>(level));
  return text;
}

bool SameSize(DisplaySize a, DisplaySize b) { return a.width == b.width && a.height == b.height; }

DisplaySize SizeOf(const CSettings& settings) { return DisplaySize{settings.displayWidth, settings.displayHeight}; }

}  // namespace

CSettingsScreen::CSettingsScreen(bool inGame) : m_inGame(inGame) {
  m_modal = true;
  SetClearScreen(!inGame);
  m_panel->SetCentred();
  m_panel->SetTitle("SETTINGS");
  m_panel->KeepButtonsInPlace(4);
  FallBackSize();
  Show();
}

float CSettingsScreen::NextLevel(float level) {
  for (float step : kLevelSteps)
    if (step > level + 0.001f) return step;
  return kLevelSteps[0];
}

DisplaySize CSettingsScreen::NextSize(const std::vector<DisplaySize>& sizes, DisplaySize size) {
  if (sizes.empty()) return size;
  const uint64_t area = static_cast<uint64_t>(size.width) * size.height;
  for (size_t i = 0; i < sizes.size(); ++i)
    if (SameSize(sizes[i], size)) return sizes[(i + 1) % sizes.size()];
  for (const DisplaySize& candidate : sizes)
    if (static_cast<uint64_t>(candidate.width) * candidate.height > area) return candidate;
  return sizes.front();
}

void CSettingsScreen::HandleInputEvent(const InputEvent& event) {
  if (event.code == kCancelAction && !IsMarkedForRemoval()) {
    Leave();
    return;
  }
  CMenuLayer::HandleInputEvent(event);
}

void CSettingsScreen::Show() {
  m_panel->ClearButtons();
  const CSettings* settings = GetSettings();
  if (settings != nullptr) {
    m_panel->AddButton("EFFECTS " + LevelText(settings->levelA), kEffects, 'E');
    m_panel->AddButton("MUSIC " + LevelText(settings->levelB), kMusic, 'M');
    // Any option but OpenGL's runs the software renderer.
    m_panel->AddButton(settings->renderer == kOpenGL ? "RENDERER OPENGL" : "RENDERER SOFTWARE", kRenderer, 'R');
    m_panel->AddButton(settings->IsFullScreen() ? "FULL SCREEN ON" : "FULL SCREEN OFF", kFullScreen, 'F');
    m_panel->AddButton("SIZE " + DisplaySizeText(SizeOf(*settings)), kDisplaySize, 'S');
  }
  m_panel->AddButton("DONE", kDone, VK_RETURN);
  m_panel->SetLines(Notes());
}

std::vector<std::string> CSettingsScreen::Notes() const {
  std::vector<std::string> lines;
  if (m_saveFailed) lines.push_back("THE SETTINGS COULD NOT BE SAVED");
  if (!m_fallBack.empty()) lines.push_back(m_fallBack);
  if (m_inGame) {
    lines.push_back("DISPLAY CHANGES TAKE EFFECT");
    lines.push_back("WHEN THE NEXT GAME STARTS");
  } else {
    lines.push_back("RENDERER AND SIZE TAKE EFFECT WHEN A GAME STARTS");
  }
  const CSettings* settings = GetSettings();
  if (settings == nullptr) return lines;
  if (!settings->IsFullScreen()) {
    lines.push_back("THE SIZE IS USED FULL SCREEN ONLY");
  } else if (settings->renderer == kOpenGL) {
    // The hardware back end starts at the mode its driver choice scores best, which need not be
    // the size asked for.
    DisplayRequest request;
    request.width = settings->displayWidth;
    request.height = settings->displayHeight;
    request.bits = settings->displayBits;
    DeviceChoice choice;
    if (!SelectD3DDriver(request, &choice)) {
      lines.push_back("NO DISPLAY DRIVER, THE SOFTWARE RENDERER IS USED");
    } else if (!SameSize(DisplaySize{choice.mode.dwWidth, choice.mode.dwHeight}, SizeOf(*settings))) {
      lines.push_back(DisplaySizeText(SizeOf(*settings)) + " CANNOT BE SET, " +
                      DisplaySizeText(DisplaySize{choice.mode.dwWidth, choice.mode.dwHeight}) + " IS USED");
    }
  }
  return lines;
}

void CSettingsScreen::ApplyVolumes() const {
  const CVerezIvor* park = GetPark();
  auto* sound = park != nullptr ? dynamic_cast<CSoundManager*>(park->GetSoundManager()) : nullptr;
  if (sound != nullptr) sound->ApplyVolumeSettings(GetSettings());
}

void CSettingsScreen::FallBackSize() {
  if (CSettings* settings = GetSettings()) m_fallBack = FallBackDisplaySize(*settings);
}

void CSettingsScreen::Leave() {
  const CSettings* settings = GetSettings();
  // A second DONE after a failed save leaves all the same: the settings hold for this run.
  if (settings != nullptr && !settings->Save() && !m_saveFailed) {
    m_saveFailed = true;
    Show();
    return;
  }
  MarkForRemoval();
}

void CSettingsScreen::OnCommand(int command) {
  CSettings* settings = GetSettings();
  if (command == kDone || settings == nullptr) {
    if (command == kDone) Leave();
    return;
  }
  switch (command) {
    case kEffects:
      settings->levelA = NextLevel(settings->levelA);
      ApplyVolumes();
      break;
    case kMusic:
      settings->levelB = NextLevel(settings->levelB);
      ApplyVolumes();
      break;
    case kRenderer:
      settings->renderer = settings->renderer == kOpenGL ? kSoftware : kOpenGL;
      FallBackSize();
      break;
    case kFullScreen:
      settings->SetFullScreen(!settings->IsFullScreen());
      // The front end's renderer follows at once; a game's waits for the next game.
      if (!m_inGame) RenewMenuRenderer();
      break;
    case kDisplaySize: {
      const DisplaySize next = NextSize(DisplaySizesFor(settings->renderer, settings->displayBits), SizeOf(*settings));
      settings->displayWidth = next.width;
      settings->displayHeight = next.height;
      m_fallBack.clear();
      break;
    }
    default:
      break;
  }
  Show();
}
