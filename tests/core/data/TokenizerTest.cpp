// Tests of CTokenizer: token boundaries, comments, the end of the text, long
// words, positions, index ranges, copies, and a random comparison against a
// straightforward reference splitter.
#include "core/data/Tokenizer.h"

#include "tests/support/InputCost.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> AllTokens(CTokenizer& tokenizer, size_t limit = 10000) {
  std::vector<std::string> tokens;
  for (size_t i = 0; i < limit; ++i) {
    const std::string token = tokenizer.NextToken();
    if (token.empty()) break;
    tokens.push_back(token);
  }
  return tokens;
}

std::vector<std::string> Tokens(const char* text, const char* delimiters, uint32_t size = 256) {
  CTokenizer tokenizer(text, delimiters, "//", size);
  return AllTokens(tokenizer);
}

using Strings = std::vector<std::string>;

// The same splitting done the plain way: cut every line at its first "//",
// split at white space, give each delimiter a token of its own, and cut each
// word into runs of at most size - 1 characters.
Strings ReferenceTokens(const std::string& text, const std::string& delimiters, size_t size, bool skip = false) {
  Strings tokens;
  std::string word;
  auto flush = [&]() {
    for (size_t i = 0; i < word.size(); i += size - 1) tokens.push_back(word.substr(i, size - 1));
    word.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (text.compare(i, 2, "//") == 0) {  // skip to the line end
      flush();
      i = std::min(text.find('\n', i), text.size()) - 1;
    } else if (c == ' ' || c == '\n' || c == '\t' || c == '\r') {
      flush();
    } else if (delimiters.find(c) != std::string::npos) {
      flush();
      if (!skip) tokens.push_back(std::string(1, c));
    } else {
      word += c;
    }
  }
  flush();
  return tokens;
}

}  // namespace

TEST(TokenizerTest, EndOfTextIsStableAndNeverPassed) {
  // A delimiter just before the end must not make the terminating NUL a
  // delimiter token (which would step past the end of the text).
  const char text[] = "a=";
  CTokenizer tokenizer(text, "=", "//", 256);
  EXPECT_STREQ(tokenizer.NextToken(), "a");
  EXPECT_FALSE(tokenizer.LastWasDelimiter());
  EXPECT_STREQ(tokenizer.NextToken(), "=");
  EXPECT_TRUE(tokenizer.LastWasDelimiter());
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(tokenizer.NextToken(), "");
    EXPECT_EQ(tokenizer.GetPosition(), text + 2);
  }
  EXPECT_FALSE(tokenizer.LastWasDelimiter());
  CTokenizer null(nullptr, "=", "//", 256);
  EXPECT_STREQ(null.NextToken(), "");
}

TEST(TokenizerTest, DelimiterSetsCommentMarkersAndBufferSizes) {
  // Without delimiters '=' is part of a word; without a marker "//" is one.
  EXPECT_EQ(Tokens("a=b  c", nullptr), (Strings{"a=b", "c"}));
  EXPECT_EQ(Tokens("a=b  c", ""), (Strings{"a=b", "c"}));
  for (const char* marker : {"", static_cast<const char*>(nullptr)}) {
    CTokenizer none("a // b", "=", marker, 256);
    EXPECT_EQ(AllTokens(none), (Strings{"a", "//", "b"}));
  }
  CTokenizer hash("a # b\nc", "=", "#", 256);
  EXPECT_EQ(AllTokens(hash), (Strings{"a", "c"}));

  // A too-small buffer still makes progress one character at a time.
  EXPECT_EQ(Tokens("abc", "=", 0), (Strings{"a", "b", "c"}));
  // An absurd size is no reason to run out of memory.
  EXPECT_EQ(Tokens("abc=d", "=", 0xFFFFFFFFu), (Strings{"abc", "=", "d"}));
}

// Each piece of a long word costs its own length: a word of 400,000 characters is read in time
// linear in its length, and a comment after it still ends it.
TEST(TokenizerTest, LongWordsAreSplitInLinearTime) {
  const std::string text = std::string(400000, 'w') + "//c\nz";
  Strings tokens;
  EXPECT_TRUE(testing_support::CostsNearLinear(text.size(), [&] {
    CTokenizer tokenizer(text.c_str(), "=", "//", 256);
    tokens = AllTokens(tokenizer);
  }));
  ASSERT_EQ(tokens.size(), 400000 / 255 + 2);
  for (size_t i = 0; i + 2 < tokens.size(); ++i) ASSERT_EQ(tokens[i], std::string(255, 'w')) << i;
  EXPECT_EQ(tokens[tokens.size() - 2], std::string(400000 % 255, 'w'));
  EXPECT_EQ(tokens.back(), "z");
}

TEST(TokenizerTest, MatchesReferenceOnRandomTexts) {
  std::mt19937 random(12345);
  const char alphabet[] = {'a', 'b', 'Z', '/', '/', '=', ',', ' ', '\n', '\t', '\r', '\xe9'};
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 60);
    for (int i = 0; i < length; ++i) text += alphabet[random() % sizeof(alphabet)];
    const uint32_t size = 2 + random() % 6;
    for (bool skip : {false, true}) {
      CTokenizer tokenizer(text.c_str(), "=,", "//", size);
      tokenizer.SetSkipDelimiters(skip);
      ASSERT_EQ(AllTokens(tokenizer), ReferenceTokens(text, "=,", size, skip))
          << "text: '" << text << "' size " << size << " skip " << skip;
    }
  }
}

TEST(TokenizerTest, LineNumbersAndPositions) {
  const char text[] = "one\ntwo three\n\nfour";
  CTokenizer tokenizer(text, "=", "//", 256);
  tokenizer.NextToken();
  tokenizer.NextToken();
  EXPECT_EQ(tokenizer.GetLineNumber(), 1);
  const char* afterTwo = tokenizer.GetPosition();
  EXPECT_STREQ(tokenizer.NextToken(), "three");
  EXPECT_STREQ(tokenizer.NextToken(), "four");
  EXPECT_EQ(tokenizer.GetLineNumber(), 3);
  tokenizer.SetPosition(afterTwo);
  EXPECT_STREQ(tokenizer.NextToken(), "three");
  tokenizer.SetPosition(text + sizeof(text) - 1);  // the terminating NUL is a valid place
  EXPECT_STREQ(tokenizer.NextToken(), "");

  testing_support::DebugCapture capture;
  const char elsewhere[] = "elsewhere";
  tokenizer.SetPosition(text);
  tokenizer.SetPosition(elsewhere);
  EXPECT_EQ(tokenizer.GetPosition(), text);
  EXPECT_NE(capture.Text().find("CTokenizer: "), std::string::npos);
}

TEST(TokenizerTest, ReadsIndexRanges) {
  struct Case {
    const char* text;
    int first, last;
    const char* rest;  // the next token after the range
  };
  // Only a range takes the closing bracket; after a single "[5]" it stays.
  // Values that are not given, or too long to be an index, keep what they were (-1, -2).
  const Case cases[] = {
      {"7 x", 7, 7, "x"},          {"3-9 x", 3, 9, "x"},      {"[ 3 - 9 ] x", 3, 9, "x"},
      {"  12 - 4x", 12, 4, "x"},   {"[5] x", 5, 5, "]"},      {"4- x", 4, 0, "x"},
      {"99999-1 x", 99999, 1, "x"}, {"[2-5 x", 2, 5, "x"},    {"3-123456", 3, -2, ""},
      {"x", -1, -2, ""},           {"[ x", -1, -2, ""},       {"123456", -1, -2, ""},
      {"-3", -1, -2, ""},
  };
  for (const Case& c : cases) {
    CTokenizer tokenizer(c.text, "=", "//", 256);
    int first = -1;
    int last = -2;
    tokenizer.ReadIndexRange(first, last);
    EXPECT_EQ(first, c.first) << c.text;
    EXPECT_EQ(last, c.last) << c.text;
    if (c.first != -1 && c.last != -2) {
      EXPECT_STREQ(tokenizer.NextToken(), c.rest) << c.text;
    }
  }
}

TEST(TokenizerTest, CopiesAreIndependent) {
  const char text[] = "a = b , c // x\nd";
  CTokenizer original(text, "=,", "//", 256);
  original.NextToken();
  original.NextToken();
  CTokenizer copy(original);
  const Strings rest = {"b", ",", "c", "d"};
  EXPECT_EQ(AllTokens(copy), rest);
  EXPECT_EQ(AllTokens(original), rest);

  // Assignment takes text, delimiters, cursor, token and token size but keeps its own
  // comment marker.
  CTokenizer source("p , quarterpipe # r\ns", ",", "//", 256);
  source.NextToken();
  CTokenizer target("unused", "=", "#", 8);
  target = source;
  EXPECT_EQ(target.GetText(), source.GetText());
  EXPECT_STREQ(target.GetToken(), "p");
  EXPECT_EQ(AllTokens(target), (Strings{",", "quarterpipe", "s"}));
  CTokenizer& alias = target;
  target = alias;  // self-assignment leaves it intact
  EXPECT_STREQ(target.GetToken(), "");
  EXPECT_STREQ(target.NextToken(), "");
}

TEST(TokenizerTest, DelimitersCountAsTokensUnlessSkipped) {
  // Skipped, a text of nothing but delimiters ends at once. (How words, comments and delimiters
  // split in either mode is checked against the reference splitter on random texts.)
  CTokenizer only(",,=,", ",=", "//", 256);
  only.SetSkipDelimiters(true);
  EXPECT_STREQ(only.NextToken(), "");
  EXPECT_FALSE(only.LastWasDelimiter());
  EXPECT_EQ(only.GetPosition(), only.GetText() + 4);
  // The mode travels with copies and assignments.
  CTokenizer copy(only);
  EXPECT_TRUE(copy.GetSkipDelimiters());
  CTokenizer assigned("x", "=", "//", 256);
  assigned = only;
  EXPECT_TRUE(assigned.GetSkipDelimiters());
}
