// CScriptTrigger: a level trigger that is on while a script camera's elapsed time lies in its window.
#pragma once

#include <cstdint>

#include "effects/ScriptTriggerRecord.h"
#include "effects/Trigger.h"

class CScriptCam;

class CScriptTrigger : public CTrigger {
 public:
  explicit CScriptTrigger(const ScriptTriggerRecord& record);

  // 1.0 while start <= elapsed time <= end of the camera; 0.0 otherwise and while the world has
  // no script camera of that ID.
  float GetValue() override;

  uint32_t GetCameraID() const { return m_cameraId; }
  float GetStart() const { return m_start; }
  float GetEnd() const { return m_end; }

 private:
  uint32_t m_cameraId;
  float m_start;
  float m_end;
  // Looked up once, when first found. The level's cameras and its triggers go with the same
  // world clear, the triggers first, so the camera outlives every read of it.
  CScriptCam* m_camera = nullptr;
};
