#include "effects/ScriptTrigger.h"

#include "scene/camera/ScriptCam.h"

CScriptTrigger::CScriptTrigger(const ScriptTriggerRecord& record)
    : CTrigger(record.triggerId), m_cameraId(record.cameraId), m_start(record.start), m_end(record.end) {}

float CScriptTrigger::GetValue() {
  // A trigger made before its camera keeps asking until the camera is there.
  if (m_camera == nullptr) m_camera = CScriptCam::FindById(m_cameraId);
  if (m_camera == nullptr) return 0.0f;
  const float t = m_camera->GetElapsedTime();
  return m_start <= t && t <= m_end ? 1.0f : 0.0f;
}
