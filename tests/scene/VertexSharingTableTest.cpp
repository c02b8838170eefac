// Tests of the vertex-sharing table: grouping rules on small meshes, invariants over random
// attributes, the file round trip, and hostile file data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <vector>

#include "physics/TriMesh.h"
#include "platform/Platform.h"
#include "scene/VertexSharingTable.h"

namespace {

void Fill(TriMesh& mesh, const std::vector<Vector3>& points, const std::vector<uint16_t>& corners) {
  ASSERT_TRUE(mesh.Allocate(static_cast<uint32_t>(points.size()), static_cast<uint32_t>(corners.size() / 3)));
  std::copy(points.begin(), points.end(), mesh.positions);
  std::copy(corners.begin(), corners.end(), mesh.indices);
  ASSERT_TRUE(mesh.BuildEdgeAdjacency());
}

// n x n grid of vertices, two faces per cell.
void MakeGrid(TriMesh& mesh, int n) {
  std::vector<Vector3> p;
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < n; ++c) p.emplace_back(float(c), float(r), 0.0f);
  }
  std::vector<uint16_t> idx;
  for (int r = 0; r + 1 < n; ++r) {
    for (int c = 0; c + 1 < n; ++c) {
      const uint16_t a = static_cast<uint16_t>(r * n + c);
      idx.insert(idx.end(), {a, static_cast<uint16_t>(a + n), static_cast<uint16_t>(a + 1)});
      idx.insert(idx.end(), {static_cast<uint16_t>(a + n), static_cast<uint16_t>(a + n + 1), static_cast<uint16_t>(a + 1)});
    }
  }
  Fill(mesh, p, idx);
}

// Corner records equal to the vertex number, so neighbouring faces agree everywhere.
std::vector<VertexSharingFace> Uniform(const TriMesh& mesh, uint32_t slot) {
  std::vector<VertexSharingFace> faces(mesh.faceCount);
  for (uint32_t f = 0; f < mesh.faceCount; ++f) {
    faces[f].textureSlot = slot;
    for (int k = 0; k < 3; ++k) {
      const uint32_t v = mesh.indices[3 * f + k];
      faces[f].corners[k][0] = v;
      faces[f].corners[k][1] = v;
      faces[f].corners[k][2] = 0xFFFFFFFF;
    }
  }
  return faces;
}

bool SameCorner(const uint32_t (&a)[3], const uint32_t (&b)[3]) { return std::equal(a, a + 3, b); }

// What every table must satisfy: a partition consistent with its map, slots ascending and
// shared within a group, groups edge-connected, and agreeing corners at shared vertices.
void CheckTable(const VertexSharingTable& t, const TriMesh& mesh, const std::vector<VertexSharingFace>& faces) {
  ASSERT_EQ(t.GetFaceCount(), mesh.faceCount);
  std::vector<int> seen(mesh.faceCount, 0);
  uint32_t lastSlot = 0;
  for (uint32_t g = 0; g < t.GetGroupCount(); ++g) {
    ASSERT_GT(t.GetGroupSize(g), 0u);
    const uint32_t* m = t.GetGroupMembers(g);
    const uint32_t slot = faces[m[0]].textureSlot;
    ASSERT_GE(slot, lastSlot) << "groups out of slot order";
    lastSlot = slot;
    for (uint32_t i = 0; i < t.GetGroupSize(g); ++i) {
      ASSERT_LT(m[i], mesh.faceCount);
      ++seen[m[i]];
      ASSERT_EQ(t.GetGroupOfFace(m[i]), g);
      ASSERT_EQ(faces[m[i]].textureSlot, slot);
    }
    // Connected through edges inside the group.
    std::vector<bool> reached(mesh.faceCount, false);
    std::deque<uint32_t> queue{m[0]};
    reached[m[0]] = true;
    uint32_t count = 0;
    while (!queue.empty()) {
      const uint32_t f = queue.front();
      queue.pop_front();
      ++count;
      for (uint32_t k = 0; k < 3; ++k) {
        const int32_t n = mesh.GetNeighbourFace(f, k);
        if (n >= 0 && !reached[n] && t.GetGroupOfFace(n) == g) {
          reached[n] = true;
          queue.push_back(n);
        }
      }
    }
    ASSERT_EQ(count, t.GetGroupSize(g)) << "group " << g << " is not edge-connected";
  }
  for (uint32_t f = 0; f < mesh.faceCount; ++f) ASSERT_EQ(seen[f], 1) << "face " << f;
  // Faces of one group sharing a vertex agree on their corner there.
  for (uint32_t a = 0; a < mesh.faceCount; ++a) {
    for (uint32_t b = a + 1; b < mesh.faceCount; ++b) {
      if (t.GetGroupOfFace(a) != t.GetGroupOfFace(b)) continue;
      for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
          if (mesh.indices[3 * a + i] == mesh.indices[3 * b + j]) {
            ASSERT_TRUE(SameCorner(faces[a].corners[i], faces[b].corners[j])) << a << " " << b;
          }
        }
      }
    }
  }
}

std::vector<uint8_t> Serialize(const VertexSharingTable& t) {
  std::vector<uint8_t> out(t.GetFileSize());
  t.Write(out.data());
  return out;
}

void Put(std::vector<uint8_t>& data, size_t word, uint32_t value) { std::memcpy(data.data() + 4 * word, &value, 4); }

}  // namespace

TEST(VertexSharingTable, SmallMeshes) {
  TriMesh pair;
  Fill(pair, {Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(1, 1, 0)}, {0, 1, 2, 2, 1, 3});
  std::vector<VertexSharingFace> faces = Uniform(pair, 1);
  VertexSharingTable t;
  ASSERT_TRUE(t.Build(pair, faces.data()));
  EXPECT_EQ(t.GetGroupCount(), 1u);
  EXPECT_EQ(t.GetGroupSize(0), 2u);
  CheckTable(t, pair, faces);

  faces[1].corners[0][2] = 0xFF00FF00;  // colour of face 1 at the shared vertex 2
  ASSERT_TRUE(t.Build(pair, faces.data()));
  EXPECT_EQ(t.GetGroupCount(), 2u);
  CheckTable(t, pair, faces);

  faces = Uniform(pair, 2);
  faces[0].textureSlot = 1;
  faces[1].textureSlot = 0;
  ASSERT_TRUE(t.Build(pair, faces.data()));
  ASSERT_EQ(t.GetGroupCount(), 2u);
  EXPECT_EQ(t.GetGroupMembers(0)[0], 1u);  // slot 0 first
  EXPECT_EQ(t.GetGroupOfFace(0), 1u);

  TriMesh lone;
  Fill(lone, {Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0)}, {0, 1, 2});
  faces = Uniform(lone, 0);
  ASSERT_TRUE(t.Build(lone, faces.data()));
  EXPECT_EQ(t.GetGroupCount(), 1u);
  EXPECT_EQ(t.GetGroupSize(0), 1u);
  EXPECT_EQ(t.GetFileSize(), (2u + 2u + 1u) * 4u);

  TriMesh noAdjacency;
  ASSERT_TRUE(noAdjacency.Allocate(3, 1));
  EXPECT_FALSE(t.Build(noAdjacency, faces.data()));
}

TEST(VertexSharingTable, StoredSizeOfFourFacesInTwoGroups) {
  TriMesh grid;
  MakeGrid(grid, 3);  // 8 faces
  grid.faceCount = 4;  // the first row of cells only
  grid.FreeAdjacency();
  ASSERT_TRUE(grid.BuildEdgeAdjacency());
  std::vector<VertexSharingFace> faces = Uniform(grid, 1);
  faces[2].textureSlot = faces[3].textureSlot = 2;
  VertexSharingTable t;
  ASSERT_TRUE(t.Build(grid, faces.data()));
  EXPECT_EQ(t.GetGroupCount(), 2u);
  EXPECT_EQ(t.GetFileSize(), 48u);
}

TEST(VertexSharingTable, RandomAttributesKeepTheInvariantsAndRoundTrip) {
  plat::srand(31);
  for (int round = 0; round < 40; ++round) {
    TriMesh grid;
    MakeGrid(grid, 3 + round % 6);
    std::vector<VertexSharingFace> faces = Uniform(grid, 0);
    for (auto& f : faces) {
      f.textureSlot = plat::rand() % (1 + round % 4);
      for (auto& corner : f.corners) {
        if (plat::rand() % 8 == 0) corner[plat::rand() % 3] ^= 1;  // a seam at this corner
      }
    }
    VertexSharingTable t;
    ASSERT_TRUE(t.Build(grid, faces.data()));
    CheckTable(t, grid, faces);

    const std::vector<uint8_t> file = Serialize(t);
    VertexSharingTable back;
    ASSERT_TRUE(back.Read(file.data(), file.size(), grid));
    EXPECT_EQ(Serialize(back), file);
    CheckTable(back, grid, faces);
  }
}

TEST(VertexSharingTable, HostileFileDataIsRefused) {
  TriMesh grid;
  MakeGrid(grid, 4);  // 18 faces
  std::vector<VertexSharingFace> faces = Uniform(grid, 0);
  for (uint32_t f = 0; f < grid.faceCount; ++f) faces[f].textureSlot = f % 3;
  VertexSharingTable t;
  ASSERT_TRUE(t.Build(grid, faces.data()));
  const std::vector<uint8_t> file = Serialize(t);
  const uint32_t F = grid.faceCount, G = t.GetGroupCount();

  VertexSharingTable r;
  for (size_t cut = 0; cut < file.size(); ++cut) {
    ASSERT_FALSE(r.Read(file.data(), cut, grid)) << cut;
    ASSERT_EQ(r.GetGroupCount(), 0u);
  }
  auto refused = [&](std::vector<uint8_t> data) { return !r.Read(data.data(), data.size(), grid); };
  std::vector<uint8_t> d = file;
  Put(d, 0, F + 1);  // face count of another mesh
  EXPECT_TRUE(refused(d));
  d = file;
  Put(d, 1, 0xFFFFFFFF);  // group count that would overflow the size sum
  EXPECT_TRUE(refused(d));
  d = file;
  Put(d, 2, G);  // face map names a missing group
  EXPECT_TRUE(refused(d));
  d = file;
  Put(d, 2 + F, t.GetGroupSize(0) + 1);  // sizes no longer add up
  EXPECT_TRUE(refused(d));
  d = file;
  Put(d, 2 + F + G, F);  // member out of range
  EXPECT_TRUE(refused(d));
  d = file;
  Put(d, 2 + F + G + 1, t.GetGroupMembers(0)[0]);  // a face listed twice
  EXPECT_TRUE(refused(d));
  d = file;
  // Swap the first members of groups 0 and 1: counts fine, map disagrees.
  Put(d, 2 + F + G, t.GetGroupMembers(1)[0]);
  Put(d, 2 + F + G + t.GetGroupSize(0), t.GetGroupMembers(0)[0]);
  EXPECT_TRUE(refused(d));
  EXPECT_FALSE(r.Read(nullptr, 64, grid));

  // Random corruption: either refused, or a table that still satisfies the partition rules.
  plat::srand(77);
  for (int n = 0; n < 2000; ++n) {
    d = file;
    const int flips = 1 + plat::rand() % 3;
    for (int i = 0; i < flips; ++i) d[plat::rand() % d.size()] ^= static_cast<uint8_t>(1 << (plat::rand() % 8));
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
