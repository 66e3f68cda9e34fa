#include <gtest/gtest.h>

#include "common/path.h"

TEST(PathHelpers, SplitPaths) {
  struct Case {
    const char* path;
    const char* dir;
    const char* name;
    const char* ext;
    const char* title;
  } cases[] = {
      {"C:\\Music\\Track 01.mp3", "C:\\Music", "Track 01.mp3", ".mp3", "Track 01"},
      {"/home/a/b.c/song", "/home/a/b.c", "song", "", "song"},
      {"C:\\x.y\\name", "C:\\x.y", "name", "", "name"},
      {"a/b\\c.MP3", "a/b", "c.MP3", ".MP3", "c"},
      {"song.mp3.wav", "", "song.mp3.wav", ".wav", "song.mp3"},
      {".hidden", "", ".hidden", "", ".hidden"},
      {"dir\\.hidden", "dir", ".hidden", ".hidden", ".hidden"},
      {"noext", "", "noext", "", "noext"},
      {"dir\\", "dir", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(DirectoryOf(c.path), c.dir);
    EXPECT_EQ(FileNameOf(c.path), c.name);
    EXPECT_EQ(ExtensionOf(c.path), c.ext);
    EXPECT_EQ(FileTitleOf(c.path), c.title);
  }
}

TEST(PathHelpers, JoinPathAddsOneSeparatorAndStaysWithinLimits) {
  EXPECT_EQ(JoinPath("C:\\Music", "a.mp3"), "C:\\Music\\a.mp3");
  EXPECT_EQ(JoinPath("C:\\Music\\", "a.mp3"), "C:\\Music\\a.mp3");
  EXPECT_EQ(JoinPath("C:/Music/", "a.mp3"), "C:/Music/a.mp3");
  EXPECT_EQ(JoinPath("", "a.mp3"), "a.mp3");
  EXPECT_EQ(JoinPath("C:\\Music", "a", ".mp3"), "C:\\Music\\a.mp3");

  std::string longDir(250, 'd');
  EXPECT_EQ(JoinPath(longDir, "0123456789.mp3").size(), 259u);
  std::string tooLong(259, 'd');
  EXPECT_EQ(JoinPath(tooLong, "x"), tooLong);
  std::string edge(258, 'd');
  EXPECT_EQ(JoinPath(edge, "x"), edge + "\\");
}
