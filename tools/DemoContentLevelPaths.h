// DemoContentLevelPaths: the demo level's path graphs - a patrol loop round a block, a ledge walk
// along another's top and a one-way run that forks - as path records on the level mesh's attach
// points, each record's nodes about the point it hangs on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/math/Vector3.h"

class ShadedMesh;

namespace DemoContent {

// One directed edge of a demo path, by node index.
struct DemoPathEdge {
  int32_t from, to;
  const char* name;  // null: the edge has no name
};

// One path: where it hangs in the level and its nodes about that point.
struct DemoPath {
  uint32_t id;
  Vector3 at;
  std::vector<Vector3> nodes;
  std::vector<DemoPathEdge> edges;
};
std::vector<DemoPath> LevelPaths();

// The version-100 path record of a path: each node's outgoing edges form its ring in the order
// given, an edge's opposite is the edge that runs back, names are listed once each.
std::vector<uint8_t> BuildPathRecord(const DemoPath& path);
// Adds one path-record attach point per path of LevelPaths.
void AddLevelPathPoints(ShadedMesh& mesh);

}  // namespace DemoContent
