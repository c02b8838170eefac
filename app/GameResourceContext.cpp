// CGameResourceContext: reads the level folder and the texture settings when the table loads.
#include "app/GameResourceContext.h"

#include "core/world/GameWorld.h"
#include "core/input/Settings.h"

std::string CGameResourceContext::GetLevelFolder() const {
  return m_world ? m_world->GetLevelDirectory() : std::string();
}

int CGameResourceContext::GetTextureDetail() const {
  const CSettings* settings = GetSettings();
  if (!settings) return 0;
  float level = settings->textureDetail;
  if (!(level >= 0.0f)) level = 0.0f;  // NaN too
  if (level > 1.0f) level = 1.0f;
  return static_cast<int>(2.0f * (1.0f - level));
}

bool CGameResourceContext::KeepTexturePixels() const {
  const CSettings* settings = GetSettings();
  return !settings || settings->renderer != 1;
}
