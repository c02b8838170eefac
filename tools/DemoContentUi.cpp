// DemoContentUi: fonts, pointer and menu art drawn in code, encoded as BW pictures and packed
// into sprite files.
#include "tools/DemoContentUi.h"

#include <filesystem>
#include <functional>

#include "core/data/DebugPrintf.h"
#include "platform/files/FileWrite.h"
#include "render/image/BWImage.h"
#include "render/image/BitmapImage.h"
#include "ui/sprites/TinyFont.h"

namespace DemoContent {
namespace {

constexpr int kFirstChar = 32;
constexpr int kLastChar = 126;

// ARGB per pixel of a picture w x h.
using Painter = std::function<uint32_t(int x, int y)>;

// The BW file image of a painted picture (alpha 0 leaves the pixel out); empty on failure.
std::vector<uint8_t> EncodeBW(int w, int h, const Painter& paint) {
  CImageRef image = CreateDibImage(w, h, 24);
  if (image.IsNull()) return {};
  uint8_t* alpha = static_cast<CBitmapImage*>(image.Get())->AlphaPlaneForWrite();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = paint(x, y);
      uint8_t* p = image->pixels + static_cast<size_t>(y) * image->pitch + 3 * x;
      p[0] = static_cast<uint8_t>(c);
      p[1] = static_cast<uint8_t>(c >> 8);
      p[2] = static_cast<uint8_t>(c >> 16);
      alpha[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(c >> 24);
    }
  CBWImage bw;
  bw.flags |= CImage::kCompressOnSave;
  if (bw.CopyFrom(*image.Get(), nullptr, nullptr) != 1) return {};
  const int32_t size = bw.SaveToMemory(nullptr, 0);
  if (size <= 0) return {};
  std::vector<uint8_t> file(static_cast<size_t>(size));
  bw.SaveToMemory(file.data(), file.size());
  return file;
}

bool GlyphBit(char c, int col, int row) {
  const uint8_t* glyph = TinyFont::Glyph(c);
  if (glyph == nullptr || col < 0 || row < 0 || col >= TinyFont::kGlyphWidth || row >= TinyFont::kGlyphHeight)
    return false;
  return (glyph[row] & (0x10 >> col)) != 0;
}

// An alphabet of cells cellW x cellH, the built-in glyphs scaled by scale with a one-pixel
// outline, one frame per character.
SpriteFileFormat::SpriteRecord Alphabet(int scale, int cellW, int cellH, uint32_t colour) {
  const int frames = kLastChar - kFirstChar + 1;
  auto ink = [scale](char c, int x, int y) {
    return x >= 0 && y >= 0 && GlyphBit(c, (x - 1) / scale, (y - 1) / scale) && x >= 1 && y >= 1;
  };
  const Painter paint = [=](int x, int y) -> uint32_t {
    const char c = static_cast<char>(kFirstChar + x / cellW);
    const int cx = x % cellW, cy = y;
    if (ink(c, cx, cy)) return colour;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (ink(c, cx + dx, cy + dy)) return 0xFF201008u;  // outline
    return 0;
  };
  SpriteFileFormat::SpriteRecord record;
  record.name = "Alphabet";
  record.frameCount = static_cast<uint16_t>(frames);
  record.firstCode = kFirstChar;
  record.image = EncodeBW(frames * cellW, cellH, paint);
  return record;
}

SpriteFileFormat::SpriteRecord Solid(const char* name, int w, int h, int frames, const Painter& paint) {
  SpriteFileFormat::SpriteRecord record;
  record.name = name;
  record.frameCount = static_cast<uint16_t>(frames);
  record.image = EncodeBW(w * frames, h, paint);
  return record;
}

// A text cursor: an upright bar.
SpriteFileFormat::SpriteRecord Bar(const char* name, int h, uint32_t colour) {
  return Solid(name, 2, h, 1, [colour](int, int) { return colour; });
}

// The pointer: an arrow, white with a black rim; frame 1 is the same arrow in yellow (busy).
SpriteFileFormat::SpriteRecord Pointer() {
  return Solid("mousecursor", 12, 18, 2, [](int x, int y) -> uint32_t {
    const int fx = x % 12;
    const bool inside = fx <= y / 2 + 1 && y < 16;
    if (!inside) return 0;
    const bool rim = fx == 0 || fx == y / 2 + 1 || y == 15;
    if (rim) return 0xFF000000u;
    return x >= 12 ? 0xFFFFE040u : 0xFFFFFFFFu;
  });
}

// Menu button art: frame 0 normal, frame 1 under the pointer; a bevelled bar.
SpriteFileFormat::SpriteRecord Button() {
  return Solid("button", 200, 22, 2, [](int x, int y) -> uint32_t {
    const bool lit = x >= 200;
    const int fx = x % 200;
    if (fx == 0 || y == 0) return 0xFFE0C080u;
    if (fx == 199 || y == 21) return 0xFF402010u;
    return lit ? 0xFFB06010u : 0xFF603018u;
  });
}

SpriteFileFormat::SpriteRecord Panel() {
  return Solid("panel", 32, 32, 1, [](int x, int y) -> uint32_t {
    const bool edge = x == 0 || y == 0 || x == 31 || y == 31;
    return edge ? 0xFFE09020u : 0xE0182030u;
  });
}

bool AnyEmpty(const SpriteFileSpec& file) {
  for (const auto& sprite : file.sprites)
    if (sprite.image.empty()) return true;
  return false;
}

}  // namespace

std::vector<SpriteFileSpec> UiSpriteFiles() {
  constexpr uint32_t kOrange = 0xFFFF9900u;
  std::vector<SpriteFileSpec> files;
  files.push_back({"ui/fonts/14point_bold_orange/14point_bold_orange.bin",
                   {Alphabet(2, 12, 16, kOrange), Bar("cursor", 16, kOrange)}});
  files.push_back({"ui/fonts/16point_bold_orange/16point_bold_orange.bin", {Alphabet(2, 13, 18, kOrange)}});
  files.push_back({"ui/fonts/10point_bold_orange/10point_bold_orange.bin", {Alphabet(1, 7, 9, kOrange)}});
  files.push_back({"ui/global/font_small.bin", {Alphabet(1, 7, 9, 0xFFFFFFFFu), Bar("Cursor", 9, 0xFFFFFFFFu)}});
  files.push_back({"ui/global/mousecursor.bin", {Pointer()}});
  files.push_back({"ui/interface/interface.bin", {Button(), Panel()}});
  return files;
}

bool WriteUi(const std::string& dataFolder) {
  bool ok = true;
  for (const SpriteFileSpec& file : UiSpriteFiles()) {
    const std::string path = dataFolder + "/" + file.relativePath;
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    const std::vector<uint8_t> bytes = AnyEmpty(file) ? std::vector<uint8_t>() : SpriteFileFormat::Write(file.sprites);
    if (bytes.empty() || !plat::ReplaceFileContents(path.c_str(), bytes.data(), bytes.size())) {
      DebugPrintf("DemoContent: could not write %s\n", path.c_str());
      ok = false;
    }
  }
  return ok;
}

bool WriteGeneratorStamp(const std::string& dataFolder) {
  const std::string path = dataFolder + "/" + kGeneratorStampFile;
  const std::string text = std::to_string(kGeneratorVersion) + "\n";
  if (plat::ReplaceFileContents(path.c_str(), text.data(), text.size())) return true;
  DebugPrintf("DemoContent: could not write %s\n", path.c_str());
  return false;
}

}  // namespace DemoContent
