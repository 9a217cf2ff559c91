// CUtils::LoadAndPlaySound: a wave resource through the desktop's sounds (platform/Sound.h).
#include "LXUtils.h"

#include <cstdio>

#include "Sound.h"

bool CUtils::LoadAndPlaySound(UINT soundId) {
  std::string wave;
  if (!qlw::ReadWaveResource(soundId, wave)) return false;
  const void* device = nullptr;
  const int result = qlw::PlayWave(wave, &device);
  if (result != 0) {
    std::fprintf(stderr, "$$$ CUtils::LoadAndPlaySound(): waveOutOpen() failed, result = 0x%08x, gWaveOut = %p\n",
                 static_cast<unsigned>(result), device);
    return false;
  }
  return true;
}
