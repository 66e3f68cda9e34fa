// Opening WAV files for playback: the walk to "fmt " and "data", and the choice
// between reading PCM directly and handing the format to a system codec.
#pragma once
#include <cstdint>
#include <vector>

#include "audio/audio_source.h"

// The "fmt " chunk of a WAV file, in the platform's WAVEFORMATEX layout.
struct WaveFormat {
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t extraSize = 0;     // 0 when the body has no room for it (a 16-byte PCM body)
  std::vector<uint8_t> body;  // the whole body as stored (16 … 8192 bytes)
};

// Always gives a source with the caller's reference taken: the 8- or 16-bit PCM
// reader, the codec source for every other format, or a SilentSource that is
// OpenFailed (the file can't be read) or BadFormat (not a well-formed WAV with a
// "fmt " followed by "data").
AudioSource* openWaveSource(const char* path);
