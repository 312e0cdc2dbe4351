#include <gtest/gtest.h>

#include <string>

#include "errors/ReportMatchers.h"
#include "files/CorvaleGIS_IO.h"
#include "runtime/FileChannel.h"
#include "support/HostFixture.h"

namespace corvale {
namespace {

using testing::isReport;
using testing::readBytes;
using testing::writeBytes;

constexpr const char* kNotFound =
    "Sorry, CorvaleStreetSearch can't find your local Program Files directory. Please email "
    "support@corvalegis.example. Thanks!";

class ProductFolder : public testing::HostFixture {
 protected:
  /// Maps each letter to a fresh folder, with a "Program Files" folder in it where
  /// `programFiles` names the letter.
  void mapDrives(const std::string& letters, const std::string& programFiles) {
    posix::DriveMap drives;
    for (char letter : letters) {
      const auto root = drive(letter);
      std::filesystem::create_directories(root);
      if (programFiles.find(letter) != std::string::npos) {
        std::filesystem::create_directories(root / "Program Files");
      }
      drives.map(letter, root);
    }
    useDrives(drives);
  }
  std::filesystem::path drive(char letter) const { return temp / (std::string("drive_") + letter); }
  int16_t setUp() { return fSetupProductFolder("CorvaleGIS", "CorvaleStreetSearch", "config", ""); }
};

TEST_F(ProductFolder, OnDriveCItCreatesTheFoldersAndAnEmptyFile) {
  EXPECT_EQ(setUp(), 1);
  const ProductState& s = state();
  EXPECT_EQ(s.ProgramFilesDrive, "C");
  EXPECT_EQ(s.ProductFolder, "C:\\Program Files\\CorvaleGIS\\CorvaleStreetSearch\\");
  EXPECT_EQ(s.ConfigFilePath, "C:\\Program Files\\CorvaleGIS\\CorvaleStreetSearch\\config");
  EXPECT_TRUE(std::filesystem::is_regular_file(productFolder() / "config"));
  EXPECT_EQ(std::filesystem::file_size(productFolder() / "config"), 0u);
  EXPECT_TRUE(messages().empty());
  EXPECT_FALSE(fileChannel().isOpen());
}

TEST_F(ProductFolder, ProgramFilesOnlyOnDriveDIsFoundThere) {
  mapDrives("ABCD", "D");
  EXPECT_EQ(setUp(), 1);
  EXPECT_EQ(state().ProgramFilesDrive, "D");
  EXPECT_EQ(state().ConfigFilePath, "D:\\Program Files\\CorvaleGIS\\CorvaleStreetSearch\\config");
  EXPECT_TRUE(std::filesystem::is_regular_file(drive('D') / "Program Files" / "CorvaleGIS" /
                                               "CorvaleStreetSearch" / "config"));
}

TEST_F(ProductFolder, TheFirstDriveInAlphabeticalOrderWins) {
  mapDrives("DC", "CD");
  EXPECT_EQ(setUp(), 1);
  EXPECT_EQ(state().ProgramFilesDrive, "C");
  EXPECT_FALSE(std::filesystem::exists(drive('D') / "Program Files" / "CorvaleGIS"));
}

TEST_F(ProductFolder, AFileNamedProgramFilesDoesNotCount) {
  mapDrives("CE", "E");
  writeBytes(drive('C') / "Program Files", "not a folder");
  EXPECT_EQ(setUp(), 1);
  EXPECT_EQ(state().ProgramFilesDrive, "E");
}

TEST_F(ProductFolder, WithoutProgramFilesItSaysSoOnceAndStoresNothing) {
  mapDrives("CD", "");
  writeBytes(drive('D') / "Program Files", "not a folder");
  ProductState& s = state();
  s.ProgramFilesDrive = "X";
  s.ProductFolder = "earlier folder";
  s.ConfigFilePath = "earlier file";
  EXPECT_EQ(setUp(), -1);
  EXPECT_EQ(messages(), std::vector<std::string>{kNotFound});
  EXPECT_EQ(s.ProgramFilesDrive, "X");
  EXPECT_EQ(s.ProductFolder, "earlier folder");
  EXPECT_EQ(s.ConfigFilePath, "earlier file");
  EXPECT_FALSE(std::filesystem::exists(drive('C') / "CorvaleGIS"));
}

TEST_F(ProductFolder, AnExistingConfigurationFileKeepsItsContent) {
  std::filesystem::create_directories(productFolder());
  writeBytes(productFolder() / "config", "\"Streets\"\r\n\"NAME\"\r\n");
  EXPECT_EQ(setUp(), 1);
  EXPECT_EQ(readBytes(productFolder() / "config"), "\"Streets\"\r\n\"NAME\"\r\n");
  EXPECT_TRUE(messages().empty());
}

TEST_F(ProductFolder, OnlyTheMissingLevelsAreCreated) {
  std::filesystem::create_directories(driveC() / "Program Files" / "CorvaleGIS");
  writeBytes(driveC() / "Program Files" / "CorvaleGIS" / "other", "x");
  EXPECT_EQ(setUp(), 1);
  EXPECT_TRUE(std::filesystem::is_regular_file(productFolder() / "config"));
  EXPECT_EQ(readBytes(driveC() / "Program Files" / "CorvaleGIS" / "other"), "x");
}

TEST_F(ProductFolder, AnIntermediateFolderIsALevelBetweenCompanyAndProduct) {
  EXPECT_EQ(fSetupProductFolder("CorvaleGIS", "CorvaleStreetSearch", "config", "Tools"), 1);
  EXPECT_EQ(state().ProductFolder, "C:\\Program Files\\CorvaleGIS\\Tools\\CorvaleStreetSearch\\");
  EXPECT_TRUE(std::filesystem::is_regular_file(driveC() / "Program Files" / "CorvaleGIS" / "Tools" /
                                               "CorvaleStreetSearch" / "config"));
}

TEST_F(ProductFolder, AnEmptyFileNameCreatesNoFileAndEmptiesTheFilePath) {
  state().ConfigFilePath = "earlier file";
  EXPECT_EQ(fSetupProductFolder("CorvaleGIS", "CorvaleStreetSearch", "", ""), 1);
  EXPECT_EQ(state().ConfigFilePath, "");
  EXPECT_TRUE(std::filesystem::is_directory(productFolder()));
  EXPECT_TRUE(std::filesystem::is_empty(productFolder()));
}

TEST_F(ProductFolder, FoldersThatCannotBeCreatedAreReportedAndTheFileStepFailsSilently) {
  // A file where the company folder should be: neither folder level can be made.
  writeBytes(driveC() / "Program Files" / "CorvaleGIS", "in the way");
  EXPECT_EQ(setUp(), -1);
  ASSERT_EQ(messages().size(), 2u);
  EXPECT_TRUE(isReport(messages()[0], 58, "fCreateDirectory CorvaleGIS_IO Line : 1"));
  EXPECT_TRUE(isReport(messages()[1], 76, "fCreateDirectory CorvaleGIS_IO Line : 1"));
  EXPECT_EQ(state().ProductFolder, "C:\\Program Files\\CorvaleGIS\\CorvaleStreetSearch\\");
  EXPECT_EQ(state().ConfigFilePath, "");
  EXPECT_FALSE(fileChannel().isOpen());
}

TEST_F(ProductFolder, AFailureAtAnyFileSystemCallEndsWithAClearResult) {
  for (int64_t k = 1;; ++k) {
    SCOPED_TRACE("failing file-system call " + std::to_string(k));
    std::filesystem::remove_all(driveC() / "Program Files" / "CorvaleGIS");
    resetState();
    state().ProductName = "CorvaleStreetSearch";
    const size_t before = messages().size();
    host.faults().reset();
    host.faults().failFileSystemCall(k);

    const int16_t result = setUp();
    if (!host.faults().injected()) {
      EXPECT_EQ(result, 1);
      EXPECT_GT(k, 10) << "the set-up makes more calls than that";
      break;
    }
    const std::string call = host.faults().injectedCall();
    EXPECT_FALSE(fileChannel().isOpen());
    if (call == "openAppend" || call == "flushAndSync" || call == "close") {
      EXPECT_EQ(result, -1) << call;
      EXPECT_EQ(messages().size(), before) << "the routine's own failures are silent";
      EXPECT_EQ(state().ConfigFilePath, "");
    } else {
      ASSERT_GT(messages().size(), before) << call << " is reported by its helper";
      EXPECT_NE(messages()[before].find("CorvaleGIS_IO Line : "), std::string::npos);
      EXPECT_TRUE(result == 1 || result == -1);
    }
  }
}

}  // namespace
}  // namespace corvale
