// DemoContentImages: checkers, gradients and discs drawn in code and written with the engine's savers.
#include "tools/DemoContentImages.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iterator>

#include "core/data/DebugPrintf.h"
#include "render/image/B2Image.h"
#include "render/image/BWImage.h"
#include "render/image/BitmapImage.h"
#include "render/image/Texture.h"
#include "tools/DemoContentPieces.h"

namespace DemoContent {
namespace {

// A picture as ARGB words, drawn by a function of the pixel position.
using Painter = std::function<uint32_t(uint32_t x, uint32_t y)>;

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

Painter Checker(uint32_t cell, uint32_t light, uint32_t dark) {
  return [=](uint32_t x, uint32_t y) { return ((x / cell + y / cell) & 1) ? dark : light; };
}
// Bands across the picture, as on an awning.
Painter Stripes(uint32_t width, uint32_t a, uint32_t b) {
  return [=](uint32_t x, uint32_t) { return (x / width) & 1 ? b : a; };
}
Painter Gradient(uint32_t w, uint32_t h) {
  return [=](uint32_t x, uint32_t y) { return Argb(255, x * 255 / w, y * 255 / h, 128); };
}
// A disc on transparent ground with a soft edge: every alpha kind occurs.
Painter Disc(uint32_t side, uint32_t r, uint32_t g, uint32_t b) {
  return [=](uint32_t x, uint32_t y) {
    const double dx = x + 0.5 - side / 2.0, dy = y + 0.5 - side / 2.0;
    const double edge = side / 2.0 - std::sqrt(dx * dx + dy * dy);
    const uint32_t a = edge <= 0 ? 0 : edge >= 2 ? 255 : static_cast<uint32_t>(edge * 127);
    return Argb(a, r, g, b);
  };
}

std::vector<uint32_t> Paint(uint32_t w, uint32_t h, const Painter& painter) {
  std::vector<uint32_t> out(static_cast<size_t>(w) * h);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) out[static_cast<size_t>(y) * w + x] = painter(x, y);
  return out;
}

bool Prepare(const std::string& path) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  return true;
}

bool WriteTexture(const std::string& path, const char* name, uint32_t w, uint32_t h, const Painter& painter, int mode) {
  const std::vector<uint32_t> pixels = Paint(w, h, painter);
  CTexture texture;
  Prepare(path);
  return texture.CreateFromPixels(pixels.data(), 4, w, h, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0x10, name) &&
         texture.Save(path.c_str(), mode);
}

// A 24-bit picture, with an alpha plane when asked, for the own formats.
CImageRef Picture(uint32_t w, uint32_t h, const Painter& painter, bool withAlpha) {
  CImageRef image = CreateDibImage(static_cast<int>(w), static_cast<int>(h), 24);
  if (image.IsNull()) return image;
  uint8_t* alpha = withAlpha ? static_cast<CBitmapImage*>(image.Get())->AlphaPlaneForWrite() : nullptr;
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      const uint32_t c = painter(x, y);
      uint8_t* p = image->pixels + static_cast<size_t>(y) * image->pitch + 3 * x;
      p[0] = static_cast<uint8_t>(c);
      p[1] = static_cast<uint8_t>(c >> 8);
      p[2] = static_cast<uint8_t>(c >> 16);
      if (alpha) alpha[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(c >> 24);
    }
  return image;
}

bool WriteTarga(const std::string& path, uint32_t w, uint32_t h, const Painter& painter) {
  const std::vector<uint32_t> pixels = Paint(w, h, painter);
  CTexture texture;
  Prepare(path);
  return texture.CreateFromPixels(pixels.data(), 4, w, h, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0, "icon") &&
         texture.SaveTarga(path.c_str());
}

struct TextureSpec {
  const char* name;
  uint32_t w, h;
  Painter painter;
  int mode;
};

const char* const kBubbles[] = {"hungry", "thirsty", "pee", "buystuff", "injured", "tired", "cost"};
const char* const kIcons[] = {"ground", "box", "ramp", "lodramp", "spinner", "bump", "figure", "crate", "buggy", "missing"};

// Every demo mesh has an icon beside it: the build dialog shows it.
std::vector<std::string> IconNames() {
  std::vector<std::string> names(std::begin(kIcons), std::end(kIcons));
  for (const PieceSpec& piece : PieceSpecs()) names.push_back(piece.name);
  return names;
}

// Textures the meshes name, each painted in its own colours so that the pieces look apart: wood,
// concrete and metal for the sections, an awning in the colours of each kind of stand.
std::vector<TextureSpec> TextureSpecs() {
  return {
      {"box", 64, 64, Checker(8, Argb(255, 200, 160, 90), Argb(255, 120, 80, 40)), 0},
      {"ramp", 128, 64, Gradient(128, 64), 1},  // not square
      {"spinner", 32, 32, Disc(32, 240, 200, 40), 0},
      {"bump", 64, 64, Gradient(64, 64), 1},
      {"figure", 32, 32, Checker(4, Argb(255, 220, 40, 40), Argb(128, 40, 40, 220)), 0},  // partly see-through
      {"ground", 128, 128, Checker(16, Argb(255, 90, 150, 70), Argb(255, 70, 120, 50)), 1},
      {"block", 32, 32, Checker(16, Argb(255, 180, 180, 180), Argb(255, 140, 140, 140)), 0},
      {"wood", 64, 64, Stripes(8, Argb(255, 190, 130, 70), Argb(255, 160, 105, 55)), 0},
      {"bench", 64, 64, Stripes(4, Argb(255, 120, 70, 30), Argb(255, 95, 55, 25)), 0},
      {"concrete", 64, 64, Checker(32, Argb(255, 170, 170, 165), Argb(255, 150, 150, 148)), 0},
      {"metal", 32, 32, Stripes(2, Argb(255, 200, 205, 215), Argb(255, 150, 155, 170)), 0},
      {"food", 64, 64, Stripes(8, Argb(255, 240, 140, 30), Argb(255, 250, 240, 220)), 0},
      {"drink", 64, 64, Stripes(8, Argb(255, 40, 120, 230), Argb(255, 250, 250, 250)), 0},
      {"restroom", 64, 64, Checker(16, Argb(255, 230, 230, 240), Argb(255, 120, 160, 200)), 0},
      {"firstaid", 64, 64, Checker(16, Argb(255, 250, 250, 250), Argb(255, 220, 30, 30)), 0},
      {"skateshop", 64, 64, Stripes(8, Argb(255, 130, 40, 170), Argb(255, 30, 30, 30)), 0},
      {"shirtstand", 64, 64, Stripes(8, Argb(255, 60, 180, 80), Argb(255, 250, 230, 60)), 0},
  };
}

}  // namespace

std::vector<std::string> ImageFiles() {
  std::vector<std::string> files;
  // Meshes read their textures from their own folder, so the meshes' folder has a copy too.
  for (const TextureSpec& texture : TextureSpecs()) {
    const std::string name = texture.name;
    files.push_back(std::string("textures/") + name + ".texture");
    files.push_back(std::string("meshes/") + name + ".texture");
  }
  for (const char* bubble : kBubbles) files.push_back(std::string("textures/thoughtbubbles/") + bubble + ".tga");
  for (const std::string& icon : IconNames()) files.push_back("meshes/" + icon + ".tga");
  for (const char* ui : {"ui/images/panel.bw", "ui/images/badge.bw", "ui/images/marker.b2"}) files.push_back(ui);
  return files;
}

bool WriteImages(const std::string& folder) {
  bool ok = true;
  auto check = [&ok](bool written, const std::string& path) {
    if (!written) {
      DebugPrintf("DemoContent: could not write %s\n", path.c_str());
      ok = false;
    }
  };
  for (const TextureSpec& t : TextureSpecs()) {
    for (const char* place : {"/textures/", "/meshes/"}) {
      const std::string path = folder + place + t.name + ".texture";
      check(WriteTexture(path, t.name, t.w, t.h, t.painter, t.mode), path);
    }
  }
  uint32_t hue = 0;
  for (const char* bubble : kBubbles) {
    const std::string path = folder + "/textures/thoughtbubbles/" + bubble + ".tga";
    hue += 36;
    check(WriteTarga(path, 32, 32, Disc(32, 255, 255 - hue, hue)), path);
  }
  for (const std::string& icon : IconNames()) {
    const std::string path = folder + "/meshes/" + icon + ".tga";
    hue = (hue + 53) % 256;
    const Painter painter = icon == "missing" ? Checker(4, Argb(255, 255, 0, 255), Argb(255, 0, 0, 0))
                                                           : Checker(8, Argb(255, hue, 128, 255 - hue), Argb(255, 40, 40, 40));
    check(WriteTarga(path, 48, 32, painter), path);
  }
  // Interface pictures in the own formats: an opaque compressed panel, a sprite with a soft
  // edge and shadow, and a 16-bit marker.
  CImageRef panel = Picture(96, 48, Gradient(96, 48), false);
  CImageRef badge = Picture(40, 40, [](uint32_t x, uint32_t y) {
    const uint32_t disc = Disc(36, 250, 210, 60)(x, y);
    if (disc >> 24) return disc;
    return x >= 4 && y >= 4 && Disc(36, 0, 0, 0)(x - 4, y - 4) >> 24 ? Argb(96, 0, 0, 0) : 0u;  // the shadow
  }, true);
  CImageRef marker = Picture(24, 24, Disc(24, 40, 220, 90), true);
  CBWImage panelBW, badgeBW;
  CB2Image markerB2;
  panelBW.flags |= CImage::kCompressOnSave;
  const std::string panelPath = folder + "/ui/images/panel.bw", badgePath = folder + "/ui/images/badge.bw";
  const std::string markerPath = folder + "/ui/images/marker.b2";
  Prepare(panelPath);
  check(!panel.IsNull() && panelBW.CopyFrom(*panel.Get(), nullptr, nullptr) == 1 && panelBW.Save(panelPath.c_str()) == 1,
        panelPath);
  check(!badge.IsNull() && badgeBW.CopyFrom(*badge.Get(), nullptr, nullptr) == 1 && badgeBW.Save(badgePath.c_str()) == 1,
        badgePath);
  check(!marker.IsNull() && markerB2.CopyFrom(*marker.Get(), nullptr, nullptr) == 1 && markerB2.Save(markerPath.c_str()) == 1,
        markerPath);
  return ok;
}

}  // namespace DemoContent
