#include "ui/widgets/UILabel.h"

#include <cstring>

#include "ui/sprites/SpriteText.h"
#include "ui/sprites/TinyFont.h"

namespace {

// The drawn characters (markers removed) and whether any highlighted run is present.
void Measure(const std::string& text, std::string& characters, bool& highlighted) {
  characters.clear();
  highlighted = false;
  for (char c : text) {
    if (c == CUILabel::kHighlightStart || c == CUILabel::kHighlightEnd)
      highlighted = true;
    else
      characters.push_back(c);
  }
}

// Fills a rectangle, clipped to the surface.
int FillRect(DrawSurface& s, int left, int top, int right, int bottom, uint32_t colour) {
  if (s.pixels == nullptr) return 0;
  const int bytes = s.bitsPerPixel == 15 ? 2 : static_cast<int>(s.bitsPerPixel / 8);
  if (bytes < 2 || bytes > 4) return 0;
  if (left < 0) left = 0;
  if (top < 0) top = 0;
  if (right > static_cast<int>(s.width)) right = static_cast<int>(s.width);
  if (bottom > static_cast<int>(s.height)) bottom = static_cast<int>(s.height);
  const uint32_t pixel = TinyFont::PackColour(s, colour);
  int written = 0;
  for (int y = top; y < bottom; ++y) {
    uint8_t* row = static_cast<uint8_t*>(s.pixels) + static_cast<intptr_t>(s.pitch) * y;
    for (int x = left; x < right; ++x, ++written) std::memcpy(row + x * bytes, &pixel, static_cast<size_t>(bytes));
  }
  return written;
}

}  // namespace

CUILabel::CUILabel(CGameObject* parent, CSprite* font, const char* text, int x, int y, int width, int height)
    : m_font(font), m_x(x), m_y(y), m_width(width), m_height(height) {
  (void)parent;  // labels of the park have no parent widget
  if (text != nullptr && text[0] != '\0') SetText(text);
}

void CUILabel::SetText(const char* text) {
  m_text = text != nullptr ? text : "";
  std::string characters;
  bool highlighted = false;
  Measure(m_text, characters, highlighted);
  m_width = SpriteText::Width(m_font, characters.c_str()) + (highlighted ? 2 * kPadding : 0);
  m_height = SpriteText::Height(m_font) + (highlighted ? 2 * kPadding : 0);
}

int CUILabel::Draw(DrawSurface& surface, int x, int y) const {
  if (m_text.empty()) return 0;
  std::string characters;
  bool highlighted = false;
  Measure(m_text, characters, highlighted);
  const int glyphHeight = SpriteText::Height(m_font);
  const int textTop = y + (highlighted ? kPadding : 0);
  int penX = x + (highlighted ? kPadding : 0);
  int written = 0;
  // Walk the text run by run: a highlighted run gets its backdrop before its characters.
  bool inHighlight = false;
  std::string run;
  auto flush = [&]() {
    if (run.empty()) return;
    const int width = SpriteText::Width(m_font, run.c_str());
    if (inHighlight)
      written += FillRect(surface, penX - kPadding, textTop - kPadding, penX + width + kPadding,
                          textTop + glyphHeight + kPadding, kBackdropColour);
    if (SpriteText::IsUsable(m_font)) {
      SpriteText::Draw(surface, m_font, penX, textTop, run.c_str(), kTextColour);
      written += width * glyphHeight;  // the cells covered; the picture decides which pixels change
      penX += width;
    } else {
      written += TinyFont::DrawText(surface, penX, textTop, run.c_str(), 1, kTextColour);
      penX += static_cast<int>(run.size()) * TinyFont::kAdvance;
    }
    run.clear();
  };
  for (char c : m_text) {
    if (c == kHighlightStart || c == kHighlightEnd) {
      flush();
      inHighlight = c == kHighlightStart;
    } else {
      run.push_back(c);
    }
  }
  flush();
  return written;
}
