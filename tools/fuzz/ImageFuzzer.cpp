// libFuzzer entry for the image loader over every format it detects (BMP, TIFF, Targa raw and
// run-length, BW plain and compressed, B2): any input is refused or read within its bytes, an
// accepted picture draws without reading outside itself, and its size fits what the file holds.
#include <cstdlib>
#include <vector>

#include "render/image/Image.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  const std::vector<uint8_t> file = fuzz_input::Bytes(data, size);
  CImageRef image = LoadImageFromMemory(file.data(), file.size());
  if (image.IsNull()) return 0;
  if (image->width <= 0 || image->height <= 0 || image->width > 65535 || image->height > 65535) std::abort();
  // A drawn corner of the picture walks its rows the way the game does.
  const int w = image->width < 64 ? image->width : 64, h = image->height < 64 ? image->height : 64;
  for (int depth : {15, 16}) {
    std::vector<uint16_t> screen(static_cast<size_t>(w) * h);
    image->BltRaw(RawSurface{reinterpret_cast<uint8_t*>(screen.data()), w, h, 2 * w, depth}, ImageRect{0, 0, w - 1, h - 1},
                  ImageRect{0, 0, w - 1, h - 1});
  }
  for (int y = 0; y < h; ++y) image->GetPixel(w - 1, y);
  return 0;
}
