#include <gtest/gtest.h>

#include <vector>

#include "audio/wave_source.h"
#include "test_files.h"
#include "test_sources.h"

namespace {


Bytes Chunk(const char* id, const Bytes& body) {
  Bytes out = Concat({BytesOf(id), Le32(uint32_t(body.size())), body});
  if (body.size() & 1) out.push_back(0);
  return out;
}

Bytes FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  uint16_t align = uint16_t(channels * ((bits + 7) / 8));
  return Concat({Le16(tag), Le16(channels), Le32(rate), Le32(rate * align), Le16(align), Le16(bits)});
}
Bytes Fmt(uint16_t channels, uint32_t rate, uint16_t bits) {
  return Chunk("fmt ", FmtBody(1, channels, rate, bits));
}

Bytes Wav(std::initializer_list<Bytes> chunks) {
  Bytes body = Concat(chunks);
  return Concat({BytesOf("RIFF"), Le32(uint32_t(body.size() + 4)), BytesOf("WAVE"), body});
}

// Sample bytes that differ from frame to frame and channel to channel.
Bytes Pattern(size_t n) {
  Bytes d(n);
  for (size_t i = 0; i < n; ++i) d[i] = uint8_t(i * 37 + i / 256 * 11 + 5);
  return d;
}

// What the file's bytes mean as work samples, worked out independently.
std::vector<int32_t> Expected(const Bytes& data, int bytesPerSample) {
  std::vector<int32_t> out;
  if (bytesPerSample == 1)
    for (uint8_t b : data) out.push_back((int(b) - 128) * 4096);
  else
    for (size_t i = 0; i + 1 < data.size(); i += 2) out.push_back(int16_t(data[i] | data[i + 1] << 8) * 16);
  return out;
}

SourceRef Open(const TempFile& file) { return SourceRef::adopt(openWaveSource(file.c_str())); }

SourceStatus StatusOf(const Bytes& bytes) {
  TempFile file(bytes, ".wav");
  return Open(file)->status();
}

}  // namespace

TEST(WavePcm, EveryPcmKindDecodesToTheFileSamples) {
  struct Case { uint16_t channels; uint32_t rate; uint16_t bits; int bytesPerSample; };
  const Case cases[] = {{1, 8000, 8, 1},   {2, 11025, 8, 1},  {1, 44100, 16, 2},
                        {2, 48000, 16, 2}, {1, 22050, 12, 2}, {3, 1, 4, 1}, {255, 196000, 16, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << " channels, " << c.bits << " bits");
    const int frames = 1001;
    Bytes data = Pattern(size_t(frames) * c.channels * c.bytesPerSample);
    TempFile file(Wav({Fmt(c.channels, c.rate, c.bits), Chunk("data", data)}), ".wav");
    SourceRef source = Open(file);
    ASSERT_EQ(source->status(), SourceStatus::Ok);
    EXPECT_EQ(source->sampleRate(), int32_t(c.rate));
    EXPECT_EQ(source->channels(), c.channels);
    EXPECT_EQ(source->peakLimit(), 0x7FFF0);
    EXPECT_EQ(source->length(), frames);
    EXPECT_EQ(ReadFrames(*source, frames), Expected(data, c.bytesPerSample));
    EXPECT_EQ(source->position(), frames);
  }
}

TEST(WavePcm, AnyReadSizeGivesTheSameSamples) {
  const int frames = 20000;  // more than one piece of the reader
  Bytes data = Pattern(size_t(frames) * 4);
  TempFile file(Wav({Fmt(2, 44100, 16), Chunk("data", data)}), ".wav");
  const std::vector<int32_t> want = Expected(data, 2);
  SourceRef whole = Open(file);
  EXPECT_EQ(ReadFrames(*whole, frames), want);
  for (int piece : {1, 7, 4410, 8192, 8193}) {
    SourceRef source = Open(file);
    std::vector<int32_t> got;
    while (int(got.size()) < frames * 2) {
      std::vector<int32_t> part = ReadFrames(*source, std::min(piece, frames - int(got.size()) / 2));
      got.insert(got.end(), part.begin(), part.end());
    }
    EXPECT_EQ(got, want) << piece;
  }
}

TEST(WavePcm, ChunksAreWalkedWithTheirPadBytes) {
  Bytes data = Pattern(30);
  const std::vector<int32_t> want = Expected(data, 1);
  Bytes fmtWithOddSize = Chunk("fmt ", Concat({FmtBody(1, 1, 8000, 8), Bytes{0x77}}));
  Bytes fmtWithExtra = Chunk("fmt ", Concat({FmtBody(1, 1, 8000, 8), Le16(2), Bytes{9, 9}}));
  Bytes otherForm = Concat({BytesOf("RIFF"), Le32(7), BytesOf("AVI "), Bytes{1, 2, 3, 0}});
  const Bytes files[] = {
      Wav({Chunk("JUNK", Bytes{1, 2, 3}), Fmt(1, 8000, 8), Chunk("LIST", Bytes(5, 'x')), Chunk("data", data)}),
      Wav({fmtWithOddSize, Chunk("data", data)}),
      Wav({fmtWithExtra, Chunk("fact", Le32(30)), Chunk("data", data)}),
      Concat({otherForm, Wav({Fmt(1, 8000, 8), Chunk("data", data)})}),
  };
  for (const Bytes& bytes : files) {
    TempFile file(bytes, ".wav");
    SourceRef source = Open(file);
    ASSERT_EQ(source->status(), SourceStatus::Ok);
    EXPECT_EQ(ReadFrames(*source, 30), want);
  }
}

TEST(WavePcm, MalformedFilesAreBadFormat) {
  Bytes data = Chunk("data", Pattern(8));
  Bytes fmt = Fmt(1, 8000, 16);
  Bytes extraTooLong = Chunk("fmt ", Concat({FmtBody(1, 1, 8000, 16), Le16(3), Bytes{0, 0}}));
  Bytes whole = Wav({fmt, data});
  const Bytes files[] = {
      {},
      Wav({data, fmt}),  // "data" before "fmt "
      Wav({fmt}),
      Wav({Chunk("fmt ", Bytes(15, 0)), data}),
      Wav({Chunk("fmt ", Concat({FmtBody(1, 1, 8000, 16), Bytes(8177, 0)})), data}),  // 8193 bytes
      Wav({extraTooLong, data}),
      Wav({Fmt(0, 8000, 16), data}),
      Wav({Fmt(256, 8000, 16), data}),
      Wav({Fmt(1, 0, 16), data}),
      Wav({Fmt(1, 196001, 16), data}),
      Bytes(whole.begin(), whole.begin() + 30),  // cut inside "fmt "
      Concat({BytesOf("RIFF"), Le32(4), BytesOf("AVI ")}),
      Concat({BytesOf("RIFF"), Le32(0xFFFFFFFF), BytesOf("AVI "), whole}),
      Wav({Chunk("JUNK", Bytes(3, 0)), Concat({BytesOf("LIST"), Le32(0xFFFFFFFF)}), fmt, data}),
  };
  int index = 0;
  for (const Bytes& bytes : files) EXPECT_EQ(StatusOf(bytes), SourceStatus::BadFormat) << index++;
  EXPECT_EQ(StatusOf(Wav({Fmt(1, 196000, 16), data})), SourceStatus::Ok);
  EXPECT_EQ(StatusOf(whole), SourceStatus::Ok);

  SourceRef missing = SourceRef::adopt(openWaveSource(TempPath(".wav").c_str()));
  EXPECT_EQ(missing->status(), SourceStatus::OpenFailed);
}

TEST(WavePcm, OtherFormatsGoToTheCodec) {
  Bytes data = Chunk("data", Pattern(64));
  EXPECT_EQ(StatusOf(Wav({Chunk("fmt ", FmtBody(0x7777, 1, 8000, 4)), data})), SourceStatus::CodecMissing);
#ifndef _WIN32
  // 24-bit PCM is not read directly; this build has no codec for it.
  EXPECT_EQ(StatusOf(Wav({Fmt(1, 8000, 24), data})), SourceStatus::CodecMissing);
#endif
}

TEST(WavePcm, LengthIsWhatTheFileHolds) {
  struct Case { uint32_t claimed; size_t present; int32_t length; };
  const Case cases[] = {
      {0xFFFFFFFF, 40, 20},  // "up to the end of the file"
      {1000, 40, 20},        // truncated file
      {41, 41, 20},          // the odd byte is no frame
      {20, 40, 10},          // other chunks follow
      {0, 40, 0},
  };
  for (const Case& c : cases) {
    Bytes data = Pattern(c.present);
    TempFile file(Wav({Fmt(1, 8000, 16), Concat({BytesOf("data"), Le32(c.claimed), data})}), ".wav");
    SourceRef source = Open(file);
    ASSERT_EQ(source->status(), SourceStatus::Ok);
    EXPECT_EQ(source->length(), c.length) << c.claimed;
    std::vector<int32_t> want = Expected(data, 2);
    want.resize(size_t(c.length));
    want.resize(size_t(c.length) + 5, 0);  // silence after the end
    EXPECT_EQ(ReadFrames(*source, c.length + 5), want) << c.claimed;
    EXPECT_EQ(source->position(), c.length + 5);
  }
}

TEST(WavePcm, SeekingBeforeTheStartAndPastTheEnd) {
  Bytes data = Pattern(200);  // 50 stereo frames
  const std::vector<int32_t> all = Expected(data, 2);
  auto frames = [&](int from, int to) {  // samples of frames [from, to), zeros outside the file
    std::vector<int32_t> out;
    for (int f = from; f < to; ++f)
      for (int c = 0; c < 2; ++c) out.push_back(f >= 0 && f < 50 ? all[size_t(f * 2 + c)] : 0);
    return out;
  };
  TempFile file(Wav({Fmt(2, 8000, 16), Chunk("data", data)}), ".wav");
  SourceRef source = Open(file);

  source->seek(-3);
  EXPECT_EQ(source->position(), -3);
  EXPECT_EQ(ReadFrames(*source, 2), frames(-3, -1));
  EXPECT_EQ(ReadFrames(*source, 4), frames(-1, 3));
  EXPECT_EQ(source->position(), 3);

  source->seek(60);
  EXPECT_EQ(source->position(), 60);
  EXPECT_EQ(ReadFrames(*source, 3), frames(60, 63));
  EXPECT_EQ(source->position(), 63);

  source->seek(47);
  EXPECT_EQ(ReadFrames(*source, 6), frames(47, 53));
  source->seek(10);
  EXPECT_EQ(ReadFrames(*source, 5), frames(10, 15));
  source->seek(-100);
  EXPECT_EQ(ReadFrames(*source, 160), frames(-100, 60));
  EXPECT_EQ(source->position(), 60);
}
