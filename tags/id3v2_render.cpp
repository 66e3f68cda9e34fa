// Rendering an ID3v2.3 tag from a record: frames for the fields that changed or
// that the old tag lacked, then the carried frames of the old tag.
#include <map>
#include <set>
#include <string>

#include "common/bytes.h"
#include "common/text.h"
#include "tags/id3v1.h"
#include "tags/id3v2_format.h"
#include "tags/id3v2_text.h"

namespace id3v2 {
namespace {

// A string of the frame's encoding with its terminator: ISO-8859-1 when every
// character fits it, else UTF-16 with a byte-order mark (little-endian).
void AppendString(std::vector<uint8_t>& content, const std::vector<uint32_t>& text, uint8_t encoding) {
  if (encoding == kLatin1) {
    for (uint32_t cp : text) content.push_back(cp <= 0xFF ? uint8_t(cp) : uint8_t('?'));
    content.push_back(0);
    return;
  }
  auto unit = [&](uint32_t u) {
    content.push_back(uint8_t(u));
    content.push_back(uint8_t(u >> 8));
  };
  unit(0xFEFF);
  for (uint32_t cp : text) {
    if (cp >= 0x10000) {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      unit(cp);
    }
  }
  unit(0);
}

std::vector<uint8_t> RenderedContent(const std::string& id, const std::string& entryValue) {
  std::string value = entryValue;
  if (id == "TYER") value = CutToCharacters(value, 4);
  if (id == "TRCK" && LeadingNumber(value) > 255) value = "255";
  const std::vector<uint32_t> text = CodePointsOf(value);
  bool latin1 = true;
  for (uint32_t cp : text) latin1 = latin1 && cp <= 0xFF;
  // A link itself is ISO-8859-1 whatever the encoding byte says.
  const uint8_t encoding = latin1 || id == "WXXX" ? kLatin1 : kUtf16WithBom;
  std::vector<uint8_t> content;
  content.push_back(encoding);
  if (id == "COMM") content.insert(content.end(), {0, 0, 0});  // no language
  if (id == "COMM" || id == "WXXX") AppendString(content, {}, encoding);  // empty description
  AppendString(content, text, id == "WXXX" ? kLatin1 : encoding);
  return content;
}

}  // namespace

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

}  // namespace id3v2

std::vector<uint8_t> RenderId3v2Tag(const TagRecord& record) {
  std::vector<uint8_t> tag;
  if (!id3v2::RenderTag(record, &tag)) tag.clear();
  return tag;
}
