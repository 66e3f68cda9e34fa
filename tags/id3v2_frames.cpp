// Reading the frames of an ID3v2 tag: unsynchronisation undone, the frame walk,
// the values the record keeps, and the frames a rewrite carries over in version
// 2.3 form.
#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "tags/id3v2_format.h"
#include "tags/id3v2_text.h"

namespace id3v2 {
namespace {

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
  bool odd = false;         // an id that is no id: skipped by its size, never read or carried
};

// Whether a frame whose id is not a proper one still lies end to end with what
// follows it: its size leads to another frame, to zero padding or to the end.
bool LeadsOn(const std::vector<uint8_t>& body, uint64_t next, uint8_t major) {
  if (next > body.size()) return false;
  if (next == body.size() || body[next] == 0) return true;
  return body.size() - next >= FrameHeaderSize(major) && IsLooseFrameId(body.data() + next);
}

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
    const uint32_t declared = DeclaredFrameSize(h, major, plainSizes);
    const size_t contentStart = pos + headerSize;
    const size_t room = body.size() - contentStart;
    RawFrame frame;
    frame.id.assign(reinterpret_cast<const char*>(h), idSize);
    if (!IsFrameId(h, idSize)) {
      // Some writers put a version 2.2 id (and a zero) in a later tag, or an id in
      // lower-case letters: taken when the frame's size leads on to the next.
      if (major < 3 || !IsLooseFrameId(h) || !LeadsOn(body, uint64_t(contentStart) + declared, major)) break;
      if (h[3] == 0)
        frame.id.assign(reinterpret_cast<const char*>(h), 3);
      else
        frame.odd = true;
    }
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
    if (body.size() - pos < headerSize || !(IsFrameId(h, FrameIdSize(major)) || (major >= 3 && IsLooseFrameId(h))))
      return false;
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

// Takes a frame's value into the record, in any text encoding, as UTF-8. A comment or link holds a description first: the value follows its
// terminator (or is the whole text when there is none); a link itself is always
// ISO-8859-1.
void ReadFrameValue(const std::string& id, const std::vector<uint8_t>& data, TagRecord& record) {
  if (data.empty() || data[0] > kUtf8) return;
  const uint8_t encoding = data[0];
  const uint8_t* d = data.data();
  const size_t size = data.size();
  size_t pos = 1;
  std::vector<uint32_t> text;
  if (id == "COMM" || id == "WXXX") {
    if (id == "COMM") {
      if (size < 4) return;  // no room for the language
      pos = 4;
    }
    bool described = false;
    text = DecodeString(d, size, &pos, encoding, &described);  // the description
    if (described) text = DecodeString(d, size, &pos, id == "WXXX" ? kLatin1 : encoding);
  } else {
    text = DecodeString(d, size, &pos, encoding);
  }
  if (text.size() > kMaxValue) text.resize(kMaxValue);
  record.SetFromText(KeyOfFrameId(id), Utf8Of(text), true);
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
  if (frame.odd) return false;  // dropped, as other writers drop it: no proper id to write
  if (major == 2 || frame.id.size() == 3) {
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

}  // namespace

void ReadTagFrames(const ByteReader& read, const Id3v2Header& header, TagRecord& record) {
  const uint8_t major = header.majorVersion;
  if (header.firstFrameOffset >= header.framesEnd) return;
  // The header search made sure these bytes lie within the file.
  std::vector<uint8_t> body(header.framesEnd - header.firstFrameOffset);
  if (!ReadFullAt(read, header.firstFrameOffset, body.data(), uint32_t(body.size()))) return;

  const bool tagUnsynchronised = header.flags & kTagUnsynchronised;
  // Before version 4 the whole tag is unsynchronised, frame headers included.
  if (tagUnsynchronised && major < 4) body = RemoveUnsynchronisation(body.data(), body.size());

  for (const RawFrame& frame : WalkFrames(body, major, PlainFrameSizes(body, major))) {
    if (frame.odd) continue;
    const std::string id = frame.id.size() == 3 ? Version3IdOf(frame.id) : frame.id;
    if (id.empty()) continue;
    FrameData data;
    if (IsRecordFrame(id) && PlainFrameData(frame, major, tagUnsynchronised, &data))
      ReadFrameValue(id, data.bytes, record);
    Id3Frame carried;
    if (CarryableFrame(frame, major, tagUnsynchronised, &carried))
      record.id3Frames.push_back(std::move(carried));
  }
}

}  // namespace id3v2

bool ParseId3v2Tag(const std::vector<uint8_t>& bytes, TagRecord& record) {
  const id3v2::ByteReader read = id3v2::MemoryReader(bytes);
  Id3v2Header header;
  // Only a tag at the start of the bytes.
  if (!id3v2::SearchTag(read, uint32_t(std::min<size_t>(bytes.size(), UINT32_MAX)), 1, &header))
    return false;
  id3v2::ReadTagFrames(read, header, record);
  return true;
}
