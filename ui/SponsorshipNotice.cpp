#include "ui/SponsorshipNotice.h"

#include <cstdio>

#include "core/WorldAccess.h"
#include "core/math/DebugPrintf.h"
#include "park/VerezIvor.h"
#include "render/RasterizerInterface.h"
#include "render/RenderView.h"

CSponsorshipNotice::CSponsorshipNotice(int slot) : m_slot(slot), m_label(nullptr, nullptr, nullptr, 0, 0, 0, 0) {
  char text[64];
  std::snprintf(text, sizeof(text), "\x01" "A SPONSOR OFFERS SUPPORT - OFFER %d" "\x02", slot + 1);
  m_label.SetText(text);
  CVerezIvor* park = dynamic_cast<CVerezIvor*>(GetGameWorld());
  if (park == nullptr || slot < 0 || slot >= ParkState::kSponsorshipSlots) {
    DebugPrintf("SponsorshipNotice: no slot %d to offer\n", slot);
    return;
  }
  park->GetParkState().sponsorships[slot].offered = 1;
}

void CSponsorshipNotice::HandleInputEvent(const InputEvent& event) {
  if (event.code == InputEvent::kKey || event.code == InputEvent::kButtonPress) MarkForRemoval();
}

void CSponsorshipNotice::Draw(CRenderView* view, PixelBufferDesc** locked) {
  CRasterizerInterface* rasterizer = view != nullptr ? view->GetRasterizer() : nullptr;
  if (rasterizer == nullptr || locked == nullptr) return;
  if (*locked == nullptr) *locked = rasterizer->LockBackBuffer();
  if (*locked == nullptr) return;
  DrawSurface surface = MakeDrawSurface(**locked);
  const int x = (static_cast<int>(surface.width) - m_label.GetWidth()) / 2;
  const int y = static_cast<int>(surface.height) / 3;
  m_label.Draw(surface, x < 0 ? 0 : x, y);
}
