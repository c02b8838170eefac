#include "physics/collision/SphereTreeSweep.h"

#include <algorithm>

#include "physics/collision/BeamInfo.h"
#include "physics/collision/SphereTreeNode.h"
#include "physics/collision/SphereTreeSweepQueue.h"
#include "physics/polyhedron/BeamArrayIntersector.h"

namespace {

// Stamp 0 means "never transformed", so a pose stamp of 0 always recomputes.
void Refresh(SphereTreeNode& working, const SphereTreeNode& model, const COrientation& pose, uint32_t stamp) {
  if (working.stamp == stamp && stamp != 0) return;
  working.centre = pose.LocalToWorldPoint(model.centre);
  working.stamp = stamp;
}

// The model decides the shape: a working tree cut short is walked no deeper.
uint32_t WalkableChildren(const SphereTreeSweepTriple& t) {
  if (!t.model->children || !t.start->children || !t.end->children) return 0;
  return std::min({t.model->childCount, t.start->childCount, t.end->childCount});
}

Vector3 RootCentre(const SphereTreeNode* working, const SphereTreeNode* model) {
  if (working && working->stamp != 0) return working->centre;
  return model ? model->centre : Vector3(0.0f, 0.0f, 0.0f);
}

}  // namespace

SphereTreeSweep::SphereTreeSweep(const SphereTreeNode* model, const COrientation& startPose, uint32_t startStamp,
                                 SphereTreeNode* startRoot, const COrientation& endPose, uint32_t endStamp,
                                 SphereTreeNode* endRoot)
    : m_model(model),
      m_startPose(startPose),
      m_startStamp(startStamp),
      m_startRoot(startRoot),
      m_endPose(endPose),
      m_endStamp(endStamp),
      m_endRoot(endRoot) {}

void SphereTreeSweep::GetBounds(Box& out) const {
  const Vector3 from = RootCentre(m_startRoot, m_model);
  const Vector3 to = RootCentre(m_endRoot, m_model);
  out = Box(Vector3(std::min(from.x, to.x), std::min(from.y, to.y), std::min(from.z, to.z)),
            Vector3(std::max(from.x, to.x), std::max(from.y, to.y), std::max(from.z, to.z)));
  const float grow = (m_model ? m_model->radius : 0.0f) + 0.1f;
  out.min -= Vector3(grow, grow, grow);
  out.max += Vector3(grow, grow, grow);
}

void SphereTreeSweep::GetSweep(Vector3& out) const {
  out = RootCentre(m_endRoot, m_model) - RootCentre(m_startRoot, m_model);
}

bool SphereTreeSweep::IntersectBox(const Box& box) {
  BeamBoxIntersector shape(box);
  return Walk(shape);
}

bool SphereTreeSweep::IntersectPolygon(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool,
                                       const Box*) {
  BeamPolyIntersector shape(a, b, k, n);
  return Walk(shape);
}

bool SphereTreeSweep::IntersectTriangle(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool,
                                        const Box*) {
  BeamPoly2SidedIntersector shape(a, b, k, n);
  return Walk(shape);
}

bool SphereTreeSweep::IntersectSphere(const Vector3& centre, float radius) {
  BeamSphereIntersector shape(centre, radius);
  return Walk(shape);
}

bool SphereTreeSweep::Walk(BeamIntersectedObject& shape) {
  result.Reset();
  m_bestStart = m_bestEnd = nullptr;
  SphereTreeSweepQueue& queue = SphereTreeSweepQueue::Shared();
  queue.Clear();
  if (!m_model || !m_startRoot || !m_endRoot) return false;
  queue.Push({m_model, m_startRoot, m_endRoot});
  bool found = false;
  // Breadth first: triples are taken from the front while children are appended at the back.
  for (size_t i = 0; i < queue.Size(); ++i) {
    const SphereTreeSweepTriple t = queue.At(i);
    Refresh(*t.start, *t.model, m_startPose, m_startStamp);
    Refresh(*t.end, *t.model, m_endPose, m_endStamp);
    const uint32_t children = WalkableChildren(t);
    BeamInfo beam(t.start->centre, t.end->centre, t.model->radius);
    beam.mode = children > 0 ? kInnerNodeMode : mode;
    if (!shape.Apply(beam)) continue;
    if (children > 0) {
      for (uint32_t c = 0; c < children; ++c)
        queue.Push({&t.model->children[c], &t.start->children[c], &t.end->children[c]});
      continue;
    }
    found = true;
    if (beam.result.time < result.time) {
      result = beam.result;
      normal = beam.normal;
      m_bestStart = t.start;
      m_bestEnd = t.end;
    }
  }
  queue.Clear();
  return found;
}
