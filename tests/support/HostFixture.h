#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "hosts/memory/FaultyFileSystem.h"
#include "hosts/memory/MemoryHost.h"
#include "hosts/memory/ScriptedToolkit.h"
#include "platform/posix/PosixFileSystem.h"
#include "state/ProductState.h"
#include "support/TempFolder.h"

namespace corvale::testing {

/**
 * The component on the in-memory host: a memory map host, the scripted
 * toolkit and the POSIX file system with drive C: in a temporary folder that
 * holds "Program Files", all counted by the host's fault injector. The product
 * state is fresh, and ProductName and ProductVersion are set as the command
 * sets them; HostApplication and HostDocument are the memory host's, as a
 * click leaves them.
 */
class HostWorld {
 public:
  HostWorld();
  virtual ~HostWorld();
  HostWorld(const HostWorld&) = delete;
  HostWorld& operator=(const HostWorld&) = delete;

  /// Points the file system at another drive map.
  void useDrives(const posix::DriveMap& drives);
  /// The native path of drive C:'s folder.
  const std::filesystem::path& driveC() const { return driveC_; }
  /// The native folder of the product, C:\Program Files\CorvaleGIS\CorvaleStreetSearch\.
  std::filesystem::path productFolder() const;
  /// Creates the product folder and sets ProductFolder and ConfigFilePath as the set-up does.
  std::filesystem::path prepareConfigFile(const std::string& bytes);

  /// The recorded message boxes, in order.
  const std::vector<std::string>& messages() const { return toolkit->messages(); }

  TempFolder temp;
  std::shared_ptr<memory::MemoryHost> hostRef;
  memory::MemoryHost& host;
  std::shared_ptr<memory::ScriptedToolkit> toolkit;

 private:
  std::filesystem::path driveC_;
};

/// The in-memory world as a GoogleTest fixture.
class HostFixture : public ::testing::Test, public HostWorld {};

/// The product's component path of the configuration file on drive C:.
inline constexpr const char* kConfigPath =
    "C:\\Program Files\\CorvaleGIS\\CorvaleStreetSearch\\config";

}  // namespace corvale::testing
