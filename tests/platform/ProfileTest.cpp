// GetPrivateProfileStringA on files written here, and CoCreateGuid.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/Profile.h"
#include "tests/support/TempFolder.h"

namespace {

TEST(Profile, ReadsKeysLikeTheWindowsFunction) {
  testing_support::TempFolder folder;
  folder.Write("Data/Objects/Cats.INI",
               "; a comment line\n"
               "[Header]\r\n"
               "NumCategories = 3  \r\n"
               "# another comment\n"
               "Name=\"  quoted  \"\n"
               "empty=\n"
               "[ Second ]\n"
               "Key=second value\n"
               "NumCategories=99\n");
  const std::string file = folder.Path() + "data\\objects\\cats.ini";  // backslashes, other case
  struct Case {
    const char* section;
    const char* key;
    const char* fallback;
    DWORD size;
    const char* expect;
  } cases[] = {
      {"header", "numcategories", "x", 64, "3"},     // names without case, value trimmed
      {"HEADER", "Name", "", 64, "  quoted  "},      // one pair of quotes removed
      {"Header", "empty", "fallback", 64, ""},       // a present empty value is not the default
      {"Header", "missing", "def  ", 64, "def"},     // default with trailing blanks dropped
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
}

TEST(Profile, GuidsAreRandomVersionFour) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    GUID g{};
    ASSERT_EQ(CoCreateGuid(&g), S_OK);
    EXPECT_EQ(g.Data3 >> 12, 4);
    EXPECT_EQ(g.Data4[0] & 0xC0, 0x80);
    seen.insert(std::string(reinterpret_cast<const char*>(&g), sizeof(g)));
  }
  EXPECT_EQ(seen.size(), 200u);
  EXPECT_EQ(CoCreateGuid(nullptr), E_FAIL);
}

}  // namespace
