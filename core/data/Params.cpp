// Params: key/value readers over CTokenizer.
#include "core/data/Params.h"

#include "core/data/Tokenizer.h"
#include "platform/system/Win32.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kTokenSize = 256;
constexpr const char* kCommentMarker = "//";
constexpr const char* kValueDelimiters = ",=";

char ToLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const char* a, const char* b) {
  while (*a && ToLower(*a) == ToLower(*b)) {
    ++a;
    ++b;
  }
  return ToLower(*a) == ToLower(*b);
}

bool PrefixEqualNoCase(const char* a, const char* b, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (ToLower(a[i]) != ToLower(b[i])) return false;
    if (a[i] == '\0') return true;
  }
  return true;
}

// atof, but a value beyond the float range becomes an infinity instead of an
// undefined conversion.
float ToFloat(const char* token) {
  const double value = std::atof(token);
  if (value > FLT_MAX) return INFINITY;
  if (value < -FLT_MAX) return -INFINITY;
  return static_cast<float>(value);
}

// atoi, but without its undefined result on overflow: out-of-range numbers
// saturate at the int limits.
int ToInt(const char* token) {
  const long value = std::strtol(token, nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// The scan every reader shares: tokens from the start of the text, stopping
// at each token equal to the key.
class KeyScanner {
 public:
  KeyScanner(const char* text, const char* delimiters, const char* key)
      : tokenizer_(text, delimiters, kCommentMarker, kTokenSize), key_(key ? key : "") {}

  // Moves to the next occurrence of the key; false at the end of the text.
  bool NextHit() {
    if (key_[0] == '\0') return false;
    if (pending_) {
      pending_ = false;
      return true;
    }
    for (;;) {
      const char* token = tokenizer_.NextToken();
      if (token[0] == '\0') return false;
      if (EqualNoCase(token, key_)) return true;
    }
  }

  // The token after a hit when it is a delimiter token, else null.
  const char* NextDelimiter() {
    const char* token = tokenizer_.NextToken();
    return tokenizer_.LastWasDelimiter() ? token : nullptr;
  }

  const char* NextToken() { return tokenizer_.NextToken(); }

  // The next component of a list value: the token after a delimiter, or null
  // when no delimiter follows. A delimiter promises a component, so whatever
  // token follows it is converted, the empty one at the end of the text
  // included (it reads as 0, like any word without a number): 'pos = 1,'
  // reads the same whether the text ends there or another line follows.
  // Nothing else is lost by it, since every reader scans from the start.
  const char* NextComponent() {
    if (!NextDelimiter()) return nullptr;
    return tokenizer_.NextToken();
  }

  // After an occurrence turned out malformed: the word token that ended it
  // may itself be the key ('key\nkey = 1'); it must not be lost.
  void RecheckLastToken() {
    pending_ = !tokenizer_.LastWasDelimiter() && tokenizer_.GetToken()[0] != '\0' &&
               EqualNoCase(tokenizer_.GetToken(), key_);
  }

  const CTokenizer& Tokenizer() const { return tokenizer_; }

 private:
  CTokenizer tokenizer_;
  const char* key_;
  bool pending_ = false;
};

// The value token after the first occurrence of the key, or null when the key
// is absent or the token after it is no delimiter. Valid until the scanner's
// next token.
const char* FirstValue(KeyScanner& scanner) {
  if (!scanner.NextHit() || !scanner.NextDelimiter()) return nullptr;
  return scanner.NextToken();
}

}  // namespace

namespace Params {

std::optional<std::string> FindKey(const char* text, const char* key) {
  KeyScanner scanner(text, "=,", key);
  const char* value = FirstValue(scanner);
  if (!value) return std::nullopt;
  return std::string(value);
}

float ReadFloat(const char* text, const char* key) {
  KeyScanner scanner(text, kValueDelimiters, key);
  const char* value = FirstValue(scanner);
  return value ? ToFloat(value) : 0.0f;
}

bool ReadBool(const char* text, const char* key) {
  KeyScanner scanner(text, kValueDelimiters, key);
  const char* value = FirstValue(scanner);
  return value && PrefixEqualNoCase(value, "true", 4);
}

bool HasFlag(const char* text, const char* key) {
  KeyScanner scanner(text, kValueDelimiters, key);
  return scanner.NextHit();
}

Vector3 ReadVector(const char* text, const char* key) {
  KeyScanner scanner(text, kValueDelimiters, key);
  float values[3] = {0.0f, 0.0f, 0.0f};
  int read = 0;
  if (scanner.NextHit()) {
    while (read < 3) {
      const char* value = scanner.NextComponent();
      if (!value) break;
      values[read++] = ToFloat(value);
    }
  }
  const float last = read > 0 ? values[read - 1] : 0.0f;
  for (int i = read; i < 3; ++i) values[i] = last;
  return Vector3(values[0], values[1], values[2]);
}

Vector2 ReadVector2(const char* text, const char* key) {
  KeyScanner scanner(text, kValueDelimiters, key);
  float values[2] = {0.0f, 0.0f};
  if (scanner.NextHit()) {
    for (int i = 0; i < 2; ++i) {
      const char* value = scanner.NextComponent();
      if (!value) break;
      values[i] = ToFloat(value);
    }
  }
  return Vector2(values[0], values[1]);
}

void ReadColor(Color& out, const char* text, const char* key) {
  KeyScanner scanner(text, kValueDelimiters, key);
  uint8_t channels[4] = {255, 255, 255, 255};
  if (scanner.NextHit()) {
    for (int i = 0; i < 4; ++i) {
      const char* value = scanner.NextComponent();
      if (!value) break;
      channels[i] = static_cast<uint8_t>(static_cast<unsigned>(ToInt(value)) & 0xFFu);
    }
  }
  out.r = channels[0];
  out.g = channels[1];
  out.b = channels[2];
  out.a = channels[3];
}

void ReadFloatList(const char* text, const char* key, std::vector<float>& list) {
  KeyScanner scanner(text, kValueDelimiters, key);
  while (scanner.NextHit()) {
    while (const char* value = scanner.NextComponent()) list.push_back(ToFloat(value));
    scanner.RecheckLastToken();
  }
}

int FindAll(const char* text, const char* key, std::vector<const char*>* positions) {
  KeyScanner scanner(text, kValueDelimiters, key);
  int count = 0;
  while (scanner.NextHit()) {
    ++count;
    if (positions) {
      const CTokenizer& tokenizer = scanner.Tokenizer();
      positions->push_back(tokenizer.GetPosition() - std::strlen(tokenizer.GetToken()));
    }
  }
  return count;
}

int FindKeyIndex(const char* text, const char* key, const char* const* names, int count, int defaultIndex) {
  const std::optional<std::string> value = FindKey(text, key);
  if (!value || !names) return defaultIndex;
  for (int i = 0; i < count; ++i) {
    if (names[i] && EqualNoCase(names[i], value->c_str())) return i;
  }
  return defaultIndex;
}

bool ReadString(const char* text, const char* key, std::string& out) {
  KeyScanner scanner(text, ",=\"", key);
  while (scanner.NextHit()) {
    if (!scanner.NextDelimiter()) {
      scanner.RecheckLastToken();
      continue;
    }
    const char* quote = scanner.NextDelimiter();
    if (!quote || quote[0] != '"') {
      scanner.RecheckLastToken();
      continue;
    }
    const char* p = scanner.Tokenizer().GetPosition();
    while (*p != '\0' && *p != '"') {
      if (p[0] == '\\' && p[1] == '\r' && p[2] == '\n') {
        p += 3;  // line continuation
        continue;
      }
      out += *p++;
    }
    // The text up to the end is kept, but a string that never closes is
    // usually a damaged file: say so.
    if (*p != '"') OutputDebugStringA((std::string("Params: string of '") + key + "' has no closing quote\n").c_str());
    return true;
  }
  return false;
}

bool ReadBlock(const char* text, const char* key, std::string& out, int n) {
  KeyScanner scanner(text, "={}", key);
  int occurrence = 0;
  while (scanner.NextHit()) {
    if (occurrence < n) {
      ++occurrence;
      continue;
    }
    if (!scanner.NextDelimiter()) {
      scanner.RecheckLastToken();
      continue;
    }
    const char* brace = scanner.NextDelimiter();
    if (!brace || brace[0] != '{') {
      scanner.RecheckLastToken();
      continue;
    }
    int depth = 1;
    for (const char* p = scanner.Tokenizer().GetPosition(); depth != 0 && *p != '\0'; ++p) {
      if (*p == '}') --depth;
      if (*p == '{') ++depth;
      out += *p;
    }
    return true;
  }
  return false;
}

}  // namespace Params
