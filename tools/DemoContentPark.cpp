#include "tools/DemoContentPark.h"

#include <cstdio>
#include <cstring>

#include "core/data/DebugPrintf.h"
#include "park/grid/Grid.h"
#include "park/pieces/PiecePlacement.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentBoarder.h"
#include "tools/DemoContentPieces.h"

namespace DemoContent {
namespace {

constexpr int kGridSide = 24;
// The gates stand one square in from two opposite corners, so that leaving skaters cross the park.
constexpr GridCell kEntrance{1, 1};
constexpr GridCell kExit{kGridSide - 2, kGridSide - 2};
constexpr size_t kOffsetFunbox = 10;  // the funbox half a square off, by its place in the layout
constexpr int kGroundRim = 4;         // ground beyond the grid on every side
constexpr int kFirstMeshId = 9000;    // mesh ids of the demo pieces, clear of the resource table's

DemoPark* g_park = nullptr;
CSkatableSection::Sources g_previousSources{};

ShadedMesh* ParkBoarder() { return g_park != nullptr ? g_park->boarder.get() : nullptr; }

ShadedMesh* ParkMesh(int meshId) {
  const int i = meshId - kFirstMeshId;
  if (g_park == nullptr || i < 0 || i >= static_cast<int>(g_park->meshes.size())) return nullptr;
  return g_park->meshes[static_cast<size_t>(i)].get();
}
const ObjectDefinition* ParkDefinition(int index) {
  if (g_park == nullptr || index < 0 || index >= static_cast<int>(g_park->definitions.size())) return nullptr;
  return g_park->definitions[static_cast<size_t>(index)].get();
}
ShadedMesh* NoTerrain() { return nullptr; }

// Where each piece goes: its mesh name, catalog type and size (as the demo catalogs give them),
// and the corner it stands on. The second kicker starts on the bench's far corner, so three
// nodes share a ring there; its other entry falls in the lane of one square left between it and
// the stairs, which the grid lets nobody walk, so it joins its square but connects nowhere.
struct Placement {
  const char* mesh;
  int type;
  int columns, rows;
  const char* footprint;  // rows of '1' and '0', first row first; null: all occupied
  float x, y;
  float useFee = 0.0f;  // what a facility charges a visit, as the demo catalogs set it
};

const Placement kLayout[] = {
    {"decking", 1, 2, 2, nullptr, 2.0f, 2.0f},
    {"kicker", 2, 1, 2, nullptr, 6.0f, 2.0f},
    {"quarterpipe", 0, 2, 2, nullptr, 10.0f, 2.0f},
    {"funbox", 8, 2, 2, nullptr, 2.0f, 8.0f},
    {"rail", 4, 1, 4, nullptr, 6.0f, 8.0f},
    {"bench", 5, 2, 1, nullptr, 10.0f, 8.0f},
    {"stairs", 9, 2, 3, nullptr, 14.0f, 8.0f},
    {"cornerdeck", 1, 2, 2, "1101", 2.0f, 14.0f},
    {"foodstand", 14, 2, 2, nullptr, 14.0f, 2.0f, 3.0f},
    {"kicker", 2, 1, 2, nullptr, 12.0f, 9.0f},
    {"funbox", 8, 2, 2, nullptr, 10.5f, 14.5f},
    {"drinkstand", 15, 2, 2, nullptr, 18.0f, 2.0f, 2.0f},
    {"restroom", 13, 2, 3, nullptr, 18.0f, 6.0f},
    {"firstaid", 18, 2, 2, nullptr, 18.0f, 11.0f},
    {"skateshop", 17, 2, 2, nullptr, 18.0f, 15.0f, 40.0f},
    {"shirtstand", 16, 2, 2, nullptr, 18.0f, 19.0f, 15.0f},
};

int MeshIndex(const std::vector<PieceSpec>& specs, const char* name) {
  for (size_t i = 0; i < specs.size(); ++i)
    if (specs[i].name == name) return static_cast<int>(i);
  return -1;
}

std::unique_ptr<ObjectDefinition> Definition(const Placement& p, int meshIndex, uint16_t number) {
  auto def = std::make_unique<ObjectDefinition>();
  def->catalogNumber = number;
  def->mesh = kFirstMeshId + meshIndex;
  def->type = p.type;
  def->footprintWidth = p.columns;
  def->footprintLength = p.rows;
  for (int r = 0; r < p.rows; ++r)
    for (int c = 0; c < p.columns; ++c)
      def->footprint[r][c] = p.footprint == nullptr || p.footprint[r * p.columns + c] == '1' ? 1 : 0;
  def->cost = 500.0;
  def->operatingCost = 5.0f;
  def->useFee = p.useFee;
  std::snprintf(def->name, sizeof def->name, "%s", p.mesh);
  return def;
}

bool PlaceOne(CVerezIvor& park, const Placement& p, const ObjectDefinition& def, uint32_t* id) {
  std::unique_ptr<CSkatableSection> made = p.type >= 13 ? std::make_unique<CSkatableFacility>()
                                                        : std::make_unique<CSkatableSection>();
  CSkatableSection* piece = made.get();
  COrientation frame;
  frame.SetPosition(Vector3(p.x, p.y, 0.0f));
  if (!piece->InitFromMesh(frame, def.mesh, false)) return false;
  piece->SetDefinition(&def, true);
  *id = park.RegisterNewObject(std::move(made));
  return *id != 0 && PlacePieceInPark(park, *id);
}

}  // namespace

bool BuildDemoPark(CVerezIvor& park, DemoPark& out) {
  if (g_park == nullptr) g_previousSources = CSkatableSection::GetSources();
  g_park = &out;
  CSkatableSection::SetSources({&ParkMesh, &ParkDefinition, &NoTerrain});
  out.boarder = BuildBoarder();
  CSkater::SetBodyMeshSource(&ParkBoarder);
  park.GetOctree().Reset(DemoParkWorldBox());
  // The ground: one collision plane under the whole grid and a rim round it, as the level's terrain
  // lies under its grid, so that a skater thrown past the grid's edge lands on something.
  out.ground = BuildGroundGrid((kGridSide + 2 * kGroundRim) / 2 + 1, 2.0f);
  if (!out.boarder || !out.ground) return false;
  COrientation centred;
  centred.SetPosition(Vector3(0.5f * kGridSide, 0.5f * kGridSide, 0.0f));
  if (park.AddTerrainMesh(out.ground.get(), &centred, false, false) == nullptr) return false;
  const std::vector<PieceSpec> specs = PieceSpecs();
  for (const PieceSpec& spec : specs) {
    out.meshes.push_back(BuildPiece(spec));
    if (!out.meshes.back()) return false;
  }
  auto grid = std::make_unique<CGrid>(kGridSide, kGridSide, Vector3(), 1.0f, 1.0f);
  for (int i = 0; i < grid->GetSquareCount(); ++i) grid->GetSquareByIndex(i)->directionMask = 0xFF;
  grid->GetSquare(kEntrance.column, kEntrance.row)->entrance = 1;
  grid->GetSquare(kExit.column, kExit.row)->exit = 1;
  grid->CollectGates();
  park.SetGrid(std::move(grid));
  park.GetGrid()->UpdateComponents();
  for (const Placement& p : kLayout) {
    const int mesh = MeshIndex(specs, p.mesh);
    if (mesh < 0) {
      DebugPrintf("DemoContent: the park names a piece %s that does not exist\n", p.mesh);
      return false;
    }
    out.definitions.push_back(Definition(p, mesh, static_cast<uint16_t>(out.definitions.size())));
    uint32_t id = 0;
    if (!PlaceOne(park, p, *out.definitions.back(), &id)) {
      DebugPrintf("DemoContent: the piece %s could not be placed\n", p.mesh);
      return false;
    }
    out.pieceIds.push_back(id);
  }
  out.offsetPieceId = out.pieceIds[kOffsetFunbox];
  return true;
}

Box DemoParkWorldBox() {
  const float side = static_cast<float>(kGridSide);
  return Box(Vector3(-16.0f, -16.0f, -16.0f), Vector3(side + 16.0f, side + 16.0f, 40.0f));
}

void ReleaseDemoPark() {
  if (g_park == nullptr) return;
  CSkatableSection::SetSources(g_previousSources);
  CSkater::SetBodyMeshSource(nullptr);
  g_park = nullptr;
}

}  // namespace DemoContent
