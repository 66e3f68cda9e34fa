// The walk through a WAV file to the two chunks that playback needs, over the
// RIFF chunk walker.
#include <algorithm>
#include <memory>

#include "audio/codec_wave_source.h"
#include "audio/wave_pcm_source.h"
#include "audio/wave_source.h"
#include "common/bytes.h"
#include "common/file.h"
#include "common/riff.h"

namespace {

constexpr uint32_t kMinFormatSize = 16;
constexpr uint32_t kMaxFormatSize = 8192;
constexpr uint32_t kFormatSizeWithExtra = 18;
constexpr uint32_t kMaxChannels = 255;
constexpr uint32_t kMaxSampleRate = 196000;
constexpr uint16_t kFormatPcm = 1;

// Reads `size` bytes at `offset`; false when the offset can't be addressed or
// the file ends first.
bool readAt(File& file, uint64_t offset, void* data, uint32_t size) {
  return offset <= UINT32_MAX && file.SeekFromStart(uint32_t(offset)) && file.ReadFull(data, size);
}

// From `offset`, walks the chunks until one is `id`; the walk steps over the
// others with their pad bytes. A chunk that reaches past the end of the file is
// still found (its caller decides how much of it to use).
bool findChunk(File& file, uint64_t fileSize, uint64_t offset, const char* id, RiffChunk& found) {
  bool seen = false;
  WalkRiffChunks(file, offset, fileSize, [&](const RiffChunk& chunk) {
    seen = RiffIdIs(chunk.id, id);
    if (seen) found = chunk;
    return !seen;
  });
  return seen;
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

  const uint64_t fileSize = file->Size();
  uint32_t form = 0;
  RiffChunk fmt, data;
  WaveFormat format;
  // A "data" chunk in front of "fmt " is stepped over like any other chunk, and
  // then no "data" follows: such a file is not played.
  if (FindWaveForm(*file, fileSize, &form) != FormSearch::Found ||
      !findChunk(*file, fileSize, form + kRiffFormHeaderSize, "fmt ", fmt) ||
      !readFormat(*file, fmt.position, fmt.size, format) ||
      !findChunk(*file, fileSize, fmt.Next(), "data", data))
    return newSilentSource(SourceStatus::BadFormat);

  // A header may claim more than the file holds (0xFFFFFFFF is written by
  // programs that could not go back to fix it): play what is there.
  const uint64_t dataStart = data.Body();
  const uint64_t present = fileSize > dataStart ? fileSize - dataStart : 0;
  const uint32_t dataSize = uint32_t(std::min<uint64_t>(data.size, present));
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
