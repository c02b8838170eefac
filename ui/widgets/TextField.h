// TextField: a line of text the player types on a screen - characters are added at the end and
// Backspace takes the last one away - with the checks a typed name must pass.
#pragma once

#include <cstddef>
#include <string>

class CSprite;

class TextField {
 public:
  // Stands in the text for a typed character that has no code in the fonts (no Latin-1 letter);
  // a control code, so no name holding it passes Check.
  static constexpr unsigned char kNoFontCode = 0x7F;

  // limit: the most characters the line takes; keys past it are ignored.
  explicit TextField(std::string text = std::string(), size_t limit = 64);

  // A typed key (virtual-key code and the character it types): true when the text changed. Enter
  // and keys that type nothing are left to the screen.
  bool Type(int virtualKey, int character);
  void SetText(const std::string& text);
  const std::string& GetText() const { return m_text; }

  // Why the text cannot be taken, in words the font can show: empty, longer than maxLength, or
  // holding a control code or a character the font cannot draw. Empty when it can be taken.
  std::string Check(size_t maxLength, const CSprite* font) const;

 private:
  std::string m_text;
  size_t m_limit;
};
