// Compressed WAV files through the system's codecs: a file made here with the
// codec itself (PCM to IMA ADPCM), then played straight and after seeks.
#include <gtest/gtest.h>
#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "audio/audio_source.h"
#include "audio/wave_source.h"

namespace {
constexpr int kRate = 22050;

void Append(std::vector<BYTE>& out, const void* data, size_t n) {
  const BYTE* p = static_cast<const BYTE*>(data);
  out.insert(out.end(), p, p + n);
}

// Encodes `seconds` of a two-tone signal as IMA ADPCM with the codec and writes a WAV.
bool MakeAdpcmWav(const std::string& path, double seconds, int channels) {
  std::vector<int16_t> pcm(size_t(seconds * kRate) * channels);
  for (size_t i = 0; i < pcm.size(); ++i) {
    double t = double(i / channels) / kRate;
    pcm[i] = int16_t(9000 * std::sin(2 * 3.14159265 * (i % channels ? 523 : 300) * t));
  }
  WAVEFORMATEX in = {WAVE_FORMAT_PCM, WORD(channels), kRate, DWORD(kRate * 2 * channels),
                     WORD(2 * channels), 16, 0};
  std::vector<BYTE> outFormat(64, 0);
  auto* out = reinterpret_cast<WAVEFORMATEX*>(outFormat.data());
  out->wFormatTag = WAVE_FORMAT_IMA_ADPCM;
  if (acmFormatSuggest(nullptr, &in, out, DWORD(outFormat.size()), ACM_FORMATSUGGESTF_WFORMATTAG))
    return false;
  HACMSTREAM stream;
  if (acmStreamOpen(&stream, nullptr, &in, out, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME)) return false;
  DWORD outSize = 0;
  acmStreamSize(stream, DWORD(pcm.size() * 2), &outSize, ACM_STREAMSIZEF_SOURCE);
  std::vector<BYTE> adpcm(outSize + 4096);
  ACMSTREAMHEADER h = {};
  h.cbStruct = sizeof h;
  h.pbSrc = reinterpret_cast<BYTE*>(pcm.data());
  h.cbSrcLength = DWORD(pcm.size() * 2);
  h.pbDst = adpcm.data();
  h.cbDstLength = DWORD(adpcm.size());
  acmStreamPrepareHeader(stream, &h, 0);
  MMRESULT r = acmStreamConvert(stream, &h, ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_END);
  DWORD produced = h.cbDstLengthUsed;
  acmStreamUnprepareHeader(stream, &h, 0);
  acmStreamClose(stream, 0);
  if (r || produced == 0) return false;

  const DWORD fmtSize = sizeof(WAVEFORMATEX) + out->cbSize;
  std::vector<BYTE> file;
  DWORD riffSize = 4 + 8 + fmtSize + 8 + produced;
  Append(file, "RIFF", 4);
  Append(file, &riffSize, 4);
  Append(file, "WAVEfmt ", 8);
  Append(file, &fmtSize, 4);
  Append(file, out, fmtSize);
  Append(file, "data", 4);
  Append(file, &produced, 4);
  Append(file, adpcm.data(), produced);
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD put = 0;
  WriteFile(f, file.data(), DWORD(file.size()), &put, nullptr);
  CloseHandle(f);
  return put == file.size();
}

std::vector<int32_t> ReadFrames(AudioSource& s, int frames) {
  std::vector<int32_t> out(size_t(frames) * s.channels());
  s.read(out.data(), frames);
  return out;
}
}  // namespace

TEST(WaveAcm, AdpcmPlaysAndSeeksLandOnTheExactFrame) {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  for (int channels : {1, 2}) {
    SCOPED_TRACE(channels);
    std::string path = std::string(dir) + "lirva-acm-" + std::to_string(channels) + ".wav";
    ASSERT_TRUE(MakeAdpcmWav(path, 2.0, channels));
    SourceRef source = SourceRef::adopt(openWaveSource(path.c_str()));
    ASSERT_EQ(source->status(), SourceStatus::Ok);
    ASSERT_EQ(source->channels(), channels);
    const int32_t length = source->length();
    EXPECT_NEAR(length, 2 * kRate, 2048);
    // One read far larger than the codec's buffers.
    std::vector<int32_t> all = ReadFrames(*source, length);
    int32_t loudest = 0;
    for (int32_t v : all) loudest = std::max(loudest, std::abs(v));
    EXPECT_GT(loudest, 8000 * 16);
    EXPECT_LT(loudest, 10000 * 16);
    // The first length is an estimate; once the end was decoded it is exact.
    const int32_t decoded = source->length();
    EXPECT_LE(decoded, length);
    EXPECT_GT(decoded, length - 1024);

    for (int32_t target : {0, 1, 1000, 12345, 30001}) {
      source->seek(target);
      EXPECT_EQ(source->position(), target);
      std::vector<int32_t> got = ReadFrames(*source, 500);
      ASSERT_LE(target + 500, decoded);
      std::vector<int32_t> want(all.begin() + size_t(target) * channels,
                                all.begin() + size_t(target + 500) * channels);
      EXPECT_EQ(got, want) << "after a seek to " << target;
    }
    // Past the end: silence, the position where it was put.
    source->seek(decoded + 100);
    std::vector<int32_t> tail = ReadFrames(*source, 50);
    for (int32_t v : tail) EXPECT_EQ(v, 0);
    DeleteFileA(path.c_str());
  }
}

TEST(WaveAcm, UnknownCodecIsCodecMissing) {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  std::string path = std::string(dir) + "lirva-acm-unknown.wav";
  const BYTE fmt[18] = {0x77, 0x77, 1, 0, 0x22, 0x56, 0, 0, 0x22, 0x56, 0, 0, 1, 0, 8, 0, 0, 0};
  std::vector<BYTE> file;
  DWORD riff = 4 + 8 + 18 + 8 + 100, fmtSize = 18, dataSize = 100;
  Append(file, "RIFF", 4);
  Append(file, &riff, 4);
  Append(file, "WAVEfmt ", 8);
  Append(file, &fmtSize, 4);
  Append(file, fmt, 18);
  Append(file, "data", 4);
  Append(file, &dataSize, 4);
  file.resize(file.size() + 100, 0x55);
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD put;
  WriteFile(f, file.data(), DWORD(file.size()), &put, nullptr);
  CloseHandle(f);
  SourceRef source = SourceRef::adopt(openWaveSource(path.c_str()));
  EXPECT_EQ(source->status(), SourceStatus::CodecMissing);
  std::vector<int32_t> buffer(64, 7);
  source->read(buffer.data(), 64);  // writes nothing, crashes nothing
  DeleteFileA(path.c_str());
}
