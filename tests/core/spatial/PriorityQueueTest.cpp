// Priority queue: exact cases, and long random runs on two queues checked against a brute-force model.
#include "core/spatial/PriorityQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

namespace {

// A search node ordered by cost, as the path searches use the queue.
struct Node : CQueueableObject {
  explicit Node(float c = 0.0f) : cost(c) {}
  bool IsBefore(const CQueueableObject* other) const override { return cost < static_cast<const Node*>(other)->cost; }
  float cost;
};

TEST(PriorityQueue, EqualKeysPopLatestFirst) {
  CPriorityQueue queue;
  Node a(5), b(3), c(8), d(3);
  for (Node* n : {&a, &b, &c, &d}) ASSERT_TRUE(queue.Push(n));
  // The strict comparison lets the later of two equal keys rise above the earlier.
  for (const Node* want : {&d, &b, &a, &c}) EXPECT_EQ(queue.Pop(), want);
}

TEST(PriorityQueue, RefusesDoubleAndForeignUse) {
  testing_support::DebugCapture log;
  CPriorityQueue first, second;
  Node a(1), b(2), c(3), loose(0);
  first.Push(&a);
  first.Push(&b);
  second.Push(&c);
  EXPECT_FALSE(first.Push(&a));   // already here
  EXPECT_FALSE(second.Push(&a));  // already in the other queue
  EXPECT_FALSE(first.Push(nullptr));
  EXPECT_FALSE(first.Update(&c));  // its heap index belongs to the other queue
  EXPECT_FALSE(first.Update(&loose));
  first.Swap(&a, &c);  // refused: c is the other queue's
  EXPECT_TRUE(first.Top() == &a && c.GetHeapIndex() == 0);
  first.Swap(&a, &b);
  EXPECT_TRUE(first.Top() == &b && a.GetHeapIndex() == 1 && b.GetHeapIndex() == 0 && !first.IsValid());
  first.Swap(&b, &a);
  EXPECT_NE(log.Text().find("CPriorityQueue: "), std::string::npos);
  // A copy sits in no queue; assignment leaves the target's own slot alone.
  Node copy(a);
  EXPECT_EQ(copy.GetHeapIndex(), -1);
  b = c;
  EXPECT_TRUE(first.Contains(&b));
  EXPECT_TRUE(first.IsValid() && second.IsValid());
  EXPECT_EQ(first.Pop(), &a);
  EXPECT_EQ(first.Pop(), &b);
  EXPECT_EQ(second.Pop(), &c);
}

// Random pushes, pops, re-keys and clears on two queues, each compared after
// every step with the set of nodes it should hold: Pop must return one of the
// least cost. Few distinct costs make many ties.
TEST(PriorityQueue, RandomRunsMatchBruteForce) {
  testing_support::DebugCapture quiet;  // double pushes are refused with a log line each
  std::mt19937 rng(12345);
  std::vector<Node> nodes(600);
  CPriorityQueue queues[2];
  std::vector<Node*> model[2];
  for (int step = 0; step < 60000; ++step) {
    const int q = static_cast<int>(rng() % 2);
    const int op = static_cast<int>(rng() % 10);
    Node* n = &nodes[rng() % nodes.size()];
    if (op < 4) {
      const bool queued = n->IsQueued();
      if (!queued) n->cost = static_cast<float>(rng() % 200);
      ASSERT_EQ(queues[q].Push(n), !queued);
      if (!queued) model[q].push_back(n);
    } else if (op < 7) {
      CQueueableObject* top = queues[q].Pop();
      if (model[q].empty()) {
        ASSERT_EQ(top, nullptr);
        continue;
      }
      auto least = std::min_element(model[q].begin(), model[q].end(),
                                    [](const Node* x, const Node* y) { return x->cost < y->cost; });
      ASSERT_NE(top, nullptr);
      ASSERT_EQ(static_cast<Node*>(top)->cost, (*least)->cost);
      auto it = std::find(model[q].begin(), model[q].end(), top);
      ASSERT_NE(it, model[q].end());
      model[q].erase(it);
      ASSERT_EQ(top->GetHeapIndex(), -1);
    } else if (op < 9 && !model[q].empty()) {
      Node* m = model[q][rng() % model[q].size()];
      m->cost = static_cast<float>(rng() % 200);
      ASSERT_TRUE(queues[q].Update(m));
    } else if (op == 9 && rng() % 50 == 0) {
      queues[q].Clear();
      for (Node* m : model[q]) ASSERT_EQ(m->GetHeapIndex(), -1);
      model[q].clear();
    }
    ASSERT_EQ(queues[q].GetSize(), model[q].size());
    if (step % 97 == 0) {
      ASSERT_TRUE(queues[0].IsValid() && queues[1].IsValid());
      // The neighbour accessors against the heap's index arithmetic over the slots read back.
      std::vector<const CQueueableObject*> slot(model[q].size());
      for (const Node* m : model[q]) slot[static_cast<size_t>(m->GetHeapIndex())] = m;
      auto at = [&](size_t i) { return i < slot.size() ? slot[i] : nullptr; };
      for (size_t i = 0; i < slot.size(); ++i) {
        ASSERT_EQ(queues[q].GetParent(slot[i]), i == 0 ? nullptr : slot[(i - 1) / 2]);
        ASSERT_EQ(queues[q].GetLeftChild(slot[i]), at(2 * i + 1));
        ASSERT_EQ(queues[q].GetRightChild(slot[i]), at(2 * i + 2));
        ASSERT_EQ(queues[1 - q].GetLeftChild(slot[i]), nullptr);
      }
    }
  }
  for (int q = 0; q < 2; ++q) {
    std::vector<float> expected, popped;
    for (const Node* m : model[q]) expected.push_back(m->cost);
    std::sort(expected.begin(), expected.end());
    while (CQueueableObject* e = queues[q].Pop()) popped.push_back(static_cast<Node*>(e)->cost);
    EXPECT_EQ(popped, expected);
  }
}

}  // namespace
