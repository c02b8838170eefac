// CSoftwareRasterizer: frame set-up, the triangle queues, drawing at the end of a scene, lines,
// clearing and presenting.
#include "render/software/SoftwareRasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/math/ViewFrustum.h"
#include "platform/system/Platform.h"
#include "render/display/DisplaySizes.h"
#include "render/image/BitmapImage.h"
#include "render/image/Texture.h"
#include "render/software/SoftwarePalette.h"
#include "render/software/SoftwareTexture.h"
#include "render/software/SoftwareTextureStore.h"

namespace {

constexpr uint32_t kSeeThrough = CTexture::kTranslucent | CTexture::kTranslucentAdd;
constexpr float kBadCoordinate = 10000.0f;

float Intensity(uint32_t colour) {
  return static_cast<float>(((colour & 0xFF) + ((colour >> 8) & 0xFF) + ((colour >> 16) & 0xFF)) / 3);
}

struct ModeEntry {
  SpanFiller filler;
  uint8_t attributes;
};

// The filler of each drawing mode (keyed 2, textured 8, shaded 16, clamped 32).
ModeEntry FillerFor(uint8_t mode) {
  const bool keyed = mode & CSoftwareRasterizer::kModeKeyed;
  const uint8_t shadedAttributes = CTriangleFiller::kTexture | CTriangleFiller::kIntensity;
  if (mode & CSoftwareRasterizer::kModeClamped)
    return {keyed ? SpanFillers::KeyedClampedShaded : SpanFillers::ClampedShaded, shadedAttributes};
  if (mode & CSoftwareRasterizer::kModeShaded)
    return {keyed ? SpanFillers::KeyedShaded : SpanFillers::Shaded, shadedAttributes};
  if (mode & CSoftwareRasterizer::kModeTextured)
    return {keyed ? SpanFillers::KeyedTextured : SpanFillers::Textured, CTriangleFiller::kTexture};
  return {SpanFillers::Solid, 0};
}

}  // namespace

CSoftwareRasterizer::CSoftwareRasterizer(CSoftwareTextureStore* store)
    : CRasterizerInterface(kRasterizerSoftware), m_store(store ? store : &CSoftwareTextureStore::Instance()) {}

// Textures may be gone before the back end; their copies stay valid in the store.
CSoftwareRasterizer::~CSoftwareRasterizer() = default;

uint16_t CSoftwareRasterizer::To555(uint32_t colour) {
  const uint32_t r = (colour >> 16) & 0xFF;
  const uint32_t g = (colour >> 8) & 0xFF;
  const uint32_t b = colour & 0xFF;
  return static_cast<uint16_t>(((r & 0xF8) << 7) | ((g & 0xF8) << 2) | (b >> 3));
}

bool CSoftwareRasterizer::Init(HWND window, const DisplayMode& mode) {
  m_window = window;
  uint32_t width = mode.width;
  uint32_t height = mode.height;
  if (!mode.fullScreen) {
    // The frame matches the client area exactly: a frame one pixel wider and taller than the
    // window would be shown scaled or cut.
    RECT client = {0, 0, 0, 0};
    if (window && GetClientRect(window, &client)) {
      width = client.right > client.left ? static_cast<uint32_t>(client.right - client.left) : 0;
      height = client.bottom > client.top ? static_cast<uint32_t>(client.bottom - client.top) : 0;
    }
  } else if (window && !plat::ShowFullScreen(window, true)) {
    OutputDebugStringA("CSoftwareRasterizer: Cannot show the window full screen; drawing into it as it is\n");
  }
  if (!SetupBuffers(width, height)) {
    OutputDebugStringA("CSoftwareRasterizer: Cannot set up a frame without pixels!\n");
    return false;
  }
  return true;
}

bool CSoftwareRasterizer::SetupBuffers(uint32_t width, uint32_t height) {
  if (width == 0 || height == 0 || width > kMaxSoftwareFrameSide || height > kMaxSoftwareFrameSide) return false;
  m_frame = CreateDibImage(static_cast<int>(width), static_cast<int>(height), 15);
  if (m_frame.IsNull()) return false;
  m_desc = DescribePacked555(m_frame->pixels, width, height);
  m_desc.pitch = m_frame->pitch;
  m_screenArea = static_cast<int64_t>(width) * height;
  m_spans.Allocate(static_cast<int>(height), static_cast<size_t>(m_screenArea / 3));
  m_filler.SetTarget(reinterpret_cast<uint16_t*>(m_frame->pixels), m_frame->pitch, static_cast<int>(width),
                     static_cast<int>(height));
  return true;
}

uint16_t* CSoftwareRasterizer::Row(int y) const {
  return reinterpret_cast<uint16_t*>(m_frame->pixels + static_cast<ptrdiff_t>(m_frame->pitch) * y);
}

PixelBufferDesc* CSoftwareRasterizer::GetBackBufferDesc() { return &m_desc; }

// The frame lives in memory, so no lock is needed; before Init there is nothing to lock.
PixelBufferDesc* CSoftwareRasterizer::LockBackBuffer() { return m_desc.pixels ? &m_desc : nullptr; }

PixelBufferDesc* CSoftwareRasterizer::LockFrontBuffer() { return nullptr; }

void CSoftwareRasterizer::UnlockFrontBuffer() {}

// There is no per-pixel depth: the description points at the span buffer's row heads.
PixelBufferDesc* CSoftwareRasterizer::LockZBuffer() {
  if (!m_desc.pixels) return nullptr;
  m_depthDesc = PixelBufferDesc();
  m_depthDesc.pixels = m_spans.GetHeads();
  m_depthDesc.height = static_cast<uint32_t>(m_spans.GetRows());
  return &m_depthDesc;
}

long CSoftwareRasterizer::GetBackBufferDC(HDC* dc) {
  if (dc) *dc = nullptr;
  if (!dc || m_frame.IsNull()) return -1;
  m_frame->GetDC(dc);
  return *dc ? 0 : -1;
}

long CSoftwareRasterizer::ReleaseBackBufferDC(HDC dc) {
  if (m_frame.IsNull()) return -1;
  m_frame->ReleaseDC();
  return 0;
}

// The window's own DC: what is drawn into it shows once it is released, without a new frame.
long CSoftwareRasterizer::GetFrontBufferDC(HDC* dc) {
  if (dc) *dc = nullptr;
  if (!dc || !m_window) return -1;
  *dc = ::GetDC(m_window);
  return *dc ? 0 : -1;
}

long CSoftwareRasterizer::ReleaseFrontBufferDC(HDC dc) {
  return m_window && dc && ::ReleaseDC(m_window, dc) ? 0 : -1;
}

void CSoftwareRasterizer::SaveScreenShot(const char* path) {
  if (!m_frame.IsNull() && path) m_frame->Save(path);
}

bool CSoftwareRasterizer::BeginScene(ViewFrustum* camera, uint32_t unused) {
  m_orthographic = camera && camera->IsOrthographic();
  m_perspective = true;
  m_culling = true;
  m_zWrite = true;
  m_depthMode = ZBufferMode::kZBuffer;
  m_normal.clear();
  m_large.clear();
  m_translucent.clear();
  return true;
}

void CSoftwareRasterizer::DrawTriangles(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices,
                                        uint32_t triangleCount, CTexture* texture, CTexture* lightMap,
                                        float drawFactor) {
  m_stats.submitted += triangleCount;
  if (!vertices || !indices || !m_desc.pixels) return;
  const float width = static_cast<float>(m_desc.width), height = static_cast<float>(m_desc.height);
  for (uint32_t t = 0; t < triangleCount; ++t) {
    const uint16_t* tri = indices + 3 * static_cast<size_t>(t);
    if (tri[0] >= vertexCount || tri[1] >= vertexCount || tri[2] >= vertexCount) continue;
    const ScreenVertex* v[3] = {&vertices[tri[0]], &vertices[tri[1]], &vertices[tri[2]]};
    if ((v[0]->x < 0 && v[1]->x < 0 && v[2]->x < 0) || (v[0]->x >= width && v[1]->x >= width && v[2]->x >= width) ||
        (v[0]->y < 0 && v[1]->y < 0 && v[2]->y < 0) || (v[0]->y >= height && v[1]->y >= height && v[2]->y >= height))
      continue;
    Queue(v, texture);
  }
}

void CSoftwareRasterizer::Queue(const ScreenVertex* v[3], CTexture* texture) {
  // Bounding box of the vertices rounded to whole pixels; a guard keeps absurd sizes finite.
  auto pixel = [](float c) { return static_cast<int64_t>(std::lround(std::clamp(c - 0.5f, -1e6f, 1e6f))); };
  const int64_t x0 = std::min({pixel(v[0]->x), pixel(v[1]->x), pixel(v[2]->x)});
  const int64_t x1 = std::max({pixel(v[0]->x), pixel(v[1]->x), pixel(v[2]->x)});
  const int64_t y0 = std::min({pixel(v[0]->y), pixel(v[1]->y), pixel(v[2]->y)});
  const int64_t y1 = std::max({pixel(v[0]->y), pixel(v[1]->y), pixel(v[2]->y)});
  const int64_t area = (x1 - x0) * (y1 - y0);
  const bool seeThrough = texture && (texture->flags & kSeeThrough);
  // A flat colour with alpha below full (the placement squares) is laid over what lies behind it,
  // so it comes after everything else and hides nothing.
  const bool blended = !texture && (v[0]->diffuse >> 24) < 0xFF;
  std::vector<QueuedTriangle>* queue;
  if ((seeThrough || blended) && m_translucent.size() < kMaxTranslucent)
    queue = &m_translucent;
  else if (m_zWrite && m_large.size() < kMaxLarge && area * 64 > m_screenArea) queue = &m_large;
  else if (m_normal.size() < kMaxNormal) queue = &m_normal;
  else {
    ++m_stats.dropped;
    return;
  }
  QueuedTriangle q;
  for (int i = 0; i < 3; ++i) {
    // An orthographic camera gives every point the same 1/w, which would leave the span buffer
    // nothing to tell surfaces apart by: whatever came first would hide all that follows, the
    // see-through pass included. Its z runs linearly over the screen instead, nearest at 0.
    const float depth = m_orthographic ? 1.0f - v[i]->z : v[i]->rhw;
    q.v[i] = FillVertex{v[i]->x, v[i]->y, v[i]->rhw, v[i]->u, v[i]->v, Intensity(v[i]->diffuse), depth};
  }
  q.colour = v[0]->diffuse;
  q.texture = texture;
  q.culling = m_culling;
  q.zWrite = m_zWrite;
  q.depthMode = m_depthMode;
  q.area = static_cast<int32_t>(std::min<int64_t>(area, INT32_MAX));
  if (!texture || area < kTinyArea) {
    q.mode = 0;
    ++m_stats.tiny;
  } else {
    q.mode = m_clamp ? kModeTextured | kModeClamped : kModeTextured;
    const int i0 = static_cast<int>(q.v[0].intensity), i1 = static_cast<int>(q.v[1].intensity);
    const int i2 = static_cast<int>(q.v[2].intensity);
    if ((i0 ^ i1) >= 8 || (i2 ^ i1) >= 8) q.mode |= kModeShaded;
    if (seeThrough) q.mode |= kModeKeyed | kModeTextured;
  }
  q.fog = 0;
  if (m_fogEnabled) {
    // The top byte of the specular word is how much of the surface shows (255: no fog).
    const int hidden = 3 * 255 - static_cast<int>((v[0]->specular >> 24) + (v[1]->specular >> 24) + (v[2]->specular >> 24));
    q.fog = static_cast<uint8_t>((hidden * (kFogLevels - 1) + 3 * 127) / (3 * 255));
  }
  queue->push_back(q);
}

void CSoftwareRasterizer::EndScene() {
  // Nearest large triangles first, so the span buffer hides most of what follows.
  std::stable_sort(m_large.begin(), m_large.end(), [](const QueuedTriangle& a, const QueuedTriangle& b) {
    return std::max({a.v[0].depth, a.v[1].depth, a.v[2].depth}) > std::max({b.v[0].depth, b.v[1].depth, b.v[2].depth});
  });
  if (m_drawingEnabled && m_desc.pixels) {
    for (const QueuedTriangle& t : m_large) DrawQueued(t, t.zWrite);
    for (const QueuedTriangle& t : m_normal) DrawQueued(t, t.zWrite);
    // See-through triangles come last, in submission order (the render view sends them far to
    // near), tested against the spans but hiding nothing: cut-outs must not punch holes.
    for (const QueuedTriangle& t : m_translucent) DrawQueued(t, false);
  }
  m_stats.drawnNormal += static_cast<uint32_t>(m_normal.size());
  m_stats.drawnLarge += static_cast<uint32_t>(m_large.size());
  m_stats.translucent += static_cast<uint32_t>(m_translucent.size());
  m_stats.refusedSpans += static_cast<uint32_t>(m_filler.GetRefusedSpans());
  m_filler.ResetRefusedSpans();
  m_normal.clear();
  m_large.clear();
  m_translucent.clear();
}

CSoftwareTexture* CSoftwareRasterizer::ConvertedCopy(CTexture* texture, uint32_t level) {
  if (auto* copy = dynamic_cast<CSoftwareTexture*>(texture->deviceTexture)) return copy;
  CSoftwareTexture* copy = m_store->ConvertTexture(*texture, level);
  if (copy && std::find(m_registered.begin(), m_registered.end(), texture) == m_registered.end())
    m_registered.push_back(texture);
  return copy;
}

void CSoftwareRasterizer::DrawQueued(const QueuedTriangle& t, bool zWrite) {
  FillVertex v[3] = {t.v[0], t.v[1], t.v[2]};
  uint8_t mode = t.mode;
  CSoftwareTexture* copy = t.texture ? ConvertedCopy(t.texture) : nullptr;
  // A texture that cannot be converted (no pixels, no file) is drawn in its vertex colour.
  if (!copy) mode = 0;
  FillState& state = m_filler.GetState();
  const int level = std::clamp(static_cast<int>(v[0].intensity) / 8, 0, 31);
  state.lightTables = LightTablesFor(t.fog);
  state.lightTable = state.lightTables + level * CSoftwarePalette::kColours;
  const float width = copy ? static_cast<float>(copy->GetWidth()) : 0.0f;
  const float height = copy ? static_cast<float>(copy->GetHeight()) : 0.0f;
  if (mode == 0 && !copy) {
    state.flatColour = Fogged(To555(t.colour), m_fogColour, t.fog);
  } else if (mode == 0) {
    // A tiny textured triangle: one texel, from the middle of its texture coordinates.
    const float u = (v[0].u + v[1].u + v[2].u) * width / 3, vv = (v[0].v + v[1].v + v[2].v) * height / 3;
    const uint8_t index = copy->GetIndex(static_cast<uint32_t>(static_cast<int64_t>(std::floor(u))),
                                         static_cast<uint32_t>(static_cast<int64_t>(std::floor(vv))));
    if (copy->IsKeyed() && index == 0) return;
    state.flatColour = state.lightTable[index];
  } else {
    const SoftwareTextureLevel& l = copy->GetLevel();
    state.texture = SpanTexture{l.pixels.get(), l.widthMask, l.heightMask, l.widthShift};
    for (FillVertex& p : v) {
      if (!(std::abs(p.u) <= kBadCoordinate)) OutputDebugStringA("Bad Texture U.\n"), p.u = 0;
      if (!(std::abs(p.v) <= kBadCoordinate)) OutputDebugStringA("Bad Texture V.\n"), p.v = 0;
      p.u *= width * p.rhw;
      p.v *= height * p.rhw;
      p.intensity *= p.rhw * 0.125f;
    }
  }
  ModeEntry entry = FillerFor(mode);
  const uint32_t alpha = t.colour >> 24;
  if (mode == 0 && !copy && alpha < 0xFF) {
    if (alpha == 0) return;
    state.alpha = static_cast<uint8_t>(alpha);
    entry.filler = SpanFillers::BlendedSolid;
  }
  m_filler.SetFiller(entry.filler, entry.attributes);
  m_filler.SetSpanBuffer(t.depthMode == ZBufferMode::kOff ? nullptr : &m_spans, zWrite);
  m_filler.DrawTriangle(v[0], v[1], v[2], !t.culling);
}

void CSoftwareRasterizer::SetFogColour(uint32_t colour) {
  const uint16_t fog = To555(colour);
  if (fog != m_fogColour) m_fogPalette = nullptr;
  m_fogColour = fog;
}

uint16_t CSoftwareRasterizer::Fogged(uint16_t colour, uint16_t fog, int level) {
  if (level <= 0) return colour;
  uint16_t out = 0;
  for (int shift : {10, 5, 0}) {
    const int c = (colour >> shift) & 31, f = (fog >> shift) & 31;
    out |= static_cast<uint16_t>(((c * (kFogLevels - 1 - level) + f * level + (kFogLevels - 1) / 2) / (kFogLevels - 1))
                                 << shift);
  }
  return out;
}

const uint16_t* CSoftwareRasterizer::LightTablesFor(int fog) {
  const CSoftwarePalette& palette = m_store->GetPalette();
  if (fog <= 0) return palette.GetLightTables();
  constexpr size_t kLevelSize = static_cast<size_t>(CSoftwarePalette::kLevels) * CSoftwarePalette::kColours;
  // Rebuilt after a fog colour change or a new palette: a few hundred thousand blends, once.
  if (m_fogPalette != &palette || m_fogTables.empty()) {
    m_fogTables.resize((kFogLevels - 1) * kLevelSize);
    const uint16_t* lit = palette.GetLightTables();
    for (int f = 1; f < kFogLevels; ++f)
      for (size_t i = 0; i < kLevelSize; ++i) m_fogTables[(f - 1) * kLevelSize + i] = Fogged(lit[i], m_fogColour, f);
    m_fogPalette = &palette;
  }
  return m_fogTables.data() + (std::min(fog, kFogLevels - 1) - 1) * kLevelSize;
}

void CSoftwareRasterizer::DrawLines(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices,
                                    uint32_t lineCount) {
  if (!m_drawingEnabled || !vertices || !indices || !m_desc.pixels) return;
  for (uint32_t i = 0; i < lineCount; ++i) {
    const uint16_t a = indices[2 * static_cast<size_t>(i)], b = indices[2 * static_cast<size_t>(i) + 1];
    if (a >= vertexCount || b >= vertexCount) continue;
    const ScreenVertex& p = vertices[a];
    const ScreenVertex& q = vertices[b];
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(q.x) || !std::isfinite(q.y)) continue;
    auto whole = [](float c) { return static_cast<int>(std::clamp(c, -1e8f, 1e8f)); };  // truncation
    DrawLine(whole(p.x), whole(p.y), whole(q.x), whole(q.y), To555(p.diffuse));
  }
}

void CSoftwareRasterizer::DrawLine(int x0, int y0, int x1, int y1, uint16_t colour) {
  const int w = static_cast<int>(m_desc.width), h = static_cast<int>(m_desc.height);
  if ((x0 < 0 && x1 < 0) || (x0 >= w && x1 >= w) || (y0 < 0 && y1 < 0) || (y0 >= h && y1 >= h)) return;
  const int64_t dx = int64_t{x1} - x0, dy = int64_t{y1} - y0;
  const int64_t steps = std::max(std::abs(dx), std::abs(dy));
  if (steps == 0) return;
  const bool xMajor = std::abs(dx) >= std::abs(dy);
  // Pixel i of the line: the major coordinate moves one a step; the minor one in 16.16 from
  // half a pixel. The far end itself is not drawn, so joined lines share no pixel.
  const int64_t minorStep = ((xMajor ? dy : dx) * 65536) / steps;
  auto at = [&](int64_t i, int* x, int* y) {
    const int64_t major = (xMajor ? x0 : y0) + i * (xMajor ? (dx > 0 ? 1 : -1) : (dy > 0 ? 1 : -1));
    const int64_t minor = (xMajor ? y0 : x0) + ((i * minorStep + 0x7FFF) >> 16);
    *x = static_cast<int>(xMajor ? major : minor);
    *y = static_cast<int>(xMajor ? minor : major);
  };
  // Only the steps that can land in the frame are walked.
  double lo = 0, hi = static_cast<double>(steps);
  auto limit = [&](double start, double delta, double low, double high) {
    if (delta == 0) return;
    double t0 = (low - 1 - start) / delta, t1 = (high + 1 - start) / delta;
    if (t0 > t1) std::swap(t0, t1);
    lo = std::max(lo, std::floor(t0)), hi = std::min(hi, std::ceil(t1));
  };
  limit(x0, static_cast<double>(dx) / steps, 0, w - 1);
  limit(y0, static_cast<double>(dy) / steps, 0, h - 1);
  for (int64_t i = static_cast<int64_t>(lo); i < static_cast<int64_t>(hi); ++i) {
    int x, y;
    at(i, &x, &y);
    if (x >= 0 && x < w && y >= 0 && y < h) Row(y)[x] = colour;
  }
}

void CSoftwareRasterizer::Clear(bool depth, bool target, uint32_t colour) {
  if (depth) m_spans.Empty();
  if (!target || !m_desc.pixels) return;
  const uint16_t pixel = To555(colour);
  for (uint32_t y = 0; y < m_desc.height; ++y) std::fill(Row(static_cast<int>(y)), Row(static_cast<int>(y)) + m_desc.width, pixel);
}

std::string CSoftwareRasterizer::GetStatisticsLine(uint32_t framesPerSecond) const {
  char line[128];
  std::snprintf(line, sizeof(line), "%u Polys, %u Drawn, %u tiny, %u fps", m_stats.submitted,
                m_stats.drawnNormal + m_stats.drawnLarge + m_stats.translucent, m_stats.tiny, framesPerSecond);
  return line;
}

void CSoftwareRasterizer::PresentFrame() {
  if (!m_desc.pixels) return;
  if (m_statisticsShown) {
    const DWORD now = timeGetTime();
    const uint32_t fps = 1000 / std::max<DWORD>(1, now - m_lastPresent);
    m_lastPresent = now;
    const uint32_t drawn = m_stats.drawnNormal + m_stats.drawnLarge + m_stats.translucent;
    // Green while the frame stays within what the back end is meant to carry.
    const uint16_t colour = drawn < 1201 ? 0x03E0 : 0x7C00;
    plat::DrawTextLine(m_frame->pixels, static_cast<int>(m_desc.width), static_cast<int>(m_desc.height), m_desc.pitch, 0,
                       0, GetStatisticsLine(fps).c_str(), colour);
  }
  if (m_window)
    plat::PresentPixels(m_window, m_frame->pixels, static_cast<int>(m_desc.width), static_cast<int>(m_desc.height),
                        m_desc.pitch, 15);
  m_spans.Empty();
  m_presented = m_stats;
  m_stats = Statistics();
}

void CSoftwareRasterizer::ReleaseAllTextures() {
  for (CTexture* t : m_registered) t->deviceTexture = nullptr;
  m_registered.clear();
}

bool CSoftwareRasterizer::LoadTexture(CTexture* texture, uint32_t detail) {
  if (!texture) return false;
  // The cache files sit in the level's folder, beside the files the developer command wrote.
  const CGameWorld* world = GetGameWorld();
  const std::string prefix = world ? world->GetLevelDirectory() : std::string();
  const int fileDetail = static_cast<int>(std::min<uint32_t>(detail, 2));
  if (CSoftwareTextureStore::CacheFileName(prefix.c_str(), fileDetail) != m_cacheFile)
    LoadTextureCache(prefix.c_str(), fileDetail);
  return ConvertedCopy(texture, detail) != nullptr;
}

bool CSoftwareRasterizer::LoadTextureCache(const char* prefix, int detail) {
  ReleaseAllTextures();
  m_fogPalette = nullptr;  // the fog tables follow the palette
  m_cacheFile = CSoftwareTextureStore::CacheFileName(prefix, detail);
  return m_store->LoadCached(prefix, detail);
}

bool CSoftwareRasterizer::CacheSoftwareTextures(const std::vector<CTexture*>& textures, const char* prefix) {
  ReleaseAllTextures();
  m_fogPalette = nullptr;
  m_cacheFile.clear();  // the store holds the new full-detail copies; the next level reads its file
  return m_store->CacheSoftwareTextures(textures, prefix);
}
