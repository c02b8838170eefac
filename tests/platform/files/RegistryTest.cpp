// The registry on its text file: values of every type survive the file byte for byte, lookups
// ignore letter case, the size protocol of queries, handles and access rights, and damaged files.
#include "platform/files/Registry.h"

#include "platform/system/Platform.h"
#include "tests/support/InputCost.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WorkingFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

using testing_support::DebugCapture;
using testing_support::WorkingFolder;

namespace {

const char kKeyPath[] = "Software\\Brimwell\\Vantorhill";
const char kSection[] = "[HKEY_LOCAL_MACHINE\\Software\\Brimwell\\Vantorhill]\n";

HKEY Open(const char* path = kKeyPath, REGSAM access = KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, &key), ERROR_SUCCESS) << path;
  return key;
}

// The value as {type, bytes}, read with the two-step size protocol; type REG_NONE and no bytes
// when the query fails.
std::pair<DWORD, std::string> Query(HKEY key, const char* name) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {REG_NONE, ""};
  std::string bytes(size, '\0');
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&bytes[0]), &size) != ERROR_SUCCESS)
    return {REG_NONE, ""};
  bytes.resize(size);
  return {type, bytes};
}

std::string RandomBytes(size_t count) {
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(plat::rand() & 0xFF);
  return bytes;
}

TEST(Registry, ValuesOfEveryKindRoundTripThroughTheFile) {
  WorkingFolder work;
  ASSERT_TRUE(work.Entered());
  work.Write("registry.txt", kSection);
  plat::srand(7);

  // What the file should give back: name -> {type, bytes as queried}.
  std::map<std::string, std::pair<DWORD, std::string>> expected;
  HKEY key = Open();
  ASSERT_NE(key, nullptr);
  for (int i = 0; i < 60; ++i) {
    std::string name = "v" + std::to_string(i) + (i % 5 == 0 ? "\"=[x]\\" : "");
    const DWORD type = std::vector<DWORD>{REG_SZ, REG_BINARY, REG_DWORD, 7, REG_NONE}[i % 5];
    std::string data = RandomBytes(type == REG_DWORD ? 4 : static_cast<size_t>(plat::rand() % 40));
    if (type == REG_SZ) {
      std::replace(data.begin(), data.end(), '\0', '\n');  // no NUL inside a string
      data += '\0';
    }
    ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    expected[name] = {type, data};
  }
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  const std::string text = work.Read("registry.txt");
  key = Open();
  for (const auto& entry : expected) EXPECT_EQ(Query(key, entry.first.c_str()), entry.second) << entry.first;

  // Rewriting what was read changes nothing in the file.
  const std::pair<DWORD, std::string> first = Query(key, "v1");
  ASSERT_EQ(RegSetValueExA(key, "v1", 0, first.first, reinterpret_cast<const BYTE*>(first.second.data()),
                           static_cast<DWORD>(first.second.size())),
            ERROR_SUCCESS);
  EXPECT_EQ(work.Read("registry.txt"), text);

  // Names and key paths ignore letter case; deleting takes exactly one value.
  EXPECT_EQ(Query(key, "V1"), first);
  HKEY upper = Open("SOFTWARE\\brimwell\\VANTORHILL\\");
  EXPECT_EQ(Query(upper, "v2"), expected["v2"]);
  EXPECT_EQ(RegDeleteValueA(upper, "V2"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(upper, "v2"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Query(key, "v2").first, REG_NONE);
  EXPECT_EQ(Query(key, "v3"), expected["v3"]);
  RegCloseKey(upper);
  RegCloseKey(key);
}

TEST(Registry, QueriesKeysHandlesAndAccess) {
  WorkingFolder work;
  ASSERT_TRUE(work.Entered());
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_ALL_ACCESS, &key), ERROR_FILE_NOT_FOUND);
  work.Write("registry.txt", std::string(kSection) + "\"TARGETDIR\"=\"C:\\\\Games\"\n\"Flags\"=dword:0000001b\n");
  key = Open();
  DWORD type = 0;
  DWORD size = 0;
  ASSERT_EQ(RegQueryValueExA(key, "TARGETDIR", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 9u);  // "C:\Games" and its NUL
  char small[4] = {'x', 'x', 'x', 'x'};
  size = sizeof(small);
  EXPECT_EQ(RegQueryValueExA(key, "TARGETDIR", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 9u);
  EXPECT_EQ(small[0], 'x');  // nothing written on a short buffer
  EXPECT_EQ(Query(key, "TARGETDIR").second, std::string("C:\\Games", 9));
  EXPECT_EQ(Query(key, "Flags"), std::make_pair(REG_DWORD, std::string("\x1b\0\0\0", 4)));

  // A sub key opened from an open key; the root itself always opens.
  HKEY parent = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Brimwell", 0, KEY_READ, &parent), ERROR_FILE_NOT_FOUND)
      << "no section of its own";
  HKEY root = Open("");
  HKEY child = nullptr;
  EXPECT_EQ(RegOpenKeyExA(root, kKeyPath, 0, KEY_READ, &child), ERROR_SUCCESS);
  EXPECT_EQ(Query(child, "Flags").first, REG_DWORD);
  // Read access does not allow changes.
  const DWORD one = 1;
  EXPECT_EQ(RegSetValueExA(child, "New", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(child, "Flags"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Query(key, "New").first, REG_NONE);

  // A closed handle is refused everywhere instead of being used after its release.
  EXPECT_EQ(RegCloseKey(child), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(child), ERROR_INVALID_HANDLE);
  EXPECT_EQ(Query(child, "Flags").first, REG_NONE);
  EXPECT_EQ(RegOpenKeyExA(child, "x", 0, KEY_READ, &parent), ERROR_INVALID_HANDLE);
  RegCloseKey(root);
  RegCloseKey(key);

  // The errors these calls return, in words; a buffer one byte short gets nothing.
  char text[64];
  for (const auto& [error, words] : std::vector<std::pair<DWORD, std::string>>{
           {ERROR_SUCCESS, "The operation completed successfully."},
           {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
           {ERROR_ACCESS_DENIED, "Access is denied."},
           {ERROR_INVALID_HANDLE, "The handle is invalid."},
           {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
           {ERROR_MORE_DATA, "More data is available."},
           {12345, "Unknown error."}}) {
    EXPECT_EQ(words.size() + 2, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error, 0, text, 64, nullptr));
    EXPECT_EQ(words + "\r\n", text);
  }
  EXPECT_EQ(19u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, text, 20, nullptr));
  EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, text, 19, nullptr));
  EXPECT_EQ('\0', text[0]);
  EXPECT_EQ(0u, FormatMessageA(0, nullptr, ERROR_ACCESS_DENIED, 0, text, 64, nullptr));
}

TEST(Registry, DamagedFilesAreReadAsFarAsTheyMakeSense) {
  WorkingFolder work;
  ASSERT_TRUE(work.Entered());
  DebugCapture log;
  // Broken lines between good ones: only the good ones count.
  work.Write("registry.txt", std::string("\"Orphan\"=dword:1\n") + kSection +
                                 "\"A\"=hex:0\n\"B\"=\"no end\n\"C\"=dword:123456789\n\"D\"=hex(zz):00\n"
                                 "\"E\"=\"bad \\q escape\"\nnonsense\n\"Good\"=hex:01,ff\r\n\"Str\"=\"\\x41\\\\\"\n");
  HKEY key = Open();
  EXPECT_EQ(Query(key, "Good"), std::make_pair(REG_BINARY, std::string("\x01\xff", 2)));
  EXPECT_EQ(Query(key, "Str"), std::make_pair(REG_SZ, std::string("A\\", 3)));
  for (const char* name : {"Orphan", "A", "B", "C", "D", "E"}) EXPECT_EQ(Query(key, name).first, REG_NONE) << name;
  EXPECT_NE(log.Text().find("Registry: skipping line 1 of \"registry.txt\"\n"), std::string::npos);
  RegCloseKey(key);

  // Random damage after the first value never crashes a reader and never costs that value; a
  // file cut short anywhere is read as far as it goes.
  plat::srand(99);
  const std::string valid = std::string(kSection) + "\"Keep\"=dword:00000005\n\"S\"=\"abc\"\n\"H\"=hex:01,02,03\n";
  const size_t firstDamage = valid.find("\"S\"");
  for (int trial = 0; trial < 300; ++trial) {
    std::string damaged = valid;
    for (int hit = plat::rand() % 4; hit >= 0; --hit)
      damaged[firstDamage + static_cast<size_t>(plat::rand()) % (valid.size() - firstDamage)] =
          static_cast<char>(plat::rand() & 0xFF);
    const bool cut = trial % 3 == 0;
    if (cut) damaged.resize(static_cast<size_t>(plat::rand()) % damaged.size());
    work.Write("registry.txt", damaged);
    HKEY damagedKey = nullptr;
    if (testing_support::WithinLinearCost(damaged.size(), [&] { return RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_ALL_ACCESS, &damagedKey); }) != ERROR_SUCCESS) {
      EXPECT_TRUE(cut);
      continue;
    }
    if (damaged.size() >= firstDamage)
      EXPECT_EQ(Query(damagedKey, "Keep"), std::make_pair(REG_DWORD, std::string("\x05\0\0\0", 4)));
    Query(damagedKey, "S");
    Query(damagedKey, "H");
    RegCloseKey(damagedKey);
  }
}

// A file of 100,000 sections and one of 100,000 values (a megabyte or more each): a key opens
// and a value is found in time linear in the file, with names matched regardless of case and
// the last line of a repeated name winning.
TEST(Registry, LargeFilesAreIndexed) {
  WorkingFolder work;
  ASSERT_TRUE(work.Entered());
  std::string sections;
  for (int i = 0; i < 100000; ++i) sections += "[HKEY_LOCAL_MACHINE\\Software\\K" + std::to_string(i) + "]\n\"v\"=dword:1\n";
  sections += "[HKEY_LOCAL_MACHINE\\software\\k99999]\n\"v\"=dword:00000002\n";
  std::string values = kSection;
  for (int i = 0; i < 100000; ++i) values += "\"Name" + std::to_string(i) + "\"=\"" + std::to_string(i) + "\"\n";
  values += "\"name5\"=\"last\"\n";
  for (const std::string* file : {&sections, &values}) {
    work.Write("registry.txt", *file);
    const bool manySections = file == &sections;
    std::pair<DWORD, std::string> got;
    EXPECT_TRUE(testing_support::CostsNearLinear(file->size(), [&] {
      HKEY key = nullptr;
      ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, manySections ? "Software\\K99999" : kKeyPath, 0, KEY_ALL_ACCESS, &key),
                ERROR_SUCCESS);
      got = Query(key, manySections ? "V" : "NAME5");
      RegCloseKey(key);
    }));
    EXPECT_EQ(got, manySections ? std::make_pair(REG_DWORD, std::string("\x02\0\0\0", 4))
                                : std::make_pair(REG_SZ, std::string("last", 5)));  // with its NUL
  }
}

}  // namespace
