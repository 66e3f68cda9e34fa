#include "audio/cue_source.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/frame_time.h"
#include "audio/samples.h"

namespace {

constexpr int kBufferBlocks = 8;
constexpr int kPieceFrames = 8192;

int32_t stepOf(int block, double speed) {
  // Held well inside int32 so that the cast is defined for any speed.
  double step = std::clamp(double(block) * speed, -double(1 << 30), double(1 << 30));
  return int32_t(step);
}

}  // namespace

CueSource::CueSource(AudioSource* inner, int32_t rampMs, double startSpeed, double endSpeed)
    : SourceFilter(inner) {
  ch_ = std::max(channels(), 1);
  block_ = std::clamp(sampleRate() / 90, 20, 2730) * ch_;
  step_ = stepOf(block_, startSpeed);
  endStep_ = stepOf(block_, endSpeed);
  rampLeft_ = int64_t(msToFrames(rampMs, sampleRate())) * ch_;
  buffer_.resize(size_t(kBufferBlocks) * block_);

  // Cursor A keeps full weight for the first half of a block, then hands over to
  // cursor B along a raised cosine.
  window_.resize(size_t(block_));
  const int half = block_ / 2;
  const int fall = block_ - half;
  const double pi = std::acos(-1.0);
  for (int i = 0; i < half; ++i) window_[i] = kUnityQ24;
  for (int i = 0; i < fall; ++i)
    window_[half + i] = int32_t((0.5 * std::cos(pi * i / fall) + 0.5) * 16777216.0 + 0.5);
  prime();
}

int32_t CueSource::frameOf(int64_t index) {
  int64_t frame = inner().position() + (index - fill_) / ch_;
  return int32_t(std::clamp<int64_t>(frame, INT32_MIN, INT32_MAX));
}

void CueSource::seekInnerTo(int64_t index) { inner().seek(frameOf(index)); }

void CueSource::readInto(int64_t index, int64_t samples) {
  int64_t frames = samples / ch_;
  int32_t* out = buffer_.data() + index;
  while (frames > 0) {
    int piece = int(std::min<int64_t>(frames, kPieceFrames));
    inner().read(out, piece);
    out += int64_t(piece) * ch_;
    frames -= piece;
  }
  fill_ = index + samples;
}

void CueSource::prime() {
  const int64_t size = int64_t(kBufferBlocks) * block_;
  if (step_ < 0) {
    // Running backwards, play on from near the top of the window so that the
    // jumps back find audio below.
    cursorA_ = int32_t(size - 2 * block_);
    const int64_t back = (int64_t(block_) + cursorA_) / ch_;
    inner().seek(int32_t(std::max<int64_t>(int64_t(inner().position()) - back, INT32_MIN)));
  } else {
    cursorA_ = 0;
  }
  cursorB_ = startB_ = cursorA_;
  k_ = 0;
  readInto(0, size);
  primed_ = true;
}

void CueSource::nextBlock() {
  const int64_t size = int64_t(kBufferBlocks) * block_;
  const int64_t b = block_;
  int64_t a = cursorB_;  // A plays on with the snippet that was faded in
  int64_t start = ch_ * ((int64_t(startB_) + step_) / ch_);
  int64_t lo = std::min(a, start);
  const int64_t hi = std::max(a + b, start + 2 * b);

  if (hi - lo >= size || lo < -2 * b) {
    // Too far for the window: fetch just the new snippet, next to A's.
    seekInnerTo(start);
    start = a < 2 * b ? a + b : 0;
    readInto(start, 2 * b);
    primed_ = false;
  } else if (!primed_) {
    // After a far jump the window holds two snippets only: read all of it again
    // around where A and B now play.
    if (step_ < 0) lo = hi - size;
    seekInnerTo(lo);
    a -= lo;
    start -= lo;
    readInto(0, size);
    primed_ = true;
  } else if (lo < 0) {
    // Backwards past the bottom: shift the contents up, read in below.
    const int64_t up = size - hi;
    std::memmove(buffer_.data() + up, buffer_.data(), size_t(size - up) * sizeof(int32_t));
    a += up;
    start += up;
    seekInnerTo(-up);
    readInto(0, up);
  } else if (hi > size) {
    // Forwards past the top: shift the contents down, read in above.
    std::memmove(buffer_.data(), buffer_.data() + lo, size_t(size - lo) * sizeof(int32_t));
    a -= lo;
    start -= lo;
    fill_ -= lo;
    if (fill_ != size - lo) seekInnerTo(size - lo);
    readInto(size - lo, lo);
  }

  if (rampLeft_ > 0) {
    step_ = int32_t(step_ + (int64_t(endStep_) - step_) * b / rampLeft_);
    rampLeft_ -= b;
    if (rampLeft_ <= 0) step_ = endStep_;
  }
  cursorA_ = int32_t(a);
  cursorB_ = startB_ = int32_t(start);
  k_ = 0;
}

void CueSource::read(int32_t* buffer, int frames) {
  const int64_t samples = int64_t(frames) * ch_;
  for (int64_t i = 0; i < samples; ++i) {
    const int32_t w = window_[k_];
    buffer[i] = mulQ24(buffer_[cursorA_], w) + mulQ24(buffer_[cursorB_], kUnityQ24 - w);
    ++cursorA_;
    ++cursorB_;
    if (++k_ == block_) nextBlock();
  }
}

int32_t CueSource::position() { return frameOf(cursorB_); }

int32_t CueSource::length() {
  if (step_ >= 0) return inner().length();
  return int32_t(std::clamp<int64_t>(int64_t(position()) * 2, INT32_MIN, INT32_MAX));
}

void CueSource::seek(int32_t frame) {
  inner().seek(frame);
  prime();
}
