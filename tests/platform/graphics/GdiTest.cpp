// GDI on memory: what a DIB section reports of itself and the rows it gives back in another format.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/graphics/Gdi.h"

// A 24-bit section three pixels wide (rows padded to 12 bytes) drawn pixel by pixel: the format
// query fills the whole header, and the rows come back as 32-bit words in either row order.
TEST(Gdi, DibSectionReportsItsFormatAndGivesItsRowsBack) {
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 3, -2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, bitmap);
  const uint32_t top[3] = {0x112233, 0x445566, 0x778899}, bottom[3] = {0xAABBCC, 0xDDEEFF, 0x010203};
  for (int x = 0; x < 3; ++x) {
    SetPixel(dc, x, 0, RGB(top[x] >> 16, top[x] >> 8 & 0xFF, top[x] & 0xFF));
    SetPixel(dc, x, 1, RGB(bottom[x] >> 16, bottom[x] >> 8 & 0xFF, bottom[x] & 0xFF));
  }

  std::memset(&info, 0xA5, sizeof(info));
  ASSERT_EQ(GetDIBits(dc, bitmap, 0, 2, nullptr, &info, DIB_RGB_COLORS), 2);
  const BITMAPINFOHEADER want = {sizeof(BITMAPINFOHEADER), 3, 2, 1, 24, BI_RGB, 24, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(&info.bmiHeader, &want, sizeof(want)), 0) << "planes " << info.bmiHeader.biPlanes;

  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biHeight = -2;  // top row first
  uint32_t words[6] = {};
  ASSERT_EQ(GetDIBits(dc, bitmap, 0, 2, words, &info, DIB_RGB_COLORS), 2);
  for (int x = 0; x < 3; ++x) EXPECT_TRUE(words[x] == top[x] && words[3 + x] == bottom[x]) << x;
  info.bmiHeader.biHeight = 2;  // bottom row first: scan line 1 is the top row, and no line 2 exists
  std::memset(words, 0, sizeof(words));
  ASSERT_EQ(GetDIBits(dc, bitmap, 1, 5, words, &info, DIB_RGB_COLORS), 1);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(words[x], top[x]) << x;
  EXPECT_EQ(words[3], 0u);
  // Rows of a depth no DIB has and run-length codes that stop short are refused; the bitmap keeps its pixels.
  info.bmiHeader.biBitCount = 2;
  const uint8_t rows[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(SetDIBits(dc, bitmap, 0, 2, rows, &info, DIB_RGB_COLORS), 0);
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 3, 2, 1, 8, BI_RLE8, sizeof(rows), 0, 0, 0, 0};
  EXPECT_EQ(SetDIBits(dc, bitmap, 0, 2, rows, &info, DIB_RGB_COLORS), 0);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0x11, 0x22, 0x33));
  EXPECT_TRUE(DeleteDC(dc) && !DeleteDC(nullptr));
  EXPECT_TRUE(DeleteObject(bitmap) && !DeleteObject(nullptr));
}
