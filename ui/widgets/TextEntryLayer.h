// CTextEntryLayer: a menu layer with a line the player types into. While one exists, the keys that
// type text reach it as characters and drive no game action; its buttons answer to clicks and to
// Enter, never to letters.
#pragma once

#include <cstddef>
#include <string>

#include "ui/widgets/MenuLayer.h"
#include "ui/widgets/TextField.h"

class CTextEntryLayer : public CMenuLayer {
 public:
  CTextEntryLayer(std::string text, size_t limit);
  ~CTextEntryLayer() override;

  void HandleInputEvent(const InputEvent& event) override;
  const TextField& GetField() const { return m_field; }

 protected:
  // After a key changed the text.
  virtual void OnTextChanged() {}
  // Whether keys type into the line now (a screen asking a question may stop them for a while).
  virtual bool TakesText() const { return true; }

  TextField m_field;

 private:
  bool m_wasTextEntry = false;
};
