#include "scene/Skin.h"

#include <cstring>

#include "platform/Win32.h"

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

}  // namespace

int Skin::FindBone(const char* name) const {
  if (!name) return -1;
  for (size_t i = 0; i < bones.size(); ++i) {
    if (std::strncmp(bones[i].name, name, 63) == 0) return static_cast<int>(i);
  }
  return -1;
}

size_t Skin::GetFileSize() const {
  const size_t offsetCount = offsets.empty() ? 1 : offsets.size();
  return 16 + kBoneSize * bones.size() + 2 * offsetCount + kWeightSize * weights.size();
}

void Skin::Write(uint8_t* out) const {
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
}

bool Skin::Read(const uint8_t* data, size_t size, size_t& used) {
  bones.clear();
  offsets.clear();
  weights.clear();
  used = 0;
  auto fail = [&](const char* why) {
    OutputDebugStringA(why);
    bones.clear();
    offsets.clear();
    weights.clear();
    return false;
  };
  if (!data || size < 16) return fail("Skin: section too short\n");
  const uint64_t boneCount = GetWord(data);
  const uint32_t kept = GetWord(data + 4);
  const uint64_t vertexCount = GetWord(data + 8);
  const uint64_t weightCount = GetWord(data + 12);
  const uint64_t need = 16 + kBoneSize * boneCount + 2 * (vertexCount + 1) + kWeightSize * weightCount;
  if (need > size) return fail("Skin: counts exceed the section\n");
  if (weightCount > 0xFFFF) return fail("Skin: more weights than 16-bit offsets can address\n");
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
    if (bone.parent != kNoParent && bone.parent >= b) return fail("Skin: bone parent out of order\n");
  }
  offsets.resize(vertexCount + 1);
  for (uint64_t i = 0; i <= vertexCount; ++i, p += 2) {
    offsets[i] = GetHalf(p);
    if ((i > 0 && offsets[i] < offsets[i - 1]) || offsets[i] > weightCount) {
      return fail("Skin: weight offsets out of range\n");
    }
  }
  if (offsets.back() != weightCount) return fail("Skin: weight offsets do not cover the weights\n");
  weights.resize(weightCount);
  for (uint64_t i = 0; i < weightCount; ++i, p += kWeightSize) {
    SkinWeight& w = weights[i];
    w.bone = GetHalf(p);
    w.normal = GetHalf(p + 2);
    w.position = Vector3(GetFloat(p + 4), GetFloat(p + 8), GetFloat(p + 12));
    w.weight = GetFloat(p + 16);
    if (w.bone >= boneCount) return fail("Skin: weight names a missing bone\n");
  }
  if (vertexCount == 0) offsets.clear();
  keptWord = kept;
  used = static_cast<size_t>(need);
  return true;
}
