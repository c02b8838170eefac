// The level's terrain joining the park as a section, so that skaters reach the skate spots the
// level's own ground carries.
#include <memory>
#include <string>

#include "core/data/DebugPrintf.h"
#include "core/data/ResourceTable.h"
#include "park/grid/Grid.h"
#include "park/pieces/SkatableSection.h"
#include "park/world/VerezIvor.h"
#include "scene/mesh/MeshInstance.h"

namespace {
// The resource index of the level's terrain mesh; -1 when the table has none.
int TerrainMeshId(const CVerezIvor& park) {
  const CResourceTable* table = park.GetResourceTable();
  if (table == nullptr) return -1;
  const std::string name = park.GetLevelDirectory() + "terrain.mesh";
  return table->FindByName(name.c_str());
}

// The scenery instance that shows the mesh; with no mesh given, the first one that shows any.
CMeshInstance* TerrainInstance(const CVerezIvor& park, const ShadedMesh* mesh) {
  for (CMeshInstance* instance : park.GetTerrainInstances())
    if (instance != nullptr && instance->GetMesh() != nullptr && (mesh == nullptr || instance->GetMesh() == mesh))
      return instance;
  return nullptr;
}
}  // namespace

CSkatableSection* CSkatableSection::AddTerrainSection(CVerezIvor& park) {
  CGrid* grid = park.GetGrid();
  if (grid == nullptr) {
    DebugPrintf("SkatableSection: no grid for the terrain to join\n");
    return nullptr;
  }
  const Sources& sources = GetSources();
  ShadedMesh* mesh = sources.terrainMesh != nullptr ? sources.terrainMesh() : nullptr;
  CMeshInstance* instance = TerrainInstance(park, mesh);
  int meshId = mesh != nullptr ? TerrainMeshId(park) : -1;
  if (mesh == nullptr && instance != nullptr) mesh = instance->GetMesh();
  if (mesh == nullptr) {
    DebugPrintf("SkatableSection: the level has no terrain mesh\n");
    return nullptr;
  }
  // Without an instance the mesh stands where its own coordinates put it.
  const COrientation frame = instance != nullptr ? instance->RefreshWorld() : COrientation();
  auto made = std::make_unique<CSkatableSection>();
  CSkatableSection* section = made.get();
  if (!section->InitFromMeshData(frame, mesh, meshId, true)) return nullptr;
  const uint32_t id = park.RegisterNewObject(std::move(made));
  if (id == 0) {
    DebugPrintf("SkatableSection: the world refused the terrain section\n");
    return nullptr;
  }
  grid->SetTerrainId(id);
  for (int i = 0; i < grid->GetSquareCount(); ++i) grid->GetSquareByIndex(i)->AddObjectId(id);
  section->BuildPathNodes();
  grid->AddPiece(id);
  section->LinkPathNodes();
  AddToPlacedSectionList(id);
  grid->UpdateComponents();
  return section;
}
