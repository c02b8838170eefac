// ViewFrustum: a camera's projection record - frame, clip distances, field of
// view, orthographic alternative, cached view-projection and its cull volume.
#pragma once

#include "core/math/Matrix4.h"
#include "core/math/Orientation.h"
#include "core/math/Vector3.h"

#include <cstdint>
#include <memory>

class CullVolume;

class ViewFrustum {
 public:
  // View space: the frame's X is depth, Y horizontal, Z vertical. The field
  // order is relied on by the renderers (near is float 12, far float 13).
  COrientation frame;
  float nearClip = 0.3f;
  float farClip = 10000.0f;
  float fieldOfView = 2.0943952f;  // full angle in radians (120 degrees)
  float aspect = 1.0f;             // width over height
  uint32_t orthographic = 0;       // 0 = perspective
  float orthoWidth = 100.0f;       // world units across an orthographic view
  float tanHalfFov;
  float sinHalfFov;
  float cosHalfFov;
  Matrix4 viewProjection;  // refreshed only by UpdateViewProjection
  std::unique_ptr<CullVolume> cullVolume;

  ViewFrustum();
  ~ViewFrustum();
  // Copies take every field except the cull volume, which stays owned by the
  // original (the copy starts without one) so it is never deleted twice.
  ViewFrustum(const ViewFrustum& other);
  ViewFrustum& operator=(const ViewFrustum& other);

  COrientation& GetFrame() { return frame; }
  const COrientation& GetFrame() const { return frame; }
  void SetFrame(const COrientation& f) { frame = f; }
  float GetNear() const { return nearClip; }
  float GetFar() const { return farClip; }
  void SetNear(float d) { nearClip = d; }
  void SetFar(float d) { farClip = d; }
  float GetFieldOfView() const { return fieldOfView; }
  float GetTanHalfFov() const { return tanHalfFov; }
  float GetAspect() const { return aspect; }
  void SetAspect(float a) { aspect = a; }
  bool IsOrthographic() const { return orthographic != 0; }
  float GetOrthoWidth() const { return orthoWidth; }

  // Stores fov and caches tan, sin and cos of half of it.
  void SetFieldOfView(float fov);
  // From a half extent h seen at distance d.
  void SetFieldOfViewFromExtent(float d, float h);
  void SetOrthographic() { orthographic = 1; }
  void SetPerspective() { orthographic = 0; }
  void SetOrthoWidth(float w) { orthoWidth = w; }

  // View-space corners (x = depth): bit 0 of i negates y, bit 1 negates z.
  void GetFarCorner(Vector3& out, int i) const { GetCornerAtDistance(out, i, farClip); }
  void GetNearCorner(Vector3& out, int i) const { GetCornerAtDistance(out, i, nearClip); }
  void GetCornerAtDistance(Vector3& out, int i, float d) const;

  // Projection with aspect applied (renderer form).
  void ProjectionMatrix(Matrix4& out) const;
  // World to screen fractions: after division by w, x and y run 0..1 (y up) and z 0..1.
  void BuildViewProjection(Matrix4& out) const;
  void UpdateViewProjection() { BuildViewProjection(viewProjection); }
  const Matrix4& GetViewProjection() const { return viewProjection; }
  void GetScaledViewProjection(Matrix4& out, float sx, float sy) const;

  // Replaces the owned cull volume: kind 0 the five-plane pyramid, else the six-plane frustum.
  void BuildCullVolume(uint8_t kind);
  void ReleaseCullVolume();
  CullVolume* GetCullVolume() const { return cullVolume.get(); }
};
