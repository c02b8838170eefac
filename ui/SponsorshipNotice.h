// CSponsorshipNotice: the layer that tells the player a sponsor offers support for one of the
// park's sponsorship slots. Creating it marks the slot offered, so each offer is shown once.
#pragma once

#include "core/GameActionLayer.h"
#include "ui/UILabel.h"

class CSponsorshipNotice : public CGameActionLayer {
 public:
  explicit CSponsorshipNotice(int slot);

  int GetSlot() const { return m_slot; }
  bool IsModal() const override { return true; }
  // A key or a click closes the notice.
  void HandleInputEvent(const InputEvent& event) override;
  void Draw(CRenderView* view, PixelBufferDesc** locked) override;
  const char* GetInfoString() const override { return "SponsorshipNotice"; }

 private:
  int m_slot;
  CUILabel m_label;
};
