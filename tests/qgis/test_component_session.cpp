// The component's session inside QGIS, as the plugin runs it: what it installs,
// and that ending it (unloading the plugin) leaves QGIS as it was.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QProgressBar>
#include <QStatusBar>

#include <qgsmapcanvas.h>
#include <qgsproject.h>

#include "host/Services.h"
#include "hosts/qgis/plugin/ComponentSession.h"
#include "platform/posix/PosixFileSystem.h"
#include "qgis/QgisFixture.h"
#include "state/ProductState.h"
#include "support/TempFolder.h"
#include "windows/frmMain.h"

namespace corvale::testing {
namespace {

/// The visible top-level windows whose title is one of the component's.
int visibleComponentWindows() {
  int count = 0;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible() && widget->windowTitle().startsWith("CorvaleStreetSearch")) ++count;
  }
  return count;
}

class ComponentSessionTest : public ::testing::Test {
 protected:
  ComponentSessionTest() {
    EXPECT_TRUE(project.read(QString::fromStdString((sampleCity() / "city.qgs").string())));
    canvas = new QgsMapCanvas(&main);
    main.setCentralWidget(canvas);
    canvas->setDestinationCrs(project.crs());
    const auto product = drive.path() / "Program Files" / "CorvaleGIS" / "CorvaleStreetSearch";
    std::filesystem::create_directories(product);
    writeBytes(product / "config", "\"streets\"\r\n\"name\"\r\n");
    context.project = &project;
    context.canvas = canvas;
    context.mainWindow = &main;
    context.statusBar = main.statusBar();
  }

  std::unique_ptr<qgis::ComponentSession> start() {
    posix::DriveMap drives;
    drives.map('C', drive.path());
    return std::make_unique<qgis::ComponentSession>(
        context, std::make_shared<qt::QtToolkit>(qt::QtToolkit::Mode::Headless),
        std::make_shared<posix::PosixFileSystem>(drives));
  }

  QgsProject project;
  QMainWindow main;
  QgsMapCanvas* canvas = nullptr;
  TempFolder drive;
  qgis::QgisContext context;
};

TEST_F(ComponentSessionTest, InstallsTheServicesAndCreatesTheCommandAsAHostDoes) {
  auto session = start();
  EXPECT_NE(host::services().hostClasses, nullptr);
  EXPECT_NE(host::services().fileSystem, nullptr);
  EXPECT_NE(host::services().forms, nullptr);
  EXPECT_EQ(state().ProductName, "CorvaleStreetSearch");
  EXPECT_EQ(state().ConfigFilePath, "C:\\Program Files\\CorvaleGIS\\CorvaleStreetSearch\\config");

  std::unique_ptr<QAction> action(session->createAction(nullptr));
  EXPECT_EQ(action->text(), "CorvaleStreetSearch");
  EXPECT_EQ(action->toolTip(), "CorvaleStreetSearch - Zoom to a street");
  EXPECT_EQ(action->statusTip(), "CorvaleGIS: www.corvalegis.example");
  EXPECT_EQ(action->objectName(), "CorvaleGIS_CorvaleStreetSearch");
  EXPECT_FALSE(action->icon().isNull());
  action->trigger();
  auto search = session->toolkit().form("frmMain");
  ASSERT_NE(search, nullptr) << "the button opens the search window of a configured tool";
  EXPECT_GT(search->listBox("List1").count(), 10);
}

TEST_F(ComponentSessionTest, EndingTheSessionTakesEveryWindowDownAndLeavesNothingBehind) {
  auto session = start();
  std::unique_ptr<QAction> action(session->createAction(nullptr));
  action->trigger();
  auto search = session->toolkit().form("frmMain");
  ASSERT_NE(search, nullptr);
  QMetaObject::invokeMethod(search->control("btnHelp2"), "click");
  QApplication::processEvents();
  EXPECT_EQ(visibleComponentWindows(), 2) << "the search window and a help window";
  EXPECT_NE(main.statusBar()->findChild<QProgressBar*>(), nullptr);

  session.reset();
  QApplication::processEvents();
  EXPECT_EQ(visibleComponentWindows(), 0);
  EXPECT_EQ(main.statusBar()->findChild<QProgressBar*>(), nullptr)
      << "the progress indicator leaves the status bar";
  EXPECT_EQ(host::services().hostClasses, nullptr);
  EXPECT_EQ(host::services().forms, nullptr);
  EXPECT_EQ(state().SearchWindow, nullptr);
  EXPECT_EQ(state().ConfigFilePath, "");
  action->trigger();  // a button left over from an unloaded plugin does nothing
  EXPECT_EQ(visibleComponentWindows(), 0);
}

TEST_F(ComponentSessionTest, ASecondSessionAfterTheFirstWorksAsTheFirstDid) {
  start().reset();
  auto session = start();
  session->command().OnClick();
  auto search = session->toolkit().form("frmMain");
  ASSERT_NE(search, nullptr);
  EXPECT_GT(search->listBox("List1").count(), 10);
}

}  // namespace
}  // namespace corvale::testing
