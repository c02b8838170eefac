// Mesh files: round trips over every combination of optional sections, mapped against copied
// loads, hostile images, upgrades of outdated files and the files of child meshes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/system/Platform.h"
#include "scene/meshfile/MeshFileLayout.h"
#include "tests/scene/MeshTestSupport.h"
#include "tests/support/InputCost.h"
#include "tests/support/TempFolder.h"

using mesh_test::BuildMesh;
using mesh_test::ExpectSameArray;
using mesh_test::ExpectSameMesh;
using mesh_test::FileImage;
using testing_support::DebugCapture;
using testing_support::ReadBytes;
using testing_support::TempFolder;

namespace {

void PatchWord(std::string& bytes, size_t word, uint32_t value) { std::memcpy(&bytes[4 * word], &value, 4); }
void PatchWord(std::vector<uint8_t>& bytes, size_t word, uint32_t value) { std::memcpy(&bytes[4 * word], &value, 4); }

uint32_t WordOf(const std::string& bytes, size_t word) {
  uint32_t v;
  std::memcpy(&v, &bytes[4 * word], 4);
  return v;
}

}  // namespace

TEST(MeshFileTest, EveryCombinationOfSectionsSurvivesARoundTrip) {
  DebugCapture quiet;
  for (uint32_t parts = 0; parts < (1u << mesh_test::kPartCount); ++parts) {
    SCOPED_TRACE(parts);
    std::unique_ptr<ShadedMesh> original(BuildMesh(parts));
    ASSERT_TRUE(original);
    EXPECT_EQ(original->allFaceNormals == nullptr, original->faceNormals == nullptr) << "no frame pointer left dangling";
    const std::vector<uint8_t> image = FileImage(*original);
    // Both header words that announce the face normals, at the byte offsets stored files have
    // them (16 and 208): other readers of the format look at the first.
    const bool normals = (parts & mesh_test::kFaceNormals) != 0;
    for (const size_t offset : {16u, 208u}) {
      uint32_t gate;
      std::memcpy(&gate, &image[offset], 4);
      EXPECT_EQ(gate != 0, normals) << offset;
    }

    // Copied, in place from an aligned image, and in place from an odd address (which must
    // fall back to copies for the arrays it cannot use unaligned).
    std::vector<uint8_t> shifted(image.size() + 1);
    std::memcpy(shifted.data() + 1, image.data(), image.size());
    std::vector<uint8_t> aligned(image);
    ShadedMesh copied, inPlace, odd;
    ASSERT_TRUE(copied.Parse(image.data(), image.size(), false));
    ASSERT_TRUE(inPlace.Parse(aligned.data(), aligned.size(), true));
    ASSERT_TRUE(odd.Parse(shifted.data() + 1, image.size(), true));
    ExpectSameMesh(*original, copied);
    ExpectSameMesh(*original, inPlace);
    ExpectSameMesh(*original, odd);
    COrientation turned;
    turned.RotateZ(0.5f);
    inPlace.Transform(turned);  // turning a mesh read in place changes its own copies: the image stays as it was
    EXPECT_EQ(aligned, image);

    // A second generation writes the same bytes (nothing is lost or invented on the way; the
    // image helper checks the measured size), and only a computed section marks a rewrite.
    const std::vector<uint8_t> again = FileImage(copied);
    const bool computed = (parts & (mesh_test::kNoCoverage | mesh_test::kNoVertexNormals)) != 0;
    EXPECT_EQ(computed ? ShadedMesh::kFlagNeedsRewrite : 0u, copied.flags & ShadedMesh::kFlagNeedsRewrite);
    if (!computed) EXPECT_EQ(image, again);
  }
}

TEST(MeshFileTest, MappedAndCopiedLoadsAgreeAndSizesMatchTheFiles) {
  TempFolder folder;
  DebugCapture quiet;
  const uint32_t all = (1u << mesh_test::kPartCount) - 1 - mesh_test::kNoCoverage - mesh_test::kNoVertexNormals;
  const long openBefore = testing_support::OpenDescriptors();
  for (uint32_t parts : {0u, all, static_cast<uint32_t>(mesh_test::kSkin | mesh_test::kSharing)}) {
    std::unique_ptr<ShadedMesh> original(BuildMesh(parts));
    const std::string path = folder.Path() + "m" + std::to_string(parts) + ".mesh";
    ASSERT_TRUE(original->Save(path.c_str(), nullptr));
    EXPECT_EQ(original->GetFileSize(), std::filesystem::file_size(path));

    ShadedMesh mapped, copied;
    ASSERT_TRUE(mapped.Load(path.c_str(), nullptr, 9, true, true, false));
    ASSERT_TRUE(copied.Load(path.c_str(), nullptr, 9, false, true, false));
    EXPECT_EQ(testing_support::OpenDescriptors(), openBefore + 1) << "a mapped mesh holds one descriptor, a copy none";
    ExpectSameMesh(*original, mapped);

    // Saving over the file the mesh is mapped from leaves the mapped arrays intact.
    std::unique_ptr<ShadedMesh> other(DemoContent::BuildBox(5, 5, 5));
    ASSERT_TRUE(other->Save(path.c_str(), nullptr));
    ExpectSameMesh(copied, mapped);
  }
}

TEST(MeshFileTest, TruncatedAndDamagedImagesFailCleanly) {
  DebugCapture quiet;
  const uint32_t all = (1u << mesh_test::kPartCount) - 1 - mesh_test::kNoCoverage - mesh_test::kNoVertexNormals;
  std::unique_ptr<ShadedMesh> original(BuildMesh(all));
  const std::vector<uint8_t> image = FileImage(*original);
  for (size_t length = 0; length < image.size(); ++length) {
    // A fresh heap block of exactly the prefix's length, so any over-read is caught.
    std::vector<uint8_t> prefix(image.begin(), image.begin() + length);
    ShadedMesh copied, inPlace;
    EXPECT_FALSE(testing_support::WithinLinearCost(length, [&] { return copied.Parse(prefix.data(), prefix.size(), false); })) << length;
    EXPECT_FALSE(testing_support::WithinLinearCost(length, [&] { return inPlace.Parse(prefix.data(), prefix.size(), true); })) << length;
    EXPECT_EQ(0u, copied.faceCount);
    EXPECT_FALSE(copied.IsLoaded());
  }
  plat::srand(5);
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> damaged(image);
    const int flips = 1 + plat::rand() % 4;
    for (int i = 0; i < flips; ++i) {
      // Half the flips land in the header, where the counts and gates are.
      const size_t range = plat::rand() % 2 ? MeshFileLayout::kHeaderSize : damaged.size();
      const size_t at = static_cast<size_t>(plat::rand() * 32768 + plat::rand()) % range;
      damaged[at] ^= static_cast<uint8_t>(1 + plat::rand() % 255);
    }
    ShadedMesh mesh;
    if (!testing_support::WithinLinearCost(damaged.size(), [&] { return mesh.Parse(damaged.data(), damaged.size(), round % 2 == 0); })) continue;
    ++accepted;
    // Whatever was accepted must be a mesh that writes and reads back.
    const std::vector<uint8_t> again = FileImage(mesh);
    ShadedMesh reread;
    EXPECT_TRUE(reread.Parse(again.data(), again.size(), false)) << round;
  }
  EXPECT_GT(accepted, 0);
}

TEST(MeshFileTest, HostileCountsAndIndicesAreRefused) {
  DebugCapture log;
  std::unique_ptr<ShadedMesh> original(BuildMesh(mesh_test::kAnimatedAttach));
  const std::vector<uint8_t> image = FileImage(*original);
  auto refused = [&](const std::function<void(std::vector<uint8_t>&)>& damage) {
    std::vector<uint8_t> bytes(image);
    damage(bytes);
    ShadedMesh mesh;
    return !mesh.Parse(bytes.data(), bytes.size(), false);
  };
  auto word = [](std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); };
  using namespace MeshFileLayout;
  const size_t faces = kHeaderSize;
  const size_t records = faces + original->faceCount * 6 + original->vertexCount * original->frameCount * 12;
  EXPECT_TRUE(refused([&](auto& b) { b[faces] = static_cast<uint8_t>(original->vertexCount); b[faces + 1] = 0; }));
  EXPECT_TRUE(refused([&](auto& b) { word(b, records + 4, original->uvCount); }));             // UV index
  EXPECT_TRUE(refused([&](auto& b) { word(b, records + 8, original->normalCount); }));         // normal index
  // Header words at the byte offsets stored files have them: vertex count 8, frame count 196.
  EXPECT_TRUE(refused([&](auto& b) { word(b, 8, 70000); }));
  EXPECT_TRUE(refused([&](auto& b) { word(b, 196, 0); }));
  EXPECT_TRUE(refused([&](auto& b) { word(b, 196, 0xFFFFFFFF); }));
  const size_t positions = faces + original->faceCount * 6;
  for (uint32_t bits : {0x7FC00000u, 0x7F800000u, 0xFF800000u}) {  // NaN, +inf, -inf
    EXPECT_TRUE(refused([&](auto& b) { word(b, positions + 4, bits); })) << bits;  // first y
    EXPECT_TRUE(refused([&](auto& b) { word(b, records - 4, bits); })) << bits;    // last z
  }
  EXPECT_FALSE(refused([&](auto& b) { word(b, positions + 4, 0x7F7FFFFF); }));  // the largest float is a number
  EXPECT_TRUE(refused([&](auto& b) { word(b, 148, 0x10000000); }));  // attach count
  EXPECT_TRUE(refused([&](auto& b) { word(b, 232, 0xFFFFFFFF); }));  // texture slot count
  EXPECT_TRUE(refused([&](auto& b) { word(b, 0, 53); }));           // version
  EXPECT_TRUE(refused([&](auto& b) { word(b, 0, 50); }));
  // The normal records and the corner list follow the UVs.
  const size_t normals = records + original->faceCount * 40 + original->uvCount * 8;
  EXPECT_TRUE(refused([&](auto& b) { word(b, normals, original->vertexCount); }));               // vertex
  EXPECT_TRUE(refused([&](auto& b) { word(b, normals + 8, 3 * original->faceCount + 1); }));     // end
  EXPECT_TRUE(refused([&](auto& b) { word(b, normals + 12 * original->normalCount, 3 * original->faceCount); }));
  EXPECT_NE(std::string::npos, log.Text().find("ShadedMesh: "));
}

// A bare header (no faces, no vertices) stores nothing per frame, so only the frame cap bounds
// its count: a huge one is refused at once instead of computing normals for every frame, and an
// accepted one writes a file that reads back whatever trailing bytes the original had.
TEST(MeshFileTest, FrameCountIsBoundedWhereFramesHoldNothing) {
  DebugCapture log;
  auto parse = [&](uint32_t frames, size_t trailing) {
    std::vector<uint8_t> header(MeshFileLayout::kHeaderSize + trailing, 0);
    PatchWord(header, MeshFileLayout::kWordVersion, ShadedMesh::kVersion);
    PatchWord(header, MeshFileLayout::kWordFrameCount, frames);
    ShadedMesh mesh;
    bool parsed = false;
    EXPECT_TRUE(testing_support::CostsNearLinear(header.size(), [&] { parsed = mesh.Parse(header.data(), header.size(), false); }));
    if (!parsed) return false;
    EXPECT_EQ(mesh.frameCount, frames);
    const std::vector<uint8_t> again = FileImage(mesh);
    ShadedMesh reread;
    EXPECT_TRUE(reread.Parse(again.data(), again.size(), false)) << frames;
    return true;
  };
  EXPECT_TRUE(parse(1, 0));
  EXPECT_TRUE(parse(400, 262));
  EXPECT_TRUE(parse(65536, 0));
  EXPECT_FALSE(parse(65537, 0));
  EXPECT_FALSE(parse(0xFFFFFFFFu, 0));
  EXPECT_NE(std::string::npos, log.Text().find("more frames than any animation has"));
}

TEST(MeshFileTest, OutdatedFilesAreUpgradedAndRewrittenOnce) {
  TempFolder folder;
  std::unique_ptr<ShadedMesh> original(DemoContent::BuildLodRamp());
  const std::string path = folder.Path() + "ramp.mesh";
  ASSERT_TRUE(original->Save(path.c_str(), nullptr));
  std::string bytes = ReadBytes(path);
  PatchWord(bytes, MeshFileLayout::kWordVersion, 51);
  folder.Write("ramp.mesh", bytes);

  for (bool mapped : {true, false}) {
    DebugCapture log;
    ShadedMesh first;
    ASSERT_TRUE(first.Load(path.c_str(), nullptr, 0, mapped, true, false));
    EXPECT_NE(std::string::npos, log.Text().find("Updating Mesh File: " + path + "\n"));
    const std::string rewritten = ReadBytes(path);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(FileImage(*original).data()), rewritten.size()), rewritten);

    log.Clear();
    ShadedMesh second;
    ASSERT_TRUE(second.Load(path.c_str(), nullptr, 0, mapped, true, false));
    EXPECT_EQ(std::string::npos, log.Text().find("Updating Mesh File"));
    EXPECT_EQ(rewritten, ReadBytes(path));
    ExpectSameMesh(first, second);
    PatchWord(bytes, MeshFileLayout::kWordVersion, 51);
    folder.Write("ramp.mesh", bytes);
  }

  // Another version is not read at all, and its file is left alone.
  PatchWord(bytes, MeshFileLayout::kWordVersion, 49);
  folder.Write("ramp.mesh", bytes);
  DebugCapture log;
  ShadedMesh refused;
  EXPECT_FALSE(refused.Load(path.c_str(), nullptr, 0, true, true, false));
  EXPECT_FALSE(refused.Save(path.c_str(), nullptr));
  EXPECT_EQ(bytes, ReadBytes(path));
  // Built anew in code, the same object holds a whole mesh again.
  ASSERT_TRUE(refused.Create("made", 0, 0, 0, 0, 0, 1));
  EXPECT_TRUE(refused.IsLoaded());
}

TEST(MeshFileTest, MissingComputedSectionsAreComputedAndWrittenBack) {
  TempFolder folder;
  DebugCapture quiet;
  std::unique_ptr<ShadedMesh> original(BuildMesh(mesh_test::kNoCoverage | mesh_test::kNoVertexNormals));
  const std::string path = folder.Path() + "box.mesh";
  ASSERT_TRUE(original->Save(path.c_str(), nullptr));
  ShadedMesh loaded;
  ASSERT_TRUE(loaded.Load(path.c_str(), nullptr, 0, true, true, false));
  const uint32_t flags = WordOf(ReadBytes(path), MeshFileLayout::kWordFlags);
  EXPECT_TRUE(flags & ShadedMesh::kFlagCoverage);
  EXPECT_TRUE(flags & ShadedMesh::kFlagVertexNormals);

  // What was computed on load equals what the builder computed.
  std::unique_ptr<ShadedMesh> complete(BuildMesh(0));
  ExpectSameArray(complete->allVertexNormals, loaded.allVertexNormals, loaded.vertexCount * loaded.frameCount, "vn");
  EXPECT_EQ(complete->coverage, loaded.coverage);
}

TEST(MeshFileTest, OldNormalLayoutIsSkippedAndRebuilt) {
  DebugCapture quiet;
  std::unique_ptr<ShadedMesh> original(DemoContent::BuildBox(1, 1, 1));
  const std::vector<uint8_t> image = FileImage(*original);
  // Rebuild the image with the old normal layout: same N, flag 0x400 clear, ((T+1)N+F)*12 bytes.
  const size_t F = original->faceCount, V = original->vertexCount, N = original->normalCount;
  EXPECT_EQ(std::memcmp(&image[4 * 31], &original->normalCount, 4), 0);  // its header word in both layouts
  const size_t normalsAt = MeshFileLayout::kHeaderSize + F * 6 + V * 12 + F * 40 + original->uvCount * 8 + F * 12;
  const size_t newSize = N * 12 + F * 12 + N * 2;
  std::vector<uint8_t> old(image.begin(), image.begin() + normalsAt);
  old.resize(old.size() + (2 * N + F) * 12, 0xEE);
  old.insert(old.end(), image.begin() + normalsAt + newSize, image.end());
  uint32_t flags;
  std::memcpy(&flags, &old[4 * MeshFileLayout::kWordFlags], 4);
  flags &= ~ShadedMesh::kFlagCompressedNormals;
  std::memcpy(&old[4 * MeshFileLayout::kWordFlags], &flags, 4);

  ShadedMesh rebuilt;
  ASSERT_TRUE(rebuilt.Parse(old.data(), old.size(), false));
  EXPECT_TRUE(rebuilt.flags & ShadedMesh::kFlagNeedsRewrite);
  ExpectSameMesh(*original, rebuilt);
}

TEST(MeshFileTest, ChildFilesAreNamedFoundAndNeverOverwrittenWhenTheyFailedToLoad) {
  EXPECT_EQ("d/ramp-a.mesh", ShadedMesh::ChildFileName("d/ramp.mesh", 0));
  EXPECT_EQ("d/ramp-a-b.mesh", ShadedMesh::ChildFileName("d/ramp-a.mesh", 1));
  EXPECT_EQ("", ShadedMesh::ChildFileName("d.x/ramp", 0));
  EXPECT_EQ("d", ShadedMesh::FolderOf("d\\ramp.mesh"));
  EXPECT_EQ(".", ShadedMesh::FolderOf("ramp.mesh"));

  TempFolder folder;
  std::unique_ptr<ShadedMesh> family(DemoContent::BuildLodRamp());
  const std::string path = folder.Path() + "ramp.mesh";
  ASSERT_TRUE(family->Save(path.c_str(), nullptr));
  for (const char* name : {"ramp.mesh", "ramp-a.mesh", "ramp-a-a.mesh"}) {
    EXPECT_TRUE(std::filesystem::exists(folder.Path() + name)) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "ramp-b.mesh"));

  ShadedMesh loaded;
  ASSERT_TRUE(loaded.Load(path.c_str(), nullptr, 0, false, true, false));
  ASSERT_EQ(1u, loaded.children.size());
  ShadedMesh* lod = loaded.children[0].get();
  ASSERT_TRUE(lod && lod->IsLoaded());
  EXPECT_EQ(folder.Path() + "ramp-a.mesh", lod->path);
  ASSERT_EQ(1u, lod->children.size());
  EXPECT_EQ(&loaded, lod->children[0]->textureOwner);
  ExpectSameMesh(*family->children[0], *lod);
  ExpectSameMesh(*family->children[0]->children[0], *lod->children[0]);

  // A child that fails to load leaves the parent loaded; saving never writes the failed child.
  std::filesystem::remove(folder.Path() + "ramp-a.mesh");
  DebugCapture log;
  ShadedMesh partial;
  ASSERT_TRUE(partial.Load(path.c_str(), nullptr, 0, true, true, false));
  ASSERT_EQ(1u, partial.children.size());
  EXPECT_FALSE(partial.children[0]->IsLoaded());
  EXPECT_NE(log.Text().find("Error Loading File: \"" + folder.Path() + "ramp-a.mesh\" - Check path and file name!\n\t\t\t\t"
                           "Current Working Directory: " + std::filesystem::current_path().string() + "\n"),
            std::string::npos);
  EXPECT_FALSE(partial.Save(path.c_str(), nullptr));
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "ramp-a.mesh"));
  EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(MeshFileTest, FailedWritesAreReported) {
  DebugCapture log;
  std::unique_ptr<ShadedMesh> box(DemoContent::BuildBox(1, 1, 1));
  EXPECT_FALSE(box->Save("/nonexistent-folder/box.mesh", nullptr));
  EXPECT_NE(std::string::npos, log.Text().find("Error Creating File: '/nonexistent-folder/box.mesh'"));
  std::vector<uint8_t> small(box->GetFileSize() - 1);
  EXPECT_EQ(0u, box->Serialize(small.data(), small.size()));
}
