#include <gtest/gtest.h>

#include <sys/stat.h>

#include "errors/ReportMatchers.h"
#include "files/CorvaleGIS_IO.h"
#include "support/HostFixture.h"

namespace corvale {
namespace {

using testing::isReport;
using testing::readBytes;
using testing::writeBytes;

class IoHelpers : public testing::HostFixture {
 protected:
  IoHelpers() {
    std::filesystem::create_directories(driveC() / "Data");
    writeBytes(driveC() / "Data" / "file.txt", "content");
  }
};

TEST_F(IoHelpers, FileExistenceIsTrueOnlyForFiles) {
  EXPECT_TRUE(fDoesFileExist("C:\\Data\\file.txt"));
  EXPECT_FALSE(fDoesFileExist("C:\\Data"));
  EXPECT_FALSE(fDoesFileExist("C:\\Data\\missing.txt"));
  EXPECT_FALSE(fDoesFileExist("Q:\\Data\\file.txt"));
  EXPECT_TRUE(messages().empty());
}

TEST_F(IoHelpers, FolderExistenceIsTrueOnlyForFoldersWithOrWithoutTrailingBackslash) {
  EXPECT_TRUE(fDoesDirectoryExist("C:\\Program Files"));
  EXPECT_TRUE(fDoesDirectoryExist("C:\\Program Files\\"));
  EXPECT_FALSE(fDoesDirectoryExist("C:\\Data\\file.txt"));
  EXPECT_FALSE(fDoesDirectoryExist("C:\\Nowhere\\"));
  EXPECT_TRUE(messages().empty());
}

TEST_F(IoHelpers, ExistenceTestsReportAFailureAndSayFalse) {
  EXPECT_FALSE(fDoesFileExist("no drive at all"));
  EXPECT_FALSE(fDoesDirectoryExist("C:\\Data\\..\\Data"));
  host.faults().failFileSystemCall(host.faults().fileSystemCalls() + 1);
  EXPECT_FALSE(fDoesDirectoryExist("C:\\Program Files"));
  ASSERT_EQ(messages().size(), 3u);
  EXPECT_TRUE(isReport(messages()[0], 52, "fDoesFileExist CorvaleGIS_IO Line : 1"));
  EXPECT_TRUE(isReport(messages()[1], 52, "fDoesDirectoryExist CorvaleGIS_IO Line : 1"));
  EXPECT_TRUE(isReport(messages()[2], 75, "fDoesDirectoryExist CorvaleGIS_IO Line : 1"));
}

TEST_F(IoHelpers, DeletingRemovesTheFile) {
  fDeleteFile("C:\\Data\\file.txt");
  EXPECT_FALSE(std::filesystem::exists(driveC() / "Data" / "file.txt"));
  EXPECT_TRUE(messages().empty());
}

TEST_F(IoHelpers, DeletingWhereNoFileIsDoesNothing) {
  fDeleteFile("C:\\Data\\missing.txt");
  fDeleteFile("C:\\Data");
  EXPECT_TRUE(std::filesystem::is_directory(driveC() / "Data"));
  EXPECT_TRUE(messages().empty());
}

TEST_F(IoHelpers, DeletingAReadOnlyFileIsReportedAndTheFileStays) {
  const auto file = driveC() / "Data" / "file.txt";
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  fDeleteFile("C:\\Data\\file.txt");
  EXPECT_EQ(readBytes(file), "content");
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_TRUE(isReport(messages()[0], 70, "fDeleteFile CorvaleGIS_IO Line : 2"));
}

TEST_F(IoHelpers, CreatingAFolderMakesThatOneFolder) {
  fCreateDirectory("C:\\Data\\New\\");
  EXPECT_TRUE(std::filesystem::is_directory(driveC() / "Data" / "New"));
  EXPECT_TRUE(messages().empty());
}

TEST_F(IoHelpers, CreatingAnExistingFolderIsReported) {
  fCreateDirectory("C:\\Data");
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_TRUE(isReport(messages()[0], 58, "fCreateDirectory CorvaleGIS_IO Line : 1"));
}

TEST_F(IoHelpers, CreatingAFolderWhoseParentIsMissingIsReportedAndCreatesNothing) {
  fCreateDirectory("C:\\Missing\\Child\\");
  EXPECT_FALSE(std::filesystem::exists(driveC() / "Missing"));
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_TRUE(isReport(messages()[0], 76, "fCreateDirectory CorvaleGIS_IO Line : 1"));
}

}  // namespace
}  // namespace corvale
