// LightMapper: bakes the light of a level's scenery into per-face corner colours and light-map
// images packed onto 256 x 256 pages, writes them to "lights.bin" and the page files, and reads
// them back onto the scenery instance.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/lighting/LightMapFaceRecord.h"
#include "scene/mesh/MeshInstance.h"

class CSceneDrawInterface;
class LightList;
class LightMapFaceIndex;

class LightMapper {
 public:
  static constexpr float kVersion = 3.0f;
  static constexpr size_t kHeaderSize = 12;
  static constexpr size_t kRecordSize = 80;
  static constexpr float kBorder = 0.5f;
  static constexpr int kSamples = 3;
  // Faces between progress reports (the report comes on every face numbered 127 mod 128).
  static constexpr uint32_t kProgressMask = 127;

  using PageList = std::vector<std::unique_ptr<LightMapPage>>;

  // "<folder>/LtMap_NN.lit"; a separator already ending the folder is not doubled.
  static std::string PagePath(const std::string& folder, uint32_t index);
  // The folder part of a path (up to its last '/' or '\'), "." when it has none.
  static std::string FolderOf(const std::string& path);

  // Reads a "lights.bin" image onto the instance's faces. Every count is checked against the
  // data before use; false (logged) leaves the instance without records.
  static bool Load(CMeshInstance* instance, const uint8_t* data, size_t size, const std::string& folder,
                   bool loadPages);
  // The free face whose corners equal the nine floats exactly, trying face min(hint, F - 1)
  // first and then the faces from 0; null when none. A plain scan of every face.
  static CMeshInstance::FaceColours* FindFace(CMeshInstance* instance, const float corners[9], uint32_t hint);

  // ---- page packing ----
  // First-fit placement, rows from the top; false when the map does not fit.
  static bool FindFreeRect(const std::vector<LightMapPage::Rect>& rects, int width, int height, int pageWidth,
                           int pageHeight, LightMapPage::Rect& out);
  // Places a width x height map of 0xAARRGGBB words; uv (in texels of the map) become page units.
  static bool AddToPage(LightMapPage& page, float uv[3][2], int width, int height, const uint32_t* pixels);
  static const LightMapPage* AddToPages(PageList& pages, float uv[3][2], int width, int height,
                                        const uint32_t* pixels);
  // Writes page i to PagePath(folder, i), then releases every page; false when any failed.
  static bool SavePages(PageList& pages, const std::string& folder);

  // ---- generation ----
  // The face's map, packed onto the instance's pages; record's coordinates are set. Null (the
  // reason logged) for faces that cannot carry a map.
  static const LightMapPage* GenerateFaceMap(CMeshInstance* instance, LightList& lights, uint32_t face,
                                             float texelSize, float border, int samples, FaceLightRecord& record);
  // Gives every face a record: lit corner colours, and a map for faces that non-ambient light reaches.
  static bool ComputeFaces(CMeshInstance* instance, LightList& lights, float texelSize);
  // The "lights.bin" image of the instance's current records and pages.
  static std::vector<uint8_t> BuildFile(CMeshInstance* instance);
  // Computes every record, writes "lights.bin" and the page files beside it, then drops the
  // records and pages (the level reads them back through Load).
  static bool GenerateAll(CMeshInstance* instance, LightList& lights, const char* path, float texelSize);
  static bool GenerateAll(CMeshInstance* instance, CSceneDrawInterface* view, const char* path, float texelSize);

 private:
  static CMeshInstance::FaceColours* MatchFace(CMeshInstance* instance, const float corners[9], uint32_t hint,
                                               LightMapFaceIndex* index);
  static void ReportProgress(uint32_t face, uint32_t count);
};
