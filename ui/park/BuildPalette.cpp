// CBuildPalette: the category and item lists and the purchase.
#include "ui/park/BuildPalette.h"

#include <memory>
#include <string>

#include "park/pieces/ObjectCatalog.h"
#include "park/world/ParkFontSet.h"
#include "park/world/VerezIvor.h"
#include "ui/park/GameHooks.h"
#include "ui/park/MoneyText.h"
#include "ui/sprites/SpriteFile.h"

namespace {
// Sections first, then facilities, as one list of categories.
const CatalogCategory* CategoryAt(int index, bool* facility) {
  const CObjectCatalog& catalog = GetObjectCatalog();
  const auto& sections = catalog.GetSectionCategories();
  const auto& facilities = catalog.GetFacilityCategories();
  *facility = index >= static_cast<int>(sections.size());
  if (index < 0) return nullptr;
  if (!*facility) return &sections[static_cast<size_t>(index)];
  const size_t f = static_cast<size_t>(index) - sections.size();
  return f < facilities.size() ? &facilities[f] : nullptr;
}
}  // namespace

CBuildPalette::CBuildPalette() {
  auto display = std::make_unique<CParkDisplay>();
  m_display = display.get();
  m_panel->AddWidget(std::move(display));
  m_panel->SetPosition(8, 40);
  const CVerezIvor* park = GetPark();
  // The smaller alphabet, so that the figures take little of the park's view.
  CSprite* font = park != nullptr && park->GetFontSet() != nullptr ? park->GetFontSet()->alphabet10 : nullptr;
  m_display->SetArt(font, nullptr, m_layout->GetSprite("panel"));
  ShowCategories();
  Refresh();
}

std::vector<CBuildPalette::Entry> CBuildPalette::Entries() const {
  std::vector<Entry> out;
  bool facility = false;
  const CatalogCategory* category = CategoryAt(m_category, &facility);
  const CVerezIvor* park = GetPark();
  if (category == nullptr || park == nullptr) return out;
  for (const CatalogItem& item : category->items) {
    const ObjectDefinition* d = GetCatalogEntry(category->categoryId, item.idx, 0, facility);
    if (d != nullptr && d->mesh >= 0) out.push_back(Entry{d, item.IsUnlocked(park->GetParkState())});
    if (out.size() >= static_cast<size_t>(kMaxItemsShown)) break;
  }
  return out;
}

void CBuildPalette::ShowCategories() {
  m_category = -1;
  m_panel->ClearButtons();
  m_panel->SetTitle("BUILD");
  const CObjectCatalog& catalog = GetObjectCatalog();
  const int count = static_cast<int>(catalog.GetSectionCategories().size() + catalog.GetFacilityCategories().size());
  for (int i = 0; i < count && i < kMaxItemsShown; ++i) {
    bool facility = false;
    m_panel->AddButton(CategoryAt(i, &facility)->popUpText, i, '1' + i);
  }
}

void CBuildPalette::ShowItems() {
  m_panel->ClearButtons();
  bool facility = false;
  m_panel->SetTitle(CategoryAt(m_category, &facility)->popUpText);
  const std::vector<Entry> entries = Entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string text = std::string(entries[i].definition->name) + " " + MoneyText(entries[i].definition->cost);
    m_panel->AddButton(text, static_cast<int>(i), '1' + static_cast<int>(i));
  }
  m_panel->AddButton("BACK", kBack, 'B');
  Refresh();
}

void CBuildPalette::Refresh() {
  const CVerezIvor* park = GetPark();
  if (park == nullptr) return;
  m_panel->SetLines({"MONEY " + MoneyText(park->GetMoney())});
  m_display->Refresh(*park);
  if (m_category < 0) return;
  const std::vector<Entry> entries = Entries();
  for (size_t i = 0; i < entries.size(); ++i)
    m_panel->SetButtonEnabled(static_cast<int>(i), entries[i].unlocked && park->GetMoney() >= entries[i].definition->cost);
}

std::string CBuildPalette::StatusFor(int command) const {
  if (m_category < 0 || command == kBack) return std::string();
  const std::vector<Entry> entries = Entries();
  if (command < 0 || command >= static_cast<int>(entries.size())) return std::string();
  const Entry& entry = entries[static_cast<size_t>(command)];
  if (!entry.unlocked) return "NEEDS A SPONSOR";
  const std::string cost = MoneyText(entry.definition->cost);
  if (GetPark()->GetMoney() < entry.definition->cost) return "NOT ENOUGH MONEY, IT COSTS " + cost;
  if (GetHeldPiece(*GetPark()) != 0) return kHandFullText;
  return std::string(entry.definition->name) + ", COST " + cost;
}

void CBuildPalette::OnCommand(int command) {
  CVerezIvor* park = GetPark();
  if (park == nullptr) return;
  if (m_category < 0) {
    m_category = command;
    ShowItems();
    return;
  }
  if (command == kBack) {
    ShowCategories();
    return;
  }
  const std::vector<Entry> entries = Entries();
  if (command < 0 || command >= static_cast<int>(entries.size()) || !entries[static_cast<size_t>(command)].unlocked) return;
  // One piece in hand at a time; the status text beside the pointer says so (StatusFor).
  if (GetHeldPiece(*park) != 0) {
    m_lastPurchase = 0;
    return;
  }
  m_lastPurchase = BuyPieceForPlayer(*park, *entries[static_cast<size_t>(command)].definition, -1);
  Refresh();
}
