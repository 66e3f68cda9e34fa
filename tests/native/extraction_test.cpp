// The installer's extraction on real files: what lands in the folder, byte for
// byte, and how a failed write, a cut-off installer, a wrong checksum and a stop end.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/file.h"
#include "setup/extraction.h"
#include "test_files.h"

namespace fs = std::filesystem;

namespace {

const PackageEntry kTable[] = {
    {nullptr, "prog.exe"}, {nullptr, "empty.txt"}, {nullptr, "help/page.html"}, {nullptr, "help/hlp.css"},
    {nullptr, nullptr}};

Bytes Pattern(size_t size, int seed) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = uint8_t((i * 131 + seed * 7 + (i >> 8)) & 0xFF);
  return b;
}

class FolderHost : public ExtractionHost {
 public:
  explicit FolderHost(const fs::path& folder) : folder_(folder) {}
  std::string OutputPath(const PackageEntry& entry) override {
    const fs::path path = folder_ / entry.name;
    fs::create_directories(path.parent_path());
    return path.string();
  }
  void OnEntry(const PackageEntry& entry) override { entries.push_back(entry.name); }
  void OnProgress(double fraction) override { progress.push_back(fraction); }
  bool StopRequested() override { return --chunksBeforeStop == 0; }

  std::vector<std::string> entries;
  std::vector<double> progress;
  int chunksBeforeStop = -1;

 private:
  fs::path folder_;
};

struct Extraction : testing::Test {
  void SetUp() override {
    folder = fs::path(TempPath("_install"));
    fs::create_directories(folder);
    // An image of several chunks and a bit, an empty row, two small pages.
    entries = {Pattern(3 * kExtractionChunk + 517, 1), {}, Pattern(900, 2), Pattern(kExtractionChunk, 3)};
  }
  void TearDown() override { fs::remove_all(folder); }

  ExtractionResult Run(const Bytes& installer, FolderHost& host) {
    installerPath = (folder / "setup.exe").string();
    WriteFileBytes(installerPath, installer);
    File source;
    EXPECT_TRUE(source.Open(installerPath.c_str(), FileMode::Read));
    return ExtractPackageEntries(source, kTable, host);
  }
  Bytes Written(const char* name) { return ReadFileBytes((folder / name).string()); }

  fs::path folder;
  std::string installerPath;
  std::vector<Bytes> entries;
};

TEST_F(Extraction, WritesEveryEntryByteForByteWithTheBarEndingAtOne) {
  FolderHost host(folder);
  const ExtractionResult r = Run(MakeInstallerFile(entries), host);
  EXPECT_EQ(r.outcome, ExtractionOutcome::Done);
  EXPECT_EQ(Written("prog.exe"), entries[0]);
  EXPECT_FALSE(fs::exists(folder / "empty.txt")) << "a row of size 0 makes no file";
  EXPECT_EQ(Written("help/page.html"), entries[2]);
  EXPECT_EQ(Written("help/hlp.css"), entries[3]);
  EXPECT_EQ(host.entries, (std::vector<std::string>{"prog.exe", "help/page.html", "help/hlp.css"}));
  ASSERT_EQ(host.progress.size(), 4u + 1 + 1);  // one report a chunk
  EXPECT_TRUE(std::is_sorted(host.progress.begin(), host.progress.end()));
  EXPECT_LT(host.progress[host.progress.size() - 2], 1.0);
  EXPECT_EQ(host.progress.back(), 1.0) << "the bar reaches the end exactly at the last byte";
}

TEST_F(Extraction, ChecksumOffByOneWritesEverythingAndIsCorrupt) {
  Bytes installer = MakeInstallerFile(entries);
  installer[installer.size() - 8] ^= 1;  // the stored checksum's lowest byte
  FolderHost host(folder);
  EXPECT_EQ(Run(installer, host).outcome, ExtractionOutcome::Corrupt);
  EXPECT_EQ(Written("help/hlp.css"), entries[3]) << "files written so far stay";
}

TEST_F(Extraction, InstallerThatEndsEarlyOrHasNoTrailerIsCorrupt) {
  // The second page's size claims nearly 2 GB: reading stops at the file's end at once.
  Bytes installer = MakeInstallerFile(entries);
  const size_t sizes = installer.size() - PackageTrailerBytes(4);
  installer[sizes + 8] = 0xF0, installer[sizes + 9] = 0xFF, installer[sizes + 10] = 0xFF, installer[sizes + 11] = 0x7F;
  FolderHost host(folder);
  EXPECT_EQ(Run(installer, host).outcome, ExtractionOutcome::Corrupt);
  EXPECT_LE(host.progress.size(), 6u) << "no rounds past the end of the file";
  // Shorter than its own trailer: nothing to install, and no success either.
  FolderHost second(folder);
  EXPECT_EQ(Run(Bytes(10, 0), second).outcome, ExtractionOutcome::Corrupt);
  EXPECT_TRUE(second.entries.empty());
}

TEST_F(Extraction, StopEndsAtTheNextChunk) {
  FolderHost host(folder);
  host.chunksBeforeStop = 2;
  EXPECT_EQ(Run(MakeInstallerFile(entries), host).outcome, ExtractionOutcome::Stopped);
  EXPECT_EQ(Written("prog.exe").size(), 2 * kExtractionChunk);
  EXPECT_FALSE(fs::exists(folder / "help/page.html"));
}

#ifndef _WIN32
// A disk that takes nothing more: the file of the second page is /dev/full, so
// its write fails for real (no space left).
TEST_F(Extraction, AWriteThatFailsNamesTheFileAndEndsTheExtraction) {
  fs::create_directories(folder / "help");
  fs::create_symlink("/dev/full", folder / "help/page.html");
  FolderHost host(folder);
  const ExtractionResult r = Run(MakeInstallerFile(entries), host);
  EXPECT_EQ(r.outcome, ExtractionOutcome::CannotWrite);
  EXPECT_EQ(r.path, (folder / "help/page.html").string());
  EXPECT_FALSE(fs::exists(folder / "help/hlp.css")) << "nothing after the failed file";
  // An output that cannot be made at all (a folder in its place).
  fs::remove(folder / "help/page.html");
  fs::create_directories(folder / "help/page.html");
  FolderHost second(folder);
  const ExtractionResult r2 = Run(MakeInstallerFile(entries), second);
  EXPECT_EQ(r2.outcome, ExtractionOutcome::CannotWrite);
  EXPECT_EQ(r2.path, (folder / "help/page.html").string());
}
#endif

}  // namespace
