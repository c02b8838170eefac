// The binary records the effects read from mesh attach points - script triggers, cloud layers and
// attach glows: each written record reads back field for field, and every cut, padded or hostile
// record is refused with one logged line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "effects/AttachGlowRecord.h"
#include "effects/CloudLayerRecord.h"
#include "effects/ScriptTriggerRecord.h"
#include "physics/terrain/FractalTerrain.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContentEffects.h"

using testing_support::DebugCapture;

namespace {

// Every record of the kind with bytes [at, at + 4) replaced by value must be refused with exactly
// one logged line.
template <typename Record, typename T>
void ExpectRefused(const std::vector<uint8_t>& good, size_t at, T value, const char* what) {
  std::vector<uint8_t> bad = good;
  std::memcpy(bad.data() + at, &value, sizeof(value));
  DebugCapture log;
  Record r;
  EXPECT_FALSE(r.Read(bad.data(), bad.size())) << what;
  EXPECT_EQ(std::count(log.Text().begin(), log.Text().end(), '\n'), 1) << what << ": " << log.Text();
}

// Cut short, one byte too long, or no data at all.
template <typename Record>
void ExpectSizeChecked(const std::vector<uint8_t>& good) {
  for (size_t size : {size_t(0), good.size() - 1, good.size() + 1}) {
    std::vector<uint8_t> bytes = good;
    bytes.resize(size, 0);
    DebugCapture log;
    Record r;
    EXPECT_FALSE(r.Read(size == 0 ? nullptr : bytes.data(), size)) << size;
    EXPECT_EQ(std::count(log.Text().begin(), log.Text().end(), '\n'), 1) << size;
  }
}

}  // namespace

TEST(EffectRecords, TheDemoRecordsReadBackExactly) {
  std::vector<uint8_t> bytes;
  const ScriptTriggerRecord trigger = DemoContent::LevelFlightTrigger();
  trigger.Write(bytes);
  ASSERT_EQ(bytes.size(), ScriptTriggerRecord::kSize);
  ScriptTriggerRecord t;
  ASSERT_TRUE(t.Read(bytes.data(), bytes.size()));
  EXPECT_EQ(std::vector<float>({float(t.triggerId), float(t.cameraId), t.start, t.end}),
            std::vector<float>({float(trigger.triggerId), float(trigger.cameraId), trigger.start, trigger.end}));

  bytes.clear();
  const CloudLayerRecord layer = DemoContent::LevelCloudLayer();
  layer.Write(bytes);
  ASSERT_EQ(bytes.size(), CloudLayerRecord::kSize);
  CloudLayerRecord c;
  ASSERT_TRUE(c.Read(bytes.data(), bytes.size()));
  EXPECT_EQ(std::vector<float>(c.box, c.box + 6), std::vector<float>(layer.box, layer.box + 6));
  EXPECT_EQ(std::vector<float>({c.roughness, float(c.levels), c.driftU, c.driftV}),
            std::vector<float>({layer.roughness, float(layer.levels), layer.driftU, layer.driftV}));
  EXPECT_EQ(c.texture, layer.texture);

  for (const AttachGlowRecord& glow : DemoContent::PieceGlows()) {
    bytes.clear();
    glow.Write(bytes);
    ASSERT_EQ(bytes.size(), AttachGlowRecord::kSize);
    AttachGlowRecord g;
    ASSERT_TRUE(g.Read(bytes.data(), bytes.size()));
    EXPECT_EQ(
        std::vector<float>({float(g.intensityIndex), float(g.triggerId), g.halfSide, float(g.colour)}),
        std::vector<float>({float(glow.intensityIndex), float(glow.triggerId), glow.halfSide, float(glow.colour)}));
    EXPECT_EQ(g.texture, glow.texture);
  }
}

TEST(EffectRecords, NamesAreCutToTheirFieldAndMustEndInIt) {
  AttachGlowRecord glow;
  glow.halfSide = 1.0f;
  glow.texture = std::string(40, 'x');  // longer than the field: written cut, with its end
  std::vector<uint8_t> bytes;
  glow.Write(bytes);
  ASSERT_EQ(bytes.size(), AttachGlowRecord::kSize);
  AttachGlowRecord back;
  ASSERT_TRUE(back.Read(bytes.data(), bytes.size()));
  EXPECT_EQ(back.texture, std::string(AttachGlowRecord::kNameSize - 1, 'x'));
  bytes.back() = 'x';  // the last byte of the name no longer ends it
  DebugCapture log;
  EXPECT_FALSE(back.Read(bytes.data(), bytes.size()));
  EXPECT_NE(log.Text().find("CAttachGlow: texture name without an end\n"), std::string::npos);

  CloudLayerRecord layer = DemoContent::LevelCloudLayer();
  bytes.clear();
  layer.Write(bytes);
  std::fill(bytes.end() - CloudLayerRecord::kNameSize, bytes.end(), 'y');
  CloudLayerRecord refused;
  EXPECT_FALSE(refused.Read(bytes.data(), bytes.size()));
}

TEST(EffectRecords, CutPaddedAndHostileRecordsAreRefusedWithOneLine) {
  std::vector<uint8_t> trigger, layer, glow;
  DemoContent::LevelFlightTrigger().Write(trigger);
  DemoContent::LevelCloudLayer().Write(layer);
  DemoContent::PieceGlows()[0].Write(glow);
  ExpectSizeChecked<ScriptTriggerRecord>(trigger);
  ExpectSizeChecked<CloudLayerRecord>(layer);
  ExpectSizeChecked<AttachGlowRecord>(glow);

  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  ExpectRefused<ScriptTriggerRecord>(trigger, 0, uint32_t(0), "trigger ID 0 names none");
  ExpectRefused<ScriptTriggerRecord>(trigger, 8, nan, "start");
  ExpectRefused<ScriptTriggerRecord>(trigger, 12, inf, "end");

  ExpectRefused<CloudLayerRecord>(layer, 0, nan, "box");
  ExpectRefused<CloudLayerRecord>(layer, 20, -1.0e7f, "box beyond the largest value");
  ExpectRefused<CloudLayerRecord>(layer, 12, -2000.0f, "inside-out box (max x below min x)");
  ExpectRefused<CloudLayerRecord>(layer, 24, inf, "roughness");
  ExpectRefused<CloudLayerRecord>(layer, 28, kMaxFractalTerrainLevels + 1, "levels past the finest surface");
  ExpectRefused<CloudLayerRecord>(layer, 32, nan, "drift");
  ExpectRefused<CloudLayerRecord>(layer, 36, std::nextafter(CloudLayerRecord::kLargestValue, inf),
                                  "drift past the largest");
  CloudLayerRecord largest;
  std::vector<uint8_t> atLargest = layer;
  const float most = -CloudLayerRecord::kLargestValue;
  std::memcpy(atLargest.data() + 36, &most, 4);
  ASSERT_TRUE(largest.Read(atLargest.data(), atLargest.size()));
  EXPECT_EQ(largest.driftV, most);
  CloudLayerRecord finest;
  std::vector<uint8_t> atLimit = layer;
  const uint32_t limit = kMaxFractalTerrainLevels;
  std::memcpy(atLimit.data() + 28, &limit, 4);
  EXPECT_TRUE(finest.Read(atLimit.data(), atLimit.size()));

  ExpectRefused<AttachGlowRecord>(glow, 8, 0.0f, "no size");
  ExpectRefused<AttachGlowRecord>(glow, 8, -1.0f, "negative size");
  ExpectRefused<AttachGlowRecord>(glow, 8, nan, "size");
  ExpectRefused<AttachGlowRecord>(glow, 8, AttachGlowRecord::kLargestSize * 2, "size past the largest");
  // A glow's half side is at most 1000 units: the next float past it is refused, 1000 itself is read.
  ExpectRefused<AttachGlowRecord>(glow, 8, std::nextafter(1000.0f, inf), "size just past the largest");
  std::vector<uint8_t> atLargestSize = glow;
  const float largestSize = 1000.0f;
  std::memcpy(atLargestSize.data() + 8, &largestSize, 4);
  AttachGlowRecord widest;
  ASSERT_TRUE(widest.Read(atLargestSize.data(), atLargestSize.size()));
  EXPECT_EQ(widest.halfSide, 1000.0f);
  AttachGlowRecord any;
  std::vector<uint8_t> negativeIndex = glow;
  const int32_t index = -5;  // unknown indices are the carrier's to answer (with 0)
  std::memcpy(negativeIndex.data(), &index, 4);
  ASSERT_TRUE(any.Read(negativeIndex.data(), negativeIndex.size()));
  EXPECT_EQ(any.intensityIndex, -5);
}
