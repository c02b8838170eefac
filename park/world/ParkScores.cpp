#include "park/world/ParkScores.h"

#include <algorithm>
#include <cmath>

#include "core/math/Box.h"
#include "park/grid/Grid.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"

namespace {

constexpr int kSkatableTypes = 10;          // catalog types 0 to 9; higher ones are decor and facilities
constexpr float kVarietyNorm = 1.1111112f;  // brings each variety term to 1.0 with all ten types even
constexpr float kCapacityCap = 50.0f;
constexpr int kSquaresPerSkater = 16;  // footprint squares that give room to one skater
constexpr float kLiftRadii = 1.5f;     // a lifted skater's centre above the piece, in radii

// The placed skatable pieces the scores look at: in the park's placed list, not the terrain,
// with a definition (the terrain loaded from a saved game has none) of a skatable type.
template <typename Visit>
void ForEachScoredSection(const CVerezIvor& park, Visit visit) {
  for (uint32_t id : GetPlacedSectionList()) {
    const auto* section = dynamic_cast<const CSkatableSection*>(park.GetObjectByID(id));
    if (section == nullptr || section->IsTerrain()) continue;
    const ObjectDefinition* definition = section->GetDefinition();
    if (definition == nullptr || definition->type < 0 || definition->type >= kSkatableTypes) continue;
    visit(*section, *definition);
  }
}

// Over the piece's footprint, at any height.
bool WithinXY(const Vector3& p, const Box& box) {
  const float x0 = std::min(box.min.x, box.max.x), x1 = std::max(box.min.x, box.max.x);
  const float y0 = std::min(box.min.y, box.max.y), y1 = std::max(box.min.y, box.max.y);
  return p.x >= x0 && p.x <= x1 && p.y >= y0 && p.y <= y1;
}

}  // namespace

float ComputeVariety(const CVerezIvor& park) {
  int perType[kSkatableTypes] = {};
  int total = 0;
  ForEachScoredSection(park, [&](const CSkatableSection&, const ObjectDefinition& definition) {
    ++perType[definition.type];
    ++total;
  });
  if (total == 0) return 0.0f;
  int largest = 0, kinds = 0;
  for (int count : perType) {
    largest = std::max(largest, count);
    if (count != 0) ++kinds;
  }
  const float evenness = (1.0f - static_cast<float>(largest) / static_cast<float>(total)) * kVarietyNorm;
  const float spread = static_cast<float>(kinds - 1) * 0.1f * kVarietyNorm;
  return 0.5f * (evenness + spread);
}

float ComputeConnectivity(const CVerezIvor& park) {
  const CGrid* grid = park.GetGrid();
  int counted = 0, connected = 0;
  ForEachScoredSection(park, [&](const CSkatableSection& section, const ObjectDefinition&) {
    for (const auto& node : section.GetPathNodes()) {
      if (!node->external) continue;
      ++counted;
      if (grid != nullptr && grid->IsRingConnected(*node)) ++connected;
    }
  });
  return static_cast<float>(connected) / static_cast<float>(counted + 1);
}

float ComputeCapacity(const CVerezIvor& park) {
  float capacity = 0.0f;
  ForEachScoredSection(park, [&](const CSkatableSection&, const ObjectDefinition& definition) {
    const int area = definition.footprintWidth * definition.footprintLength;
    // A piece of 20 squares has room for one and a quarter skaters, not one.
    capacity += area >= kSquaresPerSkater ? static_cast<float>(area) / static_cast<float>(kSquaresPerSkater) : 1.0f;
  });
  return std::min(capacity, kCapacityCap);
}

void UpdateParkScores(CVerezIvor& park) {
  ParkState& state = park.GetParkState();
  state.variety = ComputeVariety(park);
  state.connectivity = ComputeConnectivity(park);
  state.capacity = ComputeCapacity(park);
}

void ReplanSkatersAroundObject(CVerezIvor& park, const Box& pieceBox, bool placed) {
  // A copy: deciding again never adds or removes skaters, but the list is global.
  const std::vector<CSkater*> skaters = GetSkaterList();
  for (CSkater* skater : skaters) {
    if (skater == nullptr || park.GetObjectByID(skater->GetID()) != skater) continue;
    if (placed && WithinXY(skater->GetCentre(), pieceBox)) {
      // Standing where the piece now is: put on top of it, clear of its surface.
      const float top = std::max(pieceBox.min.z, pieceBox.max.z);
      Vector3 lifted = skater->GetCentre();
      lifted.z = top + kLiftRadii * skater->GetRadius();
      skater->SetCentre(lifted);
      skater->UpdateWorldBox(&park.GetOctree());
      skater->SetState(CSkater::kDeciding, 0);
      continue;
    }
    if (skater->IsInBoxOrRoute(pieceBox)) skater->SetState(CSkater::kDeciding, 0);
  }
}
