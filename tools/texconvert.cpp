// texconvert: turns a Targa or BMP picture into a ".texture" with its mip levels.
// Usage: texconvert <picture.tga|picture.bmp> <out.texture> [--jpeg]
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "render/image/BitmapImage.h"
#include "render/image/Texture.h"

int main(int argc, char** argv) {
  const bool jpeg = argc == 4 && std::strcmp(argv[3], "--jpeg") == 0;
  if (argc != 3 && !jpeg) {
    std::fprintf(stderr, "usage: %s <picture.tga|picture.bmp> <out.texture> [--jpeg]\n", argv[0]);
    return 2;
  }
  CImageRef image = LoadImageFile(argv[1]);
  auto* bitmap = image.IsNull() ? nullptr : dynamic_cast<CBitmapImage*>(image.Get());
  if (!bitmap || !(bitmap->flags & CImage::kValid)) {
    std::fprintf(stderr, "texconvert: %s is not a picture this tool reads\n", argv[1]);
    return 1;
  }
  // ARGB words from the picture's colours and, when it has one, its alpha plane.
  const int w = bitmap->width, h = bitmap->height;
  const uint8_t* alpha = bitmap->GetAlphaPlane();
  std::vector<uint32_t> words(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t bgr = static_cast<uint32_t>(bitmap->GetPixel(x, y));  // 0x00BBGGRR
      const uint32_t a = alpha ? alpha[static_cast<size_t>(y) * w + x] : 255;
      words[static_cast<size_t>(y) * w + x] = a << 24 | (bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
    }
  const std::string path = argv[1];
  const std::string name = path.substr(path.find_last_of("/\\") + 1);
  CTexture texture;
  // Mip levels on power-of-two sides.
  if (!texture.CreateFromPixels(words.data(), 4, static_cast<uint32_t>(w), static_cast<uint32_t>(h), 0xFF0000, 0xFF00,
                                0xFF, alpha ? 0xFF000000u : 0, 0x10 | 0x02, name.c_str()) ||
      !texture.Save(argv[2], jpeg ? 1 : 0)) {
    std::fprintf(stderr, "texconvert: writing %s failed\n", argv[2]);
    return 1;
  }
  return 0;
}
