// CFacilityPopup: the pop-up of a selected facility - its fee raised or lowered, sell and close.
#pragma once

#include <string>

#include "ui/park/SectionPopup.h"

class CFacilityPopup : public CSectionPopup {
 public:
  enum Command { kSell = CSectionPopup::kSell, kClose = CSectionPopup::kClose, kFeeUp, kFeeDown };
  static constexpr float kFeeStep = 1.0f;

  explicit CFacilityPopup(uint32_t objectId);
  const char* GetInfoString() const override { return "FacilityPopup"; }
  // The fee as skaters pay it: "FEE 3", or with its fraction, "FEE 2.50".
  static std::string FeeText(float fee);

 protected:
  void OnCommand(int command) override;
  void Refresh() override;
};
