// What the main window and the command-line tool say about a file they can't
// handle: the window's sentence and the tool's phrase (behind "lirva-cli: PATH: ").
#pragma once

struct FileMessage {
  const char* sentence;
  const char* phrase;
};

constexpr FileMessage kCouldNotReadFile = {
    "Lirva could not read the file, it may be in use by another program.",
    "could not read the file, it may be in use by another program"};
constexpr FileMessage kOnlyWavAndMp3Read = {"Only wav and mp3 files can have tags read.",
                                            "only wav and mp3 files can have tags read"};
