// Tests of keyframe controllers: sampling against a linear-scan reference, key reduction
// within tolerance, the file form round trip and hostile section data.
#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/math/MathUtil.h"
#include "platform/Platform.h"
#include "scene/ControllerSet.h"
#include "scene/KeyframeController.h"

namespace {

float Uniform(float lo, float hi) { return lo + (hi - lo) * plat::rand() / static_cast<float>(plat::kRandMax); }

Quaternion RandomRotation() {
  Quaternion q;
  q.Random();
  return q;
}

std::vector<float> IncreasingTimes(int n) {
  std::vector<float> t;
  float at = Uniform(-1, 1);
  for (int i = 0; i < n; ++i) {
    t.push_back(at);
    at += Uniform(0.05f, 1.0f);
  }
  return t;
}

// Linear scan for the last key not after t.
template <class Key>
int Interval(const std::vector<Key>& k, float t) {
  int i = 0;
  while (i + 1 < static_cast<int>(k.size()) && k[i + 1].time <= t) ++i;
  return i;
}

Eigen::Quaterniond ToEigen(const Quaternion& q) { return Eigen::Quaterniond(q.w, q.x, q.y, q.z); }

float LargestRowAngle(const Quaternion& a, const Quaternion& b) {
  TMatrix ma, mb;
  a.ToMatrix(ma);
  b.ToMatrix(mb);
  float worst = 0;
  for (int r = 0; r < 3; ++r) worst = std::max(worst, AngleBetween(ma[r], mb[r]));
  return worst;
}

}  // namespace

TEST(KeyframeController, LayoutCases) {
  CKeyframeController c;
  const PositionKey one[] = {{0.5f, 0, Vector3(1, 2, 3)}};
  ASSERT_TRUE(c.SetPositionKeys(one, 1));
  for (float t : {-5.0f, 0.5f, 0.7f, 100.0f}) {
    COrientation o;
    c.GetTransform(t, o);
    EXPECT_EQ(o.position, Vector3(1, 2, 3));
    EXPECT_TRUE(o.axes == TMatrix());
  }
  EXPECT_EQ(c.GetAlpha(3.0f), 1.0f);

  Quaternion turned;
  turned.SetFromMatrix(TMatrix().Set(0, 1, 0, -1, 0, 0, 0, 0, 1));
  const RotationKey rot[] = {{0.0f, 0, Quaternion()}, {1.0f, 0, turned}};
  ASSERT_TRUE(c.SetRotationKeys(rot, 2));
  COrientation half, late;
  c.GetTransform(0.5f, half);
  c.GetTransform(2.0f, late);
  Quaternion h;
  h.SetFromMatrix(half.axes);
  EXPECT_NEAR(std::fabs(ToEigen(h).dot(Eigen::Quaterniond::Identity().slerp(0.5, ToEigen(turned)))), 1.0, 1e-5);
  EXPECT_LT(LargestRowAngle(turned, [&] { Quaternion q; q.SetFromMatrix(late.axes); return q; }()), 1e-3f);

  // End time: the latest last key of any track.
  const PositionKey pos[] = {{0.0f, 0, Vector3()}, {2.0f, 0, Vector3()}};
  const RotationKey rot2[] = {{0.0f, 0, Quaternion()}, {3.5f, 0, Quaternion()}};
  ASSERT_TRUE(c.SetPositionKeys(pos, 2));
  ASSERT_TRUE(c.SetRotationKeys(rot2, 2));
  std::vector<uint8_t> buffer(c.GetFileSize());
  c.Write(buffer.data());
  EXPECT_EQ(c.GetEndTime(), 3.5f);
  float written = 0;
  std::memcpy(&written, buffer.data() + 64, 4);
  EXPECT_EQ(written, 3.5f);
  EXPECT_EQ(c.GetFileSize(), 76u + (4 + 20 * 2) + (4 + 24 * 2) + 4 + 4);
}

TEST(KeyframeController, KeysMustMoveForwardInTime) {
  CKeyframeController c;
  const PositionKey good[] = {{0, 0, Vector3(1, 0, 0)}, {1, 0, Vector3(2, 0, 0)}};
  ASSERT_TRUE(c.SetPositionKeys(good, 2));
  const PositionKey same[] = {{0, 0, Vector3()}, {1, 0, Vector3()}, {1, 0, Vector3()}};
  EXPECT_FALSE(c.SetPositionKeys(same, 3));  // would give an infinite rate
  const PositionKey backwards[] = {{1, 0, Vector3()}, {0, 0, Vector3()}};
  EXPECT_FALSE(c.SetPositionKeys(backwards, 2));
  const AlphaKey nan[] = {{0, 0, 0, 1}, {NAN, 0, 0, 1}};
  EXPECT_FALSE(c.SetAlphaKeys(nan, 2));
  EXPECT_EQ(c.GetPositionKeyCount(), 2u);  // the refused tracks left the old one in place
  COrientation o;
  c.GetTransform(0.5f, o);
  EXPECT_FLOAT_EQ(o.position.x, 1.5f);
  EXPECT_EQ(c.GetPositionKeys()[0].rate, 1.0f);
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
    ASSERT_TRUE(c.SetPositionKeys(pos.data(), n));
    ASSERT_TRUE(c.SetRotationKeys(rot.data(), n));
    ASSERT_TRUE(c.SetAlphaKeys(alpha.data(), n));
    for (int s = 0; s < 60; ++s) {
      const float t = Uniform(times.front() - 1, times.back() + 1);
      COrientation o;
      c.GetTransform(t, o);
      const int i = Interval(pos, t);
      Eigen::Vector3d p;
      Eigen::Quaterniond q;
      double a;
      if (t <= times.front()) {
        p = Eigen::Vector3d(pos[0].position.x, pos[0].position.y, pos[0].position.z);
        q = ToEigen(rot[0].rotation);
        a = alpha[0].start;
      } else if (i + 1 >= n) {
        p = Eigen::Vector3d(pos[i].position.x, pos[i].position.y, pos[i].position.z);
        q = ToEigen(rot[i].rotation);
        a = alpha[i].start;
      } else {
        const double u = (t - times[i]) / (double(times[i + 1]) - times[i]);
        const Eigen::Vector3d p0(pos[i].position.x, pos[i].position.y, pos[i].position.z);
        const Eigen::Vector3d p1(pos[i + 1].position.x, pos[i + 1].position.y, pos[i + 1].position.z);
        p = p0 + (p1 - p0) * u;
        q = ToEigen(rot[i].rotation).slerp(u, ToEigen(rot[i + 1].rotation));
        a = alpha[i].start + u * (alpha[i].end - alpha[i].start);
      }
      ASSERT_NEAR(o.position.x, p.x(), 2e-4);
      ASSERT_NEAR(o.position.y, p.y(), 2e-4);
      ASSERT_NEAR(o.position.z, p.z(), 2e-4);
      const Eigen::Matrix3d m = q.normalized().toRotationMatrix();  // columns are the turned axes
      for (int r = 0; r < 3; ++r) {
        for (int k = 0; k < 3; ++k) ASSERT_NEAR(o.axes[r][k], m(k, r), 2e-3) << "t " << t;
      }
      ASSERT_NEAR(c.GetAlpha(t), a, 1e-4);
    }
  }
}

TEST(KeyframeController, ReductionKeepsEveryKeyWithinTolerance) {
  plat::srand(12);
  for (int round = 0; round < 25; ++round) {
    // A few corner keys with many keys placed on the straight lines (and arcs) between them.
    const std::vector<float> corners = IncreasingTimes(3 + round % 4);
    std::vector<PositionKey> pos;
    std::vector<RotationKey> rot;
    Vector3 pa(Uniform(-5, 5), 0, 0);
    Quaternion qa = RandomRotation();
    for (size_t c = 0; c + 1 < corners.size(); ++c) {
      const Vector3 pb(Uniform(-5, 5), Uniform(-5, 5), Uniform(-5, 5));
      const Quaternion qb = RandomRotation();
      for (int j = 0; j < 6; ++j) {
        const float f = j / 6.0f;
        const float t = corners[c] + f * (corners[c + 1] - corners[c]);
        // A little noise, well inside the tolerances, on the in-between keys.
        const Vector3 noise = j ? Vector3(Uniform(-1e-3f, 1e-3f), 0, 0) : Vector3();
        Quaternion q;
        Quaternion::Slerp(q, qa, qb, f);
        pos.push_back({t, 0, pa + (pb - pa) * f + noise});
        rot.push_back({t, 0, q});
      }
      pa = pb;
      qa = qb;
    }
    pos.push_back({corners.back(), 0, pa});
    rot.push_back({corners.back(), 0, qa});

    CKeyframeController c;
    ASSERT_TRUE(c.SetPositionKeys(pos.data(), static_cast<uint32_t>(pos.size())));
    ASSERT_TRUE(c.SetRotationKeys(rot.data(), static_cast<uint32_t>(rot.size())));
    const float posTol = 0.01f, angTol = 0.01f;
    c.ReduceKeys(posTol, angTol, 0.0f);
    EXPECT_LE(c.GetPositionKeyCount(), corners.size() + 2) << "round " << round;
    EXPECT_LE(c.GetRotationKeyCount(), corners.size() + 2) << "round " << round;
    EXPECT_EQ(c.GetPositionKeys()[0].time, pos.front().time);
    EXPECT_EQ(c.GetPositionKeys()[c.GetPositionKeyCount() - 1].time, pos.back().time);
    for (size_t k = 0; k < pos.size(); ++k) {
      COrientation o;
      c.GetTransform(pos[k].time, o);
      EXPECT_LE((o.position - pos[k].position).Length(), posTol + 1e-4f) << "round " << round << " key " << k;
      Quaternion q;
      q.SetFromMatrix(o.axes);
      EXPECT_LE(LargestRowAngle(q, rot[k].rotation), angTol + 2e-3f) << "round " << round << " key " << k;
    }
    // Rates were recomputed for the kept keys.
    const PositionKey* kept = c.GetPositionKeys();
    for (uint32_t i = 0; i + 1 < c.GetPositionKeyCount(); ++i) {
      EXPECT_FLOAT_EQ(kept[i].rate, 1.0f / (kept[i + 1].time - kept[i].time));
    }
  }
}

TEST(ControllerSetFile, RoundTripAndHostileData) {
  plat::srand(2);
  ControllerSet set;
  for (int i = 0; i < 3; ++i) {
    CKeyframeController* c = new CKeyframeController();
    c->SetName(i == 0 ? "root" : (i == 1 ? "spine" : "head"));
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
      ExtraKey e{times[k], 0, {}};
      for (float& v : e.values) v = Uniform(-9, 9);
      x.push_back(e);
      a.push_back({times[k], 0, Uniform(0, 1), Uniform(0, 1)});
    }
    ASSERT_TRUE(c->SetPositionKeys(p.data(), n));
    ASSERT_TRUE(c->SetRotationKeys(r.data(), i == 2 ? 0 : n));
    ASSERT_TRUE(c->SetExtraKeys(x.data(), n));
    ASSERT_TRUE(c->SetAlphaKeys(a.data(), n));
    set.Add(c);
  }
  std::vector<uint8_t> file(set.GetFileSize());
  set.Write(file.data());

  ControllerSet back;
  size_t used = 0;
  ASSERT_TRUE(back.Read(file.data(), file.size(), used));
  EXPECT_EQ(used, file.size());
  ASSERT_EQ(back.GetCount(), 3u);
  EXPECT_EQ(back.GetFirstWord(), 1u);
  EXPECT_EQ(back.FindByName("spine"), back.GetController(1));
  EXPECT_EQ(back.FindByName("tail"), nullptr);
  std::vector<uint8_t> again(back.GetFileSize());
  back.Write(again.data());
  EXPECT_EQ(again, file);

  // Every truncation is refused without reading past the end.
  for (size_t cut = 0; cut < file.size(); ++cut) {
    std::vector<uint8_t> part(file.begin(), file.begin() + cut);
    ControllerSet s;
    ASSERT_FALSE(s.Read(part.data(), part.size(), used)) << cut;
    ASSERT_EQ(s.GetCount(), 0u);
  }
  // Absurd counts, and keys out of order inside otherwise sound data.
  std::vector<uint8_t> bad = file;
  const uint32_t huge = 0x40000000;
  std::memcpy(bad.data() + 4, &huge, 4);
  EXPECT_FALSE(ControllerSet().Read(bad.data(), bad.size(), used));
  bad = file;
  std::memcpy(bad.data() + 8 + 76, &huge, 4);  // first controller's position key count
  EXPECT_FALSE(ControllerSet().Read(bad.data(), bad.size(), used));
  bad = file;
  float t0 = 0;
  std::memcpy(&t0, bad.data() + 8 + 80, 4);
  std::memcpy(bad.data() + 8 + 80 + 20, &t0, 4);  // second position key at the first one's time
  EXPECT_FALSE(ControllerSet().Read(bad.data(), bad.size(), used));
  EXPECT_FALSE(ControllerSet().Read(nullptr, 100, used));
}
