// CSavedGame: the saved-game file of a running park - park block, placed pieces, grid, skaters and their tick state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "park/pieces/SkatableSection.h"
#include "park/saved/ControllerSaveFields.h"

class CByteCursor;
class CGrid;
class CVerezIvor;
struct PathEdgeInfo;
struct SavedParkBlock;

class CSavedGame {
 public:
  // Markers between the blocks, and the trailer after object record i (kObjectTrailer - i).
  static constexpr uint32_t kObjectsMarker = 0xABCDEF01u;
  static constexpr uint32_t kGridMarker = 0xBEEFFACEu;
  // Older files end with the skater block; a skater block under kSkatersThenTickMarker is
  // followed by the tick-state block, so a file cut just before that block still reads as cut.
  static constexpr uint32_t kSkatersMarker = 0xFACEBEEFu;
  static constexpr uint32_t kSkatersThenTickMarker = 0xFACEBEF0u;
  static constexpr uint32_t kTickStateVersion = 1;
  static constexpr uint32_t kObjectTrailer = 0xDA4A9833u;
  // Link numbers of the grid's own steps; piece links are numbered from kFirstPieceLink.
  static constexpr uint32_t kPlainGridLink = 0;
  static constexpr uint32_t kGrassGridLink = 1;
  static constexpr uint32_t kFirstPieceLink = 2;
  // Files above this are no saved game of ours.
  static constexpr size_t kMaxFileSize = size_t{1} << 28;
  // What a file's park block is read over: the park's own record, whose fields an older version
  // lacks keep their values, or a fresh one (ParkState::Reset, the level index kept), as a game
  // started by loading a file has.
  enum class RecordBase { kPark, kFresh };
  // The octree is coarsened with this limit once a load has rebuilt the park's pieces.
  static constexpr uint32_t kRebuiltCoarsenLimit = 1;

  // The whole file in memory; the park is not changed.
  static bool Save(CVerezIvor& park, const ControllerSaveFields& controller, std::vector<uint8_t>& out);
  // Writes beside the old file and replaces it only once the new one is complete.
  static bool SaveToFile(CVerezIvor& park, const ControllerSaveFields& controller, const char* path);
  // Validates the whole file before the park is cleared; on failure (logged) the park is untouched.
  // The park keeps its level terrain: the saved terrain's nodes and links are carried onto it. Saved
  // ids that objects the park keeps already hold are given fresh ids, and their references follow.
  static bool Load(CVerezIvor& park, ControllerSaveFields& controller, const uint8_t* data, size_t size,
                   RecordBase base = RecordBase::kPark);
  static bool LoadFromFile(CVerezIvor& park, ControllerSaveFields& controller, const char* path,
                           RecordBase base = RecordBase::kPark);
  // Checks a file as far as it can be without the park it would go into, so that a park of another
  // level (or the menu) need not be given up for a file that cannot load: every block and record
  // reads, the pieces with the definitions and meshes and the terrain with the mesh that sources
  // give, and the grid block with squareCount squares (those of the file's own level, not whatever
  // the process has loaded); the markers and trailers stand where they belong, nothing follows the
  // last block, at most one record is a terrain, and no two objects or nodes share an id nor does a
  // node take a square's. Whether the saved terrain is the running one's is left to Load. False
  // (logged) when it fails, or when the level has no grid (squareCount 0).
  static bool Check(const uint8_t* data, size_t size, const CSkatableSection::Sources& sources, int squareCount);
  // The whole file, read once, so that what is checked is what is loaded; false (logged) when it
  // cannot be opened or is larger than kMaxFileSize.
  static bool ReadFile(const char* path, std::vector<uint8_t>& out);

  // The park block: the park's record, the controller's figures, the current camera, the world
  // time and the clock.
  static void SaveParkBlock(const CVerezIvor& park, const ControllerSaveFields& controller, std::vector<uint8_t>& out);
  // Reads a block over the park's present values (older versions leave the fields they lack).
  static bool LoadParkBlock(const CVerezIvor& park, CByteCursor& in, SavedParkBlock& out,
                            RecordBase base = RecordBase::kPark);
  static void ApplyParkBlock(CVerezIvor& park, const SavedParkBlock& block, ControllerSaveFields& controller);

  // Link number -> the edge record skaters' routes follow: the grid's plain or grass step, or a
  // placed piece's link with that number (the first in placed order); null for kNone and numbers
  // nothing carries.
  static const PathEdgeInfo* FindLinkByID(uint32_t number);
  // FindLinkByID for many numbers: the placed pieces' links are gathered once, so an index holds
  // while no piece is placed, lifted or renumbered.
  class LinkIndex {
   public:
    LinkIndex();
    const PathEdgeInfo* Find(uint32_t number) const;

   private:
    const CGrid* m_grid;
    std::unordered_map<uint32_t, const PathEdgeInfo*> m_links;
  };
  // Gives every placed piece's links their numbers (placed order, from kFirstPieceLink), and every
  // skater's route steps the numbers of the links they follow.
  static void NumberLinks(CVerezIvor& park);
};
