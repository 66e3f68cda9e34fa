// A build without a codec layer: every format that is not 8- or 16-bit PCM is
// reported as needing a codec that is not there.
#include "audio/codec_wave_source.h"

AudioSource* openCodecWaveSource(std::unique_ptr<File> file, const WaveFormat& format,
                                 uint32_t dataStart, uint32_t dataSize) {
  return newSilentSource(SourceStatus::CodecMissing);
}
