// The walk through a WAV file to the two chunks that playback needs. Every size
// read from the file is checked before it is used: offsets only grow, and an
// offset beyond what 32 bits can address ends the walk.
#include <algorithm>
#include <cstring>
#include <memory>

#include "audio/codec_wave_source.h"
#include "audio/wave_pcm_source.h"
#include "audio/wave_source.h"
#include "common/bytes.h"
#include "common/file.h"

namespace {

constexpr uint32_t kMinFormatSize = 16;
constexpr uint32_t kMaxFormatSize = 8192;
constexpr uint32_t kFormatSizeWithExtra = 18;
constexpr uint32_t kMaxChannels = 255;
constexpr uint32_t kMaxSampleRate = 196000;
constexpr uint16_t kFormatPcm = 1;

uint64_t padded(uint32_t size) { return uint64_t(size) + (size & 1); }

bool sameId(const uint8_t* id, const char* name) { return std::memcmp(id, name, 4) == 0; }

// Reads `size` bytes at `offset`; false when the offset can't be addressed or
// the file ends first.
bool readAt(File& file, uint64_t offset, void* data, uint32_t size) {
  return offset <= UINT32_MAX && file.SeekFromStart(uint32_t(offset)) && file.ReadFull(data, size);
}

// From `offset`, reads chunk headers until one is `id`, stepping over the others
// with their pad bytes. On success `offset` is that chunk's header offset.
bool findChunk(File& file, uint64_t& offset, const char* id, uint32_t& size) {
  uint8_t header[8];
  for (;;) {
    if (!readAt(file, offset, header, sizeof header)) return false;
    size = ReadLE32(header + 4);
    if (sameId(header, id)) return true;
    offset += 8 + padded(size);
  }
}

// Finds the "RIFF" "WAVE" form; other top-level forms in front of it are skipped.
bool findWaveForm(File& file, uint64_t& offset) {
  uint8_t header[12];
  for (offset = 0;; offset += 8 + padded(ReadLE32(header + 4))) {
    if (!readAt(file, offset, header, sizeof header)) return false;
    if (sameId(header, "RIFF") && sameId(header + 8, "WAVE")) return true;
    // A form too small to hold its own type can't be stepped over.
    if (padded(ReadLE32(header + 4)) <= 4) return false;
  }
}

bool readFormat(File& file, uint64_t offset, uint32_t size, WaveFormat& format) {
  if (size < kMinFormatSize || size > kMaxFormatSize) return false;
  format.body.resize(size);
  if (!readAt(file, offset + 8, format.body.data(), size)) return false;
  const uint8_t* b = format.body.data();
  format.formatTag = ReadLE16(b);
  format.channels = ReadLE16(b + 2);
  format.samplesPerSec = ReadLE32(b + 4);
  format.avgBytesPerSec = ReadLE32(b + 8);
  format.blockAlign = ReadLE16(b + 12);
  format.bitsPerSample = ReadLE16(b + 14);
  format.extraSize = size >= kFormatSizeWithExtra ? ReadLE16(b + 16) : 0;
  if (size >= kFormatSizeWithExtra && format.extraSize > size - kFormatSizeWithExtra) return false;
  return format.channels >= 1 && format.channels <= kMaxChannels && format.samplesPerSec >= 1 &&
         format.samplesPerSec <= kMaxSampleRate;
}

}  // namespace

AudioSource* openWaveSource(const char* path) {
  auto file = std::make_unique<File>();
  if (!file->Open(path, FileMode::Read)) return newSilentSource(SourceStatus::OpenFailed);

  uint64_t offset = 0;
  uint32_t size = 0;
  WaveFormat format;
  // A "data" chunk in front of "fmt " is stepped over like any other chunk, and
  // then no "data" follows: such a file is not played.
  if (!findWaveForm(*file, offset)) return newSilentSource(SourceStatus::BadFormat);
  offset += 12;
  if (!findChunk(*file, offset, "fmt ", size) || !readFormat(*file, offset, size, format))
    return newSilentSource(SourceStatus::BadFormat);
  offset += 8 + padded(size);
  if (!findChunk(*file, offset, "data", size)) return newSilentSource(SourceStatus::BadFormat);

  // A header may claim more than the file holds (0xFFFFFFFF is written by
  // programs that could not go back to fix it): play what is there.
  const uint64_t dataStart = offset + 8;
  const uint64_t fileSize = file->Size();
  const uint64_t present = fileSize > dataStart ? fileSize - dataStart : 0;
  const uint32_t dataSize = uint32_t(std::min<uint64_t>(size, present));
  if (dataStart > UINT32_MAX) return newSilentSource(SourceStatus::BadFormat);

  AudioSource* source;
  if (format.formatTag == kFormatPcm && format.bitsPerSample <= 16) {
    // 1 to 8 bits (and 0) are stored in one byte per sample, 9 to 16 in two.
    int bytesPerSample = format.bitsPerSample > 8 ? 2 : 1;
    source = new WavePcmSource(std::move(file), int32_t(format.samplesPerSec), format.channels,
                               bytesPerSample, uint32_t(dataStart), dataSize);
    source->addRef();
  } else {
    source = openCodecWaveSource(std::move(file), format, uint32_t(dataStart), dataSize);
  }
  return source;
}
