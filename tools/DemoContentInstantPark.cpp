#include "tools/DemoContentInstantPark.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>

#include "core/data/DebugPrintf.h"
#include "core/data/ResourceTable.h"
#include "park/grid/Grid.h"
#include "park/pieces/ObjectCatalog.h"
#include "park/pieces/PieceFootprint.h"
#include "park/pieces/PiecePlacement.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/saved/ControllerSaveFields.h"
#include "park/saved/SavedGame.h"
#include "park/world/VerezIvor.h"
#include "ui/screens/LevelLoader.h"
#include "ui/screens/NewGame.h"

namespace DemoContent {
namespace {

constexpr int kFacilityType = 13;          // catalog types from here on are facilities
constexpr float kMaxHeightStep = 0.005f;  // as the controller allows across one footprint

const ObjectDefinition* FindItem(const char* name) {
  const CObjectCatalog& catalog = GetObjectCatalog();
  for (int i = 0; i < CObjectCatalog::kTableSize; ++i) {
    const ObjectDefinition* definition = catalog.GetDefinition(i);
    if (definition != nullptr && std::strcmp(definition->name, name) == 0) return definition;
  }
  return nullptr;
}

// The controller's rule for putting a piece down: every footprint square on the grid, free,
// buildable and level with the first.
bool Fits(const CGrid& grid, const ObjectDefinition& definition, const COrientation& frame) {
  const CGridSquare* first = nullptr;
  for (const FootprintCell& cell : MapFootprintCells(&definition, frame, grid)) {
    const CGridSquare* square = grid.GetSquare(cell.column, cell.row);
    if (square == nullptr || square->IsBlocked() || square->buildable == 0) return false;
    if (first == nullptr) first = square;
    if (std::fabs(square->centre.z - first->centre.z) > kMaxHeightStep) return false;
  }
  return first != nullptr;
}

bool JoinsGrid(const CSkatePathNode& node) {
  const CSkatePathNode* n = &node;
  do {
    if (dynamic_cast<const CGridSquare*>(n) != nullptr) return true;
    n = n->GetRingNext();
  } while (n != &node);
  return false;
}

bool PlaceOne(CVerezIvor& park, const InstantPiece& piece) {
  const ObjectDefinition* definition = FindItem(piece.item);
  CGrid* grid = park.GetGrid();
  const CGridSquare* corner = grid != nullptr ? grid->GetSquare(piece.column, piece.row) : nullptr;
  if (definition == nullptr || corner == nullptr) {
    DebugPrintf("DemoContent: the instant park's %s has no catalog item or square\n", piece.item);
    return false;
  }
  COrientation frame;
  frame.SetPosition(grid->GetOrigin() + Vector3(static_cast<float>(piece.column) * grid->GetSquareWidth(),
                                                static_cast<float>(piece.row) * grid->GetSquareDepth(), 0.0f));
  frame.position.z = corner->centre.z;
  if (!Fits(*grid, *definition, frame)) {
    DebugPrintf("DemoContent: the instant park's %s does not fit at %d, %d\n", piece.item, piece.column, piece.row);
    return false;
  }
  std::unique_ptr<CSkatableSection> made = definition->type >= kFacilityType ? std::make_unique<CSkatableFacility>()
                                                                             : std::make_unique<CSkatableSection>();
  CSkatableSection* section = made.get();
  if (!section->InitFromMesh(frame, definition->mesh, false)) return false;
  std::unique_ptr<CGameObject> object = std::move(made);
  const uint32_t id = park.RegisterNewObject(std::move(object));
  if (id == 0) return false;
  section->SetDefinition(definition, true);
  if (!PlacePieceInPark(park, id)) return false;
  for (const auto& node : section->GetPathNodes()) {
    if (!node->external || (JoinsGrid(*node) && grid->IsRingConnected(*node))) continue;
    DebugPrintf("DemoContent: an entry of the instant park's %s joins no reachable square\n", piece.item);
    return false;
  }
  return true;
}

}  // namespace

std::vector<InstantPiece> InstantParkLayout() {
  // Rows of pieces, then the stands, in the open ground between the entrance and the raised
  // blocks, with lanes of at least two squares between them so that every entry opens onto
  // walkable ground.
  // clang-format off
  return {
      {"Decking", 18, 6},       {"Launch ramp", 22, 6},  {"Quarter pipe", 26, 6},   {"Funbox", 30, 6},
      {"Tall launch ramp", 34, 6},
      {"Rail", 18, 12},         {"Bench", 22, 12},       {"Stairs", 26, 12},        {"Corner decking", 30, 12},
      {"Quarter pipe", 34, 12},
      {"Funbox", 18, 20},       {"Rail", 22, 20},
      {"Snack stand", 26, 20},  {"Drinks stand", 30, 20}, {"Restroom", 34, 20},
      {"First aid", 26, 28},    {"Skate shop", 30, 28},  {"T-shirt stand", 34, 28},
      {"Mound", 38, 20},
  };
  // clang-format on
}

Vector3 InstantParkFocus(const CGrid& grid) {
  // The layout spans columns 18 to 36 and rows 6 to 30; the look point moves 5 squares along each
  // axis so that the view's left part, under the palette, shows open ground.
  const Vector3 middle(27.0f + 5.0f, 18.0f - 5.0f, 0.0f);
  return grid.GetOrigin() + Vector3(middle.x * grid.GetSquareWidth(), middle.y * grid.GetSquareDepth(), 0.0f);
}

bool PlaceInstantPark(CVerezIvor& park) {
  for (const InstantPiece& piece : InstantParkLayout())
    if (!PlaceOne(park, piece)) return false;
  return true;
}

bool WriteInstantActionPark(const std::string& dataFolder) {
  namespace fs = std::filesystem;
  fs::path data = fs::path(dataFolder).lexically_normal();
  if (data.filename().empty()) data = data.parent_path();
  if (data.filename() != "data") {
    DebugPrintf("DemoContent: the instant park is built from a folder named data, not %s\n", dataFolder.c_str());
    return false;
  }
  const std::string root = data.parent_path().string();
  CResourceTable table;
  bool ok = false;
  {
    CVerezIvor park(nullptr, nullptr);
    park.SetResourceTable(&table);
    CLevelLoader loader(root);
    ResetParkRecord(&park, 0, kStartingMoneyEasy, "Instant Action");
    ok = loader.LoadLevel(park, 0) && loader.SetUpGrid(park) && loader.LoadCatalogs(park) && PlaceInstantPark(park);
    if (ok) {
      // The gates open with the game: the first skater comes one arrival interval in, not at once.
      park.GetParkState().timeSinceLastArrival = 0.0;
      // The controller looks at the pieces, down the way it looks in a fresh game.
      ControllerSaveFields fields;
      fields.focus = InstantParkFocus(*park.GetGrid());
      fields.viewDirection = Vector3(-1.0f, -1.0f, -2.0f);
      fields.viewDirection.Normalize();
      const std::string path = loader.GetLevelFolder(0) + kInstantActionFile;
      ok = CSavedGame::SaveToFile(park, fields, path.c_str());
    }
    FreeObjectCatalog();
    park.ClearGrid();
    park.ClearWorld();
  }
  if (!ok) DebugPrintf("DemoContent: the instant-action park could not be written\n");
  return ok;
}

}  // namespace DemoContent
