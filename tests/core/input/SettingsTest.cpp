// Settings: "settings.bin" byte for byte, damaged and foreign files, the default key tables, key
// rebinding, values clamped on load, the performance tiers and the registry values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/input/InputMan.h"
#include "core/input/SkateSettings.h"
#include "platform/system/Platform.h"
#include "tests/support/InputCost.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WorkingFolder.h"

namespace {

using testing_support::DebugCapture;
using testing_support::WorkingFolder;

constexpr size_t kFileSize = 1560;

void PutU32At(std::string& bytes, size_t offset, uint32_t value) { std::memcpy(&bytes[offset], &value, 4); }
void PutF32At(std::string& bytes, size_t offset, float value) { std::memcpy(&bytes[offset], &value, 4); }
uint32_t U32At(const std::string& bytes, size_t offset) {
  uint32_t value;
  std::memcpy(&value, &bytes[offset], 4);
  return value;
}

uint32_t RandomWord() { return static_cast<uint32_t>(plat::rand()) << 17 ^ static_cast<uint32_t>(plat::rand()); }
float RandomUnit() { return static_cast<float>(plat::rand()) / plat::kRandMax; }

// A file as the layout prescribes it, written field by field at its offset, with values any
// reader accepts as they are.
std::string RandomSettingsFile() {
  std::string bytes(kFileSize, '\0');
  for (size_t offset = 4; offset < 76; offset += 4) {  // floats in detail, levels and mouse scale; words elsewhere
    const bool isFloat = offset < 28 || offset == 56 || offset == 60 || offset == 68;
    if (isFloat) PutF32At(bytes, offset, RandomUnit());
    else if (offset == 52)
      PutU32At(bytes, offset, RandomWord() % 2);  // the renderer: 0 or 1
    else PutU32At(bytes, offset, offset == 36 || offset == 40 ? 1 + RandomWord() % 16384 : RandomWord());
  }
  PutU32At(bytes, 0, 27);
  PutU32At(bytes, 76, 74);
  for (size_t offset = 80; offset < kFileSize; offset += 4) PutU32At(bytes, offset, RandomWord() % 7 ? 0 : RandomWord());
  return bytes;
}

std::vector<uint8_t> Image(const CSettings& settings) {
  std::vector<uint8_t> out;
  settings.Serialize(out);
  return out;
}

// Every non-zero cell of the default table the game ships with: {row, device, code}.
struct Cell {
  uint32_t row, device, code;
};
const Cell kGameDefaults[] = {
    {18, 1, 0x5A}, {49, 1, 0x0D}, {49, 2, 1},    {50, 1, 0x52}, {50, 2, 2},    {51, 1, 0x2E}, {51, 2, 3},
    {52, 1, 0x64}, {53, 1, 0x66}, {54, 1, 0x68}, {55, 1, 0x62}, {56, 1, 0x6B}, {57, 1, 0x6D}, {58, 1, 0x21},
    {59, 1, 0x22}, {60, 1, 0x6F}, {61, 1, 0x6A}, {62, 1, 0x26}, {62, 3, 0x23}, {63, 1, 0x28}, {63, 3, 0x24},
    {64, 1, 0x25}, {64, 3, 0x21}, {65, 1, 0x27}, {65, 3, 0x22}, {66, 1, 0x11}, {66, 3, 1},    {67, 1, 0x10},
    {67, 3, 2},    {68, 1, 0x0D}, {69, 1, 0x5A}, {69, 3, 3},    {70, 1, 0x58}, {70, 3, 4},    {71, 1, 0x1B},
    {72, 1, 0x20}, {73, 1, 0x48},
};

void ExpectGameDefaultTable(const CSettings& settings) {
  ASSERT_EQ(settings.keyTable.size(), 74u * 5);
  std::vector<uint32_t> expected(74 * 5, 0);
  for (const Cell& cell : kGameDefaults) expected[cell.row * 5 + cell.device] = cell.code;
  EXPECT_EQ(settings.keyTable, expected);
}

TEST(SettingsFile, ValidFilesRoundTripByteForByte) {
  WorkingFolder work;
  ASSERT_TRUE(work.Entered());
  plat::srand(1105);
  for (int trial = 0; trial < 40; ++trial) {
    SCOPED_TRACE(trial);
    const std::string file = RandomSettingsFile();
    work.Write("settings.bin", file);
    CSkateSettings settings;
    ASSERT_TRUE(settings.LoadDefault());
    ASSERT_TRUE(std::remove((work.Folder().Path() + "settings.bin").c_str()) == 0);
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(work.Read("settings.bin"), file);
    // The fields land where the layout puts them.
    EXPECT_EQ(static_cast<uint32_t>(settings.adapter), U32At(file, 48));
    EXPECT_EQ(settings.negativeVerticalScale, static_cast<uint8_t>(file[65]));
    EXPECT_EQ(settings.GetBinding(3, 73), U32At(file, 80 + 73 * 20 + 3 * 4));
  }
}

TEST(SettingsFile, AnotherVersionOrAMissingFileGivesTheDefaultsWrittenAsTheCurrentVersion) {
  WorkingFolder work;
  ASSERT_TRUE(work.Entered());
  plat::srand(26);
  std::string old = RandomSettingsFile();
  PutU32At(old, 0, 26);
  work.Write("settings.bin", old);

  CSkateSettings settings;
  settings.SetBinding(1, 62, 0x41, false);
  EXPECT_FALSE(settings.LoadDefault());
  ExpectGameDefaultTable(settings);

  CSkateSettings reread;
  EXPECT_TRUE(reread.LoadDefault());
  EXPECT_EQ(Image(reread), Image(settings));

  ASSERT_EQ(std::remove((work.Folder().Path() + "settings.bin").c_str()), 0);
  DebugCapture quiet;
  CSkateSettings fresh;
  EXPECT_FALSE(fresh.LoadDefault());
  EXPECT_EQ(work.Read("settings.bin").size(), kFileSize);
}

TEST(SettingsFile, TruncatedOversizedAndOverclaimingFilesAreRefusedWithoutTouchingTheSettings) {
  DebugCapture quiet;
  plat::srand(80);
  const std::string valid = RandomSettingsFile();
  CSkateSettings settings;
  const std::vector<uint8_t> before = Image(settings);

  // Each prefix sits in a block of exactly its size, so any read past it trips the address checker.
  for (size_t size = 0; size < valid.size(); ++size) {
    std::unique_ptr<char[]> block(new char[size > 0 ? size : 1]);
    std::memcpy(block.get(), valid.data(), size);
    ASSERT_FALSE(testing_support::WithinLinearCost(size, [&] { return settings.Parse(block.get(), size); })) << size;
  }

  std::string longer = valid + std::string(20, '\0');  // one row more than the header admits
  EXPECT_FALSE(settings.Parse(longer.data(), longer.size()));
  for (uint32_t claimed : {75u, 0xFFFFFFFFu, 0x0CCCCCCDu /* x 20 wraps to 4 in 32 bits */, 73u, 0u}) {
    std::string lying = valid;
    PutU32At(lying, 76, claimed);
    EXPECT_FALSE(testing_support::WithinLinearCost(lying.size(), [&] { return settings.Parse(lying.data(), lying.size()); })) << claimed;
  }
  EXPECT_EQ(Image(settings), before);
  EXPECT_FALSE(settings.Parse(nullptr, 0));

  // Through the file: a short file is replaced by the defaults.
  WorkingFolder work;
  ASSERT_TRUE(work.Entered());
  for (size_t size : {size_t(79), kFileSize - 1}) {
    work.Write("settings.bin", valid.substr(0, size));
    CSkateSettings loaded;
    EXPECT_FALSE(loaded.LoadDefault()) << size;
    ExpectGameDefaultTable(loaded);
    EXPECT_EQ(work.Read("settings.bin").size(), kFileSize);
  }
}

TEST(SettingsFile, ValuesThatWouldBreakTheirReadersAreClampedOnLoad) {
  plat::srand(5);
  std::string file = RandomSettingsFile();
  // Every value in [0, 1] that a reader turns into an index or a limit (mouse scale: 40 - 38 x 5
  // would be a negative movement limit; mesh detail: 2 x (1 - 3) a negative level-of-detail
  // index), stored above 1, below 0 or as NaN (which gives its own default).
  const struct {
    size_t offset;
    float stored, loaded, fromNan;
    float CSettings::*field;
  } cases[] = {{4, 3.0f, 1.0f, 0.5f, &CSettings::meshDetail},   {8, -1.0f, 0.0f, 1.0f, &CSettings::option1},
               {12, NAN, 0.5f, 0.5f, &CSettings::option2},      {16, 2.0f, 1.0f, 0.5f, &CSettings::option3},
               {20, -0.5f, 0.0f, 0.5f, &CSettings::option4},    {24, -2.0f, 0.0f, 0.0f, &CSettings::textureDetail},
               {56, NAN, 1.0f, 1.0f, &CSettings::levelA},       {60, 9.0f, 1.0f, 1.0f, &CSettings::levelB},
               {68, 5.0f, 1.0f, 0.5f, &CSettings::mouseScale}};
  for (const auto& c : cases) PutF32At(file, c.offset, c.stored);
  PutU32At(file, 36, 0);  // display width
  PutU32At(file, 52, 2);  // a renderer option that runs the software back end
  CSkateSettings settings;
  DebugCapture log;
  ASSERT_TRUE(settings.Parse(file.data(), file.size()));
  for (const auto& c : cases) EXPECT_FLOAT_EQ(settings.*c.field, c.loaded) << c.offset;
  EXPECT_EQ(settings.displayWidth, 640u);
  EXPECT_EQ(settings.renderer, 1u);
  EXPECT_NE(log.Text().find("CSettings: "), std::string::npos);
  for (const auto& c : cases) PutF32At(file, c.offset, NAN);
  PutU32At(file, 36, 16384);  // the largest sides kept
  PutU32At(file, 40, 16384);
  ASSERT_TRUE(settings.Parse(file.data(), file.size()));
  for (const auto& c : cases) EXPECT_FLOAT_EQ(settings.*c.field, c.fromNan) << c.offset;
  EXPECT_TRUE(settings.displayWidth == 16384u && settings.displayHeight == 16384u);
}

TEST(SettingsFile, SaveReportsAFileThatCouldNotBeWritten) {
  WorkingFolder work;
  ASSERT_TRUE(work.Entered());
  work.Write("settings.bin/blocker", "x");  // a folder where the file should go
  CSkateSettings settings;
  DebugCapture log;
  EXPECT_FALSE(settings.Save());
}

TEST(SettingsBindings, SwapsAndCellsOutsideTheTable) {
  CSkateSettings settings;
  ASSERT_TRUE(settings.SetBinding(1, 62, 0x28, true));
  EXPECT_EQ(settings.GetBinding(1, 62), 0x28u);
  EXPECT_EQ(settings.GetBinding(1, 63), 0x26u);  // the old holder of the code takes the old one
  EXPECT_EQ(settings.GetBinding(3, 62), 0x23u);  // other devices keep theirs
  ASSERT_TRUE(settings.SetBinding(1, 64, 0x28, false));  // without swap a code may be bound twice
  ASSERT_TRUE(settings.SetBinding(1, 72, 0x28, true));   // ...and with swap every holder gives it up
  EXPECT_EQ(settings.GetBinding(1, 62), 0x20u);
  EXPECT_EQ(settings.GetBinding(1, 64), 0x20u);

  const std::vector<uint32_t> before = settings.keyTable;
  EXPECT_FALSE(settings.SetBinding(5, 62, 1, true));
  EXPECT_FALSE(settings.SetBinding(1, 74, 1, true));
  EXPECT_FALSE(settings.SetBinding(0xFFFFFFFFu, 0xFFFFFFFFu, 1, false));
  EXPECT_EQ(settings.keyTable, before);
  EXPECT_EQ(settings.GetBinding(5, 62), 0u);
  EXPECT_EQ(settings.GetBinding(0xFFFFFFFFu, 0x33333334u), 0u);  // device + action x 5 wraps to a real cell
}

TEST(SettingsBindings, AppliedBindingsTurnEveryBoundInputIntoItsActions) {
  CSkateSettings settings;
  settings.SetBinding(1, 0, 0x41, false);  // action 0 would look like a typed key: never bound
  settings.negativeVerticalScale = 1;
  CInputMan input;
  input.SetFrontEndMode(false);
  settings.ApplyBindings(&input);
  EXPECT_FLOAT_EQ(input.GetVerticalScale(), -0.5f);

  // Each bound input raises exactly the rows that hold it, in row order (by brute force over the table).
  for (const Cell& cell : kGameDefaults) {
    std::vector<uint32_t> expected;
    for (uint32_t row = 0; row < 74; ++row)
      if (row > 0 && settings.GetBinding(cell.device, row) == cell.code) expected.push_back(row);
    input.AddInput(cell.device, cell.code, false, -1.0f, -1.0f, 1.0f);
    std::vector<InputEvent> events;
    input.TakeEvents(events);
    std::vector<uint32_t> actions;
    for (const InputEvent& event : events)
      if (event.code != InputEvent::kKey) actions.push_back(event.code);
    EXPECT_EQ(actions, expected) << cell.row << " " << cell.device;
  }
  std::vector<InputEvent> events;
  input.AddInput(1, 0x41, false, -1.0f, -1.0f, 1.0f);
  input.TakeEvents(events);
  ASSERT_EQ(events.size(), 1u);  // the typed key only
  EXPECT_EQ(events[0].code, InputEvent::kKey);
}

TEST(SettingsPerformance, ScoresAndTiers) {
  const uint32_t steady[10] = {7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
  EXPECT_EQ(CSettings::ScoreTimings(steady), 7u);
  const uint32_t spikes[10] = {200, 1, 2, 100, 3, 4, 5, 6, 7, 8};  // the two spikes are dropped
  EXPECT_EQ(CSettings::ScoreTimings(spikes), 4u);

  // Each tier at the edges of its memory and score: mesh, the four options, texture, flags, levels.
  struct Tier {
    uint64_t memory;
    uint32_t score;
    std::vector<float> details;
    uint32_t flags;
    float levels;
  };
  for (const Tier& t : {Tier{70000000u, 5, {0.5f, 1, 0.5f, 1, 1, 0.5f}, 7, 1}, Tier{69999999u, 5, {0.5f, 1, 0.5f, 0.5f, 0.5f, 0.5f}, 0, 1},
                        Tier{70000000u, 6, {0.5f, 1, 0.5f, 0.5f, 0.5f, 0.5f}, 0, 1}, Tier{36000000u, 9, {0.5f, 1, 0.5f, 0.5f, 0.5f, 0.5f}, 0, 1},
                        Tier{35999999u, 9, {0, 1, 0, 0, 0, 0}, 0, 0}, Tier{36000000u, 10, {0, 1, 0, 0, 0, 0}, 0, 0}}) {
    CSettings tier;
    tier.detailFlags = 6;
    tier.option1 = 0.0f;
    tier.ApplyPerformanceTier(t.memory, t.score);
    EXPECT_EQ(t.details, (std::vector<float>{tier.meshDetail, tier.option1, tier.option2, tier.option3, tier.option4, tier.textureDetail}))
        << t.memory << " " << t.score;
    EXPECT_EQ(t.flags, tier.detailFlags) << t.memory << " " << t.score;
    EXPECT_EQ(t.levels, tier.levelA) << t.memory;
    EXPECT_EQ(t.levels, tier.levelB) << t.memory;
  }

  CSkateSettings settings;
  // No Direct3D here: the display falls back to 640 x 480 x 16 on adapter 0 without baked light.
  settings.detailFlags = 7;
  settings.option1 = 0.0f;  // every tier sets it
  settings.RunPerformanceTest();
  EXPECT_EQ(settings.option1, 1.0f);
  EXPECT_EQ(settings.displayBits, 16u);
  EXPECT_EQ(settings.adapter, 0);
  EXPECT_EQ(settings.detailFlags & 6u, 0u);
}

TEST(SettingsRegistry, TargetDirectoryAndTheSettingsValue) {
  WorkingFolder work;
  ASSERT_TRUE(work.Entered());
  CSkateSettings settings;
  DebugCapture log;
  work.Write("registry.txt",
             "[HKEY_LOCAL_MACHINE\\Software\\Brimwell\\Demo]\n\"TARGETDIR\"=\"elsewhere\"\n"
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimwell\\Vantorhill]\n\"Settings\"=hex:01,02\n"
             "\"TargetDir\"=\"C:\\\\Games\\\\Vantorhill\"\n");
  log.Clear();
  EXPECT_EQ(settings.GetTargetDir(), "C:\\Games\\Vantorhill");
  EXPECT_TRUE(settings.DeleteRegistrySettings());
  EXPECT_TRUE(settings.DeleteRegistrySettings());
  EXPECT_EQ(log.Text(), "Could not delete registry key value!\n");
  EXPECT_EQ(CSettings().GetTargetDir(), "elsewhere");
}

}  // namespace
