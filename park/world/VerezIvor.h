// CVerezIvor: the park world, the one world object of the program, on the CGameWorld base: the
// park record, the clock, the grid, the fonts, the status text and the park's simulation step.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/world/GameWorld.h"
#include "core/math/NonNegativeDouble.h"
#include "park/grid/Grid.h"
#include "park/grid/Path3D.h"
#include "park/world/ParkState.h"
#include "park/world/SimClock.h"

class CGameLogic;
class CRenderView;
class CSceneDrawInterface;
class CParkStatusLabel;
class CTexture;
class CUILabel;
class ParkFontSet;
struct PixelBufferDesc;

// The global switch for the debug keys; false at start. Held apart from the park because the
// keys outlive any one game.
bool AreDebugKeysEnabled();
void SetDebugKeysEnabled(bool on);

class CVerezIvor : public CGameWorld {
 public:
  // Room for the status text with its two marker bytes and terminator.
  static constexpr size_t kStatusCapacity = 100;
  static constexpr size_t kMaxStatusLength = kStatusCapacity - 3;  // 97 characters
  static constexpr int kDebugFlagCount = 9;
  static constexpr int kDebugSquareStates = 3;  // the grid's squares coloured by what they allow
  static constexpr int kDebugLevelView = 7;     // the level's path graphs and terrain polygons over the scene
  // Held together, then let go, these letters switch the debug keys on or off.
  static constexpr int kDebugChord[3] = {'D', 'B', 'G'};
  static constexpr int kSlowMotionKey = 0xC0;  // the key left of the 1 key

  CVerezIvor(HWND window, HINSTANCE instance);
  ~CVerezIvor() override;

  void HandleMessage(uint32_t senderID, const uint8_t* message) override;
  // The status text beside the cursor, then the base overlay (the cursor itself).
  void DrawOverlay(CRenderView* view, PixelBufferDesc** locked) override;
  void ClearWorld() override;
  std::unique_ptr<CGameObject> CreateObject(uint32_t typeCode) override;

  // --- Park record and money ---
  ParkState& GetParkState() { return m_state; }
  const ParkState& GetParkState() const { return m_state; }
  // Negative to charge; an amount that is not a number is refused and logged.
  void AddMoney(float amount);
  double GetMoney() const { return m_state.GetMoney(); }
  double GetParkQuality() const;
  double GetParkRating() const;

  // --- Clock ---
  CSimClock& GetClock() { return m_clock; }
  const CSimClock& GetClock() const { return m_clock; }
  // Real seconds since the skater averages were refreshed; a saved game carries it on.
  float GetAveragesTimer() const { return m_averagesTimer; }
  void SetAveragesTimer(float seconds) { m_averagesTimer = seconds; }

  // --- Status text ---
  // Text shown beside the cursor; null or empty clears it; longer texts are cut to kMaxStatusLength.
  // keepClear: the control the text tells about, which the text is then drawn beside rather than
  // over (it names a button whose own label is text).
  void SetStatusText(const char* text, const RECT* keepClear = nullptr);
  // The composed label text: 0x01, the text, 0x02; empty when cleared.
  const char* GetStatusLabelText() const;
  // The interface label behind the status text; null when no interface library was registered.
  CUILabel* GetStatusLabel() const;

  // --- The park's side of the controller's tick, in the order the controller runs them ---
  // Steps that run whenever the game is not paused: one sponsorship offer, the clock, the skater
  // averages once per real second, and the money normalisation.
  void TickParkState(float dt);
  // The simulation proper, unless the debug hold is on: every object's update, then arrivals.
  void TickSimulation(float dt);
  // The debug hold of the simulation: debug keys enabled and Ctrl, Shift and P held.
  bool IsSimulationHeld() const;

  // The park's simulation step: debug chord, slow-motion keys, then every game object's update.
  void Simulate(float dt);
  // Puts a sponsorship notice on top for the lowest slot whose threshold the rating passed and
  // that was not offered yet; at most one per call. Returns the slot, or -1.
  int OfferSponsorship();
  void UpdateSkaterAverages();
  // Counts simulated time towards the next arrival and lets one skater in when it is due.
  void UpdateArrivals(float dt);
  // How many skaters the park draws: arrivals stop at this count; 0 while the pieces give it no
  // variety and no connectivity.
  double GetArrivalTarget() const;
  // One arrival at a random entrance square. Returns the skater's object ID, or 0 when the park
  // has no grid or no entrance (nobody can arrive) or the world refused the skater.
  uint32_t SpawnSkater();
  // Normalises the money pair (done once per tick by TickParkState).
  void NormaliseMoney() { m_state.NormaliseMoney(); }

  // --- Drawing and level set-up ---
  // The in-game layer's 3D draw.
  void RenderScene(CRenderView* view, PixelBufferDesc** locked);
  // The textures a level wants uploaded before play (not owned).
  void SetLevelTextures(const std::vector<CTexture*>& textures) { m_levelTextures = textures; }
  const std::vector<CTexture*>& GetLevelTextures() const { return m_levelTextures; }
  void PreloadLevelTextures();
  // The detail level handed to the renderer: 0 full detail, 2 the coarsest.
  static uint32_t TextureDetailLevel(float textureDetailSetting);

  // --- Parts the park holds ---
  CGrid* GetGrid() const { return m_grid.get(); }
  // A previous grid is deleted.
  void SetGrid(std::unique_ptr<CGrid> grid);
  // Shutdown lets go of the grid before the objects are deleted, so that objects leaving the park
  // do not touch it; the grid itself is deleted with the park.
  void ClearGrid();
  ParkFontSet* GetFontSet() const { return m_fontSet.get(); }
  CGameLogic* GetController() const { return m_controller; }
  // The skater the player drives, by object ID; 0xFFFFFFFF while the player drives none.
  uint32_t GetPlayerSkaterId() const { return m_playerSkaterId; }
  void SetPlayerSkaterId(uint32_t id) { m_playerSkaterId = id; }
  void SetController(CGameLogic* controller) { m_controller = controller; }
  // The counter a new game creates; null before one starts.
  NonNegativeDouble* GetCounter() const { return m_counter.get(); }
  void CreateCounter() { m_counter = std::make_unique<NonNegativeDouble>(); }
  // The three placement refresh flags, set together: 1 after a placement and while the park
  // camera looks on, 0 while a piece is held and under the other cameras.
  void SetPlacementRefresh(uint32_t value) { m_placementRefresh[0] = m_placementRefresh[1] = m_placementRefresh[2] = value; }
  uint32_t GetPlacementRefresh(int index) const { return index >= 0 && index < 3 ? m_placementRefresh[index] : 0; }
  // The level's path graphs: filed in the octree and kept until the world is cleared.
  void AddPath(std::unique_ptr<C3DPath>&& path);
  const std::vector<std::unique_ptr<C3DPath>>& GetPaths() const { return m_paths; }
  bool GetDebugFlag(int index) const;
  // The overlays the debug flags switch on, drawn by the in-game controller inside its frame.
  void DrawDebugOverlays(CSceneDrawInterface& view) const;
  void ToggleDebugFlag(int index);

 private:
  void UpdateDebugChord();

  ParkState m_state;
  std::unique_ptr<ParkFontSet> m_fontSet;
  CGameLogic* m_controller = nullptr;
  std::unique_ptr<NonNegativeDouble> m_counter;
  std::unique_ptr<CGrid> m_grid;
  std::unique_ptr<CGrid> m_detachedGrid;  // let go of by ClearGrid
  CSimClock m_clock;
  uint8_t m_debugFlags[kDebugFlagCount] = {};
  uint32_t m_placementRefresh[3] = {};
  std::unique_ptr<CParkStatusLabel> m_statusLabel;
  bool m_statusKeepsClear = false;
  RECT m_statusKeepClear = {0, 0, 0, 0};
  std::vector<CTexture*> m_levelTextures;
  std::vector<std::unique_ptr<C3DPath>> m_paths;
  uint32_t m_playerSkaterId = 0xFFFFFFFFu;
  float m_averagesTimer = 0.0f;  // real seconds since the skater averages were refreshed
  bool m_chordLatched = false;
};
