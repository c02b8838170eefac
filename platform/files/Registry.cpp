// Registry on a text file: parse "registry.txt" into keys and values, change
// them, and write the file back whole.
#include "platform/files/Registry.h"

#include "platform/files/FileSystem.h"
#include "platform/files/FileWrite.h"

#include <strings.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

struct RegistryKeyHandle {
  std::string path;  // "HKEY_LOCAL_MACHINE\Software\..." without a trailing backslash
  REGSAM access = 0;
};

namespace {

const char kRegistryFile[] = "registry.txt";
const char kRootName[] = "HKEY_LOCAL_MACHINE";
// A file this large is not one we wrote; refusing it keeps a stray file from exhausting memory.
constexpr int64_t kMaxFileSize = 16 * 1024 * 1024;

RegistryKeyHandle g_localMachine{kRootName, KEY_ALL_ACCESS};

struct RegistryValue {
  std::string name;
  DWORD type = REG_NONE;
  std::string data;  // the value's bytes; REG_SZ without its terminating NUL
};

struct RegistryKey {
  std::string path;
  std::vector<RegistryValue> values;
};

using RegistryImage = std::vector<RegistryKey>;

// Calls may come from any thread; one lock keeps read-change-write of the file whole.
std::mutex& RegistryMutex() {
  static std::mutex* mutex = new std::mutex();
  return *mutex;
}
std::set<const RegistryKeyHandle*>& OpenHandles() {
  static std::set<const RegistryKeyHandle*>* handles = new std::set<const RegistryKeyHandle*>();
  return *handles;
}

bool SameName(const std::string& a, const std::string& b) { return ::strcasecmp(a.c_str(), b.c_str()) == 0; }

void LogSkippedLine(int number) {
  char line[96];
  std::snprintf(line, sizeof(line), "Registry: skipping line %d of \"%s\"\n", number, kRegistryFile);
  OutputDebugStringA(line);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted string starting at text[pos] == '"'; pos ends after the closing quote.
bool ReadQuoted(const std::string& text, size_t& pos, std::string* out) {
  if (pos >= text.size() || text[pos] != '"') return false;
  out->clear();
  for (++pos; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c != '\\') {
      out->push_back(c);
      continue;
    }
    if (++pos >= text.size()) return false;
    const char escaped = text[pos];
    if (escaped == '\\' || escaped == '"') {
      out->push_back(escaped);
    } else if (escaped == 'x' && pos + 2 < text.size() && HexDigit(text[pos + 1]) >= 0 &&
               HexDigit(text[pos + 2]) >= 0) {
      out->push_back(static_cast<char>(HexDigit(text[pos + 1]) * 16 + HexDigit(text[pos + 2])));
      pos += 2;
    } else {
      return false;
    }
  }
  return false;  // no closing quote
}

std::string Quote(const std::string& bytes) {
  std::string out = "\"";
  for (const char c : bytes) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (u < 32 || u > 126) {
      char escaped[5];
      std::snprintf(escaped, sizeof(escaped), "\\x%02x", u);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// "aa,bb,cc" (possibly empty) into bytes.
bool ReadHexBytes(const std::string& text, std::string* out) {
  out->clear();
  size_t pos = 0;
  while (pos < text.size()) {
    if (pos + 2 > text.size() || HexDigit(text[pos]) < 0 || HexDigit(text[pos + 1]) < 0) return false;
    out->push_back(static_cast<char>(HexDigit(text[pos]) * 16 + HexDigit(text[pos + 1])));
    pos += 2;
    if (pos == text.size()) break;
    if (text[pos] != ',' || ++pos == text.size()) return false;
  }
  return true;
}

bool ReadDataText(const std::string& text, RegistryValue* value) {
  size_t pos = 0;
  if (!text.empty() && text[0] == '"') {
    value->type = REG_SZ;
    return ReadQuoted(text, pos, &value->data) && pos == text.size();
  }
  if (text.compare(0, 6, "dword:") == 0) {
    const std::string digits = text.substr(6);
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t number = 0;
    for (const char c : digits) {
      if (HexDigit(c) < 0) return false;
      number = number * 16 + static_cast<uint32_t>(HexDigit(c));
    }
    value->type = REG_DWORD;
    value->data.assign(reinterpret_cast<const char*>(&number), sizeof(number));
    return true;
  }
  if (text.compare(0, 4, "hex:") == 0) {
    value->type = REG_BINARY;
    return ReadHexBytes(text.substr(4), &value->data);
  }
  if (text.compare(0, 4, "hex(") == 0) {
    const size_t close = text.find("):", 4);
    if (close == std::string::npos || close == 4 || close > 12) return false;
    uint32_t type = 0;
    for (size_t i = 4; i < close; ++i) {
      if (HexDigit(text[i]) < 0) return false;
      type = type * 16 + static_cast<uint32_t>(HexDigit(text[i]));
    }
    value->type = type;
    return ReadHexBytes(text.substr(close + 2), &value->data);
  }
  return false;
}

// A value line: "name"=data.
bool ReadValueLine(const std::string& line, RegistryValue* value) {
  size_t pos = 0;
  if (!ReadQuoted(line, pos, &value->name) || pos >= line.size() || line[pos] != '=') return false;
  return ReadDataText(line.substr(pos + 1), value);
}

// Strings with an embedded NUL cannot be written as quoted text without losing it.
bool HasNoNul(const std::string& bytes) { return bytes.find('\0') == std::string::npos; }

std::string DataText(const RegistryValue& value) {
  if (value.type == REG_SZ && HasNoNul(value.data)) return Quote(value.data);
  if (value.type == REG_DWORD && value.data.size() == 4) {
    uint32_t number = 0;
    std::memcpy(&number, value.data.data(), sizeof(number));
    char text[16];
    std::snprintf(text, sizeof(text), "dword:%08x", number);
    return text;
  }
  std::string out;
  if (value.type == REG_BINARY) {
    out = "hex:";
  } else {
    char head[24];
    std::snprintf(head, sizeof(head), "hex(%x):", static_cast<unsigned>(value.type));
    out = head;
  }
  for (size_t i = 0; i < value.data.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof(byte), i ? ",%02x" : "%02x", static_cast<unsigned char>(value.data[i]));
    out += byte;
  }
  return out;
}

void StripLineEnd(std::string* line) {
  while (!line->empty() && (line->back() == '\r' || line->back() == ' ' || line->back() == '\t')) line->pop_back();
}

RegistryKey* FindKey(RegistryImage& image, const std::string& path) {
  for (RegistryKey& key : image)
    if (SameName(key.path, path)) return &key;
  return nullptr;
}

RegistryValue* FindValue(RegistryKey& key, const std::string& name) {
  for (RegistryValue& value : key.values)
    if (SameName(value.name, name)) return &value;
  return nullptr;
}

// The case-blind form of a name, as strcasecmp compares them, for the parse-time indexes.
std::string FoldedName(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

// Sections and value names are indexed while parsing: a file of many of them would
// otherwise be searched once per line.
RegistryImage ParseImage(const std::string& text) {
  RegistryImage image;
  std::unordered_map<std::string, size_t> keyAt;
  std::vector<std::unordered_map<std::string, size_t>> valueAt;
  size_t current = SIZE_MAX;
  size_t begin = 0;
  int number = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    begin = end + 1;
    ++number;
    StripLineEnd(&line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[' && line.back() == ']' && line.size() > 2) {
      const std::string path = line.substr(1, line.size() - 2);
      const auto found = keyAt.emplace(FoldedName(path), image.size());
      if (found.second) {
        image.push_back(RegistryKey{path, {}});
        valueAt.emplace_back();
      }
      current = found.first->second;
      continue;
    }
    RegistryValue value;
    if (current == SIZE_MAX || !ReadValueLine(line, &value)) {
      LogSkippedLine(number);
      continue;
    }
    std::vector<RegistryValue>& values = image[current].values;
    const auto found = valueAt[current].emplace(FoldedName(value.name), values.size());
    if (found.second) {
      values.push_back(std::move(value));
    } else {
      values[found.first->second] = std::move(value);  // the last line of a name wins, as a re-import would
    }
  }
  return image;
}

std::string FormatImage(const RegistryImage& image) {
  std::string text;
  for (const RegistryKey& key : image) {
    if (!text.empty()) text += "\n";
    text += "[" + key.path + "]\n";
    for (const RegistryValue& value : key.values) text += Quote(value.name) + "=" + DataText(value) + "\n";
  }
  return text;
}

RegistryImage ReadImage() {
  plat::CReadFile file;
  if (!file.Open(kRegistryFile)) return RegistryImage();
  const int64_t size = file.Size();
  if (size < 0 || size > kMaxFileSize) {
    OutputDebugStringA("Registry: \"registry.txt\" is too large to be read; it is ignored\n");
    return RegistryImage();
  }
  std::string text(static_cast<size_t>(size), '\0');
  text.resize(file.Read(&text[0], text.size()));
  return ParseImage(text);
}

bool WriteImage(const RegistryImage& image) {
  const std::string text = FormatImage(image);
  return plat::ReplaceFileContents(kRegistryFile, text.data(), text.size());
}

bool IsOpen(HKEY key) {
  return key == HKEY_LOCAL_MACHINE || OpenHandles().count(key) != 0;
}

// Joins root and sub key, dropping empty components so "a\\b\" and "a\b" name one key.
std::string JoinPath(const std::string& root, const char* subKey) {
  std::string path = root;
  std::string part;
  for (const char* c = subKey ? subKey : "";; ++c) {
    if (*c == '\\' || *c == '\0') {
      if (!part.empty()) path += "\\" + part;
      part.clear();
      if (*c == '\0') break;
    } else {
      part += *c;
    }
  }
  return path;
}

}  // namespace

HKEY const HKEY_LOCAL_MACHINE = &g_localMachine;

LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD options, REGSAM desired, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::lock_guard<std::mutex> lock(RegistryMutex());
  if (!IsOpen(root)) return ERROR_INVALID_HANDLE;
  const std::string path = JoinPath(root->path, subKey);
  RegistryImage image = ReadImage();
  if (!SameName(path, kRootName) && !FindKey(image, path)) return ERROR_FILE_NOT_FOUND;
  RegistryKeyHandle* handle = new RegistryKeyHandle{path, desired};
  OpenHandles().insert(handle);
  *result = handle;
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  if (key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
  if (OpenHandles().erase(key) == 0) return ERROR_INVALID_HANDLE;
  delete key;
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size) {
  if (data && !size) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> lock(RegistryMutex());
  if (!IsOpen(key)) return ERROR_INVALID_HANDLE;
  if ((key->access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  RegistryImage image = ReadImage();
  RegistryKey* entry = FindKey(image, key->path);
  RegistryValue* value = entry ? FindValue(*entry, name ? name : "") : nullptr;
  if (!value) return ERROR_FILE_NOT_FOUND;
  const bool terminated = value->type == REG_SZ;
  const DWORD needed = static_cast<DWORD>(value->data.size() + (terminated ? 1 : 0));
  if (type) *type = value->type;
  if (!data) {
    if (size) *size = needed;
    return ERROR_SUCCESS;
  }
  const DWORD room = *size;
  *size = needed;
  if (room < needed) return ERROR_MORE_DATA;
  std::memcpy(data, value->data.data(), value->data.size());
  if (terminated) data[value->data.size()] = 0;
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
  if (!data && size > 0) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> lock(RegistryMutex());
  if (!IsOpen(key)) return ERROR_INVALID_HANDLE;
  if ((key->access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  RegistryValue value;
  value.name = name ? name : "";
  value.type = type;
  value.data.assign(reinterpret_cast<const char*>(data), size);
  // A string's terminating NUL is implied by its type, as Windows stores it.
  if (type == REG_SZ) value.data = value.data.substr(0, std::strlen(value.data.c_str()));

  RegistryImage image = ReadImage();
  RegistryKey* entry = FindKey(image, key->path);
  if (!entry) {
    image.push_back(RegistryKey{key->path, {}});
    entry = &image.back();
  }
  if (RegistryValue* existing = FindValue(*entry, value.name)) {
    *existing = value;
  } else {
    entry->values.push_back(value);
  }
  return WriteImage(image) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG RegDeleteValueA(HKEY key, const char* name) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  if (!IsOpen(key)) return ERROR_INVALID_HANDLE;
  if ((key->access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  RegistryImage image = ReadImage();
  RegistryKey* entry = FindKey(image, key->path);
  if (!entry) return ERROR_FILE_NOT_FOUND;
  const std::string wanted = name ? name : "";
  for (size_t i = 0; i < entry->values.size(); ++i) {
    if (!SameName(entry->values[i].name, wanted)) continue;
    entry->values.erase(entry->values.begin() + static_cast<std::ptrdiff_t>(i));
    return WriteImage(image) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
  }
  return ERROR_FILE_NOT_FOUND;
}

DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD languageId, char* buffer, DWORD size,
                     void* arguments) {
  if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || !buffer) return 0;
  const char* text = "Unknown error.";
  switch (messageId) {
    case ERROR_SUCCESS: text = "The operation completed successfully."; break;
    case ERROR_FILE_NOT_FOUND: text = "The system cannot find the file specified."; break;
    case ERROR_ACCESS_DENIED: text = "Access is denied."; break;
    case ERROR_INVALID_HANDLE: text = "The handle is invalid."; break;
    case ERROR_INVALID_PARAMETER: text = "The parameter is incorrect."; break;
    case ERROR_MORE_DATA: text = "More data is available."; break;
    default: break;
  }
  const int written = std::snprintf(buffer, size, "%s\r\n", text);
  if (written < 0 || static_cast<DWORD>(written) >= size) {
    if (size > 0) buffer[0] = '\0';
    return 0;
  }
  return static_cast<DWORD>(written);
}
