// CSoftwareTextureStore: lookup and conversion on demand, the cache files and the palette choice.
#include "render/software/SoftwareTextureStore.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/data/FileBuffer.h"
#include "core/data/LittleEndian.h"
#include "platform/system/Win32.h"
#include "render/image/ImageFileIo.h"
#include "render/image/Texture.h"

namespace {

// Marks the block of texture names that follows the records ("NAME"); files without it still
// read, their textures then match on the name hash alone.
constexpr uint32_t kNamesMarker = 0x454D414Eu;
// The first palette entries are fixed so that debug colours and black survive any palette.
constexpr uint16_t kFixedColours[16] = {0x0000, 0x7FFF, 0x001F, 0x03E0, 0x7C00, 0x000F, 0x01E0, 0x3C00,
                                        0x3DEF, 0x3DFF, 0x3FEF, 0x7DEF, 0x1CE7, 0x0007, 0x0000, 0x1C00};

bool Fail(const char* why) {
  OutputDebugStringA((std::string("CSoftwareTextureStore: cache file rejected: ") + why + "\n").c_str());
  return false;
}

bool SameNameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

uint32_t Log2(uint32_t side) {
  uint32_t n = 0;
  while ((1u << n) < side) ++n;
  return n;
}

// Median cut over a histogram of 15-bit colours: up to `limit` colours, each the weighted mean
// of one box of the colour cube.
struct ColourCount {
  uint16_t colour;
  uint32_t count;
};

int ChannelOf(uint16_t c, int channel) { return (c >> (10 - 5 * channel)) & 31; }

std::vector<uint16_t> MedianCut(std::vector<ColourCount> colours, size_t limit) {
  std::vector<std::vector<ColourCount>> boxes;
  if (!colours.empty()) boxes.push_back(std::move(colours));
  while (boxes.size() < limit) {
    // Split the most populous box that still holds two colours, along its widest channel.
    size_t pick = boxes.size();
    uint64_t best = 0;
    for (size_t i = 0; i < boxes.size(); ++i) {
      if (boxes[i].size() < 2) continue;
      uint64_t population = 0;
      for (const ColourCount& c : boxes[i]) population += c.count;
      if (population > best) best = population, pick = i;
    }
    if (pick == boxes.size()) break;
    std::vector<ColourCount>& box = boxes[pick];
    int channel = 0, widest = -1;
    for (int ch = 0; ch < 3; ++ch) {
      int lo = 31, hi = 0;
      for (const ColourCount& c : box) lo = std::min(lo, ChannelOf(c.colour, ch)), hi = std::max(hi, ChannelOf(c.colour, ch));
      if (hi - lo > widest) widest = hi - lo, channel = ch;
    }
    std::sort(box.begin(), box.end(), [channel](const ColourCount& a, const ColourCount& b) {
      return ChannelOf(a.colour, channel) < ChannelOf(b.colour, channel);
    });
    uint64_t half = 0;
    size_t cut = 1;
    for (; cut < box.size(); ++cut) {
      half += box[cut - 1].count;
      if (half * 2 >= best) break;
    }
    cut = std::min(std::max<size_t>(cut, 1), box.size() - 1);
    std::vector<ColourCount> upper(box.begin() + static_cast<std::ptrdiff_t>(cut), box.end());
    box.resize(cut);
    boxes.push_back(std::move(upper));
  }
  std::vector<uint16_t> out;
  for (const auto& box : boxes) {
    uint64_t sum[3] = {0, 0, 0}, total = 0;
    for (const ColourCount& c : box) {
      for (int ch = 0; ch < 3; ++ch) sum[ch] += static_cast<uint64_t>(ChannelOf(c.colour, ch)) * c.count;
      total += c.count;
    }
    uint16_t mean = 0;
    for (int ch = 0; ch < 3; ++ch) mean |= static_cast<uint16_t>(((sum[ch] + total / 2) / total) << (10 - 5 * ch));
    out.push_back(mean);
  }
  return out;
}

void CountColours(const CTexture& texture, std::vector<uint32_t>& histogram) {
  if (!texture.pixels || texture.mipCount == 0 || texture.bytesPerPixel < 2 || texture.bytesPerPixel > 4) return;
  // Channels as the conversion reads them (8 bits, then the top five).
  const uint32_t n = texture.GetLevelWidth(0) * texture.GetLevelHeight(0);
  const uint8_t* p = texture.GetLevel(0);
  for (uint32_t i = 0; i < n; ++i, p += texture.bytesPerPixel) {
    uint32_t pixel = 0;
    for (uint32_t b = 0; b < texture.bytesPerPixel; ++b) pixel |= static_cast<uint32_t>(p[b]) << (8 * b);
    auto channel = [pixel](uint32_t mask) {
      if (!mask) return 0u;
      uint32_t shift = 0;
      while (!((mask >> shift) & 1)) ++shift;
      const uint32_t top = mask >> shift;
      return static_cast<uint32_t>((static_cast<uint64_t>((pixel & mask) >> shift) * 255 + top / 2) / top) >> 3;
    };
    uint32_t colour;
    if (texture.bytesPerPixel == 3)
      colour = ((pixel >> 19) & 31) << 10 | ((pixel >> 11) & 31) << 5 | ((pixel >> 3) & 31);
    else
      colour = channel(texture.redMask) << 10 | channel(texture.greenMask) << 5 | channel(texture.blueMask);
    ++histogram[colour & 0x7FFF];
  }
}

}  // namespace

CSoftwareTextureStore& CSoftwareTextureStore::Instance() {
  static CSoftwareTextureStore store;
  return store;
}

CSoftwareTexture* CSoftwareTextureStore::Find(const std::string& name) const {
  const uint32_t hash = CSoftwareTexture::HashName(name.c_str());
  for (const auto& t : m_textures) {
    if (t->GetNameHash() != hash) continue;
    if (t->GetName().empty() || SameNameNoCase(t->GetName(), name)) return t.get();
  }
  return nullptr;
}

CSoftwareTexture* CSoftwareTextureStore::ConvertTexture(CTexture& texture, uint32_t level) {
  if (texture.name.empty()) return nullptr;
  if (CSoftwareTexture* found = Find(texture.name)) {
    texture.deviceTexture = found;
    return found;
  }
  if (m_textures.size() >= kMaxTextures) return nullptr;
  std::unique_ptr<CSoftwareTexture> converted;
  if (texture.pixels) {
    converted = CSoftwareTexture::Convert(texture, level, m_palette);
  } else {
    // A texture that handed its pixels to the card is read again from its file.
    CTexture reloaded;
    reloaded.flags = texture.flags;
    reloaded.name = texture.name;
    const std::string& path = texture.fileName.empty() ? texture.name : texture.fileName;
    if (reloaded.Load(path.c_str(), true)) converted = CSoftwareTexture::Convert(reloaded, level, m_palette);
  }
  if (!converted) return nullptr;
  m_textures.push_back(std::move(converted));
  texture.deviceTexture = m_textures.back().get();
  return m_textures.back().get();
}

std::string CSoftwareTextureStore::CacheFileName(const char* prefix, int detail) {
  char name[1024];
  std::snprintf(name, sizeof(name), "%stexture%i.bin", prefix ? prefix : "", detail > 2 ? 2 : detail);
  return name;
}

bool CSoftwareTextureStore::LoadCached(const char* prefix, int detail) {
  const std::string path = CacheFileName(prefix, detail);
  uint32_t size = 0;
  // The reader logs the missing file with the working directory.
  char* buffer = LoadFileToBuffer(path.c_str(), &size);
  const bool ok = buffer && ReadCache(reinterpret_cast<const uint8_t*>(buffer), size);
  FreeFileBuffer(buffer);
  static const CSoftwarePalette kDefault;
  if (!ok && !(m_palette == kDefault)) {
    // Copies converted against the palette being dropped would show the wrong colours.
    m_textures.clear();
    m_palette = kDefault;
  }
  return ok;
}

bool CSoftwareTextureStore::ReadCache(const uint8_t* data, size_t size) {
  if (!data || size < kHeaderBytes) return Fail("shorter than its header");
  const uint32_t count = le::ReadU32(data + 4);
  if (count > kMaxTextures) return Fail("more than 512 textures");
  auto palette = std::make_unique<CSoftwarePalette>(CSoftwarePalette::Blank{});
  if (!palette->ReadBlock(data + 8)) return Fail("palette colour count out of range");
  struct Record {
    SoftwareTextureLevel level;
    bool keyed;
    uint32_t hash;
    std::string name;
  };
  std::vector<Record> records(count);
  size_t at = kHeaderBytes;
  for (Record& r : records) {
    if (size - at < kRecordHeaderBytes) return Fail("record header cut short");
    const uint8_t* h = data + at;
    const uint32_t keyed = le::ReadU32(h), w = le::ReadU32(h + 12), ht = le::ReadU32(h + 16);
    if (keyed > 1) return Fail("keyed flag is neither 0 nor 1");
    if (!CSoftwareTexture::IsValidSide(w) || !CSoftwareTexture::IsValidSide(ht)) return Fail("bad texture size");
    if (le::ReadU32(h + 20) != w - 1 || le::ReadU32(h + 24) != ht - 1 || le::ReadU32(h + 28) != Log2(w))
      return Fail("masks do not match the size");
    const size_t bytes = static_cast<size_t>(w) * ht;
    at += kRecordHeaderBytes;
    if (size - at < bytes) return Fail("texels cut short");
    r.keyed = keyed != 0;
    r.hash = le::ReadU32(h + 4);
    r.level.width = w, r.level.height = ht, r.level.widthMask = w - 1, r.level.heightMask = ht - 1;
    r.level.widthShift = Log2(w);
    r.level.pixels = std::make_unique<uint8_t[]>(bytes);
    std::memcpy(r.level.pixels.get(), data + at, bytes);
    at += bytes;
  }
  if (at != size) {
    if (size - at < 4 || le::ReadU32(data + at) != kNamesMarker) return Fail("unexpected bytes after the records");
    at += 4;
    for (Record& r : records) {
      if (size - at < 2) return Fail("name block cut short");
      const size_t length = le::ReadU16(data + at);
      at += 2;
      if (size - at < length) return Fail("name cut short");
      r.name.assign(reinterpret_cast<const char*>(data + at), length);
      at += length;
      // An empty name is a texture whose name was never known (read from a nameless file).
      if (length > 0 && CSoftwareTexture::HashName(r.name.c_str()) != r.hash)
        return Fail("name does not match its hash");
    }
    if (at != size) return Fail("unexpected bytes after the names");
  }
  m_palette = *palette;
  m_textures.clear();
  for (Record& r : records)
    m_textures.push_back(
        std::make_unique<CSoftwareTexture>(std::move(r.level), r.keyed, r.hash, std::move(r.name), m_palette));
  return true;
}

std::vector<uint8_t> CSoftwareTextureStore::EncodeCache() const {
  std::vector<uint8_t> out(kHeaderBytes);
  le::WriteU32(out.data(), 1);
  le::WriteU32(out.data() + 4, static_cast<uint32_t>(m_textures.size()));
  m_palette.WriteBlock(out.data() + 8);
  for (const auto& t : m_textures) {
    const SoftwareTextureLevel& level = t->GetLevel();
    const uint32_t words[9] = {t->IsKeyed() ? 1u : 0u, t->GetNameHash(), 0,       level.width,     level.height,
                               level.widthMask,        level.heightMask, level.widthShift, 0};
    for (uint32_t w : words) le::PutU32(out, w);
    out.insert(out.end(), level.pixels.get(), level.pixels.get() + static_cast<size_t>(level.width) * level.height);
  }
  le::PutU32(out, kNamesMarker);
  for (const auto& t : m_textures) {
    const std::string& name = t->GetName();
    // A name the block cannot hold whole is written as unknown: cut, it would not match its hash.
    const size_t length = name.size() <= 0xFFFF ? name.size() : 0;
    out.push_back(static_cast<uint8_t>(length));
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.insert(out.end(), name.begin(), name.begin() + static_cast<std::ptrdiff_t>(length));
  }
  return out;
}

bool CSoftwareTextureStore::CacheSoftwareTextures(const std::vector<CTexture*>& textures, const char* prefix) {
  m_textures.clear();
  // One histogram of every texture's top level stands in for a picture of them all.
  std::vector<uint32_t> histogram(CSoftwarePalette::kInverseSize, 0);
  for (const CTexture* t : textures)
    if (t && !t->name.empty()) CountColours(*t, histogram);
  std::vector<ColourCount> present;
  for (uint32_t c = 0; c < histogram.size(); ++c)
    if (histogram[c]) present.push_back({static_cast<uint16_t>(c), histogram[c]});
  std::vector<uint16_t> colours(std::begin(kFixedColours), std::end(kFixedColours));
  for (uint16_t c : MedianCut(std::move(present), CSoftwarePalette::kColours - colours.size())) colours.push_back(c);
  m_palette.SetColours(colours.data(), static_cast<uint32_t>(colours.size()));

  bool written = true;
  for (int detail = 2; detail >= 0; --detail) {
    m_textures.clear();
    for (const CTexture* t : textures) {
      if (!t || t->name.empty() || m_textures.size() >= kMaxTextures || Find(t->name)) continue;
      if (auto converted = CSoftwareTexture::Convert(*t, static_cast<uint32_t>(detail), m_palette))
        m_textures.push_back(std::move(converted));
    }
    const std::vector<uint8_t> file = EncodeCache();
    written = WriteImageFile(CacheFileName(prefix, detail).c_str(), file.data(), file.size()) && written;
  }
  return written;
}
