// CSponsorshipNotice: the layer that tells the player a sponsor offers support for one of the
// park's sponsorship slots, and which sponsor piece it offers. Creating it marks the slot offered,
// so each offer is shown once. Accepting buys the sponsor's piece for the slot (it costs nothing)
// and puts it in the player's hand to place; declining closes the notice.
#pragma once

#include "ui/widgets/MenuLayer.h"
#include <string>

struct ObjectDefinition;

class CSponsorshipNotice : public CMenuLayer {
 public:
  enum Command { kAccept, kDecline };

  explicit CSponsorshipNotice(int slot);

  int GetSlot() const { return m_slot; }
  // Modal while it waits for an answer; while the player's hand holds a piece it lets the clicks
  // through, so that the piece can be placed before this offer is taken.
  bool IsModal() const override;
  const char* GetInfoString() const override { return "SponsorshipNotice"; }
  // The sponsor piece on offer; null when the catalogs have none for the slot.
  const ObjectDefinition* GetOffer() const { return m_offer; }
  // The sponsor piece accepting made; 0 before, or when there was none to make.
  uint32_t GetSponsorPiece() const { return m_piece; }

 protected:
  void OnCommand(int command) override;
  // What is offered, and whether it can be taken now.
  void Refresh() override;

 private:
  bool HandIsFull() const;

  int m_slot;
  const ObjectDefinition* m_offer = nullptr;
  uint32_t m_piece = 0;
  bool m_refused = false;  // the last accept could not make the piece
};
