// Counted handles and the debug line formatter.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/data/DebugPrintf.h"
#include "core/data/RefHandle.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::DebugCapture;

class Target : public CRefCounted {
 public:
  explicit Target(int* deletes) : m_deletes(deletes) {}
  ~Target() override { ++*m_deletes; }

 private:
  int* m_deletes;
};

TEST(RefHandle, CopiesShareAndTheLastReleaseDeletes) {
  int deletes = 0;
  RefHandle first(std::make_unique<Target>(&deletes));
  RefHandle second(first);
  RefHandle third(first);
  second.Release();
  first.Release();
  EXPECT_EQ(deletes, 0);
  third.Release();  // the last share: its delete is the one counted below
  // Released handles are cleared: releasing again (and their destructors) delete nothing twice.
  EXPECT_TRUE(first.IsNull());
  first.Release();
  third.Release();
  EXPECT_EQ(deletes, 1);
}

TEST(RefHandle, RandomCopiesAssignmentsAndReleasesKeepTheCountExact) {
  std::mt19937 random(5);
  int deletes = 0;
  constexpr int kTargets = 8;
  std::vector<Target*> targets;
  std::vector<int> expected(kTargets, 0);  // handles that point at each target
  std::vector<RefHandle> handles(64);
  std::vector<int> pointsAt(64, -1);
  // Keep one anchor per target so the count can be read while the others churn.
  std::vector<RefHandle> anchors;
  for (int t = 0; t < kTargets; ++t) {
    auto target = std::make_unique<Target>(&deletes);
    targets.push_back(target.get());
    anchors.emplace_back(std::move(target));
  }
  for (int step = 0; step < 20000; ++step) {
    const int h = static_cast<int>(random() % handles.size());
    const int op = static_cast<int>(random() % 3);
    if (pointsAt[h] >= 0 && op != 2) {
      --expected[pointsAt[h]];
      pointsAt[h] = -1;
    }
    if (op == 0) {
      handles[h].Release();
    } else if (op == 1) {
      const int t = static_cast<int>(random() % kTargets);
      handles[h] = anchors[t];
      pointsAt[h] = t;
      ++expected[t];
    } else {
      const int other = static_cast<int>(random() % handles.size());
      if (pointsAt[h] >= 0) --expected[pointsAt[h]];
      handles[h] = handles[other];
      pointsAt[h] = pointsAt[other];
      if (pointsAt[h] >= 0) ++expected[pointsAt[h]];
    }
    for (int t = 0; t < kTargets; ++t) { ASSERT_EQ(targets[t]->refCount, static_cast<uint32_t>(expected[t] + 1)); }
  }
  EXPECT_EQ(deletes, 0);
  handles.clear();
  anchors.clear();
  EXPECT_EQ(deletes, kTargets);
}

TEST(DebugPrintf, LongTextsAreCutAndKeepTheirLineEnd) {
  DebugCapture capture;
  DebugPrintf("Value = %d\n", 5);
  EXPECT_EQ(capture.Text(), "Value = 5\n");  // no error-number text appended
  for (size_t length : {size_t{1022}, size_t{1023}, size_t{5000}}) {
    capture.Clear();
    const std::string body(length, 'x');
    DebugPrintf("%s\n", body.c_str());
    const std::string& out = capture.Text();
    ASSERT_LE(out.size(), kDebugPrintfCapacity - 1) << length;
    ASSERT_EQ(out.back(), '\n') << length;
    if (length + 1 < kDebugPrintfCapacity) { EXPECT_EQ(out, body + "\n"); }
    else EXPECT_EQ(out.size(), kDebugPrintfCapacity - 1);
  }
  // A long format (not only long arguments) is bounded too.
  capture.Clear();
  const std::string format(3000, 'f');
  DebugPrintf(format.c_str(), 0);
  EXPECT_EQ(capture.Text(), std::string(kDebugPrintfCapacity - 1, 'f'));
}

}  // namespace
