// CCursorBackingStore: what the software pointer needs from the image library (declared here,
// implemented by render/CursorBackground and registered at start-up): the pixels under the
// pointer saved before it is drawn and put back before it moves.
#pragma once

#include <memory>

#include "platform/Win32.h"

class CCursorBackingStore {
 public:
  virtual ~CCursorBackingStore() = default;
  // Copies rect of the DC; false when nothing could be saved.
  virtual bool Save(HDC dc, const RECT& rect) = 0;
  // Puts the saved pixels back and forgets them; false when nothing was held.
  virtual bool Restore(HDC dc) = 0;

  using Factory = std::unique_ptr<CCursorBackingStore> (*)();
  // The factory the pointer uses; without one the pointer keeps only its rectangle.
  static void SetFactory(Factory factory);
  static std::unique_ptr<CCursorBackingStore> Create();
};
