// libFuzzer entry for the spline record: an accepted record writes back byte for byte, but for
// the closed flag, which is read as 0 or 1.
#include <cstdlib>

#include "core/spatial/BezierSpline.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  std::vector<uint8_t> record = fuzz_input::Bytes(data, size);
  CBezierSpline spline;
  if (!spline.LoadFromBuffer(record.data(), record.size())) return 0;
  record[4] = record[4] != 0 ? 1 : 0;
  std::vector<uint8_t> again(spline.GetRecordSize());
  if (!spline.SaveToBuffer(again.data(), again.size()) || again != record) std::abort();
  Vector3 point;
  spline.GetPointAtParameter(point, 0.5f);
  spline.GetPointAtFraction(point, 0.5f);
  return 0;
}
