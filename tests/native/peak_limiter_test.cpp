#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "audio/peak_limiter.h"
#include "test_sources.h"

namespace {

constexpr int32_t kLimit = 0x7FFF0;

SourceRef Limited(AudioSource* inner, int32_t limit = kLimit) {
  SourceRef held(inner);
  return SourceRef::adopt(limitSource(inner, limit));
}

}  // namespace

TEST(PeakLimiter, BlocksAreA35thOfASecondWithinBounds) {
  struct Case { int32_t rate; int block; };
  for (Case c : {Case{8000, 228}, Case{44100, 1260}, Case{400, 20}, Case{192000, 5485}, Case{400000, 8192}}) {
    PeakLimiter limiter(new RampSource(c.rate, 1), kLimit);
    EXPECT_EQ(limiter.blockFrames(), c.block) << c.rate;
  }
}

TEST(PeakLimiter, LimitSourceWrapsOnlyWhatCanExceedTheLimit) {
  SourceRef quiet(new BlockSource(44100, 2, {}, kLimit));
  AudioSource* same = limitSource(quiet.get(), kLimit);
  EXPECT_EQ(same, quiet.get());
  EXPECT_EQ(quiet->refCount(), 2);
  same->release();

  SourceRef loud(new BlockSource(44100, 2, {}, 0x200000));
  SourceRef limited = SourceRef::adopt(limitSource(loud.get(), kLimit));
  EXPECT_NE(limited.get(), loud.get());
  EXPECT_EQ(limited->peakLimit(), kLimit);
  EXPECT_EQ(limited->sampleRate(), 44100);
  EXPECT_EQ(limited->channels(), 2);
  EXPECT_EQ(limited->status(), SourceStatus::Ok);

  SourceRef huge(new BlockSource(44100, 1, {}, INT32_MAX));
  EXPECT_EQ(Limited(huge.get(), 0x500000)->peakLimit(), 0x3FFFFF);
}

TEST(PeakLimiter, QuietInputIsCopiedThreeBlocksBehind) {
  // Pure silence, and a ramp that stays below the limit: both come out as they
  // went in, frame for frame.
  for (bool silent : {true, false}) {
    std::vector<int32_t> in(2 * 20000);
    for (size_t i = 0; i < in.size(); ++i) in[i] = silent ? 0 : int32_t(i % 1000) * 500 - 250000;
    BlockSource* inner = new BlockSource(44100, 2, in, 0x200000);
    SourceRef limiter = Limited(inner);
    const int block = 1260;
    EXPECT_EQ(limiter->position(), 0);
    std::vector<int32_t> first = ReadFrames(*limiter, block * 5 / 2);
    EXPECT_EQ(limiter->position(), block * 5 / 2);
    EXPECT_EQ(inner->position(), 5 * block);  // three blocks ahead, whole blocks at a time
    std::vector<int32_t> rest = ReadFrames(*limiter, 20000 - block * 5 / 2);
    first.insert(first.end(), rest.begin(), rest.end());
    EXPECT_EQ(first, in);
    EXPECT_EQ(limiter->length(), 20000);

    limiter->seek(777);
    EXPECT_EQ(limiter->position(), 777);
    EXPECT_EQ(ReadFrames(*limiter, 3), std::vector<int32_t>(in.begin() + 2 * 777, in.begin() + 2 * 780));
  }
}

TEST(PeakLimiter, ABlockAtTheLimitPassesAtUnity) {
  std::vector<int32_t> in(8000);
  for (size_t i = 0; i < in.size(); ++i) in[i] = (i % 7 == 3) ? -kLimit : (i % 5 == 0 ? kLimit : int32_t(i) * 30);
  SourceRef limiter = Limited(new BlockSource(8000, 1, in, 0x200000));
  EXPECT_EQ(ReadFrames(*limiter, 8000), in);
}

TEST(PeakLimiter, OneLoudSampleRampsTheGainDownTheBlockBefore) {
  const int block = 228;  // at 8 kHz
  const int32_t level = 100000;
  const int loudFrame = 5 * block + 100;
  std::vector<int32_t> in(12 * block, level);
  in[loudFrame] = 2 * kLimit;
  SourceRef limiter = Limited(new BlockSource(8000, 1, in, 0x200000));
  std::vector<int32_t> out = ReadFrames(*limiter, 12 * block);

  // Untouched until the loud sample is three blocks ahead.
  for (int f = 0; f < 3 * block; ++f) ASSERT_EQ(out[f], level) << f;
  // Then the gain only falls, and reaches about a half exactly when the loud
  // block begins, so the loud sample lands at the limit.
  for (int f = 3 * block + 1; f < 5 * block; ++f) ASSERT_LE(out[f], out[f - 1]) << f;
  EXPECT_LT(out[4 * block - 1], level);
  EXPECT_GT(out[5 * block - 1], out[5 * block]);
  EXPECT_NEAR(out[5 * block], level / 2, level / 1000);
  EXPECT_LE(out[loudFrame], kLimit);
  EXPECT_GT(out[loudFrame], kLimit - 64);
  // And it recovers once the loud block has passed.
  for (int f = 8 * block; f < 12 * block - 3 * block; ++f) ASSERT_EQ(out[f], level) << f;
}

TEST(PeakLimiter, RandomLoudInputStaysWithinTheLimit) {
  std::mt19937 rng(35);
  for (int32_t limit : {kLimit, 1000, 0x3FFFFF}) {
    const int frames = 3 * 44100;
    std::vector<int32_t> in(size_t(frames) * 2);
    std::uniform_int_distribution<int> loudness(0, 6);
    for (size_t i = 0; i < in.size(); i += 2000) {
      // Stretches of differing loudness, up to eight times the limit.
      int32_t amplitude = std::max<int32_t>(1, (limit >> 1) << loudness(rng) >> 1);
      std::uniform_int_distribution<int32_t> sample(-amplitude, amplitude);
      for (size_t j = i; j < std::min(in.size(), i + 2000); ++j) in[j] = sample(rng);
    }
    SourceRef limiter = Limited(new BlockSource(44100, 2, in, 0x1000000), limit);
    std::uniform_int_distribution<int> pieces(1, 5000);
    int done = 0;
    while (done < frames) {
      int n = std::min(pieces(rng), frames - done);
      for (int32_t s : ReadFrames(*limiter, n)) ASSERT_LE(std::abs(s), limit + 2) << limit << " " << done;
      done += n;
    }
  }
}
