// CSkaterPopup: the pop-up of a selected skater - status, recent thoughts, evict and take control.
#pragma once

#include <cstdint>

#include "ui/widgets/MenuLayer.h"

class CSkater;

class CSkaterPopup : public CMenuLayer {
 public:
  enum Command { kEvict, kTakeControl, kClose };
  static constexpr size_t kThoughtLines = 3;

  explicit CSkaterPopup(uint32_t skaterId);
  uint32_t GetSkaterId() const { return m_skaterId; }
  const char* GetInfoString() const override { return "SkaterPopup"; }

 protected:
  void OnCommand(int command) override;
  void Refresh() override;

 private:
  CSkater* GetSkater() const;
  uint32_t m_skaterId;
};
