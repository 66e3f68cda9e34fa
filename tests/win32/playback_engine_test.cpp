// The playback engine against a real waveOut device under Wine: what the device
// receives is captured by the ALSA file sink that scripts/test-wine sets up
// (LIRVA_CAPTURE_FILE names the file), and compared sample for sample.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audio/mp3/mp3_source.h"
#include "audio/peak_limiter.h"
#include "audio/samples.h"
#include "audio/wave_source.h"
#include "playback/win32/playback_engine.h"
#include "tests/native/test_files.h"
#include "test_pump.h"

namespace {

class Recorder : public PlaybackListener {
 public:
  void onStarted(int32_t user) override { log.push_back("started " + std::to_string(user)); }
  void onStopped(int32_t) override { log.push_back("stopped"), stopped = true; }
  void onLooping(int32_t) override { log.push_back("looping"); }
  void onPosition(int32_t ms, int32_t) override { positions.push_back(ms), log.push_back("position"); }
  void onLevels(const ChannelLevels& levels, int32_t) override { ++levelReports, lastLevels = levels; }
  std::vector<std::string> log;
  std::vector<int32_t> positions;
  int levelReports = 0;
  ChannelLevels lastLevels;
  bool stopped = false;
};

// A 16-bit stereo WAV file at 44.1 kHz of distinct samples, and its data bytes.
Bytes WaveFile(int frames, Bytes* data) {
  std::vector<int16_t> samples;
  for (int i = 0; i < frames; ++i) samples.push_back(int16_t(i * 3)), samples.push_back(int16_t(-i * 5));
  *data = Pcm16(samples);
  return PcmWave(2, 44100, 16, *data);
}

// The device plays on silence for a moment after the last buffer (the sound
// server fills its period): the capture is what was played, then zeros only.
::testing::AssertionResult PlayedThenSilence(const Bytes& played, const void* expected, size_t size) {
  if (played.size() < size)
    return ::testing::AssertionFailure() << "captured " << played.size() << " bytes of " << size;
  if (std::memcmp(played.data(), expected, size) != 0)
    return ::testing::AssertionFailure() << "the captured audio differs from what was played";
  for (size_t i = size; i < played.size(); ++i)
    if (played[i] != 0) return ::testing::AssertionFailure() << "sound after the end at byte " << i;
  return ::testing::AssertionSuccess();
}

// A WAV file of distinct samples playing on the capture sink, a listener recording.
class PlayingWave : public testing::Test {
 protected:
  void SetUp() override {
    capture = std::getenv("LIRVA_CAPTURE_FILE");
    if (!capture || !*capture) GTEST_SKIP() << "needs the capture sink of scripts/test-wine";
  }
  void TearDown() override { engine.setListener(nullptr, 0); }
  // Opens the engine on a file of `frames` frames.
  void Play(int frames) {
    wav = std::make_unique<TempFile>(WaveFile(frames, &data), ".wav");
    source = SourceRef::adopt(openWaveSource(wav->c_str()));
    engine.setListener(&recorder, 0);
    ASSERT_TRUE(engine.open(source.get()));
  }

  const char* capture = nullptr;
  Bytes data;
  std::unique_ptr<TempFile> wav;
  SourceRef source;
  Recorder recorder;
  PlaybackEngine engine;  // closed first
};

}  // namespace

TEST(PlaybackEngine, PlaysAFileToItsEndSampleForSampleAndReportsOnTheUiThread) {
  const char* capture = std::getenv("LIRVA_CAPTURE_FILE");
  if (!capture || !*capture) GTEST_SKIP() << "needs the capture sink of scripts/test-wine";
  Bytes data;
  TempFile wav(WaveFile(57000, &data), ".wav");  // 1.29 s: 13 buffers, the last one short
  SourceRef source = SourceRef::adopt(openWaveSource(wav.c_str()));
  ASSERT_EQ(source->status(), SourceStatus::Ok);

  Recorder recorder;
  PlaybackEngine engine;
  engine.setListener(&recorder, 42);
  ASSERT_TRUE(engine.open(source.get()));
  EXPECT_TRUE(engine.isOpen());
  PumpUntil([&] { return recorder.stopped; }, 20000);
  ASSERT_TRUE(recorder.stopped);
  EXPECT_FALSE(engine.isOpen());
  engine.setListener(nullptr, 0);

  ASSERT_GE(recorder.log.size(), 4u);
  EXPECT_EQ(recorder.log.front(), "started 42");
  EXPECT_EQ(recorder.log.back(), "stopped");
  EXPECT_EQ(recorder.positions.front(), 0);
  EXPECT_EQ(recorder.positions.back(), 57000 * 1000 / 44100);  // the full length at the end
  for (size_t i = 1; i < recorder.positions.size(); ++i) EXPECT_LE(recorder.positions[i - 1], recorder.positions[i]);
  EXPECT_GT(recorder.levelReports, 0);
  EXPECT_EQ(recorder.lastLevels.count, 2);

  // What the device played is the file's data, sample for sample.
  EXPECT_TRUE(PlayedThenSilence(ReadFileBytes(capture), data.data(), data.size()));
}

TEST(PlaybackEngine, AClosedEngineDoesNothingAndAPlaceholderDoesNotOpen) {
  Recorder recorder;
  PlaybackEngine engine;
  engine.setListener(&recorder, 1);
  engine.close();
  engine.play();
  engine.loop();
  engine.seek(1000);
  engine.seekMs(1000);
  SourceRef placeholder;
  EXPECT_FALSE(engine.open(placeholder.get()));
  EXPECT_FALSE(engine.isOpen());
  EXPECT_TRUE(recorder.log.empty());
  engine.setListener(nullptr, 0);
}

TEST(PlaybackEngine, PlaysAnMp3AsTheDecoderAndLimiterGiveIt) {
  const char* capture = std::getenv("LIRVA_CAPTURE_FILE");
  if (!capture || !*capture) GTEST_SKIP() << "needs the capture sink of scripts/test-wine";
  const std::string stream = std::string(LIRVA_SOURCE_DIR) + "/../shared/vectors/l3-sin1k0db.bit";
  if (!FileExists(stream)) GTEST_SKIP() << "no conformance streams";
  // What the engine should play: the decoder through the peak limiter, in 16 bits.
  SourceRef reference = SourceRef::adopt(limitSource(SourceRef::adopt(openMp3Source(stream.c_str())).get(),
                                                     kWorkFullScale));
  ASSERT_EQ(reference->status(), SourceStatus::Ok);
  std::vector<int32_t> work;
  std::vector<int32_t> block(4096 * size_t(reference->channels()));
  while (reference->position() < reference->length()) {
    const int32_t before = reference->position();
    reference->read(block.data(), 4096);
    const int32_t valid = std::min<int32_t>(4096, reference->length() - before);
    work.insert(work.end(), block.begin(), block.begin() + valid * reference->channels());
  }
  std::vector<int16_t> expected(work.size());
  workToPcm16(work.data(), expected.data(), int(work.size()));

  Recorder recorder;
  PlaybackEngine engine;
  engine.setListener(&recorder, 0);
  SourceRef source = SourceRef::adopt(openMp3Source(stream.c_str()));
  ASSERT_TRUE(engine.open(source.get()));
  PumpUntil([&] { return recorder.stopped; }, 60000);
  ASSERT_TRUE(recorder.stopped);
  engine.setListener(nullptr, 0);
  EXPECT_TRUE(PlayedThenSilence(ReadFileBytes(capture), expected.data(), expected.size() * 2));
}

TEST_F(PlayingWave, LoopingRepeatsTheSnippetAtThePositionAndPlayResumes) {
  ASSERT_NO_FATAL_FAILURE(Play(44100 * 8));
  // Let a few buffers play, then loop where the device has got to.
  PumpUntil([&] { return engine.positionFrames() >= 4410 * 3; }, 5000);
  engine.loop();
  ASSERT_TRUE(engine.isLooping());
  EXPECT_EQ(recorder.log.end()[-2], "looping");
  const int32_t at = engine.positionFrames();
  Sleep(30);  // the device repeats the snippet meanwhile
  engine.play();
  EXPECT_FALSE(engine.isLooping());
  EXPECT_EQ(recorder.log.back(), "started 0");
  engine.close();
  engine.setListener(nullptr, 0);

  // The snippet is a quarter buffer (1,103 frames) from where looping began; the
  // device played it back to back.
  const size_t q = (4410 + 3) / 4;
  const Bytes snippet(data.begin() + long(at) * 4, data.begin() + long(at + q) * 4);
  const Bytes twice = Concat({snippet, snippet});
  const Bytes played = ReadFileBytes(capture);
  EXPECT_NE(std::search(played.begin(), played.end(), twice.begin(), twice.end()), played.end());
}

// A device that refuses a buffer (here: closed under the engine, so every later
// write is refused by the platform) ends the stream as its end would: the place
// where playing stopped is reported, the engine closes, and it opens and plays again.
TEST_F(PlayingWave, ARefusedBufferEndsTheStreamAndTheEngineCanPlayAgain) {
  ASSERT_NO_FATAL_FAILURE(Play(44100 * 20));
  PumpUntil([&] { return recorder.positions.size() >= 3; }, 5000);
  ASSERT_GE(recorder.positions.size(), 3u) << "playing got going";
  HWAVEOUT device = engine.device();
  MMRESULT closed = WAVERR_STILLPLAYING;
  for (int i = 0; i < 100 && closed == WAVERR_STILLPLAYING; ++i) {
    waveOutReset(device);  // the fill thread may queue one more before the close
    closed = waveOutClose(device);
  }
  ASSERT_EQ(closed, MMSYSERR_NOERROR);
  PumpUntil([&] { return recorder.stopped; }, 10000);
  ASSERT_TRUE(recorder.stopped) << "the stream ended";
  EXPECT_FALSE(engine.isOpen());
  EXPECT_EQ(recorder.log.back(), "stopped");
  EXPECT_LT(recorder.positions.back(), 20000) << "where playing stopped, not the end of the file";
  EXPECT_GE(recorder.positions.back(), recorder.positions[recorder.positions.size() - 2]);

  // And again, to its end.
  Bytes shortData;
  TempFile second(WaveFile(9000, &shortData), ".wav");
  SourceRef again = SourceRef::adopt(openWaveSource(second.c_str()));
  recorder.stopped = false;
  ASSERT_TRUE(engine.open(again.get()));
  PumpUntil([&] { return recorder.stopped; }, 10000);
  ASSERT_TRUE(recorder.stopped);
  EXPECT_EQ(recorder.positions.back(), 9000 * 1000 / 44100);
  engine.setListener(nullptr, 0);
  EXPECT_TRUE(PlayedThenSilence(ReadFileBytes(capture), shortData.data(), shortData.size()));
}
