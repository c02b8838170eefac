// CDamageInfo: a structure's damage record - hit points and the heat and impact rules.
#pragma once

class CDamageInfo {
 public:
  virtual ~CDamageInfo() = default;
  // Runs once when the damage reaches the hit points.
  virtual void OnDestroyed() { damage = hitPoints; }

  float damage = 0.0f;
  float hitPoints = 100.0f;
  float heatThreshold = 256.0f;
  float fireStrength = 300.0f;
  float fireValue = 4.0f;
  float heatDamageFactor = 0.2f;
  float impactThreshold = 30000.0f;
  float impactDamageFactor = 0.0001f;
  float damageScale = 0.01f;
};
