// Tests of animation tables and scripts: the script's examples compile to the expected records,
// script errors are reported and never leave a broken table, tables round-trip through Bind,
// truncated and hostile tables are refused, lookups, and sequences that play, cross-fade and
// fire trigger windows through the sequence player.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "scene/AnimationSet.h"
#include "scene/AttachPoint.h"
#include "scene/KeyframeController.h"
#include "scene/SequencePlayer.h"

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
  explicit Compiled(const char* script) : table(AnimationSet::Parse(script)) {
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
    "subsequence = { name = \"walkverts\" data = vertex startframe = 0 numframes = 20 fps = 10 }\n"
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
  ASSERT_EQ(c.set.GetCount(), 7u);
  EXPECT_EQ(c.table.size(), 4u + 7u * 100u);
  EXPECT_TRUE(log.text.empty()) << log.text;

  const AnimationRecord& walk = c[0];
  EXPECT_STREQ(walk.name, "walk");
  EXPECT_EQ(walk.dataType, AnimationRecord::kHeader);
  EXPECT_EQ(walk.countOrTrigger, 3u);
  EXPECT_EQ(walk.frameCount, 0u);
  EXPECT_EQ(walk.frameRate, 0.0f);
  EXPECT_EQ(walk.playback, 1u);
  EXPECT_EQ(walk.id, 2u);
  EXPECT_FLOAT_EQ(walk.length, 2.0f);  // the longest subsequence: 40 frames at 20 fps
  EXPECT_FLOAT_EQ(walk.inverseLength, 0.5f);

  EXPECT_EQ(c[1].playback, 1u);  // subsequences without a mode take the header's
  EXPECT_FLOAT_EQ(c[1].length, 2.0f);
  EXPECT_EQ(c[2].startFrame, 10);  // "frames": start, end, rate
  EXPECT_EQ(c[2].frameCount, 10u);
  EXPECT_EQ(c[2].frameRate, 30.0f);
  EXPECT_FLOAT_EQ(c[2].length, 1.0f / 3.0f);
  EXPECT_FLOAT_EQ(c[2].inverseLength, 3.0f);
  EXPECT_EQ(c[3].frameCount, 40u);  // endframe - startframe + 1
  EXPECT_EQ(c[3].playback, 4u);

  const AnimationRecord& idle = c[4];
  EXPECT_EQ(idle.id, 1u);
  EXPECT_EQ(idle.frameCount, 1u);      // 0 frames become 1
  EXPECT_EQ(idle.frameRate, 24.0f);    // a rate not above 0 becomes 24
  EXPECT_EQ(idle.playback, 0u);        // outside any header
  EXPECT_EQ(c[5].dataType, AnimationRecord::kTrigger);
  EXPECT_EQ(c[5].countOrTrigger, 7u);
  EXPECT_EQ(c[6].id, 43u);  // the repeated word always yields its first id

  // Sub-record lookup inside the header: vertex, xform, xform.
  EXPECT_EQ(walk.FindSubRecord(AnimationRecord::kXForm, 0), &c[2]);
  EXPECT_EQ(walk.FindSubRecord(AnimationRecord::kXForm, 1), &c[3]);
  EXPECT_EQ(walk.FindSubRecord(AnimationRecord::kXForm, 2), nullptr);
  EXPECT_EQ(walk.FindSubRecord(AnimationRecord::kTexture, 0), nullptr);
  EXPECT_EQ(idle.FindSubRecord(AnimationRecord::kXForm, 0), &idle);
}

TEST(AnimationScript, SyntaxSkipsWhatIsNotABlock) {
  LogCapture log;
  const std::string script =
      "sequence name = \"nobrace\" data = xform\n"           // keyword without "= {"
      "subsequence { name = \"nodelimiter\" data = xform }\n"  // brace taken as the delimiter
      "junk words = { here }  // sequence = { name = \"commented\" }\n"
      "Sequence = { name = \"nested\" data = texture extra = { a = { b } } startframe = 3 }\n"
      "sequence = { name = " + std::string(100, 'x').insert(0, "\"") + "\" data = vertex }\n"
      "sequence = { name = bare data = unknownword }\n"  // takes the data type before it
      "sequence = { name = \"open\" data = xform numframes = 9 ";
  const Compiled c(script.c_str());
  ASSERT_TRUE(c.bound);
  ASSERT_EQ(c.set.GetCount(), 3u);
  EXPECT_STREQ(c[0].name, "nested");
  EXPECT_EQ(c[0].dataType, AnimationRecord::kTexture);
  EXPECT_EQ(c[0].startFrame, 3);
  EXPECT_EQ(std::string(c[1].name), std::string(63, 'x'));  // cut to 63 characters
  EXPECT_STREQ(c[2].name, "bare");
  EXPECT_EQ(c[2].dataType, AnimationRecord::kVertex);
  EXPECT_EQ(log.Count("never closes"), 1);

  // A first block without a known data type has nothing to inherit: it is dropped, reported.
  const Compiled first("sequence = { name = \"a\" } sequence = { name = \"b\" data = xform }");
  ASSERT_EQ(first.set.GetCount(), 1u);
  EXPECT_STREQ(first[0].name, "b");

  // Empty and null scripts give an empty, valid table.
  EXPECT_EQ(AnimationSet::Parse(nullptr).size(), 4u);
  EXPECT_TRUE(Compiled("").bound);
}

TEST(AnimationScript, BadCountsAndMisplacedTriggersAreReportedNeverBroken) {
  LogCapture log;
  // Header of 2 followed by three records: the third stands alone.
  const Compiled extra(
      "sequence = { name = \"h\" data = header numsequences = 2 playback = mirror }"
      "subsequence = { data = xform numframes = 10 fps = 10 }"
      "subsequence = { data = vertex numframes = 30 fps = 10 }"
      "sequence = { name = \"alone\" data = xform numframes = 50 fps = 10 }");
  ASSERT_TRUE(extra.bound);
  EXPECT_EQ(extra[0].countOrTrigger, 2u);
  EXPECT_FLOAT_EQ(extra[0].length, 3.0f);  // the alone record is not counted in the header
  EXPECT_EQ(extra[3].playback, 0u);        // nor does it take the header's mode
  EXPECT_TRUE(log.text.empty()) << log.text;

  // A second header while the first still expects records, and a header the script never
  // completes: both reported; the counts shrink to what followed, so no header reaches past
  // its own records or the table's end.
  const Compiled shortCounts(
      "sequence = { name = \"a\" data = header numsequences = 3 }"
      "subsequence = { data = xform }"
      "sequence = { name = \"b\" data = header numsequences = 1000000 }"
      "subsequence = { data = vertex }");
  EXPECT_EQ(log.Count("AnimationSet: Bad Header/Subsequence Count!"), 2);
  EXPECT_EQ(log.Count("MessageBox: Animation Parse Error!: Bad Header/Subsequence Count!"), 2);
  ASSERT_TRUE(shortCounts.bound);
  EXPECT_EQ(shortCounts[0].countOrTrigger, 1u);
  EXPECT_EQ(shortCounts[2].countOrTrigger, 1u);

  // A trigger before any animation belongs to nothing: reported and left out of the table.
  log.text.clear();
  const Compiled trigger(
      "sequence = { name = \"t\" data = trigger triggerID = 1 }"
      "sequence = { name = \"h\" data = header numsequences = 1 }"
      "subsequence = { name = \"t2\" data = trigger triggerID = 2 }"
      "sequence = { name = \"x\" data = xform }"
      "sequence = { name = \"t3\" data = trigger triggerID = 3 }");
  EXPECT_EQ(log.Count("MessageBox: Animation Parse Error!: Trigger must be preceded by an animation sequence!"), 2);
  ASSERT_TRUE(trigger.bound);
  ASSERT_EQ(trigger.set.GetCount(), 3u);
  EXPECT_STREQ(trigger[0].name, "h");
  EXPECT_STREQ(trigger[2].name, "t3");

  // Numbers that cannot be frames: no negative counts, no zero or infinite rates.
  const Compiled odd(
      "sequence = { data = xform startframe = 10 endframe = 2 }"
      "sequence = { data = xform frames = 5, 1, 0 }"
      "sequence = { data = xform numframes = -4 fps = nan startframe = 1e30 }");
  ASSERT_TRUE(odd.bound);
  for (uint32_t i = 0; i < odd.set.GetCount(); ++i) {
    EXPECT_EQ(odd[i].frameCount, 1u) << i;
    EXPECT_EQ(odd[i].frameRate, 24.0f) << i;
    EXPECT_GT(odd[i].inverseLength, 0.0f) << i;
  }
  EXPECT_EQ(odd[2].startFrame, INT32_MAX);
}

TEST(AnimationSet, TablesRoundTripAndHostileTablesAreRefused) {
  LogCapture log;
  const Compiled c(kWalkScript);
  ASSERT_TRUE(c.bound);
  EXPECT_EQ(c.set.GetRecord(0), reinterpret_cast<const AnimationRecord*>(c.table.data() + 4));  // in place
  EXPECT_EQ(c.set.GetRecord(7), nullptr);

  // Bytes at an odd address are copied, and read the same; so is a table in an attach point.
  std::vector<uint8_t> shifted(c.table.size() + 1);
  std::memcpy(shifted.data() + 1, c.table.data(), c.table.size());
  AnimationSet odd;
  ASSERT_TRUE(odd.Bind(shifted.data() + 1, static_cast<uint32_t>(c.table.size())));
  AttachPoint point;
  point.type = AnimationSet::kAttachType;
  point.SetData(c.table.data(), static_cast<uint32_t>(c.table.size()));
  AnimationSet attached;
  ASSERT_TRUE(attached.Bind(point));
  ASSERT_EQ(odd.GetCount(), c.set.GetCount());
  ASSERT_EQ(attached.GetCount(), c.set.GetCount());
  EXPECT_EQ(std::memcmp(odd.GetRecord(0), c.set.GetRecord(0), 7 * 100), 0);
  EXPECT_EQ(std::memcmp(attached.GetRecord(0), c.set.GetRecord(0), 7 * 100), 0);
  point.type = 62;
  EXPECT_FALSE(attached.Bind(point));
  EXPECT_EQ(attached.GetCount(), 0u);

  // Every truncated prefix is refused and leaves the set empty.
  for (uint32_t size = 0; size < c.table.size(); ++size) {
    AnimationSet s;
    ASSERT_FALSE(s.Bind(c.table.data(), size)) << size;
    ASSERT_EQ(s.GetCount(), 0u);
    ASSERT_EQ(s.FindSequenceByName("walk"), nullptr);
  }
  // A count whose byte size wraps 32 bits, headers reaching past the end, a leading trigger.
  std::vector<uint8_t> bad = c.table;
  const uint32_t wraps = 42949673;  // 4 + 100 x this wraps to a small number in 32 bits
  std::memcpy(bad.data(), &wraps, 4);
  EXPECT_FALSE(AnimationSet::Check(bad.data(), static_cast<uint32_t>(bad.size())));
  bad = c.table;
  const uint32_t reach = 7;  // header 0 with 7 records after it: only 6 exist
  std::memcpy(bad.data() + 4 + 96, &reach, 4);
  EXPECT_FALSE(AnimationSet::Check(bad.data(), static_cast<uint32_t>(bad.size())));
  bad = c.table;
  const uint32_t trigger = AnimationRecord::kTrigger;
  std::memcpy(bad.data() + 4 + 68, &trigger, 4);
  EXPECT_FALSE(AnimationSet::Check(bad.data(), static_cast<uint32_t>(bad.size())));
  EXPECT_GE(log.Count("AnimationSet: "), 3);
}

// Random tables of small field values: whatever Check accepts must be safe for every reader.
TEST(AnimationSet, AcceptedRandomTablesAreSafeForEveryReader) {
  LogCapture log;
  plat::srand(5);
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    const uint32_t count = plat::rand() % 8;
    std::vector<uint8_t> table(4 + 100 * count);
    std::memcpy(table.data(), &count, 4);
    for (uint32_t i = 0; i < count; ++i) {
      AnimationRecord r;
      for (size_t k = 0; k < sizeof(r.name); ++k) r.name[k] = static_cast<char>('a' + plat::rand() % 3);  // no NUL
      r.id = plat::rand() % 4;
      r.dataType = plat::rand() % 6;
      r.playback = plat::rand() % 6;
      r.startFrame = plat::rand() % 20 - 5;
      r.frameCount = plat::rand() % 10;
      r.frameRate = static_cast<float>(plat::rand() % 40) - 5.0f;
      r.length = static_cast<float>(plat::rand() % 5) - 1.0f;
      r.inverseLength = r.length > 0 ? 1.0f / r.length : 0.0f;
      r.countOrTrigger = plat::rand() % 6;
      std::memcpy(table.data() + 4 + 100 * i, &r, 100);
    }
    AnimationSet set;
    if (!set.Bind(table.data(), static_cast<uint32_t>(table.size()))) continue;
    ++accepted;
    set.FindSequenceByName("aaa");
    set.FindSequenceById(plat::rand() % 4);
    uint32_t index = plat::rand() % 10;
    for (uint32_t i = 0; i < count + 2; ++i) set.NextSequence(index);
    for (uint32_t i = 0; i < count; ++i) {
      SequencePlayer player;
      player.Start(set.GetRecord(i), 0.0f, 0.0f);
      for (float t = -1.0f; t < 6.0f; t += 0.37f) {
        player.time = t;
        for (uint32_t id = 0; id < 6; ++id) player.IsTriggerActive(id);
        ASSERT_TRUE(std::isfinite(set.GetRecord(i)->SampleTime(t)));
        for (uint32_t type = 0; type < 5; ++type) set.GetRecord(i)->FindSubRecord(type, plat::rand() % 3);
      }
    }
  }
  EXPECT_GT(accepted, 300);  // the readers were really exercised
}

TEST(AnimationSet, LookupByNameTypeAndNextHeader) {
  const Compiled c(kWalkScript);
  ASSERT_TRUE(c.bound);
  EXPECT_EQ(c.set.FindSequenceByName("IDLE"), &c[4]);
  EXPECT_EQ(c.set.FindSequenceByName("walkbones"), &c[2]);  // not its prefix "walkbones2"
  EXPECT_EQ(c.set.FindSequenceByName("walkbone"), nullptr);
  EXPECT_EQ(c.set.FindSequenceByName(nullptr), nullptr);
  EXPECT_EQ(c.set.FindSequenceById(AnimationSet::MotionTypeFromWord("forward")), &c[0]);
  EXPECT_EQ(c.set.FindSequenceById(1), &c[4]);
  EXPECT_EQ(c.set.FindSequenceById(44), nullptr);
  EXPECT_EQ(c.set.FindSequenceById(0), &c[1]);  // 0 = records without a type

  EXPECT_EQ(AnimationSet::MotionTypeFromWord("CrouchLookRight"), 35u);
  EXPECT_EQ(AnimationSet::MotionTypeFromWord("custom3"), 40u);
  EXPECT_EQ(AnimationSet::MotionTypeFromWord("idler"), 0u);
  EXPECT_EQ(AnimationSet::MotionTypeFromWord(""), 0u);

  const Compiled two("sequence = { data = xform } sequence = { name = \"h1\" data = header numsequences = 1 }"
                     "subsequence = { data = xform } sequence = { name = \"h2\" data = header }");
  uint32_t index = 3;
  EXPECT_STREQ(two.set.NextSequence(index)->name, "h1");  // wraps past the end
  EXPECT_EQ(index, 1u);
  EXPECT_STREQ(two.set.NextSequence(index)->name, "h2");
  const Compiled none("sequence = { name = \"a\" data = xform } sequence = { name = \"b\" data = vertex }");
  index = 0;
  EXPECT_STREQ(none.set.NextSequence(index)->name, "a");  // no header: the last one tried after a lap
  AnimationSet empty;
  EXPECT_EQ(empty.NextSequence(index), nullptr);
}

namespace {

// A controller whose position x equals its controller time, so a transform reads back the
// time it was sampled at.
struct TimeController {
  TimeController() {
    const PositionKey keys[] = {{0.0f, 0, Vector3(0, 0, 0)}, {1000.0f, 0, Vector3(1000, 0, 0)}};
    c.SetPositionKeys(keys, 2);
    c.SetFrameTime(0.1f);  // controller time = frame number x 0.1
  }
  CKeyframeController c;
};

float PlayedX(const AnimationRecord* sequence, float t, CNodeAnimController* controller) {
  SequencePlayer p;
  p.controller = controller;
  p.Start(sequence, t, 0.0f);
  COrientation o;
  EXPECT_TRUE(p.Evaluate(o));
  return o.position.x;
}

}  // namespace

TEST(AnimationPlayback, SequencesLoopAndCrossFadeWithWeightsSummingToOne) {
  TimeController ctl;
  const Compiled c(
      "sequence = { name = \"run\" data = xform startframe = 100 numframes = 20 fps = 10 playback = loop }"
      "sequence = { name = \"stop\" data = xform startframe = 500 numframes = 10 fps = 10 }");
  const AnimationRecord* run = c.set.FindSequenceByName("run");
  const AnimationRecord* stop = c.set.FindSequenceByName("stop");
  ASSERT_TRUE(run && stop);
  EXPECT_NEAR(PlayedX(run, 0.55f, &ctl.c), 0.1f * (100 + 5.5f), 1e-3);
  EXPECT_NEAR(PlayedX(run, 2.55f, &ctl.c), 0.1f * (100 + 5.5f), 1e-3);  // looped after 2 s
  EXPECT_NEAR(PlayedX(stop, 5.0f, &ctl.c), 0.1f * (500 + 9), 1e-3);     // once: last frame holds

  SequencePlayer p;
  p.controller = &ctl.c;
  p.Start(run, 0.3f, 0.0f);
  p.Start(stop, 0.0f, 0.5f);
  for (int step = 0; step < 12; ++step) {
    const bool fading = p.previousSequence != nullptr;
    COrientation blended;
    ASSERT_TRUE(p.Evaluate(blended));
    const float from = PlayedX(run, p.previousTime, &ctl.c);
    const float to = PlayedX(stop, p.time, &ctl.c);
    if (fading) {
      const float w = p.crossFadeClock * p.crossFadeRate;
      ASSERT_GE(w, 0.0f);
      ASSERT_LE(w, 1.0f);
      EXPECT_NEAR(blended.position.x, (1.0f - w) * from + w * to, 1e-3) << step;
    } else {
      EXPECT_NEAR(blended.position.x, to, 1e-3) << step;
    }
    EXPECT_EQ(fading, step <= 8) << step;  // exact steps: the fade ends once 0.5 s is passed
    p.Advance(0.0625f);
  }
  EXPECT_EQ(p.previousSequence, nullptr);  // the fade ended after half a second
}

TEST(AnimationPlayback, TriggerWindowsFireAtTheirFrames) {
  const Compiled c(
      "sequence = { name = \"kick\" data = header numsequences = 3 }"
      "subsequence = { data = xform startframe = 100 numframes = 30 fps = 10 playback = loop }"
      "subsequence = { data = trigger triggerID = 7 startframe = 112 numframes = 3 playback = loop }"
      "subsequence = { data = trigger triggerID = 9 startframe = 128 numframes = 5 playback = loop }");
  ASSERT_TRUE(c.bound);
  SequencePlayer p;
  p.Start(c.set.FindSequenceByName("kick"), 0.0f, 0.0f);
  // Sampled at the middle of each frame over two loops: frame k of the loop is 100 + k.
  for (int k = 0; k < 60; ++k) {
    p.time = (k + 0.5f) / 10.0f;
    const int frame = 100 + k % 30;
    EXPECT_EQ(p.IsTriggerActive(7), (frame >= 112 && frame < 115) ? 1.0f : 0.0f) << k;
    EXPECT_EQ(p.IsTriggerActive(9), (frame >= 128 && frame < 133) ? 1.0f : 0.0f) << k;
    EXPECT_EQ(p.IsTriggerActive(8), 0.0f);
  }
  // A sequence that is itself a trigger has nothing to measure its window against.
  SequencePlayer alone;
  alone.Start(c.set.GetRecord(2), 0.0f, 0.0f);
  alone.time = 1.25f;
  EXPECT_EQ(alone.IsTriggerActive(7), 0.0f);
}
