// lirva-cli: the editor's tag reading and tagging job without windows.
//
//   lirva-cli show FILE...
//   lirva-cli tag [--title=T] [--year=T] [--artist=T] [--track=T] [--album=T]
//                 [--comment=T] [--genre=T] FILE...
//   lirva-cli tag --copy-title FILE...
//   lirva-cli decode [--work] IN OUT
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include "common/win32/wide.h"
#endif

#include "app/file_messages.h"
#include "app/tagging_job.h"
#include "audio/audio_source.h"
#include "audio/open_source.h"
#include "audio/peak_limiter.h"
#include "audio/samples.h"
#include "common/bytes.h"
#include "common/file_kind.h"
#include "common/path.h"
#include "common/riff.h"
#include "net/version_plan.h"
#include "common/text.h"
#include "tags/tag_record.h"

namespace {

const char kUsage[] =
    "usage: lirva-cli show [--json] FILE...\n"
    "       lirva-cli tag [--title=T] [--year=T] [--artist=T] [--track=T] [--album=T]\n"
    "                     [--comment=T] [--genre=T] FILE...\n"
    "       lirva-cli tag --copy-title FILE...\n"
    "       lirva-cli decode [--work] IN OUT    (OUT \"-\" is standard output)\n"
    "       lirva-cli --help | --version\n"
    "exit status: 0 every file done, 1 some file failed, 2 usage error\n";

// Option names in the editor's field order.
constexpr const char* kFieldOptions[kFieldCount] = {"--title=", "--year=",    "--artist=", "--track=",
                                                    "--album=", "--comment=", "--genre="};

int Usage(const char* problem) {
  if (problem) fprintf(stderr, "lirva-cli: %s\n", problem);
  fputs(kUsage, stderr);
  return 2;
}

int Help() {
  fputs(kUsage, stdout);
  return 0;
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

// Why a file cannot be opened, in words.
const char* FailureWords(FileFailure failure) {
  switch (failure) {
    case FileFailure::NotFound: return "the file does not exist";
    case FileFailure::IsFolder: return "it is a folder, not a file";
    case FileFailure::AccessDenied: return "access to the file is denied";
    case FileFailure::InUse: return "the file is in use by another program";
    case FileFailure::None:
    case FileFailure::Other: break;
  }
  return "the file could not be opened";
}

// Why a file's tags could not be read: it cannot be opened, it is empty, or it is
// not what its name says.
// The problem of a file that cannot be opened for reading or is empty; empty text
// when it opens and holds something (its size in `size`).
std::string OpenProblem(const std::string& path, uint32_t* size) {
  File file;
  if (!file.Open(path.c_str(), FileMode::Read)) return FailureWords(file.LastFailure());
  *size = file.Size();
  return *size == 0 ? "the file is empty" : "";
}

std::string ReadProblem(const std::string& path) {
  uint32_t size = 0;
  const std::string problem = OpenProblem(path, &size);
  if (!problem.empty()) return problem;
  if (FileKindOf(path) == FileKind::Wav)
    return size < kRiffFormHeaderSize ? "it is too short to be a WAV file" : "it is not a WAV file";
  return "the file could not be read";
}

// Why tags could not be written: the file cannot be opened for writing, or the
// writing itself failed.
std::string WriteProblem(const std::string& path) {
  File file;
  if (!file.Open(path.c_str(), FileMode::Update)) return FailureWords(file.LastFailure());
  return "the tags could not be written";
}

void Fail(const std::string& path, const char* reason) {
  fprintf(stderr, "lirva-cli: %s: %s\n", path.c_str(), reason);
}

bool SupportedExtension(const std::string& path) { return FileKindOf(path) != FileKind::Other; }

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

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    const uint8_t u = uint8_t(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\u%04x", u);
      out += escaped;
    } else {
      out += c;  // UTF-8 as it is
    }
  }
  return out + "\"";
}

const char* KindName(const std::string& path) {
  switch (FileKindOf(path)) {
    case FileKind::Mp3: return "mp3";
    case FileKind::Wav: return "wav";
    case FileKind::Other: break;
  }
  return "other";
}

// Plain: the path, then KEY=value lines. JSON: one array, an object per file with
// its path, kind, fields in the tag's order, and an error text when it failed.
int Show(const std::vector<std::string>& args) {
  bool json = false;
  std::vector<std::string> files;
  for (const std::string& arg : args) {
    if (files.empty() && arg == "--json")
      json = true;
    else if (files.empty() && arg.compare(0, 2, "--") == 0 && arg != "--")
      return Usage(("unknown option " + arg).c_str());
    else if (!(files.empty() && arg == "--"))
      files.push_back(arg);
  }
  if (files.empty()) return Usage("no files given");
  int status = 0;
  if (json) printf("[");
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string& path = files[i];
    TagRecord record;
    std::string error;
    if (!SupportedExtension(path))
      error = kOnlyWavAndMp3Read.phrase;
    else if (!ReadTags(record, path.c_str()))
      error = ReadProblem(path);
    if (!error.empty()) status = 1;
    if (json) {
      printf("%s\n{\"path\": %s, \"kind\": \"%s\", \"fields\": {", i ? "," : "", Json(path).c_str(),
             KindName(path));
      bool first = true;
      for (const TagEntry& e : record.Entries()) {
        printf("%s%s: %s", first ? "" : ", ", Json(e.key).c_str(), Json(e.value).c_str());
        first = false;
      }
      printf("}");
      if (!error.empty()) printf(", \"error\": %s", Json(error).c_str());
      printf("}");
      continue;
    }
    printf("%s\n", path.c_str());
    if (!error.empty()) {
      Fail(path, error.c_str());
      continue;
    }
    for (const TagEntry& e : record.Entries()) printf("%s=%s\n", e.key.c_str(), Escaped(e.value).c_str());
  }
  if (json) printf("\n]\n");
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
    else
      Fail(path, (readFailed ? ReadProblem(path) : WriteProblem(path)).c_str());
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
          job.texts[i] = CutToCharacters(arg.substr(n), kMaxValue);
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

// ---------------------------------------------------------------------------
// decode: what the player's engine would send to the sound card, as a WAV file.

constexpr uint32_t kWaveHeaderSize = 44;
constexpr uint32_t kUnknownSize = 0xFFFFFFFF;

void PutWaveHeader(uint8_t* h, int channels, int32_t rate, uint32_t riffSize, uint32_t dataSize) {
  memcpy(h, "RIFF", 4);
  WriteLE32(h + 4, riffSize);
  memcpy(h + 8, "WAVEfmt ", 8);
  WriteLE32(h + 16, 16);
  WriteLE16(h + 20, 1);  // PCM
  WriteLE16(h + 22, uint16_t(channels));
  WriteLE32(h + 24, uint32_t(rate));
  WriteLE32(h + 28, uint32_t(rate) * uint32_t(channels) * 2);
  WriteLE16(h + 32, uint16_t(channels * 2));
  WriteLE16(h + 34, 16);
  memcpy(h + 36, "data", 4);
  WriteLE32(h + 40, dataSize);
}

// A file to write, its name UTF-8 (on Windows through the wide-character call).
FILE* OpenOutput(const std::string& name) {
#ifdef _WIN32
  return _wfopen(Wide(name).c_str(), L"wb");
#else
  return fopen(name.c_str(), "wb");
#endif
}

bool WriteAll(FILE* out, const std::vector<uint8_t>& bytes, size_t count) {
  return fwrite(bytes.data(), 1, count, out) == count;
}

// Pulls the source as the engine's fill loop does: blocks of a tenth of a
// second (20 … 8192 frames) from its position for as long as its length says
// there is more.
bool PullSource(AudioSource& source, bool work, FILE* out, uint64_t& dataBytes) {
  const int channels = source.channels();
  const int frames = std::clamp(source.sampleRate() / 10, 20, 8192);
  std::vector<int32_t> block(size_t(channels) * frames);
  std::vector<int16_t> pcm(block.size());
  std::vector<uint8_t> bytes(block.size() * 4);
  for (;;) {
    const int64_t start = source.position();
    const int64_t available = int64_t(source.length()) - start;
    if (available <= 0) return true;
    int n = int(std::min<int64_t>(available, frames));
    source.read(block.data(), n);
    // Reading can find the end sooner than the length said (an estimate until
    // then): only what lies before the end is audio.
    n = int(std::clamp<int64_t>(int64_t(source.length()) - start, 0, n));
    const int samples = n * channels;
    size_t count;
    if (work) {
      for (int i = 0; i < samples; ++i) WriteLE32(&bytes[size_t(i) * 4], uint32_t(block[i]));
      count = size_t(samples) * 4;
    } else {
      workToPcm16(block.data(), pcm.data(), samples);
      count = size_t(samples) * 2;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
      std::memcpy(bytes.data(), pcm.data(), count);  // already the file's byte order
#else
      for (int i = 0; i < samples; ++i) WriteLE16(&bytes[size_t(i) * 2], uint16_t(pcm[i]));
#endif
    }
    if (!WriteAll(out, bytes, count)) return false;
    dataBytes += count;
  }
}

// The format tag of a WAV file's "fmt " chunk; 0 when there is none.
uint16_t WaveFormatTag(const std::string& path) {
  File file;
  if (!file.Open(path.c_str(), FileMode::Read)) return 0;
  const uint32_t size = file.Size();
  uint32_t form = 0;
  if (FindWaveForm(file, size, &form) != FormSearch::Found) return 0;
  uint16_t tag = 0;
  WalkRiffChunks(file, uint64_t(form) + kRiffFormHeaderSize, size, [&](const RiffChunk& chunk) {
    if (!RiffIdIs(chunk.id, "fmt ")) return true;
    uint8_t bytes[2];
    if (chunk.size >= 2 && file.SeekFromStart(uint32_t(chunk.Body())) && file.ReadFull(bytes, 2))
      tag = uint16_t(bytes[0] | bytes[1] << 8);
    return false;
  });
  return tag;
}

// Why a file cannot be decoded, in words.
std::string DecodeProblem(const std::string& path, SourceStatus status) {
  uint32_t size = 0;
  const std::string problem = OpenProblem(path, &size);
  if (!problem.empty()) return problem;
  const bool wav = FileKindOf(path) == FileKind::Wav;
  if (status == SourceStatus::CodecMissing) {
    char text[96];
    snprintf(text, sizeof text, "it is a WAV file in format 0x%04X, which cannot be decoded here",
             unsigned(WaveFormatTag(path)));
    return text;
  }
  if (status == SourceStatus::OpenFailed) return "the file could not be read";
  if (wav && size < kRiffFormHeaderSize) return "it is too short to be a WAV file";
  return wav ? "it is not a WAV file that can be decoded" : "it is not an MP3 stream that can be decoded";
}

int Decode(const std::vector<std::string>& args) {
  bool work = false;
  std::vector<std::string> names;
  for (const std::string& arg : args) {
    if (names.empty() && arg == "--work") {
      work = true;
    } else if (names.empty() && arg.compare(0, 2, "--") == 0) {
      return Usage(("unknown option " + arg).c_str());
    } else {
      names.push_back(arg);
    }
  }
  if (names.size() != 2) return Usage("decode takes one input and one output");
  const std::string& in = names[0];
  const std::string& outName = names[1];

  AudioSource* opened = openAudioSource(in.c_str());
  if (!opened) {
    Fail(in, "only wav and mp3 files can be decoded");
    return 1;
  }
  SourceRef source = SourceRef::adopt(opened);
  if (source->status() != SourceStatus::Ok) {
    Fail(in, DecodeProblem(in, source->status()).c_str());
    return 1;
  }
  // As the engine does: a source that can go beyond 16 bits plays limited.
  if (!work && source->peakLimit() > kWorkFullScale)
    source = SourceRef::adopt(limitSource(source.get(), kWorkFullScale));

  const bool toStdout = outName == "-";
  FILE* out = toStdout ? stdout : OpenOutput(outName);
  if (!out) {
    Fail(outName, "could not create the file");
    return 1;
  }
  std::vector<uint8_t> header(kWaveHeaderSize);
  PutWaveHeader(header.data(), source->channels(), source->sampleRate(), kUnknownSize, kUnknownSize);
  uint64_t dataBytes = 0;
  bool ok = (work || WriteAll(out, header, header.size())) && PullSource(*source, work, out, dataBytes);
  if (ok && !work && !toStdout) {
    const uint32_t dataSize = uint32_t(std::min<uint64_t>(dataBytes, kUnknownSize));
    const uint32_t riffSize = uint32_t(std::min<uint64_t>(dataBytes + kWaveHeaderSize - 8, kUnknownSize));
    PutWaveHeader(header.data(), source->channels(), source->sampleRate(), riffSize, dataSize);
    ok = fseek(out, 0, SEEK_SET) == 0 && WriteAll(out, header, header.size());
  }
  ok = (toStdout ? fflush(out) == 0 : fclose(out) == 0) && ok;
  if (!ok) {
    Fail(outName, "could not write the file");
    return 1;
  }
  return 0;
}

}  // namespace

// The arguments as UTF-8. On Windows they come from the wide command line (the
// 8-bit one holds only what the ANSI code page can); output is UTF-8 bytes, and a
// console is told to show them as UTF-8.
std::vector<std::string> Arguments(int argc, char** argv) {
#ifdef _WIN32
  (void)argc, (void)argv;
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> out;
  for (int i = 0; wide && i < count; ++i) out.push_back(Utf8(wide[i]));
  LocalFree(wide);
  return out;
#else
  return std::vector<std::string>(argv, argv + argc);
#endif
}

int main(int argc, char** argv) {
  const std::vector<std::string> all = Arguments(argc, argv);
  if (all.size() < 2) return Usage(nullptr);
  std::string command = all[1];
  std::vector<std::string> args(all.begin() + 2, all.end());
  if (IsHelp(command) || command == "help") return Help();
  if (command == "--version") {
    printf("lirva-cli %d.%02d\n", kProgramVersion / 100, kProgramVersion % 100);
    return 0;
  }
  if (!args.empty() && IsHelp(args[0])) return Help();
  if (command == "show") return Show(args);
  if (command == "tag") return Tag(args);
  if (command == "decode") return Decode(args);
  return Usage(("unknown command " + command).c_str());
}
