// CMenuLayer: an interface layer whose widgets are one button panel; the screens, dialogs and
// pop-ups derive from it and act on the commands of its buttons.
#pragma once

#include <string>

#include "ui/widgets/ButtonPanel.h"
#include "ui/widgets/UIActionLayer.h"

class CVerezIvor;

class CMenuLayer : public CUIActionLayer {
 public:
  static constexpr const char* kInterfaceFile = "data/ui/interface/interface.bin";

  // Loads the interface art and takes the park's 14-point font when there is one.
  CMenuLayer();
  ~CMenuLayer() override;

  // A button held down as the layer comes up was pressed on another layer: it presses nothing here.
  void Init(bool created) override;
  void HandleInputEvent(const InputEvent& event) override;
  // Only the clear of the frame (for a layer that clears) while the panel is covered from above.
  void Draw(CRenderView* view, PixelBufferDesc** locked) override;
  // Tracks the pointer, acts on a pressed button, marks the tick as over the interface when the
  // pointer lies over the panel (even when a press there has just closed it) and shows the
  // hovered button's status text.
  void Update(float dt) override;
  bool IsModal() const override { return m_modal; }

  CButtonPanel& GetPanel() const { return *m_panel; }
  // True while the panel of an active menu layer above, one that holds the pointer, overlaps this
  // layer's panel: this panel is then neither drawn nor pressed, so that the parts of it that
  // show around the upper one cannot be used by mistake.
  bool IsCoveredFromAbove() const;

 protected:
  // A pressed button's command.
  virtual void OnCommand(int command) = 0;
  // Refreshes the panel's text each tick (before the pointer is looked at).
  virtual void Refresh() {}
  // The status text beside the cursor while it is over the button of that command; empty for none.
  virtual std::string StatusFor(int command) const { return std::string(); }
  // Acts on a pending command, unless the layer is on its way out.
  void Dispatch();
  static CVerezIvor* GetPark();

  CButtonPanel* m_panel;  // owned as the layer's widget manager
  bool m_modal = false;
  // Whether the pointer over the panel keeps the park from picking and from the player's keys; a
  // display with nothing to press lets them through.
  bool m_holdsPointer = true;

 private:
  // A button event of this tick landed on the panel (where the panel was when it came).
  bool m_tookClick = false;
};
