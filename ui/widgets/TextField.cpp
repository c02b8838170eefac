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
  // Printable characters only: Enter, Backspace and control codes are no part of a name.
  if (virtualKey == VK_RETURN || character < 0x20 || character > 0x7E || m_text.size() >= m_limit) return false;
  m_text.push_back(static_cast<char>(character));
  return true;
}

std::string TextField::Check(size_t maxLength, const CSprite* font) const {
  if (m_text.empty()) return "TYPE A NAME FIRST";
  if (m_text.size() > maxLength) return "THE NAME IS LONGER THAN " + std::to_string(maxLength) + " CHARACTERS";
  for (const char c : m_text)
    if (!SpriteText::CanDraw(font, c)) return "THE NAME HOLDS A CHARACTER THE FONT CANNOT SHOW";
  return std::string();
}
