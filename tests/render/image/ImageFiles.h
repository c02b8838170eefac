// Picture files the reader tests feed in: Targa files laid out by hand, TIFF files through libtiff.
#pragma once

#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/data/LittleEndian.h"
#include "render/image/ImageReaders.h"
#include "tests/support/TempFolder.h"

namespace image_files {

struct Picture {
  int width, height, bytes;
  std::vector<uint8_t> bgra;  // top row first
};

// Colours drawn from a few values so that runs occur, also across row ends.
inline Picture MakePicture(int w, int h, int bytes, uint32_t seed) {
  Picture p{w, h, bytes, std::vector<uint8_t>(static_cast<size_t>(w) * h * bytes)};
  std::mt19937 rng(seed);
  for (size_t i = 0; i < p.bgra.size(); i += bytes) {
    const int pick = static_cast<int>(rng() % 3);
    for (int k = 0; k < bytes; ++k)
      p.bgra[i + k] = static_cast<uint8_t>(pick * 90 + k * 7 + (pick == 2 ? rng() % 4 : 0));
  }
  return p;
}

inline std::vector<uint8_t> TargaHeader(int w, int h, int bits, bool rle) {
  std::vector<uint8_t> file(18, 0);
  file[2] = rle ? 10 : 2;
  le::WriteU16(file.data() + 12, static_cast<uint16_t>(w));
  le::WriteU16(file.data() + 14, static_cast<uint16_t>(h));
  file[16] = static_cast<uint8_t>(bits);
  file[17] = 0x20;
  return file;
}

inline std::vector<uint8_t> TargaFile(const Picture& p, bool rle, bool topOrigin) {
  std::vector<uint8_t> file = TargaHeader(p.width, p.height, p.bytes * 8, rle);
  file[17] = static_cast<uint8_t>((topOrigin ? 0x20 : 0) | (p.bytes == 4 ? 8 : 0));
  std::vector<uint8_t> rows;
  for (int y = 0; y < p.height; ++y) {
    const int from = topOrigin ? y : p.height - 1 - y;
    rows.insert(rows.end(), p.bgra.begin() + static_cast<ptrdiff_t>(from) * p.width * p.bytes,
                p.bgra.begin() + static_cast<ptrdiff_t>(from + 1) * p.width * p.bytes);
  }
  // Run-length packets over the whole pixel stream, so packets cross row ends.
  if (rle) {
    WriteTargaRlePackets(rows.data(), p.width * p.height, p.bytes, file);
  } else {
    // Resized then copied: GCC 12 at -O3 mistakes a range insert into the 18-byte header for an overflow.
    file.resize(18 + rows.size());
    std::copy(rows.begin(), rows.end(), file.begin() + 18);
  }
  return file;
}

inline std::vector<uint8_t> WriteTiff(const std::string& path, const Picture& p, bool bigEndian, int rowsPerStrip,
                                      uint16_t compression) {
  TIFFSetWarningHandler(nullptr);
  TIFF* tif = TIFFOpen(path.c_str(), bigEndian ? "wb" : "wl");
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, p.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, p.height);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, p.bytes);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
  if (p.bytes == 4) {
    const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  std::vector<uint8_t> row(static_cast<size_t>(p.width) * p.bytes);
  for (int y = 0; y < p.height; ++y) {
    // The picture is b, g, r(, a); TIFF rows are r, g, b(, a).
    for (int x = 0; x < p.width; ++x) {
      const uint8_t* s = &p.bgra[(static_cast<size_t>(y) * p.width + x) * p.bytes];
      row[x * p.bytes] = s[2];
      row[x * p.bytes + 1] = s[1];
      row[x * p.bytes + 2] = s[0];
      if (p.bytes == 4) row[x * p.bytes + 3] = s[3];
    }
    TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0);
  }
  TIFFClose(tif);
  const std::string bytes = testing_support::ReadBytes(path);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace image_files
