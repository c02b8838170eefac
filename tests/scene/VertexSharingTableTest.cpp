// Vertex-sharing table: grouping rules, invariants over random attributes, the file round
// trip, and hostile file data.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <vector>

#include "scene/mesh/TriMesh.h"
#include "platform/system/Platform.h"
#include "tests/support/TempFolder.h"
#include "scene/mesh/VertexSharingTable.h"

namespace {

// n x n grid of vertices, two faces per cell, adjacency built.
void MakeGrid(TriMesh& mesh, int n) {
  ASSERT_TRUE(mesh.Allocate(n * n, 2 * (n - 1) * (n - 1)));
  for (int i = 0; i < n * n; ++i) mesh.positions[i] = Vector3(float(i % n), float(i / n), 0.0f);
  uint16_t* c = mesh.indices;
  for (int r = 0; r + 1 < n; ++r) {
    for (int col = 0; col + 1 < n; ++col) {
      const uint16_t a = static_cast<uint16_t>(r * n + col), b = static_cast<uint16_t>(a + n);
      const uint16_t cell[] = {a, b, uint16_t(a + 1), b, uint16_t(b + 1), uint16_t(a + 1)};
      c = std::copy(cell, cell + 6, c);
    }
  }
  ASSERT_TRUE(mesh.BuildEdgeAdjacency());
}

// Corner records named after their vertex, so neighbouring faces agree everywhere.
std::vector<VertexSharingFace> Agreeing(const TriMesh& mesh) {
  std::vector<VertexSharingFace> faces(mesh.faceCount);
  for (uint32_t f = 0; f < mesh.faceCount; ++f) {
    faces[f].textureSlot = 0;
    for (int k = 0; k < 3; ++k) {
      const uint32_t v = mesh.indices[3 * f + k];
      faces[f].corners[k][0] = faces[f].corners[k][1] = faces[f].corners[k][2] = v;
    }
  }
  return faces;
}

// A partition consistent with its map, slots ascending and shared inside a group, groups
// edge-connected, and faces of a group agreeing on their corner at every shared vertex.
void CheckTable(const VertexSharingTable& t, const TriMesh& mesh, const std::vector<VertexSharingFace>& faces) {
  std::vector<int> seen(mesh.faceCount, 0);
  uint32_t lastSlot = 0;
  for (uint32_t g = 0; g < t.GetGroupCount(); ++g) {
    const uint32_t* m = t.GetGroupMembers(g);
    ASSERT_GE(faces[m[0]].textureSlot, lastSlot);
    lastSlot = faces[m[0]].textureSlot;
    std::vector<bool> reached(mesh.faceCount, false);
    std::deque<uint32_t> queue{m[0]};
    reached[m[0]] = true;
    uint32_t connected = 0;
    for (; !queue.empty(); queue.pop_front(), ++connected) {
      for (uint32_t k = 0; k < 3; ++k) {
        const int32_t n = mesh.GetNeighbourFace(queue.front(), k);
        if (n >= 0 && !reached[n] && t.GetGroupOfFace(n) == g) reached[n] = true, queue.push_back(n);
      }
    }
    ASSERT_EQ(connected, t.GetGroupSize(g)) << "group " << g << " is not edge-connected";
    for (uint32_t i = 0; i < t.GetGroupSize(g); ++i) {
      ++seen[m[i]];
      ASSERT_EQ(t.GetGroupOfFace(m[i]), g);
      ASSERT_EQ(faces[m[i]].textureSlot, lastSlot);
      for (uint32_t j = 0; j < i; ++j) {
        for (int a = 0; a < 3; ++a) {
          for (int b = 0; b < 3; ++b) {
            if (mesh.indices[3 * m[i] + a] != mesh.indices[3 * m[j] + b]) continue;
            ASSERT_EQ(0, std::memcmp(faces[m[i]].corners[a], faces[m[j]].corners[b], 12)) << m[i] << " " << m[j];
          }
        }
      }
    }
  }
  for (uint32_t f = 0; f < mesh.faceCount; ++f) ASSERT_EQ(seen[f], 1) << "face " << f;
}

std::vector<uint8_t> Serialize(const VertexSharingTable& t) {
  std::vector<uint8_t> out(t.GetFileSize());
  t.Write(out.data());
  return out;
}

}  // namespace

TEST(VertexSharingTable, GroupingRules) {
  TriMesh cell;
  MakeGrid(cell, 2);  // two faces sharing the edge between vertices 1 and 2
  std::vector<VertexSharingFace> faces = Agreeing(cell);
  VertexSharingTable t;
  ASSERT_TRUE(t.Build(cell, faces.data()));
  EXPECT_EQ(t.GetGroupCount(), 1u);
  faces[1].corners[2][2] ^= 0xFF;  // the colour of face 1 at shared vertex 1
  ASSERT_TRUE(t.Build(cell, faces.data()));
  EXPECT_EQ(t.GetGroupCount(), 2u);

  TriMesh strip;
  MakeGrid(strip, 3);
  strip.faceCount = 4;  // the first row of cells
  strip.FreeAdjacency();
  ASSERT_TRUE(strip.BuildEdgeAdjacency());
  faces = Agreeing(strip);
  faces[2].textureSlot = faces[3].textureSlot = 1;
  ASSERT_TRUE(t.Build(strip, faces.data()));
  EXPECT_EQ(t.GetGroupCount(), 2u);

  TriMesh bare;
  ASSERT_TRUE(bare.Allocate(3, 1));
  testing_support::DebugCapture quiet;
  EXPECT_FALSE(t.Build(bare, faces.data())) << "the adjacency must be built first";
}

TEST(VertexSharingTable, RandomAttributesKeepTheInvariantsAndRoundTrip) {
  plat::srand(31);
  for (int round = 0; round < 40; ++round) {
    TriMesh grid;
    MakeGrid(grid, 3 + round % 6);
    std::vector<VertexSharingFace> faces = Agreeing(grid);
    for (auto& f : faces) {
      f.textureSlot = plat::rand() % (1 + round % 4);
      for (auto& corner : f.corners) corner[plat::rand() % 3] ^= (plat::rand() % 8 == 0);  // seams
    }
    VertexSharingTable t, back;
    ASSERT_TRUE(t.Build(grid, faces.data()));
    CheckTable(t, grid, faces);
    const std::vector<uint8_t> file = Serialize(t);
    ASSERT_TRUE(back.Read(file.data(), file.size(), grid));
    EXPECT_EQ(Serialize(back), file);
  }
}

TEST(VertexSharingTable, HostileFileDataIsRefused) {
  TriMesh grid;
  MakeGrid(grid, 4);
  std::vector<VertexSharingFace> faces = Agreeing(grid);
  for (uint32_t f = 0; f < grid.faceCount; ++f) faces[f].textureSlot = f % 3;
  VertexSharingTable t, r;
  ASSERT_TRUE(t.Build(grid, faces.data()));
  const std::vector<uint8_t> file = Serialize(t);
  const uint32_t F = grid.faceCount, G = t.GetGroupCount(), members = 2 + F + G;
  testing_support::DebugCapture quiet;
  for (size_t cut = 0; cut < file.size(); ++cut) ASSERT_FALSE(r.Read(file.data(), cut, grid)) << cut;
  const std::pair<uint32_t, uint32_t> edits[] = {
      {0, F + 1},                                // face count of another mesh
      {1, 0xFFFFFFFF},                           // group count overflowing the size sum
      {2, G},                                    // face map naming a missing group
      {2 + F, t.GetGroupSize(0) + 1},            // sizes no longer adding up
      {members, F},                              // member out of range
      {members + 1, t.GetGroupMembers(0)[0]},    // a face listed twice
      {members, t.GetGroupMembers(1)[0]},        // member of another group by the map
  };
  for (const auto& [word, value] : edits) {
    std::vector<uint8_t> d = file;
    std::memcpy(d.data() + 4 * word, &value, 4);
    EXPECT_FALSE(r.Read(d.data(), d.size(), grid)) << "word " << word;
    EXPECT_EQ(r.GetGroupCount(), 0u);
  }
  // Random corruption: refused, or still a partition that agrees with its map.
  plat::srand(77);
  for (int n = 0; n < 2000; ++n) {
    std::vector<uint8_t> d = file;
    d[plat::rand() % d.size()] ^= static_cast<uint8_t>(1 << (plat::rand() % 8));
    if (!r.Read(d.data(), d.size(), grid)) continue;
    std::vector<int> seen(F, 0);
    for (uint32_t g = 0; g < r.GetGroupCount(); ++g) {
      for (uint32_t i = 0; i < r.GetGroupSize(g); ++i) {
        ASSERT_EQ(r.GetGroupOfFace(r.GetGroupMembers(g)[i]), g);
        ++seen[r.GetGroupMembers(g)[i]];
      }
    }
    for (int s : seen) ASSERT_EQ(s, 1);
  }
}
