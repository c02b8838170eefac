// MeshAttachedObject: base of an object a resource loader hangs on a mesh; the mesh owns and deletes it.
#pragma once

// The mesh knows nothing of what the loader built (a body model, a vehicle definition); it only
// keeps the object alive as long as itself.
class MeshAttachedObject {
 public:
  virtual ~MeshAttachedObject() = default;

 protected:
  MeshAttachedObject() = default;
  MeshAttachedObject(const MeshAttachedObject&) = default;
  MeshAttachedObject& operator=(const MeshAttachedObject&) = default;
};
