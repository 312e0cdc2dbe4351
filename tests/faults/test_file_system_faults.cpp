// Real file-system failures under the whole product: folders and files the
// user may not write or read, a configuration path that is a folder, a folder
// removed behind the tool's back, a full disk. Each ends in a clear message,
// never in a lost or half-written configuration.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "scenarios/SampleCity.h"
#include "state/ProductState.h"
#include "support/Unprivileged.h"

namespace corvale::testing {
namespace {

const std::string kStreetsConfig = "\"Streets\"\r\n\"FULLNAME\"\r\n";

using FileSystemFaults = SampleCity;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(FileSystemFaults, AProgramFilesFolderThatMayNotBeWrittenIsReportedAndTheClickSaysSo) {
  CORVALE_RUN_UNPRIVILEGED();
  ASSERT_EQ(::chmod((driveC() / "Program Files").c_str(), 0555), 0);
  createCommand();
  // The company folder may not be created, the product folder then has no parent; the file
  // fails silently.
  ASSERT_EQ(messages().size(), 2u);
  EXPECT_TRUE(contains(messages()[0], "ERROR NUMBER: 70\r\nMODULE: fCreateDirectory CorvaleGIS_IO "
                                      "Line : 1\r\nERROR DESCRIPTION: Permission denied"))
      << messages()[0];
  EXPECT_TRUE(contains(messages()[1], "ERROR NUMBER: 76\r\nMODULE: fCreateDirectory CorvaleGIS_IO "
                                      "Line : 1\r\nERROR DESCRIPTION: Path not found"))
      << messages()[1];
  EXPECT_EQ(state().ConfigFilePath, "");
  click();
  EXPECT_EQ(messages().back(), "Error: ICommand_OnClick()");
  EXPECT_TRUE(host.frames().empty());
}

TEST_F(FileSystemFaults, AProductFolderThatMayNotBeWrittenStillSearchesButKeepsItsConfiguration) {
  CORVALE_RUN_UNPRIVILEGED();
  configure("Streets", "FULLNAME");
  ASSERT_EQ(::chmod(productFolder().c_str(), 0555), 0);
  createCommand();
  click();
  EXPECT_EQ(entries("frmMain", "List1").size(), 8u) << "reading needs no write permission";

  bool stayedOpen = false;
  toolkit->whenModal([&](memory::ScriptedForm& config) {
    config.pick("List1", "Hydrants");
    config.pick("List2", "HYDRANT_ID");
    config.press("Command1");
    stayedOpen = config.isLoaded();
    config.press("Command2");
  });
  window("frmMain").press("Command1");
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_TRUE(contains(messages()[0], "ERROR NUMBER: 70\r\nMODULE: Command1_Click frmConfig Line : 4"))
      << messages()[0];
  EXPECT_TRUE(stayedOpen) << "a failed Continue leaves the configuration window open";
  EXPECT_EQ(readBytes(productFolder() / "config"), kStreetsConfig);
  EXPECT_EQ(state().StreetLayerName, "Streets");
  EXPECT_EQ(entries("frmMain", "List1").size(), 8u) << "Cancel shows the old window again";
}

TEST_F(FileSystemFaults, AConfigurationFileThatMayNotBeReadGivesTheClickFailure) {
  CORVALE_RUN_UNPRIVILEGED();
  configure("Streets", "FULLNAME");
  ASSERT_EQ(::chmod((productFolder() / "config").c_str(), 0200), 0);
  createCommand();
  click();
  EXPECT_EQ(messages(), std::vector<std::string>{"Error: ICommand_OnClick()"});
  EXPECT_TRUE(toolkit->forms("frmMain").empty());
  EXPECT_TRUE(toolkit->forms("frmConfig").empty());
}

TEST_F(FileSystemFaults, AConfigurationPathThatIsAFolderGivesTheClickFailure) {
  std::filesystem::create_directories(productFolder() / "config");
  createCommand();
  EXPECT_TRUE(messages().empty()) << "the set-up stops silently at the file";
  EXPECT_EQ(state().ConfigFilePath, "");
  click();
  EXPECT_EQ(messages(), std::vector<std::string>{"Error: ICommand_OnClick()"});
  EXPECT_TRUE(std::filesystem::is_directory(productFolder() / "config"));
}

TEST_F(FileSystemFaults, AProductFolderRemovedAfterStartUpKeepsTheToolFromPretending) {
  createCommand();
  std::filesystem::remove_all(productFolder());
  click();
  EXPECT_EQ(messages(), std::vector<std::string>{"Error: ICommand_OnClick()"});

  // Configured, then the folder goes: a new configuration cannot be stored and says why.
  resetState();
  configure("Streets", "FULLNAME");
  createCommand();
  click();
  std::filesystem::remove_all(productFolder());
  toolkit->whenModal([](memory::ScriptedForm& config) {
    config.pick("List1", "Mains");
    config.pick("List2", "DIAMETER");
    config.press("Command1");
    config.press("Command2");
  });
  window("frmMain").press("Command1");
  EXPECT_TRUE(contains(messages().back(), "ERROR NUMBER: 76\r\nMODULE: Command1_Click frmConfig"))
      << messages().back();
  EXPECT_EQ(state().StreetLayerName, "Streets");
  EXPECT_FALSE(std::filesystem::exists(productFolder()));
}

/// A tiny memory file system mounted over a folder for as long as it lives.
class SmallDisk {
 public:
  explicit SmallDisk(const std::filesystem::path& folder) : folder_(folder) {
    std::filesystem::create_directories(folder);
    mounted_ = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  /// Fills what is left of the disk.
  void fill() {
    std::ofstream filler(folder_ / "filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
    }
  }

 private:
  std::filesystem::path folder_;
  bool mounted_ = false;
};

TEST_F(FileSystemFaults, AFullDiskKeepsTheOldConfigurationAndSaysTheDiskIsFull) {
  if (!isSuperuser()) GTEST_SKIP() << "mounting a small disk needs the superuser";
  SmallDisk disk(driveC());
  if (!disk.mounted()) GTEST_SKIP() << "this machine does not allow mounting a small disk";
  std::filesystem::create_directories(driveC() / "Program Files");
  configure("Streets", "FULLNAME");
  createCommand();
  click();
  disk.fill();

  toolkit->whenModal([](memory::ScriptedForm& config) {
    config.pick("List1", "Hydrants");
    config.pick("List2", "HYDRANT_ID");
    config.press("Command1");
    config.press("Command2");
  });
  window("frmMain").press("Command1");
  ASSERT_FALSE(messages().empty());
  EXPECT_TRUE(contains(messages().back(), "ERROR NUMBER: 61\r\nMODULE: Command1_Click frmConfig"))
      << messages().back();
  EXPECT_TRUE(contains(messages().back(), "ERROR DESCRIPTION: Disk full"));
  EXPECT_EQ(readBytes(productFolder() / "config"), kStreetsConfig);
  EXPECT_FALSE(std::filesystem::exists(productFolder() / "config.new"));
  EXPECT_EQ(state().StreetFieldName, "FULLNAME");
}

}  // namespace
}  // namespace corvale::testing
