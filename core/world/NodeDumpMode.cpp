#include "core/world/NodeDumpMode.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/spatial/BoundedObject.h"
#include "core/spatial/Octree.h"
#include "platform/system/Platform.h"

namespace {

bool g_dumpActive = false;

struct DumpBit {
  uint32_t bit;
  const char* layerName;  // null: the same wording as the node file
};

// The order both files list the flag counts in.
constexpr DumpBit kDumpBits[] = {
    {CBoundedObject::kColliderObject, nullptr},     {CBoundedObject::kEffectGenOnReact, nullptr},
    {CBoundedObject::kReactionPair, nullptr},       {CBoundedObject::kUpdateBeforeCritical, nullptr},
    {CBoundedObject::kNoPenetration, nullptr},      {CBoundedObject::kReactActiveCritical, nullptr},
    {CBoundedObject::kBackfaceCull, nullptr},       {CBoundedObject::kRenderable, nullptr},
    {CBoundedObject::kCastsShadows, nullptr},       {CBoundedObject::kReceivesLights, nullptr},
    {CBoundedObject::kLight, nullptr},              {CBoundedObject::kRigidDynamic, nullptr},
    {CBoundedObject::kGameObject, nullptr},         {CBoundedObject::kNoCameraPass, nullptr},
    {CBoundedObject::kStaticOccluder, nullptr},     {CBoundedObject::kDoNotDelete, nullptr},
    {CBoundedObject::kTargetable, nullptr},         {CBoundedObject::kCheckCollisionReaction, nullptr},
    {CBoundedObject::kPath, nullptr},               {CBoundedObject::kStaticTerrain, nullptr},
    {CBoundedObject::kSpline, nullptr},             {CBoundedObject::kWalkable, "Tactics View Render"},
    {CBoundedObject::kPotentialCoverPoly, nullptr},
};
constexpr size_t kBitCount = sizeof(kDumpBits) / sizeof(kDumpBits[0]);

void FlagLines(std::string* out, const int* counts, bool layerWording) {
  for (size_t k = 0; k < kBitCount; ++k) {
    if (counts[k] <= 0) continue;
    const char* name = layerWording && kDumpBits[k].layerName != nullptr ? kDumpBits[k].layerName
                                                                          : CBoundedObject::FlagName(kDumpBits[k].bit);
    plat::AppendFormat(*out, "%d %s\n", counts[k], name);
  }
}

void DumpNode(const COctreeNode* cell, std::string* nodes, int* layerTotal, int* layerCounts) {
  int count = 0;
  int counts[kBitCount] = {};
  for (const CBoundedObject* object : cell->objects) {
    ++count;
    ++*layerTotal;
    for (size_t k = 0; k < kBitCount; ++k) {
      if ((object->GetBoundFlags() & kDumpBits[k].bit) == 0) continue;
      ++counts[k];
      ++layerCounts[k];
    }
  }
  *nodes += "----------------------\n";
  plat::AppendFormat(*nodes, "Node Number %d has %d objects", static_cast<int>(cell->GetCellCode()), count);
  if (count == 0 && cell->visibility == nullptr && !cell->HasChildren())
    *nodes += "THIS NODE HAS NO OBJECTS NO DATA AND NO CHILDREN!!!!!!!";
  *nodes += "\n----------------------\n";
  if (count > 0) {
    *nodes += "Object flags break down as follows...\n";
    FlagLines(nodes, counts, false);
    *nodes += "\n";
  }
  if (cell->visibility != nullptr) {
    if ((cell->visibility->flags & OctreeVisibilityRecord::kSeesSky) == 0)
      *nodes += "This node is set as not able to see the sky.\n";
    *nodes += "This node can see the following nodes by number...\n";
    for (const COctreeNode* seen : cell->visibility->cells)
      plat::AppendFormat(*nodes, "%d ", static_cast<int>(seen->GetCellCode()));
    *nodes += "\n";
  }
  *nodes += "\n";
}

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

void Write(FILE* file, const std::string& text) { std::fwrite(text.data(), 1, text.size(), file); }

}  // namespace

bool IsNodeDumpActive() { return g_dumpActive; }

CNodeDumpMode::CNodeDumpMode() { g_dumpActive = true; }

CNodeDumpMode::~CNodeDumpMode() { g_dumpActive = false; }

void CNodeDumpMode::BuildDump(const COctreeNode* root, std::string* nodes, std::string* layers) {
  std::vector<const COctreeNode*> depthCells{root};
  for (int depth = 0; !depthCells.empty(); ++depth) {
    for (std::string* out : {nodes, layers}) {
      *out += "======================\n";
      plat::AppendFormat(*out, "Layer %d has %d Nodes\n", depth, static_cast<int>(depthCells.size()));
      *out += "======================\n\n";
    }
    int total = 0;
    int counts[kBitCount] = {};
    std::vector<const COctreeNode*> next;
    for (const COctreeNode* cell : depthCells) {
      DumpNode(cell, nodes, &total, counts);
      for (const COctreeNode* child : cell->children)
        if (child != nullptr) next.push_back(child);
    }
    if (total > 0) {
      plat::AppendFormat(*layers, "This layer has %d total objects\n", total);
      *layers += "Object flags break down as follows...\n";
      FlagLines(layers, counts, true);
      *layers += "\n";
    }
    depthCells.swap(next);
  }
}

void CNodeDumpMode::Update(float dt) {
  if (m_done) return;
  m_done = true;
  CGameWorld* world = GetGameWorld();
  // Each stream closes on every path out, so a failure of the second one cannot leak the first.
  File nodeFile(std::fopen("NodeDump.txt", "wt"));
  File layerFile(std::fopen("OTLList.txt", "wt"));
  const COctree* octree = GetWorldOctree();
  if (nodeFile != nullptr && layerFile != nullptr && octree != nullptr && octree->GetRoot() != nullptr) {
    std::string nodes, layers;
    BuildDump(octree->GetRoot(), &nodes, &layers);
    Write(nodeFile.get(), nodes);
    Write(layerFile.get(), layers);
  }
  layerFile.reset();
  nodeFile.reset();
  if (world != nullptr) world->RemoveCurrentLayer();
}
