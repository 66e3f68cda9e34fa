#include "setup/extraction.h"

#include <algorithm>
#include <vector>

#include "common/file.h"

namespace {

// The trailer from the end of the installer file; false when the file is too short
// to hold one or cannot be read.
bool ReadTrailer(File& source, int rows, PackageTrailer* trailer, bool* unreadable) {
  const uint32_t bytes = PackageTrailerBytes(rows);
  const uint32_t size = source.Size();
  *unreadable = false;
  if (size < bytes) return false;
  std::vector<uint8_t> end(bytes);
  if (!source.SeekFromStart(size - bytes) || !source.ReadFull(end.data(), bytes) || !source.SeekFromStart(0)) {
    *unreadable = true;
    return false;
  }
  return ParseTrailer(end.data() + end.size(), end.size(), rows, trailer);
}

}  // namespace

ExtractionResult ExtractPackageEntries(File& source, const PackageEntry* table, ExtractionHost& host) {
  const int rows = PackageRowCount(table);
  PackageTrailer trailer;
  bool unreadable = false;
  if (!ReadTrailer(source, rows, &trailer, &unreadable))
    return {unreadable ? ExtractionOutcome::Unreadable : ExtractionOutcome::Corrupt, {}};
  double total = 0;
  for (uint32_t size : trailer.sizes) total += size;

  std::vector<uint8_t> buffer(kExtractionChunk);
  uint32_t sum = 0;
  double written = 0;
  for (int row = 0; row < rows; ++row) {
    // Sizes are signed in the trailer's sense: 0 and "negative" ones make no file.
    if (int32_t(trailer.sizes[row]) <= 0) continue;
    uint32_t left = trailer.sizes[row];
    const PackageEntry& entry = table[row];
    host.OnEntry(entry);
    const std::string path = host.OutputPath(entry);
    File out;
    if (!out.Open(path.c_str(), FileMode::CreateAlways))
      return {out.LastFailureWasSharingViolation() ? ExtractionOutcome::InUse : ExtractionOutcome::CannotWrite,
              path};
    while (left > 0) {
      const uint32_t want = std::min(left, kExtractionChunk);
      uint32_t got = 0, put = 0;
      if (!source.Read(buffer.data(), want, &got)) return {ExtractionOutcome::CannotWrite, path};
      sum = ByteSum(buffer.data(), got, sum);
      if (!out.Write(buffer.data(), got, &put) || put != got) return {ExtractionOutcome::CannotWrite, path};
      written += put;
      host.OnProgress(total > 0 ? written / total : 1.0);
      // The file ends before the entry does: the sizes claim more than it holds.
      if (got < want) return {ExtractionOutcome::Corrupt, {}};
      left -= got;
      if (host.StopRequested()) return {ExtractionOutcome::Stopped, {}};
    }
    // Data still in the system's hands is written (or found unwritable) here.
    if (!out.Flush()) return {ExtractionOutcome::CannotWrite, path};
  }
  if (sum != trailer.checksum) return {ExtractionOutcome::Corrupt, {}};
  return {ExtractionOutcome::Done, {}};
}
