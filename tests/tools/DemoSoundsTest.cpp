// The demo sounds: every name the skaters and the music playlist use is written, reads back as
// 16-bit PCM through the sample reader, and holds sound rather than silence or clipping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "sound/SoundSample.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContentSounds.h"

TEST(DemoSounds, EveryParkSoundIsWrittenAndReadsBack) {
  testing_support::TempFolder folder;
  ASSERT_TRUE(DemoContent::WriteSounds(folder.Path()));
  const std::vector<std::string> files = DemoContent::SoundFiles();
  const std::set<std::string> names(files.begin(), files.end());
  EXPECT_EQ(files.size(), names.size());
  std::vector<std::string> wanted = {"sounds/ollie.wav", "sounds/landoffbalance.wav", "sounds/startgrind.wav",
                                     "sounds/startslide.wav", "sounds/exitgrind.wav", "sounds/exitslide.wav",
                                     "sounds/crash1.wav", "sounds/cash_for_trick.wav", "sounds/cooltrickvoice1.wav",
                                     "sounds/changedirection.wav", "sounds/push.wav", "sounds/putboarddown.wav",
                                     "sounds/music/tessary1_three_twelve.wav", "sounds/music/tessary1_kids.wav",
                                     "sounds/music/tessary1_lucky.wav"};
  for (const char* surface : {"concrete", "wood", "metal"})
    for (const char* action : {"skate", "slide", "grind", "walk", "land"})
      wanted.push_back(std::string("sounds/") + action + surface + ".wav");
  for (const std::string& name : wanted) EXPECT_EQ(1u, names.count(name)) << name;
  EXPECT_EQ(wanted.size() + 4, files.size());  // crash and voice families have three each

  for (const std::string& name : files) {
    const std::string bytes = testing_support::ReadBytes(folder.Path() + name);
    CSoundSample sample;
    ASSERT_TRUE(sample.Copy(bytes.data(), bytes.size())) << name;
    EXPECT_EQ(1, sample.GetFormatTag());
    EXPECT_EQ(16, sample.GetBitsPerSample());
    EXPECT_EQ(1, sample.GetChannels());
    const size_t frames = sample.GetDataSize() / 2;
    const int16_t* s = reinterpret_cast<const int16_t*>(sample.GetData());
    double sum = 0.0;
    int peak = 0;
    for (size_t i = 0; i < frames; ++i) {
      sum += double(s[i]) * s[i];
      peak = std::max(peak, std::abs(int(s[i])));
    }
    const double rms = std::sqrt(sum / frames);
    EXPECT_GT(rms, 300.0) << name;
    EXPECT_LT(peak, 32767) << name;
    const double seconds = double(frames) / sample.GetSampleRate();
    if (name.find("music/") != std::string::npos)
      EXPECT_GE(seconds, 3.0) << name;
    else
      EXPECT_LE(seconds, 1.0) << name;
  }
}
