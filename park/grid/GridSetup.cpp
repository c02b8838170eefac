// Setting the grid up from the level's terrain: where it lies, what each square allows, and the
// per-level cache that spares the ray casting on every start.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/spatial/BoundedObject.h"
#include "core/data/DebugPrintf.h"
#include "core/data/FileBuffer.h"
#include "core/data/LittleEndian.h"
#include "core/spatial/Octree.h"
#include "core/math/RayInfo.h"
#include "core/data/Tokenizer.h"
#include "park/grid/Grid.h"
#include "park/world/VerezIvor.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FileWrite.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

namespace {
constexpr size_t kKeySize = 16;
constexpr size_t kRegionBoxSize = 24;
constexpr float kSampleOffset = 0.1f;   // the flatness samples around a corner
constexpr float kFlatStep = 0.2f;       // the largest height step between samples of a flat corner
constexpr float kLevelStep = 0.01f;     // heights this close count as one level for a move
constexpr float kGateClearance = 3.0f;  // nothing is built this close to an entrance or exit

// The first count tokens of an attach point's text, delimiters counted as tokens of their own
// (so that "a = b, c" has the tokens a, =, b, comma and c).
std::vector<std::string> Tokens(const std::string& text, size_t count) {
  CTokenizer tokenizer(text.c_str(), ",=", "//", 256);
  std::vector<std::string> tokens;
  while (tokens.size() < count) {
    const char* token = tokenizer.NextToken();
    if (*token == '\0') break;
    tokens.emplace_back(token);
  }
  return tokens;
}

// The data bytes from offset up to their first NUL: attach-point texts need not be terminated.
std::string DataText(const AttachPoint& point, size_t offset) {
  if (point.GetLength() <= offset) return std::string();
  const char* text = reinterpret_cast<const char*>(point.GetData()) + offset;
  const size_t length = point.GetLength() - offset;
  return std::string(text, strnlen(text, length));
}

// Height of the nearest terrain under (x, y) along a vertical segment through the whole range.
bool TerrainHeight(COctree& octree, const Box& range, float x, float y, float& z) {
  RayInfo ray(Vector3(x, y, range.max.z), Vector3(x, y, range.min.z));
  CBoundedObject* hit = nullptr;
  if (!octree.RayQuery(ray, &hit, CBoundedObject::kStaticTerrain, true, 1.0f)) return false;
  z = range.max.z + (range.min.z - range.max.z) * ray.result.time;
  return true;
}

// Largest axis difference plus a quarter of the other two: a cheap distance that never
// undercuts the true one by more than a few per cent.
float DistanceEstimate(const Vector3& a, const Vector3& b) {
  const float d[3] = {std::fabs(a.x - b.x), std::fabs(a.y - b.y), std::fabs(a.z - b.z)};
  const float largest = std::fmax(d[0], std::fmax(d[1], d[2]));
  return largest + 0.25f * (d[0] + d[1] + d[2] - largest);
}

void ApplyRegionWord(const std::string& word, CGridSquare& s) {
  if (word == "no_use") {
    s.buildable = 0;
    s.skateable = 0;
  } else if (word == "no_skate") {
    s.skateable = 0;
    return;
  }
  if (word == "no_build") s.buildable = 0;
  if (word == "entrance") {
    s.entrance = 1;
    s.buildable = 0;
  }
  if (word == "exit") {
    s.exit = 1;
    s.buildable = 0;
  }
  if (word == "grass") s.grass = 1;
}

// The terrain's key, or false when it carries none (the cache is then never trusted).
bool CacheKey(const ShadedMesh& mesh, uint8_t key[kKeySize]) {
  const int index = mesh.FindAttachPoint(CGrid::kAttachCacheKey);
  if (index < 0) return false;
  const AttachPoint& point = mesh.attachPoints[static_cast<size_t>(index)];
  if (point.GetLength() < kKeySize) return false;
  std::memcpy(key, point.GetData(), kKeySize);
  return true;
}

// The cache body when the file holds one under this key; empty otherwise.
bool ReadCacheFile(CGrid& grid, const std::string& path, const uint8_t key[kKeySize]) {
  if (!plat::FileExists(path.c_str())) return false;
  uint32_t size = 0;
  char* data = LoadFileToBuffer(path.c_str(), &size);  // logs a file that cannot be opened
  if (data == nullptr) return false;
  const auto* bytes = reinterpret_cast<const uint8_t*>(data);
  const bool read = size >= kKeySize && std::memcmp(bytes, key, kKeySize) == 0 &&
                    grid.ReadCache(bytes + kKeySize, size - kKeySize);
  FreeFileBuffer(data);
  return read;
}

std::string CachePath(const std::string& folder) {
  if (folder.empty() || folder.back() == '/' || folder.back() == '\\') return folder + "grid_data.bin";
  return folder + "/grid_data.bin";
}

// The first attach point naming the grid origin, with the columns and rows it gives; false when
// the mesh has none.
bool FindGridOrigin(const ShadedMesh& mesh, size_t& index, int& columns, int& rows) {
  for (size_t i = 0; i < mesh.attachPoints.size(); ++i) {
    const AttachPoint& point = mesh.attachPoints[i];
    if (point.type != CGrid::kAttachGridOrigin) continue;
    const std::vector<std::string> tokens = Tokens(DataText(point, 0), 11);
    if (tokens.size() < 3 || tokens[2] != "gridorigin") continue;
    columns = tokens.size() > 6 ? std::atoi(tokens[6].c_str()) : 0;
    rows = tokens.size() > 10 ? std::atoi(tokens[10].c_str()) : 0;
    index = i;
    return true;
  }
  return false;
}
}  // namespace

std::unique_ptr<CGrid> CGrid::CreateFromTerrain(CMeshInstance& terrain) {
  const ShadedMesh* mesh = terrain.GetMesh();
  size_t index = 0;
  int columns = 0, rows = 0;
  if (mesh == nullptr || !FindGridOrigin(*mesh, index, columns, rows)) return nullptr;
  Vector3 origin;
  terrain.GetAttachPointPosition(static_cast<uint32_t>(index), origin);
  return std::make_unique<CGrid>(columns, rows, origin, 1.0f, 1.0f);  // sides clamped to 1..1024
}

int CGrid::SquareCountOf(const ShadedMesh& terrain) {
  size_t index = 0;
  int columns = 0, rows = 0;
  if (!FindGridOrigin(terrain, index, columns, rows)) return 0;
  return std::clamp(columns, 1, kMaxSide) * std::clamp(rows, 1, kMaxSide);
}

CGrid* CGrid::InitFromTerrain(CVerezIvor& park) {
  std::unique_ptr<CGrid> made;
  CMeshInstance* terrain = nullptr;
  for (CMeshInstance* instance : park.GetTerrainInstances()) {
    if (instance != nullptr && (made = CreateFromTerrain(*instance)) != nullptr) {
      terrain = instance;
      break;
    }
  }
  if (made == nullptr) {
    DebugPrintf("Fatal Error: No GRID ORIGIN found in mesh.\n");
    return nullptr;
  }
  CGrid* grid = made.get();
  park.SetGrid(std::move(made));
  const std::string path = CachePath(park.GetLevelDirectory());
  uint8_t key[kKeySize] = {};
  const bool keyed = CacheKey(*terrain->GetMesh(), key);
  if (!keyed || !ReadCacheFile(*grid, path, key)) {
    DebugPrintf("No valid grid_data file found -- re-calculating...\n");
    grid->ClassifySquares(park.GetOctree(), *terrain);
    // Without a key no file could ever be trusted, so none is written.
    if (keyed) {
      std::vector<uint8_t> file(key, key + kKeySize);
      grid->WriteCache(file);
      if (!plat::ReplaceFileContents(path.c_str(), file.data(), file.size()))
        DebugPrintf("CGrid: could not write %s\n", path.c_str());
    } else {
      DebugPrintf("CGrid: the terrain carries no grid cache key\n");
    }
  }
  DebugPrintf("Grid Initialized: %d by %d\n", grid->m_columns, grid->m_rows);
  grid->UpdateComponents();
  return grid;
}

void CGrid::ClassifySquares(COctree& octree, CMeshInstance& terrain) {
  const Box range = octree.GetRootBox();
  // Heights and flatness.
  for (int i = 0; i < GetSquareCount(); ++i) {
    CGridSquare& s = m_squares[static_cast<size_t>(i)];
    const Vector3 centre = GetSquareCentre(i);
    const Vector3 corner = GetSquareCorner(i);
    float h = 0.0f;
    if (!TerrainHeight(octree, range, centre.x, centre.y, h)) {
      // No ground under the centre: nobody builds or skates here.
      s.buildable = 0;
      s.skateable = 0;
      s.flat = 0;
      continue;
    }
    s.centre = Vector3(centre.x, centre.y, h);
    s.SetPosition(Vector3(corner.x, corner.y, h));
    static const float kSample[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    float z[4];
    bool flat = true;
    for (int k = 0; k < 4 && flat; ++k)
      flat = TerrainHeight(octree, range, corner.x + kSample[k][0] * kSampleOffset,
                           corner.y + kSample[k][1] * kSampleOffset, z[k]);
    for (int k = 0; k < 4 && flat; ++k) flat = std::fabs(z[k] - z[(k + 1) % 4]) < kFlatStep;
    s.flat = flat ? 1 : 0;
  }
  ApplyRegions(terrain);
  CollectGates();
  ClearAroundGates();
  RaiseCorners();
  for (int i = 0; i < GetSquareCount(); ++i) {
    CGridSquare& s = m_squares[static_cast<size_t>(i)];
    s.directionMask = 0;
    for (int d = 0; d < kDirections; ++d)
      if (IsMoveAllowed(s, d)) s.directionMask = static_cast<uint8_t>(s.directionMask | (1u << d));
  }
}

void CGrid::ApplyRegions(CMeshInstance& terrain) {
  const ShadedMesh* mesh = terrain.GetMesh();
  for (size_t i = 0; mesh != nullptr && i < mesh->attachPoints.size(); ++i) {
    const AttachPoint& point = mesh->attachPoints[i];
    if (point.type != kAttachRegion) continue;
    // A region too short for its box reads like one without "type": level files end their
    // region list that way.
    const std::vector<std::string> tokens = Tokens(DataText(point, kRegionBoxSize), 5);
    if (point.GetLength() < kRegionBoxSize || tokens.size() < 3 || tokens[2] != "type") return;
    const std::string word = tokens.size() > 4 ? tokens[4] : std::string();
    float b[6];
    for (int k = 0; k < 6; ++k) b[k] = le::ReadF32(point.GetData() + 4 * k);
    Vector3 at;
    terrain.GetAttachPointPosition(static_cast<uint32_t>(i), at);
    const Box box(Vector3(b[0], b[1], b[2]) + at, Vector3(b[3], b[4], b[5]) + at);
    for (int s = 0; s < GetSquareCount(); ++s) {
      CGridSquare& square = m_squares[static_cast<size_t>(s)];
      const Vector3 c = GetSquareCentre(s);
      if (c.x >= box.min.x && c.x <= box.max.x && c.y >= box.min.y && c.y <= box.max.y) ApplyRegionWord(word, square);
    }
  }
}

void CGrid::ClearAroundGates() {
  for (int i = 0; i < GetSquareCount(); ++i) {
    CGridSquare& s = m_squares[static_cast<size_t>(i)];
    for (const std::vector<CGridSquare*>* gates : {&m_entrances, &m_exits})
      for (const CGridSquare* gate : *gates) {
        if (s.buildable != 0 && DistanceEstimate(s.GetPosition(), gate->GetPosition()) <= kGateClearance)
          s.buildable = 0;
      }
  }
}

void CGrid::RaiseCorners() {
  // Reads only centre heights, so the order of the squares does not matter.
  for (int i = 0; i < GetSquareCount(); ++i) {
    CGridSquare& s = m_squares[static_cast<size_t>(i)];
    Vector3 p = s.GetPosition();
    for (const GridCell& o : {GridCell{-1, 0}, GridCell{0, -1}, GridCell{-1, -1}})
      if (const CGridSquare* n = GetSquare(s.GetColumn() + o.column, s.GetRow() + o.row)) p.z = std::fmax(p.z, n->centre.z);
    s.SetPosition(p);
  }
}

bool CGrid::IsMoveAllowed(const CGridSquare& s, int d) const {
  const int c = s.GetColumn(), r = s.GetRow();
  const CGridSquare* target = GetSquare(c + kNeighbour[d].column, r + kNeighbour[d].row);
  const CGridSquare* p[kClearanceCells];
  for (int k = 0; k < kClearanceCells; ++k) p[k] = GetSquare(c + kClearance[d][k].column, r + kClearance[d][k].row);
  if (target == nullptr) return false;
  for (const CGridSquare* cell : p)
    if (cell == nullptr) return false;
  if (d < 4) {
    if (p[1]->skateable == 0 || p[2]->skateable == 0) return false;
    if (p[3]->IsBlocked() != p[4]->IsBlocked() || p[5]->IsBlocked() != p[6]->IsBlocked()) return false;
    if (s.flat != 0 && target->flat != 0) return true;
    return std::fabs(p[1]->centre.z - p[2]->centre.z) < kLevelStep &&
           std::fabs(s.GetPosition().z - target->GetPosition().z) < kLevelStep;
  }
  for (const CGridSquare* cell : p)
    if (cell->skateable == 0) return false;
  const CGridSquare* beside[2] = {GetSquare(c + kNeighbour[d].column, r), GetSquare(c, r + kNeighbour[d].row)};
  return s.flat != 0 && target->flat != 0 && beside[0] != nullptr && beside[0]->flat != 0 && beside[1] != nullptr &&
         beside[1]->flat != 0;
}
