// RIFF chunks as they stand in a file: the search for the "RIFF" "WAVE" form and
// the walk over a run of chunks. Every size read from the file is checked in 64
// bits before it is used, offsets only grow, and a chunk that reaches past the end
// of the file is reported as such and ends the walk.
#pragma once
#include <cstdint>
#include <functional>

#include "common/file.h"

constexpr uint32_t kRiffChunkHeaderSize = 8;  // id, little-endian size
constexpr uint32_t kRiffFormHeaderSize = 12;  // "RIFF", size, form type

// Whether the four bytes at `id` are `name`, letter case as it is.
bool RiffIdIs(const uint8_t* id, const char* name);
// A chunk's body with its pad byte: chunks start at even distances.
inline uint64_t RiffPadded(uint32_t size) { return uint64_t(size) + (size & 1); }

struct RiffChunk {
  uint32_t position = 0;  // of its id
  uint8_t id[4] = {};
  uint32_t size = 0;      // as declared
  bool pastEnd = false;   // its body reaches past the end of the file

  uint64_t Body() const { return uint64_t(position) + kRiffChunkHeaderSize; }
  // Where the next chunk begins, behind the pad byte.
  uint64_t Next() const { return Body() + RiffPadded(size); }
};

enum class FormSearch {
  Found,
  EndOfFile,  // no form before the file ended
  GaveUp,     // a chunk in front too small to hold its own form type
};
// Finds the first "RIFF" "WAVE" form among the file's top-level chunks, stepping
// over other forms in front of it.
FormSearch FindWaveForm(File& file, uint64_t fileSize, uint32_t* formPosition);

enum class RiffWalkEnd {
  Tail,     // ran out of chunks at the end of the file
  PastEnd,  // a chunk's size reaches past the end of the file
  Failed,   // a read failed inside the file
  Stopped,  // the visitor was done
};

struct RiffWalk {
  RiffWalkEnd how;
  // With Tail: where the next chunk would begin. The file's size for a well-formed
  // file, one more when the last chunk lacks its pad byte, less when a few stray
  // bytes follow the last chunk.
  uint64_t next;
};

// Calls `visit` for each chunk from `first` on; `visit` returns false to stop.
// Every step moves forward by at least a header, so no size ends in a loop; a
// chunk that reaches past the end of the file is visited and then ends the walk.
RiffWalk WalkRiffChunks(File& file, uint64_t first, uint64_t fileSize,
                        const std::function<bool(const RiffChunk&)>& visit);
