// ImageReaders: the BMP, Targa and TIFF readers that fill a bitmap image, and the Targa
// run-length codec helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CBitmapImage;

// Each reader checks every count and offset against size, logs why it refuses a file and
// leaves the image without kValid then.
// Reads what SetDIBits reads: 1, 4 and 8 bits with a colour table (the 12-byte OS/2 header
// too), run-length codes of 4 and 8 bits, 16 and 32 bits with or without channel masks, and 24
// bits. Palettes and channel layouts other than 5-5-5, 5-6-5 and x8r8g8b8 give a 24-bit image.
bool ReadBmpFile(CBitmapImage& image, const uint8_t* data, size_t size);
// Types 2 and 10, 24 or 32 bits, no colour map; honours the descriptor's top-left origin bit.
bool ReadTargaFile(CBitmapImage& image, const uint8_t* data, size_t size);
// Uncompressed RGB(A) with 8 bits a sample, in any number of strips.
bool ReadTiffFile(CBitmapImage& image, const uint8_t* data, size_t size);

// Unpacks a type 10 file into the header, image ID and raw pixels of a type 10 layout (the
// type byte is kept); empty when the runs do not fit the picture or the file.
std::vector<uint8_t> DecodeTargaRle(const uint8_t* data, size_t size);
// Pixels equal to the one at pos, counting it (at most count - pos).
int TargaRunLength(const uint8_t* row, int pos, int count, int bytesPerPixel);
// Pixels from pos before the next pair of equal neighbours (at least 1 when pos < count).
int TargaLiteralLength(const uint8_t* row, int pos, int count, int bytesPerPixel);
// Appends the packets of one row: runs of two or more as run packets, the rest as literals.
void WriteTargaRlePackets(const uint8_t* row, int count, int bytesPerPixel, std::vector<uint8_t>& out);
// The diagnostic listing of an 18-byte Targa header (and its image ID when present).
std::string DumpTargaHeader(const uint8_t* data, size_t size);
