// CGameLogic: the player's view of the park - turning, tilting, following, scrolling, zooming
// and panning; placing the current camera every tick; ranking the skaters by distance to it.
#include "park/controller/GameLogic.h"

#include <algorithm>
#include <cmath>

#include "core/input/InputMan.h"
#include "core/services/WorldPointer.h"
#include "park/controller/ParkPopupFactory.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/PieceFootprint.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"
#include "scene/camera/GenericCam.h"
#include "scene/camera/ObserverCam.h"
#include "scene/camera/ScriptCam.h"
#include "scene/camera/SkateCam.h"
#include "scene/lighting/FogState.h"

namespace {
constexpr float kOrthoNear = 1.0f;
// Room left beyond the nearest and farthest corner of the world, so that neither sits on a
// clipping plane.
constexpr float kOrthoMargin = 1.0f;
constexpr float kFollowNear = 0.4f;
constexpr float kMinTilt = -1.4f;
constexpr float kMaxTilt = -0.1f;
constexpr float kDegrees = 0.017453292519943295f;
}  // namespace

CGenericCam* CGameLogic::GetCamera() const {
  const CVerezIvor* park = GetPark();
  return park != nullptr ? park->GetCurrentCamera() : nullptr;
}

bool CGameLogic::IsOrthographicView() const {
  const CGenericCam* camera = GetCamera();
  return camera != nullptr && camera->GetView().IsOrthographic();
}

// The three cameras the park switches between, added when the level brought none of its own.
void CGameLogic::EnsureCameras() {
  CVerezIvor* park = GetPark();
  while (park->GetCameraCount() <= kParkCamera) {
    const size_t index = park->GetCameraCount();
    std::unique_ptr<CGenericCam> camera;
    if (index == kChaseCamera)
      camera = std::make_unique<CSkateCam>();
    else
      camera = std::make_unique<CObserverCam>();
    if (index == kParkCamera) camera->GetView().SetOrthographic();
    if (park->AddCamera(std::move(camera)) == CGameWorld::kNoCamera) return;
  }
  park->SetCurrentCamera(kParkCamera);
}

// --- Turning, tilting, following, scrolling ---

void CGameLogic::RotateView(float angle) {
  const float s = std::sin(angle), c = std::cos(angle);
  const Vector3 d = m_viewDirection;
  m_viewDirection.x = d.y * s + d.x * c;
  m_viewDirection.y = d.y * c - d.x * s;
}

void CGameLogic::TiltView(float change) {
  const Vector3 d = m_viewDirection;
  const float pitch = std::atan2(d.z, std::sqrt(d.x * d.x + d.y * d.y)) + change;
  if (pitch < kMinTilt || pitch > kMaxTilt) return;
  const float heading = std::atan2(d.y, d.x);
  m_viewDirection = Vector3(std::cos(heading) * std::cos(pitch), std::sin(heading) * std::cos(pitch), std::sin(pitch));
}

void CGameLogic::FollowSelectedSkater(float dt) {
  const CSkater* skater = GetSkater(m_selectedSkaterId);
  if (skater == nullptr) return;
  const Vector3 d = skater->GetFrame().GetPosition() + Vector3(0.0f, 0.0f, 0.5f) - m_focus;
  // A long step (a stall, a load) jumps onto the skater instead of overshooting it.
  m_focus += dt <= 1.0f ? d * (dt * 10.0f) : d;
}

void CGameLogic::ScrollAtScreenEdges() {
  const CVerezIvor* park = GetPark();
  if (park == nullptr) return;
  const POINT cursor = GetCursor();
  if (cursor.x <= 0)
    PanCamera(180.0f);
  else if (cursor.x >= park->GetViewWidth() - 1)
    PanCamera(0.0f);
  else if (cursor.y <= 0)
    PanCamera(90.0f);
  else if (cursor.y >= park->GetViewHeight() - 1)
    PanCamera(270.0f);
}

// --- Zoom, pan and the held piece's bounds ---

bool CGameLogic::ZoomIn() {
  CGenericCam* camera = GetCamera();
  if (camera == nullptr) return false;
  ViewFrustum& view = camera->GetView();
  if (view.IsOrthographic()) {
    const float w = view.GetOrthoWidth() * 0.8f;
    if (w <= 1.0f) return false;
    view.SetOrthoWidth(w);
    return true;
  }
  view.SetFieldOfView(std::min(3.0f, std::max(0.2f, view.GetFieldOfView() * 0.8f)));
  return true;
}

bool CGameLogic::ZoomOut() {
  CGenericCam* camera = GetCamera();
  if (camera == nullptr) return false;
  ViewFrustum& view = camera->GetView();
  if (view.IsOrthographic()) {
    const float w = view.GetOrthoWidth() * 1.25f;
    if (w >= 300.0f) return false;
    view.SetOrthoWidth(w);
    return true;
  }
  view.SetFieldOfView(std::min(3.0f, std::max(0.2f, view.GetFieldOfView() * 1.25f)));
  return true;
}

void CGameLogic::PanCamera(float degrees) {
  Vector3 x(m_viewDirection.x, m_viewDirection.y, 0.0f);
  if (!x.Normalize()) return;  // looking straight down: no heading to pan by
  const Vector3 y(-x.y, x.x, 0.0f);
  float step = 0.02f;
  if (const CGenericCam* camera = GetCamera())
    if (camera->GetView().IsOrthographic()) {
      const float w = camera->GetView().GetOrthoWidth();
      step = 0.02f * w * (2.0f - w * 0.0033333334f);
    }
  const float a = degrees * kDegrees;
  m_focus += (x * std::sin(a) - y * std::cos(a)) * step;
  const CGrid* grid = GetPark() != nullptr ? GetPark()->GetGrid() : nullptr;
  if (grid == nullptr) return;
  const Vector3& o = grid->GetOrigin();
  const float width = grid->GetSize().column * grid->GetSquareWidth();
  const float depth = grid->GetSize().row * grid->GetSquareDepth();
  m_focus.x = o.x + std::min(width, std::max(0.0f, m_focus.x - o.x));
  m_focus.y = o.y + std::min(depth, std::max(0.0f, m_focus.y - o.y));
}

void CGameLogic::KeepHeldPieceOnGrid() {
  CSkatableSection* piece = GetSection(m_heldId);
  if (piece == nullptr) return;
  COrientation frame = piece->GetWorldMatrix();
  if (KeepFootprintOnGrid(*piece, frame)) piece->MoveTo(frame);
}

bool CGameLogic::KeepFootprintOnGrid(const CSkatableSection& piece, COrientation& frame) const {
  const CGrid* grid = GetPark() != nullptr ? GetPark()->GetGrid() : nullptr;
  if (grid == nullptr) return false;
  const Box box = FootprintRectangle(piece.GetDefinition(), frame, *grid);
  const Vector3& o = grid->GetOrigin();
  const float right = o.x + grid->GetSize().column * grid->GetSquareWidth();
  const float top = o.y + grid->GetSize().row * grid->GetSquareDepth();
  const Vector3 before = frame.position;
  if (box.min.x < o.x)
    frame.position.x += o.x - box.min.x;
  else if (box.max.x > right)
    frame.position.x -= box.max.x - right;
  if (box.min.y < o.y)
    frame.position.y += o.y - box.min.y;
  else if (box.max.y > top)
    frame.position.y -= box.max.y - top;
  return frame.position.x != before.x || frame.position.y != before.y;
}

// --- Placing the camera ---

void CGameLogic::UpdateCamera(float dt) {
  m_runningTime += dt;
  CGenericCam* camera = GetCamera();  // null without a park
  if (camera == nullptr) return;
  if (camera->GetView().IsOrthographic()) {
    PlaceOrthographicCamera(*camera);
    return;
  }
  PlaceFollowCamera(*camera, dt);
  // A camera flight that has landed (or was ended by its own script) gives the park view back.
  if (const auto* flight = dynamic_cast<const CScriptCam*>(camera); flight != nullptr && !flight->IsPlaying())
    SetPerspectiveView(false, nullptr);
}

// Backed off along the view so that the whole world box lies between the clipping planes.
void CGameLogic::PlaceOrthographicCamera(CGenericCam& camera) {
  CVerezIvor* park = GetPark();
  park->SetPlacementRefresh(1);
  SetFog(false, 0.0f);
  Vector3 direction = m_viewDirection;
  if (!direction.Normalize()) return;
  const Box world = park->GetOctree().GetRootBox();
  float tmin = 0.0f, tmax = 0.0f;
  for (int i = 0; i < 8; ++i) {
    const float t = direction.Dot(world.GetCorner(i) - m_focus);
    tmin = i == 0 ? t : std::min(tmin, t);
    tmax = i == 0 ? t : std::max(tmax, t);
  }
  const float back = kOrthoNear + kOrthoMargin;
  COrientation& frame = camera.GetFrame();
  frame.position = m_focus + direction * (tmin - back);
  frame.LookAt(frame.position + direction, true);
  camera.GetView().SetNear(kOrthoNear);
  camera.GetView().SetFar(tmax - tmin + back + kOrthoMargin);
}

void CGameLogic::PlaceFollowCamera(CGenericCam& camera, float dt) {
  CVerezIvor* park = GetPark();
  park->SetPlacementRefresh(0);
  CSkater* skater = GetSkater(m_selectedSkaterId);
  const COrientation identity;
  camera.UpdateCamera(skater != nullptr ? &skater->GetFrame() : &identity, dt, park->GetInputManager(), 0, 0, skater);
  const float far = 20.0f + 180.0f * park->GetParkState().viewDistance;
  camera.GetView().SetFar(far);
  camera.GetView().SetNear(kFollowNear);
  SetFog(park->GetParkState().fogEnabled != 0, far);
}

void CGameLogic::SetFog(bool on, float distance) {
  CVerezIvor* park = GetPark();
  if (FogState* fog = park->GetFogState()) {
    if (on) fog->SetVisibilityDistance(distance);
    fog->enabled = on;
  }
  CRenderView* view = park->GetRenderView();
  if (view != nullptr && view->GetRasterizer() != nullptr) view->GetRasterizer()->SetFogEnable(on);
}

void CGameLogic::RankSkatersByCameraDistance() {
  const CGenericCam* camera = GetCamera();
  m_ranking.clear();
  // The rank is each skater's sound rank too: only the nearest few are heard. Without a camera
  // there is no one to hear them.
  if (camera == nullptr) {
    for (CSkater* skater : GetSkaterList()) skater->SetSoundRank(CSkater::kNone);
    return;
  }
  const COrientation& frame = camera->GetFrame();
  const bool alongLine = camera->GetView().IsOrthographic();
  std::vector<std::pair<float, CSkater*>> order;
  for (CSkater* skater : GetSkaterList()) {
    const Vector3 v = skater->GetFrame().GetPosition() - frame.GetPosition();
    float d = v.LengthSquared();
    // The overhead camera sees the park from far away: what matters is the distance from its line.
    if (alongLine) d -= v.Dot(frame.GetXAxis()) * v.Dot(frame.GetXAxis());
    order.emplace_back(d, skater);
  }
  std::stable_sort(
      order.begin(), order.end(),
      [](const std::pair<float, CSkater*>& a, const std::pair<float, CSkater*>& b) { return a.first < b.first; });
  for (size_t rank = 0; rank < order.size(); ++rank) {
    m_ranking.push_back(order[rank].second->GetID());
    order[rank].second->SetSoundRank(static_cast<uint32_t>(rank));
  }
}

int CGameLogic::GetSkaterRank(uint32_t skaterId) const {
  auto it = std::find(m_ranking.begin(), m_ranking.end(), skaterId);
  return it != m_ranking.end() ? static_cast<int>(it - m_ranking.begin()) : -1;
}

// --- The view from a piece ---

void CGameLogic::SetPerspectiveView(bool on, const float* frame12) {
  CVerezIvor* park = GetPark();
  if (park == nullptr) return;
  if (on) {
    if (!IsOrthographicView() || frame12 == nullptr || park->GetCameraCount() <= kPieceCamera) return;
    park->SetCurrentCamera(kPieceCamera);
    COrientation& frame = park->GetCurrentCamera()->GetFrame();
    for (int row = 0; row < 3; ++row)
      frame.axes.m[row] = Vector3(frame12[row * 3], frame12[row * 3 + 1], frame12[row * 3 + 2]);
    frame.position = Vector3(frame12[9], frame12[10], frame12[11]);
    m_perspective = 1;
    park->DeactivateAllLayers();
    SetActive(true);
    if (CParkPopupFactory* screens = GetParkPopupFactory()) park->AddLayerOnTop(screens->CreateExitPerspective());
    ShowPointer(false);
    return;
  }
  if (IsOrthographicView()) return;
  m_perspective = 0;
  park->SetCurrentCamera(kParkCamera);
  park->ActivateAllLayers();
  ShowPointer(true);
}

// The flight only moves the camera: the park runs on under it exactly as it would without it.
bool CGameLogic::StartCameraFlight() {
  CVerezIvor* park = GetPark();
  if (park == nullptr || !IsOrthographicView() || m_heldId != kNone || m_skaterControl != 0) return false;
  for (size_t i = 0; i < park->GetCameraCount(); ++i) {
    auto* flight = dynamic_cast<CScriptCam*>(park->GetCamera(i));
    if (flight == nullptr || flight->GetSegmentCount() == 0) continue;
    flight->Play();
    park->SetCurrentCamera(static_cast<uint32_t>(i));
    m_perspective = 1;
    park->DeactivateAllLayers();
    SetActive(true);
    ShowPointer(false);
    return true;
  }
  return false;
}

void CGameLogic::ShowPointer(bool show) const {
  CVerezIvor* park = GetPark();
  if (CWorldPointer* pointer = park != nullptr ? park->GetMouseCursor() : nullptr) pointer->SetVisible(show);
}
