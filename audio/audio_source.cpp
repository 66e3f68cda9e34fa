#include "audio/audio_source.h"

#include <cstring>

const char* sourceStatusName(SourceStatus status) {
  switch (status) {
    case SourceStatus::Ok: return "Ok";
    case SourceStatus::Placeholder: return "Placeholder";
    case SourceStatus::InnerFailed: return "InnerFailed";
    case SourceStatus::BadFormat: return "BadFormat";
    case SourceStatus::OpenFailed: return "OpenFailed";
    case SourceStatus::CodecMissing: return "CodecMissing";
  }
  return "Unknown";
}

AudioSource::AudioSource(int32_t sampleRate, int32_t peakLimit, int channels)
    : sampleRate_(sampleRate), peakLimit_(peakLimit), channels_(uint8_t(channels)) {
  if (sampleRate_ <= 0) {
    sampleRate_ = 44100;
    status_ = SourceStatus::BadFormat;
  }
  if (channels <= 0 || channels > 255) {
    channels_ = 1;
    status_ = SourceStatus::BadFormat;
  }
}

void AudioSource::release() {
  if (--refCount_ == 0) delete this;
}

SilentSource::SilentSource(SourceStatus status) : AudioSource(11025, kDecoderPeakLimit, 1) {
  setStatus(status);
}

void SilentSource::read(int32_t* buffer, int frames) {
  if (frames > 0) std::memset(buffer, 0, size_t(frames) * sizeof(int32_t));
}

AudioSource* newSilentSource(SourceStatus status) {
  AudioSource* source = new SilentSource(status);
  source->addRef();
  return source;
}

namespace {
AudioSource* referenceOrPlaceholder(AudioSource* source) {
  if (!source) return newSilentSource(SourceStatus::Placeholder);
  source->addRef();
  return source;
}
}  // namespace

SourceFilter::SourceFilter(AudioSource* inner)
    : AudioSource(inner ? inner->sampleRate() : 11025, inner ? inner->peakLimit() : kDecoderPeakLimit,
                  inner ? inner->channels() : 1),
      inner_(referenceOrPlaceholder(inner)) {
  if (inner_->status() != SourceStatus::Ok) setStatus(SourceStatus::InnerFailed);
}

SourceFilter::~SourceFilter() { inner_->release(); }

SourceRef::SourceRef() : source_(newSilentSource(SourceStatus::Placeholder)) {}

SourceRef::SourceRef(AudioSource* source) : source_(referenceOrPlaceholder(source)) {}

SourceRef::SourceRef(AudioSource* source, Adopting)
    : source_(source ? source : newSilentSource(SourceStatus::Placeholder)) {}

SourceRef SourceRef::adopt(AudioSource* source) { return SourceRef(source, Adopting{}); }

SourceRef& SourceRef::operator=(const SourceRef& other) {
  // Take the new reference first: other may hold the last reference to our source.
  other.source_->addRef();
  source_->release();
  source_ = other.source_;
  return *this;
}
