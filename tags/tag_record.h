// The named text fields of one audio file, as every tag reader fills it and every
// tag writer takes it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct TagEntry {
  std::string key;
  std::string value;  // UTF-8, never empty, at most 259 characters
};

// A frame of the ID3v2 tag the record was read from, kept so that a rewrite can
// put it back byte for byte when its field was not changed.
struct Id3Frame {
  std::string key;             // the field key its frame id maps to ("TITLE", "APIC", ...)
  std::vector<uint8_t> bytes;  // the whole frame, header included, in version 3 form
};

constexpr size_t kMaxValue = 259;  // characters

class TagRecord {
 public:
  // Write the ID3v2 tag besides the ID3v1 block; every record the program makes has it.
  bool writeId3v2 = true;

  // The value of `key`, or the empty string.
  const std::string& Get(const std::string& key) const;
  // Replaces the value in place, or adds the key at the front. `value` must not be empty.
  void Set(const std::string& key, const std::string& value);
  void Remove(const std::string& key);
  // The assignment every reader and the tagging job use: keeps an existing value
  // unless `overwrite`; cuts at 259 characters and strips spaces at both ends; an
  // empty result removes the key.
  void SetFromText(const std::string& key, const std::string& text, bool overwrite);
  void Clear();

  // Entries from the front: the most recently added key first.
  const std::vector<TagEntry>& Entries() const { return entries_; }
  bool Empty() const { return entries_.empty(); }

  // Remembers the current values as those read from the file; Changed then tells
  // which keys were given another value or removed since.
  void MarkLoaded() { loaded_ = entries_; }
  bool Changed(const std::string& key) const;

  // Frames of the tag that was read, in file order, that may be carried through a
  // rewrite unchanged.
  std::vector<Id3Frame> id3Frames;

 private:
  std::vector<TagEntry> entries_;
  std::vector<TagEntry> loaded_;
};

// The genre table: the index of a name is its ID3v1 genre byte. 148 names and one
// empty entry.
constexpr int kGenreCount = 149;
extern const char* const GenreNames[kGenreCount];
// Names that have an ID3v1 byte: indexes 0 to 146.
constexpr int kId3v1GenreCount = 147;

// Read and write a file's tags, the format chosen by the path's extension
// (".mp3" or ".wav", any letter case); any other extension gives false.
bool ReadTags(TagRecord& record, const char* path);
bool WriteTags(const TagRecord& record, const char* path);
