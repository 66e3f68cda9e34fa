// The playback engine's plain arithmetic and the bookkeeping of its buffer ring.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "playback/engine_plan.h"

TEST(EnginePlan, BufferSizesAndTheVolumeScale) {
  EXPECT_EQ(framesPerBuffer(1), 20);
  EXPECT_EQ(framesPerBuffer(8000), 800);
  EXPECT_EQ(framesPerBuffer(44100), 4410);
  EXPECT_EQ(framesPerBuffer(96000), 8192);
  const std::pair<int, int> volumes[] = {{-128, 0}, {-36, 0}, {-35, 1424}, {0, 51264}, {10, 65504}, {11, 65535},
                                         {127, 65535}};
  for (const auto& v : volumes) EXPECT_EQ(volumeLevelOfDb(v.first), v.second) << v.first << " dB";
}

TEST(EnginePlan, TheLoopBufferHoldsItsSnippetFourTimes) {
  const int frames = 4410, channels = 2, q = (frames + 3) / 4;
  std::vector<int16_t> data(size_t(frames) * channels, -1);
  for (int i = 0; i < q * channels; ++i) data[size_t(i)] = int16_t(i * 7 + 3);
  ASSERT_EQ(repeatSnippet(data.data(), frames, channels), q);
  for (int i = 0; i < frames * channels; ++i)
    ASSERT_EQ(data[size_t(i)], int16_t((i % (q * channels)) * 7 + 3)) << i;
}

TEST(EnginePlan, LevelsPerChannel) {
  // A full-scale square wave on the left, digital silence on the right.
  std::vector<int32_t> block(2 * 441);
  for (int i = 0; i < 441; ++i) block[size_t(2 * i)] = (i / 20) % 2 ? 0x7FFF0 : -0x7FFF0;
  ChannelLevels levels;
  measureLevels(block.data(), 441, 2, &levels);
  EXPECT_EQ(levels.count, 2);
  EXPECT_GT(levels.level[0], -3);
  EXPECT_EQ(levels.level[1], -127);
}

TEST(EnginePlan, TheRingPassesSlotsInOrderAndDecidesPriorities) {
  SlotRing ring;
  EXPECT_TRUE(ring.Drained());  // nothing written: the end comes at once
  for (int i = 0; i < kSlotCount; ++i) {
    ASSERT_TRUE(ring.NextFree());
    EXPECT_EQ(ring.Take(), i);
  }
  EXPECT_FALSE(ring.NextFree());
  EXPECT_FALSE(ring.Drained());
  SlotRing::FullAction first = ring.RingFull();
  EXPECT_TRUE(first.raiseCompletion);
  EXPECT_FALSE(first.lowerFill);

  // Completions free the oldest slot first; the 34th in a row without a full ring
  // raises the fill thread, once.
  int raised = 0, raisedAt = -1;
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(ring.NextToComplete(), i % kSlotCount);
    if (ring.Complete()) {
      ++raised;
      raisedAt = i;
    }
    if (i < 39) {
      EXPECT_EQ(ring.Take(), i);  // the fill thread keeps up
    }
  }
  EXPECT_EQ(raised, 1);
  EXPECT_EQ(raisedAt, 33);
  EXPECT_TRUE(ring.FillBoosted());
  // Full again: the fill thread is lowered, the completion thread stays raised.
  SlotRing::FullAction again = ring.RingFull();
  EXPECT_FALSE(again.raiseCompletion);
  EXPECT_TRUE(again.lowerFill);
  EXPECT_FALSE(ring.FillBoosted());

  // Draining: done once the slot written last is back.
  while (ring.NextToComplete() != 39 % kSlotCount || !ring.IsFree(38)) ring.Complete();
  EXPECT_TRUE(ring.Drained());
}
