// CScriptCam: a camera that flies a scripted sequence of segments, each along one spline while looking
// at a point on another, then holding; input may skip segments or end the sequence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/camera/CameraSegment.h"
#include "scene/camera/GenericCam.h"

class CGameWorld;

class CScriptCam : public CGenericCam {
 public:
  static constexpr uint32_t kMaxSegments = 200;
  static constexpr size_t kBlockHeaderSize = 8;
  // Input codes.
  static constexpr uint32_t kSkipCode = 31;
  static constexpr uint32_t kEndCode = 6;

  CScriptCam() = default;

  // Reads the text form; false (logged, no segments) on any error.
  bool ParseScript(const char* text);
  // Copies the level data's block (u32 ID, u32 count, count records); a count beyond what `size`
  // holds is cut to the records present. False (logged) when even the header is missing.
  bool SetSegments(const uint8_t* block, size_t size);
  uint32_t GetBlockSize() const;
  // Writes the block; false when `size` is below GetBlockSize.
  bool WriteBlock(uint8_t* out, size_t size) const;

  void Play();
  bool IsPlaying() const { return m_playing != 0; }
  // The first script camera with that ID in the world's camera list (the registered world when
  // none is given); null when none.
  static CScriptCam* FindById(uint32_t id);
  static CScriptCam* FindById(uint32_t id, const CGameWorld* world);

  void UpdateCamera(const COrientation* followed, float dt, CInputMan* input, uint32_t a, uint32_t b,
                    CGameObject* followedObject) override;
  void Update(float dt) override;
  void HandleInputEvent(const InputEvent& event) override;
  uint32_t GetCameraType() const override { return 0; }
  const char* GetInfoString() const override { return "<Script Camera>"; }

  uint32_t GetCameraID() const { return m_cameraID; }
  size_t GetSegmentCount() const { return m_segments.size(); }
  const CameraSegment& GetSegment(size_t i) const { return m_segments[i]; }
  uint32_t GetCurrentSegment() const { return m_current; }
  bool IsHolding() const { return m_holding != 0; }
  float GetSegmentTimer() const { return m_timer; }
  float GetElapsedTime() const { return m_elapsed; }

 private:
  void ResetPlayback();
  void NextSegment();
  void Move(const CameraSegment& segment, float dt);
  static CameraSegment Sanitized(const CameraSegment& segment);

  uint32_t m_cameraID = 0;
  std::vector<CameraSegment> m_segments;
  uint8_t m_playing = 0;
  float m_timer = 0.0f;
  uint8_t m_holding = 0;
  uint32_t m_current = 0;
  float m_elapsed = 0.0f;
};
