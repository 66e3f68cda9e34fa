// 8- and 16-bit PCM straight from a WAV file's "data" chunk.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/audio_source.h"
#include "common/file.h"

class WavePcmSource : public AudioSource {
 public:
  // `bytesPerSample` is 1 (unsigned 8-bit) or 2 (signed 16-bit little-endian);
  // `dataSize` is what the file holds of the "data" body, starting at `dataStart`.
  WavePcmSource(std::unique_ptr<File> file, int32_t sampleRate, int channels, int bytesPerSample,
                uint32_t dataStart, uint32_t dataSize);

  void read(int32_t* buffer, int frames) override;
  int32_t position() override { return position_; }
  int32_t length() override { return length_; }
  // A negative frame is allowed: that many frames of silence come before frame 0.
  // Past the length the position stays where it was put and reads give silence.
  void seek(int32_t frame) override;

 private:
  void convert(int32_t* out, int frames);

  std::unique_ptr<File> file_;
  uint32_t dataStart_;
  int32_t position_ = 0;
  int32_t length_ = 0;
  int bytesPerSample_;
  int frameBytes_;
  std::vector<int16_t> readBuffer_;  // raw bytes of up to kPieceFrames frames
};
