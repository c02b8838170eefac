// CGameResourceContext: the game's answers to the resource table - the world's level folder, the active settings.
#pragma once

#include <string>

#include "core/data/ResourceLoadContext.h"

class CGameWorld;

class CGameResourceContext : public CResourceLoadContext {
 public:
  // world may be null (no level folder); it must outlive the context.
  explicit CGameResourceContext(const CGameWorld* world) : m_world(world) {}

  std::string GetLevelFolder() const override;
  // From the texture-detail setting (0..1, 1 full): 0 full detail .. 2 lowest; 0 without settings.
  int GetTextureDetail() const override;
  // Only the software back end drops a texture's pixels after upload.
  bool KeepTexturePixels() const override;

 private:
  const CGameWorld* m_world;
};
