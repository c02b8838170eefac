// CBuildPalette: the build toolbar of a running game - the catalogs' categories, then the items of
// the chosen one with their prices; choosing an item the park can afford buys the piece and hands
// it to the controller to hold. The park's heads-up display is a widget shown with its panel: it
// shows and hides with it and keeps the clicks made on it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/park/ParkDisplay.h"
#include "ui/widgets/MenuLayer.h"

struct ObjectDefinition;

class CBuildPalette : public CMenuLayer {
 public:
  static constexpr int kBack = 1000;
  static constexpr int kMaxItemsShown = 9;

  CBuildPalette();
  const char* GetInfoString() const override { return "BuildPalette"; }
  const CParkDisplay& GetDisplay() const { return *m_display; }

  // -1 while the categories are listed, else the open category (sections first, then facilities).
  int GetOpenCategory() const { return m_category; }
  // The piece the last purchase made; 0 when none was bought or it was refused.
  uint32_t GetLastPurchase() const { return m_lastPurchase; }

 protected:
  void OnCommand(int command) override;
  void Refresh() override;
  // An item's name and price, or why it cannot be bought.
  std::string StatusFor(int command) const override;

 private:
  struct Entry {
    const ObjectDefinition* definition;
    bool unlocked;
  };
  // The open category's entries that have a definition.
  std::vector<Entry> Entries() const;
  void ShowCategories();
  void ShowItems();

  int m_category = -1;
  uint32_t m_lastPurchase = 0;
  CParkDisplay* m_display;  // owned by the panel, which shows it
};
