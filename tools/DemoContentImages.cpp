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

// A thought bubble: a disc in the colour of its need with a dark rim and a pictogram inside, so
// that the seven tell apart by colour and by shape even as a few pixels over a skater's head.
// The pictogram is a test on the point (u, v) of the disc, each in [-1, 1] with v growing down.
struct BubblePicture {
  const char* name;
  uint32_t ground, sign;
  std::function<bool(double u, double v)> inSign;
};

bool InCircle(double u, double v, double cu, double cv, double r) {
  return (u - cu) * (u - cu) + (v - cv) * (v - cv) <= r * r;
}
bool InRing(double u, double v, double cu, double cv, double r, double half) {
  const double d = std::sqrt((u - cu) * (u - cu) + (v - cv) * (v - cv));
  return std::abs(d - r) <= half;
}

const BubblePicture kBubbles[] = {
    // A burger: bun, patty and bun.
    {"hungry", Argb(255, 245, 150, 40), Argb(255, 90, 45, 10),
     [](double u, double v) {
       return (v <= -0.1 && v >= -0.5 && InCircle(u / 0.6, (v + 0.1) / 0.4, 0, 0, 1)) ||
              (std::abs(v - 0.08) <= 0.1 && std::abs(u) <= 0.62) || (v >= 0.26 && v <= 0.45 && std::abs(u) <= 0.55);
     }},
    // A glass with a straw.
    {"thirsty", Argb(255, 40, 110, 235), Argb(255, 250, 250, 250),
     [](double u, double v) {
       const bool glass = v >= -0.4 && v <= 0.55 && std::abs(u) <= 0.4 - 0.15 * (v + 0.4);
       const bool straw = v >= -0.75 && v <= -0.4 && std::abs(u - (0.1 - 0.6 * (v + 0.4))) <= 0.08;
       return glass || straw;
     }},
    // A drop.
    {"pee", Argb(255, 245, 215, 40), Argb(255, 30, 70, 170),
     [](double u, double v) {
       return InCircle(u, v, 0, 0.2, 0.4) || (v >= -0.6 && v <= 0.2 && std::abs(u) <= 0.4 * (v + 0.6) / 0.8);
     }},
    // A t-shirt.
    {"buystuff", Argb(255, 150, 60, 200), Argb(255, 250, 250, 250),
     [](double u, double v) {
       const bool body = std::abs(u) <= 0.34 && v >= -0.45 && v <= 0.55;
       const bool sleeves = std::abs(u) <= 0.68 && v >= -0.45 && v <= -0.1;
       return (body || sleeves) && !InCircle(u, v, 0, -0.47, 0.16);
     }},
    // A first-aid cross.
    {"injured", Argb(255, 215, 30, 30), Argb(255, 250, 250, 250),
     [](double u, double v) {
       return (std::abs(u) <= 0.19 && std::abs(v) <= 0.6) || (std::abs(v) <= 0.19 && std::abs(u) <= 0.6);
     }},
    // A crescent moon.
    {"tired", Argb(255, 35, 35, 115), Argb(255, 250, 220, 80),
     [](double u, double v) { return InCircle(u, v, 0, 0, 0.58) && !InCircle(u, v, 0.28, -0.16, 0.46); }},
    // A dollar sign: an S of two half rings on a bar.
    {"cost", Argb(255, 40, 160, 70), Argb(255, 250, 250, 250),
     [](double u, double v) {
       const bool upper = InRing(u, v, 0, -0.24, 0.25, 0.09) && !(u > 0 && v > -0.24);
       const bool lower = InRing(u, v, 0, 0.24, 0.25, 0.09) && !(u < 0 && v < 0.24);
       return upper || lower || (std::abs(u) <= 0.06 && std::abs(v) <= 0.7);
     }},
};

// Far off, the software renderer fills each of a sprite's two triangles with the one texel at the
// middle of its texture coordinates, a third of the way in from opposite corners. The pictogram
// keeps to the middle and leaves the ground there, so that a far bubble still shows the colour of
// its need, at every mip level.
constexpr double kSignScale = 0.62;

Painter Bubble(uint32_t side, const BubblePicture& picture) {
  return [side, &picture](uint32_t x, uint32_t y) {
    const double half = side / 2.0, u = (x + 0.5 - half) / half, v = (y + 0.5 - half) / half;
    const uint32_t disc = Disc(side, 0, 0, 0)(x, y);
    const uint32_t alpha = disc & 0xFF000000u;
    if (alpha == 0) return disc;
    if (u * u + v * v >= 0.87 * 0.87) return alpha | Argb(0, 25, 25, 25);  // the rim
    const bool sign = picture.inSign(u / kSignScale, v / kSignScale);
    return alpha | ((sign ? picture.sign : picture.ground) & 0xFFFFFFu);
  };
}

const char* const kIcons[] = {"ground", "box", "ramp", "lodramp", "spinner", "bump", "figure", "crate", "buggy", "missing"};

// Every demo mesh has an icon beside it: the build dialog shows it.
std::vector<std::string> IconNames() {
  std::vector<std::string> names(std::begin(kIcons), std::end(kIcons));
  for (const PieceSpec& piece : PieceSpecs()) names.push_back(piece.name);
  names.push_back(kMoundPiece);
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
  for (const BubblePicture& bubble : kBubbles)
    files.push_back(std::string("textures/thoughtbubbles/") + bubble.name + ".tga");
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
  for (const BubblePicture& bubble : kBubbles) {
    const std::string path = folder + "/textures/thoughtbubbles/" + bubble.name + ".tga";
    check(WriteTarga(path, 32, 32, Bubble(32, bubble)), path);
  }
  uint32_t hue = 252;  // the icons keep the colours they were first painted in
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
