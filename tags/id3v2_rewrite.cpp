// Rewriting the ID3v2 tag of an MP3 file in place: where the new tag goes, the
// checks that keep a rewrite from damaging the file, and moving the audio behind
// the new tag; and the MP3 branches of ReadTags and WriteTags.
#include <algorithm>
#include <cstring>

#include "common/open_retry.h"
#include "tags/id3v1.h"
#include "tags/id3v2_format.h"

using namespace id3v2;

namespace {

bool ReadAt(File& file, uint32_t offset, uint8_t* data, uint32_t size) {
  return file.SeekFromStart(offset) && file.ReadFull(data, size);
}

bool WriteAt(File& file, uint32_t offset, const std::vector<uint8_t>& data) {
  return file.SeekFromStart(offset) &&
         file.WriteFull(data.data(), static_cast<uint32_t>(data.size()));
}

// Whether, once `tag` replaced the bytes from `start` to `oldEnd`, a chance match
// in the data before `start` would pass for a tag: the file grows or new bytes land
// where its first frame would be. The next reading would then take it instead of
// the new tag, and the next rewrite would replace audio.
bool WouldBeHidden(File& file, uint32_t fileSize, uint32_t start, uint32_t oldEnd,
                   const std::vector<uint8_t>& tag) {
  if (start == 0) return false;
  const uint32_t tagEnd = start + uint32_t(tag.size());
  const ByteReader fromFile = FileReader(file);
  const ByteReader rewritten = [&](uint32_t offset, uint8_t* data, uint32_t size) {
    uint32_t done = 0;
    while (done < size) {
      const uint32_t at = offset + done;
      uint32_t n = 0;
      if (at < start) {
        n = fromFile(at, data + done, std::min(size - done, start - at));
      } else if (at < tagEnd) {
        n = std::min(size - done, tagEnd - at);
        std::memcpy(data + done, tag.data() + (at - start), n);
      } else {
        n = fromFile(oldEnd + (at - tagEnd), data + done, size - done);
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

bool ReadMp3Tags(TagRecord& record, const char* path) {
  File file;
  if (!OpenWithRetry(file, path, FileMode::Read, kTagFileOpenBudgetMs)) return false;
  Id3v2Header header;
  if (FindId3v2Header(file, &header)) ReadTagFrames(FileReader(file), header, record);
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
