// Sounds: MessageBeep (declared in WinTypes.h) and wave resources, played through the desktop's
// event sounds (libcanberra, loaded on the first sound); the recording seam is testing/SoundRecorder.h.
#pragma once
#include <functional>
#include <string>

#include "WinTypes.h"

namespace qlw {
// What one sound asked of the desktop: a named event sound of the freedesktop theme ("bell",
// "dialog-warning", ...) or the bytes of a wave file.
struct SoundRecord {
  std::string eventId;
  std::string wave;
};

// The bytes of the program's wave resource `id` (resources/sounds/wave<id>.wav); false when absent.
bool ReadWaveResource(UINT id, std::string& bytes);

// Starts the wave file's bytes playing and returns at once. 0 when it plays (or quiet mode, QLW_QUIET,
// keeps it silent), else the sound system's negative error; *device is its handle, null when it
// could not be loaded.
int PlayWave(const std::string& bytes, const void** device = nullptr);

// The event sound that MessageBeep plays for a type.
const char* BeepEventId(UINT type);

// While set, every sound goes to the recorder instead of the desktop; its answer is PlayWave's.
using SoundRecorderFn = std::function<int(const SoundRecord&)>;
void SetSoundRecorder(SoundRecorderFn recorder);
}  // namespace qlw
