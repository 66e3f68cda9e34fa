// Rendering an ID3v2.3 tag from a record: frames for the fields that changed or
// that the old tag lacked, then the carried frames of the old tag.
#include <map>
#include <set>
#include <string>

#include "common/bytes.h"
#include "tags/id3v1.h"
#include "tags/id3v2_format.h"
#include "tags/id3v2_text.h"

namespace id3v2 {
namespace {

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
