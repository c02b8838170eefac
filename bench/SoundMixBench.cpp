// Software mixer throughput: 32 voices of 8- and 16-bit, mono and stereo samples at assorted
// rates, each with its own volume, pan and playback frequency (so every voice resamples), mixed
// into 44.1 kHz stereo. The "x_realtime" counter is seconds of audio mixed per CPU second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/sound/SoftwareSound.h"

namespace {

constexpr uint32_t kBlock = 1024;  // frames per render, as the audio callback asks for them

DirectSoundBufferPtr MakeVoice(CSoftwareSound* device, int index) {
  const WORD channels = static_cast<WORD>(1 + index % 2);
  const WORD bits = index % 4 < 2 ? 16 : 8;
  const DWORD rate = index % 3 == 0 ? 22050 : index % 3 == 1 ? 44100 : 11025;
  const WORD align = static_cast<WORD>(channels * bits / 8);
  const WAVEFORMATEX format{WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
  const DWORD frames = rate;  // one second, looped
  const DSBUFFERDESC desc{kDsBufferDescSize,
                          DSBCAPS_STATIC | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY,
                          frames * align, 0, &format};
  IDirectSoundBuffer* raw = nullptr;
  if (device->CreateSoundBuffer(&desc, &raw, nullptr) != DS_OK) return nullptr;
  DirectSoundBufferPtr buffer(raw);
  void *a = nullptr, *b = nullptr;
  DWORD na = 0, nb = 0;
  buffer->Lock(0, frames * align, &a, &na, &b, &nb, 0);
  uint8_t* bytes = static_cast<uint8_t*>(a);
  for (DWORD i = 0; i < frames * channels; ++i) {
    const double v = std::sin(i * (0.01 + 0.001 * index));
    if (bits == 16) {
      const int16_t s = static_cast<int16_t>(v * 8000);
      std::memcpy(bytes + 2 * i, &s, 2);
    } else {
      bytes[i] = static_cast<uint8_t>(128 + v * 60);
    }
  }
  buffer->Unlock(a, na, b, nb);
  buffer->SetVolume(-100 * (index % 20));
  buffer->SetPan(-5000 + 330 * index);
  buffer->SetFrequency(static_cast<DWORD>(rate * (0.8 + 0.013 * index)));  // never the output rate
  buffer->Play(0, 0, DSBPLAY_LOOPING);
  return buffer;
}

void BM_Mix32Voices(benchmark::State& state) {
  CSoftwareSound* device = CSoftwareSound::CreateOffline();
  device->SetCooperativeLevel(nullptr, DSSCL_NORMAL);
  std::vector<DirectSoundBufferPtr> voices;
  for (int i = 0; i < 32; ++i) voices.push_back(MakeVoice(device, i));
  std::vector<int16_t> out(2 * kBlock);
  for (auto _ : state) {
    device->Render(out.data(), kBlock);
    benchmark::DoNotOptimize(out.data());
  }
  const double seconds = static_cast<double>(state.iterations()) * kBlock / 44100.0;
  state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
  voices.clear();
  device->Release();
}
BENCHMARK(BM_Mix32Voices)->Unit(benchmark::kMicrosecond);

}  // namespace
