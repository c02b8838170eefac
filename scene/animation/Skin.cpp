// Skin: bone and weight checks, bind poses and the mesh-file section.
#include "scene/animation/Skin.h"

#include <cmath>
#include <cstring>

#include "core/data/DebugPrintf.h"
#include "platform/system/Win32.h"
#include "scene/mesh/NormalTable.h"

namespace {

constexpr size_t kBoneSize = 116;
constexpr size_t kWeightSize = 20;

void PutWord(uint8_t*& out, uint32_t value) {
  std::memcpy(out, &value, 4);
  out += 4;
}
void PutFloat(uint8_t*& out, float value) {
  std::memcpy(out, &value, 4);
  out += 4;
}
uint32_t GetWord(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
float GetFloat(const uint8_t* p) {
  float v;
  std::memcpy(&v, p, 4);
  return v;
}
uint16_t GetHalf(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

bool Finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
bool Finite(const COrientation& o) {
  return Finite(o.axes.m[0]) && Finite(o.axes.m[1]) && Finite(o.axes.m[2]) && Finite(o.position);
}

}  // namespace

void Skin::Reset() {
  bones.clear();
  offsets.clear();
  weights.clear();
}

int Skin::FindBone(const char* name) const {
  if (!name) return -1;
  for (size_t i = 0; i < bones.size(); ++i) {
    if (std::strncmp(bones[i].name, name, 63) == 0) return static_cast<int>(i);
  }
  return -1;
}

bool Skin::BonesValid() const {
  // Each walk up a parent chain stops at a root, at a bone already known to reach a root,
  // or at a bone of its own walk (a loop); every bone is finished once, so this is linear.
  enum : uint8_t { kUnseen, kWalking, kRooted };
  std::vector<uint8_t> state(bones.size(), kUnseen);
  std::vector<uint32_t> walk;
  for (size_t start = 0; start < bones.size(); ++start) {
    walk.clear();
    uint32_t b = static_cast<uint32_t>(start);
    while (state[b] == kUnseen) {
      state[b] = kWalking;
      walk.push_back(b);
      const uint32_t parent = bones[b].parent;
      if (parent == kNoParent) break;
      if (parent >= bones.size()) {
        DebugPrintf("Skin: bone %u names missing parent %u\n", b, parent);
        return false;
      }
      b = parent;
    }
    if (state[b] == kWalking && bones[b].parent != kNoParent) {
      DebugPrintf("Skin: bone %u lies on a parent loop\n", b);
      return false;
    }
    for (uint32_t w : walk) state[w] = kRooted;
  }
  return true;
}

bool Skin::Validate() const {
  if (!BonesValid()) return false;
  for (size_t b = 0; b < bones.size(); ++b) {
    if (!Finite(bones[b].bind)) {
      DebugPrintf("Skin: bone %u has a non-finite bind transform\n", static_cast<uint32_t>(b));
      return false;
    }
  }
  if (weights.size() > kMaxWeights) {
    DebugPrintf("Skin: %u weights, more than 16-bit offsets can address\n", static_cast<uint32_t>(weights.size()));
    return false;
  }
  if (offsets.empty() ? !weights.empty() : offsets.back() != weights.size()) {
    OutputDebugStringA("Skin: weight offsets do not end at the weight count\n");
    return false;
  }
  for (size_t i = 0; i < weights.size(); ++i) {
    const SkinWeight& w = weights[i];
    if (w.bone >= bones.size() || w.normal >= NormalTable::kCount || !Finite(w.position) || !std::isfinite(w.weight) ||
        w.weight < 0.0f) {
      DebugPrintf("Skin: weight %u is out of range or not finite\n", static_cast<uint32_t>(i));
      return false;
    }
  }
  for (uint32_t v = 0; v < GetVertexCount(); ++v) {
    if (offsets[v + 1] < offsets[v]) {
      DebugPrintf("Skin: weight offsets fall at vertex %u\n", v);
      return false;
    }
    double sum = 0.0;
    for (uint32_t i = offsets[v]; i < offsets[v + 1]; ++i) sum += weights[i].weight;
    if (offsets[v + 1] > offsets[v] && std::fabs(sum - 1.0) > kWeightSumTolerance) {
      DebugPrintf("Skin: weights of vertex %u sum to %f\n", v, sum);
      return false;
    }
  }
  return true;
}

uint32_t Skin::NormalizeWeights() {
  uint32_t changed = 0;
  for (uint32_t v = 0; v < GetVertexCount(); ++v) {
    const uint32_t first = offsets[v], end = offsets[v + 1];
    if (end <= first || end > weights.size()) continue;
    double sum = 0.0;
    for (uint32_t i = first; i < end; ++i) sum += weights[i].weight;
    // A non-positive or non-finite sum has no sound rescaling; Validate reports it.
    if (!(sum > 0.0) || !std::isfinite(sum) || std::fabs(sum - 1.0) <= kWeightSumTolerance) continue;
    for (uint32_t i = first; i < end; ++i) weights[i].weight = static_cast<float>(weights[i].weight / sum);
    ++changed;
  }
  return changed;
}

COrientation Skin::GetBindPose(uint32_t bone) const {
  if (bone >= bones.size()) return COrientation();
  COrientation pose = bones[bone].bind;
  uint32_t parent = bones[bone].parent;
  // The step limit keeps a skin built in memory with a parent loop from hanging the caller.
  for (size_t steps = 0; parent < bones.size() && steps < bones.size(); ++steps) {
    pose = bones[parent].bind.LocalToWorldOrientation(pose);
    parent = bones[parent].parent;
  }
  return pose;
}

size_t Skin::GetFileSize() const {
  const size_t offsetCount = offsets.empty() ? 1 : offsets.size();
  return 16 + kBoneSize * bones.size() + 2 * offsetCount + kWeightSize * weights.size();
}

bool Skin::Write(uint8_t* out) const {
  if (!out || !Validate()) {
    OutputDebugStringA("Skin: skin refused, not written\n");
    return false;
  }
  PutWord(out, static_cast<uint32_t>(bones.size()));
  PutWord(out, keptWord);
  PutWord(out, GetVertexCount());
  PutWord(out, static_cast<uint32_t>(weights.size()));
  for (const SkinBone& bone : bones) {
    for (int r = 0; r < 3; ++r) {
      const Vector3& row = bone.bind.axes.m[r];
      PutFloat(out, row.x);
      PutFloat(out, row.y);
      PutFloat(out, row.z);
    }
    PutFloat(out, bone.bind.position.x);
    PutFloat(out, bone.bind.position.y);
    PutFloat(out, bone.bind.position.z);
    PutWord(out, bone.parent);
    std::memcpy(out, bone.name, 64);
    out += 64;
  }
  if (offsets.empty()) {
    std::memset(out, 0, 2);
    out += 2;
  }
  for (uint16_t o : offsets) {
    std::memcpy(out, &o, 2);
    out += 2;
  }
  for (const SkinWeight& w : weights) {
    std::memcpy(out, &w.bone, 2);
    std::memcpy(out + 2, &w.normal, 2);
    out += 4;
    PutFloat(out, w.position.x);
    PutFloat(out, w.position.y);
    PutFloat(out, w.position.z);
    PutFloat(out, w.weight);
  }
  return true;
}

bool Skin::Read(const uint8_t* data, size_t size, size_t& used) {
  Reset();
  used = 0;
  auto fail = [&](const char* why) {
    OutputDebugStringA(why);
    Reset();
    return false;
  };
  if (!data || size < 16) return fail("Skin: section too short\n");
  const uint64_t boneCount = GetWord(data);
  const uint32_t kept = GetWord(data + 4);
  const uint64_t vertexCount = GetWord(data + 8);
  const uint64_t weightCount = GetWord(data + 12);
  const uint64_t need = 16 + kBoneSize * boneCount + 2 * (vertexCount + 1) + kWeightSize * weightCount;
  if (need > size) return fail("Skin: counts exceed the section\n");
  if (weightCount > kMaxWeights) return fail("Skin: more weights than 16-bit offsets can address\n");
  const uint8_t* p = data + 16;
  bones.resize(boneCount);
  for (uint64_t b = 0; b < boneCount; ++b, p += kBoneSize) {
    SkinBone& bone = bones[b];
    for (int r = 0; r < 3; ++r) {
      bone.bind.axes.m[r] = Vector3(GetFloat(p + 12 * r), GetFloat(p + 12 * r + 4), GetFloat(p + 12 * r + 8));
    }
    bone.bind.position = Vector3(GetFloat(p + 36), GetFloat(p + 40), GetFloat(p + 44));
    bone.parent = GetWord(p + 48);
    std::memcpy(bone.name, p + 52, 64);
  }
  offsets.resize(vertexCount + 1);
  for (uint64_t i = 0; i <= vertexCount; ++i, p += 2) offsets[i] = GetHalf(p);
  weights.resize(weightCount);
  for (uint64_t i = 0; i < weightCount; ++i, p += kWeightSize) {
    SkinWeight& w = weights[i];
    w.bone = GetHalf(p);
    w.normal = GetHalf(p + 2);
    w.position = Vector3(GetFloat(p + 4), GetFloat(p + 8), GetFloat(p + 12));
    w.weight = GetFloat(p + 16);
  }
  if (vertexCount == 0) {
    if (offsets[0] != weightCount) return fail("Skin: weight offsets do not end at the weight count\n");
    offsets.clear();
  }
  // Offsets are checked before the weights are summed through them.
  for (uint64_t i = 1; i < offsets.size(); ++i) {
    if (offsets[i] < offsets[i - 1]) return fail("Skin: weight offsets out of order\n");
  }
  if (!offsets.empty() && offsets.back() != weightCount) return fail("Skin: weight offsets do not end at the weight count\n");
  const uint32_t rescaled = NormalizeWeights();
  if (!Validate()) return fail("Skin: skin section refused\n");
  if (rescaled > 0) DebugPrintf("Skin: weights of %u vertices rescaled to sum to 1\n", rescaled);
  keptWord = kept;
  used = static_cast<size_t>(need);
  return true;
}
