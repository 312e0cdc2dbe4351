#pragma once

#include <memory>

#include "hosts/qgis/QgisObserver.h"

class QgsMapCanvas;
class QgsProject;
class QStatusBar;
class QWidget;

namespace corvale::qgis {

/**
 * The parts of a running QGIS that the host adapter works on. The plugin fills
 * it from its QgisInterface, a headless driver from the objects it made. The
 * adapter watches every one of them: an object destroyed while the adapter
 * still refers to it makes the next call a host failure, never a crash.
 */
struct QgisContext {
  /// The project whose layer tree is the focus map (normally QgsProject::instance()).
  QgsProject* project = nullptr;
  /// The main map canvas: the document's active view.
  QgsMapCanvas* canvas = nullptr;
  /// The parent of the frame windows.
  QWidget* mainWindow = nullptr;
  /// The status bar that shows the progress indicator.
  QStatusBar* statusBar = nullptr;
  /// Told of the extents and the progress the component shows; may be null.
  std::shared_ptr<QgisObserver> observer;
};

}  // namespace corvale::qgis
