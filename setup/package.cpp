#include "setup/package.h"

#include "common/bytes.h"
#include "common/path.h"
#include "setup/run_marker.h"

const PackageEntry kPackageTable[] = {
    {nullptr, "lirva.exe"},
    {nullptr, "help/index.html"},
    {nullptr, "help/introduction.html"},
    {nullptr, "help/related.html"},
    {nullptr, "help/features.html"},
    {nullptr, "help/format_overview.html"},
    {nullptr, "help/requirements.html"},
    {nullptr, "help/support.html"},
    {nullptr, "help/using.html"},
    {nullptr, "help/hlp.css"},
    {nullptr, "help/hlpfoot.js"},
    {nullptr, "help/hlphead.js"},
    {nullptr, nullptr},
};

const char* const kInstallSubfolders[] = {"help", nullptr};

int PackageRowCount(const PackageEntry* table) {
  int rows = 0;
  while (table[rows].name) ++rows;
  return rows;
}

uint32_t ByteSum(const uint8_t* data, size_t size, uint32_t sum) {
  for (size_t i = 0; i < size; ++i) sum += data[i];
  return sum;
}

std::vector<uint8_t> MakeInstallerFile(const std::vector<std::vector<uint8_t>>& entries) {
  std::vector<uint8_t> file;
  uint32_t sum = 0;
  for (const std::vector<uint8_t>& entry : entries) {
    file.insert(file.end(), entry.begin(), entry.end());
    sum = ByteSum(entry.data(), entry.size(), sum);
  }
  uint8_t word[4];
  for (const std::vector<uint8_t>& entry : entries) {
    WriteLE32(word, uint32_t(entry.size()));
    file.insert(file.end(), word, word + 4);
  }
  for (uint32_t value : {sum, InstallerMarker}) {
    WriteLE32(word, value);
    file.insert(file.end(), word, word + 4);
  }
  return file;
}

bool ParseTrailer(const uint8_t* fileEnd, size_t available, int rows, PackageTrailer* trailer) {
  const size_t bytes = PackageTrailerBytes(rows);
  if (available < bytes) return false;
  const uint8_t* p = fileEnd - bytes;
  trailer->sizes.clear();
  for (int i = 0; i < rows; ++i) trailer->sizes.push_back(ReadLE32(p + 4 * i));
  trailer->checksum = ReadLE32(p + 4 * rows);
  return true;
}

std::string EntryPath(const std::string& folder, const char* name) {
  std::string relative = name;
  for (char& c : relative)
    if (c == '/') c = '\\';
  return JoinPath(folder, relative);
}
