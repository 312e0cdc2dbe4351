#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "files/ConfigFile.h"
#include "host/Services.h"
#include "platform/win32/Win32FileSystem.h"
#include "runtime/Failure.h"
#include "state/ProductState.h"

namespace corvale::win32 {
namespace {

namespace fs = std::filesystem;

int32_t failureNumber(const std::function<void()>& body) {
  try {
    body();
  } catch (const Failure& failure) {
    return failure.number;
  }
  return 0;
}

std::string utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

fs::path fromUtf8(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

std::string contentOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

void setReadOnly(const fs::path& file, bool readOnly) {
  ASSERT_TRUE(SetFileAttributesW(file.c_str(),
                                 readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL));
}

/// A fresh folder below the user's temporary folder on a real drive, in the
/// product's own path form ("C:\users\...\Temp\corvale-...\").
class Win32FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    root_ = fs::path(temp) / (L"corvale-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(GetTickCount()));
    fs::create_directories(root_);
  }
  void TearDown() override {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(root_, ignored)) {
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fs::remove_all(root_, ignored);
  }

  /// The product's path of a name inside the folder.
  std::string path(const std::string& name) const { return utf8(root_) + "\\" + name; }
  fs::path native(const std::string& name) const { return root_ / fromUtf8(name); }

  fs::path root_;
  Win32FileSystem files_;
};

TEST_F(Win32FileSystemTest, ExistenceTestsTellFilesFromFolders) {
  writeFile(native("config"), "");
  fs::create_directory(native("Folder"));

  EXPECT_TRUE(files_.fileExists(path("config")));
  EXPECT_FALSE(files_.folderExists(path("config")));
  EXPECT_TRUE(files_.folderExists(path("Folder")));
  EXPECT_TRUE(files_.folderExists(path("Folder\\")));
  EXPECT_FALSE(files_.fileExists(path("Folder")));
  EXPECT_FALSE(files_.fileExists(path("missing")));
  EXPECT_FALSE(files_.folderExists(path("missing\\")));
  EXPECT_FALSE(files_.folderExists(path("missing\\deeper\\")));
  // Letter case of a Windows path does not matter.
  EXPECT_TRUE(files_.fileExists(path("CONFIG")));
}

TEST_F(Win32FileSystemTest, TheProgramFilesFolderIsOnARealDriveC) {
  EXPECT_TRUE(files_.folderExists("C:\\Program Files\\"));
  EXPECT_TRUE(files_.folderExists("c:\\program files"));
  EXPECT_FALSE(files_.fileExists("C:\\Program Files\\"));
}

TEST_F(Win32FileSystemTest, PathsAreUtf8TextsOfAnyScript) {
  const std::string name = "Stra\xC3\x9F" "e \xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x97\xBA";
  files_.createFolder(path(name));
  auto out = files_.openOutput(path(name + "\\config"));
  out->write("x");
  out->close();
  // Windows sees the name itself, not its UTF-8 bytes read as another code page.
  EXPECT_TRUE(fs::is_regular_file(root_ / fs::path(L"Stra\u00DFe \u00E9t\u00E9 \u65E5\u672C \U0001F5FA") /
                                  L"config"));
  EXPECT_TRUE(files_.fileExists(path(name + "\\config")));
}

TEST_F(Win32FileSystemTest, CreatingAFolderNeedsItsParentAndNoFolderInItsPlace) {
  files_.createFolder(path("CorvaleGIS"));
  files_.createFolder(path("CorvaleGIS\\CorvaleStreetSearch\\"));
  EXPECT_TRUE(fs::is_directory(native("CorvaleGIS/CorvaleStreetSearch")));

  EXPECT_EQ(failureNumber([&] { files_.createFolder(path("CorvaleGIS")); }),
            err::kFileAlreadyExists);
  writeFile(native("file"), "");
  EXPECT_EQ(failureNumber([&] { files_.createFolder(path("file")); }), err::kFileAlreadyExists);
  EXPECT_EQ(failureNumber([&] { files_.createFolder(path("missing\\child")); }),
            err::kPathNotFound);
  EXPECT_FALSE(fs::exists(native("missing")));
}

TEST_F(Win32FileSystemTest, DeletingRefusesReadOnlyFilesFoldersAndMissingFiles) {
  writeFile(native("config"), "\"Streets\"\r\n");
  files_.deleteFile(path("config"));
  EXPECT_FALSE(fs::exists(native("config")));

  writeFile(native("locked"), "kept");
  setReadOnly(native("locked"), true);
  EXPECT_EQ(failureNumber([&] { files_.deleteFile(path("locked")); }), err::kPermissionDenied);
  EXPECT_EQ(contentOf(native("locked")), "kept");

  fs::create_directory(native("Folder"));
  EXPECT_EQ(failureNumber([&] { files_.deleteFile(path("Folder")); }), err::kFileNotFound);
  EXPECT_TRUE(fs::is_directory(native("Folder")));
  EXPECT_EQ(failureNumber([&] { files_.deleteFile(path("config")); }), err::kFileNotFound);
  EXPECT_EQ(failureNumber([&] { files_.deleteFile(path("missing\\config")); }),
            err::kPathNotFound);
}

TEST_F(Win32FileSystemTest, WritingAppendingAndReadingKeepEveryByte) {
  std::string bytes = "\"Stra\xDF" "e\"\r\n";
  bytes += std::string("\0\x1A\xFF", 3);  // a NUL and Ctrl-Z are data, not ends
  {
    auto out = files_.openOutput(path("config"));
    out->write(bytes);
    out->close();
  }
  {
    auto out = files_.openAppend(path("config"));
    out->write("\"Name\"\r\n");
    out->flushAndSync();
    EXPECT_EQ(contentOf(native("config")), bytes + "\"Name\"\r\n");  // flushed: on the disk
  }  // closed by its destructor
  auto in = files_.openInput(path("config"));
  std::string read;
  char buffer[5];
  for (size_t n; (n = in->read(buffer, sizeof buffer)) > 0;)
    read.append(buffer, n);
  EXPECT_EQ(read, bytes + "\"Name\"\r\n");
  in.reset();

  // Writing from the start empties the file first; appending creates a missing one.
  auto out = files_.openOutput(path("config"));
  out->write("new");
  out->close();
  EXPECT_EQ(contentOf(native("config")), "new");
  files_.openAppend(path("created"))->close();
  EXPECT_TRUE(fs::is_regular_file(native("created")));
  EXPECT_EQ(fs::file_size(native("created")), 0u);
}

TEST_F(Win32FileSystemTest, AClosedOutputRefusesFurtherUse) {
  auto out = files_.openOutput(path("config"));
  out->close();
  EXPECT_EQ(failureNumber([&] { out->write("x"); }), err::kBadFileNameOrNumber);
  EXPECT_EQ(failureNumber([&] { out->close(); }), err::kBadFileNameOrNumber);
}

TEST_F(Win32FileSystemTest, OpeningFailuresCarryTheClassicNumbers) {
  fs::create_directory(native("Folder"));
  writeFile(native("locked"), "kept");
  setReadOnly(native("locked"), true);

  EXPECT_EQ(failureNumber([&] { files_.openInput(path("missing")); }), err::kFileNotFound);
  EXPECT_EQ(failureNumber([&] { files_.openInput(path("missing\\config")); }),
            err::kPathNotFound);
  EXPECT_EQ(failureNumber([&] { files_.openInput(path("Folder")); }), err::kPathFileAccessError);
  EXPECT_EQ(failureNumber([&] { files_.openAppend(path("Folder")); }), err::kPathFileAccessError);
  EXPECT_EQ(failureNumber([&] { files_.openAppend(path("missing\\config")); }),
            err::kPathNotFound);
  EXPECT_EQ(failureNumber([&] { files_.openOutput(path("locked")); }), err::kPermissionDenied);
  EXPECT_EQ(failureNumber([&] { files_.openAppend(path("locked")); }), err::kPermissionDenied);
  EXPECT_EQ(contentOf(native("locked")), "kept");
}

TEST_F(Win32FileSystemTest, PathsThatCannotNameAFileAreBadFileNames) {
  for (const std::string& bad :
       std::vector<std::string>{"relative\\config", "", "\\\\?\\", path("con\xFF"),
                                std::string("C:\\a\0b", 6), path("a<b"), path("a|b")}) {
    EXPECT_EQ(failureNumber([&] { files_.openOutput(bad); }), err::kBadFileNameOrNumber) << bad;
    EXPECT_FALSE(files_.fileExists(bad)) << bad;
    EXPECT_FALSE(files_.folderExists(bad)) << bad;
  }
}

TEST_F(Win32FileSystemTest, ReplacingPutsTheNewFileInPlaceButNeverOverAReadOnlyOne) {
  writeFile(native("config"), "old");
  writeFile(native("config.new"), "new");
  files_.replaceFile(path("config.new"), path("config"));
  EXPECT_EQ(contentOf(native("config")), "new");
  EXPECT_FALSE(fs::exists(native("config.new")));

  // A missing target is simply taken by the new file.
  writeFile(native("fresh.new"), "fresh");
  files_.replaceFile(path("fresh.new"), path("fresh"));
  EXPECT_EQ(contentOf(native("fresh")), "fresh");

  setReadOnly(native("config"), true);
  writeFile(native("config.new"), "newer");
  EXPECT_EQ(failureNumber([&] { files_.replaceFile(path("config.new"), path("config")); }),
            err::kPermissionDenied);
  EXPECT_EQ(contentOf(native("config")), "new");
  EXPECT_EQ(contentOf(native("config.new")), "newer");

  EXPECT_EQ(failureNumber([&] { files_.replaceFile(path("missing"), path("fresh")); }),
            err::kFileNotFound);
  EXPECT_EQ(contentOf(native("fresh")), "fresh");
}

/// The configuration file on a Windows drive: the component's own writer
/// and reader over this file system and the ANSI code page.
class ConfigFileOnWindowsTest : public Win32FileSystemTest {
 protected:
  void SetUp() override {
    Win32FileSystemTest::SetUp();
    resetState();
    host::services().fileSystem = std::make_shared<Win32FileSystem>();
    state().ConfigFilePath = path("config");
  }
  void TearDown() override {
    host::services().fileSystem.reset();
    resetState();
    Win32FileSystemTest::TearDown();
  }
};

TEST_F(ConfigFileOnWindowsTest, NamesAreStoredInTheAnsiCodePageAndReadBackAsTheyWere) {
  if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP();
  ConfigFile::WriteConfiguration("Rue de l'Église", "Straßenname");
  EXPECT_EQ(contentOf(native("config")), "\"Rue de l'\xC9glise\"\r\n\"Stra\xDF" "enname\"\r\n");
  EXPECT_EQ(ConfigFile::CountFields(), 2);
  state().StreetLayerName.clear();
  state().StreetFieldName.clear();
  ConfigFile::ReadConfiguration();
  EXPECT_EQ(state().StreetLayerName, "Rue de l'Église");
  EXPECT_EQ(state().StreetFieldName, "Straßenname");
}

TEST_F(ConfigFileOnWindowsTest, ANameTheCodePageCannotHoldIsRefusedAndTheFileKept) {
  if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP();
  ConfigFile::WriteConfiguration("Streets", "Name");
  const std::string before = contentOf(native("config"));
  EXPECT_EQ(failureNumber([] { ConfigFile::WriteConfiguration("日本橋", "Name"); }),
            err::kInvalidProcedureCall);
  EXPECT_EQ(failureNumber([] { ConfigFile::WriteConfiguration("Streets", "Łódź"); }),
            err::kInvalidProcedureCall);
  EXPECT_EQ(contentOf(native("config")), before);
  EXPECT_EQ(state().StreetLayerName, "Streets");

  setReadOnly(native("config"), true);
  EXPECT_EQ(failureNumber([] { ConfigFile::WriteConfiguration("Roads", "Label"); }),
            err::kPermissionDenied);
  EXPECT_EQ(contentOf(native("config")), before);
}

}  // namespace
}  // namespace corvale::win32
