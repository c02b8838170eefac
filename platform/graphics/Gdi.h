// Gdi: the device-independent-bitmap subset of GDI the image library is written against
// (DIB sections, memory DCs, BitBlt, nearest StretchBlt, GetPixel/SetPixel, SetDIBits and
// GetDIBits), implemented on plain memory. There is no screen: GetDC(null) gives a token DC
// that only serves as the template of CreateCompatibleDC. GetDC(window) gives a DC over the frame
// the window shows (32 bits a pixel); ReleaseDC(window, dc) shows what was drawn into it.
#pragma once

#include <cstdint>

#include "platform/system/Win32.h"

typedef uint32_t COLORREF;  // 0x00BBGGRR
typedef void* HGDIOBJ;
struct GdiBitmap;
typedef GdiBitmap* HBITMAP;
typedef void* HANDLE;

inline COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<COLORREF>(r) | static_cast<COLORREF>(g) << 8 | static_cast<COLORREF>(b) << 16;
}
inline uint8_t GetRValue(COLORREF c) { return static_cast<uint8_t>(c); }
inline uint8_t GetGValue(COLORREF c) { return static_cast<uint8_t>(c >> 8); }
inline uint8_t GetBValue(COLORREF c) { return static_cast<uint8_t>(c >> 16); }
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr DWORD SRCCOPY = 0x00CC0020u;

#pragma pack(push, 1)
struct BITMAPFILEHEADER {
  WORD bfType;
  DWORD bfSize;
  WORD bfReserved1;
  WORD bfReserved2;
  DWORD bfOffBits;
};
#pragma pack(pop)

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // negative: rows stored top row first
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct RGBQUAD {
  BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};

// With BI_BITFIELDS the first three colour words are the red, green and blue masks (16 and 32
// bits); otherwise bits counts up to 8 have a colour table of biClrUsed entries (0: all of them).
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[256];
};

// A DIB section of 16 (5-5-5, or 5-6-5 through BI_BITFIELDS), 24 or 32 bits per pixel; rows
// are padded to four bytes. Null for other formats, a zero or oversized extent.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
BOOL DeleteObject(HGDIOBJ object);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
// Selects a bitmap into a memory DC; returns the one selected before (null at first).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

// SRCCOPY only; clipped to both bitmaps; converts between the pixel formats.
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop);
// Nearest-pixel scaling (the COLORONCOLOR mode).
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh, DWORD rop);
// CLR_INVALID outside the selected bitmap.
COLORREF GetPixel(HDC dc, int x, int y);
// Returns the colour as stored (rounded to the bitmap's format) or CLR_INVALID outside.
COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);

// Copies lines rows of a packed DIB into the bitmap, starting at scan line start counted from the
// bottom as Windows does. Reads 1, 4 and 8 bits with a colour table, 16 and 32 bits by the masks
// of BI_BITFIELDS (5-5-5 and x8r8g8b8 without), 24 bits, and the run-length codes BI_RLE8 and
// BI_RLE4 (bottom-up, biSizeImage bytes, ended by the end-of-bitmap code; pixels the codes skip
// take colour 0 of the table). Returns the rows copied, 0 on a format it cannot read or codes
// that do not end within biSizeImage.
int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
// With bits null fills info's header with the bitmap's format; otherwise copies rows out in the
// format info asks for (16, 24 or 32 bits). Returns the rows copied.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage);

namespace plat {
// The bitmap's geometry: pixel pointer, width, height, row pitch in bytes, bits per pixel and
// the green mask (0x3E0 or 0x7E0 for 16 bits). False for a null bitmap.
struct DibInfo {
  uint8_t* bits;
  int width;
  int height;
  int pitch;
  int bitCount;
  uint32_t greenMask;
};
bool GetDibInfo(HBITMAP bitmap, DibInfo* info);
}  // namespace plat
