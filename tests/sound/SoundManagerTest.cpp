// The sound manager on an offline software device: category volumes, duplicates and handles,
// positional pan and attenuation, the 400 ms service with lost memory, variants and the WAVE
// layouts a sample may come in, all checked on the mixed output where it can be heard.
#include "sound/SoundManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/input/Settings.h"
#include "core/data/ResourceTable.h"
#include "platform/system/Platform.h"
#include "platform/sound/SoftwareSound.h"
#include "sound/SoundSample.h"
#include "sound/WaveWriter.h"
#include "tests/support/AudioMeasure.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::ChannelRms;
using testing_support::DebugCapture;
using testing_support::Sine;

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

// Full-volume settings, so 16-bit samples at 44,100 Hz come out unchanged.
CSettings Levels(float effects, float music) {
  CSettings settings;
  settings.levelA = effects;
  settings.levelB = music;
  return settings;
}

struct Rig {
  explicit Rig(uint32_t hardwareVoices = 0, float effects = 1.0f, float music = 1.0f)
      : device(CSoftwareSound::CreateOffline(hardwareVoices)) {
    device->AddRef();  // kept for rendering while the manager owns the other count
    const CSettings settings = Levels(effects, music);
    EXPECT_TRUE(manager.Init(&table, nullptr, &settings, DirectSoundPtr(device)));
  }
  ~Rig() {
    manager.StopAll();
    device->Release();
  }
  int Add(const std::string& name, const std::vector<uint8_t>& file) {
    return table.Add(folder.Write(name, Bytes(file)).c_str());
  }
  int AddTone(const std::string& name, size_t frames, double amplitude = 10000.0) {
    return Add(name, BuildWaveFile16(1, 44100, Sine(frames, 0.01, amplitude)));
  }
  std::vector<int16_t> Render(uint32_t frames) {
    std::vector<int16_t> out(2 * frames);
    device->Render(out.data(), frames);
    return out;
  }
  CSoundSample* Sample(int id) { return static_cast<CSoundSample*>(table.GetResource(id)); }

  testing_support::TempFolder folder;
  CResourceTable table;
  CSoftwareSound* device;
  CSoundManager manager;
};

CSoundInstance At(const Vector3& where, int32_t range, bool loop = false) {
  CSoundInstance request;
  request.position = where;
  request.range = range;
  request.loop = loop;
  return request;
}

LONG VolumeOf(const CSoundInstance* record) {
  LONG volume = 1;
  record->buffer->GetVolume(&volume);
  return volume;
}

}  // namespace

TEST(SoundManager, LevelsMapToAttenuationsAndAnOffCategoryPlaysNothing) {
  CSoundManager manager;
  EXPECT_EQ(-1500, manager.GetEffectAttenuation());
  EXPECT_EQ(-1500, manager.GetMusicAttenuation());
  struct Case {
    float level;
    int32_t attenuation;
  };
  const Case cases[] = {{0.0f, -10000}, {0.5f, -1500}, {1.0f, 0}, {0.25f, -2250}, {0.75f, -750}};
  for (size_t i = 0; i < 5; ++i) {
    const Case& effects = cases[i];
    const Case& music = cases[4 - i];
    const CSettings settings = Levels(effects.level, music.level);
    manager.ApplyVolumeSettings(&settings);
    EXPECT_EQ(effects.attenuation, manager.GetEffectAttenuation()) << effects.level;
    EXPECT_EQ(music.attenuation, manager.GetMusicAttenuation()) << music.level;
  }

  DebugCapture quiet;
  Rig rig(0, 0.0f, 0.5f);
  const int tone = rig.AddTone("tone.wav", 4410);
  EXPECT_EQ(-1, rig.manager.Play(tone, At(Vector3(), 0)));
  EXPECT_EQ(-1, CSoundManager::PlaySoundById(tone));  // the global manager's PlayById
  const int music = rig.manager.PlayMusic(tone, true, -500);
  ASSERT_NE(-1, music);
  EXPECT_TRUE(rig.manager.IsMusicPlaying());
  EXPECT_EQ(-2000, VolumeOf(rig.manager.GetInstance(music)));  // its own volume and the category's
  EXPECT_NEAR(-20.0, testing_support::Decibels(ChannelRms(rig.Render(4410), 0) / (10000.0 / std::sqrt(2.0))), 0.2);
  // New levels are heard at once, before any service: the sounding track follows them, down to silence.
  const CSettings lower = Levels(0.4f, 0.4f);
  rig.manager.ApplyVolumeSettings(&lower);
  EXPECT_EQ(-2300, VolumeOf(rig.manager.GetInstance(music)));
  EXPECT_NEAR(-23.0, testing_support::Decibels(ChannelRms(rig.Render(4410), 0) / (10000.0 / std::sqrt(2.0))), 0.2);
  const CSettings off = Levels(0.4f, 0.0f);
  rig.manager.ApplyVolumeSettings(&off);
  EXPECT_EQ(0.0, ChannelRms(rig.Render(4410), 0));
  EXPECT_TRUE(rig.manager.IsMusicPlaying()) << "silenced, not stopped";
  rig.manager.StopMusic();  // the track holds the first record
  EXPECT_FALSE(rig.manager.IsMusicPlaying());
}

// A second play of a sounding sample overlaps it through a duplicate; stopping the first leaves
// the second sounding. Stale and bad handles touch nothing, even once their record is reused.
TEST(SoundManager, OverlapsDuplicateAndStaleHandlesAreRefused) {
  Rig rig;
  const int tone = rig.AddTone("tone.wav", 44100);
  const int first = rig.manager.PlayById(tone, false, false, 0);
  const int second = rig.manager.PlayById(tone, false, false, 0);
  ASSERT_NE(-1, first);
  ASSERT_NE(-1, second);
  EXPECT_TRUE(rig.manager.GetInstance(first)->sharesSampleBuffer);
  EXPECT_FALSE(rig.manager.GetInstance(second)->sharesSampleBuffer);
  const double both = ChannelRms(rig.Render(4400), 0);  // whole cycles
  rig.manager.Stop(first);
  EXPECT_NEAR(both / 2.0, ChannelRms(rig.Render(4400), 0), 1.0);  // in phase: one voice is half

  // The freed record is reused by the next play; the old handle must not reach the new sound.
  const int third = rig.manager.PlayById(tone, false, true, 0);
  ASSERT_NE(-1, third);
  EXPECT_EQ(2u, rig.manager.GetRecordCount());
  rig.manager.Stop(first);
  EXPECT_EQ(nullptr, rig.manager.GetInstance(first));
  for (int bad : {-1, -7, 0x7FFFFFFF, third + 1, third + (1 << 16)}) {
    rig.manager.Stop(bad);
    EXPECT_FALSE(rig.manager.IsPlaying(bad)) << bad;
  }
  EXPECT_TRUE(rig.manager.IsPlaying(third));
  EXPECT_TRUE(rig.manager.IsPlaying(second));
  rig.manager.StopAll();
  EXPECT_EQ(0u, rig.manager.GetRecordCount());
  EXPECT_EQ(0.0, ChannelRms(rig.Render(100), 0));
}

// Without hardware voices to spare a duplicate cannot be made: the sample restarts on its own
// buffer and the older play ends. Buffers fall back to software when hardware is full.
TEST(SoundManager, AFailedDuplicateRestartsTheSample) {
  DebugCapture log;
  Rig rig(1);
  const int tone = rig.AddTone("tone.wav", 44100);
  const int other = rig.AddTone("other.wav", 4410);
  const int first = rig.manager.PlayById(tone, false, false, 0);
  const int second = rig.manager.PlayById(tone, false, false, 0);
  ASSERT_NE(-1, second);
  EXPECT_FALSE(rig.manager.IsPlaying(first));
  EXPECT_TRUE(rig.manager.GetInstance(second)->sharesSampleBuffer);
  EXPECT_NE(std::string::npos, log.Text().find("Soundman Error in Duplicate Buffer: soundsource = "));
  EXPECT_NE(std::string::npos, log.Text().find("Failed to dup sound buffer.\n"));
  ASSERT_NE(-1, rig.manager.PlayById(other, false, false, 0));
  DSBCAPS caps{};
  rig.Sample(other)->GetBuffer()->GetCaps(&caps);
  EXPECT_EQ(0xE6u & ~DSBCAPS_LOCHARDWARE, caps.dwFlags & ~DSBCAPS_LOCSOFTWARE);
  EXPECT_NE(0u, caps.dwFlags & DSBCAPS_LOCSOFTWARE);
  EXPECT_EQ(std::string::npos, log.Text().find("Failed to create sound buffer"));
}

// A one-shot beyond its range is not started; a loop is, silently, and is heard once the
// listener comes near. Music stops before a new track is tried, even one that cannot play.
TEST(SoundManager, RangeAtStartAndMusicReplacement) {
  DebugCapture quiet;
  Rig rig;
  const int tone = rig.AddTone("tone.wav", 4410);
  EXPECT_EQ(-1, rig.manager.Play(tone, At(Vector3(30, 0, 0), 20)));
  EXPECT_NE(-1, rig.manager.Play(tone, At(Vector3(12, 16, 0), 20)));  // 20 away: on the edge
  // A followed position decides, not the embedded one it leaves unused.
  const Vector3 nearby(5, 0, 0), distant(30, 0, 0);
  CSoundInstance followed = At(distant, 20);
  followed.positionPointer = &nearby;
  EXPECT_NE(-1, rig.manager.Play(tone, followed));
  followed = At(nearby, 20);
  followed.positionPointer = &distant;
  EXPECT_EQ(-1, rig.manager.Play(tone, followed));
  rig.manager.StopAll();
  const int loop = rig.manager.Play(tone, At(Vector3(30, 0, 0), 20, true));
  ASSERT_NE(-1, loop);
  EXPECT_EQ(CSoundManager::kSilent, VolumeOf(rig.manager.GetInstance(loop)));
  EXPECT_EQ(0.0, ChannelRms(rig.Render(4410), 0));
  COrientation near;
  near.SetPosition(Vector3(25, 0, 0));
  // From silence the attenuation closes on its target a third at a time: -7500, -5833, ...
  rig.manager.Update(400, &near);
  EXPECT_EQ(-7500, rig.manager.GetInstance(loop)->distanceAttenuation);
  for (int i = 0; i < 9; ++i) rig.manager.Update(400, &near);
  EXPECT_GT(ChannelRms(rig.Render(4400), 0), 300.0);

  const int music = rig.manager.PlayMusic(tone, true, 0);
  ASSERT_NE(-1, music);
  EXPECT_EQ(music, rig.manager.GetMusicHandle());
  EXPECT_EQ(-1, rig.manager.PlayMusic(rig.table.Add("missing.wav"), true, 0));
  EXPECT_FALSE(rig.manager.IsPlaying(music));
  EXPECT_EQ(-1, rig.manager.GetMusicHandle());
  EXPECT_TRUE(rig.manager.IsPlaying(loop));
  const int again = rig.manager.PlayMusic(tone, true, 0);
  rig.manager.StopMusic();
  EXPECT_FALSE(rig.manager.IsPlaying(again));
  EXPECT_EQ(-1, rig.manager.GetMusicHandle());
  EXPECT_TRUE(rig.manager.IsPlaying(loop));
}

// Pan follows the side the sound is on in the listener's frame (Y points left, positive pan is
// right); the distance attenuation moves a third of the way to distance x -10000 / range at each
// update; the category attenuation adds to it.
TEST(SoundManager, PanAndAttenuationFollowTheListener) {
  Rig rig(0, 0.5f, 1.0f);  // effects at -1500
  const int tone = rig.AddTone("tone.wav", 4410);
  const int left = rig.manager.Play(tone, At(Vector3(0, 10, 0), 100, true));
  const CSoundInstance* record = rig.manager.GetInstance(left);
  ASSERT_NE(nullptr, record);
  EXPECT_EQ(-10000, record->pan);
  EXPECT_EQ(-333, record->distanceAttenuation);  // 0 - (0 + 1000) / 3
  EXPECT_EQ(-1833, VolumeOf(record));
  const std::vector<int16_t> out = rig.Render(4400);
  EXPECT_NEAR(-18.33, testing_support::Decibels(ChannelRms(out, 0) / (10000.0 / std::sqrt(2.0))), 0.2);
  EXPECT_EQ(0.0, ChannelRms(out, 1));

  rig.manager.Update(400, nullptr);
  EXPECT_EQ(-555, record->distanceAttenuation);  // -333 - (-333 + 1000) / 3
  EXPECT_EQ(-2055, VolumeOf(record));
  // A new effect level reaches a positional sound at once; its distance keeps its smoothing.
  const CSettings full = Levels(1.0f, 1.0f);
  rig.manager.ApplyVolumeSettings(&full);
  EXPECT_EQ(-555, record->distanceAttenuation);
  EXPECT_EQ(-555, VolumeOf(record));
  const CSettings half = Levels(0.5f, 1.0f);
  rig.manager.ApplyVolumeSettings(&half);
  EXPECT_EQ(-2055, VolumeOf(record));

  struct Case {
    Vector3 where;
    int32_t pan;
    int32_t target;
  };
  // Approximate distances: 4 + 0.25 x 3 = 4.75; an axis distance is exact; the origin is 0.1.
  for (const Case& c : {Case{Vector3(3, -4, 0), 8421, -475}, Case{Vector3(-20, 0, 0), 0, -2000},
                        Case{Vector3(0, 0, 0), 0, -10}, Case{Vector3(0, 2, 50), -396, -5050}}) {
    const int h = rig.manager.Play(tone, At(c.where, 100, true));
    const CSoundInstance* r = rig.manager.GetInstance(h);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(c.pan, r->pan) << c.where.x << " " << c.where.y;
    EXPECT_EQ(c.target / 3, r->distanceAttenuation) << c.where.x << " " << c.where.y;
    LONG pan = 0;
    r->buffer->GetPan(&pan);
    EXPECT_EQ(c.pan, pan);
    rig.manager.Stop(h);
  }
  // A request carrying a smoothed attenuation (a sound restarted where it was) starts from it.
  CSoundInstance carried = At(Vector3(0, 10, 0), 100, true);
  carried.distanceAttenuation = -3000;
  const int resumed = rig.manager.Play(tone, carried);
  ASSERT_NE(nullptr, rig.manager.GetInstance(resumed));
  EXPECT_EQ(-2334, rig.manager.GetInstance(resumed)->distanceAttenuation);  // -3000 - (-3000 + 1000) / 3
  rig.manager.Stop(resumed);

  // Turned a quarter round, the listener has the world's -x on its left.
  COrientation turned;
  turned.SetXAxis(Vector3(0, 1, 0));
  turned.SetYAxis(Vector3(-1, 0, 0));
  const int west = rig.manager.Play(tone, At(Vector3(-10, 0, 0), 100, true));
  rig.manager.Update(400, &turned);
  EXPECT_EQ(-10000, rig.manager.GetInstance(west)->pan);
  EXPECT_EQ(0, rig.manager.GetInstance(left)->pan);  // the first sound is now straight ahead

  // Leaving the range silences a loop and keeps it; music keeps its pan.
  COrientation far;
  far.SetPosition(Vector3(500, 0, 0));
  rig.manager.Update(400, &far);
  EXPECT_EQ(CSoundManager::kSilent, rig.manager.GetInstance(west)->distanceAttenuation);
  EXPECT_EQ(0, rig.manager.GetInstance(west)->pan);
  EXPECT_TRUE(rig.manager.IsPlaying(west));
}

// The service runs only when 400 ms of ticks have gathered: ended sounds are freed then, not
// before, and the listener is taken then.
TEST(SoundManager, ServiceRunsEveryFourHundredMilliseconds) {
  Rig rig;
  const int tone = rig.AddTone("tone.wav", 441);
  const int shot = rig.manager.PlayById(tone, false, false, 0);
  rig.Render(1000);
  EXPECT_FALSE(rig.manager.IsPlaying(shot));
  COrientation moved;
  moved.SetPosition(Vector3(1, 2, 3));
  for (int i = 0; i < 12; ++i) rig.manager.Update(33, &moved);  // 396 ms
  EXPECT_NE(nullptr, rig.manager.GetInstance(shot));
  EXPECT_TRUE(rig.manager.GetListener().IsIdentity());
  rig.manager.Update(33, &moved);
  EXPECT_EQ(nullptr, rig.manager.GetInstance(shot));
  EXPECT_EQ(3.0f, rig.manager.GetListener().GetPosition().z);
  rig.manager.Update(399, nullptr);  // the count starts again from 0
  rig.manager.Update(0, nullptr);
  EXPECT_EQ(15u, rig.manager.GetUpdateCount());
}

// Lost memory is restored and the sample written into it again: the music goes on with the same
// samples, and a sample lost while silent plays as before on its next start.
TEST(SoundManager, LostBuffersComeBackWithTheirSamples) {
  DebugCapture log;
  Rig rig;
  const int music = rig.AddTone("music.wav", 4410);
  const int shot = rig.AddTone("shot.wav", 882, 5000.0);
  rig.manager.PlayMusic(music, true, 0);
  const std::vector<int16_t> before = rig.Render(4410);  // exactly one pass of the loop
  ASSERT_GT(ChannelRms(before, 0), 1000.0);
  rig.manager.PlayById(shot, false, false, 0);
  const std::vector<int16_t> shotBefore = rig.Render(4410);
  rig.manager.Update(400, nullptr);  // the one-shot has ended and is freed

  rig.device->LoseBuffers();
  rig.manager.Update(400, nullptr);
  EXPECT_NE(std::string::npos, log.Text().find("Sound Buffer Lost!\n"));
  const std::vector<int16_t> after = rig.Render(4410);
  EXPECT_EQ(before, after);

  rig.manager.PlayById(shot, false, false, 0);
  EXPECT_EQ(shotBefore, rig.Render(4410));
}

// Releasing drops every sample's buffer; the next play makes a new one.
TEST(SoundManager, ReleaseFreesSampleBuffers) {
  Rig rig;
  const int tone = rig.AddTone("tone.wav", 441);
  rig.manager.PlayById(tone, false, true, 0);
  ASSERT_NE(nullptr, rig.Sample(tone)->GetBuffer());
  rig.manager.Release();
  EXPECT_EQ(nullptr, rig.Sample(tone)->GetBuffer());
  EXPECT_EQ(0u, rig.manager.GetRecordCount());
  EXPECT_NE(-1, rig.manager.PlayById(tone, false, true, 0));
  EXPECT_GT(ChannelRms(rig.Render(441), 0), 1000.0);
  EXPECT_EQ(1u, rig.manager.GetReleaseCount());
}

// A family entry picks one of its files at random for every play.
TEST(SoundManager, VariantsArePickedAtRandom) {
  Rig rig;
  rig.folder.Write("crash1.wav", Bytes(BuildWaveFile16(1, 44100, std::vector<int16_t>(64, 1000))));
  rig.folder.Write("crash2.wav", Bytes(BuildWaveFile16(1, 44100, std::vector<int16_t>(64, 2000))));
  const int family = rig.table.Add((rig.folder.Path() + "crash1.wav").c_str());  // registers the family
  ASSERT_EQ(2, rig.table.GetVariantCount(family));
  plat::srand(7);
  int seen[2] = {0, 0};
  for (int i = 0; i < 40; ++i) {
    ASSERT_NE(-1, rig.manager.PlayById(family, false, false, 0));
    const int16_t value = rig.Render(1)[0];
    ASSERT_TRUE(value == 1000 || value == 2000) << value;
    ++seen[value / 1000 - 1];
    rig.manager.StopAll();
  }
  EXPECT_GT(seen[0], 5);
  EXPECT_GT(seen[1], 5);
}

// Samples reach the mixer from every PCM layout the reader takes: 8-bit unsigned, 16-bit stereo,
// a chunk before the data; a truncated file gives no sound and no crash.
TEST(SoundManager, WaveLayoutsPlaySampleForSample) {
  DebugCapture quiet;
  Rig rig;
  const std::vector<uint8_t> eight = {0, 64, 128, 200, 255, 100, 1};  // odd: the form holds the pad byte too
  const WAVEFORMATEX mono8{WAVE_FORMAT_PCM, 1, 44100, 44100, 1, 8, 0};
  const int id8 = rig.Add("eight.wav", BuildWaveFile(mono8, eight.data(), eight.size()));
  ASSERT_NE(-1, rig.manager.PlayById(id8, false, false, 0));
  std::vector<int16_t> out = rig.Render(7);
  for (size_t i = 0; i < eight.size(); ++i) EXPECT_EQ((eight[i] - 128) * 256, out[2 * i + 1]) << i;

  const std::vector<int16_t> stereo = {100, -100, 2000, -3000, 32767, -32768, 5, 6};
  std::vector<uint8_t> file = BuildWaveFile16(2, 44100, stereo);
  // An extra chunk between the format and the data, as editors write them.
  const uint8_t list[] = {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'a', 'b', 'c', 'd'};
  file.insert(file.begin() + 36, std::begin(list), std::end(list));
  file[4] = static_cast<uint8_t>(file[4] + sizeof(list));
  const int idStereo = rig.Add("stereo.wav", file);
  rig.manager.StopAll();
  ASSERT_NE(-1, rig.manager.PlayById(idStereo, false, false, 0));
  out = rig.Render(4);
  EXPECT_EQ(stereo, out);

  std::vector<uint8_t> cut = BuildWaveFile16(1, 22050, Sine(100, 0.01, 1000.0));
  cut.resize(cut.size() - 3);
  const int idCut = rig.Add("cut.wav", cut);
  EXPECT_EQ(-1, rig.manager.PlayById(idCut, false, false, 0));
  EXPECT_EQ(-1, rig.manager.PlayById(rig.table.Add("plain.mesh"), false, false, 0));  // not a sound entry

  // Layouts the device cannot take are converted at load: 24 and 32-bit integers keep their top
  // 16 bits, floats are scaled by 32767 and clamped, plain or in an extensible record.
  auto wave = [](uint16_t tag, uint16_t channels, uint16_t bits, uint16_t container, const std::vector<uint8_t>& data) {
    const uint16_t align = static_cast<uint16_t>(channels * container);
    return BuildWaveFile(WAVEFORMATEX{tag, channels, 44100, 44100u * align, align, bits, 0}, data.data(), data.size());
  };
  auto extensible = [&](uint8_t subFormat, uint16_t channels, uint16_t bits, uint16_t container,
                        const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes = wave(0xFFFE, channels, bits, container, data);
    const uint8_t extra[24] = {22, 0, static_cast<uint8_t>(bits), 0, 3, 0, 0, 0, subFormat, 0, 0, 0,
                               0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    bytes.insert(bytes.begin() + 36, std::begin(extra), std::end(extra));
    bytes[16] = 40;
    bytes[4] = static_cast<uint8_t>(bytes[4] + sizeof(extra));
    return bytes;
  };
  auto floats = [](const std::vector<float>& values) {
    std::vector<uint8_t> bytes(4 * values.size());
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
  };
  const std::vector<uint8_t> int24 = {0x56, 0x34, 0x12, 0xAA, 0xCB, 0xED, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80};
  const std::vector<int16_t> int24Out = {0x1234, -0x1235, 0x7FFF, -0x8000};  // stereo frames
  const std::vector<double> doubles = {0.25, -0.25};
  std::vector<uint8_t> float64(16);
  std::memcpy(float64.data(), doubles.data(), 16);
  const struct {
    std::vector<uint8_t> file;
    std::vector<int16_t> mono;  // empty: the stereo frames of int24Out
  } converted[] = {
      {wave(1, 2, 24, 3, int24), {}},
      {extensible(1, 2, 24, 3, int24), {}},
      {wave(1, 1, 32, 4, {0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0x80}), {0x1234, -0x8000}},
      {wave(3, 1, 32, 4, floats({0.5f, -1.0f, 2.0f, std::nanf("")})), {16384, -32767, 32767, 0}},
      {extensible(3, 1, 32, 4, floats({-0.5f, 0.25f})), {-16384, 8192}},
      {wave(3, 1, 64, 8, float64), {8192, -8192}},
  };
  int n = 0;
  for (const auto& c : converted) {
    rig.manager.StopAll();
    const int id = rig.Add(std::string("converted_") + static_cast<char>('a' + n++) + ".wav", c.file);
    ASSERT_NE(-1, rig.manager.PlayById(id, false, false, 0)) << quiet.Text();
    std::vector<int16_t> expected;
    for (int16_t v : c.mono) expected.insert(expected.end(), {v, v});
    if (c.mono.empty()) expected = int24Out;
    EXPECT_EQ(expected, rig.Render(static_cast<uint32_t>(expected.size() / 2))) << id;
  }
  // Compressed, three-channel and unknown extensible files are refused at load, saying why.
  std::vector<uint8_t> unknown = extensible(1, 1, 24, 3, int24);
  unknown[20 + 24 + 15] ^= 1;  // the last byte of the sub-format GUID
  for (const auto& refused : {wave(2, 1, 16, 2, {1, 2}), wave(1, 3, 16, 2, std::vector<uint8_t>(12)), unknown}) {
    quiet.Clear();
    EXPECT_EQ(-1, rig.manager.PlayById(rig.Add(std::string("refused_") + static_cast<char>('a' + n++) + ".wav", refused), false, false, 0));
    EXPECT_NE(std::string::npos, quiet.Text().find("is not a usable sound")) << quiet.Text();
  }
  EXPECT_NE(std::string::npos, quiet.Text().find("CSoundSample: unknown extensible sub-format\n"));
}

// A music buffer has no pan or frequency control: changing them is left out, not an error; an effect takes the rate.
TEST(SoundManager, MusicBuffersSkipControlsTheyLack) {
  DebugCapture log;
  Rig rig;
  const int tone = rig.AddTone("tone.wav", 4410);
  CSoundInstance request = At(Vector3(0, 5, 0), 50, true);
  request.music = true;
  request.frequency = 30000;
  const int h = rig.manager.Play(tone, request);
  ASSERT_NE(-1, h);
  CSoundInstance* record = rig.manager.GetInstance(h);
  rig.manager.SetSoundFrequency(*record);
  rig.manager.Update(400, nullptr);
  EXPECT_EQ(0, record->pan);
  EXPECT_EQ("", log.Text());
  // Heard at the stored rate: 441 Hz stays 441 Hz.
  EXPECT_NEAR(441, testing_support::RisingZeroCrossings(rig.Render(44100), 0), 1);
  rig.manager.Release();  // so that the sample's next buffer is made for an effect
  CSoundInstance* effect = rig.manager.GetInstance(rig.manager.PlayById(tone, false, true, 0));
  effect->frequency = 22050;  // an effect's buffer has the control: half the rate, half the pitch
  rig.manager.SetSoundFrequency(*effect);
  EXPECT_NEAR(220.5, testing_support::RisingZeroCrossings(rig.Render(44100), 0), 1);
}

TEST(SoundManager, ResultTextsNameEveryCodeAndNeverCallAFailureSuccess) {
  EXPECT_EQ(" The request completed successfully. \n", CSoundManager::DSErrorToString(DS_OK));
  EXPECT_EQ(" The buffer memory has been lost and must be restored. \n",
            CSoundManager::DSErrorToString(DSERR_BUFFERLOST));
  EXPECT_EQ(" No sound driver is available for use. \n", CSoundManager::DSErrorToString(DSERR_NODRIVER));
  for (HRESULT code : {DSERR_UNSUPPORTED, DSERR_NOINTERFACE, DSERR_GENERIC, DSERR_NOAGGREGATION, DSERR_OUTOFMEMORY,
                       DSERR_INVALIDPARAM, DSERR_ALLOCATED, DSERR_CONTROLUNAVAIL, DSERR_INVALIDCALL,
                       DSERR_PRIOLEVELNEEDED, DSERR_BADFORMAT, DSERR_ALREADYINITIALIZED, DSERR_OTHERAPPHASPRIO,
                       DSERR_UNINITIALIZED}) {
    const std::string text = CSoundManager::DSErrorToString(code);
    EXPECT_EQ(' ', text.front());
    EXPECT_EQ('\n', text.back());
    EXPECT_EQ(std::string::npos, text.find("Unknown")) << code;
  }
  const std::string unknown = CSoundManager::DSErrorToString(static_cast<HRESULT>(0x88780999u));
  EXPECT_EQ(" Unknown result 0x88780999. \n", unknown);
}

// Without a device nothing plays and nothing fails loudly; the first manager started is the one
// interface clicks reach.
TEST(SoundManager, WithoutADeviceEverythingIsSilent) {
  CSoundManager silent;
  EXPECT_FALSE(silent.Init(nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(-1, silent.PlayById(0, false, false, 0));
  EXPECT_EQ(-1, silent.PlayMusic(0, true, 0));
  EXPECT_EQ(nullptr, CSoundManager::GetGlobal());
  silent.Update(1000, nullptr);
  silent.Release();
  {
    Rig rig;
    EXPECT_EQ(&rig.manager, CSoundManager::GetGlobal());
    const int tone = rig.AddTone("tone.wav", 441);
    EXPECT_NE(-1, CSoundManager::PlaySoundById(tone));
  }
  EXPECT_EQ(nullptr, CSoundManager::GetGlobal());
  // The default device (the dummy driver here) starts with the settings' levels.
  CSettings levels;
  levels.levelA = 0.5f;
  levels.levelB = 0.0f;
  // With no audio driver to open there is no device, and the log says so; the levels are taken all the same.
  DebugCapture log;
  const std::string driver = std::getenv("SDL_AUDIODRIVER");
  setenv("SDL_AUDIODRIVER", "absent", 1);
  CSoundManager deaf;
  EXPECT_FALSE(deaf.Init(nullptr, nullptr, &levels));
  setenv("SDL_AUDIODRIVER", driver.c_str(), 1);
  EXPECT_NE(std::string::npos, log.Text().find("no sound device, No sound driver is available for use."));
  EXPECT_EQ(CSoundManager::kSilent, deaf.GetMusicAttenuation());
  CSoundManager started;
  EXPECT_TRUE(started.Init(nullptr, nullptr, &levels));
  EXPECT_EQ(&started, CSoundManager::GetGlobal());
  EXPECT_EQ(-1500, started.GetEffectAttenuation());
  EXPECT_EQ(CSoundManager::kSilent, started.GetMusicAttenuation());
}
