#include "playback/engine_plan.h"

#include <algorithm>
#include <cstring>

#include "audio/samples.h"

int32_t framesPerBuffer(int32_t sampleRate) { return std::clamp<int32_t>(sampleRate / 10, 20, 8192); }

uint16_t volumeLevelOfDb(int db) {
  if (db <= -36) return 0;
  return uint16_t(std::min(65535, (db + 36) * 1424));
}

void measureLevels(const int32_t* work, int frames, int channels, ChannelLevels* levels) {
  levels->count = uint8_t(std::clamp(channels, 0, 255));
  for (int c = 0; c < levels->count; ++c) levels->level[c] = levelDb(meanSquareOf(work, c, frames, channels));
}

int repeatSnippet(int16_t* data, int framesPerBuffer, int channels) {
  const int q = (framesPerBuffer + 3) / 4;
  const size_t quarter = size_t(q) * size_t(channels);
  std::memcpy(data + quarter, data, quarter * sizeof(int16_t));
  std::memcpy(data + 2 * quarter, data, quarter * sizeof(int16_t));
  std::memcpy(data + 3 * quarter, data, size_t(framesPerBuffer - 3 * q) * size_t(channels) * sizeof(int16_t));
  return q;
}

void SlotRing::Reset() {
  for (auto& slot : free_) slot = true;
  fill_ = complete_ = 0;
  completions_ = 0;
  fillBoosted_ = completionBoosted_ = false;
}

int SlotRing::Take() {
  const int slot = fill_;
  free_[slot] = false;
  fill_ = (fill_ + 1) % kSlotCount;
  return slot;
}

SlotRing::FullAction SlotRing::RingFull() {
  completions_ = 0;
  FullAction action = {!completionBoosted_, fillBoosted_.exchange(false)};
  completionBoosted_ = true;
  return action;
}

bool SlotRing::Complete() {
  free_[complete_] = true;
  complete_ = (complete_ + 1) % kSlotCount;
  const uint8_t before = completions_++;
  if (before > 32 && !fillBoosted_) {
    fillBoosted_ = true;
    return true;
  }
  return false;
}
