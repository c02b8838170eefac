#include "park/pieces/SectionDebugDraw.h"

#include <cmath>

#include "core/math/Box.h"
#include "park/grid/Grid.h"
#include "park/grid/PathEdgeInfo.h"
#include "park/pieces/SkatableSection.h"
#include "render/view/RenderDebug.h"
#include "scene/mesh/SceneDrawInterface.h"

namespace {

constexpr float kSmallBox = 0.1f;
constexpr float kLargeBox = 0.3f;
constexpr float kWalkLift = 0.1f;
constexpr float kFlashCross = 0.4f;

void DrawCube(CSceneDrawInterface& view, const Vector3& centre, float half, uint32_t colour) {
  const Vector3 h(half, half, half);
  DrawDebugBounds(view, Box(centre - h, centre + h), colour);
}

// Two segments through the midpoint raised by half the link's length: a jump's path.
void DrawArc(CSceneDrawInterface& view, const Vector3& a, const Vector3& b, uint32_t colour) {
  const Vector3 d = b - a;
  const float length = std::sqrt(d.Dot(d));
  const Vector3 top = (a + b) * 0.5f + Vector3(0.0f, 0.0f, 0.5f * length);
  view.DrawLine3D(a, top, colour);
  view.DrawLine3D(top, b, colour);
}

}  // namespace

uint32_t LinkDebugColour(uint32_t linkType) {
  switch (linkType) {
    case kLinkAir:
    case kLinkFreeAir: return 0xFFFF0000u;
    case kLinkWalk: return 0xFF0000FFu;
    case kLinkOllie: return 0xFFFF66FFu;
    case kLinkSkate: return 0xFFFFFF00u;
    case kLinkSkateToTop: return 0xFF00FFFFu;
    case kLinkGrindLeft: return 0xFF00FF00u;
    case kLinkGrindRight: return 0xFFFF8080u;
    default: return 0;
  }
}

uint32_t RingSizeDebugColour(int ringSize) {
  switch (ringSize) {
    case 0:
    case 1: return 0;
    case 2: return 0xFFFF0000u;
    case 3: return 0xFFFF8000u;
    case 4: return 0xFFFFFF00u;
    case 5: return 0xFF00FF00u;
    default: return 0xFF0000FFu;
  }
}

uint32_t NodeKindDebugColour(uint32_t kind) {
  switch (kind) {
    case 2: return 0xFF00FFFFu;
    case 3: return 0xFF00FF00u;
    case 4: return 0xFF808080u;
    case 5: return 0xFFFF0000u;
    case 6: return 0xFFFFFF00u;
    case 9:
    case 10:
    case 11:
    case 12: return 0xFFFF00FFu;
    default: return 0;
  }
}

void DrawSectionLinks(CSceneDrawInterface& view, const CSkatableSection& section, const CGrid& grid) {
  for (const SectionLink& link : section.GetPathLinks()) {
    if (link.from == nullptr || link.to == nullptr) continue;
    if (!grid.IsRingConnected(*link.from) || !grid.IsRingConnected(*link.to)) continue;
    const uint32_t colour = LinkDebugColour(link.edge.kind);
    if (colour == 0) continue;
    const Vector3 a = link.from->GetPosition(), b = link.to->GetPosition();
    switch (link.edge.kind) {
      case kLinkAir:
      case kLinkFreeAir:
      case kLinkOllie: DrawArc(view, a, b, colour); break;
      case kLinkWalk: {
        const Vector3 lift(0.0f, 0.0f, kWalkLift);
        view.DrawLine3D(a + lift, b + lift, colour);
        break;
      }
      default: view.DrawLine3D(a, b, colour); break;
    }
  }
}

void DrawSectionNodes(CSceneDrawInterface& view, const CSkatableSection& section) {
  for (const auto& node : section.GetPathNodes()) {
    if (const uint32_t ring = RingSizeDebugColour(node->GetRingSize())) DrawCube(view, node->GetPosition(), kSmallBox, ring);
    if (const uint32_t kind = NodeKindDebugColour(node->kind)) DrawCube(view, node->GetPosition(), kLargeBox, kind);
  }
}

void DrawSectionFlash(CSceneDrawInterface& view, const CSkatableSection& section, const CGrid& grid) {
  for (const auto& node : section.GetPathNodes())
    if (node->GetRingSize() >= 2 && grid.IsRingConnected(*node))
      DrawDebugCross(view, node->GetPosition(), kFlashCross, section.GetFlashColour());
}
