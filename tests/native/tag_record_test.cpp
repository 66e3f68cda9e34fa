#include <gtest/gtest.h>

#include "tags/tag_record.h"

namespace {
std::vector<std::string> Keys(const TagRecord& r) {
  std::vector<std::string> keys;
  for (const TagEntry& e : r.Entries()) keys.push_back(e.key);
  return keys;
}
}  // namespace

TEST(TagRecord, SetFromTextStripsSpacesAndEmptyRemoves) {
  TagRecord r;
  r.SetFromText("TITLE", "  word  ", true);
  EXPECT_EQ(r.Get("TITLE"), "word");
  r.SetFromText("TITLE", "\tx\t", true);  // only spaces are stripped
  EXPECT_EQ(r.Get("TITLE"), "\tx\t");
  r.SetFromText("TITLE", "   ", true);
  EXPECT_TRUE(r.Empty());
  EXPECT_EQ(r.Get("ALBUM"), "");
}

TEST(TagRecord, FirstValueWinsWithoutOverwrite) {
  TagRecord r;
  r.SetFromText("ARTIST", "old", false);
  r.SetFromText("ARTIST", "new", false);
  EXPECT_EQ(r.Get("ARTIST"), "old");
  r.SetFromText("ARTIST", "new", true);
  EXPECT_EQ(r.Get("ARTIST"), "new");
}

TEST(TagRecord, NewestKeyFirstAndReplaceKeepsPlace) {
  TagRecord r;
  r.Set("TITLE", "a");
  r.Set("ARTIST", "b");
  r.Set("TITLE", "c");
  EXPECT_EQ(Keys(r), (std::vector<std::string>{"ARTIST", "TITLE"}));
  EXPECT_EQ(r.Get("TITLE"), "c");
}

TEST(TagRecord, LongValuesAreCutTo259) {
  TagRecord r;
  r.SetFromText("COMMENT", std::string(300, 'x'), true);
  EXPECT_EQ(r.Get("COMMENT").size(), 259u);
  // The cut comes before stripping: 258 x and trailing spaces keep 258.
  r.SetFromText("COMMENT", std::string(258, 'y') + std::string(10, ' ') + "z", true);
  EXPECT_EQ(r.Get("COMMENT"), std::string(258, 'y'));
}

TEST(TagRecord, ChangedComparesWithLoadedValues) {
  TagRecord r;
  r.Set("TITLE", "a");
  r.Set("ALBUM", "b");
  r.MarkLoaded();
  EXPECT_FALSE(r.Changed("TITLE"));
  r.SetFromText("TITLE", "a", true);
  EXPECT_FALSE(r.Changed("TITLE"));
  r.SetFromText("TITLE", "x", true);
  r.SetFromText("ALBUM", "", true);
  r.SetFromText("GENRE", "Rock", true);
  EXPECT_TRUE(r.Changed("TITLE"));
  EXPECT_TRUE(r.Changed("ALBUM"));
  EXPECT_TRUE(r.Changed("GENRE"));
  EXPECT_FALSE(r.Changed("ARTIST"));
}

TEST(GenreNames, TableHasItsFixedEntries) {
  EXPECT_STREQ(GenreNames[0], "Blues");
  EXPECT_STREQ(GenreNames[17], "Rock");
  EXPECT_STREQ(GenreNames[67], "Psychadelic");
  EXPECT_STREQ(GenreNames[146], "Jpop");
  EXPECT_STREQ(GenreNames[147], "Synthpop");
  EXPECT_STREQ(GenreNames[148], "");
}
