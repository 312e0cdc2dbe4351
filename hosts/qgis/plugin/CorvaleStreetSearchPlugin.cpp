#include "hosts/qgis/plugin/CorvaleStreetSearchPlugin.h"

#include <QAction>
#include <QMainWindow>
#include <QStatusBar>

#include <qgisinterface.h>
#include <qgsproject.h>

#include "hosts/qgis/plugin/ComponentSession.h"
#include "platform/posix/PosixFileSystem.h"

namespace corvale::qgis {

namespace {
const QString kName = QStringLiteral("CorvaleStreetSearch");
const QString kDescription = QStringLiteral(
    "Find a street by its name and zoom the map to it: a sorted list of every street name of "
    "the layer you choose.");
const QString kCategory = QStringLiteral("Plugins");
const QString kVersion = QStringLiteral("2.15");
const QString kIcon = QStringLiteral(":/images/themes/default/mActionZoomToLayer.svg");
constexpr const char* kToolbar = "CorvaleGIS";
}  // namespace

CorvaleStreetSearchPlugin::CorvaleStreetSearchPlugin(QgisInterface* iface)
    : QgisPlugin(kName, kDescription, kCategory, kVersion, QgisPlugin::UI), iface_(iface) {}

CorvaleStreetSearchPlugin::~CorvaleStreetSearchPlugin() { unload(); }

void CorvaleStreetSearchPlugin::initGui() {
  if (session_) return;
  auto* main = qobject_cast<QMainWindow*>(iface_->mainWindow());
  QgisContext context;
  context.project = QgsProject::instance();
  context.canvas = iface_->mapCanvas();
  context.mainWindow = main;
  context.statusBar = main ? main->statusBar() : nullptr;
  session_ = std::make_unique<ComponentSession>(
      context, std::make_shared<qt::QtToolkit>(qt::QtToolkit::Mode::Interactive),
      std::make_shared<posix::PosixFileSystem>(posix::DriveMap::forUser()));
  toolbar_ = iface_->addToolBar(QString::fromLatin1(kToolbar));
  toolbar_->setObjectName(QString::fromLatin1(kToolbar));
  action_ = session_->createAction(this);
  toolbar_->addAction(action_);
}

void CorvaleStreetSearchPlugin::unload() {
  if (toolbar_) {
    if (action_) toolbar_->removeAction(action_);
    if (auto* main = iface_ ? qobject_cast<QMainWindow*>(iface_->mainWindow()) : nullptr) {
      main->removeToolBar(toolbar_);
    }
    delete toolbar_;
  }
  delete action_;
  session_.reset();
}

}  // namespace corvale::qgis

// What QGIS looks for in a C++ plugin library.

QGISEXTERN QgisPlugin* classFactory(QgisInterface* iface) {
  return new corvale::qgis::CorvaleStreetSearchPlugin(iface);
}
QGISEXTERN const QString* name() { return &corvale::qgis::kName; }
QGISEXTERN const QString* description() { return &corvale::qgis::kDescription; }
QGISEXTERN const QString* category() { return &corvale::qgis::kCategory; }
QGISEXTERN int type() { return QgisPlugin::UI; }
QGISEXTERN const QString* version() { return &corvale::qgis::kVersion; }
QGISEXTERN const QString* icon() { return &corvale::qgis::kIcon; }
QGISEXTERN void unload(QgisPlugin* plugin) { delete plugin; }
