// CGameLogic: the in-game controller, the game-mode layer that runs a park: its tick drives the
// park and the camera, and it turns the player's clicks and keys into picking, placing, moving,
// cloning and selling pieces, selecting skaters and pieces, and driving a skater.
#pragma once

#include <cstdint>
#include <vector>

#include "core/math/Box.h"
#include "core/math/Orientation.h"
#include "core/math/Vector3.h"
#include "core/world/GameActionLayer.h"
#include "park/grid/Grid.h"
#include "park/saved/ControllerSaveFields.h"
#include "park/saved/SavedGame.h"
#include "platform/system/Win32.h"

class CGenericCam;
class CSceneDrawInterface;
class CSkatableSection;
class CSkater;
class CVerezIvor;
struct ObjectDefinition;

class CGameLogic : public CGameActionLayer {
 public:
  static constexpr uint32_t kNone = 0xFFFFFFFFu;
  // Input actions.
  enum Action : uint32_t {
    kActionPrimary = 49,
    kActionSecondary = 50,
    kActionSell = 51,
    kActionPanLeft = 52,
    kActionPanRight = 53,
    kActionPanUp = 54,
    kActionPanDown = 55,
    kActionZoomIn = 56,
    kActionZoomOut = 57,
    kActionTiltUp = 58,
    kActionTiltDown = 59,
    kActionTurnLeft = 60,
    kActionTurnRight = 61,
    kActionCancel = 71,
    kActionControl = 72,
    kActionHideInterface = 73
  };
  // The world's cameras by index.
  static constexpr uint32_t kPieceCamera = 0;
  static constexpr uint32_t kChaseCamera = 1;
  static constexpr uint32_t kParkCamera = 2;
  static constexpr uint32_t kPlaceableColour = 0x3F00FF00u;
  static constexpr uint32_t kBlockedColour = 0x3FFF0000u;
  static constexpr uint32_t kCursorSquareColour = 0x3FFFFFFFu;
  static constexpr uint32_t kBackdropColour = 0xFF000000u;  // the frame beside the terrain
  static constexpr uint32_t kFlightKey = 'V';               // starts the level's camera flight
  static constexpr float kPerspectiveFov = 1.2566371f;  // 72 degrees, from a piece or behind a skater
  static constexpr float kTiltStep = 0.15707963f;       // pi / 20
  static constexpr float kMaxHeightStep = 0.005f;       // the most a footprint's squares may differ
  static constexpr const char* kQuickSaveFile = "BrimwellSavedGame";

  CGameLogic();
  ~CGameLogic() override;

  // --- Layer ---
  void Init(bool created) override;
  void Update(float dt) override { Tick(dt); }
  void Tick(float dt);
  void HandleInputEvent(const InputEvent& event) override;
  void Draw(CRenderView* view, PixelBufferDesc** locked) override;
  // The debug overlays and the placement squares over the drawn scene (Draw calls them in a frame
  // of their own).
  void DrawSceneOverlays(CRenderView& view);
  // Never over in this game; a true answer puts the main menu on top.
  virtual bool IsGameOver() const { return false; }
  const char* GetInfoString() const override { return "<Game Logic>"; }

  // --- Pieces ---
  // True when the held piece may be placed where it stands; fills the highlight either way.
  bool CanPlaceHeldObject();
  void PlaceHeldObject(uint32_t id);
  void PickUpObject(uint32_t id);
  // A paid copy of a placed piece becomes the held piece; nothing without the money.
  void CloneObject(uint32_t id);
  // A new piece of the definition at the frame, paid for, becomes the held piece (the build
  // menus buy through this). Returns its id, or kNone when nothing was bought.
  uint32_t BuyObject(const ObjectDefinition& definition, const COrientation& frame);
  // Sells a placed or held piece at its resale value, lifting it out of the park first.
  void SellObject(uint32_t id);
  uint32_t GetHeldObjectId() const { return m_heldId; }
  uint32_t GetSelectedSkaterId() const { return m_selectedSkaterId; }
  uint32_t GetSelectedPieceId() const { return m_selectedPieceId; }
  void SetSelectedSkater(uint32_t id) { m_selectedSkaterId = id; }
  // A pop-up closed by its own button lets go of the skater or piece it showed, as Escape does;
  // nothing happens when id is not what is selected, or is the skater being driven.
  void ReleaseSelection(uint32_t id);
  const std::vector<GridCell>& GetHighlightSquares() const { return m_highlight; }
  uint32_t GetHighlightColour() const { return m_highlightColour; }

  // --- Skaters and bonuses ---
  void SetSkaterControl(bool on);
  bool IsControllingSkater() const { return m_skaterControl != 0; }
  void AwardTrickBonus(float amount);
  // What a landed trick sequence of the player's skater earns per unit of its value: 1 while the
  // player drives a skater, 0 otherwise.
  float GetTrickBonusFactor() const { return m_skaterControl != 0 ? 1.0f : 0.0f; }
  float GetLargestTrickBonus() const { return m_largestBonus; }
  float GetExhibitionMoney() const { return m_exhibitionMoney; }
  float GetExhibitionTotal() const { return m_exhibitionTotal; }
  void ResetExhibitionMoney() { m_exhibitionMoney = 0.0f; }

  // --- Camera (GameLogicCamera.cpp) ---
  void RotateView(float angle);
  void TiltView(float change);
  void FollowSelectedSkater(float dt);
  void ScrollAtScreenEdges();
  void UpdateCamera(float dt);
  void RankSkatersByCameraDistance();
  // Skater ids, nearest to the camera first, as last ranked; and one skater's place (-1 none).
  const std::vector<uint32_t>& GetSkaterRanking() const { return m_ranking; }
  int GetSkaterRank(uint32_t skaterId) const;
  // frame12: three axis rows, then the position; required to enter.
  void SetPerspectiveView(bool on, const float* frame12);
  bool IsPerspectiveView() const { return m_perspective != 0; }
  // The level's camera flight: from the park view, the level's first script camera plays as the
  // current camera with the interface put away, as in the view from a piece; the park view comes
  // back when it lands or on Escape. False when there is no flight to start.
  bool StartCameraFlight();
  bool ZoomIn();
  bool ZoomOut();
  void PanCamera(float degrees);
  void KeepHeldPieceOnGrid();
  // Moves the frame so that the piece's footprint lies on the grid; true when it moved.
  bool KeepFootprintOnGrid(const CSkatableSection& piece, COrientation& frame) const;
  const Vector3& GetFocus() const { return m_focus; }
  void SetFocus(const Vector3& focus) { m_focus = focus; }
  const Vector3& GetViewDirection() const { return m_viewDirection; }
  void SetViewDirection(const Vector3& direction) { m_viewDirection = direction; }

  // --- Picking (GameLogicPicking.cpp) ---
  // The cursor's ray, 2000 units long: perspective from the camera through the cursor's point on
  // the view plane; orthographic from that point along the view axis.
  bool GetCursorRay(Vector3& start, Vector3& end) const;
  // The nearest piece whose drawn texels the ray meets (it passes the clear ones); `time`, when
  // given, receives the hit's fraction along the ray (above 1 without a hit).
  uint32_t PickPieceUnderCursor(float* time = nullptr) const;
  // inflated: try the skaters' bounds grown by half a unit. `time` as for the pieces.
  uint32_t PickSkaterUnderCursor(bool inflated, float* time = nullptr) const;
  bool PickGridCell(GridCell& out) const;

  // --- Debug (GameLogicDebug.cpp) ---
  void HandleDebugKeys();
  void RebuildSoftwareTextures();
  void ClearPark();
  // Forgets every piece and skater of the park but the terrain, deleting them at once.
  static void ClearParkObjects(CVerezIvor& park);

  // --- Saved games ---
  bool SaveGame(const char* path);
  // base: what the file's park block is read over (CSavedGame::RecordBase).
  bool LoadGame(const char* path, CSavedGame::RecordBase base = CSavedGame::RecordBase::kPark);
  // The same from a file's bytes already read.
  bool LoadGame(const uint8_t* data, size_t size, CSavedGame::RecordBase base = CSavedGame::RecordBase::kPark);
  ControllerSaveFields GetSaveFields() const;
  void ApplySaveFields(const ControllerSaveFields& fields);

  static bool IsInterfaceHidden();

 private:
  CVerezIvor* GetPark() const;
  CSkatableSection* GetSection(uint32_t id) const;
  CSkater* GetSkater(uint32_t id) const;
  CGenericCam* GetCamera() const;
  POINT GetCursor() const;
  bool IsOrthographicView() const;

  // Tick steps.
  void ServeMusic();
  void CheckSelectedSkater();
  void MoveHeldPieceToCursor();
  void ReadHeldKeys(float dt);
  bool IsWindowInactive() const;

  // Input steps (GameLogicInput.cpp).
  void Cancel();
  void PrimaryAction();
  void SecondaryAction();
  void SelectUnderCursor();
  void ToggleInterface();

  // Pieces.
  void ReturnHeldPiece();
  void OpenPopup(std::unique_ptr<CGameActionLayer> layer);
  void ClosePopup();
  CGameActionLayer* GetPopup() const;

  // Camera helpers.
  void PlaceOrthographicCamera(CGenericCam& camera);
  void PlaceFollowCamera(CGenericCam& camera, float dt);
  void SetFog(bool on, float distance);
  void EnsureCameras();
  // The world's software pointer, hidden while the park is seen from a piece.
  void ShowPointer(bool show) const;

  // Drawing (GameLogicDebug.cpp).
  void ClearFrame(CRenderView& view, PixelBufferDesc** locked);
  void DrawOverlayFrame(CRenderView& view);
  void DrawHighlights(CSceneDrawInterface& view);
  void DrawOwnerLines(CSceneDrawInterface& view) const;
  void DrawStatistics(CRenderView& view, PixelBufferDesc** locked) const;

  uint8_t m_firstTick = 0;
  uint32_t m_heldId = kNone;
  uint32_t m_selectedSkaterId = kNone;
  uint32_t m_selectedPieceId = kNone;
  uint8_t m_skaterControl = 0;
  uint8_t m_perspective = 0;
  CGameActionLayer* m_popup = nullptr;  // owned by the world's stack; checked there before use
  std::vector<GridCell> m_highlight;
  uint32_t m_highlightColour = kBlockedColour;
  Vector3 m_focus;
  Vector3 m_viewDirection;
  float m_countdownA = -1.0f;
  uint8_t m_mouseOverUI = 0;
  float m_countdownB = 0.0f;
  float m_largestBonus = 0.0f;
  float m_exhibitionMoney = 0.0f;
  float m_exhibitionTotal = 0.0f;
  // Where the held piece stood before it was lifted, so that it can be put back.
  bool m_heldHasOrigin = false;
  COrientation m_heldOrigin;
  std::vector<uint32_t> m_ranking;
  float m_runningTime = 0.0f;
};
