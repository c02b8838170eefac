// Level lights: the level loader's steps that turn the light attach points of the level meshes into
// world lights, and the default lights of a level that has none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/math/Box.h"
#include "core/math/Orientation.h"

class CGameWorld;
class CLight;
class ShadedMesh;

// The data of one light attach point and the point's world frame.
struct LevelLightSource {
  const uint8_t* data = nullptr;
  size_t size = 0;
  COrientation worldFrame;
};

// Appends the light attach points of a mesh placed at meshWorld.
void CollectLevelLightSources(const ShadedMesh& mesh, const COrientation& meshWorld,
                              std::vector<LevelLightSource>& out);

// One light from a light attach point, fitted to the world box; null (logged) when the record is
// unusable or the light's box misses the world box.
std::unique_ptr<CLight> BuildLevelLight(const LevelLightSource& source, const Box& worldBox);

// The three lights that light a level without light records.
void MakeDefaultLights(std::vector<std::unique_ptr<CLight>>& out);

// Builds and adds every level light; when none results, adds the default lights instead.
// Returns the number of lights added.
size_t AddLevelLights(CGameWorld& world, const std::vector<LevelLightSource>& sources, const Box& worldBox);
