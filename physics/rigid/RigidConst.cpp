#include "physics/rigid/RigidConst.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "core/data/ResourceTable.h"
#include "physics/polyhedron/PolyTree.h"
#include "physics/polyhedron/Polyhedron.h"
#include "core/math/ConvexHullFaces.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/VertexSharingTable.h"

using le::ReadF32;
using le::ReadU32;

namespace {

Box ZeroBox() { return Box(Vector3(0.0f, 0.0f, 0.0f), Vector3(0.0f, 0.0f, 0.0f)); }

// One convex piece as a polyhedron with coplanar hull triangles merged into single faces, so
// that a box has six faces and passes the consistency check on its merits. Null when the
// points span no volume.
std::shared_ptr<Polyhedron> BuildPiece(const AttachPoint& ap) {
  const uint8_t* data = ap.GetData();
  const uint32_t length = ap.GetLength();
  if (!data || length < 16) {
    DebugPrintf("RigidConst: convex piece without a point count\n");
    return nullptr;
  }
  const uint32_t n = ReadU32(data);
  if (n > kMaxConvexHullPoints || (length - 16) / 12 < n) {
    DebugPrintf("RigidConst: convex piece of %u points does not fit its %u bytes\n", n, length);
    return nullptr;
  }
  std::vector<Vector3> points(n);
  for (uint32_t i = 0; i < n; ++i) {
    const uint8_t* p = data + 16 + 12 * static_cast<size_t>(i);
    points[i] = ap.transform.LocalToWorldPoint(Vector3(ReadF32(p), ReadF32(p + 4), ReadF32(p + 8)));
  }
  std::vector<ConvexHullTriangle> triangles;
  if (!BuildConvexHullFaces(points.data(), n, triangles) || triangles.size() < 4) return nullptr;

  auto poly = std::make_shared<Polyhedron>();
  std::vector<Vertex*> made(n, nullptr);
  for (const ConvexHullTriangle& t : triangles)
    for (uint16_t idx : t.index)
      if (!made[idx]) made[idx] = poly->addVertex("foo", VclipVector3(points[idx].x, points[idx].y, points[idx].z));
  // The hull of the corners again, through the merging hull builder: coplanar triangles become
  // one face. Should it fail, the triangles themselves are the faces.
  if (poly->buildHull() != 0) {
    for (const ConvexHullTriangle& t : triangles)
      poly->addFace("bar", {made[t.index[0]], made[t.index[1]], made[t.index[2]]}, false);
  }
  return poly;
}

RigidConst::VehicleBuilder g_vehicleBuilder = nullptr;

ResourceOwner BuildMeshAsset(std::unique_ptr<ShadedMesh>& mesh, uint16_t& typeCode) {
  if (g_vehicleBuilder && mesh->FindAttachPoint(kAttachVehicleDef) >= 0) {
    ResourceOwner vehicle = g_vehicleBuilder(mesh);
    if (vehicle) typeCode = kResourceVehicle;
    return vehicle;
  }
  if (mesh->FindAttachPoint(kAttachRigidParams) < 0) return ResourceOwner();
  auto model = std::make_unique<RigidConst>();
  model->BuildFromMesh(std::move(mesh));
  typeCode = kResourceRigidBody;
  return MakeResourceOwner(std::move(model));
}

}  // namespace

RigidConst::RigidConst() : m_turningBounds(ZeroBox()), m_modelBox(ZeroBox()) {}

RigidConst::~RigidConst() {
  m_pieces.reset();
  m_mesh = nullptr;
  m_ownedMesh.reset();
  m_sphereRoot.FreeChildren();
}

void RigidConst::RegisterResourceLoaders() { ShadedMesh::SetResourceBuilder(BuildMeshAsset); }

void RigidConst::SetVehicleBuilder(VehicleBuilder builder) {
  g_vehicleBuilder = builder;
  RegisterResourceLoaders();
}

bool RigidConst::BuildFromMesh(std::unique_ptr<ShadedMesh> owned) {
  if (!owned) {
    DebugPrintf("RigidConst: no mesh to build from\n");
    return false;
  }
  m_ownedMesh = std::move(owned);
  m_mesh = m_ownedMesh.get();
  Build();
  return true;
}

void RigidConst::BuildOnBorrowedMesh(ShadedMesh& mesh) {
  m_ownedMesh.reset();
  m_mesh = &mesh;
  Build();
}

void RigidConst::Build() {
  ShadedMesh* mesh = m_mesh;
  const int paramsIndex = mesh->FindAttachPoint(kAttachRigidParams);
  if (paramsIndex >= 0) {
    const AttachPoint& ap = mesh->attachPoints[static_cast<size_t>(paramsIndex)];
    if (ap.GetLength() > sizeof(RigidPhysicsParams))
      DebugPrintf("RigidConst: constants block of %u bytes, only the first %u read\n", ap.GetLength(),
                  static_cast<unsigned>(sizeof(RigidPhysicsParams)));
    m_params.CopyFrom(ap.GetData(), ap.GetLength());
  }
  ReadPointMasses();
  BuildSpheres();
  BuildPieces();
  FinishMesh();
}

void RigidConst::ReadPointMasses() {
  std::vector<int> found;
  m_mesh->CollectAttachPoints(kAttachRigidPointMass, found);
  std::vector<RigidPointMass> masses;
  float sum = 0.0f;
  for (int i : found) {
    const AttachPoint& ap = m_mesh->attachPoints[static_cast<size_t>(i)];
    if (!ap.GetData() || ap.GetLength() < 8) {
      DebugPrintf("RigidConst: point mass with %u data bytes skipped\n", ap.GetLength());
      continue;
    }
    const float m = ReadF32(ap.GetData()), r = ReadF32(ap.GetData() + 4);
    if (!std::isfinite(m) || !std::isfinite(r) || m < 0.0f) {
      DebugPrintf("RigidConst: point mass %f radius %f skipped\n", m, r);
      continue;
    }
    masses.push_back({ap.transform.position, m, r});
    sum += m;
  }
  const float wanted = m_params.massTotalOverride;
  if (wanted > 0.0f) {
    if (sum > 0.0f) {
      for (RigidPointMass& pm : masses) pm.mass *= wanted / sum;
    } else {
      DebugPrintf("RigidConst: mass override %f without point masses to scale\n", wanted);
    }
  }
  const Vector3 c = m_mass.SetFromPointMasses(masses.data(), static_cast<uint32_t>(masses.size()));
  if (c != Vector3(0.0f, 0.0f, 0.0f)) m_mesh->Transform(COrientation(TMatrix(), c));
}

void RigidConst::BuildSpheres() {
  std::vector<int> found;
  m_mesh->CollectAttachPoints(kAttachRigidSphere, found);
  std::vector<const AttachPoint*> spheres;
  for (int i : found) {
    const AttachPoint& ap = m_mesh->attachPoints[static_cast<size_t>(i)];
    if (ap.GetData() && ap.GetLength() >= 4 && ReadF32(ap.GetData()) >= 0.0f)
      spheres.push_back(&ap);
    else
      DebugPrintf("RigidConst: collision sphere without a radius skipped\n");
  }
  m_sphereRoot.Clear();
  m_modelBox = ZeroBox();
  if (!spheres.empty() && m_sphereRoot.AllocateChildren(static_cast<uint32_t>(spheres.size()))) {
    for (size_t i = 0; i < spheres.size(); ++i) {
      SphereTreeNode& child = m_sphereRoot.children[i];
      child.centre = spheres[i]->transform.position;
      child.radius = ReadF32(spheres[i]->GetData());
      Box b;
      b.SetFromCenterRadius(child.centre, child.radius);
      m_modelBox.ExtendByBox(b);
    }
    m_sphereRoot.FitToChildren();
  } else {
    // Without authored spheres the body is swept as one sphere round its mesh.
    m_sphereRoot.centre = Vector3(0.0f, 0.0f, 0.0f);
    m_sphereRoot.radius = m_mesh->radius;
  }
  const float half = m_sphereRoot.centre.Length() + m_sphereRoot.radius;
  m_turningBounds.SetFromCenterRadius(Vector3(0.0f, 0.0f, 0.0f), half);
}

void RigidConst::BuildPieces() {
  std::vector<int> found;
  m_mesh->CollectAttachPoints(kAttachRigidConvex, found);
  std::vector<std::shared_ptr<Polyhedron>> kept;
  for (int i : found) {
    std::shared_ptr<Polyhedron> poly = BuildPiece(m_mesh->attachPoints[static_cast<size_t>(i)]);
    if (!poly) continue;
    if (poly->check() != 0) {
      DebugPrintf("RigidConst: Polyhedron Bounds Check Error!\n");
      continue;
    }
    kept.push_back(std::move(poly));
  }
  m_pieces.reset();
  if (kept.size() == 1) {
    m_pieces = std::make_unique<PolyTree>("pieces");
    m_pieces->setPolyhedron(kept[0]);
    m_pieces->computeMassProperties();
  } else if (kept.size() > 1) {
    m_pieces = std::make_unique<PolyTree>("pieces");
    for (size_t i = 0; i < kept.size(); ++i) {
      auto child = std::make_unique<PolyTree>(("piece" + std::to_string(i)).c_str());
      child->setPolyhedron(kept[i]);
      child->computeMassProperties();
      m_pieces->addChild(std::move(child));
    }
    if (m_pieces->compoundHull() != 0) DebugPrintf("RigidConst: hull of the convex pieces failed\n");
    m_pieces->computeMassProperties();
  }
}

void RigidConst::FinishMesh() {
  Box cube;
  cube.SetFromCenterRadius(Vector3(0.0f, 0.0f, 0.0f), m_mesh->radius);
  m_turningBounds.ExtendByBox(cube);
  if (m_mesh->vertexCount > 0) m_modelBox.ExtendByBox(m_mesh->GetTransformedBounds(nullptr));
  if ((m_mesh->flags & ShadedMesh::kFlagVertexNormals) == 0) m_mesh->ComputeNormalsAndBounds(1.2566371f);
  if (!m_mesh->sharingTable && m_mesh->faceRecords && m_mesh->faceCount > 0 && m_mesh->BuildEdgeAdjacency()) {
    auto table = std::make_unique<VertexSharingTable>();
    if (table->Build(*m_mesh, reinterpret_cast<const VertexSharingFace*>(m_mesh->faceRecords)))
      m_mesh->sharingTable = std::move(table);
  }
}
