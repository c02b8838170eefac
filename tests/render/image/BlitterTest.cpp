// Blend and shade tables, the span converters of each destination depth, the 16-bit blend rules,
// the DIB row converters and the clipping of the core blit.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "render/image/Blitters.h"

namespace {

uint16_t Pack555(int r, int g, int b) { return static_cast<uint16_t>(r << 10 | g << 5 | b); }

std::vector<uint8_t> Row16(std::initializer_list<uint16_t> values) {
  std::vector<uint8_t> out;
  for (uint16_t v : values) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  }
  return out;
}
uint16_t At16(const std::vector<uint8_t>& row, int i) { return static_cast<uint16_t>(row[2 * i] | row[2 * i + 1] << 8); }

}  // namespace

TEST(BlendTables, EntriesFollowTheirFormulas) {
  const BlendTables& t = BlendTables::Get();
  EXPECT_EQ(30, t.shade[0][31]);
  EXPECT_EQ(0, t.shade[31][31]);
  EXPECT_EQ(15 * 20 / 32, t.shade[16][20]);
  for (int d = 0; d < 32; ++d) EXPECT_EQ(d, t.blend[0][17][d]);  // level 0 leaves the destination
  EXPECT_EQ(30, t.blend[31][31][0]);
  EXPECT_EQ(31, t.blend[31][31][31]);
  EXPECT_EQ(10 + 20 * 8 / 32 - 10 * 8 / 32, t.blend[8][20][10]);
  // Every entry stays a 5-bit channel, and the 5-5-5 blend works each channel by the table's rule.
  for (int l = 0; l < 32; ++l)
    for (int s = 0; s < 32; ++s)
      for (int d = 0; d < 32; ++d)
        ASSERT_EQ(Pack555(t.blend[l][s][d], t.blend[l][d][s], t.blend[l][31 - s][d]),
                  Blend555(Pack555(d, s, d), Pack555(s, d, 31 - s), l))
            << l << " " << s << " " << d;
  // 5-6-5: the green channel runs to 63.
  EXPECT_EQ(static_cast<uint16_t>(61 << 5), Blend565(0, static_cast<uint16_t>(63 << 5), 31));
  EXPECT_EQ(To555(To565(Pack555(17, 9, 30))), Pack555(17, 9, 30));
}

TEST(SpanConverters, EachEntryOfEachDepthAgainstHandValues) {
  const uint16_t palette555[2] = {Pack555(31, 16, 1), Pack555(2, 4, 8)};
  const uint8_t indices[3] = {1, 0, 1};
  // 5-5-5 and 5-6-5 palette runs copy entries unchanged (the palette is in the destination format).
  for (int depth : {15, 16}) {
    std::vector<uint8_t> row(6, 0);
    SelectSpanConverters(depth)->paletteRun(row.data(), indices, 3, palette555);
    EXPECT_EQ(Row16({palette555[1], palette555[0], palette555[1]}), row);
  }
  // 24 and 32 bits widen the 5-5-5 entry by shl 3.
  std::vector<uint8_t> wide(12, 0xAA);
  SelectSpanConverters(32)->paletteRun(wide.data(), indices, 3, palette555);
  EXPECT_EQ((std::vector<uint8_t>{64, 32, 16, 0, 8, 128, 248, 0, 64, 32, 16, 0}), wide);
  std::vector<uint8_t> three(6, 0);
  SelectSpanConverters(24)->paletteRun(three.data(), indices + 1, 2, palette555);
  EXPECT_EQ((std::vector<uint8_t>{8, 128, 248, 64, 32, 16}), three);

  const BlendTables& t = BlendTables::Get();
  // Blend run: {index, level} over the destination.
  const uint8_t pairs[4] = {0, 31, 1, 8};
  std::vector<uint8_t> dst = Row16({Pack555(0, 31, 0), Pack555(10, 10, 10)});
  SelectSpanConverters(15)->blendRun(dst.data(), pairs, 2, palette555);
  EXPECT_EQ(Pack555(t.blend[31][31][0], t.blend[31][16][31], t.blend[31][1][0]), At16(dst, 0));
  EXPECT_EQ(Pack555(t.blend[8][2][10], t.blend[8][4][10], t.blend[8][8][10]), At16(dst, 1));
  // 5-6-5 destination goes through 5-5-5 and back.
  std::vector<uint8_t> d565 = Row16({To565(Pack555(20, 20, 20))});
  const uint8_t levels[1] = {4};
  SelectSpanConverters(16)->shadeRun(d565.data(), levels, 1);
  const uint16_t shaded = Pack555(t.shade[4][20], t.shade[4][20], t.shade[4][20]);
  EXPECT_EQ(To565(shaded), At16(d565, 0));
  // Fill stores the colour; an odd count ends on a single pixel.
  std::vector<uint8_t> fill(8, 0);
  SelectSpanConverters(15)->fill(fill.data(), 0x1234, 3);
  EXPECT_EQ((std::vector<uint8_t>{0x34, 0x12, 0x34, 0x12, 0x34, 0x12, 0, 0}), fill);
  // Shade fill on 24 bits: reduce to 5 bits, shade, widen.
  std::vector<uint8_t> bgr = {200, 100, 50};
  SelectSpanConverters(24)->shadeFill(bgr.data(), 10, 1);
  EXPECT_EQ((std::vector<uint8_t>{static_cast<uint8_t>(t.shade[10][25] << 3), static_cast<uint8_t>(t.shade[10][12] << 3),
                                  static_cast<uint8_t>(t.shade[10][6] << 3)}),
            bgr);
  // No converters exist for 8-bit destinations.
  EXPECT_EQ(nullptr, SelectSpanConverters(8));
  for (int depth : {15, 16, 24, 32}) EXPECT_EQ((depth + 7) / 8, SelectSpanConverters(depth)->bytesPerPixel) << depth;
}

TEST(DibRowConverters, EveryPairAgainstItsRule) {
  const uint8_t bgr[9] = {0x18, 0x84, 0xF9, 0x07, 0x00, 0xFF, 0x40, 0x50, 0x60};  // the last pixel lies past every run
  const uint16_t c565 = static_cast<uint16_t>((0xF9 & 0xF8) << 8 | (0x84 & 0xFC) << 3 | 0x18 >> 3);
  const uint16_t c555 = static_cast<uint16_t>((0xF9 >> 3) << 10 | (0x84 >> 3) << 5 | 0x18 >> 3);
  std::vector<uint8_t> out(4, 0);
  SelectDibRowConverter(16, 24, DibRowKind::kPlain)(DibRowArgs{bgr, out.data(), 1, nullptr, 0});
  EXPECT_EQ(Row16({c565, 0}), out);  // one pixel converted, its neighbour untouched
  SelectDibRowConverter(15, 24, DibRowKind::kPlain)(DibRowArgs{bgr, out.data(), 1, nullptr, 0});
  EXPECT_EQ(Row16({c555, 0}), out);
  const std::vector<uint8_t> in565 = Row16({c565, c565, 3 << 11 | 42 << 5 | 17});
  SelectDibRowConverter(15, 16, DibRowKind::kPlain)(DibRowArgs{in565.data(), out.data(), 1, nullptr, 0});
  EXPECT_EQ(Row16({((c565 >> 1) & 0x7FE0) + (c565 & 31), 0}), out);
  const std::vector<uint8_t> in555 = Row16({c555, c555});
  SelectDibRowConverter(16, 15, DibRowKind::kPlain)(DibRowArgs{in555.data(), out.data(), 1, nullptr, 0});
  EXPECT_EQ(Row16({(c555 & 0xFFE0) * 2 + (c555 & 31), 0}), out);
  // Keyed, into either 16-bit format: the second pixel equals the key 0x00FF0007 and is skipped.
  for (int depth : {15, 16}) {
    std::vector<uint8_t> keyed = Row16({0xAAAA, 0xBBBB, 0xCCCC});
    ASSERT_NE(nullptr, SelectDibRowConverter(depth, 24, DibRowKind::kKeyed)) << depth;
    SelectDibRowConverter(depth, 24, DibRowKind::kKeyed)(DibRowArgs{bgr, keyed.data(), 2, nullptr, 0xFF0007});
    EXPECT_EQ(Row16({depth == 16 ? c565 : c555, 0xBBBB, 0xCCCC}), keyed) << depth;
  }
  // Blend into 5-5-5 at alpha >> 3.
  const uint8_t alpha[3] = {255, 64, 200};
  std::vector<uint8_t> under = Row16({Pack555(1, 2, 3), Pack555(4, 5, 6), 0x1234});
  SelectDibRowConverter(15, 24, DibRowKind::kAlphaBlend)(DibRowArgs{bgr, under.data(), 2, alpha, 0});
  EXPECT_EQ(Row16({Blend555(Pack555(1, 2, 3), c555, 31), Blend555(Pack555(4, 5, 6), 0x7C00, 8), 0x1234}), under);
  // 24-bit mask writes the key where alpha is at most 127.
  std::vector<uint8_t> masked(9, 0);
  SelectDibRowConverter(24, 24, DibRowKind::kAlphaMask)(DibRowArgs{bgr, masked.data(), 2, alpha, 0x0A0B0C});
  EXPECT_EQ((std::vector<uint8_t>{0x18, 0x84, 0xF9, 0x0C, 0x0B, 0x0A, 0, 0, 0}), masked);
  // 32 <-> 24: the top byte of a 32-bit destination is left as it was.
  std::vector<uint8_t> words = {9, 9, 9, 0x77, 5, 5, 5, 5};
  SelectDibRowConverter(32, 24, DibRowKind::kPlain)(DibRowArgs{bgr, words.data(), 1, nullptr, 0});
  EXPECT_EQ((std::vector<uint8_t>{0x18, 0x84, 0xF9, 0x77, 5, 5, 5, 5}), words);
  std::vector<uint8_t> back(9, 0);
  SelectDibRowConverter(24, 32, DibRowKind::kPlain)(DibRowArgs{words.data(), back.data(), 1, nullptr, 0});
  EXPECT_EQ((std::vector<uint8_t>{0x18, 0x84, 0xF9, 0, 0, 0, 0, 0, 0}), back);
  // 5-6-5 to 24 bits: through 5-5-5, each channel widened by shl 3; a row goes left to right.
  SelectDibRowConverter(24, 16, DibRowKind::kPlain)(DibRowArgs{in565.data() + 2, back.data(), 2, nullptr, 0});
  EXPECT_EQ((std::vector<uint8_t>{0x18, 0x80, 0xF8, 0x88, 0xA8, 0x18, 0, 0, 0}), back);
  // Pairs without a rule.
  EXPECT_EQ(nullptr, SelectDibRowConverter(32, 16, DibRowKind::kPlain));
  EXPECT_EQ(nullptr, SelectDibRowConverter(8, 24, DibRowKind::kPlain));
  EXPECT_EQ(nullptr, SelectDibRowConverter(15, 16, DibRowKind::kKeyed));
  uint32_t doubled[2];
  const uint16_t two[2] = {0x1234, 0xABCD};
  WidenRow16Doubled(two, doubled, 2);
  EXPECT_EQ((std::vector<uint32_t>{0x12341234u, 0xABCDABCDu}), std::vector<uint32_t>(doubled, doubled + 2));
}

TEST(Clipping, OneToOneCasesAgainstBothImages) {
  struct Case {
    ImageRect src, dst, wantSrc, wantDst;
    bool drawn;
  } cases[] = {
      {{-3, 0, 4, 0}, {10, 0, 17, 0}, {0, 0, 4, 0}, {13, 0, 17, 0}, true},    // source starts left of the image
      {{0, 0, 4, 4}, {-2, -1, 2, 3}, {2, 1, 4, 4}, {0, 0, 2, 3}, true},       // destination starts off-screen
      {{0, 0, 9, 0}, {15, 5, 24, 5}, {0, 0, 4, 0}, {15, 5, 19, 5}, true},     // both far edges cut
      {{0, 0, 4, 0}, {20, 0, 24, 0}, {0, 0, 4, 0}, {20, 0, 24, 0}, false},    // entirely right of the screen
      {{0, 0, 2, 2}, {0, 0, 9, 9}, {0, 0, 2, 2}, {0, 0, 2, 2}, true},         // larger destination: drawn 1:1
  };
  for (const Case& c : cases) {
    ImageRect s = c.src, d = c.dst;
    const bool drawn = ClipOneToOne(s, d, 8, 5, 20, 8);
    EXPECT_EQ(c.drawn, drawn);
    if (!drawn) continue;
    EXPECT_EQ((std::vector<int>{c.wantSrc.x0, c.wantSrc.y0, c.wantSrc.x1, c.wantSrc.y1, c.wantDst.x0, c.wantDst.y0,
                                c.wantDst.x1, c.wantDst.y1}),
              (std::vector<int>{s.x0, s.y0, s.x1, s.y1, d.x0, d.y0, d.x1, d.y1}));
  }
}
