// Priority queue: exact cases, and long random runs checked against a plain sorted list.
#include "core/math/PriorityQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace {

// A search node ordered by cost, as the path searches use the queue.
struct Node : CQueueableObject {
  explicit Node(float c = 0.0f, int i = 0) : cost(c), id(i) {}
  bool IsBefore(const CQueueableObject* other) const override {
    return cost < static_cast<const Node*>(other)->cost;
  }
  float cost;
  int id;
};

// Collects debug output so refusals can be checked.
struct LogCapture {
  LogCapture() {
    previous = plat::SetDebugSink([this](const char* text) { lines += text; });
  }
  ~LogCapture() { plat::SetDebugSink(previous); }
  std::string lines;
  plat::DebugSink previous;
};

TEST(PriorityQueue, PopsByCostAndResetsHeapIndex) {
  CPriorityQueue queue;
  EXPECT_EQ(queue.Pop(), nullptr);
  EXPECT_EQ(queue.Top(), nullptr);

  Node a(5), b(3), c(8), d(3);
  for (Node* n : {&a, &b, &c, &d}) ASSERT_TRUE(queue.Push(n));
  EXPECT_TRUE(queue.IsValid());
  // The strict comparison lets a later equal key rise above an earlier one.
  EXPECT_EQ(queue.Top(), &d);
  const Node* expected[] = {&d, &b, &a, &c};
  for (const Node* want : expected) {
    CQueueableObject* got = queue.Pop();
    EXPECT_EQ(got, want);
    EXPECT_EQ(got->GetHeapIndex(), -1);
    EXPECT_TRUE(queue.IsValid());
  }
  EXPECT_EQ(queue.Pop(), nullptr);
  EXPECT_TRUE(queue.IsEmpty());
}

TEST(PriorityQueue, UpdateMovesElementsBothWays) {
  std::vector<Node> nodes;
  CPriorityQueue queue;
  for (int i = 0; i < 31; ++i) nodes.emplace_back(static_cast<float>(i), i);
  for (Node& n : nodes) queue.Push(&n);

  Node& deep = nodes[30];
  ASSERT_GE(deep.GetHeapIndex(), 15);  // a leaf of the full five-level heap
  deep.cost = -1.0f;
  EXPECT_TRUE(queue.Update(&deep));
  EXPECT_EQ(queue.Top(), &deep);
  EXPECT_TRUE(queue.IsValid());

  deep.cost = 100.0f;
  EXPECT_TRUE(queue.Update(&deep));
  EXPECT_EQ(queue.Top(), &nodes[0]);
  EXPECT_EQ(queue.GetLeftChild(&deep), nullptr);
  EXPECT_EQ(queue.GetRightChild(&deep), nullptr);
  EXPECT_TRUE(queue.IsValid());

  // Neighbour queries agree with the index arithmetic of the layout.
  CQueueableObject* root = queue.Top();
  EXPECT_EQ(queue.GetParent(root), nullptr);
  EXPECT_EQ(queue.GetParent(queue.GetLeftChild(root)), root);
  EXPECT_EQ(queue.GetParent(queue.GetRightChild(root)), root);
  EXPECT_EQ(queue.GetLeftChild(root)->GetHeapIndex(), 1);
  EXPECT_EQ(queue.GetRightChild(root)->GetHeapIndex(), 2);
}

TEST(PriorityQueue, ClearKeepsCapacityAndReleasesElements) {
  CPriorityQueue queue;
  EXPECT_EQ(queue.GetCapacity(), 0u);
  Node a(1), b(2), c(3);
  std::vector<size_t> capacities;
  for (Node* n : {&a, &b, &c}) {
    queue.Push(n);
    capacities.push_back(queue.GetCapacity());
  }
  EXPECT_EQ(capacities, (std::vector<size_t>{1, 2, 4}));
  queue.Clear();
  EXPECT_TRUE(queue.IsEmpty());
  EXPECT_EQ(queue.GetCapacity(), 4u);
  for (Node* n : {&a, &b, &c}) EXPECT_EQ(n->GetHeapIndex(), -1);
  // Cleared elements can be queued again.
  EXPECT_TRUE(queue.Push(&c));
  EXPECT_EQ(queue.Top(), &c);

  CPriorityQueue reserved(100);
  EXPECT_GE(reserved.GetCapacity(), 100u);
}

TEST(PriorityQueue, RefusesForeignAndDoubleUse) {
  LogCapture log;
  CPriorityQueue first, second;
  Node a(1), b(2), c(3);
  ASSERT_TRUE(first.Push(&a));
  ASSERT_TRUE(first.Push(&b));
  ASSERT_TRUE(second.Push(&c));

  EXPECT_FALSE(first.Push(&a));   // already here
  EXPECT_FALSE(second.Push(&a));  // already in the other queue
  EXPECT_FALSE(first.Push(nullptr));
  EXPECT_FALSE(first.Update(&c));  // heap index belongs to the other queue
  Node loose(0);
  EXPECT_FALSE(first.Update(&loose));
  EXPECT_EQ(first.GetParent(&c), nullptr);
  EXPECT_NE(log.lines.find("CPriorityQueue: "), std::string::npos);

  EXPECT_EQ(first.GetSize(), 2u);
  EXPECT_EQ(second.GetSize(), 1u);
  EXPECT_TRUE(first.IsValid());
  EXPECT_TRUE(second.IsValid());
  EXPECT_EQ(first.Pop(), &a);
  EXPECT_EQ(first.Pop(), &b);
  EXPECT_EQ(second.Pop(), &c);
}

TEST(PriorityQueue, CopiesDoNotInheritHeapSlots) {
  Node a(1), assigned(7);
  CPriorityQueue queue;
  queue.Push(&a);
  Node copy(a);
  EXPECT_EQ(copy.GetHeapIndex(), -1);
  EXPECT_TRUE(queue.Push(&copy));
  queue.Push(&assigned);
  int index = assigned.GetHeapIndex();
  assigned = a;
  EXPECT_EQ(assigned.GetHeapIndex(), index);
  EXPECT_TRUE(queue.IsValid());
  queue.Clear();
}

// Random pushes, pops and re-keys on two queues at once, each compared after
// every step with a brute-force model: the set of queued nodes, whose least
// cost must be the cost of what Pop returns.
TEST(PriorityQueue, RandomRunsMatchSortedReference) {
  LogCapture quiet;  // double pushes are refused with a log line each
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> costDist(0, 200);  // few values: many ties
  const int kNodes = 600;
  std::vector<std::unique_ptr<Node>> nodes;
  for (int i = 0; i < kNodes; ++i) nodes.push_back(std::make_unique<Node>(0.0f, i));

  CPriorityQueue queues[2];
  std::vector<Node*> model[2];
  auto minCost = [](const std::vector<Node*>& m) {
    float best = m[0]->cost;
    for (const Node* n : m) best = std::min(best, n->cost);
    return best;
  };

  for (int step = 0; step < 60000; ++step) {
    int q = static_cast<int>(rng() % 2);
    int op = static_cast<int>(rng() % 10);
    Node* n = nodes[rng() % kNodes].get();
    if (op < 4) {  // push
      bool queued = n->IsQueued();
      if (!queued) n->cost = static_cast<float>(costDist(rng));
      EXPECT_EQ(queues[q].Push(n), !queued);
      if (!queued) model[q].push_back(n);
    } else if (op < 7) {  // pop
      CQueueableObject* top = queues[q].Pop();
      if (model[q].empty()) {
        ASSERT_EQ(top, nullptr);
        continue;
      }
      ASSERT_NE(top, nullptr);
      Node* got = static_cast<Node*>(top);
      ASSERT_EQ(got->cost, minCost(model[q]));
      auto it = std::find(model[q].begin(), model[q].end(), got);
      ASSERT_NE(it, model[q].end());
      model[q].erase(it);
      EXPECT_EQ(got->GetHeapIndex(), -1);
    } else if (op < 9) {  // re-key a node of this queue, up or down
      if (model[q].empty()) continue;
      Node* m = model[q][rng() % model[q].size()];
      m->cost = static_cast<float>(costDist(rng));
      ASSERT_TRUE(queues[q].Update(m));
    } else if (rng() % 50 == 0) {
      for (Node* m : model[q]) m->cost = 0.0f;
      queues[q].Clear();
      for (Node* m : model[q]) ASSERT_EQ(m->GetHeapIndex(), -1);
      model[q].clear();
    }
    ASSERT_EQ(queues[q].GetSize(), model[q].size());
    if (step % 97 == 0) {
      ASSERT_TRUE(queues[0].IsValid());
      ASSERT_TRUE(queues[1].IsValid());
    }
  }
  // Drain: the remaining costs come out sorted.
  for (int q = 0; q < 2; ++q) {
    std::vector<float> expected;
    for (const Node* m : model[q]) expected.push_back(m->cost);
    std::sort(expected.begin(), expected.end());
    std::vector<float> popped;
    while (CQueueableObject* e = queues[q].Pop()) popped.push_back(static_cast<Node*>(e)->cost);
    EXPECT_EQ(popped, expected);
  }
}

// A large heap sorts like std::sort: heap order holds at every depth.
TEST(PriorityQueue, HeapSortOfManyKeys) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> dist(-1000.0f, 1000.0f);
  std::vector<Node> nodes(20000);
  std::vector<float> keys;
  CPriorityQueue queue;
  for (Node& n : nodes) {
    n.cost = dist(rng);
    keys.push_back(n.cost);
    queue.Push(&n);
  }
  ASSERT_TRUE(queue.IsValid());
  std::sort(keys.begin(), keys.end());
  for (float key : keys) {
    CQueueableObject* e = queue.Pop();
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(static_cast<Node*>(e)->cost, key);
  }
  EXPECT_EQ(queue.Pop(), nullptr);
}

}  // namespace
