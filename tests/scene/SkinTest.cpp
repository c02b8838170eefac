// Skin section: round trips (inside mesh files: MeshFileTest), bind poses and refusal of hostile or inconsistent data.
#include <gtest/gtest.h>
#include "tests/support/InputCost.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "platform/system/Platform.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/animation/Skin.h"
#include "tools/DemoContent.h"

namespace {

// A section whose bones list a child before its parent and whose vertices carry zero, one
// and three weights, so offsets and parent order are both exercised.
Skin SampleSkin() {
  Skin s;
  s.bones.resize(3);
  const char* names[3] = {"forearm", "root", "upper"};
  const uint32_t parents[3] = {2, Skin::kNoParent, 1};
  for (uint32_t b = 0; b < 3; ++b) {
    std::memset(s.bones[b].name, 0, sizeof(s.bones[b].name));
    std::strcpy(s.bones[b].name, names[b]);
    s.bones[b].parent = parents[b];
    s.bones[b].bind.RotateZ(0.3f * b);
    s.bones[b].bind.RotateX(0.2f * b);  // every row of the frame differs from the identity
    s.bones[b].bind.position = Vector3(0.5f * b, 1.0f, -2.0f);
  }
  s.keptWord = 0xC0FFEEu;
  s.offsets = {0, 0, 1, 4};
  s.weights = {{1, 17, Vector3(1, 2, 3), 1.0f},
               {0, 5119, Vector3(-1, 0, 4), 0.25f},
               {1, 0, Vector3(0, 0, 0), 0.25f},
               {2, 2560, Vector3(3, 3, 3), 0.5f}};
  return s;
}

std::vector<uint8_t> Bytes(const Skin& s) {
  // Slack past the measured size shows any byte written beyond it; the section gets an exact allocation.
  std::vector<uint8_t> out(s.GetFileSize() + 4, 0xAB);
  EXPECT_TRUE(s.Write(out.data()));
  EXPECT_EQ(std::vector<uint8_t>(out.end() - 4, out.end()), std::vector<uint8_t>(4, 0xAB));
  return std::vector<uint8_t>(out.begin(), out.end() - 4);
}

void ExpectSame(const Skin& a, const Skin& b) {
  ASSERT_EQ(a.bones.size(), b.bones.size());
  EXPECT_EQ(std::memcmp(a.bones.data(), b.bones.data(), a.bones.size() * sizeof(SkinBone)), 0);
  EXPECT_EQ(a.offsets, b.offsets);
  EXPECT_EQ(a.keptWord, b.keptWord);
  ASSERT_EQ(a.weights.size(), b.weights.size());
  EXPECT_EQ(std::memcmp(a.weights.data(), b.weights.data(), a.weights.size() * sizeof(SkinWeight)), 0);
}

// Offset of field bytes inside the section for the sample's counts.
constexpr size_t kBones = 16, kBoneSize = 116;
size_t OffsetsAt(const Skin& s) { return kBones + kBoneSize * s.bones.size(); }
size_t WeightsAt(const Skin& s) { return OffsetsAt(s) + 2 * s.offsets.size(); }

template <class T>
void Poke(std::vector<uint8_t>& bytes, size_t at, T value) {
  std::memcpy(bytes.data() + at, &value, sizeof(T));
}

bool Reads(const std::vector<uint8_t>& bytes) {
  Skin s;
  size_t used = 99;
  const bool ok = s.Read(bytes.data(), bytes.size(), used);
  if (!ok) {
    EXPECT_EQ(used, 0u);
    EXPECT_TRUE(s.bones.empty() && s.weights.empty() && s.offsets.empty());
  }
  return ok;
}

}  // namespace

TEST(Skin, SectionRoundTripsByteExact) {
  const Skin original = SampleSkin();
  ASSERT_TRUE(original.Validate());
  const std::vector<uint8_t> bytes = Bytes(original);
  ASSERT_EQ(bytes.size(), 16u + 116 * 3 + 2 * 4 + 20 * 4);
  // Extra bytes after the section are not consumed.
  std::vector<uint8_t> padded = bytes;
  padded.resize(bytes.size() + 9, 0xAB);
  Skin back;
  size_t used = 0;
  ASSERT_TRUE(back.Read(padded.data(), padded.size(), used));
  EXPECT_EQ(used, bytes.size());
  ExpectSame(original, back);
  // A full 64-byte name without a terminator still matches on its first 63 characters.
  std::memset(back.bones[1].name, 'x', sizeof(back.bones[1].name));
  EXPECT_EQ(back.FindBone(std::string(63, 'x').append("y").c_str()), 1);
  EXPECT_EQ(back.FindBone("upp"), -1);
  // Bones alone store a single zero offset and read back without vertices.
  back.offsets.clear();
  back.weights.clear();
  EXPECT_EQ(Bytes(back).size(), 16u + 116 * 3 + 2);
  EXPECT_TRUE(Reads(Bytes(back)));
}

TEST(Skin, BadBoneTreesAndValuesAreRefused) {
  const Skin good = SampleSkin();
  const std::vector<uint8_t> bytes = Bytes(good);
  ASSERT_TRUE(Reads(bytes));
  auto parentAt = [](uint32_t bone) { return kBones + kBoneSize * bone + 48; };
  auto weightAt = [&](uint32_t w) { return WeightsAt(good) + 20 * w; };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* what;
    size_t at;
    uint32_t value;
    int size;  // bytes of the value
  };
  uint32_t nanBits, infBits, halfBits, negBits;
  const float half = 0.5f, neg = -0.25f;
  std::memcpy(&nanBits, &nan, 4);
  std::memcpy(&infBits, &inf, 4);
  std::memcpy(&halfBits, &half, 4);
  std::memcpy(&negBits, &neg, 4);
  const Case cases[] = {
      {"parent past the bones", parentAt(0), 3, 4},
      {"own parent", parentAt(1), 1, 4},
      {"two-bone loop", parentAt(1), 0, 4},
      {"weight names a missing bone", weightAt(0), 3, 2},
      {"normal past the table", weightAt(1) + 2, 5120, 2},
      {"NaN position", weightAt(2) + 8, nanBits, 4},
      {"infinite weight", weightAt(3) + 16, infBits, 4},
      {"negative weight", weightAt(1) + 16, negBits, 4},
      {"NaN bind", kBones + 4, nanBits, 4},
      {"offsets fall", OffsetsAt(good) + 2, 3, 2},
      {"offsets rise past the weights", OffsetsAt(good) + 4, 9, 2},
      {"last offset short of the weight count", OffsetsAt(good) + 6, 3, 2},
      {"vertex count beyond the data", 8, 0x40000000u, 4},
      {"weight count beyond 16-bit offsets", 12, 0x10000u, 4},
      {"bone count beyond the data", 0, 0xFFFFFFFFu, 4},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = bytes;
    if (c.size == 2) Poke(bad, c.at, static_cast<uint16_t>(c.value));
    else Poke(bad, c.at, c.value);
    EXPECT_FALSE(Reads(bad)) << c.what;
  }
  // A lone weight of 0.5 is rescaled to 1, the others stay; an all-zero vertex is refused.
  std::vector<uint8_t> scaled = bytes;
  Poke(scaled, weightAt(0) + 16, halfBits);
  Skin s;
  size_t used = 0;
  ASSERT_TRUE(s.Read(scaled.data(), scaled.size(), used));
  EXPECT_FLOAT_EQ(s.weights[0].weight, 1.0f);
  EXPECT_FLOAT_EQ(s.weights[3].weight, 0.5f);
  std::vector<uint8_t> zero = bytes;
  Poke(zero, weightAt(0) + 16, 0.0f);
  EXPECT_FALSE(Reads(zero));
}

TEST(Skin, TruncatedAndScrambledSectionsNeverOverRead) {
  const std::vector<uint8_t> bytes = Bytes(SampleSkin());
  for (size_t n = 0; n < bytes.size(); ++n) {
    // A fresh allocation of exactly n bytes lets the address checker catch any over-read.
    std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + n);
    EXPECT_FALSE(testing_support::WithinLinearCost(n, [&] { return Reads(prefix); })) << n;
  }
  plat::srand(7);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> bad = bytes;
    const int flips = 1 + plat::rand() % 4;
    for (int f = 0; f < flips; ++f) bad[plat::rand() % bad.size()] ^= static_cast<uint8_t>(1 + plat::rand() % 255);
    Skin s;
    size_t used = 0;
    // Whatever is accepted must be usable by the blends.
    if (testing_support::WithinLinearCost(bad.size(), [&] { return s.Read(bad.data(), bad.size(), used); })) {
      EXPECT_TRUE(s.Validate());
      EXPECT_LE(used, bad.size());
    }
  }
}

TEST(Skin, WriterRefusesSkinsTheReaderWouldRefuse) {
  std::vector<uint8_t> room(1 << 22);
  Skin loop = SampleSkin();
  loop.bones[1].parent = 0;  // root -> forearm -> upper -> root
  EXPECT_FALSE(loop.Write(room.data()));

  // More weights than 16-bit offsets can address: the last offset would wrap to 0.
  Skin big = SampleSkin();
  big.weights.resize(Skin::kMaxWeights + 1, {0, 0, Vector3(), 0.0f});
  big.offsets.back() = static_cast<uint16_t>(big.weights.size());
  EXPECT_FALSE(big.Write(room.data()));

  // A mesh whose skin weights another number of vertices is not written.
  std::unique_ptr<ShadedMesh> figure(DemoContent::BuildSkinnedFigure());
  ASSERT_TRUE(figure);
  Skin& skin = *figure->skin;
  skin.offsets.pop_back();
  skin.weights.resize(skin.offsets.back());
  ASSERT_TRUE(skin.Validate());
  std::vector<uint8_t> file(figure->GetFileSize());
  EXPECT_EQ(figure->Serialize(file.data(), file.size()), 0u);
}
