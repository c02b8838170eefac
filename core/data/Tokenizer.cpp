// CTokenizer: the scanner under every definition-text reader.
#include "core/data/Tokenizer.h"

#include "platform/system/Win32.h"

#include <cctype>
#include <cstring>

namespace {

// Characters are 8-bit text: classify them as unsigned so bytes above 127
// are ordinary word characters instead of undefined behaviour.
bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int CountDigits(const char* p) {
  int count = 0;
  while (IsDigit(p[count])) ++count;
  return count;
}

int ParseDigits(const char* p, int count) {
  int value = 0;
  for (int i = 0; i < count; ++i) value = value * 10 + (p[i] - '0');
  return value;
}

const char* SkipSpace(const char* p) {
  while (IsSpace(*p)) ++p;
  return p;
}

// An index of more than five digits is not an index.
constexpr int kMaxIndexDigits = 5;

}  // namespace

// No token is longer than the text, so a buffer beyond the text's length
// changes nothing; capping it keeps an absurd size from exhausting memory.
// Two bytes at least, so that every token holds a character.
static uint32_t TokenBufferSize(uint32_t requested, size_t textLength) {
  const uint64_t useful = static_cast<uint64_t>(textLength) + 1;
  const uint64_t size = requested < useful ? requested : useful;
  return size < 2 ? 2 : static_cast<uint32_t>(size);
}

CTokenizer::CTokenizer(const char* text, const char* delimiters, const char* commentMarker, uint32_t size)
    : text_(text ? text : ""),
      delimiters_(delimiters ? delimiters : ""),
      cursor_(text_),
      commentMarker_(commentMarker ? commentMarker : ""),
      lastWasDelimiter_(0),
      textLength_(std::strlen(text_)) {
  size_ = TokenBufferSize(size, textLength_);
  token_.assign(size_, '\0');
}

CTokenizer::CTokenizer(const CTokenizer& other) = default;

CTokenizer& CTokenizer::operator=(const CTokenizer& other) {
  if (this == &other) return *this;
  text_ = other.text_;
  delimiters_ = other.delimiters_;
  cursor_ = other.cursor_;
  token_ = other.token_;
  size_ = other.size_;
  lastWasDelimiter_ = other.lastWasDelimiter_;
  skipDelimiters_ = other.skipDelimiters_;
  textLength_ = other.textLength_;
  return *this;
}

void CTokenizer::SetDelimiters(const char* delimiters) { delimiters_ = delimiters ? delimiters : ""; }

void CTokenizer::SetPosition(const char* p) {
  if (p < text_ || p > text_ + textLength_) {
    OutputDebugStringA("CTokenizer: position outside the text ignored\n");
    return;
  }
  cursor_ = p;
}

bool CTokenizer::IsDelimiter(char c) const {
  // The NUL must never count: strchr would find the set's own terminator.
  return c != '\0' && delimiters_.find(c) != std::string::npos;
}

bool CTokenizer::CommentStartsAt(const char* p) const {
  return !commentMarker_.empty() && std::strncmp(p, commentMarker_.c_str(), commentMarker_.size()) == 0;
}

bool CTokenizer::SkipComment() {
  cursor_ = SkipSpace(cursor_);
  if (*cursor_ == '\0' || !CommentStartsAt(cursor_)) return false;
  const char* lineEnd = std::strchr(cursor_, '\n');
  cursor_ = lineEnd ? lineEnd : text_ + textLength_;
  return true;
}

const char* CTokenizer::NextToken() {
  for (;;) {
    while (SkipComment()) {
    }
    if (skipDelimiters_ == 0 || !IsDelimiter(*cursor_)) break;
    ++cursor_;
  }
  if (IsDelimiter(*cursor_)) {
    token_[0] = *cursor_++;
    token_[1] = '\0';
    lastWasDelimiter_ = 1;
    return token_.data();
  }
  lastWasDelimiter_ = 0;
  // A word longer than the buffer comes out in buffer-sized pieces; scanning stops at the
  // buffer's end so that each piece costs its own length, not the rest of the word.
  const size_t limit = size_ - 1;
  size_t take = 0;
  while (take < limit && cursor_[take] != '\0' && !IsSpace(cursor_[take]) && !IsDelimiter(cursor_[take]) &&
         !(take > 0 && CommentStartsAt(cursor_ + take))) {
    ++take;
  }
  std::memcpy(token_.data(), cursor_, take);
  token_[take] = '\0';
  cursor_ += take;
  return token_.data();
}

int CTokenizer::GetLineNumber() const {
  int lines = 0;
  for (const char* p = text_; p < cursor_; ++p) {
    if (*p == '\n') ++lines;
  }
  return lines;
}

void CTokenizer::ReadIndexRange(int& first, int& last) {
  cursor_ = SkipSpace(cursor_);
  bool bracket = false;
  int digits = CountDigits(cursor_);
  if (digits == 0) {
    if (*cursor_ != '[') return;
    bracket = true;
    cursor_ = SkipSpace(cursor_ + 1);
    digits = CountDigits(cursor_);
  }
  if (digits == 0 || digits > kMaxIndexDigits) return;
  first = ParseDigits(cursor_, digits);
  cursor_ = SkipSpace(cursor_ + digits);
  if (*cursor_ != '-') {
    last = first;
    return;
  }
  cursor_ = SkipSpace(cursor_ + 1);
  digits = CountDigits(cursor_);
  if (digits > kMaxIndexDigits) return;
  last = ParseDigits(cursor_, digits);
  cursor_ += digits;
  if (bracket) {
    cursor_ = SkipSpace(cursor_);
    if (*cursor_ == ']') ++cursor_;
  }
}
