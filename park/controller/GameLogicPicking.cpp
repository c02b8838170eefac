// CGameLogic: turning the cursor into a ray, and the ray into a piece, a skater or a grid square.
#include "park/controller/GameLogic.h"

#include <algorithm>

#include "core/spatial/Octree.h"
#include "core/math/RayInfo.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"
#include "render/view/RenderView.h"
#include "scene/camera/GenericCam.h"
#include "scene/mesh/MeshInstance.h"

namespace {
constexpr float kRayLength = 2000.0f;
constexpr float kSkaterSlack = 0.5f;  // how far the looser skater bounds reach beyond the tight ones
constexpr float kRayStep = 0.5f;
constexpr float kNoHit = 2.0f;  // beyond the ray's end (its fractions run from 0 to 1)
}  // namespace

// The inverse of the render view's projection: the screen centre is the view axis, and half
// the larger side of the view spans half the orthographic width (or tan of half the field of
// view at depth 1).
bool CGameLogic::GetCursorRay(Vector3& start, Vector3& end) const {
  const CVerezIvor* park = GetPark();
  const CGenericCam* camera = GetCamera();
  if (park == nullptr || camera == nullptr) return false;
  float width = static_cast<float>(park->GetViewWidth());
  float height = static_cast<float>(park->GetViewHeight());
  if (width <= 0.0f || height <= 0.0f) return false;
  const POINT cursor = GetCursor();
  const float halfSize = 0.5f * std::max(width, height);
  const float right = (0.5f * width - static_cast<float>(cursor.x)) / halfSize;  // along Y (left)
  const float up = (0.5f * height - static_cast<float>(cursor.y)) / halfSize;    // along Z
  const COrientation& frame = camera->GetFrame();
  const ViewFrustum& view = camera->GetView();
  if (view.IsOrthographic()) {
    const float half = 0.5f * view.GetOrthoWidth();
    start = frame.GetPosition() + frame.GetYAxis() * (right * half) + frame.GetZAxis() * (up * half);
    end = start + frame.GetXAxis() * kRayLength;
    return true;
  }
  const float t = view.GetTanHalfFov();
  Vector3 direction = frame.GetXAxis() + frame.GetYAxis() * (right * t) + frame.GetZAxis() * (up * t);
  if (!direction.Normalize()) return false;
  start = frame.GetPosition();
  end = start + direction * kRayLength;
  return true;
}

// The nearest piece the ray meets; never the terrain, which is not a piece to pick up or select.
// The ray tests texels, so it stops on what the player sees (a spinner's disc) and goes on through
// the clear parts of a see-through texture to what is drawn behind them.
uint32_t CGameLogic::PickPieceUnderCursor(float* time) const {
  if (time != nullptr) *time = kNoHit;
  Vector3 start, end;
  if (!GetCursorRay(start, end)) return kNone;
  uint32_t best = kNone;
  float bestTime = kNoHit;
  for (uint32_t id : GetPlacedSectionList()) {
    CSkatableSection* piece = GetSection(id);
    if (piece == nullptr || piece->IsTerrain() || piece->IsHeld() || piece->GetMeshInstance() == nullptr) continue;
    RayInfo ray(start, end);
    ray.mode |= QueryMode::kTexelAlpha;
    if (piece->GetMeshInstance()->IntersectRay(ray, nullptr, nullptr) && ray.result.time < bestTime) {
      bestTime = ray.result.time;
      best = id;
    }
  }
  if (time != nullptr) *time = bestTime;
  return best;
}

uint32_t CGameLogic::PickSkaterUnderCursor(bool inflated, float* time) const {
  if (time != nullptr) *time = kNoHit;
  Vector3 start, end;
  if (!GetCursorRay(start, end)) return kNone;
  uint32_t best = kNone;
  float bestTime = kNoHit;
  for (CSkater* skater : GetSkaterList()) {
    if (skater->GetMeshInstance() == nullptr) continue;
    Box bounds;
    skater->GetMeshInstance()->GetWorldBounds(bounds);
    if (inflated) bounds.Inflate(Vector3(kSkaterSlack, kSkaterSlack, kSkaterSlack));
    RayInfo ray(start, end);
    if (ray.IntersectBox(bounds) && ray.result.time < bestTime) {
      bestTime = ray.result.time;
      best = skater->GetID();
    }
  }
  if (time != nullptr) *time = bestTime;
  return best;
}

// The ground under the cursor, as the cell that holds it (clamped into the grid).
bool CGameLogic::PickGridCell(GridCell& out) const {
  CVerezIvor* park = GetPark();
  const CGrid* grid = park != nullptr ? park->GetGrid() : nullptr;
  Vector3 start, end;
  if (grid == nullptr || !GetCursorRay(start, end)) return false;
  RayInfo ray(start, end);
  CBoundedObject* hit = nullptr;
  // The ground is the static terrain the grid was measured from.
  if (!park->GetOctree().RayQuery(ray, &hit, CBoundedObject::kStaticTerrain, true, kRayStep)) return false;
  const Vector3 point = start + (end - start) * ray.result.time;
  out = grid->GetCellClamped(point.x, point.y);
  return true;
}
