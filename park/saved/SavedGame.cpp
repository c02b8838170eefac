// Writing a saved game: numbering the links, the park block and the file frame around the records
// of the pieces, the grid and the skaters; and reading and writing whole files.
#include "park/saved/SavedGame.h"

#include <cstring>
#include <memory>
#include <unordered_map>

#include "core/world/WorldAccess.h"
#include "core/data/ByteCursor.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "park/grid/Grid.h"
#include "park/pieces/SkatableSection.h"
#include "park/saved/SavedGameParkBlock.h"
#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FileWrite.h"
#include "platform/system/Win32.h"
#include "scene/camera/GenericCam.h"

namespace {

CGrid* ParkGrid() {
  auto* park = dynamic_cast<CVerezIvor*>(GetGameWorld());
  return park != nullptr ? park->GetGrid() : nullptr;
}

bool SameEdge(const PathEdgeInfo& a, const PathEdgeInfo& b) {
  return a.difficulty == b.difficulty && a.kind == b.kind && a.mode == b.mode;
}

// The number of the link a route step follows from the node before it: found again among the
// graph's successors by its target and its edge record.
bool FindStepNumber(CGrid& grid, const std::unordered_map<const PathEdgeInfo*, uint32_t>& numbers,
                    const CSkater::RouteStep& before, const CSkater::RouteStep& step, uint32_t& number) {
  CSkatePathNode* from = FindNodeByID(before.nodeId);
  CSkatePathNode* to = FindNodeByID(step.nodeId);
  if (from == nullptr || to == nullptr) return false;
  SuccessorList successors;
  grid.GetSuccessors(from, successors);
  for (const GraphStep& s : successors) {
    const auto* edge = static_cast<const PathEdgeInfo*>(s.edge);
    if (s.node != to || edge == nullptr || !SameEdge(*edge, step.edge)) continue;
    if (edge == &grid.GetPlainEdge()) return number = CSavedGame::kPlainGridLink, true;
    if (edge == &grid.GetGrassEdge()) return number = CSavedGame::kGrassGridLink, true;
    auto it = numbers.find(edge);
    if (it != numbers.end()) return number = it->second, true;
  }
  return false;
}

bool ReadWholeFile(const char* path, std::vector<uint8_t>& out) {
  plat::CReadFile file;
  if (path == nullptr || !file.Open(path)) return false;
  const int64_t size = file.Size();
  if (size < 0 || static_cast<uint64_t>(size) > CSavedGame::kMaxFileSize) return false;
  out.resize(static_cast<size_t>(size));
  return file.Read(out.data(), out.size()) == out.size();
}

}  // namespace

void CSavedGame::NumberLinks(CVerezIvor& park) {
  uint32_t next = kFirstPieceLink;
  std::unordered_map<const PathEdgeInfo*, uint32_t> numbers;
  for (uint32_t id : GetPlacedSectionList())
    if (CSkatableSection* section = GetPlacedSection(id)) {
      section->NumberLinks(next);
      for (const SectionLink& link : section->GetPathLinks()) numbers[&link.edge] = link.number;
    }
  CGrid* grid = park.GetGrid();
  if (grid == nullptr) return;
  // Routes remember the numbers their links had when planned; pieces placed or lifted since may
  // have moved them. A link whose piece was lifted since is gone: its old number may now be
  // another piece's, so it gets the first number no link has, and a load finds its step's edge
  // in the graph instead.
  for (CSkater* skater : GetSkaterList()) {
    std::vector<CSkater::RouteStep>& steps = skater->route.steps;
    for (size_t i = 1; i < steps.size(); ++i) {
      if (!steps[i].hasLink) continue;
      uint32_t number = 0;
      steps[i].linkNumber = FindStepNumber(*grid, numbers, steps[i - 1], steps[i], number) ? number : next;
    }
  }
}

const PathEdgeInfo* CSavedGame::FindLinkByID(uint32_t number) { return LinkIndex().Find(number); }

CSavedGame::LinkIndex::LinkIndex() : m_grid(ParkGrid()) {
  for (uint32_t id : GetPlacedSectionList())
    if (const CSkatableSection* section = GetPlacedSection(id))
      for (const SectionLink& link : section->GetPathLinks()) m_links.emplace(link.number, &link.edge);
}

const PathEdgeInfo* CSavedGame::LinkIndex::Find(uint32_t number) const {
  if (number == CSkatePathNode::kNone) return nullptr;
  if (number == kPlainGridLink) return m_grid != nullptr ? &m_grid->GetPlainEdge() : nullptr;
  if (number == kGrassGridLink) return m_grid != nullptr ? &m_grid->GetGrassEdge() : nullptr;
  auto it = m_links.find(number);
  return it != m_links.end() ? it->second : nullptr;
}

void CSavedGame::SaveParkBlock(const CVerezIvor& park, const ControllerSaveFields& controller,
                               std::vector<uint8_t>& out) {
  SavedParkBlock block;
  block.state = park.GetParkState();
  block.controller = controller;
  if (const CGenericCam* camera = park.GetCurrentCamera()) {
    block.cameraFrame = camera->GetFrame();
    block.cameraOrthoWidth = camera->GetView().GetOrthoWidth();
  }
  block.worldTime = park.GetWorldTime();
  block.clockWeek = park.GetClock().GetWeek();
  block.clockDay = park.GetClock().GetDay();
  block.clockHour = park.GetClock().GetHour();
  block.Write(out);
}

bool CSavedGame::LoadParkBlock(const CVerezIvor& park, CByteCursor& in, SavedParkBlock& out, RecordBase base) {
  out.state = park.GetParkState();
  if (base == RecordBase::kFresh) out.state.Reset();
  out.worldTime = park.GetWorldTime();
  out.clockWeek = park.GetClock().GetWeek();
  out.clockDay = park.GetClock().GetDay();
  out.clockHour = park.GetClock().GetHour();
  if (const CGenericCam* camera = park.GetCurrentCamera()) {
    out.cameraFrame = camera->GetFrame();
    out.cameraOrthoWidth = camera->GetView().GetOrthoWidth();
  }
  return out.Read(in);
}

void CSavedGame::ApplyParkBlock(CVerezIvor& park, const SavedParkBlock& block, ControllerSaveFields& controller) {
  ParkState& state = park.GetParkState();
  char name[ParkState::kParkNameSize];
  std::memcpy(name, state.parkName, sizeof(name));
  state = block.state;
  std::memcpy(state.parkName, name, sizeof(name));  // the loading screen names the park
  controller = block.controller;
  if (CGenericCam* camera = park.GetCurrentCamera()) {
    camera->GetFrame() = block.cameraFrame;
    camera->GetView().SetOrthoWidth(block.cameraOrthoWidth);
  }
  park.SetWorldTime(block.worldTime);
  park.GetClock().SetTime(block.clockWeek, block.clockDay, block.clockHour);
}

bool CSavedGame::Save(CVerezIvor& park, const ControllerSaveFields& controller, std::vector<uint8_t>& out) {
  out.clear();
  CGrid* grid = park.GetGrid();
  if (grid == nullptr) {
    DebugPrintf("SavedGame: a park without a grid cannot be saved\n");
    return false;
  }
  NumberLinks(park);
  SaveParkBlock(park, controller, out);
  le::PutU32(out, kObjectsMarker);
  std::vector<const CSkatableSection*> sections;
  for (uint32_t id : GetPlacedSectionList())
    if (const CSkatableSection* section = GetPlacedSection(id)) sections.push_back(section);
  le::PutU32(out, static_cast<uint32_t>(sections.size()));
  for (size_t i = 0; i < sections.size(); ++i) {
    sections[i]->Save(out);
    le::PutU32(out, kObjectTrailer - static_cast<uint32_t>(i));
  }
  le::PutU32(out, kGridMarker);
  grid->Save(out);
  le::PutU32(out, kSkatersThenTickMarker);
  // A skater on its way out (marked for removal) has left the park.
  std::vector<const CSkater*> skaters;
  for (const CSkater* skater : GetSkaterList())
    if (!skater->IsMarkedForRemoval() && park.GetObjectByID(skater->GetID()) == skater) skaters.push_back(skater);
  le::PutU32(out, static_cast<uint32_t>(skaters.size()));
  for (const CSkater* skater : skaters) skater->Save(out);
  // The tick state: what the records leave out but the next ticks depend on.
  le::PutU32(out, kTickStateVersion);
  le::PutF32(out, park.GetAveragesTimer());
  le::PutU32(out, static_cast<uint32_t>(skaters.size()));
  for (const CSkater* skater : skaters) skater->SaveTickState(out);
  return true;
}

bool CSavedGame::SaveToFile(CVerezIvor& park, const ControllerSaveFields& controller, const char* path) {
  if (path == nullptr || *path == '\0') return false;
  std::vector<uint8_t> bytes;
  if (!Save(park, controller, bytes)) return false;
  if (!plat::ReplaceFileContents(path, bytes.data(), bytes.size())) {
    DebugPrintf("Error Creating File: '%s' - Check Path and File Attributes!\n", path);
    return false;
  }
  return true;
}

bool CSavedGame::ReadFile(const char* path, std::vector<uint8_t>& out) {
  if (ReadWholeFile(path, out)) return true;
  DebugPrintf("Error Loading File: '%s' - Check Path and File Exists!\n", path != nullptr ? path : "");
  char folder[512] = {};
  GetCurrentDirectoryA(sizeof(folder), folder);
  DebugPrintf("Current Working Directory: %s\n", folder);
  return false;
}

bool CSavedGame::LoadFromFile(CVerezIvor& park, ControllerSaveFields& controller, const char* path, RecordBase base) {
  std::vector<uint8_t> bytes;
  if (!ReadFile(path, bytes)) return false;
  return Load(park, controller, bytes.data(), bytes.size(), base);
}
