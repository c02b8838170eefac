// CSpriteSheet: a file of named sprites, as the folders below the interface library load and hand them on.
#pragma once

#include <memory>
#include <string>

class CSprite;

// The interface folder's sprite file implements this; CreateSpriteSheet makes one through the factory
// registered at start-up (see WorldServices).
class CSpriteSheet {
 public:
  virtual ~CSpriteSheet() = default;
  // False (logged) when the file is missing or holds nothing this build reads.
  virtual bool Load(const char* path) = 0;
  // The sprite of that name, owned by the sheet; null when there is none.
  virtual CSprite* GetSprite(const char* name) const = 0;
  // Re-reads the images when the colour depth changed.
  virtual void Reload() = 0;
  virtual const std::string& GetFileName() const = 0;
};

// A new, empty sheet; null when no sprite library was registered.
std::unique_ptr<CSpriteSheet> CreateSpriteSheet();
