// CButtonPanel: layout, hit tests, presses and drawing of a button panel.
#include "ui/widgets/ButtonPanel.h"

#include <algorithm>
#include <cstring>

#include "ui/sprites/Sprite.h"
#include "ui/sprites/SpriteText.h"
#include "ui/sprites/TinyFont.h"

namespace {

void FillRect(DrawSurface& s, RECT r, uint32_t colour) {
  const int bytes = s.bitsPerPixel == 15 ? 2 : static_cast<int>(s.bitsPerPixel / 8);
  if (s.pixels == nullptr || bytes < 2 || bytes > 4) return;
  r.left = std::max<LONG>(r.left, 0);
  r.top = std::max<LONG>(r.top, 0);
  r.right = std::min<LONG>(r.right, static_cast<LONG>(s.width));
  r.bottom = std::min<LONG>(r.bottom, static_cast<LONG>(s.height));
  const uint32_t pixel = TinyFont::PackColour(s, colour);
  for (LONG y = r.top; y < r.bottom; ++y) {
    uint8_t* row = static_cast<uint8_t*>(s.pixels) + static_cast<intptr_t>(s.pitch) * y;
    for (LONG x = r.left; x < r.right; ++x) std::memcpy(row + x * bytes, &pixel, static_cast<size_t>(bytes));
  }
}

void Outline(DrawSurface& s, const RECT& r, uint32_t colour) {
  FillRect(s, RECT{r.left, r.top, r.right, r.top + 1}, colour);
  FillRect(s, RECT{r.left, r.bottom - 1, r.right, r.bottom}, colour);
  FillRect(s, RECT{r.left, r.top, r.left + 1, r.bottom}, colour);
  FillRect(s, RECT{r.right - 1, r.top, r.right, r.bottom}, colour);
}

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

}  // namespace

void CButtonPanel::AddButton(const std::string& text, int command, int key) {
  m_buttons.push_back(Button{text, command, key, true});
}

void CButtonPanel::AddGap() { m_buttons.push_back(Button{std::string(), kNoCommand, 0, false}); }

void CButtonPanel::SetButtonEnabled(int command, bool enabled) {
  for (Button& b : m_buttons)
    if (b.command == command) b.enabled = enabled;
}

void CButtonPanel::ClearButtons() {
  m_buttons.clear();
  m_hover = -1;
  m_pending = kNoCommand;
}

void CButtonPanel::SetPosition(int x, int y) {
  m_x = x;
  m_y = y;
  m_centred = false;
  m_rightMargin = -1;
  m_bottomMargin = -1;
}

void CButtonPanel::SetRightAligned(int margin, int y) {
  SetPosition(0, y);
  m_rightMargin = std::max(margin, 0);
}

void CButtonPanel::SetBottomAligned(int x, int margin) {
  SetPosition(x, 0);
  m_bottomMargin = std::max(margin, 0);
}

void CButtonPanel::SetArt(CSprite* font, CSprite* button, CSprite* panel) {
  m_font = font;
  m_buttonArt = button != nullptr && button->GetFrameCount() >= 2 && button->HasImage() ? button : nullptr;
  m_panelArt = panel != nullptr && panel->HasImage() ? panel : nullptr;
}

std::string CButtonPanel::FitToButton(const std::string& text) const {
  const int room = kButtonWidth - 8;
  if (SpriteText::Width(m_font, text.c_str()) <= room) return text;
  std::string cut = text;
  while (!cut.empty() && SpriteText::Width(m_font, (cut + "..").c_str()) > room) cut.pop_back();
  return cut + "..";
}

int CButtonPanel::LineHeight() const { return SpriteText::Height(m_font) + 4; }

int CButtonPanel::Width() const {
  int w = kButtonWidth;
  w = std::max(w, SpriteText::Width(m_font, m_title.c_str()));
  for (const std::string& line : m_lines) w = std::max(w, SpriteText::Width(m_font, line.c_str()));
  return w + 2 * kMargin;
}

void CButtonPanel::KeepButtonsInPlace(int lines) { m_reservedLines = std::max(lines, 0); }

int CButtonPanel::ButtonOffset() const {
  const int lines = std::max(static_cast<int>(m_lines.size()), m_reservedLines);
  const int textLines = lines + (m_title.empty() ? 0 : 1);
  return kMargin + textLines * LineHeight() + (textLines > 0 ? kGap : 0);
}

int CButtonPanel::Height() const {
  const int buttons = static_cast<int>(m_buttons.size());
  return ButtonOffset() + buttons * (kButtonHeight + kGap) - (buttons > 0 ? kGap : 0) + kMargin;
}

POINT CButtonPanel::Origin() const {
  if (m_rightMargin >= 0) return POINT{m_screenWidth - m_rightMargin - Width(), m_y};
  if (m_bottomMargin >= 0) return POINT{m_x, m_screenHeight - m_bottomMargin - Height()};
  if (!m_centred) return POINT{m_x, m_y};
  return POINT{(m_screenWidth - Width()) / 2, (m_screenHeight - Height()) / 2};
}

RECT CButtonPanel::GetPanelRect() const {
  const POINT at = Origin();
  return RECT{at.x, at.y, at.x + Width(), at.y + Height()};
}

RECT CButtonPanel::GetButtonRect(size_t index) const {
  const POINT at = Origin();
  // Kept in place, they are measured from what does not move as the text widens: the left edge of
  // a placed panel, the middle of the surface for a centred one (whose left edge does move).
  int left = at.x + (Width() - kButtonWidth) / 2;
  if (m_reservedLines >= 0) left = m_centred && m_rightMargin < 0 ? (m_screenWidth - kButtonWidth) / 2 : at.x + kMargin;
  const int top = at.y + ButtonOffset() + static_cast<int>(index) * (kButtonHeight + kGap);
  return RECT{left, top, left + kButtonWidth, top + kButtonHeight};
}

bool CButtonPanel::ContainsOwn(int x, int y) const { return Inside(GetPanelRect(), x, y); }

int CButtonPanel::ButtonAt(int x, int y) const {
  for (size_t i = 0; i < m_buttons.size(); ++i)
    if (m_buttons[i].command != kNoCommand && Inside(GetButtonRect(i), x, y)) return static_cast<int>(i);
  return -1;
}

int CButtonPanel::TakeCommand() {
  const int command = m_pending;
  m_pending = kNoCommand;
  return command;
}

void CButtonPanel::MouseInput(int x, int y, int buttonState) {
  CUIManager::MouseInput(x, y, buttonState);
  m_hover = ButtonAt(x, y);
  // A press is the moment the button goes down over an enabled button.
  if (buttonState != 0 && m_lastButtonState == 0 && m_hover >= 0 && m_buttons[static_cast<size_t>(m_hover)].enabled)
    m_pending = m_buttons[static_cast<size_t>(m_hover)].command;
  m_lastButtonState = buttonState;
}

void CButtonPanel::MouseTakenAbove(int buttonState) {
  CUIManager::MouseTakenAbove(buttonState);
  m_hover = -1;
  m_lastButtonState = buttonState;
}

void CButtonPanel::KeyInput(int virtualKey, int character) {
  CUIManager::KeyInput(virtualKey, character);
  for (const Button& b : m_buttons)
    if (b.enabled && b.key != 0 && b.key == virtualKey) {
      m_pending = b.command;
      return;
    }
}

void CButtonPanel::Draw(DrawSurface& surface) {
  m_screenWidth = static_cast<int>(surface.width);
  m_screenHeight = static_cast<int>(surface.height);
  const RECT panel = GetPanelRect();
  FillRect(surface, panel, kPanelColour);
  Outline(surface, panel, kBorderColour);
  int y = panel.top + kMargin;
  if (!m_title.empty()) {
    SpriteText::Draw(surface, m_font, panel.left + kMargin, y, m_title.c_str(), kTextColour);
    y += LineHeight();
  }
  for (const std::string& line : m_lines) {
    SpriteText::Draw(surface, m_font, panel.left + kMargin, y, line.c_str(), kTextColour);
    y += LineHeight();
  }
  for (size_t i = 0; i < m_buttons.size(); ++i) {
    if (m_buttons[i].command == kNoCommand) continue;  // a gap
    const RECT r = GetButtonRect(i);
    const bool lit = static_cast<int>(i) == m_hover && m_buttons[i].enabled;
    if (m_buttonArt != nullptr && m_buttonArt->GetWidth() == kButtonWidth) {
      m_buttonArt->DrawFrame(surface, lit ? 1 : 0, r.left, r.top);
    } else {
      FillRect(surface, r, lit ? kLitButtonColour : kButtonColour);
      Outline(surface, r, kBorderColour);
    }
    // An alphabet has one colour, so a disabled button's text is the built-in font in grey; so is a
    // text too long for the button in the alphabet, which would run past its edges.
    const char* text = m_buttons[i].text.c_str();
    const bool fits = SpriteText::Width(m_font, text) <= kButtonWidth - 2 * kTextInset;
    const CSprite* font = m_buttons[i].enabled && fits ? m_font : nullptr;
    const int tx = r.left + (kButtonWidth - SpriteText::Width(font, text)) / 2;
    const int ty = r.top + (kButtonHeight - SpriteText::Height(font)) / 2;
    const bool fallback = m_font != nullptr && font == nullptr;
    const uint32_t colour = !m_buttons[i].enabled ? kDisabledTextColour : fallback ? kSmallTextColour : kTextColour;
    SpriteText::Draw(surface, font, tx, ty, text, colour);
  }
  DrawWidgets(surface);
}
