// The hardware texture cache over the memory surfaces of the DirectDraw layer and the recording
// device: pool sizes, format choice, residency, promotion, downgrades, ageing and uploads; every handle looked
// up is bound on the device, whose record of slots and pixels, then the cache's reports, are golden/<test>.txt.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "platform/graphics/DirectDraw.h"
#include "platform/graphics/RecordingDevice.h"
#include "render/hardware/FixedTextureCache.h"
#include "render/image/Texture.h"
#include "tests/support/Golden.h"

namespace {

const std::vector<float> kStandardWeights = {16, 16, 16, 20, 32, 20, 16, 16};
const std::vector<uint32_t> kProceduralCounts = {2, 2, 2, 2, 2, 2, 2, 2, 2};

class TextureCacheTest : public testing::Test {
 protected:
  void SetUp() override { ResetDisplayMachine(); }
  void TearDown() override {
    const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
    if (device && !(device->Log().empty() && log.Text().empty()))
      testing_support::ExpectGolden(device->Transcript() + log.Text(), "render/hardware/golden/" + test + ".txt");
    cache.reset();
    device.reset();
    directDraw.reset();
    owned.clear();
    ResetDisplayMachine();
  }

  // A cache over a new DirectDraw object; a cache opened before is closed first.
  void Open(uint64_t videoMemory, std::vector<float> weights, std::vector<uint32_t> procedural, uint32_t lower,
            uint32_t upper, bool safeMode = false) {
    cache.reset();
    directDraw.reset();
    GetDisplayMachine().videoMemory = videoMemory;
    ASSERT_EQ(DirectDrawCreate(nullptr, &directDraw), DD_OK);
    const ScriptedD3DDevice scripted = DefaultHardwareDevice();
    device = std::make_unique<CRecordingDevice>(nullptr, scripted.hardware, scripted.emulation, scripted.textureFormats);
    cache = std::make_unique<CFixedTextureCache>();
    cache->Create(directDraw.get(), device.get(), true, lower, upper, std::move(weights), std::move(procedural),
                  safeMode);
  }
  // Pools of one slot (or `perLevel`) for each of the levels 0 to 4 (edges 1 to 16).
  void OpenSmall(uint32_t perLevel) {
    Open(16u << 20, std::vector<float>(5, static_cast<float>(perLevel)), {0, 0, 0, 0, 2}, 0, 5 * perLevel);
  }

  // An opaque 8-8-8-8 texture with its mip chain; texel (x, y) of level 0 is a colour made of x and y.
  // The fixture keeps every texture until the cache is gone, as the program's textures outlive it.
  std::shared_ptr<CTexture> MakeTexture(uint32_t w, uint32_t h, bool mips = true) {
    std::vector<uint32_t> texels(static_cast<size_t>(w) * h);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) texels[y * w + x] = (x * 16u) << 16 | (y * 16u) << 8 | ((x + y) * 8u);
    auto t = std::make_shared<CTexture>();
    owned.push_back(t);
    EXPECT_TRUE(t->CreateFromPixels(texels.data(), 4, w, h, 0xFF0000, 0xFF00, 0xFF, 0, mips ? 0x10 : 0, "t"));
    t->flags &= ~CTexture::kNoDevice;
    return t;
  }

  IDirectDrawSurface4* Handle(CTexture* t) {
    IDirectDrawSurface4* handle = cache->GetTextureHandle(t);
    device->SetTexture(0, handle);
    return handle;
  }

  CCachedTexture* Cached(const CTexture& t) const { return dynamic_cast<CCachedTexture*>(t.deviceTexture); }

  // Every slot and its texture point at each other, no texture sits in two slots, and each
  // standard level is ordered by ascending weight.
  void CheckConsistent() const {
    size_t placed = 0;
    for (const TexturePool* pool : {&cache->StandardPool(), &cache->ProceduralPool()})
      for (size_t level = 0; level < pool->size(); ++level)
        for (size_t i = 0; i < (*pool)[level].size(); ++i) {
          const CCachedTexture* t = (*pool)[level][i].texture;
          if (!t) continue;
          ++placed;
          ASSERT_EQ(t->Level(), static_cast<int32_t>(level));
          ASSERT_EQ(t->Slot(), static_cast<int32_t>(i));
          ASSERT_EQ(t->IsSingleImage(), pool == &cache->ProceduralPool());
        }
    size_t resident = 0;
    for (const auto& t : cache->Textures()) {
      if (t->Level() >= 0) ++resident;
      ASSERT_EQ(t->Owner()->deviceTexture, t.get());
    }
    ASSERT_EQ(placed, resident);
    for (const auto& level : cache->StandardPool())
      for (size_t i = 1; i < level.size(); ++i) ASSERT_LE(cache->SlotWeight(level[i - 1]), cache->SlotWeight(level[i]));
  }

  testing_support::DebugCapture log;
  std::vector<std::shared_ptr<CTexture>> owned;
  std::unique_ptr<IDirectDraw4> directDraw;
  std::unique_ptr<CRecordingDevice> device;
  std::unique_ptr<CFixedTextureCache> cache;
};

TEST_F(TextureCacheTest, PoolsAreSizedFromVideoMemoryAndWeights) {
  // Each build's pool sizes are in its report in the golden record. 16 MB less the two procedural
  // slots of each edge (2 x 2 bytes x the texels of edges 1 to 256): the first factor gives 2403
  // slots, above the upper limit, so it is scaled down to 21, 21, 21, 26, 42, 26, 21, 21.
  Open(16u << 20, kStandardWeights, kProceduralCounts, 120, 200);
  EXPECT_FALSE(cache->PoolsBuilt());
  cache->BuildPools();
  EXPECT_EQ(cache->StandardPool()[7][0].surface->Format().dwGBitMask, 0x7E0u);  // 5-6-5 on a 16-bit desktop
  EXPECT_EQ(cache->StandardPool()[7][0].scale, 1.0f / 128);
  // 1 MB: eight levels give fewer slots than the lower limit of 120 (the reports). A level load then:
  // seven levels and more leave fewer than its lower limit, six give exactly that limit, 925
  // (0, 85, 149, 159, 266, 266).
  Open(1u << 20, kStandardWeights, kProceduralCounts, 120, 200);
  cache->BuildPools();
  cache->SetLevelCounts(925, 1500, {0, 80, 140, 150, 250, 250, 150, 80, 40}, std::vector<uint32_t>(9, 0));
  EXPECT_FALSE(cache->PoolsBuilt());
  cache->BuildPools();
  // Fewer than five weights: four empty standard levels.
  cache->SetLevelCounts(0, 100, {4, 4, 4, 4}, {});
  cache->BuildPools();
}

TEST_F(TextureCacheTest, CreateSurfaceFailureStopsOnlyItsLevel) {
  OpenSmall(2);
  // The two procedural surfaces come first, then the standard ones from the largest level down:
  // 16, 16, 8, 8, 4, ... The reports in the golden record give the pools left: 2, 2, 2, 0, 2 after
  // the fifth creation fails, 2, 2, 2, 1, 2 after the sixth, none at all without video memory.
  GetDisplayMachine().faults.failCreateSurfaceAt = 5;
  cache->BuildPools();
  GetDisplayMachine().faults.failCreateSurfaceAt = 6;
  cache->BuildPools();
  GetDisplayMachine().faults.outOfVideoMemory = true;
  cache->BuildPools();
  auto t = MakeTexture(16, 16);
  EXPECT_EQ(Handle(t.get()), nullptr);
  GetDisplayMachine().faults.outOfVideoMemory = false;
  cache->ReleaseSurfaces();
  cache->BeginFrame(1);
  EXPECT_NE(Handle(t.get()), nullptr);  // retried on its next use
}

TEST_F(TextureCacheTest, FormatsAreScoredAgainstTheTextureLayout) {
  const DDPIXELFORMAT opaque = PixelFormatX888();
  const DDPIXELFORMAT alpha = PixelFormat8888();
  EXPECT_EQ(CFixedTextureCache::ScoreFormat(PixelFormat565(), opaque), 100 + 5 + 6 + 5 + 20);
  EXPECT_EQ(CFixedTextureCache::ScoreFormat(PixelFormat1555(), opaque), 100 + 5 + 5 + 5);
  EXPECT_EQ(CFixedTextureCache::ScoreFormat(PixelFormat1555(), alpha), 100 + 15 + 50 + 4 * 1);
  EXPECT_EQ(CFixedTextureCache::ScoreFormat(PixelFormat4444(), alpha), 100 + 12 + 50 + 4 * 4);
  EXPECT_EQ(CFixedTextureCache::ScoreFormat(PixelFormat8888(), alpha), 100 + 30 + 60);
  EXPECT_EQ(CFixedTextureCache::ScoreFormat(PixelFormatZ16(), opaque), 0);
  // A 16-bit desktop keeps the 32-bit format out.
  Open(16u << 20, kStandardWeights, kProceduralCounts, 120, 200);
  ASSERT_EQ(cache->Formats().size(), 3u);
  EXPECT_EQ(cache->ChooseFormat(opaque)->dwGBitMask, 0x7E0u);
  EXPECT_EQ(cache->ChooseFormat(alpha)->dwRGBAlphaBitMask, 0xF000u);
  GetDisplayMachine().desktopBits = 32;
  Open(16u << 20, kStandardWeights, kProceduralCounts, 120, 200);
  EXPECT_EQ(cache->ChooseFormat(alpha)->dwRGBBitCount, 32u);
  Open(16u << 20, kStandardWeights, kProceduralCounts, 120, 200, true);  // safe mode: 4-4-4-4 only
  ASSERT_EQ(cache->Formats().size(), 1u);
  EXPECT_EQ(cache->Formats()[0].dwRGBAlphaBitMask, 0xF000u);
  // ... and an opaque texture's pixels come out opaque in it.
  auto t = MakeTexture(8, 8);
  cache->BeginFrame(1);
  IDirectDrawSurface4* handle = Handle(t.get());
  ASSERT_NE(handle, nullptr);
  Color c;
  Cached(*t)->GetTexelColour(c, 3.5f / 8, 2.5f / 8);
  EXPECT_EQ(c, Color::FromRGBA((3 * 16) & 0xF0, (2 * 16) & 0xF0, (5 * 8) & 0xF0, 0xF0));  // 4 bits, shifted up
  directDraw->LoseAllSurfaces();
  Cached(*t)->GetTexelColour(c, 0.5f, 0.5f);
  EXPECT_EQ(c, Color::FromWord(0xFFFFFFFFu)) << "a surface that will not lock reads as opaque white";
}

TEST_F(TextureCacheTest, SameTextureTwiceDoesNoWork) {
  OpenSmall(2);
  auto t = MakeTexture(16, 16);
  cache->BeginFrame(1);
  IDirectDrawSurface4* first = Handle(t.get());
  ASSERT_NE(first, nullptr);
  const int calls = GetDisplayMachine().faults.createSurfaceCalls;
  const int uploads = cache->FrameUploads();
  EXPECT_EQ(uploads, 1);
  // Even with the slot gone, the remembered handle comes back without a look.
  Cached(*t)->UpdateMaxScale(1.0f);
  EXPECT_EQ(Handle(t.get()), first);
  EXPECT_EQ(GetDisplayMachine().faults.createSurfaceCalls, calls);
  EXPECT_EQ(cache->FrameUploads(), uploads);
  EXPECT_EQ(Handle(nullptr), nullptr);
  t->flags |= CTexture::kNoDevice;
  auto other = MakeTexture(4, 4);
  other->flags |= CTexture::kNoDevice;
  EXPECT_EQ(Handle(other.get()), nullptr);
  EXPECT_EQ(other->deviceTexture, nullptr);
}

TEST_F(TextureCacheTest, WantedResolutionIsClampedToOneAndTheNativeSize) {
  OpenSmall(2);
  auto small = MakeTexture(16, 16);
  auto large = MakeTexture(8, 8);
  cache->BeginFrame(1);
  cache->RegisterMipmapped(small.get());
  cache->RegisterMipmapped(large.get());
  Cached(*small)->UpdateMaxScale(0.25f);
  Cached(*large)->UpdateMaxScale(100.0f);
  // They are bound from the slots of those edges, 1 x 1 and 8 x 8 in the golden record.
  ASSERT_NE(Handle(small.get()), nullptr);
  ASSERT_NE(Handle(large.get()), nullptr);
  EXPECT_EQ(Cached(*small)->WantedResolution(), 1.0f);
  EXPECT_EQ(Cached(*large)->WantedResolution(), 8.0f);
}

TEST_F(TextureCacheTest, AtMostOnePromotionPerFrame) {
  OpenSmall(2);
  auto a = MakeTexture(16, 16);
  auto b = MakeTexture(16, 16);
  for (CTexture* t : {a.get(), b.get()}) {
    cache->RegisterMipmapped(t);
    Cached(*t)->UpdateMaxScale(2.0f);
  }
  cache->BeginFrame(1);
  Handle(a.get());
  Handle(b.get());
  // Both now want 16 texels: each frame one of them climbs one level, the first looked up first.
  // The golden record binds them from 2 x 2 slots, then a from 4, 8 and 16 while b stays at 2,
  // then b from 4, 8 and 16.
  Cached(*a)->UpdateMaxScale(16.0f);
  Cached(*b)->UpdateMaxScale(16.0f);
  for (int frame = 2; frame <= 8; ++frame) {
    cache->BeginFrame(frame);
    Handle(a.get());
    Handle(b.get());
    EXPECT_LE(cache->PromotionsThisFrame(), 1);
    CheckConsistent();
  }
}

TEST_F(TextureCacheTest, FullLevelsCascadeDowngradesToTheBottom) {
  OpenSmall(1);
  std::vector<std::shared_ptr<CTexture>> textures;
  cache->BeginFrame(1);
  for (float scale : {16.0f, 8.0f, 4.0f, 2.0f, 1.0f}) {
    textures.push_back(MakeTexture(16, 16));
    cache->RegisterMipmapped(textures.back().get());
    Cached(*textures.back())->UpdateMaxScale(scale);
    ASSERT_NE(Handle(textures.back().get()), nullptr);
  }
  // Every slot, 16 texels down to 1 in the golden record, holds a texture drawn this frame with
  // weight 1; the newcomer wanting 16 texels beats the 8-texel slot's holder (weight 1 against 2)
  // and is bound from that slot, its holder takes the 4-texel slot, and so on until the 1-texel
  // texture has nowhere to go.
  auto newcomer = MakeTexture(16, 16);
  ASSERT_NE(Handle(newcomer.get()), nullptr);
  const int32_t moved[5] = {4, 2, 1, 0, -1};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Cached(*textures[i])->Level(), moved[i]) << i;
  CheckConsistent();
}

TEST_F(TextureCacheTest, AgedTexturesLoseTheirSlotsFirst) {
  OpenSmall(2);
  auto old = MakeTexture(16, 16);
  auto fresh = MakeTexture(16, 16);
  cache->BeginFrame(1);
  Handle(old.get());
  cache->BeginFrame(8);
  Handle(fresh.get());  // both in 16-texel slots; the newcomer below is bound from old's
  cache->BeginFrame(9);  // old: last drawn before the cut-off of 5, weight 0, sorted first
  EXPECT_EQ(Cached(*old)->Slot(), 0);
  EXPECT_EQ(cache->SlotWeight(cache->StandardPool()[4][0]), 0.0f);
  EXPECT_EQ(cache->SlotWeight(cache->StandardPool()[4][1]), 1.0f);
  auto newcomer = MakeTexture(16, 16);
  ASSERT_NE(Handle(newcomer.get()), nullptr);
  EXPECT_EQ(Cached(*old)->Level(), -1);  // not moved down: it was not drawn lately
  EXPECT_EQ(Cached(*fresh)->Level(), 4);
  EXPECT_EQ(cache->StandardPool()[3][0].texture, nullptr);
  CheckConsistent();
}

TEST_F(TextureCacheTest, NonSquareAndShortChainsUploadTheMatchingImages) {
  OpenSmall(2);
  auto wide = MakeTexture(16, 4);  // levels 16x4, 8x2, 4x1
  cache->BeginFrame(1);
  CCachedTexture* cached = cache->RegisterMipmapped(wide.get());
  ASSERT_EQ(cached->ImageCount(), 3u);
  ASSERT_EQ(cached->NativeSize(), 16u);
  IDirectDrawSurface4* slot = Handle(wide.get());
  ASSERT_NE(slot, nullptr);
  ASSERT_EQ(cached->Level(), 4);
  // Each mip level of the slot holds the texture level of its edge stretched square, in 5-6-5.
  uint32_t edge = 16;
  for (IDirectDrawSurface4* mip = slot; mip; mip = mip->NextMipLevel(), edge /= 2) {
    ASSERT_EQ(mip->Width(), edge);
    const uint32_t level = edge == 16 ? 0 : edge == 8 ? 1 : 2;
    const uint32_t lw = wide->GetLevelWidth(level), lh = wide->GetLevelHeight(level);
    ASSERT_EQ(lw, edge);
    for (uint32_t y = 0; y < edge; ++y)
      for (uint32_t x = 0; x < edge; ++x) {
        uint32_t texel;
        std::memcpy(&texel, wide->GetLevel(level) + ((y * lh / edge) * lw + x) * 4, 4);
        const uint32_t r = texel >> 16 & 0xFF, g = texel >> 8 & 0xFF, b = texel & 0xFF;
        const auto expected = static_cast<uint16_t>((r & 0xF8) << 8 | (g & 0xFC) << 3 | b >> 3);
        uint16_t pixel;
        std::memcpy(&pixel, mip->Pixels() + y * mip->Pitch() + x * 2, 2);
        ASSERT_EQ(pixel, expected) << edge << ": " << x << "," << y;
      }
  }
  EXPECT_EQ(edge, 2u);  // 16, 8 and 4: no mip level below 4 by 4
}

TEST_F(TextureCacheTest, ProceduralTexturesTakeTheOldestSlotOfTheirEdge) {
  OpenSmall(1);
  std::vector<std::shared_ptr<CTexture>> targets;
  for (int i = 0; i < 3; ++i) {
    targets.push_back(MakeTexture(16, 16, false));
    targets.back()->ReleasePixels();
    ASSERT_NE(cache->Register(targets.back().get()), nullptr);
  }
  for (int frame = 1; frame <= 3; ++frame) {
    cache->BeginFrame(frame);
    ASSERT_NE(Handle(targets[frame - 1].get()), nullptr);
  }
  // Two procedural slots of edge 16: the third target took the first one's (surface 1 again in
  // the golden record).
  EXPECT_EQ(Cached(*targets[0])->Level(), -1);
  CCachedTexture* removed = Cached(*targets[1]);
  EXPECT_NE(cache->FindSlotRecord(removed), nullptr);
  cache->RemoveTexture(removed);
  EXPECT_EQ(targets[1]->deviceTexture, nullptr);
  EXPECT_EQ(targets[1]->dataPresent, 0);
  EXPECT_EQ(cache->Textures().size(), 2u);
  CheckConsistent();
  auto huge = MakeTexture(64, 64, false);
  huge->ReleasePixels();
  cache->Register(huge.get());
  EXPECT_EQ(Handle(huge.get()), nullptr);  // no procedural level of edge 64
}

TEST_F(TextureCacheTest, LongRandomRunKeepsSlotsAndTexturesPaired) {
  Open(16u << 20, {2, 2, 3, 3, 4, 3, 2}, {1, 1, 1, 1, 1, 1, 1}, 0, 19);
  std::mt19937 random(25);
  std::vector<std::shared_ptr<CTexture>> textures;
  const uint32_t sides[] = {1, 2, 4, 8, 16, 32, 64, 128};
  for (int i = 0; i < 40; ++i) {
    const uint32_t w = sides[random() % 8], h = sides[random() % 8];
    textures.push_back(MakeTexture(w, h, random() % 5 != 0));
  }
  int frame = 0;
  for (int step = 0; step < 4000; ++step) {
    const unsigned action = random() % 100;
    CTexture* t = textures[random() % textures.size()].get();
    if (action < 3) {
      cache->BeginFrame(++frame);
    } else if (action < 5) {
      if (auto* cached = Cached(*t)) cache->RemoveTexture(cached);
    } else if (action == 5) {
      cache->ReleaseSurfaces();
    } else {
      if (auto* cached = Cached(*t)) cached->UpdateMaxScale(static_cast<float>(random() % 200) * 0.5f);
      IDirectDrawSurface4* handle = Handle(t);
      if (handle) {
        CCachedTexture* cached = Cached(*t);
        ASSERT_NE(cached, nullptr);
        ASSERT_EQ(cache->FindSlotRecord(cached)->surface.get(), handle);
      }
    }
    CheckConsistent();
    if (HasFatalFailure()) return;
  }
  cache->ReleaseAll();
  EXPECT_TRUE(cache->Textures().empty());
  for (const auto& t : textures) EXPECT_EQ(t->deviceTexture, nullptr);
}

}  // namespace
