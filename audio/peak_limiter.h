// A look-ahead limiter that brings a source which can go beyond 16-bit full scale
// into range with a smooth gain instead of clipping. It reads three blocks ahead
// of what it plays, so the gain is already down when a loud block arrives.
#pragma once
#include <cstdint>
#include <vector>

#include "audio/audio_source.h"

class PeakLimiter : public SourceFilter {
 public:
  // `limit` is held to 0 … 0x3FFFFF and becomes this source's peakLimit.
  PeakLimiter(AudioSource* inner, int32_t limit);

  void read(int32_t* buffer, int frames) override;
  // The wrapped position less the three blocks held here, plus what of the
  // current block has been played.
  int32_t position() override;
  void seek(int32_t frame) override;

  // Frames per block: a 35th of a second, 20 … 8192.
  int blockFrames() const { return block_; }

 private:
  int32_t gainOf(const std::vector<int32_t>& samples);
  void refill();
  void advance();
  void setRamp();

  int block_;
  int consumed_;  // frames of the current block already played
  bool primed_ = false;
  std::vector<int32_t> current_, next_, afterNext_;
  int32_t previousGain_ = kUnityQ24, currentGain_ = kUnityQ24;
  int32_t nextGain_ = kUnityQ24, afterNextGain_ = kUnityQ24;
  int32_t gain_ = kUnityQ24;  // Q24, moves by step_ after every frame
  int32_t step_ = 0;
};

// The source itself (one more reference) when `limit` is at least its peakLimit,
// else a new PeakLimiter around it; the caller's reference is taken either way.
AudioSource* limitSource(AudioSource* source, int32_t limit);
