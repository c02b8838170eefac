// Reading a saved game: every block is parsed and checked into staging records first, and only a
// file that reads whole replaces the park. References to the level's terrain, which the park keeps,
// are carried over to the terrain the park has.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "core/data/ByteCursor.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "park/grid/Grid.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/saved/SavedGame.h"
#include "park/saved/SavedGameParkBlock.h"
#include "park/skater/Skater.h"
#include "park/world/ParkClearing.h"
#include "park/world/VerezIvor.h"

namespace {

constexpr uint32_t kNone = CSkatePathNode::kNone;
// The smallest section record: kind, version, id, terrain flag, frame, definition, usage, name,
// day, week, two markers and two counts.
constexpr size_t kMinSectionRecord = 1 + 4 + 4 + 1 + 48 + 2 + 4 + 100 + 4 + 4 + 4 * 4;
constexpr size_t kMinSkaterRecord = 4 + 4 + 48;
constexpr uint32_t kMaxIdsPerSquare = 256;
// Terrain nodes saved and rebuilt from the same mesh stand at the same points.
constexpr float kSamePlace = 1e-3f;

// The sources the pieces are read with while a check runs; the park's own come back after it.
class ScopedSources {
 public:
  explicit ScopedSources(const CSkatableSection::Sources& sources) : m_saved(CSkatableSection::GetSources()) {
    CSkatableSection::SetSources(sources);
  }
  ~ScopedSources() { CSkatableSection::SetSources(m_saved); }
  ScopedSources(const ScopedSources&) = delete;
  ScopedSources& operator=(const ScopedSources&) = delete;

 private:
  CSkatableSection::Sources m_saved;
};

// A section record read without touching the park, to learn whether it reads and what it names.
template <class T>
class CRecordProbe final : public T {
 public:
  bool Read(CByteCursor& in, uint32_t* id) { return this->LoadBody(in, id); }
  // Without an id and reservations its destruction gives nothing of the park back.
  ~CRecordProbe() override {
    for (const auto& node : this->GetPathNodes()) node->SetReservingSkaterId(kNone);
    this->SetID(0);
  }
};

struct StagedSection {
  size_t offset = 0;
  size_t size = 0;
  uint32_t id = 0;
  bool terrain = false;
  std::vector<uint32_t> nodeIds;
  std::vector<uint32_t> ringIds;
  std::vector<uint32_t> reservations;
  std::vector<Vector3> positions;
  std::vector<uint32_t> linkNumbers;
};

// A skater read whole from its record (and its part of the tick-state block) but not yet in the
// park: what it names in the park is found once the park is the file's.
struct StagedSkater {
  std::unique_ptr<CSkater> skater;
  uint32_t id = 0;
};

struct StagedFile {
  SavedParkBlock park;
  std::vector<StagedSection> sections;
  size_t gridOffset = 0;
  size_t gridSize = 0;
  std::vector<StagedSkater> skaters;
  bool hasTickState = false;
  float averagesTimer = 0.0f;
  // Saved terrain -> the park's terrain.
  uint32_t fileTerrainId = kNone;
  uint32_t liveTerrainId = kNone;
  std::unordered_map<uint32_t, uint32_t> nodeMap;
  // Saved object id -> the id it gets: the park's terrain for the saved one, a fresh id for one
  // that an object the park keeps already has.
  std::unordered_map<uint32_t, uint32_t> objectMap;

  uint32_t MapNode(uint32_t id) const {
    auto it = nodeMap.find(id);
    return it != nodeMap.end() ? it->second : id;
  }
  uint32_t MapObject(uint32_t id) const {
    auto it = objectMap.find(id);
    return it != objectMap.end() ? it->second : id;
  }
};

bool Fail(const char* why) {
  DebugPrintf("SavedGame: %s\n", why);
  return false;
}

// Reads from data + pos and moves pos past what was read.
class Walker {
 public:
  Walker(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  CByteCursor Here() const { return CByteCursor(m_data + m_pos, m_size - m_pos); }
  void Advance(size_t n) { m_pos += n; }
  bool ReadU32(uint32_t& v) {
    CByteCursor in = Here();
    if (!in.ReadU32(v)) return false;
    m_pos += 4;
    return true;
  }
  bool Marker(uint32_t expected) {
    uint32_t v = 0;
    return ReadU32(v) && v == expected;
  }
  size_t Position() const { return m_pos; }
  size_t Remaining() const { return m_size - m_pos; }
  const uint8_t* At() const { return m_data + m_pos; }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};

CSkatableSection* LiveTerrain(const CGrid& grid) {
  CSkatableSection* terrain = GetPlacedSection(grid.GetTerrainId());
  return terrain != nullptr && terrain->IsTerrain() ? terrain : nullptr;
}

template <class T>
bool ProbeSection(Walker& w, StagedSection& out) {
  CRecordProbe<T> probe;
  CByteCursor in = w.Here();
  uint8_t kind = 0;
  uint32_t id = 0;
  if (!in.ReadU8(kind) || !probe.Read(in, &id)) return false;
  out.offset = w.Position();
  out.size = in.GetPosition();
  out.id = id;
  out.terrain = probe.IsTerrain();
  for (const auto& node : probe.GetPathNodes()) {
    out.nodeIds.push_back(node->GetNodeId());
    out.ringIds.push_back(node->GetSavedRingId());
    out.reservations.push_back(node->GetReservingSkaterId());
    out.positions.push_back(node->GetPosition());
  }
  for (const SectionLink& link : probe.GetPathLinks()) out.linkNumbers.push_back(link.number);
  w.Advance(in.GetPosition());
  return true;
}

bool StageSections(Walker& w, StagedFile& file) {
  uint32_t count = 0;
  if (!w.ReadU32(count) || count > w.Remaining() / kMinSectionRecord) return Fail("the object count is damaged");
  for (uint32_t i = 0; i < count; ++i) {
    if (w.Remaining() == 0) return Fail("the object block is cut short");
    StagedSection section;
    const bool read = *w.At() == 1   ? ProbeSection<CSkatableFacility>(w, section)
                      : *w.At() == 0 ? ProbeSection<CSkatableSection>(w, section)
                                     : false;
    if (!read) {
      DebugPrintf("SavedGame: object record %u does not read\n", i);
      return false;
    }
    if (!w.Marker(CSavedGame::kObjectTrailer - i)) {
      DebugPrintf("SavedGame: object record %u is not followed by its trailer\n", i);
      return false;
    }
    file.sections.push_back(std::move(section));
  }
  return true;
}

// squares: the level grid's square count, which a block of the first version does not give.
bool StageGrid(Walker& w, uint32_t squares, StagedFile& file, const std::unordered_set<uint32_t>& pieces) {
  CByteCursor in = w.Here();
  uint32_t version = 0, count = squares;
  if (!in.ReadU32(version) || version > 1 || (version == 1 && !in.ReadU32(count)))
    return Fail("the grid block is cut short or of an unknown version");
  if (count != squares) return Fail("the grid block is for a grid of another size");
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t ring = 0, reserving = 0, ids = 0;
    uint8_t near = 0;
    if (!in.ReadU32(ring) || !in.ReadU8(near) || !in.ReadU32(reserving) || !in.ReadU32(ids) ||
        ids > kMaxIdsPerSquare || ids > in.GetRemaining() / 4)
      return Fail("a square record of the grid block is damaged");
    for (uint32_t k = 0; k < ids; ++k) {
      uint32_t id = 0;
      in.ReadU32(id);
      if (pieces.count(id) == 0) return Fail("a square lists a piece the file does not hold");
    }
  }
  file.gridOffset = w.Position();
  file.gridSize = in.GetPosition();
  w.Advance(in.GetPosition());
  return true;
}

bool StageSkaters(Walker& w, StagedFile& file) {
  uint32_t count = 0;
  if (!w.ReadU32(count) || count > w.Remaining() / kMinSkaterRecord) return Fail("the skater count is damaged");
  for (uint32_t i = 0; i < count; ++i) {
    StagedSkater staged;
    staged.skater = std::make_unique<CSkater>(CSkater::ForLoading{});
    size_t used = 0;
    if (!staged.skater->ReadRecord(w.At(), w.Remaining(), &used, &staged.id) || used == 0) {
      DebugPrintf("SavedGame: skater record %u does not read\n", i);
      return false;
    }
    w.Advance(used);
    file.skaters.push_back(std::move(staged));
  }
  return true;
}

// The tick-state block (version 1): the park's averages timer (f32), the skater count (the skater
// block's), then each skater's part in the skater block's order - see CSkater::SaveTickState. Each
// part is read into its staged skater, so a part the body or the animation would refuse stops the
// load before the park is touched.
bool StageTickState(Walker& w, StagedFile& file) {
  CByteCursor in = w.Here();
  uint32_t version = 0, count = 0;
  if (!in.ReadU32(version) || version == 0 || version > CSavedGame::kTickStateVersion ||
      !in.ReadF32(file.averagesTimer) || !std::isfinite(file.averagesTimer) || !in.ReadU32(count))
    return Fail("the tick-state block is cut short or of an unknown version");
  if (count != file.skaters.size()) return Fail("the tick-state block is for another number of skaters");
  for (size_t i = 0; i < file.skaters.size(); ++i) {
    StagedSkater& s = file.skaters[i];
    if (!s.skater->LoadTickState(in, s.id)) {
      DebugPrintf("SavedGame: the tick state of skater record %u does not read\n", static_cast<unsigned>(i));
      return false;
    }
  }
  w.Advance(in.GetPosition());
  file.hasTickState = true;
  return true;
}

// The file's one terrain record, or null when it holds none; false when it holds two.
bool FindSavedTerrain(const StagedFile& file, const StagedSection*& saved) {
  saved = nullptr;
  for (const StagedSection& s : file.sections)
    if (s.terrain) {
      if (saved != nullptr) return Fail("the file holds two terrains");
      saved = &s;
    }
  return true;
}

// What the file alone shows of its ids, before any is carried onto the park's: every object has
// one of its own, and every node too, none of them a square's.
bool SavedIdsDistinct(const StagedFile& file, uint32_t squares) {
  std::unordered_set<uint32_t> objects, nodes;
  auto claim = [&objects](uint32_t id) {
    if (id == 0 || id == kNone) return Fail("a saved object has no id");
    return objects.insert(id).second || Fail("two saved objects share an id");
  };
  for (const StagedSection& s : file.sections) {
    if (!claim(s.id)) return false;
    for (uint32_t node : s.nodeIds)
      if (node < squares || !nodes.insert(node).second) return Fail("two saved nodes share an id");
  }
  return std::all_of(file.skaters.begin(), file.skaters.end(), [&](const StagedSkater& s) { return claim(s.id); });
}

// The saved terrain is carried onto the park's own: same nodes at the same places, same links.
bool MatchTerrain(const CGrid& grid, StagedFile& file) {
  CSkatableSection* live = LiveTerrain(grid);
  const StagedSection* saved = nullptr;
  if (!FindSavedTerrain(file, saved)) return false;
  if (live == nullptr) return true;  // the saved terrain, if any, is made anew
  if (saved == nullptr) return Fail("the file holds no terrain but the park stands on one");
  const auto& nodes = live->GetPathNodes();
  if (nodes.size() != saved->nodeIds.size() || live->GetPathLinks().size() != saved->linkNumbers.size())
    return Fail("the saved terrain is not this level's");
  for (size_t i = 0; i < nodes.size(); ++i) {
    const Vector3 d = nodes[i]->GetPosition() - saved->positions[i];
    if (!(std::fabs(d.x) <= kSamePlace && std::fabs(d.y) <= kSamePlace && std::fabs(d.z) <= kSamePlace))
      return Fail("the saved terrain is not this level's");
    file.nodeMap[saved->nodeIds[i]] = nodes[i]->GetNodeId();
  }
  for (size_t k = 1; k < saved->linkNumbers.size(); ++k)
    if (saved->linkNumbers[k] != saved->linkNumbers[0] + k) return Fail("the saved terrain's links are not numbered in a row");
  file.fileTerrainId = saved->id;
  file.liveTerrainId = live->GetID();
  return true;
}

// Objects the clearing leaves are the terrain and everything not of the park.
bool SurvivesClearing(const CVerezIvor& park, uint32_t id, uint32_t liveTerrain) {
  const CGameObject* object = park.GetObjectByID(id);
  if (object == nullptr) return false;
  if (dynamic_cast<const CSkater*>(object) != nullptr) return false;
  if (dynamic_cast<const CSkatableSection*>(object) == nullptr || id == liveTerrain) return true;
  for (uint32_t placed : GetPlacedSectionList())
    if (placed == id) return false;
  return true;  // a held piece
}

// Saved ids must be distinct; one that an object the park keeps already has is given a fresh id,
// and every reference to it follows.
bool AssignIds(const CVerezIvor& park, const CGrid& grid, StagedFile& file) {
  std::unordered_set<uint32_t> objects, nodes;
  std::vector<uint32_t> clashing;
  uint32_t highest = 0;
  auto claim = [&](uint32_t id) {
    // The world files no object under either; it would refuse the record once the park is cleared.
    if (id == 0 || id == kNone) return Fail("a saved object has no id");
    if (!objects.insert(id).second) return Fail("two saved objects share an id");
    highest = std::max(highest, id);
    if (id != file.fileTerrainId && SurvivesClearing(park, id, file.liveTerrainId)) clashing.push_back(id);
    return true;
  };
  for (const StagedSection& s : file.sections) {
    if (!claim(s.id)) return false;
    for (uint32_t node : s.nodeIds)
      if (node < static_cast<uint32_t>(grid.GetSquareCount()) || !nodes.insert(file.MapNode(node)).second)
        return Fail("two saved nodes share an id");
  }
  for (const StagedSkater& s : file.skaters)
    if (!claim(s.id)) return false;
  if (file.liveTerrainId != kNone) file.objectMap[file.fileTerrainId] = file.liveTerrainId;
  uint32_t next = std::max(park.GetNextObjectID(), highest + 1);
  for (uint32_t id : clashing) {
    while (next == 0 || next == kNone || objects.count(next) != 0 || park.GetObjectByID(next) != nullptr) ++next;
    if (next == 0) return Fail("no id is left for a saved object");
    DebugPrintf("SavedGame: saved object %u takes id %u: the park keeps an object with its id\n", id, next);
    file.objectMap[id] = next;
    objects.insert(next);
  }
  return true;
}

// The blocks after the park block, read and checked into file; squares is the level grid's count.
bool StageBlocks(Walker& w, uint32_t squares, StagedFile& file) {
  if (!w.Marker(CSavedGame::kObjectsMarker)) return Fail("the object block marker is wrong");
  if (!StageSections(w, file)) return false;
  if (!w.Marker(CSavedGame::kGridMarker)) return Fail("the grid block marker is wrong");
  std::unordered_set<uint32_t> pieces;
  for (const StagedSection& s : file.sections) pieces.insert(s.id);
  if (!StageGrid(w, squares, file, pieces)) return false;
  uint32_t skaters = 0;
  if (!w.ReadU32(skaters) || (skaters != CSavedGame::kSkatersMarker && skaters != CSavedGame::kSkatersThenTickMarker))
    return Fail("the skater block marker is wrong");
  if (!StageSkaters(w, file)) return false;
  if (skaters == CSavedGame::kSkatersThenTickMarker && !StageTickState(w, file)) return false;
  if (w.Remaining() != 0) return Fail("bytes follow the last block");
  return true;
}

bool Stage(const CVerezIvor& park, const uint8_t* data, size_t size, CSavedGame::RecordBase base, StagedFile& file) {
  const CGrid* grid = park.GetGrid();
  if (grid == nullptr) return Fail("a park without a grid cannot take a saved game");
  // Only a single-player or serving world files the objects it makes (a client's are the server's).
  const uint32_t mode = park.GetNetworkMode();
  if (mode != CGameWorld::kModeSinglePlayer && mode != CGameWorld::kModeServer)
    return Fail("a world that files no objects of its own cannot take a saved game");
  if (data == nullptr) return Fail("no data");
  Walker w(data, size);
  CByteCursor head = w.Here();
  if (!CSavedGame::LoadParkBlock(park, head, file.park, base)) return false;
  w.Advance(head.GetPosition());
  return StageBlocks(w, static_cast<uint32_t>(grid->GetSquareCount()), file) && MatchTerrain(*grid, file) &&
         AssignIds(park, *grid, file);
}

// --- Applying a staged file to the cleared park ---

bool ApplySection(CGrid& grid, const uint8_t* data, const StagedSection& s, const StagedFile& file) {
  CSkatableSection* live = LiveTerrain(grid);
  if (s.terrain && live != nullptr) {
    const auto& nodes = live->GetPathNodes();
    for (size_t i = 0; i < nodes.size(); ++i) {
      nodes[i]->SetSavedRingId(file.MapNode(s.ringIds[i]));
      nodes[i]->SetReservingSkaterId(file.MapObject(s.reservations[i]));
    }
    uint32_t first = s.linkNumbers.empty() ? 0 : s.linkNumbers[0];
    live->NumberLinks(first);
    // The terrain takes its saved place among the pieces.
    RemoveFromPlacedSectionList(live->GetID());
    AddToPlacedSectionList(live->GetID());
    grid.RemovePiece(live->GetID());
    grid.AddPiece(live->GetID());
    return true;
  }
  // A piece moved to a fresh id reads from a copy of its record that carries that id.
  std::vector<uint8_t> record(data + s.offset, data + s.offset + s.size);
  const uint32_t wanted = file.MapObject(s.id);
  if (wanted != s.id) {
    const size_t at = 1 + 4 + (le::ReadU32(record.data() + 1) == 1 ? 4 : 0);
    le::WriteU32(record.data() + at, wanted);
  }
  size_t used = 0;
  const uint32_t id = CSkatableSection::LoadRecord(record.data(), record.size(), &used);
  CSkatableSection* section = GetPlacedSection(id);
  if (id != wanted || section == nullptr) return false;
  if (s.terrain) grid.SetTerrainId(id);
  for (const auto& node : section->GetPathNodes()) {
    node->SetSavedRingId(file.MapNode(node->GetSavedRingId()));
    node->SetReservingSkaterId(file.MapObject(node->GetReservingSkaterId()));
  }
  return true;
}

bool ApplyGrid(CGrid& grid, const uint8_t* data, const StagedFile& file) {
  size_t used = 0;
  if (!grid.Load(data + file.gridOffset, file.gridSize, &used)) return false;
  for (int i = 0; i < grid.GetSquareCount(); ++i) {
    CGridSquare* square = grid.GetSquareByIndex(i);
    const std::vector<uint32_t>& listed = square->GetObjectIds();
    if (std::any_of(listed.begin(), listed.end(), [&](uint32_t id) { return file.MapObject(id) != id; })) {
      std::vector<uint32_t> ids = listed;
      for (uint32_t& id : ids) id = file.MapObject(id);
      square->SetObjectIds(std::move(ids));
    }
    square->SetSavedRingId(file.MapNode(square->GetSavedRingId()));
    square->SetReservingSkaterId(file.MapObject(square->GetReservingSkaterId()));
  }
  return true;
}

bool ApplySkater(CVerezIvor& park, StagedSkater& s, const StagedFile& file, const CSavedGame::LinkIndex& links) {
  std::unique_ptr<CSkater> skater = std::move(s.skater);
  // The link number names the very edge record the route followed (grass steps included); only
  // steps whose number nothing carries look for their edge in the graph.
  skater->ResolveRecord(s.id, [&links](uint32_t number) { return links.Find(number); });
  if (file.hasTickState) skater->body.underfootObject = file.MapObject(skater->body.underfootObject);
  const uint32_t id = file.MapObject(s.id);
  CSkater::Mind& mind = skater->mind;
  mind.targetNodeId = file.MapNode(mind.targetNodeId);
  for (CSkater::RouteStep& step : skater->route.steps) {
    step.nodeId = file.MapNode(step.nodeId);
    if (const PathEdgeInfo* edge = step.hasLink ? links.Find(step.linkNumber) : nullptr) step.edge = *edge;
  }
  // A skater only ever reserves its target, and the nodes keep their reservations.
  const CSkatePathNode* target = FindNodeByID(mind.targetNodeId);
  mind.reservedNodeId = target != nullptr && target->GetReservingSkaterId() == id ? mind.targetNodeId : kNone;
  return park.RegisterNewObject(std::move(skater), id) == id;
}

bool Apply(CVerezIvor& park, const uint8_t* data, StagedFile& file, ControllerSaveFields& controller) {
  ClearParkContents(park);
  CGrid& grid = *park.GetGrid();
  for (const StagedSection& s : file.sections)
    if (!ApplySection(grid, data, s, file)) return Fail("a staged piece did not load");
  if (!ApplyGrid(grid, data, file)) return Fail("the staged grid block did not load");
  // Relink: every node's ring and every link's ends, then the squares' rings. Routes are checked
  // against the graph, so the skaters come once every ring is closed.
  std::vector<CSkatableSection*> sections;
  for (uint32_t id : GetPlacedSectionList())
    if (CSkatableSection* section = GetPlacedSection(id)) sections.push_back(section);
  for (CSkatableSection* section : sections) section->ResolveNodeLinks();
  for (CSkatableSection* section : sections) section->ResolveLinkRecords();
  grid.ResolveRings();
  CSkatableSection::CloseLoadedRings();
  const CSavedGame::LinkIndex links;
  for (StagedSkater& s : file.skaters)
    if (!ApplySkater(park, s, file, links)) return Fail("a staged skater did not load");
  grid.UpdateComponents();
  SavedParkBlock block = file.park;
  for (SponsorshipSlot& slot : block.state.sponsorships)
    if (slot.sponsorObjectID != -1)
      slot.sponsorObjectID = static_cast<int32_t>(file.MapObject(static_cast<uint32_t>(slot.sponsorObjectID)));
  CSavedGame::ApplyParkBlock(park, block, controller);
  // A file without tick state starts the averages' interval afresh.
  park.SetAveragesTimer(file.hasTickState ? file.averagesTimer : 0.0f);
  // A slot whose sponsor piece the file does not hold has none down.
  for (SponsorshipSlot& slot : park.GetParkState().sponsorships)
    if (slot.sponsorObjectID != -1 && GetPlacedSection(static_cast<uint32_t>(slot.sponsorObjectID)) == nullptr)
      slot.sponsorObjectID = -1;
  // Filed one by one, the rebuilt pieces and skaters leave cells as deep as each needed on its own;
  // the tree is folded back to one object a cell at least.
  park.GetOctree().Coarsen(CSavedGame::kRebuiltCoarsenLimit);
  return true;
}

}  // namespace

bool CSavedGame::Check(const uint8_t* data, size_t size, const CSkatableSection::Sources& sources, int squareCount) {
  if (data == nullptr) return Fail("no data");
  if (squareCount <= 0) return Fail("the file's level has no build grid to take it");
  const ScopedSources withSources(sources);
  StagedFile file;
  Walker w(data, size);
  CByteCursor head = w.Here();
  if (!file.park.Read(head)) return false;
  w.Advance(head.GetPosition());
  const auto squares = static_cast<uint32_t>(squareCount);
  const StagedSection* terrain = nullptr;
  return StageBlocks(w, squares, file) && FindSavedTerrain(file, terrain) && SavedIdsDistinct(file, squares);
}

bool CSavedGame::Load(CVerezIvor& park, ControllerSaveFields& controller, const uint8_t* data, size_t size,
                      RecordBase base) {
  StagedFile file;
  if (!Stage(park, data, size, base, file)) return false;
  // Everything is read and checked, every id is known free once the park is cleared, and every
  // object stands built but for its pieces' records, which read as their probes did: nothing left
  // can refuse, so the park is replaced without a copy of itself to fall back on.
  if (Apply(park, data, file, controller)) return true;
  DebugPrintf("SavedGame: the park refused a file that read whole; it is left as far as it loaded\n");
  return false;
}
