// CUILabel: a line of text drawn with its alphabet sprite (the built-in bitmap font when it has
// none) straight onto a locked surface.
// The bytes 0x01 and 0x02 open and close a highlighted run: its characters are drawn on a dark
// backdrop so that text beside the cursor stays readable over any scene. Markers take no room.
#pragma once

#include <string>

#include "ui/sprites/DrawSurface.h"

class CSprite;
class CGameObject;

class CUILabel {
 public:
  static constexpr char kHighlightStart = 0x01;
  static constexpr char kHighlightEnd = 0x02;
  static constexpr int kPadding = 2;                  // backdrop margin around a highlighted run
  static constexpr uint32_t kTextColour = 0xFFFF9900;  // orange
  static constexpr uint32_t kBackdropColour = 0xFF000000;

  // font: the alphabet sprite (may be null). width and height bound the label until a text is measured.
  CUILabel(CGameObject* parent, CSprite* font, const char* text, int x, int y, int width, int height);

  // Replaces the text (null clears it) and measures it: the width becomes the drawn width.
  void SetText(const char* text);
  const char* GetText() const { return m_text.c_str(); }
  int GetTextLength() const { return static_cast<int>(m_text.size()); }
  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }
  int GetX() const { return m_x; }
  int GetY() const { return m_y; }

  // Draws the text with its top-left corner at (x, y); whatever falls outside the surface is cut.
  // Returns the number of pixels written.
  int Draw(DrawSurface& surface, int x, int y) const;

 private:
  CSprite* m_font;
  std::string m_text;
  int m_x;
  int m_y;
  int m_width;
  int m_height;
};
