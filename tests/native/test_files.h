// Small helpers for tests that work on real files: make a file in the temp folder
// from bytes, read a file's bytes back.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes Le16(uint16_t v) { return Bytes{uint8_t(v), uint8_t(v >> 8)}; }
inline Bytes Le32(uint32_t v) { return Bytes{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

// 16-bit samples as a WAV file's data holds them.
inline Bytes Pcm16(const std::vector<int16_t>& samples) {
  Bytes out;
  for (int16_t v : samples) out.push_back(uint8_t(v)), out.push_back(uint8_t(uint16_t(v) >> 8));
  return out;
}

// A PCM WAV file as common writers make it: "RIFF" "WAVE", a 16-byte "fmt " chunk
// and the "data" chunk.
inline Bytes PcmWave(uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& data) {
  const uint16_t align = uint16_t(channels * ((bits + 7) / 8));
  const Bytes fmt = Concat({Le16(1), Le16(channels), Le32(rate), Le32(rate * align), Le16(align), Le16(bits)});
  return Concat({BytesOf("RIFF"), Le32(uint32_t(36 + data.size())), BytesOf("WAVEfmt "), Le32(16), fmt,
                 BytesOf("data"), Le32(uint32_t(data.size())), data});
}

// A fresh file name in the temp folder ending in `extension` (".mp3", ".wav");
// the file does not exist yet.
inline std::string TempPath(const std::string& extension) {
  static int counter = 0;
#ifdef _WIN32
  const char* dir = std::getenv("TEMP");
  std::string base = (dir && *dir) ? dir : ".";
#else
  const char* dir = std::getenv("TMPDIR");
  std::string base = (dir && *dir) ? dir : "/tmp";
#endif
  return base + "/lirva_test_" + std::to_string(getpid()) + "_" + std::to_string(++counter) +
         extension;
}

inline bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

inline Bytes ReadFileBytes(const std::string& path) {
  Bytes out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  std::fclose(f);
  return out;
}

inline bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// A file made from bytes that is deleted when the test ends.
class TempFile {
 public:
  TempFile(const Bytes& bytes, const std::string& extension) : path_(TempPath(extension)) {
    WriteFileBytes(path_, bytes);
  }
  ~TempFile() { std::remove(path_.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::string& path() const { return path_; }
  const char* c_str() const { return path_.c_str(); }
  Bytes Read() const { return ReadFileBytes(path_); }

 private:
  std::string path_;
};
