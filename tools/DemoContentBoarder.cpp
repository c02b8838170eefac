// DemoContentBoarder: a skinned skater on a board, its sequences and texture choices, built in code.
#include "tools/DemoContentBoarder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "core/data/DebugPrintf.h"
#include "park/skater/SkaterAnimationTable.h"
#include "render/image/Texture.h"
#include "scene/animation/AnimationRecord.h"
#include "scene/animation/AnimationSet.h"
#include "scene/animation/ControllerSet.h"
#include "scene/animation/KeyframeController.h"
#include "scene/animation/Skin.h"
#include "tools/DemoContent.h"

namespace DemoContent {
namespace {

constexpr float kSmoothing = 1.0471976f;
constexpr float kFrameRate = 30.0f;
constexpr uint32_t kBones = 4;
const char* const kBoneNames[kBones] = {"root", "hips", "chest", "head"};
// Bind offsets from the parent bone: the board under the feet, then up the body.
const float kBoneRise[kBones] = {-0.4f, 0.7f, 0.5f, 0.35f};
enum Slot : uint32_t { kHeadSlot = 0, kBodySlot = 1, kBoardSlot = 2, kSlots = 3 };

struct TextureChoice {
  const char* record;
  uint32_t slot;
  std::vector<uint32_t> textures;  // indices into the texture table
};
// Textures 0-2 are what slots 0-2 show at first; the rest are alternatives.
const char* const kTextureNames[] = {"boarder_head0.texture", "boarder_body0.texture", "boarder_board0.texture",
                                     "boarder_head1.texture", "boarder_head2.texture", "boarder_body1.texture",
                                     "boarder_body2.texture", "boarder_board1.texture"};
constexpr uint32_t kTextureCount = sizeof(kTextureNames) / sizeof(kTextureNames[0]);
const uint32_t kTextureColours[kTextureCount] = {0xFFE0B090, 0xFFC03030, 0xFF805020, 0xFFB08060,
                                                 0xFF604030, 0xFF3050C0, 0xFF30A040, 0xFF202020};

std::vector<TextureChoice> Choices() {
  return {{"Multitexture_skaterHEAD", kHeadSlot, {0, 3, 4}},
          {"Multitexture_skaterBODY", kBodySlot, {1, 5, 6}},
          {"Multitexture_skateboards", kBoardSlot, {2, 7}}};
}

// Faces with their texture slot, gathered before the mesh is made at its final size.
struct Figure {
  std::vector<Vector3> positions;
  std::vector<uint32_t> corners;
  std::vector<uint32_t> slots;  // per face
  std::vector<uint16_t> bones;  // per vertex: the lower bone of its blend
  std::vector<float> blend;     // per vertex: the share of the bone above

  uint32_t Vertex(const Vector3& p, uint16_t bone, float share) {
    positions.push_back(p);
    bones.push_back(bone);
    blend.push_back(share);
    return static_cast<uint32_t>(positions.size() - 1);
  }
  // Counter-clockwise from outside; stored the other way round, as the face normal rule wants.
  void Quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t slot) {
    corners.insert(corners.end(), {a, c, b, a, d, c});
    slots.insert(slots.end(), {slot, slot});
  }
  void Box(const Vector3& lo, const Vector3& hi, uint16_t bone, uint32_t slot) {
    uint32_t v[8];
    for (int i = 0; i < 8; ++i) {
      v[i] = Vertex(Vector3(i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z), bone, 0.0f);
    }
    Quad(v[4], v[5], v[7], v[6], slot);
    Quad(v[0], v[2], v[3], v[1], slot);
    Quad(v[1], v[3], v[7], v[5], slot);
    Quad(v[0], v[4], v[6], v[2], slot);
    Quad(v[2], v[6], v[7], v[3], slot);
    Quad(v[0], v[1], v[5], v[4], slot);
  }
  // An upright tube whose rings blend from the root up to the chest.
  void Body() {
    constexpr int kSides = 8, kRings = 7;
    constexpr float kBottom = -0.38f, kTop = 1.1f, kRadius = 0.15f;
    const uint32_t first = static_cast<uint32_t>(positions.size());
    for (int r = 0; r < kRings; ++r) {
      const float z = kBottom + (kTop - kBottom) * static_cast<float>(r) / (kRings - 1);
      // Joints at -0.4 (root), 0.3 (hips) and 0.8 (chest).
      const uint16_t bone = z < 0.3f ? 0 : (z < 0.8f ? 1 : 2);
      const float share = bone == 0 ? (z + 0.4f) / 0.7f : (bone == 1 ? (z - 0.3f) / 0.5f : 0.0f);
      for (int s = 0; s < kSides; ++s) {
        const float a = 6.2831853f * static_cast<float>(s) / kSides;
        Vertex(Vector3(kRadius * std::cos(a), kRadius * std::sin(a), z), bone, std::min(1.0f, std::max(0.0f, share)));
      }
    }
    for (int r = 0; r + 1 < kRings; ++r) {
      for (int s = 0; s < kSides; ++s) {
        const uint32_t a = first + r * kSides + s, next = first + r * kSides + (s + 1) % kSides;
        Quad(a, next, next + kSides, a + kSides, kBodySlot);
      }
    }
  }

  std::unique_ptr<ShadedMesh> Make() const {
    auto mesh = std::make_unique<ShadedMesh>();
    const uint32_t faces = static_cast<uint32_t>(slots.size());
    if (!mesh->Create("boarder", static_cast<uint32_t>(positions.size()), faces, kTextureCount, kSlots, 4, 1)) return nullptr;
    for (uint32_t t = 0; t < kTextureCount; ++t) mesh->SetTextureName(t, nullptr, kTextureNames[t]);
    std::copy(positions.begin(), positions.end(), mesh->allPositions);
    const Vector2 uv[4] = {Vector2(0, 0), Vector2(1, 0), Vector2(1, 1), Vector2(0, 1)};
    std::copy(uv, uv + 4, mesh->uvs);
    const uint32_t uvOfCorner[6] = {0, 2, 1, 0, 3, 2};
    for (uint32_t f = 0; f < faces; ++f) {
      mesh->faceRecords[f].textureSlot = slots[f];
      for (uint32_t k = 0; k < 3; ++k) {
        mesh->indices[3 * f + k] = static_cast<uint16_t>(corners[3 * f + k]);
        mesh->faceRecords[f].corners[k].uv = uvOfCorner[(f % 2) * 3 + k];
      }
    }
    mesh->ComputeAllFaceNormals();
    if (!mesh->ComputeNormalsAndBounds(kSmoothing)) return nullptr;
    mesh->ComputeVertexNormals();
    mesh->ComputeBounds();
    mesh->ResolveTextures();
    return mesh;
  }

  std::vector<std::vector<BoneInfluence>> Influences() const {
    std::vector<std::vector<BoneInfluence>> out(positions.size());
    for (size_t v = 0; v < positions.size(); ++v) {
      if (blend[v] < 1.0f) out[v].push_back({bones[v], 1.0f - blend[v]});
      if (blend[v] > 0.0f) out[v].push_back({static_cast<uint16_t>(bones[v] + 1), blend[v]});
    }
    return out;
  }
};

std::unique_ptr<Skin> BoarderSkin() {
  auto skin = std::make_unique<Skin>();
  skin->bones.resize(kBones);
  for (uint32_t i = 0; i < kBones; ++i) {
    SkinBone& bone = skin->bones[i];
    std::memset(bone.name, 0, sizeof(bone.name));
    std::strncpy(bone.name, kBoneNames[i], sizeof(bone.name) - 1);
    bone.bind = COrientation();
    bone.bind.position = Vector3(0.0f, 0.0f, kBoneRise[i]);
    bone.parent = i == 0 ? Skin::kNoParent : i - 1;
  }
  return skin;
}

// Seconds of each sequence: the loops a little longer than the one-off moves.
float SequenceLength(int entry, uint32_t category) {
  if (category == 7) return 1.2f;
  if (category == 1) return entry == 11 ? 1.0f : 0.5f;
  if (category == 2 || category == 3) return 0.8f;
  if (category == 4 || category == 5) return 1.0f;
  return entry == 1 || entry == 2 || entry == 3 ? 0.8f : 0.5f;
}

// The swing of one bone in one sequence: a turn about one axis out and back. The root carries the
// board and the whole body, so it only tips the skater on the board, at most kBoarderMaxRootSwing; the
// bends of a trick are the hips', chest's and head's.
Quaternion Swing(int entry, uint32_t bone, uint32_t category, float phase) {
  static const float kAmplitude[8][kBones] = {
      {0.0f, 0.2f, 0.3f, 0.2f},  {0.1f, 0.3f, 0.2f, 0.1f}, {0.25f, 0.5f, 0.5f, 0.2f}, {0.2f, 0.6f, 0.6f, 0.3f},
      {0.15f, 0.4f, 0.3f, 0.2f}, {0.2f, 0.3f, 0.3f, 0.1f}, {0.0f, 0.0f, 0.0f, 0.0f},  {0.25f, 0.9f, 0.7f, 0.5f}};
  const Vector3 axes[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
  const Vector3& axis = axes[(static_cast<uint32_t>(entry) + bone) % 3];
  const float sign = (entry + static_cast<int>(bone)) % 2 == 0 ? 1.0f : -1.0f;
  float angle = sign * kAmplitude[category][bone] * (1.0f + 0.1f * static_cast<float>(entry % 5)) * phase;
  if (bone == 0) angle = std::max(-kBoarderMaxRootSwing, std::min(kBoarderMaxRootSwing, angle));
  const float s = std::sin(0.5f * angle), c = std::cos(0.5f * angle);
  return Quaternion(axis.x * s, axis.y * s, axis.z * s, c);
}

// One timeline holds every sequence, a frame apart; each bone turns out and back within its
// sequence. Returns the table records and fills the controllers' keys.
std::vector<AnimationRecord> Sequences(std::vector<std::vector<RotationKey>>& keys, float& total) {
  std::vector<AnimationRecord> records;
  uint32_t frame = 0;
  const CSkaterAnimationTable table(nullptr, nullptr);
  for (int entry = 0; entry < CSkaterAnimationTable::kEntryCount; ++entry) {
    const uint32_t category = static_cast<uint32_t>(table.GetCategory(entry));
    const float length = SequenceLength(entry, category);
    const uint32_t frames = static_cast<uint32_t>(std::lround(length * kFrameRate));
    AnimationRecord record = {};
    std::strncpy(record.name, CSkaterAnimationTable::GetAnimationName(entry), sizeof(record.name) - 1);
    record.dataType = AnimationRecord::kXForm;
    record.playback = 1;  // looping; a play that should hold its end is held by the player
    record.startFrame = static_cast<int32_t>(frame);
    record.frameCount = frames;
    record.frameRate = kFrameRate;
    record.length = static_cast<float>(frames) / kFrameRate;
    record.inverseLength = 1.0f / record.length;
    records.push_back(record);
    const float start = static_cast<float>(frame) / kFrameRate;
    for (uint32_t bone = 0; bone < kBones; ++bone) {
      const float phases[3] = {0.0f, 1.0f, 0.0f};
      for (int k = 0; k < 3; ++k) {
        keys[bone].push_back({start + record.length * 0.5f * static_cast<float>(k), 0.0f, Swing(entry, bone, category, phases[k])});
      }
    }
    frame += frames + 1;
  }
  total = static_cast<float>(frame) / kFrameRate;
  return records;
}

std::unique_ptr<ControllerSet> Controllers(std::vector<std::vector<RotationKey>>& keys, float total) {
  auto set = std::make_unique<ControllerSet>();
  for (uint32_t bone = 0; bone < kBones; ++bone) {
    std::vector<RotationKey>& track = keys[bone];
    for (size_t k = 0; k + 1 < track.size(); ++k) {
      const float span = track[k + 1].time - track[k].time;
      track[k].rate = span > 0.0f ? 1.0f / span : 0.0f;
    }
    auto controller = std::make_unique<CKeyframeController>();
    controller->SetName(kBoneNames[bone]);
    controller->SetRotationKeys(track.data(), static_cast<uint32_t>(track.size()));
    controller->SetLength(total);
    controller->SetFrameTime(1.0f / kFrameRate);
    controller->RecomputeEndTime();
    set->Add(std::move(controller));
  }
  return set;
}

void AddAnimationTable(ShadedMesh& mesh) {
  std::vector<std::vector<RotationKey>> keys(kBones);
  float total = 0.0f;
  const std::vector<AnimationRecord> records = Sequences(keys, total);
  mesh.SetAnimation(Controllers(keys, total));
  const uint32_t count = static_cast<uint32_t>(records.size());
  std::vector<uint8_t> table(4 + sizeof(AnimationRecord) * records.size());
  std::memcpy(table.data(), &count, 4);
  std::memcpy(table.data() + 4, records.data(), sizeof(AnimationRecord) * records.size());
  mesh.AddAttachPoint(COrientation(), AnimationSet::kAttachType, static_cast<uint32_t>(table.size()), table.data(), false);
}

// The points the body is placed between: under the board's ends, and wider apart for a crash.
void AddContactPoints(ShadedMesh& mesh) {
  const struct {
    const char* text;
    float x;
  } points[] = {{"frontcontact", 0.3f}, {"backcontact", -0.3f}, {"crashfrontcontact", 0.5f}, {"crashbackcontact", -0.5f}};
  for (const auto& p : points) {
    COrientation at;
    at.position = Vector3(p.x, 0.0f, -0.45f);
    mesh.AddAttachPoint(at, kAttachNamedPoint, static_cast<uint32_t>(std::strlen(p.text) + 1), p.text, false);
  }
}

// name[64], count, driven slot, a reserved word, then the texture indices.
void AddTextureChoices(ShadedMesh& mesh) {
  for (const TextureChoice& choice : Choices()) {
    std::vector<uint8_t> data(76 + 4 * choice.textures.size(), 0);
    std::strncpy(reinterpret_cast<char*>(data.data()), choice.record, 63);
    const uint32_t words[3] = {static_cast<uint32_t>(choice.textures.size()), choice.slot, 0};
    std::memcpy(data.data() + 64, words, sizeof(words));
    std::memcpy(data.data() + 76, choice.textures.data(), 4 * choice.textures.size());
    mesh.AddAttachPoint(COrientation(), kAttachTextureList, static_cast<uint32_t>(data.size()), data.data(), false);
  }
}

// Each texture is named after its file: the software renderer keeps one converted copy per name,
// so textures sharing a name would all show whichever was drawn first.
bool WriteTexture(const std::string& path, uint32_t colour) {
  constexpr uint32_t kSide = 32;
  std::vector<uint32_t> pixels(kSide * kSide);
  // Stripes of the colour and a darker shade, so the choices tell apart at a glance.
  const uint32_t dark = 0xFF000000u | ((colour >> 1) & 0x7F7F7Fu);
  for (uint32_t y = 0; y < kSide; ++y)
    for (uint32_t x = 0; x < kSide; ++x) pixels[y * kSide + x] = ((y / 4) % 2 == 0) ? colour : dark;
  CTexture texture;
  return texture.CreateFromPixels(pixels.data(), 4, kSide, kSide, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0x10,
                                  std::filesystem::path(path).stem().string().c_str()) &&
         texture.Save(path.c_str(), 0);
}

}  // namespace

std::unique_ptr<ShadedMesh> BuildBoarder() {
  Figure figure;
  figure.Body();
  figure.Box(Vector3(-0.1f, -0.1f, 1.12f), Vector3(0.1f, 0.1f, 1.36f), 3, kHeadSlot);
  figure.Box(Vector3(-0.4f, -0.1f, -0.43f), Vector3(0.4f, 0.1f, -0.4f), 0, kBoardSlot);
  std::unique_ptr<ShadedMesh> mesh = figure.Make();
  if (!mesh) return nullptr;
  std::unique_ptr<Skin> skin = BoarderSkin();
  if (!BindSkinWeights(*skin, *mesh, figure.Influences())) return nullptr;
  mesh->SetSkin(std::move(skin));
  AddAnimationTable(*mesh);
  AddContactPoints(*mesh);
  AddTextureChoices(*mesh);
  return mesh;
}

std::vector<std::string> BoarderTextureFiles() {
  const std::string folder = std::filesystem::path(kBoarderMeshPath).parent_path().string();
  std::vector<std::string> files;
  for (const char* name : kTextureNames) files.push_back(folder + "/" + name);
  return files;
}

bool WriteBoarder(const std::string& folder) {
  const std::string meshPath = folder + "/" + kBoarderMeshPath;
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(meshPath).parent_path(), ignored);
  bool ok = true;
  const std::vector<std::string> textures = BoarderTextureFiles();
  for (uint32_t t = 0; t < textures.size(); ++t) {
    const std::string path = folder + "/" + textures[t];
    if (WriteTexture(path, kTextureColours[t])) continue;
    DebugPrintf("DemoContent: could not write %s\n", path.c_str());
    ok = false;
  }
  std::unique_ptr<ShadedMesh> mesh = BuildBoarder();
  if (!mesh || !mesh->Save(meshPath.c_str(), nullptr)) {
    DebugPrintf("DemoContent: could not write %s\n", meshPath.c_str());
    ok = false;
  }
  return ok;
}

}  // namespace DemoContent
