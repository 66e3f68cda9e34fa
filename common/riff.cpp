#include "common/riff.h"

#include <cstring>

#include "common/bytes.h"

bool RiffIdIs(const uint8_t* id, const char* name) { return std::memcmp(id, name, 4) == 0; }

FormSearch FindWaveForm(File& file, uint64_t fileSize, uint32_t* formPosition) {
  uint64_t position = 0;
  for (;;) {
    uint8_t header[kRiffFormHeaderSize];
    if (position + kRiffFormHeaderSize > fileSize || position > UINT32_MAX ||
        !file.SeekFromStart(static_cast<uint32_t>(position)) || !file.ReadFull(header, sizeof header))
      return FormSearch::EndOfFile;
    if (RiffIdIs(header, "RIFF") && RiffIdIs(header + 8, "WAVE")) {
      *formPosition = static_cast<uint32_t>(position);
      return FormSearch::Found;
    }
    const uint64_t rounded = RiffPadded(ReadLE32(header + 4));
    if (rounded <= 4) return FormSearch::GaveUp;
    position += kRiffChunkHeaderSize + rounded;
  }
}

RiffWalk WalkRiffChunks(File& file, uint64_t first, uint64_t fileSize,
                        const std::function<bool(const RiffChunk&)>& visit) {
  uint64_t position = first;
  for (;;) {
    if (position + kRiffChunkHeaderSize > fileSize || position > UINT32_MAX)
      return {RiffWalkEnd::Tail, position};
    uint8_t header[kRiffChunkHeaderSize];
    if (!file.SeekFromStart(static_cast<uint32_t>(position)) || !file.ReadFull(header, sizeof header))
      return {RiffWalkEnd::Failed, position};
    RiffChunk chunk;
    chunk.position = static_cast<uint32_t>(position);
    std::memcpy(chunk.id, header, 4);
    chunk.size = ReadLE32(header + 4);
    chunk.pastEnd = chunk.Body() + chunk.size > fileSize;
    if (!visit(chunk)) return {RiffWalkEnd::Stopped, position};
    if (chunk.pastEnd) return {RiffWalkEnd::PastEnd, position};
    position = chunk.Next();
  }
}
