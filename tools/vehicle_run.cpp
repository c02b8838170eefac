// vehicle_run: places the demo vehicle and the demo creature on the demo level's open ground through
// the world's object factory and steps them headlessly, printing their state each second: the
// vehicle is dropped 1 m and left to settle on its wheels (3 s), driven east under full throttle (2 s),
// then held on the hand brake (5 s); the creature falls onto the ground beside it and rests. Two crates
// (plain bodies, which no factory code makes) are dropped 1 m onto the ground in the vehicle's path, the
// second turned: they land, the vehicle strikes the first and shoves it into the second, and they come to
// rest, each told as it happens.
// Usage: vehicle_run [data folder]; the folder holds the demo data (make_demo_data), "." by default.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/EngineRegistration.h"
#include "combat/VehicleRun.h"
#include "core/data/ResourceTable.h"
#include "core/world/GameWorld.h"
#include "platform/system/Platform.h"
#include "tools/DemoContentLevel.h"

namespace {

constexpr float kGround = 2.0f;  // height of the demo level's open ground
constexpr float kCrateX = 12.0f;  // the first crate's place on the vehicle's way east
constexpr float kSecondCrateX = 20.0f;

COrientation At(float x, float y, float z) { return COrientation(TMatrix(), Vector3(x, y, z)); }

// Turned half a right angle: the first crate meets it on an edge.
COrientation Turned(COrientation at) {
  at.RotateZ(0.785398f);
  return at;
}

std::vector<CVehicleRun::Phase> DrivePlan() {
  VehicleControls settle, drive, brake;
  drive.throttle = 1.0f;
  brake.handBrake = true;
  return {{3.0f, settle}, {5.0f, drive}, {10.0f, brake}};
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : ".";
  RegisterEngine();
  plat::srand(0);
  int result = 0;
  {
    CGameWorld world(nullptr, nullptr);
    CResourceTable table;
    world.SetResourceTable(&table);
    const std::string vehicle = folder + "/meshes/buggy.mesh", creature = folder + "/meshes/creature.mesh",
                      crate = folder + "/meshes/crate.mesh";
    table.Add(vehicle.c_str());
    table.Add(creature.c_str());
    table.Add(crate.c_str());
    world.GetOctree().Reset(DemoContent::LevelWorldBox());
    std::unique_ptr<ShadedMesh> level = DemoContent::BuildLevelMesh();
    CVehicleRun run(world);
    if (!level || world.AddTerrainMesh(level.get(), nullptr, false, false) == nullptr) {
      std::fprintf(stderr, "vehicle_run: the demo level's ground could not be laid\n");
      result = 1;
    } else if (!run.Create(vehicle.c_str(), At(6.0f, 32.0f, kGround + 1.65f), creature.c_str(),
                           At(6.0f, 36.0f, kGround + 1.4f))) {
      std::fprintf(stderr, "vehicle_run: the vehicle or the creature could not be made from %s\n", folder.c_str());
      result = 1;
    } else if (!run.AddCrate(crate.c_str(), At(kCrateX, 32.0f, kGround + 1.5f)) ||
               !run.AddCrate(crate.c_str(), Turned(At(kSecondCrateX, 32.0f, kGround + 1.5f)))) {
      std::fprintf(stderr, "vehicle_run: the crate could not be made from %s\n", folder.c_str());
      result = 1;
    } else {
      std::printf("%s\n", run.DescribeState().c_str());
      std::vector<std::string> lines;
      run.Run(10.0f, DrivePlan(), &lines);
      for (const std::string& line : lines) std::printf("%s\n", line.c_str());
    }
    world.ClearWorld();
    world.SetResourceTable(nullptr);
    table.UnloadAll();
  }
  return result;
}
