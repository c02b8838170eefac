#include "ui/UIRegistration.h"

#include <memory>

#include "core/services/WorldServices.h"
#include "park/world/ParkScreens.h"
#include "ui/sprites/DrawSurface.h"
#include "ui/widgets/MouseCursor.h"
#include "ui/park/SponsorshipNotice.h"
#include "ui/sprites/SpriteFile.h"
#include "ui/widgets/UILabel.h"

namespace {

static_assert(CParkStatusLabel::kHighlightStart == CUILabel::kHighlightStart &&
                  CParkStatusLabel::kHighlightEnd == CUILabel::kHighlightEnd,
              "the park composes its status text with the label's markers");

// The park's status text: a label whose bounds the first text measures.
class StatusLabel : public CParkStatusLabel {
 public:
  explicit StatusLabel(CSprite* font) : m_label(nullptr, font, "", 0, 0, 1000, 1000) {}
  void SetText(const char* text) override { m_label.SetText(text); }
  const char* GetText() const override { return m_label.GetText(); }
  int GetTextLength() const override { return m_label.GetTextLength(); }
  int GetWidth() const override { return m_label.GetWidth(); }
  void Draw(PixelBufferDesc& target, int x, int y) const override {
    DrawSurface surface = MakeDrawSurface(target);
    m_label.Draw(surface, x, y);
  }
  CUILabel* GetLabel() override { return &m_label; }

 private:
  CUILabel m_label;
};

}  // namespace

void RegisterUIServices(WorldServices& services) {
  services.createSpriteSheet = []() -> std::unique_ptr<CSpriteSheet> { return std::make_unique<CSpriteFile>(); };
  services.createPointer = []() -> std::unique_ptr<CWorldPointer> { return std::make_unique<CMouseCursor>(); };
}

void RegisterParkScreens(ParkScreens& screens) {
  screens.createSponsorshipNotice = [](int slot) -> std::unique_ptr<CGameActionLayer> {
    return std::make_unique<CSponsorshipNotice>(slot);
  };
  screens.createStatusLabel = [](CSprite* font) -> std::unique_ptr<CParkStatusLabel> {
    return std::make_unique<StatusLabel>(font);
  };
}
