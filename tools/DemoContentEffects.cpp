// DemoContentEffects: the records the effects read from the demo meshes and the pictures they draw.
#include "tools/DemoContentEffects.h"

#include <cmath>
#include <cstdint>
#include <filesystem>

#include "core/data/DebugPrintf.h"
#include "render/image/Texture.h"
#include "scene/mesh/ShadedMesh.h"
#include "tools/DemoContentLevel.h"

namespace DemoContent {
namespace {

constexpr const char* kCloudTexture = "textures/effects/clouds.tga";
constexpr const char* kGlowTexture = "textures/effects/glow.tga";
constexpr uint32_t kCloudSide = 256;
constexpr uint32_t kGlowSide = 32;

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

// Smooth noise that repeats every `period` lattice cells, so that the drifting texture has no seam.
float LatticeValue(int x, int y, int period, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(((x % period) + period) % period) * 73856093u ^
               static_cast<uint32_t>(((y % period) + period) % period) * 19349663u ^ seed * 83492791u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return static_cast<float>(h & 0xFFFF) / 65535.0f;
}

float SmoothNoise(float u, float v, int period, uint32_t seed) {
  const float fx = u * period, fy = v * period;
  const int x = static_cast<int>(std::floor(fx)), y = static_cast<int>(std::floor(fy));
  float tx = fx - x, ty = fy - y;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  const float a = LatticeValue(x, y, period, seed), b = LatticeValue(x + 1, y, period, seed);
  const float c = LatticeValue(x, y + 1, period, seed), d = LatticeValue(x + 1, y + 1, period, seed);
  return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
}

// Opaque: white cloud on blue sky, so that a renderer without blending draws the same sky.
uint32_t CloudPixel(uint32_t x, uint32_t y) {
  const float u = (x + 0.5f) / kCloudSide, v = (y + 0.5f) / kCloudSide;
  float n = 0.0f, weight = 0.5f;
  for (int octave = 0; octave < 5; ++octave, weight *= 0.5f) n += weight * SmoothNoise(u, v, 16 << octave, octave + 1);
  const float cloud = std::fmin(1.0f, std::fmax(0.0f, (n - 0.4f) * 3.5f));
  auto mix = [cloud](float sky, float white) { return static_cast<uint32_t>(sky + (white - sky) * cloud); };
  return Argb(255, mix(90, 245), mix(140, 248), mix(215, 255));
}

// White fading out to the rim, in colour and in alpha alike.
uint32_t GlowPixel(uint32_t x, uint32_t y) {
  const float dx = (x + 0.5f) / kGlowSide * 2 - 1, dy = (y + 0.5f) / kGlowSide * 2 - 1;
  const float fall = std::fmax(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
  const uint32_t level = static_cast<uint32_t>(255 * std::sqrt(fall));
  return Argb(level, level, level, level);
}

bool WriteTarga(const std::string& path, uint32_t side, uint32_t (*paint)(uint32_t, uint32_t)) {
  std::vector<uint32_t> pixels(static_cast<size_t>(side) * side);
  for (uint32_t y = 0; y < side; ++y)
    for (uint32_t x = 0; x < side; ++x) pixels[static_cast<size_t>(y) * side + x] = paint(x, y);
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  CTexture texture;
  if (texture.CreateFromPixels(pixels.data(), 4, side, side, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0, "effect") &&
      texture.SaveTarga(path.c_str()))
    return true;
  DebugPrintf("DemoContent: could not write %s\n", path.c_str());
  return false;
}

void AddPoint(ShadedMesh& mesh, const Vector3& at, uint32_t type, const std::vector<uint8_t>& data) {
  COrientation frame;
  frame.position = at;
  mesh.AddAttachPoint(frame, type, static_cast<uint32_t>(data.size()), data.data(), false);
}

}  // namespace

ScriptTriggerRecord LevelFlightTrigger() {
  ScriptTriggerRecord trigger;
  trigger.triggerId = 1;
  trigger.cameraId = kDemoScriptCamera;
  trigger.start = 4.0f;
  trigger.end = 16.0f;
  return trigger;
}

// Far wider than the park, so that its edge lies low over the horizon from anywhere in it.
CloudLayerRecord LevelCloudLayer() {
  CloudLayerRecord layer;
  const float box[6] = {-1200.0f, -1200.0f, 48.0f, 1200.0f, 1200.0f, 80.0f};
  std::copy(box, box + 6, layer.box);
  layer.roughness = 0.6f;
  layer.levels = 5;
  layer.driftU = 0.002f;
  layer.driftV = 0.001f;
  layer.texture = kCloudTexture;
  return layer;
}

void AddLevelEffectPoints(ShadedMesh& mesh) {
  std::vector<uint8_t> trigger, clouds;
  LevelFlightTrigger().Write(trigger);
  LevelCloudLayer().Write(clouds);
  const Box world = LevelWorldBox();
  const Vector3 middle((world.min.x + world.max.x) * 0.5f, (world.min.y + world.max.y) * 0.5f, 0.0f);
  AddPoint(mesh, middle, ScriptTriggerRecord::kAttachType, trigger);
  AddPoint(mesh, middle, CloudLayerRecord::kAttachType, clouds);
}

std::vector<AttachGlowRecord> PieceGlows() {
  AttachGlowRecord lamp;
  lamp.intensityIndex = 1;  // on while the stand is undamaged
  lamp.halfSide = 0.6f;
  lamp.colour = 0xFFFFE0A0u;  // warm white
  lamp.texture = kGlowTexture;
  AttachGlowRecord beacon = lamp;
  beacon.intensityIndex = 0;  // always, as far as the stand goes: the trigger decides
  beacon.triggerId = LevelFlightTrigger().triggerId;
  beacon.halfSide = 0.9f;
  beacon.colour = 0xFF30FF60u;  // green
  return {lamp, beacon};
}

void AddPieceEffectPoints(const std::string& pieceName, ShadedMesh& mesh) {
  if (pieceName != kGlowPiece) return;
  // Over the front edge of the stand's roof, and high over its middle.
  const Vector3 places[] = {Vector3(1.0f, 1.0f, 2.3f), Vector3(1.0f, 1.6f, 3.2f)};
  const std::vector<AttachGlowRecord> glows = PieceGlows();
  for (size_t i = 0; i < glows.size(); ++i) {
    std::vector<uint8_t> data;
    glows[i].Write(data);
    AddPoint(mesh, places[i], AttachGlowRecord::kAttachType, data);
  }
}

std::vector<std::string> EffectTextureFiles() { return {kCloudTexture, kGlowTexture}; }

bool WriteEffectTextures(const std::string& dataFolder) {
  const bool clouds = WriteTarga(dataFolder + "/" + kCloudTexture, kCloudSide, CloudPixel);
  return WriteTarga(dataFolder + "/" + kGlowTexture, kGlowSide, GlowPixel) && clouds;
}

}  // namespace DemoContent
