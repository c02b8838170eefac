// LightMapper generation: lit corner colours, per-face light-map images, and "lights.bin".
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/data/DebugPrintf.h"
#include "core/math/MathUtil.h"
#include "platform/files/FileWrite.h"
#include "platform/system/Win32.h"
#include "scene/lighting/Light.h"
#include "scene/lighting/LightList.h"
#include "scene/lighting/LightMapData.h"
#include "scene/lighting/LightMapper.h"
#include "scene/mesh/NormalTable.h"
#include "scene/mesh/SceneDrawInterface.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/TextureProperties.h"

namespace {

constexpr uint8_t kMarkRay = 1;
constexpr uint32_t kCornerRayMask = 1024;
constexpr uint32_t kMapRayMask = 0x400;
constexpr int kMaxSamples = 16;

uint8_t LitByte(uint8_t byte, float light) {
  const float v = static_cast<float>(byte) * light;
  if (!(v > 0.0f)) return 0;
  return v >= 255.0f ? 255 : static_cast<uint8_t>(v);
}

// One sample channel in 1/256 units; clamped before the conversion so no light overflows it.
int SampleChannel(float value) {
  const float v = value * 256.0f;
  if (std::isnan(v)) return 0;
  return static_cast<int>(std::min(65536.0f, std::max(-65536.0f, v)));
}

Vector3 CornerNormal(const ShadedMesh& mesh, const CMeshInstance* instance, uint32_t face, uint32_t corner) {
  const uint32_t normal = mesh.faceRecords[face].corners[corner].normal;
  const uint16_t* normals = instance->GetFrameCompressedNormals();
  if (normal >= mesh.normalCount || normals == nullptr) return Vector3();
  return NormalTable::Decode(normals[normal]);
}

// The lit colour of a face corner from the lights already selected and moved into the
// instance's space; alpha is forced opaque.
Color CornerLight(CMeshInstance* instance, LightList& lights, uint32_t face, uint32_t corner) {
  const ShadedMesh& mesh = *instance->GetMesh();
  const uint32_t vertex = mesh.indices[3 * face + corner];
  if (!instance->HasSinglePointLighting()) {
    lights.ComputeInfluences(instance->GetVertexWorldPosition(vertex), kMarkRay, kCornerRayMask);
  }
  Vector3 lit;
  lights.SumLocalColor(lit, CornerNormal(mesh, instance, face, corner), mesh.positions[vertex]);
  Color c = mesh.faceRecords[face].corners[corner].color;
  c.r = LitByte(c.r, lit.x);
  c.g = LitByte(c.g, lit.y);
  c.b = LitByte(c.b, lit.z);
  c.a = 255;
  return c;
}

// Moves a sample outside the triangle onto the nearest of its edges 0-1, 1-2, 2-0.
void ClampToTriangle(const Vector2 corner[3], Vector2& p) {
  Vector2 best = p;
  float bestDistance = 0.0f;
  for (int k = 0; k < 3; ++k) {
    Vector2 q;
    ClosestPointOnSegment2D(q, corner[k], corner[(k + 1) % 3], p);
    const float d = (q.x - p.x) * (q.x - p.x) + (q.y - p.y) * (q.y - p.y);
    if (k == 0 || d < bestDistance) {
      best = q;
      bestDistance = d;
    }
  }
  p = best;
}

// Barycentric weights along E->F (beta) and towards G (gamma), forced into the triangle.
void Weights(float su, float sv, float width, float height, float m, float t, float& beta, float& gamma) {
  const float w = width - 2.0f * m;
  const float h = height - 2.0f * m;
  beta = ((su - m) - (sv - m) * w * t / h) / w;
  gamma = (sv - m) / h;
  if (beta + gamma > 1.0f) {
    gamma = 1.0f - beta;
    if (beta < 0.0f) {
      beta = 0.0f;
      gamma = 1.0f;
    } else if (gamma < 0.0f) {
      beta = 1.0f;
      gamma = 0.0f;
    }
    return;
  }
  if (beta < 0.0f) {
    beta = 0.0f;
    if (gamma > 1.0f) gamma = 1.0f;
  }
  if (gamma < 0.0f) {
    gamma = 0.0f;
    if (beta > 1.0f) beta = 1.0f;
  }
}

}  // namespace

void LightMapper::ReportProgress(uint32_t face, uint32_t count) {
  char text[96];
  std::snprintf(text, sizeof(text), "Now processing %i//%i. \n", static_cast<int>(face), static_cast<int>(count));
  OutputDebugStringA(text);
  // Only our own window shows it: whatever else happens to be in front is not ours to rename.
  CGameWorld* world = GetGameWorld();
  if (world != nullptr && world->GetWindow() != nullptr) SetWindowTextA(world->GetWindow(), text);
}

const LightMapPage* LightMapper::GenerateFaceMap(CMeshInstance* instance, LightList& lights, uint32_t face,
                                                 float texelSize, float border, int samples,
                                                 FaceLightRecord& record) {
  LightMapData* maps = instance != nullptr ? instance->GetLightMapData() : nullptr;
  const ShadedMesh* mesh = instance != nullptr ? instance->GetMesh() : nullptr;
  // Up to 16 x 16 samples keep a texel's channel sums far inside an int.
  if (maps == nullptr || mesh == nullptr || face >= mesh->faceCount || samples < 1 || samples > kMaxSamples ||
      !(border >= 0.0f)) {
    return nullptr;
  }
  if (!(texelSize > 0.0f) || !std::isfinite(texelSize)) {
    DebugPrintf("LightMapper: texel size %f cannot size a light map\n", static_cast<double>(texelSize));
    return nullptr;
  }
  const COrientation& world = instance->GetWorldMatrix();
  Vector3 W[3], N[3], P[3], local[3];
  for (uint32_t k = 0; k < 3; ++k) {
    const uint32_t vertex = mesh->indices[3 * face + k];
    local[k] = mesh->positions[vertex];
    W[k] = world.LocalToWorldPoint(local[k]);
    N[k] = world.LocalToWorldVector(CornerNormal(*mesh, instance, face, k));
    P[k] = instance->GetVertexWorldPosition(vertex);
  }
  float length[3];
  int e = 0;
  for (int k = 0; k < 3; ++k) {
    length[k] = (local[(k + 1) % 3] - local[k]).Length();
    if (length[k] == 0.0f) {
      DebugPrintf("Identical Vertices found, aborting light map generation for poly.\n");
      return nullptr;
    }
    if (length[k] > length[e]) e = k;
  }
  const int f = (e + 1) % 3;
  const int g = (e + 2) % 3;
  const float t = std::min(1.0f, std::max(0.0f, SegmentParameter(W[e], W[f], W[g])));
  const float height = (W[g] - (W[e] + (W[f] - W[e]) * t)).Length();
  if (!(height >= 0.001f)) {
    DebugPrintf("Sliver Polygon Found, aborting light map generation for poly.\n");
    return nullptr;
  }
  // Sizes are capped in floating point first: a huge face must not overflow the conversion.
  const float rawWidth = std::min(std::ceil(length[e] / texelSize + 2.0f * border), 1.0e6f);
  const float rawHeight = std::min(std::ceil(height / texelSize + 2.0f * border), 1.0e6f);
  if (!(rawWidth > 0.0f) || !(rawHeight > 0.0f)) {
    DebugPrintf("Zero Pixel Texture, aborting light map generation for poly.\n");
    return nullptr;
  }
  const int width = std::min(LightMapPage::kSize, std::max(3, static_cast<int>(rawWidth)));
  const int rows = std::min(LightMapPage::kSize, std::max(3, static_cast<int>(rawHeight)));
  const float fw = static_cast<float>(width), fh = static_cast<float>(rows), m = border;
  // The weights divide by the map's size less its borders: a border that eats the map leaves none.
  if (!(fw - 2.0f * m > 0.0f) || !(fh - 2.0f * m > 0.0f)) {
    DebugPrintf("Zero Pixel Texture, aborting light map generation for poly.\n");
    return nullptr;
  }

  float uv[3][2];
  uv[e][0] = m, uv[e][1] = m;
  uv[f][0] = fw - m, uv[f][1] = m;
  uv[g][0] = (fw - 2.0f * m) * t + m, uv[g][1] = fh - m;
  const Vector2 corner[3] = {Vector2(uv[0][0], uv[0][1]), Vector2(uv[1][0], uv[1][1]), Vector2(uv[2][0], uv[2][1])};

  std::vector<uint32_t> pixels(static_cast<size_t>(width) * rows);
  const int sampleCount = samples * samples;
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < width; ++x) {
      int sum[3] = {0, 0, 0};
      for (int j = 0; j < samples; ++j) {
        for (int i = 0; i < samples; ++i) {
          Vector2 s(x + (i + 0.5f) / samples, y + (j + 0.5f) / samples);
          const bool a = IsRightOfLine2D(corner[1], corner[0], s);
          const bool b = IsRightOfLine2D(corner[2], corner[1], s);
          const bool c = IsRightOfLine2D(corner[0], corner[2], s);
          if (!(a == b && b == c)) ClampToTriangle(corner, s);
          float beta, gamma;
          Weights(s.x, s.y, fw, fh, m, t, beta, gamma);
          const Vector3 point = W[e] + (W[f] - W[e]) * beta + (W[g] - W[e]) * gamma;
          const Vector3 pushed = P[e] + (P[f] - P[e]) * beta + (P[g] - P[e]) * gamma;
          Vector3 normal = N[e] + (N[f] - N[e]) * beta + (N[g] - N[e]) * gamma;
          const float len = normal.Length();
          if (len > 0.0f) normal = normal * (1.0f / len);
          lights.ComputeInfluences(pushed, kMarkRay, kMapRayMask);
          Vector3 colour;
          lights.SumWorldColor(colour, normal, point);
          sum[0] += SampleChannel(colour.x);
          sum[1] += SampleChannel(colour.y);
          sum[2] += SampleChannel(colour.z);
        }
      }
      uint32_t channel[3];
      for (int k = 0; k < 3; ++k) channel[k] = static_cast<uint32_t>(std::min(255, std::max(0, sum[k] / sampleCount)));
      pixels[static_cast<size_t>(y) * width + x] = 0xFF000000u | channel[0] << 16 | channel[1] << 8 | channel[2];
    }
  }
  const LightMapPage* page = AddToPages(maps->pages, uv, width, rows, pixels.data());
  if (page != nullptr) std::memcpy(record.uv, uv, sizeof(uv));
  return page;
}

bool LightMapper::ComputeFaces(CMeshInstance* instance, LightList& lights, float texelSize) {
  LightMapData* maps = instance != nullptr ? instance->GetLightMapData() : nullptr;
  const ShadedMesh* mesh = instance != nullptr ? instance->GetMesh() : nullptr;
  CMeshInstance::FaceColours* faces = instance != nullptr ? instance->GetFaceColours() : nullptr;
  if (maps == nullptr || mesh == nullptr || faces == nullptr || maps->capacity < mesh->faceCount) return false;
  const COrientation& world = instance->GetWorldMatrix();
  for (uint32_t f = 0; f < mesh->faceCount; ++f) {
    FaceLightRecord& record = maps->records[f];
    record = FaceLightRecord();
    faces[f].lightRecord = &record;
    maps->handedOut = f + 1;
    const CTextureProperties* texture = instance->GetFaceTexture(f);
    if (texture != nullptr && texture->HasAnyFlag(CTextureProperties::kUnlit)) {
      // An unlit face keeps its own colours, opaque, and gets no light map: nothing to light.
      for (uint32_t k = 0; k < 3; ++k) {
        Color own = instance->HasStaticColours() ? instance->GetStaticColour(f, k)
                                                 : mesh->faceRecords[f].corners[k].color;
        own.a = 255;
        record.colours[k] = own.ToWord();
      }
      continue;
    }
    Box around;
    instance->GetSphereBox(around);
    lights.SelectLights(around, 1);
    lights.TransformToLocal(world);
    if (instance->HasSinglePointLighting()) lights.ComputeInfluences(world.GetPosition(), kMarkRay, kCornerRayMask);
    for (uint32_t k = 0; k < 3; ++k) record.colours[k] = CornerLight(instance, lights, f, k).ToWord();

    Box faceBox;
    const uint16_t* idx = &mesh->indices[3 * f];
    faceBox.SetFromTriangle(mesh->positions[idx[0]], mesh->positions[idx[1]], mesh->positions[idx[2]]);
    lights.SelectLights(faceBox, 1);
    bool directLight = false;
    for (size_t i = 0; i < lights.GetActiveCount(); ++i) {
      const uint32_t type = lights.GetActiveLight(i)->GetType();
      directLight = directLight || (type != CLight::kTypeNone && type != CLight::kTypeAmbient);
    }
    // Translucent faces let light through: a map of the light on them would be wrong.
    if (!directLight || (texture != nullptr && texture->HasAnyFlag(CTextureProperties::kTranslucentKinds))) continue;
    if ((f & kProgressMask) == kProgressMask) ReportProgress(f, mesh->faceCount);
    record.page = GenerateFaceMap(instance, lights, f, texelSize, kBorder, kSamples, record);
  }
  return true;
}

std::vector<uint8_t> LightMapper::BuildFile(CMeshInstance* instance) {
  const ShadedMesh* mesh = instance != nullptr ? instance->GetMesh() : nullptr;
  CMeshInstance::FaceColours* faces = instance != nullptr ? instance->GetFaceColours() : nullptr;
  if (mesh == nullptr || faces == nullptr || mesh->positions == nullptr) return {};
  const LightMapData* maps = instance->GetLightMapData();
  const uint32_t pageCount = maps != nullptr ? static_cast<uint32_t>(maps->pages.size()) : 0;
  std::vector<uint8_t> file(kHeaderSize + static_cast<size_t>(mesh->faceCount) * kRecordSize, 0);
  const float version = kVersion;
  std::memcpy(&file[0], &version, 4);
  std::memcpy(&file[4], &mesh->faceCount, 4);
  std::memcpy(&file[8], &pageCount, 4);
  for (uint32_t f = 0; f < mesh->faceCount; ++f) {
    uint8_t* out = &file[kHeaderSize + static_cast<size_t>(f) * kRecordSize];
    const auto* record = static_cast<const FaceLightRecord*>(faces[f].lightRecord);
    int32_t page = -1;
    if (record != nullptr) {
      std::memcpy(out, record->uv, 24);
      std::memcpy(out + 24, record->colours, 12);
      for (uint32_t i = 0; i < pageCount && record->page != nullptr; ++i) {
        if (maps->pages[i].get() == record->page) page = static_cast<int32_t>(i);
      }
      std::memcpy(out + 76, &record->reserved, 4);
    } else {
      for (uint32_t k = 0; k < 3; ++k) {
        const uint32_t word = faces[f].corners[k].ToWord();
        std::memcpy(out + 24 + 4 * k, &word, 4);
      }
    }
    std::memcpy(out + 36, &page, 4);
    for (uint32_t k = 0; k < 3; ++k) std::memcpy(out + 40 + 12 * k, &mesh->positions[mesh->indices[3 * f + k]], 12);
  }
  return file;
}

bool LightMapper::GenerateAll(CMeshInstance* instance, LightList& lights, const char* path, float texelSize) {
  const ShadedMesh* mesh = instance != nullptr ? instance->GetMesh() : nullptr;
  if (mesh == nullptr || mesh->faceCount == 0 || path == nullptr || instance->GetFaceColours() == nullptr) {
    DebugPrintf("LightMapper: nothing to generate light data for\n");
    return false;
  }
  std::unique_ptr<LightMapData> maps(new LightMapData());
  maps->capacity = mesh->faceCount;
  maps->records.reset(new FaceLightRecord[mesh->faceCount]);
  instance->SetLightMapData(std::move(maps));
  ComputeFaces(instance, lights, texelSize);
  const std::vector<uint8_t> file = BuildFile(instance);
  bool ok = plat::ReplaceFileContents(path, file.data(), file.size());
  if (!ok) DebugPrintf("Error Creating File: '%s' - Check Path and File Attributes!\n", path);
  ok = SavePages(instance->GetLightMapData()->pages, FolderOf(path)) && ok;
  // The records point at pages that are gone now; the level takes its light back through Load.
  instance->SetLightMapData(nullptr);
  return ok;
}

bool LightMapper::GenerateAll(CMeshInstance* instance, CSceneDrawInterface* view, const char* path, float texelSize) {
  if (view == nullptr || view->GetLightList() == nullptr) {
    DebugPrintf("LightMapper: no light list to generate light data with\n");
    return false;
  }
  return GenerateAll(instance, *view->GetLightList(), path, texelSize);
}
