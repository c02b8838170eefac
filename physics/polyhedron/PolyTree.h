// PolyTree: a rigid body's convex pieces as a tree whose inner nodes hold the hull of their children.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "physics/polyhedron/Polyhedron.h"
#include "physics/polymath/Se3.h"
#include "physics/polymath/VclipMatrixTransform.h"
#include "physics/polymath/VclipVector3.h"

class PolyTree {
 public:
  explicit PolyTree(const char* treeName = "");
  // Children are copied recursively; the polyhedra are shared.
  PolyTree(const PolyTree& other);
  PolyTree& operator=(const PolyTree&) = delete;
  // Drops this node's closest-feature cache entries: their feature pointers die with it.
  ~PolyTree();

  void setPolyhedron(std::shared_ptr<Polyhedron> poly);
  const Polyhedron* polyhedron() const { return poly_.get(); }
  void addChild(std::unique_ptr<PolyTree> child);
  // Pose relative to the parent (the inverse is kept alongside).
  void setPose(const Se3& pose);
  const Se3& pose() const { return pose_; }
  const Se3& inversePose() const { return inversePose_; }

  const char* name() const { return name_.c_str(); }
  bool atomic() const { return children_.empty(); }
  size_t numChildren() const { return children_.size(); }
  const PolyTree* child(size_t i) const { return i < children_.size() ? children_[i].get() : nullptr; }
  const PolyTree* findChild(const char* childName) const;
  int numLeaves() const;
  int numNodes() const;

  // This node's polyhedron becomes the hull of all children's vertices (in this
  // node's frame), vertices named v0, v1, ... 0 on success, 1 when the hull fails
  // (the node keeps its previous polyhedron).
  int compoundHull();
  // Volume integrals: from the polyhedron's faces for a leaf, the children's sums
  // carried through their poses for a compound node. Then the radius.
  void computeMassProperties();
  void print(std::ostream& out, int depth = 0) const;

  float volume = 0.0f;
  VclipVector3 firstMoment;   // integral of x, y, z
  VclipVector3 secondMoment;  // integral of x^2, y^2, z^2
  VclipVector3 products;      // integral of xy, yz, zx
  float radius = 0.0f;        // largest centroid-to-vertex distance
  VclipMatrixTransform xform1, xform2;  // per-node working transforms of the body code

 private:
  std::shared_ptr<Polyhedron> poly_;
  Se3 pose_;
  Se3 inversePose_;
  std::vector<std::unique_ptr<PolyTree>> children_;
  std::string name_;
};
