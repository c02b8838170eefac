// CSplashScreenLogic: the first screen of the front end. It shows the title on a plain frame and,
// when the player presses Escape or clicks, hands on to the main menu, with a notice over it of what
// start-up had to change.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ui/widgets/UIActionLayer.h"

class CSplashScreenLogic : public CUIActionLayer {
 public:
  static constexpr uint32_t kBackground = 0xFF102040;  // bytes b, g, r, a: a dark blue
  static constexpr uint32_t kTitleColour = 0xFFF0E0A0;
  static constexpr int kTitleScale = 6;
  static constexpr const char* kTitle = "Kelvarun";

  // notices: the lines the notice over the main menu tells; none, no notice.
  explicit CSplashScreenLogic(std::vector<std::string> notices = {}) : m_notices(std::move(notices)) {}

  void HandleInputEvent(const InputEvent& event) override;
  // The front end's input manager turns no key but text keys into events, so
  // Escape is read from the keyboard state once per tick.
  void Update(float dt) override;
  void Draw(CRenderView* view, PixelBufferDesc** locked) override;

 private:
  // Leaves the stack and puts the main menu on top (once), and the notice over it.
  void Dismiss();

  std::vector<std::string> m_notices;
};
