#include "hosts/qgis/QgisHost.h"

#include <QStatusBar>
#include <QWidget>

#include "hosts/qgis/model/QgisApplication.h"
#include "hosts/qgis/ui/QgisFrameWindow.h"
#include "hosts/qgis/ui/QgisProgressIndicator.h"
#include "hosts/qgis/model/QgisQueryFilter.h"

namespace corvale::qgis {

QgisHost::QgisHost(const QgisContext& context)
    : project_(context.project),
      canvas_(context.canvas),
      mainWindow_(context.mainWindow),
      statusBar_(context.statusBar
                     ? std::make_shared<QgisStatusBar>(context.statusBar, context.observer)
                     : nullptr),
      observer_(context.observer) {}

ObjectRef QgisHost::createAppReference() {
  return std::make_shared<QgisApplication>(project_, canvas_, statusBar_, observer_);
}

std::shared_ptr<host::IQueryFilter> QgisHost::createQueryFilter() {
  return std::make_shared<QgisQueryFilter>();
}

std::shared_ptr<host::IFrameWindow> QgisHost::createFrameWindow() {
  return std::make_shared<QgisFrameWindow>(mainWindow_);
}

}  // namespace corvale::qgis
