// Finding an ID3v2 tag: anywhere in the file, through a large buffer, with the
// tests that tell a real tag from the pattern's chance occurrences in audio.
#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "tags/id3v2_format.h"

namespace id3v2 {
namespace {

uint32_t ReadFromFile(File& file, uint32_t offset, uint8_t* data, uint32_t size) {
  uint32_t moved = 0;
  if (!file.SeekFromStart(offset) || !file.Read(data, size, &moved)) return 0;
  return moved;
}

// "ID3", a version this program can walk, and a size field of four 7-bit bytes.
bool MatchesHeaderPattern(const uint8_t* h) {
  return h[0] == 'I' && h[1] == 'D' && h[2] == '3' && h[3] >= 2 && h[3] <= 4 &&
         h[4] != 0xFF && h[6] < 0x80 && h[7] < 0x80 && h[8] < 0x80 && h[9] < 0x80;
}

bool IsAllZero(const ByteReader& read, uint32_t from, uint32_t to) {
  uint8_t chunk[4096];
  while (from < to) {
    const uint32_t n = to - from < sizeof chunk ? to - from : uint32_t(sizeof chunk);
    if (!ReadFullAt(read, from, chunk, n)) return false;
    for (uint32_t i = 0; i < n; ++i)
      if (chunk[i] != 0) return false;
    from += n;
  }
  return true;
}

// A frame header whose frame fits in the body (read either way in version 4), or
// zero padding up to the body's end, both checked in full.
bool IsFrameOrPadding(const ByteReader& read, uint32_t at, uint32_t bodyEnd, uint8_t major) {
  uint8_t first;
  if (!ReadFullAt(read, at, &first, 1)) return false;
  if (first == 0) return IsAllZero(read, at, bodyEnd);
  uint8_t frame[10];
  const uint32_t headerSize = FrameHeaderSize(major);
  if (bodyEnd - at < headerSize || !ReadFullAt(read, at, frame, headerSize)) return false;
  const uint32_t room = bodyEnd - at - headerSize;
  if (IsFrameId(frame, FrameIdSize(major)))
    return DeclaredFrameSize(frame, major) <= room || DeclaredFrameSize(frame, major, true) <= room;
  // An id in small letters, or a version 2.2 id and a zero, is a frame only where
  // its size leads on to the tag's end, padding or the next frame, as the frame
  // walk takes it; otherwise the tag cannot be read and must not be replaced.
  if (major < 3 || !IsLooseFrameId(frame)) return false;
  for (bool plain : {false, true}) {
    const uint32_t size = DeclaredFrameSize(frame, major, plain);
    if (size > room) continue;
    const uint32_t next = at + headerSize + size;
    uint8_t id[4];
    if (next == bodyEnd) return true;
    if (!ReadFullAt(read, next, id, 1)) continue;
    if (id[0] == 0) return true;
    if (bodyEnd - next >= headerSize && ReadFullAt(read, next, id, 4) && IsLooseFrameId(id)) return true;
  }
  return false;
}

// Some writers set the extended-header flag without writing one: the frames begin
// right behind the header. An extended header begins with its size, whose first
// byte is never a frame id's character, so a frame id there tells.
bool FrameIdAt(const ByteReader& read, uint64_t at, uint64_t end) {
  uint8_t id[4];
  return at + 4 <= end && ReadFullAt(read, uint32_t(at), id, 4) && IsFrameId(id, 4);
}

// Where the frames of a tag with the extended-header flag begin; false when the
// extended header is not a sound one.
bool BehindExtendedHeader(const ByteReader& read, uint8_t major, uint64_t bodyEnd,
                          uint64_t* firstFrame) {
  if (FrameIdAt(read, *firstFrame, bodyEnd)) return true;
  uint8_t sizeBytes[4];
  if (*firstFrame + 4 > bodyEnd || !ReadFullAt(read, uint32_t(*firstFrame), sizeBytes, 4))
    return false;
  const uint32_t extendedSize = ReadSynchsafe32(sizeBytes);
  if (major == 3) {
    *firstFrame += 4 + uint64_t(extendedSize);  // version 3 does not count the size field
  } else {
    if (extendedSize < 6) return false;  // the smallest version 4 extended header
    *firstFrame += extendedSize;
  }
  return *firstFrame <= bodyEnd;
}

// The pattern also occurs by chance inside audio data. A real tag ends within the
// tag area, and behind its header (and extended header) comes a frame header,
// padding or nothing at all. Nothing but a tag begins a file with "ID3", though: a
// tag there that claims more than the file holds is read as far as it goes, and
// one that can't be parsed is kept in `*atStart` (the search takes it when no
// sound tag follows); both are marked not replaceable.
bool IsRealTag(const ByteReader& read, uint32_t areaEnd, uint32_t offset, const uint8_t* h,
               Id3v2Header* header, Id3v2Header* atStart) {
  const uint8_t major = h[3];
  const uint8_t flags = h[5];
  const uint64_t bodySize = ReadSynchsafe32(h + 6);
  const uint64_t totalSize = kHeaderSize + bodySize + ((flags & kTagFooter) ? kFooterSize : 0);
  const bool withinFile = offset + totalSize <= areaEnd;
  if (!withinFile && offset != 0) return false;
  // A tag cut off by the file's end is read up to the end of what is there.
  const uint64_t bodyEnd =
      std::max<uint64_t>(std::min<uint64_t>(offset + kHeaderSize + bodySize, areaEnd),
                         offset + kHeaderSize);

  bool parseable = !(major == 2 && (flags & kTagCompressedV2));  // no scheme was ever defined
  uint64_t firstFrame = offset + kHeaderSize;
  if (parseable && major >= 3 && (flags & kTagExtendedHeader) &&
      !BehindExtendedHeader(read, major, bodyEnd, &firstFrame))
    parseable = false;
  if (parseable && firstFrame < bodyEnd &&
      !IsFrameOrPadding(read, uint32_t(firstFrame), uint32_t(bodyEnd), major))
    parseable = false;
  if (!parseable) {
    if (offset != 0) return false;
    firstFrame = bodyEnd;  // nothing to read
    header = atStart;
  }

  header->majorVersion = major;
  header->revision = h[4];
  header->flags = flags;
  header->tagOffset = offset;
  header->totalSize = uint32_t(totalSize);
  header->firstFrameOffset = uint32_t(firstFrame);
  header->framesEnd = uint32_t(bodyEnd);
  header->replaceable = withinFile && parseable;
  return parseable;
}

// "ID3" at the start of a file in a header this program can't read (another
// version, a size that is not synchsafe): a tag all the same, never replaced.
bool UnreadableTagAtStart(const uint8_t* h, Id3v2Header* header) {
  if (!(h[0] == 'I' && h[1] == 'D' && h[2] == '3')) return false;
  *header = Id3v2Header();
  header->majorVersion = h[3];
  header->revision = h[4];
  header->flags = h[5];
  header->totalSize = kHeaderSize;
  header->firstFrameOffset = kHeaderSize;
  header->framesEnd = kHeaderSize;
  header->replaceable = false;
  return true;
}

}  // namespace

ByteReader FileReader(File& file) {
  return [&file](uint32_t offset, uint8_t* data, uint32_t size) {
    return ReadFromFile(file, offset, data, size);
  };
}

ByteReader MemoryReader(const std::vector<uint8_t>& bytes) {
  return [&bytes](uint32_t offset, uint8_t* data, uint32_t size) -> uint32_t {
    if (offset >= bytes.size()) return 0;
    const uint32_t n = uint32_t(std::min<size_t>(size, bytes.size() - offset));
    std::memcpy(data, bytes.data() + offset, n);
    return n;
  };
}

bool ReadFullAt(const ByteReader& read, uint32_t offset, uint8_t* data, uint32_t size) {
  return read(offset, data, size) == size;
}

// Reading and writing thus search the same bytes, whether or not the writer has
// just appended or changed that block.
uint32_t TagAreaEnd(const ByteReader& read, uint32_t fileSize) {
  uint8_t marker[3];
  if (fileSize >= kId3v1BlockSize && ReadFullAt(read, fileSize - kId3v1BlockSize, marker, 3) &&
      std::memcmp(marker, "TAG", 3) == 0)
    return fileSize - kId3v1BlockSize;
  return fileSize;
}

// The first real tag that starts before `startsBefore`, scanning through a large
// buffer with memchr: an untagged file is read once, in few calls. Without a real
// one, a tag at the start that can't be parsed, if `takeStartTag`.
bool SearchTag(const ByteReader& read, uint32_t areaEnd, uint32_t startsBefore,
               Id3v2Header* header, bool takeStartTag) {
  // A tag at the start that no sound tag follows.
  bool haveStartTag = false;
  Id3v2Header startTag;
  // A header starting before `startsBefore` lies within these bytes.
  const uint64_t scanEnd64 = uint64_t(startsBefore) + kHeaderSize - 1;
  const uint32_t scanEnd = scanEnd64 < areaEnd ? uint32_t(scanEnd64) : areaEnd;
  if (scanEnd < kHeaderSize) return false;
  std::vector<uint8_t> buffer(scanEnd < kSearchBufferSize ? scanEnd : kSearchBufferSize);
  uint32_t bufferStart = 0;  // offset of buffer[0]
  uint32_t kept = 0;         // bytes of a possible header carried over from the last chunk
  for (;;) {
    const uint32_t left = scanEnd - (bufferStart + kept);
    const uint32_t room = uint32_t(buffer.size()) - kept;
    const uint32_t wanted = left < room ? left : room;
    const uint32_t moved = read(bufferStart + kept, buffer.data() + kept, wanted);
    const uint32_t filled = kept + moved;
    const bool atEnd = moved < wanted || moved == left;
    const uint8_t* data = buffer.data();

    uint32_t scanned = 0;
    while (scanned < filled) {
      const void* hit = std::memchr(data + scanned, 'I', filled - scanned);
      if (!hit) {
        scanned = filled;
        break;
      }
      const uint32_t at = uint32_t(static_cast<const uint8_t*>(hit) - data);
      if (filled - at < kHeaderSize) {
        scanned = at;  // may be completed by the next chunk
        break;
      }
      if (MatchesHeaderPattern(data + at) &&
          IsRealTag(read, areaEnd, bufferStart + at, data + at, header, &startTag))
        return true;
      if (bufferStart + at == 0)
        haveStartTag = MatchesHeaderPattern(data) || UnreadableTagAtStart(data, &startTag);
      scanned = at + 1;
    }
    if (atEnd) {
      if (haveStartTag && takeStartTag) *header = startTag;
      return haveStartTag && takeStartTag;
    }
    kept = filled - scanned;
    std::memmove(buffer.data(), data + scanned, kept);
    bufferStart += scanned;
  }
}

}  // namespace id3v2

bool FindId3v2Header(File& file, Id3v2Header* header) {
  const id3v2::ByteReader read = id3v2::FileReader(file);
  return id3v2::SearchTag(read, id3v2::TagAreaEnd(read, file.Size()), UINT32_MAX, header);
}
