// The playback engine's arithmetic and bookkeeping that needs no device: buffer
// sizes, the volume scale, block levels, the loop snippet, and the ring of output
// buffers that the fill and completion threads pass between them.
#pragma once
#include <atomic>
#include <cstdint>

constexpr int kSlotCount = 64;

// A tenth of a second, at least 20 and at most 8,192 frames.
int32_t framesPerBuffer(int32_t sampleRate);

// The device level (0 … 65535) of a volume in decibels: linear in decibels from
// −36 dB (silent) up, 1,424 a decibel, held at 65535 (0 dB gives 51,264).
uint16_t volumeLevelOfDb(int db);

// Per channel, a block's level in whole decibels (−127 for digital silence).
struct ChannelLevels {
  uint8_t count = 0;
  int8_t level[256] = {};
};
// The levels of `frames` frames of interleaved work samples; at most 256 channels.
void measureLevels(const int32_t* work, int frames, int channels, ChannelLevels* levels);

// The loop buffer: the first quarter of a buffer (q = (frames + 3) / 4 frames, the
// snippet read from the source) repeated into the second and third quarters, and
// its first frames − 3q frames into the last, so the buffer holds it four times.
// Returns q.
int repeatSnippet(int16_t* data, int framesPerBuffer, int channels);

// Which of the 64 slots are free, in the order the two threads use them: the fill
// thread writes slots in ring order, the device completes them in the same order.
// The free flags, the completion count and the fill boost are shared by the two
// threads; the indexes each belong to one of them.
// Also the priority decisions: the completion thread is raised the first time the
// ring is full; the fill thread is raised after more than 33 completions in a row
// without a full ring, and lowered again when the ring is full.
class SlotRing {
 public:
  SlotRing() { Reset(); }
  // Every slot free, both indexes at 0, no completions, nothing boosted.
  void Reset();

  // Fill side.
  bool NextFree() const { return free_[fill_]; }
  int NextSlot() const { return fill_; }
  // Takes the next slot for writing (it must be free) and returns its index.
  int Take();
  struct FullAction {
    bool raiseCompletion;  // the first time in this run
    bool lowerFill;        // the fill thread was raised
  };
  // The fill thread found the ring full.
  FullAction RingFull();
  // Draining: whether the slot written last has come back (true when nothing was
  // written at all).
  bool Drained() const { return free_[(fill_ + kSlotCount - 1) % kSlotCount]; }

  // Completion side.
  int NextToComplete() const { return complete_; }
  // The slot completed: it is free again. Returns whether to raise the fill thread.
  bool Complete();

  bool IsFree(int slot) const { return free_[slot]; }
  bool FillBoosted() const { return fillBoosted_; }

 private:
  std::atomic<bool> free_[kSlotCount];
  int fill_ = 0;
  int complete_ = 0;
  std::atomic<uint8_t> completions_{0};
  std::atomic<bool> fillBoosted_{false};
  bool completionBoosted_ = false;
};
