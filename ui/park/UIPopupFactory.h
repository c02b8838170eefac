// CUIPopupFactory: the interface library's layers for the in-game controller - pop-ups, escape
// menu, exit button, the driven skater's heads-up display and the main menu.
#pragma once

#include "park/controller/ParkPopupFactory.h"

class CUIPopupFactory : public CParkPopupFactory {
 public:
  std::unique_ptr<CGameActionLayer> CreateSectionPopup(uint32_t objectId) override;
  std::unique_ptr<CGameActionLayer> CreateFacilityPopup(uint32_t objectId) override;
  std::unique_ptr<CGameActionLayer> CreateSkaterPopup(uint32_t objectId) override;
  std::unique_ptr<CGameActionLayer> CreateEscapeMenu() override;
  bool IsEscapeMenuOpen() const override;
  std::unique_ptr<CGameActionLayer> CreateExitPerspective() override;
  std::unique_ptr<CGameActionLayer> CreateSkaterPlayerInterface() override;
  std::unique_ptr<CGameActionLayer> CreateMainScreen() override;
};
