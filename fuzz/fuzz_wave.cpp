// Opens arbitrary bytes as a WAV file and plays with what comes out: reads of
// odd sizes, seeks before the start and past the end, and the player's two
// filters around it. The work per input is bounded whatever the header claims.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "audio/cue_source.h"
#include "audio/peak_limiter.h"
#include "audio/wave_source.h"
#include "fuzz/fuzz_input.h"

namespace {

constexpr int kSampleBudget = 1 << 16;  // samples per read

void expect(bool condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "%s\n", what);
    abort();
  }
}

// Reads and checks that the position moved by exactly the frames asked for
// (the cue source's position is where it jumped to, so it is not checked).
std::vector<int32_t> readChecked(AudioSource& source, int frames, bool positionFollows = true) {
  std::vector<int32_t> out(size_t(frames) * size_t(source.channels()));
  const int64_t before = source.position();
  source.read(out.data(), frames);
  if (positionFollows)
    expect(source.position() == std::min<int64_t>(before + frames, INT32_MAX), "position did not follow the read");
  return out;
}

void exercise(AudioSource& source, const uint8_t* data, size_t size) {
  const int channels = source.channels();
  const int32_t length = source.length();
  expect(length >= 0 && int64_t(length) * channels <= int64_t(size), "more frames than bytes");
  const int most = std::max(1, kSampleBudget / channels);
  const uint8_t last = size ? data[size - 1] : 0;

  for (int32_t s : readChecked(source, std::min(most, 1 + last * 37)))
    expect(s >= -0x80000 && s <= 0x7FFF0, "sample out of the 16-bit range");
  source.seek(-int32_t(last) - 1);
  for (int32_t s : readChecked(source, std::min<int>(most, last + 1))) expect(s == 0, "audio before frame 0");
  source.seek(length + last);
  for (int32_t s : readChecked(source, 3)) expect(s == 0, "audio after the end");
  source.seek(length / 2);
  readChecked(source, std::min(most, length / 2 + 2));

  // A low limit makes the limiter work on whatever the file holds.
  const int32_t limit = 0x100 + last * 0x400;
  {
    SourceRef limited = SourceRef::adopt(limitSource(&source, limit));
    limited->seek(0);
    for (int32_t s : readChecked(*limited, std::min(most, 3000)))
      expect(s >= -limit - 2 && s <= limit + 2, "limiter let a sample through");
  }
  // The cue source holds eight blocks of every channel; keep that small.
  if (channels <= 8) {
    static constexpr double kSpeeds[][2] = {{1.5, 7.0}, {0.1, 3.0}, {-0.5, -7.0}, {-0.1, -3.0}};
    const double* speed = kSpeeds[last % 4];
    source.seek(length / 3);
    CueSource* cue = new CueSource(&source, 100 + last * 10, speed[0], speed[1]);
    SourceRef held(cue);
    for (int i = 0; i < 4; ++i)
      for (int32_t s : readChecked(*cue, std::min(most, cue->blockSamples() / channels * 3 + 1), false))
        expect(s >= -0x80000 - 8 && s <= 0x80000, "cue crossfade out of range");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  std::string path = FuzzPath(".wav");
  if (!WriteFuzzFile(path, data, size)) return 0;
  {
    SourceRef source = SourceRef::adopt(openWaveSource(path.c_str()));
    if (source->status() == SourceStatus::Ok) exercise(*source, data, size);
  }
  remove(path.c_str());
  return 0;
}
