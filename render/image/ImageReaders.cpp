// ImageReaders: BMP, Targa and TIFF into DIB sections, and the Targa run-length helpers.
#include "render/image/ImageReaders.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/data/LittleEndian.h"
#include "render/image/BitmapImage.h"

namespace {

bool Refuse(const char* kind, const char* why) {
  char line[160];
  std::snprintf(line, sizeof(line), "CBitmapImage: %s file refused: %s\n", kind, why);
  OutputDebugStringA(line);
  return false;
}

// --- Targa ------------------------------------------------------------------------------------
constexpr size_t kTargaHeader = 18;
constexpr uint8_t kTargaTopOrigin = 0x20;

struct TargaInfo {
  int width, height, bytes;
  size_t pixelStart;
  bool topOrigin;
};

bool ParseTargaHeader(const uint8_t* data, size_t size, TargaInfo* info) {
  if (!data || size < kTargaHeader) return Refuse("Targa", "shorter than its header");
  if (data[1] != 0 || (data[2] != 2 && data[2] != 10)) return Refuse("Targa", "not true colour without a colour map");
  const int bits = data[16];
  if (bits != 24 && bits != 32) return Refuse("Targa", "not 24 or 32 bits per pixel");
  info->width = le::ReadU16(data + 12);
  info->height = le::ReadU16(data + 14);
  if (info->width == 0 || info->height == 0) return Refuse("Targa", "empty picture");
  info->bytes = bits / 8;
  info->pixelStart = kTargaHeader + data[0];
  info->topOrigin = (data[17] & kTargaTopOrigin) != 0;
  return true;
}

bool SameBytes(const uint8_t* a, const uint8_t* b, int n) { return std::memcmp(a, b, static_cast<size_t>(n)) == 0; }

// --- TIFF -------------------------------------------------------------------------------------
class TiffReader {
 public:
  TiffReader(const uint8_t* data, size_t size) : m_data(data), m_size(size), m_big(data[0] == 'M') {}
  bool U16(size_t at, uint32_t* v) const {
    if (at > m_size || m_size - at < 2) return false;
    *v = m_big ? static_cast<uint32_t>(m_data[at] << 8 | m_data[at + 1]) : le::ReadU16(m_data + at);
    return true;
  }
  bool U32(size_t at, uint32_t* v) const {
    if (at > m_size || m_size - at < 4) return false;
    const uint8_t* p = m_data + at;
    *v = m_big ? (static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]) : le::ReadU32(p);
    return true;
  }
  // Value i of an entry of type SHORT (3) or LONG (4), inline when it fits in four bytes.
  bool Value(size_t entry, uint32_t i, uint32_t* v) const {
    uint32_t type, count, where;
    if (!U16(entry + 2, &type) || !U32(entry + 4, &count) || i >= count) return false;
    const uint32_t unit = type == 3 ? 2 : type == 4 ? 4 : 0;
    if (unit == 0) return false;
    if (static_cast<uint64_t>(count) * unit <= 4) {
      where = static_cast<uint32_t>(entry + 8);
    } else if (!U32(entry + 8, &where)) {
      return false;
    }
    const uint64_t at = static_cast<uint64_t>(where) + static_cast<uint64_t>(i) * unit;
    if (at > m_size) return false;
    return unit == 2 ? U16(static_cast<size_t>(at), v) : U32(static_cast<size_t>(at), v);
  }
  bool Count(size_t entry, uint32_t* count) const { return U32(entry + 4, count); }

 private:
  const uint8_t* m_data;
  size_t m_size;
  bool m_big;
};

struct TiffFields {
  uint32_t width = 0, height = 0, compression = 1, samples = 1, rowsPerStrip = 0xFFFFFFFFu, planar = 1;
  size_t stripEntry = 0, bitsEntry = 0;
};

bool ReadTiffFields(const TiffReader& in, TiffFields* f) {
  uint32_t ifd, entries;
  if (!in.U32(4, &ifd) || !in.U16(ifd, &entries)) return Refuse("TIFF", "directory outside the file");
  // The directory ends with the next directory's offset; a file without it was cut short.
  uint32_t next;
  if (!in.U32(static_cast<size_t>(ifd) + 2 + static_cast<size_t>(entries) * 12, &next))
    return Refuse("TIFF", "directory cut short");
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t entry = static_cast<size_t>(ifd) + 2 + static_cast<size_t>(i) * 12;
    uint32_t tag, field;
    if (!in.U16(entry, &tag) || !in.U32(entry + 8, &field)) return Refuse("TIFF", "directory cut short");
    uint32_t v = 0;
    const bool single = in.Value(entry, 0, &v);
    switch (tag) {
      case 256: if (single) f->width = v; break;
      case 257: if (single) f->height = v; break;
      case 258: f->bitsEntry = entry; break;
      case 259: if (single) f->compression = v; break;
      case 273: f->stripEntry = entry; break;
      case 277: if (single) f->samples = v; break;
      case 278: if (single) f->rowsPerStrip = v; break;
      case 284: if (single) f->planar = v; break;
      default: break;
    }
  }
  return true;
}

}  // namespace

// --- BMP --------------------------------------------------------------------------------------
namespace {

// A run-length picture may not claim more pixels than its codes could plausibly cover; a larger
// claim is a forged size, refused before the picture is allocated.
bool RlePictureFits(uint64_t pixels, size_t codeBytes) { return pixels <= std::max<uint64_t>(1u << 22, 512u * codeBytes); }

}  // namespace

bool ReadBmpFile(CBitmapImage& image, const uint8_t* data, size_t size) {
  if (!data || size < 14 + 12 || data[0] != 'B' || data[1] != 'M') return Refuse("BMP", "shorter than its headers");
  const uint32_t offBits = le::ReadU32(data + 10);
  const uint32_t infoSize = le::ReadU32(data + 14);
  // The 12-byte OS/2 header has 16-bit sides and three-byte colour table entries.
  const bool core = infoSize == 12;
  if (!core && (infoSize < 40 || infoSize > size - 14)) return Refuse("BMP", "info header missing or outside the file");
  BITMAPINFO info{};
  BITMAPINFOHEADER& h = info.bmiHeader;
  h.biSize = 40;
  if (core) {
    h.biWidth = le::ReadU16(data + 18);
    h.biHeight = le::ReadU16(data + 20);
    h.biPlanes = le::ReadU16(data + 22);
    h.biBitCount = le::ReadU16(data + 24);
    h.biCompression = BI_RGB;
  } else {
    h.biWidth = le::ReadI32(data + 18);
    h.biHeight = le::ReadI32(data + 22);
    h.biPlanes = le::ReadU16(data + 26);
    h.biBitCount = le::ReadU16(data + 28);
    h.biCompression = le::ReadU32(data + 30);
    h.biSizeImage = le::ReadU32(data + 34);
    h.biClrUsed = le::ReadU32(data + 46);
  }
  const int bits = h.biBitCount;
  const int64_t rows = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
  if (h.biWidth <= 0 || h.biWidth > 32768 || rows == 0 || rows > 32768) return Refuse("BMP", "bad size");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return Refuse("BMP", "unsupported bit count");
  const bool rle = (h.biCompression == BI_RLE8 && bits == 8) || (h.biCompression == BI_RLE4 && bits == 4);
  const bool fields = h.biCompression == BI_BITFIELDS && (bits == 16 || bits == 32);
  if (h.biCompression != BI_RGB && !rle && !fields) return Refuse("BMP", "unsupported compression");
  if (rle && h.biHeight < 0) return Refuse("BMP", "run-length rows stored top row first");
  size_t tableAt = 14 + static_cast<size_t>(infoSize);
  if (fields) {
    // The masks follow a 40-byte header; larger headers hold them in the same place.
    if (size < 14 + 40 + 12) return Refuse("BMP", "masks outside the file");
    std::memcpy(info.bmiColors, data + 14 + 40, 12);
    if (infoSize == 40) tableAt += 12;
  }
  if (bits <= 8) {
    const uint32_t all = 1u << bits;
    const uint32_t entries = h.biClrUsed == 0 || h.biClrUsed > all ? all : h.biClrUsed;
    const size_t entryBytes = core ? 3 : 4;
    if (tableAt > size || (size - tableAt) / entryBytes < entries) return Refuse("BMP", "colour table outside the file");
    for (uint32_t i = 0; i < entries; ++i) {
      const uint8_t* e = data + tableAt + i * entryBytes;
      info.bmiColors[i] = RGBQUAD{e[0], e[1], e[2], 0};
    }
    h.biClrUsed = entries;
  }
  if (offBits > size) return Refuse("BMP", "pixels outside the file");
  const size_t available = size - offBits;
  if (rle) {
    if (h.biSizeImage > available) return Refuse("BMP", "pixels outside the file");
    if (h.biSizeImage == 0) h.biSizeImage = static_cast<DWORD>(std::min<size_t>(available, UINT32_MAX));
    if (!RlePictureFits(static_cast<uint64_t>(h.biWidth) * static_cast<uint64_t>(rows), h.biSizeImage))
      return Refuse("BMP", "more pixels than its codes can hold");
  } else {
    const uint64_t rowBytes = ((static_cast<uint64_t>(h.biWidth) * bits + 31) / 32) * 4;
    if (available < rowBytes * static_cast<uint64_t>(rows)) return Refuse("BMP", "pixels outside the file");
  }
  // Palettes and odd channel layouts are widened to 24 bits; 5-5-5, 5-6-5 and 32 bits keep theirs.
  int depth = bits == 32 ? 32 : 24;
  if (bits == 16) {
    uint32_t masks[3] = {0x7C00, 0x3E0, 0x1F};
    if (fields) std::memcpy(masks, info.bmiColors, sizeof(masks));
    if (masks[0] == 0x7C00 && masks[1] == 0x3E0 && masks[2] == 0x1F) depth = 15;
    if (masks[0] == 0xF800 && masks[1] == 0x7E0 && masks[2] == 0x1F) depth = 16;
  }
  if (!image.CreateSection(h.biWidth, static_cast<int>(rows), depth)) return Refuse("BMP", "no DIB section");
  if (SetDIBits(nullptr, image.GetBitmapHandle(), 0, static_cast<UINT>(rows), data + offBits, &info, DIB_RGB_COLORS) !=
      rows) {
    image.flags &= ~CImage::kValid;
    return Refuse("BMP", "pixels not accepted");
  }
  return true;
}

// --- Targa ------------------------------------------------------------------------------------
namespace {

// Walks the packets of a type 10 file from its pixel start; writes the pixels to to when it is
// not null. False (logged) when the runs do not cover the picture exactly within the file.
bool WalkTargaRuns(const uint8_t* data, size_t size, const TargaInfo& info, uint8_t* to) {
  const size_t total = static_cast<size_t>(info.width) * info.height;
  size_t at = info.pixelStart, done = 0;
  // A packet may cross the end of a row: rows are only a view of one pixel stream here.
  while (done < total) {
    if (at >= size) return Refuse("Targa", "runs end before the picture");
    const uint8_t h = data[at++];
    const size_t n = static_cast<size_t>(h & 127) + 1;
    if (n > total - done) return Refuse("Targa", "run past the end of the picture");
    const size_t need = (h & 128) ? static_cast<size_t>(info.bytes) : n * info.bytes;
    if (size - at < need) return Refuse("Targa", "packet outside the file");
    if (to && (h & 128)) {
      for (size_t i = 0; i < n; ++i) std::memcpy(to + (done + i) * info.bytes, data + at, info.bytes);
    } else if (to) {
      std::memcpy(to + done * info.bytes, data + at, need);
    }
    at += need;
    done += n;
  }
  return true;
}

}  // namespace

std::vector<uint8_t> DecodeTargaRle(const uint8_t* data, size_t size) {
  TargaInfo info;
  if (!ParseTargaHeader(data, size, &info) || data[2] != 10 || info.pixelStart > size) return {};
  // The runs are walked once before the picture is allocated, so a header that claims far more
  // pixels than its packets hold costs nothing.
  if (!WalkTargaRuns(data, size, info, nullptr)) return {};
  const size_t total = static_cast<size_t>(info.width) * info.height;
  std::vector<uint8_t> out(info.pixelStart + total * info.bytes);
  std::memcpy(out.data(), data, info.pixelStart);
  WalkTargaRuns(data, size, info, out.data() + info.pixelStart);
  return out;
}

bool ReadTargaFile(CBitmapImage& image, const uint8_t* data, size_t size) {
  TargaInfo info;
  if (!ParseTargaHeader(data, size, &info)) return false;
  std::vector<uint8_t> decoded;
  if (data[2] == 10) {
    decoded = DecodeTargaRle(data, size);
    if (decoded.empty()) return false;
    data = decoded.data();
    size = decoded.size();
  }
  const size_t rowBytes = static_cast<size_t>(info.width) * info.bytes;
  if (info.pixelStart > size || (size - info.pixelStart) / rowBytes < static_cast<size_t>(info.height))
    return Refuse("Targa", "pixels outside the file");
  if (!image.CreateSection(info.width, info.height, 24)) return Refuse("Targa", "no DIB section");
  uint8_t* alpha = info.bytes == 4 ? image.AlphaPlaneForWrite() : nullptr;
  for (int y = 0; y < info.height; ++y) {
    const int fileRow = info.topOrigin ? y : info.height - 1 - y;
    const uint8_t* in = data + info.pixelStart + static_cast<size_t>(fileRow) * rowBytes;
    uint8_t* out = image.pixels + static_cast<size_t>(y) * image.pitch;
    for (int x = 0; x < info.width; ++x) {
      std::memcpy(out + 3 * x, in + x * info.bytes, 3);
      if (alpha) alpha[static_cast<size_t>(y) * info.width + x] = in[x * info.bytes + 3];
    }
  }
  return true;
}

int TargaRunLength(const uint8_t* row, int pos, int count, int bytes) {
  int n = 1;
  while (pos + n < count && SameBytes(row + pos * bytes, row + (pos + n) * bytes, bytes)) ++n;
  return pos < count ? n : 0;
}

int TargaLiteralLength(const uint8_t* row, int pos, int count, int bytes) {
  int n = 0;
  while (pos + n < count) {
    if (pos + n + 1 < count && SameBytes(row + (pos + n) * bytes, row + (pos + n + 1) * bytes, bytes)) break;
    ++n;
  }
  return n;
}

void WriteTargaRlePackets(const uint8_t* row, int count, int bytes, std::vector<uint8_t>& out) {
  int pos = 0;
  while (pos < count) {
    const int run = TargaRunLength(row, pos, count, bytes);
    if (run >= 2) {
      const int n = run > 128 ? 128 : run;
      out.push_back(static_cast<uint8_t>(0x80 | (n - 1)));
      out.insert(out.end(), row + pos * bytes, row + (pos + 1) * bytes);
      pos += n;
      continue;
    }
    int n = TargaLiteralLength(row, pos, count, bytes);
    if (n > 128) n = 128;
    out.push_back(static_cast<uint8_t>(n - 1));
    out.insert(out.end(), row + pos * bytes, row + (pos + n) * bytes);
    pos += n;
  }
}

std::string DumpTargaHeader(const uint8_t* d, size_t size) {
  if (!d || size < kTargaHeader) return std::string();
  std::string out;
  char line[200];
  auto add = [&out, &line](int n) { out.append(line, static_cast<size_t>(n > 0 ? std::min<int>(n, sizeof(line) - 1) : 0)); };
  add(std::snprintf(line, sizeof(line), "ID Field Length          = %3d\n", d[0]));
  add(std::snprintf(line, sizeof(line), "Color Map Type           = %3d  (Color Map Data is %s\n", d[1],
                    d[1] ? "Present)" : "Absent)"));
  const int type = d[2];
  const char* name = "Unknown Image Type";
  switch (type) {
    case 0: name = "Unknown Image Type - No Image Data Present"; break;
    case 1: name = "Uncompressed Color Mapped Image (e.g., VDA/D, TARGA M8)"; break;
    case 2: name = "Uncompressed True Color Image (e.g., ICB, TARGA 16/24/32)"; break;
    case 3: name = "Uncompressed Black & White Image (e.g., TARGA 8/M8)"; break;
    case 9: name = "Run Length Encoded Color Mapped Image (e.g., VDA/D, TARGA M8)"; break;
    case 10: name = "Run Length Encoded True Color Image (e.g., ICB, TARGA 16/24/32)"; break;
    case 11: name = "Compressed Black & White Image (e.g., TARGA 8/M8)"; break;
    case 32: case 34: name = "Compressed (Huffman/Delta/RLE) Color Mapped Image (e.g., VDA/D) - Obsolete"; break;
    case 33: case 35:
      name = "Compressed (Huffman/Delta/RLE) Color Mapped Four Pass Image (e.g., VDA/D) - Obsolete";
      break;
    default: if (type >= 128) name = "Unknown Image Type - Application Specific"; break;
  }
  add(std::snprintf(line, sizeof(line), "Image Type               = %3d\n  %s\n", type, name));
  const int origin = le::ReadU16(d + 3), length = le::ReadU16(d + 5);
  add(std::snprintf(line, sizeof(line), "Color Map Origin         = 0x%04x (%5d)  (First Index To Be Loaded)\n", origin, origin));
  add(std::snprintf(line, sizeof(line), "Color Map Length         = 0x%04x (%5d)\n", length, length));
  add(std::snprintf(line, sizeof(line), "Color Map Entry Size     = %6d\n", d[7]));
  add(std::snprintf(line, sizeof(line), "Image X-Origin, Y-Origin =  %05d, %05d\n", le::ReadU16(d + 8), le::ReadU16(d + 10)));
  add(std::snprintf(line, sizeof(line), "Image Width, Height      =  %05d, %05d\n", le::ReadU16(d + 12), le::ReadU16(d + 14)));
  add(std::snprintf(line, sizeof(line), "Image Pixel Depth        = 0x%04x (%05d)\n", d[16], d[16]));
  add(std::snprintf(line, sizeof(line), "Image Descriptor         = 0x%04x\n", d[17]));
  add(std::snprintf(line, sizeof(line), "  %d Attribute Bits Per Pixel\n", d[17] & 15));
  add(std::snprintf(line, sizeof(line), "  First Pixel Destination is %s\n", (d[17] & kTargaTopOrigin) ? "Upper Left" : "Lower Left"));
  if (d[0] != 0 && size >= kTargaHeader + d[0]) {
    out += "Image ID:\n  ";
    out.append(reinterpret_cast<const char*>(d + kTargaHeader), d[0]);
    out += "\n";
  }
  return out;
}

// --- TIFF -------------------------------------------------------------------------------------
bool ReadTiffFile(CBitmapImage& image, const uint8_t* data, size_t size) {
  if (!data || size < 8 || !((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M')))
    return Refuse("TIFF", "no byte-order mark");
  const TiffReader in(data, size);
  TiffFields f;
  if (!ReadTiffFields(in, &f)) return false;
  if (f.compression != 1) {
    MessageBoxA(nullptr, "Compressed Files Not Supproted", "Error", MB_OK);
    return Refuse("TIFF", "compressed");
  }
  if (f.samples != 3 && f.samples != 4) return Refuse("TIFF", "not RGB or RGBA");
  if (f.planar != 1) return Refuse("TIFF", "planes stored separately");
  for (uint32_t s = 0; s < f.samples; ++s) {
    uint32_t bits = 0;
    if (!f.bitsEntry || !in.Value(f.bitsEntry, s, &bits) || bits != 8) return Refuse("TIFF", "not 8 bits a sample");
  }
  if (f.width == 0 || f.height == 0 || f.width > 32768 || f.height > 32768 || !f.stripEntry)
    return Refuse("TIFF", "bad size or no strips");
  const uint32_t perStrip = f.rowsPerStrip == 0 || f.rowsPerStrip > f.height ? f.height : f.rowsPerStrip;
  uint32_t strips = 0;
  in.Count(f.stripEntry, &strips);
  if (static_cast<uint64_t>(strips) * perStrip < f.height) return Refuse("TIFF", "too few strips");
  const size_t rowBytes = static_cast<size_t>(f.width) * f.samples;
  // Uncompressed strips hold every row once, so the rows cannot outweigh the file; strips that
  // all name the same bytes would otherwise make a picture far larger than its file.
  if (static_cast<uint64_t>(rowBytes) * f.height > size) return Refuse("TIFF", "rows larger than the file");
  auto rowAt = [&](uint32_t y, size_t* at) {
    uint32_t offset;
    if (!in.Value(f.stripEntry, y / perStrip, &offset)) return Refuse("TIFF", "strip offset unreadable");
    const uint64_t start = offset + static_cast<uint64_t>(y % perStrip) * rowBytes;
    if (start > size || size - start < rowBytes) return Refuse("TIFF", "strip outside the file");
    *at = static_cast<size_t>(start);
    return true;
  };
  // Every strip is checked before the picture is allocated.
  for (uint32_t y = 0; y < f.height; ++y) {
    size_t at;
    if (!rowAt(y, &at)) return false;
  }
  if (!image.CreateSection(static_cast<int>(f.width), static_cast<int>(f.height), 24)) return Refuse("TIFF", "no DIB section");
  uint8_t* alpha = f.samples == 4 ? image.AlphaPlaneForWrite() : nullptr;
  for (uint32_t y = 0; y < f.height; ++y) {
    size_t at = 0;
    rowAt(y, &at);
    const uint8_t* src = data + at;
    uint8_t* out = image.pixels + static_cast<size_t>(y) * image.pitch;
    for (uint32_t x = 0; x < f.width; ++x) {
      const uint8_t* p = src + x * f.samples;
      out[3 * x] = p[2];
      out[3 * x + 1] = p[1];
      out[3 * x + 2] = p[0];
      if (alpha) alpha[static_cast<size_t>(y) * f.width + x] = p[3];
    }
  }
  return true;
}
