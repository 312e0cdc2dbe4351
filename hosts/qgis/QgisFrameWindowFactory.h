#pragma once

#include <memory>

#include "host/Forms.h"

class QWidget;

namespace corvale::qgis {

/// A new frame window (QgisFrameWindow, which also offers IWindowPosition) whose parent is the main
/// window.
std::shared_ptr<host::IFrameWindow> makeFrameWindow(QWidget* mainWindow);

}  // namespace corvale::qgis
