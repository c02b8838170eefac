// CUIPopupFactory: one layer of the interface library per request of the controller.
#include "ui/park/UIPopupFactory.h"

#include "ui/screens/EscapeMenuScreen.h"
#include "ui/park/ExitPerspective.h"
#include "ui/park/FacilityPopup.h"
#include "ui/screens/MainScreen.h"
#include "ui/park/SectionPopup.h"
#include "ui/park/SkaterPlayerInterface.h"
#include "ui/park/SkaterPopup.h"

std::unique_ptr<CGameActionLayer> CUIPopupFactory::CreateSectionPopup(uint32_t objectId) {
  return std::make_unique<CSectionPopup>(objectId);
}

std::unique_ptr<CGameActionLayer> CUIPopupFactory::CreateFacilityPopup(uint32_t objectId) {
  return std::make_unique<CFacilityPopup>(objectId);
}

std::unique_ptr<CGameActionLayer> CUIPopupFactory::CreateSkaterPopup(uint32_t objectId) {
  return std::make_unique<CSkaterPopup>(objectId);
}

std::unique_ptr<CGameActionLayer> CUIPopupFactory::CreateEscapeMenu() { return std::make_unique<CEscapeMenuScreen>(); }

bool CUIPopupFactory::IsEscapeMenuOpen() const { return CEscapeMenuScreen::IsOpen(); }

std::unique_ptr<CGameActionLayer> CUIPopupFactory::CreateExitPerspective() {
  return std::make_unique<CExitPerspective>();
}

std::unique_ptr<CGameActionLayer> CUIPopupFactory::CreateSkaterPlayerInterface() {
  return std::make_unique<CSkaterPlayerInterface>();
}

std::unique_ptr<CGameActionLayer> CUIPopupFactory::CreateMainScreen() { return std::make_unique<CMainScreen>(); }
