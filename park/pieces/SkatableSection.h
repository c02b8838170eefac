// CSkatableSection: one placed piece of the park that skaters use - a ramp, rail, decking and the
// like - with its catalog definition, path nodes and links, running cost, resale value and saved record.
#pragma once

#include <cfloat>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "park/grid/ObjectSkatePathNode.h"
#include "park/grid/PathLinkOwner.h"
#include "park/pieces/StructureBody.h"

class CGrid;
class CVerezIvor;
struct ObjectDefinition;

class CSkatableSection : public CStructureBody, public CPathLinkOwner {
 public:
  static constexpr uint32_t kTypeCode = 40;
  static constexpr int kSponsorType = 19;
  static constexpr uint32_t kRecordVersion = 1;
  static constexpr uint32_t kNodeMarker = 0x36273829u;
  static constexpr uint32_t kLinkMarker = 0xABA28271u;
  static constexpr uint32_t kSkateNodeAttach = 50000;
  static constexpr float kJoinDistance = 0.01f;
  static constexpr uint32_t kFlashGrey = 0xFF7F7F7Fu;
  static constexpr uint32_t kFlashGreen = 0xFF00FF00u;
  // After a placement the world's octree drops the empty cells the pieces' filing left behind.
  static constexpr uint32_t kOctreeRefineLimit = 1;

  // Where loading finds meshes and definitions; the program's world and catalog by default.
  struct Sources {
    std::function<ShadedMesh*(int meshId)> mesh;
    std::function<const ObjectDefinition*(int index)> definition;
    std::function<ShadedMesh*()> terrainMesh;
  };
  static void SetSources(const Sources& sources);
  static const Sources& GetSources();

  CSkatableSection();
  ~CSkatableSection() override;

  // Level start, once the grid is set up: the level's terrain as a section. Its mesh is the level
  // folder's "terrain.mesh" (or, when that is not to be had, the first terrain instance's), placed
  // at the terrain instance's frame; every square lists it first, the grid takes it as its
  // terrain (never blocking), and its path nodes join the squares they stand on. Null (logged)
  // without a grid or a terrain mesh.
  static CSkatableSection* AddTerrainSection(CVerezIvor& park);

  // A piece (held until placed), or the level's terrain (which is never held).
  bool InitFromMesh(const COrientation& frame, int meshId, bool terrain);
  bool InitFromMeshData(const COrientation& frame, ShadedMesh* mesh, int meshId, bool terrain);
  // Copying the name also stamps the purchase date from the park's clock; a load keeps its own.
  virtual void SetDefinition(const ObjectDefinition* definition, bool copyName);
  const ObjectDefinition* GetDefinition() const { return m_definition; }

  // --- Placement ---
  // Makes the piece a working part of the park: collision, path nodes joined to the grid and
  // neighbours, the footprint's squares, the placed list.
  void Place();
  // Takes the piece out of the park while the player holds it; undoes everything Place did.
  void PickUp();
  bool IsHeld() const { return m_held; }
  bool IsTerrain() const { return m_terrain; }
  void MoveTo(const COrientation& frame);
  void Rotate(float degrees);
  void FlashHighlight(uint32_t colour);
  float GetFlashTimer() const { return m_flashTimer; }
  uint32_t GetFlashColour() const { return m_flashColour; }

  // --- Use and money ---
  void AddUsage(float amount);
  float GetUsage() const { return m_usage; }
  void Update(float dt) override;
  virtual double GetResaleValue() const;
  // Whether the piece has a pop-up (the interface opens it): not without a definition, nor for
  // sponsor pieces.
  virtual bool HasPopup() const;
  float GetFootprintArea() const;
  const char* GetInfoString() const override { return "<Skatable Section>"; }
  // The piece (never the terrain), then what the park's debug flags ask for: links (flag 2),
  // nodes (flag 0), bounds (flag 4); and the placement flash while it runs.
  void Render(CSceneDrawInterface* view) override;
  static constexpr int kDebugNodes = 0;
  static constexpr int kDebugLinks = 2;
  static constexpr int kDebugBounds = 4;
  static constexpr uint32_t kBoundsColour = 0xFFFFFF00u;
  const char* GetName() const { return m_name; }
  uint32_t GetPlacedDay() const { return m_placedDay; }
  uint32_t GetPlacedWeek() const { return m_placedWeek; }
  void SetPlacedDate(uint32_t week, uint32_t day) { m_placedWeek = week, m_placedDay = day; }
  int32_t GetSponsorshipIndex() const { return m_sponsorshipIndex; }
  void SetSponsorshipIndex(int32_t index) { m_sponsorshipIndex = index; }

  // --- Path nodes ---
  void BuildPathNodes();
  void LinkPathNodes();
  void ClearPathNodes();
  const std::vector<std::unique_ptr<CObjectSkatePathNode>>& GetPathNodes() const { return m_nodes; }
  const std::vector<SectionLink>& GetPathLinks() const { return m_links; }
  void NumberLinks(uint32_t& next);
  void AppendLinkSuccessors(const CSkatePathNode* from, SuccessorList& out) override;
  CSkatePathNode* FindPathNode(uint32_t nodeId) override;
  const std::vector<int>& GetFootprintSquares() const { return m_footprint; }

  // --- Saved record ---
  virtual void Save(std::vector<uint8_t>& out) const;
  // Reads the record that begins at data (the kind byte included) into a new section or facility
  // and, only when all of it reads, registers it with the world under its saved id and appends it
  // to the placed list. Returns the id, or 0 (logged, nothing kept) for a record that is cut
  // short, of an unknown version, with a wrong marker or naming a definition that does not exist.
  static uint32_t LoadRecord(const uint8_t* data, size_t size, size_t* consumed);
  // After every object is loaded: the ring successors from the saved ids (rings that reach grid
  // squares close only once the grid has resolved its own; CloseLoadedRings runs after both),
  // then the links' nodes.
  void ResolveNodeLinks();
  void ResolveLinkRecords();
  // Cuts loose every node of a placed piece that a broken saved ring left on an open chain.
  static void CloseLoadedRings();

 protected:
  // The fields after the kind byte; false when the record cannot be used.
  virtual bool LoadBody(CByteCursor& in, uint32_t* savedId);
  void SaveBody(std::vector<uint8_t>& out) const;
  void RunFlash(float dt);
  bool ChargesRunningCost() const;
  // The price less its loss with age: cost x exp(-days / 7); 0 without a definition.
  double GetDepreciatedCost() const;
  CVerezIvor* GetPark() const;

 private:
  // Notes the footprint's squares as the controller maps them (MapFootprintCells: the frame's
  // position is the corner of cell (0, 0), cells turn with the piece); lists the piece in them
  // when asked.
  void OccupyFootprint(CGrid& grid, bool listInSquares);
  void ReleaseFootprint(CGrid* grid);

  float m_flashTimer = 0.0f;
  uint32_t m_flashColour = 0;
  int32_t m_sponsorshipIndex = -1;
  char m_name[100] = {};
  const ObjectDefinition* m_definition = nullptr;
  bool m_terrain = false;
  bool m_held = true;
  float m_usage = 0.0f;
  uint32_t m_placedDay = 0;
  uint32_t m_placedWeek = 0;
  std::vector<std::unique_ptr<CObjectSkatePathNode>> m_nodes;
  std::vector<SectionLink> m_links;
  std::vector<int> m_footprint;  // square indices this piece is listed in
};

// Object ids of every placed section and facility, in placement order.
const std::vector<uint32_t>& GetPlacedSectionList();
void AddToPlacedSectionList(uint32_t id);
void RemoveFromPlacedSectionList(uint32_t id);
void ClearPlacedSectionList();
CSkatableSection* GetPlacedSection(uint32_t id);

// --- Queries over the placed pieces' nodes ---
// Null for kNone; a grid square below the square count; else a placed piece's node.
CSkatePathNode* FindNodeByID(uint32_t nodeId);
// FindNodeByID keeps an index of the placed pieces' nodes; a section leaving the placed list or
// making nodes drops it.
void DropPathNodeIndex();
// The ring representatives (each once) of the placed pieces' nodes with the wanted kind (1: any
// of 2 to 5) in the from-node's component.
void FindTargetNodes(std::vector<CSkatePathNode*>& out, const CSkatePathNode* from, uint32_t kind);
// The nearest node connected to the park among the 3 x 3 squares around the position (around the
// nearest square of the grid's edge for a position off the grid). Nodes more than maxRise above
// the position count only when no other qualifies: a skater standing beside a deck cannot start
// from the deck's top.
CSkatePathNode* FindNearestNode(const Vector3& position, float maxRise = FLT_MAX);
// Links of pieces listed in the 3 x 3 squares around the position whose type has every bit of
// the mask and that pass within the radius; each link once.
void FindLinksNear(std::vector<const SectionLink*>& out, const Vector3& position, float radius, uint32_t typeMask);
