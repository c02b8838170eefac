// Gdi: DIB sections and memory DCs on plain memory.
#include "platform/Gdi.h"

#include "platform/Platform.h"
#include "platform/WindowRegistry.h"

#include <cstring>
#include <memory>
#include <vector>

struct GdiBitmap {
  int width = 0;
  int height = 0;
  int pitch = 0;
  int bitCount = 0;
  uint32_t greenMask = 0;  // 16-bit only: 0x3E0 or 0x7E0
  std::vector<uint8_t> pixels;
};

namespace {

struct MemoryDc {
  HBITMAP selected = nullptr;
  // A window's DC draws into a copy of the frame the window shows; ReleaseDC shows it.
  HWND window = nullptr;
  std::unique_ptr<GdiBitmap> shown;
};

// The token of the (absent) screen; CreateCompatibleDC accepts it or null.
int g_screenToken = 0;

constexpr int kMaxSide = 1 << 15;

MemoryDc* AsDc(HDC dc) { return dc == nullptr || dc == &g_screenToken ? nullptr : static_cast<MemoryDc*>(dc); }
HBITMAP Selected(HDC dc) {
  MemoryDc* memory = AsDc(dc);
  return memory ? memory->selected : nullptr;
}

uint8_t Widen5(uint32_t c) { return static_cast<uint8_t>(c << 3 | c >> 2); }
uint8_t Widen6(uint32_t c) { return static_cast<uint8_t>(c << 2 | c >> 4); }

// Reads one pixel of a row in the given format as 0x00BBGGRR.
COLORREF ReadPixel(const uint8_t* row, int x, int bitCount, uint32_t greenMask, const RGBQUAD* table) {
  switch (bitCount) {
    case 8: {
      const RGBQUAD& q = table[row[x]];
      return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
    case 16: {
      const uint32_t c = static_cast<uint32_t>(row[2 * x] | row[2 * x + 1] << 8);
      if (greenMask == 0x7E0) return RGB(Widen5(c >> 11), Widen6((c >> 5) & 63), Widen5(c & 31));
      return RGB(Widen5((c >> 10) & 31), Widen5((c >> 5) & 31), Widen5(c & 31));
    }
    case 24:
      return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    case 32:
      return RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
    default:
      return 0;
  }
}

void WritePixel(uint8_t* row, int x, int bitCount, uint32_t greenMask, COLORREF c) {
  const uint32_t r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  switch (bitCount) {
    case 16: {
      const uint32_t v = greenMask == 0x7E0 ? (r >> 3) << 11 | (g >> 2) << 5 | b >> 3
                                            : (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
      row[2 * x] = static_cast<uint8_t>(v);
      row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
      break;
    }
    case 24:
      row[3 * x] = static_cast<uint8_t>(b);
      row[3 * x + 1] = static_cast<uint8_t>(g);
      row[3 * x + 2] = static_cast<uint8_t>(r);
      break;
    case 32:
      row[4 * x] = static_cast<uint8_t>(b);
      row[4 * x + 1] = static_cast<uint8_t>(g);
      row[4 * x + 2] = static_cast<uint8_t>(r);
      row[4 * x + 3] = 0;
      break;
    default:
      break;
  }
}

int RowBytes(int width, int bitCount) { return ((width * bitCount + 31) / 32) * 4; }

// The 16-bit green mask a header describes: 5-6-5 only through BI_BITFIELDS.
uint32_t GreenMaskOf(const BITMAPINFO* info) {
  if (info->bmiHeader.biBitCount != 16 || info->bmiHeader.biCompression != BI_BITFIELDS) return 0x3E0;
  uint32_t green;
  std::memcpy(&green, &info->bmiColors[1], 4);
  return green == 0x7E0 ? 0x7E0 : 0x3E0;
}

bool SameFormat(const GdiBitmap& a, const GdiBitmap& b) {
  return a.bitCount == b.bitCount && (a.bitCount != 16 || a.greenMask == b.greenMask);
}

}  // namespace

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, HANDLE, DWORD) {
  if (bits) *bits = nullptr;
  if (!info) return nullptr;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const int height = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
  const bool known = h.biBitCount == 16 || h.biBitCount == 24 || h.biBitCount == 32;
  if (!known || h.biWidth <= 0 || h.biWidth > kMaxSide || height <= 0 || height > kMaxSide) return nullptr;
  if (h.biCompression != BI_RGB && !(h.biCompression == BI_BITFIELDS && h.biBitCount == 16)) return nullptr;
  auto bitmap = std::make_unique<GdiBitmap>();
  bitmap->width = h.biWidth;
  bitmap->height = height;
  bitmap->bitCount = h.biBitCount;
  bitmap->greenMask = h.biBitCount == 16 ? GreenMaskOf(info) : 0;
  bitmap->pitch = RowBytes(h.biWidth, h.biBitCount);
  bitmap->pixels.assign(static_cast<size_t>(bitmap->pitch) * height, 0);
  if (bits) *bits = bitmap->pixels.data();
  return bitmap.release();
}

BOOL DeleteObject(HGDIOBJ object) {
  delete static_cast<GdiBitmap*>(object);
  return object != nullptr;
}

HDC CreateCompatibleDC(HDC) { return new MemoryDc(); }

BOOL DeleteDC(HDC dc) {
  MemoryDc* memory = AsDc(dc);
  delete memory;
  return memory != nullptr;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  MemoryDc* memory = AsDc(dc);
  if (!memory) return nullptr;
  HBITMAP previous = memory->selected;
  memory->selected = static_cast<HBITMAP>(object);
  return previous;
}

HDC GetDC(HWND window) {
  if (!window) return &g_screenToken;
  int width = 0, height = 0;
  const std::vector<uint32_t>* frame = plat::detail::ShownFrame(window, &width, &height);
  if (!frame) return nullptr;
  auto dc = std::make_unique<MemoryDc>();
  dc->window = window;
  dc->shown = std::make_unique<GdiBitmap>();
  GdiBitmap& bitmap = *dc->shown;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.bitCount = 32;
  bitmap.pitch = RowBytes(width, 32);
  // x8r8g8b8 words are the bytes b, g, r, x of a 32-bit DIB row.
  bitmap.pixels.resize(frame->size() * 4);
  for (size_t i = 0; i < frame->size(); ++i) {
    const uint32_t word = (*frame)[i];
    for (int k = 0; k < 4; ++k) bitmap.pixels[4 * i + k] = static_cast<uint8_t>(word >> (8 * k));
  }
  dc->selected = dc->shown.get();
  return dc.release();
}

int ReleaseDC(HWND window, HDC dc) {
  MemoryDc* memory = AsDc(dc);
  if (!memory || !memory->window) return 1;  // the screen token, or a memory DC not ours to free
  if (memory->window != window) return 0;
  const GdiBitmap& bitmap = *memory->shown;
  plat::PresentPixels(window, bitmap.pixels.data(), bitmap.width, bitmap.height, bitmap.pitch, 32);
  delete memory;
  return 1;
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh, DWORD rop) {
  GdiBitmap* to = Selected(dst);
  const GdiBitmap* from = Selected(src);
  if (!to || !from || rop != SRCCOPY || width <= 0 || height <= 0 || sw <= 0 || sh <= 0) return FALSE;
  const bool copyRows = width == sw && SameFormat(*to, *from);
  for (int row = 0; row < height; ++row) {
    const int ty = y + row;
    const int fy = sy + static_cast<int>(static_cast<int64_t>(row) * sh / height);
    if (ty < 0 || ty >= to->height || fy < 0 || fy >= from->height) continue;
    uint8_t* out = to->pixels.data() + static_cast<size_t>(ty) * to->pitch;
    const uint8_t* in = from->pixels.data() + static_cast<size_t>(fy) * from->pitch;
    for (int col = 0; col < width; ++col) {
      const int tx = x + col;
      const int fx = sx + static_cast<int>(static_cast<int64_t>(col) * sw / width);
      if (tx < 0 || tx >= to->width || fx < 0 || fx >= from->width) continue;
      if (copyRows) {
        const int bytes = to->bitCount / 8;
        std::memcpy(out + tx * bytes, in + fx * bytes, bytes);
      } else {
        WritePixel(out, tx, to->bitCount, to->greenMask, ReadPixel(in, fx, from->bitCount, from->greenMask, nullptr));
      }
    }
  }
  return TRUE;
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop) {
  return StretchBlt(dst, x, y, width, height, src, sx, sy, width, height, rop);
}

COLORREF GetPixel(HDC dc, int x, int y) {
  const GdiBitmap* bitmap = Selected(dc);
  if (!bitmap || x < 0 || y < 0 || x >= bitmap->width || y >= bitmap->height) return CLR_INVALID;
  return ReadPixel(bitmap->pixels.data() + static_cast<size_t>(y) * bitmap->pitch, x, bitmap->bitCount,
                   bitmap->greenMask, nullptr);
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour) {
  GdiBitmap* bitmap = Selected(dc);
  if (!bitmap || x < 0 || y < 0 || x >= bitmap->width || y >= bitmap->height) return CLR_INVALID;
  uint8_t* row = bitmap->pixels.data() + static_cast<size_t>(y) * bitmap->pitch;
  WritePixel(row, x, bitmap->bitCount, bitmap->greenMask, colour);
  return ReadPixel(row, x, bitmap->bitCount, bitmap->greenMask, nullptr);
}

int SetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT) {
  if (!bitmap || !bits || !info) return 0;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const int count = h.biBitCount;
  if (count != 8 && count != 16 && count != 24 && count != 32) return 0;
  if (h.biCompression != BI_RGB && !(h.biCompression == BI_BITFIELDS && count == 16)) return 0;
  if (h.biWidth != bitmap->width) return 0;
  const bool topDown = h.biHeight < 0;
  const int height = topDown ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
  if (height != bitmap->height || start >= static_cast<UINT>(height)) return 0;
  if (lines > static_cast<UINT>(height) - start) lines = static_cast<UINT>(height) - start;
  const uint32_t green = GreenMaskOf(info);
  const int pitch = RowBytes(h.biWidth, count);
  const uint8_t* source = static_cast<const uint8_t*>(bits);
  for (UINT i = 0; i < lines; ++i) {
    const int fromBottom = static_cast<int>(start + i);  // scan line counted from the bottom
    const int destRow = bitmap->height - 1 - fromBottom;
    const uint8_t* in = source + static_cast<size_t>(i) * pitch;
    uint8_t* out = bitmap->pixels.data() + static_cast<size_t>(topDown ? fromBottom : destRow) * bitmap->pitch;
    if (count == bitmap->bitCount && (count != 16 || green == bitmap->greenMask)) {
      std::memcpy(out, in, static_cast<size_t>(bitmap->width) * count / 8);
      continue;
    }
    for (int x = 0; x < bitmap->width; ++x)
      WritePixel(out, x, bitmap->bitCount, bitmap->greenMask, ReadPixel(in, x, count, green, info->bmiColors));
  }
  return static_cast<int>(lines);
}

int GetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT) {
  if (!bitmap || !info) return 0;
  BITMAPINFOHEADER& h = info->bmiHeader;
  if (!bits) {
    h = BITMAPINFOHEADER{};
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = bitmap->width;
    h.biHeight = bitmap->height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bitmap->bitCount);
    h.biSizeImage = static_cast<DWORD>(bitmap->pitch) * bitmap->height;
    return bitmap->height;
  }
  const int count = h.biBitCount;
  if (count != 16 && count != 24 && count != 32) return 0;
  const bool topDown = h.biHeight < 0;
  if (start >= static_cast<UINT>(bitmap->height)) return 0;
  if (lines > static_cast<UINT>(bitmap->height) - start) lines = static_cast<UINT>(bitmap->height) - start;
  const uint32_t green = GreenMaskOf(info);
  const int pitch = RowBytes(bitmap->width, count);
  for (UINT i = 0; i < lines; ++i) {
    const int fromBottom = static_cast<int>(start + i);
    const int srcRow = topDown ? fromBottom : bitmap->height - 1 - fromBottom;
    const uint8_t* in = bitmap->pixels.data() + static_cast<size_t>(srcRow) * bitmap->pitch;
    uint8_t* out = static_cast<uint8_t*>(bits) + static_cast<size_t>(i) * pitch;
    for (int x = 0; x < bitmap->width; ++x)
      WritePixel(out, x, count, green, ReadPixel(in, x, bitmap->bitCount, bitmap->greenMask, nullptr));
  }
  return static_cast<int>(lines);
}

HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }
BOOL SetPriorityClass(HANDLE, DWORD) { return TRUE; }

namespace plat {
bool GetDibInfo(HBITMAP bitmap, DibInfo* info) {
  if (!bitmap || !info) return false;
  *info = DibInfo{bitmap->pixels.data(), bitmap->width, bitmap->height, bitmap->pitch, bitmap->bitCount,
                  bitmap->greenMask};
  return true;
}
}  // namespace plat
