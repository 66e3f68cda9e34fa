// The ID3v1.1 block: title, artist, album, year, comment, track and genre in 128
// fixed bytes at the end of the file.
#include "tags/id3v1.h"

#include "tags/narrow_text.h"

#include <cstring>

#include "common/open_retry.h"

namespace {

constexpr uint32_t kBlockSize = 128;

// Where each text field lives in the block and how many characters it keeps.
// The 30-byte fields reserve their last byte for a terminating zero.
struct TextField {
  const char* key;
  uint32_t offset;
  uint32_t maxChars;
};
constexpr TextField kTitle = {"TITLE", 3, 29};
constexpr TextField kArtist = {"ARTIST", 33, 29};
constexpr TextField kAlbum = {"ALBUM", 63, 29};
constexpr TextField kDate = {"DATE", 93, 4};
// Byte 125 always ends the comment: it is the zero that marks an ID3v1.1 block.
constexpr TextField kComment = {"COMMENT", 97, 28};

constexpr uint32_t kZeroBeforeTrack = 125;
constexpr uint32_t kTrackByte = 126;
constexpr uint32_t kGenreByte = 127;
constexpr uint8_t kNoGenre = 255;

bool HasMarker(const uint8_t* block) { return std::memcmp(block, "TAG", 3) == 0; }

std::string FieldText(const uint8_t* block, const TextField& field) {
  const char* start = reinterpret_cast<const char*>(block + field.offset);
  size_t length = 0;
  while (length < field.maxChars && start[length] != '\0') ++length;
  return WidenText(std::string(start, length));
}

// Writes the value and, when it is shorter than the field, one terminating zero;
// the bytes after that zero keep what the block held.
void PutFieldText(uint8_t* block, const TextField& field, const std::string& text) {
  const std::string value = NarrowText(text);
  size_t length = value.size() < field.maxChars ? value.size() : field.maxChars;
  std::memcpy(block + field.offset, value.data(), length);
  if (length < field.maxChars) block[field.offset + length] = 0;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = char(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = char(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

uint8_t TrackByteFor(const TagRecord& record) {
  const std::string& track = record.Get("TRACKNUMBER");
  if (track.empty()) return 0;  // a cleared track must not come back from the block
  uint32_t number = LeadingNumber(track);
  return number > 255 ? 255 : uint8_t(number);
}

uint8_t GenreByteFor(const TagRecord& record, uint8_t previous) {
  const std::string& genre = record.Get("GENRE");
  if (genre.empty()) {
    // A cleared genre must not come back as the old name. A byte above the table
    // is not one this program shows or writes, so it stays.
    return previous < kId3v1GenreCount ? kNoGenre : previous;
  }
  if (IsDigit(genre[0])) return uint8_t(LeadingNumber(genre));
  for (int i = 0; i < kId3v1GenreCount; ++i)
    if (EqualsIgnoringCase(genre, GenreNames[i])) return uint8_t(i);
  return previous;
}

}  // namespace

uint32_t LeadingNumber(const std::string& text) {
  uint64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) break;
    value = value * 10 + uint64_t(c - '0');
    if (value > UINT32_MAX) return UINT32_MAX;
  }
  return uint32_t(value);
}

void ReadId3v1(TagRecord& record, const char* path) {
  File file;
  if (!OpenWithRetry(file, path, FileMode::Read, kTagFileOpenBudgetMs)) return;
  uint32_t size = file.Size();
  uint8_t block[kBlockSize];
  if (size < kBlockSize || !file.SeekFromStart(size - kBlockSize) ||
      !file.ReadFull(block, kBlockSize) || !HasMarker(block))
    return;
  file.Close();

  record.SetFromText(kTitle.key, FieldText(block, kTitle), false);
  record.SetFromText(kArtist.key, FieldText(block, kArtist), false);
  record.SetFromText(kAlbum.key, FieldText(block, kAlbum), false);
  record.SetFromText(kDate.key, FieldText(block, kDate), false);
  // Without the zero at 125 this is an ID3v1.0 block whose comment runs on into
  // byte 126, so that byte is text, not a track number.
  if (block[kZeroBeforeTrack] == 0 && block[kTrackByte] != 0)
    record.SetFromText("TRACKNUMBER", std::to_string(block[kTrackByte]), false);
  record.SetFromText(kComment.key, FieldText(block, kComment), false);
  if (block[kGenreByte] < kId3v1GenreCount)
    record.SetFromText("GENRE", GenreNames[block[kGenreByte]], false);
}

bool WriteId3v1(const TagRecord& record, File& file) {
  uint32_t size = file.Size();
  uint8_t block[kBlockSize];
  bool inPlace = size >= kBlockSize && file.SeekFromStart(size - kBlockSize) &&
                 file.ReadFull(block, kBlockSize) && HasMarker(block);
  if (!inPlace) {
    std::memset(block, 0, kBlockSize);
    block[kGenreByte] = kNoGenre;
  }
  std::memcpy(block, "TAG", 3);
  for (const TextField* field : {&kTitle, &kArtist, &kAlbum, &kDate, &kComment})
    PutFieldText(block, *field, record.Get(field->key));
  block[kTitle.offset + kTitle.maxChars] = 0;
  block[kArtist.offset + kArtist.maxChars] = 0;
  block[kAlbum.offset + kAlbum.maxChars] = 0;
  block[kZeroBeforeTrack] = 0;
  block[kTrackByte] = TrackByteFor(record);
  block[kGenreByte] = GenreByteFor(record, block[kGenreByte]);

  uint32_t at = inPlace ? size - kBlockSize : size;
  return file.SeekFromStart(at) && file.WriteFull(block, kBlockSize);
}
