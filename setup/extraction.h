// The extraction of an installer file's entries: the copy in chunks with the
// checksum test, around which the installing page shows its lines and its bar.
#pragma once
#include <string>

#include "setup/package.h"

class File;

// What the extraction asks of the installer around it.
class ExtractionHost {
 public:
  virtual ~ExtractionHost() = default;
  // The full path an entry is written to, its folders made.
  virtual std::string OutputPath(const PackageEntry& entry) = 0;
  // An entry is about to be written.
  virtual void OnEntry(const PackageEntry&) {}
  // Bytes written so far of all entries together, 0 … 1.
  virtual void OnProgress(double) {}
  // Asked after every chunk: true ends the extraction there.
  virtual bool StopRequested() { return false; }
};

enum class ExtractionOutcome {
  Done,          // every entry written, the checksum matched
  Stopped,       // the host asked to stop
  Unreadable,    // the installer file could not be read at all
  InUse,         // an output file is held by another program (path)
  CannotWrite,   // an output file could not be made, written or completed (path)
  Corrupt,       // the trailer, the sizes or the checksum do not fit the file
};

struct ExtractionResult {
  ExtractionOutcome outcome;
  std::string path;  // the output file concerned, for InUse and CannotWrite
};

// The chunk the extraction copies at a time, checking for a stop after each.
constexpr uint32_t kExtractionChunk = 4096;

// Writes the entries of `table` (ended by a null name) from the installer file
// `source` in 4096-byte chunks and checks the byte sum of what it read against the
// stored checksum. Rows of size 0 (or above 2^31) make no file. Files written stay
// whatever the outcome; a read or write that fails, or moves fewer bytes than asked,
// ends the extraction with CannotWrite for the file concerned, and an installer
// file that ends before its sizes say ends it as Corrupt.
ExtractionResult ExtractPackageEntries(File& source, const PackageEntry* table, ExtractionHost& host);
