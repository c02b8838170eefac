// CRenderView: vertex lighting of mesh corners from the light list, stored in the instance's face colours.
#include <cmath>

#include "render/view/RenderView.h"
#include "scene/lighting/LightList.h"
#include "scene/lighting/LightMapFaceRecord.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/VertexFetchInterface.h"

namespace {

uint8_t LitChannel(uint8_t base, float light) {
  const float v = std::trunc(static_cast<float>(base) * light);
  if (!(v > 0.0f)) return 0;
  return v >= 255.0f ? 255 : static_cast<uint8_t>(v);
}

// Base colour scaled by the light sum; alpha scaled by the instance alpha.
Color LightColour(Color base, const Vector3& light, float alpha) {
  Color out;
  out.r = LitChannel(base.r, light.x);
  out.g = LitChannel(base.g, light.y);
  out.b = LitChannel(base.b, light.z);
  out.a = LitChannel(base.a, alpha);
  return out;
}

// The light sum for one mesh vertex and normal, in the object's space.
Vector3 SumAt(const LightList& lights, const CMeshInstance& instance, uint32_t vertex, uint32_t normal) {
  float p[3] = {0, 0, 0}, n[3] = {0, 0, 0};
  instance.GetVertexFetch()->GetPosition(vertex, p);
  instance.GetVertexFetch()->GetNormal(normal, n);
  Vector3 sum;
  lights.SumLocalColor(sum, Vector3(n[0], n[1], n[2]), Vector3(p[0], p[1], p[2]));
  return sum;
}

}  // namespace

Color CRenderView::ComputeFaceLight(CMeshInstance* instance, uint32_t face, uint32_t corner,
                                    const FaceLightRecord* record) {
  const ShadedMesh& mesh = *instance->GetMesh();
  if (!m_lights || face >= mesh.faceCount || corner >= 3) return instance->GetFaceColour(face, corner);
  if (!m_lightsSelected) {
    Box box;
    instance->GetSphereBox(box);
    m_lights->SelectLights(box, record ? 3u : 1u);
    instance->UpdateWorldMatrix();
    m_lights->TransformToLocal(instance->GetWorldMatrix());
    m_lightsSelected = true;
    if (instance->HasSinglePointLighting()) m_lights->ComputeInfluences(m_objectPosition, 0, 1024);
  }
  const uint32_t vertex = mesh.indices[3 * static_cast<size_t>(face) + corner];
  const uint32_t normal = mesh.faceRecords[face].corners[corner].normal;
  if (!instance->HasSinglePointLighting())
    m_lights->ComputeInfluences(instance->GetVertexWorldPosition(vertex), 1, 1024);
  const Vector3 light = SumAt(*m_lights, *instance, vertex, normal);
  // A light map carries the static light, so the lights add to it; without one they are all the light.
  const Vector3 scale = record ? light + Vector3(1.0f, 1.0f, 1.0f) : light;
  CMeshInstance::FaceColours* colours = instance->GetFaceColours();
  auto recolour = [&](uint32_t f, uint32_t k) {
    const FaceLightRecord* own = colours ? static_cast<const FaceLightRecord*>(colours[f].lightRecord) : nullptr;
    Color base;
    if (own && !own->page)
      base = Color::FromWord(own->colours[k]);
    else if (instance->HasStaticColours())
      base = instance->GetStaticColour(f, k);
    else
      base = mesh.faceRecords[f].corners[k].color;
    instance->SetFaceColour(f, k, LightColour(base, scale, instance->GetAlpha()));
  };
  if (normal < mesh.normalCount && mesh.normalRecords && mesh.cornerList) {
    const MeshNormalRecord& shared = mesh.normalRecords[normal];
    for (uint32_t i = shared.first; i < shared.end && i < 3 * mesh.faceCount; ++i) {
      const uint32_t c = mesh.cornerList[i];
      if (c / 3 < mesh.faceCount) recolour(c / 3, c % 3);
    }
  } else {
    recolour(face, corner);
  }
  return instance->GetFaceColour(face, corner);
}

Color CRenderView::ComputeVertexLight(CMeshInstance* instance, uint32_t face, uint32_t corner) {
  const ShadedMesh& mesh = *instance->GetMesh();
  if (!m_lights || face >= mesh.faceCount || corner >= 3) return Color();
  Box box;
  instance->GetSphereBox(box);
  m_lights->SelectLights(box, 1);
  instance->UpdateWorldMatrix();
  m_lights->TransformToLocal(instance->GetWorldMatrix());
  m_lightsSelected = true;
  const uint32_t vertex = mesh.indices[3 * static_cast<size_t>(face) + corner];
  m_lights->ComputeInfluences(instance->GetVertexWorldPosition(vertex), 1, 1024);
  const Vector3 light = SumAt(*m_lights, *instance, vertex, mesh.faceRecords[face].corners[corner].normal);
  const Color base =
      instance->HasStaticColours() ? instance->GetStaticColour(face, corner) : mesh.faceRecords[face].corners[corner].color;
  return LightColour(base, light, instance->GetAlpha());
}
