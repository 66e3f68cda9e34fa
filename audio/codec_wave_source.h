// Compressed WAV formats (and PCM wider than 16 bits) go to a system codec that
// converts them to 16-bit PCM. Each build supplies one implementation of this
// factory: the Windows one over the audio compression manager, the portable one a
// source that is CodecMissing.
#pragma once
#include <cstdint>
#include <memory>

#include "audio/audio_source.h"
#include "audio/wave_source.h"
#include "common/file.h"

// `file` is open on the WAV file; `dataStart` is the offset of the "data" body
// and `dataSize` the bytes of it that the file really holds (a header that claims
// more, or 0xFFFFFFFF, has already been cut to the end of the file). The format
// has passed the checks of every WAV: 1 … 255 channels, 1 … 196000 Hz, an extra
// size within the body. Returns the source with the caller's reference taken.
AudioSource* openCodecWaveSource(std::unique_ptr<File> file, const WaveFormat& format,
                                 uint32_t dataStart, uint32_t dataSize);
