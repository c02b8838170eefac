#include "tools/DemoContentLevelPaths.h"

#include <algorithm>
#include <cstring>

#include "core/data/LittleEndian.h"
#include "core/math/Orientation.h"
#include "park/grid/Path3D.h"
#include "scene/mesh/ShadedMesh.h"

namespace DemoContent {
namespace {

constexpr float kGround = 2.0f;  // the level's ground height
constexpr float kLift = 0.5f;    // paths run half a unit above what they follow

std::vector<DemoPathEdge> BothWays(std::vector<DemoPathEdge> edges) {
  const size_t n = edges.size();
  for (size_t i = 0; i < n; ++i) edges.push_back({edges[i].to, edges[i].from, edges[i].name});
  return edges;
}

}  // namespace

std::vector<DemoPath> LevelPaths() {
  // Round the block at (10..18, 10..22), one unit off its walls, both ways.
  DemoPath loop{1, Vector3(14, 16, kGround), {}, {}};
  loop.nodes = {Vector3(-5, -7, kLift), Vector3(5, -7, kLift), Vector3(5, 7, kLift), Vector3(-5, 7, kLift)};
  loop.edges = BothWays({{0, 1, "patrol"}, {1, 2, "patrol"}, {2, 3, "patrol"}, {3, 0, "patrol"}});
  // Along the top of the block at (26..34, 40..48), five high.
  DemoPath ledge{2, Vector3(30, 44, kGround + 5.0f), {}, {}};
  ledge.nodes = {Vector3(-3, 0, kLift), Vector3(0, 0, kLift), Vector3(3, 0, kLift)};
  ledge.edges = BothWays({{0, 1, "ledge"}, {1, 2, "ledge"}});
  // From the south gate up the middle, forking to the two eastern blocks; one way, unnamed
  // branches, and a last node nothing leaves.
  DemoPath run{3, Vector3(34, 8, kGround), {}, {}};
  run.nodes = {Vector3(0, 0, kLift), Vector3(0, 16, kLift), Vector3(12, 14, kLift), Vector3(18, 34, kLift)};
  run.edges = {{0, 1, "run"}, {1, 2, nullptr}, {1, 3, nullptr}};
  return {loop, ledge, run};
}

std::vector<uint8_t> BuildPathRecord(const DemoPath& path) {
  std::vector<std::string> names;
  std::vector<int32_t> nameOf;
  for (const DemoPathEdge& e : path.edges) {
    if (e.name == nullptr) {
      nameOf.push_back(-1);
      continue;
    }
    auto known = std::find(names.begin(), names.end(), e.name);
    nameOf.push_back(static_cast<int32_t>(known - names.begin()));
    if (known == names.end()) names.push_back(e.name);
  }
  const size_t nodes = path.nodes.size(), edges = path.edges.size();
  std::vector<std::vector<int32_t>> outgoing(nodes);
  for (size_t i = 0; i < edges; ++i)
    outgoing[static_cast<size_t>(path.edges[i].from)].push_back(static_cast<int32_t>(i));

  std::vector<uint8_t> record;
  le::PutU32(record, C3DPath::kVersion);
  le::PutU32(record, path.id);
  le::PutU32(record, static_cast<uint32_t>(nodes));
  le::PutU32(record, static_cast<uint32_t>(edges));
  le::PutU32(record, static_cast<uint32_t>(names.size()));
  const uint8_t guid[16] = {'d', 'e', 'm', 'o', 'p', 'a', 't', 'h', static_cast<uint8_t>(path.id)};
  record.insert(record.end(), guid, guid + sizeof(guid));
  for (size_t n = 0; n < nodes; ++n) {
    for (int w = 0; w < 9; ++w) le::PutU32(record, 0);  // search fields, not read
    le::PutU32(record, static_cast<uint32_t>(outgoing[n].empty() ? -1 : outgoing[n][0]));
    for (float f : {path.nodes[n].x, path.nodes[n].y, path.nodes[n].z}) le::PutF32(record, f);
  }
  for (size_t i = 0; i < edges; ++i) {
    const DemoPathEdge& e = path.edges[i];
    const std::vector<int32_t>& ring = outgoing[static_cast<size_t>(e.from)];
    const size_t at = static_cast<size_t>(std::find(ring.begin(), ring.end(), static_cast<int32_t>(i)) - ring.begin());
    int32_t opposite = -1;
    for (size_t k = 0; k < edges; ++k)
      if (path.edges[k].from == e.to && path.edges[k].to == e.from) opposite = static_cast<int32_t>(k);
    le::PutU32(record, 0);
    for (int32_t w :
         {e.from, e.to, opposite, ring[(at + 1) % ring.size()], ring[(at + ring.size() - 1) % ring.size()], nameOf[i]})
      le::PutU32(record, static_cast<uint32_t>(w));
    le::PutF32(record, (path.nodes[static_cast<size_t>(e.to)] - path.nodes[static_cast<size_t>(e.from)]).Length());
  }
  for (const std::string& name : names) record.insert(record.end(), name.c_str(), name.c_str() + name.size() + 1);
  return record;
}

void AddLevelPathPoints(ShadedMesh& mesh) {
  for (const DemoPath& path : LevelPaths()) {
    const std::vector<uint8_t> record = BuildPathRecord(path);
    COrientation at;
    at.position = path.at;
    mesh.AddAttachPoint(at, C3DPath::kAttachType, static_cast<uint32_t>(record.size()), record.data(), false);
  }
}

}  // namespace DemoContent
