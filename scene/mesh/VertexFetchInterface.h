// CVertexFetchInterface: how the renderer and the lights read an instance's vertices, rigid or skinned.
#pragma once

#include <cstdint>

class CMeshInstance;

// Results are in the mesh's local space; the caller applies the instance's world matrix.
// An index the mesh does not have gives the zero vector (and false), never a read outside it.
class CVertexFetchInterface {
 public:
  explicit CVertexFetchInterface(CMeshInstance* instance) : m_instance(instance) {}
  virtual ~CVertexFetchInterface() = default;
  CVertexFetchInterface(const CVertexFetchInterface&) = delete;
  CVertexFetchInterface& operator=(const CVertexFetchInterface&) = delete;

  virtual bool GetPosition(uint32_t vertex, float out[3]) const = 0;
  // Normal i is the mesh's shared normal record i (the one face corners name).
  virtual bool GetNormal(uint32_t normal, float out[3]) const = 0;
  virtual bool GetVertexNormal(uint32_t vertex, float out[3]) const = 0;

  CMeshInstance* GetInstance() const { return m_instance; }

 protected:
  CMeshInstance* m_instance;
};

// The mesh's current frame, normals decoded from the normal table.
class CRigidVertexFetchInterface : public CVertexFetchInterface {
 public:
  explicit CRigidVertexFetchInterface(CMeshInstance* instance) : CVertexFetchInterface(instance) {}
  bool GetPosition(uint32_t vertex, float out[3]) const override;
  bool GetNormal(uint32_t normal, float out[3]) const override;
  bool GetVertexNormal(uint32_t vertex, float out[3]) const override;
};

// Positions and normals blended from the skin's bones, placed by the instance's skeleton
// nodes; an instance without nodes (e.g. one that lent them and was detached) shows the
// bind pose.
class CBlendedVertexFetchInterface : public CVertexFetchInterface {
 public:
  explicit CBlendedVertexFetchInterface(CMeshInstance* instance) : CVertexFetchInterface(instance) {}
  bool GetPosition(uint32_t vertex, float out[3]) const override;
  bool GetNormal(uint32_t normal, float out[3]) const override;
  bool GetVertexNormal(uint32_t vertex, float out[3]) const override;
};
