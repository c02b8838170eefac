// Bezier splines: ends and tangents, walking by parameter and by length, the packed record, the ID list.
#include "core/spatial/BezierSpline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/support/InputCost.h"
#include "tests/support/MathCompare.h"
#include "tests/support/TempFolder.h"

using testing_support::WithinDistance;

namespace {

std::vector<SplineControlPoint> RandomPoints(std::mt19937& rng, int n) {
  std::uniform_real_distribution<float> d(-50.0f, 50.0f);
  std::vector<SplineControlPoint> points(n);
  for (SplineControlPoint& p : points) {
    p.position = Vector3(d(rng), d(rng), d(rng));
    p.outHandle = Vector3(d(rng), d(rng), d(rng));
    p.inHandle = Vector3(d(rng), d(rng), d(rng));
    p.segmentLength = 1.0f + std::fabs(d(rng));
  }
  return points;
}

TEST(BezierSpline, SegmentsMeetPointsAlongHandleTangents) {
  std::mt19937 rng(1);
  for (bool closed : {false, true}) {
    CBezierSpline spline;
    spline.SetClosed(closed);
    spline.SetPoints(RandomPoints(rng, 5));
    const auto& p = spline.GetPoints();
    ASSERT_EQ(spline.GetSegmentCount(), closed ? 5u : 4u);
    for (int i = 0; i < static_cast<int>(spline.GetSegmentCount()); ++i) {
      const SplineControlPoint &a = p[i], &b = p[(i + 1) % 5];
      Vector3 start, end, nearStart, nearEnd;
      spline.EvaluateSegment(start, i, 0.0f);
      spline.EvaluateSegment(end, i, 1.0f);
      EXPECT_EQ(start, a.position);
      EXPECT_EQ(end, b.position);
      // One-sided differences: the curve leaves along 3 (out - position) and
      // arrives along 3 (position - in).
      const float h = 1e-3f;
      spline.EvaluateSegment(nearStart, i, h);
      spline.EvaluateSegment(nearEnd, i, 1.0f - h);
      EXPECT_PRED_FORMAT3(WithinDistance, (nearStart - start) * (1.0f / h), (a.outHandle - a.position) * 3.0f, 1.0f);
      EXPECT_PRED_FORMAT3(WithinDistance, (end - nearEnd) * (1.0f / h), (b.position - b.inHandle) * 3.0f, 1.0f);
    }
    Vector3 wrapped, direct;  // indices are taken cyclically, negative ones too
    spline.EvaluateSegment(wrapped, -1, 0.25f);
    spline.EvaluateSegment(direct, 4, 0.25f);
    EXPECT_EQ(wrapped, direct);
  }
}

TEST(BezierSpline, ParameterSpreadsEvenlyOverSegments) {
  std::mt19937 rng(2);
  CBezierSpline spline;
  spline.SetPoints(RandomPoints(rng, 4));
  const auto& p = spline.GetPoints();
  Vector3 got, want;
  spline.SetClosed(true);  // four segments
  spline.EvaluateSegment(want, 3, 0.6f);
  spline.GetPointAtParameter(got, 0.9f);
  EXPECT_PRED_FORMAT3(WithinDistance, got, want, 1e-3f);
  spline.GetPointAtParameter(got, -0.1f);  // wraps round
  EXPECT_PRED_FORMAT3(WithinDistance, got, want, 1e-3f);
  EXPECT_FALSE(spline.GetPointAtParameter(got, std::nanf("")));
  for (float turns : {3e38f, -3e38f, 1e30f}) {  // whole turns, some past float range once scaled
    ASSERT_TRUE(spline.GetPointAtParameter(got, turns)) << turns;
    EXPECT_EQ(got, p[0].position) << turns;
  }

  spline.SetClosed(false);  // three segments, held at the ends
  spline.EvaluateSegment(want, 1, 0.5f);
  spline.GetPointAtParameter(got, 0.5f);
  EXPECT_PRED_FORMAT3(WithinDistance, got, want, 1e-3f);
  spline.GetPointAtParameter(got, -3.0f);
  EXPECT_EQ(got, p[0].position);
  spline.GetPointAtParameter(got, 1e30f);
  EXPECT_EQ(got, p[3].position);
}

// A straight spline with its handles at thirds moves at constant speed, so
// walking by length fraction f must land at f times the total length.
TEST(BezierSpline, FractionWalksByAuthoredLength) {
  const float xs[] = {0.0f, 1.0f, 1.0f, 10.0f};  // the middle segment has no length
  std::vector<SplineControlPoint> points(4);
  for (int i = 0; i < 4; ++i) {
    const float prev = xs[i > 0 ? i - 1 : 0], next = xs[i < 3 ? i + 1 : 3];
    points[i].position = Vector3(xs[i], 2, 3);
    points[i].outHandle = Vector3(xs[i] + (next - xs[i]) / 3, 2, 3);
    points[i].inHandle = Vector3(xs[i] - (xs[i] - prev) / 3, 2, 3);
    points[i].segmentLength = next - xs[i];
  }
  CBezierSpline spline;
  spline.SetPoints(points);
  spline.SetTotalLength(10.0f);
  Vector3 got, byEnd;
  for (int k = 0; k <= 100; ++k) {  // the zero share is stepped over, never divided by
    ASSERT_TRUE(spline.GetPointAtFraction(got, k / 100.0f));
    EXPECT_NEAR(got.x, k / 10.0f, 1e-4f) << k;
  }
  // At the end and past it (a camera whose move ran over its time) the walk stays at the last
  // point; closed, that is the end of the segment back to the first point.
  for (float past : {1.0f, 1.2f, 1e30f, INFINITY}) {
    ASSERT_TRUE(spline.GetPointAtFraction(got, past)) << past;
    EXPECT_PRED_FORMAT3(WithinDistance, got, points[3].position, 1e-5f) << past;
  }
  spline.SetClosed(true);
  spline.SetTotalLength(20.0f);  // the closing segment's length: 10 back to the start
  points[3].segmentLength = 10.0f;
  spline.SetPoints(points);
  for (float past : {1.0f, 3.5f}) {
    ASSERT_TRUE(spline.GetPointAtFraction(got, past)) << past;
    EXPECT_PRED_FORMAT3(WithinDistance, got, points[0].position, 1e-5f) << past;
  }
  spline.EvaluateSegment(byEnd, 3, 0.5f);  // half the way back at three quarters of the length
  ASSERT_TRUE(spline.GetPointAtFraction(got, 0.75f));
  EXPECT_PRED_FORMAT3(WithinDistance, got, byEnd, 1e-4f);
  spline.SetClosed(false);
  spline.SetTotalLength(10.0f);
  // Without a usable total length, the even spread by parameter stands in.
  Vector3 byParameter;
  spline.GetPointAtParameter(byParameter, 0.9f);  // x 7.3 by parameter, 9 by length
  for (float total : {0.0f, -4.0f, std::nanf("")}) {
    spline.SetTotalLength(total);
    ASSERT_TRUE(spline.GetPointAtFraction(got, 0.9f));
    EXPECT_EQ(got, byParameter);
  }
}

TEST(BezierSpline, EmptyAndSinglePointSplines) {
  CBezierSpline spline;
  Vector3 out(9, 9, 9), atParameter(9, 9, 9), atFraction(9, 9, 9);
  EXPECT_FALSE(spline.EvaluateSegment(out, 0, 0.5f));
  EXPECT_FALSE(spline.GetPointAtParameter(atParameter, 0.5f));
  EXPECT_FALSE(spline.GetPointAtFraction(atFraction, 0.5f));
  for (const Vector3& point : {out, atParameter, atFraction}) EXPECT_EQ(point, Vector3());  // none left stale

  std::vector<SplineControlPoint> one(1);
  one[0].position = Vector3(1, 2, 3);
  one[0].outHandle = Vector3(5, 5, 5);
  spline.SetPoints(one);  // open: no segment, the curve is the point
  ASSERT_TRUE(spline.GetPointAtFraction(out, 0.5f));
  EXPECT_EQ(out, one[0].position);
}

TEST(BezierSpline, TransformMovesPointsAndBounds) {
  std::mt19937 rng(5);
  const auto points = RandomPoints(rng, 6);
  CBezierSpline spline;
  spline.SetPoints(points);
  COrientation turned;
  turned.RotateZ(0.7f);
  turned.RotateY(-0.3f);
  turned.SetPosition(Vector3(10, 0, 0));
  spline.TransformToWorld(turned);
  // The box is the tight box of every moved position and handle.
  Vector3 lo(1e9f, 1e9f, 1e9f), hi(-1e9f, -1e9f, -1e9f);
  for (size_t i = 0; i < points.size(); ++i) {
    const SplineControlPoint& moved = spline.GetPoints()[i];
    EXPECT_EQ(moved.position, turned.LocalToWorldPoint(points[i].position));
    EXPECT_EQ(moved.outHandle, turned.LocalToWorldPoint(points[i].outHandle));
    EXPECT_EQ(moved.inHandle, turned.LocalToWorldPoint(points[i].inHandle));
    for (const Vector3& v : {moved.position, moved.outHandle, moved.inHandle}) {
      for (int k = 0; k < 3; ++k) {
        lo[k] = std::min(lo[k], v[k]);
        hi[k] = std::max(hi[k], v[k]);
      }
    }
  }
  EXPECT_EQ(spline.GetBounds().min, lo);
  EXPECT_EQ(spline.GetBounds().max, hi);
}

TEST(BezierSpline, FindByIdUsesCreationOrder) {
  auto first = std::make_unique<CBezierSpline>();
  auto second = std::make_unique<CBezierSpline>();
  first->SetID(4711);
  second->SetID(4711);
  EXPECT_EQ(CBezierSpline::FindByID(4711), first.get());
  first.reset();
  EXPECT_EQ(CBezierSpline::FindByID(4711), second.get());
  second.reset();
  EXPECT_EQ(CBezierSpline::FindByID(4711), nullptr);
}

// A record laid out byte by byte, independently of the writer.
std::vector<uint8_t> HandRecord(int32_t id, uint8_t closed, float length, uint32_t count) {
  std::vector<uint8_t> r;
  auto u32 = [&r](uint32_t v) {
    for (int i = 0; i < 4; ++i) r.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto f32 = [&u32](float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    u32(bits);
  };
  u32(static_cast<uint32_t>(id));
  r.push_back(closed);
  f32(length);
  for (float f : {-1.0f, -2.0f, -3.0f, 4.0f, 5.0f, 6.0f}) f32(f);
  u32(count);
  for (uint32_t i = 0; i < count * 10; ++i) f32(static_cast<float>(100 * (i / 10) + i % 10));
  return r;
}

TEST(BezierSplineRecord, ReadsAndWritesBackHandLaidRecords) {
  const auto record = HandRecord(-77, 1, 12.5f, 2);
  ASSERT_EQ(record.size(), 37u + 80u);
  CBezierSpline spline;
  ASSERT_TRUE(spline.LoadFromBuffer(record.data(), record.size()));
  EXPECT_TRUE(spline.IsClosed());
  EXPECT_EQ(spline.GetBounds().max, Vector3(4, 5, 6));
  EXPECT_EQ(spline.GetPoints()[1].inHandle, Vector3(106, 107, 108));
  std::vector<uint8_t> written(spline.GetRecordSize());
  ASSERT_TRUE(spline.SaveToBuffer(written.data(), written.size()));
  EXPECT_EQ(written, record);

  const auto empty = HandRecord(3, 0, 0.0f, 0);
  ASSERT_TRUE(spline.LoadFromBuffer(empty.data(), empty.size()));
  written.assign(spline.GetRecordSize(), 0xCD);
  ASSERT_TRUE(spline.SaveToBuffer(written.data(), written.size()));
  EXPECT_EQ(written, empty);
}

TEST(BezierSplineRecord, RefusesTruncatedAndHostileRecords) {
  testing_support::DebugCapture log;
  const auto good = HandRecord(5, 0, 3.0f, 3);
  CBezierSpline spline;
  spline.SetID(99);
  for (size_t size = 0; size < good.size(); ++size) {
    auto cut = std::make_unique<uint8_t[]>(size + 1);  // a tight heap block, so ASan sees over-reads
    std::memcpy(cut.get(), good.data(), size);
    EXPECT_FALSE(testing_support::WithinLinearCost(size, [&] { return spline.LoadFromBuffer(cut.get(), size); })) << size;
  }
  auto longer = good;
  longer.push_back(0);
  EXPECT_FALSE(spline.LoadFromBuffer(longer.data(), longer.size()));
  EXPECT_FALSE(spline.LoadFromBuffer(nullptr, good.size()));
  // Counts beyond the data, including one whose byte size wraps in 32 bits
  // (40 x 0x06666667 = 2^32 + 24) and would then claim a 61-byte record.
  for (uint32_t count : {4u, 0xFFFFFFFFu, 0x06666667u}) {
    auto hostile = good;
    hostile.resize(count == 0x06666667u ? 61 : hostile.size());
    std::memcpy(hostile.data() + 33, &count, 4);
    EXPECT_FALSE(spline.LoadFromBuffer(hostile.data(), hostile.size())) << count;
  }
  // A NaN or infinity anywhere a number must be finite, and negative lengths, at every float.
  std::vector<size_t> floats = {5};
  for (size_t at = 9; at < 33; at += 4) floats.push_back(at);
  for (size_t at = 37; at < good.size(); at += 4) floats.push_back(at);
  for (size_t at : floats) {
    const bool isLength = at == 5 || (at >= 37 && (at - 37) % 40 == 36);
    for (float bad : {std::nanf(""), INFINITY, -INFINITY, -1.0f}) {
      if (bad == -1.0f && !isLength) continue;  // a negative coordinate is fine
      auto hostile = good;
      std::memcpy(hostile.data() + at, &bad, 4);
      EXPECT_FALSE(spline.LoadFromBuffer(hostile.data(), hostile.size())) << at << " " << bad;
    }
  }
  EXPECT_EQ(spline.GetID(), 99);  // refused records change nothing
  EXPECT_EQ(spline.GetPointCount(), 0u);
  EXPECT_NE(log.Text().find("CBezierSpline: "), std::string::npos);

  ASSERT_TRUE(spline.LoadFromBuffer(good.data(), good.size()));
  std::vector<uint8_t> small(good.size() - 1);
  EXPECT_FALSE(spline.SaveToBuffer(small.data(), small.size()));
}

}  // namespace
