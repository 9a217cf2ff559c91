// CUtils::LoadAndPlaySound: which wave it plays and how a sound that cannot play is reported.
#include <gtest/gtest.h>

#include <string>

#include "LXUtils.h"
#include "Sound.h"
#include "testing/SoundRecorder.h"

TEST(UtilsSound, PlaysTheWaveResourceAndReportsADeviceThatCannotPlay) {
  std::string click;
  ASSERT_TRUE(qlw::ReadWaveResource(2000, click));
  const struct {
    int answer;
    bool played;
  } cases[] = {{0, true}, {-5, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    qlw::testing::SoundRecorder sounds(c.answer);
    testing::internal::CaptureStderr();
    EXPECT_EQ(CUtils::LoadAndPlaySound(2000), c.played);
    const std::string debug = testing::internal::GetCapturedStderr();
    ASSERT_EQ(sounds.Records().size(), 1u);
    EXPECT_EQ(sounds.Records()[0].wave, click);
    if (c.played)
      EXPECT_EQ(debug, "");
    else
      EXPECT_EQ(debug, "$$$ CUtils::LoadAndPlaySound(): waveOutOpen() failed, result = 0xfffffffb, gWaveOut = (nil)\n");
  }
}

TEST(UtilsSound, AnAbsentResourcePlaysNothing) {
  qlw::testing::SoundRecorder sounds;
  EXPECT_FALSE(CUtils::LoadAndPlaySound(1999));
  EXPECT_TRUE(sounds.Records().empty());
}
