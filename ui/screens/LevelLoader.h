// CLevelLoader: the level loading sequence of a new or loaded game - the level folder, its terrain
// mesh with collision and walkable faces, the cameras, path graphs, texture list, lights, static
// vertex lights, the octree's skeleton and visibility, fog and shadow projectors, then the park's
// grid with the terrain as a section, and the object catalogs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CMeshInstance;
class CResourceTable;
class CVerezIvor;
class ShadedMesh;

class CLevelLoader {
 public:
  static constexpr const char* kTerrainFile = "terrain.mesh";
  static constexpr const char* kPieceFolder = "data/meshes";
  // Cells kept per octree leaf when the tree is coarsened around the visibility step.
  static constexpr unsigned kCoarsenLimit = 12;
  // The cameras a level gets, by world camera index; the park camera starts current. The level's
  // script cameras follow them.
  static constexpr uint32_t kViewFromPieceCamera = 0;
  static constexpr uint32_t kChaseCamera = 1;
  static constexpr uint32_t kParkCamera = 2;
  static constexpr float kObserverDamping = 0.9f;
  static constexpr float kParkCameraDistance = 200.0f;

  // dataRoot: the folder that holds "data/" (the working directory when empty).
  explicit CLevelLoader(std::string dataRoot = std::string());
  ~CLevelLoader();
  CLevelLoader(const CLevelLoader&) = delete;
  CLevelLoader& operator=(const CLevelLoader&) = delete;

  // The levels a game can be played on, by level index.
  static int GetLevelCount();
  // The level's folder below the data root with a trailing '/', or empty for an unknown index.
  std::string GetLevelFolder(int levelIndex) const;
  // The indices of the levels whose terrain is in the data, in index order.
  std::vector<int> FindLevels() const;
  // A level's name for the screens: its folder's name in capitals; empty for an unknown index.
  static std::string GetLevelName(int levelIndex);

  // Everything up to the fog. False (logged) for an unknown level or a terrain mesh that cannot be
  // read; the park is then left as it was and stays usable. Without a resource table in the park
  // the loader keeps the mesh itself: the park must be cleared before the loader goes.
  bool LoadLevel(CVerezIvor& park, int levelIndex);
  // The build grid from the terrain (or the level's "grid_data.bin") and the terrain as a section,
  // unless the park has a grid already (the in-game controller may have made it). False (logged)
  // when the terrain names no grid origin: the park then has no grid.
  bool SetUpGrid(CVerezIvor& park);
  // (Re)reads the object catalogs below the data root, after registering the piece meshes and
  // icons of kPieceFolder (which the start-up preloader does not scan) in the park's resource
  // table. False (logged, one line per item) when an item names a mesh the table does not know;
  // the catalogs stay loaded and the other items usable.
  bool LoadCatalogs(CVerezIvor& park);
  // Checks a saved game of the level before anything is given up for it (CSavedGame::Check), with
  // what its pieces need read from the data now: the level's terrain mesh and the piece meshes
  // through the park's resource table, the definitions from catalogs read aside, so that neither
  // what an earlier game left loaded nor the running game's catalog has a say; the grid block is
  // read with the square count of the grid the terrain gives. False (logged) for an unknown level,
  // a park without a resource table or a file that fails the check.
  bool CheckSavedGame(CVerezIvor& park, int levelIndex, const uint8_t* data, size_t size);

  CMeshInstance* GetTerrain() const { return m_terrain; }

 private:
  ShadedMesh* ReadTerrainMesh(CVerezIvor& park, const std::string& path);
  static void MarkWalkable(CMeshInstance& terrain);
  static void ListLevelTextures(CVerezIvor& park, const ShadedMesh& mesh);
  static void AddLights(CVerezIvor& park, const ShadedMesh& mesh);
  static void LoadVisibility(CVerezIvor& park);
  static void SetUpShadows(CVerezIvor& park, float meshDetail);
  static void AddCameras(CVerezIvor& park, const ShadedMesh& mesh);
  // The level's triggers and cloud layers.
  static void AddLevelEffects(CVerezIvor& park, const ShadedMesh& mesh);
  void RegisterPieceFiles(CResourceTable& table) const;

  std::string m_root;
  std::unique_ptr<ShadedMesh> m_ownedMesh;
  CMeshInstance* m_terrain = nullptr;
};
