// TestPieceCatalog and friends: the meshes, definitions and held pieces a park test builds on its
// grid, with the catalog installed as the section sources while it lives, and the skaters on it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/data/LittleEndian.h"
#include "park/grid/Grid.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"
#include "scene/mesh/ShadedMesh.h"

namespace testing_support {

// Definitions by index and meshes by id for the pieces a test loads. The section sources reach the
// live catalog through one static: only one may be installed at a time, and it takes the sources
// away again when it goes.
class TestPieceCatalog {
 public:
  // Definition i starts as catalog number i on one square; the test fills in the rest.
  explicit TestPieceCatalog(int definitionCount) : defs(static_cast<size_t>(definitionCount)) {
    EXPECT_EQ(s_installed, nullptr) << "two piece catalogs at once";
    for (int i = 0; i < definitionCount; ++i) {
      defs[static_cast<size_t>(i)].catalogNumber = static_cast<uint16_t>(i);
      defs[static_cast<size_t>(i)].footprint[0][0] = 1;
    }
    s_installed = this;
    CSkatableSection::SetSources({&MeshOf, &DefinitionOf, &Terrain});
  }
  ~TestPieceCatalog() {
    CSkatableSection::SetSources({nullptr, nullptr, nullptr});
    s_installed = nullptr;
  }
  TestPieceCatalog(const TestPieceCatalog&) = delete;
  TestPieceCatalog& operator=(const TestPieceCatalog&) = delete;

  std::vector<ObjectDefinition> defs;
  std::map<int, ShadedMesh*> meshes;  // not owned
  ShadedMesh* terrain = nullptr;      // not owned; none by default

 private:
  static ShadedMesh* MeshOf(int id) {
    const auto it = s_installed->meshes.find(id);
    return it != s_installed->meshes.end() ? it->second : nullptr;
  }
  static const ObjectDefinition* DefinitionOf(int index) {
    const std::vector<ObjectDefinition>& all = s_installed->defs;
    return index >= 0 && static_cast<size_t>(index) < all.size() ? &all[static_cast<size_t>(index)] : nullptr;
  }
  static ShadedMesh* Terrain() { return s_installed->terrain; }

  static inline TestPieceCatalog* s_installed = nullptr;
};

// A piece mesh: a 2 x 2 grid with one skatenode text at each of the given spots.
inline std::unique_ptr<ShadedMesh> PieceMesh(const std::vector<std::pair<Vector3, std::string>>& nodes) {
  auto mesh = std::make_unique<ShadedMesh>();
  EXPECT_TRUE(mesh->CreateGrid(2, nullptr, 0));
  for (const auto& n : nodes) {
    COrientation at;
    at.SetPosition(n.first);
    mesh->AddAttachPoint(at, CSkatableSection::kSkateNodeAttach, static_cast<uint32_t>(n.second.size() + 1),
                         n.second.c_str(), false);
  }
  return mesh;
}

// A 1 x 1 kicker: entry on the square corner, a top in the middle, a way back down on the far corner.
inline std::vector<std::pair<Vector3, std::string>> KickerNodes() {
  return {{Vector3(0, 0, 0), "skatenode 1 external link dest=2 type=skate_to_top"},
          {Vector3(0.5f, 0.5f, 1.0f), "skatenode 2 target air link dest=3 type=skate"},
          {Vector3(1, 1, 0), "skatenode 3 external link dest=1 type=walk"}};
}

// A collision sphere of radius 0.5 over the middle of the square, so a placed piece files an
// obstacle of its own.
inline void AddCentreSphere(ShadedMesh& mesh) {
  COrientation centre;
  centre.SetPosition(Vector3(0.5f, 0.5f, 0.5f));
  uint8_t radius[4];
  le::WriteF32(radius, 0.5f);
  mesh.AddAttachPoint(centre, 2, 4, radius, false);
}

// A grid of unit squares from the origin whose every square allows the moves in `directionMask`.
inline std::unique_ptr<CGrid> OpenGroundGrid(int columns, int rows, uint8_t directionMask) {
  auto grid = std::make_unique<CGrid>(columns, rows, Vector3(), 1.0f, 1.0f);
  for (int i = 0; i < grid->GetSquareCount(); ++i) grid->GetSquareByIndex(i)->directionMask = directionMask;
  return grid;
}

// A held piece from mesh `meshId` with definition `def` (none when null), its corner at (x, y) on
// the ground, filed in the park.
template <typename T = CSkatableSection>
T* AddHeldPiece(CVerezIvor& park, int meshId, const ObjectDefinition* def, float x, float y) {
  auto section = std::make_unique<T>();
  T* raw = section.get();
  COrientation frame;
  frame.SetPosition(Vector3(x, y, 0.0f));
  EXPECT_TRUE(raw->InitFromMesh(frame, meshId, false));
  if (def != nullptr) raw->SetDefinition(def, true);
  EXPECT_NE(park.RegisterNewObject(std::move(section)), 0u);
  return raw;
}

// A skater standing at `at`, filed in the park; null (and a failure) when the park refuses it.
inline CSkater* AddSkater(CVerezIvor& park, const Vector3& at) {
  auto owned = std::make_unique<CSkater>();
  CSkater* skater = owned.get();
  COrientation frame;
  frame.SetPosition(at);
  skater->LoadBody(frame);
  if (park.RegisterNewObject(std::move(owned)) != 0u) return skater;
  ADD_FAILURE() << "the park refused a skater";
  return nullptr;
}

// What the object (a piece, a skater, the grid) writes with its Save, in a fresh vector.
template <typename T>
std::vector<uint8_t> SaveOf(const T& object) {
  std::vector<uint8_t> out;
  object.Save(out);
  return out;
}

// Every need of the skater, and its happiness, lies in 0..1.
inline void ExpectNeedsInRange(const CSkater& s) {
  for (float v : {s.needs.tiredness, s.needs.hunger, s.needs.thirst, s.needs.bladder, s.needs.injury, s.needs.mood,
                  s.GetHappiness()}) {
    EXPECT_GE(v, 0.0f);
    EXPECT_LE(v, 1.0f);
  }
}

// A level mesh's text attach point: `head` then the text and its terminator.
inline void AddText(ShadedMesh& mesh, const Vector3& at, uint32_t type, const std::vector<uint8_t>& head,
                    const std::string& text) {
  std::vector<uint8_t> data(head);
  data.insert(data.end(), text.begin(), text.end());
  data.push_back(0);
  COrientation frame;
  frame.position = at;
  mesh.AddAttachPoint(frame, type, static_cast<uint32_t>(data.size()), data.data(), false);
}

// A grid region: its box, then its text.
inline void AddRegion(ShadedMesh& mesh, const Vector3& at, const Box& box, const std::string& text) {
  std::vector<uint8_t> head;
  for (float v : {box.min.x, box.min.y, box.min.z, box.max.x, box.max.y, box.max.z}) le::PutF32(head, v);
  AddText(mesh, at, CGrid::kAttachRegion, head, text);
}

}  // namespace testing_support
