#include "setup/package.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "setup/run_marker.h"

namespace {

// The file is the entries back to back, their sizes, the byte sum of everything
// before the sizes, and the installer marker; the trailer reads back from the end.
TEST(Package, InstallerFileLayoutAndTrailer) {
  const std::vector<std::vector<uint8_t>> entries = {{'M', 'Z', 0xFF, 0x90}, {}, {'<', 'p', '>'}};
  const std::vector<uint8_t> file = MakeInstallerFile(entries);
  ASSERT_EQ(file.size(), 7u + 3 * 4 + 8);
  EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 7),
            (std::vector<uint8_t>{'M', 'Z', 0xFF, 0x90, '<', 'p', '>'}));
  const uint8_t* trailer = file.data() + 7;
  EXPECT_EQ(std::vector<uint8_t>(trailer, trailer + 12),
            (std::vector<uint8_t>{4, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0}));
  const uint32_t sum = 'M' + 'Z' + 0xFF + 0x90 + '<' + 'p' + '>';
  EXPECT_EQ(std::vector<uint8_t>(trailer + 12, trailer + 16),
            (std::vector<uint8_t>{uint8_t(sum), uint8_t(sum >> 8), 0, 0}));
  EXPECT_EQ(std::vector<uint8_t>(file.end() - 4, file.end()), (std::vector<uint8_t>{0xF0, 0xF0, 0x0F, 0x0F}));

  PackageTrailer read;
  ASSERT_TRUE(ParseTrailer(file.data() + file.size(), file.size(), 3, &read));
  EXPECT_EQ(read.sizes, (std::vector<uint32_t>{4, 0, 3}));
  EXPECT_EQ(read.checksum, sum);
  EXPECT_FALSE(ParseTrailer(file.data() + file.size(), 19, 3, &read)) << "shorter than a trailer";
  EXPECT_EQ(ByteSum(nullptr, 0, 7), 7u);
}

// The table names the program first and then the help pages that the build packs,
// each of which exists in the repository.
TEST(Package, TableMatchesTheHelpFolder) {
  ASSERT_EQ(PackageRowCount(), 12);
  EXPECT_STREQ(kPackageTable[0].name, "lirva.exe");
  EXPECT_STREQ(kInstallSubfolders[0], "help");
  EXPECT_EQ(kInstallSubfolders[1], nullptr);
  for (int row = 1; row < PackageRowCount(); ++row) {
    EXPECT_EQ(kPackageTable[row].destination, nullptr);
    const std::string name = kPackageTable[row].name;
    ASSERT_EQ(name.compare(0, 5, "help/"), 0) << name;
    std::ifstream page(std::string(LIRVA_SOURCE_DIR) + "/resources/" + name);
    EXPECT_TRUE(page.good()) << name;
  }
  EXPECT_EQ(EntryPath("C:\\Program Files\\Vantoral\\Lirva", "help/index.html"),
            "C:\\Program Files\\Vantoral\\Lirva\\help\\index.html");
}

}  // namespace
