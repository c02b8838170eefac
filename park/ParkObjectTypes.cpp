#include "park/ParkObjectTypes.h"

#include <memory>

#include "core/ObjectFactory.h"
#include "park/SkatableFacility.h"
#include "park/SkatableSection.h"
#include "park/Skater.h"

namespace {
template <typename T>
std::unique_ptr<CGameObject> Make() {
  return std::make_unique<T>();
}
}  // namespace

void RegisterParkObjectTypes(CObjectFactory& factory) {
  factory.Register(CSkatableSection::kTypeCode, &Make<CSkatableSection>);
  factory.Register(CSkatableFacility::kTypeCode, &Make<CSkatableFacility>);
  factory.Register(CSkater::kTypeCode, &Make<CSkater>);
}
