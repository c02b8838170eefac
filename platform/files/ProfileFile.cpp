#include "platform/files/ProfileFile.h"

#include <algorithm>
#include <cstring>

#include "platform/files/FileSystem.h"

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int CompareNoCase(const char* a, size_t an, const char* b, size_t bn) {
  for (size_t i = 0; i < an && i < bn; ++i) {
    const unsigned char x = static_cast<unsigned char>(Fold(a[i])), y = static_cast<unsigned char>(Fold(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return an == bn ? 0 : (an < bn ? -1 : 1);
}

std::string Trimmed(const char* s) {
  size_t a = 0, b = std::strlen(s);
  while (a < b && IsBlank(s[a])) ++a;
  while (b > a && IsBlank(s[b - 1])) --b;
  return std::string(s + a, b - a);
}

// Narrows [from, to) by one pair of matching quotes around it, as stored values and defaults lose them.
void Unquote(const char* s, size_t& from, size_t& to) {
  if (to - from >= 2 && (s[from] == '"' || s[from] == '\'') && s[to - 1] == s[from]) ++from, --to;
}

DWORD CopyValue(const char* value, size_t length, char* buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  const size_t n = std::min<size_t>(length, size - 1);
  if (n > 0) std::memcpy(buffer, value, n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}

// The default as Windows gives it: null reads as empty, trailing spaces (not tabs) and then one
// pair of matching quotes are dropped.
DWORD CopyDefault(const char* defaultValue, char* buffer, DWORD size) {
  if (defaultValue == nullptr) return CopyValue("", 0, buffer, size);
  size_t from = 0, to = std::strlen(defaultValue);
  while (to > 0 && defaultValue[to - 1] == ' ') --to;
  Unquote(defaultValue, from, to);
  return CopyValue(defaultValue + from, to - from, buffer, size);
}

// The names, each closed by a NUL, and one more NUL; cut to the buffer the way Windows cuts them.
DWORD CopyList(const std::string& joined, char* buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  if (joined.size() + 1 <= size) {
    if (!joined.empty()) std::memcpy(buffer, joined.data(), joined.size());
    buffer[joined.size()] = '\0';
    if (joined.empty() && size > 1) buffer[1] = '\0';
    return static_cast<DWORD>(joined.size());
  }
  if (size == 1) return buffer[0] = '\0', 0;
  std::memcpy(buffer, joined.data(), size - 2);
  buffer[size - 2] = buffer[size - 1] = '\0';
  return size - 2;
}

}  // namespace

CProfileFile::CProfileFile(const char* fileName) {
  plat::CReadFile file;
  if (fileName == nullptr || !file.Open(fileName)) return;
  const int64_t size = file.Size();
  if (size < 0 || static_cast<uint64_t>(size) > kMaxFileSize) return;
  std::string text(static_cast<size_t>(size), '\0');
  text.resize(file.Read(&text[0], text.size()));
  Parse(std::move(text));
}

void CProfileFile::Parse(std::string text) {
  m_text = std::move(text);
  m_sections.clear();
  m_keys.clear();
  size_t pos = 0;
  while (pos < m_text.size()) {
    size_t end = pos;
    while (end < m_text.size() && m_text[end] != '\r' && m_text[end] != '\n') ++end;
    AddLine(Span{pos, end - pos});
    pos = end + 1;
  }
  BuildIndex();
}

void CProfileFile::AddLine(Span line) {
  const char* s = m_text.data() + line.at;
  size_t a = 0, b = line.length;
  while (a < b && IsBlank(s[a])) ++a;
  while (b > a && IsBlank(s[b - 1])) --b;
  if (a == b || s[a] == ';') return;
  if (s[a] == '[') {
    const void* close = std::memchr(s + a, ']', b - a);
    if (close != nullptr) {
      size_t from = a + 1, to = static_cast<size_t>(static_cast<const char*>(close) - s);
      while (from < to && IsBlank(s[from])) ++from;
      while (to > from && IsBlank(s[to - 1])) --to;
      m_sections.push_back(Span{line.at + from, to - from});
      return;
    }
  }
  const void* eq = std::memchr(s + a, '=', b - a);
  if (m_sections.empty() || eq == nullptr) return;
  size_t nameEnd = static_cast<size_t>(static_cast<const char*>(eq) - s), valueStart = nameEnd + 1;
  while (nameEnd > a && IsBlank(s[nameEnd - 1])) --nameEnd;
  while (valueStart < b && IsBlank(s[valueStart])) ++valueStart;
  Unquote(s, valueStart, b);
  m_keys.push_back(
      KeyLine{m_sections.size() - 1, Span{line.at + a, nameEnd - a}, Span{line.at + valueStart, b - valueStart}});
}

void CProfileFile::BuildIndex() {
  m_sectionOrder.resize(m_sections.size());
  for (size_t i = 0; i < m_sectionOrder.size(); ++i) m_sectionOrder[i] = i;
  std::stable_sort(m_sectionOrder.begin(), m_sectionOrder.end(),
                   [this](size_t a, size_t b) { return Compare(m_sections[a], m_sections[b]) < 0; });
  m_firstOfName.assign(m_sections.size(), 0);
  for (size_t i = 0; i < m_sectionOrder.size(); ++i) {
    const size_t h = m_sectionOrder[i];
    const bool sameAsBefore = i > 0 && Compare(m_sections[m_sectionOrder[i - 1]], m_sections[h]) == 0;
    m_firstOfName[h] = sameAsBefore ? m_firstOfName[m_sectionOrder[i - 1]] : h;
  }
  m_keyOrder.resize(m_keys.size());
  for (size_t i = 0; i < m_keyOrder.size(); ++i) m_keyOrder[i] = i;
  std::stable_sort(m_keyOrder.begin(), m_keyOrder.end(), [this](size_t a, size_t b) {
    const size_t sa = m_firstOfName[m_keys[a].section], sb = m_firstOfName[m_keys[b].section];
    return sa != sb ? sa < sb : Compare(m_keys[a].name, m_keys[b].name) < 0;
  });
}

int CProfileFile::Compare(Span a, const std::string& b) const {
  return CompareNoCase(m_text.data() + a.at, a.length, b.data(), b.size());
}

int CProfileFile::Compare(Span a, Span b) const {
  return CompareNoCase(m_text.data() + a.at, a.length, m_text.data() + b.at, b.length);
}

size_t CProfileFile::FindSection(const std::string& section) const {
  const auto it = std::lower_bound(
      m_sectionOrder.begin(), m_sectionOrder.end(), section,
      [this](size_t h, const std::string& name) { return Compare(m_sections[h], name) < 0; });
  return it != m_sectionOrder.end() && Compare(m_sections[*it], section) == 0 ? *it : kNone;
}

DWORD CProfileFile::ListSections(char* buffer, DWORD size) const {
  std::string joined;
  for (const Span& name : m_sections)
    if (name.length > 0) joined.append(m_text, name.at, name.length).push_back('\0');
  return CopyList(joined, buffer, size);
}

DWORD CProfileFile::ListKeys(size_t section, const char* defaultValue, char* buffer, DWORD size) const {
  std::string joined;
  for (const KeyLine& k : m_keys)
    if (section != kNone && m_firstOfName[k.section] == section && k.name.length > 0)
      joined.append(m_text, k.name.at, k.name.length).push_back('\0');
  if (!joined.empty()) return CopyList(joined, buffer, size);
  // Nothing to list: the default, as Windows gives it, closed as a list where there is room.
  const DWORD n = CopyDefault(defaultValue, buffer, size);
  if (buffer != nullptr && n + 1 < size) buffer[n + 1] = '\0';
  return n;
}

DWORD CProfileFile::GetString(const char* section, const char* key, const char* defaultValue, char* buffer,
                              DWORD size) const {
  if (section == nullptr) return ListSections(buffer, size);
  const size_t header = FindSection(Trimmed(section));
  if (key == nullptr) return ListKeys(header, defaultValue, buffer, size);
  if (header != kNone) {
    const std::string name = Trimmed(key);
    const auto it = std::lower_bound(m_keyOrder.begin(), m_keyOrder.end(), name, [&](size_t k, const std::string& n) {
      const size_t s = m_firstOfName[m_keys[k].section];
      return s != header ? s < header : Compare(m_keys[k].name, n) < 0;
    });
    if (it != m_keyOrder.end() && m_firstOfName[m_keys[*it].section] == header && Compare(m_keys[*it].name, name) == 0)
      return CopyValue(m_text.data() + m_keys[*it].value.at, m_keys[*it].value.length, buffer, size);
  }
  return CopyDefault(defaultValue, buffer, size);
}
