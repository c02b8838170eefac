// GetPrivateProfileStringA on files written here, and CoCreateGuid.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "platform/files/Profile.h"
#include "tests/support/TempFolder.h"

namespace {

TEST(Profile, ReadsKeysLikeTheWindowsFunction) {
  testing_support::TempFolder folder;
  folder.Write("Data/Objects/Cats.INI",
               "; a comment line\n"
               "[Header]\r\n"
               "NumCategories = 3  \r\n"
               "#hash=not a comment\n"
               "Name=\"  quoted  \"\n"
               "empty=\n"
               "[ Second ]\n"
               "Key=second value\n"
               "[t\n"  // no ']': a line of the section it stands in
               "NumCategories=99\n"
               "[CR]\rone=1\rtwo=2\r");
  const std::string file = folder.Path() + "data\\objects\\cats.ini";  // backslashes, other case
  struct Case {
    const char* section;
    const char* key;
    const char* fallback;
    DWORD size;
    const char* expect;
  } cases[] = {
      {"header", "numcategories", "x", 64, "3"},         // names without case, value trimmed
      {"HEADER", "Name", "", 64, "  quoted  "},          // one pair of quotes removed
      {"Header", "empty", "fallback", 64, ""},           // a present empty value is not the default
      {"Header", "missing", "def\t  ", 64, "def\t"},     // default without its trailing spaces
      {"Header", "missing", "'def'  ", 64, "def"},       // nor its quotes, as a value loses them
      {"Header", "missing", "\"def", 64, "\"def"},       // a lone quote stays
      {"HEADER", "Name", "", 11, "  quoted  "},          // unquoted, the value fills the buffer whole
      {" header ", " #hash ", "", 64, "not a comment"},  // asked names trimmed; '#' starts no comment
      {"t", "NumCategories", "d", 64, "d"},
      {"cr", "two", "", 64, "2"},                     // a lone CR ends a line
      {"Nowhere", "NumCategories", nullptr, 64, ""},  // missing section, null default
      {"second", "key", "", 64, "second value"},
      {"second", "numcategories", "", 64, "99"},     // the key of the asked section only
      {"second", "key", "", 7, "second"},            // cut to the buffer
      {"header", "; a comment line", "d", 64, "d"},  // comments hold no keys
  };
  for (const Case& c : cases) {
    char buffer[64] = "garbage";
    const DWORD n = GetPrivateProfileStringA(c.section, c.key, c.fallback, buffer, c.size, file.c_str());
    EXPECT_STREQ(buffer, c.expect) << c.section << "/" << c.key;
    EXPECT_EQ(n, std::string(c.expect).size()) << c.section << "/" << c.key;
  }
  char buffer[8];
  EXPECT_EQ(GetPrivateProfileStringA("a", "b", "default", buffer, 8, (folder.Path() + "none.ini").c_str()), 7u);
  EXPECT_STREQ(buffer, "default");
  EXPECT_EQ(GetPrivateProfileStringA("header", "NumCategories", "", buffer, 0, file.c_str()), 0u);
  EXPECT_EQ(GetPrivateProfileStringA("header", "NumCategories", "", buffer, 1, file.c_str()), 0u);
  EXPECT_STREQ(buffer, "");
  // A folder is no file: the default, not a failed read.
  EXPECT_EQ(GetPrivateProfileStringA("a", "b", "x", buffer, 8, (folder.Path() + "data").c_str()), 1u);
  EXPECT_STREQ(buffer, "x");
}

TEST(Profile, NullSectionOrKeyListsNamesCutLikeTheWindowsFunction) {
  testing_support::TempFolder folder;
  const std::string file = folder.Write("list.ini",
                                        "[Header]\nNumCategories=3\n;x=1\n        bare\n#hash=5\n[]\nlost=1\n"
                                        "[Second]\nKey=v\n[header]\nmore=1\n");
  auto list = [&](const char* section, DWORD size) {
    char buffer[64];
    std::memset(buffer, '?', sizeof(buffer));
    const DWORD n = GetPrivateProfileStringA(section, nullptr, "default", buffer, size, file.c_str());
    return std::make_pair(n, std::string(buffer, std::min<DWORD>(size, 64)));
  };
  using Result = std::pair<DWORD, std::string>;
  const std::string sections("Header\0Second\0header\0", 21);  // empty names are left out
  EXPECT_EQ(list(nullptr, 22), Result(21, sections + '\0'));
  EXPECT_EQ(list(nullptr, 21), Result(19, std::string("Header\0Second\0heade\0\0", 21)));
  EXPECT_EQ(list(nullptr, 2), Result(0, std::string("\0\0", 2)));
  EXPECT_EQ(list(nullptr, 1), Result(0, std::string("\0", 1)));
  // Keys of every section of that name, in file order; comments and lines without '=' hold none.
  EXPECT_EQ(list(" HEADER ", 64).first, 25u);
  EXPECT_EQ(list(" HEADER ", 64).second.substr(0, 26), std::string("NumCategories\0#hash\0more\0\0", 26));
  EXPECT_EQ(list("header", 8), Result(6, std::string("NumCat\0\0", 8)));
  // Sections of one name are one: a key of the second is found.
  char value[4];
  EXPECT_EQ(GetPrivateProfileStringA("HEADER", "more", "", value, 4, file.c_str()), 1u);
  EXPECT_STREQ(value, "1");
  // Nothing to list: the default, closed as a list where there is room.
  EXPECT_EQ(list("nowhere", 64).first, 7u);
  EXPECT_EQ(list("nowhere", 64).second.substr(0, 10), std::string("default\0\0?", 10));
  EXPECT_EQ(list("nowhere", 4), Result(3, std::string("def\0", 4)));
  const std::string bare = folder.Write("bare.ini", "[Bare]\n;x=1\nno equals\n=no name\n");
  char buffer[8];
  std::memset(buffer, '?', sizeof(buffer));
  // Quotes count only at the ends.
  EXPECT_EQ(GetPrivateProfileStringA("bare", nullptr, " 'x'  ", buffer, 8, bare.c_str()), 4u);
  EXPECT_EQ(std::string(buffer, 6), std::string(" 'x'\0\0", 6));
  EXPECT_EQ(GetPrivateProfileStringA("bare", nullptr, "\"x\"", buffer, 8, bare.c_str()), 1u);
  EXPECT_EQ(std::string(buffer, 3), std::string("x\0\0", 3));
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, "b", "x", buffer, 8, (folder.Path() + "none.ini").c_str()), 0u);
  EXPECT_EQ(std::string(buffer, 2), std::string("\0\0", 2));
}

TEST(Profile, GuidsAreRandomVersionFour) {
  std::set<std::string> seen;
  uint64_t ones = 0;  // every bit of the first two random fields turns up set in some GUID
  for (int i = 0; i < 200; ++i) {
    GUID g{};
    ASSERT_EQ(CoCreateGuid(&g), S_OK);
    EXPECT_EQ(g.Data3 >> 12, 4);
    EXPECT_EQ(g.Data4[0] & 0xC0, 0x80);
    ones |= uint64_t{g.Data1} << 16 | g.Data2;
    seen.insert(std::string(reinterpret_cast<const char*>(&g), sizeof(g)));
  }
  EXPECT_EQ(ones, 0xFFFFFFFFFFFFu);
  EXPECT_EQ(seen.size(), 200u);
  EXPECT_EQ(CoCreateGuid(nullptr), E_FAIL);
}

}  // namespace
