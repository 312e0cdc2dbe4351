#include <gtest/gtest.h>

#include <QMainWindow>

#include "host/Services.h"
#include "hosts/qgis/ui/QgisFrameWindow.h"
#include "hosts/qgis/QgisHost.h"
#include "qgis/QgisFixture.h"
#include "state/ProductState.h"

namespace corvale {
namespace {

class QgisHostClasses : public testing::CityFixture {};

TEST_F(QgisHostClasses, TheApplicationGivesTheProjectAsItIsNow) {
  auto app = query<host::IApplication>(host->createAppReference());
  auto before = query<host::IDocument>(app->document());
  EXPECT_EQ(before->focusMap()->layerCount(), 3);
  // The user opens another project in the same QgsProject: the next document is it.
  project.clear();
  auto after = query<host::IDocument>(app->document());
  EXPECT_NE(before, after);
  EXPECT_EQ(after->focusMap()->layerCount(), 0);
}

TEST_F(QgisHostClasses, EveryApplicationShowsProgressInTheOneStatusBar) {
  auto first = query<host::IApplication>(host->createAppReference());
  auto second = query<host::IApplication>(host->createAppReference());
  EXPECT_EQ(first->statusBar()->progressIndicator(), second->statusBar()->progressIndicator());
  auto progress = std::dynamic_pointer_cast<qgis::QgisProgressIndicator>(
      first->statusBar()->progressIndicator());
  ASSERT_TRUE(progress);
  EXPECT_EQ(progress->bar()->parent(), statusBar.get());
}

TEST_F(QgisHostClasses, WithoutAStatusBarOrProjectTheCallsAreHostFailures) {
  qgis::QgisHost bare(qgis::QgisContext{});
  auto app = query<host::IApplication>(bare.createAppReference());
  EXPECT_THROW(app->statusBar(), Failure);
  EXPECT_THROW(app->document(), Failure);
}

TEST_F(QgisHostClasses, FramesAreToolWindowsOfTheMainWindow) {
  QMainWindow mainWindow;
  qgis::QgisContext context;
  context.project = &project;
  context.canvas = canvas.get();
  context.mainWindow = &mainWindow;
  context.statusBar = statusBar.get();
  qgis::QgisHost withWindow(context);
  auto frame = withWindow.createFrameWindow();
  ASSERT_TRUE(frame);
  EXPECT_TRUE(isA<host::IWindowPosition>(frame));
  auto own = std::dynamic_pointer_cast<qgis::QgisFrameWindow>(frame);
  ASSERT_TRUE(own);
  ASSERT_TRUE(own->toolWindow());
  EXPECT_EQ(own->toolWindow()->parentWidget(), &mainWindow);
  EXPECT_FALSE(frame->visible());
}

}  // namespace
}  // namespace corvale
