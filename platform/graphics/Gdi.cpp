// Gdi: DIB sections and memory DCs on plain memory.
#include "platform/graphics/Gdi.h"

#include "platform/system/Platform.h"
#include "platform/window/WindowRegistry.h"

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

// Reads one pixel of a bitmap row as 0x00BBGGRR.
COLORREF ReadPixel(const uint8_t* row, int x, int bitCount, uint32_t greenMask) {
  switch (bitCount) {
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

// One channel of a pixel through its mask, scaled to 0..255 (value * 255 / its largest value,
// truncated) or cut to its top 8 bits when it has more.
uint8_t MaskedChannel(uint32_t pixel, uint32_t mask) {
  if (!mask) return 0;
  int low = 0, high = 31;
  while (!((mask >> low) & 1)) ++low;
  while (!((mask >> high) & 1)) --high;
  const int width = high - low + 1;
  const uint32_t value = (pixel & mask) >> low;
  if (width >= 8) return static_cast<uint8_t>(value >> (width - 8));
  return static_cast<uint8_t>(value * 255 / ((1u << width) - 1));
}

// How SetDIBits reads the pixels of a packed DIB.
struct DibSource {
  int bitCount = 0;
  uint32_t masks[3] = {0, 0, 0};  // 16 and 32 bits
  const RGBQUAD* table = nullptr;  // up to 8 bits
  uint32_t tableSize = 0;

  COLORREF Read(const uint8_t* row, int x) const {
    switch (bitCount) {
      case 1:
      case 4:
      case 8: {
        const int perByte = 8 / bitCount;
        const uint32_t index = row[x / perByte] >> ((perByte - 1 - x % perByte) * bitCount) & ((1u << bitCount) - 1);
        if (index >= tableSize) return 0;  // beyond the table: black
        return RGB(table[index].rgbRed, table[index].rgbGreen, table[index].rgbBlue);
      }
      case 24:
        return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
      case 16:
      case 32: {
        const uint8_t* p = row + x * bitCount / 8;
        const uint32_t pixel = bitCount == 16 ? static_cast<uint32_t>(p[0] | p[1] << 8)
                                              : static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | uint32_t{p[3]} << 24;
        return RGB(MaskedChannel(pixel, masks[0]), MaskedChannel(pixel, masks[1]), MaskedChannel(pixel, masks[2]));
      }
      default:
        return 0;
    }
  }
};

bool DescribeSource(const BITMAPINFO* info, DibSource* source) {
  const BITMAPINFOHEADER& h = info->bmiHeader;
  source->bitCount = h.biBitCount;
  switch (h.biCompression) {
    case BI_RGB:
      if (h.biBitCount == 16) source->masks[0] = 0x7C00, source->masks[1] = 0x3E0, source->masks[2] = 0x1F;
      if (h.biBitCount == 32) source->masks[0] = 0xFF0000, source->masks[1] = 0xFF00, source->masks[2] = 0xFF;
      break;
    case BI_BITFIELDS:
      if (h.biBitCount != 16 && h.biBitCount != 32) return false;
      std::memcpy(source->masks, info->bmiColors, sizeof(source->masks));
      break;
    case BI_RLE8:
      if (h.biBitCount != 8) return false;
      break;
    case BI_RLE4:
      if (h.biBitCount != 4) return false;
      break;
    default:
      return false;
  }
  switch (h.biBitCount) {
    case 1:
    case 4:
    case 8: {
      const uint32_t entries = 1u << h.biBitCount;
      source->table = info->bmiColors;
      source->tableSize = h.biClrUsed == 0 || h.biClrUsed > entries ? entries : h.biClrUsed;
      return true;
    }
    case 16:
    case 24:
    case 32:
      return true;
    default:
      return false;
  }
}

bool SameMasks(const DibSource& source, const GdiBitmap& bitmap) {
  if (bitmap.bitCount == 32) return source.masks[0] == 0xFF0000 && source.masks[1] == 0xFF00 && source.masks[2] == 0xFF;
  const uint32_t red = bitmap.greenMask == 0x7E0 ? 0xF800 : 0x7C00;
  return source.masks[0] == red && source.masks[1] == bitmap.greenMask && source.masks[2] == 0x1F;
}

// Unpacks BI_RLE8 or BI_RLE4 codes into width x height indices, bottom row first. Runs and
// literals past a row's end are dropped; moves past the picture are allowed, as long as the
// codes end with the end-of-bitmap code within size bytes.
bool DecodeRle(const uint8_t* data, size_t size, bool fourBit, int width, int height, std::vector<uint8_t>* out) {
  out->assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  int64_t x = 0, y = 0;
  auto put = [&](uint32_t index) {
    if (x < width && y < height) (*out)[static_cast<size_t>(y) * width + static_cast<size_t>(x)] = static_cast<uint8_t>(index);
    ++x;
  };
  size_t at = 0;
  while (size - at >= 2) {
    const uint8_t count = data[at], value = data[at + 1];
    at += 2;
    if (count != 0) {
      // A run: one index, or two alternating ones (high nibble first).
      for (int i = 0; i < count; ++i) put(fourBit ? (i & 1 ? value & 15 : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // move right and up
      if (size - at < 2) return false;
      x += data[at];
      y += data[at + 1];
      at += 2;
    } else {  // value literal indices, padded to an even byte count
      const size_t bytes = fourBit ? (value + 1u) / 2 : value;
      const size_t padded = bytes + (bytes & 1);
      if (size - at < padded) return false;
      for (int i = 0; i < value; ++i) put(fourBit ? (i & 1 ? data[at + i / 2] & 15 : data[at + i / 2] >> 4) : data[at + i]);
      at += padded;
    }
  }
  return false;
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
        WritePixel(out, tx, to->bitCount, to->greenMask, ReadPixel(in, fx, from->bitCount, from->greenMask));
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
                   bitmap->greenMask);
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour) {
  GdiBitmap* bitmap = Selected(dc);
  if (!bitmap || x < 0 || y < 0 || x >= bitmap->width || y >= bitmap->height) return CLR_INVALID;
  uint8_t* row = bitmap->pixels.data() + static_cast<size_t>(y) * bitmap->pitch;
  WritePixel(row, x, bitmap->bitCount, bitmap->greenMask, colour);
  return ReadPixel(row, x, bitmap->bitCount, bitmap->greenMask);
}

int SetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT) {
  if (!bitmap || !bits || !info) return 0;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  DibSource source;
  if (!DescribeSource(info, &source) || h.biWidth != bitmap->width) return 0;
  const bool topDown = h.biHeight < 0;
  const int height = topDown ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
  if (height != bitmap->height || start >= static_cast<UINT>(height)) return 0;
  if (lines > static_cast<UINT>(height) - start) lines = static_cast<UINT>(height) - start;
  const bool rle = h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4;
  std::vector<uint8_t> decoded;
  if (rle) {
    // The codes describe the whole picture; its rows are then read as 8-bit indices.
    if (topDown || !DecodeRle(static_cast<const uint8_t*>(bits), h.biSizeImage, h.biCompression == BI_RLE4,
                              bitmap->width, height, &decoded))
      return 0;
    source.bitCount = 8;
  }
  const uint8_t* rows = rle ? decoded.data() : static_cast<const uint8_t*>(bits);
  const int pitch = rle ? bitmap->width : RowBytes(h.biWidth, source.bitCount);
  const bool sameLayout = source.bitCount == bitmap->bitCount && source.bitCount != 8 &&
                          (source.bitCount == 24 || SameMasks(source, *bitmap));
  for (UINT i = 0; i < lines; ++i) {
    const int fromBottom = static_cast<int>(start + i);  // scan line counted from the bottom
    const int destRow = bitmap->height - 1 - fromBottom;
    const uint8_t* in = rows + static_cast<size_t>(rle ? fromBottom : static_cast<int>(i)) * pitch;
    uint8_t* out = bitmap->pixels.data() + static_cast<size_t>(topDown ? fromBottom : destRow) * bitmap->pitch;
    if (sameLayout) {
      std::memcpy(out, in, static_cast<size_t>(bitmap->width) * source.bitCount / 8);
      continue;
    }
    for (int x = 0; x < bitmap->width; ++x) WritePixel(out, x, bitmap->bitCount, bitmap->greenMask, source.Read(in, x));
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
      WritePixel(out, x, count, green, ReadPixel(in, x, bitmap->bitCount, bitmap->greenMask));
  }
  return static_cast<int>(lines);
}

namespace plat {
bool GetDibInfo(HBITMAP bitmap, DibInfo* info) {
  if (!bitmap || !info) return false;
  *info = DibInfo{bitmap->pixels.data(), bitmap->width, bitmap->height, bitmap->pitch, bitmap->bitCount,
                  bitmap->greenMask};
  return true;
}
}  // namespace plat
