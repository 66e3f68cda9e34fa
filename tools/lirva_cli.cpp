// lirva-cli: the editor's tag reading and tagging job without windows.
//
//   lirva-cli show FILE...
//   lirva-cli tag [--title=T] [--year=T] [--artist=T] [--track=T] [--album=T]
//                 [--comment=T] [--genre=T] FILE...
//   lirva-cli tag --copy-title FILE...
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "app/tagging_job.h"
#include "common/path.h"
#include "tags/tag_record.h"

namespace {

const char kUsage[] =
    "usage: lirva-cli show FILE...\n"
    "       lirva-cli tag [--title=T] [--year=T] [--artist=T] [--track=T] [--album=T]\n"
    "                     [--comment=T] [--genre=T] FILE...\n"
    "       lirva-cli tag --copy-title FILE...\n";

// Option names in the editor's field order.
constexpr const char* kFieldOptions[kFieldCount] = {"--title=", "--year=",    "--artist=", "--track=",
                                                    "--album=", "--comment=", "--genre="};

int Usage(const char* problem) {
  if (problem) fprintf(stderr, "lirva-cli: %s\n", problem);
  fputs(kUsage, stderr);
  return 2;
}

void Fail(const std::string& path, const char* reason) {
  fprintf(stderr, "lirva-cli: %s: %s\n", path.c_str(), reason);
}

bool SupportedExtension(const std::string& path) {
  std::string ext = ExtensionOf(path);
  return EqualsNoCase(ext, ".mp3") || EqualsNoCase(ext, ".wav");
}

std::string Escaped(const std::string& value) {
  std::string out;
  for (char c : value) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
  return out;
}

int Show(const std::vector<std::string>& files) {
  int status = 0;
  for (const std::string& path : files) {
    printf("%s\n", path.c_str());
    TagRecord record;
    if (!ReadTags(record, path.c_str())) {
      Fail(path, SupportedExtension(path)
                     ? "could not read the file, it may be in use by another program"
                     : "only wav and mp3 files can have tags read");
      status = 1;
      continue;
    }
    for (const TagEntry& e : record.Entries())
      printf("%s=%s\n", e.key.c_str(), Escaped(e.value).c_str());
  }
  return status;
}

class QuietProgress : public TaggingProgress {
 public:
  void SetFraction(double) override {}
  void SetLine(int, const std::string&) override {}
  bool Pump() override { return true; }
  void FileFailed(const std::string& path, bool readFailed) override {
    if (!SupportedExtension(path))
      Fail(path, "only wav and mp3 files can have tags");
    else if (readFailed)
      Fail(path, "could not read the file, it may be in use by another program");
    else
      Fail(path, "could not write the tags");
  }
};

int Tag(const std::vector<std::string>& args) {
  TaggingJob job;
  bool anyField = false;
  bool endOfOptions = false;
  for (const std::string& arg : args) {
    if (!endOfOptions && arg == "--") {
      endOfOptions = true;
      continue;
    }
    if (!endOfOptions && arg.compare(0, 2, "--") == 0) {
      if (arg == "--copy-title") {
        job.copyTitle = true;
        continue;
      }
      bool known = false;
      for (int i = 0; i < kFieldCount; ++i) {
        size_t n = strlen(kFieldOptions[i]);
        if (arg.compare(0, n, kFieldOptions[i]) == 0) {
          job.texts[i] = arg.substr(n, kMaxPath);
          job.changed[i] = true;
          anyField = known = true;
        }
      }
      if (!known) return Usage(("unknown option " + arg).c_str());
      continue;
    }
    job.files.push_back(arg);
  }
  if (job.copyTitle && anyField) return Usage("--copy-title takes no field options");
  if (job.files.empty()) return Usage("no files given");
  if (job.files.size() > 0xFFFF) return Usage("too many files for one run");

  QuietProgress progress;
  job.total = static_cast<uint16_t>(job.files.size());
  int result = RunTaggingJob(job, progress);
  std::string message = TaggingResultMessage(job, result);
  for (size_t at; (at = message.find("\r\n")) != std::string::npos;) message.replace(at, 2, "\n");
  printf("%s\n", message.c_str());
  return job.written == job.total ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  if (argc < 2) return Usage(nullptr);
  std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "show") {
    if (args.empty()) return Usage("no files given");
    return Show(args);
  }
  if (command == "tag") return Tag(args);
  return Usage(("unknown command " + command).c_str());
}
