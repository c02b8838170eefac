// The facility's saved record is the section record with kind byte 1, followed by
//   u32 facility version (0), u32 use count, f32 use fee, f64 revenue.
#include "park/pieces/SkatableFacility.h"

#include <cmath>
#include <cstring>

#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/world/VerezIvor.h"

void CSkatableFacility::SetDefinition(const ObjectDefinition* definition, bool copyName) {
  CSkatableSection::SetDefinition(definition, copyName);
  if (copyName && definition != nullptr) m_useFee = definition->useFee;
}

float CSkatableFacility::Use() {
  // Skaters pay the fee as the facility shows it, fraction and all (the park's money keeps
  // fractions); the revenue books exactly that. A negative (or broken) fee is taken as free.
  const float fee = std::isfinite(m_useFee) && m_useFee > 0.0f ? m_useFee : 0.0f;
  ++m_useCount;
  m_revenue += fee;
  return fee;
}

void CSkatableFacility::Update(float dt) {
  CStructureBody::Update(dt);
  CVerezIvor* park = GetPark();
  if (ChargesRunningCost() && park != nullptr) {
    const double cost = park->GetClock().GetCostForStep(dt, GetDefinition()->operatingCost);
    park->GetParkState().moneyFraction -= cost;
    park->GetParkState().spentOnFacilityOperation += cost;
  }
  RunFlash(dt);
}

double CSkatableFacility::GetResaleValue() const {
  // Wear comes from the uses counted here, not from the skating usage.
  return GetDepreciatedCost() * std::exp(-0.05 * static_cast<double>(m_useCount));
}

void CSkatableFacility::Save(std::vector<uint8_t>& out) const {
  out.push_back(1);
  SaveBody(out);
  le::PutU32(out, kFacilityVersion);
  le::PutU32(out, m_useCount);
  le::PutF32(out, m_useFee);
  uint64_t bits = 0;
  std::memcpy(&bits, &m_revenue, sizeof(bits));
  le::PutU32(out, static_cast<uint32_t>(bits));
  le::PutU32(out, static_cast<uint32_t>(bits >> 32));
}

bool CSkatableFacility::LoadBody(CByteCursor& in, uint32_t* savedId) {
  if (!CSkatableSection::LoadBody(in, savedId)) return false;
  uint32_t version = 0;
  if (!in.ReadU32(version) || version != kFacilityVersion) {
    DebugPrintf("SkatableFacility: facility fields of unknown version or cut short\n");
    return false;
  }
  in.ReadU32(m_useCount);
  in.ReadF32(m_useFee);
  in.ReadF64(m_revenue);
  return !in.HasFailed();
}
