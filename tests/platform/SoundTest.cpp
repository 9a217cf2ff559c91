// Sounds: the beeps' event sounds, the wave resources, and the real sound path with and without a device.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "KernelObjects.h"
#include "Sound.h"
#include "testing/SoundRecorder.h"

namespace {
constexpr UINT kClick = 2000;

uint32_t Le(const std::string& bytes, size_t at, int size) {
  uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes.at(at + i));
  return v;
}

struct Pcm {
  uint32_t format = 0, channels = 0, rate = 0, bits = 0;
  std::string samples;
};

// The format and data chunks of a RIFF wave; false when it is not one.
bool ParseWave(const std::string& bytes, Pcm& out) {
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return false;
  bool haveFormat = false;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    const uint32_t size = Le(bytes, at + 4, 4);
    if (at + 8 + size > bytes.size()) return false;
    if (id == "fmt ") {
      out.format = Le(bytes, at + 8, 2);
      out.channels = Le(bytes, at + 10, 2);
      out.rate = Le(bytes, at + 12, 4);
      out.bits = Le(bytes, at + 22, 2);
      haveFormat = true;
    } else if (id == "data") {
      out.samples = bytes.substr(at + 8, size);
      return haveFormat;
    }
    at += 8 + size + (size & 1);
  }
  return false;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The real path: the test environment's quiet mode keeps every sound silent.
class Audible {
 public:
  Audible() {
    if (const char* q = std::getenv("QLW_QUIET")) m_quiet = q;
    unsetenv("QLW_QUIET");
  }
  ~Audible() {
    if (!m_quiet.empty()) setenv("QLW_QUIET", m_quiet.c_str(), 1);
  }

 private:
  std::string m_quiet;
};
}  // namespace

TEST(Sound, BeepTypesAskForTheDesktopsEventSounds) {
  const struct {
    UINT type;
    const char* eventId;
  } cases[] = {
      {MB_OK, "bell"},
      {MB_ICONHAND, "dialog-error"},
      {MB_ICONQUESTION, "dialog-question"},
      {MB_ICONEXCLAMATION, "dialog-warning"},
      {MB_ICONASTERISK, "dialog-information"},
      {0xFFFFFFFFu, "bell"},
  };
  qlw::testing::SoundRecorder recorder;
  std::vector<std::string> expected;
  const unsigned before = qlw::MessageBeepCount();
  for (const auto& c : cases) {
    EXPECT_TRUE(MessageBeep(c.type)) << c.eventId;
    expected.push_back(c.eventId);
  }
  EXPECT_EQ(recorder.Beeps(), expected);
  EXPECT_EQ(qlw::MessageBeepCount(), before + std::size(cases));
}

TEST(Sound, BeepThatCannotSoundAnswersFalse) {
  qlw::testing::SoundRecorder recorder(-5);
  EXPECT_FALSE(MessageBeep(MB_OK));
}

TEST(Sound, ClickIsAShortMonoPcmWave) {
  std::string bytes;
  ASSERT_TRUE(qlw::ReadWaveResource(kClick, bytes));
  Pcm pcm;
  ASSERT_TRUE(ParseWave(bytes, pcm));
  EXPECT_EQ(pcm.format, 1u);
  EXPECT_EQ(pcm.channels, 1u);
  EXPECT_EQ(pcm.bits, 16u);
  ASSERT_GT(pcm.rate, 0u);
  const double ms = 1000.0 * (pcm.samples.size() / 2) / pcm.rate;
  EXPECT_GE(ms, 2);
  EXPECT_LE(ms, 50);
  EXPECT_FALSE(qlw::ReadWaveResource(kClick + 1, bytes));
}

TEST(Sound, QuietModePlaysNothingAndSucceeds) {
  ASSERT_NE(std::getenv("QLW_QUIET"), nullptr);
  const void* device = &device;
  EXPECT_EQ(qlw::PlayWave("RIFF", &device), 0);
  EXPECT_EQ(device, nullptr);
}

// Without a sound device (or with one) the real path loads the desktop's sound library, hands it
// the wave as a file, and comes back with an answer rather than failing.
TEST(Sound, RealPathRunsWithoutASoundDevice) {
  Audible audible;
  std::string click;
  ASSERT_TRUE(qlw::ReadWaveResource(kClick, click));
  const void* device = nullptr;
  // Whatever the sound driver has to say about a missing device stays off standard error.
  testing::internal::CaptureStderr();
  const int result = qlw::PlayWave(click, &device);
  MessageBeep(MB_ICONEXCLAMATION);
  MessageBeep(MB_OK);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(said, "");
  EXPECT_LE(result, 0);
  EXPECT_NE(device, nullptr) << "the sound library was not loaded";
  bool found = false;
  for (const auto& entry : std::filesystem::directory_iterator(qlw::RuntimeFolder() + "/sounds"))
    found = found || ReadAll(entry.path().string()) == click;
  EXPECT_TRUE(found) << "the wave was not written for the sound library";
}

// Run by their own test entry, Sound.ReachesTheDevice, with a file for the sound device: the
// click's samples reach the device as they are, and a beep plays the theme's sound.
TEST(SoundDevice, ClickReachesTheDeviceUnchanged) {
  const char* sink = std::getenv("QLW_ALSA_SINK");
  if (!sink) GTEST_SKIP() << "needs the file sound device";
  Audible audible;
  std::remove(sink);
  std::string click;
  ASSERT_TRUE(qlw::ReadWaveResource(kClick, click));
  Pcm pcm;
  ASSERT_TRUE(ParseWave(click, pcm));
  ASSERT_EQ(qlw::PlayWave(click), 0);
  std::string played;
  qlwtest::WaitUntil([&] {
    played = ReadAll(sink);
    return played.size() >= pcm.samples.size();
  });
  EXPECT_EQ(played, pcm.samples);
}

TEST(SoundDevice, BeepPlaysTheDesktopsEventSound) {
  const char* sink = std::getenv("QLW_ALSA_SINK");
  if (!sink) GTEST_SKIP() << "needs the file sound device";
  Audible audible;
  std::remove(sink);
  EXPECT_TRUE(MessageBeep(MB_ICONEXCLAMATION));
  size_t played = 0;
  qlwtest::WaitUntil([&] {
    played = ReadAll(sink).size();
    return played > 0;
  });
  EXPECT_GT(played, 0u);
}
