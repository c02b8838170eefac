// CSectionPopup: the pop-up of a selected section - its name and resale value, sell and close.
#pragma once

#include <cstdint>

#include "ui/widgets/MenuLayer.h"

class CSkatableSection;

class CSectionPopup : public CMenuLayer {
 public:
  enum Command { kSell, kClose };

  explicit CSectionPopup(uint32_t objectId);
  uint32_t GetObjectId() const { return m_objectId; }
  const char* GetInfoString() const override { return "SectionPopup"; }

 protected:
  void OnCommand(int command) override;
  // Closes when the piece is gone; otherwise shows its figures.
  void Refresh() override;
  // The piece, looked up by ID each time; null when it is gone.
  CSkatableSection* GetPiece() const;

  uint32_t m_objectId;
};
