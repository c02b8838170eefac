// libFuzzer entry for the 3D path record: an accepted path is walked the way scripts and the
// search walk it - every node's successors, the nearest edge and node, a search between nodes.
#include <cstdlib>

#include "park/grid/Path3D.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  const std::vector<uint8_t> record = fuzz_input::Bytes(data, size);
  C3DPath path;
  if (!path.LoadFromData(record.data(), record.size())) {
    if (path.GetNodeCount() != 0 || !path.GetEdges().empty()) std::abort();
    return 0;
  }
  size_t steps = 0;
  for (size_t i = 0; i < path.GetNodeCount(); ++i) {
    SuccessorList next;
    path.GetSuccessors(path.GetNodePointer(i), next);
    if (static_cast<int>(next.size()) != path.CountEdgesOfNode(static_cast<int>(i))) std::abort();
    steps += next.size();
    path.GetEdgeOfNode(static_cast<int>(i), 1);
  }
  if (steps > path.GetEdges().size()) std::abort();
  path.FindNearestEdge(Vector3(1, 2, 3));
  const int node = path.FindNearestNode(Vector3(-1, 0, 1), nullptr);
  if (node >= 0 && path.GetNodeCount() > 1) {
    GraphPath route;
    path.FindPath(path.GetNodePointer(static_cast<size_t>(node)), path.GetNodePointer(path.GetNodeCount() - 1), &route);
  }
  return 0;
}
