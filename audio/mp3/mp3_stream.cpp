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

uint32_t le32(const uint8_t* b) { return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24; }

// The size of an APE tag (header and footer included) that ends at `end`, from
// its 32-byte footer ("APETAGEX"); 0 when none ends there.
uint32_t apeTagSize(File& file, uint32_t start, uint32_t end) {
  uint8_t f[32];
  if (end - start < 32 || !file.SeekFromStart(end - 32) || !file.ReadFull(f, 32) || std::memcmp(f, "APETAGEX", 8) != 0)
    return 0;
  const uint64_t size = uint64_t(le32(f + 12)) + ((f[23] & 0x80) ? 32 : 0);  // items and footer, and the header
  return size >= 32 && size <= end - start ? uint32_t(size) : 0;
}

// The size of a Lyrics3 block (version 2: "LYRICS200" behind a six-digit size;
// version 1: "LYRICSEND", found by its "LYRICSBEGIN" within 5,100 bytes) that
// ends at `end`; 0 when none ends there.
uint32_t lyrics3Size(File& file, uint32_t start, uint32_t end) {
  uint8_t tail[15];
  if (end - start < 15 + 11 || !file.SeekFromStart(end - 15) || !file.ReadFull(tail, 15)) return 0;
  if (std::memcmp(tail + 6, "LYRICS200", 9) == 0) {
    uint32_t size = 0;
    for (int i = 0; i < 6; ++i) {
      if (tail[i] < '0' || tail[i] > '9') return 0;
      size = size * 10 + uint32_t(tail[i] - '0');
    }
    uint8_t begin[11];
    if (size < 11 || size + 15 > end - start || !file.SeekFromStart(end - 15 - size) || !file.ReadFull(begin, 11) ||
        std::memcmp(begin, "LYRICSBEGIN", 11) != 0)
      return 0;
    return size + 15;
  }
  if (std::memcmp(tail + 6, "LYRICSEND", 9) != 0) return 0;
  const uint32_t span = end - start < 5100 + 9 ? end - start : 5100 + 9;
  uint8_t block[5100 + 9];
  if (!file.SeekFromStart(end - span) || !file.ReadFull(block, span)) return 0;
  for (uint32_t i = 0; i + 11 <= span - 9; ++i)
    if (std::memcmp(block + i, "LYRICSBEGIN", 11) == 0) return span - i;
  return 0;
}

// Where the audio ends when APE tags and Lyrics3 blocks (in either order) sit
// behind it, counted from `start`: their bytes are not searched for frames.
uint32_t audioEndBeforeTrailers(File& file, uint32_t start, uint32_t end) {
  for (;;) {
    uint32_t cut = apeTagSize(file, start, end);
    if (!cut) cut = lyrics3Size(file, start, end);
    if (!cut) return end - start;
    end -= cut;
  }
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
  end = start + audioEndBeforeTrailers(file_, start, end);
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

bool Mp3Stream::headerAt(uint32_t offset, FrameHeader* h) {
  uint8_t b[4];
  return peek(offset, b, 4) && parseFrameHeader(b, h);
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
