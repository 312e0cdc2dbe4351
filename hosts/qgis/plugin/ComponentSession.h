#pragma once

#include <memory>

#include <QAction>
#include <QObject>

#include "command/CorvaleStreetSearch.h"
#include "host/FileSystem.h"
#include "hosts/qgis/QgisContext.h"
#include "hosts/qgis/QgisHost.h"
#include "platform/qt/QtToolkit.h"

namespace corvale::qgis {

/**
 * The component at work inside a running QGIS, on its user-interface thread:
 * the services installed (QGIS host, Qt toolkit, file system), the command
 * created as a host creates it (OnCreate with the running application), and
 * everything taken down again when the session ends: windows unloaded, product
 * state reset, services removed. At most one session exists per thread.
 */
class ComponentSession {
 public:
  ComponentSession(const QgisContext& context, std::shared_ptr<qt::QtToolkit> toolkit,
                   std::shared_ptr<host::IFileSystem> fileSystem);
  ~ComponentSession();
  ComponentSession(const ComponentSession&) = delete;
  ComponentSession& operator=(const ComponentSession&) = delete;

  CorvaleStreetSearch& command() { return *command_; }
  qt::QtToolkit& toolkit() { return *toolkit_; }

  /**
   * The toolbar button: the command's caption as text, its tooltip, its
   * message as status tip, its name as object name and its bitmap as icon;
   * triggering it clicks the command.
   */
  QAction* createAction(QObject* parent);

 private:
  std::shared_ptr<qt::QtToolkit> toolkit_;
  std::shared_ptr<QgisHost> host_;
  std::shared_ptr<CorvaleStreetSearch> command_;
};

}  // namespace corvale::qgis
