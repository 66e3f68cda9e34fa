// Audible fast forward and rewind: short snippets of the wrapped source played one
// after another, each jump forwards or backwards crossfaded, the jump growing from
// a start step to an end step over a ramp time.
//
// All lengths here count samples (frames × channels). The source keeps a window of
// eight blocks of the wrapped audio; cursor A plays the snippet that goes on,
// cursor B the snippet being faded in during the second half of each block.
#pragma once
#include <cstdint>
#include <vector>

#include "audio/audio_source.h"

class CueSource : public SourceFilter {
 public:
  // Speeds count source blocks per output block; negative ones run backwards.
  CueSource(AudioSource* inner, int32_t rampMs, double startSpeed, double endSpeed);

  void read(int32_t* buffer, int frames) override;
  // The source frame of the snippet being faded in.
  int32_t position() override;
  // Running backwards, twice the position: rewinding never reaches an end.
  int32_t length() override;
  // Keeps the speed reached so far and fills the window again at `frame`.
  void seek(int32_t frame) override;

  int blockSamples() const { return block_; }
  int32_t currentStep() const { return step_; }
  const std::vector<int32_t>& window() const { return window_; }

 private:
  void prime();
  void nextBlock();
  int32_t frameOf(int64_t index);
  // Moves the wrapped source to the frame of a window index.
  void seekInnerTo(int64_t index);
  // Reads from the wrapped source's position into the window at `index`.
  void readInto(int64_t index, int64_t samples);

  int ch_;
  int block_;  // B
  int32_t cursorA_ = 0, cursorB_ = 0, startB_ = 0;
  int k_ = 0;  // index into the window
  int32_t step_, endStep_;
  int64_t rampLeft_;
  int64_t fill_ = 0;  // the buffer index of the wrapped source's position
  bool primed_ = false;
  std::vector<int32_t> buffer_;  // 8 blocks
  std::vector<int32_t> window_;  // 1 block of Q24 weights for cursor A
};
