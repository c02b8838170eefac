#include "platform/Profile.h"

#include <strings.h>
#include <sys/random.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/FileSystem.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && IsBlank(s[a])) ++a;
  while (b > a && IsBlank(s[b - 1])) --b;
  return s.substr(a, b - a);
}

bool SameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// Finds the value of key in the first [section] that holds it; false when there is none.
bool FindValue(const std::string& text, const char* section, const char* key, std::string& value) {
  bool inSection = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      inSection = close != std::string::npos && SameName(Trim(line.substr(1, close - 1)), section);
      continue;
    }
    const size_t eq = line.find('=');
    if (!inSection || eq == std::string::npos || !SameName(Trim(line.substr(0, eq)), key)) continue;
    value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
      value = value.substr(1, value.size() - 2);
    return true;
  }
  return false;
}

DWORD CopyOut(const std::string& value, char* buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  const size_t n = value.size() < size - 1 ? value.size() : size - 1;
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}

}  // namespace

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                               DWORD size, const char* fileName) {
  std::string fallback = defaultValue != nullptr ? defaultValue : "";
  while (!fallback.empty() && IsBlank(fallback.back())) fallback.pop_back();
  if (section == nullptr || key == nullptr || fileName == nullptr) return CopyOut(fallback, buffer, size);
  std::ifstream in(plat::ResolvePath(fileName), std::ios::binary);
  if (!in) return CopyOut(fallback, buffer, size);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string value;
  return CopyOut(FindValue(text, section, key, value) ? value : fallback, buffer, size);
}

HRESULT CoCreateGuid(GUID* guid) {
  if (guid == nullptr) return E_FAIL;
  uint8_t bytes[16];
  size_t got = 0;
  while (got < sizeof(bytes)) {
    const ssize_t n = getrandom(bytes + got, sizeof(bytes) - got, 0);
    if (n <= 0) return E_FAIL;
    got += static_cast<size_t>(n);
  }
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  guid->Data1 = static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
                static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
  guid->Data2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
  guid->Data3 = static_cast<uint16_t>(bytes[6] << 8 | bytes[7]);
  std::memcpy(guid->Data4, bytes + 8, 8);
  return S_OK;
}
