// Makes the installer file: the program image and the help files in the order of
// the package table, then the sizes, the checksum and the installer's run marker.
//
//   make-installer OUT PROGRAM.exe HELP_FOLDER
//
// Built for the machine that builds (it runs during the build); the help files are
// taken from HELP_FOLDER by the part of their names behind "help/".
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "setup/package.h"

namespace {

bool ReadWhole(const std::string& path, std::vector<uint8_t>* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make-installer OUT PROGRAM.exe HELP_FOLDER\n");
    return 2;
  }
  std::vector<std::vector<uint8_t>> entries;
  for (int row = 0; kPackageTable[row].name; ++row) {
    const std::string name = kPackageTable[row].name;
    std::string path;
    if (row == 0) {
      path = argv[2];
    } else if (name.compare(0, 5, "help/") == 0) {
      path = std::string(argv[3]) + "/" + name.substr(5);
    } else {
      std::fprintf(stderr, "make-installer: no source for %s\n", name.c_str());
      return 1;
    }
    entries.emplace_back();
    if (!ReadWhole(path, &entries.back())) {
      std::fprintf(stderr, "make-installer: cannot read %s\n", path.c_str());
      return 1;
    }
  }
  const std::vector<uint8_t> file = MakeInstallerFile(entries);
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  if (!out) {
    std::fprintf(stderr, "make-installer: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
