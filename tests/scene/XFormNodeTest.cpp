// Tests of the scene-graph node: cached world matrices against directly computed products
// over random trees and edits, flag and scale bookkeeping, and the sequence player.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cstring>
#include <memory>
#include <vector>

#include "core/math/Quaternion.h"
#include "platform/Platform.h"
#include "scene/AnimationRecord.h"
#include "scene/KeyframeController.h"
#include "scene/XFormNode.h"

namespace {

float Uniform(float lo, float hi) { return lo + (hi - lo) * plat::rand() / static_cast<float>(plat::kRandMax); }

Eigen::Matrix4d ToEigen(const COrientation& o) {
  Eigen::Matrix4d m = Eigen::Matrix4d::Zero();
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) m(r, c) = o.axes[r][c];
    m(3, r) = o.position[r];
  }
  m(3, 3) = 1.0;
  return m;
}

// Identity, pure turn, uniform scale, non-uniform scale or mirror, each with an offset.
COrientation RandomTransform() {
  COrientation o;
  const int kind = plat::rand() % 5;
  if (kind == 0) return o;
  Quaternion q;
  q.Random();
  q.ToMatrix(o.axes);
  o.position = Vector3(Uniform(-3, 3), Uniform(-3, 3), Uniform(-3, 3));
  if (kind == 2) {
    for (int r = 0; r < 3; ++r) o.axes[r] *= 1.7f;
  } else if (kind == 3) {
    o.axes[0] *= 0.5f;
    o.axes[2] *= 2.0f;
  } else if (kind == 4) {
    o.axes[1] = -o.axes[1];
  }
  return o;
}

Eigen::Matrix4d ReferenceWorld(const CXFormNode* n) {
  const Eigen::Matrix4d own = ToEigen(n->GetLocalTransform()) * ToEigen(n->GetPivotTransform());
  return n->GetParent() ? Eigen::Matrix4d(own * ReferenceWorld(n->GetParent())) : own;
}

uint16_t ReferenceFlags(const CXFormNode* n) {
  uint16_t flags = 0;
  for (; n; n = n->GetParent()) flags |= n->GetOwnFlags();
  return flags;
}

bool IsAncestor(const CXFormNode* a, const CXFormNode* n) {
  for (; n; n = n->GetParent()) {
    if (n == a) return true;
  }
  return false;
}

void ExpectDirtyBelowDirty(const std::vector<std::unique_ptr<CXFormNode>>& nodes) {
  for (const auto& n : nodes) {
    if (n->IsClean()) continue;
    for (const auto& m : nodes) {
      if (IsAncestor(n.get(), m.get())) {
        ASSERT_FALSE(m->IsClean()) << "a descendant of a dirty node is clean";
      }
    }
  }
}

// Record table helper: a header with the given subsequences following it.
std::vector<AnimationRecord> Records(std::initializer_list<AnimationRecord> list) { return std::vector<AnimationRecord>(list); }

AnimationRecord Record(uint32_t type, int32_t start, uint32_t frames, float rate, uint32_t extra = 0,
                       uint32_t playback = 0) {
  AnimationRecord r;
  std::memset(&r, 0, sizeof(r));
  r.dataType = type;
  r.startFrame = start;
  r.frameCount = frames;
  r.frameRate = rate;
  r.length = rate > 0 ? frames / rate : 0.0f;
  r.inverseLength = r.length > 0 ? 1.0f / r.length : 0.0f;
  r.countOrTrigger = extra;
  r.playback = playback;
  return r;
}

}  // namespace

TEST(XFormNodeTree, WorldMatricesFollowRandomEdits) {
  plat::srand(17);
  for (int round = 0; round < 6; ++round) {
    std::vector<std::unique_ptr<CXFormNode>> nodes;
    for (int i = 0; i < 30; ++i) nodes.emplace_back(new CXFormNode());
    for (int i = 1; i < 30; ++i) {
      if (plat::rand() % 5 == 0) continue;  // some extra roots
      const COrientation pivot = RandomTransform();
      ASSERT_TRUE(nodes[plat::rand() % i]->AddChild(nodes[i].get(), &pivot));
    }
    for (int step = 0; step < 1500; ++step) {
      CXFormNode* n = nodes[plat::rand() % nodes.size()].get();
      const COrientation t = RandomTransform();
      switch (plat::rand() % 6) {
        case 0:
          n->SetTransform(&t, plat::rand() % 2);
          break;
        case 1:
          n->SetPivotTransform(&t, plat::rand() % 2);
          break;
        case 2:
          if (n->GetParent()) {
            ASSERT_TRUE(n->GetParent()->RemoveChild(n));
          }
          break;
        case 3: {
          CXFormNode* parent = nodes[plat::rand() % nodes.size()].get();
          EXPECT_EQ(parent->AddChild(n, &t), !IsAncestor(n, parent));
          break;
        }
        default: {
          const COrientation& world = n->GetWorldMatrix();
          const Eigen::Matrix4d expected = ReferenceWorld(n);
          ASSERT_TRUE(ToEigen(world).isApprox(expected, 1e-4) || (ToEigen(world) - expected).norm() < 1e-4)
              << "step " << step;
          ASSERT_EQ(n->GetEffectiveFlags(), ReferenceFlags(n)) << "step " << step;
          float scale = 1.0f;
          if (ReferenceFlags(n) & CXFormNode::kScaled) {
            scale = std::max(world.axes[0].ApproxLength(), std::max(world.axes[1].ApproxLength(), world.axes[2].ApproxLength()));
          }
          ASSERT_EQ(n->GetWorldScale(), scale);
          for (const CXFormNode* a = n; a; a = a->GetParent()) ASSERT_TRUE(a->IsClean());
        }
      }
      ExpectDirtyBelowDirty(nodes);
    }
    // Children are unlinked cleanly whatever order the nodes are destroyed in.
    while (!nodes.empty()) nodes.erase(nodes.begin() + plat::rand() % nodes.size());
  }
}

TEST(XFormNodeTree, LazyUpdateAndPreviousMatrix) {
  CXFormNode node;
  EXPECT_TRUE(node.IsClean());
  EXPECT_TRUE(node.IsIdentity());
  COrientation a;
  a.position = Vector3(1, 2, 3);
  node.SetTransform(&a, true);
  EXPECT_TRUE(node.IsClean());
  COrientation b;
  b.position = Vector3(5, 0, 0);
  node.SetTransform(&b, false);
  EXPECT_FALSE(node.IsClean());
  EXPECT_EQ(node.GetWorldMatrix().position, Vector3(5, 0, 0));
  EXPECT_EQ(node.GetPrevWorldMatrix().position, Vector3(1, 2, 3));
  // The local transform never enters the flags: the node still reports identity and unit scale.
  COrientation scaled;
  for (int r = 0; r < 3; ++r) scaled.axes[r] *= 3.0f;
  node.SetTransform(&scaled, true);
  EXPECT_TRUE(node.IsIdentity());
  EXPECT_EQ(node.GetWorldScale(), 1.0f);
  EXPECT_EQ(node.GetLocalFlags(), CXFormNode::kClean | CXFormNode::kNotIdentity | CXFormNode::kScaled);
}

TEST(XFormNodeTree, ClassificationOfPivots) {
  CXFormNode node;
  COrientation t;
  node.SetPivotTransform(&t, true);
  EXPECT_EQ(node.GetOwnFlags(), 0x01);
  t.position = Vector3(0, 0, 1);
  node.SetPivotTransform(&t, true);
  EXPECT_EQ(node.GetOwnFlags(), 0x03);
  for (int r = 0; r < 3; ++r) t.axes[r] *= 2.0f;
  node.SetPivotTransform(&t, true);
  EXPECT_EQ(node.GetOwnFlags(), 0x07);
  t.axes[0] *= 3.0f;
  node.SetPivotTransform(&t, true);
  EXPECT_EQ(node.GetOwnFlags(), 0x0F);
  t.axes[0] = -t.axes[0];
  node.SetPivotTransform(&t, true);
  EXPECT_EQ(node.GetOwnFlags(), 0x1F);
  // Without the update the earlier classification stays (only bit 0 is added).
  COrientation plain;
  node.SetPivotTransform(&plain, false);
  EXPECT_EQ(node.GetOwnFlags(), 0x1F);
}

TEST(XFormNodeTree, ChildSeesItsAncestorsLatestFlags) {
  // The grandparent's scale is set while parent and child are dirty; the child must take
  // the parent's flags after the parent has caught up, or its world scale would read 1.
  CXFormNode grand, parent, child;
  const COrientation identity;
  grand.AddChild(&parent, &identity);
  parent.AddChild(&child, &identity);
  COrientation big;
  for (int r = 0; r < 3; ++r) big.axes[r] *= 4.0f;
  grand.SetPivotTransform(&big, true);
  EXPECT_FALSE(child.IsClean());
  EXPECT_FALSE(parent.IsClean());
  EXPECT_FLOAT_EQ(child.GetWorldScale(), 4.0f);
  EXPECT_TRUE(parent.IsClean());
  EXPECT_EQ(child.GetEffectiveFlags() & CXFormNode::kScaled, CXFormNode::kScaled);
}

TEST(XFormNodeTree, AttachmentRules) {
  CXFormNode a, b, c;
  const COrientation identity;
  EXPECT_TRUE(a.AddChild(&b, &identity));
  EXPECT_TRUE(b.AddChild(&c, &identity));
  EXPECT_FALSE(c.AddChild(&a, &identity));  // would close a loop
  EXPECT_FALSE(b.AddChild(&b, &identity));
  EXPECT_FALSE(a.AddChild(nullptr, &identity));
  // Re-parenting takes the node out of its old parent's list.
  EXPECT_TRUE(a.AddChild(&c, &identity));
  EXPECT_EQ(b.GetChildCount(), 0u);
  EXPECT_EQ(a.GetChildCount(), 2u);
  EXPECT_EQ(a.GetChild(1), &c);
  EXPECT_FALSE(b.RemoveChild(&c));
  {
    CXFormNode temporary;
    temporary.AddChild(&b, &identity);
    a.RemoveChild(&b);
    EXPECT_EQ(b.GetParent(), &temporary);
  }
  // The destroyed parent let go of its child.
  EXPECT_EQ(b.GetParent(), nullptr);
  EXPECT_FALSE(b.IsClean());
  EXPECT_TRUE(b.GetWorldMatrix().IsIdentity());
}

TEST(SequencePlayerTest, CutsCrossFadesAndFinishing) {
  const AnimationRecord seq = Record(AnimationRecord::kXForm, 0, 10, 10.0f);
  const AnimationRecord other = Record(AnimationRecord::kXForm, 0, 20, 10.0f);
  SequencePlayer p;
  p.Start(&seq, 0.25f, 0.0f);
  EXPECT_EQ(p.sequence, &seq);
  EXPECT_EQ(p.previousSequence, nullptr);
  p.Start(&other, 0.0f, 0.5f);
  EXPECT_EQ(p.previousSequence, &seq);
  EXPECT_FLOAT_EQ(p.previousTime, 0.25f);
  EXPECT_FLOAT_EQ(p.crossFadeRate, 2.0f);
  p.Advance(0.25f);
  p.Advance(0.25f);
  EXPECT_EQ(p.previousSequence, &seq);  // clock x rate is exactly 1: not past it yet
  p.Advance(0.01f);
  EXPECT_EQ(p.previousSequence, nullptr);
  EXPECT_EQ(p.crossFadeRate, 0.0f);
  p.Start(&seq, 0.0f, -1.0f);
  EXPECT_EQ(p.previousSequence, nullptr);
  p.time = 0.999f;
  EXPECT_FALSE(p.IsFinished());
  p.time = 1.0f;
  EXPECT_TRUE(p.IsFinished());
  SequencePlayer idle;
  EXPECT_TRUE(idle.IsFinished());
  EXPECT_EQ(idle.GetLength(), 0.0f);
}

TEST(SequencePlayerTest, TriggerWindows) {
  // Header, its animation and a trigger for frames 12..14 of it (start frame 10, 10 fps).
  std::vector<AnimationRecord> table = Records({Record(AnimationRecord::kHeader, 0, 0, 0, 2),
                                               Record(AnimationRecord::kXForm, 10, 10, 10.0f),
                                               Record(AnimationRecord::kTrigger, 12, 3, 0, 7)});
  SequencePlayer p;
  p.Start(&table[0], 0.0f, 0.0f);
  EXPECT_EQ(p.IsTriggerActive(7), 0.0f);  // frame 10
  p.time = 0.25f;                         // frame 12
  EXPECT_EQ(p.IsTriggerActive(7), 1.0f);
  p.time = 0.45f;  // frame 14
  EXPECT_EQ(p.IsTriggerActive(7), 1.0f);
  p.time = 0.55f;  // frame 15
  EXPECT_EQ(p.IsTriggerActive(7), 0.0f);
  EXPECT_EQ(p.IsTriggerActive(8), 0.0f);
  // A trigger playing on its own has no owner inside the sequence; the walk must not run
  // before it (here, before the start of the table).
  p.Start(&table[2], 0.0f, 0.0f);
  EXPECT_EQ(p.IsTriggerActive(7), 0.0f);
  std::vector<AnimationRecord> lone = Records({Record(AnimationRecord::kTrigger, 0, 5, 0, 3)});
  p.Start(&lone[0], 0.0f, 0.0f);
  EXPECT_EQ(p.IsTriggerActive(3), 0.0f);
}

TEST(SequencePlayerTest, SubRecordsAndPlaybackModes) {
  std::vector<AnimationRecord> table = Records({Record(AnimationRecord::kHeader, 0, 0, 0, 3),
                                               Record(AnimationRecord::kVertex, 0, 1, 1), Record(AnimationRecord::kXForm, 0, 1, 1),
                                               Record(AnimationRecord::kXForm, 0, 1, 1)});
  EXPECT_EQ(table[0].FindSubRecord(AnimationRecord::kXForm, 0), &table[2]);
  EXPECT_EQ(table[0].FindSubRecord(AnimationRecord::kXForm, 1), &table[3]);
  EXPECT_EQ(table[0].FindSubRecord(AnimationRecord::kXForm, 2), nullptr);
  EXPECT_EQ(table[2].FindSubRecord(AnimationRecord::kXForm, 0), &table[2]);
  EXPECT_EQ(table[2].FindSubRecord(AnimationRecord::kVertex, 0), nullptr);

  const AnimationRecord mirror = Record(AnimationRecord::kXForm, 0, 20, 10.0f, 0, 2);  // L = 2
  EXPECT_NEAR(mirror.SampleTime(3.0f), 1.0f, 1e-6);
  EXPECT_NEAR(mirror.SampleTime(4.5f), 0.5f, 1e-6);
  const AnimationRecord once = Record(AnimationRecord::kXForm, 0, 10, 10.0f, 0, 0);
  EXPECT_NEAR(once.SampleTime(5.0f), 0.9f, 1e-6);
  EXPECT_EQ(once.SampleTime(-1.0f), 0.0f);
  const AnimationRecord back = Record(AnimationRecord::kXForm, 0, 10, 10.0f, 0, 4);
  for (float t = 0; t < 3; t += 0.05f) EXPECT_GE(back.SampleTime(t), 0.1f - 1e-6f);
  const AnimationRecord loop = Record(AnimationRecord::kXForm, 0, 10, 10.0f, 0, 1);
  EXPECT_NEAR(loop.SampleTime(2.25f), 0.25f, 1e-5);
  EXPECT_NEAR(Record(AnimationRecord::kXForm, 0, 10, 10.0f, 0, 3).SampleTime(0.25f), 0.75f, 1e-6);
  // A record without length stays at its start instead of dividing by zero.
  EXPECT_EQ(Record(AnimationRecord::kXForm, 0, 0, 0.0f, 0, 1).SampleTime(2.0f), 0.0f);
}

TEST(SequencePlayerTest, NodesSampleTheirControllerAndRecurse) {
  CKeyframeController controller;
  controller.SetFrameTime(0.5f);
  const PositionKey keys[] = {{0.0f, 0.0f, Vector3(0, 0, 0)}, {10.0f, 0.0f, Vector3(10, 0, 0)}};
  ASSERT_TRUE(controller.SetPositionKeys(keys, 2));
  const AnimationRecord seq = Record(AnimationRecord::kXForm, 2, 20, 4.0f, 0, 0);

  CXFormNode root, child, grandchild, excluded, belowExcluded;
  const COrientation identity;
  root.AddChild(&child, &identity);
  child.AddChild(&grandchild, &identity);
  root.AddChild(&excluded, &identity);
  excluded.AddChild(&belowExcluded, &identity);
  root.GetSequencePlayer().controller = &controller;
  grandchild.GetSequencePlayer().controller = &controller;
  EXPECT_TRUE(child.HasControllerInTree());
  EXPECT_FALSE(belowExcluded.HasControllerInTree());

  root.PlayAnimation(&seq, 1.0f, 0.0f, true, &excluded);
  EXPECT_EQ(grandchild.GetSequencePlayer().sequence, &seq);
  EXPECT_EQ(excluded.GetSequencePlayer().sequence, nullptr);
  EXPECT_EQ(belowExcluded.GetSequencePlayer().sequence, nullptr);

  // controller time = 0.5 * (2 + 1.0 * 4) = 3 -> x = 3.
  root.UpdateAnimation();
  EXPECT_NEAR(root.GetLocalTransform().position.x, 3.0f, 1e-5);
  EXPECT_NEAR(grandchild.GetLocalTransform().position.x, 3.0f, 1e-5);
  EXPECT_FALSE(root.IsClean());  // written with update clear
  EXPECT_NEAR(grandchild.GetWorldMatrix().position.x, 6.0f, 1e-5);

  // Advancing reaches this node only; syncing copies the clocks down the tree.
  root.AdvanceTime(0.5f);
  EXPECT_FLOAT_EQ(root.GetSequencePlayer().time, 1.5f);
  EXPECT_FLOAT_EQ(grandchild.GetSequencePlayer().time, 1.0f);
  child.SyncAnimation(&root);
  EXPECT_FLOAT_EQ(grandchild.GetSequencePlayer().time, 1.5f);
  EXPECT_EQ(grandchild.GetSequencePlayer().sequence, &seq);

  // Cross-fade halfway between time 1.5 (x = 4) of the old and time 0 (x = 1) of the new.
  root.PlayAnimation(&seq, 0.0f, 1.0f, false, nullptr);
  root.AdvanceTime(0.5f);  // new at 0.5 (x = 2), old at 2.0 (x = 5), weight 0.5
  root.UpdateAnimation();
  EXPECT_NEAR(root.GetLocalTransform().position.x, 3.5f, 1e-5);
}
