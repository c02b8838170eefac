// CB2Image: loading, encoding, drawing and saving of B2 sprites.
#include "render/image/B2Image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "core/data/LittleEndian.h"
#include "platform/system/Platform.h"
#include "render/image/BitmapImage.h"
#include "render/image/ImageFileIo.h"
#include "render/image/RowCodedBox.h"

namespace {

bool Refuse(const char* why) {
  const std::string line = std::string("CB2Image: ") + why + "\n";
  OutputDebugStringA(line.c_str());
  return false;
}

uint16_t Bgr565(const uint8_t* p) { return static_cast<uint16_t>((p[2] & 0xF8) << 8 | (p[1] & 0xFC) << 3 | p[0] >> 3); }

void PutRun(std::vector<uint8_t>& out, uint8_t kind, int n) {
  out.push_back(kind);
  out.push_back(static_cast<uint8_t>(n));
  out.push_back(static_cast<uint8_t>(n >> 8));
}

}  // namespace

CB2Image::CB2Image() { flags = kOwnFormat; }

CB2Image::CB2Image(const uint8_t* data, size_t size) {
  flags = kOwnFormat;
  if (Load(data, size)) flags |= kValid;
}

CB2Image::~CB2Image() = default;

bool CB2Image::Load(const uint8_t* data, size_t size) {
  if (!data || size < kHeaderBytes || data[0] != 'B' || data[1] != '2') return Refuse("header cut short");
  const uint32_t total = le::ReadU32(data + 6), w = le::ReadU32(data + 10), h = le::ReadU32(data + 14);
  const uint32_t bits = le::ReadU32(data + 18);
  if (total < kHeaderBytes || total > size) return Refuse("file shorter than its total size");
  if (w == 0 || h == 0 || w > 32768 || h > 32768 || (bits != 15 && bits != 16) || data[22] > 1)
    return Refuse("header fields out of range");
  m_image.assign(data, data + total);
  m_rowCoded = data[22] == 1;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  depth = static_cast<int>(bits);
  pitch = m_rowCoded ? -1 : width * 2;
  pixels = m_image.data() + kHeaderBytes;
  const size_t area = total - kHeaderBytes;
  if (!m_rowCoded) return area / 2 / w >= h ? true : Refuse("rows cut short");
  if (area / 4 < h) return Refuse("row table cut short");
  // Rows may share commands; a command known to lead to a row's end is not walked again, so
  // the check stays linear in the file however the row offsets overlap.
  std::vector<bool> reachesEnd(m_image.size());
  std::vector<size_t> walked;
  for (int y = 0; y < height; ++y) {
    const uint32_t at = le::ReadU32(pixels + 4u * y);
    if (at < kHeaderBytes + 4u * h || at >= total) return Refuse("row offset out of range");
    walked.clear();
    // A command that ends exactly at the end of the image leaves here there; ReadCommand refuses it.
    for (size_t here = at; here >= m_image.size() || !reachesEnd[here];) {
      walked.push_back(here);
      Command c;
      size_t step;
      if (!ReadCommand(m_image.data() + here, &c, &step)) return Refuse("row runs past the end of the image");
      if (c.kind == kEnd) break;
      here += step;
    }
    for (size_t here : walked) reachesEnd[here] = true;
  }
  return true;
}

bool CB2Image::ReadCommand(uint8_t* p, Command* c, size_t* size) const {
  const size_t room = static_cast<size_t>(m_image.data() + m_image.size() - p);
  if (room < 1 || p[0] > kOpaque) return false;
  c->kind = p[0];
  if (c->kind == kEnd) {
    c->count = 0;
    *size = 1;
    return true;
  }
  if (room < 3) return false;
  c->count = le::ReadU16(p + 1);
  c->payload = p + 3;
  *size = 3 + static_cast<size_t>(c->count) * (c->kind == kBlend ? 3 : c->kind == kOpaque ? 2 : 0);
  return *size <= room;
}

uint8_t* CB2Image::RowStart(int y) const {
  uint8_t* base = const_cast<uint8_t*>(m_image.data());
  return m_rowCoded ? base + le::ReadU32(base + kHeaderBytes + 4u * y) : base + kHeaderBytes + 2u * width * y;
}

int CB2Image::CopyFrom(CImage& sourceImage, const ImageRect*, const ImageRect*) {
  auto* source = dynamic_cast<CBitmapImage*>(&sourceImage);
  if (!source || !(source->flags & kValid) || (source->depth != 15 && source->depth != 16 && source->depth != 24))
    return 0;
  // Encoding a large picture takes a while; the rest of the machine goes first meanwhile.
  plat::RunAtIdlePriority([this, source] { Encode(source); });
  return 1;
}

void CB2Image::Encode(const CBitmapImage* source) {
  const int w = source->width, h = source->height;
  const uint8_t* alpha = source->GetAlphaPlane();
  const bool keyed = source->IsKeyEnabled();
  const uint32_t key = source->GetKeyColour() & 0xFFFFFF;
  // Every colour is stored as 5-6-5.
  auto colourAt = [source](int x, int y) {
    const uint8_t* p = source->pixels + static_cast<size_t>(y) * source->pitch;
    if (source->depth == 24) return Bgr565(p + 3 * x);
    const uint16_t c = static_cast<uint16_t>(p[2 * x] | p[2 * x + 1] << 8);
    return source->depth == 15 ? To565(c) : c;
  };
  // 0 skip, 1..30 blended level + 1 (stored alpha a >> 3), 255 opaque.
  auto kindAt = [&](int x, int y) -> int {
    if (alpha) {
      const uint8_t a = alpha[static_cast<size_t>(y) * w + x];
      return a < 8 ? 0 : a == 255 ? 255 : 1 + (a >> 3);
    }
    if (keyed && source->depth == 24) {
      const uint8_t* p = source->pixels + static_cast<size_t>(y) * source->pitch + 3 * x;
      if ((static_cast<uint32_t>(p[2]) << 16 | p[1] << 8 | p[0]) == key) return 0;
    }
    return 255;
  };
  m_rowCoded = alpha || keyed;
  std::vector<uint8_t> area;
  std::vector<uint32_t> starts;
  for (int y = 0; y < h; ++y) {
    if (!m_rowCoded) {
      for (int x = 0; x < w; ++x) {
        const uint16_t c = colourAt(x, y);
        area.push_back(static_cast<uint8_t>(c));
        area.push_back(static_cast<uint8_t>(c >> 8));
      }
      continue;
    }
    starts.push_back(static_cast<uint32_t>(area.size()));
    size_t lastSkip = SIZE_MAX;
    for (int x = 0; x < w;) {
      const int kind = kindAt(x, y);
      const uint8_t command = kind == 0 ? kSkip : kind == 255 ? kOpaque : kBlend;
      int n = 1;
      while (x + n < w && n < 65535) {
        const int next = kindAt(x + n, y);
        if ((next == 0 ? kSkip : next == 255 ? kOpaque : kBlend) != command) break;
        ++n;
      }
      if (command == kSkip) lastSkip = area.size();
      PutRun(area, command, n);
      for (int k = 0; command != kSkip && k < n; ++k) {
        const uint16_t c = colourAt(x + k, y);
        area.push_back(static_cast<uint8_t>(c));
        area.push_back(static_cast<uint8_t>(c >> 8));
        if (command == kBlend) area.push_back(static_cast<uint8_t>(kindAt(x + k, y) - 1));
      }
      x += n;
      if (x >= w && command == kSkip) area.resize(lastSkip);  // a row never ends in a skip
    }
    area.push_back(kEnd);
  }
  const size_t table = m_rowCoded ? 4u * h : 0;
  m_image.assign(kHeaderBytes + table, 0);
  m_image.insert(m_image.end(), area.begin(), area.end());
  uint8_t* p = m_image.data();
  p[0] = 'B';
  p[1] = '2';
  le::WriteU32(p + 2, 100);
  le::WriteU32(p + 6, static_cast<uint32_t>(m_image.size()));
  le::WriteU32(p + 10, static_cast<uint32_t>(w));
  le::WriteU32(p + 14, static_cast<uint32_t>(h));
  le::WriteU32(p + 18, 16);
  p[22] = m_rowCoded ? 1 : 0;
  for (int y = 0; m_rowCoded && y < h; ++y) le::WriteU32(p + kHeaderBytes + 4u * y, static_cast<uint32_t>(kHeaderBytes + table + starts[y]));
  width = w;
  height = h;
  depth = 16;
  pitch = m_rowCoded ? -1 : 2 * w;
  pixels = m_image.data() + kHeaderBytes;
  flags |= kValid | kOwnsData;
}

void CB2Image::DecodeRow16(const SpanConverters&, uint8_t* dst, int y, int x, int count) const {
  if (!(flags & kValid) || y < 0 || y >= height || count <= 0) return;
  uint8_t* row = RowStart(y);
  if (!m_rowCoded) {
    std::memcpy(dst, row + 2 * x, static_cast<size_t>(count) * 2);
    return;
  }
  int column = 0;
  while (count > 0) {
    Command c;
    size_t size;
    if (!ReadCommand(row, &c, &size) || c.kind == kEnd) return;
    row += size;
    const int skip = std::max(0, x - column);
    column += c.count;
    if (skip >= c.count) continue;
    const int n = std::min(c.count - skip, count);
    if (c.kind == kOpaque) {
      std::memcpy(dst, c.payload + 2 * skip, static_cast<size_t>(n) * 2);
    } else if (c.kind == kBlend) {
      for (int k = 0; k < n; ++k) {
        const uint8_t* s = c.payload + 3 * (skip + k);
        const uint16_t colour = static_cast<uint16_t>(s[0] | s[1] << 8);
        const uint16_t under = static_cast<uint16_t>(dst[2 * k] | dst[2 * k + 1] << 8);
        // Each format blends by its own channel widths.
        const uint16_t mixed = depth == 16 ? Blend565(under, colour, s[2] & 31) : Blend555(under, colour, s[2] & 31);
        dst[2 * k] = static_cast<uint8_t>(mixed);
        dst[2 * k + 1] = static_cast<uint8_t>(mixed >> 8);
      }
    }
    dst += 2 * n;
    count -= n;
  }
}

int CB2Image::CopyFromRef(const CImageRef& target, const ImageRect* src, const ImageRect* dst) {
  if (target.IsNull()) return 0;
  const ImageRect whole{0, 0, width - 1, height - 1};
  return target->BltTo(*this, src ? *src : whole, dst ? *dst : whole);
}

template <class Visit>
void CB2Image::ForEachColour(Visit visit) {
  if (!(flags & kValid)) return;
  for (int y = 0; y < height; ++y) {
    uint8_t* p = RowStart(y);
    if (!m_rowCoded) {
      for (int x = 0; x < width; ++x) visit(p + 2 * x);
      continue;
    }
    for (;;) {
      Command c;
      size_t size;
      if (!ReadCommand(p, &c, &size) || c.kind == kEnd) break;
      for (int k = 0; c.kind != kSkip && k < c.count; ++k) visit(c.payload + (c.kind == kBlend ? 3 : 2) * k);
      p += size;
    }
  }
}

int CB2Image::SetBitDepth(int bits) {
  if (bits != 15 && bits != 16) return 0;
  // The stored format decides, so a second call for the same format changes nothing; raw rows
  // are colours too.
  if (bits != depth) {
    ForEachColour([bits](uint8_t* p) {
      const uint16_t c = static_cast<uint16_t>(p[0] | p[1] << 8);
      const uint16_t v = bits == 15 ? To555(c) : To565(c);
      p[0] = static_cast<uint8_t>(v);
      p[1] = static_cast<uint8_t>(v >> 8);
    });
  }
  depth = bits;
  if (!m_image.empty()) le::WriteU32(m_image.data() + 18, static_cast<uint32_t>(bits));
  return 1;
}

int CB2Image::ApplyGamma(float gamma) {
  const bool is565 = depth == 16;
  auto curve = [gamma](int c, int m) {
    return static_cast<int>(m * std::pow(static_cast<double>(c) / m, static_cast<double>(gamma)));
  };
  ForEachColour([&](uint8_t* p) {
    const uint16_t c = static_cast<uint16_t>(p[0] | p[1] << 8);
    const uint16_t v = is565 ? static_cast<uint16_t>(curve(c >> 11, 31) << 11 | curve(c >> 5 & 63, 63) << 5 | curve(c & 31, 31))
                             : static_cast<uint16_t>(curve(c >> 10 & 31, 31) << 10 | curve(c >> 5 & 31, 31) << 5 |
                                                     curve(c & 31, 31));
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
  });
  return 1;
}

int32_t CB2Image::GetPixel(int x, int y) const {
  if (!(flags & kValid) || x < 0 || y < 0 || x >= width || y >= height) return -1;
  if (!m_rowCoded) return kPixelBlended;
  uint8_t* p = RowStart(y);
  int column = 0;
  for (;;) {
    Command c;
    size_t size;
    if (!ReadCommand(p, &c, &size) || c.kind == kEnd) return -1;
    if (x < column + c.count) return c.kind == kSkip ? -1 : c.kind == kBlend ? kPixelBlended : kPixelSolid;
    column += c.count;
    p += size;
  }
}

void CB2Image::GetHeaderInfo(int32_t box[4]) const {
  // Short fills count as drawn.
  FindDrawnBox(
      width, height, m_rowCoded, kEnd, [this](int y) -> const uint8_t* { return RowStart(y); },
      [this](const uint8_t* p) {
        Command c;
        RowCodedRun run;
        if (!ReadCommand(const_cast<uint8_t*>(p), &c, &run.size) || c.kind == kEnd) return run;
        run.end = false;
        run.drawn = c.kind != kSkip;
        run.count = c.count;
        return run;
      },
      box);
}

std::vector<uint8_t> CB2Image::FileImage() const {
  std::vector<uint8_t> file = m_image;
  if (file.size() < kHeaderBytes) return file;
  int32_t box[4];
  GetHeaderInfo(box);
  for (int i = 0; i < 4; ++i) le::WriteU32(file.data() + 23 + 4 * i, static_cast<uint32_t>(box[i]));
  return file;
}

int CB2Image::Save(const char* path) {
  if (!(flags & kValid)) return 0;
  const std::vector<uint8_t> file = FileImage();
  return WriteImageFile(path, file.data(), file.size()) ? 1 : 0;
}

CImageRef CB2Image::Clone() const {
  const std::vector<uint8_t> file = FileImage();
  return CImageRef(std::make_unique<CB2Image>(file.data(), file.size()));
}
