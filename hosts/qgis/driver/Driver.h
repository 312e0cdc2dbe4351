#pragma once

#include <memory>
#include <string>

#include <QMainWindow>
#include <QObject>
#include <QPointer>

#include <qgslayertreemapcanvasbridge.h>
#include <qgsmapcanvas.h>

#include "hosts/qgis/QgisObserver.h"
#include "hosts/qgis/driver/DriverOptions.h"
#include "hosts/qgis/driver/Transcript.h"
#include "hosts/qgis/plugin/ComponentSession.h"

namespace corvale::driver {

/**
 * The headless driver: a main window with a map canvas and a status bar over
 * the current QGIS project, the component's session on it with the Qt toolkit
 * in headless mode, and the actions of the command line performed one after
 * the other from the event loop. An action that opens a modal window does
 * not block the ones after it: they run inside that window's loop, as a user
 * would act on it.
 */
class Driver : public QObject {
  Q_OBJECT

 public:
  Driver(DriverOptions options, Transcript& transcript);
  ~Driver() override;

  /// Opens the data; false (with an error event written) when it cannot be read.
  bool open();
  /// Performs the actions from the event loop; returns the exit status.
  int run();

 private:
  void runNext();
  /// Performs one action; false (with an error event written) when it could not be.
  bool perform(const Action& action);
  void finish(int status);

  void settleList();
  bool selectEntry(const std::string& window, const std::string& list, const std::string& entry);
  bool press(const std::string& window, const std::string& control);
  void writeState();
  bool shot(const std::string& file);
  bool grab(const std::string& window, const std::string& file);
  void fail(const std::string& text);

  DriverOptions options_;
  Transcript& transcript_;
  std::unique_ptr<QMainWindow> mainWindow_;
  QPointer<QgsMapCanvas> canvas_;
  std::unique_ptr<QgsLayerTreeMapCanvasBridge> bridge_;
  std::shared_ptr<qgis::QgisObserver> observer_;
  std::unique_ptr<qgis::ComponentSession> session_;
  size_t next_ = 0;
  int status_ = 0;
  bool finished_ = false;
};

}  // namespace corvale::driver
