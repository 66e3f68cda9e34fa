// The bytes of an MP3 file's audio: from behind any leading ID3v2 tags to the end,
// or to the trailing ID3v1 tag, APE tags and Lyrics3 blocks, read through a buffer.
// Offsets are counted from the audio start.
#pragma once
#include <cstdint>

#include "audio/mp3/mp3_frame.h"
#include "common/file.h"

class Mp3Stream {
 public:
  // Opens the file and finds the audio start; false when it can't be opened.
  bool open(const char* path);

  uint32_t audioStart() const { return audioStart_; }
  uint32_t total() const { return total_; }
  uint32_t position() const { return position_; }
  uint32_t remaining() const { return total_ - position_; }

  // Reads up to n bytes; the count read.
  int read(uint8_t* out, int n);
  void skip(int n);
  void seek(uint32_t offset) { position_ = offset < total_ ? offset : total_; }
  // n bytes at `offset` without moving; false when they are not all there.
  bool peek(uint32_t offset, uint8_t* out, int n);

  // Searches at most 65,536 positions from the current one for a Layer III
  // header and moves behind it (and its CRC). With `confirm`, a header counts only
  // when the header at its frame length agrees in version and sampling rate, or
  // the data ends there.
  bool findFrameHeader(FrameHeader* h, bool confirm);
  // The header at `offset` (without moving), when there is one.
  bool headerAt(uint32_t offset, FrameHeader* h);

 private:
  bool fill(uint32_t offset, int n);

  File file_;
  uint32_t audioStart_ = 0;
  uint32_t total_ = 0;
  uint32_t position_ = 0;
  uint8_t buffer_[65536];
  uint32_t bufferStart_ = 0;  // offset of buffer_[0]
  uint32_t bufferBytes_ = 0;
};
