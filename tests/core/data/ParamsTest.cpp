// Tests of the Params readers: the reading rules on hand-written texts, and randomly generated
// definition texts read back through every reader.
#include "core/data/Params.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

Color Rgba(int r, int g, int b, int a = 255) { return Color::FromRGBA(uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a)); }
Color ColorOf(const char* text) {
  Color c = Rgba(1, 2, 3, 4);
  Params::ReadColor(c, text, "tint");
  return c;
}
Vector3 Vec(const char* text) { return Params::ReadVector(text, "pos"); }

TEST(ParamsTest, KeysNeedADelimiterAndSkipComments) {
  // No delimiter after the first occurrence: give up, even with a later one.
  EXPECT_FLOAT_EQ(Params::ReadFloat("speed 3\nspeed = 4", "speed"), 0.0f);
  EXPECT_FALSE(Params::FindKey("speed 3\nspeed = 4", "speed"));
  EXPECT_FALSE(Params::ReadBool("on true\non = true", "on"));
  EXPECT_FLOAT_EQ(Params::ReadFloat("a = 1 // a = 2\na = 3", "a"), 1.0f);
  EXPECT_EQ(Params::FindKey("value=12//note", "value"), "12");
  EXPECT_EQ(Params::FindKey("size = size", "size"), "size");
  EXPECT_FLOAT_EQ(Params::ReadFloat("f = 2.5abc", "f"), 2.5f);  // the numeric prefix
  EXPECT_FLOAT_EQ(Params::ReadFloat("f = abc", "f"), 0.0f);
  EXPECT_TRUE(std::isinf(Params::ReadFloat("f = 1e400", "f")));
  EXPECT_TRUE(Params::ReadBool("b = trueish", "b"));
  EXPECT_FALSE(Params::ReadBool("b = 1", "b"));
  EXPECT_TRUE(Params::HasFlag("x=shadow,y", "shadow"));
  EXPECT_FALSE(Params::HasFlag("shadowcaster", "shadow"));

  // Text ending at or just after the key gives defaults without reading past the end.
  for (const char* text : {"x = 1 speed", "speed", "speed =", "", static_cast<const char*>(nullptr)}) {
    EXPECT_FLOAT_EQ(Params::ReadFloat(text, "speed"), 0.0f);
    EXPECT_EQ(Params::ReadVector(text, "speed"), Vector3(0, 0, 0));
    EXPECT_EQ(Params::ReadVector2(text, "speed").x, 0.0f);
    std::string out;
    EXPECT_FALSE(Params::ReadString(text, "speed", out));
    EXPECT_FALSE(Params::ReadBlock(text, "speed", out, 0));
    std::vector<float> list;
    Params::ReadFloatList(text, "speed", list);
    EXPECT_TRUE(out.empty());
    // A delimiter at the very end still promises a value: the empty token, read as 0.
    EXPECT_EQ(list, text && std::strcmp(text, "speed =") == 0 ? std::vector<float>{0} : std::vector<float>{});
  }
  EXPECT_EQ(ColorOf("tint"), Rgba(255, 255, 255));
  EXPECT_FLOAT_EQ(Params::ReadFloat("a = 1", nullptr), 0.0f);
  EXPECT_FALSE(Params::HasFlag("a = 1", ""));
}

TEST(ParamsTest, VectorsAndColoursFillMissingComponents) {
  EXPECT_EQ(Vec("pos = 1, 2, 3, 4"), Vector3(1, 2, 3));
  EXPECT_EQ(ColorOf("tint = 300, 20"), Rgba(44, 20, 255));
  EXPECT_EQ(ColorOf("tint = 1, 2, 3, 4, 5"), Rgba(1, 2, 3, 4));
  EXPECT_EQ(ColorOf("tint = -1"), Rgba(255, 255, 255));
  // Numbers beyond the int range saturate instead of overflowing.
  EXPECT_EQ(ColorOf("tint = 99999999999999999999, -99999999999999999999"), Rgba(255, 0, 255));
}

// A delimiter always promises one more component: the token after it is converted whether
// the text ends there (the empty token, 0) or another line follows (its key, 0, and then that
// line's own value after its delimiter). The following key still reads as written.
TEST(ParamsTest, TrailingDelimiterReadsTheNextToken) {
  EXPECT_EQ(Vec("pos = 1,"), Vector3(1, 0, 0));
  EXPECT_EQ(Vec("pos = 4, 5,"), Vector3(4, 5, 0));
  EXPECT_EQ(Vec("pos = 1, // note"), Vector3(1, 0, 0));  // a comment is no token
  EXPECT_EQ(Params::ReadVector2("uv = 3,", "uv").x, 3.0f);
  EXPECT_EQ(Params::ReadVector2("uv = 3,", "uv").y, 0.0f);
  EXPECT_EQ(ColorOf("tint = 10,"), Rgba(10, 0, 255));
  EXPECT_EQ(ColorOf("tint = 10, 20, 30,"), Rgba(10, 20, 30, 0));
  std::vector<float> list;
  Params::ReadFloatList("k = 1, 2,", "k", list);
  EXPECT_EQ(list, (std::vector<float>{1, 2, 0}));

  // Followed by another line: its key reads as 0, its value fills the next component.
  const char* text = "pos = 1,\nscale = 5\ntint = 7,\nalpha = 9\nk = 1, 2,\nk = 3";
  EXPECT_EQ(Vec(text), Vector3(1, 0, 5));
  EXPECT_EQ(ColorOf(text), Rgba(7, 0, 9));
  list.clear();
  Params::ReadFloatList(text, "k", list);
  EXPECT_EQ(list, (std::vector<float>{1, 2, 0, 3}));
  EXPECT_EQ(Params::ReadFloat(text, "scale"), 5.0f);
  EXPECT_EQ(Params::ReadFloat(text, "alpha"), 9.0f);
}

TEST(ParamsTest, KeyIndexOccurrencesAndLists) {
  const char* text = "mode = Walk\nkind = other";
  const char* names[] = {"run", "walk", "fly"};
  EXPECT_EQ(Params::FindKeyIndex(text, "mode", names, 3, -1), 1);
  EXPECT_EQ(Params::FindKeyIndex(text, "kind", names, 3, -1), -1);
  EXPECT_EQ(Params::FindKeyIndex(text, "absent", names, 3, 7), 7);
  EXPECT_EQ(Params::FindKeyIndex(text, "mode", names, 1, 5), 5);

  const char* fx = "Fx = 1\nfx\n// fx = 2\nfxx = 3 fx,4";
  std::vector<const char*> positions;
  EXPECT_EQ(Params::FindAll(fx, "fx", &positions), 3);
  ASSERT_EQ(positions.size(), 3u);
  EXPECT_EQ(positions[1], fx + 7);
  EXPECT_EQ(std::strncmp(positions[2], "fx,4", 4), 0);

  std::vector<float> list = {-1.0f};
  // Keys on consecutive lines: the key ending one list must start the next.
  Params::ReadFloatList("v = 1, 2\nv = 3\nother = 9\nv , 4\nv\nv=5", "v", list);
  EXPECT_EQ(list, (std::vector<float>{-1, 1, 2, 3, 4, 5}));
}

TEST(ParamsTest, QuotedStringsAndNestedBlocks) {
  std::string out = "pre:";  // appended to; a key without a delimiter and a quote is skipped
  EXPECT_TRUE(Params::ReadString("name = plain\nname\nname = \"found\"", "name", out));
  EXPECT_EQ(out, "pre:found");
  out.clear();  // a lone backslash or a Unix line end is copied as it is
  EXPECT_TRUE(Params::ReadString("s = \"a\\\nb\\\r\"", "s", out));
  EXPECT_EQ(out, "a\\\nb\\\r");
  out.clear();  // a missing closing quote runs to the end of the text, and is reported
  testing_support::DebugCapture log;
  EXPECT_TRUE(Params::ReadString("name = \"open end\\", "name", out));
  EXPECT_EQ(out, "open end\\");
  EXPECT_NE(log.Text().find("no closing quote"), std::string::npos);

  out.clear();
  EXPECT_TRUE(Params::ReadBlock("fx = { a = { b } } fx = { c }", "fx", out, 1));
  EXPECT_EQ(out, " c }");
  EXPECT_FALSE(Params::ReadBlock("fx = { a } fx = { c }", "fx", out, 2));
  out = ">";  // hits without a block are passed over
  EXPECT_TRUE(Params::ReadBlock("fx = 3\nfx\nfx { }\nfx={x}", "fx", out, 0));
  EXPECT_EQ(out, ">x}");
  out.clear();  // an unterminated block runs to the end of the text
  EXPECT_TRUE(Params::ReadBlock("b = { one { two }", "b", out, 0));
  EXPECT_EQ(out, " one { two }");
}

// One generated entry: the lines written for its key and what each reader must give back.
struct Entry {
  enum Kind { kFloat, kBool, kFlag, kVector, kColor, kString, kBlock, kList, kKinds } kind;
  std::string key, text, expected;
  std::vector<float> numbers;
  int channels[4] = {255, 255, 255, 255};
  bool flag = false;
};

class Writer {
 public:
  explicit Writer(uint32_t seed) : random_(seed) {}
  uint32_t Next(uint32_t n) { return random_() % n; }
  std::string Space() { return std::string(Next(3), Next(2) ? ' ' : '\t'); }
  std::string Delimiter() { return Space() + (Next(2) ? "=" : ",") + Space(); }
  // Words that can never be taken for a key (keys contain an underscore).
  std::string Word() {
    static const char* words[] = {"alpha", "b", "12", "x.y", "-", "//", "c//d", "e,f", "g=h", "'"};
    return words[Next(10)];
  }
  std::string RandomCase(std::string key) {
    for (char& c : key)
      if (Next(2)) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
  }

  Entry Make(int index) {
    Entry e;
    e.kind = static_cast<Entry::Kind>(Next(Entry::kKinds));
    e.key = "key_" + std::to_string(index);
    switch (e.kind) {
      case Entry::kFloat:
      case Entry::kVector:
      case Entry::kList:
        for (int line = e.kind == Entry::kList ? 1 + Next(3) : 1; line > 0; --line) {
          e.text += e.key;
          for (int i = 0, count = 1 + Next(3); i < count; ++i) {
            e.numbers.push_back(std::uniform_real_distribution<float>(-1000.0f, 1000.0f)(random_));
            char number[40];
            std::snprintf(number, sizeof(number), "%.9g", static_cast<double>(e.numbers.back()));
            e.text += (i == 0 ? Delimiter() : Space() + "," + Space()) + number;
          }
          e.text += Next(2) ? " // note\n" : "\n";
        }
        break;
      case Entry::kBool:
        e.flag = Next(2);
        e.text = e.key + Delimiter() + (e.flag ? "True" : "false") + "\n";
        break;
      case Entry::kFlag:
        e.flag = Next(2);
        e.text = (e.flag ? "" : "// ") + e.key + "\n";
        break;
      case Entry::kColor:
        e.text = e.key;
        for (int i = 0, count = 1 + Next(4); i < count; ++i) {
          e.channels[i] = static_cast<int>(Next(256));
          e.text += (i == 0 ? Delimiter() : ",") + std::to_string(e.channels[i]);
        }
        e.text += "\n";
        break;
      case Entry::kString: {
        std::string written;
        for (int i = Next(5); i > 0; --i) {
          const std::string word = Word() + (Next(3) ? " " : "\n");
          if (Next(4) == 0) written += "\\\r\n";  // continuation: dropped on reading
          written += word;
          e.expected += word;
        }
        e.text = e.key + Delimiter() + "\"" + written + "\"\n";
        break;
      }
      default: {  // a block with nested braces
        int depth = 0;
        for (int i = Next(6); i > 0; --i) {
          const uint32_t choice = Next(3);
          if (choice == 0 || (choice == 1 && depth > 0)) {
            e.expected += choice == 0 ? " {" : " }";
            depth += choice == 0 ? 1 : -1;
          } else {
            e.expected += " " + Word() + "\n";
          }
        }
        while (depth-- > 0) e.expected += " }";
        e.text = e.key + Space() + "=" + Space() + "{" + e.expected + " }\n";
        e.expected += " }";
        break;
      }
    }
    return e;
  }

 private:
  std::mt19937 random_;
};

void CheckEntry(const char* t, const Entry& e, const char* key) {
  SCOPED_TRACE(e.text);
  const std::vector<float>& n = e.numbers;
  std::string out;
  switch (e.kind) {
    case Entry::kFloat:
      EXPECT_EQ(Params::ReadFloat(t, key), n[0]);
      EXPECT_EQ(Params::ReadVector2(t, key).y, n.size() > 1 ? n[1] : 0.0f);
      break;
    case Entry::kBool:
      EXPECT_EQ(Params::ReadBool(t, key), e.flag);
      break;
    case Entry::kFlag:
      EXPECT_EQ(Params::HasFlag(t, key), e.flag);
      EXPECT_EQ(Params::FindAll(t, key, nullptr), e.flag ? 1 : 0);
      break;
    case Entry::kVector:
      EXPECT_EQ(Params::ReadVector(t, key), Vector3(n[0], n[std::min<size_t>(1, n.size() - 1)], n.back()));
      break;
    case Entry::kList: {
      std::vector<float> list;
      Params::ReadFloatList(t, key, list);
      EXPECT_EQ(list, n);
      break;
    }
    case Entry::kColor: {
      Color c;
      Params::ReadColor(c, t, key);
      EXPECT_EQ(c, Rgba(e.channels[0], e.channels[1], e.channels[2], e.channels[3]));
      break;
    }
    case Entry::kString:
      EXPECT_TRUE(Params::ReadString(t, key, out));
      EXPECT_EQ(out, e.expected);
      break;
    default:
      EXPECT_TRUE(Params::ReadBlock(t, key, out, 0));
      EXPECT_EQ(out, e.expected);
      EXPECT_FALSE(Params::ReadBlock(t, key, out, 1));
      break;
  }
}

TEST(ParamsTest, GeneratedTextsReadBackInAnyOrderAndCase) {
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    Writer writer(seed);
    std::vector<Entry> entries;
    std::string text = "// generated definition\n";
    for (int i = 0; i < 25; ++i) {
      entries.push_back(writer.Make(i));
      text += entries.back().text;
    }
    SCOPED_TRACE(text);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
      CheckEntry(text.c_str(), *it, writer.RandomCase(it->key).c_str());
    EXPECT_FALSE(Params::FindKey(text.c_str(), "key_999"));
  }
}

}  // namespace
