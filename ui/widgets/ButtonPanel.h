// CButtonPanel: the widget container of the menus, dialogs and pop-ups - a panel with a title,
// lines of text and a column of buttons, pressed by a click or by the button's key.
#pragma once

#include <string>
#include <vector>

#include "platform/system/Win32.h"
#include "ui/widgets/UIManager.h"

class CSprite;

class CButtonPanel : public CUIManager {
 public:
  static constexpr int kButtonWidth = 200;
  static constexpr int kButtonHeight = 22;
  static constexpr int kGap = 6;
  static constexpr int kMargin = 12;
  static constexpr int kTextInset = 4;  // the least room between a button's text and its edges
  static constexpr int kNoCommand = -1;
  static constexpr uint32_t kPanelColour = 0xFF182030;
  static constexpr uint32_t kBorderColour = 0xFFE09020;
  static constexpr uint32_t kButtonColour = 0xFF603018;
  static constexpr uint32_t kLitButtonColour = 0xFFB06010;
  static constexpr uint32_t kTextColour = 0xFFFF9900;
  static constexpr uint32_t kDisabledTextColour = 0xFF808080;
  static constexpr uint32_t kSmallTextColour = 0xFFFFE0A0;  // light enough on a lit button too

  struct Button {
    std::string text;
    int command;
    int key;  // virtual-key code that presses it, 0 none
    bool enabled;
  };

  CButtonPanel() = default;

  void SetTitle(const std::string& title) { m_title = title; }
  const std::string& GetTitle() const { return m_title; }
  void SetLines(const std::vector<std::string>& lines) { m_lines = lines; }
  const std::vector<std::string>& GetLines() const { return m_lines; }
  void AddButton(const std::string& text, int command, int key);
  // The room of one button left empty, so that the buttons after it keep their places on a page
  // that has fewer of its own.
  void AddGap();
  void SetButtonEnabled(int command, bool enabled);
  void ClearButtons();
  const std::vector<Button>& GetButtons() const { return m_buttons; }
  // Places the panel's top-left corner; a centred panel is placed in the middle of the surface at
  // every draw (and of a 640 x 480 frame before the first).
  void SetPosition(int x, int y);
  void SetCentred() { m_centred = true; }
  // Places the panel's top-right corner margin pixels in from the surface's right edge, at y, at
  // every draw (and in a 640 x 480 frame before the first), so that text of any width stays on it.
  void SetRightAligned(int margin, int y);
  // Places the panel's bottom-left corner at x, margin pixels up from the surface's bottom edge, at
  // every draw (and in a 640 x 480 frame before the first).
  void SetBottomAligned(int x, int margin);
  // For text that changes while the player points at the buttons: room for this many lines
  // below the title however many there are, and the buttons at the left margin of a placed panel
  // or in the middle of a centred one however wide the text grows, so that they never move.
  void KeepButtonsInPlace(int lines);
  // The art: an alphabet, a two-frame button (normal, lit) and a panel tile; any may be null.
  void SetArt(CSprite* font, CSprite* button, CSprite* panel);
  // The alphabet the text is drawn with (null: the built-in font).
  const CSprite* GetFont() const { return m_font; }
  // The text as it fits on a button: cut, with ".." at the end, when it is wider than the button.
  std::string FitToButton(const std::string& text) const;

  RECT GetPanelRect() const;
  RECT GetButtonRect(size_t index) const;
  // The command of the last pressed button, once; kNoCommand when none was pressed.
  int TakeCommand();
  int GetHover() const { return m_hover; }

  void MouseInput(int x, int y, int buttonState) override;
  // Nothing is lit, and a button held down from above presses nothing when the pointer comes back.
  void MouseTakenAbove(int buttonState) override;
  void KeyInput(int virtualKey, int character) override;
  // The panel, then the widgets shown with it.
  void Draw(DrawSurface& surface) override;

 protected:
  bool ContainsOwn(int x, int y) const override;

 private:
  int LineHeight() const;
  int Width() const;
  int Height() const;
  int ButtonOffset() const;  // from the panel's top to the first button
  POINT Origin() const;
  int ButtonAt(int x, int y) const;

  std::string m_title;
  std::vector<std::string> m_lines;
  std::vector<Button> m_buttons;
  CSprite* m_font = nullptr;
  CSprite* m_buttonArt = nullptr;
  CSprite* m_panelArt = nullptr;
  int m_x = 0;
  int m_y = 0;
  bool m_centred = false;
  int m_rightMargin = -1;    // -1: placed by its left edge
  int m_bottomMargin = -1;   // -1: placed by its top edge
  int m_reservedLines = -1;  // -1: the buttons follow the text
  int m_screenWidth = 640;  // the surface last drawn on, for centring
  int m_screenHeight = 480;
  int m_hover = -1;
  int m_pending = kNoCommand;
  int m_lastButtonState = 0;
};
