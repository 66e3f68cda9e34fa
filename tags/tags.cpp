// ReadTags and WriteTags: the format is chosen by the file name's extension.
#include "common/file_kind.h"
#include "tags/id3v2.h"
#include "tags/riff_info.h"
#include "tags/tag_record.h"

bool ReadTags(TagRecord& record, const char* path) {
  bool ok = false;
  switch (FileKindOf(path)) {
    case FileKind::Mp3: ok = ReadMp3Tags(record, path); break;
    case FileKind::Wav: ok = ReadWavTags(record, path); break;
    case FileKind::Other: return false;
  }
  record.MarkLoaded();
  return ok;
}

bool WriteTags(const TagRecord& record, const char* path) {
  switch (FileKindOf(path)) {
    case FileKind::Mp3: return WriteMp3Tags(record, path);
    case FileKind::Wav: return WriteWavTags(record, path);
    case FileKind::Other: break;
  }
  return false;
}
