// JpegCodec: libjpeg from and to memory. A library error longjmps back into the function that
// called the library (only C frames lie between), which turns it into a logged failure.
#include "render/image/JpegCodec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <jpeglib.h>

#include "core/data/LittleEndian.h"
#include "platform/system/Win32.h"
#include "render/image/Texture.h"

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

extern "C" void ExitToCaller(j_common_ptr info) {
  auto* manager = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, manager->message);
  std::longjmp(manager->jump, 1);
}
// Warnings (corrupt-data notices the decoder recovers from) are failures for a texture.
extern "C" void WarningIsError(j_common_ptr info, int level) {
  if (level < 0) ExitToCaller(info);
}

void InstallErrors(ErrorManager& errors) {
  jpeg_std_error(&errors.base);
  errors.base.error_exit = ExitToCaller;
  errors.base.emit_message = WarningIsError;
  errors.message[0] = 0;
}

void LogFailure(const char* what, const CTexture& texture, const std::string& message) {
  std::string line = message + "\n";
  OutputDebugStringA(line.c_str());
  line = std::string("Previous error pertains to: ") + what + " on image " + texture.name + ".\n";
  OutputDebugStringA(line.c_str());
}

uint32_t ShiftOf(uint32_t mask) {
  switch (mask) {
    case 0xFF00: return 8;
    case 0xFF0000: return 16;
    case 0xFF000000: return 24;
    default: return 0;
  }
}

bool HasAlphaPart(const CTexture& t) { return (t.flags & (CTexture::kHasTransparent | CTexture::kHasPartial)) != 0; }

// Pairs {value, run 1-255}; only used when strictly shorter than the raw plane, so that a length
// equal to the pixel count always means raw.
std::vector<uint8_t> RunCode(const std::vector<uint8_t>& alpha) {
  std::vector<uint8_t> runs;
  for (size_t i = 0; i < alpha.size();) {
    size_t n = 1;
    while (i + n < alpha.size() && n < 255 && alpha[i + n] == alpha[i]) ++n;
    runs.push_back(alpha[i]);
    runs.push_back(static_cast<uint8_t>(n));
    i += n;
  }
  return runs;
}

bool Fail(const char* why) {
  std::string line = std::string("JpegCodec: ") + why + "\n";
  OutputDebugStringA(line.c_str());
  return false;
}

}  // namespace

bool JpegCodec::EncodeRgb(const uint8_t* rgb, int width, int height, int quality, std::vector<uint8_t>& out,
                          std::string* error) {
  jpeg_compress_struct info;
  ErrorManager errors;
  unsigned char* buffer = nullptr;
  unsigned long length = 0;
  info.err = &errors.base;
  InstallErrors(errors);
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&info);
    std::free(buffer);
    if (error) *error = errors.message;
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &buffer, &length);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<size_t>(info.next_scanline) * width * 3);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  out.insert(out.end(), buffer, buffer + length);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return true;
}

namespace {

// Colour bytes of decoded pixels with their alpha bytes: a pixel is taken as one word and its
// fourth byte replaced, which the compiler turns into a few vector operations for several pixels;
// moved byte by byte the four planes are taken apart and woven together again.
constexpr uint32_t kFourthShift = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? 24 : 0;
constexpr uint32_t kColourBytes = ~(0xFFu << kFourthShift);

uint32_t WithAlpha(const uint8_t* bgrx, uint32_t alpha) {
  uint32_t pixel;
  std::memcpy(&pixel, bgrx, 4);
  return (pixel & kColourBytes) | alpha << kFourthShift;
}

void MergeAlpha(const uint8_t* bgrx, const uint8_t* alpha, uint8_t* out, int width) {
  for (int x = 0; x < width; ++x) {
    const uint32_t pixel = WithAlpha(bgrx + 4 * x, alpha[x]);
    std::memcpy(out + 4 * x, &pixel, 4);
  }
}

void FillAlpha(const uint8_t* bgrx, uint8_t alpha, uint8_t* out, size_t count) {
  for (size_t x = 0; x < count; ++x) {
    const uint32_t pixel = WithAlpha(bgrx + 4 * x, alpha);
    std::memcpy(out + 4 * x, &pixel, 4);
  }
}

// The alpha bytes of the levels in order: a plane of one byte a pixel, or the payload's runs
// {value, count} read as far as the rows need them, never spelled out. Runs must have been
// checked to cover every pixel asked for.
class AlphaSource {
 public:
  static AlphaSource Plane(const uint8_t* plane) { return AlphaSource(plane, nullptr); }
  static AlphaSource Runs(const uint8_t* runs) { return AlphaSource(nullptr, runs); }

  // Passes over count pixels.
  void Skip(size_t count) {
    if (m_plane != nullptr) {
      m_plane += count;
      return;
    }
    while (count > 0) {
      const uint32_t n = static_cast<uint32_t>(std::min<size_t>(Run(), count));
      m_left -= n;
      count -= n;
    }
  }
  // The colour bytes of a decoded row with the next width alpha bytes, into out.
  void MergeRow(const uint8_t* bgrx, uint8_t* out, int width) {
    if (m_plane != nullptr) {
      MergeAlpha(bgrx, m_plane, out, width);
      m_plane += width;
      return;
    }
    for (uint32_t x = 0, w = static_cast<uint32_t>(width); x < w;) {
      const uint32_t n = std::min(Run(), w - x);
      FillAlpha(bgrx + 4 * x, m_value, out + 4 * x, n);
      m_left -= n;
      x += n;
    }
  }
  // The next count alpha bytes, into out.
  void Take(uint8_t* out, size_t count) {
    if (m_plane != nullptr) {
      std::memcpy(out, m_plane, count);
      m_plane += count;
      return;
    }
    while (count > 0) {
      const uint32_t n = static_cast<uint32_t>(std::min<size_t>(Run(), count));
      std::memset(out, m_value, n);
      out += n;
      m_left -= n;
      count -= n;
    }
  }

 private:
  AlphaSource(const uint8_t* plane, const uint8_t* runs) : m_plane(plane), m_runs(runs) {}
  // Pixels left of the current run, moving on to the next when it is used up.
  uint32_t Run() {
    if (m_left == 0) {
      m_value = m_runs[0];
      m_left = m_runs[1];
      m_runs += 2;
    }
    return m_left;
  }

  const uint8_t* m_plane;
  const uint8_t* m_runs;
  uint8_t m_value = 0;
  uint32_t m_left = 0;
};

// Whether the header just read describes a stream this codec can decode into width x height
// with memory and time bound by its bytes: three components, sequential Huffman coding (the
// writer makes nothing else; a progressive stream makes the library hold every coefficient of
// the picture first, and arithmetic coding has no least cost a block), and at least the two
// bits a block of the full-size component needs.
bool HeaderFits(const jpeg_decompress_struct& info, size_t size, int width, int height, char* message) {
  if (info.num_components != 3) {
    std::snprintf(message, JMSG_LENGTH_MAX, "stream has %d components, not 3", info.num_components);
    return false;
  }
  if (static_cast<int64_t>(info.image_width) != width || static_cast<int64_t>(info.image_height) != height) {
    std::snprintf(message, JMSG_LENGTH_MAX, "stream is %ux%u, the level %dx%d", info.image_width, info.image_height,
                  width, height);
    return false;
  }
  if (info.progressive_mode || info.arith_code) {
    std::snprintf(message, JMSG_LENGTH_MAX, "stream is not sequential Huffman coded");
    return false;
  }
  const uint64_t blocks = (static_cast<uint64_t>(width) + 7) / 8 * ((static_cast<uint64_t>(height) + 7) / 8);
  if (size < blocks / 4) {
    std::snprintf(message, JMSG_LENGTH_MAX, "stream of %zu bytes cannot hold %dx%d pixels", size, width, height);
    return false;
  }
  return true;
}

// With components 4: without alpha the library writes the fourth byte itself (0xFF, or whatever
// BGRX leaves); with alpha each row is decoded into a scratch row and merged, so the destination
// is written once.
// Decodes into rows of the given layout; only C frames lie between setjmp and the library.
bool DecodeInto(const uint8_t* data, size_t size, int width, int height, J_COLOR_SPACE space, int components,
                uint8_t* out, size_t pitch, AlphaSource* alpha, uint8_t fill, std::string* error) {
  jpeg_decompress_struct info;
  ErrorManager errors;
  info.err = &errors.base;
  InstallErrors(errors);
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    if (error) *error = errors.message;
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  // Checked before the library sizes its buffers from the stream's own dimensions.
  if (!HeaderFits(info, size, width, height, errors.message)) {
    jpeg_destroy_decompress(&info);
    if (error) *error = errors.message;
    return false;
  }
  info.out_color_space = components == 4 && !alpha && fill == 0xFF ? JCS_EXT_BGRA : space;
  jpeg_start_decompress(&info);
  if (static_cast<int>(info.output_width) != width || static_cast<int>(info.output_height) != height ||
      info.output_components != components) {
    std::snprintf(errors.message, sizeof(errors.message), "stream is %ux%u, the level %dx%d", info.output_width,
                  info.output_height, width, height);
    jpeg_destroy_decompress(&info);
    if (error) *error = errors.message;
    return false;
  }
  // The library writes aligned rows with non-temporal stores, which makes reading them back slow;
  // a scratch row off the 32-byte grid gets ordinary stores and stays in the cache.
  uint8_t* scratch = nullptr;
  if (components == 4 && alpha) {
    auto* block = static_cast<uint8_t*>((*info.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                                 static_cast<size_t>(width) * 4 + 64));
    scratch = block + (36 - reinterpret_cast<uintptr_t>(block) % 32);
  }
  while (info.output_scanline < info.output_height) {
    const size_t y = info.output_scanline;
    JSAMPROW row = scratch ? scratch : out + y * pitch;
    jpeg_read_scanlines(&info, &row, 1);
    if (scratch) alpha->MergeRow(scratch, out + y * pitch, width);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

// Reads only the header of a stream and checks it as DecodeInto would, holding no pixels.
bool ProbeStream(const uint8_t* data, size_t size, int width, int height, std::string* error) {
  jpeg_decompress_struct info;
  ErrorManager errors;
  info.err = &errors.base;
  InstallErrors(errors);
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    if (error) *error = errors.message;
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  const bool fits = HeaderFits(info, size, width, height, errors.message);
  jpeg_destroy_decompress(&info);
  if (!fits && error) *error = errors.message;
  return fits;
}

}  // namespace

bool JpegCodec::DecodeRgb(const uint8_t* data, size_t size, int width, int height, uint8_t* rgb, std::string* error) {
  return DecodeInto(data, size, width, height, JCS_RGB, 3, rgb, static_cast<size_t>(width) * 3, nullptr, 0, error);
}

bool JpegCodec::DecodeBgra(const uint8_t* data, size_t size, int width, int height, uint8_t* bgra, size_t pitch,
                           const uint8_t* alpha, uint8_t fill, std::string* error) {
  AlphaSource plane = AlphaSource::Plane(alpha);
  return DecodeInto(data, size, width, height, JCS_EXT_BGRX, 4, bgra, pitch, alpha ? &plane : nullptr, fill, error);
}

bool JpegCodec::Compress(const CTexture& t, std::vector<uint8_t>& file) {
  if (t.flags & CTexture::kNoDevice) return Fail("texture has no device form; not written as JPEG");
  if (t.bytesPerPixel != 4 || !t.pixels || t.mipCount == 0) return Fail("only 4-byte textures with pixels");
  const uint32_t masks[3] = {t.redMask, t.greenMask, t.blueMask};
  const uint32_t alphaShift = ShiftOf(t.alphaMask);
  for (uint32_t level = 0; level < t.mipCount; ++level) le::PutU32(file, t.mipOffsets[level]);
  if (HasAlphaPart(t)) {
    std::vector<uint8_t> alpha;
    alpha.reserve(t.GetPixelCount());
    for (uint32_t level = 0; level < t.mipCount; ++level) {
      const uint8_t* p = t.GetLevel(level);
      const uint32_t n = t.GetLevelWidth(level) * t.GetLevelHeight(level);
      for (uint32_t i = 0; i < n; ++i) alpha.push_back(static_cast<uint8_t>((le::ReadU32(p + 4 * i) & t.alphaMask) >> alphaShift));
    }
    const std::vector<uint8_t> runs = RunCode(alpha);
    const std::vector<uint8_t>& part = runs.size() < alpha.size() ? runs : alpha;
    le::PutU32(file, static_cast<uint32_t>(part.size()));
    file.insert(file.end(), part.begin(), part.end());
  }
  const size_t table = file.size();
  file.resize(table + 4u * t.mipCount, 0);
  std::vector<uint8_t> rgb;
  for (uint32_t level = 0; level < t.mipCount; ++level) {
    const int w = static_cast<int>(t.GetLevelWidth(level)), h = static_cast<int>(t.GetLevelHeight(level));
    const uint8_t* p = t.GetLevel(level);
    rgb.resize(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
      const uint32_t pixel = le::ReadU32(p + 4 * i);
      for (int k = 0; k < 3; ++k) rgb[3 * i + k] = static_cast<uint8_t>((pixel & masks[k]) >> ShiftOf(masks[k]));
    }
    le::WriteU32(file.data() + table + 4u * level, static_cast<uint32_t>(file.size()));
    std::string error;
    if (!EncodeRgb(rgb.data(), w, h, kQuality, file, &error)) {
      LogFailure("JPEG Compression failed", t, error);
      return false;
    }
  }
  return true;
}

bool JpegCodec::Decompress(CTexture& t, const uint8_t* file, size_t size, size_t at, bool dropTop) {
  if (t.bytesPerPixel != 4 || t.mipCount == 0) return Fail("JPEG levels need 4-byte pixels");
  auto need = [&](size_t bytes) { return at <= size && size - at >= bytes; };
  if (!need(4u * t.mipCount)) return Fail("level offsets outside the file");
  for (uint32_t level = 0; level < t.mipCount; ++level)
    if (le::ReadU32(file + at + 4u * level) != t.mipOffsets[level]) return Fail("level offsets do not match the sizes");
  at += 4u * t.mipCount;
  const uint32_t pixelCount = t.GetPixelCount();
  const uint8_t* plane = nullptr;  // every level's alpha bytes, stored whole
  const uint8_t* runs = nullptr;   // or as runs, checked to fill the levels
  if (HasAlphaPart(t)) {
    if (!need(4)) return Fail("alpha part outside the file");
    const uint32_t length = le::ReadU32(file + at);
    at += 4;
    if (!need(length)) return Fail("alpha part outside the file");
    if (length == pixelCount) {
      plane = file + at;
    } else {
      if (length % 2) return Fail("alpha runs cut short");
      // The runs are summed before the plane is allocated, so levels larger than the runs can
      // fill cost nothing.
      size_t filled = 0;
      for (uint32_t i = 0; i < length; i += 2) {
        const uint8_t run = file[at + i + 1];
        if (run == 0 || run > pixelCount - filled) return Fail("alpha runs do not fit the levels");
        filled += run;
      }
      if (filled != pixelCount) return Fail("alpha runs do not fill the levels");
      runs = file + at;
    }
    at += length;
  }
  if (!need(4u * t.mipCount)) return Fail("stream positions outside the file");
  std::vector<uint32_t> positions(t.mipCount);
  for (uint32_t level = 0; level < t.mipCount; ++level) positions[level] = le::ReadU32(file + at + 4u * level);
  at += 4u * t.mipCount;
  for (uint32_t level = 0; level < t.mipCount; ++level) {
    const uint32_t end = level + 1 < t.mipCount ? positions[level + 1] : static_cast<uint32_t>(size);
    if (positions[level] < at || positions[level] >= end || end > size) return Fail("stream position out of order");
  }

  const uint32_t first = dropTop && t.mipCount >= 4 ? 1 : 0;
  uint64_t decoded = 0;
  for (uint32_t level = first; level < t.mipCount; ++level) decoded += t.GetLevelSize(level);
  if (decoded > std::max<uint64_t>(kDecodedBytesFloor, kDecodedBytesPerFileByte * size))
    return Fail("levels decode to more bytes than a file of its size may ask for");
  // Every kept stream's header must match its level before the levels are allocated.
  for (uint32_t level = first; level < t.mipCount; ++level) {
    const uint32_t end = level + 1 < t.mipCount ? positions[level + 1] : static_cast<uint32_t>(size);
    std::string error;
    if (!ProbeStream(file + positions[level], end - positions[level], static_cast<int>(t.GetLevelWidth(level)),
                     static_cast<int>(t.GetLevelHeight(level)), &error)) {
      LogFailure("JPEG Decompression failed", t, error);
      return false;
    }
  }
  AlphaSource alphaSource = runs ? AlphaSource::Runs(runs) : AlphaSource::Plane(plane);
  AlphaSource* alpha = runs || plane ? &alphaSource : nullptr;
  if (alpha && first) alpha->Skip(static_cast<size_t>(t.GetLevelWidth(0)) * t.GetLevelHeight(0));
  const uint32_t w0 = t.GetLevelWidth(first), h0 = t.GetLevelHeight(first);
  const uint32_t oldCount = t.mipCount;
  // Geometry of the kept levels; pixels follow it.
  t.width = w0;
  t.height = h0;
  t.mipCount = oldCount - first;
  t.log2Width -= first;
  t.log2Height -= first;
  t.level0Size = w0 * h0 * 4;
  t.mipOffsets.assign(t.mipCount, 0);
  uint32_t total = 0;
  for (uint32_t level = 0; level < t.mipCount; ++level) {
    t.mipOffsets[level] = total;
    total += t.GetLevelSize(level);
  }
  t.totalSize = total;
  t.pixels.reset(new uint8_t[total + 3]);
  // The standard layout is bytes b, g, r, a: the library writes the colour bytes in place.
  const bool standard = t.redMask == 0xFF0000 && t.greenMask == 0xFF00 && t.blueMask == 0xFF &&
                        (t.alphaMask == 0xFF000000 || t.alphaMask == 0);
  const uint32_t masks[3] = {t.redMask, t.greenMask, t.blueMask};
  const uint32_t shifts[3] = {ShiftOf(t.redMask), ShiftOf(t.greenMask), ShiftOf(t.blueMask)};
  const uint32_t alphaShift = ShiftOf(t.alphaMask);
  std::vector<uint8_t> rgb, levelAlpha;
  for (uint32_t level = 0; level < t.mipCount; ++level) {
    const uint32_t source = level + first;
    const int w = static_cast<int>(t.GetLevelWidth(level)), h = static_cast<int>(t.GetLevelHeight(level));
    const size_t n = static_cast<size_t>(w) * h;
    const uint32_t end = source + 1 < oldCount ? positions[source + 1] : static_cast<uint32_t>(size);
    uint8_t* p = t.GetLevel(level);
    std::string error;
    bool ok;
    if (standard) {
      ok = DecodeInto(file + positions[source], end - positions[source], w, h, JCS_EXT_BGRX, 4, p,
                      static_cast<size_t>(w) * 4, alpha, t.alphaMask ? 0xFF : 0, &error);
    } else {
      rgb.resize(n * 3);
      ok = DecodeRgb(file + positions[source], end - positions[source], w, h, rgb.data(), &error);
      if (alpha) {
        levelAlpha.resize(n);
        alpha->Take(levelAlpha.data(), n);
      }
      for (size_t i = 0; ok && i < n; ++i) {
        uint32_t pixel = alpha ? (static_cast<uint32_t>(levelAlpha[i]) << alphaShift) & t.alphaMask : t.alphaMask;
        for (int k = 0; k < 3; ++k) pixel |= (static_cast<uint32_t>(rgb[3 * i + k]) << shifts[k]) & masks[k];
        le::WriteU32(p + 4 * i, pixel);
      }
    }
    if (!ok) {
      LogFailure("JPEG Decompression failed", t, error);
      t.ReleasePixels();
      return false;
    }
  }
  return true;
}
