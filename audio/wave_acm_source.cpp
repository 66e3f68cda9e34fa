#include "audio/wave_acm_source.h"

#include <algorithm>
#include <cstring>

#include "audio/codec_wave_source.h"
#include "audio/samples.h"

namespace {
constexpr int kPieceFrames = 8192;
}

AudioSource* openCodecWaveSource(std::unique_ptr<File> file, const WaveFormat& format,
                                 uint32_t dataStart, uint32_t dataSize) {
  auto* source = new WaveAcmSource(std::move(file), format, dataStart, dataSize);
  source->addRef();
  return source;
}

WaveAcmSource::WaveAcmSource(std::unique_ptr<File> file, const WaveFormat& format,
                             uint32_t dataStart, uint32_t dataSize)
    : AudioSource(int32_t(format.samplesPerSec), kWorkFullScale, format.channels),
      file_(std::move(file)),
      dataStart_(dataStart),
      dataSize_(dataSize),
      sourceRate_(int32_t(format.samplesPerSec)),
      sourceByteRate_(format.avgBytesPerSec ? format.avgBytesPerSec : format.samplesPerSec),
      sourceBlockAlign_(format.blockAlign) {
  if (!file_ || !file_->IsOpen()) {
    setStatus(SourceStatus::OpenFailed);
    return;
  }
  if (status() != SourceStatus::Ok) return;
  if (!openStream(format)) setStatus(SourceStatus::CodecMissing);
  if (file_) file_->SeekFromStart(dataStart_);
}

bool WaveAcmSource::openStream(const WaveFormat& format) {
  // The codec reads the whole stored format, extra bytes included.
  std::vector<BYTE> sourceFormat(std::max<size_t>(format.body.size(), sizeof(WAVEFORMATEX)), 0);
  std::memcpy(sourceFormat.data(), format.body.data(), format.body.size());
  auto* wfx = reinterpret_cast<WAVEFORMATEX*>(sourceFormat.data());
  if (format.body.size() < sizeof(WAVEFORMATEX)) wfx->cbSize = 0;

  WAVEFORMATEX pcm = {};
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  pcm.nChannels = WORD(channels());
  pcm.nSamplesPerSec = DWORD(sampleRate());
  pcm.wBitsPerSample = 16;
  pcm.nBlockAlign = WORD(channels() * 2);
  pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;

  if (acmStreamOpen(&stream_, nullptr, wfx, &pcm, nullptr, 0, 0, 0) != 0 &&
      acmStreamOpen(&stream_, nullptr, wfx, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0) {
    stream_ = nullptr;
    return false;
  }
  destCapacity_ = uint32_t(channels()) * 2 * kPieceFrames;
  DWORD sourceSize = 0;
  if (acmStreamSize(stream_, destCapacity_, &sourceSize, ACM_STREAMSIZEF_DESTINATION) != 0 ||
      sourceSize == 0)
    return false;
  sourceCapacity_ = sourceSize;
  source_.assign(sourceCapacity_, 0);
  dest_.assign(destCapacity_, 0);
  header_.cbStruct = sizeof header_;
  header_.pbSrc = source_.data();
  header_.cbSrcLength = sourceCapacity_;
  header_.pbDst = dest_.data();
  header_.cbDstLength = destCapacity_;
  if (acmStreamPrepareHeader(stream_, &header_, 0) != 0) return false;
  header_.cbSrcLength = 0;
  header_.cbDstLengthUsed = 0;
  return true;
}

WaveAcmSource::~WaveAcmSource() {
  if (stream_) {
    if (header_.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) {
      header_.cbSrcLength = sourceCapacity_;
      header_.cbDstLength = destCapacity_;
      acmStreamUnprepareHeader(stream_, &header_, 0);
    }
    acmStreamClose(stream_, 0);
  }
}

int64_t WaveAcmSource::frameOfByte(uint64_t b) const {
  // For whole blocks the codec knows exactly how many frames they hold; the byte
  // rate in the header is rounded (an ADPCM block of 1017 frames is not a whole
  // number of bytes per second), which would put a seek a few frames off.
  if (stream_ && sourceBlockAlign_ && b % sourceBlockAlign_ == 0 && b > 0 && b <= 0xFFFFFFFFu) {
    DWORD produced = 0;
    if (acmStreamSize(stream_, DWORD(b), &produced, ACM_STREAMSIZEF_SOURCE) == 0 && produced)
      return int64_t(produced / (uint32_t(channels()) * 2));
  }
  if (sourceByteRate_ == 0) return int64_t(b);
  return int64_t(b / sourceByteRate_) * sourceRate_ +
         int64_t((b % sourceByteRate_) * uint64_t(sourceRate_) / sourceByteRate_);
}

bool WaveAcmSource::refill(uint32_t bytesStillWanted) {
  // Top the source buffer up from the file, never past the data.
  uint32_t room = sourceCapacity_ - header_.cbSrcLength;
  uint32_t left = dataSize_ - consumed_;
  uint32_t take = std::min(room, left);
  if (take > 0) {
    uint32_t got = 0;
    file_->Read(source_.data() + header_.cbSrcLength, take, &got);
    if (got < take) dataSize_ = consumed_ + got;  // the file ended early: that is the end
    consumed_ += got;
    header_.cbSrcLength += got;
  }
  header_.cbDstLength = destCapacity_;
  header_.cbDstLengthUsed = 0;
  header_.cbSrcLengthUsed = 0;
  if (header_.cbSrcLength > 0 &&
      acmStreamConvert(stream_, &header_, ACM_STREAMCONVERTF_BLOCKALIGN) != 0) {
    // Damaged data: drop a quarter of what waits so that playback moves past it.
    header_.cbSrcLengthUsed = (header_.cbSrcLength + 3) / 4;
    header_.cbDstLengthUsed = 0;
  }
  bool sourceFull = header_.cbSrcLength == sourceCapacity_;
  if (header_.cbDstLengthUsed == 0 && !sourceFull && consumed_ >= dataSize_) {
    header_.cbDstLength = destCapacity_;
    header_.cbSrcLengthUsed = 0;
    acmStreamConvert(stream_, &header_, ACM_STREAMCONVERTF_END);
    if (header_.cbDstLengthUsed == 0) {
      int32_t missing = int32_t(bytesStillWanted / (uint32_t(channels()) * 2));
      endFrame_ = std::max(0, position_ - missing);
      header_.cbSrcLength = 0;
      return false;
    }
  }
  // Keep the bytes the codec did not take for the next round.
  uint32_t used = std::min(header_.cbSrcLengthUsed, header_.cbSrcLength);
  std::memmove(source_.data(), source_.data() + used, header_.cbSrcLength - used);
  header_.cbSrcLength -= used;
  destRead_ = 0;
  return true;
}

void WaveAcmSource::readPiece(int32_t* buffer, int frames) {
  const int channelCount = channels();
  const int32_t oldPosition = position_;
  position_ += frames;
  int32_t* out = buffer;
  int framesLeft = frames;
  if (oldPosition < 0) {
    int silent = int(std::min<int64_t>(-int64_t(oldPosition), frames));
    std::memset(out, 0, size_t(silent) * channelCount * sizeof(int32_t));
    out += silent * channelCount;
    framesLeft -= silent;
  }
  uint32_t wanted = uint32_t(framesLeft) * channelCount * 2;
  while (wanted >= 2) {
    uint32_t available = header_.cbDstLengthUsed - destRead_;
    uint32_t take = std::min(available, wanted) & ~1u;
    if (take > 0) {
      int samples = int(take / 2);
      pcm16ToWork(reinterpret_cast<const int16_t*>(dest_.data() + destRead_), out, samples);
      out += samples;
      destRead_ += take;
      wanted -= take;
      continue;
    }
    if (endFrame_ >= 0 || !refill(wanted)) break;
  }
  if (wanted > 0) std::memset(out, 0, size_t(wanted / 2) * sizeof(int32_t));
}

void WaveAcmSource::read(int32_t* buffer, int frames) {
  if (status() != SourceStatus::Ok) {
    position_ += frames;
    return;
  }
  while (frames > 0) {  // any count, in pieces the buffers hold
    int piece = std::min(frames, kPieceFrames);
    readPiece(buffer, piece);
    buffer += piece * channels();
    frames -= piece;
  }
}

void WaveAcmSource::resetCodec() {
  header_.cbSrcLength = 0;
  header_.cbDstLength = 0;
  acmStreamConvert(stream_, &header_, ACM_STREAMCONVERTF_START);
  header_.cbDstLength = destCapacity_;
  header_.cbDstLengthUsed = 0;
  destRead_ = 0;
  endFrame_ = -1;
  consumed_ = 0;
}

void WaveAcmSource::seek(int32_t frame) {
  if (status() != SourceStatus::Ok) return;
  resetCodec();
  if (frame <= 0) {
    file_->SeekFromStart(dataStart_);
    position_ = frame;
    return;
  }
  uint64_t bytes = sourceRate_ > 0
                       ? uint64_t(frame / sourceRate_) * sourceByteRate_ +
                             uint64_t(frame % sourceRate_) * sourceByteRate_ / uint64_t(sourceRate_)
                       : uint64_t(frame);
  if (bytes >= dataSize_) {
    file_->SeekFromStart(dataStart_ + dataSize_);
    consumed_ = dataSize_;
    endFrame_ = int32_t(std::min<int64_t>(frameOfByte(dataSize_), INT32_MAX));
    position_ = frame;
    return;
  }
  uint64_t back = sourceBlockAlign_ > 127 ? 2u * sourceBlockAlign_ : 256u;
  bytes = bytes > back ? bytes - back : 0;
  if (sourceBlockAlign_) bytes -= bytes % sourceBlockAlign_;
  file_->SeekFromStart(dataStart_ + uint32_t(bytes));
  consumed_ = uint32_t(bytes);
  position_ = int32_t(frameOfByte(bytes));
  std::vector<int32_t> scratch(size_t(kPieceFrames) * channels());
  while (position_ < frame) {
    int piece = int(std::min<int64_t>(frame - position_, kPieceFrames));
    readPiece(scratch.data(), piece);
  }
  position_ = frame;
}

int32_t WaveAcmSource::length() {
  if (endFrame_ >= 0) return endFrame_;
  if (status() != SourceStatus::Ok) return 0;
  uint64_t pendingBytes = uint64_t(header_.cbSrcLength) + (dataSize_ - consumed_);
  int64_t frames = std::max(position_, 0) + frameOfByte(pendingBytes) +
                   (header_.cbDstLengthUsed - destRead_) / (uint32_t(channels()) * 2);
  return int32_t(std::min<int64_t>(frames, INT32_MAX));
}
