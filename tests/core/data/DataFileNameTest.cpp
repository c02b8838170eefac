// The rule for names that data files give: inside their folder or refused with one line.
#include "core/data/DataFileName.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/TempFolder.h"

TEST(DataFileName, NamesThatLeadOutOfTheirFolderAreRefused) {
  struct Case {
    const char* name;
    bool inside;
  };
  const Case cases[] = {
      {"ground.texture", true},       {"./ground.texture", true},    {"sub/ground.texture", true},
      {"sub\\ground.texture", true},  {"sub/../ground.texture", true}, {"a..b.texture", true},
      {"..texture", true},            {"sub/..", true},              {"", true},
      {"..", false},                  {"../ground.texture", false},  {"..\\ground.texture", false},
      {"./../x", false},              {"sub/../../x", false},        {"sub//..\\..//x", false},
      {"/etc/passwd", false},         {"\\share\\x", false},         {"C:x.texture", false},
      {"c:\\x.texture", false},       {"sub/x:stream", false},
  };
  testing_support::DebugCapture log;
  for (const Case& c : cases) {
    log.Clear();
    EXPECT_EQ(c.inside, IsNameInsideFolder(c.name, "Test")) << c.name;
    const std::string line = std::string("Test: the name \"") + c.name + "\" leads out of its folder; refused\n";
    EXPECT_EQ(c.inside ? std::string() : line, log.Text()) << c.name;
  }
  EXPECT_TRUE(IsNameInsideFolder(nullptr, "Test"));
}
