#include "hosts/qgis/model/QgisApplication.h"

#include "hosts/qgis/common/QgisFailure.h"
#include "hosts/qgis/model/QgisMap.h"
#include "hosts/qgis/model/QgisMapView.h"
#include "hosts/qgis/ui/QgisProgressIndicator.h"

namespace corvale::qgis {

std::shared_ptr<host::IActiveView> QgisDocument::activeView() {
  if (!canvas_) hostFailure("The map canvas is gone.");
  return std::make_shared<QgisMapView>(canvas_, project_, observer_);
}

std::shared_ptr<host::IMap> QgisDocument::focusMap() {
  if (!project_) hostFailure("The project is gone.");
  return std::make_shared<QgisMap>(project_);
}

ObjectRef QgisApplication::document() {
  if (!project_) hostFailure("QGIS has no project open.");
  return std::make_shared<QgisDocument>(project_, canvas_, observer_);
}

std::shared_ptr<host::IStatusBar> QgisApplication::statusBar() {
  if (!statusBar_) hostFailure("The application has no status bar.");
  return statusBar_;
}

}  // namespace corvale::qgis
