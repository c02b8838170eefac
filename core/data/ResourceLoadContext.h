// CResourceLoadContext: what the resource table asks its owner at each load - level folder, texture settings.
#pragma once

#include <string>

// The table sits below the world and the settings, so whoever owns it answers for them. A table
// without a context loads as outside a level, at full detail, keeping texture pixels.
class CResourceLoadContext {
 public:
  virtual ~CResourceLoadContext() = default;

  // Folder of the level being played, or empty; asked again at every load since levels change.
  virtual std::string GetLevelFolder() const = 0;
  // 0 full detail .. 2 lowest.
  virtual int GetTextureDetail() const = 0;
  // False when the renderer drops a texture's pixels once they are uploaded.
  virtual bool KeepTexturePixels() const = 0;
};
