// Tests of the Params readers: the documented reading rules and a round trip
// of randomly generated definition texts through every reader.
#include "core/math/Params.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

Color MakeColor(int r, int g, int b, int a) { return Color::FromRGBA(uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a)); }

void ExpectVector(const Vector3& v, float x, float y, float z) {
  EXPECT_FLOAT_EQ(v.x, x);
  EXPECT_FLOAT_EQ(v.y, y);
  EXPECT_FLOAT_EQ(v.z, z);
}

}  // namespace

TEST(ParamsTest, KeysIgnoreCaseAndNeedADelimiter) {
  EXPECT_FLOAT_EQ(Params::ReadFloat("Speed = 3", "speed"), 3.0f);
  EXPECT_FLOAT_EQ(Params::ReadFloat("speed=3.5", "SPEED"), 3.5f);
  EXPECT_FLOAT_EQ(Params::ReadFloat("speed , -2", "speed"), -2.0f);
  // No delimiter after the first occurrence: give up, even with a later one.
  EXPECT_FLOAT_EQ(Params::ReadFloat("speed 3\nspeed = 4", "speed"), 0.0f);
  EXPECT_FALSE(Params::FindKey("speed 3\nspeed = 4", "speed"));
  EXPECT_FALSE(Params::ReadBool("on true\non = true", "on"));
  ExpectVector(Params::ReadVector("pos 1\npos = 2", "pos"), 0, 0, 0);
  // Comments are skipped, inside a line and after a value.
  EXPECT_FLOAT_EQ(Params::ReadFloat("a = 1 // a = 2\na = 3", "a"), 1.0f);
  EXPECT_FLOAT_EQ(Params::ReadFloat("// a = 5\na = 6", "a"), 6.0f);
  EXPECT_EQ(Params::FindKey("value=12//note", "value"), "12");
  // A value that is itself the key is found at the first occurrence.
  EXPECT_EQ(Params::FindKey("size = size", "size"), "size");
  // Malformed numbers read their numeric prefix.
  EXPECT_FLOAT_EQ(Params::ReadFloat("f = 2.5abc", "f"), 2.5f);
  EXPECT_FLOAT_EQ(Params::ReadFloat("f = abc", "f"), 0.0f);
}

TEST(ParamsTest, TextEndingAtTheKeyGivesDefaults) {
  const char* texts[] = {"x = 1 speed", "speed", "speed =", "", nullptr};
  for (const char* text : texts) {
    EXPECT_FLOAT_EQ(Params::ReadFloat(text, "speed"), 0.0f);
    EXPECT_FALSE(Params::ReadBool(text, "speed"));
    ExpectVector(Params::ReadVector(text, "speed"), 0, 0, 0);
    const Vector2 v2 = Params::ReadVector2(text, "speed");
    EXPECT_EQ(v2.x, 0.0f);
    EXPECT_EQ(v2.y, 0.0f);
    std::string out;
    EXPECT_FALSE(Params::ReadString(text, "speed", out));
    EXPECT_FALSE(Params::ReadBlock(text, "speed", out, 0));
    EXPECT_TRUE(out.empty());
    std::vector<float> list;
    Params::ReadFloatList(text, "speed", list);
    EXPECT_TRUE(list.empty());
  }
  Color c = MakeColor(1, 2, 3, 4);
  Params::ReadColor(c, "tint", "tint");
  EXPECT_EQ(c, MakeColor(255, 255, 255, 255));
  EXPECT_FLOAT_EQ(Params::ReadFloat("a = 1", nullptr), 0.0f);
  EXPECT_FLOAT_EQ(Params::ReadFloat("a = 1", ""), 0.0f);
  EXPECT_FALSE(Params::HasFlag("a = 1", ""));
}

TEST(ParamsTest, FlagsAndBools) {
  EXPECT_TRUE(Params::HasFlag("shadow", "shadow"));
  EXPECT_TRUE(Params::HasFlag("a = 1\n  SHADOW\n", "shadow"));
  EXPECT_FALSE(Params::HasFlag("//shadow", "shadow"));
  EXPECT_FALSE(Params::HasFlag("shadowcaster", "shadow"));
  EXPECT_TRUE(Params::HasFlag("x=shadow,y", "shadow"));

  EXPECT_TRUE(Params::ReadBool("b = TRUE", "b"));
  EXPECT_TRUE(Params::ReadBool("b = trueish", "b"));
  EXPECT_FALSE(Params::ReadBool("b = tru", "b"));
  EXPECT_FALSE(Params::ReadBool("b = yes", "b"));
  EXPECT_FALSE(Params::ReadBool("b = 1", "b"));
  EXPECT_FALSE(Params::ReadBool("c = true", "b"));
}

TEST(ParamsTest, VectorsAndColoursFillMissingComponents) {
  ExpectVector(Params::ReadVector("pos = 2", "pos"), 2, 2, 2);
  ExpectVector(Params::ReadVector("pos = 1, 2", "pos"), 1, 2, 2);
  ExpectVector(Params::ReadVector("pos = 1, 2, 3, 4", "pos"), 1, 2, 3);
  ExpectVector(Params::ReadVector("pos=1,2\nnext = 9", "pos"), 1, 2, 2);
  const Vector2 uv = Params::ReadVector2("uv = 3", "uv");
  EXPECT_FLOAT_EQ(uv.x, 3.0f);
  EXPECT_FLOAT_EQ(uv.y, 0.0f);

  Color c;
  Params::ReadColor(c, "tint = 300, 20", "tint");
  EXPECT_EQ(c, MakeColor(44, 20, 255, 255));
  Params::ReadColor(c, "tint = 1, 2, 3, 4, 5", "tint");
  EXPECT_EQ(c, MakeColor(1, 2, 3, 4));
  // A component the text ends before is not given: it keeps its default.
  Params::ReadColor(c, "tint = 10,", "tint");
  EXPECT_EQ(c, MakeColor(10, 255, 255, 255));
  Params::ReadColor(c, "tint =", "tint");
  EXPECT_EQ(c, MakeColor(255, 255, 255, 255));
  ExpectVector(Params::ReadVector("pos = 4,", "pos"), 4, 4, 4);
  Params::ReadColor(c, "tint = -1", "tint");
  EXPECT_EQ(c, MakeColor(255, 255, 255, 255));
  // Numbers beyond the int range saturate instead of overflowing.
  Params::ReadColor(c, "tint = 99999999999999999999, -99999999999999999999", "tint");
  EXPECT_EQ(c, MakeColor(255, 0, 255, 255));
  // Floats beyond the float range become infinite.
  EXPECT_TRUE(std::isinf(Params::ReadFloat("f = 1e400", "f")));
  EXPECT_LT(Params::ReadFloat("f = -1e300", "f"), 0.0f);
}

TEST(ParamsTest, FindKeyValuesAreTheirOwnAndIndexNames) {
  const char* text = "mode = Walk\nkind = other";
  const std::optional<std::string> first = Params::FindKey(text, "mode");
  const std::optional<std::string> second = Params::FindKey(text, "kind");
  // A later lookup leaves an earlier value as it was.
  EXPECT_EQ(first, "Walk");
  EXPECT_EQ(second, "other");
  EXPECT_FALSE(Params::FindKey(text, "absent"));

  const char* names[] = {"run", "walk", "fly"};
  EXPECT_EQ(Params::FindKeyIndex(text, "mode", names, 3, -1), 1);
  EXPECT_EQ(Params::FindKeyIndex(text, "kind", names, 3, -1), -1);
  EXPECT_EQ(Params::FindKeyIndex(text, "absent", names, 3, 7), 7);
  EXPECT_EQ(Params::FindKeyIndex(text, "mode", names, 1, 5), 5);
}

TEST(ParamsTest, FindAllCountsAndLocatesEveryOccurrence) {
  const char* text = "Fx = 1\nfx\n// fx = 2\nfxx = 3 fx,4";
  std::vector<const char*> positions;
  EXPECT_EQ(Params::FindAll(text, "fx", &positions), 3);
  ASSERT_EQ(positions.size(), 3u);
  EXPECT_EQ(positions[0], text);
  EXPECT_EQ(positions[1], text + 7);
  EXPECT_EQ(std::strncmp(positions[2], "fx,4", 4), 0);
  EXPECT_EQ(Params::FindAll(text, "none", nullptr), 0);
}

TEST(ParamsTest, FloatListTakesEveryOccurrence) {
  std::vector<float> list = {-1.0f};
  // Keys on consecutive lines: the key ending one list must start the next.
  Params::ReadFloatList("v = 1, 2\nv = 3\nother = 9\nv , 4\nv\nv=5", "v", list);
  EXPECT_EQ(list, (std::vector<float>{-1, 1, 2, 3, 4, 5}));
}

TEST(ParamsTest, ReadsQuotedStrings) {
  std::string out;
  EXPECT_TRUE(Params::ReadString("name = \"two\\\r\nlines\"", "name", out));
  EXPECT_EQ(out, "twolines");

  out = "pre:";
  EXPECT_TRUE(Params::ReadString("title=\"a // b, c = d\nnext\" rest", "TITLE", out));
  EXPECT_EQ(out, "pre:a // b, c = d\nnext");

  // A key not followed by a delimiter and a quote is skipped; the search goes on.
  out.clear();
  EXPECT_TRUE(Params::ReadString("name = plain\nname\nname = \"found\"", "name", out));
  EXPECT_EQ(out, "found");

  // A missing closing quote runs to the end of the text, and is reported.
  out.clear();
  {
    testing_support::DebugCapture log;
    EXPECT_TRUE(Params::ReadString("name = \"open end\\", "name", out));
    EXPECT_NE(log.Text().find("no closing quote"), std::string::npos);
  }
  EXPECT_EQ(out, "open end\\");
  // A lone backslash or a Unix line end is copied as it is.
  out.clear();
  EXPECT_TRUE(Params::ReadString("s = \"a\\\nb\\\r\"", "s", out));
  EXPECT_EQ(out, "a\\\nb\\\r");

  out.clear();
  EXPECT_FALSE(Params::ReadString("name = 5", "name", out));
  EXPECT_TRUE(out.empty());
}

TEST(ParamsTest, ReadsNestedBlocks) {
  std::string out;
  EXPECT_TRUE(Params::ReadBlock("fx = { a = { b } } fx = { c }", "fx", out, 1));
  EXPECT_EQ(out, " c }");
  out.clear();
  EXPECT_TRUE(Params::ReadBlock("fx = { a = { b } } fx = { c }", "fx", out, 0));
  EXPECT_EQ(out, " a = { b } }");
  out.clear();
  EXPECT_FALSE(Params::ReadBlock("fx = { a } fx = { c }", "fx", out, 2));
  // A hit without a block is passed over.
  out = ">";
  EXPECT_TRUE(Params::ReadBlock("fx = 3\nfx\nfx { }\nfx={x}", "fx", out, 0));
  EXPECT_EQ(out, ">x}");
  // An unterminated block runs to the end of the text.
  out.clear();
  EXPECT_TRUE(Params::ReadBlock("b = { one { two }", "b", out, 0));
  EXPECT_EQ(out, " one { two }");
}

namespace {

// One entry of a generated definition text and how to check it.
struct Entry {
  enum Kind { kFloat, kBool, kFlag, kVector, kVector2, kColor, kString, kBlock, kList } kind;
  std::string key;
  std::string text;  // the lines written for it
  std::vector<float> numbers;
  std::vector<int> channels;
  std::string expectedString;
  bool flag = false;
};

class DefinitionWriter {
 public:
  explicit DefinitionWriter(uint32_t seed) : random_(seed) {}

  std::string Space() {
    static const char* spaces[] = {"", " ", "  ", "\t"};
    return spaces[random_() % 4];
  }
  std::string Delimiter() { return Space() + (random_() % 2 ? "=" : ",") + Space(); }
  std::string Number(float value) {
    char buffer[40];
    std::snprintf(buffer, sizeof(buffer), "%.9g", static_cast<double>(value));
    return buffer;
  }
  float RandomFloat() { return std::uniform_real_distribution<float>(-1000.0f, 1000.0f)(random_); }
  // Words that can never be taken for a key (keys contain an underscore).
  std::string Word() {
    static const char* words[] = {"alpha", "b", "12", "x.y", "-", "//", "c//d", "e,f", "g=h", "'"};
    return words[random_() % 10];
  }
  std::string RandomCase(const std::string& key) {
    std::string out = key;
    for (char& c : out) {
      if (random_() % 2) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
  }

  Entry Make(int index) {
    Entry e;
    e.kind = static_cast<Entry::Kind>(random_() % 9);
    e.key = "key_" + std::to_string(index);
    const std::string head = e.key + Delimiter();
    switch (e.kind) {
      case Entry::kFloat:
      case Entry::kVector:
      case Entry::kVector2:
      case Entry::kList: {
        const int lines = e.kind == Entry::kList ? 1 + random_() % 3 : 1;
        for (int line = 0; line < lines; ++line) {
          const int count = 1 + random_() % 3;
          std::string text = e.key;
          for (int i = 0; i < count; ++i) {
            e.numbers.push_back(RandomFloat());
            text += (i == 0 ? Delimiter() : Space() + "," + Space()) + Number(e.numbers.back());
          }
          e.text += text + (random_() % 2 ? " // note\n" : "\n");
        }
        break;
      }
      case Entry::kBool:
        e.flag = random_() % 2;
        e.text = head + (e.flag ? "True" : "false") + "\n";
        break;
      case Entry::kFlag:
        e.flag = random_() % 2;
        e.text = (e.flag ? "" : "// ") + e.key + "\n";
        break;
      case Entry::kColor: {
        const int count = 1 + random_() % 4;
        e.text = e.key;
        for (int i = 0; i < count; ++i) {
          e.channels.push_back(static_cast<int>(random_() % 256));
          e.text += (i == 0 ? Delimiter() : ",") + std::to_string(e.channels.back());
        }
        e.text += "\n";
        break;
      }
      case Entry::kString: {
        std::string written;
        const int words = random_() % 5;
        for (int i = 0; i < words; ++i) {
          const std::string word = Word() + (random_() % 3 ? " " : "\n");
          if (random_() % 4 == 0) written += "\\\r\n";  // continuation: dropped on reading
          written += word;
          e.expectedString += word;
        }
        e.text = e.key + Delimiter() + "\"" + written + "\"\n";
        break;
      }
      case Entry::kBlock: {
        std::string body;
        int depth = 0;
        const int parts = random_() % 6;
        for (int i = 0; i < parts; ++i) {
          const int choice = random_() % 3;
          if (choice == 0) {
            body += " {";
            ++depth;
          } else if (choice == 1 && depth > 0) {
            body += " }";
            --depth;
          } else {
            body += " " + Word() + "\n";
          }
        }
        while (depth-- > 0) body += " }";
        e.expectedString = body + " }";
        e.text = e.key + Space() + "=" + Space() + "{" + body + " }\n";
        break;
      }
    }
    return e;
  }

 private:
  std::mt19937 random_;
};

void CheckEntry(const std::string& text, const Entry& e, const std::string& key) {
  const char* t = text.c_str();
  SCOPED_TRACE(e.text);
  switch (e.kind) {
    case Entry::kFloat:
      EXPECT_EQ(Params::ReadFloat(t, key.c_str()), e.numbers[0]);
      break;
    case Entry::kBool:
      EXPECT_EQ(Params::ReadBool(t, key.c_str()), e.flag);
      break;
    case Entry::kFlag:
      EXPECT_EQ(Params::HasFlag(t, key.c_str()), e.flag);
      EXPECT_EQ(Params::FindAll(t, key.c_str(), nullptr), e.flag ? 1 : 0);
      break;
    case Entry::kVector: {
      const Vector3 v = Params::ReadVector(t, key.c_str());
      const float* n = e.numbers.data();
      const size_t c = e.numbers.size();
      EXPECT_EQ(v.x, n[0]);
      EXPECT_EQ(v.y, n[std::min<size_t>(1, c - 1)]);
      EXPECT_EQ(v.z, n[std::min<size_t>(2, c - 1)]);
      break;
    }
    case Entry::kVector2: {
      const Vector2 v = Params::ReadVector2(t, key.c_str());
      EXPECT_EQ(v.x, e.numbers[0]);
      EXPECT_EQ(v.y, e.numbers.size() > 1 ? e.numbers[1] : 0.0f);
      break;
    }
    case Entry::kList: {
      std::vector<float> list;
      Params::ReadFloatList(t, key.c_str(), list);
      EXPECT_EQ(list, e.numbers);
      break;
    }
    case Entry::kColor: {
      Color c;
      Params::ReadColor(c, t, key.c_str());
      int expected[4] = {255, 255, 255, 255};
      for (size_t i = 0; i < e.channels.size(); ++i) expected[i] = e.channels[i];
      EXPECT_EQ(c, MakeColor(expected[0], expected[1], expected[2], expected[3]));
      break;
    }
    case Entry::kString: {
      std::string out;
      EXPECT_TRUE(Params::ReadString(t, key.c_str(), out));
      EXPECT_EQ(out, e.expectedString);
      break;
    }
    case Entry::kBlock: {
      std::string out;
      EXPECT_TRUE(Params::ReadBlock(t, key.c_str(), out, 0));
      EXPECT_EQ(out, e.expectedString);
      EXPECT_FALSE(Params::ReadBlock(t, key.c_str(), out, 1));
      break;
    }
  }
}

}  // namespace

TEST(ParamsTest, GeneratedTextsReadBackInAnyOrder) {
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    DefinitionWriter writer(seed);
    std::vector<Entry> entries;
    for (int i = 0; i < 25; ++i) entries.push_back(writer.Make(i));
    std::string text = "// generated definition\n";
    for (const Entry& e : entries) text += e.text;
    SCOPED_TRACE(text);
    // Read in reverse and with keys in random case: order and case do not matter.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) CheckEntry(text, *it, writer.RandomCase(it->key));
    EXPECT_FLOAT_EQ(Params::ReadFloat(text.c_str(), "key_999"), 0.0f);
    EXPECT_FALSE(Params::HasFlag(text.c_str(), "key_999"));
  }
}
