// Module resources: found by text name and type regardless of case or by number, each module its
// own, never replaced, and gone when the module's resources are cleared.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/system/ModuleResources.h"

TEST(ModuleResources, FoundByNameAndTypeInTheirOwnModuleOnly) {
  HMODULE own = GetModuleHandleA(nullptr);
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(GetModuleHandleA("d3d8.dll"), nullptr);
  // The program carries none of its own.
  EXPECT_EQ(FindResourceA(nullptr, "icon", RT_RCDATA), nullptr);

  static char otherTag;
  HMODULE other = reinterpret_cast<HMODULE>(&otherTag);
  const std::string text = "picture bytes", numbered = "by number";
  ASSERT_TRUE(plat::AddModuleResource(own, "Icon", RT_RCDATA, text.data(), text.size()));
  ASSERT_TRUE(plat::AddModuleResource(own, MAKEINTRESOURCEA(7), RT_RCDATA, numbered.data(), numbered.size()));
  EXPECT_FALSE(plat::AddModuleResource(own, "ICON", RT_RCDATA, "x", 1)) << "resources never change";
  EXPECT_FALSE(plat::AddModuleResource(own, nullptr, RT_RCDATA, "x", 1));
  EXPECT_FALSE(plat::AddModuleResource(own, "y", nullptr, "x", 1));

  HRSRC found = FindResourceA(nullptr, "iCoN", RT_RCDATA);  // null: the program's own
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(FindResourceA(own, "ICON", RT_RCDATA), found);
  EXPECT_EQ(SizeofResource(own, found), text.size());
  const void* bytes = LockResource(LoadResource(own, found));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::memcmp(bytes, text.data(), text.size()), 0);
  // Another type, another module, a number against a text and a null name find nothing.
  EXPECT_EQ(FindResourceA(own, "icon", MAKEINTRESOURCEA(3)), nullptr);
  EXPECT_EQ(FindResourceA(own, "icon", "RCDATA"), nullptr);
  EXPECT_EQ(FindResourceA(other, "icon", RT_RCDATA), nullptr);
  EXPECT_EQ(LoadResource(other, found), nullptr);
  EXPECT_EQ(SizeofResource(other, found), 0u);
  EXPECT_EQ(FindResourceA(own, "7", RT_RCDATA), nullptr);
  EXPECT_EQ(FindResourceA(own, nullptr, RT_RCDATA), nullptr);
  HRSRC seven = FindResourceA(own, MAKEINTRESOURCEA(7), RT_RCDATA);
  ASSERT_NE(seven, nullptr);
  EXPECT_EQ(SizeofResource(own, seven), numbered.size());
  EXPECT_EQ(LockResource(nullptr), nullptr);
  // The other module may have an icon of its own.
  ASSERT_TRUE(plat::AddModuleResource(other, "icon", RT_RCDATA, "z", 1));
  EXPECT_NE(FindResourceA(other, "icon", RT_RCDATA), found);

  plat::ClearModuleResources(nullptr);
  EXPECT_EQ(FindResourceA(own, "icon", RT_RCDATA), nullptr);
  EXPECT_NE(FindResourceA(other, "icon", RT_RCDATA), nullptr);
  plat::ClearModuleResources(other);
  EXPECT_EQ(FindResourceA(other, "icon", RT_RCDATA), nullptr);
}
