// Image library throughput: BltRaw per span converter beside pixman compositing the same sizes
// and formats; ".texture" JPEG loading beside plain libjpeg on the same streams (apart, and in
// turn for their ratio); the BW palette build of a picture with about 4,000 colours.
#include <benchmark/benchmark.h>

#include <pixman.h>
#include <jpeglib.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "bench/PairedRatio.h"
#include "core/data/LittleEndian.h"
#include "render/image/BWImage.h"
#include "render/image/BitmapImage.h"
#include "render/image/JpegCodec.h"
#include "render/image/Texture.h"

namespace {

constexpr int kSide = 256;

// A BW image whose every row is one command kind over the whole width.
enum class RowKind { kIndices, kBlend, kShades, kFill, kShadeFill };

CBWImage* MakeRows(RowKind kind) {
  std::vector<uint16_t> palette(256);
  for (int i = 0; i < 256; ++i) palette[i] = static_cast<uint16_t>(i * 127);
  std::vector<uint8_t> area;
  std::vector<uint32_t> starts;
  std::mt19937 rng(1);
  for (int y = 0; y < kSide; ++y) {
    starts.push_back(static_cast<uint32_t>(area.size()));
    switch (kind) {
      case RowKind::kIndices:
        area.insert(area.end(), {CBWImage::kIndices, kSide & 0xFF, kSide >> 8});
        for (int x = 0; x < kSide; ++x) area.push_back(static_cast<uint8_t>(rng()));
        break;
      case RowKind::kBlend:
        area.insert(area.end(), {CBWImage::kBlend, kSide & 0xFF, kSide >> 8});
        for (int x = 0; x < kSide; ++x) area.insert(area.end(), {static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng() & 31)});
        break;
      case RowKind::kShades:
        area.insert(area.end(), {CBWImage::kShades, kSide & 0xFF, kSide >> 8});
        for (int x = 0; x < kSide; ++x) area.push_back(static_cast<uint8_t>(rng() & 31));
        break;
      case RowKind::kFill:
        for (int x = 0; x < kSide; x += 32) area.insert(area.end(), {static_cast<uint8_t>(0x80 | 32), static_cast<uint8_t>(x)});
        break;
      case RowKind::kShadeFill:
        area.insert(area.end(), {CBWImage::kShadeFill, kSide & 0xFF, kSide >> 8, 12});
        break;
    }
    area.push_back(CBWImage::kEnd);
  }
  auto* image = new CBWImage();
  image->Assign(kSide, kSide, 15, palette, true, area, starts);
  return image;
}

void BM_BltRaw(benchmark::State& state) {
  const auto kind = static_cast<RowKind>(state.range(0));
  const int depth = static_cast<int>(state.range(1));
  std::unique_ptr<CBWImage> image(MakeRows(kind));
  image->SetBitDepth(depth == 16 ? 16 : 15);
  const int bytes = depth == 15 ? 2 : depth / 8;
  std::vector<uint8_t> screen(static_cast<size_t>(kSide) * kSide * bytes, 0x55);
  const RawSurface surface{screen.data(), kSide, kSide, kSide * bytes, depth};
  const ImageRect whole{0, 0, kSide - 1, kSide - 1};
  for (auto _ : state) {
    image->BltRaw(surface, whole, whole);
    benchmark::DoNotOptimize(screen.data());
  }
  state.counters["MP/s"] = benchmark::Counter(static_cast<double>(kSide) * kSide * state.iterations() / 1e6,
                                              benchmark::Counter::kIsRate);
}
// Kinds: 0 indices, 1 blend, 2 shades, 3 fill, 4 shade fill; depths 15, 16, 24, 32.
BENCHMARK(BM_BltRaw)->ArgsProduct({{0, 1, 2, 3, 4}, {15, 16, 24, 32}});

// pixman: a plain copy (as the palette runs and fills) and an OVER through an 8-bit mask (as the
// blend runs) into the same destination formats.
void BM_Pixman(benchmark::State& state) {
  const bool masked = state.range(0) != 0;
  const int depth = static_cast<int>(state.range(1));
  const pixman_format_code_t format = depth == 15 ? PIXMAN_x1r5g5b5 : depth == 16 ? PIXMAN_r5g6b5
                                    : depth == 24 ? PIXMAN_r8g8b8 : PIXMAN_x8r8g8b8;
  const int bytes = depth == 15 ? 2 : depth / 8;
  const int pitch = (kSide * bytes + 3) & ~3;
  std::vector<uint32_t> src(kSide * kSide);
  std::vector<uint8_t> mask(kSide * kSide);
  std::mt19937 rng(2);
  for (auto& p : src) p = rng();
  for (auto& m : mask) m = static_cast<uint8_t>(rng());
  std::vector<uint8_t> dst(static_cast<size_t>(pitch) * kSide, 0x55);
  pixman_image_t* s = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSide, kSide, src.data(), kSide * 4);
  pixman_image_t* m = pixman_image_create_bits(PIXMAN_a8, kSide, kSide, reinterpret_cast<uint32_t*>(mask.data()), kSide);
  pixman_image_t* d = pixman_image_create_bits(format, kSide, kSide, reinterpret_cast<uint32_t*>(dst.data()), pitch);
  for (auto _ : state) {
    pixman_image_composite32(masked ? PIXMAN_OP_OVER : PIXMAN_OP_SRC, s, masked ? m : nullptr, d, 0, 0, 0, 0, 0, 0,
                             kSide, kSide);
    benchmark::DoNotOptimize(dst.data());
  }
  pixman_image_unref(s);
  pixman_image_unref(m);
  pixman_image_unref(d);
  state.counters["MP/s"] = benchmark::Counter(static_cast<double>(kSide) * kSide * state.iterations() / 1e6,
                                              benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Pixman)->ArgsProduct({{0, 1}, {15, 16, 24, 32}});

// A 512 x 512 JPEG texture with its mip chain and an alpha part.
const std::vector<uint8_t>& JpegTexture() {
  static const std::vector<uint8_t> file = [] {
    std::vector<uint32_t> pixels(512 * 512);
    for (uint32_t y = 0; y < 512; ++y)
      for (uint32_t x = 0; x < 512; ++x)
        pixels[y * 512 + x] = (x < 256 ? 0xFF000000u : 0x80000000u) | (x / 2) << 16 | (y / 2) << 8 | ((x ^ y) & 0xFF);
    CTexture t;
    t.CreateFromPixels(pixels.data(), 4, 512, 512, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0x10, "Bench");
    std::vector<uint8_t> out;
    t.Encode(1, out);
    return out;
  }();
  return file;
}

void ParseJpegTexture() {
  const std::vector<uint8_t>& file = JpegTexture();
  CTexture t;
  benchmark::DoNotOptimize(t.Parse(file.data(), file.size(), false, true));
}

void BM_TextureJpegParse(benchmark::State& state) {
  for (auto _ : state) ParseJpegTexture();
}
BENCHMARK(BM_TextureJpegParse)->Unit(benchmark::kMillisecond);

// The texture's JPEG streams, found by their signature: {offset, size}.
std::vector<std::pair<size_t, size_t>> JpegStreams() {
  const std::vector<uint8_t>& file = JpegTexture();
  std::vector<std::pair<size_t, size_t>> streams;
  for (size_t i = 0; i + 2 < file.size(); ++i)
    if (file[i] == 0xFF && file[i + 1] == 0xD8 && file[i + 2] == 0xFF) streams.push_back({i, 0});
  for (size_t k = 0; k < streams.size(); ++k) streams[k].second = (k + 1 < streams.size() ? streams[k + 1].first : file.size()) - streams[k].first;
  return streams;
}

// The same streams through libjpeg alone, decoded into a new block of 4-byte pixels as a loader
// without the texture format would.
void DecodePlainLibjpeg(const std::vector<std::pair<size_t, size_t>>& streams) {
  const std::vector<uint8_t>& file = JpegTexture();
  std::unique_ptr<uint8_t[]> block(new uint8_t[(512 * 512 * 4 * 4) / 3 + 16]);
  uint8_t* out = block.get();
  for (const auto& [at, size] : streams) {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data() + at, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&info);
    while (info.output_scanline < info.output_height) {
      JSAMPROW row = out + static_cast<size_t>(info.output_scanline) * info.output_width * 4;
      jpeg_read_scanlines(&info, &row, 1);
    }
    out += static_cast<size_t>(info.output_width) * info.output_height * 4;
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
  }
  benchmark::DoNotOptimize(block.get());
}

void BM_PlainLibjpeg(benchmark::State& state) {
  const auto streams = JpegStreams();
  for (auto _ : state) DecodePlainLibjpeg(streams);
}
BENCHMARK(BM_PlainLibjpeg)->Unit(benchmark::kMillisecond);

// Both in turn in every iteration: the counter "ratio" is ours over plain libjpeg.
void BM_TextureJpegParseOverPlainLibjpeg(benchmark::State& state) {
  const auto streams = JpegStreams();
  RunPaired(state, ParseJpegTexture, [&] { DecodePlainLibjpeg(streams); });
}
BENCHMARK(BM_TextureJpegParseOverPlainLibjpeg)->Unit(benchmark::kMillisecond);

// 256 x 256 with about 4,000 distinct 5-5-5 colours, reduced to 255.
void BM_BWPaletteBuild(benchmark::State& state) {
  CImageRef source = CreateDibImage(256, 256, 24);
  std::mt19937 rng(4);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      const uint32_t c = rng() % 4000;
      uint8_t* p = source->pixels + y * source->pitch + 3 * x;
      p[0] = static_cast<uint8_t>((c % 16) << 3);
      p[1] = static_cast<uint8_t>((c / 16 % 16) << 3);
      p[2] = static_cast<uint8_t>((c / 256) << 3);
    }
  for (auto _ : state) {
    CBWImage image;
    benchmark::DoNotOptimize(image.CopyFrom(*source.Get(), nullptr, nullptr));
  }
}
BENCHMARK(BM_BWPaletteBuild)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {
// The codec's own stream decoder on the same streams (no header, offsets or alpha part).
void BM_CodecStreams(benchmark::State& state) {
  const std::vector<uint8_t>& file = JpegTexture();
  const auto streams = JpegStreams();
  state.counters["streams"] = static_cast<double>(streams.size());
  for (auto _ : state) {
    std::unique_ptr<uint8_t[]> block(new uint8_t[(512 * 512 * 4 * 4) / 3 + 16]);
    uint8_t* out = block.get();
    int side = 512;
    for (const auto& [at, size] : streams) {
      JpegCodec::DecodeBgra(file.data() + at, size, side, side, out, static_cast<size_t>(side) * 4, nullptr, 255, nullptr);
      out += static_cast<size_t>(side) * side * 4;
      side = side > 1 ? side / 2 : 1;
    }
    benchmark::DoNotOptimize(block.get());
  }
}
BENCHMARK(BM_CodecStreams)->Unit(benchmark::kMillisecond);
}  // namespace
