// CBWImage: loading, row walking, drawing, queries and saving of BW images.
#include "render/image/BWImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "core/data/LittleEndian.h"
#include "platform/system/Platform.h"
#include "render/image/BWCodec.h"
#include "render/image/ImageFileIo.h"
#include "render/image/RowCodedBox.h"

namespace {

bool Refuse(const char* why) {
  const std::string line = std::string("CBWImage: ") + why + "\n";
  OutputDebugStringA(line.c_str());
  return false;
}

bool IsDrawnForPixels(uint8_t kind) {
  return kind == CBWImage::kBlend || kind == CBWImage::kIndices || kind == CBWImage::kShades ||
         kind == CBWImage::kShadeFill || kind == CBWImage::kShortLiteral;
}

}  // namespace

CBWImage::CBWImage() { flags = kOwnFormat; }

CBWImage::CBWImage(const uint8_t* data, size_t size) {
  flags = kOwnFormat;
  if (Load(data, size)) flags |= kValid;
}

CBWImage::~CBWImage() = default;

bool CBWImage::Load(const uint8_t* data, size_t size) {
  if (!data || size < kHeaderBytes || data[0] != 'B' || data[1] != 'W') return Refuse("header cut short");
  const uint32_t total = le::ReadU32(data + 2);
  const int w = static_cast<int16_t>(le::ReadU16(data + 6));
  const int h = static_cast<int16_t>(le::ReadU16(data + 8));
  const int n = static_cast<int16_t>(le::ReadU16(data + 11));
  int format = data[13] == 0 ? 15 : data[13];
  if (w <= 0 || h <= 0 || n < 0 || n > 256 || data[10] > 1 || data[14] > 1 || (format != 15 && format != 16))
    return Refuse("header fields out of range");
  const size_t area = kHeaderBytes + 2u * n;
  if (total < area || size < area) return Refuse("palette outside the file");
  m_paletteCount = n;
  m_rowCoded = data[10] == 1;
  m_palette.fill(0);
  for (int i = 0; i < n; ++i) m_palette[i] = le::ReadU16(data + kHeaderBytes + 2 * i);
  if (data[14] == 1) {
    if (size - area < 4) return Refuse("bit length cut short");
    const uint32_t bits = le::ReadU32(data + area);
    std::vector<uint8_t> decoded;
    if (!bwcodec::Decode(data + area + 4, size - area - 4, bits, total - area, decoded))
      return Refuse("compressed pixel area broken");
    m_image.assign(data, data + area);
    m_image.insert(m_image.end(), decoded.begin(), decoded.end());
    m_image[14] = 0;
  } else {
    if (size < total) return Refuse("pixel area cut short");
    m_image.assign(data, data + total);
  }
  m_image[13] = static_cast<uint8_t>(format);
  width = w;
  height = h;
  depth = format;
  pitch = w;
  pixels = m_image.data() + area;
  if (!m_rowCoded && m_image.size() - area < static_cast<size_t>(w) * h) return Refuse("index rows cut short");
  return !m_rowCoded || CheckRows();
}

bool CBWImage::ReadCommand(const uint8_t* p, Command* c, size_t* size) const {
  const size_t room = static_cast<size_t>(m_image.data() + m_image.size() - p);
  const uint8_t b = p[0];
  c->payload = p + 3;
  if (b >= kShortFill) {
    c->kind = b >= kShortLiteral ? kShortLiteral : kShortFill;
    c->count = b & 63;
    c->payload = p + 1;
    *size = c->kind == kShortFill ? 2 : 1 + static_cast<size_t>(c->count);
    return *size <= room;
  }
  c->kind = b;
  if (b == kEnd) {
    c->count = 0;
    *size = 1;
    return true;
  }
  if (b > kShadeFill || room < 3) return false;
  c->count = le::ReadU16(p + 1);
  switch (b) {
    case kSkip: *size = 3; break;
    case kBlend: *size = 3 + 2u * c->count; break;
    case kShadeFill: *size = 4; break;
    default: *size = 3 + static_cast<size_t>(c->count); break;
  }
  return *size <= room;
}

bool CBWImage::CheckRows() const {
  const size_t table = AreaOffset();
  if (m_image.size() < table + 4u * height) return Refuse("row table cut short");
  // Rows may share commands (or start inside another row); a command already known to lead to
  // a row's end is not walked again, which keeps the check linear in the image.
  std::vector<bool> reachesEnd(m_image.size());
  std::vector<size_t> walked;
  for (int y = 0; y < height; ++y) {
    const uint32_t at = le::ReadU32(m_image.data() + table + 4u * y);
    if (at < table + 4u * height || at >= m_image.size()) return Refuse("row offset out of range");
    // Every row must end inside the image; an unknown command byte ends a row when drawn.
    const uint8_t* p = m_image.data() + at;
    walked.clear();
    for (;;) {
      const size_t here = static_cast<size_t>(p - m_image.data());
      if (reachesEnd[here]) break;
      walked.push_back(here);
      Command c;
      size_t size;
      if (!ReadCommand(p, &c, &size)) {
        if (*p > kShadeFill && *p < kShortFill) break;
        return Refuse("row runs past the end of the image");
      }
      if (c.kind == kEnd) break;
      p += size;
      if (p >= m_image.data() + m_image.size()) return Refuse("row runs past the end of the image");
    }
    for (size_t here : walked) reachesEnd[here] = true;
  }
  return true;
}

const uint8_t* CBWImage::GetRowPointer(int y) const {
  if (y < 0 || y >= height || m_image.empty()) return nullptr;
  if (!m_rowCoded) return pixels + static_cast<size_t>(y) * width;
  return m_image.data() + le::ReadU32(m_image.data() + AreaOffset() + 4u * y);
}

const uint16_t* CBWImage::GetPaletteInfo(int* count) const {
  *count = m_paletteCount;
  return m_palette.data();
}

void CBWImage::DecodeRow16(const SpanConverters& spans, uint8_t* dst, int y, int x, int count) const {
  if (!(flags & kValid) || y < 0 || y >= height || count <= 0) return;
  if (!m_rowCoded) {
    spans.paletteRun(dst, pixels + static_cast<size_t>(y) * width + x, count, m_palette.data());
    return;
  }
  const uint8_t* p = GetRowPointer(y);
  int column = 0;
  while (count > 0) {
    Command c;
    size_t size;
    if (!ReadCommand(p, &c, &size) || c.kind == kEnd) return;
    p += size;
    int skip = std::max(0, x - column);  // a run that straddles x is entered part way
    column += c.count;
    if (skip >= c.count) continue;
    const int n = std::min(c.count - skip, count);
    switch (c.kind) {
      case kSkip: break;
      case kBlend: spans.blendRun(dst, c.payload + 2 * skip, n, m_palette.data()); break;
      case kIndices:
      case kShortLiteral: spans.paletteRun(dst, c.payload + skip, n, m_palette.data()); break;
      case kShades: spans.shadeRun(dst, c.payload + skip, n); break;
      case kShadeFill: spans.shadeFill(dst, c.payload[0], n); break;
      case kShortFill: spans.fill(dst, m_palette[c.payload[0]], n); break;
      default: return;
    }
    dst += static_cast<size_t>(n) * spans.bytesPerPixel;
    count -= n;
  }
}

void CBWImage::DecodeBlock(uint8_t* dst, int y, int x, int count, int dstPitch) const {
  if (!(flags & kValid) || y < 0 || y >= height || count <= 0) return;
  const BlendTables& t = BlendTables::Get();
  auto put = [dst, dstPitch](int i, uint16_t c) {
    const uint32_t pair = static_cast<uint32_t>(c) * 0x10001u;
    std::memcpy(dst + 4 * i, &pair, 4);
    std::memcpy(dst + dstPitch + 4 * i, &pair, 4);
  };
  auto under = [dst](int i) { return static_cast<uint16_t>(dst[4 * i] | dst[4 * i + 1] << 8); };
  auto blend = [&t](uint16_t s, uint16_t d, int level) {
    const auto& b = t.blend[level & 31];
    return static_cast<uint16_t>(b[s >> 10 & 31][d >> 10 & 31] << 10 | b[s >> 5 & 31][d >> 5 & 31] << 5 |
                                 b[s & 31][d & 31]);
  };
  auto shade = [&t](uint16_t d, int level) {
    const uint16_t* s = t.shade[level & 31];
    return static_cast<uint16_t>(s[d >> 10 & 31] << 10 | s[d >> 5 & 31] << 5 | s[d & 31]);
  };
  if (!m_rowCoded) {
    for (int i = 0; i < count; ++i) put(i, m_palette[pixels[static_cast<size_t>(y) * width + x + i]]);
    return;
  }
  const uint8_t* p = GetRowPointer(y);
  int column = 0, out = 0;
  while (out < count) {
    Command c;
    size_t size;
    if (!ReadCommand(p, &c, &size) || c.kind == kEnd) return;
    p += size;
    const int skip = std::max(0, x - column);
    column += c.count;
    if (skip >= c.count) continue;
    const int n = std::min(c.count - skip, count - out);
    for (int k = 0; k < n; ++k, ++out) {
      const int at = skip + k;
      switch (c.kind) {
        case kBlend: put(out, blend(m_palette[c.payload[2 * at]], under(out), c.payload[2 * at + 1])); break;
        case kIndices:
        case kShortLiteral: put(out, m_palette[c.payload[at]]); break;
        case kShades: put(out, shade(under(out), c.payload[at])); break;
        case kShadeFill: put(out, shade(under(out), c.payload[0])); break;
        case kShortFill: put(out, m_palette[c.payload[0]]); break;
        default: break;  // skip
      }
    }
  }
}

int CBWImage::CopyFromRef(const CImageRef& target, const ImageRect* src, const ImageRect* dst) {
  if (target.IsNull()) return 0;
  const ImageRect s = src ? *src : ImageRect{0, 0, width - 1, height - 1};
  const ImageRect d = dst ? *dst : ImageRect{0, 0, width - 1, height - 1};
  return target->BltTo(*this, s, d);
}

int CBWImage::SetBitDepth(int bits) {
  if (bits != 15 && bits != 16) return 0;
  // The stored format decides: asking twice for the same format converts once.
  if (bits != depth) {
    for (int i = 0; i < 256; ++i) m_palette[i] = bits == 16 ? To565(m_palette[i]) : To555(m_palette[i]);
    m_pairTable.clear();
  }
  depth = bits;
  if (!m_image.empty()) m_image[13] = static_cast<uint8_t>(bits);
  return 1;
}

int CBWImage::ApplyGamma(float gamma) {
  const bool is565 = depth == 16;
  auto curve = [gamma](int c, int m) {
    return static_cast<int>(m * std::pow(static_cast<double>(c) / m, static_cast<double>(gamma)));
  };
  for (int i = 0; i < m_paletteCount; ++i) {
    const uint16_t c = m_palette[i];
    if (is565) {
      m_palette[i] = static_cast<uint16_t>(curve(c >> 11, 31) << 11 | curve(c >> 5 & 63, 63) << 5 | curve(c & 31, 31));
    } else {
      m_palette[i] = static_cast<uint16_t>(curve(c >> 10 & 31, 31) << 10 | curve(c >> 5 & 31, 31) << 5 | curve(c & 31, 31));
    }
  }
  return 1;
}

int32_t CBWImage::GetPixel(int x, int y) const {
  if (!(flags & kValid) || x < 0 || y < 0 || x >= width || y >= height) return -1;
  if (!m_rowCoded) return kPixelBlended;
  const uint8_t* p = GetRowPointer(y);
  int column = 0;
  for (;;) {
    Command c;
    size_t size;
    if (!ReadCommand(p, &c, &size)) {
      MessageBoxA(nullptr, "Corrupted Bitmap File", "Error", MB_OK);
      return -1;
    }
    if (c.kind == kEnd) return -1;
    if (x < column + c.count) {
      if (c.kind == kSkip) return -1;
      return (c.kind == kBlend || c.kind == kShades || c.kind == kShadeFill) ? kPixelBlended : kPixelSolid;
    }
    column += c.count;
    p += size;
  }
}

void CBWImage::GetHeaderInfo(int32_t box[4]) const {
  // Short fills count as drawn.
  FindDrawnBox(
      width, height, m_rowCoded, kEnd, [this](int y) -> const uint8_t* { return GetRowPointer(y); },
      [this](const uint8_t* p) {
        Command c;
        RowCodedRun run;
        if (!ReadCommand(p, &c, &run.size) || c.kind == kEnd) return run;
        run.end = false;
        run.drawn = c.kind != kSkip;
        run.count = c.count;
        return run;
      },
      box);
}

int CBWImage::FindFirstRowInColumn(int x) const {
  if (!m_rowCoded || !(flags & kValid)) return -1;
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = GetRowPointer(y);
    int column = 0;
    for (;;) {
      Command c;
      size_t size;
      if (!ReadCommand(p, &c, &size) || c.kind == kEnd) break;
      if (x >= column && x < column + c.count && IsDrawnForPixels(c.kind)) return y;
      column += c.count;
      p += size;
    }
  }
  return -1;
}

void CBWImage::BuildPairTable() {
  m_pairTable.resize(256 * 256);
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b) m_pairTable[a * 256 + b] = static_cast<uint32_t>(m_palette[a]) << 16 | m_palette[b];
}

void CBWImage::RefreshHeader() {
  if (m_image.size() < AreaOffset()) return;
  m_image[13] = static_cast<uint8_t>(depth);
  for (int i = 0; i < m_paletteCount; ++i) le::WriteU16(m_image.data() + kHeaderBytes + 2 * i, m_palette[i]);
  int32_t box[4];
  GetHeaderInfo(box);
  for (int i = 0; i < 4; ++i) le::WriteU32(m_image.data() + 17 + 4 * i, static_cast<uint32_t>(box[i]));
}

std::vector<uint8_t> CBWImage::FileImage() const {
  CBWImage& self = const_cast<CBWImage&>(*this);
  self.RefreshHeader();
  return m_image;
}

std::vector<uint8_t> CBWImage::BuildFile(bool compress) const {
  std::vector<uint8_t> file = FileImage();
  if (!compress || file.empty()) return file;
  const size_t area = AreaOffset();
  std::vector<uint8_t> out(file.begin(), file.begin() + static_cast<ptrdiff_t>(area));
  out[14] = 1;
  out.resize(area + 4);
  const uint64_t bits = bwcodec::Encode(file.data() + area, file.size() - area, out);
  le::WriteU32(out.data() + area, static_cast<uint32_t>(bits));
  return out;
}

int CBWImage::Save(const char* path) {
  if (!(flags & kValid)) return 0;
  std::vector<uint8_t> file;
  plat::RunAtIdlePriority([this, &file] { file = BuildFile((flags & kCompressOnSave) != 0); });
  if (!WriteImageFile(path, file.data(), file.size())) {
    MessageBoxA(nullptr, "Failed To Write File", path ? path : "", MB_OK);
    return 0;
  }
  return 1;
}

int32_t CBWImage::SaveToMemory(uint8_t* buffer, size_t capacity) {
  if (!(flags & kValid)) return -1;
  const std::vector<uint8_t> file = BuildFile((flags & kCompressOnSave) != 0);
  if (buffer && capacity >= file.size()) std::memcpy(buffer, file.data(), file.size());
  return static_cast<int32_t>(file.size());
}

CImageRef CBWImage::Clone() const {
  const std::vector<uint8_t> file = FileImage();
  auto copy = std::make_unique<CBWImage>(file.data(), file.size());
  copy->flags = static_cast<uint16_t>(flags);
  copy->m_tag = m_tag;
  return CImageRef(std::move(copy));
}

int CBWImage::SaveRawBanks(const char* name) const {
  if (m_rowCoded || !name || !*name || !(flags & kValid)) return 0;
  std::string path = name;
  for (int bank = 0; bank <= height / 128; ++bank) {
    path[0] = static_cast<char>('0' + bank);
    std::vector<uint8_t> rows(128u * 512u, 0);
    for (int r = 0; r < 128 && bank * 128 + r < height; ++r)
      std::memcpy(rows.data() + r * 512, pixels + static_cast<size_t>(bank * 128 + r) * width, std::min(width, 512));
    if (!WriteImageFile(path.c_str(), rows.data(), rows.size())) return 0;
  }
  return 1;
}

int CBWImage::SaveRawRows(const char* name) const {
  if (m_rowCoded || !(flags & kValid)) return 0;
  std::vector<uint8_t> rows(static_cast<size_t>(height) * 512, 0);
  for (int y = 0; y < height; ++y) std::memcpy(rows.data() + y * 512, pixels + static_cast<size_t>(y) * width, std::min(width, 512));
  return WriteImageFile(name, rows.data(), rows.size()) ? 1 : 0;
}

int CBWImage::ReplaceColourIndex(uint32_t rgb, uint8_t index) {
  if (m_rowCoded || !(flags & kValid)) return 0;
  const uint32_t r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
  const uint16_t wanted = depth == 16 ? static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3)
                                      : static_cast<uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
  int found = -1;
  for (int i = 0; i < m_paletteCount && found < 0; ++i)
    if (m_palette[i] == wanted) found = i;
  if (found < 0) return 0;
  int replaced = 0;
  for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i)
    if (pixels[i] == found) {
      pixels[i] = index;
      ++replaced;
    }
  return replaced;
}

void CBWImage::GetPaletteRGB(uint8_t out[768]) {
  std::memset(out, 0, 768);
  for (int i = 0; i < m_paletteCount; ++i) {
    const uint16_t c = depth == 16 ? To555(m_palette[i]) : m_palette[i];
    const int channels[3] = {c >> 10 & 31, c >> 5 & 31, c & 31};
    for (int k = 0; k < 3; ++k) out[3 * i + k] = static_cast<uint8_t>(channels[k] * 8 + channels[k] / 4);
  }
  if (!m_image.empty()) m_image[13] = 15;
}

int CBWImage::SavePalette(const char* name) const {
  uint8_t rgb[768];
  const_cast<CBWImage*>(this)->GetPaletteRGB(rgb);
  if (!m_image.empty()) const_cast<CBWImage*>(this)->m_image[13] = static_cast<uint8_t>(depth);
  return WriteImageFile(name, rgb, sizeof(rgb)) ? 1 : 0;
}

void CBWImage::Assign(int w, int h, int paletteFormat, const std::vector<uint16_t>& palette, bool rowCoded,
                      const std::vector<uint8_t>& area, const std::vector<uint32_t>& rowStarts) {
  m_paletteCount = static_cast<int>(std::min<size_t>(palette.size(), 256));
  m_palette.fill(0);
  std::copy(palette.begin(), palette.begin() + m_paletteCount, m_palette.begin());
  m_rowCoded = rowCoded;
  const size_t start = AreaOffset();
  const size_t table = rowCoded ? 4u * h : 0;
  m_image.assign(start + table + area.size(), 0);
  m_image[0] = 'B';
  m_image[1] = 'W';
  le::WriteU32(m_image.data() + 2, static_cast<uint32_t>(m_image.size()));
  le::WriteU16(m_image.data() + 6, static_cast<uint16_t>(w));
  le::WriteU16(m_image.data() + 8, static_cast<uint16_t>(h));
  m_image[10] = rowCoded ? 1 : 0;
  le::WriteU16(m_image.data() + 11, static_cast<uint16_t>(m_paletteCount));
  m_image[13] = static_cast<uint8_t>(paletteFormat);
  m_image[16] = 3;
  for (int y = 0; rowCoded && y < h; ++y)
    le::WriteU32(m_image.data() + start + 4u * y, static_cast<uint32_t>(start + table + rowStarts[y]));
  std::copy(area.begin(), area.end(), m_image.begin() + static_cast<ptrdiff_t>(start + table));
  width = w;
  height = h;
  depth = paletteFormat;
  pitch = w;
  pixels = m_image.data() + start;
  m_pairTable.clear();
  flags |= kValid | kOwnsData;
  RefreshHeader();
}
