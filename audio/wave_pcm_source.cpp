#include "audio/wave_pcm_source.h"

#include <algorithm>
#include <cstring>

#include "audio/samples.h"

namespace {

// The file is read in pieces of this many frames whatever the caller asks for.
constexpr int kPieceFrames = 8192;

bool hostIsLittleEndian() {
  const uint16_t one = 1;
  uint8_t first;
  std::memcpy(&first, &one, 1);
  return first == 1;
}

void zeroFill(int32_t* out, int64_t samples) {
  if (samples > 0) std::memset(out, 0, size_t(samples) * sizeof(int32_t));
}

}  // namespace

WavePcmSource::WavePcmSource(std::unique_ptr<File> file, int32_t sampleRate, int channels,
                             int bytesPerSample, uint32_t dataStart, uint32_t dataSize)
    : AudioSource(sampleRate, kWorkFullScale, channels),
      file_(std::move(file)),
      dataStart_(dataStart),
      bytesPerSample_(bytesPerSample == 1 ? 1 : 2) {
  frameBytes_ = bytesPerSample_ * this->channels();
  length_ = int32_t(std::min<uint32_t>(dataSize / uint32_t(frameBytes_), INT32_MAX));
  readBuffer_.resize(size_t(this->channels()) * kPieceFrames);
  if (!file_ || !file_->IsOpen()) setStatus(SourceStatus::OpenFailed);
  seek(0);
}

void WavePcmSource::seek(int32_t frame) {
  position_ = frame;
  int64_t at = frame > 0 ? std::min(frame, length_) : 0;
  if (file_) file_->SeekFromStart(uint32_t(dataStart_ + at * frameBytes_));
}

void WavePcmSource::convert(int32_t* out, int frames) {
  int samples = frames * channels();
  if (bytesPerSample_ == 1) {
    pcm8ToWork(reinterpret_cast<const uint8_t*>(readBuffer_.data()), out, samples);
    return;
  }
  if (!hostIsLittleEndian()) {
    for (int i = 0; i < samples; ++i) {
      uint16_t v = uint16_t(readBuffer_[i]);
      readBuffer_[i] = int16_t(uint16_t((v >> 8) | (v << 8)));
    }
  }
  pcm16ToWork(readBuffer_.data(), out, samples);
}

void WavePcmSource::read(int32_t* buffer, int frames) {
  if (frames <= 0) return;
  const int64_t ch = channels();
  const int64_t old = position_;
  const int64_t moved = std::min<int64_t>(old + frames, INT32_MAX);
  position_ = int32_t(moved);

  int64_t done = 0;  // frames written so far
  if (old < 0) {
    done = std::min<int64_t>(-old, frames);
    zeroFill(buffer, done * ch);
  }
  const int64_t at = std::max<int64_t>(old, 0);
  int64_t wanted = at < length_ ? std::min<int64_t>(frames - done, length_ - at) : 0;
  while (wanted > 0 && file_) {
    int piece = int(std::min<int64_t>(wanted, kPieceFrames));
    uint32_t got = 0;
    file_->Read(readBuffer_.data(), uint32_t(piece * frameBytes_), &got);
    int gotFrames = int(got / uint32_t(frameBytes_));
    convert(buffer + done * ch, gotFrames);
    done += gotFrames;
    wanted -= gotFrames;
    if (gotFrames < piece) break;  // the file ends early, or a read failed
  }
  zeroFill(buffer + done * ch, (frames - done) * ch);
}
