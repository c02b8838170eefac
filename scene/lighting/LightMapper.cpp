// LightMapper: reading "lights.bin", matching its records to faces, and the page files.
#include "scene/lighting/LightMapper.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/data/DebugPrintf.h"
#include "platform/files/FileWrite.h"
#include "scene/lighting/LightMapData.h"
#include "scene/lighting/LightMapFaceIndex.h"
#include "scene/lighting/LightMapPageFile.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

template <typename T>
T ReadAt(const uint8_t* data, size_t offset) {
  T value;
  std::memcpy(&value, data + offset, sizeof(T));
  return value;
}

bool CornersEqual(const ShadedMesh& mesh, uint32_t face, const float corners[9]) {
  for (uint32_t k = 0; k < 3; ++k) {
    const uint32_t v = mesh.indices[3 * face + k];
    if (v >= mesh.vertexCount) return false;
    const Vector3& p = mesh.positions[v];
    if (p.x != corners[3 * k] || p.y != corners[3 * k + 1] || p.z != corners[3 * k + 2]) return false;
  }
  return true;
}

bool UsableMesh(const CMeshInstance* instance) {
  const ShadedMesh* mesh = instance != nullptr ? instance->GetMesh() : nullptr;
  return mesh != nullptr && mesh->faceCount > 0 && mesh->positions != nullptr && mesh->indices != nullptr;
}

}  // namespace

std::string LightMapper::PagePath(const std::string& folder, uint32_t index) {
  std::string base = folder;
  if (base.size() > 1 && (base.back() == '/' || base.back() == '\\')) base.pop_back();
  char name[32];
  std::snprintf(name, sizeof(name), "/LtMap_%2.2u.lit", index);
  return base + name;
}

std::string LightMapper::FolderOf(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

CMeshInstance::FaceColours* LightMapper::FindFace(CMeshInstance* instance, const float corners[9], uint32_t hint) {
  return MatchFace(instance, corners, hint, nullptr);
}

CMeshInstance::FaceColours* LightMapper::MatchFace(CMeshInstance* instance, const float corners[9], uint32_t hint,
                                                   LightMapFaceIndex* index) {
  if (!UsableMesh(instance)) return nullptr;
  const ShadedMesh& mesh = *instance->GetMesh();
  CMeshInstance::FaceColours* faces = instance->GetFaceColours();
  if (faces == nullptr) return nullptr;
  const uint32_t first = hint < mesh.faceCount ? hint : mesh.faceCount - 1;
  if (faces[first].lightRecord == nullptr && CornersEqual(mesh, first, corners)) return &faces[first];
  if (index != nullptr) {
    LightMapFaceIndex::Key key;
    if (!LightMapFaceIndex::MakeKey(corners, key)) return nullptr;
    const int64_t f = index->FirstFree(key, [&](uint32_t face) { return faces[face].lightRecord != nullptr; });
    return f < 0 ? nullptr : &faces[f];
  }
  for (uint32_t f = 0; f < mesh.faceCount; ++f) {
    if (faces[f].lightRecord == nullptr && CornersEqual(mesh, f, corners)) return &faces[f];
  }
  return nullptr;
}

bool LightMapper::Load(CMeshInstance* instance, const uint8_t* data, size_t size, const std::string& folder,
                       bool loadPages) {
  if (instance != nullptr) instance->SetLightMapData(nullptr);
  if (data == nullptr || size < kHeaderSize) {
    DebugPrintf("LightMapper: %u bytes is too short for the header\n", static_cast<unsigned>(size));
    return false;
  }
  if (ReadAt<float>(data, 0) != kVersion) {
    DebugPrintf("*****************OLD VERSION OF LIGHTS.BIN***************\n");
    return false;
  }
  const uint32_t faceCount = ReadAt<uint32_t>(data, 4);
  const uint32_t pageCount = ReadAt<uint32_t>(data, 8);
  if (faceCount == 0) {
    DebugPrintf("LightMapper: the file holds no faces\n");
    return false;
  }
  // Every page holds at least one face's map, so more pages than faces means damage.
  if (pageCount > faceCount) {
    DebugPrintf("LightMapper: %u pages for %u faces\n", pageCount, faceCount);
    return false;
  }
  if (static_cast<uint64_t>(faceCount) * kRecordSize + kHeaderSize != size) {
    DebugPrintf("LightMapper: %u face records need %llu bytes, the file has %u\n", faceCount,
                static_cast<unsigned long long>(static_cast<uint64_t>(faceCount) * kRecordSize + kHeaderSize),
                static_cast<unsigned>(size));
    return false;
  }
  if (!UsableMesh(instance) || instance->GetFaceColours() == nullptr) {
    DebugPrintf("LightMapper: no mesh faces to take the light data\n");
    return false;
  }
  const ShadedMesh& mesh = *instance->GetMesh();

  std::unique_ptr<LightMapData> maps(new LightMapData());
  if (loadPages) {
    for (uint32_t i = 0; i < pageCount; ++i) {
      std::unique_ptr<LightMapPage> page(new LightMapPage());
      const std::string path = PagePath(folder, i);
      // A missing page costs only its faces' maps: they keep their baked corner colours.
      if (!LightMapPageFile::Read(path.c_str(), *page)) {
        DebugPrintf("LightMapper: light-map page %s not loaded; its faces go without a map\n", path.c_str());
        page.reset();
      }
      maps->pages.push_back(std::move(page));
    }
  }
  // No face takes two records, so the mesh's face count bounds the block as well.
  maps->capacity = faceCount < mesh.faceCount ? faceCount : mesh.faceCount;
  maps->records.reset(new FaceLightRecord[maps->capacity]);
  LightMapData* kept = maps.get();
  instance->SetLightMapData(std::move(maps));

  LightMapFaceIndex index(mesh);
  uint32_t dropped = 0;
  for (uint32_t i = 0; i < faceCount; ++i) {
    const uint8_t* in = data + kHeaderSize + static_cast<size_t>(i) * kRecordSize;
    float corners[9];
    std::memcpy(corners, in + 40, sizeof(corners));
    CMeshInstance::FaceColours* face = kept->handedOut < kept->capacity ? MatchFace(instance, corners, i, &index)
                                                                        : nullptr;
    if (face == nullptr) {
      ++dropped;
      continue;
    }
    FaceLightRecord& record = kept->records[kept->handedOut++];
    std::memcpy(record.uv, in, sizeof(record.uv));
    std::memcpy(record.colours, in + 24, sizeof(record.colours));
    const int32_t page = ReadAt<int32_t>(in, 36);
    // Coordinates that are not numbers, or so large that texel positions leave the int range,
    // address no texel: such a face draws without its map. Written maps lie within [0, 1].
    constexpr float kLargestUV = 1024.0f;
    bool usable = true;
    for (const auto& uv : record.uv) usable = usable && std::fabs(uv[0]) <= kLargestUV && std::fabs(uv[1]) <= kLargestUV;
    if (usable && page >= 0 && static_cast<uint32_t>(page) < kept->pages.size()) {
      record.page = kept->pages[page].get();
    }
    record.reserved = ReadAt<uint32_t>(in, 76);
    face->lightRecord = &record;
  }
  if (dropped > 0) DebugPrintf("LightMapper: %u of %u records match no free face\n", dropped, faceCount);
  return true;
}

bool LightMapper::FindFreeRect(const std::vector<LightMapPage::Rect>& rects, int width, int height, int pageWidth,
                               int pageHeight, LightMapPage::Rect& out) {
  if (width <= 0 || height <= 0 || width > pageWidth || height > pageHeight) return false;
  int x = 0;
  int y = 0;
  int nextRow = -1;  // unset
  for (;;) {
    bool moved = false;
    for (const LightMapPage::Rect& r : rects) {
      if (r.y2 >= y && (nextRow < 0 || r.y2 < nextRow)) nextRow = r.y2 + 1;
      const bool overlaps = r.x1 <= x + width - 1 && x <= r.x2 && r.y1 <= y + height - 1 && y <= r.y2;
      if (!overlaps) continue;
      if (r.x2 + 1 + width - 1 < pageWidth) {
        x = r.x2 + 1;
      } else {
        x = 0;
        y = nextRow;
        if (y + height - 1 >= pageHeight) return false;
        nextRow = -1;
      }
      moved = true;
      break;
    }
    if (!moved) break;
  }
  out = LightMapPage::Rect{x, y, x + width - 1, y + height - 1};
  return true;
}

bool LightMapper::AddToPage(LightMapPage& page, float uv[3][2], int width, int height, const uint32_t* pixels) {
  const int size = LightMapPage::kSize;
  if (page.pixels.size() != static_cast<size_t>(size) * size) return false;
  LightMapPage::Rect rect;
  if (!FindFreeRect(page.rects, width, height, size, size, rect)) return false;
  page.rects.push_back(rect);
  for (int row = 0; row < height; ++row) {
    std::memcpy(&page.pixels[static_cast<size_t>(rect.y1 + row) * size + rect.x1],
                pixels + static_cast<size_t>(row) * width, static_cast<size_t>(width) * 4);
  }
  for (int k = 0; k < 3; ++k) {
    uv[k][0] = (uv[k][0] + static_cast<float>(rect.x1)) / static_cast<float>(size);
    uv[k][1] = (uv[k][1] + static_cast<float>(rect.y1)) / static_cast<float>(size);
  }
  return true;
}

const LightMapPage* LightMapper::AddToPages(PageList& pages, float uv[3][2], int width, int height,
                                            const uint32_t* pixels) {
  for (const std::unique_ptr<LightMapPage>& page : pages) {
    if (page && AddToPage(*page, uv, width, height, pixels)) return page.get();
  }
  std::unique_ptr<LightMapPage> page(new LightMapPage());
  page->pixels.assign(static_cast<size_t>(LightMapPage::kSize) * LightMapPage::kSize, 0xFFFFFFFFu);
  page->ownsTexture = true;
  if (!AddToPage(*page, uv, width, height, pixels)) return nullptr;
  pages.push_back(std::move(page));
  return pages.back().get();
}

bool LightMapper::SavePages(PageList& pages, const std::string& folder) {
  bool ok = true;
  for (size_t i = 0; i < pages.size(); ++i) {
    if (!pages[i]) continue;
    const std::string path = PagePath(folder, static_cast<uint32_t>(i));
    const std::vector<uint8_t> file = LightMapPageFile::Encode(*pages[i]);
    if (file.empty()) {
      ok = false;  // logged by the encoder
    } else if (!plat::ReplaceFileContents(path.c_str(), file.data(), file.size())) {
      DebugPrintf("Error Creating File: '%s' - Check Path and File Attributes!\n", path.c_str());
      ok = false;
    }
  }
  pages.clear();
  return ok;
}
