// Files made by lame in every MPEG version: the source's rate, channels and
// length agree with what mpg123 decodes from the same file (frames counted, not
// sample values: those are compared in mp3_conformance_test.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/mp3/mp3_source.h"
#include "test_files.h"

namespace {

bool Shell(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()) == 0; }

Bytes Tone(int rate, int channels, double seconds) {
  Bytes out;
  for (int i = 0; i < int(rate * seconds); ++i)
    for (int c = 0; c < channels; ++c) {
      int16_t s = int16_t(9000 * std::sin(i * (0.05 + 0.02 * c)) + 3000 * std::sin(i * 0.31));
      out.push_back(uint8_t(s)), out.push_back(uint8_t(s >> 8));
    }
  return out;
}

}  // namespace

TEST(Mp3Lame, LengthIsExactFromTheStartWithXingAndBecomesExactWhileReadingWithout) {
  if (!Shell("command -v lame >/dev/null") || !Shell("command -v mpg123 >/dev/null")) GTEST_SKIP() << "lame or mpg123 missing";
  struct Case { int rate; int channels; const char* options; bool xing; };
  const Case cases[] = {
      {44100, 2, "-m j -V 3", true},  {48000, 1, "-m m -b 96 -t", false}, {32000, 2, "-m s -b 80 -t", false},
      {22050, 2, "-m j -V 5", true},  {24000, 2, "-m s -b 48 -t", false}, {16000, 1, "-m m -V 6", true},
      {11025, 2, "-m j -b 24 -t", false}, {12000, 1, "-m m -V 7", true}, {8000, 2, "-m j -b 16 -t", false},
  };
  for (const Case& c : cases) {
    std::string raw = TempPath(".raw"), mp3 = TempPath(".mp3"), pcm = TempPath(".pcm");
    WriteFileBytes(raw, Tone(c.rate, c.channels, 4.0));
    std::string rate = std::to_string(c.rate / 1000.0);
    ASSERT_TRUE(Shell("lame --quiet -r -s " + rate + " --resample " + rate + " --bitwidth 16 --signed --little-endian " +
                      (c.channels == 1 ? "-m m " : "") + c.options + " " + raw + " " + mp3));
    ASSERT_TRUE(Shell("mpg123 --no-gapless -q -s " + mp3 + " > " + pcm));
    int32_t referenceFrames = int32_t(ReadFileBytes(pcm).size() / 2 / size_t(c.channels));

    SourceRef s = SourceRef::adopt(openMp3Source(mp3.c_str()));
    ASSERT_EQ(s->status(), SourceStatus::Ok) << c.options;
    EXPECT_EQ(s->sampleRate(), c.rate);
    EXPECT_EQ(s->channels(), c.channels);
    int frameSamples = c.rate >= 32000 ? 1152 : 576;
    if (c.xing) {
      EXPECT_EQ(s->length(), referenceFrames) << c.rate << " " << c.options;
    } else {
      EXPECT_NEAR(s->length(), referenceFrames, 2 * frameSamples) << c.rate << " " << c.options;
    }
    std::vector<int32_t> buf(size_t(1000) * size_t(c.channels));
    for (int guard = 0; guard < 100000 && s->position() < s->length(); ++guard) s->read(buf.data(), 1000);
    EXPECT_EQ(s->length(), referenceFrames) << c.rate << " " << c.options;
    std::remove(raw.c_str()), std::remove(mp3.c_str()), std::remove(pcm.c_str());
  }
}
