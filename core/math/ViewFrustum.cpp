// ViewFrustum: field of view, corners, projection matrices and the cull volume.
#include "core/math/ViewFrustum.h"

#include "platform/system/Win32.h"
#include "core/math/CullVolume.h"

#include <cmath>

ViewFrustum::ViewFrustum() { SetFieldOfView(fieldOfView); }

ViewFrustum::~ViewFrustum() { ReleaseCullVolume(); }

// The copy starts without a volume, so assigning releases nothing and takes every other field.
ViewFrustum::ViewFrustum(const ViewFrustum& other) { *this = other; }

ViewFrustum& ViewFrustum::operator=(const ViewFrustum& other) {
  if (this == &other) return *this;
  // Our volume described our old view; it would be stale after the copy.
  ReleaseCullVolume();
  frame = other.frame;
  nearClip = other.nearClip;
  farClip = other.farClip;
  fieldOfView = other.fieldOfView;
  aspect = other.aspect;
  orthographic = other.orthographic;
  orthoWidth = other.orthoWidth;
  tanHalfFov = other.tanHalfFov;
  sinHalfFov = other.sinHalfFov;
  cosHalfFov = other.cosHalfFov;
  viewProjection = other.viewProjection;
  return *this;
}

void ViewFrustum::SetFieldOfView(float fov) {
  fieldOfView = fov;
  const float half = fov * 0.5f;
  tanHalfFov = std::tan(half);
  sinHalfFov = std::sin(half);
  cosHalfFov = std::cos(half);
}

void ViewFrustum::SetFieldOfViewFromExtent(float d, float h) {
  // At distance 0 the extent defines no angle (h / d is infinite or NaN and
  // would poison every projection built afterwards): keep the current view.
  if (d == 0.0f || !std::isfinite(d) || !std::isfinite(h)) {
    OutputDebugStringA("ViewFrustum: field of view from an extent at distance 0 ignored\n");
    return;
  }
  const float hyp = std::sqrt(d * d + h * h);
  tanHalfFov = h / d;
  sinHalfFov = h / hyp;
  cosHalfFov = d / hyp;
  fieldOfView = 2.0f * std::atan(h / d);
}

void ViewFrustum::GetCornerAtDistance(Vector3& out, int i, float d) const {
  float y, z;
  if (orthographic) {
    y = orthoWidth * 0.5f;
    z = y / aspect;
  } else {
    y = tanHalfFov * d;
    z = tanHalfFov * d / aspect;
  }
  out.Set(d, (i & 1) ? -y : y, (i & 2) ? -z : z);
}

void ViewFrustum::ProjectionMatrix(Matrix4& out) const {
  if (orthographic) {
    out.SetDiagonal(1.0f);
    out.Translate(Vector3(0.0f, 0.0f, -nearClip));
    out.Scale(Vector3(2.0f / orthoWidth, 2.0f / orthoWidth, 1.0f / (farClip - nearClip)));
    return;
  }
  out.SetDiagonal(0.0f);
  out.m[0][0] = 1.0f / tanHalfFov;
  out.m[1][1] = aspect / tanHalfFov;
  out.m[2][2] = farClip / (farClip - nearClip);
  out.m[2][3] = 1.0f;
  out.m[3][2] = -nearClip * farClip / (farClip - nearClip);
}

void ViewFrustum::BuildViewProjection(Matrix4& out) const {
  Matrix4 m = frame.ToCameraMatrix();
  if (orthographic) {
    m.Translate(Vector3(0.0f, 0.0f, -nearClip));
    m.Scale(Vector3(2.0f / orthoWidth, 2.0f / orthoWidth, 1.0f / (farClip - nearClip)));
  } else {
    // Aspect is left to the renderer's viewport scale (GetScaledViewProjection).
    Matrix4 p;
    p.SetDiagonal(0.0f);
    p.m[0][0] = p.m[1][1] = 1.0f / tanHalfFov;
    p.m[2][2] = farClip / (farClip - nearClip);
    p.m[2][3] = 1.0f;
    p.m[3][2] = -nearClip * farClip / (farClip - nearClip);
    m = m * p;
  }
  // Clip -1..1 to 0..1 in x and y.
  m.Translate(Vector3(1.0f, 1.0f, 0.0f));
  m.Scale(Vector3(0.5f, 0.5f, 1.0f));
  out = m;
}

void ViewFrustum::GetScaledViewProjection(Matrix4& out, float sx, float sy) const {
  out = viewProjection;
  for (int i = 0; i < 4; ++i) {
    out.m[i][0] *= sx;
    out.m[i][1] *= sy;
  }
}

void ViewFrustum::BuildCullVolume(uint8_t kind) {
  cullVolume.reset();
  cullVolume = std::make_unique<CullVolume>(*this, kind);
}

void ViewFrustum::ReleaseCullVolume() { cullVolume.reset(); }
