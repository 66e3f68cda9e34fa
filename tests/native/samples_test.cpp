#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "audio/frame_time.h"
#include "audio/samples.h"

TEST(SampleConversion, FilePcmBecomesWorkSamplesAndBack) {
  const uint8_t bytes[] = {0, 1, 127, 128, 129, 255};
  int32_t work8[6];
  pcm8ToWork(bytes, work8, 6);
  EXPECT_EQ(std::vector<int32_t>(work8, work8 + 6),
            (std::vector<int32_t>{-524288, -520192, -4096, 0, 4096, 520192}));

  // Every 16-bit value survives the way in and out unchanged.
  std::vector<int16_t> all(65536), back(65536);
  std::vector<int32_t> work(65536);
  for (int i = 0; i < 65536; ++i) all[i] = int16_t(i - 32768);
  pcm16ToWork(all.data(), work.data(), 65536);
  EXPECT_EQ(work.front(), -32768 * 16);
  EXPECT_EQ(work.back(), 0x7FFF0);
  workToPcm16(work.data(), back.data(), 65536);
  EXPECT_EQ(back, all);

  // In between, work samples round to the nearest 16-bit step, halves upwards.
  const int32_t in[] = {7, 8, -8, -9, 0x7FFF7, -0x80000};
  const int16_t want[] = {0, 1, 0, -1, 32767, -32768};
  int16_t out[6];
  workToPcm16(in, out, 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(out[i], want[i]) << in[i];
}

TEST(BlockMeasures, PeakIsTheLargestMagnitudeOverAllChannels) {
  const int32_t stereo[] = {3, -5, 4, 2};
  EXPECT_EQ(peakOf(2, stereo, 2), 5);
  EXPECT_EQ(peakOf(2, stereo, 1), 5);
  EXPECT_EQ(peakOf(1, stereo, 1), 3);
  const int32_t negativeOnly[] = {-1, -2};
  EXPECT_EQ(peakOf(1, negativeOnly, 2), 2);
  EXPECT_EQ(peakOf(1, negativeOnly, 0), 0);
  const int32_t extreme[] = {INT32_MIN};
  EXPECT_EQ(peakOf(1, extreme, 1), INT32_MAX);  // held, not wrapped
  // Longer blocks, the largest magnitude in every place (within and after the
  // four-sample steps), of either sign.
  for (int count = 5; count <= 11; ++count)
    for (int at = 0; at < count; ++at)
      for (int32_t peak : {70000, -70001, INT32_MIN}) {
        std::vector<int32_t> block(count);
        for (int i = 0; i < count; ++i) block[i] = (i % 3 - 1) * 1000 * (i + 1);
        block[at] = peak;
        EXPECT_EQ(peakOf(1, block.data(), count), peak == INT32_MIN ? INT32_MAX : std::abs(peak)) << count << " " << at;
      }
}

TEST(BlockMeasures, MeanSquareOfOneChannel) {
  // Constant blocks come out as (sample >> 5)² to within the 1/8192 the split
  // sum can lose, with no overflow at full scale over a tenth of a second.
  for (int32_t v : {16000, -16000, 0x7FFF0, -0x80000, 32}) {
    std::vector<int32_t> block(2 * 4410);
    for (size_t i = 0; i < block.size(); i += 2) block[i + 1] = v;  // channel 1 only
    double g = double(v >> 5);
    uint32_t ms = meanSquareOf(block.data(), 1, 4410, 2);
    EXPECT_NEAR(double(ms), g * g, g * g / 8192 + 1) << v;
    EXPECT_EQ(meanSquareOf(block.data(), 0, 4410, 2), 0u);
  }
  std::vector<int32_t> block(100, 16000);
  EXPECT_EQ(meanSquareOf(block.data(), 0, 0, 1), 0u);
  EXPECT_EQ(meanSquareOf(block.data(), 0, -3, 1), 0u);
}

TEST(BlockMeasures, LevelInWholeDecibels) {
  struct Case { uint32_t meanSquare; int level; };
  const Case cases[] = {
      {0, -127},         {8388626, 0},        {8388625, 0},   {16777252, 3},  // +3.01 dB
      {4194313, -3},     {83886260, 10},      {1, -69},       {UINT32_MAX, 27},
      {30457, -24},      {29086, -25},        {2310419451u, 24}, {2419306165u, 25},  // ±24.4, ±24.6
  };
  for (const Case& c : cases) EXPECT_EQ(levelDb(c.meanSquare), c.level) << c.meanSquare;
}

TEST(Q24Gain, WithinTwoBelowTheExactProduct) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int32_t> samples(-(1 << 27), 1 << 27);
  std::uniform_int_distribution<int32_t> gains(-(1 << 25), 1 << 25);
  for (int i = 0; i < 200000; ++i) {
    int32_t x = samples(rng), g = gains(rng);
    int64_t exact = (int64_t(x) * g) >> 24;  // floor
    int64_t got = mulQ24(x, g);
    ASSERT_GE(exact - got, 0) << x << " " << g;
    ASSERT_LE(exact - got, 2) << x << " " << g;
  }
  std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
  for (int i = 0; i < 10000; ++i) {
    int32_t x = any(rng);
    ASSERT_EQ(mulQ24(x, 0x1000000), x);
    ASSERT_EQ(mulQ24(x, 0), 0);
  }
}

TEST(FrameTime, ConversionsTruncateAndNeverOverflow) {
  EXPECT_EQ(framesToMs(44100, 44100), 1000);
  EXPECT_EQ(framesToMs(44099, 44100), 999);
  EXPECT_EQ(framesToMs(-44100, 44100), -1000);
  EXPECT_EQ(framesToMs(INT32_MAX, 196000), 10956549);
  EXPECT_EQ(framesToMs(INT32_MAX, 1), INT32_MAX);  // held
  EXPECT_EQ(framesToMs(1234, 0, 77), 77);           // no rate: the old value stands
  EXPECT_EQ(framesToMs(1234, -5, 77), 77);

  EXPECT_EQ(msToFrames(1500, 44100), 66150);
  EXPECT_EQ(msToFrames(999, 44100), 44055);
  EXPECT_EQ(msToFrames(8000, 44100), 352800);
  EXPECT_EQ(msToFrames(-1500, 8000), -12000);
  EXPECT_EQ(msToFrames(INT32_MAX, 196000), INT32_MAX);

  // A position shown in milliseconds and sought again never lands past itself.
  for (int32_t rate : {8000, 11025, 44100, 48000, 192000})
    for (int32_t f = 0; f < 200000; f += 997) {
      int32_t back = msToFrames(framesToMs(f, rate), rate);
      ASSERT_LE(back, f);
      ASSERT_GT(back + rate / 1000 + 1, f);
    }
}
