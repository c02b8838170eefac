// park_digest: runs the demo park headlessly for a few park days from a seed and prints the
// digest of the run. test.sh runs it from two builds made with different optimisation flags and
// compares the output: a seed must give the same park on every build.
#include <cstdio>
#include <cstdlib>

#include "app/EngineRegistration.h"
#include "park/runner/ParkRunner.h"
#include "park/world/VerezIvor.h"
#include "platform/Platform.h"
#include "tools/DemoContentPark.h"

int main(int argc, char** argv) {
  const unsigned seed = argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 1u;
  const unsigned days = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 2u;
  RegisterEngine();
  plat::srand(seed);
  int result = 0;
  {
    CVerezIvor park(nullptr, nullptr);
    DemoContent::DemoPark content;
    if (!DemoContent::BuildDemoPark(park, content)) {
      std::fprintf(stderr, "park_digest: the demo park could not be built\n");
      result = 1;
    } else {
      CParkRunner runner(park);
      runner.RunDays(days);
      std::fputs(runner.Digest().Describe().c_str(), stdout);
      for (const std::string& v : runner.GetViolations()) std::fprintf(stderr, "park_digest: %s\n", v.c_str());
    }
    park.ClearWorld();
    DemoContent::ReleaseDemoPark();
  }
  return result;
}
