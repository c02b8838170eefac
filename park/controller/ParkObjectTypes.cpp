#include "park/controller/ParkObjectTypes.h"

#include <memory>

#include "core/world/ObjectFactory.h"
#include "core/world/WorldAccess.h"
#include "park/controller/GameLogic.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterAnimatorWorldLink.h"
#include "park/world/VerezIvor.h"

namespace {
template <typename T>
std::unique_ptr<CGameObject> Make() {
  return std::make_unique<T>();
}

// Looked up at every call: the controller changes with every game started or loaded.
CGameLogic* CurrentController() {
  auto* park = dynamic_cast<CVerezIvor*>(GetGameWorld());
  return park != nullptr ? park->GetController() : nullptr;
}

float ControllerBonusFactor() {
  const CGameLogic* controller = CurrentController();
  return controller != nullptr ? controller->GetTrickBonusFactor() : 0.0f;
}

void AwardToController(float amount) {
  if (CGameLogic* controller = CurrentController()) controller->AwardTrickBonus(amount);
}

}  // namespace

void RegisterParkObjectTypes(CObjectFactory& factory) {
  factory.Register(CSkatableSection::kTypeCode, &Make<CSkatableSection>);
  factory.Register(CSkatableFacility::kTypeCode, &Make<CSkatableFacility>);
  factory.Register(CSkater::kTypeCode, &Make<CSkater>);
}

void RegisterParkSkaterLinks() {
  CSkaterAnimatorWorldLink::Hooks hooks;
  hooks.bonusFactor = &ControllerBonusFactor;
  hooks.awardTrickBonus = &AwardToController;
  CSkaterAnimatorWorldLink::SetHooks(hooks);
}
