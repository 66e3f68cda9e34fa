// Decoded samples against references: the standard's Layer III conformance streams with
// their reference output, and files made by lame compared with mpg123's output.
// Both compare work samples turned into 16 bits with rounding and clipping, after
// aligning by whole frames at the start (a decoder may skip the first frames,
// whose main data reaches back before the stream).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/mp3/mp3_source.h"
#include "test_files.h"

namespace {

// The conformance streams beside the project (../shared/vectors), when they are there.
std::string VectorsDir() {
  const std::string dir = std::string(LIRVA_SOURCE_DIR) + "/../shared/vectors/";
  return FileExists(dir + "README.md") ? dir : "";
}

std::vector<int16_t> Pcm16(const Bytes& b) {
  std::vector<int16_t> out(b.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = int16_t(b[2 * i] | b[2 * i + 1] << 8);
  return out;
}

struct Decoded {
  SourceStatus status = SourceStatus::Ok;
  int channels = 0, frameSamples = 0;
  int32_t huffmanMismatches = 0;
  std::vector<int16_t> pcm;
};

Decoded DecodeAll(const std::string& path) {
  Decoded d;
  SourceRef s = SourceRef::adopt(openMp3Source(path.c_str()));
  d.status = s->status();
  if (d.status != SourceStatus::Ok) return d;
  d.channels = s->channels();
  d.frameSamples = s->sampleRate() >= 32000 ? 1152 : 576;
  std::vector<int32_t> buf(size_t(4096) * size_t(d.channels));
  for (int guard = 0; guard < 1000000 && s->position() < s->length(); ++guard) {
    int32_t before = s->position();
    s->read(buf.data(), 4096);
    int32_t valid = std::min<int32_t>(4096, s->length() - before);
    for (int32_t i = 0; i < valid * d.channels; ++i) {
      int32_t v = (buf[size_t(i)] + 8) >> 4;
      d.pcm.push_back(int16_t(v > 32767 ? 32767 : v < -32768 ? -32768 : v));
    }
  }
  d.huffmanMismatches = static_cast<Mp3Source*>(s.get())->huffmanMismatches();
  return d;
}

struct Comparison {
  int skippedFrames = -1;
  int maxDiff = 1 << 30;
  double psnr = 0;
  size_t compared = 0;
};

// Tries aligning our output with the reference shifted by −4 … 4 whole frames: the
// reference decoder leaves out the frames whose main data lies before the
// stream's first bytes, where this decoder puts silence (as mpg123 does).
Comparison Compare(const std::vector<int16_t>& ours, const std::vector<int16_t>& ref, int frameSamples, int channels) {
  Comparison best;
  for (int skip = -4; skip <= 4; ++skip) {
    const size_t shift = size_t(std::abs(skip)) * size_t(frameSamples) * size_t(channels);
    const size_t refShift = skip > 0 ? shift : 0, ourShift = skip < 0 ? shift : 0;
    if (refShift >= ref.size() || ourShift >= ours.size()) continue;
    size_t n = std::min(ours.size() - ourShift, ref.size() - refShift);
    if (n == 0) continue;
    int maxDiff = 0;
    double sq = 0;
    for (size_t i = 0; i < n; ++i) {
      int d = std::abs(int(ours[i + ourShift]) - int(ref[i + refShift]));
      maxDiff = std::max(maxDiff, d);
      sq += double(d) * d;
    }
    double psnr = sq == 0 ? 200.0 : 10 * std::log10(32767.0 * 32767.0 / (sq / double(n)));
    if (psnr > best.psnr) best = {skip, maxDiff, psnr, n};
  }
  return best;
}

}  // namespace

TEST(Mp3Conformance, EveryIsoStreamDecodesWithinOneLsbAndAbove96Db) {
  std::string dir = VectorsDir();
  if (dir.empty()) GTEST_SKIP() << "no conformance vectors";
  const char* streams[] = {"l3-compl", "l3-he_32khz", "l3-he_44khz", "l3-he_48khz", "l3-he_mode", "l3-hecommon",
                           "l3-si", "l3-si_block", "l3-si_huff", "l3-sin1k0db", "l3-test45", "l3-test46",
                           "M2L3_bitrate_16_all", "M2L3_bitrate_22_all", "M2L3_bitrate_24_all", "M2L3_compl24",
                           "M2L3_noise"};
  for (const char* name : streams) {
    Decoded d = DecodeAll(dir + name + ".bit");
    ASSERT_EQ(d.status, SourceStatus::Ok) << name;
    std::vector<int16_t> ref = Pcm16(ReadFileBytes(dir + name + ".pcm"));
    Comparison c = Compare(d.pcm, ref, d.frameSamples, d.channels);
    printf("%-22s skipped %d frames, %zu samples, max diff %d, PSNR %.1f dB, Huffman mismatches %d\n", name,
           c.skippedFrames, c.compared, c.maxDiff, c.psnr, d.huffmanMismatches);
    EXPECT_LE(c.maxDiff, 1) << name;
    EXPECT_GE(c.psnr, 96.0) << name;
    EXPECT_EQ(d.huffmanMismatches, 0) << name;
    // Only l3-he_mode stops early (it changes mode); the rest play to the end.
    if (std::string(name) != "l3-he_mode") {
      EXPECT_GE(c.compared + size_t(4 * d.frameSamples * d.channels), ref.size()) << name;
    }
  }
}

TEST(Mp3Conformance, FreeFormatStreamOpensAsBadFormat) {
  std::string dir = VectorsDir();
  if (dir.empty()) GTEST_SKIP() << "no conformance vectors";
  EXPECT_EQ(DecodeAll(dir + "l3-he_free.bit").status, SourceStatus::BadFormat);
}

namespace {

bool RunShell(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()) == 0; }

// A few seconds of a chirp with a little noise, as raw 16-bit PCM.
Bytes TestSignal(int rate, int channels, double seconds) {
  Bytes out;
  unsigned noise = 12345;
  int frames = int(rate * seconds);
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) {
      double t = double(i) / rate;
      noise = noise * 1103515245u + 12345u;
      double v = 0.5 * std::sin(2 * 3.14159265 * (200 + 1500 * t) * t * (c + 1)) + 0.02 * (int(noise >> 16) % 200 - 100) / 100.0;
      int16_t s = int16_t(v * 32767);
      out.push_back(uint8_t(s)), out.push_back(uint8_t(s >> 8));
    }
  return out;
}

// An ID3v2.3 tag holding one picture frame of `pictureBytes` bytes.
Bytes TagWithPicture(size_t pictureBytes, const Bytes& pattern) {
  Bytes picture(pictureBytes, 0x42);
  for (size_t i = 0; i + pattern.size() <= picture.size(); i += 1021)
    std::copy(pattern.begin(), pattern.end(), picture.begin() + long(i));
  Bytes frameBody = Concat({Bytes{0}, BytesOf("image/jpeg"), Bytes{0, 3, 0}, picture});
  size_t n = frameBody.size();
  Bytes frame = Concat({BytesOf("APIC"), Bytes{uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n), 0, 0},
                        frameBody});
  size_t s = frame.size();
  Bytes header = {'I', 'D', '3', 3, 0, 0, uint8_t(s >> 21 & 127), uint8_t(s >> 14 & 127), uint8_t(s >> 7 & 127),
                  uint8_t(s & 127)};
  return Concat({header, frame});
}

}  // namespace

TEST(Mp3Conformance, LameFilesOfEveryVersionAndModeDecodeLikeMpg123) {
  if (!RunShell("command -v lame >/dev/null") || !RunShell("command -v mpg123 >/dev/null")) GTEST_SKIP() << "lame or mpg123 missing";
  struct Case { int rate; int channels; const char* options; };
  const Case cases[] = {
      {44100, 2, "-m j -b 128"}, {44100, 2, "-m s -V 2"}, {48000, 1, "-m m -b 64"}, {32000, 2, "-m j -V 5"},
      {22050, 2, "-m j -b 64"}, {24000, 1, "-m m -V 4"}, {16000, 2, "-m s -b 32"},
      {11025, 1, "-m m -b 16"}, {12000, 2, "-m j -V 6"}, {8000, 1, "-m m -b 8"},
  };
  const Bytes headerLike = {0xFF, 0xFB, 0x90, 0x64, 0xFF, 0xFB, 0x90, 0x64};
  for (const Case& c : cases) {
    std::string raw = TempPath(".raw"), mp3 = TempPath(".mp3"), ref = TempPath(".pcm");
    WriteFileBytes(raw, TestSignal(c.rate, c.channels, 3.0));
    char command[512];
    snprintf(command, sizeof command,
             "lame --quiet -r -s %g --bitwidth 16 --signed --little-endian %s --resample %g %s -q 2 %s %s",
             c.rate / 1000.0, c.channels == 1 ? "-m m" : "", c.rate / 1000.0, c.options, raw.c_str(), mp3.c_str());
    ASSERT_TRUE(RunShell(command)) << command;
    ASSERT_TRUE(RunShell("mpg123 --no-gapless -q -s " + mp3 + " > " + ref));
    std::vector<int16_t> reference = Pcm16(ReadFileBytes(ref));
    Bytes untagged = ReadFileBytes(mp3);
    int frameSamples = c.rate >= 32000 ? 1152 : 576;
    for (const Bytes& tag : {Bytes(), TagWithPicture(300 * 1024, Bytes{1, 2}), TagWithPicture(3000, headerLike)}) {
      TempFile file(Concat({tag, untagged}), ".mp3");
      Decoded d = DecodeAll(file.path());
      ASSERT_EQ(d.status, SourceStatus::Ok) << c.options;
      Comparison cmp = Compare(d.pcm, reference, frameSamples, c.channels);
      printf("%5d Hz %d ch %-12s tag %6zu: max diff %d, PSNR %.1f dB\n", c.rate, c.channels, c.options, tag.size(),
             cmp.maxDiff, cmp.psnr);
      EXPECT_LE(cmp.maxDiff, 1) << c.rate << " " << c.options;
      EXPECT_GE(cmp.psnr, 96.0) << c.rate << " " << c.options;
    }
    std::remove(raw.c_str()), std::remove(mp3.c_str()), std::remove(ref.c_str());
  }
}

// On a CBR file a seek lands on the frame it computes, and after the warm-up the
// samples are those of a straight decode from that frame.
TEST(Mp3Conformance, SamplesAfterASeekMatchAStraightDecode) {
  if (!RunShell("command -v lame >/dev/null")) GTEST_SKIP() << "lame missing";
  std::string raw = TempPath(".raw"), mp3 = TempPath(".mp3");
  WriteFileBytes(raw, TestSignal(44100, 2, 6.0));
  ASSERT_TRUE(RunShell("lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m j -b 128 " + raw + " " + mp3));
  Decoded straight = DecodeAll(mp3);
  ASSERT_EQ(straight.status, SourceStatus::Ok);
  SourceRef s = SourceRef::adopt(openMp3Source(mp3.c_str()));
  for (int32_t target : {5 * 1152, 10 * 1152 + 300, 77 * 1152 + 1000, 150 * 1152 + 5}) {
    s->seek(target);
    std::vector<int32_t> buf(2 * 1152 * 2);
    s->read(buf.data(), 2 * 1152);
    std::vector<int16_t> ours;
    for (int32_t v : buf) ours.push_back(int16_t(std::clamp((v + 8) >> 4, -32768, 32767)));
    // The frame reached may be one off the one computed; compare with the best.
    Comparison best;
    for (int shift : {-1152, 0, 1152}) {
      size_t from = size_t(target + shift) * 2;
      if (target + shift < 0 || from + ours.size() > straight.pcm.size()) continue;
      std::vector<int16_t> ref(straight.pcm.begin() + long(from), straight.pcm.begin() + long(from + ours.size()));
      Comparison c = Compare(ours, ref, 1152, 2);
      if (c.skippedFrames == 0 && c.psnr > best.psnr) best = c;
    }
    EXPECT_LE(best.maxDiff, 1) << target;
    EXPECT_GE(best.psnr, 96.0) << target;
  }
  std::remove(raw.c_str()), std::remove(mp3.c_str());
}
