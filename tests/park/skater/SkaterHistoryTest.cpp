// A skater's thought and trick histories: bounds, ageing, sequence values and their saved forms.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/data/ByteCursor.h"
#include "core/data/LittleEndian.h"
#include "park/skater/ThoughtHistory.h"
#include "park/skater/ThoughtTexts.h"
#include "park/skater/TrickHistory.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::DebugCapture;

float Difficulty(uint32_t trick) { return trick == 24 ? 0.5f : (trick == 25 ? 0.3f : (trick == 48 ? 0.4f : 0.0f)); }

// The saved form of a history, checked to be read into back and saved again byte for byte; every
// shorter prefix of it is refused.
template <class History>
std::vector<uint8_t> SavedAndReadBack(const History& h, History& back) {
  std::vector<uint8_t> bytes, again;
  h.Save(bytes);
  CByteCursor in(bytes.data(), bytes.size());
  EXPECT_TRUE(back.Load(in));
  back.Save(again);
  EXPECT_EQ(again, bytes);
  for (size_t n = 0; n < bytes.size(); ++n) {
    CByteCursor cut(bytes.data(), n);
    EXPECT_FALSE(History().Load(cut)) << n;
  }
  CByteCursor none(nullptr, bytes.size());  // no data, whatever size comes with it
  EXPECT_TRUE(!History().Load(none) && none.GetRemaining() == 0);
  return bytes;
}

TEST(ThoughtHistory, RepeatsKeepTheFirstAgeOldThoughtsFadeAndTwentyAreKept) {
  CThoughtHistory h;
  h.AddThought(5, true);
  h.AgeThoughts(10.0f);
  h.AddThought(5, false);
  ASSERT_EQ(h.GetCount(), 1u);
  EXPECT_EQ(h.GetEntry(0)->age, 10.0f);
  EXPECT_TRUE(h.GetEntry(0)->bubble);
  h.AddThought(70, true);
  h.AgeThoughts(19.99f);  // the first is now 29.99 old
  EXPECT_EQ(h.GetCount(), 2u);
  h.AgeThoughts(0.01f);
  ASSERT_EQ(h.GetCount(), 1u);
  EXPECT_STREQ(h.GetText(0), "I'm bored.");
  EXPECT_EQ(h.GetText(1), nullptr);
  for (uint32_t i = 0; i < 25; ++i) h.AddThought(i, true);
  ASSERT_EQ(h.GetCount(), CThoughtHistory::kMaxRecords);
  EXPECT_EQ(h.GetEntry(0)->number, 24u);
  EXPECT_EQ(h.GetEntry(19)->number, 5u);
}

TEST(ThoughtHistory, BubblesClearByGroupAndOnlyTexturedThoughtsShowOne) {
  CThoughtHistory h;
  h.AddThought(2, true);   // food, group 0
  h.AddThought(70, true);  // no texture
  EXPECT_EQ(h.GetBubbleThought()->number, 2u);
  h.AddThought(11, true);  // restroom, group 2
  EXPECT_EQ(h.GetBubbleThought()->number, 11u);
  h.ClearBubbles(2);
  EXPECT_EQ(h.GetBubbleThought()->number, 2u);
  h.ClearBubbles(0);
  EXPECT_EQ(h.GetBubbleThought(), nullptr);
  EXPECT_STREQ(thoughts::GetText(13), "Restoom is too expensive.");  // the data's own spelling
  EXPECT_STREQ(thoughts::GetText(40), "");
  EXPECT_STREQ(thoughts::GetText(500), "");
  EXPECT_EQ(thoughts::GetBubbleTexture(39), std::string("data/textures/thoughtbubbles/cost.tga"));
  EXPECT_EQ(thoughts::GetBubbleTexture(40), nullptr);
}

TEST(ThoughtHistory, SavedFormRoundTripsCapsAtTwentyAndRefusesOtherVersions) {
  DebugCapture quiet;
  CThoughtHistory h;
  for (uint32_t i = 0; i < 7; ++i) {
    h.AddThought(i * 3, true);
    h.AgeThoughts(1.5f);
  }
  CThoughtHistory back;
  std::vector<uint8_t> bytes = SavedAndReadBack(h, back);
  ASSERT_EQ(bytes.size(), 8u + 7u * 8u);
  // Thirty records on file: all are read past, twenty kept.
  std::vector<uint8_t> many(8);
  le::WriteU32(many.data() + 4, 30);
  for (uint32_t i = 0; i < 30; ++i) le::PutF32(many, 0.0f), le::PutU32(many, i);
  CByteCursor all(many.data(), many.size());
  ASSERT_TRUE(back.Load(all));
  EXPECT_EQ(all.GetRemaining(), 0u);
  EXPECT_EQ(back.GetCount(), CThoughtHistory::kMaxRecords);
  le::WriteU32(bytes.data(), 1);
  CByteCursor other(bytes.data(), bytes.size());
  EXPECT_FALSE(back.Load(other));
}

TEST(TrickHistory, TheWorkedExampleIsWorthEightyACrashNothingOffBalanceThreeQuarters) {
  for (int outcome = 0; outcome < 3; ++outcome) {
    CTrickHistory h;
    h.AddTrick(24, 3, 12, 1.0f, 0.0f);
    h.AddTrick(25, 3, 12, 1.5f, 0.0f);
    const int32_t seq = static_cast<int32_t>(h.GetNextSequence());
    // The landing spin lies a little past one half turn, or a little short of two, past the newest
    // trick's start: either way one counts.
    h.CloseTricks(outcome != 1, outcome == 2, 2.0f, outcome == 1 ? 3.2f : 6.2f);
    ASSERT_EQ(h.GetEntry(0)->sequence, seq);
    EXPECT_EQ(h.GetEntry(0)->halfTurns + h.GetEntry(1)->halfTurns, 1u);
    const float expected[3] = {80.0f, 0.0f, 60.0f};
    EXPECT_NEAR(h.ComputeTrickBonus(seq, 2.0f, Difficulty), expected[outcome], 1e-4f) << outcome;
  }
}

TEST(TrickHistory, GrindsCountTheirTimeAndAnOpenSequenceEndsNow) {
  CTrickHistory h;
  h.AddTrick(48, 4, 3, 10.0f, 0.0f);
  // Either side of the start: 25 ms of grind is worth 0.05 x 1.5 x 4, a time before it nothing.
  EXPECT_NEAR(h.ComputeTrickBonus(-1, 10.025f, Difficulty), 0.3f, 1e-4f);
  EXPECT_EQ(h.ComputeTrickBonus(-1, 9.0f, Difficulty), 0.0f);
  // Open: the grind runs until the time asked about; 2 s x 0.4 x 5 = 4, x 1.5 x 4 = 24.
  EXPECT_NEAR(h.ComputeTrickBonus(-1, 12.0f, Difficulty), 24.0f, 1e-4f);
  EXPECT_EQ(h.GetEntry(0)->endTime, 12.0f);
  h.AddTrick(CTrickHistory::kNoTrick, 0, 0, 13.0f, 0.0f);
  EXPECT_EQ(h.GetCount(), 1u);
  EXPECT_EQ(h.ComputeTrickBonus(12345, 12.0f, Difficulty), 0.0f);
}

TEST(TrickHistory, BoundsCountsAndFormatting) {
  CTrickHistory h;
  EXPECT_EQ(h.GetTrick(0), -1);
  EXPECT_EQ(h.GetCategory(0), -1);
  EXPECT_FALSE(h.IsLanded(0));
  for (uint32_t i = 0; i < 25; ++i) h.AddTrick(22 + (i % 3), 2, i % 2 == 0 ? 12u : 4u, static_cast<float>(i), 0.0f);
  EXPECT_EQ(h.GetCount(), CTrickHistory::kMaxRecords);
  EXPECT_EQ(h.CountDistinctTricks(), 3u);
  EXPECT_EQ(h.CountPieceType(12) + h.CountPieceType(4), 20u);
  h.CloseTricks(true, false, 30.0f, 3.5f);
  char text[64];
  const auto name = [](uint32_t) { return "Kick Flip"; };
  h.FormatEntry(0, name, text, sizeof(text));
  EXPECT_STREQ(text, "180 Kick Flip");
  h.FormatEntry(1, name, text, sizeof(text));
  EXPECT_STREQ(text, "Kick Flip");
  h.FormatEntry(20, name, text, sizeof(text));
  EXPECT_STREQ(text, "");
  h.FormatEntry(0, name, text, 4);
  EXPECT_STREQ(text, "180");
}

TEST(TrickHistory, SavedFormRoundTripsReadsVersionZeroAndRefusesNewer) {
  DebugCapture quiet;
  CTrickHistory h;
  h.AddTrick(24, 3, 12, 1.0f, 0.0f);
  h.CloseTricks(true, true, 2.0f, 6.3f);
  h.AddTrick(48, 4, 7, 3.0f, 0.0f);
  CTrickHistory back;
  std::vector<uint8_t> bytes = SavedAndReadBack(h, back);
  ASSERT_EQ(bytes.size(), 8u + 2u * 35u);
  ASSERT_EQ(back.GetCount(), 2u);
  EXPECT_EQ(back.GetEntry(1)->halfTurns, 0u);  // not saved
  EXPECT_TRUE(back.GetEntry(1)->offBalance);
  // Version 0: only trick, finished, landed, category and piece type per record.
  std::vector<uint8_t> v0;
  le::PutU32(v0, 0);
  le::PutU32(v0, 1);
  le::PutU32(v0, 31);
  v0.push_back(1);
  v0.push_back(0);
  le::PutU32(v0, 3);
  le::PutU32(v0, 12);
  CByteCursor old(v0.data(), v0.size());
  ASSERT_TRUE(back.Load(old));
  EXPECT_EQ(old.GetRemaining(), 0u);
  EXPECT_EQ(back.GetTrick(0), 31);
  EXPECT_TRUE(back.IsFinished(0));
  EXPECT_FALSE(back.IsLanded(0));
  EXPECT_EQ(back.GetEntry(0)->sequence, -1);
  le::WriteU32(bytes.data(), 2);
  CByteCursor newer(bytes.data(), bytes.size());
  EXPECT_FALSE(back.Load(newer));
}

}  // namespace
