// CTokenizer: splits a NUL-terminated definition text into word tokens and
// one-character delimiter tokens, skipping white space and line comments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CTokenizer {
 public:
  // The text is neither copied nor owned and must outlive the tokenizer; a
  // null text reads as empty. delimiters may be null (no delimiter tokens).
  // A null or empty comment marker means the text has no comments. The token
  // buffer holds size bytes, so a token has at most size - 1 characters (at
  // least one, so that every token makes progress).
  CTokenizer(const char* text, const char* delimiters, const char* commentMarker, uint32_t size);
  CTokenizer(const CTokenizer& other);
  // Takes the other's text, delimiters, cursor, size and current token; the
  // comment marker stays this tokenizer's own.
  CTokenizer& operator=(const CTokenizer& other);
  ~CTokenizer() = default;

  void SetDelimiters(const char* delimiters);
  // By default every delimiter is a token of its own, so that a reader can count positions
  // ("a = b" is three tokens). With skipping on, delimiters only separate words, like white
  // space, for texts whose readers want the words alone. Copies take the mode with the delimiters.
  void SetSkipDelimiters(bool skip) { skipDelimiters_ = skip ? 1 : 0; }
  bool GetSkipDelimiters() const { return skipDelimiters_ != 0; }
  // Moves the cursor to p, which must point into the text (up to its NUL);
  // any other pointer is refused and logged.
  void SetPosition(const char* p);
  const char* GetPosition() const { return cursor_; }
  const char* GetText() const { return text_; }

  // The next token, or the empty token at the end of the text (returned again
  // on every further call). Valid until the next call.
  const char* NextToken();
  const char* GetToken() const { return token_.data(); }
  // True when the last token returned was a one-character delimiter token.
  bool LastWasDelimiter() const { return lastWasDelimiter_ != 0; }

  // Skips white space and, when the marker starts there, the comment up to
  // the line feed; true when a comment was skipped.
  bool SkipComment();
  // Line feeds between the text start and the cursor (0 on the first line).
  int GetLineNumber() const;
  // Reads "7", "3-9" or "[ 3 - 9 ]" at the cursor into first and last; leaves
  // them unchanged when no index (of at most 5 digits) stands there.
  void ReadIndexRange(int& first, int& last);

 private:
  bool IsDelimiter(char c) const;
  bool CommentStartsAt(const char* p) const;

  const char* text_;
  std::string delimiters_;
  const char* cursor_;
  std::vector<char> token_;
  std::string commentMarker_;
  uint32_t size_;
  uint8_t lastWasDelimiter_;
  uint8_t skipDelimiters_ = 0;
  size_t textLength_;
};
