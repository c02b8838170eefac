// Skeleton nodes and skinned instances: blends against a direct matrix reference, the bind
// pose, skin-matrix cache invariants, animation through the bones' controllers, and how
// child meshes share or hang on the bones.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "platform/system/Platform.h"
#include "scene/animation/AnimationSet.h"
#include "scene/animation/ControllerSet.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/NormalTable.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/animation/SkeletonNodeInstance.h"
#include "scene/animation/Skin.h"
#include "scene/mesh/VertexFetchInterface.h"
#include "tests/scene/MeshTestSupport.h"
#include "tools/DemoContent.h"

namespace {

using Affine = Eigen::Affine3d;
using mesh_test::E;
using mesh_test::ToEigen;

float Rand(float lo, float hi) { return lo + (hi - lo) * static_cast<float>(plat::rand()) / plat::kRandMax; }

COrientation RandomTransform(float reach) {
  COrientation o;
  o.RotateAboutWorldAxis(Vector3(Rand(-1, 1), Rand(-1, 1), Rand(0.1f, 1)), Rand(-2, 2));
  o.position = Vector3(Rand(-reach, reach), Rand(-reach, reach), Rand(-reach, reach));
  return o;
}

// Bone matrices in the instance's space from the skin's bind transforms and given local
// transforms: M(b) = M(parent) * bind(b) * local(b).
std::vector<Affine> BoneMatrices(const Skin& skin, const std::vector<COrientation>& locals) {
  std::vector<Affine> m(skin.bones.size());
  std::vector<bool> done(skin.bones.size(), false);
  std::function<const Affine&(uint32_t)> get = [&](uint32_t b) -> const Affine& {
    if (!done[b]) {
      const Affine own = ToEigen(skin.bones[b].bind) * ToEigen(locals[b]);
      m[b] = skin.bones[b].parent == Skin::kNoParent ? own : get(skin.bones[b].parent) * own;
      done[b] = true;
    }
    return m[b];
  };
  for (uint32_t b = 0; b < m.size(); ++b) get(b);
  return m;
}

// Where each bind-pose vertex of the mesh should go: the sum of weight x bone matrix x
// inverse bind pose x vertex, over the bones the test itself assigned.
Eigen::Vector3d Reference(const ShadedMesh& mesh, const Skin& skin, const std::vector<Affine>& bones,
                          const std::vector<DemoContent::BoneInfluence>& influences, uint32_t v) {
  const std::vector<Affine> bind = BoneMatrices(skin, std::vector<COrientation>(skin.bones.size()));
  Eigen::Vector3d sum = Eigen::Vector3d::Zero();
  for (const auto& in : influences) sum += in.weight * (bones[in.bone] * (bind[in.bone].inverse() * E(mesh.allPositions[v])));
  return sum;
}

Vector3 Fetch(const CMeshInstance& inst, uint32_t v) {
  float out[3];
  EXPECT_TRUE(inst.GetVertexFetch()->GetPosition(v, out));
  return Vector3(out[0], out[1], out[2]);
}

Vector3 FetchNormal(const CMeshInstance& inst, uint32_t v) {
  float out[3];
  EXPECT_TRUE(inst.GetVertexFetch()->GetVertexNormal(v, out));
  return Vector3(out[0], out[1], out[2]);
}

void SetName(SkinBone& bone, const char* name) {
  std::memset(bone.name, 0, sizeof(bone.name));
  std::strncpy(bone.name, name, sizeof(bone.name) - 1);
}

// The figure's own weight assignment, read back from the built skin.
std::vector<std::vector<DemoContent::BoneInfluence>> InfluencesOf(const Skin& skin) {
  std::vector<std::vector<DemoContent::BoneInfluence>> out(skin.GetVertexCount());
  for (uint32_t v = 0; v < out.size(); ++v) {
    for (uint32_t i = skin.offsets[v]; i < skin.offsets[v + 1]; ++i) out[v].push_back({skin.weights[i].bone, skin.weights[i].weight});
  }
  return out;
}

}  // namespace

TEST(Skeleton, TwoBoneArmBendsAsTheBoneMatricesSay) {
  // An arm along x from -2 to 2: the upper half follows the shoulder, the forearm half is
  // shared by both bones with random weights.
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildBox(2.0f, 0.2f, 0.2f));
  ASSERT_TRUE(mesh);
  auto ownedSkin = std::make_unique<Skin>();
  Skin* skin = ownedSkin.get();
  skin->bones.resize(2);
  SetName(skin->bones[0], "shoulder");
  SetName(skin->bones[1], "elbow");
  skin->bones[0].parent = Skin::kNoParent;
  skin->bones[0].bind.position = Vector3(-2, 0, 0.2f);
  skin->bones[1].parent = 0;
  skin->bones[1].bind.RotateZ(0.2f);
  skin->bones[1].bind.position = Vector3(2, 0, 0);
  plat::srand(11);
  std::vector<std::vector<DemoContent::BoneInfluence>> influences(mesh->vertexCount);
  for (uint32_t v = 0; v < mesh->vertexCount; ++v) {
    const float w = Rand(0, 1);
    influences[v] = mesh->allPositions[v].x < 0 ? std::vector<DemoContent::BoneInfluence>{{0, 1.0f}}
                                                : std::vector<DemoContent::BoneInfluence>{{0, w}, {1, 1.0f - w}};
  }
  ASSERT_TRUE(DemoContent::BindSkinWeights(*skin, *mesh, influences));
  mesh->SetSkin(std::move(ownedSkin));

  CMeshInstance inst;
  Matrix4 placed = RandomTransform(5).ToMatrix4();  // the instance's own placement stays out
  ASSERT_TRUE(inst.SetMesh(mesh.get(), false, false, false, 0, 0, &placed, true, nullptr));
  ASSERT_EQ(inst.GetSkeletonNodeCount(), 2u);
  ASSERT_TRUE(inst.OwnsSkeletonNodes());
  CSkeletonNodeInstance* nodes = inst.GetSkeletonNodes();
  EXPECT_TRUE(nodes[0].IsRoot());
  EXPECT_EQ(nodes[0].GetParent(), &inst);

  std::vector<COrientation> locals(2);
  for (int step = 0; step < 50; ++step) {
    const uint32_t moved = plat::rand() % 2;
    locals[moved] = RandomTransform(1);
    nodes[moved].SetTransform(&locals[moved], plat::rand() % 2 == 0);
    const std::vector<Affine> bones = BoneMatrices(*skin, locals);
    for (uint32_t v = 0; v < mesh->vertexCount; ++v) {
      const Eigen::Vector3d want = Reference(*mesh, *skin, bones, influences[v], v);
      EXPECT_LT((E(Fetch(inst, v)) - want).norm(), 1e-4) << "step " << step << " vertex " << v;
      // A vertex on one bone turns its normal with that bone (up to the table's spacing).
      if (influences[v].size() == 1) {
        const Eigen::Vector3d n = (bones[0].linear() * E(NormalTable::Decode(mesh->allVertexNormals[v]))).normalized();
        EXPECT_GT(E(FetchNormal(inst, v)).normalized().dot(n), std::cos(5.0 * M_PI / 180.0));
      }
    }
  }
}

TEST(Skeleton, SkinMatrixCacheKeepsItsInvariantsOverRandomSteps) {
  // A random bone tree whose parents may come after their children.
  constexpr uint32_t kBones = 12;
  plat::srand(5);
  Skin skin;
  skin.bones.resize(kBones);
  std::vector<uint32_t> order(kBones);
  for (uint32_t i = 0; i < kBones; ++i) order[i] = (i * 7 + 3) % kBones;  // a shuffled hanging order
  for (uint32_t k = 0; k < kBones; ++k) {
    SkinBone& bone = skin.bones[order[k]];
    SetName(bone, "b");
    bone.parent = k == 0 || k == 5 ? Skin::kNoParent : order[plat::rand() % k];
    bone.bind = RandomTransform(1);
  }
  ASSERT_TRUE(skin.BonesValid());
  CXFormNode holder;
  std::vector<CSkeletonNodeInstance> nodes(kBones);
  for (uint32_t b = 0; b < kBones; ++b) {
    if (skin.bones[b].parent == Skin::kNoParent) {
      nodes[b].SetRoot(true);
      holder.AddChild(&nodes[b], &skin.bones[b].bind);
    } else {
      nodes[skin.bones[b].parent].AddChild(&nodes[b], &skin.bones[b].bind);
    }
  }
  auto isAncestor = [&](uint32_t a, uint32_t b) {  // a strictly above b
    for (uint32_t p = skin.bones[b].parent; p != Skin::kNoParent; p = skin.bones[p].parent) {
      if (p == a) return true;
    }
    return false;
  };
  std::vector<COrientation> locals(kBones);
  for (int step = 0; step < 3000; ++step) {
    const uint32_t b = plat::rand() % kBones;
    if (plat::rand() % 3 == 0) {
      std::vector<bool> before(kBones);
      for (uint32_t i = 0; i < kBones; ++i) before[i] = nodes[i].IsComputed();
      locals[b] = RandomTransform(1);
      nodes[b].SetTransform(&locals[b], plat::rand() % 2 == 0);
      for (uint32_t i = 0; i < kBones; ++i) {
        if (i == b || isAncestor(b, i)) {
          EXPECT_FALSE(nodes[i].IsComputed()) << "step " << step;  // the change reaches everything below
        } else {
          EXPECT_EQ(nodes[i].IsComputed(), before[i]) << "step " << step;  // and nothing else
        }
      }
    } else {
      nodes[b].GetSkinMatrix();
      EXPECT_TRUE(nodes[b].IsComputed());
    }
    const std::vector<Affine> want = BoneMatrices(skin, locals);
    for (uint32_t i = 0; i < kBones; ++i) {
      if (!nodes[i].IsComputed()) continue;
      const uint32_t parent = skin.bones[i].parent;
      EXPECT_TRUE(parent == Skin::kNoParent || nodes[parent].IsComputed()) << "step " << step;
      // A computed matrix is never stale: reading it gives the fresh product.
      EXPECT_LT((ToEigen(nodes[i].GetSkinMatrix()).matrix() - want[i].matrix()).norm(), 1e-4) << "step " << step;
    }
  }
  // A new pivot (the bone's bind) counts as a change too.
  for (uint32_t i = 0; i < kBones; ++i) nodes[i].GetSkinMatrix();
  const uint32_t root = order[0];
  nodes[root].SetPivotTransform(&skin.bones[root].bind, false);
  for (uint32_t i = 0; i < kBones; ++i) EXPECT_EQ(nodes[i].IsComputed(), !(i == root || isAncestor(root, i)));
}

TEST(Skeleton, FigureRestsInItsBindPoseAndDeformsAsItsControllersSay) {
  std::unique_ptr<ShadedMesh> figure(DemoContent::BuildSkinnedFigure());
  ASSERT_TRUE(figure && figure->animation);
  const Skin& skin = *figure->skin;
  CMeshInstance inst;
  ASSERT_TRUE(inst.SetMesh(figure.get(), false, false, false, 0, 0, nullptr, true, nullptr));
  CSkeletonNodeInstance* nodes = inst.GetSkeletonNodes();
  std::vector<const CNodeAnimController*> controllers(3);
  for (uint32_t b = 0; b < 3; ++b) {
    controllers[b] = nodes[b].GetSequencePlayer().controller;
    ASSERT_NE(controllers[b], nullptr);
    EXPECT_STREQ(static_cast<const CKeyframeController*>(controllers[b])->GetName(), skin.bones[b].name);
  }
  EXPECT_EQ(inst.GetSequencePlayer().controller, nullptr);  // a skinned instance drives its bones only

  // The mesh's "idle" sequence starts on binding, on the instance and every bone.
  ASSERT_NE(inst.GetAnimationSet(), nullptr);
  const AnimationRecord* idle = inst.GetAnimationSet()->FindSequenceByName("idle");
  ASSERT_NE(idle, nullptr);
  EXPECT_EQ(inst.GetSequencePlayer().sequence, idle);
  // Until the first evaluation every bone stands at its bind pose: the bind mesh comes back.
  for (uint32_t v = 0; v < figure->vertexCount; ++v) {
    EXPECT_LT((Fetch(inst, v) - figure->allPositions[v]).Length(), 1e-5f) << v;
    Vector3 n = FetchNormal(inst, v);
    ASSERT_TRUE(n.Normalize());
    EXPECT_GT(n.Dot(NormalTable::Decode(figure->allVertexNormals[v])), std::cos(5.0f * 3.14159265f / 180.0f)) << v;
  }
  const auto influences = InfluencesOf(skin);
  float moved = 0.0f;
  for (float t : {0.3f, 0.45f, 0.9f}) {
    inst.GetSequencePlayer().time = 0.0f;
    inst.AdvanceTime(t);
    inst.SyncAnimation(&inst);
    inst.UpdateAnimation();
    std::vector<COrientation> locals(3);
    const float controllerTime = controllers[0]->GetFrameTime() * (idle->SampleTime(t) * idle->frameRate);
    for (uint32_t b = 0; b < 3; ++b) controllers[b]->GetTransform(controllerTime, locals[b]);
    const std::vector<Affine> bones = BoneMatrices(skin, locals);
    for (uint32_t v = 0; v < figure->vertexCount; ++v) {
      const Vector3 got = Fetch(inst, v);
      EXPECT_LT((E(got) - Reference(*figure, skin, bones, influences[v], v)).norm(), 1e-4) << t << " " << v;
      moved = std::max(moved, (got - figure->allPositions[v]).Length());
    }
  }
  EXPECT_GT(moved, 0.3f);  // the top of the figure swings well away from its rest place
}

TEST(Skeleton, ChildMeshesShareTheBonesOrHangOnThem) {
  std::unique_ptr<ShadedMesh> figure(DemoContent::BuildSkinnedFigure());
  std::unique_ptr<ShadedMesh> twin = DemoContent::BuildSkinnedFigure();  // same bone count: shares the bones
  std::unique_ptr<ShadedMesh> hat = DemoContent::BuildBox(0.2f, 0.2f, 0.1f);
  std::unique_ptr<ShadedMesh> odd = DemoContent::BuildSkinnedFigure();  // another bone count: no skeleton
  ASSERT_TRUE(figure && twin && hat && odd);
  odd->skin->bones.pop_back();
  for (SkinWeight& w : odd->skin->weights) w.bone = 0;
  COrientation onChest;
  onChest.position = Vector3(0, 0, 0.5f);
  const ShadedMesh* twinMesh = twin.get();
  figure->AddChildMesh(std::move(twin), figure->AddAttachPoint(COrientation(), kAttachNamedPoint, 5, "skin", false));
  figure->AddChildMesh(std::move(hat), figure->AddAttachPoint(onChest, kAttachNamedPoint, 5, "chest", false));
  figure->AddChildMesh(std::move(odd), figure->AddAttachPoint(COrientation(), kAttachNamedPoint, 4, "odd", false));

  CMeshInstance inst;
  ASSERT_TRUE(inst.SetMesh(figure.get(), false, false, false, 0, 0, nullptr, true, nullptr));
  ASSERT_EQ(inst.GetChildren().size(), 3u);
  CMeshInstance* twinInst = inst.GetChildren()[0].instance.get();
  CMeshInstance* hatInst = inst.GetChildren()[1].instance.get();
  CMeshInstance* oddInst = inst.GetChildren()[2].instance.get();
  CSkeletonNodeInstance* nodes = inst.GetSkeletonNodes();
  EXPECT_FALSE(twinInst->OwnsSkeletonNodes());
  EXPECT_EQ(twinInst->GetParent(), &inst);
  EXPECT_EQ(oddInst->GetSkeletonNodes(), nullptr);
  EXPECT_NE(dynamic_cast<CRigidVertexFetchInterface*>(oddInst->GetVertexFetch()), nullptr);

  // Bending the spine moves the shared mesh and the hat with the figure.
  COrientation bend;
  bend.RotateX(0.8f);
  nodes[1].SetTransform(&bend, false);
  for (uint32_t v = 0; v < figure->vertexCount; ++v) {
    EXPECT_LT((Fetch(*twinInst, v) - Fetch(inst, v)).Length(), 1e-6f) << v;
  }
  const Affine hatWorld = ToEigen(nodes[2].GetWorldMatrix()) * ToEigen(onChest);
  EXPECT_LT((ToEigen(hatInst->GetWorldMatrix()).matrix() - hatWorld.matrix()).norm(), 1e-5);
  EXPECT_GT((E(hatInst->GetWorldMatrix().position) - Eigen::Vector3d(0, 0, 2.5)).norm(), 0.3);

  // Taken off, the children leave the bones: the twin shows its bind pose, the hat is loose.
  const std::unique_ptr<CMeshInstance> twinOwned = inst.RemoveChildInstance(twinInst);
  const std::unique_ptr<CMeshInstance> hatOwned = inst.RemoveChildInstance(hatInst);
  ASSERT_EQ(twinOwned.get(), twinInst);
  ASSERT_EQ(hatOwned.get(), hatInst);
  EXPECT_EQ(twinInst->GetSkeletonNodes(), nullptr);
  EXPECT_EQ(hatInst->GetParent(), nullptr);
  EXPECT_EQ(nodes[2].GetChildCount(), 0u);
  for (uint32_t v = 0; v < twinMesh->vertexCount; ++v) {
    EXPECT_LT((Fetch(*twinInst, v) - twinMesh->allPositions[v]).Length(), 1e-5f) << v;
  }
}

TEST(Skeleton, SkinsThatCannotBeBlendedFallBackToRigid) {
  // Skins built in memory skip the reader's checks: a parent loop gets no skeleton.
  std::unique_ptr<ShadedMesh> looped(DemoContent::BuildSkinnedFigure());
  looped->skin->bones[0].parent = 2;
  CMeshInstance a;
  ASSERT_TRUE(a.SetMesh(looped.get(), false, false, false, 0, 0, nullptr, true, nullptr));
  EXPECT_EQ(a.GetSkeletonNodes(), nullptr);
  EXPECT_NE(dynamic_cast<CRigidVertexFetchInterface*>(a.GetVertexFetch()), nullptr);

  // A skin shorter than its mesh leaves the rest rigid; indices past the mesh are refused.
  std::unique_ptr<ShadedMesh> shortSkin(DemoContent::BuildSkinnedFigure());
  Skin& skin = *shortSkin->skin;
  skin.offsets.resize(skin.offsets.size() - 8);
  skin.weights.resize(skin.offsets.back());
  CMeshInstance b;
  ASSERT_TRUE(b.SetMesh(shortSkin.get(), false, false, false, 0, 0, nullptr, true, nullptr));
  COrientation shift;
  shift.position = Vector3(0, 1, 0);
  b.GetSkeletonNodes()[0].SetTransform(&shift, false);
  const uint32_t last = shortSkin->vertexCount - 1;
  EXPECT_EQ(Fetch(b, last), shortSkin->allPositions[last]);
  EXPECT_NE(Fetch(b, 0), shortSkin->allPositions[0]);
  float out[3] = {1, 1, 1};
  EXPECT_FALSE(b.GetVertexFetch()->GetPosition(shortSkin->vertexCount, out));
  EXPECT_FALSE(b.GetVertexFetch()->GetVertexNormal(shortSkin->vertexCount, out));
  EXPECT_EQ(out[0], 0.0f);
}
