// BW images: hand-built rows drawn and queried, the 2x path, depth changes, saving in both forms,
// hostile files; B2 sprites; building both from true colour.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/data/LittleEndian.h"
#include "render/image/B2Image.h"
#include "render/image/BWImage.h"
#include "render/image/BitmapImage.h"
#include "tests/support/Golden.h"
#include "tests/support/InputCost.h"
#include "tests/support/TempFolder.h"

namespace {

uint16_t Pack555(int r, int g, int b) { return static_cast<uint16_t>(r << 10 | g << 5 | b); }

// A BW file image with the given rows of commands (row-coded) or index rows (raw).
std::vector<uint8_t> BWFile(int w, int h, const std::vector<uint16_t>& palette, const std::vector<std::vector<uint8_t>>& rows,
                            bool rowCoded) {
  const size_t area = 33 + 2 * palette.size();
  std::vector<uint8_t> file(area, 0);
  file[0] = 'B';
  file[1] = 'W';
  le::WriteU16(file.data() + 6, static_cast<uint16_t>(w));
  le::WriteU16(file.data() + 8, static_cast<uint16_t>(h));
  file[10] = rowCoded ? 1 : 0;
  le::WriteU16(file.data() + 11, static_cast<uint16_t>(palette.size()));
  file[13] = 0;  // read as 15
  for (size_t i = 0; i < palette.size(); ++i) le::WriteU16(file.data() + 33 + 2 * i, palette[i]);
  if (rowCoded) {
    size_t at = area + 4 * rows.size();
    for (const auto& row : rows) {
      le::PutU32(file, static_cast<uint32_t>(at));
      at += row.size();
    }
  }
  for (const auto& row : rows) file.insert(file.end(), row.begin(), row.end());
  le::WriteU32(file.data() + 2, static_cast<uint32_t>(file.size()));
  return file;
}

const std::vector<uint16_t> kPalette = {Pack555(31, 0, 0), Pack555(0, 31, 0), Pack555(0, 0, 31), Pack555(10, 20, 30)};

// Row 0: skip 2, literal {1, 3}, fill 3 x index 2, blend {0 @ 16}, {1 @ 31}; row 1: shade levels
// {0, 31, 8}, shade fill 4 @ 20, indices {0}; row 2 empty.
std::vector<std::vector<uint8_t>> SampleRows() {
  return {{1, 2, 0, 0xC2, 1, 3, 0x83, 2, 2, 2, 0, 0, 16, 1, 31, 0},
          {4, 3, 0, 0, 31, 8, 5, 4, 0, 20, 3, 1, 0, 0, 0},
          {0}};
}

// The rules, pixel by pixel, over a 5-5-5 background.
uint16_t Expected(int x, int y, uint16_t under) {
  const BlendTables& t = BlendTables::Get();
  auto blend = [&t](uint16_t s, uint16_t d, int l) {
    return Pack555(t.blend[l][s >> 10 & 31][d >> 10 & 31], t.blend[l][s >> 5 & 31][d >> 5 & 31], t.blend[l][s & 31][d & 31]);
  };
  auto shade = [&t](uint16_t d, int l) { return Pack555(t.shade[l][d >> 10 & 31], t.shade[l][d >> 5 & 31], t.shade[l][d & 31]); };
  if (y == 0) {
    const int row0[10] = {-1, -1, 1, 3, 2, 2, 2, 100, 101, -1};
    if (x >= 9 || row0[x] < 0) return under;
    if (row0[x] == 100) return blend(kPalette[0], under, 16);
    if (row0[x] == 101) return blend(kPalette[1], under, 31);
    return kPalette[row0[x]];
  }
  if (y == 1) {
    const int levels[3] = {0, 31, 8};
    if (x < 3) return shade(under, levels[x]);
    if (x < 7) return shade(under, 20);
    if (x == 7) return kPalette[0];
    return under;
  }
  return under;
}

// A w x h screen of 16-bit pixels at the given depth (15 or 16), rows packed.
RawSurface Screen(std::vector<uint16_t>& pixels, int w, int h, int depth) {
  return RawSurface{reinterpret_cast<uint8_t*>(pixels.data()), w, h, 2 * w, depth};
}

// A file image as bytes, for the golden compares.
std::string Bytes(const std::vector<uint8_t>& file) { return std::string(file.begin(), file.end()); }

std::vector<uint16_t> Background(int w, int h) {
  std::vector<uint16_t> out(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint16_t>((i * 2654435761u) >> 7 & 0x7FFF);
  return out;
}

}  // namespace

TEST(BWImage, RowCommandsDrawAndAnswerAsTheRulesSay) {
  const std::vector<uint8_t> file = BWFile(10, 3, kPalette, SampleRows(), true);
  CImageRef image = LoadImageFromMemory(file.data(), file.size());
  ASSERT_FALSE(image.IsNull());
  EXPECT_EQ(15, image->depth);
  // Every clip of every row against the rule-by-rule reference.
  for (int x0 = -3; x0 < 10; ++x0)
    for (int width = 1; width < 12; ++width) {
      std::vector<uint16_t> screen = Background(12, 4), want = screen;
      const ImageRect src{x0, 0, x0 + width - 1, 2};
      const int drawn = image->BltRaw(Screen(screen, 12, 4, 15), src, ImageRect{1, 1, 1 + width - 1, 3});
      bool visible = false;
      for (int y = 0; y < 3; ++y)
        for (int x = std::max(0, x0); x <= std::min(9, x0 + width - 1); ++x) {
          const int sx = 1 + x - x0;
          if (sx < 0 || sx >= 12) continue;
          visible = true;
          want[(1 + y) * 12 + sx] = Expected(x, y, want[(1 + y) * 12 + sx]);
        }
      ASSERT_EQ(visible ? 1 : 0, drawn) << x0 << " " << width;  // a rect wholly outside draws nothing
      ASSERT_EQ(want, screen) << x0 << " " << width;
    }
  // The kind of every pixel (row 2 is empty) and of one past the right edge, the bounding box, and
  // the first drawn row of every column (row 0 skips columns 0 and 1; a short fill does not count).
  const int32_t solid = CBWImage::kPixelSolid, blended = CBWImage::kPixelBlended;
  const std::vector<int32_t> kinds = {-1,      -1,      solid, solid,   solid,   solid,   solid,   blended,
                                      blended, -1,      -1,    blended, blended, blended, blended, blended,
                                      blended, blended, solid, -1,      -1,      -1};
  for (int i = 0; i < 33; ++i) EXPECT_EQ(i < 22 ? kinds[i] : -1, image->GetPixel(i % 11, i / 11)) << i;
  int32_t box[4];
  image->GetHeaderInfo(box);
  EXPECT_EQ((std::vector<int32_t>{0, 0, 8, 1}), std::vector<int32_t>(box, box + 4));
  const int firstRows[10] = {1, 1, 0, 0, 1, 1, 1, 0, 0, -1};
  for (int x = 0; x < 10; ++x) EXPECT_EQ(firstRows[x], image->FindFirstRowInColumn(x)) << x;
  // Every row a single 0 byte.
  const std::vector<uint8_t> empty = BWFile(4, 2, kPalette, {{0}, {0}}, true);
  CImageRef blank = LoadImageFromMemory(empty.data(), empty.size());
  ASSERT_FALSE(blank.IsNull());
  blank->GetHeaderInfo(box);
  EXPECT_EQ((std::vector<int32_t>{0, 0, 0, 0}), std::vector<int32_t>(box, box + 4));
  EXPECT_EQ(-1, blank->FindFirstRowInColumn(1));
}

TEST(BWImage, DoubledPathDepthChangesAndRefusals) {
  const std::vector<uint8_t> file = BWFile(10, 3, kPalette, SampleRows(), true);
  CImageRef image = LoadImageFromMemory(file.data(), file.size());
  // 2x: each pixel twice across and down, the same colours as the 1:1 path, also where the
  // screen cuts the picture on any side; nothing where it misses it.
  const std::vector<uint16_t> under = Background(10, 3);
  std::vector<uint16_t> one = under;
  ASSERT_EQ(1, image->BltRaw(Screen(one, 10, 3, 15), ImageRect{0, 0, 9, 2}, ImageRect{0, 0, 9, 2}));
  for (int off : {-4, 0, 4, 20}) {
    std::vector<uint16_t> two(20 * 6), want(20 * 6);
    for (int i = 0; i < 20 * 6; ++i) {
      const int sx = (i % 20 - off + 20) / 2 - 10, sy = (i / 20 - off + 20) / 2 - 10;  // floor((x - off) / 2)
      const int at = std::clamp(sy, 0, 2) * 10 + std::clamp(sx, 0, 9);
      two[i] = under[at];
      want[i] = sx == std::clamp(sx, 0, 9) && sy == std::clamp(sy, 0, 2) ? one[at] : under[at];
    }
    const ImageRect to{off, off, off + 19, off + 5};
    ASSERT_EQ(off < 20 ? 1 : 0, image->BltRaw(Screen(two, 20, 6, 15), ImageRect{0, 0, 9, 2}, to));
    ASSERT_EQ(want, two) << off;
  }
  // One pixel larger takes the 1:1 path.
  std::vector<uint16_t> odd(21 * 7, 0);
  ASSERT_EQ(1, image->BltRaw(Screen(odd, 21, 7, 15), ImageRect{0, 0, 9, 2}, ImageRect{0, 0, 20, 5}));
  EXPECT_EQ(0, odd[21 * 1 + 4]);  // a 2x copy would put a green literal there
  EXPECT_EQ(kPalette[1], odd[2]);
  // No 8-bit converters, and 2x only into 5-5-5.
  std::vector<uint8_t> bytes(64);
  EXPECT_EQ(0, image->BltRaw(RawSurface{bytes.data(), 8, 8, 8, 8}, ImageRect{0, 0, 3, 0}, ImageRect{0, 0, 3, 0}));
  EXPECT_EQ(0, image->BltRaw(RawSurface{bytes.data(), 4, 4, 8, 16}, ImageRect{0, 0, 1, 1}, ImageRect{0, 0, 3, 3}));
  // 5-6-5: asked twice, converted once.
  for (int ask = 0; ask < 2; ++ask) ASSERT_EQ(1, image->SetBitDepth(16));
  EXPECT_EQ(To565(kPalette[3]), static_cast<CBWImage*>(image.Get())->GetPaletteEntry(3));
  ASSERT_EQ(1, image->SetBitDepth(15));
  EXPECT_EQ(kPalette[3], static_cast<CBWImage*>(image.Get())->GetPaletteEntry(3));
  // A DIB draws the BW picture into itself at its own depth.
  CImageRef dib = CreateDibImage(10, 3, 16);
  ASSERT_EQ(1, image->CopyFromRef(dib, nullptr, nullptr));
  EXPECT_EQ(16, image->depth);
  // Stretching is a DIB's job: a BW picture refuses it and the DIB keeps column 2's literal, not column 4's fill.
  EXPECT_EQ(0, image->StretchFromRef(dib, ImageRect{0, 0, 9, 2}, ImageRect{0, 0, 4, 1}, nullptr));
  EXPECT_EQ(0, image->StretchFrom(*dib.Get(), ImageRect{0, 0, 9, 2}, ImageRect{0, 0, 4, 1}, nullptr));
  EXPECT_EQ(To565(kPalette[1]), le::ReadU16(dib->pixels + 2 * 2));
  image->BuildPairTable();
  const auto& pairs = static_cast<CBWImage*>(image.Get())->GetPairTable();
  EXPECT_EQ(static_cast<uint32_t>(To565(kPalette[2])) << 16 | To565(kPalette[3]), pairs[2 * 256 + 3]);
  EXPECT_EQ(static_cast<uint32_t>(To565(kPalette[3])) << 16, pairs[3 * 256 + 4]);  // entries past the file's are black
}

TEST(BWImage, SavedCompressedAndPlainLoadBackAndBrokenFilesFail) {
  std::mt19937 rng(3);
  std::vector<uint8_t> indices(40 * 30);
  for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint8_t>(i % 40 < 25 ? (i / 80) % 4 : rng() % 4);
  std::vector<std::vector<uint8_t>> rows;
  for (int y = 0; y < 30; ++y) rows.emplace_back(indices.begin() + y * 40, indices.begin() + (y + 1) * 40);
  const std::vector<uint8_t> raw = BWFile(40, 30, kPalette, rows, false);
  CImageRef image = LoadImageFromMemory(raw.data(), raw.size());
  ASSERT_FALSE(image.IsNull());
  EXPECT_EQ(CBWImage::kPixelBlended, image->GetPixel(3, 3));
  // Green (index 1) becomes index 3 wherever it stands; a colour the palette lacks changes nothing.
  auto* bw = static_cast<CBWImage*>(image.Get());
  EXPECT_EQ(0, bw->ReplaceColourIndex(0x00FF08, 0));
  EXPECT_EQ(std::count(indices.begin(), indices.end(), 1), bw->ReplaceColourIndex(0x00FF00, 3));
  std::replace(indices.begin(), indices.end(), 1, 3);
  // Debug dumps: the index rows at a 512-byte pitch, alone and as a bank of 128 rows numbered by the
  // name's first character (so a bank goes to the working folder), and the palette as 8-bit RGB.
  testing_support::TempFolder temp;
  const std::string at = temp.Path();
  ASSERT_EQ(3, bw->SaveRawRows((at + "rows").c_str()) + bw->SaveRawBanks("Xbw-bank.raw") +
                   bw->SavePalette((at + "rgb").c_str()));
  const std::string dumped = testing_support::ReadBytes(at + "rows") + testing_support::ReadBytes("0bw-bank.raw");
  std::remove("0bw-bank.raw");
  testing_support::ExpectGolden(dumped + testing_support::ReadBytes(at + "rgb"),
                                "render/image/golden/SavedRawDumps.bin");
  for (bool compress : {false, true}) {
    image->flags = static_cast<uint16_t>(compress ? image->flags | CImage::kCompressOnSave : image->flags & ~CImage::kCompressOnSave);
    CImageRef copy = image->Clone();  // saves as its original does
    const int32_t size = copy->SaveToMemory(nullptr, 0);
    std::vector<uint8_t> file(static_cast<size_t>(size));
    ASSERT_EQ(size, copy->SaveToMemory(file.data(), file.size()));
    if (compress) EXPECT_LT(file.size(), raw.size());
    ASSERT_EQ(1, image->Save((temp.Path() + "a.bw").c_str()));
    EXPECT_EQ(std::string(file.begin(), file.end()), testing_support::ReadBytes(temp.Path() + "a.bw"));
    CImageRef back = LoadImageFile((temp.Path() + "a.bw").c_str());
    ASSERT_FALSE(back.IsNull());
    EXPECT_EQ(0, std::memcmp(back->pixels, indices.data(), indices.size()));
    EXPECT_EQ(40, back->pitch) << "one index byte a pixel";
    // Raw rows at 2x: every index twice across and down.
    std::vector<uint16_t> doubled(80 * 60), want(80 * 60);
    for (size_t i = 0; i < want.size(); ++i) want[i] = kPalette[indices[i / 160 * 40 + i % 80 / 2]];
    ASSERT_EQ(1, back->BltRaw(Screen(doubled, 80, 60, 15), ImageRect{0, 0, 39, 29}, ImageRect{0, 0, 79, 59}));
    EXPECT_EQ(want, doubled) << compress;
    // The saved header carries the compression flag, the palette format and the box's right edge.
    EXPECT_EQ((std::vector<uint32_t>{compress, 15, 39}),
              (std::vector<uint32_t>{file[14], file[13], le::ReadU32(&file[25])}));
    testing_support::DebugCapture log;
    for (size_t cut = 0; cut < file.size(); ++cut)
      ASSERT_TRUE(testing_support::WithinLinearCost(cut, [&] { return LoadImageFromMemory(file.data(), cut); }).IsNull())
          << compress << " " << cut;
    for (int round = 0; round < 300; ++round) {
      std::vector<uint8_t> broken = file;
      broken[rng() % broken.size()] ^= static_cast<uint8_t>(1 << (rng() % 8));
      CImageRef maybe = testing_support::WithinLinearCost(broken.size(), [&] { return LoadImageFromMemory(broken.data(), broken.size()); });
      if (!maybe.IsNull()) {
        std::vector<uint16_t> screen(40 * 30);
        maybe->BltRaw(Screen(screen, 40, 30, 15), ImageRect{0, 0, 39, 29}, ImageRect{0, 0, 39, 29});
      }
    }
  }
  // Row offsets outside the file and rows that run off its end are refused.
  std::vector<uint8_t> coded = BWFile(10, 3, kPalette, SampleRows(), true);
  std::vector<uint8_t> bad = coded;
  le::WriteU32(bad.data() + 33 + 8 + 4, 5000);
  EXPECT_TRUE(LoadImageFromMemory(bad.data(), bad.size()).IsNull());
  for (int row = 0; row < 3; ++row) {  // the first row as well as the others
    bad = coded;
    le::WriteU32(bad.data() + 33 + 8 + 4 * row, static_cast<uint32_t>(bad.size()));
    EXPECT_TRUE(LoadImageFromMemory(bad.data(), bad.size()).IsNull()) << row;
  }
  bad = coded;
  bad[33 + 8 + 12 + 1] = 200;  // row 0 starts with a skip whose count now reaches past the file
  bad[33 + 8 + 12] = 3;        // ...as a literal run
  EXPECT_TRUE(LoadImageFromMemory(bad.data(), bad.size()).IsNull());
  bad = coded;
  bad.pop_back();  // the last row loses its end byte...
  le::WriteU32(bad.data() + 2, static_cast<uint32_t>(bad.size()));
  bad.back() = 1;  // ...and ends in a cut-off skip
  EXPECT_TRUE(LoadImageFromMemory(bad.data(), bad.size()).IsNull());
  // An unknown command byte: GetPixel reports the corruption, drawing stops the row.
  bad = coded;
  bad[33 + 8 + 12] = 9;  // the first command of row 0
  CImageRef corrupt = LoadImageFromMemory(bad.data(), bad.size());
  ASSERT_FALSE(corrupt.IsNull());
  testing_support::DebugCapture log;
  EXPECT_EQ(-1, corrupt->GetPixel(4, 0));
  EXPECT_NE(std::string::npos, log.Text().find("Corrupted Bitmap File"));
}

TEST(BWImage, SavedHeaderHoldsTheDrawnBoxOfRowCodedPictures) {
  // Row 0 empty; row 1 skips 2 then two literals; row 2 skips 3 then one fill; row 3 empty:
  // columns 2 to 3, rows 1 to 2. The loaded file's box fields say something else.
  std::vector<uint8_t> file = BWFile(6, 4, kPalette, {{0}, {1, 2, 0, 0xC2, 1, 3, 0}, {1, 3, 0, 0x81, 2, 0}, {0}}, true);
  for (int i = 0; i < 4; ++i) le::WriteU32(file.data() + 17 + 4 * i, 77);
  CImageRef image = LoadImageFromMemory(file.data(), file.size());
  ASSERT_FALSE(image.IsNull());
  const std::vector<uint32_t> want = {2, 1, 3, 2};
  for (bool compress : {false, true}) {
    image->flags = static_cast<uint16_t>(compress ? image->flags | CImage::kCompressOnSave : image->flags & ~CImage::kCompressOnSave);
    std::vector<uint8_t> saved(static_cast<size_t>(image->SaveToMemory(nullptr, 0)));
    ASSERT_EQ(static_cast<int32_t>(saved.size()), image->SaveToMemory(saved.data(), saved.size()));
    std::vector<uint32_t> box;
    for (int i = 0; i < 4; ++i) box.push_back(le::ReadU32(saved.data() + 17 + 4 * i));
    EXPECT_EQ(want, box) << compress;
    CImageRef back = LoadImageFromMemory(saved.data(), saved.size());
    ASSERT_FALSE(back.IsNull()) << compress;
    int32_t reread[4];
    back->GetHeaderInfo(reread);
    EXPECT_EQ(std::vector<uint32_t>(reread, reread + 4), box) << compress;
  }
}

TEST(B2Image, KeyColourOfTrueColourSourcesBecomesTransparent) {
  // 24-bit: the key colour's pixels are skipped, also at the row's end; other depths ignore the key.
  CImageRef source = CreateDibImage(6, 1, 24);
  const uint32_t colours[6] = {0xFF00FF, 0xFF00FF, 0x102030, 0xFF00FE, 0xFF00FF, 0x405060};
  for (int x = 0; x < 6; ++x)
    for (int k = 0; k < 3; ++k) source->pixels[3 * x + k] = static_cast<uint8_t>(colours[x] >> (8 * k));
  ASSERT_EQ(1, source->SetColourKey(0xFF00FF));
  CB2Image b2;
  ASSERT_EQ(1, b2.CopyFrom(*source.Get(), nullptr, nullptr));
  ASSERT_TRUE(b2.IsRowCoded());
  const int32_t kinds[6] = {-1, -1, CB2Image::kPixelSolid, CB2Image::kPixelSolid, -1, CB2Image::kPixelSolid};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(kinds[x], b2.GetPixel(x, 0)) << x;
  std::vector<uint16_t> screen(6, 0x1234);
  ASSERT_EQ(1, b2.BltRaw(Screen(screen, 6, 1, 16), ImageRect{0, 0, 5, 0}, ImageRect{0, 0, 5, 0}));
  EXPECT_EQ((std::vector<uint16_t>{0x1234, 0x1234, 0x1106, 0xF81F, 0x1234, 0x428C}), screen);
  CImageRef wide = CreateDibImage(2, 1, 16);
  std::memset(wide->pixels, 0, 4);
  ASSERT_EQ(1, wide->SetColourKey(0));
  CB2Image fromWide;
  ASSERT_EQ(1, fromWide.CopyFrom(*wide.Get(), nullptr, nullptr));
  for (int x : {0, 1}) EXPECT_EQ(CB2Image::kPixelSolid, fromWide.GetPixel(x, 0)) << x;
  // A 5-5-5 source is stored as the 5-6-5 it was converted to, and says so.
  CImageRef low = CreateDibImage(2, 1, 15);
  le::WriteU16(low->pixels, 0x7C00);
  CB2Image fromLow;
  ASSERT_EQ(1, fromLow.CopyFrom(*low.Get(), nullptr, nullptr));
  EXPECT_EQ(16, fromLow.depth);
  const std::vector<uint8_t> fromLowFile = fromLow.FileImage();
  std::vector<uint16_t> red(2, 0);
  ASSERT_EQ(1, fromLow.BltRaw(Screen(red, 2, 1, 16), ImageRect{0, 0, 1, 0}, ImageRect{0, 0, 1, 0}));
  EXPECT_EQ(0xF800, red[0]);
  // A 32-bit source is refused and leaves the image as it was.
  CImageRef deep = CreateDibImage(2, 1, 32);
  ASSERT_FALSE(deep.IsNull());
  EXPECT_EQ(0, fromLow.CopyFrom(*deep.Get(), nullptr, nullptr));
  EXPECT_EQ(fromLow.FileImage(), fromLowFile);
}

TEST(B2Image, AlphaThresholdsRoundTripAndDrawing) {
  CImageRef source = CreateDibImage(12, 2, 24);
  auto* bitmap = static_cast<CBitmapImage*>(source.Get());
  for (int i = 0; i < 12 * 3; ++i) source->pixels[i] = source->pixels[source->pitch + i] = static_cast<uint8_t>(i * 7);
  uint8_t* alpha = bitmap->AlphaPlaneForWrite();
  const uint8_t levels[12] = {0, 7, 8, 254, 255, 255, 128, 0, 0, 255, 0, 0};
  for (int x = 0; x < 12; ++x) alpha[x] = levels[x];  // row 1 stays fully transparent
  CB2Image b2;
  ASSERT_EQ(1, b2.CopyFrom(*source.Get(), nullptr, nullptr));
  ASSERT_TRUE(b2.IsRowCoded());
  const std::vector<int32_t> kinds = {-1, -1, 768, 768, 1792, 1792, 768, -1, -1, 1792, -1, -1};
  for (int x = 0; x < 12; ++x) EXPECT_EQ(kinds[x], b2.GetPixel(x, 0)) << x;
  const std::vector<uint8_t> file = b2.FileImage();
  CImageRef back = LoadImageFromMemory(file.data(), file.size());
  ASSERT_FALSE(back.IsNull());
  HDC dc = nullptr;  // its own format, and no DC of its own
  EXPECT_EQ(std::make_pair(CImage::kOwnFormat | CImage::kValid, 0), std::make_pair(int{back->flags}, back->GetDC(&dc)));
  EXPECT_EQ(file, static_cast<CB2Image*>(back.Get())->FileImage());
  // Drawing from inside a run, into 5-6-5: opaque colours copied, blends by the 5-6-5 rule.
  std::vector<uint16_t> screen(12, 0x1234), want = screen;
  ASSERT_EQ(1, back->BltRaw(Screen(screen, 12, 1, 16), ImageRect{3, 0, 11, 0}, ImageRect{0, 0, 8, 0}));
  auto c565 = [&](int x) { return static_cast<uint16_t>((source->pixels[3 * x + 2] & 0xF8) << 8 | (source->pixels[3 * x + 1] & 0xFC) << 3 | source->pixels[3 * x] >> 3); };
  want[0] = Blend565(0x1234, c565(3), 31);
  want[1] = c565(4);
  want[2] = c565(5);
  want[3] = Blend565(0x1234, c565(6), 16);
  want[6] = c565(9);
  EXPECT_EQ(want, screen);
  // A span that ends inside a blend run stops there: the pixel after it keeps its colour.
  screen.assign(12, 0xFFFF);
  want = screen;
  want[0] = Blend565(0xFFFF, c565(2), 1);
  ASSERT_EQ(1, back->BltRaw(Screen(screen, 12, 1, 16), ImageRect{2, 0, 2, 0}, ImageRect{0, 0, 0, 0}));
  EXPECT_EQ(want, screen);
  // 5-5-5 destinations need the colours converted first; twice converts once.
  EXPECT_EQ(0, back->BltRaw(Screen(screen, 12, 1, 15), ImageRect{0, 0, 11, 0}, ImageRect{0, 0, 11, 0}));
  for (int ask = 0; ask < 2; ++ask) ASSERT_EQ(1, back->SetBitDepth(15));
  std::fill(screen.begin(), screen.end(), 0);
  ASSERT_EQ(1, back->BltRaw(Screen(screen, 12, 1, 15), ImageRect{0, 0, 11, 0}, ImageRect{0, 0, 11, 0}));
  EXPECT_EQ(To555(c565(4)), screen[4]);
  // No 2x form: refused rather than reported as drawn.
  std::vector<uint16_t> big(24 * 4);
  EXPECT_EQ(0, back->BltRaw(Screen(big, 24, 4, 15), ImageRect{0, 0, 11, 1}, ImageRect{0, 0, 23, 3}));
  // Raw form: no alpha, no key; raw colours convert too.
  CImageRef plain = CreateDibImage(3, 1, 24);
  std::memcpy(plain->pixels, source->pixels, 9);
  CB2Image rawB2;
  ASSERT_EQ(1, rawB2.CopyFrom(*plain.Get(), nullptr, nullptr));
  rawB2.SetBitDepth(15);
  // The coded file: its header's drawn box columns 2 to 9 of row 0; row 0 skip 2, blend 2 (stored 1
  // and 31), opaque 2, blend 1 (16), skip 2, opaque 1, end; row 1 a single end byte. Then the raw
  // file, no rows coded and its colours in 5-5-5.
  testing_support::ExpectGolden(Bytes(file) + Bytes(rawB2.FileImage()),
                                "render/image/golden/AlphaThresholdsRoundTripAndDrawing.b2");
  testing_support::TempFolder temp;
  ASSERT_EQ(1, rawB2.Save((temp.Path() + "s.b2").c_str()));
  EXPECT_EQ(0, CB2Image().Save((temp.Path() + "none.b2").c_str()));  // nothing built, nothing saved
  CImageRef loaded = LoadImageFile((temp.Path() + "s.b2").c_str());
  ASSERT_FALSE(loaded.IsNull());
  EXPECT_EQ(15, loaded->depth);
}

TEST(BWBuild, PalettesIndicesAndRowCodingFromTrueColour) {
  // 200 distinct colours, each a different number of times: all kept, most frequent first (as
  // the golden file holds). Colour c appears 250 - c times; 301 x 100 pixels hold exactly all of them.
  CImageRef source = CreateDibImage(301, 100, 24);
  int x = 0, y = 0;
  for (int c = 0; c < 200; ++c) {
    const uint8_t r = static_cast<uint8_t>((c % 20) * 8), g = static_cast<uint8_t>((c / 20) * 8), b = 64;
    for (int k = 0; k < 250 - c; ++k) {
      uint8_t* p = source->pixels + y * source->pitch + 3 * x;
      p[0] = b, p[1] = g, p[2] = r;
      if (++x == 301) x = 0, ++y;
    }
  }
  ASSERT_EQ(100, y);
  // 512 random colours, cut to the 255 a palette holds and mapped to the nearest kept entry, in
  // both palette formats; rounding changes every component with its 4 bit set on every other pixel.
  CImageRef noise = CreateDibImage(32, 16, 24);
  std::mt19937 rng(8);
  for (int i = 0; i < 32 * 16 * 3; ++i) noise->pixels[i] = static_cast<uint8_t>(rng());
  std::string built;  // every image built here, as its file
  int count = 0;
  // Rounding up leaves these multiples of 8 alone, and a rounded picture keeps its rows raw.
  for (bool rounded : {false, true}) {
    CBWImage bw, reduced15, reduced16;
    reduced16.depth = 16;
    for (CBWImage* image : {&reduced15, &reduced16, &bw}) {
      CImage& from = *(image == &bw ? source : noise).Get();
      ASSERT_EQ(1, rounded ? image->CopyFromFlagged(from, nullptr, nullptr) : image->CopyFrom(from, nullptr, nullptr));
      built += Bytes(image->FileImage());
    }
    // Every pixel draws in its own colour (long equal runs made the unrounded rows coded as fills,
    // as the golden file holds).
    EXPECT_EQ(bw.pitch, 301) << "one index byte a pixel";
    std::vector<uint16_t> drawn(301 * 100);
    ASSERT_EQ(1, bw.BltRaw(Screen(drawn, 301, 100, 15), ImageRect{0, 0, 300, 99}, ImageRect{0, 0, 300, 99}));
    for (int py = 0; py < 100; ++py)
      for (int px = 0; px < 301; ++px) {
        const uint8_t* p = source->pixels + py * source->pitch + 3 * px;
        ASSERT_EQ(static_cast<uint16_t>((p[2] >> 3) << 10 | (p[1] >> 3) << 5 | p[0] >> 3), drawn[py * 301 + px]);
      }
  }
  // Sources other than 24 bits are refused and leave the image empty.
  CBWImage refused;
  for (int bits : {15, 32}) EXPECT_EQ(0, refused.CopyFrom(*CreateDibImage(4, 4, bits).Get(), nullptr, nullptr)) << bits;
  EXPECT_EQ(0, refused.width);

  // Alpha: 7 transparent, 8 level 1; black pixels between are shadows, four of one level a fill
  // and three of different levels a literal run; long equal runs fill, a short tail is literal. In
  // the golden file the row is a fill of four level-12 shadows, a literal run of levels 5, 10 and
  // 20, a skip, a blend of level 8 >> 3, a fill of 14 and a literal tail of two (200, 96 and 48 >> 3).
  CImageRef sprite = CreateDibImage(25, 1, 24);
  uint8_t* a = static_cast<CBitmapImage*>(sprite.Get())->AlphaPlaneForWrite();
  const uint8_t shadowAlpha[7] = {100, 100, 100, 100, 40, 80, 160};
  for (int i = 0; i < 25; ++i) {
    uint8_t* p = sprite->pixels + 3 * i;
    p[0] = p[1] = p[2] = i < 7 ? 0 : i == 23 ? 96 : i == 24 ? 48 : 200;
    a[i] = i < 7 ? shadowAlpha[i] : (i == 7 ? 7 : i == 8 ? 8 : 255);
  }
  CBWImage coded;
  ASSERT_EQ(1, coded.CopyFrom(*sprite.Get(), nullptr, nullptr));
  ASSERT_TRUE(coded.IsRowCoded());

  // Shared palette: built by one image (black, then its own colours, the unused entries 0x7FE0),
  // used by the next (the 16 shared first); no index below 1 unless transparent.
  BWSharedPalette shared;
  CBWImage builder;
  builder.SetSharedPalette(&shared);
  builder.flags |= CImage::kBuildSharedPalette;
  ASSERT_EQ(1, builder.CopyFrom(*source.Get(), nullptr, nullptr));
  EXPECT_TRUE(std::equal(shared.entries.begin(), shared.entries.end(), builder.GetPaletteInfo(&count)));
  CBWImage user;
  user.SetSharedPalette(&shared);
  user.flags |= CImage::kUseSharedPalette;
  ASSERT_EQ(1, user.CopyFrom(*sprite.Get(), nullptr, nullptr));
  EXPECT_TRUE(std::equal(shared.entries.begin(), shared.entries.end(), user.GetPaletteInfo(&count)));

  // Merging re-costs the colour merged into, which now stands for more pixels: five colours cut
  // to three keep 0814, 0800 and 0802 (the 30 pixels of 0820 move one step, the 3 of 0804 two)
  // rather than 0820 (which would move 0802's 10 pixels two steps and 0804's four).
  const struct {
    uint16_t colour;
    int count;
  } five[] = {{0x0814, 5}, {0x0800, 38}, {0x0820, 30}, {0x0802, 7}, {0x0804, 3}};
  CImageRef mixed = CreateDibImage(83, 1, 24);
  int at = 0;
  for (const auto& c : five)
    for (int k = 0; k < c.count; ++k, ++at) {
      uint8_t* p = mixed->pixels + 3 * at;
      p[0] = static_cast<uint8_t>((c.colour & 31) << 3), p[1] = static_cast<uint8_t>((c.colour >> 5 & 31) << 3);
      p[2] = static_cast<uint8_t>((c.colour >> 10) << 3);
    }
  CBWImage three;
  three.SetTag(3);
  ASSERT_EQ(1, three.CopyFrom(*mixed.Get(), nullptr, nullptr));
  // Clear pixels and key-coloured ones are skipped and take no palette entry: 0820 and 0814 are left.
  auto* keyed = static_cast<CBitmapImage*>(mixed.Get());
  keyed->SetColourKey(0x100000);  // 0x0800 as 0x00RRGGBB
  std::fill(keyed->AlphaPlaneForWrite(), keyed->AlphaPlaneForWrite() + 83, 255);
  std::fill(keyed->AlphaPlaneForWrite() + 73, keyed->AlphaPlaneForWrite() + 83, 0);  // 0802 and 0804
  CBWImage cut;
  ASSERT_EQ(1, cut.CopyFrom(*mixed.Get(), nullptr, nullptr));
  for (int px = 0; px < 83; ++px) EXPECT_EQ(px < 5 || (px >= 43 && px < 73) ? 1792 : -1, cut.GetPixel(px, 0)) << px;
  for (const CBWImage* image : {&coded, &builder, &user, &three, &cut}) built += Bytes(image->FileImage());
  testing_support::ExpectGolden(built, "render/image/golden/PalettesIndicesAndRowCodingFromTrueColour.bw");
}
