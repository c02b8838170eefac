// CBitmapImage: DIB pixels, conversions between depths, stretching and the BMP writer.
#include "render/image/BitmapImage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/data/LittleEndian.h"
#include "render/image/ImageFileIo.h"
#include "render/image/ImageReaders.h"

namespace {

ImageRect Whole(const CImage& image) { return ImageRect{0, 0, image.width - 1, image.height - 1}; }

bool Inside(const ImageRect& r, const CImage& image) {
  return r.x0 >= 0 && r.y0 >= 0 && r.x0 <= r.x1 && r.y0 <= r.y1 && r.x1 < image.width && r.y1 < image.height;
}

void ReportUnsupported(int srcDepth, int dstDepth) {
  char text[96];
  std::snprintf(text, sizeof(text), "Source Dib = %i Bpp, Dest Dib = %i Bpp.", srcDepth, dstDepth);
  MessageBoxA(nullptr, text, "Unsupported blt", MB_OK);
}

}  // namespace

CBitmapImage::CBitmapImage(const uint8_t* data, size_t size) {
  switch (DetectImageFormat(data, size)) {
    case kImageBitmap:
      flags |= kFromBitmapFile;
      ReadBmpFile(*this, data, size);
      break;
    case kImageTiff:
      flags |= kFromTiff;
      ReadTiffFile(*this, data, size);
      break;
    case kImageTargaRaw:
    case kImageTargaRle:
      flags |= kFromTarga;
      ReadTargaFile(*this, data, size);
      break;
    case kImageBW:
      flags |= kOwnFormat;
      OutputDebugStringA("Fucked up - Generic dib trying to load from palettized data.");
      break;
    default:
      break;
  }
}

CBitmapImage::CBitmapImage(int w, int h, int bits) {
  flags |= kFromBitmapFile;
  CreateSection(w, h, bits);
}

CBitmapImage::~CBitmapImage() { ReleaseDC(); }

bool CBitmapImage::CreateSection(int w, int h, int bits) {
  ReleaseDC();
  m_bitmap.reset();
  pixels = nullptr;
  flags &= ~kValid;
  if (bits != 15 && bits != 16 && bits != 24 && bits != 32) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(bits == 15 ? 16 : bits);
  if (bits == 16) {
    info.bmiHeader.biCompression = BI_BITFIELDS;
    const uint32_t masks[3] = {0xF800, 0x7E0, 0x1F};
    std::memcpy(info.bmiColors, masks, sizeof(masks));
  }
  void* bitsOut = nullptr;
  m_bitmap.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bitsOut, nullptr, 0));
  plat::DibInfo dib{};
  if (!plat::GetDibInfo(m_bitmap.get(), &dib)) return false;
  width = w;
  height = h;
  depth = bits;
  pitch = dib.pitch;
  pixels = dib.bits;
  if (!m_alpha.empty()) m_alpha.assign(static_cast<size_t>(w) * h, 0);
  flags |= kValid;
  return true;
}

uint8_t* CBitmapImage::AlphaPlaneForWrite() {
  if (m_alpha.size() != static_cast<size_t>(width) * height) m_alpha.assign(static_cast<size_t>(width) * height, 0);
  flags |= kAlphaPlane;
  return m_alpha.data();
}

uint32_t CBitmapImage::ReadRgb(int x, int y) const {
  const uint8_t* p = Row(y) + x * BytesPerPixel();
  switch (depth) {
    case 15:
    case 16: {
      const uint32_t c = static_cast<uint32_t>(p[0] | p[1] << 8);
      const uint32_t c555 = depth == 16 ? To555(static_cast<uint16_t>(c)) : c;
      const uint32_t expanded = Expand555(c555);
      // Green of 5-6-5 keeps its sixth bit.
      if (depth == 16) return (expanded & 0xFF00FF) | ((c >> 5 & 63) << 2 | (c >> 9 & 3)) << 8;
      return expanded;
    }
    default:
      return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
  }
}

int CBitmapImage::BltTo(CImage& target, const ImageRect& src, const ImageRect& dst) {
  if ((depth != 15 && depth != 16) || !(flags & kValid)) return 0;
  if (target.depth != depth) target.SetBitDepth(depth);
  return target.BltRaw(RawSurface{pixels, width, height, pitch, depth}, src, dst);
}

int CBitmapImage::CopyFrom(CImage& sourceImage, const ImageRect* srcRect, const ImageRect* dstRect) {
  auto* source = dynamic_cast<CBitmapImage*>(&sourceImage);
  if (!source || !(flags & kValid) || !(source->flags & kValid)) return 0;
  const ImageRect s = srcRect ? *srcRect : Whole(*source);
  const ImageRect d = dstRect ? *dstRect : Whole(*this);
  if (!Inside(s, *source) || !Inside(d, *this)) return 0;
  if (s.Width() != d.Width() || s.Height() != d.Height()) {
    HDC from = CreateCompatibleDC(nullptr), to = CreateCompatibleDC(nullptr);
    SelectObject(from, source->m_bitmap.get());
    SelectObject(to, m_bitmap.get());
    const BOOL ok = StretchBlt(to, d.x0, d.y0, d.Width(), d.Height(), from, s.x0, s.y0, s.Width(), s.Height(), SRCCOPY);
    DeleteDC(from);
    DeleteDC(to);
    return ok ? 1 : 0;
  }
  DibRowKind kind = DibRowKind::kPlain;
  const uint8_t* alpha = source->GetAlphaPlane();
  if (source->depth == 24 && alpha) {
    kind = (source->flags & kAlphaAsMask) ? DibRowKind::kAlphaMask : DibRowKind::kAlphaBlend;
  } else if (source->depth == 24 && source->m_keyEnabled) {
    kind = DibRowKind::kKeyed;
  }
  const DibRowConverter convert = SelectDibRowConverter(depth, source->depth, kind);
  if (!convert) {
    ReportUnsupported(source->depth, depth);
    return 0;
  }
  const int sb = source->BytesPerPixel(), db = BytesPerPixel();
  for (int row = 0; row < s.Height(); ++row) {
    const uint8_t* a = alpha ? alpha + static_cast<size_t>(s.y0 + row) * source->width + s.x0 : nullptr;
    convert(DibRowArgs{source->Row(s.y0 + row) + s.x0 * sb, Row(d.y0 + row) + d.x0 * db, s.Width(), a,
                       source->m_keyColour});
  }
  return 1;
}

int CBitmapImage::StretchFrom(CImage& sourceImage, const ImageRect& s, const ImageRect& d, const uint8_t* mask) {
  auto* source = dynamic_cast<CBitmapImage*>(&sourceImage);
  if (!source || source->depth != 24 || depth != 24 || !Inside(s, *source) || !Inside(d, *this)) return 0;
  uint8_t* alpha = mask ? AlphaPlaneForWrite() : nullptr;
  const double fx = static_cast<double>(s.Width()) / d.Width(), fy = static_cast<double>(s.Height()) / d.Height();
  for (int y = 0; y < d.Height(); ++y) {
    const double top = y * fy, bottom = (y + 1) * fy;
    const int r0 = static_cast<int>(top), r1 = std::min(static_cast<int>(bottom - 0.001), s.Height() - 1);
    for (int x = 0; x < d.Width(); ++x) {
      const double left = x * fx, right = (x + 1) * fx;
      const int c0 = static_cast<int>(left), c1 = std::min(static_cast<int>(right - 0.001), s.Width() - 1);
      double sum[4] = {0, 0, 0, 0}, area = 0;
      for (int r = r0; r <= r1; ++r) {
        const double hy = std::min<double>(r + 1, bottom) - std::max<double>(r, top);
        for (int c = c0; c <= c1; ++c) {
          const double w = hy * (std::min<double>(c + 1, right) - std::max<double>(c, left));
          const uint8_t* p = source->Row(s.y0 + r) + 3 * (s.x0 + c);
          for (int k = 0; k < 3; ++k) sum[k] += w * p[k];
          if (mask) sum[3] += w * mask[static_cast<size_t>(s.y0 + r) * source->width + s.x0 + c];
          area += w;
        }
      }
      uint8_t* out = Row(d.y0 + y) + 3 * (d.x0 + x);
      for (int k = 0; k < 3; ++k) out[k] = static_cast<uint8_t>(std::lround(sum[k] / area));
      if (alpha) alpha[static_cast<size_t>(d.y0 + y) * width + d.x0 + x] = static_cast<uint8_t>(std::lround(sum[3] / area));
    }
  }
  return 1;
}

int CBitmapImage::DrawToDC(HDC dc, int x, int y) {
  const ImageRect whole = Whole(*this);
  return DrawToDCRect(dc, ImageRect{x, y, x + width - 1, y + height - 1}, whole);
}

int CBitmapImage::DrawToDCRect(HDC dc, const ImageRect& d, const ImageRect& s) {
  if (!(flags & kValid)) return 0;
  HDC from = CreateCompatibleDC(nullptr);
  SelectObject(from, m_bitmap.get());
  const BOOL ok = (d.Width() == s.Width() && d.Height() == s.Height())
                      ? BitBlt(dc, d.x0, d.y0, d.Width(), d.Height(), from, s.x0, s.y0, SRCCOPY)
                      : StretchBlt(dc, d.x0, d.y0, d.Width(), d.Height(), from, s.x0, s.y0, s.Width(), s.Height(), SRCCOPY);
  DeleteDC(from);
  return ok ? 1 : 0;
}

int CBitmapImage::CopyFromRef(const CImageRef& target, const ImageRect* src, const ImageRect* dst) {
  return target.IsNull() ? 0 : target->CopyFrom(*this, src, dst);
}

int CBitmapImage::StretchFromRef(const CImageRef& source, const ImageRect& s, const ImageRect& d, const uint8_t* mask) {
  return source.IsNull() ? 0 : StretchFrom(*source.Get(), s, d, mask);
}

int CBitmapImage::ApplyGamma(float gamma) {
  if (!(flags & kValid)) return 0;
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, m_bitmap.get());
  auto curve = [gamma](uint8_t c) {
    return static_cast<uint8_t>(255.0 * std::pow(c / 255.0, static_cast<double>(gamma)));
  };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const COLORREF c = ::GetPixel(dc, x, y);
      if ((c & 0xFFFFFF) == 0) continue;
      ::SetPixel(dc, x, y, RGB(curve(GetRValue(c)), curve(GetGValue(c)), curve(GetBValue(c))));
    }
  DeleteDC(dc);
  return 1;
}

int CBitmapImage::SetColourKey(uint32_t colour) {
  m_keyColour = colour;
  m_keyEnabled = (colour >> 24) != 1;
  return 1;
}

int32_t CBitmapImage::GetPixel(int x, int y) const {
  if (!(flags & kValid) || x < 0 || y < 0 || x >= width || y >= height) return -1;
  if (m_alphaTest && !m_alpha.empty() && m_alpha[static_cast<size_t>(y) * width + x] == 0) return -1;
  const uint32_t rgb = ReadRgb(x, y);
  // The key is kept as 0x00RRGGBB like the pixel read here; only the answer is a COLORREF.
  if (m_keyEnabled && rgb == (m_keyColour & 0xFFFFFF)) return -1;
  return static_cast<int32_t>(RGB(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                                  static_cast<uint8_t>(rgb)));
}

int CBitmapImage::SetPixel(int x, int y, uint32_t colour) {
  if (!(flags & kValid) || x < 0 || y < 0 || x >= width || y >= height) return 0;
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, m_bitmap.get());
  ::SetPixel(dc, x, y, colour);
  DeleteDC(dc);
  return 1;
}

void CBitmapImage::GetHeaderInfo(int32_t box[4]) const {
  box[0] = 0;
  box[1] = 0;
  box[2] = width - 1;
  box[3] = height - 1;
}

CImageRef CBitmapImage::Clone() const {
  auto copy = std::make_unique<CBitmapImage>(width, height, depth);
  if (flags & kValid) std::memcpy(copy->pixels, pixels, static_cast<size_t>(pitch) * height);
  copy->m_alpha = m_alpha;
  copy->flags = static_cast<uint16_t>(copy->flags | (flags & (kAlphaPlane | kAlphaAsMask)));
  copy->m_keyColour = m_keyColour;
  copy->m_keyEnabled = m_keyEnabled;
  copy->m_alphaTest = m_alphaTest;
  return CImageRef(std::move(copy));
}

void CBitmapImage::FlipVertical() {
  if (!(flags & kValid)) return;
  std::vector<uint8_t> line(static_cast<size_t>(pitch));
  for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    std::memcpy(line.data(), Row(top), pitch);
    std::memcpy(Row(top), Row(bottom), pitch);
    std::memcpy(Row(bottom), line.data(), pitch);
    if (!m_alpha.empty())
      std::swap_ranges(m_alpha.begin() + static_cast<ptrdiff_t>(top) * width,
                       m_alpha.begin() + static_cast<ptrdiff_t>(top + 1) * width,
                       m_alpha.begin() + static_cast<ptrdiff_t>(bottom) * width);
  }
}

void CBitmapImage::FlipHorizontal() {
  if (!(flags & kValid)) return;
  const int bytes = BytesPerPixel();
  for (int y = 0; y < height; ++y) {
    uint8_t* row = Row(y);
    for (int l = 0, r = width - 1; l < r; ++l, --r) {
      std::swap_ranges(row + l * bytes, row + (l + 1) * bytes, row + r * bytes);
      if (!m_alpha.empty())
        std::swap(m_alpha[static_cast<size_t>(y) * width + l], m_alpha[static_cast<size_t>(y) * width + r]);
    }
  }
}

std::vector<uint8_t> CBitmapImage::EncodeBmp() const {
  // 5-6-5 needs its masks behind the info header; every other depth keeps four spare bytes there.
  const bool masks = depth == 16;
  const uint32_t offset = 14 + 40 + (masks ? 12 : 4);
  const uint32_t rowBytes = static_cast<uint32_t>((width * BytesPerPixel() + 3) & ~3);
  std::vector<uint8_t> out(offset + static_cast<size_t>(rowBytes) * height, 0);
  uint8_t* p = out.data();
  p[0] = 'B';
  p[1] = 'M';
  le::WriteU32(p + 2, static_cast<uint32_t>(out.size()));
  le::WriteU32(p + 10, offset);
  le::WriteU32(p + 14, 40);
  le::WriteU32(p + 18, static_cast<uint32_t>(width));
  le::WriteU32(p + 22, static_cast<uint32_t>(height));  // positive: bottom row first, read right everywhere
  le::WriteU16(p + 26, 1);
  le::WriteU16(p + 28, static_cast<uint16_t>(depth == 15 ? 16 : depth));
  if (masks) {
    le::WriteU32(p + 30, BI_BITFIELDS);
    le::WriteU32(p + 54, 0xF800);
    le::WriteU32(p + 58, 0x7E0);
    le::WriteU32(p + 62, 0x1F);
  }
  const size_t used = static_cast<size_t>(width) * BytesPerPixel();
  for (int y = 0; y < height; ++y) std::memcpy(p + offset + static_cast<size_t>(height - 1 - y) * rowBytes, Row(y), used);
  return out;
}

int CBitmapImage::Save(const char* path) {
  if (!(flags & kValid)) return 0;
  const std::vector<uint8_t> file = EncodeBmp();
  if (!WriteImageFile(path, file.data(), file.size())) {
    MessageBoxA(nullptr, "Failed To Write File", path ? path : "", MB_OK);
    return 0;
  }
  return 1;
}

int CBitmapImage::GetDC(HDC* dc) {
  ReleaseDC();  // a second call replaces the first DC instead of leaking it
  m_memoryDC = CreateCompatibleDC(::GetDC(nullptr));
  m_previousBitmap = SelectObject(m_memoryDC, m_bitmap.get());
  *dc = m_memoryDC;
  return 1;
}

void CBitmapImage::ReleaseDC() {
  if (!m_memoryDC) return;
  SelectObject(m_memoryDC, m_previousBitmap);
  DeleteDC(m_memoryDC);
  ::ReleaseDC(nullptr, ::GetDC(nullptr));
  m_memoryDC = nullptr;
  m_previousBitmap = nullptr;
}
