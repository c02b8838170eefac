// Sphere trees: leaves and children inside their spheres, copies against an Eigen transform,
// bounds against a leaf scan, and the flat image (round trip, every truncated prefix, corruption).
#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "physics/collision/SphereTree.h"
#include "tests/physics/PhysicsTestUtil.h"
#include "tests/support/InputCost.h"

using physics_test::DebugCapture;
using physics_test::RandomPoint;
using physics_test::Uniform;
using testing_support::CostsNearLinear;

namespace {

using Visit = std::function<void(const SphereTreeNode&, int)>;
void ForEachNode(const SphereTreeNode& n, const Visit& visit, int depth = 0) {
  visit(n, depth);
  for (uint32_t i = 0; i < n.childCount; ++i) ForEachNode(n.children[i], visit, depth + 1);
}

void ExpectChildrenInsideParents(const SphereTreeNode& root) {
  ForEachNode(root, [](const SphereTreeNode& n, int) {
    for (uint32_t i = 0; i < n.childCount; ++i)
      EXPECT_LE((n.children[i].centre - n.centre).Length() + n.children[i].radius, n.radius * 1.00001f + 1e-6f);
  });
}

void RandomTree(SphereTreeNode& n, int depth) {
  n.centre = RandomPoint(50.0f);
  n.radius = Uniform(0.1f, 5.0f);
  n.stamp = uint32_t(plat::rand());
  if (depth > 0) n.AllocateChildren(plat::rand() % 4);
  for (uint32_t i = 0; i < n.childCount; ++i) RandomTree(n.children[i], depth - 1);
}

void ExpectSameTree(const SphereTreeNode& a, const SphereTreeNode& b) {
  ASSERT_EQ(a.childCount, b.childCount);
  EXPECT_TRUE(a.centre == b.centre && a.radius == b.radius);
  for (uint32_t i = 0; i < a.childCount; ++i) ExpectSameTree(a.children[i], b.children[i]);
}

std::vector<uint8_t> Image(const SphereTreeNode& n) {
  std::vector<uint8_t> bytes(SphereTree::ImageSize(n));
  EXPECT_EQ(SphereTree::WriteImage(n, bytes.data(), bytes.size()), bytes.size());
  return bytes;
}

TEST(SphereTree, CubeLeavesHoldTheirCubesAndFittedParentsTheirChildren) {
  for (int depth = 0; depth <= 3; ++depth) {
    const std::unique_ptr<SphereTreeNode> root = SphereTree::BuildCube(8.0f, depth, 1.0f, -2.0f, 3.0f);
    EXPECT_EQ(SphereTree::CountNodes(*root), size_t(((1 << (3 * (depth + 1))) - 1) / 7));
    double leafVolume = 0.0;
    ForEachNode(*root, [&](const SphereTreeNode& n, int level) {
      const float half = 4.0f / float(1 << level);
      const Box cube(n.centre - Vector3(half, half, half), n.centre + Vector3(half, half, half));
      for (int c = 0; c < 8; ++c) EXPECT_LE((cube.GetCorner(c) - n.centre).Length(), n.radius * 1.00001f);
      if (n.childCount == 0) leafVolume += cube.Volume();
    });
    EXPECT_DOUBLE_EQ(leafVolume, 512.0);  // the leaf cubes tile the root cube
    ExpectChildrenInsideParents(*root);
  }
  plat::srand(5);
  std::function<void(SphereTreeNode&)> fit = [&](SphereTreeNode& n) {
    for (uint32_t i = 0; i < n.childCount; ++i) fit(n.children[i]);
    n.FitToChildren();
  };
  for (int round = 0; round < 40; ++round) {
    SphereTreeNode root;
    RandomTree(root, 4);
    fit(root);
    ExpectChildrenInsideParents(root);
  }
  SphereTreeNode one;
  one.FitToChildren();  // no children: nothing to fit around, left as it is
  EXPECT_TRUE(one.radius == 0.0f && one.centre == Vector3());
}

TEST(SphereTree, CopiesFollowTheFrameAndBoundsUniteTheLeaves) {
  plat::srand(7);
  for (int round = 0; round < 20; ++round) {
    SphereTreeNode model;
    RandomTree(model, 3);
    const Eigen::Matrix3f r =
        Eigen::AngleAxisf(Uniform(-3.0f, 3.0f), Eigen::Vector3f(Uniform(-1, 1), 0.3f, 1.0f).normalized()).matrix();
    COrientation frame;
    for (int i = 0; i < 3; ++i) frame.SetRow(i, Vector3(r(0, i), r(1, i), r(2, i)));  // rows are the axes
    frame.SetPosition(RandomPoint(20.0f));
    const std::unique_ptr<SphereTreeNode> copy = SphereTree::Build(&model, &frame);
    ASSERT_NE(copy, nullptr);
    std::vector<const SphereTreeNode*> a, b;
    ForEachNode(model, [&](const SphereTreeNode& n, int) { a.push_back(&n); });
    ForEachNode(*copy, [&](const SphereTreeNode& n, int) { b.push_back(&n); });
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
      const Eigen::Vector3f want = r * Eigen::Vector3f(a[i]->centre.x, a[i]->centre.y, a[i]->centre.z) +
                                   Eigen::Vector3f(frame.position.x, frame.position.y, frame.position.z);
      EXPECT_LT((Eigen::Vector3f(b[i]->centre.x, b[i]->centre.y, b[i]->centre.z) - want).norm(), 1e-3f);
      EXPECT_TRUE(b[i]->radius == a[i]->radius && b[i]->childCount == a[i]->childCount && b[i]->stamp == 0);
    }
    copy->stamp = 99;  // into an existing node: the stamp stays, old children go (leak checker watches)
    ASSERT_TRUE(SphereTree::Build(&model, nullptr, *copy));
    EXPECT_EQ(copy->stamp, 99u);
    ExpectSameTree(*copy, model);
    if (copy->childCount > 0) {  // a source inside the destination's own tree
      SphereTreeNode inner;
      ASSERT_TRUE(SphereTree::Build(&copy->children[0], nullptr, inner));
      ASSERT_TRUE(SphereTree::Build(&copy->children[0], nullptr, *copy));
      ExpectSameTree(*copy, inner);
    }

    Box leaves(Vector3(1e9f, 1e9f, 1e9f), Vector3(-1e9f, -1e9f, -1e9f));
    ForEachNode(model, [&](const SphereTreeNode& n, int) {
      if (n.childCount == 0) leaves.ExtendByBox(Box(n.centre - Vector3(n.radius, n.radius, n.radius),
                                                    n.centre + Vector3(n.radius, n.radius, n.radius)));
    });
    const Box bounds = SphereTree::ComputeBounds(model);
    EXPECT_TRUE(bounds.min == leaves.min && bounds.max == leaves.max);
  }  // Without a source nothing is made and a destination is left as it was.
  DebugCapture log;
  SphereTreeNode kept;
  SphereTree::BuildCube(2.0f, 1, 0.0f, 0.0f, 0.0f, kept);
  kept.stamp = 5;
  EXPECT_EQ(SphereTree::Build(nullptr, nullptr), nullptr);
  EXPECT_FALSE(SphereTree::Build(nullptr, nullptr, kept));
  EXPECT_EQ(SphereTree::CountNodes(kept), 9u);
  EXPECT_EQ(kept.stamp, 5u);
  kept.Clear();  // a bare leaf again, with no subtree left under it
  EXPECT_TRUE(kept.childCount == 0 && !kept.children && kept.stamp == 0 && kept.radius == 0 &&
              kept.centre == Vector3());
}

TEST(SphereTree, ImageRoundTripsAndRejectsTruncatedOrCorruptData) {
  SphereTreeNode leaf;
  leaf.centre = Vector3(1.0f, 2.0f, 3.0f);
  leaf.radius = 4.0f;
  leaf.stamp = 7;
  const std::vector<uint8_t> single = Image(leaf);
  ASSERT_EQ(single.size(), 28u);
  EXPECT_TRUE(single[3] == 0x3f && single[2] == 0x80 && single[24] == 7);  // little-endian 1.0f, stamp
  plat::srand(8);
  DebugCapture log;
  for (int round = 0; round < 30; ++round) {
    SphereTreeNode tree, read, before;
    RandomTree(tree, 4);
    std::vector<uint8_t> image = Image(tree);
    ASSERT_TRUE(SphereTree::ReadImage(read, image.data(), image.size()));
    std::vector<uint8_t> unstamped = image;  // the tree read back writes the same image, stamps 0
    for (size_t at = 24; at < unstamped.size(); at += 28) std::fill_n(unstamped.begin() + at, 4, 0);
    EXPECT_EQ(Image(read), unstamped);
    SphereTree::Build(&read, nullptr, before);
    for (size_t size = 0; size < image.size(); ++size) {
      // An exact-size copy, so the sanitizer sees any read past the end.
      const std::vector<uint8_t> prefix(image.begin(), image.begin() + size);
      bool accepted = true;
      EXPECT_TRUE(CostsNearLinear(size, [&] { accepted = SphereTree::ReadImage(read, prefix.data(), prefix.size()); }));
      EXPECT_FALSE(accepted) << size;
      ExpectSameTree(read, before);
    }
    image.push_back(0);
    EXPECT_FALSE(SphereTree::ReadImage(read, image.data(), image.size()));
    image.pop_back();
    // A corrupted count or radius either fails or yields a tree the image describes exactly.
    uint8_t* field = image.data() + 28 * (plat::rand() % (image.size() / 28)) + (round % 2 ? 15 : 16);
    *field = uint8_t(plat::rand() | 0x80);
    SphereTreeNode other;
    bool accepted = false;
    EXPECT_TRUE(CostsNearLinear(image.size(), [&] { accepted = SphereTree::ReadImage(other, image.data(), image.size()); }));
    if (accepted) {
      EXPECT_EQ(SphereTree::ImageSize(other), image.size());
    }
  }
  EXPECT_EQ(log.Text().rfind("SphereTree: image rejected: ", 0), 0u);
  uint8_t small[27];
  EXPECT_EQ(SphereTree::WriteImage(leaf, small, sizeof small), 0u);
  EXPECT_FALSE(SphereTree::ReadImage(leaf, nullptr, 28));
  // A chain of one-child nodes: accepted up to 64 levels under the root, refused one level deeper.
  for (uint32_t levels : {65u, 66u}) {
    std::vector<uint8_t> chain(28 * levels, 0);
    for (uint32_t i = 0; i + 1 < levels; ++i) chain[28 * i + 16] = 1;
    EXPECT_EQ(SphereTree::ReadImage(leaf, chain.data(), chain.size()), levels == 65u);
  }
}

// A megabyte of records, each claiming every record after it as its children: only the first
// claim fits what the image can still hold, so the read stops at the second level without
// allocating a level per claim. The same records with leaves below a full root are read whole.
TEST(SphereTree, ChildCountsAreBoundedByTheRecordsLeft) {
  DebugCapture log;
  const uint32_t records = (1u << 20) / 28;
  std::vector<uint8_t> image(28 * size_t{records}, 0);
  for (uint32_t i = 0; i < records; ++i) {
    const uint32_t claim = records - 1 - i;
    std::memcpy(&image[28 * size_t{i} + 16], &claim, 4);
  }
  SphereTreeNode tree;
  bool accepted = true;
  EXPECT_TRUE(CostsNearLinear(image.size(), [&] { accepted = SphereTree::ReadImage(tree, image.data(), image.size()); }));
  EXPECT_FALSE(accepted);
  EXPECT_NE(log.Text().find("child count too large in the node at byte 28\n"), std::string::npos);

  for (uint32_t i = 1; i < records; ++i) std::fill_n(&image[28 * size_t{i} + 16], 4, 0);
  EXPECT_TRUE(CostsNearLinear(image.size(), [&] { accepted = SphereTree::ReadImage(tree, image.data(), image.size()); }));
  ASSERT_TRUE(accepted);
  EXPECT_EQ(SphereTree::CountNodes(tree), records);
}

TEST(SphereTree, FlatBoxGridStaysInsideTheBoxAndItsSphere) {
  plat::srand(12);
  for (int round = 0; round < 200; ++round) {
    const Vector3 lo = RandomPoint(10.0f);
    const float z = Uniform(0.05f, 2.0f);
    const Box box(lo, lo + Vector3(z * Uniform(1.0f, 12.0f), z * Uniform(1.0f, 12.0f), z));
    SphereTreeNode n;
    SphereTree::BuildFlatBox(n, box);
    const Vector3 e = box.GetSize();
    for (int c = 0; c < 8; ++c) EXPECT_LE((box.GetCorner(c) - n.centre).Length(), n.radius * 1.00001f);
    EXPECT_EQ(n.childCount, uint32_t(std::floor(e.x / e.z)) * uint32_t(std::floor(e.y / e.z)));
    ExpectChildrenInsideParents(n);
    const float tol = 1e-4f * (1.0f + e.x + e.y);
    for (uint32_t i = 0; i < n.childCount; ++i) {
      const SphereTreeNode& c = n.children[i];
      EXPECT_TRUE(c.centre.x - c.radius >= box.min.x - tol && c.centre.x + c.radius <= box.max.x + tol);
      EXPECT_TRUE(c.centre.y - c.radius >= box.min.y - tol && c.centre.y + c.radius <= box.max.y + tol);
      EXPECT_EQ(c.centre.z, n.centre.z);
    }
  }
  SphereTreeNode n;
  SphereTree::BuildFlatBox(n, Box(Vector3(0, 0, 0), Vector3(3, 1.5f, 1)));  // one row: centred across y
  ASSERT_EQ(n.childCount, 3u);
  EXPECT_EQ(n.children[1].centre, Vector3(1.5f, 0.75f, 0.5f));
  SphereTree::BuildFlatBox(n, Box(Vector3(0, 0, 0), Vector3(1, 1, 1)));  // as thick as it is long and wide
  EXPECT_EQ(n.childCount, 1u);
  DebugCapture log;
  for (const Vector3& top : {Vector3(4, 4, 0), Vector3(1, 1, 3), Vector3(1000, 1000, 1e-3f)}) {
    SphereTree::BuildFlatBox(n, Box(Vector3(0, 0, 0), top));  // flat, upright, or 10^12 spheres
    EXPECT_EQ(n.childCount, 0u);
    EXPECT_EQ(n.centre, top * 0.5f);
  }
}

}  // namespace
