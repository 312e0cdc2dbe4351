#pragma once

#include <memory>

#include <QObject>
#include <QPointer>
#include <QToolBar>

#include <qgisplugin.h>

class QgisInterface;
class QAction;

namespace corvale::qgis {

class ComponentSession;

/**
 * The QGIS plugin: one button on the toolbar "CorvaleGIS" that runs the
 * component's command. Unloading removes the button and the toolbar and takes
 * the component down, leaving QGIS as it was.
 */
class CorvaleStreetSearchPlugin : public QObject, public QgisPlugin {
  Q_OBJECT

 public:
  explicit CorvaleStreetSearchPlugin(QgisInterface* iface);
  ~CorvaleStreetSearchPlugin() override;

  void initGui() override;
  void unload() override;

 private:
  QgisInterface* iface_;
  std::unique_ptr<ComponentSession> session_;
  QPointer<QToolBar> toolbar_;
  QPointer<QAction> action_;
};

}  // namespace corvale::qgis
