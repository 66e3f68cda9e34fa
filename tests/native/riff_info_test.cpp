#include <gtest/gtest.h>

#include "tags/riff_info.h"
#include "test_files.h"

namespace {

Bytes Raw(const std::string& text) { return BytesOf(text); }
// A stored value: the text and its terminating zero.
Bytes Z(const std::string& text) { return Concat({BytesOf(text), Bytes{0}}); }

// A chunk with the size of `data`, and its pad byte when that size is odd.
Bytes Chunk(const char* id, const Bytes& data) {
  Bytes out = Concat({Raw(id), Le32(uint32_t(data.size())), data});
  if (data.size() & 1) out.push_back(0);
  return out;
}
// A chunk header with any size, followed by `data` as it is.
Bytes ChunkWithSize(const char* id, uint32_t size, const Bytes& data) {
  return Concat({Raw(id), Le32(size), data});
}

Bytes Info(std::initializer_list<Bytes> subChunks) {
  return Chunk("LIST", Concat({Raw("INFO"), Concat(subChunks)}));
}
Bytes Disp(const std::string& title) { return Chunk("DISP", Concat({Le32(1), Z(title)})); }
Bytes Fmt() { return Chunk("fmt ", Bytes(16, 0x11)); }
Bytes Data(size_t n) {
  Bytes d(n);
  for (size_t i = 0; i < n; ++i) d[i] = uint8_t(i * 7 + 3);
  return Chunk("data", d);
}

// A "RIFF" "WAVE" form whose size field is right for `chunks`.
Bytes Wav(std::initializer_list<Bytes> chunks) {
  Bytes body = Concat(chunks);
  return Concat({Raw("RIFF"), Le32(uint32_t(body.size() + 4)), Raw("WAVE"), body});
}
// The same bytes with the RIFF size a writer must leave: file size - 8.
Bytes WithRiffSize(Bytes file) {
  Bytes size = Le32(uint32_t(file.size() - 8));
  std::copy(size.begin(), size.end(), file.begin() + 4);
  return file;
}
// The bytes a writer leaves of an old tag chunk: the same chunk renamed.
Bytes Blanked(Bytes chunk) {
  std::fill(chunk.begin(), chunk.begin() + 4, ' ');
  return chunk;
}

TagRecord Record(std::initializer_list<std::pair<const char*, const char*>> fields) {
  TagRecord r;
  for (auto& f : fields) r.Set(f.first, f.second);
  return r;
}

TagRecord ReadBack(const TempFile& file) {
  TagRecord r;
  EXPECT_TRUE(ReadWavTags(r, file.c_str()));
  return r;
}

const Bytes kArtistAbTitleXyz = Concat({
    Raw("LIST"), Le32(16), Raw("INFO"), Raw("IART"), Le32(3), Raw("AB"), Bytes{0, 0},
    Raw("DISP"), Le32(8), Le32(1), Raw("XYZ"), Bytes{0},
});

}  // namespace

// ---------------------------------------------------------------------------
// Reading

TEST(RiffInfoRead, FieldsComeFromInfoListAndDisp) {
  struct Case {
    const char* name;
    Bytes file;
    std::vector<std::pair<std::string, std::string>> expected;  // in any order
  };
  const Case cases[] = {
      {"info after data",
       Wav({Fmt(), Data(10), Info({Chunk("IART", Z("A")), Chunk("INAM", Z("B"))})}),
       {{"ARTIST", "A"}, {"ALBUM", "B"}}},
      {"info before data, data skipped whole",
       Wav({Fmt(), Info({Chunk("IART", Z("A"))}),
            Chunk("data", Info({Chunk("INAM", Z("hidden"))}))}),
       {{"ARTIST", "A"}}},
      {"odd data keeps its pad byte",
       Wav({Fmt(), Data(7), Info({Chunk("ICMT", Z("c"))})}),
       {{"COMMENT", "c"}}},
      {"every id",
       Wav({Info({Chunk("IART", Z("ar")), Chunk("INAM", Z("al")), Chunk("ICOP", Z("1999")),
                  Chunk("ITRK", Z("7")), Chunk("ICMT", Z("co")), Chunk("IGNR", Z("Rock")),
                  Chunk("IPRD", Z("ti")), Chunk("ISFT", Z("sw"))})}),
       {{"ARTIST", "ar"}, {"ALBUM", "al"}, {"DATE", "1999"}, {"TRACKNUMBER", "7"},
        {"COMMENT", "co"}, {"GENRE", "Rock"}, {"TITLE", "ti"}}},
      {"value ends at its first zero, spaces stripped",
       Wav({Info({Chunk("IART", Raw(std::string(" AB\0CD", 6)))})}),
       {{"ARTIST", "AB"}}},
      {"list type in lower case", Wav({Chunk("LIST", Concat({Raw("info"), Chunk("IART", Z("x"))}))}),
       {{"ARTIST", "x"}}},
      {"other list types and blank chunks are skipped",
       Wav({Chunk("LIST", Concat({Raw("adtl"), Chunk("IART", Z("no"))})),
            Blanked(Info({Chunk("INAM", Z("old"))})), Blanked(Disp("old"))}),
       {}},
      {"disp title", Wav({Data(4), Disp("Song")}), {{"TITLE", "Song"}}},
      {"disp of type zero is skipped",
       Wav({Chunk("DISP", Concat({Le32(0), Z("no")}))}), {}},
      {"first title wins", Wav({Info({Chunk("IPRD", Z("first"))}), Disp("second")}),
       {{"TITLE", "first"}}},
      {"first of two lists wins",
       Wav({Info({Chunk("IART", Z("one"))}), Info({Chunk("IART", Z("two"))})}),
       {{"ARTIST", "one"}}},
      {"form after another top-level chunk",
       Concat({Chunk("JUNK", Bytes(5, 9)), Wav({Info({Chunk("IART", Z("x"))})})}),
       {{"ARTIST", "x"}}},
      {"list reaching past the end is read up to the end",
       Wav({ChunkWithSize("LIST", 0xFFFFFFFF, Concat({Raw("INFO"), Chunk("IART", Z("A"))}))}),
       {{"ARTIST", "A"}}},
      {"sub-chunk reaching past the end is read up to the end",
       Wav({ChunkWithSize("LIST", 0xFFFFFFFF,
                          Concat({Raw("INFO"), ChunkWithSize("IART", 0xFFFFFFFF, Raw("tail"))}))}),
       {{"ARTIST", "tail"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile file(c.file, ".wav");
    TagRecord r = ReadBack(file);
    EXPECT_EQ(r.Entries().size(), c.expected.size());
    for (const auto& e : c.expected) EXPECT_EQ(r.Get(e.first), e.second) << e.first;
  }
}

TEST(RiffInfoRead, ResultTellsWhetherAFormWasSearched) {
  struct Case {
    const char* name;
    Bytes file;
    bool result;
  };
  const Case cases[] = {
      {"empty file", {}, false},
      {"shorter than a header", Raw("RIFF"), false},
      {"search runs into the end", Chunk("JUNK", Bytes(20, 1)), false},
      {"form type is not WAVE", Concat({Raw("RIFF"), Le32(8), Raw("AVI "), Bytes(4, 0)}), false},
      {"chunk of size 0 ends the search", Concat({Raw("JUNK"), Le32(0), Bytes(20, 0)}), true},
      {"form with no chunks", Wav({}), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile file(c.file, ".wav");
    TagRecord r;
    EXPECT_EQ(ReadWavTags(r, file.c_str()), c.result);
    EXPECT_TRUE(r.Empty());
  }
  TagRecord r;
  EXPECT_FALSE(ReadWavTags(r, TempPath(".wav").c_str()));
}

// ---------------------------------------------------------------------------
// Writing

TEST(RiffInfoWrite, AppendsListAndDispToAnUntaggedFile) {
  Bytes original = Wav({Fmt(), Data(10)});
  TempFile file(original, ".wav");
  ASSERT_TRUE(WriteWavTags(Record({{"ARTIST", "AB"}, {"TITLE", "XYZ"}}), file.c_str()));
  EXPECT_EQ(file.Read(), WithRiffSize(Concat({original, kArtistAbTitleXyz})));
  TagRecord r = ReadBack(file);
  EXPECT_EQ(r.Get("ARTIST"), "AB");
  EXPECT_EQ(r.Get("TITLE"), "XYZ");
}

TEST(RiffInfoWrite, WritingTwiceReusesTheBlankPair) {
  TempFile file(Wav({Fmt(), Data(10)}), ".wav");
  TagRecord record = Record({{"ARTIST", "AB"}, {"TITLE", "XYZ"}});
  ASSERT_TRUE(WriteWavTags(record, file.c_str()));
  Bytes once = file.Read();
  ASSERT_TRUE(WriteWavTags(record, file.c_str()));
  EXPECT_EQ(file.Read(), once);
}

TEST(RiffInfoWrite, LongerValueAppendsAndLeavesOldChunksBlank) {
  Bytes original = Wav({Fmt(), Data(10)});
  TempFile file(original, ".wav");
  ASSERT_TRUE(WriteWavTags(Record({{"ARTIST", "AB"}, {"TITLE", "XYZ"}}), file.c_str()));
  ASSERT_TRUE(WriteWavTags(Record({{"ARTIST", "ABCD"}, {"TITLE", "XYZ"}}), file.c_str()));
  Bytes oldList(kArtistAbTitleXyz.begin(), kArtistAbTitleXyz.begin() + 24);
  Bytes oldDisp(kArtistAbTitleXyz.begin() + 24, kArtistAbTitleXyz.end());
  Bytes expected = Concat({original, Blanked(oldList), Blanked(oldDisp),
                           Info({Chunk("IART", Z("ABCD"))}), Disp("XYZ")});
  EXPECT_EQ(file.Read(), WithRiffSize(expected));
  EXPECT_EQ(ReadBack(file).Get("ARTIST"), "ABCD");
}

TEST(RiffInfoWrite, WrittenChunksAreByteExact) {
  struct Case {
    const char* name;
    TagRecord record;
    Bytes chunks;
  };
  const Case cases[] = {
      {"empty record",
       {},
       Concat({Raw("LIST"), Le32(4), Raw("INFO"), Raw("DISP"), Le32(6), Le32(1), Bytes{0, 0}})},
      {"entries in record order, title only in DISP, other keys dropped",
       Record({{"GENRE", "Pop"}, {"TITLE", "T"}, {"DATE", "2001"}, {"TPE2", "x"},
               {"TRACKNUMBER", "12"}, {"ALBUM", "Al"}, {"COMMENT", "c"}}),
       Concat({Raw("LIST"), Le32(4 + 10 + 12 + 12 + 14 + 12), Raw("INFO"),
               Raw("ICMT"), Le32(2), Raw("c"), Bytes{0},
               Raw("INAM"), Le32(3), Raw("Al"), Bytes{0, 0},
               Raw("ITRK"), Le32(3), Raw("12"), Bytes{0, 0},
               Raw("ICOP"), Le32(5), Raw("2001"), Bytes{0, 0},
               Raw("IGNR"), Le32(4), Raw("Pop"), Bytes{0},
               Raw("DISP"), Le32(6), Le32(1), Raw("T"), Bytes{0}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes original = Wav({Fmt(), Data(6)});
    TempFile file(original, ".wav");
    ASSERT_TRUE(WriteWavTags(c.record, file.c_str()));
    EXPECT_EQ(file.Read(), WithRiffSize(Concat({original, c.chunks})));
  }
}

TEST(RiffInfoWrite, OldTagChunksAreBlankedAndOtherListsKept) {
  Bytes cues = Chunk("LIST", Concat({Raw("adtl"), Chunk("labl", Concat({Le32(1), Z("cue")}))}));
  Bytes oldInfo = Info({Chunk("IART", Z("old"))});
  Bytes oldDisp = Disp("old title");
  TempFile file(Wav({Fmt(), oldInfo, cues, Data(9), oldDisp}), ".wav");
  ASSERT_TRUE(WriteWavTags(Record({{"ARTIST", "AB"}, {"TITLE", "XYZ"}}), file.c_str()));
  Bytes expected = Wav({Fmt(), Blanked(oldInfo), cues, Data(9), Blanked(oldDisp)});
  EXPECT_EQ(file.Read(), WithRiffSize(Concat({expected, kArtistAbTitleXyz})));
  TagRecord r = ReadBack(file);
  EXPECT_EQ(r.Entries().size(), 2u);
  EXPECT_EQ(r.Get("TITLE"), "XYZ");
}

TEST(RiffInfoWrite, CarriesSubChunksItDoesNotWrite) {
  Bytes icrd = Chunk("ICRD", Z("2020-01-02"));  // odd size: 11, with pad byte
  Bytes isft = Chunk("ISFT", Z("Rec"));
  Bytes ieng = Chunk("IENG", Z("eng"));
  Bytes original = Wav({Fmt(), Data(5),
                        Info({Chunk("IART", Z("old")), icrd, Chunk("IPRD", Z("old title")), isft,
                              Chunk("ICRD", Z("dup"))}),
                        Info({Chunk("ISFT", Z("dup")), ieng})});
  TempFile file(original, ".wav");
  TagRecord record = Record({{"ARTIST", "AB"}});
  ASSERT_TRUE(WriteWavTags(record, file.c_str()));
  Bytes written = file.Read();
  Bytes tail = Concat({Info({Chunk("IART", Z("AB")), icrd, isft, ieng}),
                       Raw("DISP"), Le32(6), Le32(1), Bytes{0, 0}});
  ASSERT_GT(written.size(), tail.size());
  EXPECT_EQ(Bytes(written.end() - tail.size(), written.end()), tail);
  EXPECT_EQ(ReadBack(file).Get("TITLE"), "");

  // The carried sub-chunks count in the list's size, so the same record fits the
  // blank pair it left.
  ASSERT_TRUE(WriteWavTags(record, file.c_str()));
  EXPECT_EQ(file.Read(), written);
}

TEST(RiffInfoWrite, NewChunksStartWhereTheWalkFindsThem) {
  struct Case {
    const char* name;
    Bytes original;
    Bytes prefix;  // what the new chunks follow
  };
  Bytes odd = Data(7);  // with its pad byte
  Bytes oddNoPad(odd.begin(), odd.end() - 1);
  const Case cases[] = {
      {"pad byte present", Wav({Fmt(), odd}), Wav({Fmt(), odd})},
      {"pad byte missing", Concat({Wav({Fmt()}), oddNoPad}), Wav({Fmt(), odd})},
      {"zero-sized chunks", Wav({Fmt(), Chunk("zero", {}), Chunk("    ", {}), odd}),
       Wav({Fmt(), Chunk("zero", {}), Chunk("    ", {}), odd})},
      {"stray bytes after the last chunk", Concat({Wav({Fmt(), odd}), Bytes{1, 2, 3}}),
       Wav({Fmt(), odd})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile file(c.original, ".wav");
    ASSERT_TRUE(WriteWavTags(Record({{"ARTIST", "AB"}, {"TITLE", "XYZ"}}), file.c_str()));
    EXPECT_EQ(file.Read(), WithRiffSize(Concat({c.prefix, kArtistAbTitleXyz})));
    EXPECT_EQ(ReadBack(file).Get("ARTIST"), "AB");
  }
}

TEST(RiffInfoWrite, BrokenFilesAreLeftAlone) {
  struct Case {
    const char* name;
    Bytes file;
  };
  const Case cases[] = {
      {"empty", {}},
      {"not RIFF", Concat({Raw("ID3"), Bytes{3, 0, 0, 0, 0, 0, 0}, Raw("mp3 frames")})},
      {"RIFF of another form", Concat({Raw("RIFF"), Le32(12), Raw("AVI "), Data(4)})},
      {"top-level chunk of size 0", Concat({Raw("JUNK"), Le32(0), Wav({Fmt()})})},
      {"data size 0xFFFFFFFF", Wav({Fmt(), ChunkWithSize("data", 0xFFFFFFFF, Bytes(40, 5))})},
      {"data reaching past the end", Wav({Fmt(), ChunkWithSize("data", 41, Bytes(40, 5))})},
      {"list size 0xFFFFFFFF",
       Wav({Fmt(), ChunkWithSize("LIST", 0xFFFFFFFF, Concat({Raw("INFO"), Chunk("IART", Z("A"))}))})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile file(c.file, ".wav");
    EXPECT_FALSE(WriteWavTags(Record({{"ARTIST", "A"}}), file.c_str()));
    EXPECT_EQ(file.Read(), c.file);
  }
}

TEST(RiffInfoWrite, CutOffSubChunkIsNotCarried) {
  Bytes list = Chunk("LIST", Concat({Raw("INFO"), Chunk("ISFT", Z("ok")),
                                     ChunkWithSize("ICRD", 0xFFFFFFFF, Raw("cut"))}));
  TempFile file(Wav({Fmt(), list}), ".wav");
  ASSERT_TRUE(WriteWavTags(TagRecord(), file.c_str()));
  Bytes written = file.Read();
  Bytes tail = Concat({Info({Chunk("ISFT", Z("ok"))}), Raw("DISP"), Le32(6), Le32(1), Bytes{0, 0}});
  EXPECT_EQ(Bytes(written.end() - tail.size(), written.end()), tail);
}

TEST(RiffInfoWrite, VanishedFileIsNotCreated) {
  std::string path = TempPath(".wav");
  EXPECT_FALSE(WriteWavTags(Record({{"ARTIST", "A"}}), path.c_str()));
  EXPECT_FALSE(FileExists(path));
}
