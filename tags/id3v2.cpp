// ID3v2 tags in MP3 files. The tag is looked for anywhere in the file and read in
// versions 2.2, 2.3 and 2.4; it is always written back as version 2.3. A rewrite
// renders only the fields the job changed (or that the old tag lacked) and carries
// every other frame of the old tag over byte for byte, converted to 2.3 form.
#include "tags/id3v2.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "common/bytes.h"
#include "common/open_retry.h"
#include "tags/id3v1.h"
#include "tags/id3v2_text.h"

namespace {

constexpr uint32_t kHeaderSize = 10;
constexpr uint32_t kFooterSize = 10;
constexpr uint32_t kId3v1BlockSize = 128;
// Large enough that an untagged file costs a few dozen reads, small enough to stay
// cheap for short files.
constexpr uint32_t kSearchBufferSize = 64 * 1024;
// The largest body a synchsafe size field can describe.
constexpr uint32_t kMaxTagBody = 0x0FFFFFFF;

// Tag header flags.
constexpr uint8_t kTagUnsynchronised = 0x80;
constexpr uint8_t kTagExtendedHeader = 0x40;  // versions 3 and 4
constexpr uint8_t kTagCompressedV2 = 0x40;    // version 2: the same bit, another meaning
constexpr uint8_t kTagFooter = 0x10;

// Frame format flags (the second flag byte) of version 3.
constexpr uint8_t kV3Compressed = 0x80;
constexpr uint8_t kV3Encrypted = 0x40;
constexpr uint8_t kV3Grouped = 0x20;
// Frame status and format flags of version 4.
constexpr uint8_t kV4TagAlterDiscard = 0x40;
constexpr uint8_t kV4FileAlterDiscard = 0x20;
constexpr uint8_t kV4ReadOnly = 0x10;
constexpr uint8_t kV4Grouped = 0x40;
constexpr uint8_t kV4Compressed = 0x08;
constexpr uint8_t kV4Encrypted = 0x04;
constexpr uint8_t kV4Unsynchronised = 0x02;
constexpr uint8_t kV4DataLength = 0x01;
// Version 3 bits the version 4 status and grouping bits become.
constexpr uint8_t kV3TagAlterDiscard = 0x80;
constexpr uint8_t kV3FileAlterDiscard = 0x40;
constexpr uint8_t kV3ReadOnly = 0x20;

// How many bytes of a frame's text the record looks at: a value's 259 characters,
// plus one for the zero after a description.
constexpr size_t kTextWindow = kMaxValue;
constexpr size_t kDescribedTextWindow = kMaxValue + 1;

struct FrameKey {
  const char* frameId;
  const char* key;
};
constexpr FrameKey kFrameKeys[] = {
    {"TIT2", "TITLE"},   {"TPE1", "ARTIST"},      {"TALB", "ALBUM"}, {"TYER", "DATE"},
    {"COMM", "COMMENT"}, {"TRCK", "TRACKNUMBER"}, {"TCON", "GENRE"},
};

// Version 2.2 frames with their version 2.3 ids: the frames whose layout version
// 2.3 kept, and the ids music players add to version 2.2. "PIC" becomes "APIC"
// with its image format turned into a MIME type (PictureAsVersion3). Not here, so
// dropped by a rewrite: "CRM" (encrypted meta frames, gone from version 2.3),
// "LNK" (its frame ids have three characters) and ids of no standard.
struct Version2Id {
  const char* v2;
  const char* v3;
};
constexpr Version2Id kVersion2Ids[] = {
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"},
    {"EQU", "EQUA"}, {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"MCI", "MCDI"}, {"MLL", "MLLT"},
    {"PIC", "APIC"}, {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"},
    {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"}, {"TCO", "TCON"},
    {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"}, {"TFT", "TFLT"},
    {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"}, {"TMT", "TMED"},
    {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TOT", "TOAL"},
    {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"},
    {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TSI", "TSIZ"},
    {"TSS", "TSSE"}, {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TXT", "TEXT"},
    {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"}, {"WAF", "WOAF"},
    {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"}, {"WPB", "WPUB"},
    {"WXX", "WXXX"},
    // Added by music players.
    {"TCP", "TCMP"}, {"TS2", "TSO2"}, {"TSA", "TSOA"}, {"TSC", "TSOC"}, {"TSP", "TSOP"},
    {"TST", "TSOT"},
};


// ---------------------------------------------------------------------------
// Frame ids and field keys

std::string KeyOfFrameId(const std::string& id) {
  for (const FrameKey& k : kFrameKeys)
    if (id == k.frameId) return k.key;
  return id;
}

std::string FrameIdOfKey(const std::string& key) {
  for (const FrameKey& k : kFrameKeys)
    if (key == k.key) return k.frameId;
  return key;
}

// The version 2.3 id of a version 2.2 frame, or empty when it is not one we read.
std::string Version3IdOf(const std::string& v2Id) {
  for (const Version2Id& v : kVersion2Ids)
    if (v2Id == v.v2) return v.v3;
  return std::string();
}

bool IsIdChar(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

bool IsFrameId(const uint8_t* p, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i)
    if (!IsIdChar(p[i])) return false;
  return true;
}

bool IsFrameId(const std::string& id) {
  return id.size() == 4 && IsFrameId(reinterpret_cast<const uint8_t*>(id.data()), 4);
}

// The frames whose values the record keeps: text frames but the user-defined one,
// the comment and the user-defined link.
bool IsRecordFrame(const std::string& id) {
  return (id[0] == 'T' && id != "TXXX") || id == "COMM" || id == "WXXX";
}

uint32_t FrameHeaderSize(uint8_t major) { return major == 2 ? 6 : 10; }
uint32_t FrameIdSize(uint8_t major) { return major == 2 ? 3 : 4; }

// Version 4 frame sizes are synchsafe, but a widely used player wrote them as plain
// integers; `plainSizes` reads them so (see PlainFrameSizes).
uint32_t DeclaredFrameSize(const uint8_t* header, uint8_t major, bool plainSizes = false) {
  if (major == 2) return (uint32_t(header[3]) << 16) | (uint32_t(header[4]) << 8) | header[5];
  if (major == 4 && !plainSizes) return ReadSynchsafe32(header + 4);
  return ReadBE32(header + 4);
}

// ---------------------------------------------------------------------------
// Header search

bool ReadAt(File& file, uint32_t offset, uint8_t* data, uint32_t size) {
  return file.SeekFromStart(offset) && file.ReadFull(data, size);
}

bool WriteAt(File& file, uint32_t offset, const std::vector<uint8_t>& data) {
  return file.SeekFromStart(offset) &&
         file.WriteFull(data.data(), static_cast<uint32_t>(data.size()));
}

// Reads up to `size` bytes at `offset` and returns how many arrived: from the file
// as it is, or from the file as a rewrite is about to leave it.
using ByteReader = std::function<uint32_t(uint32_t offset, uint8_t* data, uint32_t size)>;

uint32_t ReadFromFile(File& file, uint32_t offset, uint8_t* data, uint32_t size) {
  uint32_t moved = 0;
  if (!file.SeekFromStart(offset) || !file.Read(data, size, &moved)) return 0;
  return moved;
}

bool ReadFullAt(const ByteReader& read, uint32_t offset, uint8_t* data, uint32_t size) {
  return read(offset, data, size) == size;
}

// Where tags must end: before a trailing ID3v1 block, which can't belong to one.
// Reading and writing thus search the same bytes, whether or not the writer has
// just appended or changed that block.
uint32_t TagAreaEnd(const ByteReader& read, uint32_t fileSize) {
  uint8_t marker[3];
  if (fileSize >= kId3v1BlockSize && ReadFullAt(read, fileSize - kId3v1BlockSize, marker, 3) &&
      std::memcmp(marker, "TAG", 3) == 0)
    return fileSize - kId3v1BlockSize;
  return fileSize;
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
  return IsFrameId(frame, FrameIdSize(major)) &&
         (DeclaredFrameSize(frame, major) <= room || DeclaredFrameSize(frame, major, true) <= room);
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

// The first real tag that starts before `startsBefore`, scanning through a large
// buffer with memchr: an untagged file is read once, in few calls. Without a real
// one, a tag at the start that can't be parsed, if `takeStartTag`.
bool SearchTag(const ByteReader& read, uint32_t areaEnd, uint32_t startsBefore,
               Id3v2Header* header, bool takeStartTag = true) {
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

// ---------------------------------------------------------------------------
// Unsynchronisation: the writer put a zero after every 0xFF; take those out.

std::vector<uint8_t> RemoveUnsynchronisation(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out;
  out.reserve(size);
  for (size_t i = 0; i < size; ++i) {
    out.push_back(data[i]);
    if (data[i] == 0xFF && i + 1 < size && data[i + 1] == 0x00) ++i;
  }
  return out;
}

// ---------------------------------------------------------------------------
// The frame walk

struct RawFrame {
  std::string id;           // as in the file: 3 characters in version 2, else 4
  const uint8_t* header;    // the frame header as in the tag
  const uint8_t* content;
  uint32_t contentSize;     // cut at the end of the tag
  bool complete;            // the declared size lies within the tag
  uint8_t statusFlags;
  uint8_t formatFlags;
};

// Padding, or anything else that is not a frame id, ends the walk; a frame that
// reaches past the end of the tag is the last one. Every step moves on by at least
// a frame header, whatever the sizes say.
std::vector<RawFrame> WalkFrames(const std::vector<uint8_t>& body, uint8_t major,
                                 bool plainSizes) {
  std::vector<RawFrame> frames;
  const uint32_t headerSize = FrameHeaderSize(major);
  const uint32_t idSize = FrameIdSize(major);
  size_t pos = 0;
  while (body.size() - pos >= headerSize) {
    const uint8_t* h = body.data() + pos;
    if (!IsFrameId(h, idSize)) break;
    const uint32_t declared = DeclaredFrameSize(h, major, plainSizes);
    const size_t contentStart = pos + headerSize;
    const size_t room = body.size() - contentStart;
    RawFrame frame;
    frame.id.assign(reinterpret_cast<const char*>(h), idSize);
    frame.header = h;
    frame.content = h + headerSize;
    frame.complete = declared <= room;
    frame.contentSize = frame.complete ? declared : uint32_t(room);
    frame.statusFlags = major == 2 ? 0 : h[8];
    frame.formatFlags = major == 2 ? 0 : h[9];
    frames.push_back(frame);
    if (!frame.complete) break;
    pos = contentStart + declared;
  }
  return frames;
}

// Whether the frames, sized one way, lie end to end on the body: each frame
// followed by the next, by zero padding to the end, or by the end itself.
bool WalksToTheEnd(const std::vector<uint8_t>& body, uint8_t major, bool plainSizes) {
  const uint32_t headerSize = FrameHeaderSize(major);
  size_t pos = 0;
  while (pos < body.size()) {
    const uint8_t* h = body.data() + pos;
    if (h[0] == 0) return std::all_of(h, body.data() + body.size(), [](uint8_t b) { return b == 0; });
    if (body.size() - pos < headerSize || !IsFrameId(h, FrameIdSize(major))) return false;
    const uint64_t next = uint64_t(pos) + headerSize + DeclaredFrameSize(h, major, plainSizes);
    if (next > body.size()) return false;
    pos = size_t(next);
  }
  return true;
}

// Version 4 frame sizes written as plain integers: the synchsafe reading walks off
// the frames somewhere, the plain one does not. (Below 128 both read the same.)
bool PlainFrameSizes(const std::vector<uint8_t>& body, uint8_t major) {
  return major == 4 && !WalksToTheEnd(body, major, false) && WalksToTheEnd(body, major, true);
}

// ---------------------------------------------------------------------------
// Values for the record

// A description, a zero and the text: the part after the first zero, or all of it
// when there is none.
std::string TextAfterDescription(const uint8_t* data, size_t size) {
  if (size > kDescribedTextWindow) size = kDescribedTextWindow;
  const void* zero = std::memchr(data, 0, size);
  if (!zero) return std::string(reinterpret_cast<const char*>(data), size);
  const size_t skip = size_t(static_cast<const uint8_t*>(zero) - data) + 1;
  return TextUpToZero(data + skip, size - skip);
}

// Takes a frame's value into the record: only ISO-8859-1 and UTF-8 text, its bytes
// kept as they are.
void ReadFrameValue(const std::string& id, const std::vector<uint8_t>& data, TagRecord& record) {
  if (data.empty()) return;
  const uint8_t encoding = data[0];
  if (encoding != kLatin1 && encoding != kUtf8) return;
  std::string value;
  if (id == "COMM") {
    if (data.size() < 4) return;  // no room for the language
    value = TextAfterDescription(data.data() + 4, data.size() - 4);
  } else if (id == "WXXX") {
    value = TextAfterDescription(data.data() + 1, data.size() - 1);
  } else {
    value = TextUpToZero(data.data() + 1, std::min(data.size() - 1, kTextWindow));
  }
  record.SetFromText(KeyOfFrameId(id), value, true);
}

// A frame's data as its flags leave it: per-frame unsynchronisation undone, the
// group byte taken apart and a data length indicator dropped. False for data that
// is compressed or encrypted, which is never read as text nor rewritten.
struct FrameData {
  bool grouped = false;
  uint8_t group = 0;
  std::vector<uint8_t> bytes;
};

bool PlainFrameData(const RawFrame& frame, uint8_t major, bool tagUnsynchronised,
                    FrameData* data) {
  std::vector<uint8_t> content(frame.content, frame.content + frame.contentSize);
  size_t prefix = 0;
  if (major == 3) {
    if (frame.formatFlags & (kV3Compressed | kV3Encrypted)) return false;
    data->grouped = frame.formatFlags & kV3Grouped;
  } else if (major == 4) {
    if (frame.formatFlags & (kV4Compressed | kV4Encrypted)) return false;
    // The tag's flag says every frame is unsynchronised; after the frame header
    // everything is, group byte and data length included.
    if (tagUnsynchronised || (frame.formatFlags & kV4Unsynchronised))
      content = RemoveUnsynchronisation(content.data(), content.size());
    data->grouped = frame.formatFlags & kV4Grouped;
    if (frame.formatFlags & kV4DataLength) prefix += 4;
  }
  if (data->grouped) prefix += 1;
  if (content.size() < prefix) return false;
  if (data->grouped) data->group = content[0];
  data->bytes.assign(content.begin() + prefix, content.end());
  return true;
}

// ---------------------------------------------------------------------------
// Frames carried into the new tag

void AppendFrameHeader(std::vector<uint8_t>& out, const std::string& id, uint32_t size,
                       uint8_t status, uint8_t format) {
  out.insert(out.end(), id.begin(), id.end());
  uint8_t sizeBytes[4];
  WriteBE32(sizeBytes, size);
  out.insert(out.end(), sizeBytes, sizeBytes + 4);
  out.push_back(status);
  out.push_back(format);
}

// A version 4 frame in version 3 form: status flags moved to their version 3 bits,
// text in the encodings version 3 lacks rewritten as UTF-16 with a byte-order mark.
bool CarryVersion4Frame(const RawFrame& frame, const FrameData& data,
                        std::vector<uint8_t>* bytes) {
  const uint8_t status = ((frame.statusFlags & kV4TagAlterDiscard) ? kV3TagAlterDiscard : 0) |
                         ((frame.statusFlags & kV4FileAlterDiscard) ? kV3FileAlterDiscard : 0) |
                         ((frame.statusFlags & kV4ReadOnly) ? kV3ReadOnly : 0);
  std::vector<uint8_t> content;
  if (data.grouped) content.push_back(data.group);  // the group byte stays in front
  const std::vector<uint8_t>& d = data.bytes;
  const FrameLayout layout = LayoutOf(frame.id);
  const bool convertible = !d.empty() && layout != FrameLayout::NoEncoding &&
                           (d[0] == kUtf16BigEndian || d[0] == kUtf8);
  if (convertible) {
    if (!ConvertTextData(frame.id, d.data(), d.size(), content)) return false;
  } else {
    content.insert(content.end(), d.begin(), d.end());
  }
  if (content.size() > kMaxTagBody) return false;

  bytes->clear();
  AppendFrameHeader(*bytes, frame.id, uint32_t(content.size()), status,
                    data.grouped ? kV3Grouped : 0);
  bytes->insert(bytes->end(), content.begin(), content.end());
  return true;
}

// A version 2.2 picture as version 2.3 has it: the three-letter image format
// becomes a MIME type ("JPG" image/jpeg, "PNG" image/png, others image/ and the
// format in lower case; "-->", a link, stays).
bool PictureAsVersion3(const uint8_t* content, size_t size, std::vector<uint8_t>* out) {
  if (size < 5) return false;  // encoding, format, picture type
  std::string format(reinterpret_cast<const char*>(content + 1), 3);
  std::string lower;
  for (char c : format) lower += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  std::string mime = lower == "jpg" ? "image/jpeg" : lower == "-->" ? "-->" : "image/" + lower;
  mime.erase(std::find(mime.begin(), mime.end(), '\0'), mime.end());
  out->push_back(content[0]);
  out->insert(out->end(), mime.begin(), mime.end());
  out->push_back(0);
  out->insert(out->end(), content + 4, content + size);
  return true;
}

// The frame in version 3 form with the key a rewrite knows it by; false when it
// cannot be carried.
bool CarryableFrame(const RawFrame& frame, uint8_t major, bool tagUnsynchronised,
                    Id3Frame* carried) {
  if (!frame.complete) return false;
  std::string id = frame.id;
  carried->bytes.clear();
  if (major == 2) {
    id = Version3IdOf(frame.id);
    if (id.empty()) return false;
    std::vector<uint8_t> content;
    if (id == "APIC") {
      if (!PictureAsVersion3(frame.content, frame.contentSize, &content)) return false;
    } else {
      content.assign(frame.content, frame.content + frame.contentSize);
    }
    AppendFrameHeader(carried->bytes, id, uint32_t(content.size()), 0, 0);
    carried->bytes.insert(carried->bytes.end(), content.begin(), content.end());
  } else if (major == 3) {
    carried->bytes.assign(frame.header, frame.content + frame.contentSize);
  } else {
    FrameData data;
    if (!PlainFrameData(frame, major, tagUnsynchronised, &data) ||
        !CarryVersion4Frame(frame, data, &carried->bytes))
      return false;
  }
  carried->key = KeyOfFrameId(id);
  return true;
}

void ReadTagFrames(File& file, const Id3v2Header& header, TagRecord& record) {
  const uint8_t major = header.majorVersion;
  if (header.firstFrameOffset >= header.framesEnd) return;
  // The header search made sure these bytes lie within the file.
  std::vector<uint8_t> body(header.framesEnd - header.firstFrameOffset);
  if (!ReadAt(file, header.firstFrameOffset, body.data(), uint32_t(body.size()))) return;

  const bool tagUnsynchronised = header.flags & kTagUnsynchronised;
  // Before version 4 the whole tag is unsynchronised, frame headers included.
  if (tagUnsynchronised && major < 4) body = RemoveUnsynchronisation(body.data(), body.size());

  for (const RawFrame& frame : WalkFrames(body, major, PlainFrameSizes(body, major))) {
    const std::string id = major == 2 ? Version3IdOf(frame.id) : frame.id;
    if (id.empty()) continue;
    FrameData data;
    if (IsRecordFrame(id) && PlainFrameData(frame, major, tagUnsynchronised, &data))
      ReadFrameValue(id, data.bytes, record);
    Id3Frame carried;
    if (CarryableFrame(frame, major, tagUnsynchronised, &carried))
      record.id3Frames.push_back(std::move(carried));
  }
}

// ---------------------------------------------------------------------------
// Rendering

std::vector<uint8_t> RenderedContent(const std::string& id, const std::string& entryValue) {
  std::string value = entryValue;
  if (id == "TYER") value = value.substr(0, 4);
  if (id == "TRCK" && LeadingNumber(value) > 255) value = "255";
  std::vector<uint8_t> content;
  content.push_back(kLatin1);
  if (id == "COMM") {
    content.insert(content.end(), {0, 0, 0});  // no language
    content.push_back(0);                      // empty description
  } else if (id == "WXXX") {
    content.push_back(0);  // empty description
  }
  content.insert(content.end(), value.begin(), value.end());
  content.push_back(0);
  return content;
}

// Rendered frames for what changed or what the old tag lacked, then the untouched
// frames of the old tag. False when the frames exceed what a tag can hold.
bool RenderTag(const TagRecord& record, std::vector<uint8_t>* tag) {
  // Looked up once per key: a tag may hold thousands of frames.
  std::set<std::string> carriedKeys;
  for (const Id3Frame& frame : record.id3Frames) carriedKeys.insert(frame.key);
  std::map<std::string, bool> changed;
  auto IsChanged = [&](const std::string& key) {
    auto it = changed.find(key);
    if (it == changed.end()) it = changed.emplace(key, record.Changed(key)).first;
    return it->second;
  };

  std::vector<uint8_t> frames;
  for (const TagEntry& entry : record.Entries()) {
    if (!IsChanged(entry.key) && carriedKeys.count(entry.key)) continue;
    const std::string id = FrameIdOfKey(entry.key);
    if (!IsFrameId(id)) continue;  // a key no frame id can stand for
    const std::vector<uint8_t> content = RenderedContent(id, entry.value);
    AppendFrameHeader(frames, id, uint32_t(content.size()), 0, 0);
    frames.insert(frames.end(), content.begin(), content.end());
  }
  for (const Id3Frame& frame : record.id3Frames)
    if (!IsChanged(frame.key)) frames.insert(frames.end(), frame.bytes.begin(), frame.bytes.end());

  tag->clear();
  if (frames.empty()) return true;
  if (frames.size() > kMaxTagBody) return false;
  const uint8_t header[6] = {'I', 'D', '3', 3, 0, 0};
  tag->assign(header, header + 6);
  uint8_t size[4];
  WriteSynchsafe32(size, uint32_t(frames.size()));
  tag->insert(tag->end(), size, size + 4);
  tag->insert(tag->end(), frames.begin(), frames.end());
  return true;
}

// Whether, once `tag` replaced the bytes from `start` to `oldEnd`, a chance match
// in the data before `start` would pass for a tag: the file grows or new bytes land
// where its first frame would be. The next reading would then take it instead of
// the new tag, and the next rewrite would replace audio.
bool WouldBeHidden(File& file, uint32_t fileSize, uint32_t start, uint32_t oldEnd,
                   const std::vector<uint8_t>& tag) {
  if (start == 0) return false;
  const uint32_t tagEnd = start + uint32_t(tag.size());
  const ByteReader rewritten = [&](uint32_t offset, uint8_t* data, uint32_t size) {
    uint32_t done = 0;
    while (done < size) {
      const uint32_t at = offset + done;
      uint32_t n = 0;
      if (at < start) {
        n = ReadFromFile(file, at, data + done, std::min(size - done, start - at));
      } else if (at < tagEnd) {
        n = std::min(size - done, tagEnd - at);
        std::memcpy(data + done, tag.data() + (at - start), n);
      } else {
        n = ReadFromFile(file, oldEnd + (at - tagEnd), data + done, size - done);
      }
      if (n == 0) break;
      done += n;
    }
    return done;
  };
  const uint32_t newSize = fileSize - (oldEnd - start) + uint32_t(tag.size());
  Id3v2Header earlier;
  // A tag at the start that can't be parsed hides nothing: readers pass it by.
  return SearchTag(rewritten, TagAreaEnd(rewritten, newSize), start, &earlier, false);
}

// Where a new tag goes: in place of the old one, or at the start of a file
// without one.
struct TagPlace {
  bool found = false;
  uint32_t start = 0;
  uint32_t oldEnd = 0;
};

bool FitsFourGigabytes(uint32_t fileSize, const TagPlace& place, const std::vector<uint8_t>& tag) {
  return uint64_t(fileSize) - (place.oldEnd - place.start) + tag.size() <= UINT32_MAX;
}

// Decides, before anything of the file is written, where `tag` goes; false when it
// can't go anywhere safely: the old tag can't be replaced, the file would outgrow
// 4 GB, or a chance match before it would pass for a tag afterwards. Writing the
// ID3v1 block afterwards changes none of this, as tags never reach into that block.
bool PlaceTag(File& file, const std::vector<uint8_t>& tag, TagPlace* place) {
  Id3v2Header old;
  place->found = FindId3v2Header(file, &old);
  if (place->found && !old.replaceable) return false;
  place->start = place->found ? old.tagOffset : 0;
  place->oldEnd = place->found ? old.tagOffset + old.totalSize : 0;
  const uint32_t fileSize = file.Size();
  return FitsFourGigabytes(fileSize, *place, tag) &&
         !WouldBeHidden(file, fileSize, place->start, place->oldEnd, tag);
}

// Puts `tag` at its place, moving what follows. The file only ever grows after it
// was extended successfully, so a full disk leaves tag and audio as they were.
bool ReplaceId3v2Tag(File& file, const TagPlace& place, const std::vector<uint8_t>& tag) {
  const uint32_t fileSize = file.Size();
  // The ID3v1 block was just written, so anything smaller is a failed size query;
  // going on would overwrite the audio.
  if (fileSize < kId3v1BlockSize || fileSize < place.oldEnd) return false;
  if (!place.found && tag.empty()) return true;
  if (!FitsFourGigabytes(fileSize, place, tag)) return false;
  const uint32_t start = place.start, oldEnd = place.oldEnd;
  if (place.found && tag.size() == oldEnd - start) return WriteAt(file, start, tag);

  std::vector<uint8_t> rest(fileSize - oldEnd);
  if (!ReadAt(file, oldEnd, rest.data(), uint32_t(rest.size()))) return false;
  const uint32_t finalSize = start + uint32_t(tag.size() + rest.size());
  if (finalSize > fileSize && !ResizeFile(file, finalSize)) {
    ResizeFile(file, fileSize);  // undo a partial extension
    return false;
  }
  if (!WriteAt(file, start + uint32_t(tag.size()), rest) || !WriteAt(file, start, tag))
    return false;
  return finalSize >= fileSize || ResizeFile(file, finalSize);
}

}  // namespace

bool FindId3v2Header(File& file, Id3v2Header* header) {
  const ByteReader read = [&file](uint32_t offset, uint8_t* data, uint32_t size) {
    return ReadFromFile(file, offset, data, size);
  };
  return SearchTag(read, TagAreaEnd(read, file.Size()), UINT32_MAX, header);
}

bool ReadMp3Tags(TagRecord& record, const char* path) {
  File file;
  if (!OpenWithRetry(file, path, FileMode::Read, kTagFileOpenBudgetMs)) return false;
  Id3v2Header header;
  if (FindId3v2Header(file, &header)) ReadTagFrames(file, header, record);
  file.Close();
  ReadId3v1(record, path);
  return true;
}

bool WriteMp3Tags(const TagRecord& record, const char* path) {
  File file;
  if (!OpenWithRetry(file, path, FileMode::Update, kTagFileOpenBudgetMs)) return false;
  // Whatever keeps the ID3v2 tag from being written leaves the whole file as it was.
  std::vector<uint8_t> tag;
  TagPlace place;
  if (record.writeId3v2 && !(RenderTag(record, &tag) && PlaceTag(file, tag, &place))) return false;
  if (!WriteId3v1(record, file)) return false;
  return !record.writeId3v2 || ReplaceId3v2Tag(file, place, tag);
}

std::vector<uint8_t> RenderId3v2Tag(const TagRecord& record) {
  std::vector<uint8_t> tag;
  if (!RenderTag(record, &tag)) tag.clear();
  return tag;
}

bool WriteId3v2Tag(const TagRecord& record, File& file, uint32_t offset, uint32_t* totalSize) {
  *totalSize = 0;
  std::vector<uint8_t> tag;
  if (!RenderTag(record, &tag)) return false;
  if (!WriteAt(file, offset, tag)) return false;
  *totalSize = uint32_t(tag.size());
  return true;
}
