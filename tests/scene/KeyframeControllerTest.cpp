// Keyframe controllers: sampling against a linear-scan reference, key reduction within
// tolerance, the file round trip and hostile section data.
#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/math/MathUtil.h"
#include "platform/system/Platform.h"
#include "tests/support/TempFolder.h"
#include "scene/animation/ControllerSet.h"
#include "scene/animation/KeyframeController.h"

namespace {

float Uniform(float lo, float hi) { return lo + (hi - lo) * plat::rand() / static_cast<float>(plat::kRandMax); }

Quaternion RandomRotation() {
  Quaternion q;
  q.Random();
  return q;
}

std::vector<float> IncreasingTimes(int n) {
  std::vector<float> t{Uniform(-1, 1)};
  while (static_cast<int>(t.size()) < n) t.push_back(t.back() + Uniform(0.05f, 1.0f));
  return t;
}

Eigen::Quaterniond ToEigen(const Quaternion& q) { return Eigen::Quaterniond(q.w, q.x, q.y, q.z); }
Eigen::Vector3d ToEigen(const Vector3& v) { return Eigen::Vector3d(v.x, v.y, v.z); }

float LargestRowAngle(const TMatrix& a, const Quaternion& b) {
  TMatrix mb;
  b.ToMatrix(mb);
  return std::max(AngleBetween(a[0], mb[0]), std::max(AngleBetween(a[1], mb[1]), AngleBetween(a[2], mb[2])));
}

}  // namespace

TEST(KeyframeController, EndTimeAndRefusedTracks) {
  CKeyframeController c;
  const PositionKey pos[] = {{0.0f, 0, Vector3()}, {2.0f, 0, Vector3(2, 0, 0)}};
  const RotationKey rot[] = {{0.0f, 0, Quaternion()}, {3.5f, 0, Quaternion()}};
  ASSERT_TRUE(c.SetPositionKeys(pos, 2));
  ASSERT_TRUE(c.SetRotationKeys(rot, 2));
  std::vector<uint8_t> buffer(c.GetFileSize());
  c.Write(buffer.data());
  float written = 0;  // the length is the last key of any track
  std::memcpy(&written, buffer.data() + 64, 4);
  EXPECT_EQ(written, 3.5f);

  // Equal or falling key times would give infinite or negative rates: refused, old track kept.
  testing_support::DebugCapture quiet;
  const PositionKey same[] = {{0, 0, Vector3()}, {1, 0, Vector3()}, {1, 0, Vector3()}};
  const AlphaKey nan[] = {{0, 0, 0, 1}, {NAN, 0, 0, 1}};
  EXPECT_FALSE(c.SetPositionKeys(same, 3));
  EXPECT_FALSE(c.SetAlphaKeys(nan, 2));
  COrientation o;
  c.GetTransform(1.0f, o);
  EXPECT_FLOAT_EQ(o.position.x, 1.0f);
}

TEST(KeyframeController, SamplingMatchesLinearScanReference) {
  plat::srand(8);
  for (int round = 0; round < 40; ++round) {
    const int n = 1 + round % 9;
    const std::vector<float> times = IncreasingTimes(n);
    std::vector<PositionKey> pos;
    std::vector<RotationKey> rot;
    std::vector<AlphaKey> alpha;
    for (int i = 0; i < n; ++i) {
      pos.push_back({times[i], 0, Vector3(Uniform(-5, 5), Uniform(-5, 5), Uniform(-5, 5))});
      rot.push_back({times[i], 0, RandomRotation()});
      alpha.push_back({times[i], 0, Uniform(0, 1), Uniform(0, 1)});
    }
    CKeyframeController c;
    ASSERT_TRUE(c.SetPositionKeys(pos.data(), n) && c.SetRotationKeys(rot.data(), n) && c.SetAlphaKeys(alpha.data(), n));
    for (int s = 0; s < 60; ++s) {
      const float t = Uniform(times.front() - 1, times.back() + 1);
      int i = 0;  // last key not after t, by linear scan
      while (i + 1 < n && times[i + 1] <= t) ++i;
      const bool inside = t > times.front() && i + 1 < n;
      const double u = inside ? (t - times[i]) / (double(times[i + 1]) - times[i]) : 0.0;
      const int j = inside ? i + 1 : i;
      const Eigen::Vector3d p = ToEigen(pos[i].position) + (ToEigen(pos[j].position) - ToEigen(pos[i].position)) * u;
      const Eigen::Matrix3d m = ToEigen(rot[i].rotation).slerp(u, ToEigen(rot[j].rotation)).normalized().toRotationMatrix();
      const double a = alpha[i].start + (inside ? u * (alpha[i].end - alpha[i].start) : 0.0);
      COrientation o;
      c.GetTransform(t, o);
      ASSERT_LT((ToEigen(o.position) - p).norm(), 3e-4) << "t " << t;
      for (int r = 0; r < 3; ++r) ASSERT_LT((ToEigen(o.axes[r]) - m.col(r)).norm(), 3e-3) << "t " << t;
      ASSERT_NEAR(c.GetAlpha(t), a, 1e-4);
    }
    c.Clear();  // every kind of key goes
    ASSERT_EQ(0u, c.GetPositionKeyCount() + c.GetRotationKeyCount() + c.GetAlphaKeyCount() + c.GetExtraKeyCount());
  }
}

TEST(KeyframeController, ReductionKeepsEveryKeyWithinTolerance) {
  plat::srand(12);
  for (int round = 0; round < 25; ++round) {
    // A few corner keys with keys on the lines (and arcs) between them, slightly noisy.
    const std::vector<float> corners = IncreasingTimes(3 + round % 4);
    std::vector<PositionKey> pos;
    std::vector<RotationKey> rot;
    Vector3 pa(Uniform(-5, 5), 0, 0);
    Quaternion qa = RandomRotation();
    for (size_t c = 0; c < corners.size(); ++c) {
      const Vector3 pb(Uniform(-5, 5), Uniform(-5, 5), Uniform(-5, 5));
      const Quaternion qb = RandomRotation();
      for (int j = 0; j < (c + 1 < corners.size() ? 6 : 1); ++j) {
        const float f = j / 6.0f;
        Quaternion q;
        Quaternion::Slerp(q, qa, qb, f);
        const float t = c + 1 < corners.size() ? corners[c] + f * (corners[c + 1] - corners[c]) : corners[c];
        pos.push_back({t, 0, pa + (pb - pa) * f + Vector3(j ? Uniform(-1e-3f, 1e-3f) : 0, 0, 0)});
        rot.push_back({t, 0, q});
      }
      pa = pb;
      qa = qb;
    }
    CKeyframeController c;
    ASSERT_TRUE(c.SetPositionKeys(pos.data(), static_cast<uint32_t>(pos.size())));
    ASSERT_TRUE(c.SetRotationKeys(rot.data(), static_cast<uint32_t>(rot.size())));
    c.ReduceKeys(0.01f, 0.01f, 0.0f);
    EXPECT_LE(c.GetPositionKeyCount(), corners.size() + 2);
    EXPECT_LE(c.GetRotationKeyCount(), corners.size() + 2);
    for (size_t k = 0; k < pos.size(); ++k) {
      COrientation o;
      c.GetTransform(pos[k].time, o);
      EXPECT_LE((o.position - pos[k].position).Length(), 0.01f + 1e-4f) << "round " << round << " key " << k;
      EXPECT_LE(LargestRowAngle(o.axes, rot[k].rotation), 0.01f + 2e-3f) << "round " << round << " key " << k;
    }
  }
}

TEST(ControllerSetFile, RoundTripAndHostileData) {
  plat::srand(2);
  ControllerSet set;
  const char* names[] = {"root", "spine", "head"};
  for (int i = 0; i < 3; ++i) {
    auto c = std::make_unique<CKeyframeController>();
    c->SetName(names[i]);
    c->SetLength(1.5f + i);
    c->SetFrameTime(1.0f / 30);
    const int n = 2 + i;
    const std::vector<float> times = IncreasingTimes(n);
    std::vector<PositionKey> p;
    std::vector<RotationKey> r;
    std::vector<ExtraKey> x;
    std::vector<AlphaKey> a;
    for (int k = 0; k < n; ++k) {
      p.push_back({times[k], 0, Vector3(Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1))});
      r.push_back({times[k], 0, RandomRotation()});
      x.push_back({times[k], 0, {Uniform(-9, 9), 1, 2, 3, 4, 5, Uniform(-9, 9)}});
      a.push_back({times[k], 0, Uniform(0, 1), Uniform(0, 1)});
    }
    ASSERT_TRUE(c->SetPositionKeys(p.data(), n) && c->SetRotationKeys(r.data(), i == 2 ? 0 : n) &&
                c->SetExtraKeys(x.data(), n) && c->SetAlphaKeys(a.data(), n));
    set.Add(std::move(c));
  }
  std::vector<uint8_t> file(set.GetFileSize());
  set.Write(file.data());
  ControllerSet back;
  size_t used = 0;
  ASSERT_TRUE(back.Read(file.data(), file.size(), used));
  EXPECT_EQ(used, file.size());
  EXPECT_EQ(back.FindByName("spine"), back.GetController(1));
  std::vector<uint8_t> again(back.GetFileSize());
  back.Write(again.data());
  EXPECT_EQ(again, file);

  testing_support::DebugCapture quiet;
  for (size_t cut = 0; cut < file.size(); ++cut) {
    ControllerSet s;
    ASSERT_FALSE(s.Read(file.data(), cut, used)) << cut;
    ASSERT_EQ(s.GetCount(), 0u);
    ASSERT_EQ(s.GetController(0), nullptr);
  }
  const uint32_t huge = 0x40000000;
  auto refused = [&](size_t offset, const void* value) {
    std::vector<uint8_t> bad = file;
    std::memcpy(bad.data() + offset, value, 4);
    return !ControllerSet().Read(bad.data(), bad.size(), used);
  };
  EXPECT_TRUE(refused(4, &huge));           // controller count
  EXPECT_TRUE(refused(8 + 76, &huge));      // first controller's position key count
  EXPECT_TRUE(refused(8 + 80 + 20, file.data() + 8 + 80));  // second key at the first one's time
}
