// Builders, a section-by-section comparison and Eigen references shared by the mesh tests.
#pragma once

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "core/math/Orientation.h"
#include "render/image/Texture.h"
#include "scene/animation/ControllerSet.h"
#include "scene/animation/Skin.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/VertexSharingTable.h"
#include "scene/patch/CurvedPatch.h"
#include "tests/support/MathCompare.h"
#include "tools/DemoContent.h"

namespace mesh_test {

// A frame as the double-precision affine map the instance and skeleton tests compare against.
inline Eigen::Affine3d ToEigen(const COrientation& o) {
  Eigen::Affine3d a = Eigen::Affine3d::Identity();
  for (int i = 0; i < 3; ++i) a.linear().col(i) = Eigen::Vector3d(o.axes.m[i].x, o.axes.m[i].y, o.axes.m[i].z);
  a.translation() = Eigen::Vector3d(o.position.x, o.position.y, o.position.z);
  return a;
}

inline Eigen::Vector3d E(const Vector3& v) { return Eigen::Vector3d(v.x, v.y, v.z); }

// Optional parts a test mesh can carry; every combination must survive a file round trip.
enum Part : uint32_t {
  kFaceNormals = 1 << 0,
  kSharing = 1 << 1,
  kAttributes = 1 << 2,
  kAnimation = 1 << 3,
  kSkin = 1 << 4,
  kPatches = 1 << 5,
  kNoCoverage = 1 << 6,
  kNoVertexNormals = 1 << 7,
  kAnimatedAttach = 1 << 8,
  kPartCount = 9
};

inline std::vector<uint8_t> SectionBytes(size_t size, const std::function<void(uint8_t*)>& write) {
  std::vector<uint8_t> bytes(size);
  if (size) write(bytes.data());
  return bytes;
}

inline std::unique_ptr<Skin> MakeSkin(uint32_t vertices) {
  auto skin = std::make_unique<Skin>();
  skin->bones.resize(2);
  for (uint32_t b = 0; b < 2; ++b) {
    std::memset(skin->bones[b].name, 0, sizeof(skin->bones[b].name));
    std::strcpy(skin->bones[b].name, b ? "arm" : "root");
    skin->bones[b].parent = b ? 0 : Skin::kNoParent;
    skin->bones[b].bind.position = Vector3(0, 0, static_cast<float>(b));
  }
  skin->keptWord = 7;
  skin->offsets.push_back(0);
  for (uint32_t v = 0; v < vertices; ++v) {
    skin->weights.push_back(SkinWeight{static_cast<uint16_t>(v % 2), static_cast<uint16_t>(v), Vector3(1, 2, 3), 1.0f});
    skin->offsets.push_back(static_cast<uint16_t>(skin->weights.size()));
  }
  return skin;
}

// A 9 x 9 ground grid with adjacency and a sharing table; every third face takes a second
// texture slot so that the faces fall into more than one render group. Null when a build fails.
inline std::unique_ptr<ShadedMesh> BuildGroupedGrid() {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildGroundGrid(9, 1.0f));
  if (!mesh || !mesh->BuildEdgeAdjacency()) return nullptr;
  for (uint32_t f = 0; f < mesh->faceCount; f += 3) mesh->faceRecords[f].textureSlot = 1;
  auto table = std::make_unique<VertexSharingTable>();
  if (!table->Build(*mesh, reinterpret_cast<const VertexSharingFace*>(mesh->faceRecords))) return nullptr;
  mesh->sharingTable = std::move(table);
  return mesh;
}

// A two-frame box with the chosen parts, built through the demo builders.
inline std::unique_ptr<ShadedMesh> BuildMesh(uint32_t parts) {
  std::unique_ptr<ShadedMesh> mesh = DemoContent::BuildAnimatedBox();
  if (!mesh) return nullptr;
  if (!(parts & kAnimation)) {
    mesh->SetAnimation(nullptr);
    mesh->flags &= ~ShadedMesh::kFlagAnimation;
  }
  if (!(parts & kFaceNormals)) mesh->RemoveFaceNormals();
  if (parts & kSharing) {
    mesh->BuildEdgeAdjacency();
    std::vector<VertexSharingFace> faces(mesh->faceCount);
    std::memcpy(faces.data(), mesh->faceRecords, faces.size() * sizeof(VertexSharingFace));
    mesh->sharingTable = std::make_unique<VertexSharingTable>();
    mesh->sharingTable->Build(*mesh, faces.data());
  }
  if (parts & kAttributes) {
    std::vector<uint32_t> words(mesh->faceCount);
    for (uint32_t f = 0; f < mesh->faceCount; ++f) words[f] = 0xA5000000u + f;
    mesh->SetFaceAttributes(words.data());
  }
  if (parts & kSkin) mesh->SetSkin(MakeSkin(mesh->vertexCount));
  if (parts & kPatches) {
    std::unique_ptr<ShadedMesh> donor = DemoContent::BuildPatchMesh();
    mesh->SetCurvedPatches(std::move(donor->patches));
    donor.reset();
  }
  if (parts & kNoCoverage) mesh->flags &= ~ShadedMesh::kFlagCoverage;
  if (parts & kNoVertexNormals) mesh->flags &= ~ShadedMesh::kFlagVertexNormals;
  if (!(parts & kAnimatedAttach)) mesh->animatedAttach[0].clear();
  mesh->AddAttachPoint(COrientation(), 1234, 0, nullptr, false);  // a point without data
  return mesh;
}

template <class T>
void ExpectSameArray(const T* a, const T* b, size_t count, const char* what) {
  SCOPED_TRACE(what);
  if (count == 0) return;
  ASSERT_TRUE(a && b);
  EXPECT_EQ(0, std::memcmp(a, b, count * sizeof(T)));
}

// Compares what a file carries, section by section. Bits the reader sets for what it had to
// compute (coverage, vertex normals, rewrite) are left out of the flag comparison.
inline void ExpectSameMesh(const ShadedMesh& a, const ShadedMesh& b) {
  const uint32_t computed = ShadedMesh::kFlagCoverage | ShadedMesh::kFlagVertexNormals | ShadedMesh::kFlagNeedsRewrite;
  EXPECT_EQ(a.flags & ~computed, b.flags & ~computed);
  EXPECT_EQ(a.GetName(), b.GetName());
  ASSERT_EQ(a.faceCount, b.faceCount);
  ASSERT_EQ(a.vertexCount, b.vertexCount);
  ASSERT_EQ(a.frameCount, b.frameCount);
  ASSERT_EQ(a.uvCount, b.uvCount);
  ASSERT_EQ(a.normalCount, b.normalCount);
  const size_t F = a.faceCount, V = a.vertexCount, T = a.frameCount, N = a.normalCount;
  ExpectSameArray(a.indices, b.indices, 3 * F, "faces");
  ExpectSameArray(a.allPositions, b.allPositions, V * T, "positions");
  ExpectSameArray(a.faceRecords, b.faceRecords, F, "face records");
  ExpectSameArray(a.uvs, b.uvs, a.uvCount, "uvs");
  EXPECT_EQ(a.allFaceNormals == nullptr, b.allFaceNormals == nullptr);
  if (a.allFaceNormals && b.allFaceNormals) ExpectSameArray(a.allFaceNormals, b.allFaceNormals, T * F, "face normals");
  ExpectSameArray(a.normalRecords, b.normalRecords, N, "normal records");
  if (N) ExpectSameArray(a.cornerList, b.cornerList, 3 * F, "corner list");
  ExpectSameArray(a.allCompressedNormals, b.allCompressedNormals, N * T, "compressed normals");
  EXPECT_EQ(a.sharingTable == nullptr, b.sharingTable == nullptr);
  if (a.sharingTable && b.sharingTable) {
    ASSERT_EQ(a.sharingTable->GetGroupCount(), b.sharingTable->GetGroupCount());
    for (uint32_t f = 0; f < F; ++f) EXPECT_EQ(a.sharingTable->GetGroupOfFace(f), b.sharingTable->GetGroupOfFace(f));
  }
  EXPECT_EQ(a.faceAttributes == nullptr, b.faceAttributes == nullptr);
  if (a.faceAttributes && b.faceAttributes) ExpectSameArray(a.faceAttributes, b.faceAttributes, F, "attributes");
  ASSERT_EQ(a.attachPoints.size(), b.attachPoints.size());
  for (size_t i = 0; i < a.attachPoints.size(); ++i) {
    const AttachPoint& p = a.attachPoints[i];
    const AttachPoint& q = b.attachPoints[i];
    EXPECT_PRED_FORMAT2(testing_support::SameBits, p.transform, q.transform);
    EXPECT_EQ(p.type, q.type);
    ASSERT_EQ(p.GetLength(), q.GetLength());
    ExpectSameArray(p.GetData(), q.GetData(), p.GetLength(), "attach data");
    ASSERT_EQ(a.animatedAttach[i].size(), b.animatedAttach[i].size());
    for (size_t t = 0; t < a.animatedAttach[i].size(); ++t)
      EXPECT_PRED_FORMAT2(testing_support::SameBits, a.animatedAttach[i][t], b.animatedAttach[i][t]);
  }
  EXPECT_EQ(a.childAttach, b.childAttach);
  EXPECT_EQ(a.textureOwner->textureNames, b.textureOwner->textureNames);
  EXPECT_EQ(a.slotCount, b.slotCount);
  if (a.allVertexNormals && (a.flags & ShadedMesh::kFlagVertexNormals)) {
    ExpectSameArray(a.allVertexNormals, b.allVertexNormals, V * T, "vertex normals");
  }
  if (a.flags & ShadedMesh::kFlagCoverage) EXPECT_EQ(a.textureOwner->coverage, b.coverage);
  EXPECT_EQ(a.patches == nullptr, b.patches == nullptr);
  if (a.patches && b.patches) {
    const size_t size = a.patches->GetFileSize();
    ASSERT_EQ(size, b.patches->GetFileSize());
    EXPECT_EQ(SectionBytes(size, [&](uint8_t* o) { a.patches->Write(o, size); }),
              SectionBytes(size, [&](uint8_t* o) { b.patches->Write(o, size); }));
  }
  EXPECT_EQ(a.animation == nullptr, b.animation == nullptr);
  if (a.animation && b.animation) {
    ASSERT_EQ(a.animation->GetFileSize(), b.animation->GetFileSize());
    EXPECT_EQ(SectionBytes(a.animation->GetFileSize(), [&](uint8_t* o) { a.animation->Write(o); }),
              SectionBytes(b.animation->GetFileSize(), [&](uint8_t* o) { b.animation->Write(o); }));
  }
  EXPECT_EQ(a.skin == nullptr, b.skin == nullptr);
  if (a.skin && b.skin) {
    ASSERT_EQ(a.skin->GetFileSize(), b.skin->GetFileSize());
    EXPECT_EQ(SectionBytes(a.skin->GetFileSize(), [&](uint8_t* o) { a.skin->Write(o); }),
              SectionBytes(b.skin->GetFileSize(), [&](uint8_t* o) { b.skin->Write(o); }));
  }
}

inline std::vector<uint8_t> FileImage(const ShadedMesh& mesh) {
  std::vector<uint8_t> bytes(mesh.GetFileSize());
  const size_t written = mesh.Serialize(bytes.data(), bytes.size());
  EXPECT_EQ(written, bytes.size());
  return bytes;
}

// Alphas of the 4 x 4 texels of the ray-test textures, row by row: both sides of both cut-offs
// (64 and 128), laid out without symmetry so that a texel read at the wrong point of a face shows.
constexpr uint8_t kLayerAlphas[16] = {0, 63, 64, 127, 128, 255, 30, 100, 140, 10, 250, 64, 63, 128, 127, 0};

// A 4 x 4 texture of those alphas (so of both translucent kinds) with more flag-word bits.
inline void MakeAlphaTexture(CTexture& t, uint32_t flagBits) {
  uint32_t pixels[16];
  for (uint32_t i = 0; i < 16; ++i) pixels[i] = uint32_t(kLayerAlphas[i]) << 24 | 0x406080u;
  ASSERT_TRUE(t.CreateFromPixels(pixels, 4, 4, 4, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, flagBits, "layer"));
}

// Two unit squares one over the other, texture coordinates equal to x and y: the upper at z = 1
// under slot 0 (faces 0 and 1), the lower at z = 0 under slot 1 (faces 2 and 3). Corner colours
// differ from face to face and corner to corner.
inline std::unique_ptr<ShadedMesh> TwoLayers(CTextureProperties* upper, CTextureProperties* lower) {
  auto mesh = std::make_unique<ShadedMesh>();
  EXPECT_TRUE(mesh->Create("layers", 8, 4, 2, 2, 8, 1));
  for (uint32_t layer = 0; layer < 2; ++layer) {
    for (uint32_t c = 0; c < 4; ++c) {
      const float x = float(c & 1), y = float(c >> 1);
      mesh->allPositions[4 * layer + c] = Vector3(x, y, 1.0f - float(layer));
      mesh->uvs[4 * layer + c] = Vector2(x, y);
    }
    const uint16_t a = uint16_t(4 * layer);
    const uint16_t tris[2][3] = {{a, uint16_t(a + 1), uint16_t(a + 3)}, {a, uint16_t(a + 3), uint16_t(a + 2)}};
    for (uint32_t t = 0; t < 2; ++t) {
      const uint32_t f = 2 * layer + t;
      mesh->faceRecords[f].textureSlot = layer;
      for (uint32_t k = 0; k < 3; ++k) {
        mesh->indices[3 * f + k] = tris[t][k];
        mesh->faceRecords[f].corners[k].uv = tris[t][k];
        mesh->faceRecords[f].corners[k].color = Color::FromWord(0xFF102030u + 16 * f + k);
      }
    }
  }
  EXPECT_TRUE(mesh->ComputeNormalsAndBounds(0.5f));
  mesh->SetTextureName(0, upper, "upper");
  mesh->SetTextureName(1, lower, "lower");
  mesh->ResetSlots();
  return mesh;
}

}  // namespace mesh_test
