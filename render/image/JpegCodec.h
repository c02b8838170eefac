// JpegCodec: the JPEG payload of ".texture" files (level offsets, alpha part, one RGB stream a level).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CTexture;

class JpegCodec {
 public:
  static constexpr int kQuality = 80;
  // The decoded levels of one texture may take this many bytes whatever its file, and beyond that
  // this many bytes per byte of the file: 16 pixels a byte, where a picture with any detail in it
  // takes a byte for every pixel or two at kQuality. Flat colour packs far tighter, so a file of a
  // few bytes a block could otherwise ask for a gigabyte (16384 x 16384 from 1.5 MB).
  static constexpr uint64_t kDecodedBytesFloor = uint64_t{8} << 20;
  static constexpr uint64_t kDecodedBytesPerFileByte = 64;

  // Appends the payload of a 4-byte texture to file, whose first byte is the start of the file
  // (the stream positions count from there). False (logged) when it cannot be made.
  static bool Compress(const CTexture& texture, std::vector<uint8_t>& file);
  // Reads the payload at offset of the file image into the texture, whose header fields are
  // set; with dropTop and at least four levels the first level is skipped. False (logged) when
  // any count, position, stream or level size does not fit, or when the kept levels would take
  // more than the file's share of memory (kDecodedBytesFloor, kDecodedBytesPerFileByte).
  static bool Decompress(CTexture& texture, const uint8_t* file, size_t size, size_t offset, bool dropTop);

  // One baseline RGB stream of width x height triplets; error receives the library's message.
  static bool EncodeRgb(const uint8_t* rgb, int width, int height, int quality, std::vector<uint8_t>& out,
                        std::string* error);
  // Decodes a stream that must be exactly width x height with three components.
  static bool DecodeRgb(const uint8_t* data, size_t size, int width, int height, uint8_t* rgb, std::string* error);
  // The same into rows of four bytes b, g, r, a, pitch bytes apart; a comes from alpha (width x
  // height bytes) or, when that is null, is fill.
  static bool DecodeBgra(const uint8_t* data, size_t size, int width, int height, uint8_t* bgra, size_t pitch,
                         const uint8_t* alpha, uint8_t fill, std::string* error);
};
