// Sprite files: the generator's files read back exactly, every truncated prefix and every hostile
// count is refused with one line, alphabets draw their glyphs, and a reload keeps sprite pointers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/data/LittleEndian.h"
#include "render/image/ColourDepth.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContentUi.h"
#include "ui/sprites/Sprite.h"
#include "ui/sprites/SpriteFile.h"
#include "ui/sprites/SpriteFileFormat.h"
#include "ui/sprites/SpriteText.h"
#include "ui/sprites/TinyFont.h"

using testing_support::DebugCapture;

namespace {

int Lines(const std::string& text) {
  int n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

const DemoContent::SpriteFileSpec& FileNamed(const std::vector<DemoContent::SpriteFileSpec>& files, const char* part) {
  for (const auto& f : files)
    if (f.relativePath.find(part) != std::string::npos) return f;
  return files.front();
}

struct Surface16 {
  Surface16(int w, int h, uint32_t bits = 15) : pixels(static_cast<size_t>(w) * h, 0x1234) {
    surface = DrawSurface{pixels.data(), static_cast<uint32_t>(w), static_cast<uint32_t>(h), w * 2, bits};
  }
  std::vector<uint16_t> pixels;
  DrawSurface surface;
};

class DepthScope {
 public:
  explicit DepthScope(uint32_t bits) : previous_(GetColourDepth()) { SetColourDepth(bits); }
  ~DepthScope() { SetColourDepth(previous_); }

 private:
  uint32_t previous_;
};

}  // namespace

TEST(SpriteFileFormat, EveryGeneratedFileReadsBackRecordForRecord) {
  const std::vector<DemoContent::SpriteFileSpec> files = DemoContent::UiSpriteFiles();
  ASSERT_EQ(files.size(), 6u);
  std::vector<SpriteFileFormat::SpriteRecord> back;  // each read replaces what the last one left
  for (const auto& file : files) {
    SCOPED_TRACE(file.relativePath);
    const std::vector<uint8_t> bytes = SpriteFileFormat::Write(file.sprites);
    ASSERT_TRUE(SpriteFileFormat::Read(bytes.data(), bytes.size(), back));
    ASSERT_EQ(back.size(), file.sprites.size());
    for (size_t i = 0; i < back.size(); ++i) {
      EXPECT_EQ(back[i].name, file.sprites[i].name);
      EXPECT_EQ(back[i].frameCount, file.sprites[i].frameCount);
      EXPECT_EQ(back[i].firstCode, file.sprites[i].firstCode);
      EXPECT_EQ(back[i].image, file.sprites[i].image);
    }
    // And the sprite file builds a sprite of each with the frame size the picture implies.
    CSpriteFile sprites;
    ASSERT_TRUE(sprites.LoadFromMemory(bytes.data(), bytes.size(), file.relativePath.c_str()));
    EXPECT_EQ(sprites.GetSpriteCount(), file.sprites.size());
  }
  const auto& font = FileNamed(files, "14point");
  CSpriteFile sprites;
  const std::vector<uint8_t> bytes = SpriteFileFormat::Write(font.sprites);
  ASSERT_TRUE(sprites.LoadFromMemory(bytes.data(), bytes.size(), "font"));
  const CSprite* alphabet = sprites.GetSprite("Alphabet");
  ASSERT_NE(alphabet, nullptr);
  EXPECT_EQ(alphabet->GetImage()->depth, static_cast<int>(GetColourDepth())) << "read at the screen's depth";
  EXPECT_EQ(alphabet->GetFrameCount(), 95);
  EXPECT_EQ(alphabet->GetWidth(), 12);
  EXPECT_EQ(alphabet->GetHeight(), 16);
  EXPECT_EQ(alphabet->GetFirstCode(), 32);
}

TEST(SpriteFileFormat, EveryTruncatedPrefixIsRefusedWithOneLine) {
  const auto files = DemoContent::UiSpriteFiles();
  const std::vector<uint8_t> bytes = SpriteFileFormat::Write(FileNamed(files, "mousecursor").sprites);
  DebugCapture log;
  for (size_t n = 0; n < bytes.size(); ++n) {
    log.Clear();
    // A copy of exactly n bytes, so the sanitizer catches any read past them.
    std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    std::vector<SpriteFileFormat::SpriteRecord> out(1);
    ASSERT_FALSE(SpriteFileFormat::Read(prefix.data(), prefix.size(), out)) << n;
    EXPECT_TRUE(out.empty());
    ASSERT_EQ(Lines(log.Text()), 1) << n << ": " << log.Text();
    CSpriteFile file;
    EXPECT_FALSE(file.LoadFromMemory(prefix.data(), prefix.size(), "prefix"));
    EXPECT_EQ(file.GetSpriteCount(), 0u);
  }
  // One byte too many is refused as well.
  std::vector<uint8_t> longer = bytes;
  longer.push_back(0);
  std::vector<SpriteFileFormat::SpriteRecord> out;
  EXPECT_FALSE(SpriteFileFormat::Read(longer.data(), longer.size(), out));
}

TEST(SpriteFileFormat, HostileCountsAndFieldsAreRefused) {
  const auto files = DemoContent::UiSpriteFiles();
  const std::vector<uint8_t> good = SpriteFileFormat::Write(FileNamed(files, "mousecursor").sprites);
  // Offsets of the one record's fields: name length at 12, name "mousecursor" (11 bytes), then the
  // frame count at 24, first code at 26 and the image size at 28.
  ASSERT_EQ(good[12], 11u);
  struct Case {
    const char* what;
    size_t offset;
    uint32_t value;
    int bytes;
  };
  const Case cases[] = {
      {"version", 4, 2, 4},           {"count past the limit", 8, 0xFFFFFFFFu, 4}, {"count one too many", 8, 2, 4},
      {"empty name", 12, 0, 1},       {"name past the limit", 12, 200, 1},         {"no frames", 24, 0, 2},
      {"frames past limit", 24, 5000, 2}, {"image size huge", 28, 0xFFFFFFFFu, 4}, {"image size short", 28, 10, 4},
      {"magic", 0, 'X', 1},           {"image not own format", 32, 'Z', 1},        {"image size zero", 28, 0, 4},
  };
  DebugCapture log;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes = good;
    if (c.bytes == 4) le::WriteU32(&bytes[c.offset], c.value);
    if (c.bytes == 2) le::WriteU16(&bytes[c.offset], static_cast<uint16_t>(c.value));
    if (c.bytes == 1) bytes[c.offset] = static_cast<uint8_t>(c.value);
    log.Clear();
    std::vector<SpriteFileFormat::SpriteRecord> out;
    EXPECT_FALSE(SpriteFileFormat::Read(bytes.data(), bytes.size(), out));
    EXPECT_EQ(Lines(log.Text()), 1) << log.Text();
  }
  // The frame count's limit is allowed, one past it is not.
  for (const uint16_t frames : {uint16_t{1024}, uint16_t{1025}}) {
    std::vector<uint8_t> bytes = good;
    le::WriteU16(&bytes[24], frames);
    std::vector<SpriteFileFormat::SpriteRecord> out;
    EXPECT_EQ(SpriteFileFormat::Read(bytes.data(), bytes.size(), out), frames == 1024) << frames;
    EXPECT_EQ(out.size(), frames == 1024 ? 1u : 0u);
    if (!out.empty()) EXPECT_EQ(out[0].frameCount, 1024);
  }
  // So is the sprite count's: 1024 records read back whole; the writer refuses 1025, and a file
  // with a 1025th record appended is refused.
  std::vector<SpriteFileFormat::SpriteRecord> many(1024, FileNamed(files, "mousecursor").sprites[0]);
  for (size_t i = 0; i < many.size(); ++i) many[i].name = "s" + std::to_string(i);
  std::vector<uint8_t> full = SpriteFileFormat::Write(many);
  std::vector<SpriteFileFormat::SpriteRecord> back;
  ASSERT_TRUE(SpriteFileFormat::Read(full.data(), full.size(), back));
  ASSERT_EQ(back.size(), 1024u);
  EXPECT_EQ(back.back().name, "s1023");
  EXPECT_EQ(back.back().image, many.back().image);
  many.push_back(many.back());
  EXPECT_TRUE(SpriteFileFormat::Write(many).empty());
  full.insert(full.end(), good.begin() + 12, good.end());
  le::WriteU32(&full[8], 1025);
  log.Clear();
  EXPECT_FALSE(SpriteFileFormat::Read(full.data(), full.size(), back));
  EXPECT_TRUE(back.empty());
  EXPECT_EQ(Lines(log.Text()), 1) << log.Text();
  // A picture whose width does not split into the frames is refused by the sprite file.
  std::vector<SpriteFileFormat::SpriteRecord> records = FileNamed(files, "mousecursor").sprites;
  records[0].frameCount = 5;  // 24 pixels wide
  const std::vector<uint8_t> odd = SpriteFileFormat::Write(records);
  CSpriteFile file;
  EXPECT_FALSE(file.LoadFromMemory(odd.data(), odd.size(), "odd"));
  // The writer refuses what the reader would refuse.
  records[0].frameCount = 0;
  EXPECT_TRUE(SpriteFileFormat::Write(records).empty());
  records[0].frameCount = 1;
  records[0].name.clear();
  EXPECT_TRUE(SpriteFileFormat::Write(records).empty());
}

TEST(SpriteText, AlphabetGlyphsLandWhereTheBuiltInFontPutsItsBitsAndFallsBackWithoutOne) {
  DepthScope depth(15);
  const auto files = DemoContent::UiSpriteFiles();
  const std::vector<uint8_t> bytes = SpriteFileFormat::Write(FileNamed(files, "10point").sprites);
  CSpriteFile file;
  ASSERT_TRUE(file.LoadFromMemory(bytes.data(), bytes.size(), "10point"));
  const CSprite* font = file.GetSprite("Alphabet");
  EXPECT_EQ(SpriteText::Width(font, "AB"), 14);
  EXPECT_EQ(SpriteText::Height(font), 9);

  Surface16 s(40, 12);
  SpriteText::Draw(s.surface, font, 3, 2, "K ", 0);
  // The glyph's ink sits one pixel in from the cell corner and is orange (red high, blue low);
  // untouched pixels keep the background.
  const uint8_t* glyph = TinyFont::Glyph('K');
  for (int row = 0; row < TinyFont::kGlyphHeight; ++row)
    for (int col = 0; col < TinyFont::kGlyphWidth; ++col) {
      if (!(glyph[row] & (0x10 >> col))) continue;
      const uint16_t p = s.pixels[static_cast<size_t>(2 + 1 + row) * 40 + 3 + 1 + col];
      EXPECT_GE(p >> 10 & 31, 28) << col << "," << row;
      EXPECT_LE(p & 31, 4) << col << "," << row;
    }
  EXPECT_EQ(s.pixels[0], 0x1234) << "outside the cell";
  EXPECT_EQ(s.pixels[static_cast<size_t>(2 + 4) * 40 + 3 + 7 + 3], 0x1234) << "the space's cell is transparent";
  EXPECT_EQ(s.pixels[static_cast<size_t>(2) * 40 + 3], (0x20 >> 3) << 10 | (0x10 >> 3) << 5 | 0x08 >> 3) << "the outline around the K's corner";

  // Without a usable sprite the built-in font draws, in the colour given.
  Surface16 plain(40, 12);
  CSprite empty("Alphabet", 7, 9, 95);
  EXPECT_EQ(SpriteText::Width(nullptr, "AB"), TinyFont::TextWidth("AB", 1));
  SpriteText::Draw(plain.surface, &empty, 0, 0, "K", 0xFFFFFFFFu);
  EXPECT_EQ(plain.pixels[0], 0x7FFF);  // the K's top-left bit
}

TEST(SpriteFile, ReloadAfterADepthChangeKeepsTheSpriteObjects) {
  testing_support::TempFolder folder;
  const auto files = DemoContent::UiSpriteFiles();
  std::vector<SpriteFileFormat::SpriteRecord> sprites = FileNamed(files, "interface").sprites;
  std::vector<uint8_t> bytes = SpriteFileFormat::Write(sprites);
  const std::string path = folder.Write("interface.bin", std::string(bytes.begin(), bytes.end()));
  DepthScope depth(15);
  CSpriteFile file;
  ASSERT_TRUE(file.Load(path.c_str()));
  const size_t count = file.GetSpriteCount();
  CSprite* button = file.GetSprite("button");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->GetImage()->depth, 15);
  const CImage* before = button->GetImage().Get();
  // The file gained a sprite meanwhile: the reload adds it beside the kept ones.
  sprites.push_back(sprites.front());
  sprites.back().name = "added";
  bytes = SpriteFileFormat::Write(sprites);
  folder.Write("interface.bin", std::string(bytes.begin(), bytes.end()));
  SetColourDepth(16);
  file.Reload();
  EXPECT_EQ(file.GetSprite("button"), button) << "callers keep sprite pointers across a reload";
  EXPECT_EQ(file.GetSpriteCount(), count + 1);
  ASSERT_NE(file.GetSprite("added"), nullptr);
  EXPECT_EQ(file.GetSprite("added")->GetImage()->depth, 16);
  EXPECT_EQ(button->GetImage()->depth, 16);
  EXPECT_NE(button->GetImage().Get(), before) << "the picture was read again";
  // Drawn into a 5-6-5 surface the bar's inside is its dark brown in that format.
  Surface16 s(210, 30, 16);
  button->x = 2;
  button->y = 3;
  ASSERT_TRUE(button->Draw(s.surface));
  const uint16_t inside = s.pixels[static_cast<size_t>(10) * 210 + 50];
  EXPECT_EQ(inside >> 11, 0x60 >> 3);
  EXPECT_EQ(inside & 31, 0x18 >> 3);
  Surface16 s15(210, 30, 15);  // a 5-5-5 surface takes the picture over to its format
  ASSERT_TRUE(button->Draw(s15.surface));
  const uint16_t inside15 = s15.pixels[static_cast<size_t>(10) * 210 + 50];
  EXPECT_TRUE(inside15 >> 10 == 0x60 >> 3 && (inside15 & 31) == 0x18 >> 3) << std::hex << inside15;
  ASSERT_TRUE(button->Draw(s.surface));  // and a 5-6-5 one back to 5-6-5
  EXPECT_EQ(s.pixels[static_cast<size_t>(10) * 210 + 50], inside);
  std::remove(path.c_str());  // gone: the kept pictures are converted instead
  SetColourDepth(15);
  file.Reload();
  EXPECT_TRUE(file.GetSprite("button") == button && button->GetImage()->depth == 15);
}
