// The pull interface through which every decoder and filter delivers audio to the
// player, and the small objects built directly on it.
//
// Sources deliver work samples: signed 32-bit integers, interleaved by channel, at
// sixteen times 16-bit scale (16-bit full scale is 0x7FFF0). A source may go above
// that; its peakLimit says how far at most.
//
// Sources are shared by intrusive reference counts. A new object starts at 0;
// factories return it with the caller's reference already taken; releasing the
// last reference destroys it. A holder never holds "nothing": when it drops its
// source it takes a silent placeholder instead (SourceRef does this).
#pragma once
#include <cstdint>

enum class SourceStatus : uint8_t {
  Ok = 0,            // playable
  Placeholder = 1,   // stands where no file has been opened yet
  InnerFailed = 2,   // a filter whose wrapped source is not Ok
  BadFormat = 3,     // not a supported file, or a malformed or unsupported format
  OpenFailed = 4,    // the file could not be opened for reading
  CodecMissing = 5,  // no system codec converts this compressed WAV
};

// "Ok", "Placeholder", "InnerFailed", "BadFormat", "OpenFailed", "CodecMissing".
const char* sourceStatusName(SourceStatus status);

constexpr int32_t kWorkFullScale = 0x7FFF0;   // 32767 × 16
constexpr int32_t kDecoderPeakLimit = 0x200000;
constexpr int32_t kUnityQ24 = 0x1000000;

class AudioSource {
 public:
  AudioSource(const AudioSource&) = delete;
  AudioSource& operator=(const AudioSource&) = delete;
  virtual ~AudioSource() = default;

  // Writes exactly frames × channels work samples and moves the position on by
  // `frames`. Where there is no audio (before frame 0, past the end, after a
  // failure) it writes zeros. Any frame count is accepted.
  virtual void read(int32_t* buffer, int frames) = 0;
  // The frame that the next read starts at.
  virtual int32_t position() = 0;
  virtual int32_t length() = 0;
  // Moves the position. Sources that have nothing to move ignore it.
  virtual void seek(int32_t frame) {}

  void addRef() { ++refCount_; }
  // Drops one reference; the last one destroys the source.
  void release();

  int32_t sampleRate() const { return sampleRate_; }
  int32_t peakLimit() const { return peakLimit_; }
  int channels() const { return channels_; }
  SourceStatus status() const { return status_; }
  uint16_t refCount() const { return refCount_; }

 protected:
  // A rate of 0 or less becomes 44100 and a channel count of 0 becomes 1, both
  // marking the source BadFormat, so that whoever holds it can still size buffers.
  AudioSource(int32_t sampleRate, int32_t peakLimit, int channels);
  void setStatus(SourceStatus status) { status_ = status; }
  void setPeakLimit(int32_t limit) { peakLimit_ = limit; }

 private:
  int32_t sampleRate_;
  int32_t peakLimit_;
  uint8_t channels_;
  SourceStatus status_ = SourceStatus::Ok;
  uint16_t refCount_ = 0;
};

// Mono zeros at 11025 Hz, position and length always 0. Stands for a file that
// could not be opened (the status says why) and for "no source yet".
class SilentSource : public AudioSource {
 public:
  explicit SilentSource(SourceStatus status);
  void read(int32_t* buffer, int frames) override;
  int32_t position() override { return 0; }
  int32_t length() override { return 0; }
};

// A new SilentSource with the caller's reference taken.
AudioSource* newSilentSource(SourceStatus status);

// Base of the filters: takes the wrapped source's rate, channels and peak limit,
// holds a reference to it, and is InnerFailed when it is not Ok. Position, length
// and seek go to the wrapped source unless a filter says otherwise.
class SourceFilter : public AudioSource {
 public:
  int32_t position() override { return inner_->position(); }
  int32_t length() override { return inner_->length(); }
  void seek(int32_t frame) override { inner_->seek(frame); }

 protected:
  // A null `inner` is taken as a placeholder.
  explicit SourceFilter(AudioSource* inner);
  ~SourceFilter() override;
  AudioSource& inner() { return *inner_; }

 private:
  AudioSource* inner_;
};

// Holds one reference to a source and is never empty: without a source of its own
// it holds a fresh placeholder.
class SourceRef {
 public:
  SourceRef();
  // Takes a reference of its own to `source`; null gives a placeholder.
  explicit SourceRef(AudioSource* source);
  // Takes over the reference that a factory returned with `source`.
  static SourceRef adopt(AudioSource* source);

  SourceRef(const SourceRef& other) : SourceRef(other.source_) {}
  SourceRef& operator=(const SourceRef& other);
  ~SourceRef() { source_->release(); }

  // Drops the source for a placeholder.
  void reset() { *this = SourceRef(); }
  AudioSource* get() const { return source_; }
  AudioSource* operator->() const { return source_; }
  AudioSource& operator*() const { return *source_; }

 private:
  struct Adopting {};
  SourceRef(AudioSource* source, Adopting);
  AudioSource* source_;
};
