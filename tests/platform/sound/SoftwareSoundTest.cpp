// The software sound device, measured on its rendered output: levels per channel against the
// decibel rules, pitch under resampling, seamless loops, sample formats, buffer controls,
// locking across the end, duplicates and lost memory.
#include "platform/sound/SoftwareSound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/system/Platform.h"
#include "tests/support/AudioMeasure.h"

namespace {

using testing_support::ChannelRms;
using testing_support::Decibels;
using testing_support::Sine;

constexpr DWORD kEffectFlags = DSBCAPS_STATIC | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY;

struct Device {
  explicit Device(uint32_t hardwareVoices = 0) : sound(CSoftwareSound::CreateOffline(hardwareVoices)) {
    sound->SetCooperativeLevel(nullptr, DSSCL_NORMAL);
  }
  ~Device() { sound->Release(); }
  std::vector<int16_t> Render(uint32_t frames) {
    std::vector<int16_t> out(2 * frames);
    sound->Render(out.data(), frames);
    return out;
  }
  CSoftwareSound* sound;
};

WAVEFORMATEX Format(WORD channels, DWORD rate, WORD bits) {
  const WORD align = static_cast<WORD>(channels * bits / 8);
  return WAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

HRESULT Create(IDirectSound* sound, const WAVEFORMATEX& format, size_t bytes, DWORD flags, DirectSoundBufferPtr& out) {
  const DSBUFFERDESC desc{kDsBufferDescSize, flags, static_cast<DWORD>(bytes), 0, &format};
  IDirectSoundBuffer* raw = nullptr;
  const HRESULT result = sound->CreateSoundBuffer(&desc, &raw, nullptr);
  out.reset(raw);
  return result;
}

void Fill(IDirectSoundBuffer* buffer, const void* bytes, size_t size) {
  void *a = nullptr, *b = nullptr;
  DWORD na = 0, nb = 0;
  ASSERT_EQ(DS_OK, buffer->Lock(0, static_cast<DWORD>(size), &a, &na, &b, &nb, 0));
  ASSERT_EQ(size, na);
  std::memcpy(a, bytes, size);
  ASSERT_EQ(DS_OK, buffer->Unlock(a, na, b, nb));
}

DirectSoundBufferPtr Mono16(IDirectSound* sound, const std::vector<int16_t>& samples, DWORD rate,
                            DWORD flags = kEffectFlags) {
  DirectSoundBufferPtr buffer;
  EXPECT_EQ(DS_OK, Create(sound, Format(1, rate, 16), samples.size() * 2, flags, buffer));
  if (buffer) Fill(buffer.get(), samples.data(), samples.size() * 2);
  return buffer;
}

DWORD Status(IDirectSoundBuffer* buffer) {
  DWORD status = 0;
  buffer->GetStatus(&status);
  return status;
}

}  // namespace

// A full-scale sine's RMS is amplitude / sqrt 2; the volume lowers both channels and the pan
// lowers only the far one, each by its hundredths of a decibel.
TEST(SoftwareSound, SineLevelsFollowVolumeAndPanInEachChannel) {
  const double amplitude = 20000.0;
  const double full = amplitude / std::sqrt(2.0);
  struct Case {
    LONG volume, pan;
  };
  for (const Case c : {Case{0, 0}, Case{-600, 1500}, Case{-1200, -2500}, Case{-300, DSBPAN_RIGHT}, Case{-2000, -800}}) {
    Device device;
    // 441 Hz: exactly 100 frames a cycle, so the loop and the measurement hold whole cycles.
    DirectSoundBufferPtr buffer = Mono16(device.sound, Sine(4410, 0.01, amplitude), 44100);
    ASSERT_EQ(DS_OK, buffer->SetVolume(c.volume));
    ASSERT_EQ(DS_OK, buffer->SetPan(c.pan));
    ASSERT_EQ(DS_OK, buffer->Play(0, 0, DSBPLAY_LOOPING));
    const std::vector<int16_t> out = device.Render(44100);
    const double wantLeft = c.volume / 100.0 - (c.pan > 0 ? c.pan / 100.0 : 0.0);
    const double wantRight = c.volume / 100.0 - (c.pan < 0 ? -c.pan / 100.0 : 0.0);
    if (wantLeft > -90) EXPECT_NEAR(wantLeft, Decibels(ChannelRms(out, 0) / full), 0.2) << c.volume << " " << c.pan;
    if (wantRight > -90) EXPECT_NEAR(wantRight, Decibels(ChannelRms(out, 1) / full), 0.2) << c.volume << " " << c.pan;
    if (c.pan == DSBPAN_RIGHT) EXPECT_EQ(0.0, ChannelRms(out, 0));  // -100 dB is silence
  }
}

// A 441 Hz tone stored at 22,050 Hz still rises through zero 441 times a second at the 44,100 Hz
// output; at double the frequency it does so 882 times, at 11,025 Hz 220 or 221 times.
TEST(SoftwareSound, ResamplingKeepsThePitch) {
  struct Case {
    DWORD frequency;
    int crossings;
  };
  for (const Case c : {Case{0, 441}, Case{22050, 441}, Case{44100, 882}, Case{11025, 220}}) {
    Device device;
    DirectSoundBufferPtr buffer = Mono16(device.sound, Sine(22050, 441.0 / 22050.0, 12000.0), 22050);
    ASSERT_EQ(DS_OK, buffer->SetFrequency(c.frequency));
    ASSERT_EQ(DS_OK, buffer->Play(0, 0, DSBPLAY_LOOPING));
    const std::vector<int16_t> out = device.Render(44100);
    EXPECT_NEAR(c.crossings, testing_support::RisingZeroCrossings(out, 0), 1) << c.frequency;
    EXPECT_EQ(testing_support::RisingZeroCrossings(out, 0), testing_support::RisingZeroCrossings(out, 1));
  }
}

// A looping buffer holding whole cycles, played at a rate that never lands on its frames, wraps
// many times without a jump larger than the tone's own steepest step.
TEST(SoftwareSound, LoopingWrapsWithoutAClick) {
  Device device;
  const double amplitude = 16000.0;
  DirectSoundBufferPtr buffer = Mono16(device.sound, Sine(350, 1.0 / 50.0, amplitude), 22050);  // 7 cycles
  ASSERT_EQ(DS_OK, buffer->SetFrequency(23117));
  ASSERT_EQ(DS_OK, buffer->Play(0, 0, DSBPLAY_LOOPING));
  const std::vector<int16_t> out = device.Render(44100);  // about 66 wraps
  const double steepest = 2.0 * testing_support::kPi * amplitude * (23117.0 / 50.0) / 44100.0;
  EXPECT_LE(testing_support::LargestStep(out, 0), steepest + 2.0);
  EXPECT_GT(testing_support::LargestStep(out, 0), steepest * 0.9);  // the tone is really there
}

// At the output rate each format comes out sample for sample: 8-bit is unsigned around 128, a
// mono sample goes to both channels, stereo keeps its sides. A one-shot ends and stays silent.
TEST(SoftwareSound, FormatsComeOutSampleForSampleAndOneShotsEnd) {
  Device device;
  const std::vector<uint8_t> eight = {0, 64, 128, 192, 255, 128};
  DirectSoundBufferPtr mono8;
  ASSERT_EQ(DS_OK, Create(device.sound, Format(1, 44100, 8), eight.size(), kEffectFlags, mono8));
  Fill(mono8.get(), eight.data(), eight.size());
  ASSERT_EQ(DS_OK, mono8->Play(0, 0, 0));
  std::vector<int16_t> out = device.Render(7);
  EXPECT_EQ((std::vector<int16_t>{-32768, -32768, -16384, -16384, 0, 0, 16384, 16384, 32512, 32512, 0, 0, 0, 0}), out);

  const std::vector<int16_t> stereo = {1000, -2000, 32767, -32768, -5, 7};
  DirectSoundBufferPtr stereo16;
  ASSERT_EQ(DS_OK, Create(device.sound, Format(2, 44100, 16), stereo.size() * 2, kEffectFlags, stereo16));
  Fill(stereo16.get(), stereo.data(), stereo.size() * 2);
  ASSERT_EQ(DS_OK, stereo16->Play(0, 0, 0));
  out = device.Render(4);
  EXPECT_EQ(stereo, std::vector<int16_t>(out.begin(), out.begin() + 6));
  EXPECT_EQ(0, out[6]);

  // Two full-scale voices clip instead of wrapping round.
  DirectSoundBufferPtr a = Mono16(device.sound, {30000, -30000}, 44100),
                       b = Mono16(device.sound, {30000, -30000}, 44100);
  a->Play(0, 0, 0);
  b->Play(0, 0, 0);
  out = device.Render(2);
  EXPECT_EQ((std::vector<int16_t>{32767, 32767, -32768, -32768}), out);
}

TEST(SoftwareSound, BuffersRefuseWhatTheyCannotDo) {
  Device device(1);
  DirectSoundBufferPtr buffer;
  const WAVEFORMATEX pcm = Format(1, 22050, 16);
  CSoftwareSound* fresh = CSoftwareSound::CreateOffline();
  EXPECT_EQ(DSERR_PRIOLEVELNEEDED, Create(fresh, pcm, 64, kEffectFlags, buffer));
  fresh->Release();
  EXPECT_EQ(DSERR_INVALIDPARAM, device.sound->SetCooperativeLevel(nullptr, 0));

  WAVEFORMATEX bad = pcm;
  bad.wBitsPerSample = 24;
  EXPECT_EQ(DSERR_BADFORMAT, Create(device.sound, bad, 64, kEffectFlags, buffer));
  bad = pcm;
  bad.nBlockAlign = 3;
  IDirectSoundBuffer* cleared = reinterpret_cast<IDirectSoundBuffer*>(&bad);  // a refusal leaves no stale pointer
  const DSBUFFERDESC refused{kDsBufferDescSize, kEffectFlags, 64, 0, &bad};
  EXPECT_TRUE(device.sound->CreateSoundBuffer(&refused, &cleared, nullptr) == DSERR_BADFORMAT && cleared == nullptr);
  EXPECT_EQ(DSERR_INVALIDPARAM, Create(device.sound, pcm, 2, kEffectFlags, buffer));
  EXPECT_EQ(DSERR_INVALIDPARAM,
            Create(device.sound, pcm, 64, kEffectFlags | DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE, buffer));

  // One hardware voice: the first hardware buffer gets it, the next and a duplicate do not.
  DirectSoundBufferPtr hardware, second;
  ASSERT_EQ(DS_OK, Create(device.sound, pcm, 64, kEffectFlags | DSBCAPS_LOCHARDWARE, hardware));
  EXPECT_EQ(DSERR_ALLOCATED, Create(device.sound, pcm, 64, kEffectFlags | DSBCAPS_LOCHARDWARE, second));
  IDirectSoundBuffer* copy = nullptr;
  EXPECT_EQ(DSERR_ALLOCATED, device.sound->DuplicateSoundBuffer(hardware.get(), &copy));
  EXPECT_EQ(nullptr, copy);
  hardware.reset();
  EXPECT_EQ(1u, device.sound->HardwareVoicesFree());  // given back with the buffer
  ASSERT_EQ(DS_OK, Create(device.sound, pcm, 64, kEffectFlags | DSBCAPS_LOCHARDWARE, hardware));

  // A music-style buffer has volume only.
  DirectSoundBufferPtr music;
  ASSERT_EQ(DS_OK, Create(device.sound, pcm, 64, DSBCAPS_STATIC | DSBCAPS_CTRLVOLUME, music));
  EXPECT_EQ(DSERR_CONTROLUNAVAIL, music->SetPan(100));
  EXPECT_EQ(DSERR_CONTROLUNAVAIL, music->SetFrequency(22050));
  DSBCAPS caps{};
  ASSERT_EQ(DS_OK, music->GetCaps(&caps));
  EXPECT_EQ(DSBCAPS_STATIC | DSBCAPS_CTRLVOLUME | DSBCAPS_LOCSOFTWARE, caps.dwFlags);
  EXPECT_EQ(64u, caps.dwBufferBytes);
  EXPECT_EQ(DSERR_INVALIDPARAM, music->SetVolume(1));
  EXPECT_EQ(DSERR_INVALIDPARAM, music->SetVolume(-10001));
  EXPECT_EQ(DSERR_INVALIDPARAM, hardware->SetPan(10001));
  EXPECT_EQ(DSERR_INVALIDPARAM, hardware->SetFrequency(99));
  EXPECT_EQ(DS_OK, hardware->SetFrequency(100));
  EXPECT_EQ(DS_OK, hardware->SetFrequency(100000));
  EXPECT_EQ(DSERR_INVALIDPARAM, hardware->SetFrequency(100001));
  EXPECT_EQ(DSERR_INVALIDPARAM, hardware->SetCurrentPosition(64));
  EXPECT_EQ(DSERR_INVALIDPARAM, hardware->Play(1, 0, 0));
}

// A lock that runs past the end comes back as two regions, the second from the start; what is
// written through both plays in buffer order.
TEST(SoftwareSound, LockAcrossTheEndGivesTwoRegions) {
  Device device;
  DirectSoundBufferPtr buffer = Mono16(device.sound, std::vector<int16_t>(8, 0), 44100);
  void *a = nullptr, *b = nullptr;
  DWORD na = 0, nb = 0;
  ASSERT_EQ(DS_OK, buffer->Lock(12, 8, &a, &na, &b, &nb, 0));
  ASSERT_EQ(4u, na);
  ASSERT_EQ(4u, nb);
  void *c = nullptr, *d = nullptr;
  DWORD nc = 0, nd = 0;
  EXPECT_EQ(DSERR_INVALIDCALL, buffer->Lock(0, 4, &c, &nc, &d, &nd, 0));  // one lock at a time
  const int16_t tail[2] = {600, 700}, head[2] = {100, 200};
  std::memcpy(a, tail, 4);
  std::memcpy(b, head, 4);
  EXPECT_EQ(DSERR_INVALIDPARAM, buffer->Unlock(a, 8, b, nb));
  ASSERT_EQ(DS_OK, buffer->Unlock(a, na, b, nb));
  buffer->Play(0, 0, 0);
  const std::vector<int16_t> out = device.Render(8);
  const int16_t want[8] = {100, 200, 0, 0, 0, 0, 600, 700};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(want[i], out[2 * i]) << i;
}

// A duplicate plays the same memory with the original's controls, volume, pan and frequency, but
// on its own cursor; later changes to the original, or releasing it, leave it as it was.
TEST(SoftwareSound, DuplicatesShareMemoryButNotState) {
  Device device;
  DirectSoundBufferPtr original = Mono16(device.sound, {1000, 2000, 3000, 4000}, 44100);
  original->SetVolume(-600);
  original->SetPan(-1000);
  original->SetFrequency(22050);
  IDirectSoundBuffer* raw = nullptr;
  ASSERT_EQ(DS_OK, device.sound->DuplicateSoundBuffer(original.get(), &raw));
  DirectSoundBufferPtr copy(raw);
  original->SetPan(DSBPAN_RIGHT);
  copy->SetCurrentPosition(4);
  copy->Play(0, 0, 0);
  original->Play(0, 0, 0);
  original.reset();
  const std::vector<int16_t> out = device.Render(5);
  // At half speed from frame 2: 3000, 3500, 4000, then halfway to silence; left at -6 dB, right at -16 dB.
  EXPECT_EQ((std::vector<int16_t>{1504, 475, 1754, 555, 2005, 634, 1002, 317, 0, 0}), out);
  EXPECT_EQ(0u, Status(copy.get()) & DSBSTATUS_PLAYING);
  DSBCAPS caps{};
  ASSERT_EQ(DS_OK, copy->GetCaps(&caps));
  EXPECT_EQ(kEffectFlags | DSBCAPS_LOCSOFTWARE, caps.dwFlags);
}

// Lost memory sounds silent and refuses play and lock; restored, it stays silent until written
// again, then plays as before, and the cursor kept moving meanwhile.
TEST(SoftwareSound, LostMemoryIsSilentUntilRestoredAndRewritten) {
  Device device;
  const std::vector<int16_t> tone = Sine(400, 0.01, 9000.0);
  DirectSoundBufferPtr buffer = Mono16(device.sound, tone, 44100);
  buffer->Play(0, 0, DSBPLAY_LOOPING);
  const std::vector<int16_t> before = device.Render(400);
  device.sound->LoseBuffers();
  EXPECT_EQ(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING | DSBSTATUS_BUFFERLOST, Status(buffer.get()));
  EXPECT_EQ(0.0, ChannelRms(device.Render(400), 0));
  EXPECT_EQ(DSERR_BUFFERLOST, buffer->Play(0, 0, DSBPLAY_LOOPING));
  void *a = nullptr, *b = nullptr;
  DWORD na = 0, nb = 0;
  EXPECT_EQ(DSERR_BUFFERLOST, buffer->Lock(0, 800, &a, &na, &b, &nb, 0));
  ASSERT_EQ(DS_OK, buffer->Restore());
  ASSERT_EQ(DS_OK, buffer->Lock(0, 800, &a, &na, &b, &nb, 0));
  EXPECT_EQ(std::count(static_cast<uint8_t*>(a), static_cast<uint8_t*>(a) + na, 0), 800) << "the lost bytes read as silence";
  buffer->Unlock(a, na, b, nb);
  EXPECT_EQ(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING, Status(buffer.get()));
  EXPECT_EQ(0.0, ChannelRms(device.Render(400), 0));
  Fill(buffer.get(), tone.data(), tone.size() * 2);
  EXPECT_EQ(before, device.Render(400));
}

// With SDL's dummy driver (as in CI) the default device opens and mixes on SDL's thread; without
// any audio driver creation fails cleanly. Either way nothing leaks or crashes. Any other device
// is refused, and a refusal leaves no stale pointer.
TEST(SoftwareSound, DefaultDeviceOpensOrFailsCleanly) {
  IDirectSound* sound = reinterpret_cast<IDirectSound*>(1);
  const GUID other{};
  EXPECT_TRUE(DirectSoundCreate(&other, &sound, nullptr) == DSERR_NODRIVER && sound == nullptr);
  sound = reinterpret_cast<IDirectSound*>(1);
  const HRESULT result = DirectSoundCreate(nullptr, &sound, nullptr);
  if (result != DS_OK) {
    EXPECT_EQ(DSERR_NODRIVER, result);
    EXPECT_EQ(nullptr, sound);
    return;
  }
  DirectSoundPtr owner(sound);
  ASSERT_EQ(DS_OK, sound->SetCooperativeLevel(nullptr, DSSCL_NORMAL));
  DirectSoundBufferPtr buffer = Mono16(sound, Sine(4410, 0.01, 8000.0), 44100);
  EXPECT_EQ(DS_OK, buffer->Play(0, 0, DSBPLAY_LOOPING));
  EXPECT_EQ(DS_OK, buffer->SetPan(-300));
  owner.reset();  // the device goes first; its buffer stays safe to use and release
  EXPECT_EQ(DS_OK, buffer->Stop());
}

// While tests drive the clock by hand the default device mixes as far as that clock has run, not
// as far as an audio thread got: a 31 s one-shot is at its 6 s sample 6 s after Play, still
// playing 1 ms before its end and done at it, however long the machine took in between. Every
// call first mixes up to the clock, so calls 6 s apart lose no time, but a gap of 12 s loses the
// 2 s past the 10 s that one catch-up mixes at most.
TEST(SoftwareSound, UnderTheHandDrivenClockPlaybackFollowsTheClock) {
  plat::UseManualClock(5000);
  IDirectSound* sound = nullptr;
  ASSERT_EQ(DS_OK, DirectSoundCreate(nullptr, &sound, nullptr));
  DirectSoundPtr owner(sound);
  ASSERT_EQ(DS_OK, sound->SetCooperativeLevel(nullptr, DSSCL_NORMAL));
  const WAVEFORMATEX format = Format(1, 11025, 8);
  DirectSoundBufferPtr buffer;
  ASSERT_EQ(DS_OK, Create(sound, format, 31 * 11025, kEffectFlags, buffer));
  plat::AdvanceClock(1000);  // before it plays
  ASSERT_EQ(DS_OK, buffer->Play(0, 0, 0));
  DWORD play = 1, status = 0, frequency = 0;
  plat::AdvanceClock(6000);
  ASSERT_EQ(DS_OK, buffer->GetCurrentPosition(&play, nullptr));
  EXPECT_EQ(6u * 11025, play);
  WAVEFORMATEX made = {};
  EXPECT_TRUE(buffer->GetFormat(&made) == DS_OK && std::memcmp(&made, &format, sizeof(made)) == 0);
  plat::AdvanceClock(12000);
  ASSERT_EQ(DS_OK, buffer->GetCurrentPosition(&play, nullptr));
  EXPECT_EQ(16u * 11025, play);
  EXPECT_TRUE(buffer->GetFrequency(&frequency) == DS_OK && frequency == 11025) << "the format's own rate";
  plat::AdvanceClock(6000);
  LONG pan = 1;
  EXPECT_TRUE(buffer->GetPan(&pan) == DS_OK && pan == 0);
  plat::AdvanceClock(6000);
  ASSERT_EQ(DS_OK, buffer->SetVolume(DSBVOLUME_MIN));  // silent from here on, but it plays on to its end
  plat::AdvanceClock(2999);
  ASSERT_EQ(DS_OK, buffer->GetStatus(&status));
  EXPECT_TRUE(status & DSBSTATUS_PLAYING);
  plat::AdvanceClock(1);
  ASSERT_EQ(DS_OK, buffer->GetStatus(&status));
  EXPECT_FALSE(status & DSBSTATUS_PLAYING);
  plat::UseRealClock();
}
