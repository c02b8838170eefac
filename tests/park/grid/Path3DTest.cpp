// Three-dimensional path graphs: both record headers, edge rings that wrap, nearest edge and node
// against a brute force over random points, damaged and cut-short records refused, the search over
// straight-line costs, new GUIDs and the debug drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/data/LittleEndian.h"
#include "core/math/MathUtil.h"
#include "core/math/ViewFrustum.h"
#include "park/grid/Path3D.h"
#include "platform/files/Profile.h"
#include "scene/mesh/SceneDrawInterface.h"
#include "scene/mesh/TextureProperties.h"
#include "tests/support/InputCost.h"
#include "tests/support/SceneDrawRecorder.h"

namespace {

struct EdgeSpec {
  int32_t from, to, opposite, next, previous, name;
};

// A path record built by hand, the way a level file carries it.
struct Record {
  uint32_t pathId = 7;
  bool withGuid = true;
  GUID guid{0x11223344u, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};
  std::vector<Vector3> nodes;
  std::vector<int32_t> firstEdges;
  std::vector<EdgeSpec> edges;
  std::vector<std::string> names;

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> b;
    if (withGuid) le::PutU32(b, C3DPath::kVersion);
    le::PutU32(b, pathId);
    le::PutU32(b, static_cast<uint32_t>(nodes.size()));
    le::PutU32(b, static_cast<uint32_t>(edges.size()));
    le::PutU32(b, static_cast<uint32_t>(names.size()));
    if (withGuid) {
      le::PutU32(b, guid.Data1);
      b.push_back(static_cast<uint8_t>(guid.Data2)), b.push_back(static_cast<uint8_t>(guid.Data2 >> 8));
      b.push_back(static_cast<uint8_t>(guid.Data3)), b.push_back(static_cast<uint8_t>(guid.Data3 >> 8));
      b.insert(b.end(), guid.Data4, guid.Data4 + 8);
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
      for (int k = 0; k < 9; ++k) le::PutU32(b, 0xCDCDCDCDu);  // a stranger's pointers and stamps
      le::PutU32(b, static_cast<uint32_t>(firstEdges[i]));
      le::PutF32(b, nodes[i].x), le::PutF32(b, nodes[i].y), le::PutF32(b, nodes[i].z);
    }
    for (const EdgeSpec& e : edges) {
      le::PutU32(b, 0);
      for (int32_t w : {e.from, e.to, e.opposite, e.next, e.previous, e.name}) le::PutU32(b, static_cast<uint32_t>(w));
      const bool inside = e.from >= 0 && e.to >= 0 && static_cast<size_t>(e.from) < nodes.size() &&
                          static_cast<size_t>(e.to) < nodes.size();
      le::PutF32(b, inside ? (nodes[static_cast<size_t>(e.to)] - nodes[static_cast<size_t>(e.from)]).Length() : 0.0f);
    }
    for (const std::string& s : names) b.insert(b.end(), s.c_str(), s.c_str() + s.size() + 1);
    return b;
  }

  // Appends an edge to the from node's ring (and its way back when asked).
  int AddEdge(int32_t from, int32_t to, int32_t name = -1) {
    const int32_t e = static_cast<int32_t>(edges.size());
    EdgeSpec spec{from, to, -1, e, e, name};
    const int32_t head = firstEdges[static_cast<size_t>(from)];
    if (head < 0) {
      firstEdges[static_cast<size_t>(from)] = e;
    } else {
      const int32_t tail = edges[static_cast<size_t>(head)].previous;
      spec.next = head;
      spec.previous = tail;
      edges[static_cast<size_t>(tail)].next = e;
      edges[static_cast<size_t>(head)].previous = e;
    }
    edges.push_back(spec);
    return e;
  }
  void AddNode(const Vector3& p) {
    nodes.push_back(p);
    firstEdges.push_back(-1);
  }
};

// A star: node 0 with three edges out, a chain 1 -> 2 -> 3, and node 4 alone.
Record Star() {
  Record r;
  for (Vector3 p : {Vector3(0, 0, 0), Vector3(10, 0, 0), Vector3(10, 10, 0), Vector3(0, 10, 5), Vector3(50, 50, 50)})
    r.AddNode(p);
  r.names = {"north", "east"};
  r.AddEdge(0, 1, 0);
  r.AddEdge(0, 2, 1);
  r.AddEdge(0, 3, 9);  // a name index outside the names: no name
  r.AddEdge(1, 2);
  r.AddEdge(2, 3);
  r.edges[0].opposite = -1;
  return r;
}

Record RandomPath(std::mt19937& rng, int nodes, int edges) {
  std::uniform_real_distribution<float> coord(-20.0f, 20.0f);
  std::uniform_int_distribution<int> pick(0, nodes - 1);
  Record r;
  for (int i = 0; i < nodes; ++i) r.AddNode(Vector3(coord(rng), coord(rng), coord(rng)));
  for (int i = 0; i < edges; ++i) {
    const int a = pick(rng);
    int b = pick(rng);
    if (b == a) b = (a + 1) % nodes;
    r.AddEdge(a, b);
  }
  return r;
}

TEST(Path3D, BothHeadersReadAndTheOlderKeepsItsPathIdAsTheVersion) {
  Record r = Star();
  C3DPath path;
  const GUID fresh = path.GetGuid();
  const std::vector<uint8_t> bytes = r.Bytes();
  ASSERT_EQ(bytes.size(), C3DPath::kHeaderSize + 5 * 52 + 5 * 32 + 6 + 5);
  ASSERT_TRUE(path.LoadFromData(bytes.data(), bytes.size()));
  EXPECT_EQ(path.GetVersion(), 100u);
  EXPECT_EQ(path.GetPathId(), 7u);
  EXPECT_EQ(path.GetGuid().Data1, 0x11223344u);
  EXPECT_EQ(path.GetGuid().Data3, 0x7788);
  EXPECT_EQ(path.GetGuid().Data4[7], 8);
  ASSERT_EQ(path.GetNodeCount(), 5u);
  EXPECT_EQ(path.GetNode(3).position.z, 5.0f);
  EXPECT_EQ(path.GetNode(4).firstEdge, -1);
  EXPECT_STREQ(path.GetEdgeName(1), "east");
  EXPECT_EQ(path.GetEdgeName(2), nullptr);
  EXPECT_EQ(path.GetBounds().min.x, 0.0f);
  EXPECT_EQ(path.GetBounds().max.y, 50.0f);
  EXPECT_EQ(path.GetBoundFlags(), 0x800200u);

  r.withGuid = false;
  r.pathId = 42;
  const std::vector<uint8_t> old = r.Bytes();
  ASSERT_EQ(old.size(), bytes.size() - 20);
  C3DPath older;
  const GUID own = older.GetGuid();
  ASSERT_TRUE(older.LoadFromData(old.data(), old.size()));
  EXPECT_EQ(older.GetVersion(), 42u);
  EXPECT_EQ(older.GetPathId(), 42u);
  EXPECT_EQ(std::memcmp(&older.GetGuid(), &own, sizeof(GUID)), 0);  // the older header has none: it keeps its own
  EXPECT_NE(std::memcmp(&path.GetGuid(), &fresh, sizeof(GUID)), 0);  // replaced by the record's
  EXPECT_EQ(older.GetEdges().size(), 5u);
}

TEST(Path3D, RingsWrapAndNodesWithoutEdgesHaveNone) {
  const std::vector<uint8_t> bytes = Star().Bytes();
  C3DPath path;
  ASSERT_TRUE(path.LoadFromData(bytes.data(), bytes.size()));
  EXPECT_EQ(path.CountEdgesOfNode(0), 3);
  EXPECT_EQ(path.GetEdgeOfNode(0, 0), 0);
  EXPECT_EQ(path.GetEdgeOfNode(0, 2), 2);
  EXPECT_EQ(path.GetEdgeOfNode(0, 3), 0);
  EXPECT_EQ(path.GetEdgeOfNode(0, 7), 1);
  EXPECT_EQ(path.CountEdgesOfNode(4), 0);
  EXPECT_EQ(path.GetEdgeOfNode(4, 0), -1);
  EXPECT_EQ(path.GetEdgeOfNode(0, -1), -1);
  EXPECT_EQ(path.GetEdgeOfNode(5, 0), -1);
  EXPECT_EQ(path.CountEdgesOfNode(-1), 0);
  SuccessorList out;
  path.GetSuccessors(path.GetNodePointer(0), out);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].node, path.GetNodePointer(1));
  EXPECT_STREQ(static_cast<const char*>(out[0].edge), "north");
  EXPECT_EQ(out[2].edge, nullptr);
  out.clear();
  path.GetSuccessors(path.GetNodePointer(4), out);
  EXPECT_TRUE(out.empty());
  // A ring of 100,000 edges is walked once, not once per edge.
  Record ring;
  ring.AddNode(Vector3(0, 0, 0));
  ring.AddNode(Vector3(1, 0, 0));
  for (int i = 0; i < 100000; ++i) ring.AddEdge(0, i % 2, i == 99999 ? 0 : -1);
  ring.names = {"last"};
  const std::vector<uint8_t> wide = ring.Bytes();
  C3DPath big;
  ASSERT_TRUE(big.LoadFromData(wide.data(), wide.size()));
  EXPECT_TRUE(testing_support::CostsNearLinear(wide.size(), [&] { big.GetSuccessors(big.GetNodePointer(0), out); }));
  ASSERT_EQ(out.size(), 100000u);
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i].node, big.GetNodePointer(i % 2)) << i;
  EXPECT_STREQ(static_cast<const char*>(out.back().edge), "last");
  EXPECT_EQ(out[99998].edge, nullptr);
}

TEST(Path3D, SearchFollowsEdgesWithStraightLineCosts) {
  const std::vector<uint8_t> bytes = Star().Bytes();
  C3DPath path;
  ASSERT_TRUE(path.LoadFromData(bytes.data(), bytes.size()));
  // L + (M + N) / 4 over the axis differences.
  EXPECT_FLOAT_EQ(path.EdgeCost(path.GetNodePointer(0), path.GetNodePointer(3), nullptr), 10.0f + 1.25f);
  EXPECT_FLOAT_EQ(path.Heuristic(path.GetNodePointer(1), path.GetNodePointer(3)), 10.0f + 3.75f);
  GraphPath route;
  ASSERT_TRUE(path.FindPath(path.GetNodePointer(1), path.GetNodePointer(3), &route));
  ASSERT_EQ(route.size(), 3u);  // goal first: 3, 2, 1
  EXPECT_EQ(route[0].node, path.GetNodePointer(3));
  EXPECT_EQ(route[2].node, path.GetNodePointer(1));
  GraphPath none;
  EXPECT_FALSE(path.FindPath(path.GetNodePointer(3), path.GetNodePointer(0), &none));
}

TEST(Path3D, NearestEdgeAndNodeEqualABruteForceOverRandomPoints) {
  std::mt19937 rng(31);
  std::uniform_real_distribution<float> coord(-30.0f, 30.0f);
  for (int round = 0; round < 20; ++round) {
    Record r = RandomPath(rng, 3 + round, 2 * round + 1);
    r.edges[0].from = -1;  // one deleted edge, never nearest: the first round has no edges left
    r.edges[0].to = 0;
    // Take the deleted edge out of its node's ring.
    for (size_t i = 0; i < r.firstEdges.size(); ++i)
      if (r.firstEdges[i] == 0) r.firstEdges[i] = r.edges[0].next == 0 ? -1 : r.edges[0].next;
    r.edges[static_cast<size_t>(r.edges[0].next)].previous = r.edges[0].previous;
    r.edges[static_cast<size_t>(r.edges[0].previous)].next = r.edges[0].next;
    const std::vector<uint8_t> bytes = r.Bytes();
    C3DPath path;
    ASSERT_TRUE(path.LoadFromData(bytes.data(), bytes.size())) << round;
    for (int q = 0; q < 50; ++q) {
      const Vector3 p(coord(rng), coord(rng), coord(rng));
      int edge = -1, node = -1;
      double edgeBest = std::numeric_limits<double>::max(), nodeBest = edgeBest;
      for (size_t e = 0; e < r.edges.size(); ++e) {
        if (r.edges[e].from < 0) continue;
        // Closest point on the segment in doubles.
        const Vector3 a = r.nodes[static_cast<size_t>(r.edges[e].from)], b = r.nodes[static_cast<size_t>(r.edges[e].to)];
        const double ab[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
        const double ap[3] = {double(p.x) - a.x, double(p.y) - a.y, double(p.z) - a.z};
        const double len = ab[0] * ab[0] + ab[1] * ab[1] + ab[2] * ab[2];
        double t = len > 0 ? (ab[0] * ap[0] + ab[1] * ap[1] + ab[2] * ap[2]) / len : 0.0;
        t = t < 0 ? 0 : t > 1 ? 1 : t;
        double d = 0;
        for (int k = 0; k < 3; ++k) d += (ap[k] - t * ab[k]) * (ap[k] - t * ab[k]);
        if (d < edgeBest) edgeBest = d, edge = static_cast<int>(e);
      }
      std::vector<int> exclude = {q % static_cast<int>(r.nodes.size()), -5, 1000};
      for (size_t n = 0; n < r.nodes.size(); ++n) {
        if (r.firstEdges[n] < 0 || static_cast<int>(n) == exclude[0]) continue;
        const Vector3 d = r.nodes[n] - p;
        const double dd = double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z;
        if (dd < nodeBest) nodeBest = dd, node = static_cast<int>(n);
      }
      const int foundEdge = path.FindNearestEdge(p);
      if (edge < 0) {
        EXPECT_EQ(foundEdge, -1);
      } else if (foundEdge != edge) {
        ASSERT_GE(foundEdge, 0);
        // Only a tie within float rounding may pick another edge.
        const PathEdgeRecord& e = path.GetEdges()[static_cast<size_t>(foundEdge)];
        Vector3 c;
        ClosestPointOnSegment(c, r.nodes[static_cast<size_t>(e.from)], r.nodes[static_cast<size_t>(e.to)], p);
        EXPECT_NEAR((c - p).LengthSquared(), edgeBest, 1e-3 * (1.0 + edgeBest)) << round << " " << q;
      }
      EXPECT_EQ(path.FindNearestNode(p, &exclude), node) << round << " " << q;
    }
  }
}

TEST(Path3D, AnEmptyPathHasNoNearestEdgeOrNode) {
  C3DPath empty;
  EXPECT_EQ(empty.FindNearestEdge(Vector3()), -1);
  EXPECT_EQ(empty.FindNearestNode(Vector3(), nullptr), -1);
}

TEST(Path3D, TranslateMovesNodesAndBounds) {
  const std::vector<uint8_t> bytes = Star().Bytes();
  C3DPath path;
  ASSERT_TRUE(path.LoadFromData(bytes.data(), bytes.size()));
  path.Translate(Vector3(1.0f, -2.0f, 3.0f));
  EXPECT_EQ(path.GetNode(2).position.x, 11.0f);
  EXPECT_EQ(path.GetNode(2).position.y, 8.0f);
  EXPECT_EQ(path.GetBounds().min.z, 3.0f);
  EXPECT_EQ(path.GetBounds().max.x, 51.0f);
  // The record itself is never written.
  C3DPath again;
  ASSERT_TRUE(again.LoadFromData(bytes.data(), bytes.size()));
  EXPECT_EQ(again.GetNode(2).position.x, 10.0f);
}

TEST(Path3D, DamagedRecordsAreRefusedAndLeaveThePathEmpty) {
  auto refused = [](const Record& r) {
    const std::vector<uint8_t> bytes = r.Bytes();
    C3DPath path;
    const bool ok = path.LoadFromData(bytes.data(), bytes.size());
    return !ok && path.GetNodeCount() == 0 && path.GetEdges().empty();
  };
  Record r = Star();
  { Record b = r; b.firstEdges[4] = 5; EXPECT_TRUE(refused(b)); }             // first edge past the end
  { Record b = r; b.firstEdges[4] = -2; EXPECT_TRUE(refused(b)); }
  { Record b = r; b.firstEdges[4] = 3; EXPECT_TRUE(refused(b)); }             // an edge of node 1
  { Record b = r; b.edges[1].to = 5; EXPECT_TRUE(refused(b)); }
  { Record b = r; b.edges[1].from = 7; EXPECT_TRUE(refused(b)); }
  { Record b = r; b.edges[1].opposite = 5; EXPECT_TRUE(refused(b)); }
  { Record b = r; b.edges[1].next = -1; EXPECT_TRUE(refused(b)); }
  { Record b = r; b.edges[2].next = 1; EXPECT_TRUE(refused(b)); }             // ring never returns to its head
  { Record b = r; b.edges[0].previous = 1; EXPECT_TRUE(refused(b)); }         // one-way link
  { Record b = r; b.edges[2].next = 3; EXPECT_TRUE(refused(b)); }             // runs into node 1's ring
  { Record b = r; b.edges[3].from = -1; EXPECT_TRUE(refused(b)); }            // a deleted edge in a ring
  { Record b = r; b.nodes[2].y = std::nanf(""); EXPECT_TRUE(refused(b)); }
  {
    std::vector<uint8_t> bytes = r.Bytes();
    bytes.back() = 'x';  // the last name is not terminated
    C3DPath path;
    EXPECT_FALSE(path.LoadFromData(bytes.data(), bytes.size()));
  }
  {
    std::vector<uint8_t> bytes = r.Bytes();
    le::WriteU32(bytes.data() + 8, 0x40000000u);  // a node count far past the record
    C3DPath path;
    EXPECT_FALSE(path.LoadFromData(bytes.data(), bytes.size()));
    EXPECT_FALSE(path.LoadFromData(nullptr, 64));
  }
}

TEST(Path3D, EveryCutShortRecordFailsCleanly) {
  for (bool guid : {true, false}) {
    Record r = Star();
    r.withGuid = guid;
    const std::vector<uint8_t> bytes = r.Bytes();
    for (size_t n = 0; n < bytes.size(); ++n) {
      // A copy of exactly n bytes, so the sanitizer catches any read past it.
      std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
      C3DPath path;
      EXPECT_FALSE(path.LoadFromData(cut.data(), cut.size())) << n;
      EXPECT_EQ(path.GetNodeCount(), 0u);
    }
  }
}

TEST(Path3D, RandomDamageIsRefusedOrGivesAPathWhoseWalksStayInside) {
  std::mt19937 rng(9);
  const std::vector<uint8_t> good = RandomPath(rng, 12, 30).Bytes();
  int refused = 0;
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> bytes = good;
    for (int k = 0; k < 1 + static_cast<int>(rng() % 3); ++k) {
      const size_t at = rng() % (bytes.size() - 3);
      if (rng() % 2 == 0)
        bytes[at] ^= static_cast<uint8_t>(1 + rng() % 255);
      else
        le::WriteU32(bytes.data() + at, static_cast<uint32_t>(rng() % 40) - 2u);
    }
    C3DPath path;
    if (!path.LoadFromData(bytes.data(), bytes.size())) {
      ++refused;
      ASSERT_EQ(path.GetNodeCount(), 0u);
      continue;
    }
    const int edges = static_cast<int>(path.GetEdges().size());
    int inRings = 0;
    for (size_t n = 0; n < path.GetNodeCount(); ++n) {
      const int count = path.CountEdgesOfNode(static_cast<int>(n));
      inRings += count;
      for (int k = 0; k < count; ++k) {
        const int e = path.GetEdgeOfNode(static_cast<int>(n), k);
        ASSERT_TRUE(e >= 0 && e < edges);
        ASSERT_EQ(path.GetEdges()[static_cast<size_t>(e)].from, static_cast<int32_t>(n));
      }
      SuccessorList out;
      path.GetSuccessors(path.GetNodePointer(n), out);
      ASSERT_EQ(out.size(), static_cast<size_t>(count));
    }
    ASSERT_LE(inRings, edges);
    const int nearest = path.FindNearestEdge(Vector3(1.0f, 2.0f, 3.0f));
    ASSERT_TRUE(nearest >= -1 && nearest < edges);
  }
  EXPECT_GT(refused, 0);
}

TEST(Path3D, NewPathsHaveDistinctRandomGuids) {
  std::set<std::vector<uint8_t>> seen;
  for (int i = 0; i < 64; ++i) {
    C3DPath path;
    const GUID& g = path.GetGuid();
    EXPECT_EQ(g.Data3 >> 12, 4);       // a random identifier
    EXPECT_EQ(g.Data4[0] >> 6, 2);     // of the standard variant
    std::vector<uint8_t> bytes(reinterpret_cast<const uint8_t*>(&g), reinterpret_cast<const uint8_t*>(&g) + sizeof(g));
    EXPECT_TRUE(seen.insert(bytes).second);
  }
  EXPECT_TRUE(FAILED(CoCreateGuid(nullptr)));
}

TEST(Path3D, DrawsBoundsEdgesAndTheNodesNearTheCamera) {
  const std::vector<uint8_t> bytes = Star().Bytes();
  C3DPath path;
  ASSERT_TRUE(path.LoadFromData(bytes.data(), bytes.size()));
  path.SetSelectedNode(1);
  ViewFrustum camera;
  camera.GetFrame().position = Vector3(5.0f, 5.0f, 0.0f);
  testing_support::SceneDrawRecorder view;
  view.view = &camera;
  path.Render(&view);
  // Bounds (12) and five edges in green; nodes 0, 1, 2 with edges lie within reach: 0 and 2 blue,
  // 1 red; node 3 has no edges and node 4 is far.
  EXPECT_EQ(view.Count(C3DPath::kGreen), 12u + 5u);
  EXPECT_EQ(view.Count(C3DPath::kBlue), 24u);
  EXPECT_EQ(view.Count(C3DPath::kRed), 12u);
  EXPECT_EQ(view.lines.size(), 12u + 5u + 36u);
  // The selected node's box: its twelve edges span exactly the box of side 0.5 around (10, 0, 0).
  Box red(Vector3(1e9f, 1e9f, 1e9f), Vector3(-1e9f, -1e9f, -1e9f));
  for (const auto& line : view.lines) {
    if (line.colour != C3DPath::kRed) continue;
    red.ExtendByPoint(line.a);
    red.ExtendByPoint(line.b);
  }
  EXPECT_TRUE(red.min == Vector3(9.75f, -0.25f, -0.25f) && red.max == Vector3(10.25f, 0.25f, 0.25f));
}

}  // namespace
