#include "tools/DemoContentPieces.h"

#include "core/math/DebugPrintf.h"
#include "core/math/LittleEndian.h"

namespace DemoContent {
namespace {

// Attach types the park reads: sphere markers (data: f32 radius) and path node texts.
constexpr uint32_t kSphereMarker = 2;
constexpr uint32_t kNodeText = 50000;

SolidPart Block(float x0, float y0, float z0, float x1, float y1, float z1, bool wedge = false) {
  return SolidPart{Vector3(x0, y0, z0), Vector3(x1, y1, z1), wedge};
}

// A stand of a facility: a kiosk at the back, an entry on the front-left corner, a queue place
// and the counter where the service is had.
PieceSpec Stand(const char* name, const char* service, float depth) {
  const std::string serve = std::string("skatenode 3 target ") + service + " action link dest=1 type=walk";
  return {name,
          "box.texture",
          {Block(0.3f, depth - 1.2f, 0.0f, 1.7f, depth - 0.3f, 2.0f)},
          {{Vector3(0, 0, 0), "skatenode 1 external link dest=2 type=walk"},
           {Vector3(0.5f, 0.4f, 0), "skatenode 2 line link dest=3 type=walk, link dest=1 type=walk"},
           {Vector3(1.0f, 0.6f, 0), serve}},
          {{Vector3(1.0f, depth - 0.75f, 1.0f), 1.2f}}};
}

}  // namespace

std::vector<PieceSpec> PieceSpecs() {
  std::vector<PieceSpec> pieces = {
      {"decking",
       "box.texture",
       {Block(0, 0, 0, 2, 2, 0.5f)},
       {{Vector3(0, 0, 0), "skatenode 1 external link dest=5 type=ollie"},
        {Vector3(2, 0, 0), "skatenode 2 external link dest=5 type=ollie"},
        {Vector3(0, 2, 0), "skatenode 3 external link dest=5 type=ollie"},
        {Vector3(2, 2, 0), "skatenode 4 external link dest=5 type=ollie"},
        {Vector3(1, 1, 0.5f), "skatenode 5 target ollie link dest=1 type=skate, link dest=2 type=skate, "
                              "link dest=3 type=skate, link dest=4 type=skate"}},
       {{Vector3(0.5f, 1, 0.25f), 1.1f}, {Vector3(1.5f, 1, 0.25f), 1.1f}}},
      // The L of decking whose footprint leaves the back-left square free.
      {"cornerdeck",
       "box.texture",
       {Block(0, 0, 0, 2, 1, 0.5f), Block(1, 1, 0, 2, 2, 0.5f)},
       {{Vector3(0, 0, 0), "skatenode 1 external link dest=5 type=ollie"},
        {Vector3(2, 0, 0), "skatenode 2 external link dest=5 type=ollie"},
        {Vector3(2, 2, 0), "skatenode 3 external link dest=5 type=ollie"},
        {Vector3(1, 2, 0), "skatenode 4 external link dest=5 type=ollie"},
        {Vector3(1.5f, 0.5f, 0.5f), "skatenode 5 target grind link dest=1 type=skate, link dest=3 type=skate"}},
       {{Vector3(1, 0.5f, 0.25f), 1.1f}, {Vector3(1.5f, 1.5f, 0.25f), 0.8f}}},
      {"kicker",
       "ramp.texture",
       {Block(0, 0, 0, 1, 2, 0.5f, true)},
       {{Vector3(0, 0, 0), "skatenode 1 external link dest=3 type=skate_to_top"},
        {Vector3(1, 0, 0), "skatenode 2 external link dest=3 type=skate_to_top"},
        {Vector3(0.5f, 2, 0.5f), "skatenode 3 target air link dest=4 type=air, link dest=5 type=air"},
        {Vector3(0, 3, 0), "skatenode 4 external"},
        {Vector3(1, 3, 0), "skatenode 5 external"}},
       {{Vector3(0.5f, 1, 0.25f), 1.1f}}},
      {"quarterpipe",
       "ramp.texture",
       {Block(0, 0, 0, 2, 2, 2, true)},
       {{Vector3(0, 0, 0), "skatenode 1 external link dest=3 type=skate_to_top"},
        {Vector3(2, 0, 0), "skatenode 2 external link dest=3 type=skate_to_top"},
        {Vector3(1, 1.9f, 1.9f), "skatenode 3 target air link dest=1 type=skate, link dest=2 type=skate"}},
       {{Vector3(1, 1.2f, 0.8f), 1.5f}}},
      {"funbox",
       "box.texture",
       {Block(0.25f, 0.25f, 0, 1.75f, 1.75f, 0.5f)},
       {{Vector3(0, 0, 0), "skatenode 1 external link dest=5 type=ollie"},
        {Vector3(2, 0, 0), "skatenode 2 external link dest=5 type=ollie"},
        {Vector3(0, 2, 0), "skatenode 3 external link dest=5 type=ollie"},
        {Vector3(2, 2, 0), "skatenode 4 external link dest=5 type=ollie"},
        {Vector3(1, 1, 0.5f), "skatenode 5 target grind link dest=1 type=skate, link dest=4 type=skate"}},
       {{Vector3(1, 1, 0.25f), 1.1f}}},
      {"rail",
       "box.texture",
       {Block(0.45f, 0.2f, 0, 0.55f, 3.8f, 0.4f)},
       {{Vector3(1, 0, 0), "skatenode 1 external link dest=3 type=ollie"},
        {Vector3(0.5f, 0.2f, 0.4f), "skatenode 3 target grind link dest=4 type=grind_left"},
        {Vector3(0.5f, 3.8f, 0.4f), "skatenode 4 link dest=2 type=air"},
        {Vector3(1, 4, 0), "skatenode 2 external"}},
       {{Vector3(0.5f, 1.1f, 0.2f), 0.95f}, {Vector3(0.5f, 2.9f, 0.2f), 0.95f}}},
      {"bench",
       "box.texture",
       {Block(0.1f, 0.3f, 0, 1.9f, 0.7f, 0.45f)},
       {{Vector3(0, 0, 0), "skatenode 1 external link dest=3 type=ollie"},
        {Vector3(0.1f, 0.5f, 0.45f), "skatenode 3 target grind link dest=4 type=grind_right"},
        {Vector3(1.9f, 0.5f, 0.45f), "skatenode 4 link dest=2 type=air"},
        {Vector3(2, 1, 0), "skatenode 2 external"}},
       {{Vector3(1, 0.5f, 0.22f), 0.95f}}},
      {"stairs",
       "box.texture",
       {Block(0, 0, 0, 2, 1, 0.25f), Block(0, 1, 0, 2, 2, 0.5f), Block(0, 2, 0, 2, 3, 0.75f)},
       {{Vector3(1, 0, 0), "skatenode 1 external link dest=2 type=walk"},
        {Vector3(1, 2.5f, 0.75f), "skatenode 2 target ollie link dest=3 type=air"},
        {Vector3(1, 4, 0), "skatenode 3 external"}},
       {{Vector3(1, 0.75f, 0.3f), 1.2f}, {Vector3(1, 2.25f, 0.5f), 1.2f}}},
      Stand("foodstand", "buy_food", 2.0f),
      Stand("drinkstand", "buy_drink", 2.0f),
      Stand("restroom", "pee", 3.0f),
      Stand("firstaid", "first_aid", 2.0f),
      Stand("skateshop", "buy_skateboard", 2.0f),
  };
  return pieces;
}

std::unique_ptr<ShadedMesh> BuildPiece(const PieceSpec& spec) {
  std::unique_ptr<ShadedMesh> mesh = BuildSolid(spec.name.c_str(), spec.texture, spec.parts);
  if (!mesh) {
    DebugPrintf("DemoContent: the piece %s could not be built\n", spec.name.c_str());
    return nullptr;
  }
  for (const PieceNode& node : spec.nodes) {
    COrientation at;
    at.position = node.at;
    mesh->AddAttachPoint(at, kNodeText, static_cast<uint32_t>(node.text.size() + 1), node.text.c_str(), false);
  }
  for (const PieceSphere& sphere : spec.spheres) {
    COrientation at;
    at.position = sphere.centre;
    uint8_t radius[4];
    le::WriteF32(radius, sphere.radius);
    mesh->AddAttachPoint(at, kSphereMarker, sizeof radius, radius, false);
  }
  return mesh;
}

}  // namespace DemoContent
