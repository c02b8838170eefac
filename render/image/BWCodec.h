// BWCodec: the bit-level compression of a BW image's pixel area, an order-one context model
// with escapes and three tiers of run counts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bwcodec {

constexpr int kMaxContextBits = 4;
constexpr uint32_t kMaxRun = 273;

// Appends the stream of d[0..length) to out (whole bytes) and returns its length in bits.
uint64_t Encode(const uint8_t* d, size_t length, std::vector<uint8_t>& out);

// Decodes a stream of bitLength bits held in bytes[0..byteCount) into exactly expected bytes.
// False for a stream that reads past its end, names a context count above 4, or yields more
// or fewer bytes than expected.
bool Decode(const uint8_t* bytes, size_t byteCount, uint64_t bitLength, size_t expected, std::vector<uint8_t>& out);

}  // namespace bwcodec
