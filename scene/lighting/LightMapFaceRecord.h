// FaceLightRecord and LightMapPage: the baked light of one face and the 256 x 256 pages its
// light-map image is packed into.
#pragma once

#include <cstdint>
#include <vector>

struct LightMapPage;

// The corner colours are 0xAARRGGBB words (bytes b, g, r, a in memory); uv are page units 0..1.
struct FaceLightRecord {
  uint32_t colours[3] = {0, 0, 0};
  float uv[3][2] = {{0, 0}, {0, 0}, {0, 0}};
  const LightMapPage* page = nullptr;  // the face's light-map page, null when it has none
  uint32_t reserved = 0;
};

// Until textures exist a page keeps its image as plain 0xAARRGGBB words, row by row.
struct LightMapPage {
  static constexpr int kSize = 256;
  struct Rect {
    int32_t x1, y1, x2, y2;  // inclusive
  };
  std::vector<uint32_t> pixels;  // kSize * kSize words
  std::vector<Rect> rects;       // placed maps, in placement order
  bool ownsTexture = false;      // made by generation (a loaded page belongs to the loader)
};
