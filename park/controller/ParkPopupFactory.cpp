#include "park/controller/ParkPopupFactory.h"

namespace {
std::unique_ptr<CParkPopupFactory>& Registered() {
  static std::unique_ptr<CParkPopupFactory> factory;
  return factory;
}
}  // namespace

CParkPopupFactory* GetParkPopupFactory() { return Registered().get(); }

void SetParkPopupFactory(std::unique_ptr<CParkPopupFactory> factory) { Registered() = std::move(factory); }
