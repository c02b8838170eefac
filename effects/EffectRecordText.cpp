#include "effects/EffectRecordText.h"

#include <cstring>

#include "core/data/ByteCursor.h"

bool ReadRecordName(CByteCursor& in, size_t size, std::string& out) {
  std::vector<char> bytes(size);
  if (size == 0 || !in.ReadBytes(bytes.data(), size)) return false;
  const void* end = std::memchr(bytes.data(), 0, size);
  if (end == nullptr) return false;
  out.assign(bytes.data(), static_cast<size_t>(static_cast<const char*>(end) - bytes.data()));
  return true;
}

void PutRecordName(std::vector<uint8_t>& out, const std::string& name, size_t size) {
  if (size == 0) return;
  const size_t kept = name.size() < size - 1 ? name.size() : size - 1;
  out.insert(out.end(), name.begin(), name.begin() + static_cast<std::ptrdiff_t>(kept));
  out.insert(out.end(), size - kept, 0);
}
