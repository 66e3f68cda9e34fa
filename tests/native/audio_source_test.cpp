#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "audio/audio_source.h"
#include "audio/cue_source.h"
#include "audio/open_source.h"
#include "audio/peak_limiter.h"
#include "audio/wave_source.h"
#include "test_files.h"
#include "test_sources.h"

namespace {

// The smallest filter: passes samples through.
class PassFilter : public SourceFilter {
 public:
  explicit PassFilter(AudioSource* inner) : SourceFilter(inner) {}
  void read(int32_t* buffer, int frames) override { inner().read(buffer, frames); }
};

// A one-second 16-bit mono WAV at 8 kHz.
Bytes SmallWav() { return PcmWave(1, 8000, 16, Bytes(16000, 0x11)); }

}  // namespace

TEST(AudioSourceBase, ImpossibleRateOrChannelsMarkBadFormat) {
  BlockSource noRate(0, 2, {}, kWorkFullScale);
  EXPECT_EQ(noRate.sampleRate(), 44100);
  EXPECT_EQ(noRate.channels(), 2);
  EXPECT_EQ(noRate.status(), SourceStatus::BadFormat);
  BlockSource noChannels(8000, 0, {}, kWorkFullScale);
  EXPECT_EQ(noChannels.sampleRate(), 8000);
  EXPECT_EQ(noChannels.channels(), 1);
  EXPECT_EQ(noChannels.status(), SourceStatus::BadFormat);
  BlockSource fine(8000, 2, {}, kWorkFullScale);
  EXPECT_EQ(fine.status(), SourceStatus::Ok);
  EXPECT_EQ(fine.refCount(), 0);

  EXPECT_STREQ(sourceStatusName(SourceStatus::Ok), "Ok");
  EXPECT_STREQ(sourceStatusName(SourceStatus::CodecMissing), "CodecMissing");
  EXPECT_STREQ(sourceStatusName(SourceStatus::InnerFailed), "InnerFailed");
}

TEST(SilentSource, ZerosWithoutPositionWhateverHappens) {
  SourceRef silent = SourceRef::adopt(newSilentSource(SourceStatus::OpenFailed));
  EXPECT_EQ(silent->status(), SourceStatus::OpenFailed);
  EXPECT_EQ(silent->sampleRate(), 11025);
  EXPECT_EQ(silent->channels(), 1);
  EXPECT_EQ(silent->peakLimit(), 0x200000);
  std::vector<int32_t> out = ReadFrames(*silent, 1000);
  EXPECT_EQ(out, std::vector<int32_t>(1000, 0));
  silent->seek(500);
  EXPECT_EQ(silent->position(), 0);
  EXPECT_EQ(silent->length(), 0);
}

TEST(SourceFilter, TakesTheWrappedFormatAndFailsWithIt) {
  BlockSource* failed = new BlockSource(22050, 2, {}, 0x123456);
  failed->setFailed(SourceStatus::OpenFailed);
  SourceRef held(failed);
  PassFilter filter(failed);
  EXPECT_EQ(filter.status(), SourceStatus::InnerFailed);
  EXPECT_EQ(filter.sampleRate(), 22050);
  EXPECT_EQ(filter.channels(), 2);
  EXPECT_EQ(filter.peakLimit(), 0x123456);
  EXPECT_EQ(failed->refCount(), 2);

  PassFilter aroundNothing(nullptr);
  EXPECT_EQ(aroundNothing.status(), SourceStatus::InnerFailed);
  EXPECT_EQ(aroundNothing.length(), 0);
}

TEST(SourceRef, NeverEmpty) {
  SourceRef fresh;
  EXPECT_EQ(fresh->status(), SourceStatus::Placeholder);
  SourceRef fromNothing = SourceRef::adopt(nullptr);
  EXPECT_EQ(fromNothing->status(), SourceStatus::Placeholder);

  int destroyed = 0;
  SourceRef a(new BlockSource(8000, 1, {1, 2, 3}, kWorkFullScale, &destroyed));
  SourceRef b = a;
  EXPECT_EQ(a.get(), b.get());
  EXPECT_EQ(a->refCount(), 2);
  a.reset();
  EXPECT_EQ(a->status(), SourceStatus::Placeholder);
  EXPECT_EQ(destroyed, 0);
  b = b;  // self-assignment keeps the source
  EXPECT_EQ(b->length(), 3);
  b = a;
  EXPECT_EQ(destroyed, 1);
}

// Opening, wrapping and releasing in every order destroys each source exactly
// once, when its last holder lets go (AddressSanitizer reports a double free, a
// use after free or a leak).
TEST(SourceRef, ReleasingInEveryOrderDestroysOnce) {
  TempFile wav(SmallWav(), ".wav");
  std::vector<int> order = {0, 1, 2, 3};
  do {
    int destroyed = 0;
    AudioSource* opened = openWaveSource(wav.c_str());
    ASSERT_EQ(opened->status(), SourceStatus::Ok);
    AudioSource* raw = new BlockSource(48000, 1, std::vector<int32_t>(100, 0x300000), 0x400000, &destroyed);
    raw->addRef();
    AudioSource* limited = limitSource(raw, kWorkFullScale);
    AudioSource* cue = new CueSource(opened, 8000, -0.5, -7.0);
    cue->addRef();
    SourceRef* holder = new SourceRef(limited);
    std::vector<std::function<void()>> releases = {
        [&] { opened->release(); }, [&] { raw->release(); },
        [&] { limited->release(); cue->release(); }, [&] { delete holder; }};
    // The block source goes with the last of its three holders (itself, the
    // limiter, the SourceRef), not before.
    int holdersLeft = 3;
    for (int i : order) {
      releases[size_t(i)]();
      if (i != 0) --holdersLeft;
      EXPECT_EQ(destroyed, holdersLeft == 0 ? 1 : 0);
    }
  } while (std::next_permutation(order.begin(), order.end()));
}

TEST(OpenAudioSource, ExtensionPicksTheDecoderInAnyLetterCase) {
  TempFile wav(SmallWav(), ".wav");
  SourceRef opened = SourceRef::adopt(openAudioSource(wav.c_str()));
  EXPECT_EQ(opened->status(), SourceStatus::Ok);
  EXPECT_EQ(opened->length(), 8000);

  // Files named in capitals (SONG.WAV, as many Windows tools write them) play too.
  TempFile upper(SmallWav(), ".WAV");
  SourceRef openedUpper = SourceRef::adopt(openAudioSource(upper.c_str()));
  EXPECT_EQ(openedUpper->status(), SourceStatus::Ok);
  for (const char* path : {"song.ogg", "song", ".wav", "dir.wav/song", "song.wav.txt"})
    EXPECT_EQ(openAudioSource(path), nullptr) << path;

  SourceRef missingWav = SourceRef::adopt(openAudioSource(TempPath(".wav").c_str()));
  EXPECT_EQ(missingWav->status(), SourceStatus::OpenFailed);
  AudioSource* missingMp3 = openAudioSource(TempPath(".mp3").c_str());
  ASSERT_NE(missingMp3, nullptr);
  EXPECT_NE(missingMp3->status(), SourceStatus::Ok);
  missingMp3->release();
}
