// EffectRecordText: the fixed-size, zero-padded file names inside the effects' binary records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CByteCursor;

// Reads size bytes into out; false when the bytes run short or hold no terminating zero.
bool ReadRecordName(CByteCursor& in, size_t size, std::string& out);
// Writes the name cut to size - 1 characters, zero-padded to size bytes.
void PutRecordName(std::vector<uint8_t>& out, const std::string& name, size_t size);
