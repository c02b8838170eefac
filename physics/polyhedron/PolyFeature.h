// Feature: common base of a convex polyhedron's vertices, edges and faces.
#pragma once

#include <cstdint>

enum PolyFeatureType : uint32_t { kPolyVertex = 0, kPolyEdge = 1, kPolyFace = 2 };

// The closest-feature walk switches on the type tag rather than on virtual calls,
// since it dispatches on the pair of types at once.
class Feature {
 public:
  explicit Feature(uint32_t featureType) : type(featureType) {}
  virtual ~Feature() = default;
  virtual const char* name() const = 0;

  uint32_t type;
};
