// The installer file: the program image followed by the help pages, then a trailer
// of the entries' sizes, a byte-sum checksum and the installer's run marker.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One entry of the package, written below the install folder (destination null),
// the shared data folder (empty), or a subfolder of the shared data folder.
struct PackageEntry {
  const char* destination;
  const char* name;  // may hold a subfolder part separated by '/'
};

// The entries in file order, ended by a row whose name is null.
extern const PackageEntry kPackageTable[];
// Folders made in the install folder before any entry is written; ended by null.
extern const char* const kInstallSubfolders[];

// The rows of a table ended by a null name (the package table by default).
int PackageRowCount(const PackageEntry* table = kPackageTable);

// The trailer of a package of `rows` entries: sizes, checksum, marker.
inline uint32_t PackageTrailerBytes(int rows) { return uint32_t(rows) * 4 + 8; }

// The sum modulo 2^32 of the bytes, each taken as 0 … 255.
uint32_t ByteSum(const uint8_t* data, size_t size, uint32_t sum = 0);

// The whole installer file of the given entries (the image first).
std::vector<uint8_t> MakeInstallerFile(const std::vector<std::vector<uint8_t>>& entries);

// The sizes and the checksum of a trailer read from the end of a file; false when
// the file is shorter than the trailer.
struct PackageTrailer {
  std::vector<uint32_t> sizes;
  uint32_t checksum = 0;
};
bool ParseTrailer(const uint8_t* fileEnd, size_t available, int rows, PackageTrailer* trailer);

// The path below a folder of an entry's name, '/' turned into '\'.
std::string EntryPath(const std::string& folder, const char* name);

