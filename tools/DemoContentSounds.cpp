// DemoContentSounds: tones, noise and note sequences synthesised in code, written with the WAVE writer.
#include "tools/DemoContentSounds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "core/data/DebugPrintf.h"
#include "platform/files/FileWrite.h"
#include "sound/WaveWriter.h"

namespace DemoContent {
namespace {

constexpr uint32_t kRate = 22050;
constexpr double kTwoPi = 6.283185307179586;

// One sample value at time t (seconds) in -1..1.
using Voice = std::function<double(double t)>;

struct SoundSpec {
  std::string path;
  double seconds;
  Voice voice;
};

// The same noise on every run, so the written files never change.
class Noise {
 public:
  explicit Noise(uint32_t seed) : m_state(seed) {}
  double Next() {
    m_state = m_state * 1664525u + 1013904223u;
    return static_cast<double>(m_state >> 8) / 8388608.0 - 1.0;
  }

 private:
  uint32_t m_state;
};

// Noise through a one-pole low-pass; brightness 0..1.
Voice Rumble(uint32_t seed, double brightness, double level) {
  auto noise = std::make_shared<Noise>(seed);
  auto state = std::make_shared<double>(0.0);
  return [=](double) {
    *state += brightness * (noise->Next() - *state);
    return *state * level;
  };
}

Voice Decaying(Voice voice, double decay) {
  return [=](double t) { return voice(t) * std::exp(-t * decay); };
}

Voice Tone(double frequency, double level) {
  return [=](double t) { return std::sin(kTwoPi * frequency * t) * level; };
}

Voice Sweep(double from, double to, double seconds, double level) {
  return [=](double t) {
    const double k = (to - from) / seconds;
    return std::sin(kTwoPi * (from * t + 0.5 * k * t * t)) * level;
  };
}

Voice Mix(Voice a, Voice b) {
  return [=](double t) { return a(t) + b(t); };
}

// A short melody over a bass note per bar; looped, so it ends where it began.
Voice Melody(const std::vector<double>& notes, double noteSeconds, double bass) {
  return [=](double t) {
    const size_t index = static_cast<size_t>(t / noteSeconds) % notes.size();
    const double local = std::fmod(t, noteSeconds);
    const double envelope = std::min(1.0, local * 50.0) * std::exp(-local * 3.0);
    return 0.35 * envelope * std::sin(kTwoPi * notes[index] * t) + 0.2 * std::sin(kTwoPi * bass * t);
  };
}

std::vector<SoundSpec> Specs() {
  std::vector<SoundSpec> specs;
  const char* surfaces[] = {"concrete", "wood", "metal"};
  const double brightness[] = {0.35, 0.15, 0.6};
  const double ring[] = {0.0, 180.0, 1250.0};
  for (uint32_t s = 0; s < 3; ++s) {
    const std::string name = surfaces[s];
    const double b = brightness[s];
    const Voice metal = Tone(ring[s], ring[s] > 0 ? 0.15 : 0.0);
    specs.push_back({"sounds/skate" + name + ".wav", 1.0, Rumble(10 + s, b, 0.5)});
    specs.push_back({"sounds/slide" + name + ".wav", 1.0, Mix(Rumble(20 + s, b * 1.5, 0.45), metal)});
    specs.push_back({"sounds/grind" + name + ".wav", 1.0, Mix(Rumble(30 + s, std::min(1.0, b * 2.0), 0.4), metal)});
    const Voice scuff = Rumble(40 + s, b, 0.7);
    specs.push_back({"sounds/walk" + name + ".wav", 1.0, [=](double t) {
                       const double step = std::fmod(t, 0.5);  // two steps a second
                       const double v = scuff(t);              // drawn every sample, so the noise runs on
                       return step < 0.06 ? v * (1.0 - step / 0.06) : 0.0;
                     }});
    specs.push_back({"sounds/land" + name + ".wav", 0.3, Decaying(Mix(Rumble(50 + s, b, 0.8), Tone(90, 0.4)), 14.0)});
  }
  specs.push_back({"sounds/ollie.wav", 0.2, Decaying(Mix(Rumble(60, 0.5, 0.6), Tone(220, 0.4)), 25.0)});
  specs.push_back({"sounds/landoffbalance.wav", 0.4, Decaying(Mix(Rumble(61, 0.3, 0.8), Tone(70, 0.5)), 9.0)});
  specs.push_back({"sounds/startgrind.wav", 0.15, Decaying(Mix(Rumble(62, 0.8, 0.5), Tone(1250, 0.3)), 20.0)});
  specs.push_back({"sounds/startslide.wav", 0.15, Decaying(Rumble(63, 0.4, 0.7), 20.0)});
  specs.push_back({"sounds/exitgrind.wav", 0.15, Decaying(Tone(900, 0.5), 25.0)});
  specs.push_back({"sounds/exitslide.wav", 0.15, Decaying(Rumble(64, 0.3, 0.6), 25.0)});
  for (uint32_t i = 1; i <= 3; ++i)
    specs.push_back({"sounds/crash" + std::to_string(i) + ".wav", 0.6,
                     Decaying(Mix(Rumble(70 + i, 0.2 + 0.2 * i, 0.8), Tone(60.0 + 20 * i, 0.4)), 6.0)});
  specs.push_back({"sounds/cash_for_trick.wav", 0.35, [](double t) {
                     return Tone(t < 0.12 ? 1319.0 : 1760.0, 0.5)(t) * std::exp(-std::fmod(t, 0.12) * 8.0);
                   }});
  for (uint32_t i = 1; i <= 3; ++i)
    specs.push_back({"sounds/cooltrickvoice" + std::to_string(i) + ".wav", 0.5,
                     Decaying(Sweep(180.0 + 40 * i, 320.0 + 60 * i, 0.5, 0.6), 2.0)});
  specs.push_back({"sounds/changedirection.wav", 0.25, Decaying(Sweep(300, 150, 0.25, 0.5), 8.0)});
  specs.push_back({"sounds/push.wav", 0.25, Decaying(Rumble(80, 0.25, 0.7), 12.0)});
  specs.push_back({"sounds/putboarddown.wav", 0.2, Decaying(Mix(Rumble(81, 0.4, 0.6), Tone(140, 0.5)), 20.0)});

  // Music: a bar of eight notes over a held bass, repeated for four seconds.
  specs.push_back({"sounds/music/tessary1_three_twelve.wav", 4.0,
                   Melody({330, 392, 440, 392, 330, 294, 262, 294}, 0.25, 110)});
  specs.push_back({"sounds/music/tessary1_kids.wav", 4.0, Melody({523, 659, 784, 659, 587, 494, 440, 494}, 0.25, 131)});
  specs.push_back({"sounds/music/tessary1_lucky.wav", 4.0, Melody({294, 370, 440, 587, 440, 370, 330, 370}, 0.25, 147)});
  return specs;
}

bool WriteSound(const std::string& folder, const SoundSpec& spec) {
  const size_t frames = static_cast<size_t>(spec.seconds * kRate);
  std::vector<int16_t> samples(frames);
  for (size_t i = 0; i < frames; ++i) {
    // Headroom: several sounds overlap in the mix, and none should clip on its own.
    const double v = 0.7 * std::max(-1.0, std::min(1.0, spec.voice(static_cast<double>(i) / kRate)));
    samples[i] = static_cast<int16_t>(std::lround(v * 32767.0));
  }
  const std::vector<uint8_t> file = BuildWaveFile16(1, kRate, samples);
  const std::filesystem::path path = std::filesystem::path(folder) / spec.path;
  std::error_code ignored;
  std::filesystem::create_directories(path.parent_path(), ignored);
  if (plat::ReplaceFileContents(path.string().c_str(), file.data(), file.size())) return true;
  DebugPrintf("DemoContent: cannot write '%s'\n", path.string().c_str());
  return false;
}

}  // namespace

std::vector<std::string> SoundFiles() {
  std::vector<std::string> paths;
  for (const SoundSpec& spec : Specs()) paths.push_back(spec.path);
  return paths;
}

bool WriteSounds(const std::string& folder) {
  bool ok = true;
  for (const SoundSpec& spec : Specs()) ok = WriteSound(folder, spec) && ok;
  return ok;
}

}  // namespace DemoContent
