#include "support/HostFixture.h"

#include "host/Services.h"
#include "runtime/FileChannel.h"

namespace corvale::testing {

namespace {
std::shared_ptr<memory::MemoryHost> makeHost() { return std::make_shared<memory::MemoryHost>(); }
}  // namespace

HostWorld::HostWorld()
    : hostRef(makeHost()),
      host(*hostRef),
      toolkit(std::make_shared<memory::ScriptedToolkit>(hostRef->context.recorder)) {
  driveC_ = temp / "drive_c";
  std::filesystem::create_directories(driveC_ / "Program Files");
  posix::DriveMap drives;
  drives.map('C', driveC_);
  resetState();
  useDrives(drives);
  host::Services& s = host::services();
  s.hostClasses = hostRef;
  s.forms = toolkit;
  ProductState& st = state();
  st.CompanyName = "CorvaleGIS";
  st.ProductName = "CorvaleStreetSearch";
  st.ProductVersion = "v2.15";
  st.HostApplication = hostRef->application;
  st.HostDocument = hostRef->document;
}

HostWorld::~HostWorld() {
  fileChannel().close();
  resetState();
  host::services() = host::Services{};
}

void HostWorld::useDrives(const posix::DriveMap& drives) {
  host::services().fileSystem = std::make_shared<memory::FaultyFileSystem>(
      std::make_shared<posix::PosixFileSystem>(drives), hostRef->context.faults);
}

std::filesystem::path HostWorld::productFolder() const {
  return driveC_ / "Program Files" / "CorvaleGIS" / "CorvaleStreetSearch";
}

std::filesystem::path HostWorld::prepareConfigFile(const std::string& bytes) {
  std::filesystem::create_directories(productFolder());
  const auto file = productFolder() / "config";
  writeBytes(file, bytes);
  state().ProductFolder = "C:\\Program Files\\CorvaleGIS\\CorvaleStreetSearch\\";
  state().ConfigFilePath = kConfigPath;
  return file;
}

}  // namespace corvale::testing
