// CParkPopupFactory: the interface layers the in-game controller opens (pop-ups, menus, the
// heads-up display of a driven skater), made by the interface library, which sits above the park.
#pragma once

#include <cstdint>
#include <memory>

#include "core/world/GameActionLayer.h"

class CParkPopupFactory {
 public:
  virtual ~CParkPopupFactory() = default;
  // The pop-up of a selected piece or skater, by object id; null when there is none to show.
  virtual std::unique_ptr<CGameActionLayer> CreateSectionPopup(uint32_t objectId) = 0;
  virtual std::unique_ptr<CGameActionLayer> CreateFacilityPopup(uint32_t objectId) = 0;
  virtual std::unique_ptr<CGameActionLayer> CreateSkaterPopup(uint32_t objectId) = 0;
  // The in-game escape menu, and whether one is open now.
  virtual std::unique_ptr<CGameActionLayer> CreateEscapeMenu() = 0;
  virtual bool IsEscapeMenuOpen() const = 0;
  // The button that leaves the view from a piece or the control of a skater.
  virtual std::unique_ptr<CGameActionLayer> CreateExitPerspective() = 0;
  // The heads-up display of the skater the player drives.
  virtual std::unique_ptr<CGameActionLayer> CreateSkaterPlayerInterface() = 0;
  // The main menu, for when the game is over.
  virtual std::unique_ptr<CGameActionLayer> CreateMainScreen() = 0;
};

// The registered factory, or null: with none registered the controller opens nothing.
CParkPopupFactory* GetParkPopupFactory();
// Takes the factory over; null unregisters.
void SetParkPopupFactory(std::unique_ptr<CParkPopupFactory> factory);
