#include "audio/peak_limiter.h"

#include <algorithm>
#include <cstring>

#include "audio/samples.h"

namespace {
constexpr int32_t kMaxLimit = 0x3FFFFF;
constexpr int kBlocksAhead = 3;
}  // namespace

PeakLimiter::PeakLimiter(AudioSource* inner, int32_t limit) : SourceFilter(inner) {
  setPeakLimit(std::clamp(limit, 0, kMaxLimit));
  block_ = std::clamp(sampleRate() / 35, 20, 8192);
  consumed_ = kBlocksAhead * block_;
  const size_t samples = size_t(channels()) * size_t(block_);
  current_.resize(samples);
  next_.resize(samples);
  afterNext_.resize(samples);
}

int32_t PeakLimiter::gainOf(const std::vector<int32_t>& samples) {
  const int32_t peak = peakOf(channels(), samples.data(), block_);
  if (peak <= peakLimit()) return kUnityQ24;
  // peakLimit / peak in Q24, in steps that stay within 32 bits.
  const int32_t scaledPeak = int32_t((int64_t(peak) + 64) >> 6);
  return ((peakLimit() * 512) / scaledPeak) * 512;
}

void PeakLimiter::setRamp() {
  const int64_t average =
      (int64_t(previousGain_) + currentGain_ + nextGain_ + afterNextGain_) >> 2;
  const int32_t target = int32_t(std::min<int64_t>({average, currentGain_, nextGain_}));
  const int32_t delta = target - gain_;
  // The remainder first, so that whole steps land exactly on the target at the
  // end of the block.
  gain_ += delta % block_;
  step_ = delta / block_;
}

void PeakLimiter::refill() {
  inner().read(current_.data(), block_);
  inner().read(next_.data(), block_);
  inner().read(afterNext_.data(), block_);
  currentGain_ = previousGain_ = gainOf(current_);
  nextGain_ = gainOf(next_);
  afterNextGain_ = gainOf(afterNext_);
  gain_ = currentGain_;
  setRamp();
  consumed_ = 0;
  primed_ = true;
}

void PeakLimiter::advance() {
  std::swap(current_, next_);
  std::swap(next_, afterNext_);
  previousGain_ = currentGain_;
  currentGain_ = nextGain_;
  nextGain_ = afterNextGain_;
  inner().read(afterNext_.data(), block_);
  afterNextGain_ = gainOf(afterNext_);
  setRamp();
  consumed_ = 0;
}

void PeakLimiter::read(int32_t* buffer, int frames) {
  const int ch = channels();
  while (frames > 0) {
    if (!primed_) refill();
    if (consumed_ == block_) advance();
    const int n = std::min(frames, block_ - consumed_);
    const int32_t* in = current_.data() + size_t(consumed_) * ch;
    if (gain_ == kUnityQ24 && step_ == 0) {
      std::memcpy(buffer, in, size_t(n) * ch * sizeof(int32_t));
    } else {
      for (int f = 0; f < n; ++f) {
        for (int c = 0; c < ch; ++c) buffer[f * ch + c] = mulQ24(in[f * ch + c], gain_);
        gain_ += step_;
      }
    }
    buffer += size_t(n) * ch;
    consumed_ += n;
    frames -= n;
  }
}

int32_t PeakLimiter::position() {
  return inner().position() - kBlocksAhead * block_ + consumed_;
}

void PeakLimiter::seek(int32_t frame) {
  inner().seek(frame);
  primed_ = false;
  consumed_ = kBlocksAhead * block_;
}

AudioSource* limitSource(AudioSource* source, int32_t limit) {
  if (limit < source->peakLimit()) source = new PeakLimiter(source, limit);
  source->addRef();
  return source;
}
