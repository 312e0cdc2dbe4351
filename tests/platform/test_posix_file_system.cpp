#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/posix/DriveMap.h"
#include "platform/posix/PosixFileSystem.h"
#include "runtime/Failure.h"
#include "support/Failures.h"
#include "support/TempFolder.h"

namespace corvale::posix {
namespace {

using corvale::testing::readBytes;
using corvale::testing::TempFolder;
using corvale::testing::writeBytes;

using corvale::testing::failureNumber;

TEST(DriveMapping, PartsOfAPathAreJoinedBelowTheDrivesFolder) {
  DriveMap drives;
  drives.map('c', "/drives/c");
  EXPECT_EQ(drives.resolve("C:\\Program Files\\CorvaleGIS\\config"),
            std::filesystem::path("/drives/c/Program Files/CorvaleGIS/config"));
  EXPECT_EQ(drives.resolve("c:/a\\b//.\\c\\"), std::filesystem::path("/drives/c/a/b/c"));
  EXPECT_EQ(drives.resolve("C:"), std::filesystem::path("/drives/c"));
}

TEST(DriveMapping, AnUnmappedDriveResolvesToNothing) {
  DriveMap drives;
  drives.map('C', "/drives/c");
  EXPECT_FALSE(drives.resolve("D:\\Program Files").has_value());
}

TEST(DriveMapping, PathsThatClimbOrLackADriveAreBadFileNames) {
  DriveMap drives;
  drives.map('C', "/drives/c");
  for (const std::string& path :
       std::vector<std::string>{"C:\\a\\..\\..\\etc", "relative\\path", "", "C", "1:\\x",
                                "/etc/passwd", std::string("C:\\a\0b", 6)}) {
    EXPECT_EQ(failureNumber([&] { drives.resolve(path); }), err::kBadFileNameOrNumber) << path;
  }
}

TEST(DriveMapping, TheUsersDriveCHoldsAProgramFilesFolder) {
  TempFolder temp;
  const char* before = std::getenv("XDG_DATA_HOME");
  const std::string saved = before ? before : "";
  ::setenv("XDG_DATA_HOME", temp.path().c_str(), 1);
  const DriveMap drives = DriveMap::forUser();
  const auto driveC = temp.path() / "CorvaleGIS" / "drive_c";
  EXPECT_EQ(drives.drives().at('C'), driveC);
  EXPECT_TRUE(std::filesystem::is_directory(driveC / "Program Files"));
  ::setenv("XDG_DATA_HOME", "relative/share", 1);
  EXPECT_NE(DriveMap::userDriveC(), std::filesystem::path("relative/share/CorvaleGIS/drive_c"));
  if (before) {
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_DATA_HOME");
  }
}

class PosixFiles : public ::testing::Test {
 protected:
  PosixFiles() : files(makeDrives()) {
    std::filesystem::create_directories(temp / "c" / "Data");
    writeBytes(temp / "c" / "Data" / "file.txt", "content");
  }
  DriveMap makeDrives() {
    DriveMap drives;
    drives.map('C', temp / "c");
    return drives;
  }
  std::filesystem::path data() { return temp / "c" / "Data"; }

  TempFolder temp;
  PosixFileSystem files;
};

TEST_F(PosixFiles, ExistenceTestsTellFilesAndFoldersApart) {
  EXPECT_TRUE(files.fileExists("C:\\Data\\file.txt"));
  EXPECT_FALSE(files.fileExists("C:\\Data"));
  EXPECT_TRUE(files.folderExists("C:\\Data\\"));
  EXPECT_FALSE(files.folderExists("C:\\Data\\file.txt"));
  EXPECT_FALSE(files.fileExists("Z:\\Data\\file.txt"));
}

TEST_F(PosixFiles, DeletionRefusesReadOnlyFilesMissingFilesAndFolders) {
  ASSERT_EQ(::chmod((data() / "file.txt").c_str(), 0444), 0);
  EXPECT_EQ(failureNumber([&] { files.deleteFile("C:\\Data\\file.txt"); }), err::kPermissionDenied);
  EXPECT_EQ(readBytes(data() / "file.txt"), "content");
  EXPECT_EQ(failureNumber([&] { files.deleteFile("C:\\Data\\none"); }), err::kFileNotFound);
  EXPECT_EQ(failureNumber([&] { files.deleteFile("C:\\None\\none"); }), err::kPathNotFound);
  EXPECT_EQ(failureNumber([&] { files.deleteFile("C:\\Data"); }), err::kFileNotFound);
  ASSERT_EQ(::chmod((data() / "file.txt").c_str(), 0644), 0);
  files.deleteFile("C:\\Data\\file.txt");
  EXPECT_FALSE(std::filesystem::exists(data() / "file.txt"));
}

TEST_F(PosixFiles, AFolderIsCreatedOnlyInsideAnExistingOne) {
  files.createFolder("C:\\Data\\New");
  EXPECT_TRUE(std::filesystem::is_directory(data() / "New"));
  EXPECT_EQ(failureNumber([&] { files.createFolder("C:\\Data\\New"); }), err::kFileAlreadyExists);
  EXPECT_EQ(failureNumber([&] { files.createFolder("C:\\No\\New"); }), err::kPathNotFound);
  EXPECT_EQ(failureNumber([&] { files.createFolder("C:\\Data\\file.txt\\New"); }),
            err::kPathNotFound);
  EXPECT_EQ(failureNumber([&] { files.createFolder("Z:\\New"); }), err::kPathNotFound);
}

TEST_F(PosixFiles, OpeningForReadingNeedsAnExistingFile) {
  EXPECT_EQ(failureNumber([&] { files.openInput("C:\\Data\\none"); }), err::kFileNotFound);
  EXPECT_EQ(failureNumber([&] { files.openInput("C:\\None\\none"); }), err::kPathNotFound);
  EXPECT_EQ(failureNumber([&] { files.openInput("C:\\Data"); }), err::kPathFileAccessError);
  EXPECT_EQ(failureNumber([&] { files.openOutput("C:\\Data"); }), err::kPathFileAccessError);
  auto in = files.openInput("C:\\Data\\file.txt");
  char buffer[16];
  EXPECT_EQ(std::string(buffer, in->read(buffer, sizeof buffer)), "content");
  EXPECT_EQ(in->read(buffer, sizeof buffer), 0u);
}

TEST_F(PosixFiles, WritesReachTheFileWhenFlushedAndNotBefore) {
  auto out = files.openOutput("C:\\Data\\file.txt");
  EXPECT_EQ(readBytes(data() / "file.txt"), "") << "opening for output empties the file";
  out->write("new ");
  out->write("content");
  EXPECT_EQ(readBytes(data() / "file.txt"), "");
  out->flushAndSync();
  EXPECT_EQ(readBytes(data() / "file.txt"), "new content");
  out->close();
  EXPECT_EQ(failureNumber([&] { out->write("more"); }), err::kBadFileNameOrNumber);
}

TEST_F(PosixFiles, LargeWritesArriveWholeAndAppendsKeepTheStart) {
  const std::string big(200 * 1024 + 7, 'b');
  auto out = files.openAppend("C:\\Data\\file.txt");
  out->write(big);
  out->close();
  EXPECT_EQ(readBytes(data() / "file.txt"), "content" + big);
}

TEST_F(PosixFiles, ReplacingPutsTheNewFileInTheOldOnesPlace) {
  writeBytes(data() / "file.new", "replacement");
  files.replaceFile("C:\\Data\\file.new", "C:\\Data\\file.txt");
  EXPECT_EQ(readBytes(data() / "file.txt"), "replacement");
  EXPECT_FALSE(std::filesystem::exists(data() / "file.new"));
  EXPECT_EQ(failureNumber([&] { files.replaceFile("C:\\Data\\file.new", "C:\\Data\\file.txt"); }),
            err::kFileNotFound);
  EXPECT_EQ(readBytes(data() / "file.txt"), "replacement");
}

TEST_F(PosixFiles, AFolderIsNeverReplacedByAFile) {
  writeBytes(data() / "file.new", "replacement");
  std::filesystem::create_directories(data() / "folder");
  EXPECT_EQ(failureNumber([&] { files.replaceFile("C:\\Data\\file.new", "C:\\Data\\folder"); }),
            err::kPathFileAccessError);
  EXPECT_TRUE(std::filesystem::is_directory(data() / "folder"));
  EXPECT_EQ(readBytes(data() / "file.new"), "replacement");
}

}  // namespace
}  // namespace corvale::posix
