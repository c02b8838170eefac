// Animation scripts and tables: examples compile, errors never leave a broken table,
// hostile tables are refused, and playback cross-fades and fires trigger windows in time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/system/Platform.h"
#include "scene/animation/AnimationSet.h"
#include "scene/animation/KeyframeController.h"
#include "scene/animation/SequencePlayer.h"
#include "scene/mesh/AttachPoint.h"
#include "tests/support/InputCost.h"

namespace {

// Collects the log while a test runs (and keeps expected errors out of the output).
struct LogCapture {
  LogCapture() : previous(plat::SetDebugSink([this](const char* line) { text += line; })) {}
  ~LogCapture() { plat::SetDebugSink(previous); }
  int Count(const std::string& what) const {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
  std::string text;
  plat::DebugSink previous;
};

struct Compiled {
  explicit Compiled(const std::string& script) : table(AnimationSet::Parse(script.c_str())) {
    bound = set.Bind(table.data(), static_cast<uint32_t>(table.size()));
  }
  const AnimationRecord& operator[](uint32_t i) const { return *set.GetRecord(i); }
  std::vector<uint8_t> table;
  AnimationSet set;
  bool bound = false;
};

const char* const kWalkScript =
    "// a figure's sequences\n"
    "sequence = { name = \"walk\" data = header numsequences = 3 playback = loop type = forward }\n"
    "subsequence = { name = \"walkverts\" data = vertex startframe = 0 numframes = 20 fps = 10 type = hop }\n"
    "subsequence = { name = \"walkbones\" data = xform frames = 10, 19, 30 }\n"
    "subsequence = { name = \"walkbones2\" data = xform startframe = 5 endframe = 44 fps = 20 playback = back }\n"
    "sequence = { name = \"Idle\" data = xform startframe = 2 numframes = 0 fps = -3 type = IDLE }\n"
    "sequence = { name = \"step\" data = trigger triggerID = 7 startframe = 12 numframes = 3 }\n"
    "sequence = { name = \"turn\" type = turncrouchleft data = xform numframes = 4 }\n";

}  // namespace

TEST(AnimationScript, ExamplesCompileToTheirRecords) {
  LogCapture log;
  const Compiled c(kWalkScript);
  ASSERT_TRUE(c.bound);
  ASSERT_EQ(c.table.size(), 4u + 7u * 100u);
  EXPECT_TRUE(log.text.empty()) << log.text;
  const AnimationRecord& walk = c[0];
  EXPECT_FLOAT_EQ(walk.length, 2.0f);  // its longest subsequence: 40 frames at 20 fps
  EXPECT_EQ(c[1].playback, 1u);  // a subsequence without a mode takes the header's
  EXPECT_EQ(c[2].startFrame, 10);  // "frames": start, end, rate
  EXPECT_EQ(c[2].frameCount, 10u);
  EXPECT_EQ(c[3].frameCount, 40u);  // endframe - startframe + 1
  EXPECT_EQ(c[4].frameCount * 100 + c[4].frameRate, 124.0f);  // 0 frames become 1, rate -3 becomes 24
  EXPECT_EQ(c[4].playback, 0u);  // outside any header
  EXPECT_EQ(c[6].id, 43u);  // the repeated word always yields its first id
  // Sub-records inside the header: vertex, xform, xform.
  EXPECT_EQ(walk.FindSubRecord(AnimationRecord::kXForm, 1), &c[3]);
  EXPECT_EQ(walk.FindSubRecord(AnimationRecord::kXForm, 2), nullptr);

  EXPECT_EQ(c.set.FindSequenceByName("IDLE"), &c[4]);
  EXPECT_EQ(c.set.FindSequenceByName("walkbones"), &c[2]);  // not "walkbones2"
  EXPECT_EQ(c.set.FindSequenceById(0), &c[1]);  // an unknown type word, like none, is id 0
  // A count below the records the table holds hides the rest from both searches.
  std::vector<uint8_t> shorter = c.table;
  shorter[0] = 6;
  AnimationSet six;
  ASSERT_TRUE(six.Bind(shorter.data(), static_cast<uint32_t>(shorter.size())));
  EXPECT_TRUE(six.FindSequenceById(43) == nullptr && six.FindSequenceByName("turn") == nullptr);
  uint32_t index = 1;
  EXPECT_EQ(c.set.NextSequence(index), &c[0]);  // wraps past the end to the one header
  EXPECT_EQ(index, 0u);
  const Compiled none("sequence = { name = \"a\" data = xform } sequence = { name = \"b\" data = vertex }");
  EXPECT_STREQ(none.set.NextSequence(index)->name, "a");  // no header: the last one tried after a lap
}

TEST(AnimationScript, MalformedScriptsAreReportedNeverBroken) {
  LogCapture log;
  const Compiled skipped(
      "sequence name = \"nobrace\" data = xform\n"             // keyword without "= {"
      "subsequence { name = \"nodelimiter\" data = xform }\n"  // "{" taken as the delimiter
      "sequence = { name = \"a\" }\n"                          // first block, no data type: dropped
      "junk = { here }  // sequence = { name = \"commented\" }\n"
      "Sequence = { name = \"nested\" data = texture extra = { a = { b } } }\n"
      "sequence = { name = \"" + std::string(100, 'x') + "\" data = vertex }\n"
      "sequence = { name = bare data = unknownword }\n"  // takes the data type before it
      "sequence = { name = \"open\" data = xform numframes = 9 ");
  ASSERT_TRUE(skipped.bound);
  ASSERT_EQ(skipped.set.GetCount(), 3u);
  EXPECT_STREQ(skipped[0].name, "nested");
  EXPECT_EQ(std::string(skipped[1].name), std::string(63, 'x'));  // cut to 63 characters
  EXPECT_STREQ(skipped[2].name, "bare");
  EXPECT_EQ(skipped[2].dataType, AnimationRecord::kVertex);
  EXPECT_EQ(log.Count("never closes"), 1);

  // Header of 2 and three records: the third stands alone. A second header while one still
  // expects records, and one the script never completes, are reported, and their counts
  // shrink to what followed, so no header reaches past its records or the table.
  log.text.clear();
  const Compiled counts(
      "sequence = { name = \"h\" data = header numsequences = 2 playback = mirror }"
      "subsequence = { data = xform numframes = 10 fps = 10 } subsequence = { data = vertex numframes = 30 fps = 10 }"
      "sequence = { data = xform numframes = 50 fps = 10 }"
      "sequence = { data = header numsequences = 3 } subsequence = { data = xform }"
      "sequence = { data = header numsequences = 1 } subsequence = { data = xform numframes = 20 fps = 10 }"
      "sequence = { data = header numsequences = 1000000 } subsequence = { data = vertex }");
  ASSERT_TRUE(counts.bound);
  EXPECT_FLOAT_EQ(counts[0].length, 3.0f);  // the lone record is not the header's
  EXPECT_FLOAT_EQ(counts[6].length, 2.0f);  // a header of one is its record's length
  EXPECT_EQ(counts[3].playback, 0u);
  EXPECT_EQ(counts[4].countOrTrigger, 1u);
  EXPECT_EQ(counts[8].countOrTrigger, 1u);
  EXPECT_EQ(log.Count("MessageBox: Animation Parse Error!: Bad Header/Subsequence Count!"), 2);

  // A trigger before any animation belongs to nothing: reported and left out of the table.
  log.text.clear();
  const Compiled trigger(
      "sequence = { name = \"t\" data = trigger triggerID = 1 }"
      "sequence = { name = \"h\" data = header numsequences = 1 } subsequence = { data = trigger }"
      "sequence = { data = xform } sequence = { name = \"t3\" data = trigger triggerID = 3 }");
  EXPECT_EQ(log.Count("Animation Parse Error!: Trigger must be preceded by an animation sequence!"), 2);
  ASSERT_TRUE(trigger.bound);
  ASSERT_EQ(trigger.set.GetCount(), 3u);
  EXPECT_STREQ(trigger[0].name, "h");

  // Numbers that cannot be frames give no negative counts and no zero or infinite rates.
  const Compiled odd(
      "sequence = { data = xform startframe = 10 endframe = 2 } sequence = { data = xform frames = 5, 1, 0 }"
      "sequence = { data = xform numframes = -4 fps = nan startframe = 1e30 }");
  for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(odd[i].frameCount * 100 + odd[i].frameRate, 124.0f) << i;
  EXPECT_EQ(odd[2].startFrame, INT32_MAX);
}

// Ten thousand blocks that never close, then one that does: each is reported once with its own
// line, the closed one compiles, and the whole takes time linear in the script.
TEST(AnimationScript, UnclosedBlocksCostLinearTime) {
  LogCapture log;
  std::string script;
  for (int i = 0; i < 10000; ++i) script += "sequence = { name = \"open\"\n";
  script += "sequence = { name = \"last\" data = xform numframes = 9 }\n";
  std::vector<uint8_t> table;
  EXPECT_TRUE(testing_support::CostsNearLinear(script.size(), [&] { table = AnimationSet::Parse(script.c_str()); }));
  AnimationSet set;
  ASSERT_TRUE(set.Bind(table.data(), static_cast<uint32_t>(table.size())));
  ASSERT_EQ(set.GetCount(), 1u);
  EXPECT_STREQ(set.GetRecord(0)->name, "last");
  EXPECT_EQ(log.Count("never closes"), 10000);
  EXPECT_EQ(log.Count("block at line 9999 never closes"), 1);
  EXPECT_EQ(log.Count("block at line 10000 never closes"), 0);  // the last block closes
}

TEST(AnimationSet, TablesRoundTripAndHostileTablesAreRefused) {
  LogCapture log;
  const Compiled c(kWalkScript);
  ASSERT_TRUE(c.bound);
  EXPECT_EQ(c.set.GetRecord(0), reinterpret_cast<const AnimationRecord*>(c.table.data() + 4));  // in place

  // Bytes at an odd address are copied and read the same; so is a table in an attach point.
  std::vector<uint8_t> shifted(c.table.size() + 1);
  std::memcpy(shifted.data() + 1, c.table.data(), c.table.size());
  AnimationSet odd;
  ASSERT_TRUE(odd.Bind(shifted.data() + 1, static_cast<uint32_t>(c.table.size())));
  AttachPoint point;
  point.type = AnimationSet::kAttachType;
  point.SetData(c.table.data(), static_cast<uint32_t>(c.table.size()));
  AnimationSet attached;
  ASSERT_TRUE(attached.Bind(point));
  EXPECT_EQ(std::memcmp(odd.GetRecord(0), c.set.GetRecord(0), 7 * 100), 0);
  EXPECT_EQ(std::memcmp(attached.GetRecord(0), c.set.GetRecord(0), 7 * 100), 0);

  for (uint32_t size = 0; size < c.table.size(); ++size) {  // every truncated prefix
    AnimationSet s;
    ASSERT_FALSE(testing_support::WithinLinearCost(size, [&] { return s.Bind(c.table.data(), size); })) << size;
    ASSERT_EQ(s.FindSequenceByName("walk"), nullptr);
  }
  // A count whose byte size wraps 32 bits, a header reaching past the end, a leading trigger.
  const struct { size_t offset; uint32_t value; } patches[] = {{0, 42949673}, {4 + 96, 7}, {4 + 68, 3}};
  for (const auto& patch : patches) {
    std::vector<uint8_t> bad = c.table;
    std::memcpy(bad.data() + patch.offset, &patch.value, 4);
    EXPECT_FALSE(AnimationSet::Check(bad.data(), static_cast<uint32_t>(bad.size()))) << patch.offset;
  }
}

// Random tables of small field values: whatever Bind accepts must be safe for every reader
// (the sanitizers catch any read outside the table).
TEST(AnimationSet, AcceptedRandomTablesAreSafeForEveryReader) {
  LogCapture log;
  plat::srand(5);
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    const uint32_t count = plat::rand() % 8;
    std::vector<uint32_t> words(1 + 25 * count);
    words[0] = count;
    for (uint32_t i = 1; i < words.size(); ++i) words[i] = plat::rand() % 6;  // names without terminators
    AnimationSet set;
    if (!testing_support::WithinLinearCost(words.size() * 4, [&] { return set.Bind(words.data(), static_cast<uint32_t>(words.size() * 4)); })) continue;
    ++accepted;
    uint32_t index = plat::rand() % 10;
    for (uint32_t i = 0; i < count + 2; ++i) set.NextSequence(index);
    set.FindSequenceByName("x");
    for (uint32_t i = 0; i < count; ++i) {
      SequencePlayer player;
      player.Start(set.GetRecord(i), 0.0f, 0.0f);
      for (player.time = -1.0f; player.time < 6.0f; player.time += 0.37f)
        for (uint32_t id = 0; id < 6; ++id) player.IsTriggerActive(id);
    }
  }
  EXPECT_GT(accepted, 300);
}

namespace {

// Position x of the sampled transform equals the controller time (frame number x 0.1).
struct TimeController {
  TimeController() {
    const PositionKey keys[] = {{0.0f, 0, Vector3(0, 0, 0)}, {1000.0f, 0, Vector3(1000, 0, 0)}};
    c.SetPositionKeys(keys, 2);
    c.SetFrameTime(0.1f);
  }
  float PlayedX(const AnimationRecord* sequence, float t) {
    SequencePlayer p;
    p.controller = &c;
    p.Start(sequence, t, 0.0f);
    COrientation o;
    EXPECT_TRUE(p.Evaluate(o));
    return o.position.x;
  }
  CKeyframeController c;
};

}  // namespace

TEST(AnimationPlayback, SequencesLoopAndCrossFadeWithWeightsSummingToOne) {
  TimeController ctl;
  const Compiled c(
      "sequence = { name = \"run\" data = xform startframe = 100 numframes = 20 fps = 10 playback = loop }"
      "sequence = { name = \"stop\" data = xform startframe = 500 numframes = 10 fps = 10 }");
  const AnimationRecord* run = c.set.FindSequenceByName("run");
  const AnimationRecord* stop = c.set.FindSequenceByName("stop");
  EXPECT_NEAR(ctl.PlayedX(run, 0.55f), 0.1f * 105.5f, 1e-3);
  EXPECT_NEAR(ctl.PlayedX(run, 2.55f), 0.1f * 105.5f, 1e-3);  // looped after 2 s
  EXPECT_NEAR(ctl.PlayedX(stop, 5.0f), 0.1f * 509, 1e-3);     // once: the last frame holds

  SequencePlayer p;
  p.controller = &ctl.c;
  p.Start(run, 0.3f, 0.0f);
  p.Start(stop, 0.0f, 0.5f);
  for (int step = 0; step < 12; ++step) {
    COrientation blended;
    ASSERT_TRUE(p.Evaluate(blended));
    const float to = ctl.PlayedX(stop, p.time);
    EXPECT_EQ(p.previousSequence != nullptr, step <= 8) << step;  // ends once 0.5 s is passed
    if (p.previousSequence) {
      const float w = p.crossFadeClock * p.crossFadeRate;
      ASSERT_TRUE(w >= 0.0f && w <= 1.0f);
      EXPECT_NEAR(blended.position.x, (1.0f - w) * ctl.PlayedX(run, p.previousTime) + w * to, 1e-3) << step;
    } else {
      EXPECT_NEAR(blended.position.x, to, 1e-3) << step;
    }
    p.Advance(0.0625f);
  }
}

TEST(AnimationPlayback, TriggerWindowsFireAtTheirFrames) {
  const Compiled c(
      "sequence = { name = \"kick\" data = header numsequences = 3 }"
      "subsequence = { data = xform startframe = 100 numframes = 30 fps = 10 playback = loop }"
      "subsequence = { data = trigger triggerID = 7 startframe = 112 numframes = 3 playback = loop }"
      "subsequence = { data = trigger triggerID = 9 startframe = 128 numframes = 5 playback = loop }");
  SequencePlayer p;
  p.Start(c.set.FindSequenceByName("kick"), 0.0f, 0.0f);
  for (int k = 0; k < 60; ++k) {  // the middle of every frame over two loops
    p.time = (k + 0.5f) / 10.0f;
    const int frame = 100 + k % 30;
    EXPECT_EQ(p.IsTriggerActive(7), (frame >= 112 && frame < 115) ? 1.0f : 0.0f) << k;
    EXPECT_EQ(p.IsTriggerActive(9), (frame >= 128 && frame < 133) ? 1.0f : 0.0f) << k;
  }
  EXPECT_EQ(p.IsTriggerActive(8), 0.0f);
}
