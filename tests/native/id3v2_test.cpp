#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "tags/id3v2.h"
#include "tests/native/test_files.h"

namespace {

Bytes Be32(uint32_t v) { return Bytes{uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }
Bytes Synchsafe(uint32_t v) {
  return Bytes{uint8_t(v >> 21 & 0x7F), uint8_t(v >> 14 & 0x7F), uint8_t(v >> 7 & 0x7F), uint8_t(v & 0x7F)};
}
Bytes Frame(const char* id, const Bytes& c, uint8_t status = 0, uint8_t format = 0) {
  return Concat({BytesOf(id), Be32(uint32_t(c.size())), Bytes{status, format}, c});
}
Bytes Frame4(const char* id, const Bytes& c, uint8_t status = 0, uint8_t format = 0) {
  return Concat({BytesOf(id), Synchsafe(uint32_t(c.size())), Bytes{status, format}, c});
}
Bytes Frame2(const char* id, const Bytes& c) {
  return Concat({BytesOf(id), Bytes{0, 0, uint8_t(c.size())}, c});
}
Bytes Tag(uint8_t major, const Bytes& body, uint8_t flags = 0) {
  return Concat({BytesOf("ID3"), Bytes{major, 0, flags}, Synchsafe(uint32_t(body.size())), body});
}
Bytes Latin1(const std::string& text) { return Concat({Bytes{0}, BytesOf(text)}); }
// A text frame's content as this program renders it.
Bytes Text(const std::string& text) { return Concat({Latin1(text), Bytes{0}}); }

Bytes Audio(size_t n) {
  Bytes a(n);
  for (size_t i = 0; i < n; ++i) a[i] = uint8_t(i * 37 + 11);
  return a;
}
const Bytes kAudio = Audio(3000);
const Bytes kTitle = Frame("TIT2", Latin1("Song"));

Bytes Id3v1Block(const std::string& title, const std::string& album = "") {
  Bytes b(128, 0);
  std::memcpy(b.data(), "TAG", 3);
  std::memcpy(b.data() + 3, title.data(), title.size());
  std::memcpy(b.data() + 63, album.data(), album.size());
  b[127] = 255;
  return b;
}

TagRecord ReadBack(const TempFile& f) {
  TagRecord r;
  EXPECT_TRUE(ReadTags(r, f.c_str()));
  return r;
}

// Reads the file, sets one field, writes it back.
void Retag(const TempFile& f, const char* key, const std::string& value) {
  TagRecord r = ReadBack(f);
  r.SetFromText(key, value, true);
  ASSERT_TRUE(WriteTags(r, f.c_str()));
}

// What follows the ID3v2 tag at `offset`, up to the ID3v1 block.
Bytes AudioAfterTag(const Bytes& file, size_t offset) {
  size_t end = offset + 10 + ((file[offset + 6] << 21) | (file[offset + 7] << 14) |
                              (file[offset + 8] << 7) | file[offset + 9]);
  return Bytes(file.begin() + end, file.end() - 128);
}

void ExpectFileStartsWith(const TempFile& f, const Bytes& start, const Bytes& audio) {
  Bytes bytes = f.Read();
  ASSERT_GE(bytes.size(), start.size() + 128);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + start.size()), start);
  EXPECT_EQ(AudioAfterTag(bytes, 0), audio);
}

}  // namespace

TEST(Id3v2Find, SizesAndOffsetsComeFromTheHeader) {
  const uint32_t n = uint32_t(kTitle.size());
  const Bytes falseHeader = Concat({BytesOf("ID3"), Bytes{3, 0, 0, 0, 0, 0, 20}, BytesOf("abcd")});
  struct Case {
    const char* name;
    Bytes file;
    uint32_t offset, total, firstFrame;
  } cases[] = {
      {"size 0x201", Tag(3, Concat({kTitle, Bytes(257 - n, 0)})), 0, 267, 10},
      {"size 0x4000", Tag(3, Concat({kTitle, Bytes(16384 - n, 0)})), 0, 16394, 10},
      {"footer", Concat({Tag(4, kTitle, 0x10), BytesOf("3DI"), Bytes(7, 0)}), 0, n + 20, 10},
      {"v3 extended header", Tag(3, Concat({Bytes{0, 0, 0, 6}, Bytes(6, 0), kTitle}), 0x40), 0, n + 20, 20},
      {"v4 extended header", Tag(4, Concat({Bytes{0, 0, 0, 6, 1, 0}, kTitle}), 0x40), 0, n + 16, 16},
      {"empty tag", Tag(3, {}), 0, 10, 10},
      {"version 2", Tag(2, Frame2("TT2", Latin1("S"))), 0, 18, 10},
      {"after other data", Concat({Audio(1000), Tag(3, kTitle)}), 1000, n + 10, 1010},
      {"across the search's reads", Concat({Audio(65532), Tag(3, kTitle)}), 65532, n + 10, 65542},
      {"after a false one", Concat({falseHeader, Tag(3, kTitle)}), 14, n + 10, 24},
  };
  for (const Case& c : cases) {
    TempFile f(Concat({c.file, kAudio}), ".mp3");
    File file;
    Id3v2Header h;
    ASSERT_TRUE(file.Open(f.c_str(), FileMode::Read) && FindId3v2Header(file, &h)) << c.name;
    EXPECT_EQ(h.tagOffset, c.offset) << c.name;
    EXPECT_EQ(h.totalSize, c.total) << c.name;
    EXPECT_EQ(h.firstFrameOffset, c.firstFrame) << c.name;
  }
}

TEST(Id3v2Find, ChanceMatchesInAudioAreNoTags) {
  const Bytes cases[] = {
      Concat({BytesOf("ID3"), Bytes{3, 0, 0, 0, 0, 0x10, 0}, BytesOf("tit2"), kAudio}),  // no frame
      Concat({BytesOf("ID3"), Bytes{3, 0, 0, 0, 0, 0x7F, 0x7F}, kTitle}),  // ends past the file
      Concat({BytesOf("ID3"), Bytes{9, 0, 0, 0, 0, 0, 16}, kTitle}),        // no such version
      Concat({BytesOf("ID3"), Bytes{3, 0, 0, 0, 0, 0x80, 16}, kTitle}),     // not synchsafe
      Concat({BytesOf("ID3"), Bytes{3, 0, 0, 0, 0, 0, 16}, Bytes{0, 0, 'x'}, kAudio}),  // no padding
      Concat({BytesOf("ID3"), Bytes{3, 0, 0, 0, 0, 0, 12}, kTitle}),  // frame larger than the tag
  };
  for (const Bytes& bytes : cases) {
    TempFile f(Concat({Audio(100), bytes}), ".mp3");
    File file;
    Id3v2Header h;
    ASSERT_TRUE(file.Open(f.c_str(), FileMode::Read));
    EXPECT_FALSE(FindId3v2Header(file, &h));
  }
}

TEST(Id3v2Read, FramesWinOverTheId3v1Block) {
  const Bytes comm = Latin1("eng");
  struct Case {
    const char* name;
    Bytes tag;
    const char* title;
    std::string comment;
  } cases[] = {
      {"latin1 title", Tag(3, kTitle), "Song", ""},
      {"no title", Tag(3, Frame("TPE1", Latin1("A"))), "Other", ""},
      {"utf-16 title", Tag(3, Frame("TIT2", Bytes{1, 0xFF, 0xFE, 'S', 0})), "S", ""},
      {"padding ends the walk", Tag(3, Concat({kTitle, Bytes(20, 0), Frame("COMM", Latin1("engX"))})), "Song", ""},
      {"later comment wins",
       Tag(3, Concat({Frame("COMM", Concat({comm, BytesOf(std::string("d\0first", 7))})),
                      Frame("COMM", Concat({comm, BytesOf(std::string("\0second\0x", 9))}))})),
       "Other", "second"},
      {"v4 synchsafe frame sizes",
       Tag(4, Concat({Frame4("COMM", Concat({comm, Bytes{0}, Bytes(200, 'c')})), Frame4("TIT2", Latin1("Song"))})),
       "Song", std::string(200, 'c')},
      {"v2.2 ids", Tag(2, Concat({Frame2("TT2", Latin1("Song")), Frame2("COM", Latin1(std::string("eng\0c", 5)))})),
       "Song", "c"},
      {"v3 unsynchronised tag", Tag(3, Frame("TIT2", Bytes{0, 'S', 0xFF, 0, 0xE0}), 0x80), "S\xC3\xBF\xC3\xA0", ""},
      {"v4 frame unsynchronised with data length",
       Tag(4, Frame4("TIT2", Bytes{0, 0, 0, 4, 0, 'S', 0xFF, 0, 0xE0}, 0, 0x03)), "S\xC3\xBF\xC3\xA0", ""},
      {"broken sizes", Tag(3, Concat({Frame("TALB", {}), kTitle, BytesOf("TPE1"), Be32(0xFFFFFFFF)})), "Song", ""},
  };
  for (const Case& c : cases) {
    TempFile f(Concat({c.tag, kAudio, Id3v1Block("Other")}), ".mp3");
    TagRecord r = ReadBack(f);
    EXPECT_EQ(r.Get("TITLE"), c.title) << c.name;
    EXPECT_EQ(r.Get("COMMENT"), c.comment) << c.name;
  }
  TagRecord r;
  EXPECT_FALSE(ReadTags(r, TempPath(".mp3").c_str()));  // cannot be opened
}

TEST(Id3v2Read, RecordKeepsOnlyTextCommentAndLinkFrames) {
  TempFile f(Concat({Tag(3, Concat({Frame("TPE2", Latin1("Band")), Frame("TXXX", Latin1(std::string("d\0v", 3))),
                                    Frame("WXXX", Latin1(std::string("home\0http://x", 13))),
                                    Frame("APIC", Latin1(std::string("image/png\0\3\0data", 17)))})),
                     kAudio}),
             ".mp3");
  TagRecord r = ReadBack(f);
  std::vector<std::pair<std::string, std::string>> entries;
  for (const TagEntry& e : r.Entries()) entries.push_back({e.key, e.value});
  EXPECT_EQ(entries, (decltype(entries){{"WXXX", "http://x"}, {"TPE2", "Band"}}));
}

TEST(Id3v2Write, RenderedFramesHaveTheirLayouts) {
  auto Render = [](const char* key, const char* value) {
    TagRecord r;
    r.Set(key, value);
    return RenderId3v2Tag(r);
  };
  EXPECT_EQ(Render("TITLE", "X"),
            (Bytes{'I', 'D', '3', 3, 0, 0, 0, 0, 0, 13, 'T', 'I', 'T', '2', 0, 0, 0, 3, 0, 0, 0, 'X', 0}));
  EXPECT_EQ(Render("TRACKNUMBER", "300"), Tag(3, Frame("TRCK", Text("255"))));
  EXPECT_EQ(Render("TRACKNUMBER", "3/12"), Tag(3, Frame("TRCK", Text("3/12"))));
  EXPECT_EQ(Render("DATE", "1999-05-01"), Tag(3, Frame("TYER", Text("1999"))));
  EXPECT_EQ(Render("COMMENT", "c"), Tag(3, Frame("COMM", Bytes{0, 0, 0, 0, 0, 'c', 0})));
  EXPECT_EQ(Render("WXXX", "u"), Tag(3, Frame("WXXX", Bytes{0, 0, 'u', 0})));
  EXPECT_EQ(Render("lower", "x"), Bytes{});  // no frame id can stand for it
}

TEST(Id3v2Write, NewTagGoesBeforeAllFormerContent) {
  // A chance "ID3" in the audio is neither taken as the tag nor changed.
  const Bytes before = Concat({Audio(500), BytesOf("ID3"), Bytes{3, 0, 0, 0, 0, 0x10, 0, '?'}, kAudio});
  TempFile f(before, ".mp3");
  Retag(f, "TITLE", "X");
  ExpectFileStartsWith(f, Tag(3, Frame("TIT2", Text("X"))), before);
}

TEST(Id3v2Write, TagIsReplacedWhereItWasAndAudioSurvivesRewrites) {
  const Bytes head = Audio(1000);
  struct Case {
    const char* name;
    Bytes file;
    size_t offset;
  } cases[] = {
      {"after other data", Concat({head, Tag(3, Frame("TIT2", Latin1("Old"))), kAudio}), 1000},
      {"version 2.2, not stacked", Concat({Tag(2, Frame2("TT2", Latin1("Old"))), kAudio}), 0},
      {"version 2.4 with padding", Concat({Tag(4, Concat({Frame4("TIT2", Latin1("Old")), Bytes(300, 0)})), kAudio}), 0},
  };
  for (const Case& c : cases) {
    TempFile f(c.file, ".mp3");
    for (const std::string title : {"A much longer title than before", "S", "Third"}) {
      Retag(f, "TITLE", title);
      Bytes after = f.Read();
      Bytes tag = Tag(3, Frame("TIT2", Text(title)));
      EXPECT_EQ(Bytes(after.begin(), after.begin() + c.offset + tag.size()),
                Concat({Bytes(c.file.begin(), c.file.begin() + c.offset), tag})) << c.name;
      EXPECT_EQ(AudioAfterTag(after, c.offset), kAudio) << c.name << " " << title;
    }
  }
}

TEST(Id3v2Write, RewriteThatWouldExposeAChanceMatchIsRefused) {
  // Before the tag, a chance match whose size runs 5 bytes past the end of the
  // file: a longer tag would make it fit, and it would hide the new tag.
  const Bytes tail = Concat({Tag(3, Frame("TIT2", Latin1("Old"))), kAudio});
  const Bytes before = Concat({Audio(7), BytesOf("ID3"), Bytes{3, 0, 0},
                               Synchsafe(uint32_t(20 + tail.size() - 10 + 5)), Frame("PRIV", {}), tail});
  TempFile f(before, ".mp3");
  TagRecord r = ReadBack(f);
  ASSERT_EQ(r.Get("TITLE"), "Old");
  r.SetFromText("TITLE", "A much longer title", true);
  EXPECT_FALSE(WriteTags(r, f.c_str()));
  EXPECT_EQ(f.Read(), before);  // not even the ID3v1 block is added
}

TEST(Id3v2Write, SameSizeTagLeavesTheAudioUntouched) {
#ifdef _WIN32
  GTEST_SKIP() << "needs sparse files";
#else
  // A hole in a sparse file stays unallocated only if nothing writes it again.
  TempFile f(Concat({Tag(3, Frame("TIT2", Text("A"))), kAudio}), ".mp3");
  ASSERT_EQ(truncate(f.c_str(), 16 << 20), 0);
  FILE* append = fopen(f.c_str(), "ab");
  fwrite(Id3v1Block("A").data(), 1, 128, append);
  fclose(append);
  struct stat before, after;
  ASSERT_EQ(stat(f.c_str(), &before), 0);
  Retag(f, "TITLE", "B");
  ASSERT_EQ(stat(f.c_str(), &after), 0);
  EXPECT_EQ(after.st_size, before.st_size);
  EXPECT_LE(after.st_blocks, before.st_blocks + 8);
  EXPECT_EQ(ReadBack(f).Get("TITLE"), "B");
#endif
}

TEST(Id3v2Write, EmptyRecordRemovesTheTag) {
  TempFile f(Concat({Audio(10), Tag(3, Concat({Frame("TIT2", Latin1("Old")), Bytes(50, 0)})), kAudio}), ".mp3");
  Retag(f, "TITLE", "");
  EXPECT_EQ(f.Read(), Concat({Audio(10), kAudio, Id3v1Block("")}));
}

TEST(Id3v2Write, UntouchedFramesAreCarriedByteForByte) {
  const Bytes utf16Title = Frame("TIT2", Bytes{1, 0xFF, 0xFE, 'S', 0, 'o', 0});
  const Bytes picture = Frame("APIC", Latin1(std::string("image/png\0\3\0\x89PNG", 16)), 0x40, 0);
  const Bytes userText = Frame("TXXX", Latin1(std::string("key\0value", 9)));
  const Bytes comments = Concat({Frame("COMM", Latin1(std::string("engdesc\0first", 13))),
                                 Frame("COMM", Latin1(std::string("deu\0second", 10)))});
  TempFile f(Concat({Tag(3, Concat({utf16Title, Frame("TPE1", Latin1("Old")), picture, userText, comments,
                                    Bytes(100, 0)})),
                     kAudio, Id3v1Block("Title1", "Album1")}),
             ".mp3");
  Retag(f, "ARTIST", "New");
  // The album only the ID3v1 block had, and the changed artist, are rendered in
  // the record's order; the block's title is not, as the old tag has a title frame.
  const Bytes album = Frame("TALB", Text("Album1"));
  const Bytes artist = Frame("TPE1", Text("New"));
  ExpectFileStartsWith(f, Tag(3, Concat({album, artist, utf16Title, picture, userText, comments})), kAudio);
  // A changed comment replaces both old comment frames.
  Retag(f, "COMMENT", "c");
  ExpectFileStartsWith(f, Tag(3, Concat({Frame("COMM", Bytes{0, 0, 0, 0, 0, 'c', 0}), album, artist,
                                         utf16Title, picture, userText})), kAudio);
}

TEST(Id3v2Write, Version4FramesAreCarriedAsVersion3) {
  // UTF-8 with a 4-byte sequence, an invalid byte and a second string.
  const Bytes utf8 = {3, 'Z', 0xC3, 0xAB, 0xF0, 0x9F, 0x98, 0x80, 0xFF, 0, 'x'};
  const Bytes utf16 = {1, 0xFF, 0xFE, 'Z', 0, 0xEB, 0, 0x3D, 0xD8, 0x00, 0xDE, 0xFD, 0xFF, 0, 0, 0xFF, 0xFE, 'x', 0};
  const Bytes groupedUserText = {7, 2, 0, 'd', 0, 0, 0, 'v'};  // group byte, UTF-16BE
  const Bytes convertedUserText = {7, 1, 0xFF, 0xFE, 'd', 0, 0, 0, 0xFF, 0xFE, 'v', 0};
  const Bytes link = {3, 0xC3, 0xAB, 0, 'h', 0xC3};
  const Bytes convertedLink = {1, 0xFF, 0xFE, 0xEB, 0, 0, 0, 'h', 0xC3};
  const Bytes privateData = {3, 0xC3, 1};
  TempFile f(Concat({Tag(4, Concat({Frame4("TPE1", utf8, 0x40), Frame4("TXXX", groupedUserText, 0x20, 0x40),
                                    Frame4("WXXX", link, 0x10), Frame4("PRIV", privateData),
                                    Frame4("XUNK", Bytes{3, 'a'}),  // layout unknown: dropped
                                    Frame4("TIT2", Bytes{0, 0, 0, 3, 0, 'T', 'i'}, 0, 0x01)})),  // data length
                     kAudio}),
             ".mp3");
  Retag(f, "ALBUM", "New");
  // The title is carried without its data length indicator.
  ExpectFileStartsWith(f, Tag(3, Concat({Frame("TALB", Text("New")), Frame("TPE1", utf16, 0x80),
                                         Frame("TXXX", convertedUserText, 0x40, 0x20),
                                         Frame("WXXX", convertedLink, 0x20), Frame("PRIV", privateData),
                                         Frame("TIT2", Bytes{0, 'T', 'i'})})),
                       kAudio);
}

TEST(Id3v2Write, FramesOfUnsynchronisedTagsAreCarriedWithoutIt) {
  // What the writers stored: a zero after every 0xFF that could pass for a sync.
  const Bytes plain = {0xFF, 0xE0, 0x41, 0xFF, 0x00};
  const Bytes stored = {0xFF, 0x00, 0xE0, 0x41, 0xFF, 0x00, 0x00};
  const Bytes utf16 = {1, 0xFF, 0xFE, 'S', 0, 'o', 0};
  const Bytes utf16Stored = {1, 0xFF, 0x00, 0xFE, 'S', 0, 'o', 0};
  // Before version 2.4 the frames are unsynchronised as a whole, headers included.
  Bytes v23 = Concat({Frame("TIT2", utf16), Frame("PRIV", plain)});
  for (size_t i = 0; i < v23.size(); ++i)
    if (v23[i] == 0xFF && (i + 1 == v23.size() || v23[i + 1] >= 0xE0 || v23[i + 1] == 0))
      v23.insert(v23.begin() + i + 1, 0);
  struct Case {
    const char* name;
    Bytes tag;
  } cases[] = {
      {"v2.3, whole tag", Tag(3, v23, 0x80)},
      {"v2.4, the tag's flag", Tag(4, Concat({Frame4("TIT2", utf16Stored), Frame4("PRIV", stored)}), 0x80)},
      {"v2.4, frame flags with data lengths",
       Tag(4, Concat({Frame4("TIT2", Concat({Synchsafe(7), utf16Stored}), 0, 0x03),
                      Frame4("PRIV", Concat({Synchsafe(5), stored}), 0, 0x03)}))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile f(Concat({c.tag, kAudio}), ".mp3");
    Retag(f, "ARTIST", "A");
    ExpectFileStartsWith(f, Tag(3, Concat({Frame("TPE1", Text("A")), Frame("TIT2", utf16), Frame("PRIV", plain)})),
                         kAudio);
  }
}

TEST(Id3v2Write, NeverPutsASecondTagInFrontOfTheFirst) {
  // Tags other writers got wrong, but whose frames can be read.
  const Bytes priv = Concat({BytesOf("owner"), Bytes{0}, Audio(200)});
  struct Readable {
    const char* name;
    Bytes tag;
  } readable[] = {
      {"extended-header flag without one", Tag(4, Concat({Frame4("TIT2", Latin1("T")), Frame4("PRIV", priv)}), 0x40)},
      {"v2.3 extended-header flag without one", Tag(3, Concat({Frame("TIT2", Latin1("T")), Frame("PRIV", priv)}), 0x40)},
      {"v2.4 sizes as plain integers", Tag(4, Concat({Frame("PRIV", priv), Frame("TIT2", Latin1("T")), Bytes(30, 0)}))},
  };
  for (const Readable& c : readable) {
    TempFile f(Concat({c.tag, kAudio}), ".mp3");
    EXPECT_EQ(ReadBack(f).Get("TITLE"), "T") << c.name;
    Retag(f, "ARTIST", "A");
    Retag(f, "ALBUM", "B");
    const Bytes bytes = f.Read();
    const Bytes id3 = BytesOf("ID3");
    EXPECT_EQ(std::search(bytes.begin() + 1, bytes.end(), id3.begin(), id3.end()), bytes.end()) << c.name;
    TagRecord r = ReadBack(f);
    EXPECT_EQ(r.Get("TITLE"), "T") << c.name;
    EXPECT_EQ(r.Get("ARTIST"), "A") << c.name;
    bool privateCarried = false;
    for (const Id3Frame& frame : r.id3Frames)
      privateCarried |= frame.bytes == Frame("PRIV", priv);
    EXPECT_TRUE(privateCarried) << c.name;
    EXPECT_EQ(AudioAfterTag(bytes, 0), kAudio) << c.name;
  }

  // Tags that can't be replaced safely: the file stays as it is, ID3v1 block and all.
  struct Refused {
    const char* name;
    Bytes file;
  } refused[] = {
      {"claims more than the file holds",
       Concat({BytesOf("ID3"), Bytes{3, 0, 0}, Synchsafe(5000), Frame("TIT2", Latin1("T")), kAudio})},
      {"cannot be parsed", Concat({Tag(3, Concat({BytesOf("tit2"), Bytes(40, 1)})), kAudio})},
      {"a version this program can't read", Concat({Tag(5, Frame("TIT2", Latin1("T"))), kAudio})},
      {"v2.2 compression", Concat({Tag(2, Frame2("TT2", Latin1("T")), 0x40), kAudio})},
  };
  for (const Refused& c : refused) {
    TempFile f(c.file, ".mp3");
    TagRecord r = ReadBack(f);
    r.SetFromText("ARTIST", "A", true);
    EXPECT_FALSE(WriteTags(r, f.c_str())) << c.name;
    EXPECT_EQ(f.Read(), c.file) << c.name;
  }
  // What the cut-off tag holds is still shown.
  TempFile cut(refused[0].file, ".mp3");
  EXPECT_EQ(ReadBack(cut).Get("TITLE"), "T");
}

TEST(Id3v2Write, Version2FramesAreCarriedUnderVersion3Ids) {
  const Bytes picture = Concat({Bytes{0}, BytesOf("JPG"), Bytes{3}, BytesOf("cover"), Bytes{0, 0xFF, 0xD8, 0xFF}});
  const Bytes volume = {0x03, 0x10, 0x01, 0x00, 0x02, 0x00};
  TempFile f(Concat({Tag(2, Concat({Frame2("TT2", Latin1("Title")), Frame2("TEN", Latin1("Encoder")),
                                    Frame2("TDA", Latin1("0512")), Frame2("TCP", Latin1("1")),
                                    Frame2("TSP", Latin1("Sort")), Frame2("PIC", picture), Frame2("RVA", volume),
                                    Frame2("ULT", Latin1(std::string("eng\0words", 9))),
                                    Frame2("WXX", Latin1(std::string("d\0http://x", 10))),
                                    Frame2("CRM", Bytes{'o', 0, 1}), Frame2("LNK", BytesOf("TT2http")),
                                    Bytes(20, 0)})),
                     kAudio}),
             ".mp3");
  Retag(f, "ARTIST", "A");
  // The record reads the link too, so only the changed artist is rendered; "CRM"
  // and "LNK" have no version 2.3 form.
  const Bytes apic = Concat({Bytes{0}, BytesOf("image/jpeg"), Bytes{0, 3}, BytesOf("cover"), Bytes{0, 0xFF, 0xD8, 0xFF}});
  ExpectFileStartsWith(
      f,
      Tag(3, Concat({Frame("TPE1", Text("A")), Frame("TIT2", Latin1("Title")), Frame("TENC", Latin1("Encoder")),
                     Frame("TDAT", Latin1("0512")), Frame("TCMP", Latin1("1")), Frame("TSOP", Latin1("Sort")),
                     Frame("APIC", apic), Frame("RVAD", volume), Frame("USLT", Latin1(std::string("eng\0words", 9))),
                     Frame("WXXX", Latin1(std::string("d\0http://x", 10)))})),
      kAudio);
}

TEST(Id3v2Write, MissingOrReadOnlyFilesFailUntouched) {
  TagRecord r;
  r.Set("TITLE", "X");
  std::string vanished = TempPath(".mp3");
  EXPECT_FALSE(WriteTags(r, vanished.c_str()));
  EXPECT_FALSE(FileExists(vanished));
#ifndef _WIN32
  if (geteuid() == 0) return;  // root writes read-only files anyway
  TempFile f(kAudio, ".mp3");
  chmod(f.c_str(), 0444);
  EXPECT_FALSE(WriteTags(r, f.c_str()));
  EXPECT_EQ(f.Read(), kAudio);
#endif
}

TEST(Id3v2RoundTrip, RenderedTagsParseBackAndParsedTagsRenderAgainByteForByte) {
  // A record's fields, rendered and parsed again.
  TagRecord record;
  const std::pair<const char*, const char*> fields[] = {
      {"TITLE", "Night Song"}, {"ARTIST", "The Band"}, {"ALBUM", "Long Album"}, {"DATE", "1999"},
      {"TRACKNUMBER", "7/12"}, {"COMMENT", "Nice one"}, {"GENRE", "Rock"},    {"WXXX", "http://x"},
      {"TPE2", "Other"}};
  for (const auto& f : fields) record.Set(f.first, f.second);
  const Bytes rendered = RenderId3v2Tag(record);
  TagRecord parsed;
  ASSERT_TRUE(ParseId3v2Tag(rendered, parsed));
  for (const auto& f : fields) EXPECT_EQ(parsed.Get(f.first), f.second) << f.first;

  // Another writer's tag (no padding): read and left unchanged, every frame comes
  // back as it was, in its order.
  const Bytes other = Tag(3, Concat({Frame("TIT2", Bytes{1, 0xFF, 0xFE, 'S', 0}), Frame("TPE1", Latin1("A")),
                                     Frame("APIC", Latin1(std::string("image/png\0\3\0\x89PNG", 16)), 0x40),
                                     Frame("TXXX", Latin1(std::string("k\0v", 3))), Frame("PRIV", Bytes{1, 2, 3}),
                                     Frame("COMM", Latin1(std::string("eng\0c", 5)))}));
  TagRecord carried;
  ASSERT_TRUE(ParseId3v2Tag(other, carried));
  carried.MarkLoaded();
  EXPECT_EQ(RenderId3v2Tag(carried), other);
  // A changed field is rendered first; the rest stay byte for byte.
  carried.SetFromText("ARTIST", "B", true);
  const Bytes changed = RenderId3v2Tag(carried);
  EXPECT_EQ(Bytes(changed.begin() + 10, changed.begin() + 23), Frame("TPE1", Text("B")));
  EXPECT_FALSE(ParseId3v2Tag(Concat({Bytes{0}, other}), carried));  // a tag must begin the bytes
}

TEST(Id3v2Read, EveryTextEncodingBecomesTheProgramsText) {
  // "Für" and friends in each encoding, read as UTF-8.
  const Bytes utf16le = {1, 0xFF, 0xFE, 'F', 0, 0xFC, 0, 'r', 0, 0, 0, 'x', 0};
  const Bytes utf16be = {1, 0xFE, 0xFF, 0, 'F', 0, 0xFC, 0, 'r'};
  const Bytes noBom = {1, 'F', 0, 0xFC, 0, 'r', 0};
  const Bytes utf16beV4 = {2, 0, 'F', 0, 0xFC, 0, 'r'};
  const Bytes utf8 = {3, 'F', 0xC3, 0xBC, 'r', 0};
  struct Case {
    const char* name;
    uint8_t major;
    Bytes content;
    std::string title;
  } cases[] = {
      {"UTF-16 little-endian, a second string after", 3, utf16le, "F\xC3\xBCr"},
      {"UTF-16 big-endian by its mark", 3, utf16be, "F\xC3\xBCr"},
      {"UTF-16 without a mark", 3, noBom, "F\xC3\xBCr"},
      {"UTF-16BE (2.4)", 4, utf16beV4, "F\xC3\xBCr"},
      {"UTF-8 (2.4)", 4, utf8, "F\xC3\xBCr"},
      {"beyond ISO-8859-1 and the first 65,536", 3, Bytes{1, 0xFF, 0xFE, 'a', 0, 0x01, 0x01, 0x3D, 0xD8, 0x00, 0xDE},
       "a\xC4\x81\xF0\x9F\x98\x80"},
      {"an odd last byte", 3, Bytes{1, 0xFF, 0xFE, 'a', 0, 'b'}, "a\xEF\xBF\xBD"},
      {"an unpaired surrogate", 3, Bytes{1, 0xFF, 0xFE, 0x00, 0xDC, 'a', 0}, "\xEF\xBF\xBD" "a"},
      {"invalid UTF-8", 4, Bytes{3, 'a', 0xC3, 'b', 0xFF}, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD"},
      {"UCS-2 in version 2.2", 2, Bytes{1, 0xFF, 0xFE, 0xE9, 0}, "\xC3\xA9"},
  };
  for (const Case& c : cases) {
    const Bytes frame = c.major == 2 ? Frame2("TT2", c.content) : c.major == 4 ? Frame4("TIT2", c.content)
                                                                                  : Frame("TIT2", c.content);
    TagRecord r;
    ASSERT_TRUE(ParseId3v2Tag(Tag(c.major, frame), r)) << c.name;
    EXPECT_EQ(r.Get("TITLE"), c.title) << c.name;
  }

  // A comment and a link behind descriptions in UTF-16; the link itself is ISO-8859-1.
  TagRecord r;
  const Bytes comment = {1, 'e', 'n', 'g', 0xFF, 0xFE, 'd', 0, 0, 0, 0xFF, 0xFE, 0xE9, 0, 't', 0};
  const Bytes link = {1, 0xFF, 0xFE, 'h', 0, 0, 0, 'h', 't', 't', 'p', ':', '/', '/', 'x'};
  ASSERT_TRUE(ParseId3v2Tag(Tag(3, Concat({Frame("COMM", comment), Frame("WXXX", link)})), r));
  EXPECT_EQ(r.Get("COMMENT"), "\xC3\xA9t");
  EXPECT_EQ(r.Get("WXXX"), "http://x");
}
