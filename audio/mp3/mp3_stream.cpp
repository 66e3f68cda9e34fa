#include "audio/mp3/mp3_stream.h"

#include <cstring>

namespace {

// The size of an ID3v2 tag from its 10 header bytes (footer included), or 0 when
// they are not a tag header.
uint32_t id3v2TagSize(const uint8_t b[10]) {
  if (b[0] != 'I' || b[1] != 'D' || b[2] != '3' || b[3] == 0xFF || b[4] == 0xFF) return 0;
  for (int i = 6; i < 10; ++i)
    if (b[i] & 0x80) return 0;
  uint32_t size = uint32_t(b[6]) << 21 | uint32_t(b[7]) << 14 | uint32_t(b[8]) << 7 | b[9];
  return 10 + size + ((b[5] & 0x10) ? 10 : 0);
}

}  // namespace

bool Mp3Stream::open(const char* path) {
  if (!file_.Open(path, FileMode::Read)) return false;
  uint32_t size = file_.Size();
  // Tagged files start behind their leading tags, however large (cover art), so
  // that a picture's bytes are never searched for a frame header.
  uint32_t start = 0;
  uint8_t head[10];
  while (size - start >= 10 && file_.SeekFromStart(start) && file_.ReadFull(head, 10)) {
    uint32_t tag = id3v2TagSize(head);
    if (tag == 0 || tag > size - start) break;
    start += tag;
  }
  audioStart_ = start;
  // A trailing ID3v1 tag is not audio. Only a real one ("TAG") is cut off: cutting
  // 128 bytes from every file would lose the last frame of an untagged file.
  uint32_t end = size;
  uint8_t tag[3];
  if (size >= start + 128 && file_.SeekFromStart(size - 128) && file_.ReadFull(tag, 3) && tag[0] == 'T' &&
      tag[1] == 'A' && tag[2] == 'G')
    end = size - 128;
  total_ = end > start ? end - start : 0;
  position_ = 0;
  bufferBytes_ = 0;
  return true;
}

bool Mp3Stream::fill(uint32_t offset, int n) {
  if (offset >= bufferStart_ && offset + uint32_t(n) <= bufferStart_ + bufferBytes_) return true;
  bufferStart_ = offset;
  bufferBytes_ = 0;
  uint32_t want = total_ - offset < sizeof(buffer_) ? total_ - offset : uint32_t(sizeof(buffer_));
  uint32_t moved = 0;
  if (want && file_.SeekFromStart(audioStart_ + offset) && file_.Read(buffer_, want, &moved)) bufferBytes_ = moved;
  return offset + uint32_t(n) <= bufferStart_ + bufferBytes_;
}

int Mp3Stream::read(uint8_t* out, int n) {
  if (n <= 0) return 0;
  uint32_t count = remaining() < uint32_t(n) ? remaining() : uint32_t(n);
  uint32_t done = 0;
  while (done < count) {
    uint32_t chunk = count - done < 32768 ? count - done : 32768;
    if (!fill(position_, int(chunk))) {
      // Fewer bytes on disk than the size said: take what is there.
      uint32_t have = bufferStart_ + bufferBytes_ > position_ && position_ >= bufferStart_
                          ? bufferStart_ + bufferBytes_ - position_ : 0;
      if (have == 0) break;
      chunk = chunk < have ? chunk : have;
    }
    std::memcpy(out + done, buffer_ + (position_ - bufferStart_), chunk);
    position_ += chunk;
    done += chunk;
  }
  return int(done);
}

void Mp3Stream::skip(int n) {
  if (n <= 0) return;
  seek(uint64_t(position_) + uint32_t(n) > total_ ? total_ : position_ + uint32_t(n));
}

bool Mp3Stream::peek(uint32_t offset, uint8_t* out, int n) {
  if (offset > total_ || total_ - offset < uint32_t(n)) return false;
  if (!fill(offset, n)) return false;
  std::memcpy(out, buffer_ + (offset - bufferStart_), size_t(n));
  return true;
}

bool Mp3Stream::findFrameHeader(FrameHeader* h, bool confirm) {
  for (uint32_t tries = 0; tries < 65536; ++tries) {
    uint32_t at = position_ + tries;
    uint8_t b[4];
    if (!peek(at, b, 4)) {
      seek(total_);
      return false;
    }
    FrameHeader candidate;
    if (!parseFrameHeader(b, &candidate)) continue;
    if (confirm) {
      uint32_t next = at + uint32_t(frameLength(candidate));
      uint8_t nb[4];
      FrameHeader following;
      // The data may end right behind the frame, but a frame that would run past
      // the end is no confirmation: chance matches in the last bytes are common.
      if (next > total_) continue;
      if (peek(next, nb, 4) &&
          (!parseFrameHeader(nb, &following) || following.version != candidate.version ||
           following.sampleRateIndex != candidate.sampleRateIndex))
        continue;
    }
    seek(at + 4);
    if (!candidate.noCrc) skip(2);
    *h = candidate;
    return true;
  }
  seek(position_ + 65536);
  return false;
}
