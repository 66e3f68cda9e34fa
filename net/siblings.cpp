#include "net/siblings.h"

const SiblingLauncher kSiblingLaunchers[4] = {
    {"Run Pellam", "Pellam", "RunEdit", "pellamsetup", "Pellam", "pellam/index", true, "%s"},
    {"Run Torvik", "Torvik", "Convert", "torviksetup", "Torvik", "torvik/index", false, "%s"},
    {"Run KestrunDisc", "KestrunDisc", "CopyCD", "kestrunsetup", "Kestrun", "kestrun/index", true,
     " -type audio -file \"%s\""},
    {"Run KestrunDisc", "KestrunDisc", "CopyCD", "kestrunsetup", "Kestrun", "kestrun/index", true,
     " -type data -file \"%s\""},
};

const RelatedProgram kRelatedPrograms[] = {
    {"Pellam Audio Editor", "pellamsetup", "Pellam", "RunEdit", "pellam", 1,
     "Record, cut and edit your audio files, then save them as WAV or MP3."},
    {"Kestrun", "kestrunsetup", "Kestrun", "Kestrun CD Recorder", "kestrun", 1,
     "Burn audio CDs that play in any CD player, and MP3 data discs."},
    {"Fennick", "fennicksetup", "Fennick", "Fennick", "fennick", 0,
     "Record sound from your microphone or any input of your sound card."},
    {"Torvik Audio Converter", "torviksetup", "Torvik", "Torvik", "torvik", 1,
     "Convert audio files between WAV, MP3 and other formats in one run."},
    {"Ombrel", "ombrelsetup", "Ombrel", "Ombrel Vinyl to CD Converter", "ombrel", 1,
     "Bring your records and tapes to CD: record, clean up and split into tracks."},
    {nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr},
};

int RelatedProgramCount() {
  int count = 0;
  while (kRelatedPrograms[count].displayName) ++count;
  return count;
}

const WebLink kWebLinks[kWebLinkCount] = {
    {"Lirva Home Page", "lirva/index"},
    {"Lirva Technical Support", "lirva/support"},
    {"", nullptr},
    {"Pellam Audio Editor", "pellam/index"},
    {"Kestrun CD Recorder", "kestrun/index"},
    {"Torvik Audio Converter", "torvik/index"},
    {"Fennick Audio Recorder", "fennick/index"},
    {"Ombrel Vinyl to CD Converter", "ombrel/index"},
    {"Vantoral Home Page", "index"},
};

std::string SiblingCommandLine(const std::string& commandTemplate, const std::string& argument) {
  std::string line;
  bool placed = false;
  for (size_t i = 0; i < commandTemplate.size(); ++i) {
    const char c = commandTemplate[i];
    const char next = i + 1 < commandTemplate.size() ? commandTemplate[i + 1] : '\0';
    if (c == '%' && next == '%') {
      line += '%';
      ++i;
    } else if (c == '%' && next == 's' && !placed) {
      line += argument;
      placed = true;
      ++i;
    } else {
      line += c;
    }
  }
  return line;
}

std::string SiblingArgument(const SiblingLauncher& launcher, const std::string& path) {
  return SiblingCommandLine(launcher.argumentFormat, path);
}

std::string WebPage(const std::string& site, const char* slug, bool html) {
  std::string page = site;
  if (page.empty() || page.back() != '/') page += '/';
  page += slug;
  if (html) page += ".html";
  return page;
}
