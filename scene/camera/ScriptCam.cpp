#include "scene/camera/ScriptCam.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/spatial/BezierSpline.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "core/data/Params.h"
#include "core/data/TextCompare.h"
#include "core/data/Tokenizer.h"
#include "platform/system/Win32.h"

using le::ReadU32;
using le::WriteU32;

namespace {

constexpr float kZoomExtent = 35.0f;

bool SameNoCase(const char* a, const char* b) { return EqualNoCase(a, b); }

// One value token: a whole number (no trailing characters), not a delimiter, not the end.
bool ReadNumber(CTokenizer& tok, double* out) {
  const char* t = tok.NextToken();
  if (t[0] == '\0' || tok.LastWasDelimiter()) return false;
  char* end = nullptr;
  *out = std::strtod(t, &end);
  return end != t && *end == '\0' && std::isfinite(*out);
}

bool ReadDelimiter(CTokenizer& tok) {
  tok.NextToken();
  return tok.LastWasDelimiter();
}

bool ReadSegment(CTokenizer& tok, CameraSegment& seg) {
  double v[8];
  for (int i = 0; i < 8; ++i) {
    if (i > 0 && !ReadDelimiter(tok)) return false;
    if (!ReadNumber(tok, &v[i])) return false;
  }
  // IDs and modes are integers; out-of-range values must not be cast (undefined behaviour).
  for (int i = 0; i < 4; ++i)
    if (v[i] < -2147483648.0 || v[i] > 4294967295.0) return false;
  auto asU32 = [](double d) { return static_cast<uint32_t>(static_cast<int64_t>(d)); };
  seg.positionSplineID = asU32(v[0]);
  seg.lookSplineID = asU32(v[1]);
  seg.advanceMode = asU32(v[2]);
  seg.byArcLength = static_cast<int64_t>(v[3]) != 0 ? 1 : 0;
  seg.moveTime = static_cast<float>(v[4]);
  seg.holdTime = static_cast<float>(v[5]);
  seg.zoomDistance = static_cast<float>(v[6]);
  seg.bankFactor = static_cast<float>(v[7]);
  return true;
}

}  // namespace

void CScriptCam::ResetPlayback() {
  m_playing = 0;
  m_timer = 0.0f;
  m_holding = 0;
  m_current = 0;
  m_elapsed = 0.0f;
}

bool CScriptCam::ParseScript(const char* text) {
  m_segments.clear();
  ResetPlayback();
  if (text == nullptr) text = "";
  const float id = Params::ReadFloat(text, "ID");
  CTokenizer tok(text, "=,;", "//", 256);
  bool ok = false;
  std::vector<CameraSegment> segments;
  for (const char* t = tok.NextToken(); t[0] != '\0'; t = tok.NextToken()) {
    if (!SameNoCase(t, "NumSegments")) continue;
    double count = 0.0;
    if (!ReadDelimiter(tok) || !ReadNumber(tok, &count) || count < 0.0 || count >= kMaxSegments) break;
    segments.resize(static_cast<size_t>(count));
    ok = true;
    for (CameraSegment& seg : segments) {
      if (!ReadSegment(tok, seg)) {
        ok = false;
        break;
      }
    }
    break;
  }
  if (!ok) {
    OutputDebugStringA("Error Parsing Camera Script!\n");
    return false;
  }
  m_cameraID = std::isfinite(id) && id >= -2147483648.0f && id < 4294967296.0f
                   ? static_cast<uint32_t>(static_cast<int64_t>(id))
                   : 0;
  for (CameraSegment& seg : segments) m_segments.push_back(Sanitized(seg));
  return true;
}

CameraSegment CScriptCam::Sanitized(const CameraSegment& segment) {
  CameraSegment seg = segment;
  // A NaN time would never run out and would hold the camera forever.
  if (!std::isfinite(seg.moveTime)) seg.moveTime = 0.0f;
  if (!std::isfinite(seg.holdTime)) seg.holdTime = 0.0f;
  if (!std::isfinite(seg.bankFactor)) seg.bankFactor = 0.0f;
  seg.runtime[0] = seg.runtime[1] = 0;
  return seg;
}

bool CScriptCam::SetSegments(const uint8_t* block, size_t size) {
  m_segments.clear();
  ResetPlayback();
  if (block == nullptr || size < kBlockHeaderSize) {
    DebugPrintf("CScriptCam: script block of %u bytes has no header\n", static_cast<unsigned>(size));
    return false;
  }
  m_cameraID = ReadU32(block);
  const uint32_t count = ReadU32(block + 4);
  const size_t present = (size - kBlockHeaderSize) / sizeof(CameraSegment);
  size_t take = std::min<size_t>(count, present);
  if (take < count)
    DebugPrintf("CScriptCam: script block claims %u segments but holds %u\n", count, static_cast<unsigned>(take));
  if (take > kMaxSegments) {
    DebugPrintf("CScriptCam: script block cut to %u segments\n", kMaxSegments);
    take = kMaxSegments;
  }
  m_segments.resize(take);
  for (size_t i = 0; i < take; ++i) {
    CameraSegment seg;
    std::memcpy(&seg, block + kBlockHeaderSize + i * sizeof(CameraSegment), sizeof(CameraSegment));
    m_segments[i] = Sanitized(seg);
  }
  return true;
}

uint32_t CScriptCam::GetBlockSize() const {
  return static_cast<uint32_t>(kBlockHeaderSize + sizeof(CameraSegment) * m_segments.size());
}

bool CScriptCam::WriteBlock(uint8_t* out, size_t size) const {
  if (out == nullptr || size < GetBlockSize()) {
    DebugPrintf("CScriptCam: %u bytes is too small for the script block\n", static_cast<unsigned>(size));
    return false;
  }
  WriteU32(out, m_cameraID);
  WriteU32(out + 4, static_cast<uint32_t>(m_segments.size()));
  for (size_t i = 0; i < m_segments.size(); ++i)
    std::memcpy(out + kBlockHeaderSize + i * sizeof(CameraSegment), &m_segments[i], sizeof(CameraSegment));
  return true;
}

void CScriptCam::Play() {
  if (m_segments.empty()) return;
  m_playing = 1;
  m_current = 0;
  m_timer = 0.0f;
  m_holding = 0;
  m_elapsed = 0.0f;
}

CScriptCam* CScriptCam::FindById(uint32_t id) { return FindById(id, GetGameWorld()); }

CScriptCam* CScriptCam::FindById(uint32_t id, const CGameWorld* world) {
  if (world == nullptr) return nullptr;
  for (size_t i = 0; i < world->GetCameraCount(); ++i) {
    CScriptCam* cam = dynamic_cast<CScriptCam*>(world->GetCamera(i));
    if (cam != nullptr && cam->m_cameraID == id) return cam;
  }
  return nullptr;
}

void CScriptCam::UpdateCamera(const COrientation*, float dt, CInputMan*, uint32_t, uint32_t, CGameObject*) {
  if (m_playing != 0) Update(dt);
}

void CScriptCam::NextSegment() {
  ++m_current;
  m_timer = 0.0f;
  m_holding = 0;
  if (m_current >= m_segments.size()) m_playing = 0;
}

void CScriptCam::Move(const CameraSegment& seg, float dt) {
  // Splines are looked up by ID at every step rather than kept: they are level objects that may be
  // deleted while the camera lives, and an ID cannot dangle.
  const CBezierSpline* path = CBezierSpline::FindByID(static_cast<int32_t>(seg.positionSplineID));
  const CBezierSpline* target = CBezierSpline::FindByID(static_cast<int32_t>(seg.lookSplineID));
  if (path == nullptr || target == nullptr) return;  // the timer still runs, keeping the sequence's timing
  const float t = m_timer / seg.moveTime;
  Vector3 p, l;
  if (seg.byArcLength != 0) {
    path->GetPointAtFraction(p, t);
    target->GetPointAtFraction(l, t);
  } else {
    path->GetPointAtParameter(p, t);
    target->GetPointAtParameter(l, t);
  }
  COrientation& frame = GetFrame();
  const Vector3 x0 = frame.GetXAxis();
  if (seg.zoomDistance > 0.0f) m_view.SetFieldOfViewFromExtent(seg.zoomDistance, kZoomExtent);
  frame.SetPosition(p);
  frame.LookAt(l, true);
  if (t > 0.0f && seg.bankFactor > 0.0f && dt > 0.0f) {
    // Bank by the turn rate; rounding can put the dot a hair past 1, where acos has no value.
    const Vector3& x1 = frame.GetXAxis();
    const float turn = std::acos(std::min(1.0f, std::max(-1.0f, x0.Dot(x1))));
    const float angle = turn / dt * seg.bankFactor;
    frame.RotateX(x0.Cross(x1).Dot(frame.GetZAxis()) > 0.0f ? angle : -angle);
  }
}

void CScriptCam::Update(float dt) {
  m_elapsed += dt;
  if (m_current >= m_segments.size()) {
    m_playing = 0;
    return;
  }
  const CameraSegment& seg = m_segments[m_current];
  if (m_holding != 0) {
    m_timer -= dt;
    if (m_timer <= 0.0f) NextSegment();
    return;
  }
  if (m_timer < seg.moveTime) {
    Move(seg, dt);
    m_timer += dt;
    return;
  }
  m_holding = 1;
  m_timer = seg.holdTime;
}

void CScriptCam::HandleInputEvent(const InputEvent& event) {
  if (event.code != kSkipCode && event.code != kEndCode) return;
  if (event.code == kSkipCode && m_playing != 0 && m_current < m_segments.size()) {
    const uint32_t mode = m_segments[m_current].advanceMode;
    const bool skippable = (mode == CameraSegment::kSkipWhileHolding && m_holding != 0) ||
                           mode == CameraSegment::kSkipAnyTime || mode == CameraSegment::kSkipAndEnd;
    if (skippable) NextSegment();
  }
  if (m_current < m_segments.size() && m_segments[m_current].advanceMode == CameraSegment::kSkipAndEnd) m_playing = 0;
}
