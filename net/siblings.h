// The maker's other programs: the four launch commands of the main window, the
// related programs offered for installation, and the web links of the Help menu.
#pragma once
#include <cstdint>
#include <string>

struct SiblingLauncher {
  const char* progressTitle;
  const char* product;       // its settings key "Software\Vantoral\<product>\Settings"
  const char* templateName;  // the value holding its command-line template
  const char* setupName;     // the download is <setupName>.exe
  const char* displayName;
  const char* slug;          // its web page: <site>/<slug>.html
  bool wait;                 // wait until it closes
  const char* argumentFormat;  // the argument text, with "%s" for the file's path
};

// Edit Audio, Save as other format, Burn Audio CD, Burn MP3 CD, in this order.
extern const SiblingLauncher kSiblingLaunchers[4];

struct RelatedProgram {
  const char* displayName;  // null ends the table
  const char* setupName;
  const char* product;
  const char* testedValue;
  const char* slug;
  uint8_t recommended;
  const char* description;
};
extern const RelatedProgram kRelatedPrograms[];
int RelatedProgramCount();

struct WebLink {
  const char* name;  // empty: a separator
  const char* slug;
};
constexpr int kWebLinkCount = 9;
constexpr int kWebLinkFirstCommand = 9021;
extern const WebLink kWebLinks[kWebLinkCount];

// The command line of a sibling from its registry template: the first "%s" takes
// the argument, "%%" stands for "%", and any other "%" sequence is kept as it is
// (the template is not trusted as a format). A template without "%s" is used alone.
std::string SiblingCommandLine(const std::string& commandTemplate, const std::string& argument);

// The argument text of a launcher for a file.
std::string SiblingArgument(const SiblingLauncher& launcher, const std::string& path);

// <site>/<slug>, with ".html" behind it when asked; one '/' between site and slug.
std::string WebPage(const std::string& site, const char* slug, bool html);
