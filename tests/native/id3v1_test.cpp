#include <gtest/gtest.h>

#include <cstring>

#include "tags/id3v1.h"
#include "tests/native/test_files.h"

namespace {

// A block from its fields; each text is copied at its offset without terminator.
Bytes Block(const std::string& title, uint8_t zero = 0, uint8_t track = 0, uint8_t genre = 255,
            const std::string& comment = "") {
  Bytes b(128, 0);
  std::memcpy(b.data(), "TAG", 3);
  std::memcpy(b.data() + 3, title.data(), title.size());
  std::memcpy(b.data() + 97, comment.data(), comment.size());
  b[125] = zero;
  b[126] = track;
  b[127] = genre;
  return b;
}

const Bytes kAudio = {0xFF, 0xFB, 0x90, 0x64, 1, 2, 3, 4, 5, 6};

Bytes WriteInto(const Bytes& before, const TagRecord& record) {
  TempFile f(before, ".mp3");
  File file;
  EXPECT_TRUE(file.Open(f.c_str(), FileMode::Update));
  EXPECT_TRUE(WriteId3v1(record, file));
  file.Close();
  return f.Read();
}

}  // namespace

TEST(Id3v1Read, FieldsTrackAndGenreComeFromTheirBytes) {
  struct Case {
    Bytes file;
    const char* title;
    const char* track;
    const char* genre;
  } cases[] = {
      {Concat({kAudio, Block("Word" + std::string(26, ' '), 0, 7, 17)}), "Word", "7", "Rock"},
      {Block(std::string(30, 'a'), 0, 0, 0), "aaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "", "Blues"},
      // An ID3v1.0 comment padded with spaces runs into byte 126: no track 32.
      {Block("", ' ', ' ', 147, std::string(28, ' ')), "", "", ""},
      {Block("", 0, 200, 255), "", "200", ""},
      {Bytes(127, 'T'), "", "", ""},
  };
  for (const Case& c : cases) {
    TempFile f(c.file, ".mp3");
    TagRecord r;
    r.Set("ALBUM", "kept");
    ReadId3v1(r, f.c_str());
    EXPECT_EQ(r.Get("TITLE"), c.title);
    EXPECT_EQ(r.Get("TRACKNUMBER"), c.track);
    EXPECT_EQ(r.Get("GENRE"), c.genre);
    EXPECT_EQ(r.Get("ALBUM"), "kept");  // fills only absent fields
  }
}

TEST(Id3v1Write, NewBlockIsAppendedOnceWithExactBytes) {
  TagRecord r;
  r.Set("TITLE", std::string(30, 't'));
  r.Set("ARTIST", "Artist");
  r.Set("ALBUM", "Album");
  r.Set("DATE", "1999-05-01");
  r.Set("COMMENT", std::string(40, 'c'));
  Bytes want = Block(std::string(29, 't'), 0, 0, 255, std::string(28, 'c'));
  std::memcpy(want.data() + 33, "Artist", 6);
  std::memcpy(want.data() + 63, "Album", 5);
  std::memcpy(want.data() + 93, "1999", 4);
  Bytes once = WriteInto(kAudio, r);
  EXPECT_EQ(once, Concat({kAudio, want}));
  EXPECT_EQ(WriteInto(once, r), once);
  EXPECT_EQ(WriteInto(Bytes{1, 2}, TagRecord()), Concat({Bytes{1, 2}, Block("")}));
}

TEST(Id3v1Write, TrackAndGenreBytesFollowTheRecord) {
  struct Case {
    const char* track;  // empty: no TRACKNUMBER
    const char* genre;  // empty: no GENRE
    uint8_t oldGenre, wantTrack, wantGenre;
  } cases[] = {
      {"3/12", "17", 0, 3, 17},     {"999", "rock", 0, 255, 17},
      {"", "Synthpop", 5, 0, 5},    {"", "(17)", 5, 0, 5},  // no byte for these names
      {"", "", 5, 0, 255},          // a cleared genre does not come back
      {"", "", 200, 0, 200},        // a byte this program never writes is kept
  };
  for (const Case& c : cases) {
    TagRecord r;
    if (*c.track) r.Set("TRACKNUMBER", c.track);
    if (*c.genre) r.Set("GENRE", c.genre);
    Bytes file = WriteInto(Block("", 'x', 9, c.oldGenre), r);  // updated in place
    ASSERT_EQ(file.size(), 128u);
    EXPECT_EQ(file[125], 0);
    EXPECT_EQ(file[126], c.wantTrack) << c.track << "/" << c.genre;
    EXPECT_EQ(file[127], c.wantGenre) << c.track << "/" << c.genre;
  }
}

TEST(Id3v1Write, FailedWriteIsReported) {
  TempFile f(kAudio, ".mp3");
  File file;
  ASSERT_TRUE(file.Open(f.c_str(), FileMode::Read));
  EXPECT_FALSE(WriteId3v1(TagRecord(), file));
}
