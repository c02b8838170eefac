// CFacilityPopup: the pop-up of a selected facility - its fee raised or lowered, sell and close.
#pragma once

#include "ui/SectionPopup.h"

class CFacilityPopup : public CSectionPopup {
 public:
  enum Command { kSell = CSectionPopup::kSell, kClose = CSectionPopup::kClose, kFeeUp, kFeeDown };
  static constexpr float kFeeStep = 1.0f;

  explicit CFacilityPopup(uint32_t objectId);
  const char* GetInfoString() const override { return "FacilityPopup"; }

 protected:
  void OnCommand(int command) override;
  void Refresh() override;
};
