#include "audio/mp3/mp3_source.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

uint32_t be32(const uint8_t* b) { return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]; }

bool sameStream(const FrameHeader& a, const FrameHeader& b) {
  return a.version == b.version && a.sampleRateIndex == b.sampleRateIndex &&
         (a.mode == kModeSingleChannel) == (b.mode == kModeSingleChannel);
}

// A frame count is only believed when its length in samples fits the length field.
int32_t usableFrameCount(uint32_t count, const FrameHeader& h) {
  if (count == 0 || count > uint32_t(INT32_MAX / samplesPerFrame(h))) return 0;
  return int32_t(count);
}

// Reads up to eight frames: the first may be a Xing ("Info") or VBRI information frame
// with the frame count; otherwise the bitrates are averaged. Leaves the stream at
// the first audio frame.
bool probe(Mp3Stream& s, Mp3Source::Probe* p) {
  FrameHeader h;
  if (!s.findFrameHeader(&h, true)) return false;
  p->refHeader = h;
  int64_t bitrateSum = h.bitrate;
  int frames = 1;

  // An information frame holds zero side information, then "Xing" (or "Info", as
  // lame writes it in constant-bitrate files) right behind it, or "VBRI" 32 bytes
  // behind the header whatever the mode.
  const int sideSize = sideInfoSize(h);
  const int main = mainDataSize(h);
  uint8_t body[64] = {};
  const uint32_t bodyStart = s.position();
  const int got = s.read(body, std::min(sideSize + main, int(sizeof body)));
  bool zeroSide = got >= sideSize;
  for (int i = 0; i < sideSize && zeroSide; ++i) zeroSide = body[i] == 0;
  const uint8_t* xing = body + sideSize;
  const uint8_t* vbri = body + 32;
  if (zeroSide && got >= sideSize + 12 &&
      (std::memcmp(xing, "Xing", 4) == 0 || std::memcmp(xing, "Info", 4) == 0) && (be32(xing + 4) & 1))
    p->vbrFrames = usableFrameCount(be32(xing + 8), h);
  else if (zeroSide && got >= 32 + 18 && std::memcmp(vbri, "VBRI", 4) == 0)
    p->vbrFrames = usableFrameCount(be32(vbri + 14), h);
  const bool ordinary = p->vbrFrames == 0;
  s.seek(bodyStart);
  s.skip(sideSize + main);
  if (!ordinary) {
    p->dataStart = s.position();
    return true;
  }
  // The first frame fixes version, rate and channels (a stream that changes
  // mode keeps its first mode); the bitrate is averaged over up to eight frames.
  while (frames < 8 && s.findFrameHeader(&h, true)) {
    bitrateSum += h.bitrate;
    ++frames;
    s.skip(mainDataSize(h) + sideInfoSize(h));
  }
  p->refHeader.bitrate = int32_t(bitrateSum / frames);
  p->dataStart = 0;
  s.seek(0);
  return true;
}

}  // namespace

AudioSource* openMp3Source(const char* path) {
  std::unique_ptr<Mp3Stream> stream(new Mp3Stream);
  if (!stream->open(path)) return newSilentSource(SourceStatus::OpenFailed);
  Mp3Source::Probe p;
  if (!probe(*stream, &p)) return newSilentSource(SourceStatus::BadFormat);
  AudioSource* source = new Mp3Source(std::move(stream), p);
  source->addRef();
  return source;
}

Mp3Source::Mp3Source(std::unique_ptr<Mp3Stream> stream, const Mp3Source::Probe& p)
    : AudioSource(sampleRateOf(p.refHeader), kDecoderPeakLimit, channelsOf(p.refHeader)),
      stream_(std::move(stream)),
      vbrFrames_(p.vbrFrames),
      dataStart_(p.dataStart),
      refHeader_(p.refHeader) {
  frameSamples_ = samplesPerFrame(refHeader_);
  frameReadIndex_ = frameSamples_;
  uint32_t remaining = stream_->remaining();
  if (vbrFrames_ > 0) {
    length_ = vbrFrames_ * frameSamples_;
    avgFrameBytes_ = double(remaining) / vbrFrames_;
  } else {
    avgFrameBytes_ = double(frameLengthFactor(refHeader_)) * refHeader_.bitrate / sampleRateOf(refHeader_);
    double frames = double(remaining) / avgFrameBytes_ + 0.9;
    length_ = frames * frameSamples_ < double(INT32_MAX) ? int32_t(frames) * frameSamples_ : INT32_MAX;
  }
  if (avgFrameBytes_ < 1) avgFrameBytes_ = 1;
  resetSynthesis(&synthesis_);
  buildReorderMaps(rateRow(refHeader_), &maps_);
}

bool Mp3Source::findAcceptedHeader(FrameHeader* h, uint32_t* at) {
  for (int attempt = 0; attempt < 11; ++attempt) {
    // A header right where the last frame ended continues the stream; one found
    // further on (behind damage or junk) must be confirmed by the one after it,
    // as at the start and after a seek.
    const uint32_t here = stream_->position();
    FrameHeader next;
    const bool contiguous = !syncCheck_ && stream_->headerAt(here, &next) && sameStream(next, refHeader_);
    if (!stream_->findFrameHeader(h, !contiguous)) return false;
    syncCheck_ = false;
    *at = stream_->position() - 4 - (h->noCrc ? 0 : 2);
    // Bytes were passed over: what the reservoir holds may not be what the
    // frames from here on refer to, so none of it is used.
    if (*at != here) reservoirBytes_ = 0;
    if (sameStream(*h, refHeader_)) return true;
    // A frame of another kind is passed over whole.
    stream_->skip(frameLength(*h) - 4 - (h->noCrc ? 0 : 2));
  }
  return false;
}

// Whether the frame at `at` is cut short: the data ends inside it, or the header
// that should follow it is missing while a confirmed one starts inside it. The
// offset to go on from is then `*resume`.
bool Mp3Source::cutShort(const FrameHeader& h, uint32_t at, uint32_t* resume) {
  const uint32_t end = at + uint32_t(frameLength(h));
  if (end > stream_->total()) {
    *resume = stream_->total();
    return true;
  }
  FrameHeader next;
  if (end == stream_->total() || (stream_->headerAt(end, &next) && sameStream(next, refHeader_))) return false;
  const uint32_t saved = stream_->position();
  stream_->seek(at + 1);
  bool found = false;
  while (stream_->position() < end && stream_->findFrameHeader(&next, true)) {
    const uint32_t start = stream_->position() - 4 - (next.noCrc ? 0 : 2);
    if (start >= end) break;
    if (sameStream(next, refHeader_)) {
      found = true;
      *resume = start;
      break;
    }
    stream_->seek(start + 1);
  }
  stream_->seek(saved);
  return found;
}

void Mp3Source::silentFrame(int32_t* destination) {
  std::memset(destination, 0, sizeof(int32_t) * size_t(frameSamples_) * size_t(channels()));
  // What follows starts as a stream would from here: no overlap, no history.
  std::memset(overlap_, 0, sizeof(overlap_));
  resetSynthesis(&synthesis_);
}

bool Mp3Source::decodeFrame(int32_t* destination) {
  FrameHeader h;
  uint32_t at = 0;
  if (!findAcceptedHeader(&h, &at)) return false;
  ++framesDecoded_;
  uint32_t resume = 0;
  if (cutShort(h, at, &resume)) {
    // Its bytes are not this frame's: silence in its place, and a reservoir that
    // holds nothing a later frame may take.
    reservoirBytes_ = 0;
    stream_->seek(resume);
    silentFrame(destination);
    return true;
  }
  uint8_t sideBytes[32];
  int sideSize = sideInfoSize(h);
  if (stream_->read(sideBytes, sideSize) != sideSize) return false;
  SideInfo si;
  readSideInfo(h, sideBytes, sideSize, &si);

  // Keep the last main_data_begin bytes, then append this frame's main data.
  uint32_t keep = uint32_t(si.main_data_begin);
  bool complete = keep <= reservoirBytes_;
  if (!complete) keep = reservoirBytes_;
  std::memmove(reservoir_, reservoir_ + (reservoirBytes_ - keep), keep);
  int main = mainDataSize(h);
  if (uint32_t(main) > sizeof(reservoir_) - keep) {
    // Cannot happen with legal frames; keep the newest bytes if it does.
    uint32_t drop = keep + uint32_t(main) - uint32_t(sizeof(reservoir_));
    drop = drop < keep ? drop : keep;
    std::memmove(reservoir_, reservoir_ + drop, keep - drop);
    keep -= drop;
    complete = false;
  }
  int got = stream_->read(reservoir_ + keep, main < int(sizeof(reservoir_) - keep) ? main : int(sizeof(reservoir_) - keep));
  reservoirBytes_ = keep + uint32_t(got);
  // A frame whose main data begins before the bytes received (the first frames
  // after a seek or damage) cannot be decoded: silence keeps the timing.
  if (!complete) {
    silentFrame(destination);
    return true;
  }
  decodeGranules(h, si, keep - uint32_t(si.main_data_begin), destination);
  return true;
}

void Mp3Source::decodeGranules(const FrameHeader& h, const SideInfo& si, uint32_t mainStart, int32_t* destination) {
  const int outChannels = channels();
  const int frameChannels = channelsOf(h);
  const BandTables& bands = bandTablesFor(rateRow(h));
  BitReader br(reservoir_, reservoirBytes_);
  uint32_t bit = mainStart * 8;
  for (int gr = 0; gr < granulesPerFrame(h); ++gr) {
    int nonzeroLines = 0;  // of either channel: every line from here on is 0
    for (int ch = 0; ch < frameChannels; ++ch) {
      const GranuleInfo& gi = si.gr[gr][ch];
      br.position = bit;
      uint32_t end = bit + uint32_t(gi.part2_3_length);
      readScalefactors(h, gi, br, &scalefactors_[ch]);
      int lines = huffmanDecode(gi, bands, maps_, br, end, xr_[ch]);
      if (br.position != end && lines < 573) ++huffmanMismatches_;
      // Short blocks are reordered: their lines spread over the whole spectrum.
      const int channelLines = gi.block_type == 2 ? 576 : lines;
      nonzeroLines = std::max(nonzeroLines, channelLines);
      requantise(h, gi, scalefactors_[ch], bands, xr_[ch], channelLines);
      bit = end;
    }
    if (frameChannels == 2) stereoProcess(h, si.gr[gr][1], scalefactors_[1], bands, xr_);
    for (int ch = 0; ch < frameChannels; ++ch) {
      aliasReduce(si.gr[gr][ch], bands, xr_[ch], nonzeroLines);
      hybridSynthesis(si.gr[gr][ch], bands, xr_[ch], overlap_[ch], subbands_, ch);
    }
    synthesiseGranule(&synthesis_, subbands_, outChannels, destination + gr * 576 * outChannels);
  }
}

void Mp3Source::afterDecode() {
  streamFrame_ += frameSamples_;
  if (vbrFrames_ == 0) {
    double ahead = double(stream_->remaining()) / avgFrameBytes_ + 0.9;
    double estimate = double(streamFrame_) + double(int64_t(ahead)) * frameSamples_;
    length_ = estimate < double(INT32_MAX) ? int32_t(estimate) : INT32_MAX;
  }
}

namespace {

// The position after `frames` more, held at the int32 limit for a caller that
// reads silence for ever.
int32_t advanced(int32_t position, int frames) {
  int64_t p = int64_t(position) + frames;
  return p > INT32_MAX ? INT32_MAX : int32_t(p);
}

}  // namespace

void Mp3Source::read(int32_t* buffer, int frames) {
  if (frames <= 0) return;
  const int c = channels();
  if (length_ < position_) {
    std::memset(buffer, 0, sizeof(int32_t) * size_t(frames) * size_t(c));
    position_ = advanced(position_, frames);
    return;
  }
  int32_t old = position_;
  position_ = advanced(position_, frames);
  if (old < 0) {
    int lead = -int64_t(old) >= frames ? frames : int(-old);
    std::memset(buffer, 0, sizeof(int32_t) * size_t(lead) * size_t(c));
    buffer += lead * c;
    frames -= lead;
  }
  while (frames > 0) {
    if (frameReadIndex_ < frameSamples_) {
      int n = frameSamples_ - frameReadIndex_;
      n = n < frames ? n : frames;
      std::memcpy(buffer, frameBuffer_ + frameReadIndex_ * c, sizeof(int32_t) * size_t(n) * size_t(c));
      frameReadIndex_ += n;
      buffer += n * c;
      frames -= n;
      continue;
    }
    bool direct = frames >= frameSamples_;
    if (!decodeFrame(direct ? buffer : frameBuffer_)) {
      length_ = position_ - frames;
      std::memset(buffer, 0, sizeof(int32_t) * size_t(frames) * size_t(c));
      return;
    }
    afterDecode();
    if (direct) {
      buffer += frameSamples_ * c;
      frames -= frameSamples_;
    } else {
      frameReadIndex_ = 0;
    }
  }
}

void Mp3Source::seek(int32_t frame) {
  position_ = frame;
  int32_t target = frame < 0 ? 0 : frame > length_ ? length_ : frame;
  int32_t n = target / frameSamples_, offset = target % frameSamples_;
  int32_t start = n > 4 ? n - 4 : 0;
  int32_t warmUp = n - start;
  stream_->seek(dataStart_ + uint32_t(double(start) * avgFrameBytes_));
  std::memset(overlap_, 0, sizeof(overlap_));
  resetSynthesis(&synthesis_);
  syncCheck_ = true;
  streamFrame_ = start * frameSamples_;
  frameReadIndex_ = frameSamples_;
  for (int i = 0; i < warmUp; ++i) {
    if (!decodeFrame(frameBuffer_)) return;
    streamFrame_ += frameSamples_;
  }
  if (decodeFrame(frameBuffer_)) {
    afterDecode();
    frameReadIndex_ = offset;
  }
}
