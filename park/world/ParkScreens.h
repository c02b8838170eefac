// ParkScreens: the interface pieces the park puts on screen, made by the interface library.
#pragma once

#include <memory>

#include "core/world/GameActionLayer.h"

class CSprite;
class CUILabel;
struct PixelBufferDesc;

// The status text beside the cursor.
class CParkStatusLabel {
 public:
  // The bytes that open and close a highlighted run of the label's text.
  static constexpr char kHighlightStart = 0x01;
  static constexpr char kHighlightEnd = 0x02;

  virtual ~CParkStatusLabel() = default;
  // Replaces the text (null clears it) and measures it.
  virtual void SetText(const char* text) = 0;
  virtual const char* GetText() const = 0;
  virtual int GetTextLength() const = 0;
  virtual int GetWidth() const = 0;
  // Draws the text with its top-left corner at (x, y) onto a locked back buffer.
  virtual void Draw(PixelBufferDesc& target, int x, int y) const = 0;
  // The label itself, for screens of the interface library.
  virtual CUILabel* GetLabel() = 0;
};

// The interface folder sits above the park; it fills these in at start-up (see app/EngineRegistration).
// A park built while they are empty shows no status text and offers no sponsorships on screen.
struct ParkScreens {
  // The notice offering the sponsorship of that slot, as a layer for the world's stack.
  using NoticeFactory = std::unique_ptr<CGameActionLayer> (*)(int slot);
  using StatusLabelFactory = std::unique_ptr<CParkStatusLabel> (*)(CSprite* font);

  NoticeFactory createSponsorshipNotice = nullptr;
  StatusLabelFactory createStatusLabel = nullptr;
};

ParkScreens& GetParkScreens();
