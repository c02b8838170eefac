// CloudLayerRecord: the 72-byte level record of one cloud layer of the weather.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct CloudLayerRecord {
  static constexpr size_t kSize = 72;
  static constexpr uint32_t kAttachType = 10004;  // attach-point type on a level mesh
  static constexpr size_t kNameSize = 32;
  // Beyond this no level reaches; larger values would overflow the layer's arithmetic.
  static constexpr float kLargestValue = 1.0e6f;

  // The box the cloud surface fills: minimum x, y, z then maximum x, y, z, about the attach
  // point's position.
  float box[6] = {0, 0, 0, 0, 0, 0};
  float roughness = 0.0f;
  uint32_t levels = 0;  // the surface has 2^levels + 1 vertices a side
  float driftU = 0.0f;  // how far the texture moves across the surface per second
  float driftV = 0.0f;
  std::string texture;  // texture file, found in the resource table by name

  // False (logged) unless the data is exactly kSize bytes, every number is finite and within
  // kLargestValue, the box is not inside out, levels is at most that of the finest fractal
  // surface, and the name ends within its kNameSize bytes.
  bool Read(const uint8_t* data, size_t size);
  void Write(std::vector<uint8_t>& out) const;
};
