// BWCodec: statistics, the per-context successor lists and the bit stream in both directions.
#include "render/image/BWCodec.h"

#include <algorithm>
#include <array>

namespace bwcodec {
namespace {

// Fields are written least significant bit first at increasing bit positions.
class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : m_out(out), m_start(out.size()) {}
  void Put(uint32_t value, int width) {
    for (int i = 0; i < width; ++i, ++m_bits) {
      if (m_bits % 8 == 0) m_out.push_back(0);
      if (value >> i & 1) m_out[m_start + m_bits / 8] |= static_cast<uint8_t>(1u << (m_bits % 8));
    }
  }
  uint64_t Bits() const { return m_bits; }

 private:
  std::vector<uint8_t>& m_out;
  size_t m_start;
  uint64_t m_bits = 0;
};

class BitReader {
 public:
  BitReader(const uint8_t* bytes, uint64_t bitLength) : m_bytes(bytes), m_end(bitLength) {}
  // False when the field would run past the end of the stream.
  bool Get(int width, uint32_t* value) {
    if (m_end - m_pos < static_cast<uint64_t>(width)) return false;
    uint32_t v = 0;
    for (int i = 0; i < width; ++i, ++m_pos) v |= static_cast<uint32_t>(m_bytes[m_pos / 8] >> (m_pos % 8) & 1) << i;
    *value = v;
    return true;
  }
  bool AtEnd() const { return m_pos >= m_end; }

 private:
  const uint8_t* m_bytes;
  uint64_t m_end;
  uint64_t m_pos = 0;
};

struct Context {
  int bits = 0;
  std::array<uint8_t, 15> successors{};
};
using ContextTable = std::array<Context, 256>;

// The model the encoder chooses: per context the successor order and the count n.
ContextTable ChooseModel(const uint8_t* d, size_t length) {
  std::vector<std::array<uint32_t, 256>> freq(256);
  for (auto& row : freq) row.fill(0);
  std::array<uint32_t, 256> entered{};
  for (size_t i = 1; i < length; ++i) {
    ++freq[d[i - 1]][d[i]];
    if (d[i] != d[i - 1]) ++entered[d[i]];
  }
  ContextTable model;
  for (int c = 0; c < 256; ++c) {
    freq[c][c] = entered[c];
    std::array<uint8_t, 256> order;
    for (int s = 0; s < 256; ++s) order[s] = static_cast<uint8_t>(s);
    std::stable_sort(order.begin(), order.end(), [&](uint8_t a, uint8_t b) { return freq[c][a] > freq[c][b]; });
    uint64_t best = UINT64_MAX;
    for (int n = 0; n <= kMaxContextBits; ++n) {
      const int slots = 1 << n;
      uint64_t cost = 8ull * slots;
      for (int place = 0; place <= slots - 2; ++place) cost += static_cast<uint64_t>(n) * freq[c][order[place]];
      for (int place = slots; place < 256; ++place) cost += 8ull * freq[c][order[place]];
      if (cost < best) {
        best = cost;
        model[c].bits = n;
      }
    }
    for (int place = 0; place < (1 << model[c].bits) - 1; ++place) model[c].successors[place] = order[place];
  }
  return model;
}

void PutRun(BitWriter& w, uint32_t run) {
  if (run <= 3) {
    w.Put(run, 2);
  } else if (run <= 18) {
    w.Put(0, 2);
    w.Put(run - 3, 4);
  } else {
    w.Put(0, 2);
    w.Put(0, 4);
    w.Put(run - 18, 8);
  }
}

// The most bytes a stream of bitLength bits can yield: after the first byte, nothing beats a
// one-bit repeat followed by the longest run field (14 bits for kMaxRun bytes).
uint64_t MostDecodedBytes(uint64_t bitLength) { return 1 + bitLength / 15 * kMaxRun + kMaxRun; }

bool GetRun(BitReader& r, uint32_t* run) {
  uint32_t v;
  if (!r.Get(2, &v)) return false;
  if (v) return *run = v, true;
  if (!r.Get(4, &v)) return false;
  if (v) return *run = v + 3, true;
  if (!r.Get(8, &v)) return false;
  *run = v + 18;
  return true;
}

}  // namespace

uint64_t Encode(const uint8_t* d, size_t length, std::vector<uint8_t>& out) {
  BitWriter w(out);
  const ContextTable model = ChooseModel(d, length);
  for (const Context& c : model) {
    w.Put(static_cast<uint32_t>(c.bits), 3);
    for (int place = 0; place < (1 << c.bits) - 1; ++place) w.Put(c.successors[place], 8);
  }
  if (length == 0) return w.Bits();
  w.Put(d[0], 8);
  uint8_t previous = d[0];
  for (size_t i = 1; i < length; ++i) {
    const Context& c = model[previous];
    const int escape = (1 << c.bits) - 1;
    const int index = static_cast<int>(std::find(c.successors.begin(), c.successors.begin() + escape, d[i]) -
                                       c.successors.begin());
    w.Put(static_cast<uint32_t>(index), c.bits);
    if (index == escape) w.Put(d[i], 8);
    if (d[i] == previous) {
      uint32_t run = 1;
      while (run < kMaxRun && i + run < length && d[i + run] == previous) ++run;
      i += run - 1;
      PutRun(w, run);
    }
    previous = d[i];
  }
  return w.Bits();
}

bool Decode(const uint8_t* bytes, size_t byteCount, uint64_t bitLength, size_t expected, std::vector<uint8_t>& out) {
  if (bitLength > static_cast<uint64_t>(byteCount) * 8) return false;
  // A size the stream cannot reach is refused before anything is held for it.
  if (expected > MostDecodedBytes(bitLength)) return false;
  BitReader r(bytes, bitLength);
  ContextTable model;  // one per decode: two decodes may run at once
  for (Context& c : model) {
    uint32_t n;
    if (!r.Get(3, &n) || n > static_cast<uint32_t>(kMaxContextBits)) return false;
    c.bits = static_cast<int>(n);
    for (int place = 0; place < (1 << n) - 1; ++place) {
      uint32_t s;
      if (!r.Get(8, &s)) return false;
      c.successors[place] = static_cast<uint8_t>(s);
    }
  }
  out.clear();
  // Plain pixel areas compress a few times at most; a larger claim grows only as runs arrive.
  out.reserve(std::min<size_t>(expected, 8 * byteCount + 64));
  if (expected == 0) return r.AtEnd();
  uint32_t first;
  if (!r.Get(8, &first)) return false;
  out.push_back(static_cast<uint8_t>(first));
  uint8_t previous = static_cast<uint8_t>(first);
  while (!r.AtEnd()) {
    const Context& c = model[previous];
    const uint32_t escape = (1u << c.bits) - 1;
    uint32_t index = 0, value;
    if (!r.Get(c.bits, &index)) return false;
    if (index == escape) {
      if (!r.Get(8, &value)) return false;
    } else {
      value = c.successors[index];
    }
    if (value != previous) {
      if (out.size() >= expected) return false;
      out.push_back(static_cast<uint8_t>(value));
      previous = static_cast<uint8_t>(value);
      continue;
    }
    uint32_t run;
    if (!GetRun(r, &run) || run > expected - out.size()) return false;
    out.insert(out.end(), run, previous);
  }
  return out.size() == expected;
}

}  // namespace bwcodec
