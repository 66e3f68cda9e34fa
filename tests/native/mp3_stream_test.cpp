// The MP3 source's handling of the stream around the frame decoder: where audio
// starts, which headers count, information frames, length, reading and seeking.
// Frames here carry zero side information and main data, so they decode to
// silence and the tests see only the stream logic.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/mp3/mp3_source.h"
#include "test_files.h"

namespace {

// Header bytes 1-3 of a few kinds of frame (byte 0 is 0xFF).
struct Kind {
  uint8_t b1, b2, b3;
  int frameBytes, samples, rate, channels;
};
constexpr Kind kMpeg1Joint128 = {0xFB, 0x90, 0x40, 417, 1152, 44100, 2};  // 144 × 128000 / 44100
constexpr Kind kMpeg1Joint128At48 = {0xFB, 0x94, 0x40, 384, 1152, 48000, 2};  // exactly 384 bytes
constexpr Kind kMpeg1Mono128 = {0xFB, 0x90, 0xC0, 417, 1152, 44100, 1};
constexpr Kind kMpeg2Stereo64 = {0xF3, 0x80, 0x00, 208, 576, 22050, 2};   // 72 × 64000 / 22050
constexpr Kind kMpeg25Mono32 = {0xE3, 0x48, 0xC0, 288, 576, 8000, 1};     // 72 × 32000 / 8000

Bytes Frame(const Kind& k) {
  Bytes f(size_t(k.frameBytes), 0);
  f[0] = 0xFF, f[1] = k.b1, f[2] = k.b2, f[3] = k.b3;
  return f;
}

Bytes Frames(const Kind& k, int n) {
  Bytes out;
  for (int i = 0; i < n; ++i) {
    Bytes f = Frame(k);
    out.insert(out.end(), f.begin(), f.end());
  }
  return out;
}

Bytes Be32(uint32_t v) { return Bytes{uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }

// An information frame: zero side information, then the tag and its fields.
// An information frame: "Xing" or "Info" behind the side information, "VBRI" 32
// bytes behind the header whatever the mode.
Bytes InfoFrame(const Kind& k, const char* tag, const Bytes& fields) {
  Bytes f = Frame(k);
  const bool lsf = k.samples == 576;
  int side = std::memcmp(tag, "VBRI", 4) == 0 ? 32 : k.channels == 1 ? (lsf ? 9 : 17) : (lsf ? 17 : 32);
  std::memcpy(&f[size_t(4 + side)], tag, 4);
  std::copy(fields.begin(), fields.end(), f.begin() + 8 + side);
  return f;
}

Bytes Id3v2(size_t bodySize, const Bytes& fill = {}) {
  Bytes tag = {'I', 'D', '3', 3, 0, 0, uint8_t(bodySize >> 21 & 127), uint8_t(bodySize >> 14 & 127),
               uint8_t(bodySize >> 7 & 127), uint8_t(bodySize & 127)};
  Bytes body(bodySize, 0x55);
  for (size_t i = 0; i + fill.size() <= bodySize && !fill.empty(); i += 997)
    std::copy(fill.begin(), fill.end(), body.begin() + long(i));
  return Concat({tag, body});
}

// An ID3v1 tag, which is not audio even when its bytes look like frames.
const Bytes kTrailer = Concat({BytesOf("TAG"), Bytes{0xFF, 0xFB, 0x90, 0x40}, Bytes(121, 0xFF)});

struct Opened {
  TempFile file;
  SourceRef ref;
  explicit Opened(const Bytes& bytes) : file(bytes, ".mp3"), ref(SourceRef::adopt(openMp3Source(file.c_str()))) {}
  Mp3Source& mp3() { return *static_cast<Mp3Source*>(ref.get()); }
};

// Reads everything in pieces of `piece` frames; the frames read before zeros run on.
int32_t ReadToEnd(AudioSource& s, int piece) {
  std::vector<int32_t> buf(size_t(piece) * 2);
  for (int guard = 0; guard < 100000 && s.position() < s.length(); ++guard) s.read(buf.data(), piece);
  return s.length();
}

}  // namespace

TEST(Mp3Stream, EveryVersionOpensWithItsRateChannelsAndExactLengthAtTheEnd) {
  for (const Kind& k : {kMpeg1Joint128, kMpeg1Mono128, kMpeg2Stereo64, kMpeg25Mono32}) {
    Opened o(Concat({Frames(k, 20), kTrailer}));
    ASSERT_EQ(o.ref->status(), SourceStatus::Ok);
    EXPECT_EQ(o.ref->sampleRate(), k.rate);
    EXPECT_EQ(o.ref->channels(), k.channels);
    EXPECT_EQ(o.ref->peakLimit(), 0x200000);
    EXPECT_EQ(ReadToEnd(*o.ref, 1000), 20 * k.samples);
    EXPECT_EQ(o.mp3().framesDecoded(), 20);
  }
}

TEST(Mp3Stream, FilesWithoutLayerThreeFramesAreBadFormatAndMissingFilesOpenFailed) {
  Bytes freeFormat = Frames(kMpeg1Joint128, 10);
  for (size_t i = 0; i < freeFormat.size(); i += 417) freeFormat[i + 2] = 0x00;  // bitrate index 0
  Bytes layer2 = Frames(kMpeg1Joint128, 10);
  for (size_t i = 0; i < layer2.size(); i += 417) layer2[i + 1] = 0xFD;
  for (const Bytes& bytes : {freeFormat, layer2, Bytes(5000, 0), Bytes()}) {
    Opened o(bytes);
    EXPECT_EQ(o.ref->status(), SourceStatus::BadFormat);
  }
  SourceRef missing = SourceRef::adopt(openMp3Source("/nonexistent/x.mp3"));
  EXPECT_EQ(missing->status(), SourceStatus::OpenFailed);
}

TEST(Mp3Stream, LeadingTagsOfAnySizeAreSkippedEvenWhenTheyHoldHeaderBytes) {
  Bytes fakeHeader = {0xFF, 0xFB, 0x90, 0x44, 0xFF, 0xF3, 0x80, 0x00};
  Bytes audio = Concat({Frames(kMpeg2Stereo64, 12), kTrailer});
  for (const Bytes& tags : {Id3v2(300 * 1024, fakeHeader), Id3v2(2000, fakeHeader),
                            Concat({Id3v2(100), Id3v2(70000, fakeHeader)})}) {
    Opened o(Concat({tags, audio}));
    ASSERT_EQ(o.ref->status(), SourceStatus::Ok);
    EXPECT_EQ(o.ref->sampleRate(), 22050);
    EXPECT_EQ(o.ref->length(), 12 * 576);
    EXPECT_EQ(ReadToEnd(*o.ref, 333), 12 * 576);
    EXPECT_EQ(o.mp3().framesDecoded(), 12);
  }
}

TEST(Mp3Stream, AHeaderCountsOnlyWhenTheNextHeaderAgrees) {
  // Junk holding a lone MPEG-2 header, then a real MPEG-1 stream.
  Bytes junk(3000, 0x11);
  junk[100] = 0xFF, junk[101] = 0xF3, junk[102] = 0x80, junk[103] = 0x00;
  Opened o(Concat({junk, Frames(kMpeg1Joint128, 10), kTrailer}));
  ASSERT_EQ(o.ref->status(), SourceStatus::Ok);
  EXPECT_EQ(o.ref->sampleRate(), 44100);
  ReadToEnd(*o.ref, 1152);
  EXPECT_EQ(o.mp3().framesDecoded(), 10);
}

TEST(Mp3Stream, XingAndVbriFrameCountsGiveTheExactLengthFromTheStart) {
  struct Case { Kind kind; Bytes info; int32_t frames; };
  std::vector<Case> cases = {
      {kMpeg1Joint128, InfoFrame(kMpeg1Joint128, "Xing", Concat({Be32(1), Be32(30)})), 30},
      {kMpeg1Joint128, InfoFrame(kMpeg1Joint128, "Info", Concat({Be32(1), Be32(30)})), 30},  // lame's CBR
      {kMpeg1Joint128, InfoFrame(kMpeg1Joint128, "VBRI", Concat({Bytes(10, 0), Be32(30)})), 30},
      {kMpeg1Mono128, InfoFrame(kMpeg1Mono128, "VBRI", Concat({Bytes(10, 0), Be32(30)})), 30},
      {kMpeg2Stereo64, InfoFrame(kMpeg2Stereo64, "VBRI", Concat({Bytes(10, 0), Be32(30)})), 30},
      {kMpeg25Mono32, InfoFrame(kMpeg25Mono32, "Xing", Concat({Be32(1), Be32(30)})), 30},
      // No frame-count flag: an ordinary (silent) frame.
      {kMpeg1Joint128, InfoFrame(kMpeg1Joint128, "Xing", Concat({Be32(2), Be32(30)})), 0},
      // A count whose length in samples would overflow is ignored.
      {kMpeg1Joint128, InfoFrame(kMpeg1Joint128, "Xing", Concat({Be32(1), Be32(0xFFFFFFF0u)})), 0},
  };
  for (const Case& c : cases) {
    const int32_t n = c.kind.samples;
    Opened o(Concat({c.info, Frames(c.kind, 30), kTrailer}));
    ASSERT_EQ(o.ref->status(), SourceStatus::Ok);
    EXPECT_EQ(o.mp3().vbrFrames(), c.frames) << n << " " << c.kind.channels;
    if (c.frames) {
      EXPECT_EQ(o.ref->length(), 30 * n);
    }
    int32_t end = ReadToEnd(*o.ref, 4000);
    // The information frame is not audio when it carries a count.
    EXPECT_EQ(end, (c.frames ? 30 : 31) * n);
  }
}

TEST(Mp3Stream, SeekingDecodesFourWarmUpFramesFromTheFifthFrameOn) {
  struct Case { int32_t target; int decodes; };
  for (const Case& c : {Case{0, 1}, Case{1152 + 5, 2}, Case{3 * 1152, 4}, Case{4 * 1152 + 7, 5}, Case{15 * 1152, 5}}) {
    // Frames of exactly the average length, so that the target lands where asked.
    Opened o(Concat({Frames(kMpeg1Joint128At48, 20), kTrailer}));
    int32_t before = o.mp3().framesDecoded();
    o.ref->seek(c.target);
    EXPECT_EQ(o.mp3().framesDecoded() - before, c.decodes) << c.target;
    EXPECT_EQ(o.ref->position(), c.target);
    EXPECT_EQ(ReadToEnd(*o.ref, 500), 20 * 1152);
  }
}

TEST(Mp3Stream, ReadsBeforeTheStartAndPastTheEndAreSilent) {
  Opened o(Concat({Frames(kMpeg1Mono128, 4), kTrailer}));
  o.ref->seek(-100);
  std::vector<int32_t> buf(300, 7);
  o.ref->read(buf.data(), 300);
  EXPECT_EQ(o.ref->position(), 200);
  for (int32_t v : buf) EXPECT_EQ(v, 0);
  ReadToEnd(*o.ref, 1000);
  EXPECT_EQ(o.ref->length(), 4 * 1152);
  std::fill(buf.begin(), buf.end(), 7);
  o.ref->read(buf.data(), 300);
  for (int32_t v : buf) EXPECT_EQ(v, 0);
}

TEST(Mp3Stream, AStreamThatChangesModeEndsAfterMoreThanTenForeignFrames) {
  Bytes bytes = Concat({Frames(kMpeg1Joint128, 5), Frames(kMpeg1Mono128, 3), Frames(kMpeg1Joint128, 2),
                        Frames(kMpeg1Mono128, 11), Frames(kMpeg1Joint128, 5), kTrailer});
  Opened o(bytes);
  EXPECT_EQ(o.ref->channels(), 2);
  EXPECT_EQ(ReadToEnd(*o.ref, 1152), 7 * 1152);
}

TEST(Mp3Stream, DamagedAndTruncatedFilesPlayToTheirEnd) {
  Bytes cut = Frames(kMpeg1Joint128, 10);
  cut.resize(cut.size() - 200);
  Bytes damaged = Concat({Frames(kMpeg1Joint128, 5), Bytes(900, 0xFF), Frames(kMpeg1Joint128, 5), kTrailer});
  for (const Bytes& b : {Concat({cut, kTrailer}), damaged}) {
    Opened o(b);
    ASSERT_EQ(o.ref->status(), SourceStatus::Ok);
    int32_t end = ReadToEnd(*o.ref, 700);
    EXPECT_GE(end, 9 * 1152);
    EXPECT_LE(end, 10 * 1152);
  }
}
