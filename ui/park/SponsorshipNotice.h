// CSponsorshipNotice: the layer that tells the player a sponsor offers support for one of the
// park's sponsorship slots. Creating it marks the slot offered, so each offer is shown once.
// Accepting buys the sponsor's piece for the slot (it costs nothing) for the player to place;
// declining closes the notice.
#pragma once

#include "ui/widgets/MenuLayer.h"

class CSponsorshipNotice : public CMenuLayer {
 public:
  enum Command { kAccept, kDecline };

  explicit CSponsorshipNotice(int slot);

  int GetSlot() const { return m_slot; }
  bool IsModal() const override { return true; }
  const char* GetInfoString() const override { return "SponsorshipNotice"; }
  // The sponsor piece accepting made; 0 before, or when there was none to make.
  uint32_t GetSponsorPiece() const { return m_piece; }

 protected:
  void OnCommand(int command) override;

 private:
  int m_slot;
  uint32_t m_piece = 0;
};
