#include "tools/DemoContentPieces.h"

#include "core/data/DebugPrintf.h"
#include "tools/DemoContentEffects.h"

namespace DemoContent {
namespace {

// Attach type of the path node texts the park reads.
constexpr uint32_t kNodeText = 50000;

SolidPart Block(float x0, float y0, float z0, float x1, float y1, float z1, bool wedge = false) {
  return SolidPart{Vector3(x0, y0, z0), Vector3(x1, y1, z1), wedge};
}

// A stand of a facility: a kiosk under a roof at the back, an entry on the front-left corner, a
// queue place, the counter where the service is had (facing the kiosk) and the way out on the
// front-right corner. Places where skaters stand lie a body's width apart and half a unit clear
// of the kiosk, so that one skater waiting never stands in the way of the next.
PieceSpec Stand(const char* name, const char* texture, const char* service, float depth) {
  const std::string serve = std::string("skatenode 3 target ") + service + " action link dest=4 type=walk";
  return {name,
          texture,
          {Block(0.3f, 1.4f, 0.0f, 1.9f, depth - 0.1f, 2.0f), Block(0.1f, 1.1f, 2.0f, 2.0f, depth, 2.2f)},
          {{Vector3(0, 0, 0), "skatenode 1 external link dest=2 type=walk"},
           {Vector3(0.45f, 0.9f, 0), "skatenode 2 line link dest=3 type=walk"},
           {Vector3(1.4f, 0.9f, 0), serve, Vector3(0, 1, 0)},
           {Vector3(2, 0, 0), "skatenode 4 external"}}};
}

}  // namespace

// Every piece keeps its solid half a unit clear of the corners where skaters come on and off at
// ground height, so that a skater's body (0.45 about its centre) can stand on each of them.
std::vector<PieceSpec> PieceSpecs() {
  std::vector<PieceSpec> pieces = {
      // A low wooden platform, ollied onto from any corner and rolled off again.
      {"decking",
       "wood.texture",
       {Block(0.5f, 0, 0, 1.5f, 2, 0.5f)},
       {{Vector3(0, 0, 0), "skatenode 1 external link dest=5 type=ollie"},
        {Vector3(2, 0, 0), "skatenode 2 external link dest=5 type=ollie"},
        {Vector3(0, 2, 0), "skatenode 3 external link dest=5 type=ollie"},
        {Vector3(2, 2, 0), "skatenode 4 external link dest=5 type=ollie"},
        {Vector3(1, 1, 0.5f),
         "skatenode 5 target ollie link dest=1 type=skate, link dest=2 type=skate, "
         "link dest=3 type=skate, link dest=4 type=skate"}}},
      // The L of decking whose footprint leaves the back-left square free.
      {"cornerdeck",
       "wood.texture",
       {Block(0.5f, 0, 0, 1.5f, 1, 0.5f), Block(1, 1, 0, 1.5f, 1.5f, 0.5f)},
       {{Vector3(0, 0, 0), "skatenode 1 external link dest=5 type=ollie"},
        {Vector3(2, 0, 0), "skatenode 2 external link dest=5 type=ollie"},
        {Vector3(2, 2, 0), "skatenode 3 external link dest=5 type=ollie"},
        {Vector3(1, 2, 0), "skatenode 4 external link dest=5 type=ollie"},
        {Vector3(1, 0.5f, 0.5f), "skatenode 5 target grind link dest=1 type=skate, link dest=3 type=skate"}}},
      // A wedge ridden up from its low end and jumped off its high edge.
      {"kicker",
       "ramp.texture",
       {Block(0, 0, 0, 1, 2, 0.5f, true)},
       {{Vector3(0, 0, 0), "skatenode 1 external link dest=3 type=skate_to_top"},
        {Vector3(1, 0, 0), "skatenode 2 external link dest=3 type=skate_to_top"},
        {Vector3(0.5f, 2, 0.5f), "skatenode 3 target air link dest=4 type=air, link dest=5 type=air"},
        {Vector3(0, 3, 0), "skatenode 4 external"},
        {Vector3(1, 3, 0), "skatenode 5 external"}}},
      // A curved wall: four slopes steepening to 1.6 high, each on a block that fills under it.
      {"quarterpipe",
       "ramp.texture",
       {Block(0, 0, 0, 2, 0.8f, 0.15f, true), Block(0, 0.8f, 0, 2, 2, 0.15f),
        Block(0, 0.8f, 0.15f, 2, 1.4f, 0.55f, true), Block(0, 1.4f, 0, 2, 2, 0.55f),
        Block(0, 1.4f, 0.55f, 2, 1.8f, 1.15f, true), Block(0, 1.8f, 0, 2, 2, 1.15f),
        Block(0, 1.8f, 1.15f, 2, 2, 1.6f, true)},
       {{Vector3(0, 0, 0), "skatenode 1 external link dest=3 type=skate_to_top"},
        {Vector3(2, 0, 0), "skatenode 2 external link dest=3 type=skate_to_top"},
        {Vector3(1, 1.6f, 0.85f), "skatenode 3 target air link dest=1 type=skate, link dest=2 type=skate"}}},
      // A concrete box with a ramp up its front.
      {"funbox",
       "concrete.texture",
       {Block(0.5f, 0.5f, 0, 1.5f, 1.5f, 0.5f), Block(0.5f, 0, 0, 1.5f, 0.5f, 0.5f, true)},
       {{Vector3(0, 0, 0), "skatenode 1 external link dest=5 type=ollie"},
        {Vector3(2, 0, 0), "skatenode 2 external link dest=5 type=ollie"},
        {Vector3(0, 2, 0), "skatenode 3 external link dest=5 type=ollie"},
        {Vector3(2, 2, 0), "skatenode 4 external link dest=5 type=ollie"},
        {Vector3(1, 1, 0.5f), "skatenode 5 target grind link dest=1 type=skate, link dest=4 type=skate"}}},
      // A bar on three posts, ground along its top.
      {"rail",
       "metal.texture",
       {Block(0.46f, 0.2f, 0.34f, 0.54f, 3.8f, 0.4f), Block(0.47f, 0.5f, 0, 0.53f, 0.56f, 0.34f),
        Block(0.47f, 1.97f, 0, 0.53f, 2.03f, 0.34f), Block(0.47f, 3.44f, 0, 0.53f, 3.5f, 0.34f)},
       {{Vector3(1, 0, 0), "skatenode 1 external link dest=3 type=ollie"},
        {Vector3(0.5f, 0.2f, 0.4f), "skatenode 3 target grind link dest=4 type=grind_left"},
        {Vector3(0.5f, 3.8f, 0.4f), "skatenode 4 link dest=2 type=air"},
        {Vector3(1, 4, 0), "skatenode 2 external"}}},
      // A seat on two legs, ground along its edge.
      {"bench",
       "bench.texture",
       {Block(0.35f, 0.4f, 0.35f, 1.65f, 0.6f, 0.45f), Block(0.4f, 0.42f, 0, 0.5f, 0.58f, 0.35f),
        Block(1.5f, 0.42f, 0, 1.6f, 0.58f, 0.35f)},
       {{Vector3(0, 0, 0), "skatenode 1 external link dest=3 type=ollie"},
        {Vector3(0.35f, 0.5f, 0.45f), "skatenode 3 target grind link dest=4 type=grind_right"},
        {Vector3(1.65f, 0.5f, 0.45f), "skatenode 4 link dest=2 type=air"},
        {Vector3(2, 1, 0), "skatenode 2 external"}}},
      // Three steps walked up and jumped off the top.
      {"stairs",
       "concrete.texture",
       {Block(0, 0.5f, 0, 2, 1.2f, 0.25f), Block(0, 1.2f, 0, 2, 1.9f, 0.5f), Block(0, 1.9f, 0, 2, 3, 0.75f)},
       {{Vector3(1, 0, 0), "skatenode 1 external link dest=2 type=walk"},
        {Vector3(1, 2.5f, 0.75f), "skatenode 2 target ollie link dest=3 type=air"},
        {Vector3(1, 4, 0), "skatenode 3 external"}}},
      Stand("foodstand", "food.texture", "buy_food", 2.0f),
      Stand("drinkstand", "drink.texture", "buy_drink", 2.0f),
      Stand("restroom", "restroom.texture", "pee", 3.0f),
      Stand("firstaid", "firstaid.texture", "first_aid", 2.0f),
      Stand("skateshop", "skateshop.texture", "buy_skateboard", 2.0f),
      Stand("shirtstand", "shirtstand.texture", "buy_tshirt", 2.0f),
  };
  return pieces;
}

namespace {

void AddNodes(ShadedMesh& mesh, const std::vector<PieceNode>& nodes) {
  for (const PieceNode& node : nodes) {
    // The node's frame turns its forward axis to the way a skater standing there faces.
    COrientation at;
    const Vector3 up(0.0f, 0.0f, 1.0f);
    at.axes.m[0] = node.facing;
    at.axes.m[1] = up.Cross(node.facing);
    at.axes.m[2] = up;
    at.position = node.at;
    mesh.AddAttachPoint(at, kNodeText, static_cast<uint32_t>(node.text.size() + 1), node.text.c_str(), false);
  }
}

}  // namespace

std::unique_ptr<ShadedMesh> BuildPiece(const PieceSpec& spec) {
  std::unique_ptr<ShadedMesh> mesh = BuildSolid(spec.name.c_str(), spec.texture, spec.parts);
  if (!mesh) {
    DebugPrintf("DemoContent: the piece %s could not be built\n", spec.name.c_str());
    return nullptr;
  }
  AddNodes(*mesh, spec.nodes);
  AddPieceEffectPoints(spec.name, *mesh);
  return mesh;
}

PieceSpec MoundSpec() {
  // Ridden up from any corner, where the rim meets the ground, over the top and down again.
  const float top = 0.5f * kMoundSide;
  return {kMoundPiece,
          "bump.texture",
          {},
          {{Vector3(0, 0, 0), "skatenode 1 external link dest=5 type=skate_to_top"},
           {Vector3(kMoundSide, 0, 0), "skatenode 2 external link dest=5 type=skate_to_top"},
           {Vector3(0, kMoundSide, 0), "skatenode 3 external link dest=5 type=skate_to_top"},
           {Vector3(kMoundSide, kMoundSide, 0), "skatenode 4 external link dest=5 type=skate_to_top"},
           {Vector3(top, top, kMoundHeight),
            "skatenode 5 target ollie link dest=1 type=skate, link dest=2 type=skate, "
            "link dest=3 type=skate, link dest=4 type=skate"}}};
}

std::unique_ptr<ShadedMesh> BuildMoundPiece() {
  const PieceSpec spec = MoundSpec();
  std::unique_ptr<ShadedMesh> mesh = BuildPatchMound(kMoundPiece, spec.texture, kMoundSide, kMoundHeight);
  if (!mesh) {
    DebugPrintf("DemoContent: the piece %s could not be built\n", kMoundPiece);
    return nullptr;
  }
  AddNodes(*mesh, spec.nodes);
  return mesh;
}

}  // namespace DemoContent
