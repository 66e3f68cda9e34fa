// Small sources for testing the filters and the engine's pull loop: a ramp whose
// every sample names its own frame, and a source that plays a given block.
#pragma once
#include <cstdint>
#include <vector>

#include "audio/audio_source.h"

// Sample = frame × 8 + channel, for any frame, negative ones included, so that a
// sample tells exactly where it was read.
class RampSource : public AudioSource {
 public:
  RampSource(int32_t rate, int channels, int32_t start = 0, int32_t length = INT32_MAX)
      : AudioSource(rate, kWorkFullScale, channels), position_(start), length_(length) {}
  static int32_t valueAt(int32_t frame, int channel) { return frame * 8 + channel; }

  void read(int32_t* buffer, int frames) override {
    for (int f = 0; f < frames; ++f, ++position_)
      for (int c = 0; c < channels(); ++c) *buffer++ = valueAt(position_, c);
  }
  int32_t position() override { return position_; }
  int32_t length() override { return length_; }
  void seek(int32_t frame) override { position_ = frame; }

 private:
  int32_t position_;
  int32_t length_;
};

// Plays `samples` (interleaved) once, then zeros; counts its own destruction.
class BlockSource : public AudioSource {
 public:
  BlockSource(int32_t rate, int channels, std::vector<int32_t> samples, int32_t peakLimit,
              int* destroyed = nullptr)
      : AudioSource(rate, peakLimit, channels), samples_(std::move(samples)), destroyed_(destroyed) {}
  ~BlockSource() override {
    if (destroyed_) ++*destroyed_;
  }
  void setFailed(SourceStatus status) { setStatus(status); }

  void read(int32_t* buffer, int frames) override {
    for (int f = 0; f < frames; ++f, ++position_)
      for (int c = 0; c < channels(); ++c) {
        int64_t i = int64_t(position_) * channels() + c;
        *buffer++ = i >= 0 && i < int64_t(samples_.size()) ? samples_[size_t(i)] : 0;
      }
  }
  int32_t position() override { return position_; }
  int32_t length() override { return int32_t(samples_.size() / size_t(channels())); }
  void seek(int32_t frame) override { position_ = frame; }

 private:
  std::vector<int32_t> samples_;
  int* destroyed_;
  int32_t position_ = 0;
};

// Reads `frames` frames from a source in one call.
inline std::vector<int32_t> ReadFrames(AudioSource& source, int frames) {
  std::vector<int32_t> out(size_t(frames) * size_t(source.channels()), 0x5A5A5A5A);
  source.read(out.data(), frames);
  return out;
}
