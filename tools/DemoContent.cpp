#include "tools/DemoContent.h"
#include "tools/DemoContentVehicle.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "core/data/DebugPrintf.h"
#include "scene/animation/ControllerSet.h"
#include "scene/patch/CurvedPatch.h"
#include "scene/animation/KeyframeController.h"
#include "scene/animation/AnimationRecord.h"
#include "scene/animation/AnimationSet.h"
#include "scene/mesh/NormalTable.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/animation/Skin.h"
#include "tools/DemoContentPieces.h"

namespace DemoContent {
namespace {

constexpr float kSmoothing = 1.0471976f;  // 60 degrees: box edges stay sharp

// Collects quads and triangles before the mesh is created at its final size.
struct Builder {
  std::vector<Vector3> positions;
  std::vector<uint32_t> corners;  // vertex per corner
  std::vector<uint32_t> uvOfCorner;
  std::vector<Vector2> uvs;
  std::vector<uint32_t> slotOfFace;
  uint32_t slot = 0;  // the texture slot of the faces added next

  uint32_t Vertex(float x, float y, float z) {
    positions.emplace_back(x, y, z);
    return static_cast<uint32_t>(positions.size() - 1);
  }
  uint32_t UV(float u, float v) {
    uvs.emplace_back(u, v);
    return static_cast<uint32_t>(uvs.size() - 1);
  }
  // Corners given counter-clockwise seen from outside; the mesh's face normal rule
  // (p2 - p0) x (p1 - p0) wants them the other way round.
  void Triangle(uint32_t a, uint32_t b, uint32_t c, uint32_t ua, uint32_t ub, uint32_t uc) {
    corners.insert(corners.end(), {a, c, b});
    uvOfCorner.insert(uvOfCorner.end(), {ua, uc, ub});
    slotOfFace.push_back(slot);
  }
  void Quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    if (uvs.empty()) {
      UV(0, 0);
      UV(1, 0);
      UV(1, 1);
      UV(0, 1);
    }
    Triangle(a, b, c, 0, 1, 2);
    Triangle(a, c, d, 0, 2, 3);
  }

  std::unique_ptr<ShadedMesh> Make(const char* name, const char* texture, uint32_t frames = 1) const {
    return Make(name, std::vector<const char*>{texture}, frames);
  }
  // Texture i fills slot i.
  std::unique_ptr<ShadedMesh> Make(const char* name, const std::vector<const char*>& textures,
                                   uint32_t frames = 1) const {
    const uint32_t count = static_cast<uint32_t>(textures.size());
    auto mesh = std::make_unique<ShadedMesh>();
    const uint32_t faces = static_cast<uint32_t>(corners.size() / 3);
    const uint32_t vertices = static_cast<uint32_t>(positions.size());
    if (!mesh->Create(name, vertices, faces, count, count, static_cast<uint32_t>(uvs.size()), frames)) return nullptr;
    for (uint32_t i = 0; i < count; ++i) mesh->SetTextureName(i, nullptr, textures[i]);
    for (uint32_t t = 0; t < frames; ++t) {
      std::copy(positions.begin(), positions.end(), mesh->allPositions + static_cast<size_t>(t) * vertices);
    }
    std::copy(uvs.begin(), uvs.end(), mesh->uvs);
    for (uint32_t f = 0; f < faces; ++f) {
      mesh->faceRecords[f].textureSlot = slotOfFace[f];
      for (uint32_t k = 0; k < 3; ++k) {
        mesh->indices[3 * f + k] = static_cast<uint16_t>(corners[3 * f + k]);
        mesh->faceRecords[f].corners[k].uv = uvOfCorner[3 * f + k];
      }
    }
    return mesh;
  }
};

// Normals, vertex normals and bounds; coverage only for a finished family (from its root).
std::unique_ptr<ShadedMesh> Finish(std::unique_ptr<ShadedMesh> mesh) {
  if (!mesh) return nullptr;
  mesh->ComputeAllFaceNormals();
  if (!mesh->ComputeNormalsAndBounds(kSmoothing)) return nullptr;
  mesh->ComputeVertexNormals();
  mesh->ComputeBounds();
  if (!mesh->parent) mesh->ResolveTextures();
  return mesh;
}

Builder BoxBuilder(float hx, float hy, float hz, uint32_t bottomSlot = 0) {
  Builder b;
  uint32_t v[8];
  for (int i = 0; i < 8; ++i) {
    v[i] = b.Vertex(i & 1 ? hx : -hx, i & 2 ? hy : -hy, i & 4 ? 2 * hz : 0.0f);
  }
  b.Quad(v[4], v[5], v[7], v[6]);  // top
  b.slot = bottomSlot;
  b.Quad(v[0], v[2], v[3], v[1]);  // bottom
  b.slot = 0;
  b.Quad(v[1], v[3], v[7], v[5]);  // +x
  b.Quad(v[0], v[4], v[6], v[2]);  // -x
  b.Quad(v[2], v[6], v[7], v[3]);  // +y
  b.Quad(v[0], v[1], v[5], v[4]);  // -y
  return b;
}

void AddNamedPoint(ShadedMesh* mesh, const char* name, const Vector3& at) {
  COrientation where;
  where.position = at;
  mesh->AddAttachPoint(where, kAttachNamedPoint, static_cast<uint32_t>(std::strlen(name) + 1), name, false);
}

}  // namespace

std::unique_ptr<ShadedMesh> BuildGroundGrid(uint32_t n, float cellSize) {
  auto mesh = std::make_unique<ShadedMesh>();
  if (!mesh->CreateGrid(n, nullptr, 1)) return nullptr;
  mesh->SetName("ground");
  const float half = 0.5f * cellSize * static_cast<float>(n - 1);
  for (uint32_t r = 0; r < n; ++r) {
    for (uint32_t c = 0; c < n; ++c) {
      mesh->allPositions[r * n + c] = Vector3(c * cellSize - half, r * cellSize - half, 0.0f);
    }
  }
  AddNamedPoint(mesh.get(), "centre", Vector3());
  for (int i = 0; i < 4; ++i) {
    const std::string name = "corner" + std::to_string(i);
    AddNamedPoint(mesh.get(), name.c_str(), Vector3(i & 1 ? half : -half, i & 2 ? half : -half, 0.0f));
  }
  const uint32_t key[4] = {0x67726F75u, 1, 2, 3};
  mesh->AddAttachPoint(COrientation(), kAttachMeshKey, sizeof(key), key, false);
  return Finish(std::move(mesh));
}

std::unique_ptr<ShadedMesh> BuildBox(float halfX, float halfY, float halfZ) {
  return Finish(BoxBuilder(halfX, halfY, halfZ).Make("box", "box.texture"));
}

std::unique_ptr<ShadedMesh> BuildRamp(float length, float width, float height) {
  Builder b;
  const float hy = 0.5f * width;
  const uint32_t a = b.Vertex(0, -hy, 0), c = b.Vertex(length, -hy, 0), e = b.Vertex(length, -hy, height);
  const uint32_t a2 = b.Vertex(0, hy, 0), c2 = b.Vertex(length, hy, 0), e2 = b.Vertex(length, hy, height);
  b.Quad(a, e, e2, a2);             // slope
  b.Quad(a, a2, c2, c);             // bottom
  b.Quad(c, c2, e2, e);             // back wall
  b.Triangle(a, c, e, 0, 1, 2);     // -y side
  b.Triangle(a2, e2, c2, 0, 2, 1);  // +y side
  return Finish(b.Make("ramp", "ramp.texture"));
}

std::unique_ptr<ShadedMesh> BuildSolid(const char* name, const char* texture, const std::vector<SolidPart>& parts) {
  Builder b;
  for (const SolidPart& part : parts) {
    const Vector3 lo = part.min, hi = part.max;
    if (!part.wedge) {
      uint32_t v[8];
      for (int i = 0; i < 8; ++i) v[i] = b.Vertex(i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z);
      b.Quad(v[4], v[5], v[7], v[6]);  // top
      b.Quad(v[0], v[2], v[3], v[1]);  // bottom
      b.Quad(v[1], v[3], v[7], v[5]);  // +x
      b.Quad(v[0], v[4], v[6], v[2]);  // -x
      b.Quad(v[2], v[6], v[7], v[3]);  // +y
      b.Quad(v[0], v[1], v[5], v[4]);  // -y
      continue;
    }
    // Rising along +y: the slope's low edge on the -y side, a wall on the +y side.
    const uint32_t a = b.Vertex(lo.x, lo.y, lo.z), c = b.Vertex(hi.x, lo.y, lo.z);
    const uint32_t d = b.Vertex(lo.x, hi.y, lo.z), e = b.Vertex(hi.x, hi.y, lo.z);
    const uint32_t dt = b.Vertex(lo.x, hi.y, hi.z), et = b.Vertex(hi.x, hi.y, hi.z);
    b.Quad(a, c, et, dt);        // slope
    b.Quad(a, d, e, c);          // bottom
    b.Quad(e, d, dt, et);        // wall
    b.Triangle(a, dt, d, 0, 1, 2);  // -x side
    b.Triangle(c, e, et, 0, 1, 2);  // +x side
  }
  return Finish(b.Make(name, texture));
}

std::unique_ptr<ShadedMesh> BuildLodRamp() {
  std::unique_ptr<ShadedMesh> root = BuildRamp(4.0f, 2.0f, 1.0f);
  std::unique_ptr<ShadedMesh> lod = Finish(BoxBuilder(2.0f, 1.0f, 0.5f).Make("ramp_LOD,pixels=40", "ramp.texture"));
  std::unique_ptr<ShadedMesh> inner = Finish(BoxBuilder(0.5f, 0.5f, 0.5f).Make("ramp_INTERNAL", "ramp.texture"));
  if (!root || !lod || !inner) return nullptr;
  const int lodPoint = root->AddAttachPoint(COrientation(), kAttachNamedPoint, 4, "lod", false);
  const int innerPoint = lod->AddAttachPoint(COrientation(), kAttachNamedPoint, 6, "inner", false);
  lod->AddChildMesh(std::move(inner), static_cast<uint32_t>(innerPoint));
  root->AddChildMesh(std::move(lod), static_cast<uint32_t>(lodPoint));
  root->ResolveTextures();
  return root;
}

std::unique_ptr<ShadedMesh> BuildAnimatedBox() {
  // The discs stand on see-through ground, which a pick ray passes; the opaque metal bottom is
  // what it finds, so that the piece can be picked up.
  std::unique_ptr<ShadedMesh> mesh =
      BoxBuilder(0.5f, 0.5f, 0.5f, 1).Make("spinner", {"spinner.texture", "metal.texture"}, 2);
  if (!mesh) return nullptr;
  for (uint32_t v = 0; v < mesh->vertexCount; ++v) mesh->allPositions[mesh->vertexCount + v].z += 1.0f;
  COrientation top;
  top.position = Vector3(0, 0, 1);
  const int point = mesh->AddAttachPoint(top, kAttachNamedPoint, 4, "top", true);
  mesh->animatedAttach[point][1].position = Vector3(0, 0, 2);

  auto controller = std::make_unique<CKeyframeController>();
  controller->SetName("spinner");
  const PositionKey lift[2] = {{0.0f, 0.0f, Vector3(0, 0, 0)}, {1.0f, 0.0f, Vector3(0, 0, 1)}};
  const float s = std::sin(0.5f * 1.5707964f), c = std::cos(0.5f * 1.5707964f);
  const RotationKey turn[2] = {{0.0f, 0.0f, Quaternion()}, {1.0f, 0.0f, Quaternion(0, 0, s, c)}};
  controller->SetPositionKeys(lift, 2);
  controller->SetRotationKeys(turn, 2);
  controller->SetLength(1.0f);
  controller->SetFrameTime(1.0f / 30.0f);
  controller->RecomputeEndTime();
  auto set = std::make_unique<ControllerSet>();
  set->Add(std::move(controller));
  mesh->SetAnimation(std::move(set));
  return Finish(std::move(mesh));
}

namespace {

// One bicubic patch over a square of the given side, its rim on the ground and its four inner
// control points raised: a dome. With rows along x the patch's front (dv x du) faces up, the side
// one-sided collision queries and back-face culling keep; with rows along y it faces down.
bool AttachDomePatch(ShadedMesh& mesh, float side, float innerHeight, bool rowsAlongX) {
  auto patch = std::make_unique<CurvedPatch>();
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      CurvedPatchControlVertex cv;
      const bool raised = row > 0 && row < 3 && col > 0 && col < 3;
      const float along = side * static_cast<float>(rowsAlongX ? row : col) / 3.0f;
      const float across = side * static_cast<float>(rowsAlongX ? col : row) / 3.0f;
      cv.position = Vector3(along, across, raised ? innerHeight : 0.0f);
      cv.u = col / 3.0f;
      cv.v = row / 3.0f;
      patch->AddControlVertex(cv);
    }
  }
  CurvedPatchFace face;
  CurvedPatchRecord record;
  record.Init(0, 4, 0, false);
  if (patch->AddFace(face) < 0 || !patch->AddPatch(record)) return false;
  mesh.SetCurvedPatches(std::move(patch));
  return true;
}

}  // namespace

std::unique_ptr<ShadedMesh> BuildPatchMesh() {
  Builder b;
  const uint32_t v0 = b.Vertex(0, 0, 0), v1 = b.Vertex(3, 0, 0), v2 = b.Vertex(3, 3, 0), v3 = b.Vertex(0, 3, 0);
  b.Quad(v0, v1, v2, v3);
  std::unique_ptr<ShadedMesh> mesh = b.Make("bump", "bump.texture");
  if (!mesh || !AttachDomePatch(*mesh, 3.0f, 1.0f, false)) return nullptr;
  return Finish(std::move(mesh));
}

std::unique_ptr<ShadedMesh> BuildPatchMound(const char* name, const char* texture, float side, float height) {
  // Only a bottom, facing down: seen from above, all of the mound is its patch.
  Builder b;
  const uint32_t v0 = b.Vertex(0, 0, 0), v1 = b.Vertex(side, 0, 0), v2 = b.Vertex(side, side, 0),
                 v3 = b.Vertex(0, side, 0);
  b.Quad(v0, v3, v2, v1);
  std::unique_ptr<ShadedMesh> mesh = b.Make(name, texture);
  // A bicubic patch with its rim on the ground peaks at 9/16 of its four inner points' height.
  if (!mesh || !AttachDomePatch(*mesh, side, height * 16.0f / 9.0f, true)) return nullptr;
  return Finish(std::move(mesh));
}

bool BindSkinWeights(Skin& skin, const ShadedMesh& mesh, const std::vector<std::vector<BoneInfluence>>& influences) {
  if (influences.size() != mesh.vertexCount || !mesh.allPositions) {
    DebugPrintf("DemoContent: %u influence lists for %u vertices\n", static_cast<uint32_t>(influences.size()),
                mesh.vertexCount);
    return false;
  }
  std::vector<COrientation> poses(skin.bones.size());
  for (uint32_t b = 0; b < poses.size(); ++b) poses[b] = skin.GetBindPose(b);
  skin.offsets.assign(1, 0);
  skin.weights.clear();
  for (uint32_t v = 0; v < mesh.vertexCount; ++v) {
    const Vector3 position = mesh.allPositions[v];
    const Vector3 normal = mesh.allVertexNormals ? NormalTable::Decode(mesh.allVertexNormals[v]) : Vector3(0, 0, 1);
    for (const BoneInfluence& in : influences[v]) {
      if (in.bone >= poses.size() || skin.weights.size() >= Skin::kMaxWeights) {
        DebugPrintf("DemoContent: vertex %u names bone %u of %u, or too many weights\n", v, in.bone,
                    static_cast<uint32_t>(poses.size()));
        return false;
      }
      // Bind poses are rigid, so their inverse is the transpose the world-to-local calls use.
      const COrientation& pose = poses[in.bone];
      skin.weights.push_back({in.bone, NormalTable::Encode(pose.WorldToLocalVector(normal)),
                              pose.WorldToLocalPoint(position), in.weight});
    }
    skin.offsets.push_back(static_cast<uint16_t>(skin.weights.size()));
  }
  return skin.Validate();
}

namespace {

// Sequence table with one looping transform sequence "idle" of 30 frames at 30 per second.
std::vector<uint8_t> IdleTable() {
  AnimationRecord idle = {};
  std::strncpy(idle.name, "idle", sizeof(idle.name) - 1);
  idle.dataType = AnimationRecord::kXForm;
  idle.playback = 1;  // loop
  idle.frameCount = 30;
  idle.frameRate = 30.0f;
  idle.length = 1.0f;
  idle.inverseLength = 1.0f;
  std::vector<uint8_t> table(4 + sizeof(AnimationRecord));
  const uint32_t count = 1;
  std::memcpy(table.data(), &count, 4);
  std::memcpy(table.data() + 4, &idle, sizeof(idle));
  return table;
}

// A controller that turns its bone about one axis through the given angles at evenly
// spaced times over one second.
std::unique_ptr<CKeyframeController> SwingController(const char* bone, const Vector3& axis, const std::vector<float>& angles) {
  std::vector<RotationKey> keys;
  for (size_t i = 0; i < angles.size(); ++i) {
    const float s = std::sin(0.5f * angles[i]), c = std::cos(0.5f * angles[i]);
    keys.push_back({static_cast<float>(i) / static_cast<float>(angles.size() - 1), 0.0f,
                    Quaternion(axis.x * s, axis.y * s, axis.z * s, c)});
  }
  auto controller = std::make_unique<CKeyframeController>();
  controller->SetName(bone);
  controller->SetRotationKeys(keys.data(), static_cast<uint32_t>(keys.size()));
  controller->SetLength(1.0f);
  controller->SetFrameTime(1.0f / 30.0f);
  controller->RecomputeEndTime();
  return controller;
}

}  // namespace

std::unique_ptr<ShadedMesh> BuildSkinnedFigure() {
  constexpr int kSides = 8, kRings = 13;
  constexpr float kRadius = 0.3f, kRingStep = 0.25f;
  Builder b;
  for (int r = 0; r < kRings; ++r) {
    for (int s = 0; s < kSides; ++s) {
      const float a = 6.2831853f * static_cast<float>(s) / kSides;
      b.Vertex(kRadius * std::cos(a), kRadius * std::sin(a), kRingStep * static_cast<float>(r));
    }
  }
  for (int r = 0; r + 1 < kRings; ++r) {
    for (int s = 0; s < kSides; ++s) {
      const uint32_t a = r * kSides + s, next = r * kSides + (s + 1) % kSides;
      b.Quad(a, next, next + kSides, a + kSides);
    }
  }
  std::unique_ptr<ShadedMesh> mesh = Finish(b.Make("figure", "figure.texture"));
  if (!mesh) return nullptr;

  auto skin = std::make_unique<Skin>();
  const char* names[3] = {"hips", "spine", "chest"};
  skin->bones.resize(3);
  for (uint32_t i = 0; i < 3; ++i) {
    SkinBone& bone = skin->bones[i];
    std::memset(bone.name, 0, sizeof(bone.name));
    std::strncpy(bone.name, names[i], sizeof(bone.name) - 1);
    bone.bind = COrientation();
    bone.bind.position = Vector3(0, 0, i == 0 ? 0.0f : 1.0f);
    bone.parent = i == 0 ? Skin::kNoParent : i - 1;
  }
  // Joints at heights 0, 1 and 2; each vertex blends linearly across the unit band around
  // the joint above its bone.
  std::vector<std::vector<BoneInfluence>> influences(mesh->vertexCount);
  for (uint32_t v = 0; v < mesh->vertexCount; ++v) {
    const float z = mesh->allPositions[v].z;
    const uint16_t lower = z < 1.5f ? 0 : 1;
    const float t = std::min(1.0f, std::max(0.0f, z - (lower + 0.5f)));
    if (t < 1.0f) influences[v].push_back({lower, 1.0f - t});
    if (t > 0.0f) influences[v].push_back({static_cast<uint16_t>(lower + 1), t});
  }
  if (!BindSkinWeights(*skin, *mesh, influences)) return nullptr;
  mesh->SetSkin(std::move(skin));

  auto set = std::make_unique<ControllerSet>();
  set->Add(SwingController("hips", Vector3(0, 0, 1), {0.0f, 0.3f, 0.0f, -0.3f, 0.0f}));
  set->Add(SwingController("spine", Vector3(1, 0, 0), {0.0f, 0.5f, 0.0f, -0.5f, 0.0f}));
  set->Add(SwingController("chest", Vector3(0, 1, 0), {0.0f, -0.4f, 0.0f, 0.4f, 0.0f}));
  mesh->SetAnimation(std::move(set));
  const std::vector<uint8_t> table = IdleTable();
  mesh->AddAttachPoint(COrientation(), AnimationSet::kAttachType, static_cast<uint32_t>(table.size()), table.data(),
                       false);
  return mesh;
}

std::vector<DemoFile> BuildAll() {
  std::vector<DemoFile> files;
  files.push_back({"meshes/ground.mesh", BuildGroundGrid(17, 4.0f)});
  files.push_back({"meshes/box.mesh", BuildBox(1.0f, 1.0f, 0.5f)});
  files.push_back({"meshes/ramp.mesh", BuildRamp(4.0f, 3.0f, 1.5f)});
  files.push_back({"meshes/lodramp.mesh", BuildLodRamp()});
  files.push_back({"meshes/spinner.mesh", BuildAnimatedBox()});
  files.push_back({"meshes/bump.mesh", BuildPatchMesh()});
  files.push_back({"meshes/figure.mesh", BuildSkinnedFigure()});
  files.push_back({"meshes/crate.mesh", BuildCrate()});
  files.push_back({"meshes/buggy.mesh", BuildBuggy()});
  files.push_back({"meshes/creature.mesh", BuildCreature()});
  for (const PieceSpec& piece : PieceSpecs()) files.push_back({std::string("meshes/") + piece.name + ".mesh", BuildPiece(piece)});
  files.push_back({std::string("meshes/") + kMoundPiece + ".mesh", BuildMoundPiece()});
  return files;
}

void FreeAll(std::vector<DemoFile>& files) {
  files.clear();
}

bool WriteAll(const std::string& folder) {
  std::vector<DemoFile> files = BuildAll();
  bool ok = true;
  for (const DemoFile& file : files) {
    const std::string path = folder + "/" + file.relativePath;
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    if (!file.mesh || !file.mesh->Save(path.c_str(), nullptr)) {
      DebugPrintf("DemoContent: could not write %s\n", path.c_str());
      ok = false;
    }
  }
  FreeAll(files);
  return ok;
}

}  // namespace DemoContent
