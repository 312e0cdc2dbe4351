#pragma once

#include <memory>

#include <QPointer>
#include <QWidget>

#include <qgsmapcanvas.h>
#include <qgsproject.h>

#include "host/Services.h"
#include "hosts/qgis/QgisContext.h"

namespace corvale::qgis {

class QgisStatusBar;

/**
 * The classes of the QGIS host. Make one per context on the user-interface
 * thread and install it with
 *   corvale::host::services().hostClasses = std::make_shared<QgisHost>(context);
 * before the command is created. The objects of the context are watched: one
 * that QGIS destroys makes the calls that need it host failures.
 */
class QgisHost : public host::IHostClasses {
 public:
  explicit QgisHost(const QgisContext& context);

  /// The running QGIS (a QgisApplication), sharing this host's status bar and its progress
  /// indicator.
  ObjectRef createAppReference() override;
  /// A new filter, which any table or layer of this host can search with.
  std::shared_ptr<host::IQueryFilter> createQueryFilter() override;
  /// A new QgisFrameWindow with the main window as its parent.
  std::shared_ptr<host::IFrameWindow> createFrameWindow() override;

 private:
  QPointer<QgsProject> project_;
  QPointer<QgsMapCanvas> canvas_;
  QPointer<QWidget> mainWindow_;
  std::shared_ptr<QgisStatusBar> statusBar_;
  std::shared_ptr<QgisObserver> observer_;
};

}  // namespace corvale::qgis
