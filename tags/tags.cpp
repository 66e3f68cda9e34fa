// ReadTags and WriteTags: the format is chosen by the file name's extension.
#include "common/path.h"
#include "tags/id3v2.h"
#include "tags/riff_info.h"
#include "tags/tag_record.h"

namespace {
enum class TagFormat { None, Mp3, Wav };

TagFormat FormatOf(const char* path) {
  std::string ext = ExtensionOf(path);
  if (EqualsNoCase(ext, ".mp3")) return TagFormat::Mp3;
  if (EqualsNoCase(ext, ".wav")) return TagFormat::Wav;
  return TagFormat::None;
}
}  // namespace

bool ReadTags(TagRecord& record, const char* path) {
  bool ok = false;
  switch (FormatOf(path)) {
    case TagFormat::Mp3: ok = ReadMp3Tags(record, path); break;
    case TagFormat::Wav: ok = ReadWavTags(record, path); break;
    case TagFormat::None: return false;
  }
  record.MarkLoaded();
  return ok;
}

bool WriteTags(const TagRecord& record, const char* path) {
  switch (FormatOf(path)) {
    case TagFormat::Mp3: return WriteMp3Tags(record, path);
    case TagFormat::Wav: return WriteWavTags(record, path);
    case TagFormat::None: break;
  }
  return false;
}
