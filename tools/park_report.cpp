// park_report: lays out the demo park in memory from the demo pieces and prints its connectivity
// report - how the pieces' path nodes join the grid and each other, the path components, and the
// entry points that failed to join. Usage: park_report (no arguments).
#include <cstdio>
#include <string>

#include "app/EngineRegistration.h"
#include "park/pieces/SkatableSection.h"
#include "park/runner/ParkConnectivityReport.h"
#include "park/world/VerezIvor.h"
#include "tools/DemoContentPark.h"

int main(int argc, char** argv) {
  if (argc != 1) {
    std::fprintf(stderr, "usage: %s\n", argv[0]);
    return 2;
  }
  RegisterEngine();
  DemoContent::DemoPark pieces;
  std::string report;
  bool built = false;
  {
    CVerezIvor park(nullptr, nullptr);
    built = DemoContent::BuildDemoPark(park, pieces);
    if (built) report = BuildConnectivityReport(park);
    park.ClearWorld();  // the pieces go while their meshes and definitions are still here
  }
  DemoContent::ReleaseDemoPark();
  ClearPlacedSectionList();
  if (!built) {
    std::fprintf(stderr, "park_report: the demo park could not be laid out\n");
    return 1;
  }
  std::fputs(report.c_str(), stdout);
  return 0;
}
