// park_digest: runs the demo park headlessly for a few park days from a seed and prints the
// digest of the run, ending with its table of the days: who left and why, visits to each kind of
// stand, tricks, crashes and stuck rescues. test.sh runs it from two builds made with different
// optimisation flags and compares the output: a seed must give the same park on every build.
// Usage: park_digest [seed [park days [admission fee]]]; the fee is the park's own by default.
#include <cstdio>
#include <cstdlib>

#include "app/EngineRegistration.h"
#include "park/runner/ParkRunner.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "tools/DemoContentPark.h"

int main(int argc, char** argv) {
  const unsigned seed = argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 1u;
  const unsigned days = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 2u;
  const double fee = argc > 3 ? std::strtod(argv[3], nullptr) : -1.0;
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
      if (fee >= 0.0) park.GetParkState().admissionFee = static_cast<float>(fee);
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
