#pragma once

#include <memory>

#include <QPointer>

#include <qgsmapcanvas.h>
#include <qgsproject.h>

#include "host/Application.h"
#include "hosts/qgis/QgisObserver.h"

namespace corvale::qgis {

class QgisStatusBar;

/// The current project as a document: its active view is the map canvas, its focus map the layer
/// tree.
class QgisDocument : public host::IDocument {
 public:
  QgisDocument(QgsProject* project, QgsMapCanvas* canvas,
               std::shared_ptr<QgisObserver> observer = nullptr)
      : project_(project), canvas_(canvas), observer_(std::move(observer)) {}
  /// The map canvas as a view; a canvas that is gone is a host failure.
  std::shared_ptr<host::IActiveView> activeView() override;
  /// The project's layer tree as a map; a project that is gone is a host failure.
  std::shared_ptr<host::IMap> focusMap() override;

 private:
  QPointer<QgsProject> project_;
  QPointer<QgsMapCanvas> canvas_;
  std::shared_ptr<QgisObserver> observer_;
};

/**
 * The running QGIS. document() is a new document over the project each time
 * it is asked, so a project opened since the last click is the one seen.
 */
class QgisApplication : public host::IApplication {
 public:
  QgisApplication(QgsProject* project, QgsMapCanvas* canvas,
                  std::shared_ptr<QgisStatusBar> statusBar,
                  std::shared_ptr<QgisObserver> observer = nullptr)
      : project_(project),
        canvas_(canvas),
        statusBar_(std::move(statusBar)),
        observer_(std::move(observer)) {}
  ObjectRef document() override;
  std::shared_ptr<host::IStatusBar> statusBar() override;

 private:
  QPointer<QgsProject> project_;
  QPointer<QgsMapCanvas> canvas_;
  std::shared_ptr<QgisStatusBar> statusBar_;
  std::shared_ptr<QgisObserver> observer_;
};

}  // namespace corvale::qgis
