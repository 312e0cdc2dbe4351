#include "qt/QtFixture.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <fstream>
#include <random>

#include "platform/posix/PosixFileSystem.h"
#include "runtime/FileChannel.h"
#include "state/ProductState.h"

namespace corvale::testing {

void RecordingEvents::fire(std::string_view handler) noexcept {
  fired.emplace_back(handler);
  auto action = actions.find(handler);
  if (action != actions.end()) action->second();
}

ObjectRef QgisFrameClasses::createAppReference() {
  raise(err::kObjectNotSet);
}

std::shared_ptr<host::IQueryFilter> QgisFrameClasses::createQueryFilter() {
  raise(err::kObjectNotSet);
}

std::shared_ptr<host::IFrameWindow> QgisFrameClasses::createFrameWindow() {
  auto frame = std::make_shared<qgis::QgisFrameWindow>(mainWindow_);
  frames.push_back(frame);
  return frame;
}

namespace {

std::filesystem::path freshFolder() {
  std::random_device random;
  auto folder = std::filesystem::temp_directory_path() /
                ("corvale-qt-" + std::to_string(random()) + std::to_string(random()));
  std::filesystem::create_directories(folder / "drive_c" / "Program Files");
  return folder;
}

}  // namespace

QtFixture::QtFixture()
    : temp(freshFolder()),
      mainWindow(std::make_unique<QWidget>()),
      toolkit(std::make_shared<qt::QtToolkit>(qt::QtToolkit::Mode::Headless)),
      classes(std::make_shared<QgisFrameClasses>(mainWindow.get())) {
  resetState();
  posix::DriveMap drives;
  drives.map('C', temp / "drive_c");
  host::Services& services = host::services();
  services.forms = toolkit;
  services.hostClasses = classes;
  services.fileSystem = std::make_shared<posix::PosixFileSystem>(drives);
  ProductState& s = state();
  s.CompanyName = "CorvaleGIS";
  s.ProductName = "CorvaleStreetSearch";
  s.ProductVersion = "v2.15";
  qt::QtToolkitObserver observer;
  observer.messageBox = [this](const std::string& text) { transcript.push_back("message: " + text); };
  observer.mousePointer = [this](host::MousePointer pointer) {
    transcript.push_back(pointer == host::MousePointer::Hourglass ? "pointer: hourglass"
                                                                   : "pointer: default");
  };
  observer.shellOpen = [this](const std::string& address) {
    transcript.push_back("shell: open " + address);
  };
  observer.window = [this](const std::string& window, qt::WindowEvent event) {
    transcript.push_back("window: " + window + " " + qt::toString(event));
  };
  toolkit->setObserver(observer);
}

QtFixture::~QtFixture() {
  fileChannel().close();
  resetState();
  for (const auto& weak : classes->frames) {
    if (auto frame = weak.lock()) frame->setVisible(false);
  }
  host::services() = host::Services{};
  toolkit.reset();
  classes.reset();
  mainWindow.reset();
  settle();
  while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
  std::error_code ignored;
  std::filesystem::remove_all(temp, ignored);
}

std::shared_ptr<qt::QtForm> QtFixture::load(const host::FormLayout& layout,
                                            std::shared_ptr<RecordingEvents> events) {
  if (!events) events = std::make_shared<RecordingEvents>();
  auto form = std::dynamic_pointer_cast<qt::QtForm>(toolkit->load(layout, events));
  EXPECT_NE(form, nullptr);
  return form;
}

void QtFixture::writeConfigFile(const std::string& bytes) {
  const auto folder = temp / "drive_c" / "Program Files" / "CorvaleGIS" / "CorvaleStreetSearch";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "config", std::ios::binary) << bytes;
  state().ProductFolder = "C:\\Program Files\\CorvaleGIS\\CorvaleStreetSearch\\";
  state().ConfigFilePath = "C:\\Program Files\\CorvaleGIS\\CorvaleStreetSearch\\config";
}

void QtFixture::settle() {
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
}

}  // namespace corvale::testing
