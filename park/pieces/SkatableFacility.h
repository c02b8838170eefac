// CSkatableFacility: a placed facility - restroom, food or drink stand, shop, first aid - that
// skaters pay to use.
#pragma once

#include <cstdint>

#include "park/pieces/SkatableSection.h"

class CSkatableFacility : public CSkatableSection {
 public:
  static constexpr uint32_t kTypeCode = 41;
  static constexpr uint32_t kFacilityVersion = 0;

  CSkatableFacility() = default;

  // Copying the name also takes the catalog's fee; a load keeps the fee saved with the facility.
  void SetDefinition(const ObjectDefinition* definition, bool copyName) override;
  // One use: counts it and books the fee as revenue. Returns the fee the skater pays, in whole
  // units, the same value that is booked; a negative fee is taken as free, so a use never makes
  // money out of nothing.
  float Use();
  void Update(float dt) override;
  double GetResaleValue() const override;
  const char* GetInfoString() const override { return "<Skatable Facility>"; }
  void Save(std::vector<uint8_t>& out) const override;

  uint32_t GetUseCount() const { return m_useCount; }
  float GetUseFee() const { return m_useFee; }
  // The facility pop-up sets the fee.
  void SetUseFee(float fee) { m_useFee = fee; }
  double GetRevenue() const { return m_revenue; }

 protected:
  bool LoadBody(CByteCursor& in, uint32_t* savedId) override;

 private:
  uint32_t m_useCount = 0;
  float m_useFee = 0.0f;
  double m_revenue = 0.0;
};
