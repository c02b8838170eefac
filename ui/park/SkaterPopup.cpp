// CSkaterPopup: a skater's status and thoughts, and what the player can do with it.
#include "ui/park/SkaterPopup.h"

#include <string>
#include <vector>

#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"
#include "ui/park/GameHooks.h"

CSkaterPopup::CSkaterPopup(uint32_t skaterId) : m_skaterId(skaterId) {
  m_panel->SetPosition(8, 8);
  // Thoughts come and go while the player aims at a button.
  m_panel->KeepButtonsInPlace(1 + static_cast<int>(kThoughtLines));
  m_panel->AddButton("EVICT", kEvict, 'E');
  m_panel->AddButton("TAKE CONTROL", kTakeControl, 'T');
  m_panel->AddButton("CLOSE", kClose, 'C');
  Refresh();
}

CSkater* CSkaterPopup::GetSkater() const {
  CVerezIvor* park = GetPark();
  auto* skater = park != nullptr ? dynamic_cast<CSkater*>(park->GetObjectByID(m_skaterId)) : nullptr;
  return skater != nullptr && !skater->IsMarkedForRemoval() ? skater : nullptr;
}

void CSkaterPopup::Refresh() {
  const CSkater* skater = GetSkater();
  if (skater == nullptr) {
    MarkForRemoval();
    return;
  }
  m_panel->SetTitle(skater->GetName());
  char status[128] = {};
  skater->GetStatusText(status, sizeof(status));
  std::vector<std::string> lines = {status};
  const CThoughtHistory& thoughts = skater->GetThoughts();
  for (size_t i = 0; i < thoughts.GetCount() && i < kThoughtLines; ++i)
    if (const char* text = thoughts.GetText(i)) lines.emplace_back(text);
  m_panel->SetLines(lines);
  m_panel->SetButtonEnabled(kTakeControl, GetGameHooks().takeSkaterControl != nullptr);
}

void CSkaterPopup::OnCommand(int command) {
  CSkater* skater = GetSkater();
  CVerezIvor* park = GetPark();
  if (command == kEvict && skater != nullptr) skater->Evict();
  if (command == kTakeControl && park != nullptr && GetGameHooks().takeSkaterControl != nullptr)
    GetGameHooks().takeSkaterControl(*park, m_skaterId);
  if (command == kClose && park != nullptr && GetGameHooks().releaseSelection != nullptr)
    GetGameHooks().releaseSelection(*park, m_skaterId);
  MarkForRemoval();
}
