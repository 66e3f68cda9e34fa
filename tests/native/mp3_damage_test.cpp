// Streams damaged as real files are (a frame cut short, a header overwritten, junk
// between frames, APE and Lyrics3 blocks behind the audio), made from lame's
// output: what cannot be decoded is silence, the timing holds, and the frames
// after the damage are those of a clean decode, sample for sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "audio/mp3/mp3_frame.h"
#include "audio/mp3/mp3_source.h"
#include "test_files.h"

namespace {

bool Shell(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()) == 0; }

using Frame = std::vector<int32_t>;

struct Decoded {
  std::vector<Frame> frames;
  int32_t lengthAtOpen = 0;
  int32_t lengthAtEnd = 0;
};

Decoded Decode(const Bytes& mp3) {
  const std::string path = TempPath(".mp3");
  WriteFileBytes(path, mp3);
  Decoded d;
  SourceRef s = SourceRef::adopt(openMp3Source(path.c_str()));
  if (s->status() != SourceStatus::Ok) return d;
  d.lengthAtOpen = s->length();
  while (s->position() < s->length()) {
    Frame f(1152 * 2);
    s->read(f.data(), 1152);
    d.frames.push_back(f);
  }
  // The last read may run past the end that reading found: its tail is silence.
  d.lengthAtEnd = s->length();
  d.frames.resize(size_t(d.lengthAtEnd + 1151) / 1152);
  return d;
}

// Offsets of the frames of a stream that starts with one (lame's output).
std::vector<uint32_t> FrameOffsets(const Bytes& mp3) {
  std::vector<uint32_t> at;
  FrameHeader h;
  for (uint32_t p = 0; p + 4 <= mp3.size() && parseFrameHeader(&mp3[p], &h); p += uint32_t(frameLength(h)))
    at.push_back(p);
  return at;
}

int32_t PeakOf(const Frame& f) {
  int32_t peak = 0;
  for (int32_t v : f) peak = std::max(peak, std::abs(v));
  return peak;
}

bool Silent(const Frame& f) { return PeakOf(f) == 0; }

// The damaged decode against the clean one: before output frame `damage` equal;
// from there on a run of silent frames (what could not be decoded), at most one
// frame where the filterbank warms up again (no louder than the clean decode
// anywhere), then every frame equal to clean frame k + shift. At least one frame
// is silent when `silence` is set.
void ExpectRecovered(const char* what, const Decoded& clean, const Decoded& damaged, int damage, int shift,
                     bool silence) {
  SCOPED_TRACE(what);
  int32_t loudest = 0;
  for (const Frame& f : clean.frames) loudest = std::max(loudest, PeakOf(f));
  ASSERT_EQ(damaged.frames.size() + size_t(shift), clean.frames.size());
  const int count = int(damaged.frames.size());
  int k = 0;
  for (; k < damage; ++k) {
    EXPECT_TRUE(damaged.frames[size_t(k)] == clean.frames[size_t(k)]) << "frame " << k;
  }
  int silent = 0;
  for (; k < count && Silent(damaged.frames[size_t(k)]); ++k) ++silent;
  EXPECT_LE(silent, 3);
  if (silence) {
    EXPECT_GE(silent, 1);
  }
  if (k < count && damaged.frames[size_t(k)] != clean.frames[size_t(k + shift)]) {
    EXPECT_LE(PeakOf(damaged.frames[size_t(k)]), loudest) << "frame " << k;
    ++k;
  }
  for (; k < count; ++k) {
    EXPECT_TRUE(damaged.frames[size_t(k)] == clean.frames[size_t(k + shift)]) << "frame " << k;
  }
  // The length shown while playing is within a frame of what plays.
  const int32_t played = count * 1152;
  EXPECT_LE(std::abs(damaged.lengthAtOpen - played), 1152);
  EXPECT_LE(played - damaged.lengthAtEnd, 1152);
  EXPECT_GE(played, damaged.lengthAtEnd);
}

Bytes Slice(const Bytes& b, size_t from, size_t to) { return Bytes(b.begin() + long(from), b.begin() + long(to)); }

}  // namespace

TEST(Mp3Damage, DamagedFramesBecomeSilenceAndTheRestDecodesAsClean) {
  if (!Shell("command -v lame >/dev/null")) GTEST_SKIP() << "lame missing";
  Bytes pcm;
  for (int i = 0; i < 44100 * 3; ++i)
    for (int c = 0; c < 2; ++c) {
      const int16_t v = int16_t(7000 * std::sin(i * (0.03 + 0.011 * c)) + 2500 * std::sin(i * 0.41 + c) +
                                float(std::rand() % 2001 - 1000));
      pcm.push_back(uint8_t(v)), pcm.push_back(uint8_t(v >> 8));
    }
  const std::string raw = TempPath(".raw"), made = TempPath(".mp3");
  WriteFileBytes(raw, pcm);
  ASSERT_TRUE(Shell("lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m j -b 128 " + raw + " " + made));
  const Bytes mp3 = ReadFileBytes(made);
  const std::vector<uint32_t> at = FrameOffsets(mp3);  // at[0]: lame's information frame
  ASSERT_GT(at.size(), 100u);
  const Decoded clean = Decode(mp3);
  ASSERT_EQ(clean.frames.size() + 1, at.size());
  const int d = 60;  // the damaged audio frame; its bytes start at at[d + 1]

  // A frame cut short: its last 150 bytes are missing, the next frame follows.
  const Bytes cut = Concat({Slice(mp3, 0, at[d + 2] - 150), Slice(mp3, at[d + 2], mp3.size())});
  ExpectRecovered("cut short", clean, Decode(cut), d, 0, true);

  // A header overwritten: the frame cannot be found at all (as in every decoder).
  Bytes header = mp3;
  std::fill(header.begin() + at[d + 1], header.begin() + at[d + 1] + 4, 0);
  ExpectRecovered("header", clean, Decode(header), d, 1, false);

  // Junk between two frames, with false syncs in it.
  Bytes junk;
  for (int i = 0; i < 300; ++i) junk.push_back(i % 37 == 0 ? 0xFF : i % 37 == 1 ? 0xFB : uint8_t(i * 73));
  const Bytes inserted = Concat({Slice(mp3, 0, at[d + 1]), junk, Slice(mp3, at[d + 1], mp3.size())});
  ExpectRecovered("junk", clean, Decode(inserted), d, 0, false);

  // An APE tag (header, one item, footer), a Lyrics3 block and an ID3v1 tag behind
  // the audio: the same frames as without them, and the same length from the start.
  Bytes item = Concat({Le32(5), Le32(0), BytesOf("Title"), Bytes{0}, BytesOf("\xFF\xFB\x90\x64 ")});
  auto apeBlock = [&](bool header) {
    return Concat({BytesOf("APETAGEX"), Le32(2000), Le32(uint32_t(item.size()) + 32), Le32(1),
                   Le32(header ? 0xA0000000u : 0x80000000u), Bytes(8, 0)});
  };
  const Bytes lyrics = BytesOf("LYRICSBEGININD0000210EAL00009\xFF\xFB\x90\x64zzzzz");
  char size[16];
  std::snprintf(size, sizeof size, "%06u", unsigned(lyrics.size()));
  Bytes id3v1 = BytesOf("TAG");
  id3v1.resize(128, 0);
  const Bytes tagged = Concat({mp3, apeBlock(true), item, apeBlock(false), lyrics, BytesOf(size),
                               BytesOf("LYRICS200"), id3v1});
  const Decoded withTags = Decode(tagged);
  EXPECT_EQ(withTags.lengthAtOpen, clean.lengthAtOpen);
  EXPECT_TRUE(withTags.frames == clean.frames);
}
