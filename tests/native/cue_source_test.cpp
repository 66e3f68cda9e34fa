#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "audio/cue_source.h"
#include "test_sources.h"

namespace {

constexpr int32_t kRampMs = 8000;

// The snippet arithmetic of a cue source: where each block's continuing snippet (A)
// and faded-in snippet (B) start, in source frames; steps count samples. Exact for
// mono; with more channels each jump may land one frame nearer to zero.
struct CueModel {
  int channels, blockFrames, block;
  int64_t a, start;
  int32_t step, endStep;
  int64_t rampLeft;
  CueModel(int32_t rate, int c, int32_t startFrame, double from, double to) : channels(c) {
    blockFrames = std::min(std::max(rate / 90, 20), 2730);
    block = blockFrames * c;
    step = int32_t(block * from);
    endStep = int32_t(block * to);
    rampLeft = int64_t(rate) * 8 * c;  // 8000 ms
    // Backwards, the first snippet starts a block before the position.
    a = start = step < 0 ? startFrame - blockFrames : startFrame;
  }
  void nextBlock() {
    a = start + blockFrames;
    start += step / channels;
    if (rampLeft > 0) {
      step += int32_t((int64_t(endStep) - step) * block / rampLeft);
      rampLeft -= block;
      if (rampLeft <= 0) step = endStep;
    }
  }
};

struct Speeds { double from, to; };
// The player's pairs: fast and slow, forwards and backwards.
constexpr Speeds kPlayerSpeeds[] = {{1.5, 7.0}, {0.1, 3.0}, {-0.5, -7.0}, {-0.1, -3.0}};

}  // namespace

TEST(CueSource, WindowHoldsThenFallsAlongARaisedCosine) {
  CueSource cue(new RampSource(44100, 1), kRampMs, 1.5, 7.0);
  const std::vector<int32_t>& w = cue.window();
  ASSERT_EQ(cue.blockSamples(), 490);
  ASSERT_EQ(w.size(), 490u);
  for (int i = 0; i <= 245; ++i) EXPECT_EQ(w[i], 0x1000000) << i;
  for (int i = 246; i < 490; ++i) EXPECT_LT(w[i], w[i - 1]) << i;
  EXPECT_GT(w[489], 0);
  for (int i = 1; i < 245; ++i) EXPECT_NEAR(w[245 + i] + w[490 - i], 0x1000000, 1) << i;

  EXPECT_EQ(CueSource(new RampSource(44100, 2), kRampMs, 1.5, 7.0).blockSamples(), 980);
  EXPECT_EQ(CueSource(new RampSource(400, 1), kRampMs, 1.5, 7.0).blockSamples(), 20);
  EXPECT_EQ(CueSource(new RampSource(400000, 1), kRampMs, 1.5, 7.0).blockSamples(), 2730);
}

// Over a ramp every sample names its frame, so the first half of each block (where
// snippet A plays alone) shows exactly where the source jumped.
TEST(CueSource, RunsLandWhereTheStepsSay) {
  const int32_t rate = 44100, from = 5000000;
  for (Speeds speeds : {kPlayerSpeeds[0], kPlayerSpeeds[2]}) {
    SCOPED_TRACE(speeds.from);
    CueSource cue(new RampSource(rate, 1, from), kRampMs, speeds.from, speeds.to);
    CueModel model(rate, 1, from, speeds.from, speeds.to);
    EXPECT_EQ(cue.position(), model.start);
    const int b = model.block;
    for (int n = 0; n < 820; ++n) {
      std::vector<int32_t> out = ReadFrames(cue, b);
      for (int j = 0; j < b / 2; ++j) ASSERT_EQ(out[j], RampSource::valueAt(int32_t(model.a + j), 0)) << n;
      for (int j = b / 2; j < b; ++j) {
        // Crossfading: between what A and B play there (each weighted part may
        // round down by up to 3).
        int32_t va = RampSource::valueAt(int32_t(model.a + j), 0);
        int32_t vb = RampSource::valueAt(int32_t(model.start + j), 0);
        ASSERT_GE(out[j], std::min(va, vb) - 6) << n << " " << j;
        ASSERT_LE(out[j], std::max(va, vb) + 2) << n << " " << j;
      }
      model.nextBlock();
      ASSERT_EQ(cue.position(), model.start) << n;
      ASSERT_EQ(cue.length(), model.step < 0 ? 2 * cue.position() : INT32_MAX);
    }
    EXPECT_EQ(cue.currentStep(), int32_t(b * speeds.to));
  }
}

TEST(CueSource, ARewindReportsTwiceItsPositionAndRunsOutAtTheStart) {
  CueSource cue(new RampSource(8000, 1, 20000, 40000), kRampMs, -0.1, -3.0);
  EXPECT_EQ(cue.length(), 2 * cue.position());
  int reads = 0;
  while (cue.length() - cue.position() > 0 && reads < 100000) {
    ReadFrames(cue, 800);
    EXPECT_EQ(cue.length(), 2 * cue.position());
    ++reads;
  }
  EXPECT_LE(cue.position(), 0);
  EXPECT_LT(reads, 100000);
}

// Every speed pair of the player, at rates and channel counts that cover the
// smallest and largest blocks: read as the engine reads, through the whole speed
// ramp and beyond. Snippet A must always play contiguous frames, aligned to the
// channels, and jump by the step from block to block (to within the one frame
// that channel alignment can take).
TEST(CueSource, EverySpeedOfThePlayerReadsInsideItsWindow) {
  struct Format { int32_t rate; int channels; };
  const Format formats[] = {{8000, 1}, {44100, 2}, {192000, 2}, {400, 1}, {22050, 6}};
  for (const Format& f : formats) {
    for (Speeds speed : kPlayerSpeeds) {
      SCOPED_TRACE(testing::Message() << f.rate << " Hz, " << f.channels << " channels, " << speed.from);
      const int32_t from = 30000000;
      CueSource cue(new RampSource(f.rate, f.channels, from), kRampMs, speed.from, speed.to);
      CueModel model(f.rate, f.channels, from, speed.from, speed.to);
      const int c = f.channels, b = model.block;
      ASSERT_EQ(cue.blockSamples(), b);
      const int blocks = (f.rate * 9) / model.blockFrames;
      std::vector<int32_t> out;
      const int piece = std::min(std::max(f.rate / 10, 20), 8192);
      while (int64_t(out.size()) < int64_t(blocks) * b) {
        std::vector<int32_t> part = ReadFrames(cue, piece);
        out.insert(out.end(), part.begin(), part.end());
      }
      std::vector<int32_t> stepBefore;  // the step each boundary added
      int32_t lastA = 0;
      for (int n = 0; n < blocks; ++n) {
        const int32_t* block = out.data() + int64_t(n) * b;
        const int32_t frameA = block[0] / 8;
        for (int j = 0; j < b / 2; ++j)
          ASSERT_EQ(block[j], RampSource::valueAt(frameA + j / c, j % c)) << n << " " << j;
        if (c == 1) {
          ASSERT_EQ(frameA, model.a) << n;
        }
        if (n >= 2) {
          ASSERT_LE(std::abs(int64_t(frameA) - lastA - stepBefore[n - 2] / c), 1) << n;
        }
        lastA = frameA;
        stepBefore.push_back(model.step);
        model.nextBlock();
      }
    }
  }
}

TEST(CueSource, SeekingFillsTheWindowAgainAtTheNewPlace) {
  CueSource cue(new RampSource(8000, 1, 1000), kRampMs, 0.1, 3.0);
  ReadFrames(cue, 1234);
  cue.seek(50000);
  EXPECT_EQ(cue.position(), 50000);
  std::vector<int32_t> out = ReadFrames(cue, 40);
  for (int j = 0; j < 40; ++j) EXPECT_EQ(out[j], RampSource::valueAt(50000 + j, 0));
}
