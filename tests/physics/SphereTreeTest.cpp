// Sphere trees: containment of leaves and children in their spheres, copies checked against an
// Eigen transform, bounds against a brute-force leaf scan, and the flat image (round trip, every
// truncated prefix, corrupted counts and depths).
#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "physics/SphereTree.h"
#include "tests/physics/PhysicsTestUtil.h"

using physics_test::DebugCapture;
using physics_test::RandomPoint;
using physics_test::Uniform;

namespace {

void ForEachNode(const SphereTreeNode& node, const std::function<void(const SphereTreeNode&, int)>& visit,
                 int depth = 0) {
  visit(node, depth);
  for (uint32_t i = 0; i < node.childCount; ++i) ForEachNode(node.children[i], visit, depth + 1);
}

// Each child's sphere lies inside its parent's, within a relative tolerance.
void ExpectChildrenInsideParents(const SphereTreeNode& node) {
  ForEachNode(node, [](const SphereTreeNode& n, int) {
    for (uint32_t i = 0; i < n.childCount; ++i) {
      const SphereTreeNode& c = n.children[i];
      const float reach = (c.centre - n.centre).Length() + c.radius;
      EXPECT_LE(reach, n.radius * (1.0f + 1e-5f) + 1e-6f);
    }
  });
}

void RandomTree(SphereTreeNode& node, int depth) {
  node.centre = RandomPoint(50.0f);
  node.radius = Uniform(0.1f, 5.0f);
  node.stamp = static_cast<uint32_t>(plat::rand());
  if (depth == 0) return;
  node.AllocateChildren(plat::rand() % 4);
  for (uint32_t i = 0; i < node.childCount; ++i) RandomTree(node.children[i], depth - 1);
}

// Fits every inner node around its children, children first.
void FitBottomUp(SphereTreeNode& node) {
  for (uint32_t i = 0; i < node.childCount; ++i) FitBottomUp(node.children[i]);
  node.FitToChildren();
}

void ExpectSameTree(const SphereTreeNode& a, const SphereTreeNode& b) {
  ASSERT_EQ(a.childCount, b.childCount);
  EXPECT_EQ(a.centre, b.centre);
  EXPECT_EQ(a.radius, b.radius);
  for (uint32_t i = 0; i < a.childCount; ++i) ExpectSameTree(a.children[i], b.children[i]);
}

std::vector<uint8_t> Image(const SphereTreeNode& node) {
  std::vector<uint8_t> bytes(SphereTree::ImageSize(node));
  EXPECT_EQ(SphereTree::WriteImage(node, bytes.data(), bytes.size()), bytes.size());
  return bytes;
}

TEST(SphereTree, CubeTreeLeavesHoldTheirCubesAndTileTheRoot) {
  for (int depth = 0; depth <= 3; ++depth) {
    SphereTreeNode* root = SphereTree::BuildCube(8.0f, depth, 1.0f, -2.0f, 3.0f, nullptr);
    EXPECT_EQ(SphereTree::CountNodes(*root), static_cast<size_t>(((1 << (3 * (depth + 1))) - 1) / 7));
    double leafVolume = 0.0;
    ForEachNode(*root, [&](const SphereTreeNode& n, int level) {
      const float edge = 8.0f / float(1 << level);
      const Box cube(n.centre - Vector3(edge, edge, edge) * 0.5f, n.centre + Vector3(edge, edge, edge) * 0.5f);
      for (int c = 0; c < 8; ++c) EXPECT_LE((cube.GetCorner(c) - n.centre).Length(), n.radius * (1.0f + 1e-5f));
      if (n.childCount == 0) {
        EXPECT_EQ(level, depth);
        leafVolume += cube.Volume();
      }
    });
    EXPECT_DOUBLE_EQ(leafVolume, 512.0);
    ExpectChildrenInsideParents(*root);
    const Box bounds = SphereTree::ComputeBounds(*root);
    // Leaves are spheres, so the bounds reach past the root cube by the last level's sphere overhang.
    const float overhang = 8.0f / float(1 << depth) * (0.866025f - 0.5f);
    EXPECT_NEAR(bounds.min.x, 1.0f - 4.0f - overhang, 1e-4f);
    EXPECT_NEAR(bounds.max.z, 3.0f + 4.0f + overhang, 1e-4f);
    delete root;
  }
}

TEST(SphereTree, FittedParentsHoldTheirChildren) {
  plat::srand(5);
  for (int round = 0; round < 40; ++round) {
    SphereTreeNode root;
    RandomTree(root, 4);
    FitBottomUp(root);
    ExpectChildrenInsideParents(root);
  }
  SphereTreeNode one;
  one.AllocateChildren(1);
  one.children[0].centre = Vector3(1, 2, 3);
  one.children[0].radius = 2.0f;
  one.FitToChildren();
  EXPECT_EQ(one.centre, Vector3(1, 2, 3));
  EXPECT_NEAR(one.radius, 2.0f * std::sqrt(3.0f), 1e-5f);
  SphereTreeNode leaf;  // nothing to fit around: unchanged, not a box of nothing
  leaf.radius = 7.0f;
  leaf.FitToChildren();
  EXPECT_EQ(leaf.radius, 7.0f);
  EXPECT_EQ(leaf.centre, Vector3());
}

TEST(SphereTree, BoundsAreTheUnionOfTheLeafCubes) {
  plat::srand(6);
  for (int round = 0; round < 30; ++round) {
    SphereTreeNode root;
    RandomTree(root, 3);
    bool first = true;
    Box expected;
    ForEachNode(root, [&](const SphereTreeNode& n, int) {
      if (n.childCount != 0) return;
      Box cube;
      cube.SetFromCenterRadius(n.centre, n.radius);
      expected = first ? cube : expected.Union(cube);
      first = false;
    });
    const Box got = SphereTree::ComputeBounds(root);
    EXPECT_EQ(got.min, expected.min);
    EXPECT_EQ(got.max, expected.max);
  }
}

TEST(SphereTree, CopyMovesCentresByTheFrameAndStartsStampsAtZero) {
  plat::srand(7);
  for (int round = 0; round < 20; ++round) {
    SphereTreeNode model;
    RandomTree(model, 3);
    const Eigen::Matrix3f r =
        Eigen::AngleAxisf(Uniform(-3.0f, 3.0f), Eigen::Vector3f(RandomPoint(1.0f).x, 0.3f, 1.0f).normalized())
            .toRotationMatrix();
    COrientation frame;
    for (int i = 0; i < 3; ++i) frame.SetRow(i, Vector3(r(0, i), r(1, i), r(2, i)));
    frame.SetPosition(RandomPoint(20.0f));
    SphereTreeNode* copy = SphereTree::Build(&model, &frame, nullptr);
    std::vector<const SphereTreeNode*> a, b;
    ForEachNode(model, [&](const SphereTreeNode& n, int) { a.push_back(&n); });
    ForEachNode(*copy, [&](const SphereTreeNode& n, int) { b.push_back(&n); });
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
      const Eigen::Vector3f expect =
          r * Eigen::Vector3f(a[i]->centre.x, a[i]->centre.y, a[i]->centre.z) +
          Eigen::Vector3f(frame.position.x, frame.position.y, frame.position.z);
      EXPECT_NEAR(b[i]->centre.x, expect.x(), 1e-3f);
      EXPECT_NEAR(b[i]->centre.y, expect.y(), 1e-3f);
      EXPECT_NEAR(b[i]->centre.z, expect.z(), 1e-3f);
      EXPECT_EQ(b[i]->radius, a[i]->radius);
      EXPECT_EQ(b[i]->childCount, a[i]->childCount);
      EXPECT_EQ(b[i]->stamp, 0u);
    }
    // Into an existing node: its stamp stays, its old children go (the leak checker watches).
    copy->stamp = 99;
    SphereTree::Build(&model, nullptr, copy);
    EXPECT_EQ(copy->stamp, 99u);
    ExpectSameTree(*copy, model);
    delete copy;
  }
}

TEST(SphereTree, CopyFromInsideTheDestinationIsSafe) {
  SphereTreeNode tree;
  SphereTree::BuildCube(4.0f, 2, 0.0f, 0.0f, 0.0f, &tree);
  SphereTreeNode expected;
  SphereTree::Build(&tree.children[3], nullptr, &expected);
  SphereTree::Build(&tree.children[3], nullptr, &tree);  // source freed with the old children
  ExpectSameTree(tree, expected);
  DebugCapture log;
  EXPECT_EQ(SphereTree::Build(nullptr, nullptr, &tree), nullptr);
  EXPECT_EQ(log.Text(), "SphereTree: Build without a source tree\n");
}

TEST(SphereTree, ImageRoundTripsAndHasTheDocumentedLayout) {
  SphereTreeNode leaf;
  leaf.centre = Vector3(1.0f, 2.0f, 3.0f);
  leaf.radius = 4.0f;
  leaf.stamp = 7;
  const std::vector<uint8_t> bytes = Image(leaf);
  ASSERT_EQ(bytes.size(), 28u);
  const uint8_t head[20] = {0, 0, 0x80, 0x3f, 0, 0, 0, 0x40, 0, 0, 0x40, 0x40, 0, 0, 0x80, 0x40, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(bytes.data(), head, sizeof head), 0);
  EXPECT_EQ(bytes[24], 7);
  SphereTreeNode back;
  back.stamp = 5;
  ASSERT_TRUE(SphereTree::ReadImage(back, bytes.data(), bytes.size()));
  ExpectSameTree(back, leaf);
  EXPECT_EQ(back.stamp, 0u);

  plat::srand(8);
  for (int round = 0; round < 30; ++round) {
    SphereTreeNode tree;
    RandomTree(tree, 4);
    const std::vector<uint8_t> image = Image(tree);
    SphereTreeNode read;
    ASSERT_TRUE(SphereTree::ReadImage(read, image.data(), image.size()));
    ExpectSameTree(read, tree);
    ForEachNode(read, [](const SphereTreeNode& n, int) { EXPECT_EQ(n.stamp, 0u); });
    EXPECT_EQ(Image(read).size(), image.size());
  }
  DebugCapture log;
  uint8_t small[27];
  EXPECT_EQ(SphereTree::WriteImage(leaf, small, sizeof small), 0u);
  EXPECT_EQ(log.Text(), "SphereTree: image needs 28 bytes, buffer holds 27\n");
}

TEST(SphereTree, EveryTruncatedOrPaddedImageIsRejectedAndLeavesTheNode) {
  plat::srand(9);
  SphereTreeNode tree;
  SphereTree::BuildCube(2.0f, 2, 0.0f, 0.0f, 0.0f, &tree);
  std::vector<uint8_t> image = Image(tree);
  SphereTreeNode target;
  RandomTree(target, 2);
  SphereTreeNode before;
  SphereTree::Build(&target, nullptr, &before);
  for (size_t size = 0; size < image.size(); ++size) {
    DebugCapture log;
    const std::vector<uint8_t> prefix(image.begin(), image.begin() + size);  // exact-size copy for ASan
    EXPECT_FALSE(SphereTree::ReadImage(target, prefix.data(), prefix.size())) << size;
    EXPECT_EQ(log.Text().rfind("SphereTree: image rejected: ", 0), 0u) << size;
    ExpectSameTree(target, before);
  }
  image.push_back(0);
  DebugCapture log;
  EXPECT_FALSE(SphereTree::ReadImage(target, image.data(), image.size()));
  EXPECT_EQ(log.Text(), "SphereTree: image rejected: 1 bytes after the tree\n");
  EXPECT_FALSE(SphereTree::ReadImage(target, nullptr, 28));
}

TEST(SphereTree, CorruptedImagesFailCleanlyOrDescribeThemselves) {
  plat::srand(10);
  DebugCapture log;  // keeps the expected rejections off the test output
  for (int round = 0; round < 300; ++round) {
    SphereTreeNode tree;
    RandomTree(tree, 3);
    std::vector<uint8_t> image = Image(tree);
    const size_t node = size_t(plat::rand()) % (image.size() / 28);
    const int field = plat::rand() % 3;
    uint8_t* p = image.data() + node * 28 + (field == 0 ? 16 : (field == 1 ? 12 : 17 + plat::rand() % 3));
    *p = static_cast<uint8_t>(plat::rand());
    if (field == 1) p[3] = static_cast<uint8_t>(plat::rand());  // radius sign and exponent
    SphereTreeNode read;
    if (SphereTree::ReadImage(read, image.data(), image.size())) {
      EXPECT_EQ(SphereTree::ImageSize(read), image.size());
      EXPECT_GE(read.radius, 0.0f);
    } else {
      EXPECT_EQ(read.childCount, 0u);
    }
  }
  // A chain of one-child nodes: accepted up to the depth limit, refused beyond it.
  for (uint32_t levels : {SphereTree::kMaxImageDepth + 1, SphereTree::kMaxImageDepth + 2}) {
    std::vector<uint8_t> chain(28 * levels, 0);
    for (uint32_t i = 0; i + 1 < levels; ++i) chain[28 * i + 16] = 1;
    SphereTreeNode read;
    EXPECT_EQ(SphereTree::ReadImage(read, chain.data(), chain.size()), levels == SphereTree::kMaxImageDepth + 1);
  }
}

TEST(SphereTree, FlatBoxGridStaysInsideTheBoxAndItsSphere) {
  plat::srand(12);
  DebugCapture log;
  for (int round = 0; round < 200; ++round) {
    const Vector3 lo = RandomPoint(10.0f);
    const float z = Uniform(0.05f, 2.0f);
    const Box box(lo, lo + Vector3(z * Uniform(1.0f, 12.0f), z * Uniform(1.0f, 12.0f), z));
    SphereTreeNode node;
    SphereTree::BuildFlatBox(node, box);
    const Vector3 e = box.GetSize();
    for (int c = 0; c < 8; ++c) EXPECT_LE((box.GetCorner(c) - node.centre).Length(), node.radius * (1.0f + 1e-5f));
    EXPECT_EQ(node.childCount, uint32_t(std::floor(e.x / e.z)) * uint32_t(std::floor(e.y / e.z)));
    ExpectChildrenInsideParents(node);
    const float tol = 1e-4f * (1.0f + e.x + e.y);
    for (uint32_t i = 0; i < node.childCount; ++i) {
      const SphereTreeNode& c = node.children[i];
      ASSERT_TRUE(std::isfinite(c.centre.x) && std::isfinite(c.centre.y));
      EXPECT_GE(c.centre.x - c.radius, box.min.x - tol);
      EXPECT_LE(c.centre.x + c.radius, box.max.x + tol);
      EXPECT_GE(c.centre.y - c.radius, box.min.y - tol);
      EXPECT_LE(c.centre.y + c.radius, box.max.y + tol);
      EXPECT_EQ(c.centre.z, node.centre.z);
    }
  }
  SphereTreeNode node;
  SphereTree::BuildFlatBox(node, Box(Vector3(0, 0, 0), Vector3(3, 1.5f, 1)));  // one row of three
  ASSERT_EQ(node.childCount, 3u);
  EXPECT_EQ(node.children[1].centre, Vector3(1.5f, 0.75f, 0.5f));
  SphereTree::BuildFlatBox(node, Box(Vector3(0, 0, 0), Vector3(4, 4, 0)));  // no thickness
  EXPECT_EQ(node.childCount, 0u);
  SphereTree::BuildFlatBox(node, Box(Vector3(0, 0, 0), Vector3(1, 1, 3)));  // z not the smallest
  EXPECT_EQ(node.childCount, 0u);
  EXPECT_EQ(node.centre, Vector3(0.5f, 0.5f, 1.5f));
  SphereTree::BuildFlatBox(node, Box(Vector3(0, 0, 0), Vector3(1000, 1000, 1e-3f)));  // 10^12 spheres
  EXPECT_EQ(node.childCount, 0u);
}

}  // namespace
