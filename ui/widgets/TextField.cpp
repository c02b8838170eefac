// TextField: typing and the checks of a typed line.
#include "ui/widgets/TextField.h"

#include "platform/system/Win32.h"
#include "ui/sprites/SpriteText.h"

TextField::TextField(std::string text, size_t limit) : m_limit(limit) { SetText(text); }

void TextField::SetText(const std::string& text) { m_text = text.substr(0, m_limit); }

bool TextField::Type(int virtualKey, int character) {
  if (virtualKey == VK_BACK) {
    if (m_text.empty()) return false;
    m_text.pop_back();
    return true;
  }
  // Enter, Backspace and control codes are no part of a name. Every other character is kept, so
  // that Check can refuse one the font cannot draw rather than the name losing it unseen: a letter
  // of the fonts' codes (Latin-1) as that code, any other as kNoFontCode.
  if (virtualKey == VK_RETURN || character < 0x20 || character == 0x7F || m_text.size() >= m_limit) return false;
  const bool fontCode = character < 0x7F || (character >= 0xA0 && character <= 0xFF);
  m_text.push_back(static_cast<char>(fontCode ? character : kNoFontCode));
  return true;
}

std::string TextField::Check(size_t maxLength, const CSprite* font) const {
  if (m_text.empty()) return "TYPE A NAME FIRST";
  if (m_text.size() > maxLength) return "THE NAME IS LONGER THAN " + std::to_string(maxLength) + " CHARACTERS";
  for (const char c : m_text) {
    const auto code = static_cast<unsigned char>(c);
    if (code < 0x20 || code == kNoFontCode || !SpriteText::CanDraw(font, c))
      return "THE NAME HOLDS A CHARACTER THE FONT CANNOT SHOW";
  }
  return std::string();
}
