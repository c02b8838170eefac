// Software textures: the palette and its tables, conversion to indices, the store's lookup and
// the cache file read back against what was written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/world/GameWorld.h"
#include "render/image/Texture.h"
#include "render/software/SoftwareRasterizer.h"
#include "render/software/SoftwarePalette.h"
#include "render/software/SoftwareTexture.h"
#include "render/software/SoftwareTextureStore.h"
#include "tests/support/TempFolder.h"

namespace {

uint16_t Pack(int r, int g, int b) { return static_cast<uint16_t>(r << 10 | g << 5 | b); }

// A 32-bit texture whose texel (x, y) is the colour the callback gives (0xAARRGGBB).
template <class F>
std::unique_ptr<CTexture> MakeTexture(const char* name, uint32_t w, uint32_t h, F colour, uint32_t flags = 0) {
  std::vector<uint32_t> texels(static_cast<size_t>(w) * h);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) texels[y * w + x] = colour(x, y);
  auto t = std::make_unique<CTexture>();
  EXPECT_TRUE(t->CreateFromPixels(texels.data(), 4, w, h, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, flags, name));
  return t;
}

// Grey texel of default-palette entry i (1..31): the grey ramp holds (i, i, i).
uint32_t Grey(uint32_t i) { return 0xFF000000u | (i << 3) * 0x010101u; }

}  // namespace

TEST(SoftwarePalette, DefaultRampsLightTablesAndNearestColour) {
  CSoftwarePalette p;
  EXPECT_EQ(256u, p.GetCount());
  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(Pack(i, i, i), p.GetColour(i));
    EXPECT_EQ(Pack(0, 0, i), p.GetColour(32 + i));
    EXPECT_EQ(Pack(0, i, 0), p.GetColour(64 + i));
    EXPECT_EQ(Pack(i, 0, 0), p.GetColour(96 + i));
    EXPECT_EQ(Pack(8, 8, i), p.GetColour(128 + i));
    EXPECT_EQ(Pack(8, i, 8), p.GetColour(160 + i));
    EXPECT_EQ(Pack(i, 8, 8), p.GetColour(192 + i));
    EXPECT_EQ(i * 5, p.GetColour(224 + i));
  }
  // Level 31 is the palette itself; level 15 halves every channel (248 * 0.5 = 124 -> 15).
  for (int i = 0; i < 256; ++i) ASSERT_EQ(p.GetColour(i), p.GetLightTable(31)[i]);
  EXPECT_EQ(Pack(15, 15, 15), p.GetLightTable(15)[31]);
  EXPECT_EQ(Pack(0, 0, 0), p.GetLightTable(0)[31]) << "248 / 32 = 7.75 -> 7 -> 0 in five bits";
  // Brute-force nearest entry (1..255, first minimum) for every 15-bit colour; never entry 0.
  for (uint32_t c = 0; c < 32768; c += 7) {
    int best = 1, bestCost = 1 << 30;
    for (int i = 1; i < 256; ++i) {
      const uint16_t e = p.GetColour(i);
      const int dr = int(c >> 10 & 31) - (e >> 10 & 31), dg = int(c >> 5 & 31) - (e >> 5 & 31), db = int(c & 31) - (e & 31);
      if (dr * dr + dg * dg + db * db < bestCost) bestCost = dr * dr + dg * dg + db * db, best = i;
    }
    ASSERT_EQ(best, p.Nearest(c)) << c;
  }
  // A palette of one colour still names an entry that exists: entry 1, part of the palette.
  const uint16_t one = Pack(31, 0, 0);
  p.SetColours(&one, 1);
  EXPECT_EQ(2u, p.GetCount());
  EXPECT_EQ(1, p.Nearest(Pack(0, 31, 0)));
  EXPECT_EQ(0, p.GetColour(1)) << "the entry not given stays black, not stale";
}

TEST(SoftwareTexture, ConversionKeysAndTexelColours) {
  CSoftwarePalette palette;
  EXPECT_EQ(0u, CSoftwareTexture::HashName(nullptr));
  EXPECT_EQ(0x700u, CSoftwareTexture::HashName(""));
  EXPECT_EQ(((7u + 'A' + 2 * 'B') << 8) | 2, CSoftwareTexture::HashName("ab"));
  EXPECT_EQ(CSoftwareTexture::HashName("ab"), CSoftwareTexture::HashName("AB"));

  // Column x of an 8 x 2 texture is grey entry x + 1; row 1 of a keyed texture has alpha 0.
  auto keyedSource = MakeTexture("keyed", 8, 2, [](uint32_t x, uint32_t y) {
    return y ? (Grey(x + 1) & 0x7FFFFFFF) : Grey(x + 1);
  });
  ASSERT_TRUE(keyedSource->flags & CTexture::kHasPartial) << "alpha 0x7F: see-through for the software back end";
  auto keyed = CSoftwareTexture::Convert(*keyedSource, 0, palette);
  ASSERT_TRUE(keyed);
  EXPECT_TRUE(keyed->IsKeyed());
  for (uint32_t x = 0; x < 8; ++x) {
    EXPECT_EQ(x + 1, keyed->GetIndex(x, 0));
    EXPECT_EQ(0, keyed->GetIndex(x, 1)) << "alpha bit clear: transparent";
  }
  // Texel centres, the same one a whole turn later, and the wrap below zero.
  for (uint32_t x = 0; x < 8; ++x) {
    Color c;
    keyed->GetTexelColour(c, (x + 0.5f) / 8, 0.25f);
    EXPECT_EQ(Color::FromRGBA((x + 1) << 3, (x + 1) << 3, (x + 1) << 3, 255), c) << x;
    Color turned;
    keyed->GetTexelColour(turned, 1.0f + (x + 0.5f) / 8, 2.25f);
    EXPECT_EQ(c, turned);
  }
  Color last, clear;
  keyed->GetTexelColour(last, -0.01f, 0.25f);
  EXPECT_EQ(Color::FromRGBA(64, 64, 64, 255), last) << "u just below 0 is the last column";
  keyed->GetTexelColour(clear, 0.5f, 0.75f);
  EXPECT_EQ(Color(), clear) << "index 0 is transparent black";

  // Sides that are not powers of two are resampled down: 6 x 3 -> 4 x 2, nearest columns 0, 1, 3, 4.
  auto odd = MakeTexture("odd", 6, 3, [](uint32_t x, uint32_t y) { return Grey(x + 1 + 8 * y); });
  auto small = CSoftwareTexture::Convert(*odd, 0, palette);
  ASSERT_TRUE(small);
  EXPECT_EQ(4u, small->GetWidth());
  EXPECT_EQ(2u, small->GetHeight());
  EXPECT_FALSE(small->IsKeyed());
  const uint8_t expected[2][4] = {{1, 2, 4, 5}, {9, 10, 12, 13}};
  for (uint32_t y = 0; y < 2; ++y)
    for (uint32_t x = 0; x < 4; ++x) EXPECT_EQ(expected[y][x], small->GetIndex(x, y)) << x << "," << y;
}

TEST(SoftwareTextureStore, SharesCopiesByNameAndStopsAt512) {
  CSoftwareTextureStore store;
  auto a = MakeTexture("walls/brick", 4, 4, [](uint32_t, uint32_t) { return Grey(3); });
  auto sameName = MakeTexture("WALLS/BRICK", 4, 4, [](uint32_t, uint32_t) { return Grey(9); });
  CSoftwareTexture* first = store.ConvertTexture(*a);
  ASSERT_TRUE(first);
  EXPECT_EQ(first, a->deviceTexture);
  EXPECT_EQ(first, store.ConvertTexture(*sameName)) << "names compare without letter case";
  // "AD" and "CC" have the same hash (65 + 2 * 68 = 67 + 2 * 67): still two textures.
  ASSERT_EQ(CSoftwareTexture::HashName("AD"), CSoftwareTexture::HashName("CC"));
  auto ad = MakeTexture("AD", 4, 4, [](uint32_t, uint32_t) { return Grey(5); });
  auto cc = MakeTexture("CC", 4, 4, [](uint32_t, uint32_t) { return Grey(7); });
  CSoftwareTexture* adCopy = store.ConvertTexture(*ad);
  CSoftwareTexture* ccCopy = store.ConvertTexture(*cc);
  ASSERT_TRUE(adCopy && ccCopy);
  EXPECT_EQ(5, adCopy->GetIndex(0, 0));
  EXPECT_EQ(7, ccCopy->GetIndex(0, 0));
  EXPECT_EQ(3u, store.GetCount());
  // No name, no copy.
  CTexture nameless;
  EXPECT_EQ(nullptr, store.ConvertTexture(nameless));
  std::vector<std::unique_ptr<CTexture>> many;
  for (int i = 0; store.GetCount() < CSoftwareTextureStore::kMaxTextures; ++i) {
    many.push_back(MakeTexture(("t" + std::to_string(i)).c_str(), 1, 1, [](uint32_t, uint32_t) { return Grey(1); }));
    ASSERT_TRUE(store.ConvertTexture(*many.back()));
  }
  EXPECT_EQ(1u, store.Find("t0")->GetWidth() * store.Find("t0")->GetHeight()) << "a 1 x 1 texture stays 1 x 1";
  auto extra = MakeTexture("one too many", 1, 1, [](uint32_t, uint32_t) { return Grey(1); });
  EXPECT_EQ(nullptr, store.ConvertTexture(*extra));
  EXPECT_EQ(first, store.ConvertTexture(*a)) << "a full store still finds what it holds";
}

TEST(SoftwareTextureStore, MoreColoursThanEntriesShareThemEvenly) {
  // 256 colours two steps apart on a red-green grid, one texel each, for the 240 free entries.
  // An even median cut leaves 224 colours alone and averages 16 neighbouring pairs, so no colour
  // is further than one step (per channel) from its nearest entry.
  testing_support::TempFolder folder;
  auto grid = MakeTexture("grid", 16, 16, [](uint32_t x, uint32_t y) {
    return 0xFF000000u | (2 * x) << 19 | (2 * y) << 11 | 15u << 3;
  });
  CSoftwareTextureStore store;
  ASSERT_TRUE(store.CacheSoftwareTextures({grid.get()}, folder.Path().c_str()));
  const CSoftwarePalette& palette = store.GetPalette();
  EXPECT_EQ(256u, palette.GetCount());
  int exact = 0, worst = 0;
  for (int x = 0; x < 16; ++x)
    for (int y = 0; y < 16; ++y) {
      const uint16_t want = Pack(2 * x, 2 * y, 15);
      const uint16_t got = palette.GetColour(palette.Nearest(want));
      exact += got == want;
      for (int shift : {10, 5, 0}) worst = std::max(worst, std::abs((got >> shift & 31) - (want >> shift & 31)));
    }
  EXPECT_EQ(224, exact);
  EXPECT_LE(worst, 1);
}

TEST(SoftwareTextureStore, CacheFileRoundTripAndHostileFiles) {
  testing_support::TempFolder folder;
  std::vector<std::unique_ptr<CTexture>> textures;
  textures.push_back(MakeTexture("sky", 16, 8, [](uint32_t x, uint32_t y) {
    return 0xFF000000u | (x * 16) << 16 | (y * 32) << 8 | 0x80;
  }));
  textures.push_back(MakeTexture("fence", 8, 8, [](uint32_t x, uint32_t y) {
    return ((x + y) & 1) ? 0xFF20C040u : 0x00000000u;
  }));
  textures.push_back(MakeTexture(
      "grass", 32, 32, [](uint32_t x, uint32_t y) { return 0xFF003000u | (x ^ y) << 11; }, CTexture::kMipMapped));
  std::vector<CTexture*> list = {textures[0].get(), textures[1].get(), textures[2].get()};

  CSoftwareTextureStore writer;
  ASSERT_TRUE(writer.CacheSoftwareTextures(list, folder.Path().c_str()));
  // The first 16 colours are the fixed ones; the chosen ones follow.
  EXPECT_EQ(0x7FFF, writer.GetPalette().GetColour(1));
  EXPECT_EQ(0x1C00, writer.GetPalette().GetColour(15));
  EXPECT_EQ(writer.GetPalette().GetCount(), 154u);
  ASSERT_EQ(3u, writer.GetCount());
  EXPECT_TRUE(writer.Find("fence")->IsKeyed());

  // Details 0 to 2 give three files; a detail above 2 reads number 2, whose grass is 8 x 8.
  EXPECT_EQ(folder.Path() + "texture2.bin", CSoftwareTextureStore::CacheFileName(folder.Path().c_str(), 5));
  CSoftwareTextureStore reader;
  ASSERT_TRUE(reader.LoadCached(folder.Path().c_str(), 5));
  ASSERT_EQ(3u, reader.GetCount());
  EXPECT_EQ(8u, reader.Find("grass")->GetWidth());
  ASSERT_TRUE(reader.LoadCached(folder.Path().c_str(), 0));
  EXPECT_TRUE(reader.GetPalette() == writer.GetPalette());  // its light and nearest-colour tables rebuilt too
  // Every texture read back, in order, with its name, hash, key flag, sides and texels: all are written.
  const std::vector<uint8_t> file = writer.EncodeCache();
  EXPECT_EQ(file, reader.EncodeCache());
  EXPECT_EQ(file, testing_support::ReadAll(folder.Path() + "texture0.bin"));

  // Every cut-short file is refused and leaves the store as it was, except the cut right after
  // the last record: that is a well-formed file without names.
  const size_t recordsEnd = file.size() - 4 - (2 + 3) - (2 + 5) - (2 + 5);
  testing_support::DebugCapture log;
  CSoftwareTextureStore victim;
  for (size_t cut = 0; cut < file.size(); cut += (cut < 49700 || cut > file.size() - 64) ? 1 : 61) {
    if (cut > 64 && cut < 49600) cut = 49600;
    if (cut != recordsEnd) ASSERT_FALSE(victim.ReadCache(file.data(), cut)) << cut;
  }
  ASSERT_TRUE(victim.ReadCache(file.data(), recordsEnd));
  EXPECT_EQ("", victim.GetTexture(0)->GetName());
  EXPECT_EQ(victim.GetTexture(2), victim.Find("grass")) << "without names the hash decides";
  // Written back, the unknown names stay unknown and the file reads again.
  const std::vector<uint8_t> nameless = victim.EncodeCache();
  EXPECT_EQ(nameless.size(), recordsEnd + 4 + 3 * 2);
  ASSERT_TRUE(victim.ReadCache(nameless.data(), nameless.size()));
  EXPECT_EQ(victim.GetTexture(2), victim.Find("grass"));
  EXPECT_EQ(nameless, victim.EncodeCache());
  victim.Clear();
  EXPECT_EQ(0u, victim.GetCount());
  EXPECT_NE(std::string::npos, log.Text().find("cut short"));
  // Hostile counts and sizes.
  auto patched = [&](size_t at, uint32_t value) {
    std::vector<uint8_t> copy = file;
    for (int i = 0; i < 4; ++i) copy[at + i] = static_cast<uint8_t>(value >> (8 * i));
    return victim.ReadCache(copy.data(), copy.size());
  };
  const size_t record0 = CSoftwareTextureStore::kHeaderBytes;
  EXPECT_FALSE(patched(4, 513)) << "texture count";
  EXPECT_FALSE(patched(4, 2)) << "records left over";
  EXPECT_FALSE(patched(8 + 512, 0)) << "no colours";
  EXPECT_FALSE(patched(8 + 512, 257)) << "too many colours";
  EXPECT_FALSE(patched(record0, 2)) << "keyed flag";
  EXPECT_FALSE(patched(record0 + 12, 12)) << "width not a power of two";
  EXPECT_FALSE(patched(record0 + 20, 3)) << "width mask";
  EXPECT_FALSE(patched(record0 + 4, 12345)) << "hash of another name";
  EXPECT_TRUE(patched(0, 77)) << "the version word is not read";
  EXPECT_EQ(3u, victim.GetCount());

  // A missing file falls back to the default palette and says where it looked.
  CSoftwareTextureStore missing;
  uint16_t red = Pack(31, 0, 0);
  missing.GetPalette().SetColours(&red, 1);
  EXPECT_FALSE(missing.LoadCached((folder.Path() + "nowhere/").c_str(), 1));
  EXPECT_TRUE(missing.GetPalette() == CSoftwarePalette());
  EXPECT_NE(std::string::npos, log.Text().find("nowhere/texture1.bin"));

  // A level's preload through the back end reads the file of its detail from the world's level
  // folder, once; a texture the file lacks is converted at that detail against its palette.
  CGameWorld world(nullptr, nullptr);
  world.SetLevelDirectory(folder.Path());
  CSoftwareTextureStore level;
  CSoftwareRasterizer back(&level);
  ASSERT_TRUE(back.LoadTexture(textures[2].get(), 1));
  EXPECT_EQ(folder.Path() + "texture1.bin", back.GetCacheFile());
  EXPECT_TRUE(level.GetPalette() == writer.GetPalette());
  ASSERT_EQ(3u, level.GetCount());
  EXPECT_EQ(level.Find("grass"), textures[2]->deviceTexture);
  EXPECT_EQ(16u, level.Find("grass")->GetWidth()) << "the file's copy at half detail";
  auto extra = MakeTexture(
      "extra", 16, 16, [](uint32_t x, uint32_t y) { return 0xFF000000u | (x * 16) << 8 | y * 16; }, CTexture::kMipMapped);
  std::remove((folder.Path() + "texture1.bin").c_str());
  ASSERT_TRUE(back.LoadTexture(extra.get(), 1));
  EXPECT_TRUE(level.GetPalette() == writer.GetPalette()) << "the file is read once a level";
  ASSERT_EQ(4u, level.GetCount());
  const CSoftwareTexture* converted = level.Find("extra");
  EXPECT_EQ(8u, converted->GetWidth());
  // Level 1 texel (7, 0) averages green 224 and 240, blue 0 and 16: 232 and 8.
  EXPECT_EQ(writer.GetPalette().Nearest(29 << 5 | 1), converted->GetIndex(7, 0));
  // The developer command leaves full-detail copies behind; the next preload reads its file again.
  ASSERT_TRUE(back.CacheSoftwareTextures(list, folder.Path().c_str()));
  ASSERT_TRUE(back.LoadTexture(textures[2].get(), 1));
  EXPECT_EQ(16u, level.Find("grass")->GetWidth());
  // A level without files falls back to the default palette and drops the copies made against
  // the file's, pointers included, so the next texture is converted afresh.
  world.SetLevelDirectory(folder.Path() + "nowhere/");
  ASSERT_TRUE(back.LoadTexture(extra.get(), 0));
  EXPECT_EQ(nullptr, textures[2]->deviceTexture);
  EXPECT_TRUE(level.GetPalette() == CSoftwarePalette());
  ASSERT_EQ(1u, level.GetCount());
  EXPECT_EQ(16u, level.Find("extra")->GetWidth());
}
