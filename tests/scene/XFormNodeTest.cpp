// Scene-graph nodes: cached world matrices against direct products over random edits,
// attachment, and the sequence player's edge cases.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cstring>
#include <memory>
#include <vector>

#include "core/math/Quaternion.h"
#include "platform/system/Platform.h"
#include "scene/animation/AnimationRecord.h"
#include "scene/animation/KeyframeController.h"
#include "scene/mesh/XFormNode.h"

namespace {

Eigen::Matrix4d ToEigen(const COrientation& o) {
  Eigen::Matrix4d m = Eigen::Matrix4d::Identity();
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) m(r, c) = o.axes[r][c];
    m(3, r) = o.position[r];
  }
  return m;
}

// Identity, turn, uniform scale, non-uniform scale or mirror, with an offset.
COrientation RandomTransform() {
  COrientation o;
  const int kind = plat::rand() % 5;
  if (kind == 0) return o;
  Quaternion q;
  q.Random();
  q.ToMatrix(o.axes);
  o.position = Vector3(plat::rand() % 7 - 3.0f, plat::rand() % 7 - 3.0f, plat::rand() % 7 - 3.0f);
  if (kind == 2) o.axes = o.axes * TMatrix().Set(1.7f, 0, 0, 0, 1.7f, 0, 0, 0, 1.7f);
  if (kind == 3) o.axes = o.axes * TMatrix().Set(0.5f, 0, 0, 0, 1, 0, 0, 0, 2);
  if (kind == 4) o.axes[1] = -o.axes[1];
  return o;
}

// Row vectors: a point goes through the local transform, the pivot, then the parent's world.
Eigen::Matrix4d ReferenceWorld(const CXFormNode* n) {
  const Eigen::Matrix4d own = ToEigen(n->GetLocalTransform()) * ToEigen(n->GetPivotTransform());
  return n->GetParent() ? Eigen::Matrix4d(own * ReferenceWorld(n->GetParent())) : own;
}

bool IsAncestor(const CXFormNode* a, const CXFormNode* n) {
  for (; n; n = n->GetParent()) {
    if (n == a) return true;
  }
  return false;
}

AnimationRecord Record(uint32_t type, int32_t start, uint32_t frames, float rate, uint32_t extra = 0, uint32_t mode = 0) {
  AnimationRecord r;
  std::memset(&r, 0, sizeof(r));
  r.dataType = type;
  r.startFrame = start;
  r.frameCount = frames;
  r.frameRate = rate;
  r.length = rate > 0 ? frames / rate : 0.0f;
  r.countOrTrigger = extra;
  r.playback = mode;
  return r;
}

}  // namespace

TEST(XFormNodeTree, WorldMatricesFollowRandomEdits) {
  plat::srand(17);
  for (int round = 0; round < 6; ++round) {
    std::vector<std::unique_ptr<CXFormNode>> nodes;
    for (int i = 0; i < 30; ++i) nodes.emplace_back(new CXFormNode());
    for (int step = 0; step < 1500; ++step) {
      CXFormNode* n = nodes[plat::rand() % nodes.size()].get();
      const COrientation t = RandomTransform();
      const int op = plat::rand() % 6;
      if (op == 0) n->SetTransform(&t, plat::rand() % 2);
      if (op == 1) n->SetPivotTransform(&t, plat::rand() % 2);
      if (op == 2 && n->GetParent()) {
        EXPECT_TRUE(n->GetParent()->RemoveChild(n));
      }
      if (op == 3) {
        CXFormNode* parent = nodes[plat::rand() % nodes.size()].get();
        EXPECT_EQ(parent->AddChild(n, &t), !IsAncestor(n, parent)) << "loops are refused, all else accepted";
      }
      if (op >= 4) {
        const COrientation& world = n->GetWorldMatrix();
        const Eigen::Matrix4d expected = ReferenceWorld(n);
        ASSERT_LT((ToEigen(world) - expected).norm(), 1e-5 * (1.0 + expected.norm())) << "step " << step;
        // Both frames of every node up the chain count, classified afresh here so that a frame
        // stored without update is judged by what it holds now.
        uint16_t flags = 0;
        bool allIdentity = true;
        for (const CXFormNode* a = n; a; a = a->GetParent()) {
          flags |= CXFormNode::Classify(a->GetPivotTransform()) | CXFormNode::Classify(a->GetLocalTransform());
          allIdentity = allIdentity && a->GetPivotTransform().IsIdentity() && a->GetLocalTransform().IsIdentity();
          ASSERT_TRUE(a->IsClean());
        }
        ASSERT_EQ(n->GetEffectiveFlags(), flags) << "step " << step;
        ASSERT_EQ(n->IsIdentity(), allIdentity) << "step " << step;
        if (allIdentity) ASSERT_TRUE(world.IsIdentity());
        const float scale = std::max(world.axes[0].ApproxLength(), std::max(world.axes[1].ApproxLength(), world.axes[2].ApproxLength()));
        ASSERT_EQ(n->GetWorldScale(), (flags & CXFormNode::kScaled) ? scale : 1.0f);
      }
      // A dirty node never has a clean descendant.
      for (const auto& m : nodes) {
        for (const CXFormNode* a = m->GetParent(); a && m->IsClean(); a = a->GetParent()) {
          ASSERT_TRUE(a->IsClean());
        }
      }
    }
    // Children are unlinked cleanly whatever order the nodes are destroyed in.
    while (!nodes.empty()) nodes.erase(nodes.begin() + plat::rand() % nodes.size());
  }
}

TEST(XFormNodeTree, ChildSeesItsAncestorsLatestFlags) {
  // The grandparent is scaled while parent and child are dirty: the child must take the
  // parent's flags after the parent caught up, or its world scale would read 1.
  CXFormNode grand, parent, child;
  grand.AddChild(&parent, nullptr);
  parent.AddChild(&child, nullptr);
  COrientation big;
  big.axes = big.axes * TMatrix().Set(4, 0, 0, 0, 4, 0, 0, 0, 4);
  grand.SetPivotTransform(&big, true);
  EXPECT_FALSE(parent.IsClean());
  EXPECT_FLOAT_EQ(child.GetWorldScale(), 4.0f);
}

TEST(XFormNodeTree, IdentityOnlyWhenEveryFrameUpTheChainIsTheIdentity) {
  CXFormNode root, node;
  root.AddChild(&node, nullptr);
  COrientation moved, identity;
  moved.position = Vector3(0.0f, 0.0f, 1e-3f);
  // Each frame on its own, with and without update: the identity test sees all four.
  for (int which = 0; which < 4; ++which) {
    CXFormNode* target = which < 2 ? &node : &root;
    // Odd frames are the pivots, even ones the local transforms.
    const auto set = which % 2 ? &CXFormNode::SetPivotTransform : &CXFormNode::SetTransform;
    for (bool update : {true, false}) {
      (target->*set)(&moved, update);
      EXPECT_FALSE(node.IsIdentity()) << "frame " << which << " update " << update;
      EXPECT_EQ(node.GetWorldMatrix().position.z, 1e-3f);
      (target->*set)(&identity, update);
      EXPECT_TRUE(node.IsIdentity()) << "back at the identity, frame " << which << " update " << update;
    }
  }
  // A local scale reaches the world scale, and a local mirror the effective word.
  COrientation scaled;
  scaled.axes = scaled.axes * TMatrix().Set(3, 0, 0, 0, 3, 0, 0, 0, 3);
  node.SetTransform(&scaled, false);
  EXPECT_FLOAT_EQ(node.GetWorldScale(), 3.0f);
  COrientation mirror;
  mirror.axes.m[2] = -mirror.axes.m[2];
  node.SetTransform(&mirror, true);
  EXPECT_EQ(node.GetEffectiveFlags(), CXFormNode::kClean | CXFormNode::kClassBits);
  EXPECT_EQ(node.GetWorldScale(), mirror.axes.m[0].ApproxLength());
}

TEST(XFormNodeTree, AttachmentAndDestruction) {
  CXFormNode a, b, c;
  EXPECT_TRUE(a.AddChild(&b, nullptr));
  EXPECT_TRUE(b.AddChild(&c, nullptr));
  EXPECT_FALSE(c.AddChild(&a, nullptr));
  EXPECT_FALSE(b.AddChild(&b, nullptr));
  EXPECT_TRUE(a.AddChild(&c, nullptr));  // re-parenting leaves the old list
  EXPECT_EQ(b.GetChildCount(), 0u);
  {
    CXFormNode temporary;
    temporary.AddChild(&b, nullptr);
  }
  EXPECT_EQ(b.GetParent(), nullptr);  // the destroyed parent let go
  EXPECT_FALSE(b.IsClean());
  EXPECT_TRUE(b.GetWorldMatrix().IsIdentity());
}

// A cross-fade's end, exactly at its length, is checked on blended transforms in AnimationSetTest.
TEST(SequencePlayerTest, MirroredAndEmptyRecordsAndABlendTooShortToFade) {
  const AnimationRecord seq = Record(AnimationRecord::kXForm, 0, 10, 10.0f);
  SequencePlayer p;
  p.Start(&seq, 0.25f, 0.0f);
  EXPECT_NEAR(Record(AnimationRecord::kXForm, 0, 20, 10.0f, 0, 2).SampleTime(3.0f), 1.0f, 1e-6);  // mirror
  EXPECT_EQ(Record(AnimationRecord::kXForm, 0, 0, 0.0f, 0, 1).SampleTime(2.0f), 0.0f);  // no length: no division
  p.Start(&seq, 0.0f, 1e-45f);  // a blend too short for a finite rate is a cut
  EXPECT_EQ(p.previousSequence, nullptr);
  EXPECT_EQ(p.crossFadeRate, 0.0f);
}

TEST(SequencePlayerTest, TriggerWindows) {
  // Header, its animation (start frame 10, 10 fps) and a trigger on frames 12 to 14.
  const AnimationRecord table[] = {Record(AnimationRecord::kHeader, 0, 0, 0, 2), Record(AnimationRecord::kXForm, 10, 10, 10.0f),
                                   Record(AnimationRecord::kTrigger, 12, 3, 0, 7)};
  SequencePlayer p;
  // A trigger played as the sequence has no owner after it; the walk must not run back
  // past it (for the first record of a table, before the table).
  p.Start(&table[2], 0.0f, 0.0f);
  EXPECT_EQ(p.IsTriggerActive(7), 0.0f);
}

TEST(SequencePlayerTest, NodesSampleTheirControllerAndRecurse) {
  CKeyframeController controller;
  controller.SetFrameTime(0.5f);
  const PositionKey keys[] = {{0.0f, 0.0f, Vector3(0, 0, 0)}, {10.0f, 0.0f, Vector3(10, 0, 0)}};
  ASSERT_TRUE(controller.SetPositionKeys(keys, 2));
  const AnimationRecord seq = Record(AnimationRecord::kXForm, 2, 20, 4.0f);
  CXFormNode root, child, grandchild, excluded, belowExcluded;
  root.AddChild(&child, nullptr);
  child.AddChild(&grandchild, nullptr);
  root.AddChild(&excluded, nullptr);
  excluded.AddChild(&belowExcluded, nullptr);
  root.GetSequencePlayer().controller = grandchild.GetSequencePlayer().controller = &controller;
  EXPECT_TRUE(child.HasControllerInTree());
  EXPECT_FALSE(belowExcluded.HasControllerInTree());

  root.PlayAnimation(&seq, 1.0f, 0.0f, true, &excluded);
  EXPECT_EQ(belowExcluded.GetSequencePlayer().sequence, nullptr);
  root.UpdateAnimation();  // controller time 0.5 * (2 + 1.0 * 4) = 3
  EXPECT_NEAR(grandchild.GetLocalTransform().position.x, 3.0f, 1e-5);
  EXPECT_NEAR(grandchild.GetWorldMatrix().position.x, 6.0f, 1e-5);

  root.AdvanceTime(0.5f);  // this node only
  EXPECT_FLOAT_EQ(grandchild.GetSequencePlayer().time, 1.0f);
  child.SyncAnimation(&root);
  EXPECT_FLOAT_EQ(grandchild.GetSequencePlayer().time, 1.5f);
  // Halfway between the old sequence at 2.0 (x = 5) and the new one at 0.5 (x = 2).
  root.PlayAnimation(&seq, 0.0f, 1.0f, false, nullptr);
  root.AdvanceTime(0.5f);
  root.UpdateAnimation();
  EXPECT_NEAR(root.GetLocalTransform().position.x, 3.5f, 1e-5);
}
